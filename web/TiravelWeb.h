// The console library's C interface for the web player: one console per
// WebAssembly module instance, driven a frame at a time by the page's script.
// Everything is plain integers and pointers into the module's memory, so the
// page calls it through the module's exports (Module._tw_run_frame(), ...)
// without a binding layer. Files go in through the scratch buffer: the page
// copies their bytes to tw_buffer(size) and then names the size.
//
// Errors: a function that can fail returns a negative number and leaves the
// message in tw_error(), in the desktop program's words ("Cannot load the
// ROM file ...", "Cannot load the state: ...").
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---------------------------------------------------------------- set-up

// Builds the console (the default model) with the built-in open BIOS images.
// Called once before anything else; 0.
int tw_init(void);
// The last failure's message ("" when there is none).
const char* tw_error(void);
// A buffer of at least `size` bytes in the module's memory, kept until the
// next call; null when the memory cannot grow that far.
uint8_t* tw_buffer(int32_t size);

// The console's choices, in the order menus list them: `kind` 0 the model,
// 1 the region, 2 the video standard. Ids are stable ("tiravel", "sms1",
// "sms2", "gamegear"; "export", "japan"; "ntsc", "pal"), names are shown.
int32_t tw_option_count(int32_t kind);
const char* tw_option_id(int32_t kind, int32_t index);
const char* tw_option_name(int32_t kind, int32_t index);
// The console as it runs now: indexes into those tables.
int32_t tw_model(void);
int32_t tw_region(void);
int32_t tw_video(void);
// New settings: the console powers on again (the BIOS first), the cartridge
// and its battery RAM stay.
void tw_configure(int32_t model, int32_t region, int32_t video);

// ---------------------------------------------------------------- the cartridge

// The cartridge image of `size` bytes in tw_buffer, named `name` (the file
// name that messages and states give: "Game.sms"). The model is `model`,
// unless the image asks for another (a ".gg" name or a Game Gear header);
// the console powers on with the BIOS first. Returns the model index it runs
// as, or -1 with the message (nothing changed then).
int32_t tw_load_cartridge(int32_t size, const char* name, int32_t model);
// The loaded cartridge's name ("" without one).
const char* tw_cartridge_name(void);

// ---------------------------------------------------------------- input

// Both pads for the frames to come: bits 0x01 up, 0x02 down, 0x04 left,
// 0x08 right, 0x10 button 1, 0x20 button 2.
void tw_set_pads(int32_t player1, int32_t player2);
// Pause (the Game Gear's Start): called before every frame while held.
void tw_press_pause(void);
// The reset button, pressed once.
void tw_press_reset(void);
// The console's reset: the BIOS runs again, the cartridge stays.
void tw_console_reset(void);
// An input script in the runner's format (what --input reads). While one is
// set, each tw_run_frame takes both pads, Pause and the reset button from it
// for its frame number counted from 0 at the call, as the runner does, and
// tw_set_pads is ignored. -1 with the message on a syntax error; an empty
// text ends the script.
int32_t tw_set_script(const char* text);

// ---------------------------------------------------------------- running

// One frame, and its sound.
void tw_run_frame(void);
// The picture of the last frame: width x height RGBA bytes (the layout of a
// canvas's ImageData, alpha 255), top row first; 256 x 192 (224, 240), or
// 160 x 144 on the Game Gear.
const uint8_t* tw_picture(void);
int32_t tw_picture_width(void);
int32_t tw_picture_height(void);
// The frames a second the console runs at (60, 59.9227 or 49.7015).
double tw_frame_rate(void);
// The last frame's sound: tw_sound_frames() stereo pairs of 32-bit floats
// (left, right, ...) between -1 and 1 at tw_sample_rate() (44100 for the
// default model, 48000 for the others).
const float* tw_sound(void);
int32_t tw_sound_frames(void);
int32_t tw_sample_rate(void);

// ---------------------------------------------------------------- battery RAM

// The cartridge's battery RAM (32 KB) and whether the game used it since it
// was loaded (only then is it worth keeping).
const uint8_t* tw_battery_ram(void);
int32_t tw_battery_size(void);
int32_t tw_battery_used(void);
// Replaces it with `size` bytes from tw_buffer (a shorter copy fills the start).
void tw_set_battery_ram(int32_t size);

// ---------------------------------------------------------------- states

// The whole console: returns the size, the bytes at tw_state_data().
int32_t tw_save_state(void);
const uint8_t* tw_state_data(void);
// A state of `size` bytes from tw_buffer: 0, or -1 with the reason (nothing
// changed then).
int32_t tw_load_state(int32_t size);

// ---------------------------------------------------------------- rewind

// Called before every frame: `back` 0 keeps the state the console is in, 1
// goes one kept frame back (the last 10 seconds are kept). Returns 1 while
// winding back (the sound is to be muted), 0 going forward, -1 with the
// message when a kept state could not be loaded (the history is forgotten).
int32_t tw_rewind(int32_t back);
// Forgets the history (a new game, a loaded state).
void tw_rewind_clear(void);

#ifdef __cplusplus
}
#endif
