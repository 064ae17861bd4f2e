#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "app/billboard.h"
#include "app/director.h"
#include "app/fps.h"
#include "app/randomint.h"
#include "app/sets.h"
#include "base/other.h"

namespace {

// Get(n) gives 0 to n, the ends half as often as the inner values; it never
// gives one of the last min(4, n - 1) results, and remembers no more than
// that: the result before them comes back now and then.
TEST(RandomInt, DrawsTheRangeAvoidingTheRecentResults) {
    fxSrand(3);
    for (int n : {1, 2, 4, 5, 8}) {
        SCOPED_TRACE(n);
        std::map<int, int> fresh;
        const double draws = 40000;
        for (int i = 0; i < draws; ++i) fresh[RandomInt().Get(n)]++;
        for (int v = 0; v <= n; ++v) EXPECT_NEAR(fresh[v] / draws, (v == 0 || v == n ? 0.5 : 1.0) / n, 0.01) << v;
        EXPECT_EQ(fresh.size(), static_cast<size_t>(n + 1));
        const size_t keep = static_cast<size_t>(std::min(4, n - 1));
        RandomInt r;
        std::vector<int> past;
        int repeats = 0;
        for (int i = 0; i < 400; ++i) {
            int v = r.Get(n);
            for (size_t back = 1; back <= std::min(keep, past.size()); ++back) EXPECT_NE(v, past[past.size() - back]);
            repeats += past.size() > keep && v == past[past.size() - 1 - keep];
            past.push_back(v);
        }
        EXPECT_EQ(r.count, static_cast<int>(keep));
        EXPECT_GT(repeats, 0);
    }
}

TEST(RandomInt, InsertLeavesNoHole) {
    RandomInt r;
    r.Insert(5, 3, 4);  // past the valid entries: the end of them
    EXPECT_EQ(std::vector<int>(r.history, r.history + r.count), std::vector<int>{5});
    r.Push(2, 4);
    r.Push(1, 4);
    r.Insert(7, 1, 4);  // at most three kept for n = 4
    EXPECT_EQ(std::vector<int>(r.history, r.history + r.count), (std::vector<int>{1, 7, 2}));
}

// From the first set (kind 0, pushed as 0): kind 5 once two sets have
// followed it, then whenever four have; no kind follows itself, and 3 and 4
// (which open alike) never follow each other; every kind comes.
TEST(NextSet, TheShowsOrder) {
    fxSrand(21);
    RandomInt rcan;
    rcan.Push(0, 4);
    int32_t fenro = 2;
    int sinceFive = 0, prev = 0, threeFour = 0;
    bool sawFive = false;
    std::set<int> kinds;
    for (int i = 0; i < 3000; ++i) {
        int k = fxChooseNextKind(&rcan, &fenro);
        EXPECT_NE(k, prev);
        if (prev == 3 || prev == 4) {
            EXPECT_TRUE(k != 3 && k != 4) << prev << " then " << k;
            ++threeFour;
        }
        sinceFive = k == 5 ? 0 : sinceFive + 1;
        EXPECT_LT(sinceFive, sawFive ? 5 : 3) << "set " << i;
        sawFive = sawFive || k == 5;
        kinds.insert(prev = k);
    }
    EXPECT_EQ(kinds, (std::set<int>{1, 2, 3, 4, 5}));
    EXPECT_GT(threeFour, 100);
}

class TestBubble : public BubbleSlot {
public:
    int starts = 0;
    bool finished = false;
    void Start(double) override {
        ++starts;
        finished = false;
    }
    bool IsFinished() const override { return finished; }
    void OnRender(PEnv*, double) override {}
};

// The first set shows bubbles 0 then 1, the gallery set (kind 5) bubble 2,
// kind 4 none; the set ends when its last bubble has, also when bubbles are
// missing. Each bubble that runs is started once.
TEST(Bubbles, WhichRunAndWhenTheSetEnds) {
    using Step = std::tuple<bool, int, bool>;  // the running bubble finishes first; then running, set stopped
    struct Row {
        const char* name;
        int kind, starting;
        bool exist;
        std::vector<Step> steps;
    } const rows[] = {
        {"first set", 0, 2, true, {{false, 0, false}, {false, 0, false}, {true, 1, false}, {true, -1, true}}},
        {"gallery", 5, 0, true, {{false, 2, false}, {false, 2, false}, {true, -1, true}, {false, -1, true}}},
        {"kind 4", 4, 0, true, {{false, -1, false}, {false, -1, false}}},
        {"no bubbles", 0, 2, false, {{false, 0, false}, {false, 1, false}, {false, -1, true}}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TestBubble b[kBubbleCount];
        BubbleSlot* slots[kBubbleCount];
        for (int i = 0; i < kBubbleCount; ++i) slots[i] = r.exist ? &b[i] : nullptr;
        VelmiraSets sets;
        sets.Start(r.kind, false, 0);
        int32_t starting = r.starting, act = -1;
        RandomInt rbubs;
        std::set<int> ran;
        int step = 0;
        for (const auto& [finish, running, stopped] : r.steps) {
            if (finish && act >= 0) b[act].finished = true;
            fxBubbleRule(0, &sets, slots, &starting, &act, &rbubs);
            EXPECT_EQ(std::make_tuple(act, sets.stopRequested), std::make_tuple(running, stopped)) << "step " << step++;
            ran.insert(running);
        }
        EXPECT_EQ(starting, 0);
        for (int i = 0; i < kBubbleCount; ++i)
            EXPECT_EQ(b[i].starts, r.exist ? static_cast<int>(ran.count(i)) : 0) << "bubble " << i;
    }
    // Other sets show one of bubbles 3 to 6, in time each of them.
    fxSrand(2);
    VelmiraSets sets;
    BubbleSlot* none[kBubbleCount] = {};
    RandomInt rbubs;
    std::set<int> chosen;
    for (int i = 0; i < 200; ++i) {
        int32_t starting = 0, act = -1;
        sets.Start(1 + i % 3, false, 0);
        fxBubbleRule(0, &sets, none, &starting, &act, &rbubs);
        chosen.insert(act);
    }
    EXPECT_EQ(chosen, (std::set<int>{3, 4, 5, 6}));
}

// Kind 0 runs as kind 1; the alternative begins with the main part; a
// start clears the last set's end.
TEST(Sets, StartGivesTheKindAndPhase) {
    struct {
        int start;
        bool alternative;
        int kind, phase;
    } const rows[] = {{0, false, 1, 0}, {1, false, 1, 1}, {3, true, 3, 1}, {5, false, 5, 0}, {9, false, -1, 0}};
    for (const auto& r : rows) {
        VelmiraSets s;
        s.state = 2;
        s.Stop();
        s.Start(r.start, r.alternative, 0);
        EXPECT_EQ(std::tie(s.kind, s.phase, s.state, s.stopRequested), std::make_tuple(r.kind, r.phase, 0, false))
            << "kind " << r.start;
    }
}

// The frame rate counts frames against the show's clock (milliseconds, as
// the virtual clock gives them) over the time they took, renewed once a
// second; a clock that goes back starts the count over.
TEST(Fps, CountsFramesOfTheShowsClock) {
    using Row = std::tuple<double, double, int>;  // step, figure, renewals in 3.5 s
    for (auto [step, figure, renewals] : {Row{0.05, 20.0, 3}, Row{0.25, 4.0, 3}, Row{0.3, 4 / 1.2, 2}}) {
        VelmiraFps f;
        int renewed = 0;
        for (int k = 0; k * step < 3.5; ++k) renewed += f.Count(std::round((1000.0 + k * step) * 1000.0) / 1000.0);
        EXPECT_NEAR(f.figure, figure, 1e-9) << step;
        EXPECT_EQ(renewed, renewals) << step;
        EXPECT_FALSE(f.Count(10.0) || f.Count(10.5) || f.Count(NAN));
    }
}

// The log's frame times: whole-millisecond buckets, the last catching
// everything slower; gaps from a clock that went back are not counted.
TEST(FrameGaps, LongestAndTheTimeMostFramesKeptWithin) {
    struct Row {
        std::vector<double> gaps;  // seconds
        double q;
        int within, total;
        double longest;
    } rows[] = {
        {{}, 0.99, 0, 0, 0.0},
        {std::vector<double>(99, 0.0333), 0.99, 34, 99, 0.0333},
        // One slow frame in a hundred is the 1 % let off; two are not.
        {[] { std::vector<double> g(99, 0.0333); g.push_back(0.120); return g; }(), 0.99, 34, 100, 0.120},
        {[] { std::vector<double> g(98, 0.0333); g.insert(g.end(), {0.1205, 0.1215}); return g; }(), 0.99, 121,
         100, 0.1215},
        {{0.040, 9.5, -0.5, NAN}, 1.0, 251, 2, 9.5},
    };
    for (const Row& r : rows) {
        VelmiraFrameGaps g;
        for (double s : r.gaps) g.Add(s);
        EXPECT_EQ(g.Within(r.q), r.within) << r.gaps.size();
        EXPECT_EQ(g.total, r.total);
        EXPECT_DOUBLE_EQ(g.longest, r.longest);
        g.Clear();
        EXPECT_EQ(g.Within(r.q) + g.total, 0);
    }
}

// The scenarios fade in to 35 %, move and fade out, ending after 37, 47, 32
// and 32 s; a number outside 0 to 3 ends at once.
TEST(Billboards, ScenariosEndInTime) {
    for (auto [anim, seconds] : {std::pair{0, 37.0}, {1, 47.0}, {2, 32.0}, {3, 32.0}, {4, 0.0}, {-1, 0.0}}) {
        Billboard b;
        b.Start(anim);
        double t = 0;
        float most = 0;
        for (; !b.finished && t < 100; t += 0.05) {
            b.OnScenar(nullptr, t);
            most = std::max(most, b.alpha);
        }
        EXPECT_NEAR(t, seconds, 0.3) << "scenario " << anim;
        EXPECT_FLOAT_EQ(most, seconds > 0 ? 0.35f : 0.0f) << "scenario " << anim;
        EXPECT_EQ(b.alpha, 0.0f);
    }
}

// After the first set a finished billboard is followed at once by another;
// one that runs, or is hidden by the gallery set, stays.
TEST(Billboards, TheNextStartsWhenTheCurrentHasFinished) {
    struct {
        bool firstCan, hiding, finished, next;
    } const rows[] = {{true, false, true, false}, {false, false, true, true}, {false, true, true, false},
                      {false, false, false, false}};
    for (const auto& r : rows) {
        VelmiraSets sets;
        sets.billboardCount = VelmiraSets::kBillboards - 1;
        int32_t bill = 2, anim = 0;
        sets.billboards[2].hiding = r.hiding;
        sets.billboards[2].finished = r.finished;
        RandomInt rbill, ranim;
        rbill.Push(2, sets.billboardCount);
        fxBillboardRule(&sets, r.firstCan, &bill, &anim, &rbill, &ranim);
        EXPECT_EQ(bill != 2, r.next);
        EXPECT_TRUE(!r.next || !sets.billboards[bill].finished) << "the new one did not start";
    }
}

}  // namespace
