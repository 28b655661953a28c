// VDPEM's hardware models (315-5124, 315-5246): the counters and interrupt
// positions of each standard and height, the H counter latch, the control
// port's first-byte flag, the eight-sprite line buffer, collision and zoom,
// the tall modes and their frame image, the name-table quirk, the TMS9918
// modes, the models' state part and their read-outs. Scenes are built
// through the ports, as a program would.
#include "VDPTestSupport.h"
#include "VdpReadout.h"

#include <cstring>
#include <vector>

namespace {

constexpr uint8_t kMode4 = 0x06;      // R0: M4 and M2 (M2 is needed for the tall modes)
constexpr uint8_t kTall224 = 0x10;    // R1: M1
constexpr uint8_t kTall240 = 0x08;    // R1: M3

class ModelTest : public VdpTest {
protected:
    void Start(uint8_t model, uint8_t pal = 0)
    {
        vdp.Model = model;
        vdp.Pal = pal;
        VDP_Reset(vdp);
        for (uint8_t i = 0; i < 32; ++i)
            Cram(i, i);
        for (uint8_t t = 0; t < 16; ++t)
            SolidTile(t, "0123456789ABCDEF"[t]);
        Reg(0, kMode4);
        Reg(2, 0xFF); // name table $3800, or $3700 in the tall modes
        Reg(5, 0xFF); // sprites at $3F00
        Reg(6, 0xFB);
    }
    void SetUp() override { Start(VDP_MODEL_315_5246); }
    void Lines(uint32_t first, uint32_t end, uint8_t draw = 1)
    {
        for (uint32_t l = first; l < end; ++l)
            VDP_RunLine(vdp, l, draw);
    }
    void ModelFrame(uint8_t draw = 1) { Lines(0, VDP_LinesPerFrame(vdp), draw); }
    uint32_t Height() const { return VDP_PictureHeight(vdp); }
    uint8_t At(uint32_t line, uint32_t x) const
    {
        return vdp.FrameImage[VDP_FRAME_PIXEL_OFFSET + (Height() - 1 - line) * 256 + x];
    }
    uint8_t Status() { return VDP_ReadStatus(vdp); }
    // Every cell of a 32-row name table at `base` shows the value of its row
    // AND 15 (solid tiles), the sprite palette from row 16 on.
    void RowTable(uint16_t base, uint32_t rows)
    {
        VramAt(base);
        for (uint32_t r = 0; r < rows; ++r)
            for (uint32_t c = 0; c < 32; ++c) {
                VDP_WriteData(vdp, uint8_t(r & 15));
                VDP_WriteData(vdp, r >= 16 ? 0x08 : 0x00);
            }
    }
    // What a row-table cell of row r shows: CRAM entry r AND 15, +16 from row 16.
    static uint8_t RowValue(uint32_t r) { return uint8_t((r & 15) + (r >= 16 ? 16 : 0)); }
};

// ---------------------------------------------------------------- counters

// Each standard and height, written as the counter's runs: "00-DA,D5-FF".
struct TCounterCase {
    uint8_t Model, Pal, R1Mode;
    const char* Runs;
};

std::vector<uint8_t> Expand(const char* runs)
{
    std::vector<uint8_t> out;
    unsigned a, b;
    int used;
    while (std::sscanf(runs, "%x-%x%n", &a, &b, &used) == 2) {
        for (unsigned v = a; v <= b; ++v)
            out.push_back(uint8_t(v));
        runs += used;
        if (*runs == ',')
            ++runs;
    }
    return out;
}

TEST_F(ModelTest, VCounterRunsOfEachStandardAndHeight)
{
    const TCounterCase cases[] = {
        {VDP_MODEL_315_5246, 0, 0, "00-DA,D5-FF"},
        {VDP_MODEL_315_5246, 0, kTall224, "00-EA,E5-FF"},
        {VDP_MODEL_315_5246, 0, kTall240, "00-FF,00-05"}, // no jump within 262 lines
        {VDP_MODEL_315_5246, 1, 0, "00-F2,BA-FF"},
        {VDP_MODEL_315_5246, 1, kTall224, "00-FF,00-02,CA-FF"},
        {VDP_MODEL_315_5246, 1, kTall240, "00-FF,00-0A,D2-FF"},
        // The 315-5124 has no tall modes: the same bits count as 192 lines.
        {VDP_MODEL_315_5124, 0, kTall224, "00-DA,D5-FF"},
        {VDP_MODEL_315_5124, 1, kTall240, "00-F2,BA-FF"},
    };
    for (const TCounterCase& c : cases) {
        Start(c.Model, c.Pal);
        Reg(1, 0x40 | c.R1Mode);
        std::vector<uint8_t> seen;
        for (uint32_t l = 0; l < VDP_LinesPerFrame(vdp); ++l) {
            VDP_RunLine(vdp, l, 0);
            seen.push_back(VDP_ReadVCounter(vdp));
        }
        EXPECT_EQ(Expand(c.Runs), seen) << "model " << int(c.Model) << " pal " << int(c.Pal) << " " << c.Runs;
    }
}

// The frame interrupt as the V counter reaches $C1, $E1 or $F1, and the
// line interrupt at the end of line N (seen from the step of line N + 1)
// then every N + 1 lines while the counter runs: the active lines and the
// one after them.
TEST_F(ModelTest, InterruptLinesOfEachHeight)
{
    struct TCase {
        uint8_t Pal, R1Mode;
        uint32_t FrameLine, Active;
    };
    for (const TCase& c : {TCase{0, 0, 0xC1, 192}, TCase{0, kTall224, 0xE1, 224}, TCase{1, kTall240, 0xF1, 240}}) {
        Start(VDP_MODEL_315_5246, c.Pal);
        Reg(10, 9);
        Reg(0, kMode4 | 0x10);
        Reg(1, 0x60 | c.R1Mode);
        ModelFrame(0); // the counter starts from a reload
        Status();
        std::vector<uint32_t> lineInts;
        uint32_t frameInt = 0;
        for (uint32_t l = 0; l < VDP_LinesPerFrame(vdp); ++l) {
            VDP_RunLine(vdp, l, 0);
            if (VDP_GetInterruptLine(vdp)) {
                const uint8_t s = Status();
                if (s & 0x80)
                    frameInt = l;
                else
                    lineInts.push_back(l);
            }
        }
        EXPECT_EQ(c.FrameLine, frameInt);
        std::vector<uint32_t> expected;
        for (uint32_t l = 10; l <= c.Active + 1; l += 10)
            if (l != c.FrameLine)
                expected.push_back(l);
        EXPECT_EQ(expected, lineInts) << c.Active;
    }
}

TEST_F(ModelTest, LineCounterZeroFiresAfterEveryActiveLineAndTheOneAfter)
{
    Reg(10, 0);
    Reg(0, kMode4 | 0x10);
    ModelFrame(0);
    Status();
    uint32_t count = 0, last = 0;
    for (uint32_t l = 0; l < 262; ++l) {
        VDP_RunLine(vdp, l, 0);
        if (VDP_GetInterruptLine(vdp)) {
            Status();
            ++count;
            last = l;
        }
    }
    EXPECT_EQ(193u, count); // the ends of lines 0-192
    EXPECT_EQ(193u, last);
}

TEST_F(ModelTest, HCounterLatchesTheStepOfTheCpuCycle)
{
    VDP_LatchHCounter(vdp, 0);
    EXPECT_EQ(0xF4, VDP_ReadHCounter(vdp)); // where the V counter moves on
    VDP_LatchHCounter(vdp, 16);
    EXPECT_EQ(0x00, VDP_ReadHCounter(vdp));
    VDP_LatchHCounter(vdp, 227);
    EXPECT_EQ(0xF3, VDP_ReadHCounter(vdp));
    // Over a line every one of the 171 values comes, in counting order,
    // each for one or two cycles, and the latch holds until the next event.
    std::vector<uint8_t> values;
    for (uint32_t c = 0; c < 228; ++c) {
        VDP_LatchHCounter(vdp, c);
        if (values.empty() || values.back() != VDP_ReadHCounter(vdp))
            values.push_back(VDP_ReadHCounter(vdp));
    }
    ASSERT_EQ(171u, values.size());
    for (std::size_t i = 1; i < values.size(); ++i) {
        const uint8_t a = values[i - 1], b = values[i];
        EXPECT_TRUE(b == uint8_t(a + 1) || (a == 0x93 && b == 0xE9) || (a == 0xFF && b == 0x00)) << i;
    }
    Lines(0, 5);
    EXPECT_EQ(0xF3, VDP_ReadHCounter(vdp));
}

// ---------------------------------------------------------------- control port

TEST_F(ModelTest, FirstByteFlagIsClearedByDataAndStatusAccesses)
{
    using TAccess = void (*)(T_VDP_CORE&);
    const TAccess accesses[] = {
        [](T_VDP_CORE& v) { VDP_ReadStatus(v); },
        [](T_VDP_CORE& v) { VDP_ReadData(v); },
        [](T_VDP_CORE& v) { VDP_WriteData(v, 0x99); },
    };
    for (TAccess access : accesses) {
        Start(VDP_MODEL_315_5246);
        VramAt(0x1234);
        VDP_WriteControl(vdp, 0x55); // a lone first byte: address bits 7-0 at once
        EXPECT_EQ(0x1255, vdp.Address);
        access(vdp);
        // The pair starts again: this byte is a first byte, not a second one.
        Control(0x00, 0x42);
        EXPECT_EQ(0x0200, vdp.Address);
        EXPECT_EQ(1, vdp.Code);
    }
    // The default model clears it on data reads only, as designed.
    Start(VDP_MODEL_TIRAVEL);
    VDP_WriteControl(vdp, 0x55);
    VDP_ReadStatus(vdp);
    VDP_WriteData(vdp, 0);
    EXPECT_EQ(1, vdp.SecondByte);
}

TEST_F(ModelTest, RegisterWriteSetsTheAddressAndDataGoesToVram)
{
    Control(0x12, 0x8A); // R10 = $12, address $0A12
    EXPECT_EQ(0x12, vdp.Registers[10]);
    VDP_WriteData(vdp, 0x77);
    EXPECT_EQ(0x77, vdp.VRAM[0x0A12]);
    EXPECT_EQ(0x77, vdp.ReadBuffer); // writes load the read buffer
}

// ---------------------------------------------------------------- sprites

TEST_F(ModelTest, EightSpritesALineAndTheNinthSetsOverflow)
{
    DisplayOn();
    Reg(0, kMode4);
    Reg(1, 0x40);
    for (uint8_t s = 0; s < 9; ++s)
        Sprite(s, 49, uint8_t(s * 16), 3); // solid colour 3, lines 50-57
    Sprite(9, 0xD0, 0, 0);
    Lines(0, 50);
    EXPECT_EQ(0, Status() & 0x40);
    Lines(50, 51);
    EXPECT_EQ(0x40, Status() & 0x40) << "set as the V counter reaches the crowded line";
    EXPECT_EQ(19, At(50, 7 * 16));
    EXPECT_EQ(0, At(50, 8 * 16)) << "the ninth is not drawn";
    // Eight exactly: no overflow. A transparent ninth still counts.
    Sprite(8, 0xE0, 0, 0);
    Lines(51, 262);
    Status();
    ModelFrame();
    EXPECT_EQ(0, Status() & 0x40);
    Sprite(8, 49, 200, 0x20); // tile $20: blank VRAM
    ModelFrame(0);
    EXPECT_EQ(0x40, Status() & 0x40) << "counted on an undrawn frame too";
    VDP_SetSpriteLayer(vdp, 0);
    ModelFrame();
    EXPECT_EQ(0x40, Status() & 0x40) << "and with the sprite layer off";
}

TEST_F(ModelTest, D0EndsTheListIn192LinesOnly)
{
    DisplayOn();
    Sprite(0, 0xD0, 0, 0);
    Sprite(1, 9, 40, 4);
    for (uint8_t s = 2; s < 64; ++s)
        Sprite(s, 0xE0, 0, 0);
    ModelFrame();
    EXPECT_EQ(0, At(10, 40));
    Reg(1, 0x40 | kTall224);
    ModelFrame();
    EXPECT_EQ(224u, Height());
    EXPECT_EQ(20, At(10, 40));
}

TEST_F(ModelTest, CollisionBetweenOpaquePixelsOfBufferedSprites)
{
    DisplayOn();
    Tile(20, {"F0000000", "00000000", "00000000", "00000000", "00000000", "00000000", "00000000", "00000000"}); // one pixel, top-left
    for (uint8_t s = 0; s < 64; ++s)
        Sprite(s, 0xE0, 0, 0);
    struct TCase {
        uint8_t X0, X1, Pattern1;
        uint8_t Collides;
    };
    for (const TCase& c : {TCase{10, 10, 20, 1}, TCase{10, 11, 20, 0}, TCase{10, 10, 0x30, 0}, TCase{250, 250, 20, 1}}) {
        Sprite(0, 29, c.X0, 20);
        Sprite(1, 29, c.X1, c.Pattern1);
        ModelFrame(0);
        EXPECT_EQ(c.Collides ? 0x20 : 0, Status() & 0x20) << int(c.X1);
    }
    // Under a priority background too: the winner is hidden, the meeting counts.
    Name(3, 1, 0x1000 | 5);
    Sprite(0, 23, 8, 20);
    Sprite(1, 23, 8, 20);
    Reg(0, kMode4);
    ModelFrame();
    EXPECT_EQ(0x20, Status() & 0x20);
    EXPECT_EQ(5, At(24, 8));
}

TEST_F(ModelTest, ZoomWidensFourSpritesOnThe5124AndEightOnThe5246)
{
    for (uint8_t model : {VDP_MODEL_315_5124, VDP_MODEL_315_5246}) {
        Start(model);
        Reg(1, 0x41); // display, zoom
        for (uint8_t s = 0; s < 8; ++s)
            Sprite(s, 39, uint8_t(s * 32), uint8_t(s + 1)); // solid colour s + 1
        Sprite(8, 0xD0, 0, 0);
        ModelFrame();
        for (uint32_t s = 0; s < 8; ++s) {
            const uint32_t x = s * 32;
            const bool wide = model == VDP_MODEL_315_5246 || s < 4;
            EXPECT_EQ(17 + s, At(40, x + 7)) << "model " << int(model) << " sprite " << s;
            EXPECT_EQ(wide ? 17 + s : 0u, At(40, x + 15)) << "model " << int(model) << " sprite " << s;
            EXPECT_EQ(0, At(40, x + 16));
            // Doubled lines on both chips: 16 lines, 40-55.
            EXPECT_EQ(17 + s, At(55, x));
            EXPECT_EQ(0, At(56, x));
        }
    }
}

// ---------------------------------------------------------------- modes and the picture

TEST_F(ModelTest, TallModesFillTheirHeightFromTheX700Table)
{
    for (uint8_t r1 : {kTall224, kTall240}) {
        Start(VDP_MODEL_315_5246, 1);
        RowTable(0x3700, 32);
        Reg(1, 0x40 | r1);
        ModelFrame();
        const uint32_t height = r1 == kTall224 ? 224 : 240;
        ASSERT_EQ(height, Height());
        uint32_t bmpHeight;
        std::memcpy(&bmpHeight, vdp.FrameImage + 22, 4);
        EXPECT_EQ(height, bmpHeight);
        EXPECT_EQ(VDP_FRAME_PIXEL_OFFSET + 256 * height, VDP_FrameImageSize(vdp));
        for (uint32_t line = 0; line < height; line += 8)
            EXPECT_EQ(RowValue(line / 8), At(line, 100)) << line;
        // The vertical scroll wraps at 256: scroll 16 shows rows 2-31 then 0-1.
        Reg(9, 16);
        ModelFrame();
        EXPECT_EQ(RowValue(2), At(0, 0));
        EXPECT_EQ(RowValue((height / 8 + 1) & 31), At(height - 1, 0));
    }
    // Back to 192 lines: the image follows on the next drawn frame only.
    Reg(1, 0x40);
    ModelFrame(0);
    EXPECT_EQ(240u, Height());
    ModelFrame();
    EXPECT_EQ(192u, Height());
}

TEST_F(ModelTest, The5124Shows192LinesAndMasksNameRowsWithR2Bit0)
{
    Start(VDP_MODEL_315_5124);
    RowTable(0x3800, 28);
    Reg(1, 0x40 | kTall224);
    ModelFrame();
    EXPECT_EQ(192u, Height());
    EXPECT_EQ(RowValue(17), At(17 * 8, 0));
    Reg(2, 0xFE); // bit 0 clear: rows 16-27 come from rows 0-11
    ModelFrame();
    EXPECT_EQ(RowValue(1), At(17 * 8, 0));
    EXPECT_EQ(RowValue(3), At(3 * 8, 0));
    // The 315-5246 ignores the bit.
    Start(VDP_MODEL_315_5246);
    RowTable(0x3800, 28);
    Reg(2, 0xFE);
    DisplayOn();
    ModelFrame();
    EXPECT_EQ(RowValue(17), At(17 * 8, 0));
}

TEST_F(ModelTest, FineScrollUncoversBackgroundColourZeroAndBlankShowsTheBackdrop)
{
    Cram(0, 0x2A);
    RowTable(0x3800, 28);
    Reg(8, 3);
    DisplayOn();
    ModelFrame();
    EXPECT_EQ(0x2A, At(9, 0));
    EXPECT_EQ(0x2A, At(9, 2));
    EXPECT_EQ(RowValue(1), At(9, 3));
    Reg(7, 0x05);
    Reg(1, 0x00);
    ModelFrame();
    EXPECT_EQ(21, At(100, 50)); // CRAM 16 + 5
}

// ---------------------------------------------------------------- TMS9918 modes

class TmsTest : public ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        Reg(7, 0x04); // backdrop: dark blue
    }
};

