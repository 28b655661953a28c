// BIOS images: the built-in open images, and real BIOS dumps that replace
// them: an 8192-byte file BIOS/American.bin or BIOS/Japanese.bin in the
// executable's folder or in the user's data folder
// ($XDG_DATA_HOME/tiravel/BIOS/, by default ~/.local/share/tiravel/BIOS/).
// Shared by the desktop program and the headless runner. The Game Gear has
// no built-in image: its BIOS runs only from a 1024-byte dump
// BIOS/GameGear.bin in the same folders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The folders searched, in order: <executable's folder>/BIOS, then the
// user's data folder. The first dump found for a type wins.
std::vector<std::string> Bios_SearchFolders();

// "Japanese.bin" for type 0, "American.bin" otherwise.
const char* Bios_FileName(uint8_t type);

constexpr const char* BIOS_GAME_GEAR_FILE_NAME = "GameGear.bin";

// Copies the built-in images into Z80_BiosImages, then replaces each one by a
// dump found in `folders`. A file of the wrong size (or one that cannot be
// read) is refused with a message naming it; the built-in image stays. The
// Game Gear's dump, when found and of the right size, is installed too;
// otherwise it has none.
void Bios_InstallImages(const std::vector<std::string>& folders, std::vector<std::string>& messages);

// Replaces the image of `type` by the dump at `path`. False, with a message
// naming the file (and its size), when it cannot be read or is not 8192 bytes.
bool Bios_LoadDump(const std::string& path, uint8_t type, std::string& message);

// The Game Gear's BIOS from the dump at `path` (1024 bytes). False, with a
// message naming the file (and its size), when it cannot be read or is of
// another size; the BIOS installed before stays.
bool Bios_LoadGameGearDump(const std::string& path, std::string& message);
// True once a Game Gear BIOS dump is installed.
bool Bios_HasGameGear();
