// Measures the desktop program's input-to-picture latency in a real X server:
// from a key press to the first picture in the window that answers it.
//
// Xvfb is started on a free display and `tiravel latency.sms` runs in it
// (SDL's dummy audio driver). The latency cartridge turns its whole backdrop
// white while player 1's button 1 (X) is held and prints a frame counter, so
// every emulated frame shows a new picture. Each press is sent with XTest;
// the window is then read with XGetImage as fast as the server answers, and
// the new pictures are counted until one is mostly different from the
// picture before the press: that count is the latency in frames as the
// window showed them, whatever the machine's load did to the frame rate.
// The time is reported beside it.
//
// This is a measurement, not a test: its figures depend on the machine's load.
//   desktop_key_latency [PRESSES] [TIRAVEL]   (defaults: 20 and the built program)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "XSession.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace xsession;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kFrameMs = 1000.0 / 60.0;

bool SamePicture(XImage* a, XImage* b) {
    if (a->width != b->width || a->height != b->height) return false;
    const size_t bytes = static_cast<size_t>(a->bytes_per_line) * static_cast<size_t>(a->height);
    return std::memcmp(a->data, b->data, bytes) == 0;
}

// The share of pixels that differ, sampled every fourth pixel of every
// fourth row.
double ChangedShare(XImage* a, XImage* b) {
    int changed = 0, all = 0;
    for (int y = 0; y < a->height; y += 4)
        for (int x = 0; x < a->width; x += 4, ++all) changed += XGetPixel(a, x, y) != XGetPixel(b, x, y);
    return all == 0 ? 0.0 : static_cast<double>(changed) / all;
}

XImage* Grab(Display* display, Window window, int width, int height) {
    return XGetImage(display, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes,
                     ZPixmap);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const int presses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const std::string program = argc > 2 ? argv[2] : TIRAVEL_EXE;

    const fs::path dir = fs::temp_directory_path() / ("tiravel_key_latency_" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::permissions(dir, fs::perms::owner_all);
    std::string displayName;
    const pid_t server = StartXvfb(displayName);
    if (displayName.empty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    Display* display = XOpenDisplay(displayName.c_str());
    int event = 0, error = 0, major = 0, minor = 0;
    if (display == nullptr || !XTestQueryExtension(display, &event, &error, &major, &minor)) {
        std::fprintf(stderr, "no XTest extension on %s\n", displayName.c_str());
        Stop(server);
        return 1;
    }
    const pid_t tiravel = Spawn({program, TIRAVEL_ROM_DIR "/latency.sms"},
                                {"DISPLAY=" + displayName, "QT_QPA_PLATFORM=xcb", "SDL_AUDIODRIVER=dummy",
                                 "XDG_DATA_HOME=" + (dir / "data").string(), "XDG_CONFIG_HOME=" + (dir / "config").string(),
                                 "XDG_RUNTIME_DIR=" + dir.string()});
    const Window window = AwaitWindow(display, "Tiravel");
    int status = 1;
    if (window == 0) {
        std::fprintf(stderr, "no window captioned Tiravel\n");
    } else {
        // The keys are read only while the window is active: without a
        // window manager, the window is given the input focus directly.
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XSync(display, False);
        // The BIOS's splash, then the cartridge's first frames.
        std::this_thread::sleep_for(3s);
        XWindowAttributes attributes;
        XGetWindowAttributes(display, window, &attributes);
        const KeyCode button1 = XKeysymToKeycode(display, XK_x);

        std::vector<double> latencies, frames;
        int missed = 0;
        for (int press = 0; press < presses; ++press) {
            XImage* before = Grab(display, window, attributes.width, attributes.height);
            if (before == nullptr) break;
            XTestFakeKeyEvent(display, button1, True, CurrentTime);
            XFlush(display);
            const auto pressed = Clock::now();
            XImage* last = XSubImage(before, 0, 0, static_cast<unsigned>(before->width),
                                     static_cast<unsigned>(before->height));
            int shown = 0;
            bool answered = false;
            while (!answered && Clock::now() - pressed < 2s) {
                XImage* now = Grab(display, window, attributes.width, attributes.height);
                if (now == nullptr) break;
                if (SamePicture(last, now)) {
                    XDestroyImage(now);
                    // A short rest between reads: the reads cost the X
                    // server time that the program under test needs too.
                    std::this_thread::sleep_for(1ms);
                    continue;
                }
                ++shown;
                answered = ChangedShare(before, now) > 0.5;
                XDestroyImage(last);
                last = now;
            }
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - pressed).count();
            XDestroyImage(last);
            XDestroyImage(before);
            XTestFakeKeyEvent(display, button1, False, CurrentTime);
            XFlush(display);
            // The backdrop turns black again before the next press.
            std::this_thread::sleep_for(300ms);
            if (!answered) {
                ++missed;
                continue;
            }
            latencies.push_back(ms);
            frames.push_back(shown);
            std::printf("press %2d: %6.1f ms (%4.2f frames of 1/60 s), answered by the %d. new picture\n", press + 1,
                        ms, ms / kFrameMs, shown);
        }
        if (!latencies.empty()) {
            const auto [low, high] = std::minmax_element(frames.begin(), frames.end());
            const double median = Median(latencies);
            std::printf("%zu presses (%d unanswered): median %.1f ms (%.2f frames of 1/60 s); "
                        "answered by new picture %.1f in the median, %.0f to %.0f\n",
                        latencies.size(), missed, median, median / kFrameMs, Median(frames), *low, *high);
            status = 0;
        } else {
            std::fprintf(stderr, "no press changed the picture\n");
        }
    }
    Stop(tiravel);
    XCloseDisplay(display);
    Stop(server);
    fs::remove_all(dir);
    return status;
}
