// TMainForm: what players reach for beyond the console itself. Recent games
// and dropped files, the window's whole-multiple sizes and sharp full-screen
// scaling, fast forward on held Tab, and screenshots on F12.
#include "MainForm.h"

#include <QAction>
#include <QActionGroup>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QImage>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <string>
#include <utility>

#include "Settings.h"

namespace {

constexpr const char* kRecentKey = "RecentGames";
constexpr const char* kFolderKey = "LastGameFolder";
constexpr const char* kKeepAspectKey = "Graphics/KeepAspectRatio";

// One local file, as a file manager drags it; "" for anything else.
QString DroppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return QString();
    const QUrl url = data->urls().front();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

// ---------------------------------------------------------------- games

void TMainForm::BuildRecentMenu(QMenu* file) {
    AddSeparator(file, "NRecent");
    recentMenu_ = AddMenu(nullptr, file, "mRecent", "Recent Games");
    RefreshRecentMenu();
}

// Only the first ten of what is stored: a list grown long in the file
// costs neither menu items nor work at every game opened.
QStringList TMainForm::RecentGames() const {
    return TSettings().value(kRecentKey).toStringList().mid(0, RecentGamesMax);
}

void TMainForm::SetRecentGames(const QStringList& games) {
    TSettings().setValue(kRecentKey, games);
    RefreshRecentMenu();
}

QString TMainForm::GameFolder() const {
    const QString folder = TSettings().value(kFolderKey).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : ExecutableDirectory;
}

// A game that opened goes to the top of the list, once.
void TMainForm::RememberGame(const QString& path) {
    const QFileInfo file(path);
    const QString absolute = file.absoluteFilePath();
    QStringList games = RecentGames();
    games.removeAll(absolute);
    games.prepend(absolute);
    while (games.size() > RecentGamesMax) games.removeLast();
    // The list first: each write rewrites the whole file, and a file holding
    // a hand-made list of thousands is rewritten once, already short.
    SetRecentGames(games);
    TSettings().setValue(kFolderKey, file.absolutePath());
}

// The items are the files' paths; an empty list leaves the submenu disabled.
void TMainForm::RefreshRecentMenu() {
    if (recentMenu_ == nullptr) return;
    // The item being triggered may be the one replaced: it goes once its
    // signal has returned.
    for (QAction* action : recentMenu_->actions()) {
        recentMenu_->removeAction(action);
        action->deleteLater();
    }
    const QStringList games = RecentGames();
    for (int i = 0; i < games.size(); ++i) {
        const QString path = games[i];
        auto* action = new QAction(QString(path).replace('&', "&&"), recentMenu_);
        recentMenu_->addAction(action);
        action->setObjectName("mRecent" + QString::number(i + 1));
        connect(action, &QAction::triggered, this, [this, path] { mRecentClick(path); });
    }
    recentMenu_->menuAction()->setEnabled(!games.isEmpty());
}

void TMainForm::mRecentClick(const QString& path) {
    DXSound1.Stop();
    const QFileInfo file(path);
    if (!file.exists() && !file.isSymLink()) {
        QStringList games = RecentGames();
        games.removeAll(path);
        SetRecentGames(games);
        ShowMessage("The game \"" + path + "\" is no longer there; it was removed from \"Recent Games\".");
        return;
    }
    OpenRomFile(path);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
    const QString path = DroppedFile(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    // Opened from the event loop once the drop has ended: a message box must
    // not keep the program that dragged the file waiting.
    QTimer::singleShot(0, this, [this, path] {
        DXSound1.Stop();
        OpenRomFile(path);
    });
}

// ---------------------------------------------------------------- picture

void TMainForm::BuildWindowSizeMenu(QMenu* video) {
    AddSeparator(video, "NWindowSize");
    QMenu* sizes = AddMenu(nullptr, video, "mWindowSize", "Window Size");
    AddItem(sizes, "mSizeStretched", "Stretched", &TMainForm::mSizeClick<0>);
    AddItem(sizes, "mSize1", "1x", &TMainForm::mSizeClick<1>);
    AddItem(sizes, "mSize2", "2x", &TMainForm::mSizeClick<2>);
    AddItem(sizes, "mSize3", "3x", &TMainForm::mSizeClick<3>);
    AddItem(sizes, "mSize4", "4x", &TMainForm::mSizeClick<4>);
    Group({"mSizeStretched", "mSize1", "mSize2", "mSize3", "mSize4"}, "mSizeStretched");
    AddItem(video, "mSharp", "Sharp scaling", &TMainForm::mSharpClick)->setCheckable(true);
    // Off at the first start: a window the player resized stretches the
    // picture, as it always has. The choice is kept in the settings.
    QAction* aspect = AddItem(video, "mAspect", "Keep aspect ratio", &TMainForm::mAspectClick);
    aspect->setCheckable(true);
    aspect->setChecked(TSettings().value(kKeepAspectKey).toBool());
    Display->SetKeepAspectWindowed(aspect->isChecked());

    // F12 works while the game runs, in a window or full screen.
    auto* screenshot = new QAction(this);
    screenshot->setObjectName("Screenshot");
    screenshot->setShortcut(QKeySequence(Qt::Key_F12));
    connect(screenshot, &QAction::triggered, this, [this] { RequestScreenshot(); });
    addAction(screenshot);
}

void TMainForm::SetWindowScale(int scale) {
    windowScale_ = std::clamp(scale, 0, 4);
    Check(windowScale_ == 0 ? "mSizeStretched" : ("mSize" + std::to_string(windowScale_)).c_str());
    // Full screen keeps its size; the window takes this one when it returns.
    if (!Item("mCheia")->isChecked()) FitWindow();
    SMS->ResumeEmulation();
}

// Stretched, the window measures 522 x 440 outside as it always has (the
// Game Gear's, as high at its picture's shape); at a scale, the picture
// control measures exactly that multiple of the picture (256 x 192, or the
// 224 or 240 lines of a hardware model's mode, or the Game Gear's 160 x 144),
// and the window is its size with the menu bar above.
void TMainForm::FitWindow() {
    if (windowScale_ == 0) {
        FitOuterSize();
        return;
    }
    fitOuterSize_ = false;
    const QSize picture(pictureWidth_ * windowScale_, pictureHeight_ * windowScale_);
    int bar = MainMenu1->heightForWidth(picture.width());
    if (bar < 0) bar = MainMenu1->sizeHint().height();
    resize(picture.width(), picture.height() + bar);
    // The layout has placed the control now; what it lacks, the window gets.
    if (layout() != nullptr) layout()->activate();
    if (DXDraw1->size() != picture) resize(size() + (picture - DXDraw1->size()));
    CentreOnScreen();
}

// A picture of another size (a hardware model's VDP switched between 192,
// 224 and 240 lines; the Game Gear's window, or a Master System after it): a
// window at a whole scale is fitted to it again, and so is a stretched one
// the player has not resized (its shape follows the picture's width), from
// the event loop once the hand-over has ended.
void TMainForm::FollowPictureSize() {
    if (!SMS->Console) return;
    const int width = static_cast<int>(SMS->Console->PictureWidth());
    const int height = static_cast<int>(SMS->Console->PictureHeight());
    if (width == pictureWidth_ && height == pictureHeight_) return;
    const bool reshaped = width != pictureWidth_;
    pictureWidth_ = width;
    pictureHeight_ = height;
    if (windowScale_ == 0 && !(reshaped && fitOuterSize_)) return;
    QTimer::singleShot(0, this, [this] {
        if (Item("mCheia")->isChecked()) return;
        if (windowScale_ != 0)
            FitWindow();
        else if (fitOuterSize_)
            FitOuterSize();
    });
}

void TMainForm::mSharpClick() {
    DXDraw1->SetWholeMultiples(Item("mSharp")->isChecked());
    SMS->ResumeEmulation();
}

// Windowed, the picture at the largest size of its own shape that fits the
// window, centred on black bars (with "Sharp scaling", at a whole multiple
// as in full screen); full screen always keeps it.
void TMainForm::mAspectClick() {
    const bool keep = Item("mAspect")->isChecked();
    Display->SetKeepAspectWindowed(keep);
    TSettings().setValue(kKeepAspectKey, keep);
    SMS->ResumeEmulation();
}

// ---------------------------------------------------------------- speed

// Each frame's hand-over: a screenshot asked for, and fast forward while Tab
// is held (not while Backspace winds the game back).
void TMainForm::ConveniencesFrame(TSMS& machine) {
    FollowPictureSize();
    if (std::exchange(screenshotPending_, false)) TakeScreenshot();
    const bool held = Keyboard->Foreground() && Keyboard->KeyDown(VK::Tab) && !Keyboard->KeyDown(VK::Back);
    machine.SetFastForward(held ? 1 : 0);
}

// ---------------------------------------------------------------- screenshots

QString TMainForm::ScreenshotFolder(const QString& exeDir) { return DataFolder(exeDir, "Screenshots"); }

void TMainForm::RequestScreenshot() {
    if (SMS->CoresCreated != 1 || SMS->FrameStream.Size == 0) return;
    // The frame is read where the machine thread does not write it.
    if (MachineParked())
        TakeScreenshot();
    else
        screenshotPending_ = true;
}

// The frame as the console made it, 256 x its height (the Game Gear's
// 160 x 144), without the overlays or a
// message; never over an existing file (a second one in the same second
// gets "-2", "-3", ...).
void TMainForm::TakeScreenshot() {
    QImage frame;
    if (!frame.loadFromData(SMS->FrameStream.Data, static_cast<int>(SMS->FrameStream.Size), "BMP")) return;
    const QString folder = ScreenshotFolder(ExecutableDirectory);
    const QString stem = folder + "/" + (romPath_.isEmpty() ? QString("BIOS") : RomName(romPath_)) + "-" +
                         QDateTime::currentDateTime().toString("yyyy-MM-dd-HHmmss");
    QString path = stem + ".png";
    for (int n = 2; QFileInfo(path).exists() || QFileInfo(path).isSymLink(); ++n)
        path = stem + "-" + QString::number(n) + ".png";
    const std::string cannot = "Cannot save the screenshot \"" + path.toStdString() + "\": ";
    if (!QDir().mkpath(folder)) {
        ReportLater(cannot + "the folder \"" + folder.toStdString() + "\" cannot be created.");
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !frame.save(&file, "PNG") || !file.commit()) {
        ReportLater(cannot + file.errorString().toStdString() + ".");
        return;
    }
    lastScreenshot_ = path;
    ShowPictureMessage("Screenshot saved");
}
