// VDPEM, the hardware models (the 315-5124 of the first Master System, the
// 315-5246 of the Master System II and the Game Gear's VDP, a 315-5246 with
// 12-bit CRAM and a 160 x 144 window): the mode table, the line step with
// each standard's and height's V counter, line counter and frame interrupt,
// the H counter latch, the control port as the chip runs it, the mode-4
// renderer with its eight-sprite line buffer, zoom and collision, and the
// TMS9918 modes with their fixed palette and sprites; the Game Gear's CRAM
// latch, window and per-frame palette.
//
// The default model never comes here: the ports and VDP_RunLine branch once
// on vdp.Model, and nothing below runs per pixel for it.
#include "VDPDecode.h"

#include <cstring>

using namespace vdp_decode;

namespace {

// The TMS9918 colours as the Master System's VDPs show them, in CRAM's
// %--BBGGRR form (measured on a 315-5124): transparent (black), black,
// medium green, light green, dark blue, light blue, dark red, cyan, medium
// red, light red, dark yellow, light yellow, dark green, magenta, grey, white.
// CRAM is ignored in these modes but keeps its contents.
constexpr uint8_t kTmsColours[16] = {0x00, 0x00, 0x08, 0x0C, 0x10, 0x30, 0x01, 0x3C,
                                     0x02, 0x03, 0x05, 0x0F, 0x04, 0x33, 0x15, 0x3F};

constexpr uint8_t kR0ModeM2 = 0x02;
constexpr uint8_t kR0ModeM4 = 0x04;
constexpr uint8_t kR1Zoom = 0x01;
constexpr uint8_t kR1ModeM3 = 0x08;
constexpr uint8_t kR1ModeM1 = 0x10;
constexpr uint32_t kMode4SpritesPerLine = 8;
constexpr uint32_t kTmsSpritesPerLine = 4;
constexpr uint32_t kTmsSpriteCount = 32;

// Where the V counter jumps back: from line `Line` on it reads Value plus
// the lines since; before, the line number's low byte (which wraps past $FF
// by itself in the tall modes).
struct TVCounterJump {
    uint16_t Line;
    uint8_t Value;
};

TVCounterJump VCounterJump(uint8_t pal, uint32_t height)
{
    // NTSC 192: $00-$DA, $D5-$FF; 224: $00-$EA, $E5-$FF; 240: $00-$FF then
    // $00-$05 (the frame has only 262 lines to count: the picture rolls on
    // a television, and no jump back comes before the frame ends).
    // PAL 192: $00-$F2, $BA-$FF; 224: $00-$FF, $00-$02, $CA-$FF;
    // 240: $00-$FF, $00-$0A, $D2-$FF.
    if (pal == 0)
        return height == 192 ? TVCounterJump{219, 0xD5} : height == 224 ? TVCounterJump{235, 0xE5} : TVCounterJump{262, 0};
    return height == 192 ? TVCounterJump{243, 0xBA} : height == 224 ? TVCounterJump{259, 0xCA} : TVCounterJump{267, 0xD2};
}

inline bool IsMode4(TVdpScreenMode mode)
{
    return mode <= VDP_SCREEN_MODE4_240;
}

// Where a line is drawn: its row of the frame image, or on the Game Gear
// the line buffer the window is cut out of.
inline uint8_t* PictureLine(T_VDP_CORE& vdp, uint32_t line)
{
    if (vdp.Model == VDP_MODEL_GAME_GEAR)
        return vdp.LineBuffer;
    return vdp.FrameImage + VDP_FRAME_PIXEL_OFFSET + (VDP_PictureHeight(vdp) - 1 - line) * VDP_SCREEN_WIDTH;
}

// The pixel bytes of the 32 CRAM entries: the 6-bit colours themselves, or
// on the Game Gear the palette slots of its 12-bit ones.
inline const uint8_t* CramColours(const T_VDP_CORE& vdp)
{
    return vdp.Model == VDP_MODEL_GAME_GEAR ? vdp.LineColours : vdp.CRAM;
}
inline const uint8_t* TmsColours(const T_VDP_CORE& vdp)
{
    return vdp.Model == VDP_MODEL_GAME_GEAR ? vdp.LineColours + VDP_GG_CRAM_WORDS : kTmsColours;
}

// /INT is a level: low while a pending flag meets its enable bit.
inline void UpdateInterruptLevel(T_VDP_CORE& vdp)
{
    vdp.InterruptLine = ((vdp.FrameIntPending && (vdp.Registers[1] & VDP_R1_FRAME_INT)) ||
                         (vdp.LineIntPending && (vdp.Registers[0] & VDP_R0_LINE_INT)))
                            ? 1
                            : 0;
}

// ---------------------------------------------------------------- mode 4

// The sprites buffered for one line, in table order, with the pattern row
// each shows there.
struct TSpriteLine {
    uint32_t Count;
    uint8_t Number[kMode4SpritesPerLine];
    uint8_t Row[kMode4SpritesPerLine];
};

// The chip scans the Y table during the line before and keeps the first
// eight sprites that cover the line; a ninth sets the overflow flag (its X,
// pattern and colours do not matter). Y = $D0 ends the table in the
// 192-line mode only. Here the scan runs at the start of the line it is
// for, so the flag shows when the V counter reaches the crowded line.
void EvaluateMode4Sprites(T_VDP_CORE& vdp, uint32_t line, TVdpScreenMode mode, TSpriteLine& out)
{
    const uint8_t* regs = vdp.Registers;
    const uint8_t* y = vdp.VRAM + (regs[5] & 0x7E) * 128u;
    const uint32_t zoom = regs[1] & kR1Zoom;
    const uint32_t height = ((regs[1] & VDP_R1_SPRITES_8X16) ? 16u : 8u) << zoom;
    const bool terminator = mode == VDP_SCREEN_MODE4_192;
    out.Count = 0;
    for (uint32_t s = 0; s < VDP_SPRITE_COUNT; ++s) {
        if (terminator && y[s] == VDP_SPRITE_LIST_END)
            break;
        const uint32_t row = (line - y[s] - 1u) & 0xFF;
        if (row >= height)
            continue;
        if (out.Count == kMode4SpritesPerLine) {
            vdp.SpriteOverflow = 1;
            break;
        }
        out.Number[out.Count] = static_cast<uint8_t>(s);
        out.Row[out.Count] = static_cast<uint8_t>(row >> zoom); // zoomed: each pattern row twice
        ++out.Count;
    }
}

// The buffered sprites' pixels: the lower buffer entry wins where two are
// opaque, and that meeting sets the collision flag whatever the background
// does there (the background's priority only hides the winner). Only
// pixels 0-255 take part: a sprite's part past either edge is neither
// drawn nor checked. `pixels` null: the flags only (an undrawn frame, or
// the sprite layer switched off).
void Mode4SpritePixels(T_VDP_CORE& vdp, const TSpriteLine& sprites, uint8_t* pixels)
{
    if (sprites.Count == 0)
        return;
    const uint8_t* regs = vdp.Registers;
    const uint32_t base = (regs[5] & 0x7E) * 128u;
    const bool tall = (regs[1] & VDP_R1_SPRITES_8X16) != 0;
    const int32_t shift = (regs[0] & VDP_R0_SPRITE_SHIFT) ? 8 : 0;
    const uint32_t high = (regs[6] & VDP_R6_SPRITE_TILES_HIGH) ? 256 : 0;
    // Zoom doubles every buffered sprite's lines; the 315-5124 widens only
    // the first four of the buffer, the 315-5246 all eight.
    const uint32_t wide = (regs[1] & kR1Zoom) == 0 ? 0 : vdp.Model == VDP_MODEL_315_5124 ? 4 : kMode4SpritesPerLine;
    const uint8_t* palette = CramColours(vdp) + 16;
    std::memset(vdp.SpriteMask, 0, sizeof vdp.SpriteMask);
    for (uint32_t k = 0; k < sprites.Count; ++k) {
        const uint32_t s = sprites.Number[k];
        const int32_t x = vdp.VRAM[base + 128 + 2 * s] - shift;
        uint32_t pattern = vdp.VRAM[base + 129 + 2 * s];
        if (tall)
            pattern &= 0xFE;
        pattern += high;
        // At most 510 x 32 + 15 x 4 + 3 or 511 x 32 + 7 x 4 + 3: inside VRAM.
        const uint64_t row = DecodePlanes(vdp.VRAM + pattern * 32 + sprites.Row[k] * 4u, kBitBInByte7MinusB);
        if (row == 0)
            continue;
        const int32_t step = k < wide ? 2 : 1;
        for (int32_t p = 0; p < 8; ++p) {
            const uint8_t index = static_cast<uint8_t>(row >> (8 * p));
            if (index == 0)
                continue;
            for (int32_t j = 0; j < step; ++j) {
                const uint32_t px = static_cast<uint32_t>(x + p * step + j);
                if (px > 255)
                    continue;
                if (vdp.SpriteMask[px]) {
                    vdp.SpriteCollision = 1;
                    continue;
                }
                vdp.SpriteMask[px] = 1;
                if (pixels != nullptr && vdp.PriorityMask[px] == 0)
                    pixels[px] = palette[index];
            }
        }
    }
}

void Mode4Background(T_VDP_CORE& vdp, uint32_t line, TVdpScreenMode mode, uint8_t* pixels)
{
    const uint8_t* regs = vdp.Registers;
    uint32_t hc = regs[8] >> 3;
    uint32_t hf = regs[8] & 7;
    if (line < 16 && (regs[0] & VDP_R0_TOP_NO_HSCROLL)) {
        hc = 0;
        hf = 0;
    }
    // 192 lines: a 32 x 28 table at (R2 & $0E) x $400, scrolled modulo 224.
    // 224 and 240 lines: 32 x 32 at $x700, scrolled modulo 256.
    const bool tall = mode != VDP_SCREEN_MODE4_192;
    const uint32_t base = tall ? (((regs[2] & 0x0Cu) << 10) | 0x0700u) : ((regs[2] & 0x0Eu) << 10);
    // The 315-5124 ANDs R2 bit 0 into address bit 10 (name-table row bit
    // 4): with it clear, rows 16-27 come from rows 0-11.
    const uint32_t mask = (vdp.Model == VDP_MODEL_315_5124 && (regs[2] & 1) == 0) ? 0x3BFFu : 0x3FFFu;
    auto planeY = [&](uint32_t vscroll) {
        uint32_t y = line + vscroll;
        if (tall)
            return y & 0xFF;
        while (y >= 224)
            y -= 224;
        return y;
    };
    const uint8_t* colours = CramColours(vdp);
    const uint32_t scrolled = planeY(vdp.FrameVScroll);
    const uint32_t locked = (regs[0] & VDP_R0_RIGHT_NO_VSCROLL) ? planeY(0) : scrolled;

    // The pixels a fine scroll uncovers at the left show background colour 0
    // (the column pushed out at the right does not come round).
    std::memset(pixels, colours[0], hf);
    for (uint32_t i = 0; i < 32; ++i) {
        const uint32_t y = i >= 24 ? locked : scrolled;
        const uint32_t at = (base + (y >> 3) * 64 + ((i - hc) & 31) * 2) & mask;
        const uint16_t entry = static_cast<uint16_t>(vdp.VRAM[at] | (vdp.VRAM[at + 1] << 8));
        const uint64_t leftToRight =
            DecodePlanes(TileRowPlanes(vdp, entry, y), FlippedX(entry) ? kBitBInByteB : kBitBInByte7MinusB);
        const uint8_t* palette = colours + ((entry & 0x0800) ? 16 : 0);
        const uint32_t x0 = i * 8 + hf;
        uint8_t* to = pixels + x0;
        if (x0 <= 248) {
#pragma GCC unroll 8
            for (uint32_t k = 0; k < 8; ++k)
                to[k] = palette[static_cast<uint8_t>(leftToRight >> (8 * k))];
            if (entry & 0x1000) // indexes are at most 15: adding 0x7F flags the non-zero ones
                StoreRow(((leftToRight + 0x7F7F7F7F7F7F7F7FULL) >> 7) & 0x0101010101010101ULL, vdp.PriorityMask + x0);
        } else {
            for (uint32_t k = 0; x0 + k < 256; ++k) {
                const uint8_t index = static_cast<uint8_t>(leftToRight >> (8 * k));
                to[k] = palette[index];
                vdp.PriorityMask[x0 + k] = (entry & 0x1000) && index != 0 ? 1 : 0;
            }
        }
    }
}

void Mode4Line(T_VDP_CORE& vdp, uint32_t line, TVdpScreenMode mode, bool drawn)
{
    // Sprites are looked at on every active line, drawn or not and whatever
    // the menu's layer switches: the flags are the program's, not the view's.
    TSpriteLine sprites;
    EvaluateMode4Sprites(vdp, line, mode, sprites);
    if (!drawn) {
        Mode4SpritePixels(vdp, sprites, nullptr);
        return;
    }
    uint8_t* pixels = PictureLine(vdp, line);
    std::memset(vdp.PriorityMask, 0, sizeof vdp.PriorityMask);
    if (vdp.BackgroundLayerOn == 1)
        Mode4Background(vdp, line, mode, pixels);
    else
        std::memset(pixels, 0, VDP_SCREEN_WIDTH);
    Mode4SpritePixels(vdp, sprites, vdp.SpriteLayerOn == 1 ? pixels : nullptr);
    // The hidden left column covers the sprites too.
    if (vdp.Registers[0] & VDP_R0_LEFT_BLANK)
        std::memset(pixels, CramColours(vdp)[16 + (vdp.Registers[7] & 0x0F)], 8);
}

// ---------------------------------------------------------------- TMS9918 modes

struct TTmsSpriteLine {
    uint32_t Count;
    uint8_t Number[kTmsSpritesPerLine];
    uint8_t Row[kTmsSpritesPerLine];
};

// 32 sprites of four bytes (Y, X, pattern, early clock | colour); Y = $D0
// ends the table. Four a line: the fifth sets status bit 6 and leaves its
// number in bits 4-0 until the status is read. Without a fifth sprite the
// number follows the last sprite the scan looked at, as on the TMS9918.
// Whether the Sega VDPs keep the TMS limit and number is not established;
// this model keeps both (software written for the TMS relies on the limit,
// and nothing is known to contradict it on these chips).
void EvaluateTmsSprites(T_VDP_CORE& vdp, uint32_t line, TTmsSpriteLine& out)
{
    const uint8_t* regs = vdp.Registers;
    const uint8_t* table = vdp.VRAM + (regs[5] & 0x7F) * 128u;
    const uint32_t zoom = regs[1] & kR1Zoom;
    const uint32_t height = ((regs[1] & VDP_R1_SPRITES_8X16) ? 16u : 8u) << zoom;
    out.Count = 0;
    uint32_t s = 0;
    for (; s < kTmsSpriteCount; ++s) {
        const uint8_t y = table[4 * s];
        if (y == VDP_SPRITE_LIST_END)
            break;
        const uint32_t row = (line - y - 1u) & 0xFF;
        if (row >= height)
            continue;
        if (out.Count == kTmsSpritesPerLine) {
            if (vdp.SpriteOverflow == 0) {
                vdp.SpriteOverflow = 1;
                vdp.FifthSprite = static_cast<uint8_t>(s);
            }
            return;
        }
        out.Number[out.Count] = static_cast<uint8_t>(s);
        out.Row[out.Count] = static_cast<uint8_t>(row >> zoom);
        ++out.Count;
    }
    if (vdp.SpriteOverflow == 0)
        vdp.FifthSprite = static_cast<uint8_t>(s < kTmsSpriteCount ? s : kTmsSpriteCount - 1);
}

// One colour a sprite, 8 or 16 pixels wide (a 16-pixel pattern is four
// tiles: the left column's two, then the right column's), doubled by the
// magnify bit. Any two set pattern bits that meet set the collision flag,
// transparent sprites included (the TMS9918 compares patterns, not
// colours); the earlier sprite's colour stays in front.
void TmsSpritePixels(T_VDP_CORE& vdp, const TTmsSpriteLine& sprites, uint8_t* pixels)
{
    if (sprites.Count == 0)
        return;
    const uint8_t* regs = vdp.Registers;
    const uint8_t* table = vdp.VRAM + (regs[5] & 0x7F) * 128u;
    const uint32_t patterns = (regs[6] & 7u) << 11;
    const bool big = (regs[1] & VDP_R1_SPRITES_8X16) != 0;
    const int32_t zoom = regs[1] & kR1Zoom;
    const int32_t shift = (regs[0] & VDP_R0_SPRITE_SHIFT) ? 8 : 0;
    std::memset(vdp.SpriteMask, 0, sizeof vdp.SpriteMask);
    std::memset(vdp.PriorityMask, 0, sizeof vdp.PriorityMask); // here: a colour is drawn
    const uint8_t* tms = TmsColours(vdp);
    for (uint32_t k = 0; k < sprites.Count; ++k) {
        const uint8_t* sprite = table + 4 * sprites.Number[k];
        int32_t x = sprite[1] - shift - ((sprite[3] & 0x80) ? 32 : 0);
        const uint32_t name = big ? (sprite[2] & 0xFCu) : sprite[2];
        const uint32_t at = patterns + name * 8 + sprites.Row[k];
        const uint32_t bits = (uint32_t{vdp.VRAM[at]} << 8) | (big ? vdp.VRAM[at + 16] : 0u);
        const uint8_t colour = sprite[3] & 0x0F;
        const int32_t width = big ? 16 : 8;
        for (int32_t b = 0; b < width; ++b) {
            if ((bits & (0x8000u >> b)) == 0)
                continue;
            for (int32_t j = 0; j < (1 << zoom); ++j) {
                const uint32_t px = static_cast<uint32_t>(x + (b << zoom) + j);
                if (px > 255)
                    continue;
                if (vdp.SpriteMask[px])
                    vdp.SpriteCollision = 1;
                vdp.SpriteMask[px] = 1;
                if (colour != 0 && vdp.PriorityMask[px] == 0) {
                    vdp.PriorityMask[px] = 1;
                    if (pixels != nullptr)
                        pixels[px] = tms[colour];
                }
            }
        }
    }
}

// The background of one line in Graphics I, Graphics II, Text or
// Multicolor. Colour 0 is transparent and shows the backdrop (R7 bits 3-0).
// The table bases follow the TMS9918's rules; the AND masks that its unused
// base bits make in Graphics II are not applied (the 315-5246 has none; for
// the 315-5124 they are not established).
void TmsBackground(const T_VDP_CORE& vdp, uint32_t line, TVdpScreenMode mode, uint8_t* pixels)
{
    const uint8_t* regs = vdp.Registers;
    const uint8_t* vram = vdp.VRAM;
    const uint8_t* tms = TmsColours(vdp);
    const uint8_t backdrop = tms[regs[7] & 0x0F];
    auto colour = [&](uint32_t c) { return c == 0 ? backdrop : tms[c]; };
    const uint32_t names = (regs[2] & 0x0Fu) << 10;
    const uint32_t row = line >> 3, r = line & 7;
    switch (mode) {
    case VDP_SCREEN_TEXT: {
        // 40 cells of 6 x 8 (pattern bits 7-2) between 8-pixel borders, in
        // the two colours of R7.
        const uint32_t patterns = (regs[4] & 7u) << 11;
        const uint8_t fg = colour(regs[7] >> 4), bg = colour(regs[7] & 0x0F);
        std::memset(pixels, backdrop, 8);
        std::memset(pixels + 248, backdrop, 8);
        for (uint32_t c = 0; c < 40; ++c) {
            const uint8_t bits = vram[patterns + vram[names + row * 40 + c] * 8u + r];
            for (uint32_t b = 0; b < 6; ++b)
                pixels[8 + c * 6 + b] = (bits & (0x80 >> b)) ? fg : bg;
        }
        break;
    }
    case VDP_SCREEN_MULTICOLOR: {
        // Each name picks two bytes of its pattern by the row (AND 3): the
        // top four lines of the cell use the first, the bottom four the
        // second; a byte's nibbles colour the left and right 4 x 4 blocks.
        const uint32_t patterns = (regs[4] & 7u) << 11;
        for (uint32_t c = 0; c < 32; ++c) {
            const uint8_t b = vram[patterns + vram[names + row * 32 + c] * 8u + (row & 3) * 2 + (r >> 2)];
            std::memset(pixels + c * 8, colour(b >> 4), 4);
            std::memset(pixels + c * 8 + 4, colour(b & 0x0F), 4);
        }
        break;
    }
    default: {
        // Graphics I: 256 patterns, a colour byte per group of eight names.
        // Graphics II: each third of the screen its own 256 patterns and a
        // colour byte per pattern row; bit 2 of R4 and bit 7 of R3 pick the
        // half of VRAM.
        const bool second = mode == VDP_SCREEN_GRAPHICS2;
        const uint32_t patterns = second ? (regs[4] & 4u) << 11 : (regs[4] & 7u) << 11;
        const uint32_t colours = second ? (regs[3] & 0x80u) << 6 : regs[3] * 64u;
        const uint32_t third = second ? (row >> 3) * 256 : 0;
        for (uint32_t c = 0; c < 32; ++c) {
            const uint32_t name = third + vram[names + row * 32 + c];
            const uint8_t bits = vram[patterns + name * 8 + r];
            const uint8_t pair = second ? vram[colours + name * 8 + r] : vram[colours + (name >> 3)];
            const uint8_t fg = colour(pair >> 4), bg = colour(pair & 0x0F);
            for (uint32_t b = 0; b < 8; ++b)
                pixels[c * 8 + b] = (bits & (0x80 >> b)) ? fg : bg;
        }
        break;
    }
    }
}

void TmsLine(T_VDP_CORE& vdp, uint32_t line, TVdpScreenMode mode, bool drawn)
{
    TTmsSpriteLine sprites{};
    if (mode != VDP_SCREEN_TEXT) // Text mode has no sprites
        EvaluateTmsSprites(vdp, line, sprites);
    if (!drawn) {
        TmsSpritePixels(vdp, sprites, nullptr);
        return;
    }
    uint8_t* pixels = PictureLine(vdp, line);
    if (vdp.BackgroundLayerOn == 1)
        TmsBackground(vdp, line, mode, pixels);
    else
        std::memset(pixels, 0, VDP_SCREEN_WIDTH);
    TmsSpritePixels(vdp, sprites, vdp.SpriteLayerOn == 1 ? pixels : nullptr);
}

// ---------------------------------------------------------------- the Game Gear

// The palette slot that shows a 12-bit colour in this frame's image: the
// one it already has, else the next free one (its palette entry written at
// once), else, with all 256 in use, the slot whose colour is nearest.
uint8_t GameGearSlot(T_VDP_CORE& vdp, uint16_t colour)
{
    const uint16_t known = vdp.GGSlotOf[colour];
    if (known != 0)
        return static_cast<uint8_t>(known - 1);
    if (vdp.GGSlotCount < 256) {
        const uint16_t slot = vdp.GGSlotCount++;
        vdp.GGSlotColour[slot] = colour;
        vdp.GGSlotOf[colour] = static_cast<uint16_t>(slot + 1);
        uint8_t* entry = vdp.FrameImage + VDP_FRAME_PALETTE_OFFSET + slot * 4u;
        const uint32_t rgb = VDP_GameGearRgb(colour);
        entry[0] = static_cast<uint8_t>(rgb);
        entry[1] = static_cast<uint8_t>(rgb >> 8);
        entry[2] = static_cast<uint8_t>(rgb >> 16);
        entry[3] = 0;
        if (vdp.GGSlotCount > vdp.GGPaletteHigh)
            vdp.GGPaletteHigh = vdp.GGSlotCount;
        return static_cast<uint8_t>(slot);
    }
    uint32_t best = 0, bestDistance = ~0u;
    for (uint32_t s = 0; s < 256; ++s) {
        uint32_t distance = 0;
        for (uint32_t shift = 0; shift < 12; shift += 4) {
            const int32_t d = int32_t((vdp.GGSlotColour[s] >> shift) & 15) - int32_t((colour >> shift) & 15);
            distance += static_cast<uint32_t>(d * d);
        }
        if (distance < bestDistance) {
            bestDistance = distance;
            best = s;
        }
    }
    return static_cast<uint8_t>(best);
}

// A TMS9918 colour (%--BBGGRR) in 12 bits: each 2-bit gun v as 5 x v, the
// same levels (85 x v) the Master System shows.
uint16_t TmsColour12(uint8_t colour)
{
    return static_cast<uint16_t>(5 * ((colour & 3) | ((colour >> 2) & 3) << 4 | ((colour >> 4) & 3) << 8));
}

// Before a line of the window is drawn: a new frame starts its palette
// afresh on the window's first line, and the pixel bytes of the colours the
// line uses are brought up to date with CRAM. CRAM is looked at once a line:
// a write shows from the line after it, as in the Master System's models.
void GameGearLineStart(T_VDP_CORE& vdp, uint32_t row, bool mode4)
{
    if (row == 0) {
        for (uint32_t s = 0; s < vdp.GGSlotCount; ++s) {
            vdp.GGSlotOf[vdp.GGSlotColour[s]] = 0;
            vdp.GGSlotColour[s] = 0;
        }
        vdp.GGSlotCount = 0;
        vdp.GGStale = 3;
    }
    if (mode4 && (vdp.GGStale & 1)) {
        for (uint32_t i = 0; i < VDP_GG_CRAM_WORDS; ++i)
            vdp.LineColours[i] = GameGearSlot(vdp, vdp.GGCram[i]);
        vdp.GGStale &= 2;
    } else if (!mode4 && (vdp.GGStale & 2)) {
        for (uint32_t i = 0; i < 16; ++i)
            vdp.LineColours[VDP_GG_CRAM_WORDS + i] = GameGearSlot(vdp, TmsColour12(kTmsColours[i]));
        vdp.GGStale &= 1;
    }
}

// After a line of the window is drawn: its 160 pixels into the image, and
// after the last one the palette entries no slot of this frame uses cleared,
// so that a frame's image depends on that frame alone.
void GameGearLineEnd(T_VDP_CORE& vdp, uint32_t row)
{
    std::memcpy(vdp.FrameImage + VDP_FRAME_PIXEL_OFFSET + (VDP_GG_WINDOW_HEIGHT - 1 - row) * VDP_GG_WINDOW_WIDTH,
                vdp.LineBuffer + VDP_GG_WINDOW_LEFT, VDP_GG_WINDOW_WIDTH);
    if (row == VDP_GG_WINDOW_HEIGHT - 1 && vdp.GGPaletteHigh > vdp.GGSlotCount) {
        std::memset(vdp.FrameImage + VDP_FRAME_PALETTE_OFFSET + vdp.GGSlotCount * 4u, 0,
                    (vdp.GGPaletteHigh - vdp.GGSlotCount) * 4u);
        vdp.GGPaletteHigh = vdp.GGSlotCount;
    }
}

// CRAM through the data port: an even address only fills the latch; an odd
// one stores {this byte, the latch} as the word at address AND $3E, so
// repeated odd writes reuse the latch. The address counts 64 bytes.
void GameGearCramWrite(T_VDP_CORE& vdp, uint8_t value)
{
    const uint32_t address = vdp.Address & 0x3F;
    if ((address & 1) == 0) {
        vdp.GGLatch = value;
        return;
    }
    vdp.GGCram[address >> 1] = static_cast<uint16_t>(((value << 8) | vdp.GGLatch) & 0x0FFF);
    vdp.GGStale |= 1;
}

} // namespace

