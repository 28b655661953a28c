// TConsole's inspection: the memory regions, the CPU's registers, the
// disassembly and the chips' read-outs that debuggers show, and the copy a
// debugger takes of a running console.
#include "Console.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "ConsoleChips.h"
#include "PsgReadout.h"
#include "VdpReadout.h"
#include "Z80Disasm.h"


std::size_t TConsole::RegionSize(TMemoryRegion region) const {
    switch (region) {
        case TMemoryRegion::SystemRam: return Z80_RAM_SIZE;
        case TMemoryRegion::CartridgeRam: return Z80_CART_RAM_SIZE;
        case TMemoryRegion::Vram: return VDP_VRAM_SIZE;
        case TMemoryRegion::Cram: return VDP_CRAM_SIZE;
        case TMemoryRegion::CpuSpace: return 0x10000;
    }
    return 0;
}

const char* TConsole::RegionName(TMemoryRegion region) const {
    switch (region) {
        case TMemoryRegion::SystemRam: return "System RAM (#C000-#DFFF)";
        case TMemoryRegion::CartridgeRam: return "Cartridge RAM (2 x 16 KB at #8000-#BFFF)";
        case TMemoryRegion::Vram: return "VRAM (16 KB)";
        case TMemoryRegion::Cram: return "CRAM (32 colours)";
        case TMemoryRegion::CpuSpace: return "CPU address space (the banks mapped now)";
    }
    return "";
}

uint8_t TConsole::Peek(TMemoryRegion region, uint32_t offset) const {
    if (offset >= RegionSize(region)) return 0;
    const T_Z80_CPU_CORE& cpu = *chips_->Cpu;
    switch (region) {
        case TMemoryRegion::SystemRam: return cpu.Ram[offset];
        case TMemoryRegion::CartridgeRam: return cpu.CartRam[offset];
        case TMemoryRegion::Vram: return chips_->Vdp->VRAM[offset];
        case TMemoryRegion::Cram: return chips_->Vdp->CRAM[offset];
        case TMemoryRegion::CpuSpace: return Z80_PeekMemory(cpu, static_cast<uint16_t>(offset));
    }
    return 0;
}

void TConsole::Poke(TMemoryRegion region, uint32_t offset, uint8_t value) {
    if (offset >= RegionSize(region)) return;
    T_Z80_CPU_CORE& cpu = *chips_->Cpu;
    switch (region) {
        case TMemoryRegion::SystemRam: cpu.Ram[offset] = value; break;
        case TMemoryRegion::CartridgeRam:
            cpu.CartRam[offset] = value;
            cpu.CartRamDirty = 1;  // kept in the battery file
            break;
        case TMemoryRegion::Vram: chips_->Vdp->VRAM[offset] = value; break;
        case TMemoryRegion::Cram: chips_->Vdp->CRAM[offset] = value & 0x3F; break;
        // A write as the CPU would make it: ROM stays as it is, the mapper's
        // registers (#FFFC-#FFFF for the Sega mapper) set the paging.
        case TMemoryRegion::CpuSpace: Z80_WriteMemory(cpu, static_cast<uint16_t>(offset), value); break;
    }
}

uint8_t* TConsole::RegionData(TMemoryRegion region) {
    switch (region) {
        case TMemoryRegion::SystemRam: return chips_->Cpu->Ram;
        case TMemoryRegion::CartridgeRam: return chips_->Cpu->CartRam;
        case TMemoryRegion::Vram: return chips_->Vdp->VRAM;
        case TMemoryRegion::Cram: return chips_->Vdp->CRAM;
        case TMemoryRegion::CpuSpace: return nullptr;
    }
    return nullptr;
}

TCpuRegisters Console_CpuRegisters(const T_Z80_CPU_CORE& c) {
    TCpuRegisters r{};
    r.A = c.A, r.F = c.F, r.B = c.B, r.C = c.C, r.D = c.D, r.E = c.E, r.H = c.H, r.L = c.L;
    r.AltA = c.AltA, r.AltF = c.AltF, r.AltB = c.AltB, r.AltC = c.AltC;
    r.AltD = c.AltD, r.AltE = c.AltE, r.AltH = c.AltH, r.AltL = c.AltL;
    r.IX = c.IX, r.IY = c.IY, r.SP = c.SP, r.PC = c.PC;
    r.I = c.I, r.R = c.R;
    r.InterruptMode = static_cast<uint8_t>(c.InterruptMode);
    r.IFF1 = c.IFF1, r.IFF2 = c.IFF2, r.Halted = c.Halted;
    return r;
}

TCpuRegisters TConsole::Registers() const { return Console_CpuRegisters(*chips_->Cpu); }

void TConsole::SetRegisters(const TCpuRegisters& r) {
    T_Z80_CPU_CORE& c = *chips_->Cpu;
    c.A = r.A, c.F = r.F, c.B = r.B, c.C = r.C, c.D = r.D, c.E = r.E, c.H = r.H, c.L = r.L;
    c.AltA = r.AltA, c.AltF = r.AltF, c.AltB = r.AltB, c.AltC = r.AltC;
    c.AltD = r.AltD, c.AltE = r.AltE, c.AltH = r.AltH, c.AltL = r.AltL;
    c.IX = r.IX, c.IY = r.IY, c.SP = r.SP, c.PC = r.PC;
    c.I = r.I, c.R = r.R;
    c.InterruptMode = r.InterruptMode;
    c.IFF1 = r.IFF1, c.IFF2 = r.IFF2, c.Halted = r.Halted;
}

