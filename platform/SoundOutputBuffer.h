// The sound output buffer: one looping ring of 8-bit unsigned mono samples
// with a play cursor, as the sound card is used by the machine. Writers lock
// a range, fill the (up to two) regions they get, and unlock; the output
// side plays from the cursor and advances it, wrapping at the end.
//
// TRingSoundBuffer holds the ring and the cursor for every implementation:
// TVirtualSoundBuffer is moved by whoever pulls from it (a test, the headless
// runner); TSdlSoundBuffer (desktop/SdlSoundBuffer.h) is pulled by an SDL audio device.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

struct TSoundLockRegions {
    uint8_t* Region1 = nullptr;
    uint32_t Size1 = 0;
    uint8_t* Region2 = nullptr;
    uint32_t Size2 = 0;
};

class TSoundOutputBuffer {
public:
    virtual ~TSoundOutputBuffer() = default;
    // A silent (128), stopped buffer of `size` bytes played at
    // `bytesPerSecond`, cursor at 0. False when the output cannot be opened;
    // the buffer then still accepts every operation, it is just not heard.
    virtual bool Create(uint32_t bytesPerSecond, uint32_t size) = 0;
    // Playback halts; cursor and contents stay.
    virtual void Stop() = 0;
    // Positions outside the ring are ignored.
    virtual void SetCurrentPosition(uint32_t position) = 0;
    // Regions covering `bytes` bytes from `offset` on, the second one only
    // where the range wraps. False, with no regions, for a range that does
    // not fit the ring (or before Create).
    virtual bool Lock(uint32_t offset, uint32_t bytes, TSoundLockRegions& regions) = 0;
    // Hands the bytes written into the locked regions to the ring.
    virtual void Unlock(const TSoundLockRegions& regions) = 0;
    virtual uint32_t GetCurrentPosition() = 0;
    // True while playing.
    virtual bool GetStatus() = 0;
    // Starts playing from the cursor, looping over the whole ring until Stop.
    virtual void Play() = 0;
    // Gives the card back while another output plays (some drivers open
    // one device at a time); Create opens it again. Nothing without a card.
    virtual void Close() {}
};

// The ring and its cursor, safe between one writer thread and one output
// thread: writers never touch the ring directly (a lock hands out regions of
// a staging copy; Unlock moves them in under the mutex), so the output side
// never sees a half-written block.
class TRingSoundBuffer : public TSoundOutputBuffer {
public:
    bool Create(uint32_t bytesPerSecond, uint32_t size) override;
    void Stop() override;
    void SetCurrentPosition(uint32_t position) override;
    bool Lock(uint32_t offset, uint32_t bytes, TSoundLockRegions& regions) override;
    void Unlock(const TSoundLockRegions& regions) override;
    uint32_t GetCurrentPosition() override;
    bool GetStatus() override;
    void Play() override;

    uint32_t BytesPerSecond() const { return bytesPerSecond_; }
    uint32_t Size() const { return size_; }

protected:
    // Output side: fills `out` with the next `count` bytes from the cursor and
    // advances it while playing; silence (128) and no movement while stopped.
    void Pull(uint8_t* out, uint32_t count);

private:
    std::mutex mutex_;
    std::vector<uint8_t> ring_;
    std::vector<uint8_t> staging_;
    uint32_t bytesPerSecond_ = 0;
    uint32_t size_ = 0;
    uint32_t cursor_ = 0;
    bool playing_ = false;
};

// A buffer with no device: the cursor moves only when Advance pulls bytes
// out, which is what a test or the headless runner does in place of a card.
class TVirtualSoundBuffer final : public TRingSoundBuffer {
public:
    bool Create(uint32_t bytesPerSecond, uint32_t size) override { return TRingSoundBuffer::Create(bytesPerSecond, size); }
    // Plays `count` bytes into `out` (which may be null to discard them).
    void Advance(uint32_t count, uint8_t* out = nullptr);
};
