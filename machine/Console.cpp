// TConsole: the chips' creation and wiring, the frame, input, resets, the
// cartridge and its battery RAM (the inspection is ConsoleReadouts.cpp).
#include "Console.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <strings.h>

#include "BiosFiles.h"
#include "ConsoleChips.h"
#include "GameFiles.h"
#include "LittleEndian.h"
#include "RomFiles.h"

namespace {

// The default model's timing: NTSC, 60 frames of 262 lines, the CPU at the
// colour subcarrier's frequency, the sound made at 44100 Hz.
constexpr uint32_t kFramesPerSecond = 60;
constexpr uint32_t kCpuClock = 3579536;
constexpr uint32_t kSampleRate = 44100;

// The hardware models' timing: the CPU is the master clock divided by 15,
// a line 228 of its cycles, a frame 262 (NTSC) or 313 (PAL) lines; the
// sound chip runs at the CPU's clock.
constexpr uint32_t kNtscCpuClock = 3579545;  // 53.693182 MHz / 15
constexpr uint32_t kPalCpuClock = 3546895;   // 53.203424 MHz / 15
constexpr uint32_t kNtscLines = 262;
constexpr uint32_t kPalLines = 313;

// The BIOS images are the process's: installed once, built-in or dumps.
std::mutex gBiosMutex;
bool gBiosInstalled = false;

constexpr TConsoleOptionInfo<TConsoleModel> kModels[] = {
    {TConsoleModel::Tiravel, "tiravel", "Tiravel"},
    {TConsoleModel::MasterSystem, "sms1", "Master System"},
    {TConsoleModel::MasterSystem2, "sms2", "Master System II"},
    {TConsoleModel::GameGear, "gamegear", "Game Gear"},
};
constexpr TConsoleOptionInfo<TConsoleRegion> kRegions[] = {
    {TConsoleRegion::Export, "export", "Export"},
    {TConsoleRegion::Japan, "japan", "Japan"},
};
constexpr TConsoleOptionInfo<TConsoleVideo> kVideos[] = {
    {TConsoleVideo::Ntsc, "ntsc", "NTSC"},
    {TConsoleVideo::Pal, "pal", "PAL"},
};
constexpr TConsoleOptionInfo<TConsoleMapper> kMappers[] = {
    {TConsoleMapper::Automatic, "auto", "Automatic"},
    {TConsoleMapper::Sega, "sega", "Sega"},
    {TConsoleMapper::Codemasters, "codemasters", "Codemasters"},
    {TConsoleMapper::Korean, "korean", "Korean"},
    {TConsoleMapper::None, "none", "None"},
};

template <typename E>
struct TOptionTable;
template <>
struct TOptionTable<TConsoleModel> {
    static constexpr std::span<const TConsoleOptionInfo<TConsoleModel>> Rows{kModels};
};
template <>
struct TOptionTable<TConsoleRegion> {
    static constexpr std::span<const TConsoleOptionInfo<TConsoleRegion>> Rows{kRegions};
};
template <>
struct TOptionTable<TConsoleVideo> {
    static constexpr std::span<const TConsoleOptionInfo<TConsoleVideo>> Rows{kVideos};
};
template <>
struct TOptionTable<TConsoleMapper> {
    static constexpr std::span<const TConsoleOptionInfo<TConsoleMapper>> Rows{kMappers};
};

// The cartridge's mapper: the Sega mapper in the default model; in the
// hardware models the one the settings force, or the one the image asks for.
TZ80Mapper MapperFor(const TConsoleSettings& settings, const T_Z80_CPU_CORE& cpu) {
    if (!Console_IsHardwareModel(settings.Model)) return Z80_MAPPER_SEGA;
    switch (settings.Mapper) {
        case TConsoleMapper::Sega: return Z80_MAPPER_SEGA;
        case TConsoleMapper::Codemasters: return Z80_MAPPER_CODEMASTERS;
        case TConsoleMapper::Korean: return Z80_MAPPER_KOREAN;
        case TConsoleMapper::None: return Z80_MAPPER_NONE;
        case TConsoleMapper::Automatic: break;
    }
    return Z80_DetectMapper(cpu);
}

}  // namespace

