// The sound output buffer: the ring and cursor rules on the virtual buffer.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "SoundBufferWrite.h"
#include "SoundOutputBuffer.h"

namespace {

constexpr uint32_t kRate = 43950;
constexpr uint32_t kSize = 5880;

std::vector<uint8_t> Ramp(uint32_t count, uint8_t start) {
    std::vector<uint8_t> bytes(count);
    std::iota(bytes.begin(), bytes.end(), start);
    return bytes;
}

TEST(VirtualSoundBuffer, IsCreatedSilentStoppedAndAtZero) {
    TVirtualSoundBuffer buffer;
    ASSERT_TRUE(buffer.Create(kRate, kSize));
    EXPECT_FALSE(buffer.GetStatus());
    EXPECT_EQ(buffer.GetCurrentPosition(), 0u);
    buffer.Play();
    std::vector<uint8_t> out(kSize);
    buffer.Advance(kSize, out.data());
    EXPECT_EQ(out, std::vector<uint8_t>(kSize, 128));
}

TEST(VirtualSoundBuffer, CursorMovesOnlyWhilePlayingAndWraps) {
    TVirtualSoundBuffer buffer;
    buffer.Create(kRate, kSize);
    std::vector<uint8_t> out(100);
    buffer.Advance(100, out.data());
    EXPECT_EQ(buffer.GetCurrentPosition(), 0u);
    EXPECT_EQ(out, std::vector<uint8_t>(100, 128)) << "a stopped buffer plays silence";

    buffer.Play();
    buffer.Advance(5000);
    EXPECT_EQ(buffer.GetCurrentPosition(), 5000u);
    buffer.Stop();  // the cursor stays where it was
    EXPECT_FALSE(buffer.GetStatus());
    buffer.Advance(300);
    EXPECT_EQ(buffer.GetCurrentPosition(), 5000u);
    buffer.Play();
    buffer.Advance(1000);
    EXPECT_EQ(buffer.GetCurrentPosition(), 120u);  // 6000 - 5880

    buffer.SetCurrentPosition(145);
    EXPECT_EQ(buffer.GetCurrentPosition(), 145u);
    buffer.SetCurrentPosition(kSize);  // outside the ring: ignored
    EXPECT_EQ(buffer.GetCurrentPosition(), 145u);
}

TEST(VirtualSoundBuffer, LockGivesTwoRegionsOnlyWhereTheRangeWraps) {
    TVirtualSoundBuffer buffer;
    buffer.Create(kRate, kSize);
    struct Case {
        uint32_t offset, bytes;
        bool ok;
        uint32_t size1, size2;
    } cases[] = {
        {0, 735, true, 735, 0},     {5145, 735, true, 735, 0}, {5500, 735, true, 380, 355},
        {5880, 735, false, 0, 0},   {0, 5881, false, 0, 0},    {0, 0, false, 0, 0},
    };
    for (const Case& c : cases) {
        TSoundLockRegions regions;
        EXPECT_EQ(buffer.Lock(c.offset, c.bytes, regions), c.ok) << c.offset << "+" << c.bytes;
        EXPECT_EQ(regions.Size1, c.size1);
        EXPECT_EQ(regions.Size2, c.size2);
        EXPECT_EQ(regions.Region1 == nullptr, !c.ok);
        if (c.ok) buffer.Unlock(regions);
    }
    TSoundLockRegions none;
    TVirtualSoundBuffer uncreated;
    EXPECT_FALSE(uncreated.Lock(0, 735, none));
}

TEST(VirtualSoundBuffer, PlaysWrittenBytesInOrderAcrossTheWrap) {
    TVirtualSoundBuffer buffer;
    buffer.Create(kRate, kSize);
    const std::vector<uint8_t> block = Ramp(735, 1);
    Write(buffer, 5500, block);
    buffer.SetCurrentPosition(5500);
    buffer.Play();
    std::vector<uint8_t> out(735);
    buffer.Advance(735, out.data());
    EXPECT_EQ(out, block);
    EXPECT_EQ(buffer.GetCurrentPosition(), 355u);
}


}  // namespace
