// The window from the keyboard: the menus' mnemonics and F10, Ctrl+O,
// "File" > "Pause" with Ctrl+P and the Pause key, Alt+Enter; the paused
// game's note on the picture, and the overlays switched on a stopped picture.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <map>

#include "FormRig.h"
#include "MainForm.h"
#include "WaitFor.h"

namespace {

QString Rom(const char* name) { return QString(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms"; }

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;
// The pause note's box: the overlays' 5-pixel font, one line above the
// message's box, 6 + 5 pixels a character wide.
const QRect kNote(8, 157, 6 + 5 * 34, 14);

class WindowKeysTest : public ::testing::Test, protected TFormRig {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path() + "/config");
        CreateForm(dir_.path());
        // Each frame shown: whether the note's place holds the game's picture.
        onFrame = [this](TSMS&) { frameShowsTheGame_ = Shown().copy(kNote) == FrameImage().copy(kNote); };
    }
    void TearDown() override { form.reset(); }

    void ShowActive() {
        Form().show();
        Form().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Form()));
    }
    // The speed cartridge: its picture changes every frame.
    bool StartGame() { return Open(Rom("speed")) && RunFrames(20); }
    // The picture the display control shows, and the console's frame under it.
    QImage Shown() { return Form().DXDraw1->Picture().convertToFormat(QImage::Format_RGB32); }
    QImage FrameImage() {
        QImage frame;
        frame.loadFromData(Machine().FrameStream.Data, int(Machine().FrameStream.Size), "BMP");
        return frame.convertToFormat(QImage::Format_RGB32);
    }
    // The game's picture with the note's box on it: white text on black,
    // outlined, the width of its 34 characters.
    bool NoteShown() {
        const QImage shown = Shown();
        if (shown.copy(0, 0, 256, kNote.top()) != FrameImage().copy(0, 0, 256, kNote.top())) return false;
        int white = 0;
        for (int y = kNote.top(); y <= kNote.bottom(); ++y)
            for (int x = kNote.left(); x <= kNote.right(); ++x) {
                const QRgb pixel = shown.pixel(x, y);
                if (pixel != kWhite && pixel != kBlack) return false;
                white += pixel == kWhite;
            }
        return shown.pixel(kNote.topLeft()) == kWhite && shown.pixel(kNote.bottomRight()) == kWhite &&
               white > 2 * (kNote.width() + kNote.height()) + 100;
    }
    bool MenuOpen(const char* name) {
        return WaitFor([&] { return Form().Menu(name)->isVisible(); }, 3000);
    }
    // Closed, with the window active again (the offscreen platform hands the
    // activation back from the menu late, or not at all once an item was
    // chosen; a window system gives it back at once).
    bool MenuClosed(const char* name) {
        if (!WaitFor([&] { return !Form().Menu(name)->isVisible() && QApplication::activePopupWidget() == nullptr; }, 3000))
            return false;
        Form().activateWindow();
        return QTest::qWaitForWindowActive(&Form());
    }

    QTemporaryDir dir_;
    bool frameShowsTheGame_ = false;
};

// Either key pauses and either resumes, in a window and in full screen
// (no menu bar); paused, the picture says so until the game runs again.
TEST_F(WindowKeysTest, CtrlPAndThePauseKeyHoldAndResumeTheGameWithANoteOnThePicture) {
    ShowActive();
    ASSERT_TRUE(StartGame());
    struct Key {
        Qt::Key Code;
        Qt::KeyboardModifiers Modifiers;
    };
    const Key ctrlP{Qt::Key_P, Qt::ControlModifier};
    const Key pause{Qt::Key_Pause, Qt::NoModifier};
    const std::pair<Key, Key> cases[] = {{ctrlP, ctrlP}, {pause, pause}, {ctrlP, pause}, {pause, ctrlP}};
    for (const bool fullScreen : {false, true}) {
        SCOPED_TRACE(fullScreen ? "full screen" : "window");
        if (fullScreen) {
            Form().mVideoClick();
            Form().mCheiaClick();
            Form().activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&Form()));
            ASSERT_FALSE(Form().MainMenu1->isVisible());
        }
        for (const auto& [hold, resume] : cases) {
            SCOPED_TRACE(testing::Message() << hold.Code << " then " << resume.Code);
            ASSERT_TRUE(RunFrames(2));
            EXPECT_TRUE(frameShowsTheGame_);
            QTest::keyClick(Form().DXDraw1, hold.Code, hold.Modifiers);
            EXPECT_EQ(Machine().Stopped, 1);
            EXPECT_TRUE(Machine().Suspended());
            EXPECT_TRUE(Item("mPausa")->isChecked());
            EXPECT_TRUE(NoteShown());
            QTest::keyClick(Form().DXDraw1, resume.Code, resume.Modifiers);
            EXPECT_EQ(Machine().Stopped, 0);
            EXPECT_FALSE(Item("mPausa")->isChecked());
            ASSERT_TRUE(RunFrames(2));
            EXPECT_TRUE(frameShowsTheGame_) << "the note went with the first frame";
        }
    }
    // The key works whatever the item showed last: a click resumed the game
    // behind the item's back, and Ctrl+P pauses it again.
    QTest::keyClick(Form().DXDraw1, Qt::Key_P, Qt::ControlModifier);
    Form().DXDraw1Click();
    ASSERT_EQ(Machine().Stopped, 0);
    QTest::keyClick(Form().DXDraw1, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(Machine().Stopped, 1);
    EXPECT_TRUE(Item("mPausa")->isChecked());
}

