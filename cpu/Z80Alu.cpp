// Z80EM flags and ALU: the packed/unpacked flag conversion, the word and
// predicate helpers, the 8- and 16-bit arithmetic-logic procedures and the
// decimal-adjust table.
//
// None of the ALU procedures touch the undocumented flag bits 3 and 5: this
// core keeps them as they were, and only instructions that replace F whole
// (POP AF, EX AF,AF', DAA) change them.
#include <bit>
#include <cstring>

#include "Z80EM.h"

namespace {

// Even number of set bits, counted bit by bit (the compiler may fold the
// loop into a population count).
constexpr uint8_t EvenParity(uint8_t v) {
    uint8_t ones = 0;
    for (int bit = 0; bit < 8; ++bit) ones = static_cast<uint8_t>(ones + ((v >> bit) & 1));
    return (ones & 1) == 0 ? 1 : 0;
}

inline void SetSignZero8(T_Z80_FLAG_SET& flags, uint8_t result) {
    flags.Sign = result >> 7;
    flags.Zero = result == 0 ? 1 : 0;
}

inline void SetSignZero16(T_Z80_FLAG_SET& flags, uint16_t result) {
    flags.Sign = static_cast<uint8_t>(result >> 15);
    flags.Zero = result == 0 ? 1 : 0;
}

// One entry of the decimal-adjust table: index = A + 256*C + 512*H + 1024*N,
// value = new A << 8 | new F.
constexpr uint16_t DaaEntry(unsigned index) {
    const unsigned a = index & 0xFF;
    const unsigned cf = (index >> 8) & 1;
    const unsigned hf = (index >> 9) & 1;
    const unsigned nf = (index >> 10) & 1;

    unsigned diff = 0;
    if (hf == 1 || (a & 0x0F) > 9) diff += 0x06;
    if (cf == 1 || a > 0x99) diff += 0x60;
    const unsigned carry = (cf == 1 || a > 0x99) ? 1 : 0;
    unsigned half;
    if (nf == 0)
        half = (a & 0x0F) > 9 ? 1 : 0;
    else
        half = (hf == 1 && (a & 0x0F) < 6) ? 1 : 0;
    const unsigned result = (nf == 0 ? a + diff : a - diff) & 0xFF;

    unsigned f = 0;
    f |= result & 0x80;               // S
    f |= result == 0 ? 0x40 : 0;      // Z
    f |= result & 0x28;               // bits 5 and 3 from the result
    f |= half << 4;                   // H
    f |= static_cast<unsigned>(EvenParity(static_cast<uint8_t>(result))) << 2;  // P/V
    f |= nf << 1;                     // N
    f |= carry;                       // C
    return static_cast<uint16_t>((result << 8) | f);
}

}  // namespace

// The table is built by the compiler from the rule above; the expansion below
// just enumerates the 2048 indices.
#define TIRAVEL_DAA1(i) DaaEntry(i)
#define TIRAVEL_DAA4(i) TIRAVEL_DAA1(i), TIRAVEL_DAA1(i + 1), TIRAVEL_DAA1(i + 2), TIRAVEL_DAA1(i + 3)
#define TIRAVEL_DAA16(i) TIRAVEL_DAA4(i), TIRAVEL_DAA4(i + 4), TIRAVEL_DAA4(i + 8), TIRAVEL_DAA4(i + 12)
#define TIRAVEL_DAA64(i) TIRAVEL_DAA16(i), TIRAVEL_DAA16(i + 16), TIRAVEL_DAA16(i + 32), TIRAVEL_DAA16(i + 48)
#define TIRAVEL_DAA256(i) TIRAVEL_DAA64(i), TIRAVEL_DAA64(i + 64), TIRAVEL_DAA64(i + 128), TIRAVEL_DAA64(i + 192)
#define TIRAVEL_DAA1024(i) TIRAVEL_DAA256(i), TIRAVEL_DAA256(i + 256), TIRAVEL_DAA256(i + 512), TIRAVEL_DAA256(i + 768)
extern const uint16_t DaaTable[2048] = {TIRAVEL_DAA1024(0u), TIRAVEL_DAA1024(1024u)};
#undef TIRAVEL_DAA1
#undef TIRAVEL_DAA4
#undef TIRAVEL_DAA16
#undef TIRAVEL_DAA64
#undef TIRAVEL_DAA256
#undef TIRAVEL_DAA1024

