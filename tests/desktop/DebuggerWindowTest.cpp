// The debugger window driven headless: opened from "Tools" > "Debugger",
// stopping and stepping the machine, a breakpoint hit and where it is shown,
// edits while stopped (and none while running), "Go to address" by the CPU's
// addresses, the tile view's pixels for a tile written into VRAM, the running
// machine's refresh, and where the window opens beside the main one.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "DebuggerBreakpointView.h"
#include "DebuggerChipViews.h"
#include "DebuggerCpuView.h"
#include "DebuggerMemoryView.h"
#include "DebuggerWindow.h"
#include "MainForm.h"
#include "FormRig.h"
#include "WaitFor.h"
#include "Z80Disasm.h"

namespace {

QString Rom(const char* name) { return QString(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms"; }

class DebuggerWindowTest : public ::testing::Test, protected TFormRig {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path() + "/config");
        CreateForm(dir_.path());
    }
    void TearDown() override { form.reset(); }

    uint16_t Pc() { return Machine().Console->Registers().PC; }
    // The CPU-bound cartridge runs unpaced; the window is opened from the menu.
    TDebuggerWindow& Open() {
        EXPECT_TRUE(form->OpenRomFile(Rom("bench_cpu")));
        Machine().TargetFps = 0;
        EXPECT_TRUE(RunFrames(30));
        emit form->Menu("mFerramentas")->aboutToShow();
        form->Item("mDepurador")->trigger();
        EXPECT_NE(form->DebuggerWindow(), nullptr);
        return *form->DebuggerWindow();
    }
    // Waits for the debugger's stop to reach the window.
    bool WaitStopped(TDebuggerWindow& window, uint64_t stopsBefore) {
        return WaitFor([&] { return window.Debugger().StopCount() > stopsBefore && window.Debugger().Stopped(); }) &&
               WaitFor([&] { return window.Status()->text().startsWith("Stopped at"); });
    }
    // Runs the machine, stops it from the window and waits for the stop.
    bool RunAndStop(TDebuggerWindow& window) {
        window.Run();
        if (!RunFrames(3)) return false;
        const uint64_t stops = window.Debugger().StopCount();
        window.Command("Stop")->trigger();
        return WaitStopped(window, stops);
    }
    int SelectedListingAddress(TDebuggerWindow& window) {
        const QList<QTableWidgetItem*> selected = window.CpuView()->Listing()->selectedItems();
        return selected.isEmpty() ? -1 : selected.front()->text().toInt(nullptr, 16);
    }

    QTemporaryDir dir_;
};

}  // namespace

// The menu stops the machine as every top-level menu does; the window stands
// on its own beside the main one, and opening it again shows the same window.
// Closing it lets go of the machine: no hook is left in the run loop and the
// game goes on.
TEST_F(DebuggerWindowTest, OpensFromToolsMenuAsItsOwnWindowAndClosingChangesNothing) {
    TDebuggerWindow& window = Open();
    EXPECT_EQ(Machine().Stopped, 1);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isWindow());
    EXPECT_EQ(window.parentWidget(), form.get());
    EXPECT_EQ(window.windowTitle(), "Tiravel Debugger");
    EXPECT_TRUE(window.Command("Run")->isEnabled());
    EXPECT_FALSE(window.Command("Stop")->isEnabled());
    const QStringList pages = {"CPU", "Breakpoints", "Memory", "VDP", "Sound"};
    ASSERT_EQ(window.Pages()->count(), pages.size());
    for (int i = 0; i < pages.size(); ++i) EXPECT_EQ(window.Pages()->tabText(i), pages[i]);
    // The registers shown are the stopped machine's.
    EXPECT_EQ(window.CpuView()->Field("PC")->text().toInt(nullptr, 16), Pc());
    EXPECT_EQ(SelectedListingAddress(window), Pc());

    ASSERT_TRUE(window.BreakpointView()->Add(TBreakKind::MemoryWrite, "C000", "C001", ""));
    window.close();
    EXPECT_FALSE(window.isVisible());
    // Released: no breakpoint and no hook left (Release takes both out).
    EXPECT_TRUE(window.Debugger().Breakpoints().empty());
    QTest::mouseClick(form->DXDraw1, Qt::LeftButton);
    EXPECT_TRUE(RunFrames(20)) << "the game runs on without its breakpoint";

    form->Item("mDepurador")->trigger();
    EXPECT_EQ(form->DebuggerWindow(), &window);
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(window.Debugger().Breakpoints().size(), 1u) << "the breakpoints come back with the window";
    EXPECT_EQ(window.Debugger().Breakpoints()[0].Kind, TBreakKind::MemoryWrite);
}