// Nothing to pause before the first start, nor while a BIOS type change
// waits for its Console Reset (a click resumes nothing then, and no note
// says it would).
TEST_F(WindowKeysTest, WithoutAGameThatCanRunThePauseKeyChangesNothing) {
    ShowActive();
    QTest::keyClick(Form().DXDraw1, Qt::Key_P, Qt::ControlModifier);
    EXPECT_FALSE(Item("mPausa")->isEnabled());
    EXPECT_FALSE(Item("mPausa")->isChecked());
    ASSERT_TRUE(StartGame());
    Form().mArquivoClick();
    EXPECT_TRUE(NoteShown());
    Form().mBIOSJapClick();
    EXPECT_FALSE(NoteShown()) << "not ready: no note";
    QTest::keyClick(Form().DXDraw1, Qt::Key_P, Qt::ControlModifier);
    EXPECT_FALSE(Item("mPausa")->isChecked());
    EXPECT_EQ(Machine().Stopped, 1);
}

// A menu opened and closed leaves the game paused, and the picture says so;
// a click resumes it. The item's check is the game before the menu opened:
// chosen, it keeps a running game paused, and resumes a paused one.
TEST_F(WindowKeysTest, TheMenusPauseShowsTheNoteAndThePauseItemFollowsTheGameBeforeTheMenu) {
    ShowActive();
    ASSERT_TRUE(StartGame());
    QMenu* file = Form().Menu("mArquivo");

    QTest::keyClick(Form().DXDraw1, Qt::Key_F10);
    ASSERT_TRUE(MenuOpen("mArquivo"));
    EXPECT_EQ(Machine().Stopped, 1);
    EXPECT_FALSE(Item("mPausa")->isChecked()) << "the game ran before the menu";
    QTest::keyClick(file, Qt::Key_Escape);
    ASSERT_TRUE(MenuClosed("mArquivo"));
    EXPECT_EQ(Machine().Stopped, 1);
    EXPECT_TRUE(NoteShown());
    QTest::mouseClick(Form().DXDraw1, Qt::LeftButton);
    EXPECT_EQ(Machine().Stopped, 0);
    ASSERT_TRUE(RunFrames(2));
    EXPECT_TRUE(frameShowsTheGame_);

    // Moving along the menu bar is one visit: "File" reached from "Sound"
    // still shows the game as it ran before "Sound" paused it.
    QTest::keyClick(Form().DXDraw1, Qt::Key_S, Qt::AltModifier);
    ASSERT_TRUE(MenuOpen("mSom"));
    QTest::keyClick(Form().Menu("mSom"), Qt::Key_Left);
    ASSERT_TRUE(MenuOpen("mVideo"));
    QTest::keyClick(Form().Menu("mVideo"), Qt::Key_Left);
    ASSERT_TRUE(MenuOpen("mArquivo"));
    EXPECT_FALSE(Item("mPausa")->isChecked());
    // "Pause" by its letter: the game stays paused, the item checked.
    QTest::keyClick(file, Qt::Key_P);
    ASSERT_TRUE(MenuClosed("mArquivo"));
    EXPECT_EQ(Machine().Stopped, 1);
    EXPECT_TRUE(Item("mPausa")->isChecked());
    EXPECT_TRUE(NoteShown());

    // Paused before the menu: checked, and chosen, the game runs.
    QTest::keyClick(Form().DXDraw1, Qt::Key_F10);
    ASSERT_TRUE(MenuOpen("mArquivo"));
    EXPECT_TRUE(Item("mPausa")->isChecked());
    QTest::keyClick(file, Qt::Key_P);
    ASSERT_TRUE(MenuClosed("mArquivo"));
    EXPECT_EQ(Machine().Stopped, 0);
    EXPECT_FALSE(Item("mPausa")->isChecked());
    ASSERT_TRUE(RunFrames(2));
    EXPECT_TRUE(frameShowsTheGame_);
}

