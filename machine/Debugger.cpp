// TDebugger: the breakpoint set, the stepping commands and the trace, on the
// CPU's debug hook (see Debugger.h for the threads).
//
// Who touches what: the configuration (breakpoints, the command under way,
// the trace) is written by the main thread only while the machine thread is
// parked (Suspend around the change, or a debugger stop), and read by the
// hook on the machine thread; the park's lock orders the two. The stop
// record is shared under its own lock, since the main thread polls it.
#include "Debugger.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "ConsoleChips.h"
#include "SMS.h"
#include "Z80Disasm.h"

namespace {

constexpr uint8_t kR0LineInt = 0x10;
constexpr uint8_t kR1FrameInt = 0x20;

enum class TMode : uint8_t { Run, Stop, Step, StepOver, FrameEnd, OneFrame };

// "PC BANK", as the trace shows the instruction's place.
std::string Where(uint16_t address, const char* bank) {
    char where[16];
    std::snprintf(where, sizeof where, "%04X %s", address, bank);
    return where;
}

bool InRange(const TBreakpoint& b, uint16_t address) { return address >= b.First && address <= b.Last; }

}  // namespace

struct TDebugger::TImpl : std::enable_shared_from_this<TDebugger::TImpl> {
    TDebugger& owner;
    TConsole& console;
    TSMS* machine;  // the machine thread's, or null where the caller runs the frames
    T_Z80_DEBUG_HOOK hook{};

    // Configuration (see the file comment).
    std::vector<TBreakpoint> breakpoints;
    uint32_t nextId = 1;
    std::vector<uint8_t> executeMap = std::vector<uint8_t>(65536, 0);  // addresses with an Execute breakpoint
    bool anyAccess = false;     // memory or port breakpoints enabled
    bool anyInterrupt = false;  // frame or line interrupt breakpoints enabled
    TMode mode = TMode::Run;
    bool progressed = false;  // an instruction ran (or an interrupt was taken) since the command
    uint16_t overPC = 0, overSP = 0;
    uint64_t startFrame = 0;
    uint32_t startLine = 0;
    // A stop ended the run call (no park): the CPU waits until a command.
    bool holding = false;
    // The first look at this PC after a held stop goes on without a check.
    bool skipOnce = false;
    uint16_t skipPC = 0;

    std::function<void(std::string_view)> traceSink;
    uint64_t traceFirst = 0, traceLast = 0;
    // The instruction about to run, for its trace line after it.
    bool traceThis = false;
    T_Z80_INSTRUCTION traced{};
    uint64_t tracedFrame = 0;
    uint32_t tracedLine = 0;
    char tracedBank[8] = {};

    uint8_t acceptedKinds = 0;  // bit 0 frame, bit 1 line: an interrupt just taken
    // The debugger has closed (set while the machine is held): a thread that
    // wakes in the hook afterwards touches nothing of it.
    bool detached = false;

    // The stop record (under statusMutex).
    mutable std::mutex statusMutex;
    bool stopped = false;
    bool threadParked = false;
    TDebugStop last;
    uint64_t stopCount = 0;

    TImpl(TDebugger& o, TConsole& c, TSMS* m) : owner(o), console(c), machine(m) {
        hook.Context = this;
        hook.Before = [](void* c, T_Z80_CPU_CORE& cpu) { return static_cast<TImpl*>(c)->Before(cpu); };
        hook.After = [](void* c, T_Z80_CPU_CORE& cpu, uint32_t) { static_cast<TImpl*>(c)->After(cpu); };
        hook.Accepted = [](void* c, T_Z80_CPU_CORE& cpu) { static_cast<TImpl*>(c)->Accepted(cpu); };
    }

    uint64_t Frame() const { return console.FrameNumber(); }
    uint32_t Line() const { return console.CurrentLine(); }
    T_Z80_CPU_CORE& Cpu() { return TConsoleChips::Cpu(console); }

    // Main thread, machine parked: the hook is in only while it has work.
    void UpdateHook() {
        bool enabled = false;
        for (const TBreakpoint& b : breakpoints) enabled = enabled || b.Enabled;
        const bool needed = enabled || mode != TMode::Run || traceSink || holding;
        Cpu().DebugHook = needed ? &hook : nullptr;
    }

