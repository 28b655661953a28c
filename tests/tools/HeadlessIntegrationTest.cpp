// Whole-console tests through tiravel-headless: the open BIOS and the test
// cartridges of tests/roms/ run on the real cores, and the results are read
// back from the exported frame image (BMP), the WAV file, the battery file
// and golden frame hashes.
//
// The test cartridges draw their results in a fixed layout (see
// tests/roms/rom.inc): a status block at tile (28, 2), green when the
// cartridge's own check passed, and 16-bit values as rows of cells on tile
// rows 20 and 22 from column 8, yellow for 1 and grey for 0.
//
// Golden hashes live in tests/tools/golden/<name>.hash beside a PNG of the
// same frame. Run with TIRAVEL_UPDATE_GOLDEN=1 to rewrite both after a
// deliberate change, and look at the PNGs before committing them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "HeadlessRun.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBmpSize = 50230;
constexpr std::size_t kPixelOffset = 1078;
constexpr int kWidth = 256, kHeight = 192;

// Colour values of the test cartridges' palette (tests/roms/rom.inc).
constexpr uint8_t kPass = 0x0C, kFail = 0x03, kCellOne = 0x0F, kCellZero = 0x15;
constexpr uint8_t kRomPalette[16] = {0x00, 0x3F, 0x15, 0x0F, 0x0C, 0x03, 0x30, 0x3C,
                                     0x33, 0x07, 0x04, 0x10, 0x22, 0x2A, 0x06, 0x37};

