// Z80EM instruction step, DD and FD sets (IX and IY share one table) and the
// indexed bit set DD CB / FD CB.
//
// In the default model, second bytes this core does not define after DD or
// FD, among them the arithmetic forms on B C D E A and a second prefix, are
// two-byte no-ops that charge no cycles: the byte after the prefix is
// skipped, not executed. An indexed bit operation byte whose low three bits
// are not 6 (the register copies of the real chip) skips all four bytes and
// costs 23 cycles. The exact model's frame (Z80Exec.cpp) sends those second
// bytes to the unprefixed set instead; here it takes the chip's T-states,
// WZ = XY + d on every indexed access, and the DD CB forms that also copy
// the result into a register.
#include "Z80ExecInternal.h"

using namespace z80exec;

namespace {

inline uint32_t Done(T_Z80_CPU_CORE& cpu, uint32_t cycles, unsigned length = 2) {
    cpu.PC = Next(cpu.PC, length);
    return cycles;
}

inline uint8_t High(uint16_t xy) { return static_cast<uint8_t>(xy >> 8); }
inline uint8_t Low(uint16_t xy) { return static_cast<uint8_t>(xy); }
inline void SetHigh(uint16_t& xy, uint8_t v) { xy = static_cast<uint16_t>((xy & 0x00FF) | (v << 8)); }
inline void SetLow(uint16_t& xy, uint8_t v) { xy = static_cast<uint16_t>((xy & 0xFF00) | v); }

// The address XY + d, d read from the byte after the second byte; the exact
// model's WZ takes it.
template <bool Exact>
inline uint16_t Indexed(T_Z80_CPU_CORE& cpu, uint16_t xy) {
    const uint16_t address = Z80_AddDisplacement(cpu, xy, Z80_ReadMemory(cpu, Next(cpu.PC, 2)));
    SetWZ<Exact>(cpu, address);
    return address;
}

// B C D E H L - A by the three-bit register code. Code 6 ((HL)) never
// reaches here; whether 4 and 5 mean H, L or XYH, XYL the callers decide.
inline uint8_t& PlainRegister(T_Z80_CPU_CORE& cpu, unsigned code) {
    switch (code) {
        case 0: return cpu.B;
        case 1: return cpu.C;
        case 2: return cpu.D;
        case 3: return cpu.E;
        case 4: return cpu.H;
        case 5: return cpu.L;
        default: return cpu.A;
    }
}

// The exact model runs every operation byte on (XY+d): BIT n with any low
// bits is BIT n,(XY+d) (bits 5 and 3 from the address's high byte), and the
// others also copy the byte written into the register the low bits name
// (none for 6).
template <bool Exact>
inline uint32_t IndexedBit(T_Z80_CPU_CORE& cpu, uint16_t xy, uint8_t operation, T_Z80_FLAG_SET& flags) {
    if constexpr (!Exact)
        if ((operation & 7) != 6) return Done(cpu, 23, 4);
    const uint16_t address = Indexed<Exact>(cpu, xy);
    const unsigned y = (operation >> 3) & 7;
    const uint8_t v = Z80_ReadMemory(cpu, address);
    uint32_t cycles = 23;
    uint8_t result = 0;
    switch (operation >> 6) {
        case 0: result = RotateShift<Exact>(cpu, y, v, flags); Z80_WriteMemory(cpu, address, result); break;
        case 1: BitTest<Exact>(y, v, flags, static_cast<uint8_t>(address >> 8)); cycles = 20; break;
        case 2: result = static_cast<uint8_t>(v & ~(1u << y)); Z80_WriteMemory(cpu, address, result); break;
        default: result = static_cast<uint8_t>(v | (1u << y)); Z80_WriteMemory(cpu, address, result); break;
    }
    if constexpr (Exact)
        if (cycles == 23 && (operation & 7) != 6) PlainRegister(cpu, operation & 7) = result;
    return Done(cpu, cycles, 4);
}

template <bool Exact>
inline uint32_t AddXY(T_Z80_CPU_CORE& cpu, uint16_t& xy, uint16_t operand, T_Z80_FLAG_SET& flags) {
    Add16<Exact>(cpu, xy, operand, flags);
    return Done(cpu, 15);
}

// INC/DEC XYH and XYL: 8 T on the chip, 10 in the default model.
template <bool Exact, bool Increment>
inline uint32_t StepHigh(T_Z80_CPU_CORE& cpu, uint16_t& xy, T_Z80_FLAG_SET& flags) {
    uint8_t v = High(xy);
    if (Increment) Inc8<Exact>(cpu, v, flags); else Dec8<Exact>(cpu, v, flags);
    SetHigh(xy, v);
    return Done(cpu, Exact ? 8 : 10);
}

template <bool Exact, bool Increment>
inline uint32_t StepLow(T_Z80_CPU_CORE& cpu, uint16_t& xy, T_Z80_FLAG_SET& flags) {
    uint8_t v = Low(xy);
    if (Increment) Inc8<Exact>(cpu, v, flags); else Dec8<Exact>(cpu, v, flags);
    SetLow(xy, v);
    return Done(cpu, Exact ? 8 : 10);
}

// 0x40-0x7F after the prefix: loads among registers, XYH, XYL and (XY+d).
// The dispatch below calls it (and IndexedAlu) with the second byte as a
// constant, so each case compiles to its own few instructions.
template <bool Exact>
[[gnu::always_inline]] inline uint32_t IndexedLoad(T_Z80_CPU_CORE& cpu, uint16_t& xy, uint8_t second) {
    if (second == 0x76) return Done(cpu, 0);  // HALT has no indexed form
    const unsigned dst = (second >> 3) & 7;
    const unsigned src = second & 7;
    if (src == 6) {  // LD r,(XY+d): r is the plain register, H and L included
        PlainRegister(cpu, dst) = Z80_ReadMemory(cpu, Indexed<Exact>(cpu, xy));
        return Done(cpu, 19, 3);
    }
    if (dst == 6) {  // LD (XY+d),r
        Z80_WriteMemory(cpu, Indexed<Exact>(cpu, xy), PlainRegister(cpu, src));
        return Done(cpu, 19, 3);
    }
    // Otherwise H and L mean XYH and XYL on either side.
    uint8_t value;
    if (src == 4)
        value = High(xy);
    else if (src == 5)
        value = Low(xy);
    else
        value = PlainRegister(cpu, src);
    if (dst == 4)
        SetHigh(xy, value);
    else if (dst == 5)
        SetLow(xy, value);
    else
        PlainRegister(cpu, dst) = value;
    return Done(cpu, Exact ? 8 : 4);
}

// 0x80-0xBF after the prefix, operands XYH, XYL and (XY+d) only.
// The default model charges 16 or 19 T for the XYH/XYL forms, the chip 8.
template <bool Exact>
[[gnu::always_inline]] inline uint32_t IndexedAlu(T_Z80_CPU_CORE& cpu, uint16_t xy, uint8_t second,
                                                   T_Z80_FLAG_SET& flags) {
    const unsigned kind = (second >> 3) & 7;
    const uint32_t halfCycles = Exact ? 8 : (kind == 0 ? 16 : 19);
    switch (second & 7) {
        case 4: Alu8<Exact>(cpu, kind, High(xy), flags); return Done(cpu, halfCycles);
        case 5: Alu8<Exact>(cpu, kind, Low(xy), flags); return Done(cpu, halfCycles);
        case 6: Alu8<Exact>(cpu, kind, Z80_ReadMemory(cpu, Indexed<Exact>(cpu, xy)), flags); return Done(cpu, 19, 3);
        default: return Done(cpu, 0);
    }
}

}  // namespace

