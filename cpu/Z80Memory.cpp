// Z80EM: the console's memory map as the CPU sees it.
//
//   0x0000-0x03FF  first kilobyte of bank 0 (never paged, so the reset and
//                  interrupt vectors stay put whatever the game pages in)
//   0x0400-0x3FFF  bank PageSlot0      0x4000-0x7FFF  bank PageSlot1
//   0x8000-0xBFFF  bank PageSlot2, or cartridge RAM when RamControl bit 3 is set
//   0xC000-0xFFFF  8 KB system RAM, twice; 0xFFFC-0xFFFF also write the
//                  paging registers
//
// That is the Sega mapper, the default model's and nearly every game's. The
// hardware models also page with the cartridges' other mappers (cpu.Mapper):
//   Codemasters  registers at 0x0000, 0x4000, 0x8000 (the first bytes of the
//                slots, write-only, nothing kept in RAM); slot 0 pages its
//                first kilobyte too; bit 7 of the 0x4000 value maps the 8 KB
//                cartridge RAM at 0xA000-0xBFFF (RamControl bit 3 here)
//   Korean       one register at 0xA000 for slot 2; slots 0 and 1 fixed
//   none         no registers: the image at 0x0000-0xBFFF as it stands
// Writes to 0xFFFC-0xFFFF reach only RAM with those. Every mapper keeps its
// banks in PageSlot0-2, so only the rare branches (the first kilobyte,
// cartridge RAM, writes into the cartridge's area) ask which mapper it is.
//
// The lower 48 KB show either the cartridge or the selected BIOS image,
// depending on bit 3 of the bus's memory control register.
#include <cstddef>
#include <cstring>

#include "Interconnect.h"
#include "Z80EM.h"

namespace {

// With RamControl bit 3 set, whether `address` (0x8000-0xBFFF) is cartridge
// RAM: all of slot 2 under the Sega mapper, its upper 8 KB under the
// Codemasters mapper (the lower half keeps the slot's ROM bank).
inline bool IsCartRam(const T_Z80_CPU_CORE& cpu, uint16_t address) {
    return cpu.Mapper != Z80_MAPPER_CODEMASTERS || address >= 0xA000;
}

// The Codemasters cartridge's 8 KB are the first 8 KB of the battery RAM.
inline std::size_t CartRamOffset(const T_Z80_CPU_CORE& cpu, uint16_t address) {
    if (cpu.Mapper == Z80_MAPPER_CODEMASTERS) [[unlikely]] return address & 0x1FFF;
    return ((cpu.RamControl >> 2) & 1) * Z80_BANK_SIZE + (address & 0x3FFF);
}

// Whether `address` reads the fixed first kilobyte (bank 0): under the Sega
// mapper, not under the others (see FixedEnd).
inline bool InFixedKilobyte(const T_Z80_CPU_CORE& cpu, uint16_t address) { return address < cpu.FixedEnd; }

// Bank numbers written by the program are reduced to the banks the image
// has. A CPU that has never been reset has no bank count yet; it counts as one.
inline uint8_t ReduceBank(const T_Z80_CPU_CORE& cpu, uint8_t value) {
    const uint8_t count = cpu.RomBankCount ? cpu.RomBankCount : 1;
    return static_cast<uint8_t>(value % count);
}

static_assert(offsetof(T_Z80_CPU_CORE, PageSlot1) == offsetof(T_Z80_CPU_CORE, PageSlot0) + 1 &&
              offsetof(T_Z80_CPU_CORE, PageSlot2) == offsetof(T_Z80_CPU_CORE, PageSlot0) + 2);

// The byte at `offset` of the cartridge's ROM area, or of the BIOS when the
// memory control register maps the BIOS instead. The ROM area decodes 20
// address bits, like a 1 MB cartridge: a bank number past its 64 banks
// (only reachable if RomBankCount was set by hand above 64) mirrors instead
// of reading outside the area.
inline uint8_t ReadRomArea(const T_Z80_CPU_CORE& cpu, std::size_t offset) {
    if (Interconnect_GetMemoryControl(*cpu.Bus) & 0x08) [[likely]]
        return cpu.Rom[offset & (Z80_ROM_SIZE - 1)];
    // The Game Gear's 1 KB BIOS answers the first kilobyte only.
    if (cpu.GameGearBios != 0) [[unlikely]]
        return offset < Z80_GAME_GEAR_BIOS_SIZE ? Z80_GameGearBios[offset] : cpu.Rom[offset & (Z80_ROM_SIZE - 1)];
    // An 8 KB BIOS chip answers its whole window, mirrored every 8 KB.
    return Z80_BiosImages[cpu.BiosType ? 1 : 0][offset & (Z80_BIOS_SIZE - 1)];
}

}  // namespace