TEST_F(TmsTest, GraphicsIColoursEachGroupOfEightPatterns)
{
    Reg(0, 0x00);
    Reg(1, 0x40);
    Reg(2, 0x0E); // names at $3800
    Reg(3, 0x80); // colours at $2000
    Reg(4, 0x00); // patterns at $0000
    Poke(0x0000 + 9 * 8, {0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0x0F}); // pattern 9
    Poke(0x2000 + 1, {0xF6});                                                 // patterns 8-15: white on dark red
    Poke(0x2000 + 0, {0x00});                                                 // patterns 0-7: transparent
    Poke(0x3800 + 5 * 32 + 3, {9});
    ModelFrame();
    EXPECT_EQ(192u, Height());
    EXPECT_EQ(0x3F, At(40, 24)); // white (15)
    EXPECT_EQ(0x01, At(40, 28)); // dark red (6)
    EXPECT_EQ(0x01, At(47, 24));
    EXPECT_EQ(0x3F, At(47, 28));
    EXPECT_EQ(0x10, At(0, 0)) << "colour 0 shows the backdrop";
}

TEST_F(TmsTest, GraphicsIIGivesEachThirdItsPatternsAndEachRowItsColours)
{
    Reg(0, 0x02);
    Reg(1, 0x40);
    Reg(2, 0x0E);
    Reg(3, 0xFF); // colours at $2000
    Reg(4, 0x03); // patterns at $0000
    // Name 1 in the first and in the last third: different patterns and colours.
    Poke(0x0000 + 1 * 8, {0xFF, 0x00});
    Poke(0x2000 + 1 * 8, {0x20, 0x0C});       // row 0: medium green on -, row 1: - on dark green
    Poke(0x1000 + 1 * 8, {0x80});             // third 2, pattern 1
    Poke(0x3000 + 1 * 8, {0x9E});             // light red on grey
    Poke(0x3800 + 0 * 32 + 0, {1});
    Poke(0x3800 + 16 * 32 + 0, {1});
    ModelFrame();
    EXPECT_EQ(0x08, At(0, 5));   // medium green
    EXPECT_EQ(0x04, At(1, 5));   // dark green background
    EXPECT_EQ(0x03, At(128, 0)); // light red
    EXPECT_EQ(0x15, At(128, 1)); // grey
}

