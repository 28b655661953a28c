// The desktop's display and keyboard on Qt (offscreen platform): the
// canvas's rectangles and opaque text, the surface loaded from a frame
// image, the picture's placement in the control, the status overlays drawn
// by the presentation step (checked in the surface's pixels), the key codes
// of Qt's key events and the dispatcher dropping its queued calls.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "ManualDispatcher.h"
#include "QtDisplay.h"
#include "QtInput.h"
#include "SMS.h"

namespace {

QRgb Rgb(int r, int g, int b) { return qRgb(r, g, b); }

struct QtDisplayTest : ::testing::Test {
    TDisplayControl control;
    TQtDisplay display{control};

    void SetUp() override { control.resize(512, 384); }
};

TEST_F(QtDisplayTest, RectanglesExcludeTheirRightAndBottomEdgesAndOutlineWithThePen) {
    ASSERT_EQ(display.Surface().size(), QSize(514, 389)) << "the surface before the first frame";
    TCanvas& canvas = display.Canvas();
    canvas.SetBrushColor({0, 255, 0});
    canvas.SetPenColor({255, 255, 255});
    canvas.Rectangle(10, 20, 30, 40);
    display.ReleaseCanvas();
    const QImage& s = display.Surface();
    EXPECT_EQ(s.pixel(10, 20), Rgb(255, 255, 255));
    EXPECT_EQ(s.pixel(29, 39), Rgb(255, 255, 255));
    EXPECT_EQ(s.pixel(30, 39), Rgb(0, 0, 0)) << "right edge exclusive";
    EXPECT_EQ(s.pixel(29, 40), Rgb(0, 0, 0)) << "bottom edge exclusive";
    EXPECT_EQ(s.pixel(11, 21), Rgb(0, 255, 0)) << "filled with the brush";
    EXPECT_EQ(s.pixel(28, 38), Rgb(0, 255, 0));
}

TEST_F(QtDisplayTest, TextIsOpaqueAndStartsAtItsCellsTopLeft) {
    TCanvas& canvas = display.Canvas();
    canvas.SetBrushColor({255, 0, 0});
    canvas.Rectangle(0, 0, 200, 60);
    canvas.SetFont("Courier New", 6, true);
    canvas.SetFontColor({255, 255, 0});
    canvas.SetBrushColor({0, 0, 0});
    canvas.TextOut(20, 20, "MMMM");
    display.ReleaseCanvas();
    const QImage& s = display.Surface();
    int yellow = 0, black = 0, red = 0, top = 100, left = 100;
    for (int y = 10; y < 40; ++y)
        for (int x = 10; x < 80; ++x) {
            const QRgb p = s.pixel(x, y);
            if (p == Rgb(255, 255, 0)) {
                ++yellow;
                top = std::min(top, y);
                left = std::min(left, x);
            }
            if (p == Rgb(0, 0, 0)) ++black;
            if (p == Rgb(255, 0, 0) && x >= 20 && y >= 20 && x < 38 && y < 28) ++red;
        }
    EXPECT_GT(yellow, 20) << "the glyphs are drawn";
    EXPECT_GT(black, 40) << "on an opaque cell";
    EXPECT_EQ(red, 0) << "the cell hides what was below";
    EXPECT_GE(top, 20);
    EXPECT_GE(left, 20);
    EXPECT_LE(top, 24) << "a 6-point font's cell starts at y, its glyphs just below";
}

TEST_F(QtDisplayTest, TheSurfaceTakesTheFrameImageAndKeepsItsPictureOnBadData) {
    TManualDispatcher dispatcher;
    TFakeTimers timers;
    TVirtualSoundBuffer sound;
    TSMS machine{dispatcher, timers, sound};
    machine.ClearCoresCreated();
    machine.InitMachine();
    machine.RunFrame();
    ASSERT_TRUE(display.LoadSurface(machine.FrameStream.Data, machine.FrameStream.Size));
    EXPECT_EQ(display.Surface().size(), QSize(256, 192));
    QImage byQt;
    ASSERT_TRUE(byQt.loadFromData(machine.FrameStream.Data, static_cast<int>(machine.FrameStream.Size), "BMP"));
    EXPECT_EQ(display.Surface(), byQt.convertToFormat(QImage::Format_RGB32)) << "the picture Qt's reader sees";
    const QImage before = display.Surface();
    const uint8_t junk[16] = {'B', 'M', 1, 2, 3};
    EXPECT_FALSE(display.LoadSurface(junk, sizeof junk));
    EXPECT_FALSE(display.LoadSurface(nullptr, 0));
    EXPECT_EQ(display.Surface(), before);
    display.Flip();
    EXPECT_EQ(control.Picture(), before);
    EXPECT_EQ(control.Flips(), 1u);

    // The next frames are written while the control still shows the last
    // one: the shown picture never changes under it.
    std::vector<uint8_t> image(machine.FrameStream.Data, machine.FrameStream.Data + machine.FrameStream.Size);
    for (int frame = 0; frame < 3; ++frame) {
        const QImage shown = control.Picture().copy();
        // A new blue in every palette entry: every pixel changes.
        for (size_t entry = 0; entry < 256; ++entry)
            image[CONSOLE_FRAME_PALETTE_OFFSET + 4 * entry] = static_cast<uint8_t>(40 + 50 * frame);
        ASSERT_TRUE(display.LoadSurface(image.data(), static_cast<uint32_t>(image.size())));
        EXPECT_EQ(control.Picture(), shown) << "frame " << frame;
        EXPECT_NE(display.Surface(), shown) << "frame " << frame << " brings its own picture";
        display.Flip();
        EXPECT_EQ(control.Picture(), display.Surface());
    }
    dispatcher.Close();
}

TEST_F(QtDisplayTest, WindowedStretchesAndFullScreenKeepsTheAspectOnBars) {
    control.ShowPicture(QImage(256, 192, QImage::Format_RGB32));
    control.resize(1920, 1080);
    EXPECT_EQ(control.PictureRect(), QRect(0, 0, 1920, 1080));
    control.SetKeepAspect(true);
    EXPECT_EQ(control.PictureRect(), QRect(240, 0, 1440, 1080));
    control.resize(800, 800);
    EXPECT_EQ(control.PictureRect(), QRect(0, 100, 800, 600));
}

// The Game Gear's frame image: 160 x 144, bottom row first, with its own
// palette. The surface takes its size, and kept in shape (full screen,
// "Keep aspect ratio") it fills its 10:9, at whole multiples with "Sharp
// scaling".
TEST_F(QtDisplayTest, TheGameGearsPictureKeepsItsShapeAndWholeMultiples) {
    constexpr int kWidth = 160, kHeight = 144;
    std::vector<uint8_t> image(CONSOLE_FRAME_PIXEL_OFFSET + kWidth * kHeight);
    auto put32 = [&](std::size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) image[at + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    image[0] = 'B';
    image[1] = 'M';
    put32(2, static_cast<uint32_t>(image.size()));
    put32(10, CONSOLE_FRAME_PIXEL_OFFSET);
    put32(14, 40);
    put32(18, kWidth);
    put32(22, kHeight);
    image[26] = 1;  // planes
    image[28] = 8;  // bits a pixel
    put32(46, 256);
    // Slot 1: a 12-bit colour's levels (17 x 15, 17 x 3, 17 x 10), blue first.
    put32(CONSOLE_FRAME_PALETTE_OFFSET + 4, 0x00FF33AA);
    // The top row (stored last) in slot 1, the rest in slot 0 (black).
    std::fill(image.end() - kWidth, image.end(), uint8_t{1});
    ASSERT_TRUE(display.LoadSurface(image.data(), static_cast<uint32_t>(image.size())));
    EXPECT_EQ(Console_FrameImageWidth(image.data()), 160u);
    EXPECT_EQ(Console_FrameImageHeight(image.data()), 144u);
    ASSERT_EQ(display.Surface().size(), QSize(kWidth, kHeight));
    EXPECT_EQ(display.Surface().pixel(0, 0), Rgb(0xFF, 0x33, 0xAA));
    EXPECT_EQ(display.Surface().pixel(159, 1), Rgb(0, 0, 0));
    display.Flip();

    const struct {
        QSize Control;
        bool Whole;
        QRect Want;
    } cases[] = {
        {{1920, 1080}, false, {360, 0, 1200, 1080}},  // 10:9 on bars
        {{1920, 1080}, true, {400, 36, 1120, 1008}},  // 7 x 160 x 144
        {{1366, 768}, true, {283, 24, 800, 720}},     // 5x
        {{100, 100}, true, {0, 5, 100, 90}},          // smaller than the picture: scaled down
    };
    control.SetKeepAspect(true);
    for (const auto& c : cases) {
        control.resize(c.Control);
        control.SetWholeMultiples(c.Whole);
        EXPECT_EQ(control.PictureRect(), c.Want) << c.Control.width() << " x " << c.Control.height();
    }
}

TEST_F(QtDisplayTest, ThePaintedPictureIsTheSurfaceScaledPixelForPixel) {
    QImage picture(256, 192, QImage::Format_RGB32);
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 256; ++x) picture.setPixel(x, y, qRgb(x, y, (x * 7 + y * 3) & 255));
    control.ShowPicture(picture);
    for (bool keep : {false, true}) {
        control.SetKeepAspect(keep);
        control.resize(1000, 600);
        const QImage painted = control.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect area = control.PictureRect();
        ASSERT_EQ(painted.size(), QSize(1000, 600));
        for (int sy = 0; sy < 192; sy += 7)
            for (int sx = 0; sx < 256; sx += 5) {
                // The middle of the area a source pixel covers.
                const int x = area.left() + (2 * sx + 1) * area.width() / 512;
                const int y = area.top() + (2 * sy + 1) * area.height() / 384;
                ASSERT_EQ(painted.pixel(x, y), picture.pixel(sx, sy)) << sx << "," << sy << " keep " << keep;
            }
        if (keep) {
            EXPECT_EQ(painted.pixel(5, 300), qRgb(0, 0, 0)) << "a black bar";
        }
    }
}

TEST(QtDisplayWindowTest, TheWindowsBackBufferGetsTheScaledPicture) {
    // In a real window, below a menu bar or at the window's corner as in
    // full screen, the picture is scaled straight into the back buffer.
    for (bool menuBar : {true, false}) {
        QMainWindow window;
        if (menuBar) {
            window.setMenuBar(new QMenuBar);
            window.menuBar()->addMenu("File");
        }
        auto* control = new TDisplayControl;
        window.setCentralWidget(control);
        window.resize(600, 500);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QImage picture(256, 192, QImage::Format_RGB32);
        for (int y = 0; y < 192; ++y)
            for (int x = 0; x < 256; ++x) picture.setPixel(x, y, qRgb(x, y, 200));
        const uint64_t directBefore = control->DirectPaints();
        control->ShowPicture(picture);
        EXPECT_GT(control->DirectPaints(), directBefore) << "menu bar " << menuBar;
        const QImage shot =
            window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
        const QPoint origin = control->mapTo(&window, QPoint(0, 0));
        ASSERT_EQ(origin.y() > 0, menuBar) << "the control sits below the menu bar, or at the corner";
        for (int sy = 0; sy < 192; sy += 13)
            for (int sx = 0; sx < 256; sx += 11) {
                const int x = origin.x() + (2 * sx + 1) * control->width() / 512;
                const int y = origin.y() + (2 * sy + 1) * control->height() / 384;
                ASSERT_EQ(shot.pixel(x, y), picture.pixel(sx, sy)) << sx << "," << sy << " menu bar " << menuBar;
            }
    }
}

// A control that counts its paints and keeps the picture of the last one.
class TCountingControl final : public TDisplayControl {
public:
    int Paints = 0;
    QImage LastPainted;

protected:
    void paintEvent(QPaintEvent* event) override {
        TDisplayControl::paintEvent(event);
        ++Paints;
        LastPainted = Picture();
    }
};

// A clock of 1000 ticks a frame whose every wait notes what the control had
// painted by then.
struct TWaitWatch final : TTimers {
    explicit TWaitWatch(const TCountingControl& control) : Control(control) {}
    void timeBeginPeriod(uint32_t) override {}
    void timeEndPeriod(uint32_t) override {}
    uint32_t timeGetTime() override { return static_cast<uint32_t>(Ticks / 60); }
    int64_t QueryPerformanceCounter() override { return Ticks; }
    int64_t QueryPerformanceFrequency() override { return 60000; }
    void Sleep(uint32_t) override {
        Waits.push_back({Control.Paints, Control.LastPainted == Control.Picture()});
        Ticks += 100;
    }
    const TCountingControl& Control;
    int64_t Ticks = 1;
    struct TWait {
        int Paints;
        bool LatestPicture;
    };
    std::vector<TWait> Waits;
};

TEST(QtDisplayFlipTest, EachFrameIsPaintedBeforeThePacingWaitBegins) {
    TCountingControl control;
    control.resize(512, 384);
    control.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&control));
    TQtDisplay display(control);
    TManualDispatcher dispatcher;
    TWaitWatch timers(control);
    TVirtualSoundBuffer sound;
    TSMS machine{dispatcher, timers, sound};
    machine.ClearCoresCreated();
    machine.InitMachine();
    machine.Display = &display;
    machine.PerfFrequency = 60000;
    const int paintsBefore = control.Paints;

    // Flip itself paints: no event loop runs in between.
    display.Flip();
    EXPECT_EQ(control.Paints, paintsBefore + 1);

    // Three frames, the last two with the overlay and so a new picture:
    // the wait of each frame starts with that frame on the screen.
    machine.RunFrame();
    machine.PresentFrame();  // the first frame does not wait
    for (int frame = 0; frame < 2; ++frame) {
        machine.SetVdpOverlay(1);
        machine.MeasuredFps = 60 + frame;
        machine.RunFrame();
        timers.Waits.clear();
        machine.PresentFrame();
        ASSERT_FALSE(timers.Waits.empty()) << "frame " << frame << " waits";
        EXPECT_EQ(timers.Waits.front().Paints, paintsBefore + 3 + frame) << "frame " << frame;
        EXPECT_TRUE(timers.Waits.front().LatestPicture) << "frame " << frame << " painted its own picture";
    }
    dispatcher.Close();
}

