// Z80EM: the console's Z80 CPU together with its memory.
//
// T_Z80_CPU_CORE holds the registers, the interrupt state and the console's
// memory (ROM area, system RAM, cartridge RAM, paging registers). The
// procedures below, all taking the object first, are grouped by concern and
// implemented in separate files: state and reset, memory map, ROM and
// battery files, flags and ALU, the instruction step, the run loop.
//
// Seam: the instruction step and the run loop reach memory and ports only
// through Z80_ReadMemory, Z80_WriteMemory, Interconnect_ReadPort,
// Interconnect_WritePort and Interconnect_GetInterruptLine. They live in the
// library tiravel_z80; the memory map lives in tiravel_z80_memory and the
// ports in tiravel_bus. A test binary may link tiravel_z80 with its own
// definitions of those five functions (flat 64 KB memory, stub ports) and so
// run exactly the production instruction code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

struct T_INTERCONNECT_CORE;
struct T_Z80_CPU_CORE;

// A debugger's view into the run loop (see Z80_RunCycles). Plain function
// pointers with a context, so the CPU knows nothing of who listens.
struct T_Z80_DEBUG_HOOK {
    void* Context;
    // Before each instruction, PC at it; while the CPU idles on a HALT, once
    // per run call instead (cpu.Halted is 1 then, PC past the HALT). Nonzero
    // ends the run call at once, the instruction not executed. May block.
    uint8_t (*Before)(void* context, T_Z80_CPU_CORE& cpu);
    // After each instruction, with its T-states.
    void (*After)(void* context, T_Z80_CPU_CORE& cpu, uint32_t cycles);
    // A maskable interrupt was just accepted (PC at its handler in modes 1
    // and 2; mode 0 only disables interrupts).
    void (*Accepted)(void* context, T_Z80_CPU_CORE& cpu);
};

constexpr std::size_t Z80_ROM_SIZE = 1048576;
constexpr std::size_t Z80_BANK_SIZE = 16384;
constexpr std::size_t Z80_MAX_ROM_BANKS = Z80_ROM_SIZE / Z80_BANK_SIZE;  // 64
constexpr std::size_t Z80_RAM_SIZE = 8192;
constexpr std::size_t Z80_CART_RAM_SIZE = 32768;
constexpr std::size_t Z80_BIOS_SIZE = 8192;
// The Game Gear's BIOS: one kilobyte, at 0x0000-0x03FF only.
constexpr std::size_t Z80_GAME_GEAR_BIOS_SIZE = 1024;
// Run-loop calls for which a taken NMI locks out the next one.
constexpr int32_t Z80_NMI_LOCK_CALLS = 5000;

