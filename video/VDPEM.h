// VDPEM: the console's video display processor.
//
// One plain state object, T_VDP_CORE, and free procedures that take it first.
// The CPU reaches the chip only through the I/O bus (control/status port,
// data port, V counter); the machine calls VDP_RunLine once per scan line,
// which updates the interrupt state and, on drawn frames, renders the line
// straight into FrameImage, a complete 8-bit BMP file of 256 x 192 pixels
// (in the hardware models 192, 224 or 240 lines, as the mode has it; on the
// Game Gear the 160 x 144 window of the picture, in 12-bit colour).
//
// The hardware models (Model != 0) run their own line step, renderers and
// counters (VDPModel.cpp); the default model's code never looks at them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "VDPGeometry.h"

// The chip a model has: the default model's VDP as designed, or the real
// ones. Set by the machine before a reset and kept through resets.
enum TVdpModel : uint8_t {
    VDP_MODEL_TIRAVEL = 0,
    VDP_MODEL_315_5124 = 1,  // the first Master System: 192 lines only, the zoom and name-table quirks
    VDP_MODEL_315_5246 = 2,  // the Master System II: 224- and 240-line modes
    VDP_MODEL_GAME_GEAR = 3, // the Game Gear's VDP: the 315-5246's behaviour, a 160 x 144 window, 12-bit CRAM
};

// Zero-filled on creation (no constructor); VDP_Reset gives the start values.
struct T_VDP_CORE {
    uint8_t Model;             // TVdpModel
    uint8_t Pal;               // 1 = PAL timing (313 lines), 0 = NTSC (262)
    uint8_t Registers[VDP_REGISTER_COUNT];
    uint16_t Address;          // VRAM/CRAM address, 14 bits significant
    uint8_t Code;              // access code 0-3 from the second control byte
    uint8_t ReadBuffer;        // data-port read-ahead byte
    uint8_t FrameVScroll;      // register 9 latched when line 0 is drawn
    uint8_t InterruptLine;     // 1 = maskable interrupt requested
    uint8_t FrameIntPending;   // status bit 7
    uint8_t LineIntPending;    // not visible in the status byte
    uint8_t LineCounter;       // line interrupt down-counter
    uint8_t SpriteOverflow;    // status bit 6
    uint8_t SpriteCollision;   // status bit 5
    uint8_t SecondByte;        // 1 = next control byte is the second of a pair
    uint8_t SpriteLayerOn;     // menu switch, 1 = sprites drawn
    uint8_t BackgroundLayerOn; // menu switch, 1 = background drawn
    uint32_t CurrentLine;      // 0-261 (0-312 in PAL)
    // The hardware models only (the default model leaves them alone):
    uint16_t FrameHeight;      // lines of the frame image: 192, 224 or 240
    uint8_t HCounter;          // the H count latched by the last TH event
    uint8_t FifthSprite;       // TMS modes: status bits 4-0 (the fifth sprite's number)
    uint8_t PriorityMask[VDP_SCREEN_WIDTH];
    uint8_t SpriteMask[VDP_SCREEN_WIDTH];
    uint8_t VRAM[VDP_VRAM_SIZE];
    uint8_t CRAM[VDP_CRAM_SIZE];
    uint8_t FrameImage[VDP_MAX_FRAME_IMAGE_SIZE]; // VDP_FRAME_IMAGE_SIZE bytes used by the default model
    // The Game Gear only. Its CRAM is 32 words of %----BBBB GGGGRRRR written
    // a byte at a time through a latch; CRAM above stays unused. Its frame
    // image's palette is built per frame: Slots colours (12-bit) in the
    // order they first came up, and SlotOf maps a colour to its slot + 1 (0:
    // none yet). LineColours holds the pixel byte (slot) of each CRAM entry
    // (0-31) and each TMS9918 colour (32-47), as the lines drawn use them;
    // GGStale says which of the two groups CRAM writes or a new frame made
    // out of date.
    uint16_t GGCram[VDP_GG_CRAM_WORDS];
    uint8_t GGLatch;
    uint8_t GGStale;            // bit 0: CRAM entries, bit 1: TMS colours
    uint16_t GGSlotCount;       // 0-256
    uint16_t GGPaletteHigh;     // palette entries written since the last clean-up
    uint16_t GGSlotColour[256];
    uint16_t GGSlotOf[4096];
    uint8_t LineColours[VDP_GG_CRAM_WORDS + 16];
    uint8_t LineBuffer[VDP_SCREEN_WIDTH]; // the whole 256-pixel line, before the window is cut out of it
};

