// The open BIOS images on a small stand-alone model of the console, built
// on libz80ex (an independent Z80), so that the hand-over can be observed
// at the very instruction it happens: how many frames after reset, with
// which interrupt, display and PSG state, and which cartridges count as
// blank. The model has only what the BIOS uses: the memory map with the BIOS
// mirrored over 0x0000-0xBFFF, paging, the VDP's ports, registers, memories
// and frame interrupt, the PSG's attenuations and the two pad ports.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <z80ex/z80ex.h>
}

#include "BiosImages.h"

namespace {

constexpr int kLinesPerFrame = 262;
constexpr int kCyclesPerLine = 228;

struct TConsole {
    const unsigned char* Bios = nullptr;
    std::vector<uint8_t> Cart;
    uint8_t Ram[8192] = {};
    uint8_t Page[3] = {0, 1, 2};
    uint8_t MemoryControl = 0;
    // VDP
    uint8_t Reg[16] = {};
    uint8_t Vram[16384] = {};
    uint8_t Cram[32] = {};
    uint16_t Address = 0;
    uint8_t Code = 0, Latch = 0, SecondByte = 0, ReadBuffer = 0, FramePending = 0;
    int Line = 0;
    // PSG
    uint8_t Attenuation[4] = {};
    uint8_t PsgLatch = 0;
    // pads (0 = pressed)
    uint8_t PortA = 0xFF, PortB = 0xFF;

    Z80EX_CONTEXT* Cpu = nullptr;
    int Frame = 0;
    // The first opcode fetch at 0x0000 with the cartridge mapped.
    int HandoverFrame = -1;
    int HandoverIff1 = -1;
    uint8_t HandoverReg1 = 0, HandoverAttenuation[4] = {};
    uint16_t HandoverSp = 0;
    uint8_t HandoverPage[3] = {};
    int QuietestChime = 15;

    bool CartMapped() const { return (MemoryControl & 0x08) != 0; }

    uint8_t Read(uint16_t address) const {
        if (address >= 0xC000) return Ram[address & 0x1FFF];
        if (!CartMapped()) return Bios[address & 0x1FFF];
        if (Cart.empty()) return 0;
        const std::size_t banks = std::max<std::size_t>(1, Cart.size() / 16384);
        const std::size_t offset =
            address < 0x0400 ? address : (Page[address >> 14] % banks) * 16384 + (address & 0x3FFF);
        return offset < Cart.size() ? Cart[offset] : 0;
    }

    void Write(uint16_t address, uint8_t value) {
        if (address < 0xC000) return;
        Ram[address & 0x1FFF] = value;
        if (address >= 0xFFFD) Page[address - 0xFFFD] = value;
    }

    uint8_t In(uint8_t port) {
        switch (port | 0x3E) {
        case 0x7E:
        case 0x7F:
            return static_cast<uint8_t>(Line <= 218 ? Line : Line - 6);
        case 0xBE: {
            const uint8_t value = ReadBuffer;
            ReadBuffer = Vram[Address];
            Address = (Address + 1) & 0x3FFF;
            SecondByte = 0;
            return value;
        }
        case 0xBF: {
            const uint8_t status = FramePending ? 0x80 : 0;
            FramePending = 0;
            return status;
        }
        case 0xFE:
            return PortA;
        case 0xFF: {
            const uint8_t value = PortB;
            PortB |= 0x10;
            return value;
        }
        default:
            return 0xFF;
        }
    }

    void Out(uint8_t port, uint8_t value) {
        switch (port | 0x3E) {
        case 0x3E:
            MemoryControl = value;
            break;
        case 0x7E:
        case 0x7F:
            if (value & 0x80) PsgLatch = (value >> 4) & 7;
            if (PsgLatch & 1) Attenuation[PsgLatch >> 1] = value & 0x0F;
            break;
        case 0xBE:
            if (Code == 3)
                Cram[Address & 0x1F] = value & 0x3F;
            else if (Code != 2)
                Vram[Address] = value;
            Address = (Address + 1) & 0x3FFF;
            break;
        case 0xBF:
            if (!SecondByte) {
                Latch = value;
                SecondByte = 1;
                break;
            }
            SecondByte = 0;
            Code = value >> 6;
            if (Code == 2) {
                Reg[value & 0x0F] = Latch;
                Address = Latch;
            } else {
                Address = static_cast<uint16_t>((Latch | (value & 0x3F) << 8) & 0x3FFF);
                if (Code == 0) {
                    ReadBuffer = Vram[Address];
                    Address = (Address + 1) & 0x3FFF;
                }
            }
            break;
        default:
            break;
        }
    }

    bool InterruptLine() const { return FramePending && (Reg[1] & 0x20); }

    void RunFrame() {
        for (Line = 0; Line < kLinesPerFrame; ++Line) {
            if (Line == 193) FramePending = 1;
            int cycles = 0;
            while (cycles < kCyclesPerLine) {
                if (InterruptLine() && z80ex_int_possible(Cpu)) cycles += z80ex_int(Cpu);
                cycles += z80ex_step(Cpu);
            }
        }
        if (Attenuation[0] < QuietestChime && HandoverFrame < 0) QuietestChime = Attenuation[0];
        ++Frame;
    }

