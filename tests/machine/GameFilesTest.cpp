// Cartridge image and battery-RAM files read and written through the
// console, on real files in a scratch folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ConsoleChips.h"
#include "GameFiles.h"
#include "Unprivileged.h"

namespace fs = std::filesystem;

namespace {

// A read error part-way through a file, as a failing disk gives it. This test
// program's own read() takes the place of the C library's for the whole
// program: reads of the one armed file pass through up to a byte offset and
// fail with EIO from there on; every other read goes straight to the kernel.
struct TReadFaultState {
    bool Armed;
    dev_t Device;
    ino_t Inode;
    off_t FailAt;
};
TReadFaultState gReadFault{};

// Arms the fault for one file while it lives.
class TReadFault {
public:
    TReadFault(const std::string& path, off_t failAt) {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
        gReadFault = {true, st.st_dev, st.st_ino, failAt};
    }
    ~TReadFault() { gReadFault.Armed = false; }
};

}  // namespace

extern "C" ssize_t read(int fd, void* data, size_t size) {
    if (gReadFault.Armed) {
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_dev == gReadFault.Device && st.st_ino == gReadFault.Inode) {
            const off_t at = ::lseek(fd, 0, SEEK_CUR);
            if (at >= gReadFault.FailAt) {
                errno = EIO;
                return -1;
            }
            size = std::min(size, static_cast<size_t>(gReadFault.FailAt - at));
        }
    }
    return ::syscall(SYS_read, fd, data, size);
}

namespace {

// A console, with its CPU at hand for what a test checks inside it.
struct TConsoleRig {
    std::unique_ptr<TConsole> console = std::make_unique<TConsole>();
    T_Z80_CPU_CORE* cpu = &TConsoleChips::Cpu(*console);

    // The message is written only on failure.
    bool LoadRam(const std::string& path, std::string* error = nullptr) {
        std::string scratch;
        return console->LoadBatteryFile(path, error != nullptr ? *error : scratch);
    }
    bool SaveRam(const std::string& path, std::string* error = nullptr) {
        std::string scratch;
        return console->SaveBatteryFile(path, error != nullptr ? *error : scratch);
    }
};

class FilesTest : public ::testing::Test, public TConsoleRig {
protected:
    // Some cases open the files as the user "nobody" (see TUnprivileged).
    TSharedFolder folder{"files"};
    const fs::path dir = folder.Path();

    // A file whose byte i is (i * 7 + seed) & 0xFF.
    std::string MakeFile(const std::string& name, std::size_t size, uint8_t seed = 1) {
        std::vector<char> data(size);
        for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 7 + seed) & 0xFF);
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary).write(data.data(), static_cast<std::streamsize>(size));
        return p.string();
    }
    static std::vector<uint8_t> Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

TEST_F(FilesTest, HeaderDetectionAndBankCounts) {
    // A header only where the size is 512 bytes over whole kilobytes; any
    // other size is the image itself, and a partial last bank is a bank.
    const struct { std::size_t size; std::size_t skipped; uint8_t banks; } cases[] = {
        {1024, 0, 1},   {8192, 0, 1},         {32768, 0, 2},         {33280, 512, 2},
        {49152, 0, 3},  {16384 + 1024, 0, 2}, {Z80_ROM_SIZE, 0, 64}, {Z80_ROM_SIZE + 512, 512, 64},
        {3479, 0, 1},   {12453, 0, 1},        {38937, 0, 3},         {16384 + 1, 0, 2},
        {1536, 512, 1}, {16384 + 512, 512, 1}};
    for (const auto& c : cases) {
        const std::string path = MakeFile("game.sms", c.size, 3);
        console->LoadCartridge(path);
        const std::vector<uint8_t> file = Contents(path);
        EXPECT_EQ(cpu->RomBankCount, c.banks) << c.size;
        EXPECT_EQ(cpu->RomSize, c.size - c.skipped) << c.size;
        EXPECT_EQ(cpu->RomHash, Z80_HashImage(file.data() + c.skipped, c.size - c.skipped)) << c.size;
        EXPECT_EQ(cpu->Rom[0], static_cast<uint8_t>(c.skipped * 7 + 3)) << c.size;
        EXPECT_EQ(cpu->Rom[c.size - c.skipped - 1], static_cast<uint8_t>((c.size - 1) * 7 + 3)) << c.size;
    }
}

