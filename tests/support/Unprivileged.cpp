#include "Unprivileged.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr long kNobody = 65534;

}  // namespace

bool RunningAsRoot() { return ::geteuid() == 0; }

TUnprivileged::TUnprivileged() : active_(RunningAsRoot()) {
    if (active_) {
        EXPECT_EQ(::syscall(SYS_setresgid, -1, kNobody, -1), 0);
        EXPECT_EQ(::syscall(SYS_setresuid, -1, kNobody, -1), 0);
    }
}

TUnprivileged::~TUnprivileged() {
    if (active_) {
        ::syscall(SYS_setresuid, -1, 0, -1);
        ::syscall(SYS_setresgid, -1, 0, -1);
    }
}

TSharedFolder::TSharedFolder(const std::string& name) {
    std::string pattern = "/tmp/tiravel-" + name + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::system_error(errno, std::generic_category(), "cannot make a folder " + pattern);
    path_ = pattern;
    fs::permissions(path_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
}

TSharedFolder::~TSharedFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string TSharedFolder::Copy(const fs::path& file) const {
    const fs::path copy = path_ / file.filename();
    fs::copy_file(file, copy, fs::copy_options::overwrite_existing);
    const bool runnable = (fs::status(file).permissions() & fs::perms::owner_exec) != fs::perms::none;
    fs::permissions(copy, runnable ? fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec
                                   : fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                         fs::perms::others_read);
    return copy.string();
}

THeadlessRun RunProgramUnprivileged(const std::string& program, const std::string& args, const std::string& prefix,
                                    const fs::path& folder) {
    if (!RunningAsRoot()) return RunProgram(program, args, prefix, folder);
    // One copy of each program for the whole test program, removed at its end.
    static const TSharedFolder programs("programs");
    static std::map<std::string, std::string> copies;
    auto copy = copies.find(program);
    if (copy == copies.end()) copy = copies.emplace(program, programs.Copy(program)).first;
    return RunProgram(copy->second, args,
                      prefix + "setpriv --reuid=" + std::to_string(kNobody) + " --regid=" + std::to_string(kNobody) +
                          " --clear-groups ",
                      folder);
}
