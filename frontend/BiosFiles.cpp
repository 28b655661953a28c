// BIOS images: built-in images and replacement dumps found on disk.
#include "BiosFiles.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "Z80EM.h"

// The open images assembled from bios/ (see bios/BiosImages.h).
extern const unsigned char tiravel_bios_american[8192];
extern const unsigned char tiravel_bios_japanese[8192];

namespace fs = std::filesystem;

std::vector<std::string> Bios_SearchFolders() {
    std::vector<std::string> folders;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) folders.push_back((exe.parent_path() / "BIOS").string());
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        folders.push_back((fs::path(dataHome) / "tiravel" / "BIOS").string());
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        folders.push_back((fs::path(home) / ".local" / "share" / "tiravel" / "BIOS").string());
    }
    return folders;
}

const char* Bios_FileName(uint8_t type) { return type == 0 ? "Japanese.bin" : "American.bin"; }

bool Bios_LoadDump(const std::string& path, uint8_t type, std::string& message) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec) {
        message = "The BIOS file " + path + " cannot be read: " + ec.message() + ".";
        return false;
    }
    if (size != Z80_BIOS_SIZE) {
        message = "The BIOS file " + path + " is " + std::to_string(size) + " bytes, not " +
                  std::to_string(Z80_BIOS_SIZE) + ".";
        return false;
    }
    uint8_t image[Z80_BIOS_SIZE];
    std::ifstream file(path, std::ios::binary);
    if (!file.read(reinterpret_cast<char*>(image), sizeof image)) {
        message = "The BIOS file " + path + " cannot be read.";
        return false;
    }
    std::memcpy(Z80_BiosImages[type == 0 ? 0 : 1], image, sizeof image);
    return true;
}

void Bios_InstallImages(const std::vector<std::string>& folders, std::vector<std::string>& messages) {
    std::memcpy(Z80_BiosImages[0], tiravel_bios_japanese, Z80_BIOS_SIZE);
    std::memcpy(Z80_BiosImages[1], tiravel_bios_american, Z80_BIOS_SIZE);
    for (uint8_t type = 0; type < 2; ++type) {
        for (const std::string& folder : folders) {
            const fs::path candidate = fs::path(folder) / Bios_FileName(type);
            std::error_code ec;
            if (!fs::exists(candidate, ec)) continue;
            std::string message;
            if (!Bios_LoadDump(candidate.string(), type, message))
                messages.push_back(message + " The built-in image is used instead.");
            break;  // the first file found decides, taken or refused
        }
    }
}