template <typename E>
std::span<const TConsoleOptionInfo<E>> Console_Options() {
    return TOptionTable<E>::Rows;
}

template <typename E>
bool Console_FindOption(std::string_view id, E& value) {
    for (const TConsoleOptionInfo<E>& info : TOptionTable<E>::Rows) {
        if (id.size() == std::strlen(info.Id) && ::strncasecmp(id.data(), info.Id, id.size()) == 0) {
            value = info.Value;
            return true;
        }
    }
    return false;
}

template <typename E>
const TConsoleOptionInfo<E>& Console_OptionInfo(E value) {
    for (const TConsoleOptionInfo<E>& info : TOptionTable<E>::Rows)
        if (info.Value == value) return info;
    return TOptionTable<E>::Rows[0];
}

#define TIRAVEL_CONSOLE_OPTION(E)                                                       \
    template std::span<const TConsoleOptionInfo<E>> Console_Options<E>();               \
    template bool Console_FindOption<E>(std::string_view id, E & value);                \
    template const TConsoleOptionInfo<E>& Console_OptionInfo<E>(E value);
TIRAVEL_CONSOLE_OPTION(TConsoleModel)
TIRAVEL_CONSOLE_OPTION(TConsoleRegion)
TIRAVEL_CONSOLE_OPTION(TConsoleVideo)
TIRAVEL_CONSOLE_OPTION(TConsoleMapper)
#undef TIRAVEL_CONSOLE_OPTION

TConsoleSettings Console_EffectiveSettings(const TConsoleSettings& settings) {
    // The handheld has one video standard whatever the region: its own
    // screen, at NTSC timing.
    if (settings.Model == TConsoleModel::GameGear)
        return TConsoleSettings{settings.Model, settings.Region, TConsoleVideo::Ntsc, settings.Mapper};
    if (Console_IsHardwareModel(settings.Model)) return settings;
    return TConsoleSettings{settings.Model, TConsoleRegion::Export, TConsoleVideo::Ntsc, TConsoleMapper::Automatic};
}

namespace {

bool EndsWithNoCase(std::string_view name, std::string_view suffix) {
    return name.size() >= suffix.size() &&
           ::strncasecmp(name.data() + name.size() - suffix.size(), suffix.data(), suffix.size()) == 0;
}

// The region code of the header where the BIOS looks for it: "TMR SEGA" at
// 0x7FF0, 0x3FF0 or 0x1FF0 (the first found), the code the high nibble of
// the header's last byte. -1 without a header. A copier's 512-byte header
// in front of the image shifts every place by 512.
int HeaderRegion(std::span<const uint8_t> rom) {
    const std::size_t skip = rom.size() % 16384 == 512 ? 512 : 0;
    for (const std::size_t at : {0x7FF0u, 0x3FF0u, 0x1FF0u}) {
        const std::size_t start = skip + at;
        if (rom.size() < start + 16) continue;
        if (std::memcmp(rom.data() + start, "TMR SEGA", 8) == 0) return rom[start + 15] >> 4;
    }
    return -1;
}

}  // namespace

// A ".sms" name is the player's word that the image is a Master System one
// (a Master System game in a Game Gear's adaptor runs as one too); a ".gg"
// name, or a header whose region code is one of the Game Gear's (5 Japan,
// 6 export, 7 international), asks for the handheld.
TConsoleModel Console_ModelForCartridge(std::string_view imageName, std::span<const uint8_t> rom, TConsoleModel chosen) {
    if (EndsWithNoCase(imageName, ".gg")) return TConsoleModel::GameGear;
    if (EndsWithNoCase(imageName, ".sms")) return chosen;
    const int region = HeaderRegion(rom);
    return region >= 5 && region <= 7 ? TConsoleModel::GameGear : chosen;
}

uint32_t Console_FrameImageHeight(const uint8_t* image) {
    // The bitmap's height: a signed 32-bit word at offset 22, positive for
    // the bottom-up rows the VDP writes. Anything else is the default size.
    const uint32_t height = LE_Get32(image + 22);
    return height == 224 || height == 240 || height == 144 ? height : static_cast<uint32_t>(CONSOLE_PICTURE_HEIGHT);
}

