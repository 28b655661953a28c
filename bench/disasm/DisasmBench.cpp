// Instructions per second of the disassembler and the access predictor on
// the console's memory map. The addresses are those of the first 20,000
// instructions the CPU benchmark's mix executes from reset, so the forms
// come in the proportions a running program has; each iteration decodes
// all of them once.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "Interconnect.h"
#include "SNDEM.h"
#include "VDPEM.h"
#include "Z80Disasm.h"
#include "Z80EM.h"

extern const unsigned char BenchMix[];
extern const unsigned long BenchMix_size;

namespace {

constexpr int kInstructions = 20000;

struct Console {
    std::unique_ptr<T_Z80_CPU_CORE> cpu = std::make_unique<T_Z80_CPU_CORE>();
    std::unique_ptr<T_VDP_CORE> vdp = std::make_unique<T_VDP_CORE>();
    std::unique_ptr<T_PSG_CORE> psg = std::make_unique<T_PSG_CORE>();
    T_INTERCONNECT_CORE bus{};
    std::vector<uint16_t> executed;

    Console() {
        VDP_Reset(*vdp);
        PSG_Reset(*psg);
        Interconnect_Init(bus, *vdp, *psg);
        std::memcpy(cpu->Rom, BenchMix, BenchMix_size);
        Interconnect_WritePort(bus, 0x3E, 0x08);
        Z80_Reset(*cpu, bus);
        std::memset(cpu->Ram, 0, sizeof cpu->Ram);
        for (int i = 0; i < kInstructions; ++i) {
            executed.push_back(cpu->PC);
            Z80_ExecuteInstruction(*cpu);
        }
    }
};

void BM_Disassemble(benchmark::State& state) {
    Console console;
    T_Z80_INSTRUCTION in{};
    for (auto _ : state) {
        for (uint16_t pc : console.executed) {
            Z80_Disassemble(Z80_PeekMemoryAt, console.cpu.get(), pc, in);
            benchmark::DoNotOptimize(in);
        }
    }
    state.SetItemsProcessed(state.iterations() * kInstructions);
}
BENCHMARK(BM_Disassemble);

// What a trace line adds beside the text: the bank's name.
void BM_DisassembleWithBank(benchmark::State& state) {
    Console console;
    T_Z80_INSTRUCTION in{};
    char bank[8];
    for (auto _ : state) {
        for (uint16_t pc : console.executed) {
            Z80_Disassemble(Z80_PeekMemoryAt, console.cpu.get(), pc, in);
            Z80_BankName(Z80_MapAddress(*console.cpu, pc), bank);
            benchmark::DoNotOptimize(in);
            benchmark::DoNotOptimize(bank);
        }
    }
    state.SetItemsProcessed(state.iterations() * kInstructions);
}
BENCHMARK(BM_DisassembleWithBank);

void BM_PredictAccesses(benchmark::State& state) {
    Console console;
    T_Z80_ACCESSES out{};
    const uint16_t pc = console.cpu->PC;
    for (auto _ : state) {
        for (uint16_t at : console.executed) {
            console.cpu->PC = at;
            Z80_PredictAccesses(*console.cpu, Z80_PeekMemoryAt, console.cpu.get(), out);
            benchmark::DoNotOptimize(out);
        }
    }
    console.cpu->PC = pc;
    state.SetItemsProcessed(state.iterations() * kInstructions);
}
BENCHMARK(BM_PredictAccesses);

}  // namespace
