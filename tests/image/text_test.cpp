// Text drawn into canvases with FreeType: the size rule (advances by cell
// height), the alpha rule (coverage times the colour's alpha) and the colour
// rule (the colour's red, green and blue in every pixel).
#include <cstring>
#include <string>
#include <vector>

#include "imgtest.h"
#include "image/canvas.h"
#include "math/3dmath.h"

using imgtest::Px;

namespace {

class Text : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(font_.Create(nullptr, -20)) << fxDefaultFontFile(); }
    std::vector<uint32_t> Pixels(FXCanvas& c) {
        std::vector<uint32_t> v;
        for (int y = 0; y < c.GetHeight(); y++)
            for (int x = 0; x < c.GetWidth(); x++) v.push_back(Px(c, x, y));
        return v;
    }
    FXFontGDI font_;
};

TEST_F(Text, FontOpensWithTheDefaultFace) {
    EXPECT_NE(font_.face, nullptr);
    EXPECT_NE(std::string(fxDefaultFontFile()).find("DejaVuSans.ttf"), std::string::npos);
    EXPECT_GT(font_.ascent, 10);
    EXPECT_GT(font_.cellHeight, font_.ascent);
    FXFontGDI bad;
    EXPECT_FALSE(bad.Create("/nonexistent/font.ttf", 12));
    EXPECT_EQ(bad.face, nullptr);
    EXPECT_FALSE(bad.Create(nullptr, 1000000));
    // A name relative to the system font folder.
    FXFontGDI rel;
    EXPECT_TRUE(rel.Create("truetype/dejavu/DejaVuSans-Bold.ttf", 12));
}

TEST_F(Text, SizeIsTheSumOfAdvancesByTheCellHeightAndPositiveHeightsAreTheCell) {
    int w1 = 0, h1 = 0, w2 = 0, h2 = 0, wi = 0, hi = 0;
    ASSERT_TRUE(FXCanvas::GetTextSize("Velmira", &font_, &w1, &h1));
    ASSERT_TRUE(FXCanvas::GetTextSize("VelmiraVelmira", &font_, &w2, &h2));
    ASSERT_TRUE(FXCanvas::GetTextSize("i", &font_, &wi, &hi));
    EXPECT_GT(w1, 40);
    EXPECT_EQ(w2, 2 * w1);  // no kerning, whole-pixel advances
    EXPECT_EQ(h1, font_.cellHeight);
    EXPECT_EQ(h2, h1);
    EXPECT_LT(wi, w1 / 4);
    int we = -1, he = -1;
    ASSERT_TRUE(FXCanvas::GetTextSize("", &font_, &we, &he));
    EXPECT_EQ(we, 0);
    EXPECT_EQ(he, font_.cellHeight);
    EXPECT_FALSE(FXCanvas::GetTextSize("x", nullptr, &we, &he));
    FXFontGDI none;
    EXPECT_FALSE(FXCanvas::GetTextSize("x", &none, &we, &he));
    // A positive height is the cell height.
    FXFontGDI f24, f12;
    ASSERT_TRUE(f24.Create(nullptr, 24));
    ASSERT_TRUE(f12.Create(nullptr, 12));
    ASSERT_TRUE(FXCanvas::GetTextSize("Hg", &f24, &w1, &h1));
    ASSERT_TRUE(FXCanvas::GetTextSize("Hg", &f12, &w2, &h2));
    EXPECT_EQ(h1, 24);
    EXPECT_EQ(h2, 12);
    EXPECT_LT(w2, w1);
}

TEST_F(Text, PixelsCarryTheColourAndCoverageAlpha) {
    FXCanvas c;
    float col[4] = {1.0f, 0.5f, 0.0f, 1.0f};
    ASSERT_TRUE(c.CreateFromText("Hi", &font_, col));
    int w = 0, h = 0;
    ASSERT_TRUE(FXCanvas::GetTextSize("Hi", &font_, &w, &h));
    EXPECT_EQ(c.GetWidth(), w);
    EXPECT_EQ(c.GetHeight(), h);
    EXPECT_FALSE(c.opaque);  // the background is transparent
    int full = 0, empty = 0, partial = 0;
    for (uint32_t p : Pixels(c)) {
        EXPECT_EQ(p & 0x00FFFFFFu, 0x00007FFFu);  // red 255, green 127, blue 0
        uint32_t a = p >> 24;
        full += a == 255;
        empty += a == 0;
        partial += a > 0 && a < 255;
    }
    EXPECT_GT(full, 20);   // the stems of H and i
    EXPECT_GT(empty, full);
    EXPECT_GT(partial, 0);  // anti-aliased edges
}