// Zero-filled on creation (no constructor; about 1.1 MB, so allocate it on
// the heap with value-initialisation); Z80_Reset gives the start values.
struct T_Z80_CPU_CORE {
    uint8_t A, AltA;
    uint8_t B, AltB;
    uint8_t C, AltC;
    uint8_t D, AltD;
    uint8_t E, AltE;
    uint8_t H, AltH;
    uint8_t L, AltL;
    uint8_t F, AltF;        // packed flags: S Z Y H X P/V N C
    uint8_t I;
    uint8_t R;              // default model: +3 per instruction, all 8 bits; exact: +1 per opcode fetch in bits 0-6
    uint16_t SP;
    uint16_t PC;
    uint16_t IX;
    uint16_t IY;
    uint8_t Rom[Z80_ROM_SIZE];
    uint8_t Ram[Z80_RAM_SIZE];
    uint8_t CartRam[Z80_CART_RAM_SIZE];
    uint8_t PageSlot0;      // bank at 0x0400-0x3FFF
    uint8_t PageSlot1;      // bank at 0x4000-0x7FFF
    uint8_t PageSlot2;      // bank at 0x8000-0xBFFF
    uint8_t RamControl;     // written at 0xFFFC: bit 3 maps cartridge RAM, bit 2 its bank
                            // (the Codemasters mapper: bit 3 alone, its 8 KB at 0xA000)
    uint8_t RomBankCount;   // 16 KB banks of the loaded image, a partial last one counted, 1-64
    uint8_t BiosType;       // 0 Japanese, other American / Brazilian
    uint8_t Halted;
    int32_t InterruptMode;
    uint8_t IFF1;
    uint8_t IFF2;
    uint8_t NmiActive;
    int32_t NmiLockCounter;
    uint8_t LastOpcode;     // 0xFB (EI) holds off interrupt acceptance
    uint8_t CartRamDirty;
    T_INTERCONNECT_CORE* Bus;  // not owned
    // The loaded cartridge's identity: its image size in bytes (0 = no
    // cartridge) and the FNV-1a 64-bit hash of those bytes, set by
    // Z80_LoadRomImage and Z80_ClearRom. A saved state names the cartridge by them.
    uint32_t RomSize;
    uint64_t RomHash;
    // The model, set by the machine before a reset and kept through resets:
    // 0 = the default model's core, 1 = exact to the NMOS Zilog part (flag
    // bits 3 and 5, MEMPTR, R, every T-state, the NMI on an edge, HALT ended
    // by an interrupt, the cycles past a line carried into the next).
    uint8_t Exact;
    // The exact model's own state (all zero and unused in the default model).
    // WZ is the chip's internal address latch (MEMPTR): BIT n,(HL) shows its
    // bits 13 and 11 as flag bits 5 and 3. Q is the flag byte the last
    // instruction computed, 0 when it computed none: SCF and CCF take bits 5
    // and 3 from (Q XOR F) OR A on the NMOS part.
    uint16_t WZ;
    uint8_t Q;
    uint8_t EiDelay;        // the last instruction was EI: no maskable interrupt at this boundary
    uint8_t PrefixHold;     // the last step was a DD/FD prefix alone: no interrupt of either kind here
    uint8_t AfterLdAir;     // the last instruction was LD A,I or LD A,R (an INT accepted now clears P/V)
    uint8_t NmiPending;     // the NMI input saw an edge; taken at the next boundary
    // The T-states the last instruction of a run call ran past its budget;
    // they count against the next call (the next scan line). 0-22.
    uint8_t LineCarry;
    // The 16-bit address the last port access put on the bus (A or B in the
    // high byte). The console decodes only the low byte; kept for the
    // conformance tests, which check the whole address.
    uint16_t PortAddress;
    // The cartridge's bank switching (TZ80Mapper); the default model's is
    // always Z80_MAPPER_SEGA. Every mapper keeps its slots' banks in
    // PageSlot0-2 (the Korean register is PageSlot2), so the read path is
    // the same for all of them.
    uint8_t Mapper;
    // The end of the fixed first kilobyte, following Mapper (Z80_ResetPaging
    // and Z80_LoadMapperState set it): reads below it take bank 0 whatever
    // slot 0 holds. 0x0400 for the Sega mapper; 0 for the Codemasters
    // mapper, whose slot 0 pages that kilobyte too, and for the others,
    // whose slot 0 never moves. A limit rather than a test of Mapper keeps
    // the read path one comparison long.
    uint16_t FixedEnd;
    // 1 when the Game Gear's BIOS is the console's (Z80_GameGearBios): while
    // the memory control register maps the BIOS, it answers 0x0000-0x03FF
    // alone and the cartridge the rest, so that the BIOS can read the
    // cartridge's header before it hands over. Set by the machine with the
    // model; 0 everywhere else.
    uint8_t GameGearBios;
    // Null in normal running: the run loop checks it once per call and only
    // then takes its slower, observed path. Not owned, not part of a state.
    T_Z80_DEBUG_HOOK* DebugHook;
};

// The cartridges' bank switching schemes.
enum TZ80Mapper : uint8_t {
    Z80_MAPPER_SEGA = 0,         // registers at #FFFC-#FFFF, the first 1 KB fixed
    Z80_MAPPER_CODEMASTERS = 1,  // registers at #0000, #4000, #8000
    Z80_MAPPER_KOREAN = 2,       // one register at #A000 for slot 2
    Z80_MAPPER_NONE = 3,         // 48 KB or less, at #0000-#BFFF as it stands
};
constexpr uint8_t Z80_MAPPER_COUNT = 4;

