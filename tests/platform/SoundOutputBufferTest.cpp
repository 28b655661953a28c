// The sound output buffer: the ring and cursor rules on the virtual buffer,
// and the SDL device (dummy driver) playing the ring in order.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <numeric>
#include <vector>

#include "SdlSoundBuffer.h"
#include "SoundOutputBuffer.h"

namespace {

constexpr uint32_t kRate = 43950;
constexpr uint32_t kSize = 5880;

void Write(TSoundOutputBuffer& buffer, uint32_t offset, const std::vector<uint8_t>& bytes) {
    TSoundLockRegions regions;
    ASSERT_TRUE(buffer.Lock(offset, static_cast<uint32_t>(bytes.size()), regions));
    for (uint32_t i = 0; i < regions.Size1; ++i) regions.Region1[i] = bytes[i];
    for (uint32_t i = 0; i < regions.Size2; ++i) regions.Region2[i] = bytes[regions.Size1 + i];
    buffer.Unlock(regions);
}

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

// Collects what the device's callback hands to the card.
struct TCapture {
    std::mutex mutex;
    std::condition_variable grew;
    std::vector<uint8_t> bytes;
    int calls = 0;
    void Take(const uint8_t* data, int length) {
        std::lock_guard lock(mutex);
        bytes.insert(bytes.end(), data, data + length);
        ++calls;
        grew.notify_all();
    }
    bool AwaitBytes(std::size_t count) {
        std::unique_lock lock(mutex);
        return grew.wait_for(lock, std::chrono::seconds(20), [&] { return bytes.size() >= count; });
    }
};

struct SdlSoundBufferTest : ::testing::Test {
    void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }
};

TEST_F(SdlSoundBufferTest, DevicePlaysSilenceWhileStoppedAndTheRingInOrderWhilePlaying) {
    TCapture capture;
    TSdlSoundBuffer buffer;
    buffer.Tap = [&](const uint8_t* data, int length) { capture.Take(data, length); };
    ASSERT_TRUE(buffer.Create(kRate, kSize)) << buffer.LastError();

    ASSERT_TRUE(capture.AwaitBytes(2048));
    EXPECT_EQ(buffer.GetCurrentPosition(), 0u) << "stopped: the cursor stays";
    {
        std::lock_guard lock(capture.mutex);
        for (uint8_t b : capture.bytes) ASSERT_EQ(b, 128);
    }

    std::vector<uint8_t> ring(kSize);
    for (uint32_t i = 0; i < kSize; ++i) ring[i] = static_cast<uint8_t>(i % 251);
    for (uint32_t offset = 0; offset < kSize; offset += 735)
        Write(buffer, offset, std::vector<uint8_t>(ring.begin() + offset, ring.begin() + offset + 735));
    std::size_t start;
    {
        std::lock_guard lock(capture.mutex);
        start = capture.bytes.size();
    }
    buffer.Play();
    ASSERT_TRUE(capture.AwaitBytes(start + kSize + 2048));
    buffer.Stop();
    EXPECT_NE(buffer.GetCurrentPosition(), 0u);

    // Past the blocks played before Play took effect (silence), the bytes
    // come out in ring order from position 0, wrapping at the end.
    std::lock_guard lock(capture.mutex);
    std::size_t first = start;
    while (first < capture.bytes.size() && capture.bytes[first] == 128) ++first;
    ASSERT_LT(first + kSize + 1000, capture.bytes.size());
    ASSERT_EQ(capture.bytes[first], ring[0]);
    for (std::size_t i = 0; i < kSize + 1000; ++i)
        ASSERT_EQ(capture.bytes[first + i], ring[i % kSize]) << "at " << i;
}

}  // namespace
