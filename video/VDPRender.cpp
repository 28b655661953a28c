// VDPEM scanline renderer: background tiles with scroll, flips, palette
// select and priority, then up to 64 sprites with overflow and collision,
// drawn straight into the frame image one line at a time.
//
// Nothing is cached between lines: each drawn line decodes its tile rows and
// sprite rows from VRAM again, so any VRAM write shows on the next line.
#include "VDPInternal.h"

#include <bit>
#include <cstring>

namespace {

// Spreads the 8 bits of a plane byte over 8 bytes: byte b of the result is
// bit b of `plane` (0 or 1).
inline uint64_t SpreadPlane(uint8_t plane)
{
    uint64_t r = (plane * 0x0101010101010101ULL) & 0x8040201008040201ULL;
    // Each byte now holds 0 or 1 << b; adding 0x7F moves any set bit to bit 7
    // without a carry into the next byte.
    return ((r + 0x7F7F7F7F7F7F7F7FULL) >> 7) & 0x0101010101010101ULL;
}

// Combines four plane bytes into eight colour indexes, byte b = pixel of bit b
// (byte 0 is the rightmost pixel).
inline uint64_t DecodePlanes(const uint8_t* planes)
{
    return SpreadPlane(planes[0]) | (SpreadPlane(planes[1]) << 1) | (SpreadPlane(planes[2]) << 2) |
           (SpreadPlane(planes[3]) << 3);
}

inline void StoreRow(uint64_t row, uint8_t out[8])
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, &row, 8);
    } else {
        for (int b = 0; b < 8; ++b)
            out[b] = static_cast<uint8_t>(row >> (8 * b));
    }
}

} // namespace

void VDP_DecodeTileRow(const T_VDP_CORE& vdp, uint16_t entry, uint32_t y, uint8_t out[8])
{
    const uint32_t tile = entry & 0x1FF;
    const uint32_t r = (entry & 0x0400) ? ((7 - y) & 7) : (y & 7);
    uint64_t row = DecodePlanes(vdp.VRAM + tile * 32 + r * 4);
    if (entry & 0x0200)
        row = __builtin_bswap64(row); // horizontal flip: bit b goes to out[7 - b]
    StoreRow(row, out);
}

void VDP_DecodeSpriteRow(const T_VDP_CORE& vdp, uint16_t pattern, uint32_t row, uint8_t out[8])
{
    // The renderer only asks for rows 0-15 of even patterns (8 x 16) or rows
    // 0-7 (8 x 8), which stay inside VRAM; other callers are kept inside it
    // by the 14-bit wrap, as the chip's own address counter would.
    const uint32_t address = ((pattern & 0x1FFu) * 32 + row * 4) & VDP_ADDRESS_MASK;
    uint8_t planes[4];
    for (uint32_t i = 0; i < 4; ++i)
        planes[i] = vdp.VRAM[(address + i) & VDP_ADDRESS_MASK];
    StoreRow(DecodePlanes(planes), out);
}

void VDP_PutPixel(T_VDP_CORE& vdp, uint8_t value, uint32_t x, uint8_t blankAware, uint32_t line)
{
    if (line > VDP_LAST_DRAWN_LINE)
        return;
    // Pixels pushed past the right edge by the fine scroll wrap to the left.
    x &= 0xFF;
    if (x <= 7 && blankAware == 1 && (vdp.Registers[0] & VDP_R0_LEFT_BLANK))
        value = vdp.CRAM[16 + (vdp.Registers[7] & 0x0F)];
    VDP_LinePixels(vdp, line)[x] = value;
}

void VDP_MarkPriority(T_VDP_CORE& vdp, uint32_t x)
{
    if (x <= 255)
        vdp.PriorityMask[x] = 1;
}

void VDP_PutSpritePixel(T_VDP_CORE& vdp, uint8_t index, uint32_t x, uint32_t line)
{
    if (index == 0 || x > 255)
        return;
    if (vdp.PriorityMask[x] == 1)
        return; // hidden behind a priority background pixel: no collision there
    if (vdp.SpriteMask[x] == 1) {
        vdp.SpriteCollision = 1; // the earlier sprite in the table stays in front
        return;
    }
    VDP_PutPixel(vdp, vdp.CRAM[16 + (index & 0x0F)], x, 1, line);
    vdp.SpriteMask[x] = 1;
}

void VDP_ClearLine(T_VDP_CORE& vdp, uint32_t line)
{
    if (line <= VDP_LAST_DRAWN_LINE)
        std::memset(VDP_LinePixels(vdp, line), 0, VDP_SCREEN_WIDTH);
}