// Stop, then Step: PC moves on by the instruction's length (an instruction
// that goes on to the next is chosen; a step that took the frame interrupt
// first lands on its handler and is tried again), and the listing follows.
TEST_F(DebuggerWindowTest, StopThenStepAdvancesPcByTheInstructionsLength) {
    TDebuggerWindow& window = Open();
    ASSERT_TRUE(RunAndStop(window));
    EXPECT_FALSE(window.Command("Stop")->isEnabled());
    EXPECT_TRUE(window.Command("Step")->isEnabled());
    for (int steps = 0; steps < 50; ++steps) {
        T_Z80_INSTRUCTION instruction{};
        const uint16_t pc = Pc();
        Machine().Console->Disassemble(pc, instruction);
        const uint64_t stops = window.Debugger().StopCount();
        window.Command("Step")->trigger();
        ASSERT_TRUE(WaitStopped(window, stops));
        if (instruction.Flow != TZ80Flow::Next || (Pc() == 0x0038 && pc != 0x0037)) continue;
        EXPECT_EQ(Pc(), static_cast<uint16_t>(pc + instruction.Length)) << instruction.Text;
        EXPECT_EQ(window.CpuView()->Field("PC")->text().toInt(nullptr, 16), Pc());
        EXPECT_EQ(SelectedListingAddress(window), Pc());
        EXPECT_EQ(window.Debugger().LastStop().Reason, TStopReason::Step);
        return;
    }
    FAIL() << "no plain instruction in 50 steps";
}

