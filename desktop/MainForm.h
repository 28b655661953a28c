// TMainForm: the program's main window. Its client area is the display
// control DXDraw1; its menu bar turns each command into calls on the machine
// (TSMS) and its cores. Opening a top-level menu pauses the machine; commands
// that start something resume it; a click on the picture resumes it too, and
// "File" > "Pause" (Ctrl+P, the Pause key) pauses and resumes it. A paused
// game says so on its picture.
//
// The form owns the machine and every facility the machine's per-frame step
// uses: the timers, the main-thread dispatcher, the sound output buffer, the
// display, the keyboard, joystick 0 and the two players' input devices.
#pragma once

#include <QHash>
#include <QMargins>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QTimer>

#include "CommandLine.h"
#include "InputDevice.h"
#include "KeyBindings.h"
#include "QtDisplay.h"
#include "QtInput.h"
#include "Rewind.h"
#include "SMS.h"
#include "SdlJoystick.h"
#include "SdlSoundBuffer.h"
#include "SdlStereoOutput.h"
#include "Timers.h"

class QAction;
class QActionGroup;
class QDragEnterEvent;
class QDropEvent;
class QFileDialog;
class QMenu;
class QMenuBar;
class TAboutBox;
class TDebuggerWindow;
class TKeyConfigDialog;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The facilities, declared before the machine that uses them.
    TSystemTimers Timers;
    TQtDispatcher Dispatcher;
    TSdlSoundBuffer DXSound1;
    // The hardware models' 48 kHz stereo output (the default model plays
    // through DXSound1).
    TSdlStereoOutput StereoOutput;
    TDisplayControl* DXDraw1 = nullptr;
    std::unique_ptr<TQtDisplay> Display;
    std::unique_ptr<TQtKeyboard> Keyboard;
    TSdlJoystick Joystick0;
    TInputDevice Joystick1{nullptr, nullptr};
    TInputDevice Joystick2{nullptr, nullptr};
    QFileDialog* OpenDialog1 = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    std::unique_ptr<TSMS> SMS;
    // The About dialog (the program's entry creates it; Sobre1Click makes
    // one of its own when none was given).
    TAboutBox* AboutBox = nullptr;

    // The players' keys and controller buttons as applied to Joystick1 and
    // Joystick2: the settings' over the defaults at start, the key dialog's
    // once it is accepted.
    TKeyBindings KeyBindings;
    // Shows the key dialog modally (exec()); tests answer it themselves.
    std::function<int(TKeyConfigDialog& dialog)> ExecKeyDialog;

    // The ROM file to open: the open dialog, started in `dir`; "" = cancelled.
    std::function<QString(const QString& dir)> ChooseRomFile;
    // Ends the application (qApp->quit()).
    std::function<void()> QuitApplication;
    // The folder of the program file; the battery files go below it.
    QString ExecutableDirectory;

    // A menu item (action, submenu or separator) by its name; null if none.
    QAction* Item(const QString& name) const;
    QMenu* Menu(const QString& name) const;
    // The item names in menu order, submenus depth first.
    const QStringList& ItemNames() const { return itemOrder_; }

    // The folder of the battery files for a program in `exeDir`: its RAMs
    // folder, or $XDG_DATA_HOME/tiravel/RAMs when `exeDir` is not writable.
    static QString RamFolder(const QString& exeDir);
    // The folder of the state files, by the same rule: States beside the
    // program, or $XDG_DATA_HOME/tiravel/States.
    static QString StateFolder(const QString& exeDir);
    // The state file of `slot` (1 to 9) for the cartridge running now,
    // States/<ROM name>.st<slot>; "" when no cartridge runs.
    QString StateFile(int slot) const;
    // The slot the state commands use (1 to 9).
    int Slot() const { return slot_; }

    // The last seconds of the running game, one state per frame, while
    // "State" > "Rewind" is checked; held Backspace walks back through it.
    TRewind Rewind;
    // True while the game runs backwards.
    bool Rewinding() const { return Rewind.Rewinding(); }
    // The ROM name: the file name after the last '/', minus its last four
    // characters (the extension and its dot, whatever they are).
    static QString RomName(const QString& romPath);

    // The open-ROM flow from step 4 on, for a file already chosen (the
    // command line's ROM). False when the ROM could not be loaded.
    bool OpenRomFile(const QString& path);
    // A ROM to open, as the command line gives it, once the window is shown.
    void SetStartRom(const QString& path) { startRom_ = path; }
    // The command line's --fullscreen: the first game started (the ROM given
    // with it, or the first one opened) runs in full screen, as "Graphics" >
    // "Video Mode" > "Full Screen" would put it.
    void SetStartFullScreen() { startFullScreen_ = true; }

    // Ctrl+C, a termination request or a hang-up closes the window as its
    // close box would: the Exit flow runs and the battery RAM is saved.
    void CloseOnQuitSignals();

    // The event handlers.
    void FormCreate();
    void mArquivoClick();
    void mAbrirClick();
    void mReinicioClick();
    void mReiniConClick();
    // "File" > "Pause": checked, the player's pause holds the game; unchecked,
    // it runs. Opened, the menu checks it when the game was paused before the
    // menu opened (the menu's own pause does not count), so choosing it keeps
    // a running game paused and resumes a paused one; the keys toggle what
    // the game does now.
    void mPausaClick();
    // A game started and ready, held stopped (by a menu, the player's pause,
    // an error): a click or Ctrl+P resumes it.
    bool GamePaused() const;
    // The text the picture shows while the game is paused.
    static constexpr const char* PauseNote = "Paused - click or Ctrl+P to resume";
    void mBiosClick();
    void mBIOSBrClick();
    void mBIOSJapClick();
    void mSairClick();
    void mVideoClick();
    void mFrame75Click();
    void mFrame50Click();
    void mFrameOffClick();
    void mBckOnClick();
    void mBckOffClick();
    void mSprOnClick();
    void mSprOffClick();
    void mJanelaClick();
    void mCheiaClick();
    // "Full Screen" and Alt+Enter: full screen from the window, and back.
    void ToggleFullScreen();
    // F10: the first menu opened, for the keyboard (not in full screen, where
    // the menu bar is hidden).
    void OpenFirstMenu();
    void mVDPSOnClick();
    void mVDPSOffClick();
    void mSomClick();
    void mMixerOnClick();
    void mMixerOffClick();
    void mTom1OnClick();
    void mTom1OffClick();
    void mTom2OnClick();
    void mTom2OffClick();
    void mTom3OnClick();
    void mTom3OffClick();
    void mRuidoOnClick();
    void mRuidoOffClick();
    void mPSGSOnClick();
    void mPSGSOffClick();
    // "Sound" > "Volume": the output's level in steps of 10%, kept in the
    // user's settings; the console's samples are never scaled.
    static constexpr int VolumeSteps[] = {100, 90, 80, 70, 60, 50, 40, 30, 20, 10, 0};
    int Volume() const { return volume_; }
    void SetVolume(int percent);
    void mEstadoClick();
    void mSalvarClick();
    void mCarregarClick();
    template <int N>
    void mSlotClick() { SelectSlot(N); }
    void mRebobinarClick();
    void mConsoleClick();
    void mEntradaClick();
    void mConfigurarClick();
    void mFerramentasClick();
    void mDepuradorClick();
    void Ajuda1Click();
    void Sobre1Click();
    void DXDraw1Click();

    // Finding and opening games, picture sizes, fast forward and screenshots
    // (MainFormConveniences.cpp). The games opened last,
    // newest first, kept in the user's settings; a dropped file or a recent
    // game opens as "Load Game (ROM)" does.
    static constexpr int RecentGamesMax = 10;
    QStringList RecentGames() const;
    // The folder the open dialog starts in: the last game's, else the program's.
    QString GameFolder() const;
    void mRecentClick(const QString& path);
    // The picture at a whole multiple of its size, 256 x 192 (or the 224 or
    // 240 lines of a hardware model's picture), in the window (1 to 4,
    // the window fitted around it), or 0: stretched to the window.
    int WindowScale() const { return windowScale_; }
    void SetWindowScale(int scale);
    template <int N>
    void mSizeClick() { SetWindowScale(N); }
    void mSharpClick();
    // "Graphics" > "Keep aspect ratio": the windowed picture keeps its shape
    // on black bars instead of stretching to the window; kept in the settings.
    void mAspectClick();
    // Screenshots/<ROM name>-<date>-<time>.png, by the battery files' folder rule.
    static QString ScreenshotFolder(const QString& exeDir);
    // F12: the current frame as a PNG of the picture's size (256 x 192, 224
    // or 240), written at a safe point.
    void RequestScreenshot();
    QString LastScreenshot() const { return lastScreenshot_; }

    // "Console": the model and its options chosen in the menu, kept in the
    // user's settings (MainFormConsole.cpp). The machine takes them at its
    // next start or Console Reset; until then it runs what it ran.
    const TConsoleSettings& ChosenConsole() const { return consoleSettings_; }
    void ChooseConsole(const TConsoleSettings& settings);
    // The command line's start: its console options chosen as the menu
    // would choose them (for this start, and kept), full screen, the ROM.
    void ApplyCommandLine(const TCommandLine& line);

    // "Tools" > "Debugger": its window, made at the first opening and kept
    // (null until then).
    TDebuggerWindow* DebuggerWindow() const { return debugger_; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenus();
    QMenu* AddMenu(QMenuBar* bar, QMenu* parent, const char* name, const char* caption);
    QAction* AddItem(QMenu* menu, const char* name, const char* caption, void (TMainForm::*handler)());
    QAction* AddSeparator(QMenu* menu, const char* name);
    void Group(std::initializer_list<const char*> names, const char* checked);
    void Check(const char* name);
    void GiveMnemonics(const QList<QAction*>& actions);
    void BeginMenuVisit();
    void EndMenuVisit();
    void RefreshPauseItem();
    void PauseGame();
    void RepaintStopped();
    void BindKeys();
    void EnableStartedMenus();
    void CentreOnScreen();
    QMargins FrameMargins() const;
    void FitOuterSize();
    void RefitWhenTheFrameChanged();
    void ShowWindowed();
    void ShowMessage(const QString& text);
    void ReportLater(const std::string& message);
    void ShowPendingMessages();
    void MachineError(const std::string& message);
    static QString DataFolder(const QString& exeDir, const char* name);
    // The state commands run only where the machine thread is parked: at
    // once while the machine is stopped, otherwise at the next hand-over.
    enum class TStateCommand { None, Save, Load };
    void RequestState(TStateCommand command);
    void RunStateCommand(TStateCommand command);
    void SaveStateFile();
    void LoadStateFile();
    void SelectSlot(int slot);
    void WatchSlotMenu(QMenu* slotMenu);
    void RefreshSlotMenu();
    void RefreshSlotItem(int slot);
    void ShowPictureMessage(const std::string& text);
    bool MachineParked() const;
    void FrameDone(TSMS& machine);
    void ForgetHistory();
    void SetCartridge(const QString& romPath);
    void BuildRecentMenu(QMenu* file);
    void BuildConsoleMenu();
    void RefreshConsoleMenu();
    void FollowPictureSize();
    QSize StretchedClientSize() const;
    TConsoleSettings StartSettings() const;
    void BuildWindowSizeMenu(QMenu* video);
    void RememberGame(const QString& path);
    void SetRecentGames(const QStringList& games);
    void RefreshRecentMenu();
    void FitWindow();
    void TakeScreenshot();
    void ConveniencesFrame(TSMS& machine);
    QMenu* recentMenu_ = nullptr;
    TDebuggerWindow* debugger_ = nullptr;
    int windowScale_ = 0;
    int volume_ = 100;
    void BuildVolumeMenu(QMenu* sound);
    // The picture shown last: the window's sizes are multiples of it (256 x
    // 192, 224 or 240; the Game Gear's 160 x 144).
    int pictureWidth_ = 256;
    int pictureHeight_ = 192;
    // The model the cartridge running now asks for (a Game Gear cartridge),
    // whatever the player chose; none for a cartridge that takes the choice.
    std::optional<TConsoleModel> cartridgeModel_;
    // The client size a stretched window was given, while the player has
    // not resized it.
    QSize fittedClient_;
    TConsoleSettings consoleSettings_;
    bool screenshotPending_ = false;
    QString lastScreenshot_;
    QHash<QString, QAction*> items_;
    QHash<QString, QMenu*> menus_;
    QStringList itemOrder_;
    QString startRom_;
    bool startFullScreen_ = false;
    QString romPath_;  // the cartridge running now ("" for none)
    int slot_ = 1;
    TStateCommand pendingState_ = TStateCommand::None;
    QTimer messageTimer_;
    std::vector<std::string> pendingMessages_;
    // The windowed size is the outer one, frame included; the frame is known
    // only once the window system has decorated the window, so the client
    // size follows it until the window is resized otherwise.
    bool fitOuterSize_ = false;
    QMargins fittedFrame_;
    bool exited_ = false;
    // From the first top-level menu opened until the last one has closed
    // (moving along the menu bar is one visit).
    bool menuVisit_ = false;
    bool quitSignalsCaught_ = false;
};
