// SNDEM: the PSG's part of a saved state.
//
// Every field little-endian at a fixed width, in this order:
//
//   for tones 1, 2, 3: attenuation u8, period u16, output u8,
//                      latched low bits u8, counter i32, fold count u32
//   noise: attenuation u8, control u8, toggle u8, tap mask u8,
//          shift register u16, counter i32, fold count u32
//   LatchedChannel u8, LatchedType u8
#include "LittleEndian.h"
#include "PSGChannels.h"
#include "SNDEM.h"

namespace {

using TWriter = TLeWriter;
using TReader = TLeReader;

// The fields of one tone channel, for the load loop.
struct TToneFields {
    uint8_t* Attenuation;
    uint16_t* Period;
    uint8_t* Output;
    uint8_t* LowBits;
    int32_t* Counter;
    uint32_t* Folds;
};

inline TToneFields Tone(T_PSG_CORE& psg, int channel) {
    switch (channel) {
    case 0:
        return {&psg.Tone1Attenuation, &psg.Tone1Period, &psg.Tone1Output, &psg.Tone1LowBits, &psg.Tone1Counter,
                &psg.CounterFolds[0]};
    case 1:
        return {&psg.Tone2Attenuation, &psg.Tone2Period, &psg.Tone2Output, &psg.Tone2LowBits, &psg.Tone2Counter,
                &psg.CounterFolds[1]};
    default:
        return {&psg.Tone3Attenuation, &psg.Tone3Period, &psg.Tone3Output, &psg.Tone3LowBits, &psg.Tone3Counter,
                &psg.CounterFolds[2]};
    }
}

// While a fold is outstanding the stored counter stays below the unfold
// mark (see PSGChannels.h); a state that says otherwise was not made here.
bool CounterInBand(int32_t counter, uint32_t folds) { return folds == 0 || counter < PSG_COUNTER_UNFOLD; }

bool Refuse(std::string& reason, const std::string& what, uint32_t value, uint32_t max) {
    reason = what + " is " + std::to_string(value) + ", above " + std::to_string(max);
    return false;
}

}  // namespace

void PSG_SaveState(const T_PSG_CORE& psg, uint8_t* out) {
    TWriter w{out};
    const uint8_t attenuation[3] = {psg.Tone1Attenuation, psg.Tone2Attenuation, psg.Tone3Attenuation};
    const uint16_t period[3] = {psg.Tone1Period, psg.Tone2Period, psg.Tone3Period};
    const uint8_t output[3] = {psg.Tone1Output, psg.Tone2Output, psg.Tone3Output};
    const uint8_t lowBits[3] = {psg.Tone1LowBits, psg.Tone2LowBits, psg.Tone3LowBits};
    const int32_t counter[3] = {psg.Tone1Counter, psg.Tone2Counter, psg.Tone3Counter};
    for (int channel = 0; channel < 3; ++channel) {
        w.U8(attenuation[channel]);
        w.U16(period[channel]);
        w.U8(output[channel]);
        w.U8(lowBits[channel]);
        w.U32(static_cast<uint32_t>(counter[channel]));
        w.U32(psg.CounterFolds[channel]);
    }
    w.U8(psg.NoiseAttenuation);
    w.U8(psg.NoiseControl);
    w.U8(psg.NoiseToggle);
    w.U8(psg.NoiseTapMask);
    w.U16(psg.NoiseShift);
    w.U32(static_cast<uint32_t>(psg.NoiseCounter));
    w.U32(psg.CounterFolds[3]);
    w.U8(psg.LatchedChannel);
    w.U8(psg.LatchedType);
}

bool PSG_ValidateState(const T_PSG_CORE& psg, const uint8_t* data, std::size_t size, std::string& reason) {
    if (size != PSG_STATE_SIZE) {
        reason = "the PSG section is " + std::to_string(size) + " bytes long, not " + std::to_string(PSG_STATE_SIZE);
        return false;
    }
    TReader r{data};
    for (int channel = 0; channel < 3; ++channel) {
        const std::string name = "tone " + std::to_string(channel + 1) + "'s ";
        const uint8_t attenuation = r.U8();
        const uint16_t period = r.U16();
        const uint8_t output = r.U8(), lowBits = r.U8();
        const int32_t counter = static_cast<int32_t>(r.U32());
        const uint32_t folds = r.U32();
        if (attenuation > 15) return Refuse(reason, name + "attenuation", attenuation, 15);
        if (period > 0x3FF) return Refuse(reason, name + "period", period, 0x3FF);
        if (output > 1) return Refuse(reason, name + "output", output, 1);
        if (lowBits > 15) return Refuse(reason, name + "latched low bits", lowBits, 15);
        if (!CounterInBand(counter, folds)) {
            reason = name + "counter does not match its fold count";
            return false;
        }
    }
    const uint8_t attenuation = r.U8(), control = r.U8(), toggle = r.U8(), tapMask = r.U8();
    r.U16();  // the shift register: any 16 bits
    const int32_t counter = static_cast<int32_t>(r.U32());
    const uint32_t folds = r.U32();
    const uint8_t channel = r.U8(), type = r.U8();
    if (attenuation > 15) return Refuse(reason, "the noise attenuation", attenuation, 15);
    if (control > 15) return Refuse(reason, "the noise control", control, 15);
    if (toggle > 1) return Refuse(reason, "the noise toggle", toggle, 1);
    // No noise control written yet leaves the mask at 0.
    if (tapMask != 0 && tapMask != psg.PeriodicTapMask && tapMask != psg.WhiteTapMask) {
        reason = "the noise tap mask is " + std::to_string(tapMask) + ", neither periodic nor white noise";
        return false;
    }
    if (!CounterInBand(counter, folds)) {
        reason = "the noise counter does not match its fold count";
        return false;
    }
    if (channel > 3) return Refuse(reason, "the latched channel", channel, 3);
    if (type > 1) return Refuse(reason, "the latched register type", type, 1);
    return true;
}

void PSG_LoadState(T_PSG_CORE& psg, const uint8_t* data) {
    TReader r{data};
    for (int channel = 0; channel < 3; ++channel) {
        const TToneFields t = Tone(psg, channel);
        *t.Attenuation = r.U8();
        *t.Period = r.U16();
        *t.Output = r.U8();
        *t.LowBits = r.U8();
        *t.Counter = static_cast<int32_t>(r.U32());
        *t.Folds = r.U32();
    }
    psg.NoiseAttenuation = r.U8();
    psg.NoiseControl = r.U8();
    psg.NoiseToggle = r.U8();
    psg.NoiseTapMask = r.U8();
    psg.NoiseShift = r.U16();
    psg.NoiseCounter = static_cast<int32_t>(r.U32());
    psg.CounterFolds[3] = r.U32();
    psg.LatchedChannel = r.U8();
    psg.LatchedType = r.U8();
}
