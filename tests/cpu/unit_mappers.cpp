// The cartridges' other mappers of the hardware models: Codemasters, Korean
// and none, with their registers, their power-on paging, the debugger's view
// of each, the detection from the image, and the mapper's part of a state.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "CpuTestRig.h"

namespace {

class MapperTest : public ::testing::Test, public CpuTestRig {
protected:
    void SetUp() override {
        MapCartridge();
        // An 8-bank image whose bytes name their bank and offset.
        for (std::size_t i = 0; i < 8 * Z80_BANK_SIZE; ++i)
            cpu->Rom[i] = static_cast<uint8_t>(((i / Z80_BANK_SIZE) << 4) ^ (i & 0xFF) ^ ((i >> 8) & 0x0F));
        cpu->RomSize = 8 * Z80_BANK_SIZE;
        cpu->RomBankCount = 8;
        for (std::size_t i = 0; i < Z80_CART_RAM_SIZE; ++i) cpu->CartRam[i] = static_cast<uint8_t>(i * 11 + 5);
    }
    uint8_t Expected(std::size_t bank, uint16_t address) { return cpu->Rom[bank * Z80_BANK_SIZE + (address & 0x3FFF)]; }
    uint8_t Read(uint16_t a) { return Z80_ReadMemory(*cpu, a); }
    void Write(uint16_t a, uint8_t v) { Z80_WriteMemory(*cpu, a, v); }
    std::string Name(uint16_t a) {
        char name[8];
        return Z80_BankName(Z80_MapAddress(*cpu, a), name);
    }
    // The debugger's view agrees with the CPU's reads at every address and
    // does not mark the cartridge RAM as used.
    void ExpectPeekAgrees() {
        for (uint32_t a = 0; a < 0x10000; ++a) {
            cpu->CartRamDirty = 0;
            const uint8_t peeked = Z80_PeekMemory(*cpu, static_cast<uint16_t>(a));
            ASSERT_EQ(cpu->CartRamDirty, 0) << std::hex << a;
            ASSERT_EQ(peeked, Read(static_cast<uint16_t>(a))) << std::hex << a;
        }
        cpu->CartRamDirty = 0;
    }
};

TEST_F(MapperTest, PowerOnPagingOfEachMapper) {
    const struct { TZ80Mapper mapper; uint8_t banks; uint8_t slot[3]; } cases[] = {
        {Z80_MAPPER_SEGA, 8, {0, 1, 2}},        {Z80_MAPPER_CODEMASTERS, 8, {0, 1, 0}},
        {Z80_MAPPER_KOREAN, 8, {0, 1, 2}},      {Z80_MAPPER_NONE, 3, {0, 1, 2}},
        {Z80_MAPPER_NONE, 2, {0, 1, 0}},        {Z80_MAPPER_NONE, 1, {0, 0, 0}},
        {Z80_MAPPER_CODEMASTERS, 1, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.mapper) * 100 + c.banks);
        cpu->RomBankCount = c.banks;
        cpu->PageSlot0 = cpu->PageSlot1 = cpu->PageSlot2 = 5;
        Z80_SetMapper(*cpu, c.mapper);
        EXPECT_EQ(cpu->Mapper, c.mapper);
        EXPECT_EQ(cpu->PageSlot0, c.slot[0]);
        EXPECT_EQ(cpu->PageSlot1, c.slot[1]);
        EXPECT_EQ(cpu->PageSlot2, c.slot[2]);
        cpu->PageSlot0 = cpu->PageSlot1 = cpu->PageSlot2 = 5;
        Z80_Reset(*cpu, bus);  // the console's reset: the same paging
        EXPECT_EQ(cpu->PageSlot2, c.slot[2]);
    }
    // Only the Sega mapper has a RAM control register to keep through a reset.
    cpu->RomBankCount = 8;
    Z80_SetMapper(*cpu, Z80_MAPPER_SEGA);
    Write(0xFFFC, 0x08);
    Z80_Reset(*cpu, bus);
    EXPECT_EQ(cpu->RamControl, 0x08);
    Z80_SetMapper(*cpu, Z80_MAPPER_KOREAN);
    EXPECT_EQ(cpu->RamControl, 0x00);
}

