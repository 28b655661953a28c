// Each core's part of a state, field by field: a core whose every byte is
// random (each ranged field brought into its range) is saved and loaded into
// a blank core, and every field listed below as part of the state must
// arrive. The lists say independently of the code what a state holds (see
// the table in docs/user-guide.md); a field the save or the load forgets fails here even
// when no test cartridge happens to depend on it.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Interconnect.h"
#include "SNDEM.h"
#include "VDPEM.h"
#include "Z80EM.h"

namespace {

struct TField {
    const char* Name;
    std::size_t Offset, Size;
};
#define FIELD(T, f) TField{#f, offsetof(T, f), sizeof(T::f)}

template <class T>
std::unique_ptr<T> RandomCore(uint32_t seed) {
    auto core = std::make_unique<T>();
    std::mt19937 random(seed);
    auto* bytes = reinterpret_cast<uint8_t*>(core.get());
    for (std::size_t i = 0; i < sizeof(T); ++i) bytes[i] = uint8_t(random());
    return core;
}

template <class T>
void ExpectFieldsArrived(const T& from, const T& to, const std::vector<TField>& fields) {
    for (const TField& f : fields) {
        EXPECT_EQ(std::memcmp(reinterpret_cast<const uint8_t*>(&from) + f.Offset,
                              reinterpret_cast<const uint8_t*>(&to) + f.Offset, f.Size),
                  0)
            << f.Name;
    }
}

TEST(CoreStateTest, EveryCpuFieldOfTheStateArrives) {
    using T = T_Z80_CPU_CORE;
    for (uint32_t seed : {1u, 2u, 3u}) {
        auto cpu = RandomCore<T>(seed);
        cpu->RomBankCount = 64;
        cpu->RomSize = Z80_ROM_SIZE;
        cpu->PageSlot0 %= 64;
        cpu->PageSlot1 %= 64;
        cpu->PageSlot2 %= 64;
        cpu->Halted &= 1;
        cpu->InterruptMode = int32_t(uint32_t(cpu->InterruptMode) % 3);
        cpu->IFF1 &= 1;
        cpu->IFF2 &= 1;
        cpu->NmiActive &= 1;
        cpu->NmiLockCounter = int32_t(uint32_t(cpu->NmiLockCounter) % (Z80_NMI_LOCK_CALLS + 1));
        cpu->CartRamDirty &= 1;
        std::vector<uint8_t> state(Z80_STATE_SIZE);
        Z80_SaveState(*cpu, state.data());

        auto blank = std::make_unique<T>();
        blank->RomBankCount = 64;
        blank->RomSize = Z80_ROM_SIZE;
        std::string reason;
        ASSERT_TRUE(Z80_ValidateState(*blank, state.data(), state.size(), reason)) << reason;
        Z80_LoadState(*blank, state.data());
        ExpectFieldsArrived(*cpu, *blank,
                            {FIELD(T, A), FIELD(T, AltA), FIELD(T, B), FIELD(T, AltB), FIELD(T, C), FIELD(T, AltC),
                             FIELD(T, D), FIELD(T, AltD), FIELD(T, E), FIELD(T, AltE), FIELD(T, H), FIELD(T, AltH),
                             FIELD(T, L), FIELD(T, AltL), FIELD(T, F), FIELD(T, AltF), FIELD(T, I), FIELD(T, R),
                             FIELD(T, SP), FIELD(T, PC), FIELD(T, IX), FIELD(T, IY), FIELD(T, Ram), FIELD(T, CartRam),
                             FIELD(T, PageSlot0), FIELD(T, PageSlot1), FIELD(T, PageSlot2), FIELD(T, RamControl),
                             FIELD(T, Halted), FIELD(T, InterruptMode), FIELD(T, IFF1), FIELD(T, IFF2),
                             FIELD(T, NmiActive), FIELD(T, NmiLockCounter), FIELD(T, LastOpcode),
                             FIELD(T, CartRamDirty)});
    }
}

TEST(CoreStateTest, EveryVdpFieldOfTheStateArrivesAndTheLayerSwitchesStay) {
    using T = T_VDP_CORE;
    for (uint32_t seed : {4u, 5u, 6u}) {
        auto vdp = RandomCore<T>(seed);
        vdp->Address &= 0x3FFF;
        vdp->Code &= 3;
        for (uint8_t* flag : {&vdp->InterruptLine, &vdp->FrameIntPending, &vdp->LineIntPending,
                              &vdp->SpriteOverflow, &vdp->SpriteCollision, &vdp->SecondByte})
            *flag &= 1;
        vdp->CurrentLine %= VDP_LINES_PER_FRAME;
        for (uint8_t& colour : vdp->CRAM) colour &= 0x3F;
        for (std::size_t i = VDP_FRAME_PIXEL_OFFSET; i < VDP_FRAME_IMAGE_SIZE; ++i) vdp->FrameImage[i] &= 0x3F;
        std::vector<uint8_t> state(VDP_STATE_SIZE);
        VDP_SaveState(*vdp, state.data());

        auto blank = std::make_unique<T>();
        blank->SpriteLayerOn = 1;
        std::string reason;
        ASSERT_TRUE(VDP_ValidateState(*blank, state.data(), state.size(), reason)) << reason;
        VDP_LoadState(*blank, state.data());
        ExpectFieldsArrived(*vdp, *blank,
                            {FIELD(T, Registers), FIELD(T, Address), FIELD(T, Code), FIELD(T, ReadBuffer),
                             FIELD(T, FrameVScroll), FIELD(T, InterruptLine), FIELD(T, FrameIntPending),
                             FIELD(T, LineIntPending), FIELD(T, LineCounter), FIELD(T, SpriteOverflow),
                             FIELD(T, SpriteCollision), FIELD(T, SecondByte), FIELD(T, CurrentLine), FIELD(T, VRAM),
                             FIELD(T, CRAM),
                             TField{"frame pixels", offsetof(T, FrameImage) + VDP_FRAME_PIXEL_OFFSET,
                                    VDP_FRAME_PIXEL_COUNT}});
        EXPECT_EQ(blank->SpriteLayerOn, 1);
        EXPECT_EQ(blank->BackgroundLayerOn, 0);
        EXPECT_EQ(blank->FrameImage[0], 'B') << "the picture is a whole bitmap file";
    }
}

TEST(CoreStateTest, EveryPsgFieldOfTheStateArrivesAndTheSwitchesStay) {
    using T = T_PSG_CORE;
    for (uint32_t seed : {7u, 8u, 9u}) {
        auto psg = RandomCore<T>(seed);
        for (uint8_t* a : {&psg->Tone1Attenuation, &psg->Tone2Attenuation, &psg->Tone3Attenuation,
                           &psg->NoiseAttenuation, &psg->Tone1LowBits, &psg->Tone2LowBits, &psg->Tone3LowBits,
                           &psg->NoiseControl})
            *a &= 15;
        for (uint16_t* p : {&psg->Tone1Period, &psg->Tone2Period, &psg->Tone3Period}) *p &= 0x3FF;
        for (uint8_t* o : {&psg->Tone1Output, &psg->Tone2Output, &psg->Tone3Output, &psg->NoiseToggle, &psg->LatchedType})
            *o &= 1;
        psg->LatchedChannel &= 3;
        psg->WhiteTapMask = 0x09;
        psg->PeriodicTapMask = 0x01;
        psg->NoiseTapMask = (seed & 1) ? 0x09 : 0x01;
        // Folded counters lie far below 0 (see PSGChannels.h).
        int32_t* counters[] = {&psg->Tone1Counter, &psg->Tone2Counter, &psg->Tone3Counter, &psg->NoiseCounter};
        for (int32_t* c : counters) *c = int32_t(0x80000000u | (uint32_t(*c) & 0x0FFFFFFF));
        std::vector<uint8_t> state(PSG_STATE_SIZE);
        PSG_SaveState(*psg, state.data());

        auto blank = std::make_unique<T>();
        blank->WhiteTapMask = 0x09;
        blank->PeriodicTapMask = 0x01;
        blank->MixerOn = 1;
        blank->Tone2On = 1;
        std::string reason;
        ASSERT_TRUE(PSG_ValidateState(*blank, state.data(), state.size(), reason)) << reason;
        PSG_LoadState(*blank, state.data());
        ExpectFieldsArrived(*psg, *blank,
                            {FIELD(T, Tone1Attenuation), FIELD(T, Tone1Period), FIELD(T, Tone1Output),
                             FIELD(T, Tone1LowBits), FIELD(T, Tone1Counter), FIELD(T, Tone2Attenuation),
                             FIELD(T, Tone2Period), FIELD(T, Tone2Output), FIELD(T, Tone2LowBits),
                             FIELD(T, Tone2Counter), FIELD(T, Tone3Attenuation), FIELD(T, Tone3Period),
                             FIELD(T, Tone3Output), FIELD(T, Tone3LowBits), FIELD(T, Tone3Counter),
                             FIELD(T, NoiseAttenuation), FIELD(T, NoiseControl), FIELD(T, NoiseToggle),
                             FIELD(T, NoiseTapMask), FIELD(T, NoiseShift), FIELD(T, NoiseCounter),
                             FIELD(T, CounterFolds), FIELD(T, LatchedChannel), FIELD(T, LatchedType)});
        EXPECT_EQ(blank->MixerOn, 1);
        EXPECT_EQ(blank->Tone2On, 1);
        EXPECT_EQ(blank->Tone1On, 0);
    }
}

TEST(CoreStateTest, EveryBusFieldOfTheStateArrives) {
    using T = T_INTERCONNECT_CORE;
    auto bus = RandomCore<T>(10);
    std::vector<uint8_t> state(INTERCONNECT_STATE_SIZE);
    Interconnect_SaveState(*bus, state.data());
    auto blank = std::make_unique<T>();
    std::string reason;
    ASSERT_TRUE(Interconnect_ValidateState(*blank, state.data(), state.size(), reason)) << reason;
    Interconnect_LoadState(*blank, state.data());
    ExpectFieldsArrived(*bus, *blank, {FIELD(T, PortA), FIELD(T, PortB), FIELD(T, MemoryControl)});
    EXPECT_EQ(blank->Vdp, nullptr) << "the wiring is the machine's";
}

}  // namespace