std::string Rom(const std::string& name) { return std::string(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms"; }

// Writes an input script and returns its --input option.
std::string Input(const std::string& name, const std::string& script) {
    const fs::path path = Scratch() / (name + ".input");
    std::ofstream(path) << script;
    return " --input '" + path.string() + "'";
}

// The frame image of a run, with screen coordinates (line 0 at the top).
struct TFrame {
    std::string Bytes;
    uint8_t At(int x, int y) const {
        return static_cast<uint8_t>(Bytes[kPixelOffset + static_cast<std::size_t>(kHeight - 1 - y) * kWidth + x]);
    }
    uint8_t Tile(int column, int row) const { return At(column * 8 + 4, row * 8 + 4); }
    // A row of 16 result cells; nullopt when a cell is neither colour.
    std::optional<uint16_t> Value(int row) const {
        uint16_t value = 0;
        for (int i = 0; i < 16; ++i) {
            const uint8_t cell = Tile(8 + i, row);
            if (cell != kCellOne && cell != kCellZero) return std::nullopt;
            value = static_cast<uint16_t>(value << 1 | (cell == kCellOne ? 1 : 0));
        }
        return value;
    }
    uint8_t Status() const { return Tile(28, 2); }
    int Count(uint8_t colour, int x0, int y0, int x1, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += At(x, y) == colour;
        return n;
    }
};

// Runs the console and returns the last frame image; fails the test if the
// run does not succeed or the image has the wrong size.
TFrame RunFrame(const std::string& name, const std::string& args) {
    const fs::path bmp = Scratch() / (name + ".bmp");
    fs::remove(bmp);
    const THeadlessRun result = RunHeadless(args + " --bmp '" + bmp.string() + "'");
    EXPECT_EQ(result.Status, 0) << args << "\n" << result.Err;
    TFrame frame{ReadAll(bmp)};
    EXPECT_EQ(frame.Bytes.size(), kBmpSize) << args;
    if (frame.Bytes.size() != kBmpSize) frame.Bytes.assign(kBmpSize, '\0');
    return frame;
}

std::string HashLine(const std::string& out, const std::string& key) {
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind(key + " ", 0) == 0) return line.substr(key.size() + 1);
    return "";
}

// ---------------------------------------------------------------- golden

struct TGolden {
    const char* Name;
    std::string Args;
};

void PrintTo(const TGolden& golden, std::ostream* out) { *out << golden.Name; }

class GoldenScreen : public ::testing::TestWithParam<TGolden> {};

TEST_P(GoldenScreen, FrameHashMatchesTheGoldenOne) {
    const TGolden& golden = GetParam();
    const fs::path dir = fs::path(TIRAVEL_SOURCE_DIR) / "tests/tools/golden";
    const fs::path png = Scratch() / (std::string(golden.Name) + ".png");
    const THeadlessRun result = RunHeadless(golden.Args + " --hash --png '" + png.string() + "'");
    ASSERT_EQ(result.Status, 0) << result.Err;
    const std::string actual = HashLine(result.Out, "frame");
    ASSERT_EQ(actual.size(), 16u) << result.Out;

    const fs::path hashFile = dir / (std::string(golden.Name) + ".hash");
    if (const char* update = std::getenv("TIRAVEL_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        fs::create_directories(dir);
        std::ofstream(hashFile) << actual << "\n";
        fs::copy_file(png, dir / png.filename(), fs::copy_options::overwrite_existing);
        GTEST_SKIP() << "golden rewritten: " << hashFile;
    }
    std::string expected = ReadAll(hashFile);
    while (!expected.empty() && (expected.back() == '\n' || expected.back() == '\r')) expected.pop_back();
    EXPECT_EQ(actual, expected) << golden.Name << ": frame hash " << actual << ", golden " << expected
                                << "; this run's picture: " << png << ", the golden one: "
                                << (dir / png.filename());
}

INSTANTIATE_TEST_SUITE_P(
    Screens, GoldenScreen,
    ::testing::Values(TGolden{"bios_american", "--frames 40"},
                      TGolden{"bios_japanese", "--frames 40 --bios-type japanese"},
                      TGolden{"no_cartridge", "--frames 150"},
                      TGolden{"handover", "--frames 150 '" + Rom("handover") + "'"},
                      TGolden{"paging", "--frames 150 '" + Rom("paging") + "'"},
                      TGolden{"lineint", "--frames 150 '" + Rom("lineint") + "'"}),
    [](const ::testing::TestParamInfo<TGolden>& info) { return std::string(info.param.Name); });

// Reads the 8-bit mono samples of a WAV file (data chunk found by walking
// the chunks, not assumed at offset 44).
std::vector<uint8_t> WavSamples(const std::string& bytes, uint32_t& rate) {
    auto u32 = [&](std::size_t at) {
        return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8 |
                                     static_cast<uint8_t>(bytes[at + 2]) << 16 |
                                     static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24);
    };
    std::vector<uint8_t> samples;
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return samples;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const uint32_t size = u32(at + 4);
        if (id == "fmt ") rate = u32(at + 12);
        if (id == "data") {
            const std::size_t n = std::min<std::size_t>(size, bytes.size() - at - 8);
            samples.assign(bytes.begin() + static_cast<long>(at + 8), bytes.begin() + static_cast<long>(at + 8 + n));
            break;
        }
        at += 8 + size + (size & 1);
    }
    return samples;
}

std::vector<uint8_t> WavSamples(const fs::path& path) {
    uint32_t rate = 0;
    return WavSamples(ReadAll(path), rate);
}

// Samples other than silence (128) in frames [first, last).
int Loud(const std::vector<uint8_t>& samples, std::size_t first, std::size_t last) {
    int n = 0;
    for (std::size_t i = first * 735; i < std::min(last * 735, samples.size()); ++i) n += samples[i] != 128;
    return n;
}

// ------------------------------------------------------------------ BIOS

TEST(Bios, HandsOverToTheCartridgeWhoseOwnScreenAppears) {
    // The BIOS starts the cartridge within 90 frames; the cartridge then
    // needs a few frames of its own to clear VRAM and draw.
    const TFrame frame = RunFrame("handover", "--frames 96 '" + Rom("handover") + "'");
    EXPECT_EQ(frame.Status(), kPass) << "the cartridge was entered with interrupts enabled, or not at all";
    for (int stripe = 0; stripe < 16; ++stripe)
        for (int y : {40, 80, 120})
            EXPECT_EQ(frame.At(stripe * 16 + 7, y), kRomPalette[stripe]) << "stripe " << stripe << " line " << y;
    EXPECT_EQ(frame.Value(20), 0xA5C3);
}

