#include <gtest/gtest.h>

#include <cmath>

#include "../support/nullenv.h"
#include "geometry/desk.h"
#include "geometry/scrpos01.h"
#include "geometry/sdesk.h"
#include "render/material.h"

namespace {

const float* Pos(FXDesk& d, int i) { return d.mesh.vertices[i].f + FX_VTX_POS; }
const float* Tex(FXDesk& d, int i) { return d.mesh.vertices[i].f + FX_VTX_TEX; }
const float* Col(FXDesk& d, int i) { return d.mesh.vertices[i].f + FX_VTX_COLOR; }

TEST(FXDesk, OneQuad) {
    FXDesk d;
    d.Create(1, 1);
    ASSERT_EQ(d.mesh.vertexCount, 4);
    ASSERT_EQ(d.mesh.indexCount, 6);
    const float want[4][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Pos(d, i)[0], want[i][0]);
        EXPECT_EQ(Pos(d, i)[1], want[i][1]);
        EXPECT_EQ(Pos(d, i)[2], 0.0f);
        EXPECT_EQ(d.mesh.vertices[i].f[FX_VTX_NORMAL + 2], -1.0f);
        EXPECT_EQ(Col(d, i)[3], 1.0f);
    }
    const int32_t idx[6] = {0, 2, 1, 2, 3, 1};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(d.mesh.indices[i], idx[i]);
    // No material: texture coordinates 0.
    EXPECT_EQ(Tex(d, 3)[0], 0.0f);
}

TEST(FXDesk, GridOrderAndIndices) {
    FXDesk d;
    d.Create(3, 2);
    ASSERT_EQ(d.mesh.vertexCount, 12);
    ASSERT_EQ(d.mesh.indexCount, 36);
    // Vertex (x, y) = y * 4 + x; quad (2, 1) starts at index 6 * (1 * 3 + 2).
    EXPECT_FLOAT_EQ(Pos(d, 1 * 4 + 2)[0], 2.0f * 2 / 3 - 1);
    EXPECT_FLOAT_EQ(Pos(d, 1 * 4 + 2)[1], 0.0f);
    const int32_t* q = d.mesh.indices + 30;
    EXPECT_EQ(q[0], 6);
    EXPECT_EQ(q[1], 10);
    EXPECT_EQ(q[2], 7);
    EXPECT_EQ(q[4], 11);
    for (int i = 0; i < 36; ++i) {
        EXPECT_GE(d.mesh.indices[i], 0);
        EXPECT_LT(d.mesh.indices[i], 12);
    }
    // The same dimensions again keep later changes.
    d.SetVertexPos(1, 0.25f, 0.5f);
    d.Create(3, 2);
    EXPECT_EQ(Pos(d, 0)[0], 0.25f);
    d.Create(1, 1);
    EXPECT_EQ(Pos(d, 0)[0], -1.0f);
}

TEST(FXDesk, PositionUpdates) {
    FXDesk d;
    d.Create(1, 1);
    d.UpdatePosSkew(true, false, 0.5f, 0);
    EXPECT_FLOAT_EQ(Pos(d, 0)[0], -0.5f);  // top row moved right
    EXPECT_FLOAT_EQ(Pos(d, 2)[0], -1.0f);  // bottom row stays
    d.UpdatePosSkew1(true, false, 0.5f, 0);
    EXPECT_FLOAT_EQ(Pos(d, 0)[0], -1.0f);
    EXPECT_FLOAT_EQ(Pos(d, 2)[0], -0.5f);
    d.UpdatePosSkew(false, false, 0, 0.25f);
    EXPECT_FLOAT_EQ(Pos(d, 2)[0], -0.5f);  // nothing written
    d.UpdatePosPerspective(1.0f);
    EXPECT_FLOAT_EQ(Pos(d, 0)[0], -1.0f);
    EXPECT_FLOAT_EQ(Pos(d, 3)[0], 2.0f);  // bottom widened by v * p + 1

    FXDesk g;
    g.Create(1, 2);
    g.UpdatePosFlame(1.0f, 0.5f, 0.5f);
    // Top row never moves; the middle row has f = 1 exactly (stays 1).
    EXPECT_FLOAT_EQ(Pos(g, 0)[0], -1.0f);
    EXPECT_NEAR(Pos(g, 2)[0], -1.0f + sinf(2 * 3.1415f) * 0.5f * 0.5f, 1e-6);
    // Bottom row: f = 1.5 becomes 0.5.
    EXPECT_NEAR(Pos(g, 4)[0], -1.0f + sinf(3.1415f) * 0.5f, 1e-6);
}

