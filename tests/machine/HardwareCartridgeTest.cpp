// The hardware models through the console, on test cartridges of our own
// (tests/roms): the region as games detect it, the Codemasters, Korean and
// mapper-less boards as the settings and the image choose them, and the
// reset button of each model. The cartridges keep their results in system
// RAM from #C000 and mark them complete at #C03F.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "Console.h"

namespace {

constexpr uint32_t kDoneFlag = 0x3F;
constexpr uint8_t kDoneMark = 0xAA;

std::string Rom(const char* name) { return std::string(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms"; }

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TConsoleSettings Settings(TConsoleModel model, TConsoleRegion region = TConsoleRegion::Export,
                          TConsoleMapper mapper = TConsoleMapper::Automatic) {
    return TConsoleSettings{model, region, TConsoleVideo::Ntsc, mapper};
}

// The cartridge run from power-on (the BIOS first) until it marks its
// results complete.
std::unique_ptr<TConsole> RunCartridge(const char* name, const TConsoleSettings& settings) {
    auto console = std::make_unique<TConsole>(settings);
    console->LoadCartridge(Rom(name));
    for (int frame = 0; frame < 120 && console->Peek(TMemoryRegion::SystemRam, kDoneFlag) != kDoneMark; ++frame)
        console->RunFrame();
    EXPECT_EQ(console->Peek(TMemoryRegion::SystemRam, kDoneFlag), kDoneMark) << name << " did not finish";
    return console;
}

uint8_t Ram(const TConsole& console, uint32_t offset) { return console.Peek(TMemoryRegion::SystemRam, offset); }

TEST(HardwareCartridges, RegionDetectionAsGamesMakeIt) {
    const struct { TConsoleModel model; TConsoleRegion region; uint8_t high, low, verdict; } cases[] = {
        {TConsoleModel::Tiravel, TConsoleRegion::Export, 0xC0, 0x00, 1},
        {TConsoleModel::Tiravel, TConsoleRegion::Japan, 0xC0, 0x00, 1},  // the default model has no region
        {TConsoleModel::MasterSystem, TConsoleRegion::Export, 0xC0, 0x00, 1},
        {TConsoleModel::MasterSystem, TConsoleRegion::Japan, 0x00, 0xC0, 2},
        {TConsoleModel::MasterSystem2, TConsoleRegion::Export, 0xC0, 0x00, 1},
        {TConsoleModel::MasterSystem2, TConsoleRegion::Japan, 0x00, 0xC0, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << Console_ModelInfo(c.model).Id << " "
                                          << Console_OptionInfo(c.region).Id);
        const auto console = RunCartridge("region", Settings(c.model, c.region));
        EXPECT_EQ(Ram(*console, 0x00), c.high);
        EXPECT_EQ(Ram(*console, 0x01), c.low);
        EXPECT_EQ(Ram(*console, 0x02), c.verdict);
    }
}

// The byte at `offset` of bank `bank` of the image.
struct TImage {
    std::vector<uint8_t> Bytes;
    uint8_t At(unsigned bank, unsigned offset) const { return Bytes.at(bank * 0x4000u + offset); }
};

TEST(HardwareCartridges, CodemastersBankingFoundFromTheHeader) {
    const TImage image{ReadFile(Rom("mapper_codemasters"))};
    ASSERT_EQ(image.Bytes.size(), 8u * 0x4000);
    for (TConsoleModel model : {TConsoleModel::MasterSystem, TConsoleModel::MasterSystem2}) {
        SCOPED_TRACE(Console_ModelInfo(model).Id);
        const auto console = RunCartridge("mapper_codemasters", Settings(model));
        for (unsigned bank = 0; bank < 8; ++bank) {
            EXPECT_EQ(Ram(*console, 0x00 + bank), image.At(bank, 0x3FF0)) << "slot 2, bank " << bank;
            EXPECT_EQ(Ram(*console, 0x08 + bank), image.At(bank, 0x3FF0)) << "slot 1, bank " << bank;
            EXPECT_EQ(Ram(*console, 0x10 + bank), image.At(bank, 0x03F0)) << "first kilobyte, bank " << bank;
            EXPECT_EQ(Ram(*console, 0x18 + bank), image.At(bank, 0x3FF0)) << "slot 0, bank " << bank;
        }
        EXPECT_EQ(Ram(*console, 0x30), 0x5A) << "cartridge RAM at #A000";
        EXPECT_EQ(Ram(*console, 0x31), image.At(5, 0x1FF0));
        EXPECT_EQ(Ram(*console, 0x32), image.At(3, 0x3FF0));
        EXPECT_EQ(Ram(*console, 0x33), image.At(5, 0x2000)) << "RAM off again";
        EXPECT_EQ(console->Peek(TMemoryRegion::CartridgeRam, 0), 0x5A);
        EXPECT_TRUE(console->BatteryRamUsed());
    }
    // The default model always pages with the Sega mapper: the writes to
    // #8000 change nothing and slot 2 stays at bank 2. A hardware model
    // told to use the Sega mapper does the same.
    for (const TConsoleSettings& settings :
         {Settings(TConsoleModel::Tiravel), Settings(TConsoleModel::MasterSystem2, TConsoleRegion::Export,
                                                     TConsoleMapper::Sega)}) {
        SCOPED_TRACE(Console_ModelInfo(settings.Model).Id);
        const auto console = RunCartridge("mapper_codemasters", settings);
        for (unsigned bank = 0; bank < 8; ++bank) {
            EXPECT_EQ(Ram(*console, 0x00 + bank), image.At(2, 0x3FF0));
            EXPECT_EQ(Ram(*console, 0x10 + bank), image.At(0, 0x03F0));
        }
    }
}

TEST(HardwareCartridges, TheMapperFollowsTheModelChosenAfterTheCartridge) {
    const TImage image{ReadFile(Rom("mapper_codemasters"))};
    TConsole console;
    console.LoadCartridge(Rom("mapper_codemasters"));
    console.Configure(Settings(TConsoleModel::MasterSystem));
    for (int frame = 0; frame < 120 && Ram(console, kDoneFlag) != kDoneMark; ++frame) console.RunFrame();
    for (unsigned bank = 0; bank < 8; ++bank) EXPECT_EQ(Ram(console, bank), image.At(bank, 0x3FF0)) << bank;
}

TEST(HardwareCartridges, KoreanBankingOnlyWhenChosen) {
    const TImage image{ReadFile(Rom("mapper_korean"))};
    ASSERT_EQ(image.Bytes.size(), 8u * 0x4000);
    {
        const auto console =
            RunCartridge("mapper_korean", Settings(TConsoleModel::MasterSystem, TConsoleRegion::Japan, TConsoleMapper::Korean));
        for (unsigned bank = 0; bank < 8; ++bank) EXPECT_EQ(Ram(*console, bank), image.At(bank, 0x3FF0)) << bank;
        EXPECT_EQ(Ram(*console, 0x10), image.At(3, 0x3FF0)) << "#FFFF is no register";
        EXPECT_EQ(Ram(*console, 0x11), image.At(1, 0x3FF0)) << "#FFFE is no register";
    }
    {
        // Nothing marks a Korean cartridge: found automatically, it has the
        // Sega mapper.
        const auto console = RunCartridge("mapper_korean", Settings(TConsoleModel::MasterSystem2));
        for (unsigned bank = 0; bank < 8; ++bank) EXPECT_EQ(Ram(*console, bank), image.At(2, 0x3FF0)) << bank;
        EXPECT_EQ(Ram(*console, 0x10), image.At(6, 0x3FF0));
        EXPECT_EQ(Ram(*console, 0x11), image.At(6, 0x3FF0));
    }
}

TEST(HardwareCartridges, A48KbImageWithoutAMapper) {
    const struct { TConsoleSettings settings; uint8_t parts[3]; } cases[] = {
        {Settings(TConsoleModel::MasterSystem2, TConsoleRegion::Export, TConsoleMapper::None), {0, 1, 2}},
        {Settings(TConsoleModel::MasterSystem, TConsoleRegion::Japan, TConsoleMapper::None), {0, 1, 2}},
        {Settings(TConsoleModel::MasterSystem2), {2, 2, 0}},  // automatic: the Sega mapper
        {Settings(TConsoleModel::Tiravel), {2, 2, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << Console_ModelInfo(c.settings.Model).Id << " "
                                          << Console_OptionInfo(c.settings.Mapper).Id);
        const auto console = RunCartridge("mapper_none", c.settings);
        for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(Ram(*console, i), c.parts[i]) << i;
    }
}

TEST(HardwareCartridges, ResetButtonPerModel) {
    const struct { TConsoleModel model; uint8_t presses; } cases[] = {
        {TConsoleModel::Tiravel, 1}, {TConsoleModel::MasterSystem, 1}, {TConsoleModel::MasterSystem2, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(Console_ModelInfo(c.model).Id);
        TConsole console(Settings(c.model));
        console.LoadCartridge(Rom("reset"));
        for (int frame = 0; frame < 240; ++frame) console.RunFrame();  // past the BIOS's splash
        ASSERT_EQ(Ram(console, 0), 0);
        console.PressReset();
        for (int frame = 0; frame < 5; ++frame) console.RunFrame();
        EXPECT_EQ(Ram(console, 0), c.presses);
        EXPECT_EQ(Ram(console, 1), 0);
    }
}

}  // namespace
