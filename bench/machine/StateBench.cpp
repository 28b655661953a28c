// The cost of a saved state in memory: SMS_SaveState into a kept vector (what
// a rewind history pays every frame) and SMS_LoadState of it (checks and
// commit), beside one frame's emulation for scale, on the demo-like
// benchmark cartridge.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "SMS.h"
#include "SaveState.h"

namespace {

struct TNoDispatcher final : TMainThreadDispatcher {
    void Post(void (*call)(void*), void* context) override { call(context); }
};

struct TBenchMachine {
    TNoDispatcher dispatcher;
    TSystemTimers timers;
    TVirtualSoundBuffer sound;
    TSMS machine{dispatcher, timers, sound};
    bool ok = false;

    explicit TBenchMachine(benchmark::State& state) {
        const std::string path = std::string(TIRAVEL_BINARY_DIR) + "/tests/roms/bench_render.sms";
        if (!std::filesystem::exists(path)) {
            state.SkipWithError((path + " is not built").c_str());
            return;
        }
        machine.ClearCoresCreated();
        machine.InitMachine();
        machine.LoadRom(path);
        for (int i = 0; i < 120; ++i) machine.RunFrame();
        ok = true;
    }
};

void BM_SaveState(benchmark::State& state) {
    TBenchMachine m(state);
    if (!m.ok) return;
    std::vector<uint8_t> out;
    SMS_SaveState(m.machine, out);
    for (auto _ : state) {
        SMS_SaveState(m.machine, out);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.counters["bytes"] = double(out.size());
}

void BM_LoadState(benchmark::State& state) {
    TBenchMachine m(state);
    if (!m.ok) return;
    std::vector<uint8_t> saved;
    SMS_SaveState(m.machine, saved);
    std::string error;
    for (auto _ : state) {
        if (!SMS_LoadState(m.machine, saved.data(), saved.size(), error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        benchmark::ClobberMemory();
    }
}

// For scale: one frame with its sound, as the runner and the window run it.
void BM_FrameForScale(benchmark::State& state) {
    TBenchMachine m(state);
    if (!m.ok) return;
    T_PSG_SAMPLE_BLOCK block{};
    for (auto _ : state) {
        m.machine.RunFrame();
        PSG_RenderFrame(*m.machine.Psg, block);
        benchmark::DoNotOptimize(block.Samples[0]);
    }
}

BENCHMARK(BM_SaveState)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadState)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameForScale)->Unit(benchmark::kMicrosecond);

}  // namespace
