// Decoding pictures into canvases through the real DevIL: every picture type
// of the package, files, buffers and package records, buffer sizes and the
// clear colour, the transparency rule, resizing, and damaged data.
#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "imgtest.h"
#include "math/3dmath.h"
#include "package/package.h"

using imgtest::Px;
using imgtest::Rgba;

namespace {

const uint32_t kRed = Rgba(255, 0, 0, 255), kWhite = Rgba(255, 255, 255, 255);

class CanvasLoad : public imgtest::DevilTest {
protected:
    // The quadrant colours at the centres of the quadrants.
    void ExpectQuadrants(FXCanvas& c, int w, int h, int tol, const std::string& what) {
        const uint32_t want[4] = {kRed, Rgba(0, 255, 0, 255), Rgba(0, 0, 255, 255), kWhite};
        for (int q = 0; q < 4; ++q) {
            uint32_t p = Px(c, (1 + 2 * (q % 2)) * w / 4, (1 + 2 * (q / 2)) * h / 4);
            EXPECT_TRUE(imgtest::Near(p, want[q], tol)) << what << " quadrant " << q << " " << std::hex << p;
        }
    }
};

TEST_F(CanvasLoad, EveryPackageTypeDecodesTopRowFirstFromFilesAndBuffers) {
    // ImageMagick writes Targa rows top-first without saying so unless told
    // the orientation; both row orders are written explicitly.
    struct Type {
        const char *ext, *prefix, *extra;
        int type, tol;  // DevIL's type code, as the package records it; JPEG is lossy
    } types[] = {
        {"png", "", "", FX_IL_PNG, 0}, {"jpg", "", "", FX_IL_JPG, 12}, {"bmp", "BMP3:", "", FX_IL_BMP, 0},
        {"tga", "", " -orient TopLeft", FX_IL_TGA, 0}, {"tga", "", " -flip -orient BottomLeft", FX_IL_TGA, 0},
        {"gif", "", "", FX_IL_GIF, 0},
    };
    for (const Type& t : types) {
        SCOPED_TRACE(std::string(t.ext) + t.extra);
        std::string path = F(std::string("quad.") + t.ext);
        ASSERT_TRUE(imgtest::MakeQuadrants(path, 64, 32, t.prefix, t.extra));
        FXCanvas c, m;
        ASSERT_TRUE(c.CreateFromPict(path.c_str()));
        EXPECT_EQ((std::vector<float>{float(c.GetWidth()), float(c.GetHeight()), c.GetWidthF(), c.GetHeightF(),
                                      float(c.pixmap.bufWidth), float(c.pixmap.bufHeight)}),
                  (std::vector<float>{64, 32, 64, 32, 64, 32}));
        EXPECT_TRUE(c.opaque && !c.transparencyPicture);
        ExpectQuadrants(c, 64, 32, t.tol, "file");
        std::string b = fxtest::ReadFile(path);  // the same bytes with the type code the package stores
        ASSERT_TRUE(imgtest::LoadBuf(&m, t.type, b));
        EXPECT_EQ(0, memcmp(m.pixmap.pixels, c.pixmap.pixels, 64 * 32 * 4));
    }
}

TEST_F(CanvasLoad, OddSizesGetPowerOfTwoBuffersWithClearColourMarginAndOneLessThanOpaquePixelCounts) {
    ASSERT_TRUE(imgtest::MakeQuadrants(F("odd.png"), 300, 200));
    ASSERT_TRUE(imgtest::MakeQuadrants(F("small.png"), 260, 130));
    FXCanvas c, one;
    float clear[4] = {0.2f, 0.4f, 0.6f, 0.8f};
    memcpy(c.clearColor, clear, sizeof clear);
    ASSERT_TRUE(c.CreateFromPict(F("odd.png").c_str()));
    EXPECT_EQ(std::make_tuple(c.GetWidth(), c.GetHeight(), c.pixmap.bufWidth, c.pixmap.bufHeight),
              std::make_tuple(300, 200, 512, 256));
    for (auto [x, y] : {std::pair{300, 0}, {511, 199}, {0, 200}, {511, 255}}) EXPECT_EQ(Px(c, x, y), fxColToInt1(clear)) << x << "," << y;
    ExpectQuadrants(c, 300, 200, 0, "odd");
    // Without clearing, the margin keeps what the reused buffer held.
    uint32_t* before = c.pixmap.pixels;
    c.pixmap.Clear(0x12345678);
    c.clearBeforeLoad = false;
    ASSERT_TRUE(c.CreateFromPict(F("small.png").c_str()));
    EXPECT_EQ(std::make_tuple(c.pixmap.pixels, Px(c, 260, 0), Px(c, 0, 130), Px(c, 0, 0)),
              std::make_tuple(before, 0x12345678u, 0x12345678u, kRed));
    // One pixel of alpha 254 is enough to clear the opaque flag; one pixel: a one-pixel buffer.
    for (const char* a : {"0.99608", "1"}) {
        ASSERT_TRUE(imgtest::Convert("-size 4x4 xc:'rgba(10,20,30,1)' '(' -size 1x1 xc:'rgba(10,20,30," + std::string(a) +
                                     ")' ')' -geometry +1+2 -compose Copy -composite -type TrueColorAlpha '" + F("a.png") + "'"));
        ASSERT_TRUE(c.CreateFromPict(F("a.png").c_str()));
        EXPECT_EQ(std::make_tuple(Px(c, 1, 2) >> 24, Px(c, 0, 0), c.opaque), std::make_tuple(a[0] == '1' ? 255u : 254u, Rgba(10, 20, 30, 255), a[0] == '1'));
    }
    ASSERT_TRUE(imgtest::Convert("-size 1x1 xc:'rgb(1,2,3)' -type TrueColor '" + F("one.png") + "'"));
    ASSERT_TRUE(one.CreateFromPict(F("one.png").c_str()));
    EXPECT_EQ(std::make_pair(one.pixmap.capacity, Px(one, 0, 0)), std::make_pair(1, Rgba(1, 2, 3, 255)));
}

TEST_F(CanvasLoad, TranInTheNameMakesRedTheAlphaOverWhite) {
    // Red runs 0, 85, 170, 255 across; green and blue are noise.
    std::string src = F("grad.png");
    ASSERT_TRUE(imgtest::Convert("-size 4x1 xc:black -fill 'rgb(0,7,9)' -draw 'point 0,0' "
                                 "-fill 'rgb(85,1,200)' -draw 'point 1,0' -fill 'rgb(170,99,3)' -draw 'point 2,0' "
                                 "-fill 'rgb(255,40,40)' -draw 'point 3,0' -type TrueColor '" + src + "'"));
    std::string bytes = fxtest::ReadFile(src), tran = Write("BubbleTRANSP.png", bytes);
    const uint32_t alpha = 0x55FFFFFFu, plain = Rgba(85, 1, 200, 255);
    FXCanvas c;
    // Under a plain name, or with detection off: an ordinary picture.
    for (auto [path, detect, want] : {std::tuple{tran, true, alpha}, {src, true, plain}, {tran, false, plain}}) {
        c.detectTransparency = detect;
        ASSERT_TRUE(c.CreateFromPict(path.c_str()));
        EXPECT_EQ(std::make_tuple(c.transparencyPicture, c.opaque, Px(c, 1, 0), Px(c, 3, 0) >> 24),
                  std::make_tuple(want == alpha, want != alpha, want, 255u)) << path << detect;
    }
    c.transparencyPicture = true;  // buffer loaders keep the flag as the owner set it
    ASSERT_TRUE(imgtest::LoadBuf(&c, FX_IL_PNG, bytes));
    EXPECT_EQ(std::make_tuple(c.transparencyPicture, Px(c, 0, 0), Px(c, 2, 0)), std::make_tuple(true, 0x00FFFFFFu, 0xAAFFFFFFu));
}

TEST_F(CanvasLoad, ResizeScalesWhileLoadingAndRefusesAbsurdScales) {
    std::string path = F("big.jpg");
    ASSERT_TRUE(imgtest::MakeQuadrants(path, 128, 64));
    FXCanvas c;
    // 128 x 0.3 = 38.4 is truncated toward zero.
    for (auto [sx, sy, w, h] : {std::tuple{0.5f, 0.25f, 64, 16}, {0.3f, 1.0f, 38, 64}, {2.0f, 2.0f, 256, 128}}) {
        ASSERT_TRUE(c.CreateFromPictResize(path.c_str(), sx, sy));
        EXPECT_EQ(std::make_pair(c.GetWidth(), c.GetHeight()), std::make_pair(w, h));
        ExpectQuadrants(c, w, h, 16, "resized");
    }
    // Of a 40 x 20 picture: to nothing, or to 40 x 10000, which the scaler refuses.
    ASSERT_TRUE(imgtest::MakeQuadrants(path = F("small.png"), 40, 20));
    for (float s : {0.0f, 0.01f, -1.0f, NAN, INFINITY, 1e6f, 500.0f})
        EXPECT_FALSE(c.CreateFromPictResize(path.c_str(), s, 1.0f) || c.CreateFromPictResize(path.c_str(), 1.0f, s)) << s;
    EXPECT_EQ(std::make_pair(c.GetWidth(), c.GetHeight()), std::make_pair(256, 128));  // the picture stays
}

TEST_F(CanvasLoad, PackageRecordsByNumberAndByKey) {
    std::string jpg = F("pic.jpg"), mask = F("mask.png");
    ASSERT_TRUE(imgtest::MakeQuadrants(jpg, 32, 16));
    ASSERT_TRUE(imgtest::Convert("-size 32x16 xc:'rgb(0,0,77)' -type TrueColor '" + mask + "'"));
    FXPackage build, pck;
    build.AddDataFile(3, jpg.c_str());
    build.AddDataFile(4, mask.c_str());
    build.AddDataFile(5, Write("notes.txt", "not a picture").c_str());
    ASSERT_TRUE(build.Save(F("content.dat").c_str(), 1) && pck.Load(F("content.dat").c_str()));
    ASSERT_EQ(pck.GetDataType(3), FX_PCK_TYPE_JPG);
    FXCanvas c, k, bad;
    ASSERT_TRUE(c.CreateFromPictCN(&pck, 3));
    ExpectQuadrants(c, 32, 16, 12, "record");
    ASSERT_TRUE(c.LoadMaskCN(&pck, 4));
    EXPECT_EQ(Px(c, 5, 5) >> 24, 77u);
    EXPECT_TRUE(k.CreateFromPictC(&pck, " 3") && k.LoadMaskC(&pck, "4"));  // the key read as "%d" reads it
    EXPECT_EQ(Px(k, 31, 15) >> 24, 77u);
    for (const char* key : {"x3", "", static_cast<const char*>(nullptr), "99999999999999", "5", "99"})
        EXPECT_FALSE(bad.CreateFromPictC(&pck, key)) << (key ? key : "null");  // 5: not a picture record; 99: none
    EXPECT_FALSE(bad.CreateFromPictCN(nullptr, 3) || bad.LoadMaskCN(&pck, 4));  // no picture to mask
    EXPECT_FALSE(k.LoadMaskC(&pck, "four") || k.LoadMaskCN(&pck, 5));
    EXPECT_EQ(bad.pixmap.pixels, nullptr);
}

TEST_F(CanvasLoad, MissingCorruptAndTruncatedDataGiveFalseAndKeepThePicture) {
    FXCanvas e, c;
    unsigned char one = 0xFF;
    EXPECT_FALSE(e.CreateFromPict(F("none.png").c_str()) || e.CreateFromPict("") || e.CreateFromPict(nullptr) ||
                 e.CreateFromPictResize("", 1, 1) || e.CreateFromBufJpg(nullptr, 10) || e.CreateFromBufJpg(&one, 0));
    EXPECT_EQ(e.pixmap.pixels, nullptr);

    std::string jpg = F("photo.jpg"), png = F("photo.png");
    ASSERT_TRUE(imgtest::Convert("-seed 7 -size 96x64 plasma:fractal -quality 90 '" + jpg + "'"));
    ASSERT_TRUE(imgtest::Convert("-size 96x64 gradient:red-blue -type TrueColor -depth 8 '" + png + "'"));
    std::string j = fxtest::ReadFile(jpg), p = fxtest::ReadFile(png), pc = p, ph = p;
    for (size_t i = p.size() / 2; i < p.size() / 2 + 40 && i < pc.size(); i++) pc[i] ^= 0x5a;
    ph[20] ^= 0x01;  // IHDR changed: its checksum no longer fits
    struct Bad {
        const char* what;
        int type;
        std::string data;
        bool asFile;  // a file whose only fault is its extension is still a good picture
    } bad[] = {
        {"jpeg half", FX_IL_JPG, j.substr(0, j.size() / 2), true},
        {"png half", FX_IL_PNG, p.substr(0, p.size() / 2), true},  // the probe reads the last bytes of the file
        {"jpeg two bytes", FX_IL_JPG, j.substr(0, 2), true},
        {"png signature only", FX_IL_PNG, p.substr(0, 8), true},
        {"png corrupt data", FX_IL_PNG, pc, true},
        {"png corrupt header", FX_IL_PNG, ph, true},
        {"png as jpeg", FX_IL_JPG, p, false},
        {"jpeg as png", FX_IL_PNG, j, false},
        {"noise", FX_IL_JPG, std::string(1000, '\x5c'), true},
    };
    ASSERT_TRUE(c.CreateFromPict(png.c_str()));
    std::vector<uint32_t> before(c.pixmap.pixels, c.pixmap.pixels + c.pixmap.capacity);
    for (Bad& b : bad) {
        SCOPED_TRACE(b.what);
        EXPECT_FALSE(imgtest::LoadBuf(&c, b.type, b.data));
        EXPECT_FALSE(b.asFile && c.CreateFromPict(Write(b.type == FX_IL_JPG ? "bad.jpg" : "bad.png", b.data).c_str()));
        EXPECT_EQ(std::make_pair(c.GetWidth(), c.GetHeight()), std::make_pair(96, 64));
        EXPECT_TRUE(std::vector<uint32_t>(c.pixmap.pixels, c.pixmap.pixels + c.pixmap.capacity) == before);
    }
}

}  // namespace