// The paging as the mapper chip powers up: banks 0, 1, 2 (0, 1, 0 for the
// Codemasters mapper). The Sega mapper keeps its RAM control register, as
// the console's reset always did; the others have no such register and
// start with their cartridge RAM unmapped. Inline so that the reset (in the
// instruction library, which links without the memory map) shares it.
inline void Z80_ResetPaging(T_Z80_CPU_CORE& cpu) {
    cpu.PageSlot0 = 0;
    cpu.PageSlot1 = 1;
    cpu.PageSlot2 = 2;
    cpu.FixedEnd = cpu.Mapper == Z80_MAPPER_SEGA ? 0x0400 : 0;
    if (cpu.Mapper == Z80_MAPPER_SEGA) return;
    if (cpu.Mapper == Z80_MAPPER_CODEMASTERS) cpu.PageSlot2 = 0;
    cpu.RamControl = 0;
    // A 16 KB image has one bank: banks are always below the count, as the
    // registers' writes keep them.
    const uint8_t count = cpu.RomBankCount ? cpu.RomBankCount : 1;
    cpu.PageSlot1 = static_cast<uint8_t>(cpu.PageSlot1 % count);
    cpu.PageSlot2 = static_cast<uint8_t>(cpu.PageSlot2 % count);
}

// The eight flags unpacked, one byte each (0 or 1), in bit order of F.
struct T_Z80_FLAG_SET {
    uint8_t Carry;
    uint8_t Subtract;
    uint8_t ParityOverflow;
    uint8_t Bit3;
    uint8_t HalfCarry;
    uint8_t Bit5;
    uint8_t Zero;
    uint8_t Sign;
};

// Raised by Z80_LoadRomImage and the machine's file readers; the message
// names the file and the reason.
class Z80_RomError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The two BIOS images, indexed by type: [0] Japanese, [1] American / Brazilian.
// Read-only for the CPU; the machine fills them before the first start.
extern uint8_t Z80_BiosImages[2][Z80_BIOS_SIZE];
// The Game Gear's BIOS image, read when cpu.GameGearBios is 1.
extern uint8_t Z80_GameGearBios[Z80_GAME_GEAR_BIOS_SIZE];

// State and reset.
void Z80_Reset(T_Z80_CPU_CORE& cpu, T_INTERCONNECT_CORE& bus);

// Memory map.
uint8_t Z80_ReadMemory(T_Z80_CPU_CORE& cpu, uint16_t address);
void Z80_WriteMemory(T_Z80_CPU_CORE& cpu, uint16_t address, uint8_t value);
void Z80_SetBiosType(T_Z80_CPU_CORE& cpu, uint8_t type);
void Z80_ClearRom(T_Z80_CPU_CORE& cpu);

// The memory map for debuggers: the byte Z80_ReadMemory would return, without
// its side effect (a read of cartridge RAM marks it as used). The second form
// is a TZ80Peek (Z80Disasm.h) whose context is the const T_Z80_CPU_CORE*.
uint8_t Z80_PeekMemory(const T_Z80_CPU_CORE& cpu, uint16_t address);
uint8_t Z80_PeekMemoryAt(const void* cpu, uint16_t address);
// What an address maps to now: the cartridge's ROM bank Number (0-63), the
// BIOS image, system RAM, or cartridge RAM bank Number (0-1); Offset is the
// byte's place in that bank (in the 8 KB BIOS or system RAM for those).
enum class TZ80BankKind : uint8_t { Rom, Bios, Ram, Sram };
struct T_Z80_BANK {
    TZ80BankKind Kind;
    uint8_t Number;
    uint16_t Offset;
};
T_Z80_BANK Z80_MapAddress(const T_Z80_CPU_CORE& cpu, uint16_t address);
// Its short name: "ROM 3", "BIOS", "RAM", "SRAM 1" (at most 7 characters and
// the NUL, written into `out`; returns out).
char* Z80_BankName(const T_Z80_BANK& bank, char (&out)[8]);

// The cartridge. Files are the machine layer's: the CPU takes the image as
// bytes, checks it and loads it (a copier's 512-byte header is dropped);
// nothing changes when it is refused. `path` is the file the messages name,
// `entry` (when not empty) the image's own name inside that file, for an
// image taken out of an archive.
void Z80_LoadRomImage(T_Z80_CPU_CORE& cpu, const uint8_t* data, std::size_t size, const std::string& path,
                      const std::string& entry = {});  // throws Z80_RomError