TEST_F(FilesTest, CodeInAPartialLastBankIsReachedThroughThePaging) {
    // 38,937 bytes: two whole banks and 6,169 bytes of a third, whose code
    // and data a game pages into slot 2 like any other bank.
    console->LoadCartridge(MakeFile("partial.sms", 38937, 4));
    console->WritePort(0x3E, 0x08);  // the cartridge, not the BIOS
    console->Poke(TMemoryRegion::CpuSpace, 0xFFFF, 2);
    EXPECT_EQ(console->RomBankAt(0x8000), 2);
    for (uint32_t offset : {0u, 100u, 6168u})
        EXPECT_EQ(console->Peek(TMemoryRegion::CpuSpace, 0x8000 + offset),
                  static_cast<uint8_t>((32768 + offset) * 7 + 4)) << offset;
    EXPECT_EQ(console->Peek(TMemoryRegion::CpuSpace, 0x8000 + 6169), 0) << "the bank's rest is blank";
    console->Poke(TMemoryRegion::CpuSpace, 0xFFFF, 5);  // 5 mod 3 banks
    EXPECT_EQ(console->RomBankAt(0x8000), 2);
}

TEST_F(FilesTest, RejectedFilesNameTheFileAndLeaveTheCpuAlone) {
    MakeFile("running.sms", 32768, 9);
    console->LoadCartridge((dir / "running.sms").string());
    cpu->CartRam[10] = 0x5A;
    const std::vector<uint8_t> rom(cpu->Rom, cpu->Rom + Z80_ROM_SIZE);

    fs::create_directory(dir / "folder.sms");
    ASSERT_EQ(::mkfifo((dir / "pipe.sms").c_str(), 0644), 0);
    fs::create_symlink(dir / "gone.sms", dir / "link.sms");
    const std::string locked = MakeFile("locked.sms", 32768);
    fs::permissions(locked, fs::perms::none);
    fs::resize_file(MakeFile("64mb.sms", 0), 64 * 1024 * 1024);  // sparse: no 64 MB written
    const struct { std::string path; const char* reason; } cases[] = {
        {(dir / "pipe.sms").string(), "pipe (FIFO), not a regular file"},
        {(dir / "link.sms").string(), "link to a file that does not exist"},
        {locked, "Permission denied"},
        {"/dev/null", "device"},
        {(dir / "64mb.sms").string(), "67108864 bytes long, larger than"},
        {(dir / "missing.sms").string(), "No such file"},
        {(dir / "folder.sms").string(), "folder"},
        {MakeFile("empty.sms", 0), "empty"},
        {MakeFile("tiny.sms", 100), "too short"},
        {MakeFile("short.sms", 511), "too short"},
        {MakeFile("header.sms", 512), "no image"},
        {MakeFile("huge.sms", Z80_ROM_SIZE + 1024), "larger than"},
        {MakeFile("1mb-plus-one.sms", Z80_ROM_SIZE + 1), "larger than"},
        {MakeFile("hugeheader.sms", Z80_ROM_SIZE + 512 + 1024 + 512), "larger than"},
    };
    for (const auto& c : cases) {
        try {
            TUnprivileged nobody;
            console->LoadCartridge(c.path);
            ADD_FAILURE() << c.path << " was accepted";
        } catch (const Z80_RomError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(c.path), std::string::npos) << message;
            EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        }
        EXPECT_EQ(cpu->RomBankCount, 2) << c.path;
        EXPECT_EQ(cpu->CartRam[10], 0x5A) << c.path;
        EXPECT_TRUE(std::equal(rom.begin(), rom.end(), cpu->Rom)) << c.path;
    }
}

TEST_F(FilesTest, NamesAndOddSizesThatAreAccepted) {
    // Any file name will do; 513 bytes and one byte less than 1 MB are
    // images without a header (a partial last bank each).
    const struct { std::string name; std::size_t size; std::size_t skipped; uint8_t banks; } cases[] = {
        {"Jogo \xC3\xA7\xC3\xA3o \xE6\x97\xA5\xE6\x9C\xAC.sms", 32768, 0, 2},
        {"no-extension", 16384, 0, 1},
        {"513.sms", 513, 0, 1},
        {"1mb-less-one.sms", Z80_ROM_SIZE - 1, 0, 64},
    };
    for (const auto& c : cases) {
        console->LoadCartridge(MakeFile(c.name, c.size, 5));
        EXPECT_EQ(cpu->RomBankCount, c.banks) << c.name;
        EXPECT_EQ(cpu->Rom[0], static_cast<uint8_t>(c.skipped * 7 + 5)) << c.name;
    }
}