    void Rebuild() {
        std::fill(executeMap.begin(), executeMap.end(), 0);
        anyAccess = false;
        anyInterrupt = false;
        for (const TBreakpoint& b : breakpoints) {
            if (!b.Enabled) continue;
            switch (b.Kind) {
                case TBreakKind::Execute: executeMap[b.First] = 1; break;
                case TBreakKind::FrameInterrupt:
                case TBreakKind::LineInterrupt: anyInterrupt = true; break;
                default: anyAccess = true; break;
            }
        }
        UpdateHook();
    }

    // Machine thread.
    void Accepted(T_Z80_CPU_CORE&) {
        progressed = true;
        if (!anyInterrupt) return;
        const T_VDP_CORE& vdp = TConsoleChips::Vdp(console);
        uint8_t kinds = 0;
        if (vdp.FrameIntPending == 1 && (vdp.Registers[1] & kR1FrameInt)) kinds |= 1;
        if (vdp.LineIntPending == 1 && (vdp.Registers[0] & kR0LineInt)) kinds |= 2;
        acceptedKinds = kinds;
    }

    void After(T_Z80_CPU_CORE& cpu) {
        progressed = true;
        if (!traceThis) return;
        traceThis = false;
        const std::string line = TDebugger::TraceLine(tracedFrame, tracedLine, Where(traced.Address, tracedBank),
                                                      traced.Bytes, traced.Length, traced.Text, Console_CpuRegisters(cpu));
        if (traceSink) traceSink(line);
    }

    // The breakpoint that holds before the instruction at PC, if any.
    const TBreakpoint* Check(const T_Z80_CPU_CORE& cpu, uint16_t& access) {
        if (acceptedKinds != 0) {
            const uint8_t kinds = acceptedKinds;
            acceptedKinds = 0;
            for (const TBreakpoint& b : breakpoints) {
                if (!b.Enabled) continue;
                if ((b.Kind == TBreakKind::FrameInterrupt && (kinds & 1)) ||
                    (b.Kind == TBreakKind::LineInterrupt && (kinds & 2))) {
                    access = cpu.PC;
                    return &b;
                }
            }
        }
        if (cpu.Halted == 1) return nullptr;
        if (executeMap[cpu.PC] != 0) {
            const T_Z80_BANK bank = Z80_MapAddress(cpu, cpu.PC);
            for (const TBreakpoint& b : breakpoints) {
                if (!b.Enabled || b.Kind != TBreakKind::Execute || b.First != cpu.PC) continue;
                if (b.Bank >= 0 && (bank.Kind != TZ80BankKind::Rom || bank.Number != b.Bank)) continue;
                access = cpu.PC;
                return &b;
            }
        }
        if (!anyAccess) return nullptr;
        T_Z80_ACCESSES accesses;
        Z80_PredictAccesses(cpu, Z80_PeekMemoryAt, &cpu, accesses);
        for (uint8_t i = 0; i < accesses.Count; ++i) {
            const T_Z80_ACCESS& a = accesses.List[i];
            TBreakKind kind;
            switch (a.Kind) {
                case TZ80AccessKind::Read: kind = TBreakKind::MemoryRead; break;
                case TZ80AccessKind::Write: kind = TBreakKind::MemoryWrite; break;
                case TZ80AccessKind::PortRead: kind = TBreakKind::PortRead; break;
                case TZ80AccessKind::PortWrite: kind = TBreakKind::PortWrite; break;
                default: continue;  // the instruction's own bytes: Execute breakpoints' business
            }
            const uint16_t where = (kind == TBreakKind::PortRead || kind == TBreakKind::PortWrite)
                                       ? static_cast<uint16_t>(a.Address & 0xFF)
                                       : a.Address;
            for (const TBreakpoint& b : breakpoints) {
                if (b.Enabled && b.Kind == kind && InRange(b, where)) {
                    access = where;
                    return &b;
                }
            }
        }
        return nullptr;
    }

