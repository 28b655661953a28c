// TMainForm's "Console" menu: which console the machine is (the default
// model "Tiravel", or a model of the real Master System, Master System II or
// Game Gear) and, for the real ones, the region, the video standard (not the
// Game Gear's: it has one) and the cartridge's mapper. The lists come from
// the console's own tables, so a model added there appears here without a
// change. The choice is kept in the user's settings and reaches the machine
// at its next start or Console Reset, as a real console changes only when it
// is switched off and on again; a Game Gear cartridge starts the Game Gear
// whatever the choice. The command line's --model, --region and --video
// are chosen here as the menu would choose them.
#include "MainForm.h"

#include <QAction>
#include <QActionGroup>
#include <QFile>
#include <QMenu>
#include <QMenuBar>

#include "Settings.h"

namespace {

constexpr const char* kModelKey = "Console/Model";
constexpr const char* kRegionKey = "Console/Region";
constexpr const char* kVideoKey = "Console/Video";
constexpr const char* kMapperKey = "Console/Mapper";

constexpr const char* kTakesEffect = "Takes effect at the next Console Reset";
constexpr const char* kHardwareOnly =
    "Only the Master System and Game Gear models have a region, a video standard and a mapper; "
    "the Tiravel model is always the same machine";
constexpr const char* kOneStandard = "The Game Gear has one video standard: its own screen, at the NTSC rate";

// The settings file keeps the tables' ids ("sms2", "pal"). An id this
// program does not know (a later version's, a hand edit) gives the default.
template <typename E>
E ReadChoice(const TSettings& settings, const char* key, E fallback) {
    const QString id = settings.value(key).toString();
    E value = fallback;
    if (id.isEmpty() || !Console_FindOption(std::string_view(id.toStdString()), value)) return fallback;
    return value;
}

template <typename E>
QString ChoiceId(E value) {
    return QString::fromLatin1(Console_OptionInfo(value).Id);
}

TConsoleSettings LoadConsoleSettings() {
    const TSettings settings;
    const TConsoleSettings defaults;
    TConsoleSettings chosen;
    chosen.Model = ReadChoice(settings, kModelKey, defaults.Model);
    chosen.Region = ReadChoice(settings, kRegionKey, defaults.Region);
    chosen.Video = ReadChoice(settings, kVideoKey, defaults.Video);
    chosen.Mapper = ReadChoice(settings, kMapperKey, defaults.Mapper);
    return chosen;
}

void SaveConsoleSettings(const TConsoleSettings& chosen) {
    TSettings settings;
    settings.setValue(kModelKey, ChoiceId(chosen.Model));
    settings.setValue(kRegionKey, ChoiceId(chosen.Region));
    settings.setValue(kVideoKey, ChoiceId(chosen.Video));
    settings.setValue(kMapperKey, ChoiceId(chosen.Mapper));
}

}  // namespace

