// VdpReadout: what the VDP holds, decoded the way VDPEM's renderer reads it,
// for tools that show the chip's state (a debugger's tile, name-table,
// sprite, palette and register views). Toolkit-free: plain structs and
// 32-bit pixel buffers. Every procedure only reads the chip.
//
// Pixels are 0x00RRGGBB words (the layout of a 32-bit RGB image), converted
// from the console's 6-bit colours through the palette the chip writes into
// its own frame image, so a view shows exactly the colours of the screen
// (on the Game Gear from its 12-bit CRAM words, each gun v at 17 x v).
//
// Nothing is locked: call these while the machine thread is stopped or
// waiting in its per-frame synchronised step.
#pragma once

#include "VDPGeometry.h"

struct T_VDP_CORE;

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr std::size_t VDP_TILE_COUNT = 512;
constexpr std::size_t VDP_NAME_COLUMNS = 32;
constexpr std::size_t VDP_NAME_ROWS = 28;
constexpr std::size_t VDP_PLANE_WIDTH = 256;  // the whole background, 32 x 8
constexpr std::size_t VDP_PLANE_HEIGHT = 224; // 28 x 8
constexpr std::size_t VDP_TILE_SHEET_COLUMNS = 16;
constexpr std::size_t VDP_TILE_SHEET_WIDTH = VDP_TILE_SHEET_COLUMNS * 8;                   // 128
constexpr std::size_t VDP_TILE_SHEET_HEIGHT = VDP_TILE_COUNT / VDP_TILE_SHEET_COLUMNS * 8; // 256
constexpr std::size_t VDP_SPRITE_TABLE_SIZE = 64;
constexpr std::size_t VDP_SPRITE_LINE_LIMIT = 8; // sprites a console shows on one line

// Which half of CRAM colours a drawing: entries 0-15 or 16-31.
enum class TVdpPalette : uint8_t { Background = 0, Sprite = 1 };

// --- Colours -----------------------------------------------------------------

// 0x00RRGGBB of a 6-bit CRAM value (blue bits 5-4, green 3-2, red 1-0).
uint32_t VDP_ReadColour(const T_VDP_CORE& vdp, uint8_t cramValue);

struct T_VDP_PALETTE_INFO {
    uint8_t Value[VDP_CRAM_SIZE]; // CRAM as stored, 6 bits each
    uint32_t Rgb[VDP_CRAM_SIZE];  // 0x00RRGGBB
};
void VDP_ReadPalette(const T_VDP_CORE& vdp, T_VDP_PALETTE_INFO& info);
// CRAM with the model's own colour width: on the Game Gear 32 words of
// 12 bits (%----BBBB GGGGRRRR, each gun v shown at 17 x v) and the byte its
// latch holds; in the other models the 6-bit values of VDP_ReadPalette.
struct T_VDP_COLOUR_MEMORY {
    uint8_t GameGear;              // 1 = the Game Gear's 12-bit CRAM
    uint8_t Latch;                 // the Game Gear's CRAM latch (0 elsewhere)
    uint16_t Value[VDP_CRAM_SIZE]; // 12 or 6 bits each
    uint32_t Rgb[VDP_CRAM_SIZE];   // 0x00RRGGBB
};
void VDP_ReadColourMemory(const T_VDP_CORE& vdp, T_VDP_COLOUR_MEMORY& info);

// --- Tiles -------------------------------------------------------------------

// Colour indexes 0-15 of tile `tile` (0-511, wrapped), row by row, leftmost
// pixel first, unflipped.
void VDP_ReadTileIndexes(const T_VDP_CORE& vdp, uint16_t tile, uint8_t out[64]);
// The same 8 x 8 tile in colour, row by row.
void VDP_DrawTile(const T_VDP_CORE& vdp, uint16_t tile, TVdpPalette palette, uint32_t out[64]);
// All 512 tiles, 16 to a row: tile n at column n % 16, row n / 16 of an image
// of VDP_TILE_SHEET_WIDTH x VDP_TILE_SHEET_HEIGHT pixels, rows top first.
// Tiles 256-511 (the lower half) are the ones sprites use when register 6
// bit 2 is set.
void VDP_DrawTileSheet(const T_VDP_CORE& vdp, TVdpPalette palette, uint32_t* out /* 128 x 256 */);

// --- Name table and scroll ---------------------------------------------------

