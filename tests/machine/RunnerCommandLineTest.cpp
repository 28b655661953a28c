// tiravel-headless's command line: exit statuses and messages for usage
// errors, bad ROM and BIOS files, and the formats of --hash and --speed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "HeadlessRun.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& path, std::size_t size, char fill = 0) {
    std::ofstream(path, std::ios::binary) << std::string(size, fill);
}

TEST(RunnerCommandLine, UsageErrorsExitWith2AndSayWhatIsWrong) {
    std::ofstream(Scratch() / "bad.txt") << "0 press p1.up\n7 press p9.b1\n";
    struct Case {
        std::string args, message;
    } cases[] = {
        {"--frames", "--frames needs a number"},
        {"--frames 0", "--frames must be a whole number"},
        {"--frames -3", "--frames must be a whole number"},
        {"--frames 12x", "--frames must be a whole number"},
        {"--frameskip 2", "--frameskip must be 0, 1 or 3"},
        {"--bios-type european", "--bios-type must be american or japanese"},
        {"--png", "--png needs a file"},
        {"--colour", "unknown option '--colour'"},
        {"--hash=yes", "unknown option '--hash=yes'"},
        {"a.sms b.sms", "only one ROM can be run"},
        {"--input '" + (Scratch() / "bad.txt").string() + "'", (Scratch() / "bad.txt").string() + ":2: unknown button `p9.b1`"},
        {"--input '" + (Scratch() / "none.txt").string() + "'", "none.txt: cannot be read"},
    };
    for (const Case& c : cases) {
        const THeadlessRun r = RunHeadless(c.args);
        EXPECT_EQ(r.Status, 2) << c.args;
        EXPECT_NE(r.Err.find(c.message), std::string::npos) << c.args << ": " << r.Err;
        EXPECT_EQ(r.Out, "") << c.args;
    }
}

TEST(RunnerCommandLine, HelpAndVersionExitWith0) {
    THeadlessRun r = RunHeadless("--help");
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out.rfind("Usage: tiravel-headless [options] [ROM]\n", 0), 0u);
    r = RunHeadless("--version");
    EXPECT_EQ(r.Status, 0);
    EXPECT_TRUE(std::regex_match(r.Out, std::regex("tiravel-headless [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << r.Out;
}

TEST(RunnerCommandLine, RomAndBiosFilesThatCannotBeUsedExitWith1) {
    WriteFile(Scratch() / "short.bin", 4096);
    const THeadlessRun missing = RunHeadless("--frames 1 '" + (Scratch() / "missing.sms").string() + "'");
    EXPECT_EQ(missing.Status, 1);
    EXPECT_NE(missing.Err.find("missing.sms"), std::string::npos) << missing.Err;
    const THeadlessRun bios = RunHeadless("--frames 1 --bios '" + (Scratch() / "short.bin").string() + "'");
    EXPECT_EQ(bios.Status, 1);
    EXPECT_NE(bios.Err.find("short.bin is 4096 bytes"), std::string::npos) << bios.Err;
}

TEST(RunnerCommandLine, HashAndSpeedLinesHaveTheAgreedFormat) {
    THeadlessRun r = RunHeadless("--frames 3 --hash");
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(std::regex_match(r.Out, std::regex("frame [0-9a-f]{16}\nsound [0-9a-f]{16}\n"))) << r.Out;
    EXPECT_EQ(RunHeadless("--frames=3 --hash").Out, r.Out) << "deterministic, and --opt=value works";
    r = RunHeadless("--frames 2 --speed");
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(std::regex_match(
        r.Out, std::regex("2 frames in [0-9]+\\.[0-9]{3} s: [0-9]+ frames per second, [0-9]+\\.[0-9] times real time\n")))
        << r.Out;
    EXPECT_EQ(r.Err, "") << "no progress line when stderr is not a terminal";
}

TEST(RunnerCommandLine, BatteryRamThatCannotBeSavedExitsWith1) {
    // The battery cartridge writes its RAM; the RAM folder's parent is a file.
    const std::string rom = std::string(TIRAVEL_ROM_DIR) + "/battery.sms";
    ASSERT_TRUE(fs::exists(rom)) << rom;
    WriteFile(Scratch() / "plain", 10);
    const THeadlessRun r = RunHeadless("--frames 120 --ram-dir '" + (Scratch() / "plain" / "RAMs").string() + "' '" + rom + "'");
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("battery.RAM"), std::string::npos) << r.Err;
}

}  // namespace
