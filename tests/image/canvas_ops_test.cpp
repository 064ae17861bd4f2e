// Pixel buffers and the canvas operations that need no image library.
#include <cmath>
#include <tuple>
#include <vector>

#include "imgtest.h"
#include "image/pixmap.h"

using imgtest::Px;
using imgtest::Rgba;

namespace {

class CanvasOps : public ::testing::Test {
protected:
    // A w x h picture in its rounded buffer, pixel (x, y) = (10x + 1, 10y + 2,
    // 3, 255), margin 0xDEADBEEF.
    void Make(int w, int h) {
        ASSERT_TRUE(c.pixmap.Realloc(w, h));
        c.pixmap.Clear(static_cast<int>(0xDEADBEEFu));
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) c.pixmap.Row(y)[x] = Rgba(10 * x + 1, 10 * y + 2, 3, 255);
    }
    std::vector<uint32_t> Row0() { return std::vector<uint32_t>(c.pixmap.Row(0), c.pixmap.Row(0) + c.pixmap.bufWidth); }
    FXCanvas c, empty;
};

TEST_F(CanvasOps, BuffersAreReusedOrRefusedAndClearPacksAndClampsTheColour) {
    Make(300, 200);
    uint32_t* buf = c.pixmap.pixels;  // smaller, or as many pixels in another shape: kept, contents too
    ASSERT_TRUE(c.pixmap.Realloc(100, 100) && c.pixmap.Realloc(256, 512));
    EXPECT_EQ(std::make_tuple(c.pixmap.pixels, c.pixmap.capacity, Px(c, 0, 2)), std::make_tuple(buf, 512 * 256, Rgba(1, 12, 3, 255)));
    for (auto [w, h] : {std::pair{-1, 10}, {10, -5}, {16385, 1}, {0, 1 << 30}, {16384, 16384}, {INT32_MAX, INT32_MAX}})
        EXPECT_FALSE(c.pixmap.Realloc(w, h)) << w << "x" << h;
    ASSERT_TRUE(c.pixmap.Realloc(513, 256));  // larger: a new, zeroed buffer of exactly the rounded size
    EXPECT_EQ(std::make_tuple(c.pixmap.bufWidth, c.pixmap.capacity, Px(c, 0, 0)), std::make_tuple(1024, 1024 * 256, 0u));
    float col[4] = {1.0f, 0.5f, 0.0f, 1.0f}, wild[4] = {2.0f, -1.0f, NAN, 0.5f};
    c.Clear(col);
    EXPECT_EQ(std::make_pair(Px(c, 0, 0), Px(c, 1023, 255)), std::make_pair(0xFF007FFFu, 0xFF007FFFu));
    c.Clear(wild);
    EXPECT_EQ(Px(c, 1, 1), Rgba(255, 0, 0, 127));
    c.opaque = false;
    c.transparencyPicture = true;
    c.Destroy();
    EXPECT_TRUE(c.opaque && !c.transparencyPicture && !c.pixmap.pixels);
}

TEST_F(CanvasOps, LayeredColoursArePremultipliedAndMixedOverThePicture) {
    Make(3, 1);  // in 4 x 1; the margin stays untouched
    c.pixmap.Row(0)[0] = Rgba(200, 100, 50, 128);
    c.pixmap.Row(0)[1] = Rgba(255, 255, 255, 0);
    c.ConvertColsToLayered();
    EXPECT_EQ(Row0(), (std::vector<uint32_t>{Rgba(100, 50, 25, 128), 0, Rgba(21, 2, 3, 255), 0xDEADBEEFu}));
    c.pixmap.Row(0)[0] = Rgba(0, 255, 0, 255);
    c.pixmap.Row(0)[1] = Rgba(255, 255, 255, 77);
    float col[4] = {1.0f, 0.0f, 0.0f, 0.5f};
    c.MixColorLayer(col);
    EXPECT_EQ((std::vector<float>(col, col + 4)), (std::vector<float>{0.5f, 0, 0, 0.5f}));  // premultiplied in place
    EXPECT_EQ(Row0(), (std::vector<uint32_t>{Rgba(127, 127, 0, 255), Rgba(255, 127, 127, 77), Rgba(138, 1, 1, 255),
                                             0xDEADBEEFu}));
}

