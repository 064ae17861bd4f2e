// Phaser values over engine time (a virtual clock), its runs, loops and
// bounces, and its stored forms.
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "anim/phaser.h"
#include "base/other.h"
#include "package/package.h"
#include "../support/testutil.h"

namespace {

// Every phaser test reads the engine clock, driven by hand.
class PhaserTest : public ::testing::Test {
protected:
    FXVirtualClock clock;
    FXClockSource* previous = nullptr;
    void SetUp() override { previous = fxSetClockSource(&clock); }
    void TearDown() override { fxSetClockSource(previous); }

    // Moves the clock to ms and renders one frame at the engine time.
    void At(FXPhaser* p, uint64_t ms) {
        clock.SetMs(ms);
        p->OnRender(nullptr, fxGetTime());
    }
};

std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int c : b) s.push_back(static_cast<char>(c));
    return s;
}

}  // namespace

TEST_F(PhaserTest, NewPhaserIsActiveAndLooping) {
    FXPhaser p;
    EXPECT_EQ(p.value, 0.0f);
    EXPECT_TRUE(p.active);
    EXPECT_FALSE(p.reverse);
    EXPECT_TRUE(p.loop);
    EXPECT_FALSE(p.bounce);
    EXPECT_EQ(p.start, 0.0);
    EXPECT_EQ(p.duration, 1.0);
    EXPECT_FALSE(p.smooth);
    EXPECT_FALSE(p.halfSmooth);
    At(&p, 250);
    EXPECT_EQ(p.value, 0.25f);
}

TEST_F(PhaserTest, SingleRunEndsAtOneExactly) {
    FXPhaser p;
    p.loop = false;
    p.duration = 2.0;
    clock.SetMs(10000);
    p.Restart(fxGetTime());
    At(&p, 10500);
    EXPECT_EQ(p.value, 0.25f);
    At(&p, 11999);
    EXPECT_FLOAT_EQ(p.value, 0.9995f);
    EXPECT_TRUE(p.active);
    At(&p, 12000);
    EXPECT_FALSE(p.active);
    EXPECT_EQ(p.value, 1.0f);
    At(&p, 15000);  // an inactive phaser keeps its value
    EXPECT_EQ(p.value, 1.0f);

    // Running backward it ends at 0; Restart always runs forward again.
    p.Restart(15.0);
    p.reverse = true;
    At(&p, 15500);
    EXPECT_EQ(p.value, 0.75f);
    At(&p, 17000);
    EXPECT_FALSE(p.active);
    EXPECT_EQ(p.value, 0.0f);
    p.Restart(20.0);
    EXPECT_FALSE(p.reverse);
    EXPECT_TRUE(p.active);
    EXPECT_EQ(p.value, 0.0f);
}

TEST_F(PhaserTest, LoopKeepsItsRhythmUnlessAGapIsTooLong) {
    FXPhaser p;
    p.Restart(0.0);
    At(&p, 500);
    EXPECT_EQ(p.value, 0.5f);
    At(&p, 1250);  // overshoot of a quarter: the next run started at 1
    EXPECT_EQ(p.start, 1.0);
    EXPECT_EQ(p.value, 0.25f);
    At(&p, 2999);  // that run has ended too: the next starts one duration on
    EXPECT_EQ(p.start, 2.0);
    EXPECT_FLOAT_EQ(p.value, 0.999f);
    At(&p, 5000);  // three durations late: the run restarts at the frame
    EXPECT_EQ(p.start, 5.0);
    EXPECT_EQ(p.value, 0.0f);
    At(&p, 5750);
    EXPECT_EQ(p.value, 0.75f);
    EXPECT_TRUE(p.active);
}

