// Z80EM: the run loop the machine calls once per scan line, with the
// maskable interrupt from the VDP and the non-maskable one from the pause
// button. The exact model has a loop of its own (RunExact below), chosen
// once per call: the default model's loop is as it was.
#include "Interconnect.h"
#include "Z80EM.h"

namespace {

constexpr uint32_t kAcceptCycles = 13;
constexpr int32_t kNmiLockCalls = Z80_NMI_LOCK_CALLS;
constexpr uint8_t kOpcodeEI = 0xFB;

inline void PushPC(T_Z80_CPU_CORE& cpu) {
    Z80_WriteMemory(cpu, static_cast<uint16_t>(cpu.SP - 1), static_cast<uint8_t>(cpu.PC >> 8));
    Z80_WriteMemory(cpu, static_cast<uint16_t>(cpu.SP - 2), static_cast<uint8_t>(cpu.PC));
    cpu.SP = static_cast<uint16_t>(cpu.SP - 2);
}

// The observed loop: the same steps as the normal one, with the debug hook
// around each, on the normal loop's counters. Kept out of line so the normal
// loop stays as it was (the counters go in and out by value, so the normal
// loop keeps them in registers). Done is false when the hook was taken out
// during its Before (a debugger closed from a stop): the normal loop then
// goes on from the instruction not yet run.
struct TObservedRun {
    uint32_t Budget, Count, IdleSteps;
    bool Done;
};

[[gnu::noinline]] TObservedRun RunObserved(T_Z80_CPU_CORE& cpu, uint32_t budget) {
    T_Z80_DEBUG_HOOK* const hook = cpu.DebugHook;
    uint32_t count = 0;
    uint32_t idleSteps = 0;
    while (count < budget) {
        if (Interconnect_GetInterruptLine(*cpu.Bus) == 1) {
            const uint8_t enabled = cpu.IFF1;
            Z80_AcceptInterrupt(cpu, budget);
            if (enabled == 1 && cpu.IFF1 == 0) hook->Accepted(hook->Context, cpu);
        }
        // Before may block; the hook object may be gone when it returns.
        if (hook->Before(hook->Context, cpu) != 0) break;
        if (cpu.DebugHook != hook) return {budget, count, idleSteps, false};
        if (cpu.Halted == 1) break;
        const uint32_t cycles = Z80_ExecuteInstruction(cpu);
        hook->After(hook->Context, cpu, cycles);
        if (cycles == 0 && ++idleSteps >= budget) break;
        count += cycles;
    }
    return {budget, count, idleSteps, true};
}

// The exact model's interrupts, taken at an instruction boundary. Each
// acceptance counts one opcode fetch in R, ends a HALT, computes no flags
// and leaves the handler's address in WZ.
constexpr uint32_t kNmiCycles = 11;
constexpr uint32_t kMode2Cycles = 19;

inline void EnterHandler(T_Z80_CPU_CORE& cpu, uint16_t handler) {
    cpu.R = static_cast<uint8_t>((cpu.R & 0x80) | ((cpu.R + 1) & 0x7F));
    cpu.Halted = 0;
    cpu.Q = 0;
    cpu.EiDelay = 0;
    cpu.AfterLdAir = 0;
    PushPC(cpu);
    cpu.PC = handler;
    cpu.WZ = handler;
}

// The NMI ignores IFF1 and keeps IFF2 (RETN restores IFF1 from it).
inline uint32_t AcceptNmiExact(T_Z80_CPU_CORE& cpu) {
    cpu.NmiPending = 0;
    cpu.IFF1 = 0;
    EnterHandler(cpu, 0x0066);
    return kNmiCycles;
}

// The console's data bus floats to $FF during the acknowledge: mode 0 runs
// it as RST 38h, mode 2 reads the vector from I * 256 + $FF. On the NMOS
// part an INT taken right after LD A,I or LD A,R clears the P/V flag that
// instruction set from IFF2.
inline uint32_t AcceptIntExact(T_Z80_CPU_CORE& cpu) {
    cpu.IFF1 = 0;
    cpu.IFF2 = 0;
    if (cpu.AfterLdAir) cpu.F = static_cast<uint8_t>(cpu.F & ~0x04);
    if (cpu.InterruptMode != 2) {
        EnterHandler(cpu, 0x0038);
        return kAcceptCycles;
    }
    EnterHandler(cpu, 0);
    const uint16_t table = static_cast<uint16_t>(cpu.I << 8 | 0xFF);
    const uint8_t low = Z80_ReadMemory(cpu, table);
    const uint8_t high = Z80_ReadMemory(cpu, static_cast<uint16_t>(table + 1));
    cpu.PC = cpu.WZ = static_cast<uint16_t>(high << 8 | low);
    return kMode2Cycles;
}

// How an exact run ended: the budget spent, the hook's Before stopping it,
// or the hook taken out during its Before (the unobserved loop goes on).
enum class TExactEnd { Spent, Stopped, Detached };

// The exact model's loop, from `count` T-states into the line up to the
// budget; with Observed, the debug hook around each step as in RunObserved.
// Interrupts wait while a DD/FD prefix chain is open, and the maskable one
// also for the instruction after EI. A halted CPU runs 4-T internal no-ops
// (each an opcode fetch for R) until the budget is spent: nothing can wake
// it within a call, as the interrupt line and the NMI change between calls.
template <bool Observed>
[[gnu::flatten]] TExactEnd RunExact(T_Z80_CPU_CORE& cpu, uint32_t budget, uint32_t& count) {
    T_Z80_DEBUG_HOOK* const hook = cpu.DebugHook;
    while (count < budget) {
        if (cpu.PrefixHold == 0) {
            if (cpu.NmiPending != 0) {
                count += AcceptNmiExact(cpu);
                continue;
            }
            if (cpu.IFF1 == 1 && cpu.EiDelay == 0 && Interconnect_GetInterruptLine(*cpu.Bus) == 1) {
                count += AcceptIntExact(cpu);
                if constexpr (Observed) hook->Accepted(hook->Context, cpu);
                continue;
            }
        }
        if constexpr (Observed) {
            if (hook->Before(hook->Context, cpu) != 0) return TExactEnd::Stopped;
            if (cpu.DebugHook != hook) return TExactEnd::Detached;
        }
        if (cpu.Halted == 1) {
            const uint32_t nops = (budget - count + 3) / 4;
            cpu.R = static_cast<uint8_t>((cpu.R & 0x80) | ((cpu.R + nops) & 0x7F));
            count += 4 * nops;
            break;
        }
        cpu.Bus->LineCycle = count;
        const uint32_t cycles = Z80_ExecuteExactInstruction(cpu);
        if constexpr (Observed) hook->After(hook->Context, cpu, cycles);
        count += cycles;
    }
    return TExactEnd::Spent;
}

// The cycles the last instruction ran past the end of the line are the
// start of the next; a call the debugger stops gives up the rest of its line.
[[gnu::noinline]] void RunCyclesExact(T_Z80_CPU_CORE& cpu, uint32_t budget) {
    uint32_t count = cpu.LineCarry;
    TExactEnd end = TExactEnd::Detached;
    if (cpu.DebugHook != nullptr) end = RunExact<true>(cpu, budget, count);
    if (end == TExactEnd::Detached) end = RunExact<false>(cpu, budget, count);
    cpu.LineCarry = end == TExactEnd::Stopped ? 0 : static_cast<uint8_t>(count - budget);
}

}  // namespace

