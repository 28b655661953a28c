// The main window driven headless: the menu tree and its states, the
// commands' effects on the machine, the open-ROM flow and its battery path,
// error messages, the video modes, exit and close, the About dialog.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QFileSystemModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>

#include "AboutBox.h"
#include "MainForm.h"
#include "MessageCatcher.h"
#include "PsgReadout.h"
#include "FormRig.h"
#include "Settings.h"
#include "WaitFor.h"

namespace {

QString Rom(const char* name) { return QString(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms"; }

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class MainFormTest : public ::testing::Test, protected TFormRig {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        // Each test starts with no recent games.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path() + "/config");
        onFrame = [this](TSMS& machine) {
            // The machine waits during the hand-over: its RAM is at rest here.
            const uint8_t* ram = machine.Console->BatteryRam().data();
            if (ram[0] == 1 && ram[1] == 'T' && ram[2] == 'R' && ram[3] == 'V') cartridgeCounted_ = true;
        };
        CreateForm(dir_.path());
    }
    void TearDown() override { form.reset(); }


    // Runs the battery cartridge until it has counted its first run.
    bool RunUntilCounted() {
        Machine().TargetFps = 0;
        return WaitFor([&] { return cartridgeCounted_; });
    }

    QTemporaryDir dir_;
    bool cartridgeCounted_ = false;
};

struct TMenuEntry {
    const char* Name;
    const char* Caption;  // "-" for a separator
    int Depth;            // 0 = menu bar
    bool Checked;
    bool Disabled;
    const char* Shortcut = "";
};

const TMenuEntry kMenuTree[] = {
    {"mArquivo", "File", 0, false, false},
    {"mAbrir", "Load Game (ROM)", 1, false, false, "Ctrl+O"},
    {"mReinicio", "Game Reset", 1, false, true},
    {"mReiniCon", "Console Reset", 1, false, true},
    {"mPausa", "Pause", 1, false, true, "Ctrl+P"},
    {"N1", "-", 1, false, false},
    {"mBios", "Run BIOS", 1, false, false},
    {"mTipBIOS", "BIOS Type", 1, false, false},
    {"mBIOSBr", "American / Brazilian", 2, true, false},
    {"mBIOSJap", "Japanese", 2, false, false},
    {"N5", "-", 1, false, false},
    {"mSair", "Exit", 1, false, false},
    {"NRecent", "-", 1, false, false},
    {"mRecent", "Recent Games", 1, false, true},
    {"mVideo", "Graphics", 0, false, true},
    {"mFrameskip", "Frameskip", 1, false, false},
    {"mFrame75", "75% Frameskip", 2, false, false},
    {"mFrame50", "50% Frameskip", 2, false, false},
    {"mFrameOff", "No Frameskip", 2, true, false},
    {"mBck", "Background", 1, false, false},
    {"mBckOn", "ON", 2, true, false},
    {"mBckOff", "OFF", 2, false, false},
    {"mSpr", "Sprites", 1, false, false},
    {"mSprOn", "ON", 2, true, false},
    {"mSprOff", "OFF", 2, false, false},
    {"mExib", "Video Mode", 1, false, false},
    {"mJanela", "Windowed", 2, true, false},
    {"mCheia", "Full Screen", 2, false, false, "Alt+Enter"},
    {"N3", "-", 1, false, false},
    {"mVDPS", "VDP Status", 1, false, false},
    {"mVDPSOn", "Show", 2, false, false},
    {"mVDPSOff", "Hide", 2, true, false},
    {"NWindowSize", "-", 1, false, false},
    {"mWindowSize", "Window Size", 1, false, false},
    {"mSizeStretched", "Stretched", 2, true, false},
    {"mSize1", "1x", 2, false, false},
    {"mSize2", "2x", 2, false, false},
    {"mSize3", "3x", 2, false, false},
    {"mSize4", "4x", 2, false, false},
    {"mSharp", "Sharp scaling", 1, false, false},
    {"mAspect", "Keep aspect ratio", 1, false, false},
    {"mSom", "Sound", 0, false, true},
    {"mMixer", "General Output (Mixer)", 1, false, false},
    {"mMixerOn", "ON", 2, true, false},
    {"mMixerOff", "OFF", 2, false, false},
    {"N2", "-", 1, false, false},
    {"mTom1", "Tone Generator 1", 1, false, false},
    {"mTom1On", "ON", 2, true, false},
    {"mTom1Off", "OFF", 2, false, false},
    {"mTom2", "Tone Generator 2", 1, false, false},
    {"mTom2On", "ON", 2, true, false},
    {"mTom2Off", "OFF", 2, false, false},
    {"mTom3", "Tone Generator 3", 1, false, false},
    {"mTom3On", "ON", 2, true, false},
    {"mTom3Off", "OFF", 2, false, false},
    {"mRuido", "Noise Generator", 1, false, false},
    {"mRuidoOn", "ON", 2, true, false},
    {"mRuidoOff", "OFF", 2, false, false},
    {"N4", "-", 1, false, false},
    {"mPSGS", "PSG Status", 1, false, false},
    {"mPSGSOn", "Show", 2, false, false},
    {"mPSGSOff", "Hide", 2, true, false},
    {"N8", "-", 1, false, false},
    {"mVolume", "Volume", 1, false, false},
    {"mVolume100", "100%", 2, true, false},
    {"mVolume90", "90%", 2, false, false},
    {"mVolume80", "80%", 2, false, false},
    {"mVolume70", "70%", 2, false, false},
    {"mVolume60", "60%", 2, false, false},
    {"mVolume50", "50%", 2, false, false},
    {"mVolume40", "40%", 2, false, false},
    {"mVolume30", "30%", 2, false, false},
    {"mVolume20", "20%", 2, false, false},
    {"mVolume10", "10%", 2, false, false},
    {"mVolume0", "0%", 2, false, false},
    {"mEstado", "State", 0, false, true},
    {"mSalvar", "Save State", 1, false, true, "F5"},
    {"mCarregar", "Load State", 1, false, true, "F7"},
    {"mSlot", "Slot", 1, false, false},
    {"mSlot1", "Slot 1", 2, true, false},
    {"mSlot2", "Slot 2", 2, false, false},
    {"mSlot3", "Slot 3", 2, false, false},
    {"mSlot4", "Slot 4", 2, false, false},
    {"mSlot5", "Slot 5", 2, false, false},
    {"mSlot6", "Slot 6", 2, false, false},
    {"mSlot7", "Slot 7", 2, false, false},
    {"mSlot8", "Slot 8", 2, false, false},
    {"mSlot9", "Slot 9", 2, false, false},
    {"N6", "-", 1, false, false},
    {"mRebobinar", "Rewind", 1, true, false},
    {"mConsole", "Console", 0, false, false},
    {"mModel", "Model", 1, false, false},
    {"mModel_tiravel", "Tiravel", 2, true, false},
    {"mModel_sms1", "Master System", 2, false, false},
    {"mModel_sms2", "Master System II", 2, false, false},
    {"mModel_gamegear", "Game Gear", 2, false, false},
    {"mRegion", "Region", 1, false, true},
    {"mRegion_export", "Export", 2, true, false},
    {"mRegion_japan", "Japan", 2, false, false},
    {"mVideoStandard", "Video", 1, false, true},
    {"mVideoStandard_ntsc", "NTSC", 2, true, false},
    {"mVideoStandard_pal", "PAL", 2, false, false},
    {"mMapper", "Mapper", 1, false, true},
    {"mMapper_auto", "Automatic", 2, true, false},
    {"mMapper_sega", "Sega", 2, false, false},
    {"mMapper_codemasters", "Codemasters", 2, false, false},
    {"mMapper_korean", "Korean", 2, false, false},
    {"mMapper_none", "None", 2, false, false},
    {"N7", "-", 1, false, false},
    {"mConsoleNote", "Takes effect at the next Console Reset", 1, false, true},
    {"mEntrada", "Input", 0, false, false},
    {"mConfigurar", "Configure...", 1, false, false},
    {"mFerramentas", "Tools", 0, false, false},
    {"mDepurador", "Debugger", 1, false, false},
    {"Ajuda1", "Help", 0, false, false},
    {"Sobre1", "About", 1, false, false},
};

struct TShownItem {
    QAction* Action;
    int Depth;
};

void Walk(const QList<QAction*>& actions, int depth, std::vector<TShownItem>& out) {
    for (QAction* action : actions) {
        out.push_back({action, depth});
        if (action->menu() != nullptr) Walk(action->menu()->actions(), depth + 1, out);
    }
}

}  // namespace

TEST_F(MainFormTest, WindowHasItsTitleSizeAndDisplayControl) {
    EXPECT_EQ(Form().windowTitle(), "Tiravel");
    // Before it is shown the window has no frame yet: all of it is client.
    EXPECT_EQ(Form().frameGeometry().size(), QSize(522, 440));
    EXPECT_EQ(Form().size(), QSize(522, 440));
    ASSERT_NE(Form().DXDraw1, nullptr);
    EXPECT_EQ(Form().DXDraw1->objectName(), "DXDraw1");
    EXPECT_EQ(Form().centralWidget(), Form().DXDraw1);
    EXPECT_EQ(Machine().Display, Form().Display.get());
    EXPECT_EQ(Machine().Input1, &Form().Joystick1);
    EXPECT_EQ(Machine().Input2, &Form().Joystick2);
    EXPECT_EQ(Form().Timers.OpenPeriods(), 1);
    EXPECT_EQ(Machine().CoresCreated, 0);
}

// The window's outer size, frame included, is 522 x 440 once the window
// system has framed it; the client area is what the frame leaves.
TEST_F(MainFormTest, TheFramedWindowMeasures522By440Outside) {
    Form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form()));
    ASSERT_TRUE(WaitFor([&] { return Form().frameGeometry().size() == QSize(522, 440); }, 3000))
        << "outer " << Form().frameGeometry().width() << " x " << Form().frameGeometry().height();
    const QMargins frame = Form().windowHandle()->frameMargins();
    EXPECT_FALSE(frame.isNull()) << "the offscreen platform draws a frame";
    EXPECT_EQ(Form().size(), QSize(522, 440).shrunkBy(frame));

    // Full screen and back: the windowed size is the outer one again.
    Form().mBiosClick();
    Form().mVideoClick();
    Form().mCheiaClick();
    ASSERT_TRUE(RunFrames(2));
    QTest::keyClick(Form().DXDraw1, Qt::Key_Escape);
    ASSERT_TRUE(RunFrames(2));
    EXPECT_TRUE(WaitFor([&] { return Form().frameGeometry().size() == QSize(522, 440); }, 3000))
        << "outer " << Form().frameGeometry().width() << " x " << Form().frameGeometry().height();
    EXPECT_EQ(Form().size(), QSize(522, 440).shrunkBy(Form().windowHandle()->frameMargins()));

    // A size the player gives the window stays.
    Form().resize(700, 500);
    ASSERT_TRUE(WaitFor([&] { return Form().size() == QSize(700, 500); }, 3000));
    Form().move(Form().pos() + QPoint(5, 5));
    QCoreApplication::processEvents();
    EXPECT_EQ(Form().size(), QSize(700, 500));
}

