// Instruction step of the Z80 core on the console's memory map: the
// behaviours where this core deliberately differs from the real chip (so
// external test vectors cannot show them) and the ones that need the map
// itself (read-ahead into cartridge RAM, pushes and stores landing on the
// paging registers).
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>

#include "Interconnect.h"
#include "SNDEM.h"
#include "VDPEM.h"
#include "Z80EM.h"

namespace {

class InstructionTest : public ::testing::Test {
protected:
    std::unique_ptr<T_Z80_CPU_CORE> cpu = std::make_unique<T_Z80_CPU_CORE>();
    std::unique_ptr<T_VDP_CORE> vdp = std::make_unique<T_VDP_CORE>();
    std::unique_ptr<T_PSG_CORE> psg = std::make_unique<T_PSG_CORE>();
    T_INTERCONNECT_CORE bus{};

    void SetUp() override {
        Interconnect_Init(bus, *vdp, *psg);
        Z80_Reset(*cpu, bus);
        Interconnect_WritePort(bus, 0x3E, 0x08);  // cartridge mapped, not the BIOS
    }

    // Code below 0xC000 goes into the ROM area (slots 0, 1, 2 after reset map
    // addresses straight onto it); above, through the map into system RAM.
    void Code(uint16_t at, std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) {
            if (at < 0xC000)
                cpu->Rom[at] = b;
            else
                Z80_WriteMemory(*cpu, at, b);
            ++at;
        }
    }

    void Start(uint16_t at, std::initializer_list<uint8_t> bytes) {
        Code(at, bytes);
        cpu->PC = at;
    }

    uint32_t Step() { return Z80_ExecuteInstruction(*cpu); }

    uint8_t Peek(uint16_t address) { return Z80_ReadMemory(*cpu, address); }
};

TEST_F(InstructionTest, ReadAheadAtPcPlusOneAndThreeMarksCartridgeRam) {
    // Cartridge RAM at 0x8000: any read there marks it as used, and every
    // instruction reads PC, PC+1 and PC+3 whatever its length (not PC+2).
    const struct {
        uint16_t pc;
        uint8_t dirty;
    } cases[] = {{0x7FFB, 0}, {0x7FFC, 0}, {0x7FFD, 1}, {0x7FFE, 1}, {0x7FFF, 1}};
    for (const auto& c : cases) {
        SetUp();
        Z80_WriteMemory(*cpu, 0xFFFC, 0x08);
        Start(c.pc, {0x00});  // NOP
        ASSERT_EQ(cpu->CartRamDirty, 0);
        EXPECT_EQ(Step(), 4u);
        EXPECT_EQ(cpu->CartRamDirty, c.dirty) << "NOP at " << std::hex << c.pc;
    }
}

TEST_F(InstructionTest, RefreshGrowsByThreeForEveryInstructionForm) {
    const struct {
        const char* name;
        std::initializer_list<uint8_t> code;
    } cases[] = {
        {"NOP", {0x00}},
        {"LD BC,nn", {0x01, 0x34, 0x12}},
        {"HALT", {0x76}},
        {"RLC B", {0xCB, 0x00}},
        {"NEG", {0xED, 0x44}},
        {"undefined ED", {0xED, 0x00}},
        {"LDIR repeating", {0xED, 0xB0}},
        {"LD IX,nn", {0xDD, 0x21, 0x00, 0xC1}},
        {"DD no-op", {0xDD, 0x00}},
        {"FD no-op", {0xFD, 0xFD}},
        {"BIT 0,(IX+d)", {0xDD, 0xCB, 0x01, 0x46}},
        {"undefined DD CB", {0xDD, 0xCB, 0x01, 0x00}},
        {"SET 7,(IY+d)", {0xFD, 0xCB, 0x01, 0xFE}},
    };
    for (const auto& c : cases) {
        SetUp();
        cpu->R = 0x7E;
        cpu->B = 0;
        cpu->C = 5;  // LDIR with BC = 5 repeats
        cpu->IX = cpu->IY = 0xC100;
        Start(0x0100, c.code);
        Step();
        EXPECT_EQ(cpu->R, 0x81) << c.name;  // all eight bits take part
        EXPECT_EQ(cpu->LastOpcode, *c.code.begin()) << c.name;
    }

    SetUp();
    cpu->R = 0;
    cpu->PC = 0x0200;  // 86 NOPs of zero-filled ROM
    for (int i = 0; i < 86; ++i) Step();
    EXPECT_EQ(cpu->R, 2);
}

