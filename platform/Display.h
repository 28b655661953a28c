// The display: a drawing surface loaded from the frame image (a BMP file),
// a canvas to draw the status overlays on it, Flip to show it, and a
// full-screen option applied by re-initialising. The desktop implements it
// on a Qt widget (desktop/QtDisplay.h).
#pragma once

#include <cstdint>
#include <string>

struct TColor {
    uint8_t R, G, B;
};

// Drawing on the surface. Coordinates are surface pixels, origin top left.
class TCanvas {
public:
    virtual ~TCanvas() = default;
    // Font by family name, size in points (at 96 pixels per inch), bold.
    virtual void SetFont(const std::string& family, int pointSize, bool bold) = 0;
    virtual void SetFontColor(TColor color) = 0;
    virtual void SetBrushColor(TColor color) = 0;
    virtual void SetPenColor(TColor color) = 0;
    // Fills [left, right) x [top, bottom) with the brush and outlines the
    // same area with a one-pixel pen.
    virtual void Rectangle(int left, int top, int right, int bottom) = 0;
    // Text with its cell's top left at (x, y), opaque on the brush colour.
    virtual void TextOut(int x, int y, const std::string& text) = 0;
};

class TDisplay {
public:
    virtual ~TDisplay() = default;
    // Decodes a BMP file. An image that decodes to nothing leaves the
    // surface as it was (false); otherwise the surface takes its size and
    // pixels.
    virtual bool LoadSurface(const uint8_t* data, uint32_t size) = 0;
    // The surface's canvas; Release ends a drawing session.
    virtual TCanvas& Canvas() = 0;
    virtual void ReleaseCanvas() = 0;
    // Shows the surface.
    virtual void Flip() = 0;
    virtual void SetFullScreenOption(bool on) = 0;
    // Applies the options. Throws std::runtime_error with a message for the
    // player when the mode cannot be set (the display is windowed then).
    virtual void Initialize() = 0;
};
