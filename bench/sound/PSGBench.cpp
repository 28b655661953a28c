// Samples per second of the PSG's frame synthesis, with all four channels
// on and audible: tone 3 below the counter step (flipping at every sample)
// and the noise clocked from tone 3.
#include <benchmark/benchmark.h>

#include <initializer_list>

#include "SNDEM.h"

namespace {

void Write(T_PSG_CORE& psg, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) PSG_WritePort(psg, b);
}

void BM_RenderFrameAllChannels(benchmark::State& state) {
    static T_PSG_CORE psg{};
    PSG_Reset(psg);
    PSG_SetFrameRate(psg, 60);
    PSG_SetClock(psg, 3579536);
    Write(psg, {0x8E, 0x0F,           // tone 1 period 0x0FE
                0xA5, 0x03,           // tone 2 period 0x035
                0xC3, 0x00,           // tone 3 period 3, below the step of 5
                0xE7,                 // noise: white, rate 3 (tone 3)
                0x90, 0xB2, 0xD4, 0xF1});  // attenuations 0, 2, 4, 1
    T_PSG_SAMPLE_BLOCK block{};
    for (auto _ : state) {
        PSG_RenderFrame(psg, block);
        benchmark::DoNotOptimize(block.Samples[0]);
        benchmark::ClobberMemory();
    }
    state.counters["samples_per_second"] =
        benchmark::Counter(double(state.iterations()) * psg.SamplesPerFrame, benchmark::Counter::kIsRate);
}

BENCHMARK(BM_RenderFrameAllChannels)->Unit(benchmark::kMicrosecond);

// The hardware models' chip for one NTSC frame: music (three tones between
// 110 and 880 Hz and white noise at rate 0, a volume write on each line),
// and sample playback (a held-high channel with a volume write every 224
// cycles, each a band-limited step).
void RunExactFrames(benchmark::State& state, bool playback) {
    static T_PSG_CORE psg{};
    constexpr uint32_t kClock = 3579545;
    constexpr int32_t kFrame = 262 * 228;
    psg.Exact = 1;
    PSG_Reset(psg);
    PSG_SetFrameRate(psg, 60);
    PSG_SetClock(psg, kClock);
    PSG_SetExactRate(psg, kClock, 48000.0);
    for (uint8_t b : {0x8E, 0x0F, 0xA4, 0x08, 0xC0, 0x20, 0xE4, 0x90, 0xB2, 0xD4, 0xF3}) PSG_WriteExact(psg, b, 0);
    if (playback)
        for (uint8_t b : {0x9F, 0xBF, 0xDF, 0xFF, 0x81, 0x00}) PSG_WriteExact(psg, b, 0);
    uint32_t step = 0;
    for (auto _ : state) {
        if (playback) {
            for (int32_t cycle = 0; cycle < kFrame; cycle += 224) PSG_WriteExact(psg, uint8_t(0x90 | (step++ & 7)), cycle);
        } else {
            for (int32_t line = 0; line < 262; ++line) PSG_WriteExact(psg, uint8_t(0xB0 | (line & 3)), line * 228);
        }
        PSG_EndExactFrame(psg, kFrame);
        benchmark::DoNotOptimize(psg.ExactOut[0]);
        benchmark::ClobberMemory();
    }
    state.counters["frames_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ExactFrameMusic(benchmark::State& state) { RunExactFrames(state, false); }
void BM_ExactFrameSamplePlayback(benchmark::State& state) { RunExactFrames(state, true); }
BENCHMARK(BM_ExactFrameMusic)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExactFrameSamplePlayback)->Unit(benchmark::kMicrosecond);

}  // namespace
