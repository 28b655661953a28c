// The keyboard on Qt, and the main-thread dispatcher on Qt's event loop.
//
// TQtKeyboard watches the key events of one window (an application-wide
// event filter, so the keys reach it whichever child has the focus) and
// keeps the set of keys down as virtual-key codes; it counts as foreground
// while that window is the active window. All keys are released when the
// window loses the focus, so nothing sticks.
#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <bitset>

#include "InputDevice.h"
#include "PlatformThread.h"

class QWidget;
class QKeyEvent;

class TQtKeyboard final : public QObject, public TKeySource {
    Q_OBJECT
public:
    explicit TQtKeyboard(QWidget* window);
    ~TQtKeyboard() override;

    bool KeyDown(TKeyCode key) const override { return key < down_.size() && down_.test(key); }
    bool Foreground() const override;

    // The virtual-key code of a Qt key event, 0 when it has none.
    static TKeyCode KeyCodeOf(const QKeyEvent& event);
    void ReleaseAll() { down_.reset(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window_;
    std::bitset<256> down_;
};

// Posts calls to the Qt event loop of the thread that created it. Drop()
// makes every call still queued do nothing; the destructor drops too.
class TQtDispatcher final : public QObject, public TMainThreadDispatcher {
    Q_OBJECT
public:
    TQtDispatcher();
    ~TQtDispatcher() override;
    void Post(void (*call)(void* context), void* context) override;
    void Drop() { generation_.fetch_add(1); }

private:
    std::atomic<uint64_t> generation_{0};
};