// Every menu and item has a letter of its own within its menu; Alt and the
// letter open a top menu. The captions read as before.
TEST_F(WindowKeysTest, MenusHaveOneMnemonicLetterEachAndAltOpensThem) {
    std::function<void(QMenu*, const QList<QAction*>&)> check = [&](QMenu* menu, const QList<QAction*>& actions) {
        std::map<QChar, QString> letters;
        for (QAction* action : actions) {
            if (action->isSeparator() || action->objectName() == "mConsoleNote") continue;
            const QString text = action->text();
            const qsizetype at = text.indexOf('&');
            if (menu == nullptr || (menu->objectName() != "mVolume" && menu->objectName() != "mRecent")) {
                EXPECT_GE(at, 0) << action->objectName().toStdString() << " has a letter";
            }
            if (at < 0) continue;
            EXPECT_EQ(text.count('&'), 1) << text.toStdString();
            const QChar letter = text[at + 1].toLower();
            EXPECT_TRUE(letters.emplace(letter, action->objectName()).second)
                << action->objectName().toStdString() << " and " << letters[letter].toStdString() << " share "
                << QString(letter).toStdString();
            if (action->menu() != nullptr) check(action->menu(), action->menu()->actions());
        }
    };
    check(nullptr, Form().MainMenu1->actions());
    const std::pair<const char*, const char*> chosen[] = {
        {"mArquivo", "&File"},     {"mEstado", "S&tate"},      {"mFerramentas", "T&ools"},
        {"mSair", "E&xit"},        {"mPausa", "&Pause"},       {"mSlot3", "Slot &3"},
        {"mTom2", "Tone Generator &2"}, {"mVDPS", "V&DP Status"}, {"mBckOff", "O&FF"},
    };
    for (const auto& [name, text] : chosen) EXPECT_EQ(Item(name)->text(), text) << name;

    ShowActive();
    Form().mBiosClick();
    const std::pair<const char*, Qt::Key> menus[] = {{"mArquivo", Qt::Key_F},   {"mVideo", Qt::Key_G}, {"mSom", Qt::Key_S},
                                                     {"mEstado", Qt::Key_T},    {"mConsole", Qt::Key_C},
                                                     {"mFerramentas", Qt::Key_O}, {"Ajuda1", Qt::Key_H}};
    for (const auto& [name, key] : menus) {
        SCOPED_TRACE(name);
        QTest::keyClick(Form().DXDraw1, key, Qt::AltModifier);
        ASSERT_TRUE(MenuOpen(name));
        EXPECT_EQ(Machine().Stopped, 1);
        Form().Menu(name)->hide();
        ASSERT_TRUE(MenuClosed(name));
        Form().DXDraw1->setFocus();
    }
}

// A menu opened with Alt and left with Escape leaves the menu bar in
// keyboard navigation; the pause key that resumes the game hands the keys
// back to the picture, so the game's C (button 2) opens no menu.
TEST_F(WindowKeysTest, ResumingWithThePauseKeyTakesTheKeysBackFromTheMenuBar) {
    ShowActive();
    ASSERT_TRUE(StartGame());
    QTest::keyClick(Form().DXDraw1, Qt::Key_T, Qt::AltModifier);
    ASSERT_TRUE(MenuOpen("mEstado"));
    QTest::keyClick(Form().Menu("mEstado"), Qt::Key_Escape);
    ASSERT_TRUE(WaitFor([&] { return !Form().Menu("mEstado")->isVisible(); }, 3000));
    Form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Form()));
    ASSERT_TRUE(Form().MainMenu1->hasFocus()) << "the menu bar navigates by keys";
    QTest::keyClick(Form().DXDraw1, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(Machine().Stopped, 0);
    EXPECT_TRUE(Form().DXDraw1->hasFocus());
    EXPECT_FALSE(Form().MainMenu1->hasFocus());
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C);
    QTest::qWait(100);
    EXPECT_FALSE(Form().Menu("mConsole")->isVisible());
    EXPECT_EQ(Machine().Stopped, 0);
}