    // Runs until the hand-over or the frame limit.
    void RunUntilHandover(int frames) {
        while (Frame < frames && HandoverFrame < 0) RunFrame();
    }

    // Entry of the name table at tile (column, row).
    uint16_t NameEntry(int column, int row) const {
        const int at = 0x3800 + row * 64 + column * 2;
        return static_cast<uint16_t>(Vram[at] | Vram[at + 1] << 8);
    }
    // Text on a name-table row, read back through the character set's
    // tile numbers (' ' to 'Z' are tiles 0 to 58).
    std::string RowText(int row) const {
        std::string text;
        for (int column = 0; column < 32; ++column) {
            const int tile = NameEntry(column, row) & 0x1FF;
            text += tile <= 58 ? static_cast<char>(' ' + tile) : '?';
        }
        return text;
    }
};

Z80EX_BYTE MemRead(Z80EX_CONTEXT* cpu, Z80EX_WORD address, int m1, void* user) {
    auto& console = *static_cast<TConsole*>(user);
    if (m1 && address == 0 && console.CartMapped() && console.HandoverFrame < 0) {
        console.HandoverFrame = console.Frame;
        console.HandoverIff1 = z80ex_get_reg(cpu, regIFF1);
        console.HandoverReg1 = console.Reg[1];
        std::memcpy(console.HandoverAttenuation, console.Attenuation, 4);
        std::memcpy(console.HandoverPage, console.Page, 3);
        console.HandoverSp = z80ex_get_reg(cpu, regSP);
    }
    return console.Read(address);
}
void MemWrite(Z80EX_CONTEXT*, Z80EX_WORD address, Z80EX_BYTE value, void* user) {
    static_cast<TConsole*>(user)->Write(address, value);
}
Z80EX_BYTE PortRead(Z80EX_CONTEXT*, Z80EX_WORD port, void* user) {
    return static_cast<TConsole*>(user)->In(static_cast<uint8_t>(port));
}
void PortWrite(Z80EX_CONTEXT*, Z80EX_WORD port, Z80EX_BYTE value, void* user) {
    static_cast<TConsole*>(user)->Out(static_cast<uint8_t>(port), value);
}
Z80EX_BYTE IntVector(Z80EX_CONTEXT*, void*) { return 0xFF; }

struct TBoot {
    TConsole Console;
    TBoot(const unsigned char* bios, std::vector<uint8_t> cart) {
        Console.Bios = bios;
        Console.Cart = std::move(cart);
        // Power-on VRAM and pad state need not be clean for the BIOS.
        std::memset(Console.Vram, 0x5A, sizeof Console.Vram);
        Console.Cpu = z80ex_create(MemRead, &Console, MemWrite, &Console, PortRead, &Console, PortWrite, &Console,
                                   IntVector, &Console);
    }
    ~TBoot() { z80ex_destroy(Console.Cpu); }
    TBoot(const TBoot&) = delete;
    TBoot& operator=(const TBoot&) = delete;
};

// A 32 KB cartridge that disables interrupts and loops: F3 18 FE.
std::vector<uint8_t> LoopingCart() {
    std::vector<uint8_t> cart(32768, 0xFF);
    cart[0] = 0xF3;
    cart[1] = 0x18;
    cart[2] = 0xFE;
    return cart;
}

struct TImage {
    const char* Name;
    const unsigned char* Bios;
};
const TImage kImages[] = {{"american", tiravel_bios_american}, {"japanese", tiravel_bios_japanese}};

TEST(BiosBoot, ImagesAreEightKilobytesAndDiffer) {
    EXPECT_EQ(tiravel_bios_american_size, 8192u);
    EXPECT_EQ(tiravel_bios_japanese_size, 8192u);
    EXPECT_NE(std::memcmp(tiravel_bios_american, tiravel_bios_japanese, 8192), 0);
}

TEST(BiosBoot, HandsOverWithinNinetyFramesInACleanState) {
    for (const TImage& image : kImages) {
        SCOPED_TRACE(image.Name);
        TBoot boot(image.Bios, LoopingCart());
        TConsole& c = boot.Console;
        c.RunUntilHandover(120);
        ASSERT_GE(c.HandoverFrame, 30) << "no splash before the cartridge";
        EXPECT_LE(c.HandoverFrame, 90);
        EXPECT_EQ(c.HandoverIff1, 0) << "interrupts enabled at the hand-over";
        EXPECT_EQ(c.HandoverReg1 & 0x60, 0) << "display or frame interrupt still on";
        for (int channel = 0; channel < 4; ++channel) EXPECT_EQ(c.HandoverAttenuation[channel], 15) << channel;
        EXPECT_EQ(c.HandoverPage[0], 0);
        EXPECT_EQ(c.HandoverPage[1], 1);
        EXPECT_EQ(c.HandoverPage[2], 2);
        EXPECT_GE(c.HandoverSp, 0xC000);
        EXPECT_LE(c.HandoverSp, 0xDFF0) << "the stack must stay clear of the paging registers";
        EXPECT_LT(c.QuietestChime, 15) << "no chime during the splash";
        EXPECT_NE(c.Cram[0], 0) << "splash palette not loaded";
        // The splash's VRAM clear reached every byte outside what it drew.
        EXPECT_EQ(c.Vram[0x3FFF], 0);
    }
}

TEST(BiosBoot, StartsCleanFromAVdpLeftMidPairWithAnInterruptPending) {
    // A console reset does not reset the VDP: the previous program may have
    // left half a control pair and a pending, enabled frame interrupt.
    TBoot boot(tiravel_bios_american, LoopingCart());
    TConsole& c = boot.Console;
    c.SecondByte = 1;
    c.Latch = 0x77;
    c.Reg[1] = 0x20;
    c.FramePending = 1;
    c.RunUntilHandover(120);
    EXPECT_GE(c.HandoverFrame, 30);
    EXPECT_LE(c.HandoverFrame, 90);
    EXPECT_EQ(c.Cram[0], 0x10) << "the splash palette went astray";
    EXPECT_EQ(c.Reg[2], 0xFF) << "name table not at 0x3800";
}

TEST(BiosBoot, OnlyABlankFirstSixteenKilobytesMeansNoCartridge) {
    struct Case {
        const char* Name;
        std::vector<uint8_t> Cart;
        bool Started;
    };
    std::vector<Case> cases;
    cases.push_back({"all zeros (Run BIOS)", std::vector<uint8_t>(32768, 0x00), false});
    cases.push_back({"all 0xFF", std::vector<uint8_t>(32768, 0xFF), false});
    std::vector<uint8_t> lateByte(32768, 0x00);
    lateByte[0x3FFF] = 0x01;
    cases.push_back({"zeros but the last byte of 16 KB", lateByte, true});
    std::vector<uint8_t> ffThenCode(32768, 0xFF);
    ffThenCode[0x2000] = 0x00;
    cases.push_back({"0xFF with one zero", ffThenCode, true});
    std::vector<uint8_t> secondBankOnly(32768, 0x00);
    secondBankOnly[0x4000] = 0xC3;
    cases.push_back({"code only past the first 16 KB", secondBankOnly, false});
    cases.push_back({"a program", LoopingCart(), true});

    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        TBoot boot(tiravel_bios_american, test.Cart);
        TConsole& c = boot.Console;
        c.RunUntilHandover(150);
        if (test.Started) {
            EXPECT_GE(c.HandoverFrame, 0) << "the cartridge was not started";
            continue;
        }
        EXPECT_LT(c.HandoverFrame, 0) << "a blank cartridge was started";
        EXPECT_FALSE(c.CartMapped()) << "the BIOS did not map itself back";
        EXPECT_NE(c.RowText(16).find("NO CARTRIDGE"), std::string::npos) << c.RowText(16);
        EXPECT_EQ(c.Reg[1] & 0x40, 0x40) << "display off on the no-cartridge screen";
    }
}