// What the menu bar really shows, walked from the bar, against the table.
TEST_F(MainFormTest, MenuTreeHasTheNamesCaptionsOrderAndInitialStates) {
    std::vector<TShownItem> shown;
    Walk(Form().MainMenu1->actions(), 0, shown);
    ASSERT_EQ(shown.size(), std::size(kMenuTree));
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const TMenuEntry& want = kMenuTree[i];
        QAction* action = shown[i].Action;
        SCOPED_TRACE(want.Name);
        EXPECT_EQ(action->objectName(), want.Name);
        EXPECT_EQ(Form().Item(want.Name), action);
        EXPECT_EQ(shown[i].Depth, want.Depth);
        if (QString(want.Caption) == "-") {
            EXPECT_TRUE(action->isSeparator());
        } else {
            // The caption as shown: the mnemonic's '&' only underlines its
            // letter, and a slot's item may show what it holds after a tab
            // (the shortcut column).
            EXPECT_EQ(action->text().section('\t', 0, 0).remove('&'), want.Caption);
            EXPECT_EQ(action->shortcut().toString(), want.Shortcut);
        }
        EXPECT_EQ(action->isChecked(), want.Checked);
        EXPECT_EQ(!action->isEnabled(), want.Disabled);
    }
    EXPECT_EQ(Form().ItemNames().size(), static_cast<qsizetype>(std::size(kMenuTree)));
}

TEST_F(MainFormTest, DefaultKeyBindings) {
    using S = TInputState;
    struct Binding {
        TInputDevice* Device;
        S State;
        int Slot;
        TKeyCode Key;
    };
    const Binding bindings[] = {
        {&Form().Joystick1, S::Up, 0, 0x26}, {&Form().Joystick1, S::Up, 1, 0},
        {&Form().Joystick1, S::Up, 2, 0x68}, {&Form().Joystick1, S::Down, 0, 0x28},
        {&Form().Joystick1, S::Left, 0, 0x25}, {&Form().Joystick1, S::Right, 0, 0x27},
        {&Form().Joystick1, S::Button1, 0, 0x58}, {&Form().Joystick1, S::Button2, 0, 0x43},
        {&Form().Joystick1, S::Button3, 0, 0x0D}, {&Form().Joystick1, S::Down, 2, 0},
        {&Form().Joystick2, S::Up, 0, 0x57}, {&Form().Joystick2, S::Down, 0, 0x53},
        {&Form().Joystick2, S::Left, 0, 0x41}, {&Form().Joystick2, S::Right, 0, 0x44},
        {&Form().Joystick2, S::Button1, 0, 0x47}, {&Form().Joystick2, S::Button2, 0, 0x48},
        {&Form().Joystick2, S::Button3, 0, 0}, {&Form().Joystick2, S::Up, 2, 0},
    };
    for (const Binding& b : bindings)
        EXPECT_EQ(b.Device->BoundKey(b.State, b.Slot), b.Key)
            << "player " << (b.Device == &Form().Joystick1 ? 1 : 2) << " state " << static_cast<int>(b.State)
            << " slot " << b.Slot;
}

// Both players read the one keyboard of the window, through their own keys.
TEST_F(MainFormTest, KeysOfTheWindowPlayBothPads) {
    Form().show();
    Form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Form()));
    QTest::keyPress(Form().DXDraw1, Qt::Key_8, Qt::KeypadModifier);
    QTest::keyPress(Form().DXDraw1, Qt::Key_G);
    Form().Joystick1.Update();
    Form().Joystick2.Update();
    EXPECT_TRUE(Form().Joystick1.State(TInputState::Up));
    EXPECT_FALSE(Form().Joystick1.State(TInputState::Button1));
    EXPECT_TRUE(Form().Joystick2.State(TInputState::Button1));
    EXPECT_FALSE(Form().Joystick2.State(TInputState::Up));
    QTest::keyRelease(Form().DXDraw1, Qt::Key_8, Qt::KeypadModifier);
    QTest::keyRelease(Form().DXDraw1, Qt::Key_G);
    Form().Joystick1.Update();
    Form().Joystick2.Update();
    EXPECT_FALSE(Form().Joystick1.State(TInputState::Up));
    EXPECT_FALSE(Form().Joystick2.State(TInputState::Button1));
}

// Each choice item checks itself, unchecks its siblings and sets its switch.
TEST_F(MainFormTest, ChoiceItemsCheckThemselvesAndSetTheirSwitch) {
    Form().mBiosClick();
    Form().mArquivoClick();
    struct Case {
        const char* Item;
        std::vector<const char*> Siblings;
        std::function<int()> Switch;
        int Want;
    };
    TSMS& m = Machine();
    auto sound = [&] {
        T_PSG_READOUT info;
        m.Console->ReadSound(info);
        return info;
    };
    const Case cases[] = {
        {"mFrame75", {"mFrame50", "mFrameOff"}, [&] { return int(m.Console->Frameskip()); }, 3},
        {"mFrame50", {"mFrame75", "mFrameOff"}, [&] { return int(m.Console->Frameskip()); }, 1},
        {"mFrameOff", {"mFrame75", "mFrame50"}, [&] { return int(m.Console->Frameskip()); }, 0},
        {"mBckOff", {"mBckOn"}, [&] { return int(m.Console->BackgroundLayer()); }, 0},
        {"mBckOn", {"mBckOff"}, [&] { return int(m.Console->BackgroundLayer()); }, 1},
        {"mSprOff", {"mSprOn"}, [&] { return int(m.Console->SpriteLayer()); }, 0},
        {"mSprOn", {"mSprOff"}, [&] { return int(m.Console->SpriteLayer()); }, 1},
        {"mVDPSOn", {"mVDPSOff"}, [&] { return int(m.ShowVdpStatus); }, 1},
        {"mVDPSOff", {"mVDPSOn"}, [&] { return int(m.ShowVdpStatus); }, 0},
        {"mMixerOff", {"mMixerOn"}, [&] { return int(sound().MixerOn); }, 0},
        {"mMixerOn", {"mMixerOff"}, [&] { return int(sound().MixerOn); }, 1},
        {"mTom1Off", {"mTom1On"}, [&] { return int(sound().Tones[0].Enabled); }, 0},
        {"mTom1On", {"mTom1Off"}, [&] { return int(sound().Tones[0].Enabled); }, 1},
        {"mTom2Off", {"mTom2On"}, [&] { return int(sound().Tones[1].Enabled); }, 0},
        {"mTom3Off", {"mTom3On"}, [&] { return int(sound().Tones[2].Enabled); }, 0},
        {"mRuidoOff", {"mRuidoOn"}, [&] { return int(sound().Noise.Enabled); }, 0},
        {"mRuidoOn", {"mRuidoOff"}, [&] { return int(sound().Noise.Enabled); }, 1},
        {"mPSGSOn", {"mPSGSOff"}, [&] { return int(m.ShowPsgStatus); }, 1},
        {"mPSGSOff", {"mPSGSOn"}, [&] { return int(m.ShowPsgStatus); }, 0},
        {"mBIOSJap", {"mBIOSBr"}, [&] { return int(m.Console->BiosType()); }, 0},
        {"mBIOSBr", {"mBIOSJap"}, [&] { return int(m.Console->BiosType()); }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Item);
        Item(c.Item)->trigger();
        EXPECT_TRUE(Item(c.Item)->isChecked());
        for (const char* sibling : c.Siblings) EXPECT_FALSE(Item(sibling)->isChecked()) << sibling;
        EXPECT_EQ(c.Switch(), c.Want);
    }
}

TEST_F(MainFormTest, FirstStartEnablesTheDisabledMenusForGood) {
    Form().mBiosClick();
    EXPECT_EQ(Machine().Ready, 1);
    EXPECT_EQ(Machine().Stopped, 0);
    for (const char* name : {"mVideo", "mSom", "mReinicio", "mReiniCon"}) EXPECT_TRUE(Item(name)->isEnabled()) << name;
    Form().mArquivoClick();
    Form().mBIOSJapClick();
    for (const char* name : {"mVideo", "mSom", "mReinicio", "mReiniCon"}) EXPECT_TRUE(Item(name)->isEnabled()) << name;
}

