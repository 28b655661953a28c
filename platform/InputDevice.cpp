// Input devices: key slots and joystick 0 folded into the logical states.
#include "InputDevice.h"

void TInputDevice::BindKey(TInputState state, int slot, TKeyCode key) {
    if (state >= TInputState::Count || slot < 0 || slot >= INPUT_KEY_SLOTS) return;
    bindings_[static_cast<int>(state)][slot] = key;
}

TKeyCode TInputDevice::BoundKey(TInputState state, int slot) const {
    if (state >= TInputState::Count || slot < 0 || slot >= INPUT_KEY_SLOTS) return 0;
    return bindings_[static_cast<int>(state)][slot];
}

void TInputDevice::BindControllerButton(TInputState state, int slot, TControllerButton button) {
    if (state >= TInputState::Count || slot < 0 || slot >= INPUT_CONTROLLER_SLOTS) return;
    if (button != TControllerButton::None && static_cast<int>(button) >= CONTROLLER_BUTTON_COUNT) return;
    controllerBindings_[static_cast<int>(state)][slot] = button;
}

TControllerButton TInputDevice::BoundControllerButton(TInputState state, int slot) const {
    if (state >= TInputState::Count || slot < 0 || slot >= INPUT_CONTROLLER_SLOTS) return TControllerButton::None;
    return controllerBindings_[static_cast<int>(state)][slot];
}

void TInputDevice::Update() {
    for (bool& state : states_) state = false;
    if (keys_ == nullptr || !keys_->Foreground()) return;

    for (int state = 0; state < INPUT_STATE_COUNT; ++state)
        for (TKeyCode key : bindings_[state])
            if (key != 0 && keys_->KeyDown(key)) states_[state] = true;

    TJoystickReading stick;
    if (joystick_ == nullptr || !joystick_->Read(stick)) return;
    if (stick.X < -AxisThreshold) states_[static_cast<int>(TInputState::Left)] = true;
    if (stick.X > AxisThreshold) states_[static_cast<int>(TInputState::Right)] = true;
    if (stick.Y < -AxisThreshold) states_[static_cast<int>(TInputState::Up)] = true;
    if (stick.Y > AxisThreshold) states_[static_cast<int>(TInputState::Down)] = true;
    if (stick.Controller) {
        // A game controller's buttons, directional pad included, go where
        // they are bound.
        for (int state = 0; state < INPUT_STATE_COUNT; ++state)
            for (TControllerButton button : controllerBindings_[state])
                if (button != TControllerButton::None && (stick.ControllerButtons >> static_cast<int>(button)) & 1u)
                    states_[state] = true;
        return;
    }
    // A plain joystick's button n is Button n, for the three buttons a pad has.
    if (stick.Buttons & 1u) states_[static_cast<int>(TInputState::Button1)] = true;
    if (stick.Buttons & 2u) states_[static_cast<int>(TInputState::Button2)] = true;
    if (stick.Buttons & 4u) states_[static_cast<int>(TInputState::Button3)] = true;
}
