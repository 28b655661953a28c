// Saved states: the header with the cartridge's identity, the tagged and
// versioned sections of the chips and of the frame loop, and the two-phase
// load that checks every section before it changes anything.
#include "SaveState.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "ConsoleChips.h"
#include "LittleEndian.h"

// The frame loop's state for the state code, beside the chips.
struct TConsoleFrameLoop {
    static int32_t& SkipCounter(TConsole& console) { return console.skipCounter_; }
    static int32_t SkipCounter(const TConsole& console) { return console.skipCounter_; }
    static bool& PauseHeld(TConsole& console) { return console.pauseHeld_; }
    static bool PauseHeld(const TConsole& console) { return console.pauseHeld_; }
};

namespace {

constexpr char kMagic[8] = {'T', 'R', 'V', 'S', 'T', 'A', 'T', 'E'};
constexpr std::size_t kFixedHeaderSize = 26;  // magic, version, BIOS, reserved, size, hash, name length
constexpr std::size_t kMaxNameLength = 1024;
// A section: its tag and its length; from format 2 on, its version too.
constexpr std::size_t kSectionHeaderSize1 = 8;
constexpr std::size_t kSectionHeaderSize = 10;
constexpr std::size_t kMachineStateSize = 1;

std::size_t SectionHeaderSize(uint16_t format) { return format >= 2 ? kSectionHeaderSize : kSectionHeaderSize1; }

// One section of the format: its tag, its name in messages, the version this
// program writes, and the part's procedures. Size gives the length of each
// version this program reads (0: a version it does not know); Load is given
// the version it reads, so that an older one leaves its missing fields at
// their start values. The frame loop's part is handled like the chips' so
// that the load's two phases see one list.
struct TSection {
    char Tag[4];
    const char* Name;
    uint16_t Version;
    std::size_t (*Size)(uint16_t version);
    void (*Save)(const TConsole&, uint8_t*);
    bool (*Validate)(const TConsole&, const uint8_t*, std::size_t, uint16_t version, std::string&);
    void (*Load)(TConsole&, const uint8_t*, uint16_t version);
};

template <std::size_t N>
std::size_t Version1Size(uint16_t version) {
    return version == 1 ? N : 0;
}

using C = TConsoleChips;

const TSection kSections[] = {
    // The frame loop: the frameskip counter, which decides whether the next
    // frames are drawn. It is decremented before each frame and reloaded
    // after a drawn one, so between frames it runs from 0 up to the largest
    // frameskip, and inside a drawn frame (a state saved while the machine
    // is stopped between two lines) it is -1: one signed byte. The frameskip
    // setting itself is the player's.
    {{'M', 'A', 'C', 'H'}, "machine", 1, Version1Size<kMachineStateSize>,
     [](const TConsole& c, uint8_t* out) { out[0] = uint8_t(int8_t(TConsoleFrameLoop::SkipCounter(c))); },
     [](const TConsole&, const uint8_t* d, std::size_t, uint16_t, std::string& r) {
         const int counter = int8_t(d[0]);
         if (counter >= -1 && counter <= CONSOLE_MAX_FRAMESKIP) return true;
         r = "the frameskip counter is " + std::to_string(counter) + ", not between -1 and " +
             std::to_string(CONSOLE_MAX_FRAMESKIP);
         return false;
     },
     [](TConsole& c, const uint8_t* d, uint16_t) { TConsoleFrameLoop::SkipCounter(c) = int8_t(d[0]); }},
    {{'Z', '8', '0', ' '}, "CPU", 1, Version1Size<Z80_STATE_SIZE>,
     [](const TConsole& c, uint8_t* out) { Z80_SaveState(C::Cpu(c), out); },
     [](const TConsole& c, const uint8_t* d, std::size_t n, uint16_t, std::string& r) {
         return Z80_ValidateState(C::Cpu(c), d, n, r);
     },
     [](TConsole& c, const uint8_t* d, uint16_t) { Z80_LoadState(C::Cpu(c), d); }},
    {{'V', 'D', 'P', ' '}, "VDP", 1, Version1Size<VDP_STATE_SIZE>,
     [](const TConsole& c, uint8_t* out) { VDP_SaveState(C::Vdp(c), out); },
     [](const TConsole& c, const uint8_t* d, std::size_t n, uint16_t, std::string& r) {
         return VDP_ValidateState(C::Vdp(c), d, n, r);
     },
     [](TConsole& c, const uint8_t* d, uint16_t) { VDP_LoadState(C::Vdp(c), d); }},
    {{'P', 'S', 'G', ' '}, "PSG", 1, Version1Size<PSG_STATE_SIZE>,
     [](const TConsole& c, uint8_t* out) { PSG_SaveState(C::Psg(c), out); },
     [](const TConsole& c, const uint8_t* d, std::size_t n, uint16_t, std::string& r) {
         return PSG_ValidateState(C::Psg(c), d, n, r);
     },
     [](TConsole& c, const uint8_t* d, uint16_t) { PSG_LoadState(C::Psg(c), d); }},
    {{'B', 'U', 'S', ' '}, "I/O bus", 1, Version1Size<INTERCONNECT_STATE_SIZE>,
     [](const TConsole& c, uint8_t* out) { Interconnect_SaveState(C::Bus(c), out); },
     [](const TConsole& c, const uint8_t* d, std::size_t n, uint16_t, std::string& r) {
         return Interconnect_ValidateState(C::Bus(c), d, n, r);
     },
     [](TConsole& c, const uint8_t* d, uint16_t) { Interconnect_LoadState(C::Bus(c), d); }},
};

// The hardware models' sections, after the I/O bus's, in a state of format
// 3 or later. The first names the model, its region and standard (a state
// loads only into the same) and holds the Pause line; the chips' parts for
// those models follow.
constexpr std::size_t kModelStateSize = 4;

const TSection kModelSections[] = {
    {{'M', 'O', 'D', 'L'}, "model", 1, Version1Size<kModelStateSize>,
     [](const TConsole& c, uint8_t* out) {
         const TConsoleSettings& settings = c.Settings();
         out[0] = uint8_t(settings.Model);
         out[1] = uint8_t(settings.Region);
         out[2] = uint8_t(settings.Video);
         out[3] = TConsoleFrameLoop::PauseHeld(c) ? 1 : 0;
     },
     [](const TConsole&, const uint8_t* d, std::size_t, uint16_t, std::string& r) {
         // The model, region and standard were compared with the running
         // console's before any section was read.
         if (d[3] <= 1) return true;
         r = "its Pause line is " + std::to_string(d[3]) + ", neither 0 nor 1";
         return false;
     },
     [](TConsole& c, const uint8_t* d, uint16_t) { TConsoleFrameLoop::PauseHeld(c) = d[3] == 1; }},
    // The mapper that pages the cartridge: a state loads only where the
    // same one does (the player may have forced another).
    {{'M', 'A', 'P', 'R'}, "mapper", 1, Version1Size<Z80_MAPPER_STATE_SIZE>,
     [](const TConsole& c, uint8_t* out) { Z80_SaveMapperState(C::Cpu(c), out); },
     [](const TConsole& c, const uint8_t* d, std::size_t n, uint16_t, std::string& r) {
         return Z80_ValidateMapperState(C::Cpu(c), d, n, r);
     },
     [](TConsole& c, const uint8_t* d, uint16_t) { Z80_LoadMapperState(C::Cpu(c), d); }},
    // The exact CPU: MEMPTR, the flag register Q, the interrupt holds, the
    // pending NMI and the cycles the last line ran over.
    {{'Z', '8', '0', 'X'}, "exact CPU", 1, Version1Size<Z80_EXACT_STATE_SIZE>,
     [](const TConsole& c, uint8_t* out) { Z80_SaveExactState(C::Cpu(c), out); },
     [](const TConsole& c, const uint8_t* d, std::size_t n, uint16_t, std::string& r) {
         return Z80_ValidateExactState(C::Cpu(c), d, n, r);
     },
     [](TConsole& c, const uint8_t* d, uint16_t) { Z80_LoadExactState(C::Cpu(c), d); }},
    // The VDP of the real consoles: the picture's height and its lines past
    // the 192 of the VDP section, the H counter's latch, the fifth sprite.
    {{'V', 'D', 'P', 'M'}, "VDP model", 1, Version1Size<VDP_MODEL_STATE_SIZE>,
     [](const TConsole& c, uint8_t* out) { VDP_SaveModelState(C::Vdp(c), out); },
     [](const TConsole& c, const uint8_t* d, std::size_t n, uint16_t, std::string& r) {
         return VDP_ValidateModelState(C::Vdp(c), d, n, r);
     },
     [](TConsole& c, const uint8_t* d, uint16_t) { VDP_LoadModelState(C::Vdp(c), d); }},
    // The real sound chip: its counters, flip-flops and cycle, and the
    // output's pending steps and filters, so that the sound goes on without
    // a click.
    {{'P', 'S', 'G', 'X'}, "exact PSG", 1, Version1Size<PSG_EXACT_STATE_SIZE>,
     [](const TConsole& c, uint8_t* out) { PSG_SaveExactState(C::Psg(c), out); },
     [](const TConsole& c, const uint8_t* d, std::size_t n, uint16_t, std::string& r) {
         return PSG_ValidateExactState(C::Psg(c), d, n, r);
     },
     [](TConsole& c, const uint8_t* d, uint16_t) { PSG_LoadExactState(C::Psg(c), d); }},
    // The I/O control register as last written (the TH and TR lines).
    {{'B', 'U', 'S', 'M'}, "I/O bus model", 1, Version1Size<INTERCONNECT_MODEL_STATE_SIZE>,
     [](const TConsole& c, uint8_t* out) { Interconnect_SaveModelState(C::Bus(c), out); },
     [](const TConsole& c, const uint8_t* d, std::size_t n, uint16_t, std::string& r) {
         return Interconnect_ValidateModelState(C::Bus(c), d, n, r);
     },
     [](TConsole& c, const uint8_t* d, uint16_t) { Interconnect_LoadModelState(C::Bus(c), d); }},
};

// The Game Gear's own section, after the hardware models' (the stereo
// register is the exact PSG's routing, in its section).
const TSection kGameGearSections[] = {
    // Ports 0x00-0x05: Start and the region as port 0x00 reads them, the
    // link port's registers.
    {{'G', 'G', 'I', 'O'}, "Game Gear registers", 1, Version1Size<INTERCONNECT_GAME_GEAR_STATE_SIZE>,
     [](const TConsole& c, uint8_t* out) { Interconnect_SaveGameGearState(C::Bus(c), out); },
     [](const TConsole& c, const uint8_t* d, std::size_t n, uint16_t, std::string& r) {
         return Interconnect_ValidateGameGearState(C::Bus(c), d, n, r);
     },
     [](TConsole& c, const uint8_t* d, uint16_t) { Interconnect_LoadGameGearState(C::Bus(c), d); }},
};

// The sections a state of these settings holds, in order.
struct TSectionList {
    const TSection* Base;
    std::size_t BaseCount;
    const TSection* Model;
    std::size_t ModelCount;
    const TSection* Own;
    std::size_t OwnCount;
    std::size_t Count() const { return BaseCount + ModelCount + OwnCount; }
    const TSection& operator[](std::size_t i) const {
        if (i < BaseCount) return Base[i];
        if (i < BaseCount + ModelCount) return Model[i - BaseCount];
        return Own[i - BaseCount - ModelCount];
    }
};

TSectionList SectionsFor(TConsoleModel model) {
    const bool hardware = Console_IsHardwareModel(model);
    const bool gameGear = model == TConsoleModel::GameGear;
    return {kSections,         std::size(kSections),
            kModelSections,    hardware ? std::size(kModelSections) : 0,
            kGameGearSections, gameGear ? std::size(kGameGearSections) : 0};
}

constexpr std::size_t kMaxSections = std::size(kSections) + std::size(kModelSections) + std::size(kGameGearSections);

// "Tiravel", or "Master System II (Japan, PAL)".
std::string DescribeModel(TConsoleModel model, TConsoleRegion region, TConsoleVideo video) {
    std::string text = Console_ModelInfo(model).Name;
    if (Console_IsHardwareModel(model))
        text += std::string(" (") + Console_OptionInfo(region).Name + ", " + Console_OptionInfo(video).Name + ")";
    return text;
}

// The payload of the first section with this tag, walking the section table
// (null when there is none, or the table is cut off before it).
const uint8_t* FindSection(const uint8_t* state, std::size_t size, const char (&tag)[5], std::size_t& length) {
    if (size < kFixedHeaderSize) return nullptr;
    const std::size_t header = SectionHeaderSize(LE_Get16(state + 8));
    std::size_t at = kFixedHeaderSize + LE_Get16(state + 24);
    while (at <= size && size - at >= header) {
        length = LE_Get32(state + at + 4);
        const std::size_t payload = at + header;
        if (length > size - payload) return nullptr;
        if (std::memcmp(state + at, tag, 4) == 0) return state + payload;
        at = payload + length;
    }
    return nullptr;
}

// A view, not a copy: the rewind history saves a state every frame, and a
// copy of a long name would allocate each time.
std::string_view StateCartridgeName(const TConsole& console) {
    if (!console.HasCartridge()) return {};
    return std::string_view(console.CartridgeName()).substr(0, kMaxNameLength);
}

// A name read from a file is shown with control characters replaced.
std::string Printable(const uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return text;
}

std::string Describe(std::string_view name, uint32_t size, uint64_t hash) {
    if (size == 0) return "no cartridge (the BIOS alone)";
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return "the cartridge \"" + (name.empty() ? std::string("(unnamed)") : std::string(name)) + "\" (" + std::to_string(size) +
           " bytes, hash " + hex + ")";
}

const char* BiosName(uint8_t type) { return type == 0 ? "Japanese" : "American / Brazilian"; }

}  // namespace

