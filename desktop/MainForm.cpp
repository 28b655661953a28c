// TMainForm: the window's parts, its menu, and the commands.
#include "MainForm.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <utility>
#include <csignal>
#include <exception>

#include <fcntl.h>
#include <unistd.h>

#include "AboutBox.h"
#include "BiosFiles.h"
#include "DebuggerWindow.h"
#include "KeyConfigDialog.h"
#include "RomFiles.h"
#include "Settings.h"

namespace {

// The window's outer size, with its frame as the window system reports it.
constexpr int kWindowWidth = 522;
constexpr int kWindowHeight = 440;

std::string FileName(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The open dialog's filter for every file the machine opens: images and the
// archives that hold one.
const QString kCartridgeFilter =
    QStringLiteral("Master System and Game Gear cartridges (*.sms *.gg *.bin *.zip *.7z *.gz)");

// The termination signals reach the event loop through a pipe: the handler
// only writes one byte (safe in a signal handler, on whichever thread the
// signal lands), and the main thread closes the window when it reads it.
const int kQuitSignals[] = {SIGINT, SIGTERM, SIGHUP};
int gQuitPipe[2] = {-1, -1};

void OnQuitSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(gQuitPipe[1], &byte, 1);
}

}  // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle("Tiravel");
    setWindowIcon(QIcon(Tiravel_Picture(64)));
    ExecutableDirectory = QCoreApplication::applicationDirPath();

    DXDraw1 = new TDisplayControl(this);
    DXDraw1->setObjectName("DXDraw1");
    DXDraw1->setFocusPolicy(Qt::StrongFocus);
    setCentralWidget(DXDraw1);
    // A ROM file dropped on the window opens as "Load Game (ROM)" does.
    setAcceptDrops(true);
    Display = std::make_unique<TQtDisplay>(*DXDraw1);
    connect(DXDraw1, &TDisplayControl::Clicked, this, [this] { DXDraw1Click(); });

    Keyboard = std::make_unique<TQtKeyboard>(this);
    Joystick1 = TInputDevice(Keyboard.get(), &Joystick0);
    Joystick2 = TInputDevice(Keyboard.get(), nullptr);

    // The non-native dialog filters through its own model, which matches
    // the pattern in any letter case: game.sms, GAME.SMS and Game.Sms alike.
    OpenDialog1 = new QFileDialog(this, QString(), QString(), "Sega Master System ROM File (*.SMS)");
    OpenDialog1->setObjectName("OpenDialog1");
    // Cartridges kept in archives come first, so that the dialog shows them
    // along with the plain images; the plain filter stays as the second, and
    // "All files" lets the player try an image under any other name.
    OpenDialog1->setNameFilters({kCartridgeFilter, "Sega Master System ROM File (*.SMS)", "All files (*)"});
    OpenDialog1->setOption(QFileDialog::DontUseNativeDialog, true);
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog1->setDefaultSuffix("SMS");
    OpenDialog1->setFilter(OpenDialog1->filter() & ~QDir::CaseSensitive);
    OpenDialog1->setSizeGripEnabled(true);
    ChooseRomFile = [this](const QString& dir) {
        OpenDialog1->setDirectory(dir);
        if (OpenDialog1->exec() != QDialog::Accepted) return QString();
        return OpenDialog1->selectedFiles().value(0);
    };
    QuitApplication = [] { QCoreApplication::quit(); };
    ExecKeyDialog = [](TKeyConfigDialog& dialog) { return dialog.exec(); };

    BuildMenus();
    FitOuterSize();
    DXDraw1->setFocus();
    FormCreate();
    // A settings file that cannot be used was not opened (a FIFO would have
    // held the program here for good): the defaults apply, and the file is
    // left as it is. Said once, after the window shows.
    if (const QString problem = SettingsFileProblem(); !problem.isEmpty())
        ReportLater(("Cannot use the settings file \"" + SettingsFilePath() + "\": " + problem +
                     ". The program starts with its default settings and leaves the file as it is.")
                        .toStdString());
}

TMainForm::~TMainForm() {
    if (quitSignalsCaught_) {
        for (int signal : kQuitSignals) std::signal(signal, SIG_DFL);
    }
    // A hand-over still queued must not reach the machine once it is gone;
    // the debugger lets go of the machine before it goes.
    Dispatcher.Drop();
    delete debugger_;
    debugger_ = nullptr;
    SMS.reset();
}

// ---------------------------------------------------------------- the menu

QMenu* TMainForm::AddMenu(QMenuBar* bar, QMenu* parent, const char* name, const char* caption) {
    QMenu* menu = bar != nullptr ? bar->addMenu(caption) : parent->addMenu(caption);
    menu->setObjectName(name);
    // Connected before the menu's own handler, which pauses the game: the
    // visit sees whether the game ran before it.
    if (bar != nullptr) {
        connect(menu, &QMenu::aboutToShow, this, [this] { BeginMenuVisit(); });
        connect(menu, &QMenu::aboutToHide, this, [this] { QTimer::singleShot(0, this, [this] { EndMenuVisit(); }); });
    }
    menu->menuAction()->setObjectName(name);
    menus_.insert(name, menu);
    items_.insert(name, menu->menuAction());
    itemOrder_.append(name);
    return menu;
}

QAction* TMainForm::AddItem(QMenu* menu, const char* name, const char* caption, void (TMainForm::*handler)()) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    items_.insert(name, action);
    itemOrder_.append(name);
    return action;
}

QAction* TMainForm::AddSeparator(QMenu* menu, const char* name) {
    QAction* separator = menu->addSeparator();
    separator->setObjectName(name);
    items_.insert(name, separator);
    itemOrder_.append(name);
    return separator;
}

// Items of one choice: each checks itself and unchecks its siblings.
void TMainForm::Group(std::initializer_list<const char*> names, const char* checked) {
    auto* group = new QActionGroup(this);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (const char* name : names) {
        QAction* action = items_.value(name);
        action->setCheckable(true);
        group->addAction(action);
    }
    items_.value(checked)->setChecked(true);
}

