// Splines through 3-D points and the timing graph: the values at the points
// the curves are built from, their stored form, and damaged or degenerate
// input.
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../support/testutil.h"
#include "anim/bezier.h"
#include "anim/beziergraph.h"
#include "package/package.h"

namespace {

using Pt = std::vector<float>;

void Fill(FXBezierSpline* s, const std::vector<Pt>& pts) {
    for (const Pt& p : pts)
        for (float v : p) s->points.Push(v);
}

Pt At(FXBezierSpline* s, float phase) {
    Pt o(3);
    s->GetAll(o.data(), phase);
    return o;
}

void Near(const Pt& got, const Pt& want, const std::string& what) {
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], want[k], 1e-5f) << what << " axis " << k;
}

const float kH = 0.70710678f;  // half the chord of (0,0,0)-(1,1,0)

TEST(BezierSpline, ArcThroughThreePoints) {
    FXBezierSpline s;
    Fill(&s, {{0, 0, 0}, {1, 1, 0}, {2, 0, 0}});
    s.Precompute();
    s.PrecomputePhasesLinear();
    Near(Pt(s.ctrl.data + 6, s.ctrl.data + 9), {1 - kH, 1, 0}, "incoming control");
    Near(Pt(s.ctrl.data + 9, s.ctrl.data + 12), {1 + kH, 1, 0}, "outgoing control");
    // The first and last segments are quadratic through those controls.
    for (auto [phase, want] : std::vector<std::pair<float, Pt>>{{0.0f, {0, 0, 0}},
                                                                {0.25f, {0.5f * (1 - kH) + 0.25f, 0.75f, 0}},
                                                                {0.5f, {1, 1, 0}},
                                                                {0.75f, {0.25f + 0.5f * (1 + kH) + 0.5f, 0.75f, 0}},
                                                                {1.0f, {2, 0, 0}}})
        Near(At(&s, phase), want, "phase " + std::to_string(phase));
}

TEST(BezierSpline, LengthPhases) {
    for (bool closed : {false, true}) {
        FXBezierSpline s;
        s.closed = closed;
        Fill(&s, {{0, 0, 0}, {3, 0, 0}, {3, 4, 0}});
        s.Precompute();
        s.PrecomputePhasesLenght();
        std::vector<float> want = closed ? std::vector<float>{0, 0.25f, 7 / 12.0f} : std::vector<float>{0, 3 / 7.0f, 1};
        ASSERT_EQ(s.phases.count, 3);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(s.phases.data[i], want[i], 1e-6f) << closed << " point " << i;
        EXPECT_EQ(std::make_pair(s.totalLength, s.meanLength), closed ? std::make_pair(12.0f, 4.0f) : std::make_pair(7.0f, 3.5f));
        Near(At(&s, 1.0f), closed ? Pt{0, 0, 0} : Pt{3, 4, 0}, "end");  // closed: through the closing segment
    }
}

