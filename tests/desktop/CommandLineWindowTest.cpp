// The command line's start in the window: --model, --region and --video
// chosen as the "Console" menu would (the game runs as that console, the
// menu shows it, the settings keep it), and --fullscreen putting the first
// game started in full screen.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenuBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "CommandLine.h"
#include "FormRig.h"
#include "MainForm.h"
#include "Settings.h"
#include "WaitFor.h"

namespace {

std::string Rom(const char* name) { return std::string(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms"; }

class CommandLineWindowTest : public ::testing::Test, protected TFormRig {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path() + "/config");
        CreateForm(dir_.path());
    }
    void TearDown() override { form.reset(); }
    // The window shown with this command line, until its game runs.
    bool Start(const std::vector<std::string>& args) {
        const TCommandLine line = CommandLine_Parse(args, false);
        EXPECT_EQ(line.Action, TCommandLine::TAction::Run) << line.Error;
        Form().ApplyCommandLine(line);
        Form().show();
        return QTest::qWaitFor([&] { return Machine().Ready == 1 && Machine().Stopped == 0; }, 5000);
    }

    QTemporaryDir dir_;
};

TEST_F(CommandLineWindowTest, TheConsoleOptionsRunThisStartAndAreKeptAsTheMenusChoice) {
    ASSERT_TRUE(Start({"--model", "gamegear", "--region", "japan", Rom("handover")}));
    ASSERT_TRUE(RunFrames(2));
    // A .sms cartridge takes the player's model: here the command line's.
    const TConsoleSettings expected{TConsoleModel::GameGear, TConsoleRegion::Japan, TConsoleVideo::Ntsc,
                                    TConsoleMapper::Automatic};
    EXPECT_EQ(Machine().Console->Settings(), expected);
    EXPECT_EQ(Form().ChosenConsole(), expected);
    for (const char* name : {"mModel_gamegear", "mRegion_japan", "mVideoStandard_ntsc"})
        EXPECT_TRUE(Item(name)->isChecked()) << name;
    const QSettings file(SettingsFilePath(), QSettings::NativeFormat);
    EXPECT_EQ(file.value("Console/Model").toString(), "gamegear");
    EXPECT_EQ(file.value("Console/Region").toString(), "japan");

    // The next start without options runs the kept choice; an option given
    // then changes only itself.
    form.reset();
    CreateForm(dir_.path());
    ASSERT_TRUE(Start({"--model", "sms2", Rom("handover")}));
    EXPECT_EQ(Machine().Console->Settings().Model, TConsoleModel::MasterSystem2);
    EXPECT_EQ(Machine().Console->Settings().Region, TConsoleRegion::Japan);
}

TEST_F(CommandLineWindowTest, FullScreenTakesTheGameGivenWithIt) {
    ASSERT_TRUE(Start({"--fullscreen", Rom("handover")}));
    EXPECT_TRUE(WaitFor([&] { return Item("mCheia")->isChecked(); }, 3000));
    EXPECT_FALSE(Form().MainMenu1->isVisible());
    ASSERT_TRUE(RunFrames(2));
    EXPECT_TRUE(Form().Display->FullScreenOption());
    EXPECT_EQ(Machine().Stopped, 0);
}

// Without a ROM there is nothing to show in full screen: the window waits,
// and the first game started (here the BIOS alone) takes it.
TEST_F(CommandLineWindowTest, WithoutARomFullScreenWaitsForTheFirstGame) {
    Form().ApplyCommandLine(CommandLine_Parse({"--fullscreen"}, false));
    Form().show();
    QTest::qWait(50);
    EXPECT_TRUE(Item("mJanela")->isChecked());
    EXPECT_TRUE(Form().MainMenu1->isVisible());
    Form().mBiosClick();
    EXPECT_TRUE(WaitFor([&] { return Item("mCheia")->isChecked(); }, 3000));
    ASSERT_TRUE(RunFrames(2));
    EXPECT_TRUE(Form().Display->FullScreenOption());
    // Only the first: back in the window, the next game stays there.
    Form().mJanelaClick();
    Form().mArquivoClick();
    Form().mReiniConClick();
    QTest::qWait(50);
    EXPECT_TRUE(Item("mJanela")->isChecked());
}

}  // namespace
