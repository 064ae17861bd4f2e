// Desk grids, the scrolling desk and screen placement.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

#include "../support/nullenv.h"
#include "geometry/desk.h"
#include "geometry/scrpos01.h"
#include "geometry/sdesk.h"
#include "render/material.h"

namespace {

enum { X = FX_VTX_POS, Y = FX_VTX_POS + 1, S = FX_VTX_TEX, T = FX_VTX_TEX + 1, R = FX_VTX_COLOR, A = FX_VTX_COLOR + 3 };

// Float k of every vertex, in vertex order.
std::vector<float> All(const FXDesk& d, int k) {
    std::vector<float> v;
    for (int i = 0; i < d.mesh.vertexCount; ++i) v.push_back(d.mesh.vertices[i].f[k]);
    return v;
}

void ExpectFloats(const std::vector<float>& got, const std::vector<float>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-6) << "vertex " << i;
}

TEST(FXDesk, SkewPerspectiveFlameAndShearMoveTheRightRows) {
    FXDesk d;
    d.Create(1, 1);
    d.UpdatePosSkew(true, false, 0.5f, 0);  // top row moves right
    ExpectFloats(All(d, X), {-0.5f, 1.5f, -1, 1});
    d.UpdatePosSkew1(true, false, 0.5f, 0);  // bottom row moves right
    ExpectFloats(All(d, X), {-1, 1, -0.5f, 1.5f});
    d.UpdatePosSkew(false, false, 0, 0.25f);  // nothing written
    ExpectFloats(All(d, X), {-1, 1, -0.5f, 1.5f});
    d.UpdatePosPerspective(1.0f);  // the bottom widened twice
    ExpectFloats(All(d, X), {-1, 1, -2, 2});

    FXDesk g;
    g.Create(1, 2);
    // The engine's pi is 3.1415: sin(pi) is not quite 0, and the rows tell
    // phase 1 (kept: the middle row) from 1.5 (wrapped to 0.5: the bottom).
    const float mid = sinf(2 * 3.1415f) * 0.25f, low = sinf(3.1415f) * 0.5f;
    g.UpdatePosFlame(0.5f, 0.5f, 0.0f);  // the middle row at a quarter turn
    ExpectFloats(All(g, X), {-1, 1, -0.75f, 1.25f, -1 + low, 1 + low});
    g.UpdatePosFlame(1.0f, 0.5f, 0.5f);
    ExpectFloats(All(g, X), {-1, 1, -1 + mid, 1 + mid, -1 + low, 1 + low});

    FXDesk s;
    s.Create(1, 2);
    s.MultiPosSkewX(0.4f);  // the highest row moves by s, the lowest stays
    ExpectFloats(All(s, X), {-0.6f, 1.4f, -0.8f, 1.2f, -1, 1});
    // All vertices at one height: a finite result, the whole grid moves.
    for (int i = 0; i < s.mesh.vertexCount; ++i) s.mesh.vertices[i].f[1] = 0.3f;
    s.MultiPosSkewX(0.5f);
    ExpectFloats(All(s, X), {-0.1f, 1.9f, -0.3f, 1.7f, -0.5f, 1.5f});
}

TEST(FXDesk, ColoursBlendFromTopLeftToBottomRight) {
    FXDesk d;
    d.Create(1, 1);
    const float lt[4] = {1, 0, 0, 1}, rb[4] = {0, 0, 1, 0};
    d.UpdateCol_LT_RB(lt, rb);
    ExpectFloats(All(d, R), {1, 1, 1, 0});
    ExpectFloats(All(d, R + 2), {0, 0, 0, 1});
    ExpectFloats(All(d, A), {1, 1, 1, 0});
    d.UpdateCol();
    ExpectFloats(All(d, R), {1, 1, 1, 1});
}

