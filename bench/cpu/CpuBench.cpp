// Million instructions per second of the Z80 core on the console's memory
// map (real bus, VDP and PSG behind it), driven as the machine drives it:
// 262 calls of Z80_RunCycles with 228 cycles per frame. The same program
// runs on libz80ex, a generic Z80 library, over flat memory for comparison.
//
// One benchmark iteration is one frame from reset. Z80_RunCycles does not
// report how many instructions it ran, so the count per frame is established
// once by stepping a second CPU through the same frame with the run loop's
// own accounting; the timed CPU must then end the frame in the same state.
// The exact model (the hardware models' CPU) runs the same frames with its
// own T-states and the cycles carried from line to line.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include <z80ex/z80ex.h>

#include "Interconnect.h"
#include "SNDEM.h"
#include "VDPEM.h"
#include "Z80EM.h"

extern const unsigned char BenchMix[];
extern const unsigned long BenchMix_size;

namespace {

constexpr uint32_t kLines = 262;
constexpr uint32_t kLineCycles = 228;

// The best rate each side reached over all runs of its benchmark (the
// library runs a function several times, more with repetitions), for the
// ratio printed at exit: on a shared machine the best run is the one least
// disturbed by other work.
struct Rates {
    double ours = 0;
    double z80exInstructions = 0;
    double z80exSteps = 0;
    ~Rates() {
        if (ours == 0 || z80exInstructions == 0) return;
        std::printf("\nbest runs: Tiravel %.1f MIPS, libz80ex %.1f MIPS (%.1f million steps/s, prefixes counted separately)\n"
                    "ratio Tiravel / libz80ex: %.2f by instructions, %.2f by z80ex steps\n",
                    ours, z80exInstructions, z80exSteps, ours / z80exInstructions, ours / z80exSteps);
    }
} gRates;

// CPU time of this thread, as the library's own figures use: the machine is
// shared, and wall time would count the time other processes ran.
double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The console as the machine wires it, with the mix in the cartridge area
// and the cartridge mapped.
struct Console {
    std::unique_ptr<T_Z80_CPU_CORE> cpu = std::make_unique<T_Z80_CPU_CORE>();
    std::unique_ptr<T_VDP_CORE> vdp = std::make_unique<T_VDP_CORE>();
    std::unique_ptr<T_PSG_CORE> psg = std::make_unique<T_PSG_CORE>();
    T_INTERCONNECT_CORE bus{};

    explicit Console(bool exact = false) {
        cpu->Exact = exact ? 1 : 0;
        VDP_Reset(*vdp);
        PSG_Reset(*psg);
        Interconnect_Init(bus, *vdp, *psg);
        std::memcpy(cpu->Rom, BenchMix, BenchMix_size);
        Interconnect_WritePort(bus, 0x3E, 0x08);
        Restart();
    }

    // Every frame starts from the same state.
    void Restart() {
        Z80_Reset(*cpu, bus);
        std::memset(cpu->Ram, 0, sizeof cpu->Ram);
    }
};

// Instructions one frame from reset executes, stepping as Z80_RunCycles
// does (no interrupt can arrive: the VDP is not run and the mix keeps
// interrupts disabled). Also returns the state the frame ends in.
uint64_t CountFrameInstructions(bool exact, uint16_t& endPC, uint16_t& endSP) {
    Console console(exact);
    uint64_t instructions = 0;
    uint32_t carry = 0;
    for (uint32_t line = 0; line < kLines; ++line) {
        uint32_t count = carry;
        while (count < kLineCycles) {
            count += exact ? Z80_ExecuteExactInstruction(*console.cpu) : Z80_ExecuteInstruction(*console.cpu);
            ++instructions;
        }
        carry = exact ? count - kLineCycles : 0;
    }
    endPC = console.cpu->PC;
    endSP = console.cpu->SP;
    return instructions;
}

void RunTiravel(benchmark::State& state, bool exact) {
    uint16_t endPC = 0, endSP = 0;
    const uint64_t perFrame = CountFrameInstructions(exact, endPC, endSP);
    Console console(exact);
    const double start = ThreadSeconds();
    for (auto _ : state) {
        console.Restart();
        for (uint32_t line = 0; line < kLines; ++line) Z80_RunCycles(*console.cpu, kLineCycles);
        benchmark::DoNotOptimize(console.cpu->PC);
    }
    const double seconds = ThreadSeconds() - start;
    if (console.cpu->PC != endPC || console.cpu->SP != endSP) {
        state.SkipWithError("the run loop ran a different instruction stream than the counting pass");
        return;
    }
    const double instructions = double(perFrame) * double(state.iterations());
    state.counters["MIPS"] = benchmark::Counter(instructions / 1e6, benchmark::Counter::kIsRate);
    state.counters["instructions_per_frame"] = double(perFrame);
    if (!exact) gRates.ours = std::max(gRates.ours, instructions / seconds / 1e6);
}

void BM_TiravelZ80(benchmark::State& state) { RunTiravel(state, false); }
void BM_TiravelZ80Exact(benchmark::State& state) { RunTiravel(state, true); }
BENCHMARK(BM_TiravelZ80)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TiravelZ80Exact)->Unit(benchmark::kMicrosecond);

