// Saving canvases through DevIL, checked by reading the files back with
// ImageMagick: picture, region, RGBA and mask forms, the row order, the
// black of transparent pixels, region rules and the JPEG quality.
#include <string>
#include <tuple>
#include <vector>

#include "imgtest.h"

using imgtest::Px;
using imgtest::ReadBack;
using imgtest::Rgba;

namespace {

class CanvasSave : public imgtest::DevilTest {
protected:
    void SetUp() override {
        imgtest::DevilTest::SetUp();
        // A 6 x 4 picture in an 8 x 4 buffer, margin (1, 2, 3, 4).
        ASSERT_TRUE(c_.pixmap.Realloc(6, 4));
        c_.pixmap.Clear(static_cast<int>(Rgba(1, 2, 3, 4)));
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 6; x++) c_.pixmap.Row(y)[x] = Want(x, y, true);
    }
    void TearDown() override { FXCanvas::SetJpegQuality(99); }  // DevIL's own default
    // Pixel (x, y) = (40x, 60y, 7, alpha): alpha 0 at (1, 0), 128 at (2, 3),
    // else 255; opaque when alpha is not kept.
    static int A(int x, int y) { return x == 1 && y == 0 ? 0 : x == 2 && y == 3 ? 128 : 255; }
    static uint32_t Want(int x, int y, bool alpha) { return Rgba(40 * x, 60 * y, 7, alpha ? A(x, y) : 255); }
    FXCanvas c_;
};

TEST_F(CanvasSave, PictureInEveryWritableTypeIsUprightAndRoundTrips) {
    for (const char* ext : {"png", "bmp", "tga", "jpg"}) {
        SCOPED_TRACE(ext);
        std::string path = F(std::string("out.") + ext), e = ext;
        ASSERT_TRUE(c_.SaveToPict(path.c_str()));
        std::vector<uint32_t> px = ReadBack(path, 6, 4);
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 6; x++) {
                // Three channels; a fully transparent pixel is written black.
                uint32_t want = A(x, y) == 0 ? Rgba(0, 0, 0, 255) : Want(x, y, false), got = px[y * 6 + x];
                EXPECT_TRUE(imgtest::Near(got, want, e == "jpg" ? 40 : 0)) << x << "," << y << " " << std::hex << got;
            }
        if (e == "jpg") continue;
        // The region form keeps alpha, except in BMP, which DevIL writes without.
        ASSERT_TRUE(c_.SaveToPict2(path.c_str(), 0, 0, 6, 4));
        FXCanvas back;
        ASSERT_TRUE(back.CreateFromPict(path.c_str()));
        ASSERT_EQ(std::make_pair(back.GetWidth(), back.GetHeight()), std::make_pair(6, 4));
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 6; x++) EXPECT_EQ(Px(back, x, y), Want(x, y, e != "bmp")) << x << "," << y;
    }
    ASSERT_TRUE(c_.SaveToPict1(F("margin.png").c_str(), 4, 1, 8, 3));  // without alpha, reaching into the margin
    std::vector<uint32_t> px = ReadBack(F("margin.png"), 4, 2);
    EXPECT_EQ(std::make_tuple(px[0], px[5], px[2]), std::make_tuple(Want(4, 1, false), Want(5, 2, false), Rgba(1, 2, 3, 255)));
}

