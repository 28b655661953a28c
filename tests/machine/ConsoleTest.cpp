// The console's own interface, as a front end sees it: models by id, the
// cartridge from bytes as from a file, the battery RAM as bytes, the memory
// regions a debugger reads and changes, and the snapshot a debugger takes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "Console.h"
#include "PsgReadout.h"
#include "SaveState.h"

namespace {

std::string Rom(const char* name) { return std::string(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms"; }

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(ConsoleTest, ModelsAreFoundByTheirIdInAnyLetterCase) {
    ASSERT_FALSE(Console_Models().empty());
    TConsoleModel model{};
    EXPECT_TRUE(Console_FindModel("TIRAVEL", model));
    EXPECT_EQ(model, TConsoleModel::Tiravel);
    EXPECT_STREQ(Console_ModelInfo(model).Name, "Tiravel");
    EXPECT_FALSE(Console_FindModel("tiravel2", model));
    EXPECT_FALSE(Console_FindModel("", model));
    EXPECT_EQ(TConsole().Settings().Model, TConsoleModel::Tiravel) << "the default model unless asked otherwise";
}

// A cartridge handed over as bytes runs exactly as the same file does, and
// its name is what states and messages give.
TEST(ConsoleTest, ACartridgeFromBytesRunsAsTheSameFile) {
    const std::vector<uint8_t> image = ReadFile(Rom("paging"));
    ASSERT_FALSE(image.empty());
    TConsole fromFile, fromBytes;
    fromFile.LoadCartridge(Rom("paging"));
    fromBytes.LoadCartridge(image.data(), image.size(), "/somewhere/paging.sms");
    EXPECT_EQ(fromBytes.CartridgeName(), "paging.sms");
    for (int frame = 0; frame < 120; ++frame) {
        fromFile.RunFrame();
        fromBytes.RunFrame();
        const std::span<const uint8_t> a = fromFile.RenderFrameSamples(), b = fromBytes.RenderFrameSamples();
        ASSERT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << "frame " << frame;
    }
    std::vector<uint8_t> a, b;
    fromFile.SaveState(a);
    fromBytes.SaveState(b);
    EXPECT_EQ(a, b);

    // Refused bytes name the given file and change nothing.
    const uint8_t tooShort[100] = {};
    try {
        fromBytes.LoadCartridge(tooShort, sizeof tooShort, "short.sms");
        ADD_FAILURE() << "a 100-byte image was taken";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("\"short.sms\""), std::string::npos) << e.what();
    }
    EXPECT_EQ(fromBytes.CartridgeName(), "paging.sms");
    fromBytes.RemoveCartridge();
    EXPECT_FALSE(fromBytes.HasCartridge());
    EXPECT_EQ(fromBytes.CartridgeName(), "");
}

TEST(ConsoleTest, BatteryRamAsBytesAndWhetherTheGameUsedIt) {
    TConsole console;
    console.LoadCartridge(Rom("battery"));
    const std::vector<uint8_t> save(100, 0x42);
    console.SetBatteryRam(save);
    EXPECT_FALSE(console.BatteryRamUsed()) << "a loaded save is no use of the RAM";
    EXPECT_EQ(console.BatteryRam()[99], 0x42);
    EXPECT_EQ(console.BatteryRam()[100], 0) << "a shorter save fills only its length";
    for (int frame = 0; frame < 150 && !console.BatteryRamUsed(); ++frame) console.RunFrame();
    EXPECT_TRUE(console.BatteryRamUsed()) << "the battery cartridge counts its starts in its RAM";
}

// The regions a debugger shows: reads have no side effect, writes follow
// the hardware's rules.
TEST(ConsoleTest, MemoryRegionsArePeekedWithoutSideEffectsAndPokedByTheRules) {
    TConsole console;
    console.LoadCartridge(Rom("paging"));
    EXPECT_EQ(console.RegionSize(TMemoryRegion::SystemRam), 8192u);
    EXPECT_EQ(console.RegionSize(TMemoryRegion::CartridgeRam), 32768u);
    EXPECT_EQ(console.RegionSize(TMemoryRegion::Vram), 16384u);
    EXPECT_EQ(console.RegionSize(TMemoryRegion::Cram), 32u);
    EXPECT_EQ(console.RegionSize(TMemoryRegion::CpuSpace), 65536u);

    console.Poke(TMemoryRegion::SystemRam, 0x10, 0xAB);
    EXPECT_EQ(console.Peek(TMemoryRegion::CpuSpace, 0xC010), 0xAB);
    EXPECT_EQ(console.Peek(TMemoryRegion::CpuSpace, 0xE010), 0xAB) << "system RAM is mirrored";
    console.Poke(TMemoryRegion::Cram, 3, 0xFF);
    EXPECT_EQ(console.Peek(TMemoryRegion::Cram, 3), 0x3F) << "a colour keeps six bits";
    EXPECT_EQ(console.Peek(TMemoryRegion::Vram, 20000), 0) << "past the end reads nothing";

    EXPECT_FALSE(console.BatteryRamUsed());
    (void)console.Peek(TMemoryRegion::CartridgeRam, 5);
    EXPECT_FALSE(console.BatteryRamUsed()) << "looking is no use";
    console.Poke(TMemoryRegion::CartridgeRam, 5, 7);
    EXPECT_TRUE(console.BatteryRamUsed()) << "a debugger's change is kept in the battery file";
    EXPECT_EQ(console.RegionData(TMemoryRegion::CartridgeRam)[5], 7);
    EXPECT_EQ(console.RegionData(TMemoryRegion::CpuSpace), nullptr);

    // The paging register at #FFFF, written as the CPU writes it, with the
    // cartridge mapped in place of the BIOS as the BIOS leaves it.
    EXPECT_EQ(console.BankName(0x0000), "BIOS");
    console.WritePort(0x3E, 0x08);
    console.Poke(TMemoryRegion::CpuSpace, 0xFFFF, 3);
    EXPECT_EQ(console.RomBankAt(0x8000), 3);
    EXPECT_EQ(console.BankName(0x8000), "ROM 3");
    EXPECT_EQ(console.BankName(0xC000), "RAM");

    TCpuRegisters registers = console.Registers();
    registers.PC = 0x1234;
    registers.AltH = 0x56;
    console.SetRegisters(registers);
    EXPECT_EQ(console.Registers().PC, 0x1234);
    EXPECT_EQ(console.Registers().AltH, 0x56);
}

// A debugger's snapshot: the same console at that moment, and independent of
// it afterwards in both directions.
TEST(ConsoleTest, ASnapshotIsTheConsoleAtThatMomentAndStaysApart) {
    TConsole running;
    running.LoadCartridge(Rom("tone"));
    for (int frame = 0; frame < 90; ++frame) running.RunFrame();
    TConsole snapshot;
    snapshot.CopyFrom(running);
    std::vector<uint8_t> a, b;
    running.SaveState(a);
    snapshot.SaveState(b);
    EXPECT_EQ(a, b);
    EXPECT_EQ(snapshot.FrameNumber(), running.FrameNumber());
    EXPECT_TRUE(snapshot.HasPicture());
    T_PSG_READOUT sound{}, copied{};
    running.ReadSound(sound);
    snapshot.ReadSound(copied);
    EXPECT_EQ(sound.Tones[0].Period, copied.Tones[0].Period);

    // The snapshot's ports reach its own chips, not the running console's.
    snapshot.WritePort(0x7F, 0x9F);  // tone 1 silent, in the copy only
    snapshot.ReadSound(copied);
    running.ReadSound(sound);
    EXPECT_EQ(copied.Tones[0].Attenuation, 15);
    EXPECT_NE(sound.Tones[0].Attenuation, 15);
    running.RunFrame();
    EXPECT_NE(snapshot.FrameNumber(), running.FrameNumber());
}

}  // namespace
