// The user's settings: one file, ~/.config/Tiravel/Tiravel.conf (or wherever
// QSettings::setPath puts the user's native settings), used only when it is
// a regular file or not there yet. Anything else in its place (a FIFO would
// hold QSettings in open() for good, a folder or a device is no settings
// file) is left alone: nothing is read from it or written to it, and every
// setting keeps its default.
#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>
#include <memory>

// A settings file larger than this is not read: the program never writes
// more than a few dozen KB, and QSettings parses the whole file at once.
constexpr qint64 SettingsFileMaxSize = 16 * 1024 * 1024;

// Where the settings file is, found without opening it.
QString SettingsFilePath();
// Why the settings file cannot be used, in plain words ("it is a pipe (FIFO),
// not a regular file"); "" when it can, or when it is not there yet.
QString SettingsFileProblem();

// The settings as read or written at one point: values from the file when
// it can be used, defaults (and nothing written) when it cannot.
class TSettings {
public:
    TSettings();
    QVariant value(QAnyStringView key) const;
    void setValue(QAnyStringView key, const QVariant& value);
    // Writes what was set; false when the file cannot be written or used.
    bool Sync();
    const QString& FileName() const { return path_; }

private:
    QString path_;
    std::unique_ptr<QSettings> file_;  // none when the file cannot be used
};
