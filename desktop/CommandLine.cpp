// tiravel's command line, parsed in two passes around Qt's (see CommandLine.h).
#include "CommandLine.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "ConsoleChoices.h"
#include "TiravelVersion.h"

namespace {

// The options QGuiApplication and QApplication take (with one dash or two):
// the first pass leaves them to Qt and does not call them unknown.
constexpr std::array<std::string_view, 22> kQtOptions = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "geometry",
    "qwindowtitle", "title", "qwindowicon", "icon", "reverse", "session", "display", "name",
    "style", "stylesheet", "widgetcount", "nograb", "dograb", "qmljsdebugger", "testability", "sync"};

bool IsQtOption(std::string_view arg) {
    arg.remove_prefix(arg.rfind("--", 0) == 0 ? 2 : 1);
    if (const std::size_t eq = arg.find('='); eq != std::string_view::npos) arg = arg.substr(0, eq);
    return std::find(kQtOptions.begin(), kQtOptions.end(), arg) != kQtOptions.end();
}

TCommandLine Fail(std::string message) {
    TCommandLine line;
    line.Action = TCommandLine::TAction::Error;
    line.Error = std::move(message);
    return line;
}

// One option's help, under the others' column.
std::string OptionHelp(const char* option, const std::string& text) { return Console_OptionHelp(option, text, 22); }

}  // namespace

TCommandLine CommandLine_Parse(const std::vector<std::string>& args, bool qtOptionsLeft) {
    TCommandLine line;
    bool optionsEnd = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        const bool isOption = !optionsEnd && arg.size() > 1 && arg[0] == '-';
        if (!isOption) {
            if (arg == "--" && !optionsEnd) {
                optionsEnd = true;
                continue;
            }
            // Before Qt has run, a word may be the value of one of its
            // options (-platform offscreen): ROMs are counted afterwards.
            if (qtOptionsLeft) continue;
            if (!line.Rom.empty()) return Fail("only one ROM can be opened, not '" + line.Rom + "' and '" + arg + "'");
            line.Rom = arg;
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        std::string value;
        bool inlineValue = false;
        if (arg.rfind("--", 0) == 0) {
            if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                inlineValue = true;
            }
        }
        if ((arg == "--help" || arg == "-h") && !inlineValue) {
            line.Action = TCommandLine::TAction::Help;
            return line;
        }
        if (arg == "--version" && !inlineValue) {
            line.Action = TCommandLine::TAction::Version;
            return line;
        }
        if (arg == "--fullscreen" && !inlineValue) {
            line.FullScreen = true;
            continue;
        }
        if (arg == "--model" || arg == "--region" || arg == "--video") {
            if (!inlineValue && i + 1 < args.size()) value = args[++i];
            std::string problem;
            if (arg == "--model") {
                TConsoleModel model{};
                problem = Console_ParseChoice(arg, value, model);
                line.Model = model;
            } else if (arg == "--region") {
                TConsoleRegion region{};
                problem = Console_ParseChoice(arg, value, region);
                line.Region = region;
            } else {
                TConsoleVideo video{};
                problem = Console_ParseChoice(arg, value, video);
                line.Video = video;
            }
            if (!problem.empty()) return Fail(problem);
            continue;
        }
        // A single dash is Qt's way (-platform, -style); the second pass sees
        // only what Qt did not take.
        if (qtOptionsLeft && (arg.rfind("--", 0) != 0 || IsQtOption(arg))) continue;
        if (inlineValue && (arg == "--help" || arg == "--version" || arg == "--fullscreen"))
            return Fail(arg + " takes no value");
        return Fail("unknown option '" + args[i] + "'");
    }
    return line;
}

std::string CommandLine_Version() { return "tiravel " TIRAVEL_VERSION "\n"; }

std::string CommandLine_Usage() {
    std::string text =
        "Usage: tiravel [options] [ROM]\n"
        "Plays a Master System or Game Gear cartridge in a window, after the console's\n"
        "BIOS. The ROM is a .sms, .gg or .bin image, or a .zip, .7z or .gz holding one;\n"
        "without one, \"File\" > \"Load Game (ROM)\" (Ctrl+O) opens one.\n"
        "\n"
        "Options:\n";
    text += OptionHelp("--model MODEL",
                       "the console: " + Console_IdListForHelp<TConsoleModel>(std::nullopt, true) +
                           "; a Game Gear cartridge (.gg) always runs on the Game Gear");
    text += OptionHelp("--region REGION", "a Master System's region: " + Console_IdList<TConsoleRegion>());
    text += OptionHelp("--video STANDARD", "a Master System's video standard: " + Console_IdList<TConsoleVideo>());
    text +=
        "  --fullscreen        start the game in full screen (Escape: back to the window)\n"
        "  --help              print this help\n"
        "  --version           print the version\n"
        "Like the \"Console\" menu, --model, --region and --video are kept as its choice\n"
        "for the next starts too; without them the menu's last choice runs (at first\n"
        "tiravel, export, ntsc). Qt's own options (-platform NAME, ...) work too.\n"
        "\n"
        "Keys: arrows = pad, X and C = buttons 1 and 2, Enter = Pause (Game Gear: Start),\n"
        "Ctrl+P pause, F5/F7 save/load state, Backspace rewind, Tab fast, F12 screenshot.\n"
        "\n"
        "Settings: ~/.config/Tiravel/Tiravel.conf. Battery saves, states, screenshots\n"
        "and BIOS dumps: RAMs/, States/, Screenshots/, BIOS/ beside the program if its\n"
        "folder is writable, otherwise in ~/.local/share/tiravel/.\n";
    return text;
}

TConsoleSettings CommandLine_ConsoleSettings(const TCommandLine& line, TConsoleSettings chosen) {
    if (line.Model) chosen.Model = *line.Model;
    if (line.Region) chosen.Region = *line.Region;
    if (line.Video) chosen.Video = *line.Video;
    return chosen;
}
