// VDPEM frame image: the bitmap file headers and palette written at reset,
// the per-frame export copy and the status overlay's register read-out.
#include "VDPInternal.h"

#include "LittleEndian.h"

#include <cstring>


// The image is a complete Windows bitmap file: 14-byte file header, 40-byte
// information header, a 256-entry palette and the bottom-up pixel rows. Pixel
// bytes are the console's 6-bit colour values, so palette entries 0-63 map
// them to RGB and the renderer never converts anything.
namespace {

void WriteBitmapHeaders(uint8_t* f, uint32_t width, uint32_t height)
{
    f[0] = 'B';
    f[1] = 'M';
    LE_Put32(f + 2, static_cast<uint32_t>(VDP_FRAME_PIXEL_OFFSET + width * height));
    LE_Put16(f + 6, 0);
    LE_Put16(f + 8, 0);
    LE_Put32(f + 10, VDP_FRAME_PIXEL_OFFSET);
    LE_Put32(f + 14, 40);
    LE_Put32(f + 18, width);
    LE_Put32(f + 22, height); // positive: rows stored bottom-up
    LE_Put16(f + 26, 1);
    LE_Put16(f + 28, 8);
    LE_Put32(f + 30, 0);
    LE_Put32(f + 34, static_cast<uint32_t>(width * height));
    LE_Put32(f + 38, 2867); // 72.8 dots per inch
    LE_Put32(f + 42, 2867);
    LE_Put32(f + 46, 256);
    LE_Put32(f + 50, 256);
}

} // namespace

// The Game Gear's palette is the frame's own (VDPModel.cpp keeps it): here
// only the headers change, and a load or reset writes the palette itself.
void VDP_WriteFrameHeaders(T_VDP_CORE& vdp)
{
    if (vdp.Model == VDP_MODEL_GAME_GEAR) {
        WriteBitmapHeaders(vdp.FrameImage, VDP_GG_WINDOW_WIDTH, VDP_GG_WINDOW_HEIGHT);
        return;
    }
    VDP_WriteFrameImageHeaders(vdp.FrameImage, VDP_PictureHeight(vdp)); // 192 always in the default model
}

void VDP_WriteFrameImageHeaders(uint8_t* f, uint32_t height)
{
    WriteBitmapHeaders(f, VDP_SCREEN_WIDTH, height);

    // Each 2-bit component v becomes the level 85 x v; entries 64-255 stay black.
    uint8_t* palette = f + VDP_FRAME_PALETTE_OFFSET;
    std::memset(palette, 0, 1024);
    for (uint32_t e = 0; e < 64; ++e) {
        palette[e * 4 + 0] = static_cast<uint8_t>(85 * ((e >> 4) & 3));
        palette[e * 4 + 1] = static_cast<uint8_t>(85 * ((e >> 2) & 3));
        palette[e * 4 + 2] = static_cast<uint8_t>(85 * (e & 3));
        palette[e * 4 + 3] = 0;
    }
}

void VDP_WriteGameGearImageHeaders(uint8_t* f, const uint16_t* slotColours, uint32_t slotCount)
{
    WriteBitmapHeaders(f, VDP_GG_WINDOW_WIDTH, VDP_GG_WINDOW_HEIGHT);
    uint8_t* palette = f + VDP_FRAME_PALETTE_OFFSET;
    std::memset(palette, 0, 1024);
    for (uint32_t e = 0; e < slotCount && e < 256; ++e) {
        const uint32_t rgb = VDP_GameGearRgb(slotColours[e]);
        palette[e * 4 + 0] = static_cast<uint8_t>(rgb);
        palette[e * 4 + 1] = static_cast<uint8_t>(rgb >> 8);
        palette[e * 4 + 2] = static_cast<uint8_t>(rgb >> 16);
    }
}

std::size_t VDP_FrameImageSize(const T_VDP_CORE& vdp)
{
    return VDP_FRAME_PIXEL_OFFSET + VDP_PictureWidth(vdp) * VDP_PictureHeight(vdp);
}

void VDP_ExportFrame(const T_VDP_CORE& vdp, uint8_t* destination)
{
    std::memcpy(destination, vdp.FrameImage, VDP_FrameImageSize(vdp));
}

void VDP_GetStatusInfo(const T_VDP_CORE& vdp, T_VDP_STATUS_INFO& info)
{
    const uint8_t* r = vdp.Registers;
    info.Sprites8x16 = (r[1] & VDP_R1_SPRITES_8X16) ? 1 : 0;
    info.LineInt = (r[0] & VDP_R0_LINE_INT) ? 1 : 0;
    info.FrameInt = (r[1] & VDP_R1_FRAME_INT) ? 1 : 0;
    info.HorizScroll = r[8];
    info.VertiScroll = r[9];
    info.VideoActive = (r[1] & VDP_R1_DISPLAY_ON) ? 1 : 0;
    info.IntCounter = r[10];
}
