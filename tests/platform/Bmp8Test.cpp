// 8-bit bitmaps read without a toolkit: rows in either order with their
// padding, the palette's colours, and every header that does not add up
// refused before anything is read past the file's end.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Bmp8.h"

namespace {

void Put16(std::vector<uint8_t>& file, size_t at, uint32_t v) {
    file[at] = static_cast<uint8_t>(v);
    file[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& file, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// A 3 x 2 bitmap of 4 colours; stored row r holds indices r*3 .. r*3+2
// (index 4 and 5 lie past the palette), each row padded to 4 bytes.
std::vector<uint8_t> SmallBitmap(bool topDown) {
    const uint32_t colours = 4, pixelOffset = 14 + 40 + 4 * colours;
    std::vector<uint8_t> file(pixelOffset + 2 * 4, 0);
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, static_cast<uint32_t>(file.size()));
    Put32(file, 10, pixelOffset);
    Put32(file, 14, 40);
    Put32(file, 18, 3);
    Put32(file, 22, topDown ? static_cast<uint32_t>(-2) : 2u);
    Put16(file, 26, 1);
    Put16(file, 28, 8);
    Put32(file, 46, colours);
    const uint8_t palette[4][4] = {{0, 0, 0, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}};  // B, G, R, -
    std::memcpy(file.data() + 54, palette, sizeof palette);
    for (uint32_t row = 0; row < 2; ++row)
        for (uint32_t x = 0; x < 3; ++x) file[pixelOffset + row * 4 + x] = static_cast<uint8_t>(row * 3 + x);
    file[pixelOffset + 3] = 0xEE;  // padding, never shown
    return file;
}

TEST(Bmp8Test, RowsComeOutTopFirstThroughThePalette) {
    constexpr uint32_t black = 0xFF000000, red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF;
    for (bool topDown : {false, true}) {
        const std::vector<uint8_t> file = SmallBitmap(topDown);
        TBmp8 bmp;
        ASSERT_TRUE(Bmp8_Parse(file.data(), file.size(), bmp));
        EXPECT_EQ(bmp.Width, 3);
        EXPECT_EQ(bmp.Height, 2);
        // Two rows of 4 words: the fourth word of each row must stay untouched.
        std::vector<uint32_t> out(8, 0x12345678);
        Bmp8_Convert(bmp, out.data(), 4 * sizeof(uint32_t));
        const std::vector<uint32_t> storedFirst = {black, red, green, 0x12345678};
        const std::vector<uint32_t> storedSecond = {blue, black, black, 0x12345678};  // 4, 5: past the palette
        const auto top = std::vector<uint32_t>(out.begin(), out.begin() + 4);
        const auto bottom = std::vector<uint32_t>(out.begin() + 4, out.end());
        EXPECT_EQ(top, topDown ? storedFirst : storedSecond) << "top down " << topDown;
        EXPECT_EQ(bottom, topDown ? storedSecond : storedFirst) << "top down " << topDown;
    }
}

TEST(Bmp8Test, HeadersThatDoNotAddUpAreRefused) {
    struct TCase {
        const char* What;
        size_t At;
        uint32_t Value;
        int Bytes;  // 2 or 4; 0 = cut the file to `At` bytes
    };
    const std::vector<uint8_t> good = SmallBitmap(false);
    const TCase cases[] = {
        {"not BM", 0, 'X', 2},
        {"24 bits a pixel", 28, 24, 2},
        {"two planes", 26, 2, 2},
        {"run-length compressed", 30, 1, 4},
        {"zero width", 18, 0, 4},
        {"negative width", 18, static_cast<uint32_t>(-3), 4},
        {"zero height", 22, 0, 4},
        {"a huge height", 22, 100000, 4},
        {"a huge top-down height", 22, static_cast<uint32_t>(-100000), 4},
        {"more than 256 colours", 46, 257, 4},
        {"palette running into the pixels", 46, 5, 4},
        {"short header", 14, 12, 4},
        {"pixels past the end", 10, static_cast<uint32_t>(good.size() - 7), 4},
        {"pixel offset near 4 GB", 10, 0xFFFFFFF0u, 4},
        {"header size near 4 GB", 14, 0xFFFFFFF0u, 4},
        {"last row cut short", good.size() - 1, 0, 0},
        {"header cut short", 40, 0, 0},
    };
    TBmp8 bmp;
    ASSERT_TRUE(Bmp8_Parse(good.data(), good.size(), bmp));
    for (const TCase& c : cases) {
        std::vector<uint8_t> file = good;
        if (c.Bytes == 2) Put16(file, c.At, c.Value);
        if (c.Bytes == 4) Put32(file, c.At, c.Value);
        if (c.Bytes == 0) file.resize(c.At);
        EXPECT_FALSE(Bmp8_Parse(file.data(), file.size(), bmp)) << c.What;
    }
    EXPECT_FALSE(Bmp8_Parse(nullptr, 0, bmp));
}

}  // namespace
