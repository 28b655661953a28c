// TDebuggerWindow: the tool bar, the pages, the copy of the machine and the
// commands.
#include "DebuggerWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QScreen>
#include <QShowEvent>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "DebuggerBreakpointView.h"
#include "DebuggerChipViews.h"
#include "DebuggerCpuView.h"
#include "DebuggerMemoryView.h"
#include "DebuggerText.h"

namespace {

// While the machine runs, the pages show a new copy at most this often.
constexpr int kRunningRefreshMs = 100;

struct TCommand {
    const char* Name;
    const char* Caption;
    QKeySequence Key;
};

}  // namespace

TDebuggerWindow::TDebuggerWindow(TSMS& machine, QWidget* parent)
    : QWidget(parent, Qt::Window),
      machine_(machine),
      debugger_(std::make_unique<TDebugger>(machine)),
      snapshot_(std::make_unique<TDebugSnapshot>()) {
    setObjectName("DebuggerWindow");
    setWindowTitle("Tiravel Debugger");
    // The stop arrives on this thread, posted by the machine's dispatcher.
    debugger_->OnStop = [this] { Stopped(); };

    auto* bar = new QToolBar(this);
    bar->setObjectName("DebuggerCommands");
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const TCommand commands[] = {
        {"Run", "Run", QKeySequence(Qt::Key_F5)},
        {"Stop", "Stop", QKeySequence(Qt::SHIFT | Qt::Key_F5)},
        {"Step", "Step", QKeySequence(Qt::Key_F11)},
        {"StepOver", "Step Over", QKeySequence(Qt::Key_F10)},
        {"RunToEndOfFrame", "Run to End of Frame", QKeySequence(Qt::SHIFT | Qt::Key_F11)},
        {"RunOneFrame", "Run One Frame", QKeySequence(Qt::Key_F6)},
    };
    void (TDebuggerWindow::*handlers[])() = {&TDebuggerWindow::Run,        &TDebuggerWindow::Stop,
                                             &TDebuggerWindow::Step,       &TDebuggerWindow::StepOver,
                                             &TDebuggerWindow::RunToEndOfFrame, &TDebuggerWindow::RunOneFrame};
    for (std::size_t i = 0; i < std::size(commands); ++i) {
        QAction* action = bar->addAction(commands[i].Caption);
        action->setObjectName(commands[i].Name);
        action->setShortcut(commands[i].Key);
        action->setToolTip(QString("%1 (%2)").arg(commands[i].Caption, commands[i].Key.toString()));
        connect(action, &QAction::triggered, this, [this, handler = handlers[i]] { (this->*handler)(); });
    }

    pages_ = new QTabWidget(this);
    pages_->setObjectName("DebuggerPages");
    cpu_ = new TDebuggerCpuView(pages_);
    breakpoints_ = new TDebuggerBreakpointView(*debugger_, pages_);
    memory_ = new TDebuggerMemoryView(pages_);
    vdp_ = new TDebuggerVdpView(pages_);
    sound_ = new TDebuggerSoundView(pages_);
    pages_->addTab(cpu_, "CPU");
    pages_->addTab(breakpoints_, "Breakpoints");
    pages_->addTab(memory_, "Memory");
    pages_->addTab(vdp_, "VDP");
    pages_->addTab(sound_, "Sound");
    connect(pages_, &QTabWidget::currentChanged, this, [this] { ShowCurrentPage(); });
    connect(breakpoints_, &TDebuggerBreakpointView::Message, this, [this](const QString& text) { SetStatus(text); });
    connect(memory_, &TDebuggerMemoryView::Message, this, [this](const QString& text) { SetStatus(text); });
    cpu_->EditCpu = [this](const std::function<void(TCpuRegisters&)>& edit) {
        return EditMachine([&edit](TSMS& machine) {
            TCpuRegisters registers = machine.Console->Registers();
            edit(registers);
            machine.Console->SetRegisters(registers);
        });
    };
    BuildMemories();

    status_ = new QLabel(this);
    status_->setObjectName("DebuggerStatus");
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar);
    layout->addWidget(pages_, 1);
    layout->addWidget(status_);
    resize(860, 600);
}

TDebuggerWindow::~TDebuggerWindow() {
    // The game goes on as if the debugger had never been there.
    debugger_->OnStop = nullptr;
    debugger_->Release();
}

QAction* TDebuggerWindow::Command(const QString& name) const { return findChild<QAction*>(name); }

// ---------------------------------------------------------------- the copy

bool TDebuggerWindow::Parked() const {
    return machine_.CoresCreated != 1 || machine_.Stopped == 1 || debugger_->Stopped();
}

void TDebuggerWindow::Take(TSMS& machine) {
    if (machine.CoresCreated != 1) return;
    TDebugSnapshot& copy = *snapshot_;
    copy.Console.CopyFrom(*machine.Console);
    copy.Taken = true;
    sinceCopy_.start();
    ++copies_;
}

