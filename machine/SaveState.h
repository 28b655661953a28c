// Saved states of the console: the chips' parts and the frame loop's own
// state, framed by a header that names the cartridge and the BIOS type. The
// layout is described in docs/state-format.md; TConsole::SaveState and
// TConsole::LoadState (Console.h) write and read it.
//
// The format grows: each section carries its own version. A section written
// by an older program loads with the fields it lacks at their start values;
// a state, or a section, from a newer program is refused and says so.
#pragma once

#include <cstddef>
#include <cstdint>

// The newest format version this program writes; it reads this one and
// older. Version 1 had no section versions (every section was at its version
// 1). Version 3 adds the hardware models' sections after the I/O bus's; a
// state of the default model has none, so it is written as version 2, which
// older programs read too.
constexpr uint16_t SMS_STATE_VERSION = 3;
constexpr uint16_t SMS_STATE_VERSION_DEFAULT_MODEL = 2;

// Where a saved state holds the frame image's pixels (the VDP section's last
// CONSOLE_PICTURE_PIXELS bytes): true with the offset and size found from its
// header and section table.
bool SMS_FindStatePicture(const uint8_t* state, std::size_t size, std::size_t& offset, std::size_t& pictureSize);

// The picture a saved state holds, made into a frame image like the
// console's own (TConsole::FrameImage: the bitmap file, bottom row first):
// the VDP section's 192 lines and, in a hardware model's state whose picture
// is 224 or 240 lines high, the lines its VDP model section holds above them.
// For a front end that shows what a state file holds without loading it.
// `image` takes CONSOLE_MAX_FRAME_IMAGE_SIZE bytes; `imageSize` is set to the
// image's size. False for anything that is not a state of a version this
// program reads whose sections fill it exactly and whose picture is sound.
bool SMS_StateFrameImage(const uint8_t* state, std::size_t size, uint8_t* image, std::size_t& imageSize);
