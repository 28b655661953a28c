// TAboutBox and the program's picture.
#include "AboutBox.h"
#include "TiravelVersion.h"

#include <QBoxLayout>
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
    setModal(true);

    // The bevelled panel holds the picture and the texts. Layouts place
    // them, and the dialog takes the size its contents need in the fonts
    // and scale of the desktop it opens on, so no line is ever cut off.
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName("ProgramIcon");
    ProgramIcon->setPixmap(Tiravel_Picture(64));
    ProgramIcon->setFixedSize(64, 64);

    ProductName = new QLabel(Panel1);
    ProductName->setObjectName("ProductName");
    ProductName->setTextFormat(Qt::PlainText);
    ProductName->setText(QStringLiteral("Tiravel - Master System Emulator\nVersion ") + TIRAVEL_VERSION);
    ProductName->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    Comments = new QLabel(Panel1);
    Comments->setObjectName("Comments");
    Comments->setTextFormat(Qt::PlainText);
    Comments->setText("Free software for the Linux desktop.\nWritten from scratch; no code of other emulators.");
    Comments->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* heading = new QHBoxLayout;
    heading->setSpacing(16);
    heading->addWidget(ProgramIcon, 0, Qt::AlignTop);
    heading->addWidget(ProductName, 1);
    auto* panel = new QVBoxLayout(Panel1);
    panel->setContentsMargins(12, 12, 16, 12);
    panel->setSpacing(16);
    panel->addLayout(heading);
    panel->addWidget(Comments);

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    OKButton->setMinimumWidth(75);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* dialog = new QVBoxLayout(this);
    dialog->setContentsMargins(8, 8, 8, 8);
    dialog->addWidget(Panel1);
    dialog->addWidget(OKButton, 0, Qt::AlignHCenter);
    // Fixed at the size the contents ask for: the box cannot be resized
    // smaller than its text.
    dialog->setSizeConstraint(QLayout::SetFixedSize);
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