TEST_F(QtDisplayTest, ARefusedFullScreenIsReportedAndStaysWindowed) {
    display.RefuseFullScreen = true;
    display.SetFullScreenOption(true);
    EXPECT_THROW(display.Initialize(), std::runtime_error);
    EXPECT_FALSE(display.FullScreenOption());
    EXPECT_FALSE(control.KeepAspect());
    EXPECT_FALSE(control.window()->isFullScreen());
}

struct OverlayTest : ::testing::Test {
    TManualDispatcher dispatcher;
    TFakeTimers timers;
    TVirtualSoundBuffer sound;
    TSMS machine{dispatcher, timers, sound};
    TDisplayControl control;
    TQtDisplay display{control};

    void SetUp() override {
        machine.ClearCoresCreated();
        machine.InitMachine();
        machine.Display = &display;
        machine.RunFrame();
    }
    void TearDown() override { dispatcher.Close(); }
    const QImage& Surface() { return display.Surface(); }
    // Rows of the meter's column x = 112 that are green, inside [top, bottom).
    int GreenRows(int top, int bottom) {
        int rows = 0;
        for (int y = top; y < bottom; ++y) rows += Surface().pixel(112, y) == Rgb(0, 255, 0);
        return rows;
    }
};

// The Game Gear's picture is 48 lines shorter: the message's box rises with
// its foot (it stands at lines 172-185 of the others' 192).
TEST_F(OverlayTest, OnTheGameGearsPictureTheMessageRisesWithItsFoot) {
    machine.ConsoleSettings.Model = TConsoleModel::GameGear;
    machine.InitMachine();
    machine.RunFrame();
    ASSERT_EQ(machine.Console->PictureHeight(), 144u);
    machine.ShowMessage("Game Gear");
    machine.PresentFrame();
    ASSERT_EQ(Surface().size(), QSize(160, 144));
    // 9 characters: the box is 51 pixels wide from x = 8, its outline on
    // its own border pixels.
    EXPECT_EQ(Surface().pixel(8, 124), Rgb(255, 255, 255)) << "top left";
    EXPECT_EQ(Surface().pixel(58, 137), Rgb(255, 255, 255)) << "bottom right";

    // A text too long for the 160 pixels takes two lines, broken at a space,
    // its box growing upwards; the pause note stands above it, also on two.
    machine.ShowMessage("Takes effect at the next Console Reset");
    machine.PauseNote = "Paused - click or Ctrl+P to resume";
    machine.Stopped = 1;  // a stopped machine that can resume shows the note
    machine.Ready = 1;
    machine.RepaintPicture();
    // The message: "Takes effect at the next" (24 characters, 126 pixels)
    // over "Console Reset", from line 114 to 137.
    EXPECT_EQ(Surface().pixel(8, 114), Rgb(255, 255, 255)) << "the message's top left";
    EXPECT_EQ(Surface().pixel(133, 137), Rgb(255, 255, 255)) << "the message's bottom right";
    EXPECT_NE(Surface().pixel(140, 137), Rgb(255, 255, 255)) << "nothing past its longest line";
    // The note: "Paused - click or Ctrl+P" over "to resume", lines 89 to 112.
    EXPECT_EQ(Surface().pixel(8, 112), Rgb(255, 255, 255)) << "the note's bottom left";
    EXPECT_EQ(Surface().pixel(8, 89), Rgb(255, 255, 255)) << "the note's top left";
    for (int y = 89; y <= 137; ++y) EXPECT_NE(Surface().pixel(159, y), Rgb(255, 255, 255)) << "within the picture, line " << y;
}

