// Pictures and masks whose headers claim absurd sizes are refused before the
// image library allocates anything for them.
#include <cstring>
#include <string>
#include <vector>

#include "imgtest.h"
#include "image/canvas.h"
#include "image/picthead.h"
#include "package/package.h"

namespace {

uint32_t Crc32(const uint8_t* p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; i++) {
        c ^= p[i];
        for (int k = 0; k < 8; k++) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

void PutBe32(std::string* s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) (*s)[at + i] = static_cast<char>(v >> (24 - 8 * i));
}

class CanvasLimits : public imgtest::DevilTest {
protected:
    void SetUp() override {
        imgtest::DevilTest::SetUp();
        ASSERT_TRUE(imgtest::Convert("-seed 3 -size 48x32 plasma:fractal -quality 85 '" + F("pic.jpg") + "'"));
        ASSERT_TRUE(imgtest::Convert("-size 48x32 gradient:red-blue -type TrueColor -depth 8 '" + F("pic.png") + "'"));
        jpg_ = fxtest::ReadFile(F("pic.jpg"));
        png_ = fxtest::ReadFile(F("pic.png"));
    }
    // The JPEG with its frame header claiming w x h.
    std::string HugeJpeg(int w, int h) {
        std::string j = jpg_;
        size_t i = 2;
        while (i + 9 < j.size()) {
            uint8_t m = static_cast<uint8_t>(j[i + 1]);
            size_t len = (static_cast<uint8_t>(j[i + 2]) << 8) | static_cast<uint8_t>(j[i + 3]);
            if (m >= 0xC0 && m <= 0xC2) {
                j[i + 5] = static_cast<char>(h >> 8);
                j[i + 6] = static_cast<char>(h);
                j[i + 7] = static_cast<char>(w >> 8);
                j[i + 8] = static_cast<char>(w);
                return j;
            }
            i += 2 + len;
        }
        ADD_FAILURE() << "no frame header";
        return j;
    }
    // The PNG with its header claiming w x h, checksum mended so that only
    // the size is wrong.
    std::string HugePng(uint32_t w, uint32_t h) {
        std::string p = png_;
        PutBe32(&p, 16, w);
        PutBe32(&p, 20, h);
        PutBe32(&p, 29, Crc32(reinterpret_cast<const uint8_t*>(p.data()) + 12, 17));
        return p;
    }
    std::string jpg_, png_;
};

TEST_F(CanvasLimits, MendedHeadersStillDecodeAtTheirTrueSize) {
    // The header surgery itself is sound: with the true size written back
    // the data decodes, so the refusals below are due to the size alone.
    std::string j = HugeJpeg(48, 32), p = HugePng(48, 32);
    FXCanvas c;
    EXPECT_TRUE(imgtest::LoadBuf(&c, FX_IL_JPG, j));
    EXPECT_TRUE(imgtest::LoadBuf(&c, FX_IL_PNG, p));
    EXPECT_EQ(c.GetWidth(), 48);
}

TEST_F(CanvasLimits, AbsurdPicturesAreRefusedWithATraceLine) {
    std::vector<std::pair<int, std::string>> cases = {
        {FX_IL_JPG, HugeJpeg(60000, 60000)},
        {FX_IL_JPG, HugeJpeg(16385, 4)},
        {FX_IL_PNG, HugePng(100000, 100000)},
        {FX_IL_PNG, HugePng(16384, 16384)},  // each side allowed, the total is not
        {FX_IL_PNG, HugePng(0x80000000u, 1)},
    };
    // A BMP, a GIF and a TGA header claiming the largest sizes they can hold.
    std::string bmp(54, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    bmp[14] = 40;
    memcpy(&bmp[18], "\xa0\x86\x01\x00\xa0\x86\x01\x00", 8);  // 100000 x 100000
    bmp[26] = 1;
    bmp[28] = 24;
    bmp += std::string(64, '\x10');
    cases.push_back({FX_IL_BMP, bmp});
    std::string gif = std::string("GIF89a\xff\xff\xff\xff\x00\x00\x00", 13) + std::string(64, '\0');
    cases.push_back({FX_IL_GIF, gif});
    std::string tga(18, '\0');
    tga[2] = 2;
    tga[12] = tga[13] = tga[14] = tga[15] = '\xff';
    tga[16] = 24;
    tga += std::string(300, '\x40');
    cases.push_back({FX_IL_TGA, tga});

    const char* ext[] = {"jpg", "jpg", "png", "png", "png", "bmp", "gif", "tga"};
    for (size_t i = 0; i < cases.size(); i++) {
        std::string& d = cases[i].second;
        FXCanvas c;
        imgtest::TraceCapture cap(dir_);
        EXPECT_FALSE(imgtest::LoadBuf(&c, cases[i].first, d)) << i;
        std::string file = F(std::string("huge.") + ext[i]);
        fxtest::WriteFile(file, d);
        EXPECT_FALSE(c.CreateFromPict(file.c_str())) << i;
        EXPECT_FALSE(c.CreateFromPictResize(file.c_str(), 0.01f, 0.01f)) << i;
        EXPECT_EQ(c.pixmap.pixels, nullptr);
        std::string log = cap.Stop();
        EXPECT_EQ(imgtest::Count(log, "refused\n"), 3) << i << "\n" << log;
    }
}

TEST_F(CanvasLimits, AbsurdMasksAreRefused) {
    FXCanvas c;
    ASSERT_TRUE(c.CreateFromPict(F("pic.png").c_str()));
    std::string j = HugeJpeg(60000, 60000), p = HugePng(100000, 100000);
    fxtest::WriteFile(F("m1.jpg"), j);
    fxtest::WriteFile(F("m2.png"), p);
    EXPECT_FALSE(c.LoadMask(F("m1.jpg").c_str()));
    EXPECT_FALSE(c.LoadMask(F("m2.png").c_str()));
    FXPackage build;
    build.AddDataFile(1, F("m1.jpg").c_str());
    build.AddDataFile(2, F("m2.png").c_str());
    ASSERT_TRUE(build.Save(F("p.dat").c_str(), 0));
    EXPECT_FALSE(c.LoadMaskCN(&build, 1));
    EXPECT_FALSE(c.LoadMaskCN(&build, 2));
    EXPECT_FALSE(c.CreateFromPictCN(&build, 1));
    EXPECT_EQ(c.GetWidth(), 48);
    EXPECT_EQ(imgtest::Px(c, 0, 0) >> 24, 255u);
}

TEST_F(CanvasLimits, HeadersCutInsideASegmentOrChunkAreRefused) {
    // DevIL's JPEG reader never returns from a stream cut right after a
    // segment length; its PNG reader would read and checksum 2 GB that are
    // not there for a chunk claiming them (put in front of the image data).
    std::string lying = png_;
    lying.insert(33, std::string("\x7f\xff\xff\xf0tEXtabc", 11));
    std::vector<std::pair<int, std::string>> cut = {
        {FX_IL_JPG, std::string("\xff\xd8\xff\xfe\xf9\xdb", 6)},
        {FX_IL_JPG, std::string("\xff\xd8\xff\x00\x92\xb5\xc1\xb1\xbf\xf6\xc8\x4e\xff\xfe\xf9\xdb", 16)},
        {FX_IL_JPG, std::string("\xff\xd8\xff\xe1\x00\x10", 6)},
        {FX_IL_JPG, std::string("\xff\xd8\x23\xff\xff\xe1\x98\x00", 8)},
        {FX_IL_JPG, jpg_.substr(0, 2) + std::string("\xff\xe2\x01\x00", 4)},
        {FX_IL_PNG, lying},
    };
    FXCanvas c;
    ASSERT_TRUE(c.CreateFromPict(F("pic.png").c_str()));
    for (size_t i = 0; i < cut.size(); i++) {
        imgtest::TraceCapture cap(dir_);
        EXPECT_FALSE(imgtest::LoadBuf(&c, cut[i].first, cut[i].second)) << i;
        std::string file = F(cut[i].first == FX_IL_JPG ? "cut.jpg" : "cut.png");
        fxtest::WriteFile(file, cut[i].second);
        EXPECT_FALSE(c.CreateFromPict(file.c_str())) << i;
        EXPECT_FALSE(c.LoadMask(file.c_str())) << i;
        EXPECT_EQ(imgtest::Count(cap.Stop(), "cut inside a header segment or chunk: refused\n"), 3) << i;
    }
    EXPECT_EQ(c.GetWidth(), 48);
}

TEST_F(CanvasLimits, InconsistentDecodedImageIsRefused) {
    // A damaged 16-bit Targa (alpha bits in its descriptor, little data):
    // DevIL decodes it as 2-byte BGR and converts it into a buffer smaller
    // than the size it reports.
    std::string tga("\x00\x00\x02\x00\x00\x00\x00\x00\x00\xff\xff\xff\x7f\x00\x0c\x04"
                    "\x10\x24\x00\x00\x31\xff\xff\xff\x31\x92\xf0\xd9\xa3\x84\xd3\x23"
                    "\xa9\xdd\x0c\xb9", 36);
    FXCanvas c;
    imgtest::TraceCapture cap(dir_);
    EXPECT_FALSE(imgtest::LoadBuf(&c, FX_IL_TGA, tga));
    fxtest::WriteFile(F("bad16.tga"), tga);
    EXPECT_FALSE(c.CreateFromPict(F("bad16.tga").c_str()));
    EXPECT_EQ(imgtest::Count(cap.Stop(), "inconsistent image: refused\n"), 2);
    EXPECT_EQ(c.pixmap.pixels, nullptr);

    // A sound 16-bit Targa still loads.
    std::string good(18, '\0');
    good[2] = 2;
    good[12] = 2;
    good[14] = 1;
    good[16] = 16;
    good[17] = 0x20;
    good += std::string("\x00\x7c\xe0\x03", 4);  // red, green in 5-5-5
    ASSERT_TRUE(imgtest::LoadBuf(&c, FX_IL_TGA, good));
    EXPECT_EQ(imgtest::Px(c, 0, 0), imgtest::Rgba(248, 0, 0, 255));
    EXPECT_EQ(imgtest::Px(c, 1, 0), imgtest::Rgba(0, 248, 0, 255));
}

TEST(PictLimits, EachSideAndTheTotalAreBounded) {
    for (auto [w, h] : {std::pair{1, 1}, {16384, 2048}, {8192, 4096}}) EXPECT_TRUE(fxPictSizeAllowed(w, h)) << w << "x" << h;
    for (auto [w, h] : {std::pair{8192, 4097}, {16385, 1}, {1, 16385}, {0, 5}, {5, -1}, {100000, 100000}})
        EXPECT_FALSE(fxPictSizeAllowed(w, h)) << w << "x" << h;
}

TEST_F(CanvasLimits, AnImplausibleTgaHeaderStillHasItsSizeChecked) {
    // Found by fuzzing: a colour-map type no TGA has hides the header from
    // the probe, and the decoder then allocated the 18531 x 65452 it claims.
    ASSERT_TRUE(fxLoadDevil());
    const unsigned char tga[] = {0x00, 0xf6, 0x02, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                 0x00, 0x4a, 0x63, 0x48, 0xac, 0xff, 0x18, 0x00, 0x22};
    std::vector<unsigned char> data(tga, tga + sizeof tga);
    FXCanvas c;
    EXPECT_FALSE(c.CreateFromBufType(FX_IL_TGA, data.data(), static_cast<unsigned>(data.size())));
    EXPECT_EQ(c.pixmap.pixels, nullptr);
    // Too short to hold a TGA header at all.
    EXPECT_FALSE(c.CreateFromBufType(FX_IL_TGA, data.data(), 10));
}

}  // namespace
