// PSGChannels: the one-sample step of a tone channel and of the noise
// channel, inline so that the frame loop (on local copies of the state) and
// PSG_StepChannel (on the object's fields) run the same code.
//
// Counters that fall without bound. A channel whose period is below
// CounterStep loses (CounterStep - period) every sample and never comes back
// above 0; its output flips at every sample. A larger period written later
// has to climb all the way back, flipping at every sample until it does, so
// the depth reached is audible: it decides how long that climb lasts and the
// phase of the wave after it. Clamping the counter would shorten the climb;
// letting it run would overflow 32 bits after a few hours (about 2.7 h at
// the console's clock with period 0).
//
// So the counters work like 64-bit counters split in two: the stored int32
// value and a fold count. When a reload leaves the counter below
// PSG_COUNTER_FLOOR (-2^30), it is lifted by PSG_COUNTER_FOLD (2^29) and the
// fold count goes up; when a climbing counter with folds outstanding reaches
// PSG_COUNTER_UNFOLD (-2^28), one fold is taken back. While any fold is
// outstanding the stored value stays below -2^28, and so does the true value
// (stored - folds x 2^29): both are far below 0, so every decision (subtract,
// "below 0?", reload, flip) is the same as with unbounded arithmetic, and
// the climb back takes exactly as long. The arithmetic of one step is done
// in 64 bits, so a counter set anywhere in the int32 range (a test, a
// debugger) is handled too. The fold count is unsigned and saturates; at the
// fastest possible fall it would take centuries to fill.
#pragma once

#include <cstdint>

#include "SNDEM.h"

constexpr int64_t PSG_COUNTER_FLOOR = -(int64_t(1) << 30);
constexpr int64_t PSG_COUNTER_UNFOLD = -(int64_t(1) << 28);

// Brings a counter back inside the folded range (rarely taken).
void PSG_RebaseCounter(int64_t& counter, uint32_t& folds);

// A reload has just happened: fold or unfold when the counter left the band.
inline void PSG_KeepCounterInRange(int64_t& counter, uint32_t& folds) {
    if (counter < PSG_COUNTER_FLOOR || (folds != 0 && counter >= PSG_COUNTER_UNFOLD)) [[unlikely]]
        PSG_RebaseCounter(counter, folds);
}

// Tone channel: the flip-flop flips each time the counter passes below 0.
// Returns the bipolar level +-(15 - attenuation).
inline int32_t PSG_StepTone(int32_t& counter, uint32_t& folds, uint8_t& output, uint32_t period,
                            int32_t level, uint32_t step) {
    int64_t c = int64_t(counter) - step;
    if (c < 0) {
        c += period;
        output ^= 1;
        PSG_KeepCounterInRange(c, folds);
    }
    counter = int32_t(c);
    return output != 0 ? level : -level;
}

// The state the noise channel's step reads and writes.
struct TPsgNoiseState {
    int32_t Counter;
    uint32_t Folds;
    uint8_t Toggle;
    uint16_t Shift;
    uint8_t TapMask;
    uint8_t Rate;          // bits 0-1 of NoiseControl
    uint16_t ParityBits;   // bit i = bit 0 of ParityTable[i]
};

// Only bit 0 of a parity entry survives the shift into bit 15 of the 16-bit
// register, so the table can be read as one 16-bit mask.
inline uint16_t PSG_ParityBits(const T_PSG_CORE& psg) {
    uint16_t bits = 0;
    for (unsigned i = 0; i < 16; ++i) bits = uint16_t(bits | ((psg.ParityTable[i] & 1u) << i));
    return bits;
}

// Noise channel: reloads from the rate (16, 32, 64 or tone 3's current
// period); every second reload shifts the register. Returns the unipolar
// level: 15 - attenuation when bit 0 of the register is 1, else 0.
inline int32_t PSG_StepNoise(TPsgNoiseState& n, uint32_t tone3Period, int32_t level, uint32_t step) {
    int64_t c = int64_t(n.Counter) - step;
    if (c < 0) {
        c += n.Rate == 3 ? tone3Period : (16u << n.Rate);
        n.Toggle ^= 1;
        if (n.Toggle != 0) {
            const uint32_t feedback = (n.ParityBits >> (n.TapMask & n.Shift & 0x0F)) & 1u;
            n.Shift = uint16_t((n.Shift >> 1) | (feedback << 15));
        }
        PSG_KeepCounterInRange(c, n.Folds);
    }
    n.Counter = int32_t(c);
    return (n.Shift & 1u) != 0 ? level : 0;
}

inline TPsgNoiseState PSG_LoadNoise(const T_PSG_CORE& psg) {
    return TPsgNoiseState{psg.NoiseCounter, psg.CounterFolds[3], psg.NoiseToggle, psg.NoiseShift,
                          psg.NoiseTapMask, uint8_t(psg.NoiseControl & 3), PSG_ParityBits(psg)};
}

inline void PSG_StoreNoise(T_PSG_CORE& psg, const TPsgNoiseState& n) {
    psg.NoiseCounter = n.Counter;
    psg.CounterFolds[3] = n.Folds;
    psg.NoiseToggle = n.Toggle;
    psg.NoiseShift = n.Shift;
}
