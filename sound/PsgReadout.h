// PsgReadout: the PSG's registers decoded for tools that show them (a
// debugger's sound view): tone periods as frequencies, attenuations as
// decibels, the noise mode and the latch. Toolkit-free; only reads the chip.
//
// Two sets of figures. The chip's: a tone of period p sounds at
// clock / (32 p) and each attenuation step is 2 dB, 15 = off. The core's:
// SNDEM steps its counters by a whole number of 16-clock units per sample
// (CounterStep = clock / 16 / sample rate, rounded down) and mixes a linear
// level 15 - attenuation, so what it plays differs a little from the chip;
// the Played figures say what comes out of this core.
//
// Nothing is locked: call it while the machine thread is stopped or
// waiting in its per-frame synchronised step.
#pragma once

struct T_PSG_CORE;

#include <cstdint>
#include <string>
#include <vector>

struct T_PSG_TONE_READOUT {
    uint16_t Period;       // 10-bit period register
    uint8_t PendingLowBits;// low 4 bits latched for the next data byte
    uint8_t Attenuation;   // 0-15
    uint8_t Off;           // attenuation 15
    double Hz;             // clock / (32 x period); 0 for period 0
    double PlayedHz;       // as SNDEM synthesises it; half the sample rate when it flips every sample
    uint8_t FlipsEverySample; // period <= CounterStep (period 0 included): the core's output toggles at each sample
    double Decibels;       // -2 x attenuation (the chip's scale); meaningless when Off
    uint8_t Level;         // 15 - attenuation, the amplitude SNDEM mixes
    double PlayedDecibels; // 20 log10(Level / 15); meaningless when Off
    uint8_t Output;        // the flip-flop, 0/1
    uint8_t Enabled;       // the Sound menu's switch for this channel
};

struct T_PSG_NOISE_READOUT {
    uint8_t Control;       // low 4 bits of the last control write
    uint8_t White;         // bit 2: 1 white, 0 periodic
    uint8_t Rate;          // bits 0-1: 0-2 fixed, 3 = tone 3's period
    uint8_t LinkedToTone3; // Rate == 3
    uint16_t Reload;       // 16, 32, 64 or tone 3's period (16-clock units)
    double ShiftHz;        // the shift register's rate: clock / (32 x Reload); 0 when Reload is 0
    double PeriodicHz;     // periodic noise repeats every 16 shifts: ShiftHz / 16 (0 for white)
    uint16_t Shift;        // the 16-bit shift register
    uint8_t Attenuation;
    uint8_t Off;
    double Decibels;
    uint8_t Level;
    double PlayedDecibels;
    uint8_t Enabled;
};

struct T_PSG_READOUT {
    uint32_t Clock;        // the input clock as the core keeps it (ClockDiv16 x 16)
    uint32_t SampleRate;
    uint32_t CounterStep;  // 16-clock units the counters fall per sample
    T_PSG_TONE_READOUT Tones[3];
    T_PSG_NOISE_READOUT Noise;
    uint8_t LatchedChannel; // 0-2 tones, 3 noise
    uint8_t LatchedType;    // 1 attenuation, 0 period / noise control
    std::string Latched;    // e.g. "Tone 2 period", "Noise attenuation"
    uint8_t MixerOn;
};
void PSG_Readout(const T_PSG_CORE& psg, T_PSG_READOUT& info);

// The chip's frequency of a tone period at a clock: clock / (32 x period),
// 0 for period 0.
double PSG_ToneHz(uint32_t clock, uint32_t period);
// The chip's attenuation in dB: -2 x attenuation (15 is off, not -30 dB).
double PSG_AttenuationDb(uint8_t attenuation);

// The decoded values as rows of text for a table view.
struct T_PSG_FIELD {
    std::string Name;
    std::string Value;
};
std::vector<T_PSG_FIELD> PSG_DescribeRegisters(const T_PSG_CORE& psg);
