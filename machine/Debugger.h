// TDebugger: breakpoints and stepping for cartridge developers, toolkit-free.
//
// It drives the CPU's debug hook (T_Z80_DEBUG_HOOK in Z80EM.h): while no
// breakpoint is set, no command is under way and no trace is written, the
// hook is not installed and the machine runs its normal loop at full speed.
// Otherwise the run loop calls it before each instruction (and once per run
// call while the CPU idles on a HALT), after each instruction, and when a
// maskable interrupt is accepted.
//
// A stop always happens BEFORE an instruction: PC is at it, nothing of it has
// run. Memory and port breakpoints are decided before the instruction too,
// from the accesses it will make with the registers as they are (the
// disassembler's access predictor); frame and line interrupt breakpoints
// stop before the handler's first instruction at 0x0038. Going on from a
// stop executes the instruction it stopped at, without stopping there again.
//
// Threads. Every command and every query below is for the main (window)
// thread. Where the machine's own thread runs the frame loop (TSMS::Execute,
// the desktop), a stop parks that thread inside the hook, at the instruction
// boundary, exactly as TSMS::StopEmulation parks it between lines: while
// Stopped() is true the main thread may read and change every chip's state
// (registers, memories, VDP, PSG). The stop is announced by OnStop, posted
// through the machine's dispatcher to the main thread; a window that prefers
// polling reads StopCount(), which grows by one at every stop. A debugger
// stop halts the sound card (the PSG keeps its registers, so its state can be
// read); when the machine runs again the sound queue starts empty, as after
// fast forward, so nothing crackles.
//
// The window's own commands keep working: TSMS::StopEmulation while the
// debugger holds the machine does not wait (the thread is parked already),
// TSMS::ResumeEmulation lets it run again and the debugger then reports
// Running, and TSMS::TerminateAndWait ends the thread cleanly from a stop.
// The debugger's commands on a machine the window paused run it again
// (TSMS::ResumeEmulation). Closing the debugger (Release, or destroying it)
// during a stop lets the game go on; a thread still parked in the hook then
// wakes later without touching the closed debugger. Frames the rewind runs
// again are run like any other: a breakpoint holds there too.
//
// Where RunFrame is called directly on the caller's thread (the headless
// runner, tests), a stop calls Parker instead: the callback may read the
// machine and give commands, then returns true to go on with the current
// command, or false to end the current run call at once (the stop then
// holds: the CPU executes nothing more until a command is given, the rest of
// the frame's lines run without it; the next RunFrame after a command goes
// on from the stopped instruction). Without a Parker, false is assumed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Console.h"

class TSMS;

enum class TBreakKind : uint8_t {
    Execute,         // an instruction at First (optionally only in ROM bank Bank)
    MemoryRead,      // a data byte read in First..Last (operands in memory, the stack,
                     // block transfers; not the instruction's own bytes: see Execute)
    MemoryWrite,     // any byte written in First..Last
    PortRead,        // an IN from a port in First..Last (0-255)
    PortWrite,       // an OUT to a port in First..Last (0-255)
    FrameInterrupt,  // the VDP's frame interrupt is accepted
    LineInterrupt,   // the VDP's line interrupt is accepted
};

struct TBreakpoint {
    TBreakKind Kind = TBreakKind::Execute;
    uint16_t First = 0;
    uint16_t Last = 0;  // inclusive; an Execute breakpoint uses First alone
    // Execute only: the 16 KB ROM bank (0-63) that must be mapped at First
    // for the breakpoint to hold; -1 holds in any bank and for RAM or BIOS.
    int Bank = -1;
    bool Enabled = true;
    uint32_t Id = 0;  // given by AddBreakpoint
};

enum class TStopReason : uint8_t {
    None,        // never stopped yet
    Stopped,     // the Stop command
    Step,        // one instruction executed
    StepOver,    // the call (or block instruction) returned
    FrameEnd,    // the frame ended: before the first instruction of the next
    OneFrame,    // 262 lines later, at the same line of the next frame
    Breakpoint,  // see Breakpoint and Access
};

