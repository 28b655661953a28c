// The core in a real front end: RetroArch runs it on the demo cartridge in a
// private X server for 600 frames, with a configuration of our own in a
// scratch folder and no sound, takes a screenshot of the last frame and
// exits. The screenshot must show the demo's title as the runner draws it,
// and the battery file RetroArch writes from the cartridge RAM must be the
// runner's. A state of another cartridge, loaded at the start, is refused
// with the core's reason in RetroArch's log and on its screen. A Game Gear
// cartridge runs in the handheld's 160 x 144 window, the model chosen by
// the core from the file alone.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "HeadlessRun.h"
#include "XSession.h"
// Xlib names a type Status by a macro; the run's field has that name.
#undef Status

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Pixels of `a` whose colour is within `tolerance` of `b`'s in every channel.
double Agreement(const QImage& a, const QImage& b, int tolerance) {
    long same = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            same += std::abs(qRed(p) - qRed(q)) <= tolerance && std::abs(qGreen(p) - qGreen(q)) <= tolerance &&
                    std::abs(qBlue(p) - qBlue(q)) <= tolerance;
        }
    return static_cast<double>(same) / (a.width() * a.height());
}

// RetroArch in a private X server on a cartridge (the demo unless told) for
// 600 frames, with a configuration of our own (`extra` added to it) in `dir`,
// a screenshot of the last frame in dir/shot.png and its verbose log in
// dir/retroarch.log. Its exit status, or -1 when it did not exit within two
// minutes.
int RunRetroArch(const fs::path& dir, const std::string& extra, const std::string& rom = TIRAVEL_DEMO_ROM) {
    const fs::path config = dir / "retroarch.cfg";
    {
        std::ofstream cfg(config);
        cfg << "audio_enable = \"false\"\naudio_driver = \"null\"\nvideo_driver = \"gl\"\n"
            << "video_fullscreen = \"false\"\nvideo_vsync = \"false\"\nvideo_threaded = \"false\"\n"
            << "pause_nonactive = \"false\"\nconfig_save_on_exit = \"false\"\n"
            << "history_list_enable = \"false\"\ngamemode_enable = \"false\"\n"
            << "system_directory = \"" << (dir / "system").string() << "\"\n"
            << "savefile_directory = \"" << (dir / "saves").string() << "\"\n"
            << "savestate_directory = \"" << (dir / "states").string() << "\"\n"
            << "screenshot_directory = \"" << dir.string() << "\"\n"
            << "libretro_info_path = \"" << TIRAVEL_LIBRETRO_INFO_DIR << "\"\n"
            << extra;
    }
    std::string display;
    const pid_t server = xsession::StartXvfb(display);
    if (display.empty()) {
        ADD_FAILURE() << "Xvfb did not start";
        return -1;
    }
    // RetroArch aborts at start without a session bus.
    const pid_t retroarch = xsession::Spawn(
        {"dbus-run-session", "--", TIRAVEL_RETROARCH, "--config", config.string(), "--verbose",
         "--log-file=" + (dir / "retroarch.log").string(), "-L", TIRAVEL_LIBRETRO_CORE, rom,
         "--max-frames=600", "--max-frames-ss", "--max-frames-ss-path=" + (dir / "shot.png").string()},
        {"DISPLAY=" + display, "HOME=" + dir.string(), "XDG_CONFIG_HOME=" + (dir / "config").string(),
         "XDG_RUNTIME_DIR=" + (dir / "runtime").string()});
    const int status = xsession::WaitFor(retroarch, 120s);
    if (status == -1) {
        kill(retroarch, SIGKILL);
        waitpid(retroarch, nullptr, 0);
    }
    xsession::Stop(server);
    return status;
}

// A scratch folder for one RetroArch run, with the folders its
// configuration names.
fs::path RetroArchFolder(const std::string& name) {
    const fs::path dir = Scratch() / name;
    fs::remove_all(dir);
    for (const char* sub : {"system", "saves", "states", "config", "runtime", "runner"}) fs::create_directories(dir / sub);
    ::chmod((dir / "runtime").c_str(), 0700);
    return dir;
}

