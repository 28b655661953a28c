// SNDEM: the console's programmable sound generator (an SN76489-style chip).
//
// Three square-wave tone channels and one noise channel, each with a 4-bit
// attenuation. The CPU writes latch and data bytes through the I/O bus; once
// per frame PSG_RenderFrame synthesises the whole frame's samples from the
// registers as they stand, as unsigned 8-bit mono PCM (128 = silence).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr std::size_t PSG_SAMPLE_BUFFER_SIZE = 1470;

// A counter's true value is its stored value minus CounterFolds x this.
constexpr int64_t PSG_COUNTER_FOLD = int64_t(1) << 29;

// Zero-filled on creation (no constructor); PSG_Reset, PSG_SetFrameRate and
// PSG_SetClock give the start values.
struct T_PSG_CORE {
    uint8_t Tone1Attenuation;
    uint16_t Tone1Period;
    uint8_t Tone1Output;
    uint8_t Tone1LowBits;
    uint8_t Tone1On;
    uint8_t Tone2Attenuation;
    uint16_t Tone2Period;
    uint8_t Tone2Output;
    uint8_t Tone2LowBits;
    uint8_t Tone2On;
    uint8_t Tone3Attenuation;
    uint16_t Tone3Period;
    uint8_t Tone3Output;
    uint8_t Tone3LowBits;
    uint8_t Tone3On;
    uint8_t NoiseAttenuation;
    uint8_t NoiseControl;     // bits 0-1 rate, bit 2 white noise, bit 3 stored only
    uint8_t NoiseToggle;
    uint8_t NoiseOn;
    uint8_t NoiseTapMask;
    uint8_t PeriodicTapMask;
    uint8_t WhiteTapMask;
    uint16_t NoiseSeed;
    uint16_t NoiseShift;
    uint8_t ParityTable[16];
    uint8_t MixerOn;
    int32_t Tone1Counter;     // down-counters in units of 16 PSG clocks
    int32_t Tone2Counter;
    int32_t Tone3Counter;
    int32_t NoiseCounter;
    uint8_t LatchedChannel;   // 0-2 tones, 3 noise
    uint8_t LatchedType;      // 1 = attenuation, 0 = period / noise control
    uint32_t SampleRate;
    uint32_t ClockDiv16;
    uint32_t CounterStep;
    uint32_t SamplesPerFrame;
    uint32_t FrameRate;
    uint8_t SampleBuffer[PSG_SAMPLE_BUFFER_SIZE];
    // How many times each counter (tones 1-3, noise) has been lifted by
    // PSG_COUNTER_FOLD to keep it inside 32 bits; see PSGChannels.h.
    uint32_t CounterFolds[4];
};

// One frame's samples; the first SamplesPerFrame bytes are valid.
struct T_PSG_SAMPLE_BLOCK {
    uint8_t Samples[PSG_SAMPLE_BUFFER_SIZE];
};

// Register values shown by the "PSG STATUS" overlay.
struct T_PSG_STATUS_INFO {
    uint16_t Tone1Attenuation;
    uint16_t Tone1Period;
    uint16_t Tone2Attenuation;
    uint16_t Tone2Period;
    uint16_t Tone3Attenuation;
    uint16_t Tone3Period;
    uint16_t NoiseAttenuation;
    uint16_t NoiseControl;
};

void PSG_Reset(T_PSG_CORE& psg);
void PSG_SetFrameRate(T_PSG_CORE& psg, uint32_t fps);
void PSG_SetClock(T_PSG_CORE& psg, uint32_t clock);
void PSG_WritePort(T_PSG_CORE& psg, uint8_t value);
int32_t PSG_StepChannel(T_PSG_CORE& psg, uint32_t channel);
void PSG_RenderFrame(T_PSG_CORE& psg, T_PSG_SAMPLE_BLOCK& block);
void PSG_GetStatus(const T_PSG_CORE& psg, T_PSG_STATUS_INFO& info);

// Saved states. The PSG's part is PSG_STATE_SIZE bytes: each channel's
// registers, counter (with its fold count) and output, the noise shift
// register and the latch. The channel and mixer switches are the user's,
// and the clock, rate and parity constants belong to the machine's set-up;
// neither is part of it. PSG_ValidateState checks every value without
// changing anything; PSG_LoadState applies a validated part.
constexpr std::size_t PSG_STATE_SIZE = 3 * 13 + 14 + 2;
void PSG_SaveState(const T_PSG_CORE& psg, uint8_t* out /* PSG_STATE_SIZE bytes */);
bool PSG_ValidateState(const T_PSG_CORE& psg, const uint8_t* data, std::size_t size, std::string& reason);
void PSG_LoadState(T_PSG_CORE& psg, const uint8_t* data /* validated, PSG_STATE_SIZE bytes */);

void PSG_SetMixerEnabled(T_PSG_CORE& psg, uint8_t on);
void PSG_SetTone1Enabled(T_PSG_CORE& psg, uint8_t on);
void PSG_SetTone2Enabled(T_PSG_CORE& psg, uint8_t on);
void PSG_SetTone3Enabled(T_PSG_CORE& psg, uint8_t on);
void PSG_SetNoiseEnabled(T_PSG_CORE& psg, uint8_t on);
