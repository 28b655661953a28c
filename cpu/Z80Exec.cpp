// Z80EM instruction step: the common frame of every instruction (flag
// unpack/pack, the three read-ahead reads, LastOpcode, the refresh counter)
// and the unprefixed instruction set. The prefixed sets live in
// Z80ExecCB.cpp, Z80ExecED.cpp and Z80ExecIndex.cpp. Both models' steps are
// instances of the same templates (see Z80ExecInternal.h); the exact model's
// frame adds R per opcode fetch, Q, the interrupt holds and the DD/FD prefix
// rules of the chip.
//
// The step reads memory only through Z80_ReadMemory: the console marks
// cartridge RAM as used on any read, and the read-ahead reads at PC, PC+1 and
// PC+3 count as such reads, so they are never skipped or cached.
#include <array>
#include <utility>

#include "Z80ExecInternal.h"

using namespace z80exec;

namespace {

// NZ Z NC C PO PE P M, as encoded in bits 3-5 of the conditional opcodes.
inline bool Condition(const T_Z80_FLAG_SET& flags, unsigned cc) {
    switch (cc & 7) {
        case 0: return flags.Zero == 0;
        case 1: return flags.Zero == 1;
        case 2: return flags.Carry == 0;
        case 3: return flags.Carry == 1;
        case 4: return flags.ParityOverflow == 0;
        case 5: return flags.ParityOverflow == 1;
        case 6: return flags.Sign == 0;
        default: return flags.Sign == 1;
    }
}

inline uint8_t ReadOperand(T_Z80_CPU_CORE& cpu, unsigned offset) { return Z80_ReadMemory(cpu, Next(cpu.PC, offset)); }

inline uint16_t ReadOperandWord(T_Z80_CPU_CORE& cpu) { return ReadWord(cpu, Next(cpu.PC, 1)); }

template <bool Exact>
inline uint32_t JumpRelative(T_Z80_CPU_CORE& cpu, bool taken) {
    if (!taken) {
        cpu.PC = Next(cpu.PC, 2);
        return 7;
    }
    const uint8_t e = ReadOperand(cpu, 1);
    cpu.PC = Next(Z80_AddDisplacement(cpu, cpu.PC, e), 2);
    SetWZ<Exact>(cpu, cpu.PC);
    return 12;
}

// The chip reads the target into WZ whether or not the jump is taken.
template <bool Exact>
inline uint32_t JumpAbsolute(T_Z80_CPU_CORE& cpu, bool taken) {
    if constexpr (Exact) {
        cpu.WZ = ReadOperandWord(cpu);
        cpu.PC = taken ? cpu.WZ : Next(cpu.PC, 3);
    } else {
        cpu.PC = taken ? ReadOperandWord(cpu) : Next(cpu.PC, 3);
    }
    return 10;
}

// The return address is pushed before the target is read, so a push that
// overwrites the instruction's own operand bytes changes where it goes.
// In the exact model the chip has read the target before it pushes (WZ
// holds it, taken or not), so a push over the operand does not redirect it.
template <bool Exact>
inline uint32_t Call(T_Z80_CPU_CORE& cpu, bool taken) {
    const uint16_t ret = Next(cpu.PC, 3);
    if constexpr (Exact) cpu.WZ = ReadOperandWord(cpu);
    cpu.PC = ret;
    if (!taken) return 10;
    Push(cpu, ret);
    if constexpr (Exact) {
        cpu.PC = cpu.WZ;
    } else {
        const uint8_t low = Z80_ReadMemory(cpu, static_cast<uint16_t>(ret - 2));
        const uint8_t high = Z80_ReadMemory(cpu, static_cast<uint16_t>(ret - 1));
        cpu.PC = Z80_MakeWord(cpu, high, low);
    }
    return 17;
}

template <bool Exact>
inline uint32_t Return(T_Z80_CPU_CORE& cpu, bool taken) {
    if (!taken) {
        cpu.PC = Next(cpu.PC, 1);
        return 5;
    }
    cpu.PC = Pop(cpu);
    SetWZ<Exact>(cpu, cpu.PC);
    return 11;
}

template <bool Exact>
inline uint32_t Restart(T_Z80_CPU_CORE& cpu, uint16_t target) {
    Push(cpu, Next(cpu.PC, 1));
    cpu.PC = target;
    SetWZ<Exact>(cpu, target);
    return 11;
}

template <bool Exact>
inline uint32_t AddHL(T_Z80_CPU_CORE& cpu, uint16_t operand, T_Z80_FLAG_SET& flags) {
    uint16_t hl = HL(cpu);
    Add16<Exact>(cpu, hl, operand, flags);
    SetPair(cpu.H, cpu.L, hl);
    cpu.PC = Next(cpu.PC, 1);
    return 11;
}

inline uint32_t StepPair(T_Z80_CPU_CORE& cpu, uint8_t& high, uint8_t& low, int delta) {
    SetPair(high, low, static_cast<uint16_t>(Z80_MakeWord(cpu, high, low) + delta));
    cpu.PC = Next(cpu.PC, 1);
    return 6;
}

template <bool Exact>
inline uint32_t IncReg(T_Z80_CPU_CORE& cpu, uint8_t& r, T_Z80_FLAG_SET& flags) {
    Inc8<Exact>(cpu, r, flags);
    cpu.PC = Next(cpu.PC, 1);
    return 4;
}

template <bool Exact>
inline uint32_t DecReg(T_Z80_CPU_CORE& cpu, uint8_t& r, T_Z80_FLAG_SET& flags) {
    Dec8<Exact>(cpu, r, flags);
    cpu.PC = Next(cpu.PC, 1);
    return 4;
}

inline uint32_t LoadImmediate(T_Z80_CPU_CORE& cpu, uint8_t& r) {
    r = ReadOperand(cpu, 1);
    cpu.PC = Next(cpu.PC, 2);
    return 7;
}

inline uint32_t LoadPairImmediate(T_Z80_CPU_CORE& cpu, uint8_t& high, uint8_t& low) {
    low = ReadOperand(cpu, 1);
    high = ReadOperand(cpu, 2);
    cpu.PC = Next(cpu.PC, 3);
    return 10;
}

inline uint32_t PushPair(T_Z80_CPU_CORE& cpu, uint8_t high, uint8_t low) {
    Push(cpu, Z80_MakeWord(cpu, high, low));
    cpu.PC = Next(cpu.PC, 1);
    return 11;
}

inline uint32_t PopPair(T_Z80_CPU_CORE& cpu, uint8_t& high, uint8_t& low) {
    SetPair(high, low, Pop(cpu));
    cpu.PC = Next(cpu.PC, 1);
    return 10;
}

// Register-to-register and memory loads of 0x40-0x7F (HALT excluded).
inline uint32_t Load(T_Z80_CPU_CORE& cpu, uint8_t& dst, uint8_t value, uint32_t cycles) {
    dst = value;
    cpu.PC = Next(cpu.PC, 1);
    return cycles;
}

inline uint32_t StoreHL(T_Z80_CPU_CORE& cpu, uint8_t value) {
    Z80_WriteMemory(cpu, HL(cpu), value);
    cpu.PC = Next(cpu.PC, 1);
    return 7;
}

template <bool Exact>
inline uint32_t Alu(T_Z80_CPU_CORE& cpu, unsigned kind, uint8_t operand, T_Z80_FLAG_SET& flags, uint32_t cycles,
                    unsigned length) {
    Alu8<Exact>(cpu, kind, operand, flags);
    cpu.PC = Next(cpu.PC, length);
    return cycles;
}

// The four accumulator rotates leave S, Z and P/V alone.
template <bool Exact>
inline uint32_t RotateA(T_Z80_CPU_CORE& cpu, unsigned kind, T_Z80_FLAG_SET& flags) {
    const uint8_t a = cpu.A;
    uint8_t carry;
    switch (kind) {
        case 0: carry = a >> 7; cpu.A = static_cast<uint8_t>((a << 1) | carry); break;
        case 1: carry = a & 1; cpu.A = static_cast<uint8_t>((carry << 7) | (a >> 1)); break;
        case 2: carry = a >> 7; cpu.A = static_cast<uint8_t>((a << 1) | flags.Carry); break;
        default: carry = a & 1; cpu.A = static_cast<uint8_t>((flags.Carry << 7) | (a >> 1)); break;
    }
    flags.Carry = carry;
    flags.HalfCarry = 0;
    flags.Subtract = 0;
    SetXY<Exact>(flags, cpu.A);
    cpu.PC = Next(cpu.PC, 1);
    return 4;
}

// LD (rp),A and LD (nn),A leave A in WZ's high byte and the address + 1 in
// its low byte; the loads the other way leave the address + 1.
template <bool Exact>
inline void StoreAWZ(T_Z80_CPU_CORE& cpu, uint16_t address) {
    SetWZ<Exact>(cpu, static_cast<uint16_t>(cpu.A << 8 | ((address + 1) & 0xFF)));
}

// SCF and CCF on the NMOS part: bits 5 and 3 from (Q XOR F) OR A, Q being
// the flags of the instruction before (0 if it computed none). cpu.F still
// holds the flags from before this instruction.
template <bool Exact>
inline void CarryFlagXY(const T_Z80_CPU_CORE& cpu, T_Z80_FLAG_SET& flags) {
    SetXY<Exact>(flags, static_cast<uint8_t>((cpu.Q ^ cpu.F) | cpu.A));
}

inline uint32_t Simple(T_Z80_CPU_CORE& cpu, uint32_t cycles) {
    cpu.PC = Next(cpu.PC, 1);
    return cycles;
}

// Operand 0-7 of the load and ALU blocks: B C D E H L (HL) A.
#define TIRAVEL_OPERANDS(X, base)                                   \
    X(base + 0, cpu.B, 4)                                           \
    X(base + 1, cpu.C, 4)                                           \
    X(base + 2, cpu.D, 4)                                           \
    X(base + 3, cpu.E, 4)                                           \
    X(base + 4, cpu.H, 4)                                           \
    X(base + 5, cpu.L, 4)                                           \
    X(base + 6, Z80_ReadMemory(cpu, HL(cpu)), 7)                    \
    X(base + 7, cpu.A, 4)

template <bool Exact>
[[gnu::always_inline]] inline uint32_t ExecuteBase(T_Z80_CPU_CORE& cpu, uint8_t opcode, uint8_t second,
                                                   uint8_t fourth, T_Z80_FLAG_SET& flags) {
    switch (opcode) {
        case 0x00: return Simple(cpu, 4);
        case 0x01: return LoadPairImmediate(cpu, cpu.B, cpu.C);
        case 0x02: StoreAWZ<Exact>(cpu, BC(cpu)); Z80_WriteMemory(cpu, BC(cpu), cpu.A); return Simple(cpu, 7);
        case 0x03: return StepPair(cpu, cpu.B, cpu.C, 1);
        case 0x04: return IncReg<Exact>(cpu, cpu.B, flags);
        case 0x05: return DecReg<Exact>(cpu, cpu.B, flags);
        case 0x06: return LoadImmediate(cpu, cpu.B);
        case 0x07: return RotateA<Exact>(cpu, 0, flags);
        case 0x08: {
            const uint8_t a = cpu.A, f = cpu.F;
            cpu.A = cpu.AltA;
            cpu.F = cpu.AltF;
            cpu.AltA = a;
            cpu.AltF = f;
            Z80_UnpackFlags(cpu, flags);
            return Simple(cpu, 4);
        }
        case 0x09: return AddHL<Exact>(cpu, BC(cpu), flags);
        case 0x0A: SetWZ<Exact>(cpu, Next(BC(cpu), 1)); cpu.A = Z80_ReadMemory(cpu, BC(cpu)); return Simple(cpu, 7);
        case 0x0B: return StepPair(cpu, cpu.B, cpu.C, -1);
        case 0x0C: return IncReg<Exact>(cpu, cpu.C, flags);
        case 0x0D: return DecReg<Exact>(cpu, cpu.C, flags);
        case 0x0E: return LoadImmediate(cpu, cpu.C);
        case 0x0F: return RotateA<Exact>(cpu, 1, flags);

        case 0x10: {
            cpu.B = static_cast<uint8_t>(cpu.B - 1);
            if (cpu.B == 0) {
                cpu.PC = Next(cpu.PC, 2);
                return 8;
            }
            const uint8_t e = ReadOperand(cpu, 1);
            cpu.PC = Next(Z80_AddDisplacement(cpu, cpu.PC, e), 2);
            SetWZ<Exact>(cpu, cpu.PC);
            return 13;
        }
        case 0x11: return LoadPairImmediate(cpu, cpu.D, cpu.E);
        case 0x12: StoreAWZ<Exact>(cpu, DE(cpu)); Z80_WriteMemory(cpu, DE(cpu), cpu.A); return Simple(cpu, 7);
        case 0x13: return StepPair(cpu, cpu.D, cpu.E, 1);
        case 0x14: return IncReg<Exact>(cpu, cpu.D, flags);
        case 0x15: return DecReg<Exact>(cpu, cpu.D, flags);
        case 0x16: return LoadImmediate(cpu, cpu.D);
        case 0x17: return RotateA<Exact>(cpu, 2, flags);
        case 0x18: return JumpRelative<Exact>(cpu, true);
        case 0x19: return AddHL<Exact>(cpu, DE(cpu), flags);
        case 0x1A: SetWZ<Exact>(cpu, Next(DE(cpu), 1)); cpu.A = Z80_ReadMemory(cpu, DE(cpu)); return Simple(cpu, 7);
        case 0x1B: return StepPair(cpu, cpu.D, cpu.E, -1);
        case 0x1C: return IncReg<Exact>(cpu, cpu.E, flags);
        case 0x1D: return DecReg<Exact>(cpu, cpu.E, flags);
        case 0x1E: return LoadImmediate(cpu, cpu.E);
        case 0x1F: return RotateA<Exact>(cpu, 3, flags);

        case 0x20: return JumpRelative<Exact>(cpu, flags.Zero == 0);
        case 0x21: return LoadPairImmediate(cpu, cpu.H, cpu.L);
        case 0x22: {
            // L first, then H: with nn = 0xFFFE the paging registers see L, then H.
            const uint16_t nn = ReadOperandWord(cpu);
            SetWZ<Exact>(cpu, Next(nn, 1));
            Z80_WriteMemory(cpu, nn, cpu.L);
            Z80_WriteMemory(cpu, Next(nn, 1), cpu.H);
            cpu.PC = Next(cpu.PC, 3);
            return 16;
        }
        case 0x23: return StepPair(cpu, cpu.H, cpu.L, 1);
        case 0x24: return IncReg<Exact>(cpu, cpu.H, flags);
        case 0x25: return DecReg<Exact>(cpu, cpu.H, flags);
        case 0x26: return LoadImmediate(cpu, cpu.H);
        case 0x27: Z80_Daa(cpu, flags); return Simple(cpu, 4);
        case 0x28: return JumpRelative<Exact>(cpu, flags.Zero == 1);
        case 0x29: return AddHL<Exact>(cpu, HL(cpu), flags);
        case 0x2A: {
            const uint16_t nn = ReadOperandWord(cpu);
            SetWZ<Exact>(cpu, Next(nn, 1));
            cpu.L = Z80_ReadMemory(cpu, nn);
            cpu.H = Z80_ReadMemory(cpu, Next(nn, 1));
            cpu.PC = Next(cpu.PC, 3);
            return 16;
        }
        case 0x2B: return StepPair(cpu, cpu.H, cpu.L, -1);
        case 0x2C: return IncReg<Exact>(cpu, cpu.L, flags);
        case 0x2D: return DecReg<Exact>(cpu, cpu.L, flags);
        case 0x2E: return LoadImmediate(cpu, cpu.L);
        case 0x2F:
            cpu.A = static_cast<uint8_t>(~cpu.A);
            flags.HalfCarry = 1;
            flags.Subtract = 1;
            SetXY<Exact>(flags, cpu.A);
            return Simple(cpu, 4);

        case 0x30: return JumpRelative<Exact>(cpu, flags.Carry == 0);
        case 0x31:
            cpu.SP = ReadOperandWord(cpu);
            cpu.PC = Next(cpu.PC, 3);
            return 10;
        case 0x32: {
            const uint16_t nn = ReadOperandWord(cpu);
            StoreAWZ<Exact>(cpu, nn);
            Z80_WriteMemory(cpu, nn, cpu.A);
            cpu.PC = Next(cpu.PC, 3);
            return 13;
        }
        case 0x33: cpu.SP = Next(cpu.SP, 1); return Simple(cpu, 6);
        case 0x34:
        case 0x35: {
            const uint16_t hl = HL(cpu);
            uint8_t scratch = Z80_ReadMemory(cpu, hl);
            if (opcode == 0x34)
                Inc8<Exact>(cpu, scratch, flags);
            else
                Dec8<Exact>(cpu, scratch, flags);
            Z80_WriteMemory(cpu, hl, scratch);
            return Simple(cpu, 11);
        }
        case 0x36:
            Z80_WriteMemory(cpu, HL(cpu), ReadOperand(cpu, 1));
            cpu.PC = Next(cpu.PC, 2);
            return 10;
        case 0x37:
            flags.Carry = 1;
            flags.HalfCarry = 0;
            flags.Subtract = 0;
            CarryFlagXY<Exact>(cpu, flags);
            return Simple(cpu, 4);
        case 0x38: return JumpRelative<Exact>(cpu, flags.Carry == 1);
        case 0x39: return AddHL<Exact>(cpu, cpu.SP, flags);
        case 0x3A: {
            const uint16_t nn = ReadOperandWord(cpu);
            SetWZ<Exact>(cpu, Next(nn, 1));
            cpu.A = Z80_ReadMemory(cpu, nn);
            cpu.PC = Next(cpu.PC, 3);
            return 13;
        }
        case 0x3B: cpu.SP = static_cast<uint16_t>(cpu.SP - 1); return Simple(cpu, 6);
        case 0x3C: return IncReg<Exact>(cpu, cpu.A, flags);
        case 0x3D: return DecReg<Exact>(cpu, cpu.A, flags);
        case 0x3E: return LoadImmediate(cpu, cpu.A);
        case 0x3F:
            flags.HalfCarry = flags.Carry;
            flags.Carry = flags.Carry ^ 1;
            flags.Subtract = 0;
            CarryFlagXY<Exact>(cpu, flags);
            return Simple(cpu, 4);

#define TIRAVEL_LD(op, src, cycles) \
    case op: return Load(cpu, TIRAVEL_LD_DST, src, cycles);
#define TIRAVEL_LD_DST cpu.B
        TIRAVEL_OPERANDS(TIRAVEL_LD, 0x40)
#undef TIRAVEL_LD_DST
#define TIRAVEL_LD_DST cpu.C
        TIRAVEL_OPERANDS(TIRAVEL_LD, 0x48)
#undef TIRAVEL_LD_DST
#define TIRAVEL_LD_DST cpu.D
        TIRAVEL_OPERANDS(TIRAVEL_LD, 0x50)
#undef TIRAVEL_LD_DST
#define TIRAVEL_LD_DST cpu.E
        TIRAVEL_OPERANDS(TIRAVEL_LD, 0x58)
#undef TIRAVEL_LD_DST
#define TIRAVEL_LD_DST cpu.H
        TIRAVEL_OPERANDS(TIRAVEL_LD, 0x60)
#undef TIRAVEL_LD_DST
#define TIRAVEL_LD_DST cpu.L
        TIRAVEL_OPERANDS(TIRAVEL_LD, 0x68)
#undef TIRAVEL_LD_DST
#define TIRAVEL_LD_DST cpu.A
        TIRAVEL_OPERANDS(TIRAVEL_LD, 0x78)
#undef TIRAVEL_LD_DST
#undef TIRAVEL_LD

        case 0x70: return StoreHL(cpu, cpu.B);
        case 0x71: return StoreHL(cpu, cpu.C);
        case 0x72: return StoreHL(cpu, cpu.D);
        case 0x73: return StoreHL(cpu, cpu.E);
        case 0x74: return StoreHL(cpu, cpu.H);
        case 0x75: return StoreHL(cpu, cpu.L);
        case 0x76:
            // PC moves past the HALT, so an accepted interrupt returns after it.
            cpu.Halted = 1;
            return Simple(cpu, 4);
        case 0x77: return StoreHL(cpu, cpu.A);

#define TIRAVEL_ALU(op, src, cycles) \
    case op: return Alu<Exact>(cpu, TIRAVEL_ALU_KIND, src, flags, cycles, 1);
#define TIRAVEL_ALU_KIND 0
        TIRAVEL_OPERANDS(TIRAVEL_ALU, 0x80)
#undef TIRAVEL_ALU_KIND
#define TIRAVEL_ALU_KIND 1
        TIRAVEL_OPERANDS(TIRAVEL_ALU, 0x88)
#undef TIRAVEL_ALU_KIND
#define TIRAVEL_ALU_KIND 2
        TIRAVEL_OPERANDS(TIRAVEL_ALU, 0x90)
#undef TIRAVEL_ALU_KIND
#define TIRAVEL_ALU_KIND 3
        TIRAVEL_OPERANDS(TIRAVEL_ALU, 0x98)
#undef TIRAVEL_ALU_KIND
#define TIRAVEL_ALU_KIND 4
        TIRAVEL_OPERANDS(TIRAVEL_ALU, 0xA0)
#undef TIRAVEL_ALU_KIND
#define TIRAVEL_ALU_KIND 5
        TIRAVEL_OPERANDS(TIRAVEL_ALU, 0xA8)
#undef TIRAVEL_ALU_KIND
#define TIRAVEL_ALU_KIND 6
        TIRAVEL_OPERANDS(TIRAVEL_ALU, 0xB0)
#undef TIRAVEL_ALU_KIND
#define TIRAVEL_ALU_KIND 7
        TIRAVEL_OPERANDS(TIRAVEL_ALU, 0xB8)
#undef TIRAVEL_ALU_KIND
#undef TIRAVEL_ALU

        case 0xC6: case 0xCE: case 0xD6: case 0xDE: case 0xE6: case 0xEE: case 0xF6: case 0xFE:
            return Alu<Exact>(cpu, (opcode >> 3) & 7, ReadOperand(cpu, 1), flags, 7, 2);

        case 0xC0: case 0xC8: case 0xD0: case 0xD8: case 0xE0: case 0xE8: case 0xF0: case 0xF8:
            return Return<Exact>(cpu, Condition(flags, opcode >> 3));
        case 0xC9:
            cpu.PC = Pop(cpu);
            SetWZ<Exact>(cpu, cpu.PC);
            return 10;
        case 0xC2: case 0xCA: case 0xD2: case 0xDA: case 0xE2: case 0xEA: case 0xF2: case 0xFA:
            return JumpAbsolute<Exact>(cpu, Condition(flags, opcode >> 3));
        case 0xC3: return JumpAbsolute<Exact>(cpu, true);
        case 0xC4: case 0xCC: case 0xD4: case 0xDC: case 0xE4: case 0xEC: case 0xF4: case 0xFC:
            return Call<Exact>(cpu, Condition(flags, opcode >> 3));
        case 0xCD: return Call<Exact>(cpu, true);
        case 0xC7: case 0xCF: case 0xD7: case 0xDF: case 0xE7: case 0xEF: case 0xF7: case 0xFF:
            return Restart<Exact>(cpu, opcode & 0x38);

        case 0xC1: return PopPair(cpu, cpu.B, cpu.C);
        case 0xD1: return PopPair(cpu, cpu.D, cpu.E);
        case 0xE1: return PopPair(cpu, cpu.H, cpu.L);
        case 0xF1:
            // F is replaced whole, bits 3 and 5 included.
            PopPair(cpu, cpu.A, cpu.F);
            Z80_UnpackFlags(cpu, flags);
            return 10;
        case 0xC5: return PushPair(cpu, cpu.B, cpu.C);
        case 0xD5: return PushPair(cpu, cpu.D, cpu.E);
        case 0xE5: return PushPair(cpu, cpu.H, cpu.L);
        case 0xF5: return PushPair(cpu, cpu.A, cpu.F);

        case 0xCB: return Z80_ExecuteCB<Exact>(cpu, second, flags);
        case 0xDD: return Z80_ExecuteIndexed<Exact>(cpu, cpu.IX, second, fourth, flags);
        case 0xED: return Z80_ExecuteED<Exact>(cpu, second, flags);
        case 0xFD: return Z80_ExecuteIndexed<Exact>(cpu, cpu.IY, second, fourth, flags);

        // The port's high address byte is A in both directions.
        case 0xD3: {
            const uint8_t n = ReadOperand(cpu, 1);
            SetPortAddress<Exact>(cpu, static_cast<uint16_t>(cpu.A << 8 | n));
            SetWZ<Exact>(cpu, static_cast<uint16_t>(cpu.A << 8 | ((n + 1) & 0xFF)));
            Interconnect_WritePort(*cpu.Bus, n, cpu.A);
            cpu.PC = Next(cpu.PC, 2);
            return 11;
        }
        case 0xDB: {
            const uint8_t n = ReadOperand(cpu, 1);
            SetPortAddress<Exact>(cpu, static_cast<uint16_t>(cpu.A << 8 | n));
            SetWZ<Exact>(cpu, static_cast<uint16_t>((cpu.A << 8 | n) + 1));
            cpu.A = Interconnect_ReadPort(*cpu.Bus, n);
            cpu.PC = Next(cpu.PC, 2);
            return 11;
        }
        case 0xD9: {
            uint8_t t;
            t = cpu.B; cpu.B = cpu.AltB; cpu.AltB = t;
            t = cpu.C; cpu.C = cpu.AltC; cpu.AltC = t;
            t = cpu.D; cpu.D = cpu.AltD; cpu.AltD = t;
            t = cpu.E; cpu.E = cpu.AltE; cpu.AltE = t;
            t = cpu.H; cpu.H = cpu.AltH; cpu.AltH = t;
            t = cpu.L; cpu.L = cpu.AltL; cpu.AltL = t;
            return Simple(cpu, 4);
        }
        case 0xE3: {
            const uint16_t sp1 = Next(cpu.SP, 1);
            const uint8_t high = Z80_ReadMemory(cpu, sp1);
            const uint8_t low = Z80_ReadMemory(cpu, cpu.SP);
            Z80_WriteMemory(cpu, sp1, cpu.H);
            Z80_WriteMemory(cpu, cpu.SP, cpu.L);
            cpu.H = high;
            cpu.L = low;
            SetWZ<Exact>(cpu, HL(cpu));
            return Simple(cpu, 19);
        }
        case 0xE9:
            cpu.PC = HL(cpu);
            return 4;
        case 0xEB: {
            uint8_t t;
            t = cpu.D; cpu.D = cpu.H; cpu.H = t;
            t = cpu.E; cpu.E = cpu.L; cpu.L = t;
            return Simple(cpu, 4);
        }
        case 0xF3:
            cpu.IFF1 = 0;
            cpu.IFF2 = 0;
            return Simple(cpu, 4);
        case 0xFB:
            cpu.IFF1 = 1;
            cpu.IFF2 = 1;
            if constexpr (Exact) cpu.EiDelay = 1;
            return Simple(cpu, 4);
        case 0xF9:
            cpu.SP = HL(cpu);
            return Simple(cpu, 6);
    }
    return Simple(cpu, 4);  // not reached: every opcode has a case
}

#undef TIRAVEL_OPERANDS

// Which instructions compute flags, for Q: the exact model keeps F in Q
// after them and 0 after any other (POP AF and EX AF,AF' change F without
// computing it). The unprefixed table serves DD/FD forms too, the CB rule
// (rotates, shifts and BIT, not RES and SET) DD CB / FD CB.
constexpr bool BaseComputesFlags(uint8_t op) {
    if (op < 0x40) return (op & 7) == 4 || (op & 7) == 5 || (op & 7) == 7 || (op & 0x0F) == 0x09;
    if (op < 0x80) return false;
    if (op < 0xC0) return true;
    return (op & 0xC7) == 0xC6;
}

constexpr bool EdComputesFlags(uint8_t op) {
    if (op >= 0x40 && op < 0x80) {
        const unsigned z = op & 7;
        return z == 0 || z == 2 || z == 4 || op == 0x57 || op == 0x5F || op == 0x67 || op == 0x6F;
    }
    return op >= 0xA0 && op < 0xC0 && (op & 7) < 4;
}

// The second bytes whose meaning DD or FD changes (H, L or (HL) among the
// operands, the 16-bit HL forms, CB). Any other runs as the unprefixed
// instruction after a 4-T prefix fetch.
constexpr bool UsesIndex(uint8_t s) {
    switch (s) {
        case 0x09: case 0x19: case 0x29: case 0x39:
        case 0x21: case 0x22: case 0x23: case 0x24: case 0x25: case 0x26:
        case 0x2A: case 0x2B: case 0x2C: case 0x2D: case 0x2E:
        case 0x34: case 0x35: case 0x36:
        case 0xCB: case 0xE1: case 0xE3: case 0xE5: case 0xE9: case 0xF9:
            return true;
        default: break;
    }
    auto hl = [](unsigned code) { return code == 4 || code == 5 || code == 6; };
    if (s >= 0x40 && s < 0x80) return s != 0x76 && (hl(s & 7) || hl((s >> 3) & 7));
    if (s >= 0x80 && s < 0xC0) return hl(s & 7);
    return false;
}

template <std::size_t... I>
constexpr std::array<uint8_t, 256> MakeTable(bool (*rule)(uint8_t), std::index_sequence<I...>) {
    return {static_cast<uint8_t>(rule(static_cast<uint8_t>(I)))...};
}

constexpr std::array<uint8_t, 256> kBaseComputesFlags = MakeTable(BaseComputesFlags, std::make_index_sequence<256>{});
constexpr std::array<uint8_t, 256> kEdComputesFlags = MakeTable(EdComputesFlags, std::make_index_sequence<256>{});
constexpr std::array<uint8_t, 256> kUsesIndex = MakeTable(UsesIndex, std::make_index_sequence<256>{});

// R counts opcode fetches in its low seven bits; bit 7 stays as LD R,A set it.
inline void Refresh(T_Z80_CPU_CORE& cpu, unsigned fetches) {
    cpu.R = static_cast<uint8_t>((cpu.R & 0x80) | ((cpu.R + fetches) & 0x7F));
}

}  // namespace

