// The hardware models' sound chip (PSGExact.cpp) measured on its 48 kHz
// output and its noise register: pitch, attenuation steps, the noise
// sequences, band-limiting, and writes heard at their cycle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "SNDEM.h"
#include "SoundAnalysis.h"

namespace {

using namespace sound_analysis;

constexpr uint32_t kNtscClock = 3579545;
constexpr int32_t kFrameCycles = 262 * 228;
constexpr double kRate = 48000.0;

// The chip as the console sets it up for an NTSC hardware model.
struct TExactRig {
    T_PSG_CORE Psg{};
    std::vector<double> Left;
    bool SidesEqual = true;

    TExactRig() {
        Psg.Exact = 1;
        PSG_Reset(Psg);
        PSG_SetFrameRate(Psg, 60);
        PSG_SetClock(Psg, kNtscClock);
        PSG_SetExactRate(Psg, kNtscClock, kRate);
    }
    void Write(uint8_t value, int32_t cycle = 0) { PSG_WriteExact(Psg, value, cycle); }
    void Tone(unsigned channel, uint16_t period, uint8_t attenuation, int32_t cycle = 0) {
        Write(uint8_t(0x80 | (channel << 5) | (period & 0x0F)), cycle);
        Write(uint8_t((period >> 4) & 0x3F), cycle);
        Write(uint8_t(0x90 | (channel << 5) | attenuation), cycle);
    }
    void EndFrame() {
        PSG_EndExactFrame(Psg, kFrameCycles);
        for (uint32_t i = 0; i < Psg.ExactPairs; ++i) {
            Left.push_back(Psg.ExactOut[2 * i]);
            SidesEqual = SidesEqual && Psg.ExactOut[2 * i] == Psg.ExactOut[2 * i + 1];
        }
    }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) EndFrame();
    }
    // The samples from `from` seconds on.
    std::vector<double> From(double from) const {
        return std::vector<double>(Left.begin() + std::ptrdiff_t(from * kRate), Left.end());
    }
};

// The reference register of B.5, written out independently: 16 bits, the
// output bit 0, feedback the parity of bits 0 and 3 (white) or bit 0
// (periodic) into bit 15.
uint16_t ReferenceShift(uint16_t lfsr, bool white) {
    const unsigned feedback = white ? (lfsr & 1) ^ ((lfsr >> 3) & 1) : (lfsr & 1);
    return uint16_t((lfsr >> 1) | (feedback << 15));
}

// ---------------------------------------------------------------- pitch

// f = clock / (32 N) within 0.05%, measured from the output's zero crossings
// over two seconds.
TEST(PsgExactPitch, AudibleTonesAreTheClockOver32TimesThePeriod) {
    for (uint16_t period : {254, 1023, 5, 60}) {
        TExactRig rig;
        rig.Tone(0, period, 0);
        rig.Frames(150);
        const double expected = kNtscClock / (32.0 * period);
        const double measured = ToneHz(rig.From(0.5), kRate);
        EXPECT_NEAR(measured, expected, expected * 0.0005) << "period " << period;
        EXPECT_TRUE(rig.SidesEqual);
    }
}

// Periods 1 and 2 toggle at 112 and 56 kHz, beyond what 48 kHz can carry:
// period 1 (and 0) holds the output high, so an attenuation write is a step
// of the channel's whole level; period 2's square averages to half of it.
// Either way the output then settles to silence (the DC blocker), with no
// tone and nothing folded down into the audible band.
TEST(PsgExactPitch, PeriodsAboveNyquistGiveASteadyLevel) {
    struct TCase {
        uint16_t Period;
        double Step;  // of the full level, 8192
    };
    for (const TCase c : {TCase{0, 1.0}, TCase{1, 1.0}, TCase{2, 0.5}, TCase{3, 0.5}, TCase{4, 0.5}}) {
        TExactRig rig;
        rig.Tone(0, c.Period, 15);
        rig.Frames(2);
        rig.Write(0x90, 0);  // full level at the next frame's start
        rig.Frames(60);
        const std::size_t start = 2 * 801;
        const double peak = *std::max_element(rig.Left.begin() + start, rig.Left.begin() + start + 200);
        EXPECT_NEAR(peak / (32767 / 4.0), c.Step, 0.1 * c.Step) << "period " << c.Period;
        EXPECT_LT(Rms(rig.From(0.7)), 1.0) << "period " << c.Period;
    }
}