struct T_VDP_NAME_ENTRY {
    uint16_t Raw;          // the 16-bit entry, low byte first in VRAM
    uint16_t Tile;         // bits 0-8
    uint8_t FlipX;         // bit 9
    uint8_t FlipY;         // bit 10
    uint8_t SpritePalette; // bit 11: colours from CRAM 16-31
    uint8_t Priority;      // bit 12: non-zero pixels in front of sprites
    uint8_t Spare;         // bits 13-15, without effect on the picture
};
T_VDP_NAME_ENTRY VDP_DecodeNameEntry(uint16_t raw);

struct T_VDP_NAME_TABLE {
    uint16_t Address; // (register 2 AND 0x0E) x 1024
    T_VDP_NAME_ENTRY Entries[VDP_NAME_ROWS][VDP_NAME_COLUMNS];
};
void VDP_ReadNameTable(const T_VDP_CORE& vdp, T_VDP_NAME_TABLE& table);
// The whole 256 x 224 background plane, each entry drawn with its tile,
// flips and palette, rows top first. No sprites, no priority, no blanking.
void VDP_DrawNameTable(const T_VDP_CORE& vdp, uint32_t* out /* 256 x 224 */);

// Where the visible 256 x 192 screen lies on the plane. The renderer reads
// the horizontal scroll (register 8) afresh on every line and the vertical
// scroll as latched from register 9 when line 0 was drawn (FrameVScroll), so
// this is the window of the picture last drawn, or being drawn, as long as
// register 8 was not changed between lines. Both directions wrap: the
// window can come out split across the plane's edges.
struct T_VDP_SCROLL_WINDOW {
    uint8_t HScroll;            // register 8
    uint8_t VScroll;            // FrameVScroll, the value the picture uses
    uint8_t VScrollRegister;    // register 9, taken at the next frame's line 0
    uint16_t Left;              // plane x shown at screen x 0: (256 - HScroll) mod 256
    uint16_t Top;               // plane y shown on screen line 0: VScroll mod 224
    uint8_t TopRowsLocked;      // register 0 bit 6: lines 0-15 ignore HScroll
    uint8_t RightColumnsLocked; // register 0 bit 7: the right 8 columns ignore VScroll
};
void VDP_ReadScrollWindow(const T_VDP_CORE& vdp, T_VDP_SCROLL_WINDOW& window);
// The plane pixel that the renderer shows at screen pixel (x 0-255, line
// 0-191), locks included.
void VDP_ScreenToPlane(const T_VDP_CORE& vdp, uint32_t x, uint32_t line, uint32_t& planeX, uint32_t& planeY);
// 256 x 224 bytes, rows top first: 1 where a plane pixel is on the screen.
void VDP_ScrollWindowMask(const T_VDP_CORE& vdp, uint8_t* mask /* 256 x 224 */);

// --- Sprites -----------------------------------------------------------------

struct T_VDP_SPRITE_INFO {
    uint8_t Y;          // y byte: the sprite's first line is Y + 1 (mod 256)
    uint8_t X;          // x byte
    uint8_t Pattern;    // pattern byte as stored
    uint16_t Tile;      // the tile drawn on its top row: even in 8 x 16, +256 with register 6 bit 2
    int16_t ScreenX;    // X, or X - 8 with register 0 bit 3
    uint8_t InList;     // 1 = before the first Y = 0xD0 (the list end): the renderer looks at it
    uint8_t Visible;    // in the list and on at least one of lines 0-191, partly within x 0-255
    uint8_t LineCount;  // lines 0-191 it covers (0 when not in the list)
    uint8_t OverLimitLines; // of those, lines where it comes after the eighth sprite
};

// Sprites in table order on one screen line, as the renderer finds them.
//
// The console shows only the first eight sprites of a line and drops the
// rest. VDPEM draws every sprite it finds and raises the overflow flag
// (status bit 6) once it has found eight on a line; so Sprites[8] onwards
// are on the screen here but would be missing on a console: OverLimit counts
// them, and a view should mark them as dropped by the per-line limit.
struct T_VDP_SPRITE_LINE {
    uint8_t Count;     // 0-64
    uint8_t Overflow;  // 1 = this line raises the overflow flag (Count >= 8)
    uint8_t OverLimit; // Count - 8 when above 8, else 0
    uint8_t Sprites[VDP_SPRITE_TABLE_SIZE]; // the first Count are valid
};

