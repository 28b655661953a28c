// tiravel_libretro: the machine as a libretro core. The front end calls
// retro_run once per console frame; each call does what the headless runner
// does for a frame (the pads into the controller ports, Pause as the CPU's
// NMI, the 262 lines, the frame's samples) and hands the picture and the
// sound to the front end. Nothing here knows a toolkit: the console is the
// same one the desktop program's machine thread runs, driven directly.
//
// The console's model (Tiravel, Master System, Master System II, Game Gear)
// and, for the real consoles, the region, video standard and mapper are core
// options that take effect when a game is loaded and at the next Console
// Reset, as on the desktop; a Game Gear game (a .gg file, or one whose header
// says so) starts the Game Gear whatever the option says. A new model's frame
// rate and sound rate (the default model's 44,100 Hz, the hardware models'
// 48,000 Hz stereo) reach the front end then through
// RETRO_ENVIRONMENT_SET_SYSTEM_AV_INFO. A picture whose size changes (a
// hardware model's 192, 224 or 240 lines, the Game Gear's 160 x 144) is
// announced with SET_GEOMETRY.
//
// Battery RAM belongs to the front end: it reads and writes the cartridge RAM
// through RETRO_MEMORY_SAVE_RAM (its .srm file), so the core writes no files.
#include <libretro-common/libretro.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Console.h"
#include "RomFiles.h"

#include "TiravelVersion.h"

