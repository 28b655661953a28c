// PSG synthesis: stepping one channel, and rendering one frame's block of
// unsigned 8-bit samples from the registers as they stand.
#include <algorithm>
#include <cstring>
#include <limits>

#include "PSGChannels.h"
#include "SNDEM.h"

void PSG_RebaseCounter(int64_t& counter, uint32_t& folds) {
    constexpr uint32_t kMaxFolds = std::numeric_limits<uint32_t>::max();
    while (counter < PSG_COUNTER_FLOOR) {
        if (folds == kMaxFolds) {
            counter = PSG_COUNTER_FLOOR;
            break;
        }
        counter += PSG_COUNTER_FOLD;
        ++folds;
    }
    while (folds != 0 && counter >= PSG_COUNTER_UNFOLD) {
        counter -= PSG_COUNTER_FOLD;
        --folds;
    }
}

int32_t PSG_StepChannel(T_PSG_CORE& psg, uint32_t channel) {
    const uint32_t step = psg.CounterStep;
    switch (channel) {
    case 0:
        return PSG_StepTone(psg.Tone1Counter, psg.CounterFolds[0], psg.Tone1Output, psg.Tone1Period,
                            15 - psg.Tone1Attenuation, step);
    case 1:
        return PSG_StepTone(psg.Tone2Counter, psg.CounterFolds[1], psg.Tone2Output, psg.Tone2Period,
                            15 - psg.Tone2Attenuation, step);
    case 2:
        return PSG_StepTone(psg.Tone3Counter, psg.CounterFolds[2], psg.Tone3Output, psg.Tone3Period,
                            15 - psg.Tone3Attenuation, step);
    case 3: {
        TPsgNoiseState noise = PSG_LoadNoise(psg);
        const int32_t level = PSG_StepNoise(noise, psg.Tone3Period, 15 - psg.NoiseAttenuation, step);
        PSG_StoreNoise(psg, noise);
        return level;
    }
    default:
        return 0;
    }
}

namespace {

// One tone channel's state copied out of the object for the frame loop, so
// that the sample stores (bytes, which may alias anything) do not force the
// compiler to reload the counters from memory at every sample.
struct TToneState {
    int32_t Counter;
    uint32_t Folds;
    uint8_t Output;
    uint32_t Period;
    int32_t Level;
};

TToneState LoadTone(int32_t counter, uint32_t folds, uint8_t output, uint16_t period, uint8_t attenuation) {
    return TToneState{counter, folds, output, period, 15 - int32_t(attenuation)};
}

}  // namespace

void PSG_RenderFrame(T_PSG_CORE& psg, T_PSG_SAMPLE_BLOCK& block) {
    // SamplesPerFrame is kept within the buffer by PSG_SetFrameRate; the
    // bound here only guards a value stored by other means.
    const uint32_t count = std::min<uint32_t>(psg.SamplesPerFrame, PSG_SAMPLE_BUFFER_SIZE);
    if (psg.MixerOn == 1) {
        const uint32_t step = psg.CounterStep;
        const bool on1 = psg.Tone1On == 1, on2 = psg.Tone2On == 1, on3 = psg.Tone3On == 1;
        const bool onNoise = psg.NoiseOn == 1;
        TToneState t1 = LoadTone(psg.Tone1Counter, psg.CounterFolds[0], psg.Tone1Output, psg.Tone1Period,
                                 psg.Tone1Attenuation);
        TToneState t2 = LoadTone(psg.Tone2Counter, psg.CounterFolds[1], psg.Tone2Output, psg.Tone2Period,
                                 psg.Tone2Attenuation);
        TToneState t3 = LoadTone(psg.Tone3Counter, psg.CounterFolds[2], psg.Tone3Output, psg.Tone3Period,
                                 psg.Tone3Attenuation);
        TPsgNoiseState noise = PSG_LoadNoise(psg);
        const int32_t noiseLevel = 15 - int32_t(psg.NoiseAttenuation);
        uint8_t* out = psg.SampleBuffer;
        for (uint32_t i = 0; i < count; ++i) {
            // Between -45 and +75: the sample stays within 83..203.
            int32_t sum = 0;
            if (on1) sum += PSG_StepTone(t1.Counter, t1.Folds, t1.Output, t1.Period, t1.Level, step);
            if (on2) sum += PSG_StepTone(t2.Counter, t2.Folds, t2.Output, t2.Period, t2.Level, step);
            if (on3) sum += PSG_StepTone(t3.Counter, t3.Folds, t3.Output, t3.Period, t3.Level, step);
            if (onNoise) sum += 2 * PSG_StepNoise(noise, t3.Period, noiseLevel, step);
            out[i] = uint8_t(sum + 128);
        }
        psg.Tone1Counter = t1.Counter;
        psg.CounterFolds[0] = t1.Folds;
        psg.Tone1Output = t1.Output;
        psg.Tone2Counter = t2.Counter;
        psg.CounterFolds[1] = t2.Folds;
        psg.Tone2Output = t2.Output;
        psg.Tone3Counter = t3.Counter;
        psg.CounterFolds[2] = t3.Folds;
        psg.Tone3Output = t3.Output;
        PSG_StoreNoise(psg, noise);
    } else {
        // Mixer off: silence, and every channel stays where it stopped.
        std::memset(psg.SampleBuffer, 128, count);
    }
    std::memcpy(block.Samples, psg.SampleBuffer, PSG_SAMPLE_BUFFER_SIZE);
}
