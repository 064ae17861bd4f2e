// Masks: the mask's blue channel becomes the alpha of the picture.
#include <cstring>
#include <string>

#include "imgtest.h"

using imgtest::Px;
using imgtest::Rgba;

namespace {

class CanvasMask : public imgtest::DevilTest {};

TEST_F(CanvasMask, BlueBecomesAlphaInsideTheMaskAndLargerMasksAreRefused) {
    // A 10 x 6 picture of one colour in a 16 x 8 buffer whose margin is opaque grey.
    FXCanvas c, none;
    float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    memcpy(c.clearColor, grey, sizeof grey);
    ASSERT_TRUE(imgtest::Convert("-size 10x6 xc:'rgb(200,100,50)' -type TrueColor '" + F("pic.png") + "'"));
    ASSERT_TRUE(c.CreateFromPict(F("pic.png").c_str()));
    struct Case {
        const char *file, *make;
        int (*alpha)(int x, int y);
    } cases[] = {
        // Blue alone counts; a smaller mask leaves the rest transparent.
        {"small.png", "-size 4x3 xc:'rgb(250,9,255)' -type TrueColor", [](int x, int y) { return x < 4 && y < 3 ? 255 : 0; }},
        // A classic BMP stores its rows bottom-up.
        {"m.bmp", "-size 10x6 xc:black -fill 'rgb(0,0,255)' -draw 'rectangle 0,0 9,1' -type TrueColor BMP3:",
         [](int, int y) { return y < 2 ? 255 : 0; }},
        {"m.jpg", "-size 10x6 xc:'gray(60%)' -colorspace Gray", [](int, int) { return 153; }},  // the usual one-channel JPEG
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.file);
        c.opaque = false;
        ASSERT_TRUE(imgtest::Convert(std::string(k.make) + (k.make[strlen(k.make) - 1] == ':' ? "" : " ") + F(k.file)));
        ASSERT_TRUE(c.LoadMask(F(k.file).c_str()));
        EXPECT_TRUE(c.opaque);  // set by every mask load, whatever the mask holds
        for (int y = 0; y < 6; y++)
            for (int x = 0; x < 10; x++) {
                EXPECT_EQ(Px(c, x, y) & 0xFFFFFFu, Rgba(200, 100, 50, 0)) << x << "," << y;
                EXPECT_NEAR(static_cast<int>(Px(c, x, y) >> 24), k.alpha(x, y), 2) << x << "," << y;
            }
        EXPECT_EQ(std::make_pair(Px(c, 10, 0), Px(c, 0, 6)), std::make_pair(Rgba(127, 127, 127, 255), Rgba(127, 127, 127, 255)));
    }
    // Wider, taller, or fitting the buffer but not the used area; or no picture to mask.
    for (const char* size : {"11x6", "10x7", "16x8"}) {
        ASSERT_TRUE(imgtest::Convert(std::string("-size ") + size + " xc:black " + F("big.png")));
        EXPECT_FALSE(c.LoadMask(F("big.png").c_str())) << size;
    }
    EXPECT_FALSE(none.LoadMask(F("small.png").c_str()));
    EXPECT_FALSE(c.LoadMask(nullptr) || c.LoadMask("") || c.LoadMask(F("missing.png").c_str()));
}

}  // namespace
