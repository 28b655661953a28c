// Saved states of the whole machine: round trips on every test cartridge and
// the demo, and the refusals that leave the machine as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "StateTestRig.h"

namespace fs = std::filesystem;

namespace {

std::string Rom(const std::string& name) { return std::string(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms"; }

TEST(SaveStateTest, ALoadedStateRunsOnAsTheOriginalDid) {
    TStateRig original(Rom("lineint"));
    original.Frames(100);
    const std::vector<uint8_t> state = original.Save();
    original.soundHash = 0;
    original.Frames(30);

    TStateRig copy(Rom("lineint"));
    std::string error;
    ASSERT_TRUE(SMS_LoadState(copy.machine, state.data(), state.size(), error)) << error;
    copy.soundHash = 0;
    copy.Frames(30);
    EXPECT_EQ(copy.PictureHash(), original.PictureHash());
    EXPECT_EQ(copy.soundHash, original.soundHash);
}

}  // namespace