    TStopReason CommandDone(const T_Z80_CPU_CORE& cpu) const {
        switch (mode) {
            case TMode::Run: return TStopReason::None;
            case TMode::Stop: return TStopReason::Stopped;
            case TMode::Step: return progressed ? TStopReason::Step : TStopReason::None;
            case TMode::StepOver:
                return progressed && cpu.Halted == 0 && cpu.PC == overPC && cpu.SP == overSP ? TStopReason::StepOver
                                                                                             : TStopReason::None;
            case TMode::FrameEnd: return Frame() > startFrame ? TStopReason::FrameEnd : TStopReason::None;
            case TMode::OneFrame:
                return Frame() > startFrame + 1 || (Frame() == startFrame + 1 && Line() >= startLine)
                           ? TStopReason::OneFrame
                           : TStopReason::None;
        }
        return TStopReason::None;
    }

    uint8_t Before(T_Z80_CPU_CORE& cpu) {
        if (holding) return 1;
        if (skipOnce) {
            skipOnce = false;
            if (cpu.PC == skipPC && cpu.Halted == 0) return Go(cpu);
        }
        uint16_t access = 0;
        const TBreakpoint* hit = Check(cpu, access);
        TStopReason reason = hit ? TStopReason::Breakpoint : CommandDone(cpu);
        if (reason == TStopReason::None) return Go(cpu);

        TDebugStop stop;
        stop.Reason = reason;
        if (hit) stop.Breakpoint = *hit;
        stop.Access = access;
        stop.PC = cpu.PC;
        stop.Frame = Frame();
        stop.Line = Line();
        stop.Halted = cpu.Halted == 1;
        mode = TMode::Run;
        progressed = false;
        const bool parkThread = machine != nullptr && TSMS::OnMachineThread();
        {
            std::lock_guard lock(statusMutex);
            stopped = true;
            threadParked = parkThread;
            last = stop;
            ++stopCount;
        }
        if (parkThread) {
            // The window may close the debugger while the thread waits here.
            const std::shared_ptr<TImpl> keep = shared_from_this();
            machine->PostDebugStop();
            const bool goOn = machine->ParkForDebugger();
            if (detached) return 0;  // the hook is out: the run loop goes on without it
            if (!goOn) {
                holding = true;  // the thread is ending: the CPU does nothing more
                return 1;
            }
            return Go(cpu);
        }
        const bool goOn = owner.Parker ? owner.Parker(owner) : false;
        if (!goOn) {
            holding = true;
            skipOnce = true;
            skipPC = cpu.PC;
            return 1;
        }
        {
            // Going on without a command given is a Run.
            std::lock_guard lock(statusMutex);
            stopped = false;
        }
        return Go(cpu);
    }

    // The instruction at PC runs now: note it for the trace.
    uint8_t Go(const T_Z80_CPU_CORE& cpu) {
        if (traceSink && cpu.Halted == 0) {
            const uint64_t frame = Frame();
            traceThis = frame >= traceFirst && frame <= traceLast;
            if (traceThis) {
                Z80_Disassemble(Z80_PeekMemoryAt, &cpu, cpu.PC, traced);
                tracedFrame = frame;
                tracedLine = Line();
                Z80_BankName(Z80_MapAddress(cpu, cpu.PC), tracedBank);
            }
        }
        return 0;
    }

    // Main thread: holds the machine thread parked while the configuration
    // changes. A running thread is suspended for the change and resumed
    // after it; a thread parked already (a debugger stop, the window's
    // StopEmulation, never started) stays as it is. A debugger stop that
    // raced the suspension is found by the record, and holds.
    class THold {
    public:
        explicit THold(TImpl& d) : d_(d), resume_(d.machine != nullptr && !d.machine->Suspended()) {
            if (d_.machine == nullptr) return;  // the caller's own thread runs the frames: nothing to hold
            if (resume_) d_.machine->Suspend();
            bool debugParked;
            {
                std::lock_guard lock(d_.statusMutex);
                debugParked = d_.stopped && d_.threadParked;
            }
            if (debugParked) {
                if (!resume_) d_.machine->AwaitParked();
                resume_ = false;
            }
        }
        ~THold() {
            if (resume_) d_.machine->Resume();
        }
        THold(const THold&) = delete;
        THold& operator=(const THold&) = delete;

    private:
        TImpl& d_;
        bool resume_;
    };

