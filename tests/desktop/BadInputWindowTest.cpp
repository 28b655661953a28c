// The window's message boxes for files it cannot use: each names the file
// and the reason, and the window stays usable (the next good game runs), and
// a battery file that cannot be read is kept as it is; a settings file that
// is no regular file is reported and left alone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QSettings>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "ArchiveFiles.h"
#include "MainForm.h"
#include "MessageCatcher.h"
#include "Unprivileged.h"
#include "FormRig.h"
#include "WaitFor.h"

namespace fs = std::filesystem;

namespace {

QString Rom(const char* name) { return QString(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms"; }

// Frees a reader held in open() on a FIFO: after `seconds`, the FIFO is
// opened for writing (and closed) again and again, so that a program that
// waits there reads an empty file and goes on, and the test fails instead of
// hanging. Fired() says whether it had to.
class TFifoWatchdog {
public:
    TFifoWatchdog(const std::string& path, int seconds)
        : thread_([this, path, seconds] {
              const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
              while (!stop_) {
                  if (std::chrono::steady_clock::now() >= deadline) {
                      const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                      if (fd >= 0) {
                          fired_ = true;
                          ::close(fd);
                      }
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
          }) {}
    ~TFifoWatchdog() {
        stop_ = true;
        thread_.join();
    }
    bool Fired() const { return fired_; }

private:
    std::atomic<bool> stop_{false}, fired_{false};
    std::thread thread_;
};

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

// A settings file that is no regular file is not opened (a FIFO held the
// window's creation in open() for good): the window starts with the default
// settings, says which file and why once it shows, and never writes to the
// file, so that it stays what it was.
TEST_F(BadInputWindowTest, SettingsFileThatIsNoRegularFileIsReportedAndLeftAlone) {
    form.reset();
    const fs::path config = dir / "config";
    const fs::path file = config / "Tiravel" / "Tiravel.conf";
    fs::create_directories(file.parent_path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(config.string()));
    struct TRestore {
        ~TRestore() {
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, std::getenv("TIRAVEL_TEST_SETTINGS"));
        }
    } restore;
    const struct { const char* kind; const char* reason; } cases[] = {
        {"FIFO", "it is a pipe (FIFO), not a regular file"},
        {"folder", "it is a folder, not a file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        if (c.kind == std::string("FIFO"))
            ASSERT_EQ(::mkfifo(file.c_str(), 0644), 0);
        else
            fs::create_directory(file);
        const fs::file_type type = fs::status(file).type();
        TMessageCatcher catcher;
        {
            TFifoWatchdog watchdog(file.string(), 10);
            CreateForm(QString::fromStdString(dir.string()));
            EXPECT_FALSE(watchdog.Fired()) << "the window waited on the FIFO";
        }
        ASSERT_TRUE(WaitFor([&] { return !catcher.Texts.isEmpty(); }));
        EXPECT_EQ(catcher.Texts[0].toStdString(),
                  "Cannot use the settings file \"" + file.string() + "\": " + c.reason +
                      ". The program starts with its default settings and leaves the file as it is.");
        // A game opened is not remembered in the file.
        ASSERT_TRUE(Open(Rom("handover")));
        EXPECT_TRUE(RunFrames(2));
        EXPECT_TRUE(form->RecentGames().isEmpty());
        EXPECT_TRUE(form->Menu("mRecent")->actions().isEmpty());
        form.reset();
        EXPECT_EQ(catcher.Texts.size(), 1);
        EXPECT_EQ(fs::status(file).type(), type);
        EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 1)
            << "nothing beside it either";
        fs::remove_all(file);
    }
}

}  // namespace
