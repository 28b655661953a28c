// The Game Gear through the runner: a .gg cartridge chooses the model with
// no --model, and Start is player 1's Pause in an input script, read on
// port 0x00 beside the region (--region) and raising no NMI. The cartridge
// keeps its readings in RAM, read back from the run's saved state.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "Console.h"
#include "HeadlessRun.h"

namespace {

namespace fs = std::filesystem;

const std::string kRom = std::string(TIRAVEL_TEST_ROM_DIR) + "/gg_start.gg";

TEST(GameGearRunner, StartInAnInputScriptIsReadOnPortZero) {
    const fs::path script = Scratch() / "start.txt";
    std::ofstream(script) << "10 press pause\n30 release pause\n";
    for (const TConsoleRegion region : {TConsoleRegion::Export, TConsoleRegion::Japan}) {
        const std::string id = Console_OptionInfo(region).Id;
        SCOPED_TRACE(id);
        const fs::path state = Scratch() / ("start-" + id + ".state");
        const THeadlessRun run = RunHeadless("--frames 40 --region " + id + " --input '" + script.string() +
                                             "' --save-state '" + state.string() + "' '" + kRom + "'");
        ASSERT_EQ(run.Status, 0) << run.Command << "\n" << run.Err;
        EXPECT_EQ(run.Out, "") << "nothing said about the model chosen";
        EXPECT_EQ(run.Err, "");

        TConsole console({TConsoleModel::GameGear, region});
        console.LoadCartridge(kRom);
        std::string error;
        ASSERT_TRUE(console.LoadStateFile(state.string(), error)) << error << " (the state is the Game Gear's)";
        const uint8_t regionBit = region == TConsoleRegion::Japan ? 0x00 : 0x40;
        EXPECT_EQ(console.Peek(TMemoryRegion::SystemRam, 0), 0x80 | regionBit) << "released at the end";
        EXPECT_EQ(console.Peek(TMemoryRegion::SystemRam, 1), 20) << "held in frames 10-29";
        EXPECT_EQ(console.Peek(TMemoryRegion::SystemRam, 2), 0) << "no NMI";
        EXPECT_EQ(console.Peek(TMemoryRegion::SystemRam, 3), 40) << "a frame interrupt in every frame: no BIOS ran";
    }
}

// --model chooses for the cartridge: the same image runs as a Master System
// II when asked, its state that model's.
TEST(GameGearRunner, AModelGivenIsKept) {
    const fs::path state = Scratch() / "sms2.state";
    const THeadlessRun run = RunHeadless("--model sms2 --frames 5 --save-state '" + state.string() + "' '" + kRom + "'");
    ASSERT_EQ(run.Status, 0) << run.Err;
    TConsole console({TConsoleModel::MasterSystem2});
    console.LoadCartridge(kRom);
    std::string error;
    EXPECT_TRUE(console.LoadStateFile(state.string(), error)) << error;
}

}  // namespace
