// The Game Gear as a console model: the model a cartridge asks for, Start
// and the region on port 0x00 with no Pause NMI, the start without a BIOS
// and with a player's 1 KB dump, and states that hold its registers and
// load only into a Game Gear.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Console.h"
#include "SaveState.h"

namespace {

namespace fs = std::filesystem;

std::string Rom(const char* name) { return std::string(TIRAVEL_TEST_ROM_DIR) + "/" + name; }

constexpr TConsoleSettings kGameGear{TConsoleModel::GameGear};
constexpr TConsoleSettings kGameGearJapan{TConsoleModel::GameGear, TConsoleRegion::Japan};

// An image of `size` bytes with a "TMR SEGA" header at `at` whose last byte
// is `code` (region code in the high nibble).
std::vector<uint8_t> ImageWithHeader(std::size_t size, std::size_t at, uint8_t code) {
    std::vector<uint8_t> image(size, 0xFF);
    const char magic[] = "TMR SEGA";
    std::copy(magic, magic + 8, image.begin() + std::ptrdiff_t(at));
    image[at + 15] = code;
    return image;
}

TEST(GameGearModel, TheCartridgeChoosesTheModel) {
    const std::vector<uint8_t> plain(32768, 0xFF);
    struct TCase {
        const char* Name;
        std::vector<uint8_t> Image;
        TConsoleModel Chosen, Expected;
    };
    const TCase cases[] = {
        {"Game.gg", plain, TConsoleModel::Tiravel, TConsoleModel::GameGear},
        {"GAME.GG", plain, TConsoleModel::MasterSystem2, TConsoleModel::GameGear},
        {"Game.Gg", plain, TConsoleModel::MasterSystem, TConsoleModel::GameGear},
        {"Game.sms", plain, TConsoleModel::MasterSystem2, TConsoleModel::MasterSystem2},
        {"Game.bin", plain, TConsoleModel::Tiravel, TConsoleModel::Tiravel},
        {"Game.egg", plain, TConsoleModel::Tiravel, TConsoleModel::Tiravel},
        // The header's region code where the BIOS looks: 5-7 are the Game Gear's.
        {"Game.bin", ImageWithHeader(32768, 0x7FF0, 0x6C), TConsoleModel::Tiravel, TConsoleModel::GameGear},
        {"Game.bin", ImageWithHeader(32768, 0x7FF0, 0x5C), TConsoleModel::MasterSystem, TConsoleModel::GameGear},
        {"Game", ImageWithHeader(16384, 0x3FF0, 0x7B), TConsoleModel::Tiravel, TConsoleModel::GameGear},
        {"Game", ImageWithHeader(8192, 0x1FF0, 0x7A), TConsoleModel::Tiravel, TConsoleModel::GameGear},
        {"Game.bin", ImageWithHeader(32768, 0x7FF0, 0x4C), TConsoleModel::MasterSystem2, TConsoleModel::MasterSystem2},
        {"Game.bin", ImageWithHeader(32768, 0x7FF0, 0x3C), TConsoleModel::Tiravel, TConsoleModel::Tiravel},
        {"Game.bin", ImageWithHeader(32768, 0x7FF0, 0x8C), TConsoleModel::Tiravel, TConsoleModel::Tiravel},
        // A copier's 512-byte header in front moves the whole image.
        {"Game.bin", ImageWithHeader(32768 + 512, 0x7FF0 + 512, 0x6C), TConsoleModel::Tiravel, TConsoleModel::GameGear},
        // ".sms" keeps the player's model even with a Game Gear header.
        {"Game.SMS", ImageWithHeader(32768, 0x7FF0, 0x6C), TConsoleModel::MasterSystem2, TConsoleModel::MasterSystem2},
        // Too short for any header.
        {"x", std::vector<uint8_t>(100, 0), TConsoleModel::Tiravel, TConsoleModel::Tiravel},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " " + std::to_string(c.Image.size()));
        EXPECT_EQ(Console_ModelForCartridge(c.Name, c.Image, c.Chosen), c.Expected);
    }
}

