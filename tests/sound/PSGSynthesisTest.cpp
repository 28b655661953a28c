// The PSG's synthesis: tone frequencies, the noise sequences and rates, the
// switches, the mix and its range, and counters driven far below zero.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "PSGTestSupport.h"

namespace {

// Renders `frames` frames and returns all their samples.
std::vector<uint8_t> Render(T_PSG_CORE& psg, int frames) {
    std::vector<uint8_t> out;
    T_PSG_SAMPLE_BLOCK block{};
    for (int f = 0; f < frames; ++f) {
        PSG_RenderFrame(psg, block);
        out.insert(out.end(), block.Samples, block.Samples + psg.SamplesPerFrame);
    }
    return out;
}

// Number of output changes of a lone tone channel, starting from its reset
// state (flip-flop 0, so the level before the first sample is the low one).
int CountFlips(const std::vector<uint8_t>& samples, uint8_t low) {
    int flips = 0;
    uint8_t previous = low;
    for (uint8_t s : samples) {
        if (s != previous) ++flips;
        previous = s;
    }
    return flips;
}

TEST(PsgSynthesis, ToneFlipsOncePerPeriodOfCounterSteps) {
    // Counter steps of 5 per sample: after N samples the counter has been
    // reloaded ceil(5N / period) times, once per flip.
    const uint16_t periods[] = {5, 6, 7, 100, 254, 1023};
    for (uint16_t period : periods) {
        SCOPED_TRACE(period);
        T_PSG_CORE psg = MakePsg();
        EnableOnly(psg, 1);
        WriteTonePeriod(psg, 0, period);
        WriteAttenuation(psg, 0, 0);
        const std::vector<uint8_t> samples = Render(psg, 4);
        const int n = int(samples.size());
        EXPECT_EQ(CountFlips(samples, 128 - 15), (5 * n + period - 1) / period);
    }
}

TEST(PsgSynthesis, PeriodBelowStepFlipsEverySampleWhileTheCounterFalls) {
    for (uint16_t period : {0, 1, 4}) {
        SCOPED_TRACE(period);
        T_PSG_CORE psg = MakePsg();
        EnableOnly(psg, 1);
        WriteTonePeriod(psg, 0, period);
        WriteAttenuation(psg, 0, 0);
        const std::vector<uint8_t> samples = Render(psg, 1);
        EXPECT_EQ(CountFlips(samples, 128 - 15), 735);
        EXPECT_EQ(psg.Tone1Counter, -(5 - period) * 735);
    }
}

// The noise register after each shift, stepping the channel alone.
std::vector<uint16_t> NoiseShifts(T_PSG_CORE& psg, int count) {
    std::vector<uint16_t> shifts;
    while (int(shifts.size()) < count) {
        const uint8_t toggle = psg.NoiseToggle;
        const int32_t level = PSG_StepChannel(psg, 3);
        EXPECT_EQ(level, (psg.NoiseShift & 1) ? 15 - psg.NoiseAttenuation : 0);
        if (psg.NoiseToggle != toggle && psg.NoiseToggle == 1) shifts.push_back(psg.NoiseShift);
    }
    return shifts;
}

TEST(PsgSynthesis, PeriodicNoiseSoundsOnceInSixteenShiftsFromTheFourteenth) {
    T_PSG_CORE psg = MakePsg();
    WriteAttenuation(psg, 3, 2);
    PSG_WritePort(psg, Latch(3, 0, 0x00));
    const std::vector<uint16_t> shifts = NoiseShifts(psg, 16 * 5);
    for (int i = 0; i < int(shifts.size()); ++i) {
        // The seed's single bit circulates: shift k (from 1) holds it at
        // bit (14 - k) mod 16.
        const int k = i + 1;
        EXPECT_EQ(shifts[i], uint16_t(1u << ((14 - k + 160) % 16))) << k;
    }
}

TEST(PsgSynthesis, WhiteNoiseFollowsTheXorOfBitsZeroAndThree) {
    T_PSG_CORE psg = MakePsg();
    WriteAttenuation(psg, 3, 0);
    PSG_WritePort(psg, Latch(3, 0, 0x04));
    const std::vector<uint16_t> shifts = NoiseShifts(psg, 2000);
    uint16_t expected = 0x4000;
    int ones = 0;
    for (int i = 0; i < int(shifts.size()); ++i) {
        const unsigned feedback = (expected ^ (expected >> 3)) & 1u;
        expected = uint16_t((expected >> 1) | (feedback << 15));
        ASSERT_EQ(shifts[i], expected) << i;
        ones += shifts[i] & 1;
    }
    // Silent until the 14th shift brings the seed bit to bit 0.
    for (int i = 0; i < 13; ++i) EXPECT_EQ(shifts[i] & 1, 0) << i + 1;
    EXPECT_EQ(shifts[13] & 1, 1);
    EXPECT_GT(ones, 2000 / 16 * 4);  // not the periodic pattern
}

// Number of noise counter reloads (toggle flips) over `samples` steps.
int CountNoiseReloads(T_PSG_CORE& psg, int samples) {
    int reloads = 0;
    for (int i = 0; i < samples; ++i) {
        const uint8_t toggle = psg.NoiseToggle;
        PSG_StepChannel(psg, 3);
        reloads += psg.NoiseToggle != toggle;
    }
    return reloads;
}

TEST(PsgSynthesis, NoiseRateSetsTheReloadAndRateThreeFollowsToneThree) {
    const struct {
        uint8_t Rate;
        int Reload;
    } cases[] = {{0, 16}, {1, 32}, {2, 64}, {3, 100}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.Rate));
        T_PSG_CORE psg = MakePsg();
        WriteTonePeriod(psg, 2, 100);
        PSG_WritePort(psg, Latch(3, 0, uint8_t(0x04 | c.Rate)));
        EXPECT_EQ(CountNoiseReloads(psg, 6400), (5 * 6400 + c.Reload - 1) / c.Reload);
    }

    // A tone 3 period written after the noise control write is used at the
    // next reloads.
    T_PSG_CORE psg = MakePsg();
    WriteTonePeriod(psg, 2, 100);
    PSG_WritePort(psg, Latch(3, 0, 0x03));
    CountNoiseReloads(psg, 1000);
    const int start = psg.NoiseCounter;
    WriteTonePeriod(psg, 2, 40);
    EXPECT_EQ(CountNoiseReloads(psg, 8000), (5 * 8000 - start + 39) / 40);
}

