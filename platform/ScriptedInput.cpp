// The scripted input device: parsing and replay.
#include "ScriptedInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <charconv>

namespace {

constexpr std::string_view kButtonNames[] = {
    "p1.up", "p1.down", "p1.left", "p1.right", "p1.b1", "p1.b2",
    "p2.up", "p2.down", "p2.left", "p2.right", "p2.b1", "p2.b2",
    "pause", "reset",
};
static_assert(std::size(kButtonNames) == static_cast<std::size_t>(TScriptButton::Count));

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        std::size_t start = i;
        while (i < line.size() && !IsBlank(line[i])) ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

// A word of the script as shown in a message: at most 40 characters, anything
// but printable ASCII as '?', so that a binary file gives a readable line.
std::string Shown(std::string_view word) {
    constexpr std::size_t kMax = 40;
    std::string shown;
    for (std::size_t i = 0; i < word.size() && i < kMax; ++i) {
        const unsigned char c = static_cast<unsigned char>(word[i]);
        shown += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    if (word.size() > kMax) shown += "...";
    return shown;
}

// Scripts are text of a few events per frame; anything larger than this is
// not one, and is refused before it is read into memory.
constexpr off_t kMaxScriptSize = 64 * 1024 * 1024;

}  // namespace

bool TScriptedInput::Parse(std::string_view text, const std::string& name, std::string& error) {
    std::vector<TScriptEvent> events;
    uint32_t lineNumber = 0;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
        const std::vector<std::string_view> words = SplitWords(line);
        if (words.empty()) {
            if (end == text.size()) break;
            continue;
        }
        auto fail = [&](const std::string& message) {
            error = name + ":" + std::to_string(lineNumber) + ": " + message;
            return false;
        };
        if (words.size() != 3) return fail("expected `<frame> <press|release> <button>`");
        TScriptEvent event{};
        const std::string_view frame = words[0];
        const auto [ptr, ec] = std::from_chars(frame.data(), frame.data() + frame.size(), event.Frame);
        if (ec != std::errc() || ptr != frame.data() + frame.size())
            return fail("bad frame number `" + Shown(frame) + "`");
        if (words[1] == "press")
            event.Press = true;
        else if (words[1] == "release")
            event.Press = false;
        else
            return fail("expected press or release, not `" + Shown(words[1]) + "`");
        const auto* found = std::find(std::begin(kButtonNames), std::end(kButtonNames), words[2]);
        if (found == std::end(kButtonNames)) return fail("unknown button `" + Shown(words[2]) + "`");
        event.Button = static_cast<TScriptButton>(found - std::begin(kButtonNames));
        events.push_back(event);
        if (end == text.size()) break;
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const TScriptEvent& a, const TScriptEvent& b) { return a.Frame < b.Frame; });
    events_ = std::move(events);
    next_ = 0;
    std::fill(std::begin(held_), std::end(held_), false);
    resetPressed_ = false;
    return true;
}

bool TScriptedInput::LoadFile(const std::string& path, std::string& error) {
    auto fail = [&](const std::string& reason) {
        error = path + ": cannot be read: " + reason;
        return false;
    };
    // Opened without blocking, and only a regular file is read: a FIFO or a
    // terminal would otherwise hold the run before its first frame.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return fail(std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxScriptSize) {
        const int err = errno;
        const bool regular = S_ISREG(st.st_mode);
        ::close(fd);
        if (st.st_mode == 0) return fail(std::strerror(err));
        if (S_ISDIR(st.st_mode)) return fail("it is a folder, not a file");
        if (!regular) return fail("it is not a regular file");
        return fail("it is larger than 64 MB, too large to be an input script");
    }
    std::string text(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return fail(std::strerror(err));
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    text.resize(done);
    return Parse(text, path, error);
}

void TScriptedInput::Advance(uint32_t frame) {
    resetPressed_ = false;
    while (next_ < events_.size() && events_[next_].Frame <= frame) {
        const TScriptEvent& event = events_[next_++];
        held_[static_cast<int>(event.Button)] = event.Press;
        if (event.Press && event.Button == TScriptButton::Reset) resetPressed_ = true;
    }
}
