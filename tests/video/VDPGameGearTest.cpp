// VDPEM's Game Gear model: CRAM written through its latch (even address:
// the latch; odd address: {byte, latch} into the word at address AND $3E),
// the 160 x 144 window cut out of the picture in both heights, the frame
// image's palette of 12-bit colours with mid-frame CRAM changes, and the
// model's state part. Scenes are built through the ports.
#include "VDPTestSupport.h"
#include "VdpReadout.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

namespace {

constexpr uint8_t kMode4 = 0x06; // R0: M4 and M2
constexpr uint32_t kWidth = 160, kHeight = 144;

uint32_t Rgb12(uint16_t word)
{
    return 17u * ((word & 15u) << 16 | ((word >> 4) & 15u) << 8 | ((word >> 8) & 15u));
}

class GameGearTest : public VdpTest {
protected:
    void SetUp() override
    {
        vdp.Model = VDP_MODEL_GAME_GEAR;
        VDP_Reset(vdp);
        for (uint8_t t = 0; t < 16; ++t)
            SolidTile(t, "0123456789ABCDEF"[t]);
        Reg(0, kMode4);
        Reg(2, 0xFF); // name table $3800, or $3700 at 224 lines
        Reg(5, 0xFF); // sprites at $3F00
        Reg(6, 0xFB);
        Poke(0x3F00, {0xD0});
    }
    void CramByte(uint16_t address, uint8_t value)
    {
        Control(uint8_t(address), uint8_t(0xC0 | (address >> 8)));
        VDP_WriteData(vdp, value);
    }
    void Word(uint32_t entry, uint16_t word)
    {
        CramByte(uint16_t(2 * entry), uint8_t(word));
        CramByte(uint16_t(2 * entry + 1), uint8_t(word >> 8));
    }
    void Lines(uint32_t first, uint32_t end, uint8_t draw = 1)
    {
        for (uint32_t l = first; l < end; ++l)
            VDP_RunLine(vdp, l, draw);
    }
    void GgFrame(uint8_t draw = 1) { Lines(0, VDP_LINES_PER_FRAME, draw); }
    // Window pixel (x, y) as 0x00RRGGBB, through the image's own palette.
    uint32_t At(uint32_t x, uint32_t y) const { return PixelOf(vdp.FrameImage, x, y); }
    static uint32_t PixelOf(const uint8_t* image, uint32_t x, uint32_t y)
    {
        const uint8_t slot = image[VDP_FRAME_PIXEL_OFFSET + (kHeight - 1 - y) * kWidth + x];
        const uint8_t* e = image + VDP_FRAME_PALETTE_OFFSET + slot * 4;
        return uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
    }
    // A 32-row table at `base`: column c shows entry c AND 15, from the
    // sprite half on odd rows.
    void ColumnTable(uint16_t base, uint32_t rows)
    {
        VramAt(base);
        for (uint32_t r = 0; r < rows; ++r)
            for (uint32_t c = 0; c < 32; ++c) {
                VDP_WriteData(vdp, uint8_t(c & 15));
                VDP_WriteData(vdp, (r & 1) ? 0x08 : 0x00);
            }
    }
    static uint16_t Colour(uint32_t entry) { return uint16_t((entry * 0x135 + 0x0A7) & 0xFFF); }
    void DistinctColours()
    {
        for (uint32_t i = 0; i < 32; ++i)
            Word(i, Colour(i));
    }
};

TEST_F(GameGearTest, CramLatchRules)
{
    struct TWrite {
        uint16_t Address;
        uint8_t Value;
    };
    struct TCase {
        const char* Name;
        std::vector<TWrite> Writes;
        std::vector<std::pair<uint32_t, uint16_t>> Expected; // entry, word; every other entry stays 0
    };
    const TCase cases[] = {
        {"even then odd", {{0x04, 0x21}, {0x05, 0x0B}}, {{2, 0xB21}}},
        {"an even write alone only fills the latch", {{0x06, 0x55}}, {}},
        {"odd writes reuse the latch",
         {{0x04, 0x21}, {0x05, 0x0B}, {0x07, 0x03}, {0x09, 0x0F}},
         {{2, 0xB21}, {3, 0x321}, {4, 0xF21}}},
        {"the odd address picks the word", {{0x00, 0x9B}, {0x21, 0x01}}, {{16, 0x19B}}},
        {"the address counts modulo 64", {{0x7E, 0x5A}, {0x7F, 0x0F}, {0x3FC2, 0x11}, {0x3FC3, 0x02}},
         {{31, 0xF5A}, {1, 0x211}}},
        {"bits 15-12 are not kept", {{0x02, 0xFF}, {0x03, 0xFF}}, {{1, 0xFFF}}},
    };
    for (const TCase& c : cases) {
        SetUp();
        std::memset(vdp.GGCram, 0, sizeof vdp.GGCram);
        for (const TWrite& w : c.Writes)
            CramByte(w.Address, w.Value);
        T_VDP_COLOUR_MEMORY memory;
        VDP_ReadColourMemory(vdp, memory);
        EXPECT_EQ(memory.GameGear, 1) << c.Name;
        uint16_t expected[32] = {};
        for (const auto& [entry, word] : c.Expected)
            expected[entry] = word;
        for (uint32_t i = 0; i < 32; ++i) {
            EXPECT_EQ(memory.Value[i], expected[i]) << c.Name << ", entry " << i;
            EXPECT_EQ(memory.Rgb[i], Rgb12(expected[i])) << c.Name << ", entry " << i;
        }
        // The Master System's 6-bit CRAM is not written.
        for (uint32_t i = 0; i < 32; ++i)
            EXPECT_EQ(vdp.CRAM[i], 0) << c.Name;
    }
}

TEST_F(GameGearTest, StreamedWritesFillWordsLowByteFirstAndTheAddressMovesOn)
{
    Control(0x00, 0xC0);
    for (uint8_t b : {0x34, 0x02, 0x78, 0x05, 0xBC})
        VDP_WriteData(vdp, b);
    EXPECT_EQ(vdp.GGCram[0], 0x234);
    EXPECT_EQ(vdp.GGCram[1], 0x578);
    EXPECT_EQ(vdp.GGLatch, 0xBC);
    EXPECT_EQ(vdp.Address, 5);
}

TEST_F(GameGearTest, FrameImageIsTheWindowInTwelveBitColour)
{
    DistinctColours();
    ColumnTable(0x3800, 28);
    DisplayOn();
    GgFrame();
    // A 160 x 144 bitmap, 8 bits a pixel.
    const uint8_t* f = vdp.FrameImage;
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[18] | f[19] << 8, int(kWidth));
    EXPECT_EQ(f[22] | f[23] << 8, int(kHeight));
    EXPECT_EQ(VDP_FrameImageSize(vdp), VDP_FRAME_PIXEL_OFFSET + kWidth * kHeight);
    EXPECT_EQ(VDP_PictureWidth(vdp), kWidth);
    EXPECT_EQ(VDP_PictureHeight(vdp), kHeight);
    // Window pixel (x, y) is picture pixel (x + 48, y + 24).
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            const uint32_t column = (x + 48) / 8, row = (y + 24) / 8;
            ASSERT_EQ(At(x, y), Rgb12(Colour((column & 15) + (row & 1) * 16))) << x << ", " << y;
        }
    // Slots are given as colours come up: the 32 entries, in CRAM order
    // (all distinct here), and the palette past them is black.
    for (uint32_t s = 0; s < 256; ++s) {
        const uint8_t* e = f + VDP_FRAME_PALETTE_OFFSET + 4 * s;
        const uint32_t rgb = uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
        EXPECT_EQ(rgb, s < 32 ? Rgb12(Colour(s)) : 0u) << "slot " << s;
    }
}