    // Main thread: a command that lets the machine go on from a stop (or
    // changes what it runs to); `configure` sets the mode while the machine
    // is held. With `start`, a machine the window paused runs again.
    template <class F>
    void Go(F configure, bool start = true) {
        bool wasStopped, parked;
        {
            THold hold(*this);
            {
                std::lock_guard lock(statusMutex);
                wasStopped = stopped;
                parked = threadParked;
            }
            configure();
            holding = false;  // skipOnce stays: a held instruction runs without a check
            UpdateHook();
            std::lock_guard lock(statusMutex);
            stopped = false;
            threadParked = false;
        }
        if (machine == nullptr) return;
        if (wasStopped && parked) {
            if (machine->Stopped == 1)
                machine->ResumeEmulation();  // paused by the window meanwhile: its own resume
            else
                machine->Resume();
        } else if (start && machine->Stopped == 1 && machine->Started()) {
            machine->ResumeEmulation();
        }
    }

    // Main thread, in ResumeEmulation before the thread goes.
    void MachineResumed() {
        std::lock_guard lock(statusMutex);
        stopped = false;
        threadParked = false;
    }
};

TDebugger::TDebugger(TConsole& console) : impl_(std::make_shared<TImpl>(*this, console, nullptr)) {}

TDebugger::TDebugger(TSMS& machine) : impl_(std::make_shared<TImpl>(*this, *machine.Console, &machine)) {
    machine.debugStopped_ = [this] {
        // The thread may still be on its way into the park.
        if (Stopped() && OnStop) OnStop();
    };
    machine.debugResumed_ = [this] {
        impl_->MachineResumed();
        impl_->UpdateHook();
    };
}

TDebugger::~TDebugger() {
    Release();
    TImpl::THold hold(*impl_);
    impl_->detached = true;
    if (impl_->machine == nullptr) return;
    impl_->machine->debugStopped_ = nullptr;
    impl_->machine->debugResumed_ = nullptr;
}

uint32_t TDebugger::AddBreakpoint(const TBreakpoint& breakpoint) {
    TImpl::THold hold(*impl_);
    TBreakpoint b = breakpoint;
    if (b.Kind == TBreakKind::Execute) b.Last = b.First;
    if (b.Kind == TBreakKind::PortRead || b.Kind == TBreakKind::PortWrite) {
        b.First &= 0xFF;
        b.Last &= 0xFF;
    }
    if (b.Last < b.First) std::swap(b.First, b.Last);
    b.Id = impl_->nextId++;
    impl_->breakpoints.push_back(b);
    impl_->Rebuild();
    return b.Id;
}

bool TDebugger::RemoveBreakpoint(uint32_t id) {
    TImpl::THold hold(*impl_);
    auto& list = impl_->breakpoints;
    const auto it = std::find_if(list.begin(), list.end(), [id](const TBreakpoint& b) { return b.Id == id; });
    if (it == list.end()) return false;
    list.erase(it);
    impl_->Rebuild();
    return true;
}

bool TDebugger::EnableBreakpoint(uint32_t id, bool enabled) {
    TImpl::THold hold(*impl_);
    for (TBreakpoint& b : impl_->breakpoints) {
        if (b.Id != id) continue;
        b.Enabled = enabled;
        impl_->Rebuild();
        return true;
    }
    return false;
}

void TDebugger::ClearBreakpoints() {
    TImpl::THold hold(*impl_);
    impl_->breakpoints.clear();
    impl_->Rebuild();
}

std::vector<TBreakpoint> TDebugger::Breakpoints() const {
    TImpl::THold hold(*impl_);
    return impl_->breakpoints;
}

void TDebugger::Run() {
    impl_->Go([this] { impl_->mode = TMode::Run; });
}

void TDebugger::Stop() {
    if (Stopped()) return;
    impl_->Go([this] { impl_->mode = TMode::Stop; });
}

void TDebugger::Step() {
    impl_->Go([this] {
        impl_->mode = TMode::Step;
        impl_->progressed = false;
    });
}

void TDebugger::StepOver() {
    impl_->Go([this] {
        TImpl& d = *impl_;
        d.progressed = false;
        d.mode = TMode::Step;
        const T_Z80_CPU_CORE& cpu = d.Cpu();
        if (cpu.Halted == 1) return;
        T_Z80_INSTRUCTION in;
        Z80_Disassemble(Z80_PeekMemoryAt, &cpu, cpu.PC, in);
        if (in.Flow == TZ80Flow::Call || in.Flow == TZ80Flow::CallIf || in.Flow == TZ80Flow::Restart ||
            in.Flow == TZ80Flow::Repeat) {
            d.mode = TMode::StepOver;
            d.overPC = static_cast<uint16_t>(cpu.PC + in.Length);
            d.overSP = cpu.SP;
        }
    });
}