// The console asks with the image's own name: a loaded ".gg" image, the
// same bytes under a ".sms" name, and no cartridge.
TEST(GameGearModel, TheConsoleAsksWithTheLoadedImage) {
    TConsole console;
    EXPECT_EQ(console.ModelForCartridge(TConsoleModel::MasterSystem), TConsoleModel::MasterSystem);
    console.LoadCartridge(Rom("gg_stereo.gg"));
    EXPECT_EQ(console.CartridgeImageName(), "gg_stereo.gg");
    EXPECT_EQ(console.ModelForCartridge(TConsoleModel::Tiravel), TConsoleModel::GameGear);
    std::vector<uint8_t> image(8192, 0xFF);
    console.LoadCartridge(image.data(), image.size(), "/x/plain.sms");
    EXPECT_EQ(console.ModelForCartridge(TConsoleModel::Tiravel), TConsoleModel::Tiravel);
}

uint8_t Ram(const TConsole& console, uint32_t offset) { return console.Peek(TMemoryRegion::SystemRam, offset); }

// Start is player 1's Pause input: a bit of port 0x00 while held, no NMI;
// bit 6 is the region. Without a BIOS the cartridge runs from the first frame.
TEST(GameGearModel, StartIsReadOnPortZeroAndRaisesNoNmi) {
    for (const TConsoleSettings& settings : {kGameGear, kGameGearJapan}) {
        const uint8_t region = settings.Region == TConsoleRegion::Japan ? 0x00 : 0x40;
        SCOPED_TRACE(Console_OptionInfo(settings.Region).Name);
        TConsole console(settings);
        console.LoadCartridge(Rom("gg_start.gg"));
        for (int frame = 0; frame < 10; ++frame) console.RunFrame();
        EXPECT_EQ(Ram(console, 3), 10) << "a frame interrupt from the first frame on: no BIOS ran";
        EXPECT_EQ(Ram(console, 4), 0x80 | region);
        for (int frame = 0; frame < 20; ++frame) {
            console.PressPause();
            console.RunFrame();
            EXPECT_EQ(Ram(console, 0), region) << "held in frame " << frame;
        }
        for (int frame = 0; frame < 5; ++frame) console.RunFrame();
        EXPECT_EQ(Ram(console, 0), 0x80 | region);
        EXPECT_EQ(Ram(console, 1), 20) << "Start seen held in every frame it was held";
        EXPECT_EQ(Ram(console, 2), 0) << "no NMI";
    }
    // The same cartridge on the Master System II: Pause is the NMI there,
    // and port 0x00 reads 0xFF.
    TConsole sms2({TConsoleModel::MasterSystem2});
    sms2.LoadCartridge(Rom("gg_start.gg"));
    for (int frame = 0; frame < 200; ++frame) sms2.RunFrame();
    sms2.PressPause();
    sms2.RunFrame();
    EXPECT_EQ(Ram(sms2, 2), 1);
    EXPECT_EQ(Ram(sms2, 0), 0xFF);
}