// ---------------------------------------------------------------- modes and counters

uint32_t VDP_GameGearWindowTop(const T_VDP_CORE& vdp)
{
    return VDP_ScreenMode(vdp) == VDP_SCREEN_MODE4_224 ? 40 : 24;
}

void VDP_GameGearResetPalette(T_VDP_CORE& vdp)
{
    for (uint32_t s = 0; s < vdp.GGSlotCount; ++s)
        vdp.GGSlotOf[vdp.GGSlotColour[s]] = 0;
    std::memset(vdp.GGSlotColour, 0, sizeof vdp.GGSlotColour);
    vdp.GGSlotCount = 0;
    vdp.GGPaletteHigh = 0;
    vdp.GGStale = 3;
    VDP_WriteGameGearImageHeaders(vdp.FrameImage, nullptr, 0);
    // Past the window's pixels the image buffer is unused; a state holds
    // zeros there whatever model ran before.
    constexpr std::size_t window = VDP_GG_WINDOW_WIDTH * VDP_GG_WINDOW_HEIGHT;
    std::memset(vdp.FrameImage + VDP_FRAME_PIXEL_OFFSET + window, 0, VDP_MAX_FRAME_IMAGE_SIZE - VDP_FRAME_PIXEL_OFFSET - window);
}

TVdpScreenMode VDP_ScreenMode(const T_VDP_CORE& vdp)
{
    if (vdp.Model == VDP_MODEL_TIRAVEL)
        return VDP_SCREEN_MODE4_192;
    const uint8_t r0 = vdp.Registers[0], r1 = vdp.Registers[1];
    const bool m1 = (r1 & kR1ModeM1) != 0, m2 = (r0 & kR0ModeM2) != 0, m3 = (r1 & kR1ModeM3) != 0;
    if (r0 & kR0ModeM4) {
        // The 315-5124 shows 192 lines for every mode-4 combination. The
        // 315-5246's "invalid text mode" (M1 without M2) is drawn as
        // 192-line mode 4 here: no program is known to use it. The Game
        // Gear's chip has the 224-line mode but no 240-line one; that
        // combination draws 192 lines here, as on the 315-5124.
        if (vdp.Model == VDP_MODEL_315_5246 && m2 && m1 != m3)
            return m1 ? VDP_SCREEN_MODE4_224 : VDP_SCREEN_MODE4_240;
        if (vdp.Model == VDP_MODEL_GAME_GEAR && m2 && m1 && !m3)
            return VDP_SCREEN_MODE4_224;
        return VDP_SCREEN_MODE4_192;
    }
    // The undocumented mixes take the first of Text, Graphics II, Multicolor
    // whose bit is set.
    if (m1)
        return VDP_SCREEN_TEXT;
    if (m2)
        return VDP_SCREEN_GRAPHICS2;
    if (m3)
        return VDP_SCREEN_MULTICOLOR;
    return VDP_SCREEN_GRAPHICS1;
}