uint8_t Z80_ReadMemory(T_Z80_CPU_CORE& cpu, uint16_t address) {
    // System RAM is the most frequent target (stack, variables) and does not
    // depend on the memory control register, so it is decided first.
    if (address >= 0xC000) return cpu.Ram[address & 0x1FFF];
    if (address >= 0x8000 && (cpu.RamControl & 0x08)) [[unlikely]] {
        if (IsCartRam(cpu, address)) {
            cpu.CartRamDirty = 1;
            return cpu.CartRam[CartRamOffset(cpu, address)];
        }
    }
    // The fixed first kilobyte reads bank 0: a path of its own, the offset
    // the address itself, as fast as before the other mappers came.
    if (InFixedKilobyte(cpu, address)) return ReadRomArea(cpu, address);
    // The three paging registers are consecutive bytes of the CPU object,
    // so the window number (address >> 14, 0 to 2 here) indexes them.
    const auto* slots = reinterpret_cast<const uint8_t*>(&cpu) + offsetof(T_Z80_CPU_CORE, PageSlot0);
    return ReadRomArea(cpu, slots[address >> 14] * Z80_BANK_SIZE + (address & 0x3FFF));
}

namespace {

// A write into the cartridge's area (0x0000-0xBFFF) with a mapper other than
// Sega's: its registers, and the Codemasters cartridge RAM.
[[gnu::noinline]] void WriteCartridgeMapper(T_Z80_CPU_CORE& cpu, uint16_t address, uint8_t value) {
    switch (cpu.Mapper) {
        case Z80_MAPPER_CODEMASTERS:
            if (address >= 0xA000 && (cpu.RamControl & 0x08)) {
                cpu.CartRamDirty = 1;
                cpu.CartRam[address & 0x1FFF] = value;
            } else if (address == 0x0000) {
                cpu.PageSlot0 = ReduceBank(cpu, value);
            } else if (address == 0x4000) {
                // Bit 7 is the RAM's switch, not part of the bank number.
                cpu.PageSlot1 = ReduceBank(cpu, value & 0x7F);
                cpu.RamControl = (value & 0x80) ? 0x08 : 0x00;
            } else if (address == 0x8000) {
                cpu.PageSlot2 = ReduceBank(cpu, value);
            }
            break;
        case Z80_MAPPER_KOREAN:
            if (address == 0xA000) cpu.PageSlot2 = ReduceBank(cpu, value);
            break;
        default:  // no mapper: ROM ignores writes
            break;
    }
}

}  // namespace

void Z80_WriteMemory(T_Z80_CPU_CORE& cpu, uint16_t address, uint8_t value) {
    if (address < 0x8000) {  // ROM
        if (cpu.Mapper != Z80_MAPPER_SEGA) [[unlikely]] WriteCartridgeMapper(cpu, address, value);
        return;
    }
    if (address < 0xC000) {
        if (cpu.Mapper != Z80_MAPPER_SEGA) [[unlikely]] {
            WriteCartridgeMapper(cpu, address, value);
            return;
        }
        if (cpu.RamControl & 0x08) {
            cpu.CartRamDirty = 1;
            cpu.CartRam[CartRamOffset(cpu, address)] = value;
        }
        return;
    }
    // The paging registers are write-only; the RAM underneath keeps the
    // value as written, so a program that reads them back sees its own byte.
    // One test keeps the four registers off the path of ordinary RAM writes.
    // Only the Sega mapper has them; with the others the bytes are RAM alone.
    if (address >= 0xFFFC && cpu.Mapper == Z80_MAPPER_SEGA) [[unlikely]] {
        switch (address) {
            case 0xFFFC: cpu.RamControl = value; break;
            case 0xFFFD: cpu.PageSlot0 = ReduceBank(cpu, value); break;
            case 0xFFFE: cpu.PageSlot1 = ReduceBank(cpu, value); break;
            default: cpu.PageSlot2 = ReduceBank(cpu, value); break;
        }
    }
    cpu.Ram[address & 0x1FFF] = value;
}

