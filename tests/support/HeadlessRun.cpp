#include "HeadlessRun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

namespace {

// The scratch folder, and its removal when the program's statics go.
struct TScratchFolder {
    fs::path Path = fs::temp_directory_path() / ("tiravel_tests_" + std::to_string(::getpid()));
    TScratchFolder() { fs::create_directories(Path); }
    ~TScratchFolder() {
        std::error_code ec;
        fs::remove_all(Path, ec);
    }
};

}  // namespace

fs::path Scratch() {
    static const TScratchFolder folder;
    return folder.Path;
}

THeadlessRun RunProgram(const std::string& program, const std::string& args, const std::string& prefix,
                        const fs::path& folder) {
    const fs::path out = folder / "out.txt", err = folder / "err.txt";
    THeadlessRun run;
    run.Command = prefix + "'" + program + "' " + args + " >'" + out.string() + "' 2>'" + err.string() +
                  "' </dev/null";
    const int raw = std::system(run.Command.c_str());
    run.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.Out = ReadAll(out);
    run.Err = ReadAll(err);
    return run;
}
