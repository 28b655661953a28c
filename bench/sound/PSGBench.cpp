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

}  // namespace
