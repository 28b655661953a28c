// The desktop program in a real X server: Xvfb is started on a free display,
// `tiravel ROM` runs in it with SDL's dummy audio driver, the window is found
// by its caption, a screenshot of it must show the cartridge's picture, and
// closing the window (the window manager's close message, as the title bar's
// close button sends it) must end the process cleanly with the battery RAM
// saved.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "XSession.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace xsession;

namespace {

struct DesktopSmokeTest : ::testing::Test {
    pid_t server = 0;
    std::string displayName;
    fs::path dir;

    void SetUp() override {
        dir = fs::temp_directory_path() / ("tiravel_desktop_smoke_" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::permissions(dir, fs::perms::owner_all);  // also the program's runtime folder
        // Xvfb picks a free display and writes its number to the pipe.
        server = StartXvfb(displayName);
        ASSERT_FALSE(displayName.empty()) << "Xvfb did not start (package xvfb)";
    }
    void TearDown() override {
        Stop(server);
        fs::remove_all(dir);
    }
};

TEST_F(DesktopSmokeTest, TheProgramShowsTheCartridgeAndClosesCleanly) {
    Display* display = XOpenDisplay(displayName.c_str());
    ASSERT_NE(display, nullptr) << displayName;

    // The battery RAM goes beside the executable when that folder is
    // writable (it is, in the build tree); a leftover from an earlier run
    // must not pass for this run's save.
    const fs::path ramFile = fs::path(TIRAVEL_EXE).parent_path() / "RAMs" / "battery.RAM";
    fs::remove(ramFile);

    const pid_t program = Spawn({TIRAVEL_EXE, TIRAVEL_ROM_DIR "/battery.sms"},
                                {"DISPLAY=" + displayName, "QT_QPA_PLATFORM=xcb", "SDL_AUDIODRIVER=dummy",
                                 "XDG_DATA_HOME=" + (dir / "data").string(), "XDG_CONFIG_HOME=" + (dir / "config").string(),
                                 "XDG_RUNTIME_DIR=" + dir.string()});
    const Window window = AwaitWindow(display, "Tiravel");
    ASSERT_NE(window, 0u) << "no window captioned Tiravel";
    // No window manager, no frame: the window itself has the outer size.
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(display, window, &attributes));
    EXPECT_EQ(TopLevel(display, window), window);
    EXPECT_EQ(attributes.width, 522);
    EXPECT_EQ(attributes.height, 440);
    std::this_thread::sleep_for(2s);

    // The lower half of the window is picture only: it must hold the
    // cartridge's drawing, not one flat colour; and the cartridge's own
    // mark, its status block, turns pure green once its run counter was read
    // back from cartridge RAM. On a loaded machine the BIOS may still be on
    // the screen after two seconds, so the shot is retaken for a while.
    QImage shot;
    size_t colours = 0;
    int green = 0;
    for (int attempt = 0; attempt < 60 && green <= 200; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(250ms);
        shot = Screenshot(display, window);
        ASSERT_FALSE(shot.isNull());
        std::set<QRgb> seen;
        for (int y = shot.height() / 2; y < shot.height(); y += 2)
            for (int x = 0; x < shot.width(); x += 2) seen.insert(shot.pixel(x, y));
        colours = seen.size();
        green = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) green += shot.pixel(x, y) == qRgb(0, 255, 0);
    }
    shot.save(QString::fromStdString((fs::path(TIRAVEL_EXE).parent_path() / "smoke-screenshot.png").string()));
    EXPECT_GE(colours, 2u) << "the window shows a blank picture";
    EXPECT_GT(green, 200) << "the cartridge's picture is not on the screen";

    // The close button's message.
    Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(deleteWindow);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);

    const int status = WaitFor(program, 15000ms);
    if (status == -1) kill(program, SIGKILL), waitpid(program, nullptr, 0);
    ASSERT_NE(status, -1) << "the program did not end after its window was closed";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_TRUE(fs::exists(ramFile)) << "closing the window saves the battery RAM";
    XCloseDisplay(display);
}

// Under a window manager the frame it draws is part of the window's outer
// size: the frame, borders included, measures 522 x 440. twm is small and
// frames every window with a title bar and a border.
TEST_F(DesktopSmokeTest, UnderAWindowManagerTheFrameMeasures522By440) {
    if (system("command -v twm >/dev/null 2>&1") != 0) GTEST_SKIP() << "twm is not installed (package twm)";
    Display* display = XOpenDisplay(displayName.c_str());
    ASSERT_NE(display, nullptr) << displayName;
    // New windows are placed at once rather than by the user's click; the
    // server's built-in font serves every caption (Xvfb has no other fonts
    // unless a font package is installed).
    const fs::path rc = dir / "twmrc";
    {
        FILE* file = fopen(rc.c_str(), "w");
        ASSERT_NE(file, nullptr);
        for (const char* font : {"Title", "Resize", "Menu", "Icon", "IconManager"})
            fprintf(file, "%sFont \"fixed\"\n", font);
        fputs("RandomPlacement\nBorderWidth 2\n", file);
        fclose(file);
    }
    const pid_t manager = Spawn({"twm", "-f", rc.string()}, {"DISPLAY=" + displayName, "LC_ALL=C"});
    std::this_thread::sleep_for(500ms);
    const pid_t program = Spawn({TIRAVEL_EXE, TIRAVEL_ROM_DIR "/speed.sms"},
                                {"DISPLAY=" + displayName, "QT_QPA_PLATFORM=xcb", "SDL_AUDIODRIVER=dummy",
                                 "XDG_DATA_HOME=" + (dir / "data").string(), "XDG_CONFIG_HOME=" + (dir / "config").string(),
                                 "XDG_RUNTIME_DIR=" + dir.string()});
    const Window window = AwaitWindow(display, "Tiravel");
    ASSERT_NE(window, 0u) << "no window captioned Tiravel";

    // The frame appears after the window was mapped, and the program fits
    // its client area to it then.
    int outerWidth = 0, outerHeight = 0, clientWidth = 0, clientHeight = 0;
    Window frame = window;
    for (int i = 0; i < 100; ++i) {
        std::this_thread::sleep_for(50ms);
        frame = TopLevel(display, window);
        XWindowAttributes outer, client;
        if (frame == window || !XGetWindowAttributes(display, frame, &outer) ||
            !XGetWindowAttributes(display, window, &client))
            continue;
        outerWidth = outer.width + 2 * outer.border_width;
        outerHeight = outer.height + 2 * outer.border_width;
        clientWidth = client.width;
        clientHeight = client.height;
        if (outerWidth == 522 && outerHeight == 440) break;
    }
    EXPECT_NE(frame, window) << "the window manager framed the window";
    EXPECT_EQ(outerWidth, 522);
    EXPECT_EQ(outerHeight, 440);
    EXPECT_LT(clientHeight, 440 - 10) << "the title bar is taken from the client area";
    EXPECT_LT(clientWidth, 522);

    Stop(program);
    Stop(manager);
    XCloseDisplay(display);
}

}  // namespace
