// tiravel's command line as a unit: a table of command lines, each parsed in
// the pass before Qt (Qt's options still there, no ROM counted) and in the
// pass after it (every option ours), with the outcome of each; and the help
// text's promises (every id listed, one screen).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "CommandLine.h"

namespace {

using TAction = TCommandLine::TAction;

struct TCase {
    std::vector<std::string> Args;
    bool QtOptionsLeft;
    TAction Action;
    std::string Error{};  // for TAction::Error: the whole message
    std::string Rom{};
    std::optional<TConsoleModel> Model{};
    std::optional<TConsoleRegion> Region{};
    std::optional<TConsoleVideo> Video{};
    bool FullScreen = false;
};

const char kModels[] = "tiravel, sms1, sms2 or gamegear";

const TCase kCases[] = {
    // Nothing: the menu's choice, no ROM.
    {{}, true, TAction::Run, "", ""},
    {{}, false, TAction::Run, "", ""},
    // A ROM alone; the first pass does not count it.
    {{"Game.sms"}, false, TAction::Run, "", "Game.sms"},
    {{"Game.sms"}, true, TAction::Run, "", ""},
    // The console options, as separate words or with '=', in any letter case.
    {{"--model", "gamegear", "Game.sms"}, false, TAction::Run, "", "Game.sms", TConsoleModel::GameGear},
    {{"--model=SMS2", "--region=japan", "--video", "pal"}, false, TAction::Run, "", "",
     TConsoleModel::MasterSystem2, TConsoleRegion::Japan, TConsoleVideo::Pal},
    {{"--video", "ntsc", "--fullscreen", "--", "--odd-name.sms"}, false, TAction::Run, "", "--odd-name.sms",
     std::nullopt, std::nullopt, TConsoleVideo::Ntsc, true},
    {{"--model", "sms1", "--model", "sms2"}, false, TAction::Run, "", "", TConsoleModel::MasterSystem2},
    // Help and version, answered where they come, also in the first pass.
    {{"--help"}, true, TAction::Help, ""},
    {{"-h", "--bogus"}, true, TAction::Help, ""},
    {{"Game.sms", "--version"}, true, TAction::Version, ""},
    {{"--model", "sms1", "--version", "a", "b"}, false, TAction::Version, ""},
    // An earlier error wins over help.
    {{"--model", "x", "--help"}, true, TAction::Error, std::string("--model must be ") + kModels + ", not 'x'"},
    // Unknown ids, missing values.
    {{"--model", "x"}, false, TAction::Error, std::string("--model must be ") + kModels + ", not 'x'"},
    {{"--region", "europe"}, true, TAction::Error, "--region must be export or japan, not 'europe'"},
    {{"--video=secam"}, false, TAction::Error, "--video must be ntsc or pal, not 'secam'"},
    {{"Game.sms", "--model"}, false, TAction::Error, std::string("--model needs ") + kModels},
    {{"--video="}, true, TAction::Error, "--video needs ntsc or pal"},
    // Unknown options and values given to flags.
    {{"--bogus"}, true, TAction::Error, "unknown option '--bogus'"},
    {{"--bogus=1"}, false, TAction::Error, "unknown option '--bogus=1'"},
    {{"--fullscreen=yes"}, true, TAction::Error, "--fullscreen takes no value"},
    {{"--help=1"}, false, TAction::Error, "--help takes no value"},
    // Two ROMs: only after Qt has taken its options (and their values).
    {{"a.sms", "b.sms"}, false, TAction::Error, "only one ROM can be opened, not 'a.sms' and 'b.sms'"},
    {{"a.sms", "b.sms"}, true, TAction::Run, ""},
    // Qt's options are left to Qt in the first pass, with one dash or two;
    // anything Qt did not take is unknown in the second.
    {{"-platform", "offscreen", "--platform=xcb", "-style", "fusion", "--model", "sms1", "Game.sms"}, true,
     TAction::Run, "", "", TConsoleModel::MasterSystem},
    {{"-reverse", "--bogus"}, true, TAction::Error, "unknown option '--bogus'"},
    {{"-bogus"}, true, TAction::Run, ""},
    {{"-bogus"}, false, TAction::Error, "unknown option '-bogus'"},
    {{"--platform"}, false, TAction::Error, "unknown option '--platform'"},
    // A lone dash is a file name, not an option.
    {{"-"}, false, TAction::Run, "", "-"},
};

std::string Describe(const std::vector<std::string>& args, bool qtOptionsLeft) {
    std::string text = qtOptionsLeft ? "before Qt:" : "after Qt:";
    for (const std::string& arg : args) text += " " + arg;
    return text;
}

TEST(CommandLine, EachCommandLineHasItsOutcome) {
    for (const TCase& row : kCases) {
        const std::string what = Describe(row.Args, row.QtOptionsLeft);
        const TCommandLine line = CommandLine_Parse(row.Args, row.QtOptionsLeft);
        EXPECT_EQ(line.Action, row.Action) << what << " (" << line.Error << ")";
        EXPECT_EQ(line.Error, row.Error) << what;
        if (row.Action != TAction::Run) continue;
        EXPECT_EQ(line.Rom, row.Rom) << what;
        EXPECT_EQ(line.Model, row.Model) << what;
        EXPECT_EQ(line.Region, row.Region) << what;
        EXPECT_EQ(line.Video, row.Video) << what;
        EXPECT_EQ(line.FullScreen, row.FullScreen) << what;
    }
}

TEST(CommandLine, TheOptionsGoOverTheMenusChoiceAndLeaveTheRest) {
    const TConsoleSettings menu{TConsoleModel::MasterSystem, TConsoleRegion::Japan, TConsoleVideo::Pal,
                                TConsoleMapper::Codemasters};
    EXPECT_EQ(CommandLine_ConsoleSettings(CommandLine_Parse({}, false), menu), menu);
    const TConsoleSettings expected{TConsoleModel::GameGear, TConsoleRegion::Japan, TConsoleVideo::Ntsc,
                                    TConsoleMapper::Codemasters};
    EXPECT_EQ(CommandLine_ConsoleSettings(CommandLine_Parse({"--model", "gamegear", "--video", "ntsc"}, false), menu),
              expected);
}

// The help lists every id of the console's tables, fits a terminal of 80 x
// 24, and names where the settings go.
TEST(CommandLine, TheHelpListsEveryIdOnOneScreen) {
    const std::string help = CommandLine_Usage();
    for (const auto& row : Console_Options<TConsoleModel>()) EXPECT_NE(help.find(row.Id), std::string::npos) << row.Id;
    for (const auto& row : Console_Options<TConsoleRegion>()) EXPECT_NE(help.find(row.Id), std::string::npos) << row.Id;
    for (const auto& row : Console_Options<TConsoleVideo>()) EXPECT_NE(help.find(row.Id), std::string::npos) << row.Id;
    for (const char* text : {"--model", "--region", "--video", "--fullscreen", "--help", "--version",
                             "~/.config/Tiravel/Tiravel.conf"})
        EXPECT_NE(help.find(text), std::string::npos) << text;
    std::istringstream lines(help);
    int count = 0;
    for (std::string text; std::getline(lines, text); ++count) EXPECT_LE(text.size(), 80u) << text;
    EXPECT_LE(count, 24);
    EXPECT_EQ(CommandLine_Version(), "tiravel " TIRAVEL_VERSION "\n");
}

}  // namespace
