// The display on Qt: the control that shows the picture, the QImage surface
// with its QPainter canvas, and the window's full-screen switch.
#include "QtDisplay.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QWindow>
#include <stdexcept>

TDisplayControl::TDisplayControl(QWidget* parent) : QWidget(parent) {
    setObjectName("DXDraw1");
    // The picture covers every pixel: no background erase before painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    // Until the first frame the surface is an empty black one.
    picture_ = QImage(514, 389, QImage::Format_RGB32);
    picture_.fill(Qt::black);
}

void TDisplayControl::ShowPicture(const QImage& picture) {
    picture_ = picture;
    ++flips_;
    update();
}

void TDisplayControl::SetKeepAspect(bool keep) {
    keepAspect_ = keep;
    update();
}

QRect TDisplayControl::PictureRect() const {
    if (!keepAspect_ || picture_.isNull()) return rect();
    QSize size = picture_.size().scaled(this->size(), Qt::KeepAspectRatio);
    return QRect((width() - size.width()) / 2, (height() - size.height()) / 2, size.width(), size.height());
}

void TDisplayControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect target = PictureRect();
    if (target != rect()) {
        // The bars around a picture that keeps its aspect.
        const QRegion bars = QRegion(rect()).subtracted(QRegion(target));
        for (const QRect& bar : bars) painter.fillRect(bar, Qt::black);
    }
    // Nearest-neighbour scaling: the console's pixels stay sharp, and it is
    // the cheapest way to fill a large window sixty times a second.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, picture_);
}

void TDisplayControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit Clicked();
    QWidget::mousePressEvent(event);
}

namespace {

QColor ToQColor(TColor color) { return QColor(color.R, color.G, color.B); }

}  // namespace

void TQtCanvas::Begin(QImage& surface) {
    painter_ = std::make_unique<QPainter>(&surface);
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painter_->setRenderHint(QPainter::TextAntialiasing, false);
}

void TQtCanvas::End() { painter_.reset(); }

void TQtCanvas::SetFont(const std::string& family, int pointSize, bool bold) {
    font_ = QFont(QString::fromStdString(family));
    // Points at 96 pixels per inch, as on the original display, so the text
    // has the same pixel size whatever the screen's own resolution.
    font_.setPixelSize(pointSize * 96 / 72);
    font_.setBold(bold);
    font_.setStyleHint(QFont::TypeWriter);
    font_.setStyleStrategy(QFont::NoAntialias);
}

void TQtCanvas::SetFontColor(TColor color) { fontColor_ = ToQColor(color); }
void TQtCanvas::SetBrushColor(TColor color) { brushColor_ = ToQColor(color); }
void TQtCanvas::SetPenColor(TColor color) { penColor_ = ToQColor(color); }

void TQtCanvas::Rectangle(int left, int top, int right, int bottom) {
    if (!painter_ || right <= left || bottom <= top) return;
    painter_->fillRect(QRect(left, top, right - left, bottom - top), brushColor_);
    // A one-pixel outline on the area's own border pixels.
    painter_->setPen(QPen(penColor_, 0));
    painter_->setBrush(Qt::NoBrush);
    painter_->drawRect(QRect(left, top, right - left - 1, bottom - top - 1));
}

void TQtCanvas::TextOut(int x, int y, const std::string& text) {
    if (!painter_) return;
    const QString string = QString::fromStdString(text);
    painter_->setFont(font_);
    const QFontMetrics metrics(font_);
    const QRect cell(x, y, metrics.horizontalAdvance(string), metrics.height());
    // Opaque text: the cell is filled with the brush colour first.
    painter_->fillRect(cell, brushColor_);
    painter_->setPen(fontColor_);
    painter_->drawText(cell, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, string);
}

TQtDisplay::TQtDisplay(TDisplayControl& control) : control_(control) {
    surface_ = control.Picture().convertToFormat(QImage::Format_RGB32);
}

bool TQtDisplay::LoadSurface(const uint8_t* data, uint32_t size) {
    QImage image;
    if (data == nullptr || size == 0 || !image.loadFromData(data, static_cast<int>(size), "BMP") || image.isNull())
        return false;
    // The surface is drawn on, so it needs a format a painter accepts.
    surface_ = image.convertToFormat(QImage::Format_RGB32);
    return true;
}

TCanvas& TQtDisplay::Canvas() {
    if (!canvasOpen_) {
        canvas_.Begin(surface_);
        canvasOpen_ = true;
    }
    return canvas_;
}

void TQtDisplay::ReleaseCanvas() {
    if (!canvasOpen_) return;
    canvas_.End();
    canvasOpen_ = false;
}

void TQtDisplay::Flip() {
    ReleaseCanvas();
    control_.ShowPicture(surface_);
}

void TQtDisplay::Initialize() {
    QWidget* window = control_.window();
    if (fullScreen_) {
        if (RefuseFullScreen || window->screen() == nullptr) {
            fullScreen_ = false;
            control_.SetKeepAspect(false);
            throw std::runtime_error("The display could not switch to full screen.");
        }
        control_.SetKeepAspect(true);
        window->showFullScreen();
    } else {
        control_.SetKeepAspect(false);
        if (window->isFullScreen()) window->showNormal();
    }
}