TEST_F(FilesTest, FileHoldingMoreThanItsStatedSizeIsReadWhole) {
    // The loader sizes its buffer from the file's stated size; a file that
    // holds more (it grew since, or it is a /proc file, which states 0
    // bytes) is still read to its end. /proc/self/comm holds the program's
    // name and a newline: too short to be an image, and the message must
    // count all of it, not the one byte the stated size allows.
    const std::string path = "/proc/self/comm";
    const std::size_t held = Contents(path).size();
    ASSERT_GT(held, 1u);
    ASSERT_EQ(fs::file_size(path), 0u);
    try {
        console->LoadCartridge(path);
        ADD_FAILURE() << path << " was accepted";
    } catch (const Z80_RomError& e) {
        EXPECT_NE(std::string(e.what()).find("only " + std::to_string(held) + " bytes long"), std::string::npos)
            << e.what();
    }
}

TEST_F(FilesTest, LoadingClearsCartridgeRamAndWhatTheLastImageLeft) {
    console->LoadCartridge(MakeFile("big.sms", 65536, 1));
    cpu->CartRam[0] = cpu->CartRam[Z80_CART_RAM_SIZE - 1] = 0x77;
    cpu->CartRamDirty = 1;
    console->LoadCartridge(MakeFile("small.sms", 16384 + 1024, 2));
    EXPECT_EQ(cpu->RomBankCount, 2);
    EXPECT_EQ(cpu->CartRamDirty, 0);
    EXPECT_EQ(cpu->CartRam[0], 0);
    EXPECT_EQ(cpu->CartRam[Z80_CART_RAM_SIZE - 1], 0);
    for (std::size_t i = 16384 + 1024; i < 65536; ++i) ASSERT_EQ(cpu->Rom[i], 0) << i;
}

TEST_F(FilesTest, BatteryRamRoundTripAndShortFile) {
    const std::string path = (dir / "RAMs" / "Game.RAM").string();
    for (std::size_t i = 0; i < Z80_CART_RAM_SIZE; ++i) cpu->CartRam[i] = static_cast<uint8_t>(i ^ (i >> 8));
    cpu->CartRamDirty = 1;
    std::string error;
    ASSERT_TRUE(SaveRam(path, &error)) << error;  // the missing RAMs folder is made
    EXPECT_EQ(cpu->CartRamDirty, 1) << "the mark stays until a reset or a new game";
    EXPECT_EQ(fs::file_size(path), Z80_CART_RAM_SIZE);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "RAMs"), fs::directory_iterator()), 1)
        << "no temporary file is left behind";

    TConsoleRig other;
    other.LoadRam(path);
    EXPECT_TRUE(std::equal(cpu->CartRam, cpu->CartRam + Z80_CART_RAM_SIZE, other.cpu->CartRam));
    EXPECT_EQ(other.cpu->CartRamDirty, 0);

    // A shorter file fills only its own length; a missing one changes nothing.
    TConsoleRig third;
    third.cpu->CartRam[100] = 0xEE;
    third.LoadRam(MakeFile("short.RAM", 50, 4));
    EXPECT_EQ(third.cpu->CartRam[49], static_cast<uint8_t>(49 * 7 + 4));
    EXPECT_EQ(third.cpu->CartRam[100], 0xEE);
    third.LoadRam((dir / "none.RAM").string());
    EXPECT_EQ(third.cpu->CartRam[100], 0xEE);
}

