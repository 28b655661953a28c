// Z80EM instruction step, ED set: port I/O on (C), 16-bit ADC/SBC and
// memory loads, NEG, RETN/RETI, interrupt modes, I and R, RRD/RLD and the
// block instructions. In the default model, second bytes this core does not
// define (the NEG, RETN and IM mirrors among them) skip both bytes and cost
// 8 cycles; the exact model runs the mirrors as the chip does (NEG, RETN,
// IM, IN F,(C), OUT (C),0, LD (nn),HL and LD HL,(nn)) and only the holes
// outside 40-7F and A0-BF as 8-T no-ops.
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

// IN r,(C) and OUT (C),r put all of BC on the address bus and leave BC + 1
// in WZ.
template <bool Exact>
inline void PortC(T_Z80_CPU_CORE& cpu) {
    SetPortAddress<Exact>(cpu, BC(cpu));
    SetWZ<Exact>(cpu, Next(BC(cpu), 1));
}

template <bool Exact>
inline uint32_t InC(T_Z80_CPU_CORE& cpu, uint8_t& r, T_Z80_FLAG_SET& flags) {
    PortC<Exact>(cpu);
    r = Interconnect_ReadPort(*cpu.Bus, cpu.C);
    SetSignZeroParity(cpu, flags, r);
    flags.HalfCarry = 0;
    flags.Subtract = 0;
    SetXY<Exact>(flags, r);
    return Done(cpu, 12);
}

template <bool Exact>
inline uint32_t OutC(T_Z80_CPU_CORE& cpu, uint8_t value) {
    PortC<Exact>(cpu);
    Interconnect_WritePort(*cpu.Bus, cpu.C, value);
    return Done(cpu, 12);
}

template <bool Exact>
inline uint32_t SbcHL(T_Z80_CPU_CORE& cpu, uint16_t operand, T_Z80_FLAG_SET& flags) {
    uint16_t hl = HL(cpu);
    SetWZ<Exact>(cpu, Next(hl, 1));
    Z80_Sbc16(cpu, hl, operand, flags);
    SetXY<Exact>(flags, static_cast<uint8_t>(hl >> 8));
    SetPair(cpu.H, cpu.L, hl);
    return Done(cpu, 15);
}

template <bool Exact>
inline uint32_t AdcHL(T_Z80_CPU_CORE& cpu, uint16_t operand, T_Z80_FLAG_SET& flags) {
    uint16_t hl = HL(cpu);
    SetWZ<Exact>(cpu, Next(hl, 1));
    Z80_Adc16(cpu, hl, operand, flags);
    SetXY<Exact>(flags, static_cast<uint8_t>(hl >> 8));
    SetPair(cpu.H, cpu.L, hl);
    return Done(cpu, 15);
}

template <bool Exact>
inline uint16_t OperandAddress(T_Z80_CPU_CORE& cpu) {
    const uint16_t nn = ReadWord(cpu, Next(cpu.PC, 2));
    SetWZ<Exact>(cpu, Next(nn, 1));
    return nn;
}

template <bool Exact>
inline uint32_t StorePair(T_Z80_CPU_CORE& cpu, uint16_t value) {
    WriteWord(cpu, OperandAddress<Exact>(cpu), value);
    return Done(cpu, 20, 4);
}

template <bool Exact>
inline uint32_t LoadPair(T_Z80_CPU_CORE& cpu, uint8_t& high, uint8_t& low) {
    SetPair(high, low, ReadWord(cpu, OperandAddress<Exact>(cpu)));
    return Done(cpu, 20, 4);
}

template <bool Exact>
inline uint32_t Negate(T_Z80_CPU_CORE& cpu, T_Z80_FLAG_SET& flags) {
    const uint8_t old = cpu.A;
    uint8_t value = 0;
    Z80_Sub8(cpu, value, old, flags);
    cpu.A = value;
    flags.Carry = old != 0 ? 1 : 0;
    flags.ParityOverflow = old == 0x80 ? 1 : 0;
    SetXY<Exact>(flags, value);
    return Done(cpu, 8);
}

// RETN; in the exact model every ED return (RETI and the mirrors too)
// copies IFF2 into IFF1, as the chip does.
template <bool Exact>
inline uint32_t ReturnFromNmi(T_Z80_CPU_CORE& cpu) {
    cpu.PC = Pop(cpu);
    cpu.IFF1 = cpu.IFF2;
    SetWZ<Exact>(cpu, cpu.PC);
    return 14;
}

template <bool Exact>
inline uint32_t LoadAFromSpecial(T_Z80_CPU_CORE& cpu, uint8_t value, T_Z80_FLAG_SET& flags) {
    cpu.A = value;
    flags.Sign = Z80_SignOf(cpu, value);
    flags.Zero = Z80_IsZero(cpu, value);
    flags.HalfCarry = 0;
    flags.Subtract = 0;
    flags.ParityOverflow = cpu.IFF2;
    SetXY<Exact>(flags, value);
    if constexpr (Exact) cpu.AfterLdAir = 1;
    return Done(cpu, 9);
}

