// TRewind: forward, the frame's state into the history; back, one state back.
#include "Rewind.h"

#include <cstring>

#include "SMS.h"
#include "SaveState.h"

namespace {

uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

TRewind::TRewind(size_t maxStates, size_t maxBytes) : history_(maxStates, maxBytes) {}

bool TRewind::FindPicture(const uint8_t* state, size_t size, size_t& offset, size_t& pictureSize) {
    // The header: 26 bytes and the cartridge's name, whose length is at 24;
    // then sections of a 4-byte tag, a 32-bit length and the payload. The
    // VDP's payload ends with the frame image's pixels.
    constexpr size_t kHeader = 26;
    if (size < kHeader) return false;
    size_t at = kHeader + (size_t(state[24]) | size_t(state[25]) << 8);
    while (at + 8 <= size) {
        const size_t length = GetU32(state + at + 4);
        const size_t payload = at + 8;
        if (length > size - payload) return false;
        if (std::memcmp(state + at, "VDP ", 4) == 0) {
            if (length != VDP_STATE_SIZE) return false;
            offset = payload + VDP_STATE_SIZE - VDP_FRAME_PIXEL_COUNT;
            pictureSize = VDP_FRAME_PIXEL_COUNT;
            return true;
        }
        at = payload + length;
    }
    return false;
}

bool TRewind::Frame(TSMS& machine, bool back, std::string& error) {
    if (back && history_.States() > 0) {
        if (!rewinding_) {
            rewinding_ = true;
            machine.SoundMuted = 1;
        }
        history_.StepBack();
        std::vector<uint8_t>& state = history_.Newest();
        if (pictureSize_ != 0 && machine.FrameStream.Size == VDP_FRAME_IMAGE_SIZE)
            std::memcpy(state.data() + pictureOffset_, machine.FrameStream.Data + VDP_FRAME_PIXEL_OFFSET, pictureSize_);
        if (!SMS_LoadState(machine, state.data(), state.size(), error)) {
            Clear(machine);
            return false;
        }
        return true;
    }
    if (rewinding_) {
        rewinding_ = false;
        machine.SoundMuted = 0;
    }
    SMS_SaveState(machine, history_.NextState());
    // A state of another layout (another cartridge's name) starts anew.
    if (history_.States() != 0 && history_.NextState().size() != history_.Newest().size()) {
        history_.Clear();
        SMS_SaveState(machine, history_.NextState());
    }
    if (history_.States() == 0) {
        // Every state of one machine has the same layout: found once.
        const std::vector<uint8_t>& state = history_.NextState();
        if (!FindPicture(state.data(), state.size(), pictureOffset_, pictureSize_)) pictureSize_ = 0;
        history_.SetIgnoredRange(pictureOffset_, pictureSize_);
    }
    history_.Push();
    return true;
}

void TRewind::Clear(TSMS& machine) {
    history_.Clear();
    rewinding_ = false;
    machine.SoundMuted = 0;
}