// Opening a top-level menu pauses the machine; a click on the picture resumes it.
TEST_F(MainFormTest, OpeningAMenuPausesAndAClickOnThePictureResumes) {
    Form().mBiosClick();
    for (const char* name :
         {"mArquivo", "mVideo", "mSom", "mEstado", "mConsole", "mEntrada", "mFerramentas", "Ajuda1"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(Machine().Stopped, 0);
        emit Form().Menu(name)->aboutToShow();
        EXPECT_EQ(Machine().Stopped, 1);
        EXPECT_TRUE(Machine().Suspended());
        QTest::mouseClick(Form().DXDraw1, Qt::LeftButton);
        EXPECT_EQ(Machine().Stopped, 0);
    }
}

TEST_F(MainFormTest, OpenRomStartsTheGameWithItsBatteryFileBesideTheProgram) {
    QString chosenIn;
    Form().ChooseRomFile = [&](const QString& dir) {
        chosenIn = dir;
        return Rom("handover");
    };
    Form().mArquivoClick();
    Form().mAbrirClick();
    EXPECT_EQ(chosenIn, dir_.path());
    EXPECT_EQ(Machine().Ready, 1);
    EXPECT_EQ(Machine().Stopped, 0);
    EXPECT_EQ(QString::fromStdString(Machine().RamPath), dir_.path() + "/RAMs/handover.RAM");
    EXPECT_EQ(Machine().Priority(), TThreadPriority::BelowNormal);
    EXPECT_TRUE(Item("mVideo")->isEnabled());
    EXPECT_TRUE(RunFrames(3));
}

TEST_F(MainFormTest, RomNameLosesItsLastFourCharactersWhateverTheyAre) {
    EXPECT_EQ(TMainForm::RomName("/games/Game.sms"), "Game");
    EXPECT_EQ(TMainForm::RomName("/x/Demo12"), "De");
    // A name that short stays whole: cut, it would leave every such game the one file ".RAM".
    EXPECT_EQ(TMainForm::RomName("/x/abc"), "abc");
    EXPECT_EQ(TMainForm::RomName("relative.SMS"), "relative");

    // The same rule on a real open: a cartridge copied under a name without extension.
    const QString demo = dir_.path() + "/Demo12";
    ASSERT_TRUE(QFile::copy(Rom("handover"), demo));
    ASSERT_TRUE(Open(demo));
    EXPECT_EQ(QString::fromStdString(Machine().RamPath), dir_.path() + "/RAMs/De.RAM");
}

TEST_F(MainFormTest, BatteryFilesGoToTheUserDataFolderWhenTheProgramFolderIsNotWritable) {
    EXPECT_EQ(TMainForm::RamFolder(dir_.path()), dir_.path() + "/RAMs");
    EXPECT_EQ(TMainForm::RamFolder(dir_.path() + "/no-such-folder"), dir_.path() + "/xdg/tiravel/RAMs");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(TMainForm::RamFolder(dir_.path() + "/no-such-folder"), QDir::homePath() + "/.local/share/tiravel/RAMs");
}

TEST_F(MainFormTest, CancelledChoiceLeavesTheMachinePaused) {
    Form().mBiosClick();
    Form().mArquivoClick();
    Form().ChooseRomFile = [](const QString&) { return QString(); };
    Form().mAbrirClick();
    EXPECT_EQ(Machine().Stopped, 1);
    Form().DXDraw1Click();
    EXPECT_EQ(Machine().Stopped, 0);
}

TEST_F(MainFormTest, UnreadableRomShowsItsMessageAndLeavesTheMachineNotReady) {
    const QString bad = dir_.path() + "/missing.sms";
    TMessageCatcher catcher;
    EXPECT_FALSE(Open(bad));
    ASSERT_EQ(catcher.Texts.size(), 1);
    EXPECT_TRUE(catcher.Texts[0].contains(bad)) << catcher.Texts[0].toStdString();
    EXPECT_EQ(Machine().Ready, 0);
    EXPECT_EQ(Machine().Stopped, 1);
    EXPECT_FALSE(Item("mVideo")->isEnabled());
    Form().DXDraw1Click();
    EXPECT_EQ(Machine().Stopped, 1);
}

TEST_F(MainFormTest, GameResetIsSeenOnceOnPortDD) {
    ASSERT_TRUE(Open(Rom("handover")));
    Form().mArquivoClick();
    Form().mReinicioClick();
    EXPECT_EQ(Machine().Console->ReadPort(0xDD) & 0x10, 0);
    EXPECT_EQ(Machine().Console->ReadPort(0xDD) & 0x10, 0x10);
    EXPECT_EQ(Machine().Stopped, 1);
}

TEST_F(MainFormTest, BiosTypeChangeLeavesTheGameNotReadyUntilConsoleReset) {
    ASSERT_TRUE(Open(Rom("handover")));
    ASSERT_TRUE(RunFrames(2));
    Form().mArquivoClick();
    Form().mBIOSJapClick();
    EXPECT_EQ(Machine().Ready, 0);
    EXPECT_EQ(Machine().Console->BiosType(), 0);
    Form().DXDraw1Click();
    EXPECT_EQ(Machine().Stopped, 1);
    Form().mArquivoClick();
    Form().mReiniConClick();
    EXPECT_EQ(Machine().Ready, 1);
    EXPECT_EQ(Machine().Stopped, 0);
    EXPECT_EQ(Machine().Console->BiosType(), 0);
    EXPECT_TRUE(RunFrames(2));
}

// "Console": the model and its options are kept in the settings and reach
// the machine at the next Console Reset (the cartridge stays), powered on as
// the chosen model with its own pace; a new window starts with them; the
// Tiravel model greys the rest and is today's machine again.
TEST_F(MainFormTest, ConsoleChoiceIsKeptAndTakesEffectAtConsoleReset) {
    ASSERT_TRUE(Open(Rom("handover")));
    ASSERT_TRUE(RunFrames(2));
    emit Form().Menu("mConsole")->aboutToShow();
    EXPECT_EQ(Machine().Stopped, 1);
    const char* const hardwareOnly[] = {"mRegion", "mVideoStandard", "mMapper"};
    for (const char* name : hardwareOnly) EXPECT_FALSE(Item(name)->isEnabled()) << name;
    for (const char* name : {"mModel_sms2", "mVideoStandard_pal", "mRegion_japan", "mMapper_sega"})
        Item(name)->trigger();
    for (const char* name : hardwareOnly) EXPECT_TRUE(Item(name)->isEnabled()) << name;
    EXPECT_FALSE(Item("mModel_tiravel")->isChecked());
    EXPECT_FALSE(Item("mVideoStandard_ntsc")->isChecked());
    // The game goes on as the console it started on, and the picture says
    // when the choice applies.
    EXPECT_EQ(Machine().Console->Settings(), TConsoleSettings{});
    EXPECT_EQ(Machine().ShownMessage(), "Takes effect at the next Console Reset");
    {
        const QSettings file(SettingsFilePath(), QSettings::NativeFormat);
        EXPECT_EQ(file.value("Console/Model").toString(), "sms2");
        EXPECT_EQ(file.value("Console/Region").toString(), "japan");
        EXPECT_EQ(file.value("Console/Video").toString(), "pal");
        EXPECT_EQ(file.value("Console/Mapper").toString(), "sega");
    }

    Form().mArquivoClick();
    Form().mReiniConClick();
    const TConsoleSettings chosen{TConsoleModel::MasterSystem2, TConsoleRegion::Japan, TConsoleVideo::Pal,
                                  TConsoleMapper::Sega};
    EXPECT_EQ(Machine().Console->Settings(), chosen);
    EXPECT_NEAR(Machine().TargetFps, 49.7015, 0.001);
    EXPECT_EQ(Machine().Console->CartridgeName(), "handover.sms");
    EXPECT_EQ(Machine().Stopped, 0);
    ASSERT_TRUE(RunFrames(3));
    EXPECT_EQ(Machine().FrameStream.Size, Machine().Console->FrameImageSize());

    // A new window reads the choice and starts with it.
    form.reset();
    CreateForm(dir_.path());
    EXPECT_EQ(Form().ChosenConsole(), chosen);
    EXPECT_EQ(Machine().ConsoleSettings, chosen);
    for (const char* name : {"mModel_sms2", "mVideoStandard_pal", "mRegion_japan", "mMapper_sega"})
        EXPECT_TRUE(Item(name)->isChecked()) << name;
    Form().mBiosClick();
    EXPECT_EQ(Machine().Console->Settings(), chosen);

    // Tiravel again: the other choices wait, greyed, and the Console Reset
    // brings back the default machine at its 60 frames of 192 lines.
    emit Form().Menu("mConsole")->aboutToShow();
    Item("mModel_tiravel")->trigger();
    for (const char* name : hardwareOnly) EXPECT_FALSE(Item(name)->isEnabled()) << name;
    EXPECT_TRUE(Item("mVideoStandard_pal")->isChecked());
    Form().mArquivoClick();
    Form().mReiniConClick();
    EXPECT_EQ(Machine().Console->Settings(), TConsoleSettings{});
    EXPECT_EQ(Machine().TargetFps, 60.0);
    ASSERT_TRUE(RunFrames(2));
    EXPECT_EQ(Machine().FrameStream.Size, 50230u);

    // An id the program does not know (a hand edit) is the default.
    form.reset();
    QSettings(SettingsFilePath(), QSettings::NativeFormat).setValue("Console/Model", "sms9");
    CreateForm(dir_.path());
    EXPECT_TRUE(Item("mModel_tiravel")->isChecked());
    EXPECT_EQ(Form().ChosenConsole().Video, TConsoleVideo::Pal);
}

// The Game Gear in "Console": a region and a mapper as the Master Systems
// have, but no video standard (greyed, saying why, its PAL choice kept for
// a Master System); at its Console Reset the handheld at the NTSC rate, and
// the window's whole sizes are multiples of its picture, whatever its size.
TEST_F(MainFormTest, GameGearTakesRegionAndMapperAndSizesTheWindowToItsPicture) {
    Form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form()));
    ASSERT_TRUE(Open(Rom("handover")));
    ASSERT_TRUE(RunFrames(2));
    emit Form().Menu("mConsole")->aboutToShow();
    for (const char* name : {"mVideoStandard_pal", "mModel_gamegear"}) Item(name)->trigger();
    EXPECT_TRUE(Item("mRegion")->isEnabled());
    EXPECT_TRUE(Item("mMapper")->isEnabled());
    EXPECT_FALSE(Item("mVideoStandard")->isEnabled());
    EXPECT_TRUE(Item("mVideoStandard")->toolTip().contains("one video standard")) << Item("mVideoStandard")->toolTip().toStdString();
    EXPECT_TRUE(Item("mVideoStandard_pal")->isChecked());
    EXPECT_EQ(Machine().ShownMessage(), "Takes effect at the next Console Reset");
    Form().mArquivoClick();
    Form().mReiniConClick();
    EXPECT_EQ(Machine().Console->Settings().Model, TConsoleModel::GameGear);
    EXPECT_EQ(Machine().Console->Settings().Video, TConsoleVideo::Ntsc);
    EXPECT_NEAR(Machine().TargetFps, 59.9227, 0.001);
    ASSERT_TRUE(RunFrames(3));
    EXPECT_EQ(Machine().FrameStream.Size, Machine().Console->FrameImageSize());
    const QSize picture(static_cast<int>(Machine().Console->PictureWidth()),
                        static_cast<int>(Machine().Console->PictureHeight()));
    Form().mVideoClick();
    for (int scale : {1, 2, 3, 4}) {
        Item(("mSize" + std::to_string(scale)).c_str())->trigger();
        EXPECT_TRUE(WaitFor([&] { return Form().DXDraw1->size() == picture * scale; }, 3000))
            << scale << "x: " << Form().DXDraw1->width() << " x " << Form().DXDraw1->height();
    }
    // Stretched: the handheld's picture keeps its shape in a window as high
    // as the console's; the console's picture fills the 522 x 440.
    Item("mSizeStretched")->trigger();
    const auto outer = [&] { return Form().frameGeometry().size(); };
    if (picture.width() == 160) {
        EXPECT_TRUE(WaitFor([&] { return outer().height() == 440; }, 3000)) << outer().height();
        EXPECT_NEAR(Form().DXDraw1->width() * 9.0 / Form().DXDraw1->height(), 10.0, 0.05);
    } else {
        EXPECT_TRUE(WaitFor([&] { return outer() == QSize(522, 440); }, 3000));
    }
    // Back to the default model, back to the 522 x 440.
    emit Form().Menu("mConsole")->aboutToShow();
    Item("mModel_tiravel")->trigger();
    Form().mArquivoClick();
    Form().mReiniConClick();
    ASSERT_TRUE(RunFrames(3));
    EXPECT_TRUE(WaitFor([&] { return outer() == QSize(522, 440); }, 3000))
        << outer().width() << " x " << outer().height();
}

