// Saved states of the whole machine: the four cores' parts and the machine's
// own per-frame state, framed by a header that names the cartridge and the
// BIOS type. The layout is described in docs/state-format.md.
//
// All procedures are called between frames, with the machine thread parked
// (stopped, or inside the hand-over of PresentFrame): they read and write the
// cores directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TSMS;

// The format version this program writes; it reads this one and older.
constexpr uint16_t SMS_STATE_VERSION = 1;
// A file larger than this is refused before it is read.
constexpr std::size_t SMS_MAX_STATE_FILE_SIZE = 4 * 1024 * 1024;

// Serialises the whole machine into `out` (cleared first; its capacity is reused, so a caller that
// keeps the vector allocates nothing after the first call).
void SMS_SaveState(const TSMS& sms, std::vector<uint8_t>& out);
// Validates everything first; on any failure returns false with `error` set to the reason and leaves
// the machine exactly as it was. `name` is the file name used in messages (may be empty for memory).
// On success the state's picture is in FrameStream, ready to be shown.
bool SMS_LoadState(TSMS& sms, const uint8_t* data, size_t size, std::string& error, const std::string& name = {});
// Files: writing goes through a temporary file and a rename, as the battery save does; reading refuses
// FIFOs, folders, over-large files (e.g. 64 MB) with a message naming the file and the reason.
bool SMS_WriteStateFile(const TSMS& sms, const std::string& path, std::string& error);
bool SMS_ReadStateFile(TSMS& sms, const std::string& path, std::string& error);