TEST_F(PhaserTest, BounceRisesThenFalls) {
    FXPhaser p;
    p.bounce = true;
    p.duration = 2.0;
    p.Restart(0.0);
    At(&p, 500);
    EXPECT_EQ(p.value, 0.25f);
    At(&p, 2500);
    EXPECT_TRUE(p.reverse);
    EXPECT_EQ(p.value, 0.75f);
    At(&p, 3500);
    EXPECT_EQ(p.value, 0.25f);
    At(&p, 4500);
    EXPECT_FALSE(p.reverse);
    EXPECT_EQ(p.value, 0.25f);
    // Without loop, bounce does nothing: the run simply ends.
    FXPhaser q;
    q.bounce = true;
    q.loop = false;
    q.Restart(0.0);
    At(&q, 1000);
    EXPECT_FALSE(q.active);
    EXPECT_FALSE(q.reverse);
    EXPECT_EQ(q.value, 1.0f);
}

TEST_F(PhaserTest, ShapingCurves) {
    struct Case {
        bool smooth, half, reverse;
        uint64_t ms;
        float value;
    } cases[] = {
        {true, false, false, 500, 0.5f},     {true, false, false, 250, 0.15625f},
        {false, true, false, 500, 0.5f},     {false, true, false, 250, 0.203125f},
        {true, true, false, 250, 0.15625f},  // smooth wins
        {true, false, true, 250, 0.84375f},  // shaped, then reversed
        {false, false, false, 250, 0.25f},
    };
    for (const Case& c : cases) {
        FXPhaser p;
        p.smooth = c.smooth;
        p.halfSmooth = c.half;
        p.Restart(0.0);
        p.reverse = c.reverse;
        At(&p, c.ms);
        EXPECT_EQ(p.value, c.value) << c.smooth << c.half << c.reverse << " at " << c.ms;
    }
}

TEST_F(PhaserTest, RunsWithoutLengthGiveFiniteValues) {
    double durations[] = {0.0, -1.0, NAN};
    for (double d : durations) {
        FXPhaser looping;
        looping.duration = d;
        looping.Restart(1.0);
        for (uint64_t ms : {1000u, 1000u, 1500u, 4000u}) {
            At(&looping, ms);
            EXPECT_TRUE(std::isfinite(looping.value)) << d;
            EXPECT_GE(looping.value, 0.0f);
            EXPECT_LE(looping.value, 1.0f);
        }
        FXPhaser once;
        once.duration = d;
        once.loop = false;
        once.Restart(1.0);
        At(&once, 1000);
        EXPECT_TRUE(std::isfinite(once.value)) << d;
    }
    FXPhaser zero;
    zero.duration = 0.0;
    zero.loop = false;
    zero.Restart(1.0);
    At(&zero, 1000);  // a zero-length run has ended at its start
    EXPECT_FALSE(zero.active);
    EXPECT_EQ(zero.value, 1.0f);
}

TEST_F(PhaserTest, FileAndRecordForms) {
    fxtest::TempDir dir;
    FXPhaser p;
    p.value = 0.5f;
    p.duration = 2.5;
    p.active = false;
    p.reverse = true;
    p.loop = false;
    p.bounce = true;
    p.smooth = false;
    p.halfSmooth = true;
    p.start = 99.0;
    std::string path = dir.File("phaser.bin");
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    EXPECT_TRUE(p.Save(f));
    fclose(f);
    std::string bytes = fxtest::ReadFile(path);
    std::string expect = Bytes({0, 0, 0, 0x3f, 0, 0, 0, 0, 0, 0, 4, 0x40, 0, 1, 0, 1, 0, 1});
    EXPECT_EQ(bytes, expect);

    FXPhaser fromFile;
    fromFile.start = 7.0;
    f = fopen(path.c_str(), "rb");
    ASSERT_TRUE(f);
    EXPECT_TRUE(fromFile.Load(f));
    fclose(f);
    FXPhaser fromRecord;
    FXPackageData d;
    d.InitData(&bytes[0], static_cast<int>(bytes.size()));
    EXPECT_TRUE(fromRecord.LoadC(nullptr, &d));
    EXPECT_EQ(d.remaining, 0);
    for (FXPhaser* q : {&fromFile, &fromRecord}) {
        EXPECT_EQ(q->value, 0.5f);
        EXPECT_EQ(q->duration, 2.5);
        EXPECT_FALSE(q->active);
        EXPECT_TRUE(q->reverse);
        EXPECT_FALSE(q->loop);
        EXPECT_TRUE(q->bounce);
        EXPECT_FALSE(q->smooth);
        EXPECT_TRUE(q->halfSmooth);
    }
    EXPECT_EQ(fromFile.start, 7.0);  // the start time is not stored
}