void TMainForm::Check(const char* name) { items_.value(name)->setChecked(true); }

void TMainForm::BuildMenus() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName("MainMenu1");
    // Menus stay in the window (no global menu bar), so hiding the bar in
    // full screen leaves nothing of it on the screen.
    MainMenu1->setNativeMenuBar(false);

    QMenu* file = AddMenu(MainMenu1, nullptr, "mArquivo", "File");
    connect(file, &QMenu::aboutToShow, this, [this] { mArquivoClick(); });
    QAction* openItem = AddItem(file, "mAbrir", "Load Game (ROM)", &TMainForm::mAbrirClick);
    openItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    addAction(openItem);
    AddItem(file, "mReinicio", "Game Reset", &TMainForm::mReinicioClick)->setEnabled(false);
    AddItem(file, "mReiniCon", "Console Reset", &TMainForm::mReiniConClick)->setEnabled(false);
    // Ctrl+P, and the keyboard's Pause key (Enter is the console's Pause):
    // a key of the window, in full screen too, never repeated while held.
    QAction* pause = AddItem(file, "mPausa", "Pause", &TMainForm::mPausaClick);
    pause->setCheckable(true);
    pause->setEnabled(false);
    pause->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_P), QKeySequence(Qt::Key_Pause)});
    pause->setAutoRepeat(false);
    pause->installEventFilter(this);
    addAction(pause);
    AddSeparator(file, "N1");
    AddItem(file, "mBios", "Run BIOS", &TMainForm::mBiosClick);
    QMenu* biosType = AddMenu(nullptr, file, "mTipBIOS", "BIOS Type");
    AddItem(biosType, "mBIOSBr", "American / Brazilian", &TMainForm::mBIOSBrClick);
    AddItem(biosType, "mBIOSJap", "Japanese", &TMainForm::mBIOSJapClick);
    Group({"mBIOSBr", "mBIOSJap"}, "mBIOSBr");
    AddSeparator(file, "N5");
    AddItem(file, "mSair", "Exit", &TMainForm::mSairClick);
    BuildRecentMenu(file);

    QMenu* video = AddMenu(MainMenu1, nullptr, "mVideo", "Graphics");
    video->menuAction()->setEnabled(false);
    connect(video, &QMenu::aboutToShow, this, [this] { mVideoClick(); });
    QMenu* frameskip = AddMenu(nullptr, video, "mFrameskip", "Frameskip");
    AddItem(frameskip, "mFrame75", "75% Frameskip", &TMainForm::mFrame75Click);
    AddItem(frameskip, "mFrame50", "50% Frameskip", &TMainForm::mFrame50Click);
    AddItem(frameskip, "mFrameOff", "No Frameskip", &TMainForm::mFrameOffClick);
    Group({"mFrame75", "mFrame50", "mFrameOff"}, "mFrameOff");
    QMenu* background = AddMenu(nullptr, video, "mBck", "Background");
    AddItem(background, "mBckOn", "ON", &TMainForm::mBckOnClick);
    AddItem(background, "mBckOff", "OFF", &TMainForm::mBckOffClick);
    Group({"mBckOn", "mBckOff"}, "mBckOn");
    QMenu* sprites = AddMenu(nullptr, video, "mSpr", "Sprites");
    AddItem(sprites, "mSprOn", "ON", &TMainForm::mSprOnClick);
    AddItem(sprites, "mSprOff", "OFF", &TMainForm::mSprOffClick);
    Group({"mSprOn", "mSprOff"}, "mSprOn");
    QMenu* mode = AddMenu(nullptr, video, "mExib", "Video Mode");
    AddItem(mode, "mJanela", "Windowed", &TMainForm::mJanelaClick);
    // Alt+Enter goes back and forth; the keypad's Enter first, so that the
    // item shows the key by its usual name ("Alt+Enter"; Qt calls the main
    // one Return). The window holds it for full screen, where the bar is hidden.
    QAction* fullScreen = AddItem(mode, "mCheia", "Full Screen", &TMainForm::ToggleFullScreen);
    fullScreen->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_Enter), QKeySequence(Qt::ALT | Qt::Key_Return)});
    fullScreen->setAutoRepeat(false);
    addAction(fullScreen);
    Group({"mJanela", "mCheia"}, "mJanela");
    AddSeparator(video, "N3");
    QMenu* vdpStatus = AddMenu(nullptr, video, "mVDPS", "VDP Status");
    AddItem(vdpStatus, "mVDPSOn", "Show", &TMainForm::mVDPSOnClick);
    AddItem(vdpStatus, "mVDPSOff", "Hide", &TMainForm::mVDPSOffClick);
    Group({"mVDPSOn", "mVDPSOff"}, "mVDPSOff");
    BuildWindowSizeMenu(video);

    QMenu* sound = AddMenu(MainMenu1, nullptr, "mSom", "Sound");
    sound->menuAction()->setEnabled(false);
    connect(sound, &QMenu::aboutToShow, this, [this] { mSomClick(); });
    QMenu* mixer = AddMenu(nullptr, sound, "mMixer", "General Output (Mixer)");
    AddItem(mixer, "mMixerOn", "ON", &TMainForm::mMixerOnClick);
    AddItem(mixer, "mMixerOff", "OFF", &TMainForm::mMixerOffClick);
    Group({"mMixerOn", "mMixerOff"}, "mMixerOn");
    AddSeparator(sound, "N2");
    QMenu* tone1 = AddMenu(nullptr, sound, "mTom1", "Tone Generator 1");
    AddItem(tone1, "mTom1On", "ON", &TMainForm::mTom1OnClick);
    AddItem(tone1, "mTom1Off", "OFF", &TMainForm::mTom1OffClick);
    Group({"mTom1On", "mTom1Off"}, "mTom1On");
    QMenu* tone2 = AddMenu(nullptr, sound, "mTom2", "Tone Generator 2");
    AddItem(tone2, "mTom2On", "ON", &TMainForm::mTom2OnClick);
    AddItem(tone2, "mTom2Off", "OFF", &TMainForm::mTom2OffClick);
    Group({"mTom2On", "mTom2Off"}, "mTom2On");
    QMenu* tone3 = AddMenu(nullptr, sound, "mTom3", "Tone Generator 3");
    AddItem(tone3, "mTom3On", "ON", &TMainForm::mTom3OnClick);
    AddItem(tone3, "mTom3Off", "OFF", &TMainForm::mTom3OffClick);
    Group({"mTom3On", "mTom3Off"}, "mTom3On");
    QMenu* noise = AddMenu(nullptr, sound, "mRuido", "Noise Generator");
    AddItem(noise, "mRuidoOn", "ON", &TMainForm::mRuidoOnClick);
    AddItem(noise, "mRuidoOff", "OFF", &TMainForm::mRuidoOffClick);
    Group({"mRuidoOn", "mRuidoOff"}, "mRuidoOn");
    AddSeparator(sound, "N4");
    QMenu* psgStatus = AddMenu(nullptr, sound, "mPSGS", "PSG Status");
    AddItem(psgStatus, "mPSGSOn", "Show", &TMainForm::mPSGSOnClick);
    AddItem(psgStatus, "mPSGSOff", "Hide", &TMainForm::mPSGSOffClick);
    Group({"mPSGSOn", "mPSGSOff"}, "mPSGSOff");
    BuildVolumeMenu(sound);

    QMenu* state = AddMenu(MainMenu1, nullptr, "mEstado", "State");
    state->menuAction()->setEnabled(false);
    connect(state, &QMenu::aboutToShow, this, [this] { mEstadoClick(); });
    QAction* save = AddItem(state, "mSalvar", "Save State", &TMainForm::mSalvarClick);
    QAction* load = AddItem(state, "mCarregar", "Load State", &TMainForm::mCarregarClick);
    // The keys work while the machine runs and in full screen, where the
    // menu bar is hidden: the window holds the two items too.
    save->setShortcut(QKeySequence(Qt::Key_F5));
    load->setShortcut(QKeySequence(Qt::Key_F7));
    addAction(save);
    addAction(load);
    save->setEnabled(false);
    load->setEnabled(false);
    QMenu* slotMenu = AddMenu(nullptr, state, "mSlot", "Slot");
    AddItem(slotMenu, "mSlot1", "Slot 1", &TMainForm::mSlotClick<1>);
    AddItem(slotMenu, "mSlot2", "Slot 2", &TMainForm::mSlotClick<2>);
    AddItem(slotMenu, "mSlot3", "Slot 3", &TMainForm::mSlotClick<3>);
    AddItem(slotMenu, "mSlot4", "Slot 4", &TMainForm::mSlotClick<4>);
    AddItem(slotMenu, "mSlot5", "Slot 5", &TMainForm::mSlotClick<5>);
    AddItem(slotMenu, "mSlot6", "Slot 6", &TMainForm::mSlotClick<6>);
    AddItem(slotMenu, "mSlot7", "Slot 7", &TMainForm::mSlotClick<7>);
    AddItem(slotMenu, "mSlot8", "Slot 8", &TMainForm::mSlotClick<8>);
    AddItem(slotMenu, "mSlot9", "Slot 9", &TMainForm::mSlotClick<9>);
    Group({"mSlot1", "mSlot2", "mSlot3", "mSlot4", "mSlot5", "mSlot6", "mSlot7", "mSlot8", "mSlot9"}, "mSlot1");
    // Opening it shows what each slot holds (MainFormSlots.cpp).
    WatchSlotMenu(slotMenu);
    AddSeparator(state, "N6");
    QAction* rewind = AddItem(state, "mRebobinar", "Rewind", &TMainForm::mRebobinarClick);
    rewind->setCheckable(true);
    rewind->setChecked(true);

    // Console, after State: the model and its options (MainFormConsole.cpp).
    BuildConsoleMenu();

    // Input, after Console: the players' keys and controller buttons.
    QMenu* input = AddMenu(MainMenu1, nullptr, "mEntrada", "Input");
    connect(input, &QMenu::aboutToShow, this, [this] { mEntradaClick(); });
    AddItem(input, "mConfigurar", "Configure...", &TMainForm::mConfigurarClick);

    // Tools, after Input: the debugger window for cartridge developers.
    QMenu* tools = AddMenu(MainMenu1, nullptr, "mFerramentas", "Tools");
    connect(tools, &QMenu::aboutToShow, this, [this] { mFerramentasClick(); });
    AddItem(tools, "mDepurador", "Debugger", &TMainForm::mDepuradorClick);

    QMenu* help = AddMenu(MainMenu1, nullptr, "Ajuda1", "Help");
    connect(help, &QMenu::aboutToShow, this, [this] { Ajuda1Click(); });
    AddItem(help, "Sobre1", "About", &TMainForm::Sobre1Click);

    // F10 opens "File", as on other desktops (Qt leaves it to the program
    // on Linux); Alt and a caption's underlined letter open its menu.
    auto* menuKey = new QAction(this);
    menuKey->setObjectName("MenuKey");
    menuKey->setShortcut(QKeySequence(Qt::Key_F10));
    menuKey->setAutoRepeat(false);
    connect(menuKey, &QAction::triggered, this, [this] { OpenFirstMenu(); });
    addAction(menuKey);
    GiveMnemonics(MainMenu1->actions());
}