uint32_t VDP_ModeHeight(TVdpScreenMode mode)
{
    return mode == VDP_SCREEN_MODE4_224 ? 224 : mode == VDP_SCREEN_MODE4_240 ? 240 : 192;
}

uint8_t VDP_ModelVCounter(const T_VDP_CORE& vdp)
{
    const TVCounterJump jump = VCounterJump(vdp.Pal, VDP_ModeHeight(VDP_ScreenMode(vdp)));
    const uint32_t line = vdp.CurrentLine;
    return static_cast<uint8_t>(line >= jump.Line ? jump.Value + (line - jump.Line) : line);
}

// The H counter counts 342 dots a line in 171 steps of two: $00-$93, then
// $E9-$FF; 228 CPU cycles make a line, so a step lasts 4/3 of a cycle. The
// anchor: cycle 0 of a line step is where the V counter moves on, measured
// at H $F4 (the interrupts, raised at the step's start, come at $F3 on the
// chip, a step earlier). So cycle c reads step 159 + 3c/4 (mod 171), the
// 159th value being $F4: $00, the first active pixel, falls on cycle 16,
// and cycle 227 reads $F3.
void VDP_LatchHCounter(T_VDP_CORE& vdp, uint32_t lineCycle)
{
    const uint32_t step = (159 + (lineCycle % 228) * 3 / 4) % 171;
    vdp.HCounter = static_cast<uint8_t>(step < 148 ? step : step - 148 + 0xE9);
}