TEST_F(InstructionTest, LoadAFromRAfterLoadRFromAGivesStoredValuePlusThree) {
    cpu->A = 0x40;
    cpu->IFF2 = 1;
    Start(0x0100, {0xED, 0x4F, 0xED, 0x5F});  // LD R,A; LD A,R
    EXPECT_EQ(Step(), 9u);
    EXPECT_EQ(cpu->R, 0x43);
    cpu->A = 0;
    EXPECT_EQ(Step(), 9u);
    EXPECT_EQ(cpu->A, 0x43);
    EXPECT_EQ(cpu->F & 0x04, 0x04);  // P/V = IFF2
    EXPECT_EQ(cpu->R, 0x46);
}

TEST_F(InstructionTest, UndocumentedFlagBitsChangeOnlyWhenFIsReplaced) {
    // Each instruction runs twice: with bits 3 and 5 set in F and operands
    // whose result has them clear, and the other way round.
    const struct {
        const char* name;
        std::initializer_list<uint8_t> code;
        uint8_t a;
    } cases[] = {
        {"ADD A,n", {0xC6, 0x00}, 0x00},   {"ADD A,n", {0xC6, 0x28}, 0x00}, {"XOR A", {0xAF}, 0x28},
        {"CP n", {0xFE, 0x00}, 0x28},      {"INC A", {0x3C}, 0x27},          {"DEC A", {0x3D}, 0x29},
        {"CPL", {0x2F}, 0xD7},             {"SCF", {0x37}, 0x00},            {"CCF", {0x3F}, 0x00},
        {"RLCA", {0x07}, 0x14},            {"ADD HL,BC", {0x09}, 0x00},      {"BIT 3,A", {0xCB, 0x5F}, 0x28},
        {"RLC A", {0xCB, 0x07}, 0x14},     {"SBC HL,DE", {0xED, 0x52}, 0x00}, {"NEG", {0xED, 0x44}, 0xD8},
        {"AND n", {0xE6, 0x28}, 0xFF},     {"LD A,I", {0xED, 0x57}, 0x00},
    };
    for (const auto& c : cases) {
        for (uint8_t bits : {uint8_t{0x28}, uint8_t{0x00}}) {
            SetUp();
            cpu->A = c.a;
            cpu->F = bits;
            cpu->H = 0x28;
            cpu->L = 0x00;
            cpu->B = 0x08;
            cpu->C = 0x20;
            cpu->I = 0x28;
            Start(0x0100, c.code);
            Step();
            EXPECT_EQ(cpu->F & 0x28, bits) << c.name << " with F bits " << int(bits);
        }
    }
}

TEST_F(InstructionTest, PopAfAndExchangeReplaceAllEightBits) {
    // POP AF with 0xFF in the flag byte, then an ALU op keeps bits 3 and 5.
    cpu->SP = 0xC100;
    Code(0xC100, {0xFF, 0x00});
    Start(0x0100, {0xF1, 0x87, 0x08, 0x08});  // POP AF; ADD A,A; EX AF,AF'; EX AF,AF'
    Step();
    EXPECT_EQ(cpu->F, 0xFF);
    Step();
    EXPECT_EQ(cpu->F & 0x28, 0x28);
    const uint8_t a = cpu->A, f = cpu->F;
    cpu->AltA = 0x12;
    cpu->AltF = 0x00;
    Step();
    EXPECT_EQ(cpu->F, 0x00);
    EXPECT_EQ(cpu->AltF, f);
    Step();
    EXPECT_EQ(cpu->A, a);
    EXPECT_EQ(cpu->F, f);
}

