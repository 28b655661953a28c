// The real timers on std::chrono's steady clock, and the fake clock.
#include "Timers.h"

#include <chrono>
#include <thread>

#include <sys/prctl.h>

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point StartOfTime() {
    static const Clock::time_point start = Clock::now();
    return start;
}

}  // namespace

void TSystemTimers::timeBeginPeriod(uint32_t periodMs) {
    if (openPeriods_++ == 0) savedSlack_ = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    if (periodMs > 0) prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(periodMs) * 1000000UL, 0, 0, 0);
}

void TSystemTimers::timeEndPeriod(uint32_t) {
    if (openPeriods_ <= 0) return;
    // The outermost end restores the slack the thread had before.
    if (--openPeriods_ == 0 && savedSlack_ > 0)
        prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(savedSlack_), 0, 0, 0);
}

uint32_t TSystemTimers::timeGetTime() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - StartOfTime()).count();
    return static_cast<uint32_t>(ms);
}

int64_t TSystemTimers::QueryPerformanceCounter() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - StartOfTime()).count();
}

int64_t TSystemTimers::QueryPerformanceFrequency() { return 1000000000; }

void TSystemTimers::Sleep(uint32_t ms) {
    if (ms == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

uint32_t TFakeTimers::timeGetTime() { return static_cast<uint32_t>(Milliseconds); }

int64_t TFakeTimers::QueryPerformanceCounter() { return Ticks; }

void TFakeTimers::Sleep(uint32_t ms) {
    if (ms == 0) {
        ++Yields;
        Ticks += YieldTicks;
    } else {
        ++Sleeps;
        AdvanceMs(ms);
    }
}

void TFakeTimers::AdvanceMs(uint32_t ms) {
    Milliseconds += ms;
    Ticks += Frequency * ms / 1000;
}