TEST(FXDesk, ShearAndTheFlatGrid) {
    FXDesk d;
    d.Create(1, 2);
    d.MultiPosSkewX(0.4f);
    EXPECT_FLOAT_EQ(Pos(d, 0)[0], -0.6f);  // highest moved by s
    EXPECT_FLOAT_EQ(Pos(d, 2)[0], -0.8f);
    EXPECT_FLOAT_EQ(Pos(d, 4)[0], -1.0f);  // lowest stays
    // All vertices at one height: a finite result, the whole grid moves.
    for (int i = 0; i < d.mesh.vertexCount; ++i) d.mesh.vertices[i].f[1] = 0.3f;
    d.MultiPosSkewX(0.5f);
    for (int i = 0; i < d.mesh.vertexCount; ++i) EXPECT_TRUE(std::isfinite(Pos(d, i)[0]));
    EXPECT_FLOAT_EQ(Pos(d, 4)[0], -0.5f);
}

TEST(FXDesk, Colours) {
    FXDesk d;
    d.Create(1, 1);
    const float lt[4] = {1, 0, 0, 1}, rb[4] = {0, 0, 1, 0};
    d.UpdateCol_LT_RB(lt, rb);
    for (int i : {0, 1, 2}) EXPECT_EQ(Col(d, i)[0], 1.0f);
    EXPECT_EQ(Col(d, 3)[2], 1.0f);
    EXPECT_EQ(Col(d, 3)[3], 0.0f);
    d.UpdateCol();
    EXPECT_EQ(Col(d, 3)[0], 1.0f);
}

TEST(FXDesk, TextureCoordinatesFollowThePartlyUsedBuffer) {
    FXMaterial m;
    m.texScaleU = 300.0f / 512.0f;  // a 300 x 200 picture in 512 x 256
    m.texScaleV = 200.0f / 256.0f;
    FXDesk d;
    d.Create(2, 2);
    d.SetMaterial(&m);
    EXPECT_FLOAT_EQ(Tex(d, 8)[0], 0.5859375f);
    EXPECT_FLOAT_EQ(Tex(d, 8)[1], 0.78125f);
    EXPECT_FLOAT_EQ(Tex(d, 4)[0], 0.5859375f / 2);
    d.mesh.flipVertical = true;
    d.UpdateTex();
    EXPECT_FLOAT_EQ(Tex(d, 0)[1], 0.78125f);
    EXPECT_FLOAT_EQ(Tex(d, 8)[1], 0.0f);
    d.mesh.flipVertical = false;
    d.UpdateTexRc(0.5f, 0.25f, 1.0f, 0.75f);
    EXPECT_FLOAT_EQ(Tex(d, 0)[0], 0.5f * 0.5859375f);
    EXPECT_FLOAT_EQ(Tex(d, 8)[1], 0.75f * 0.78125f);
    d.UpdateTex1();
    EXPECT_FLOAT_EQ(Tex(d, 8)[0], 1.0f);
}

TEST(FXDesk, Corners) {
    FXDesk d;
    d.Create(1, 1);
    d.SetVertexPos(3, 0.5f, -0.5f);  // bottom-right is vertex 3
    EXPECT_EQ(Pos(d, 3)[0], 0.5f);
    d.SetVertexPos(4, 0.1f, 0.2f);  // bottom-left is vertex 2
    EXPECT_EQ(Pos(d, 2)[1], 0.2f);
    d.SetVertexPos(5, 9, 9);
    d.SetVertexPos(0, 9, 9);
    for (int i = 0; i < 4; ++i) EXPECT_NE(Pos(d, i)[0], 9.0f);
    d.SetVertexPos1(2, 768, 192, 1024, 768);  // top-right at a pixel position
    EXPECT_FLOAT_EQ(Pos(d, 1)[0], 0.5f);
    EXPECT_FLOAT_EQ(Pos(d, 1)[1], 0.5f);
    d.SetTexelPos1(1, 256, 384, 1024, 768);
    EXPECT_FLOAT_EQ(Tex(d, 0)[0], 0.25f);
    EXPECT_FLOAT_EQ(Tex(d, 0)[1], 0.5f);
    d.SetVertexPos1(1, 5, 5, 0, 0);  // no screen: nothing
    EXPECT_EQ(Pos(d, 0)[0], -1.0f);
}

class ScrollDesk : public ::testing::Test {
protected:
    void SetUp() override {
        m.texScaleU = 1;
        m.texScaleV = 1;
        d.Create(1, 1);
        d.SetMaterial(&m);
        d.visibleX = 0.5f;
        d.periodX = 2.0;
        d.periodY = 0;
    }
    FXMaterial m;
    FXDeskScroll d;
    fxtest::NullEnv env;
};

TEST_F(ScrollDesk, MovesTheWindowOverTime) {
    d.OnRender(&env, 1000.0);  // first frame: no jump
    EXPECT_EQ(d.lastTime, 1000.0);
    EXPECT_EQ(d.offsetX, 0.0f);
    d.OnRender(&env, 1001.0);  // half a period: -0.25, wrapped to 0.75
    EXPECT_FLOAT_EQ(d.offsetX, 0.75f);
    EXPECT_FLOAT_EQ(Tex(d, 0)[0], 0.375f);
    EXPECT_FLOAT_EQ(Tex(d, 1)[0], 0.875f);
    EXPECT_EQ(Tex(d, 0)[1], 0.0f);  // y does not scroll (period 0)
    d.OnRender(&env, 1010.0);  // a long pause: no jump
    EXPECT_FLOAT_EQ(d.offsetX, 0.75f);
}

