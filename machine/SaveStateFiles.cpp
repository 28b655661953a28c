// Saved-state files. Reading never blocks (a FIFO or a device in place of a
// state is refused at once) and never reads more than a state can be;
// writing goes through the CPU core's file replacement, as the battery save
// does, so a crash or a full disk never leaves half a state under the slot's
// name.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "SMS.h"
#include "SaveState.h"

namespace {

std::string Quote(const std::string& path) { return "\"" + path + "\""; }

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

    std::string reason;
    return Z80_ReplaceFile(path, state.data(), state.size(), reason) || fail(reason);
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
