// VDPEM: the VDP's part of a saved state.
//
// Every field little-endian at a fixed width, in this order:
//
//   Registers 0-10                                                11 x u8
//   Address                                                       u16
//   Code ReadBuffer FrameVScroll                                  3 x u8
//   InterruptLine FrameIntPending LineIntPending LineCounter      4 x u8
//   SpriteOverflow SpriteCollision SecondByte                     3 x u8
//   CurrentLine                                                   u16
//   VRAM (16384 bytes), CRAM (32 bytes)
//   the frame image's pixels, bottom row first (49152 bytes)
//
// The bitmap headers and palette of the frame image are constants written
// at reset; the priority and sprite masks are scratch of one line's drawing.
//
// The hardware models' additions (VDP_MODEL_STATE_SIZE bytes) are a part of
// their own, laid out in VDPEM.h; the picture above is then the first 49152
// pixel bytes of the frame image, whatever its height. On the Game Gear the
// picture is 160 x 144 palette slots (its first 23040 bytes) and CRAM here
// stays zero: its colours and the image's palette are in the model part.
#include <cstring>

#include "LittleEndian.h"
#include "VDPInternal.h"

namespace {

constexpr std::size_t kAddressOffset = VDP_REGISTER_COUNT;
constexpr std::size_t kFlagsOffset = kAddressOffset + 2;
constexpr std::size_t kLineOffset = kFlagsOffset + 10;
constexpr std::size_t kVramOffset = kLineOffset + 2;
constexpr std::size_t kCramOffset = kVramOffset + VDP_VRAM_SIZE;
constexpr std::size_t kPixelOffset = kCramOffset + VDP_CRAM_SIZE;
static_assert(kPixelOffset + VDP_FRAME_PIXEL_COUNT == VDP_STATE_SIZE);


// The one-bit flags among the ten bytes at kFlagsOffset; the others (code,
// read-ahead byte, latched scroll, line counter) are checked or free.
struct TFlag {
    std::size_t Index;
    const char* Name;
};
constexpr TFlag kFlags[] = {{3, "the interrupt line"},     {4, "the frame interrupt flag"},
                            {5, "the line interrupt flag"}, {7, "the sprite overflow flag"},
                            {8, "the sprite collision flag"}, {9, "the control port's byte flag"}};

}  // namespace

void VDP_SaveState(const T_VDP_CORE& vdp, uint8_t* out) {
    std::memcpy(out, vdp.Registers, VDP_REGISTER_COUNT);
    LE_Put16(out + kAddressOffset, vdp.Address);
    uint8_t* f = out + kFlagsOffset;
    f[0] = vdp.Code;
    f[1] = vdp.ReadBuffer;
    f[2] = vdp.FrameVScroll;
    f[3] = vdp.InterruptLine;
    f[4] = vdp.FrameIntPending;
    f[5] = vdp.LineIntPending;
    f[6] = vdp.LineCounter;
    f[7] = vdp.SpriteOverflow;
    f[8] = vdp.SpriteCollision;
    f[9] = vdp.SecondByte;
    LE_Put16(out + kLineOffset, vdp.CurrentLine);
    std::memcpy(out + kVramOffset, vdp.VRAM, VDP_VRAM_SIZE);
    std::memcpy(out + kCramOffset, vdp.CRAM, VDP_CRAM_SIZE);
    std::memcpy(out + kPixelOffset, vdp.FrameImage + VDP_FRAME_PIXEL_OFFSET, VDP_FRAME_PIXEL_COUNT);
}