// Flattened so the instruction step inlines into the loop (in link-time
// optimised builds): the call and its register saves cost about a tenth of
// an instruction's time.
// A debugger's hook is looked at once per call; its loop is out of line.
[[gnu::flatten]] void Z80_RunCycles(T_Z80_CPU_CORE& cpu, uint32_t budget) {
    if (cpu.Exact != 0) [[unlikely]] {
        RunCyclesExact(cpu, budget);
        return;
    }
    uint32_t count = 0;
    // Only the 0-cycle no-ops after 0xDD/0xFD add nothing to the count; a
    // budget's worth of them in one call ends it, so a program made of them
    // cannot hold the call forever. Every other step costs at least 4 cycles.
    uint32_t idleSteps = 0;
    if (cpu.DebugHook != nullptr) [[unlikely]] {
        const TObservedRun run = RunObserved(cpu, budget);
        budget = run.Done ? 0 : run.Budget;
        count = run.Count;
        idleSteps = run.IdleSteps;
    }
    while (count < budget) {
        if (Interconnect_GetInterruptLine(*cpu.Bus) == 1) Z80_AcceptInterrupt(cpu, budget);
        if (cpu.Halted == 1) break;
        const uint32_t cycles = Z80_ExecuteInstruction(cpu);
        if (cycles == 0 && ++idleSteps >= budget) break;
        count += cycles;
    }
    if (cpu.NmiActive == 1) {
        if (cpu.NmiLockCounter == 0)
            cpu.NmiActive = 0;
        else
            --cpu.NmiLockCounter;
    }
}

void Z80_AcceptInterrupt(T_Z80_CPU_CORE& cpu, uint32_t& budget) {
    if (cpu.IFF1 == 0) return;
    if (cpu.LastOpcode == kOpcodeEI) return;  // one more instruction after EI
    cpu.IFF1 = 0;
    cpu.IFF2 = 0;
    // Mode 0 would execute an instruction the device puts on the data bus;
    // nothing on this console does, so the request only disables interrupts.
    if (cpu.InterruptMode != 1 && cpu.InterruptMode != 2) return;
    cpu.Halted = 0;
    PushPC(cpu);
    cpu.PC = 0x0038;  // mode 2 behaves like mode 1: I plays no part
    // The acceptance costs cycles of the current call; a budget too small to
    // pay for it ends the call instead of wrapping to a huge one.
    budget = budget > kAcceptCycles ? budget - kAcceptCycles : 0;
}

void Z80_RaiseNMI(T_Z80_CPU_CORE& cpu) {
    if (cpu.Exact != 0) {
        cpu.NmiPending = 1;
        return;
    }
    if (cpu.NmiActive != 0) return;
    PushPC(cpu);
    cpu.PC = 0x0066;
    cpu.NmiActive = 1;
    cpu.NmiLockCounter = kNmiLockCalls;
}
