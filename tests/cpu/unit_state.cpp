// The CPU's reset: what a console reset clears and what it keeps.
#include <gtest/gtest.h>

#include "CpuTestRig.h"

namespace {

TEST(CpuReset, ClearsRegistersAndPagingButKeepsTheRest) {
    auto fresh = std::make_unique<T_Z80_CPU_CORE>();
    EXPECT_EQ(fresh->RomBankCount, 0);
    EXPECT_EQ(fresh->PageSlot1 | fresh->PageSlot2 | fresh->IFF1 | fresh->InterruptMode, 0);
    EXPECT_EQ(fresh->Bus, nullptr);

    CpuTestRig rig;
    auto& cpu = *rig.cpu;
    EXPECT_EQ(cpu.PageSlot0, 0);
    EXPECT_EQ(cpu.PageSlot1, 1);
    EXPECT_EQ(cpu.PageSlot2, 2);
    EXPECT_EQ(cpu.RomBankCount, 1) << "a fresh CPU has no bank count; reset makes it 1";

    cpu.A = cpu.AltF = cpu.L = 0x55;
    cpu.PC = cpu.SP = 0x1234;
    cpu.I = 0x11, cpu.R = 0x22, cpu.IX = 0x3333, cpu.IY = 0x4444;
    cpu.IFF1 = cpu.IFF2 = 1, cpu.InterruptMode = 1, cpu.RamControl = 0x08;
    cpu.RomBankCount = 8, cpu.PageSlot2 = 7, cpu.Halted = 1, cpu.CartRamDirty = 1;
    cpu.NmiActive = 1, cpu.NmiLockCounter = 77, cpu.LastOpcode = 0x3E, cpu.BiosType = 1;
    cpu.Ram[5] = 0x99, cpu.CartRam[5] = 0x98, cpu.Rom[5] = 0x97;
    Z80_Reset(cpu, rig.bus);

    EXPECT_EQ(cpu.A | cpu.AltF | cpu.L, 0);
    EXPECT_EQ(cpu.PC, 0);
    EXPECT_EQ(cpu.SP, 0);
    EXPECT_EQ(cpu.PageSlot2, 2);
    EXPECT_EQ(cpu.Halted, 0);
    EXPECT_EQ(cpu.CartRamDirty, 0);
    EXPECT_EQ(cpu.RomBankCount, 8);
    EXPECT_EQ(cpu.I, 0x11);
    EXPECT_EQ(cpu.R, 0x22);
    EXPECT_EQ(cpu.IX, 0x3333);
    EXPECT_EQ(cpu.IY, 0x4444);
    EXPECT_EQ(cpu.IFF1, 1);
    EXPECT_EQ(cpu.InterruptMode, 1);
    EXPECT_EQ(cpu.RamControl, 0x08);
    EXPECT_EQ(cpu.NmiActive, 1);
    EXPECT_EQ(cpu.NmiLockCounter, 77);
    EXPECT_EQ(cpu.LastOpcode, 0x3E);
    EXPECT_EQ(cpu.BiosType, 1);
    EXPECT_EQ(cpu.Ram[5], 0x99);
    EXPECT_EQ(cpu.CartRam[5], 0x98);
    EXPECT_EQ(cpu.Rom[5], 0x97);
    EXPECT_EQ(cpu.Bus, &rig.bus);
}

// A reset keeps interrupts enabled, so a request that is still pending is
// accepted before the first instruction, and with SP = 0 its push lands on
// the paging registers at 0xFFFF and 0xFFFE.
TEST(CpuReset, PendingRequestIsAcceptedBeforeTheFirstInstruction) {
    CpuTestRig rig;
    auto& cpu = *rig.cpu;
    rig.MapCartridge();
    cpu.RomBankCount = 8;
    cpu.IFF1 = cpu.IFF2 = 1;
    cpu.InterruptMode = 1;
    cpu.PC = 0x1234;
    Z80_Reset(cpu, rig.bus);
    rig.vdp->InterruptLine = 1;
    Z80_RunCycles(cpu, 17);
    EXPECT_EQ(cpu.SP, 0xFFFE);
    EXPECT_EQ(cpu.PageSlot2, 0) << "PC 0x0000's high byte went to 0xFFFF";
    EXPECT_EQ(cpu.PageSlot1, 0) << "and its low byte to 0xFFFE";
    EXPECT_EQ(cpu.PC, 0x0039);
}

}  // namespace
