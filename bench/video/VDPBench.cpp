// Whole drawn frames (262 lines, 192 drawn) of a busy scene: fine horizontal
// scroll, every column with mixed flips, palettes and priority, and 64
// sprites of 8 x 16 in bands where about 16 cover each line; on the default
// model's VDP, on the 315-5246 (the hardware models' line step, which
// keeps eight sprites a line and looks for collisions between them) and on
// the Game Gear's (the same, with its 160 x 144 window and palette slots;
// the scene's CRAM bytes become 16 colour words there).
#include "VDPEM.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

void Control(T_VDP_CORE& vdp, uint8_t first, uint8_t second)
{
    VDP_WriteControl(vdp, first);
    VDP_WriteControl(vdp, second);
}

void BuildScene(T_VDP_CORE& vdp)
{
    Control(vdp, 0x00, 0xC0);
    for (uint32_t i = 0; i < 32; ++i)
        VDP_WriteData(vdp, static_cast<uint8_t>(i * 7 + 3));
    Control(vdp, 0x00, 0x40); // pseudo-random patterns for 448 tiles
    uint32_t seed = 12345;
    for (uint32_t i = 0; i < 0x3800; ++i) {
        seed = seed * 1103515245 + 12345;
        VDP_WriteData(vdp, static_cast<uint8_t>(seed >> 16));
    }
    for (uint32_t cell = 0; cell < 32 * 28; ++cell) { // name table at 0x3800
        const uint16_t entry = static_cast<uint16_t>((cell % 448) | ((cell % 4) << 9) | ((cell % 3 == 0) << 11) |
                                                     ((cell % 5 == 0) << 12));
        VDP_WriteData(vdp, static_cast<uint8_t>(entry));
        VDP_WriteData(vdp, static_cast<uint8_t>(entry >> 8));
    }
    // 64 sprites of 16 lines make 1024 sprite rows a frame; they are put in
    // 4 bands of 16 so that each line of a band crosses about 16 of them.
    Control(vdp, 0x00, 0x7F);
    for (uint32_t s = 0; s < 64; ++s)
        VDP_WriteData(vdp, static_cast<uint8_t>(s / 16 * 48 + s % 4));
    Control(vdp, 0x80, 0x7F);
    for (uint32_t s = 0; s < 64; ++s) {
        VDP_WriteData(vdp, static_cast<uint8_t>(s * 13));
        VDP_WriteData(vdp, static_cast<uint8_t>(s * 2));
    }
    Control(vdp, 0x63, 0x81); // display on, frame interrupts, 8 x 16 sprites
    Control(vdp, 0x05, 0x88); // fine horizontal scroll
    Control(vdp, 0x10, 0x89);
}

void DrawnFrames(benchmark::State& state, uint8_t model)
{
    auto vdp = std::make_unique<T_VDP_CORE>();
    vdp->Model = model;
    VDP_Reset(*vdp);
    BuildScene(*vdp);
    for (auto _ : state) {
        for (uint32_t line = 0; line < VDP_LINES_PER_FRAME; ++line)
            VDP_RunLine(*vdp, line, 1);
        VDP_ReadStatus(*vdp);
        benchmark::DoNotOptimize(vdp->FrameImage[VDP_FRAME_PIXEL_OFFSET]);
    }
    state.counters["frames"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK_CAPTURE(DrawnFrames, Tiravel, VDP_MODEL_TIRAVEL);
BENCHMARK_CAPTURE(DrawnFrames, Vdp315_5246, VDP_MODEL_315_5246);
BENCHMARK_CAPTURE(DrawnFrames, GameGear, VDP_MODEL_GAME_GEAR);
