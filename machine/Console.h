// TConsole: the console, one thread-less object that owns the four chips (the
// Z80 with its memory, the VDP, the PSG and the I/O bus), wires them together
// and runs them one frame at a time. It is the only way in for everything
// above the machine layer: the window's machine thread (TSMS), the headless
// runner, the libretro core, the debugger, the benchmarks and the tests all
// drive it through this interface, and none of them includes a chip's
// header. The thread, the pacing and the presentation are not here: they
// belong to whoever drives the console (TSMS for the window).
//
// The chips are reached by the machine layer's own units through
// ConsoleChips.h, never from above it.
//
// Not thread-safe: one thread at a time. The few settings that the window
// writes while the machine thread runs a frame (the frameskip, the layer and
// channel switches) are single bytes, as they were on the chips.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct T_Z80_CPU_CORE;
struct T_VDP_CORE;
struct T_PSG_CORE;
struct T_INTERCONNECT_CORE;
struct T_VDP_PALETTE_INFO;
struct T_VDP_COLOUR_MEMORY;
struct T_VDP_NAME_TABLE;
struct T_VDP_SCROLL_WINDOW;
struct T_VDP_SPRITE_TABLE;
struct T_VDP_FIELD;
struct T_PSG_READOUT;
struct T_PSG_FIELD;
struct T_Z80_INSTRUCTION;
enum class TVdpPalette : uint8_t;

// ---------------------------------------------------------------- models
// The consoles this program can be. "Tiravel", the default, is the machine as
// designed, bit for bit; the others are models of the real consoles, exact to
// the chips where the design is simpler. The tables below are what front
// ends list and parse, so a new choice is a new row here and a branch in the
// cores, not a change in every front end.
enum class TConsoleModel : uint8_t {
    Tiravel,        // the default: the machine as designed
    MasterSystem,   // the first Master System: the 315-5124 VDP, a reset button
    MasterSystem2,  // the Master System II: the 315-5246 VDP (224 and 240 lines), no reset button
    GameGear,       // the handheld: a 160 x 144 window of the picture, 12-bit colour, Start, stereo
};
// Where the console was sold: the Japanese console reads its TH lines back
// differently (software uses that to tell the two apart).
enum class TConsoleRegion : uint8_t { Export, Japan };
// The television standard: NTSC, 262 lines at 59.92 frames a second, or PAL,
// 313 lines at 49.70, each with its own clocks.
enum class TConsoleVideo : uint8_t { Ntsc, Pal };
// The cartridge's bank switching in the hardware models: found from the
// image (Automatic), or forced for the rare cartridge that detection gets
// wrong. The default model always has the Sega mapper.
enum class TConsoleMapper : uint8_t { Automatic, Sega, Codemasters, Korean, None };

// One row of a choice's table.
template <typename E>
struct TConsoleOptionInfo {
    E Value;
    const char* Id;    // stable, for command lines, option files, settings, states: "sms2"
    const char* Name;  // shown to players: "Master System II"
};
using TConsoleModelInfo = TConsoleOptionInfo<TConsoleModel>;
// The rows of E's table (TConsoleModel, TConsoleRegion, TConsoleVideo,
// TConsoleMapper), in the order menus list them.
template <typename E>
std::span<const TConsoleOptionInfo<E>> Console_Options();
// The value with this id (any letter case); false when there is none.
template <typename E>
bool Console_FindOption(std::string_view id, E& value);
template <typename E>
const TConsoleOptionInfo<E>& Console_OptionInfo(E value);
inline std::span<const TConsoleModelInfo> Console_Models() { return Console_Options<TConsoleModel>(); }
inline bool Console_FindModel(std::string_view id, TConsoleModel& model) { return Console_FindOption(id, model); }
inline const TConsoleModelInfo& Console_ModelInfo(TConsoleModel model) { return Console_OptionInfo(model); }
// True for the models of the real consoles (everything but "Tiravel").
constexpr bool Console_IsHardwareModel(TConsoleModel model) { return model != TConsoleModel::Tiravel; }

