// The rewind on the real machine, driven as the window drives it: one frame
// run, then TRewind's step in the hand-over, forward or back.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Rewind.h"
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
    uint8_t Frameskip;
};

std::vector<TCartridge> Cartridges() {
    const std::string roms = std::string(TIRAVEL_TEST_ROM_DIR) + "/";
    std::vector<TCartridge> list = {{"bench_render", roms + "bench_render.sms", 0},
                                    {"speed (cartridge RAM)", roms + "speed.sms", 0},
                                    {"speed, 50% frameskip", roms + "speed.sms", 1}};
    if (std::filesystem::exists(TIRAVEL_DEMO_ROM)) list.push_back({"demo", TIRAVEL_DEMO_ROM, 0});
    return list;
}

// The state without its picture: what the emulation goes on from.
std::vector<uint8_t> WithoutPicture(std::vector<uint8_t> state) {
    size_t offset = 0, size = 0;
    if (TRewind::FindPicture(state.data(), state.size(), offset, size))
        std::fill(state.begin() + static_cast<std::ptrdiff_t>(offset),
                  state.begin() + static_cast<std::ptrdiff_t>(offset + size), 0);
    return state;
}

// A rig past its warm-up with `seconds` of history kept; pictures[f] is the
// picture of kept frame f (1-based), states[f] its state for the frames
// from `recordFrom` on.
struct TRewindRig {
    TStateRig rig;
    TRewind rewind;
    std::vector<uint64_t> pictures{0};
    std::vector<std::vector<uint8_t>> states{{}};
    int recordFrom;
    int frame = 0;  // frames run since the warm-up
    std::string error;

    TRewindRig(const TCartridge& cartridge, int seconds, int record = 1 << 30)
        : rig(cartridge.Path, 1, cartridge.Frameskip), recordFrom(record) {
        for (int f = 0; f < kWarmUp; ++f) rig.Frame(Pads(f));
        for (int f = 0; f < seconds * kSecond; ++f) Forward();
    }
    void Forward() {
        rig.Frame(Pads(kWarmUp + ++frame));
        EXPECT_TRUE(rewind.Frame(rig.machine, false, error)) << error;
        pictures.push_back(rig.PictureHash());
        states.push_back(frame >= recordFrom ? rig.Save() : std::vector<uint8_t>());
    }
    // A frame shown while the key is held; returns the picture shown.
    uint64_t Back() {
        rig.Frame(Pads(kWarmUp + frame + 1));
        EXPECT_TRUE(rewind.Frame(rig.machine, true, error)) << error;
        return rig.PictureHash();
    }
};

}  // namespace

// Five seconds forward, three back: every frame shown on the way back is the
// one kept, in reverse, down to the picture of second 2; let go, the game
// goes on from there exactly as it went the first time. With frameskip, a
// frame that is not drawn shows the picture of a drawn neighbour, as frames
// do going forward; the game still goes on exactly.
TEST(RewindTest, ThreeSecondsBackShowsEveryFrameInReverseDownToSecondTwo) {
    for (const TCartridge& cartridge : Cartridges()) {
        SCOPED_TRACE(cartridge.Name);
        const int second2 = 2 * kSecond, last = 5 * kSecond;
        TRewindRig r(cartridge, 5, second2 - 5);
        ASSERT_NE(r.pictures[second2], r.pictures[last]) << "the picture should move";
        // The first frame with the key down is the one already running.
        uint64_t before = r.Back();
        int own = 0;
        EXPECT_TRUE(r.rewind.Rewinding());
        for (int shown = last; shown >= second2; --shown) {
            const uint64_t picture = r.Back();
            if (cartridge.Frameskip == 0) {
                ASSERT_EQ(picture, r.pictures[shown]) << "frame " << shown;
            } else {
                ASSERT_TRUE(picture == r.pictures[shown] || picture == before) << "frame " << shown;
            }
            own += picture == r.pictures[shown];
            before = picture;
        }
        EXPECT_GE(own, (last - second2) / 2);
        // Let go: the step taken with the last frame shows one frame further back.
        const int resumed = second2 - 1;
        r.frame = resumed - 1;
        for (int next = resumed; next < resumed + 30; ++next) {
            r.Forward();
            const std::vector<uint8_t> state = r.rig.Save();
            if (cartridge.Frameskip == 0) {
                ASSERT_EQ(r.pictures.back(), r.pictures[next]) << "frame " << next;
                ASSERT_EQ(state, r.states[next]) << "frame " << next;
            } else {
                ASSERT_EQ(WithoutPicture(state), WithoutPicture(r.states[next])) << "frame " << next;
            }
        }
        EXPECT_FALSE(r.rewind.Rewinding());
    }
}

// Held at the oldest state kept, the picture stays there.
TEST(RewindTest, AtTheOldestStateThePictureStays) {
    const TCartridge cartridge = Cartridges()[0];
    TRewindRig r(cartridge, 1);
    for (int i = 0; i < kSecond + 1; ++i) r.Back();
    EXPECT_EQ(r.rewind.History().States(), 1u);
    const uint64_t oldest = r.Back();
    EXPECT_EQ(r.Back(), oldest);
    EXPECT_EQ(oldest, r.pictures[2]);
}

// Ten seconds of states keep to the count and far below the 64 MB limit.
TEST(RewindTest, TenSecondsOfStatesFitTheLimit) {
    for (const TCartridge& cartridge : Cartridges()) {
        SCOPED_TRACE(cartridge.Name);
        TRewindRig r(cartridge, 12);
        EXPECT_EQ(r.rewind.History().States(), TRewindBuffer::kDefaultStates);
        EXPECT_LE(r.rewind.History().MemoryBytes(), TRewindBuffer::kDefaultBytes);
        ::testing::Test::RecordProperty(std::string(cartridge.Name) + "_history_bytes",
                                        std::to_string(r.rewind.History().MemoryBytes()));
    }
}

TEST(RewindTest, FindsThePictureInAState) {
    TStateRig rig(std::string(TIRAVEL_TEST_ROM_DIR) + "/lineint.sms");
    rig.Frames(150);
    const std::vector<uint8_t> state = rig.Save();
    size_t offset = 0, size = 0;
    ASSERT_TRUE(TRewind::FindPicture(state.data(), state.size(), offset, size));
    ASSERT_EQ(size, CONSOLE_PICTURE_PIXELS);
    ASSERT_LE(offset + size, state.size());
    EXPECT_EQ(std::vector<uint8_t>(state.begin() + offset, state.begin() + offset + size),
              std::vector<uint8_t>(rig.machine.FramePixels(), rig.machine.FramePixels() + CONSOLE_PICTURE_PIXELS));
    // A cut-off or foreign blob has no picture to find.
    EXPECT_FALSE(TRewind::FindPicture(state.data(), 100, offset, size));
    const std::vector<uint8_t> junk(2000, 0xFF);
    EXPECT_FALSE(TRewind::FindPicture(junk.data(), junk.size(), offset, size));
}
