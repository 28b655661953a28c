// Joystick 0 on SDL2: a game controller when SDL knows its mapping (its
// directional pad and left stick are the axes, A/B/X are buttons 1 to 3,
// Start is button 3 too), otherwise a plain joystick (axes 0 and 1, its
// buttons as numbered). Hot-plugging is followed on each read.
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
