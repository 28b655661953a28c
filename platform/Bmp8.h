// Uncompressed 8-bit Windows bitmaps, the VDP's frame image format, read
// without a toolkit: the header checked, the palette and the rows found, and
// the pixels turned into 32-bit 0xFFRRGGBB words through the palette.
#pragma once

#include <cstddef>
#include <cstdint>

struct TBmp8 {
    int Width = 0;
    int Height = 0;             // rows, positive
    bool TopDown = false;       // rows stored top row first (negative height in the file)
    const uint8_t* Palette = nullptr;  // Colours entries of blue, green, red, reserved
    uint32_t Colours = 0;
    const uint8_t* Pixels = nullptr;   // the first stored row
    uint32_t RowBytes = 0;             // stored row length, padded to 4 bytes
};

// The largest side accepted: a frame image is 256 x 192, and a bad header
// must not ask for a huge picture.
constexpr int BMP8_MAX_SIDE = 4096;

// Reads the header of an 8-bit BI_RGB bitmap held in `data`; false for any
// other format, a header that does not add up, or a file too short for its
// palette and rows. `out` points into `data`.
bool Bmp8_Parse(const uint8_t* data, size_t size, TBmp8& out);

// Writes the picture top row first into `out` (Width words per row, `stride`
// bytes from row to row). An index past the palette gives black.
void Bmp8_Convert(const TBmp8& bmp, uint32_t* out, ptrdiff_t stride);
