// The real `tiravel` program's command line: help, version and a bad option
// answered without a display (none is set, and Qt's xcb platform would need
// one), two ROMs refused after Qt has taken its options, and a start with
// --model under Qt's offscreen platform, ended as `kill` would end it, that
// leaves the model in the settings as the "Console" menu keeps it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct TRun {
    int Status = -1;  // the exit status; -1 when it did not exit
    std::string Out, Err;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class ProgramCommandLineTest : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        dir = fs::temp_directory_path() / ("tiravel_command_line_" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::permissions(dir, fs::perms::owner_all);  // also the runtime folder
    }
    void TearDown() override { fs::remove_all(dir); }

    // The environment: no display, scratch settings and data, silent sound.
    std::vector<std::string> Environment(const char* platform) const {
        return {"PATH=/usr/bin:/bin", "HOME=" + dir.string(), "QT_QPA_PLATFORM=" + std::string(platform),
                "SDL_AUDIODRIVER=dummy", "XDG_CONFIG_HOME=" + (dir / "config").string(),
                "XDG_DATA_HOME=" + (dir / "data").string(), "XDG_RUNTIME_DIR=" + dir.string()};
    }

    // Starts the program with its output in files; returns its process id.
    pid_t Spawn(const std::vector<std::string>& args, const char* platform) const {
        std::vector<std::string> argv = {TIRAVEL_EXE};
        argv.insert(argv.end(), args.begin(), args.end());
        const std::vector<std::string> env = Environment(platform);
        const pid_t pid = fork();
        if (pid == 0) {
            const int out = open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> argp, envp;
            for (const std::string& a : argv) argp.push_back(const_cast<char*>(a.c_str()));
            for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
            argp.push_back(nullptr);
            envp.push_back(nullptr);
            execve(argp[0], argp.data(), envp.data());
            _exit(127);
        }
        return pid;
    }

    // Waits for the program's end, at most `limit`; kills it after that.
    TRun Finish(pid_t pid, std::chrono::milliseconds limit) const {
        TRun run;
        int status = 0;
        const auto end = std::chrono::steady_clock::now() + limit;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                return run;
            }
            std::this_thread::sleep_for(20ms);
        }
        if (WIFEXITED(status)) run.Status = WEXITSTATUS(status);
        run.Out = ReadFile(dir / "out");
        run.Err = ReadFile(dir / "err");
        return run;
    }

    TRun Run(const std::vector<std::string>& args, const char* platform = "xcb") const {
        return Finish(Spawn(args, platform), 30s);
    }
};

TEST_F(ProgramCommandLineTest, HelpAndVersionNeedNoDisplay) {
    const TRun help = Run({"--help"});
    EXPECT_EQ(help.Status, 0) << help.Err;
    EXPECT_EQ(help.Out.rfind("Usage: tiravel [options] [ROM]\n", 0), 0u) << help.Out;
    EXPECT_NE(help.Out.find("--fullscreen"), std::string::npos);
    EXPECT_EQ(help.Err, "");

    const TRun version = Run({"-platform", "xcb", "--version"});
    EXPECT_EQ(version.Status, 0) << version.Err;
    EXPECT_EQ(version.Out, "tiravel " TIRAVEL_VERSION "\n");
    EXPECT_EQ(version.Err, "");
}

TEST_F(ProgramCommandLineTest, ABadCommandLineSaysWhatIsWrongAndExitsWith2) {
    struct TCase {
        std::vector<std::string> Args;
        const char* Platform;
        std::string Message;
    };
    const TCase cases[] = {
        {{"--bogus"}, "xcb", "unknown option '--bogus'"},
        {{"--model", "x", "Game.sms"}, "xcb", "--model must be tiravel, sms1, sms2 or gamegear, not 'x'"},
        {{"--video"}, "xcb", "--video needs ntsc or pal"},
        // Qt's own option goes to Qt; what it does not take is ours.
        {{"-platform", "offscreen", "a.sms", "b.sms"}, "xcb", "only one ROM can be opened, not 'a.sms' and 'b.sms'"},
        {{"-bogus"}, "offscreen", "unknown option '-bogus'"},
    };
    for (const TCase& row : cases) {
        const TRun run = Run(row.Args, row.Platform);
        EXPECT_EQ(run.Status, 2) << row.Message;
        EXPECT_EQ(run.Out, "") << row.Message;
        // Qt may add its own notes before ours; ours are the last two lines.
        const std::string expected = "tiravel: " + row.Message + "\nTry 'tiravel --help'.\n";
        ASSERT_GE(run.Err.size(), expected.size()) << run.Err;
        EXPECT_EQ(run.Err.substr(run.Err.size() - expected.size()), expected);
    }
}

TEST_F(ProgramCommandLineTest, AStartWithAModelKeepsItAsTheMenusChoice) {
    const fs::path settings = dir / "config" / "Tiravel" / "Tiravel.conf";
    const pid_t pid = Spawn({"--model", "gamegear", TIRAVEL_ROM_DIR "/speed.sms"}, "offscreen");
    // The choice is stored as the window opens; the game then runs until the
    // termination request closes the window as its close box would.
    bool stored = false;
    for (int i = 0; i < 500 && !stored; ++i) {
        std::this_thread::sleep_for(20ms);
        stored = ReadFile(settings).find("Model=gamegear") != std::string::npos;
    }
    EXPECT_TRUE(stored) << ReadFile(settings);
    std::this_thread::sleep_for(300ms);
    kill(pid, SIGTERM);
    const TRun run = Finish(pid, 15s);
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(ReadFile(settings).find("Model=gamegear"), std::string::npos);
}

}  // namespace