namespace {

// A caption's mnemonic letter (lower case), 0 when it has none ("&&" is a
// plain '&').
QChar MnemonicOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] != '&') return text[i + 1].toLower();
        ++i;
    }
    return QChar();
}

// Where the mnemonic goes in `text`, -1 for none free: the preferred letter,
// else a number that ends the caption ("Slot 3", "Tone Generator 2"), else a
// word's first letter, else any letter or digit.
qsizetype MnemonicPlace(const QString& text, const QString& taken, QChar preferred) {
    auto free = [&](qsizetype i) { return text[i].isLetterOrNumber() && !taken.contains(text[i].toLower()); };
    if (!preferred.isNull())
        if (const qsizetype at = text.indexOf(preferred); at >= 0 && free(at)) return at;
    const qsizetype lastWord = text.lastIndexOf(' ') + 1;
    if (lastWord < text.size() && text[lastWord].isDigit() && free(lastWord)) return lastWord;
    for (qsizetype i = 0; i < text.size(); ++i)
        if ((i == 0 || text[i - 1] == ' ') && free(i)) return i;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (free(i)) return i;
    return -1;
}

// Where the usual letter is not the first free one.
const std::pair<const char*, char> kPreferredMnemonics[] = {{"mSair", 'x'}};

}  // namespace

