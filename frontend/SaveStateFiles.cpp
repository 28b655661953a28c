// Saved-state files. Reading never blocks (a FIFO or a device in place of a
// state is refused at once) and never reads more than a state can be;
// writing goes through a temporary file in the same folder that replaces the
// old state only after a complete, flushed write, so a crash or a full disk
// never leaves half a state under the slot's name.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "SMS.h"
#include "SaveState.h"

namespace {

std::string Quote(const std::string& path) { return "\"" + path + "\""; }

// Temporary files are "<name>.tmp-" and mkstemp's six characters; one left
// by a crash is removed by the next save of the same file once it is older
// than a save could take.
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
        std::error_code entryEc;
        if (!it->is_regular_file(entryEc) || it->is_symlink(entryEc)) continue;
        const auto written = fs::last_write_time(it->path(), entryEc);
        if (entryEc || now - written < std::chrono::minutes(1)) continue;
        fs::remove(it->path(), entryEc);
    }
}

}  // namespace

bool SMS_WriteStateFile(const TSMS& sms, const std::string& path, std::string& error) {
    auto fail = [&](const std::string& reason) {
        error = "Cannot save the state to " + Quote(path) + ": " + reason + ".";
        return false;
    };
    if (path.empty()) return fail("no file name was given");
    if (!sms.Cpu || !sms.Vdp || !sms.Psg || !sms.Interconnect) return fail("the machine has not been started");
    std::vector<uint8_t> state;
    SMS_SaveState(sms, state);

    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return fail("the folder " + Quote(folder.string()) + " cannot be created (" + ec.message() + ")");
    RemoveStaleTempFiles(folder, target.filename().string());

    std::string temp = (folder / (target.filename().string() + kTempInfix + "XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        const int err = errno;
        return fail("the folder " + Quote(folder.string()) + " cannot be written (" + std::strerror(err) + ")");
    }
    std::size_t done = 0;
    int err = 0;
    while (done < state.size()) {
        const ssize_t n = ::write(fd, state.data() + done, state.size() - done);
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
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool SMS_ReadStateFile(TSMS& sms, const std::string& path, std::string& error) {
    auto fail = [&](const std::string& reason) {
        error = "Cannot load the state file " + Quote(path) + ": " + reason + ".";
        return false;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int e = errno;
        struct stat link {};
        if (e == ENOENT && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
            return fail("it is a link to a file that does not exist");
        return fail(std::strerror(e));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        return fail(std::strerror(e));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(S_ISDIR(st.st_mode)    ? "it is a folder, not a file"
                    : S_ISFIFO(st.st_mode) ? "it is a pipe (FIFO), not a regular file"
                                           : "it is a device or socket, not a regular file");
    }
    if (static_cast<uint64_t>(st.st_size) > SMS_MAX_STATE_FILE_SIZE) {
        ::close(fd);
        return fail("it is " + std::to_string(st.st_size) + " bytes long, larger than any state (at most " +
                    std::to_string(SMS_MAX_STATE_FILE_SIZE) + " bytes)");
    }
    // One byte more than the limit, so a file that grows while it is read is
    // still recognised as too large.
    std::vector<uint8_t> data(SMS_MAX_STATE_FILE_SIZE + 1);
    std::size_t size = 0;
    while (size < data.size()) {
        const ssize_t n = ::read(fd, data.data() + size, data.size() - size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int e = errno;
            ::close(fd);
            return fail(std::strerror(e));
        }
        if (n == 0) break;
        size += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (size > SMS_MAX_STATE_FILE_SIZE)
        return fail("it grew while it was read, beyond the " + std::to_string(SMS_MAX_STATE_FILE_SIZE) +
                    " bytes a state can have");
    return SMS_LoadState(sms, data.data(), size, error, path);
}
