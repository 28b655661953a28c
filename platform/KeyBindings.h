// The players' bindings: which keys and which game-controller buttons press
// each input of the two pads (up, down, left, right, button 1, button 2, and
// Pause, which the console has on its front and the window gives player 1).
// A table the key dialog edits, the window applies to its two input devices
// and keeps as one settings string.
//
// Rules the table keeps:
// - one key, one input: binding a key takes it from any other input of
//   either player (and one controller button, one input, within player 1);
// - the window's own keys (Escape, Backspace, Tab, F5 to F8, F10, F12,
//   Pause) are never bound, so a pad never fights a window command;
// - player 2 has no game controller (only player 1 reads joystick 0).
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "InputDevice.h"

// One input of a pad as the dialog and the settings name it.
struct TPadInput {
    int Player;          // 1 or 2
    TInputState State;   // the logical state it presses
    const char* Name;    // in the settings string: the input script's names
    const char* Caption; // in the dialog
};

constexpr int PAD_INPUT_COUNT = 13;
// Player 1's Up, Down, Left, Right, Button 1, Button 2, Pause, then player
// 2's Up to Button 2.
const TPadInput& PadInput(int index);
// The index of an input by its name ("p1.b1", "pause", ...), -1 if none.
int PadInputByName(std::string_view name);

// The window's command keys, which no input may take.
bool IsWindowKey(TKeyCode key);
// A key's name for the player: "Up", "Keypad 8", "X", "Enter", "F1", ...
std::string KeyName(TKeyCode key);
// A controller button's name in SDL's controller database ("a", "dpup", ...)
// and for the player ("A", "D-pad up", ...); "" for None.
const char* ControllerButtonName(TControllerButton button);
const char* ControllerButtonCaption(TControllerButton button);
TControllerButton ControllerButtonByName(std::string_view name);

class TKeyBindings {
public:
    // Today's bindings: arrows (and keypad 8 for up), X, C and Enter for
    // player 1 with the controller's pad, A, B, and X or Start; W A S D, G
    // and H for player 2.
    static TKeyBindings Defaults();

    TKeyCode Key(int input, int slot) const;
    TControllerButton Button(int input, int slot) const;

    // Binds `key` to a slot (0 empties it); the key leaves every other slot
    // it held. False, and nothing changes, for a window key or a slot that
    // does not exist.
    bool SetKey(int input, int slot, TKeyCode key);
    // The same for a controller button; false for player 2's inputs.
    bool SetButton(int input, int slot, TControllerButton button);

    // Writes every slot of both players' devices.
    void ApplyTo(TInputDevice& player1, TInputDevice& player2) const;

    // The settings string: one entry per input, separated by ';',
    // NAME=K1,K2,K3/C1,C2 with the keys' virtual-key codes in hexadecimal (0
    // for an empty slot) and the controller buttons by name ("" for empty):
    // "p1.up=26,0,68/dpup,;...".
    std::string ToString() const;
    // Reads a settings string over the bindings held: each entry understood
    // replaces its input's slots, inputs it does not name keep theirs, and
    // an entry that cannot be read (an unknown name, a bad number, a window
    // key) is skipped whole. False when anything was skipped.
    bool FromString(std::string_view text);

    bool operator==(const TKeyBindings&) const = default;

private:
    std::array<std::array<TKeyCode, INPUT_KEY_SLOTS>, PAD_INPUT_COUNT> keys_{};
    std::array<std::array<TControllerButton, INPUT_CONTROLLER_SLOTS>, PAD_INPUT_COUNT> buttons_ = EmptyButtons();
    static std::array<std::array<TControllerButton, INPUT_CONTROLLER_SLOTS>, PAD_INPUT_COUNT> EmptyButtons();
};
