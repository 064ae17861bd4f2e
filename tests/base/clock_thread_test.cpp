#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <tuple>

#ifdef _WIN32
#include <windows.h>
#else
#include <sched.h>
#include <sys/resource.h>
#endif

#include "../support/testutil.h"
#include "base/other.h"
#include "base/thread.h"

namespace {

TEST(Clock, VirtualAndSystemClocks) {
    FXVirtualClock clock(1500);
    FXClockSource* old = fxSetClockSource(&clock);
    EXPECT_EQ(fxGetTime(), 1.5);
    FXTimeDiff d;
    EXPECT_EQ(d.OnTime(), 1.5);  // the first reading is the time itself
    clock.AdvanceMs(250);
    EXPECT_EQ(d.OnTime(), 0.25);
    clock.SetMs(0xFFFFFFFFull + 1001);  // beyond 49.7 days of milliseconds: no wrap
    EXPECT_DOUBLE_EQ(fxGetTime(), 4294968.296);
    EXPECT_EQ(fxSetClockSource(old), &clock);
    double a = fxGetTime();
    fxSleep(0.02);
    EXPECT_GE(fxGetTime() - a, 0.019);
    for (auto [s, ms] : {std::pair{0.0, 0u}, {0.0104, 10u}, {0.0106, 11u}, {-1.0, 0u}}) EXPECT_EQ(fxSleepMs(s), ms) << s;
}

// A scaled clock reads as its base when made and then runs its factor as
// fast; on the system clock it runs ahead of real time.
TEST(Clock, AScaledClockRunsItsFactorAsFast) {
    for (auto [speed, advance, reads] : {std::tuple{20.0, 1000u, 25000u}, {1.0, 1000u, 6000u}, {0.5, 1001u, 5500u}}) {
        FXVirtualClock base(5000);
        FXScaledClock scaled(speed, &base);
        EXPECT_EQ(scaled.NowMs(), 5000u) << speed;
        base.AdvanceMs(advance);
        EXPECT_EQ(scaled.NowMs(), reads) << speed;
    }
    FXScaledClock fast(20.0);
    FXClockSource* old = fxSetClockSource(&fast);
    uint64_t a = fxGetTimeMs();
    fxSleep(0.05);
    EXPECT_GE(fxGetTimeMs() - a, 980u);  // 20 x at least 50 ms, less a millisecond's rounding
    EXPECT_FALSE(fxSystemClockActive());
    fxSetClockSource(old);
}

TEST(Rect, Combinations) {
    FXRect a, b, c, e;
    a.Set(0, 0, 10, 10);
    b.Set(10, 0, 20, 10);
    c = a;
    EXPECT_FALSE(c.CombineAnd(&b));  // touching at an edge only
    c = a;
    c.CombineOr(&b);
    EXPECT_EQ(c.right, 20);
    b.Set(5, 5, 15, 15);
    c = a;
    EXPECT_TRUE(c.CombineAnd(&b));
    EXPECT_EQ(c.left + c.bottom, 5 + 10);
    EXPECT_TRUE(e.IsEmpty());
    a.CombineOr(&e);  // an empty rectangle takes part like any other
    EXPECT_EQ(a.left, 0);
}

TEST(Mutex, ReentrantAndExclusive) {
    void* m = fxCreateMutex();
    ASSERT_NE(m, nullptr);
    auto fromOtherThread = [m] {
        bool got = false;
        std::thread([&] {
            if ((got = fxTryLock(m))) fxUnlock(m);
        }).join();
        return got;
    };
    fxLock(m);
    EXPECT_TRUE(fxTryLock(m));  // the holder may take it again
    EXPECT_FALSE(fromOtherThread());
    fxUnlock(m);
    fxUnlock(m);
    EXPECT_TRUE(fromOtherThread());
    fxDestroyMutex(m);
    fxDestroyMutex(nullptr);
}

void Sleeper(void* ran) {
    static_cast<std::atomic<bool>*>(ran)->store(true);
    for (;;) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

TEST(Thread, TimedWaitsTimeOutAndTerminateEndsAThreadThatNeverReturns) {
    EXPECT_TRUE(fxWaitThread(nullptr, 1.0));
    void* t = fxCreateThread(nullptr, nullptr);  // a null function ends at once
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(fxWaitThread(t, 5.0));
    fxSetThreadPriority(t, 1);  // no thread: nothing happens
    fxDestroyThread(t);
    if (FX_UNDER_TSAN) GTEST_SKIP() << "cancellation is outside what the thread sanitizer models";
#if defined(__SANITIZE_ADDRESS__)
    // The optimised address-sanitizer runtime stops on its own check while a
    // cancelled thread unwinds.
    GTEST_SKIP() << "cancellation is outside what the address sanitizer follows";
#endif
    std::atomic<bool> ran{false};
    t = fxCreateThread(Sleeper, &ran);
    ASSERT_NE(t, nullptr);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(fxWaitThread(t, 0.2));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(190));
    EXPECT_TRUE(ran);
    fxSetThreadPriority(t, -1);
    fxTerminateThread(t);
    EXPECT_TRUE(fxWaitThread(t, 0.0));
    fxDestroyThread(t);
}

struct Idler {
    std::atomic<uint32_t> id{0};
    std::atomic<bool> stop{false};
};

void Idle(void* p) {
    Idler* s = static_cast<Idler*>(p);
    s->id = fxGetCurrentThreadId();
    while (!s->stop) fxSleep(0.001);
}

}  // namespace

