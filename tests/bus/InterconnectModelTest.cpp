// The I/O bus of the hardware models (the first Master System, model 1; the
// Master System II, model 2): what reads of every port return, the TH and TR
// pins through the I/O control register in both regions, the reset button,
// the H counter's latch on TH changes, and the bus's model part of a state.
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

std::unique_ptr<TChips> MakeChips(uint8_t model, uint8_t japanese = 0) {
    auto c = std::make_unique<TChips>();  // value-initialised: all zero
    VDP_Reset(c->Vdp);
    PSG_Reset(c->Psg);
    Interconnect_Init(c->Bus, c->Vdp, c->Psg);
    c->Vdp.Model = model;
    c->Bus.Model = model;
    c->Bus.Japanese = japanese;
    for (uint32_t line = 0; line <= 100; ++line) VDP_RunLine(c->Vdp, line, 0);
    return c;
}

uint8_t In(TChips& c, uint8_t port) { return Interconnect_ReadPort(c.Bus, port); }
void Out(TChips& c, uint8_t port, uint8_t value) { Interconnect_WritePort(c.Bus, port, value); }

TEST(InterconnectModels, ReadsOfEveryPortPerModel) {
    for (uint8_t model : {1, 2}) {
        for (unsigned port = 0; port < 256; ++port) {
            SCOPED_TRACE(::testing::Message() << "model " << int(model) << " port " << port);
            auto actual = MakeChips(model);
            auto expected = MakeChips(model);
            const bool odd = port & 1;
            uint8_t want;
            if (port < 0x40)
                want = model == 1 ? uint8_t(port) : 0xFF;  // open bus on the first model
            else if (port < 0x80)
                want = odd ? VDP_ReadHCounter(expected->Vdp) : VDP_ReadVCounter(expected->Vdp);
            else if (port < 0xC0)
                want = odd ? VDP_ReadStatus(expected->Vdp) : VDP_ReadData(expected->Vdp);
            else
                want = 0xFF;  // nothing pressed, every pin an input, bit 5 high
            EXPECT_EQ(In(*actual, uint8_t(port)), want);
        }
    }
}

TEST(InterconnectModels, WritesToTheControllerPortsDoNothing) {
    auto c = MakeChips(2);
    Out(*c, 0xDC, 0x00);
    Out(*c, 0xDD, 0x00);
    Out(*c, 0xF1, 0x00);
    EXPECT_EQ(In(*c, 0xDC), 0xFF);
    EXPECT_EQ(In(*c, 0xDD), 0xFF);
    EXPECT_EQ(c->Bus.IoControl, 0xFF);
    EXPECT_EQ(c->Bus.MemoryControl, 0x00);
}

// The region check games make: TH pins outputs driven high, then low.
TEST(InterconnectModels, ThReadBackTellsExportFromJapanese) {
    const struct { uint8_t control; uint8_t exportBits, japanBits; } steps[] = {
        {0xF5, 0xC0, 0x00},  // both TH high
        {0x55, 0x00, 0xC0},  // both TH low
        {0xD5, 0x80, 0x40},  // port A TH low (read in bit 6), port B TH high (bit 7)
        {0x75, 0x40, 0x80},  // port B TH low, port A high
        {0xFF, 0xC0, 0xC0},  // inputs: pulled up whatever the levels
        {0x0A, 0xC0, 0xC0},  // TH inputs, levels low
    };
    for (uint8_t model : {1, 2}) {
        for (uint8_t japanese : {0, 1}) {
            auto c = MakeChips(model, japanese);
            for (const auto& s : steps) {
                SCOPED_TRACE(::testing::Message() << "model " << int(model) << " japanese " << int(japanese)
                                                  << " control " << std::hex << int(s.control));
                Out(*c, 0x3F, s.control);
                EXPECT_EQ(In(*c, 0xDD) & 0xC0, japanese ? s.japanBits : s.exportBits);
            }
        }
    }
}