void TConsole::Disassemble(uint16_t address, T_Z80_INSTRUCTION& out) const {
    Z80_Disassemble(Z80_PeekMemoryAt, chips_->Cpu.get(), address, out);
}

std::string TConsole::BankName(uint16_t address) const {
    char name[8];
    return Z80_BankName(Z80_MapAddress(*chips_->Cpu, address), name);
}

int TConsole::RomBankAt(uint16_t address) const {
    const T_Z80_BANK bank = Z80_MapAddress(*chips_->Cpu, address);
    return bank.Kind == TZ80BankKind::Rom ? bank.Number : -1;
}

uint8_t TConsole::ReadPort(uint8_t port) { return Interconnect_ReadPort(*chips_->Bus, port); }

// Between frames the VDP's line and the CPU's cycle are the last frame's:
// the real chip takes a tool's write where it stands instead.
void TConsole::WritePort(uint8_t port, uint8_t value) {
    const uint8_t folded = uint8_t(port | 0x3E);
    if (HasStereoSound() && (folded == 0x7E || folded == 0x7F)) {
        PSG_WriteExact(*chips_->Psg, value, chips_->Psg->ExactCycle);
        return;
    }
    Interconnect_WritePort(*chips_->Bus, port, value);
}

void TConsole::ReadPalette(T_VDP_PALETTE_INFO& info) const { VDP_ReadPalette(*chips_->Vdp, info); }
void TConsole::ReadColourMemory(T_VDP_COLOUR_MEMORY& info) const { VDP_ReadColourMemory(*chips_->Vdp, info); }
void TConsole::DrawTileSheet(TVdpPalette palette, uint32_t* out) const { VDP_DrawTileSheet(*chips_->Vdp, palette, out); }
void TConsole::ReadNameTable(T_VDP_NAME_TABLE& table) const { VDP_ReadNameTable(*chips_->Vdp, table); }
void TConsole::DrawNameTable(uint32_t* out) const { VDP_DrawNameTable(*chips_->Vdp, out); }
void TConsole::ReadScrollWindow(T_VDP_SCROLL_WINDOW& window) const { VDP_ReadScrollWindow(*chips_->Vdp, window); }
void TConsole::ScrollWindowMask(uint8_t* mask) const { VDP_ScrollWindowMask(*chips_->Vdp, mask); }

bool TConsole::ReadPalette12(uint16_t* colours) const {
    T_VDP_COLOUR_MEMORY memory;
    VDP_ReadColourMemory(*chips_->Vdp, memory);
    if (memory.GameGear == 0) return false;
    std::copy(std::begin(memory.Value), std::end(memory.Value), colours);
    return true;
}

void TConsole::HandheldWindowMask(uint8_t* mask) const {
    // The handheld's screen: 160 x 144 from the middle of the 256 x 192
    // picture.
    const T_VDP_CORE& vdp = *chips_->Vdp;
    std::memset(mask, 0, VDP_PLANE_WIDTH * VDP_PLANE_HEIGHT);
    if (vdp.Model != VDP_MODEL_GAME_GEAR) return;
    // Lines 24-167 of a 192-line picture, 40-183 of a 224-line one.
    const uint32_t kLeft = VDP_GG_WINDOW_LEFT, kTop = VDP_GameGearWindowTop(vdp);
    constexpr uint32_t kWidth = VDP_GG_WINDOW_WIDTH, kHeight = VDP_GG_WINDOW_HEIGHT;
    for (uint32_t line = kTop; line < kTop + kHeight; ++line)
        for (uint32_t x = kLeft; x < kLeft + kWidth; ++x) {
            uint32_t px, py;
            VDP_ScreenToPlane(vdp, x, line, px, py);
            mask[py * VDP_PLANE_WIDTH + px] = 1;
        }
}

void TConsole::ReadSprites(T_VDP_SPRITE_TABLE& table) const { VDP_ReadSprites(*chips_->Vdp, table); }
std::vector<T_VDP_FIELD> TConsole::DescribeVdpRegisters() const { return VDP_DescribeRegisters(*chips_->Vdp); }
void TConsole::ReadSound(T_PSG_READOUT& info) const { PSG_Readout(*chips_->Psg, info); }

void TConsole::CopyFrom(const TConsole& other) {
    if (&other == this) return;
    *chips_->Cpu = *other.chips_->Cpu;
    *chips_->Bus = *other.chips_->Bus;
    *chips_->Vdp = *other.chips_->Vdp;
    *chips_->Psg = *other.chips_->Psg;
    // The copies point at each other, never back into the other console;
    // a debug hook belongs to the console it was put into.
    chips_->Cpu->Bus = chips_->Bus.get();
    chips_->Cpu->DebugHook = nullptr;
    chips_->Bus->Vdp = chips_->Vdp.get();
    chips_->Bus->Psg = chips_->Psg.get();
    chips_->Samples = other.chips_->Samples;
    settings_ = other.settings_;
    cartridgeName_ = other.cartridgeName_;
    cartridgeImageName_ = other.cartridgeImageName_;
    frameImage_ = other.frameImage_;
    frameNumber_ = other.frameNumber_;
    hasPicture_ = other.hasPicture_;
    skipCounter_ = other.skipCounter_;
    pausePressed_ = other.pausePressed_;
    pauseHeld_ = other.pauseHeld_;
    frameskip_.store(other.Frameskip(), std::memory_order_relaxed);
}
