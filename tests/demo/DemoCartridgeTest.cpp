// The demo cartridge (demo/) through tiravel-headless: its header, the
// title's golden picture, the players' sprites, the still status bar over
// the scrolling background, the drums and the tones, pause, the reset
// button and the start counter in battery RAM.
//
// Timeline the tests rely on: the BIOS hands over and the title is up
// before frame 80; a press of player 1's button 1 at frame 90 starts the
// scene, shown from frame 101; its music opens with one bar of drums alone
// (about frames 97 to 208), then the tones come in.
//
// The golden title lives in tests/demo/golden/title.hash beside a PNG of
// the same frame; TIRAVEL_UPDATE_GOLDEN=1 rewrites both.
#include <QImage>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "HeadlessRun.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 256, kHeight = 192;
constexpr std::size_t kSamplesPerFrame = 735, kWavHeader = 44;
const std::string kStart = "90 press p1.b1\n91 release p1.b1\n";

struct TRun {
    int Status = -1;
    std::string FrameHash, SoundHash, Err;
    QImage Image;
    std::string Wav;
};

// Runs the demo for `frames` frames with an input script (may be empty) and
// extra options; returns the hashes, the last frame and, with wav, the sound.
TRun RunDemo(const std::string& name, int frames, const std::string& script, const std::string& extra = "",
             bool wav = false) {
    const fs::path input = Scratch() / (name + ".input"), png = Scratch() / (name + ".png"),
                   sound = Scratch() / (name + ".wav");
    std::ofstream(input) << script;
    std::string args = "--frames " + std::to_string(frames) + " --hash --input '" + input.string() + "' --png '" +
                       png.string() + "' " + extra;
    if (wav) args += " --wav '" + sound.string() + "'";
    args += " '" + std::string(TIRAVEL_DEMO_ROM) + "'";
    const THeadlessRun headless = RunHeadless(args);
    const std::string& command = headless.Command;
    TRun run;
    run.Status = headless.Status;
    run.Err = headless.Err;
    std::istringstream lines(headless.Out);
    std::string key, value;
    while (lines >> key >> value) (key == "frame" ? run.FrameHash : run.SoundHash) = value;
    run.Image.load(QString::fromStdString(png.string()));
    if (wav) run.Wav = ReadAll(sound);
    EXPECT_EQ(run.Status, 0) << command << "\n" << run.Err;
    EXPECT_EQ(run.FrameHash.size(), 16u) << command;
    EXPECT_EQ(run.Image.width(), kWidth) << command;
    EXPECT_EQ(run.Image.height(), kHeight) << command;
    return run;
}

bool SameLine(const QImage& a, const QImage& b, int y) {
    for (int x = 0; x < kWidth; ++x)
        if (a.pixel(x, y) != b.pixel(x, y)) return false;
    return true;
}

int CountColour(const QImage& image, QRgb colour, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += image.pixel(x, y) == colour;
    return n;
}

// The samples of frames [first, last) of a WAV file from the runner.
std::vector<uint8_t> Samples(const std::string& wav, std::size_t first, std::size_t last) {
    std::vector<uint8_t> samples;
    for (std::size_t i = kWavHeader + first * kSamplesPerFrame;
         i < kWavHeader + last * kSamplesPerFrame && i < wav.size(); ++i)
        samples.push_back(static_cast<uint8_t>(wav[i]));
    return samples;
}

TEST(DemoCartridge, ImageHasEightBanksAndAChecksummedHeader) {
    const std::string rom = ReadAll(TIRAVEL_DEMO_ROM);
    ASSERT_EQ(rom.size(), 131072u);
    EXPECT_EQ(rom.substr(0x7FF0, 8), "TMR SEGA");
    EXPECT_EQ(static_cast<uint8_t>(rom[0x7FFF]), 0x4F);  // export console, 128 KB
    unsigned sum = 0;
    for (std::size_t i = 0; i < rom.size(); ++i)
        if (i < 0x7FF0 || i >= 0x8000) sum += static_cast<uint8_t>(rom[i]);
    const unsigned stored = static_cast<uint8_t>(rom[0x7FFA]) | static_cast<uint8_t>(rom[0x7FFB]) << 8;
    EXPECT_EQ(stored, sum & 0xFFFF);
    for (int bank = 4; bank < 8; ++bank)
        EXPECT_EQ(rom.substr(static_cast<std::size_t>(bank) * 16384, 19),
                  "TIRAVEL DEMO BANK " + std::to_string(bank));
}

