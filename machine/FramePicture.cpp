#include "FramePicture.h"

void SMS_FrameToXrgb8888(const uint8_t* image, uint32_t* pixels) {
    const uint8_t* palette = image + VDP_FRAME_PALETTE_OFFSET;
    uint32_t colours[256];
    for (int i = 0; i < 256; ++i) {
        const uint8_t* entry = palette + 4 * i;  // blue, green, red, unused
        colours[i] = (uint32_t{entry[2]} << 16) | (uint32_t{entry[1]} << 8) | entry[0];
    }
    // The bitmap stores its bottom row first.
    const uint8_t* rows = image + VDP_FRAME_PIXEL_OFFSET;
    for (std::size_t y = 0; y < SMS_PICTURE_HEIGHT; ++y) {
        const uint8_t* row = rows + (SMS_PICTURE_HEIGHT - 1 - y) * SMS_PICTURE_WIDTH;
        uint32_t* out = pixels + y * SMS_PICTURE_WIDTH;
        for (std::size_t x = 0; x < SMS_PICTURE_WIDTH; ++x) out[x] = colours[row[x]];
    }
}
