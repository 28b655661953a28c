// The debugger's pages on a console set up by hand: the breakpoint row's fields
// for every kind, the hex table's shape, the memories' numbering and the
// addresses "Go to address" takes, the sprite page's per-line limit, the
// name table's scroll window (and the Game Gear's screen in it), the Game
// Gear's 12-bit palette, the sound page's figures, the hex numbers the
// developer types, and where the window goes beside the main one.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QLabel>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <initializer_list>
#include <memory>

#include "DebuggerBreakpointView.h"
#include "DebuggerChipViews.h"
#include "DebuggerMemoryView.h"
#include "DebuggerText.h"
#include "DebuggerWindow.h"
#include "MainForm.h"

namespace {

TEST(DebuggerTextTest, HexNumbersInTheWaysDevelopersWriteThem) {
    const struct {
        const char* Text;
        uint32_t Max;
        std::optional<uint32_t> Want;
    } cases[] = {
        {"1A2B", 0xFFFF, 0x1A2B}, {"0x1a2b", 0xFFFF, 0x1A2B}, {"#1A2B", 0xFFFF, 0x1A2B}, {"$1a2b", 0xFFFF, 0x1A2B},
        {"1A2Bh", 0xFFFF, 0x1A2B}, {"  be ", 0xFF, 0xBE},     {"FFFF", 0xFFFF, 0xFFFF},  {"10000", 0xFFFF, {}},
        {"1BE", 0xFF, {}},          {"", 0xFFFF, {}},          {"#", 0xFFFF, {}},        {"G1", 0xFFFF, {}},
        {"-1", 0xFFFF, {}},         {"123456789", ~0u, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseHex(c.Text, c.Max), c.Want) << c.Text;
    EXPECT_EQ(Hex(0x3F, 4), "003F");
}

class DebuggerViewsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path() + "/config");
        form_ = std::make_unique<TMainForm>();
        form_->ExecutableDirectory = dir_.path();
        form_->QuitApplication = [] {};
    }
    // Colour memory written as a program writes it: the address with code 3
    // through the control port, then the bytes through the data port (on the
    // Game Gear an even address's byte waits in the latch for the odd one).
    void WriteCram(uint8_t address, std::initializer_list<uint8_t> bytes) {
        console_.WritePort(0xBF, address);
        console_.WritePort(0xBF, 0xC0);
        for (uint8_t value : bytes) console_.WritePort(0xBE, value);
    }
    // A VDP register written as a program writes it, through the control port.
    void SetVdpRegister(uint8_t reg, uint8_t value) {
        console_.WritePort(0xBF, value);
        console_.WritePort(0xBF, static_cast<uint8_t>(0x80 | reg));
    }
    // One frame with the CPU parked on a HALT in RAM: the VDP takes the
    // vertical scroll for the frame at its line 0.
    void RunFrameHalted() {
        console_.Poke(TMemoryRegion::SystemRam, 0, 0xF3);  // DI
        console_.Poke(TMemoryRegion::SystemRam, 1, 0x76);  // HALT
        TCpuRegisters registers = console_.Registers();
        registers.PC = 0xC000;
        registers.IFF1 = registers.IFF2 = 0;
        registers.Halted = 0;
        console_.SetRegisters(registers);
        console_.RunFrame();
    }
    QTemporaryDir dir_;
    std::unique_ptr<TMainForm> form_;
    TConsole console_;
};