// Everything that a channel's step changes.
struct TChannelState {
    int32_t Counters[4];
    uint8_t Outputs[3];
    uint8_t Toggle;
    uint16_t Shift;
    bool operator==(const TChannelState&) const = default;
};
TChannelState StateOf(const T_PSG_CORE& p) {
    return {{p.Tone1Counter, p.Tone2Counter, p.Tone3Counter, p.NoiseCounter},
            {p.Tone1Output, p.Tone2Output, p.Tone3Output},
            p.NoiseToggle,
            p.NoiseShift};
}

// All four channels audible at full level with different periods.
T_PSG_CORE LoudPsg() {
    T_PSG_CORE psg = MakePsg();
    WriteTonePeriod(psg, 0, 37);
    WriteTonePeriod(psg, 1, 91);
    WriteTonePeriod(psg, 2, 3);  // below the counter step
    PSG_WritePort(psg, Latch(3, 0, 0x07));
    for (uint8_t ch = 0; ch < 4; ++ch) WriteAttenuation(psg, ch, 0);
    return psg;
}

TEST(PsgSynthesis, MixIsTheSumOfTheChannelsAloneAndStaysInRange) {
    T_PSG_CORE all = LoudPsg();
    T_PSG_CORE alone[4] = {LoudPsg(), LoudPsg(), LoudPsg(), LoudPsg()};
    for (unsigned ch = 0; ch < 4; ++ch) EnableOnly(alone[ch], 1u << ch);
    int low = 255, high = 0;
    T_PSG_SAMPLE_BLOCK mixed{}, single[4]{};
    for (int frame = 0; frame < 200; ++frame) {
        PSG_RenderFrame(all, mixed);
        for (unsigned ch = 0; ch < 4; ++ch) PSG_RenderFrame(alone[ch], single[ch]);
        for (uint32_t i = 0; i < 735; ++i) {
            int sum = 0;
            for (unsigned ch = 0; ch < 4; ++ch) sum += single[ch].Samples[i] - 128;
            ASSERT_EQ(mixed.Samples[i], 128 + sum) << frame << " " << i;
            low = std::min<int>(low, mixed.Samples[i]);
            high = std::max<int>(high, mixed.Samples[i]);
        }
        for (uint32_t i = 735; i < PSG_SAMPLE_BUFFER_SIZE; ++i) ASSERT_EQ(mixed.Samples[i], 0) << i;
    }
    EXPECT_GE(low, 83);
    EXPECT_LE(high, 203);
    EXPECT_EQ(high, 203);  // all three tones high and the noise bit set
}

TEST(PsgSynthesis, SwitchedOffChannelNeitherSoundsNorAdvances) {
    using Setter = void (*)(T_PSG_CORE&, uint8_t);
    const Setter setters[4] = {PSG_SetTone1Enabled, PSG_SetTone2Enabled, PSG_SetTone3Enabled,
                               PSG_SetNoiseEnabled};
    for (unsigned ch = 0; ch < 4; ++ch) {
        SCOPED_TRACE(ch);
        T_PSG_CORE psg = LoudPsg();
        EnableOnly(psg, 0x0F);
        setters[ch](psg, 2);  // only exactly 1 means on
        const TChannelState before = StateOf(psg);
        Render(psg, 3);
        const TChannelState after = StateOf(psg);
        EXPECT_EQ(after.Counters[ch], before.Counters[ch]);
        if (ch < 3) {
            EXPECT_EQ(after.Outputs[ch], before.Outputs[ch]);
        } else {
            EXPECT_EQ(after.Shift, before.Shift);
        }
        for (unsigned other = 0; other < 4; ++other) {
            if (other != ch) {
                EXPECT_NE(after.Counters[other], before.Counters[other]) << other;
            }
        }

        // The others sound as if the channel did not exist.
        T_PSG_CORE without = LoudPsg();
        EnableOnly(without, 0x0F & ~(1u << ch));
        Render(without, 3);
        EXPECT_EQ(Render(psg, 1), Render(without, 1));
    }
}

