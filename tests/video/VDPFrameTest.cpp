// VDPEM frame image: bitmap headers and palette, pixel placement, export,
// an independent bitmap reader, and the status overlay read-out.
#include "VDPTestSupport.h"

#include <QImage>

#include <cstring>
#include <vector>

TEST_F(VdpTest, HeadersAndPalette)
{
    const uint8_t header[54] = {0x42, 0x4D, 0x36, 0xC4, 0, 0, 0, 0, 0, 0, 0x36, 0x04, 0, 0, 0x28, 0, 0, 0,
                                0, 0x01, 0, 0, 0xC0, 0, 0, 0, 0x01, 0, 0x08, 0, 0, 0, 0, 0, 0, 0xC0,
                                0, 0, 0x33, 0x0B, 0, 0, 0x33, 0x0B, 0, 0, 0, 0x01, 0, 0, 0, 0x01, 0, 0};
    EXPECT_EQ(0, std::memcmp(header, vdp.FrameImage, 54));
    const std::pair<int, uint32_t> entries[] = {{0x00, 0x00000000}, {0x15, 0x55555500}, {0x3F, 0xFFFFFF00},
                                                {0x03, 0x0000FF00}, {0x30, 0xFF000000}, {0x24, 0xAA550000}};
    for (auto [e, bgr0] : entries) {
        const uint8_t* p = vdp.FrameImage + 54 + 4 * e;
        EXPECT_EQ(bgr0, uint32_t(p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3])) << e;
    }
    for (int i = 54 + 4 * 64; i < 1078; ++i)
        ASSERT_EQ(0, vdp.FrameImage[i]);
}

TEST_F(VdpTest, ExportIsTheWholeBitmapWithLineZeroLast)
{
    Cram(0, 0x3F);
    Cram(1, 0x0C);
    std::array<std::string, 8> rows;
    rows.fill("00000001");
    Tile(0, rows);
    DisplayOn();
    Frame();
    std::vector<uint8_t> a(VDP_FRAME_IMAGE_SIZE), b(VDP_FRAME_IMAGE_SIZE);
    VDP_ExportFrame(vdp, a.data());
    VDP_ExportFrame(vdp, b.data());
    EXPECT_EQ(a, b);
    EXPECT_EQ(0, std::memcmp(a.data(), vdp.FrameImage, VDP_FRAME_IMAGE_SIZE));
    EXPECT_EQ(0x3F, a[49974]);    // line 0, x 0
    EXPECT_EQ(0x0C, a[1333]);     // line 191, x 255

    QImage image = QImage::fromData(a.data(), int(a.size()), "BMP");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(256, image.width());
    EXPECT_EQ(192, image.height());
    ASSERT_GE(image.colorTable().size(), 64);
    EXPECT_EQ(qRgb(0, 0, 255), image.colorTable()[0x30]);
    EXPECT_EQ(qRgb(255, 255, 255), image.pixel(0, 0));
    EXPECT_EQ(qRgb(0, 255, 0), image.pixel(7, 0));
}

TEST_F(VdpTest, StatusInfoReadsRegisters)
{
    T_VDP_STATUS_INFO info;
    Reg(0, 0xFF);
    Reg(1, 0x62);
    Reg(8, 0x12);
    Reg(9, 0x34);
    Reg(10, 0x56);
    VDP_GetStatusInfo(vdp, info);
    const uint8_t expected[7] = {1, 1, 1, 0x12, 0x34, 1, 0x56};
    EXPECT_EQ(0, std::memcmp(expected, &info, 7));
}