std::size_t TConsole::StateSize() const {
    std::size_t total = kFixedHeaderSize + StateCartridgeName(*this).size();
    const TSectionList sections = SectionsFor(settings_.Model);
    for (std::size_t i = 0; i < sections.Count(); ++i) total += kSectionHeaderSize + sections[i].Size(sections[i].Version);
    return total;
}

void TConsole::SaveState(std::vector<uint8_t>& out) const {
    const std::string_view name = StateCartridgeName(*this);
    const T_Z80_CPU_CORE& cpu = C::Cpu(*this);
    // Every byte is written below, so the vector is only sized, never cleared:
    // a kept vector of the right size costs nothing here.
    out.resize(StateSize());
    uint8_t* p = out.data();
    std::memcpy(p, kMagic, sizeof kMagic);
    LE_Put16(p + 8, Console_IsHardwareModel(settings_.Model) ? SMS_STATE_VERSION : SMS_STATE_VERSION_DEFAULT_MODEL);
    p[10] = cpu.BiosType ? 1 : 0;
    p[11] = 0;
    LE_Put32(p + 12, cpu.RomSize);
    LE_Put64(p + 16, cpu.RomHash);
    LE_Put16(p + 24, static_cast<uint16_t>(name.size()));
    // The BIOS alone has no cartridge name: an empty view may hold no
    // pointer at all, which memcpy must not be given even for no bytes.
    if (!name.empty()) std::memcpy(p + kFixedHeaderSize, name.data(), name.size());
    p += kFixedHeaderSize + name.size();
    const TSectionList sections = SectionsFor(settings_.Model);
    for (std::size_t i = 0; i < sections.Count(); ++i) {
        const TSection& s = sections[i];
        const std::size_t size = s.Size(s.Version);
        std::memcpy(p, s.Tag, 4);
        LE_Put32(p + 4, static_cast<uint32_t>(size));
        LE_Put16(p + 8, s.Version);
        s.Save(*this, p + kSectionHeaderSize);
        p += kSectionHeaderSize + size;
    }
}