TEST_F(FilesTest, CleanRamWritesNothing) {
    const std::string path = (dir / "clean.RAM").string();
    EXPECT_TRUE(SaveRam(path));
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(FilesTest, FailedSaveIsReportedAndKeepsTheOldFile) {
    cpu->CartRamDirty = 1;
    // A folder that cannot be made: its parent is a regular file.
    const std::string blocked = MakeFile("plain", 10) + "/RAMs/Game.RAM";
    std::string error;
    EXPECT_FALSE(SaveRam(blocked, &error));
    EXPECT_NE(error.find(blocked), std::string::npos) << error;

    // A write that runs out of room (a file size limit stands in for a full
    // disk): the previous save survives whole.
    const std::string path = MakeFile("Game.RAM", Z80_CART_RAM_SIZE, 6);
    const std::vector<uint8_t> before = Contents(path);
    std::memset(cpu->CartRam, 0x11, Z80_CART_RAM_SIZE);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* previous = signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    error.clear();
    const bool saved = SaveRam(path, &error);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);
    EXPECT_FALSE(saved);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_EQ(Contents(path), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2)
        << "the temporary file is removed";
}

TEST_F(FilesTest, BatteryFilesThatCannotBeLoadedAreReportedAndChangeNothing) {
    ASSERT_EQ(::mkfifo((dir / "pipe.RAM").c_str(), 0644), 0);
    fs::create_directory(dir / "folder.RAM");
    fs::create_symlink(dir / "gone.RAM", dir / "link.RAM");
    const std::string locked = MakeFile("locked.RAM", Z80_CART_RAM_SIZE, 8);
    fs::permissions(locked, fs::perms::none);
    const struct { std::string path; const char* reason; } cases[] = {
        {(dir / "pipe.RAM").string(), "pipe (FIFO)"},
        {(dir / "folder.RAM").string(), "folder"},
        {(dir / "link.RAM").string(), "link to a file that does not exist"},
        {locked, "Permission denied"},
    };
    for (const auto& c : cases) {
        std::memset(cpu->CartRam, 0x3C, Z80_CART_RAM_SIZE);
        std::string error;
        bool loaded;
        {
            TUnprivileged nobody;
            loaded = LoadRam(c.path, &error);
        }
        EXPECT_FALSE(loaded) << c.path;
        EXPECT_NE(error.find(c.path), std::string::npos) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(cpu->CartRam[0], 0x3C) << c.path;
        EXPECT_EQ(cpu->CartRam[Z80_CART_RAM_SIZE - 1], 0x3C) << c.path;
    }
}

TEST_F(FilesTest, LongerBatteryFileGivesItsFirst32768Bytes) {
    const std::string path = MakeFile("long.RAM", Z80_CART_RAM_SIZE + 1000, 2);
    std::string error = "untouched";
    EXPECT_TRUE(LoadRam(path, &error));
    EXPECT_EQ(error, "untouched");
    EXPECT_EQ(cpu->CartRam[Z80_CART_RAM_SIZE - 1], static_cast<uint8_t>((Z80_CART_RAM_SIZE - 1) * 7 + 2));
    EXPECT_TRUE(LoadRam((dir / "missing.RAM").string(), &error)) << "no save yet is no error";
}

TEST_F(FilesTest, SaveRefusedWhereItWouldLoseOrCannotWriteLeavesTheOldFile) {
    cpu->CartRamDirty = 1;
    std::memset(cpu->CartRam, 0x22, Z80_CART_RAM_SIZE);
    // An old save that could not be loaded is not replaced by the new one.
    const std::string locked = MakeFile("Locked.RAM", Z80_CART_RAM_SIZE, 4);
    const std::vector<uint8_t> lockedBefore = Contents(locked);
    fs::permissions(locked, fs::perms::none);
    // A folder that can be read but not written.
    fs::create_directory(dir / "readonly");
    const std::string sealed = MakeFile("readonly/Sealed.RAM", Z80_CART_RAM_SIZE, 6);
    const std::vector<uint8_t> sealedBefore = Contents(sealed);
    fs::permissions(dir / "readonly", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    // Links that lead nowhere: the save they stand for was not loaded.
    fs::create_symlink(dir / "gone.RAM", dir / "Broken.RAM");
    fs::create_symlink("Loop2.RAM", dir / "Loop1.RAM");
    fs::create_symlink("Loop1.RAM", dir / "Loop2.RAM");
    const struct { std::string path; const char* reason; } cases[] = {
        {locked, "cannot be read (Permission denied), so it is left as it is"},
        {sealed, "cannot be written (Permission denied)"},
        {(dir / "Broken.RAM").string(), "cannot be read (it is a link to a file that does not exist)"},
        {(dir / "Loop1.RAM").string(), "cannot be read (Too many levels of symbolic links)"},
    };
    for (const auto& c : cases) {
        std::string error;
        bool saved;
        {
            TUnprivileged nobody;
            saved = SaveRam(c.path, &error);
        }
        EXPECT_FALSE(saved) << c.path;
        EXPECT_NE(error.find(c.path), std::string::npos) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    fs::permissions(dir / "readonly", fs::perms::owner_all);
    fs::permissions(locked, fs::perms::owner_read);
    EXPECT_EQ(Contents(locked), lockedBefore);
    EXPECT_EQ(Contents(sealed), sealedBefore);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "readonly"), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::is_symlink(dir / "Broken.RAM"));
    EXPECT_FALSE(fs::exists(dir / "gone.RAM"));
    EXPECT_TRUE(fs::is_symlink(dir / "Loop1.RAM"));
}

