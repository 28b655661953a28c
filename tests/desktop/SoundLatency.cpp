// Measures the desktop program's key-to-sound latency: from a key press to
// the first block of the answering sound that the SDL callback hands to the
// device, beside the key-to-picture time of the same presses (the frame
// that answers, ready to be drawn).
//
// The window runs in this process on Qt's offscreen platform (the key
// events go straight to it, without an X server) with SDL's audio driver as
// the environment gives it (dummy when unset). The cartridge latency_tone
// turns its backdrop white and sounds a tone while player 1's button 1 (X)
// is held. The presses come at random phases against the frames. A real
// card starts playing a block about one device period (10 ms for the stereo
// device) after the callback filled it; the dummy driver "plays" it then too.
//
// This is a measurement, not a test: its figures depend on the machine's load.
//   desktop_sound_latency [MODEL] [PRESSES]   (defaults: sms2 and 20; MODEL
//   is a "Console" > "Model" id: tiravel, sms1, sms2)
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include <sys/prctl.h>

#include "MainForm.h"
#include "WaitFor.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t Now() { return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count(); }

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Set by the press, read and answered by the device's thread and the frames.
std::atomic<int64_t> gPressed{0};
std::atomic<int64_t> gSounded{0};
std::atomic<int64_t> gPictured{0};

void Heard(bool sounding) {
    if (!sounding) return;
    int64_t none = 0;
    if (gPressed.load() != 0) gSounded.compare_exchange_strong(none, Now());
}

}  // namespace

int main(int argc, char** argv) {
    const std::string model = argc > 1 ? argv[1] : "sms2";
    const int presses = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) return 1;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path() + "/config");
    setenv("XDG_DATA_HOME", (dir.path() + "/data").toLocal8Bit().constData(), 1);

    TMainForm form;
    form.ExecutableDirectory = dir.path();
    form.DXSound1.Tap = [](const uint8_t* data, int length) {
        Heard(std::any_of(data, data + length, [](uint8_t b) { return b != 128; }));
    };
    form.StereoOutput.Tap = [](const int16_t* pairs, int count) {
        Heard(std::any_of(pairs, pairs + 2 * count, [](int16_t s) { return s != 0; }));
    };
    std::vector<uint32_t> picture(CONSOLE_MAX_PICTURE_PIXELS);
    const auto frameDone = form.SMS->OnFrameDone;
    form.SMS->OnFrameDone = [&](TSMS& machine) {
        if (frameDone) frameDone(machine);
        if (gPressed.load() == 0 || gPictured.load() != 0) return;
        machine.Console->FrameToXrgb8888(picture.data());
        if ((picture[0] & 0xFFFFFF) == 0xFFFFFF) gPictured.store(Now());
    };
    QAction* modelItem = form.Item(QString::fromStdString("mModel_" + model));
    if (modelItem == nullptr) {
        std::fprintf(stderr, "no model \"%s\"\n", model.c_str());
        return 2;
    }
    modelItem->trigger();
    form.show();
    form.activateWindow();
    if (!QTest::qWaitForWindowActive(&form)) return 1;
    // SDL's dummy driver times its blocks with sleeps on a thread that takes
    // the timer slack of the thread that opens the device: the window's 1 ms
    // (timeBeginPeriod) would make its clock run 5-10% slow, past the rate
    // control's 1%, and the queue would sit at its 50 ms ceiling. A real card
    // clocks its own blocks; here the device is opened with the default 50 us.
    const int slack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    prctl(PR_SET_TIMERSLACK, 50000UL, 0, 0, 0);
    const bool opened = form.OpenRomFile(TIRAVEL_ROM_DIR "/latency_tone.sms");
    prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(slack), 0, 0, 0);
    if (!opened) return 1;
    // The BIOS's splash, then the cartridge's first frames.
    WaitFor([] { return false; }, 3000);

    std::mt19937 random(1);
    std::vector<double> sounds, pictures;
    int missed = 0;
    for (int press = 0; press < presses; ++press) {
        // A random phase against the frames.
        WaitFor([] { return false; }, static_cast<int>(random() % 17));
        gSounded = 0;
        gPictured = 0;
        gPressed = Now();
        QTest::keyPress(form.DXDraw1, Qt::Key_X);
        const bool answered = WaitFor([] { return gSounded.load() != 0 && gPictured.load() != 0; }, 2000);
        QTest::keyRelease(form.DXDraw1, Qt::Key_X);
        const int64_t pressed = gPressed.exchange(0);
        if (!answered) {
            ++missed;
        } else {
            sounds.push_back((gSounded.load() - pressed) / 1000.0);
            pictures.push_back((gPictured.load() - pressed) / 1000.0);
            std::printf("press %2d: sound %6.1f ms, picture %6.1f ms (queue %.1f ms, %u underruns so far)\n", press + 1,
                        sounds.back(), pictures.back(), form.StereoOutput.QueuedMs(), form.StereoOutput.Counts().Underruns);
        }
        // The tone stops and the queue's sound of it drains before the next press.
        WaitFor([] { return false; }, 300);
    }
    const TStereoSoundQueue::TCounts counts = form.StereoOutput.Counts();
    if (sounds.empty()) {
        std::fprintf(stderr, "no press was answered\n");
        return 1;
    }
    const auto [low, high] = std::minmax_element(sounds.begin(), sounds.end());
    std::printf("%s, %zu presses (%d unanswered): key to sound median %.1f ms (%.1f to %.1f), key to picture "
                "median %.1f ms; stereo queue at most %.1f ms, %u underrun(s), %llu pairs not queued, rate %.5f\n",
                model.c_str(), sounds.size(), missed, Median(sounds), *low, *high, Median(pictures),
                counts.MaxQueued / 48.0, counts.Underruns, static_cast<unsigned long long>(counts.DroppedPairs),
                form.SMS->Console->SoundRate());
    form.mSairClick();
    return 0;
}
