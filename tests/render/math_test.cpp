#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "math/3dmath.h"

namespace {

TEST(FXMatrix, Rotations) {
    FXMatrix z;
    z.SetRotateZ(90);
    EXPECT_NEAR(*z.M(0, 0), 0.0f, 1e-4);
    EXPECT_NE(*z.M(0, 0), 0.0f);  // the angle factor is a little under pi/180
    EXPECT_NEAR(*z.M(0, 1), -1.0f, 1e-6);
    EXPECT_NEAR(*z.M(1, 0), 1.0f, 1e-6);
    EXPECT_NEAR(*z.M(1, 1), 0.0f, 1e-4);

    FXMatrix x;
    x.SetRotateX(90);
    EXPECT_NEAR(*x.M(1, 2), 1.0f, 1e-6);
    EXPECT_NEAR(*x.M(2, 1), -1.0f, 1e-6);
    EXPECT_EQ(*x.M(0, 0), 1.0f);

    FXMatrix y;
    y.SetRotateY(30);
    EXPECT_FLOAT_EQ(*y.M(0, 2), sinf(30 * 0.017452778f));
    EXPECT_FLOAT_EQ(*y.M(2, 0), -sinf(30 * 0.017452778f));
    EXPECT_FLOAT_EQ(*y.M(2, 2), cosf(30 * 0.017452778f));
}

TEST(FXMatrix, MultiplyAppliesTheRightOperandFirst) {
    FXMatrix a, b, r;
    a.SetMoveF(1, 0, 0);
    b.SetScaleF(2, 2, 2);
    r.Multiply(&a, &b);
    EXPECT_EQ(*r.M(0, 0), 2.0f);
    EXPECT_EQ(*r.M(3, 0), 1.0f);
    r.Multiply(&b, &a);
    EXPECT_EQ(*r.M(3, 0), 2.0f);

    FXMatrix id, rot, out;
    rot.SetRotateZ(33);
    out.Multiply(&id, &rot);
    EXPECT_TRUE(out.Compare(&rot));
    out.Multiply(&rot, &id);
    EXPECT_TRUE(out.Compare(&rot));

    // Aliasing the result with an operand still gives the product.
    FXMatrix m;
    m.SetMoveF(1, 2, 3);
    m.Multiply(&m, &b);
    EXPECT_EQ(*m.M(0, 0), 2.0f);
    EXPECT_EQ(*m.M(3, 1), 2.0f);
}

TEST(FXMatrix, ElementsAndCompare) {
    FXMatrix m;
    m.SetMoveF(4, 5, 6);
    EXPECT_EQ(m.m[12], 4.0f);
    EXPECT_EQ(m.m[14], 6.0f);
    m.SetScaleF(2, 3, 4);
    EXPECT_EQ(m.m[0], 2.0f);
    EXPECT_EQ(m.m[10], 4.0f);
    EXPECT_EQ(m.m[15], 1.0f);
    m.SetFlipY();
    EXPECT_EQ(*m.M(1, 1), -1.0f);
    FXMatrix n;
    n.Copy(&m);
    EXPECT_TRUE(n.Compare(&m));
    n.m[7] = NAN;
    m.m[7] = NAN;
    EXPECT_FALSE(n.Compare(&m));
}

TEST(FXMatrix, FileFormIs64Bytes) {
    FXMatrix m, r;
    m.SetRotateX(12);
    *m.M(3, 1) = -7.5f;
    FILE* f = tmpfile();
    m.Save(f);
    EXPECT_EQ(ftell(f), 64);
    rewind(f);
    unsigned char b[4];
    ASSERT_EQ(fread(b, 1, 4, f), 4u);
    EXPECT_EQ(b[3], 0x3f);  // 1.0f little-endian: 00 00 80 3f
    EXPECT_EQ(b[2], 0x80);
    rewind(f);
    r.Clear(9);
    EXPECT_TRUE(r.Load(f));
    EXPECT_TRUE(r.Compare(&m));
    EXPECT_FALSE(r.Load(f));  // nothing left
    EXPECT_TRUE(r.Compare(&m));
    fclose(f);
}

TEST(Vectors, Interpolation) {
    EXPECT_FLOAT_EQ(fxVec1fCombineP(2, 4, 0.25f), 2.5f);
    EXPECT_FLOAT_EQ(fxVec1fCombineP(2, 4, 1.5f), 5.0f);
    EXPECT_EQ(fxVec1fCombineP(3, 3, 0.7f), 3.0f);
    EXPECT_EQ(fxVec1fCombineP(0.1f, 0.7f, 0.0f), 0.1f);
    EXPECT_EQ(fxVec1fCombineP(0.1f, 0.7f, 1.0f), 0.7f);
    float a[4] = {0, 1, 2, 0.3f}, b[4] = {10, 1, 4, 0.3f}, o[4];
    fxVec4fCombineP(o, a, b, 0.5f);
    EXPECT_EQ(o[0], 5.0f);
    EXPECT_EQ(o[1], 1.0f);
    EXPECT_EQ(o[2], 3.0f);
    EXPECT_EQ(o[3], 0.3f);
    fxVec3fCombine(o, a, b);
    EXPECT_EQ(o[0], 0.0f);
    EXPECT_EQ(o[2], 8.0f);
    fxVec2fCombine(a, a, b);  // the output may be an input
    EXPECT_EQ(a[1], 1.0f);
}

TEST(Colours, Packings) {
    float c[4] = {1, 0.5f, 0, 1};
    EXPECT_EQ(fxColToInt(c), 0xFFFF7F00u);
    EXPECT_EQ(fxColToInt1(c), 0xFF007FFFu);
    float d[4];
    fxColFromInt1(d, 0x80FF0000u);
    EXPECT_EQ(d[0], 0.0f);
    EXPECT_EQ(d[1], 0.0f);
    EXPECT_EQ(d[2], 1.0f);
    EXPECT_NEAR(d[3], 0.502f, 0.001f);
    fxColFromInt(d, 0x80FF0000u);
    EXPECT_EQ(d[0], 1.0f);
    EXPECT_EQ(d[2], 0.0f);
    // Round trip of every channel value.
    for (unsigned v = 0; v < 256; ++v) {
        fxColFromInt(d, v * 0x01010101u);
        EXPECT_EQ(fxColToInt(d), v * 0x01010101u);
    }
}

TEST(Colours, OutOfRangeComponentsStayInTheirChannel) {
    float c[4] = {1.5f, -0.2f, NAN, 1};
    EXPECT_EQ(fxColToInt(c), 0xFFFF0000u);
    float cut[4] = {-0.5f, 1.5f, 0.3f, 1};
    fxColCutRange(cut);
    EXPECT_EQ(cut[0], 0.0f);
    EXPECT_EQ(cut[1], 1.0f);
    EXPECT_EQ(cut[2], 0.3f);
    float z[4] = {0, 0, 0, 0.001f};
    EXPECT_FALSE(fxColIsZero(z));
    fxColSetBlackT(z);
    EXPECT_TRUE(fxColIsZero(z));
    fxColSetBlack(z);
    EXPECT_EQ(z[3], 1.0f);
    fxColSetWhite(z);
    EXPECT_EQ(fxColToInt(z), 0xFFFFFFFFu);
}

}  // namespace
