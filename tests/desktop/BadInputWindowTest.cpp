// The window's message boxes for files it cannot use: each names the file
// and the reason, and the window stays usable (the next good game runs), and
// a battery file that cannot be read is kept as it is.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QFile>
#include <filesystem>
#include <fstream>
#include <memory>

#include "ArchiveFiles.h"
#include "MainForm.h"
#include "MessageCatcher.h"
#include "Unprivileged.h"
#include "FormRig.h"
#include "WaitFor.h"

namespace fs = std::filesystem;

namespace {

QString Rom(const char* name) { return QString(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms"; }

class BadInputWindowTest : public ::testing::Test, protected TFormRig {
protected:
    void SetUp() override {
        onFrame = [this](TSMS& machine) {
            const uint8_t* ram = machine.Console->BatteryRam().data();
            if (ram[1] == 'T' && ram[2] == 'R' && ram[3] == 'V') counted_ = true;
        };
        CreateForm(QString::fromStdString(dir.string()));
    }
    void TearDown() override { form.reset(); }
    std::string MakeFile(const std::string& name, std::size_t size) {
        std::ofstream(dir / name, std::ios::binary) << std::string(size, 0x11);
        return (dir / name).string();
    }

    // The files the user "nobody" opens lie in a folder that user can enter.
    TSharedFolder folder_{"window-badinput"};
    const fs::path dir = folder_.Path();
    bool counted_ = false;
};

TEST_F(BadInputWindowTest, RefusedRomShowsFileAndReasonAndTheNextGameRuns) {
    ASSERT_EQ(::mkfifo((dir / "pipe.sms").c_str(), 0644), 0);
    fs::create_directory(dir / "folder.sms");
    fs::create_symlink(dir / "gone.sms", dir / "link.sms");
    const std::string locked = MakeFile("locked.sms", 32768);
    fs::permissions(locked, fs::perms::none);
    fs::resize_file(MakeFile("64mb.sms", 0), 64 * 1024 * 1024);
    const struct { std::string path; const char* reason; } cases[] = {
        {MakeFile("empty.sms", 0), "the file is empty"},
        {MakeFile("100.sms", 100), "it is only 100 bytes long"},
        {MakeFile("511.sms", 511), "it is only 511 bytes long"},
        {MakeFile("512.sms", 512), "it holds a 512-byte header and no image"},
        {(dir / "64mb.sms").string(), "it is 67108864 bytes long, larger than"},
        {(dir / "folder.sms").string(), "it is a folder, not a file"},
        {(dir / "pipe.sms").string(), "it is a pipe (FIFO), not a regular file"},
        {(dir / "link.sms").string(), "it is a link to a file that does not exist"},
        {locked, "Permission denied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_TRUE(Open(Rom("handover")));
        ASSERT_TRUE(RunFrames(2));
        TMessageCatcher catcher;
        bool opened;
        {
            TUnprivileged nobody;
            opened = Open(QString::fromStdString(c.path));
        }
        EXPECT_FALSE(opened);
        ASSERT_EQ(catcher.Texts.size(), 1);
        const QString expected = QString::fromStdString("Cannot load the ROM file \"" + c.path + "\": " + c.reason);
        EXPECT_TRUE(catcher.Texts[0].startsWith(expected)) << catcher.Texts[0].toStdString();
        EXPECT_EQ(Machine().Ready, 0);
    }
    // The window is still fully usable: a good game opens and runs.
    ASSERT_TRUE(Open(Rom("handover")));
    EXPECT_TRUE(RunFrames(3));
}

TEST_F(BadInputWindowTest, UnreadableBatteryFileIsReportedAndKept) {
    fs::create_directory(dir / "RAMs");
    fs::permissions(dir / "RAMs", fs::perms::all);
    const fs::path file = dir / "RAMs" / "battery.RAM";
    const std::string previous(32768, 0x5A);
    std::ofstream(file, std::ios::binary) << previous;
    fs::permissions(file, fs::perms::none);
    // The cartridge too: the build folder may be closed to other users.
    const QString rom = QString::fromStdString(folder_.Copy(Rom("battery").toStdString()));
    TMessageCatcher catcher;
    {
        TUnprivileged nobody;
        ASSERT_TRUE(Open(rom));  // the game starts without its save
        Machine().TargetFps = 0;
        ASSERT_TRUE(WaitFor([&] { return counted_; }));
        form->mArquivoClick();  // the stop's save is refused, not written over the old file
        ASSERT_TRUE(WaitFor([&] { return catcher.Texts.size() >= 2; }));
    }
    const QString path = QString::fromStdString(file.string());
    EXPECT_TRUE(catcher.Texts[0].startsWith("Cannot read the battery RAM file \"" + path + "\": Permission denied."))
        << catcher.Texts[0].toStdString();
    EXPECT_TRUE(catcher.Texts[1].startsWith("Cannot save the battery RAM to \"" + path +
                                            "\": the existing file cannot be read (Permission denied)"))
        << catcher.Texts[1].toStdString();
    fs::permissions(file, fs::perms::owner_read);
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), previous);
}

TEST_F(BadInputWindowTest, BiosDumpOfTheWrongSizeIsNamedAndTheBuiltInImageRuns) {
    fs::create_directories(dir / "BIOS");
    const std::string dump = (dir / "BIOS" / "American.bin").string();
    std::ofstream(dump, std::ios::binary) << std::string(100, 0);
    Machine().BiosFolders = {(dir / "BIOS").string()};
    TMessageCatcher catcher;
    ASSERT_TRUE(Open(Rom("handover")));
    ASSERT_TRUE(WaitFor([&] { return !catcher.Texts.isEmpty(); }));
    EXPECT_EQ(catcher.Texts[0].toStdString(),
              "The BIOS file " + dump + " is 100 bytes, not 8192. The built-in image is used instead.");
    EXPECT_TRUE(RunFrames(3));
}

// Archives the window cannot use are refused with the file and the reason,
// as plain files are; the window stays usable, and a zipped game then runs
// with its battery file named after the archive.
TEST_F(BadInputWindowTest, RefusedArchiveShowsFileAndReasonAndAZippedGameRuns) {
    const std::string image(32768, 0x11);
    auto archive = [&](const std::string& name, TArchiveFormat format, const std::vector<TArchiveMember>& members) {
        EXPECT_EQ(WriteTestArchive(dir / name, format, members), "") << name;
        return (dir / name).string();
    };
    std::ofstream(dir / "plain.zip", std::ios::binary) << image;
    const struct { std::string path; const char* reason; } cases[] = {
        {(dir / "plain.zip").string(), "it is not a zip archive that can be read"},
        {archive("two.zip", TArchiveFormat::Zip, {{"a.sms", image}, {"b.sms", image}}),
         "it holds 2 cartridge images, \"a.sms\", \"b.sms\""},
        {archive("secret.zip", TArchiveFormat::EncryptedZip, {{"secret.sms", image}}),
         "its image \"secret.sms\" is encrypted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_TRUE(Open(Rom("handover")));
        TMessageCatcher catcher;
        EXPECT_FALSE(Open(QString::fromStdString(c.path)));
        ASSERT_EQ(catcher.Texts.size(), 1);
        const QString expected = QString::fromStdString("Cannot load the ROM file \"" + c.path + "\": " + c.reason);
        EXPECT_TRUE(catcher.Texts[0].startsWith(expected)) << catcher.Texts[0].toStdString();
        EXPECT_EQ(Machine().Ready, 0);
    }
    std::ifstream rom(Rom("battery").toStdString(), std::ios::binary);
    const std::string battery{std::istreambuf_iterator<char>(rom), {}};
    const std::string zipped = archive("My Game.zip", TArchiveFormat::Zip, {{"My Game.SMS", battery}});
    ASSERT_TRUE(Open(QString::fromStdString(zipped)));
    EXPECT_EQ(Machine().RamPath, (dir / "RAMs" / "My Game.RAM").string());
    Machine().TargetFps = 0;
    EXPECT_TRUE(WaitFor([&] { return counted_; }));
}

}  // namespace