// A Game Gear cartridge (a .gg file) starts the Game Gear
// whatever the menu says, and says so on the picture; its Console Resets keep
// it; the menu keeps the player's choice, which the next .sms file runs.
TEST_F(MainFormTest, AGameGearCartridgeStartsTheGameGearAndTheMenuKeepsThePlayersModel) {
    ASSERT_EQ(Console_ModelForCartridge("game.gg", {}, TConsoleModel::Tiravel), TConsoleModel::GameGear);
    emit Form().Menu("mConsole")->aboutToShow();
    Item("mModel_sms2")->trigger();
    const QString gg = dir_.path() + "/Handheld.gg";
    ASSERT_TRUE(QFile::copy(Rom("handover"), gg));
    ASSERT_TRUE(Open(gg));
    EXPECT_EQ(Machine().Console->Settings().Model, TConsoleModel::GameGear);
    EXPECT_EQ(Machine().ShownMessage(), "Game Gear");
    EXPECT_TRUE(Item("mModel_sms2")->isChecked());
    EXPECT_EQ(Form().ChosenConsole().Model, TConsoleModel::MasterSystem2);
    ASSERT_TRUE(RunFrames(2));

    // Another model chosen now is for the other games.
    emit Form().Menu("mConsole")->aboutToShow();
    Item("mModel_sms1")->trigger();
    EXPECT_EQ(Machine().ShownMessage(), "Applies to other cartridges");
    Form().mArquivoClick();
    Form().mReiniConClick();
    EXPECT_EQ(Machine().Console->Settings().Model, TConsoleModel::GameGear);

    ASSERT_TRUE(Open(Rom("handover")));
    EXPECT_EQ(Machine().Console->Settings().Model, TConsoleModel::MasterSystem);
    EXPECT_NE(Machine().ShownMessage(), "Game Gear");

    // The BIOS alone is the player's model too.
    ASSERT_TRUE(Open(gg));
    EXPECT_EQ(Machine().Console->Settings().Model, TConsoleModel::GameGear);
    Form().mBiosClick();
    EXPECT_EQ(Machine().Console->Settings().Model, TConsoleModel::MasterSystem);
}

TEST_F(MainFormTest, ExitSavesTheBatteryRamAndEnds) {
    ASSERT_TRUE(Open(Rom("battery")));
    ASSERT_TRUE(RunUntilCounted());
    Form().mSairClick();  // running: Exit parks the machine itself
    const QByteArray saved = ReadAll(dir_.path() + "/RAMs/battery.RAM");
    ASSERT_EQ(saved.size(), 32768);
    EXPECT_EQ(saved.mid(1, 3), "TRV");
    EXPECT_EQ(static_cast<uint8_t>(saved[0]), 1);
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(Form().Timers.OpenPeriods(), 0);
}

TEST_F(MainFormTest, ExitBeforeAnyStartSavesNothing) {
    Form().mSairClick();
    EXPECT_FALSE(QDir(dir_.path() + "/RAMs").exists());
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(Form().Timers.OpenPeriods(), 0);
}

TEST_F(MainFormTest, FailedSaveOnExitIsShownOnceNamingTheFile) {
    ASSERT_TRUE(Open(Rom("battery")));
    ASSERT_TRUE(RunUntilCounted());
    // A file where the RAMs folder should be: the folder cannot be made.
    QFile blocker(dir_.path() + "/RAMs");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Form().mArquivoClick();  // the menu's save fails and is reported...
    TMessageCatcher catcher;
    Form().mSairClick();     // ...and Exit's own save fails the same way
    ASSERT_EQ(catcher.Texts.size(), 1) << catcher.Texts.join("\n").toStdString();
    EXPECT_TRUE(catcher.Texts[0].contains("battery.RAM")) << catcher.Texts[0].toStdString();
    EXPECT_EQ(quits, 1);
    QTest::qWait(30);
    EXPECT_EQ(catcher.Texts.size(), 1);
}

TEST_F(MainFormTest, ClosingTheWindowSavesTheBatteryRam) {
    Form().show();
    ASSERT_TRUE(Open(Rom("battery")));
    ASSERT_TRUE(RunUntilCounted());
    EXPECT_TRUE(Form().close());
    EXPECT_EQ(ReadAll(dir_.path() + "/RAMs/battery.RAM").mid(1, 3), "TRV");
    EXPECT_EQ(quits, 1);
}

TEST_F(MainFormTest, TerminationSignalClosesTheWindowSavingTheBatteryRam) {
    Form().show();
    Form().CloseOnQuitSignals();
    ASSERT_TRUE(Open(Rom("battery")));
    ASSERT_TRUE(RunUntilCounted());
    ASSERT_EQ(::raise(SIGTERM), 0);
    ASSERT_TRUE(WaitFor([&] { return quits == 1; }, 5000));
    EXPECT_FALSE(Form().isVisible());
    EXPECT_EQ(ReadAll(dir_.path() + "/RAMs/battery.RAM").mid(1, 3), "TRV");
}

TEST_F(MainFormTest, CommandLineRomStartsOnceTheWindowIsShown) {
    Form().SetStartRom(Rom("handover"));
    EXPECT_EQ(Machine().Ready, 0);
    Form().show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Machine().Ready == 1; }, 5000));
    EXPECT_EQ(Machine().Stopped, 0);
    EXPECT_EQ(QString::fromStdString(Machine().RamPath), dir_.path() + "/RAMs/handover.RAM");
    EXPECT_TRUE(RunFrames(2));
}

