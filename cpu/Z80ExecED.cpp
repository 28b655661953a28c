// Z80EM instruction step, ED set: port I/O on (C), 16-bit ADC/SBC and
// memory loads, NEG, RETN/RETI, interrupt modes, I and R, RRD/RLD and the
// block instructions. Second bytes this core does not define (the NEG, RETN
// and IM mirrors among them) skip both bytes and cost 8 cycles.
//
// A repeating block instruction performs one transfer per step and leaves
// PC on the ED byte, so the run loop can take an interrupt between
// transfers and the instruction resumes after it.
#include "Z80ExecInternal.h"

using namespace z80exec;

namespace {

inline uint32_t Done(T_Z80_CPU_CORE& cpu, uint32_t cycles, unsigned length = 2) {
    cpu.PC = Next(cpu.PC, length);
    return cycles;
}

inline uint32_t InC(T_Z80_CPU_CORE& cpu, uint8_t& r, T_Z80_FLAG_SET& flags) {
    r = Interconnect_ReadPort(*cpu.Bus, cpu.C);
    SetSignZeroParity(cpu, flags, r);
    flags.HalfCarry = 0;
    flags.Subtract = 0;
    return Done(cpu, 12);
}

inline uint32_t OutC(T_Z80_CPU_CORE& cpu, uint8_t value) {
    Interconnect_WritePort(*cpu.Bus, cpu.C, value);
    return Done(cpu, 12);
}

inline uint32_t SbcHL(T_Z80_CPU_CORE& cpu, uint16_t operand, T_Z80_FLAG_SET& flags) {
    uint16_t hl = HL(cpu);
    Z80_Sbc16(cpu, hl, operand, flags);
    SetPair(cpu.H, cpu.L, hl);
    return Done(cpu, 15);
}

inline uint32_t AdcHL(T_Z80_CPU_CORE& cpu, uint16_t operand, T_Z80_FLAG_SET& flags) {
    uint16_t hl = HL(cpu);
    Z80_Adc16(cpu, hl, operand, flags);
    SetPair(cpu.H, cpu.L, hl);
    return Done(cpu, 15);
}

inline uint16_t OperandAddress(T_Z80_CPU_CORE& cpu) { return ReadWord(cpu, Next(cpu.PC, 2)); }

inline uint32_t StorePair(T_Z80_CPU_CORE& cpu, uint16_t value) {
    WriteWord(cpu, OperandAddress(cpu), value);
    return Done(cpu, 20, 4);
}

inline uint32_t LoadPair(T_Z80_CPU_CORE& cpu, uint8_t& high, uint8_t& low) {
    SetPair(high, low, ReadWord(cpu, OperandAddress(cpu)));
    return Done(cpu, 20, 4);
}

inline uint32_t LoadAFromSpecial(T_Z80_CPU_CORE& cpu, uint8_t value, T_Z80_FLAG_SET& flags) {
    cpu.A = value;
    flags.Sign = Z80_SignOf(cpu, value);
    flags.Zero = Z80_IsZero(cpu, value);
    flags.HalfCarry = 0;
    flags.Subtract = 0;
    flags.ParityOverflow = cpu.IFF2;
    return Done(cpu, 9);
}

inline void StepHL(T_Z80_CPU_CORE& cpu, bool up) {
    if (up)
        Z80_IncPair(cpu, cpu.H, cpu.L);
    else
        Z80_DecPair(cpu, cpu.H, cpu.L);
}

// Returns true when BC is not 0 after the transfer.
inline bool LoadTransfer(T_Z80_CPU_CORE& cpu, bool up) {
    Z80_WriteMemory(cpu, DE(cpu), Z80_ReadMemory(cpu, HL(cpu)));
    if (up)
        Z80_IncPair(cpu, cpu.D, cpu.E);
    else
        Z80_DecPair(cpu, cpu.D, cpu.E);
    StepHL(cpu, up);
    Z80_DecPair(cpu, cpu.B, cpu.C);
    return (cpu.B | cpu.C) != 0;
}

inline uint32_t LoadBlock(T_Z80_CPU_CORE& cpu, bool up, bool repeat, T_Z80_FLAG_SET& flags) {
    const bool more = LoadTransfer(cpu, up);
    if (repeat && more) return 21;
    flags.HalfCarry = 0;
    flags.Subtract = 0;
    flags.ParityOverflow = more ? 1 : 0;
    return Done(cpu, 16);
}

inline uint32_t CompareBlock(T_Z80_CPU_CORE& cpu, bool up, bool repeat, T_Z80_FLAG_SET& flags) {
    const uint16_t hl = HL(cpu);
    const uint8_t d = static_cast<uint8_t>(cpu.A - Z80_ReadMemory(cpu, hl));
    flags.Sign = Z80_SignOf(cpu, d);
    flags.Zero = Z80_IsZero(cpu, d);
    flags.HalfCarry = Z80_HalfBorrow(cpu, cpu.A, Z80_ReadMemory(cpu, hl));
    StepHL(cpu, up);
    Z80_DecPair(cpu, cpu.B, cpu.C);
    const bool more = (cpu.B | cpu.C) != 0;
    flags.ParityOverflow = more ? 1 : 0;
    flags.Subtract = 1;
    if (repeat && more && d != 0) return 21;
    return Done(cpu, 16);
}

// What INI/IND/OUTI/OUTD and their repeating forms share after the transfer:
// B counts down, HL steps, and the repeating forms test only for the end.
inline uint32_t FinishPortBlock(T_Z80_CPU_CORE& cpu, bool up, bool repeat, T_Z80_FLAG_SET& flags) {
    cpu.B = static_cast<uint8_t>(cpu.B - 1);
    StepHL(cpu, up);
    if (repeat) {
        if (cpu.B != 0) return 21;
        flags.Sign = 0;
        flags.Zero = 1;
    } else {
        flags.Sign = Z80_SignOf(cpu, cpu.B);
        flags.Zero = Z80_IsZero(cpu, cpu.B);
    }
    flags.Subtract = 1;
    return Done(cpu, 16);
}

inline uint32_t InputBlock(T_Z80_CPU_CORE& cpu, bool up, bool repeat, T_Z80_FLAG_SET& flags) {
    Z80_WriteMemory(cpu, HL(cpu), Interconnect_ReadPort(*cpu.Bus, cpu.C));
    return FinishPortBlock(cpu, up, repeat, flags);
}

inline uint32_t OutputBlock(T_Z80_CPU_CORE& cpu, bool up, bool repeat, T_Z80_FLAG_SET& flags) {
    Interconnect_WritePort(*cpu.Bus, cpu.C, Z80_ReadMemory(cpu, HL(cpu)));
    return FinishPortBlock(cpu, up, repeat, flags);
}

}  // namespace

