// Z80EM instruction step, private: the helpers shared by the unprefixed set
// and the CB, ED and DD/FD sets (stack, word access, rotates and shifts), and
// the entry points of the prefixed sets. Only the Z80Exec*.cpp files use it.
//
// Every part of the step is a template on Exact: false is the default model's
// code, unchanged; true adds what the exact model keeps besides (flag bits 3
// and 5, WZ, the port's high byte, its own T-states), each in an
// `if constexpr (Exact)` so the default instantiation compiles as before.
#pragma once

#include "Interconnect.h"
#include "Z80EM.h"

// The step always reads ahead three bytes (opcode, the byte after it and the
// fourth byte); the prefixed sets dispatch on the ones they need.
template <bool Exact>
uint32_t Z80_ExecuteCB(T_Z80_CPU_CORE& cpu, uint8_t second, T_Z80_FLAG_SET& flags);
template <bool Exact>
uint32_t Z80_ExecuteED(T_Z80_CPU_CORE& cpu, uint8_t second, T_Z80_FLAG_SET& flags);
// DD and FD share one table; xy is IX or IY.
template <bool Exact>
uint32_t Z80_ExecuteIndexed(T_Z80_CPU_CORE& cpu, uint16_t& xy, uint8_t second, uint8_t fourth,
                            T_Z80_FLAG_SET& flags);

namespace z80exec {

// Flag bits 5 and 3 as copies of bits 5 and 3 of v (exact model only).
template <bool Exact>
inline void SetXY(T_Z80_FLAG_SET& flags, uint8_t v) {
    if constexpr (Exact) {
        flags.Bit5 = (v >> 5) & 1;
        flags.Bit3 = (v >> 3) & 1;
    }
}

template <bool Exact>
inline void SetWZ(T_Z80_CPU_CORE& cpu, uint16_t value) {
    if constexpr (Exact) cpu.WZ = value;
}

// The whole port address the access puts on the bus (exact model only).
template <bool Exact>
inline void SetPortAddress(T_Z80_CPU_CORE& cpu, uint16_t address) {
    if constexpr (Exact) cpu.PortAddress = address;
}

inline uint16_t HL(const T_Z80_CPU_CORE& cpu) { return Z80_MakeWord(cpu, cpu.H, cpu.L); }
inline uint16_t BC(const T_Z80_CPU_CORE& cpu) { return Z80_MakeWord(cpu, cpu.B, cpu.C); }
inline uint16_t DE(const T_Z80_CPU_CORE& cpu) { return Z80_MakeWord(cpu, cpu.D, cpu.E); }

inline void SetPair(uint8_t& high, uint8_t& low, uint16_t value) {
    high = static_cast<uint8_t>(value >> 8);
    low = static_cast<uint8_t>(value);
}

inline uint16_t Next(uint16_t address, unsigned offset) { return static_cast<uint16_t>(address + offset); }

// Words in memory are little-endian: low byte at the address, high byte after.
inline uint16_t ReadWord(T_Z80_CPU_CORE& cpu, uint16_t address) {
    const uint8_t low = Z80_ReadMemory(cpu, address);
    const uint8_t high = Z80_ReadMemory(cpu, Next(address, 1));
    return Z80_MakeWord(cpu, high, low);
}

inline void WriteWord(T_Z80_CPU_CORE& cpu, uint16_t address, uint16_t value) {
    Z80_WriteMemory(cpu, address, static_cast<uint8_t>(value));
    Z80_WriteMemory(cpu, Next(address, 1), static_cast<uint8_t>(value >> 8));
}

// The stack grows down; a push writes the high byte first, so with SP = 0 it
// lands on 0xFFFF and then 0xFFFE (paging registers) in that order.
inline void Push(T_Z80_CPU_CORE& cpu, uint16_t value) {
    Z80_WriteMemory(cpu, static_cast<uint16_t>(cpu.SP - 1), static_cast<uint8_t>(value >> 8));
    Z80_WriteMemory(cpu, static_cast<uint16_t>(cpu.SP - 2), static_cast<uint8_t>(value));
    cpu.SP = static_cast<uint16_t>(cpu.SP - 2);
}

inline uint16_t Pop(T_Z80_CPU_CORE& cpu) {
    const uint8_t high = Z80_ReadMemory(cpu, static_cast<uint16_t>(cpu.SP + 1));
    const uint8_t low = Z80_ReadMemory(cpu, cpu.SP);
    cpu.SP = static_cast<uint16_t>(cpu.SP + 2);
    return Z80_MakeWord(cpu, high, low);
}

inline void SetSignZeroParity(const T_Z80_CPU_CORE& cpu, T_Z80_FLAG_SET& flags, uint8_t v) {
    flags.Sign = Z80_SignOf(cpu, v);
    flags.Zero = Z80_IsZero(cpu, v);
    flags.ParityOverflow = Z80_Parity(cpu, v);
}

// The eight rotates and shifts of the CB set, selected by bits 3-5 of the
// operation byte: RLC RRC RL RR SLA SRA SLL SRL. Bits 3 and 5 are left alone
// in the default model and copied from the result in the exact one.
template <bool Exact>
inline uint8_t RotateShift(const T_Z80_CPU_CORE& cpu, unsigned kind, uint8_t v, T_Z80_FLAG_SET& flags) {
    uint8_t result = 0;
    uint8_t carry = 0;
    switch (kind & 7) {
        case 0: carry = v >> 7; result = static_cast<uint8_t>((v << 1) | carry); break;
        case 1: carry = v & 1; result = static_cast<uint8_t>((carry << 7) | (v >> 1)); break;
        case 2: carry = v >> 7; result = static_cast<uint8_t>((v << 1) | flags.Carry); break;
        case 3: carry = v & 1; result = static_cast<uint8_t>((flags.Carry << 7) | (v >> 1)); break;
        case 4: carry = v >> 7; result = static_cast<uint8_t>(v << 1); break;
        case 5: carry = v & 1; result = static_cast<uint8_t>((v & 0x80) | (v >> 1)); break;
        case 6: carry = v >> 7; result = static_cast<uint8_t>((v << 1) | 1); break;
        default: carry = v & 1; result = static_cast<uint8_t>(v >> 1); break;
    }
    flags.Carry = carry;
    SetSignZeroParity(cpu, flags, result);
    flags.HalfCarry = 0;
    flags.Subtract = 0;
    SetXY<Exact>(flags, result);
    return result;
}

// BIT n: in the exact model bits 5 and 3 come from `xy`: the register
// itself (whichever bit is tested), WZ's high byte for (HL), the address's
// high byte for (XY+d).
template <bool Exact>
inline void BitTest(unsigned bit, uint8_t v, T_Z80_FLAG_SET& flags, uint8_t xy) {
    const uint8_t set = (v >> bit) & 1;
    flags.Zero = set ^ 1;
    flags.ParityOverflow = set ^ 1;
    flags.Sign = (bit == 7 && set) ? 1 : 0;
    flags.HalfCarry = 1;
    flags.Subtract = 0;
    SetXY<Exact>(flags, xy);
}

}  // namespace z80exec