template <bool Exact>
inline uint32_t RotateDigit(T_Z80_CPU_CORE& cpu, uint8_t second, T_Z80_FLAG_SET& flags) {
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
    SetXY<Exact>(flags, cpu.A);
    SetWZ<Exact>(cpu, Next(hl, 1));
    return Done(cpu, 18);
}

inline void StepHL(T_Z80_CPU_CORE& cpu, bool up) {
    if (up)
        Z80_IncPair(cpu, cpu.H, cpu.L);
    else
        Z80_DecPair(cpu, cpu.H, cpu.L);
}

// An iteration that repeats (PC back on the ED byte) shows bits 13 and 11 of
// PC as flag bits 5 and 3, and leaves PC + 1 in WZ.
inline uint32_t RepeatExact(T_Z80_CPU_CORE& cpu, T_Z80_FLAG_SET& flags) {
    SetXY<true>(flags, static_cast<uint8_t>(cpu.PC >> 8));
    cpu.WZ = Next(cpu.PC, 1);
    return 21;
}

// Returns true when BC is not 0 after the transfer.
inline bool LoadTransfer(T_Z80_CPU_CORE& cpu, bool up, uint8_t& value) {
    value = Z80_ReadMemory(cpu, HL(cpu));
    Z80_WriteMemory(cpu, DE(cpu), value);
    if (up)
        Z80_IncPair(cpu, cpu.D, cpu.E);
    else
        Z80_DecPair(cpu, cpu.D, cpu.E);
    StepHL(cpu, up);
    Z80_DecPair(cpu, cpu.B, cpu.C);
    return (cpu.B | cpu.C) != 0;
}

// LDI/LDD and repeats. The exact model writes the flags on every iteration;
// bits 5 and 3 are bits 1 and 3 of the byte moved plus A.
template <bool Exact>
inline uint32_t LoadBlock(T_Z80_CPU_CORE& cpu, bool up, bool repeat, T_Z80_FLAG_SET& flags) {
    uint8_t value;
    const bool more = LoadTransfer(cpu, up, value);
    if constexpr (!Exact)
        if (repeat && more) return 21;
    flags.HalfCarry = 0;
    flags.Subtract = 0;
    flags.ParityOverflow = more ? 1 : 0;
    if constexpr (Exact) {
        const uint8_t n = static_cast<uint8_t>(value + cpu.A);
        flags.Bit5 = (n >> 1) & 1;
        flags.Bit3 = (n >> 3) & 1;
        if (repeat && more) return RepeatExact(cpu, flags);
    }
    return Done(cpu, 16);
}

// CPI/CPD and repeats; the exact model's bits 5 and 3 are bits 1 and 3 of
// A - (HL) - H.
template <bool Exact>
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
    if constexpr (Exact) {
        const uint8_t n = static_cast<uint8_t>(d - flags.HalfCarry);
        flags.Bit5 = (n >> 1) & 1;
        flags.Bit3 = (n >> 3) & 1;
        cpu.WZ = up ? Next(cpu.WZ, 1) : static_cast<uint16_t>(cpu.WZ - 1);
        if (repeat && more && d != 0) return RepeatExact(cpu, flags);
    } else {
        if (repeat && more && d != 0) return 21;
    }
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

// The chip's flags after a block I/O transfer of `value` (B already
// decremented): S, Z, 5 and 3 from B; N from bit 7 of the value; H and C
// from k = value + `addend` (C +/- 1 for input, L after the step for
// output) passing 255; P/V the parity of (k & 7) XOR B. An iteration that
// repeats changes bits 5 and 3 (from PC) and H and P/V further, by the
// carry of k, bit 7 of the value and B.
inline uint32_t FinishExactPortBlock(T_Z80_CPU_CORE& cpu, uint8_t value, uint8_t addend, bool repeat,
                                     T_Z80_FLAG_SET& flags) {
    const unsigned k = value + addend;
    const uint8_t b = cpu.B;
    flags.Sign = Z80_SignOf(cpu, b);
    flags.Zero = Z80_IsZero(cpu, b);
    SetXY<true>(flags, b);
    flags.Subtract = value >> 7;
    flags.HalfCarry = flags.Carry = k > 255 ? 1 : 0;
    flags.ParityOverflow = Z80_Parity(cpu, static_cast<uint8_t>((k & 7) ^ b));
    if (!repeat || b == 0) return Done(cpu, 16);
    if (flags.Carry) {
        if (value & 0x80) {
            flags.ParityOverflow ^= Z80_Parity(cpu, static_cast<uint8_t>((b - 1) & 7)) ^ 1;
            flags.HalfCarry = (b & 0x0F) == 0x00 ? 1 : 0;
        } else {
            flags.ParityOverflow ^= Z80_Parity(cpu, static_cast<uint8_t>((b + 1) & 7)) ^ 1;
            flags.HalfCarry = (b & 0x0F) == 0x0F ? 1 : 0;
        }
    } else {
        flags.ParityOverflow ^= Z80_Parity(cpu, static_cast<uint8_t>(b & 7)) ^ 1;
    }
    return RepeatExact(cpu, flags);
}

