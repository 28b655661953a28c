// The main window under a long run of random menu commands and picture
// clicks while the machine runs: stop and resume, the resets, BIOS runs and
// BIOS types, frameskip, layers, overlays, sound channels, full screen and
// back, the About box, the open-ROM flow with files that load and files
// that do not, the state commands, their keys and the rewind, the key
// dialog, and the debugger window (opened and closed, its commands, random
// breakpoints, its pages). Nothing may hang or crash, and at the end a resumed machine
// still puts new pictures on the display.
//
// TIRAVEL_RANDOM_COMMANDS sets the number of commands (200 by default) and
// TIRAVEL_RANDOM_SEED the seed (1 by default); a failure names both, so the
// same sequence can be run again.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "DebuggerBreakpointView.h"
#include "DebuggerWindow.h"
#include "KeyConfigDialog.h"
#include "MainForm.h"
#include "WaitFor.h"

namespace {

int EnvironmentNumber(const char* name, int fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return (*end == '\0' && value > 0 && value < 10000000) ? static_cast<int>(value) : fallback;
}

// Closes every modal dialog (message boxes, the About box) soon after it
// opens, as a user would, so that no command blocks the run.
class TDialogCloser {
public:
    TDialogCloser() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                ++Closed;
                dialog->done(QDialog::Rejected);
            }
        });
        timer_.start();
    }
    int Closed = 0;

private:
    QTimer timer_;
};

// Aborts the test program, naming the command, when one command has not
// returned within the limit: a deadlock shows up as a report, not a CI
// job that runs until its own time-out.
class TWatchdog {
public:
    explicit TWatchdog(std::chrono::seconds limit)
        : thread_([this, limit] {
              std::unique_lock lock(mutex_);
              uint64_t seen = progress_;
              while (!done_) {
                  if (wake_.wait_for(lock, limit, [&] { return done_ || progress_ != seen; })) {
                      seen = progress_;
                      continue;
                  }
                  std::fprintf(stderr, "random commands: '%s' (command %d) did not return in %lld s\n",
                               current_.c_str(), index_, static_cast<long long>(limit.count()));
                  std::abort();
              }
          }) {}
    ~TWatchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    void Starting(int index, const std::string& name) {
        {
            std::lock_guard lock(mutex_);
            ++progress_;
            index_ = index;
            current_ = name;
        }
        wake_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    uint64_t progress_ = 0;
    int index_ = 0;
    std::string current_ = "start";
    bool done_ = false;
    std::thread thread_;
};

struct TCommand {
    const char* Name;
    int Weight;
    std::function<void()> Run;
};

}  // namespace