// The runner's picture of the demo's frame 600, its battery file beside it.
QImage RunnerFrame600(const fs::path& runnerDir) {
    const THeadlessRun run = RunHeadless("--frames 600 --png '" + (runnerDir / "frame600.png").string() +
                                         "' --ram-dir '" + runnerDir.string() + "' '" + TIRAVEL_DEMO_ROM + "'");
    EXPECT_EQ(run.Status, 0) << run.Err;
    return QImage(QString::fromStdString((runnerDir / "frame600.png").string())).convertToFormat(QImage::Format_RGB32);
}

}  // namespace

TEST(RetroArch, RunsTheCoreOnTheDemoAndShowsItsTitle) {
    const fs::path dir = RetroArchFolder("retroarch");
    const fs::path shot = dir / "shot.png";
    // The screenshot is the core's own frame, not the scaled window.
    const int status = RunRetroArch(dir, "video_gpu_screenshot = \"false\"\n");
    ASSERT_NE(status, -1) << "RetroArch did not exit within two minutes";
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "RetroArch's status " << status;

    // The runner's picture of frame 600. RetroArch may count a frame more or
    // scale the picture, so the comparison is loose: the title screen holds
    // still, and nearly every pixel must agree.
    const fs::path runnerDir = dir / "runner";
    const QImage expected = RunnerFrame600(runnerDir);
    QImage actual(QString::fromStdString(shot.string()));
    ASSERT_FALSE(actual.isNull()) << "no screenshot at " << shot;
    ASSERT_FALSE(expected.isNull());
    actual = actual.convertToFormat(QImage::Format_RGB32);
    if (actual.size() != expected.size()) actual = actual.scaled(expected.size());
    std::set<QRgb> colours;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x) colours.insert(expected.pixel(x, y));
    ASSERT_GE(colours.size(), 3u) << "the runner's frame 600 is no title screen";
    EXPECT_GE(Agreement(actual, expected, 24), 0.97);

    // RetroArch saved the cartridge RAM as the game left it: the start count
    // the demo keeps, as the runner's battery file holds it.
    const std::string srm = ReadAll(dir / "saves" / "tiravel-demo.srm");
    EXPECT_EQ(srm.size(), 32768u);
    EXPECT_EQ(srm, ReadAll(runnerDir / "tiravel-demo.RAM"));
}

