// The program's entry: the application, the main window and the About
// dialog, then the event loop. `tiravel [ROM]` opens a ROM file at once.
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>

#include "AboutBox.h"
#include "MainForm.h"

namespace {

void Usage(std::FILE* out) { std::fprintf(out, "Usage: tiravel [ROM file]\n"); }

}  // namespace

int main(int argc, char* argv[]) {
    // Help needs no display, so it is answered before the application starts.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            Usage(stdout);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tiravel");

    // Qt has taken its own options (-platform, ...) out of the arguments.
    const QStringList args = QApplication::arguments();
    if (args.size() > 2) {
        Usage(stderr);
        return 2;
    }

    TMainForm form;
    TAboutBox about(&form);
    form.AboutBox = &about;
    if (args.size() == 2) form.SetStartRom(args[1]);
    form.CloseOnQuitSignals();
    form.show();
    return app.exec();
}
