// The game's files on disk: the cartridge image, the battery RAM, and the one
// safe way of replacing a file that battery saves and saved states share.
// Every reader opens at once and never waits on a FIFO or a device, accepts
// only regular files, and says what is wrong in plain words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "RegularFiles.h"

// Opens a ROM file as SMS_ReadRomFile does; returns the descriptor (the
// caller closes it) and the file's size; throws Z80_RomError with the reason.
int SMS_OpenRomFile(const std::string& path, uint64_t& size);
// A plain ROM file read whole (at most a cartridge and its copier header, and
// one byte more to see that it is larger). Throws Z80_RomError naming the
// file and the reason.
std::vector<uint8_t> SMS_ReadRomFile(const std::string& path);

// A missing file is no error (no save yet): true, the RAM unchanged. A file
// that exists but cannot be read whole gives false with `error` naming it;
// the RAM is then unchanged. A shorter file fills only its own length; a
// longer one gives its first `ramSize` bytes.
bool SMS_ReadBatteryFile(const std::string& path, uint8_t* ram, std::size_t ramSize, std::string& error);
// Writes the battery RAM through SMS_ReplaceFile. An existing save that
// cannot be read whole is never replaced (it was not loaded either). False
// with `error` naming the file and the reason; the old file is intact then.
bool SMS_WriteBatteryFile(const std::string& path, const uint8_t* ram, std::size_t ramSize, std::string& error);

// Replaces the file at `path` with `size` bytes without ever leaving half a
// file under its name: they go to a temporary file NAME.tmp-XXXXXX beside it,
// flushed and then renamed over it. A path that is a symbolic link is written
// through: the link's target is replaced and the link stays. The folder is
// created when missing, and temporaries of the same name older than a minute
// (left by a crash) are removed. Only a regular file is replaced: a path that
// is (or leads to) a FIFO, a device or a folder is refused before anything is
// written, for the rename would put a plain file in its place. On failure
// returns false with the reason in plain words in `reason`; the old file is
// untouched.
bool SMS_ReplaceFile(const std::string& path, const uint8_t* data, std::size_t size, std::string& reason);
