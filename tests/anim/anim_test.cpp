// Frame animations: the xa03 record and the older form, playback timing and
// order, morphing, and damaged or inconsistent input.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "../support/testutil.h"
#include "anim/anim.h"
#include "anim/bezier.h"
#include "base/trace.h"
#include "geometry/mesh.h"
#include "package/package.h"

namespace {

// Mesh k of frame f: n vertices on a fan; x moves with the frame, the
// first vertex stays put in every frame (so it shares its slots).
FXModel* Frame(int f, std::vector<int> counts) {
    FXModel* m = new FXModel;
    for (size_t k = 0; k < counts.size(); ++k) {
        FXMesh* mesh = new FXMesh;
        int n = counts[k];
        mesh->Realloc(n, 3 * (n - 2));
        for (int v = 0; v < n; ++v) {
            float* r = mesh->Vertex(v);
            for (int i = 0; i < FX_VTX_FLOATS; ++i) r[i] = 0;
            r[0] = v == 0 ? 0.0f : v + 0.5f * f;
            r[1] = static_cast<float>(k);
            r[5] = 1;
            r[6] = 0.1f * v;
        }
        for (int t = 0; t < n - 2; ++t) mesh->indices[3 * t] = 0, mesh->indices[3 * t + 1] = t + 1, mesh->indices[3 * t + 2] = t + 2;
        m->loadedMeshes.Push(mesh);
    }
    m->UpdateMeshes();
    return m;
}

void Fill(FXAnim* a, std::vector<int> ms, std::vector<int> counts = {4, 3}) {
    for (size_t f = 0; f < ms.size(); ++f) a->AddFrame(Frame(static_cast<int>(f), counts), ("f" + std::to_string(f)).c_str(), ms[f]);
}

std::string Saved(FXAnim* a) {
    FILE* f = tmpfile();
    EXPECT_TRUE(a->Save(f));
    std::string bytes = fxtest::StreamBytes(f);
    fclose(f);
    return bytes;
}

bool LoadBytes(FXAnim* a, std::string bytes) {
    FXPackageData d;
    d.InitData(&bytes[0], static_cast<int>(bytes.size()));
    return a->LoadC(nullptr, &d);
}

float X(FXModel* m, int mesh, int v) { return m->EnumMeshes(mesh)->Vertex(v)[0]; }

TEST(Anim, RecordKeepsEveryFrameAndTheHeadAndWritesBackTheSameBytes) {
    FXAnim a;
    Fill(&a, {100, 0, 250});
    a.loop = false, a.bounce = true, a.storedValue = 2.5f;
    std::string bytes = Saved(&a);
    FXAnim b;
    ASSERT_TRUE(LoadBytes(&b, bytes));
    ASSERT_EQ(b.FrameCount(), 3);
    EXPECT_STREQ(b.frameNames.Get(2), "f2");
    EXPECT_EQ(b.durations.GetInt(2), 250);
    EXPECT_FALSE(b.loop);
    EXPECT_TRUE(b.bounce);
    EXPECT_EQ(b.storedValue, 2.5f);
    for (int f = 0; f < 3; ++f)
        for (int k = 0; k < 2; ++k) {
            FXMesh* want = a.Model(f)->EnumMeshes(k);
            FXMesh* got = b.Model(f)->EnumMeshes(k);
            ASSERT_EQ(got->vertexCount, want->vertexCount);
            ASSERT_EQ(got->indexCount, want->indexCount);
            for (int v = 0; v < want->vertexCount; ++v)
                for (int i = 0; i < 8; ++i) EXPECT_EQ(got->Vertex(v)[i], want->Vertex(v)[i]) << f << k << v << i;
        }
    EXPECT_EQ(Saved(&b), bytes);
    // Every cut of the record is refused whole.
    for (size_t n = 0; n < bytes.size(); ++n) {
        FXAnim c;
        EXPECT_FALSE(LoadBytes(&c, bytes.substr(0, n))) << n;
        EXPECT_EQ(c.FrameCount(), 0);
    }
}

TEST(Anim, FrameDurationsBeyondADayOrNegativeAreReportedAndPlayTheDefault) {
    FXAnim a;
    Fill(&a, {100, -16, 0x7fffff00, 86400000});
    FXAnim b;
    const int before = fxThreadErrors();
    ASSERT_TRUE(LoadBytes(&b, Saved(&a)));
    EXPECT_EQ(fxThreadErrors() - before, 2);
    EXPECT_EQ((std::vector<int>{b.durations.GetInt(0), b.durations.GetInt(1), b.durations.GetInt(2), b.durations.GetInt(3)}),
              (std::vector<int>{100, 0, 0, 86400000}));
}

TEST(Anim, OlderFormLoadsEachFrameByItsFileName) {
    fxtest::TempDir dir;
    FXAnim a;
    for (int f = 0; f < 2; ++f) {
        std::string path = dir.path() + "/m" + std::to_string(f) + ".xm";
        FXModel* m = Frame(f, {4});
        ASSERT_TRUE(m->Save(path.c_str()));
        a.AddFrame(m, path.c_str(), 40);
    }
    a.AddFrame(nullptr, "", 40);
    std::string path = dir.path() + "/a.xa";
    ASSERT_TRUE(a.Save_v02(path.c_str()));
    FXAnim b;
    ASSERT_TRUE(b.Load(path.c_str()));
    ASSERT_EQ(b.FrameCount(), 3);
    EXPECT_EQ(X(b.Model(1), 0, 1), 1.5f);
    EXPECT_EQ(b.Model(2), nullptr);
}

struct PlayCase {
    const char* what;
    int frames;
    bool loop, bounce;
    std::vector<int> order;  // current frame after each step
};

TEST(Anim, FramesStepInTheirOrder) {
    const PlayCase cases[] = {
        {"bounce", 4, true, true, {1, 2, 3, 2, 1, 0, 1, 2}},
        {"loop", 3, true, false, {1, 2, 0, 1}},
        {"once", 3, false, false, {1, 2, 2, 2}},
        {"one frame", 1, true, true, {0, 0}},
    };
    for (const PlayCase& c : cases) {
        FXAnim a;
        Fill(&a, std::vector<int>(static_cast<size_t>(c.frames), 100));
        a.loop = c.loop, a.bounce = c.bounce;
        a.UpdateInterpolation(true, false);
        a.StartAnim(0);
        a.OnRender(nullptr, 0);
        std::vector<int> got;
        for (size_t i = 0; i < c.order.size(); ++i) {
            a.OnRender(nullptr, 0.1 * (i + 1) + 1e-6);
            got.push_back(a.actFrame);
        }
        EXPECT_EQ(got, c.order) << c.what;
    }
}

TEST(Anim, TimingAndEasing) {
    FXAnim a;
    Fill(&a, {0, 200});
    a.StartAnim(10);
    EXPECT_DOUBLE_EQ(a.frameDuration, 0.5);  // a zero duration
    a.OnRender(nullptr, 10.6);                // late by 0.1 s: carried
    EXPECT_EQ(a.actFrame, 1);
    EXPECT_NEAR(a.frameStart, 10.6 - 0.2 * 0.2, 1e-6);
    a.easeInOut = true;
    a.UpdateInterpolation(true, false);
    a.StartAnim(0);
    a.UpdateIPos(0.125);
    EXPECT_FLOAT_EQ(a.actPhase, 0.125f);
    a.UpdateIPos(0.375);
    EXPECT_FLOAT_EQ(a.actPhase, 0.875f);
}

TEST(Anim, PlayOnceEndsOnTheLastPoseAndMorphsBetween) {
    FXAnim a;
    Fill(&a, {100, 100, 100});
    a.loop = false;
    a.UpdateInterpolation(true, false);
    ASSERT_TRUE(a.HasSplines());
    a.StartAnim(0);
    a.OnRender(nullptr, 0.05);
    float mid = X(&a.imodel, 0, 2);
    EXPECT_GT(mid, X(a.Model(0), 0, 2));
    EXPECT_LT(mid, X(a.Model(1), 0, 2));
    for (double t = 0.1; t < 0.5; t += 0.05) a.OnRender(nullptr, t + 1e-6);
    EXPECT_FALSE(a.playing);
    EXPECT_EQ(X(&a.imodel, 0, 2), X(a.Model(2), 0, 2));
}

// Inconsistent or empty input: each must play soundly, never index out of
// range (the sanitizer runs these too).
TEST(Anim, InconsistentInputPlaysSoundly) {
    FXAnim empty;
    empty.ComputeFrameDuration();
    EXPECT_DOUBLE_EQ(empty.frameDuration, 0.5);
    empty.StartAnim(0);
    EXPECT_FALSE(empty.playing);  // the gallery waits for the end
    empty.SetActFrames(3, 4);
    empty.SetActPhase(0.5f);

    FXAnim fewer;  // three names, two durations: two frames play
    Fill(&fewer, {100, 100});
    fewer.frameNames.Push("extra");
    fewer.UpdateInterpolation(true, false);
    EXPECT_EQ(fewer.FrameCount(), 2);
    EXPECT_EQ(static_cast<FXBezierSpline*>(fewer.posSplines.data[0])->GetCnt(), 2);
    FXAnim back;
    ASSERT_TRUE(LoadBytes(&back, Saved(&fewer)));
    EXPECT_EQ(back.frameNames.count, 2);

    FXAnim mismatch;  // equal totals, different meshes
    mismatch.AddFrame(Frame(0, {4, 3}), "a", 100);
    mismatch.AddFrame(Frame(1, {3, 4}), "b", 100);
    mismatch.UpdateInterpolation(true, false);
    EXPECT_FALSE(mismatch.HasSplines());
    mismatch.StartAnim(0);
    for (double t = 0; t < 1; t += 0.05) mismatch.OnRender(nullptr, t);
    EXPECT_EQ(X(&mismatch.imodel, 0, 2), X(mismatch.Model(0), 0, 2));
    FILE* out = tmpfile();
    EXPECT_FALSE(mismatch.Save(out));
    fclose(out);

    FXAnim a;
    Fill(&a, {100, 100, 100});
    a.UpdateInterpolation(true, false);
    const int pairs[2][3] = {{-4, 1, 1}, {99, 99, 2}};  // from, to, the pose at phase 1
    for (auto& p : pairs) {
        a.SetActFrames(p[0], p[1]);
        a.SetActPhase(1.0f);
        EXPECT_EQ(X(&a.imodel, 0, 2), X(a.Model(p[2]), 0, 2)) << p[0];
    }
    a.ComputeFrontTexCoords(0, 5);  // no mesh 5
    a.ComputeFrontTexCoords(7, -1);
}

TEST(Anim, DamagedCountsAreRefused) {
    std::string magic = fxtest::Le32({4}, "xa03");
    std::string graph = fxtest::Le32({0, 0, 0, 0}, std::string(2, '\0')) + fxtest::Le32({0, 0});
    std::string head = graph + fxtest::Le32({0}) + std::string(4, '\1');
    const std::pair<const char*, std::string> cases[] = {
        {"no frames, one mesh", magic + fxtest::Le32({0, 0}) + head + fxtest::Le32({1, 0}) + std::string(64, '\0')},
        {"frame count beyond the bytes", magic + fxtest::Le32({1000000000, 0}) + head},
        {"mesh count beyond the bytes", magic + fxtest::Le32({1, 0, 1, 0}) + head + fxtest::Le32({1 << 30, 0})},
        {"short record", std::string("\4\0\0", 3)},
    };
    for (auto& c : cases) {
        FXAnim a;
        EXPECT_FALSE(LoadBytes(&a, c.second)) << c.first;
        EXPECT_EQ(a.FrameCount(), 0) << c.first;
    }
}

}  // namespace
