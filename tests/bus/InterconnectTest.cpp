// The I/O bus on the real VDP and PSG: which device answers each of the 256
// port numbers, the controller bits, the reset button, the I/O and memory
// control registers, and the interrupt line.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "Interconnect.h"
#include "SNDEM.h"
#include "VDPEM.h"

namespace {

// The three cores wired as the machine wires them, with some state that
// every device's port procedure visibly changes.
struct TConsole {
    T_VDP_CORE Vdp;
    T_PSG_CORE Psg;
    T_INTERCONNECT_CORE Bus;
};

std::unique_ptr<TConsole> MakeConsole() {
    auto c = std::make_unique<TConsole>();  // value-initialised: all zero
    VDP_Reset(c->Vdp);
    PSG_Reset(c->Psg);
    PSG_SetFrameRate(c->Psg, 60);
    PSG_SetClock(c->Psg, 3579536);
    Interconnect_Init(c->Bus, c->Vdp, c->Psg);
    for (uint32_t i = 0; i < VDP_VRAM_SIZE; ++i) c->Vdp.VRAM[i] = uint8_t(i * 7 + 3);
    VDP_WriteControl(c->Vdp, 0x10);  // VRAM read set-up at 0x0010
    VDP_WriteControl(c->Vdp, 0x00);
    for (uint32_t line = 0; line <= 200; ++line) VDP_RunLine(c->Vdp, line, 0);  // frame flag up, V counter 200
    Interconnect_PressP1Left(c->Bus);
    Interconnect_PressP2Up(c->Bus);
    Interconnect_PressP2Button1(c->Bus);
    Interconnect_PressReset(c->Bus);
    return c;
}

bool SameState(const TConsole& a, const TConsole& b) {
    return std::memcmp(&a.Vdp, &b.Vdp, sizeof a.Vdp) == 0 && std::memcmp(&a.Psg, &b.Psg, sizeof a.Psg) == 0 &&
           a.Bus.PortA == b.Bus.PortA && a.Bus.PortB == b.Bus.PortB && a.Bus.MemoryControl == b.Bus.MemoryControl;
}

// The console decodes address lines 7, 6 and 0: four ranges of 64 ports,
// even and odd apart.
enum class TDevice { Nothing, MemoryControl, IoControl, VCounter, Psg, VdpData, VdpControl, PortA, PortB };

TDevice ReaderOf(unsigned port) {
    const bool odd = port & 1;
    if (port < 0x40) return TDevice::Nothing;
    if (port < 0x80) return TDevice::VCounter;
    if (port < 0xC0) return odd ? TDevice::VdpControl : TDevice::VdpData;
    return odd ? TDevice::PortB : TDevice::PortA;
}

TDevice WriterOf(unsigned port) {
    const bool odd = port & 1;
    if (port < 0x40) return odd ? TDevice::IoControl : TDevice::MemoryControl;
    if (port < 0x80) return TDevice::Psg;
    if (port < 0xC0) return odd ? TDevice::VdpControl : TDevice::VdpData;
    return TDevice::Nothing;
}

TEST(InterconnectPorts, EveryReadReachesItsDeviceAndNothingElse) {
    for (unsigned port = 0; port < 256; ++port) {
        SCOPED_TRACE(port);
        auto actual = MakeConsole();
        auto expected = MakeConsole();
        const uint8_t got = Interconnect_ReadPort(actual->Bus, uint8_t(port));
        uint8_t want = 0xFF;
        switch (ReaderOf(port)) {
        case TDevice::VCounter: want = VDP_ReadVCounter(expected->Vdp); break;
        case TDevice::VdpData: want = VDP_ReadData(expected->Vdp); break;
        case TDevice::VdpControl: want = VDP_ReadStatus(expected->Vdp); break;
        case TDevice::PortA: want = expected->Bus.PortA; break;
        case TDevice::PortB:
            want = expected->Bus.PortB;
            expected->Bus.PortB |= 0x10;  // the read releases the reset button
            break;
        default: break;  // unmapped: the bus floats high
        }
        EXPECT_EQ(got, want);
        EXPECT_TRUE(SameState(*actual, *expected));
    }
}

TEST(InterconnectPorts, EveryWriteReachesItsDeviceAndNothingElse) {
    for (uint8_t value : {uint8_t(0x55), uint8_t(0x9A)}) {
        for (unsigned port = 0; port < 256; ++port) {
            SCOPED_TRACE(::testing::Message() << "port " << port << " value " << int(value));
            auto actual = MakeConsole();
            auto expected = MakeConsole();
            const auto untouched = MakeConsole();
            Interconnect_WritePort(actual->Bus, uint8_t(port), value);
            const TDevice device = WriterOf(port);
            switch (device) {
            case TDevice::MemoryControl: expected->Bus.MemoryControl = value; break;
            case TDevice::IoControl:
                // bit 7 from bit 7, bit 6 from bit 5 (neither value has all
                // four low bits set)
                expected->Bus.PortB = uint8_t((expected->Bus.PortB & 0x3F) | (value & 0x80) | ((value & 0x20) << 1));
                break;
            case TDevice::Psg: PSG_WritePort(expected->Psg, value); break;
            case TDevice::VdpData: VDP_WriteData(expected->Vdp, value); break;
            case TDevice::VdpControl: VDP_WriteControl(expected->Vdp, value); break;
            default: break;  // the joypad ports take no writes
            }
            EXPECT_TRUE(SameState(*actual, *expected));
            EXPECT_EQ(SameState(*actual, *untouched), device == TDevice::Nothing);
        }
    }
}

TEST(InterconnectPorts, InitialisationGivesReleasedPadsAndTheBios) {
    auto c = MakeConsole();
    Interconnect_WritePort(c->Bus, 0x3E, 0x08);
    Interconnect_WritePort(c->Bus, 0x3F, 0x00);
    Interconnect_Init(c->Bus, c->Vdp, c->Psg);
    EXPECT_EQ(c->Bus.Vdp, &c->Vdp);
    EXPECT_EQ(c->Bus.Psg, &c->Psg);
    EXPECT_EQ(c->Bus.PortA, 0xFF);
    EXPECT_EQ(c->Bus.PortB, 0xFF);
    EXPECT_EQ(Interconnect_GetMemoryControl(c->Bus), 0x00);
}

struct TButton {
    const char* Name;
    void (*Press)(T_INTERCONNECT_CORE&);
    void (*Release)(T_INTERCONNECT_CORE&);
    bool OnPortB;
    uint8_t Bit;
};
const TButton kButtons[] = {
    {"P1 up", Interconnect_PressP1Up, Interconnect_ReleaseP1Up, false, 0},
    {"P1 down", Interconnect_PressP1Down, Interconnect_ReleaseP1Down, false, 1},
    {"P1 left", Interconnect_PressP1Left, Interconnect_ReleaseP1Left, false, 2},
    {"P1 right", Interconnect_PressP1Right, Interconnect_ReleaseP1Right, false, 3},
    {"P1 button 1", Interconnect_PressP1Button1, Interconnect_ReleaseP1Button1, false, 4},
    {"P1 button 2", Interconnect_PressP1Button2, Interconnect_ReleaseP1Button2, false, 5},
    {"P2 up", Interconnect_PressP2Up, Interconnect_ReleaseP2Up, false, 6},
    {"P2 down", Interconnect_PressP2Down, Interconnect_ReleaseP2Down, false, 7},
    {"P2 left", Interconnect_PressP2Left, Interconnect_ReleaseP2Left, true, 0},
    {"P2 right", Interconnect_PressP2Right, Interconnect_ReleaseP2Right, true, 1},
    {"P2 button 1", Interconnect_PressP2Button1, Interconnect_ReleaseP2Button1, true, 2},
    {"P2 button 2", Interconnect_PressP2Button2, Interconnect_ReleaseP2Button2, true, 3},
};

TEST(InterconnectControllers, EachProcedureTouchesOnlyItsOwnBit) {
    const uint8_t starts[] = {0xFF, 0x00, 0xA5, 0x5A};
    for (const TButton& b : kButtons) {
        SCOPED_TRACE(b.Name);
        const uint8_t mask = uint8_t(1u << b.Bit);
        for (uint8_t a : starts) {
            for (uint8_t pb : starts) {
                T_INTERCONNECT_CORE bus{};
                bus.PortA = a;
                bus.PortB = pb;
                b.Press(bus);
                EXPECT_EQ(bus.PortA, b.OnPortB ? a : uint8_t(a & ~mask));
                EXPECT_EQ(bus.PortB, b.OnPortB ? uint8_t(pb & ~mask) : pb);
                bus.PortA = a;
                bus.PortB = pb;
                b.Release(bus);
                EXPECT_EQ(bus.PortA, b.OnPortB ? a : uint8_t(a | mask));
                EXPECT_EQ(bus.PortB, b.OnPortB ? uint8_t(pb | mask) : pb);
                EXPECT_EQ(bus.MemoryControl, 0);
            }
        }
    }
}

TEST(InterconnectControllers, ResetPressIsSeenByExactlyOneReadOfPortB) {
    auto c = MakeConsole();  // reset already pressed once
    Interconnect_ReadPort(c->Bus, 0xDC);  // port A reads leave it pressed
    EXPECT_EQ(Interconnect_ReadPort(c->Bus, 0xDD) & 0x10, 0x00);
    EXPECT_EQ(Interconnect_ReadPort(c->Bus, 0xDD) & 0x10, 0x10);

    Interconnect_PressReset(c->Bus);
    EXPECT_EQ(Interconnect_ReadPort(c->Bus, 0x3F), 0xFF);  // unmapped reads leave it pressed
    EXPECT_EQ(Interconnect_ReadPort(c->Bus, 0xC1), 0xEB);
    EXPECT_EQ(Interconnect_ReadPort(c->Bus, 0xFF), 0xFB);
}

TEST(InterconnectControllers, IoControlSetsTheTwoOutputLevels) {
    const struct {
        uint8_t Value;
        uint8_t Bits76;
    } cases[] = {
        {0xF5, 0xC0}, {0x55, 0x00}, {0x80, 0x80}, {0x20, 0x40}, {0xA0, 0xC0}, {0x7E, 0x40}, {0x07, 0x00},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.Value));
        for (uint8_t port : {uint8_t(0x3F), uint8_t(0x01), uint8_t(0x21)}) {
            T_INTERCONNECT_CORE bus{};
            bus.PortA = 0x3C;
            bus.PortB = 0x3F;  // both levels low, nothing pressed
            Interconnect_WritePort(bus, port, c.Value);
            EXPECT_EQ(bus.PortB, 0x3F | c.Bits76);
            EXPECT_EQ(bus.PortA, 0x3C);
            bus.PortB = 0xFF;
            Interconnect_WritePort(bus, port, c.Value);
            EXPECT_EQ(bus.PortB, 0x3F | c.Bits76);
        }
    }
}