// INI-type instructions put BC on the bus before B counts down.
template <bool Exact>
inline uint32_t InputBlock(T_Z80_CPU_CORE& cpu, bool up, bool repeat, T_Z80_FLAG_SET& flags) {
    if constexpr (Exact) {
        const uint16_t bc = BC(cpu);
        cpu.PortAddress = bc;
        const uint8_t value = Interconnect_ReadPort(*cpu.Bus, cpu.C);
        Z80_WriteMemory(cpu, HL(cpu), value);
        cpu.WZ = up ? Next(bc, 1) : static_cast<uint16_t>(bc - 1);
        cpu.B = static_cast<uint8_t>(cpu.B - 1);
        StepHL(cpu, up);
        return FinishExactPortBlock(cpu, value, static_cast<uint8_t>(up ? cpu.C + 1 : cpu.C - 1), repeat, flags);
    } else {
        Z80_WriteMemory(cpu, HL(cpu), Interconnect_ReadPort(*cpu.Bus, cpu.C));
        return FinishPortBlock(cpu, up, repeat, flags);
    }
}

// OUTI-type instructions put BC on the bus after B counts down.
template <bool Exact>
inline uint32_t OutputBlock(T_Z80_CPU_CORE& cpu, bool up, bool repeat, T_Z80_FLAG_SET& flags) {
    if constexpr (Exact) {
        const uint8_t value = Z80_ReadMemory(cpu, HL(cpu));
        cpu.B = static_cast<uint8_t>(cpu.B - 1);
        const uint16_t bc = BC(cpu);
        cpu.PortAddress = bc;
        Interconnect_WritePort(*cpu.Bus, cpu.C, value);
        cpu.WZ = up ? Next(bc, 1) : static_cast<uint16_t>(bc - 1);
        StepHL(cpu, up);
        return FinishExactPortBlock(cpu, value, cpu.L, repeat, flags);
    } else {
        Interconnect_WritePort(*cpu.Bus, cpu.C, Z80_ReadMemory(cpu, HL(cpu)));
        return FinishPortBlock(cpu, up, repeat, flags);
    }
}

// The exact model's forms of second bytes the default model leaves
// undefined: the mirrors in 40-7F. Returns 0 for any other byte.
inline uint32_t ExecuteEDMirror(T_Z80_CPU_CORE& cpu, uint8_t second, T_Z80_FLAG_SET& flags) {
    switch (second) {
        case 0x4C: case 0x54: case 0x5C: case 0x64: case 0x6C: case 0x74: case 0x7C:
            return Negate<true>(cpu, flags);
        case 0x4D: case 0x55: case 0x5D: case 0x65: case 0x6D: case 0x75: case 0x7D:
            return ReturnFromNmi<true>(cpu);
        case 0x4E: case 0x66: case 0x6E: cpu.InterruptMode = 0; return Done(cpu, 8);
        case 0x76: cpu.InterruptMode = 1; return Done(cpu, 8);
        case 0x7E: cpu.InterruptMode = 2; return Done(cpu, 8);
        case 0x70: {  // IN F,(C): the flags of IN, the byte itself dropped
            uint8_t scratch;
            return InC<true>(cpu, scratch, flags);
        }
        case 0x71: return OutC<true>(cpu, 0);  // the NMOS part drives 0
        case 0x63: return StorePair<true>(cpu, HL(cpu));
        case 0x6B: return LoadPair<true>(cpu, cpu.H, cpu.L);
        default: return 0;
    }
}

}  // namespace