// What the hardware models draw, from the mode bits M1-M4 (register 0 bits
// 1-2, register 1 bits 3-4) and the chip. The default model always draws
// mode 4 at 192 lines.
enum TVdpScreenMode : uint8_t {
    VDP_SCREEN_MODE4_192 = 0,
    VDP_SCREEN_MODE4_224 = 1,  // 315-5246 only
    VDP_SCREEN_MODE4_240 = 2,  // 315-5246 only
    VDP_SCREEN_GRAPHICS1 = 3,  // the TMS9918 modes
    VDP_SCREEN_GRAPHICS2 = 4,
    VDP_SCREEN_TEXT = 5,
    VDP_SCREEN_MULTICOLOR = 6,
};
TVdpScreenMode VDP_ScreenMode(const T_VDP_CORE& vdp);
// Active lines of a mode: 192, 224 or 240.
uint32_t VDP_ModeHeight(TVdpScreenMode mode);
// Lines of a frame: 262, or 313 in PAL.
inline uint32_t VDP_LinesPerFrame(const T_VDP_CORE& vdp) { return vdp.Pal ? uint32_t{VDP_PAL_LINES_PER_FRAME} : uint32_t{VDP_LINES_PER_FRAME}; }
// Lines of the frame image: always 192 in the default model, 144 on the Game Gear.
inline uint32_t VDP_PictureHeight(const T_VDP_CORE& vdp)
{
    if (vdp.Model == VDP_MODEL_GAME_GEAR)
        return VDP_GG_WINDOW_HEIGHT;
    return vdp.Model == 0 || vdp.FrameHeight == 0 ? uint32_t{VDP_SCREEN_HEIGHT} : uint32_t{vdp.FrameHeight};
}
// Pixels a line of the frame image: 256, or 160 on the Game Gear.
inline uint32_t VDP_PictureWidth(const T_VDP_CORE& vdp)
{
    return vdp.Model == VDP_MODEL_GAME_GEAR ? uint32_t{VDP_GG_WINDOW_WIDTH} : uint32_t{VDP_SCREEN_WIDTH};
}
// The Game Gear's window on the 256-pixel lines the chip draws: its first
// line, 24 in the 192-line mode and 40 in the 224-line one (the window
// centred on the picture either way), and its first pixel, 48.
uint32_t VDP_GameGearWindowTop(const T_VDP_CORE& vdp);
// A Game Gear colour word (%----BBBB GGGGRRRR) as 0x00RRGGBB, each 4-bit
// gun v at the level 17 x v.
inline uint32_t VDP_GameGearRgb(uint16_t colour)
{
    return 17u * (((colour & 0x0Fu) << 16) | (((colour >> 4) & 0x0Fu) << 8) | ((colour >> 8) & 0x0Fu));
}

// Register state shown by the "VDP STATUS" overlay.
struct T_VDP_STATUS_INFO {
    uint8_t Sprites8x16;     // register 1 bit 1
    uint8_t LineInt;         // register 0 bit 4
    uint8_t FrameInt;        // register 1 bit 5
    uint8_t HorizScroll;     // register 8
    uint8_t VertiScroll;     // register 9
    uint8_t VideoActive;     // register 1 bit 6
    uint8_t IntCounter;      // register 10
};
static_assert(sizeof(T_VDP_STATUS_INFO) == 7);

// Ports and interrupts.
void VDP_Reset(T_VDP_CORE& vdp);
void VDP_WriteControl(T_VDP_CORE& vdp, uint8_t value);
void VDP_WriteData(T_VDP_CORE& vdp, uint8_t value);
uint8_t VDP_ReadData(T_VDP_CORE& vdp);
uint8_t VDP_ReadStatus(T_VDP_CORE& vdp);
uint8_t VDP_ReadVCounter(const T_VDP_CORE& vdp);
// The H counter as port #7F reads it in the hardware models: the value
// latched by the last TH event. VDP_LatchHCounter latches the count at
// `lineCycle`, the CPU cycle within the current line (0-227).
uint8_t VDP_ReadHCounter(const T_VDP_CORE& vdp);
void VDP_LatchHCounter(T_VDP_CORE& vdp, uint32_t lineCycle);
uint8_t VDP_GetInterruptLine(const T_VDP_CORE& vdp);
void VDP_RunLine(T_VDP_CORE& vdp, uint32_t line, uint8_t draw);
void VDP_UpdateInterrupts(T_VDP_CORE& vdp);
void VDP_SetBackgroundLayer(T_VDP_CORE& vdp, uint8_t on);
void VDP_SetSpriteLayer(T_VDP_CORE& vdp, uint8_t on);

// Scanline renderer. The decoders fill out[0] (rightmost pixel) to out[7]
// (leftmost) with colour indexes 0-15.
void VDP_DecodeTileRow(const T_VDP_CORE& vdp, uint16_t entry, uint32_t y, uint8_t out[8]);
void VDP_DecodeSpriteRow(const T_VDP_CORE& vdp, uint16_t pattern, uint32_t row, uint8_t out[8]);
void VDP_PutPixel(T_VDP_CORE& vdp, uint8_t value, uint32_t x, uint8_t blankAware, uint32_t line);
void VDP_PutSpritePixel(T_VDP_CORE& vdp, uint8_t index, uint32_t x, uint32_t line);
void VDP_MarkPriority(T_VDP_CORE& vdp, uint32_t x);
void VDP_ClearLine(T_VDP_CORE& vdp, uint32_t line);

