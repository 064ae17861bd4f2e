#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <sched.h>
#include <sys/resource.h>

#include "../support/testutil.h"
#include "base/other.h"
#include "base/thread.h"

namespace {

TEST(Clock, VirtualClockDrivesEngineTime) {
    FXVirtualClock clock(1500);
    FXClockSource* old = fxSetClockSource(&clock);
    EXPECT_EQ(fxGetTime(), 1.5);
    FXTimeDiff d;
    EXPECT_EQ(d.OnTime(), 1.5);  // the first reading is the time itself
    clock.AdvanceMs(250);
    EXPECT_EQ(d.OnTime(), 0.25);
    // Beyond 49.7 days of milliseconds the time goes on instead of wrapping.
    clock.SetMs(0xFFFFFFFFull + 1001);
    EXPECT_DOUBLE_EQ(fxGetTime(), 4294968.296);
    EXPECT_EQ(fxSetClockSource(old), &clock);
}

TEST(Clock, SystemClockIsMonotonic) {
    double a = fxGetTime();
    fxSleep(0.02);
    double b = fxGetTime();
    EXPECT_GE(b - a, 0.019);
}

TEST(Clock, SleepRoundsToTheNearestMillisecond) {
    EXPECT_EQ(fxSleepMs(0.0), 0u);
    EXPECT_EQ(fxSleepMs(0.0104), 10u);
    EXPECT_EQ(fxSleepMs(0.0106), 11u);
    EXPECT_EQ(fxSleepMs(-1.0), 0u);
}

TEST(Random, RangeIncludesBothEnds) {
    fxSrand(1);
    bool zero = false, one = false;
    for (int i = 0; i < 400000 && !(zero && one); ++i) {
        float r = fxGetRandom();
        ASSERT_GE(r, 0.0f);
        ASSERT_LE(r, 1.0f);
        zero = zero || r == 0.0f;
        one = one || r == 1.0f;
    }
    EXPECT_TRUE(zero);
    EXPECT_TRUE(one);
}

TEST(Random, SameSeedSameSequence) {
    fxSrand(12345);
    int a[8];
    for (int& v : a) v = fxRand();
    fxSrand(12345);
    for (int v : a) EXPECT_EQ(fxRand(), v);
    // The classic generator's first draw from seed 1.
    fxSrand(1);
    EXPECT_EQ(fxRand(), 41);
    fxResetRandom();
}

TEST(Rect, Combinations) {
    FXRect a, b;
    a.Set(0, 0, 10, 10);
    b.Set(10, 0, 20, 10);
    FXRect c = a;
    EXPECT_FALSE(c.CombineAnd(&b));  // touching at an edge only
    c = a;
    c.CombineOr(&b);
    EXPECT_EQ(c.right, 20);
    b.Set(5, 5, 15, 15);
    c = a;
    EXPECT_TRUE(c.CombineAnd(&b));
    EXPECT_EQ(c.left, 5);
    EXPECT_EQ(c.bottom, 10);
    FXRect e;
    EXPECT_TRUE(e.IsEmpty());
    a.CombineOr(&e);  // an empty rectangle takes part like any other
    EXPECT_EQ(a.left, 0);
}

TEST(Mutex, ReentrantAndExclusive) {
    void* m = fxCreateMutex();
    ASSERT_NE(m, nullptr);
    fxLock(m);
    EXPECT_TRUE(fxTryLock(m));  // the holder may take it again
    std::atomic<int> other{-1};
    std::thread t([&] { other = fxTryLock(m) ? 1 : 0; });
    t.join();
    EXPECT_EQ(other, 0);
    fxUnlock(m);
    fxUnlock(m);
    std::thread t2([&] {
        other = fxTryLock(m) ? 1 : 0;
        if (other) fxUnlock(m);
    });
    t2.join();
    EXPECT_EQ(other, 1);
    fxDestroyMutex(m);
    fxDestroyMutex(nullptr);
}

struct Gate {
    std::atomic<bool> open{false};
    std::atomic<bool> ran{false};
};

void WaitForGate(void* p) {
    Gate* g = static_cast<Gate*>(p);
    g->ran = true;
    while (!g->open) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST(Thread, TimedWaitTimesOutThenJoins) {
    Gate g;
    void* t = fxCreateThread(WaitForGate, &g);
    ASSERT_NE(t, nullptr);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(fxWaitThread(t, 0.2));
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(190));
    g.open = true;
    EXPECT_TRUE(fxWaitThread(t, 100000.0));
    EXPECT_TRUE(g.ran);
    EXPECT_TRUE(fxWaitThread(t, 0.0));  // no thread any more
    fxDestroyThread(t);
    EXPECT_TRUE(fxWaitThread(nullptr, 1.0));
}

void Sleeper(void* p) {
    static_cast<Gate*>(p)->ran = true;
    for (;;) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

TEST(Thread, TerminateEndsAThreadThatNeverReturns) {
    if (FX_UNDER_TSAN) GTEST_SKIP() << "cancellation is outside what the thread sanitizer models";
    Gate g;
    void* t = fxCreateThread(Sleeper, &g);
    ASSERT_NE(t, nullptr);
    while (!g.ran) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(fxWaitThread(t, 0.05));
    fxTerminateThread(t);
    EXPECT_TRUE(fxWaitThread(t, 0.0));
    fxDestroyThread(t);
}

TEST(Thread, NullFunctionEndsAtOnce) {
    void* t = fxCreateThread(nullptr, nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(fxWaitThread(t, 5.0));
    fxSetThreadPriority(t, 1);  // no thread: nothing happens
    fxDestroyThread(t);
}

TEST(Priority, ARaisedRequestNeverTakesARealTimeClass) {
    int before = getpriority(PRIO_PROCESS, 0);
    fxSetAppPriority(1);
    EXPECT_EQ(sched_getscheduler(0), SCHED_OTHER);
    EXPECT_GE(getpriority(PRIO_PROCESS, 0), before);
    fxSetAppPriority(-1);
    EXPECT_GE(getpriority(PRIO_PROCESS, 0), 5);
    fxSetAppPriority(0);  // may be refused without privilege; must not fail

    Gate g;
    void* t = fxCreateThread(WaitForGate, &g);
    ASSERT_NE(t, nullptr);
    fxSetThreadPriority(t, -1);
    g.open = true;
    EXPECT_TRUE(fxWaitThread(t, 100000.0));
    fxDestroyThread(t);
}

}  // namespace
