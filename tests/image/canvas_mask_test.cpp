// Masks: the mask's blue channel becomes the alpha of the picture.
#include <cstring>
#include <string>

#include "imgtest.h"
#include "image/canvas.h"

using imgtest::Px;
using imgtest::Rgba;

namespace {

class CanvasMask : public imgtest::DevilTest {
protected:
    // A 10 x 6 picture of one colour in a 16 x 8 buffer whose margin is
    // opaque grey.
    void MakePicture(FXCanvas* c) {
        ASSERT_TRUE(imgtest::Convert("-size 10x6 xc:'rgb(200,100,50)' -type TrueColor '" + F("pic.png") + "'"));
        float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
        memcpy(c->clearColor, grey, sizeof grey);
        ASSERT_TRUE(c->CreateFromPict(F("pic.png").c_str()));
        ASSERT_EQ(c->pixmap.bufWidth, 16);
        ASSERT_EQ(c->pixmap.bufHeight, 8);
    }
};

TEST_F(CanvasMask, BlueBecomesAlphaAndColoursStay) {
    FXCanvas c;
    MakePicture(&c);
    // Blue grows with x (0, 20, 40, ...); red and green must not matter.
    std::string draw;
    for (int x = 0; x < 10; x++)
        draw += " -fill 'rgb(" + std::to_string(250 - x) + ",9," + std::to_string(20 * x) + ")' -draw 'line " +
                std::to_string(x) + ",0 " + std::to_string(x) + ",5'";
    ASSERT_TRUE(imgtest::Convert("-size 10x6 xc:black" + draw + " -type TrueColor '" + F("mask.png") + "'"));
    c.opaque = false;
    ASSERT_TRUE(c.LoadMask(F("mask.png").c_str()));
    EXPECT_TRUE(c.opaque);  // set by every mask load, whatever the mask holds
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 10; x++) EXPECT_EQ(Px(c, x, y), Rgba(200, 100, 50, 20 * x)) << x << "," << y;
    EXPECT_EQ(Px(c, 10, 0), Rgba(127, 127, 127, 255));  // the margin is not touched
    EXPECT_EQ(Px(c, 0, 6), Rgba(127, 127, 127, 255));
}

TEST_F(CanvasMask, SmallerMaskLeavesTheRestTransparent) {
    FXCanvas c;
    MakePicture(&c);
    ASSERT_TRUE(imgtest::Convert("-size 4x3 xc:'rgb(0,0,255)' -type TrueColor '" + F("small.png") + "'"));
    ASSERT_TRUE(c.LoadMask(F("small.png").c_str()));
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 10; x++) {
            uint32_t a = (x < 4 && y < 3) ? 255 : 0;
            EXPECT_EQ(Px(c, x, y), Rgba(200, 100, 50, a)) << x << "," << y;
        }
    EXPECT_EQ(Px(c, 12, 2), Rgba(127, 127, 127, 255));
}

TEST_F(CanvasMask, LargerMasksMissingPicturesAndBadFilesAreRefused) {
    ASSERT_TRUE(imgtest::Convert("-size 2x2 xc:white -type TrueColor '" + F("m.png") + "'"));
    FXCanvas c;
    EXPECT_FALSE(c.LoadMask(F("m.png").c_str()));  // no picture to mask
    MakePicture(&c);
    // Wider, taller, or fitting the buffer but not the used area.
    for (const char* size : {"11x6", "10x7", "16x8"}) {
        ASSERT_TRUE(imgtest::Convert(std::string("-size ") + size + " xc:black -type TrueColor '" + F("big.png") + "'"));
        EXPECT_FALSE(c.LoadMask(F("big.png").c_str())) << size;
    }
    fxtest::WriteFile(F("junk.jpg"), "\xff\xd8\xff\xe0 not really");
    for (const std::string& bad : {std::string(), F("missing.png"), F("junk.jpg")}) EXPECT_FALSE(c.LoadMask(bad.c_str())) << bad;
    EXPECT_FALSE(c.LoadMask(nullptr));
    EXPECT_EQ(Px(c, 9, 5), Rgba(200, 100, 50, 255));
}

TEST_F(CanvasMask, BottomUpMaskFileKeepsItsTopRowOnTop) {
    // A classic BMP stores its rows bottom-up.
    FXCanvas c;
    MakePicture(&c);
    ASSERT_TRUE(imgtest::Convert("-size 10x6 xc:black -fill 'rgb(0,0,255)' -draw 'rectangle 0,0 9,1' -type TrueColor "
                                 "'BMP3:" + F("m.bmp") + "'"));
    ASSERT_TRUE(c.LoadMask(F("m.bmp").c_str()));
    EXPECT_EQ(Px(c, 3, 0) >> 24, 255u);
    EXPECT_EQ(Px(c, 3, 1) >> 24, 255u);
    EXPECT_EQ(Px(c, 3, 2) >> 24, 0u);
    EXPECT_EQ(Px(c, 3, 5) >> 24, 0u);
}

TEST_F(CanvasMask, GreyJpegMask) {
    // Masks are usually one-channel JPEGs.
    FXCanvas c;
    MakePicture(&c);
    ASSERT_TRUE(imgtest::Convert("-size 10x6 xc:'gray(60%)' -colorspace Gray '" + F("m.jpg") + "'"));
    ASSERT_TRUE(c.LoadMask(F("m.jpg").c_str()));
    int a = static_cast<int>(Px(c, 5, 3) >> 24);
    EXPECT_NEAR(a, 153, 2);
}

}  // namespace
