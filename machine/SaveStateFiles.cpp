// Saved-state files. Reading never blocks (a FIFO or a device in place of a
// state is refused at once) and never reads more than a state can be;
// writing goes through the safe file replacement, as the battery save does,
// so a crash or a full disk never leaves half a state under the slot's name.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "Console.h"
#include "GameFiles.h"

namespace {

std::string Quote(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

bool TConsole::SaveStateFile(const std::string& path, std::string& error) const {
    auto fail = [&](const std::string& reason) {
        error = "Cannot save the state to " + Quote(path) + ": " + reason + ".";
        return false;
    };
    if (path.empty()) return fail("no file name was given");
    std::vector<uint8_t> state;
    SaveState(state);
    std::string reason;
    return SMS_ReplaceFile(path, state.data(), state.size(), reason) || fail(reason);
}

bool TConsole::LoadStateFile(const std::string& path, std::string& error) {
    auto fail = [&](const std::string& reason) {
        error = "Cannot load the state file " + Quote(path) + ": " + reason + ".";
        return false;
    };
    struct stat st {};
    std::string reason;
    const int fd = SMS_OpenRegularFile(path, st, reason);
    if (fd < 0) return fail(reason);
    if (static_cast<uint64_t>(st.st_size) > CONSOLE_MAX_STATE_SIZE) {
        ::close(fd);
        return fail("it is " + std::to_string(st.st_size) + " bytes long, larger than any state (at most " +
                    std::to_string(CONSOLE_MAX_STATE_SIZE) + " bytes)");
    }
    // One byte more than the limit, so a file that grows while it is read is
    // still recognised as too large.
    std::vector<uint8_t> data(CONSOLE_MAX_STATE_SIZE + 1);
    std::size_t size = 0;
    const bool read = SMS_ReadUpTo(fd, data.data(), data.size(), size);
    const int err = errno;
    ::close(fd);
    if (!read) return fail(std::strerror(err));
    if (size > CONSOLE_MAX_STATE_SIZE)
        return fail("it grew while it was read, beyond the " + std::to_string(CONSOLE_MAX_STATE_SIZE) +
                    " bytes a state can have");
    return LoadState(data.data(), size, error, path);
}
