// The Game Gear's I/O bus (model 3): its registers on ports 0x00-0x06 (Start
// and the region, the link port with no cable, the stereo register), the
// rest of 0x00-0x3F decoded as on the Master System II, and its part of a
// state.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "Interconnect.h"
#include "SNDEM.h"
#include "VDPEM.h"

namespace {

struct TChips {
    T_VDP_CORE Vdp;
    T_PSG_CORE Psg;
    T_INTERCONNECT_CORE Bus;
};

std::unique_ptr<TChips> MakeGameGear(uint8_t japanese = 0) {
    auto c = std::make_unique<TChips>();  // value-initialised: all zero
    VDP_Reset(c->Vdp);
    c->Psg.Exact = 1;
    PSG_Reset(c->Psg);
    Interconnect_Init(c->Bus, c->Vdp, c->Psg);
    c->Vdp.Model = VDP_MODEL_GAME_GEAR;
    c->Bus.Model = VDP_MODEL_GAME_GEAR;
    c->Bus.Japanese = japanese;
    return c;
}

uint8_t In(TChips& c, uint8_t port) { return Interconnect_ReadPort(c.Bus, port); }
void Out(TChips& c, uint8_t port, uint8_t value) { Interconnect_WritePort(c.Bus, port, value); }

// As the handheld powers on, nothing pressed and no cable: 0x00 gives the
// region, 0x05 the other side absent; the rest of 0x00-0x3F reads 0xFF.
TEST(InterconnectGameGear, PowerOnReadsOfPortsZeroToThreeF) {
    for (uint8_t japanese : {0, 1}) {
        auto c = MakeGameGear(japanese);
        const uint8_t expected[7] = {uint8_t(japanese ? 0x80 : 0xC0), 0x7F, 0xFF, 0x00, 0xFF, 0x04, 0xFF};
        for (unsigned port = 0; port < 0x40; ++port) {
            SCOPED_TRACE(::testing::Message() << "japanese " << int(japanese) << " port " << port);
            EXPECT_EQ(In(*c, uint8_t(port)), port < 7 ? expected[port] : 0xFF);
        }
    }
}

TEST(InterconnectGameGear, StartIsBitSevenOfPortZeroForAsLongAsItIsHeld) {
    auto c = MakeGameGear();
    Interconnect_SetStart(c->Bus, 1);
    EXPECT_EQ(In(*c, 0x00), 0x40);
    EXPECT_EQ(In(*c, 0x00), 0x40) << "held, not seen by one read only";
    Interconnect_SetStart(c->Bus, 0);
    EXPECT_EQ(In(*c, 0x00), 0xC0);
}

// The link port's registers keep what is written; with no cable the data
// lines set as inputs float high, the serial port never receives, and the
// status shows the other side absent under the control bits written.
TEST(InterconnectGameGear, LinkPortRegistersWithNoCable) {
    struct TCase {
        uint8_t Port, Value, ReadPort, Expected;
    };
    const TCase cases[] = {
        {0x01, 0x55, 0x01, 0x7F},  // every line an input (power-on): floating high
        {0x02, 0x00, 0x01, 0x55},  // every line an output: the level written
        {0x02, 0xF0, 0x02, 0xF0},  // lines 0-3 outputs
        {0x01, 0x50, 0x01, 0x70},  // outputs read their own level, inputs high
        {0x01, 0xFF, 0x01, 0x7F},  // bit 7 is no line
        {0x03, 0x5A, 0x03, 0x5A},  // the byte to send, sent to nobody
        {0x04, 0x12, 0x04, 0xFF},  // the received byte is read only
        {0x05, 0xFF, 0x05, 0xFC},  // control bits kept; nothing sent or received, other side absent
        {0x05, 0x38, 0x05, 0x3C},
        {0x00, 0x00, 0x00, 0xC0},  // port 0x00 is read only
    };
    auto c = MakeGameGear();
    for (const TCase& k : cases) {
        SCOPED_TRACE(::testing::Message() << "write " << int(k.Value) << " to " << int(k.Port));
        Out(*c, k.Port, k.Value);
        EXPECT_EQ(In(*c, k.ReadPort), k.Expected);
    }
    EXPECT_EQ(c->Bus.MemoryControl, 0x00) << "a write to 0x00 is no memory control write on the Game Gear";
}

// Past 0x06 the handheld decodes as the Master System II: even ports are
// the memory control, odd ports the I/O control.
TEST(InterconnectGameGear, OtherPortsBelowFortyAreTheControlRegisters) {
    auto c = MakeGameGear();
    Out(*c, 0x08, 0xAB);
    EXPECT_EQ(c->Bus.MemoryControl, 0xAB);
    Out(*c, 0x07, 0xF5);
    EXPECT_EQ(c->Bus.IoControl, 0xF5);
    EXPECT_EQ(In(*c, 0xDD) & 0xC0, 0xC0) << "TH read back as on the export Master System II";
    Interconnect_PressReset(c->Bus);
    EXPECT_EQ(In(*c, 0xDD) & 0x10, 0x10) << "no reset button";
}

// Port 0x06 is the exact PSG's routing (bit 4 + n left, bit n right),
// from the write's cycle on.
TEST(InterconnectGameGear, PortSixRoutesTheSoundChannels) {
    auto c = MakeGameGear();
    EXPECT_EQ(c->Psg.ExactRouting, PSG_ROUTING_BOTH);
    Out(*c, 0x06, 0x12);
    EXPECT_EQ(c->Psg.ExactRouting, 0x12);
    EXPECT_EQ(c->Psg.ExactStereo, 1) << "the sides now differ";
    EXPECT_EQ(In(*c, 0x06), 0x12);
}

TEST(InterconnectGameGear, StateRoundTripAndRefusals) {
    auto c = MakeGameGear();
    Interconnect_SetStart(c->Bus, 1);
    Out(*c, 0x02, 0x0F);
    Out(*c, 0x01, 0x33);
    Out(*c, 0x03, 0x99);
    Out(*c, 0x05, 0x38);
    uint8_t saved[INTERCONNECT_GAME_GEAR_STATE_SIZE];
    Interconnect_SaveGameGearState(c->Bus, saved);
    EXPECT_EQ(saved[0], 0x40);

    auto d = MakeGameGear();
    std::string reason;
    ASSERT_TRUE(Interconnect_ValidateGameGearState(d->Bus, saved, sizeof saved, reason)) << reason;
    Interconnect_LoadGameGearState(d->Bus, saved);
    for (uint8_t port = 0; port < 6; ++port) EXPECT_EQ(In(*d, port), In(*c, port)) << int(port);

    auto japan = MakeGameGear(1);
    EXPECT_FALSE(Interconnect_ValidateGameGearState(japan->Bus, saved, sizeof saved, reason));
    EXPECT_NE(reason.find("region"), std::string::npos) << reason;
    EXPECT_FALSE(Interconnect_ValidateGameGearState(d->Bus, saved, sizeof saved - 1, reason));
    uint8_t bad[INTERCONNECT_GAME_GEAR_STATE_SIZE];
    std::memcpy(bad, saved, sizeof bad);
    bad[5] = 0x01;
    EXPECT_FALSE(Interconnect_ValidateGameGearState(d->Bus, bad, sizeof bad, reason));
}

}  // namespace