namespace {

enum class TResetMode { ConsoleReset, ResetButton };

// The core runs on the front end's thread, which runs the console's frames.
struct TCore {
    std::unique_ptr<TConsole> Console;
    std::vector<uint8_t> State;       // kept: a save allocates nothing after the first
    std::vector<uint32_t> Picture = std::vector<uint32_t>(CONSOLE_MAX_PICTURE_PIXELS);
    std::vector<int16_t> Samples;     // interleaved stereo
    uint8_t BiosType = 1;             // chosen; applied at the next start
    uint8_t Frameskip = 0;
    TResetMode ResetMode = TResetMode::ConsoleReset;
    TConsoleSettings Settings;        // chosen; applied at the next start
    // The model the loaded game asks for whatever was chosen (a Game Gear
    // game): kept for its Console Resets too.
    std::optional<TConsoleModel> CartridgeModel;
    // What the front end was last told: a console that runs at another rate
    // (another model after a reset, a state) or shows another height is
    // announced at the next retro_run, the only place the API allows it.
    double AnnouncedFps = 60.0;
    double AnnouncedSampleRate = 44100.0;
    uint32_t AnnouncedWidth = CONSOLE_PICTURE_WIDTH;
    uint32_t AnnouncedHeight = CONSOLE_PICTURE_HEIGHT;
};

// What the next start runs: the options, with the game's own model.
TConsoleSettings StartSettings(const TCore& c) {
    TConsoleSettings settings = c.Settings;
    if (c.CartridgeModel) settings.Model = *c.CartridgeModel;
    return settings;
}

retro_environment_t environ_cb = nullptr;
retro_video_refresh_t video_cb = nullptr;
retro_audio_sample_t audio_cb = nullptr;
retro_audio_sample_batch_t audio_batch_cb = nullptr;
retro_input_poll_t input_poll_cb = nullptr;
retro_input_state_t input_state_cb = nullptr;
retro_log_printf_t log_cb = nullptr;

std::unique_ptr<TCore> core;

void Log(retro_log_level level, const std::string& message) {
    if (log_cb != nullptr)
        log_cb(level, "%s\n", message.c_str());
    else
        std::fprintf(stderr, "Tiravel: %s\n", message.c_str());
}

// What the player must see on the front end's screen (a state refused): the
// message interface (RETRO_ENVIRONMENT_SET_MESSAGE_EXT) where the front end
// has it, to its screen and its log at once, so the log holds it once; else
// the first interface's SET_MESSAGE for the screen, beside the log.
constexpr unsigned kMessageMilliseconds = 5000;

void Notify(retro_log_level level, const std::string& message) {
    unsigned version = 0;
    if (environ_cb != nullptr && environ_cb(RETRO_ENVIRONMENT_GET_MESSAGE_INTERFACE_VERSION, &version) && version >= 1) {
        // Priority above the front end's own notices (0 to 3 in RetroArch),
        // which may still say the state was loaded.
        const retro_message_ext ext{message.c_str(), kMessageMilliseconds, 4, level, RETRO_MESSAGE_TARGET_ALL,
                                    RETRO_MESSAGE_TYPE_NOTIFICATION, -1};
        if (environ_cb(RETRO_ENVIRONMENT_SET_MESSAGE_EXT, const_cast<retro_message_ext*>(&ext))) return;
    }
    Log(level, message);
    if (environ_cb == nullptr) return;
    const retro_message plain{message.c_str(), kMessageMilliseconds * 60 / 1000};
    environ_cb(RETRO_ENVIRONMENT_SET_MESSAGE, const_cast<retro_message*>(&plain));
}

// Core options. Keys and values stay stable: front ends keep them in their
// option files. The console's choices take their values from the console's
// own tables (ids and names), filled in when the options are declared.
constexpr const char* kOptionBios = "tiravel_bios_type";
constexpr const char* kOptionFrameskip = "tiravel_frameskip";
constexpr const char* kOptionReset = "tiravel_reset";
constexpr const char* kOptionModel = "tiravel_model";
constexpr const char* kOptionRegion = "tiravel_region";
constexpr const char* kOptionVideo = "tiravel_video";
constexpr const char* kOptionMapper = "tiravel_mapper";

retro_core_option_v2_category kCategories[] = {{nullptr, nullptr, nullptr}};

retro_core_option_v2_definition kDefinitions[] = {
    {kOptionBios, "BIOS Type", nullptr,
     "The console's start-up BIOS: our open image, or the dump tiravel/American.bin or tiravel/Japanese.bin "
     "in the system folder. Takes effect at the next Console Reset or game start.",
     nullptr, nullptr,
     {{"american", "American / Brazilian"}, {"japanese", "Japanese"}, {nullptr, nullptr}},
     "american"},
    {kOptionFrameskip, "Frameskip", nullptr,
     "Frames the machine does not draw after each drawn frame; a skipped frame shows the last picture again.",
     nullptr, nullptr,
     {{"0", nullptr}, {"1", nullptr}, {"3", nullptr}, {nullptr, nullptr}},
     "0"},
    {kOptionReset, "Reset", nullptr,
     "What the front end's reset does: \"Console Reset\" runs the BIOS again; \"Reset Button\" presses the "
     "console's reset button, which the running game reads.",
     nullptr, nullptr,
     {{"console", "Console Reset"}, {"button", "Reset Button"}, {nullptr, nullptr}},
     "console"},
    {kOptionModel, "Console Model", nullptr,
     "Tiravel, the machine as designed, or a model of the real Master System, Master System II or Game Gear. "
     "Takes effect at the next Console Reset or game start. A Game Gear game (.gg) always starts the Game Gear.",
     nullptr, nullptr, {{nullptr, nullptr}}, nullptr},
    {kOptionRegion, "Region", nullptr,
     "Where a Master System model was sold (the Japanese console reads its controller lines differently). "
     "The Tiravel model ignores it. Takes effect at the next Console Reset or game start.",
     nullptr, nullptr, {{nullptr, nullptr}}, nullptr},
    {kOptionVideo, "Video Standard", nullptr,
     "A Master System model's television standard: NTSC, 59.92 frames a second, or PAL, 49.70. "
     "The Tiravel model and the Game Gear (always 59.92) ignore it. Takes effect at the next Console Reset or game start.",
     nullptr, nullptr, {{nullptr, nullptr}}, nullptr},
    {kOptionMapper, "Cartridge Mapper", nullptr,
     "A Master System model's cartridge bank switching: found from the cartridge, or forced for one that "
     "detection gets wrong. The Tiravel model ignores it. Takes effect at the next Console Reset or game start.",
     nullptr, nullptr, {{nullptr, nullptr}}, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, {{nullptr, nullptr}}, nullptr},
};

retro_core_options_v2 kOptions = {kCategories, kDefinitions};

// For front ends without the V2 interface: the same options, default first.
std::string gVariableTexts[4];
retro_variable kVariables[] = {
    {kOptionBios, "BIOS Type; american|japanese"},
    {kOptionFrameskip, "Frameskip; 0|1|3"},
    {kOptionReset, "Reset; console|button"},
    {kOptionModel, nullptr},
    {kOptionRegion, nullptr},
    {kOptionVideo, nullptr},
    {kOptionMapper, nullptr},
    {nullptr, nullptr},
};

// The values of a console option from its table, the default (the first
// row, as TConsoleSettings has it) first in the old interface's list.
template <typename E>
void FillChoice(retro_core_option_v2_definition& definition, retro_variable& variable, std::string& text) {
    const auto rows = Console_Options<E>();
    static_assert(RETRO_NUM_CORE_OPTION_VALUES_MAX > 8);
    std::size_t i = 0;
    text = std::string(definition.desc) + "; ";
    for (const TConsoleOptionInfo<E>& row : rows) {
        definition.values[i++] = {row.Id, row.Name};
        text += std::string(i > 1 ? "|" : "") + row.Id;
    }
    definition.values[i] = {nullptr, nullptr};
    definition.default_value = rows[0].Id;
    variable.value = text.c_str();
}

void FillConsoleChoices() {
    FillChoice<TConsoleModel>(kDefinitions[3], kVariables[3], gVariableTexts[0]);
    FillChoice<TConsoleRegion>(kDefinitions[4], kVariables[4], gVariableTexts[1]);
    FillChoice<TConsoleVideo>(kDefinitions[5], kVariables[5], gVariableTexts[2]);
    FillChoice<TConsoleMapper>(kDefinitions[6], kVariables[6], gVariableTexts[3]);
}

void DeclareOptions() {
    FillConsoleChoices();
    unsigned version = 0;
    if (environ_cb(RETRO_ENVIRONMENT_GET_CORE_OPTIONS_VERSION, &version) && version >= 2 &&
        environ_cb(RETRO_ENVIRONMENT_SET_CORE_OPTIONS_V2, &kOptions))
        return;
    environ_cb(RETRO_ENVIRONMENT_SET_VARIABLES, kVariables);
}

const char* OptionValue(const char* key) {
    retro_variable variable{key, nullptr};
    if (environ_cb == nullptr || !environ_cb(RETRO_ENVIRONMENT_GET_VARIABLE, &variable)) return nullptr;
    return variable.value;
}

// A console option's value by its id; an unknown one leaves the choice.
template <typename E>
void ReadChoice(const char* key, E& value) {
    if (const char* v = OptionValue(key)) Console_FindOption(v, value);
}

// Reads the options into the core; the frameskip goes to the console at once,
// the console's model and options wait for the next start.
void ReadOptions(TCore& c) {
    ReadChoice(kOptionModel, c.Settings.Model);
    ReadChoice(kOptionRegion, c.Settings.Region);
    ReadChoice(kOptionVideo, c.Settings.Video);
    ReadChoice(kOptionMapper, c.Settings.Mapper);
    if (const char* v = OptionValue(kOptionBios)) c.BiosType = std::strcmp(v, "japanese") == 0 ? 0 : 1;
    if (const char* v = OptionValue(kOptionFrameskip))
        c.Frameskip = std::strcmp(v, "1") == 0 ? 1 : std::strcmp(v, "3") == 0 ? 3 : 0;
    if (const char* v = OptionValue(kOptionReset))
        c.ResetMode = std::strcmp(v, "button") == 0 ? TResetMode::ResetButton : TResetMode::ConsoleReset;
    if (c.Console) c.Console->SetFrameskip(c.Frameskip);
}

void DeclareInputs() {
    static const retro_input_descriptor descriptors[] = {
#define TIRAVEL_PAD(port)                                                          \
    {port, RETRO_DEVICE_JOYPAD, 0, RETRO_DEVICE_ID_JOYPAD_LEFT, "Left"},           \
        {port, RETRO_DEVICE_JOYPAD, 0, RETRO_DEVICE_ID_JOYPAD_RIGHT, "Right"},     \
        {port, RETRO_DEVICE_JOYPAD, 0, RETRO_DEVICE_ID_JOYPAD_UP, "Up"},           \
        {port, RETRO_DEVICE_JOYPAD, 0, RETRO_DEVICE_ID_JOYPAD_DOWN, "Down"},       \
        {port, RETRO_DEVICE_JOYPAD, 0, RETRO_DEVICE_ID_JOYPAD_B, "Button 1"},      \
        {port, RETRO_DEVICE_JOYPAD, 0, RETRO_DEVICE_ID_JOYPAD_A, "Button 2"}
        TIRAVEL_PAD(0),
        {0, RETRO_DEVICE_JOYPAD, 0, RETRO_DEVICE_ID_JOYPAD_START, "Pause / Start (Game Gear)"},
        TIRAVEL_PAD(1),
#undef TIRAVEL_PAD
        {0, 0, 0, 0, nullptr},
    };
    environ_cb(RETRO_ENVIRONMENT_SET_INPUT_DESCRIPTORS, const_cast<retro_input_descriptor*>(descriptors));
}

// The console's start, in the order the headless runner and the window use:
// the BIOS images (dumps from <system>/tiravel/), the console, the BIOS type,
// then the cartridge. False, with the reason in the log, when the ROM cannot
// be used. A Game Gear game starts the Game Gear whatever the option says.
bool StartConsole(TCore& c, const std::string& romPath) {
    // Asked with the default model: a game that takes the option gives it back.
    const TConsoleModel asked = SMS_CartridgeModel(romPath, TConsoleModel::Tiravel);
    c.CartridgeModel = asked != TConsoleModel::Tiravel ? std::optional(asked) : std::nullopt;
    std::vector<std::string> folders;
    const char* system = nullptr;
    if (environ_cb(RETRO_ENVIRONMENT_GET_SYSTEM_DIRECTORY, &system) && system != nullptr && system[0] != '\0')
        folders = {std::string(system) + "/tiravel"};
    std::vector<std::string> warnings;
    TConsole::InstallBiosImages(folders, warnings);
    for (const std::string& message : warnings) Log(RETRO_LOG_WARN, message);
    auto console = std::make_unique<TConsole>(StartSettings(c));
    console->SetBiosType(c.BiosType);
    try {
        console->LoadCartridge(romPath);
    } catch (const std::exception& error) {
        Log(RETRO_LOG_ERROR, error.what());
        return false;
    }
    console->SetFrameskip(c.Frameskip);
    c.Console = std::move(console);
    c.AnnouncedFps = c.Console->FrameRate();
    c.AnnouncedSampleRate = c.Console->HasStereoSound() ? CONSOLE_STEREO_SAMPLE_RATE : c.Console->SampleRate();
    c.AnnouncedWidth = c.Console->PictureWidth();
    c.AnnouncedHeight = c.Console->PictureHeight();
    return true;
}

// The picture's nominal size and shape: 256 x 192 at 4:3, and the taller
// pictures of a hardware model's modes with the same pixels' shape. The Game
// Gear's 160 x 144 at 10:9: its LCD's pixels are square, and a whole
// multiple of the picture then fills the shape exactly (the largest size
// stays the console's 256 x 240).
retro_game_geometry Geometry(uint32_t width, uint32_t height) {
    retro_game_geometry geometry{};
    geometry.base_width = width;
    geometry.base_height = height;
    geometry.max_width = CONSOLE_PICTURE_WIDTH;
    geometry.max_height = CONSOLE_MAX_PICTURE_HEIGHT;
    geometry.aspect_ratio = width != CONSOLE_PICTURE_WIDTH
                                ? static_cast<float>(width) / static_cast<float>(height)
                                : 4.0f * CONSOLE_PICTURE_HEIGHT / (3.0f * static_cast<float>(height));
    return geometry;
}

// Each pad's buttons and the console's line each one holds.
struct TPadLine {
    unsigned Id;
    uint8_t Bit;
};
constexpr TPadLine kPadLines[6] = {
    {RETRO_DEVICE_ID_JOYPAD_LEFT, PAD_LEFT}, {RETRO_DEVICE_ID_JOYPAD_RIGHT, PAD_RIGHT},
    {RETRO_DEVICE_ID_JOYPAD_UP, PAD_UP},     {RETRO_DEVICE_ID_JOYPAD_DOWN, PAD_DOWN},
    {RETRO_DEVICE_ID_JOYPAD_B, PAD_BUTTON1}, {RETRO_DEVICE_ID_JOYPAD_A, PAD_BUTTON2},
};

}  // namespace

