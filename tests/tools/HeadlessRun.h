// Running tiravel-headless from a test: one run through the shell with its
// exit status, standard output and standard error, and a scratch folder for
// the files of the runs, removed when the test program ends. The test target
// defines TIRAVEL_HEADLESS, the runner's path.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// What one run gave: the exit status (-1 when the runner did not exit), what
// it wrote, and the shell command, for the messages of failed checks.
struct THeadlessRun {
    int Status = -1;
    std::string Out, Err, Command;
};

// The whole file; "" when it cannot be read.
inline std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// This test program's folder for the files of its runs, made at first use.
inline std::filesystem::path ScratchPath() {
    return std::filesystem::temp_directory_path() / ("tiravel_headless_" + std::to_string(::getpid()));
}
inline std::filesystem::path Scratch() {
    static const std::filesystem::path dir = [] {
        std::filesystem::path d = ScratchPath();
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

// Removes the scratch folder when the test program ends.
struct TScratchCleanup : ::testing::Environment {
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(ScratchPath(), ec);
    }
};
inline ::testing::Environment* const kScratchCleanup = ::testing::AddGlobalTestEnvironment(new TScratchCleanup);

// Runs the runner with `args` (shell words, quoted by the caller) and no
// standard input; its output goes to out.txt and err.txt in `folder`.
// `prefix` is shell text put before the runner (limits, another user, a
// time limit).
inline THeadlessRun RunHeadless(const std::string& args, const std::string& prefix = "",
                                const std::filesystem::path& folder = Scratch()) {
    const std::filesystem::path out = folder / "out.txt", err = folder / "err.txt";
    THeadlessRun run;
    run.Command = prefix + "'" + TIRAVEL_HEADLESS + "' " + args + " >'" + out.string() + "' 2>'" + err.string() +
                  "' </dev/null";
    const int raw = std::system(run.Command.c_str());
    run.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.Out = ReadAll(out);
    run.Err = ReadAll(err);
    return run;
}
