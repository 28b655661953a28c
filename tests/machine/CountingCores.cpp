// Counting stand-ins for the cores (see CountingCores.h).
#include "CountingCores.h"

#include <cstring>

#include "GameFiles.h"
#include "Interconnect.h"
#include "SNDEM.h"
#include "VDPEM.h"
#include "Z80EM.h"

TCoreLog CoreLog;

void ResetCoreLog() {
    CoreLog = TCoreLog{};
    CoreLog.Calls.reserve(1 << 16);
}

uint8_t Z80_BiosImages[2][Z80_BIOS_SIZE];
uint8_t Z80_GameGearBios[Z80_GAME_GEAR_BIOS_SIZE];

extern const unsigned char tiravel_bios_american[8192];
extern const unsigned char tiravel_bios_japanese[8192];
const unsigned char tiravel_bios_american[8192] = {'A', 'M'};
const unsigned char tiravel_bios_japanese[8192] = {'J', 'P'};

void VDP_Reset(T_VDP_CORE& vdp) {
    ++CoreLog.VdpResets;
    std::memset(vdp.Registers, 0, sizeof vdp.Registers);
}
void VDP_RunLine(T_VDP_CORE& vdp, uint32_t line, uint8_t draw) {
    vdp.CurrentLine = line;
    CoreLog.Calls.push_back({'V', line, draw});
}
void VDP_ExportFrame(const T_VDP_CORE& vdp, uint8_t* destination) {
    std::memcpy(destination, vdp.FrameImage, VDP_FRAME_IMAGE_SIZE);
    ++CoreLog.Exports;
    std::memcpy(destination + VDP_FRAME_PIXEL_OFFSET, &CoreLog.Exports, sizeof CoreLog.Exports);
}

void PSG_Reset(T_PSG_CORE& psg) {
    ++CoreLog.PsgResets;
    psg.Tone1Attenuation = 15;
}
void PSG_SetFrameRate(T_PSG_CORE& psg, uint32_t fps) { psg.FrameRate = fps; }
void PSG_SetExactRate(T_PSG_CORE& psg, uint32_t, double) { psg.ExactPairs = 0; }
void PSG_EndExactFrame(T_PSG_CORE& psg, int32_t) { psg.ExactPairs = 0; }
void PSG_SetClock(T_PSG_CORE& psg, uint32_t clock) { psg.ClockDiv16 = clock / 16; }

void Interconnect_Init(T_INTERCONNECT_CORE& bus, T_VDP_CORE& vdp, T_PSG_CORE& psg) {
    ++CoreLog.BusInits;
    bus.Vdp = &vdp;
    bus.Psg = &psg;
    bus.MemoryControl = 0;
}

void Z80_Reset(T_Z80_CPU_CORE& cpu, T_INTERCONNECT_CORE& bus) {
    ++CoreLog.CpuResets;
    cpu.Bus = &bus;
    cpu.PC = 0;
    cpu.CartRamDirty = 0;
}
void Z80_RunCycles(T_Z80_CPU_CORE&, uint32_t budget) { CoreLog.Calls.push_back({'C', budget, 0}); }
void Z80_SetBiosType(T_Z80_CPU_CORE& cpu, uint8_t type) { cpu.BiosType = type; }
void Z80_RaiseNMI(T_Z80_CPU_CORE& cpu) { cpu.NmiActive = 1; }

void Z80_LoadRomImage(T_Z80_CPU_CORE& cpu, const uint8_t* data, std::size_t size, const std::string&,
                      const std::string&) {
    cpu.Rom[0] = size > 0 ? data[0] : 0;
}
void Z80_ClearRom(T_Z80_CPU_CORE& cpu) { cpu.Rom[0] = 0; }
TZ80Mapper Z80_DetectMapper(const T_Z80_CPU_CORE&) { return Z80_MAPPER_SEGA; }
void Z80_SetMapper(T_Z80_CPU_CORE& cpu, TZ80Mapper mapper) { cpu.Mapper = mapper; }

// The game's files, never touched.
std::vector<uint8_t> SMS_ReadRomFile(const std::string& path) {
    if (path == "missing.sms") throw Z80_RomError("missing.sms cannot be read");
    return {0xF3};
}
int SMS_OpenRomFile(const std::string& path, uint64_t&) { throw Z80_RomError(path + " cannot be read"); }
bool SMS_ReadBatteryFile(const std::string&, uint8_t*, std::size_t, std::string&) { return true; }
bool SMS_WriteBatteryFile(const std::string& path, const uint8_t*, std::size_t, std::string& error) {
    CoreLog.LastSavePath = path;
    if (!CoreLog.FailSavesWith.empty()) {
        error = CoreLog.FailSavesWith;
        return false;
    }
    ++CoreLog.SavesWritten;
    return true;
}

// The switches of the layers and channels, and the reset button.
void VDP_SetBackgroundLayer(T_VDP_CORE&, uint8_t) {}
void VDP_SetSpriteLayer(T_VDP_CORE&, uint8_t) {}
void PSG_SetMixerEnabled(T_PSG_CORE&, uint8_t) {}
void PSG_SetTone1Enabled(T_PSG_CORE&, uint8_t) {}
void PSG_SetTone2Enabled(T_PSG_CORE&, uint8_t) {}
void PSG_SetTone3Enabled(T_PSG_CORE&, uint8_t) {}
void PSG_SetNoiseEnabled(T_PSG_CORE&, uint8_t) {}
void Interconnect_PressReset(T_INTERCONNECT_CORE&) {}
void Interconnect_SetStart(T_INTERCONNECT_CORE&, uint8_t) {}

// The presentation's calls: silence, zero status, and counted pad writes.
void PSG_RenderFrame(T_PSG_CORE&, T_PSG_SAMPLE_BLOCK& block) { std::memset(block.Samples, 128, sizeof block.Samples); }
void PSG_GetStatus(const T_PSG_CORE&, T_PSG_STATUS_INFO& info) { info = T_PSG_STATUS_INFO{}; }
void VDP_GetStatusInfo(const T_VDP_CORE&, T_VDP_STATUS_INFO& info) { info = T_VDP_STATUS_INFO{}; }
#define TIRAVEL_COUNTED_PAD(input)                                                   \
    void Interconnect_Press##input(T_INTERCONNECT_CORE&) { ++CoreLog.PadWrites; }   \
    void Interconnect_Release##input(T_INTERCONNECT_CORE&) { ++CoreLog.PadWrites; }
TIRAVEL_COUNTED_PAD(P1Up)
TIRAVEL_COUNTED_PAD(P1Down)
TIRAVEL_COUNTED_PAD(P1Left)
TIRAVEL_COUNTED_PAD(P1Right)
TIRAVEL_COUNTED_PAD(P1Button1)
TIRAVEL_COUNTED_PAD(P1Button2)
TIRAVEL_COUNTED_PAD(P2Up)
TIRAVEL_COUNTED_PAD(P2Down)
TIRAVEL_COUNTED_PAD(P2Left)
TIRAVEL_COUNTED_PAD(P2Right)
TIRAVEL_COUNTED_PAD(P2Button1)
TIRAVEL_COUNTED_PAD(P2Button2)
#undef TIRAVEL_COUNTED_PAD