// Everything fixed when the console is built or reset: the model and its
// options. The BIOS type is kept apart (it is a switch a player changes
// between games, and states name it). The default model has no region,
// standard or mapper of its own: it ignores those three.
struct TConsoleSettings {
    TConsoleModel Model = TConsoleModel::Tiravel;
    TConsoleRegion Region = TConsoleRegion::Export;
    TConsoleVideo Video = TConsoleVideo::Ntsc;
    TConsoleMapper Mapper = TConsoleMapper::Automatic;
    bool operator==(const TConsoleSettings&) const = default;
};
// The settings as the console runs them: for the default model the region,
// standard and mapper it ignores are set to export, NTSC and automatic.
TConsoleSettings Console_EffectiveSettings(const TConsoleSettings& settings);
// The model a cartridge asks for: the Game Gear for a ".gg" image (in any
// letter case, also inside an archive) or one whose header says Game Gear;
// otherwise `chosen`, the player's model (a ".sms" image keeps it).
TConsoleModel Console_ModelForCartridge(std::string_view imageName, std::span<const uint8_t> rom, TConsoleModel chosen);

// ---------------------------------------------------------------- input

// The buttons of one control pad, as bits of SetPads' arguments.
enum TPadButton : uint8_t {
    PAD_UP = 0x01,
    PAD_DOWN = 0x02,
    PAD_LEFT = 0x04,
    PAD_RIGHT = 0x08,
    PAD_BUTTON1 = 0x10,
    PAD_BUTTON2 = 0x20,
};

// The sound chip's switches.
enum class TSoundChannel : uint8_t { Tone1, Tone2, Tone3, Noise, Mixer };

// ---------------------------------------------------------------- inspection

// The memories a debugger or a front end may look into.
enum class TMemoryRegion : uint8_t {
    SystemRam,     // 8 KB at #C000-#DFFF (mirrored at #E000)
    CartridgeRam,  // 32 KB battery RAM of the cartridge, two 16 KB banks
    Vram,          // the VDP's 16 KB
    Cram,          // the VDP's 32 colour entries (6 bits each)
    CpuSpace,      // the 64 KB the CPU sees now, through the paging
};

// The Z80's registers as a debugger shows and edits them.
struct TCpuRegisters {
    uint8_t A, F, B, C, D, E, H, L;
    uint8_t AltA, AltF, AltB, AltC, AltD, AltE, AltH, AltL;
    uint16_t IX, IY, SP, PC;
    uint8_t I, R;
    uint8_t InterruptMode;  // 0-2
    uint8_t IFF1, IFF2;
    uint8_t Halted;  // waits on a HALT (PC past it)
};

// The picture's size and the frame image's layout: a complete 8-bit bitmap
// file (bottom row first, a 256-entry blue-green-red-unused palette). The
// default model's picture is always 256 x 192 (CONSOLE_FRAME_IMAGE_SIZE
// bytes); the hardware models' is 192, 224 or 240 lines high, as the VDP's
// mode has it, and the bitmap's header says which (PictureHeight).
constexpr std::size_t CONSOLE_PICTURE_WIDTH = 256;
constexpr std::size_t CONSOLE_PICTURE_HEIGHT = 192;
constexpr std::size_t CONSOLE_MAX_PICTURE_HEIGHT = 240;
constexpr std::size_t CONSOLE_PICTURE_PIXELS = CONSOLE_PICTURE_WIDTH * CONSOLE_PICTURE_HEIGHT;
constexpr std::size_t CONSOLE_MAX_PICTURE_PIXELS = CONSOLE_PICTURE_WIDTH * CONSOLE_MAX_PICTURE_HEIGHT;
constexpr std::size_t CONSOLE_FRAME_IMAGE_SIZE = 50230;
constexpr std::size_t CONSOLE_FRAME_PALETTE_OFFSET = 54;
constexpr std::size_t CONSOLE_FRAME_PIXEL_OFFSET = 1078;
constexpr std::size_t CONSOLE_MAX_FRAME_IMAGE_SIZE = CONSOLE_FRAME_PIXEL_OFFSET + CONSOLE_MAX_PICTURE_PIXELS;