TEST(Bios, BothRegionsShowTheirOwnSplash) {
    const THeadlessRun american = RunHeadless("--frames 40 --hash");
    const THeadlessRun japanese = RunHeadless("--frames 40 --hash --bios-type japanese");
    ASSERT_EQ(american.Status, 0);
    ASSERT_EQ(japanese.Status, 0);
    EXPECT_NE(HashLine(american.Out, "frame"), HashLine(japanese.Out, "frame"));
    EXPECT_NE(HashLine(american.Out, "sound"), HashLine(japanese.Out, "sound")) << "the chimes should differ";

    const TFrame a = RunFrame("splash_a", "--frames 40");
    const TFrame j = RunFrame("splash_j", "--frames 40 --bios-type japanese");
    EXPECT_EQ(a.At(0, 0), 0x10) << "dark blue screen";
    EXPECT_EQ(j.At(0, 0), 0x01) << "dark red screen";
    // The big title (tile rows 8-9) is drawn in the four title shades.
    for (uint8_t shade : {0x0F, 0x0B, 0x07, 0x03}) EXPECT_GT(a.Count(shade, 72, 64, 184, 80), 10) << int(shade);
    for (uint8_t shade : {0x3F, 0x3B, 0x37, 0x33}) EXPECT_GT(j.Count(shade, 72, 64, 184, 80), 10) << int(shade);
}

TEST(Bios, SplashSoundsAChimeAndEndsSilent) {
    const fs::path wav = Scratch() / "chime.wav";
    ASSERT_EQ(RunHeadless("--frames 130 --wav '" + wav.string() + "'").Status, 0);
    const std::vector<uint8_t> samples = WavSamples(wav);
    ASSERT_EQ(samples.size(), 130u * 735u);
    EXPECT_GT(Loud(samples, 5, 50), 1000) << "no chime during the splash";
    EXPECT_EQ(Loud(samples, 100, 130), 0) << "the no-cartridge screen is silent until a button is pressed";
}

// The ball of the no-cartridge screen: pixels of its colour (sprite colour
// 2 of the American palette), and their centre.
struct TBall {
    int Pixels = 0;
    double X = 0, Y = 0;
};

TBall FindBall(const TFrame& frame, uint8_t colour) {
    TBall ball;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (frame.At(x, y) == colour) {
                ++ball.Pixels;
                ball.X += x;
                ball.Y += y;
            }
    if (ball.Pixels) {
        ball.X /= ball.Pixels;
        ball.Y /= ball.Pixels;
    }
    return ball;
}

TEST(Bios, NoCartridgeScreenIsInteractive) {
    constexpr uint8_t kBall = 0x0C, kBallPressed = 0x33, kMessage = 0x2F;
    const TFrame idle = RunFrame("idle", "--frames 150");
    // "NO CARTRIDGE" on tile row 16, in the second text colour.
    EXPECT_GT(idle.Count(kMessage, 80, 128, 176, 136), 60);
    const TBall rest = FindBall(idle, kBall);
    ASSERT_GT(rest.Pixels, 40) << "no ball on the screen";

    // 30 frames of right and 20 of down: one pixel per frame each way.
    const TFrame moved = RunFrame("moved", "--frames 150" + Input("moved",
                                                                  "100 press p1.right\n130 release p1.right\n"
                                                                  "100 press p1.down\n120 release p1.down\n"));
    const TBall after = FindBall(moved, kBall);
    ASSERT_EQ(after.Pixels, rest.Pixels);
    EXPECT_NEAR(after.X - rest.X, 30, 1.5);
    EXPECT_NEAR(after.Y - rest.Y, 20, 1.5);

    // Button 1 held: a note sounds and the ball changes colour.
    const fs::path wav = Scratch() / "note.wav";
    const TFrame note = RunFrame("note", "--frames 150 --wav '" + wav.string() + "'" +
                                             Input("note", "120 press p1.b1\n"));
    EXPECT_EQ(FindBall(note, kBall).Pixels, 0);
    EXPECT_EQ(FindBall(note, kBallPressed).Pixels, rest.Pixels);
    const std::vector<uint8_t> samples = WavSamples(wav);
    EXPECT_EQ(Loud(samples, 100, 120), 0);
    EXPECT_GT(Loud(samples, 121, 150), 29 * 735 / 2) << "button 1 plays no note";
}

