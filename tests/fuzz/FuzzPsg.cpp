// Arbitrary PSG register writes interleaved with whole frames of synthesis,
// the channel switches and the status read-out, at either console's clock
// and frame rate.
#include <cstdint>

#include "SNDEM.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto* psg = new T_PSG_CORE();
    static auto* block = new T_PSG_SAMPLE_BLOCK();
    if (size == 0) return 0;
    *psg = T_PSG_CORE{};
    PSG_Reset(*psg);
    const bool pal = data[0] & 1;
    PSG_SetFrameRate(*psg, pal ? 50 : 60);
    PSG_SetClock(*psg, pal ? 3546893 : 3579545);

    // Bytes below 0xF0 are written as they stand; 0xF0-0xF7 render a frame;
    // 0xF8 writes the next byte (so that 0xF0-0xFF can be written too);
    // 0xF9-0xFD switch a channel or the mixer; 0xFE-0xFF read the status.
    std::size_t i = 1;
    auto next = [&]() -> uint8_t { return i < size ? data[i++] : 0; };
    while (i < size) {
        const uint8_t op = next();
        if (op < 0xF0) {
            PSG_WritePort(*psg, op);
        } else if (op < 0xF8) {
            PSG_RenderFrame(*psg, *block);
        } else {
            switch (op) {
            case 0xF8: PSG_WritePort(*psg, next()); break;
            case 0xF9: PSG_SetMixerEnabled(*psg, next() & 1); break;
            case 0xFA: PSG_SetTone1Enabled(*psg, next() & 1); break;
            case 0xFB: PSG_SetTone2Enabled(*psg, next() & 1); break;
            case 0xFC: PSG_SetTone3Enabled(*psg, next() & 1); break;
            case 0xFD: PSG_SetNoiseEnabled(*psg, next() & 1); break;
            default: {
                T_PSG_STATUS_INFO info{};
                PSG_GetStatus(*psg, info);
                break;
            }
            }
        }
    }
    PSG_RenderFrame(*psg, *block);
    return 0;
}
