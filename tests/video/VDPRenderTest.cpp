// VDPEM scanline renderer: scroll and its locks, flips, palettes, priority,
// sprites, overflow and collision, left-column blank, layers, display off
// and skipped frames. Scenes are built through the ports.
#include "VDPTestSupport.h"

#include <cstring>

namespace {

// Background colours 0-15 are the values 0-15 and sprite colours 16-31 the
// values 16-31, so a pixel's value names the CRAM entry it came from.
class RenderTest : public VdpTest {
protected:
    void SetUp() override
    {
        VdpTest::SetUp();
        for (uint8_t i = 0; i < 32; ++i)
            Cram(i, i);
        for (uint8_t t = 0; t < 16; ++t)
            SolidTile(t, "0123456789ABCDEF"[t]);
        DisplayOn();
    }
    // Every cell of column c shows the value c: solid tile c AND 15, with
    // the sprite palette for columns 16 to 31.
    void ColumnScene()
    {
        for (uint32_t r = 0; r < 28; ++r)
            for (uint32_t c = 0; c < 32; ++c)
                Name(r, c, (c & 15) | (c >= 16 ? 0x0800 : 0));
    }
    // Every cell of row r shows the value r + 1 (0 would also be what an
    // empty name-table area shows).
    void RowScene()
    {
        for (uint32_t r = 0; r < 28; ++r)
            for (uint32_t c = 0; c < 32; ++c)
                Name(r, c, ((r + 1) & 15) | (r + 1 >= 16 ? 0x0800 : 0));
    }
    uint8_t At(uint32_t line, uint32_t x) { return Screen(line)[x]; }
};

const std::array<std::string, 8> kPattern = {"12345678", "9ABCDEF1", "00000000", "00000000",
                                             "00000000", "00000000", "00000000", "F0000003"};

} // namespace

TEST_F(RenderTest, HorizontalScrollWrapsFinePixels)
{
    ColumnScene();
    Tile(20, kPattern);
    Name(0, 30, 20);
    Reg(8, 0x0B);
    Frame();
    Line expected;
    for (uint32_t x = 0; x < 256; ++x)
        expected[x] = x < 3 ? 30 : uint8_t((31 + (x - 3) / 8) % 32);
    EXPECT_EQ(expected, Screen(8));
    const Line first = Screen(0); // right-hand end of column 30's top row
    EXPECT_EQ((std::vector<uint8_t>{6, 7, 8}), std::vector<uint8_t>(first.begin(), first.begin() + 3));

    Reg(0, 0x40); // top two tile rows do not scroll
    Frame();
    EXPECT_EQ(0, At(15, 0));
    EXPECT_EQ(30, At(16, 0));
}

TEST_F(RenderTest, VerticalScrollLatchedAtLineZeroAndWrapsAt28Rows)
{
    RowScene();
    struct { uint8_t scroll; uint32_t line; uint8_t row; } table[] = {
        {0, 0, 0}, {0xE0, 0, 0}, {0xE0, 191, 23}, {3, 4, 0}, {3, 5, 1}, {200, 0, 25}, {200, 24, 0}};
    for (auto c : table) {
        Reg(9, c.scroll);
        Frame();
        EXPECT_EQ(Filled(c.row + 1), Screen(c.line)) << int(c.scroll) << " line " << c.line;
    }

    Reg(9, 8);
    VDP_RunLine(vdp, 0, 1);
    Reg(9, 0); // after line 0: only the next drawn frame sees it
    for (uint32_t l = 1; l < 262; ++l)
        VDP_RunLine(vdp, l, 1);
    EXPECT_EQ(Filled(2), Screen(1));
    EXPECT_EQ(Filled(25), Screen(191));
    Frame();
    EXPECT_EQ(Filled(1), Screen(1));

    Reg(9, 16); // not latched when line 0 is skipped, blank or has no background
    Frame(0);
    Reg(1, 0);
    Frame();
    DisplayOn();
    VDP_SetBackgroundLayer(vdp, 0);
    Frame();
    VDP_SetBackgroundLayer(vdp, 1);
    VDP_RunLine(vdp, 1, 1);
    EXPECT_EQ(Filled(1), Screen(1));

    Reg(9, 8);
    Reg(0, 0x80); // right-hand eight columns stay unscrolled
    Frame();
    EXPECT_EQ(2, At(0, 191));
    EXPECT_EQ(1, At(0, 192));
}