uint32_t Console_FrameImageWidth(const uint8_t* image) {
    return LE_Get32(image + 18) == 160 ? 160 : static_cast<uint32_t>(CONSOLE_PICTURE_WIDTH);
}

void Console_FrameToXrgb8888(const uint8_t* image, uint32_t* pixels) {
    const uint8_t* palette = image + CONSOLE_FRAME_PALETTE_OFFSET;
    uint32_t colours[256];
    for (int i = 0; i < 256; ++i) {
        const uint8_t* entry = palette + 4 * i;  // blue, green, red, unused
        colours[i] = (uint32_t{entry[2]} << 16) | (uint32_t{entry[1]} << 8) | entry[0];
    }
    // The bitmap stores its bottom row first.
    const uint8_t* rows = image + CONSOLE_FRAME_PIXEL_OFFSET;
    const std::size_t height = Console_FrameImageHeight(image);
    const std::size_t width = Console_FrameImageWidth(image);
    for (std::size_t y = 0; y < height; ++y) {
        const uint8_t* row = rows + (height - 1 - y) * width;
        uint32_t* out = pixels + y * width;
        for (std::size_t x = 0; x < width; ++x) out[x] = colours[row[x]];
    }
}

static_assert(CONSOLE_FRAME_IMAGE_SIZE == VDP_FRAME_IMAGE_SIZE && CONSOLE_FRAME_PIXEL_OFFSET == VDP_FRAME_PIXEL_OFFSET &&
              CONSOLE_FRAME_PALETTE_OFFSET == VDP_FRAME_PALETTE_OFFSET);
static_assert(CONSOLE_PICTURE_WIDTH == VDP_SCREEN_WIDTH && CONSOLE_PICTURE_HEIGHT == VDP_SCREEN_HEIGHT);
// The frame image the VDP exports fits the console's buffer at its tallest.
static_assert(CONSOLE_MAX_FRAME_IMAGE_SIZE == VDP_MAX_FRAME_IMAGE_SIZE &&
              CONSOLE_MAX_PICTURE_HEIGHT == VDP_MAX_SCREEN_HEIGHT);

// ---------------------------------------------------------------- set-up

// The chips are created zero-filled, in the order VDP, CPU, PSG, bus, and
// live as long as the console.
TConsole::TConsole(const TConsoleSettings& settings)
    : chips_(std::make_unique<TChips>()),
      settings_(Console_EffectiveSettings(settings)),
      frameImage_(CONSOLE_MAX_FRAME_IMAGE_SIZE) {
    chips_->Vdp.reset(new T_VDP_CORE());
    chips_->Cpu.reset(new T_Z80_CPU_CORE());
    chips_->Psg.reset(new T_PSG_CORE());
    chips_->Bus.reset(new T_INTERCONNECT_CORE());
    // The built-in open BIOS images, unless a front end installed images
    // (and perhaps dumps) already.
    {
        std::lock_guard lock(gBiosMutex);
        if (!gBiosInstalled) {
            std::vector<std::string> none;
            Bios_InstallImages({}, none);
            gBiosInstalled = true;
        }
    }
    PowerOn();
    Z80_SetBiosType(*chips_->Cpu, 1);
}

TConsole::~TConsole() = default;

void TConsole::Configure(const TConsoleSettings& settings) {
    settings_ = Console_EffectiveSettings(settings);
    PowerOn();
}

void TConsole::SetBiosType(uint8_t type) { Z80_SetBiosType(*chips_->Cpu, type); }

uint8_t TConsole::BiosType() const { return chips_->Cpu->BiosType; }

void TConsole::InstallBiosImages(const std::vector<std::string>& folders, std::vector<std::string>& messages) {
    std::lock_guard lock(gBiosMutex);
    Bios_InstallImages(folders, messages);
    gBiosInstalled = true;
}

bool TConsole::LoadBiosDump(const std::string& path, uint8_t type, std::string& message) {
    return Bios_LoadDump(path, type, message);
}