TEST(InterconnectModels, TrPinsAsOutputsOverrideButton2) {
    auto c = MakeChips(2);
    Interconnect_PressP1Button2(c->Bus);  // port A TR
    Interconnect_PressP2Button2(c->Bus);  // port B TR
    Interconnect_PressP2Left(c->Bus);
    EXPECT_EQ(In(*c, 0xDC), 0xDF);
    EXPECT_EQ(In(*c, 0xDD), 0xF6);
    Out(*c, 0x3F, 0x5A);  // both TR outputs, levels high; TH inputs
    EXPECT_EQ(In(*c, 0xDC), 0xFF);
    EXPECT_EQ(In(*c, 0xDD), 0xFE);
    Out(*c, 0x3F, 0x0A);  // TR outputs low, nothing pressed
    Interconnect_ReleaseP1Button2(c->Bus);
    Interconnect_ReleaseP2Button2(c->Bus);
    EXPECT_EQ(In(*c, 0xDC), 0xDF);
    EXPECT_EQ(In(*c, 0xDD), 0xF6);
    Out(*c, 0x3F, 0xFF);
    EXPECT_EQ(In(*c, 0xDC), 0xFF) << "inputs again: the pad's lines";
}

TEST(InterconnectModels, ResetButtonOnlyOnTheFirstMasterSystem) {
    for (uint8_t model : {1, 2}) {
        SCOPED_TRACE(int(model));
        auto c = MakeChips(model);
        Interconnect_PressReset(c->Bus);
        EXPECT_EQ(In(*c, 0xDC), 0xFF);
        EXPECT_EQ(In(*c, 0xDD) & 0x10, model == 1 ? 0x00 : 0x10);
        EXPECT_EQ(In(*c, 0xDD) & 0x10, 0x10) << "seen by one read";
        // Making every pin an input does not lose the press on the hardware.
        Interconnect_PressReset(c->Bus);
        Out(*c, 0x3F, 0xFF);
        EXPECT_EQ(In(*c, 0xDD), model == 1 ? 0xEF : 0xFF);
    }
}

// A TH pin changing level, either way, latches the H counter at the bus's
// line cycle; a write that leaves both pins as they were does not. Checked
// against a twin whose VDP is latched directly.
TEST(InterconnectModels, ThChangesLatchTheHCounter) {
    const struct { uint8_t control; bool latches; } writes[] = {
        {0xFF, false},  // power-on: inputs, pulled high
        {0xF5, false},  // outputs, still high
        {0x55, true},   // both low
        {0x54, false},  // a TR direction only
        {0x75, true},   // port A high
        {0xFD, true},   // port B TH an input: pulled high
        {0xDF, false},  // levels change, but both TH pins are inputs
        {0x5D, true},   // port A TH output low
    };
    auto actual = MakeChips(1);
    auto expected = MakeChips(1);
    uint32_t cycle = 17;
    for (const auto& w : writes) {
        SCOPED_TRACE(int(w.control));
        actual->Bus.LineCycle = cycle;
        Out(*actual, 0x3F, w.control);
        if (w.latches) VDP_LatchHCounter(expected->Vdp, cycle);
        EXPECT_EQ(std::memcmp(&actual->Vdp, &expected->Vdp, sizeof actual->Vdp), 0);
        EXPECT_EQ(In(*actual, 0x7F), VDP_ReadHCounter(expected->Vdp));
        cycle += 31;
    }
}

TEST(InterconnectModels, DefaultModelKeepsItsOwnDecoding) {
    auto c = MakeChips(0);
    EXPECT_EQ(In(*c, 0x00), 0xFF);
    EXPECT_EQ(In(*c, 0x7F), VDP_ReadVCounter(c->Vdp));
    Out(*c, 0x3F, 0x55);
    EXPECT_EQ(c->Bus.PortB & 0xC0, 0x00) << "levels folded into port B at the write";
    EXPECT_EQ(c->Bus.IoControl, 0xFF) << "the hardware models' register is not used";
    Interconnect_PressReset(c->Bus);
    EXPECT_EQ(In(*c, 0xDD) & 0x10, 0x00);
}

TEST(InterconnectModels, ModelStateRoundTrip) {
    auto c = MakeChips(2);
    Out(*c, 0x3F, 0x5A);
    uint8_t part[INTERCONNECT_MODEL_STATE_SIZE];
    Interconnect_SaveModelState(c->Bus, part);
    auto d = MakeChips(2);
    std::string reason;
    ASSERT_TRUE(Interconnect_ValidateModelState(d->Bus, part, sizeof part, reason)) << reason;
    Interconnect_LoadModelState(d->Bus, part);
    EXPECT_EQ(In(*d, 0xDC), In(*c, 0xDC));
    EXPECT_EQ(d->Bus.IoControl, 0x5A);
    EXPECT_FALSE(Interconnect_ValidateModelState(d->Bus, part, 2, reason));
    EXPECT_NE(reason.find("2 bytes long, not 1"), std::string::npos) << reason;
}

}  // namespace
