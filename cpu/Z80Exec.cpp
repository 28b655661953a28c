// Z80EM instruction step: the common frame of every instruction (flag
// unpack/pack, the three read-ahead reads, LastOpcode, the refresh counter)
// and the unprefixed instruction set. The prefixed sets live in
// Z80ExecCB.cpp, Z80ExecED.cpp and Z80ExecIndex.cpp.
//
// The step reads memory only through Z80_ReadMemory: the console marks
// cartridge RAM as used on any read, and the read-ahead reads at PC, PC+1 and
// PC+3 count as such reads, so they are never skipped or cached.
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

inline uint32_t JumpRelative(T_Z80_CPU_CORE& cpu, bool taken) {
    if (!taken) {
        cpu.PC = Next(cpu.PC, 2);
        return 7;
    }
    const uint8_t e = ReadOperand(cpu, 1);
    cpu.PC = Next(Z80_AddDisplacement(cpu, cpu.PC, e), 2);
    return 12;
}

inline uint32_t JumpAbsolute(T_Z80_CPU_CORE& cpu, bool taken) {
    cpu.PC = taken ? ReadOperandWord(cpu) : Next(cpu.PC, 3);
    return 10;
}

// The return address is pushed before the target is read, so a push that
// overwrites the instruction's own operand bytes changes where it goes.
inline uint32_t Call(T_Z80_CPU_CORE& cpu, bool taken) {
    const uint16_t ret = Next(cpu.PC, 3);
    cpu.PC = ret;
    if (!taken) return 10;
    Push(cpu, ret);
    const uint8_t low = Z80_ReadMemory(cpu, static_cast<uint16_t>(ret - 2));
    const uint8_t high = Z80_ReadMemory(cpu, static_cast<uint16_t>(ret - 1));
    cpu.PC = Z80_MakeWord(cpu, high, low);
    return 17;
}

inline uint32_t Return(T_Z80_CPU_CORE& cpu, bool taken) {
    if (!taken) {
        cpu.PC = Next(cpu.PC, 1);
        return 5;
    }
    cpu.PC = Pop(cpu);
    return 11;
}

inline uint32_t Restart(T_Z80_CPU_CORE& cpu, uint16_t target) {
    Push(cpu, Next(cpu.PC, 1));
    cpu.PC = target;
    return 11;
}

inline uint32_t AddHL(T_Z80_CPU_CORE& cpu, uint16_t operand, T_Z80_FLAG_SET& flags) {
    uint16_t hl = HL(cpu);
    Z80_Add16(cpu, hl, operand, flags);
    SetPair(cpu.H, cpu.L, hl);
    cpu.PC = Next(cpu.PC, 1);
    return 11;
}

inline uint32_t StepPair(T_Z80_CPU_CORE& cpu, uint8_t& high, uint8_t& low, int delta) {
    SetPair(high, low, static_cast<uint16_t>(Z80_MakeWord(cpu, high, low) + delta));
    cpu.PC = Next(cpu.PC, 1);
    return 6;
}

inline uint32_t IncReg(T_Z80_CPU_CORE& cpu, uint8_t& r, T_Z80_FLAG_SET& flags) {
    Z80_Inc8(cpu, r, flags);
    cpu.PC = Next(cpu.PC, 1);
    return 4;
}