TEST_F(InstructionTest, UndefinedIndexSecondByteIsTwoByteNoOpOfZeroCycles) {
    for (uint8_t prefix : {uint8_t{0xDD}, uint8_t{0xFD}}) {
        for (uint8_t second : {uint8_t{0x00}, uint8_t{0x3C}, uint8_t{0x76}, uint8_t{0x80}, uint8_t{0xA8},
                               uint8_t{0xDD}, uint8_t{0xFD}, uint8_t{0xED}, uint8_t{0xC3}}) {
            SetUp();
            cpu->A = 0x11;
            cpu->B = 0x22;
            cpu->F = 0x5A;
            cpu->IX = 0x1234;
            cpu->IY = 0x5678;
            Start(0x0100, {prefix, second, 0x3C, 0x3C});
            EXPECT_EQ(Step(), 0u) << std::hex << int(prefix) << " " << int(second);
            EXPECT_EQ(cpu->PC, 0x0102);
            EXPECT_EQ(cpu->A, 0x11);
            EXPECT_EQ(cpu->B, 0x22);
            EXPECT_EQ(cpu->F, 0x5A);
            EXPECT_EQ(cpu->IX, 0x1234);
            EXPECT_EQ(cpu->IY, 0x5678);
            EXPECT_EQ(cpu->Halted, 0);
            EXPECT_EQ(cpu->LastOpcode, prefix);
        }
    }
}

TEST_F(InstructionTest, UndefinedExtendedSecondByteSkipsTwoBytesInEightCycles) {
    for (uint8_t second : {uint8_t{0x00}, uint8_t{0x3F}, uint8_t{0x4C}, uint8_t{0x4E}, uint8_t{0x55}, uint8_t{0x63},
                           uint8_t{0x70}, uint8_t{0x71}, uint8_t{0x77}, uint8_t{0xA4}, uint8_t{0xB7}, uint8_t{0xBC},
                           uint8_t{0xFF}}) {
        SetUp();
        cpu->A = 0x80;
        cpu->F = 0x00;
        cpu->SP = 0xC100;
        cpu->InterruptMode = 1;
        cpu->IFF2 = 1;
        Start(0x0100, {0xED, second, 0x00, 0x00});
        EXPECT_EQ(Step(), 8u) << std::hex << int(second);
        EXPECT_EQ(cpu->PC, 0x0102);
        EXPECT_EQ(cpu->A, 0x80);
        EXPECT_EQ(cpu->F, 0x00);
        EXPECT_EQ(cpu->SP, 0xC100);
        EXPECT_EQ(cpu->InterruptMode, 1);
        EXPECT_EQ(cpu->IFF1, 0);
    }
}

TEST_F(InstructionTest, IndexedBitOperationOnRegisterCopyFormsSkipsFourBytes) {
    for (uint8_t operation : {uint8_t{0x00}, uint8_t{0x47}, uint8_t{0x80}, uint8_t{0xC7}, uint8_t{0xFF}}) {
        SetUp();
        cpu->IX = cpu->IY = 0xC100;
        Code(0xC105, {0x81});
        cpu->A = 0x81;
        cpu->B = 0x81;
        cpu->F = 0x00;
        Start(0x0100, {0xDD, 0xCB, 0x05, operation});
        EXPECT_EQ(Step(), 23u) << std::hex << int(operation);
        EXPECT_EQ(cpu->PC, 0x0104);
        EXPECT_EQ(Peek(0xC105), 0x81);
        EXPECT_EQ(cpu->A, 0x81);
        EXPECT_EQ(cpu->B, 0x81);
        EXPECT_EQ(cpu->F, 0x00);
    }
}