TEST_F(RenderTest, FlipsAndPaletteSelect)
{
    Tile(20, kPattern);
    const struct { uint16_t flags; uint32_t line; const char* row; uint8_t palette; } table[] = {
        {0x0000, 0, "12345678", 0}, {0x0200, 0, "87654321", 0}, {0x0400, 0, "F0000003", 0},
        {0x0600, 6, "1FEDCBA9", 0}, {0x0800, 1, "9ABCDEF1", 16}};
    for (auto c : table) {
        Name(0, 0, 20 | c.flags);
        Frame();
        for (uint32_t k = 0; k < 8; ++k)
            EXPECT_EQ(c.palette + std::stoi(std::string(1, c.row[k]), nullptr, 16), At(c.line, k))
                << std::hex << c.flags << " pixel " << k;
    }
}

TEST_F(RenderTest, SpritesPositionClippingAndSizes)
{
    SolidTile(20, '5');
    Sprite(0, 9, 100, 20);
    Sprite(1, 0xFF, 250, 20);
    Sprite(2, 0xF8, 0, 20);
    Poke(0x3F03, {0xD0});
    Frame();
    EXPECT_EQ(21, At(10, 100));
    EXPECT_EQ(21, At(17, 107));
    EXPECT_EQ(0, At(9, 100));
    EXPECT_EQ(0, At(18, 100));
    Line top = Filled(0);
    for (uint32_t x = 0; x < 8; ++x)
        top[x] = 21;                 // sprite 2: its last row only, on line 0
    for (uint32_t x = 250; x < 256; ++x)
        top[x] = 21;                 // sprite 1: no wrap to the left edge
    EXPECT_EQ(top, Screen(0));
    EXPECT_EQ(Filled(0)[0], At(1, 0));

    Reg(0, 0x08); // shifted 8 left: x 4 shows only the last four pixels
    Sprite(2, 0x40, 4, 20);
    Frame();
    EXPECT_EQ(21, At(0x41, 3));
    EXPECT_EQ(0, At(0x41, 4));

    Reg(0, 0);
    Reg(1, 0x42); // 8 x 16: even pattern, rows 8-15 from the next tile
    SolidTile(21, '6');
    Sprite(0, 9, 100, 21);
    Frame();
    EXPECT_EQ(21, At(17, 100));
    EXPECT_EQ(22, At(18, 100));
    EXPECT_EQ(0, At(26, 100));

    Reg(6, 0x04); // patterns from the upper 256 tiles
    SolidTile(276, '9');
    Sprite(0, 9, 100, 20);
    Frame();
    EXPECT_EQ(25, At(10, 100));
}

TEST_F(RenderTest, SpriteListEndAndOverflow)
{
    SolidTile(20, '5');
    for (uint8_t count : {7, 8, 9}) {
        for (uint8_t s = 0; s < count; ++s)
            Sprite(s, 49, s * 10, 20);
        Poke(0x3F00 + count, {0xD0});
        Frame();
        for (uint8_t s = 0; s < count; ++s)
            EXPECT_EQ(21, At(50, s * 10 + 7)) << int(count);
        EXPECT_EQ(count >= 8 ? 0x40 : 0, VDP_ReadStatus(vdp) & 0x40) << int(count);
    }
    Poke(0x3F00, {0xD0}); // ends the list even though later entries are visible
    Frame();
    EXPECT_EQ(Filled(0), Screen(50));
}

TEST_F(RenderTest, PriorityCollisionAndOrder)
{
    SolidTile(20, '5');
    SolidTile(21, '7');
    Tile(22, {"00FF0000", "00FF0000", "00FF0000", "00FF0000", "00FF0000", "00FF0000", "00FF0000", "00FF0000"});
    Name(0, 1, 22 | 0x1000);
    Sprite(0, 0xFF, 8, 20);
    Poke(0x3F01, {0xD0});
    Frame();
    const Line line = Screen(0);
    EXPECT_EQ((std::vector<uint8_t>{21, 21, 15, 15, 21, 21, 21, 21}), std::vector<uint8_t>(line.begin() + 8, line.begin() + 16));

    Sprite(1, 0xFF, 8, 22); // overlap only behind the priority pixels
    Sprite(2, 0xFF, 20, 21);
    Poke(0x3F03, {0xD0});
    Frame();
    EXPECT_EQ(0, VDP_ReadStatus(vdp) & 0x20);
    Sprite(1, 0xFF, 12, 21);
    Frame();
    EXPECT_EQ(21, At(0, 12)); // sprite 0 stays in front
    EXPECT_EQ(23, At(0, 18));
    EXPECT_EQ(0x20, VDP_ReadStatus(vdp) & 0x20);

    // Wrapped fine-scroll pixels never carry priority.
    Poke(0x3F00, {0xD0});
    Name(0, 31, 20 | 0x1000);
    Reg(8, 4);
    Sprite(0, 0xFF, 0, 21);
    Poke(0x3F01, {0xD0});
    Frame();
    EXPECT_EQ(23, At(0, 0));
    EXPECT_EQ(23, At(0, 3));
}