TEST(Bios, PauseTogglesTheMarkerAndResetRestartsTheBios) {
    constexpr uint8_t kMarker = 0x2F;
    auto marker = [&](const TFrame& f) { return f.Count(kMarker, 104, 168, 144, 176); };  // tile row 21
    const TFrame idle = RunFrame("idle_marker", "--frames 150");
    EXPECT_EQ(marker(idle), 0);
    // One NMI: the marker shows; a second one, after the lock-out, hides it.
    const TFrame paused = RunFrame("paused", "--frames 150" + Input("paused", "100 press pause\n101 release pause\n"));
    EXPECT_GT(marker(paused), 20);
    const TFrame resumed = RunFrame("resumed", "--frames 150" + Input("resumed",
                                                                      "100 press pause\n101 release pause\n"
                                                                      "125 press pause\n126 release pause\n"));
    EXPECT_EQ(marker(resumed), 0);

    // Reset at frame 110: by frame 150 the BIOS is back on its splash, and it
    // reaches the no-cartridge screen again later.
    const std::string reset = Input("reset", "110 press reset\n");
    const TFrame restarted = RunFrame("restarted", "--frames 150" + reset);
    EXPECT_EQ(restarted.Count(0x2F, 80, 128, 176, 136), 0) << "still on the no-cartridge screen";
    EXPECT_GT(restarted.Count(0x0F, 72, 64, 184, 80), 10) << "no splash title";
    const TFrame again = RunFrame("again", "--frames 260" + reset);
    EXPECT_GT(again.Count(0x2F, 80, 128, 176, 136), 60);
}

// ------------------------------------------------------------ cartridges

TEST(Cartridge, PagesBanksTwoToSevenThroughBothRegisters) {
    const TFrame frame = RunFrame("paging", "--frames 150 '" + Rom("paging") + "'");
    EXPECT_EQ(frame.Value(20), 0x00FC) << "banks read right through 0xFFFF (also with bank + 8)";
    EXPECT_EQ(frame.Value(22), 0x00FC) << "banks read right through 0xFFFE";
    EXPECT_EQ(frame.Status(), kPass);
}

TEST(Cartridge, BatteryRamIsSavedOnExitAndReadBackNextRun) {
    const fs::path dir = Scratch() / "ram";
    fs::remove_all(dir);
    const std::string args = "--frames 120 --ram-dir '" + dir.string() + "' '" + Rom("battery") + "'";
    const fs::path file = dir / "battery.RAM";
    for (int run = 1; run <= 2; ++run) {
        const TFrame frame = RunFrame("battery", args);
        EXPECT_EQ(frame.Value(20), run) << "run " << run;
        EXPECT_EQ(frame.Status(), kPass);
        const std::string saved = ReadAll(file);
        ASSERT_EQ(saved.size(), 32768u) << "run " << run << ": no battery file " << file;
        EXPECT_EQ(static_cast<uint8_t>(saved[0]), run);
        EXPECT_EQ(saved.substr(1, 3), "TRV");
    }
}

TEST(Cartridge, LineInterruptSplitsTheScreen) {
    constexpr int kScroll = 36;
    const TFrame frame = RunFrame("lineint", "--frames 150 '" + Rom("lineint") + "'");
    // Tile column c is solid colour c AND 15; a scrolled line is moved right.
    auto matches = [&](int y, int scroll) {
        for (int x = 0; x < kWidth; ++x)
            if (frame.At(x, y) != kRomPalette[(((x - scroll + kWidth) % kWidth) / 8) & 15]) return false;
        return true;
    };
    int split = -1;
    for (int y = 0; y < kHeight; ++y) {
        const bool top = matches(y, 0), bottom = matches(y, kScroll);
        ASSERT_TRUE(top || bottom) << "line " << y << " is neither unscrolled nor scrolled by " << kScroll;
        if (bottom && split < 0) split = y;
        if (split >= 0) {
            EXPECT_TRUE(bottom) << "line " << y << " after the split";
        }
    }
    // Register 10 = 95: the interrupt comes on line 95; its new scroll shows
    // from the next line on.
    EXPECT_EQ(split, 96);
}

