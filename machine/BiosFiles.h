// BIOS images: the built-in open images, and real BIOS dumps that replace
// them: an 8192-byte file BIOS/American.bin or BIOS/Japanese.bin in the
// executable's folder or in the user's data folder
// ($XDG_DATA_HOME/tiravel/BIOS/, by default ~/.local/share/tiravel/BIOS/).
// Shared by the desktop program and the headless runner.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The folders searched, in order: <executable's folder>/BIOS, then the
// user's data folder. The first dump found for a type wins.
std::vector<std::string> Bios_SearchFolders();

// "Japanese.bin" for type 0, "American.bin" otherwise.
const char* Bios_FileName(uint8_t type);

// Copies the built-in images into Z80_BiosImages, then replaces each one by a
// dump found in `folders`. A file of the wrong size (or one that cannot be
// read) is refused with a message naming it; the built-in image stays.
void Bios_InstallImages(const std::vector<std::string>& folders, std::vector<std::string>& messages);

// Replaces the image of `type` by the dump at `path`. False, with a message
// naming the file (and its size), when it cannot be read or is not 8192 bytes.
bool Bios_LoadDump(const std::string& path, uint8_t type, std::string& message);
