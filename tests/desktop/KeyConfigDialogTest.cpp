// "Input" > "Configure...": a key bound in the dialog reaches the console's
// controller port, controller buttons are taken by press, "Defaults" brings
// back today's bindings, and what was accepted is there in a new window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <memory>

#include "KeyConfigDialog.h"
#include "MainForm.h"
#include "MessageCatcher.h"
#include "WaitFor.h"

namespace {

using B = TControllerButton;
using S = TInputState;

constexpr int P1B1 = 4, Pause = 6, P2B1 = 11;

void ForgetSettings() {
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tiravel", "Tiravel").remove("Input");
}

// Clicks a cell of the dialog's table as the player would.
void ClickCell(TKeyConfigDialog& dialog, int row, int column) {
    QTableWidget* table = dialog.Table();
    const QRect cell = table->visualItemRect(table->item(row, column));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
}

QString Cell(TKeyConfigDialog& dialog, int row, int column) { return dialog.Table()->item(row, column)->text(); }

class TFakeController final : public TJoystickSource {
public:
    bool Read(TJoystickReading& reading) override {
        reading = TJoystickReading{};
        reading.Controller = true;
        for (B b : Held) reading.ControllerButtons |= 1u << static_cast<int>(b);
        return true;
    }
    std::vector<B> Held;
};

class KeyConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        setenv("XDG_DATA_HOME", (dir_.path() + "/xdg").toLocal8Bit().constData(), 1);
        ForgetSettings();
        NewForm();
    }
    void TearDown() override {
        form_.reset();
        ForgetSettings();
    }
    void NewForm() {
        form_.reset();
        form_ = std::make_unique<TMainForm>();
        form_->ExecutableDirectory = dir_.path();
        form_->QuitApplication = [] {};
    }
    // "Input" > "Configure..." with the dialog answered by `answer`.
    void Configure(const std::function<int(TKeyConfigDialog&)>& answer) {
        emit form_->Menu("mEntrada")->aboutToShow();
        form_->ExecKeyDialog = [answer](TKeyConfigDialog& dialog) {
            dialog.show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
            return answer(dialog);
        };
        form_->Item("mConfigurar")->trigger();
    }
    TMainForm& Form() { return *form_; }

    QTemporaryDir dir_;
    std::unique_ptr<TMainForm> form_;
};

// Player 1's button 1 moves from X to Z: Z presses it on the console's port
// A (bit 4, 0 = pressed) and X no longer does.
TEST_F(KeyConfigTest, AKeyBoundInTheDialogPressesTheConsolesButton) {
    Configure([](TKeyConfigDialog& dialog) {
        ClickCell(dialog, P1B1, TKeyConfigDialog::KeyColumn(0));
        EXPECT_TRUE(dialog.Waiting());
        EXPECT_EQ(Cell(dialog, P1B1, 0), "Press a key...");
        QTest::keyClick(dialog.Table(), Qt::Key_Z);
        EXPECT_FALSE(dialog.Waiting());
        EXPECT_EQ(Cell(dialog, P1B1, 0), "Z");
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(Form().KeyBindings.Key(P1B1, 0), 'Z');

    uint8_t portA = 0xFF;
    int frames = 0;
    Form().SMS->OnPresentFrame = [&](TSMS& machine) {
        portA = machine.Console->ReadPort(0xDC);
        ++frames;
    };
    Form().show();
    Form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Form()));
    Form().mBiosClick();
    Form().SMS->TargetFps = 0;
    auto framesLater = [&](int count) {
        const int target = frames + count;
        return WaitFor([&] { return frames >= target; });
    };
    ASSERT_TRUE(framesLater(2));
    EXPECT_EQ(portA & 0x10, 0x10);
    QTest::keyPress(Form().DXDraw1, Qt::Key_Z);
    ASSERT_TRUE(framesLater(2));
    EXPECT_EQ(portA & 0x10, 0) << "Z presses button 1";
    QTest::keyRelease(Form().DXDraw1, Qt::Key_Z);
    QTest::keyPress(Form().DXDraw1, Qt::Key_X);
    ASSERT_TRUE(framesLater(2));
    EXPECT_EQ(portA & 0x10, 0x10) << "X no longer does";
    QTest::keyRelease(Form().DXDraw1, Qt::Key_X);
    Form().SMS->StopEmulation();
}

