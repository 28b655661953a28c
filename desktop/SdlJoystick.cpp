// Joystick 0 on SDL2, polled (no SDL event loop of our own: the window's
// events come from Qt), with hot-plugging followed on each read.
#include "SdlJoystick.h"

#include <SDL.h>

#include <algorithm>

TSdlJoystick::TSdlJoystick() {
    // Keep reading while the window is in front even though SDL has no
    // window of its own to know that.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // The window's toolkit handles Ctrl+C and termination; SDL must not turn
    // them into events nobody reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    started_ = SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) == 0;
}

TSdlJoystick::~TSdlJoystick() {
    Close();
    if (started_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
}

void TSdlJoystick::Open() {
    if (SDL_NumJoysticks() < 1) return;
    if (SDL_IsGameController(0)) {
        controller_ = SDL_GameControllerOpen(0);
        if (controller_ != nullptr) return;
    }
    joystick_ = SDL_JoystickOpen(0);
}

void TSdlJoystick::Close() {
    if (controller_ != nullptr) SDL_GameControllerClose(controller_);
    if (joystick_ != nullptr) SDL_JoystickClose(joystick_);
    controller_ = nullptr;
    joystick_ = nullptr;
}

bool TSdlJoystick::Read(TJoystickReading& reading) {
    if (!started_) return false;
    // Hot-plug events and fresh device states arrive through the event queue.
    SDL_PumpEvents();
    // Nothing reads SDL's queue: empty it so it cannot fill up.
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    if (controller_ != nullptr && !SDL_GameControllerGetAttached(controller_)) Close();
    if (joystick_ != nullptr && !SDL_JoystickGetAttached(joystick_)) Close();
    if (controller_ == nullptr && joystick_ == nullptr) Open();

    reading = TJoystickReading{};
    if (controller_ != nullptr) {
        // The left stick is the axes; every button, the directional pad
        // included, is reported by its name and goes where it is bound.
        reading.Controller = true;
        reading.X = SDL_GameControllerGetAxis(controller_, SDL_CONTROLLER_AXIS_LEFTX);
        reading.Y = SDL_GameControllerGetAxis(controller_, SDL_CONTROLLER_AXIS_LEFTY);
        const int buttons = std::min<int>(SDL_CONTROLLER_BUTTON_MAX, CONTROLLER_BUTTON_COUNT);
        for (int b = 0; b < buttons; ++b)
            if (SDL_GameControllerGetButton(controller_, static_cast<SDL_GameControllerButton>(b)))
                reading.ControllerButtons |= 1u << b;
        return true;
    }
    if (joystick_ != nullptr) {
        reading.X = SDL_JoystickGetAxis(joystick_, 0);
        reading.Y = SDL_JoystickGetAxis(joystick_, 1);
        const int buttons = SDL_JoystickNumButtons(joystick_);
        for (int b = 0; b < buttons && b < INPUT_JOYSTICK_BUTTONS; ++b)
            if (SDL_JoystickGetButton(joystick_, b)) reading.Buttons |= 1u << b;
        // A hat (the pad of many plain joysticks) counts as the axes.
        if (SDL_JoystickNumHats(joystick_) > 0) {
            const Uint8 hat = SDL_JoystickGetHat(joystick_, 0);
            if (hat & SDL_HAT_LEFT) reading.X = -32768;
            if (hat & SDL_HAT_RIGHT) reading.X = 32767;
            if (hat & SDL_HAT_UP) reading.Y = -32768;
            if (hat & SDL_HAT_DOWN) reading.Y = 32767;
        }
        return true;
    }
    return false;
}
