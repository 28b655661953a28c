// The desktop program in a real X server: Xvfb is started on a free display,
// `tiravel ROM` runs in it with SDL's dummy audio driver, the window is found
// by its caption, a screenshot of it must show the cartridge's picture, and
// closing the window (the window manager's close message, as the title bar's
// close button sends it) must end the process cleanly with the battery RAM
// saved.
#include <gtest/gtest.h>

#include <QImage>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

// Xlib last: its macros (Status, None, Bool) clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Starts a program with extra environment entries; returns its pid.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int keepFd = -1) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    for (const std::string& entry : env) putenv(const_cast<char*>(entry.c_str()));
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    if (keepFd < 0) {
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDOUT_FILENO);
    }
    execvp(args[0], args.data());
    _exit(127);
}

// Waits for a child up to `limit`; its wait status, or -1 on timeout.
int WaitFor(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return status;
        std::this_thread::sleep_for(20ms);
    }
    return -1;
}

std::string WindowName(Display* display, Window window) {
    char* name = nullptr;
    std::string result;
    if (XFetchName(display, window, &name) && name != nullptr) result = name;
    if (name != nullptr) XFree(name);
    return result;
}

// The top-level window with the given caption, searched depth first.
Window FindWindow(Display* display, Window root, const std::string& caption) {
    if (WindowName(display, root) == caption) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, root, &attributes) && attributes.map_state == IsViewable) return root;
    }
    Window parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, root, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && found == 0; ++i) found = FindWindow(display, children[i], caption);
        if (children != nullptr) XFree(children);
    }
    return found;
}

QImage Screenshot(Display* display, Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return {};
    XImage* image = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (image == nullptr) return {};
    QImage shot(attributes.width, attributes.height, QImage::Format_RGB32);
    for (int y = 0; y < attributes.height; ++y)
        for (int x = 0; x < attributes.width; ++x)
            shot.setPixel(x, y, static_cast<QRgb>(XGetPixel(image, x, y)) | 0xFF000000u);
    XDestroyImage(image);
    return shot;
}

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
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        server = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24", "-nolisten",
                        "tcp"},
                       {}, fds[1]);
        close(fds[1]);
        pollfd ready{fds[0], POLLIN, 0};
        ASSERT_GT(poll(&ready, 1, 20000), 0) << "Xvfb did not start (package xvfb)";
        char buffer[16] = {};
        const ssize_t n = read(fds[0], buffer, sizeof buffer - 1);
        close(fds[0]);
        ASSERT_GT(n, 0);
        displayName = ":" + std::string(buffer, strcspn(buffer, "\n"));
    }
    void TearDown() override {
        if (server > 0) {
            kill(server, SIGTERM);
            WaitFor(server, 5000ms);
        }
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
                                 "XDG_DATA_HOME=" + (dir / "data").string(), "XDG_RUNTIME_DIR=" + dir.string()});
    Window window = 0;
    for (int i = 0; i < 200 && window == 0; ++i) {
        std::this_thread::sleep_for(50ms);
        window = FindWindow(display, DefaultRootWindow(display), "Tiravel");
    }
    ASSERT_NE(window, 0u) << "no window captioned Tiravel";
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

}  // namespace