// Alt and a letter for every menu and item, one letter per menu, the text
// shown unchanged but for the underline. A caption that brings its own '&'
// keeps it. The recent games (paths, rebuilt as games open), the volume
// steps and the Console menu's closing note have none.
void TMainForm::GiveMnemonics(const QList<QAction*>& actions) {
    QString taken;
    for (const QAction* action : actions)
        if (const QChar letter = MnemonicOf(action->text()); !letter.isNull()) taken += letter;
    for (QAction* action : actions) {
        if (action->isSeparator() || action->objectName() == "mConsoleNote") continue;
        QString text = action->text();
        if (MnemonicOf(text).isNull()) {
            QChar preferred;
            for (const auto& [name, letter] : kPreferredMnemonics)
                if (action->objectName() == name) preferred = QChar(letter);
            if (const qsizetype at = MnemonicPlace(text, taken, preferred); at >= 0) {
                taken += text[at].toLower();
                text.insert(at, '&');
                action->setText(text);
            }
        }
        const QString name = action->objectName();
        if (action->menu() != nullptr && name != "mRecent" && name != "mVolume") GiveMnemonics(action->menu()->actions());
    }
}

QAction* TMainForm::Item(const QString& name) const { return items_.value(name, nullptr); }

QMenu* TMainForm::Menu(const QString& name) const { return menus_.value(name, nullptr); }

// ---------------------------------------------------------------- creation

void TMainForm::FormCreate() {
    // The frame loop's per-second count and the pacing's 1 ms sleeps rely on
    // a fine timer for the life of the program.
    Timers.timeBeginPeriod(1);
    SMS = std::make_unique<TSMS>(Dispatcher, Timers, DXSound1);
    SMS->StereoSound = &StereoOutput;
    SMS->ClearCoresCreated();
    SMS->BiosFolders = Bios_SearchFolders();
    // The console chosen in the "Console" menu, for the first start.
    SMS->ConsoleSettings = consoleSettings_;
    BindKeys();
    SMS->Input1 = &Joystick1;
    SMS->Input2 = &Joystick2;
    SMS->Display = Display.get();
    // Reports arrive on the main thread, often inside a menu's opening or a
    // frame's hand-over: the message box opens afterwards, from the event loop.
    SMS->OnError = [this](const std::string& message) { MachineError(message); };
    // The machine thread only posts the repaint; the widget paints on the main thread.
    SMS->OnRepaintRequest = [control = DXDraw1] {
        QMetaObject::invokeMethod(control, "update", Qt::QueuedConnection);
    };
    SMS->OnFrameDone = [this](TSMS& machine) { FrameDone(machine); };
    SMS->PauseNote = PauseNote;
    // A message on a stopped machine's picture goes away with a repaint.
    messageTimer_.setSingleShot(true);
    connect(&messageTimer_, &QTimer::timeout, this, [this] {
        if (MachineParked()) SMS->RepaintPicture();
    });
}

void TMainForm::BindKeys() {
    // Today's bindings, with what the player changed in the key dialog
    // (kept in the settings) over them.
    KeyBindings = LoadKeyBindings();
    KeyBindings.ApplyTo(Joystick1, Joystick2);
}

void TMainForm::CentreOnScreen() {
    QScreen* screen = this->screen();
    if (screen == nullptr) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

// The frame the window system draws around the window; none before the
// window is shown, none without a window manager.
QMargins TMainForm::FrameMargins() const {
    const QWindow* handle = windowHandle();
    return handle != nullptr ? handle->frameMargins() : QMargins();
}

// Sizes the window so that its frame measures 522 x 440 (for the Game
// Gear's picture, 440 high and as wide as its shape asks): the client area is
// what is left inside the frame known now.
void TMainForm::FitOuterSize() {
    fittedFrame_ = FrameMargins();
    fitOuterSize_ = true;
    fittedClient_ = StretchedClientSize();
    resize(fittedClient_);
    CentreOnScreen();
}

// The console's 256-wide picture has always filled a 522 x 440 window,
// whatever its height. The handheld's 160 x 144 stretched to that shape
// would show its pixels a fifth wider than high: its window keeps the
// height and takes the width that gives the picture its own 10:9 (the menu
// bar above it may wrap onto more lines at that width, so it is measured
// there).
QSize TMainForm::StretchedClientSize() const {
    const QSize client = QSize(kWindowWidth, kWindowHeight).shrunkBy(fittedFrame_);
    if (pictureWidth_ == CONSOLE_PICTURE_WIDTH || pictureHeight_ <= 0) return client;
    const auto bar = [this](int width) {
        const int height = MainMenu1->heightForWidth(width);
        return height >= 0 ? height : MainMenu1->sizeHint().height();
    };
    int width = client.width();
    for (int pass = 0; pass < 2; ++pass)
        width = (client.height() - bar(width)) * pictureWidth_ / pictureHeight_;
    return QSize(width, client.height());
}

// A window manager adds its frame after the window was mapped (it reparents
// and moves the window), and a change of flags brings a new native window:
// the client area is fitted again to the frame now reported.
void TMainForm::RefitWhenTheFrameChanged() {
    if (fitOuterSize_ && !isFullScreen() && FrameMargins() != fittedFrame_) FitOuterSize();
}

void TMainForm::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    RefitWhenTheFrameChanged();
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // Resized by the player or the window manager: that size stays.
    if (fitOuterSize_ && FrameMargins() == fittedFrame_ && size() != fittedClient_) fitOuterSize_ = false;
    RefitWhenTheFrameChanged();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    RefitWhenTheFrameChanged();
    if (startRom_.isEmpty()) return;
    const QString path = startRom_;
    startRom_.clear();
    QTimer::singleShot(0, this, [this, path] { OpenRomFile(path); });
}

