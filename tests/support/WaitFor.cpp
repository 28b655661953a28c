#include "WaitFor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QTimer wake;  // a tick so that a round never blocks for long
    wake.start(5);
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}
