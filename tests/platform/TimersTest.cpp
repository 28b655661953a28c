// The real timers' resolution: timeBeginPeriod(1) gives the calling thread
// (and the threads it starts later) a 1 ms timer slack, and the outermost
// timeEndPeriod gives back the slack it had before.
#include <gtest/gtest.h>
#include <sys/prctl.h>

#include <thread>

#include "Timers.h"

namespace {

long Slack() { return prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0); }

}  // namespace

TEST(SystemTimersTest, PeriodSetsTheTimerSlackAndNestedEndsRestoreIt) {
    std::thread([] {
        const long before = Slack();
        TSystemTimers timers;
        timers.timeBeginPeriod(1);
        EXPECT_EQ(Slack(), 1000000);
        long inherited = 0;
        std::thread([&] { inherited = Slack(); }).join();
        EXPECT_EQ(inherited, 1000000);

        timers.timeBeginPeriod(1);
        timers.timeEndPeriod(1);
        EXPECT_EQ(Slack(), 1000000);  // one period still open
        timers.timeEndPeriod(1);
        EXPECT_EQ(Slack(), before);
        timers.timeEndPeriod(1);  // an unbalanced end changes nothing
        EXPECT_EQ(Slack(), before);
        EXPECT_EQ(timers.OpenPeriods(), 0);
    }).join();
}
