// SNDEM: the hardware models' part of a saved state (the exact chip).
//
// Every field little-endian at a fixed width, in this order:
//
//   next tick i32, cycle reached i32 (CPU cycles of the current frame)
//   routing u8, stereo u8, switches u8
//   counters u16 x 4 (tones 1-3, noise), flip-flops u8 x 4
//   output position of the frame's cycle 0 f64
//   for each side: running sum f64, DC blocker input f64, output f64
//   for each side: PSG_EXACT_BUFFER_SIZE pending slots f32
//
// f64 and f32 are the IEEE 754 bits as u64 and u32. The registers (periods,
// attenuations, noise control, the shift register, the latch) are in the
// PSG's own part; the summed levels follow from them and are counted again
// at load.
#include <bit>
#include <cmath>

#include "LittleEndian.h"
#include "SNDEM.h"

namespace {

// The longest frame: 313 lines of 228 cycles (PAL).
constexpr int32_t kMaxFrameCycles = 313 * 228;
constexpr uint16_t kMaxCounter = 1023;
// Far above any level the chip makes (four channels at 8192, their steps'
// overshoot): a larger value was not made here.
constexpr double kMaxMagnitude = 1.0e7;

void PutDouble(TLeWriter& w, double v) {
    LE_Put64(w.P, std::bit_cast<uint64_t>(v));
    w.P += 8;
}

double GetDouble(TLeReader& r) {
    const double v = std::bit_cast<double>(LE_Get64(r.P));
    r.P += 8;
    return v;
}

bool Sane(double v) { return std::isfinite(v) && std::fabs(v) <= kMaxMagnitude; }

}  // namespace

void PSG_SaveExactState(const T_PSG_CORE& psg, uint8_t* out) {
    TLeWriter w{out};
    w.U32(static_cast<uint32_t>(psg.ExactNextTick));
    w.U32(static_cast<uint32_t>(psg.ExactCycle));
    w.U8(psg.ExactRouting);
    w.U8(psg.ExactStereo);
    w.U8(psg.ExactSwitches);
    for (uint16_t counter : psg.ExactCounter) w.U16(counter);
    for (uint8_t flip : psg.ExactFlipFlop) w.U8(flip);
    PutDouble(w, psg.ExactFraction);
    for (int side = 0; side < 2; ++side) {
        PutDouble(w, psg.ExactSum[side]);
        PutDouble(w, psg.ExactDcIn[side]);
        PutDouble(w, psg.ExactDcOut[side]);
    }
    for (int side = 0; side < 2; ++side)
        for (float slot : psg.ExactBuffer[side]) w.U32(std::bit_cast<uint32_t>(slot));
}

bool PSG_ValidateExactState(const T_PSG_CORE&, const uint8_t* data, std::size_t size, std::string& reason) {
    if (size != PSG_EXACT_STATE_SIZE) {
        reason = "the exact PSG section is " + std::to_string(size) + " bytes long, not " +
                 std::to_string(PSG_EXACT_STATE_SIZE);
        return false;
    }
    TLeReader r{data};
    const int32_t nextTick = static_cast<int32_t>(r.U32());
    const int32_t cycle = static_cast<int32_t>(r.U32());
    const uint8_t routing = r.U8(), stereo = r.U8(), switches = r.U8();
    if (cycle < 0 || cycle > kMaxFrameCycles) {
        reason = "the exact PSG's cycle is " + std::to_string(cycle) + ", outside a frame";
        return false;
    }
    if (nextTick < cycle || nextTick >= cycle + 16) {
        reason = "the exact PSG's next tick is not within 16 cycles of the cycle it reached";
        return false;
    }
    if (stereo > 1 || (stereo == 0 && routing != PSG_ROUTING_BOTH)) {
        reason = "the exact PSG's stereo flag does not match its routing";
        return false;
    }
    if (switches > 31) {
        reason = "the exact PSG's switches are " + std::to_string(switches) + ", above 31";
        return false;
    }
    for (int channel = 0; channel < 4; ++channel) {
        const uint16_t counter = r.U16();
        if (counter == 0 || counter > kMaxCounter) {
            reason = "the exact PSG's counter " + std::to_string(channel + 1) + " is " + std::to_string(counter) +
                     ", not between 1 and " + std::to_string(kMaxCounter);
            return false;
        }
    }
    for (int channel = 0; channel < 4; ++channel) {
        if (r.U8() > 1) {
            reason = "the exact PSG's flip-flop " + std::to_string(channel + 1) + " is neither 0 nor 1";
            return false;
        }
    }
    const double fraction = GetDouble(r);
    if (!(fraction >= 0.0 && fraction < 1.0)) {
        reason = "the exact PSG's output position is not within a sample";
        return false;
    }
    for (int i = 0; i < 6; ++i) {
        if (!Sane(GetDouble(r))) {
            reason = "the exact PSG's filter state is not a level it makes";
            return false;
        }
    }
    for (std::size_t i = 0; i < 2 * PSG_EXACT_BUFFER_SIZE; ++i) {
        if (!Sane(std::bit_cast<float>(r.U32()))) {
            reason = "the exact PSG's pending output is not a level it makes";
            return false;
        }
    }
    return true;
}

void PSG_LoadExactState(T_PSG_CORE& psg, const uint8_t* data) {
    TLeReader r{data};
    psg.ExactNextTick = static_cast<int32_t>(r.U32());
    psg.ExactCycle = static_cast<int32_t>(r.U32());
    psg.ExactRouting = r.U8();
    psg.ExactStereo = r.U8();
    psg.ExactSwitches = r.U8();
    for (uint16_t& counter : psg.ExactCounter) counter = r.U16();
    for (uint8_t& flip : psg.ExactFlipFlop) flip = r.U8();
    psg.ExactFraction = GetDouble(r);
    for (int side = 0; side < 2; ++side) {
        psg.ExactSum[side] = GetDouble(r);
        psg.ExactDcIn[side] = GetDouble(r);
        psg.ExactDcOut[side] = GetDouble(r);
    }
    for (int side = 0; side < 2; ++side)
        for (float& slot : psg.ExactBuffer[side]) slot = std::bit_cast<float>(r.U32());
    PSG_RecountExactLevels(psg);
}
