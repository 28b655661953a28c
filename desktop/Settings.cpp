// The user's settings file, looked at before QSettings opens it.
#include "Settings.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include "RegularFiles.h"

namespace {

constexpr const char* kOrganization = "Tiravel";
constexpr const char* kApplication = "Tiravel";

QString Problem(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return QString();  // not there yet
    if (!S_ISREG(st.st_mode)) return SMS_NotRegularFileReason(st.st_mode);
    if (st.st_size > SettingsFileMaxSize)
        return QString("it is %1 bytes long, larger than a settings file can be (at most %2 bytes)")
            .arg(st.st_size)
            .arg(SettingsFileMaxSize);
    return QString();
}

}  // namespace

QString SettingsFilePath() {
    // QSettings reads its files as soon as it is made, so asking the
    // program's own settings for fileName() is already too late. Settings of
    // a made-up organisation, whose files exist nowhere, read nothing and
    // give the folder: FOLDER/ORGANISATION/APPLICATION.conf.
    const QSettings probe(QSettings::NativeFormat, QSettings::UserScope,
                          QUuid::createUuid().toString(QUuid::WithoutBraces), "probe");
    const QString folder = QFileInfo(QFileInfo(probe.fileName()).path()).path();
    return folder + "/" + kOrganization + "/" + kApplication + ".conf";
}

QString SettingsFileProblem() { return Problem(SettingsFilePath()); }

// The file itself only, without the organisation's file beside its folder
// or the system's under /etc/xdg, which QSettings would also read.
TSettings::TSettings() : path_(SettingsFilePath()) {
    if (Problem(path_).isEmpty()) file_ = std::make_unique<QSettings>(path_, QSettings::NativeFormat);
}

QVariant TSettings::value(QAnyStringView key) const { return file_ ? file_->value(key) : QVariant(); }

void TSettings::setValue(QAnyStringView key, const QVariant& value) {
    if (file_) file_->setValue(key, value);
}

bool TSettings::Sync() {
    if (!file_) return false;
    file_->sync();
    return file_->status() == QSettings::NoError;
}
