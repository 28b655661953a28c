// Any file loaded as a cartridge and run for a frame, as the headless runner
// does: the loader's checks, the memory map and paging, the instruction step,
// the bus, the VDP's line step and the PSG's synthesis.
//
// One frame per input: a random cartridge does what it does in its first
// frame (the frame interrupt and the line interrupts come in it too), and
// more frames mostly repeat it. Side by side for two minutes, one frame ran
// 363 inputs a second and reached 719 edges (3,678 features), two frames 209
// and 737 (3,607); the ten frames it once ran gave 43 a second and 706 edges
// in three minutes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "Console.h"
#include "FuzzTempFolder.h"

namespace {

// A BIOS that does nothing but hand over, as the real one does once it has
// found a cartridge: it copies a stub to RAM and runs it there; the stub
// maps the cartridge over the BIOS (memory control #A8) and jumps to #0000.
// The cartridge thus starts within the first line, as at a real start.
constexpr uint8_t kHandoverBios[] = {
    0x21, 0x0E, 0x00,  // 0000 ld hl, stub
    0x11, 0x00, 0xC1,  // 0003 ld de, #C100
    0x01, 0x07, 0x00,  // 0006 ld bc, 7
    0xED, 0xB0,        // 0009 ldir
    0xC3, 0x00, 0xC1,  // 000B jp #C100
    0x3E, 0xA8,        // 000E stub: ld a, #A8
    0xD3, 0x3E,        //      out (#3E), a
    0xC3, 0x00, 0x00,  //      jp #0000
};
constexpr std::size_t kBiosSize = 8192;

struct TFuzzConsole {
    TFuzzTempFolder folder;
    std::string romPath = folder.File("cartridge.sms");
    // The console as it starts: every input starts from a copy of it, so
    // that nothing of one input (system RAM, VRAM, the PSG's registers, the
    // CPU's interrupt mode) reaches the next.
    TConsole start;
    TConsole console;

    TFuzzConsole() {
        std::vector<uint8_t> bios(kBiosSize, 0);
        std::copy(std::begin(kHandoverBios), std::end(kHandoverBios), bios.begin());
        const std::string biosPath = folder.File("handover.bin");
        std::string message;
        if (!FuzzWriteFile(biosPath, bios.data(), bios.size()) ||
            !TConsole::LoadBiosDump(biosPath, start.BiosType(), message)) {
            std::fprintf(stderr, "the hand-over BIOS: %s\n", message.c_str());
            std::abort();
        }
    }
};

// A static, not a leaked object: its temporary folder goes when the process
// ends.
TFuzzConsole& Console() {
    static TFuzzConsole c;
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzConsole& c = Console();
    if (!FuzzWriteFile(c.romPath, data, size)) std::abort();
    c.console.CopyFrom(c.start);
    try {
        c.console.LoadCartridge(c.romPath);
    } catch (const std::exception&) {
        return 0;  // rejected with a message: nothing else to run
    }
    c.console.RunFrame();
    c.console.RenderFrameSamples();
    return 0;
}
