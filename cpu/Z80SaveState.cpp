// Z80EM: the CPU's part of a saved state.
//
// Every field is written little-endian at a fixed width, in the order below,
// so that a state does not depend on the compiler's layout of the object:
//
//   A F B C D E H L, then the alternate set in the same order   16 x u8
//   I R                                                          2 x u8
//   SP PC IX IY                                                  4 x u16
//   PageSlot0 PageSlot1 PageSlot2 RamControl                     4 x u8
//   Halted InterruptMode IFF1 IFF2 NmiActive                     5 x u8
//   NmiLockCounter                                               u16
//   LastOpcode CartRamDirty                                      2 x u8
//   Ram (8192 bytes), CartRam (32768 bytes)
//
// The mapper's part, apart: Mapper                              u8
#include <cstring>

#include "LittleEndian.h"
#include "Z80EM.h"

namespace {

using TWriter = TLeWriter;
using TReader = TLeReader;

// Offsets of the checked fields within the part.
constexpr std::size_t kPagingOffset = 26;
constexpr std::size_t kInterruptOffset = 30;

}  // namespace

void Z80_SaveState(const T_Z80_CPU_CORE& cpu, uint8_t* out) {
    TWriter w{out};
    for (uint8_t v : {cpu.A, cpu.F, cpu.B, cpu.C, cpu.D, cpu.E, cpu.H, cpu.L}) w.U8(v);
    for (uint8_t v : {cpu.AltA, cpu.AltF, cpu.AltB, cpu.AltC, cpu.AltD, cpu.AltE, cpu.AltH, cpu.AltL}) w.U8(v);
    w.U8(cpu.I);
    w.U8(cpu.R);
    for (uint16_t v : {cpu.SP, cpu.PC, cpu.IX, cpu.IY}) w.U16(v);
    for (uint8_t v : {cpu.PageSlot0, cpu.PageSlot1, cpu.PageSlot2, cpu.RamControl}) w.U8(v);
    w.U8(cpu.Halted);
    w.U8(static_cast<uint8_t>(cpu.InterruptMode));
    w.U8(cpu.IFF1);
    w.U8(cpu.IFF2);
    w.U8(cpu.NmiActive);
    w.U16(static_cast<uint16_t>(cpu.NmiLockCounter));
    w.U8(cpu.LastOpcode);
    w.U8(cpu.CartRamDirty);
    w.Bytes(cpu.Ram, sizeof cpu.Ram);
    w.Bytes(cpu.CartRam, sizeof cpu.CartRam);
}

bool Z80_ValidateState(const T_Z80_CPU_CORE& cpu, const uint8_t* data, std::size_t size, std::string& reason) {
    if (size != Z80_STATE_SIZE) {
        reason = "the CPU section is " + std::to_string(size) + " bytes long, not " + std::to_string(Z80_STATE_SIZE);
        return false;
    }
    // Bank numbers are reduced to the image's banks when the program writes
    // them, so a larger one never occurs. Without a cartridge the area is
    // blank and any bank of it reads the same.
    const unsigned banks = cpu.RomSize == 0 ? Z80_MAX_ROM_BANKS : (cpu.RomBankCount ? cpu.RomBankCount : 1);
    for (int slot = 0; slot < 3; ++slot) {
        const uint8_t bank = data[kPagingOffset + slot];
        if (bank >= banks) {
            reason = "paging register " + std::to_string(slot) + " selects bank " + std::to_string(bank) +
                     ", but the cartridge has " + std::to_string(banks) + (banks == 1 ? " bank" : " banks");
            return false;
        }
    }
    TReader r{data + kInterruptOffset};
    const uint8_t halted = r.U8(), mode = r.U8(), iff1 = r.U8(), iff2 = r.U8(), nmi = r.U8();
    const uint16_t lock = r.U16();
    r.U8();  // LastOpcode: any byte
    const uint8_t dirty = r.U8();
    struct TFlag {
        const char* name;
        uint8_t value;
        uint8_t max;
    };
    const TFlag flags[] = {{"the CPU's halt flag", halted, 1},
                           {"the interrupt mode", mode, 2},
                           {"interrupt flip-flop 1", iff1, 1},
                           {"interrupt flip-flop 2", iff2, 1},
                           {"the NMI flag", nmi, 1},
                           {"the cartridge RAM's used flag", dirty, 1}};
    for (const TFlag& f : flags) {
        if (f.value > f.max) {
            reason = std::string(f.name) + " is " + std::to_string(f.value) + ", above " + std::to_string(f.max);
            return false;
        }
    }
    if (lock > Z80_NMI_LOCK_CALLS) {
        reason = "the NMI lock-out counter is " + std::to_string(lock) + ", above " + std::to_string(Z80_NMI_LOCK_CALLS);
        return false;
    }
    return true;
}

