// PsgReadout: tone periods as Hz and attenuations as dB, the chip's figures
// and the ones this core plays (checked by counting the synthesised wave's
// cycles), the noise modes and the latched register.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "PSGTestSupport.h"
#include "PsgReadout.h"

namespace {

TEST(PsgReadout, TonePeriodsAsHz) {
    struct Case {
        uint16_t period;
        double hz;       // clock / (32 period)
        double playedHz; // 44100 x 5 / (2 period), at most 22050
    };
    const Case cases[] = {
        {254, 440.41, 434.06}, {1023, 109.35, 107.77}, {1, 111860.5, 22050.0}, {5, 22372.1, 22050.0},
        {6, 18643.4, 18375.0}, {0, 0.0, 22050.0},
    };
    for (const Case& c : cases) {
        T_PSG_CORE psg = MakePsg();
        WriteTonePeriod(psg, 1, c.period);
        T_PSG_READOUT info;
        PSG_Readout(psg, info);
        EXPECT_EQ(kConsoleClock, info.Clock);
        EXPECT_EQ(c.period, info.Tones[1].Period);
        EXPECT_NEAR(c.hz, info.Tones[1].Hz, 0.05) << c.period;
        EXPECT_NEAR(c.playedHz, info.Tones[1].PlayedHz, 0.05) << c.period;
        EXPECT_EQ(c.period <= 5 ? 1 : 0, info.Tones[1].FlipsEverySample) << c.period;
    }
}

// The played figure is what the synthesis produces: count the rising edges
// of one second of tone 1 alone.
TEST(PsgReadout, PlayedHzMatchesTheSynthesis) {
    for (uint16_t period : {254, 100, 37, 1000}) {
        T_PSG_CORE psg = MakePsg();
        EnableOnly(psg, 1);
        WriteAttenuation(psg, 0, 0);
        WriteTonePeriod(psg, 0, period);
        T_PSG_SAMPLE_BLOCK block;
        int rising = 0;
        uint8_t last = 0;
        for (int frame = 0; frame < 60; ++frame) {
            PSG_RenderFrame(psg, block);
            for (uint32_t i = 0; i < psg.SamplesPerFrame; ++i) {
                rising += (block.Samples[i] > 128 && last < 128) ? 1 : 0;
                last = block.Samples[i];
            }
        }
        T_PSG_READOUT info;
        PSG_Readout(psg, info);
        EXPECT_NEAR(info.Tones[0].PlayedHz, rising, 1.5) << period;
    }
}

TEST(PsgReadout, AttenuationsAsDb) {
    struct Case {
        uint8_t attenuation;
        double db;
        double playedDb;
        uint8_t off;
    };
    const Case cases[] = {{0, 0.0, 0.0, 0}, {1, -2.0, -0.60, 0}, {7, -14.0, -5.46, 0}, {14, -28.0, -23.52, 0}};
    for (const Case& c : cases) {
        T_PSG_CORE psg = MakePsg();
        WriteAttenuation(psg, 2, c.attenuation);
        WriteAttenuation(psg, 3, c.attenuation);
        T_PSG_READOUT info;
        PSG_Readout(psg, info);
        for (auto [db, played, off, level] :
             {std::tuple{info.Tones[2].Decibels, info.Tones[2].PlayedDecibels, info.Tones[2].Off, info.Tones[2].Level},
              std::tuple{info.Noise.Decibels, info.Noise.PlayedDecibels, info.Noise.Off, info.Noise.Level}}) {
            EXPECT_DOUBLE_EQ(c.db, db);
            EXPECT_NEAR(c.playedDb, played, 0.01) << int(c.attenuation);
            EXPECT_EQ(c.off, off);
            EXPECT_EQ(15 - c.attenuation, level);
        }
    }
    T_PSG_READOUT info;
    PSG_Readout(MakePsg(), info); // reset leaves every channel at 15
    EXPECT_EQ(1, info.Tones[0].Off);
    EXPECT_EQ(1, info.Noise.Off);
}

TEST(PsgReadout, NoiseModesAndLatch) {
    struct Case {
        uint8_t control;
        uint8_t white, linked;
        uint16_t reload;
        double shiftHz;
    };
    const Case cases[] = {
        {0x04, 1, 0, 16, 6991.3}, {0x01, 0, 0, 32, 3495.6}, {0x06, 1, 0, 64, 1747.8}, {0x07, 1, 1, 100, 1118.6},
    };
    for (const Case& c : cases) {
        T_PSG_CORE psg = MakePsg();
        WriteTonePeriod(psg, 2, 100);
        PSG_WritePort(psg, Latch(3, 0, c.control));
        T_PSG_READOUT info;
        PSG_Readout(psg, info);
        EXPECT_EQ(c.white, info.Noise.White) << int(c.control);
        EXPECT_EQ(c.linked, info.Noise.LinkedToTone3) << int(c.control);
        EXPECT_EQ(c.reload, info.Noise.Reload) << int(c.control);
        EXPECT_NEAR(c.shiftHz, info.Noise.ShiftHz, 0.05) << int(c.control);
        EXPECT_NEAR(c.white ? 0.0 : c.shiftHz / 16, info.Noise.PeriodicHz, 0.05) << int(c.control);
        EXPECT_EQ("Noise control", info.Latched);
    }
    T_PSG_CORE psg = MakePsg();
    PSG_WritePort(psg, Latch(1, 1, 3));
    T_PSG_READOUT info;
    PSG_Readout(psg, info);
    EXPECT_EQ("Tone 2 attenuation", info.Latched);
    PSG_WritePort(psg, Latch(0, 0, 9)); // a latch byte alone: the low bits wait
    PSG_Readout(psg, info);
    EXPECT_EQ("Tone 1 period", info.Latched);
    EXPECT_EQ(9, info.Tones[0].PendingLowBits);
}

}  // namespace