template <bool Exact>
[[gnu::flatten]] uint32_t Z80_ExecuteIndexed(T_Z80_CPU_CORE& cpu, uint16_t& xy, uint8_t second,
                                                            uint8_t fourth, T_Z80_FLAG_SET& flags) {
    switch (second) {
        case 0x09: return AddXY<Exact>(cpu, xy, BC(cpu), flags);
        case 0x19: return AddXY<Exact>(cpu, xy, DE(cpu), flags);
        case 0x29: return AddXY<Exact>(cpu, xy, xy, flags);
        case 0x39: return AddXY<Exact>(cpu, xy, cpu.SP, flags);
        case 0x21:
            xy = ReadWord(cpu, Next(cpu.PC, 2));
            return Done(cpu, 14, 4);
        case 0x22: {
            const uint16_t nn = ReadWord(cpu, Next(cpu.PC, 2));
            SetWZ<Exact>(cpu, Next(nn, 1));
            WriteWord(cpu, nn, xy);
            return Done(cpu, 20, 4);
        }
        case 0x2A: {
            const uint16_t nn = ReadWord(cpu, Next(cpu.PC, 2));
            SetWZ<Exact>(cpu, Next(nn, 1));
            xy = ReadWord(cpu, nn);
            return Done(cpu, 20, 4);
        }
        case 0x23: xy = Next(xy, 1); return Done(cpu, 10);
        case 0x2B: xy = static_cast<uint16_t>(xy - 1); return Done(cpu, 10);
        case 0x24: return StepHigh<Exact, true>(cpu, xy, flags);
        case 0x25: return StepHigh<Exact, false>(cpu, xy, flags);
        case 0x2C: return StepLow<Exact, true>(cpu, xy, flags);
        case 0x2D: return StepLow<Exact, false>(cpu, xy, flags);
        case 0x26: SetHigh(xy, Z80_ReadMemory(cpu, Next(cpu.PC, 2))); return Done(cpu, Exact ? 11 : 7, 3);
        case 0x2E: SetLow(xy, Z80_ReadMemory(cpu, Next(cpu.PC, 2))); return Done(cpu, Exact ? 11 : 7, 3);
        case 0x34:
        case 0x35: {
            const uint16_t address = Indexed<Exact>(cpu, xy);
            uint8_t scratch = Z80_ReadMemory(cpu, address);
            if (second == 0x34) Inc8<Exact>(cpu, scratch, flags); else Dec8<Exact>(cpu, scratch, flags);
            Z80_WriteMemory(cpu, address, scratch);
            return Done(cpu, 23, 3);
        }
        case 0x36: {
            const uint16_t address = Indexed<Exact>(cpu, xy);
            Z80_WriteMemory(cpu, address, Z80_ReadMemory(cpu, Next(cpu.PC, 3)));
            return Done(cpu, 19, 4);
        }
        case 0xCB: return IndexedBit<Exact>(cpu, xy, fourth, flags);
        case 0xE1: xy = Pop(cpu); return Done(cpu, 14);
        case 0xE3: {
            const uint16_t sp1 = Next(cpu.SP, 1);
            const uint8_t high = Z80_ReadMemory(cpu, sp1);
            const uint8_t low = Z80_ReadMemory(cpu, cpu.SP);
            Z80_WriteMemory(cpu, sp1, High(xy));
            Z80_WriteMemory(cpu, cpu.SP, Low(xy));
            xy = Z80_MakeWord(cpu, high, low);
            SetWZ<Exact>(cpu, xy);
            return Done(cpu, 23);
        }
        case 0xE5: Push(cpu, xy); return Done(cpu, 15);
        case 0xE9: cpu.PC = xy; return 8;
        case 0xF9: cpu.SP = xy; return Done(cpu, 10);

#define TIRAVEL_LOAD(op) case op: return IndexedLoad<Exact>(cpu, xy, op);
#define TIRAVEL_ALU(op) case op: return IndexedAlu<Exact>(cpu, xy, op, flags);
#define TIRAVEL_ROW(X, base) X(base) X(base + 1) X(base + 2) X(base + 3) X(base + 4) X(base + 5) X(base + 6) X(base + 7)
        TIRAVEL_ROW(TIRAVEL_LOAD, 0x40) TIRAVEL_ROW(TIRAVEL_LOAD, 0x48)
        TIRAVEL_ROW(TIRAVEL_LOAD, 0x50) TIRAVEL_ROW(TIRAVEL_LOAD, 0x58)
        TIRAVEL_ROW(TIRAVEL_LOAD, 0x60) TIRAVEL_ROW(TIRAVEL_LOAD, 0x68)
        TIRAVEL_ROW(TIRAVEL_LOAD, 0x70) TIRAVEL_ROW(TIRAVEL_LOAD, 0x78)
        TIRAVEL_ROW(TIRAVEL_ALU, 0x80) TIRAVEL_ROW(TIRAVEL_ALU, 0x88)
        TIRAVEL_ROW(TIRAVEL_ALU, 0x90) TIRAVEL_ROW(TIRAVEL_ALU, 0x98)
        TIRAVEL_ROW(TIRAVEL_ALU, 0xA0) TIRAVEL_ROW(TIRAVEL_ALU, 0xA8)
        TIRAVEL_ROW(TIRAVEL_ALU, 0xB0) TIRAVEL_ROW(TIRAVEL_ALU, 0xB8)
#undef TIRAVEL_ROW
#undef TIRAVEL_ALU
#undef TIRAVEL_LOAD
        default: break;
    }
    return Done(cpu, 0);
}

template uint32_t Z80_ExecuteIndexed<false>(T_Z80_CPU_CORE&, uint16_t&, uint8_t, uint8_t, T_Z80_FLAG_SET&);
template uint32_t Z80_ExecuteIndexed<true>(T_Z80_CPU_CORE&, uint16_t&, uint8_t, uint8_t, T_Z80_FLAG_SET&);
