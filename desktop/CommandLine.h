// tiravel's command line: `tiravel [--model ID] [--region ID] [--video ID]
// [--fullscreen] [ROM]`, --help and --version. Toolkit-free, so that help,
// version and a bad option are answered before the application opens a
// display, and so that the parser is tested as a unit.
//
// Qt takes its own options (-platform, -style, ...) out of the arguments when
// the application starts. So the parser runs twice: first on the whole
// command line, leaving those options to Qt and counting no ROM (it cannot
// tell a Qt option's value from a ROM yet); then on what Qt left, where
// every option is ours and the one argument left over is the ROM.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Console.h"

struct TCommandLine {
    enum class TAction { Run, Help, Version, Error };
    TAction Action = TAction::Run;
    // --model, --region, --video as given; unset ones keep the menu's choice.
    std::optional<TConsoleModel> Model;
    std::optional<TConsoleRegion> Region;
    std::optional<TConsoleVideo> Video;
    bool FullScreen = false;
    std::string Rom;    // "" for none (only in the second pass)
    std::string Error;  // for Error: what is wrong, in one line
};

// The arguments after the program's name. `qtOptionsLeft` is true for the
// first pass, before Qt has taken its options out.
TCommandLine CommandLine_Parse(const std::vector<std::string>& args, bool qtOptionsLeft);

// The line --version prints: "tiravel 0.11.0".
std::string CommandLine_Version();

// The text --help prints.
std::string CommandLine_Usage();

// The menu's console choice with the command line's options put over it.
TConsoleSettings CommandLine_ConsoleSettings(const TCommandLine& line, TConsoleSettings chosen);
