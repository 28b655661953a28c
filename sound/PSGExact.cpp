// The hardware models' sound chip: the SN76489-style PSG inside the Master
// System's VDP, run at its own clock with every write at its CPU cycle, and
// its output made as band-limited steps at 48 kHz.
//
// The chip. A fixed divide-by-16 stage ticks four down-counters. A tone
// counter that reaches 0 reloads its 10-bit period and flips the tone's
// output, so a period N gives clock / (32 N). Periods 0 and 1 hold the output
// high: volume writes then set the level directly, which is how programs
// play samples. The noise counter reloads 16, 32, 64 or tone 3's period and
// flips an oscillator; each low-to-high flip shifts the 16-bit register
// (taps on bits 0 and 3 for white noise, bit 0 alone for periodic noise),
// whose bit 0 is the noise output. Any write to the noise control reloads
// the register with 0x8000. Each channel is unipolar: high is its level
// (2 dB an attenuation step, 15 off), low is 0; the board's coupling
// capacitor removes the sum's DC, and a first-order high-pass at 5 Hz does
// here.
//
// Time. The counters advance only at ticks, so between two events (a
// toggle, a write) the output is constant: the chip is run from event to
// event, not tick by tick. A tone whose period is 4 or less toggles at 28
// kHz or faster: everything it makes lies above the band the output keeps,
// so it contributes its average (half its level, or all of it when held
// high) and its counter is advanced arithmetically.
//
// Output. The output is the sum's steps. Each step is added to a buffer as a
// band-limited impulse (a Kaiser-windowed sinc, cut off at 24 kHz, 32
// samples long, interpolated between 64 phases), and the buffer's running
// sum is the band-limited output. The impulse's stopband starts below 28
// kHz, so nothing folds below 20 kHz: the 112 kHz edges of sample playback
// and the harmonics of every square wave are gone before they can alias. A
// frame costs one short step per level change and one sum per sample,
// whatever the clock.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "SNDEM.h"

