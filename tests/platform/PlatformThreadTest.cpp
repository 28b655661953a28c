// The machine thread's platform class: start, park, resume, the hand-over to
// the main thread (played here by the test thread) and its error path.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <stdexcept>

#include "ManualDispatcher.h"
#include "PlatformThread.h"

namespace {

// A body that counts loop passes, parks between them, and hands a method to
// the main thread every pass when asked to.
class TCountingThread final : public TPlatformThread {
public:
    explicit TCountingThread(TMainThreadDispatcher& d) : TPlatformThread(d) {}
    ~TCountingThread() override { TerminateAndWait(); }

    std::atomic<int> passes{0};
    std::atomic<int> handedOver{0};
    std::atomic<int> errorsSeen{0};
    bool handOver = false;
    bool throwInHandOver = false;
    bool suspendInHandOver = false;

    static void Method(void* context) {
        auto* self = static_cast<TCountingThread*>(context);
        self->handedOver++;
        if (self->suspendInHandOver) self->Suspend();
        if (self->throwInHandOver) throw std::runtime_error("display lost");
    }

protected:
    void Execute() override {
        while (!Terminated()) {
            ParkPoint();
            passes++;
            if (handOver) {
                try {
                    if (!Synchronize(Method, this)) return;
                } catch (const std::runtime_error&) {
                    errorsSeen++;
                    SuspendSelf();
                }
            }
        }
    }
};

struct PlatformThreadTest : ::testing::Test {
    TManualDispatcher dispatcher;
    TCountingThread thread{dispatcher};
    void TearDown() override { dispatcher.Close(); }
};

TEST_F(PlatformThreadTest, StartsSuspendedAndTheFirstResumeStartsTheBody) {
    EXPECT_TRUE(thread.Suspended());
    thread.Suspend();  // nothing to park yet: returns at once
    EXPECT_EQ(thread.passes.load(), 0);
    EXPECT_EQ(thread.NativeId(), 0);

    thread.Resume();
    EXPECT_FALSE(thread.Suspended());
    thread.Suspend();
    EXPECT_TRUE(thread.Parked());
    const int parkedAt = thread.passes.load();
    EXPECT_GT(thread.NativeId(), 0);

    // Parked means parked: resuming and parking again moves the count on
    // only from where it stood.
    EXPECT_EQ(thread.passes.load(), parkedAt);
    thread.Resume();
    thread.Suspend();
    EXPECT_GE(thread.passes.load(), parkedAt);
    EXPECT_TRUE(thread.Parked());
}

TEST_F(PlatformThreadTest, HandOverRunsOnTheServingThreadWhileTheBodyWaits) {
    thread.handOver = true;
    thread.Resume();
    for (unsigned i = 1; i <= 3; ++i) {
        ASSERT_TRUE(dispatcher.AwaitPosted(i));
        // The body cannot pass the hand-over until it has been served.
        EXPECT_EQ(thread.passes.load(), static_cast<int>(i));
        ASSERT_TRUE(dispatcher.ServeOne());
        EXPECT_EQ(thread.handedOver.load(), static_cast<int>(i));
    }
}

TEST_F(PlatformThreadTest, SuspendFromTheMainThreadWhileTheHandOverIsQueuedDoesNotDeadlock) {
    thread.handOver = true;
    thread.Resume();
    ASSERT_TRUE(dispatcher.AwaitPosted(1));
    // The queued hand-over is behind this very call on the "main thread".
    thread.Suspend();
    EXPECT_TRUE(thread.Parked());
    // The withdrawn request does not run while the thread is suspended.
    dispatcher.ServeAll();
    EXPECT_EQ(thread.handedOver.load(), 0);

    thread.Resume();
    ASSERT_TRUE(dispatcher.AwaitPosted(2));
    ASSERT_TRUE(dispatcher.ServeOne());
    EXPECT_EQ(thread.handedOver.load(), 1);
    ASSERT_TRUE(dispatcher.AwaitPosted(3));
    EXPECT_EQ(thread.passes.load(), 2);
}

TEST_F(PlatformThreadTest, SuspendFromInsideTheHandOverParksTheBodyWhenItReturns) {
    thread.handOver = true;
    thread.suspendInHandOver = true;
    thread.Resume();
    ASSERT_TRUE(dispatcher.AwaitPosted(1));
    ASSERT_TRUE(dispatcher.ServeOne());  // calls Suspend inside: must not block
    EXPECT_TRUE(thread.Suspended());
    thread.AwaitParked();
    EXPECT_EQ(thread.passes.load(), 1);
    EXPECT_EQ(dispatcher.Posted(), 1u);
}

TEST_F(PlatformThreadTest, AnErrorInTheHandOverReachesTheBody) {
    thread.handOver = true;
    thread.throwInHandOver = true;
    thread.Resume();
    ASSERT_TRUE(dispatcher.AwaitPosted(1));
    ASSERT_TRUE(dispatcher.ServeOne());
    thread.AwaitParked();
    EXPECT_EQ(thread.errorsSeen.load(), 1);
    EXPECT_TRUE(thread.Suspended());

    // Parked by its own decision, it continues on the next Resume.
    thread.throwInHandOver = false;
    thread.Resume();
    ASSERT_TRUE(dispatcher.AwaitPosted(2));
    dispatcher.ServeOne();
    ASSERT_TRUE(dispatcher.AwaitPosted(3));
    EXPECT_EQ(thread.handedOver.load(), 2);
}

TEST_F(PlatformThreadTest, TerminatingWhileTheHandOverIsQueuedEndsTheBody) {
    thread.handOver = true;
    thread.Resume();
    ASSERT_TRUE(dispatcher.AwaitPosted(1));
    thread.TerminateAndWait();  // returns: the wait gives up
    dispatcher.ServeAll();      // the stale post finds no request
    EXPECT_EQ(thread.handedOver.load(), 0);
}

TEST_F(PlatformThreadTest, BelowNormalPriorityLowersTheThreadsNiceValue) {
    thread.Resume();
    thread.Suspend();
    thread.SetPriority(TThreadPriority::BelowNormal);
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(thread.NativeId()));
    ASSERT_EQ(errno, 0);
    EXPECT_GE(nice, 5);  // 5 unless the whole test already runs nicer
    EXPECT_EQ(thread.Priority(), TThreadPriority::BelowNormal);
}

}  // namespace