TEST_F(MainFormTest, FullScreenIsFramelessWithoutMenuBarAndEscapeComesBack) {
    Form().show();
    Form().mBiosClick();
    Form().mVideoClick();
    Form().mCheiaClick();
    EXPECT_TRUE(Item("mCheia")->isChecked());
    EXPECT_FALSE(Item("mJanela")->isChecked());
    EXPECT_TRUE(Form().windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(Form().MainMenu1->isVisible());
    EXPECT_EQ(Machine().Stopped, 0);
    ASSERT_TRUE(RunFrames(2));
    EXPECT_TRUE(Form().Display->FullScreenOption());

    // The key reaches the picture, which has the focus, and rises to the window.
    QTest::keyClick(Form().DXDraw1, Qt::Key_Escape);
    EXPECT_TRUE(Item("mJanela")->isChecked());
    EXPECT_FALSE(Item("mCheia")->isChecked());
    EXPECT_FALSE(Form().windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(Form().MainMenu1->isVisible());
    EXPECT_TRUE(WaitFor([&] { return Form().frameGeometry().size() == QSize(522, 440); }, 3000));
    EXPECT_EQ(Machine().Stopped, 0);
    ASSERT_TRUE(RunFrames(2));
    EXPECT_FALSE(Form().Display->FullScreenOption());
    EXPECT_FALSE(Form().isFullScreen());
}

TEST_F(MainFormTest, RefusedFullScreenIsReportedAndTheWindowComesBack) {
    Form().show();
    Form().mBiosClick();
    Form().Display->RefuseFullScreen = true;
    TMessageCatcher catcher;
    Form().mVideoClick();
    Form().mCheiaClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !catcher.Texts.isEmpty(); }, 5000));
    EXPECT_TRUE(catcher.Texts[0].contains("full screen")) << catcher.Texts[0].toStdString();
    EXPECT_EQ(Machine().Stopped, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Item("mJanela")->isChecked(); }, 2000));
    EXPECT_FALSE(Item("mCheia")->isChecked());
    EXPECT_TRUE(Form().MainMenu1->isVisible());
    EXPECT_FALSE(Form().windowFlags() & Qt::FramelessWindowHint);
    Form().Display->RefuseFullScreen = false;
    Form().DXDraw1Click();
    EXPECT_EQ(Machine().Stopped, 0);
    EXPECT_TRUE(RunFrames(2));
    EXPECT_EQ(catcher.Texts.size(), 1);
}

TEST_F(MainFormTest, OpenDialogMatchesRomFilesInAnyLetterCase) {
    QFileDialog& dialog = *Form().OpenDialog1;
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog.nameFilters(),
              (QStringList{"Master System and Game Gear cartridges (*.sms *.gg *.bin *.zip *.7z *.gz)",
                           "Sega Master System ROM File (*.SMS)", "All files (*)"}));
    const QString roms = dir_.path() + "/roms";
    QDir().mkpath(roms);
    for (const char* name : {"a.sms", "B.SMS", "c.Sms", "d.txt", "e.smsx", "f.ZIP", "g.7z", "h.sms.gz", "i.bin", "J.BIN",
                             "k.gg", "L.GG", "m.ggx"}) {
        QFile file(roms + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
    dialog.setDirectory(roms);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(model->index(roms)) >= 3; }, 5000));
    const auto shown = [&] {
        QTest::qWait(50);
        QStringList names;
        const QModelIndex parent = model->index(roms);
        for (int row = 0; row < model->rowCount(parent); ++row) {
            const QModelIndex index = model->index(row, 0, parent);
            if (model->flags(index) & Qt::ItemIsEnabled) names << model->fileName(index);
        }
        names.sort();
        return names;
    };
    EXPECT_EQ(shown(), (QStringList{"B.SMS", "J.BIN", "L.GG", "a.sms", "c.Sms", "f.ZIP", "g.7z", "h.sms.gz", "i.bin",
                                    "k.gg"}));
    dialog.selectNameFilter("All files (*)");
    EXPECT_EQ(shown().size(), 13);
    dialog.reject();
}

// ---------------------------------------------------------------- states

namespace {

// The speed cartridge counts frame interrupts in cartridge RAM and shows the
// count, so its picture and its RAM change every frame.
uint16_t FrameCount(const TSMS& machine) {
    const std::span<const uint8_t> ram = machine.Console->BatteryRam();
    return uint16_t(ram[0] | ram[1] << 8);
}

QByteArray Frame(const TSMS& machine) {
    return QByteArray(reinterpret_cast<const char*>(machine.FrameStream.Data), int(machine.FrameStream.Size));
}

// The shown picture above the message box at the bottom.
QImage PictureAboveTheMessage(const TMainForm& form) { return form.Display->Surface().copy(0, 0, 256, 160); }

}  // namespace

class StateMenuTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        form->SMS->OnPresentFrame = [this](TSMS& machine) {
            ++frames;
            lastCount_ = FrameCount(machine);
        };
    }
    QString StateFile(int slot) { return dir_.path() + "/States/speed.st" + QString::number(slot); }
    void ShowActive() {
        Form().show();
        Form().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Form()));
    }
    // Starts the speed cartridge and runs it past the BIOS, until it counts.
    bool StartCounting() {
        if (!Open(Rom("speed"))) return false;
        Machine().TargetFps = 0;
        return WaitFor([&] { return lastCount_ >= 10; });
    }
    uint16_t lastCount_ = 0;
};

TEST_F(StateMenuTest, StateFilesFollowTheBatteryFilesFolderRule) {
    EXPECT_EQ(TMainForm::StateFolder(dir_.path()), dir_.path() + "/States");
    EXPECT_EQ(TMainForm::StateFolder(dir_.path() + "/no-such-folder"), dir_.path() + "/xdg/tiravel/States");
    EXPECT_EQ(Form().StateFile(1), "");
    ASSERT_TRUE(Open(Rom("speed")));
    EXPECT_EQ(Form().StateFile(3), StateFile(3));
    EXPECT_TRUE(Item("mEstado")->isEnabled());
    EXPECT_TRUE(Item("mSalvar")->isEnabled());
    // The BIOS alone has no ROM name to file a state under.
    Form().mArquivoClick();
    Form().mBiosClick();
    EXPECT_EQ(Form().StateFile(3), "");
    EXPECT_FALSE(Item("mSalvar")->isEnabled());
    EXPECT_FALSE(Item("mCarregar")->isEnabled());
}

// From the menu, with the machine stopped: the state goes to the slot's file,
// and loading it brings back the machine, its cartridge RAM and its picture,
// which the stopped window shows at once.
TEST_F(StateMenuTest, MenuSavesAndLoadsWhileTheMachineIsStopped) {
    ASSERT_TRUE(StartCounting());
    Form().mEstadoClick();
    ASSERT_EQ(Machine().Stopped, 1);
    const uint16_t savedCount = FrameCount(Machine());
    const QByteArray savedFrame = Frame(Machine());
    uint64_t flips = Form().DXDraw1->Flips();
    Item("mSalvar")->trigger();
    EXPECT_TRUE(QFileInfo(StateFile(1)).isFile());
    EXPECT_EQ(Machine().ShownMessage(), "State 1 saved");
    EXPECT_GT(Form().DXDraw1->Flips(), flips);  // the message is on the stopped picture
    const QImage savedPicture = PictureAboveTheMessage(Form());

    Form().DXDraw1Click();
    ASSERT_TRUE(RunFrames(30));
    Form().mEstadoClick();
    ASSERT_NE(FrameCount(Machine()), savedCount);
    ASSERT_NE(PictureAboveTheMessage(Form()), savedPicture);

    flips = Form().DXDraw1->Flips();
    Item("mCarregar")->trigger();
    EXPECT_EQ(Machine().ShownMessage(), "State 1 loaded");
    EXPECT_EQ(FrameCount(Machine()), savedCount);
    EXPECT_EQ(Frame(Machine()), savedFrame);
    EXPECT_GT(Form().DXDraw1->Flips(), flips);
    EXPECT_EQ(PictureAboveTheMessage(Form()), savedPicture);
    EXPECT_EQ(Machine().Stopped, 1);

    // The loaded game runs on from its count, and Exit saves that battery RAM.
    Form().DXDraw1Click();
    ASSERT_TRUE(RunFrames(5));
    EXPECT_GT(lastCount_, savedCount);
    EXPECT_LT(lastCount_, savedCount + 25);
    Form().mSairClick();
    const QByteArray battery = ReadAll(dir_.path() + "/RAMs/speed.RAM");
    ASSERT_EQ(battery.size(), 32768);
    EXPECT_LT(uint16_t(uint8_t(battery[0]) | uint8_t(battery[1]) << 8), savedCount + 25);
}

TEST_F(StateMenuTest, AnEmptySlotIsNamedOnThePictureWithoutABox) {
    ASSERT_TRUE(StartCounting());
    Form().mEstadoClick();
    TMessageCatcher catcher;
    Item("mSlot4")->trigger();
    EXPECT_EQ(Form().Slot(), 4);
    EXPECT_TRUE(Item("mSlot4")->isChecked());
    EXPECT_FALSE(Item("mSlot1")->isChecked());
    const uint16_t count = FrameCount(Machine());
    Item("mCarregar")->trigger();
    EXPECT_EQ(Machine().ShownMessage(), "No state in slot 4");
    EXPECT_EQ(FrameCount(Machine()), count);
    QTest::qWait(30);
    EXPECT_TRUE(catcher.Texts.isEmpty()) << catcher.Texts.join("\n").toStdString();
}