// A state of another cartridge (the runner's, of the paging test cartridge),
// offered at the start as RetroArch's automatic state: the core refuses it,
// and its reason goes through the message interface into RetroArch's log and
// onto its screen, in two lines across the window (RetroArch's own one-line
// notice under it still says the state was loaded). The game goes on from
// its start as if no state had been offered.
TEST(RetroArch, ShowsWhyTheCoreRefusesAState) {
    const fs::path dir = RetroArchFolder("retroarch-refused");
    const THeadlessRun paging = RunHeadless("--frames 10 --save-state '" +
                                            (dir / "states" / "tiravel-demo.state.auto").string() + "' '" +
                                            TIRAVEL_TEST_ROM_DIR + "/paging.sms'");
    ASSERT_EQ(paging.Status, 0) << paging.Err;
    // The screenshot is the window as the player sees it, notices included.
    const auto start = std::chrono::steady_clock::now();
    const int status = RunRetroArch(dir, "video_gpu_screenshot = \"true\"\nsavestate_auto_load = \"true\"\n");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_NE(status, -1) << "RetroArch did not exit within two minutes";
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "RetroArch's status " << status;

    const std::string log = ReadAll(dir / "retroarch.log");
    EXPECT_NE(log.find("[Environ]: SET_MESSAGE_EXT: Cannot load the state: it was saved with the cartridge "
                       "\"paging.sms\""),
              std::string::npos)
        << log;

    QImage shot(QString::fromStdString((dir / "shot.png").string()));
    ASSERT_FALSE(shot.isNull()) << "no screenshot";
    shot = shot.convertToFormat(QImage::Format_RGB32);
    const QImage game = RunnerFrame600(dir / "runner").scaled(shot.size());
    ASSERT_FALSE(game.isNull());
    // Above the notices the window shows the game's frame 600 from its start.
    const int top = shot.height() * 2 / 3;
    EXPECT_GE(Agreement(shot.copy(0, 0, shot.width(), top), game.copy(0, 0, shot.width(), top), 24), 0.97);
    // RetroArch's notices last five seconds of wall time, not frames: on a
    // machine so busy that the 600 frames took longer (they take about 1.5 s
    // here), the screenshot at the end cannot show the notice, and the log
    // above is the proof that it was sent.
    if (seconds > 4.5) {
        std::printf("RetroArch took %.1f s for its 600 frames; the on-screen notice is not checked\n", seconds);
        return;
    }
    // Below, the rows where the window differs from the game nearly across
    // its width: the core's notice, taller than a one-line notice (about a
    // twentieth of the window's height at RetroArch's scale).
    int tallest = 0;
    for (int y = top, run = 0; y < shot.height(); ++y) {
        const int left = shot.width() / 50, right = shot.width() - left;
        int differ = 0;
        for (int x = left; x < right; ++x) {
            const QRgb p = shot.pixel(x, y), q = game.pixel(x, y);
            differ += std::abs(qRed(p) - qRed(q)) > 24 || std::abs(qGreen(p) - qGreen(q)) > 24 ||
                      std::abs(qBlue(p) - qBlue(q)) > 24;
        }
        run = differ >= (right - left) * 9 / 10 ? run + 1 : 0;
        tallest = std::max(tallest, run);
    }
    EXPECT_GE(tallest, shot.height() / 20) << "no two-line notice across the window";
}

// A Game Gear cartridge (the tunnel game of tests/data/gamegear/, a public
// project's, with no model set anywhere): the core chooses the Game Gear by
// itself, tells RetroArch a 160 x 144 picture, and RetroArch's screenshot of
// frame 600 is the runner's picture of that frame.
TEST(RetroArch, RunsAGameGearCartridgeInItsWindow) {
    const fs::path dir = RetroArchFolder("retroarch-gamegear");
    const std::string rom = std::string(TIRAVEL_GAMEGEAR_DATA_DIR) + "/liamhays_tunnel.gg";
    const int status = RunRetroArch(dir, "video_gpu_screenshot = \"false\"\nvideo_scale = \"3.000000\"\n", rom);
    ASSERT_NE(status, -1) << "RetroArch did not exit within two minutes";
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "RetroArch's status " << status;
    const std::string log = ReadAll(dir / "retroarch.log");
    // The geometry the core gave: RetroArch sizes its window at three times it.
    EXPECT_NE(log.find("Set video size to: 480x432."), std::string::npos) << log;

    const fs::path png = dir / "runner" / "frame600.png";
    const THeadlessRun run = RunHeadless("--frames 600 --png '" + png.string() + "' '" + rom + "'");
    ASSERT_EQ(run.Status, 0) << run.Err;
    const QImage expected = QImage(QString::fromStdString(png.string())).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(expected.size(), QSize(160, 144)) << "the runner did not choose the Game Gear";
    QImage actual(QString::fromStdString((dir / "shot.png").string()));
    ASSERT_FALSE(actual.isNull()) << "no screenshot";
    actual = actual.convertToFormat(QImage::Format_RGB32);
    // The core's own frame: the window's size, or a whole multiple of it.
    EXPECT_EQ(actual.width() * 144, actual.height() * 160) << actual.width() << " x " << actual.height();
    if (actual.size() != expected.size()) actual = actual.scaled(expected.size());
    std::set<QRgb> colours;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x) colours.insert(expected.pixel(x, y));
    ASSERT_GE(colours.size(), 2u) << "the runner's frame 600 is blank";
    EXPECT_GE(Agreement(actual, expected, 24), 0.97);
}