TEST_F(GameGearTest, WindowIsLines40To183InThe224LineMode)
{
    DistinctColours();
    ColumnTable(0x3700, 32);
    Reg(1, 0x40 | 0x10); // display, M1: 224 lines
    GgFrame();
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            const uint32_t column = (x + 48) / 8, row = (y + 40) / 8;
            ASSERT_EQ(At(x, y), Rgb12(Colour((column & 15) + (row & 1) * 16))) << x << ", " << y;
        }
    EXPECT_EQ(VDP_PictureHeight(vdp), kHeight);
}

TEST_F(GameGearTest, The240LineCombinationDraws192Lines)
{
    Reg(1, 0x40 | 0x08); // M3: 240 lines on the 315-5246
    EXPECT_EQ(VDP_ScreenMode(vdp), VDP_SCREEN_MODE4_192);
    Reg(1, 0x40 | 0x10);
    EXPECT_EQ(VDP_ScreenMode(vdp), VDP_SCREEN_MODE4_224);
}

TEST_F(GameGearTest, MidFrameCramWriteShowsFromTheNextLine)
{
    // The cleared name table shows entry 0 everywhere; every entry holds
    // the one colour.
    for (uint32_t i = 0; i < 32; ++i)
        Word(i, 0x123);
    DisplayOn();
    // Lines 0-99 drawn with the first colour, then a write, then the rest.
    Lines(0, 100);
    Word(0, 0xF80);
    Lines(100, VDP_LINES_PER_FRAME);
    for (uint32_t y = 0; y < kHeight; ++y)
        EXPECT_EQ(At(3, y), y + 24 < 100 ? Rgb12(0x123) : Rgb12(0xF80)) << "window line " << y;
    EXPECT_EQ(vdp.GGSlotCount, 2); // slot 1 for the new colour
    // The next frame starts its palette again: one colour, in slot 0, and
    // slot 1 cleared.
    for (uint32_t i = 0; i < 32; ++i)
        Word(i, 0xF80);
    GgFrame();
    EXPECT_EQ(vdp.GGSlotCount, 1);
    EXPECT_EQ(vdp.FrameImage[VDP_FRAME_PIXEL_OFFSET], 0);
    EXPECT_EQ(At(0, 0), Rgb12(0xF80));
    const uint8_t* second = vdp.FrameImage + VDP_FRAME_PALETTE_OFFSET + 4;
    EXPECT_EQ(second[0] | second[1] | second[2], 0);
}

