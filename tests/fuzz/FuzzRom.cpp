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
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "FuzzTempFolder.h"
#include "SMS.h"

namespace {

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
    // The chips as the first start left them: every input starts from these,
    // so that nothing of one input (system RAM, VRAM, the PSG's registers,
    // the CPU's interrupt mode) reaches the next. The CPU's copy leaves out
    // the ROM area, which each load rewrites whole.
    T_VDP_CORE vdp{};
    T_PSG_CORE psg{};
    T_INTERCONNECT_CORE bus{};
    uint8_t cpuHead[offsetof(T_Z80_CPU_CORE, Rom)]{};
    uint8_t cpuTail[sizeof(T_Z80_CPU_CORE) - offsetof(T_Z80_CPU_CORE, Ram)]{};

    TFuzzMachine() {
        machine.ClearCoresCreated();
        machine.InitMachine();
        machine.StopEmulation();
        vdp = *machine.Vdp;
        psg = *machine.Psg;
        bus = *machine.Interconnect;
        const auto* cpu = reinterpret_cast<const uint8_t*>(machine.Cpu.get());
        std::memcpy(cpuHead, cpu, sizeof cpuHead);
        std::memcpy(cpuTail, cpu + offsetof(T_Z80_CPU_CORE, Ram), sizeof cpuTail);
    }

    void RestoreChips() {
        *machine.Vdp = vdp;
        *machine.Psg = psg;
        *machine.Interconnect = bus;
        auto* cpu = reinterpret_cast<uint8_t*>(machine.Cpu.get());
        std::memcpy(cpu, cpuHead, sizeof cpuHead);
        std::memcpy(cpu + offsetof(T_Z80_CPU_CORE, Ram), cpuTail, sizeof cpuTail);
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
    // The chips as after the first start, then a new start on them (the
    // console's reset path), then the load.
    m.RestoreChips();
    machine.InitMachine();
    try {
        machine.LoadRom(m.romPath);
    } catch (const Z80_RomError&) {
        return 0;  // rejected with a message: nothing else to run
    }
    Interconnect_WritePort(*machine.Interconnect, kPortMemoryControl, kMapCartridge);
    machine.RunFrame();
    PSG_RenderFrame(*machine.Psg, m.block);
    return 0;
}
