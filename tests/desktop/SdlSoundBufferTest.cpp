// The SDL sound output buffer: the device (dummy driver) plays silence while
// stopped and the ring in order while playing.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "SdlSoundBuffer.h"
#include "SoundBufferWrite.h"

namespace {

constexpr uint32_t kRate = 43950;
constexpr uint32_t kSize = 5880;

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
