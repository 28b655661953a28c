// The debugger walkthrough of docs/debugger.md, played by a program: the
// real main window and debugger window in an X server (Xvfb), a bug planted
// in a copy of the demo cartridge (player 1's sprite takes player 2's tiles),
// and the debugger's pages photographed at each step of finding it.
//
//   desktop_debugger_walkthrough DEMO_ROM BUGGY_ROM OUT_DIR
//
// BUGGY_ROM is written: the demo with the one byte changed. The pictures are
// the X server's own (QScreen::grabWindow), cropped to the debugger window.
// Run by scripts/debugger-walkthrough, never in CI.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <functional>
#include <string>

#include "DebuggerBreakpointView.h"
#include "DebuggerChipViews.h"
#include "DebuggerCpuView.h"
#include "DebuggerMemoryView.h"
#include "DebuggerWindow.h"
#include "MainForm.h"
#include "WaitFor.h"

namespace {

// Keys held by the program rather than a person.
class THeldKeys final : public TKeySource {
public:
    bool KeyDown(TKeyCode key) const override { return key == held; }
    bool Foreground() const override { return true; }
    TKeyCode held = 0;
};

// The walkthrough runs on a loaded desktop, at the window's pace: each step
// is given longer than in the tests.
constexpr int kPatience = 20000;

void Settle(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

int Fail(const char* what) {
    std::fprintf(stderr, "desktop_debugger_walkthrough: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: desktop_debugger_walkthrough DEMO_ROM BUGGY_ROM OUT_DIR\n");
        return 2;
    }
    QApplication app(argc, argv);
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    const QString out = QString::fromLocal8Bit(argv[3]);

    // The planted bug: in write_sprites, "add a, P1_TILE" (C6 C0) before the
    // pattern byte's OUT becomes "add a, P2_TILE" (C6 D0).
    QFile demo(QString::fromLocal8Bit(argv[1]));
    if (!demo.open(QIODevice::ReadOnly)) return Fail("cannot read the demo cartridge");
    QByteArray rom = demo.readAll();
    const QByteArray good("\x87\xC6\xC0\xD3\xBE", 5);
    const qsizetype at = rom.indexOf(good);
    if (at < 0 || rom.indexOf(good, at + 1) >= 0) return Fail("the demo's sprite code is not where it was");
    rom[at + 2] = char(0xD0);
    QFile buggy(QString::fromLocal8Bit(argv[2]));
    if (!buggy.open(QIODevice::WriteOnly) || buggy.write(rom) != rom.size()) return Fail("cannot write the copy");
    buggy.close();

    TMainForm form;
    form.ExecutableDirectory = settings.path();
    THeldKeys keys;
    form.Joystick1 = TInputDevice(&keys, nullptr);
    form.KeyBindings.ApplyTo(form.Joystick1, form.Joystick2);
    form.move(0, 0);
    form.show();
    if (!form.OpenRomFile(buggy.fileName())) return Fail("the copy does not start");
    uint64_t frames = 0;
    form.SMS->OnPresentFrame = [&frames](TSMS&) { ++frames; };
    auto runFrames = [&](uint64_t count) {
        const uint64_t until = frames + count;
        return WaitFor([&] { return frames >= until; }, kPatience);
    };
    // The BIOS, the title, button 1 held a moment, the scene.
    if (!runFrames(300)) return Fail("the game does not run");
    keys.held = 0x58;  // X: button 1
    runFrames(10);
    keys.held = 0;
    if (!runFrames(120)) return Fail("the scene does not run");

    emit form.Menu("mFerramentas")->aboutToShow();
    form.Item("mDepurador")->trigger();
    TDebuggerWindow& window = *form.DebuggerWindow();
    window.move(form.frameGeometry().right() + 10, 0);
    window.resize(900, 640);
    auto shoot = [&](const char* name) {
        Settle(300);
        const QPixmap picture = window.screen()->grabWindow(window.winId());
        if (!picture.save(out + "/" + name, "PNG")) std::fprintf(stderr, "cannot write %s\n", name);
        std::printf("%s/%s %dx%d\n", argv[3], name, picture.width(), picture.height());
    };
    auto waitStop = [&](uint64_t before) {
        return WaitFor([&] { return window.Debugger().StopCount() > before && window.Debugger().Stopped(); },
                       kPatience) &&
               WaitFor([&] { return window.Status()->text().startsWith("Stopped at"); }, kPatience);
    };

    // 0. Both windows: player 1 (left) looks like player 2.
    Settle(300);
    {
        const QRect both = form.frameGeometry().united(window.frameGeometry());
        const QPixmap picture = window.screen()->grabWindow(0, both.x(), both.y(), both.width(), both.height());
        picture.save(out + "/0-windows.png", "PNG");
    }

    // 1. Player 1 looks like player 2: the sprite page shows both sprites
    // with the same tile.
    window.Pages()->setCurrentWidget(window.VdpView());
    window.VdpView()->Pages()->setCurrentIndex(2);
    window.VdpView()->SpriteLine()->setValue(100);
    window.Refresh();
    shoot("1-sprites.png");
    // 2. The tiles: player 1's shapes are there at 192, unused.
    window.VdpView()->Pages()->setCurrentIndex(0);
    window.VdpView()->TilePalette()->setCurrentIndex(1);
    window.Refresh();
    // A click on tile 192, player 1's first shape (column 0, row 12, drawn at three times the size).
    if (auto* sheet = window.findChild<QWidget*>("TileSheet")) {
        const QPointF at(4, 12 * 24 + 4);
        QMouseEvent press(QEvent::MouseButtonPress, at, sheet->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(sheet, &press);
    }
    shoot("2-tiles.png");

    // 3. Who writes the sprite's pattern byte: a breakpoint on OUT to the
    // VDP's data port, run until the VDP's address is sprite 0's pattern
    // byte (#3F81, the second byte of the x / pattern pairs at #3F80).
    window.Pages()->setCurrentWidget(window.BreakpointView());
    TDebuggerBreakpointView& breakpoints = *window.BreakpointView();
    breakpoints.Kind()->setCurrentIndex(static_cast<int>(TBreakKind::PortWrite));
    breakpoints.First()->setText("BE");
    breakpoints.AddButton()->click();
    shoot("3-breakpoint.png");
    // The VDP's address register and access kind, as its register page lists them.
    auto vdpField = [&](const char* name) {
        for (const T_VDP_FIELD& field : form.SMS->Console->DescribeVdpRegisters())
            if (field.Register < 0 && field.Name == name) return field.Value;
        return std::string();
    };
    bool found = false;
    for (int hits = 0; hits < 5000 && !found; ++hits) {
        const uint64_t before = window.Debugger().StopCount();
        window.Run();
        if (!waitStop(before)) return Fail("the breakpoint is not hit");
        found = (std::stoul(vdpField("Address"), nullptr, 16) & 0x3FFF) == 0x3F81 && vdpField("Access") == "VRAM write";
    }
    if (!found) return Fail("no write to sprite 0's pattern byte");
    window.Pages()->setCurrentWidget(window.CpuView());
    window.Refresh();
    shoot("4-hit.png");
    // 4. The VDP's registers at the stop: the address register at #3F81.
    window.Pages()->setCurrentWidget(window.VdpView());
    window.VdpView()->Pages()->setCurrentIndex(4);
    window.Refresh();
    shoot("5-vdp-registers.png");
    // 5. One step: the OUT is done, sprite 0's pattern byte in VRAM is #D0.
    window.Pages()->setCurrentWidget(window.MemoryView());
    const uint64_t before = window.Debugger().StopCount();
    window.Step();
    if (!waitStop(before)) return Fail("the step does not stop");
    window.MemoryView()->Show(window.MemoryView()->Memories()->findText("VRAM (16 KB)"), 0x3F81);
    window.Refresh();
    shoot("6-vram.png");

    window.close();
    form.mSairClick();
    return 0;
}