inline uint32_t DecReg(T_Z80_CPU_CORE& cpu, uint8_t& r, T_Z80_FLAG_SET& flags) {
    Z80_Dec8(cpu, r, flags);
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

inline uint32_t Alu(T_Z80_CPU_CORE& cpu, unsigned kind, uint8_t operand, T_Z80_FLAG_SET& flags, uint32_t cycles,
                    unsigned length) {
    Alu8(cpu, kind, operand, flags);
    cpu.PC = Next(cpu.PC, length);
    return cycles;
}

// The four accumulator rotates leave S, Z and P/V alone.
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
    cpu.PC = Next(cpu.PC, 1);
    return 4;
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

[[gnu::always_inline]] inline uint32_t ExecuteBase(T_Z80_CPU_CORE& cpu, uint8_t opcode, uint8_t second,
                                                   uint8_t fourth, T_Z80_FLAG_SET& flags) {
    switch (opcode) {
        case 0x00: return Simple(cpu, 4);
        case 0x01: return LoadPairImmediate(cpu, cpu.B, cpu.C);
        case 0x02: Z80_WriteMemory(cpu, BC(cpu), cpu.A); return Simple(cpu, 7);
        case 0x03: return StepPair(cpu, cpu.B, cpu.C, 1);
        case 0x04: return IncReg(cpu, cpu.B, flags);
        case 0x05: return DecReg(cpu, cpu.B, flags);
        case 0x06: return LoadImmediate(cpu, cpu.B);
        case 0x07: return RotateA(cpu, 0, flags);
        case 0x08: {
            const uint8_t a = cpu.A, f = cpu.F;
            cpu.A = cpu.AltA;
            cpu.F = cpu.AltF;
            cpu.AltA = a;
            cpu.AltF = f;
            Z80_UnpackFlags(cpu, flags);
            return Simple(cpu, 4);
        }
        case 0x09: return AddHL(cpu, BC(cpu), flags);
        case 0x0A: cpu.A = Z80_ReadMemory(cpu, BC(cpu)); return Simple(cpu, 7);
        case 0x0B: return StepPair(cpu, cpu.B, cpu.C, -1);
        case 0x0C: return IncReg(cpu, cpu.C, flags);
        case 0x0D: return DecReg(cpu, cpu.C, flags);
        case 0x0E: return LoadImmediate(cpu, cpu.C);
        case 0x0F: return RotateA(cpu, 1, flags);

        case 0x10: {
            cpu.B = static_cast<uint8_t>(cpu.B - 1);
            if (cpu.B == 0) {
                cpu.PC = Next(cpu.PC, 2);
                return 8;
            }
            const uint8_t e = ReadOperand(cpu, 1);
            cpu.PC = Next(Z80_AddDisplacement(cpu, cpu.PC, e), 2);
            return 13;
        }
        case 0x11: return LoadPairImmediate(cpu, cpu.D, cpu.E);
        case 0x12: Z80_WriteMemory(cpu, DE(cpu), cpu.A); return Simple(cpu, 7);
        case 0x13: return StepPair(cpu, cpu.D, cpu.E, 1);
        case 0x14: return IncReg(cpu, cpu.D, flags);
        case 0x15: return DecReg(cpu, cpu.D, flags);
        case 0x16: return LoadImmediate(cpu, cpu.D);
        case 0x17: return RotateA(cpu, 2, flags);
        case 0x18: return JumpRelative(cpu, true);
        case 0x19: return AddHL(cpu, DE(cpu), flags);
        case 0x1A: cpu.A = Z80_ReadMemory(cpu, DE(cpu)); return Simple(cpu, 7);
        case 0x1B: return StepPair(cpu, cpu.D, cpu.E, -1);
        case 0x1C: return IncReg(cpu, cpu.E, flags);
        case 0x1D: return DecReg(cpu, cpu.E, flags);
        case 0x1E: return LoadImmediate(cpu, cpu.E);
        case 0x1F: return RotateA(cpu, 3, flags);

        case 0x20: return JumpRelative(cpu, flags.Zero == 0);
        case 0x21: return LoadPairImmediate(cpu, cpu.H, cpu.L);
        case 0x22: {
            // L first, then H: with nn = 0xFFFE the paging registers see L, then H.
            const uint16_t nn = ReadOperandWord(cpu);
            Z80_WriteMemory(cpu, nn, cpu.L);
            Z80_WriteMemory(cpu, Next(nn, 1), cpu.H);
            cpu.PC = Next(cpu.PC, 3);
            return 16;
        }
        case 0x23: return StepPair(cpu, cpu.H, cpu.L, 1);
        case 0x24: return IncReg(cpu, cpu.H, flags);
        case 0x25: return DecReg(cpu, cpu.H, flags);
        case 0x26: return LoadImmediate(cpu, cpu.H);
        case 0x27: Z80_Daa(cpu, flags); return Simple(cpu, 4);
        case 0x28: return JumpRelative(cpu, flags.Zero == 1);
        case 0x29: return AddHL(cpu, HL(cpu), flags);
        case 0x2A: {
            const uint16_t nn = ReadOperandWord(cpu);
            cpu.L = Z80_ReadMemory(cpu, nn);
            cpu.H = Z80_ReadMemory(cpu, Next(nn, 1));
            cpu.PC = Next(cpu.PC, 3);
            return 16;
        }
        case 0x2B: return StepPair(cpu, cpu.H, cpu.L, -1);
        case 0x2C: return IncReg(cpu, cpu.L, flags);
        case 0x2D: return DecReg(cpu, cpu.L, flags);
        case 0x2E: return LoadImmediate(cpu, cpu.L);
        case 0x2F:
            cpu.A = static_cast<uint8_t>(~cpu.A);
            flags.HalfCarry = 1;
            flags.Subtract = 1;
            return Simple(cpu, 4);

        case 0x30: return JumpRelative(cpu, flags.Carry == 0);
        case 0x31:
            cpu.SP = ReadOperandWord(cpu);
            cpu.PC = Next(cpu.PC, 3);
            return 10;
        case 0x32:
            Z80_WriteMemory(cpu, ReadOperandWord(cpu), cpu.A);
            cpu.PC = Next(cpu.PC, 3);
            return 13;
        case 0x33: cpu.SP = Next(cpu.SP, 1); return Simple(cpu, 6);
        case 0x34:
        case 0x35: {
            const uint16_t hl = HL(cpu);
            uint8_t scratch = Z80_ReadMemory(cpu, hl);
            if (opcode == 0x34)
                Z80_Inc8(cpu, scratch, flags);
            else
                Z80_Dec8(cpu, scratch, flags);
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
            return Simple(cpu, 4);
        case 0x38: return JumpRelative(cpu, flags.Carry == 1);
        case 0x39: return AddHL(cpu, cpu.SP, flags);
        case 0x3A:
            cpu.A = Z80_ReadMemory(cpu, ReadOperandWord(cpu));
            cpu.PC = Next(cpu.PC, 3);
            return 13;
        case 0x3B: cpu.SP = static_cast<uint16_t>(cpu.SP - 1); return Simple(cpu, 6);
        case 0x3C: return IncReg(cpu, cpu.A, flags);
        case 0x3D: return DecReg(cpu, cpu.A, flags);
        case 0x3E: return LoadImmediate(cpu, cpu.A);
        case 0x3F:
            flags.HalfCarry = flags.Carry;
            flags.Carry = flags.Carry ^ 1;
            flags.Subtract = 0;
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
    case op: return Alu(cpu, TIRAVEL_ALU_KIND, src, flags, cycles, 1);
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
            return Alu(cpu, (opcode >> 3) & 7, ReadOperand(cpu, 1), flags, 7, 2);

        case 0xC0: case 0xC8: case 0xD0: case 0xD8: case 0xE0: case 0xE8: case 0xF0: case 0xF8:
            return Return(cpu, Condition(flags, opcode >> 3));
        case 0xC9:
            cpu.PC = Pop(cpu);
            return 10;
        case 0xC2: case 0xCA: case 0xD2: case 0xDA: case 0xE2: case 0xEA: case 0xF2: case 0xFA:
            return JumpAbsolute(cpu, Condition(flags, opcode >> 3));
        case 0xC3: return JumpAbsolute(cpu, true);
        case 0xC4: case 0xCC: case 0xD4: case 0xDC: case 0xE4: case 0xEC: case 0xF4: case 0xFC:
            return Call(cpu, Condition(flags, opcode >> 3));
        case 0xCD: return Call(cpu, true);
        case 0xC7: case 0xCF: case 0xD7: case 0xDF: case 0xE7: case 0xEF: case 0xF7: case 0xFF:
            return Restart(cpu, opcode & 0x38);

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

        case 0xCB: return Z80_ExecuteCB(cpu, second, flags);
        case 0xDD: return Z80_ExecuteIndexed(cpu, cpu.IX, second, fourth, flags);
        case 0xED: return Z80_ExecuteED(cpu, second, flags);
        case 0xFD: return Z80_ExecuteIndexed(cpu, cpu.IY, second, fourth, flags);

        case 0xD3:
            Interconnect_WritePort(*cpu.Bus, ReadOperand(cpu, 1), cpu.A);
            cpu.PC = Next(cpu.PC, 2);
            return 11;
        case 0xDB:
            cpu.A = Interconnect_ReadPort(*cpu.Bus, ReadOperand(cpu, 1));
            cpu.PC = Next(cpu.PC, 2);
            return 11;
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
            return Simple(cpu, 4);
        case 0xF9:
            cpu.SP = HL(cpu);
            return Simple(cpu, 6);
    }
    return Simple(cpu, 4);  // not reached: every opcode has a case
}

#undef TIRAVEL_OPERANDS

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
    const uint32_t cycles = ExecuteBase(cpu, opcode, second, fourth, flags);
    cpu.R = static_cast<uint8_t>(cpu.R + 3);
    Z80_PackFlags(cpu, flags);
    return cycles;
}