// A scratch folder of this test's own, removed at its end.
struct TFolder {
    fs::path Path;
    TFolder() {
        Path = fs::temp_directory_path() / ("tiravel-gg-bios-" + std::to_string(::getpid()));
        fs::create_directories(Path / "BIOS");
    }
    ~TFolder() {
        std::error_code ec;
        fs::remove_all(Path, ec);
        // Every console of the process shares the BIOS images: back to none.
        std::vector<std::string> messages;
        TConsole::InstallBiosImages({}, messages);
    }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(Path / "BIOS" / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
};

// A player's GameGear.bin runs first: 1 KB at 0x0000-0x03FF, the cartridge
// readable beside it (this one copies the header's first byte), until it
// hands over through port 0x3E from RAM. A file of another size is refused
// by name and size, and the cartridge then starts without a BIOS.
TEST(GameGearModel, ABiosDumpRunsFirstAndAWrongSizeIsRefused) {
    TFolder folder;
    std::vector<uint8_t> bios(1024, 0x00);
    const uint8_t code[] = {
        0x31, 0xF0, 0xDF,        // ld sp, 0xDFF0
        0x3A, 0xF0, 0x1F,        // ld a, (0x1FF0): the cartridge's header
        0x32, 0x10, 0xC0,        // ld (0xC010), a
        0x21, 0x20, 0x00,        // ld hl, hand-over code
        0x11, 0x00, 0xD0,        // ld de, 0xD000
        0x01, 0x07, 0x00,        // ld bc, 7
        0xED, 0xB0,              // ldir
        0xC3, 0x00, 0xD0,        // jp 0xD000
    };
    std::copy(std::begin(code), std::end(code), bios.begin());
    const uint8_t handOver[] = {0x3E, 0xAB, 0xD3, 0x3E, 0xC3, 0x00, 0x00};  // ld a, 0xAB; out (0x3E), a; jp 0
    std::copy(std::begin(handOver), std::end(handOver), bios.begin() + 0x20);
    folder.Write("GameGear.bin", bios);
    std::vector<std::string> messages;
    TConsole::InstallBiosImages({(folder.Path / "BIOS").string()}, messages);
    EXPECT_TRUE(messages.empty());

    TConsole console(kGameGear);
    console.LoadCartridge(Rom("gg_start.gg"));
    EXPECT_EQ(console.BankName(0x0000), "BIOS");
    EXPECT_EQ(console.BankName(0x0400), "ROM 0") << "the cartridge beside the 1 KB BIOS";
    for (int frame = 0; frame < 10; ++frame) console.RunFrame();
    EXPECT_EQ(Ram(console, 0x10), 'T');
    EXPECT_EQ(console.BankName(0x0000), "ROM 0") << "handed over";
    EXPECT_GE(Ram(console, 3), 8) << "the cartridge runs";

    folder.Write("GameGear.bin", std::vector<uint8_t>(8192, 0));
    TConsole::InstallBiosImages({(folder.Path / "BIOS").string()}, messages);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find((folder.Path / "BIOS" / "GameGear.bin").string() + " is 8192 bytes, not 1024"),
              std::string::npos)
        << messages[0];
    TConsole without(kGameGear);
    without.LoadCartridge(Rom("gg_start.gg"));
    EXPECT_EQ(without.BankName(0x0000), "ROM 0") << "no BIOS";
}

// A state holds Start, the region and the link registers (and the stereo
// routing in the PSG's part), runs on as the original, and loads only into
// a Game Gear of the same region.
TEST(GameGearModel, AStateHoldsItsRegistersAndLoadsOnlyIntoAGameGear) {
    TConsole original(kGameGear);
    original.LoadCartridge(Rom("gg_start.gg"));
    for (int frame = 0; frame < 30; ++frame) original.RunFrame();
    original.WritePort(0x02, 0x0F);
    original.WritePort(0x01, 0x30);
    original.WritePort(0x05, 0x38);
    original.WritePort(0x06, 0x5A);
    original.PressPause();
    original.RunFrame();
    std::vector<uint8_t> state;
    original.SaveState(state);
    const std::string bytes(state.begin(), state.end());
    EXPECT_NE(bytes.find("GGIO"), std::string::npos);

    TConsole copy(kGameGear);
    copy.LoadCartridge(Rom("gg_start.gg"));
    std::string error;
    ASSERT_TRUE(copy.LoadState(state.data(), state.size(), error)) << error;
    for (uint8_t port = 0; port <= 6; ++port) EXPECT_EQ(copy.ReadPort(port), original.ReadPort(port)) << int(port);
    for (int frame = 0; frame < 10; ++frame) {
        if (frame < 3) {
            original.PressPause();
            copy.PressPause();
        }
        original.RunFrame();
        copy.RunFrame();
    }
    std::vector<uint8_t> a, b;
    original.SaveState(a);
    copy.SaveState(b);
    EXPECT_EQ(a, b);
    EXPECT_EQ(Ram(copy, 1), 4) << "Start held in the frame saved and the three after it";

    TConsole sms2({TConsoleModel::MasterSystem2});
    sms2.LoadCartridge(Rom("gg_start.gg"));
    EXPECT_FALSE(sms2.LoadState(state.data(), state.size(), error));
    EXPECT_NE(error.find("saved on the Game Gear (Export, NTSC) model, but the machine runs the Master System II "
                         "(Export, NTSC) model"),
              std::string::npos)
        << error;
    TConsole japan(kGameGearJapan);
    japan.LoadCartridge(Rom("gg_start.gg"));
    EXPECT_FALSE(japan.LoadState(state.data(), state.size(), error));
    EXPECT_NE(error.find("Game Gear (Japan, NTSC)"), std::string::npos) << error;
}

}  // namespace