namespace z80exec {

// The eight 8-bit ALU operations in opcode order (bits 3-5 of 0x80-0xBF):
// ADD ADC SUB SBC AND XOR OR CP. CP subtracts from a copy so A is kept; on
// the chip its bits 5 and 3 copy the operand, not the difference.
template <bool Exact>
inline void Alu8(T_Z80_CPU_CORE& cpu, unsigned kind, uint8_t operand, T_Z80_FLAG_SET& flags) {
    switch (kind & 7) {
        case 0: Z80_Add8(cpu, cpu.A, operand, flags); break;
        case 1: Z80_Adc8(cpu, cpu.A, operand, flags); break;
        case 2: Z80_Sub8(cpu, cpu.A, operand, flags); break;
        case 3: Z80_Sbc8(cpu, cpu.A, operand, flags); break;
        case 4: Z80_And8(cpu, cpu.A, operand, flags); break;
        case 5: Z80_Xor8(cpu, cpu.A, operand, flags); break;
        case 6: Z80_Or8(cpu, cpu.A, operand, flags); break;
        default: {
            uint8_t copy = cpu.A;
            Z80_Sub8(cpu, copy, operand, flags);
            SetXY<Exact>(flags, operand);
            return;
        }
    }
    SetXY<Exact>(flags, cpu.A);
}

// INC and DEC of a byte, with bits 5 and 3 of the result in the exact model.
template <bool Exact>
inline void Inc8(T_Z80_CPU_CORE& cpu, uint8_t& target, T_Z80_FLAG_SET& flags) {
    Z80_Inc8(cpu, target, flags);
    SetXY<Exact>(flags, target);
}

template <bool Exact>
inline void Dec8(T_Z80_CPU_CORE& cpu, uint8_t& target, T_Z80_FLAG_SET& flags) {
    Z80_Dec8(cpu, target, flags);
    SetXY<Exact>(flags, target);
}

// ADD/ADC/SBC on 16 bits: the exact model's WZ is the first operand + 1 and
// bits 5 and 3 come from the result's high byte (the second 8-bit step).
template <bool Exact>
inline void Add16(T_Z80_CPU_CORE& cpu, uint16_t& target, uint16_t operand, T_Z80_FLAG_SET& flags) {
    SetWZ<Exact>(cpu, static_cast<uint16_t>(target + 1));
    Z80_Add16(cpu, target, operand, flags);
    SetXY<Exact>(flags, static_cast<uint8_t>(target >> 8));
}

}  // namespace z80exec
