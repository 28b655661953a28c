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

// The hardware models' chip (Exact = 1, PSGExact.cpp): the counters run at
// the clock divided by 16 and every write takes effect at its CPU cycle; the
// sound is made as band-limited steps at PSG_EXACT_SAMPLE_RATE (times the
// front end's rate factor), stereo, signed 16-bit.
constexpr uint32_t PSG_EXACT_SAMPLE_RATE = 48000;
// The band-limited step's length in output samples, and the buffer of
// pending sound: a PAL frame at the fastest rate control reaches 977
// samples, and a step spills this many past its own.
constexpr std::size_t PSG_EXACT_TAPS = 32;
constexpr std::size_t PSG_EXACT_BUFFER_SIZE = 1056;
constexpr std::size_t PSG_EXACT_MAX_PAIRS = PSG_EXACT_BUFFER_SIZE - PSG_EXACT_TAPS - 1;
// The channels' bits in ExactRouting, as the Game Gear's port 0x06 has them:
// bits 0-3 tones 1-3 and noise on the right, bits 4-7 on the left.
constexpr uint8_t PSG_ROUTING_BOTH = 0xFF;

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

    // ---- The hardware models' chip, set and used only when Exact is 1. It
    // keeps its registers in the fields above (periods, attenuations, noise
    // control, NoiseShift as its 16-bit shift register, the latch) and the
    // rest here.
    uint8_t Exact;             // the model: 0 the default model, 1 the real chip
    uint8_t ExactRouting;      // each channel's sides (PSG_ROUTING_BOTH: both)
    uint8_t ExactStereo;       // 1 once the sides differed: the right side has its own buffer
    uint8_t ExactSwitches;     // the channel and mixer switches the output was last made with
    uint16_t ExactCounter[4];  // ticks (16 clocks) until the next toggle: tones 1-3, noise
    uint8_t ExactFlipFlop[4];  // the tone outputs and the noise oscillator
    int32_t ExactCycle;        // the frame's CPU cycle the chip has run to
    int32_t ExactNextTick;     // the frame's CPU cycle of the next tick (at most 16 on)
    double ExactStep;          // output samples per CPU cycle
    double ExactNextStep;      // the same for the next frame (the rate control)
    double ExactFraction;      // output position of the frame's cycle 0, in samples (0-1)
    float ExactTotal[2];       // the summed level on each side now
    float ExactBuffer[2][PSG_EXACT_BUFFER_SIZE];  // the steps' deltas, one slot a sample
    double ExactSum[2];        // the running sum of the slots: the level before the DC blocker
    double ExactDcIn[2];       // the DC blocker's last input and output
    double ExactDcOut[2];
    uint32_t ExactPairs;       // the last frame's sample pairs in ExactOut
    int16_t ExactOut[2 * PSG_EXACT_MAX_PAIRS];
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

// The hardware models' chip. PSG_ResetExact starts it (PSG_Reset calls it
// when Exact is 1); PSG_SetExactRate gives the CPU clock and the output rate
// (48000 times the rate factor), which a running chip takes up at the next
// frame. PSG_WriteExact runs the chip up to the frame's CPU cycle `cycle`
// (never backwards: an earlier cycle counts as the current one) and then
// applies the byte. PSG_EndExactFrame runs it to the frame's end, puts the
// frame's samples into ExactOut and starts the next frame at cycle 0.
void PSG_ResetExact(T_PSG_CORE& psg);
void PSG_SetExactRate(T_PSG_CORE& psg, uint32_t clock, double samplesPerSecond);
void PSG_WriteExact(T_PSG_CORE& psg, uint8_t value, int32_t cycle);
void PSG_RunExact(T_PSG_CORE& psg, int32_t cycle);
void PSG_EndExactFrame(T_PSG_CORE& psg, int32_t frameCycles);
// Sums the channels' levels again from the registers (after a load).
void PSG_RecountExactLevels(T_PSG_CORE& psg);
// Routes each channel to the sides (port 0x06's layout), from `cycle` on.
void PSG_SetExactRouting(T_PSG_CORE& psg, uint8_t routing, int32_t cycle);

// The hardware models' part of a state: the counters, flip-flops, cycle
// position and the output's filters (the pending steps, the running sum, the
// DC blocker), so that a loaded state goes on without a click. Fixed-width
// little-endian; floating-point values as their IEEE bits.
constexpr std::size_t PSG_EXACT_STATE_SIZE = 4 + 4 + 1 + 1 + 1 + 4 * 2 + 4 + 8 + 2 * 8 * 3 + 2 * 4 * PSG_EXACT_BUFFER_SIZE;
void PSG_SaveExactState(const T_PSG_CORE& psg, uint8_t* out /* PSG_EXACT_STATE_SIZE bytes */);
bool PSG_ValidateExactState(const T_PSG_CORE& psg, const uint8_t* data, std::size_t size, std::string& reason);
void PSG_LoadExactState(T_PSG_CORE& psg, const uint8_t* data /* validated */);

void PSG_SetMixerEnabled(T_PSG_CORE& psg, uint8_t on);
void PSG_SetTone1Enabled(T_PSG_CORE& psg, uint8_t on);
void PSG_SetTone2Enabled(T_PSG_CORE& psg, uint8_t on);
void PSG_SetTone3Enabled(T_PSG_CORE& psg, uint8_t on);
void PSG_SetNoiseEnabled(T_PSG_CORE& psg, uint8_t on);