TEST(Cartridge, HeldPauseRaisesOneNmiPerLockOut) {
    struct Case {
        int HeldFrames, Nmis;
    } cases[] = {{1, 1}, {19, 1}, {21, 2}, {45, 3}};
    for (const Case& c : cases) {
        const std::string script =
            "120 press pause\n" + std::to_string(120 + c.HeldFrames) + " release pause\n";
        const TFrame frame = RunFrame("pause", "--frames 200 '" + Rom("pause") + "'" + Input("pause", script));
        EXPECT_EQ(frame.Value(20), c.Nmis) << "pause held for " << c.HeldFrames << " frames";
    }
}

TEST(Cartridge, ResetButtonIsSeenOncePerPress) {
    struct Case {
        std::string Script;
        int Presses;
    } cases[] = {{"", 0}, {"150 press reset\n", 1}, {"150 press reset\n170 press reset\n", 2}};
    for (const Case& c : cases) {
        const TFrame frame = RunFrame("reset", "--frames 200 '" + Rom("reset") + "'" + Input("reset", c.Script));
        EXPECT_EQ(frame.Value(20), c.Presses) << c.Script;
    }
}

TEST(Cartridge, FrameskipKeepsGameSpeed) {
    // 201 frames: the last one is drawn with every frameskip setting.
    std::optional<uint16_t> counts[3];
    const int skips[3] = {0, 1, 3};
    for (int i = 0; i < 3; ++i) {
        const TFrame frame = RunFrame("speed", "--frames 201 --frameskip " + std::to_string(skips[i]) + " '" +
                                                   Rom("speed") + "'");
        counts[i] = frame.Value(20);
        ASSERT_TRUE(counts[i].has_value()) << "frameskip " << skips[i];
    }
    EXPECT_GT(*counts[0], 100);
    EXPECT_LT(*counts[0], 201);
    EXPECT_EQ(counts[1], counts[0]);
    EXPECT_EQ(counts[2], counts[0]);
}

TEST(Cartridge, LatencyCartridgeAnswersButtonOneWithinAFrame) {
    // Every run ends on frame 200 with the same frame count shown, so the
    // pictures differ only by the backdrop, white while button 1 is held.
    auto hash = [](const std::string& name, const std::string& script) {
        const THeadlessRun result = RunHeadless("--frames 200 --hash" + Input(name, script) + " '" + Rom("latency") + "'");
        EXPECT_EQ(result.Status, 0) << result.Err;
        return HashLine(result.Out, "frame");
    };
    const std::string released = hash("none", "");
    ASSERT_FALSE(released.empty());
    EXPECT_NE(hash("held", "197 press p1.b1\n"), released) << "pressed two frames before the last";
    EXPECT_EQ(hash("let_go", "150 press p1.b1\n180 release p1.b1\n"), released) << "released again";
    EXPECT_EQ(hash("button2", "150 press p1.b2\n"), released) << "only button 1 answers";
}

TEST(Cartridge, ToneOfKnownPeriodHasTheExpectedPitch) {
    const fs::path wav = Scratch() / "tone.wav";
    ASSERT_EQ(RunHeadless("--frames 300 --wav '" + wav.string() + "' '" + Rom("tone") + "'").Status, 0);
    uint32_t rate = 0;
    const std::vector<uint8_t> samples = WavSamples(ReadAll(wav), rate);
    ASSERT_EQ(rate, 44100u);
    ASSERT_EQ(samples.size(), 300u * 735u);
    // After the BIOS's chime and the hand-over: frames 120 to 299.
    const std::size_t first = 120 * 735;
    int rising = 0;
    std::size_t firstRise = 0, lastRise = 0;
    for (std::size_t i = first + 1; i < samples.size(); ++i)
        if (samples[i - 1] <= 128 && samples[i] > 128) {
            if (rising++ == 0) firstRise = i;
            lastRise = i;
        }
    ASSERT_GT(rising, 100);
    const double hz = (rising - 1) * static_cast<double>(rate) / static_cast<double>(lastRise - firstRise);
    const double expected = 110250.0 / 0x0FE;
    EXPECT_NEAR(hz, expected, expected * 0.01) << "measured " << hz << " Hz";
}

}  // namespace
