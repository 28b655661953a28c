// VDPEM: the console's video display processor.
//
// One plain state object, T_VDP_CORE, and free procedures that take it first.
// The CPU reaches the chip only through the I/O bus (control/status port,
// data port, V counter); the machine calls VDP_RunLine once per scan line,
// which updates the interrupt state and, on drawn frames, renders the line
// straight into FrameImage, a complete 8-bit BMP file of 256 x 192 pixels.
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
    uint32_t CurrentLine;      // 0-261
    uint8_t PriorityMask[VDP_SCREEN_WIDTH];
    uint8_t SpriteMask[VDP_SCREEN_WIDTH];
    uint8_t VRAM[VDP_VRAM_SIZE];
    uint8_t CRAM[VDP_CRAM_SIZE];
    uint8_t FrameImage[VDP_FRAME_IMAGE_SIZE];
};

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

// Frame image export and overlay read-out.
void VDP_ExportFrame(const T_VDP_CORE& vdp, uint8_t* destination /* VDP_FRAME_IMAGE_SIZE bytes */);
void VDP_GetStatusInfo(const T_VDP_CORE& vdp, T_VDP_STATUS_INFO& info);