void TDebugger::RunToFrameEnd() {
    impl_->Go([this] {
        impl_->mode = TMode::FrameEnd;
        impl_->startFrame = impl_->Frame();
    });
}

void TDebugger::RunOneFrame() {
    impl_->Go([this] {
        impl_->mode = TMode::OneFrame;
        impl_->startFrame = impl_->Frame();
        impl_->startLine = impl_->Line();
    });
}

void TDebugger::Release() {
    impl_->Go([this] {
        impl_->breakpoints.clear();
        impl_->Rebuild();
        impl_->mode = TMode::Run;
        impl_->traceSink = nullptr;
        impl_->traceThis = false;
    }, false);
}

bool TDebugger::Stopped() const {
    bool parked;
    {
        std::lock_guard lock(impl_->statusMutex);
        if (!impl_->stopped) return false;
        parked = impl_->threadParked;
    }
    if (parked && impl_->machine != nullptr) impl_->machine->AwaitParked();
    return true;
}

TDebugStop TDebugger::LastStop() const {
    std::lock_guard lock(impl_->statusMutex);
    return impl_->last;
}

uint64_t TDebugger::StopCount() const {
    std::lock_guard lock(impl_->statusMutex);
    return impl_->stopCount;
}

void TDebugger::SetTrace(std::function<void(std::string_view)> sink, uint64_t firstFrame, uint64_t lastFrame) {
    TImpl::THold hold(*impl_);
    impl_->traceSink = std::move(sink);
    impl_->traceFirst = firstFrame;
    impl_->traceLast = lastFrame;
    impl_->traceThis = false;
    impl_->UpdateHook();
}

std::string TDebugger::FormatRegisters(const TCpuRegisters& cpu) {
    static const char kFlagNames[] = "SZYHXPNC";
    char flags[9];
    for (int bit = 0; bit < 8; ++bit) flags[bit] = (cpu.F & (0x80 >> bit)) ? kFlagNames[bit] : '-';
    flags[8] = '\0';
    char text[160];
    std::snprintf(text, sizeof text,
                  "AF=%02X%02X BC=%02X%02X DE=%02X%02X HL=%02X%02X IX=%04X IY=%04X SP=%04X "
                  "AF'=%02X%02X BC'=%02X%02X DE'=%02X%02X HL'=%02X%02X I=%02X R=%02X IFF=%u%u IM=%d F=%s",
                  cpu.A, cpu.F, cpu.B, cpu.C, cpu.D, cpu.E, cpu.H, cpu.L, cpu.IX, cpu.IY, cpu.SP, cpu.AltA, cpu.AltF,
                  cpu.AltB, cpu.AltC, cpu.AltD, cpu.AltE, cpu.AltH, cpu.AltL, cpu.I, cpu.R, cpu.IFF1 & 1u,
                  cpu.IFF2 & 1u, static_cast<int>(cpu.InterruptMode), flags);
    return text;
}

std::string TDebugger::DescribeAt(uint64_t frame, uint32_t line, const TConsole& console) {
    const TCpuRegisters cpu = console.Registers();
    T_Z80_INSTRUCTION in;
    console.Disassemble(cpu.PC, in);
    return TraceLine(frame, line, Where(cpu.PC, console.BankName(cpu.PC).c_str()), in.Bytes, in.Length, in.Text, cpu);
}

std::string TDebugger::TraceLine(uint64_t frame, uint32_t line, const std::string& where, const uint8_t* bytes,
                                 int length, const std::string& text, const TCpuRegisters& after) {
    char hex[16] = {};
    int used = 0;
    for (int i = 0; i < length && i < 4; ++i)
        used += std::snprintf(hex + used, sizeof hex - static_cast<std::size_t>(used), i ? " %02X" : "%02X", bytes[i]);
    char head[128];
    std::snprintf(head, sizeof head, "%6" PRIu64 " %3u %-11s %-11s %-24s ", frame, line, where.c_str(), hex,
                  text.c_str());
    return head + FormatRegisters(after);
}
