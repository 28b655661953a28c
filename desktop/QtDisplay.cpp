// The display on Qt: the control that shows the picture, the QImage surface
// with its QPainter canvas, and the window's full-screen switch.
#include "QtDisplay.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QWindow>
#include <algorithm>
#include <cstring>
#include <stdexcept>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "Bmp8.h"

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
    const bool sameSize = picture.size() == picture_.size();
    picture_ = picture;
    ++flips_;
    // Painted at once, not queued: the frame must be on the screen before
    // the pacing wait that follows the flip, or every picture would appear a
    // frame after its turn. Only the picture changes from frame to frame; the
    // bars around it stay in the back buffer and are neither refilled nor
    // sent again.
    if (sameSize)
        repaint(PictureRect());
    else
        repaint();
}

void TDisplayControl::SetKeepAspect(bool keep) {
    keepAspect_ = keep;
    update();
}

void TDisplayControl::SetWholeMultiples(bool whole) {
    wholeMultiples_ = whole;
    update();
}

QRect TDisplayControl::PictureRect() const {
    if (!keepAspect_ || picture_.isNull()) return rect();
    QSize size = picture_.size().scaled(this->size(), Qt::KeepAspectRatio);
    if (wholeMultiples_) {
        // A control smaller than the picture still shows it whole, scaled down.
        const int scale = std::min(width() / picture_.width(), height() / picture_.height());
        if (scale >= 1) size = picture_.size() * scale;
    }
    return QRect((width() - size.width()) / 2, (height() - size.height()) / 2, size.width(), size.height());
}

namespace {

// Copies `words` pixels into a row of the back buffer. The back buffer is
// far larger than the caches and is only read again by the window system:
// on x86 the copy streams past the cache, which spares reading every
// destination line into it before it is overwritten.
void CopyRow(QRgb* out, const QRgb* in, int words) {
#if defined(__SSE2__)
    int x = 0;
    while (x < words && (reinterpret_cast<uintptr_t>(out + x) & 15u) != 0) {
        out[x] = in[x];
        ++x;
    }
    for (; x + 4 <= words; x += 4)
        _mm_stream_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x)));
    for (; x < words; ++x) out[x] = in[x];
#else
    std::memcpy(out, in, static_cast<size_t>(words) * sizeof(QRgb));
#endif
}

}  // namespace

// Nearest-neighbour scaling: the console's pixels stay sharp. Each source
// row is widened once into a row in the cache and copied to every
// destination row it covers, which costs little more than the copy itself
// (Qt's general scaler, which works pixel by pixel, took most of the
// program's time in a full-screen window). `out` is the top left of a
// `size` area in an RGB32 image with `stride` bytes per row.
void TDisplayControl::ScalePicture(uchar* out, qsizetype stride, const QSize& size) {
    const QImage source =
        picture_.format() == QImage::Format_RGB32 ? picture_ : picture_.convertToFormat(QImage::Format_RGB32);
    const int sw = source.width(), sh = source.height(), dw = size.width(), dh = size.height();
    if (columnsFor_ != QSize(sw, dw)) {
        columns_.resize(static_cast<size_t>(dw));
        for (int x = 0; x < dw; ++x)
            columns_[static_cast<size_t>(x)] = static_cast<int>(static_cast<int64_t>(x) * sw / dw);
        columnsFor_ = QSize(sw, dw);
    }
    wide_.resize(static_cast<size_t>(dw));
    int lastSource = -1;
    for (int y = 0; y < dh; ++y) {
        const int sy = static_cast<int>(static_cast<int64_t>(y) * sh / dh);
        if (sy != lastSource) {
            const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(sy));
            for (int x = 0; x < dw; ++x) wide_[static_cast<size_t>(x)] = in[columns_[static_cast<size_t>(x)]];
            lastSource = sy;
        }
        CopyRow(reinterpret_cast<QRgb*>(out + y * stride), wide_.data(), dw);
    }
#if defined(__SSE2__)
    // The streamed rows reach memory before anyone reads the back buffer.
    _mm_sfence();
#endif
}

void TDisplayControl::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect target = PictureRect();
    if (target != rect()) {
        // The bars around a picture that keeps its aspect, where exposed.
        const QRegion bars = QRegion(rect()).subtracted(QRegion(target)).intersected(event->region());
        for (const QRect& bar : bars) painter.fillRect(bar, Qt::black);
    }
    if (target.size() == picture_.size() || target.isEmpty()) {
        painter.drawImage(target.topLeft(), picture_);
        return;
    }
    // With the raster engine the window's back buffer is an image: the
    // picture is scaled straight into it, saving a full-size copy a frame.
    // The whole control is painted, so no clipping is needed beyond it.
    // The control may sit at the back buffer's origin (full screen, no menu
    // bar): an identity transform is a translation by nothing.
    QPaintDevice* device = painter.paintEngine() != nullptr ? painter.paintEngine()->paintDevice() : nullptr;
    if (device != nullptr && device->devType() == QInternal::Image &&
        painter.deviceTransform().type() <= QTransform::TxTranslate) {
        auto* back = static_cast<QImage*>(device);
        const QRect onBack = painter.deviceTransform().mapRect(target);
        if (back->format() == QImage::Format_RGB32 || back->format() == QImage::Format_ARGB32_Premultiplied) {
            if (back->rect().contains(onBack)) {
                painter.end();
                ScalePicture(back->scanLine(onBack.top()) + onBack.left() * 4, back->bytesPerLine(), onBack.size());
                ++directPaints_;
                return;
            }
        }
    }
    if (scaled_.size() != target.size()) scaled_ = QImage(target.size(), QImage::Format_RGB32);
    ScalePicture(scaled_.bits(), scaled_.bytesPerLine(), target.size());
    painter.drawImage(target.topLeft(), scaled_);
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
    painter_->setFont(font_);
}

