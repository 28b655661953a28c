// The ring buffer shared by the sound output implementations.
#include "SoundOutputBuffer.h"

#include <algorithm>
#include <cstring>

bool TRingSoundBuffer::Create(uint32_t bytesPerSecond, uint32_t size) {
    std::lock_guard lock(mutex_);
    ring_.assign(size, 128);
    staging_.assign(size, 128);
    bytesPerSecond_ = bytesPerSecond;
    size_ = size;
    cursor_ = 0;
    playing_ = false;
    return true;
}

void TRingSoundBuffer::Stop() {
    std::lock_guard lock(mutex_);
    playing_ = false;
}

void TRingSoundBuffer::SetCurrentPosition(uint32_t position) {
    std::lock_guard lock(mutex_);
    if (position < size_) cursor_ = position;
}

bool TRingSoundBuffer::Lock(uint32_t offset, uint32_t bytes, TSoundLockRegions& regions) {
    regions = TSoundLockRegions{};
    std::lock_guard lock(mutex_);
    if (size_ == 0 || offset >= size_ || bytes == 0 || bytes > size_) return false;
    const uint32_t first = std::min(bytes, size_ - offset);
    const uint32_t second = bytes - first;
    std::memcpy(&staging_[offset], &ring_[offset], first);
    regions.Region1 = &staging_[offset];
    regions.Size1 = first;
    if (second > 0) {
        std::memcpy(&staging_[0], &ring_[0], second);
        regions.Region2 = &staging_[0];
        regions.Size2 = second;
    }
    return true;
}

void TRingSoundBuffer::Unlock(const TSoundLockRegions& regions) {
    std::lock_guard lock(mutex_);
    if (size_ == 0) return;
    const uint8_t* begin = staging_.data();
    const uint8_t* end = begin + size_;
    // Only regions that this buffer handed out are taken back.
    auto take = [&](const uint8_t* region, uint32_t count) {
        if (region == nullptr || count == 0 || region < begin || region + count > end) return;
        const std::size_t offset = static_cast<std::size_t>(region - begin);
        std::memcpy(&ring_[offset], region, count);
    };
    take(regions.Region1, regions.Size1);
    take(regions.Region2, regions.Size2);
}

uint32_t TRingSoundBuffer::GetCurrentPosition() {
    std::lock_guard lock(mutex_);
    return cursor_;
}

bool TRingSoundBuffer::GetStatus() {
    std::lock_guard lock(mutex_);
    return playing_;
}

void TRingSoundBuffer::Play() {
    std::lock_guard lock(mutex_);
    if (size_ > 0) playing_ = true;
}

void TRingSoundBuffer::Pull(uint8_t* out, uint32_t count) {
    std::lock_guard lock(mutex_);
    if (!playing_ || size_ == 0) {
        if (out != nullptr) std::memset(out, 128, count);
        return;
    }
    while (count > 0) {
        const uint32_t run = std::min(count, size_ - cursor_);
        if (out != nullptr) {
            std::memcpy(out, &ring_[cursor_], run);
            out += run;
        }
        cursor_ += run;
        if (cursor_ == size_) cursor_ = 0;
        count -= run;
    }
}

void TVirtualSoundBuffer::Advance(uint32_t count, uint8_t* out) { Pull(out, count); }