// Each kind takes the fields it has and is listed by what it watches.
TEST_F(DebuggerViewsTest, BreakpointRowMakesEachKind) {
    form_->mDepuradorClick();  // nothing runs yet: the window opens all the same
    TDebuggerWindow& window = *form_->DebuggerWindow();
    TDebuggerBreakpointView& view = *window.BreakpointView();
    const struct {
        TBreakKind Kind;
        const char *First, *Last, *Bank, *Listed;
        uint16_t WantFirst, WantLast;
        int WantBank;
    } cases[] = {
        {TBreakKind::Execute, "0x0038", "", "", "Execution at #0038", 0x38, 0x38, -1},
        {TBreakKind::Execute, "8000", "", "5", "Execution at #8000 in ROM bank 5", 0x8000, 0x8000, 5},
        {TBreakKind::MemoryRead, "C000", "", "", "Memory read of #C000", 0xC000, 0xC000, -1},
        {TBreakKind::MemoryWrite, "C000", "C0FF", "", "Memory write to #C000-#C0FF", 0xC000, 0xC0FF, -1},
        {TBreakKind::PortRead, "7E", "7F", "", "Port read (IN) from #7E-#7F", 0x7E, 0x7F, -1},
        {TBreakKind::PortWrite, "#BE", "", "", "Port write (OUT) to #BE", 0xBE, 0xBE, -1},
        {TBreakKind::FrameInterrupt, "", "", "", "Frame interrupt", 0, 0, -1},
        {TBreakKind::LineInterrupt, "", "", "", "Line interrupt", 0, 0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Listed);
        view.Kind()->setCurrentIndex(static_cast<int>(c.Kind));
        EXPECT_EQ(view.First()->isEnabled(), c.Kind <= TBreakKind::PortWrite);
        EXPECT_EQ(view.Last()->isEnabled(), c.Kind > TBreakKind::Execute && c.Kind <= TBreakKind::PortWrite);
        EXPECT_EQ(view.Bank()->isEnabled(), c.Kind == TBreakKind::Execute);
        QString error;
        ASSERT_TRUE(view.Add(c.Kind, c.First, c.Last, c.Bank, &error)) << error.toStdString();
        const TBreakpoint added = window.Debugger().Breakpoints().back();
        EXPECT_EQ(added.Kind, c.Kind);
        EXPECT_EQ(added.First, c.WantFirst);
        EXPECT_EQ(added.Last, c.WantLast);
        EXPECT_EQ(added.Bank, c.WantBank);
        EXPECT_EQ(view.List()->item(view.List()->rowCount() - 1, 1)->text(), c.Listed);
    }
    // The check box switches one off; Remove takes the selected one away.
    view.List()->item(1, 0)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(window.Debugger().Breakpoints()[1].Enabled);
    view.List()->selectRow(0);
    view.RemoveButton()->click();
    EXPECT_EQ(window.Debugger().Breakpoints().size(), std::size(cases) - 1);
    EXPECT_EQ(view.List()->item(0, 1)->text(), "Execution at #8000 in ROM bank 5");
    EXPECT_EQ(view.List()->item(0, 0)->checkState(), Qt::Unchecked);
}

// Rows of 16 with their offset and ASCII; a short memory ends in a short row.
TEST_F(DebuggerViewsTest, HexTableRowsOffsetsAndAscii) {
    uint8_t bytes[20] = {'T', 'M', 'R', ' ', 'S', 'E', 'G', 'A', 0x00, 0x7F, 0x1F, 'z'};
    TDebugMemory memory{"test", sizeof bytes, [&](uint32_t o) { return bytes[o]; }, [&](uint32_t o, uint8_t v) {
                            bytes[o] = v;
                            return true;
                        }};
    THexModel model;
    model.SetMemory(&memory);
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.columnCount(), 17);
    EXPECT_EQ(model.headerData(1, Qt::Vertical, Qt::DisplayRole).toString(), "0010");
    EXPECT_EQ(model.data(model.index(0, 16), Qt::DisplayRole).toString(), "TMR SEGA...z....");
    EXPECT_EQ(model.data(model.index(1, 3), Qt::DisplayRole).toString(), "00");
    EXPECT_FALSE(model.data(model.index(1, 4), Qt::DisplayRole).isValid()) << "past the end";
    EXPECT_FALSE(model.setData(model.index(0, 0), "41", Qt::EditRole)) << "not editable yet";
    model.SetEditable(true);
    EXPECT_TRUE(model.setData(model.index(0, 0), "41", Qt::EditRole));
    EXPECT_FALSE(model.setData(model.index(1, 4), "41", Qt::EditRole)) << "past the end";
    EXPECT_FALSE(model.setData(model.index(0, 16), "41", Qt::EditRole)) << "the ASCII column";
    EXPECT_EQ(bytes[0], 0x41);
}

