// The runner's --save-state and --load-state: a run of N frames that saves,
// then a run that loads and goes on for M frames, ends on the picture and the
// sound of one run of N + M frames; a state that cannot be used ends the run
// with status 1 and a message naming the file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct TResult {
    int Status = -1;
    std::string Out, Err;
};

class StateOptionsTest : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        dir = fs::temp_directory_path() / ("tiravel-stateopts-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::string ReadAll(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    TResult Run(const std::string& args) {
        const fs::path out = dir / "stdout.txt", err = dir / "stderr.txt";
        const std::string command = "timeout 60 '" + std::string(TIRAVEL_HEADLESS) + "' " + args + " >'" +
                                    out.string() + "' 2>'" + err.string() + "' </dev/null";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadAll(out), ReadAll(err)};
    }
    static std::string Q(const std::string& path) { return "'" + path + "'"; }
    static std::string Rom(const std::string& name) {
        return name == "demo" ? std::string(TIRAVEL_DEMO_ROM) : std::string(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms";
    }
};

// The hash line the runner prints for the last `frames` frames of a WAV file.
std::string SoundLine(const std::string& wav, int frames) {
    const std::size_t bytes = static_cast<std::size_t>(frames) * 735;
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (std::size_t i = wav.size() - bytes; i < wav.size(); ++i)
        hash = (hash ^ static_cast<uint8_t>(wav[i])) * 0x100000001b3ULL;
    char line[40];
    std::snprintf(line, sizeof line, "sound %016llx\n", static_cast<unsigned long long>(hash));
    return line;
}

TEST_F(StateOptionsTest, ASavedRunGoesOnFromItsLastFrame) {
    const struct {
        const char* Rom;
        int Before, After;
        const char* Extra;
    } cases[] = {
        {"lineint", 100, 50, ""},
        {"battery", 150, 30, ""},
        {"tone", 120, 60, ""},
        {"paging", 150, 60, "--frameskip 1"},
        {"demo", 300, 120, ""},
        {"", 60, 60, "--bios-type japanese"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Rom);
        const std::string rom = c.Rom[0] ? Q(Rom(c.Rom)) : "";
        const std::string state = (dir / "run.st1").string(), wav = (dir / "whole.wav").string();
        const std::string extra = std::string(c.Extra) + " ";
        TResult r = Run(extra + "--frames " + std::to_string(c.Before) + " --save-state " + Q(state) + " " + rom);
        ASSERT_EQ(r.Status, 0) << r.Err;
        r = Run(extra + "--load-state " + Q(state) + " --frames " + std::to_string(c.After) + " --hash " + rom);
        ASSERT_EQ(r.Status, 0) << r.Err;
        const TResult whole =
            Run(extra + "--frames " + std::to_string(c.Before + c.After) + " --hash --wav " + Q(wav) + " " + rom);
        ASSERT_EQ(whole.Status, 0) << whole.Err;
        EXPECT_EQ(r.Out.substr(0, r.Out.find('\n') + 1), whole.Out.substr(0, whole.Out.find('\n') + 1)) << "picture";
        EXPECT_EQ(r.Out.substr(r.Out.find('\n') + 1), SoundLine(ReadAll(wav), c.After));
    }
}

TEST_F(StateOptionsTest, AStateThatCannotBeUsedEndsTheRunWithStatus1) {
    const std::string state = (dir / "lineint.st1").string();
    ASSERT_EQ(Run("--frames 10 --save-state " + Q(state) + " " + Q(Rom("lineint"))).Status, 0);
    const std::string fifo = (dir / "fifo.st1").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const struct {
        std::string Args, Message;
    } cases[] = {
        {"--load-state " + Q(state) + " " + Q(Rom("paging")),
         "Cannot load the state file \"" + state + "\": it was saved with the cartridge \"lineint.sms\""},
        {"--load-state " + Q(state) + " --bios-type japanese " + Q(Rom("lineint")), "Japanese"},
        {"--load-state " + Q(fifo) + " " + Q(Rom("lineint")), "it is a pipe (FIFO)"},
        {"--load-state " + Q((dir / "none.st1").string()) + " " + Q(Rom("lineint")), "No such file or directory"},
        {"--save-state " + Q(Rom("lineint") + "/x.st1") + " " + Q(Rom("lineint")), "Cannot save the state to"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args);
        const TResult r = Run("--frames 5 " + c.Args);
        EXPECT_EQ(r.Status, 1);
        EXPECT_EQ(r.Err.rfind("tiravel-headless: ", 0), 0u) << r.Err;
        EXPECT_NE(r.Err.find(c.Message), std::string::npos) << r.Err;
    }
    EXPECT_EQ(Run("--load-state").Status, 2) << "a missing value is a usage error";
}

}  // namespace
