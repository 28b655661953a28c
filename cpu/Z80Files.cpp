// Z80EM: cartridge image and battery-RAM files.
//
// A ROM file is read whole and checked before anything in the CPU object
// changes, so a rejected file leaves the running game intact. Battery RAM is
// saved through a temporary file that replaces the old save only after a
// complete, flushed write: a crash or a full disk never costs the player the
// previous save.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Z80EM.h"

namespace {

constexpr std::size_t kHeaderSize = 512;

std::string Quote(const std::string& path) { return "\"" + path + "\""; }

[[noreturn]] void Reject(const std::string& path, const std::string& reason) {
    throw Z80_RomError("Cannot load the ROM file " + Quote(path) + ": " + reason + ".");
}

// Reads a whole regular file; throws with the reason in plain words.
std::vector<uint8_t> ReadRomFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Reject(path, std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        Reject(path, std::strerror(err));
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        Reject(path, "it is a folder, not a file");
    }
    // Read up to one byte past the largest image (plus header) so that an
    // oversized file is recognised without reading all of it.
    const std::size_t limit = Z80_ROM_SIZE + kHeaderSize + 1;
    std::vector<uint8_t> data(limit);
    std::size_t size = 0;
    while (size < limit) {
        const ssize_t n = ::read(fd, data.data() + size, limit - size);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            Reject(path, std::strerror(err));
        }
        if (n == 0) break;
        size += static_cast<std::size_t>(n);
    }
    ::close(fd);
    data.resize(size);
    return data;
}

}  // namespace

void Z80_LoadRom(T_Z80_CPU_CORE& cpu, const std::string& path) {
    const std::vector<uint8_t> file = ReadRomFile(path);
    std::size_t size = file.size();
    if (size == 0) Reject(path, "the file is empty");

    // Images are whole kilobytes; a size that is not comes from a copier
    // that put a 512-byte header in front of the image.
    std::size_t start = 0;
    if (size % 1024 != 0) {
        if (size < kHeaderSize)
            Reject(path, "it is only " + std::to_string(size) +
                             " bytes long, too short to be a cartridge image");
        start = kHeaderSize;
        size -= kHeaderSize;
        if (size == 0) Reject(path, "it holds a 512-byte header and no image");
    }
    if (size > Z80_ROM_SIZE)
        Reject(path, "the image is larger than the 1 MB (1048576 bytes) a cartridge can hold");

    std::memcpy(cpu.Rom, file.data() + start, size);
    // Nothing of an earlier, larger game may stay visible in a partial last
    // bank, and a new game starts with blank cartridge RAM unless its own
    // battery file is loaded afterwards.
    std::memset(cpu.Rom + size, 0, Z80_ROM_SIZE - size);
    std::memset(cpu.CartRam, 0, sizeof cpu.CartRam);
    const std::size_t banks = size / Z80_BANK_SIZE;
    cpu.RomBankCount = static_cast<uint8_t>(banks == 0 ? 1 : banks);
    cpu.CartRamDirty = 0;
}

void Z80_LoadBatteryRam(T_Z80_CPU_CORE& cpu, const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;  // no save yet
    std::size_t done = 0;
    while (done < sizeof cpu.CartRam) {
        const ssize_t n = ::read(fd, cpu.CartRam + done, sizeof cpu.CartRam - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

bool Z80_SaveBatteryRam(T_Z80_CPU_CORE& cpu, const std::string& path, std::string* error) {
    if (cpu.CartRamDirty != 1) return true;
    auto fail = [&](const std::string& reason) {
        if (error) *error = "Cannot save the battery RAM to " + Quote(path) + ": " + reason + ".";
        return false;
    };
    if (path.empty()) return fail("no file name was given");

    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return fail("the folder " + Quote(folder.string()) + " cannot be created (" + ec.message() + ")");

    std::string temp = (folder / (target.filename().string() + ".tmp-XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return fail(std::strerror(errno));
    std::size_t done = 0;
    int err = 0;
    while (done < sizeof cpu.CartRam) {
        const ssize_t n = ::write(fd, cpu.CartRam + done, sizeof cpu.CartRam - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            err = n < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (err == 0 && ::fchmod(fd, 0644) != 0) err = errno;
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && ::rename(temp.c_str(), path.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        return fail(std::strerror(err));
    }
    // Make the rename itself durable; a failure here loses nothing already saved.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}