// The flag set's eight bytes are laid out in bit order, so on a
// little-endian host both conversions are a few word operations instead of
// eight byte shuffles: they run twice per instruction.
void Z80_UnpackFlags(const T_Z80_CPU_CORE& cpu, T_Z80_FLAG_SET& flags) {
    if constexpr (std::endian::native == std::endian::little && sizeof(T_Z80_FLAG_SET) == 8) {
        // Copy F into every byte, keep bit i in byte i, then turn each
        // non-zero byte into 1 (adding 0x7F carries into bit 7).
        uint64_t x = (cpu.F * 0x0101010101010101ull) & 0x8040201008040201ull;
        x = ((x + 0x7F7F7F7F7F7F7F7Full) >> 7) & 0x0101010101010101ull;
        std::memcpy(&flags, &x, sizeof x);
    } else {
        const uint8_t f = cpu.F;
        flags.Carry = f & 1;
        flags.Subtract = (f >> 1) & 1;
        flags.ParityOverflow = (f >> 2) & 1;
        flags.Bit3 = (f >> 3) & 1;
        flags.HalfCarry = (f >> 4) & 1;
        flags.Bit5 = (f >> 5) & 1;
        flags.Zero = (f >> 6) & 1;
        flags.Sign = (f >> 7) & 1;
    }
}

void Z80_PackFlags(T_Z80_CPU_CORE& cpu, const T_Z80_FLAG_SET& flags) {
    if constexpr (std::endian::native == std::endian::little && sizeof(T_Z80_FLAG_SET) == 8) {
        // Each byte holds 0 or 1; the multiplication gathers byte i into bit
        // 56 + i without carries between the partial products.
        uint64_t x;
        std::memcpy(&x, &flags, sizeof x);
        cpu.F = static_cast<uint8_t>((x * 0x0102040810204080ull) >> 56);
    } else {
        cpu.F = static_cast<uint8_t>(flags.Sign * 128 + flags.Zero * 64 + flags.Bit5 * 32 + flags.HalfCarry * 16 +
                                     flags.Bit3 * 8 + flags.ParityOverflow * 4 + flags.Subtract * 2 + flags.Carry);
    }
}

void Z80_IncPair(const T_Z80_CPU_CORE&, uint8_t& high, uint8_t& low) {
    ++low;
    if (low == 0) ++high;
}

void Z80_DecPair(const T_Z80_CPU_CORE&, uint8_t& high, uint8_t& low) {
    if (low == 0) --high;
    --low;
}

uint8_t Z80_SignOf(const T_Z80_CPU_CORE&, uint8_t v) { return v >> 7; }

uint8_t Z80_IsZero(const T_Z80_CPU_CORE&, uint8_t v) { return v == 0 ? 1 : 0; }

uint8_t Z80_Parity(const T_Z80_CPU_CORE&, uint8_t v) { return EvenParity(v); }

uint8_t Z80_HalfCarry(const T_Z80_CPU_CORE&, uint8_t a, uint8_t b) { return (a & 0x0F) + (b & 0x0F) > 0x0F ? 1 : 0; }

uint8_t Z80_HalfBorrow(const T_Z80_CPU_CORE&, uint8_t a, uint8_t b) { return (a & 0x0F) < (b & 0x0F) ? 1 : 0; }

uint8_t Z80_OverflowAdd8(const T_Z80_CPU_CORE&, uint8_t a, uint8_t b) {
    const uint8_t r = static_cast<uint8_t>(a + b);
    return (((a ^ b) & 0x80) == 0 && ((a ^ r) & 0x80) != 0) ? 1 : 0;
}

uint8_t Z80_OverflowSub8(const T_Z80_CPU_CORE&, uint8_t a, uint8_t b) {
    const uint8_t r = static_cast<uint8_t>(a - b);
    return (((a ^ b) & 0x80) != 0 && ((a ^ r) & 0x80) != 0) ? 1 : 0;
}

