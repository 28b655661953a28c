// The display on Qt: TDisplayControl is the widget that fills the window's
// client area and shows the flipped picture; TQtDisplay is the surface
// (a QImage), its canvas (QPainter) and the full-screen switch.
//
// Windowed, the picture is stretched to the whole control unless the player
// asked for its aspect to be kept; full screen, the window is a borderless
// full-screen window at the desktop's own mode and the picture is scaled to
// fit with its aspect kept, on black bars.
#pragma once

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QStaticText>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Display.h"

class TDisplayControl : public QWidget {
    Q_OBJECT
public:
    explicit TDisplayControl(QWidget* parent = nullptr);

    // The picture shown; the control paints it before returning (when visible).
    void ShowPicture(const QImage& picture);
    const QImage& Picture() const { return picture_; }
    // Keep the aspect ratio with black bars (full screen) or stretch.
    void SetKeepAspect(bool keep);
    bool KeepAspect() const { return keepAspect_; }
    // With the aspect kept: the picture at the largest whole multiple of its
    // size that fits (every console pixel the same number of screen pixels),
    // rather than the largest size that fits.
    void SetWholeMultiples(bool whole);
    bool WholeMultiples() const { return wholeMultiples_; }
    // Where the picture lands inside the control.
    QRect PictureRect() const;
    // Pictures shown so far (a test watches the display updating).
    uint64_t Flips() const { return flips_; }
    // Paints that scaled the picture straight into the window's back buffer
    // rather than through an image of its own (a test checks the fast path).
    uint64_t DirectPaints() const { return directPaints_; }

signals:
    void Clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void ScalePicture(uchar* out, qsizetype stride, const QSize& size);

    QImage picture_;
    bool keepAspect_ = false;
    bool wholeMultiples_ = false;
    uint64_t flips_ = 0;
    uint64_t directPaints_ = 0;
    // The picture scaled to the control, where the back buffer is no image.
    QImage scaled_;
    // The source column of each destination column, for a source width and
    // destination width (kept while they stay), and one widened row.
    std::vector<int> columns_;
    QSize columnsFor_;
    std::vector<QRgb> wide_;
};

class TQtCanvas final : public TCanvas {
public:
    void Begin(QImage& surface);
    void End();
    void SetFont(const std::string& family, int pointSize, bool bold) override;
    void SetFontColor(TColor color) override;
    void SetBrushColor(TColor color) override;
    void SetPenColor(TColor color) override;
    void Rectangle(int left, int top, int right, int bottom) override;
    void TextOut(int x, int y, const std::string& text) override;

private:
    // A line laid out once: the overlays repeat the same texts frame after
    // frame, and shaping them again each time cost more than drawing them.
    struct TLaidOut {
        QStaticText Text;
        int Advance;
    };
    const TLaidOut& LayOut(const std::string& text);

    std::unique_ptr<QPainter> painter_;
    QFont font_;
    std::optional<QFontMetrics> metrics_;
    std::string fontKey_;
    std::unordered_map<std::string, TLaidOut> laidOut_;
    QColor fontColor_{255, 255, 255};
    QColor brushColor_{0, 0, 0};
    QColor penColor_{255, 255, 255};
};

class TQtDisplay final : public TDisplay {
public:
    // The control must outlive the display; its window is switched between
    // full screen and windowed.
    explicit TQtDisplay(TDisplayControl& control);

    bool LoadSurface(const uint8_t* data, uint32_t size) override;
    TCanvas& Canvas() override;
    void ReleaseCanvas() override;
    void Flip() override;
    void SetFullScreenOption(bool on) override { fullScreen_ = on; }
    void Initialize() override;
    // Windowed, the picture keeps its aspect on black bars as in full screen
    // (off: stretched to the window). Takes effect at once.
    void SetKeepAspectWindowed(bool keep);
    bool KeepAspectWindowed() const { return keepAspectWindowed_; }

    const QImage& Surface() const { return surfaces_[current_]; }
    bool FullScreenOption() const { return fullScreen_; }
    // Tests: make the next full-screen Initialize fail as a refused mode would.
    bool RefuseFullScreen = false;

private:
    TDisplayControl& control_;
    // Two surfaces in turn: the control keeps the one flipped last (a shared
    // QImage) while the next frame is written into the other, so neither is
    // copied nor allocated from frame to frame.
    QImage surfaces_[2];
    int current_ = 0;
    TQtCanvas canvas_;
    bool canvasOpen_ = false;
    bool fullScreen_ = false;
    bool keepAspectWindowed_ = false;
};