// A file that is no state is refused in a box naming it; the machine is as it was.
TEST_F(StateMenuTest, ARefusedStateIsShownInABoxNamingTheFile) {
    ASSERT_TRUE(StartCounting());
    Form().mEstadoClick();
    QDir().mkpath(dir_.path() + "/States");
    QFile file(StateFile(1));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a state at all");
    file.close();
    const uint16_t count = FrameCount(Machine());
    const QByteArray frame = Frame(Machine());
    TMessageCatcher catcher;
    Item("mCarregar")->trigger();
    ASSERT_TRUE(WaitFor([&] { return !catcher.Texts.isEmpty(); }, 5000));
    EXPECT_TRUE(catcher.Texts[0].contains(StateFile(1))) << catcher.Texts[0].toStdString();
    EXPECT_EQ(FrameCount(Machine()), count);
    EXPECT_EQ(Frame(Machine()), frame);
    EXPECT_NE(Machine().ShownMessage(), "State 1 loaded");
}

// The keys work while the game runs: the command waits for the next frame's
// hand-over, where the machine is parked.
TEST_F(StateMenuTest, KeysSaveLoadAndChooseTheSlotWhileTheGameRuns) {
    ShowActive();
    ASSERT_TRUE(StartCounting());
    QTest::keyClick(Form().DXDraw1, Qt::Key_F8);
    EXPECT_EQ(Form().Slot(), 2);
    EXPECT_TRUE(Item("mSlot2")->isChecked());
    EXPECT_EQ(Machine().ShownMessage(), "Slot 2");
    QTest::keyClick(Form().DXDraw1, Qt::Key_F5);
    ASSERT_TRUE(WaitFor([&] { return Machine().ShownMessage() == "State 2 saved"; }));
    EXPECT_TRUE(QFileInfo(StateFile(2)).isFile());
    EXPECT_EQ(Machine().Stopped, 0);
    const uint16_t savedAround = lastCount_;

    ASSERT_TRUE(RunFrames(40));
    QTest::keyClick(Form().DXDraw1, Qt::Key_F7);
    ASSERT_TRUE(WaitFor([&] { return Machine().ShownMessage() == "State 2 loaded"; }));
    ASSERT_TRUE(RunFrames(1));
    EXPECT_LT(lastCount_, savedAround + 10);

    // F6 goes down and wraps from 1 to 9; F8 wraps from 9 to 1.
    QTest::keyClick(Form().DXDraw1, Qt::Key_F6);
    QTest::keyClick(Form().DXDraw1, Qt::Key_F6);
    EXPECT_EQ(Form().Slot(), 9);
    EXPECT_TRUE(Item("mSlot9")->isChecked());
    QTest::keyClick(Form().DXDraw1, Qt::Key_F8);
    EXPECT_EQ(Form().Slot(), 1);
    QTest::keyClick(Form().DXDraw1, Qt::Key_F7);
    ASSERT_TRUE(WaitFor([&] { return Machine().ShownMessage() == "No state in slot 1"; }));
}

// Full screen hides the menu bar; the window still holds the two keys.
TEST_F(StateMenuTest, KeysWorkInFullScreenWithoutTheMenuBar) {
    ShowActive();
    ASSERT_TRUE(StartCounting());
    Form().mVideoClick();
    Form().mCheiaClick();
    ASSERT_FALSE(Form().MainMenu1->isVisible());
    Form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Form()));
    QTest::keyClick(Form().DXDraw1, Qt::Key_F5);
    ASSERT_TRUE(WaitFor([&] { return Machine().ShownMessage() == "State 1 saved"; }));
    QTest::keyClick(Form().DXDraw1, Qt::Key_F7);
    ASSERT_TRUE(WaitFor([&] { return Machine().ShownMessage() == "State 1 loaded"; }));
    QTest::keyClick(Form().DXDraw1, Qt::Key_Escape);
    EXPECT_TRUE(Item("mJanela")->isChecked());
}

// Held Backspace runs the game backwards, silently; released, it goes on.
TEST_F(StateMenuTest, HeldBackspaceRewindsTheGameSilently) {
    ShowActive();
    ASSERT_TRUE(StartCounting());
    ASSERT_TRUE(RunFrames(100));
    EXPECT_GE(Form().Rewind.History().States(), 100u);
    const uint16_t before = lastCount_;
    QTest::keyPress(Form().DXDraw1, Qt::Key_Backspace);
    ASSERT_TRUE(RunFrames(30));
    EXPECT_TRUE(Form().Rewinding());
    EXPECT_EQ(Machine().SoundMuted, 1);
    EXPECT_LT(lastCount_, before - 20);
    const uint16_t back = lastCount_;
    const size_t held = Form().Rewind.History().States();
    QTest::keyRelease(Form().DXDraw1, Qt::Key_Backspace);
    ASSERT_TRUE(RunFrames(10));
    EXPECT_FALSE(Form().Rewinding());
    EXPECT_EQ(Machine().SoundMuted, 0);
    EXPECT_GT(lastCount_, back);
    EXPECT_GT(Form().Rewind.History().States(), held);
}

TEST_F(StateMenuTest, UncheckedRewindKeepsNoHistory) {
    ASSERT_TRUE(Open(Rom("speed")));
    ASSERT_TRUE(RunFrames(10));
    EXPECT_GT(Form().Rewind.History().States(), 0u);
    Form().mEstadoClick();
    Item("mRebobinar")->trigger();
    EXPECT_FALSE(Item("mRebobinar")->isChecked());
    EXPECT_EQ(Form().Rewind.History().States(), 0u);
    EXPECT_EQ(Form().Rewind.History().MemoryBytes(), 0u);
    Form().DXDraw1Click();
    ASSERT_TRUE(RunFrames(10));
    EXPECT_EQ(Form().Rewind.History().States(), 0u);
    Form().mEstadoClick();
    Item("mRebobinar")->trigger();
    Form().DXDraw1Click();
    ASSERT_TRUE(RunFrames(10));
    EXPECT_GT(Form().Rewind.History().States(), 0u);
}

// A new cartridge starts a new history.
TEST_F(StateMenuTest, OpeningAGameForgetsTheHistory) {
    ASSERT_TRUE(Open(Rom("speed")));
    ASSERT_TRUE(RunFrames(20));
    ASSERT_GE(Form().Rewind.History().States(), 20u);
    ASSERT_TRUE(Open(Rom("handover")));
    EXPECT_LT(Form().Rewind.History().States(), 5u);
}

// ---------------------------------------------------------------- the slots' contents

namespace {

// What a slot's item says after its caption: the save's time, "empty" or "unreadable".
QString SlotNote(QAction* item) { return item->text().section('\t', 1); }

QImage FrameImage(const TSMS& machine) {
    QImage frame;
    frame.loadFromData(machine.FrameStream.Data, int(machine.FrameStream.Size), "BMP");
    return frame;
}

// The thumbnail a frame should give: a quarter of its size each way, smoothly.
QImage Thumbnail(const QImage& frame) {
    return frame.scaled(64, frame.height() / 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}

// An empty or unreadable slot's icon: a thumbnail-sized outline, clear inside.
bool NoPicture(QAction* item) {
    return !item->icon().isNull() && item->icon().pixmap(QSize(64, 64)).toImage().pixelColor(32, 24).alpha() == 0;
}

QImage Icon(QAction* item) { return item->icon().pixmap(QSize(64, 64)).toImage().convertToFormat(QImage::Format_RGB32); }

bool SetModified(const QString& path, const QDateTime& time) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.setFileTime(time, QFileDevice::FileModificationTime);
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Where `part` stands in `image` pixel for pixel, if anywhere.
bool Contains(const QImage& image, const QImage& part) {
    const QImage whole = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y + part.height() <= whole.height(); ++y)
        for (int x = 0; x + part.width() <= whole.width(); ++x)
            if (whole.copy(x, y, part.width(), part.height()) == part) return true;
    return false;
}

}  // namespace

// "State" > "Slot" shows what each slot holds when it opens: the save's date
// and time in the shortcut column and the state's frame, a quarter of its
// size, as the icon. An empty slot says so and is chosen and saved into as
// ever; a save shows in its item at once.
TEST_F(StateMenuTest, TheSlotMenuShowsEachSlotsSaveTimeAndPicture) {
    ASSERT_TRUE(StartCounting());
    QImage saved[10];
    for (const int slot : {2, 5}) {
        Form().mEstadoClick();
        Item(("mSlot" + std::to_string(slot)).c_str())->trigger();
        Item("mSalvar")->trigger();
        saved[slot] = FrameImage(Machine());
        Form().DXDraw1Click();
        ASSERT_TRUE(RunFrames(30));
    }
    Form().mEstadoClick();
    ASSERT_NE(Thumbnail(saved[2]), Thumbnail(saved[5]));
    ASSERT_NE(Thumbnail(FrameImage(Machine())), Thumbnail(saved[5]));
    // Times of our own: one of this year, one of another, which says its year.
    const int year = QDate::currentDate().year();
    ASSERT_TRUE(SetModified(StateFile(2), QDateTime(QDate(year - 1, 3, 3), QTime(14, 5))));
    ASSERT_TRUE(SetModified(StateFile(5), QDateTime(QDate(year, 1, 2), QTime(9, 7))));

    emit Form().Menu("mSlot")->aboutToShow();
    for (int slot = 1; slot <= 9; ++slot) {
        SCOPED_TRACE(slot);
        QAction* item = Item(("mSlot" + std::to_string(slot)).c_str());
        EXPECT_EQ(item->text().section('\t', 0, 0), "Slot &" + QString::number(slot)) << "its mnemonic kept";
        EXPECT_TRUE(item->isEnabled());
        EXPECT_EQ(item->isChecked(), slot == 5);
        EXPECT_TRUE(item->shortcut().isEmpty());
        const QString note = slot == 2 ? QString("3 Mar %1 14:05").arg(year - 1) : slot == 5 ? "2 Jan 09:07" : "empty";
        EXPECT_EQ(SlotNote(item), note);
        EXPECT_EQ(NoPicture(item), slot != 2 && slot != 5);
    }
    for (const int slot : {2, 5}) {
        const QImage icon = Icon(Item(("mSlot" + std::to_string(slot)).c_str()));
        EXPECT_EQ(icon.size(), QSize(64, 48));
        EXPECT_EQ(icon, Thumbnail(saved[slot])) << "slot " << slot;
    }

    Item("mSlot7")->trigger();
    EXPECT_EQ(Form().Slot(), 7);
    Item("mSalvar")->trigger();
    EXPECT_TRUE(QFileInfo(StateFile(7)).isFile());
    EXPECT_TRUE(Item("mSlot7")->isChecked());
    EXPECT_NE(SlotNote(Item("mSlot7")), "empty");
    EXPECT_EQ(Icon(Item("mSlot7")), Thumbnail(FrameImage(Machine())));
}