uint8_t Z80_OverflowAdd16(const T_Z80_CPU_CORE&, uint16_t a, uint16_t b) {
    const uint16_t r = static_cast<uint16_t>(a + b);
    return (((a ^ b) & 0x8000) == 0 && ((a ^ r) & 0x8000) != 0) ? 1 : 0;
}

uint8_t Z80_OverflowSub16(const T_Z80_CPU_CORE&, uint16_t a, uint16_t b) {
    const uint16_t r = static_cast<uint16_t>(a - b);
    return (((a ^ b) & 0x8000) != 0 && ((a ^ r) & 0x8000) != 0) ? 1 : 0;
}

void Z80_Add8(T_Z80_CPU_CORE& cpu, uint8_t& target, uint8_t operand, T_Z80_FLAG_SET& flags) {
    const uint8_t t = target;
    const unsigned r = t + operand;
    const uint8_t result = static_cast<uint8_t>(r);
    SetSignZero8(flags, result);
    flags.HalfCarry = Z80_HalfCarry(cpu, t, operand);
    flags.ParityOverflow = Z80_OverflowAdd8(cpu, t, operand);
    flags.Subtract = 0;
    flags.Carry = (r >> 8) & 1;
    target = result;
}

void Z80_Adc8(T_Z80_CPU_CORE&, uint8_t& target, uint8_t operand, T_Z80_FLAG_SET& flags) {
    const uint8_t t = target;
    const unsigned cy = flags.Carry;
    const unsigned r = t + operand + cy;
    const uint8_t result = static_cast<uint8_t>(r);
    SetSignZero8(flags, result);
    flags.HalfCarry = (t & 0x0F) + (operand & 0x0F) + cy > 0x0F ? 1 : 0;
    flags.ParityOverflow = (((t ^ operand) & 0x80) == 0 && ((t ^ result) & 0x80) != 0) ? 1 : 0;
    flags.Subtract = 0;
    flags.Carry = (r >> 8) & 1;
    target = result;
}

void Z80_Sub8(T_Z80_CPU_CORE& cpu, uint8_t& target, uint8_t operand, T_Z80_FLAG_SET& flags) {
    const uint8_t t = target;
    const uint8_t result = static_cast<uint8_t>(t - operand);
    SetSignZero8(flags, result);
    flags.HalfCarry = Z80_HalfBorrow(cpu, t, operand);
    flags.ParityOverflow = Z80_OverflowSub8(cpu, t, operand);
    flags.Subtract = 1;
    flags.Carry = t < operand ? 1 : 0;
    target = result;
}

void Z80_Sbc8(T_Z80_CPU_CORE&, uint8_t& target, uint8_t operand, T_Z80_FLAG_SET& flags) {
    const uint8_t t = target;
    const unsigned cy = flags.Carry;
    const uint8_t result = static_cast<uint8_t>(t - operand - cy);
    SetSignZero8(flags, result);
    flags.HalfCarry = (t & 0x0Fu) < (operand & 0x0Fu) + cy ? 1 : 0;
    flags.ParityOverflow = (((t ^ operand) & 0x80) != 0 && ((t ^ result) & 0x80) != 0) ? 1 : 0;
    flags.Subtract = 1;
    flags.Carry = t < operand + cy ? 1 : 0;
    target = result;
}

void Z80_And8(T_Z80_CPU_CORE& cpu, uint8_t& target, uint8_t operand, T_Z80_FLAG_SET& flags) {
    const uint8_t result = target & operand;
    SetSignZero8(flags, result);
    flags.HalfCarry = 1;
    flags.ParityOverflow = Z80_Parity(cpu, result);
    flags.Subtract = 0;
    flags.Carry = 0;
    target = result;
}

void Z80_Or8(T_Z80_CPU_CORE& cpu, uint8_t& target, uint8_t operand, T_Z80_FLAG_SET& flags) {
    const uint8_t result = target | operand;
    SetSignZero8(flags, result);
    flags.HalfCarry = 0;
    flags.ParityOverflow = Z80_Parity(cpu, result);
    flags.Subtract = 0;
    flags.Carry = 0;
    target = result;
}

