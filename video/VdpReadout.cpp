// VdpReadout: the VDP's memories and registers decoded for tool views. Tile
// rows come from the renderer's own decoder (VDP_DecodeTileRow) and colours
// from the palette the chip writes into its frame image, so nothing here
// can disagree with the picture on the screen.
#include "VdpReadout.h"

#include "VDPInternal.h"

#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

uint32_t CramHalf(TVdpPalette palette)
{
    return palette == TVdpPalette::Sprite ? 16 : 0;
}

// The colour of CRAM entry `entry` (0-31): through the frame image's
// palette, or on the Game Gear from its 12-bit word (the image's palette
// there holds the frame's colours in the order they came up).
uint32_t EntryRgb(const T_VDP_CORE& vdp, uint32_t entry)
{
    if (vdp.Model == VDP_MODEL_GAME_GEAR)
        return VDP_GameGearRgb(vdp.GGCram[entry & 31]);
    return VDP_ReadColour(vdp, vdp.CRAM[entry & 31]);
}

// One decoded row in screen order (leftmost first) from the decoder's order
// (out[0] is the rightmost pixel).
void TileRowLeftToRight(const T_VDP_CORE& vdp, uint16_t entry, uint32_t y, uint8_t row[8])
{
    uint8_t out[8];
    VDP_DecodeTileRow(vdp, entry, y, out);
    for (int k = 0; k < 8; ++k)
        row[k] = out[7 - k];
}

uint16_t NameTableBase(const T_VDP_CORE& vdp)
{
    // The hardware models' 224- and 240-line modes put it at $x700.
    const TVdpScreenMode mode = VDP_ScreenMode(vdp);
    if (mode == VDP_SCREEN_MODE4_224 || mode == VDP_SCREEN_MODE4_240)
        return static_cast<uint16_t>(((vdp.Registers[2] & 0x0C) << 10) | 0x0700);
    return static_cast<uint16_t>((vdp.Registers[2] & 0x0E) * 1024u);
}

uint16_t SpriteTableBase(const T_VDP_CORE& vdp)
{
    return static_cast<uint16_t>((vdp.Registers[5] & 0x7E) * 128u);
}

// The plane row and the line within its tile for screen line `line` under
// vertical scroll `vscroll`, the way the renderer computes them.
uint32_t PlaneY(uint32_t line, uint32_t vscroll)
{
    const uint32_t y = line + (vscroll & 7);
    uint32_t row = (y >> 3) + (vscroll >> 3);
    if (row > 27)
        row -= 28;
    return row * 8 + (y & 7);
}

} // namespace

uint32_t VDP_ReadColour(const T_VDP_CORE& vdp, uint8_t cramValue)
{
    // The frame image's palette entries are blue, green, red, reserved.
    const uint8_t* e = vdp.FrameImage + VDP_FRAME_PALETTE_OFFSET + (cramValue & 0x3F) * 4u;
    return (uint32_t(e[2]) << 16) | (uint32_t(e[1]) << 8) | e[0];
}

void VDP_ReadPalette(const T_VDP_CORE& vdp, T_VDP_PALETTE_INFO& info)
{
    for (std::size_t i = 0; i < VDP_CRAM_SIZE; ++i) {
        info.Value[i] = vdp.CRAM[i];
        info.Rgb[i] = EntryRgb(vdp, static_cast<uint32_t>(i));
    }
}

void VDP_ReadColourMemory(const T_VDP_CORE& vdp, T_VDP_COLOUR_MEMORY& info)
{
    info.GameGear = vdp.Model == VDP_MODEL_GAME_GEAR ? 1 : 0;
    info.Latch = info.GameGear ? vdp.GGLatch : 0;
    for (std::size_t i = 0; i < VDP_GG_CRAM_WORDS; ++i) {
        info.Value[i] = info.GameGear ? vdp.GGCram[i] : vdp.CRAM[i];
        info.Rgb[i] = EntryRgb(vdp, static_cast<uint32_t>(i));
    }
}

void VDP_ReadTileIndexes(const T_VDP_CORE& vdp, uint16_t tile, uint8_t out[64])
{
    for (uint32_t y = 0; y < 8; ++y)
        TileRowLeftToRight(vdp, tile & 0x1FF, y, out + y * 8);
}

