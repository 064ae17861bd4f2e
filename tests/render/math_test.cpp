#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "../support/testutil.h"
#include "math/3dmath.h"

namespace {

TEST(FXMatrix, Rotations) {
    FXMatrix x, y, z;
    z.SetRotateZ(90);
    EXPECT_NEAR(*z.M(0, 0), 0.0f, 1e-4);
    EXPECT_NE(*z.M(0, 0), 0.0f);  // the angle factor is a little under pi/180
    x.SetRotateX(90);
    for (auto [m, r, c, want] : {std::make_tuple(&z, 0, 1, -1.0f), {&z, 1, 0, 1.0f}, {&x, 1, 2, 1.0f}, {&x, 2, 1, -1.0f}})
        EXPECT_NEAR(*m->M(r, c), want, 1e-6) << r << c;
    EXPECT_EQ(*x.M(0, 0), 1.0f);
    y.SetRotateY(30);
    const float a = 30 * 0.017452778f;
    EXPECT_EQ((std::vector<float>{*y.M(0, 2), *y.M(2, 0), *y.M(2, 2)}), (std::vector<float>{sinf(a), -sinf(a), cosf(a)}));
}

TEST(FXMatrix, ElementsCompareAndTheFileForm) {
    FXMatrix m, n, r;
    m.SetMoveF(4, 5, 6);
    EXPECT_EQ(std::make_pair(m.m[12], m.m[14]), std::make_pair(4.0f, 6.0f));
    m.SetScaleF(2, 3, 4);
    EXPECT_EQ((std::vector<float>{m.m[0], m.m[10], m.m[15]}), (std::vector<float>{2, 4, 1}));
    m.SetFlipY();
    EXPECT_EQ(*m.M(1, 1), -1.0f);
    n.Copy(&m);
    EXPECT_TRUE(n.Compare(&m));
    n.m[7] = m.m[7] = NAN;
    EXPECT_FALSE(n.Compare(&m));

    m.SetRotateX(12);
    *m.M(3, 1) = -7.5f;
    FILE* f = tmpfile();
    m.Save(f);
    std::string bytes = fxtest::StreamBytes(f);
    EXPECT_EQ(bytes.size(), 64u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\0\0\x80\x3f", 4));  // 1.0f little-endian
    rewind(f);
    r.Clear(9);
    EXPECT_TRUE(r.Load(f));
    EXPECT_TRUE(r.Compare(&m));
    EXPECT_FALSE(r.Load(f));  // nothing left
    EXPECT_TRUE(r.Compare(&m));
    fclose(f);
}

TEST(Vectors, Interpolation) {
    struct Case {
        float a, b, t, want;
    } cases[] = {{2, 4, 0.25f, 2.5f}, {2, 4, 1.5f, 5}, {3, 3, 0.7f, 3}, {0.1f, 0.7f, 0, 0.1f}, {0.1f, 0.7f, 1, 0.7f}};
    for (const Case& c : cases) EXPECT_EQ(fxVec1fCombineP(c.a, c.b, c.t), c.want) << c.a << " " << c.b << " " << c.t;
    float a[4] = {0, 1, 2, 0.3f}, b[4] = {10, 1, 4, 0.3f}, o[4];
    fxVec4fCombineP(o, a, b, 0.5f);
    EXPECT_EQ(std::vector<float>(o, o + 4), (std::vector<float>{5, 1, 3, 0.3f}));
    fxVec3fCombine(o, a, b);
    EXPECT_EQ(std::make_pair(o[0], o[2]), std::make_pair(0.0f, 8.0f));
    fxVec2fCombine(a, a, b);  // the output may be an input
    EXPECT_EQ(a[1], 1.0f);
}

TEST(Colours, PackingsClampIntoTheirChannel) {
    float c[4] = {1, 0.5f, 0, 1}, d[4], wild[4] = {1.5f, -0.2f, NAN, 1}, cut[4] = {-0.5f, 1.5f, 0.3f, 1};
    EXPECT_EQ(std::make_pair(fxColToInt(c), fxColToInt1(c)), std::make_pair(0xFFFF7F00u, 0xFF007FFFu));
    EXPECT_EQ(fxColToInt(wild), 0xFFFF0000u);
    fxColFromInt1(d, 0x80FF0000u);
    EXPECT_EQ(std::vector<float>(d, d + 3), (std::vector<float>{0, 0, 1}));
    EXPECT_NEAR(d[3], 0.502f, 0.001f);
    fxColFromInt(d, 0x80FF0000u);
    EXPECT_EQ(std::make_pair(d[0], d[2]), std::make_pair(1.0f, 0.0f));
    for (unsigned v = 0; v < 256; ++v) {  // round trip of every channel value
        fxColFromInt(d, v * 0x01010101u);
        EXPECT_EQ(fxColToInt(d), v * 0x01010101u);
    }
    fxColCutRange(cut);
    EXPECT_EQ(std::vector<float>(cut, cut + 3), (std::vector<float>{0, 1, 0.3f}));
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
