// Saving canvases through DevIL, checked by reading the files back with
// ImageMagick: picture, region, RGBA and mask forms, the row order, the
// black of transparent pixels, region rules and the JPEG quality.
#include <cstring>
#include <string>
#include <vector>

#include "imgtest.h"
#include "image/canvas.h"

using imgtest::Px;
using imgtest::Rgba;

namespace {

class CanvasSave : public imgtest::DevilTest {
protected:
    void TearDown() override { FXCanvas::SetJpegQuality(99); }  // DevIL's own default
    // A 6 x 4 picture in an 8 x 4 buffer: pixel (x, y) = (40x, 60y, 7, alpha),
    // alpha 0 at (1, 0), 128 at (2, 3), else 255.
    void Fill(FXCanvas* c) {
        ASSERT_TRUE(c->pixmap.Realloc(6, 4));
        c->pixmap.Clear(static_cast<int>(Rgba(1, 2, 3, 4)));
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 6; x++) c->pixmap.Row(y)[x] = Rgba(40 * x, 60 * y, 7, A(x, y));
    }
    static int A(int x, int y) { return x == 1 && y == 0 ? 0 : x == 2 && y == 3 ? 128 : 255; }
    static uint32_t At(const std::vector<uint8_t>& px, int w, int x, int y) {
        const uint8_t* p = &px[(static_cast<size_t>(y) * w + x) * 4];
        return Rgba(p[0], p[1], p[2], p[3]);
    }
    // The file's pixels as ImageMagick reads them; it must be w x h.
    static std::vector<uint8_t> ReadBack(const std::string& path, int w, int h) {
        int rw = 0, rh = 0;
        std::vector<uint8_t> px;
        EXPECT_TRUE(imgtest::ReadRgba(path, &rw, &rh, &px)) << path;
        EXPECT_EQ(rw, w) << path;
        EXPECT_EQ(rh, h) << path;
        px.resize(static_cast<size_t>(w) * h * 4);  // a wrong size has failed already
        return px;
    }
};

TEST_F(CanvasSave, PictureInEveryWritableTypeIsUpright) {
    FXCanvas c;
    Fill(&c);
    for (const char* ext : {"png", "bmp", "tga", "jpg"}) {
        std::string path = F(std::string("out.") + ext);
        ASSERT_TRUE(c.SaveToPict(path.c_str())) << ext;
        std::vector<uint8_t> px = ReadBack(path, 6, 4);
        int tol = std::string(ext) == "jpg" ? 40 : 0;
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 6; x++) {
                // Three channels; a fully transparent pixel is written black.
                uint32_t want = A(x, y) == 0 ? Rgba(0, 0, 0, 255) : Rgba(40 * x, 60 * y, 7, 255);
                EXPECT_TRUE(imgtest::Near(At(px, 6, x, y), want, tol))
                    << ext << " " << x << "," << y << " " << imgtest::Hex(At(px, 6, x, y));
            }
    }
}

TEST_F(CanvasSave, RoundTripThroughTheCanvas) {
    FXCanvas c;
    Fill(&c);
    for (const char* ext : {"png", "bmp", "tga"}) {
        std::string path = F(std::string("rt.") + ext);
        ASSERT_TRUE(c.SaveToPict2(path.c_str(), 0, 0, 6, 4)) << ext;
        FXCanvas back;
        ASSERT_TRUE(back.CreateFromPict(path.c_str())) << ext;
        ASSERT_EQ(back.GetWidth(), 6);
        ASSERT_EQ(back.GetHeight(), 4);
        bool alpha = std::string(ext) != "bmp";  // DevIL writes BMP without alpha
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 6; x++)
                EXPECT_EQ(Px(back, x, y), Rgba(40 * x, 60 * y, 7, alpha ? A(x, y) : 255)) << ext << x << "," << y;
    }
}

TEST_F(CanvasSave, RegionsKeepAlphaOrMayReachIntoTheMargin) {
    FXCanvas c;
    Fill(&c);
    // With alpha, inside the picture.
    ASSERT_TRUE(c.SaveToPict2(F("region.png").c_str(), 1, 0, 4, 4));
    std::vector<uint8_t> px = ReadBack(F("region.png"), 3, 4);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 3; x++) EXPECT_EQ(At(px, 3, x, y), Rgba(40 * (x + 1), 60 * y, 7, A(x + 1, y)));
    // Without alpha, into the buffer's margin.
    ASSERT_TRUE(c.SaveToPict1(F("margin.png").c_str(), 4, 1, 8, 3));
    px = ReadBack(F("margin.png"), 4, 2);
    EXPECT_EQ(At(px, 4, 0, 0), Rgba(160, 60, 7, 255));
    EXPECT_EQ(At(px, 4, 1, 1), Rgba(200, 120, 7, 255));
    EXPECT_EQ(At(px, 4, 2, 0), Rgba(1, 2, 3, 255));  // margin pixel, alpha 4
}