TEST_F(PhaserTest, DamagedStoredForms) {
    fxtest::TempDir dir;
    // Flag bytes other than 1 are false.
    std::string twos = Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf0, 0x3f, 2, 1, 2, 0xff, 1, 0});
    FXPhaser p;
    FXPackageData d;
    d.InitData(&twos[0], static_cast<int>(twos.size()));
    EXPECT_TRUE(p.LoadC(nullptr, &d));
    EXPECT_EQ(p.duration, 1.0);
    EXPECT_FALSE(p.active);
    EXPECT_TRUE(p.reverse);
    EXPECT_FALSE(p.loop);
    EXPECT_FALSE(p.bounce);
    EXPECT_TRUE(p.smooth);
    EXPECT_FALSE(p.halfSmooth);
    FXPhaser fp;
    std::string path = dir.File("twos.bin");
    fxtest::WriteFile(path, twos);
    FILE* f = fopen(path.c_str(), "rb");
    ASSERT_TRUE(f);
    EXPECT_TRUE(fp.Load(f));
    fclose(f);
    EXPECT_FALSE(fp.active);
    EXPECT_TRUE(fp.reverse);
    EXPECT_FALSE(fp.loop);
    EXPECT_TRUE(fp.smooth);

    // Cut short: what is missing reads as zero, in both forms alike.
    for (size_t n = 0; n < twos.size(); ++n) {
        std::string cut = twos.substr(0, n);
        FXPhaser r, l;
        FXPackageData c;
        c.InitData(cut.empty() ? nullptr : &cut[0], static_cast<int>(n));
        EXPECT_FALSE(r.LoadC(nullptr, &c));
        fxtest::WriteFile(path, cut);
        f = fopen(path.c_str(), "rb");
        ASSERT_TRUE(f);
        EXPECT_FALSE(l.Load(f));
        fclose(f);
        if (n < 4) {
            EXPECT_EQ(r.value, 0.0f);
        }
        if (n < 12) {
            EXPECT_EQ(r.duration, 0.0);
        }
        EXPECT_FALSE(r.halfSmooth);
        EXPECT_FALSE(r.bounce);
        EXPECT_EQ(l.value, r.value) << n;
        EXPECT_EQ(l.duration, r.duration) << n;
        EXPECT_EQ(l.active, r.active) << n;
        EXPECT_EQ(l.reverse, r.reverse) << n;
        EXPECT_EQ(l.loop, r.loop) << n;
        EXPECT_EQ(l.smooth, r.smooth) << n;
    }
    // A record whose double runs short reads the flags from where it stood.
    std::string shortRec = Bytes({0, 0, 0x80, 0x3f, 1, 1, 0});
    FXPackageData c;
    c.InitData(&shortRec[0], static_cast<int>(shortRec.size()));
    EXPECT_FALSE(p.LoadC(nullptr, &c));
    EXPECT_EQ(p.value, 1.0f);
    EXPECT_EQ(p.duration, 0.0);
    EXPECT_TRUE(p.active);
    EXPECT_TRUE(p.reverse);
    EXPECT_FALSE(p.loop);
    EXPECT_FALSE(p.LoadC(nullptr, nullptr));
    EXPECT_FALSE(p.Load(nullptr));
}
