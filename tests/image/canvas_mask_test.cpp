// Masks: the mask's blue channel becomes the alpha of the picture.
#include <cstring>
#include <string>

#include "imgtest.h"

using imgtest::Px;
using imgtest::Rgba;

namespace {

class CanvasMask : public imgtest::DevilTest {
protected:
    // A 10 x 6 picture of one colour in a 16 x 8 buffer whose margin is
    // opaque grey.
    void SetUp() override {
        imgtest::DevilTest::SetUp();
        ASSERT_TRUE(imgtest::Convert("-size 10x6 xc:'rgb(200,100,50)' -type TrueColor '" + F("pic.png") + "'"));
        float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
        memcpy(c.clearColor, grey, sizeof grey);
        ASSERT_TRUE(c.CreateFromPict(F("pic.png").c_str()));
        ASSERT_EQ(std::make_pair(c.pixmap.bufWidth, c.pixmap.bufHeight), std::make_pair(16, 8));
    }
    // A mask file of the given size and ImageMagick drawing.
    std::string Mask(const std::string& name, const std::string& size, const std::string& draw, const char* prefix = "") {
        EXPECT_TRUE(imgtest::Convert("-size " + size + " " + draw + " -type TrueColor '" + prefix + F(name) + "'"));
        return F(name);
    }
    // The alpha the mask left: a[y][x] over the picture, margin untouched.
    void ExpectAlpha(int (*a)(int x, int y)) {
        for (int y = 0; y < 6; y++)
            for (int x = 0; x < 10; x++) EXPECT_EQ(Px(c, x, y), Rgba(200, 100, 50, a(x, y))) << x << "," << y;
        EXPECT_EQ(std::make_pair(Px(c, 10, 0), Px(c, 0, 6)), std::make_pair(Rgba(127, 127, 127, 255), Rgba(127, 127, 127, 255)));
    }
    FXCanvas c;
};

TEST_F(CanvasMask, BlueBecomesAlphaAndColoursStay) {
    // Blue grows with x (0, 20, 40, ...); red and green must not matter.
    std::string draw = "xc:black";
    for (int x = 0; x < 10; x++)
        draw += " -fill 'rgb(" + std::to_string(250 - x) + ",9," + std::to_string(20 * x) + ")' -draw 'line " +
                std::to_string(x) + ",0 " + std::to_string(x) + ",5'";
    c.opaque = false;
    ASSERT_TRUE(c.LoadMask(Mask("mask.png", "10x6", draw).c_str()));
    EXPECT_TRUE(c.opaque);  // set by every mask load, whatever the mask holds
    ExpectAlpha([](int x, int) { return 20 * x; });
}

TEST_F(CanvasMask, SmallerMaskLeavesTheRestTransparentAndBottomUpFilesKeepTheirTopRowOnTop) {
    ASSERT_TRUE(c.LoadMask(Mask("small.png", "4x3", "xc:'rgb(0,0,255)'").c_str()));
    ExpectAlpha([](int x, int y) { return x < 4 && y < 3 ? 255 : 0; });
    // A classic BMP stores its rows bottom-up.
    ASSERT_TRUE(c.LoadMask(Mask("m.bmp", "10x6", "xc:black -fill 'rgb(0,0,255)' -draw 'rectangle 0,0 9,1'", "BMP3:").c_str()));
    ExpectAlpha([](int, int y) { return y < 2 ? 255 : 0; });
    // Masks are usually one-channel JPEGs.
    ASSERT_TRUE(imgtest::Convert("-size 10x6 xc:'gray(60%)' -colorspace Gray '" + F("m.jpg") + "'"));
    ASSERT_TRUE(c.LoadMask(F("m.jpg").c_str()));
    EXPECT_NEAR(static_cast<int>(Px(c, 5, 3) >> 24), 153, 2);
}

TEST_F(CanvasMask, LargerMasksMissingPicturesAndBadFilesAreRefused) {
    FXCanvas none;
    EXPECT_FALSE(none.LoadMask(Mask("m.png", "2x2", "xc:white").c_str()));  // no picture to mask
    // Wider, taller, or fitting the buffer but not the used area.
    for (const char* size : {"11x6", "10x7", "16x8"}) EXPECT_FALSE(c.LoadMask(Mask("big.png", size, "xc:black").c_str())) << size;
    for (const std::string& bad : {std::string(), F("missing.png"), Write("junk.jpg", "\xff\xd8\xff\xe0 not really")})
        EXPECT_FALSE(c.LoadMask(bad.c_str())) << bad;
    EXPECT_FALSE(c.LoadMask(nullptr));
    EXPECT_EQ(Px(c, 9, 5), Rgba(200, 100, 50, 255));
}

}  // namespace