void TDebuggerWindow::FrameDone(TSMS& machine) {
    // In the hand-over the machine waits: only the copy is taken here, the
    // pages are drawn afterwards from the event loop.
    if (!isVisible() || (sinceCopy_.isValid() && sinceCopy_.elapsed() < kRunningRefreshMs)) return;
    Take(machine);
    if (showQueued_) return;
    showQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        showQueued_ = false;
        ShowCopy();
    });
}

void TDebuggerWindow::Refresh() {
    if (Parked()) Take(machine_);
    ShowCopy();
}

void TDebuggerWindow::ShowCopy() {
    UpdateCommands();
    ShowCurrentPage();
}

void TDebuggerWindow::ShowCurrentPage() {
    if (!snapshot_->Taken || !isVisible()) return;
    const TDebugSnapshot& copy = *snapshot_;
    const bool editable = Parked() && machine_.CoresCreated == 1;
    QWidget* page = pages_->currentWidget();
    if (page == cpu_) cpu_->Show(copy.Console, editable);
    if (page == breakpoints_) breakpoints_->Refresh();
    if (page == memory_) {
        memory_->SetEditable(editable);
        memory_->Refresh();
    }
    if (page == vdp_) vdp_->Show(copy.Console);
    if (page == sound_) sound_->Show(copy.Console);
}

bool TDebuggerWindow::EditMachine(const std::function<void(TSMS&)>& edit) {
    if (!Parked() || machine_.CoresCreated != 1) {
        SetStatus("Stop the machine to change it.");
        return false;
    }
    edit(machine_);
    Refresh();
    return true;
}

void TDebuggerWindow::BuildMemories() {
    // The memories in the order the page lists them; each is read from the
    // copy and written into the machine as the console's Poke does it. The
    // ones the CPU sees are numbered by the CPU's addresses: system RAM at
    // #C000-#DFFF and again at #E000-#FFFF (8 KB decoded in a 16 KB window),
    // cartridge RAM as two 16 KB banks, each paged in at #8000-#BFFF by the
    // Sega mapper's #FFFC. VRAM and CRAM are the VDP's, with addresses of
    // their own.
    struct TNumbering {
        TMemoryRegion Region;
        uint32_t Base, MirrorEnd, BankSize;
    };
    const TNumbering numberings[] = {
        {TMemoryRegion::SystemRam, 0xC000, 0xFFFF, 0},   {TMemoryRegion::CartridgeRam, 0x8000, 0, 0x4000},
        {TMemoryRegion::CpuSpace, 0, 0, 0},               {TMemoryRegion::Vram, 0, 0, 0},
        {TMemoryRegion::Cram, 0, 0, 0},
    };
    const TConsole& copy = snapshot_->Console;
    std::vector<TDebugMemory> memories;
    for (const TNumbering& numbering : numberings) {
        const TMemoryRegion region = numbering.Region;
        memories.push_back({copy.RegionName(region), static_cast<uint32_t>(copy.RegionSize(region)),
                            [&copy, region](uint32_t offset) { return copy.Peek(region, offset); },
                            [this, region](uint32_t offset, uint8_t value) {
                                return EditMachine(
                                    [&](TSMS& machine) { machine.Console->Poke(region, offset, value); });
                            },
                            numbering.Base, numbering.MirrorEnd, numbering.BankSize});
    }
    memory_->SetMemories(std::move(memories));
}

// ---------------------------------------------------------------- commands

void TDebuggerWindow::Go(void (TDebugger::*command)()) {
    if (machine_.CoresCreated != 1 || machine_.Ready != 1) {
        SetStatus("Nothing runs yet: start a game or the BIOS first.");
        return;
    }
    // A machine the main window paused (a menu opened) runs again for the
    // command: the debugger resumes it itself.
    (debugger_.get()->*command)();
    SetStatus("Running");
    // The pages take no more edits.
    ShowCopy();
}

void TDebuggerWindow::Run() { Go(&TDebugger::Run); }
void TDebuggerWindow::Step() { Go(&TDebugger::Step); }
void TDebuggerWindow::StepOver() { Go(&TDebugger::StepOver); }
void TDebuggerWindow::RunToEndOfFrame() { Go(&TDebugger::RunToFrameEnd); }
void TDebuggerWindow::RunOneFrame() { Go(&TDebugger::RunOneFrame); }

void TDebuggerWindow::Stop() {
    if (Parked()) return;
    debugger_->Stop();
}

// Posted by the debugger at each stop of the machine thread.
void TDebuggerWindow::Stopped() {
    const TDebugStop stop = debugger_->LastStop();
    breakpoints_->MarkHit(stop.Reason == TStopReason::Breakpoint ? stop.Breakpoint.Id : 0);
    SetStatus(StopText(stop));
    // A breakpoint hit while the window was in the background brings it up
    // on the page that shows where.
    if (stop.Reason == TStopReason::Breakpoint) {
        pages_->setCurrentWidget(cpu_);
        show();
        raise();
    }
    Refresh();
}