TEST_F(OverlayTest, PsgStatusBoxAndItsMetersFollowTheAttenuations) {
    machine.SetPsgOverlay(1);
    // Attenuations: tone 1 at 0, tone 2 at 5, tone 3 at 15, noise at 9.
    for (uint8_t value : {0x90, 0xB5, 0xDF, 0xF9}) machine.Console->WritePort(0x7F, value);
    machine.PresentFrame();
    EXPECT_EQ(Surface().size(), QSize(256, 192));
    EXPECT_EQ(Surface().pixel(10, 47), Rgb(255, 255, 255)) << "box corner";
    EXPECT_EQ(Surface().pixel(124, 154), Rgb(255, 255, 255)) << "box's last pixel";
    EXPECT_EQ(Surface().pixel(60, 154), Rgb(255, 255, 255)) << "bottom edge";
    EXPECT_NE(Surface().pixel(125, 155), Rgb(255, 255, 255)) << "outside the box";
    EXPECT_EQ(Surface().pixel(11, 48), Rgb(0, 0, 0)) << "black inside";
    // Each meter: 16 rows, the outline on its first and last; the bar starts
    // `attenuation` rows down and its own outline is white too.
    EXPECT_EQ(GreenRows(62, 78), 14);
    EXPECT_EQ(GreenRows(82, 98), 14 - 5);
    EXPECT_EQ(GreenRows(102, 118), 0) << "attenuation 15 leaves a one-row bar: outline only";
    EXPECT_EQ(Surface().pixel(112, 117), Rgb(255, 255, 255));
    EXPECT_EQ(GreenRows(122, 138), 14 - 9);
    // The yellow heading.
    int yellow = 0;
    for (int y = 50; y < 60; ++y)
        for (int x = 13; x < 124; ++x) yellow += Surface().pixel(x, y) == Rgb(255, 255, 0);
    EXPECT_GT(yellow, 30);
}

