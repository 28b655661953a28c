// TRewindBuffer: the differences between consecutive states and their blocks.
//
// An encoded difference is a series of runs, each two lengths in bytes
// (32 bits, little-endian) followed by data: `skip` bytes where the two
// states agree (or that are not kept), then `keep` bytes of the XOR of the
// two. The runs cover the older state's length; the last keeps nothing.
//
// The states are compared and XORed 32 bytes at a time, in one pass: the
// cost of keeping a state is close to that of reading the two states once.
#include "RewindBuffer.h"

#include "LittleEndian.h"

#include <algorithm>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr size_t kChunk = 32;
constexpr size_t kRunHeader = 8;

// The XOR of one 32-byte chunk of `a` and `b` into `out`; true if all zero.
inline bool XorChunk(const uint8_t* a, const uint8_t* b, uint8_t* out) {
#if defined(__SSE2__)
    const __m128i x0 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)));
    const __m128i x1 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 16)),
                                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), x0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), x1);
    return _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(x0, x1), _mm_setzero_si128())) == 0xFFFF;
#else
    uint64_t any = 0;
    for (size_t k = 0; k < kChunk; k += 8) {
        uint64_t wa, wb;
        std::memcpy(&wa, a + k, 8);
        std::memcpy(&wb, b + k, 8);
        const uint64_t x = wa ^ wb;
        std::memcpy(out + k, &x, 8);
        any |= x;
    }
    return any == 0;
#endif
}

inline void XorInto(uint8_t* state, const uint8_t* data, size_t size) {
    size_t j = 0;
    for (; j + 8 <= size; j += 8) {
        uint64_t s, d;
        std::memcpy(&s, state + j, 8);
        std::memcpy(&d, data + j, 8);
        s ^= d;
        std::memcpy(state + j, &s, 8);
    }
    for (; j < size; ++j) state[j] ^= data[j];
}

}  // namespace

TRewindBuffer::TRewindBuffer(size_t maxStates, size_t maxBytes)
    : maxStates_(std::max<size_t>(maxStates, 1)), maxBytes_(maxBytes) {
    entries_.resize(maxStates_ > 1 ? maxStates_ - 1 : 1);
}

TRewindBuffer::~TRewindBuffer() = default;

size_t TRewindBuffer::WorstCaseEncoding(size_t size) {
    // Every run but the last of a stretch keeps at least one chunk and is
    // followed by at least one skipped chunk, so there are at most size / 64
    // runs, plus a run for each stretch's tail and the last; the kept bytes
    // never exceed `size`. One more chunk covers the scratch chunk the
    // encoder writes past a kept run before it knows the run ends.
    return size + (size / (2 * kChunk) + 6) * kRunHeader + kChunk;
}

namespace {

// Writes the runs of one difference: stretches compared chunk by chunk,
// stretches kept byte by byte, stretches skipped unseen.
struct TEncoder {
    uint8_t* Out;
    size_t Skip = 0;  // bytes agreed since the last kept run

    void Run(size_t keep) {
        LE_Put32(Out, static_cast<uint32_t>(Skip));
        LE_Put32(Out + 4, static_cast<uint32_t>(keep));
        Skip = 0;
    }
    // [from, to) of two states that both hold it.
    void Compare(const uint8_t* older, const uint8_t* newer, size_t from, size_t to) {
        const size_t chunks = (to - from) / kChunk;
        const uint8_t* a = older + from;
        const uint8_t* b = newer + from;
        size_t i = 0;
        while (i < chunks) {
            // The XOR lands where a kept run's data would go; an all-zero
            // chunk is skipped and the next one overwrites it.
            uint8_t* data = Out + kRunHeader;
            const size_t skipFrom = i;
            while (i < chunks && XorChunk(a + i * kChunk, b + i * kChunk, data)) ++i;
            Skip += (i - skipFrom) * kChunk;
            if (i == chunks) break;
            const size_t keepFrom = i;
            do {
                data += kChunk;
                ++i;
            } while (i < chunks && !XorChunk(a + i * kChunk, b + i * kChunk, data));
            Run((i - keepFrom) * kChunk);
            Out = data;
            // The chunk that ended the run was equal: it starts the next skip.
            if (i < chunks) {
                Skip += kChunk;
                ++i;
            }
        }
        const size_t tail = from + chunks * kChunk;
        if (tail < to) Keep(older, newer, tail, to, to);
    }
    // [from, to) of `older`; `newer` (zero-extended) holds [from, newerEnd).
    void Keep(const uint8_t* older, const uint8_t* newer, size_t from, size_t to, size_t newerEnd) {
        Run(to - from);
        Out += kRunHeader;
        for (size_t j = from; j < to; ++j) *Out++ = older[j] ^ (j < newerEnd ? newer[j] : 0);
    }
};

}  // namespace

