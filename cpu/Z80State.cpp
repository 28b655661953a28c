// Z80EM: the CPU's reset.
#include "Z80EM.h"

// A console reset clears the working registers and restores the power-on
// paging (banks 0, 1, 2; the Codemasters mapper's 0, 1, 0). In the default
// model it deliberately keeps I, R, IX, IY, the interrupt flip-flops and
// mode, the NMI lock-out and every memory: the console's reset line only
// restarts the program, it does not wipe the machine.
void Z80_Reset(T_Z80_CPU_CORE& cpu, T_INTERCONNECT_CORE& bus) {
    cpu.A = cpu.AltA = 0;
    cpu.B = cpu.AltB = 0;
    cpu.C = cpu.AltC = 0;
    cpu.D = cpu.AltD = 0;
    cpu.E = cpu.AltE = 0;
    cpu.H = cpu.AltH = 0;
    cpu.L = cpu.AltL = 0;
    cpu.F = cpu.AltF = 0;
    cpu.PC = 0;
    cpu.SP = 0;
    if (cpu.RomBankCount == 0) cpu.RomBankCount = 1;
    Z80_ResetPaging(cpu);
    cpu.CartRamDirty = 0;
    cpu.Halted = 0;
    cpu.Bus = &bus;
    // The exact model follows the chip's /RESET: interrupts off in mode 0,
    // I and R cleared, nothing pending.
    if (cpu.Exact != 0) {
        cpu.IFF1 = cpu.IFF2 = 0;
        cpu.InterruptMode = 0;
        cpu.I = cpu.R = 0;
        cpu.WZ = 0;
        cpu.Q = 0;
        cpu.EiDelay = cpu.PrefixHold = cpu.AfterLdAir = 0;
        cpu.NmiPending = 0;
        cpu.LineCarry = 0;
        cpu.PortAddress = 0;
    }
}
