// Any bytes offered as a saved state: refused with a reason, or loaded; a
// loaded state must save back to the same sections (nothing read but not
// kept, nothing kept but not read) and then run ten frames with their sound.
//
// The machine runs the BIOS alone, so its cartridge identity is the fixed one
// of no cartridge and the seed states (made by the headless runner without a
// ROM) reach the sections. It is set up once: every load replaces all of
// the state it then runs from.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "SMS.h"
#include "SaveState.h"

namespace {

constexpr int kFrames = 10;
// The cartridge-RAM-used flag: a load keeps it set once the machine has set
// it, so it is the one byte a save after a load may differ in.
constexpr std::size_t kCpuUsedFlag = 38;

class TNoDispatcher final : public TMainThreadDispatcher {
public:
    void Post(void (*call)(void*), void* context) override { call(context); }
};

struct TFuzzMachine {
    TNoDispatcher dispatcher;
    TSystemTimers timers;
    TVirtualSoundBuffer sound;
    TSMS machine{dispatcher, timers, sound};
    T_PSG_SAMPLE_BLOCK block{};
    std::vector<uint8_t> saved;
    std::string error;

    TFuzzMachine() {
        machine.ClearCoresCreated();
        machine.InitMachine();
        machine.StopEmulation();
        Z80_ClearRom(*machine.Cpu);
        machine.MarkReady();
    }
};

TFuzzMachine& Machine() {
    static TFuzzMachine* m = new TFuzzMachine();  // the thread is never started
    return *m;
}

std::size_t SectionsStart(const uint8_t* state) { return 26 + (state[24] | (state[25] << 8)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzMachine& m = Machine();
    if (!SMS_LoadState(m.machine, data, size, m.error, "fuzz.st1")) {
        if (m.error.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    SMS_SaveState(m.machine, m.saved);
    const std::size_t from = SectionsStart(data), savedFrom = SectionsStart(m.saved.data());
    if (size - from != m.saved.size() - savedFrom) std::abort();
    const std::size_t usedFlag = from + 8 + 1 + 8 + kCpuUsedFlag;  // after MACH and the CPU's header
    for (std::size_t i = 0; from + i < size; ++i)
        if (from + i != usedFlag && data[from + i] != m.saved[savedFrom + i]) std::abort();
    for (int frame = 0; frame < kFrames; ++frame) {
        m.machine.RunFrame();
        PSG_RenderFrame(*m.machine.Psg, m.block);
    }
    return 0;
}
