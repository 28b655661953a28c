// What tiravel-headless says about files it cannot use: ROM files of every
// wrong kind, BIOS dumps, input scripts with errors, battery files that
// cannot be read and saves that cannot be written. Each refusal names the
// file and the reason on stderr with exit status 1 (2 for a script), never
// hangs, and leaves the previous battery file as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ArchiveFiles.h"
#include "HeadlessRun.h"
#include "Unprivileged.h"

namespace fs = std::filesystem;

namespace {

class BadInputTest : public ::testing::Test {
protected:
    // A folder the user "nobody" can enter, for the cases run as that user.
    TSharedFolder folder{"badinput"};
    const fs::path dir = folder.Path();

    std::string MakeFile(const std::string& name, std::size_t size, char fill = 0x11) {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << std::string(size, fill);
        return p.string();
    }
    // Runs the runner under a 30-second limit, so that a hang fails the test
    // (status 124) instead of stopping the suite. `prefix` is shell text put
    // before the command (limits).
    THeadlessRun Run(const std::string& args, const std::string& prefix = "") {
        return RunHeadless(args, prefix + " timeout 30 ", dir);
    }
    // The same as the user "nobody" when the tests run as root, who reads
    // files of mode 000 and writes read-only folders.
    THeadlessRun RunUnprivileged(const std::string& args) {
        return RunHeadlessUnprivileged(args, "timeout 30 ", dir);
    }
    static std::string Q(const std::string& path) { return "'" + path + "'"; }
};

std::string Rom(const std::string& name) { return std::string(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms"; }

TEST_F(BadInputTest, RomFilesThatCannotBeRunAreNamedWithTheirReason) {
    ASSERT_EQ(::mkfifo((dir / "pipe.sms").c_str(), 0644), 0);
    fs::create_directory(dir / "folder.sms");
    fs::create_symlink(dir / "gone.sms", dir / "link.sms");
    const std::string locked = MakeFile("locked.sms", 32768);
    fs::permissions(locked, fs::perms::none);
    fs::resize_file(MakeFile("64mb.sms", 0), 64 * 1024 * 1024);
    const struct { std::string path; const char* reason; bool unprivileged; } cases[] = {
        {MakeFile("empty.sms", 0), "the file is empty", false},
        {MakeFile("100.sms", 100), "it is only 100 bytes long, too short", false},
        {MakeFile("511.sms", 511), "it is only 511 bytes long, too short", false},
        {MakeFile("512.sms", 512), "it holds a 512-byte header and no image", false},
        {MakeFile("1mb-plus-one.sms", 1048577), "the image is larger than the 1 MB", false},
        {(dir / "64mb.sms").string(), "it is 67108864 bytes long, larger than the 1 MB", false},
        {(dir / "folder.sms").string(), "it is a folder, not a file", false},
        {(dir / "pipe.sms").string(), "it is a pipe (FIFO), not a regular file", false},
        {(dir / "link.sms").string(), "it is a link to a file that does not exist", false},
        {(dir / "missing.sms").string(), "No such file or directory", false},
        {locked, "Permission denied", true},
    };
    for (const auto& c : cases) {
        const std::string args = "--frames 1 " + Q(c.path);
        const THeadlessRun r = c.unprivileged ? RunUnprivileged(args) : Run(args);
        EXPECT_EQ(r.Status, 1) << c.path << "\n" << r.Err;
        EXPECT_NE(r.Err.find("Cannot load the ROM file \"" + c.path + "\": " + c.reason), std::string::npos)
            << r.Err;
    }
}

TEST_F(BadInputTest, OddNamesAndSizesRun) {
    const std::string handover = ReadAll(Rom("handover"));
    const std::string names[] = {"Jogo \xC3\xA7\xC3\xA3o \xE6\x97\xA5.sms", "handover-no-extension"};
    for (const std::string& name : names) {
        std::ofstream(dir / name, std::ios::binary) << handover;
        const THeadlessRun r = Run("--frames 2 " + Q((dir / name).string()));
        EXPECT_EQ(r.Status, 0) << name << "\n" << r.Err;
    }
    // 513 and 3,479 bytes: images of their own size; 1 MB + 512: a 512-byte
    // copier header, then the image.
    for (std::size_t size : {std::size_t{513}, std::size_t{3479}, std::size_t{1048576 + 512}}) {
        const THeadlessRun r = Run("--frames 2 " + Q(MakeFile("odd.sms", size)));
        EXPECT_EQ(r.Status, 0) << size << "\n" << r.Err;
    }
}

TEST_F(BadInputTest, BiosDumpsThatCannotBeUsed) {
    ASSERT_EQ(::mkfifo((dir / "pipe.bin").c_str(), 0644), 0);
    const struct { std::string path; std::string message; } cases[] = {
        {MakeFile("short.bin", 100), "is 100 bytes, not 8192."},
        {MakeFile("long.bin", 8193), "is 8193 bytes, not 8192."},
        {(dir / "pipe.bin").string(), "cannot be used: it is not a regular file."},
        {(dir / "none.bin").string(), "cannot be used: No such file or directory."},
    };
    for (const auto& c : cases) {
        const THeadlessRun r = Run("--frames 1 --bios " + Q(c.path));
        EXPECT_EQ(r.Status, 1) << c.path << "\n" << r.Err;
        EXPECT_NE(r.Err.find("The BIOS file " + c.path + " " + c.message), std::string::npos) << r.Err;
    }
}

TEST_F(BadInputTest, InputScriptErrorsGiveFileLineAndReason) {
    auto script = [&](const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
        return (dir / name).string();
    };
    ASSERT_EQ(::mkfifo((dir / "pipe.input").c_str(), 0644), 0);
    const struct { std::string path; std::string message; } cases[] = {
        {script("a.input", "10 press p1.up\n\n20 press p3.up\n"), ":3: unknown button `p3.up`"},
        {script("b.input", "# start\nten press p1.b1\n"), ":2: bad frame number `ten`"},
        {script("c.input", "5 push pause\n"), ":1: expected press or release, not `push`"},
        {script("d.input", "5 press\n"), ":1: expected `<frame> <press|release> <button>`"},
        {script("e.input", "99999999999 press reset\n"), ":1: bad frame number `99999999999`"},
        {script("f.input", std::string("1 press \x01\xFF") + std::string(100, 'x') + "\n"),
         ":1: unknown button `??xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...`"},
        {(dir / "pipe.input").string(), ": cannot be read: it is not a regular file"},
        {(dir / "none.input").string(), ": cannot be read: No such file or directory"},
    };
    for (const auto& c : cases) {
        const THeadlessRun r = Run("--frames 1 --input " + Q(c.path) + " " + Q(Rom("handover")));
        EXPECT_EQ(r.Status, 2) << c.path << "\n" << r.Err;
        EXPECT_NE(r.Err.find(c.path + c.message), std::string::npos) << r.Err;
    }
}

// The battery cartridge counts its runs in cartridge RAM, so every run that
// reaches its count wants to save.
TEST_F(BadInputTest, BatteryFileProblemsAreReportedAndTheOldFileSurvives) {
    const fs::path rams = dir / "RAMs";
    fs::create_directory(rams);
    fs::permissions(rams, fs::perms::all);
    // A copy the user "nobody" can read, wherever the build folder lies.
    const std::string rom = folder.Copy(Rom("battery"));
    const std::string file = (rams / "battery.RAM").string();
    const std::string previous(32768, 0x5A);

    // Unreadable: a warning at the start, the save refused at the end.
    std::ofstream(file, std::ios::binary) << previous;
    fs::permissions(file, fs::perms::none);
    THeadlessRun r = RunUnprivileged("--frames 120 --ram-dir " + Q(rams.string()) + " " + Q(rom));
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_NE(r.Err.find("warning: Cannot read the battery RAM file \"" + file + "\": Permission denied."),
              std::string::npos)
        << r.Err;
    EXPECT_NE(r.Err.find("Cannot save the battery RAM to \"" + file +
                         "\": the existing file cannot be read (Permission denied), so it is left as it is."),
              std::string::npos)
        << r.Err;
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ReadAll(file), previous);

    // The disk full during the save: a file size limit of a few KB (SIGXFSZ
    // ignored, so the write fails with EFBIG as on a full disk with ENOSPC).
    r = Run("--frames 120 --ram-dir " + Q(rams.string()) + " " + Q(rom), "trap '' XFSZ; ulimit -f 16;");
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_NE(r.Err.find("Cannot save the battery RAM to \"" + file + "\": File too large."), std::string::npos)
        << r.Err;
    EXPECT_EQ(ReadAll(file), previous);
    EXPECT_EQ(std::distance(fs::directory_iterator(rams), fs::directory_iterator()), 1) << "no temporary file left";

    // A folder that cannot be written.
    fs::permissions(rams, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    r = RunUnprivileged("--frames 120 --ram-dir " + Q(rams.string()) + " " + Q(rom));
    fs::permissions(rams, fs::perms::owner_all);
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_NE(r.Err.find("Cannot save the battery RAM to \"" + file + "\": the folder \"" + rams.string() +
                         "\" cannot be written (Permission denied)."),
              std::string::npos)
        << r.Err;
    EXPECT_EQ(ReadAll(file), previous);

    // Shorter and longer files load; the next save writes exactly 32768 bytes.
    for (std::size_t size : {std::size_t{100}, std::size_t{40000}}) {
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << std::string(size, 0);
        r = Run("--frames 120 --ram-dir " + Q(rams.string()) + " " + Q(rom));
        EXPECT_EQ(r.Status, 0) << size << "\n" << r.Err;
        EXPECT_EQ(fs::file_size(file), 32768u) << size;
    }
}

// Cartridges in zip, 7z and gzip files run exactly as the plain image does,
// whatever the letter case of the image's name; the battery file takes the
// archive's name without its extensions.
TEST_F(BadInputTest, ArchivedCartridgesRunAsThePlainImage) {
    const std::string handover = ReadAll(Rom("handover"));
    const THeadlessRun plain = Run("--frames 90 --hash " + Q(Rom("handover")));
    ASSERT_EQ(plain.Status, 0) << plain.Err;
    const struct { const char* file; TArchiveFormat format; std::vector<TArchiveMember> members; } cases[] = {
        {"Handover.zip", TArchiveFormat::Zip, {{"handover.sms", handover}}},
        {"Handover.7Z", TArchiveFormat::SevenZip, {{"HANDOVER.SMS", handover}}},
        {"handover.sms.gz", TArchiveFormat::Gzip, {{"", handover}}},
        {"Other.ZIP", TArchiveFormat::Zip,
         {{"readme.txt", "notes"}, {"roms/handover.Bin", handover}, {"__MACOSX/roms/._handover.Bin", "attrs"}}},
        // A packed header, listed before anything is unpacked.
        {"Other.7z", TArchiveFormat::SevenZip, {{"readme.txt", "notes"}, {"handover.sms", handover}}},
        // A link named like an image is not a second image.
        {"Linked.zip", TArchiveFormat::Zip,
         {{"handover.sms", handover}, {"latest.sms", "handover.sms", TMemberType::SymbolicLink}}},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(WriteTestArchive(dir / c.file, c.format, c.members), "") << c.file;
        const THeadlessRun r = Run("--frames 90 --hash " + Q((dir / c.file).string()));
        EXPECT_EQ(r.Status, 0) << c.file << "\n" << r.Err;
        EXPECT_EQ(r.Out, plain.Out) << c.file;
    }
    // A Game Gear image in an archive is found by its ".gg" name and runs
    // on the Game Gear as the plain file does.
    const std::string ggRom = std::string(TIRAVEL_TEST_ROM_DIR) + "/gg_start.gg";
    const std::string gg = ReadAll(ggRom);
    const THeadlessRun ggPlain = Run("--frames 30 --hash " + Q(ggRom));
    ASSERT_EQ(ggPlain.Status, 0) << ggPlain.Err;
    EXPECT_NE(ggPlain.Out, Run("--model sms2 --frames 30 --hash " + Q(ggRom)).Out);
    const struct { const char* file; TArchiveFormat format; std::vector<TArchiveMember> members; } ggCases[] = {
        {"Start.zip", TArchiveFormat::Zip, {{"readme.txt", "notes"}, {"gg_start.GG", gg}}},
        {"Start.7z", TArchiveFormat::SevenZip, {{"roms/gg_start.gg", gg}}},
        {"gg_start.gg.gz", TArchiveFormat::Gzip, {{"", gg}}},
    };
    for (const auto& c : ggCases) {
        ASSERT_EQ(WriteTestArchive(dir / c.file, c.format, c.members), "") << c.file;
        const THeadlessRun r = Run("--frames 30 --hash " + Q((dir / c.file).string()));
        EXPECT_EQ(r.Status, 0) << c.file << "\n" << r.Err;
        EXPECT_EQ(r.Out, ggPlain.Out) << c.file;
    }
    ASSERT_EQ(WriteTestArchive(dir / "Battery.7z", TArchiveFormat::SevenZip,
                               {{"battery.sms", ReadAll(Rom("battery"))}}),
              "");
    const THeadlessRun r = Run("--frames 120 --ram-dir " + Q((dir / "rams").string()) + " " +
                               Q((dir / "Battery.7z").string()));
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_TRUE(fs::exists(dir / "rams" / "Battery.RAM"));
}

TEST_F(BadInputTest, ArchivesThatCannotBeRunAreNamedWithTheirReason) {
    const std::string image(32768, 0x11);
    auto archive = [&](const std::string& name, TArchiveFormat format, const std::vector<TArchiveMember>& members) {
        EXPECT_EQ(WriteTestArchive(dir / name, format, members), "") << name;
        return (dir / name).string();
    };
    // A zip cut short, and a file that only has an archive's name.
    const std::string good = ReadAll(archive("good.zip", TArchiveFormat::Zip, {{"a.sms", image}}));
    std::ofstream(dir / "cut.zip", std::ios::binary) << good.substr(0, good.size() / 2);
    std::ofstream(dir / "plain.gz", std::ios::binary) << image;
    std::ofstream(dir / "plain.7z", std::ios::binary) << image;
    fs::create_directory(dir / "folder.zip");
    const struct { std::string path; std::string reason; } cases[] = {
        {(dir / "cut.zip").string(), "it is not a zip archive that can be read ("},
        {(dir / "plain.gz").string(), "it is not a gzip file that can be read (it does not begin as gzip data does)"},
        {(dir / "plain.7z").string(), "it is not a 7z archive that can be read ("},
        {(dir / "folder.zip").string(), "it is a folder, not a file"},
        {archive("empty.zip", TArchiveFormat::Zip, {}), "it holds no cartridge image (a .sms, .gg or .bin file): it is empty"},
        {archive("docs.7z", TArchiveFormat::SevenZip, {{"readme.txt", "x"}, {"b.gb", image}}),
         "it holds no cartridge image (a .sms, .gg or .bin file), only \"readme.txt\", \"b.gb\""},
        {archive("two.zip", TArchiveFormat::Zip, {{"a.sms", image}, {"notes", ""}, {"B.BIN", image}}),
         "it holds 2 cartridge images, \"a.sms\", \"B.BIN\", and only an archive with one can be loaded"},
        {archive("big.zip", TArchiveFormat::Zip, {{"big.sms", std::string(1048576 + 1024, 0)}}),
         "its image \"big.sms\" is larger than the 1 MB (1048576 bytes) a cartridge can hold (it unpacks to 1049600 "
         "bytes)"},
        {archive("huge.sms.gz", TArchiveFormat::Gzip, {{"", std::string(64 << 20, 0)}}),
         "its image \"huge.sms\" is larger than the 1 MB (1048576 bytes) a cartridge can hold (it unpacks to more "
         "than 1049088 bytes)"},
        {archive("manual.7z", TArchiveFormat::SevenZip, {{"manual.pdf", std::string(65 << 20, 0)}, {"a.sms", image}}),
         "its other files would have to be unpacked to look through it, more than 64 MB (67108864 bytes)"},
        {archive("secret.zip", TArchiveFormat::EncryptedZip, {{"secret.sms", image}}),
         "its image \"secret.sms\" is encrypted, and encrypted images cannot be read"},
        // A link or a pipe is never the image, whatever its name.
        {archive("link.zip", TArchiveFormat::Zip, {{"game.sms", "real.sms", TMemberType::SymbolicLink}}),
         "it holds no cartridge image (a .sms, .gg or .bin file), only \"game.sms\" (a symbolic link)"},
        {archive("pipe.7z", TArchiveFormat::SevenZip, {{"readme.txt", "x"}, {"game.sms", "", TMemberType::Fifo}}),
         "it holds no cartridge image (a .sms, .gg or .bin file), only \"readme.txt\", \"game.sms\" (a named pipe)"},
        {archive("link.7z", TArchiveFormat::SevenZip, {{"game.sms", "real.sms", TMemberType::SymbolicLink}}),
         "it holds \"game.sms\" (a symbolic link), which a 7z archive cannot pass over without unpacking it"},
        {archive("notes.7z", TArchiveFormat::SevenZip,
                 {{"a.sms", image}, {"notes", "readme.txt", TMemberType::SymbolicLink}}),
         "it holds \"notes\" (a symbolic link), which a 7z archive cannot pass over without unpacking it"},
        // A control character in a member's name is shown as '?'.
        {archive("short.zip", TArchiveFormat::Zip, {{"dir/sh\x1b\nort.sms", std::string(100, 1)}}),
         "\"" + (dir / "short.zip").string() +
             "\" (the image \"dir/sh??ort.sms\" inside it): it is only 100 bytes long, too short"},
    };
    for (const auto& c : cases) {
        const THeadlessRun r = Run("--frames 1 " + Q(c.path));
        EXPECT_EQ(r.Status, 1) << c.path << "\n" << r.Err;
        const std::string expected = c.reason.front() == '"' ? "Cannot load the ROM file " + c.reason
                                                             : "Cannot load the ROM file \"" + c.path + "\": " + c.reason;
        EXPECT_NE(r.Err.find(expected), std::string::npos) << r.Err;
    }
}

// Archives made to make the reader unpack far more than a cartridge: each is
// refused with its reason before the reader has unpacked more than 64 MB of
// it, where each used to load or hang.
TEST_F(BadInputTest, ArchivesMadeToExhaustTheReaderAreRefusedWithinTheLimit) {
    const std::string image(32768, 0x11);
    const std::string overLimit =
        "its other files would have to be unpacked to look through it, more than 64 MB (67108864 bytes)";
    auto archive = [&](const std::string& name, TArchiveFormat format, const std::vector<TArchiveMember>& members) {
        EXPECT_EQ(WriteTestArchive(dir / name, format, members), "") << name;
        return (dir / name).string();
    };
    // The zips' sizes follow their data, and without the end record's
    // directory the reader learns them only by unpacking.
    const std::string unsized = archive("unsized.zip", TArchiveFormat::Zip,
                                        {{"manual1.dat", std::string(40 << 20, 0), TMemberType::File, true},
                                         {"game.sms", image, TMemberType::File, true},
                                         {"manual2.dat", std::string(40 << 20, 0), TMemberType::File, true}});
    ASSERT_TRUE(DamageZipEndRecord(unsized));
    const std::string huge = std::string((64 << 20) + 1, 0);
    const struct { std::string path; std::string reason; } cases[] = {
        // A link's target is its content, which a 7z reader takes whole into
        // memory as it reads the member's header. (The writer takes the
        // target as a string: letters, which compress as well as zeros.)
        {archive("link.7z", TArchiveFormat::SevenZip,
                 {{"game.sms", image}, {"notes", std::string((64 << 20) + 1, 'a'), TMemberType::SymbolicLink}}),
         overLimit},
        {unsized, overLimit},
        // An image too large is named as such, however large it is.
        {archive("huge.zip", TArchiveFormat::Zip, {{"readme.txt", "x"}, {"huge.sms", huge}}),
         "its image \"huge.sms\" is larger than the 1 MB (1048576 bytes) a cartridge can hold (it unpacks to 67108865 "
         "bytes)"},
        {archive("huge.7z", TArchiveFormat::SevenZip, {{"huge.sms", huge}, {"readme.txt", "x"}}),
         "its image \"huge.sms\" is larger than the 1 MB (1048576 bytes) a cartridge can hold (it unpacks to 67108865 "
         "bytes)"},
    };
    for (const auto& c : cases) {
        const THeadlessRun r = Run("--frames 1 " + Q(c.path));
        EXPECT_EQ(r.Status, 1) << c.path << "\n" << r.Err;
        EXPECT_NE(r.Err.find("Cannot load the ROM file \"" + c.path + "\": " + c.reason), std::string::npos) << r.Err;
    }
}

// The files the runner writes are never put in the place of a FIFO, a device
// or a folder, or written into one, nor does the runner wait on a FIFO
// nobody reads: each is refused with the file named and status 1, and stays
// what it was. The device is a node in the scratch folder with /dev/null's
// numbers, so that a fault replaces only that node.
TEST_F(BadInputTest, OutputFilesThatAreNoRegularFilesAreRefused) {
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
    fs::create_directory(dir / "folder");
    fs::create_symlink(dir / "pipe", dir / "to-pipe");
    fs::create_symlink(dir / "folder", dir / "to-folder");
    struct TTarget {
        std::string name;
        const char* reason;
    };
    std::vector<TTarget> targets = {
        {"pipe", "it is a pipe (FIFO), not a regular file"},
        {"to-pipe", "it is a pipe (FIFO), not a regular file"},
        {"folder", "it is a folder, not a file"},
        {"to-folder", "it is a folder, not a file"},
    };
    if (::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        fs::create_symlink(dir / "null", dir / "to-null");
        targets.push_back({"null", "it is a device or socket, not a regular file"});
        targets.push_back({"to-null", "it is a device or socket, not a regular file"});
    } else {
        std::fprintf(stderr, "no device node (mknod needs root): the device cases are left out\n");
    }
    const std::string rom = Q(Rom("handover"));
    for (const TTarget& t : targets) {
        SCOPED_TRACE(t.name);
        const std::string path = (dir / t.name).string();
        const fs::file_type type = fs::status(path).type();
        // The picture and the state are written at the end, each on its own;
        // the sound and the trace are opened before the run starts.
        const struct { std::string options, message; } runs[] = {
            {"--png " + Q(path), path + ": " + t.reason},
            {"--bmp " + Q(path), path + ": " + t.reason},
            {"--save-state " + Q(path), "Cannot save the state to \"" + path + "\": " + t.reason + "."},
            {"--wav " + Q(path), path + ": " + t.reason},
            {"--trace " + Q(path), "Cannot write the trace file " + path + ": " + t.reason + "."},
        };
        for (const auto& run : runs) {
            const THeadlessRun r = RunHeadless("--frames 1 " + run.options + " " + rom, "timeout 10 ", dir);
            EXPECT_EQ(r.Status, 1) << run.options << "\n" << r.Err;
            EXPECT_NE(r.Err.find("tiravel-headless: " + run.message), std::string::npos) << r.Err;
            EXPECT_EQ(fs::status(path).type(), type) << run.options;
        }
        EXPECT_EQ(fs::is_symlink(path), t.name.starts_with("to-"));
    }
    EXPECT_TRUE(fs::is_empty(dir / "folder"));
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
}

}  // namespace