TEST(DemoCartridge, TitleMatchesTheGoldenPicture) {
    const TRun run = RunDemo("title", 150, "");
    const fs::path dir = fs::path(TIRAVEL_SOURCE_DIR) / "tests/demo/golden";
    const fs::path hashFile = dir / "title.hash";
    if (const char* update = std::getenv("TIRAVEL_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        fs::create_directories(dir);
        std::ofstream(hashFile) << run.FrameHash << "\n";
        fs::copy_file(Scratch() / "title.png", dir / "title.png", fs::copy_options::overwrite_existing);
        GTEST_SKIP() << "golden rewritten: " << hashFile;
    }
    std::string expected = ReadAll(hashFile);
    while (!expected.empty() && (expected.back() == '\n' || expected.back() == '\r')) expected.pop_back();
    EXPECT_EQ(run.FrameHash, expected) << "this run's picture: " << Scratch() / "title.png"
                                       << ", the golden one: " << dir / "title.png";
}

// Player 1's ship starts at x 64, y 96 in pink, player 2's runner at x 184,
// y 96 in magenta, colours the background never uses; the ship's row 6 and
// the runner's row 4 are solid. Sprites move 2 pixels a frame: holding right
// on pad 1 for 30 frames moves the ship 60 pixels right; holding left and up
// on pad 2 (port 0xDD bit 0, port 0xDC bit 6) for 10 frames moves the runner
// 20 pixels left and 20 up.
TEST(DemoCartridge, PadsMoveTheirPlayersSprites) {
    const TRun still = RunDemo("still", 160, kStart);
    const TRun moved = RunDemo("moved", 160,
                               kStart + "120 press p1.right\n150 release p1.right\n"
                                        "120 press p2.left\n120 press p2.up\n130 release p2.left\n"
                                        "130 release p2.up\n");
    EXPECT_NE(still.FrameHash, moved.FrameHash);
    const QRgb pink = still.Image.pixel(66, 102);
    EXPECT_EQ(CountColour(still.Image, pink, 16, 16, kWidth, kHeight),
              CountColour(still.Image, pink, 64, 96, 72, 112)) << "pink only in the sprite";
    EXPECT_GT(CountColour(still.Image, pink, 64, 96, 72, 112), 40);
    EXPECT_EQ(CountColour(moved.Image, pink, 56, 96, 80, 112), 0);
    EXPECT_EQ(CountColour(moved.Image, pink, 124, 96, 132, 112), CountColour(still.Image, pink, 64, 96, 72, 112));

    const QRgb magenta = still.Image.pixel(186, 100);
    const int runner = CountColour(still.Image, magenta, 184, 96, 192, 112);
    EXPECT_GT(runner, 20);
    EXPECT_NE(magenta, pink);
    EXPECT_EQ(CountColour(moved.Image, magenta, 176, 88, 200, 112), 0);
    EXPECT_EQ(CountColour(moved.Image, magenta, 164, 76, 172, 92), runner);
}

// Both players' buttons change their sprites and start a sound effect.
TEST(DemoCartridge, ButtonsChangeTheSpritesAndSound) {
    const TRun plain = RunDemo("plain", 140, kStart);
    for (const char* button : {"p1.b1", "p1.b2", "p2.b1", "p2.b2"}) {
        const TRun pressed =
            RunDemo(std::string("button_") + button, 140,
                    kStart + "120 press " + button + "\n121 release " + button + "\n");
        EXPECT_NE(pressed.FrameHash, plain.FrameHash) << button;
        EXPECT_NE(pressed.SoundHash, plain.SoundHash) << button;
    }
    // Button 2 gives player 1 its next colour, button 1 its next shape.
    const QRgb pink = plain.Image.pixel(66, 102);
    const int ship = CountColour(plain.Image, pink, 64, 96, 72, 112);
    const TRun recoloured = RunDemo("recoloured", 140, kStart + "120 press p1.b2\n121 release p1.b2\n");
    EXPECT_EQ(CountColour(recoloured.Image, pink, 64, 96, 72, 112), 0);
    EXPECT_EQ(CountColour(recoloured.Image, recoloured.Image.pixel(66, 102), 64, 96, 72, 112), ship);
    const TRun reshaped = RunDemo("reshaped", 140, kStart + "120 press p1.b1\n121 release p1.b1\n");
    const int runner = CountColour(reshaped.Image, pink, 64, 96, 72, 112);
    EXPECT_GT(runner, 20);
    EXPECT_NE(runner, ship);
}

// Lines 0-15 (the bar) are the same in frames 20 apart: 20 pixels of
// horizontal scroll, 10 lines of vertical scroll, so at least one step of
// register 9 by a tile row; the lines below all change.
TEST(DemoCartridge, StatusBarStaysStillWhileTheBackgroundScrolls) {
    const TRun a = RunDemo("scroll_a", 150, kStart), b = RunDemo("scroll_b", 170, kStart);
    for (int y = 0; y < 16; ++y) EXPECT_TRUE(SameLine(a.Image, b.Image, y)) << "bar line " << y;
    int changed = 0;
    for (int y = 16; y < kHeight; ++y) changed += !SameLine(a.Image, b.Image, y);
    EXPECT_EQ(changed, kHeight - 16);
}

// The noise channel is the only unipolar one: with every tone at rest its
// samples are 128 or above, while a sounding tone swings both ways round 128.
// The count-in bar plays the drums alone, so there every sample must be
// >= 128, some above, in runs of irregular length (white noise, not a tone
// at attenuation 15 or a periodic pattern); after it the tones must sound.
TEST(DemoCartridge, MusicHasDrumsOnTheNoiseChannelAndTones) {
    const TRun run = RunDemo("music", 330, kStart, "", true);
    const std::vector<uint8_t> drums = Samples(run.Wav, 100, 205);
    ASSERT_EQ(drums.size(), 105 * kSamplesPerFrame);
    std::set<std::size_t> runLengths;
    std::size_t loud = 0, length = 0;
    for (uint8_t s : drums) {
        EXPECT_GE(s, 128) << "a tone sounds in the count-in";
        if (s > 128) {
            ++loud;
            ++length;
        } else if (length) {
            runLengths.insert(length);
            length = 0;
        }
    }
    EXPECT_GT(loud, 2000u);
    EXPECT_GE(runLengths.size(), 8u) << "noise runs should vary in length";

    const std::vector<uint8_t> band = Samples(run.Wav, 215, 330);
    std::size_t below = 0;
    for (uint8_t s : band) below += s < 128;
    EXPECT_GT(below, band.size() / 10) << "the tones should sound after the count-in";
}

// The song is the count-in and 8 bars of 112 frames, then the 8 bars again
// without the count-in: the loop comes at about frame 1107, so the second
// half of the bar after it (once the last notes have faded) must have tones.
TEST(DemoCartridge, MusicLoopsWithoutTheCountIn) {
    const TRun run = RunDemo("loop", 1230, kStart, "", true);
    const std::vector<uint8_t> band = Samples(run.Wav, 1165, 1215);
    ASSERT_EQ(band.size(), 50 * kSamplesPerFrame);
    std::size_t below = 0;
    for (uint8_t s : band) below += s < 128;
    EXPECT_GT(below, band.size() / 10) << "the bar after the loop";
}

// Pause at frame 150 freezes the picture; a second press at 200 resumes.
TEST(DemoCartridge, PauseFreezesTheSceneUntilPressedAgain) {
    const std::string pause = kStart + "150 press pause\n151 release pause\n";
    const TRun early = RunDemo("paused_early", 170, pause), late = RunDemo("paused_late", 195, pause);
    EXPECT_EQ(early.FrameHash, late.FrameHash);
    const TRun running = RunDemo("running", 195, kStart);
    EXPECT_NE(running.FrameHash, late.FrameHash);
    const TRun resumed = RunDemo("resumed", 215, pause + "200 press pause\n201 release pause\n");
    EXPECT_NE(resumed.FrameHash, late.FrameHash);
    // "PAUSE" in the bar: the bar's lines differ from the running scene's.
    int barLines = 0;
    for (int y = 0; y < 8; ++y) barLines += !SameLine(running.Image, late.Image, y);
    EXPECT_GT(barLines, 3);
}

TEST(DemoCartridge, ResetButtonReturnsToTheTitle) {
    const TRun title = RunDemo("title_again", 150, "");
    const TRun reset = RunDemo("reset", 260, kStart + "150 press reset\n151 release reset\n");
    EXPECT_EQ(reset.FrameHash, title.FrameHash);
}

// The first run counts 1 start, the second reads it back and counts 2.
TEST(DemoCartridge, BatteryRamCountsStartsAcrossRuns) {
    const fs::path dir = Scratch() / "rams";
    fs::remove_all(dir);
    const std::string option = "--ram-dir '" + dir.string() + "'";
    const TRun first = RunDemo("first", 150, "", option);
    const std::string ram1 = ReadAll(dir / "tiravel-demo.RAM");
    ASSERT_EQ(ram1.size(), 32768u);
    EXPECT_EQ(ram1.substr(0, 6), std::string("TRVD\x01\x00", 6));
    const TRun second = RunDemo("second", 150, "", option);
    const std::string ram2 = ReadAll(dir / "tiravel-demo.RAM");
    EXPECT_EQ(ram2.substr(0, 6), std::string("TRVD\x02\x00", 6));
    EXPECT_NE(first.FrameHash, second.FrameHash) << "the title shows the count";
}

}  // namespace