// The mapper the loaded image asks for, as the hardware models' "automatic"
// setting picks it: Codemasters when the image carries a Codemasters header
// at 0x7FE0 (its checksum and the checksum's complement add up to 0x10000,
// and the six bytes after them are zero), the Sega mapper otherwise. The
// Korean mapper and none are never guessed: a Korean cartridge has no mark
// of its own, and the Sega mapper shows an image of 48 KB or less at
// 0x0000-0xBFFF just as a board without a mapper does, while the small
// games and programs that use the Sega mapper's registers (cartridge RAM
// through 0xFFFC, say) keep working. Both are there to be forced.
TZ80Mapper Z80_DetectMapper(const T_Z80_CPU_CORE& cpu);
// Sets the mapper and its power-on paging (Z80_ResetPaging), as plugging in
// the cartridge does.
void Z80_SetMapper(T_Z80_CPU_CORE& cpu, TZ80Mapper mapper);

// Saved states. The CPU's part of a state is Z80_STATE_SIZE bytes: the
// registers, the interrupt state, the paging registers, system RAM and
// cartridge RAM, each field little-endian at a fixed width. The ROM area is
// not part of it: it is the cartridge, named by RomSize and RomHash.
// Z80_ValidateState checks a saved part against this CPU (bank numbers must
// fit the loaded image) without changing anything; Z80_LoadState then
// applies a validated part.
constexpr std::size_t Z80_STATE_SIZE = 39 + Z80_RAM_SIZE + Z80_CART_RAM_SIZE;
void Z80_SaveState(const T_Z80_CPU_CORE& cpu, uint8_t* out /* Z80_STATE_SIZE bytes */);
bool Z80_ValidateState(const T_Z80_CPU_CORE& cpu, const uint8_t* data, std::size_t size, std::string& reason);
void Z80_LoadState(T_Z80_CPU_CORE& cpu, const uint8_t* data /* validated, Z80_STATE_SIZE bytes */);
// The mapper's part of a state, beside the CPU's (whose paging registers and
// RAM control byte hold every mapper's banks and the Codemasters RAM switch):
// which mapper paged the cartridge, one byte. A state is refused by a CPU
// that pages with another mapper, since its bank numbers would mean
// something else there.
constexpr std::size_t Z80_MAPPER_STATE_SIZE = 1;
void Z80_SaveMapperState(const T_Z80_CPU_CORE& cpu, uint8_t* out /* Z80_MAPPER_STATE_SIZE bytes */);
bool Z80_ValidateMapperState(const T_Z80_CPU_CORE& cpu, const uint8_t* data, std::size_t size, std::string& reason);
void Z80_LoadMapperState(T_Z80_CPU_CORE& cpu, const uint8_t* data /* validated */);
// FNV-1a 64-bit over a cartridge image, as kept in RomHash.
uint64_t Z80_HashImage(const uint8_t* data, std::size_t size);

// Flags.
void Z80_UnpackFlags(const T_Z80_CPU_CORE& cpu, T_Z80_FLAG_SET& flags);
void Z80_PackFlags(T_Z80_CPU_CORE& cpu, const T_Z80_FLAG_SET& flags);

// Word and predicate functions.
inline uint16_t Z80_MakeWord(const T_Z80_CPU_CORE&, uint8_t high, uint8_t low) {
    return static_cast<uint16_t>((high << 8) | low);
}
inline uint16_t Z80_AddDisplacement(const T_Z80_CPU_CORE&, uint16_t base, uint8_t d) {
    return static_cast<uint16_t>(base + static_cast<int8_t>(d));
}
void Z80_IncPair(const T_Z80_CPU_CORE& cpu, uint8_t& high, uint8_t& low);
void Z80_DecPair(const T_Z80_CPU_CORE& cpu, uint8_t& high, uint8_t& low);
uint8_t Z80_SignOf(const T_Z80_CPU_CORE& cpu, uint8_t v);
uint8_t Z80_IsZero(const T_Z80_CPU_CORE& cpu, uint8_t v);
uint8_t Z80_Parity(const T_Z80_CPU_CORE& cpu, uint8_t v);
uint8_t Z80_HalfCarry(const T_Z80_CPU_CORE& cpu, uint8_t a, uint8_t b);
uint8_t Z80_HalfBorrow(const T_Z80_CPU_CORE& cpu, uint8_t a, uint8_t b);
uint8_t Z80_OverflowAdd8(const T_Z80_CPU_CORE& cpu, uint8_t a, uint8_t b);
uint8_t Z80_OverflowSub8(const T_Z80_CPU_CORE& cpu, uint8_t a, uint8_t b);
uint8_t Z80_OverflowAdd16(const T_Z80_CPU_CORE& cpu, uint16_t a, uint16_t b);
uint8_t Z80_OverflowSub16(const T_Z80_CPU_CORE& cpu, uint16_t a, uint16_t b);