bool VDP_ValidateState(const T_VDP_CORE& vdp, const uint8_t* data, std::size_t size, std::string& reason) {
    if (size != VDP_STATE_SIZE) {
        reason = "the VDP section is " + std::to_string(size) + " bytes long, not " + std::to_string(VDP_STATE_SIZE);
        return false;
    }
    const uint16_t address = LE_Get16(data + kAddressOffset);
    if (address > VDP_ADDRESS_MASK) {
        reason = "the VDP address is " + std::to_string(address) + ", beyond 14 bits";
        return false;
    }
    const uint8_t* f = data + kFlagsOffset;
    if (f[0] > 3) {
        reason = "the VDP access code is " + std::to_string(f[0]) + ", above 3";
        return false;
    }
    for (const TFlag& flag : kFlags) {
        if (f[flag.Index] > 1) {
            reason = std::string(flag.Name) + " is " + std::to_string(f[flag.Index]) + ", not 0 or 1";
            return false;
        }
    }
    // A PAL console's frame has 313 lines.
    const uint16_t line = LE_Get16(data + kLineOffset);
    const uint32_t lines = VDP_LinesPerFrame(vdp);
    if (line >= lines) {
        reason = "the current line is " + std::to_string(line) + ", not below " + std::to_string(lines);
        return false;
    }
    // Colours are 6 bits, in CRAM and so in every pixel drawn from it.
    for (std::size_t i = 0; i < VDP_CRAM_SIZE; ++i) {
        if (data[kCramOffset + i] > 0x3F) {
            reason = "colour " + std::to_string(i) + " is " + std::to_string(data[kCramOffset + i]) + ", beyond 6 bits";
            return false;
        }
    }
    // The Game Gear's pixel bytes are palette slots: any value is one. Past
    // its 160 x 144 nothing is read (the VDP writes zeros there, but the
    // rewind history puts in the console's own image, whose bytes past the
    // window may be an earlier model's).
    if (vdp.Model == VDP_MODEL_GAME_GEAR)
        return true;
    uint8_t high = 0;
    for (std::size_t i = 0; i < VDP_FRAME_PIXEL_COUNT; ++i) high |= data[kPixelOffset + i];
    if (high > 0x3F) {
        reason = "the picture holds a colour beyond 6 bits";
        return false;
    }
    return true;
}

void VDP_LoadState(T_VDP_CORE& vdp, const uint8_t* data) {
    std::memcpy(vdp.Registers, data, VDP_REGISTER_COUNT);
    vdp.Address = LE_Get16(data + kAddressOffset);
    const uint8_t* f = data + kFlagsOffset;
    vdp.Code = f[0];
    vdp.ReadBuffer = f[1];
    vdp.FrameVScroll = f[2];
    vdp.InterruptLine = f[3];
    vdp.FrameIntPending = f[4];
    vdp.LineIntPending = f[5];
    vdp.LineCounter = f[6];
    vdp.SpriteOverflow = f[7];
    vdp.SpriteCollision = f[8];
    vdp.SecondByte = f[9];
    vdp.CurrentLine = LE_Get16(data + kLineOffset);
    std::memcpy(vdp.VRAM, data + kVramOffset, VDP_VRAM_SIZE);
    std::memcpy(vdp.CRAM, data + kCramOffset, VDP_CRAM_SIZE);
    // The headers too, in case this VDP was never reset: the image is then
    // a complete bitmap file at once.
    VDP_WriteFrameHeaders(vdp);
    std::memcpy(vdp.FrameImage + VDP_FRAME_PIXEL_OFFSET, data + kPixelOffset, VDP_FRAME_PIXEL_COUNT);
}

// ---------------------------------------------------------------- the hardware models' part

