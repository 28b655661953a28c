// Timers: the multimedia timer, the high-resolution performance counter and
// Sleep, behind one small interface so that pacing and the per-second frame
// count can be tested with a clock the test moves by hand.
#pragma once

#include <cstdint>

class TTimers {
public:
    virtual ~TTimers() = default;
    // Set and restore the system timer resolution (in ms) of the calling
    // thread and of the threads it starts afterwards; the calls nest.
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
//
// The timer resolution is Linux's timer slack: a sleep of n ms may end up
// to one period later, so the kernel can bundle wake-ups. The host's default
// slack is 50 us, far finer than the 1 ms the program asks for, and such
// precise 1 ms sleeps make the pacing's yielding tail longer than needed: a
// sleep that ends just over 1 ms later leaves up to 2 ms to yield away,
// where one that may take up to 2 ms leaves 0 to 2 (about a third less
// processor time in a paced window). The deadline itself is met as before,
// since the last sleep starts with more than 2 ms to go.
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
    long savedSlack_ = -1;  // the thread's slack before the outermost period
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
