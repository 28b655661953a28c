// The cost of the rewind history per emulated frame, against the frame's own
// emulation time, and the memory of a full history (600 states, 10 seconds),
// on the demo and the test cartridges.
//
// Each iteration runs one frame (262 lines, the export and the frame's sound)
// and then keeps its state as the window does (TRewind::Frame going forward:
// the state saved, its difference to the last one kept without the picture). The iteration time reported is the
// history's part alone (manual time); the counters give both parts:
//   frame_us    emulation of one frame
//   history_us  saving the state and keeping its difference
//   share_pct   history_us as a share of frame_us
//   *_med_*     the same as medians of the iterations
//   memory_MB   what the full history holds (blocks and the two whole states)
//   stored_MB   of which in use
//   state_kB    one whole state
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "Console.h"
#include "Rewind.h"

namespace {

using TClock = std::chrono::steady_clock;

// Player 1 holds right and down after pressing button 1 (the demo's title).
void WritePads(TConsole& console, int frame) {
    uint8_t player1 = 0;
    if (frame >= 130 && frame < 134) player1 |= PAD_BUTTON1;
    if (frame >= 150) player1 |= PAD_RIGHT | PAD_DOWN;
    console.SetPads(player1, 0);
}

void RunWithHistory(benchmark::State& state, const std::string& rom) {
    if (!std::filesystem::exists(rom)) {
        state.SkipWithError((rom + " is not built").c_str());
        return;
    }
    TConsole console;
    console.LoadCartridge(rom);
    TRewind rewind;
    std::string error;
    int frame = 0;
    auto emulate = [&] {
        WritePads(console, frame++);
        console.RunFrame();
        benchmark::DoNotOptimize(console.RenderFrameSamples().data());
    };
    // Past the BIOS, then a full history, so that blocks are recycled.
    for (int i = 0; i < 150; ++i) emulate();
    for (size_t i = 0; i < TRewindBuffer::kDefaultStates; ++i) {
        emulate();
        rewind.Frame(console, false, error);
    }
    double frameSeconds = 0, historySeconds = 0;
    // Per-iteration times for the medians: on a shared machine a frame now
    // and then loses its time slice, which moves the means but not these.
    std::vector<double> frames, histories;
    frames.reserve(static_cast<size_t>(state.max_iterations));
    histories.reserve(static_cast<size_t>(state.max_iterations));
    for (auto _ : state) {
        const auto t0 = TClock::now();
        emulate();
        const auto t1 = TClock::now();
        rewind.Frame(console, false, error);
        const auto t2 = TClock::now();
        const double h = std::chrono::duration<double>(t2 - t1).count();
        frameSeconds += std::chrono::duration<double>(t1 - t0).count();
        historySeconds += h;
        state.SetIterationTime(h);
        frames.push_back(std::chrono::duration<double>(t1 - t0).count());
        histories.push_back(h);
    }
    auto median = [](std::vector<double>& v) {
        if (v.empty()) return 0.0;
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    const double frameMedian = median(frames), historyMedian = median(histories);
    state.counters["frame_med_us"] = frameMedian * 1e6;
    state.counters["history_med_us"] = historyMedian * 1e6;
    state.counters["share_med_pct"] = frameMedian > 0 ? 100.0 * historyMedian / frameMedian : 0.0;
    const double n = static_cast<double>(state.iterations());
    state.counters["frame_us"] = frameSeconds / n * 1e6;
    state.counters["history_us"] = historySeconds / n * 1e6;
    state.counters["share_pct"] = frameSeconds > 0 ? 100.0 * historySeconds / frameSeconds : 0.0;
    const TRewindBuffer& history = rewind.History();
    state.counters["memory_MB"] = static_cast<double>(history.MemoryBytes()) / (1 << 20);
    state.counters["stored_MB"] = static_cast<double>(history.StoredBytes()) / (1 << 20);
    state.counters["state_kB"] = static_cast<double>(history.Newest().size()) / 1024;
}

std::string TestRom(const char* name) { return std::string(TIRAVEL_BINARY_DIR) + "/tests/roms/" + name; }

void BM_HistoryDemo(benchmark::State& state) { RunWithHistory(state, TIRAVEL_DEMO_ROM); }
void BM_HistoryRenderHeavy(benchmark::State& state) { RunWithHistory(state, TestRom("bench_render.sms")); }
void BM_HistoryCpuBound(benchmark::State& state) { RunWithHistory(state, TestRom("bench_cpu.sms")); }
void BM_HistoryBatteryCounter(benchmark::State& state) { RunWithHistory(state, TestRom("speed.sms")); }

BENCHMARK(BM_HistoryDemo)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(3000);
BENCHMARK(BM_HistoryRenderHeavy)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(3000);
BENCHMARK(BM_HistoryCpuBound)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(3000);
BENCHMARK(BM_HistoryBatteryCounter)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(3000);

}  // namespace
