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
#include <chrono>
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

// Opens a file for reading without ever blocking: a FIFO or a device would
// otherwise hold open() or read() until some other program writes to it.
// Only regular files are accepted; anything else is refused with the reason
// in plain words (empty on success). On success `st` describes the file.
int OpenRegularFile(const std::string& path, struct stat& st, std::string& reason) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int err = errno;
        struct stat link {};
        if (err == ENOENT && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
            reason = "it is a link to a file that does not exist";
        else
            reason = std::strerror(err);
        return -1;
    }
    if (::fstat(fd, &st) != 0) {
        reason = std::strerror(errno);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = S_ISDIR(st.st_mode)    ? "it is a folder, not a file"
                 : S_ISFIFO(st.st_mode) ? "it is a pipe (FIFO), not a regular file"
                                        : "it is a device or socket, not a regular file";
        ::close(fd);
        return -1;
    }
    // A regular file never blocks; drop the flag all the same.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

// Reads up to `limit` bytes; returns false with errno set on a read error.
bool ReadUpTo(int fd, uint8_t* data, std::size_t limit, std::size_t& size) {
    size = 0;
    while (size < limit) {
        const ssize_t n = ::read(fd, data + size, limit - size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        size += static_cast<std::size_t>(n);
    }
    return true;
}

// Reads a whole regular file; throws with the reason in plain words.
std::vector<uint8_t> ReadRomFile(const std::string& path) {
    struct stat st {};
    std::string reason;
    const int fd = OpenRegularFile(path, st, reason);
    if (fd < 0) Reject(path, reason);
    // Read up to one byte past the largest image (plus header) so that an
    // oversized file is recognised without reading all of it; a file that
    // says it is far larger is refused before any read.
    const std::size_t limit = Z80_ROM_SIZE + kHeaderSize + 1;
    if (static_cast<uint64_t>(st.st_size) >= limit) {
        ::close(fd);
        Reject(path, "it is " + std::to_string(st.st_size) +
                         " bytes long, larger than the 1 MB (1048576 bytes) a cartridge can hold");
    }
    // The buffer starts at the size the file has now, plus the byte that
    // shows whether it grew since; only a file that did grow gets the rest of
    // the limit. (Filling a whole megabyte with zeros for every small file
    // cost more than the load itself.)
    std::vector<uint8_t> data(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t size = 0;
    bool read = ReadUpTo(fd, data.data(), data.size(), size);
    if (read && size == data.size() && size < limit) {
        data.resize(limit);
        std::size_t more = 0;
        read = ReadUpTo(fd, data.data() + size, limit - size, more);
        size += more;
    }
    if (!read) {
        const int err = errno;
        ::close(fd);
        Reject(path, std::strerror(err));
    }
    ::close(fd);
    data.resize(size);
    return data;
}

// The temporary files of a save are "<name>.tmp-" and six characters made by
// mkstemp. A crash between their creation and the rename leaves one behind;
// the next save of the same file removes those that are older than a save
// could take, so that another program saving the same file at this very
// moment keeps its own.
constexpr const char kTempInfix[] = ".tmp-";
constexpr std::size_t kTempRandomLength = 6;

void RemoveStaleTempFiles(const std::filesystem::path& folder, const std::string& name) {
    namespace fs = std::filesystem;
    const std::string prefix = name + kTempInfix;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return;
    const auto now = fs::file_time_type::clock::now();
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) return;
        const std::string entry = it->path().filename().string();
        if (entry.size() != prefix.size() + kTempRandomLength || entry.compare(0, prefix.size(), prefix) != 0)
            continue;
        bool ours = true;
        for (std::size_t i = prefix.size(); i < entry.size(); ++i) {
            const char c = entry[i];
            ours = ours && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
        }
        std::error_code entryEc;
        if (!ours || !it->is_regular_file(entryEc) || it->is_symlink(entryEc)) continue;
        const auto written = fs::last_write_time(it->path(), entryEc);
        if (entryEc || now - written < std::chrono::minutes(1)) continue;
        fs::remove(it->path(), entryEc);
    }
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

namespace {
const char kStartsWithout[] = " The game starts without its save; the file is left as it is.";
}  // namespace

bool Z80_LoadBatteryRam(T_Z80_CPU_CORE& cpu, const std::string& path, std::string* error) {
    struct stat st {};
    std::string reason;
    const int fd = OpenRegularFile(path, st, reason);
    if (fd < 0) {
        if (reason == std::strerror(ENOENT)) return true;  // no save yet
        if (error) *error = "Cannot read the battery RAM file " + Quote(path) + ": " + reason + "." + kStartsWithout;
        return false;
    }
    // A shorter file fills only its own length; a longer one gives its first
    // 32768 bytes. What was read stays even if a later read fails.
    std::size_t done = 0;
    const bool read = ReadUpTo(fd, cpu.CartRam, sizeof cpu.CartRam, done);
    const int err = errno;
    ::close(fd);
    if (!read) {
        if (error)
            *error = "Cannot read the battery RAM file " + Quote(path) + ": " + std::strerror(err) + "." + kStartsWithout;
        return false;
    }
    return true;
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

    // An existing save that this program cannot read (its permissions, or it
    // is not a plain file) was not loaded either: replacing it would throw
    // away a save the player still has. It is left alone, and said so.
    {
        struct stat st {};
        std::string reason;
        const int existing = OpenRegularFile(path, st, reason);
        if (existing >= 0)
            ::close(existing);
        else if (reason != std::strerror(ENOENT))
            return fail("the existing file cannot be read (" + reason + "), so it is left as it is");
    }
    RemoveStaleTempFiles(folder, target.filename().string());

    std::string temp = (folder / (target.filename().string() + kTempInfix + "XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        const int err = errno;
        return fail("the folder " + Quote(folder.string()) + " cannot be written (" + std::strerror(err) + ")");
    }
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
