// The keyboard and the main-thread dispatcher on Qt.
#include "QtInput.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMetaObject>
#include <QWidget>

TQtKeyboard::TQtKeyboard(QWidget* window) : window_(window) { qApp->installEventFilter(this); }

TQtKeyboard::~TQtKeyboard() {
    if (qApp) qApp->removeEventFilter(this);
}

bool TQtKeyboard::Foreground() const { return window_ && window_->isActiveWindow(); }

TKeyCode TQtKeyboard::KeyCodeOf(const QKeyEvent& event) {
    const int key = event.key();
    const bool keypad = (event.modifiers() & Qt::KeypadModifier) != 0;
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<TKeyCode>(VK::Numpad0 + (key - Qt::Key_0));
    if (keypad) {
        switch (key) {
        case Qt::Key_Asterisk: return 0x6A;
        case Qt::Key_Plus: return 0x6B;
        case Qt::Key_Minus: return 0x6D;
        case Qt::Key_Period:
        case Qt::Key_Comma: return 0x6E;
        case Qt::Key_Slash: return 0x6F;
        default: break;
        }
    }
    // Letters and digits have the same codes in both worlds.
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return static_cast<TKeyCode>(key);
    switch (key) {
    case Qt::Key_Left: return VK::Left;
    case Qt::Key_Up: return VK::Up;
    case Qt::Key_Right: return VK::Right;
    case Qt::Key_Down: return VK::Down;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK::Return;
    case Qt::Key_Escape: return VK::Escape;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_Tab: return 0x09;
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Shift: return 0x10;
    case Qt::Key_Control: return 0x11;
    case Qt::Key_Alt: return 0x12;
    case Qt::Key_PageUp: return 0x21;
    case Qt::Key_PageDown: return 0x22;
    case Qt::Key_End: return 0x23;
    case Qt::Key_Home: return 0x24;
    case Qt::Key_Insert: return 0x2D;
    case Qt::Key_Delete: return 0x2E;
    case Qt::Key_Pause: return 0x13;
    // The punctuation keys of a US layout, as the keys' own codes. Qt names
    // the character, so a key's shifted character counts as the same key:
    // pressed without Shift and let go with it, it is still let go.
    case Qt::Key_Semicolon: case Qt::Key_Colon: return 0xBA;
    case Qt::Key_Equal: case Qt::Key_Plus: return 0xBB;
    case Qt::Key_Comma: case Qt::Key_Less: return 0xBC;
    case Qt::Key_Minus: case Qt::Key_Underscore: return 0xBD;
    case Qt::Key_Period: case Qt::Key_Greater: return 0xBE;
    case Qt::Key_Slash: case Qt::Key_Question: return 0xBF;
    case Qt::Key_QuoteLeft: case Qt::Key_AsciiTilde: return 0xC0;
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: return 0xDB;
    case Qt::Key_Backslash: case Qt::Key_Bar: return 0xDC;
    case Qt::Key_BracketRight: case Qt::Key_BraceRight: return 0xDD;
    case Qt::Key_Apostrophe: case Qt::Key_QuoteDbl: return 0xDE;
    // The digits' shifted characters.
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_Asterisk: return '8';
    case Qt::Key_ParenLeft: return '9';
    case Qt::Key_ParenRight: return '0';
    default: break;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return static_cast<TKeyCode>(0x70 + (key - Qt::Key_F1));
    return 0;
}

bool TQtKeyboard::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        // Only the watched window's keys: a dialog's typing is not a pad.
        QWidget* widget = qobject_cast<QWidget*>(watched);
        if (!window_ || widget == nullptr || widget->window() != window_) break;
        auto* key = static_cast<QKeyEvent*>(event);
        // Tab is a key of the window (fast forward), not a step of the focus
        // from widget to widget: the event stops here, after it is counted.
        const bool tab = key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier;
        if (key->isAutoRepeat()) return tab;
        const TKeyCode code = KeyCodeOf(*key);
        if (code != 0 && code < down_.size()) down_.set(code, event->type() == QEvent::KeyPress);
        if (tab) return true;
        break;
    }
    case QEvent::WindowDeactivate:
    case QEvent::FocusOut:
        if (watched == window_) ReleaseAll();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

TQtDispatcher::TQtDispatcher() = default;

TQtDispatcher::~TQtDispatcher() { Drop(); }

void TQtDispatcher::Post(void (*call)(void* context), void* context) {
    const uint64_t generation = generation_.load();
    // Queued onto this object's thread; a call queued before Drop() is void.
    QMetaObject::invokeMethod(
        this,
        [this, call, context, generation] {
            if (generation_.load() == generation) call(context);
        },
        Qt::QueuedConnection);
}
