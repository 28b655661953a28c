// Input devices: a keyboard plus, optionally, joystick 0, turned into the
// logical states a pad needs (Up, Down, Left, Right, Button 1 to 3). Each
// state has three key slots and two game-controller button slots; a state is
// on while any of its keys is down or its joystick source says so. Devices read nothing while the window is not
// in the foreground: every state is then off.
//
// Key codes are the original platform's virtual-key codes (0x26 = Up arrow,
// 0x41..0x5A = A..Z, 0x0D = Enter, 0x60..0x69 = keypad digits), which the
// desktop layer maps from its own key events, so bindings read as they were.
#pragma once

#include <cstdint>

using TKeyCode = uint16_t;

enum class TInputState : uint8_t { Up, Down, Left, Right, Button1, Button2, Button3, Count };

constexpr int INPUT_STATE_COUNT = static_cast<int>(TInputState::Count);
constexpr int INPUT_KEY_SLOTS = 3;
constexpr int INPUT_JOYSTICK_BUTTONS = 32;
constexpr int INPUT_CONTROLLER_SLOTS = 2;

// The buttons of a game controller as SDL's controller database names them,
// in SDL's own order (SDL_GameControllerButton), so the value is SDL's.
enum class TControllerButton : uint8_t {
    None = 0xFF,
    A = 0, B, X, Y, Back, Guide, Start, LeftStick, RightStick, LeftShoulder, RightShoulder,
    DPadUp, DPadDown, DPadLeft, DPadRight, Misc1, Paddle1, Paddle2, Paddle3, Paddle4, Touchpad,
};
constexpr int CONTROLLER_BUTTON_COUNT = 21;

// Virtual-key codes used by the default bindings.
namespace VK {
constexpr TKeyCode Back = 0x08;  // Backspace
constexpr TKeyCode Tab = 0x09;
constexpr TKeyCode Return = 0x0D;
constexpr TKeyCode Escape = 0x1B;
constexpr TKeyCode Left = 0x25;
constexpr TKeyCode Up = 0x26;
constexpr TKeyCode Right = 0x27;
constexpr TKeyCode Down = 0x28;
constexpr TKeyCode Numpad0 = 0x60;  // 0x60..0x69 = keypad 0..9
}  // namespace VK

// The keyboard as the window sees it: which keys are down now, and whether
// the window is in the foreground.
class TKeySource {
public:
    virtual ~TKeySource() = default;
    virtual bool KeyDown(TKeyCode key) const = 0;
    virtual bool Foreground() const = 0;
};

// One reading of a joystick: axes in -32768..32767 (negative X = left,
// negative Y = up) and buttons. A plain joystick reports its buttons in
// Buttons, bit n = button n + 1, and its hat as the axes; a game controller
// (Controller set) reports its left stick as the axes and every button in
// ControllerButtons, bit n = TControllerButton n, directional pad included,
// so that each of them goes where the bindings say.
struct TJoystickReading {
    int32_t X = 0;
    int32_t Y = 0;
    uint32_t Buttons = 0;
    bool Controller = false;
    uint32_t ControllerButtons = 0;
};

class TJoystickSource {
public:
    virtual ~TJoystickSource() = default;
    // Polls joystick 0. False when there is none (unplugged, never plugged).
    virtual bool Read(TJoystickReading& reading) = 0;
};

class TInputDevice {
public:
    // Either source may be null; neither is owned.
    TInputDevice(const TKeySource* keys, TJoystickSource* joystick)
        : keys_(keys), joystick_(joystick) {}

    // Slot 0..2 of a state; key 0 empties the slot.
    void BindKey(TInputState state, int slot, TKeyCode key);
    TKeyCode BoundKey(TInputState state, int slot) const;
    // Slot 0..1 of a state; TControllerButton::None empties the slot.
    void BindControllerButton(TInputState state, int slot, TControllerButton button);
    TControllerButton BoundControllerButton(TInputState state, int slot) const;

    // Recomputes every state from the sources.
    void Update();
    bool State(TInputState state) const { return states_[static_cast<int>(state)]; }

    // An axis counts as pushed beyond half its range (the dead zone is half
    // of the travel), so a resting or drifting stick reads as centred.
    static constexpr int32_t AxisThreshold = 16384;

private:
    const TKeySource* keys_;
    TJoystickSource* joystick_;
    TKeyCode bindings_[INPUT_STATE_COUNT][INPUT_KEY_SLOTS] = {};
    TControllerButton controllerBindings_[INPUT_STATE_COUNT][INPUT_CONTROLLER_SLOTS] = {
        {TControllerButton::None, TControllerButton::None}, {TControllerButton::None, TControllerButton::None},
        {TControllerButton::None, TControllerButton::None}, {TControllerButton::None, TControllerButton::None},
        {TControllerButton::None, TControllerButton::None}, {TControllerButton::None, TControllerButton::None},
        {TControllerButton::None, TControllerButton::None}};
    bool states_[INPUT_STATE_COUNT] = {};
};