TEST(FXDesk, TextureCoordinatesFollowThePartlyUsedBuffer) {
    FXMaterial m;
    m.texScaleU = 300.0f / 512.0f;  // a 300 x 200 picture in 512 x 256
    m.texScaleV = 200.0f / 256.0f;
    const float u = 0.5859375f, v = 0.78125f;
    FXDesk d;
    d.Create(2, 2);
    d.SetMaterial(&m);
    ExpectFloats(All(d, S), {0, u / 2, u, 0, u / 2, u, 0, u / 2, u});
    ExpectFloats(All(d, T), {0, 0, 0, v / 2, v / 2, v / 2, v, v, v});
    d.mesh.flipVertical = true;
    d.UpdateTex();
    ExpectFloats(All(d, T), {v, v, v, v / 2, v / 2, v / 2, 0, 0, 0});
    d.mesh.flipVertical = false;
    d.UpdateTexRc(0.5f, 0.25f, 1.0f, 0.75f);
    auto rc = std::make_pair(All(d, S)[0], All(d, T)[8]);
    d.UpdateTex1();  // the whole texture, scales ignored
    ExpectFloats({rc.first, rc.second, All(d, S)[8]}, {0.5f * u, 0.75f * v, 1.0f});
}

TEST(FXDesk, CornersAreNumberedClockwiseAndOthersIgnored) {
    FXDesk d;
    d.Create(1, 1);
    d.SetVertexPos(3, 0.5f, -0.5f);  // bottom right: vertex 3
    d.SetVertexPos(4, 0.1f, 0.2f);   // bottom left: vertex 2
    d.SetVertexPos(5, 9, 9);
    d.SetVertexPos(0, 9, 9);
    d.SetVertexPos1(2, 768, 192, 1024, 768);  // top right, at a pixel position
    d.SetVertexPos1(1, 5, 5, 0, 0);           // no screen: nothing
    ExpectFloats(All(d, X), {-1, 0.5f, 0.1f, 0.5f});
    ExpectFloats(All(d, Y), {1, 0.5f, 0.2f, -0.5f});
    d.SetTexelPos1(1, 256, 384, 1024, 768);
    ExpectFloats(All(d, S), {0.25f, 0, 0, 0});
    ExpectFloats(All(d, T), {0.5f, 0, 0, 0});
    // The same dimensions again keep later changes; others rebuild.
    d.SetVertexPos(1, 0.25f, 0.5f);
    d.Create(1, 1);
    EXPECT_EQ(All(d, X)[0], 0.25f);
    d.Create(3, 2);
    ASSERT_EQ(d.mesh.indexCount, 36);
    EXPECT_EQ(All(d, X)[0], -1.0f);
}

