// The game's files: cartridge images and battery RAM, and the safe
// replacement of a file that battery saves and saved states share.
//
// A ROM file is read whole and checked before anything in the console
// changes, so a rejected file leaves the running game intact. Battery RAM is
// saved through a temporary file that replaces the old save only after a
// complete, flushed write: a crash or a full disk never costs the player the
// previous save. A save that is a symbolic link is written through it: its
// target is replaced and the link stays.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "GameFiles.h"

#include "Z80EM.h"

namespace {

constexpr std::size_t kHeaderSize = 512;

std::string Quote(const std::string& path) { return "\"" + path + "\""; }

[[noreturn]] void Reject(const std::string& path, const std::string& reason) {
    throw Z80_RomError("Cannot load the ROM file " + Quote(path) + ": " + reason + ".");
}

}  // namespace

std::vector<uint8_t> SMS_ReadRomFile(const std::string& path) {
    uint64_t fileSize = 0;
    const int fd = SMS_OpenRomFile(path, fileSize);
    // Read up to one byte past the largest image (plus header) so that an
    // oversized file is recognised without reading all of it; a file that
    // says it is far larger is refused before any read.
    const std::size_t limit = Z80_ROM_SIZE + kHeaderSize + 1;
    if (fileSize >= limit) {
        ::close(fd);
        Reject(path, "it is " + std::to_string(fileSize) +
                         " bytes long, larger than the 1 MB (1048576 bytes) a cartridge can hold");
    }
    // The buffer starts at the size the file has now, plus the byte that
    // shows whether it grew since; only a file that did grow gets the rest of
    // the limit. (Filling a whole megabyte with zeros for every small file
    // cost more than the load itself.)
    std::vector<uint8_t> data(static_cast<std::size_t>(fileSize) + 1);
    std::size_t size = 0;
    bool read = SMS_ReadUpTo(fd, data.data(), data.size(), size);
    if (read && size == data.size() && size < limit) {
        data.resize(limit);
        std::size_t more = 0;
        read = SMS_ReadUpTo(fd, data.data() + size, limit - size, more);
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

namespace {

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

int SMS_OpenRomFile(const std::string& path, uint64_t& size) {
    struct stat st {};
    std::string reason;
    const int fd = SMS_OpenRegularFile(path, st, reason);
    if (fd < 0) Reject(path, reason);
    size = static_cast<uint64_t>(st.st_size);
    return fd;
}

namespace {
const char kStartsWithout[] = " The game starts without its save; the file is left as it is.";

enum class TBatteryRead { Missing, Read, Failed };

// Reads a battery file whole, as far as it goes up to `size` bytes, into
// `data`. A read that fails part-way is a failure: what came before it is
// no save the player made, only the start of one. Missing means no such
// file (no save yet); Failed gives the reason in plain words.
TBatteryRead ReadBatteryFile(const std::string& path, uint8_t* data, std::size_t size, std::size_t& done,
                             std::string& reason) {
    struct stat st {};
    done = 0;
    const int fd = SMS_OpenRegularFile(path, st, reason);
    if (fd < 0) return reason == std::strerror(ENOENT) ? TBatteryRead::Missing : TBatteryRead::Failed;
    const bool read = SMS_ReadUpTo(fd, data, size, done);
    const int err = errno;
    ::close(fd);
    if (read) return TBatteryRead::Read;
    reason = std::strerror(err);
    return TBatteryRead::Failed;
}

// The file a save must replace: the path itself, or, where the path is a
// symbolic link (or a chain of them, relative or absolute), the file at the
// end of it, so that the player's own file is updated and the link stays a
// link. A link that leads nowhere was refused before this is asked.
std::filesystem::path SaveTarget(const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
    const fs::path resolved = fs::canonical(path, ec);
    return ec ? path : resolved;
}

}  // namespace

bool SMS_ReadBatteryFile(const std::string& path, uint8_t* ram, std::size_t ramSize, std::string& error) {
    // Read into a buffer first: cartridge RAM changes only after a complete
    // read, so a file that fails part-way leaves it as it was (blank, for a
    // game just loaded), just as the message says.
    std::vector<uint8_t> file(ramSize);
    std::size_t done = 0;
    std::string reason;
    switch (ReadBatteryFile(path, file.data(), file.size(), done, reason)) {
        case TBatteryRead::Missing:
            return true;  // no save yet
        case TBatteryRead::Failed:
            error = "Cannot read the battery RAM file " + Quote(path) + ": " + reason + "." + kStartsWithout;
            return false;
        case TBatteryRead::Read:
            break;
    }
    // A shorter file fills only its own length; a longer one gives its first
    // 32768 bytes.
    std::memcpy(ram, file.data(), done);
    return true;
}

bool SMS_ReplaceFile(const std::string& path, const uint8_t* data, std::size_t size, std::string& reason) {
    namespace fs = std::filesystem;
    // The rename would put a plain file where a FIFO, a device or a folder
    // was (as root, in place of /dev/null): only a regular file, or a link
    // to one, is replaced. A path where nothing is yet is created.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        reason = SMS_NotRegularFileReason(st.st_mode);
        return false;
    }
    const fs::path target(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        reason = "the folder " + Quote(folder.string()) + " cannot be created (" + ec.message() + ")";
        return false;
    }
    // The temporary file goes beside the file it replaces: beside a link's
    // target, not beside the link, so that the rename stays within one file
    // system and replaces the target.
    const fs::path file = SaveTarget(target);
    const fs::path fileFolder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    RemoveStaleTempFiles(fileFolder, file.filename().string());

    std::string temp = (fileFolder / (file.filename().string() + kTempInfix + "XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        const int err = errno;
        reason = "the folder " + Quote(fileFolder.string()) + " cannot be written (" + std::strerror(err) + ")";
        return false;
    }
    std::size_t done = 0;
    int err = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
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
    if (err == 0 && ::rename(temp.c_str(), file.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        reason = std::strerror(err);
        return false;
    }
    // Make the rename itself durable; a failure here loses nothing already saved.
    const int dir = ::open(fileFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool SMS_WriteBatteryFile(const std::string& path, const uint8_t* ram, std::size_t ramSize, std::string& error) {
    auto fail = [&](const std::string& reason) {
        error = "Cannot save the battery RAM to " + Quote(path) + ": " + reason + ".";
        return false;
    };
    if (path.empty()) return fail("no file name was given");

    // An existing save that this program cannot read whole (its permissions,
    // it is not a plain file, a read fails part-way) was not loaded either:
    // replacing it would throw away a save the player still has. It is left
    // alone, and said so. It is read as the load reads it, to its first
    // 32768 bytes.
    {
        std::vector<uint8_t> existing(ramSize);
        std::size_t done = 0;
        std::string reason;
        if (ReadBatteryFile(path, existing.data(), existing.size(), done, reason) == TBatteryRead::Failed)
            return fail("the existing file cannot be read (" + reason + "), so it is left as it is");
    }
    std::string reason;
    return SMS_ReplaceFile(path, ram, ramSize, reason) || fail(reason);
}
