// The hardware models' sound as the runner writes it (--wav: 16-bit stereo
// at 48 kHz): samples played through the attenuation by timed loops (a
// sine, a recorded drum bar), a saved state that goes on exactly, and the
// Game Gear's stereo register.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "HeadlessRun.h"
#include "SoundAnalysis.h"

namespace {

namespace fs = std::filesystem;
using namespace sound_analysis;

constexpr double kRate = 48000.0;

std::string Rom(const std::string& name) {
    return std::string(TIRAVEL_TEST_ROM_DIR) + "/" + name + (name.rfind("gg_", 0) == 0 ? ".gg" : ".sms");
}

struct TWav {
    uint16_t Channels = 0, Bits = 0;
    uint32_t Rate = 0;
    std::vector<int16_t> Data;  // interleaved
    bool SidesEqual() const {
        for (std::size_t i = 0; i + 1 < Data.size(); i += 2)
            if (Data[i] != Data[i + 1]) return false;
        return true;
    }
    std::vector<double> Left(double fromSeconds = 0.0) const { return Side(0, fromSeconds); }
    std::vector<double> Side(std::size_t side, double fromSeconds) const {
        std::vector<double> out;
        for (std::size_t i = 2 * std::size_t(fromSeconds * kRate); i + 1 < Data.size(); i += 2) out.push_back(Data[i + side]);
        return out;
    }
};

TWav ReadWav(const fs::path& path) {
    const std::string bytes = ReadAll(path);
    const auto u8 = [&](std::size_t at) { return uint32_t(static_cast<uint8_t>(bytes[at])); };
    const auto u16 = [&](std::size_t at) { return uint16_t(u8(at) | u8(at + 1) << 8); };
    const auto u32 = [&](std::size_t at) { return u16(at) | uint32_t(u16(at + 2)) << 16; };
    TWav wav;
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return wav;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const uint32_t size = u32(at + 4);
        if (id == "fmt ") {
            wav.Channels = u16(at + 10);
            wav.Rate = u32(at + 12);
            wav.Bits = u16(at + 22);
        }
        if (id == "data") {
            for (std::size_t i = at + 8; i + 1 < std::min<std::size_t>(bytes.size(), at + 8 + size); i += 2)
                wav.Data.push_back(int16_t(u16(i)));
            break;
        }
        at += 8 + size + (size & 1);
    }
    return wav;
}

TWav RunWav(const std::string& name, const std::string& args) {
    const fs::path path = Scratch() / (name + ".wav");
    const THeadlessRun run = RunHeadless(args + " --wav '" + path.string() + "'");
    EXPECT_EQ(run.Status, 0) << run.Command << "\n" << run.Err;
    return ReadWav(path);
}

// The sine cartridge writes 16 steps of a sine every 224 cycles: 998.8 Hz
// on NTSC, 989.7 Hz on PAL. The runner's file is 16-bit stereo at 48 kHz,
// both sides equal, and its spectrum peaks there (the BIOS's chime, in the
// first second, is left out).
TEST(HardwareSound, SinePlayedThroughTheVolumePeaksAtOneKilohertz) {
    struct TCase {
        const char* Args;
        double Hz;
    };
    for (const TCase c : {TCase{"--model sms2", 3579545.0 / (16 * 224)}, TCase{"--model sms1 --video pal", 3546895.0 / (16 * 224)}}) {
        const TWav wav = RunWav("sine", std::string(c.Args) + " --frames 150 '" + Rom("psg_sine") + "'");
        ASSERT_EQ(wav.Channels, 2) << c.Args;
        EXPECT_EQ(wav.Bits, 16);
        EXPECT_EQ(wav.Rate, 48000u);
        EXPECT_TRUE(wav.SidesEqual());
        std::size_t n = 0;
        const std::vector<double> db = SpectrumDb(wav.Left(1.3), n);
        const double peakHz = double(std::max_element(db.begin() + 1, db.end()) - db.begin()) * kRate / double(n);
        EXPECT_NEAR(peakHz, c.Hz, 2.0 * kRate / double(n)) << c.Args;
        EXPECT_NEAR(peakHz, 1000.0, 15.0) << c.Args;
    }
}