[[gnu::flatten]] uint32_t Z80_ExecuteED(T_Z80_CPU_CORE& cpu, uint8_t second, T_Z80_FLAG_SET& flags) {
    switch (second) {
        case 0x40: return InC(cpu, cpu.B, flags);
        case 0x48: return InC(cpu, cpu.C, flags);
        case 0x50: return InC(cpu, cpu.D, flags);
        case 0x58: return InC(cpu, cpu.E, flags);
        case 0x60: return InC(cpu, cpu.H, flags);
        case 0x68: return InC(cpu, cpu.L, flags);
        case 0x78: return InC(cpu, cpu.A, flags);

        case 0x41: return OutC(cpu, cpu.B);
        case 0x49: return OutC(cpu, cpu.C);
        case 0x51: return OutC(cpu, cpu.D);
        case 0x59: return OutC(cpu, cpu.E);
        case 0x61: return OutC(cpu, cpu.H);
        case 0x69: return OutC(cpu, cpu.L);
        case 0x79: return OutC(cpu, cpu.A);

        case 0x42: return SbcHL(cpu, BC(cpu), flags);
        case 0x52: return SbcHL(cpu, DE(cpu), flags);
        case 0x62: return SbcHL(cpu, HL(cpu), flags);
        case 0x72: return SbcHL(cpu, cpu.SP, flags);
        case 0x4A: return AdcHL(cpu, BC(cpu), flags);
        case 0x5A: return AdcHL(cpu, DE(cpu), flags);
        case 0x6A: return AdcHL(cpu, HL(cpu), flags);
        case 0x7A: return AdcHL(cpu, cpu.SP, flags);

        case 0x43: return StorePair(cpu, BC(cpu));
        case 0x53: return StorePair(cpu, DE(cpu));
        case 0x73: return StorePair(cpu, cpu.SP);
        case 0x4B: return LoadPair(cpu, cpu.B, cpu.C);
        case 0x5B: return LoadPair(cpu, cpu.D, cpu.E);
        case 0x7B: {
            cpu.SP = ReadWord(cpu, OperandAddress(cpu));
            return Done(cpu, 20, 4);
        }

        case 0x44: {
            const uint8_t old = cpu.A;
            uint8_t value = 0;
            Z80_Sub8(cpu, value, old, flags);
            cpu.A = value;
            flags.Carry = old != 0 ? 1 : 0;
            flags.ParityOverflow = old == 0x80 ? 1 : 0;
            return Done(cpu, 8);
        }
        case 0x45:
            cpu.PC = Pop(cpu);
            cpu.IFF1 = cpu.IFF2;
            return 14;
        case 0x4D:
            cpu.PC = Pop(cpu);
            return 14;
        case 0x46: cpu.InterruptMode = 0; return Done(cpu, 8);
        case 0x56: cpu.InterruptMode = 1; return Done(cpu, 8);
        case 0x5E: cpu.InterruptMode = 2; return Done(cpu, 8);
        case 0x47: cpu.I = cpu.A; return Done(cpu, 9);
        case 0x4F: cpu.R = cpu.A; return Done(cpu, 9);  // the step's +3 follows
        case 0x57: return LoadAFromSpecial(cpu, cpu.I, flags);
        case 0x5F: return LoadAFromSpecial(cpu, cpu.R, flags);

        case 0x67:
        case 0x6F: {
            const uint16_t hl = HL(cpu);
            const uint8_t lowA = cpu.A & 0x0F;
            const uint8_t first = Z80_ReadMemory(cpu, hl);
            cpu.A = static_cast<uint8_t>((cpu.A & 0xF0) | (second == 0x67 ? (first & 0x0F) : (first >> 4)));
            const uint8_t byte = Z80_ReadMemory(cpu, hl);
            if (second == 0x67)
                Z80_WriteMemory(cpu, hl, static_cast<uint8_t>((lowA << 4) | (byte >> 4)));
            else
                Z80_WriteMemory(cpu, hl, static_cast<uint8_t>((byte << 4) | lowA));
            SetSignZeroParity(cpu, flags, cpu.A);
            flags.HalfCarry = 0;
            flags.Subtract = 0;
            return Done(cpu, 18);
        }

        case 0xA0: return LoadBlock(cpu, true, false, flags);
        case 0xA8: return LoadBlock(cpu, false, false, flags);
        case 0xB0: return LoadBlock(cpu, true, true, flags);
        case 0xB8: return LoadBlock(cpu, false, true, flags);
        case 0xA1: return CompareBlock(cpu, true, false, flags);
        case 0xA9: return CompareBlock(cpu, false, false, flags);
        case 0xB1: return CompareBlock(cpu, true, true, flags);
        case 0xB9: return CompareBlock(cpu, false, true, flags);
        case 0xA2: return InputBlock(cpu, true, false, flags);
        case 0xAA: return InputBlock(cpu, false, false, flags);
        case 0xB2: return InputBlock(cpu, true, true, flags);
        case 0xBA: return InputBlock(cpu, false, true, flags);
        case 0xA3: return OutputBlock(cpu, true, false, flags);
        case 0xAB: return OutputBlock(cpu, false, false, flags);
        case 0xB3: return OutputBlock(cpu, true, true, flags);
        case 0xBB: return OutputBlock(cpu, false, true, flags);

        default:
            // Undefined here: skip both bytes so the program moves on.
            return Done(cpu, 8);
    }
}