// Saved states. The VDP's part is VDP_STATE_SIZE bytes: registers, address
// and code latches, read-ahead byte, interrupt flags and counters, VRAM, CRAM
// and the frame image's pixels (so a loaded state shows its picture before
// the next frame is drawn). The layer switches are the user's and are not
// part of it. VDP_ValidateState checks every value without changing
// anything; VDP_LoadState applies a validated part.
constexpr std::size_t VDP_FRAME_PIXEL_COUNT = VDP_SCREEN_WIDTH * VDP_SCREEN_HEIGHT;
constexpr std::size_t VDP_STATE_SIZE = VDP_REGISTER_COUNT + 14 + VDP_VRAM_SIZE + VDP_CRAM_SIZE + VDP_FRAME_PIXEL_COUNT;
void VDP_SaveState(const T_VDP_CORE& vdp, uint8_t* out /* VDP_STATE_SIZE bytes */);
bool VDP_ValidateState(const T_VDP_CORE& vdp, const uint8_t* data, std::size_t size, std::string& reason);
void VDP_LoadState(T_VDP_CORE& vdp, const uint8_t* data /* validated, VDP_STATE_SIZE bytes */);

// What the hardware models add to a saved state, kept apart so that the
// default model's part above keeps its size and layout:
//
//   FrameHeight                                                   u16
//   HCounter FifthSprite                                          2 x u8
//   the frame image's pixel bytes past the first 49152 (the
//   lines of a 224- or 240-line picture beyond 192; zero-filled
//   otherwise)                                                    12288 bytes
//
// Sprites are evaluated at the start of the line they show on, so no
// sprite buffer outlives a line step and none is saved.
//
// On the Game Gear the picture (160 x 144) fits in the first part's pixels,
// and the area of the lower lines holds instead (the height reads 144):
//
//   CRAM: 32 colour words                                         32 x u16
//   the CRAM latch                                                u8
//   the palette slots the frame has given (0-256), then the
//   frame image's 256 palette entries as 12-bit colours (past
//   the slots given: what the last frame's lower lines still
//   use in a state saved inside a frame, else 0)               u16, 256 x u16
//   zeros                                                         the rest
constexpr std::size_t VDP_MODEL_EXTRA_PIXELS = VDP_SCREEN_WIDTH * (VDP_MAX_SCREEN_HEIGHT - VDP_SCREEN_HEIGHT);
constexpr std::size_t VDP_MODEL_STATE_SIZE = 4 + VDP_MODEL_EXTRA_PIXELS;
void VDP_SaveModelState(const T_VDP_CORE& vdp, uint8_t* out /* VDP_MODEL_STATE_SIZE bytes */);
bool VDP_ValidateModelState(const T_VDP_CORE& vdp, const uint8_t* data, std::size_t size, std::string& reason);
void VDP_LoadModelState(T_VDP_CORE& vdp, const uint8_t* data /* validated, VDP_MODEL_STATE_SIZE bytes */);

// Frame image export and overlay read-out. The export is VDP_FRAME_IMAGE_SIZE
// bytes in the default model; in the hardware models it is as long as the
// picture's height makes it, never more than VDP_MAX_FRAME_IMAGE_SIZE.
void VDP_ExportFrame(const T_VDP_CORE& vdp, uint8_t* destination /* VDP_MAX_FRAME_IMAGE_SIZE bytes */);
std::size_t VDP_FrameImageSize(const T_VDP_CORE& vdp);
// The headers and palette the VDP writes at reset, for a picture of `height`
// lines (192, 224 or 240), into any frame image: a saved state's picture is
// made into one without a VDP (SMS_StateFrameImage).
void VDP_WriteFrameImageHeaders(uint8_t* image /* VDP_FRAME_PIXEL_OFFSET bytes */, uint32_t height);
// The Game Gear's: a 160 x 144 bitmap whose palette holds `slotCount`
// 12-bit colours (each 4-bit gun v at 17 x v), the other entries black.
void VDP_WriteGameGearImageHeaders(uint8_t* image /* VDP_FRAME_PIXEL_OFFSET bytes */, const uint16_t* slotColours,
                                   uint32_t slotCount);
// A saved Game Gear state's picture made into a frame image from the two
// VDP parts (the VDP part's first 23040 pixel bytes and the model part's
// palette), without a VDP; false when the model part holds no Game Gear
// picture or its palette is out of range.
bool VDP_GameGearStateImage(const uint8_t* vdpPart /* VDP_STATE_SIZE bytes */,
                            const uint8_t* modelPart /* VDP_MODEL_STATE_SIZE bytes */, uint8_t* image,
                            std::size_t& imageSize);
void VDP_GetStatusInfo(const T_VDP_CORE& vdp, T_VDP_STATUS_INFO& info);
