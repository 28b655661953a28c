// Game Gear cartridges from public projects (tests/data/gamegear/, each with
// its licence and origin in the README there) on the console with no BIOS:
// each must choose the Game Gear by itself, and show in the handheld's
// 160 x 144 window what its source says it draws.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "Console.h"

namespace {

std::string Data(const char* name) { return std::string(TIRAVEL_GAMEGEAR_DATA_DIR) + "/" + name; }

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The distinct colours of the frame's picture, as the front ends show them.
std::set<uint32_t> Colours(const TConsole& console) {
    std::vector<uint32_t> pixels(std::size_t{console.PictureWidth()} * console.PictureHeight());
    console.FrameToXrgb8888(pixels.data());
    return {pixels.begin(), pixels.end()};
}

// The share of pixels that differ between two pictures of the same size.
double Changed(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    std::size_t changed = 0;
    for (std::size_t i = 0; i < a.size(); ++i) changed += a[i] != b[i];
    return static_cast<double>(changed) / static_cast<double>(a.size());
}

std::vector<uint32_t> Pixels(const TConsole& console) {
    std::vector<uint32_t> pixels(std::size_t{console.PictureWidth()} * console.PictureHeight());
    console.FrameToXrgb8888(pixels.data());
    return pixels;
}

// A console of the model the cartridge's file asks for, with the cartridge
// loaded, as a front end makes it.
struct TGame {
    TConsole Console;
    explicit TGame(const char* name) {
        const std::vector<uint8_t> image = ReadFile(Data(name));
        EXPECT_EQ(image.size() % 16384, 0u) << name << " is missing";
        EXPECT_EQ(Console_ModelForCartridge(name, image, TConsoleModel::Tiravel), TConsoleModel::GameGear);
        EXPECT_EQ(Console_ModelForCartridge(name, image, TConsoleModel::MasterSystem2), TConsoleModel::GameGear);
        Console.Configure({Console_ModelForCartridge(name, image, TConsoleModel::Tiravel)});
        Console.LoadCartridge(image.data(), image.size(), name);
    }
    void Run(int frames) {
        for (int frame = 0; frame < frames; ++frame) {
            Console.RunFrame();
            (void)Console.RenderFrameStereo();
        }
    }
};

}  // namespace

// Every cartridge picks the Game Gear (the picture example by its ".gg" name
// alone: it has no header) and shows a picture in the 160 x 144 window with
// the colours of its kind of screen.
TEST(GameGearHomebrew, EachChoosesTheGameGearAndFillsTheWindow) {
    struct TCase {
        const char* Name;
        std::size_t MinColours, MaxColours;
    };
    const TCase cases[] = {
        // A photograph of a Game Gear reduced to the 12-bit colours: both
        // palettes' worth of them (27 here), far more than any text screen.
        {"ComputerNerd_RGT_gameGear_example.gg", 20, 32},
        // The title screen: a few colours of text on black (4 here).
        {"liamhays_tunnel.gg", 3, 8},
        // The keyboard, the registers' digits and their labels (9 here).
        {"JoppyFurr_SN76489-TestRom.gg", 5, 16},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TGame game(c.Name);
        game.Run(300);
        ASSERT_TRUE(game.Console.HasPicture());
        EXPECT_EQ(game.Console.Settings().Model, TConsoleModel::GameGear);
        EXPECT_EQ(game.Console.PictureWidth(), 160u);
        EXPECT_EQ(game.Console.PictureHeight(), 144u);
        const std::set<uint32_t> colours = Colours(game.Console);
        EXPECT_GE(colours.size(), c.MinColours);
        EXPECT_LE(colours.size(), c.MaxColours);
    }
}

// The tunnel game's title screen waits for Start (player 1's Pause input on
// the Game Gear, read on port 0x00): it holds still, and Start leaves it for
// the game, whose picture moves and whose sound plays. The game never writes
// the stereo register, so every channel stays on both sides: the two sides
// are the same sound.
TEST(GameGearHomebrew, TheTunnelGameWaitsOnItsTitleForStart) {
    TGame game("liamhays_tunnel.gg");
    game.Run(300);
    const std::vector<uint32_t> title = Pixels(game.Console);
    game.Run(100);
    EXPECT_EQ(Changed(title, Pixels(game.Console)), 0.0) << "the title screen moved";
    std::size_t heard = 0, sidesDiffer = 0;
    for (int frame = 0; frame < 120; ++frame) {
        if (frame < 5) game.Console.PressPause();
        game.Console.RunFrame();
        const std::span<const int16_t> stereo = game.Console.RenderFrameStereo();
        for (std::size_t i = 0; i + 1 < stereo.size(); i += 2) {
            heard += stereo[i] != 0;
            sidesDiffer += stereo[i] != stereo[i + 1];
        }
    }
    EXPECT_GT(heard, 1000u) << "no sound after Start";
    EXPECT_EQ(sidesDiffer, 0u);
    const std::vector<uint32_t> playing = Pixels(game.Console);
    EXPECT_GT(Changed(title, playing), 0.05) << "Start did not leave the title screen";
    game.Run(30);
    EXPECT_GT(Changed(playing, Pixels(game.Console)), 0.0) << "the game stands still";
}

// The sound chip tester draws its keyboard (white keys) along the bottom of
// the window, and with nothing pressed every channel's volume shows 0: its
// stereo output is silence on both sides, in whole sample pairs, about 801 a
// frame at the Game Gear's NTSC rate.
TEST(GameGearHomebrew, TheSoundTesterDrawsItsKeyboardAndIsSilent) {
    TGame game("JoppyFurr_SN76489-TestRom.gg");
    ASSERT_TRUE(game.Console.HasStereoSound());
    std::size_t pairs = 0;
    for (int frame = 0; frame < 300; ++frame) {
        game.Console.RunFrame();
        const std::span<const int16_t> stereo = game.Console.RenderFrameStereo();
        ASSERT_EQ(stereo.size() % 2, 0u) << "frame " << frame;
        EXPECT_GE(stereo.size() / 2, 800u) << "frame " << frame;
        EXPECT_LE(stereo.size() / 2, 802u) << "frame " << frame;
        pairs += stereo.size() / 2;
        if (frame >= 100) {
            std::size_t loud = 0;
            for (int16_t sample : stereo) loud += sample != 0;
            EXPECT_EQ(loud, 0u) << "frame " << frame;
        }
    }
    // 300 frames of the NTSC console's 59.92 frames a second.
    EXPECT_NEAR(static_cast<double>(pairs), 300 * CONSOLE_STEREO_SAMPLE_RATE / 59.9227, 3.0);
    const std::vector<uint32_t> pixels = Pixels(game.Console);
    std::size_t white = 0;
    for (std::size_t i = 120 * 160; i < pixels.size(); ++i) white += (pixels[i] & 0xFFFFFF) == 0xFFFFFF;
    EXPECT_GE(white, 24u * 160 / 3) << "no keyboard in the bottom 24 lines";
}