// libz80ex on 64 KB of flat memory with trivial ports.
struct FlatZ80ex {
    uint8_t memory[65536]{};
    Z80EX_CONTEXT* cpu = nullptr;

    static Z80EX_BYTE Read(Z80EX_CONTEXT*, Z80EX_WORD address, int, void* self) {
        return static_cast<FlatZ80ex*>(self)->memory[address];
    }
    static void Write(Z80EX_CONTEXT*, Z80EX_WORD address, Z80EX_BYTE value, void* self) {
        static_cast<FlatZ80ex*>(self)->memory[address] = value;
    }
    static Z80EX_BYTE PortRead(Z80EX_CONTEXT*, Z80EX_WORD, void*) { return 0xFF; }
    static void PortWrite(Z80EX_CONTEXT*, Z80EX_WORD, Z80EX_BYTE, void*) {}
    static Z80EX_BYTE Vector(Z80EX_CONTEXT*, void*) { return 0xFF; }

    FlatZ80ex() {
        std::memcpy(memory, BenchMix, BenchMix_size);
        cpu = z80ex_create(Read, this, Write, this, PortRead, this, PortWrite, this, Vector, this);
    }
    ~FlatZ80ex() { z80ex_destroy(cpu); }
    FlatZ80ex(const FlatZ80ex&) = delete;
    FlatZ80ex& operator=(const FlatZ80ex&) = delete;

    void Restart() {
        z80ex_reset(cpu);
        std::memset(memory + 0xC000, 0, 0x4000);
    }
};

void BM_LibZ80ex(benchmark::State& state) {
    auto z = std::make_unique<FlatZ80ex>();
    uint64_t steps = 0;
    uint64_t instructions = 0;
    const double start = ThreadSeconds();
    for (auto _ : state) {
        z->Restart();
        for (uint32_t line = 0; line < kLines; ++line) {
            uint32_t count = 0;
            while (count < kLineCycles) {
                count += static_cast<uint32_t>(z80ex_step(z->cpu));
                ++steps;
                // A DD/FD prefix is a step of its own; only complete
                // instructions count as instructions.
                if (z80ex_last_op_type(z->cpu) == 0) ++instructions;
            }
        }
        benchmark::DoNotOptimize(z->memory[0xC080]);
    }
    const double seconds = ThreadSeconds() - start;
    state.counters["MIPS"] = benchmark::Counter(double(instructions) / 1e6, benchmark::Counter::kIsRate);
    state.counters["instructions_per_frame"] = double(instructions) / double(state.iterations());
    state.counters["steps_per_frame"] = double(steps) / double(state.iterations());
    if (double(instructions) / seconds / 1e6 > gRates.z80exInstructions) {
        gRates.z80exInstructions = double(instructions) / seconds / 1e6;
        gRates.z80exSteps = double(steps) / seconds / 1e6;
    }
}
BENCHMARK(BM_LibZ80ex)->Unit(benchmark::kMicrosecond);

}  // namespace
