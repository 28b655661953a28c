// The run loop and the two interrupts: EI's one-instruction delay, the three
// interrupt modes, HALT, the cost of an acceptance, the NMI and its lock-out.
#include <gtest/gtest.h>

#include <cstring>

#include "CpuTestRig.h"

namespace {

class RunLoopTest : public ::testing::Test, public CpuTestRig {
protected:
    void SetUp() override {
        MapCartridge();
        cpu->SP = 0xDFF0;
        cpu->InterruptMode = 1;
    }
    void RequestInterrupt(uint8_t on) { vdp->InterruptLine = on; }
    uint16_t StackWord(uint16_t at) {
        return static_cast<uint16_t>(Z80_ReadMemory(*cpu, at) | Z80_ReadMemory(*cpu, at + 1) << 8);
    }
};

TEST_F(RunLoopTest, RequestAfterEiIsAcceptedOnlyAfterTheNextInstruction) {
    Program(0x0000, {0xFB, 0x00, 0x00});  // EI; NOP; NOP  (0x38 holds NOPs too)
    RequestInterrupt(1);
    Z80_RunCycles(*cpu, 4);
    EXPECT_EQ(cpu->IFF1, 1);
    EXPECT_EQ(cpu->PC, 1);
    Z80_RunCycles(*cpu, 4);
    EXPECT_EQ(cpu->PC, 2) << "the instruction after EI runs first";
    Z80_RunCycles(*cpu, 17);  // 13 for the acceptance, one NOP at 0x38
    EXPECT_EQ(cpu->PC, 0x39);
    EXPECT_EQ(cpu->SP, 0xDFEE);
    EXPECT_EQ(StackWord(0xDFEE), 2);
    EXPECT_EQ(cpu->IFF1, 0);
    EXPECT_EQ(cpu->IFF2, 0);
    EXPECT_EQ(vdp->InterruptLine, 1) << "accepting does not lower the VDP's line";
}

TEST_F(RunLoopTest, InterruptModesOnAHaltedCpu) {
    const struct { uint8_t iff; int32_t mode; uint8_t halted; uint16_t pc; uint16_t sp; } cases[] = {
        {0, 1, 1, 0x0101, 0xDFF0},  // disabled: ignored
        {1, 0, 1, 0x0101, 0xDFF0},  // mode 0: only the flip-flops are cleared
        {1, 1, 0, 0x0039, 0xDFEE},
        {1, 2, 0, 0x0039, 0xDFEE},  // mode 2 behaves like mode 1, I is not used
    };
    for (const auto& c : cases) {
        CpuTestRig rig;
        rig.MapCartridge();
        rig.cpu->SP = 0xDFF0;
        rig.Program(0x0100, {0x76});
        Z80_RunCycles(*rig.cpu, 17);
        ASSERT_EQ(rig.cpu->Halted, 1);
        rig.cpu->I = 0x80;
        rig.cpu->IFF1 = rig.cpu->IFF2 = c.iff;
        rig.cpu->InterruptMode = c.mode;
        rig.vdp->InterruptLine = 1;
        Z80_RunCycles(*rig.cpu, 17);
        EXPECT_EQ(rig.cpu->Halted, c.halted) << "mode " << c.mode << " iff " << int(c.iff);
        EXPECT_EQ(rig.cpu->PC, c.pc) << "mode " << c.mode << " iff " << int(c.iff);
        EXPECT_EQ(rig.cpu->IFF1, 0);
        EXPECT_EQ(rig.cpu->IFF2, 0);
        EXPECT_EQ(rig.cpu->SP, c.sp);
    }
}

TEST_F(RunLoopTest, HaltSpendsWholeCallsUntilAnInterruptIsAccepted) {
    Program(0x1000, {0x76});
    Z80_RunCycles(*cpu, 228);
    EXPECT_EQ(cpu->Halted, 1);
    EXPECT_EQ(cpu->PC, 0x1001);
    const uint8_t r = cpu->R;

    RequestInterrupt(1);  // interrupts disabled: stays halted
    for (int i = 0; i < 3; ++i) Z80_RunCycles(*cpu, 228);
    EXPECT_EQ(cpu->Halted, 1);
    EXPECT_EQ(cpu->PC, 0x1001);
    EXPECT_EQ(cpu->R, r) << "halted time does not refresh";

    cpu->IFF1 = cpu->IFF2 = 1;
    Z80_RunCycles(*cpu, 228);
    EXPECT_EQ(cpu->Halted, 0);
    EXPECT_EQ(StackWord(cpu->SP), 0x1001) << "the return address is the byte after HALT";
    EXPECT_EQ(cpu->PC, 0x0038 + (228 - 13 + 3) / 4) << "the rest of the call runs the handler";
}

TEST_F(RunLoopTest, AcceptanceCostsThirteenCyclesOfTheCall) {
    cpu->IFF1 = 1;
    Z80_RunCycles(*cpu, 228);  // ROM of NOPs, no request
    EXPECT_EQ(cpu->PC, 57);
    RequestInterrupt(1);
    Z80_RunCycles(*cpu, 228);
    EXPECT_EQ(cpu->PC, 0x0038 + 54) << "215 cycles remain: 54 NOPs";
}

TEST_F(RunLoopTest, PushAtStackZeroHitsThePagingRegistersHighByteFirst) {
    cpu->RomBankCount = 8;
    cpu->SP = 0x0000;
    cpu->PC = 0x0102;
    cpu->IFF1 = 1;
    RequestInterrupt(1);
    Z80_RunCycles(*cpu, 17);
    EXPECT_EQ(cpu->SP, 0xFFFE);
    EXPECT_EQ(cpu->PageSlot2, 1) << "high byte written to 0xFFFF";
    EXPECT_EQ(cpu->PageSlot1, 2) << "low byte written to 0xFFFE";
}

TEST_F(RunLoopTest, NmiPushesJumpsAndLocksOutForFiveThousandAndOneCalls) {
    Program(0x0200, {0x76});
    Z80_RunCycles(*cpu, 228);
    cpu->IFF1 = 1;
    Z80_RaiseNMI(*cpu);
    EXPECT_EQ(cpu->PC, 0x0066);
    EXPECT_EQ(StackWord(cpu->SP), 0x0201);
    EXPECT_EQ(cpu->Halted, 1) << "the NMI does not wake a halted CPU";
    EXPECT_EQ(cpu->IFF1, 1);
    EXPECT_EQ(cpu->NmiActive, 1);

    // The NMI routine runs only after a maskable interrupt wakes the CPU,
    // whose routine then returns into it.
    RequestInterrupt(1);
    Z80_RunCycles(*cpu, 17);
    RequestInterrupt(0);
    EXPECT_EQ(cpu->Halted, 0);
    EXPECT_EQ(StackWord(cpu->SP), 0x0066);
    EXPECT_EQ(cpu->PC, 0x0039);

    const uint16_t sp = cpu->SP;
    for (int call = 2; call <= 5000; ++call) {  // the wake-up above was call 1
        Z80_RunCycles(*cpu, 228);
        Z80_RaiseNMI(*cpu);  // held: ignored during the lock-out
        ASSERT_EQ(cpu->NmiActive, 1) << call;
        ASSERT_EQ(cpu->SP, sp) << call;
    }
    Z80_RunCycles(*cpu, 228);
    EXPECT_EQ(cpu->NmiActive, 0) << "released at the end of the 5001st call";
    Z80_RaiseNMI(*cpu);
    EXPECT_EQ(cpu->SP, sp - 2);
}

TEST_F(RunLoopTest, CallEndsForAProgramOfZeroCycleNoOps) {
    for (std::size_t i = 0; i < 0x4000; i += 2) {
        cpu->Rom[i] = (i & 2) ? 0xFD : 0xDD;
        cpu->Rom[i + 1] = 0x00;
    }
    cpu->PC = 0;
    Z80_RunCycles(*cpu, 228);  // returns: that is the test
    EXPECT_GT(cpu->PC, 0);
    EXPECT_EQ(cpu->PC % 2, 0);
}

}  // namespace
