// Timers: the multimedia timer, the high-resolution performance counter and
// Sleep, behind one small interface so that pacing and the per-second frame
// count can be tested with a clock the test moves by hand.
#pragma once

#include <cstdint>

class TTimers {
public:
    virtual ~TTimers() = default;
    // Raise and restore the system timer resolution (in ms). The host's
    // sleeps are already fine-grained; the calls are counted for balance.
    virtual void timeBeginPeriod(uint32_t periodMs) = 0;
    virtual void timeEndPeriod(uint32_t periodMs) = 0;
    // Milliseconds since an arbitrary start; wraps at 2^32 like the original.
    virtual uint32_t timeGetTime() = 0;
    virtual int64_t QueryPerformanceCounter() = 0;
    virtual int64_t QueryPerformanceFrequency() = 0;
    // 0 gives up the time slice.
    virtual void Sleep(uint32_t ms) = 0;
};

// std::chrono's steady clock; the performance counter counts nanoseconds.
class TSystemTimers final : public TTimers {
public:
    void timeBeginPeriod(uint32_t periodMs) override;
    void timeEndPeriod(uint32_t periodMs) override;
    uint32_t timeGetTime() override;
    int64_t QueryPerformanceCounter() override;
    int64_t QueryPerformanceFrequency() override;
    void Sleep(uint32_t ms) override;
    int32_t OpenPeriods() const { return openPeriods_; }

private:
    int32_t openPeriods_ = 0;
};

// A clock that only moves when told to. Sleep advances it by the time slept
// (and a yield by YieldTicks), so a pacing loop run against it terminates.
class TFakeTimers final : public TTimers {
public:
    void timeBeginPeriod(uint32_t) override { ++OpenPeriods; }
    void timeEndPeriod(uint32_t) override { --OpenPeriods; }
    uint32_t timeGetTime() override;
    int64_t QueryPerformanceCounter() override;
    int64_t QueryPerformanceFrequency() override { return Frequency; }
    void Sleep(uint32_t ms) override;

    void AdvanceMs(uint32_t ms);

    // Plain fields so that a test sets the scene directly.
    int64_t Ticks = 0;            // performance counter
    int64_t Frequency = 1000000;  // ticks per second
    int64_t YieldTicks = 10;      // how far Sleep(0) moves the counter
    uint64_t Milliseconds = 0;    // timeGetTime before wrapping
    uint32_t Sleeps = 0;          // Sleep calls with ms > 0
    uint32_t Yields = 0;          // Sleep(0) calls
    int32_t OpenPeriods = 0;
};
