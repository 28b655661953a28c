// The headless runner's output files: the PNG converted from a frame image
// (decoded again by Qt), the WAV header, and the hash.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "ImageFiles.h"

namespace {

std::string TempPath(const char* name) { return (std::filesystem::temp_directory_path() / (std::to_string(getpid()) + "_" + name)).string(); }

void PutLe32(std::vector<uint8_t>& v, std::size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = uint8_t(x >> (8 * i));
}

// An 8-bit 256 x 192 bitmap laid out like the VDP's export, bottom-up rows.
std::vector<uint8_t> FrameImage() {
    std::vector<uint8_t> bmp(50230, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutLe32(bmp, 2, 50230);
    PutLe32(bmp, 10, 1078);
    PutLe32(bmp, 14, 40);
    PutLe32(bmp, 18, 256);
    PutLe32(bmp, 22, 192);
    bmp[26] = 1;
    bmp[28] = 8;
    for (int i = 0; i < 64; ++i) {  // the console's 64 colours, 2 bits per gun
        bmp[54 + 4 * i + 0] = uint8_t(((i >> 4) & 3) * 85);
        bmp[54 + 4 * i + 1] = uint8_t(((i >> 2) & 3) * 85);
        bmp[54 + 4 * i + 2] = uint8_t((i & 3) * 85);
    }
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 256; ++x) bmp[1078 + (191 - y) * 256 + x] = uint8_t((x + 3 * y) % 64);
    return bmp;
}

TEST(OutputFiles, PngHoldsTheFramesPixelsTopDownInTheirPaletteColours) {
    const std::vector<uint8_t> bmp = FrameImage();
    const std::string path = TempPath("tiravel_outputfiles_test.png");
    std::string error;
    ASSERT_TRUE(WritePngFromBmp(path, bmp.data(), bmp.size(), error)) << error;
    QImage png;
    ASSERT_TRUE(png.load(QString::fromStdString(path), "PNG"));
    ASSERT_EQ(png.width(), 256);
    ASSERT_EQ(png.height(), 192);
    for (int y = 0; y < 192; y += 7) {
        for (int x = 0; x < 256; x += 5) {
            const int c = (x + 3 * y) % 64;
            ASSERT_EQ(png.pixel(x, y), qRgb((c & 3) * 85, ((c >> 2) & 3) * 85, ((c >> 4) & 3) * 85))
                << x << "," << y;
        }
    }
    std::filesystem::remove(path);
}

TEST(OutputFiles, WavIsEightBitMonoWithSizesAndPadding) {
    const std::string path = TempPath("tiravel_outputfiles_test.wav");
    std::string error;
    TWavWriter wav;
    ASSERT_TRUE(wav.Open(path, 44100, error));
    std::vector<uint8_t> block(735, 128);
    block[0] = 7;
    wav.Write(block.data(), block.size());
    ASSERT_TRUE(wav.Close(error)) << error;
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(f.size(), 44u + 735 + 1);
    auto le32 = [&](std::size_t at) { return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | uint32_t(f[at + 3]) << 24; };
    EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "RIFF");
    EXPECT_EQ(le32(4), f.size() - 8);
    EXPECT_EQ(f[20] | f[21] << 8, 1);  // PCM
    EXPECT_EQ(f[22] | f[23] << 8, 1);  // mono
    EXPECT_EQ(le32(24), 44100u);
    EXPECT_EQ(f[34], 8);
    EXPECT_EQ(le32(40), 735u);
    EXPECT_EQ(f[44], 7);
    std::filesystem::remove(path);
}

TEST(OutputFiles, HashIsFnv1a64AndContinuesAcrossBlocks) {
    const uint8_t a[] = {'a'};
    EXPECT_EQ(Fnv1a64(nullptr, 0), 0xcbf29ce484222325ULL);
    EXPECT_EQ(Fnv1a64(a, 1), 0xaf63dc4c8601ec8cULL);
    const uint8_t foobar[] = {'f', 'o', 'o', 'b', 'a', 'r'};
    EXPECT_EQ(Fnv1a64(foobar + 3, 3, Fnv1a64(foobar, 3)), 0x85944171f73967e8ULL);
}

}  // namespace
