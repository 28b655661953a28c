// The program's entry: the application, the main window and the About
// dialog, then the event loop. `tiravel [ROM]` opens a ROM file at once.
#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "AboutBox.h"
#include "MainForm.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tiravel");

    const QStringList args = QApplication::arguments();
    if (args.size() > 2 || (args.size() == 2 && (args[1] == "-h" || args[1] == "--help"))) {
        std::fprintf(stderr, "Usage: tiravel [ROM file]\n");
        return args.size() > 2 ? 2 : 0;
    }

    TMainForm form;
    TAboutBox about(&form);
    form.AboutBox = &about;
    if (args.size() == 2) form.SetStartRom(args[1]);
    form.show();
    return app.exec();
}
