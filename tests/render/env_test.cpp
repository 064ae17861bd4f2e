#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

#include "../support/nullenv.h"
#include "../support/testutil.h"
#include "base/other.h"
#include "base/thread.h"
#include "render/env.h"
#include "render/light.h"

namespace {

using namespace std::chrono_literals;
using TestEnv = fxtest::NullEnv;

// Records every frame's time; optionally takes a while per frame.
class Recorder : public PRender {
public:
    explicit Recorder(std::chrono::milliseconds work = 0ms) : work_(work) {}
    void OnRender(PEnv*, double t) override {
        inFrame = true;
        std::this_thread::sleep_for(work_);
        std::lock_guard<std::mutex> g(m_);
        times_.push_back(t);
        inFrame = false;
    }
    std::vector<double> Times() {
        std::lock_guard<std::mutex> g(m_);
        return times_;
    }
    size_t Frames() { return Times().size(); }
    bool WaitFrames(size_t n) {
        for (auto end = std::chrono::steady_clock::now() + 5s; Frames() < n; std::this_thread::sleep_for(1ms))
            if (std::chrono::steady_clock::now() > end) return false;
        return true;
    }
    std::atomic<bool> inFrame{false};

private:
    std::chrono::milliseconds work_;
    std::mutex m_;
    std::vector<double> times_;
};

TEST(RenderLoop, FramesRunInOrderOnTheEngineClockAndAStartExchangesTheRenderer) {
    TestEnv env;
    Recorder r, v, never;
    env.renderer = &never;
    env.StopLoop(0.5);  // a loop never started: only the flags change
    EXPECT_TRUE(env.stopRequested && !env.renderer.load() && !env.thread);
    ASSERT_TRUE(env.StartLoop(&r));
    EXPECT_FALSE(env.stopRequested);  // a later start clears the stop request
    ASSERT_TRUE(r.WaitFrames(10));
    void* thread = env.thread;
    FXVirtualClock clock(42000);
    FXClockSource* old = fxSetClockSource(&clock);
    EXPECT_TRUE(env.StartLoop(&v));
    EXPECT_EQ(env.thread, thread);  // same render thread
    ASSERT_TRUE(v.WaitFrames(3));
    size_t rFrames = r.Frames();
    std::this_thread::sleep_for(30ms);
    env.StopLoop(100000.0);
    fxSetClockSource(old);
    std::vector<double> t = r.Times();
    EXPECT_EQ(t.size(), rFrames);
    for (size_t i = 1; i < t.size(); ++i) EXPECT_GT(t[i], t[i - 1]);
    for (double f : v.Times()) EXPECT_EQ(f, 42.0);
    // Each frame makes the context current and releases it again.
    int frames = static_cast<int>(t.size() + v.Frames());
    EXPECT_EQ(std::make_pair(env.actOn.load(), env.actOff.load()), std::make_pair(frames, frames));
    EXPECT_TRUE(!env.running && env.stopRequested && !env.renderer.load() && !env.thread && !never.Frames());
}

// With the frame lock another thread never sees a frame half done, and a
// stop without limit lets the frame in progress end; without the lock the
// mutex is free while a frame runs.
TEST(RenderLoop, TheFrameLockAndAStopWhileDrawing) {
    for (bool lock : {true, false}) {
        SCOPED_TRACE(lock);
        TestEnv env;
        env.lockEachFrame = lock;
        Recorder r(lock ? 5ms : 100ms);
        env.StartLoop(&r);
        if (lock) {
            ASSERT_TRUE(r.WaitFrames(1));
            for (int i = 0; i < 40; ++i) {
                FXGRAutoAct guard(&env);
                EXPECT_FALSE(r.inFrame);
                std::this_thread::sleep_for(1ms);
                EXPECT_FALSE(r.inFrame);
            }
        }
        while (!r.inFrame) std::this_thread::sleep_for(1ms);
        if (!lock) {
            EXPECT_TRUE(fxTryLock(env.mutex));
            fxUnlock(env.mutex);
        }
        env.StopLoop(100000.0);
        EXPECT_FALSE(r.inFrame);  // finished, not cut
        size_t frames = r.Frames();
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(r.Frames(), frames);
    }
}

TEST(FramePacing, TheNextFrameTime) {
    struct Case { double next, period, now, due; } cases[] = {
        {1.0, 0.5, 1.1, 1.5},   // on time: a period after the last
        {1.0, 0.5, 1.5, 1.5},   // due just now
        {1.0, 0.5, 1.7, 1.5},   // less than a period late: at once, the schedule holds
        {1.0, 0.5, 2.2, 2.2},   // later: from now on, the frames missed are not drawn
        {1.0, 0.5, 9.0, 9.0},   // far behind: no backlog either
        {50.0, 0.5, 2.0, 2.5},  // the clock went back (another source): one period from now
    };
    for (const Case& c : cases) EXPECT_EQ(fxNextFrameTime(c.next, c.period, c.now), c.due) << c.next << " " << c.now;
}

// After a frame that took six periods the loop goes on a period apart: the
// next frame at once, then no burst of the six missed.
TEST(FramePacing, ALateFrameBringsNoBurst) {
    TestEnv env;
    env.framePeriod = 0.02;
    struct SlowThird : public Recorder {
        std::atomic<int> n{0};
        void OnRender(PEnv* e, double t) override {
            if (++n == 3) std::this_thread::sleep_for(120ms);
            Recorder::OnRender(e, t);
        }
    } r;
    env.StartLoop(&r);
    ASSERT_TRUE(r.WaitFrames(14));
    env.StopLoop(100000.0);
    std::vector<double> t = r.Times();
    EXPECT_GE(t[3] - t[2], 0.119);
    ASSERT_GE(t.back(), t[3] + 0.1);
    // 0.1 s after the late frame: its successor and five a period apart;
    // catching up would draw six more.
    size_t n = 0;
    for (size_t i = 3; i < t.size(); ++i) n += t[i] < t[3] + 0.0995;
    EXPECT_LE(n, 7u);
    EXPECT_GE(n, 3u);
}

TEST(Lights, RegistrationSlots) {
    TestEnv env;
    FXLight l[9];
    EXPECT_TRUE(env.RegisterLight(&l[0]));
    EXPECT_TRUE(env.RegisterLight(&l[0]));
    EXPECT_EQ(env.lights[1], nullptr);  // one slot for both calls
    for (int i = 1; i < 8; ++i) EXPECT_TRUE(env.RegisterLight(&l[i]));
    EXPECT_FALSE(env.RegisterLight(&l[8]));
    env.UnregisterLight(&l[2]);
    EXPECT_EQ(env.lights[2], nullptr);
    // A light in a later slot is stored again in an earlier free one.
    EXPECT_TRUE(env.RegisterLight(&l[5]));
    EXPECT_EQ(std::make_pair(env.lights[2], env.lights[5]), std::make_pair(&l[5], &l[5]));
    env.UnregisterLight(&l[5]);
    EXPECT_EQ(std::make_pair(env.lights[2], env.lights[5]), std::make_pair(static_cast<FXLight*>(nullptr), &l[5]));
    env.UnregisterLight(&l[8]);  // not registered: nothing
}

TEST(Environment, DefaultMaterialsAndLibrariesSharedByName) {
    fxtest::TempDir dir;
    std::string mtl = dir.File("a.mtl");
    fxtest::WriteFile(mtl, "newmtl red\nKd 1 0 0\n");
    TestEnv env;
    FXMaterial loose;
    loose.name.Set("loose");
    env.AddMaterial(&loose);
    env.ApplyDefaultMaterial();
    EXPECT_EQ(std::make_tuple(env.GetDefaultMatlib()->FindMaterial(""), env.GetDefaultMatlib()->FindMaterial("loose"),
                              env.applied.load()),
              std::make_tuple(env.GetDefaultMaterial(), &loose, 1));

    FXMatlib* a = env.LoadMatlib(mtl.c_str());
    ASSERT_TRUE(a && a->FindMaterial("red"));
    EXPECT_EQ(std::make_tuple(a->parent, env.LoadMatlib(mtl.c_str()), a->refCount), std::make_tuple(env.GetDefaultMatlib(), a, 2));
    // A library whose file is missing stays in the list, empty.
    FXMatlib* missing = env.LoadMatlib(dir.File("none.mtl").c_str());
    EXPECT_EQ(std::make_pair(missing->Count(), env.matlibs.count), std::make_pair(0, 2));
    fxSetEnv(&env);
    a->Release();
    EXPECT_EQ(env.matlibs.count, 2);
    a->Release();  // the last reference deletes it and takes it off the list
    EXPECT_EQ(env.matlibs.count, 1);
    env.RemoveMatlib(missing);
    EXPECT_EQ(env.matlibs.count, 0);
    delete missing;
    fxSetEnv(nullptr);
    env.Destroy();
    env.Destroy();  // any number of times
    env.Lock(true);  // no mutex any more: nothing
    env.Lock(false);
}

}  // namespace
