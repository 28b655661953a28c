// Any file loaded as a cartridge and run for ten frames, as the headless
// runner does: the loader's checks, the memory map and paging, the
// instruction step, the bus, the VDP's line step and the PSG's synthesis.
#include <cstdint>
#include <cstdlib>

#include "FuzzTempFolder.h"
#include "SMS.h"

namespace {

constexpr int kFrames = 10;
constexpr uint8_t kPortMemoryControl = 0x3E;
constexpr uint8_t kMapCartridge = 0xA8;  // the value the BIOS writes on handing over

class TNoDispatcher final : public TMainThreadDispatcher {
public:
    void Post(void (*call)(void*), void* context) override { call(context); }
};

struct TFuzzMachine {
    TFuzzTempFolder folder;
    std::string romPath = folder.File("cartridge.sms");
    TNoDispatcher dispatcher;
    TSystemTimers timers;
    TVirtualSoundBuffer sound;
    TSMS machine{dispatcher, timers, sound};
    T_PSG_SAMPLE_BLOCK block{};

    TFuzzMachine() {
        machine.ClearCoresCreated();
        machine.InitMachine();
        machine.StopEmulation();
    }
};

TFuzzMachine& Machine() {
    static TFuzzMachine* m = new TFuzzMachine();  // the thread is never started
    return *m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzMachine& m = Machine();
    if (!FuzzWriteFile(m.romPath, data, size)) std::abort();
    TSMS& machine = m.machine;
    // A new start on the same chips, with the VDP cleared too so that each
    // input runs from the same state.
    machine.InitMachine();
    VDP_Reset(*machine.Vdp);
    try {
        machine.LoadRom(m.romPath);
    } catch (const Z80_RomError&) {
        return 0;  // rejected with a message: nothing else to run
    }
    Interconnect_WritePort(*machine.Interconnect, kPortMemoryControl, kMapCartridge);
    for (int frame = 0; frame < kFrames; ++frame) {
        machine.RunFrame();
        PSG_RenderFrame(*machine.Psg, m.block);
    }
    return 0;
}
