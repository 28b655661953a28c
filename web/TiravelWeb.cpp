// The web player's C interface (TiravelWeb.h) on the console library: one
// TConsole, its rewind and an input script, kept in this module instance.
// The page's script reads the results straight from the module's memory, so
// the picture, the sound and the states are kept here in buffers that stay
// put until the next call that remakes them.
#include "TiravelWeb.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "Console.h"
#include "FrameInput.h"
#include "Rewind.h"
#include "RomFiles.h"
#include "ScriptedInput.h"

namespace {

struct TWebPlayer {
    std::unique_ptr<TConsole> Console;
    TConsoleSettings Settings;  // as the player chose them (a cartridge's model aside)
    TRewind Rewind;
    TScriptedInput Script;
    bool Scripted = false;
    uint32_t ScriptFrame = 0;
    std::string Error;
    std::vector<uint8_t> Buffer;
    std::vector<uint8_t> State;
    // The picture's RGBA bytes, kept as words (4-byte aligned).
    std::vector<uint32_t> Rgba = std::vector<uint32_t>(CONSOLE_MAX_PICTURE_PIXELS);
    // The last frame's sound as float pairs: the most a frame makes is a PAL
    // frame's stereo at 48000 (966 pairs), the default model's 735 samples.
    std::vector<float> Sound = std::vector<float>(2 * 2048);
    int32_t SoundFrames = 0;
};

TWebPlayer& Player() {
    static TWebPlayer player;
    return player;
}

TConsole& Console() {
    TWebPlayer& p = Player();
    if (!p.Console) tw_init();
    return *p.Console;
}

// The index of `value` in its option table (0 when it has none).
template <typename E>
int32_t IndexOf(E value) {
    const auto options = Console_Options<E>();
    for (std::size_t i = 0; i < options.size(); ++i)
        if (options[i].Value == value) return static_cast<int32_t>(i);
    return 0;
}

// The value at `index` in its table; `fallback` outside it.
template <typename E>
E ValueAt(int32_t index, E fallback) {
    const auto options = Console_Options<E>();
    if (index < 0 || static_cast<std::size_t>(index) >= options.size()) return fallback;
    return options[static_cast<std::size_t>(index)].Value;
}

template <typename E>
const TConsoleOptionInfo<E>* OptionAt(int32_t index) {
    const auto options = Console_Options<E>();
    if (index < 0 || static_cast<std::size_t>(index) >= options.size()) return nullptr;
    return &options[static_cast<std::size_t>(index)];
}

const char* OptionText(int32_t kind, int32_t index, bool id) {
    switch (kind) {
        case 0:
            if (const auto* o = OptionAt<TConsoleModel>(index)) return id ? o->Id : o->Name;
            break;
        case 1:
            if (const auto* o = OptionAt<TConsoleRegion>(index)) return id ? o->Id : o->Name;
            break;
        case 2:
            if (const auto* o = OptionAt<TConsoleVideo>(index)) return id ? o->Id : o->Name;
            break;
        default: break;
    }
    return "";
}

// The frame's sound into the float pairs. The default model's unsigned 8-bit
// mono (128 silent) goes to both sides; the hardware models' signed 16-bit
// pairs are scaled as they are.
void TakeSound(TWebPlayer& p) {
    TConsole& console = *p.Console;
    if (console.HasStereoSound()) {
        const std::span<const int16_t> stereo = console.RenderFrameStereo();
        const std::size_t pairs = std::min(stereo.size() / 2, p.Sound.size() / 2);
        for (std::size_t i = 0; i < 2 * pairs; ++i) p.Sound[i] = static_cast<float>(stereo[i]) * (1.0f / 32768.0f);
        p.SoundFrames = static_cast<int32_t>(pairs);
    } else {
        const std::span<const uint8_t> mono = console.RenderFrameSamples();
        const std::size_t count = std::min(mono.size(), p.Sound.size() / 2);
        for (std::size_t i = 0; i < count; ++i) {
            const float v = static_cast<float>(static_cast<int32_t>(mono[i]) - 128) * (1.0f / 128.0f);
            p.Sound[2 * i] = v;
            p.Sound[2 * i + 1] = v;
        }
        p.SoundFrames = static_cast<int32_t>(count);
    }
}

}  // namespace

