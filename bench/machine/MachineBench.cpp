// Frames per second of one frame's work (262 lines and the export, then the
// frame's sound), on the BIOS alone and on the benchmark ROMs when built;
// the hardware models' with their sound's synthesis and without.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Console.h"

namespace {

// `sound` false turns the sound chip's mixer off: the chip still runs (its
// counters, its writes at their cycles), but makes no level changes, so the
// difference between the two is what the sound's synthesis costs.
void RunFrames(benchmark::State& state, const char* rom, TConsoleSettings settings = {}, bool sound = true) {
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
    if (!sound) console.SetSoundChannel(TSoundChannel::Mixer, 0);
    for (int i = 0; i < 120; ++i) console.RunFrame();  // past the BIOS's splash
    const bool stereo = console.HasStereoSound();
    for (auto _ : state) {
        console.RunFrame();
        if (stereo)
            benchmark::DoNotOptimize(console.RenderFrameStereo().data());
        else
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

// The hardware models' sound with and without its synthesis: the CPU-bound
// cartridge (the BIOS's chime long over: a silent chip) and the sample
// playback cartridge (16,000 volume writes a second, each a step).
constexpr TConsoleSettings kMasterSystem2{TConsoleModel::MasterSystem2};
void BM_FrameCpuBoundMasterSystem2Muted(benchmark::State& state) {
    RunFrames(state, "bench_cpu.sms", kMasterSystem2, false);
}
void BM_FrameSamplePlaybackMasterSystem2(benchmark::State& state) { RunFrames(state, "psg_sine.sms", kMasterSystem2); }
void BM_FrameSamplePlaybackMasterSystem2Muted(benchmark::State& state) {
    RunFrames(state, "psg_sine.sms", kMasterSystem2, false);
}

BENCHMARK(BM_FrameBiosAlone)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameCpuBound)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameRenderHeavy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameCpuBoundMasterSystem2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameRenderHeavyMasterSystem2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameCpuBoundMasterSystem2Muted)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameSamplePlaybackMasterSystem2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameSamplePlaybackMasterSystem2Muted)->Unit(benchmark::kMicrosecond);

}  // namespace
