// Private to VDPEM: register bit names and the entry of the line renderer,
// shared by the port/interrupt code and the renderer.
#pragma once

#include "VDPEM.h"

// Register 0.
constexpr uint8_t VDP_R0_SPRITE_SHIFT = 0x08;     // sprites 8 pixels to the left
constexpr uint8_t VDP_R0_LINE_INT = 0x10;         // line interrupt enable
constexpr uint8_t VDP_R0_LEFT_BLANK = 0x20;       // leftmost 8 pixels show the backdrop
constexpr uint8_t VDP_R0_TOP_NO_HSCROLL = 0x40;   // lines 0-15 ignore horizontal scroll
constexpr uint8_t VDP_R0_RIGHT_NO_VSCROLL = 0x80; // columns 24-31 ignore vertical scroll
// Register 1.
constexpr uint8_t VDP_R1_SPRITES_8X16 = 0x02;
constexpr uint8_t VDP_R1_FRAME_INT = 0x20;
constexpr uint8_t VDP_R1_DISPLAY_ON = 0x40;
// Register 6.
constexpr uint8_t VDP_R6_SPRITE_TILES_HIGH = 0x04; // sprite patterns 256-511

constexpr uint16_t VDP_ADDRESS_MASK = 0x3FFF;
constexpr uint32_t VDP_LAST_DRAWN_LINE = 191;
constexpr uint32_t VDP_FRAME_INT_LINE = 193;
constexpr uint8_t VDP_SPRITE_LIST_END = 0xD0;
constexpr uint32_t VDP_SPRITE_COUNT = 64;
constexpr uint32_t VDP_SPRITES_FOR_OVERFLOW = 8;

// Writes the bitmap headers and palette into the frame image.
void VDP_WriteFrameHeaders(T_VDP_CORE& vdp);

// The hardware models' side of the ports and the line step (VDPModel.cpp).
void VDP_RunModelLine(T_VDP_CORE& vdp, uint32_t line, uint8_t draw);
void VDP_ModelWriteControl(T_VDP_CORE& vdp, uint8_t value);
void VDP_ModelWriteData(T_VDP_CORE& vdp, uint8_t value);
uint8_t VDP_ModelReadStatus(T_VDP_CORE& vdp);
uint8_t VDP_ModelVCounter(const T_VDP_CORE& vdp);
// The Game Gear's frame palette emptied (at reset): no slot in use, the
// image's palette black.
void VDP_GameGearResetPalette(T_VDP_CORE& vdp);

// Draws screen line `line` (0-191) into the frame image.
void VDP_DrawLine(T_VDP_CORE& vdp, uint32_t line);

// First byte of screen line `line` in the bottom-up frame image.
inline uint8_t* VDP_LinePixels(T_VDP_CORE& vdp, uint32_t line)
{
    return vdp.FrameImage + VDP_FRAME_PIXEL_OFFSET + (VDP_SCREEN_HEIGHT - 1 - line) * VDP_SCREEN_WIDTH;
}