// ---------------------------------------------------------------- the cartridge

void TConsole::LoadCartridge(const std::string& path) {
    if (SMS_IsArchive(path)) {
        const TArchiveImage image = SMS_ReadArchiveImage(path);
        Z80_LoadRomImage(*chips_->Cpu, image.Data.data(), image.Data.size(), path, image.Entry);
        cartridgeImageName_ = image.Entry;
    } else {
        const std::vector<uint8_t> data = SMS_ReadRomFile(path);
        Z80_LoadRomImage(*chips_->Cpu, data.data(), data.size(), path);
        cartridgeImageName_ = std::filesystem::path(path).filename().string();
    }
    cartridgeName_ = std::filesystem::path(path).filename().string();
    PlugInCartridge();
}

void TConsole::LoadCartridge(const uint8_t* data, std::size_t size, const std::string& name) {
    Z80_LoadRomImage(*chips_->Cpu, data, size, name);
    cartridgeName_ = std::filesystem::path(name).filename().string();
    cartridgeImageName_ = cartridgeName_;
    PlugInCartridge();
}

void TConsole::RemoveCartridge() {
    Z80_ClearRom(*chips_->Cpu);
    cartridgeName_.clear();
    cartridgeImageName_.clear();
    PlugInCartridge();
}

// The image as loaded (a copier's header dropped), so the header is where
// the BIOS would look for it.
TConsoleModel TConsole::ModelForCartridge(TConsoleModel chosen) const {
    if (!HasCartridge()) return chosen;
    const T_Z80_CPU_CORE& cpu = *chips_->Cpu;
    return Console_ModelForCartridge(cartridgeImageName_, {cpu.Rom, cpu.RomSize}, chosen);
}

// In the hardware models a new cartridge brings its own mapper, which starts
// with its power-on paging. The default model's Sega mapper stays as the
// last game left it, as it always did.
void TConsole::PlugInCartridge() {
    if (!Console_IsHardwareModel(settings_.Model)) return;
    Z80_SetMapper(*chips_->Cpu, MapperFor(settings_, *chips_->Cpu));
    StartWithoutBios();
}

bool TConsole::HasCartridge() const { return chips_->Cpu->RomSize != 0; }

// ---------------------------------------------------------------- battery RAM

std::span<const uint8_t> TConsole::BatteryRam() const { return {chips_->Cpu->CartRam, Z80_CART_RAM_SIZE}; }

void TConsole::SetBatteryRam(std::span<const uint8_t> bytes) {
    T_Z80_CPU_CORE& cpu = *chips_->Cpu;
    std::memcpy(cpu.CartRam, bytes.data(), std::min(bytes.size(), sizeof cpu.CartRam));
    cpu.CartRamDirty = 0;
}

bool TConsole::BatteryRamUsed() const { return chips_->Cpu->CartRamDirty == 1; }

bool TConsole::LoadBatteryFile(const std::string& path, std::string& error) {
    T_Z80_CPU_CORE& cpu = *chips_->Cpu;
    return SMS_ReadBatteryFile(path, cpu.CartRam, sizeof cpu.CartRam, error);
}

bool TConsole::SaveBatteryFile(const std::string& path, std::string& error) {
    if (!BatteryRamUsed()) return true;
    T_Z80_CPU_CORE& cpu = *chips_->Cpu;
    return SMS_WriteBatteryFile(path, cpu.CartRam, sizeof cpu.CartRam, error);
}

// ---------------------------------------------------------------- input