// Lines of the default model's frame (NTSC) and CPU cycles of a line (every model).
constexpr uint32_t CONSOLE_LINES_PER_FRAME = 262;
constexpr uint32_t CONSOLE_CYCLES_PER_LINE = 228;

// The hardware models' sound: 16-bit stereo at this rate.
constexpr uint32_t CONSOLE_STEREO_SAMPLE_RATE = 48000;
// The most frames the frameskip leaves undrawn after a drawn one.
constexpr uint8_t CONSOLE_MAX_FRAMESKIP = 3;

// The largest saved state a file may hold; a larger one is refused unread.
constexpr std::size_t CONSOLE_MAX_STATE_SIZE = 4 * 1024 * 1024;

// The height a frame image's header gives (192, 224 or 240; 144 for the
// Game Gear's window).
uint32_t Console_FrameImageHeight(const uint8_t* image);
// The width a frame image's header gives: 256, or 160 for the Game Gear's window.
uint32_t Console_FrameImageWidth(const uint8_t* image);
// A frame image turned into RGB words: `pixels` receives the image's width
// in words a line for the image's height, row after row from the top, each 0x00RRGGBB taken
// from the image's own palette (CONSOLE_MAX_PICTURE_PIXELS words always suffice).
void Console_FrameToXrgb8888(const uint8_t* image, uint32_t* pixels);

class TConsole {
public:
    // Builds the chips and powers the console on: every chip reset, the
    // American / Brazilian BIOS selected, no cartridge.
    explicit TConsole(const TConsoleSettings& settings = {});
    ~TConsole();
    TConsole(const TConsole&) = delete;
    TConsole& operator=(const TConsole&) = delete;

    // ------------------------------------------------------------ set-up

    const TConsoleSettings& Settings() const { return settings_; }
    // Applies new settings and powers the console on again; the cartridge
    // and the BIOS type stay.
    void Configure(const TConsoleSettings& settings);

    // The BIOS run first at every start: 0 Japanese, 1 American / Brazilian.
    // Takes effect at the next reset.
    void SetBiosType(uint8_t type);
    uint8_t BiosType() const;
    // The built-in open images, then the first dumps found in `folders`
    // (BIOS/American.bin, BIOS/Japanese.bin); a dump of the wrong size is
    // refused with a message in `messages`. The BIOS images are shared by
    // every console of the process.
    static void InstallBiosImages(const std::vector<std::string>& folders, std::vector<std::string>& messages);
    // Replaces the image of `type` by the dump at `path`; false with the
    // message when it cannot be read or is not 8192 bytes.
    static bool LoadBiosDump(const std::string& path, uint8_t type, std::string& message);

    // ------------------------------------------------------------ the cartridge

    // From a file: a plain image, or an archive (.zip, .7z, .gz) holding one.
    // Throws Z80_RomError (a std::runtime_error) naming the file and the
    // reason; nothing changes then.
    void LoadCartridge(const std::string& path);
    // From bytes already in memory; `name` is the file name the messages and
    // saved states give (a copier's 512-byte header is dropped).
    void LoadCartridge(const uint8_t* data, std::size_t size, const std::string& name);
    // No cartridge: the BIOS alone.
    void RemoveCartridge();
    bool HasCartridge() const;
    // The cartridge's file name without its folder ("" without one).
    const std::string& CartridgeName() const { return cartridgeName_; }
    // The image's own name: the file's, or for an archive the image's name
    // inside it ("Game.gg" in Game.zip; a .gz file's name without ".gz").
    const std::string& CartridgeImageName() const { return cartridgeImageName_; }
    // The model the loaded cartridge asks for (Console_ModelForCartridge of
    // its image's name and bytes); `chosen` without a cartridge. A front end
    // calls it after loading and Configure()s the console when it differs.
    TConsoleModel ModelForCartridge(TConsoleModel chosen) const;

