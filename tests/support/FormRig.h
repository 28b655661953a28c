// The main window for tests: made in a folder of the test's own (the
// program's folder, with the data folder beneath it), its frames counted as
// it presents them, started through its menu and run unpaced.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QString>

#include <cstdlib>
#include <functional>
#include <memory>

#include "MainForm.h"
#include "WaitFor.h"

struct TFormRig {
    std::unique_ptr<TMainForm> form;
    int frames = 0;
    int quits = 0;
    // Also called in each presentation, while the machine waits.
    std::function<void(TSMS&)> onFrame;

    // `folder` is the program's folder; the data folder ($XDG_DATA_HOME) is
    // its "xdg" folder.
    void CreateForm(const QString& folder) {
        setenv("XDG_DATA_HOME", (folder + "/xdg").toLocal8Bit().constData(), 1);
        form = std::make_unique<TMainForm>();
        form->ExecutableDirectory = folder;
        form->QuitApplication = [this] { ++quits; };
        form->SMS->OnPresentFrame = [this](TSMS& machine) {
            ++frames;
            if (onFrame) onFrame(machine);
        };
    }
    TSMS& Machine() { return *form->SMS; }
    TMainForm& Form() { return *form; }
    // A menu item by name; a missing one fails the test.
    QAction* Item(const char* name) {
        QAction* item = form->Item(name);
        EXPECT_NE(item, nullptr) << name;
        return item;
    }
    // Starts a ROM through "File" > "Load Game (ROM)" with the choice answered.
    bool Open(const QString& path) {
        form->mArquivoClick();
        form->ChooseRomFile = [path](const QString&) { return path; };
        form->mAbrirClick();
        return Machine().Ready == 1 && Machine().Stopped == 0;
    }
    // Runs the machine unpaced for at least `count` more frames.
    bool RunFrames(int count) {
        Machine().TargetFps = 0;
        const int target = frames + count;
        return WaitFor([&] { return frames >= target; });
    }
};