TEST_F(MapperTest, CodemastersRegistersPageEverySlotAndTheFirstKilobyte) {
    Z80_SetMapper(*cpu, Z80_MAPPER_CODEMASTERS);
    EXPECT_EQ(Read(0x0000), Expected(0, 0x0000));
    EXPECT_EQ(Read(0x8000), Expected(0, 0x8000));
    Write(0x0000, 5);
    Write(0x4000, 6);
    Write(0x8000, 0x0B);  // 11 mod 8 banks
    const struct { uint16_t address; std::size_t bank; } cases[] = {
        {0x0000, 5}, {0x0038, 5}, {0x03FF, 5}, {0x0400, 5}, {0x3FFF, 5},
        {0x4000, 6}, {0x7FFF, 6}, {0x8000, 3}, {0xA000, 3}, {0xBFFF, 3}};
    for (const auto& c : cases) {
        EXPECT_EQ(Read(c.address), Expected(c.bank, c.address)) << std::hex << c.address;
        EXPECT_EQ(Name(c.address), "ROM " + std::to_string(c.bank)) << std::hex << c.address;
    }
    // Only the slots' first bytes are registers; the Sega registers are
    // plain RAM here, and the RAM does not keep the Codemasters values.
    Write(0x0001, 1);
    Write(0x4001, 1);
    Write(0x8001, 1);
    Write(0xBFFF, 1);
    Write(0xFFFF, 1);
    Write(0xFFFC, 0x08);
    EXPECT_EQ(cpu->PageSlot0, 5);
    EXPECT_EQ(cpu->PageSlot1, 6);
    EXPECT_EQ(cpu->PageSlot2, 3);
    EXPECT_EQ(cpu->RamControl, 0);
    EXPECT_EQ(Read(0xFFFF), 1);
    EXPECT_EQ(Read(0xDFFF), 1);
    ExpectPeekAgrees();
}

TEST_F(MapperTest, CodemastersRamAtA000WhenBit7IsWrittenTo4000) {
    Z80_SetMapper(*cpu, Z80_MAPPER_CODEMASTERS);
    Write(0x8000, 4);
    Write(0x4000, 0x83);  // RAM on, slot 1 bank 3
    EXPECT_EQ(cpu->PageSlot1, 3);
    EXPECT_EQ(Read(0x4000), Expected(3, 0));
    EXPECT_EQ(Read(0x9FFF), Expected(4, 0x9FFF)) << "the slot's lower half keeps its ROM";
    EXPECT_EQ(cpu->CartRamDirty, 0);
    EXPECT_EQ(Read(0xA005), cpu->CartRam[0x0005]);
    EXPECT_EQ(cpu->CartRamDirty, 1);
    Write(0xA000, 0x5A);
    Write(0xBFFF, 0xA5);
    Write(0x9000, 0x11);  // ROM
    EXPECT_EQ(cpu->CartRam[0x0000], 0x5A);
    EXPECT_EQ(cpu->CartRam[0x1FFF], 0xA5);
    EXPECT_EQ(Read(0x9000), Expected(4, 0x9000));
    EXPECT_EQ(Name(0x9000), "ROM 4");
    EXPECT_EQ(Name(0xA000), "SRAM 0");
    EXPECT_EQ(Z80_MapAddress(*cpu, 0xBFFF).Offset, 0x1FFF);
    Write(0x8000, 6);  // the slot 2 register is still there with RAM on
    EXPECT_EQ(Read(0x8000), Expected(6, 0));
    ExpectPeekAgrees();

    Write(0x4000, 0x03);  // RAM off again
    EXPECT_EQ(Read(0xA000), Expected(6, 0xA000));
    Write(0xA000, 0x77);
    EXPECT_EQ(cpu->CartRam[0x0000], 0x5A);
}

TEST_F(MapperTest, KoreanRegisterAtA000PagesSlot2Only) {
    Z80_SetMapper(*cpu, Z80_MAPPER_KOREAN);
    Write(0xA000, 5);
    EXPECT_EQ(Read(0x8000), Expected(5, 0));
    EXPECT_EQ(Name(0xBFFF), "ROM 5");
    Write(0xA000, 12);  // 12 mod 8
    EXPECT_EQ(cpu->PageSlot2, 4);
    // Nothing else pages: the Sega registers, the Codemasters addresses,
    // the register's neighbours.
    for (uint16_t a : {0xFFFC, 0xFFFD, 0xFFFE, 0xFFFF, 0x0000, 0x4000, 0x8000, 0xA001, 0x9FFF, 0xBFFF})
        Write(a, 0x0B);
    EXPECT_EQ(cpu->PageSlot0, 0);
    EXPECT_EQ(cpu->PageSlot1, 1);
    EXPECT_EQ(cpu->PageSlot2, 4);
    EXPECT_EQ(cpu->RamControl, 0);
    EXPECT_EQ(Read(0x0100), Expected(0, 0x0100));
    EXPECT_EQ(Read(0x4100), Expected(1, 0x4100));
    ExpectPeekAgrees();
}

