// A small libretro front end of our own for the core's tests and benchmark:
// it dlopens the built core, answers the environment calls a core makes
// (core options, the system folder, the log, the messages for the screen, the
// pixel format), plays both
// pads from a table and keeps each frame's picture and sound.
//
// The API's callbacks are plain functions, so there is one host per process
// (TLibretroHost::Get()); the core is opened once and kept.
#pragma once

#include <dlfcn.h>
#include <libretro-common/libretro.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <type_traits>
#include <string>
#include <vector>

class TLibretroHost {
public:
    // The core's entry points.
    void (*init)() = nullptr;
    void (*deinit)() = nullptr;
    unsigned (*api_version)() = nullptr;
    void (*get_system_info)(retro_system_info*) = nullptr;
    void (*get_system_av_info)(retro_system_av_info*) = nullptr;
    void (*set_environment)(retro_environment_t) = nullptr;
    void (*set_video_refresh)(retro_video_refresh_t) = nullptr;
    void (*set_audio_sample)(retro_audio_sample_t) = nullptr;
    void (*set_audio_sample_batch)(retro_audio_sample_batch_t) = nullptr;
    void (*set_input_poll)(retro_input_poll_t) = nullptr;
    void (*set_input_state)(retro_input_state_t) = nullptr;
    void (*reset)() = nullptr;
    void (*run)() = nullptr;
    size_t (*serialize_size)() = nullptr;
    bool (*serialize)(void*, size_t) = nullptr;
    bool (*unserialize)(const void*, size_t) = nullptr;
    bool (*load_game)(const retro_game_info*) = nullptr;
    void (*unload_game)() = nullptr;
    void* (*get_memory_data)(unsigned) = nullptr;
    size_t (*get_memory_size)(unsigned) = nullptr;
    unsigned (*get_region)() = nullptr;

    // What the host offers the core.
    std::map<std::string, std::string> Options;  // key -> current value
    bool OptionsUpdated = false;
    std::string SystemDir;
    unsigned OptionsVersion = 2;
    // The message interface's version: 1 takes SET_MESSAGE_EXT, 0 only the
    // first interface's SET_MESSAGE.
    unsigned MessageVersion = 1;
    // Buttons held, [port][RETRO_DEVICE_ID_JOYPAD_*].
    bool Held[2][16] = {};

    // What the core told the host.
    std::vector<std::string> Log;
    // The messages for the screen, by either interface. Those the core sends
    // to the log too are logged as a front end logs them, text and newline.
    struct TMessage {
        std::string Text;
        bool Ext = false;
        unsigned Duration = 0;  // milliseconds (SET_MESSAGE_EXT) or frames
        retro_log_level Level = RETRO_LOG_INFO;
        retro_message_target Target = RETRO_MESSAGE_TARGET_ALL;
        retro_message_type Type = RETRO_MESSAGE_TYPE_NOTIFICATION;
    };
    std::vector<TMessage> Messages;
    std::map<std::string, std::vector<std::string>> OptionValues;  // key -> values, as declared
    std::map<std::string, std::string> OptionDefaults;
    int PixelFormat = -1;
    bool InputDescriptors = false;
    std::vector<uint32_t> Picture;  // the last frame, rows packed
    unsigned Width = 0, Height = 0;
    int PicturesThisFrame = 0;
    std::vector<int16_t> Sound;     // this frame's stereo samples
    bool SoundBySingleSamples = false;
    // What the core announced while running: new timings, new geometries.
    std::vector<retro_system_av_info> AvInfos;
    std::vector<retro_game_geometry> Geometries;

    static TLibretroHost& Get() {
        static TLibretroHost host;
        return host;
    }

