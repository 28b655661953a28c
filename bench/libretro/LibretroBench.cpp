// Frames per second of the libretro core as a front end drives it: retro_run
// with the pads read, the frame, the picture in XRGB8888 and the frame's
// stereo samples handed over; the host copies the picture as a front end's
// upload would.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "LibretroHost.h"

namespace {

void RunFrames(benchmark::State& state, const char* rom) {
    TLibretroHost& host = TLibretroHost::Get();
    if (const std::string error = host.Open(TIRAVEL_LIBRETRO_CORE); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::string path = std::string(TIRAVEL_BINARY_DIR) + "/" + rom;
    if (!std::filesystem::exists(path) || !host.Load(path)) {
        state.SkipWithError((path + " cannot be loaded").c_str());
        return;
    }
    for (int i = 0; i < 120; ++i) host.RunFrame();  // past the BIOS's splash
    for (auto _ : state) {
        host.RunFrame();
        benchmark::DoNotOptimize(host.Picture.data());
    }
    state.counters["frames_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    host.unload_game();
}

void BM_CoreCpuBound(benchmark::State& state) { RunFrames(state, "tests/roms/bench_cpu.sms"); }
void BM_CoreRenderHeavy(benchmark::State& state) { RunFrames(state, "tests/roms/bench_render.sms"); }
void BM_CoreDemo(benchmark::State& state) { RunFrames(state, "demo/tiravel-demo.sms"); }

BENCHMARK(BM_CoreCpuBound)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CoreRenderHeavy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CoreDemo)->Unit(benchmark::kMicrosecond);

}  // namespace