TEST_F(CanvasSave, MaskIsTheAlphaAsGrey) {
    FXCanvas c;
    Fill(&c);
    std::string path = F("mask.png");
    ASSERT_TRUE(c.SaveToMask(path.c_str()));
    std::vector<uint8_t> px = ReadBack(path, 6, 4);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 6; x++) EXPECT_EQ(At(px, 6, x, y), Rgba(A(x, y), A(x, y), A(x, y), 255)) << x << "," << y;
    ASSERT_TRUE(c.SaveToMask1(F("mask1.png").c_str(), 1, 0, 3, 1));
    px = ReadBack(F("mask1.png"), 2, 1);
    EXPECT_EQ(At(px, 2, 0, 0), Rgba(0, 0, 0, 255));
    EXPECT_EQ(At(px, 2, 1, 0), Rgba(255, 255, 255, 255));

    // A saved mask loads back as the same alpha.
    FXCanvas d;
    Fill(&d);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 6; x++) d.pixmap.Row(y)[x] |= 0xFF000000u;
    ASSERT_TRUE(d.LoadMask(path.c_str()));
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 6; x++) EXPECT_EQ(Px(d, x, y), Rgba(40 * x, 60 * y, 7, A(x, y)));
}

TEST_F(CanvasSave, EmptyOrOutsideRegionsGiveFalseAndWriteNothing) {
    FXCanvas c;
    std::string path = F("none.png");
    EXPECT_FALSE(c.SaveToPict(path.c_str()));  // nothing loaded
    EXPECT_FALSE(c.SaveToMask(path.c_str()));
    Fill(&c);
    EXPECT_FALSE(c.SaveToPict1(path.c_str(), 3, 0, 3, 4));
    EXPECT_FALSE(c.SaveToPict1(path.c_str(), 4, 0, 2, 4));
    EXPECT_FALSE(c.SaveToPict2(path.c_str(), 0, 2, 4, 2));
    EXPECT_FALSE(c.SaveToMask1(path.c_str(), 0, 0, 0, 0));
    EXPECT_FALSE(c.SaveToPict1(path.c_str(), -1, 0, 2, 2));
    EXPECT_FALSE(c.SaveToPict1(path.c_str(), 0, 0, 9, 2));
    EXPECT_FALSE(c.SaveToPict2(path.c_str(), 0, 0, 2, 5));
    EXPECT_FALSE(c.SaveToMask1(path.c_str(), INT32_MIN, 0, INT32_MAX, 1));
    EXPECT_FALSE(c.SaveToPict(""));
    EXPECT_EQ(fxtest::ReadFile(path), "");
}

TEST_F(CanvasSave, AFileThatCannotBeWrittenIsAFailedSaveAndOldFilesAreOverwritten) {
    FXCanvas c;
    Fill(&c);
    std::string path = F("out.unknownext");
    imgtest::TraceCapture cap(dir_);
    EXPECT_FALSE(c.SaveToPict(path.c_str()));
    EXPECT_FALSE(c.SaveToPict(F("no/such/folder/x.png").c_str()));
    std::string log = cap.Stop();
    EXPECT_EQ(fxtest::ReadFile(path), "");
    EXPECT_NE(log.find("save of " + path + " failed"), std::string::npos) << log;
    // A file that is there already is overwritten.
    fxtest::WriteFile(F("again.png"), "old");
    ASSERT_TRUE(c.SaveToPict(F("again.png").c_str()));
    ReadBack(F("again.png"), 6, 4);
}

TEST_F(CanvasSave, JpegQualityChangesTheFile) {
    FXCanvas c;
    ASSERT_TRUE(imgtest::Convert("-seed 5 -size 128x128 plasma:fractal '" + F("src.png") + "'"));
    ASSERT_TRUE(c.CreateFromPict(F("src.png").c_str()));
    FXCanvas::SetJpegQuality(10);
    ASSERT_TRUE(c.SaveToPict(F("q10.jpg").c_str()));
    FXCanvas::SetJpegQuality(95);
    ASSERT_TRUE(c.SaveToPict(F("q95.jpg").c_str()));
    size_t low = fxtest::ReadFile(F("q10.jpg")).size(), high = fxtest::ReadFile(F("q95.jpg")).size();
    ASSERT_GT(low, 0u);
    EXPECT_LT(low * 2, high);
    // What ImageMagick estimates from the quantisation tables.
    FILE* p = popen(("convert '" + F("q10.jpg") + "' -format '%Q' info:").c_str(), "r");
    ASSERT_NE(p, nullptr);
    int q = 0;
    EXPECT_EQ(fscanf(p, "%d", &q), 1);
    pclose(p);
    EXPECT_EQ(q, 10);
}

}  // namespace