void TConsole::SetPads(uint8_t player1, uint8_t player2) {
    using TBusCall = void (*)(T_INTERCONNECT_CORE&);
    struct TLine {
        uint8_t Bit;
        TBusCall Press, Release;
    };
    static constexpr TLine kPlayer1[] = {
        {PAD_LEFT, Interconnect_PressP1Left, Interconnect_ReleaseP1Left},
        {PAD_RIGHT, Interconnect_PressP1Right, Interconnect_ReleaseP1Right},
        {PAD_UP, Interconnect_PressP1Up, Interconnect_ReleaseP1Up},
        {PAD_DOWN, Interconnect_PressP1Down, Interconnect_ReleaseP1Down},
        {PAD_BUTTON1, Interconnect_PressP1Button1, Interconnect_ReleaseP1Button1},
        {PAD_BUTTON2, Interconnect_PressP1Button2, Interconnect_ReleaseP1Button2},
    };
    static constexpr TLine kPlayer2[] = {
        {PAD_LEFT, Interconnect_PressP2Left, Interconnect_ReleaseP2Left},
        {PAD_RIGHT, Interconnect_PressP2Right, Interconnect_ReleaseP2Right},
        {PAD_UP, Interconnect_PressP2Up, Interconnect_ReleaseP2Up},
        {PAD_DOWN, Interconnect_PressP2Down, Interconnect_ReleaseP2Down},
        {PAD_BUTTON1, Interconnect_PressP2Button1, Interconnect_ReleaseP2Button1},
        {PAD_BUTTON2, Interconnect_PressP2Button2, Interconnect_ReleaseP2Button2},
    };
    T_INTERCONNECT_CORE& bus = *chips_->Bus;
    for (const TLine& line : kPlayer1) ((player1 & line.Bit) ? line.Press : line.Release)(bus);
    for (const TLine& line : kPlayer2) ((player2 & line.Bit) ? line.Press : line.Release)(bus);
}

// The default model raises an NMI for every call (the CPU locks further ones
// out for a while, so a held button pauses and unpauses again). The real
// console's Pause line gives one NMI per press: the hardware models take it
// on the edge, when a frame sees the button held after a frame that did not.
void TConsole::PressPause() {
    if (Console_IsHardwareModel(settings_.Model))
        pausePressed_ = true;
    else
        Z80_RaiseNMI(*chips_->Cpu);
}

void TConsole::PressReset() { Interconnect_PressReset(*chips_->Bus); }

// ---------------------------------------------------------------- running

void TConsole::SetFrameskip(uint8_t frames) {
    frameskip_.store(std::min(frames, CONSOLE_MAX_FRAMESKIP), std::memory_order_relaxed);
}

uint8_t TConsole::Frameskip() const { return frameskip_.load(std::memory_order_relaxed); }

void TConsole::RunFrame(void (*betweenLines)(void*), void* context) {
    // The counter is decremented before the frame and reloaded only after a
    // drawn one, so a new setting takes effect after the next drawn frame.
    skipCounter_ = skipCounter_ - 1;
    const uint8_t draw = skipCounter_ < 0 ? 1 : 0;
    T_VDP_CORE& vdp = *chips_->Vdp;
    T_Z80_CPU_CORE& cpu = *chips_->Cpu;
    // The Game Gear's Start is a bit of port 0x00, held for the frame; it
    // raises no NMI.
    if (settings_.Model == TConsoleModel::GameGear)
        Interconnect_SetStart(*chips_->Bus, pausePressed_ ? 1 : 0);
    else if (pausePressed_ && !pauseHeld_)
        Z80_RaiseNMI(cpu);
    pauseHeld_ = pausePressed_;
    pausePressed_ = false;
    const uint32_t lines = LinesPerFrame();
    for (uint32_t line = 0; line < lines; ++line) {
        if (betweenLines != nullptr) betweenLines(context);
        VDP_RunLine(vdp, line, draw);
        Z80_RunCycles(cpu, CONSOLE_CYCLES_PER_LINE);
    }
    // The real chip's sound: run to the frame's end, its samples made.
    if (Console_IsHardwareModel(settings_.Model))
        PSG_EndExactFrame(*chips_->Psg, int32_t(lines * CONSOLE_CYCLES_PER_LINE));
    if (skipCounter_ < 0) skipCounter_ = frameskip_.load(std::memory_order_relaxed);
    // Every frame, drawn or not: a skipped frame presents the last picture again.
    VDP_ExportFrame(vdp, frameImage_.data());
    hasPicture_ = true;
    ++frameNumber_;
}

uint32_t TConsole::CurrentLine() const { return chips_->Vdp->CurrentLine; }

