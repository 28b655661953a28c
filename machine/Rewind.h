// TRewind: the machine's rewind, on a TRewindBuffer. Toolkit-free: the
// desktop program calls it in every frame's hand-over and tells it whether
// the rewind key is held; a front end without a window may do the same.
//
// Going forward, it keeps the state of each frame just run. Held back, each
// hand-over goes one kept state further back and loads it, and the machine
// then runs the frame after it: the picture of every frame shown while
// winding back is drawn again by the emulation, exactly as it was the first
// time. So the history keeps no pictures (the largest and most changing part
// of a state): the state loaded gets the picture on the display now, which a
// frame that frameskip leaves undrawn simply shows again. The sound is muted
// while winding back; when the key is let go the game goes on from the frame
// last shown, one frame further back.
#pragma once

#include <cstddef>
#include <string>

#include "RewindBuffer.h"

class TConsole;
class TSMS;

class TRewind {
public:
    explicit TRewind(size_t maxStates = TRewindBuffer::kDefaultStates, size_t maxBytes = TRewindBuffer::kDefaultBytes);

    // After a frame, the console between frames. `back` false keeps the
    // frame's state; true goes one state back (at the oldest it stays there),
    // and Rewinding() is true until a frame goes forward again: the sound is
    // to be muted meanwhile. False, with `error` set, when a kept state could
    // not be loaded: the history is then forgotten and the console left as it
    // was.
    bool Frame(TConsole& console, bool back, std::string& error);
    // The same in the window machine's hand-over, the machine parked; its
    // sound is muted while rewinding.
    bool Frame(TSMS& machine, bool back, std::string& error);

    // Forgets every state and gives the memory back (the machine's sound is
    // unmuted).
    void Clear();
    void Clear(TSMS& machine);

    bool Rewinding() const { return rewinding_; }
    const TRewindBuffer& History() const { return history_; }

    // Where a saved state holds the frame image's pixels: true with the
    // offset and size found from its header and section table.
    static bool FindPicture(const uint8_t* state, size_t size, size_t& offset, size_t& pictureSize);

private:
    TRewindBuffer history_;
    bool rewinding_ = false;
    size_t pictureOffset_ = 0;
    size_t pictureSize_ = 0;
};
