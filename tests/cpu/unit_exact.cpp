// The exact model's run loop on the console's memory map: the EI and prefix
// holds, the NMI on an edge, HALT ended by either interrupt, the three
// interrupt modes, R, the cycles carried from one line into the next and
// the line cycle published for the bus; its reset, state part and debug hook.
// The instructions themselves are judged by the conformance vectors.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "CpuTestRig.h"

namespace {

class ExactRunTest : public ::testing::Test, public CpuTestRig {
protected:
    void SetUp() override {
        MapCartridge();
        cpu->Exact = 1;
        Z80_Reset(*cpu, bus);
        cpu->SP = 0xDFF0;
        cpu->InterruptMode = 1;
    }
    uint16_t StackWord(uint16_t at) {
        return static_cast<uint16_t>(Z80_ReadMemory(*cpu, at) | Z80_ReadMemory(*cpu, at + 1) << 8);
    }
    uint16_t ReturnAddress() { return StackWord(cpu->SP); }
};

// A run of EIs holds the maskable interrupt until the instruction after the
// last one has run; a DD/FD prefix chain holds both kinds.
TEST_F(ExactRunTest, EiAndPrefixChainsHoldInterruptsUntilTheInstructionAfterThem) {
    Program(0x0000, {0xFB, 0xFB, 0x00, 0x00});  // EI; EI; NOP; NOP (0x38 holds NOPs)
    vdp->InterruptLine = 1;
    Z80_RunCycles(*cpu, 8);  // both EIs
    EXPECT_EQ(cpu->PC, 2);
    EXPECT_EQ(cpu->EiDelay, 1);
    Z80_RunCycles(*cpu, 4);  // the NOP after them runs first
    EXPECT_EQ(cpu->PC, 3);
    Z80_RunCycles(*cpu, 13);
    EXPECT_EQ(cpu->PC, 0x0038);
    EXPECT_EQ(ReturnAddress(), 3);
    EXPECT_EQ(cpu->IFF1 | cpu->IFF2, 0);

    Program(0x0100, {0xDD, 0xFD, 0x21, 0x34, 0x12, 0x00});  // DD (stray); LD IY,1234h; NOP
    const uint16_t sp = cpu->SP;
    Z80_RunCycles(*cpu, 4);
    EXPECT_EQ(cpu->PC, 0x0101);
    EXPECT_EQ(cpu->PrefixHold, 1);
    Z80_RaiseNMI(*cpu);
    Z80_RunCycles(*cpu, 14);
    EXPECT_EQ(cpu->IY, 0x1234);
    EXPECT_EQ(cpu->SP, sp) << "no NMI inside the prefix chain";
    Z80_RunCycles(*cpu, 11);
    EXPECT_EQ(cpu->PC, 0x0066);
    EXPECT_EQ(ReturnAddress(), 0x0105);
}

// One RaiseNMI, one NMI: it wakes a HALT, ignores IFF1, keeps IFF2 for RETN,
// and the stacked address is the byte after the HALT.
TEST_F(ExactRunTest, OneNmiPerEdgeEndsHaltAndRetnRestoresIff1) {
    Program(0x0200, {0x76});
    Program(0x0066, {0x00, 0x00, 0xED, 0x45});  // NOP; NOP; RETN
    cpu->PC = 0x0200;
    cpu->IFF1 = 0;
    cpu->IFF2 = 1;
    Z80_RunCycles(*cpu, 228);
    ASSERT_EQ(cpu->Halted, 1);
    EXPECT_EQ(cpu->PC, 0x0201);

    Z80_RaiseNMI(*cpu);
    EXPECT_EQ(cpu->PC, 0x0201) << "taken at the next boundary, in the run loop";
    Z80_RunCycles(*cpu, 11 + 4);
    EXPECT_EQ(cpu->Halted, 0);
    EXPECT_EQ(cpu->PC, 0x0067);
    EXPECT_EQ(ReturnAddress(), 0x0201);
    EXPECT_EQ(cpu->IFF1, 0);
    EXPECT_EQ(cpu->IFF2, 1);
    Z80_RunCycles(*cpu, 4 + 14);
    EXPECT_EQ(cpu->PC, 0x0201) << "one NMI only; RETN returns behind the HALT";
    EXPECT_EQ(cpu->SP, 0xDFF0);
    EXPECT_EQ(cpu->IFF1, 1);
}

// The acceptance in each mode on a halted CPU: where it goes, what it
// costs (seen in the carry of a 1-cycle call) and R's count.
TEST_F(ExactRunTest, InterruptModesEndHaltWithTheirVectorsAndCosts) {
    const struct {
        int32_t mode;
        uint16_t handler;
        uint8_t carry;
    } cases[] = {
        {0, 0x0038, 12},  // the bus's $FF is RST 38h
        {1, 0x0038, 12},
        {2, 0x0534, 18},  // the word at I * 256 + $FF
    };
    for (const auto& c : cases) {
        ExactRunTest::SetUp();
        Program(0x12FF, {0x34, 0x05});
        Program(0x0300, {0x76});
        Z80_RunCycles(*cpu, 228);
        ASSERT_EQ(cpu->Halted, 1);
        cpu->I = 0x12;
        cpu->IFF1 = cpu->IFF2 = 1;
        cpu->InterruptMode = c.mode;
        cpu->R = 0x80;
        cpu->LineCarry = 0;
        vdp->InterruptLine = 1;
        Z80_RunCycles(*cpu, 1);
        EXPECT_EQ(cpu->Halted, 0) << "mode " << c.mode;
        EXPECT_EQ(cpu->PC, c.handler) << "mode " << c.mode;
        EXPECT_EQ(ReturnAddress(), 0x0301) << "mode " << c.mode;
        EXPECT_EQ(cpu->LineCarry, c.carry) << "mode " << c.mode;
        EXPECT_EQ(cpu->IFF1 | cpu->IFF2, 0) << "mode " << c.mode;
        EXPECT_EQ(cpu->R, 0x81) << "mode " << c.mode << ": one fetch, bit 7 kept";
    }
}

// An instruction that runs past the line's end takes those cycles from the
// next line; the loop publishes the cycle each instruction starts at, and R
// counts opcode fetches in seven bits while the halted CPU idles.
TEST_F(ExactRunTest, CyclesPastALineCountAgainstTheNextAndTheLineCycleIsPublished) {
    Program(0x0000, {});
    for (uint16_t i = 0; i < 56; ++i) cpu->Rom[i] = 0x00;              // 224 T of NOPs
    Program(0x0038, {0xDD, 0x34, 0x00});                                // INC (IX+0): 23 T from 224
    cpu->PC = 0;
    cpu->IX = 0xC000;
    cpu->R = 0xFF;
    Z80_RunCycles(*cpu, 228);
    EXPECT_EQ(cpu->PC, 0x003B);
    EXPECT_EQ(cpu->LineCarry, 19);
    EXPECT_EQ(bus.LineCycle, 224u);
    EXPECT_EQ(cpu->R, 0x80 | ((0x7F + 56 + 2) & 0x7F)) << "bit 7 kept, the low seven wrap";
    EXPECT_EQ(cpu->Ram[0], 1);

    Z80_RunCycles(*cpu, 228);  // 209 cycles left: 53 NOPs from 0x3B, the last from cycle 227
    EXPECT_EQ(cpu->PC, 0x003B + 53);
    EXPECT_EQ(bus.LineCycle, 19u + 52 * 4);
    EXPECT_EQ(cpu->LineCarry, 3);

    Program(0x0100, {0x76});
    cpu->R = 0x00;
    Z80_RunCycles(*cpu, 228);  // HALT at cycle 3, then 4-T steps to 231
    EXPECT_EQ(cpu->LineCarry, 3);
    EXPECT_EQ(cpu->R, 1 + (228 - 7 + 3) / 4);

    // The default model neither carries nor publishes.
    CpuTestRig plain;
    plain.MapCartridge();
    plain.Program(0x0038, {0xDD, 0x34, 0x00});
    plain.cpu->PC = 0;
    plain.bus.LineCycle = 999;
    Z80_RunCycles(*plain.cpu, 228);
    EXPECT_EQ(plain.bus.LineCycle, 999u);
    EXPECT_EQ(plain.cpu->LineCarry, 0);
}

TEST_F(ExactRunTest, ResetClearsTheChipStateAndTheStatePartRoundTrips) {
    cpu->WZ = 0xBEEF, cpu->Q = 0x28, cpu->EiDelay = 1, cpu->PrefixHold = 0, cpu->AfterLdAir = 1;
    cpu->NmiPending = 1, cpu->LineCarry = 22;
    uint8_t part[Z80_EXACT_STATE_SIZE];
    Z80_SaveExactState(*cpu, part);

    CpuTestRig other;
    std::string reason;
    ASSERT_TRUE(Z80_ValidateExactState(*other.cpu, part, sizeof part, reason)) << reason;
    Z80_LoadExactState(*other.cpu, part);
    EXPECT_EQ(other.cpu->WZ, 0xBEEF);
    EXPECT_EQ(other.cpu->Q, 0x28);
    EXPECT_EQ(other.cpu->EiDelay, 1);
    EXPECT_EQ(other.cpu->AfterLdAir, 1);
    EXPECT_EQ(other.cpu->NmiPending, 1);
    EXPECT_EQ(other.cpu->LineCarry, 22);

    const struct {
        std::size_t at;
        uint8_t value;
        const char* words;
    } bad[] = {{3, 2, "EI hold"}, {6, 2, "pending NMI"}, {7, 23, "line carry"}};
    for (const auto& b : bad) {
        uint8_t copy[Z80_EXACT_STATE_SIZE];
        std::copy(part, part + sizeof part, copy);
        copy[b.at] = b.value;
        EXPECT_FALSE(Z80_ValidateExactState(*other.cpu, copy, sizeof copy, reason)) << b.words;
        EXPECT_NE(reason.find(b.words), std::string::npos) << reason;
    }
    EXPECT_FALSE(Z80_ValidateExactState(*other.cpu, part, sizeof part - 1, reason));

    cpu->IFF1 = cpu->IFF2 = 1, cpu->InterruptMode = 2, cpu->I = 5, cpu->R = 9;
    Z80_Reset(*cpu, bus);
    EXPECT_EQ(cpu->IFF1 | cpu->IFF2 | cpu->I | cpu->R | cpu->InterruptMode, 0);
    EXPECT_EQ(cpu->WZ | cpu->Q | cpu->EiDelay | cpu->AfterLdAir | cpu->NmiPending | cpu->LineCarry, 0);
}

// The debugger's hook sees every instruction and acceptance of the exact
// loop, with the exact T-states.
TEST_F(ExactRunTest, TheDebugHookObservesTheExactLoop) {
    struct TLog {
        std::vector<uint16_t> before;
        std::vector<uint32_t> cycles;
        int accepted = 0;
    } log;
    T_Z80_DEBUG_HOOK hook{};
    hook.Context = &log;
    hook.Before = [](void* c, T_Z80_CPU_CORE& cpu) -> uint8_t {
        static_cast<TLog*>(c)->before.push_back(cpu.PC);
        return 0;
    };
    hook.After = [](void* c, T_Z80_CPU_CORE&, uint32_t cycles) { static_cast<TLog*>(c)->cycles.push_back(cycles); };
    hook.Accepted = [](void* c, T_Z80_CPU_CORE&) { ++static_cast<TLog*>(c)->accepted; };
    cpu->DebugHook = &hook;
    Program(0x0000, {0xFB, 0xDD, 0x7C, 0x00});  // EI; LD A,IXH (8 T); NOP
    vdp->InterruptLine = 1;
    Z80_RunCycles(*cpu, 12 + 13 + 4);
    EXPECT_EQ(log.before, (std::vector<uint16_t>{0x0000, 0x0001, 0x0038}));
    EXPECT_EQ(log.cycles, (std::vector<uint32_t>{4, 8, 4}));
    EXPECT_EQ(log.accepted, 1);
    EXPECT_EQ(cpu->LineCarry, 0);
}

}  // namespace