TEST_F(FilesTest, BatteryFileThatFailsPartWayIsNeitherLoadedNorReplaced) {
    const std::string path = MakeFile("Failing.RAM", Z80_CART_RAM_SIZE, 3);
    const std::vector<uint8_t> before = Contents(path);
    std::memset(cpu->CartRam, 0, Z80_CART_RAM_SIZE);  // blank, as a game starts
    std::string loadError, saveError;
    bool loaded, saved;
    {
        TReadFault fault(path, 8192);
        loaded = LoadRam(path, &loadError);
        EXPECT_TRUE(std::all_of(cpu->CartRam, cpu->CartRam + Z80_CART_RAM_SIZE, [](uint8_t b) { return b == 0; }))
            << "the bytes before the failed read are no save";
        // The game runs without its save and writes its cartridge RAM.
        std::memset(cpu->CartRam, 0x44, Z80_CART_RAM_SIZE);
        cpu->CartRamDirty = 1;
        saved = SaveRam(path, &saveError);
    }
    EXPECT_FALSE(loaded);
    EXPECT_NE(loadError.find("\"" + path + "\": Input/output error. The game starts without its save"),
              std::string::npos)
        << loadError;
    EXPECT_FALSE(saved);
    EXPECT_NE(saveError.find(path), std::string::npos) << saveError;
    EXPECT_NE(saveError.find("the existing file cannot be read (Input/output error), so it is left as it is"),
              std::string::npos)
        << saveError;
    EXPECT_EQ(Contents(path), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << "no temporary file";

    // Once the file reads again, the whole save comes back.
    EXPECT_TRUE(LoadRam(path));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), cpu->CartRam));
}

TEST_F(FilesTest, SaveThroughALinkUpdatesItsTargetAndKeepsTheLink) {
    fs::create_directories(dir / "RAMs");
    fs::create_directories(dir / "saves" / "deep");
    // An absolute link, a relative one, and a chain whose second link is
    // relative to its own folder, not to the first link's.
    fs::create_symlink(dir / "saves" / "A.RAM", dir / "RAMs" / "A.RAM");
    fs::create_symlink("../saves/B.RAM", dir / "RAMs" / "B.RAM");
    fs::create_symlink("../saves/C-link.RAM", dir / "RAMs" / "C.RAM");
    fs::create_symlink("deep/C.RAM", dir / "saves" / "C-link.RAM");
    const struct { const char* link; const char* target; std::size_t size; } cases[] = {
        {"RAMs/A.RAM", "saves/A.RAM", Z80_CART_RAM_SIZE},
        {"RAMs/B.RAM", "saves/B.RAM", 100},
        {"RAMs/C.RAM", "saves/deep/C.RAM", Z80_CART_RAM_SIZE},
    };
    uint8_t seed = 10;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        const fs::path link = dir / c.link, target = dir / c.target;
        const fs::path linkText = fs::read_symlink(link);
        MakeFile(c.target, c.size, seed);
        ASSERT_TRUE(LoadRam(link.string()));
        EXPECT_EQ(cpu->CartRam[c.size - 1], static_cast<uint8_t>((c.size - 1) * 7 + seed));

        std::memset(cpu->CartRam, seed, Z80_CART_RAM_SIZE);
        cpu->CartRamDirty = 1;
        std::string error;
        ASSERT_TRUE(SaveRam(link.string(), &error)) << error;
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(fs::read_symlink(link), linkText);
        EXPECT_EQ(Contents(target.string()), std::vector<uint8_t>(Z80_CART_RAM_SIZE, seed));
        ++seed;
    }
    EXPECT_TRUE(fs::is_symlink(dir / "saves" / "C-link.RAM"));
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
}