namespace {

constexpr std::size_t kModelHeightOffset = 0;
constexpr std::size_t kModelHCounterOffset = 2;
constexpr std::size_t kModelFifthSpriteOffset = 3;
constexpr std::size_t kModelPixelOffset = 4;
static_assert(kModelPixelOffset + VDP_MODEL_EXTRA_PIXELS == VDP_MODEL_STATE_SIZE);
constexpr std::size_t kExtraPixelsAt = VDP_FRAME_PIXEL_OFFSET + VDP_FRAME_PIXEL_COUNT;
static_assert(kExtraPixelsAt + VDP_MODEL_EXTRA_PIXELS == VDP_MAX_FRAME_IMAGE_SIZE);
// The Game Gear's fields in the place of the lower lines' pixels.
constexpr std::size_t kGGCramOffset = kModelPixelOffset;
constexpr std::size_t kGGLatchOffset = kGGCramOffset + 2 * VDP_GG_CRAM_WORDS;
constexpr std::size_t kGGSlotCountOffset = kGGLatchOffset + 1;
constexpr std::size_t kGGPaletteOffset = kGGSlotCountOffset + 2;
constexpr std::size_t kGGEnd = kGGPaletteOffset + 2 * 256;
static_assert(kGGEnd <= VDP_MODEL_STATE_SIZE);

// A palette entry's colour back in 12 bits: the image holds only 17 x v levels.
uint16_t PaletteColour(const uint8_t* entry) {
    return static_cast<uint16_t>((entry[2] / 17) | (entry[1] / 17) << 4 | (entry[0] / 17) << 8);
}

// The Game Gear's palette part checked: the slots in use, and every colour 12 bits.
bool ValidateGameGearPalette(const uint8_t* data, std::string& reason) {
    const uint16_t slots = LE_Get16(data + kGGSlotCountOffset);
    if (slots > 256) {
        reason = "the picture's palette has " + std::to_string(slots) + " slots in use, more than 256";
        return false;
    }
    for (std::size_t i = 0; i < 256; ++i) {
        if (LE_Get16(data + kGGPaletteOffset + 2 * i) > 0x0FFF) {
            reason = "palette entry " + std::to_string(i) + " of the picture is beyond 12 bits";
            return false;
        }
    }
    return true;
}

bool ValidateGameGearPart(const uint8_t* data, std::string& reason) {
    if (LE_Get16(data + kModelHeightOffset) != VDP_GG_WINDOW_HEIGHT) {
        reason = "the picture is " + std::to_string(LE_Get16(data + kModelHeightOffset)) +
                 " lines high, not the Game Gear's 144";
        return false;
    }
    for (std::size_t i = 0; i < VDP_GG_CRAM_WORDS; ++i) {
        if (LE_Get16(data + kGGCramOffset + 2 * i) > 0x0FFF) {
            reason = "colour " + std::to_string(i) + " is beyond 12 bits";
            return false;
        }
    }
    if (!ValidateGameGearPalette(data, reason)) return false;
    for (std::size_t i = kGGEnd; i < VDP_MODEL_STATE_SIZE; ++i) {
        if (data[i] != 0) {
            reason = "the VDP model section's unused bytes are not zero";
            return false;
        }
    }
    return true;
}

}  // namespace

void VDP_SaveModelState(const T_VDP_CORE& vdp, uint8_t* out) {
    const uint32_t height = VDP_PictureHeight(vdp);
    LE_Put16(out + kModelHeightOffset, static_cast<uint16_t>(height));
    out[kModelHCounterOffset] = vdp.HCounter;
    out[kModelFifthSpriteOffset] = vdp.FifthSprite;
    if (vdp.Model == VDP_MODEL_GAME_GEAR) {
        std::memset(out + kModelPixelOffset, 0, VDP_MODEL_EXTRA_PIXELS);
        for (std::size_t i = 0; i < VDP_GG_CRAM_WORDS; ++i) LE_Put16(out + kGGCramOffset + 2 * i, vdp.GGCram[i]);
        out[kGGLatchOffset] = vdp.GGLatch;
        LE_Put16(out + kGGSlotCountOffset, vdp.GGSlotCount);
        // The image's palette as it stands, past the slots in use too: a
        // state saved inside a frame has the last frame's lower lines.
        for (std::size_t i = 0; i < 256; ++i)
            LE_Put16(out + kGGPaletteOffset + 2 * i,
                     PaletteColour(vdp.FrameImage + VDP_FRAME_PALETTE_OFFSET + 4 * i));
        return;
    }
    // Only the lines the picture has: the rest of the buffer is stale.
    const std::size_t used = VDP_SCREEN_WIDTH * height - VDP_FRAME_PIXEL_COUNT;
    std::memcpy(out + kModelPixelOffset, vdp.FrameImage + kExtraPixelsAt, used);
    std::memset(out + kModelPixelOffset + used, 0, VDP_MODEL_EXTRA_PIXELS - used);
}