TEST_F(ScrollDesk, NegativeSpeedWrapsFromAbove) {
    d.speedX = -1;
    d.OnRender(&env, 10.0);
    d.OnRender(&env, 11.0);
    EXPECT_FLOAT_EQ(d.offsetX, 0.25f);
    d.OnRender(&env, 13.0);
    EXPECT_FLOAT_EQ(d.offsetX, 0.75f);
    d.OnRender(&env, 14.5);
    EXPECT_FLOAT_EQ(d.offsetX, 0.125f);  // 1.125 wrapped back
    // A huge speed wraps in one step.
    d.speedX = -1e30f;
    d.OnRender(&env, 15.0);
    EXPECT_GE(d.offsetX, 0.0f);
    EXPECT_LE(d.offsetX, 1.0f);
}

TEST_F(ScrollDesk, PlainDeskWhenNothingScrolls) {
    d.SetTexelPos(1, 0.3f, 0.3f);
    d.visibleX = 1;
    d.OnRender(&env, 1.0);
    d.OnRender(&env, 1.5);
    EXPECT_EQ(Tex(d, 0)[0], 0.3f);
    d.visibleX = 0.5f;
    d.periodX = 0;
    d.OnRender(&env, 2.0);
    EXPECT_EQ(Tex(d, 0)[0], 0.3f);
    d.periodX = 1;
    d.SetMaterial(nullptr);
    d.SetTexelPos(1, 0.3f, 0.3f);
    d.OnRender(&env, 2.5);
    EXPECT_EQ(Tex(d, 0)[0], 0.3f);
}

TEST(FXScrPos01, PlacementOfABox) {
    FXScrPos01 p;
    p.screenWidth = 1000;
    p.screenHeight = 1000;
    p.boxWidth = 100;
    p.boxHeight = 100;
    p.SetPos(0, 0);
    EXPECT_FLOAT_EQ(*p.placement.M(0, 0), 0.1f);
    EXPECT_FLOAT_EQ(*p.placement.M(1, 1), 0.1f);
    EXPECT_FLOAT_EQ(*p.placement.M(3, 0), -0.9f);
    EXPECT_FLOAT_EQ(*p.placement.M(3, 1), 0.9f);
    FXRect r;
    p.GetPixelRC(&r, 500, 500);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 50);
    EXPECT_EQ(r.bottom, 50);
    p.ShiftPos(0.5f, 0.25f);
    EXPECT_EQ(p.boxX, 500.0f);
    EXPECT_EQ(p.boxY, 250.0f);
    p.UpdateSize();
    EXPECT_FLOAT_EQ(*p.placement.M(3, 0), 0.0f);
    EXPECT_FLOAT_EQ(*p.placement.M(0, 0), 0.1f);
    p.screenWidth = 0;
    p.Update();
    FXMatrix id;
    EXPECT_TRUE(p.placement.Compare(&id));
}

TEST(FXScrPos01, AspectSqueeze) {
    FXScrPos01 p;
    p.screenWidth = 1000;
    p.screenHeight = 500;
    p.boxWidth = 1000;
    p.boxHeight = 500;
    p.Update();
    FXMatrix before = p.placement;
    p.UpdateAspectH1(0, 2, 1);  // as wide as the screen: unchanged
    EXPECT_TRUE(p.placement.Compare(&before));
    p.UpdateAspectH1(0, 4, 1);  // k = 0.5, centred
    EXPECT_FLOAT_EQ(*p.placement.M(0, 0), 0.5f);
    EXPECT_FLOAT_EQ(*p.placement.M(3, 0), 0.0f);
    p.Update();
    p.UpdateAspectH1(1, 4, 1);  // against the right edge
    EXPECT_FLOAT_EQ(*p.placement.M(3, 0), 0.5f);
    p.Update();
    p.UpdateAspectH1(2, 4, 1);  // against the left edge
    EXPECT_FLOAT_EQ(*p.placement.M(3, 0), -0.5f);
    p.Update();
    p.UpdateAspectH1(1, 0, 1);  // no width: nothing
    EXPECT_TRUE(p.placement.Compare(&before));
}

TEST(FXScrPos01, RenderLoadsOrCombines) {
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
    EXPECT_FLOAT_EQ(*env.curMatrix.M(0, 0), 1.0f);   // 2 x 0.5
    EXPECT_FLOAT_EQ(*env.curMatrix.M(3, 0), 1.0f);   // 2 x 0.5
}

}  // namespace
