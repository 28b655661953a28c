// The stereo sound queue between the window's thread and the card's.
#include "StereoSoundQueue.h"

#include <algorithm>
#include <cstring>

namespace {

int16_t Scaled(int16_t sample, uint32_t numerator, uint32_t denominator) {
    return static_cast<int16_t>(int64_t{sample} * numerator / denominator);
}

}  // namespace

bool TStereoSoundQueue::Open(uint32_t pairsPerSecond) {
    std::lock_guard lock(mutex_);
    rate_ = pairsPerSecond;
    capacity_ = pairsPerSecond * MaxMs / 1000;
    startLevel_ = pairsPerSecond * StartMs / 1000;
    fadePairs_ = std::max<uint32_t>(1, pairsPerSecond * FadeMs / 1000);
    ring_.assign(2 * std::size_t{capacity_}, 0);
    head_ = 0;
    count_ = 0;
    playing_ = false;
    fadeIn_ = 0;
    stopAfter_ = 0;
    stopping_ = false;
    counts_ = TCounts{};
    return true;
}

void TStereoSoundQueue::Push(const int16_t* pairs, uint32_t count, TSoundRamp ramp) {
    std::lock_guard lock(mutex_);
    if (capacity_ == 0) return;
    const uint32_t taken = std::min(count, capacity_ - count_);
    counts_.DroppedPairs += count - taken;
    uint32_t tail = (head_ + count_) % capacity_;
    for (uint32_t i = 0; i < taken; ++i) {
        int16_t left = pairs[2 * i], right = pairs[2 * i + 1];
        switch (ramp) {
        case TSoundRamp::None: break;
        case TSoundRamp::In:
            left = Scaled(left, i, count);
            right = Scaled(right, i, count);
            break;
        case TSoundRamp::Out:
            left = Scaled(left, count - i - 1, count);
            right = Scaled(right, count - i - 1, count);
            break;
        case TSoundRamp::Silent: left = right = 0; break;
        }
        ring_[2 * tail] = left;
        ring_[2 * tail + 1] = right;
        tail = tail + 1 == capacity_ ? 0 : tail + 1;
    }
    count_ += taken;
    counts_.MaxQueued = std::max(counts_.MaxQueued, count_);
    if (!playing_ && count_ >= startLevel_) {
        playing_ = true;
        fadeIn_ = fadePairs_;
        ++counts_.Starts;
    }
}

void TStereoSoundQueue::Stop() {
    std::lock_guard lock(mutex_);
    if (!playing_) {
        // Nothing reached the card yet: all of it goes.
        head_ = 0;
        count_ = 0;
        return;
    }
    if (stopping_) {
        // Already fading out: what came since goes.
        count_ = stopAfter_;
        return;
    }
    // The head falls to silence over the fade; the card plays it and stops.
    const uint32_t n = std::min(count_, fadePairs_);
    for (uint32_t k = 0; k < n; ++k) {
        const uint32_t at = (head_ + k) % capacity_;
        ring_[2 * at] = Scaled(ring_[2 * at], n - k, n + 1);
        ring_[2 * at + 1] = Scaled(ring_[2 * at + 1], n - k, n + 1);
    }
    count_ = n;
    stopAfter_ = n;
    stopping_ = n > 0;
    if (n == 0) playing_ = false;
}

uint32_t TStereoSoundQueue::Queued() const {
    std::lock_guard lock(mutex_);
    return count_;
}

double TStereoSoundQueue::QueuedMs() const {
    std::lock_guard lock(mutex_);
    return rate_ == 0 ? 0.0 : count_ * 1000.0 / rate_;
}

bool TStereoSoundQueue::Playing() const {
    std::lock_guard lock(mutex_);
    return playing_;
}

void TStereoSoundQueue::SetVolume(uint8_t percent) {
    volume_.store(std::min<uint8_t>(percent, 100), std::memory_order_relaxed);
}

TStereoSoundQueue::TCounts TStereoSoundQueue::Counts() const {
    std::lock_guard lock(mutex_);
    return counts_;
}

// Up to `count` pairs from the head, the fade-in applied to its first ones.
uint32_t TStereoSoundQueue::Take(int16_t* out, uint32_t count) {
    const uint32_t n = std::min(count, count_);
    for (uint32_t i = 0; i < n; ++i) {
        int16_t left = ring_[2 * head_], right = ring_[2 * head_ + 1];
        if (fadeIn_ > 0) {
            left = Scaled(left, fadePairs_ - fadeIn_, fadePairs_);
            right = Scaled(right, fadePairs_ - fadeIn_, fadePairs_);
            --fadeIn_;
        }
        out[2 * i] = left;
        out[2 * i + 1] = right;
        head_ = head_ + 1 == capacity_ ? 0 : head_ + 1;
    }
    count_ -= n;
    return n;
}

void TStereoSoundQueue::Pull(int16_t* out, uint32_t count) {
    uint32_t done = 0;
    {
        std::lock_guard lock(mutex_);
        while (done < count && playing_) {
            const uint32_t want = stopping_ ? std::min(count - done, stopAfter_) : count - done;
            const uint32_t got = Take(out + 2 * std::size_t{done}, want);
            done += got;
            if (stopping_) {
                stopAfter_ -= got;
                if (stopAfter_ > 0 && got == want) continue;
                // The fade-out has played: silence, unless the queue filled
                // up again meanwhile, which then starts anew.
                stopping_ = false;
                stopAfter_ = 0;
                playing_ = count_ >= startLevel_;
                if (playing_) {
                    fadeIn_ = fadePairs_;
                    ++counts_.Starts;
                }
                continue;
            }
            if (got < want) {
                playing_ = false;
                ++counts_.Underruns;
            }
        }
        counts_.PulledPairs += done;
    }
    std::memset(out + 2 * std::size_t{done}, 0, 2 * sizeof(int16_t) * (count - done));
    Sound_ApplyVolume(out, 2 * count, volume_.load(std::memory_order_relaxed));
}