bool VDP_ValidateModelState(const T_VDP_CORE& vdp, const uint8_t* data, std::size_t size, std::string& reason) {
    if (size != VDP_MODEL_STATE_SIZE) {
        reason = "the VDP model section is " + std::to_string(size) + " bytes long, not " +
                 std::to_string(VDP_MODEL_STATE_SIZE);
        return false;
    }
    if (vdp.Model == VDP_MODEL_GAME_GEAR && !ValidateGameGearPart(data, reason)) return false;
    const uint16_t height = LE_Get16(data + kModelHeightOffset);
    if (vdp.Model != VDP_MODEL_GAME_GEAR && height != 192 && height != 224 && height != 240) {
        reason = "the picture is " + std::to_string(height) + " lines high, not 192, 224 or 240";
        return false;
    }
    // The H counter reads $00-$93 or $E9-$FF.
    const uint8_t h = data[kModelHCounterOffset];
    if (h > 0x93 && h < 0xE9) {
        reason = "the latched H counter is " + std::to_string(h) + ", a value the counter never takes";
        return false;
    }
    if (data[kModelFifthSpriteOffset] > 31) {
        reason = "the fifth sprite's number is " + std::to_string(data[kModelFifthSpriteOffset]) + ", above 31";
        return false;
    }
    if (vdp.Model == VDP_MODEL_GAME_GEAR) return true;
    uint8_t high = 0;
    for (std::size_t i = 0; i < VDP_MODEL_EXTRA_PIXELS; ++i) high |= data[kModelPixelOffset + i];
    if (high > 0x3F) {
        reason = "the picture's lower lines hold a colour beyond 6 bits";
        return false;
    }
    return true;
}

void VDP_LoadModelState(T_VDP_CORE& vdp, const uint8_t* data) {
    vdp.FrameHeight = LE_Get16(data + kModelHeightOffset);
    vdp.HCounter = data[kModelHCounterOffset];
    vdp.FifthSprite = data[kModelFifthSpriteOffset];
    if (vdp.Model == VDP_MODEL_GAME_GEAR) {
        for (std::size_t i = 0; i < VDP_GG_CRAM_WORDS; ++i) vdp.GGCram[i] = LE_Get16(data + kGGCramOffset + 2 * i);
        vdp.GGLatch = data[kGGLatchOffset];
        // The slots in use again, and the whole palette as saved; the lines
        // ahead take their pixel bytes afresh, and the end of the window
        // clears what this frame does not use, as the unbroken run does.
        for (uint32_t s = 0; s < vdp.GGSlotCount; ++s) vdp.GGSlotOf[vdp.GGSlotColour[s]] = 0;
        uint16_t colours[256];
        for (std::size_t i = 0; i < 256; ++i) colours[i] = LE_Get16(data + kGGPaletteOffset + 2 * i);
        vdp.GGSlotCount = LE_Get16(data + kGGSlotCountOffset);
        for (uint32_t s = 0; s < 256; ++s) {
            vdp.GGSlotColour[s] = s < vdp.GGSlotCount ? colours[s] : 0;
            if (s < vdp.GGSlotCount && vdp.GGSlotOf[colours[s]] == 0)
                vdp.GGSlotOf[colours[s]] = static_cast<uint16_t>(s + 1);
        }
        vdp.GGPaletteHigh = 256;
        vdp.GGStale = 3;
        VDP_WriteGameGearImageHeaders(vdp.FrameImage, colours, 256);
        return;
    }
    // Either part may be loaded first: the headers follow the height, and
    // the two parts' pixels do not overlap.
    VDP_WriteFrameHeaders(vdp);
    std::memcpy(vdp.FrameImage + kExtraPixelsAt, data + kModelPixelOffset, VDP_MODEL_EXTRA_PIXELS);
}

bool VDP_GameGearStateImage(const uint8_t* vdpPart, const uint8_t* modelPart, uint8_t* image, std::size_t& imageSize) {
    std::string reason;
    if (LE_Get16(modelPart + kModelHeightOffset) != VDP_GG_WINDOW_HEIGHT || !ValidateGameGearPalette(modelPart, reason))
        return false;
    uint16_t colours[256];
    for (std::size_t i = 0; i < 256; ++i) colours[i] = LE_Get16(modelPart + kGGPaletteOffset + 2 * i);
    VDP_WriteGameGearImageHeaders(image, colours, 256);
    constexpr std::size_t pixels = VDP_GG_WINDOW_WIDTH * VDP_GG_WINDOW_HEIGHT;
    std::memcpy(image + VDP_FRAME_PIXEL_OFFSET, vdpPart + kPixelOffset, pixels);
    imageSize = VDP_FRAME_PIXEL_OFFSET + pixels;
    return true;
}
