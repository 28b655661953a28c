// TKeyConfigDialog: "Input" > "Configure...". A table of both players'
// inputs (rows) against their three key slots and player 1's two
// game-controller slots (columns). Clicking a cell waits for the new key or
// controller button: the next key pressed, or the next controller button
// that goes down, takes the slot (Delete empties it, Escape keeps it as it
// was). "Defaults" brings back the program's own bindings. The dialog edits a
// copy; the window applies and keeps it when the dialog is accepted.
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>

#include "KeyBindings.h"

class QKeyEvent;
class QLabel;
class QTableWidget;

class TKeyConfigDialog final : public QDialog {
    Q_OBJECT
public:
    // `controller` is joystick 0 (may be null); it is polled on this
    // thread while a controller cell waits for a button.
    TKeyConfigDialog(const TKeyBindings& bindings, TJoystickSource* controller, QWidget* parent = nullptr);

    const TKeyBindings& Bindings() const { return bindings_; }
    QTableWidget* Table() const { return table_; }
    QLabel* Status() const { return status_; }

    // The table's columns: key slots 0..2, then controller slots 0..1.
    static int KeyColumn(int slot) { return slot; }
    static int ControllerColumn(int slot) { return INPUT_KEY_SLOTS + slot; }
    // True while a cell waits for its key or button.
    bool Waiting() const { return waitRow_ >= 0; }

    // "Defaults": the program's own bindings.
    void RestoreDefaults();
    // Polls the controller once (the timer does this while a controller
    // cell waits; tests call it directly).
    void PollController();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void StartWaiting(int row, int column);
    void StopWaiting(const QString& status);
    void TakeKey(const QKeyEvent& event);
    void Refresh();
    QString InputCaption(int input) const;
    QString LostBy(const std::function<bool(int input, int slot)>& holds) const;

    TKeyBindings bindings_;
    TJoystickSource* controller_;
    QTableWidget* table_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer poll_;
    int waitRow_ = -1;
    int waitColumn_ = -1;
    uint32_t heldButtons_ = 0;  // the controller's buttons already down when the wait began
};

// The bindings kept in the user's settings, over the defaults: what the
// window applies at start.
TKeyBindings LoadKeyBindings();
// Keeps the bindings; "" when they were written, otherwise the message for
// the player, naming the settings file.
QString SaveKeyBindings(const TKeyBindings& bindings);