TEST(RandomCommands, WindowSurvivesRandomMenuCommandsAndClicks) {
    const int count = EnvironmentNumber("TIRAVEL_RANDOM_COMMANDS", 200);
    const int seed = EnvironmentNumber("TIRAVEL_RANDOM_SEED", 1);
    SCOPED_TRACE("TIRAVEL_RANDOM_COMMANDS=" + std::to_string(count) + " TIRAVEL_RANDOM_SEED=" + std::to_string(seed));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    setenv("XDG_DATA_HOME", (dir.path() + "/xdg").toLocal8Bit().constData(), 1);
    // A file too short to be a cartridge, and one that is not there.
    const QString shortRom = dir.path() + "/short.sms";
    {
        QFile file(shortRom);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(100, '\x55'));
    }
    const QString testRoms = QString(TIRAVEL_TEST_ROM_DIR) + "/";
    const std::vector<QString> choices = {
        TIRAVEL_DEMO_ROM,        TIRAVEL_DEMO_ROM,          testRoms + "battery.sms", testRoms + "paging.sms",
        testRoms + "pause.sms",  testRoms + "lineint.sms",  shortRom,                 dir.path() + "/missing.sms",
        QString(),  // the dialog cancelled
    };

    auto form = std::make_unique<TMainForm>();
    TMainForm& f = *form;
    f.ExecutableDirectory = dir.path();
    int quits = 0;
    f.QuitApplication = [&quits] { ++quits; };
    std::mt19937 random(static_cast<unsigned>(seed));
    auto pick = [&random](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    f.ChooseRomFile = [&](const QString&) { return choices[pick(choices.size())]; };
    // The key dialog: maybe the defaults, then a random input bound to a
    // random letter, accepted or cancelled.
    f.ExecKeyDialog = [&](TKeyConfigDialog& dialog) {
        if (pick(3) == 0) dialog.RestoreDefaults();
        emit dialog.Table()->cellClicked(static_cast<int>(pick(PAD_INPUT_COUNT)),
                                         static_cast<int>(pick(INPUT_KEY_SLOTS)));
        QTest::keyClick(dialog.Table(), static_cast<Qt::Key>(Qt::Key_A + pick(26)));
        return pick(2) == 0 ? int(QDialog::Accepted) : int(QDialog::Rejected);
    };
    f.show();
    TDialogCloser closer;

    using M = TMainForm;
    auto handler = [&f](void (M::*call)()) { return [&f, call] { (f.*call)(); }; };
    const std::vector<TCommand> commands = {
        {"picture click", 12, [&f] { QTest::mouseClick(f.DXDraw1, Qt::LeftButton); }},
        {"File menu", 3, handler(&M::mArquivoClick)},
        {"Graphics menu", 2, handler(&M::mVideoClick)},
        {"Sound menu", 2, handler(&M::mSomClick)},
        {"Help menu", 1, handler(&M::Ajuda1Click)},
        {"Load Game", 3,
         [&f] {
             f.mArquivoClick();
             f.mAbrirClick();
         }},
        {"Game Reset", 3, handler(&M::mReinicioClick)},
        {"Console Reset", 2, handler(&M::mReiniConClick)},
        {"Run BIOS", 2, handler(&M::mBiosClick)},
        {"BIOS American", 1, handler(&M::mBIOSBrClick)},
        {"BIOS Japanese", 1, handler(&M::mBIOSJapClick)},
        {"75% Frameskip", 1, handler(&M::mFrame75Click)},
        {"50% Frameskip", 1, handler(&M::mFrame50Click)},
        {"No Frameskip", 1, handler(&M::mFrameOffClick)},
        {"Background on", 1, handler(&M::mBckOnClick)},
        {"Background off", 1, handler(&M::mBckOffClick)},
        {"Sprites on", 1, handler(&M::mSprOnClick)},
        {"Sprites off", 1, handler(&M::mSprOffClick)},
        {"VDP status on", 1, handler(&M::mVDPSOnClick)},
        {"VDP status off", 1, handler(&M::mVDPSOffClick)},
        {"PSG status on", 1, handler(&M::mPSGSOnClick)},
        {"PSG status off", 1, handler(&M::mPSGSOffClick)},
        {"Mixer on", 1, handler(&M::mMixerOnClick)},
        {"Mixer off", 1, handler(&M::mMixerOffClick)},
        {"Tone 1 off", 1, handler(&M::mTom1OffClick)},
        {"Tone 1 on", 1, handler(&M::mTom1OnClick)},
        {"Tone 2 off", 1, handler(&M::mTom2OffClick)},
        {"Tone 2 on", 1, handler(&M::mTom2OnClick)},
        {"Tone 3 off", 1, handler(&M::mTom3OffClick)},
        {"Tone 3 on", 1, handler(&M::mTom3OnClick)},
        {"Noise off", 1, handler(&M::mRuidoOffClick)},
        {"Noise on", 1, handler(&M::mRuidoOnClick)},
        {"Full Screen", 2, handler(&M::mCheiaClick)},
        {"Windowed", 1, handler(&M::mJanelaClick)},
        {"Escape key", 1, [&f] { QTest::keyClick(&f, Qt::Key_Escape); }},
        {"About", 1, handler(&M::Sobre1Click)},
        {"State menu", 2, handler(&M::mEstadoClick)},
        {"Save State", 2, handler(&M::mSalvarClick)},
        {"Load State", 2, handler(&M::mCarregarClick)},
        {"Slot 2", 1, handler(&M::mSlotClick<2>)},
        {"F5 key", 1, [&f] { QTest::keyClick(f.DXDraw1, Qt::Key_F5); }},
        {"F7 key", 1, [&f] { QTest::keyClick(f.DXDraw1, Qt::Key_F7); }},
        {"F8 key", 1, [&f] { QTest::keyClick(f.DXDraw1, Qt::Key_F8); }},
        {"Backspace press", 2, [&f] { QTest::keyPress(f.DXDraw1, Qt::Key_Backspace); }},
        {"Backspace release", 2, [&f] { QTest::keyRelease(f.DXDraw1, Qt::Key_Backspace); }},
        {"Rewind switch", 1, [&f] { f.Item("mRebobinar")->trigger(); }},
        {"Console menu", 1, handler(&M::mConsoleClick)},
        {"Model Master System II", 1, [&f] { f.Item("mModel_sms2")->trigger(); }},
        {"Model Master System", 1, [&f] { f.Item("mModel_sms1")->trigger(); }},
        {"Model Tiravel", 1, [&f] { f.Item("mModel_tiravel")->trigger(); }},
        {"Model Game Gear", 1, [&f] { f.Item("mModel_gamegear")->trigger(); }},
        {"Video PAL", 1, [&f] { f.Item("mVideoStandard_pal")->trigger(); }},
        {"Video NTSC", 1, [&f] { f.Item("mVideoStandard_ntsc")->trigger(); }},
        {"Input menu", 1, handler(&M::mEntradaClick)},
        {"Configure keys", 1, handler(&M::mConfigurarClick)},
        {"Tools menu", 1, handler(&M::mFerramentasClick)},
        {"Debugger open", 2, handler(&M::mDepuradorClick)},
        {"Debugger close", 1, [&f] { if (f.DebuggerWindow()) f.DebuggerWindow()->close(); }},
        {"Debugger run", 2, [&f] { if (f.DebuggerWindow()) f.DebuggerWindow()->Run(); }},
        {"Debugger stop", 2, [&f] { if (f.DebuggerWindow()) f.DebuggerWindow()->Stop(); }},
        {"Debugger step", 2, [&f] { if (f.DebuggerWindow()) f.DebuggerWindow()->Step(); }},
        {"Debugger step over", 1, [&f] { if (f.DebuggerWindow()) f.DebuggerWindow()->StepOver(); }},
        {"Debugger frame end", 1, [&f] { if (f.DebuggerWindow()) f.DebuggerWindow()->RunToEndOfFrame(); }},
        {"Debugger one frame", 1, [&f] { if (f.DebuggerWindow()) f.DebuggerWindow()->RunOneFrame(); }},
        {"Debugger page", 1,
         [&f, &pick] {
             if (f.DebuggerWindow()) f.DebuggerWindow()->Pages()->setCurrentIndex(static_cast<int>(pick(5)));
         }},
        // A breakpoint of a random kind over a random small range; now and
        // then all of them go.
        {"Debugger breakpoint", 2,
         [&f, &pick] {
             if (!f.DebuggerWindow()) return;
             TDebugger& debugger = f.DebuggerWindow()->Debugger();
             if (pick(4) == 0) {
                 debugger.ClearBreakpoints();
                 return;
             }
             const auto kind = static_cast<TBreakKind>(pick(7));
             const bool port = kind == TBreakKind::PortRead || kind == TBreakKind::PortWrite;
             const uint32_t max = port ? 0xFF : 0xFFFF;
             const uint32_t first = static_cast<uint32_t>(pick(max + 1));
             const uint32_t last = std::min<uint32_t>(first + static_cast<uint32_t>(pick(16)), max);
             f.DebuggerWindow()->BreakpointView()->Add(kind, QString::number(first, 16), QString::number(last, 16), "");
         }},
    };
    std::vector<int> weights;
    for (const TCommand& command : commands) weights.push_back(command.Weight);
    std::discrete_distribution<std::size_t> which(weights.begin(), weights.end());

    {
        TWatchdog watchdog(std::chrono::seconds(30));
        // The run starts as a user's would: with the demo cartridge.
        watchdog.Starting(0, "open the demo");
        ASSERT_TRUE(f.OpenRomFile(TIRAVEL_DEMO_ROM));
        for (int i = 1; i <= count; ++i) {
            const TCommand& command = commands[which(random)];
            watchdog.Starting(i, command.Name);
            command.Run();
            // The event loop runs between commands, so hand-overs are served.
            QTest::qWait(static_cast<int>(1 + pick(5)));
        }

        // A machine left without a program gets the demo; then a click on the
        // picture resumes it, and new pictures must arrive.
        watchdog.Starting(count + 1, "final resume");
        // Closed, the debugger lets go of the machine and its breakpoints.
        if (f.DebuggerWindow()) f.DebuggerWindow()->close();
        if (f.SMS->Ready != 1) {
            ASSERT_TRUE(f.OpenRomFile(TIRAVEL_DEMO_ROM));
        }
        f.DXDraw1Click();
        const uint64_t before = f.DXDraw1->Flips();
        EXPECT_TRUE(WaitFor([&] { return f.DXDraw1->Flips() >= before + 10; }, 10000))
            << "the picture stopped at " << f.DXDraw1->Flips() << " flips";
        EXPECT_EQ(f.SMS->Stopped, 0);

        watchdog.Starting(count + 2, "Exit");
        f.mSairClick();
        EXPECT_EQ(quits, 1);
        form.reset();
    }
    std::printf("random commands: %d commands, seed %d, %d dialogs closed\n", count, seed, closer.Closed);
}
