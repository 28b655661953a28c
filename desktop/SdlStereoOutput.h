// The hardware models' stereo queue on an SDL2 audio device: signed 16-bit
// stereo at the queue's rate (48 kHz), 480 pairs (10 ms) a callback. The
// device runs from Open on; its callback pulls the queue, which gives
// silence until it plays.
//
// A callback pulling our own queue rather than SDL_QueueAudio: the queue's
// level is then exactly what waits for the card (SDL_GetQueuedAudioSize
// would not say what SDL already took), the start level, the fades and the
// volume are applied where the card takes the sound, an underrun is seen
// and counted, and the card's thread allocates nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "StereoSoundQueue.h"

class TSdlStereoOutput final : public TStereoSoundQueue {
public:
    TSdlStereoOutput() = default;
    ~TSdlStereoOutput() override;
    TSdlStereoOutput(const TSdlStereoOutput&) = delete;
    TSdlStereoOutput& operator=(const TSdlStereoOutput&) = delete;

    static constexpr int DevicePairs = 480;
    // Opens the default output device; false (with LastError) when SDL has
    // none, and the queue keeps working without sound.
    bool Open(uint32_t pairsPerSecond) override;
    const std::string& LastError() const { return lastError_; }
    bool DeviceOpen() const { return device_ != 0; }
    // What the device was opened with (rate, SDL format, channels).
    int DeviceRate() const { return deviceRate_; }
    uint16_t DeviceFormat() const { return deviceFormat_; }
    int DeviceChannels() const { return deviceChannels_; }

    // The SDL callback; public so that a test can drive it as the device does.
    static void AudioCallback(void* self, uint8_t* stream, int length);
    // Test hook: sees every block of pairs the callback hands to the device.
    // Set it before Open (it is read by the device's thread without a lock).
    std::function<void(const int16_t* pairs, int count)> Tap;

    void Close() override;

private:
    uint32_t device_ = 0;
    bool sdlStarted_ = false;
    int deviceRate_ = 0;
    uint16_t deviceFormat_ = 0;
    int deviceChannels_ = 0;
    std::string lastError_;
};
