// Opening files that must be regular files, for reading and for writing,
// without ever waiting on a FIFO or a device, and the plain words that say
// why something else is refused. The game's files, saved states and the
// runner's outputs all open their files here.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>

// Opens a file for reading without ever blocking: a FIFO or a device would
// otherwise hold open() or read() until some other program writes to it.
// Only regular files are accepted; anything else is refused with the reason
// in plain words. Returns the descriptor (the caller closes it), or -1 with
// `reason` set; on success `st` describes the file.
int SMS_OpenRegularFile(const std::string& path, struct stat& st, std::string& reason);
// Why a file of this kind is not one to read or write, in plain words ("it is
// a folder, not a file"); "" for a regular file.
const char* SMS_NotRegularFileReason(mode_t mode);
// Opens a file for writing in place, as the outputs written as they go are
// (pictures, sound, traces): created when missing, emptied when present. Only
// a regular file, or a link to one, is accepted: a FIFO, a device or a folder
// is refused before it is opened (opening a FIFO waits for a reader, and
// opening some devices does something of its own), and the open never waits.
// Returns the descriptor (the caller closes it), or -1 with `reason` set.
int SMS_CreateRegularFile(const std::string& path, std::string& reason);
// Reads up to `limit` bytes; false with errno set on a read error.
bool SMS_ReadUpTo(int fd, uint8_t* data, std::size_t limit, std::size_t& size);