extern "C" {

int tw_init(void) {
    TWebPlayer& p = Player();
    if (p.Console) return 0;
    // No folders: the built-in open BIOS images (a page has no BIOS dumps).
    std::vector<std::string> messages;
    TConsole::InstallBiosImages({}, messages);
    p.Console = std::make_unique<TConsole>(p.Settings);
    return 0;
}

const char* tw_error(void) { return Player().Error.c_str(); }

uint8_t* tw_buffer(int32_t size) {
    TWebPlayer& p = Player();
    try {
        p.Buffer.resize(static_cast<std::size_t>(std::max(size, 1)));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return p.Buffer.data();
}

int32_t tw_option_count(int32_t kind) {
    switch (kind) {
        case 0: return static_cast<int32_t>(Console_Options<TConsoleModel>().size());
        case 1: return static_cast<int32_t>(Console_Options<TConsoleRegion>().size());
        case 2: return static_cast<int32_t>(Console_Options<TConsoleVideo>().size());
        default: return 0;
    }
}

const char* tw_option_id(int32_t kind, int32_t index) { return OptionText(kind, index, true); }
const char* tw_option_name(int32_t kind, int32_t index) { return OptionText(kind, index, false); }

int32_t tw_model(void) { return IndexOf(Console().Settings().Model); }
int32_t tw_region(void) { return IndexOf(Console().Settings().Region); }
int32_t tw_video(void) { return IndexOf(Console().Settings().Video); }

void tw_configure(int32_t model, int32_t region, int32_t video) {
    TWebPlayer& p = Player();
    TConsole& console = Console();
    const TConsoleSettings now = console.Settings();
    p.Settings.Model = ValueAt(model, now.Model);
    p.Settings.Region = ValueAt(region, now.Region);
    p.Settings.Video = ValueAt(video, now.Video);
    console.Configure(p.Settings);
    p.Rewind.Clear();
}

int32_t tw_load_cartridge(int32_t size, const char* name, int32_t model) {
    TWebPlayer& p = Player();
    tw_init();
    if (size < 0 || static_cast<std::size_t>(size) > p.Buffer.size()) size = 0;
    TConsoleSettings settings = p.Settings;
    settings.Model = ValueAt(model, p.Settings.Model);
    // A console of its own, as the runner starts one: the same cartridge
    // gives the same frames from power-on here and there. The old console
    // runs on untouched when the image is refused.
    auto console = std::make_unique<TConsole>(settings);
    console->SetBiosType(p.Console->BiosType());
    try {
        // The page unpacks archives itself and names the image inside: an
        // archive's name here is refused with the machine's own message.
        if (name != nullptr && SMS_IsArchive(name)) SMS_ReadArchiveImage(name);
        console->LoadCartridge(p.Buffer.data(), static_cast<std::size_t>(size), name == nullptr ? "" : name);
    } catch (const std::exception& error) {
        p.Error = error.what();
        return -1;
    }
    TConsoleSettings asked = settings;
    asked.Model = console->ModelForCartridge(settings.Model);
    if (asked.Model != settings.Model) console->Configure(asked);
    p.Settings.Model = settings.Model;
    p.Console = std::move(console);
    p.Rewind.Clear();
    p.SoundFrames = 0;
    p.Error.clear();
    return IndexOf(p.Console->Settings().Model);
}

const char* tw_cartridge_name(void) { return Console().CartridgeName().c_str(); }

void tw_set_pads(int32_t player1, int32_t player2) {
    if (Player().Scripted) return;
    Console().SetPads(static_cast<uint8_t>(player1 & 0x3F), static_cast<uint8_t>(player2 & 0x3F));
}

void tw_press_pause(void) { Console().PressPause(); }
void tw_press_reset(void) { Console().PressReset(); }
void tw_console_reset(void) { Console().ResetConsole(); }

int32_t tw_set_script(const char* text) {
    TWebPlayer& p = Player();
    const std::string_view script = text == nullptr ? std::string_view{} : std::string_view{text};
    if (script.empty()) {
        p.Scripted = false;
        return 0;
    }
    TScriptedInput parsed;
    if (!parsed.Parse(script, "script", p.Error)) return -1;
    p.Script = std::move(parsed);
    p.Scripted = true;
    p.ScriptFrame = 0;
    return 0;
}

void tw_run_frame(void) {
    TWebPlayer& p = Player();
    TConsole& console = Console();
    if (p.Scripted) {
        p.Script.Advance(p.ScriptFrame++);
        FrameInput_Apply(console, FrameInput_FromScript(p.Script));
    }
    console.RunFrame();
    TakeSound(p);
}

// As Console_FrameToXrgb8888, in one pass straight to the canvas's bytes:
// the palette's entries become RGBA words (red in the lowest byte, as the
// little-endian memory of the module lays out ImageData).
const uint8_t* tw_picture(void) {
    TWebPlayer& p = Player();
    TConsole& console = Console();
    const std::size_t width = static_cast<uint32_t>(tw_picture_width());
    const std::size_t height = static_cast<uint32_t>(tw_picture_height());
    uint32_t* out = p.Rgba.data();
    if (!console.HasPicture()) {
        std::fill(out, out + width * height, 0xFF000000u);
        return reinterpret_cast<const uint8_t*>(p.Rgba.data());
    }
    const uint8_t* palette = console.FramePalette();
    uint32_t colours[256];
    for (int i = 0; i < 256; ++i) {
        const uint8_t* entry = palette + 4 * i;  // blue, green, red, unused
        colours[i] = 0xFF000000u | (uint32_t{entry[0]} << 16) | (uint32_t{entry[1]} << 8) | entry[2];
    }
    // The bitmap stores its bottom row first.
    const uint8_t* rows = console.FramePixels();
    for (std::size_t y = 0; y < height; ++y) {
        const uint8_t* row = rows + (height - 1 - y) * width;
        uint32_t* line = out + y * width;
        for (std::size_t x = 0; x < width; ++x) line[x] = colours[row[x]];
    }
    return reinterpret_cast<const uint8_t*>(p.Rgba.data());
}

// Before the first frame the image is all zeros: the default size then.
int32_t tw_picture_width(void) {
    const TConsole& console = Console();
    return console.HasPicture() ? static_cast<int32_t>(console.PictureWidth()) : int32_t{CONSOLE_PICTURE_WIDTH};
}

int32_t tw_picture_height(void) {
    const TConsole& console = Console();
    return console.HasPicture() ? static_cast<int32_t>(console.PictureHeight()) : int32_t{CONSOLE_PICTURE_HEIGHT};
}

double tw_frame_rate(void) { return Console().FrameRate(); }

const float* tw_sound(void) { return Player().Sound.data(); }
int32_t tw_sound_frames(void) { return Player().SoundFrames; }

int32_t tw_sample_rate(void) {
    const TConsole& console = Console();
    return static_cast<int32_t>(console.HasStereoSound() ? CONSOLE_STEREO_SAMPLE_RATE : console.SampleRate());
}

const uint8_t* tw_battery_ram(void) { return Console().BatteryRam().data(); }
int32_t tw_battery_size(void) { return static_cast<int32_t>(Console().BatteryRam().size()); }
int32_t tw_battery_used(void) { return Console().BatteryRamUsed() ? 1 : 0; }

void tw_set_battery_ram(int32_t size) {
    TWebPlayer& p = Player();
    const std::size_t n = std::min(static_cast<std::size_t>(std::max(size, 0)), p.Buffer.size());
    Console().SetBatteryRam({p.Buffer.data(), n});
}

int32_t tw_save_state(void) {
    TWebPlayer& p = Player();
    Console().SaveState(p.State);
    return static_cast<int32_t>(p.State.size());
}

const uint8_t* tw_state_data(void) { return Player().State.data(); }

int32_t tw_load_state(int32_t size) {
    TWebPlayer& p = Player();
    const std::size_t n = std::min(static_cast<std::size_t>(std::max(size, 0)), p.Buffer.size());
    if (!Console().LoadState(p.Buffer.data(), n, p.Error)) return -1;
    p.Rewind.Clear();
    return 0;
}

int32_t tw_rewind(int32_t back) {
    TWebPlayer& p = Player();
    if (!p.Rewind.Frame(Console(), back != 0, p.Error)) return -1;
    return p.Rewind.Rewinding() ? 1 : 0;
}

void tw_rewind_clear(void) { Player().Rewind.Clear(); }

}  // extern "C"
