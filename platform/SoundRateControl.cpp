// The sound queue's rate control.
#include "SoundRateControl.h"

#include <algorithm>

double TSoundRateControl::Update(double queuedMs, double seconds) {
    if (!smoothedValid_) {
        smoothed_ = queuedMs;
        smoothedValid_ = true;
    } else {
        smoothed_ += std::min(1.0, seconds / SmoothingSeconds) * (queuedMs - smoothed_);
    }
    const double error = smoothed_ - TargetMs;
    // The integral stays within the limits, so that it does not wind up
    // while the factor is held at one of them.
    integral_ = std::clamp(integral_ - IntegralGain * error * seconds, -MaxOffset, MaxOffset);
    factor_ = std::clamp(1.0 - Gain * error + integral_, 1.0 - MaxOffset, 1.0 + MaxOffset);
    return factor_;
}

void TSoundRateControl::Reset() {
    smoothedValid_ = false;
    smoothed_ = 0.0;
    integral_ = 0.0;
    factor_ = 1.0;
}
