// TAboutBox and the program's picture.
#include "AboutBox.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>

QPixmap Tiravel_Picture(int size) {
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    // A dark screen with a blue sky and a green hill...
    p.setPen(QPen(QColor(40, 40, 48), 2));
    p.setBrush(QColor(24, 24, 32));
    p.drawRoundedRect(QRectF(2, 4, 60, 44), 5, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(72, 128, 232));
    p.drawRect(QRectF(7, 9, 50, 34));
    p.setBrush(QColor(56, 176, 72));
    QPainterPath hill;
    hill.moveTo(7, 43);
    hill.cubicTo(20, 26, 36, 28, 57, 40);
    hill.lineTo(57, 43);
    hill.closeSubpath();
    p.drawPath(hill);
    p.setBrush(QColor(248, 216, 64));
    p.drawEllipse(QPointF(46, 17), 4.5, 4.5);
    // ...and a pad in front of it: a cross and two buttons.
    p.setPen(QPen(QColor(20, 20, 20), 1.5));
    p.setBrush(QColor(208, 208, 216));
    p.drawRoundedRect(QRectF(8, 40, 48, 22), 8, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 48));
    p.drawRect(QRectF(14, 48, 12, 4));
    p.drawRect(QRectF(18, 44, 4, 12));
    p.setBrush(QColor(208, 48, 48));
    p.drawEllipse(QPointF(40, 52), 3.5, 3.5);
    p.drawEllipse(QPointF(49, 49), 3.5, 3.5);
    return picture;
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle("About Tiravel");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(298, 213);
    setModal(true);

    // The bevelled panel holds the picture and the texts; their places are
    // given inside it.
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);
    Panel1->setGeometry(8, 8, 282, 161);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName("ProgramIcon");
    ProgramIcon->setGeometry(8, 8, 64, 64);
    ProgramIcon->setPixmap(Tiravel_Picture(64));

    ProductName = new QLabel(Panel1);
    ProductName->setObjectName("ProductName");
    ProductName->setTextFormat(Qt::PlainText);
    ProductName->setText("Tiravel - Master System Emulator \n             Version 0.10 Alpha");
    ProductName->setGeometry(96, 16, 180, 40);
    ProductName->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Comments = new QLabel(Panel1);
    Comments->setObjectName("Comments");
    Comments->setTextFormat(Qt::PlainText);
    Comments->setWordWrap(true);
    Comments->setText("Free software for the Linux desktop.\nWritten from scratch; no code of other emulators.");
    Comments->setGeometry(32, 120, 244, 36);
    Comments->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setGeometry(111, 180, 75, 25);
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    OKButton->setFocus();
}
