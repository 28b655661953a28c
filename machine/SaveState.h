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
