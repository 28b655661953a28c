// The core in a real front end: RetroArch runs it on the demo cartridge in a
// private X server for 600 frames, with a configuration of our own in a
// scratch folder and no sound, takes a screenshot of the last frame and
// exits. The screenshot must show the demo's title as the runner draws it,
// and the battery file RetroArch writes from the cartridge RAM must be the
// runner's.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

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

}  // namespace

TEST(RetroArch, RunsTheCoreOnTheDemoAndShowsItsTitle) {
    const fs::path dir = Scratch() / "retroarch";
    fs::remove_all(dir);
    for (const char* sub : {"system", "saves", "states", "config", "runtime", "runner"}) fs::create_directories(dir / sub);
    ::chmod((dir / "runtime").c_str(), 0700);
    const fs::path config = dir / "retroarch.cfg";
    {
        std::ofstream cfg(config);
        cfg << "audio_enable = \"false\"\naudio_driver = \"null\"\nvideo_driver = \"gl\"\n"
            << "video_fullscreen = \"false\"\nvideo_vsync = \"false\"\nvideo_threaded = \"false\"\n"
            // The screenshot is the core's own frame, not the scaled window.
            << "video_gpu_screenshot = \"false\"\n"
            << "pause_nonactive = \"false\"\nconfig_save_on_exit = \"false\"\n"
            << "history_list_enable = \"false\"\ngamemode_enable = \"false\"\n"
            << "system_directory = \"" << (dir / "system").string() << "\"\n"
            << "savefile_directory = \"" << (dir / "saves").string() << "\"\n"
            << "savestate_directory = \"" << (dir / "states").string() << "\"\n"
            << "screenshot_directory = \"" << dir.string() << "\"\n"
            << "libretro_info_path = \"" << TIRAVEL_LIBRETRO_INFO_DIR << "\"\n";
    }
    std::string display;
    const pid_t server = xsession::StartXvfb(display);
    ASSERT_FALSE(display.empty()) << "Xvfb did not start";
    const fs::path shot = dir / "shot.png";
    // RetroArch aborts at start without a session bus.
    const pid_t retroarch = xsession::Spawn(
        {"dbus-run-session", "--", TIRAVEL_RETROARCH, "--config", config.string(), "-L", TIRAVEL_LIBRETRO_CORE,
         TIRAVEL_DEMO_ROM, "--max-frames=600", "--max-frames-ss", "--max-frames-ss-path=" + shot.string()},
        {"DISPLAY=" + display, "HOME=" + dir.string(), "XDG_CONFIG_HOME=" + (dir / "config").string(),
         "XDG_RUNTIME_DIR=" + (dir / "runtime").string()});
    const int status = xsession::WaitFor(retroarch, 120s);
    if (status == -1) {
        kill(retroarch, SIGKILL);
        waitpid(retroarch, nullptr, 0);
    }
    xsession::Stop(server);
    ASSERT_NE(status, -1) << "RetroArch did not exit within two minutes";
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "RetroArch's status " << status;

    // The runner's picture of frame 600. RetroArch may count a frame more or
    // scale the picture, so the comparison is loose: the title screen holds
    // still, and nearly every pixel must agree.
    const fs::path runnerDir = dir / "runner";
    const THeadlessRun run = RunHeadless("--frames 600 --png '" + (runnerDir / "frame600.png").string() +
                                         "' --ram-dir '" + runnerDir.string() + "' '" + TIRAVEL_DEMO_ROM + "'");
    ASSERT_EQ(run.Status, 0) << run.Err;
    const QImage expected = QImage(QString::fromStdString((runnerDir / "frame600.png").string()))
                                .convertToFormat(QImage::Format_RGB32);
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