    // Opens the core once; "" on success, otherwise the reason.
    std::string Open(const std::string& path) {
        if (handle_ != nullptr) return "";
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) return dlerror();
        std::string missing;
        auto bind = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(handle_, name));
            if (fn == nullptr) missing += std::string(" ") + name;
        };
        bind(init, "retro_init");
        bind(deinit, "retro_deinit");
        bind(api_version, "retro_api_version");
        bind(get_system_info, "retro_get_system_info");
        bind(get_system_av_info, "retro_get_system_av_info");
        bind(set_environment, "retro_set_environment");
        bind(set_video_refresh, "retro_set_video_refresh");
        bind(set_audio_sample, "retro_set_audio_sample");
        bind(set_audio_sample_batch, "retro_set_audio_sample_batch");
        bind(set_input_poll, "retro_set_input_poll");
        bind(set_input_state, "retro_set_input_state");
        bind(reset, "retro_reset");
        bind(run, "retro_run");
        bind(serialize_size, "retro_serialize_size");
        bind(serialize, "retro_serialize");
        bind(unserialize, "retro_unserialize");
        bind(load_game, "retro_load_game");
        bind(unload_game, "retro_unload_game");
        bind(get_memory_data, "retro_get_memory_data");
        bind(get_memory_size, "retro_get_memory_size");
        bind(get_region, "retro_get_region");
        if (!missing.empty()) return "the core lacks" + missing;
        // The order a front end follows: environment first, then init.
        set_environment(&Environment);
        set_video_refresh(&Video);
        set_audio_sample(&AudioSample);
        set_audio_sample_batch(&AudioBatch);
        set_input_poll(&InputPoll);
        set_input_state(&InputState);
        init();
        return "";
    }

    // Loads a cartridge by path, with the options set to their declared
    // defaults and then `options` over them.
    bool Load(const std::string& rom, const std::map<std::string, std::string>& options = {}) {
        unload_game();
        Options = OptionDefaults;
        for (const auto& [key, value] : options) Options[key] = value;
        OptionsUpdated = false;
        std::memset(Held, 0, sizeof Held);
        Log.clear();
        Messages.clear();
        retro_game_info info{rom.c_str(), nullptr, 0, nullptr};
        return load_game(&info);
    }

    // Hands the core the environment again (after OptionsVersion changed).
    void Reannounce() {
        OptionValues.clear();
        OptionDefaults.clear();
        set_environment(&Environment);
    }

    void SetOption(const std::string& key, const std::string& value) {
        Options[key] = value;
        OptionsUpdated = true;
    }

    // One frame: returns after retro_run with the picture and sound in hand.
    void RunFrame() {
        PicturesThisFrame = 0;
        Sound.clear();
        run();
    }

    std::string LogText() const {
        std::string all;
        for (const std::string& line : Log) all += line;
        return all;
    }

    std::vector<uint8_t> SaveState() {
        std::vector<uint8_t> state(serialize_size());
        if (!serialize(state.data(), state.size())) state.clear();
        return state;
    }

