// Running tiravel-headless (or another program) from a test: one run through
// the shell with its exit status, standard output and standard error; a
// scratch folder for the files of the runs, removed when the test program
// ends; and reading a whole file back. RunHeadless needs TIRAVEL_HEADLESS,
// the runner's path, which the test target defines.
#pragma once

#include <filesystem>
#include <string>

// What one run gave: the exit status (-1 when the program did not exit), what
// it wrote, and the shell command, for the messages of failed checks.
struct THeadlessRun {
    int Status = -1;
    std::string Out, Err, Command;
};

// The whole file; "" when it cannot be read.
std::string ReadAll(const std::filesystem::path& path);

// This test program's folder for the files of its runs, made at first use
// and removed when the program ends.
std::filesystem::path Scratch();

// Runs `program` with `args` (shell words, quoted by the caller) and no
// standard input; its output goes to out.txt and err.txt in `folder`.
// `prefix` is shell text put before the program (limits, a time limit).
THeadlessRun RunProgram(const std::string& program, const std::string& args, const std::string& prefix = "",
                        const std::filesystem::path& folder = Scratch());

#ifdef TIRAVEL_HEADLESS
// The same for the headless runner.
inline THeadlessRun RunHeadless(const std::string& args, const std::string& prefix = "",
                                const std::filesystem::path& folder = Scratch()) {
    return RunProgram(TIRAVEL_HEADLESS, args, prefix, folder);
}
#endif