// Cells whose part of the picture (with the margin around it) the alpha
// test would drop entirely are left out; a texel above 2/255 anywhere in
// reach keeps its cell. The picture's used area is spread over the desk.
TEST(FXDesk, CellsOfAClearPictureAreLeftOut) {
    struct Row {
        const char* what;
        std::vector<std::pair<int, int>> solid;  // texels with alpha 3 in a clear 40 x 30 picture
        int margin;
        std::vector<int> kept;  // cells (y * 4 + x) of a 4 x 3 desk left in
    } rows[] = {
        {"all clear", {}, 0, {}},
        {"one texel keeps its cell", {{15, 12}}, 0, {5}},
        {"the margin reaches the next cells", {{10, 10}}, 1, {0, 1, 4, 5}},
        {"a corner texel", {{39, 29}}, 2, {11}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        FXCanvas pic;
        ASSERT_TRUE(pic.pixmap.Realloc(40, 30));
        pic.pixmap.usedWidth = 40, pic.pixmap.usedHeight = 30;
        for (int y = 0; y < pic.pixmap.bufHeight; ++y)
            for (int x = 0; x < pic.pixmap.bufWidth; ++x) pic.pixmap.Row(y)[x] = 0x02ffffffu;
        for (auto [x, y] : r.solid) pic.pixmap.Row(y)[x] = 0x03000000u;
        FXDesk d;
        d.Create(4, 3);
        EXPECT_EQ(d.LeaveOutClearCells(pic, r.margin), 12 - static_cast<int>(r.kept.size()));
        ASSERT_EQ(d.mesh.indexCount, 6 * static_cast<int>(r.kept.size()));
        for (size_t i = 0; i < r.kept.size(); ++i) {
            const int x = r.kept[i] % 4, y = r.kept[i] / 4;
            EXPECT_EQ(d.mesh.indices[6 * i], y * 5 + x) << "cell " << r.kept[i];
        }
        d.Create(5, 3);
        EXPECT_EQ(d.mesh.indexCount, 6 * 15);  // a new grid has every cell
    }
    FXDesk d;
    d.Create(2, 2);
    EXPECT_EQ(d.LeaveOutClearCells(FXCanvas(), 0), 0);  // no picture: nothing left out
    EXPECT_EQ(d.mesh.indexCount, 24);
}

TEST(ScrollDesk, NegativeAndHugeSpeedsWrapIntoRange) {
    FXMaterial m;
    m.texScaleU = m.texScaleV = 1;
    FXDeskScroll d;
    d.Create(1, 1);
    d.SetMaterial(&m);
    d.visibleX = 0.5f;
    d.periodX = 2.0;
    d.periodY = 0;
    fxtest::NullEnv env;
    d.speedX = -1;
    // The first frame and a long pause make no jump.
    const double times[] = {10.0, 11.0, 13.0, 14.5, 24.0};
    const float want[] = {0.0f, 0.25f, 0.75f, 0.125f, 0.125f};  // 1.125 wrapped back
    for (int i = 0; i < 5; ++i) {
        d.OnRender(&env, times[i]);
        EXPECT_FLOAT_EQ(d.offsetX, want[i]) << times[i];
    }
    d.speedX = -1e30f;
    d.OnRender(&env, 25.0);
    EXPECT_TRUE(d.offsetX >= 0.0f && d.offsetX <= 1.0f) << d.offsetX;
}

float M(FXMatrix& m, int r, int c) { return *m.M(r, c); }

TEST(FXScrPos01, PlacesABoxInPixelsAndFallsBackToIdentityWithoutAScreen) {
    FXScrPos01 p;
    p.screenWidth = p.screenHeight = 1000;
    p.boxWidth = p.boxHeight = 100;
    p.SetPos(0, 0);
    ExpectFloats({M(p.placement, 0, 0), M(p.placement, 1, 1), M(p.placement, 3, 0), M(p.placement, 3, 1)},
                 {0.1f, 0.1f, -0.9f, 0.9f});
    FXRect r;
    p.GetPixelRC(&r, 500, 500);
    EXPECT_EQ(std::make_tuple(r.left, r.right, r.bottom), std::make_tuple(0, 50, 50));
    p.ShiftPos(0.5f, 0.25f);
    EXPECT_EQ(std::make_pair(p.boxX, p.boxY), std::make_pair(500.0f, 250.0f));
    p.UpdateSize();
    ExpectFloats({M(p.placement, 3, 0), M(p.placement, 0, 0)}, {0.0f, 0.1f});
    p.screenWidth = 0;
    p.Update();
    FXMatrix id;
    EXPECT_TRUE(p.placement.Compare(&id));
}

TEST(FXScrPos01, AspectSqueezeCentresOrAlignsToAnEdge) {
    FXScrPos01 p;
    p.screenWidth = p.boxWidth = 1000;
    p.screenHeight = p.boxHeight = 500;
    p.Update();
    FXMatrix before = p.placement;
    p.UpdateAspectH1(0, 2, 1);  // as wide as the screen: unchanged
    EXPECT_TRUE(p.placement.Compare(&before));
    p.UpdateAspectH1(0, 4, 1);  // k = 0.5, centred
    ExpectFloats({M(p.placement, 0, 0), M(p.placement, 3, 0)}, {0.5f, 0.0f});
    for (auto [align, x] : {std::pair{1, 0.5f}, {2, -0.5f}}) {  // right edge, left edge
        p.Update();
        p.UpdateAspectH1(align, 4, 1);
        EXPECT_FLOAT_EQ(M(p.placement, 3, 0), x) << align;
    }
    p.Update();
    p.UpdateAspectH1(1, 0, 1);  // no width: nothing
    EXPECT_TRUE(p.placement.Compare(&before));
}

TEST(FXScrPos01, RenderLoadsOrCombinesThePlacement) {
    fxtest::NullEnv env;
    FXScrPos01 p;
    p.screenWidth = p.screenHeight = 100;
    p.boxWidth = p.boxHeight = 50;
    p.SetPos(50, 50);
    FXMatrix scale;
    scale.SetScaleF(2, 2, 2);
    env.ApplyMatrix(&scale);
    p.OnRender(&env, 0);
    EXPECT_TRUE(env.curMatrix.Compare(&p.placement));
    env.ApplyMatrix(&scale);
    p.combine = true;
    p.OnRender(&env, 0);
    ExpectFloats({M(env.curMatrix, 0, 0), M(env.curMatrix, 3, 0)}, {1.0f, 1.0f});  // 2 x 0.5
}

}  // namespace