bool TConsole::LoadState(const uint8_t* data, std::size_t size, std::string& error, const std::string& name) {
    auto refuse = [&](const std::string& reason) {
        error = (name.empty() ? std::string("Cannot load the state: ") : "Cannot load the state file \"" + name + "\": ") +
                reason + ".";
        return false;
    };
    if (size == 0 || data == nullptr) return refuse("it is empty");
    if (size < sizeof kMagic && std::memcmp(data, kMagic, size) == 0)
        return refuse("it is only " + std::to_string(size) + " bytes long, cut off inside its header");
    if (size < sizeof kMagic || std::memcmp(data, kMagic, sizeof kMagic) != 0)
        return refuse("it is not a Tiravel state (it does not begin with \"TRVSTATE\")");
    if (size < kFixedHeaderSize) return refuse("it is only " + std::to_string(size) + " bytes long, cut off inside its header");
    const uint16_t format = LE_Get16(data + 8);
    if (format > SMS_STATE_VERSION)
        return refuse("it was written by a newer version of Tiravel (state format " + std::to_string(format) +
                      "; this program reads up to format " + std::to_string(SMS_STATE_VERSION) + ")");
    if (format == 0) return refuse("its state format 0 does not exist");
    const uint8_t bios = data[10];
    if (bios > 1) return refuse("its BIOS type is " + std::to_string(bios) + ", neither 0 nor 1");
    if (data[11] != 0) return refuse("its header's reserved byte is " + std::to_string(data[11]) + ", not 0");
    const uint32_t romSize = LE_Get32(data + 12);
    const uint64_t romHash = LE_Get64(data + 16);
    const std::size_t nameLength = LE_Get16(data + 24);
    if (nameLength > kMaxNameLength)
        return refuse("its cartridge name is " + std::to_string(nameLength) + " bytes long, more than " +
                      std::to_string(kMaxNameLength));
    if (size < kFixedHeaderSize + nameLength)
        return refuse("it is only " + std::to_string(size) + " bytes long, cut off inside its header");
    const std::string stateName = Printable(data + kFixedHeaderSize, nameLength);

    const T_Z80_CPU_CORE& cpu = C::Cpu(*this);
    if (romSize != cpu.RomSize || romHash != cpu.RomHash)
        return refuse("it was saved with " + Describe(stateName, romSize, romHash) + ", but " +
                      Describe(StateCartridgeName(*this), cpu.RomSize, cpu.RomHash) + " is running");
    const uint8_t running = cpu.BiosType ? 1 : 0;
    if (bios != running)
        return refuse(std::string("it was saved with the ") + BiosName(bios) + " BIOS, but the machine runs the " +
                      BiosName(running) + " BIOS");

    // The model, region and standard: a state of the default model has no
    // model section; a hardware model's names them in it.
    TConsoleSettings saved{};
    std::size_t modelLength = 0;
    const uint8_t* model = format >= 3 ? FindSection(data, size, "MODL", modelLength) : nullptr;
    if (model != nullptr) {
        if (modelLength < 3) return refuse("its model section is " + std::to_string(modelLength) + " bytes long, too short to name a model");
        if (model[0] > uint8_t(TConsoleModel::GameGear) || !Console_IsHardwareModel(TConsoleModel(model[0])))
            return refuse("its model number is " + std::to_string(model[0]) + ", which is no hardware model");
        if (model[1] > uint8_t(TConsoleRegion::Japan))
            return refuse("its region number is " + std::to_string(model[1]) + ", neither 0 (export) nor 1 (Japan)");
        if (model[2] > uint8_t(TConsoleVideo::Pal))
            return refuse("its video standard number is " + std::to_string(model[2]) + ", neither 0 (NTSC) nor 1 (PAL)");
        saved = {TConsoleModel(model[0]), TConsoleRegion(model[1]), TConsoleVideo(model[2])};
    }
    if (saved.Model != settings_.Model || saved.Region != settings_.Region || saved.Video != settings_.Video)
        return refuse("it was saved on the " + DescribeModel(saved.Model, saved.Region, saved.Video) +
                      " model, but the machine runs the " +
                      DescribeModel(settings_.Model, settings_.Region, settings_.Video) + " model");

    // Phase one: every section present, in order, of a version this program
    // knows and of its length, and every value in range. Nothing is changed yet.
    const std::size_t sectionHeader = SectionHeaderSize(format);
    const TSectionList expected = SectionsFor(settings_.Model);
    const uint8_t* sections[kMaxSections];
    uint16_t versions[kMaxSections];
    std::size_t at = kFixedHeaderSize + nameLength;
    for (std::size_t i = 0; i < expected.Count(); ++i) {
        const TSection& s = expected[i];
        const std::string tag(s.Tag, 4);
        if (size - at < sectionHeader)
            return refuse("it is " + std::to_string(size) + " bytes long, cut off before the " + s.Name + " section");
        if (std::memcmp(data + at, s.Tag, 4) != 0)
            return refuse("section \"" + Printable(data + at, 4) + "\" stands where the " + s.Name + " section \"" +
                          tag + "\" belongs");
        const uint32_t length = LE_Get32(data + at + 4);
        const uint16_t version = format >= 2 ? LE_Get16(data + at + 8) : 1;
        at += sectionHeader;
        if (version > s.Version)
            return refuse("it was written by a newer version of Tiravel (its " + std::string(s.Name) +
                          " section is version " + std::to_string(version) + "; this program reads up to version " +
                          std::to_string(s.Version) + ")");
        if (version == 0 || s.Size(version) == 0)
            return refuse("its " + std::string(s.Name) + " section is version " + std::to_string(version) +
                          ", which does not exist");
        if (length > size - at)
            return refuse("the " + std::string(s.Name) + " section says it is " + std::to_string(length) +
                          " bytes long, but only " + std::to_string(size - at) + " bytes follow");
        if (length != s.Size(version))
            return refuse("the " + std::string(s.Name) + " section is " + std::to_string(length) + " bytes long, not " +
                          std::to_string(s.Size(version)));
        std::string reason;
        if (!s.Validate(*this, data + at, length, version, reason)) return refuse(reason);
        sections[i] = data + at;
        versions[i] = version;
        at += length;
    }
    if (at != size) return refuse(std::to_string(size - at) + " bytes follow the last section");

    // Phase two: commit. The state's picture becomes the frame image.
    for (std::size_t i = 0; i < expected.Count(); ++i) expected[i].Load(*this, sections[i], versions[i]);
    VDP_ExportFrame(C::Vdp(*this), frameImage_.data());
    hasPicture_ = true;
    return true;
}