// The step is the emulator's hottest function: flattening pulls the memory
// map, the ALU and the port decoding into it (across files in link-time
// optimised builds), so the unprefixed set runs without calls. The ED and
// DD/FD sets are pulled in too: block transfers, port output and indexed
// loads are a large share of a game's instructions, and a call per prefixed
// instruction (arguments, register saves, the flag set reloaded) cost more
// than the larger step. The CB set stays behind its table of handlers.
[[gnu::flatten]] uint32_t Z80_ExecuteInstruction(T_Z80_CPU_CORE& cpu) {
    T_Z80_FLAG_SET flags;
    Z80_UnpackFlags(cpu, flags);
    const uint16_t pc = cpu.PC;
    const uint8_t opcode = Z80_ReadMemory(cpu, pc);
    const uint8_t second = Z80_ReadMemory(cpu, Next(pc, 1));
    const uint8_t fourth = Z80_ReadMemory(cpu, Next(pc, 3));
    cpu.LastOpcode = opcode;
    const uint32_t cycles = ExecuteBase<false>(cpu, opcode, second, fourth, flags);
    cpu.R = static_cast<uint8_t>(cpu.R + 3);
    Z80_PackFlags(cpu, flags);
    return cycles;
}

// The exact model's frame. R counts before the instruction runs, so LD A,R
// reads and LD R,A overwrites the value after this instruction's fetches.
// A DD/FD prefix before a byte it does not change costs its own 4 T and
// fetch; before another prefix or ED it is a step alone, after which the run
// loop takes no interrupt (the chip takes none inside a prefix chain).
[[gnu::flatten]] uint32_t Z80_ExecuteExactInstruction(T_Z80_CPU_CORE& cpu) {
    T_Z80_FLAG_SET flags;
    Z80_UnpackFlags(cpu, flags);
    const uint16_t pc = cpu.PC;
    const uint8_t opcode = Z80_ReadMemory(cpu, pc);
    const uint8_t second = Z80_ReadMemory(cpu, Next(pc, 1));
    const uint8_t fourth = Z80_ReadMemory(cpu, Next(pc, 3));
    cpu.LastOpcode = opcode;
    cpu.EiDelay = 0;
    cpu.AfterLdAir = 0;
    cpu.PrefixHold = 0;
    uint8_t op = opcode;
    uint32_t prefixCycles = 0;
    bool computes;
    if (opcode == 0xDD || opcode == 0xFD) {
        if (second == 0xDD || second == 0xFD || second == 0xED) {
            Refresh(cpu, 1);
            cpu.PC = Next(pc, 1);
            cpu.PrefixHold = 1;
            return 4;  // F and Q as they were
        }
        Refresh(cpu, 2);
        if (kUsesIndex[second]) {
            computes = second == 0xCB ? fourth < 0x80 : kBaseComputesFlags[second] != 0;
        } else {
            // Neither CB, ED nor a prefix, so the unprefixed set needs no
            // read-ahead bytes for it.
            cpu.PC = Next(pc, 1);
            op = second;
            prefixCycles = 4;
            computes = kBaseComputesFlags[second] != 0;
        }
    } else if (opcode == 0xCB) {
        Refresh(cpu, 2);
        computes = second < 0x80;
    } else if (opcode == 0xED) {
        Refresh(cpu, 2);
        computes = kEdComputesFlags[second] != 0;
    } else {
        Refresh(cpu, 1);
        computes = kBaseComputesFlags[opcode] != 0;
    }
    const uint32_t cycles = prefixCycles + ExecuteBase<true>(cpu, op, second, fourth, flags);
    Z80_PackFlags(cpu, flags);
    cpu.Q = computes ? cpu.F : 0;
    return cycles;
}