    // ------------------------------------------------------------ battery RAM

    std::span<const uint8_t> BatteryRam() const;
    // Replaces the battery RAM (a shorter copy fills the start; the rest
    // stays). It counts as not used since loaded.
    void SetBatteryRam(std::span<const uint8_t> bytes);
    // True when the game read or wrote the battery RAM since it was loaded:
    // only then is a battery file written.
    bool BatteryRamUsed() const;
    // The battery file: a missing file is no error (no save yet); a file
    // that exists but cannot be read gives false with `error` naming it.
    bool LoadBatteryFile(const std::string& path, std::string& error);
    // Writes only when the RAM was used; never leaves half a file under the
    // name (a temporary file and a rename). False with the reason named.
    bool SaveBatteryFile(const std::string& path, std::string& error);

    // ------------------------------------------------------------ input

    // Both pads for the frames to come: TPadButton bits held.
    void SetPads(uint8_t player1, uint8_t player2);
    // Pause: the console's NMI. A front end calls it every frame while the
    // button is held; the default model's CPU turns that into one interrupt
    // per lock-out, the hardware models give one per press.
    void PressPause();
    // The reset button, pressed once: the game reads it at its next poll.
    void PressReset();

    // ------------------------------------------------------------ running

    // Frames not drawn after each drawn one (0, 1 or 3 from the menus; at
    // most CONSOLE_MAX_FRAMESKIP, a larger number counts as that). A new
    // setting takes effect after the next drawn frame.
    void SetFrameskip(uint8_t frames);
    uint8_t Frameskip() const;
    // One frame: LinesPerFrame() lines, each the VDP's line then 228 CPU cycles, then the
    // frame image exported (every frame, drawn or not). `betweenLines`, when
    // given, is called before each line (a thread's safe stopping point).
    void RunFrame(void (*betweenLines)(void*) = nullptr, void* context = nullptr);
    // The frames run since the console was built.
    uint64_t FrameNumber() const { return frameNumber_; }
    // The line the VDP runs now (0-261).
    uint32_t CurrentLine() const;

    // True once a frame ran or a state was loaded: the frame image then
    // holds a picture (before, zeros: no image at all).
    bool HasPicture() const { return hasPicture_; }
    // The frame image of the last frame (FrameImageSize() bytes, never more
    // than CONSOLE_MAX_FRAME_IMAGE_SIZE), and its pixels and palette.
    const uint8_t* FrameImage() const { return frameImage_.data(); }
    const uint8_t* FramePixels() const { return frameImage_.data() + CONSOLE_FRAME_PIXEL_OFFSET; }
    const uint8_t* FramePalette() const { return frameImage_.data() + CONSOLE_FRAME_PALETTE_OFFSET; }
    void FrameToXrgb8888(uint32_t* pixels) const { Console_FrameToXrgb8888(FrameImage(), pixels); }
    // Lines of the last frame's picture: 192 always in the default model;
    // 192, 224 or 240 in the hardware models, as the VDP's mode was.
    uint32_t PictureHeight() const { return Console_FrameImageHeight(FrameImage()); }
    uint32_t PictureWidth() const { return Console_FrameImageWidth(FrameImage()); }
    std::size_t FrameImageSize() const { return CONSOLE_FRAME_PIXEL_OFFSET + std::size_t{PictureWidth()} * PictureHeight(); }
    // The image as the VDP holds it right now, in the middle of a frame too
    // (a debugger's stop): into `image`, CONSOLE_MAX_FRAME_IMAGE_SIZE bytes.
    void ExportPictureNow(uint8_t* image) const;