uint8_t VDP_ReadHCounter(const T_VDP_CORE& vdp)
{
    return vdp.HCounter;
}

// ---------------------------------------------------------------- ports

void VDP_ModelWriteControl(T_VDP_CORE& vdp, uint8_t value)
{
    if (vdp.SecondByte == 0) {
        // The first byte goes into address bits 7-0 at once; bits 13-8 stay.
        vdp.Address = static_cast<uint16_t>((vdp.Address & 0x3F00) | value);
        vdp.SecondByte = 1;
        return;
    }
    vdp.SecondByte = 0;
    vdp.Code = value >> 6;
    vdp.Address = static_cast<uint16_t>(((value & 0x3F) << 8) | (vdp.Address & 0xFF));
    if (vdp.Code == 0) {
        vdp.ReadBuffer = vdp.VRAM[vdp.Address];
        vdp.Address = (vdp.Address + 1) & VDP_ADDRESS_MASK;
    } else if (vdp.Code == 2) {
        // A register write still sets the address and code: later data
        // writes go to VRAM.
        const uint8_t index = value & 0x0F;
        if (index < VDP_REGISTER_COUNT) {
            vdp.Registers[index] = static_cast<uint8_t>(vdp.Address & 0xFF);
            UpdateInterruptLevel(vdp);
        }
    }
}

