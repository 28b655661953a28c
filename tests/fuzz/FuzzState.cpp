// Any bytes offered as a saved state: refused with a reason, or loaded; a
// loaded state must show the picture its bytes alone give, save back to the
// same sections (nothing read but not kept, nothing kept but not read) and
// then run ten frames with their sound.
//
// The console runs the BIOS alone, so its cartridge identity is the fixed one
// of no cartridge and the seed states (made by the headless runner without a
// ROM) reach the sections. It is set up once: every load replaces all of
// the state it then runs from.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Console.h"
#include "SaveState.h"

namespace {

constexpr int kFrames = 10;
// The cartridge-RAM-used flag, within the CPU section: a load keeps it set
// once the console has set it, so it is the one byte a save after a load may
// differ in.
constexpr std::size_t kCpuUsedFlag = 38;

struct TFuzzConsole {
    TConsole console;
    std::vector<uint8_t> saved;
    std::string error;

    TFuzzConsole() {
        std::vector<std::string> messages;
        TConsole::InstallBiosImages({}, messages);
        console.RemoveCartridge();
    }
};

TFuzzConsole& Console() {
    static TFuzzConsole* c = new TFuzzConsole();
    return *c;
}

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) { return Get16(p) | (uint32_t{Get16(p + 2)} << 16); }

// One section of a state: its tag, version and payload.
struct TSection {
    const uint8_t* Tag;
    uint16_t Version;
    const uint8_t* Payload;
    std::size_t Length;
};

// The sections of a state that loaded (so its header and sections are
// whole): format 1 had no section versions (all were version 1).
std::vector<TSection> Sections(const uint8_t* state, std::size_t size) {
    const uint16_t format = Get16(state + 8);
    const std::size_t header = format >= 2 ? 10 : 8;
    std::vector<TSection> sections;
    for (std::size_t at = 26 + Get16(state + 24); at < size;) {
        TSection s{state + at, format >= 2 ? Get16(state + at + 8) : uint16_t{1}, state + at + header,
                   Get32(state + at + 4)};
        sections.push_back(s);
        at += header + s.Length;
    }
    return sections;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzConsole& c = Console();
    // The picture a front end shows of a state file, read from the bytes
    // alone: any bytes are safe to offer, and a state that loads shows the
    // loaded picture.
    static std::vector<uint8_t> image(CONSOLE_MAX_FRAME_IMAGE_SIZE);
    std::size_t imageSize = 0;
    const bool picture = SMS_StateFrameImage(data, size, image.data(), imageSize);
    if (!c.console.LoadState(data, size, c.error, "fuzz.st1")) {
        if (c.error.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    if (!picture || imageSize != c.console.FrameImageSize() ||
        std::memcmp(image.data(), c.console.FrameImage(), imageSize) != 0)
        std::abort();
    c.console.SaveState(c.saved);
    const std::vector<TSection> loaded = Sections(data, size);
    const std::vector<TSection> saved = Sections(c.saved.data(), c.saved.size());
    if (loaded.size() != saved.size()) std::abort();
    for (std::size_t i = 0; i < loaded.size(); ++i) {
        const TSection& in = loaded[i];
        const TSection& out = saved[i];
        if (std::memcmp(in.Tag, out.Tag, 4) != 0) std::abort();
        // A section of an older version is saved at this program's version:
        // its bytes may rightly differ.
        if (in.Version != out.Version) continue;
        if (in.Length != out.Length) std::abort();
        const bool cpu = std::memcmp(in.Tag, "Z80 ", 4) == 0;
        for (std::size_t j = 0; j < in.Length; ++j)
            if (!(cpu && j == kCpuUsedFlag) && in.Payload[j] != out.Payload[j]) std::abort();
    }
    for (int frame = 0; frame < kFrames; ++frame) {
        c.console.RunFrame();
        c.console.RenderFrameSamples();
    }
    return 0;
}
