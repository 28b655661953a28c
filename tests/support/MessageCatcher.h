// Catching the window's message boxes in a test, as a user would close them.
#pragma once

#include <QStringList>
#include <QTimer>

// Closes each modal message box soon after it opens (with OK), keeping its
// text, while the catcher lives; the event loop must be served meanwhile.
class TMessageCatcher {
public:
    TMessageCatcher();
    QStringList Texts;

private:
    QTimer timer_;
};