void Z80_LoadState(T_Z80_CPU_CORE& cpu, const uint8_t* data) {
    TReader r{data};
    for (uint8_t* v : {&cpu.A, &cpu.F, &cpu.B, &cpu.C, &cpu.D, &cpu.E, &cpu.H, &cpu.L}) *v = r.U8();
    for (uint8_t* v : {&cpu.AltA, &cpu.AltF, &cpu.AltB, &cpu.AltC, &cpu.AltD, &cpu.AltE, &cpu.AltH, &cpu.AltL})
        *v = r.U8();
    cpu.I = r.U8();
    cpu.R = r.U8();
    for (uint16_t* v : {&cpu.SP, &cpu.PC, &cpu.IX, &cpu.IY}) *v = r.U16();
    for (uint8_t* v : {&cpu.PageSlot0, &cpu.PageSlot1, &cpu.PageSlot2, &cpu.RamControl}) *v = r.U8();
    // The fixed kilobyte's limit follows the mapper, also in a CPU that was
    // never reset before the state came.
    cpu.FixedEnd = cpu.Mapper == Z80_MAPPER_SEGA ? 0x0400 : 0;
    cpu.Halted = r.U8();
    cpu.InterruptMode = r.U8();
    cpu.IFF1 = r.U8();
    cpu.IFF2 = r.U8();
    cpu.NmiActive = r.U8();
    cpu.NmiLockCounter = r.U16();
    cpu.LastOpcode = r.U8();
    // The battery file is written at the stop when the cartridge RAM was used
    // in this session or in the one the state comes from: either way what the
    // game now holds may differ from the file.
    cpu.CartRamDirty = uint8_t(cpu.CartRamDirty | r.U8());
    r.Bytes(cpu.Ram, sizeof cpu.Ram);
    r.Bytes(cpu.CartRam, sizeof cpu.CartRam);
}

// The exact model's part, in this order:
//
//   WZ                                                           u16
//   Q EiDelay PrefixHold AfterLdAir NmiPending LineCarry         6 x u8
namespace {

// The longest step (23 T) started on the line's last cycle runs 22 past it.
constexpr uint8_t kMaxLineCarry = 22;

}  // namespace

void Z80_SaveExactState(const T_Z80_CPU_CORE& cpu, uint8_t* out) {
    TWriter w{out};
    w.U16(cpu.WZ);
    for (uint8_t v : {cpu.Q, cpu.EiDelay, cpu.PrefixHold, cpu.AfterLdAir, cpu.NmiPending, cpu.LineCarry}) w.U8(v);
}

bool Z80_ValidateExactState(const T_Z80_CPU_CORE&, const uint8_t* data, std::size_t size, std::string& reason) {
    if (size != Z80_EXACT_STATE_SIZE) {
        reason = "the exact CPU section is " + std::to_string(size) + " bytes long, not " +
                 std::to_string(Z80_EXACT_STATE_SIZE);
        return false;
    }
    TReader r{data + 3};  // past WZ and Q, which may hold any value
    struct TField {
        const char* name;
        uint8_t value;
        uint8_t max;
    };
    const TField fields[] = {{"the EI hold", r.U8(), 1},
                             {"the prefix hold", r.U8(), 1},
                             {"the LD A,I/R mark", r.U8(), 1},
                             {"the pending NMI", r.U8(), 1},
                             {"the line carry", r.U8(), kMaxLineCarry}};
    for (const TField& f : fields) {
        if (f.value > f.max) {
            reason = std::string(f.name) + " is " + std::to_string(f.value) + ", above " + std::to_string(f.max);
            return false;
        }
    }
    return true;
}

void Z80_LoadExactState(T_Z80_CPU_CORE& cpu, const uint8_t* data) {
    TReader r{data};
    cpu.WZ = r.U16();
    for (uint8_t* v : {&cpu.Q, &cpu.EiDelay, &cpu.PrefixHold, &cpu.AfterLdAir, &cpu.NmiPending, &cpu.LineCarry})
        *v = r.U8();
}

namespace {

const char* MapperName(unsigned mapper) {
    switch (mapper) {
        case Z80_MAPPER_SEGA: return "the Sega mapper";
        case Z80_MAPPER_CODEMASTERS: return "the Codemasters mapper";
        case Z80_MAPPER_KOREAN: return "the Korean mapper";
        default: return "no mapper";
    }
}

}  // namespace

void Z80_SaveMapperState(const T_Z80_CPU_CORE& cpu, uint8_t* out) {
    TWriter w{out};
    w.U8(cpu.Mapper);
}

bool Z80_ValidateMapperState(const T_Z80_CPU_CORE& cpu, const uint8_t* data, std::size_t size, std::string& reason) {
    if (size != Z80_MAPPER_STATE_SIZE) {
        reason = "the mapper section is " + std::to_string(size) + " bytes long, not " +
                 std::to_string(Z80_MAPPER_STATE_SIZE);
        return false;
    }
    const uint8_t mapper = data[0];
    if (mapper >= Z80_MAPPER_COUNT) {
        reason = "the mapper is " + std::to_string(mapper) + ", above " + std::to_string(Z80_MAPPER_COUNT - 1);
        return false;
    }
    if (mapper != cpu.Mapper) {
        reason = std::string("the cartridge was paged with ") + MapperName(mapper) + ", this console pages it with " +
                 MapperName(cpu.Mapper);
        return false;
    }
    return true;
}

void Z80_LoadMapperState(T_Z80_CPU_CORE& cpu, const uint8_t* data) {
    TReader r{data};
    cpu.Mapper = r.U8();
    cpu.FixedEnd = cpu.Mapper == Z80_MAPPER_SEGA ? 0x0400 : 0;
}