TEST(BiosBoot, NoCartridgeScreenAnswersPadPauseAndReset) {
    TBoot boot(tiravel_bios_japanese, std::vector<uint8_t>(32768, 0x00));
    TConsole& c = boot.Console;
    while (c.Frame < 110) c.RunFrame();
    const uint8_t x = c.Vram[0x3F80], y = c.Vram[0x3F00];
    EXPECT_EQ(c.Vram[0x3F01], 0xD0) << "one sprite only";

    c.PortA = static_cast<uint8_t>(~0x0A);  // down + right
    for (int i = 0; i < 10; ++i) c.RunFrame();
    c.PortA = 0xFF;
    c.RunFrame();
    EXPECT_EQ(c.Vram[0x3F80], x + 10);
    EXPECT_EQ(c.Vram[0x3F00], y + 10);

    // Pause: the NMI routine at 0x0066 flips the marker on tile row 21.
    z80ex_nmi(c.Cpu);
    c.RunFrame();
    c.RunFrame();
    EXPECT_NE(c.RowText(21).find("PAUSE"), std::string::npos) << c.RowText(21);
    z80ex_nmi(c.Cpu);
    c.RunFrame();
    c.RunFrame();
    EXPECT_EQ(c.RowText(21).find("PAUSE"), std::string::npos) << c.RowText(21);

    // The reset button restarts the BIOS: the splash comes back (no
    // message) and the no-cartridge screen after it.
    c.PortB &= static_cast<uint8_t>(~0x10);
    for (int i = 0; i < 20; ++i) c.RunFrame();
    EXPECT_EQ(c.RowText(16).find("NO CARTRIDGE"), std::string::npos);
    for (int i = 0; i < 100; ++i) c.RunFrame();
    EXPECT_NE(c.RowText(16).find("NO CARTRIDGE"), std::string::npos);
}

}  // namespace
