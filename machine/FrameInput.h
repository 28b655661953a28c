// One frame's input as the front ends without a window hand it to the
// console: both pads, Pause held, Reset pressed. The headless runner and the
// web player take it from an input script (TScriptedInput) the same way, so a
// script replays identically in both.
#pragma once

#include <cstdint>

class TConsole;
class TScriptedInput;

struct TFrameInput {
    uint8_t Player1 = 0;  // TPadButton bits
    uint8_t Player2 = 0;
    bool Pause = false;
    bool Reset = false;
};

// The buttons the script holds after its last Advance, and the reset button
// when that Advance pressed it.
TFrameInput FrameInput_FromScript(const TScriptedInput& input);
// The input step of one frame: pads every frame, Pause while held, Reset once.
void FrameInput_Apply(TConsole& console, const TFrameInput& input);
