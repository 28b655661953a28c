// The console's memory map: fixed first kilobyte, the three paged windows,
// cartridge RAM, system RAM with the paging registers on top, and the switch
// between the BIOS and the cartridge.
#include <gtest/gtest.h>

#include <cstring>

#include "CpuTestRig.h"

namespace {

class MemoryMapTest : public ::testing::Test, public CpuTestRig {
protected:
    void SetUp() override {
        MapCartridge();
        cpu->RomBankCount = 8;
        // Every byte of the ROM area names its bank, and its offset's low byte.
        for (std::size_t i = 0; i < Z80_ROM_SIZE; ++i)
            cpu->Rom[i] = static_cast<uint8_t>(((i / Z80_BANK_SIZE) << 4) ^ (i & 0xFF));
    }
    uint8_t Expected(std::size_t bank, uint16_t offset) { return cpu->Rom[bank * Z80_BANK_SIZE + offset]; }
    uint8_t Read(uint16_t a) { return Z80_ReadMemory(*cpu, a); }
    void Write(uint16_t a, uint8_t v) { Z80_WriteMemory(*cpu, a, v); }
};

TEST_F(MemoryMapTest, WindowsFollowTheirPagingRegisters) {
    Write(0xFFFD, 5);
    Write(0xFFFE, 6);
    Write(0xFFFF, 7);
    const struct { uint16_t address; std::size_t bank; } cases[] = {
        {0x0000, 0}, {0x0100, 0}, {0x03FF, 0},  // first kilobyte never pages
        {0x0400, 5}, {0x3FFF, 5}, {0x4000, 6}, {0x7FFF, 6}, {0x8000, 7}, {0xBFFF, 7}};
    for (const auto& c : cases)
        EXPECT_EQ(Read(c.address), Expected(c.bank, c.address & 0x3FFF)) << std::hex << c.address;
}

TEST_F(MemoryMapTest, PagingValuesAreReducedButRamKeepsThemAsWritten) {
    Write(0xFFFF, 0x0B);  // 11 mod 8 banks
    EXPECT_EQ(cpu->PageSlot2, 3);
    EXPECT_EQ(Read(0x8000), Expected(3, 0));
    EXPECT_EQ(Read(0xFFFF), 0x0B);
    EXPECT_EQ(Read(0xDFFF), 0x0B) << "the registers sit on top of system RAM";

    cpu->RomBankCount = 3;  // a 48 KB image
    Write(0xFFFE, 3);
    EXPECT_EQ(cpu->PageSlot1, 0);

    cpu->RomBankCount = 255;  // not a count loading makes; reads stay in the area
    Write(0xFFFF, 200);
    EXPECT_EQ(Read(0x8000), Expected(200 % 64, 0));

    Write(0xDFFD, 0x02);  // the RAM mirror below does not reach the registers
    EXPECT_EQ(cpu->PageSlot0, 0);
    EXPECT_EQ(Read(0xFFFD), 0x02);
    Write(0xFFFC, 0x08);
    EXPECT_EQ(cpu->RamControl, 0x08);
    EXPECT_EQ(Read(0xDFFC), 0x08);
}

TEST_F(MemoryMapTest, SystemRamAppearsTwiceAndRomIgnoresWrites) {
    Write(0xC123, 0x42);
    EXPECT_EQ(Read(0xE123), 0x42);
    Write(0xFFFB, 0x43);
    EXPECT_EQ(Read(0xDFFB), 0x43);
    const uint8_t before = Read(0x1234);
    Write(0x1234, static_cast<uint8_t>(~before));
    Write(0x8000, 0x77);  // cartridge RAM off: ROM window, ignored
    EXPECT_EQ(Read(0x1234), before);
    EXPECT_EQ(Read(0x8000), Expected(2, 0));
    EXPECT_EQ(cpu->CartRamDirty, 0);
}

TEST_F(MemoryMapTest, CartridgeRamBanksAndTheUsedMark) {
    Write(0xFFFC, 0x08);
    EXPECT_EQ(cpu->CartRamDirty, 0);
    (void)Read(0x8000);
    EXPECT_EQ(cpu->CartRamDirty, 1) << "a read alone marks the RAM as used";
    Write(0x8001, 0xA0);
    Write(0xFFFC, 0x0C);
    Write(0x8001, 0xA1);
    Write(0xBFFF, 0xA2);
    EXPECT_EQ(cpu->CartRam[0x0001], 0xA0);
    EXPECT_EQ(cpu->CartRam[0x4001], 0xA1);
    EXPECT_EQ(cpu->CartRam[0x7FFF], 0xA2);
    EXPECT_EQ(Read(0x8001), 0xA1);

    // Cartridge RAM shows whether the BIOS or the cartridge is mapped.
    Interconnect_WritePort(bus, 0x3E, 0x00);
    EXPECT_EQ(Read(0x8001), 0xA1);
}

TEST_F(MemoryMapTest, BiosOrCartridgeBySelectedTypeWithTheImageMirrored) {
    for (std::size_t i = 0; i < Z80_BIOS_SIZE; ++i) {
        Z80_BiosImages[0][i] = static_cast<uint8_t>(i * 3);
        Z80_BiosImages[1][i] = static_cast<uint8_t>(i * 5 + 1);
    }
    Interconnect_Init(bus, *vdp, *psg);  // every start maps the BIOS
    const uint8_t types[] = {1, 7, 0};
    for (uint8_t type : types) {
        Z80_SetBiosType(*cpu, type);
        const auto& image = Z80_BiosImages[type ? 1 : 0];
        EXPECT_EQ(Read(0x0000), image[0]);
        EXPECT_EQ(Read(0x1FFF), image[0x1FFF]);
        EXPECT_EQ(Read(0x2005), image[0x0005]) << "an 8 KB chip mirrors across its window";
        EXPECT_EQ(Read(0x4003), image[0x0003]) << "slot 1 reads offset 0x4000, mirrored";
        EXPECT_EQ(Read(0xA010), image[0x0010]);
    }
    Interconnect_WritePort(bus, 0x3E, 0x08);
    EXPECT_EQ(Read(0x0000), cpu->Rom[0]);
    std::memset(Z80_BiosImages, 0, sizeof Z80_BiosImages);
}

TEST_F(MemoryMapTest, ClearRomZeroesTheAreaButKeepsTheBankCount) {
    Z80_ClearRom(*cpu);
    for (std::size_t i = 0; i < Z80_ROM_SIZE; i += 4099) ASSERT_EQ(cpu->Rom[i], 0);
    EXPECT_EQ(cpu->Rom[Z80_ROM_SIZE - 1], 0);
    EXPECT_EQ(cpu->RomBankCount, 8);
}

// The debugger's view: a peek returns what a read would in every mapping
// (BIOS, paged cartridge, either cartridge RAM bank), without marking the
// cartridge RAM as used, and the bank it names is where the byte lives.
TEST_F(MemoryMapTest, PeekAgreesWithReadWithoutMarkingAndNamesTheBank) {
    for (std::size_t i = 0; i < Z80_BIOS_SIZE; ++i) Z80_BiosImages[1][i] = static_cast<uint8_t>(i * 7 + 3);
    for (std::size_t i = 0; i < Z80_CART_RAM_SIZE; ++i) cpu->CartRam[i] = static_cast<uint8_t>(i * 11 + 5);
    for (std::size_t i = 0; i < Z80_RAM_SIZE; ++i) cpu->Ram[i] = static_cast<uint8_t>(i * 13 + 1);
    Z80_SetBiosType(*cpu, 1);
    struct Setting {
        uint8_t memoryControl, ramControl, slot0, slot1, slot2;
        const char* names[4];  // at 0x0100, 0x2000, 0x9000, 0xE000
    };
    const Setting settings[] = {
        {0x08, 0x00, 1, 2, 3, {"ROM 0", "ROM 1", "ROM 3", "RAM"}},
        {0x08, 0x08, 7, 6, 5, {"ROM 0", "ROM 7", "SRAM 0", "RAM"}},
        {0x08, 0x0C, 0, 1, 2, {"ROM 0", "ROM 0", "SRAM 1", "RAM"}},
        {0x00, 0x00, 4, 5, 6, {"BIOS", "BIOS", "BIOS", "RAM"}},
        {0x00, 0x08, 4, 5, 6, {"BIOS", "BIOS", "SRAM 0", "RAM"}},
    };
    for (const auto& s : settings) {
        Interconnect_WritePort(bus, 0x3E, s.memoryControl);
        cpu->RamControl = s.ramControl;
        cpu->PageSlot0 = s.slot0;
        cpu->PageSlot1 = s.slot1;
        cpu->PageSlot2 = s.slot2;
        cpu->CartRamDirty = 0;
        for (uint32_t a = 0; a < 0x10000; ++a) {
            const uint8_t peeked = Z80_PeekMemory(*cpu, static_cast<uint16_t>(a));
            ASSERT_EQ(cpu->CartRamDirty, 0) << std::hex << a;
            ASSERT_EQ(peeked, Read(static_cast<uint16_t>(a))) << std::hex << a << " " << s.names[2];
            cpu->CartRamDirty = 0;
        }
        const uint16_t probes[] = {0x0100, 0x2000, 0x9000, 0xE000};
        for (int i = 0; i < 4; ++i) {
            char name[8];
            EXPECT_STREQ(Z80_BankName(Z80_MapAddress(*cpu, probes[i]), name), s.names[i]) << std::hex << probes[i];
        }
    }
    char name[8];
    EXPECT_STREQ(Z80_BankName({TZ80BankKind::Rom, 63, 0}, name), "ROM 63");
    EXPECT_STREQ(Z80_BankName({TZ80BankKind::Sram, 1, 0}, name), "SRAM 1");
    const T_Z80_BANK ram = Z80_MapAddress(*cpu, 0xFFFF);
    EXPECT_EQ(ram.Offset, 0x1FFF) << "the upper copy of system RAM";
    std::memset(Z80_BiosImages, 0, sizeof Z80_BiosImages);
}

}  // namespace