TEST_F(GameGearTest, MoreThan256ColoursInAFrameTakeTheNearestSlot)
{
    VramAt(0x3800);
    for (uint32_t i = 0; i < 32 * 28; ++i) {
        VDP_WriteData(vdp, 0);
        VDP_WriteData(vdp, 0);
    }
    DisplayOn();
    // Entry 0 takes a new colour on each of the 144 window lines, entry 1
    // (unseen) too: 288 colours come up.
    for (uint32_t line = 0; line < VDP_LINES_PER_FRAME; ++line) {
        if (line >= 24 && line < 168) {
            Word(0, uint16_t(line * 17));
            Word(1, uint16_t(0xF00 | line));
        }
        VDP_RunLine(vdp, line, 1);
    }
    EXPECT_EQ(vdp.GGSlotCount, 256);
    std::set<uint32_t> palette;
    for (uint32_t s = 0; s < 256; ++s) {
        const uint8_t* e = vdp.FrameImage + VDP_FRAME_PALETTE_OFFSET + 4 * s;
        palette.insert(uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0]);
    }
    // The lines before the palette filled up are exact; every line shows
    // one of the palette's colours.
    for (uint32_t y = 0; y < kHeight; ++y) {
        EXPECT_TRUE(palette.count(At(0, y))) << y;
        if (2 * (y + 1) <= 256) {
            EXPECT_EQ(At(0, y), Rgb12(uint16_t((y + 24) * 17))) << y;
        }
    }
}

TEST_F(GameGearTest, StateKeepsCramLatchAndPictureAndGoesOnIdentically)
{
    DistinctColours();
    ColumnTable(0x3800, 28);
    DisplayOn();
    GgFrame();
    CramByte(0x10, 0x66); // the latch holds a byte across the state
    Lines(0, 100);        // saved inside a frame: the lower lines are the last frame's
    std::vector<uint8_t> main(VDP_STATE_SIZE), model(VDP_MODEL_STATE_SIZE);
    VDP_SaveState(vdp, main.data());
    VDP_SaveModelState(vdp, model.data());

    auto other = std::make_unique<T_VDP_CORE>();
    other->Model = VDP_MODEL_GAME_GEAR;
    VDP_Reset(*other);
    std::string reason;
    ASSERT_TRUE(VDP_ValidateState(*other, main.data(), main.size(), reason)) << reason;
    ASSERT_TRUE(VDP_ValidateModelState(*other, model.data(), model.size(), reason)) << reason;
    VDP_LoadModelState(*other, model.data()); // either part first
    VDP_LoadState(*other, main.data());
    EXPECT_EQ(std::memcmp(other->GGCram, vdp.GGCram, sizeof vdp.GGCram), 0);
    EXPECT_EQ(other->GGLatch, 0x66);
    EXPECT_EQ(std::memcmp(other->FrameImage, vdp.FrameImage, VDP_FrameImageSize(vdp)), 0);

    // The picture a front end makes from the state without a VDP.
    std::vector<uint8_t> image(VDP_MAX_FRAME_IMAGE_SIZE);
    std::size_t imageSize = 0;
    ASSERT_TRUE(VDP_GameGearStateImage(main.data(), model.data(), image.data(), imageSize));
    EXPECT_EQ(imageSize, VDP_FrameImageSize(vdp));
    EXPECT_EQ(std::memcmp(image.data(), vdp.FrameImage, imageSize), 0);

    // Both go on alike, a CRAM write through the kept latch included.
    for (T_VDP_CORE* v : {&vdp, other.get()}) {
        VDP_WriteControl(*v, 0x11);
        VDP_WriteControl(*v, 0xC0);
        VDP_WriteData(*v, 0x0F); // entry 8 = $0F66
        for (uint32_t l = 100; l < VDP_LINES_PER_FRAME; ++l)
            VDP_RunLine(*v, l, 1);
        for (uint32_t l = 0; l < VDP_LINES_PER_FRAME; ++l)
            VDP_RunLine(*v, l, 1);
    }
    EXPECT_EQ(vdp.GGCram[8], 0xF66);
    EXPECT_EQ(std::memcmp(other->FrameImage, vdp.FrameImage, VDP_FrameImageSize(vdp)), 0);
}

