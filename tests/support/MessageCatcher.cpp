#include "MessageCatcher.h"

#include <QApplication>
#include <QMessageBox>

TMessageCatcher::TMessageCatcher() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            Texts.append(box->text());
            box->done(QMessageBox::Ok);
        }
    });
    timer_.start();
}