TEST_F(CanvasOps, CopyTakesTheUsedAreaAndClearsOpaqueOnlyForTranslucency) {
    FXCanvas dst, fresh;
    Make(3, 2);
    c.pixmap.Row(1)[2] = Rgba(9, 9, 9, 200);
    dst.Copy(&c);
    EXPECT_EQ(std::make_tuple(dst.GetWidth(), dst.GetHeight(), dst.pixmap.bufWidth), std::make_tuple(3, 2, 4));
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++) EXPECT_EQ(Px(dst, x, y), Px(c, x, y));
    EXPECT_FALSE(dst.opaque);
    c.pixmap.Row(1)[2] |= 0xFF000000u;  // an opaque source does not make the flag true again
    dst.Copy(&c);
    EXPECT_FALSE(dst.opaque);
    fresh.Copy(&c);
    EXPECT_TRUE(fresh.opaque);
    fresh.Copy(nullptr);
    fresh.Copy(&fresh);
    EXPECT_EQ(fresh.GetWidth(), 3);
}

TEST_F(CanvasOps, ExtendEdgesFillsTheMarginFromTheEdges) {
    Make(3, 3);  // in 4 x 4
    c.ExtendEdges();
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(Px(c, 3, i), Px(c, 2, i)) << i;
        EXPECT_EQ(Px(c, i, 3), Px(c, i, 2)) << i;
    }
    EXPECT_EQ(Px(c, 3, 3), Rgba(21, 22, 3, 255));
    empty.ExtendEdges();
}

TEST_F(CanvasOps, SamplesClampToTheBuffer) {
    Make(3, 2);  // in 4 x 2
    struct Case {
        float s, t;
        float r, g;  // as bytes
    } cases[] = {
        {0.5f, 0.5f, 11, 12},     // x = 1.5 -> 1, y = 1
        {1.0f, 0.0f, 0xEF, 0xBE}, // x = 3: the margin column, inside the buffer
        {50, 50, 0xEF, 0xBE},     // clamped to (3, 1)
        {-3, NAN, 1, 2},          // clamped to (0, 0)
    };
    for (const Case& k : cases) {
        float rgba[4] = {9, 9, 9, 9};
        c.GetColor(k.s, k.t, rgba);
        EXPECT_EQ((std::vector<float>(rgba, rgba + 2)), (std::vector<float>{k.r / 255.0f, k.g / 255.0f})) << k.s;
    }
    float keep[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    empty.GetColor(0.5f, 0.5f, keep);
    EXPECT_EQ((std::vector<float>(keep, keep + 4)), (std::vector<float>{0.1f, 0.2f, 0.3f, 0.4f}));
    // Bumps run bottom to top and read red.
    Make(3, 4);
    for (int y = 0; y < 4; y++) c.pixmap.Row(y)[0] = Rgba(50 * y, 0, 0, 255);
    EXPECT_EQ((std::vector<float>{c.GetBump(0, 1), c.GetBump(0, 0), c.GetBump(0, 0.5f), c.GetBump(0.5f, 0.9f)}),
              (std::vector<float>{0, 150 / 255.0f, 100 / 255.0f, 11 / 255.0f}));  // y = 0, 4 clamped to 3, 2, 0.4
    EXPECT_EQ(empty.GetBump(0.5f, 0.5f), 0.0f);
    ASSERT_TRUE(empty.pixmap.Realloc(0, 0));
    EXPECT_EQ(empty.GetBump(0.5f, 0.5f), 0.0f);
}

}  // namespace
