// The game's files on disk: the cartridge image, the battery RAM, and the one
// safe way of replacing a file that battery saves and saved states share.
// Every reader opens at once and never waits on a FIFO or a device, accepts
// only regular files, and says what is wrong in plain words.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Opens a file for reading without ever blocking: a FIFO or a device would
// otherwise hold open() or read() until some other program writes to it.
// Only regular files are accepted; anything else is refused with the reason
// in plain words. Returns the descriptor (the caller closes it), or -1 with
// `reason` set; on success `st` describes the file.
int SMS_OpenRegularFile(const std::string& path, struct stat& st, std::string& reason);
// Reads up to `limit` bytes; false with errno set on a read error.
bool SMS_ReadUpTo(int fd, uint8_t* data, std::size_t limit, std::size_t& size);

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
// (left by a crash) are removed. On failure returns false with the reason in
// plain words in `reason`; the old file is untouched.
bool SMS_ReplaceFile(const std::string& path, const uint8_t* data, std::size_t size, std::string& reason);
