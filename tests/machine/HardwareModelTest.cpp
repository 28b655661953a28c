// The hardware models as the console's interface offers them: the tables a
// front end lists, each model's timing, the Pause line's edge, the
// television standard a cartridge measures, and states that name their model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "Console.h"
#include "SaveState.h"

namespace {

std::string Rom(const char* name) { return std::string(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms"; }

constexpr TConsoleSettings kSms2Pal{TConsoleModel::MasterSystem2, TConsoleRegion::Export, TConsoleVideo::Pal};

uint16_t RamWord(const TConsole& console, uint32_t offset) {
    return uint16_t(console.Peek(TMemoryRegion::SystemRam, offset) |
                    console.Peek(TMemoryRegion::SystemRam, offset + 1) << 8);
}

TEST(HardwareModelTest, EveryChoiceIsFoundByItsIdAndHasAName) {
    auto check = [](auto rows, const char* what) {
        for (const auto& row : rows) {
            decltype(row.Value) found{};
            EXPECT_TRUE(Console_FindOption(row.Id, found)) << what << " " << row.Id;
            EXPECT_EQ(found, row.Value) << what << " " << row.Id;
            EXPECT_STREQ(Console_OptionInfo(row.Value).Name, row.Name);
        }
    };
    check(Console_Options<TConsoleModel>(), "model");
    check(Console_Options<TConsoleRegion>(), "region");
    check(Console_Options<TConsoleVideo>(), "video");
    check(Console_Options<TConsoleMapper>(), "mapper");
    TConsoleModel model{};
    EXPECT_TRUE(Console_FindModel("SMS2", model));
    EXPECT_EQ(model, TConsoleModel::MasterSystem2);
    TConsoleVideo video{};
    EXPECT_FALSE(Console_FindOption("secam", video));
}

// The default model ignores the region, standard and mapper; the real
// consoles run at their television standard's rate.
TEST(HardwareModelTest, EachModelHasItsStandardsTiming) {
    struct TCase {
        TConsoleSettings Settings;
        uint32_t Lines, CpuClock, WholeFps;
        double Rate;
    };
    const TCase cases[] = {
        {{TConsoleModel::Tiravel, TConsoleRegion::Japan, TConsoleVideo::Pal}, 262, 3579536, 60, 60.0},
        {{TConsoleModel::MasterSystem, TConsoleRegion::Export, TConsoleVideo::Ntsc}, 262, 3579545, 60, 59.9227},
        {{TConsoleModel::MasterSystem2, TConsoleRegion::Japan, TConsoleVideo::Ntsc}, 262, 3579545, 60, 59.9227},
        {kSms2Pal, 313, 3546895, 50, 49.7015},
        // The handheld is NTSC whatever the setting says.
        {{TConsoleModel::GameGear, TConsoleRegion::Japan, TConsoleVideo::Pal}, 262, 3579545, 60, 59.9227},
    };
    for (const TCase& c : cases) {
        TConsole console(c.Settings);
        SCOPED_TRACE(Console_ModelInfo(c.Settings.Model).Name);
        EXPECT_EQ(console.LinesPerFrame(), c.Lines);
        EXPECT_EQ(console.CpuClock(), c.CpuClock);
        EXPECT_EQ(console.FramesPerSecond(), c.WholeFps);
        EXPECT_NEAR(console.FrameRate(), c.Rate, 0.0001);
        // The picture's size is known from the power-on.
        const bool handheld = c.Settings.Model == TConsoleModel::GameGear;
        EXPECT_EQ(console.PictureWidth(), handheld ? 160u : 256u);
        EXPECT_EQ(console.PictureHeight(), handheld ? 144u : 192u);
    }
    EXPECT_EQ(TConsole({TConsoleModel::Tiravel, TConsoleRegion::Japan, TConsoleVideo::Pal}).Settings(), TConsoleSettings{})
        << "the default model has no region or standard of its own";
}

// A cartridge that counts the lines of a frame, as PAL-only games do, finds
// a PAL console only where there is one.
TEST(HardwareModelTest, ACartridgeCountingTheLinesOfAFrameFindsTheStandard) {
    struct TCase {
        TConsoleSettings Settings;
        uint16_t Lines;
    };
    const TCase cases[] = {
        {{}, 262},
        {{TConsoleModel::MasterSystem, TConsoleRegion::Export, TConsoleVideo::Ntsc}, 262},
        {{TConsoleModel::MasterSystem, TConsoleRegion::Export, TConsoleVideo::Pal}, 313},
        {{TConsoleModel::MasterSystem2, TConsoleRegion::Japan, TConsoleVideo::Ntsc}, 262},
        {kSms2Pal, 313},
    };
    for (const TCase& c : cases) {
        TConsole console(c.Settings);
        SCOPED_TRACE(std::string(Console_ModelInfo(c.Settings.Model).Name) + " " + Console_OptionInfo(c.Settings.Video).Name);
        console.LoadCartridge(Rom("tvstandard"));
        for (int frame = 0; frame < 200; ++frame) console.RunFrame();
        EXPECT_EQ(RamWord(console, 0), c.Lines);
        const uint16_t frames = RamWord(console, 2);
        console.RunFrame();
        EXPECT_EQ(RamWord(console, 2), frames + 1) << "one frame interrupt a frame";
    }
}

// The real console's Pause gives one NMI per press, however long it is held;
// the default model's repeats while held.
TEST(HardwareModelTest, PauseGivesOneNmiPerPressInTheHardwareModels) {
    auto nmisFor = [](const TConsoleSettings& settings) {
        TConsole console(settings);
        console.LoadCartridge(Rom("pause"));
        for (int frame = 0; frame < 150; ++frame) console.RunFrame();
        const uint16_t before = RamWord(console, 0);
        for (int press = 0; press < 3; ++press) {
            for (int frame = 0; frame < 60; ++frame) {
                console.PressPause();
                console.RunFrame();
            }
            console.RunFrame();  // released for a frame
        }
        return RamWord(console, 0) - before;
    };
    EXPECT_EQ(nmisFor(kSms2Pal), 3);
    EXPECT_EQ(nmisFor({TConsoleModel::MasterSystem}), 3);
    EXPECT_GT(nmisFor({}), 3) << "the default model raises it again while held";
}

// A state names its model, region and standard and loads only into the
// same; the default model's state keeps the format older programs read.
TEST(HardwareModelTest, AStateLoadsOnlyIntoTheModelItWasSavedOn) {
    TConsole pal(kSms2Pal);
    pal.LoadCartridge(Rom("tvstandard"));
    for (int frame = 0; frame < 100; ++frame) pal.RunFrame();
    std::vector<uint8_t> state;
    pal.SaveState(state);
    ASSERT_EQ(state.size(), pal.StateSize());
    EXPECT_EQ(state[8], SMS_STATE_VERSION);

    TConsole same(kSms2Pal);
    same.LoadCartridge(Rom("tvstandard"));
    std::string error;
    ASSERT_TRUE(same.LoadState(state.data(), state.size(), error)) << error;
    for (int frame = 0; frame < 30; ++frame) {
        pal.RunFrame();
        same.RunFrame();
    }
    std::vector<uint8_t> a, b;
    pal.SaveState(a);
    same.SaveState(b);
    EXPECT_EQ(a, b) << "a loaded state runs on as the original";

    TConsole tiravel;
    tiravel.LoadCartridge(Rom("tvstandard"));
    EXPECT_FALSE(tiravel.LoadState(state.data(), state.size(), error));
    EXPECT_NE(error.find("saved on the Master System II (Export, PAL) model, but the machine runs the Tiravel model"),
              std::string::npos)
        << error;
    TConsole ntsc({TConsoleModel::MasterSystem2});
    ntsc.LoadCartridge(Rom("tvstandard"));
    EXPECT_FALSE(ntsc.LoadState(state.data(), state.size(), error));
    EXPECT_NE(error.find("Master System II (Export, NTSC)"), std::string::npos) << error;

    std::vector<uint8_t> plain;
    tiravel.SaveState(plain);
    EXPECT_EQ(plain[8], SMS_STATE_VERSION_DEFAULT_MODEL);
    EXPECT_FALSE(same.LoadState(plain.data(), plain.size(), error));
    EXPECT_NE(error.find("saved on the Tiravel model, but the machine runs the Master System II (Export, PAL) model"),
              std::string::npos)
        << error;
}

}  // namespace

namespace {

// The BIOS hands over to every cartridge of ours in every model, and each
// draws a picture of more than one colour.
TEST(HardwareModelTest, TheDemoAndEveryTestCartridgeBootInEveryModel) {
    const char* cartridges[] = {"handover", "battery", "speed",     "pause",       "reset",        "lineint",  "tone",
                                "latency",  "paging",  "debugtest", "bench_cpu",   "bench_render", "tvstandard"};
    std::vector<std::string> paths{TIRAVEL_DEMO_ROM};
    for (const char* name : cartridges) paths.push_back(Rom(name));
    for (const TConsoleModelInfo& model : Console_Models()) {
        for (const TConsoleVideo video : {TConsoleVideo::Ntsc, TConsoleVideo::Pal}) {
            if (!Console_IsHardwareModel(model.Value) && video == TConsoleVideo::Pal) continue;
            for (const std::string& path : paths) {
                // The Game Gear runs no BIOS: a cartridge that leaves the
                // screen's set-up to it shows nothing there.
                if (model.Value == TConsoleModel::GameGear && path == Rom("debugtest")) continue;
                SCOPED_TRACE(std::string(model.Name) + " " + Console_OptionInfo(video).Name + " " + path);
                TConsole console({model.Value, TConsoleRegion::Export, video});
                console.LoadCartridge(path);
                for (int frame = 0; frame < 240; ++frame) console.RunFrame();
                EXPECT_NE(console.BankName(console.Registers().PC), "BIOS") << "the BIOS handed over";
                const uint8_t* pixels = console.FramePixels();
                const std::size_t count = std::size_t{console.PictureWidth()} * console.PictureHeight();
                // The Game Gear shows the middle 160 x 144 only: these two
                // write their lines above it and leave it one colour.
                const bool aboveTheWindow = model.Value == TConsoleModel::GameGear &&
                                            (path == Rom("tone") || path == Rom("latency"));
                if (!aboveTheWindow) {
                    EXPECT_NE(std::count(pixels, pixels + count, pixels[0]), std::ptrdiff_t(count)) << "a picture";
                }
            }
        }
    }
}

}  // namespace
