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
// pixel bytes of the frame image, whatever its height.
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

}  // namespace

void VDP_SaveModelState(const T_VDP_CORE& vdp, uint8_t* out) {
    const uint32_t height = VDP_PictureHeight(vdp);
    LE_Put16(out + kModelHeightOffset, static_cast<uint16_t>(height));
    out[kModelHCounterOffset] = vdp.HCounter;
    out[kModelFifthSpriteOffset] = vdp.FifthSprite;
    // Only the lines the picture has: the rest of the buffer is stale.
    const std::size_t used = VDP_SCREEN_WIDTH * height - VDP_FRAME_PIXEL_COUNT;
    std::memcpy(out + kModelPixelOffset, vdp.FrameImage + kExtraPixelsAt, used);
    std::memset(out + kModelPixelOffset + used, 0, VDP_MODEL_EXTRA_PIXELS - used);
}

bool VDP_ValidateModelState(const T_VDP_CORE&, const uint8_t* data, std::size_t size, std::string& reason) {
    if (size != VDP_MODEL_STATE_SIZE) {
        reason = "the VDP model section is " + std::to_string(size) + " bytes long, not " +
                 std::to_string(VDP_MODEL_STATE_SIZE);
        return false;
    }
    const uint16_t height = LE_Get16(data + kModelHeightOffset);
    if (height != 192 && height != 224 && height != 240) {
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
    // Either part may be loaded first: the headers follow the height, and
    // the two parts' pixels do not overlap.
    VDP_WriteFrameHeaders(vdp);
    std::memcpy(vdp.FrameImage + kExtraPixelsAt, data + kModelPixelOffset, VDP_MODEL_EXTRA_PIXELS);
}