// Each memory the page offers is numbered as the CPU addresses it where the
// CPU sees it at one place (system RAM from #C000, its second copy at #E000
// taken too), by bank and address where it pages it (cartridge RAM), and by
// its own addresses where it is the VDP's; "Go to address" takes what the
// rows show, in any hex notation, and says why it takes nothing else.
TEST_F(DebuggerViewsTest, MemoriesAreNumberedAsTheCpuAddressesThem) {
    form_->mDepuradorClick();
    const std::vector<TDebugMemory>& memories = form_->DebuggerWindow()->MemoryView()->MemoryList();
    ASSERT_EQ(memories.size(), 5u);
    enum { SystemRam, CartridgeRam, CpuSpace, Vram, Cram };
    const struct {
        int Memory;
        const char* Text;
        std::optional<uint32_t> Offset;
        const char* Error;
    } cases[] = {
        {SystemRam, "C100", 0x100, ""},
        {SystemRam, "#c000", 0, ""},
        {SystemRam, "$DFFF", 0x1FFF, ""},
        {SystemRam, "0xE100", 0x100, ""},
        {SystemRam, "FFFFh", 0x1FFF, ""},
        {SystemRam, "0100", {}, "#0100 is outside the memory shown, whose bytes are #C000-#DFFF (again at #E000-#FFFF)."},
        {SystemRam, "10000", {}, "#10000 is outside"},
        {SystemRam, "C1O0", {}, "\"C1O0\" is not an address: type it in hex, as C100, #C100, $C100, 0xC100 or C100h."},
        {SystemRam, "", {}, "is not an address"},
        {CartridgeRam, "0:8000", 0, ""},
        {CartridgeRam, "1:#8010", 0x4010, ""},
        {CartridgeRam, " 1:BFFFh ", 0x7FFF, ""},
        {CartridgeRam, "8000", {}, "Give the bank too, as 1:8000: the CPU sees these banks one at a time at #8000-#BFFF."},
        {CartridgeRam, "2:8000", {}, "2:8000 is outside the memory shown, whose bytes are 0:8000-0:BFFF and 1:8000-1:BFFF."},
        {CartridgeRam, "1:7FFF", {}, "1:7FFF is outside"},
        {CartridgeRam, "1:C000", {}, "1:C000 is outside"},
        {CartridgeRam, "b:8000", {}, "B:8000 is outside"},
        {CartridgeRam, "x:8000", {}, "\"x:8000\" is not an address: type the bank and the address in hex, as 1:8100, 1:#8100, 1:$8100, 1:0x8100 or 1:8100h."},
        {CpuSpace, "C100", 0xC100, ""},
        {CpuSpace, "0", 0, ""},
        {CpuSpace, "10000", {}, "whose bytes are #0000-#FFFF."},
        {Vram, "3F81", 0x3F81, ""},
        {Vram, "4000", {}, "whose bytes are #0000-#3FFF."},
        {Cram, "#1F", 0x1F, ""},
        {Cram, "20", {}, "whose bytes are #0000-#001F."},
    };
    for (const auto& c : cases) {
        const TDebugMemory& memory = memories[c.Memory];
        SCOPED_TRACE(memory.Name.toStdString() + ": \"" + c.Text + "\"");
        QString error;
        EXPECT_EQ(MemoryOffset(memory, c.Text, &error), c.Offset);
        EXPECT_TRUE(error.contains(c.Error)) << error.toStdString();
        EXPECT_EQ(error.isEmpty(), c.Offset.has_value());
    }
    // Every row's number leads back to the row.
    THexModel model;
    for (const TDebugMemory& memory : memories) {
        SCOPED_TRACE(memory.Name.toStdString());
        model.SetMemory(&memory);
        for (int row = 0; row < model.rowCount(); ++row) {
            const QString number = model.headerData(row, Qt::Vertical, Qt::DisplayRole).toString();
            ASSERT_EQ(MemoryOffset(memory, number), static_cast<uint32_t>(row * THexModel::kBytesPerRow))
                << number.toStdString();
        }
    }
    const struct {
        int Memory, Row;
        const char* Number;
    } rows[] = {{SystemRam, 0, "C000"}, {SystemRam, 0x1FF, "DFF0"}, {CartridgeRam, 0x3FF, "0:BFF0"},
                {CartridgeRam, 0x400, "1:8000"}, {CpuSpace, 0xC10, "C100"}, {Vram, 0x3F8, "3F80"}, {Cram, 1, "0010"}};
    for (const auto& r : rows) {
        model.SetMemory(&memories[r.Memory]);
        EXPECT_EQ(model.headerData(r.Row, Qt::Vertical, Qt::DisplayRole).toString(), r.Number);
    }
}

