// VDPEM scanline renderer: background tiles with scroll, flips, palette
// select and priority, then up to 64 sprites with overflow and collision,
// drawn straight into the frame image one line at a time.
//
// Nothing is cached between lines: each drawn line decodes its tile rows and
// sprite rows from VRAM again, so any VRAM write shows on the next line.
#include "VDPDecode.h"

#include <cstring>

using namespace vdp_decode;

void VDP_DecodeTileRow(const T_VDP_CORE& vdp, uint16_t entry, uint32_t y, uint8_t out[8])
{
    StoreRow(DecodePlanes(TileRowPlanes(vdp, entry, y), FlippedX(entry) ? kBitBInByte7MinusB : kBitBInByteB), out);
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
    StoreRow(DecodePlanes(planes, kBitBInByteB), out);
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
    const uint32_t base = (regs[2] & 0x0E) * 1024u;
    uint8_t* pixels = VDP_LinePixels(vdp, line);

    // Name-table row and line within the scrolled plane, once for the
    // scrolled columns and once for the right-hand columns that may be locked.
    struct Plane {
        uint32_t y;
        const uint8_t* names;
    };
    auto planeFor = [&](uint32_t vscroll) {
        const uint32_t y = line + (vscroll & 7);
        uint32_t row = (y >> 3) + (vscroll >> 3);
        if (row > 27)
            row -= 28;
        return Plane{y, vdp.VRAM + base + row * 64};
    };
    const Plane scrolled = planeFor(vdp.FrameVScroll);
    const Plane right = (regs[0] & VDP_R0_RIGHT_NO_VSCROLL) ? planeFor(0) : scrolled;

    for (uint32_t i = 0; i < 32; ++i) {
        const Plane& plane = i >= 24 ? right : scrolled;
        const uint8_t* name = plane.names + ((i - hc) & 31) * 2;
        const uint16_t entry = static_cast<uint16_t>(name[0] | (name[1] << 8));

        // Drawing takes out[7 - k] for the k-th pixel from the left: decoded
        // in the opposite bit order, byte k of the word is that pixel.
        const uint64_t leftToRight =
            DecodePlanes(TileRowPlanes(vdp, entry, plane.y), FlippedX(entry) ? kBitBInByteB : kBitBInByte7MinusB);
        const uint8_t* palette = vdp.CRAM + ((entry & 0x0800) ? 16 : 0);
        const uint32_t x0 = i * 8 + hf;
        if (x0 - 8 <= 248 - 8) {
            // Inside the line and clear of the left column: no wrap and no
            // blanking can apply, so the pixels go straight in.
            uint8_t* to = pixels + x0;
#pragma GCC unroll 8
            for (uint32_t k = 0; k < 8; ++k)
                to[k] = palette[static_cast<uint8_t>(leftToRight >> (8 * k))];
            if (entry & 0x1000) // indexes are at most 15: adding 0x7F flags the non-zero ones
                StoreRow(((leftToRight + 0x7F7F7F7F7F7F7F7FULL) >> 7) & 0x0101010101010101ULL, vdp.PriorityMask + x0);
        } else {
            for (uint32_t k = 0; k < 8; ++k) {
                const uint8_t index = static_cast<uint8_t>(leftToRight >> (8 * k));
                if ((entry & 0x1000) && index != 0)
                    VDP_MarkPriority(vdp, x0 + k);
                VDP_PutPixel(vdp, palette[index], x0 + k, 1, line);
            }
        }
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
        // The chip shows a sprite one line below its y byte, and one that
        // runs past line 255 shows its lower part at the top of the screen.
        // For drawn lines (0-191) both cases come to one rule: the sprite
        // row is the line minus (y + 1), taken modulo 256, when below h.
        const uint32_t row = (line - ybyte - 1u) & 0xFF;
        if (row < height) {
            int32_t x = vdp.VRAM[base + 128 + 2 * s];
            uint32_t pattern = vdp.VRAM[base + 128 + 2 * s + 1];
            if (height == 16)
                pattern &= 0xFE;
            if (regs[6] & VDP_R6_SPRITE_TILES_HIGH)
                pattern += 256;
            if (regs[0] & VDP_R0_SPRITE_SHIFT)
                x -= 8;
            uint8_t out[8];
            VDP_DecodeSpriteRow(vdp, static_cast<uint16_t>(pattern), row, out);
            uint64_t any;
            std::memcpy(&any, out, 8);
            if (any != 0) { // a fully transparent row draws and collides with nothing
                for (int32_t k = 0; k < 8; ++k) {
                    const int32_t px = x + k;
                    if (px >= 0 && px <= 255)
                        VDP_PutSpritePixel(vdp, out[7 - k], static_cast<uint32_t>(px), line);
                }
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