void TConsole::ExportPictureNow(uint8_t* image) const { VDP_ExportFrame(*chips_->Vdp, image); }

// The hardware models' chip keeps its own state in the registers the default
// model's synthesis steps, so for them the 8-bit block is made from their
// stereo frame instead (its left side, by the nearest sample): a mono
// front end of the default model's format still hears them.
std::span<const uint8_t> TConsole::RenderFrameSamples() {
    const uint32_t count = SamplesPerFrame();
    if (HasStereoSound()) {
        const T_PSG_CORE& psg = *chips_->Psg;
        uint8_t* out = chips_->Samples.Samples;
        for (uint32_t i = 0; i < count; ++i) {
            const int32_t v = psg.ExactPairs == 0 ? 0 : psg.ExactOut[2 * (uint64_t(i) * psg.ExactPairs / count)];
            out[i] = uint8_t(std::clamp((v >> 8) + 128, 0, 255));
        }
        return {out, count};
    }
    PSG_RenderFrame(*chips_->Psg, chips_->Samples);
    return {chips_->Samples.Samples, count};
}

// The hardware models' chip made the frame's samples as it ran; the default
// model has no stereo sound (its sound is RenderFrameSamples').
std::span<const int16_t> TConsole::RenderFrameStereo() {
    if (!HasStereoSound()) return {};
    const T_PSG_CORE& psg = *chips_->Psg;
    return {psg.ExactOut, 2 * std::size_t(psg.ExactPairs)};
}

// The hardware models' chip takes the new rate at the next frame.
void TConsole::SetSoundRate(double factor) {
    soundRate_ = std::clamp(factor, 0.99, 1.01);
    if (HasStereoSound()) PSG_SetExactRate(*chips_->Psg, CpuClock(), CONSOLE_STEREO_SAMPLE_RATE * soundRate_);
}

uint32_t TConsole::SampleRate() const { return kSampleRate; }
uint32_t TConsole::SamplesPerFrame() const { return kSampleRate / FramesPerSecond(); }
uint32_t TConsole::FramesPerSecond() const {
    return settings_.Video == TConsoleVideo::Pal ? 50 : kFramesPerSecond;
}

double TConsole::FrameRate() const {
    if (!Console_IsHardwareModel(settings_.Model)) return kFramesPerSecond;
    return static_cast<double>(CpuClock()) / (CONSOLE_CYCLES_PER_LINE * LinesPerFrame());
}

uint32_t TConsole::LinesPerFrame() const { return settings_.Video == TConsoleVideo::Pal ? kPalLines : kNtscLines; }

uint32_t TConsole::CpuClock() const {
    if (!Console_IsHardwareModel(settings_.Model)) return kCpuClock;
    return settings_.Video == TConsoleVideo::Pal ? kPalCpuClock : kNtscCpuClock;
}

void TConsole::SetBackgroundLayer(uint8_t on) { VDP_SetBackgroundLayer(*chips_->Vdp, on); }

void TConsole::SetSpriteLayer(uint8_t on) { VDP_SetSpriteLayer(*chips_->Vdp, on); }

uint8_t TConsole::BackgroundLayer() const { return chips_->Vdp->BackgroundLayerOn; }

uint8_t TConsole::SpriteLayer() const { return chips_->Vdp->SpriteLayerOn; }

void TConsole::SetSoundChannel(TSoundChannel channel, uint8_t on) {
    T_PSG_CORE& psg = *chips_->Psg;
    switch (channel) {
        case TSoundChannel::Tone1: PSG_SetTone1Enabled(psg, on); break;
        case TSoundChannel::Tone2: PSG_SetTone2Enabled(psg, on); break;
        case TSoundChannel::Tone3: PSG_SetTone3Enabled(psg, on); break;
        case TSoundChannel::Noise: PSG_SetNoiseEnabled(psg, on); break;
        case TSoundChannel::Mixer: PSG_SetMixerEnabled(psg, on); break;
    }
}

// ---------------------------------------------------------------- resets