void Z80_SetBiosType(T_Z80_CPU_CORE& cpu, uint8_t type) { cpu.BiosType = type; }

// No cartridge: a blank area with the identity of an empty image. The bank
// count stays as it was (the paging of a blank area reads zeros either way).
void Z80_ClearRom(T_Z80_CPU_CORE& cpu) {
    std::memset(cpu.Rom, 0, sizeof cpu.Rom);
    cpu.RomSize = 0;
    cpu.RomHash = Z80_HashImage(cpu.Rom, 0);
}

// The debugger's view follows the same decisions as Z80_ReadMemory, in the
// same order, but only looks. A CPU without a bus (not wired yet) shows the
// cartridge.
T_Z80_BANK Z80_MapAddress(const T_Z80_CPU_CORE& cpu, uint16_t address) {
    if (address >= 0xC000) return {TZ80BankKind::Ram, 0, static_cast<uint16_t>(address & 0x1FFF)};
    if (address >= 0x8000 && (cpu.RamControl & 0x08) && IsCartRam(cpu, address)) {
        // Number and Offset locate the byte as Z80_PeekMemory reads it:
        // CartRam[Number * 16 KB + Offset].
        const std::size_t offset = CartRamOffset(cpu, address);
        return {TZ80BankKind::Sram, static_cast<uint8_t>(offset / Z80_BANK_SIZE),
                static_cast<uint16_t>(offset % Z80_BANK_SIZE)};
    }
    if (cpu.Bus != nullptr && !(Interconnect_GetMemoryControl(*cpu.Bus) & 0x08) &&
        (cpu.GameGearBios == 0 || address < Z80_GAME_GEAR_BIOS_SIZE))
        return {TZ80BankKind::Bios, 0, static_cast<uint16_t>(address & (Z80_BIOS_SIZE - 1))};
    const uint8_t slots[3] = {cpu.PageSlot0, cpu.PageSlot1, cpu.PageSlot2};
    const std::size_t bank = InFixedKilobyte(cpu, address) ? 0 : slots[address >> 14];
    return {TZ80BankKind::Rom, static_cast<uint8_t>(bank % Z80_MAX_ROM_BANKS), static_cast<uint16_t>(address & 0x3FFF)};
}

uint8_t Z80_PeekMemory(const T_Z80_CPU_CORE& cpu, uint16_t address) {
    const T_Z80_BANK bank = Z80_MapAddress(cpu, address);
    switch (bank.Kind) {
        case TZ80BankKind::Ram: return cpu.Ram[bank.Offset];
        case TZ80BankKind::Sram: return cpu.CartRam[bank.Number * Z80_BANK_SIZE + bank.Offset];
        case TZ80BankKind::Bios:
            if (cpu.GameGearBios != 0) return Z80_GameGearBios[bank.Offset & (Z80_GAME_GEAR_BIOS_SIZE - 1)];
            return Z80_BiosImages[cpu.BiosType ? 1 : 0][bank.Offset];
        default: return cpu.Rom[bank.Number * Z80_BANK_SIZE + bank.Offset];
    }
}

uint8_t Z80_PeekMemoryAt(const void* cpu, uint16_t address) {
    return Z80_PeekMemory(*static_cast<const T_Z80_CPU_CORE*>(cpu), address);
}

// Written by hand rather than with snprintf: a trace names the bank on every
// line, and the formatting call cost twice the disassembly.
char* Z80_BankName(const T_Z80_BANK& bank, char (&out)[8]) {
    const char* word = "ROM ";
    unsigned number = bank.Number % Z80_MAX_ROM_BANKS;
    switch (bank.Kind) {
        case TZ80BankKind::Ram: std::memcpy(out, "RAM", 4); return out;
        case TZ80BankKind::Bios: std::memcpy(out, "BIOS", 5); return out;
        case TZ80BankKind::Sram: word = "SRAM "; number = bank.Number & 1; break;
        default: break;
    }
    char* p = out;
    while (*word) *p++ = *word++;
    if (number >= 10) *p++ = static_cast<char>('0' + number / 10);
    *p++ = static_cast<char>('0' + number % 10);
    *p = '\0';
    return out;
}
