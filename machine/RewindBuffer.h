// TRewindBuffer: the machine's recent past, one serialised state per frame,
// for winding the game back. Toolkit-free; it knows bytes only.
//
// Only the newest state is kept whole. Every older state is kept as its
// difference to the state after it: the two XORed, and the XOR written as
// runs of equal 8-byte words (skipped) and runs of differing words (kept).
// Most of a frame's state (RAM, VRAM, cartridge RAM, much of the picture)
// does not change from one frame to the next, so a difference is small, and
// walking back is cheap: the newest state XOR its difference is the state
// before it. The buffer only ever walks backwards, so no full keyframes are
// needed; the oldest state's difference is simply forgotten when it leaves.
//
// The differences live in blocks of 1 MB that are recycled from the oldest
// end, so once the buffer is full nothing is allocated per frame, and the
// blocks together never exceed the byte limit: when a new difference needs
// room the oldest states are forgotten first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TRewindBuffer {
public:
    static constexpr size_t kDefaultStates = 600;         // 10 seconds at 60 frames per second
    static constexpr size_t kDefaultBytes = 64u << 20;    // 64 MB
    static constexpr size_t kBlockBytes = 1u << 20;

    explicit TRewindBuffer(size_t maxStates = kDefaultStates, size_t maxBytes = kDefaultBytes);
    ~TRewindBuffer();
    TRewindBuffer(const TRewindBuffer&) = delete;
    TRewindBuffer& operator=(const TRewindBuffer&) = delete;

    // The caller serialises the next state into NextState() (its capacity is
    // kept from frame to frame) and then calls Push, which makes it the
    // newest state. Push(data, size) copies a state in instead.
    std::vector<uint8_t>& NextState() { return next_; }
    void Push();
    void Push(const uint8_t* data, size_t size);

    // Forgets the newest state: the one before it becomes the newest. False,
    // and nothing changes, when fewer than two states are held.
    bool StepBack();

    // The newest state (empty when none is held). The caller may write the
    // ignored bytes (below) of the newest state before using it.
    const std::vector<uint8_t>& Newest() const { return head_; }
    std::vector<uint8_t>& Newest() { return head_; }

    // Bytes of every state that the older states do not keep: a state that
    // StepBack makes the newest holds there what the state it replaced held.
    // For a part of the state that the caller can rebuild (a machine state's
    // picture is drawn again by running the frame). Set before the first Push.
    void SetIgnoredRange(size_t offset, size_t size) {
        ignoreFrom_ = offset;
        ignoreSize_ = size;
    }
    size_t States() const { return states_; }
    size_t MaxStates() const { return maxStates_; }
    // Bytes the buffer holds on to: its blocks and the two whole states.
    size_t MemoryBytes() const;
    // Bytes in use: the encoded differences and the newest state.
    size_t StoredBytes() const;

    // Forgets every state and gives the memory back.
    void Clear();

    // The longest encoding of the difference of a state of `size` bytes.
    static size_t WorstCaseEncoding(size_t size);
    // The difference that turns `newer` (zero-extended if shorter) back
    // into `older`, except for the ignored range (if both states hold it),
    // encoded into `out` (room for WorstCaseEncoding of olderSize); returns
    // the encoded length.
    static size_t EncodeDifference(const uint8_t* older, size_t olderSize, const uint8_t* newer, size_t newerSize,
                                   uint8_t* out, size_t ignoreFrom = 0, size_t ignoreSize = 0);
    // Applies an encoded difference to `state`, which holds the newer
    // state already resized to the older one's length.
    static void ApplyDifference(const uint8_t* encoded, size_t encodedSize, uint8_t* state, size_t size);

private:
    struct TBlock {
        std::unique_ptr<uint8_t[]> Data;
        size_t Capacity = 0;
        size_t Used = 0;
        size_t Entries = 0;
    };
    // The difference that restores the state before one of the held states.
    struct TEntry {
        TBlock* Block = nullptr;
        size_t Offset = 0;
        size_t Size = 0;
        size_t OlderSize = 0;
    };

    TBlock* BlockWithRoom(size_t bytes);
    TBlock* NewBlock(size_t bytes);
    void DropOldest();
    void RetireFront();

    size_t maxStates_;
    size_t maxBytes_;
    std::vector<uint8_t> head_;
    std::vector<uint8_t> next_;
    size_t states_ = 0;
    // Differences, oldest first, in a ring of maxStates_ - 1 places.
    std::vector<TEntry> entries_;
    size_t firstEntry_ = 0;
    size_t entryCount_ = 0;
    // Blocks in use, oldest first (the last one is written), and spares.
    std::vector<std::unique_ptr<TBlock>> active_;
    std::vector<std::unique_ptr<TBlock>> spare_;
    size_t blockBytes_ = 0;  // capacity of all blocks, active and spare
    size_t storedBytes_ = 0;
    size_t ignoreFrom_ = 0;
    size_t ignoreSize_ = 0;
};
