// The sound output buffer on an SDL2 audio device: 8-bit unsigned mono at the
// buffer's byte rate. The device runs from Create on; its callback plays the
// ring from the cursor while the buffer plays and silence while it is stopped,
// at the output's volume (the ring itself keeps the console's samples).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "SoundOutputBuffer.h"

class TSdlSoundBuffer final : public TRingSoundBuffer {
public:
    TSdlSoundBuffer() = default;
    ~TSdlSoundBuffer() override;

    // Opens the default output device; false (with LastError) when SDL has
    // none, and the buffer keeps working without sound.
    bool Create(uint32_t bytesPerSecond, uint32_t size) override;
    const std::string& LastError() const { return lastError_; }
    bool DeviceOpen() const { return device_ != 0; }
    // 0 to 100 (percent of the full level), applied as the card pulls.
    void SetVolume(uint8_t percent) { volume_.store(percent > 100 ? 100 : percent, std::memory_order_relaxed); }
    uint8_t Volume() const { return volume_.load(std::memory_order_relaxed); }

    // The SDL callback; public so that a test can drive it as the device does.
    static void AudioCallback(void* self, uint8_t* stream, int length);
    // Test hook: sees every block the callback hands to the device. Set it
    // before Create (it is read by the device's thread without a lock).
    std::function<void(const uint8_t* data, int length)> Tap;

    void Close() override;

private:
    uint32_t device_ = 0;
    bool sdlStarted_ = false;
    std::string lastError_;
    std::atomic<uint8_t> volume_{100};
};