// The drum cartridge plays a bar encoded from drum/drum_source.raw: the
// output's envelope (RMS over 5 ms) follows the source's, at the lag where
// the two line up, with a correlation above 0.9.
TEST(HardwareSound, RecordedDrumBarIsRecognisable) {
    const std::string raw = ReadAll(fs::path(TIRAVEL_SOURCE_DIR) / "tests/roms/drum/drum_source.raw");
    ASSERT_FALSE(raw.empty());
    std::vector<double> source;
    for (std::size_t i = 0; i + 1 < raw.size(); i += 2)
        source.push_back(int16_t(uint16_t(static_cast<uint8_t>(raw[i]) | static_cast<uint8_t>(raw[i + 1]) << 8)));
    const double sourceRate = 3579545.0 / 447.0;
    const std::vector<double> sourceEnvelope = Envelope(source, std::size_t(sourceRate * 0.005));

    const TWav wav = RunWav("drum", "--model sms2 --frames 170 '" + Rom("psg_drum") + "'");
    const std::vector<double> outputEnvelope = Envelope(wav.Left(1.0), std::size_t(kRate * 0.005));
    ASSERT_GT(outputEnvelope.size(), sourceEnvelope.size());
    double best = -1.0;
    for (std::ptrdiff_t lag = 0; lag + std::ptrdiff_t(sourceEnvelope.size()) <= std::ptrdiff_t(outputEnvelope.size()); ++lag)
        best = std::max(best, Correlation(sourceEnvelope, outputEnvelope, lag));
    EXPECT_GT(best, 0.9);
    // The same envelope played backwards is not recognised: the check tells
    // the bar from any loud burst.
    std::vector<double> reversed(sourceEnvelope.rbegin(), sourceEnvelope.rend());
    double reversedBest = -1.0;
    for (std::ptrdiff_t lag = 0; lag + std::ptrdiff_t(reversed.size()) <= std::ptrdiff_t(outputEnvelope.size()); ++lag)
        reversedBest = std::max(reversedBest, Correlation(reversed, outputEnvelope, lag));
    EXPECT_LT(reversedBest, 0.7);
}

// A state saved after 100 frames and loaded by another run goes on with
// exactly the samples the unbroken run made (the counters, the pending
// steps and the DC blocker are all in the state: no click).
TEST(HardwareSound, ALoadedStateGoesOnWithTheSameSamples) {
    const fs::path state = Scratch() / "sine.state";
    const std::string rom = " '" + Rom("psg_sine") + "'";
    const TWav whole = RunWav("whole", "--model sms2 --frames 160" + rom);
    const fs::path first = Scratch() / "first.wav";
    ASSERT_EQ(RunHeadless("--model sms2 --frames 100 --save-state '" + state.string() + "' --wav '" + first.string() + "'" + rom).Status, 0);
    const TWav before = ReadWav(first);
    const TWav after = RunWav("after", "--model sms2 --frames 60 --load-state '" + state.string() + "'" + rom);
    ASSERT_EQ(before.Data.size() + after.Data.size(), whole.Data.size());
    EXPECT_TRUE(std::equal(after.Data.begin(), after.Data.end(), whole.Data.begin() + std::ptrdiff_t(before.Data.size())));
}

// The Game Gear cartridge plays 1 kHz on tone 1 and 250 Hz on tone 2 and
// writes 0x12 to port 0x06: tone 1 on the left alone, tone 2 on the right
// alone. The runner picks the Game Gear for the .gg file by itself; each
// side's spectrum peaks at its own tone, the other's 20 dB or more below.
TEST(HardwareSound, TheGameGearsStereoRegisterSendsEachToneToItsSide) {
    const TWav wav = RunWav("stereo", "--frames 60 '" + Rom("gg_stereo") + "'");
    ASSERT_EQ(wav.Channels, 2);
    EXPECT_FALSE(wav.SidesEqual());
    const double tone1 = 3579545.0 / (32 * 112), tone2 = 3579545.0 / (32 * 447);
    struct TSide {
        std::size_t Index;
        double Own, Other;
    };
    for (const TSide side : {TSide{0, tone1, tone2}, TSide{1, tone2, tone1}}) {
        SCOPED_TRACE(side.Index == 0 ? "left" : "right");
        std::size_t n = 0;
        const std::vector<double> db = SpectrumDb(wav.Side(side.Index, 0.2), n);
        const auto bin = [&](double hz) { return std::size_t(hz * double(n) / kRate + 0.5); };
        const double peakHz = double(std::max_element(db.begin() + 1, db.end()) - db.begin()) * kRate / double(n);
        EXPECT_NEAR(peakHz, side.Own, 2.0 * kRate / double(n));
        double other = -1e9;
        for (std::size_t k = bin(side.Other) - 2; k <= bin(side.Other) + 2; ++k) other = std::max(other, db[k]);
        EXPECT_LT(other, db[bin(side.Own)] - 20.0);
    }
}

}  // namespace
