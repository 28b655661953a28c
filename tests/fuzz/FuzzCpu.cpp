// An arbitrary instruction stream in the cartridge area, run for 5,000
// instructions by the production instruction step through the real memory
// map (paging registers, cartridge RAM, the BIOS/cartridge switch). This
// binary supplies the bus itself: port reads answer with bytes the input
// chose, the interrupt line follows a pattern the input chose, and pause
// (NMI) presses come at an interval the input chose.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "Interconnect.h"
#include "Z80EM.h"

namespace {

// Steps per input. A random program reaches what it reaches early: it halts,
// loops or repeats its image. With 5,000 steps, in two minutes side by side,
// the target ran 1,000 inputs a second and reached 956 edges (6,913
// features), with 10,000 steps 600 a second and 937 (6,559); the 100,000
// it once ran gave 72 a second and 843 edges in three minutes.
constexpr uint32_t kInstructions = 5000;

struct TFuzzBus {
    std::vector<uint8_t> answers;  // port reads, in turn; 0xFF when empty
    std::size_t next = 0;
    uint64_t interruptPattern = 0; // bit (step % 64): line asserted
    uint32_t step = 0;
    uint8_t memoryControl = 0;
};

TFuzzBus gBus;

// Everything of the CPU object but the 1 MB ROM area, cleared per input.
void ClearAllButRom(T_Z80_CPU_CORE& cpu) {
    auto* bytes = reinterpret_cast<uint8_t*>(&cpu);
    std::memset(bytes, 0, offsetof(T_Z80_CPU_CORE, Rom));
    std::memset(bytes + offsetof(T_Z80_CPU_CORE, Ram), 0, sizeof cpu - offsetof(T_Z80_CPU_CORE, Ram));
}

}  // namespace

// The five bus functions the CPU library reaches.
uint8_t Interconnect_ReadPort(T_INTERCONNECT_CORE&, uint8_t) {
    if (gBus.answers.empty()) return 0xFF;
    const uint8_t value = gBus.answers[gBus.next];
    gBus.next = (gBus.next + 1) % gBus.answers.size();
    return value;
}

void Interconnect_WritePort(T_INTERCONNECT_CORE&, uint8_t port, uint8_t value) {
    // The memory control register, decoded as on the console; the rest is ignored.
    if (uint8_t(port | 0x3E) == 0x3E) gBus.memoryControl = value;
}

uint8_t Interconnect_GetInterruptLine(const T_INTERCONNECT_CORE&) {
    return static_cast<uint8_t>((gBus.interruptPattern >> (gBus.step & 63)) & 1);
}

uint8_t Interconnect_GetMemoryControl(const T_INTERCONNECT_CORE&) { return gBus.memoryControl; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto* cpu = new T_Z80_CPU_CORE();
    static T_INTERCONNECT_CORE bus{};
    // The ROM area is never written by the CPU, only by the filling below:
    // bytes past this mark are still zero from the CPU's creation.
    static std::size_t romFilled = 0;

    FuzzedDataProvider input(data, size);
    // Settings come from the end of the input, the program from its start.
    const uint8_t bankCount = input.ConsumeIntegralInRange<uint8_t>(1, Z80_MAX_ROM_BANKS);
    gBus.interruptPattern = input.ConsumeIntegral<uint64_t>();
    // 0: no pause presses; otherwise one every so many steps, within the run.
    const uint32_t nmiInterval = input.ConsumeIntegralInRange<uint32_t>(0, kInstructions);
    gBus.memoryControl = input.ConsumeBool() ? 0xA8 : 0xE0;          // cartridge or BIOS mapped
    gBus.answers = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 32));
    gBus.next = 0;
    const std::vector<uint8_t> program = input.ConsumeRemainingBytes<uint8_t>();

    // A CPU as created (all zero), without clearing the whole megabyte.
    ClearAllButRom(*cpu);
    Z80_Reset(*cpu, bus);
    // The program fills the image from the start and repeats to the end of
    // the banks the image has, so every page the program selects holds code.
    // The banks past the image (which the power-on paging can still show)
    // read as zero, as they would on a freshly created CPU.
    cpu->RomBankCount = bankCount;
    const std::size_t imageSize = std::size_t(bankCount) * Z80_BANK_SIZE;
    if (!program.empty()) {
        // Copied once, then the filled part doubled: a short program takes
        // a few large copies, not one per repetition.
        std::size_t filled = std::min(program.size(), imageSize);
        std::memcpy(cpu->Rom, program.data(), filled);
        for (; filled < imageSize; filled *= 2)
            std::memcpy(cpu->Rom + filled, cpu->Rom, std::min(filled, imageSize - filled));
        if (romFilled > imageSize) std::memset(cpu->Rom + imageSize, 0, romFilled - imageSize);
        romFilled = imageSize;
    } else if (romFilled > 0) {
        std::memset(cpu->Rom, 0, romFilled);
        romFilled = 0;
    }
    // The BIOS window shows the program too (the images are blank otherwise).
    for (auto& image : Z80_BiosImages) std::memcpy(image, cpu->Rom, Z80_BIOS_SIZE);

    for (gBus.step = 0; gBus.step < kInstructions; ++gBus.step) {
        if (nmiInterval != 0 && gBus.step % nmiInterval == nmiInterval - 1) Z80_RaiseNMI(*cpu);
        if (Interconnect_GetInterruptLine(bus) == 1) {
            uint32_t budget = 228;
            Z80_AcceptInterrupt(*cpu, budget);
        }
        // A halted CPU waits for an interrupt; the wait counts as a step.
        if (cpu->Halted == 1) continue;
        Z80_ExecuteInstruction(*cpu);
        // The run loop's end-of-line bookkeeping, here once per 64 steps:
        // the pause lock counts down and the NMI can be raised again.
        if ((gBus.step & 63) == 63) Z80_RunCycles(*cpu, 0);
    }
    return 0;
}
