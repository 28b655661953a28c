// The runner's console options: --model, --region, --video and --mapper take
// the ids of the console's tables, refuse anything else naming what they
// accept, and a hardware model's run writes its pictures at the height the
// frame has; the default model's output does not move.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "HeadlessRun.h"

namespace fs = std::filesystem;

namespace {

THeadlessRun Runner(const std::string& args) { return RunHeadless(args, "timeout 60 "); }

std::string Demo() { return std::string("'") + TIRAVEL_DEMO_ROM + "'"; }

uint32_t Le32(const std::string& bytes, std::size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
}

uint32_t Be32(const std::string& bytes, std::size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) << 24 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3]));
}

TEST(ModelOptions, EveryIdOfTheTablesIsAcceptedInAnyLetterCase) {
    for (const char* args : {"--model tiravel", "--model sms1", "--model=SMS2", "--model GameGear", "--model sms1 --region japan",
                             "--model sms2 --region=export --video pal", "--model sms1 --video NTSC",
                             "--model sms2 --mapper auto", "--model sms2 --mapper sega", "--model sms1 --mapper codemasters",
                             "--model sms1 --mapper korean", "--model sms2 --mapper=none"}) {
        const THeadlessRun run = Runner(std::string(args) + " --frames 2");
        EXPECT_EQ(run.Status, 0) << args << ": " << run.Err;
        EXPECT_EQ(run.Err, "") << args;
    }
}

TEST(ModelOptions, ABadValueIsRefusedNamingTheAcceptedOnes) {
    const struct {
        const char* Args;
        const char* Message;
    } cases[] = {
        {"--model sms3", "--model must be tiravel, sms1, sms2 or gamegear, not 'sms3'"},
        {"--model=", "--model needs tiravel, sms1, sms2 or gamegear"},
        {"--region usa", "--region must be export or japan, not 'usa'"},
        {"--video secam", "--video must be ntsc or pal, not 'secam'"},
        {"--mapper", "--mapper needs auto, sega, codemasters, korean or none"},
        {"--mapper sega2", "--mapper must be auto, sega, codemasters, korean or none, not 'sega2'"},
    };
    for (const auto& c : cases) {
        const THeadlessRun run = Runner(std::string("--frames 2 ") + c.Args);
        EXPECT_EQ(run.Status, 2) << c.Args;
        EXPECT_NE(run.Err.find(std::string("tiravel-headless: ") + c.Message + "\n"), std::string::npos)
            << c.Args << ": " << run.Err;
    }
    const THeadlessRun help = Runner("--help");
    ASSERT_EQ(help.Status, 0);
    for (const char* text : {"--model MODEL", "tiravel (default, Tiravel)", "sms2 (Master System II)", "gamegear (Game Gear)",
                             "--region REGION", "--video STANDARD", "ntsc (default) or pal", "--mapper MAPPER"})
        EXPECT_NE(help.Out.find(text), std::string::npos) << text;
}

// The Tiravel model has no region, standard or mapper: given, they are
// named in a warning and change nothing, byte for byte.
TEST(ModelOptions, TheDefaultModelIgnoresTheHardwareOptionsWithAWarning) {
    const THeadlessRun plain = Runner("--frames 120 --hash " + Demo());
    const THeadlessRun given = Runner("--frames 120 --hash --video pal --region japan --mapper none " + Demo());
    ASSERT_EQ(plain.Status, 0) << plain.Err;
    ASSERT_EQ(given.Status, 0) << given.Err;
    EXPECT_EQ(given.Out, plain.Out);
    for (const char* option : {"--video", "--region", "--mapper"})
        EXPECT_NE(given.Err.find(std::string("warning: ") + option + " applies to the Master System models only"),
                  std::string::npos)
            << given.Err;
}

// A Master System II in PAL runs, and its pictures are written at the height
// its frame has (the VDP's mode: 192, 224 or 240 lines): the bitmap whole,
// the PNG with as many rows.
TEST(ModelOptions, AHardwareModelsPicturesHaveTheFramesOwnHeight) {
    const fs::path bmp = Scratch() / "sms2-pal.bmp", png = Scratch() / "sms2-pal.png";
    const THeadlessRun run = Runner("--model sms2 --video pal --frames 150 --hash --speed --bmp '" + bmp.string() +
                                 "' --png '" + png.string() + "' " + Demo());
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("times real time"), std::string::npos);
    const std::string bitmap = ReadAll(bmp), picture = ReadAll(png);
    ASSERT_GE(bitmap.size(), 54u);
    const uint32_t height = Le32(bitmap, 22);
    EXPECT_TRUE(height == 192 || height == 224 || height == 240) << height;
    EXPECT_EQ(bitmap.size(), 1078u + 256u * height);
    ASSERT_GE(picture.size(), 24u);
    EXPECT_EQ(picture.substr(12, 4), "IHDR");
    EXPECT_EQ(Be32(picture, 16), 256u);
    EXPECT_EQ(Be32(picture, 20), height);
}

// The Game Gear's pictures have the frame's own width and height, whatever
// they are (the bitmap's header says), in the bitmap, the PNG and the
// picture of a break; a .gg cartridge chooses the model with nothing said.
TEST(ModelOptions, TheGameGearsPicturesHaveTheFramesOwnSize) {
    const std::string rom = std::string(" '") + TIRAVEL_TEST_ROM_DIR + "/gg_start.gg'";
    for (const char* model : {"--model gamegear ", ""}) {
        SCOPED_TRACE(model);
        const fs::path bmp = Scratch() / "gg.bmp", png = Scratch() / "gg.png";
        const THeadlessRun run = Runner(std::string(model) + "--frames 5 --hash --bmp '" + bmp.string() + "' --png '" +
                                        png.string() + "'" + rom);
        ASSERT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(run.Err, "");
        const std::string bitmap = ReadAll(bmp), picture = ReadAll(png);
        ASSERT_GE(bitmap.size(), 54u);
        const uint32_t width = Le32(bitmap, 18), height = Le32(bitmap, 22);
        EXPECT_TRUE(width == 160 || width == 256) << width;
        EXPECT_EQ(bitmap.size(), 1078u + width * height);
        ASSERT_GE(picture.size(), 24u);
        EXPECT_EQ(Be32(picture, 16), width);
        EXPECT_EQ(Be32(picture, 20), height);
    }
    const fs::path broken = Scratch() / "gg-break.bmp";
    const THeadlessRun stop = Runner("--frames 5 --break 0x0038 --bmp '" + broken.string() + "'" + rom);
    EXPECT_EQ(stop.Status, 3) << stop.Err;
    const std::string bitmap = ReadAll(broken);
    ASSERT_GE(bitmap.size(), 54u);
    EXPECT_EQ(bitmap.size(), 1078u + Le32(bitmap, 18) * Le32(bitmap, 22));
}

}  // namespace