TEST_F(TmsTest, TextModeHas40CellsOf6PixelsInR7sColours)
{
    Reg(0, 0x00);
    Reg(1, 0x50); // display, M1
    Reg(2, 0x0E);
    Reg(4, 0x00);
    Reg(7, 0xF4); // white on dark blue
    Poke(0x0008, {0xA8});
    Poke(0x3800 + 1, {1}); // cell 1 of row 0
    ModelFrame();
    EXPECT_EQ(0x10, At(0, 0));   // border
    EXPECT_EQ(0x3F, At(0, 14));  // cell 1 starts at 8 + 6
    EXPECT_EQ(0x10, At(0, 15));
    EXPECT_EQ(0x3F, At(0, 16));
    EXPECT_EQ(0x10, At(0, 250)); // right border
}

TEST_F(TmsTest, MulticolorBlocksComeFromTheBytesTheRowPicks)
{
    Reg(0, 0x00);
    Reg(1, 0x48); // display, M3
    Reg(2, 0x0E);
    Reg(4, 0x00);
    Poke(3 * 8 + 2, {0x9C, 0x00}); // name row 1 (AND 3 = 1): bytes 2 and 3
    Poke(0x3800 + 1 * 32 + 2, {3});
    ModelFrame();
    EXPECT_EQ(0x03, At(8, 16));  // light red, top half of the cell
    EXPECT_EQ(0x04, At(11, 20)); // dark green
    EXPECT_EQ(0x10, At(12, 16)); // the second byte: transparent, backdrop
}