TEST_F(OverlayTest, VdpStatusBoxSitsBesideThePsgBox) {
    machine.SetVdpOverlay(1);
    machine.PresentFrame();
    EXPECT_EQ(Surface().pixel(150, 47), Rgb(255, 255, 255));
    EXPECT_EQ(Surface().pixel(249, 144), Rgb(255, 255, 255));
    EXPECT_NE(Surface().pixel(250, 145), Rgb(255, 255, 255));
    EXPECT_NE(Surface().pixel(10, 47), Rgb(255, 255, 255)) << "the PSG box is hidden";
    int white = 0;
    for (int y = 130; y < 140; ++y)
        for (int x = 153; x < 248; ++x) white += Surface().pixel(x, y) == Rgb(255, 255, 255);
    EXPECT_GT(white, 30) << "the frames-per-second line";
}

// The note of a paused game: drawn by a stopped machine's repaint while it
// can resume (and has a note to draw), never by a running frame.
TEST_F(OverlayTest, ThePauseNoteIsOnAStoppedReadyMachinesPictureOnly) {
    machine.PauseNote = "Paused - click or Ctrl+P to resume";
    machine.Ready = 1;
    machine.PresentFrame();
    const QImage game = Surface().copy();
    struct TCase {
        uint8_t Stopped;
        uint8_t Ready;
        const char* Note;
        bool Drawn;
    };
    const TCase cases[] = {
        {1, 1, "Paused - click or Ctrl+P to resume", true},
        {1, 0, "Paused - click or Ctrl+P to resume", false},
        {1, 1, "", false},
        {0, 1, "Paused - click or Ctrl+P to resume", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.Stopped) << int(c.Ready) << c.Note);
        machine.Stopped = c.Stopped;
        machine.Ready = c.Ready;
        machine.PauseNote = c.Note;
        if (c.Stopped == 1)
            machine.RepaintPicture();
        else
            machine.PresentFrame();
        // 34 characters, 6 + 5 pixels each: the box ends at x = 183.
        EXPECT_EQ(Surface().pixel(8, 157) == Rgb(255, 255, 255), c.Drawn);
        EXPECT_EQ(Surface().pixel(183, 170) == Rgb(255, 255, 255), c.Drawn);
        int white = 0;
        for (int y = 159; y < 169; ++y)
            for (int x = 11; x < 180; ++x) white += Surface().pixel(x, y) == Rgb(255, 255, 255);
        EXPECT_EQ(white > 100, c.Drawn) << white;
        if (!c.Drawn) {
            EXPECT_EQ(Surface(), game);
        }
    }
    machine.Stopped = 0;
}

