// A scripted input device: a text script of frame-numbered presses and
// releases for both pads, Pause and Reset, replayed frame by frame.
//
// Script format, one event per line: `<frame> <press|release> <button>`;
// `#` starts a comment, blank lines are ignored. Buttons: p1.up p1.down
// p1.left p1.right p1.b1 p1.b2, the same for p2, pause, reset. A pressed
// button stays pressed until released. Events of one frame apply in the
// order written; the file need not be sorted by frame.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class TScriptButton : uint8_t {
    P1Up, P1Down, P1Left, P1Right, P1Button1, P1Button2,
    P2Up, P2Down, P2Left, P2Right, P2Button1, P2Button2,
    Pause, Reset,
    Count
};

struct TScriptEvent {
    uint32_t Frame;
    bool Press;
    TScriptButton Button;
};

class TScriptedInput {
public:
    // Replaces the script. On a syntax error returns false and sets `error`
    // to "NAME:LINE: message"; the previous script is then kept.
    bool Parse(std::string_view text, const std::string& name, std::string& error);
    // Reads and parses a file; a file that cannot be read is an error too.
    bool LoadFile(const std::string& path, std::string& error);

    // Applies every event of frames up to and including `frame`. Frames are
    // expected in increasing order (the runner's frame counter).
    void Advance(uint32_t frame);
    bool Held(TScriptButton button) const { return held_[static_cast<int>(button)]; }
    // True when the last Advance applied a press of the reset button.
    bool ResetPressed() const { return resetPressed_; }

    const std::vector<TScriptEvent>& Events() const { return events_; }

private:
    std::vector<TScriptEvent> events_;
    std::size_t next_ = 0;
    bool held_[static_cast<int>(TScriptButton::Count)] = {};
    bool resetPressed_ = false;
};
