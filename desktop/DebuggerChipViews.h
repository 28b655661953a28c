// The debugger's VDP and sound pages. They show the copy of the console that
// the debugger window keeps (taken where the machine thread is parked)
// through the console's read-outs (VdpReadout and PsgReadout); they draw,
// they never decode on their own.
//
// VDP: the 512 tiles in a chosen palette, the name table with the scroll
// window marked (the plane outside the screen is dimmed), the 64 sprites
// with the lines they cover and the lines where the per-line limit drops
// them, the 32 palette colours (12-bit on the Game Gear, whose 160 x 144
// screen the name table marks too) and the registers by name.
// Sound: the PSG's four channels (periods as Hz, attenuations as dB).
#pragma once

#include <QImage>
#include <QWidget>
#include <memory>

#include <vector>

#include "Console.h"
#include "VdpReadout.h"

class QComboBox;
class QLabel;
class QSpinBox;
class QTableWidget;
class QTabWidget;

// An image drawn at a whole multiple of its size; a click reports the image
// pixel under the pointer.
class TPixelView final : public QWidget {
    Q_OBJECT
public:
    TPixelView(int scale, QWidget* parent = nullptr);
    void SetImage(const QImage& image);
    const QImage& Image() const { return image_; }
    QSize sizeHint() const override;

signals:
    void Clicked(int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QImage image_;
    int scale_;
};

class TDebuggerVdpView final : public QWidget {
    Q_OBJECT
public:
    explicit TDebuggerVdpView(QWidget* parent = nullptr);
    // Reads the VDP of `console`; the view keeps what it read, not the console.
    void Show(const TConsole& console);

    QTabWidget* Pages() const { return pages_; }
    QComboBox* TilePalette() const { return tilePalette_; }
    // The tile sheet: 128 x 256 pixels, tile n at column n % 16, row n / 16.
    const QImage& Tiles() const { return tileSheet_; }
    // The name table, 256 x 224, the plane outside the screen dimmed.
    const QImage& NameTable() const { return names_->Image(); }
    QTableWidget* Sprites() const { return sprites_; }
    QSpinBox* SpriteLine() const { return spriteLine_; }
    QLabel* SpriteLineText() const { return spriteLineText_; }
    QTableWidget* Palette() const { return palette_; }
    QTableWidget* Registers() const { return registers_; }

private:
    QWidget* BuildTilePage();
    QWidget* BuildNamePage();
    QWidget* BuildSpritePage();
    void ShowTiles();
    void ShowNames(const TConsole& console);
    void ShowSprites();
    void ShowSpriteLine();
    void ShowPalette(const TConsole& console);
    void ShowRegisters(const TConsole& console);

    // What the last Show read: the tile sheet in each palette (background,
    // sprite), the name table and the sprites.
    std::vector<uint32_t> tileSheets_[2];
    std::unique_ptr<T_VDP_NAME_TABLE> nameTable_;
    std::unique_ptr<T_VDP_SPRITE_TABLE> spriteTable_;
    QTabWidget* pages_ = nullptr;
    QComboBox* tilePalette_ = nullptr;
    TPixelView* tiles_ = nullptr;
    QImage tileSheet_;
    QLabel* tileText_ = nullptr;
    TPixelView* names_ = nullptr;
    QLabel* nameText_ = nullptr;
    QTableWidget* sprites_ = nullptr;
    QSpinBox* spriteLine_ = nullptr;
    QLabel* spriteLineText_ = nullptr;
    QTableWidget* palette_ = nullptr;
    QTableWidget* registers_ = nullptr;
};

class TDebuggerSoundView final : public QWidget {
    Q_OBJECT
public:
    explicit TDebuggerSoundView(QWidget* parent = nullptr);
    void Show(const TConsole& console);

    // Rows: tone 1, tone 2, tone 3, noise.
    QTableWidget* Channels() const { return channels_; }
    QLabel* Latch() const { return latch_; }

private:
    QTableWidget* channels_ = nullptr;
    QLabel* latch_ = nullptr;
};
