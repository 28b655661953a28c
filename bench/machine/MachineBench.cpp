// Frames per second of one frame's work (262 lines and the export, then the
// frame's sound), on the BIOS alone and on the benchmark ROMs when built.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "SMS.h"

namespace {

struct TNoDispatcher final : TMainThreadDispatcher {
    void Post(void (*call)(void*), void* context) override { call(context); }
};

void RunFrames(benchmark::State& state, const char* rom) {
    TNoDispatcher dispatcher;
    TSystemTimers timers;
    TVirtualSoundBuffer sound;
    TSMS machine(dispatcher, timers, sound);
    machine.ClearCoresCreated();
    machine.InitMachine();
    if (rom == nullptr) {
        Z80_ClearRom(*machine.Cpu);
    } else {
        const std::string path = std::string(TIRAVEL_BINARY_DIR) + "/tests/roms/" + rom;
        if (!std::filesystem::exists(path)) {
            state.SkipWithError((path + " is not built").c_str());
            return;
        }
        machine.LoadRom(path);
    }
    T_PSG_SAMPLE_BLOCK block{};
    for (int i = 0; i < 120; ++i) machine.RunFrame();  // past the BIOS's splash
    for (auto _ : state) {
        machine.RunFrame();
        PSG_RenderFrame(*machine.Psg, block);
        benchmark::DoNotOptimize(block.Samples[0]);
    }
    state.counters["frames_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_FrameBiosAlone(benchmark::State& state) { RunFrames(state, nullptr); }
void BM_FrameCpuBound(benchmark::State& state) { RunFrames(state, "bench_cpu.sms"); }
void BM_FrameRenderHeavy(benchmark::State& state) { RunFrames(state, "bench_render.sms"); }

BENCHMARK(BM_FrameBiosAlone)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameCpuBound)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameRenderHeavy)->Unit(benchmark::kMicrosecond);

}  // namespace