void VDP_DrawTile(const T_VDP_CORE& vdp, uint16_t tile, TVdpPalette palette, uint32_t out[64])
{
    uint8_t indexes[64];
    VDP_ReadTileIndexes(vdp, tile, indexes);
    const uint32_t half = CramHalf(palette);
    for (int i = 0; i < 64; ++i)
        out[i] = EntryRgb(vdp, half + indexes[i]);
}

void VDP_DrawTileSheet(const T_VDP_CORE& vdp, TVdpPalette palette, uint32_t* out)
{
    uint32_t pixels[64];
    for (uint32_t n = 0; n < VDP_TILE_COUNT; ++n) {
        VDP_DrawTile(vdp, static_cast<uint16_t>(n), palette, pixels);
        const uint32_t x0 = (n % VDP_TILE_SHEET_COLUMNS) * 8;
        const uint32_t y0 = (n / VDP_TILE_SHEET_COLUMNS) * 8;
        for (uint32_t y = 0; y < 8; ++y)
            std::memcpy(out + (y0 + y) * VDP_TILE_SHEET_WIDTH + x0, pixels + y * 8, 8 * sizeof(uint32_t));
    }
}

T_VDP_NAME_ENTRY VDP_DecodeNameEntry(uint16_t raw)
{
    T_VDP_NAME_ENTRY e{};
    e.Raw = raw;
    e.Tile = raw & 0x1FF;
    e.FlipX = (raw >> 9) & 1;
    e.FlipY = (raw >> 10) & 1;
    e.SpritePalette = (raw >> 11) & 1;
    e.Priority = (raw >> 12) & 1;
    e.Spare = static_cast<uint8_t>(raw >> 13);
    return e;
}

namespace {

uint16_t NameAt(const T_VDP_CORE& vdp, uint32_t row, uint32_t column)
{
    const uint8_t* name = vdp.VRAM + NameTableBase(vdp) + row * 64 + column * 2;
    return static_cast<uint16_t>(name[0] | (name[1] << 8));
}

} // namespace

void VDP_ReadNameTable(const T_VDP_CORE& vdp, T_VDP_NAME_TABLE& table)
{
    table.Address = NameTableBase(vdp);
    for (uint32_t r = 0; r < VDP_NAME_ROWS; ++r)
        for (uint32_t c = 0; c < VDP_NAME_COLUMNS; ++c)
            table.Entries[r][c] = VDP_DecodeNameEntry(NameAt(vdp, r, c));
}

void VDP_DrawNameTable(const T_VDP_CORE& vdp, uint32_t* out)
{
    for (uint32_t r = 0; r < VDP_NAME_ROWS; ++r)
        for (uint32_t c = 0; c < VDP_NAME_COLUMNS; ++c) {
            const uint16_t entry = NameAt(vdp, r, c);
            const uint32_t half = (entry & 0x0800) ? 16 : 0;
            for (uint32_t y = 0; y < 8; ++y) {
                uint8_t row[8];
                TileRowLeftToRight(vdp, entry, y, row);
                uint32_t* to = out + (r * 8 + y) * VDP_PLANE_WIDTH + c * 8;
                for (int k = 0; k < 8; ++k)
                    to[k] = EntryRgb(vdp, half + row[k]);
            }
        }
}

void VDP_ReadScrollWindow(const T_VDP_CORE& vdp, T_VDP_SCROLL_WINDOW& window)
{
    window.HScroll = vdp.Registers[8];
    window.VScroll = vdp.FrameVScroll;
    window.VScrollRegister = vdp.Registers[9];
    window.Left = static_cast<uint16_t>((256 - vdp.Registers[8]) & 0xFF);
    window.Top = static_cast<uint16_t>(PlaneY(0, vdp.FrameVScroll));
    window.TopRowsLocked = (vdp.Registers[0] & VDP_R0_TOP_NO_HSCROLL) ? 1 : 0;
    window.RightColumnsLocked = (vdp.Registers[0] & VDP_R0_RIGHT_NO_VSCROLL) ? 1 : 0;
}

void VDP_ScreenToPlane(const T_VDP_CORE& vdp, uint32_t x, uint32_t line, uint32_t& planeX, uint32_t& planeY)
{
    const uint8_t* regs = vdp.Registers;
    x &= 0xFF;
    uint32_t hscroll = regs[8];
    if (line < 16 && (regs[0] & VDP_R0_TOP_NO_HSCROLL))
        hscroll = 0;
    // The renderer places screen column i at i x 8 + fine scroll, wrapping
    // past the right edge; column i shows name column i - coarse scroll.
    const uint32_t column = ((x - (hscroll & 7)) & 0xFF) >> 3;
    planeX = (x - hscroll) & 0xFF;
    const bool locked = column >= 24 && (regs[0] & VDP_R0_RIGHT_NO_VSCROLL);
    planeY = PlaneY(line, locked ? 0 : vdp.FrameVScroll);
}

