// Helpers shared by the PSG tests: a PSG set up as the machine sets it up,
// and the byte sequences the CPU writes.
#pragma once

#include <cstdint>

#include "SNDEM.h"

constexpr uint32_t kConsoleClock = 3579536;

// As at the machine's creation: reset, 60 frames per second, console clock.
inline T_PSG_CORE MakePsg() {
    T_PSG_CORE psg{};
    PSG_Reset(psg);
    PSG_SetFrameRate(psg, 60);
    PSG_SetClock(psg, kConsoleClock);
    return psg;
}

// Latch byte: channel 0-2 tones, 3 noise; type 1 attenuation, 0 period/control.
inline uint8_t Latch(uint8_t channel, uint8_t type, uint8_t low4) {
    return uint8_t(0x80 | (channel << 5) | (type << 4) | (low4 & 0x0F));
}

inline void WriteTonePeriod(T_PSG_CORE& psg, uint8_t channel, uint16_t period) {
    PSG_WritePort(psg, Latch(channel, 0, uint8_t(period & 0x0F)));
    PSG_WritePort(psg, uint8_t((period >> 4) & 0x3F));
}

inline void WriteAttenuation(T_PSG_CORE& psg, uint8_t channel, uint8_t attenuation) {
    PSG_WritePort(psg, Latch(channel, 1, attenuation));
}

// Only the given channels switched on (bit 0 tone 1 ... bit 3 noise).
inline void EnableOnly(T_PSG_CORE& psg, unsigned mask) {
    PSG_SetTone1Enabled(psg, (mask & 1) ? 1 : 0);
    PSG_SetTone2Enabled(psg, (mask & 2) ? 1 : 0);
    PSG_SetTone3Enabled(psg, (mask & 4) ? 1 : 0);
    PSG_SetNoiseEnabled(psg, (mask & 8) ? 1 : 0);
}