// ALU. The target receives the result, the flag set the flags.
void Z80_Add8(T_Z80_CPU_CORE& cpu, uint8_t& target, uint8_t operand, T_Z80_FLAG_SET& flags);
void Z80_Adc8(T_Z80_CPU_CORE& cpu, uint8_t& target, uint8_t operand, T_Z80_FLAG_SET& flags);
void Z80_Sub8(T_Z80_CPU_CORE& cpu, uint8_t& target, uint8_t operand, T_Z80_FLAG_SET& flags);
void Z80_Sbc8(T_Z80_CPU_CORE& cpu, uint8_t& target, uint8_t operand, T_Z80_FLAG_SET& flags);
void Z80_And8(T_Z80_CPU_CORE& cpu, uint8_t& target, uint8_t operand, T_Z80_FLAG_SET& flags);
void Z80_Or8(T_Z80_CPU_CORE& cpu, uint8_t& target, uint8_t operand, T_Z80_FLAG_SET& flags);
void Z80_Xor8(T_Z80_CPU_CORE& cpu, uint8_t& target, uint8_t operand, T_Z80_FLAG_SET& flags);
void Z80_Inc8(T_Z80_CPU_CORE& cpu, uint8_t& target, T_Z80_FLAG_SET& flags);
void Z80_Dec8(T_Z80_CPU_CORE& cpu, uint8_t& target, T_Z80_FLAG_SET& flags);
void Z80_Add16(T_Z80_CPU_CORE& cpu, uint16_t& target, uint16_t operand, T_Z80_FLAG_SET& flags);
void Z80_Adc16(T_Z80_CPU_CORE& cpu, uint16_t& target, uint16_t operand, T_Z80_FLAG_SET& flags);
void Z80_Sbc16(T_Z80_CPU_CORE& cpu, uint16_t& target, uint16_t operand, T_Z80_FLAG_SET& flags);
void Z80_Daa(T_Z80_CPU_CORE& cpu, T_Z80_FLAG_SET& flags);

// Index = A + 256*C + 512*H + 1024*N; entry = new A << 8 | new F.
extern const uint16_t DaaTable[2048];

// Instruction step: executes the instruction at PC, returns its T-states.
uint32_t Z80_ExecuteInstruction(T_Z80_CPU_CORE& cpu);
// The exact model's step (whatever cpu.Exact says): the same, with the flag
// bits 3 and 5, WZ, Q and R of the NMOS Zilog part and its T-states. A
// DD/FD prefix followed by another prefix (or ED) is a step of its own (4 T,
// PrefixHold set); any other byte after DD/FD runs with the prefix in one
// step. It does not look at Halted: the run loop idles a halted CPU.
uint32_t Z80_ExecuteExactInstruction(T_Z80_CPU_CORE& cpu);

// Run loop and interrupts. With cpu.DebugHook set, the loop calls the hook
// around every instruction; the instructions and their timing are the same.
void Z80_RunCycles(T_Z80_CPU_CORE& cpu, uint32_t budget);
void Z80_AcceptInterrupt(T_Z80_CPU_CORE& cpu, uint32_t& budget);
// The default model takes the NMI at once and then ignores the button for
// Z80_NMI_LOCK_CALLS calls; the exact model marks one NMI pending (the caller
// calls it once per edge), taken at the next instruction boundary.
void Z80_RaiseNMI(T_Z80_CPU_CORE& cpu);

// The exact model's part of a saved state, beside Z80_STATE_SIZE's part:
// WZ, Q, the interrupt holds, the pending NMI and the line carry, each
// little-endian at a fixed width (see Z80SaveState.cpp).
constexpr std::size_t Z80_EXACT_STATE_SIZE = 8;
void Z80_SaveExactState(const T_Z80_CPU_CORE& cpu, uint8_t* out /* Z80_EXACT_STATE_SIZE bytes */);
bool Z80_ValidateExactState(const T_Z80_CPU_CORE& cpu, const uint8_t* data, std::size_t size, std::string& reason);
void Z80_LoadExactState(T_Z80_CPU_CORE& cpu, const uint8_t* data /* validated */);