TEST_F(FilesTest, SaveRemovesOnlyItsOwnStaleTemporaryFiles) {
    // Left by a crash between the temporary file's write and its rename.
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    const struct { const char* name; bool stale; bool removed; } cases[] = {
        {"Game.RAM.tmp-a1B2c3", true, true},
        {"Game.RAM.tmp-Zz9yX8", true, true},
        {"Game.RAM.tmp-fresh1", false, false},  // another save may be writing it now
        {"Other.RAM.tmp-a1B2c3", true, false},  // another game's
        {"Game.RAM.tmp-toolong", true, false},  // not the temporary-name pattern
        {"Game.RAM.tmp-a1-2c3", true, false},
        {"Game.RAM.bak", true, false},
    };
    for (const auto& c : cases) {
        MakeFile(c.name, 100);
        if (c.stale) fs::last_write_time(dir / c.name, old);
    }
    cpu->CartRamDirty = 1;
    std::string error;
    ASSERT_TRUE(SaveRam((dir / "Game.RAM").string(), &error)) << error;
    for (const auto& c : cases) EXPECT_EQ(fs::exists(dir / c.name), !c.removed) << c.name;
    EXPECT_EQ(fs::file_size(dir / "Game.RAM"), Z80_CART_RAM_SIZE);
}

// A save never puts a plain file where a FIFO, a device or a folder was
// (as root, --save-state /dev/null would have replaced the system's device):
// each is refused with the reason before anything is written, directly or
// through a link, and stays what it was. The device is a node of the
// scratch folder with /dev/null's numbers, so that a fault replaces only it.
TEST_F(FilesTest, ReplacingRefusesWhatIsNotARegularFile) {
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
    fs::create_directory(dir / "folder");
    const bool device = ::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    if (!device) std::fprintf(stderr, "no device node (mknod needs root): the device cases are left out\n");
    fs::create_symlink(dir / "pipe", dir / "to-pipe");
    fs::create_symlink("folder", dir / "to-folder");
    struct TCase {
        const char* name;
        const char* reason;
        bool (*stillThere)(const fs::path&);
    };
    std::vector<TCase> cases = {
        {"pipe", "it is a pipe (FIFO), not a regular file", [](const fs::path& p) { return fs::is_fifo(p); }},
        {"to-pipe", "it is a pipe (FIFO), not a regular file", [](const fs::path& p) { return fs::is_fifo(p); }},
        {"folder", "it is a folder, not a file", [](const fs::path& p) { return fs::is_directory(p); }},
        {"to-folder", "it is a folder, not a file", [](const fs::path& p) { return fs::is_directory(p); }},
    };
    if (device) {
        fs::create_symlink(dir / "null", dir / "to-null");
        for (const char* name : {"null", "to-null"})
            cases.push_back({name, "it is a device or socket, not a regular file",
                             [](const fs::path& p) { return fs::is_character_file(p); }});
    }
    const uint8_t data[4] = {1, 2, 3, 4};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = dir / c.name;
        const bool link = fs::is_symlink(path);
        std::string reason;
        EXPECT_FALSE(SMS_ReplaceFile(path.string(), data, sizeof data, reason));
        EXPECT_EQ(reason, c.reason);
        EXPECT_TRUE(c.stillThere(path));
        EXPECT_EQ(fs::is_symlink(path), link);

        // The console's saves say which file and why.
        std::string error;
        EXPECT_FALSE(console->SaveStateFile(path.string(), error));
        EXPECT_EQ(error, "Cannot save the state to \"" + path.string() + "\": " + c.reason + ".");
        EXPECT_TRUE(c.stillThere(path));
    }
    EXPECT_TRUE(fs::is_empty(dir / "folder"));
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();

    // Where nothing is yet, the file is made.
    std::string reason;
    ASSERT_TRUE(SMS_ReplaceFile((dir / "new" / "file").string(), data, sizeof data, reason)) << reason;
    EXPECT_EQ(Contents((dir / "new" / "file").string()), std::vector<uint8_t>(data, data + 4));
}

}  // namespace