// Beside the main window's frame, on the screen's available area (a
// 1920 x 1040 area below a 40-pixel panel; the main window 522 x 440).
TEST(DebuggerPlacementTest, BesideTheMainWindowOnTheScreen) {
    const QRect screen(0, 40, 1920, 1040);
    const QSize wanted(860, 600), minimum(500, 400);
    const struct {
        const char* What;
        QRect Main;
        QRect Want;
        QPoint MainAt;  // where the main window goes; (-1, -1): it stays
    } cases[] = {
        {"room on the right", QRect(100, 100, 522, 440), QRect(622, 100, 860, 600), {-1, -1}},
        {"no room on the right: on the left", QRect(1300, 100, 522, 440), QRect(440, 100, 860, 600), {-1, -1}},
        {"centred: narrower on the right", QRect(699, 340, 522, 440), QRect(1221, 340, 699, 600), {-1, -1}},
        {"narrower on the left, the roomier side", QRect(800, 340, 522, 440), QRect(0, 340, 800, 600), {-1, -1}},
        {"low on the screen: raised to fit", QRect(100, 900, 522, 440), QRect(622, 480, 860, 600), {-1, -1}},
        {"above the panel: lowered onto the area", QRect(100, 0, 522, 440), QRect(622, 40, 860, 600), {-1, -1}},
        {"no room on either side: the main window moves left as little as it must", QRect(450, 100, 1000, 700),
         QRect(1060, 100, 860, 600), {60, 100}},
        {"room only on the left once it moves right", QRect(480, 100, 1000, 700), QRect(0, 100, 860, 600),
         {860, 100}},
        {"the main window fills the screen: it stays, covered", QRect(0, 40, 1920, 1040), QRect(1060, 40, 860, 600),
         {-1, -1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const TDebuggerPlace place = DebuggerPlacement(c.Main, wanted, minimum, screen);
        EXPECT_EQ(place.Debugger, c.Want);
        EXPECT_EQ(place.Main, c.MainAt == QPoint(-1, -1) ? c.Main.topLeft() : c.MainAt);
        EXPECT_TRUE(screen.contains(place.Debugger));
        if (c.MainAt != QPoint(-1, -1)) {
            EXPECT_FALSE(QRect(place.Main, c.Main.size()).intersects(place.Debugger));
            EXPECT_TRUE(screen.contains(QRect(place.Main, c.Main.size())));
        }
    }
    // A 1280 x 800 screen with the game window centred: neither side has
    // room, so the game window moves to stand beside the debugger.
    const TDebuggerPlace small = DebuggerPlacement(QRect(379, 180, 522, 440), wanted, minimum, QRect(0, 0, 1280, 800));
    EXPECT_EQ(small.Debugger, QRect(522, 180, 758, 600));
    EXPECT_EQ(small.Main, QPoint(0, 180));
    // A screen smaller than the window: the window is cut down to it.
    EXPECT_EQ(DebuggerPlacement(QRect(0, 0, 300, 200), wanted, minimum, QRect(0, 0, 800, 500)).Debugger,
              QRect(300, 0, 500, 500));
    EXPECT_EQ(DebuggerPlacement(QRect(0, 0, 400, 200), wanted, minimum, QRect(0, 0, 800, 500)).Debugger,
              QRect(0, 0, 800, 500));
}

// Ten 8 x 8 sprites on lines 50-57: the first eight are shown, 8 and 9 are
// dropped on every line they cover; the table ends at sprite 10's y #D0.
TEST_F(DebuggerViewsTest, SpritePageShowsTheLinesAndTheDropsOfThePerLineLimit) {
    SetVdpRegister(1, 0x40);  // display on, 8 x 8 sprites
    SetVdpRegister(5, 0x7F);  // sprite table at #3F00
    for (uint32_t i = 0; i < 10; ++i) {
        console_.Poke(TMemoryRegion::Vram, 0x3F00 + i, 49);
        console_.Poke(TMemoryRegion::Vram, 0x3F80 + 2 * i, static_cast<uint8_t>(20 * i));
    }
    console_.Poke(TMemoryRegion::Vram, 0x3F00 + 10, 0xD0);
    TDebuggerVdpView view;
    view.Show(console_);
    QTableWidget& table = *view.Sprites();
    auto cell = [&](int row, int column) { return table.item(row, column)->text().toStdString(); };
    EXPECT_EQ(cell(0, 5), "50-57");
    EXPECT_EQ(cell(0, 6), "");
    EXPECT_EQ(cell(0, 7), "shown");
    EXPECT_EQ(cell(9, 1), "180");
    EXPECT_EQ(cell(9, 6), "50-57");
    EXPECT_EQ(cell(9, 7), "over 8 on 8 of 8 lines");
    EXPECT_EQ(cell(10, 7), "the list end (y #D0)");
    EXPECT_EQ(cell(11, 7), "after the list end");
    view.SpriteLine()->setValue(53);
    EXPECT_EQ(view.SpriteLineText()->text(), "sprites 0, 1, 2, 3, 4, 5, 6, 7; over the limit of 8 (a console drops them, Tiravel draws them): 8, 9");
    view.SpriteLine()->setValue(58);
    EXPECT_EQ(view.SpriteLineText()->text(), "no sprite");
}

// A white plane: what the screen shows stays white, the rest is dimmed to
// half, following the vertical scroll the picture uses.
TEST_F(DebuggerViewsTest, NameTableDimsThePlaneOutsideTheScreen) {
    SetVdpRegister(0, 0);
    SetVdpRegister(1, 0x40);  // display on: the frame takes the vertical scroll
    SetVdpRegister(2, 0xFF);  // name table at #3800, all entries tile 0
    for (uint32_t i = 0; i < 32; ++i) console_.Poke(TMemoryRegion::Vram, i, 0xFF);  // tile 0: colour 15 everywhere
    console_.Poke(TMemoryRegion::Cram, 15, 0x3F);
    const struct {
        uint8_t VScroll;
        int Y;
        bool Dimmed;
    } cases[] = {{0, 0, false}, {0, 191, false}, {0, 192, true}, {0, 223, true},
                 {16, 15, true}, {16, 16, false}, {16, 207, false}, {16, 208, true}};
    TDebuggerVdpView view;
    for (const auto& c : cases) {
        SetVdpRegister(9, c.VScroll);
        RunFrameHalted();
        T_VDP_SCROLL_WINDOW window;
        console_.ReadScrollWindow(window);
        ASSERT_EQ(window.VScroll, c.VScroll) << "the frame took the register";
        view.Show(console_);
        ASSERT_EQ(view.NameTable().size(), QSize(256, 224));
        EXPECT_EQ(view.NameTable().pixel(100, c.Y) & 0xFFFFFF, c.Dimmed ? 0x7F7F7Fu : 0xFFFFFFu)
            << "scroll " << int(c.VScroll) << " y " << c.Y;
    }
}

// The Game Gear's colours are words of 12 bits (red, green, blue from the
// low bits, the low byte first); the other models' stay 6-bit bytes.
TEST_F(DebuggerViewsTest, GameGearPaletteShowsTwelveBitColours) {
    const uint8_t bytes[] = {0x00, 0x00, 0x3F, 0x0F, 0x05, 0x0A, 0x30, 0x00};
    TDebuggerVdpView view;
    for (bool gameGear : {false, true}) {
        console_.Configure(TConsoleSettings{gameGear ? TConsoleModel::GameGear : TConsoleModel::Tiravel});
        WriteCram(0, {bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7]});
        view.Show(console_);
        auto cell = [&](int column) { return view.Palette()->item(0, column); };
        if (!gameGear) {
            EXPECT_EQ(cell(2)->text(), "3F");
            EXPECT_EQ(cell(2)->background().color(), QColor(255, 255, 255));
            continue;
        }
        const struct {
            int Entry;
            const char* Text;
            QColor Colour;
        } cases[] = {{0, "000", QColor(0, 0, 0)},
                     {1, "F3F", QColor(255, 51, 255)},
                     {2, "A05", QColor(85, 0, 170)},
                     {3, "030", QColor(0, 51, 0)}};
        for (const auto& c : cases) {
            EXPECT_EQ(cell(c.Entry)->text(), c.Text) << c.Entry;
            EXPECT_EQ(cell(c.Entry)->background().color(), c.Colour) << c.Entry;
        }
        EXPECT_TRUE(cell(1)->toolTip().contains("blue 15, green 3, red 15")) << cell(1)->toolTip().toStdString();
    }
}

// On the Game Gear the name table shows its 160 x 144 screen at full
// brightness (pixels 48-207 of lines 24-167, wherever the scroll puts them
// on the plane), the rest of the console's picture three quarters bright
// and the plane outside it at half.
TEST_F(DebuggerViewsTest, NameTableMarksTheGameGearsScreen) {
    console_.Configure(TConsoleSettings{TConsoleModel::GameGear});
    SetVdpRegister(0, 0);
    SetVdpRegister(1, 0x40);
    SetVdpRegister(2, 0xFF);
    for (uint32_t i = 0; i < 32; ++i) console_.Poke(TMemoryRegion::Vram, i, 0xFF);  // tile 0: colour 15
    // Colour 15 bright, whether the colour memory holds bytes (entry 15) or
    // the Game Gear's words (bytes 30 and 31).
    WriteCram(15, {0x3F});
    WriteCram(30, {0x3F, 0x0F});
    TDebuggerVdpView view;
    std::vector<uint32_t> plane(VDP_PLANE_WIDTH * VDP_PLANE_HEIGHT);
    for (const uint8_t hscroll : {0, 16}) {
        SetVdpRegister(8, hscroll);
        RunFrameHalted();
        view.Show(console_);
        console_.DrawNameTable(plane.data());
        const uint32_t full = plane[0];
        ASSERT_NE(full, 0u) << "a colour to dim";
        const uint32_t half = (full >> 1) & 0x7F7F7F;
        const uint32_t threeQuarters = half + ((full >> 2) & 0x3F3F3F);
        // Screen pixels, each where the scroll puts it on the plane.
        const struct {
            int X, Y;
            uint32_t Want;
        } cases[] = {{48, 24, full},           {207, 167, full},          {47, 100, threeQuarters},
                     {208, 100, threeQuarters}, {100, 23, threeQuarters}, {100, 168, threeQuarters},
                     {0, 0, threeQuarters},     {255, 191, threeQuarters}};
        for (const auto& c : cases)
            EXPECT_EQ(view.NameTable().pixel((c.X + 256 - hscroll) % 256, c.Y) & 0xFFFFFF, c.Want)
                << "scroll " << int(hscroll) << " at " << c.X << "," << c.Y;
        EXPECT_EQ(view.NameTable().pixel(100, 200) & 0xFFFFFF, half) << "off the screen";
    }
    view.Pages()->setCurrentIndex(1);
    EXPECT_TRUE(view.findChild<QLabel*>("NameText")->text().contains("columns 4-23 at this scroll"))
        << view.findChild<QLabel*>("NameText")->text().toStdString();
}

TEST_F(DebuggerViewsTest, SoundPageShowsHertzAndDecibels) {
    // As a program writes the sound chip: tone 1's period 254 (#0FE, low
    // bits latched first), its attenuation 2, tone 2 off, white noise at rate 0.
    for (uint8_t value : {0x8E, 0x0F, 0x92, 0xBF, 0xE4}) console_.WritePort(0x7F, value);
    TDebuggerSoundView view;
    view.Show(console_);
    auto cell = [&](int row, int column) { return view.Channels()->item(row, column)->text().toStdString(); };
    EXPECT_EQ(cell(0, 0), "Tone 1");
    EXPECT_EQ(cell(0, 1), "254 (#0FE)");
    EXPECT_EQ(cell(0, 2), "440.4 Hz");
    EXPECT_EQ(cell(0, 4), "-4 dB");
    EXPECT_EQ(cell(1, 4), "off");
    EXPECT_EQ(cell(3, 1), "white, rate 0");
}

}  // namespace
