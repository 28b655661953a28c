// Arbitrary VDP port traffic (control and data writes, data, status and V
// counter reads) interleaved with scan lines, drawn or not, and the layer
// switches; at the end the frame is exported and the status read out.
#include <cstdint>

#include "VDPEM.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto* vdp = new T_VDP_CORE();
    static auto* image = new uint8_t[VDP_FRAME_IMAGE_SIZE];
    *vdp = T_VDP_CORE{};
    VDP_Reset(*vdp);

    uint32_t line = 0;
    auto runLines = [&](uint32_t count, uint8_t draw) {
        for (uint32_t i = 0; i < count; ++i) {
            VDP_RunLine(*vdp, line, draw);
            line = (line + 1) % VDP_LINES_PER_FRAME;
        }
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
        case 5: runLines(1 + (op >> 3), 1); break;            // up to 32 drawn lines
        case 6: runLines(1 + next(), (op >> 3) & 1); break;   // up to 256 lines
        case 7:
            if (op & 0x08) VDP_SetBackgroundLayer(*vdp, (op >> 4) & 1);
            else VDP_SetSpriteLayer(*vdp, (op >> 4) & 1);
            VDP_GetInterruptLine(*vdp);
            break;
        }
    }
    // Finish the frame, so that every input reaches the export.
    runLines(VDP_LINES_PER_FRAME - line, 1);
    VDP_ExportFrame(*vdp, image);
    T_VDP_STATUS_INFO info{};
    VDP_GetStatusInfo(*vdp, info);
    return 0;
}