// The keys that answer a waiting cell: Delete empties it, Escape and the
// window's own keys leave it, Enter is a key like any other and does not
// close the dialog; a key already bound elsewhere moves.
TEST_F(KeyConfigTest, AWaitingCellTakesTheNextKeyOnly) {
    TKeyConfigDialog dialog(TKeyBindings::Defaults(), nullptr);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTableWidget* table = dialog.Table();

    ClickCell(dialog, P1B1, 0);
    QTest::keyClick(table, Qt::Key_Escape);
    EXPECT_FALSE(dialog.Waiting());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(Cell(dialog, P1B1, 0), "X");

    ClickCell(dialog, P1B1, 0);
    for (Qt::Key key : {Qt::Key_F5, Qt::Key_Backspace, Qt::Key_Tab, Qt::Key_F10, Qt::Key_Pause}) {
        QTest::keyClick(table, key);
        EXPECT_TRUE(dialog.Waiting()) << key;
        EXPECT_TRUE(dialog.Status()->text().contains("window's own keys")) << key;
    }
    QTest::keyClick(table, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible()) << "Enter went to the cell, not to OK";
    EXPECT_EQ(dialog.Bindings().Key(P1B1, 0), VK::Return);
    EXPECT_EQ(Cell(dialog, Pause, 0), "") << "Enter left Pause";
    EXPECT_EQ(dialog.Status()->text(), "Player 1 Button 1: Enter. Player 1 Pause lost it.");

    // G, player 2's button 1, to player 1's button 2: the status line says
    // which input went without it.
    ClickCell(dialog, P1B1 + 1, 1);
    QTest::keyClick(table, Qt::Key_G);
    EXPECT_EQ(dialog.Bindings().Key(P2B1, 0), 0);
    EXPECT_EQ(dialog.Status()->text(), "Player 1 Button 2: G. Player 2 Button 1 lost it.");
    ClickCell(dialog, P1B1 + 1, 2);
    QTest::keyClick(table, Qt::Key_G);
    EXPECT_EQ(dialog.Status()->text(), "Player 1 Button 2: G.") << "moved within the same input: nobody lost it";

    ClickCell(dialog, P2B1, 1);
    QTest::keyClick(table, Qt::Key_X);
    EXPECT_EQ(Cell(dialog, P2B1, 1), "X");
    EXPECT_EQ(dialog.Bindings().Key(P1B1, 0), VK::Return);

    ClickCell(dialog, P2B1, 0);
    QTest::keyClick(table, Qt::Key_Delete);
    EXPECT_EQ(dialog.Bindings().Key(P2B1, 0), 0);
    EXPECT_EQ(Cell(dialog, P2B1, 0), "");
}

// Controller cells wait for a button that goes down: one already held when
// the cell was clicked does not count; player 2 has none.
TEST_F(KeyConfigTest, AControllerCellTakesTheNextButtonPressed) {
    TFakeController pad;
    pad.Held = {B::A};
    TKeyConfigDialog dialog(TKeyBindings::Defaults(), &pad);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(Cell(dialog, P1B1, TKeyConfigDialog::ControllerColumn(0)), "A");
    EXPECT_EQ(Cell(dialog, Pause, TKeyConfigDialog::ControllerColumn(1)), "Start");

    ClickCell(dialog, Pause, TKeyConfigDialog::ControllerColumn(1));
    EXPECT_EQ(Cell(dialog, Pause, TKeyConfigDialog::ControllerColumn(1)), "Press a button...");
    dialog.PollController();
    EXPECT_TRUE(dialog.Waiting()) << "A was down before";
    pad.Held = {B::A, B::Y};
    ASSERT_TRUE(WaitFor([&] { return !dialog.Waiting(); }, 3000)) << "the dialog polls by itself";
    EXPECT_EQ(dialog.Bindings().Button(Pause, 1), B::Y);
    EXPECT_EQ(Cell(dialog, Pause, TKeyConfigDialog::ControllerColumn(1)), "Y");

    // Let go and pressed again, A counts; a key does not fill the cell.
    ClickCell(dialog, Pause, TKeyConfigDialog::ControllerColumn(0));
    QTest::keyClick(dialog.Table(), Qt::Key_Z);
    EXPECT_TRUE(dialog.Waiting());
    pad.Held = {};
    dialog.PollController();
    pad.Held = {B::A};
    dialog.PollController();
    EXPECT_EQ(dialog.Bindings().Button(Pause, 0), B::A);
    EXPECT_EQ(dialog.Bindings().Button(P1B1, 0), B::None) << "A left button 1";
    EXPECT_EQ(dialog.Status()->text(), "Player 1 Pause: A. Player 1 Button 1 lost it.");

    ClickCell(dialog, P2B1, TKeyConfigDialog::ControllerColumn(0));
    EXPECT_FALSE(dialog.Waiting());
}

