// Flags, word helpers, ALU and DAA of the Z80 core, checked against an
// independent formulation: the 8-bit operations over every operand pair and
// carry-in with the flags worked out in wide signed arithmetic, the 16-bit
// ones on edges and a pseudo-random sample, DAA over all 2048 table inputs.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

#include "Z80EM.h"

namespace {

struct Expected {
    unsigned result;
    int sign, zero, half, overflow, subtract, carry;
};

T_Z80_FLAG_SET MakeFlags(int carry, int bit3, int bit5) {
    T_Z80_FLAG_SET f{};
    f.Carry = static_cast<uint8_t>(carry);
    f.Bit3 = static_cast<uint8_t>(bit3);
    f.Bit5 = static_cast<uint8_t>(bit5);
    // The rest start at a value each operation must overwrite or keep.
    f.Sign = f.Zero = f.HalfCarry = f.ParityOverflow = f.Subtract = 1;
    return f;
}

int EvenParity(unsigned v) { return std::popcount(v & 0xFFu) % 2 == 0 ? 1 : 0; }

// Reference for the 8-bit group: op 0 ADD 1 ADC 2 SUB 3 SBC 4 AND 5 OR 6 XOR.
Expected Reference8(int op, unsigned t, unsigned n, int cy) {
    const int c = (op == 1 || op == 3) ? cy : 0;
    const int st = static_cast<int8_t>(t), sn = static_cast<int8_t>(n);
    Expected e{};
    if (op <= 1) {
        const int wide = static_cast<int>(t + n) + c;
        const int signedSum = st + sn + c;
        e = {static_cast<unsigned>(wide) & 0xFF, 0, 0, static_cast<int>((t & 15) + (n & 15)) + c > 15,
             signedSum < -128 || signedSum > 127, 0, wide > 255};
    } else if (op <= 3) {
        const int wide = static_cast<int>(t) - static_cast<int>(n) - c;
        const int signedDiff = st - sn - c;
        e = {static_cast<unsigned>(wide) & 0xFF, 0, 0, static_cast<int>(t & 15) - static_cast<int>(n & 15) - c < 0,
             signedDiff < -128 || signedDiff > 127, 1, wide < 0};
    } else {
        const unsigned r = op == 4 ? (t & n) : op == 5 ? (t | n) : (t ^ n);
        e = {r, 0, 0, op == 4, EvenParity(r), 0, 0};
    }
    e.sign = (e.result & 0x80) != 0;
    e.zero = e.result == 0;
    return e;
}

void ExpectFlags(const T_Z80_FLAG_SET& f, const Expected& e, int bit3, int bit5, const char* what, unsigned t,
                 unsigned n, int cy) {
    const bool ok = f.Sign == e.sign && f.Zero == e.zero && f.HalfCarry == e.half && f.ParityOverflow == e.overflow &&
                    f.Subtract == e.subtract && f.Carry == e.carry && f.Bit3 == bit3 && f.Bit5 == bit5;
    ASSERT_TRUE(ok) << what << " t=" << t << " n=" << n << " cy=" << cy << ": S" << int(f.Sign) << " Z"
                    << int(f.Zero) << " H" << int(f.HalfCarry) << " PV" << int(f.ParityOverflow) << " N"
                    << int(f.Subtract) << " C" << int(f.Carry) << " b3" << int(f.Bit3) << " b5" << int(f.Bit5)
                    << ", expected S" << e.sign << " Z" << e.zero << " H" << e.half << " PV" << e.overflow << " N"
                    << e.subtract << " C" << e.carry;
}

class AluTest : public ::testing::Test {
protected:
    std::unique_ptr<T_Z80_CPU_CORE> cpu = std::make_unique<T_Z80_CPU_CORE>();
};

using Binary8 = void (*)(T_Z80_CPU_CORE&, uint8_t&, uint8_t, T_Z80_FLAG_SET&);

TEST_F(AluTest, EightBitOperationsMatchReferenceForAllOperandsAndCarryIn) {
    const struct {
        const char* name;
        Binary8 fn;
    } ops[] = {{"ADD", Z80_Add8}, {"ADC", Z80_Adc8}, {"SUB", Z80_Sub8}, {"SBC", Z80_Sbc8},
               {"AND", Z80_And8}, {"OR", Z80_Or8},   {"XOR", Z80_Xor8}};
    for (int op = 0; op < 7; ++op) {
        for (unsigned t = 0; t < 256; ++t) {
            for (unsigned n = 0; n < 256; ++n) {
                for (int cy = 0; cy < 2; ++cy) {
                    // Bits 3 and 5 vary with the operands so a stray write shows.
                    const int bit3 = t & 1, bit5 = (n >> 1) & 1;
                    T_Z80_FLAG_SET f = MakeFlags(cy, bit3, bit5);
                    uint8_t target = static_cast<uint8_t>(t);
                    ops[op].fn(*cpu, target, static_cast<uint8_t>(n), f);
                    const Expected e = Reference8(op, t, n, cy);
                    ASSERT_EQ(target, e.result) << ops[op].name << " t=" << t << " n=" << n << " cy=" << cy;
                    ExpectFlags(f, e, bit3, bit5, ops[op].name, t, n, cy);
                }
            }
        }
    }
}

TEST_F(AluTest, IncrementAndDecrementKeepCarryAndMatchReference) {
    for (unsigned t = 0; t < 256; ++t) {
        for (int cy = 0; cy < 2; ++cy) {
            const int bit3 = cy, bit5 = t & 1;
            for (int dec = 0; dec < 2; ++dec) {
                T_Z80_FLAG_SET f = MakeFlags(cy, bit3, bit5);
                uint8_t target = static_cast<uint8_t>(t);
                if (dec)
                    Z80_Dec8(*cpu, target, f);
                else
                    Z80_Inc8(*cpu, target, f);
                const int s = static_cast<int8_t>(t) + (dec ? -1 : 1);
                const unsigned r = (t + (dec ? 255u : 1u)) & 0xFF;
                const Expected e{r,
                                 (r & 0x80) != 0,
                                 r == 0,
                                 dec ? (t & 15) == 0 : (t & 15) == 15,
                                 s < -128 || s > 127,
                                 dec,
                                 cy};
                ASSERT_EQ(target, r);
                ExpectFlags(f, e, bit3, bit5, dec ? "DEC" : "INC", t, 0, cy);
            }
        }
    }
}

// The listed corner cases, as a readable cross-check of the reference above.
TEST_F(AluTest, CarryInTakesPartInEveryFlag) {
    const struct {
        Binary8 fn;
        uint8_t t, n, result;
        int s, z, h, pv, nf, c;
    } cases[] = {
        {Z80_Adc8, 0x00, 0xFF, 0x00, 0, 1, 1, 0, 0, 1},
        {Z80_Adc8, 0x7F, 0x00, 0x80, 1, 0, 1, 1, 0, 0},
        {Z80_Sbc8, 0x00, 0xFF, 0x00, 0, 1, 1, 0, 1, 1},
        {Z80_Sbc8, 0x80, 0x00, 0x7F, 0, 0, 1, 1, 1, 0},
    };
    for (const auto& c : cases) {
        T_Z80_FLAG_SET f = MakeFlags(1, 0, 0);
        uint8_t target = c.t;
        c.fn(*cpu, target, c.n, f);
        EXPECT_EQ(target, c.result);
        EXPECT_EQ(f.Sign, c.s);
        EXPECT_EQ(f.Zero, c.z);
        EXPECT_EQ(f.HalfCarry, c.h);
        EXPECT_EQ(f.ParityOverflow, c.pv);
        EXPECT_EQ(f.Subtract, c.nf);
        EXPECT_EQ(f.Carry, c.c);
    }
}

// 16-bit: op 0 ADD 1 ADC 2 SBC.
void Check16(T_Z80_CPU_CORE& cpu, int op, unsigned t, unsigned n, int cy) {
    T_Z80_FLAG_SET f = MakeFlags(cy, cy, 1 - cy);
    // ADD keeps S, Z and P/V: start them at values unlikely to be produced.
    f.Sign = static_cast<uint8_t>(t & 1);
    f.Zero = static_cast<uint8_t>(n & 1);
    f.ParityOverflow = static_cast<uint8_t>(1 - cy);
    const T_Z80_FLAG_SET before = f;
    uint16_t target = static_cast<uint16_t>(t);
    int wide, signedWide, half;
    const int st = static_cast<int16_t>(t), sn = static_cast<int16_t>(n);
    const int c = op == 0 ? 0 : cy;
    if (op == 2) {
        Z80_Sbc16(cpu, target, static_cast<uint16_t>(n), f);
        wide = static_cast<int>(t) - static_cast<int>(n) - c;
        signedWide = st - sn - c;
        half = static_cast<int>(t & 0xFFF) - static_cast<int>(n & 0xFFF) - c < 0;
    } else {
        if (op == 0)
            Z80_Add16(cpu, target, static_cast<uint16_t>(n), f);
        else
            Z80_Adc16(cpu, target, static_cast<uint16_t>(n), f);
        wide = static_cast<int>(t + n) + c;
        signedWide = st + sn + c;
        half = static_cast<int>((t & 0xFFF) + (n & 0xFFF)) + c > 0xFFF;
    }
    const unsigned r = static_cast<unsigned>(wide) & 0xFFFF;
    SCOPED_TRACE(testing::Message() << "op " << op << " t=" << t << " n=" << n << " cy=" << cy);
    ASSERT_EQ(target, r);
    ASSERT_EQ(f.HalfCarry, half);
    ASSERT_EQ(f.Subtract, op == 2 ? 1 : 0);
    ASSERT_EQ(f.Carry, wide < 0 || wide > 0xFFFF ? 1 : 0);
    ASSERT_EQ(f.Bit3, before.Bit3);
    ASSERT_EQ(f.Bit5, before.Bit5);
    if (op == 0) {
        ASSERT_EQ(f.Sign, before.Sign);
        ASSERT_EQ(f.Zero, before.Zero);
        ASSERT_EQ(f.ParityOverflow, before.ParityOverflow);
    } else {
        ASSERT_EQ(f.Sign, (r & 0x8000) != 0 ? 1 : 0);
        ASSERT_EQ(f.Zero, r == 0 ? 1 : 0);
        ASSERT_EQ(f.ParityOverflow, signedWide < -32768 || signedWide > 32767 ? 1 : 0);
    }
}

TEST_F(AluTest, SixteenBitOperationsMatchReferenceOnEdgesAndSample) {
    const unsigned edges[] = {0x0000, 0x0001, 0x0FFF, 0x1000, 0x7FFF, 0x8000, 0x8001, 0xF000, 0xFFFE, 0xFFFF};
    for (int op = 0; op < 3; ++op)
        for (unsigned t : edges)
            for (unsigned n : edges)
                for (int cy = 0; cy < 2; ++cy) Check16(*cpu, op, t, n, cy);
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) & 0xFFFF;
    };
    for (int i = 0; i < 200000; ++i) {
        const unsigned t = next(), n = next();
        Check16(*cpu, i % 3, t, n, (i / 3) & 1);
    }
}

