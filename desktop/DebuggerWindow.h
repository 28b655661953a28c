// TDebuggerWindow: "Tools" > "Debugger", a window of its own beside the main
// one. It runs and stops the machine, steps it, keeps its breakpoints, and
// shows the CPU, the memories, the VDP and the PSG.
//
// The pages never touch the running machine. They show a copy of it that the
// window takes where the machine thread is parked: at once while the machine
// is stopped, and while it runs in a frame's hand-over (TSMS::OnFrameDone) at
// most ten times a second, so the game keeps its full speed with the window
// open. Edits (registers, memory) go into the machine itself, only while it
// is stopped, and the copy is taken again.
//
// Closing the window changes nothing in the game: the debugger lets go of the
// machine (no hook, no breakpoint: the normal loop at full speed; a machine
// the debugger held stopped runs on), and the window only hides. Opening it
// again shows the same window and sets its breakpoints again.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <cstdint>
#include <memory>

#include <functional>
#include <vector>

#include "Console.h"
#include "Debugger.h"
#include "SMS.h"

class QAction;
class QLabel;
class QTabWidget;
class TDebuggerBreakpointView;
class TDebuggerCpuView;
class TDebuggerMemoryView;
class TDebuggerSoundView;
class TDebuggerVdpView;

// The copy of the machine the pages show: a console of its own, whose chips
// point at each other, so that decoding the memory map never reads the
// running one.
struct TDebugSnapshot {
    TConsole Console;
    bool Taken = false;
};

// Where the debugger's frame goes beside the main window's frame `main` on a
// screen's available area: to its right at its top when the `wanted` size
// fits there, else to its left; where neither side has room for it, narrower
// on the roomier side, down to `minimum`; where not even that fits (a centred
// game window on a small screen), against the roomier side's screen edge,
// and the main window moves over just enough to stand beside it when the
// screen is wide enough for both; otherwise it covers as little of the main
// window as it can. Always on the available area and never larger than it.
struct TDebuggerPlace {
    QRect Debugger;  // the debugger's frame
    QPoint Main;     // the main window's frame's top left, moved or not
};
TDebuggerPlace DebuggerPlacement(const QRect& main, QSize wanted, QSize minimum, const QRect& available);

class TDebuggerWindow final : public QWidget {
    Q_OBJECT
public:
    explicit TDebuggerWindow(TSMS& machine, QWidget* parent = nullptr);
    ~TDebuggerWindow() override;

    // The main form calls this in every frame's hand-over while the window
    // exists; it costs one time check unless a copy is due.
    void FrameDone(TSMS& machine);
    // A new copy of a parked machine, shown at once.
    void Refresh();
    // Before the window is shown: at its first showing, or when it would
    // cover the main window `main`, it goes beside it (DebuggerPlacement);
    // otherwise it opens where the developer left it.
    void PlaceBeside(QWidget& main);

    // The commands of the tool bar.
    void Run();
    void Stop();
    void Step();
    void StepOver();
    void RunToEndOfFrame();
    void RunOneFrame();

    QAction* Command(const QString& name) const;
    QLabel* Status() const { return status_; }
    QTabWidget* Pages() const { return pages_; }
    TDebuggerCpuView* CpuView() const { return cpu_; }
    TDebuggerBreakpointView* BreakpointView() const { return breakpoints_; }
    TDebuggerMemoryView* MemoryView() const { return memory_; }
    TDebuggerVdpView* VdpView() const { return vdp_; }
    TDebuggerSoundView* SoundView() const { return sound_; }
    const TDebugSnapshot& Snapshot() const { return *snapshot_; }
    TDebugger& Debugger() { return *debugger_; }

    // Copies taken so far (a test sees the running refresh).
    uint64_t Copies() const { return copies_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool Parked() const;
    void Go(void (TDebugger::*command)());
    void Stopped();
    QString StopText(const TDebugStop& stop) const;
    void Take(TSMS& machine);
    void ShowCopy();
    void ShowCurrentPage();
    void UpdateCommands();
    void SetStatus(const QString& text);
    bool EditMachine(const std::function<void(TSMS&)>& edit);
    void BuildMemories();

    TSMS& machine_;
    std::unique_ptr<TDebugger> debugger_;
    // The breakpoints while the window is closed, set again when it opens.
    std::vector<TBreakpoint> kept_;
    bool released_ = false;
    bool placed_ = false;
    std::unique_ptr<TDebugSnapshot> snapshot_;
    QElapsedTimer sinceCopy_;
    bool showQueued_ = false;
    uint64_t copies_ = 0;
    QTabWidget* pages_ = nullptr;
    QLabel* status_ = nullptr;
    TDebuggerCpuView* cpu_ = nullptr;
    TDebuggerBreakpointView* breakpoints_ = nullptr;
    TDebuggerMemoryView* memory_ = nullptr;
    TDebuggerVdpView* vdp_ = nullptr;
    TDebuggerSoundView* sound_ = nullptr;
};
