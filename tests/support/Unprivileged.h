// Acting as the unprivileged user "nobody" when the tests run as root, where
// file permissions (a file of mode 000, a folder without write permission)
// stop nothing: a guard that turns this thread into that user, folders that
// user can enter wherever the checkout and TMPDIR lie, and runs of a program
// as that user.
#pragma once

#include <filesystem>
#include <string>

#include "HeadlessRun.h"

// True when the tests run as root, so that permissions must be tested as
// another user.
bool RunningAsRoot();

// This thread (only this one, by the raw system call, not the process-wide
// library call) acts as "nobody" while the guard lives, when the tests run as
// root; the saved root identity brings it back.
class TUnprivileged {
public:
    TUnprivileged();
    ~TUnprivileged();
    TUnprivileged(const TUnprivileged&) = delete;
    TUnprivileged& operator=(const TUnprivileged&) = delete;

private:
    bool active_;
};

// A fresh folder of mode 0755 under /tmp, removed with all it holds when the
// object goes. /tmp rather than TMPDIR, which may name a private folder:
// another user must be able to enter this one.
class TSharedFolder {
public:
    explicit TSharedFolder(const std::string& name);
    ~TSharedFolder();
    TSharedFolder(const TSharedFolder&) = delete;
    TSharedFolder& operator=(const TSharedFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // Copies `file` in under its own name, readable by everyone (and
    // runnable, if it was); returns the copy's path.
    std::string Copy(const std::filesystem::path& file) const;

private:
    std::filesystem::path path_;
};

// Runs `program` as RunProgram does, as "nobody" when the tests run as root.
// That user may not enter the folder the program was built in (a checkout
// in a home folder of mode 700, or in a private temporary folder), so the
// program runs from a copy in a folder of this test program's that everyone
// can read. The copy needs no neighbours: the runner links our libraries
// statically, and its shared libraries are the system's.
THeadlessRun RunProgramUnprivileged(const std::string& program, const std::string& args,
                                    const std::string& prefix = "",
                                    const std::filesystem::path& folder = Scratch());

#ifdef TIRAVEL_HEADLESS
// The same for the headless runner.
inline THeadlessRun RunHeadlessUnprivileged(const std::string& args, const std::string& prefix = "",
                                            const std::filesystem::path& folder = Scratch()) {
    return RunProgramUnprivileged(TIRAVEL_HEADLESS, args, prefix, folder);
}
#endif
