// VDPEM ports: control protocol, data port and read-ahead, status and the
// interrupt output across frames, V counter.
#include "VDPTestSupport.h"

#include <cstring>
#include <vector>

TEST_F(VdpTest, ControlPairSetsAddressAndCode)
{
    Control(0x34, 0x52);
    EXPECT_EQ(1, vdp.Code);
    VDP_WriteData(vdp, 0xAA);
    EXPECT_EQ(0xAA, vdp.VRAM[0x1234]);
    EXPECT_EQ(0x1235, vdp.Address);

    // A lone first byte replaces the whole address (high bits too); a data
    // write in between does not end the pair.
    VDP_WriteControl(vdp, 0x56);
    VDP_WriteData(vdp, 0xBB);
    EXPECT_EQ(0xBB, vdp.VRAM[0x0056]);
    VDP_WriteControl(vdp, 0x52);
    EXPECT_EQ(0x1257, vdp.Address);
    EXPECT_EQ(0, vdp.SecondByte);
}

TEST_F(VdpTest, ReadSetUpFetchesAheadAndReadsFollowVram)
{
    vdp.VRAM[0] = 0x11;
    vdp.VRAM[1] = 0x22;
    vdp.VRAM[0x3FFF] = 0x99;
    Control(0x00, 0x00);
    EXPECT_EQ(1, vdp.Address);
    vdp.VRAM[0] = 0x77; // too late: already in the read-ahead byte
    EXPECT_EQ(0x11, VDP_ReadData(vdp));
    EXPECT_EQ(0x22, VDP_ReadData(vdp));

    Control(0xFF, 0x3F); // read ahead from the last byte, then wrap to 0
    EXPECT_EQ(0, vdp.Address);
    EXPECT_EQ(0x99, VDP_ReadData(vdp));
    EXPECT_EQ(0x77, VDP_ReadData(vdp));

    VDP_WriteControl(vdp, 0x12); // a read ends a half-written pair
    VDP_ReadData(vdp);
    EXPECT_EQ(0, vdp.SecondByte);
}

TEST_F(VdpTest, CramWritesUseLowFiveBitsAndSixColourBits)
{
    Control(0x05, 0xC0);
    for (int i = 0; i < 3; ++i)
        VDP_WriteData(vdp, 0xFF);
    EXPECT_EQ(0x3F, vdp.CRAM[5]);
    EXPECT_EQ(0x3F, vdp.CRAM[7]);
    EXPECT_EQ(0, vdp.CRAM[8]);

    Control(0xFF, 0xFF);
    VDP_WriteData(vdp, 0x2A);
    VDP_WriteData(vdp, 0x15);
    EXPECT_EQ(0x2A, vdp.CRAM[31]);
    EXPECT_EQ(0x15, vdp.CRAM[0]);
    EXPECT_EQ(1, vdp.Address);
}

TEST_F(VdpTest, RegisterWrites)
{
    Control(0xFF, 0x8A);
    EXPECT_EQ(0xFF, vdp.Registers[10]);
    EXPECT_EQ(0x00FF, vdp.Address);
    VDP_WriteData(vdp, 0x55); // code 2: data writes go nowhere
    EXPECT_EQ(0x00FF, vdp.Address);
    EXPECT_EQ(0, vdp.VRAM[0xFF]);

    Control(0x33, 0xB8); // only the low four bits choose the register
    EXPECT_EQ(0x33, vdp.Registers[8]);

    auto before = std::make_unique<T_VDP_CORE>(vdp);
    for (uint8_t index = 11; index <= 15; ++index)
        Control(0x5A, 0x80 | index);
    before->Address = vdp.Address; // the pair itself still loads the address
    EXPECT_EQ(0, std::memcmp(before.get(), &vdp, sizeof vdp));
}

TEST_F(VdpTest, FrameInterruptAcrossAFrame)
{
    Frame();
    EXPECT_EQ(0, VDP_GetInterruptLine(vdp)); // flag raised but disabled
    EXPECT_EQ(0x80, VDP_ReadStatus(vdp));
    EXPECT_EQ(0x00, VDP_ReadStatus(vdp));

    Reg(1, 0x20);
    for (uint32_t l = 0; l < 262; ++l) {
        VDP_RunLine(vdp, l, 1);
        ASSERT_EQ(l >= 193, VDP_GetInterruptLine(vdp) == 1) << "line " << l;
        if (l == 192)
            VDP_ReadStatus(vdp); // drop the line flag raised at line 0
    }
    Reg(0, 0x00); // only the frame flag is pending: register 0 leaves the output
    EXPECT_EQ(1, VDP_GetInterruptLine(vdp));
    Reg(1, 0x00);
    EXPECT_EQ(0, VDP_GetInterruptLine(vdp));
    Reg(1, 0x20);
    EXPECT_EQ(1, VDP_GetInterruptLine(vdp));
    VDP_ReadStatus(vdp);
    EXPECT_EQ(0, VDP_GetInterruptLine(vdp));
    VDP_RunLine(vdp, 200, 1); // the flag is gone, so the next line stays quiet
    EXPECT_EQ(0, VDP_GetInterruptLine(vdp));
}

// Lines on which the line interrupt fires in one frame, acknowledged at once.
static std::vector<uint32_t> LineInterrupts(T_VDP_CORE& vdp)
{
    std::vector<uint32_t> lines;
    for (uint32_t l = 0; l < 262; ++l) {
        VDP_RunLine(vdp, l, 1);
        if (l < 193 && VDP_GetInterruptLine(vdp))
            lines.push_back(l);
        VDP_ReadStatus(vdp);
    }
    return lines;
}

TEST_F(VdpTest, LineInterruptCounter)
{
    Reg(0, 0x10);
    Reg(10, 10); // first frame after reset: the counter starts empty
    std::vector<uint32_t> first = LineInterrupts(vdp);
    EXPECT_EQ((std::vector<uint32_t>{0, 11, 22}), std::vector<uint32_t>(first.begin(), first.begin() + 3));

    for (uint8_t n : {0, 10, 100, 200}) {
        SCOPED_TRACE(int(n));
        Reg(10, n);
        LineInterrupts(vdp); // lines 193-261 load the new value
        std::vector<uint32_t> expected;
        for (uint32_t l = n; l <= 192; l += n + 1u)
            expected.push_back(l);
        EXPECT_EQ(expected, LineInterrupts(vdp));
    }

    Reg(0, 0x00); // pending but disabled, until enabled
    Reg(10, 0);
    VDP_RunLine(vdp, 261, 1);
    VDP_RunLine(vdp, 0, 1);
    EXPECT_EQ(0, VDP_GetInterruptLine(vdp));
    Reg(0, 0x10);
    EXPECT_EQ(1, VDP_GetInterruptLine(vdp));
}

TEST_F(VdpTest, VCounterJumpsBackAfterDA)
{
    const std::pair<uint32_t, uint8_t> cases[] = {{0, 0x00}, {192, 0xC0}, {218, 0xDA}, {219, 0xD5}, {230, 0xE0}, {261, 0xFF}};
    for (auto [line, value] : cases) {
        VDP_RunLine(vdp, line, 0);
        EXPECT_EQ(value, VDP_ReadVCounter(vdp)) << line;
        EXPECT_EQ(value, VDP_ReadVCounter(vdp)) << line;
    }
}