    // The frame's sound, made once per frame after RunFrame from the sound
    // chip's registers as they stand: SamplesPerFrame() unsigned 8-bit mono
    // samples at SampleRate(), 128 silent. Each call makes the next block.
    // In the hardware models it is their stereo frame (below) cut down to
    // that format, for a front end that only plays it.
    std::span<const uint8_t> RenderFrameSamples();
    // The hardware models' sound instead: signed 16-bit stereo (left, right,
    // left, ...) at CONSOLE_STEREO_SAMPLE_RATE, the sound chip's writes heard
    // at their cycles. Each call after RunFrame gives that frame's sample
    // pairs: about 801 (NTSC) or 966 (PAL), the count varying by one as the
    // fractions add up; the samples are made while the frame runs, so a
    // frame whose sound nobody asks for is not lost. HasStereoSound() says
    // which of the two a model makes.
    bool HasStereoSound() const { return Console_IsHardwareModel(settings_.Model); }
    std::span<const int16_t> RenderFrameStereo();
    // A front end's rate control for its sound queue: the stereo sound made
    // `factor` times as fast as the console's own rate (1 at the start,
    // kept between 0.99 and 1.01), so a device whose clock runs a little off
    // neither starves nor fills up.
    void SetSoundRate(double factor);
    double SoundRate() const { return soundRate_; }
    uint32_t SampleRate() const;
    uint32_t SamplesPerFrame() const;
    // Whole frames a second (60 in the default model and NTSC, 50 in PAL) and
    // the exact rate a front end paces by (60, 59.9227 or 49.7015).
    uint32_t FramesPerSecond() const;
    double FrameRate() const;
    // Lines of a frame: 262 (NTSC) or 313 (PAL).
    uint32_t LinesPerFrame() const;
    uint32_t CpuClock() const;

    // Switches of the picture's layers and of the sound's channels and mixer
    // (1 on, the start; 0 off); they stay through resets.
    void SetBackgroundLayer(uint8_t on);
    void SetSpriteLayer(uint8_t on);
    void SetSoundChannel(TSoundChannel channel, uint8_t on);
    // The layers' switches as set (the channels' are in ReadSound).
    uint8_t BackgroundLayer() const;
    uint8_t SpriteLayer() const;

    // ------------------------------------------------------------ resets

    // The console's reset: the CPU, the bus and the sound chip start again
    // (the BIOS runs first); the VDP keeps its registers and memories until
    // the program rewrites them; the cartridge and its RAM stay.
    void ResetConsole();
    // Everything as at power-on, the VDP too (the cartridge stays).
    void PowerOn();

    // ------------------------------------------------------------ states

    // The whole console into `out` (resized; its capacity is reused).
    void SaveState(std::vector<uint8_t>& out) const;
    // The size SaveState would give now, without writing one.
    std::size_t StateSize() const;
    // Checks everything first; on failure returns false with `error` saying
    // why (naming `name` when given) and nothing changed. On success the
    // state's picture is the frame image.
    bool LoadState(const uint8_t* data, std::size_t size, std::string& error, const std::string& name = {});
    // The same through files: written through a temporary file and a rename;
    // read refusing FIFOs, folders and files larger than any state.
    bool SaveStateFile(const std::string& path, std::string& error) const;
    bool LoadStateFile(const std::string& path, std::string& error);

    // ------------------------------------------------------------ inspection

    std::size_t RegionSize(TMemoryRegion region) const;
    const char* RegionName(TMemoryRegion region) const;
    // A byte as a debugger sees it: no side effect (a CPU read of the
    // cartridge RAM would mark it used).
    uint8_t Peek(TMemoryRegion region, uint32_t offset) const;
    // A byte changed by a debugger: cartridge RAM counts as used (kept in the
    // battery file), a colour keeps 6 bits, the CPU space is written as the
    // CPU would (ROM stays, the mapper's registers set the paging: #FFFC-#FFFF
    // for the Sega mapper).
    void Poke(TMemoryRegion region, uint32_t offset, uint8_t value);
    // The region's bytes themselves for a front end that shares them (the
    // libretro core's system and save RAM); null for the CPU space.
    uint8_t* RegionData(TMemoryRegion region);

