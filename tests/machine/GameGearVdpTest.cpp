// The Game Gear's VDP seen by programs: test cartridges of our own run on
// the Game Gear model, and the 160 x 144 picture they leave is checked
// pixel by pixel in RGB against the colours they wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Console.h"
#include "SaveState.h"

namespace {

std::string Rom(const char* name) { return std::string(TIRAVEL_TEST_ROM_DIR) + "/" + name + ".sms"; }

const TConsoleSettings kGameGear{TConsoleModel::GameGear, TConsoleRegion::Export, TConsoleVideo::Ntsc};

uint8_t Ram(const TConsole& console, uint32_t address) {
    return console.Peek(TMemoryRegion::SystemRam, address - 0xC000);
}

bool RunUntil(TConsole& console, uint32_t address, uint8_t value, int limit = 600) {
    for (int frame = 0; frame < limit; ++frame) {
        if (Ram(console, address) == value) return true;
        console.RunFrame();
    }
    return Ram(console, address) == value;
}

// A 12-bit %----BBBB GGGGRRRR word as the screen shows it.
uint32_t Rgb(uint16_t word) {
    return 17u * ((word & 15u) << 16 | ((word >> 4) & 15u) << 8 | ((word >> 8) & 15u));
}

// The picture in RGB, row by row; fails the test unless it is 160 x 144.
std::vector<uint32_t> Picture(const TConsole& console) {
    EXPECT_EQ(console.PictureWidth(), 160u);
    EXPECT_EQ(console.PictureHeight(), 144u);
    std::vector<uint32_t> pixels(CONSOLE_MAX_PICTURE_PIXELS);
    console.FrameToXrgb8888(pixels.data());
    pixels.resize(160 * 144);
    return pixels;
}

// Counts the pixels that differ from `expected(x, y)` and reports the first.
template <typename F>
void ExpectPicture(const std::vector<uint32_t>& pixels, F expected, const char* what) {
    int wrong = 0;
    for (uint32_t y = 0; y < 144; ++y)
        for (uint32_t x = 0; x < 160; ++x)
            if (pixels[y * 160 + x] != expected(x, y) && wrong++ == 0)
                ADD_FAILURE() << what << ": pixel (" << x << ", " << y << ") is " << std::hex << pixels[y * 160 + x]
                              << ", not " << expected(x, y);
    EXPECT_EQ(wrong, 0) << what;
}

TEST(GameGearVdpTest, CramWrittenThroughTheLatchShowsItsTwelveBitColours) {
    // gg_cram.asm's table, then its writes through the latch.
    uint16_t cram[32] = {0x013, 0xC6A, 0x1B1, 0x208, 0x25F, 0x8A6, 0x3FD, 0xE44, 0x49B, 0x4E2, 0x539,
                         0xA80, 0x6D7, 0x02E, 0x775, 0x6CC, 0x8F3, 0xCEA, 0x9D1, 0x2C8, 0xABF, 0x8A6,
                         0xB9D, 0xE84, 0xC7B, 0x462, 0xD59, 0xA40, 0xE37, 0x02E, 0xF15, 0x60C};
    cram[5] = 0xC34;   // even then odd
    cram[6] = 0x534;   // odd again: the latch reused
    cram[7] = 0xA34;
    cram[16] = 0x19B;  // $00 then $21: the odd address's word
    cram[31] = 0xF5A;  // $7E, $7F: the address counts modulo 64
    cram[0] = 0xFC3;   // $80, $81
    TConsole console(kGameGear);
    console.LoadCartridge(Rom("gg_cram"));
    ASSERT_TRUE(RunUntil(console, 0xD000, 0xA5));
    console.RunFrame();
    console.RunFrame();
    // Window pixel (x, y) is picture pixel (x + 48, y + 24): tile column
    // x / 8 + 6 shows colour (column - 6) AND 15, rows 12 on the sprite half.
    ExpectPicture(
        Picture(console),
        [&](uint32_t x, uint32_t y) {
            const uint32_t column = (x + 48) / 8, row = (y + 24) / 8;
            return Rgb(cram[((column - 6) & 15) + (row >= 12 ? 16 : 0)]);
        },
        "gg_cram");
}

TEST(GameGearVdpTest, WindowIsTheMiddleOfThePictureInBothHeights) {
    const uint16_t colours[16] = {0x000, 0xFFF, 0x00F, 0x0F0, 0xF00, 0x0FF, 0xF0F, 0xFF0,
                                  0x888, 0x468, 0x846, 0x684, 0x2AC, 0xC2A, 0xAC2, 0x531};
    TConsole console(kGameGear);
    console.LoadCartridge(Rom("gg_window"));
    // The cartridge's table row t (of 32) shows colour (column + 5t) AND 15;
    // the 192-line mode reads it from row 4 on.
    struct TCase {
        uint8_t Phase;
        uint32_t Top;       // the window's first line on the picture
        uint32_t TableRow;  // the table row of the picture's line 0
    };
    for (const TCase c : {TCase{0xA1, 24, 4}, TCase{0xA2, 40, 0}}) {
        ASSERT_TRUE(RunUntil(console, 0xD000, c.Phase)) << int(c.Phase);
        console.RunFrame();
        ExpectPicture(
            Picture(console),
            [&](uint32_t x, uint32_t y) {
                const uint32_t column = (x + 48) / 8, row = (y + c.Top) / 8 + c.TableRow;
                return Rgb(colours[(column + 5 * row) & 15]);
            },
            c.Top == 24 ? "192 lines" : "224 lines");
    }
}

// A state keeps the 12-bit CRAM and the picture's palette: loaded into
// another console it shows the same image, and both go on alike; a front
// end makes the same picture from the file alone.
TEST(GameGearVdpTest, AStateShowsItsPictureAndGoesOnAlike) {
    TConsole console(kGameGear);
    console.LoadCartridge(Rom("gg_cram"));
    ASSERT_TRUE(RunUntil(console, 0xD000, 0xA5));
    console.RunFrame();
    std::vector<uint8_t> state;
    console.SaveState(state);
    const std::size_t size = console.FrameImageSize();
    const std::vector<uint8_t> saved(console.FrameImage(), console.FrameImage() + size);

    std::vector<uint8_t> image(CONSOLE_MAX_FRAME_IMAGE_SIZE);
    std::size_t imageSize = 0;
    ASSERT_TRUE(SMS_StateFrameImage(state.data(), state.size(), image.data(), imageSize));
    ASSERT_EQ(imageSize, size);
    EXPECT_TRUE(std::equal(saved.begin(), saved.end(), image.begin()));

    TConsole other(kGameGear);
    other.LoadCartridge(Rom("gg_cram"));
    std::string error;
    ASSERT_TRUE(other.LoadState(state.data(), state.size(), error, "")) << error;
    EXPECT_TRUE(std::equal(saved.begin(), saved.end(), other.FrameImage()));
    console.RunFrame();
    other.RunFrame();
    EXPECT_TRUE(std::equal(console.FrameImage(), console.FrameImage() + size, other.FrameImage()));
}

}  // namespace