TEST(PsgSynthesis, MixerOffIsSilentAndFreezesEveryChannel) {
    T_PSG_CORE paused = LoudPsg();
    T_PSG_CORE running = LoudPsg();
    Render(paused, 2);
    Render(running, 2);

    PSG_SetMixerEnabled(paused, 0);
    const TChannelState frozen = StateOf(paused);
    for (uint8_t s : Render(paused, 5)) ASSERT_EQ(s, 128);
    EXPECT_TRUE(StateOf(paused) == frozen);

    // Switched on again, it goes on exactly where it stopped.
    PSG_SetMixerEnabled(paused, 1);
    EXPECT_EQ(Render(paused, 3), Render(running, 3));
}

// The tone channel with unbounded (64-bit) counters: what the folded 32-bit
// counters must reproduce.
struct TReferenceTone {
    int64_t Counter;
    uint8_t Output;
    uint8_t Step(int64_t period, int64_t step) {
        Counter -= step;
        if (Counter < 0) {
            Counter += period;
            Output ^= 1;
        }
        return uint8_t(Output ? 128 + 15 : 128 - 15);
    }
};

int64_t TrueCounter(const T_PSG_CORE& psg, unsigned channel, int32_t counter) {
    return int64_t(counter) - int64_t(psg.CounterFolds[channel]) * PSG_COUNTER_FOLD;
}

TEST(PsgSynthesis, CountersFallFarPastThirtyTwoBitsAndClimbBackExactly) {
    T_PSG_CORE psg = MakePsg();
    EnableOnly(psg, 1);
    WriteAttenuation(psg, 0, 0);
    WriteTonePeriod(psg, 0, 0);
    psg.Tone1Counter = INT32_MIN + 3;
    TReferenceTone ref{INT32_MIN + 3, 0};

    // A fast clock (1000 counter units per sample) takes the counter about
    // 2^32 further down in some 4.3 million samples, flipping at each one.
    PSG_SetClock(psg, 16u * 44100u * 1000u);
    EnableOnly(psg, 1);
    T_PSG_SAMPLE_BLOCK block{};
    for (int frame = 0; frame < 5850; ++frame) {
        PSG_RenderFrame(psg, block);
        for (uint32_t i = 0; i < 735; ++i) ASSERT_EQ(block.Samples[i], ref.Step(0, 1000)) << frame << " " << i;
    }
    ASSERT_LT(ref.Counter, int64_t(INT32_MIN) * 3);
    EXPECT_EQ(TrueCounter(psg, 0, psg.Tone1Counter), ref.Counter);

    // Back at the console clock, the largest period climbs 1018 per sample:
    // millions of samples of flipping, ending on exactly the same sample and
    // continuing in the same phase as with unbounded arithmetic.
    PSG_SetClock(psg, kConsoleClock);
    EnableOnly(psg, 1);
    WriteTonePeriod(psg, 0, 1023);
    const int64_t climbSamples = -ref.Counter / 1018;
    const int frames = int(climbSamples / 735) + 3;
    for (int frame = 0; frame < frames; ++frame) {
        PSG_RenderFrame(psg, block);
        for (uint32_t i = 0; i < 735; ++i) ASSERT_EQ(block.Samples[i], ref.Step(1023, 5)) << frame << " " << i;
    }
    EXPECT_GE(ref.Counter, 0);
    EXPECT_EQ(psg.CounterFolds[0], 0u);
    EXPECT_EQ(psg.Tone1Counter, ref.Counter);
}

TEST(PsgSynthesis, NoiseCounterFollowingAZeroToneThreeStaysInRange) {
    T_PSG_CORE psg = MakePsg();
    PSG_SetClock(psg, 16u * 44100u * 6000u);
    EnableOnly(psg, 8);
    PSG_WritePort(psg, Latch(3, 0, 0x03));  // rate 3, tone 3 period 0
    psg.NoiseCounter = INT32_MIN + 1;
    const int64_t start = psg.NoiseCounter;
    T_PSG_SAMPLE_BLOCK block{};
    uint8_t toggle = psg.NoiseToggle;
    const int frames = 2000;
    for (int frame = 0; frame < frames; ++frame) {
        PSG_RenderFrame(psg, block);
        // A reload at every sample: 735 toggles, an odd number, per frame.
        toggle ^= 1;
        ASSERT_EQ(psg.NoiseToggle, toggle);
        ASSERT_GE(psg.NoiseCounter, INT32_MIN / 2 - 6000);  // far from the 32-bit limit
        ASSERT_LT(int64_t(psg.NoiseCounter), 0);
    }
    EXPECT_EQ(TrueCounter(psg, 3, psg.NoiseCounter), start - int64_t(frames) * 735 * 6000);
}

}  // namespace