// ---------------------------------------------------------------- volume

// Each attenuation step is 2 dB (within 0.2 dB) of a 440 Hz tone's level;
// 15 is silence.
TEST(PsgExactVolume, EachAttenuationStepIsTwoDecibels) {
    double previous = 0.0;
    for (uint8_t attenuation = 0; attenuation <= 15; ++attenuation) {
        TExactRig rig;
        rig.Tone(1, 254, attenuation);
        rig.Frames(60);
        const double rms = Rms(rig.From(0.5));
        if (attenuation == 15) {
            EXPECT_LT(rms, 0.5);
        } else if (attenuation > 0) {
            EXPECT_NEAR(20.0 * std::log10(previous / rms), 2.0, 0.2) << "attenuation " << int(attenuation);
        }
        previous = rms;
    }
}

// ---------------------------------------------------------------- noise

// The register after each shift, seen tick by tick: it follows B.5's
// register for 1,000 shifts, one shift per full period of the noise
// oscillator (32, 64, 128 ticks, or twice tone 3's period), from 0x8000
// after the control write.
TEST(PsgExactNoise, TheRegisterFollowsTheDocumentedSequence) {
    struct TCase {
        uint8_t Control;
        uint16_t Tone3Period;
        uint32_t TicksPerShift;
    };
    for (const TCase c : {TCase{0x04, 0, 32}, TCase{0x05, 0, 64}, TCase{0x06, 0, 128}, TCase{0x07, 100, 200},
                          TCase{0x00, 0, 32}, TCase{0x03, 37, 74}}) {
        TExactRig rig;
        rig.Tone(2, c.Tone3Period, 15);
        rig.Write(uint8_t(0xE0 | c.Control), 1000);
        EXPECT_EQ(rig.Psg.NoiseShift, 0x8000);
        const bool white = (c.Control & 4) != 0;
        uint16_t expected = 0x8000;
        int32_t cycle = 1000, lastShift = -1;
        int periodic = 0;
        for (int shift = 0; shift < 1000; ++shift) {
            const uint16_t before = rig.Psg.NoiseShift;
            while (rig.Psg.NoiseShift == before) {
                cycle += 16;
                PSG_RunExact(rig.Psg, cycle);
                if (cycle >= kFrameCycles) {
                    PSG_EndExactFrame(rig.Psg, kFrameCycles);
                    cycle -= kFrameCycles;
                    lastShift -= kFrameCycles;
                }
            }
            expected = ReferenceShift(expected, white);
            ASSERT_EQ(rig.Psg.NoiseShift, expected) << "control " << int(c.Control) << ", shift " << shift;
            if (lastShift >= 0) {
                ASSERT_EQ(uint32_t(cycle - lastShift), 16 * c.TicksPerShift) << "shift " << shift;
            }
            lastShift = cycle;
            periodic += (expected & 1) != 0;
        }
        // Periodic noise: the one set bit goes round, so bit 0 is set once
        // every 16 shifts and the register repeats.
        if (!white) {
            EXPECT_EQ(periodic, 1000 / 16);
            uint16_t lfsr = 0x8000;
            for (int i = 0; i < 16; ++i) lfsr = ReferenceShift(lfsr, false);
            EXPECT_EQ(lfsr, 0x8000);
        }
    }
}

// ---------------------------------------------------------------- band-limiting