void VDP_ScrollWindowMask(const T_VDP_CORE& vdp, uint8_t* mask)
{
    std::memset(mask, 0, VDP_PLANE_WIDTH * VDP_PLANE_HEIGHT);
    for (uint32_t line = 0; line < VDP_SCREEN_HEIGHT; ++line)
        for (uint32_t x = 0; x < VDP_SCREEN_WIDTH; ++x) {
            uint32_t px, py;
            VDP_ScreenToPlane(vdp, x, line, px, py);
            mask[py * VDP_PLANE_WIDTH + px] = 1;
        }
}

void VDP_ReadSprites(const T_VDP_CORE& vdp, T_VDP_SPRITE_TABLE& table)
{
    const uint8_t* regs = vdp.Registers;
    const uint16_t base = SpriteTableBase(vdp);
    table.Address = base;
    table.PatternBase = (regs[6] & VDP_R6_SPRITE_TILES_HIGH) ? 0x2000 : 0x0000;
    table.Height = (regs[1] & VDP_R1_SPRITES_8X16) ? 16 : 8;
    table.Shifted = (regs[0] & VDP_R0_SPRITE_SHIFT) ? 1 : 0;
    table.Zoomed = regs[1] & 0x01;
    table.DisplayOn = (regs[1] & VDP_R1_DISPLAY_ON) ? 1 : 0;
    const bool hardware = vdp.Model != VDP_MODEL_TIRAVEL;
    const TVdpScreenMode mode = VDP_ScreenMode(vdp);
    table.Dropped = hardware ? 1 : 0;
    table.LineCount = static_cast<uint16_t>(VDP_ModeHeight(mode));
    if (hardware && table.Zoomed)
        table.Height = static_cast<uint8_t>(table.Height * 2);

    // The renderer stops at the first y byte of 0xD0 (in a hardware model's
    // 224- and 240-line modes that byte is a position like any other).
    const bool terminator = !hardware || (mode != VDP_SCREEN_MODE4_224 && mode != VDP_SCREEN_MODE4_240);
    uint32_t length = 0;
    while (length < VDP_SPRITE_TABLE_SIZE && (!terminator || vdp.VRAM[base + length] != VDP_SPRITE_LIST_END))
        ++length;
    table.ListLength = static_cast<uint8_t>(length);

    for (uint32_t s = 0; s < VDP_SPRITE_TABLE_SIZE; ++s) {
        T_VDP_SPRITE_INFO& info = table.Sprites[s];
        info = {};
        info.Y = vdp.VRAM[base + s];
        info.X = vdp.VRAM[base + 128 + 2 * s];
        info.Pattern = vdp.VRAM[base + 128 + 2 * s + 1];
        uint32_t tile = table.Height == 16 ? (info.Pattern & 0xFE) : info.Pattern;
        if (regs[6] & VDP_R6_SPRITE_TILES_HIGH)
            tile += 256;
        info.Tile = static_cast<uint16_t>(tile);
        info.ScreenX = static_cast<int16_t>(info.X - (table.Shifted ? 8 : 0));
        info.InList = s < length ? 1 : 0;
    }

    for (uint32_t line = 0; line < VDP_MAX_SCREEN_HEIGHT; ++line) {
        T_VDP_SPRITE_LINE& l = table.Lines[line];
        if (line >= table.LineCount) {
            l = {};
            continue;
        }
        l = {};
        for (uint32_t s = 0; s < length; ++s) {
            T_VDP_SPRITE_INFO& info = table.Sprites[s];
            // The same rule as the renderer: the row is line - (y + 1), mod 256.
            if (((line - info.Y - 1u) & 0xFF) >= table.Height)
                continue;
            if (l.Count >= VDP_SPRITE_LINE_LIMIT)
                ++info.OverLimitLines;
            l.Sprites[l.Count++] = static_cast<uint8_t>(s);
            ++info.LineCount;
        }
        l.Overflow = l.Count >= VDP_SPRITE_LINE_LIMIT ? 1 : 0;
        l.OverLimit = static_cast<uint8_t>(l.Count > VDP_SPRITE_LINE_LIMIT ? l.Count - VDP_SPRITE_LINE_LIMIT : 0);
    }
    for (uint32_t s = 0; s < length; ++s) {
        T_VDP_SPRITE_INFO& info = table.Sprites[s];
        info.Visible = (info.LineCount > 0 && info.ScreenX + 7 >= 0 && info.ScreenX <= 255) ? 1 : 0;
    }
}