template <bool Exact>
[[gnu::flatten]] uint32_t Z80_ExecuteED(T_Z80_CPU_CORE& cpu, uint8_t second, T_Z80_FLAG_SET& flags) {
    if constexpr (Exact) {
        if (second == 0x4D) return ReturnFromNmi<true>(cpu);
        if (const uint32_t cycles = ExecuteEDMirror(cpu, second, flags); cycles != 0) return cycles;
    }
    switch (second) {
        case 0x40: return InC<Exact>(cpu, cpu.B, flags);
        case 0x48: return InC<Exact>(cpu, cpu.C, flags);
        case 0x50: return InC<Exact>(cpu, cpu.D, flags);
        case 0x58: return InC<Exact>(cpu, cpu.E, flags);
        case 0x60: return InC<Exact>(cpu, cpu.H, flags);
        case 0x68: return InC<Exact>(cpu, cpu.L, flags);
        case 0x78: return InC<Exact>(cpu, cpu.A, flags);

        case 0x41: return OutC<Exact>(cpu, cpu.B);
        case 0x49: return OutC<Exact>(cpu, cpu.C);
        case 0x51: return OutC<Exact>(cpu, cpu.D);
        case 0x59: return OutC<Exact>(cpu, cpu.E);
        case 0x61: return OutC<Exact>(cpu, cpu.H);
        case 0x69: return OutC<Exact>(cpu, cpu.L);
        case 0x79: return OutC<Exact>(cpu, cpu.A);

        case 0x42: return SbcHL<Exact>(cpu, BC(cpu), flags);
        case 0x52: return SbcHL<Exact>(cpu, DE(cpu), flags);
        case 0x62: return SbcHL<Exact>(cpu, HL(cpu), flags);
        case 0x72: return SbcHL<Exact>(cpu, cpu.SP, flags);
        case 0x4A: return AdcHL<Exact>(cpu, BC(cpu), flags);
        case 0x5A: return AdcHL<Exact>(cpu, DE(cpu), flags);
        case 0x6A: return AdcHL<Exact>(cpu, HL(cpu), flags);
        case 0x7A: return AdcHL<Exact>(cpu, cpu.SP, flags);

        case 0x43: return StorePair<Exact>(cpu, BC(cpu));
        case 0x53: return StorePair<Exact>(cpu, DE(cpu));
        case 0x73: return StorePair<Exact>(cpu, cpu.SP);
        case 0x4B: return LoadPair<Exact>(cpu, cpu.B, cpu.C);
        case 0x5B: return LoadPair<Exact>(cpu, cpu.D, cpu.E);
        case 0x7B: {
            cpu.SP = ReadWord(cpu, OperandAddress<Exact>(cpu));
            return Done(cpu, 20, 4);
        }

        case 0x44: return Negate<Exact>(cpu, flags);
        case 0x45: return ReturnFromNmi<Exact>(cpu);
        case 0x4D:
            cpu.PC = Pop(cpu);
            return 14;
        case 0x46: cpu.InterruptMode = 0; return Done(cpu, 8);
        case 0x56: cpu.InterruptMode = 1; return Done(cpu, 8);
        case 0x5E: cpu.InterruptMode = 2; return Done(cpu, 8);
        case 0x47: cpu.I = cpu.A; return Done(cpu, 9);
        case 0x4F: cpu.R = cpu.A; return Done(cpu, 9);  // the default step's +3 follows; the exact one counted before
        case 0x57: return LoadAFromSpecial<Exact>(cpu, cpu.I, flags);
        case 0x5F: return LoadAFromSpecial<Exact>(cpu, cpu.R, flags);

        case 0x67:
        case 0x6F: return RotateDigit<Exact>(cpu, second, flags);

        case 0xA0: return LoadBlock<Exact>(cpu, true, false, flags);
        case 0xA8: return LoadBlock<Exact>(cpu, false, false, flags);
        case 0xB0: return LoadBlock<Exact>(cpu, true, true, flags);
        case 0xB8: return LoadBlock<Exact>(cpu, false, true, flags);
        case 0xA1: return CompareBlock<Exact>(cpu, true, false, flags);
        case 0xA9: return CompareBlock<Exact>(cpu, false, false, flags);
        case 0xB1: return CompareBlock<Exact>(cpu, true, true, flags);
        case 0xB9: return CompareBlock<Exact>(cpu, false, true, flags);
        case 0xA2: return InputBlock<Exact>(cpu, true, false, flags);
        case 0xAA: return InputBlock<Exact>(cpu, false, false, flags);
        case 0xB2: return InputBlock<Exact>(cpu, true, true, flags);
        case 0xBA: return InputBlock<Exact>(cpu, false, true, flags);
        case 0xA3: return OutputBlock<Exact>(cpu, true, false, flags);
        case 0xAB: return OutputBlock<Exact>(cpu, false, false, flags);
        case 0xB3: return OutputBlock<Exact>(cpu, true, true, flags);
        case 0xBB: return OutputBlock<Exact>(cpu, false, true, flags);

        default:
            // Undefined here: skip both bytes so the program moves on.
            return Done(cpu, 8);
    }
}

template uint32_t Z80_ExecuteED<false>(T_Z80_CPU_CORE&, uint8_t, T_Z80_FLAG_SET&);
template uint32_t Z80_ExecuteED<true>(T_Z80_CPU_CORE&, uint8_t, T_Z80_FLAG_SET&);
