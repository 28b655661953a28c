// Z80EM instruction step, private: the helpers shared by the unprefixed set
// and the CB, ED and DD/FD sets (stack, word access, rotates and shifts), and
// the entry points of the prefixed sets. Only the Z80Exec*.cpp files use it.
#pragma once

#include "Interconnect.h"
#include "Z80EM.h"

// The step always reads ahead three bytes (opcode, the byte after it and the
// fourth byte); the prefixed sets dispatch on the ones they need.
uint32_t Z80_ExecuteCB(T_Z80_CPU_CORE& cpu, uint8_t second, T_Z80_FLAG_SET& flags);
uint32_t Z80_ExecuteED(T_Z80_CPU_CORE& cpu, uint8_t second, T_Z80_FLAG_SET& flags);
// DD and FD share one table; xy is IX or IY.
uint32_t Z80_ExecuteIndexed(T_Z80_CPU_CORE& cpu, uint16_t& xy, uint8_t second, uint8_t fourth,
                            T_Z80_FLAG_SET& flags);

namespace z80exec {

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
// operation byte: RLC RRC RL RR SLA SRA SLL SRL. Bits 3 and 5 are left alone.
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
    return result;
}

inline void BitTest(unsigned bit, uint8_t v, T_Z80_FLAG_SET& flags) {
    const uint8_t set = (v >> bit) & 1;
    flags.Zero = set ^ 1;
    flags.ParityOverflow = set ^ 1;
    flags.Sign = (bit == 7 && set) ? 1 : 0;
    flags.HalfCarry = 1;
    flags.Subtract = 0;
}

}  // namespace z80exec

namespace z80exec {

// The eight 8-bit ALU operations in opcode order (bits 3-5 of 0x80-0xBF):
// ADD ADC SUB SBC AND XOR OR CP. CP subtracts from a copy so A is kept.
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
            break;
        }
    }
}

}  // namespace z80exec