void VDP_DrawSprite(const T_VDP_CORE& vdp, uint32_t sprite, uint32_t out[128])
{
    const uint8_t* regs = vdp.Registers;
    const uint16_t base = SpriteTableBase(vdp);
    const uint32_t height = (regs[1] & VDP_R1_SPRITES_8X16) ? 16 : 8;
    uint32_t pattern = vdp.VRAM[base + 128 + 2 * (sprite & 63) + 1];
    if (height == 16)
        pattern &= 0xFE;
    if (regs[6] & VDP_R6_SPRITE_TILES_HIGH)
        pattern += 256;
    std::memset(out, 0, 128 * sizeof(uint32_t));
    for (uint32_t row = 0; row < height; ++row) {
        uint8_t indexes[8];
        VDP_DecodeSpriteRow(vdp, static_cast<uint16_t>(pattern), row, indexes);
        for (int k = 0; k < 8; ++k)
            out[row * 8 + k] = EntryRgb(vdp, 16u + indexes[7 - k]);
    }
}

void VDP_ReadRegisters(const T_VDP_CORE& vdp, T_VDP_REGISTER_INFO& info)
{
    const uint8_t* r = vdp.Registers;
    info = {};
    std::memcpy(info.Raw, r, VDP_REGISTER_COUNT);
    info.M1 = (r[1] >> 4) & 1;
    info.M2 = (r[0] >> 1) & 1;
    info.M3 = (r[1] >> 3) & 1;
    info.M4 = (r[0] >> 2) & 1;
    info.SpriteShift = (r[0] & VDP_R0_SPRITE_SHIFT) ? 1 : 0;
    info.LineIntEnabled = (r[0] & VDP_R0_LINE_INT) ? 1 : 0;
    info.LeftColumnBlank = (r[0] & VDP_R0_LEFT_BLANK) ? 1 : 0;
    info.TopRowsLocked = (r[0] & VDP_R0_TOP_NO_HSCROLL) ? 1 : 0;
    info.RightColumnsLocked = (r[0] & VDP_R0_RIGHT_NO_VSCROLL) ? 1 : 0;
    info.SpriteZoom = r[1] & 1;
    info.Sprites8x16 = (r[1] & VDP_R1_SPRITES_8X16) ? 1 : 0;
    info.FrameIntEnabled = (r[1] & VDP_R1_FRAME_INT) ? 1 : 0;
    info.DisplayOn = (r[1] & VDP_R1_DISPLAY_ON) ? 1 : 0;
    info.NameTableAddress = NameTableBase(vdp);
    info.SpriteTableAddress = SpriteTableBase(vdp);
    info.SpritePatternBase = (r[6] & VDP_R6_SPRITE_TILES_HIGH) ? 0x2000 : 0x0000;
    info.BackdropColour = r[7] & 0x0F;
    info.BackdropRgb = EntryRgb(vdp, 16u + info.BackdropColour);
    info.HScroll = r[8];
    info.VScroll = r[9];
    info.LineCounterReload = r[10];
    info.FrameIntPending = vdp.FrameIntPending;
    info.SpriteOverflow = vdp.SpriteOverflow;
    info.SpriteCollision = vdp.SpriteCollision;
    info.Status = static_cast<uint8_t>((vdp.FrameIntPending ? 0x80 : 0) | (vdp.SpriteOverflow ? 0x40 : 0) |
                                       (vdp.SpriteCollision ? 0x20 : 0));
    info.LineIntPending = vdp.LineIntPending;
    info.LineCounter = vdp.LineCounter;
    info.InterruptLine = vdp.InterruptLine;
    info.FrameVScroll = vdp.FrameVScroll;
    info.CurrentLine = vdp.CurrentLine;
    info.VCounter = VDP_ReadVCounter(vdp);
    info.Address = vdp.Address;
    info.Code = vdp.Code;
    info.SecondByte = vdp.SecondByte;
    info.ReadBuffer = vdp.ReadBuffer;
}

namespace {

std::string Hex(uint32_t v, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, v);
    return text;
}

