// TRewindBuffer: the differences between consecutive states and their blocks.
//
// An encoded difference is a series of runs, each two lengths in bytes
// (LEB128: 7 bits a byte, low bits first) followed by data: `skip` bytes
// where the two states agree, then `keep` bytes of the XOR of the two. The
// runs cover the older state's length exactly. The fast part compares whole
// 8-byte words; bytes past the last whole word both states have form a final
// run of kept bytes.
#include "RewindBuffer.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

inline uint64_t Word(const uint8_t* p) {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

inline uint8_t* PutLength(uint8_t* out, size_t value) {
    while (value >= 0x80) {
        *out++ = static_cast<uint8_t>(value | 0x80);
        value >>= 7;
    }
    *out++ = static_cast<uint8_t>(value);
    return out;
}

inline const uint8_t* GetLength(const uint8_t* in, const uint8_t* end, size_t& value) {
    value = 0;
    for (unsigned shift = 0; in < end && shift < 64; shift += 7) {
        const uint8_t byte = *in++;
        value |= static_cast<size_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) break;
    }
    return in;
}

}  // namespace

TRewindBuffer::TRewindBuffer(size_t maxStates, size_t maxBytes)
    : maxStates_(std::max<size_t>(maxStates, 1)), maxBytes_(maxBytes) {
    entries_.resize(maxStates_ - 1 > 0 ? maxStates_ - 1 : 1);
}

TRewindBuffer::~TRewindBuffer() = default;

size_t TRewindBuffer::WorstCaseEncoding(size_t size) {
    // Every run but the last keeps at least one word and is followed by at
    // least one skipped word, so there are at most size / 16 + 2 runs of two
    // lengths, none above `size`; the kept bytes never exceed `size`.
    size_t lengthBytes = 1;
    for (size_t v = size; v >= 0x80; v >>= 7) ++lengthBytes;
    return size + (size / 16 + 3) * 2 * lengthBytes;
}

size_t TRewindBuffer::EncodeDifference(const uint8_t* older, size_t olderSize, const uint8_t* newer, size_t newerSize,
                                       uint8_t* out) {
    uint8_t* const start = out;
    const size_t words = std::min(olderSize, newerSize) / 8;
    size_t i = 0;
    while (i < words) {
        const size_t skipFrom = i;
        // Four words at a time while they all agree, then word by word.
        while (i + 4 <= words) {
            const uint8_t* a = older + i * 8;
            const uint8_t* b = newer + i * 8;
            const uint64_t x = (Word(a) ^ Word(b)) | (Word(a + 8) ^ Word(b + 8)) | (Word(a + 16) ^ Word(b + 16)) |
                               (Word(a + 24) ^ Word(b + 24));
            if (x != 0) break;
            i += 4;
        }
        while (i < words && Word(older + i * 8) == Word(newer + i * 8)) ++i;
        if (i == words) {
            // Agreement up to the last word: the tail (if any) closes the run below.
            out = PutLength(out, (i - skipFrom) * 8);
            const size_t tail = olderSize - i * 8;
            out = PutLength(out, tail);
            for (size_t j = i * 8; j < olderSize; ++j) *out++ = older[j] ^ (j < newerSize ? newer[j] : 0);
            return static_cast<size_t>(out - start);
        }
        const size_t keepFrom = i;
        while (i < words && Word(older + i * 8) != Word(newer + i * 8)) ++i;
        out = PutLength(out, (keepFrom - skipFrom) * 8);
        // The run's last word keeps the tail with it when it reaches the end.
        const size_t keepEnd = i == words ? olderSize : i * 8;
        out = PutLength(out, keepEnd - keepFrom * 8);
        for (size_t w = keepFrom; w < i; ++w) {
            const uint64_t x = Word(older + w * 8) ^ Word(newer + w * 8);
            std::memcpy(out, &x, sizeof x);
            out += 8;
        }
        for (size_t j = i * 8; j < keepEnd; ++j) *out++ = older[j] ^ (j < newerSize ? newer[j] : 0);
        if (i == words) return static_cast<size_t>(out - start);
    }
    // No whole word in common (a state shorter than 8 bytes, or none at all).
    out = PutLength(out, 0);
    out = PutLength(out, olderSize);
    for (size_t j = 0; j < olderSize; ++j) *out++ = older[j] ^ (j < newerSize ? newer[j] : 0);
    return static_cast<size_t>(out - start);
}

void TRewindBuffer::ApplyDifference(const uint8_t* encoded, size_t encodedSize, uint8_t* state, size_t size) {
    const uint8_t* in = encoded;
    const uint8_t* const end = encoded + encodedSize;
    size_t at = 0;
    while (in < end && at < size) {
        size_t skip = 0, keep = 0;
        in = GetLength(in, end, skip);
        in = GetLength(in, end, keep);
        at += std::min(skip, size - at);
        keep = std::min({keep, size - at, static_cast<size_t>(end - in)});
        size_t j = 0;
        for (; j + 8 <= keep; j += 8) {
            const uint64_t x = Word(state + at + j) ^ Word(in + j);
            std::memcpy(state + at + j, &x, sizeof x);
        }
        for (; j < keep; ++j) state[at + j] ^= in[j];
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
    entry.Size = EncodeDifference(head_.data(), head_.size(), next_.data(), next_.size(), block->Data.get() + block->Used);
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
