// TSMS on the real cores: battery RAM on stop, the BIOS images in place, and
// frames of the BIOS running into a valid frame image.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "ConsoleChips.h"
#include "BiosFiles.h"
#include "MachineRig.h"
#include "SMS.h"

namespace fs = std::filesystem;

namespace {

struct MachineCoresTest : ::testing::Test, TMachineRig<> {
    fs::path dir;

    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("tiravel_machine_" + std::to_string(getpid()) + "_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string WriteRom() {
        // A cartridge that spins in place: JR -2.
        std::vector<uint8_t> rom(32768, 0);
        rom[0] = 0x18;
        rom[1] = 0xFE;
        const fs::path path = dir / "Game.sms";
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(rom.data()), rom.size());
        return path.string();
    }
    void StartGame() {
        machine.InitMachine();
        machine.StopEmulation();
        machine.LoadRom(WriteRom());
        machine.SetRamPath((dir / "Game.RAM").string());
        std::string error;
        machine.Console->LoadBatteryFile(machine.RamPath, error);
        machine.ResumeEmulation();
    }
};

TEST_F(MachineCoresTest, StopSavesTheBatteryRamOnlyWhenTheGameUsedIt) {
    StartGame();
    ServeFrames(2);
    machine.StopEmulation();
    EXPECT_FALSE(fs::exists(dir / "Game.RAM")) << "an unused cartridge RAM is not saved";

    machine.ResumeEmulation();
    onPresent = [this] {  // runs while the machine waits: the cores are ours
        TConsoleChips::Cpu(*machine.Console).CartRam[0] = 0x5A;
        TConsoleChips::Cpu(*machine.Console).CartRam[32767] = 0xA5;
        TConsoleChips::Cpu(*machine.Console).CartRamDirty = 1;
    };
    ServeFrames(3);
    machine.StopEmulation();
    ASSERT_TRUE(fs::exists(dir / "Game.RAM"));
    EXPECT_EQ(fs::file_size(dir / "Game.RAM"), 32768u);
    std::ifstream in(dir / "Game.RAM", std::ios::binary);
    std::vector<char> saved(32768);
    in.read(saved.data(), saved.size());
    EXPECT_EQ(uint8_t(saved[0]), 0x5A);
    EXPECT_EQ(uint8_t(saved[32767]), 0xA5);
    EXPECT_TRUE(errors.empty());
}

TEST_F(MachineCoresTest, FailedBatterySaveIsReportedWithTheCoresMessage) {
    StartGame();
    // A folder that cannot exist: its parent is the ROM file.
    machine.SetRamPath((dir / "Game.sms" / "Game.RAM").string());
    onPresent = [this] { TConsoleChips::Cpu(*machine.Console).CartRamDirty = 1; };
    ServeFrames(1);
    machine.StopEmulation();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Game.RAM"), std::string::npos) << errors[0];
}

TEST_F(MachineCoresTest, FramesOfTheBiosProduceTheFrameImage) {
    machine.InitMachine();
    EXPECT_EQ(TConsoleChips::Cpu(*machine.Console).BiosType, 1);
    Z80_ClearRom(TConsoleChips::Cpu(*machine.Console));
    machine.MarkReady();
    for (int frame = 0; frame < 3; ++frame) machine.RunFrame();
    EXPECT_EQ(machine.FrameStream.Data[0], 'B');
    EXPECT_EQ(machine.FrameStream.Data[1], 'M');
    EXPECT_EQ(TConsoleChips::Vdp(*machine.Console).CurrentLine, 261u);
}

TEST_F(MachineCoresTest, BiosDumpOfTheRightSizeReplacesTheBuiltInImageAndOthersAreRefused) {
    const fs::path exeLike = dir / "a";
    const fs::path user = dir / "b";
    fs::create_directories(exeLike);
    fs::create_directories(user);
    std::vector<char> dump(8192, 0x11);
    std::ofstream(user / "Japanese.bin", std::ios::binary).write(dump.data(), dump.size());
    std::ofstream(exeLike / "American.bin", std::ios::binary).write(dump.data(), 100);
    std::ofstream(user / "American.bin", std::ios::binary).write(dump.data(), dump.size());

    std::vector<std::string> messages;
    Bios_InstallImages({exeLike.string(), user.string()}, messages);
    EXPECT_EQ(Z80_BiosImages[0][0], 0x11);
    EXPECT_EQ(Z80_BiosImages[0][8191], 0x11);
    EXPECT_NE(Z80_BiosImages[1][8191], 0x11) << "the first file found decides, and it was refused";
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find((exeLike / "American.bin").string()), std::string::npos) << messages[0];
    EXPECT_NE(messages[0].find("100 bytes"), std::string::npos) << messages[0];

    std::string message;
    EXPECT_FALSE(Bios_LoadDump((dir / "none.bin").string(), 1, message));
    EXPECT_NE(message.find("none.bin"), std::string::npos);
}

}  // namespace
