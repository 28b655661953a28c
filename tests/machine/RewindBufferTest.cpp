// The rewind history on its own: differences that restore the older state
// exactly whatever the two states look like, states given back newest first,
// and the two limits (states and bytes) that make it forget the oldest.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "RewindBuffer.h"

namespace {

using TBytes = std::vector<uint8_t>;

TBytes Pattern(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    TBytes bytes(size);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

// A state `step` frames on: a few scattered bytes and one stretch changed,
// as a frame changes a machine's RAM and picture.
TBytes Evolve(const TBytes& state, uint32_t step) {
    TBytes next = state;
    std::mt19937 random(step * 7919u + 1);
    for (int i = 0; i < 20 && !next.empty(); ++i) next[random() % next.size()] ^= static_cast<uint8_t>(1 + random() % 255);
    if (next.size() > 600) {
        const size_t at = random() % (next.size() - 500);
        for (size_t j = 0; j < 500; ++j) next[at + j] = static_cast<uint8_t>(step + j);
    }
    return next;
}

TBytes Restore(const TBytes& older, const TBytes& newer, size_t ignoreFrom = 0, size_t ignoreSize = 0) {
    TBytes encoded(TRewindBuffer::WorstCaseEncoding(older.size()));
    const size_t size = TRewindBuffer::EncodeDifference(older.data(), older.size(), newer.data(), newer.size(),
                                                        encoded.data(), ignoreFrom, ignoreSize);
    EXPECT_LE(size, encoded.size());
    TBytes state = newer;
    state.resize(older.size(), 0);
    TRewindBuffer::ApplyDifference(encoded.data(), size, state.data(), state.size());
    return state;
}

}  // namespace

TEST(RewindBufferTest, DifferenceRestoresTheOlderStateWhateverTheyHold) {
    const TBytes base = Pattern(4099, 1);
    TBytes sameButTail = base;
    sameButTail[4098] ^= 0xFF;
    TBytes firstByte = base;
    firstByte[0] ^= 1;
    TBytes alternate = base;  // every other word differs: the most runs
    for (size_t w = 0; w + 8 <= alternate.size(); w += 16) alternate[w] ^= 0x55;
    struct Case {
        const char* Name;
        TBytes Older, Newer;
    };
    const Case cases[] = {
        {"equal", base, base},
        {"all different", base, Pattern(4099, 2)},
        {"scattered", base, Evolve(base, 3)},
        {"only the last byte (past the whole words)", base, sameButTail},
        {"only the first byte", base, firstByte},
        {"every other word", base, alternate},
        {"newer longer", base, Pattern(5000, 4)},
        {"newer shorter", base, TBytes(base.begin(), base.begin() + 1000)},
        {"newer empty", base, {}},
        {"older empty", {}, base},
        {"shorter than a word", Pattern(5, 5), Pattern(7, 6)},
        {"both empty", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Restore(c.Older, c.Newer), c.Older);
        // With a stretch not kept (at an odd place, where both states hold
        // it): the rest restored, the stretch as the newer state has it.
        const size_t common = std::min(c.Older.size(), c.Newer.size());
        const size_t from = common / 3 + 1, size = common / 4;
        if (size == 0) continue;
        TBytes want = c.Older;
        std::copy(c.Newer.begin() + from, c.Newer.begin() + from + size, want.begin() + from);
        EXPECT_EQ(Restore(c.Older, c.Newer, from, size), want);
    }
}

TEST(RewindBufferTest, EqualStatesCostAFewBytesAndDifferentOnesTheirSize) {
    const TBytes state = Pattern(100000, 7);
    TBytes encoded(TRewindBuffer::WorstCaseEncoding(state.size()));
    EXPECT_LE(TRewindBuffer::EncodeDifference(state.data(), state.size(), state.data(), state.size(), encoded.data()),
              16u);
    const TBytes other = Pattern(100000, 8);
    const size_t size =
        TRewindBuffer::EncodeDifference(state.data(), state.size(), other.data(), other.size(), encoded.data());
    EXPECT_GE(size, 100000u);
    EXPECT_LE(size, 100000u + 32);
}

TEST(RewindBufferTest, StepsBackThroughEveryStateNewestFirst) {
    TRewindBuffer buffer(100);
    EXPECT_FALSE(buffer.StepBack());
    std::vector<TBytes> pushed{Pattern(30000, 9)};
    for (uint32_t i = 1; i < 50; ++i) pushed.push_back(Evolve(pushed.back(), i));
    for (const TBytes& state : pushed) {
        buffer.NextState() = state;
        buffer.Push();
        EXPECT_EQ(buffer.Newest(), state);
    }
    EXPECT_EQ(buffer.States(), 50u);
    for (size_t i = pushed.size() - 1; i > 0; --i) {
        ASSERT_TRUE(buffer.StepBack());
        ASSERT_EQ(buffer.Newest(), pushed[i - 1]) << "state " << i - 1;
    }
    EXPECT_EQ(buffer.States(), 1u);
    EXPECT_FALSE(buffer.StepBack());
    EXPECT_EQ(buffer.Newest(), pushed[0]);
}

TEST(RewindBufferTest, KeepsOnlyTheNewestStatesUpToItsCount) {
    TRewindBuffer buffer(5);
    std::vector<TBytes> pushed{Pattern(2000, 10)};
    for (uint32_t i = 1; i < 12; ++i) pushed.push_back(Evolve(pushed.back(), i));
    for (const TBytes& state : pushed) buffer.Push(state.data(), state.size());
    EXPECT_EQ(buffer.States(), 5u);
    for (size_t i = 11; i > 7; --i) {
        ASSERT_TRUE(buffer.StepBack());
        EXPECT_EQ(buffer.Newest(), pushed[i - 1]);
    }
    EXPECT_FALSE(buffer.StepBack());
    EXPECT_EQ(buffer.Newest(), pushed[7]);
}

// States that change completely every frame: the byte limit, not the count,
// decides how far back the buffer reaches, and every state it keeps is whole.
TEST(RewindBufferTest, ForgetsTheOldestStatesAtItsByteLimit) {
    constexpr size_t kState = 300000;
    constexpr size_t kLimit = 4 * TRewindBuffer::kBlockBytes;
    TRewindBuffer buffer(600, kLimit);
    std::vector<TBytes> pushed;
    for (uint32_t i = 0; i < 60; ++i) {
        pushed.push_back(Pattern(kState, 100 + i));
        buffer.Push(pushed.back().data(), kState);
        ASSERT_LE(buffer.MemoryBytes(), kLimit + 2 * kState) << "after state " << i;
    }
    // 4 blocks of 1 MB hold two differences each; at least a block's worth is kept.
    const size_t held = buffer.States();
    EXPECT_GE(held, 4u);
    EXPECT_LE(held, 13u);
    size_t index = pushed.size() - 1;
    while (buffer.StepBack()) {
        --index;
        ASSERT_EQ(buffer.Newest(), pushed[index]) << "state " << index;
    }
    EXPECT_EQ(pushed.size() - index, held);
}

// After winding back, the game goes on from there: new states follow the one
// it went back to, and winding back again passes through both.
TEST(RewindBufferTest, PushAfterSteppingBackContinuesFromThere) {
    TRewindBuffer buffer(100);
    std::vector<TBytes> timeline{Pattern(10000, 20)};
    for (uint32_t i = 1; i < 10; ++i) timeline.push_back(Evolve(timeline.back(), i));
    for (const TBytes& state : timeline) buffer.Push(state.data(), state.size());
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(buffer.StepBack());
    timeline.resize(6);
    for (uint32_t i = 0; i < 3; ++i) {
        timeline.push_back(Evolve(timeline.back(), 50 + i));
        buffer.Push(timeline.back().data(), timeline.back().size());
    }
    EXPECT_EQ(buffer.States(), timeline.size());
    for (size_t i = timeline.size() - 1; i > 0; --i) {
        ASSERT_TRUE(buffer.StepBack());
        ASSERT_EQ(buffer.Newest(), timeline[i - 1]);
    }
}

// A long session with the blocks recycled many times over: the memory stays
// put, and the last 600 states are still exactly there.
TEST(RewindBufferTest, RecyclesItsBlocksOverALongSession) {
    TRewindBuffer buffer;
    TBytes state = Pattern(60000, 30);
    std::vector<TBytes> recent;
    size_t memoryAfterFirstFill = 0;
    for (uint32_t frame = 0; frame < 2400; ++frame) {
        state = Evolve(state, frame);
        buffer.Push(state.data(), state.size());
        if (frame >= 2400 - 600) recent.push_back(state);
        if (frame == 700) memoryAfterFirstFill = buffer.MemoryBytes();
    }
    EXPECT_EQ(buffer.States(), 600u);
    EXPECT_LE(buffer.MemoryBytes(), memoryAfterFirstFill + TRewindBuffer::kBlockBytes);
    for (size_t i = recent.size() - 1; i > 0; --i) {
        ASSERT_TRUE(buffer.StepBack());
        ASSERT_EQ(buffer.Newest(), recent[i - 1]) << i - 1;
    }
    EXPECT_FALSE(buffer.StepBack());
}

// The ignored range costs nothing to keep; stepping back restores every other
// byte exactly and leaves the range as the newest state had it.
TEST(RewindBufferTest, IgnoredBytesAreNotKeptForOlderStates) {
    constexpr size_t kFrom = 1000, kSize = 40000;
    TRewindBuffer buffer(100);
    buffer.SetIgnoredRange(kFrom, kSize);
    std::vector<TBytes> pushed{Pattern(50003, 50)};
    for (uint32_t i = 1; i < 20; ++i) {
        TBytes next = Evolve(pushed.back(), i);
        const TBytes picture = Pattern(kSize, 60 + i);  // a new picture every frame
        std::copy(picture.begin(), picture.end(), next.begin() + kFrom);
        pushed.push_back(next);
    }
    for (const TBytes& state : pushed) buffer.Push(state.data(), state.size());
    EXPECT_LT(buffer.StoredBytes(), 50003u + 19 * 2000);
    TBytes newest = pushed.back();
    for (size_t i = pushed.size() - 1; i > 0; --i) {
        ASSERT_TRUE(buffer.StepBack());
        TBytes want = pushed[i - 1];
        std::copy(newest.begin() + kFrom, newest.begin() + kFrom + kSize, want.begin() + kFrom);
        ASSERT_EQ(buffer.Newest(), want) << "state " << i - 1;
        // What the caller writes there is what the next step back keeps.
        for (size_t j = kFrom; j < kFrom + kSize; ++j) buffer.Newest()[j] = uint8_t(i);
        std::fill(newest.begin() + kFrom, newest.begin() + kFrom + kSize, uint8_t(i));
    }
}

TEST(RewindBufferTest, ClearForgetsEverythingAndGivesTheMemoryBack) {
    TRewindBuffer buffer;
    TBytes state = Pattern(50000, 40);
    for (uint32_t i = 0; i < 30; ++i) {
        state = Evolve(state, i);
        buffer.Push(state.data(), state.size());
    }
    ASSERT_GT(buffer.MemoryBytes(), 0u);
    buffer.Clear();
    EXPECT_EQ(buffer.States(), 0u);
    EXPECT_EQ(buffer.MemoryBytes(), 0u);
    EXPECT_TRUE(buffer.Newest().empty());
    EXPECT_FALSE(buffer.StepBack());
    buffer.Push(state.data(), state.size());
    EXPECT_EQ(buffer.Newest(), state);
}