#ifdef _WIN32
// The multimedia counter's 32-bit wraps go into the high bits; a reading a
// racing thread took a little earlier never moves the clock back.
uint64_t fxW32UnwrapMs(uint64_t last, uint32_t now);  // other_w32.cpp
#endif

namespace {

#ifdef _WIN32

TEST(Clock, TheSystemCountersWrapsAreCountedInto64Bits) {
    const uint64_t k = 0x100000000ull;
    struct Row {
        uint64_t last;
        uint32_t now;
        uint64_t want;
    } rows[] = {
        {0, 5, 5},
        {0xFFFFFFF0ull, 0x10, k + 0x10},            // the first wrap
        {3 * k + 0xFFFFFF00ull, 0x20, 4 * k + 0x20},  // a later one
        {k + 1000, 999, k + 1000},                   // a step back is no wrap
        {k + 0x90000000ull, 0x10000000u, k + 0x90000000ull},
        {k + 0x90000000ull, 0x0FFFFFFFu, 2 * k + 0x0FFFFFFFull},  // more than half the range back
    };
    for (const Row& r : rows) EXPECT_EQ(fxW32UnwrapMs(r.last, r.now), r.want) << r.last << " " << r.now;
    uint64_t a = fxGetTimeMs();
    fxSleep(0.05);
    uint64_t b = fxGetTimeMs();
    EXPECT_TRUE(b - a >= 49 && b - a < 1000) << a << " " << b;
}

// The thread's priority as the system reports it, through its id.
int ThreadPriorityOf(uint32_t id) {
    HANDLE h = OpenThread(THREAD_QUERY_INFORMATION, FALSE, id);
    int p = h ? GetThreadPriority(h) : THREAD_PRIORITY_ERROR_RETURN;
    if (h) CloseHandle(h);
    return p;
}

// A raised request must not take time from the desktop: never the real-time
// class, never more than normal.
TEST(Priority, ARaisedRequestNeverTakesARealTimeClassNorMoreThanNormal) {
    Idler idler;
    void* t = fxCreateThread(Idle, &idler);
    ASSERT_NE(t, nullptr);
    while (!idler.id) fxSleep(0.001);
    struct Row {
        int request, want;
    } rows[] = {{1, THREAD_PRIORITY_NORMAL}, {-1, THREAD_PRIORITY_LOWEST}, {0, THREAD_PRIORITY_NORMAL}};
    for (const Row& r : rows) {
        fxSetThreadPriority(t, r.request);
        EXPECT_EQ(ThreadPriorityOf(idler.id), r.want) << r.request;
    }
    idler.stop = true;
    EXPECT_TRUE(fxWaitThread(t, 5.0));
    fxDestroyThread(t);
    struct AppRow {
        int request;
        DWORD want;
    } apps[] = {{1, NORMAL_PRIORITY_CLASS}, {-1, BELOW_NORMAL_PRIORITY_CLASS}, {0, NORMAL_PRIORITY_CLASS}};
    for (const AppRow& r : apps) {
        fxSetAppPriority(r.request);
        EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), r.want) << r.request;
    }
}
#else
// Run as root, a raised request must still not take time from the desktop,
// nor more than the process was started with (a daemon nices its hacks).
TEST(Priority, ARaisedRequestNeverTakesARealTimeClassNorMoreThanNormal) {
    ASSERT_EQ(setpriority(PRIO_PROCESS, 0, std::max(getpriority(PRIO_PROCESS, 0), 10)), 0);
    Idler idler;
    void* t = fxCreateThread(Idle, &idler);
    ASSERT_NE(t, nullptr);
    while (!idler.id) fxSleep(0.001);
    fxSetThreadPriority(t, 1);
    EXPECT_GE(getpriority(PRIO_PROCESS, idler.id), getpriority(PRIO_PROCESS, 0));
    idler.stop = true;
    EXPECT_TRUE(fxWaitThread(t, 5.0));
    fxDestroyThread(t);
    int before = getpriority(PRIO_PROCESS, 0);
    fxSetAppPriority(1);
    EXPECT_EQ(sched_getscheduler(0), SCHED_OTHER);
    EXPECT_GE(getpriority(PRIO_PROCESS, 0), before);
    fxSetAppPriority(-1);
    EXPECT_GE(getpriority(PRIO_PROCESS, 0), 5);
    fxSetAppPriority(0);  // may be refused without privilege; must not fail
}
#endif

}  // namespace