// A memory write breakpoint on the loop's pass counter stops the machine
// before the store: the status says why, the listing selects PC, the list
// marks the breakpoint; and the window comes up on the CPU page.
TEST_F(DebuggerWindowTest, BreakpointHitIsShownWhereAndWhy) {
    TDebuggerWindow& window = Open();
    window.Pages()->setCurrentWidget(window.BreakpointView());
    TDebuggerBreakpointView& view = *window.BreakpointView();
    view.Kind()->setCurrentIndex(static_cast<int>(TBreakKind::MemoryWrite));
    view.First()->setText("#C000");
    view.Last()->setText("C001");
    view.AddButton()->click();
    ASSERT_EQ(view.List()->rowCount(), 1);
    EXPECT_EQ(view.List()->item(0, 1)->text(), "Memory write to #C000-#C001");

    const uint64_t stops = window.Debugger().StopCount();
    window.Run();
    ASSERT_TRUE(WaitStopped(window, stops));
    const TDebugStop stop = window.Debugger().LastStop();
    EXPECT_EQ(stop.Reason, TStopReason::Breakpoint);
    EXPECT_EQ(Pc(), stop.PC);
    EXPECT_TRUE(window.Status()->text().contains("breakpoint: Memory write to #C000-#C001"))
        << window.Status()->text().toStdString();
    EXPECT_EQ(window.Pages()->currentWidget(), window.CpuView());
    EXPECT_EQ(SelectedListingAddress(window), stop.PC);
    EXPECT_TRUE(view.List()->item(0, 1)->text().endsWith("<- hit"));

    // A field that is wrong is refused with the reason.
    QString error;
    EXPECT_FALSE(view.Add(TBreakKind::PortWrite, "1BE", "", "", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(view.Add(TBreakKind::MemoryRead, "C010", "C000", "", &error));
    EXPECT_FALSE(view.Add(TBreakKind::Execute, "0100", "", "64", &error));
    EXPECT_EQ(window.Debugger().Breakpoints().size(), 1u);

    // A click on the picture goes on from the stop, as the debugger's Run.
    view.List()->selectRow(0);
    view.RemoveButton()->click();
    QTest::mouseClick(form->DXDraw1, Qt::LeftButton);
    EXPECT_FALSE(window.Debugger().Stopped());
    EXPECT_TRUE(RunFrames(5));
}

// Registers and memory take edits while the machine is stopped, and none
// while it runs.
TEST_F(DebuggerWindowTest, EditsGoIntoTheStoppedMachineOnly) {
    TDebuggerWindow& window = Open();
    ASSERT_TRUE(RunAndStop(window));
    QLineEdit* hl = window.CpuView()->Field("HL'");
    ASSERT_FALSE(hl->isReadOnly());
    hl->setText("BEEF");
    emit hl->editingFinished();
    EXPECT_EQ(Machine().Console->Registers().AltH, 0xBE);
    EXPECT_EQ(Machine().Console->Registers().AltL, 0xEF);
    window.CpuView()->Flag("C")->setChecked(!(Machine().Console->Registers().F & 1));
    EXPECT_EQ(window.CpuView()->Flag("C")->isChecked(), (Machine().Console->Registers().F & 1) != 0);

    window.Pages()->setCurrentWidget(window.MemoryView());
    THexModel& memory = window.MemoryView()->Model();
    window.MemoryView()->Show(0, 0x1F0);  // system RAM
    ASSERT_TRUE(memory.setData(memory.index(0x1F, 3), "5a", Qt::EditRole));
    EXPECT_EQ(Machine().Console->Peek(TMemoryRegion::SystemRam, 0x1F3), 0x5A);
    EXPECT_EQ(memory.data(memory.index(0x1F, 3), Qt::DisplayRole).toString(), "5A");
    EXPECT_FALSE(memory.setData(memory.index(0x1F, 3), "1FF", Qt::EditRole)) << "not a byte";

    window.Run();
    ASSERT_TRUE(RunFrames(2));
    EXPECT_FALSE(memory.setData(memory.index(0x1F, 4), "77", Qt::EditRole));
    EXPECT_FALSE(memory.flags(memory.index(0x1F, 4)) & Qt::ItemIsEditable);
    window.Pages()->setCurrentWidget(window.CpuView());
    EXPECT_TRUE(WaitFor([&] { return window.CpuView()->Field("PC")->isReadOnly(); }));
}

// "Go to address" with the address the label and the rows show: system RAM's
// C100 is its row #10, selected and at the top; an address outside it is
// refused with the reason on the status line, and the table stays.
TEST_F(DebuggerWindowTest, GoToAddressTakesTheCpusAddresses) {
    TDebuggerWindow& window = Open();
    ASSERT_TRUE(RunAndStop(window));
    window.Pages()->setCurrentWidget(window.MemoryView());
    TDebuggerMemoryView& view = *window.MemoryView();
    QTableView& table = *view.Table();
    const THexModel& model = view.Model();
    const struct {
        const char* Memory;
        const char* Typed;
        int Row, Column;
        const char* Shown;  // the row's number, or the status's start for a refusal
    } cases[] = {
        {"System RAM (#C000-#DFFF)", "C100", 0x10, 0, "C100"},
        {"System RAM (#C000-#DFFF)", "#dff7", 0x1FF, 7, "DFF0"},
        {"System RAM (#C000-#DFFF)", "1234", 0x1FF, 7, "#1234 is outside the memory shown"},
        {"Cartridge RAM (2 x 16 KB at #8000-#BFFF)", "1:8000", 0x400, 0, "1:8000"},
        {"CPU address space (the banks mapped now)", "$C100", 0xC10, 0, "C100"},
        {"VRAM (16 KB)", "3F81", 0x3F8, 1, "3F80"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Memory) + ": " + c.Typed);
        const int index = view.Memories()->findText(c.Memory);
        ASSERT_GE(index, 0);
        if (view.Memories()->currentIndex() != index) view.Memories()->setCurrentIndex(index);
        view.Address()->clear();
        QTest::keyClicks(view.Address(), c.Typed);
        QTest::keyClick(view.Address(), Qt::Key_Return);
        EXPECT_EQ(table.currentIndex().row(), c.Row);
        EXPECT_EQ(table.currentIndex().column(), c.Column);
        if (c.Shown[0] == '#') {
            EXPECT_TRUE(window.Status()->text().startsWith(c.Shown)) << window.Status()->text().toStdString();
            continue;
        }
        // At the top, unless it is among the last rows.
        EXPECT_EQ(table.rowAt(0), std::min(c.Row, model.rowCount() - (table.rowAt(table.viewport()->height() - 1) -
                                                                       table.rowAt(0) + 1)));
        EXPECT_EQ(model.headerData(c.Row, Qt::Vertical, Qt::DisplayRole).toString(), c.Shown);
    }
}

// The window opens beside the main one: to its right where the screen has
// room, narrower if it must; to its left where the right has none. Moved by
// the developer, it opens again where it was left, unless that place is over
// the main window. (The offscreen screen is 800 pixels wide: the main window
// is made narrow to leave room for the debugger's smallest size.)
TEST_F(DebuggerWindowTest, OpensBesideTheMainWindow) {
    form->show();
    const QRect screen = form->screen()->availableGeometry();
    form->resize(260, 240);
    form->move(screen.topLeft() + QPoint(0, 30));
    form->Item("mDepurador")->trigger();
    TDebuggerWindow& window = *form->DebuggerWindow();
    auto beside = [&](bool right) {
        const QRect main = form->frameGeometry(), debugger = window.frameGeometry();
        EXPECT_TRUE(screen.contains(debugger));
        EXPECT_FALSE(debugger.intersects(main));
        EXPECT_EQ(debugger.top(), main.top());
        if (right) EXPECT_EQ(debugger.left(), main.right() + 1);
        else EXPECT_EQ(debugger.right(), main.left() - 1);
    };
    {
        SCOPED_TRACE("on the right");
        beside(true);
    }
    window.close();
    form->move(screen.right() - form->frameGeometry().width() + 1, screen.top() + 30);
    window.move(form->frameGeometry().topLeft());
    form->Item("mDepurador")->trigger();
    {
        SCOPED_TRACE("on the left: it was left over the main window");
        beside(false);
    }
    window.close();
    window.move(screen.left(), screen.top() + 100);
    form->Item("mDepurador")->trigger();
    EXPECT_EQ(window.frameGeometry().topLeft(), screen.topLeft() + QPoint(0, 100)) << "where the developer left it";
}

// A tile written into VRAM and two colours into CRAM while stopped: the tile
// sheet shows the tile's pixels at its place (tile 33: column 1, row 2), in
// the palette chosen.
TEST_F(DebuggerWindowTest, TileViewDrawsAKnownTileInTheChosenPalette) {
    TDebuggerWindow& window = Open();
    window.Pages()->setCurrentWidget(window.MemoryView());
    THexModel& memory = window.MemoryView()->Model();
    const int vram = window.MemoryView()->Memories()->findText("VRAM (16 KB)");
    const int cram = window.MemoryView()->Memories()->findText("CRAM (32 colours)");
    ASSERT_GE(vram, 0);
    ASSERT_GE(cram, 0);
    // Tile 33, 32 bytes at 33 x 32: each row's four bit planes; row y has
    // bit plane 0 = 0xF0 (left half colour 1), the rest 0: colour 1 on the
    // left, colour 0 on the right. Row 7 is all colour 15.
    window.MemoryView()->Show(vram, 33 * 32);
    for (int row = 0; row < 8; ++row)
        for (int plane = 0; plane < 4; ++plane) {
            const int offset = 33 * 32 + row * 4 + plane;
            const char* byte = row == 7 ? "FF" : plane == 0 ? "F0" : "00";
            ASSERT_TRUE(memory.setData(memory.index(offset / 16, offset % 16), byte, Qt::EditRole));
        }
    window.MemoryView()->Show(cram, 0);
    const struct {
        int Entry;
        const char* Value;
    } colours[] = {{0, "00"}, {1, "03"}, {15, "30"}, {16, "3F"}, {17, "0C"}, {31, "3C"}};
    for (const auto& colour : colours)
        ASSERT_TRUE(memory.setData(memory.index(colour.Entry / 16, colour.Entry % 16), colour.Value, Qt::EditRole));

    window.Pages()->setCurrentWidget(window.VdpView());
    const QImage& tiles = window.VdpView()->Tiles();
    ASSERT_EQ(tiles.size(), QSize(128, 256));
    const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255), black = qRgb(0, 0, 0);
    const QRgb white = qRgb(255, 255, 255), green = qRgb(0, 255, 0), cyan = qRgb(0, 255, 255);
    const int left = 8, top = 16;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const QRgb want = y == 7 ? blue : x < 4 ? red : black;
            ASSERT_EQ(window.VdpView()->Tiles().pixel(left + x, top + y) & 0xFFFFFF, want & 0xFFFFFF)
                << "background palette, pixel " << x << "," << y;
        }
    window.VdpView()->TilePalette()->setCurrentIndex(1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const QRgb want = y == 7 ? cyan : x < 4 ? green : white;
            ASSERT_EQ(window.VdpView()->Tiles().pixel(left + x, top + y) & 0xFFFFFF, want & 0xFFFFFF)
                << "sprite palette, pixel " << x << "," << y;
        }
}

