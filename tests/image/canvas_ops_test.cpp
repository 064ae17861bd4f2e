// Pixel buffers and the canvas operations that need no image library.
#include <cmath>
#include <cstring>
#include <vector>

#include "imgtest.h"
#include "image/canvas.h"
#include "image/pixmap.h"
#include "math/3dmath.h"

using imgtest::Px;
using imgtest::Rgba;

namespace {

TEST(Pixmap, ReallocRoundsUpToPowersOfTwoOnlyWhenAsked) {
    struct Case {
        bool pow2;
        int w, h, bufW, bufH;
    } cases[] = {{true, 300, 200, 512, 256}, {true, 1, 1, 1, 1}, {true, 0, 0, 1, 1}, {false, 300, 7, 300, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << (c.pow2 ? "" : " exact"));
        FXPixmap p;
        p.pow2 = c.pow2;
        ASSERT_TRUE(p.Realloc(c.w, c.h));
        EXPECT_EQ(p.usedWidth, c.w);
        EXPECT_EQ(p.usedHeight, c.h);
        EXPECT_EQ(p.bufWidth, c.bufW);
        EXPECT_EQ(p.bufHeight, c.bufH);
        EXPECT_EQ(p.capacity, c.bufW * c.bufH);
    }
}

TEST(Pixmap, LargeEnoughBuffersAreReusedAndLargerOnesStartZeroed) {
    FXPixmap p;
    ASSERT_TRUE(p.Realloc(300, 200));
    p.Clear(0x11223344);
    uint32_t* buf = p.pixels;
    // Smaller, and the same number of pixels in another shape: kept, contents too.
    ASSERT_TRUE(p.Realloc(100, 100));
    EXPECT_EQ(p.pixels, buf);
    EXPECT_EQ(p.bufWidth, 128);
    EXPECT_EQ(p.pixels[128 * 128 - 1], 0x11223344u);
    ASSERT_TRUE(p.Realloc(256, 512));
    EXPECT_EQ(p.pixels, buf);
    EXPECT_EQ(p.capacity, 512 * 256);
    // Larger: a new buffer of exactly the rounded size.
    ASSERT_TRUE(p.Realloc(513, 256));
    EXPECT_EQ(p.bufWidth, 1024);
    EXPECT_EQ(p.capacity, 1024 * 256);
    EXPECT_EQ(p.pixels[0], 0u);
}

TEST(Pixmap, AbsurdSizesAreRefusedAndChangeNothing) {
    FXPixmap p;
    ASSERT_TRUE(p.Realloc(10, 10));
    uint32_t* buf = p.pixels;
    for (auto [w, h] : {std::pair{-1, 10}, {10, -5}, {16385, 1}, {0, 1 << 30}, {16384, 16384}, {INT32_MAX, INT32_MAX}})
        EXPECT_FALSE(p.Realloc(w, h)) << w << "x" << h;
    EXPECT_EQ(p.pixels, buf);
    EXPECT_EQ(p.usedWidth, 10);
    EXPECT_EQ(p.bufWidth, 16);
    EXPECT_TRUE(p.Realloc(16384, 2048));
}

TEST(Pixmap, ClearCoversTheWholeBufferAndDestroyEmptiesButKeepsTheFlag) {
    FXPixmap p;
    p.Clear(5);  // nothing to clear
    ASSERT_TRUE(p.Realloc(3, 3));
    p.Clear(-1);
    EXPECT_EQ(std::vector<uint32_t>(p.pixels, p.pixels + 16), std::vector<uint32_t>(16, 0xFFFFFFFFu));
    p.pow2 = false;
    p.Destroy();
    EXPECT_EQ(p.pixels, nullptr);
    EXPECT_EQ(p.capacity + p.bufWidth + p.bufHeight + p.usedWidth + p.usedHeight, 0);
    EXPECT_FALSE(p.pow2);
    p.Destroy();
}

class CanvasOps : public ::testing::Test {
protected:
    // A w x h picture in its rounded buffer, margin 0xDEADBEEF.
    void Make(FXCanvas* c, int w, int h) {
        ASSERT_TRUE(c->pixmap.Realloc(w, h));
        c->pixmap.Clear(static_cast<int>(0xDEADBEEFu));
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) c->pixmap.Row(y)[x] = Rgba(10 * x + 1, 10 * y + 2, 3, 255);
    }
};

TEST_F(CanvasOps, DestroyEmptiesAndRestoresTheFlags) {
    FXCanvas c;
    Make(&c, 3, 3);
    c.opaque = false;
    c.transparencyPicture = true;
    c.Destroy();
    EXPECT_TRUE(c.opaque);
    EXPECT_FALSE(c.transparencyPicture);
    EXPECT_EQ(c.pixmap.pixels, nullptr);
    EXPECT_EQ(c.GetWidth(), 0);
}

TEST_F(CanvasOps, ClearPacksTheColour) {
    FXCanvas c;
    Make(&c, 3, 2);
    float col[4] = {1.0f, 0.5f, 0.0f, 1.0f};
    c.Clear(col);
    EXPECT_EQ(Px(c, 0, 0), 0xFF007FFFu);
    EXPECT_EQ(Px(c, 3, 1), 0xFF007FFFu);
    float wild[4] = {2.0f, -1.0f, NAN, 0.5f};  // clamped into range
    c.Clear(wild);
    EXPECT_EQ(Px(c, 1, 1), Rgba(255, 0, 0, 127));
}