// Degenerate points and calls that once divided by zero, read outside the
// arrays or ran the wrong way.
TEST(BezierSpline, DegenerateInput) {
    struct Row {
        const char* what;
        std::vector<Pt> pts;
        std::function<Pt(FXBezierSpline*)> run;
        Pt want;
    };
    auto seg = [](FXBezierSpline* s, int i, int j, float t) {
        s->SetActPoints(i, j);
        Pt o(3);
        s->Get(o.data(), t);
        return o;
    };
    const std::vector<Row> rows = {
        {"neighbours coincide: controls on the point", {{0, 0, 0}, {1, 0, 0}, {0, 0, 0}},
         [](FXBezierSpline* s) { return Pt(s->ctrl.data + 6, s->ctrl.data + 9); }, {1, 0, 0}},
        {"all points equal: linear phases", {{2, 2, 2}, {2, 2, 2}, {2, 2, 2}},
         [](FXBezierSpline* s) { s->PrecomputePhasesLenght(); return Pt{s->phases.data[1], At(s, 0.3f)[0], 0}; }, {0.5f, 2, 0}},
        {"no phase table", {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, [](FXBezierSpline* s) { return At(s, 0.5f); }, {1, 2, 3}},
        {"negative phase", {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}},
         [](FXBezierSpline* s) { s->PrecomputePhasesLinear(); s->actSegment = 2; return At(s, -5.0f); }, {1, 0, 0}},
        {"NaN phase", {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}},
         [](FXBezierSpline* s) { s->PrecomputePhasesLinear(); return At(s, NAN); }, {1, 0, 0}},
        {"straight lines, two points", {{0, 0, 0}, {2, 4, 0}},
         [&](FXBezierSpline* s) { s->straightLines = true; return seg(s, 0, 1, 0.5f); }, {1, 2, 0}},
        {"straight lines, one point", {{5, 6, 7}},
         [&](FXBezierSpline* s) { s->straightLines = true; return seg(s, 0, 1, 0.5f); }, {5, 6, 7}},
        {"straight lines, no point", {}, [&](FXBezierSpline* s) { s->straightLines = true; return seg(s, 0, 1, 0.5f); }, {0, 0, 0}},
        {"two points, backwards", {{0, 0, 0}, {4, 0, 0}}, [&](FXBezierSpline* s) { return seg(s, 1, 0, 0.25f); }, {3, 0, 0}},
        {"segment past the points", {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, [&](FXBezierSpline* s) { return seg(s, 5, 9, 0.5f); }, {3, 0, 0}},
        {"segment before the points", {{1, 0, 0}, {2, 0, 0}}, [&](FXBezierSpline* s) { return seg(s, -4, 1, 0.5f); }, {1, 0, 0}},
        {"destroyed", {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}},
         [](FXBezierSpline* s) {
             s->PrecomputePhasesLinear();
             s->SetActPoints(1, 2);
             s->Destroy();
             Pt a(3), b(3);
             FXBezierPhaseH h;
             h.Prepare(0.5f);
             s->GetH(a.data(), &h);
             b = At(s, 0.5f);
             return Pt{a[0] + b[0], a[1] + b[1], s->act3 || s->act4 || s->beziers ? 1.0f : 0.0f};
         },
         {0, 0, 0}},
    };
    for (const Row& r : rows) {
        FXBezierSpline s;
        Fill(&s, r.pts);
        s.Precompute();
        Near(r.run(&s), r.want, r.what);
    }
}

// A closed loop: every segment starts and ends on its points, and the
// shared powers give what the direct evaluation gives.
TEST(BezierSpline, ClosedSegmentsMeetAndPowersAgree) {
    FXBezierSpline s;
    s.closed = true;
    Fill(&s, {{0, 0, 0}, {2, 0, 1}, {2, 2, -1}, {0, 2, 0.5f}});
    s.Precompute();
    FXBezierPhaseH h;
    h.Prepare(0.3f);
    for (int i = 0; i < 4; ++i) {
        int j = (i + 1) % 4;
        s.SetActPoints(i, j);
        Pt a(3), b(3), direct(3), powers(3);
        s.Get(a.data(), 0.0f), s.Get(b.data(), 1.0f), s.Get(direct.data(), 0.3f), s.GetH(powers.data(), &h);
        Near(a, Pt(s.points.data + 3 * i, s.points.data + 3 * i + 3), "start of segment " + std::to_string(i));
        Near(b, Pt(s.points.data + 3 * j, s.points.data + 3 * j + 3), "end of segment " + std::to_string(i));
        Near(powers, direct, "powers of segment " + std::to_string(i));
    }
}

std::string Graph(int frames, int res, std::initializer_list<int32_t> keys, std::initializer_list<int32_t> values,
                  int samples = 16) {
    std::string s = fxtest::Le32({frames, res, static_cast<int32_t>(keys.size())}) + fxtest::Le32(keys);
    s += fxtest::Le32({static_cast<int32_t>(values.size())}) + fxtest::Le32(values) + std::string("\1\0", 2);
    return s + fxtest::Le32({0x3e99999a, samples});  // smoothness 0.3
}

// Both readers of the same bytes: whether they took them, the keys in use.
bool Read(FXBezierGraph* g, const std::string& bytes) {
    std::string copy = bytes;
    FXPackageData d;
    d.InitData(&copy[0], static_cast<int>(copy.size()));
    FILE* f = fxtest::StreamWith(bytes);
    FXBezierGraph file;
    bool fromFile = file.Load(f);
    fclose(f);
    bool ok = g->LoadC(nullptr, &d);
    EXPECT_EQ(std::make_pair(ok, g->KeyCount()), std::make_pair(fromFile, file.KeyCount()));
    if (!ok) {
        EXPECT_EQ(d.remaining, static_cast<int>(bytes.size()));  // a refused graph consumes nothing
    }
    return ok;
}

