// The sound output buffer on an SDL2 audio device.
#include "SdlSoundBuffer.h"

#include <SDL.h>

#include "SoundVolume.h"

TSdlSoundBuffer::~TSdlSoundBuffer() { Close(); }

void TSdlSoundBuffer::Close() {
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
    if (sdlStarted_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        sdlStarted_ = false;
    }
}

bool TSdlSoundBuffer::Create(uint32_t bytesPerSecond, uint32_t size) {
    Close();
    TRingSoundBuffer::Create(bytesPerSecond, size);
    // The window's toolkit handles Ctrl+C and termination; SDL must not turn
    // them into events nobody reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        lastError_ = std::string("Sound output unavailable: ") + SDL_GetError();
        return false;
    }
    sdlStarted_ = true;
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(bytesPerSecond);
    wanted.format = AUDIO_U8;
    wanted.channels = 1;
    wanted.samples = 512;  // about 12 ms: small against the ring's 134 ms
    wanted.callback = AudioCallback;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts to what the card takes, so the cursor
    // advances at exactly the requested byte rate.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device_ == 0) {
        lastError_ = std::string("Sound output unavailable: ") + SDL_GetError();
        return false;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void TSdlSoundBuffer::AudioCallback(void* self, uint8_t* stream, int length) {
    auto* buffer = static_cast<TSdlSoundBuffer*>(self);
    if (length <= 0) return;
    buffer->Pull(stream, static_cast<uint32_t>(length));
    Sound_ApplyVolume(stream, static_cast<uint32_t>(length), buffer->volume_.load(std::memory_order_relaxed));
    if (buffer->Tap) buffer->Tap(stream, length);
}