TEST_F(CanvasOps, LayeredColoursArePremultiplied) {
    FXCanvas c;
    Make(&c, 3, 1);  // in 4 x 1
    c.pixmap.Row(0)[0] = Rgba(200, 100, 50, 128);
    c.pixmap.Row(0)[1] = Rgba(255, 255, 255, 0);
    c.ConvertColsToLayered();
    EXPECT_EQ(Px(c, 0, 0), Rgba(100, 50, 25, 128));
    EXPECT_EQ(Px(c, 1, 0), Rgba(0, 0, 0, 0));
    EXPECT_EQ(Px(c, 2, 0), Rgba(21, 2, 3, 255));
    EXPECT_EQ(Px(c, 3, 0), 0xDEADBEEFu);  // margin untouched
}

TEST_F(CanvasOps, MixColorLayerBlendsOverThePicture) {
    FXCanvas c;
    Make(&c, 3, 1);  // in 4 x 1
    c.pixmap.Row(0)[0] = Rgba(0, 255, 0, 255);
    c.pixmap.Row(0)[1] = Rgba(255, 255, 255, 77);
    float col[4] = {1.0f, 0.0f, 0.0f, 0.5f};
    c.MixColorLayer(col);
    EXPECT_FLOAT_EQ(col[0], 0.5f);  // the caller's colour is premultiplied
    EXPECT_FLOAT_EQ(col[3], 0.5f);
    EXPECT_EQ(Px(c, 0, 0), Rgba(127, 127, 0, 255));
    EXPECT_EQ(Px(c, 1, 0), Rgba(255, 127, 127, 77));
    EXPECT_EQ(Px(c, 3, 0), 0xDEADBEEFu);
}

TEST_F(CanvasOps, CopyTakesTheUsedAreaAndClearsOpaqueOnlyForTranslucency) {
    FXCanvas src, dst;
    Make(&src, 3, 2);
    src.pixmap.Row(1)[2] = Rgba(9, 9, 9, 200);
    dst.Copy(&src);
    EXPECT_EQ(dst.GetWidth(), 3);
    EXPECT_EQ(dst.GetHeight(), 2);
    EXPECT_EQ(dst.pixmap.bufWidth, 4);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++) EXPECT_EQ(Px(dst, x, y), Px(src, x, y));
    EXPECT_FALSE(dst.opaque);
    // An opaque source does not make the flag true again.
    src.pixmap.Row(1)[2] |= 0xFF000000u;
    dst.Copy(&src);
    EXPECT_FALSE(dst.opaque);
    FXCanvas fresh;
    fresh.Copy(&src);
    EXPECT_TRUE(fresh.opaque);
    fresh.Copy(nullptr);
    fresh.Copy(&fresh);
    EXPECT_EQ(fresh.GetWidth(), 3);
}

TEST_F(CanvasOps, ExtendEdgesFillsTheMarginFromTheEdges) {
    FXCanvas c;
    Make(&c, 3, 3);  // in 4 x 4
    c.ExtendEdges();
    for (int y = 0; y < 3; y++) EXPECT_EQ(Px(c, 3, y), Px(c, 2, y)) << y;
    for (int x = 0; x < 4; x++) EXPECT_EQ(Px(c, x, 3), Px(c, x, 2)) << x;
    EXPECT_EQ(Px(c, 3, 3), Rgba(21, 22, 3, 255));
    FXCanvas empty;
    empty.ExtendEdges();
}

TEST_F(CanvasOps, GetColorSamplesAndClampsToTheBuffer) {
    FXCanvas c;
    Make(&c, 3, 2);  // in 4 x 2
    float rgba[4] = {9, 9, 9, 9};
    c.GetColor(0.5f, 0.5f, rgba);  // x = 1.5 -> 1, y = 1
    EXPECT_FLOAT_EQ(rgba[0], 11 / 255.0f);
    EXPECT_FLOAT_EQ(rgba[1], 12 / 255.0f);
    EXPECT_FLOAT_EQ(rgba[3], 1.0f);
    c.GetColor(1.0f, 0.0f, rgba);  // x = 3: the margin column, inside the buffer
    EXPECT_FLOAT_EQ(rgba[0], 0xEF / 255.0f);
    c.GetColor(50.0f, 50.0f, rgba);  // clamped to (3, 1)
    EXPECT_FLOAT_EQ(rgba[0], 0xEF / 255.0f);
    c.GetColor(-3.0f, NAN, rgba);  // clamped to (0, 0)
    EXPECT_FLOAT_EQ(rgba[0], 1 / 255.0f);
    EXPECT_FLOAT_EQ(rgba[1], 2 / 255.0f);
    FXCanvas empty;
    float keep[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    empty.GetColor(0.5f, 0.5f, keep);
    EXPECT_FLOAT_EQ(keep[0], 0.1f);
    EXPECT_FLOAT_EQ(keep[3], 0.4f);
}

TEST_F(CanvasOps, GetBumpRunsBottomToTopAndReadsRed) {
    FXCanvas c;
    Make(&c, 3, 4);
    for (int y = 0; y < 4; y++) c.pixmap.Row(y)[0] = Rgba(50 * y, 0, 0, 255);
    EXPECT_FLOAT_EQ(c.GetBump(0.0f, 1.0f), 0.0f);                // y = 0
    EXPECT_FLOAT_EQ(c.GetBump(0.0f, 0.0f), 150 / 255.0f);        // y = 4, clamped to 3
    EXPECT_FLOAT_EQ(c.GetBump(0.0f, 0.5f), 100 / 255.0f);        // y = 2
    EXPECT_FLOAT_EQ(c.GetBump(0.5f, 0.9f), 11 / 255.0f);         // x = 1, y = 0.4 -> 0
    FXCanvas empty;
    EXPECT_EQ(empty.GetBump(0.5f, 0.5f), 0.0f);
    ASSERT_TRUE(empty.pixmap.Realloc(0, 0));
    EXPECT_EQ(empty.GetBump(0.5f, 0.5f), 0.0f);
}

}  // namespace
