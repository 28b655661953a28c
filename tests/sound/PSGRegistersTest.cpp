// The PSG's register interface: latch and data bytes, noise control, the
// status read-out, reset and the frame-rate set-up.
#include <gtest/gtest.h>

#include <cstring>

#include "PSGTestSupport.h"

namespace {

struct TToneFields {
    uint8_t T_PSG_CORE::*Attenuation;
    uint16_t T_PSG_CORE::*Period;
    uint8_t T_PSG_CORE::*LowBits;
};
constexpr TToneFields kTones[3] = {
    {&T_PSG_CORE::Tone1Attenuation, &T_PSG_CORE::Tone1Period, &T_PSG_CORE::Tone1LowBits},
    {&T_PSG_CORE::Tone2Attenuation, &T_PSG_CORE::Tone2Period, &T_PSG_CORE::Tone2LowBits},
    {&T_PSG_CORE::Tone3Attenuation, &T_PSG_CORE::Tone3Period, &T_PSG_CORE::Tone3LowBits},
};

TEST(PsgRegisters, PeriodTakesEffectOnlyWithTheDataByte) {
    for (uint8_t ch = 0; ch < 3; ++ch) {
        SCOPED_TRACE(int(ch));
        T_PSG_CORE psg = MakePsg();
        WriteTonePeriod(psg, ch, 0x123);
        EXPECT_EQ(psg.*kTones[ch].Period, 0x123);

        // A latch alone keeps the period heard; its low bits wait.
        PSG_WritePort(psg, Latch(ch, 0, 0x0A));
        EXPECT_EQ(psg.*kTones[ch].Period, 0x123);
        EXPECT_EQ(psg.*kTones[ch].LowBits, 0x0A);

        // Bits 6-7 of the data byte are ignored; the latched low bits join.
        PSG_WritePort(psg, 0xFF & ~0x80);
        EXPECT_EQ(psg.*kTones[ch].Period, 0x3FA);

        // Further data bytes reuse the same latched low bits.
        PSG_WritePort(psg, 0x01);
        EXPECT_EQ(psg.*kTones[ch].Period, 0x01A);

        for (uint8_t other = 0; other < 3; ++other) {
            if (other != ch) {
                EXPECT_EQ(psg.*kTones[other].Period, 0);
            }
        }
    }
}

TEST(PsgRegisters, AttenuationFromLatchAndFromLaterDataBytes) {
    uint8_t T_PSG_CORE::*const fields[4] = {kTones[0].Attenuation, kTones[1].Attenuation, kTones[2].Attenuation,
                                             &T_PSG_CORE::NoiseAttenuation};
    for (uint8_t ch = 0; ch < 4; ++ch) {
        SCOPED_TRACE(int(ch));
        T_PSG_CORE psg = MakePsg();
        const uint8_t noiseControl = psg.NoiseControl;
        WriteAttenuation(psg, ch, 0x03);
        EXPECT_EQ(psg.*fields[ch], 0x03);
        PSG_WritePort(psg, 0x3C);  // data byte: low 4 bits only
        EXPECT_EQ(psg.*fields[ch], 0x0C);
        EXPECT_EQ(psg.NoiseControl, noiseControl);
        for (uint8_t ch2 = 0; ch2 < 3; ++ch2) EXPECT_EQ(psg.*kTones[ch2].Period, 0);
    }
}

TEST(PsgRegisters, NoiseControlFromLatchOrDataRestartsTheShiftRegister) {
    struct {
        const char* Name;
        uint8_t Byte;  // written after a noise-control latch of 0x00
        uint8_t Control;
        uint8_t TapMask;
    } const cases[] = {
        {"latch white rate 2", Latch(3, 0, 0x06), 0x06, 0x09},
        {"latch periodic rate 3, bit 3 kept", Latch(3, 0, 0x0B), 0x0B, 0x01},
        {"data white rate 1", 0x35, 0x05, 0x09},
        {"data periodic rate 0", 0x70, 0x00, 0x01},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        T_PSG_CORE psg = MakePsg();
        PSG_WritePort(psg, Latch(3, 0, 0x04));
        psg.NoiseShift = 0x1234;  // as if the noise had been running
        psg.NoiseCounter = 7;
        psg.NoiseToggle = 1;
        PSG_WritePort(psg, c.Byte);
        EXPECT_EQ(psg.NoiseControl, c.Control);
        EXPECT_EQ(psg.NoiseTapMask, c.TapMask);
        EXPECT_EQ(psg.NoiseShift, 0x4000);
        EXPECT_EQ(psg.NoiseCounter, 7);
        EXPECT_EQ(psg.NoiseToggle, 1);
    }
}

TEST(PsgRegisters, StatusReportsTheEightValuesInOrder) {
    T_PSG_CORE psg = MakePsg();
    WriteTonePeriod(psg, 0, 0x101);
    WriteTonePeriod(psg, 1, 0x202);
    WriteTonePeriod(psg, 2, 0x3FF);
    WriteAttenuation(psg, 0, 1);
    WriteAttenuation(psg, 1, 2);
    WriteAttenuation(psg, 2, 3);
    WriteAttenuation(psg, 3, 4);
    PSG_WritePort(psg, Latch(3, 0, 0x0D));
    T_PSG_STATUS_INFO info{};
    PSG_GetStatus(psg, info);
    const T_PSG_STATUS_INFO expected = {1, 0x101, 2, 0x202, 3, 0x3FF, 4, 0x0D};
    EXPECT_EQ(std::memcmp(&info, &expected, sizeof info), 0);
}

TEST(PsgRegisters, ResetSilencesAndRestartsButKeepsSettings) {
    T_PSG_CORE psg = MakePsg();
    WriteTonePeriod(psg, 1, 0x155);
    PSG_WritePort(psg, Latch(3, 0, 0x07));
    for (uint8_t ch = 0; ch < 4; ++ch) WriteAttenuation(psg, ch, 0);
    PSG_SetTone2Enabled(psg, 0);
    PSG_SetMixerEnabled(psg, 0);
    PSG_SetMixerEnabled(psg, 1);
    T_PSG_SAMPLE_BLOCK block{};
    PSG_RenderFrame(psg, block);

    PSG_Reset(psg);
    EXPECT_EQ(psg.Tone1Attenuation, 15);
    EXPECT_EQ(psg.Tone2Attenuation, 15);
    EXPECT_EQ(psg.Tone3Attenuation, 15);
    EXPECT_EQ(psg.NoiseAttenuation, 15);
    EXPECT_EQ(psg.Tone1Counter, 0);
    EXPECT_EQ(psg.Tone3Counter, 0);
    EXPECT_EQ(psg.NoiseCounter, 0);
    EXPECT_EQ(psg.Tone1Output | psg.Tone3Output | psg.NoiseToggle, 0);
    EXPECT_EQ(psg.Tone2Period, 0x155);
    EXPECT_EQ(psg.NoiseControl, 0x07);
    EXPECT_EQ(psg.NoiseTapMask, 0x09);
    EXPECT_EQ(psg.Tone2On, 0);
    EXPECT_EQ(psg.Tone1On, 1);
    EXPECT_EQ(psg.SamplesPerFrame, 735u);
    EXPECT_EQ(psg.CounterStep, 5u);

    // Silent after the reset, whatever the channels were doing.
    PSG_RenderFrame(psg, block);
    for (uint32_t i = 0; i < 735; ++i) ASSERT_EQ(block.Samples[i], 128) << i;
}

TEST(PsgRegisters, FrameRatesThatWouldOverrunTheBufferAreBounded) {
    struct {
        uint32_t Fps;
        uint32_t Samples;
    } const cases[] = {{60, 735}, {50, 882}, {30, 1470}, {29, 1470}, {1, 1470}, {0, 1470}, {100000, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Fps);
        T_PSG_CORE psg = MakePsg();
        PSG_SetFrameRate(psg, c.Fps);
        EXPECT_EQ(psg.FrameRate, c.Fps);
        EXPECT_EQ(psg.SamplesPerFrame, c.Samples);
        T_PSG_SAMPLE_BLOCK block{};
        PSG_RenderFrame(psg, block);  // must stay inside the 1470 bytes
    }
}

TEST(PsgRegisters, ClockBeforeResetDoesNotDivideByZero) {
    T_PSG_CORE psg{};
    PSG_SetClock(psg, kConsoleClock);
    EXPECT_EQ(psg.ClockDiv16, 223721u);
    EXPECT_EQ(psg.CounterStep, 0u);
    EXPECT_EQ(psg.MixerOn, 1);
}

}  // namespace