// A slot's file that is no state (text, cut off, too large to be one, a
// folder, a broken link) says "unreadable" without a picture, and the menu
// opens as ever.
// With the BIOS alone there are no slots' files: the plain captions.
TEST_F(StateMenuTest, UnreadableSlotFilesAreNamedAndTheBiosShowsPlainSlots) {
    ASSERT_TRUE(StartCounting());
    Form().mEstadoClick();
    Item("mSalvar")->trigger();
    const QByteArray state = ReadAll(StateFile(1));
    ASSERT_GT(state.size(), 100000);
    ASSERT_TRUE(WriteFile(StateFile(2), "not a state at all"));
    ASSERT_TRUE(WriteFile(StateFile(3), state.left(state.size() - 1)));
    ASSERT_TRUE(WriteFile(StateFile(4), state + QByteArray(2 << 20, '\0')));
    ASSERT_TRUE(QDir().mkpath(StateFile(6)));
    ASSERT_TRUE(QFile::link(dir_.path() + "/nowhere", StateFile(8)));

    QMenu* menu = Form().Menu("mSlot");
    emit menu->aboutToShow();
    for (int slot = 1; slot <= 9; ++slot) {
        SCOPED_TRACE(slot);
        QAction* item = Item(("mSlot" + std::to_string(slot)).c_str());
        const bool unreadable = slot == 2 || slot == 3 || slot == 4 || slot == 6 || slot == 8;
        EXPECT_EQ(SlotNote(item), unreadable ? "unreadable" : slot == 1 ? SlotNote(item) : "empty");
        EXPECT_EQ(NoPicture(item), slot != 1);
    }
    EXPECT_FALSE(SlotNote(Item("mSlot1")).isEmpty());
    Form().show();
    menu->popup(Form().mapToGlobal(QPoint(20, 20)));
    EXPECT_TRUE(QTest::qWaitForWindowExposed(menu));
    menu->hide();

    Form().mArquivoClick();
    Form().mBiosClick();
    emit menu->aboutToShow();
    for (int slot = 1; slot <= 9; ++slot) {
        QAction* item = Item(("mSlot" + std::to_string(slot)).c_str());
        EXPECT_EQ(item->text(), "Slot &" + QString::number(slot));
        EXPECT_TRUE(item->icon().isNull()) << slot;
    }
}

// A Master System II's 240-line picture gives a 64 x 60 thumbnail of the
// whole picture, and the open menu shows the thumbnails at their size while
// the other menus keep their small icons.
TEST_F(StateMenuTest, ATallPicturesThumbnailIsWholeAndShownAtItsSize) {
    Form().ChooseConsole({TConsoleModel::MasterSystem2, TConsoleRegion::Export, TConsoleVideo::Ntsc});
    ASSERT_TRUE(Open(Rom("hw_height")));
    // The cartridge is in its 240-line mode for good once $D000 holds $A2;
    // the stopped machine's RAM is read at rest.
    bool tall = false;
    for (int i = 0; i < 100 && !tall; ++i) {
        ASSERT_TRUE(RunFrames(5));
        Form().mEstadoClick();
        tall = Machine().Console->Peek(TMemoryRegion::SystemRam, 0x1000) == 0xA2;
        Form().DXDraw1Click();
    }
    ASSERT_TRUE(tall);
    ASSERT_TRUE(RunFrames(3));
    Form().mEstadoClick();
    ASSERT_EQ(Machine().Console->PictureHeight(), 240u);
    Item("mSalvar")->trigger();
    const QImage frame = FrameImage(Machine());
    ASSERT_EQ(frame.size(), QSize(256, 240));

    QMenu* menu = Form().Menu("mSlot");
    emit menu->aboutToShow();
    const QImage icon = Icon(Item("mSlot1"));
    EXPECT_EQ(icon.size(), QSize(64, 60));
    EXPECT_EQ(icon, Thumbnail(frame));

    EXPECT_EQ(menu->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, menu), 64);
    EXPECT_LT(Form().Menu("mEstado")->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, Form().Menu("mEstado")), 64);
    Form().show();
    menu->popup(Form().mapToGlobal(QPoint(20, 20)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    const QRect row = menu->actionGeometry(Item("mSlot1"));
    EXPECT_GE(row.height(), 60);
    EXPECT_TRUE(Contains(menu->grab().toImage().copy(row), icon)) << "the thumbnail drawn whole, unscaled";
    menu->hide();
}

// Every line shows whole: each label is at least as large as its text needs
// in the font it is drawn with, inside the panel, inside the box; the
// version is the program's one.
TEST(AboutBoxTest, ShowsTheProgramNameVersionAndNoticeWhole) {
    TAboutBox box;
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    EXPECT_EQ(box.windowTitle(), "About Tiravel");
    EXPECT_EQ(box.minimumSize(), box.maximumSize()) << "a fixed size";
    EXPECT_EQ(box.ProductName->text(), QString("Tiravel - Master System Emulator\nVersion ") + TIRAVEL_VERSION);
    EXPECT_EQ(box.Comments->text(), "Free software for the Linux desktop.\nWritten from scratch; no code of other emulators.");
    for (QLabel* label : {box.ProductName, box.Comments}) {
        const QRect needed = label->fontMetrics().boundingRect(QRect(0, 0, 10000, 10000), Qt::AlignLeft | Qt::AlignTop,
                                                               label->text());
        EXPECT_GE(label->contentsRect().width(), needed.width()) << label->text().toStdString();
        EXPECT_GE(label->contentsRect().height(), needed.height()) << label->text().toStdString();
        EXPECT_TRUE(box.Panel1->contentsRect().contains(label->geometry())) << label->text().toStdString();
    }
    EXPECT_TRUE(box.Panel1->contentsRect().contains(box.ProgramIcon->geometry()));
    EXPECT_EQ(box.ProgramIcon->pixmap().size(), QSize(64, 64));
    EXPECT_TRUE(box.rect().contains(box.Panel1->geometry()));
    EXPECT_TRUE(box.rect().contains(box.OKButton->geometry()));
    EXPECT_GE(box.OKButton->geometry().top(), box.Panel1->geometry().bottom());
    EXPECT_EQ(box.OKButton->text(), "OK");
    EXPECT_TRUE(box.OKButton->isDefault());
    QTimer::singleShot(0, &box, [&] { QTest::keyClick(&box, Qt::Key_Return); });
    EXPECT_EQ(box.exec(), QDialog::Accepted);
}

// ---------------------------------------------------------------- conveniences

namespace {

// Drags `paths` over the window and drops them when the drag is accepted.
bool DropOn(TMainForm& form, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths) urls.append(QUrl::fromLocalFile(path));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
    return drop.isAccepted();
}

}  // namespace

// A dropped file opens as "Load Game (ROM)" does, with the same messages.
TEST_F(MainFormTest, ADroppedFileOpensAsLoadGameDoes) {
    EXPECT_FALSE(DropOn(Form(), {Rom("speed"), Rom("handover")})) << "one file only";
    ASSERT_TRUE(DropOn(Form(), {Rom("speed")}));
    ASSERT_TRUE(WaitFor([&] { return Machine().Ready == 1 && Machine().Stopped == 0; }));
    EXPECT_EQ(Machine().RamPath, (dir_.path() + "/RAMs/speed.RAM").toStdString());

    const QString empty = dir_.path() + "/empty.sms";
    QFile(empty).open(QIODevice::WriteOnly);
    TMessageCatcher catcher;
    ASSERT_TRUE(DropOn(Form(), {empty}));
    ASSERT_TRUE(WaitFor([&] { return !catcher.Texts.isEmpty(); }, 5000));
    EXPECT_EQ(catcher.Texts[0], "Cannot load the ROM file \"" + empty + "\": the file is empty.");
}

