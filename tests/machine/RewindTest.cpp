// The rewind history on the real machine, driven as the window drives it:
// a state kept after every frame, and while the game runs backwards one
// frame run and then one stored state loaded per frame shown.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "RewindBuffer.h"
#include "StateTestRig.h"

namespace {

constexpr int kWarmUp = 150;  // past the BIOS and into the game
constexpr int kSecond = 60;

// Player 1's pad: button 1 leaves the demo's title, then right and down
// held move its sprite while the background scrolls.
uint32_t Pads(int frame) {
    constexpr uint32_t kRight = 1u << 1, kDown = 1u << 3, kButton1 = 1u << 4;
    if (frame >= 130 && frame < 134) return kButton1;
    return frame >= kWarmUp ? kRight | kDown : 0;
}

struct TCartridge {
    const char* Name;
    std::string Path;
};

std::vector<TCartridge> Cartridges() {
    std::vector<TCartridge> list = {{"bench_render", std::string(TIRAVEL_TEST_ROM_DIR) + "/bench_render.sms"},
                                    {"speed", std::string(TIRAVEL_TEST_ROM_DIR) + "/speed.sms"}};
    if (std::filesystem::exists(TIRAVEL_DEMO_ROM)) list.push_back({"demo", TIRAVEL_DEMO_ROM});
    return list;
}

}  // namespace

// Five seconds forward, three back: the picture is the one of second 2,
// and the game goes on from there exactly as it went the first time.
TEST(RewindTest, ThreeSecondsBackShowsThePictureOfSecondTwo) {
    for (const TCartridge& cartridge : Cartridges()) {
        SCOPED_TRACE(cartridge.Name);
        TStateRig rig(cartridge.Path);
        for (int frame = 0; frame < kWarmUp; ++frame) rig.Frame(Pads(frame));
        TRewindBuffer history;
        std::vector<uint64_t> pictures(5 * kSecond + 1);
        for (int frame = 1; frame <= 5 * kSecond; ++frame) {
            rig.Frame(Pads(kWarmUp + frame));
            SMS_SaveState(rig.machine, history.NextState());
            history.Push();
            pictures[frame] = rig.PictureHash();
        }
        ASSERT_NE(pictures[2 * kSecond], pictures[5 * kSecond]) << "the picture should move";

        for (int step = 0; step < 3 * kSecond; ++step) {
            rig.Frame(Pads(kWarmUp + 5 * kSecond));
            ASSERT_TRUE(history.StepBack());
            std::string error;
            ASSERT_TRUE(SMS_LoadState(rig.machine, history.Newest().data(), history.Newest().size(), error)) << error;
        }
        EXPECT_EQ(rig.PictureHash(), pictures[2 * kSecond]);
        EXPECT_EQ(history.States(), static_cast<size_t>(2 * kSecond));

        for (int frame = 2 * kSecond + 1; frame <= 2 * kSecond + 10; ++frame) {
            rig.Frame(Pads(kWarmUp + frame));
            ASSERT_EQ(rig.PictureHash(), pictures[frame]) << "frame " << frame;
        }
    }
}

// Ten seconds of states on a full history stay far below the 64 MB limit,
// and the oldest state kept is ten seconds old.
TEST(RewindTest, TenSecondsOfStatesFitTheLimit) {
    for (const TCartridge& cartridge : Cartridges()) {
        SCOPED_TRACE(cartridge.Name);
        TStateRig rig(cartridge.Path);
        for (int frame = 0; frame < kWarmUp; ++frame) rig.Frame(Pads(frame));
        TRewindBuffer history;
        std::vector<uint8_t> oldest;
        for (int frame = 1; frame <= 12 * kSecond; ++frame) {
            rig.Frame(Pads(kWarmUp + frame));
            SMS_SaveState(rig.machine, history.NextState());
            history.Push();
            if (frame == 2 * kSecond + 1) oldest = history.Newest();
        }
        EXPECT_EQ(history.States(), TRewindBuffer::kDefaultStates);
        EXPECT_LE(history.MemoryBytes(), TRewindBuffer::kDefaultBytes);
        ::testing::Test::RecordProperty(std::string(cartridge.Name) + "_history_bytes",
                                        std::to_string(history.MemoryBytes()));
        while (history.StepBack()) {
        }
        EXPECT_EQ(history.Newest(), oldest);
    }
}
