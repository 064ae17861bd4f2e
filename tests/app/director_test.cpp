#include <gtest/gtest.h>

#include <map>
#include <algorithm>
#include <set>
#include <vector>

#include "app/director.h"
#include "app/randomint.h"
#include "app/sets.h"
#include "base/other.h"

namespace {

TEST(RandomInt, FreshGetCoversTheRangeWithHalfWeightEnds) {
    fxSrand(7);
    std::map<int, int> seen;
    const int draws = 100000;
    for (int i = 0; i < draws; ++i) {
        RandomInt r;
        seen[r.Get(4)]++;
    }
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen.begin()->first, 0);
    EXPECT_EQ(seen.rbegin()->first, 4);
    // Inner values 1/4 each, the ends 1/8 each.
    for (int v = 1; v <= 3; ++v) EXPECT_NEAR(seen[v] / double(draws), 0.25, 0.01);
    EXPECT_NEAR(seen[0] / double(draws), 0.125, 0.01);
    EXPECT_NEAR(seen[4] / double(draws), 0.125, 0.01);
}

TEST(RandomInt, AvoidsTheHistory) {
    fxSrand(11);
    for (int i = 0; i < 2000; ++i) {
        RandomInt r;
        r.Push(1, 4);
        r.Push(0, 4);
        r.Push(4, 4);  // history 4, 0, 1
        int v = r.Get(4);
        EXPECT_TRUE(v == 2 || v == 3) << v;
        EXPECT_EQ(r.history[0], v);
    }
}

TEST(RandomInt, HistoryLength) {
    RandomInt one;
    fxSrand(3);
    std::set<int> vals;
    int repeats = 0, last = -1;
    for (int i = 0; i < 400; ++i) {
        int v = one.Get(1);
        vals.insert(v);
        repeats += v == last;
        last = v;
        EXPECT_EQ(one.count, 0);  // n = 1 keeps no history
    }
    EXPECT_EQ(vals.size(), 2u);
    EXPECT_GT(repeats, 0);

    RandomInt five;
    for (int i = 0; i < 20; ++i) five.Get(5);
    EXPECT_EQ(five.count, 4);  // at most min(4, n - 1)
    // Four different recent values, never a repeat within them.
    std::set<int> recent(five.history, five.history + 4);
    EXPECT_EQ(recent.size(), 4u);

    RandomInt ins;
    ins.Push(0, 4);
    ins.Push(1, 4);
    ins.Insert(7, 1, 4);
    EXPECT_EQ(ins.history[0], 1);
    EXPECT_EQ(ins.history[1], 7);
    EXPECT_EQ(ins.history[2], 0);
    EXPECT_EQ(ins.count, 3);
    RandomInt far;
    far.Insert(5, 3, 4);  // past the valid entries: no stale hole
    EXPECT_EQ(far.history[0], 5);
    EXPECT_EQ(far.count, 1);
}

TEST(NextSet, KindFiveIsForcedWhenItsTurnComes) {
    fxSrand(5);
    RandomInt rcan;
    rcan.Push(4, 4);  // kind 5 just played
    int32_t fenro = 0;
    EXPECT_EQ(fxChooseNextKind(&rcan, &fenro), 5);
    EXPECT_EQ(fenro, 4);
    EXPECT_EQ(rcan.history[0], 4);
}

TEST(NextSet, ThreeAndFourExcludeEachOther) {
    fxSrand(9);
    int checked3 = 0, checked4 = 0;
    for (int round = 0; round < 3000; ++round) {
        RandomInt rcan;
        rcan.Push(0, 4);
        int32_t fenro = 3;
        int a = fxChooseNextKind(&rcan, &fenro);
        if (a != 3 && a != 4) continue;
        int b = fxChooseNextKind(&rcan, &fenro);
        EXPECT_NE(b, 3);
        EXPECT_NE(b, 4);
        (a == 3 ? checked3 : checked4)++;
    }
    EXPECT_GT(checked3, 50);
    EXPECT_GT(checked4, 50);
}

