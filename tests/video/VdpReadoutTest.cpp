// VdpReadout: the decoded views checked against what the renderer puts on
// the screen: tile pixels and palettes, name entries, the background plane
// under every scroll setting and lock, the sprites found on each line
// (including those past the eighth) and the decoded registers.
#include "VDPTestSupport.h"
#include "VdpReadout.h"

#include <vector>

namespace {

class VdpReadoutTest : public VdpTest {
protected:
    uint32_t seed = 12345;
    uint32_t Random()
    {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    }
    // Every CRAM entry a different colour, so a pixel's colour names its entry.
    void DistinctColours()
    {
        for (uint8_t i = 0; i < 32; ++i)
            Cram(i, static_cast<uint8_t>(i * 2 + (i >= 16 ? 1 : 0)));
    }
    uint32_t ScreenRgb(uint32_t line, uint32_t x) const { return VDP_ReadColour(vdp, Screen(line)[x]); }
};

TEST_F(VdpReadoutTest, TilePixelsInEitherPalette)
{
    Cram(1, 0x03);  // red
    Cram(2, 0x0C);  // green
    Cram(17, 0x30); // blue
    Cram(18, 0x15); // one step of each
    Tile(300, {"12000000", "00000002", "00000000", "00000000", "00000000", "00000000", "00000000", "10000001"});

    uint32_t px[64];
    VDP_DrawTile(vdp, 300, TVdpPalette::Background, px);
    EXPECT_EQ(0xFF0000u, px[0]);
    EXPECT_EQ(0x00FF00u, px[1]);
    EXPECT_EQ(0x00FF00u, px[15]);
    EXPECT_EQ(0xFF0000u, px[63]);
    VDP_DrawTile(vdp, 300, TVdpPalette::Sprite, px);
    EXPECT_EQ(0x0000FFu, px[0]);
    EXPECT_EQ(0x555555u, px[1]);

    std::vector<uint32_t> sheet(VDP_TILE_SHEET_WIDTH * VDP_TILE_SHEET_HEIGHT);
    VDP_DrawTileSheet(vdp, TVdpPalette::Background, sheet.data());
    const uint32_t x0 = (300 % 16) * 8, y0 = (300 / 16) * 8;
    EXPECT_EQ(0xFF0000u, sheet[y0 * VDP_TILE_SHEET_WIDTH + x0]);
    EXPECT_EQ(0x00FF00u, sheet[(y0 + 1) * VDP_TILE_SHEET_WIDTH + x0 + 7]);
    EXPECT_EQ(0xFF0000u, sheet[(y0 + 7) * VDP_TILE_SHEET_WIDTH + x0 + 7]);

    T_VDP_PALETTE_INFO palette;
    VDP_ReadPalette(vdp, palette);
    EXPECT_EQ(0x30, palette.Value[17]);
    EXPECT_EQ(0x0000FFu, palette.Rgb[17]);
}

TEST_F(VdpReadoutTest, NameEntryFields)
{
    struct Case {
        uint16_t raw;
        uint16_t tile;
        uint8_t flipX, flipY, spritePalette, priority, spare;
    };
    const Case cases[] = {
        {0x0000, 0, 0, 0, 0, 0, 0},     {0x01FF, 511, 0, 0, 0, 0, 0}, {0x0205, 5, 1, 0, 0, 0, 0},
        {0x0405, 5, 0, 1, 0, 0, 0},     {0x0905, 261, 0, 0, 1, 0, 0}, {0x1005, 5, 0, 0, 0, 1, 0},
        {0xFFFF, 511, 1, 1, 1, 1, 7},
    };
    for (const Case& c : cases) {
        const T_VDP_NAME_ENTRY e = VDP_DecodeNameEntry(c.raw);
        EXPECT_EQ(c.tile, e.Tile) << std::hex << c.raw;
        EXPECT_EQ(c.flipX, e.FlipX) << std::hex << c.raw;
        EXPECT_EQ(c.flipY, e.FlipY) << std::hex << c.raw;
        EXPECT_EQ(c.spritePalette, e.SpritePalette) << std::hex << c.raw;
        EXPECT_EQ(c.priority, e.Priority) << std::hex << c.raw;
        EXPECT_EQ(c.spare, e.Spare) << std::hex << c.raw;
    }
    Reg(2, 0x0C); // name table at 0x3000
    Poke(0x3000 + 3 * 64 + 5 * 2, {0x34, 0x16});
    T_VDP_NAME_TABLE table;
    VDP_ReadNameTable(vdp, table);
    EXPECT_EQ(0x3000, table.Address);
    EXPECT_EQ(0x1634, table.Entries[3][5].Raw);
    EXPECT_EQ(0x034, table.Entries[3][5].Tile);
}

// Random tiles and names (flips, palettes) under a table of scroll settings:
// every screen pixel the renderer draws equals the plane pixel that the
// scroll mapping names, and the mask marks exactly the plane rows shown.
TEST_F(VdpReadoutTest, PlaneAndScrollWindowMatchTheScreen)
{
    DistinctColours();
    for (uint32_t a = 0; a < 448 * 32; ++a)
        Poke(static_cast<uint16_t>(a), {static_cast<uint8_t>(Random())});
    for (uint32_t r = 0; r < 28; ++r)
        for (uint32_t c = 0; c < 32; ++c)
            Name(r, c, static_cast<uint16_t>((Random() % 448) | (Random() & 0x0E00)));
    Poke(0x3F00, {0xD0}); // no sprites over the background
    std::vector<uint32_t> plane(VDP_PLANE_WIDTH * VDP_PLANE_HEIGHT);
    VDP_DrawNameTable(vdp, plane.data());

    struct Case {
        uint8_t r0, hscroll, vscroll;
        uint16_t left, top;
    };
    const Case cases[] = {
        {0x00, 0, 0, 0, 0},       {0x00, 0x13, 0, 0xED, 0}, {0x00, 0, 37, 0, 37},
        {0x00, 0xFF, 230, 1, 6},  {0x40, 0x2B, 100, 0xD5, 100}, {0x80, 0x2B, 100, 0xD5, 100},
        {0xC0, 0x07, 223, 0xF9, 223},
    };
    for (const Case& c : cases) {
        Reg(0, c.r0);
        Reg(8, c.hscroll);
        Reg(9, c.vscroll);
        DisplayOn();
        Frame();
        T_VDP_SCROLL_WINDOW w;
        VDP_ReadScrollWindow(vdp, w);
        EXPECT_EQ(c.left, w.Left) << int(c.hscroll);
        EXPECT_EQ(c.top, w.Top) << int(c.vscroll);
        uint32_t wrong = 0;
        for (uint32_t line = 0; line < 192; ++line)
            for (uint32_t x = 0; x < 256; ++x) {
                uint32_t px, py;
                VDP_ScreenToPlane(vdp, x, line, px, py);
                wrong += plane[py * VDP_PLANE_WIDTH + px] != ScreenRgb(line, x);
            }
        EXPECT_EQ(0u, wrong) << "r0 " << int(c.r0) << " h " << int(c.hscroll) << " v " << int(c.vscroll);

        if (c.r0 == 0) {
            std::vector<uint8_t> mask(VDP_PLANE_WIDTH * VDP_PLANE_HEIGHT);
            VDP_ScrollWindowMask(vdp, mask.data());
            for (uint32_t y = 0; y < VDP_PLANE_HEIGHT; ++y) {
                const bool shown = (y + 224 - c.top) % 224 < 192;
                EXPECT_EQ(shown ? 256u : 0u, uint32_t(std::count(&mask[y * 256], &mask[y * 256] + 256, 1)))
                    << "v " << int(c.vscroll) << " row " << y;
            }
        }
    }
}

// Sprites at distinct columns, so each one's pixels tell whether the
// renderer drew it on a line: the readout's line lists must agree, past
// the eighth sprite of a line too (this core draws them; a console drops
// them), with the list end, the y wrap and 8 x 16 sprites.
TEST_F(VdpReadoutTest, SpriteLinesAgreeWithTheRenderer)
{
    DistinctColours();
    SolidTile(40, '3');
    SolidTile(41, '3');
    for (uint8_t tall : {0, 1}) {
        DisplayOn(tall ? 0x02 : 0x00);
        for (uint8_t s = 0; s < 30; ++s) {
            // Ten share line 50 and up; one wraps from y 0xFA to the top.
            const uint8_t y = s < 10 ? 49 : s == 10 ? 0xFA : static_cast<uint8_t>(70 + Random() % 130);
            Sprite(s, y, static_cast<uint8_t>(s * 8), 40);
        }
        Poke(0x3F00 + 30, {0xD0});
        Sprite(31, 49, 248, 40); // after the list end: never drawn
        Frame();

        T_VDP_SPRITE_TABLE table;
        VDP_ReadSprites(vdp, table);
        EXPECT_EQ(30, table.ListLength);
        EXPECT_EQ(tall ? 16 : 8, table.Height);
        EXPECT_EQ(0, table.Sprites[31].InList);
        EXPECT_EQ(10, table.Lines[50].Count);
        EXPECT_EQ(1, table.Lines[50].Overflow);
        EXPECT_EQ(2, table.Lines[50].OverLimit);
        EXPECT_EQ(8, table.Lines[50].Sprites[8]);
        EXPECT_EQ(9, table.Lines[50].Sprites[9]);
        EXPECT_EQ(1, table.Sprites[10].Visible);

        uint32_t wrong = 0;
        for (uint32_t line = 0; line < 192; ++line) {
            std::vector<bool> listed(32, false);
            for (uint8_t i = 0; i < table.Lines[line].Count; ++i)
                listed[table.Lines[line].Sprites[i]] = true;
            for (uint32_t s = 0; s < 32; ++s)
                wrong += listed[s] != (Screen(line)[s * 8 + 3] == 16 * 2 + 1 + 3 * 2);
        }
        EXPECT_EQ(0u, wrong) << "8x" << (tall ? 16 : 8);
    }
    for (uint8_t count : {7, 8}) {
        for (uint8_t s = 0; s < count; ++s)
            Sprite(s, 99, static_cast<uint8_t>(s * 8), 40);
        Poke(0x3F00 + count, {0xD0});
        VDP_ReadStatus(vdp); // clears the flag of the earlier frames
        Frame();
        T_VDP_SPRITE_TABLE table;
        VDP_ReadSprites(vdp, table);
        EXPECT_EQ((VDP_ReadStatus(vdp) & 0x40) ? 1 : 0, table.Lines[100].Overflow) << int(count);
        EXPECT_EQ(0, table.Lines[100].OverLimit);
    }
}

TEST_F(VdpReadoutTest, SpritePatternAndPosition)
{
    Reg(0, 0x08); // shifted left
    Reg(1, 0x42); // 8 x 16
    Reg(5, 0x7F & 0x7C); // table at 0x3E00
    Reg(6, 0x04); // upper patterns
    Poke(0x3E00 + 2, {0x20});
    Poke(0x3E80 + 4, {0x03, 0x15});
    T_VDP_SPRITE_TABLE table;
    VDP_ReadSprites(vdp, table);
    EXPECT_EQ(0x3E00, table.Address);
    EXPECT_EQ(0x2000, table.PatternBase);
    EXPECT_EQ(256 + 0x14, table.Sprites[2].Tile);
    EXPECT_EQ(-5, table.Sprites[2].ScreenX);
    EXPECT_EQ(1, table.Sprites[2].Visible);
    EXPECT_EQ(16, table.Sprites[2].LineCount);
}

TEST_F(VdpReadoutTest, RegistersByName)
{
    Reg(0, 0x36); // M2, M4, line interrupt, left blank
    Reg(1, 0x62); // display, frame interrupt, 8 x 16
    Reg(2, 0xFF);
    Reg(7, 0x13);
    Reg(10, 0x40);
    Cram(16 + 3, 0x0C);
    T_VDP_REGISTER_INFO info;
    VDP_ReadRegisters(vdp, info);
    EXPECT_EQ(1, info.M2);
    EXPECT_EQ(1, info.M4);
    EXPECT_EQ(1, info.LineIntEnabled);
    EXPECT_EQ(1, info.LeftColumnBlank);
    EXPECT_EQ(0, info.TopRowsLocked);
    EXPECT_EQ(1, info.DisplayOn);
    EXPECT_EQ(1, info.FrameIntEnabled);
    EXPECT_EQ(1, info.Sprites8x16);
    EXPECT_EQ(0x3800, info.NameTableAddress);
    EXPECT_EQ(3, info.BackdropColour);
    EXPECT_EQ(0x00FF00u, info.BackdropRgb);
    EXPECT_EQ(0x40, info.LineCounterReload);

    bool found = false;
    for (const T_VDP_FIELD& f : VDP_DescribeRegisters(vdp))
        if (f.Name == "Name table") {
            found = true;
            EXPECT_EQ("0x3800", f.Value);
        }
    EXPECT_TRUE(found);
}

} // namespace
