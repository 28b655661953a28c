// The program's entry: the command line, the application, the main window
// and the About dialog, then the event loop. `tiravel --help` tells the
// options; help, version and a bad option are answered before the
// application starts, so they need no display.
#include <QApplication>
#include <QFile>
#include <QStringList>
#include <cstdio>
#include <string>
#include <vector>

#include "AboutBox.h"
#include "CommandLine.h"
#include "MainForm.h"

namespace {

constexpr int kExitUsage = 2;

// Help and version print and end the program; an error too, with its
// status. Returns -1 to go on.
int Answer(const TCommandLine& line) {
    switch (line.Action) {
        case TCommandLine::TAction::Help: std::fputs(CommandLine_Usage().c_str(), stdout); return 0;
        case TCommandLine::TAction::Version: std::fputs(CommandLine_Version().c_str(), stdout); return 0;
        case TCommandLine::TAction::Error:
            std::fprintf(stderr, "tiravel: %s\nTry 'tiravel --help'.\n", line.Error.c_str());
            return kExitUsage;
        case TCommandLine::TAction::Run: break;
    }
    return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (const int status = Answer(CommandLine_Parse(std::vector<std::string>(argv + 1, argv + argc), true));
        status >= 0)
        return status;
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tiravel");

    // Qt has taken its own options (-platform, ...) out of the arguments:
    // what is left is ours, and the ROM.
    std::vector<std::string> args;
    for (const QString& arg : QApplication::arguments().mid(1)) args.push_back(QFile::encodeName(arg).toStdString());
    const TCommandLine line = CommandLine_Parse(args, false);
    if (const int status = Answer(line); status >= 0) return status;

    TMainForm form;
    TAboutBox about(&form);
    form.AboutBox = &about;
    form.ApplyCommandLine(line);
    form.CloseOnQuitSignals();
    form.show();
    return app.exec();
}
