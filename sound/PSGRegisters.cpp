// PSG set-up and register interface: reset, frame rate and clock, the latch
// and data bytes written by the CPU, the status read-out and the switches.
#include <algorithm>
#include <cstring>

#include "SNDEM.h"

void PSG_Reset(T_PSG_CORE& psg) {
    static constexpr uint8_t kParity[16] = {0, 1, 1, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 1, 1, 0};
    psg.SampleRate = 44100;
    psg.Tone1Attenuation = psg.Tone2Attenuation = psg.Tone3Attenuation = 15;
    psg.NoiseAttenuation = 15;
    psg.Tone1Output = psg.Tone2Output = psg.Tone3Output = 0;
    psg.NoiseToggle = 0;
    psg.Tone1Counter = psg.Tone2Counter = psg.Tone3Counter = psg.NoiseCounter = 0;
    std::memset(psg.CounterFolds, 0, sizeof psg.CounterFolds);
    psg.WhiteTapMask = 0x09;
    psg.PeriodicTapMask = 0x01;
    psg.NoiseSeed = 0x4000;
    std::memcpy(psg.ParityTable, kParity, sizeof kParity);
    if (psg.Exact == 1) PSG_ResetExact(psg);
}

// The sample buffer holds 1470 samples; a frame rate that would ask for more
// (below 30 at 44100, or 0) is given the whole buffer instead of writing
// past it.
void PSG_SetFrameRate(T_PSG_CORE& psg, uint32_t fps) {
    psg.FrameRate = fps;
    const uint32_t samples = fps == 0 ? uint32_t(PSG_SAMPLE_BUFFER_SIZE) : psg.SampleRate / fps;
    psg.SamplesPerFrame = std::min<uint32_t>(samples, PSG_SAMPLE_BUFFER_SIZE);
}

void PSG_SetClock(T_PSG_CORE& psg, uint32_t clock) {
    psg.ClockDiv16 = clock >> 4;
    // Before the first reset SampleRate is 0: leave the counters standing
    // rather than divide by it.
    psg.CounterStep = psg.SampleRate == 0 ? 0 : psg.ClockDiv16 / psg.SampleRate;
    psg.Tone1On = psg.Tone2On = psg.Tone3On = psg.NoiseOn = 1;
    psg.MixerOn = 1;
}

namespace {

// A latch byte carries the low 4 bits of a period, the data byte that
// follows the upper 6; only the data byte changes the period heard.
void WriteTone(const T_PSG_CORE& psg, uint8_t v, bool latch, uint8_t& attenuation, uint16_t& period,
               uint8_t& lowBits) {
    if (psg.LatchedType == 1) {
        attenuation = v & 0x0F;
    } else if (latch) {
        lowBits = v & 0x0F;
    } else {
        period = uint16_t(((v & 0x3F) << 4) | lowBits);
    }
}

// Any noise control write, latch or data, restarts the shift register.
void WriteNoise(T_PSG_CORE& psg, uint8_t v) {
    if (psg.LatchedType == 1) {
        psg.NoiseAttenuation = v & 0x0F;
    } else {
        psg.NoiseTapMask = (v & 0x04) != 0 ? psg.WhiteTapMask : psg.PeriodicTapMask;
        psg.NoiseShift = psg.NoiseSeed;
        psg.NoiseControl = v & 0x0F;
    }
}

}  // namespace

void PSG_WritePort(T_PSG_CORE& psg, uint8_t value) {
    const bool latch = (value & 0x80) != 0;
    if (latch) {
        psg.LatchedChannel = (value >> 5) & 0x03;
        psg.LatchedType = (value >> 4) & 0x01;
    }
    switch (psg.LatchedChannel) {
    case 0: WriteTone(psg, value, latch, psg.Tone1Attenuation, psg.Tone1Period, psg.Tone1LowBits); break;
    case 1: WriteTone(psg, value, latch, psg.Tone2Attenuation, psg.Tone2Period, psg.Tone2LowBits); break;
    case 2: WriteTone(psg, value, latch, psg.Tone3Attenuation, psg.Tone3Period, psg.Tone3LowBits); break;
    case 3: WriteNoise(psg, value); break;
    default: break;
    }
}

void PSG_GetStatus(const T_PSG_CORE& psg, T_PSG_STATUS_INFO& info) {
    info.Tone1Attenuation = psg.Tone1Attenuation;
    info.Tone1Period = psg.Tone1Period;
    info.Tone2Attenuation = psg.Tone2Attenuation;
    info.Tone2Period = psg.Tone2Period;
    info.Tone3Attenuation = psg.Tone3Attenuation;
    info.Tone3Period = psg.Tone3Period;
    info.NoiseAttenuation = psg.NoiseAttenuation;
    info.NoiseControl = psg.NoiseControl;
}

void PSG_SetMixerEnabled(T_PSG_CORE& psg, uint8_t on) { psg.MixerOn = on; }
void PSG_SetTone1Enabled(T_PSG_CORE& psg, uint8_t on) { psg.Tone1On = on; }
void PSG_SetTone2Enabled(T_PSG_CORE& psg, uint8_t on) { psg.Tone2On = on; }
void PSG_SetTone3Enabled(T_PSG_CORE& psg, uint8_t on) { psg.Tone3On = on; }
void PSG_SetNoiseEnabled(T_PSG_CORE& psg, uint8_t on) { psg.NoiseOn = on; }
