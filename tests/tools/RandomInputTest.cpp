// tiravel-headless's options for long unattended runs: --random-input SEED
// (random presses of both pads, Pause and Reset, the same for the same seed)
// and --memory (the resident size after frame 1000 and at the end).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "HeadlessRun.h"

namespace fs = std::filesystem;

namespace {

std::string Demo() { return std::string(" '") + TIRAVEL_DEMO_ROM + "'"; }

// The text after `key` on the line that starts with it; "" if none.
std::string After(const std::string& out, const std::string& key) {
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind(key, 0) == 0) return line.substr(key.size());
    return "";
}

// The pause cartridge's NMI count: 16 cells on tile row 20 from column 8,
// yellow (0x0F) for 1 and grey (0x15) for 0, in the exported frame image.
int PauseCount(const std::string& bmp) {
    constexpr std::size_t kPixelOffset = 1078;
    constexpr int kWidth = 256, kHeight = 192;
    if (bmp.size() != kPixelOffset + kWidth * kHeight) return -1;
    int value = 0;
    for (int i = 0; i < 16; ++i) {
        const int x = (8 + i) * 8 + 4, y = 20 * 8 + 4;
        const auto cell = static_cast<uint8_t>(bmp[kPixelOffset + static_cast<std::size_t>(kHeight - 1 - y) * kWidth + x]);
        if (cell != 0x0F && cell != 0x15) return -1;
        value = value << 1 | (cell == 0x0F ? 1 : 0);
    }
    return value;
}

}  // namespace

TEST(RandomInput, SameSeedRepeatsTheRunAnotherSeedChangesIt) {
    const std::string args = " --frames 3000 --hash" + Demo();
    const THeadlessRun first = RunHeadless("--random-input 11" + args);
    const THeadlessRun again = RunHeadless("--random-input 11" + args);
    const THeadlessRun other = RunHeadless("--random-input 12" + args);
    const THeadlessRun still = RunHeadless(args);
    for (const THeadlessRun* r : {&first, &again, &other, &still}) ASSERT_EQ(r->Status, 0) << r->Err;
    ASSERT_NE(After(first.Out, "frame "), "");
    EXPECT_EQ(first.Out, again.Out);
    EXPECT_NE(first.Out, other.Out);
    EXPECT_NE(first.Out, still.Out);
}

TEST(RandomInput, PressesPauseNowAndThen) {
    // About once a minute of console time: 20,000 frames (5.5 minutes) see a
    // handful of presses, each one NMI.
    const fs::path bmp = Scratch() / "pause.bmp";
    const THeadlessRun result = RunHeadless("--random-input 3 --frames 20000 --bmp '" + bmp.string() + "' '" +
                                      TIRAVEL_TEST_ROM_DIR + "/pause.sms'");
    ASSERT_EQ(result.Status, 0) << result.Err;
    const int count = PauseCount(ReadAll(bmp));
    EXPECT_GE(count, 1);
    EXPECT_LE(count, 20);
}

TEST(RandomInput, MemoryReportsTheResidentSizeAfterFrame1000AndAtTheEnd) {
    struct TCase {
        const char* Frames;
        const char* FirstKey;
    };
    for (const TCase c : {TCase{"1500", "resident after frame 1000: "}, TCase{"10", "resident after frame 10: "}}) {
        SCOPED_TRACE(c.Frames);
        const THeadlessRun result = RunHeadless(std::string("--memory --random-input 5 --frames ") + c.Frames + Demo());
        ASSERT_EQ(result.Status, 0) << result.Err;
        const std::string first = After(result.Out, c.FirstKey), last = After(result.Out, "resident at the end: ");
        ASSERT_NE(first, "") << result.Out;
        ASSERT_NE(last, "") << result.Out;
        const long firstKb = std::strtol(first.c_str(), nullptr, 10), lastKb = std::strtol(last.c_str(), nullptr, 10);
        EXPECT_GT(firstKb, 100);
        EXPECT_GT(lastKb, 100);
        EXPECT_LT(lastKb - firstKb, 1024) << "the resident size grew";
        EXPECT_NE(first.find(" kB"), std::string::npos);
    }
}

TEST(RandomInput, BadOptionsAreUsageErrors) {
    struct TCase {
        const char* Args;
        const char* Message;
    };
    const TCase cases[] = {
        {"--random-input", "--random-input needs a seed"},
        {"--random-input x7", "seed must be a whole number"},
        {"--random-input=-1", "seed must be a whole number"},
        {"--random-input 1234567890", "seed must be a whole number"},
        {"--memory=1", "unknown option '--memory=1'"},
        {"--random-input 1 --input /dev/null", "cannot be used together"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Args);
        const THeadlessRun result = RunHeadless(c.Args);
        EXPECT_EQ(result.Status, 2);
        EXPECT_NE(result.Err.find(c.Message), std::string::npos) << result.Err;
    }
}