void TMainForm::CloseOnQuitSignals() {
    if (quitSignalsCaught_) return;
    if (gQuitPipe[0] < 0 && ::pipe2(gQuitPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(gQuitPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(gQuitPipe[0], bytes, sizeof bytes) > 0) {
        }
        close();
    });
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kQuitSignals) ::sigaction(signal, &action, nullptr);
    quitSignalsCaught_ = true;
}

// ---------------------------------------------------------------- messages

void TMainForm::ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::Critical, "Tiravel", text, QMessageBox::Ok, this);
    box.setObjectName("ErrorMessage");
    box.exec();
}

void TMainForm::ReportLater(const std::string& message) {
    pendingMessages_.push_back(message);
    QTimer::singleShot(0, this, [this] { ShowPendingMessages(); });
}

void TMainForm::ShowPendingMessages() {
    // One message per box; a report arriving while a box is open waits its turn.
    while (!pendingMessages_.empty()) {
        const std::string message = pendingMessages_.front();
        pendingMessages_.erase(pendingMessages_.begin());
        ShowMessage(QString::fromStdString(message));
    }
}

void TMainForm::MachineError(const std::string& message) {
    // A display that refused full screen has fallen back to windowed: the
    // window follows it, and a click resumes the machine in the window.
    if (Item("mCheia")->isChecked() && !Display->FullScreenOption()) {
        SMS->SetFullScreen(0);
        QTimer::singleShot(0, this, [this] { ShowWindowed(); });
    }
    // An error that stopped the machine (in a frame's presentation) leaves a
    // paused game; its picture says so once the hand-over has ended.
    QTimer::singleShot(0, this, [this] { RepaintStopped(); });
    ReportLater(message);
}

// ---------------------------------------------------------------- commands

void TMainForm::EnableStartedMenus() {
    Item("mSom")->setEnabled(true);
    Item("mVideo")->setEnabled(true);
    Item("mReinicio")->setEnabled(true);
    Item("mReiniCon")->setEnabled(true);
    Item("mPausa")->setEnabled(true);
    Item("mEstado")->setEnabled(true);
    // The command line's full screen, once there is a game to show in it
    // (the item is refused before the first start).
    if (startFullScreen_) {
        startFullScreen_ = false;
        QTimer::singleShot(0, this, [this] {
            if (SMS->FullScreen != 1) mCheiaClick();
        });
    }
}

// The cartridge whose states the state commands save and load; none for
// the BIOS alone, whose machine has no ROM name to file a state under.
void TMainForm::SetCartridge(const QString& romPath) {
    romPath_ = romPath;
    Item("mSalvar")->setEnabled(!romPath.isEmpty());
    Item("mCarregar")->setEnabled(!romPath.isEmpty());
}

QString TMainForm::DataFolder(const QString& exeDir, const char* name) {
    if (QFileInfo(exeDir).isDir() && QFileInfo(exeDir).isWritable()) return exeDir + "/" + name;
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty()) data = QDir::homePath() + "/.local/share";
    return data + "/tiravel/" + name;
}

QString TMainForm::RamFolder(const QString& exeDir) { return DataFolder(exeDir, "RAMs"); }

QString TMainForm::StateFolder(const QString& exeDir) { return DataFolder(exeDir, "States"); }

QString TMainForm::StateFile(int slot) const {
    if (romPath_.isEmpty()) return QString();
    return StateFolder(ExecutableDirectory) + "/" + RomName(romPath_) + ".st" + QString::number(slot);
}

QString TMainForm::RomName(const QString& romPath) { return QFile::decodeName(SMS_RomName(FileName(romPath)).c_str()); }

void TMainForm::mArquivoClick() { PauseGame(); }

void TMainForm::mAbrirClick() {
    // Ctrl+O comes without a menu's pause: the game waits while the dialog
    // is open, and stays paused when it is cancelled, as from the menu.
    PauseGame();
    DXSound1.Stop();
    const QString file = ChooseRomFile ? ChooseRomFile(GameFolder()) : QString();
    if (file.isEmpty()) return;
    OpenRomFile(file);
}

bool TMainForm::OpenRomFile(const QString& path) {
    DXSound1.Stop();
    // The command line's ROM arrives with the machine never stopped: park it
    // as the menu would before the cores are reset.
    SMS->StopEmulation();
    // A Game Gear cartridge starts the Game Gear, whatever the menu says (a
    // Master System cannot run it); the player's choice stays for the others.
    // (Asked with the default model: a cartridge that takes the player's
    // choice gives that back.)
    const TConsoleModel asked = SMS_CartridgeModel(FileName(path), TConsoleModel::Tiravel);
    cartridgeModel_ = asked != TConsoleModel::Tiravel ? std::optional(asked) : std::nullopt;
    SMS->ConsoleSettings = StartSettings();
    SMS->InitMachine();
    SMS->StopEmulation();
    ForgetHistory();
    SetCartridge(QString());
    try {
        SMS->LoadRom(FileName(path));
    } catch (const std::exception& error) {
        cartridgeModel_.reset();
        SMS->ConsoleSettings = StartSettings();
        RepaintStopped();  // not ready: a click resumes nothing, the picture says no pause
        ShowMessage(QString::fromLocal8Bit(error.what()));
        return false;
    }
    SetCartridge(path);
    RememberGame(path);
    SMS->SetRamPath(FileName(RamFolder(ExecutableDirectory) + "/" + RomName(path) + ".RAM"));
    SMS->SetPriority(TThreadPriority::BelowNormal);
    if (std::string error; !SMS->Console->LoadBatteryFile(SMS->RamPath, error)) ReportLater(error);
    SMS->ResumeEmulation();
    EnableStartedMenus();
    // The picture says which console the cartridge chose, where it is not
    // the one in the menu.
    if (cartridgeModel_ && *cartridgeModel_ != consoleSettings_.Model)
        ShowPictureMessage(Console_OptionInfo(*cartridgeModel_).Name);
    return true;
}

