// TRewind: forward, the frame's state into the history; back, one state back.
#include "Rewind.h"

#include <cstring>

#include "SMS.h"
#include "SaveState.h"

TRewind::TRewind(size_t maxStates, size_t maxBytes) : history_(maxStates, maxBytes) {}

bool TRewind::FindPicture(const uint8_t* state, size_t size, size_t& offset, size_t& pictureSize) {
    return SMS_FindStatePicture(state, size, offset, pictureSize);
}

bool TRewind::Frame(TConsole& console, bool back, std::string& error) {
    if (back && history_.States() > 0) {
        rewinding_ = true;
        history_.StepBack();
        std::vector<uint8_t>& state = history_.Newest();
        if (pictureSize_ != 0 && console.HasPicture())
            std::memcpy(state.data() + pictureOffset_, console.FramePixels(), pictureSize_);
        if (!console.LoadState(state.data(), state.size(), error)) {
            Clear();
            return false;
        }
        return true;
    }
    rewinding_ = false;
    console.SaveState(history_.NextState());
    // A state of another layout (another cartridge's name) starts anew.
    if (history_.States() != 0 && history_.NextState().size() != history_.Newest().size()) {
        history_.Clear();
        console.SaveState(history_.NextState());
    }
    if (history_.States() == 0) {
        // Every state of one console has the same layout: found once.
        const std::vector<uint8_t>& state = history_.NextState();
        if (!FindPicture(state.data(), state.size(), pictureOffset_, pictureSize_)) pictureSize_ = 0;
        history_.SetIgnoredRange(pictureOffset_, pictureSize_);
    }
    history_.Push();
    return true;
}

bool TRewind::Frame(TSMS& machine, bool back, std::string& error) {
    const bool done = Frame(*machine.Console, back, error);
    machine.SoundMuted = rewinding_ ? 1 : 0;
    return done;
}

void TRewind::Clear() {
    history_.Clear();
    rewinding_ = false;
}

void TRewind::Clear(TSMS& machine) {
    Clear();
    machine.SoundMuted = 0;
}