namespace {

constexpr uint32_t kTaps = PSG_EXACT_TAPS;
constexpr uint32_t kPhases = 64;
constexpr int32_t kCyclesPerTick = 16;
// Periods at or below this toggle at 28 kHz or faster (clock / (32 x 4)).
constexpr uint16_t kAveragedPeriod = 4;
// The DC blocker's pole: a 5 Hz corner at 48 kHz.
constexpr double kDcPole = 0.99934570;

// B.4's amplitudes (x32767 for v = 0-14, 15 silent), a quarter of them so
// that four channels at full level stay within 16 bits.
constexpr float kLevel[16] = {32767 / 4.0f, 26028 / 4.0f, 20675 / 4.0f, 16422 / 4.0f, 13045 / 4.0f, 10362 / 4.0f,
                              8231 / 4.0f,  6538 / 4.0f,  5193 / 4.0f,  4125 / 4.0f,  3277 / 4.0f,  2603 / 4.0f,
                              2067 / 4.0f,  1642 / 4.0f,  1304 / 4.0f,  0.0f};

// The band-limited impulse, sampled at kPhases + 1 offsets between two
// output samples, each row summing to 1 (so the running sum settles on the
// step's exact height); Slope holds the difference to the next row.
struct TKernel {
    float Row[kPhases + 1][kTaps];
    float Slope[kPhases][kTaps];
    TKernel() {
        constexpr double kPi = 3.14159265358979323846;
        constexpr double kBeta = 7.0;
        const auto bessel0 = [](double x) {
            double sum = 1.0, term = 1.0;
            for (int k = 1; k < 30; ++k) {
                term *= (x / (2.0 * k)) * (x / (2.0 * k));
                sum += term;
            }
            return sum;
        };
        const double half = kTaps / 2.0;
        for (uint32_t p = 0; p <= kPhases; ++p) {
            double row[kTaps];
            double total = 0.0;
            for (uint32_t k = 0; k < kTaps; ++k) {
                // A step at fraction f after sample i reaches slots i+1 ...
                // i+kTaps; the impulse's centre lies kTaps/2 slots on.
                const double x = double(k) + 1.0 - double(p) / kPhases - half;
                const double sinc = x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
                const double r = x / half;
                const double window = r * r >= 1.0 ? 0.0 : bessel0(kBeta * std::sqrt(1.0 - r * r)) / bessel0(kBeta);
                row[k] = sinc * window;
                total += row[k];
            }
            for (uint32_t k = 0; k < kTaps; ++k) Row[p][k] = float(row[k] / total);
        }
        for (uint32_t p = 0; p < kPhases; ++p)
            for (uint32_t k = 0; k < kTaps; ++k) Slope[p][k] = Row[p + 1][k] - Row[p][k];
    }
};

const TKernel& Kernel() {
    static const TKernel kernel;
    return kernel;
}

inline uint16_t TonePeriod(const T_PSG_CORE& psg, unsigned channel) {
    return channel == 0 ? psg.Tone1Period : channel == 1 ? psg.Tone2Period : psg.Tone3Period;
}

inline uint8_t Attenuation(const T_PSG_CORE& psg, unsigned channel) {
    switch (channel) {
    case 0: return psg.Tone1Attenuation;
    case 1: return psg.Tone2Attenuation;
    case 2: return psg.Tone3Attenuation;
    default: return psg.NoiseAttenuation;
    }
}

// A period of 0 counts as 1, as on Sega's chip (TI's parts take it as 1024).
inline uint16_t Reload(uint16_t period) { return period == 0 ? 1 : period; }

inline uint16_t NoiseReload(const T_PSG_CORE& psg) {
    const unsigned rate = psg.NoiseControl & 3;
    return rate == 3 ? Reload(psg.Tone3Period) : uint16_t(16u << rate);
}

// The switches as one byte: bits 0-3 the channels, bit 4 the mixer.
inline uint8_t Switches(const T_PSG_CORE& psg) {
    return uint8_t((psg.Tone1On == 1 ? 1 : 0) | (psg.Tone2On == 1 ? 2 : 0) | (psg.Tone3On == 1 ? 4 : 0) |
                   (psg.NoiseOn == 1 ? 8 : 0) | (psg.MixerOn == 1 ? 16 : 0));
}

// What a channel puts on the sum now (before its routing).
inline float ChannelLevel(const T_PSG_CORE& psg, unsigned channel) {
    const uint8_t switches = psg.ExactSwitches;
    if ((switches & 16) == 0 || (switches & (1u << channel)) == 0) return 0.0f;
    const float level = kLevel[Attenuation(psg, channel) & 15];
    if (channel == 3) return (psg.NoiseShift & 1) != 0 ? level : 0.0f;
    const uint16_t period = TonePeriod(psg, channel);
    if (period <= 1) return level;
    if (period <= kAveragedPeriod) return 0.5f * level;
    return psg.ExactFlipFlop[channel] != 0 ? level : 0.0f;
}

// Adds a step of the given heights at the frame's CPU cycle `cycle`.
void AddStep(T_PSG_CORE& psg, int32_t cycle, float left, float right) {
    const double position = psg.ExactFraction + double(cycle) * psg.ExactStep;
    const uint32_t slot = uint32_t(position);
    const double phase = (position - slot) * kPhases;
    const uint32_t row = std::min<uint32_t>(uint32_t(phase), kPhases - 1);
    const float between = float(phase - row);
    const TKernel& kernel = Kernel();
    const float* base = kernel.Row[row];
    const float* slope = kernel.Slope[row];
    // A step never lands past the buffer: the frame ends first (see the size).
    float* out = psg.ExactBuffer[0] + std::min<uint32_t>(slot, PSG_EXACT_MAX_PAIRS) + 1;
    for (uint32_t k = 0; k < kTaps; ++k) out[k] += left * (base[k] + between * slope[k]);
    if (psg.ExactStereo != 0) {
        out = psg.ExactBuffer[1] + std::min<uint32_t>(slot, PSG_EXACT_MAX_PAIRS) + 1;
        for (uint32_t k = 0; k < kTaps; ++k) out[k] += right * (base[k] + between * slope[k]);
    }
}

inline void Sum(const T_PSG_CORE& psg, float& left, float& right) {
    left = right = 0.0f;
    const uint8_t routing = psg.ExactRouting;
    for (unsigned channel = 0; channel < 4; ++channel) {
        const float level = ChannelLevel(psg, channel);
        if (routing & (0x10u << channel)) left += level;
        if (routing & (0x01u << channel)) right += level;
    }
}

// Sums the channels onto the sides; a change is a step at `cycle`.
void Settle(T_PSG_CORE& psg, int32_t cycle) {
    float left, right;
    Sum(psg, left, right);
    if (left == psg.ExactTotal[0] && right == psg.ExactTotal[1]) return;
    AddStep(psg, cycle, left - psg.ExactTotal[0], right - psg.ExactTotal[1]);
    psg.ExactTotal[0] = left;
    psg.ExactTotal[1] = right;
}

// `ticks` ticks of a counter that reloads `reload`: the toggles it makes.
inline uint32_t Advance(uint16_t& counter, uint16_t reload, uint32_t ticks) {
    if (ticks < counter) {
        counter = uint16_t(counter - ticks);
        return 0;
    }
    const uint32_t past = ticks - counter;
    counter = uint16_t(reload - past % reload);
    return 1 + past / reload;
}

// One shift of the noise register.
inline uint16_t Shift(uint16_t lfsr, bool white) {
    const uint32_t feedback = white ? ((lfsr ^ (lfsr >> 3)) & 1u) : (lfsr & 1u);
    return uint16_t((lfsr >> 1) | (feedback << 15));
}

}  // namespace