TEST(BezierGraph, KeyValuesAndStoredForm) {
    std::string bytes = Graph(11, 1000, {0, 4, 10}, {0, 800, 200});
    FXBezierGraph g;
    ASSERT_TRUE(Read(&g, bytes));
    FILE* f = tmpfile();
    EXPECT_TRUE(g.Save(f));
    EXPECT_EQ(fxtest::StreamBytes(f), bytes);
    fclose(f);
    for (auto [x, want] : std::vector<std::pair<float, int>>{{0, 0}, {2, 400}, {4, 800}, {7, 500}, {10, 200}, {-3, 0}, {30, 200}})
        EXPECT_EQ(g.ComputePointLinear(x, 1000), want) << "frame " << x;
    g.ComputeSplineLinear(10, 1000);
    EXPECT_EQ(std::make_pair(g.GetSplineResX(), g.GetFromSpline1(4)), std::make_pair(10, 0.8f));
    g.ComputeSplineBezier(100, 1000);
    for (int c = 0; c < 100; ++c) EXPECT_TRUE(g.GetFromSpline(c) >= 1 && g.GetFromSpline(c) <= 1000) << c;
    EXPECT_NEAR(g.GetFromSpline(40), 800, 2);  // the curve passes through the middle key
}

TEST(BezierGraph, DamagedAndDegenerateRecords) {
    struct Row {
        const char* what;
        std::string bytes;
        bool loads;
        std::vector<int> keys;  // frames in use, then a linear table of 4 columns at scale 100
        std::vector<int> table;
    };
    std::string whole = Graph(5, 100, {0, 4}, {0, 100});
    const std::vector<Row> rows = {
        {"more frames than values", Graph(5, 100, {0, 2, 4}, {0, 100}), true, {0, 2}, {0, 50, 100, 100}},
        {"frames unsorted and repeated", Graph(5, 100, {4, 0, 2, 2}, {0, 100, 50, 70}), true, {0, 2, 4}, {100, 75, 50, 25}},
        {"value resolution 0", Graph(5, 0, {0, 2, 4}, {0, 5, 9}), true, {0, 2, 4}, {0, 0, 0, 0}},
        {"samples 2^31 - 1", Graph(5, 100, {0, 1, 2, 4}, {0, 90, 10, 100}, 0x7fffffff), true, {0, 1, 2, 4}, {}},
        {"key count beyond the record", Graph(5, 100, {0}, {0}).replace(8, 4, fxtest::Le32({1 << 28})), false, {}, {}},
        {"negative value count", Graph(5, 100, {0}, {0}).replace(16, 4, fxtest::Le32({-1})), false, {}, {}},
        {"cut in the tail", whole.substr(0, whole.size() - 3), false, {}, {}},
        {"cut in the header", whole.substr(0, 6), false, {}, {}},
    };
    for (const Row& r : rows) {
        FXBezierGraph g;
        EXPECT_EQ(Read(&g, r.bytes), r.loads) << r.what;
        std::vector<int> keys;
        for (int k = 0; k < g.KeyCount(); ++k) keys.push_back(g.keyFrames.GetInt(k));
        EXPECT_EQ(keys, r.keys) << r.what;
        EXPECT_EQ(g.keyFrames.count, g.keyValues.count) << r.what;
        g.ComputeSplineBezier(64, 1000);  // bounded, and no division by 0
        g.ComputeSplineLinear(4, 100);
        std::vector<int> table;
        for (int c = 0; !r.table.empty() && c < g.GetSplineResX(); ++c) table.push_back(g.GetFromSpline(c));
        EXPECT_EQ(table, r.table) << r.what;
    }
    FXBezierGraph zero;  // output scale 0
    Read(&zero, whole);
    zero.ComputeSplineLinear(5, 0);
    EXPECT_EQ(zero.GetFromSpline1(2), 0.0f);
}

}  // namespace
