// Z80EM: the run loop the machine calls once per scan line, with the
// maskable interrupt from the VDP and the non-maskable one from the pause
// button.
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

}  // namespace

// Flattened so the instruction step inlines into the loop (in link-time
// optimised builds): the call and its register saves cost about a tenth of
// an instruction's time.
// A debugger's hook is looked at once per call; its loop is out of line.
[[gnu::flatten]] void Z80_RunCycles(T_Z80_CPU_CORE& cpu, uint32_t budget) {
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
    if (cpu.NmiActive != 0) return;
    PushPC(cpu);
    cpu.PC = 0x0066;
    cpu.NmiActive = 1;
    cpu.NmiLockCounter = kNmiLockCalls;
}