TEST(QtKeyboardTest, KeyEventsMapToTheBindingsCodes) {
    struct TCase {
        int Key;
        Qt::KeyboardModifiers Modifiers;
        TKeyCode Code;
    };
    const TCase cases[] = {
        {Qt::Key_Up, Qt::NoModifier, VK::Up},          {Qt::Key_Down, Qt::NoModifier, VK::Down},
        {Qt::Key_Left, Qt::NoModifier, VK::Left},      {Qt::Key_Right, Qt::NoModifier, VK::Right},
        {Qt::Key_Return, Qt::NoModifier, VK::Return},  {Qt::Key_Enter, Qt::KeypadModifier, VK::Return},
        {Qt::Key_X, Qt::NoModifier, 'X'},              {Qt::Key_W, Qt::ShiftModifier, 'W'},
        {Qt::Key_8, Qt::KeypadModifier, 0x68},         {Qt::Key_8, Qt::NoModifier, '8'},
        {Qt::Key_F1, Qt::NoModifier, 0x70},            {Qt::Key_Eacute, Qt::NoModifier, 0},
        // A key's shifted character is the same key, so a press without
        // Shift is let go by a release with it; the keypad's own keys differ.
        {Qt::Key_Minus, Qt::NoModifier, 0xBD},         {Qt::Key_Underscore, Qt::ShiftModifier, 0xBD},
        {Qt::Key_Minus, Qt::KeypadModifier, 0x6D},     {Qt::Key_Asterisk, Qt::ShiftModifier, '8'},
        {Qt::Key_BraceLeft, Qt::ShiftModifier, 0xDB},  {Qt::Key_Delete, Qt::NoModifier, 0x2E},
        {Qt::Key_Pause, Qt::NoModifier, 0x13},
    };
    for (const TCase& c : cases) {
        QKeyEvent event(QEvent::KeyPress, c.Key, c.Modifiers);
        EXPECT_EQ(TQtKeyboard::KeyCodeOf(event), c.Code) << "Qt key " << c.Key;
    }
}