void TMainForm::mReinicioClick() { SMS->Console->PressReset(); }

// The check toggled before this runs (the item, or a key, which first set it
// to what the game does now): checked holds the game, unchecked resumes it.
void TMainForm::mPausaClick() {
    if (Item("mPausa")->isChecked()) {
        PauseGame();
    } else {
        SMS->ResumeEmulation();
        // A menu left with Escape keeps the menu bar in keyboard navigation,
        // where the game's keys would open menus (C, "Console"): the picture
        // takes the keys back, as a click on it does.
        DXDraw1->setFocus();
    }
    // A game that cannot resume (none started, a BIOS type change waiting
    // for its Console Reset) leaves the item unchecked.
    RefreshPauseItem();
}

bool TMainForm::GamePaused() const { return SMS->CoresCreated == 1 && SMS->Ready == 1 && SMS->Stopped == 1; }

void TMainForm::RefreshPauseItem() { Item("mPausa")->setChecked(GamePaused()); }

// Stops the machine, and its picture says so at once when it can resume.
void TMainForm::PauseGame() {
    SMS->StopEmulation();
    RepaintStopped();
}

// A stopped machine's picture drawn again with what changed on it: the pause
// note, an overlay switched, a message.
void TMainForm::RepaintStopped() {
    if (MachineParked()) SMS->RepaintPicture();
}

void TMainForm::BeginMenuVisit() {
    if (menuVisit_) return;
    menuVisit_ = true;
    RefreshPauseItem();
}

void TMainForm::EndMenuVisit() {
    if (QApplication::activePopupWidget() == nullptr) menuVisit_ = false;
}