TEST(NextSet, TheShowsOrder) {
    // The first set is kind 0 (pushed as 0); kind 5 comes when two sets have
    // followed it, then whenever four have; no kind repeats within three.
    fxSrand(21);
    RandomInt rcan;
    rcan.Push(0, 4);
    int32_t fenro = 2;
    std::vector<int> kinds;
    for (int i = 0; i < 300; ++i) kinds.push_back(fxChooseNextKind(&rcan, &fenro));
    int sinceFive = 0;
    bool sawFive = false;
    for (size_t i = 0; i < kinds.size(); ++i) {
        int k = kinds[i];
        ASSERT_GE(k, 1);
        ASSERT_LE(k, 5);
        if (k == 5) {
            EXPECT_LE(sinceFive, sawFive ? 4 : 2);
            sawFive = true;
            sinceFive = 0;
        } else {
            ++sinceFive;
            EXPECT_LT(sinceFive, sawFive ? 5 : 3);
        }
        if (i > 0 && k != 5) {
            EXPECT_NE(k, kinds[i - 1]);
        }
    }
    // Every kind occurs.
    for (int k = 1; k <= 5; ++k) EXPECT_NE(std::find(kinds.begin(), kinds.end(), k), kinds.end()) << k;
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

class Bubbles : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < kBubbleCount; ++i) slots[i] = &b[i];
        sets.Start(0, false, 0);
    }
    void Rule() { fxBubbleRule(0, &sets, slots, &starting, &act, &rbubs); }
    TestBubble b[kBubbleCount];
    BubbleSlot* slots[kBubbleCount];
    VelmiraSets sets;
    int32_t starting = 2, act = -1;
    RandomInt rbubs;
};

TEST_F(Bubbles, FirstSetShowsBubblesZeroAndOneThenEnds) {
    Rule();
    EXPECT_EQ(act, 0);
    EXPECT_EQ(b[0].starts, 1);
    Rule();  // still running
    EXPECT_EQ(act, 0);
    b[0].finished = true;
    Rule();
    EXPECT_EQ(act, 1);
    EXPECT_EQ(b[1].starts, 1);
    EXPECT_FALSE(sets.stopRequested);
    b[1].finished = true;
    Rule();
    EXPECT_EQ(act, -1);
    EXPECT_EQ(starting, 0);
    EXPECT_TRUE(sets.stopRequested);
}

TEST_F(Bubbles, LaterSetsShowOneBubble) {
    starting = 0;
    fxSrand(2);
    sets.Start(5, false, 0);
    Rule();
    EXPECT_EQ(act, 2);  // the gallery set always shows bubble 2
    b[2].finished = true;
    Rule();
    EXPECT_EQ(act, -1);
    EXPECT_TRUE(sets.stopRequested);
    Rule();  // stop requested: nothing more
    EXPECT_EQ(act, -1);

    std::set<int> chosen;
    for (int i = 0; i < 200; ++i) {
        sets.Start(2, false, 0);
        act = -1;
        Rule();
        ASSERT_GE(act, 3);
        ASSERT_LE(act, 6);
        chosen.insert(act);
    }
    EXPECT_EQ(chosen.size(), 4u);

    sets.Start(4, false, 0);  // kind 4 gets none
    act = -1;
    Rule();
    EXPECT_EQ(act, -1);
}

TEST_F(Bubbles, MissingBubblesDoNotStallTheShow) {
    for (auto& s : slots) s = nullptr;
    Rule();
    EXPECT_EQ(act, 0);
    Rule();
    Rule();
    EXPECT_TRUE(sets.stopRequested);
}

TEST(Sets, StartAndStop) {
    VelmiraSets s;
    s.Start(0, false, 0);
    EXPECT_EQ(s.kind, 1);  // kind 0 runs as kind 1
    EXPECT_EQ(s.phase, 0);
    s.Stop();
    s.Stop();
    EXPECT_TRUE(s.stopRequested);
    s.Start(3, true, 0);
    EXPECT_FALSE(s.stopRequested);
    EXPECT_EQ(s.kind, 3);
    EXPECT_EQ(s.phase, 1);
    s.state = 2;
    s.Start(9, false, 0);
    EXPECT_EQ(s.kind, -1);
    EXPECT_EQ(s.state, 0);
}

}  // namespace