// Where and why the machine stopped.
struct TDebugStop {
    TStopReason Reason = TStopReason::None;
    TBreakpoint Breakpoint;  // the breakpoint hit (Reason Breakpoint)
    uint16_t Access = 0;     // the address or port it matched (memory and port kinds)
    uint16_t PC = 0;         // the instruction the machine stopped before
    uint64_t Frame = 0;      // TConsole::FrameNumber: frames since the console was built
    uint32_t Line = 0;       // the scan line 0-261 being run
    bool Halted = false;     // the CPU idles on a HALT (PC is past it)
};

class TDebugger {
public:
    // The console (or the machine) must outlive the debugger; one debugger per
    // console. On a console whose frames the caller runs on its own thread,
    // a stop calls Parker. On the window's machine, made after its
    // InitMachine (the hook goes into its console's CPU), a stop parks the
    // machine thread.
    explicit TDebugger(TConsole& console);
    explicit TDebugger(TSMS& machine);
    // Release() first: the game goes on as if the debugger had never been.
    ~TDebugger();
    TDebugger(const TDebugger&) = delete;
    TDebugger& operator=(const TDebugger&) = delete;

    // Breakpoints: take effect at once, also while the machine runs.
    uint32_t AddBreakpoint(const TBreakpoint& breakpoint);  // returns its Id
    bool RemoveBreakpoint(uint32_t id);
    bool EnableBreakpoint(uint32_t id, bool enabled);
    void ClearBreakpoints();
    std::vector<TBreakpoint> Breakpoints() const;

    // Commands. Stop asks for a stop before the next instruction (a machine
    // paused by the window's StopEmulation runs up to it). The others go on
    // from a stop (or start running): Run until a breakpoint; Step executes
    // one instruction (an interrupt accepted first leads to the handler);
    // StepOver executes a CALL, a conditional CALL, an RST or a repeating
    // block instruction (LDIR ...) as one step: it stops when PC reaches the
    // instruction after it with SP as it was (at once for a call not taken);
    // any other instruction is a Step. RunToFrameEnd runs the rest of the
    // frame and stops before the next frame's first instruction; RunOneFrame
    // runs 262 lines and stops at the same line of the next frame. A
    // breakpoint hit on the way ends any command.
    void Run();
    void Stop();
    void Step();
    void StepOver();
    void RunToFrameEnd();
    void RunOneFrame();
    // Forgets every breakpoint, command and trace, takes the hook out and
    // lets a stopped machine run on: the window's close.
    void Release();

    // The state. Stopped() is true from the stop until the next command (or
    // ResumeEmulation); it returns only once the machine thread is parked.
    bool Stopped() const;
    TDebugStop LastStop() const;
    uint64_t StopCount() const;
    // Main thread, posted at each stop of the machine thread (not called
    // for stops handled by Parker). A stop already over when the post is
    // served (a command or ResumeEmulation came first) is not announced;
    // StopCount() still counts it.
    std::function<void()> OnStop;
    // See the header comment: the caller's thread, at each stop there.
    std::function<bool(TDebugger&)> Parker;

    // The trace: after each instruction of frames first..last (inclusive,
    // TConsole::FrameNumber), one line without its newline (see TraceLine). An
    // empty sink ends the trace.
    void SetTrace(std::function<void(std::string_view line)> sink, uint64_t firstFrame = 0,
                  uint64_t lastFrame = UINT64_MAX);

    // The registers in the trace's format, e.g.
    // "AF=0044 BC=0000 DE=0000 HL=0000 IX=0000 IY=0000 SP=DFF0 AF'=0000
    //  BC'=0000 DE'=0000 HL'=0000 I=00 R=0C IFF=00 IM=1 F=-Z---P--" (one line).
    static std::string FormatRegisters(const TCpuRegisters& cpu);
    // The instruction at the CPU's PC in the trace's format, with the
    // registers as they are now (the headless runner's --break line).
    static std::string DescribeAt(uint64_t frame, uint32_t line, const TConsole& console);
    // One trace line: frame, line, PC with its bank, the instruction's bytes
    // and text, then the registers after it.
    static std::string TraceLine(uint64_t frame, uint32_t line, const std::string& where, const uint8_t* bytes,
                                 int length, const std::string& text, const TCpuRegisters& after);

private:
    struct TImpl;
    std::shared_ptr<TImpl> impl_;  // a thread parked in the hook keeps it until it wakes
};