// The pause keys reach the item as a shortcut event before it toggles: its
// check is brought to what the game does now (a click may have resumed it
// since the menu was last open). During a menu visit it shows the game as it
// was before the menu, and a key toggles that, as choosing the item would.
bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Shortcut && watched == Item("mPausa")) {
        // With no menu open the visit is over, even where the menu's hiding
        // was not followed by its end yet (Escape back to the menu bar).
        EndMenuVisit();
        if (!menuVisit_) RefreshPauseItem();
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::mReiniConClick() {
    DXSound1.Stop();
    ForgetHistory();
    SMS->InitMachine();
    SMS->MarkReady();
    SMS->SetPriority(TThreadPriority::BelowNormal);
    SMS->ResumeEmulation();
    EnableStartedMenus();
}

void TMainForm::mBiosClick() {
    // The BIOS alone runs as the player's model.
    cartridgeModel_.reset();
    SMS->ConsoleSettings = StartSettings();
    SMS->InitMachine();
    SMS->StopEmulation();
    ForgetHistory();
    SetCartridge(QString());
    SMS->MarkReady();
    SMS->Console->RemoveCartridge();
    SMS->SetPriority(TThreadPriority::BelowNormal);
    SMS->ResumeEmulation();
    EnableStartedMenus();
}

void TMainForm::mBIOSBrClick() {
    ForgetHistory();
    SMS->InitMachine();
    SMS->Console->SetBiosType(1);
    Check("mBIOSBr");
    RepaintStopped();  // not ready until the Console Reset: no pause note
}

void TMainForm::mBIOSJapClick() {
    ForgetHistory();
    SMS->InitMachine();
    SMS->Console->SetBiosType(0);
    Check("mBIOSJap");
    RepaintStopped();
}

void TMainForm::mSairClick() {
    if (exited_) return;
    exited_ = true;
    // Reports already waiting are shown here, before the end, with this
    // command's own; the same failure is named once.
    std::vector<std::string> messages;
    messages.swap(pendingMessages_);
    if (SMS->CoresCreated == 1) {
        // Park the machine first so the save sees the cartridge RAM at rest.
        std::vector<std::string> stopMessages;
        SMS->OnError = [&stopMessages](const std::string& message) { stopMessages.push_back(message); };
        SMS->StopEmulation();
        SMS->OnError = [this](const std::string& message) { MachineError(message); };
        messages.insert(messages.end(), stopMessages.begin(), stopMessages.end());
        std::string error;
        if (!SMS->Console->SaveBatteryFile(SMS->RamPath, error))
            messages.push_back(error.empty() ? "The battery RAM file " + SMS->RamPath + " could not be written." : error);
    }
    std::vector<std::string> shown;
    for (const std::string& message : messages) {
        if (std::find(shown.begin(), shown.end(), message) != shown.end()) continue;
        shown.push_back(message);
        ShowMessage(QString::fromStdString(message));
    }
    Timers.timeEndPeriod(1);
    if (QuitApplication) QuitApplication();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    mSairClick();
    event->accept();
}

void TMainForm::mVideoClick() { PauseGame(); }
void TMainForm::mFrame75Click() { SMS->SetFrameskip(3); }
void TMainForm::mFrame50Click() { SMS->SetFrameskip(1); }
void TMainForm::mFrameOffClick() { SMS->SetFrameskip(0); }
void TMainForm::mBckOnClick() { SMS->Console->SetBackgroundLayer(1); }
void TMainForm::mBckOffClick() { SMS->Console->SetBackgroundLayer(0); }
void TMainForm::mSprOnClick() { SMS->Console->SetSpriteLayer(1); }
void TMainForm::mSprOffClick() { SMS->Console->SetSpriteLayer(0); }

// The window part of the windowed mode: frame, menu bar, check marks, size.
void TMainForm::ShowWindowed() {
    const bool visible = isVisible();
    // A change of flags re-creates the native window: only when needed.
    if (windowFlags() & Qt::FramelessWindowHint) setWindowFlag(Qt::FramelessWindowHint, false);
    if (isFullScreen()) showNormal();
    MainMenu1->show();
    Check("mJanela");
    FitWindow();
    if (visible) show();
}

void TMainForm::mJanelaClick() {
    SMS->StopEmulation();
    SMS->SetFullScreen(0);
    ShowWindowed();
    SMS->ResumeEmulation();
}

void TMainForm::mCheiaClick() {
    SMS->StopEmulation();
    const bool visible = isVisible();
    // Full screen takes the screen's size; windowed fits the frame again.
    fitOuterSize_ = false;
    if (!(windowFlags() & Qt::FramelessWindowHint)) setWindowFlag(Qt::FramelessWindowHint, true);
    // Full screen has no menu bar; Escape brings the window back.
    MainMenu1->hide();
    SMS->SetFullScreen(1);
    Check("mCheia");
    if (visible) show();
    SMS->ResumeEmulation();
}

// From the menu the window is windowed (the bar is hidden in full screen);
// the key comes back too. Before the first start, when "Graphics" is still
// disabled, the key does nothing (a frame shows the mode, and none runs).
void TMainForm::ToggleFullScreen() {
    if (!Item("mVideo")->isEnabled()) {
        Check("mJanela");
        return;
    }
    if (SMS->FullScreen == 1)
        mJanelaClick();
    else
        mCheiaClick();
}

void TMainForm::OpenFirstMenu() {
    if (!MainMenu1->isVisible()) return;
    MainMenu1->setActiveAction(Item("mArquivo"));
}

void TMainForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && Item("mCheia")->isChecked()) {
        mJanelaClick();
        event->accept();
        return;
    }
    // F6 and F8 step through the slots, wrapping from 9 to 1 and back.
    if ((event->key() == Qt::Key_F6 || event->key() == Qt::Key_F8) && SMS->CoresCreated == 1) {
        const int step = event->key() == Qt::Key_F6 ? 8 : 1;
        SelectSlot((slot_ - 1 + step) % 9 + 1);
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

// Shown or hidden at once, also on a paused game's picture.
void TMainForm::mVDPSOnClick() {
    SMS->SetVdpOverlay(1);
    RepaintStopped();
}
void TMainForm::mVDPSOffClick() {
    SMS->SetVdpOverlay(0);
    RepaintStopped();
}
void TMainForm::mSomClick() { PauseGame(); }
void TMainForm::mMixerOnClick() { SMS->Console->SetSoundChannel(TSoundChannel::Mixer, 1); }
void TMainForm::mMixerOffClick() { SMS->Console->SetSoundChannel(TSoundChannel::Mixer, 0); }
void TMainForm::mTom1OnClick() { SMS->Console->SetSoundChannel(TSoundChannel::Tone1, 1); }
void TMainForm::mTom1OffClick() { SMS->Console->SetSoundChannel(TSoundChannel::Tone1, 0); }
void TMainForm::mTom2OnClick() { SMS->Console->SetSoundChannel(TSoundChannel::Tone2, 1); }
void TMainForm::mTom2OffClick() { SMS->Console->SetSoundChannel(TSoundChannel::Tone2, 0); }
void TMainForm::mTom3OnClick() { SMS->Console->SetSoundChannel(TSoundChannel::Tone3, 1); }
void TMainForm::mTom3OffClick() { SMS->Console->SetSoundChannel(TSoundChannel::Tone3, 0); }
void TMainForm::mRuidoOnClick() { SMS->Console->SetSoundChannel(TSoundChannel::Noise, 1); }
void TMainForm::mRuidoOffClick() { SMS->Console->SetSoundChannel(TSoundChannel::Noise, 0); }
void TMainForm::mPSGSOnClick() {
    SMS->SetPsgOverlay(1);
    RepaintStopped();
}
void TMainForm::mPSGSOffClick() {
    SMS->SetPsgOverlay(0);
    RepaintStopped();
}

namespace {

constexpr const char* kVolumeKey = "Sound/Volume";

}  // namespace

// After "PSG Status", behind a separator: one item per step, mVolume100 to
// mVolume0, the kept one checked.
void TMainForm::BuildVolumeMenu(QMenu* sound) {
    AddSeparator(sound, "N8");
    QMenu* volume = AddMenu(nullptr, sound, "mVolume", "Volume");
    auto* group = new QActionGroup(this);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (const int step : VolumeSteps) {
        const QString name = "mVolume" + QString::number(step);
        QAction* action = volume->addAction(QString::number(step) + "%");
        action->setObjectName(name);
        action->setCheckable(true);
        group->addAction(action);
        items_.insert(name, action);
        itemOrder_.append(name);
        connect(action, &QAction::triggered, this, [this, step] {
            SetVolume(step);
            TSettings().setValue(kVolumeKey, step);
        });
    }
    // A kept value that is no step (a hand edit) goes to the step below it.
    bool ok = false;
    const int kept = TSettings().value(kVolumeKey).toInt(&ok);
    int chosen = 100;
    if (ok)
        for (const int step : VolumeSteps)
            if (step <= kept) {
                chosen = step;
                break;
            }
    if (ok && kept < 0) chosen = 0;
    SetVolume(chosen);
}

void TMainForm::SetVolume(int percent) {
    volume_ = std::clamp(percent, 0, 100);
    DXSound1.SetVolume(static_cast<uint8_t>(volume_));
    StereoOutput.SetVolume(static_cast<uint8_t>(volume_));
    if (QAction* item = Item("mVolume" + QString::number(volume_))) item->setChecked(true);
}
void TMainForm::Ajuda1Click() { PauseGame(); }

// ---------------------------------------------------------------- states

void TMainForm::mEstadoClick() {
    PauseGame();
    // A key pressed just before the menu opened is served now.
    if (pendingState_ != TStateCommand::None) RequestState(std::exchange(pendingState_, TStateCommand::None));
}

void TMainForm::mSalvarClick() { RequestState(TStateCommand::Save); }

void TMainForm::mCarregarClick() { RequestState(TStateCommand::Load); }

void TMainForm::mRebobinarClick() {
    // Unchecked, no history is kept and its memory is given back.
    if (!Item("mRebobinar")->isChecked()) ForgetHistory();
}

void TMainForm::SelectSlot(int slot) {
    slot_ = std::clamp(slot, 1, 9);
    Check(("mSlot" + std::to_string(slot_)).c_str());
    ShowPictureMessage("Slot " + std::to_string(slot_));
}

bool TMainForm::MachineParked() const { return SMS->CoresCreated != 1 || SMS->Stopped == 1; }

void TMainForm::RequestState(TStateCommand command) {
    if (SMS->CoresCreated != 1 || romPath_.isEmpty()) return;
    // A running machine is touched only in its hand-over.
    if (MachineParked()) {
        RunStateCommand(command);
    } else {
        pendingState_ = command;
    }
}

void TMainForm::RunStateCommand(TStateCommand command) {
    if (command == TStateCommand::Save) SaveStateFile();
    if (command == TStateCommand::Load) LoadStateFile();
}

void TMainForm::SaveStateFile() {
    const QString path = StateFile(slot_);
    QDir().mkpath(QFileInfo(path).path());
    std::string error;
    if (!SMS->Console->SaveStateFile(FileName(path), error)) {
        ReportLater(error);
        return;
    }
    RefreshSlotItem(slot_);
    ShowPictureMessage("State " + std::to_string(slot_) + " saved");
}

void TMainForm::LoadStateFile() {
    const QString path = StateFile(slot_);
    const QFileInfo file(path);
    if (!file.exists() && !file.isSymLink()) {
        ShowPictureMessage("No state in slot " + std::to_string(slot_));
        return;
    }
    std::string error;
    if (!SMS->Console->LoadStateFile(FileName(path), error)) {
        ReportLater(error);
        return;
    }
    // The state's picture is the frame image now: the stream holds it whole,
    // ready to be shown (and taken as a screenshot).
    SMS->FrameStream.Size = static_cast<uint32_t>(SMS->Console->FrameImageSize());
    SMS->FrameStream.Position = 0;
    FollowPictureSize();
    // The machine may have been waiting for its BIOS type or for a start:
    // a loaded state is a game in progress that a click resumes.
    SMS->MarkReady();
    ShowPictureMessage("State " + std::to_string(slot_) + " loaded");
}

void TMainForm::ShowPictureMessage(const std::string& text) {
    SMS->ShowMessage(text);
    // Running, the next frames draw it; stopped, the picture is drawn again
    // now and once more when the message has gone.
    if (MachineParked()) SMS->RepaintPicture();
    messageTimer_.start(static_cast<int>(TSMS::MessageMs) + 100);
}

// A new start: the history and a key's command still waiting belong to the
// game that was running.
void TMainForm::ForgetHistory() {
    Rewind.Clear(*SMS);
    pendingState_ = TStateCommand::None;
}

// The hand-over of every frame, after its sound and before its picture.
void TMainForm::FrameDone(TSMS& machine) {
    ConveniencesFrame(machine);
    if (debugger_ != nullptr) debugger_->FrameDone(machine);
    if (pendingState_ != TStateCommand::None) {
        RunStateCommand(std::exchange(pendingState_, TStateCommand::None));
        return;
    }
    // Unchecked, no history is kept; held Backspace does nothing.
    if (!Item("mRebobinar")->isChecked()) return;
    const bool held = Keyboard->Foreground() && Keyboard->KeyDown(VK::Back);
    if (std::string error; !Rewind.Frame(machine, held, error)) ReportLater(error);
}

// ---------------------------------------------------------------- input

void TMainForm::mEntradaClick() { PauseGame(); }

// The dialog polls joystick 0 and the bindings change on this thread, where
// the frame's input step reads them too, so no step sees half a change; the
// menu's opening has stopped the machine besides.
void TMainForm::mConfigurarClick() {
    TKeyConfigDialog dialog(KeyBindings, &Joystick0, this);
    if (ExecKeyDialog(dialog) != QDialog::Accepted) return;
    KeyBindings = dialog.Bindings();
    KeyBindings.ApplyTo(Joystick1, Joystick2);
    const QString error = SaveKeyBindings(KeyBindings);
    if (!error.isEmpty()) ShowMessage(error);
}

// ---------------------------------------------------------------- tools

void TMainForm::mFerramentasClick() { PauseGame(); }

// The window stands beside this one; the machine stays as the menu left it
// (stopped) until the debugger's Run or a click on the picture.
void TMainForm::mDepuradorClick() {
    if (debugger_ == nullptr) {
        // The debugger's hook goes into the CPU: before the first game the
        // chips are made as a start would make them (nothing runs yet).
        if (SMS->CoresCreated != 1) SMS->InitMachine();
        debugger_ = new TDebuggerWindow(*SMS, this);
    }
    debugger_->PlaceBeside(*this);
    debugger_->show();
    debugger_->raise();
    debugger_->activateWindow();
}

void TMainForm::Sobre1Click() {
    if (AboutBox != nullptr) {
        AboutBox->exec();
        return;
    }
    TAboutBox box(this);
    box.exec();
}

// A click on the picture resumes the game, also where the debugger holds it
// stopped (a breakpoint, a step): it runs on as the debugger's Run would.
void TMainForm::DXDraw1Click() {
    if (debugger_ != nullptr && debugger_->Debugger().Stopped() && SMS->Stopped != 1) {
        debugger_->Run();
        return;
    }
    SMS->ResumeEmulation();
}
