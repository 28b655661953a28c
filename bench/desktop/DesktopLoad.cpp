// The desktop program's load at full speed: the real main window opens a
// ROM, shows the VDP overlay, switches to full screen (unless told to stay
// in the default window), runs for a number of seconds at the paced 60
// frames per second, and exits. Run it under `/usr/bin/time -v` in an X
// server of the size to measure (scripts/bench-desktop does both): CPU
// seconds over wall seconds is the share of one core.
//
//   desktop_load ROM [SECONDS [OPTION...]]
//     no-rewind    "State" > "Rewind" off
//     window       the default window instead of full screen
//     full-screen  full screen (the default)
//     debugger     "Tools" > "Debugger" open beside it, on its VDP page (the
//                  page that costs the most to refresh), the machine running
#include <QAction>
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "DebuggerWindow.h"
#include "MainForm.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: desktop_load ROM [SECONDS [no-rewind] [window|full-screen] [debugger]]\n");
        return 2;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    bool rewind = true, fullScreen = true, debugger = false;
    for (int i = 3; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "no-rewind")
            rewind = false;
        else if (option == "window")
            fullScreen = false;
        else if (option == "full-screen")
            fullScreen = true;
        else if (option == "debugger")
            debugger = true;
        else {
            std::fprintf(stderr, "desktop_load: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    QApplication app(argc, argv);
    // The measured game does not join the user's recent games.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    TMainForm form;
    form.show();
    if (!form.OpenRomFile(QString::fromLocal8Bit(argv[1]))) return 1;
    form.mVDPSOnClick();
    if (!rewind) form.Item("mRebobinar")->trigger();
    if (fullScreen) form.mCheiaClick();
    if (debugger) {
        form.mDepuradorClick();
        form.DebuggerWindow()->Pages()->setCurrentIndex(3);
        form.DebuggerWindow()->Run();
    }

    // The overlay's figure, sampled once a second after the first two.
    std::vector<uint32_t> shown;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        shown.push_back(form.SMS->MeasuredFps.load() / (form.SMS->Console->Frameskip() + 1));
    });
    sampler.start(1000);
    QTimer::singleShot(seconds * 1000, [&] { form.mSairClick(); });
    app.exec();

    double sum = 0;
    uint32_t low = ~0u, high = 0, counted = 0;
    for (size_t i = 2; i < shown.size(); ++i, ++counted) {
        sum += shown[i];
        low = std::min(low, shown[i]);
        high = std::max(high, shown[i]);
    }
    if (counted == 0) return 1;
    const QSize size = form.DXDraw1->size();
    std::printf("window %dx%d%s, %u samples of the VDP overlay's frames per second: mean %.1f, min %u, max %u\n",
                size.width(), size.height(), form.isFullScreen() ? " full screen" : "", counted, sum / counted, low,
                high);
    return 0;
}
