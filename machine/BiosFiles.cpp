// BIOS images: built-in images and replacement dumps found on disk.
#include "BiosFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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

namespace {

// The Game Gear's BIOS is there only when a dump was installed.
bool gGameGearBios = false;

// Reads the dump at `path`, exactly `size` bytes, into `image`. False with
// the message naming the file (and its size when that is wrong).
bool ReadDump(const std::string& path, uint8_t* image, std::size_t size, std::string& message) {
    auto refuse = [&](const std::string& reason) {
        message = "The BIOS file " + path + " cannot be used: " + reason + ".";
        return false;
    };
    // Opened without blocking: a FIFO or a device in place of the dump must
    // not hold the start of the machine.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return refuse(std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return refuse(std::strerror(err));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return refuse(S_ISDIR(st.st_mode) ? "it is a folder, not a file" : "it is not a regular file");
    }
    if (static_cast<uint64_t>(st.st_size) != size) {
        ::close(fd);
        message = "The BIOS file " + path + " is " + std::to_string(st.st_size) + " bytes, not " +
                  std::to_string(size) + ".";
        return false;
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, image + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : 0;
            ::close(fd);
            return refuse(err != 0 ? std::strerror(err) : "it became shorter while it was read");
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return true;
}

// The first file of this name in `folders`, or "" when none exists. A link
// to a missing dump counts as a file (and is reported), not as none.
std::string FindDump(const std::vector<std::string>& folders, const char* name) {
    for (const std::string& folder : folders) {
        const fs::path candidate = fs::path(folder) / name;
        std::error_code ec;
        if (fs::exists(fs::symlink_status(candidate, ec))) return candidate.string();
    }
    return {};
}

}  // namespace

bool Bios_LoadDump(const std::string& path, uint8_t type, std::string& message) {
    uint8_t image[Z80_BIOS_SIZE];
    if (!ReadDump(path, image, sizeof image, message)) return false;
    std::memcpy(Z80_BiosImages[type == 0 ? 0 : 1], image, sizeof image);
    return true;
}

bool Bios_LoadGameGearDump(const std::string& path, std::string& message) {
    uint8_t image[Z80_GAME_GEAR_BIOS_SIZE];
    if (!ReadDump(path, image, sizeof image, message)) return false;
    std::memcpy(Z80_GameGearBios, image, sizeof image);
    gGameGearBios = true;
    return true;
}

bool Bios_HasGameGear() { return gGameGearBios; }

void Bios_InstallImages(const std::vector<std::string>& folders, std::vector<std::string>& messages) {
    std::memcpy(Z80_BiosImages[0], tiravel_bios_japanese, Z80_BIOS_SIZE);
    std::memcpy(Z80_BiosImages[1], tiravel_bios_american, Z80_BIOS_SIZE);
    // The first file found decides, taken or refused.
    for (uint8_t type = 0; type < 2; ++type) {
        const std::string path = FindDump(folders, Bios_FileName(type));
        std::string message;
        if (!path.empty() && !Bios_LoadDump(path, type, message))
            messages.push_back(message + " The built-in image is used instead.");
    }
    // The Game Gear has no built-in image: without a dump it runs none, as
    // the first handhelds did.
    std::memset(Z80_GameGearBios, 0, sizeof Z80_GameGearBios);
    gGameGearBios = false;
    const std::string path = FindDump(folders, BIOS_GAME_GEAR_FILE_NAME);
    std::string message;
    if (!path.empty() && !Bios_LoadGameGearDump(path, message))
        messages.push_back(message + " The Game Gear starts its cartridge without a BIOS.");
}
