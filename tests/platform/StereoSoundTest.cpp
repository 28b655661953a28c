// The hardware models' sound path without a card: the stereo queue (start
// level, fades, stop, underrun, capacity, volume) pulled by hand, and the
// rate control against a simulated card whose clock runs off, over ten
// minutes of a fake clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <vector>

#include "SoundRateControl.h"
#include "StereoSoundQueue.h"

namespace {

constexpr uint32_t kRate = 48000;
constexpr uint32_t kFramePairs = 800;

// A loud square wave.
std::vector<int16_t> Square(uint32_t pairs, int16_t level = 20000) {
    std::vector<int16_t> out(2 * pairs);
    for (uint32_t i = 0; i < pairs; ++i) out[2 * i] = out[2 * i + 1] = (i / 50) % 2 == 0 ? level : int16_t(-level);
    return out;
}

std::vector<int16_t> PullPairs(TStereoSoundQueue& queue, uint32_t pairs) {
    std::vector<int16_t> out(2 * pairs, 1234);
    queue.Pull(out.data(), pairs);
    return out;
}

// The largest change between two neighbouring samples of one channel.
int LargestStep(const std::vector<int16_t>& samples, int16_t before = 0) {
    int step = std::abs(samples[0] - before);
    for (std::size_t i = 2; i < samples.size(); i += 2) step = std::max(step, std::abs(samples[i] - samples[i - 2]));
    return step;
}

bool Silent(const std::vector<int16_t>& samples) {
    return std::all_of(samples.begin(), samples.end(), [](int16_t s) { return s == 0; });
}

// A level far from silence with a small ripple (so that the order shows):
// where the card would jump from or to silence the step would be 10000; a
// fade over 4 ms (192 pairs) keeps every step below 2% of that.
std::vector<int16_t> Level(uint32_t pairs) {
    std::vector<int16_t> out(2 * pairs);
    for (uint32_t i = 0; i < pairs; ++i) out[2 * i] = out[2 * i + 1] = static_cast<int16_t>(10000 + i % 50);
    return out;
}
constexpr int kFadeStep = 200;

TEST(StereoSoundQueue, StartsAtItsLevelFadedInAndStopsFadedOut) {
    TStereoSoundQueue queue;
    ASSERT_TRUE(queue.Open(kRate));
    EXPECT_EQ(queue.Capacity(), 2400u);  // 50 ms
    const std::vector<int16_t> frame = Level(kFramePairs);

    // One frame (16.7 ms) is below the start level (32 ms): the card hears silence.
    queue.Push(frame.data(), kFramePairs);
    EXPECT_FALSE(queue.Playing());
    EXPECT_TRUE(Silent(PullPairs(queue, 480)));
    EXPECT_EQ(queue.Queued(), kFramePairs);

    // The second reaches it: the pairs in order, the first 4 ms rising from silence.
    queue.Push(frame.data(), kFramePairs);
    EXPECT_TRUE(queue.Playing());
    std::vector<int16_t> played = PullPairs(queue, kFramePairs);
    EXPECT_LT(LargestStep({played.begin(), played.begin() + 2 * 192}), kFadeStep);
    EXPECT_EQ(played[0], 0);
    for (uint32_t i = 192; i < kFramePairs; ++i) ASSERT_EQ(played[2 * i], frame[2 * i]) << i;
    EXPECT_EQ(played[2 * 191 + 1], played[2 * 191]) << "both channels";

    // Stop while 800 pairs are queued: 4 ms fall to silence, the rest goes.
    queue.Push(frame.data(), kFramePairs);
    queue.Stop();
    EXPECT_EQ(queue.Queued(), 192u);
    played = PullPairs(queue, 480);
    EXPECT_LT(LargestStep(played, frame[2 * 799]), kFadeStep);
    EXPECT_TRUE(Silent({played.begin() + 2 * 192, played.end()}));
    EXPECT_FALSE(queue.Playing());
    EXPECT_EQ(queue.Queued(), 0u);

    // Stopped before anything played: nothing is heard, nothing stays.
    queue.Push(frame.data(), kFramePairs);
    queue.Stop();
    EXPECT_EQ(queue.Queued(), 0u);
    EXPECT_TRUE(Silent(PullPairs(queue, 480)));

    // A start after the stop fades in again; none of it counted an underrun.
    queue.Push(frame.data(), kFramePairs);
    queue.Push(frame.data(), kFramePairs);
    played = PullPairs(queue, 480);
    EXPECT_LT(LargestStep({played.begin(), played.begin() + 2 * 192}), kFadeStep);
    EXPECT_EQ(queue.Counts().Starts, 2u);
    EXPECT_EQ(queue.Counts().Underruns, 0u);
}

TEST(StereoSoundQueue, RampsUnderrunsCapacityAndVolume) {
    TStereoSoundQueue queue;
    ASSERT_TRUE(queue.Open(kRate));
    const std::vector<int16_t> frame = Square(kFramePairs);

    // The rewind's frames: falling to silence, silence of the same length,
    // then rising again; the level stays that of the pushed frames.
    queue.Push(frame.data(), kFramePairs, TSoundRamp::Out);
    queue.Push(frame.data(), kFramePairs, TSoundRamp::Silent);
    queue.Push(frame.data(), kFramePairs, TSoundRamp::In);
    EXPECT_EQ(queue.Queued(), 3 * kFramePairs);
    std::vector<int16_t> played = PullPairs(queue, 3 * kFramePairs);
    EXPECT_EQ(played[2 * (kFramePairs - 1)], 0) << "fallen to silence at the frame's end";
    EXPECT_LE(std::abs(played[2 * (kFramePairs - 2)]), 20000 / int(kFramePairs) + 1);
    EXPECT_TRUE(Silent({played.begin() + 2 * kFramePairs, played.begin() + 4 * kFramePairs}));
    EXPECT_LE(std::abs(played[2 * (2 * kFramePairs + 1)]), 20000 / int(kFramePairs) + 1) << "rising from silence";
    EXPECT_EQ(played[2 * (3 * kFramePairs - 1)], frame[2 * (kFramePairs - 1)] * int(kFramePairs - 1) / int(kFramePairs));
    EXPECT_EQ(queue.Counts().Underruns, 0u);

    // Run dry: the rest of the block is silence, counted; the next start
    // waits for the start level again.
    EXPECT_TRUE(Silent(PullPairs(queue, 480)));
    EXPECT_EQ(queue.Counts().Underruns, 1u);
    queue.Push(frame.data(), kFramePairs);
    EXPECT_TRUE(Silent(PullPairs(queue, 480)));
    EXPECT_EQ(queue.Counts().Underruns, 1u);

    // Past 50 ms nothing is queued; what did not fit is counted.
    for (int i = 0; i < 4; ++i) queue.Push(frame.data(), kFramePairs);
    EXPECT_EQ(queue.Queued(), 2400u);
    EXPECT_EQ(queue.Counts().DroppedPairs, 5 * kFramePairs - 2400u);
    EXPECT_EQ(queue.Counts().MaxQueued, 2400u);

    // The volume scales what the card gets, not what is queued.
    TStereoSoundQueue scaled;
    ASSERT_TRUE(scaled.Open(kRate));
    scaled.SetVolume(30);
    for (int i = 0; i < 2; ++i) scaled.Push(frame.data(), kFramePairs);
    played = PullPairs(scaled, kFramePairs);
    for (uint32_t i = 192; i < kFramePairs; ++i) ASSERT_EQ(played[2 * i], frame[2 * i] * 30 / 100) << i;
    scaled.SetVolume(100);
    played = PullPairs(scaled, kFramePairs);
    for (uint32_t i = 0; i < kFramePairs; ++i) ASSERT_EQ(played[2 * i], frame[2 * i]) << i;
    uint8_t mono[4] = {128, 255, 0, 200};
    Sound_ApplyVolume(mono, 4, 50);
    EXPECT_EQ(std::vector<uint8_t>(mono, mono + 4), (std::vector<uint8_t>{128, 191, 64, 164}));
}

// Ten minutes of a Master System's NTSC frames (59.9227 a second, each
// pushed up to 3 ms late, as the window thread's hand-over jitters) into the
// queue, drained by a card that pulls 480 pairs at a time by a clock 0.5%
// fast or slow, or exact. The console's arithmetic: each frame brings
// 48000 * factor / 59.9227 pairs, the fractions carried.
struct TCardCase {
    double CardRatio;  // the card's clock against the host's
};
void PrintTo(const TCardCase& c, std::ostream* out) { *out << "card clock x" << c.CardRatio; }

class RateControlTest : public ::testing::TestWithParam<TCardCase> {};

TEST_P(RateControlTest, KeepsTheQueueWithinItsBoundsAndSettlesOnItsTarget) {
    const double card = GetParam().CardRatio;
    constexpr double kFps = 59.9227;
    constexpr double kMinutes = 10;
    TStereoSoundQueue queue;
    ASSERT_TRUE(queue.Open(kRate));
    TSoundRateControl control;
    std::vector<int16_t> frame(2 * 1200, 1000);
    std::vector<int16_t> block(2 * 480);

    double due = 0;  // pairs owed by the console, as its fraction carries
    double factor = 1.0;
    double nextPull = 0;
    const double pullPeriod = 480.0 / (kRate * card);
    uint32_t seed = 12345;
    double lastMinuteSum = 0, lastMinuteFactor = 0, minQueued = 1e9, maxQueued = 0;
    int lastMinuteFrames = 0;
    const int frames = static_cast<int>(kMinutes * 60 * kFps);
    for (int n = 0; n < frames; ++n) {
        seed = seed * 1103515245u + 12345u;
        const double pushAt = n / kFps + 0.003 * ((seed >> 16) % 1000) / 1000.0;
        // The card pulls whatever falls due before this frame's push.
        for (; nextPull < pushAt; nextPull += pullPeriod) {
            if (queue.Playing()) minQueued = std::min(minQueued, queue.QueuedMs());
            queue.Pull(block.data(), 480);
        }
        due += kRate * factor / kFps;
        const auto pairs = static_cast<uint32_t>(due);
        due -= pairs;
        queue.Push(frame.data(), pairs);
        const double queued = queue.QueuedMs();
        maxQueued = std::max(maxQueued, queued);
        if (queue.Playing()) {
            factor = control.Update(queued, 1.0 / kFps);
        } else {
            control.Hold();
        }
        if (n >= frames - 60 * kFps) {
            lastMinuteSum += queued;
            lastMinuteFactor += factor;
            ++lastMinuteFrames;
        }
    }
    const TStereoSoundQueue::TCounts counts = queue.Counts();
    EXPECT_EQ(counts.Starts, 1u);
    EXPECT_EQ(counts.Underruns, 0u);
    EXPECT_EQ(counts.DroppedPairs, 0u);
    EXPECT_LE(maxQueued, 50.0);
    EXPECT_GT(minQueued, 0.0);
    // Settled: the level after each push averages the target over the last
    // minute, and the factor has learnt the card's clock.
    EXPECT_NEAR(lastMinuteSum / lastMinuteFrames, control.TargetMs, 1.0);
    EXPECT_NEAR(lastMinuteFactor / lastMinuteFrames, card, 0.0005);
    std::printf("card %.3f: queue %.1f to %.1f ms, last minute %.2f ms, factor %.5f\n", card, minQueued, maxQueued,
                lastMinuteSum / lastMinuteFrames, lastMinuteFactor / lastMinuteFrames);
}

INSTANTIATE_TEST_SUITE_P(CardClocks, RateControlTest,
                         ::testing::Values(TCardCase{1.005}, TCardCase{0.995}, TCardCase{1.0}),
                         [](const auto& info) {
                             return info.param.CardRatio > 1 ? std::string("Fast")
                                    : info.param.CardRatio < 1 ? std::string("Slow")
                                                               : std::string("Exact");
                         });

}  // namespace