TEST_F(GameGearTest, ModelStateIsCheckedForTheModel)
{
    std::vector<uint8_t> model(VDP_MODEL_STATE_SIZE);
    VDP_SaveModelState(vdp, model.data());
    std::string reason;
    ASSERT_TRUE(VDP_ValidateModelState(vdp, model.data(), model.size(), reason)) << reason;
    struct TCase {
        const char* Name;
        std::size_t Offset;
        uint8_t Value;
    };
    // Height at 0, the CRAM words from 4, the latch at 68, the slot count at
    // 69, the palette from 71, zeros from 583.
    const TCase cases[] = {
        {"a height other than 144", 0, 192},
        {"a CRAM word beyond 12 bits", 5, 0x10},
        {"more than 256 slots", 70, 0x02},
        {"a palette colour beyond 12 bits", 72, 0x10},
        {"a byte in the unused part", 600, 1},
    };
    for (const TCase& c : cases) {
        std::vector<uint8_t> bad = model;
        bad[c.Offset] = c.Value;
        EXPECT_FALSE(VDP_ValidateModelState(vdp, bad.data(), bad.size(), reason)) << c.Name;
    }
    // In the main part any pixel byte is a slot (a 6-bit colour check
    // would refuse slots from 64 on); the VDP saves zeros past the window.
    std::vector<uint8_t> main(VDP_STATE_SIZE);
    VDP_SaveState(vdp, main.data());
    const uint8_t* picture = main.data() + VDP_STATE_SIZE - VDP_FRAME_PIXEL_COUNT;
    EXPECT_EQ(std::count(picture + 160 * 144, picture + VDP_FRAME_PIXEL_COUNT, 0), VDP_FRAME_PIXEL_COUNT - 160 * 144);
    std::memset(main.data() + VDP_STATE_SIZE - VDP_FRAME_PIXEL_COUNT, 0xFF, 160 * 144);
    EXPECT_TRUE(VDP_ValidateState(vdp, main.data(), main.size(), reason)) << reason;
    // A Master System II's part is no Game Gear's, nor the other way round.
    auto sms2 = std::make_unique<T_VDP_CORE>();
    sms2->Model = VDP_MODEL_315_5246;
    VDP_Reset(*sms2);
    std::vector<uint8_t> theirs(VDP_MODEL_STATE_SIZE);
    VDP_SaveModelState(*sms2, theirs.data());
    EXPECT_FALSE(VDP_ValidateModelState(vdp, theirs.data(), theirs.size(), reason));
    EXPECT_FALSE(VDP_ValidateModelState(*sms2, model.data(), model.size(), reason));
}

TEST_F(GameGearTest, ReadoutsUseTheTwelveBitColours)
{
    Word(17, 0x5A3);
    Reg(7, 0x01);
    T_VDP_REGISTER_INFO info;
    VDP_ReadRegisters(vdp, info);
    EXPECT_EQ(info.BackdropRgb, Rgb12(0x5A3));
    T_VDP_PALETTE_INFO palette;
    VDP_ReadPalette(vdp, palette);
    EXPECT_EQ(palette.Rgb[17], Rgb12(0x5A3));

    auto sms2 = std::make_unique<T_VDP_CORE>();
    sms2->Model = VDP_MODEL_315_5246;
    VDP_Reset(*sms2);
    T_VDP_COLOUR_MEMORY memory;
    VDP_ReadColourMemory(*sms2, memory);
    EXPECT_EQ(memory.GameGear, 0);
}

} // namespace