// Accepted bindings are kept: a new window starts with them; a cancelled
// dialog changes nothing, in this window or the next; "Defaults" restores.
TEST_F(KeyConfigTest, AcceptedBindingsAreThereInANewWindow) {
    Configure([](TKeyConfigDialog& dialog) {
        ClickCell(dialog, P2B1, 0);
        QTest::keyClick(dialog.Table(), Qt::Key_K);
        return int(QDialog::Accepted);
    });
    Configure([](TKeyConfigDialog& dialog) {
        ClickCell(dialog, P1B1, 0);
        QTest::keyClick(dialog.Table(), Qt::Key_Q);
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(Form().Joystick2.BoundKey(S::Button1, 0), 'K');
    EXPECT_EQ(Form().Joystick1.BoundKey(S::Button1, 0), 'X');

    NewForm();
    EXPECT_EQ(Form().Joystick2.BoundKey(S::Button1, 0), 'K');
    EXPECT_EQ(Form().Joystick1.BoundKey(S::Button1, 0), 'X');
    EXPECT_EQ(Form().Joystick1.BoundControllerButton(S::Button3, 1), B::Start);

    // "Defaults" brings back today's table, and accepted it is kept too.
    Configure([](TKeyConfigDialog& dialog) {
        EXPECT_EQ(Cell(dialog, P2B1, 0), "K");
        ClickCell(dialog, P1B1, 0);
        auto* defaults = dialog.findChild<QPushButton*>("Defaults");
        EXPECT_EQ(defaults->text(), "Defaults");
        QTest::mouseClick(defaults, Qt::LeftButton);
        EXPECT_FALSE(dialog.Waiting());
        EXPECT_EQ(dialog.Bindings(), TKeyBindings::Defaults());
        EXPECT_EQ(Cell(dialog, P2B1, 0), "G");
        EXPECT_EQ(Cell(dialog, 0, 2), "Keypad 8");
        return int(QDialog::Accepted);
    });
    NewForm();
    EXPECT_EQ(Form().KeyBindings, TKeyBindings::Defaults());
    EXPECT_EQ(Form().Joystick2.BoundKey(S::Button1, 0), 'G');
}

// Settings that cannot be written (their folder is a file): the player is
// told, naming the file, and the bindings still apply in this window.
TEST_F(KeyConfigTest, BindingsThatCannotBeKeptAreReportedAndStillApply) {
    QFile blocker(dir_.path() + "/config");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, blocker.fileName());
    TMessageCatcher catcher;
    Configure([](TKeyConfigDialog& dialog) {
        ClickCell(dialog, P1B1, 0);
        QTest::keyClick(dialog.Table(), Qt::Key_Z);
        return int(QDialog::Accepted);
    });
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, qEnvironmentVariable("TIRAVEL_TEST_SETTINGS"));
    ASSERT_EQ(catcher.Texts.size(), 1);
    EXPECT_TRUE(catcher.Texts[0].startsWith("Cannot keep the key bindings in \"" + blocker.fileName() + "/Tiravel/"))
        << catcher.Texts[0].toStdString();
    EXPECT_EQ(Form().Joystick1.BoundKey(S::Button1, 0), 'Z');
}

}  // namespace