    TCpuRegisters Registers() const;
    void SetRegisters(const TCpuRegisters& registers);
    // The instruction at `address` as the CPU would run it, read without
    // side effects.
    void Disassemble(uint16_t address, T_Z80_INSTRUCTION& out) const;
    // What `address` maps to now: "ROM 3", "BIOS", "RAM", "SRAM 1".
    std::string BankName(uint16_t address) const;
    // The ROM bank (0-63) mapped at `address`, -1 for BIOS or RAM.
    int RomBankAt(uint16_t address) const;
    // A port read or written as the CPU's IN and OUT do it, side effects
    // included: a read of #DD sees the reset button once, a read of #BF
    // clears the VDP's flags; a write to #BF / #BE sets the VDP's registers
    // and memories, one to #7F the sound chip's. For tools and tests that
    // drive the chips as a program would; never while a frame runs.
    uint8_t ReadPort(uint8_t port);
    void WritePort(uint8_t port, uint8_t value);

    // The VDP's and the PSG's read-outs (VdpReadout.h, PsgReadout.h).
    void ReadPalette(T_VDP_PALETTE_INFO& info) const;
    // CRAM at its own width: the Game Gear's 32 12-bit colours and latch.
    void ReadColourMemory(T_VDP_COLOUR_MEMORY& info) const;
    void DrawTileSheet(TVdpPalette palette, uint32_t* out) const;
    void ReadNameTable(T_VDP_NAME_TABLE& table) const;
    void DrawNameTable(uint32_t* out) const;
    void ReadScrollWindow(T_VDP_SCROLL_WINDOW& window) const;
    void ScrollWindowMask(uint8_t* mask) const;
    // The Game Gear's 32 colours, 12 bits each (red in bits 0-3, green 4-7,
    // blue 8-11), from its colour memory's 64 bytes, low byte first. False,
    // with nothing read, on the other models (ReadPalette gives their 6-bit
    // colours).
    bool ReadPalette12(uint16_t* colours /* VDP_CRAM_SIZE */) const;
    // As ScrollWindowMask, for the Game Gear's screen: 1 where a plane pixel
    // shows on its 160 x 144 window (pixels 48-207 of lines 24-167 of the
    // picture). All 0 on the other models.
    void HandheldWindowMask(uint8_t* mask) const;
    void ReadSprites(T_VDP_SPRITE_TABLE& table) const;
    std::vector<T_VDP_FIELD> DescribeVdpRegisters() const;
    void ReadSound(T_PSG_READOUT& info) const;

    // A copy of another console's chips, frame and settings: a debugger's
    // snapshot, taken while the other is at rest between two instructions and
    // read while it runs on. Pointers between the chips are this console's
    // own, and no debug hook comes along.
    void CopyFrom(const TConsole& other);

private:
    friend struct TConsoleChips;
    friend struct TConsoleFrameLoop;
    void ApplyModel();
    void StartWithoutBios();
    void PlugInCartridge();
    struct TChips;
    std::unique_ptr<TChips> chips_;
    TConsoleSettings settings_;
    std::string cartridgeName_;
    std::string cartridgeImageName_;
    std::vector<uint8_t> frameImage_;
    uint64_t frameNumber_ = 0;
    bool hasPicture_ = false;
    int32_t skipCounter_ = 0;
    // The hardware models' Pause line: pressed since the last frame, and
    // held in the last frame (an NMI comes on the edge between the two).
    bool pausePressed_ = false;
    bool pauseHeld_ = false;
    // The stereo sound's rate control.
    double soundRate_ = 1.0;
    // Written by a window's thread while a machine thread runs the frame.
    std::atomic<uint8_t> frameskip_{0};
};