TEST_F(RenderTest, LeftColumnBlankAndLayers)
{
    ColumnScene();
    SolidTile(20, '5');
    Sprite(0, 0xFF, 4, 20);
    Poke(0x3F01, {0xD0});
    Reg(7, 0xF3);
    Reg(0, 0x20);
    Frame();
    Line expected;
    for (uint32_t x = 0; x < 256; ++x)
        expected[x] = x < 8 ? 19 : (x < 12 ? 21 : x / 8);
    EXPECT_EQ(expected, Screen(0));

    VDP_SetBackgroundLayer(vdp, 0); // blank line, sprites still on, backdrop where they are
    Frame();
    expected.fill(0);
    for (uint32_t x = 4; x < 12; ++x)
        expected[x] = x < 8 ? 19 : 21;
    EXPECT_EQ(expected, Screen(0));

    VDP_SetBackgroundLayer(vdp, 1);
    VDP_SetSpriteLayer(vdp, 0);
    Reg(0, 0);
    Frame();
    EXPECT_EQ(0, At(0, 4));
    EXPECT_EQ(1, At(0, 8));
}

TEST_F(RenderTest, DisplayOffAndSkippedFramesKeepFlags)
{
    ColumnScene();
    SolidTile(20, '5');
    Sprite(0, 0xFF, 4, 20);
    Sprite(1, 0xFF, 6, 20);
    Reg(0, 0x20);
    Frame();
    ASSERT_EQ(1, vdp.SpriteCollision);
    auto drawn = std::make_unique<uint8_t[]>(VDP_FRAME_IMAGE_SIZE);
    std::memcpy(drawn.get(), vdp.FrameImage, VDP_FRAME_IMAGE_SIZE);
    VDP_ReadStatus(vdp);

    Reg(8, 3); // a skipped frame draws nothing and raises no sprite flag
    Frame(0);
    EXPECT_EQ(0, std::memcmp(drawn.get(), vdp.FrameImage, VDP_FRAME_IMAGE_SIZE));
    EXPECT_EQ(0x80, VDP_ReadStatus(vdp));

    Reg(1, 0); // blank display: black lines, no left blank, sprites not processed
    Frame();
    for (uint32_t l = 0; l < 192; ++l)
        ASSERT_EQ(Filled(0), Screen(l)) << l;
    EXPECT_EQ(0x80, VDP_ReadStatus(vdp));
}

TEST_F(RenderTest, VramChangesShowOnTheNextLine)
{
    ColumnScene();
    VDP_RunLine(vdp, 0, 1);
    SolidTile(1, '9');
    VDP_RunLine(vdp, 1, 1);
    EXPECT_EQ(1, At(0, 8));
    EXPECT_EQ(9, At(1, 8));
}

TEST_F(VdpTest, DirectCallsStayInsideTheChipsMemory)
{
    // Pattern 511 row 15 lies past the end of VRAM and wraps to its start.
    vdp.VRAM[28] = 0x80;
    vdp.VRAM[31] = 0x01;
    uint8_t out[8];
    VDP_DecodeSpriteRow(vdp, 511, 15, out);
    EXPECT_EQ((std::array<uint8_t, 8>{8, 0, 0, 0, 0, 0, 0, 1}), std::to_array(out));

    auto before = std::make_unique<T_VDP_CORE>(vdp);
    VDP_PutPixel(vdp, 5, 0, 0, 192);
    VDP_ClearLine(vdp, 300);
    VDP_PutSpritePixel(vdp, 3, 256, 0);
    VDP_MarkPriority(vdp, 256);
    EXPECT_EQ(0, std::memcmp(before.get(), &vdp, sizeof vdp));
}
