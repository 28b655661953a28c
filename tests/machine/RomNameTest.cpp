// The name a cartridge's battery and state files take, for plain images and
// archives alike: the window and the headless runner both use this one rule.
#include <gtest/gtest.h>

#include "RomFiles.h"

TEST(RomNameTest, ArchivesLoseTheirExtensionAndTheImagesBeforeIt) {
    const struct { const char* path; const char* name; bool archive; } cases[] = {
        {"/games/Game.sms", "Game", false},
        {"/x/Demo12", "De", false},  // no extension: still the last four characters
        {"/x/abc", "abc", false},    // four characters or fewer stay whole
        {"/x/Game.zip", "Game", true},
        {"/x/Game.7z", "Game", true},
        {"/x/Game.sms.gz", "Game", true},
        {"/x/Game.BIN.Gz", "Game", true},
        {"/x/My.Game.v1.zip", "My.Game.v1", true},
        {"/x/.zip", ".zip", true},
        {"/x.zip/Game.sms", "Game", false},  // only the file's own name counts
        {"/x/Game.zipx", "Game.", false},
        // The Game Gear's images: ".gg" goes, plain or before the archive's extension.
        {"/games/Game.gg", "Game", false},
        {"/games/Game.GG", "Game", false},
        {"/x/Game.gg.gz", "Game", true},
        {"/x/Game.Gg.7z", "Game", true},
        {"/x/a.gg", "a", false},
        {"/x/.gg", ".gg", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SMS_RomName(c.path), c.name) << c.path;
        EXPECT_EQ(SMS_IsArchive(c.path), c.archive) << c.path;
    }
}