bool SMS_FindStatePicture(const uint8_t* state, std::size_t size, std::size_t& offset, std::size_t& pictureSize) {
    // The header and the cartridge's name, then the sections; the VDP's
    // payload ends with the frame image's pixels.
    if (size < kFixedHeaderSize) return false;
    const std::size_t header = SectionHeaderSize(LE_Get16(state + 8));
    std::size_t at = kFixedHeaderSize + LE_Get16(state + 24);
    while (at + header <= size) {
        const std::size_t length = LE_Get32(state + at + 4);
        const std::size_t payload = at + header;
        if (length > size - payload) return false;
        if (std::memcmp(state + at, "VDP ", 4) == 0) {
            if (length < VDP_FRAME_PIXEL_COUNT) return false;
            offset = payload + length - VDP_FRAME_PIXEL_COUNT;
            pictureSize = VDP_FRAME_PIXEL_COUNT;
            return true;
        }
        at = payload + length;
    }
    return false;
}

bool SMS_StateFrameImage(const uint8_t* state, std::size_t size, uint8_t* image, std::size_t& imageSize) {
    if (size < kFixedHeaderSize || std::memcmp(state, kMagic, sizeof kMagic) != 0) return false;
    const uint16_t format = LE_Get16(state + 8);
    if (format == 0 || format > SMS_STATE_VERSION) return false;
    // Every section walked to the file's end: a file cut off or grown is
    // damaged even where its picture is whole.
    const std::size_t header = SectionHeaderSize(format);
    const uint8_t* vdp = nullptr;
    const uint8_t* model = nullptr;
    std::size_t at = kFixedHeaderSize + LE_Get16(state + 24);
    if (at > size) return false;
    while (at != size) {
        if (size - at < header) return false;
        const std::size_t length = LE_Get32(state + at + 4);
        const std::size_t payload = at + header;
        if (length > size - payload) return false;
        if (std::memcmp(state + at, "VDP ", 4) == 0) {
            if (length != VDP_STATE_SIZE || vdp != nullptr) return false;
            vdp = state + payload;
        } else if (std::memcmp(state + at, "VDPM", 4) == 0) {
            if (length != VDP_MODEL_STATE_SIZE || model != nullptr) return false;
            model = state + payload;
        }
        at = payload + length;
    }
    if (vdp == nullptr) return false;
    // The default model's state has no model section: its picture is 192 lines.
    const uint32_t height = model != nullptr ? LE_Get16(model) : uint32_t(CONSOLE_PICTURE_HEIGHT);
    // The Game Gear's window: palette slots, with the palette in the model section.
    if (height == 144) return VDP_GameGearStateImage(vdp, model, image, imageSize);
    if (height != 192 && height != 224 && height != 240) return false;
    const std::size_t extra = CONSOLE_PICTURE_WIDTH * height - VDP_FRAME_PIXEL_COUNT;
    VDP_WriteFrameImageHeaders(image, height);
    uint8_t* pixels = image + CONSOLE_FRAME_PIXEL_OFFSET;
    std::memcpy(pixels, vdp + VDP_STATE_SIZE - VDP_FRAME_PIXEL_COUNT, VDP_FRAME_PIXEL_COUNT);
    // The model section's pixels follow its height and its two latches (VDPEM.h).
    if (extra != 0) std::memcpy(pixels + VDP_FRAME_PIXEL_COUNT, model + 4, extra);
    // Colours are 6 bits: a higher one would show as black, so it is no picture.
    uint8_t high = 0;
    for (std::size_t i = 0; i < VDP_FRAME_PIXEL_COUNT + extra; ++i) high |= pixels[i];
    if (high > 0x3F) return false;
    imageSize = CONSOLE_FRAME_PIXEL_OFFSET + CONSOLE_PICTURE_WIDTH * height;
    return true;
}