void Z80_Xor8(T_Z80_CPU_CORE& cpu, uint8_t& target, uint8_t operand, T_Z80_FLAG_SET& flags) {
    const uint8_t result = target ^ operand;
    SetSignZero8(flags, result);
    flags.HalfCarry = 0;
    flags.ParityOverflow = Z80_Parity(cpu, result);
    flags.Subtract = 0;
    flags.Carry = 0;
    target = result;
}

void Z80_Inc8(T_Z80_CPU_CORE& cpu, uint8_t& target, T_Z80_FLAG_SET& flags) {
    const uint8_t t = target;
    const uint8_t result = static_cast<uint8_t>(t + 1);
    SetSignZero8(flags, result);
    flags.HalfCarry = Z80_HalfCarry(cpu, t, 1);
    flags.ParityOverflow = t == 0x7F ? 1 : 0;
    flags.Subtract = 0;
    target = result;
}

void Z80_Dec8(T_Z80_CPU_CORE& cpu, uint8_t& target, T_Z80_FLAG_SET& flags) {
    const uint8_t t = target;
    const uint8_t result = static_cast<uint8_t>(t - 1);
    SetSignZero8(flags, result);
    flags.HalfCarry = Z80_HalfBorrow(cpu, t, 1);
    flags.ParityOverflow = t == 0x80 ? 1 : 0;
    flags.Subtract = 1;
    target = result;
}

void Z80_Add16(T_Z80_CPU_CORE&, uint16_t& target, uint16_t operand, T_Z80_FLAG_SET& flags) {
    const uint16_t t = target;
    const uint32_t r = static_cast<uint32_t>(t) + operand;
    flags.HalfCarry = (t & 0x0FFFu) + (operand & 0x0FFFu) > 0x0FFF ? 1 : 0;
    flags.Subtract = 0;
    flags.Carry = (r >> 16) & 1;
    target = static_cast<uint16_t>(r);
}

void Z80_Adc16(T_Z80_CPU_CORE&, uint16_t& target, uint16_t operand, T_Z80_FLAG_SET& flags) {
    const uint16_t t = target;
    const uint32_t cy = flags.Carry;
    const uint32_t r = static_cast<uint32_t>(t) + operand + cy;
    const uint16_t result = static_cast<uint16_t>(r);
    SetSignZero16(flags, result);
    flags.HalfCarry = (t & 0x0FFFu) + (operand & 0x0FFFu) + cy > 0x0FFF ? 1 : 0;
    flags.ParityOverflow = (((t ^ operand) & 0x8000) == 0 && ((t ^ result) & 0x8000) != 0) ? 1 : 0;
    flags.Subtract = 0;
    flags.Carry = (r >> 16) & 1;
    target = result;
}

void Z80_Sbc16(T_Z80_CPU_CORE&, uint16_t& target, uint16_t operand, T_Z80_FLAG_SET& flags) {
    const uint16_t t = target;
    const uint32_t cy = flags.Carry;
    const uint16_t result = static_cast<uint16_t>(t - operand - cy);
    SetSignZero16(flags, result);
    flags.HalfCarry = (t & 0x0FFFu) < (operand & 0x0FFFu) + cy ? 1 : 0;
    flags.ParityOverflow = (((t ^ operand) & 0x8000) != 0 && ((t ^ result) & 0x8000) != 0) ? 1 : 0;
    flags.Subtract = 1;
    flags.Carry = t < operand + cy ? 1 : 0;
    target = result;
}

void Z80_Daa(T_Z80_CPU_CORE& cpu, T_Z80_FLAG_SET& flags) {
    const uint16_t entry = DaaTable[cpu.A + 256 * flags.Carry + 512 * flags.HalfCarry + 1024 * flags.Subtract];
    cpu.A = static_cast<uint8_t>(entry >> 8);
    cpu.F = static_cast<uint8_t>(entry);
    Z80_UnpackFlags(cpu, flags);
}