TEST_F(TmsTest, FourSpritesALineAndTheFifthsNumber)
{
    Reg(0, 0x00);
    Reg(1, 0x40);
    Reg(5, 0x7E); // attributes at $3F00
    Reg(6, 0x00); // patterns at $0000
    Poke(0x0008, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    for (uint8_t s = 0; s < 6; ++s)
        Poke(0x3F00 + 4 * s, {19, uint8_t(s * 20), 1, uint8_t(2 + s)});
    Poke(0x3F00 + 4 * 6, {0xD0});
    ModelFrame();
    EXPECT_EQ(0x08, At(20, 0));          // sprite 0: medium green
    EXPECT_EQ(0x30, At(20, 3 * 20));     // sprite 3: light blue
    EXPECT_EQ(0x10, At(20, 4 * 20));     // the fifth is not drawn: backdrop
    const uint8_t status = Status();
    EXPECT_EQ(0x40, status & 0x40);
    EXPECT_EQ(4, status & 0x1F);
    // Overlapping sprites collide.
    Poke(0x3F00 + 4 * 1 + 1, {4});
    ModelFrame();
    EXPECT_EQ(0x20, Status() & 0x20);
}

// ---------------------------------------------------------------- state and read-outs

TEST_F(ModelTest, ModelStateKeepsTheTallPictureAndTheLatch)
{
    Start(VDP_MODEL_315_5246, 1);
    RowTable(0x3700, 32);
    Reg(1, 0x40 | kTall240);
    ModelFrame();
    VDP_LatchHCounter(vdp, 100);
    std::vector<uint8_t> main(VDP_STATE_SIZE), model(VDP_MODEL_STATE_SIZE);
    VDP_SaveState(vdp, main.data());
    VDP_SaveModelState(vdp, model.data());

    auto copy = std::make_unique<T_VDP_CORE>();
    copy->Model = VDP_MODEL_315_5246;
    copy->Pal = 1;
    VDP_Reset(*copy);
    std::string reason;
    ASSERT_TRUE(VDP_ValidateState(*copy, main.data(), main.size(), reason)) << reason;
    ASSERT_TRUE(VDP_ValidateModelState(*copy, model.data(), model.size(), reason)) << reason;
    VDP_LoadModelState(*copy, model.data()); // either order
    VDP_LoadState(*copy, main.data());
    EXPECT_EQ(240u, VDP_PictureHeight(*copy));
    EXPECT_EQ(vdp.HCounter, copy->HCounter);
    EXPECT_EQ(0, std::memcmp(vdp.FrameImage, copy->FrameImage, VDP_FrameImageSize(vdp)));

    // A PAL frame's last line is a valid current line there, not in NTSC.
    EXPECT_EQ(312u, vdp.CurrentLine);
    copy->Pal = 0;
    EXPECT_FALSE(VDP_ValidateState(*copy, main.data(), main.size(), reason));

    const struct {
        std::size_t At;
        uint8_t Value;
    } bad[] = {{0, 200}, {2, 0xA0}, {3, 32}, {4 + 77, 0x40}};
    for (const auto& b : bad) {
        std::vector<uint8_t> broken = model;
        broken[b.At] = b.Value;
        EXPECT_FALSE(VDP_ValidateModelState(*copy, broken.data(), broken.size(), reason)) << b.At;
    }
    EXPECT_FALSE(VDP_ValidateModelState(*copy, model.data(), model.size() - 1, reason));
}

TEST_F(ModelTest, ReadoutsNameTheModeAndMarkDroppedSprites)
{
    Reg(1, 0x40 | kTall224);
    for (uint8_t s = 0; s < 10; ++s)
        Sprite(s, 0xD0, uint8_t(s * 10), 0); // $D0 is a position in 224 lines
    auto table = std::make_unique<T_VDP_SPRITE_TABLE>();
    VDP_ReadSprites(vdp, *table);
    EXPECT_EQ(1, table->Dropped);
    EXPECT_EQ(224, table->LineCount);
    EXPECT_EQ(64, table->ListLength);
    EXPECT_EQ(10, table->Lines[0xD1].Count);
    EXPECT_EQ(2, table->Lines[0xD1].OverLimit);
    EXPECT_EQ(8, table->Sprites[9].OverLimitLines);

    const std::vector<T_VDP_FIELD> rows = VDP_DescribeRegisters(vdp);
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ("Mode 4, 224 lines", rows[0].Value);
    EXPECT_EQ("262", rows[1].Value);
    Reg(0, 0x02);
    Reg(1, 0x40);
    EXPECT_EQ("Graphics II", VDP_DescribeRegisters(vdp)[0].Value);

    Start(VDP_MODEL_TIRAVEL);
    VDP_ReadSprites(vdp, *table);
    EXPECT_EQ(0, table->Dropped);
    EXPECT_EQ("R0", VDP_DescribeRegisters(vdp)[0].Name);
}

} // namespace