TEST(QtKeyboardTest, KeysOfTheWindowAreHeldUntilReleasedOrTheFocusGoes) {
    QMainWindow window;
    auto* control = new TDisplayControl(&window);
    window.setCentralWidget(control);
    TQtKeyboard keyboard(&window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    control->setFocus();
    QTest::keyPress(control, Qt::Key_Up);
    EXPECT_TRUE(keyboard.KeyDown(VK::Up));
    EXPECT_TRUE(keyboard.Foreground());
    QTest::keyRelease(control, Qt::Key_Up);
    EXPECT_FALSE(keyboard.KeyDown(VK::Up));
    QTest::keyPress(control, Qt::Key_X);
    EXPECT_TRUE(keyboard.KeyDown('X'));
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(&window, &deactivate);
    EXPECT_FALSE(keyboard.KeyDown('X')) << "nothing sticks when the window loses the focus";
}

TEST(QtDispatcherTest, PostsRunLaterInOrderAndDroppedOnesNever) {
    TQtDispatcher dispatcher;
    std::vector<int> ran;
    static std::vector<int>* log = nullptr;
    log = &ran;
    auto one = [](void*) { log->push_back(1); };
    auto two = [](void*) { log->push_back(2); };
    dispatcher.Post(one, nullptr);
    dispatcher.Post(two, nullptr);
    EXPECT_TRUE(ran.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
    dispatcher.Post(one, nullptr);
    dispatcher.Drop();
    dispatcher.Post(two, nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 2}));
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
