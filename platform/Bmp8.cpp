// 8-bit Windows bitmaps: BITMAPFILEHEADER (14 bytes), BITMAPINFOHEADER (at
// least 40), the palette, then the rows bottom up unless the height is
// negative, each padded to a multiple of 4 bytes. Fields are little endian.
#include "Bmp8.h"

namespace {

uint32_t U16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

constexpr size_t kFileHeader = 14;
constexpr uint32_t kInfoHeader = 40;

}  // namespace

bool Bmp8_Parse(const uint8_t* data, size_t size, TBmp8& out) {
    if (data == nullptr || size < kFileHeader + kInfoHeader || data[0] != 'B' || data[1] != 'M') return false;
    const uint32_t pixelOffset = U32(data + 10);
    const uint32_t headerSize = U32(data + 14);
    const auto width = static_cast<int32_t>(U32(data + 18));
    const auto height = static_cast<int32_t>(U32(data + 22));
    const uint32_t planes = U16(data + 26), bits = U16(data + 28), compression = U32(data + 30);
    uint32_t colours = U32(data + 46);
    if (headerSize < kInfoHeader || planes != 1 || bits != 8 || compression != 0) return false;
    if (width <= 0 || width > BMP8_MAX_SIDE || height == 0 || height < -BMP8_MAX_SIDE || height > BMP8_MAX_SIDE)
        return false;
    if (colours == 0) colours = 256;
    if (colours > 256) return false;
    // Sizes in 64 bits: no header value can wrap them around.
    const uint64_t paletteOffset = kFileHeader + static_cast<uint64_t>(headerSize);
    if (paletteOffset + 4ull * colours > pixelOffset) return false;
    const auto rows = static_cast<uint32_t>(height < 0 ? -height : height);
    const uint32_t rowBytes = (static_cast<uint32_t>(width) + 3u) & ~3u;
    if (static_cast<uint64_t>(pixelOffset) + static_cast<uint64_t>(rowBytes) * rows > size) return false;
    out.Width = width;
    out.Height = static_cast<int>(rows);
    out.TopDown = height < 0;
    out.Palette = data + paletteOffset;
    out.Colours = colours;
    out.Pixels = data + pixelOffset;
    out.RowBytes = rowBytes;
    return true;
}

void Bmp8_Convert(const TBmp8& bmp, uint32_t* out, ptrdiff_t stride) {
    uint32_t colours[256];
    for (uint32_t i = 0; i < 256; ++i) {
        const uint8_t* entry = bmp.Palette + 4 * i;
        colours[i] = i < bmp.Colours ? 0xFF000000u | static_cast<uint32_t>(entry[2]) << 16 |
                                           static_cast<uint32_t>(entry[1]) << 8 | entry[0]
                                     : 0xFF000000u;
    }
    auto* target = reinterpret_cast<uint8_t*>(out);
    for (int y = 0; y < bmp.Height; ++y) {
        const int stored = bmp.TopDown ? y : bmp.Height - 1 - y;
        const uint8_t* in = bmp.Pixels + static_cast<size_t>(stored) * bmp.RowBytes;
        auto* row = reinterpret_cast<uint32_t*>(target + y * stride);
        for (int x = 0; x < bmp.Width; ++x) row[x] = colours[in[x]];
    }
}