void TQtCanvas::End() { painter_.reset(); }

void TQtCanvas::SetFont(const std::string& family, int pointSize, bool bold) {
    // The overlays ask for the same font every frame: it is built, measured
    // and its lines laid out only when it changes.
    std::string key = family + '/' + std::to_string(pointSize) + (bold ? "/bold" : "");
    if (key == fontKey_) return;
    fontKey_ = std::move(key);
    laidOut_.clear();
    font_ = QFont(QString::fromStdString(family));
    // Points at 96 pixels per inch, as on the original display, so the text
    // has the same pixel size whatever the screen's own resolution.
    font_.setPixelSize(pointSize * 96 / 72);
    font_.setBold(bold);
    font_.setStyleHint(QFont::TypeWriter);
    font_.setStyleStrategy(QFont::NoAntialias);
    metrics_.emplace(font_);
    if (painter_) painter_->setFont(font_);
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

const TQtCanvas::TLaidOut& TQtCanvas::LayOut(const std::string& text) {
    if (auto found = laidOut_.find(text); found != laidOut_.end()) return found->second;
    // Changing figures bring new lines; a bounded set keeps the memory flat.
    if (laidOut_.size() >= 512) laidOut_.clear();
    if (!metrics_) metrics_.emplace(font_);
    const QString string = QString::fromStdString(text);
    QStaticText laidOut(string);
    laidOut.setTextFormat(Qt::PlainText);
    laidOut.setPerformanceHint(QStaticText::AggressiveCaching);
    laidOut.prepare(QTransform(), font_);
    return laidOut_.emplace(text, TLaidOut{laidOut, metrics_->horizontalAdvance(string)}).first->second;
}

void TQtCanvas::TextOut(int x, int y, const std::string& text) {
    if (!painter_) return;
    const TLaidOut& line = LayOut(text);
    const QRect cell(x, y, line.Advance, metrics_->height());
    // Opaque text: the cell is filled with the brush colour first.
    painter_->fillRect(cell, brushColor_);
    painter_->setPen(fontColor_);
    painter_->drawStaticText(cell.topLeft(), line.Text);
}

TQtDisplay::TQtDisplay(TDisplayControl& control) : control_(control) {
    surfaces_[current_] = control.Picture().convertToFormat(QImage::Format_RGB32);
}

bool TQtDisplay::LoadSurface(const uint8_t* data, uint32_t size) {
    QImage& next = surfaces_[1 - current_];
    // The VDP's frame image, an 8-bit bitmap, is converted straight into the
    // surface's 32-bit pixels (the window's own format, so nothing converts
    // it again on the way to the screen).
    if (TBmp8 bmp; Bmp8_Parse(data, size, bmp)) {
        if (next.size() != QSize(bmp.Width, bmp.Height) || next.format() != QImage::Format_RGB32)
            next = QImage(bmp.Width, bmp.Height, QImage::Format_RGB32);
        Bmp8_Convert(bmp, reinterpret_cast<uint32_t*>(next.bits()), next.bytesPerLine());
        current_ = 1 - current_;
        return true;
    }
    // Any other bitmap goes through Qt's reader.
    QImage image;
    if (data == nullptr || size == 0 || !image.loadFromData(data, static_cast<int>(size), "BMP") || image.isNull())
        return false;
    // The surface is drawn on, so it needs a format a painter accepts.
    next = image.convertToFormat(QImage::Format_RGB32);
    current_ = 1 - current_;
    return true;
}

TCanvas& TQtDisplay::Canvas() {
    if (!canvasOpen_) {
        canvas_.Begin(surfaces_[current_]);
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
    control_.ShowPicture(surfaces_[current_]);
}

void TQtDisplay::Initialize() {
    QWidget* window = control_.window();
    if (fullScreen_) {
        if (RefuseFullScreen || window->screen() == nullptr) {
            fullScreen_ = false;
            control_.SetKeepAspect(keepAspectWindowed_);
            throw std::runtime_error("The display could not switch to full screen.");
        }
        control_.SetKeepAspect(true);
        window->showFullScreen();
        // Without a window manager to honour the full-screen request (a bare
        // X server, a kiosk session) the window takes the screen itself.
        window->setGeometry(window->screen()->geometry());
    } else {
        control_.SetKeepAspect(keepAspectWindowed_);
        if (window->isFullScreen()) window->showNormal();
    }
}

void TQtDisplay::SetKeepAspectWindowed(bool keep) {
    keepAspectWindowed_ = keep;
    if (!fullScreen_) control_.SetKeepAspect(keep);
}
