// The front end's rate control for a sound queue that a card drains by its
// own clock: once a frame it reads how much is queued and answers the factor
// by which the console should make its sound faster or slower, so that a
// card whose clock runs a little off neither starves the queue nor fills it.
// A slow proportional-integral controller on the queue's level, smoothed
// over a quarter of a second: the proportional part pulls the level back
// (0.05% a millisecond off the target), the integral part learns the card's
// steady offset, so the level settles on the target whatever that offset,
// within MaxOffset. The factor moves by a few hundredths of a percent a
// frame at most, far below what an ear notices as a change of pitch.
//
// Toolkit-free and clock-free: the caller passes the time each step covers,
// so a test runs ten minutes of a card's clock in a moment.
#pragma once

struct TSoundRateControl {
    double TargetMs = 32.0;
    double Gain = 5e-4;          // factor per ms off the target
    double IntegralGain = 6e-5;  // factor per ms off the target, per second
    double SmoothingSeconds = 0.25;
    double MaxOffset = 0.01;     // the console's own limits, 0.99 to 1.01

    // A queue that plays: its level now and the time since the last step.
    // Returns the factor for the console's next frame.
    double Update(double queuedMs, double seconds);
    // A queue that does not play (filling up, stopped): the factor holds,
    // and the level is measured afresh when it plays again.
    void Hold() { smoothedValid_ = false; }
    // Forgets everything, the card's offset too (a new card, a new model).
    void Reset();
    double Factor() const { return factor_; }
    double SmoothedMs() const { return smoothed_; }

private:
    double smoothed_ = 0.0;
    bool smoothedValid_ = false;
    double integral_ = 0.0;  // factor
    double factor_ = 1.0;
};