// After "State": Model, Region, Video and Mapper, each a submenu of
// exclusive items named after the ids (mModel_sms2, mVideoStandard_pal), and
// a line that says when a change takes effect.
void TMainForm::BuildConsoleMenu() {
    consoleSettings_ = LoadConsoleSettings();
    QMenu* console = AddMenu(MainMenu1, nullptr, "mConsole", "Console");
    console->setToolTipsVisible(true);
    connect(console, &QMenu::aboutToShow, this, [this] { mConsoleClick(); });
    auto addChoice = [&]<typename E>(const char* name, const char* caption, E TConsoleSettings::*field) {
        QMenu* menu = AddMenu(nullptr, console, name, caption);
        menu->setToolTipsVisible(true);
        auto* group = new QActionGroup(this);
        group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
        for (const TConsoleOptionInfo<E>& row : Console_Options<E>()) {
            const QString itemName = QString(name) + "_" + QString::fromLatin1(row.Id);
            QAction* action = menu->addAction(QString::fromUtf8(row.Name));
            action->setObjectName(itemName);
            action->setCheckable(true);
            action->setToolTip(kTakesEffect);
            group->addAction(action);
            items_.insert(itemName, action);
            itemOrder_.append(itemName);
            const E value = row.Value;
            connect(action, &QAction::triggered, this, [this, field, value] {
                TConsoleSettings chosen = consoleSettings_;
                chosen.*field = value;
                ChooseConsole(chosen);
            });
        }
    };
    addChoice("mModel", "Model", &TConsoleSettings::Model);
    addChoice("mRegion", "Region", &TConsoleSettings::Region);
    addChoice("mVideoStandard", "Video", &TConsoleSettings::Video);
    addChoice("mMapper", "Mapper", &TConsoleSettings::Mapper);
    AddSeparator(console, "N7");
    // Not a command: the menu's own reminder, greyed like a caption.
    QAction* note = console->addAction(kTakesEffect);
    note->setObjectName("mConsoleNote");
    note->setEnabled(false);
    items_.insert("mConsoleNote", note);
    itemOrder_.append("mConsoleNote");
    RefreshConsoleMenu();
}

void TMainForm::RefreshConsoleMenu() {
    const TConsoleSettings& chosen = consoleSettings_;
    Item("mModel_" + ChoiceId(chosen.Model))->setChecked(true);
    Item("mRegion_" + ChoiceId(chosen.Region))->setChecked(true);
    Item("mVideoStandard_" + ChoiceId(chosen.Video))->setChecked(true);
    Item("mMapper_" + ChoiceId(chosen.Mapper))->setChecked(true);
    // The default model has none of the three: they wait, greyed, with their
    // choice kept for when a Master System is chosen again.
    const bool hardware = Console_IsHardwareModel(chosen.Model);
    for (const char* name : {"mRegion", "mVideoStandard", "mMapper"}) {
        QAction* submenu = Item(name);
        submenu->setEnabled(hardware);
        submenu->setToolTip(hardware ? kTakesEffect : kHardwareOnly);
    }
    // The handheld's screen has one standard: the choice waits, greyed, for
    // a Master System.
    if (chosen.Model == TConsoleModel::GameGear) {
        Item("mVideoStandard")->setEnabled(false);
        Item("mVideoStandard")->setToolTip(kOneStandard);
    }
    Item("mModel")->setToolTip(kTakesEffect);
}

void TMainForm::mConsoleClick() { PauseGame(); }

// The settings the next start runs: the player's choice, with the model a
// Game Gear cartridge in the slot asks for.
TConsoleSettings TMainForm::StartSettings() const {
    TConsoleSettings settings = consoleSettings_;
    if (cartridgeModel_) settings.Model = *cartridgeModel_;
    return settings;
}

void TMainForm::ChooseConsole(const TConsoleSettings& settings) {
    consoleSettings_ = settings;
    SMS->ConsoleSettings = StartSettings();
    SaveConsoleSettings(settings);
    RefreshConsoleMenu();
    // The running game goes on as the console it started on; the picture
    // says when the choice applies, as the menu line does. A cartridge that
    // chose its own model keeps it at a Console Reset too. (Short: the Game
    // Gear's picture has room for 29 characters.)
    if (SMS->CoresCreated != 1) return;
    if (cartridgeModel_ && *cartridgeModel_ != settings.Model)
        ShowPictureMessage("Applies to other cartridges");
    else if (Console_EffectiveSettings(SMS->ConsoleSettings) != SMS->Console->Settings())
        ShowPictureMessage(kTakesEffect);
}

void TMainForm::ApplyCommandLine(const TCommandLine& line) {
    const TConsoleSettings chosen = CommandLine_ConsoleSettings(line, consoleSettings_);
    if (chosen != consoleSettings_) ChooseConsole(chosen);
    if (line.FullScreen) SetStartFullScreen();
    if (!line.Rom.empty()) SetStartRom(QFile::decodeName(line.Rom.c_str()));
}