// With the window open on a running machine, the pages are refreshed from
// copies taken in the hand-over, and the game runs on.
TEST_F(DebuggerWindowTest, RunningMachineIsRefreshedFromTheHandOver) {
    TDebuggerWindow& window = Open();
    window.Pages()->setCurrentWidget(window.SoundView());
    window.Run();
    const uint64_t copies = window.Copies();
    ASSERT_TRUE(RunFrames(60));
    EXPECT_TRUE(WaitFor([&] { return window.Copies() >= copies + 2; }));
    EXPECT_FALSE(window.Debugger().Stopped());
    EXPECT_EQ(window.SoundView()->Channels()->item(0, 0)->text(), "Tone 1");
    EXPECT_TRUE(window.Command("Stop")->isEnabled());
}

// The tool bar's keys act in the debugger window; F5 there runs the machine
// rather than saving a state, which is F5 in the main window.
TEST_F(DebuggerWindowTest, KeysActInTheDebuggerWindowOnly) {
    TDebuggerWindow& window = Open();
    ASSERT_TRUE(RunAndStop(window));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const uint64_t stops = window.Debugger().StopCount();
    QTest::keyClick(&window, Qt::Key_F11);
    ASSERT_TRUE(WaitStopped(window, stops));
    EXPECT_EQ(window.Debugger().LastStop().Reason, TStopReason::Step);
    QTest::keyClick(&window, Qt::Key_F5);
    EXPECT_FALSE(window.Debugger().Stopped());
    EXPECT_TRUE(RunFrames(5));
    EXPECT_FALSE(QFileInfo::exists(form->StateFile(1))) << "F5 saved a state";
}

// A breakpoint set before any game has started holds once one runs.
TEST_F(DebuggerWindowTest, BreakpointSetBeforeTheFirstGameHolds) {
    form->Item("mDepurador")->trigger();
    TDebuggerWindow& window = *form->DebuggerWindow();
    EXPECT_FALSE(window.Command("Run")->isEnabled());
    EXPECT_EQ(window.Status()->text(), "Nothing runs yet: start a game or the BIOS first.");
    ASSERT_TRUE(window.BreakpointView()->Add(TBreakKind::MemoryWrite, "C000", "C001", ""));
    const uint64_t stops = window.Debugger().StopCount();
    ASSERT_TRUE(form->OpenRomFile(Rom("bench_cpu")));
    ASSERT_TRUE(WaitStopped(window, stops));
    EXPECT_EQ(window.Debugger().LastStop().Reason, TStopReason::Breakpoint);
}