TEST_F(MapperTest, NoMapperShowsTheImageAsItStands) {
    const struct { uint8_t banks; uint8_t slot2; } cases[] = {{3, 2}, {2, 0}};  // 48 KB; 32 KB mirrors bank 0
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.banks));
        cpu->RomBankCount = c.banks;
        Z80_SetMapper(*cpu, Z80_MAPPER_NONE);
        for (uint16_t a : {0xFFFC, 0xFFFD, 0xFFFE, 0xFFFF, 0x0000, 0x4000, 0x8000, 0xA000}) Write(a, 0x09);
        EXPECT_EQ(cpu->RamControl, 0);
        EXPECT_EQ(Read(0x0000), Expected(0, 0));
        EXPECT_EQ(Read(0x7FFF), Expected(1, 0x7FFF));
        EXPECT_EQ(Read(0x8123), Expected(c.slot2, 0x8123));
        EXPECT_EQ(Read(0xFFFD), 0x09) << "the bytes stay in RAM";
        ExpectPeekAgrees();
    }
}

TEST_F(MapperTest, DetectionFindsTheCodemastersHeader) {
    // A valid header: 8 banks, a date, checksum 0x1234 and its complement.
    auto header = [&] {
        const uint8_t bytes[16] = {8, 1, 2, 0x93, 12, 30, 0x34, 0x12, 0xCC, 0xED, 0, 0, 0, 0, 0, 0};
        std::memcpy(cpu->Rom + 0x7FE0, bytes, sizeof bytes);
    };
    const struct { const char* name; void (*spoil)(T_Z80_CPU_CORE&); TZ80Mapper mapper; } cases[] = {
        {"valid", [](T_Z80_CPU_CORE&) {}, Z80_MAPPER_CODEMASTERS},
        {"complement one off", [](T_Z80_CPU_CORE& c) { c.Rom[0x7FE8] ^= 1; }, Z80_MAPPER_SEGA},
        {"a byte of the zeros set", [](T_Z80_CPU_CORE& c) { c.Rom[0x7FEF] = 1; }, Z80_MAPPER_SEGA},
        {"all zero", [](T_Z80_CPU_CORE& c) { std::memset(c.Rom + 0x7FE0, 0, 16); }, Z80_MAPPER_SEGA},
        {"image of 16 KB", [](T_Z80_CPU_CORE& c) { c.RomSize = 16384; }, Z80_MAPPER_SEGA},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cpu->RomSize = 8 * Z80_BANK_SIZE;
        header();
        c.spoil(*cpu);
        EXPECT_EQ(Z80_DetectMapper(*cpu), c.mapper);
    }
}

TEST_F(MapperTest, MapperStateRoundTripAndRefusals) {
    Z80_SetMapper(*cpu, Z80_MAPPER_KOREAN);
    uint8_t part[Z80_MAPPER_STATE_SIZE];
    Z80_SaveMapperState(*cpu, part);
    std::string reason;
    EXPECT_TRUE(Z80_ValidateMapperState(*cpu, part, sizeof part, reason)) << reason;
    Z80_LoadMapperState(*cpu, part);
    EXPECT_EQ(cpu->Mapper, Z80_MAPPER_KOREAN);

    Z80_SetMapper(*cpu, Z80_MAPPER_SEGA);
    const struct { uint8_t byte; std::size_t size; const char* reason; } cases[] = {
        {Z80_MAPPER_KOREAN, 1, "paged with the Korean mapper, this console pages it with the Sega mapper"},
        {7, 1, "the mapper is 7, above 3"},
        {Z80_MAPPER_SEGA, 2, "the mapper section is 2 bytes long, not 1"},
    };
    for (const auto& c : cases) {
        const uint8_t data[2] = {c.byte, 0};
        reason.clear();
        EXPECT_FALSE(Z80_ValidateMapperState(*cpu, data, c.size, reason));
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    }
}

}  // namespace
