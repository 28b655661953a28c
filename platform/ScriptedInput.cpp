// The scripted input device: parsing and replay.
#include "ScriptedInput.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

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
            return fail("bad frame number `" + std::string(frame) + "`");
        if (words[1] == "press")
            event.Press = true;
        else if (words[1] == "release")
            event.Press = false;
        else
            return fail("expected press or release, not `" + std::string(words[1]) + "`");
        const auto* found = std::find(std::begin(kButtonNames), std::end(kButtonNames), words[2]);
        if (found == std::end(kButtonNames)) return fail("unknown button `" + std::string(words[2]) + "`");
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
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot be read";
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) {
        error = path + ": cannot be read";
        return false;
    }
    return Parse(text.str(), path, error);
}

void TScriptedInput::Advance(uint32_t frame) {
    resetPressed_ = false;
    while (next_ < events_.size() && events_[next_].Frame <= frame) {
        const TScriptEvent& event = events_[next_++];
        held_[static_cast<int>(event.Button)] = event.Press;
        if (event.Press && event.Button == TScriptButton::Reset) resetPressed_ = true;
    }
}