void VDP_ModelWriteData(T_VDP_CORE& vdp, uint8_t value)
{
    if (vdp.Code == 3) {
        if (vdp.Model == VDP_MODEL_GAME_GEAR)
            GameGearCramWrite(vdp, value);
        else
            vdp.CRAM[vdp.Address & 0x1F] = value & 0x3F;
    } else
        vdp.VRAM[vdp.Address & VDP_ADDRESS_MASK] = value;
    vdp.ReadBuffer = value; // a write loads the read buffer too
    vdp.Address = (vdp.Address + 1) & VDP_ADDRESS_MASK;
    vdp.SecondByte = 0;
}

uint8_t VDP_ModelReadStatus(T_VDP_CORE& vdp)
{
    // Bits 4-0: the fifth sprite's number in the TMS modes; in mode 4 the
    // chip leaves them undriven, read here as 0.
    const uint8_t low = IsMode4(VDP_ScreenMode(vdp)) ? 0 : (vdp.FifthSprite & 0x1F);
    const uint8_t result = static_cast<uint8_t>((vdp.FrameIntPending ? 0x80 : 0) | (vdp.SpriteOverflow ? 0x40 : 0) |
                                                (vdp.SpriteCollision ? 0x20 : 0) | low);
    vdp.FrameIntPending = 0;
    vdp.LineIntPending = 0;
    vdp.SpriteOverflow = 0;
    vdp.SpriteCollision = 0;
    vdp.InterruptLine = 0;
    vdp.SecondByte = 0;
    return result;
}