void TConsole::PowerOn() {
    T_Z80_CPU_CORE& cpu = *chips_->Cpu;
    T_INTERCONNECT_CORE& bus = *chips_->Bus;
    ApplyModel();
    Z80_Reset(cpu, bus);
    Interconnect_Init(bus, *chips_->Vdp, *chips_->Psg);
    StartWithoutBios();
    VDP_Reset(*chips_->Vdp);
    // The picture's size is known from the power-on (the Game Gear's is 160
    // x 144 before its first frame): the image takes the VDP's headers now,
    // its pixels with the first frame.
    std::memcpy(frameImage_.data(), chips_->Vdp->FrameImage, CONSOLE_FRAME_PIXEL_OFFSET);
    PSG_Reset(*chips_->Psg);
    PSG_SetFrameRate(*chips_->Psg, FramesPerSecond());
    PSG_SetClock(*chips_->Psg, CpuClock());
    if (Console_IsHardwareModel(settings_.Model)) {
        T_PSG_CORE& psg = *chips_->Psg;
        psg.ExactStep = 0.0;  // a new clock: no frame under way keeps the old one
        PSG_SetExactRate(psg, CpuClock(), CONSOLE_STEREO_SAMPLE_RATE * soundRate_);
    }
}

// The model's fields in the chips: plain bytes each core looks at where its
// behaviour differs between the models. Zero everywhere is the default model.
void TConsole::ApplyModel() {
    T_Z80_CPU_CORE& cpu = *chips_->Cpu;
    T_VDP_CORE& vdp = *chips_->Vdp;
    T_INTERCONNECT_CORE& bus = *chips_->Bus;
    const bool hardware = Console_IsHardwareModel(settings_.Model);
    const bool pal = settings_.Video == TConsoleVideo::Pal;
    cpu.Exact = hardware ? 1 : 0;
    cpu.Mapper = MapperFor(settings_, cpu);
    vdp.Model = settings_.Model == TConsoleModel::MasterSystem    ? VDP_MODEL_315_5124
                : settings_.Model == TConsoleModel::MasterSystem2 ? VDP_MODEL_315_5246
                : settings_.Model == TConsoleModel::GameGear      ? VDP_MODEL_GAME_GEAR
                                                                  : VDP_MODEL_TIRAVEL;
    vdp.Pal = pal ? 1 : 0;
    bus.Model = vdp.Model;
    chips_->Psg->Exact = hardware ? 1 : 0;
    cpu.GameGearBios = settings_.Model == TConsoleModel::GameGear && Bios_HasGameGear() ? 1 : 0;
    bus.Japanese = hardware && settings_.Region == TConsoleRegion::Japan ? 1 : 0;
}

// The VDP is not reset: it keeps its registers and memories until the new
// program rewrites them.
void TConsole::ResetConsole() {
    Z80_Reset(*chips_->Cpu, *chips_->Bus);
    Interconnect_Init(*chips_->Bus, *chips_->Vdp, *chips_->Psg);
    StartWithoutBios();
    PSG_Reset(*chips_->Psg);
}

// The Game Gear without a BIOS dump runs none, as the first handhelds: the
// CPU starts at 0 in the cartridge, with the memory control register as the
// BIOS leaves it when it hands over (0xAB: the cartridge, RAM and I/O on,
// the BIOS and the other slots off). The mapper starts at banks 0, 1, 2 as
// it powers up, which is what the BIOS leaves too, each bank number as the
// mapper holds it for the cartridge's size (the BIOS writes them through
// the mapper, which reduces them: a state names only banks the image has).
void TConsole::StartWithoutBios() {
    if (settings_.Model != TConsoleModel::GameGear || chips_->Cpu->GameGearBios != 0) return;
    chips_->Bus->MemoryControl = 0xAB;
    T_Z80_CPU_CORE& cpu = *chips_->Cpu;
    const uint8_t count = cpu.RomBankCount != 0 ? cpu.RomBankCount : 1;
    cpu.PageSlot0 = uint8_t(cpu.PageSlot0 % count);
    cpu.PageSlot1 = uint8_t(cpu.PageSlot1 % count);
    cpu.PageSlot2 = uint8_t(cpu.PageSlot2 % count);
}

