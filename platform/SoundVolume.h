// The output's volume, applied where a sound card takes the samples, never
// to the console's own: on 8-bit unsigned mono (128 silent) and on signed
// 16-bit samples; 100 (percent) leaves them as they are.
#pragma once

#include <cstdint>

inline void Sound_ApplyVolume(uint8_t* samples, uint32_t count, uint8_t percent) {
    if (percent >= 100) return;
    for (uint32_t i = 0; i < count; ++i) samples[i] = static_cast<uint8_t>(128 + (samples[i] - 128) * percent / 100);
}

inline void Sound_ApplyVolume(int16_t* samples, uint32_t count, uint8_t percent) {
    if (percent >= 100) return;
    for (uint32_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(samples[i] * percent / 100);
}
