// Arbitrary VDP port traffic (control and data writes, data, status and V
// counter reads) interleaved with scan lines, drawn or not, and the layer
// switches; at the end the frame is exported and the status read out.
//
// An input's line commands run at most eight frames' worth of lines, of
// which at most two frames' worth of visible lines are drawn; past that the
// lines still step the counters and interrupts, undrawn. Drawing the same
// registers and memories again reaches nothing new, and without the bounds
// a long input drew hundreds of frames: 85 inputs a second over ten minutes.
// Side by side for two minutes from the seeds, the bounded target ran 1,900
// inputs a second and reached 166 edges, the unbounded one 1,080 and 162.
#include <algorithm>
#include <cstdint>

#include "VDPEM.h"

namespace {

constexpr uint32_t kMaxLines = 8 * VDP_LINES_PER_FRAME;
constexpr uint32_t kMaxDrawnLines = 2 * VDP_SCREEN_HEIGHT;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto* vdp = new T_VDP_CORE();
    static auto* image = new uint8_t[VDP_FRAME_IMAGE_SIZE];
    *vdp = T_VDP_CORE{};
    VDP_Reset(*vdp);

    uint32_t line = 0;
    uint32_t linesRun = 0;    // by the input's line commands
    uint32_t linesDrawn = 0;  // visible lines drawn
    auto runLines = [&](uint32_t count, uint8_t draw) {
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t drawn = draw != 0 && linesDrawn < kMaxDrawnLines ? 1 : 0;
            if (drawn != 0 && line < VDP_SCREEN_HEIGHT) ++linesDrawn;
            VDP_RunLine(*vdp, line, drawn);
            line = (line + 1) % VDP_LINES_PER_FRAME;
        }
    };
    auto runInputLines = [&](uint32_t count, uint8_t draw) {
        count = std::min(count, kMaxLines - linesRun);
        linesRun += count;
        runLines(count, draw);
    };
    std::size_t i = 0;
    auto next = [&]() -> uint8_t { return i < size ? data[i++] : 0; };
    while (i < size) {
        const uint8_t op = next();
        switch (op & 7) {
        case 0: VDP_WriteControl(*vdp, next()); break;
        case 1: VDP_WriteData(*vdp, next()); break;
        case 2: VDP_ReadData(*vdp); break;
        case 3: VDP_ReadStatus(*vdp); break;
        case 4: VDP_ReadVCounter(*vdp); break;
        case 5: runInputLines(1 + (op >> 3), 1); break;            // up to 32 drawn lines
        case 6: runInputLines(1 + next(), (op >> 3) & 1); break;   // up to 256 lines
        case 7:
            if (op & 0x08) VDP_SetBackgroundLayer(*vdp, (op >> 4) & 1);
            else VDP_SetSpriteLayer(*vdp, (op >> 4) & 1);
            VDP_GetInterruptLine(*vdp);
            break;
        }
    }
    // Finish the frame (past the bound too), so that every input reaches the export.
    runLines(VDP_LINES_PER_FRAME - line, 1);
    VDP_ExportFrame(*vdp, image);
    T_VDP_STATUS_INFO info{};
    VDP_GetStatusInfo(*vdp, info);
    return 0;
}