// ---------------------------------------------------------------- the line step

void VDP_RunModelLine(T_VDP_CORE& vdp, uint32_t line, uint8_t draw)
{
    vdp.CurrentLine = line;
    const uint8_t* regs = vdp.Registers;
    const TVdpScreenMode mode = VDP_ScreenMode(vdp);
    const uint32_t active = VDP_ModeHeight(mode);

    // The end of the line before (H $F3-$F4) comes at this step's start.
    // The line counter counts down on the active lines and the one after
    // them and is reloaded from R10 on the others; running out ($00 to $FF)
    // reloads it and raises the line interrupt. The frame interrupt comes as
    // the V counter reaches the line after the first border line ($C1, $E1
    // or $F1).
    const uint32_t previous = line == 0 ? VDP_LinesPerFrame(vdp) - 1 : line - 1;
    if (previous <= active) {
        if (vdp.LineCounter == 0) {
            vdp.LineCounter = regs[10];
            vdp.LineIntPending = 1;
        } else {
            --vdp.LineCounter;
        }
    } else {
        vdp.LineCounter = regs[10];
    }
    if (line == active + 1)
        vdp.FrameIntPending = 1;
    UpdateInterruptLevel(vdp);

    if (line == 0) {
        // A vertical scroll written during the picture waits for the next frame.
        vdp.FrameVScroll = regs[9];
        // A drawn frame's image takes the mode's height (the Game Gear's
        // window keeps its own).
        if (draw != 0 && vdp.Model != VDP_MODEL_GAME_GEAR && VDP_PictureHeight(vdp) != active) {
            vdp.FrameHeight = static_cast<uint16_t>(active);
            VDP_WriteFrameHeaders(vdp);
        }
    }
    if (line >= active)
        return;
    bool drawn = draw != 0 && line < VDP_PictureHeight(vdp);
    // The Game Gear draws only the lines of its window (the others still
    // look at sprites for the flags).
    uint32_t windowRow = 0;
    const bool gameGear = vdp.Model == VDP_MODEL_GAME_GEAR;
    if (gameGear) {
        windowRow = line - (active == 224 ? 40 : 24);
        drawn = draw != 0 && windowRow < VDP_GG_WINDOW_HEIGHT;
        if (drawn)
            GameGearLineStart(vdp, windowRow, IsMode4(mode));
    }
    if ((regs[1] & VDP_R1_DISPLAY_ON) == 0) {
        // Blanked: the backdrop colour, and no sprite is looked at.
        if (drawn)
            std::memset(PictureLine(vdp, line),
                        IsMode4(mode) ? CramColours(vdp)[16 + (regs[7] & 0x0F)] : TmsColours(vdp)[regs[7] & 0x0F],
                        VDP_SCREEN_WIDTH);
    } else if (IsMode4(mode)) {
        Mode4Line(vdp, line, mode, drawn);
    } else {
        TmsLine(vdp, line, mode, drawn);
    }
    if (gameGear && drawn)
        GameGearLineEnd(vdp, windowRow);
}
