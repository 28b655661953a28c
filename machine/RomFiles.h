// Cartridge files as players keep them: a plain image (.sms, .gg, .bin, any name)
// or an archive (.zip, .7z, .gz) that holds one image. The core checks and
// loads bytes; this layer finds them, so the window, the headless runner and
// any other front end accept the same files with the same messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class TConsoleModel : uint8_t;

// True when the file's name ends in ".zip", ".7z" or ".gz" (any letter case):
// such a file is opened as an archive, any other as the image itself.
bool SMS_IsArchive(const std::string& path);

// The name the battery and state files of a cartridge take ("Game" gives
// RAMs/Game.RAM and States/Game.st1). For a plain file it is the file's name
// without its last four characters, its extension as a rule ("Game.sms" ->
// "Game"), or without ".gg" for a Game Gear image ("Game.gg" -> "Game"); a
// name no longer than that stays whole. For an archive the archive's
// extension goes, and then a ".sms", ".gg" or ".bin" left before it
// ("Game.zip", "Game.7z", "Game.gz", "Game.sms.gz" and "Game.gg.gz" all give
// "Game"), so a game keeps its saves when it is zipped.
std::string SMS_RomName(const std::string& path);

// The one cartridge image inside an archive, and its name there as messages
// show it (at most 40 characters, control characters as '?').
struct TArchiveImage {
    std::vector<uint8_t> Data;
    std::string Entry;
};

// Reads the archive's one image: a regular member whose name ends in ".sms",
// ".gg" or ".bin" (any case); a .gz file is the image alone, compressed, whatever
// its name. Reading stops at the largest image a file may hold (1 MB and a
// 512-byte header) and one byte more, so no member is ever unpacked further.
// Links, pipes and devices are never read; the other members are passed over
// within 64 MB, counted by their stated sizes or as they are unpacked.
// Throws Z80_RomError naming the file and the reason: the file's own faults
// as for a plain ROM file, a damaged archive, no image (the other members
// named with their kind), more than one (all named), an image too large or
// encrypted, other members past the 64 MB, a link in a 7z archive.
TArchiveImage SMS_ReadArchiveImage(const std::string& path);

// The model a cartridge file starts as (Console_ModelForCartridge on its
// image, named as the archive names it): a front end asks before the start,
// with the player's `chosen` model. A file that cannot be read gives `chosen`;
// the start then reports why.
TConsoleModel SMS_CartridgeModel(const std::string& path, TConsoleModel chosen);