TEST(InterconnectControllers, AllInputsIoControlMakesTheWholeOfPortBReadHigh) {
    // Every value with the four direction bits set makes port B 0xFF: held
    // player 2 buttons and a pending reset press read as released until the
    // next input step, and port A is untouched.
    for (uint8_t value : {uint8_t(0x0F), uint8_t(0x5F), uint8_t(0xFF)}) {
        SCOPED_TRACE(int(value));
        auto c = MakeConsole();  // P2 button 1 held, reset pressed
        Interconnect_WritePort(c->Bus, 0x3F, 0x55);
        Interconnect_PressP2Left(c->Bus);
        Interconnect_PressP2Up(c->Bus);
        const uint8_t portA = c->Bus.PortA;
        Interconnect_WritePort(c->Bus, 0x3F, value);
        EXPECT_EQ(Interconnect_ReadPort(c->Bus, 0xDD), 0xFF);
        EXPECT_EQ(c->Bus.PortA, portA);
    }
}

TEST(InterconnectPorts, MemoryControlKeepsTheWholeByteOnEveryEvenLowPort) {
    for (uint8_t port : {uint8_t(0x3E), uint8_t(0x00), uint8_t(0x3C), uint8_t(0x12)}) {
        SCOPED_TRACE(int(port));
        auto c = MakeConsole();
        Interconnect_WritePort(c->Bus, port, 0x08);
        EXPECT_EQ(Interconnect_GetMemoryControl(c->Bus), 0x08);
        Interconnect_WritePort(c->Bus, port, 0xA7);
        EXPECT_EQ(Interconnect_GetMemoryControl(c->Bus), 0xA7);
        Interconnect_WritePort(c->Bus, port, 0x00);
        EXPECT_EQ(Interconnect_GetMemoryControl(c->Bus), 0x00);
        Interconnect_WritePort(c->Bus, uint8_t(port | 1), 0x08);  // the odd port is I/O control
        EXPECT_EQ(Interconnect_GetMemoryControl(c->Bus), 0x00);
    }
}

TEST(InterconnectPorts, InterruptLineFollowsTheVdp) {
    auto c = std::make_unique<TConsole>();
    VDP_Reset(c->Vdp);
    Interconnect_Init(c->Bus, c->Vdp, c->Psg);
    Interconnect_WritePort(c->Bus, 0xBF, 0x20);  // register 1: frame interrupts on
    Interconnect_WritePort(c->Bus, 0xBF, 0x81);
    for (uint32_t line = 0; line < 193; ++line) {
        VDP_RunLine(c->Vdp, line, 0);
        ASSERT_EQ(Interconnect_GetInterruptLine(c->Bus), 0) << line;
    }
    VDP_RunLine(c->Vdp, 193, 0);
    EXPECT_EQ(Interconnect_GetInterruptLine(c->Bus), 1);
    EXPECT_EQ(Interconnect_ReadPort(c->Bus, 0xBF) & 0x80, 0x80);  // the status read acknowledges
    EXPECT_EQ(Interconnect_GetInterruptLine(c->Bus), 0);
}

}  // namespace