std::string OnOff(uint8_t bit)
{
    return bit ? "on" : "off";
}

} // namespace

std::vector<T_VDP_FIELD> VDP_DescribeRegisters(const T_VDP_CORE& vdp)
{
    T_VDP_REGISTER_INFO i;
    VDP_ReadRegisters(vdp, i);
    static const char* const kCodes[4] = {"VRAM read", "VRAM write", "register write", "CRAM write"};
    char mode[32];
    std::snprintf(mode, sizeof mode, "M1 %u M2 %u M3 %u M4 %u", i.M1, i.M2, i.M3, i.M4);
    std::vector<T_VDP_FIELD> rows;
    for (std::size_t n = 0; n < VDP_REGISTER_COUNT; ++n)
        rows.push_back({int(n), "R" + std::to_string(n), Hex(i.Raw[n], 2)});
    if (vdp.Model != VDP_MODEL_TIRAVEL) {
        rows.insert(rows.begin(), {{-1, "Mode", VDP_ScreenModeName(VDP_ScreenMode(vdp))},
                                   {-1, "Lines per frame", std::to_string(VDP_LinesPerFrame(vdp))}});
    }
    rows.push_back({-1, "Mode bits (R0, R1)", mode});
    rows.push_back({0, "Sprites shifted 8 left", OnOff(i.SpriteShift)});
    rows.push_back({0, "Line interrupt", OnOff(i.LineIntEnabled)});
    rows.push_back({0, "Left column blank", OnOff(i.LeftColumnBlank)});
    rows.push_back({0, "Top 2 rows without horizontal scroll", OnOff(i.TopRowsLocked)});
    rows.push_back({0, "Right 8 columns without vertical scroll", OnOff(i.RightColumnsLocked)});
    rows.push_back({1, "Display", OnOff(i.DisplayOn)});
    rows.push_back({1, "Frame interrupt", OnOff(i.FrameIntEnabled)});
    rows.push_back({1, "Sprite size", i.Sprites8x16 ? "8x16" : "8x8"});
    rows.push_back({1, "Sprite zoom", OnOff(i.SpriteZoom)});
    rows.push_back({2, "Name table", Hex(i.NameTableAddress, 4)});
    rows.push_back({5, "Sprite attribute table", Hex(i.SpriteTableAddress, 4)});
    rows.push_back({6, "Sprite patterns", Hex(i.SpritePatternBase, 4)});
    rows.push_back({7, "Backdrop colour", std::to_string(16 + i.BackdropColour) + " (" + Hex(i.BackdropRgb, 6) + ")"});
    rows.push_back({8, "Horizontal scroll", std::to_string(i.HScroll)});
    rows.push_back({9, "Vertical scroll", std::to_string(i.VScroll)});
    rows.push_back({10, "Line counter reload", std::to_string(i.LineCounterReload)});
    rows.push_back({-1, "Status", Hex(i.Status, 2)});
    rows.push_back({-1, "Frame interrupt pending", OnOff(i.FrameIntPending)});
    rows.push_back({-1, "Sprite overflow", OnOff(i.SpriteOverflow)});
    rows.push_back({-1, "Sprite collision", OnOff(i.SpriteCollision)});
    rows.push_back({-1, "Line interrupt pending", OnOff(i.LineIntPending)});
    rows.push_back({-1, "Line counter", std::to_string(i.LineCounter)});
    rows.push_back({-1, "Interrupt line", OnOff(i.InterruptLine)});
    rows.push_back({-1, "Latched vertical scroll", std::to_string(i.FrameVScroll)});
    rows.push_back({-1, "Line", std::to_string(i.CurrentLine)});
    rows.push_back({-1, "V counter", Hex(i.VCounter, 2)});
    rows.push_back({-1, "Address", Hex(i.Address, 4)});
    rows.push_back({-1, "Access", kCodes[i.Code & 3]});
    rows.push_back({-1, "Control byte pending", OnOff(i.SecondByte)});
    rows.push_back({-1, "Read-ahead byte", Hex(i.ReadBuffer, 2)});
    return rows;
}

const char* VDP_ScreenModeName(uint8_t mode)
{
    static const char* const kNames[] = {"Mode 4, 192 lines", "Mode 4, 224 lines", "Mode 4, 240 lines", "Graphics I",
                                         "Graphics II",       "Text",              "Multicolor"};
    return mode < std::size(kNames) ? kNames[mode] : "?";
}
