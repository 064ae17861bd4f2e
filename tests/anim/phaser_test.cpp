// Phaser values over engine time (a virtual clock), its runs, loops and
// bounces, and its stored forms.
#include <cmath>
#include <string>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

#include "../support/testutil.h"
#include "anim/phaser.h"
#include "base/other.h"
#include "base/trace.h"
#include "package/package.h"

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
    // Value, running flag and direction after a frame at ms.
    std::tuple<float, bool, bool> After(FXPhaser* p, uint64_t ms) {
        At(p, ms);
        return {p->value, p->active, p->reverse};
    }
};

// The stored fields but the start time.
auto Fields(const FXPhaser& p) {
    return std::make_tuple(p.value, p.duration, p.active, p.reverse, p.loop, p.bounce, p.smooth, p.halfSmooth);
}

TEST_F(PhaserTest, SingleRunEndsAtOneExactlyOrBackwardAtZero) {
    FXPhaser p;
    At(&p, 250);
    EXPECT_EQ(p.value, 0.25f);  // a new phaser is active and looping, one second long
    p.loop = false;
    p.duration = 2.0;
    p.Restart(10.0);
    EXPECT_EQ(After(&p, 10500), std::make_tuple(0.25f, true, false));
    EXPECT_EQ(After(&p, 11998), std::make_tuple(0.999f, true, false));
    EXPECT_EQ(After(&p, 12000), std::make_tuple(1.0f, false, false));
    EXPECT_EQ(After(&p, 15000), std::make_tuple(1.0f, false, false));  // an inactive phaser keeps its value
    p.Restart(15.0);
    p.reverse = true;
    EXPECT_EQ(After(&p, 15500), std::make_tuple(0.75f, true, true));
    EXPECT_EQ(After(&p, 17000), std::make_tuple(0.0f, false, true));
    p.Restart(20.0);  // Restart always runs forward again
    EXPECT_EQ(std::make_tuple(p.value, p.active, p.reverse), std::make_tuple(0.0f, true, false));
}

TEST_F(PhaserTest, LoopKeepsItsRhythmUnlessAGapIsTooLongAndBounceTurnsBack) {
    FXPhaser p, b, q;
    p.Restart(0.0);
    EXPECT_EQ(After(&p, 500), std::make_tuple(0.5f, true, false));
    EXPECT_EQ(After(&p, 1250), std::make_tuple(0.25f, true, false));  // overshoot: the next run started at 1
    EXPECT_EQ(p.start, 1.0);
    EXPECT_EQ(After(&p, 2998), std::make_tuple(0.998f, true, false));  // the next starts one duration on
    EXPECT_EQ(p.start, 2.0);
    EXPECT_EQ(After(&p, 5000), std::make_tuple(0.0f, true, false));  // three durations late: restarts at the frame
    EXPECT_EQ(p.start, 5.0);
    EXPECT_EQ(After(&p, 5750), std::make_tuple(0.75f, true, false));
    b.bounce = true;
    b.duration = 2.0;
    b.Restart(0.0);
    EXPECT_EQ(After(&b, 500), std::make_tuple(0.25f, true, false));
    EXPECT_EQ(After(&b, 2500), std::make_tuple(0.75f, true, true));
    EXPECT_EQ(After(&b, 3500), std::make_tuple(0.25f, true, true));
    EXPECT_EQ(After(&b, 4500), std::make_tuple(0.25f, true, false));
    q.bounce = true;  // without loop, bounce does nothing: the run simply ends
    q.loop = false;
    q.Restart(0.0);
    EXPECT_EQ(After(&q, 1000), std::make_tuple(1.0f, false, false));
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
    for (double d : {0.0, -1.0, static_cast<double>(NAN)}) {
        FXPhaser looping, once;
        looping.duration = once.duration = d;
        once.loop = false;
        looping.Restart(1.0);
        once.Restart(1.0);
        for (uint64_t ms : {1000u, 1000u, 1500u, 4000u}) {
            At(&looping, ms);
            EXPECT_TRUE(looping.value >= 0.0f && looping.value <= 1.0f) << d << " " << looping.value;
        }
        At(&once, 1000);
        EXPECT_TRUE(std::isfinite(once.value)) << d;
        if (d == 0.0) {  // a zero-length run has ended at its start
            EXPECT_EQ(std::make_pair(once.value, once.active), std::make_pair(1.0f, false));
        }
    }
}

TEST_F(PhaserTest, StoredFormsAgreeInFileAndRecord) {
    FXPhaser p;
    p.value = 0.5f;
    p.duration = 2.5;
    p.active = p.loop = p.smooth = false;
    p.reverse = p.bounce = p.halfSmooth = true;
    p.start = 99.0;
    FILE* f = tmpfile();
    EXPECT_TRUE(p.Save(f));
    std::string bytes = fxtest::StreamBytes(f);
    fclose(f);
    EXPECT_EQ(bytes, std::string("\0\0\0\x3f\0\0\0\0\0\0\x04\x40\0\x01\0\x01\0\x01", 18));
    FXPhaser rec, file;  // the record and the file form agree
    FXPackageData d;
    d.InitData(&bytes[0], static_cast<int>(bytes.size()));
    f = fxtest::StreamWith(bytes);
    EXPECT_TRUE(rec.LoadC(nullptr, &d) && file.Load(f));
    fclose(f);
    EXPECT_EQ(std::make_pair(Fields(rec), Fields(file)), std::make_pair(Fields(p), Fields(p)));
    EXPECT_EQ(std::make_pair(rec.start, file.start), std::make_pair(0.0, 0.0));  // the start time is not stored
}

TEST_F(PhaserTest, AYesOrNoByteOtherThanZeroOrOneIsReportedAndTakenAsNo) {
    std::string bytes("\0\0\0\x3f\0\0\0\0\0\0\x04\x40\xf0\x01\0\x01\0\x01", 18);
    FXPhaser rec;
    FXPackageData d;
    d.InitData(&bytes[0], static_cast<int>(bytes.size()));
    const int before = fxThreadErrors();
    EXPECT_TRUE(rec.LoadC(nullptr, &d));
    EXPECT_EQ(fxThreadErrors() - before, 1);
    EXPECT_EQ(std::make_pair(rec.active, rec.reverse), std::make_pair(false, true));
}

}  // namespace