TEST_F(Text, GlyphsSitOnTheBaseline) {
    FXCanvas c;
    float white[4] = {1, 1, 1, 1};
    ASSERT_TRUE(c.CreateFromText("H", &font_, white));
    auto inkRows = [&](int* top, int* bottom) {
        *top = *bottom = -1;
        for (int y = 0; y < c.GetHeight(); y++)
            for (int x = 0; x < c.GetWidth(); x++)
                if ((Px(c, x, y) >> 24) > 128) {
                    if (*top < 0) *top = y;
                    *bottom = y;
                }
    };
    int top, bottom;
    inkRows(&top, &bottom);
    EXPECT_EQ(bottom, font_.ascent - 1);  // H stands on the baseline
    EXPECT_GT(top, 0);                    // and leaves room above for accents
    ASSERT_TRUE(c.CreateFromText("g", &font_, white));
    inkRows(&top, &bottom);
    EXPECT_GT(bottom, font_.ascent);  // a descender reaches below it
}

TEST_F(Text, AlphaIsCoverageTimesTheColoursAlpha) {
    FXCanvas a, b;
    float opaque[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    float half[4] = {0.0f, 0.0f, 1.0f, 0.5f};
    ASSERT_TRUE(a.CreateFromText("Alpha", &font_, opaque));
    ASSERT_TRUE(b.CreateFromText("Alpha", &font_, half));
    std::vector<uint32_t> pa = Pixels(a), pb = Pixels(b);
    ASSERT_EQ(pa.size(), pb.size());
    uint32_t maxB = 0;
    for (size_t i = 0; i < pa.size(); i++) {
        uint32_t cov = pa[i] >> 24;
        EXPECT_EQ(pb[i] >> 24, static_cast<uint32_t>(static_cast<float>(cov) * 0.5f)) << i;
        EXPECT_EQ(pb[i] & 0x00FFFFFFu, 0x00FF0000u);
        if ((pb[i] >> 24) > maxB) maxB = pb[i] >> 24;
    }
    EXPECT_EQ(maxB, 127u);
    EXPECT_FALSE(b.opaque);
}

TEST_F(Text, NarrowWideAndLatin1FormsDrawTheSame) {
    FXCanvas n, w16, w32, utf8, latin1;
    float col[4] = {0.2f, 0.4f, 0.6f, 1.0f};
    ASSERT_TRUE(n.CreateFromText("Caf", &font_, col));
    ASSERT_TRUE(w16.CreateFromTextW(u"Caf", &font_, col));
    ASSERT_TRUE(w32.CreateFromTextW(L"Caf", &font_, col));
    EXPECT_EQ(Pixels(n), Pixels(w16));
    EXPECT_EQ(Pixels(n), Pixels(w32));
    ASSERT_TRUE(utf8.CreateFromText("Caf\xc3\xa9", &font_, col));
    ASSERT_TRUE(latin1.CreateFromText("Caf\xe9", &font_, col));
    ASSERT_TRUE(w16.CreateFromTextW(u"Caf\u00e9", &font_, col));
    EXPECT_EQ(Pixels(utf8), Pixels(w16));
    EXPECT_EQ(Pixels(latin1), Pixels(w16));
    EXPECT_GT(utf8.GetWidth(), n.GetWidth());
    int ww = 0, wh = 0;
    ASSERT_TRUE(FXCanvas::GetTextWSize(u"Caf\u00e9", &font_, &ww, &wh));
    EXPECT_EQ(ww, utf8.GetWidth());
    ASSERT_TRUE(FXCanvas::GetTextWSize(L"Caf\u00e9", &font_, &ww, &wh));
    EXPECT_EQ(ww, utf8.GetWidth());
    // Beyond the 16-bit plane, as a surrogate pair.
    int wp = 0, hp = 0;
    EXPECT_TRUE(FXCanvas::GetTextWSize(u"\U0001F600", &font_, &wp, &hp));
}

TEST_F(Text, NothingToDrawGivesFalseAndKeepsThePicture) {
    FXCanvas c;
    float col[4] = {1, 1, 1, 1};
    ASSERT_TRUE(c.CreateFromText("ok", &font_, col));
    int w = c.GetWidth();
    EXPECT_FALSE(c.CreateFromText("", &font_, col));
    EXPECT_FALSE(c.CreateFromText(nullptr, &font_, col));
    EXPECT_FALSE(c.CreateFromText("x", nullptr, col));
    EXPECT_FALSE(c.CreateFromTextW(u"", &font_, col));
    FXFontGDI none;
    EXPECT_FALSE(c.CreateFromText("x", &none, col));
    // A line longer than any picture may be.
    EXPECT_FALSE(c.CreateFromText(std::string(4000, 'W').c_str(), &font_, col));
    EXPECT_EQ(c.GetWidth(), w);
}

}  // namespace
