// Saved states: the header with the cartridge's identity, the tagged
// sections of the cores and of the machine, and the two-phase load that
// checks every section before it changes anything.
#include "SaveState.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "SMS.h"

namespace {

constexpr char kMagic[8] = {'T', 'R', 'V', 'S', 'T', 'A', 'T', 'E'};
constexpr std::size_t kFixedHeaderSize = 26;  // magic, version, BIOS, reserved, size, hash, name length
constexpr std::size_t kMaxNameLength = 1024;
constexpr std::size_t kSectionHeaderSize = 8;  // tag, length
constexpr std::size_t kMachineStateSize = 1;

inline void PutU16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void PutU64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline uint16_t GetU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t GetU64(const uint8_t* p) { return uint64_t(GetU32(p)) | uint64_t(GetU32(p + 4)) << 32; }

// One section of the format: its tag, its name in messages, its length and
// the part's three procedures. The machine's own part is handled like the
// cores' so that the load's two phases see one list.
struct TSection {
    char Tag[4];
    const char* Name;
    std::size_t Size;
    void (*Save)(const TSMS&, uint8_t*);
    bool (*Validate)(const TSMS&, const uint8_t*, std::size_t, std::string&);
    void (*Load)(TSMS&, const uint8_t*);
};

// The machine: the frameskip counter, which decides whether the next frames
// are drawn. The frameskip setting itself is the user's.
void SaveMachine(const TSMS& sms, uint8_t* out) { out[0] = uint8_t(sms.SkipCounter); }
bool ValidateMachine(const TSMS&, const uint8_t*, std::size_t size, std::string& reason) {
    if (size == kMachineStateSize) return true;
    reason = "the machine section is " + std::to_string(size) + " bytes long, not " + std::to_string(kMachineStateSize);
    return false;
}
void LoadMachine(TSMS& sms, const uint8_t* data) { sms.SkipCounter = data[0]; }

const TSection kSections[] = {
    {{'M', 'A', 'C', 'H'}, "machine", kMachineStateSize, SaveMachine, ValidateMachine, LoadMachine},
    {{'Z', '8', '0', ' '}, "CPU", Z80_STATE_SIZE,
     [](const TSMS& s, uint8_t* out) { Z80_SaveState(*s.Cpu, out); },
     [](const TSMS& s, const uint8_t* d, std::size_t n, std::string& r) { return Z80_ValidateState(*s.Cpu, d, n, r); },
     [](TSMS& s, const uint8_t* d) { Z80_LoadState(*s.Cpu, d); }},
    {{'V', 'D', 'P', ' '}, "VDP", VDP_STATE_SIZE,
     [](const TSMS& s, uint8_t* out) { VDP_SaveState(*s.Vdp, out); },
     [](const TSMS& s, const uint8_t* d, std::size_t n, std::string& r) { return VDP_ValidateState(*s.Vdp, d, n, r); },
     [](TSMS& s, const uint8_t* d) { VDP_LoadState(*s.Vdp, d); }},
    {{'P', 'S', 'G', ' '}, "PSG", PSG_STATE_SIZE,
     [](const TSMS& s, uint8_t* out) { PSG_SaveState(*s.Psg, out); },
     [](const TSMS& s, const uint8_t* d, std::size_t n, std::string& r) { return PSG_ValidateState(*s.Psg, d, n, r); },
     [](TSMS& s, const uint8_t* d) { PSG_LoadState(*s.Psg, d); }},
    {{'B', 'U', 'S', ' '}, "I/O bus", INTERCONNECT_STATE_SIZE,
     [](const TSMS& s, uint8_t* out) { Interconnect_SaveState(*s.Interconnect, out); },
     [](const TSMS& s, const uint8_t* d, std::size_t n, std::string& r) {
         return Interconnect_ValidateState(*s.Interconnect, d, n, r);
     },
     [](TSMS& s, const uint8_t* d) { Interconnect_LoadState(*s.Interconnect, d); }},
};

// A view, not a copy: the rewind history saves a state every frame, and a
// copy of a long name would allocate each time.
std::string_view CartridgeName(const TSMS& sms) {
    if (sms.Cpu->RomSize == 0) return {};
    return std::string_view(sms.RomFileName).substr(0, kMaxNameLength);
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

void SMS_SaveState(const TSMS& sms, std::vector<uint8_t>& out) {
    const std::string_view name = CartridgeName(sms);
    std::size_t total = kFixedHeaderSize + name.size();
    for (const TSection& s : kSections) total += kSectionHeaderSize + s.Size;
    // Every byte is written below, so the vector is only sized, never cleared:
    // a kept vector of the right size costs nothing here.
    out.resize(total);
    uint8_t* p = out.data();
    std::memcpy(p, kMagic, sizeof kMagic);
    PutU16(p + 8, SMS_STATE_VERSION);
    p[10] = sms.Cpu->BiosType ? 1 : 0;
    p[11] = 0;
    PutU32(p + 12, sms.Cpu->RomSize);
    PutU64(p + 16, sms.Cpu->RomHash);
    PutU16(p + 24, static_cast<uint32_t>(name.size()));
    // The BIOS alone has no cartridge name: an empty view may hold no
    // pointer at all, which memcpy must not be given even for no bytes.
    if (!name.empty()) std::memcpy(p + kFixedHeaderSize, name.data(), name.size());
    p += kFixedHeaderSize + name.size();
    for (const TSection& s : kSections) {
        std::memcpy(p, s.Tag, 4);
        PutU32(p + 4, static_cast<uint32_t>(s.Size));
        s.Save(sms, p + kSectionHeaderSize);
        p += kSectionHeaderSize + s.Size;
    }
}

bool SMS_LoadState(TSMS& sms, const uint8_t* data, size_t size, std::string& error, const std::string& name) {
    auto refuse = [&](const std::string& reason) {
        error = (name.empty() ? std::string("Cannot load the state: ") : "Cannot load the state file \"" + name + "\": ") +
                reason + ".";
        return false;
    };
    if (!sms.Cpu || !sms.Vdp || !sms.Psg || !sms.Interconnect) return refuse("the machine has not been started");
    if (size == 0 || data == nullptr) return refuse("it is empty");
    if (size < sizeof kMagic && std::memcmp(data, kMagic, size) == 0)
        return refuse("it is only " + std::to_string(size) + " bytes long, cut off inside its header");
    if (size < sizeof kMagic || std::memcmp(data, kMagic, sizeof kMagic) != 0)
        return refuse("it is not a Tiravel state (it does not begin with \"TRVSTATE\")");
    if (size < kFixedHeaderSize) return refuse("it is only " + std::to_string(size) + " bytes long, cut off inside its header");
    const uint16_t version = GetU16(data + 8);
    if (version > SMS_STATE_VERSION)
        return refuse("it was written by a newer version of Tiravel (state format " + std::to_string(version) +
                      "; this program reads up to format " + std::to_string(SMS_STATE_VERSION) + ")");
    if (version == 0) return refuse("its state format 0 does not exist");
    const uint8_t bios = data[10];
    if (bios > 1) return refuse("its BIOS type is " + std::to_string(bios) + ", neither 0 nor 1");
    if (data[11] != 0) return refuse("its header's reserved byte is " + std::to_string(data[11]) + ", not 0");
    const uint32_t romSize = GetU32(data + 12);
    const uint64_t romHash = GetU64(data + 16);
    const std::size_t nameLength = GetU16(data + 24);
    if (nameLength > kMaxNameLength)
        return refuse("its cartridge name is " + std::to_string(nameLength) + " bytes long, more than " +
                      std::to_string(kMaxNameLength));
    if (size < kFixedHeaderSize + nameLength)
        return refuse("it is only " + std::to_string(size) + " bytes long, cut off inside its header");
    const std::string stateName = Printable(data + kFixedHeaderSize, nameLength);

    const T_Z80_CPU_CORE& cpu = *sms.Cpu;
    if (romSize != cpu.RomSize || romHash != cpu.RomHash)
        return refuse("it was saved with " + Describe(stateName, romSize, romHash) + ", but " +
                      Describe(CartridgeName(sms), cpu.RomSize, cpu.RomHash) + " is running");
    const uint8_t running = cpu.BiosType ? 1 : 0;
    if (bios != running)
        return refuse(std::string("it was saved with the ") + BiosName(bios) + " BIOS, but the machine runs the " +
                      BiosName(running) + " BIOS");

    // Phase one: every section present, in order, of the right length, and
    // every value in range. Nothing is changed yet.
    const uint8_t* sections[std::size(kSections)];
    std::size_t at = kFixedHeaderSize + nameLength;
    for (std::size_t i = 0; i < std::size(kSections); ++i) {
        const TSection& s = kSections[i];
        const std::string tag(s.Tag, 4);
        if (size - at < kSectionHeaderSize)
            return refuse("it is " + std::to_string(size) + " bytes long, cut off before the " + s.Name + " section");
        if (std::memcmp(data + at, s.Tag, 4) != 0)
            return refuse("section \"" + Printable(data + at, 4) + "\" stands where the " + s.Name + " section \"" +
                          tag + "\" belongs");
        const uint32_t length = GetU32(data + at + 4);
        at += kSectionHeaderSize;
        if (length > size - at)
            return refuse("the " + std::string(s.Name) + " section says it is " + std::to_string(length) +
                          " bytes long, but only " + std::to_string(size - at) + " bytes follow");
        std::string reason;
        if (!s.Validate(sms, data + at, length, reason)) return refuse(reason);
        sections[i] = data + at;
        at += length;
    }
    if (at != size) return refuse(std::to_string(size - at) + " bytes follow the last section");

    // Phase two: commit.
    for (std::size_t i = 0; i < std::size(kSections); ++i) kSections[i].Load(sms, sections[i]);
    VDP_ExportFrame(*sms.Vdp, sms.FrameStream.Data);
    sms.FrameStream.Size = static_cast<uint32_t>(VDP_FRAME_IMAGE_SIZE);
    sms.FrameStream.Position = 0;
    return true;
}