//
// In the hardware models the chip itself drops them: Dropped is 1, and
// Sprites[8] onwards are the ones missing from the picture. There the table
// follows the model's rules: zoomed sprites are twice as high, the list end
// exists in the 192-line mode only, and LineCount is the mode's height. The
// table reads mode-4 sprites: in the TMS modes it shows what mode 4 would
// make of the same bytes.
struct T_VDP_SPRITE_TABLE {
    uint16_t Address;      // (register 5 AND 0x7E) x 128
    uint16_t PatternBase;  // 0x0000, or 0x2000 with register 6 bit 2
    uint8_t Height;        // 8, or 16 with register 1 bit 1 (doubled by the zoom in the hardware models)
    uint8_t Shifted;       // register 0 bit 3: 8 pixels to the left
    uint8_t Zoomed;        // register 1 bit 0; VDPEM's default model does not double sprites
    uint8_t DisplayOn;     // register 1 bit 6; with the display off no line looks at sprites
    uint8_t ListLength;    // sprites before the list end, 0-64
    uint8_t Dropped;       // 1 = sprites past eight on a line are missing from the picture
    uint16_t LineCount;    // lines of the picture: 192, or 224 / 240 in a hardware model's tall mode
    T_VDP_SPRITE_INFO Sprites[VDP_SPRITE_TABLE_SIZE];
    T_VDP_SPRITE_LINE Lines[VDP_MAX_SCREEN_HEIGHT]; // the first LineCount are valid
};
void VDP_ReadSprites(const T_VDP_CORE& vdp, T_VDP_SPRITE_TABLE& table);
// One sprite drawn alone in the sprite palette, 8 x Height pixels (its
// whole pattern, one or two tiles), rows top first; out holds 8 x 16.
void VDP_DrawSprite(const T_VDP_CORE& vdp, uint32_t sprite, uint32_t out[128]);

// --- Registers and status ----------------------------------------------------

struct T_VDP_REGISTER_INFO {
    uint8_t Raw[VDP_REGISTER_COUNT];
    // Mode bits: M1 (R1 bit 4), M2 (R0 bit 1), M3 (R1 bit 3), M4 (R0 bit 2).
    // VDPEM always draws mode 4 whatever they say.
    uint8_t M1, M2, M3, M4;
    uint8_t SpriteShift;       // R0 bit 3
    uint8_t LineIntEnabled;    // R0 bit 4
    uint8_t LeftColumnBlank;   // R0 bit 5
    uint8_t TopRowsLocked;     // R0 bit 6
    uint8_t RightColumnsLocked;// R0 bit 7
    uint8_t SpriteZoom;        // R1 bit 0 (not drawn by VDPEM)
    uint8_t Sprites8x16;       // R1 bit 1
    uint8_t FrameIntEnabled;   // R1 bit 5
    uint8_t DisplayOn;         // R1 bit 6
    uint16_t NameTableAddress;   // (R2 AND 0x0E) x 1024
    uint16_t SpriteTableAddress; // (R5 AND 0x7E) x 128
    uint16_t SpritePatternBase;  // R6 bit 2: 0x2000, else 0
    uint8_t BackdropColour;    // R7 AND 0x0F: sprite palette entry, CRAM 16 + n
    uint32_t BackdropRgb;      // 0x00RRGGBB of that entry
    uint8_t HScroll;           // R8
    uint8_t VScroll;           // R9
    uint8_t LineCounterReload; // R10
    // Status and internal state.
    uint8_t FrameIntPending;   // status bit 7
    uint8_t SpriteOverflow;    // status bit 6
    uint8_t SpriteCollision;   // status bit 5
    uint8_t Status;            // the byte a status read would return (without clearing)
    uint8_t LineIntPending;
    uint8_t LineCounter;       // the line interrupt's down-counter
    uint8_t InterruptLine;     // 1 = interrupt requested from the CPU
    uint8_t FrameVScroll;      // R9 as latched at line 0
    uint32_t CurrentLine;      // 0-261
    uint8_t VCounter;          // what port 0x7E reads
    uint16_t Address;          // the VRAM / CRAM address register
    uint8_t Code;              // 0 VRAM read, 1 VRAM write, 2 register write, 3 CRAM write
    uint8_t SecondByte;        // 1 = the next control byte completes a pair
    uint8_t ReadBuffer;        // the data port's read-ahead byte
};
void VDP_ReadRegisters(const T_VDP_CORE& vdp, T_VDP_REGISTER_INFO& info);

// The registers and status as rows of text for a table view: the register
// number (-1 for status and internal state), a name and its value.
struct T_VDP_FIELD {
    int Register;
    std::string Name;
    std::string Value;
};
// In the hardware models two rows come first: the mode drawn ("Mode 4, 224
// lines", "Graphics II") and the lines of a frame (262 or 313).
std::vector<T_VDP_FIELD> VDP_DescribeRegisters(const T_VDP_CORE& vdp);
// The name of a hardware model's screen mode: "Mode 4, 192 lines", "Graphics I".
const char* VDP_ScreenModeName(uint8_t mode /* TVdpScreenMode */);