QString TDebuggerWindow::StopText(const TDebugStop& stop) const {
    const std::string bank = machine_.Console->BankName(stop.PC);
    QString why;
    switch (stop.Reason) {
        case TStopReason::None:
        case TStopReason::Stopped: why = "stopped"; break;
        case TStopReason::Step: why = "one instruction executed"; break;
        case TStopReason::StepOver: why = "stepped over"; break;
        case TStopReason::FrameEnd: why = "the frame ended"; break;
        case TStopReason::OneFrame: why = "one frame run"; break;
        case TStopReason::Breakpoint: {
            why = "breakpoint: " + TDebuggerBreakpointView::Describe(stop.Breakpoint);
            const TBreakKind kind = stop.Breakpoint.Kind;
            if (kind == TBreakKind::PortRead || kind == TBreakKind::PortWrite)
                why += QString(" (port #%1)").arg(Hex(stop.Access, 2));
            else if (kind == TBreakKind::MemoryRead || kind == TBreakKind::MemoryWrite)
                why += QString(" (#%1)").arg(Hex(stop.Access, 4));
            break;
        }
    }
    return QString("Stopped at #%1 (%2), frame %3, line %4%5: %6")
        .arg(Hex(stop.PC, 4), QString::fromStdString(bank))
        .arg(stop.Frame)
        .arg(stop.Line)
        .arg(stop.Halted ? ", on a HALT" : "")
        .arg(why);
}

void TDebuggerWindow::UpdateCommands() {
    const bool parked = Parked();
    const bool started = machine_.CoresCreated == 1 && machine_.Ready == 1;
    for (const char* name : {"Run", "Step", "StepOver", "RunToEndOfFrame", "RunOneFrame"})
        Command(name)->setEnabled(started && parked);
    Command("Stop")->setEnabled(started && !parked);
    if (!started) SetStatus("Nothing runs yet: start a game or the BIOS first.");
}

void TDebuggerWindow::SetStatus(const QString& text) { status_->setText(text); }

// ---------------------------------------------------------------- showing

TDebuggerPlace DebuggerPlacement(const QRect& main, QSize wanted, QSize minimum, const QRect& available) {
    wanted = wanted.boundedTo(available.size());
    minimum = minimum.boundedTo(wanted);
    // The room between the main window and each edge of the screen.
    const int right = available.x() + available.width() - (main.x() + main.width());
    const int left = main.x() - available.x();
    int width = wanted.width();
    int x = 0;
    QPoint mainAt = main.topLeft();
    if (right >= width) {
        x = main.x() + main.width();
    } else if (left >= width) {
        x = main.x() - width;
    } else if (std::max(right, left) >= minimum.width()) {
        width = std::max(right, left);
        x = right >= left ? main.x() + main.width() : available.x();
    } else if (main.width() + minimum.width() <= available.width()) {
        // Both fit side by side once the main window moves away from the
        // roomier side's edge, as little as it must.
        width = std::min(wanted.width(), available.width() - main.width());
        if (right >= left) {
            x = available.x() + available.width() - width;
            mainAt.setX(x - main.width());
        } else {
            x = available.x();
            mainAt.setX(x + width);
        }
    } else {
        x = right >= left ? available.x() + available.width() - width : available.x();
    }
    const int height = wanted.height();
    const int y = std::clamp(main.y(), available.y(), available.y() + available.height() - height);
    return {QRect(x, y, width, height), mainAt};
}

void TDebuggerWindow::PlaceBeside(QWidget& main) {
    if (isVisible()) return;
    const QRect mainFrame = main.frameGeometry();
    if (placed_ && !frameGeometry().intersects(mainFrame)) return;
    const QScreen* screen = main.screen();
    if (screen == nullptr) return;
    // This window's frame is not known before it is shown: the main one's
    // is the best guess (the same window manager draws both).
    const QRect inner = main.geometry();
    const QMargins frame(inner.left() - mainFrame.left(), inner.top() - mainFrame.top(),
                         mainFrame.right() - inner.right(), mainFrame.bottom() - inner.bottom());
    const QSize extra(frame.left() + frame.right(), frame.top() + frame.bottom());
    const TDebuggerPlace place =
        DebuggerPlacement(mainFrame, size() + extra, minimumSizeHint() + extra, screen->availableGeometry());
    // The positions are the frames', the size the window's own.
    if (place.Main != mainFrame.topLeft()) main.move(place.Main);
    move(place.Debugger.topLeft());
    resize(place.Debugger.size() - extra);
    placed_ = true;
}

void TDebuggerWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (released_) {
        for (const TBreakpoint& breakpoint : kept_) {
            const uint32_t id = debugger_->AddBreakpoint(breakpoint);
            if (!breakpoint.Enabled) debugger_->EnableBreakpoint(id, false);
        }
        kept_.clear();
        released_ = false;
    }
    if (status_->text().isEmpty()) SetStatus(Parked() ? "Stopped" : "Running");
    Refresh();
}

void TDebuggerWindow::closeEvent(QCloseEvent* event) {
    // The debugger lets go: no hook, no breakpoint while the window is closed.
    kept_ = debugger_->Breakpoints();
    debugger_->Release();
    released_ = true;
    breakpoints_->MarkHit(0);
    status_->clear();
    QWidget::closeEvent(event);
}
