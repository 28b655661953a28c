// The runner's debugging options on the debugger cartridge and the demo:
// --break stops before the address with the registers and the picture and
// exit status 3, --trace writes one line per instruction within
// --trace-frames, watching the CPU changes nothing in the run, and bad values
// are usage errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "HeadlessRun.h"

namespace fs = std::filesystem;

namespace {

class DebugOptionsTest : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        dir = Scratch() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    THeadlessRun Run(const std::string& args) { return RunHeadless(args, "timeout 120 ", dir); }
    static std::string Q(const fs::path& path) { return "'" + path.string() + "'"; }
    static std::string Rom(const std::string& name) {
        return name == "demo" ? std::string(TIRAVEL_DEMO_ROM) : std::string(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms";
    }
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST_F(DebugOptionsTest, ABreakStopsBeforeTheAddressWithTheRegistersAndThePicture) {
    std::string first;
    for (const char* spelling : {"1105", "0x1105", "#1105", "$1105", "1105h"}) {
        SCOPED_TRACE(spelling);
        const fs::path bmp = dir / "break.bmp";
        fs::remove(bmp);
        const THeadlessRun run =
            Run("--frames 300 --break '" + std::string(spelling) + "' --bmp " + Q(bmp) + " " + Rom("debugtest"));
        ASSERT_EQ(run.Status, 3) << run.Command << "\n" << run.Err;
        const std::vector<std::string> lines = Lines(run.Out);
        ASSERT_EQ(lines.size(), 1u) << run.Out;
        // The instruction not yet run: A holds the byte it is about to store.
        EXPECT_NE(lines[0].find(" 1105 ROM 0  32 00 C1    LD (#C100),A "), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(" AF=5A"), std::string::npos) << lines[0];
        const std::string picture = ReadAll(bmp);
        ASSERT_EQ(picture.size(), 50230u);
        EXPECT_EQ(picture.substr(0, 2), "BM");
        if (first.empty()) first = run.Out;
        EXPECT_EQ(run.Out, first);
    }
    const THeadlessRun never = Run("--frames 200 --break 2000 " + Rom("debugtest"));
    EXPECT_EQ(never.Status, 0) << "an address never executed: the run ends as usual";
}

TEST_F(DebugOptionsTest, TheTraceHasOneLinePerInstructionOfItsFrames) {
    const fs::path trace = dir / "trace.txt";
    ASSERT_EQ(Run("--frames 6 --trace " + Q(trace) + " --trace-frames 2-3 " + Rom("debugtest")).Status, 0);
    const std::vector<std::string> lines = Lines(ReadAll(trace));
    ASSERT_FALSE(lines.empty());
    std::vector<unsigned> frames;
    for (const std::string& line : lines) {
        frames.push_back(static_cast<unsigned>(std::stoul(line.substr(0, 6))));
        ASSERT_NE(line.find(" AF="), std::string::npos) << line;
        ASSERT_NE(line.find(" F="), std::string::npos) << line;
    }
    EXPECT_EQ(frames.front(), 2u);
    EXPECT_EQ(frames.back(), 3u);
    for (unsigned frame : frames) EXPECT_TRUE(frame == 2 || frame == 3) << frame;

    ASSERT_EQ(Run("--frames 2 --trace " + Q(trace) + " --trace-frames 1 " + Rom("debugtest")).Status, 0);
    const std::vector<std::string> one = Lines(ReadAll(trace));
    ASSERT_FALSE(one.empty());
    EXPECT_EQ(one.front().substr(0, 6), "     1");
    EXPECT_EQ(one.back().substr(0, 6), "     1");
}

// The observed run loop must emulate exactly as the normal one.
TEST_F(DebugOptionsTest, WatchingTheCpuChangesNothingInTheRun) {
    const std::string plain = Run("--frames 300 --hash " + Rom("demo")).Out;
    ASSERT_NE(plain.find("frame "), std::string::npos);
    for (const std::string& watch : {std::string("--break 0xFFFF"),
                                     "--trace " + Q(dir / "t.txt") + " --trace-frames 299"}) {
        SCOPED_TRACE(watch);
        const THeadlessRun run = Run("--frames 300 --hash " + watch + " " + Rom("demo"));
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(run.Out, plain);
    }
}

TEST_F(DebugOptionsTest, BadValuesAreUsageErrors) {
    const struct {
        std::string Args, Message;
        int Status;
    } cases[] = {
        {"--break zz", "--break must be a hexadecimal address", 2},
        {"--break 0x10000", "--break must be a hexadecimal address", 2},
        {"--break", "--break needs an address", 2},
        {"--trace t.txt --trace-frames 3-2", "--trace-frames must be A-B", 2},
        {"--trace t.txt --trace-frames 1-x", "--trace-frames must be A-B", 2},
        {"--trace-frames 3", "--trace-frames needs --trace FILE", 2},
        {"--trace " + Q(dir / "missing" / "t.txt"), "Cannot write the trace file", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args);
        const THeadlessRun run = Run("--frames 1 " + Rom("debugtest") + " " + c.Args);
        EXPECT_EQ(run.Status, c.Status) << run.Err;
        EXPECT_NE(run.Err.find(c.Message), std::string::npos) << run.Err;
    }
}

}  // namespace