size_t TRewindBuffer::EncodeDifference(const uint8_t* older, size_t olderSize, const uint8_t* newer, size_t newerSize,
                                       uint8_t* out, size_t ignoreFrom, size_t ignoreSize) {
    TEncoder encoder{out};
    const size_t common = std::min(olderSize, newerSize);
    if (ignoreSize != 0 && ignoreFrom <= common && ignoreSize <= common - ignoreFrom) {
        encoder.Compare(older, newer, 0, ignoreFrom);
        encoder.Skip += ignoreSize;
        encoder.Compare(older, newer, ignoreFrom + ignoreSize, common);
    } else {
        encoder.Compare(older, newer, 0, common);
    }
    // The older state's bytes past the newer one's end, and the last run.
    if (common < olderSize) encoder.Keep(older, newer, common, olderSize, newerSize);
    encoder.Run(0);
    encoder.Out += kRunHeader;
    return static_cast<size_t>(encoder.Out - out);
}

void TRewindBuffer::ApplyDifference(const uint8_t* encoded, size_t encodedSize, uint8_t* state, size_t size) {
    const uint8_t* in = encoded;
    const uint8_t* const end = encoded + encodedSize;
    size_t at = 0;
    while (end - in >= static_cast<std::ptrdiff_t>(kRunHeader) && at < size) {
        const size_t skip = LE_Get32(in);
        size_t keep = LE_Get32(in + 4);
        in += kRunHeader;
        at += std::min(skip, size - at);
        keep = std::min({keep, size - at, static_cast<size_t>(end - in)});
        XorInto(state + at, in, keep);
        at += keep;
        in += keep;
    }
}

void TRewindBuffer::Push(const uint8_t* data, size_t size) {
    next_.assign(data, data + size);
    Push();
}

void TRewindBuffer::Push() {
    if (states_ == 0) {
        std::swap(head_, next_);
        states_ = 1;
        storedBytes_ = head_.size();
        return;
    }
    if (states_ == maxStates_) DropOldest();
    if (maxStates_ == 1) {
        std::swap(head_, next_);
        storedBytes_ = head_.size();
        return;
    }
    const size_t worst = WorstCaseEncoding(head_.size());
    TBlock* block = BlockWithRoom(worst);
    TEntry entry;
    entry.Block = block;
    entry.Offset = block->Used;
    entry.OlderSize = head_.size();
    entry.Size = EncodeDifference(head_.data(), head_.size(), next_.data(), next_.size(), block->Data.get() + block->Used,
                                  ignoreFrom_, ignoreSize_);
    block->Used += entry.Size;
    block->Entries += 1;
    entries_[(firstEntry_ + entryCount_) % entries_.size()] = entry;
    entryCount_ += 1;
    storedBytes_ += entry.Size + next_.size() - head_.size();
    std::swap(head_, next_);
    states_ += 1;
}