TEST_F(InstructionTest, IndexedFormsChargeThisCoresCycleCounts) {
    // Where this core's table differs from the published counts.
    const struct {
        std::initializer_list<uint8_t> code;
        uint32_t cycles;
        uint16_t length;
    } cases[] = {
        {{0xDD, 0x84}, 16, 2},       {{0xDD, 0x8C}, 19, 2}, {{0xFD, 0xBD}, 19, 2},
        {{0xDD, 0x24}, 10, 2},       {{0xFD, 0x2D}, 10, 2}, {{0xDD, 0x26, 0x12}, 7, 3},
        {{0xDD, 0x7C}, 4, 2},        {{0xDD, 0x41}, 4, 2},  {{0xFD, 0x65}, 4, 2},
        {{0xDD, 0xCB, 0x00, 0x46}, 20, 4}, {{0xDD, 0xCB, 0x00, 0x06}, 23, 4},
        {{0xDD, 0xE9}, 8, 0},
    };
    for (const auto& c : cases) {
        SetUp();
        cpu->IX = cpu->IY = 0xC100;
        Start(0x0100, c.code);
        EXPECT_EQ(Step(), c.cycles) << std::hex << int(*c.code.begin()) << " " << int(c.code.begin()[1]);
        if (c.length) {
            EXPECT_EQ(cpu->PC, 0x0100 + c.length);
        }
    }
    EXPECT_EQ(cpu->PC, 0xC100);  // JP (IX)
}

TEST_F(InstructionTest, CallReadsItsTargetAfterThePushOverwroteIt) {
    // The push of 0xC003 lands on the operand bytes at 0xC001-0xC002.
    cpu->SP = 0xC003;
    Start(0xC000, {0xCD, 0x34, 0x12});
    EXPECT_EQ(Step(), 17u);
    EXPECT_EQ(cpu->SP, 0xC001);
    EXPECT_EQ(Peek(0xC001), 0x03);
    EXPECT_EQ(Peek(0xC002), 0xC0);
    EXPECT_EQ(cpu->PC, 0xC003);
}

TEST_F(InstructionTest, StackAndWordStoresLandOnPagingRegistersByteByByte) {
    cpu->RomBankCount = 8;
    // PUSH with SP = 0: high byte to 0xFFFF (slot 2), low byte to 0xFFFE (slot 1).
    cpu->SP = 0x0000;
    cpu->B = 0x0B;
    cpu->C = 0x05;
    Start(0x0100, {0xC5, 0x22, 0xFE, 0xFF});  // PUSH BC; LD (0xFFFE),HL
    EXPECT_EQ(Step(), 11u);
    EXPECT_EQ(cpu->SP, 0xFFFE);
    EXPECT_EQ(cpu->PageSlot2, 3);  // 0x0B mod 8
    EXPECT_EQ(cpu->PageSlot1, 5);
    EXPECT_EQ(Peek(0xFFFF), 0x0B);  // the RAM byte keeps the value as written
    EXPECT_EQ(Peek(0xFFFE), 0x05);

    // LD (0xFFFE),HL: L to 0xFFFE, H to 0xFFFF.
    cpu->H = 0x02;
    cpu->L = 0x06;
    EXPECT_EQ(Step(), 16u);
    EXPECT_EQ(cpu->PageSlot1, 6);
    EXPECT_EQ(cpu->PageSlot2, 2);
}

TEST_F(InstructionTest, LoadRepeatLeavesPcOnPrefixAndFlagsUntilItEnds) {
    Code(0xC000, {0xA1, 0xA2});
    cpu->H = 0xC0;
    cpu->L = 0x00;
    cpu->D = 0xC1;
    cpu->E = 0x00;
    cpu->B = 0;
    cpu->C = 2;
    cpu->F = 0xD7;  // everything but bits 3 and 5
    Start(0x0100, {0xED, 0xB0});
    EXPECT_EQ(Step(), 21u);
    EXPECT_EQ(cpu->PC, 0x0100);
    EXPECT_EQ(cpu->F, 0xD7);
    EXPECT_EQ(cpu->LastOpcode, 0xED);
    EXPECT_EQ(Step(), 16u);
    EXPECT_EQ(cpu->PC, 0x0102);
    EXPECT_EQ(cpu->F, 0xC1);  // H, N and P/V cleared, the rest kept
    EXPECT_EQ(Peek(0xC100), 0xA1);
    EXPECT_EQ(Peek(0xC101), 0xA2);
    EXPECT_EQ(cpu->B | cpu->C, 0);
}