private:
    void* handle_ = nullptr;

    static void Logger(retro_log_level, const char* format, ...) {
        char text[4096];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        Get().Log.push_back(text);
    }

    static bool Environment(unsigned command, void* data) {
        TLibretroHost& h = Get();
        switch (command) {
            case RETRO_ENVIRONMENT_GET_LOG_INTERFACE:
                static_cast<retro_log_callback*>(data)->log = &Logger;
                return true;
            case RETRO_ENVIRONMENT_GET_CORE_OPTIONS_VERSION:
                *static_cast<unsigned*>(data) = h.OptionsVersion;
                return true;
            case RETRO_ENVIRONMENT_SET_CORE_OPTIONS_V2: {
                if (h.OptionsVersion < 2) return false;
                const auto* options = static_cast<const retro_core_options_v2*>(data);
                for (const retro_core_option_v2_definition* d = options->definitions; d->key != nullptr; ++d) {
                    std::vector<std::string>& values = h.OptionValues[d->key];
                    values.clear();
                    for (const retro_core_option_value* v = d->values; v->value != nullptr; ++v)
                        values.push_back(v->value);
                    h.OptionDefaults[d->key] = d->default_value != nullptr ? d->default_value : "";
                }
                return true;
            }
            case RETRO_ENVIRONMENT_SET_VARIABLES:
                // "Description; first|second|...": the first value is the default.
                for (const auto* v = static_cast<const retro_variable*>(data); v->key != nullptr; ++v) {
                    const std::string text = v->value;
                    std::string list = text.substr(text.find("; ") + 2);
                    std::vector<std::string>& values = h.OptionValues[v->key];
                    values.clear();
                    for (std::size_t at = 0;;) {
                        const std::size_t bar = list.find('|', at);
                        values.push_back(list.substr(at, bar - at));
                        if (bar == std::string::npos) break;
                        at = bar + 1;
                    }
                    h.OptionDefaults[v->key] = values.front();
                }
                return true;
            case RETRO_ENVIRONMENT_GET_VARIABLE: {
                auto* variable = static_cast<retro_variable*>(data);
                const auto it = h.Options.find(variable->key);
                if (it == h.Options.end()) return false;
                variable->value = it->second.c_str();
                return true;
            }
            case RETRO_ENVIRONMENT_GET_VARIABLE_UPDATE:
                *static_cast<bool*>(data) = h.OptionsUpdated;
                h.OptionsUpdated = false;
                return true;
            case RETRO_ENVIRONMENT_GET_SYSTEM_DIRECTORY:
                *static_cast<const char**>(data) = h.SystemDir.empty() ? nullptr : h.SystemDir.c_str();
                return true;
            case RETRO_ENVIRONMENT_GET_MESSAGE_INTERFACE_VERSION:
                *static_cast<unsigned*>(data) = h.MessageVersion;
                return true;
            case RETRO_ENVIRONMENT_SET_MESSAGE_EXT: {
                if (h.MessageVersion < 1) return false;
                const auto* m = static_cast<const retro_message_ext*>(data);
                h.Messages.push_back({m->msg, true, m->duration, m->level, m->target, m->type});
                if (m->target != RETRO_MESSAGE_TARGET_OSD) h.Log.push_back(std::string(m->msg) + "\n");
                return true;
            }
            case RETRO_ENVIRONMENT_SET_MESSAGE: {
                const auto* m = static_cast<const retro_message*>(data);
                h.Messages.push_back({m->msg, false, m->frames});
                return true;
            }
            case RETRO_ENVIRONMENT_SET_PIXEL_FORMAT:
                h.PixelFormat = *static_cast<const retro_pixel_format*>(data);
                return true;
            case RETRO_ENVIRONMENT_SET_INPUT_DESCRIPTORS:
                h.InputDescriptors = true;
                return true;
            case RETRO_ENVIRONMENT_SET_SYSTEM_AV_INFO:
                h.AvInfos.push_back(*static_cast<const retro_system_av_info*>(data));
                return true;
            case RETRO_ENVIRONMENT_SET_GEOMETRY:
                h.Geometries.push_back(*static_cast<const retro_game_geometry*>(data));
                return true;
            default:
                return false;
        }
    }

    static void Video(const void* data, unsigned width, unsigned height, size_t pitch) {
        TLibretroHost& h = Get();
        ++h.PicturesThisFrame;
        if (data == nullptr) return;  // a repeated frame
        h.Width = width;
        h.Height = height;
        h.Picture.resize(std::size_t{width} * height);
        for (unsigned y = 0; y < height; ++y)
            std::memcpy(h.Picture.data() + std::size_t{y} * width, static_cast<const uint8_t*>(data) + y * pitch,
                        width * sizeof(uint32_t));
    }

    static void AudioSample(int16_t left, int16_t right) {
        Get().SoundBySingleSamples = true;
        Get().Sound.push_back(left);
        Get().Sound.push_back(right);
    }

    static size_t AudioBatch(const int16_t* data, size_t frames) {
        Get().Sound.insert(Get().Sound.end(), data, data + 2 * frames);
        return frames;
    }

    static void InputPoll() {}

    static int16_t InputState(unsigned port, unsigned device, unsigned, unsigned id) {
        if (port > 1 || device != RETRO_DEVICE_JOYPAD || id >= 16) return 0;
        return Get().Held[port][id] ? 1 : 0;
    }
};
