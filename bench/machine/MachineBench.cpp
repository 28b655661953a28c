// Frames per second of one frame's work (262 lines and the export, then the
// frame's sound), on the BIOS alone and on the benchmark ROMs when built.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Console.h"

namespace {

void RunFrames(benchmark::State& state, const char* rom, TConsoleSettings settings = {}) {
    std::vector<std::string> messages;
    TConsole::InstallBiosImages({}, messages);  // the built-in images
    TConsole console(settings);
    if (rom != nullptr) {
        const std::string path = std::string(TIRAVEL_BINARY_DIR) + "/tests/roms/" + rom;
        if (!std::filesystem::exists(path)) {
            state.SkipWithError((path + " is not built").c_str());
            return;
        }
        console.LoadCartridge(path);
    }
    for (int i = 0; i < 120; ++i) console.RunFrame();  // past the BIOS's splash
    for (auto _ : state) {
        console.RunFrame();
        benchmark::DoNotOptimize(console.RenderFrameSamples().data());
    }
    state.counters["frames_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_FrameBiosAlone(benchmark::State& state) { RunFrames(state, nullptr); }
void BM_FrameCpuBound(benchmark::State& state) { RunFrames(state, "bench_cpu.sms"); }
void BM_FrameRenderHeavy(benchmark::State& state) { RunFrames(state, "bench_render.sms"); }
// The same cartridges on the Master System II: the exact CPU, its VDP's
// renderer and line step.
void BM_FrameCpuBoundMasterSystem2(benchmark::State& state) {
    RunFrames(state, "bench_cpu.sms", TConsoleSettings{TConsoleModel::MasterSystem2});
}
void BM_FrameRenderHeavyMasterSystem2(benchmark::State& state) {
    RunFrames(state, "bench_render.sms", TConsoleSettings{TConsoleModel::MasterSystem2});
}

BENCHMARK(BM_FrameBiosAlone)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameCpuBound)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameRenderHeavy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameCpuBoundMasterSystem2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameRenderHeavyMasterSystem2)->Unit(benchmark::kMicrosecond);

}  // namespace