// A channel held high (period 1) with an 8-step sine written to its
// attenuation every 447 cycles (8 kHz): the writes make a staircase that
// repeats at 1001 Hz, so everything they make lies on its harmonics. Every
// other frequency below 20 kHz, where the 112 kHz edges and the writes'
// images above 24 kHz would fold, stays 60 dB under the peak.
TEST(PsgExactBandLimit, VolumeWritesAt8kHzFoldNothingIntoTheAudibleBand) {
    // sin(2 pi k / 8) through the attenuation table (level (s + 1) / 2).
    constexpr uint8_t kSine[8] = {3, 1, 0, 1, 3, 7, 15, 7};
    constexpr int32_t kEvery = 447;
    TExactRig rig;
    rig.Tone(0, 1, 15);
    int32_t next = 0;
    unsigned step = 0;
    for (int frame = 0; frame < 120; ++frame) {
        for (; next < kFrameCycles; next += kEvery) rig.Write(uint8_t(0x90 | kSine[step++ % 8]), next);
        next -= kFrameCycles;
        rig.EndFrame();
    }
    std::size_t n = 0;
    const std::vector<double> db = SpectrumDb(rig.From(0.3), n);
    const double binHz = kRate / double(n);
    const double fundamental = kNtscClock / (8.0 * kEvery);
    const double peak = *std::max_element(db.begin(), db.end());
    EXPECT_NEAR(double(std::max_element(db.begin(), db.end()) - db.begin()) * binHz, fundamental, 2 * binHz);
    double worst = -400.0, worstHz = 0.0;
    for (std::size_t i = 1; i * binHz < 20000.0; ++i) {
        const double hz = double(i) * binHz;
        const double harmonic = std::round(hz / fundamental) * fundamental;
        if (std::fabs(hz - harmonic) <= 6 * binHz) continue;  // the window's main lobe
        if (db[i] > worst) worst = db[i], worstHz = hz;
    }
    EXPECT_LT(worst - peak, -60.0) << "at " << worstHz << " Hz";
}

// ---------------------------------------------------------------- timing

// A write is heard at its cycle, not at the frame's end: an attenuation
// write in the middle of a frame moves the step by the matching number of
// output samples.
TEST(PsgExactTiming, AWriteIsHeardAtItsCycle) {
    std::vector<std::size_t> rise;
    for (int32_t cycle : {0, 14934, 29868}) {  // 0, 1/4 and 1/2 of a frame
        TExactRig rig;
        rig.Tone(0, 1, 15);
        rig.Write(0x90, cycle);
        rig.EndFrame();
        std::size_t at = 0;
        while (at < rig.Left.size() && rig.Left[at] < 4096) ++at;
        rise.push_back(at);
    }
    EXPECT_NEAR(double(rise[1] - rise[0]), 200.25, 1.0);
    EXPECT_NEAR(double(rise[2] - rise[0]), 400.5, 1.0);
}

// The rate control makes `factor` times as many samples; the tone keeps its
// pitch in the console's time (its frequency in samples scales down).
TEST(PsgExactTiming, TheRateFactorScalesTheSampleCount) {
    for (double factor : {0.99, 1.0, 1.01}) {
        TExactRig rig;
        PSG_SetExactRate(rig.Psg, kNtscClock, kRate * factor);
        rig.EndFrame();  // the new rate starts with the next frame
        rig.Left.clear();
        rig.Tone(0, 254, 0);
        rig.Frames(120);
        const double perFrame = kRate * factor * kFrameCycles / kNtscClock;
        EXPECT_NEAR(double(rig.Left.size()), 120 * perFrame, 1.0) << factor;
        EXPECT_NEAR(ToneHz(rig.From(0.5), kRate * factor), kNtscClock / (32.0 * 254), 0.3) << factor;
    }
}

// ---------------------------------------------------------------- stereo

// The routing (the Game Gear's port 0x06 layout): a channel taken off one
// side is heard on the other only; channels on both sides stay equal.
TEST(PsgExactStereo, ARoutedChannelIsHeardOnItsSideOnly) {
    TExactRig rig;
    rig.Tone(0, 254, 0);
    rig.Frames(20);
    PSG_SetExactRouting(rig.Psg, 0xEF, 0);  // tone 1 off the left
    std::vector<double> left, right;
    for (int frame = 0; frame < 30; ++frame) {
        PSG_EndExactFrame(rig.Psg, kFrameCycles);
        for (uint32_t i = 0; i < rig.Psg.ExactPairs; ++i) {
            left.push_back(rig.Psg.ExactOut[2 * i]);
            right.push_back(rig.Psg.ExactOut[2 * i + 1]);
        }
    }
    const std::vector<double> lateLeft(left.begin() + 12000, left.end());
    const std::vector<double> lateRight(right.begin() + 12000, right.end());
    EXPECT_LT(Rms(lateLeft), 1.0);
    EXPECT_GT(Rms(lateRight), 3000.0);
}

}  // namespace
