// The hardware models' sound on its way to the card: a short queue of signed
// 16-bit stereo pairs between the window's thread, which pushes each frame's
// pairs, and the card's thread, which pulls what it plays. Unlike the default
// model's looping ring, nothing here moves a play cursor or drops and repeats
// samples to keep the level: the front end keeps the queue near its start
// level by making the console's sound a fraction of a percent faster or
// slower (TSoundRateControl). The queue holds at most MaxMs; pairs that would
// go past that (a card that stopped pulling) are not queued, and counted.
//
// The card hears silence until the queue holds StartMs, then the pairs in
// order. A start fades in over FadeMs, Stop fades out the queue's head over
// FadeMs and drops the rest, so no step from or to silence reaches the card.
// A queue that runs dry falls silent (an underrun, counted) and starts again,
// faded in, once it holds StartMs anew. The output's volume is applied to
// what the card receives only.
//
// TSdlStereoOutput (desktop/SdlStereoOutput.h) pulls it from an SDL audio
// callback; a test pulls it by hand.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "SoundVolume.h"

// How a pushed frame's pairs enter the queue: as they are, rising from
// silence over the frame, falling to silence over it, or as silence of the
// same length (the rewind's muted frames keep the queue's level).
enum class TSoundRamp : uint8_t { None, In, Out, Silent };

class TStereoSoundQueue {
public:
    static constexpr uint32_t MaxMs = 50;
    static constexpr uint32_t StartMs = 32;
    static constexpr uint32_t FadeMs = 4;

    virtual ~TStereoSoundQueue() = default;
    // Empty, silent and sized for `pairsPerSecond`. False when the output
    // cannot be opened; the queue then still takes every operation, unheard.
    virtual bool Open(uint32_t pairsPerSecond);
    // Gives the card back while the ring plays (some drivers open one
    // device at a time); Open opens it again. Nothing without a card.
    virtual void Close() {}

    // The window's thread.
    void Push(const int16_t* pairs, uint32_t count, TSoundRamp ramp = TSoundRamp::None);
    // The head fades out (played if a card pulls); the rest is dropped, and
    // the card hears silence until the queue holds StartMs again.
    void Stop();
    uint32_t Queued() const;
    double QueuedMs() const;
    bool Playing() const;
    uint32_t PairsPerSecond() const { return rate_; }
    uint32_t Capacity() const { return capacity_; }
    // 0 to 100 (percent of the full level), applied as the card pulls.
    void SetVolume(uint8_t percent);
    uint8_t Volume() const { return volume_.load(std::memory_order_relaxed); }

    // The card's thread: the next `count` pairs into `out`.
    void Pull(int16_t* out, uint32_t count);

    // Counts since Open, for tests and the overlay.
    struct TCounts {
        uint32_t Starts = 0;
        uint32_t Underruns = 0;
        uint64_t DroppedPairs = 0;
        uint32_t MaxQueued = 0;  // the most pairs queued after a push
        uint64_t PulledPairs = 0;
    };
    TCounts Counts() const;

private:
    uint32_t Take(int16_t* out, uint32_t count);
    mutable std::mutex mutex_;
    std::vector<int16_t> ring_;  // capacity_ pairs
    uint32_t rate_ = 0;
    uint32_t capacity_ = 0;
    uint32_t startLevel_ = 0;
    uint32_t fadePairs_ = 0;
    uint32_t head_ = 0;   // next pair to play
    uint32_t count_ = 0;  // pairs queued
    bool playing_ = false;
    uint32_t fadeIn_ = 0;        // pairs of the fade-in still to play
    uint32_t stopAfter_ = 0;     // while stopping: pairs of the fade-out still to play
    bool stopping_ = false;
    TCounts counts_;
    std::atomic<uint8_t> volume_{100};
};
