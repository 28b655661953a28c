// A private X server for the desktop program: Xvfb on a free display,
// programs started in it, its top-level windows found by caption and their
// pictures read back. Shared by the smoke test and the latency measurement.
#pragma once

#include <QImage>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

// Xlib last: its macros (Status, None, Bool) clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace xsession {

using namespace std::chrono_literals;

// Starts a program with extra environment entries; returns its pid. Its
// standard output goes to /dev/null unless `keepFd` is given (a descriptor
// the program writes to).
inline pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int keepFd = -1) {
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
inline int WaitFor(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return status;
        std::this_thread::sleep_for(20ms);
    }
    return -1;
}

// Starts Xvfb on a free display (1024 x 768, 24 bits); its name (":N") in
// `displayName`, or "" when the server did not come up within 20 s.
inline pid_t StartXvfb(std::string& displayName) {
    displayName.clear();
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t server =
        Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, {},
              fds[1]);
    close(fds[1]);
    pollfd ready{fds[0], POLLIN, 0};
    char buffer[16] = {};
    ssize_t n = 0;
    if (poll(&ready, 1, 20000) > 0) n = read(fds[0], buffer, sizeof buffer - 1);
    close(fds[0]);
    if (n > 0) displayName = ":" + std::string(buffer, strcspn(buffer, "\n"));
    return server;
}

inline void Stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    if (WaitFor(pid, 5000ms) == -1) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

inline std::string WindowName(Display* display, Window window) {
    char* name = nullptr;
    std::string result;
    if (XFetchName(display, window, &name) && name != nullptr) result = name;
    if (name != nullptr) XFree(name);
    return result;
}

// The viewable window with the given caption, searched depth first.
inline Window FindWindow(Display* display, Window root, const std::string& caption) {
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

// Polls for the window for up to ten seconds.
inline Window AwaitWindow(Display* display, const std::string& caption) {
    Window window = 0;
    for (int i = 0; i < 200 && window == 0; ++i) {
        std::this_thread::sleep_for(50ms);
        window = FindWindow(display, DefaultRootWindow(display), caption);
    }
    return window;
}

// The window's direct child of the root: the window manager's frame around
// it, or the window itself where nothing reparented it.
inline Window TopLevel(Display* display, Window window) {
    for (;;) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, window, &root, &parent, &children, &count)) return window;
        if (children != nullptr) XFree(children);
        if (parent == root || parent == 0) return window;
        window = parent;
    }
}

inline QImage Screenshot(Display* display, Window window) {
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

}  // namespace xsession
