// Z80EM instruction step, CB set: rotates, shifts, BIT, RES and SET on the
// eight operands B C D E H L (HL) A. All 256 second bytes are defined; the
// dispatch table holds one handler per byte, each specialised at compile
// time from the byte's fields (group, bit or kind, operand).
#include <array>
#include <utility>

#include "Z80ExecInternal.h"

using namespace z80exec;

namespace {

using CbHandler = uint32_t (*)(T_Z80_CPU_CORE&, T_Z80_FLAG_SET&);

template <unsigned Reg>
uint8_t& Register(T_Z80_CPU_CORE& cpu) {
    if constexpr (Reg == 0) return cpu.B;
    else if constexpr (Reg == 1) return cpu.C;
    else if constexpr (Reg == 2) return cpu.D;
    else if constexpr (Reg == 3) return cpu.E;
    else if constexpr (Reg == 4) return cpu.H;
    else if constexpr (Reg == 5) return cpu.L;
    else return cpu.A;
}

template <bool Exact, unsigned Group, unsigned Y>
uint8_t Modify(const T_Z80_CPU_CORE& cpu, uint8_t v, T_Z80_FLAG_SET& flags) {
    if constexpr (Group == 0) return RotateShift<Exact>(cpu, Y, v, flags);
    else if constexpr (Group == 2) return static_cast<uint8_t>(v & ~(1u << Y));
    else return static_cast<uint8_t>(v | (1u << Y));
}

template <bool Exact, unsigned Op>
[[gnu::flatten]] uint32_t Cb(T_Z80_CPU_CORE& cpu, T_Z80_FLAG_SET& flags) {
    constexpr unsigned reg = Op & 7;
    constexpr unsigned y = (Op >> 3) & 7;
    constexpr unsigned group = Op >> 6;
    cpu.PC = Next(cpu.PC, 2);
    if constexpr (reg == 6) {
        const uint16_t address = HL(cpu);
        const uint8_t v = Z80_ReadMemory(cpu, address);
        if constexpr (group == 1) {
            // Bits 5 and 3 show WZ's high byte: the only view of WZ.
            BitTest<Exact>(y, v, flags, static_cast<uint8_t>(cpu.WZ >> 8));
            return 12;
        } else {
            Z80_WriteMemory(cpu, address, Modify<Exact, group, y>(cpu, v, flags));
            return 15;
        }
    } else {
        uint8_t& r = Register<reg>(cpu);
        if constexpr (group == 1)
            BitTest<Exact>(y, r, flags, r);
        else
            r = Modify<Exact, group, y>(cpu, r, flags);
        return 8;
    }
}

template <bool Exact, std::size_t... Ops>
constexpr std::array<CbHandler, 256> MakeTable(std::index_sequence<Ops...>) {
    return {&Cb<Exact, Ops>...};
}

template <bool Exact>
constexpr std::array<CbHandler, 256> kCbTable = MakeTable<Exact>(std::make_index_sequence<256>{});

}  // namespace

template <bool Exact>
[[gnu::noinline]] uint32_t Z80_ExecuteCB(T_Z80_CPU_CORE& cpu, uint8_t second, T_Z80_FLAG_SET& flags) {
    return kCbTable<Exact>[second](cpu, flags);
}

template uint32_t Z80_ExecuteCB<false>(T_Z80_CPU_CORE&, uint8_t, T_Z80_FLAG_SET&);
template uint32_t Z80_ExecuteCB<true>(T_Z80_CPU_CORE&, uint8_t, T_Z80_FLAG_SET&);