bool TRewindBuffer::StepBack() {
    if (states_ < 2) return false;
    const size_t last = (firstEntry_ + entryCount_ - 1) % entries_.size();
    const TEntry entry = entries_[last];
    storedBytes_ -= entry.Size + head_.size();
    head_.resize(entry.OlderSize, 0);
    ApplyDifference(entry.Block->Data.get() + entry.Offset, entry.Size, head_.data(), head_.size());
    storedBytes_ += head_.size();
    // The newest difference is the last thing written in the last block.
    TBlock* block = entry.Block;
    block->Used = entry.Offset;
    block->Entries -= 1;
    entryCount_ -= 1;
    states_ -= 1;
    if (block->Entries == 0 && active_.size() > 1) {
        spare_.push_back(std::move(active_.back()));
        active_.pop_back();
    }
    return true;
}

void TRewindBuffer::DropOldest() {
    if (states_ < 2) return;
    // The oldest state goes, and with it the difference that restored it.
    const TEntry& entry = entries_[firstEntry_];
    storedBytes_ -= entry.Size;
    entry.Block->Entries -= 1;
    firstEntry_ = (firstEntry_ + 1) % entries_.size();
    entryCount_ -= 1;
    states_ -= 1;
    RetireFront();
}

void TRewindBuffer::RetireFront() {
    // Blocks empty out from the oldest end; the block being written stays.
    while (active_.size() > 1 && active_.front()->Entries == 0) {
        active_.front()->Used = 0;
        spare_.push_back(std::move(active_.front()));
        active_.erase(active_.begin());
    }
    if (active_.size() == 1 && active_.front()->Entries == 0) active_.front()->Used = 0;
}

TRewindBuffer::TBlock* TRewindBuffer::NewBlock(size_t bytes) {
    auto block = std::make_unique<TBlock>();
    block->Capacity = std::max(bytes, kBlockBytes);
    // Not value-initialised: pages are touched only as differences fill them.
    block->Data.reset(new uint8_t[block->Capacity]);
    blockBytes_ += block->Capacity;
    active_.push_back(std::move(block));
    return active_.back().get();
}

TRewindBuffer::TBlock* TRewindBuffer::BlockWithRoom(size_t bytes) {
    for (;;) {
        if (!active_.empty()) {
            TBlock* last = active_.back().get();
            if (last->Capacity - last->Used >= bytes) return last;
        }
        for (size_t i = 0; i < spare_.size(); ++i) {
            if (spare_[i]->Capacity < bytes) continue;
            std::unique_ptr<TBlock> block = std::move(spare_[i]);
            spare_.erase(spare_.begin() + static_cast<std::ptrdiff_t>(i));
            block->Used = 0;
            block->Entries = 0;
            active_.push_back(std::move(block));
            return active_.back().get();
        }
        // Spares too small for a state of this size are of no further use,
        // nor is a lone block that has emptied.
        for (const auto& spare : spare_) blockBytes_ -= spare->Capacity;
        spare_.clear();
        if (active_.size() == 1 && active_.front()->Entries == 0) {
            blockBytes_ -= active_.front()->Capacity;
            active_.clear();
        }
        // A new block while the limit allows it (and always for the first
        // difference); at the limit the oldest state goes, until a block
        // empties and can be written again.
        const size_t capacity = std::max(bytes, kBlockBytes);
        if (blockBytes_ + capacity <= maxBytes_ || entryCount_ == 0) return NewBlock(capacity);
        DropOldest();
    }
}

size_t TRewindBuffer::MemoryBytes() const { return blockBytes_ + head_.capacity() + next_.capacity(); }

size_t TRewindBuffer::StoredBytes() const { return storedBytes_; }

void TRewindBuffer::Clear() {
    active_.clear();
    spare_.clear();
    blockBytes_ = 0;
    storedBytes_ = 0;
    firstEntry_ = 0;
    entryCount_ = 0;
    states_ = 0;
    head_.clear();
    head_.shrink_to_fit();
    next_.clear();
    next_.shrink_to_fit();
}