// DAA restated on nibbles: the low digit is corrected when H is set or it is
// not a decimal digit; the high digit when C is set or the byte exceeds 99.
uint16_t DaaReference(unsigned a, unsigned c, unsigned h, unsigned n) {
    const unsigned lo = a & 0x0F, hi = a >> 4;
    const bool fixLow = h || lo >= 10;
    const bool fixHigh = c || hi >= 10 || (hi == 9 && lo >= 10);
    const int correction = (fixLow ? 0x06 : 0) + (fixHigh ? 0x60 : 0);
    const unsigned r = static_cast<unsigned>(static_cast<int>(a) + (n ? -correction : correction)) & 0xFF;
    const unsigned newH = n ? (h && lo <= 5) : (lo >= 10);
    unsigned f = (r & 0x80) | (r == 0 ? 0x40 : 0) | (r & 0x28) | (newH << 4) |
                 (static_cast<unsigned>(EvenParity(r)) << 2) | (n << 1) | (fixHigh ? 1u : 0u);
    return static_cast<uint16_t>(r << 8 | f);
}

TEST_F(AluTest, DaaTableAndProcedureMatchTheRuleForAllInputs) {
    for (unsigned index = 0; index < 2048; ++index) {
        const unsigned a = index & 0xFF, c = (index >> 8) & 1, h = (index >> 9) & 1, n = (index >> 10) & 1;
        const uint16_t expected = DaaReference(a, c, h, n);
        ASSERT_EQ(DaaTable[index], expected) << "index " << index;

        cpu->A = static_cast<uint8_t>(a);
        cpu->F = 0;
        T_Z80_FLAG_SET f = MakeFlags(static_cast<int>(c), 1, 1);
        f.HalfCarry = static_cast<uint8_t>(h);
        f.Subtract = static_cast<uint8_t>(n);
        Z80_Daa(*cpu, f);
        ASSERT_EQ(cpu->A, expected >> 8);
        ASSERT_EQ(cpu->F, expected & 0xFF);
        T_Z80_FLAG_SET refilled;
        Z80_UnpackFlags(*cpu, refilled);
        ASSERT_EQ(std::memcmp(&f, &refilled, sizeof f), 0) << "the caller's set must follow the new F";
    }
}