namespace {

void DrawBackground(T_VDP_CORE& vdp, uint32_t line)
{
    const uint8_t* regs = vdp.Registers;
    if (line == 0)
        vdp.FrameVScroll = regs[9];

    uint32_t hc = regs[8] >> 3;
    uint32_t hf = regs[8] & 7;
    if (line < 16 && (regs[0] & VDP_R0_TOP_NO_HSCROLL)) {
        hc = 0;
        hf = 0;
    }
    uint32_t vc = vdp.FrameVScroll >> 3;
    uint32_t vf = vdp.FrameVScroll & 7;
    const uint32_t base = (regs[2] & 0x0E) * 1024u;

    for (uint32_t i = 0; i < 32; ++i) {
        if (i >= 24 && (regs[0] & VDP_R0_RIGHT_NO_VSCROLL)) {
            vc = 0;
            vf = 0;
        }
        const uint32_t y = line + vf;
        uint32_t row = (y >> 3) + vc;
        if (row > 27)
            row -= 28;
        const uint32_t column = (i - hc) & 31;
        const uint32_t at = base + row * 64 + column * 2;
        const uint16_t entry = static_cast<uint16_t>(vdp.VRAM[at] | (vdp.VRAM[at + 1] << 8));

        uint8_t out[8];
        VDP_DecodeTileRow(vdp, entry, y, out);
        const uint32_t x0 = i * 8 + hf;
        const uint32_t palette = (entry & 0x0800) ? 16 : 0;
        if (entry & 0x1000) {
            for (uint32_t k = 0; k < 8; ++k)
                if (out[7 - k] != 0)
                    VDP_MarkPriority(vdp, x0 + k);
        }
        for (uint32_t k = 0; k < 8; ++k)
            VDP_PutPixel(vdp, vdp.CRAM[palette + out[7 - k]], x0 + k, 1, line);
    }
}

void DrawSprites(T_VDP_CORE& vdp, uint32_t line)
{
    const uint8_t* regs = vdp.Registers;
    const uint32_t height = (regs[1] & VDP_R1_SPRITES_8X16) ? 16 : 8;
    const uint32_t base = (regs[5] & 0x7E) * 128u;
    uint32_t onLine = 0;

    for (uint32_t s = 0; s < VDP_SPRITE_COUNT; ++s) {
        const uint8_t ybyte = vdp.VRAM[base + s];
        if (ybyte == VDP_SPRITE_LIST_END)
            break;
        // The chip shows a sprite one line below its y byte; one that runs
        // past line 255 shows its lower part at the top of the screen.
        uint32_t top = (ybyte + 1u) & 0xFF;
        uint32_t skip = 0;
        if (top > 255 - height) {
            skip = 256 - top;
            top = 0;
        }
        if (line >= top && line < top + height - skip) {
            int32_t x = vdp.VRAM[base + 128 + 2 * s];
            uint32_t pattern = vdp.VRAM[base + 128 + 2 * s + 1];
            if (height == 16)
                pattern &= 0xFE;
            if (regs[6] & VDP_R6_SPRITE_TILES_HIGH)
                pattern += 256;
            if (regs[0] & VDP_R0_SPRITE_SHIFT)
                x -= 8;
            uint8_t out[8];
            VDP_DecodeSpriteRow(vdp, static_cast<uint16_t>(pattern), skip + line - top, out);
            for (int32_t k = 0; k < 8; ++k) {
                const int32_t px = x + k;
                if (px >= 0 && px <= 255)
                    VDP_PutSpritePixel(vdp, out[7 - k], static_cast<uint32_t>(px), line);
            }
            ++onLine;
        }
        if (onLine == VDP_SPRITES_FOR_OVERFLOW)
            vdp.SpriteOverflow = 1;
    }
}

} // namespace

void VDP_DrawLine(T_VDP_CORE& vdp, uint32_t line)
{
    std::memset(vdp.PriorityMask, 0, sizeof vdp.PriorityMask);
    std::memset(vdp.SpriteMask, 0, sizeof vdp.SpriteMask);
    if ((vdp.Registers[1] & VDP_R1_DISPLAY_ON) == 0) {
        // Blank display: a black line, with no left-column blank and no
        // sprite processing, so the sprite flags stay as they are.
        for (uint32_t x = 0; x < VDP_SCREEN_WIDTH; ++x)
            VDP_PutPixel(vdp, 0, x, 0, line);
        return;
    }
    if (vdp.BackgroundLayerOn == 1)
        DrawBackground(vdp, line);
    else
        VDP_ClearLine(vdp, line);
    if (vdp.SpriteLayerOn == 1)
        DrawSprites(vdp, line);
}
