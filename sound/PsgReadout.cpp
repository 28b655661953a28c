// PsgReadout: the PSG's registers decoded for tool views, in the chip's
// terms and in the terms of what SNDEM actually synthesises.
#include "PsgReadout.h"

#include "SNDEM.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

double PSG_ToneHz(uint32_t clock, uint32_t period)
{
    return period == 0 ? 0.0 : double(clock) / (32.0 * period);
}

double PSG_AttenuationDb(uint8_t attenuation)
{
    return -2.0 * (attenuation & 0x0F);
}

namespace {

// A counter falls by `step` units a sample and is reloaded with `reload`
// each time it passes below 0, flipping the output. Over time that is one
// flip every reload / step samples, but never more than one per sample.
double PlayedFlipRate(uint32_t sampleRate, uint32_t step, uint32_t reload)
{
    if (step == 0)
        return 0.0; // no clock set: the counters stand still
    if (reload <= step)
        return sampleRate;
    return double(sampleRate) * step / reload;
}

double LevelDb(uint8_t level)
{
    return 20.0 * std::log10(level / 15.0);
}

void Volume(uint8_t attenuation, uint8_t& att, uint8_t& off, double& db, uint8_t& level, double& playedDb)
{
    att = attenuation & 0x0F;
    off = att == 15 ? 1 : 0;
    db = PSG_AttenuationDb(att);
    level = static_cast<uint8_t>(15 - att);
    playedDb = LevelDb(level);
}

T_PSG_TONE_READOUT Tone(const T_PSG_CORE& psg, uint32_t clock, uint16_t period, uint8_t lowBits,
                        uint8_t attenuation, uint8_t output, uint8_t on)
{
    T_PSG_TONE_READOUT t{};
    t.Period = period;
    t.PendingLowBits = lowBits & 0x0F;
    Volume(attenuation, t.Attenuation, t.Off, t.Decibels, t.Level, t.PlayedDecibels);
    t.Hz = PSG_ToneHz(clock, period);
    // Two flips make one cycle of the square wave.
    t.PlayedHz = PlayedFlipRate(psg.SampleRate, psg.CounterStep, period) / 2.0;
    t.FlipsEverySample = (psg.CounterStep != 0 && period <= psg.CounterStep) ? 1 : 0;
    t.Output = output;
    t.Enabled = on;
    return t;
}

} // namespace

void PSG_Readout(const T_PSG_CORE& psg, T_PSG_READOUT& info)
{
    const uint32_t clock = psg.ClockDiv16 * 16u;
    info.Clock = clock;
    info.SampleRate = psg.SampleRate;
    info.CounterStep = psg.CounterStep;
    info.Tones[0] = Tone(psg, clock, psg.Tone1Period, psg.Tone1LowBits, psg.Tone1Attenuation, psg.Tone1Output,
                         psg.Tone1On);
    info.Tones[1] = Tone(psg, clock, psg.Tone2Period, psg.Tone2LowBits, psg.Tone2Attenuation, psg.Tone2Output,
                         psg.Tone2On);
    info.Tones[2] = Tone(psg, clock, psg.Tone3Period, psg.Tone3LowBits, psg.Tone3Attenuation, psg.Tone3Output,
                         psg.Tone3On);

    T_PSG_NOISE_READOUT& n = info.Noise;
    n = {};
    n.Control = psg.NoiseControl & 0x0F;
    n.White = (n.Control >> 2) & 1;
    n.Rate = n.Control & 3;
    n.LinkedToTone3 = n.Rate == 3 ? 1 : 0;
    n.Reload = static_cast<uint16_t>(n.Rate == 3 ? psg.Tone3Period : (16u << n.Rate));
    // The register shifts on every second reload of the counter.
    n.ShiftHz = PSG_ToneHz(clock, n.Reload);
    n.PeriodicHz = n.White ? 0.0 : n.ShiftHz / 16.0;
    n.Shift = psg.NoiseShift;
    Volume(psg.NoiseAttenuation, n.Attenuation, n.Off, n.Decibels, n.Level, n.PlayedDecibels);
    n.Enabled = psg.NoiseOn;

    info.LatchedChannel = psg.LatchedChannel & 3;
    info.LatchedType = psg.LatchedType & 1;
    if (info.LatchedChannel == 3)
        info.Latched = info.LatchedType ? "Noise attenuation" : "Noise control";
    else
        info.Latched = "Tone " + std::to_string(info.LatchedChannel + 1) + (info.LatchedType ? " attenuation" : " period");
    info.MixerOn = psg.MixerOn;
}

namespace {

std::string Format(const char* format, double a, double b = 0.0)
{
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

std::string VolumeText(uint8_t attenuation, uint8_t off, double db, double playedDb)
{
    if (off)
        return std::to_string(attenuation) + ": off";
    return std::to_string(attenuation) + ": " + Format("%.0f dB (played %.1f dB)", db, playedDb);
}

} // namespace

std::vector<T_PSG_FIELD> PSG_DescribeRegisters(const T_PSG_CORE& psg)
{
    T_PSG_READOUT i;
    PSG_Readout(psg, i);
    std::vector<T_PSG_FIELD> rows;
    for (int c = 0; c < 3; ++c) {
        const T_PSG_TONE_READOUT& t = i.Tones[c];
        const std::string name = "Tone " + std::to_string(c + 1);
        std::string period = std::to_string(t.Period) + ": ";
        if (t.Period == 0)
            period += "no frequency";
        else
            period += Format("%.1f Hz", t.Hz);
        period += Format(" (played %.1f Hz)", t.PlayedHz);
        rows.push_back({name + " period", period});
        rows.push_back({name + " attenuation", VolumeText(t.Attenuation, t.Off, t.Decibels, t.PlayedDecibels)});
    }
    const T_PSG_NOISE_READOUT& n = i.Noise;
    std::string mode = n.White ? "white, " : "periodic, ";
    mode += n.LinkedToTone3 ? "tone 3's rate" : "clock / " + std::to_string(n.Reload * 32);
    mode += Format(", shifts at %.1f Hz", n.ShiftHz);
    if (!n.White)
        mode += Format(", repeats at %.1f Hz", n.PeriodicHz);
    rows.push_back({"Noise control", std::to_string(n.Control) + ": " + mode});
    rows.push_back({"Noise attenuation", VolumeText(n.Attenuation, n.Off, n.Decibels, n.PlayedDecibels)});
    rows.push_back({"Latched register", i.Latched});
    return rows;
}
