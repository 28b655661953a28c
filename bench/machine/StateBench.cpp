// The cost of a saved state in memory: TConsole::SaveState into a kept vector
// (what a rewind history pays every frame), TConsole::StateSize (what a
// libretro front end asks before each save) and TConsole::LoadState of it
// (checks and commit), beside one frame's emulation for scale, on the
// demo-like benchmark cartridge.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Console.h"

namespace {

struct TBenchConsole {
    TConsole console;
    bool ok = false;

    explicit TBenchConsole(benchmark::State& state) {
        const std::string path = std::string(TIRAVEL_BINARY_DIR) + "/tests/roms/bench_render.sms";
        if (!std::filesystem::exists(path)) {
            state.SkipWithError((path + " is not built").c_str());
            return;
        }
        std::vector<std::string> messages;
        TConsole::InstallBiosImages({}, messages);  // the built-in images
        console.LoadCartridge(path);
        for (int i = 0; i < 120; ++i) console.RunFrame();
        ok = true;
    }
};

void BM_SaveState(benchmark::State& state) {
    TBenchConsole m(state);
    if (!m.ok) return;
    std::vector<uint8_t> out;
    m.console.SaveState(out);
    for (auto _ : state) {
        m.console.SaveState(out);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.counters["bytes"] = double(out.size());
}

void BM_StateSize(benchmark::State& state) {
    TBenchConsole m(state);
    if (!m.ok) return;
    for (auto _ : state) benchmark::DoNotOptimize(m.console.StateSize());
}

void BM_LoadState(benchmark::State& state) {
    TBenchConsole m(state);
    if (!m.ok) return;
    std::vector<uint8_t> saved;
    m.console.SaveState(saved);
    std::string error;
    for (auto _ : state) {
        if (!m.console.LoadState(saved.data(), saved.size(), error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        benchmark::ClobberMemory();
    }
}

// For scale: one frame with its sound, as the runner and the window run it.
void BM_FrameForScale(benchmark::State& state) {
    TBenchConsole m(state);
    if (!m.ok) return;
    for (auto _ : state) {
        m.console.RunFrame();
        benchmark::DoNotOptimize(m.console.RenderFrameSamples().data());
    }
}

BENCHMARK(BM_SaveState)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StateSize)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_LoadState)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameForScale)->Unit(benchmark::kMicrosecond);

}  // namespace