extern "C" {

RETRO_API unsigned retro_api_version(void) { return RETRO_API_VERSION; }

RETRO_API void retro_set_environment(retro_environment_t cb) {
    environ_cb = cb;
    retro_log_callback logging{};
    log_cb = cb(RETRO_ENVIRONMENT_GET_LOG_INTERFACE, &logging) ? logging.log : nullptr;
    DeclareOptions();
}

RETRO_API void retro_set_video_refresh(retro_video_refresh_t cb) { video_cb = cb; }
RETRO_API void retro_set_audio_sample(retro_audio_sample_t cb) { audio_cb = cb; }
RETRO_API void retro_set_audio_sample_batch(retro_audio_sample_batch_t cb) { audio_batch_cb = cb; }
RETRO_API void retro_set_input_poll(retro_input_poll_t cb) { input_poll_cb = cb; }
RETRO_API void retro_set_input_state(retro_input_state_t cb) { input_state_cb = cb; }

RETRO_API void retro_init(void) { core = std::make_unique<TCore>(); }

RETRO_API void retro_deinit(void) { core.reset(); }

RETRO_API void retro_get_system_info(retro_system_info* info) {
    std::memset(info, 0, sizeof *info);
    info->library_name = "Tiravel";
    info->library_version = TIRAVEL_VERSION;
    info->valid_extensions = "sms|gg|bin|zip|7z|gz";
    // The ROM is read from its file by the same code as the desktop's, with
    // the same checks and messages.
    info->need_fullpath = true;
    // Archives are opened by the machine itself, as in the desktop program.
    info->block_extract = true;
}

RETRO_API void retro_get_system_av_info(retro_system_av_info* info) {
    std::memset(info, 0, sizeof *info);
    const TConsole* console = core ? core->Console.get() : nullptr;
    info->geometry = console != nullptr ? Geometry(console->PictureWidth(), console->PictureHeight())
                                        : Geometry(CONSOLE_PICTURE_WIDTH, CONSOLE_PICTURE_HEIGHT);
    // The model's exact rate: 60 for the default model, 59.9227 (the Game
    // Gear's too) or 49.7015.
    info->timing.fps = console != nullptr ? console->FrameRate() : 60.0;
    // The default model's 44,100 Hz mono (on both channels); the hardware
    // models' own 48,000 Hz stereo.
    info->timing.sample_rate = console == nullptr ? 44100.0
                               : console->HasStereoSound() ? static_cast<double>(CONSOLE_STEREO_SAMPLE_RATE)
                                                           : static_cast<double>(console->SampleRate());
}

RETRO_API void retro_set_controller_port_device(unsigned, unsigned) {}

RETRO_API void retro_reset(void) {
    if (!core || !core->Console) return;
    TConsole& console = *core->Console;
    if (core->ResetMode == TResetMode::ResetButton) {
        console.PressReset();
        return;
    }
    // "Console Reset": the chosen BIOS runs again, then the cartridge; the
    // cartridge RAM stays, as a battery-backed one does. A model chosen since
    // powers the console on as that model (a Game Gear game stays on the
    // Game Gear).
    console.SetBiosType(core->BiosType);
    const TConsoleSettings settings = StartSettings(*core);
    if (console.Settings() != Console_EffectiveSettings(settings)) {
        console.Configure(settings);
    } else {
        console.ResetConsole();
    }
}

RETRO_API void retro_run(void) {
    if (!core || !core->Console) return;
    TCore& c = *core;
    TConsole& console = *c.Console;
    bool updated = false;
    if (environ_cb(RETRO_ENVIRONMENT_GET_VARIABLE_UPDATE, &updated) && updated) ReadOptions(c);
    // Never for the default model, whose rates are always 60 and 44,100.
    if (console.FrameRate() != c.AnnouncedFps ||
        (console.HasStereoSound() ? CONSOLE_STEREO_SAMPLE_RATE : console.SampleRate()) != c.AnnouncedSampleRate) {
        retro_system_av_info info;
        retro_get_system_av_info(&info);
        environ_cb(RETRO_ENVIRONMENT_SET_SYSTEM_AV_INFO, &info);
        c.AnnouncedFps = info.timing.fps;
        c.AnnouncedSampleRate = info.timing.sample_rate;
        c.AnnouncedWidth = info.geometry.base_width;
        c.AnnouncedHeight = info.geometry.base_height;
    }

    input_poll_cb();
    uint8_t pads[2] = {};
    for (unsigned port = 0; port < 2; ++port)
        for (const TPadLine& line : kPadLines)
            if (input_state_cb(port, RETRO_DEVICE_JOYPAD, 0, line.Id) != 0) pads[port] |= line.Bit;
    console.SetPads(pads[0], pads[1]);
    // Pause is wired to the CPU's NMI; held, it is raised every frame and the
    // CPU's lock-out makes one interrupt of it. On the Game Gear it is the
    // Start button, which the console holds for the frame.
    if (input_state_cb(0, RETRO_DEVICE_JOYPAD, 0, RETRO_DEVICE_ID_JOYPAD_START) != 0) console.PressPause();

    console.RunFrame();

    // The frame's own size: 256 x 192 always in the default model, the
    // Game Gear's 160 x 144 window.
    const uint32_t width = console.PictureWidth();
    const uint32_t height = console.PictureHeight();
    if (width != c.AnnouncedWidth || height != c.AnnouncedHeight) {
        const retro_game_geometry geometry = Geometry(width, height);
        environ_cb(RETRO_ENVIRONMENT_SET_GEOMETRY, const_cast<retro_game_geometry*>(&geometry));
        c.AnnouncedWidth = width;
        c.AnnouncedHeight = height;
    }
    console.FrameToXrgb8888(c.Picture.data());
    video_cb(c.Picture.data(), width, height, width * sizeof(uint32_t));

    // A hardware model's 16-bit stereo pairs as the console makes them, at
    // its own rate (the front end keeps its queue level itself); the default
    // model's 8-bit unsigned mono samples, centred on zero and put in the
    // high byte, on both channels.
    const int16_t* pairs = nullptr;
    std::size_t frames = 0;
    if (console.HasStereoSound()) {
        const std::span<const int16_t> stereo = console.RenderFrameStereo();
        pairs = stereo.data();
        frames = stereo.size() / 2;
    } else {
        const std::span<const uint8_t> sound = console.RenderFrameSamples();
        frames = sound.size();
        c.Samples.resize(frames * 2);
        for (std::size_t i = 0; i < frames; ++i) {
            const auto sample = static_cast<int16_t>((sound[i] - 128) * 256);
            c.Samples[2 * i] = sample;
            c.Samples[2 * i + 1] = sample;
        }
        pairs = c.Samples.data();
    }
    for (std::size_t done = 0; done < frames;) {
        const std::size_t taken = audio_batch_cb(pairs + 2 * done, frames - done);
        if (taken == 0) break;
        done += taken;
    }
}

RETRO_API size_t retro_serialize_size(void) {
    if (!core || !core->Console) return 0;
    return core->Console->StateSize();
}

RETRO_API bool retro_serialize(void* data, size_t size) {
    if (!core || !core->Console || data == nullptr) return false;
    core->Console->SaveState(core->State);
    if (size < core->State.size()) return false;
    std::memcpy(data, core->State.data(), core->State.size());
    return true;
}

RETRO_API bool retro_unserialize(const void* data, size_t size) {
    if (!core || !core->Console || data == nullptr) return false;
    std::string error;
    if (!core->Console->LoadState(static_cast<const uint8_t*>(data), size, error)) {
        // RetroArch has read the file and may still announce it as loaded:
        // the player reads why it was not beside that.
        Notify(RETRO_LOG_ERROR, error);
        return false;
    }
    return true;
}

RETRO_API void retro_cheat_reset(void) {}
RETRO_API void retro_cheat_set(unsigned, bool, const char*) {}

RETRO_API bool retro_load_game(const retro_game_info* game) {
    if (!core || game == nullptr || game->path == nullptr) {
        Log(RETRO_LOG_ERROR, "No cartridge was given.");
        return false;
    }
    retro_pixel_format format = RETRO_PIXEL_FORMAT_XRGB8888;
    if (!environ_cb(RETRO_ENVIRONMENT_SET_PIXEL_FORMAT, &format)) {
        Log(RETRO_LOG_ERROR, "The front end cannot show XRGB8888 pictures.");
        return false;
    }
    DeclareInputs();
    ReadOptions(*core);
    core->Console.reset();
    return StartConsole(*core, game->path);
}

RETRO_API bool retro_load_game_special(unsigned, const retro_game_info*, size_t) { return false; }

RETRO_API void retro_unload_game(void) {
    if (core) core->Console.reset();
}

// The television standard the front end paces and shows by.
RETRO_API unsigned retro_get_region(void) {
    if (core && core->Console && core->Console->Settings().Video == TConsoleVideo::Pal) return RETRO_REGION_PAL;
    return RETRO_REGION_NTSC;
}

RETRO_API void* retro_get_memory_data(unsigned id) {
    if (!core || !core->Console) return nullptr;
    switch (id) {
        case RETRO_MEMORY_SAVE_RAM:
            return core->Console->RegionData(TMemoryRegion::CartridgeRam);
        case RETRO_MEMORY_SYSTEM_RAM:
            return core->Console->RegionData(TMemoryRegion::SystemRam);
        default:
            return nullptr;
    }
}

RETRO_API size_t retro_get_memory_size(unsigned id) {
    if (!core || !core->Console) return 0;
    switch (id) {
        case RETRO_MEMORY_SAVE_RAM:
            return core->Console->RegionSize(TMemoryRegion::CartridgeRam);
        case RETRO_MEMORY_SYSTEM_RAM:
            return core->Console->RegionSize(TMemoryRegion::SystemRam);
        default:
            return 0;
    }
}

}  // extern "C"
