// Joystick 0 on SDL2: a game controller when SDL's controller database knows
// its mapping (its left stick is the axes, and its buttons, directional pad
// included, are reported by name for the bindings to place; by default the
// pad is the pad, A/B are buttons 1 and 2, X and Start are Pause), otherwise
// a plain joystick (axes 0 and 1 or its hat, its buttons as numbered).
// Hot-plugging is followed on each read.
#pragma once

#include "InputDevice.h"

struct _SDL_Joystick;
struct _SDL_GameController;

class TSdlJoystick final : public TJoystickSource {
public:
    TSdlJoystick();
    ~TSdlJoystick() override;
    TSdlJoystick(const TSdlJoystick&) = delete;
    TSdlJoystick& operator=(const TSdlJoystick&) = delete;

    bool Read(TJoystickReading& reading) override;

private:
    void Open();
    void Close();
    bool started_ = false;
    _SDL_Joystick* joystick_ = nullptr;
    _SDL_GameController* controller_ = nullptr;
};