void PSG_ResetExact(T_PSG_CORE& psg) {
    for (unsigned channel = 0; channel < 4; ++channel) {
        psg.ExactCounter[channel] = 1;
        psg.ExactFlipFlop[channel] = 0;
    }
    psg.NoiseShift = 0x8000;
    psg.ExactRouting = PSG_ROUTING_BOTH;
    psg.ExactStereo = 0;
    psg.ExactCycle = 0;
    psg.ExactNextTick = 0;
    psg.ExactFraction = 0.0;
    psg.ExactTotal[0] = psg.ExactTotal[1] = 0.0f;
    std::memset(psg.ExactBuffer, 0, sizeof psg.ExactBuffer);
    for (int side = 0; side < 2; ++side) psg.ExactSum[side] = psg.ExactDcIn[side] = psg.ExactDcOut[side] = 0.0;
    psg.ExactPairs = 0;
    psg.ExactSwitches = Switches(psg);
    Settle(psg, 0);
}

void PSG_RecountExactLevels(T_PSG_CORE& psg) { Sum(psg, psg.ExactTotal[0], psg.ExactTotal[1]); }

void PSG_SetExactRate(T_PSG_CORE& psg, uint32_t clock, double samplesPerSecond) {
    const double step = clock == 0 ? 0.0 : samplesPerSecond / clock;
    psg.ExactNextStep = step;
    if (psg.ExactStep == 0.0) psg.ExactStep = step;
}

void PSG_RunExact(T_PSG_CORE& psg, int32_t cycle) {
    if (cycle <= psg.ExactCycle) return;
    const int32_t from = psg.ExactCycle;
    psg.ExactCycle = cycle;
    // A switch changed since the last run (a front end's, between frames).
    const uint8_t switches = Switches(psg);
    if (switches != psg.ExactSwitches) {
        psg.ExactSwitches = switches;
        Settle(psg, from);
    }
    if (psg.ExactNextTick >= cycle) return;
    const uint32_t ticks = uint32_t(cycle - 1 - psg.ExactNextTick) / kCyclesPerTick + 1;
    // Tones that toggle slowly enough to be heard are run event by event
    // with the noise; the fast ones are advanced in one go at the end.
    bool slow[3];
    uint16_t reload[3];
    for (unsigned channel = 0; channel < 3; ++channel) {
        reload[channel] = Reload(TonePeriod(psg, channel));
        slow[channel] = TonePeriod(psg, channel) > kAveragedPeriod;
    }
    const bool white = (psg.NoiseControl & 4) != 0;
    uint16_t* counter = psg.ExactCounter;
    uint32_t left = ticks;
    for (;;) {
        uint32_t next = counter[3];
        for (unsigned channel = 0; channel < 3; ++channel)
            if (slow[channel]) next = std::min<uint32_t>(next, counter[channel]);
        if (next > left) {
            for (unsigned channel = 0; channel < 3; ++channel)
                if (slow[channel]) counter[channel] = uint16_t(counter[channel] - left);
            counter[3] = uint16_t(counter[3] - left);
            psg.ExactNextTick += int32_t(left) * kCyclesPerTick;
            break;
        }
        const int32_t at = psg.ExactNextTick + int32_t(next - 1) * kCyclesPerTick;
        psg.ExactNextTick += int32_t(next) * kCyclesPerTick;
        left -= next;
        bool changed = false;
        for (unsigned channel = 0; channel < 3; ++channel) {
            if (!slow[channel]) continue;
            counter[channel] = uint16_t(counter[channel] - next);
            if (counter[channel] == 0) {
                counter[channel] = reload[channel];
                psg.ExactFlipFlop[channel] ^= 1;
                changed = true;
            }
        }
        counter[3] = uint16_t(counter[3] - next);
        if (counter[3] == 0) {
            counter[3] = NoiseReload(psg);
            psg.ExactFlipFlop[3] ^= 1;
            if (psg.ExactFlipFlop[3] != 0) {
                const uint16_t before = psg.NoiseShift;
                psg.NoiseShift = Shift(before, white);
                changed = changed || ((before ^ psg.NoiseShift) & 1) != 0;
            }
        }
        if (changed) Settle(psg, at);
        if (left == 0) break;
    }
    for (unsigned channel = 0; channel < 3; ++channel)
        if (!slow[channel])
            psg.ExactFlipFlop[channel] ^= uint8_t(Advance(counter[channel], reload[channel], ticks) & 1);
}