TEST_F(AluTest, DaaListedCases) {
    const struct {
        uint8_t a, f, newA, newF;
    } cases[] = {{0x3C, 0x00, 0x42, 0x14}, {0x9A, 0x00, 0x00, 0x55}, {0x00, 0x01, 0x60, 0x25}, {0x99, 0x00, 0x99, 0x8C}};
    for (const auto& c : cases) {
        cpu->A = c.a;
        cpu->F = c.f;
        T_Z80_FLAG_SET f;
        Z80_UnpackFlags(*cpu, f);
        Z80_Daa(*cpu, f);
        EXPECT_EQ(cpu->A, c.newA);
        EXPECT_EQ(cpu->F, c.newF);
    }
}

TEST_F(AluTest, PackAndUnpackAreInverseAndFollowTheBitOrder) {
    for (unsigned v = 0; v < 256; ++v) {
        cpu->F = static_cast<uint8_t>(v);
        T_Z80_FLAG_SET f;
        Z80_UnpackFlags(*cpu, f);
        const uint8_t members[8] = {f.Carry, f.Subtract, f.ParityOverflow, f.Bit3, f.HalfCarry, f.Bit5, f.Zero, f.Sign};
        for (int bit = 0; bit < 8; ++bit) ASSERT_EQ(members[bit], (v >> bit) & 1) << "F=" << v << " bit " << bit;
        cpu->F = static_cast<uint8_t>(~v);
        Z80_PackFlags(*cpu, f);
        ASSERT_EQ(cpu->F, v);
    }
}

}  // namespace