// The ten games opened last, newest first; the open dialog starts in the
// last game's folder; a game that has gone is taken off with a message.
TEST_F(MainFormTest, RecentGamesAreTheLastTenOpenedAndAMissingOneIsRemoved) {
    const QString games = dir_.path() + "/games";
    ASSERT_TRUE(QDir().mkpath(games));
    EXPECT_EQ(Form().GameFolder(), dir_.path()) << "the program's folder the first time";
    QStringList paths;
    for (int i = 0; i < 12; ++i) {
        paths.append(games + "/game" + QString::number(i) + ".sms");
        ASSERT_TRUE(QFile::copy(Rom("speed"), paths.back()));
        ASSERT_TRUE(Form().OpenRomFile(paths.back()));
    }
    ASSERT_TRUE(Open(paths[4]));  // again: to the top, once
    const QStringList expected{paths[4], paths[11], paths[10], paths[9], paths[8],
                               paths[7], paths[6],  paths[5],  paths[3], paths[2]};
    EXPECT_EQ(Form().RecentGames(), expected);
    QStringList shown;
    for (QAction* action : Form().Menu("mRecent")->actions()) shown.append(action->text());
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(Form().GameFolder(), games);

    Form().mArquivoClick();
    ASSERT_TRUE(QFile::remove(paths[11]));
    TMessageCatcher catcher;
    Form().Menu("mRecent")->actions()[1]->trigger();
    ASSERT_EQ(catcher.Texts.size(), 1);
    EXPECT_EQ(catcher.Texts[0], "The game \"" + paths[11] + "\" is no longer there; it was removed from \"Recent Games\".");
    EXPECT_EQ(Form().RecentGames().size(), 9);
    EXPECT_EQ(Form().Menu("mRecent")->actions().size(), 9);
    Form().Menu("mRecent")->actions()[1]->trigger();  // paths[10]: it runs
    EXPECT_EQ(Machine().Stopped, 0);
    EXPECT_EQ(Form().RecentGames().front(), paths[10]);
}

// A list of recent games grown very long in the settings file (200,000
// entries, as no run of the program writes it) costs no time at the start:
// the first ten are shown, and the next game opened keeps ten in the file.
// A hang shows as the test's own time limit.
TEST_F(MainFormTest, RecentGamesAreReadOnlyTenFromAVeryLongList) {
    form.reset();
    const QString file = dir_.path() + "/config/Tiravel/Tiravel.conf";
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
    {
        QByteArray text = "[General]\nRecentGames=";
        for (int i = 0; i < 200000; ++i) text += (i > 0 ? ", /games/game" : "/games/game") + QByteArray::number(i) + ".sms";
        text += "\n";
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(out.write(text), text.size());
    }
    CreateForm(dir_.path());
    QStringList first;
    for (int i = 0; i < 10; ++i) first.append("/games/game" + QString::number(i) + ".sms");
    ASSERT_EQ(Form().RecentGames().size(), 10);
    EXPECT_EQ(Form().RecentGames(), first);
    QStringList shown;
    for (QAction* action : Form().Menu("mRecent")->actions()) shown.append(action->text());
    ASSERT_EQ(shown.size(), 10);
    EXPECT_EQ(shown, first);

    const QString game = dir_.path() + "/game.sms";
    ASSERT_TRUE(QFile::copy(Rom("speed"), game));
    ASSERT_TRUE(Open(game));
    first.prepend(game);
    first.removeLast();
    EXPECT_EQ(Form().RecentGames(), first);
    EXPECT_EQ(QSettings(file, QSettings::NativeFormat).value("RecentGames").toStringList(), first);
}

// 1x to 4x: the picture control exactly that multiple of 256 x 192 with the
// window fitted around it, kept through full screen, where "Sharp scaling"
// takes the largest whole multiple on black bars; "Stretched" is 522 x 440.
TEST_F(MainFormTest, WindowSizesAreWholeMultiplesOfThePicture) {
    Form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form()));
    Form().mBiosClick();
    ASSERT_TRUE(RunFrames(2));
    for (int scale : {1, 2, 4, 3}) {
        Form().mVideoClick();
        Item(("mSize" + std::to_string(scale)).c_str())->trigger();
        const QSize picture = QSize(256, 192) * scale;
        EXPECT_EQ(Form().DXDraw1->size(), picture) << scale;
        EXPECT_EQ(Form().size(), picture + QSize(0, Form().MainMenu1->height())) << scale;
        EXPECT_EQ(Machine().Stopped, 0) << "resumed";
    }
    Form().mVideoClick();
    Item("mSharp")->trigger();
    Form().mCheiaClick();
    ASSERT_TRUE(RunFrames(2));
    const QSize screen = Form().screen()->geometry().size();  // 800 x 800 offscreen
    ASSERT_TRUE(WaitFor([&] { return Form().DXDraw1->size() == screen; }, 3000));
    const QSize sharp = QSize(256, 192) * std::min(screen.width() / 256, screen.height() / 192);
    EXPECT_EQ(Form().DXDraw1->PictureRect(), QRect(QPoint(screen.width() - sharp.width(), screen.height() - sharp.height()) / 2, sharp));
    QTest::keyClick(Form().DXDraw1, Qt::Key_Escape);
    EXPECT_EQ(Form().DXDraw1->size(), QSize(768, 576));

    Form().mVideoClick();
    Item("mSizeStretched")->trigger();
    EXPECT_TRUE(WaitFor([&] { return Form().frameGeometry().size() == QSize(522, 440); }, 3000));
}

// "Keep aspect ratio": a window resized by hand shows the picture at its
// own shape, centred on black bars; unchecked it stretches as before. The
// choice survives full screen and is kept for the next start.
TEST_F(MainFormTest, KeepAspectRatioPutsTheWindowedPictureOnBlackBars) {
    Form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form()));
    Form().mBiosClick();
    ASSERT_TRUE(RunFrames(2));
    Form().resize(700, 300 + Form().MainMenu1->height());
    ASSERT_TRUE(WaitFor([&] { return Form().DXDraw1->size() == QSize(700, 300); }, 3000));
    EXPECT_EQ(Form().DXDraw1->PictureRect(), QRect(0, 0, 700, 300)) << "stretched at the start";

    Form().mVideoClick();
    Item("mAspect")->trigger();
    EXPECT_EQ(Machine().Stopped, 0) << "resumed";
    EXPECT_EQ(Form().DXDraw1->PictureRect(), QRect(150, 0, 400, 300));
    // A white picture shows between two black bars.
    Form().mVideoClick();
    QImage white(256, 192, QImage::Format_RGB32);
    white.fill(Qt::white);
    Form().DXDraw1->ShowPicture(white);
    const QImage shown = Form().DXDraw1->grab().toImage();
    for (const QPoint bar : {QPoint(0, 0), QPoint(149, 150), QPoint(550, 150), QPoint(699, 299)})
        EXPECT_EQ(shown.pixel(bar), qRgb(0, 0, 0)) << bar.x();
    for (const QPoint inside : {QPoint(150, 0), QPoint(350, 150), QPoint(549, 299)})
        EXPECT_EQ(shown.pixel(inside), qRgb(255, 255, 255)) << inside.x();
    Form().SMS->ResumeEmulation();

    Form().mCheiaClick();
    ASSERT_TRUE(RunFrames(2));
    QTest::keyClick(Form().DXDraw1, Qt::Key_Escape);
    ASSERT_TRUE(RunFrames(2));
    EXPECT_TRUE(Form().DXDraw1->KeepAspect()) << "still kept after full screen";
    EXPECT_TRUE(TSettings().value("Graphics/KeepAspectRatio").toBool());

    Form().mVideoClick();
    Item("mAspect")->trigger();
    EXPECT_EQ(Form().DXDraw1->PictureRect(), Form().DXDraw1->rect());
    EXPECT_FALSE(TSettings().value("Graphics/KeepAspectRatio").toBool());
}

// Held Tab stays with the window (the focus does not move) and runs the
// game unpaced with at most 60 pictures a second.
TEST_F(StateMenuTest, HeldTabFastForwardsWithManyFramesPerPicture) {
    ShowActive();
    ASSERT_TRUE(StartCounting());
    Machine().TargetFps = 60;
    QTest::keyPress(Form().DXDraw1, Qt::Key_Tab);
    EXPECT_TRUE(Form().DXDraw1->hasFocus());
    ASSERT_TRUE(WaitFor([&] { return Machine().FastForward == 1; }));
    const int before = frames;
    const uint64_t flips = Form().DXDraw1->Flips();
    ASSERT_TRUE(WaitFor([&] { return frames >= before + 600; }, 20000));
    EXPECT_GT(600u, 4 * (Form().DXDraw1->Flips() - flips));
    QTest::keyRelease(Form().DXDraw1, Qt::Key_Tab);
    EXPECT_TRUE(WaitFor([&] { return Machine().FastForward == 0; }));
}

// F12 writes the frame as the console made it, 256 x 192, without the
// overlays, into Screenshots/<ROM name>-<date>-<time>.png, never over another.
TEST_F(StateMenuTest, F12WritesTheFrameAsAPng) {
    ShowActive();
    ASSERT_TRUE(StartCounting());
    Form().mVideoClick();
    Item("mVDPSOn")->trigger();
    Form().DXDraw1Click();
    QTest::keyClick(Form().DXDraw1, Qt::Key_F12);
    ASSERT_TRUE(WaitFor([&] { return !Form().LastScreenshot().isEmpty(); }));
    EXPECT_EQ(Machine().ShownMessage(), "Screenshot saved");
    const QString first = Form().LastScreenshot();

    Form().mVideoClick();  // stopped: the frame stays for the comparison
    Form().RequestScreenshot();
    const QString path = Form().LastScreenshot();
    EXPECT_NE(path, first);
    EXPECT_TRUE(QRegularExpression("/Screenshots/speed-\\d{4}-\\d\\d-\\d\\d-\\d{6}(-2)?\\.png$").match(path).hasMatch())
        << path.toStdString();
    QImage frame;
    ASSERT_TRUE(frame.loadFromData(Machine().FrameStream.Data, int(Machine().FrameStream.Size), "BMP"));
    const QImage shot(path);
    ASSERT_EQ(shot.size(), QSize(256, 192));
    EXPECT_EQ(shot.convertToFormat(QImage::Format_RGB32), frame.convertToFormat(QImage::Format_RGB32));
}