// B.3: a latch byte selects the register and sets its low 4 bits; a data
// byte sets a period's upper 6 bits, or replaces a volume or the noise
// control. Only the level the write makes is a step; a new period is taken
// at the counter's next reload.
void PSG_WriteExact(T_PSG_CORE& psg, uint8_t value, int32_t cycle) {
    cycle = std::max(cycle, psg.ExactCycle);
    PSG_RunExact(psg, cycle);
    const bool latch = (value & 0x80) != 0;
    if (latch) {
        psg.LatchedChannel = (value >> 5) & 0x03;
        psg.LatchedType = (value >> 4) & 0x01;
    }
    const unsigned channel = psg.LatchedChannel;
    if (psg.LatchedType == 1) {
        const uint8_t attenuation = value & 0x0F;
        switch (channel) {
        case 0: psg.Tone1Attenuation = attenuation; break;
        case 1: psg.Tone2Attenuation = attenuation; break;
        case 2: psg.Tone3Attenuation = attenuation; break;
        default: psg.NoiseAttenuation = attenuation; break;
        }
    } else if (channel < 3) {
        uint16_t& period = channel == 0 ? psg.Tone1Period : channel == 1 ? psg.Tone2Period : psg.Tone3Period;
        uint8_t& lowBits = channel == 0 ? psg.Tone1LowBits : channel == 1 ? psg.Tone2LowBits : psg.Tone3LowBits;
        period = latch ? uint16_t((period & 0x3F0) | (value & 0x0F)) : uint16_t(((value & 0x3F) << 4) | (period & 0x0F));
        lowBits = uint8_t(period & 0x0F);
    } else {
        psg.NoiseControl = value & 0x07;
        psg.NoiseTapMask = (value & 0x04) != 0 ? psg.WhiteTapMask : psg.PeriodicTapMask;
        psg.NoiseShift = 0x8000;
    }
    Settle(psg, cycle);
}

void PSG_SetExactRouting(T_PSG_CORE& psg, uint8_t routing, int32_t cycle) {
    cycle = std::max(cycle, psg.ExactCycle);
    PSG_RunExact(psg, cycle);
    if (routing != PSG_ROUTING_BOTH && psg.ExactStereo == 0) {
        // Until now the right side was the left's copy: give it its own.
        std::memcpy(psg.ExactBuffer[1], psg.ExactBuffer[0], sizeof psg.ExactBuffer[0]);
        psg.ExactSum[1] = psg.ExactSum[0];
        psg.ExactDcIn[1] = psg.ExactDcIn[0];
        psg.ExactDcOut[1] = psg.ExactDcOut[0];
        psg.ExactStereo = 1;
    }
    psg.ExactRouting = routing;
    Settle(psg, cycle);
}

void PSG_EndExactFrame(T_PSG_CORE& psg, int32_t frameCycles) {
    PSG_RunExact(psg, frameCycles);
    const double end = psg.ExactFraction + double(frameCycles) * psg.ExactStep;
    const uint32_t count = std::min<uint32_t>(uint32_t(end), PSG_EXACT_MAX_PAIRS);
    const int sides = psg.ExactStereo != 0 ? 2 : 1;
    for (int side = 0; side < sides; ++side) {
        const float* in = psg.ExactBuffer[side];
        double sum = psg.ExactSum[side], dcIn = psg.ExactDcIn[side], dcOut = psg.ExactDcOut[side];
        int16_t* out = psg.ExactOut + side;
        for (uint32_t i = 0; i < count; ++i) {
            sum += in[i];
            dcOut = sum - dcIn + kDcPole * dcOut;
            dcIn = sum;
            const double v = std::clamp(dcOut, -32768.0, 32767.0);
            out[2 * i] = int16_t(std::lrint(v));
        }
        psg.ExactSum[side] = sum;
        psg.ExactDcIn[side] = dcIn;
        psg.ExactDcOut[side] = dcOut;
        // The steps that spill into the next frame's samples move down.
        float* buffer = psg.ExactBuffer[side];
        std::memmove(buffer, buffer + count, (kTaps + 1) * sizeof(float));
        std::memset(buffer + kTaps + 1, 0, count * sizeof(float));
    }
    if (sides == 1)
        for (uint32_t i = 0; i < count; ++i) psg.ExactOut[2 * i + 1] = psg.ExactOut[2 * i];
    psg.ExactPairs = count;
    psg.ExactFraction = end - count;
    psg.ExactCycle -= frameCycles;
    psg.ExactNextTick -= frameCycles;
    psg.ExactStep = psg.ExactNextStep;
}