TEST_F(CanvasSave, MaskIsTheAlphaAsGreyAndLoadsBackAsTheSameAlpha) {
    FXCanvas m, none;  // the picture without its alpha, to put masks on
    m.Copy(&c_);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 6; x++) m.pixmap.Row(y)[x] |= 0xFF000000u;
    for (const char* ext : {"png", "bmp"}) {  // a BMP stores its rows bottom-up
        SCOPED_TRACE(ext);
        std::string path = F(std::string("mask.") + ext);
        ASSERT_TRUE(c_.SaveToMask(path.c_str()));
        std::vector<uint32_t> px = ReadBack(path, 6, 4);
        ASSERT_TRUE(m.LoadMask(path.c_str()));  // the mask's blue becomes the alpha
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 6; x++) {
                EXPECT_EQ(px[y * 6 + x], Rgba(A(x, y), A(x, y), A(x, y), 255)) << x << "," << y;
                EXPECT_EQ(Px(m, x, y), Want(x, y, true)) << x << "," << y;
            }
    }
    // A smaller mask leaves the rest transparent.
    ASSERT_TRUE(c_.SaveToMask1(F("mask1.png").c_str(), 1, 0, 3, 1));
    EXPECT_EQ(ReadBack(F("mask1.png"), 2, 1), (std::vector<uint32_t>{Rgba(0, 0, 0, 255), Rgba(255, 255, 255, 255)}));
    ASSERT_TRUE(m.LoadMask(F("mask1.png").c_str()));
    EXPECT_EQ(std::make_tuple(Px(m, 0, 0), Px(m, 1, 0), Px(m, 5, 3) >> 24), std::make_tuple(Want(0, 0, false) & 0xFFFFFF, Want(1, 0, false), 0u));
    // Wider, or fitting the buffer but not the used area; no picture; no file.
    for (const char* size : {"7x4", "8x4", "6x5"}) {
        ASSERT_TRUE(imgtest::Convert(std::string("-size ") + size + " xc:blue '" + F("big.png") + "'"));
        EXPECT_FALSE(m.LoadMask(F("big.png").c_str())) << size;
    }
    EXPECT_FALSE(none.LoadMask(F("mask1.png").c_str()) || m.LoadMask(nullptr) || m.LoadMask(F("missing.png").c_str()));
}

TEST_F(CanvasSave, EmptyOutsideOrUnwritableGiveFalseAndWriteNothing) {
    FXCanvas none;
    std::string path = F("none.png"), odd = F("out.unknownext");
    EXPECT_FALSE(none.SaveToPict(path.c_str()) || none.SaveToMask(path.c_str()));  // nothing loaded
    EXPECT_FALSE(c_.SaveToPict1(path.c_str(), 3, 0, 3, 4) || c_.SaveToPict1(path.c_str(), 4, 0, 2, 4) ||
                 c_.SaveToPict2(path.c_str(), 0, 2, 4, 2) || c_.SaveToMask1(path.c_str(), 0, 0, 0, 0) ||
                 c_.SaveToPict1(path.c_str(), -1, 0, 2, 2) || c_.SaveToPict1(path.c_str(), 0, 0, 9, 2) ||
                 c_.SaveToPict2(path.c_str(), 0, 0, 2, 5) || c_.SaveToMask1(path.c_str(), INT32_MIN, 0, INT32_MAX, 1) ||
                 c_.SaveToPict(""));
    EXPECT_EQ(fxtest::ReadFile(path), "");
    imgtest::TraceCapture cap(dir_);
    EXPECT_FALSE(c_.SaveToPict(odd.c_str()));
    EXPECT_FALSE(c_.SaveToPict(F("no/such/folder/x.png").c_str()));
    EXPECT_TRUE(fxtest::Has(cap.Stop(), "save of " + odd + " failed"));
    EXPECT_EQ(fxtest::ReadFile(odd), "");
    ASSERT_TRUE(c_.SaveToPict(Write("again.png", "old").c_str()));  // a file that is there is overwritten
    ReadBack(F("again.png"), 6, 4);
}

TEST_F(CanvasSave, JpegQualityChangesTheFile) {
    ASSERT_TRUE(imgtest::Convert("-seed 5 -size 128x128 plasma:fractal '" + F("src.png") + "'"));
    ASSERT_TRUE(c_.CreateFromPict(F("src.png").c_str()));
    FXCanvas::SetJpegQuality(10);
    ASSERT_TRUE(c_.SaveToPict(F("q10.jpg").c_str()));
    EXPECT_EQ(imgtest::Info(F("q10.jpg"), "%Q"), "10");  // ImageMagick's estimate
}

}  // namespace
