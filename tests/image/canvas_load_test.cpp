// Decoding pictures into canvases through the real DevIL: every picture type
// of the package, files, buffers and package records, buffer sizes and the
// clear colour, the transparency rule, resizing, and damaged data.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "imgtest.h"
#include "image/canvas.h"
#include "package/package.h"
#include "math/3dmath.h"

using imgtest::Hex;
using imgtest::Near;
using imgtest::Px;
using imgtest::Rgba;

namespace {

const uint32_t kRed = Rgba(255, 0, 0, 255), kGreen = Rgba(0, 255, 0, 255), kBlue = Rgba(0, 0, 255, 255),
               kWhite = Rgba(255, 255, 255, 255);

struct TypeCase {
    const char* ext;
    const char* prefix;  // ImageMagick output format
    const char* extra;   // more ImageMagick options
    int type;            // DevIL's type code, as the package records it
    int tol;             // JPEG is lossy
};

// ImageMagick writes Targa rows top-first without saying so unless told the
// orientation; both row orders are written explicitly.
const TypeCase kTypes[] = {
    {"png", "", "", FX_IL_PNG, 0},
    {"jpg", "", "", FX_IL_JPG, 12},
    {"bmp", "BMP3:", "", FX_IL_BMP, 0},
    {"tga", "", " -orient TopLeft", FX_IL_TGA, 0},
    {"tga", "", " -flip -orient BottomLeft", FX_IL_TGA, 0},
    {"gif", "", "", FX_IL_GIF, 0},
};

class CanvasLoad : public imgtest::DevilTest {
protected:
    // The quadrant colours at the centres of the quadrants.
    void ExpectQuadrants(FXCanvas& c, int w, int h, int tol, const std::string& what) {
        EXPECT_TRUE(Near(Px(c, w / 4, h / 4), kRed, tol)) << what << " " << Hex(Px(c, w / 4, h / 4));
        EXPECT_TRUE(Near(Px(c, 3 * w / 4, h / 4), kGreen, tol)) << what << " " << Hex(Px(c, 3 * w / 4, h / 4));
        EXPECT_TRUE(Near(Px(c, w / 4, 3 * h / 4), kBlue, tol)) << what << " " << Hex(Px(c, w / 4, 3 * h / 4));
        EXPECT_TRUE(Near(Px(c, 3 * w / 4, 3 * h / 4), kWhite, tol)) << what;
    }
};

TEST_F(CanvasLoad, EveryPackageTypeDecodesTopRowFirst) {
    for (const TypeCase& t : kTypes) {
        std::string path = F(std::string("quad.") + t.ext);
        ASSERT_TRUE(imgtest::MakeQuadrants(path, 64, 32, t.prefix, t.extra)) << t.ext;
        FXCanvas c;
        ASSERT_TRUE(c.CreateFromPict(path.c_str())) << t.ext;
        EXPECT_EQ((std::vector<float>{float(c.GetWidth()), float(c.GetHeight()), c.GetWidthF(), c.GetHeightF(),
                                      float(c.pixmap.bufWidth), float(c.pixmap.bufHeight)}),
                  (std::vector<float>{64, 32, 64, 32, 64, 32}));
        EXPECT_TRUE(c.opaque && !c.transparencyPicture) << t.ext;
        ExpectQuadrants(c, 64, 32, t.tol, t.ext);

        // The same bytes from memory with the type code the package stores.
        std::string b = fxtest::ReadFile(path);
        FXCanvas m;
        ASSERT_TRUE(imgtest::LoadBuf(&m, t.type, b)) << t.ext;
        ExpectQuadrants(m, 64, 32, t.tol, std::string("buffer ") + t.ext);
        EXPECT_EQ(0, memcmp(m.pixmap.pixels, c.pixmap.pixels, 64 * 32 * 4)) << t.ext;
    }
}

TEST_F(CanvasLoad, BottomUpAndTopDownFilesGiveTheSamePicture) {
    // Targa stores either row order and says which in its header.
    auto tga = [](bool topDown) {
        std::string s;
        const uint8_t head[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, uint8_t(topDown ? 0x20 : 0)};
        s.assign(reinterpret_cast<const char*>(head), 18);
        // top row: red, green; bottom row: blue, white (stored B, G, R)
        std::string top = std::string("\x00\x00\xff\x00\xff\x00", 6), bottom = std::string("\xff\x00\x00\xff\xff\xff", 6);
        s += topDown ? top + bottom : bottom + top;
        return s;
    };
    fxtest::WriteFile(F("td.tga"), tga(true));
    fxtest::WriteFile(F("bu.tga"), tga(false));
    for (const char* name : {"td.tga", "bu.tga"}) {
        FXCanvas c;
        ASSERT_TRUE(c.CreateFromPict(F(name).c_str())) << name;
        EXPECT_EQ(Px(c, 0, 0), kRed) << name;
        EXPECT_EQ(Px(c, 1, 0), kGreen) << name;
        EXPECT_EQ(Px(c, 0, 1), kBlue) << name;
        EXPECT_EQ(Px(c, 1, 1), kWhite) << name;
    }
}

TEST_F(CanvasLoad, OddSizesGetPowerOfTwoBuffersWithClearColourMargin) {
    std::string path = F("odd.png");
    ASSERT_TRUE(imgtest::MakeQuadrants(path, 300, 200));
    FXCanvas c;
    float clear[4] = {0.2f, 0.4f, 0.6f, 0.8f};
    memcpy(c.clearColor, clear, sizeof clear);
    ASSERT_TRUE(c.CreateFromPict(path.c_str()));
    EXPECT_EQ(c.GetWidth(), 300);
    EXPECT_EQ(c.GetHeight(), 200);
    EXPECT_EQ(c.pixmap.bufWidth, 512);
    EXPECT_EQ(c.pixmap.bufHeight, 256);
    uint32_t want = fxColToInt1(clear);
    EXPECT_EQ(Px(c, 300, 0), want);
    EXPECT_EQ(Px(c, 511, 199), want);
    EXPECT_EQ(Px(c, 0, 200), want);
    EXPECT_EQ(Px(c, 511, 255), want);
    EXPECT_EQ(Px(c, 299, 199), kWhite);
    ExpectQuadrants(c, 300, 200, 0, "odd");

    // Without clearing, the margin keeps what the reused buffer held.
    uint32_t* before = c.pixmap.pixels;
    c.pixmap.Clear(0x12345678);
    c.clearBeforeLoad = false;
    std::string small = F("small.png");
    ASSERT_TRUE(imgtest::MakeQuadrants(small, 260, 130));
    ASSERT_TRUE(c.CreateFromPict(small.c_str()));
    EXPECT_EQ(c.pixmap.pixels, before);  // large enough: reused
    EXPECT_EQ(Px(c, 260, 0), 0x12345678u);
    EXPECT_EQ(Px(c, 0, 130), 0x12345678u);
    EXPECT_EQ(Px(c, 0, 0), kRed);

    // One pixel: a one-pixel buffer.
    ASSERT_TRUE(imgtest::Convert("-size 1x1 xc:'rgb(1,2,3)' -type TrueColor '" + F("one.png") + "'"));
    FXCanvas one;
    ASSERT_TRUE(one.CreateFromPict(F("one.png").c_str()));
    EXPECT_EQ(one.pixmap.capacity, 1);
    EXPECT_EQ(Px(one, 0, 0), Rgba(1, 2, 3, 255));
}

TEST_F(CanvasLoad, OneLessThanOpaquePixelClearsTheOpaqueFlag) {
    std::string path = F("alpha.png");
    ASSERT_TRUE(imgtest::Convert("-size 4x4 xc:'rgba(10,20,30,1)' '(' -size 1x1 xc:'rgba(10,20,30,0.99608)' ')' "
                                 "-geometry +1+2 -compose Copy -composite -type TrueColorAlpha '" + path + "'"));
    FXCanvas c;
    c.opaque = true;
    ASSERT_TRUE(c.CreateFromPict(path.c_str()));
    ASSERT_EQ(Px(c, 1, 2) >> 24, 254u);
    EXPECT_EQ(Px(c, 0, 0), Rgba(10, 20, 30, 255));
    EXPECT_FALSE(c.opaque);

    std::string full = F("full.png");
    ASSERT_TRUE(imgtest::Convert("-size 4x4 xc:'rgba(10,20,30,1)' -type TrueColorAlpha '" + full + "'"));
    ASSERT_TRUE(c.CreateFromPict(full.c_str()));
    EXPECT_TRUE(c.opaque);
}

TEST_F(CanvasLoad, TranInTheNameMakesRedTheAlphaOverWhite) {
    // Red runs 0, 85, 170, 255 across; green and blue are noise.
    std::string src = F("grad.png");
    ASSERT_TRUE(imgtest::Convert("-size 4x1 xc:black -fill 'rgb(0,7,9)' -draw 'point 0,0' "
                                 "-fill 'rgb(85,1,200)' -draw 'point 1,0' -fill 'rgb(170,99,3)' -draw 'point 2,0' "
                                 "-fill 'rgb(255,40,40)' -draw 'point 3,0' -type TrueColor '" + src + "'"));
    std::string bytes = fxtest::ReadFile(src);
    std::string tran = F("BubbleTRANSP.png");
    fxtest::WriteFile(tran, bytes);
    const uint32_t want[4] = {0x00FFFFFFu, 0x55FFFFFFu, 0xAAFFFFFFu, 0xFFFFFFFFu};

    FXCanvas c;
    ASSERT_TRUE(c.CreateFromPict(tran.c_str()));
    EXPECT_TRUE(c.transparencyPicture);
    EXPECT_FALSE(c.opaque);
    for (int x = 0; x < 4; x++) EXPECT_EQ(Px(c, x, 0), want[x]) << x;

    // The same file under a plain name is an ordinary picture.
    ASSERT_TRUE(c.CreateFromPict(src.c_str()));
    EXPECT_FALSE(c.transparencyPicture);
    EXPECT_TRUE(c.opaque);
    EXPECT_EQ(Px(c, 1, 0), Rgba(85, 1, 200, 255));

    // Detection off: the name does not count.
    c.detectTransparency = false;
    ASSERT_TRUE(c.CreateFromPict(tran.c_str()));
    EXPECT_FALSE(c.transparencyPicture);
    EXPECT_EQ(Px(c, 2, 0), Rgba(170, 99, 3, 255));

    // Buffer loaders keep the flag as the owner set it.
    c.transparencyPicture = true;
    ASSERT_TRUE(imgtest::LoadBuf(&c, FX_IL_PNG, bytes));
    EXPECT_TRUE(c.transparencyPicture);
    for (int x = 0; x < 4; x++) EXPECT_EQ(Px(c, x, 0), want[x]) << x;
}

TEST_F(CanvasLoad, ResizeScalesWhileLoading) {
    std::string path = F("big.jpg");
    ASSERT_TRUE(imgtest::MakeQuadrants(path, 128, 64));
    FXCanvas c;
    ASSERT_TRUE(c.CreateFromPictResize(path.c_str(), 0.5f, 0.25f));
    EXPECT_EQ(c.GetWidth(), 64);
    EXPECT_EQ(c.GetHeight(), 16);
    ExpectQuadrants(c, 64, 16, 16, "down");
    // Truncated toward zero: 128 x 0.3 = 38.4.
    ASSERT_TRUE(c.CreateFromPictResize(path.c_str(), 0.3f, 1.0f));
    EXPECT_EQ(c.GetWidth(), 38);
    EXPECT_EQ(c.GetHeight(), 64);
    ASSERT_TRUE(c.CreateFromPictResize(path.c_str(), 2.0f, 2.0f));
    EXPECT_EQ(c.GetWidth(), 256);
    EXPECT_EQ(c.GetHeight(), 128);
    ExpectQuadrants(c, 256, 128, 16, "up");
}

TEST_F(CanvasLoad, ResizeToNothingOrToAbsurdSizesIsRefused) {
    std::string path = F("pic.png");
    ASSERT_TRUE(imgtest::MakeQuadrants(path, 40, 20));
    FXCanvas c;
    ASSERT_TRUE(c.CreateFromPict(path.c_str()));
    for (float s : {0.0f, 0.01f, -1.0f, NAN, INFINITY, 1e6f, 500.0f}) {
        EXPECT_FALSE(c.CreateFromPictResize(path.c_str(), s, 1.0f)) << s;
        EXPECT_FALSE(c.CreateFromPictResize(path.c_str(), 1.0f, s)) << s;
    }
    EXPECT_EQ(c.GetWidth(), 40);
    EXPECT_EQ(c.GetHeight(), 20);
    EXPECT_EQ(Px(c, 0, 0), kRed);
}

TEST_F(CanvasLoad, PackageRecordsByNumberAndByKey) {
    std::string jpg = F("pic.jpg"), mask = F("mask.png"), other = F("notes.txt");
    ASSERT_TRUE(imgtest::MakeQuadrants(jpg, 32, 16));
    ASSERT_TRUE(imgtest::Convert("-size 32x16 xc:'rgb(0,0,77)' -type TrueColor '" + mask + "'"));
    fxtest::WriteFile(other, "not a picture");
    std::string pckPath = F("content.dat");
    {
        FXPackage build;
        build.AddDataFile(3, jpg.c_str());
        build.AddDataFile(4, mask.c_str());
        build.AddDataFile(5, other.c_str());
        ASSERT_TRUE(build.Save(pckPath.c_str(), 1));
    }
    FXPackage pck;
    ASSERT_TRUE(pck.Load(pckPath.c_str()));
    ASSERT_EQ(pck.GetDataType(3), FX_PCK_TYPE_JPG);

    FXCanvas c;
    ASSERT_TRUE(c.CreateFromPictCN(&pck, 3));
    EXPECT_EQ(c.GetWidth(), 32);
    ExpectQuadrants(c, 32, 16, 12, "record");
    ASSERT_TRUE(c.LoadMaskCN(&pck, 4));
    EXPECT_EQ(Px(c, 5, 5) >> 24, 77u);

    FXCanvas k;
    EXPECT_TRUE(k.CreateFromPictC(&pck, "3"));
    EXPECT_TRUE(k.LoadMaskC(&pck, "4"));
    EXPECT_EQ(Px(k, 31, 15) >> 24, 77u);
    EXPECT_TRUE(k.CreateFromPictC(&pck, " 3"));  // read as "%d" reads it

    FXCanvas bad;
    EXPECT_FALSE(bad.CreateFromPictC(&pck, "x3"));
    EXPECT_FALSE(bad.CreateFromPictC(&pck, ""));
    EXPECT_FALSE(bad.CreateFromPictC(&pck, nullptr));
    EXPECT_FALSE(bad.CreateFromPictC(&pck, "99999999999999"));
    EXPECT_FALSE(bad.CreateFromPictCN(&pck, 5));   // not a picture record
    EXPECT_FALSE(bad.CreateFromPictCN(&pck, 99));  // no such record
    EXPECT_FALSE(bad.CreateFromPictCN(nullptr, 3));
    EXPECT_FALSE(bad.LoadMaskCN(&pck, 4));         // no picture to mask
    EXPECT_FALSE(k.LoadMaskC(&pck, "four"));
    EXPECT_FALSE(k.LoadMaskCN(&pck, 5));
    EXPECT_EQ(bad.pixmap.pixels, nullptr);
}

TEST_F(CanvasLoad, MissingFilesAndEmptyPathsGiveFalse) {
    FXCanvas c;
    EXPECT_FALSE(c.CreateFromPict(F("none.png").c_str()));
    EXPECT_FALSE(c.CreateFromPict(""));
    EXPECT_FALSE(c.CreateFromPict(nullptr));
    EXPECT_FALSE(c.CreateFromPictResize("", 1, 1));
    EXPECT_FALSE(c.CreateFromBufJpg(nullptr, 10));
    unsigned char one = 0xFF;
    EXPECT_FALSE(c.CreateFromBufJpg(&one, 0));
    EXPECT_EQ(c.pixmap.pixels, nullptr);
    EXPECT_EQ(c.GetWidth(), 0);
}

TEST_F(CanvasLoad, CorruptAndTruncatedDataGiveFalseAndKeepThePicture) {
    std::string jpg = F("photo.jpg"), png = F("photo.png");
    ASSERT_TRUE(imgtest::Convert("-seed 7 -size 96x64 plasma:fractal -quality 90 '" + jpg + "'"));
    ASSERT_TRUE(imgtest::Convert("-size 96x64 gradient:red-blue -type TrueColor -depth 8 '" + png + "'"));
    std::string j = fxtest::ReadFile(jpg), p = fxtest::ReadFile(png);
    ASSERT_GT(j.size(), 200u);
    ASSERT_GT(p.size(), 100u);

    std::vector<std::pair<std::string, std::pair<int, std::string>>> bad;
    bad.push_back({"jpeg half", {FX_IL_JPG, j.substr(0, j.size() / 2)}});
    bad.push_back({"jpeg header only", {FX_IL_JPG, j.substr(0, 150)}});
    bad.push_back({"jpeg two bytes", {FX_IL_JPG, j.substr(0, 2)}});
    std::string jc = j;
    for (size_t i = 2; i < 120 && i < jc.size(); i++) jc[i] = '\x77';
    bad.push_back({"jpeg corrupt header", {FX_IL_JPG, jc}});
    bad.push_back({"png half", {FX_IL_PNG, p.substr(0, p.size() / 2)}});
    bad.push_back({"png signature only", {FX_IL_PNG, p.substr(0, 8)}});
    std::string pc = p;
    for (size_t i = p.size() / 2; i < p.size() / 2 + 40 && i < pc.size(); i++) pc[i] ^= 0x5a;
    bad.push_back({"png corrupt data", {FX_IL_PNG, pc}});
    std::string ph = p;
    ph[20] ^= 0x01;  // IHDR changed: its checksum no longer fits
    bad.push_back({"png corrupt header", {FX_IL_PNG, ph}});
    bad.push_back({"png as jpeg", {FX_IL_JPG, p}});
    bad.push_back({"jpeg as png", {FX_IL_PNG, j}});
    bad.push_back({"noise", {FX_IL_JPG, std::string(1000, '\x5c')}});

    FXCanvas c;
    ASSERT_TRUE(c.CreateFromPict(png.c_str()));
    std::vector<uint32_t> before(c.pixmap.pixels, c.pixmap.pixels + c.pixmap.capacity);
    for (auto& b : bad) {
        std::string& data = b.second.second;
        EXPECT_FALSE(imgtest::LoadBuf(&c, b.second.first, data)) << b.first;
        // The same bytes as a file, named by their type. (A file whose only
        // fault is its extension is still a good picture: DevIL looks at
        // the content when the extension's decoder refuses it.)
        if (b.first.find(" as ") == std::string::npos) {
            std::string file = F(b.first.substr(0, 3) == "jpe" ? "bad.jpg" : "bad.png");
            fxtest::WriteFile(file, data);
            EXPECT_FALSE(c.CreateFromPict(file.c_str())) << "file " << b.first;
        }
        EXPECT_EQ(c.GetWidth(), 96);
        EXPECT_EQ(c.GetHeight(), 64);
        EXPECT_EQ(std::vector<uint32_t>(c.pixmap.pixels, c.pixmap.pixels + c.pixmap.capacity), before) << b.first;
    }
}

}  // namespace