TEST_F(InstructionTest, LoadRepeatWithCountZeroTransfers65536Bytes) {
    // HL = DE: every byte is copied onto itself, so memory stays as it is.
    cpu->H = cpu->D = 0xC2;
    cpu->L = cpu->E = 0x00;
    cpu->B = cpu->C = 0;
    Start(0x0100, {0xED, 0xB0});
    uint32_t steps = 0, last = 0;
    do {
        last = Step();
        ++steps;
    } while (last == 21 && steps < 70000);
    EXPECT_EQ(steps, 65536u);
    EXPECT_EQ(last, 16u);
    EXPECT_EQ(cpu->PC, 0x0102);
    EXPECT_EQ(cpu->H, 0xC2);
    EXPECT_EQ(cpu->L, 0x00);
}

TEST_F(InstructionTest, PortBlockTransfersSetFlagsAsThisCoreDefines) {
    // INIR with B = 1 reads one byte: S = 0, Z = 1, N = 1, H/P/V/C kept.
    bus.PortA = 0x9C;  // port 0xDC
    cpu->H = 0xC0;
    cpu->L = 0x10;
    cpu->B = 1;
    cpu->C = 0xDC;
    cpu->F = 0x95;  // S, H, P/V, C
    Start(0x0100, {0xED, 0xB2});
    EXPECT_EQ(Step(), 16u);
    EXPECT_EQ(Peek(0xC010), 0x9C);
    EXPECT_EQ(cpu->B, 0);
    EXPECT_EQ(cpu->F, 0x57);

    // INI from B = 0x81: S and Z from the new B only.
    SetUp();
    cpu->H = 0xC0;
    cpu->L = 0x10;
    cpu->B = 0x81;
    cpu->C = 0xDC;
    cpu->F = 0x15;
    Start(0x0100, {0xED, 0xA2});
    EXPECT_EQ(Step(), 16u);
    EXPECT_EQ(cpu->F, 0x97);
    EXPECT_EQ(cpu->L, 0x11);

    // OTIR to port 0x3E repeats with flags kept, then maps the value written.
    SetUp();
    Code(0xC000, {0x00, 0x08});
    cpu->H = 0xC0;
    cpu->L = 0x00;
    cpu->B = 2;
    cpu->C = 0x3E;
    cpu->F = 0x00;
    Start(0xC100, {0xED, 0xB3});
    EXPECT_EQ(Step(), 21u);
    EXPECT_EQ(cpu->F, 0x00);
    EXPECT_EQ(Interconnect_GetMemoryControl(bus), 0x00);
    EXPECT_EQ(Step(), 16u);
    EXPECT_EQ(Interconnect_GetMemoryControl(bus), 0x08);
    EXPECT_EQ(cpu->F, 0x42);
}

TEST_F(InstructionTest, ReturnsFromInterruptHandleFlipFlopsAsThisCoreDefines) {
    for (uint8_t second : {uint8_t{0x4D}, uint8_t{0x45}}) {
        SetUp();
        cpu->IFF1 = 0;
        cpu->IFF2 = 1;
        cpu->SP = 0xC100;
        Code(0xC100, {0x34, 0x12});
        Start(0x0100, {0xED, second});
        EXPECT_EQ(Step(), 14u);
        EXPECT_EQ(cpu->PC, 0x1234);
        EXPECT_EQ(cpu->IFF1, second == 0x45 ? 1 : 0) << (second == 0x45 ? "RETN" : "RETI");
    }
}

TEST_F(InstructionTest, HaltMovesPastItself) {
    Start(0x1000, {0x76});
    EXPECT_EQ(Step(), 4u);
    EXPECT_EQ(cpu->PC, 0x1001);
    EXPECT_EQ(cpu->Halted, 1);
}

}  // namespace
