// The stereo sound queue on an SDL2 audio device.
#include "SdlStereoOutput.h"

#include <SDL.h>

TSdlStereoOutput::~TSdlStereoOutput() { Close(); }

void TSdlStereoOutput::Close() {
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
    if (sdlStarted_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        sdlStarted_ = false;
    }
}

bool TSdlStereoOutput::Open(uint32_t pairsPerSecond) {
    Close();
    TStereoSoundQueue::Open(pairsPerSecond);
    // The window's toolkit handles Ctrl+C and termination.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        lastError_ = std::string("Sound output unavailable: ") + SDL_GetError();
        return false;
    }
    sdlStarted_ = true;
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(pairsPerSecond);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    // 10 ms: a third of the queue's start level, so the queue's level moves
    // in small steps and a late block never empties it.
    wanted.samples = DevicePairs;
    wanted.callback = AudioCallback;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts to what the card takes, so the queue
    // is drained at exactly the requested rate by the card's clock.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device_ == 0) {
        lastError_ = std::string("Sound output unavailable: ") + SDL_GetError();
        return false;
    }
    deviceRate_ = obtained.freq;
    deviceFormat_ = obtained.format;
    deviceChannels_ = obtained.channels;
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void TSdlStereoOutput::AudioCallback(void* self, uint8_t* stream, int length) {
    auto* output = static_cast<TSdlStereoOutput*>(self);
    const int pairs = length / static_cast<int>(2 * sizeof(int16_t));
    if (pairs <= 0) return;
    auto* samples = reinterpret_cast<int16_t*>(stream);
    output->Pull(samples, static_cast<uint32_t>(pairs));
    if (output->Tap) output->Tap(samples, pairs);
}