// Ctrl+O pauses the game while the dialog is open (a cancel leaves it
// paused, as from the menu) and opens the game chosen.
TEST_F(WindowKeysTest, CtrlOChoosesAGame) {
    ShowActive();
    ASSERT_TRUE(StartGame());
    int asked = 0;
    bool pausedWhileAsked = false;
    QString answer;
    Form().ChooseRomFile = [&](const QString& dir) {
        ++asked;
        pausedWhileAsked = Machine().Stopped == 1;
        EXPECT_EQ(dir, QFileInfo(Rom("speed")).absolutePath());
        return answer;
    };
    QTest::keyClick(Form().DXDraw1, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(pausedWhileAsked);
    EXPECT_EQ(Machine().Stopped, 1);
    EXPECT_TRUE(NoteShown());

    answer = Rom("handover");
    QTest::keyClick(Form().DXDraw1, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(Machine().Stopped, 0);
    EXPECT_EQ(QString::fromStdString(Machine().RamPath), dir_.path() + "/RAMs/handover.RAM");
}

// Alt+Enter (the main Enter or the keypad's) goes to full screen and back
// while the game runs; the Enter it comes with is never the console's Pause.
TEST_F(WindowKeysTest, AltEnterSwitchesFullScreenAndNeverPressesTheConsolesPause) {
    ShowActive();
    ASSERT_TRUE(StartGame());
    bool pauseSeen = false;
    onFrame = [&](TSMS& machine) { pauseSeen = pauseSeen || machine.Input1->State(TInputState::Button3); };
    // Enter alone is the console's Pause, as ever.
    QTest::keyPress(Form().DXDraw1, Qt::Key_Return);
    EXPECT_TRUE(Form().Keyboard->KeyDown(VK::Return));
    ASSERT_TRUE(RunFrames(2));
    EXPECT_TRUE(pauseSeen);
    QTest::keyRelease(Form().DXDraw1, Qt::Key_Return);
    ASSERT_TRUE(RunFrames(2));
    pauseSeen = false;

    // With Alt, the key is the window's: the keyboard the pads read never
    // has it down, held across frames.
    struct Case {
        Qt::KeyboardModifiers Modifiers;
        Qt::Key Key;
        bool FullScreen;
    };
    const Case cases[] = {{Qt::AltModifier, Qt::Key_Return, true},
                          {Qt::AltModifier, Qt::Key_Return, false},
                          {Qt::AltModifier | Qt::KeypadModifier, Qt::Key_Enter, true},
                          {Qt::AltModifier | Qt::KeypadModifier, Qt::Key_Enter, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Key << (c.FullScreen ? " to full screen" : " back"));
        Form().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Form()));
        QTest::keyPress(Form().DXDraw1, c.Key, c.Modifiers);
        EXPECT_FALSE(Form().Keyboard->KeyDown(VK::Return));
        EXPECT_EQ(Item("mCheia")->isChecked(), c.FullScreen);
        EXPECT_EQ(Item("mJanela")->isChecked(), !c.FullScreen);
        EXPECT_EQ(Form().MainMenu1->isVisible(), !c.FullScreen);
        EXPECT_EQ(Machine().Stopped, 0);
        ASSERT_TRUE(RunFrames(3));
        EXPECT_FALSE(Form().Keyboard->KeyDown(VK::Return));
        EXPECT_EQ(Form().Display->FullScreenOption(), c.FullScreen);
        QTest::keyRelease(Form().DXDraw1, c.Key, c.Modifiers);
    }
    EXPECT_FALSE(pauseSeen);

    // Escape comes back too; before the first start the key does nothing.
    Form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Form()));
    QTest::keyClick(Form().DXDraw1, Qt::Key_Return, Qt::AltModifier);
    ASSERT_TRUE(Item("mCheia")->isChecked());
    QTest::keyClick(Form().DXDraw1, Qt::Key_Escape);
    EXPECT_TRUE(Item("mJanela")->isChecked());
    form.reset();
    CreateForm(dir_.path());
    ShowActive();
    QTest::keyClick(Form().DXDraw1, Qt::Key_Return, Qt::AltModifier);
    EXPECT_TRUE(Item("mJanela")->isChecked());
    EXPECT_TRUE(Form().MainMenu1->isVisible());
}

// "VDP Status" and "PSG Status" switched while the game is paused show or
// hide their box on the picture at once.
TEST_F(WindowKeysTest, OverlaysSwitchedOnAPausedGameShowAtOnce) {
    ASSERT_TRUE(StartGame());
    Form().mVideoClick();
    const QImage frame = FrameImage();
    struct Case {
        const char* Show;
        const char* Hide;
        QRect Box;
    };
    const Case cases[] = {{"mVDPSOn", "mVDPSOff", QRect(150, 47, 100, 98)},
                          {"mPSGSOn", "mPSGSOff", QRect(10, 47, 115, 108)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Show);
        Item(c.Show)->trigger();
        EXPECT_EQ(Shown().pixel(c.Box.topLeft()), kWhite);
        EXPECT_EQ(Shown().pixel(c.Box.bottomRight()), kWhite);
        EXPECT_NE(Shown().copy(c.Box), frame.copy(c.Box));
        Item(c.Hide)->trigger();
        EXPECT_EQ(Shown().copy(c.Box), frame.copy(c.Box));
        EXPECT_TRUE(NoteShown());
        EXPECT_EQ(Machine().Stopped, 1);
    }
}

}  // namespace
