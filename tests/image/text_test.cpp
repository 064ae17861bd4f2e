// Text drawn into canvases with FreeType: the size rule (advances by cell
// height), the alpha rule (coverage times the colour's alpha) and the colour
// rule (the colour's red, green and blue in every pixel).
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "image/canvas_text.h"
#include "imgtest.h"

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
    std::pair<int, int> Size(const char* text, FXFontGDI* font) {
        int w = -1, h = -1;
        EXPECT_TRUE(FXCanvas::GetTextSize(text, font, &w, &h)) << text;
        return {w, h};
    }
    FXFontGDI font_, none_;
    float white_[4] = {1, 1, 1, 1};
};

TEST_F(Text, FontsOpenByDefaultOrRelativeToTheSystemFolderAndMeasureByAdvancesAndCell) {
    EXPECT_TRUE(fxtest::Has(fxDefaultFontFile(), "DejaVuSans.ttf"));
    EXPECT_GT(font_.ascent, 10);
    EXPECT_GT(font_.cellHeight, font_.ascent);
    FXFontGDI bad, rel;
    EXPECT_FALSE(bad.Create("/nonexistent/font.ttf", 12));
    EXPECT_EQ(bad.face, nullptr);
    EXPECT_FALSE(bad.Create(nullptr, 1000000));
    EXPECT_TRUE(rel.Create("truetype/dejavu/DejaVuSans-Bold.ttf", 12));
    // Sizes: the sum of whole-pixel advances (no kerning) by the cell height,
    // which is the height asked for when it is positive.
    auto one = Size("Velmira", &font_);
    EXPECT_EQ(Size("VelmiraVelmira", &font_), std::make_pair(2 * one.first, font_.cellHeight));
    EXPECT_EQ(Size("", &font_), std::make_pair(0, font_.cellHeight));
    EXPECT_EQ(std::make_pair(Size("Hg", &rel).second, Size("i", &font_).first < one.first / 4), std::make_pair(12, true));
    int w, h;
    EXPECT_FALSE(FXCanvas::GetTextSize("x", nullptr, &w, &h) || FXCanvas::GetTextSize("x", &none_, &w, &h));
}

// Without a font file GDI still has the system's face, which is what a
// Windows without DejaVu draws with; FreeType has nothing to open.
TEST_F(Text, TheSystemFaceStandsInWhereThePlatformHasOne) {
    FXFontGDI sys;
    bool opened;
    {
        std::lock_guard<std::mutex> g(fxTextLock());
        opened = fxTextOpenFace(&sys, "", 20);
    }
#ifdef _WIN32
    ASSERT_TRUE(opened);
    sys.height = 20;
    FXCanvas c;
    ASSERT_TRUE(c.CreateFromText("Velmira", &sys, white_));
    EXPECT_EQ(c.GetHeight(), 20);
    int lit = 0;
    for (uint32_t p : Pixels(c)) lit += (p >> 24) > 128;
    EXPECT_GT(lit, 20);
#else
    EXPECT_FALSE(opened);
    EXPECT_EQ(sys.face, nullptr);
#endif
}

TEST_F(Text, PixelsCarryTheColourAndCoverageTimesItsAlphaAndSitOnTheBaseline) {
    FXCanvas c, half;
    float col[4] = {1.0f, 0.5f, 0.0f, 1.0f}, halfCol[4] = {1.0f, 0.5f, 0.0f, 0.5f};
    ASSERT_TRUE(c.CreateFromText("Hi", &font_, col) && half.CreateFromText("Hi", &font_, halfCol));
    EXPECT_EQ(std::make_pair(c.GetWidth(), c.GetHeight()), Size("Hi", &font_));
    EXPECT_FALSE(c.opaque || half.opaque);  // the background is transparent
    std::vector<uint32_t> pc = Pixels(c), ph = Pixels(half);
    ASSERT_EQ(pc.size(), ph.size());
    int full = 0, empty = 0, partial = 0;
    for (size_t i = 0; i < pc.size(); i++) {
        uint32_t a = pc[i] >> 24;
        EXPECT_EQ(pc[i] & 0x00FFFFFFu, 0x00007FFFu) << i;  // red 255, green 127, blue 0
        EXPECT_EQ(ph[i], static_cast<uint32_t>(static_cast<float>(a) * 0.5f) << 24 | 0x00007FFFu) << i;
        (a == 255 ? full : a == 0 ? empty : partial)++;
    }
    // The stems of H and i, more background, and anti-aliased edges.
    EXPECT_TRUE(full > 20 && empty > full && partial > 0) << full << " " << empty << " " << partial;
    auto inkRows = [&](const char* text) {
        EXPECT_TRUE(c.CreateFromText(text, &font_, white_));
        int top = -1, bottom = -1;
        for (int y = 0; y < c.GetHeight(); y++)
            for (int x = 0; x < c.GetWidth(); x++)
                if ((Px(c, x, y) >> 24) > 128) bottom = y, top = top < 0 ? y : top;
        return std::make_pair(top, bottom);
    };
    auto h = inkRows("H");
    EXPECT_EQ(h.second, font_.ascent - 1);  // H stands on the baseline
    EXPECT_GT(h.first, 0);                  // and leaves room above for accents
    EXPECT_GT(inkRows("g").second, font_.ascent);  // a descender reaches below it
    // Nothing to draw gives false and keeps the picture.
    int w = c.GetWidth();
    EXPECT_FALSE(c.CreateFromText("", &font_, white_) || c.CreateFromText(nullptr, &font_, white_) ||
                 c.CreateFromText("x", nullptr, white_) || c.CreateFromTextW(u"", &font_, white_) ||
                 c.CreateFromText("x", &none_, white_) ||
                 c.CreateFromText(std::string(4000, 'W').c_str(), &font_, white_));  // longer than any picture may be
    EXPECT_EQ(c.GetWidth(), w);
}

TEST_F(Text, NarrowWideAndLatin1FormsDrawTheSame) {
    FXCanvas n, w16, w32, utf8, latin1;
    float col[4] = {0.2f, 0.4f, 0.6f, 1.0f};
    ASSERT_TRUE(n.CreateFromText("Caf", &font_, col) && w16.CreateFromTextW(u"Caf", &font_, col) &&
                w32.CreateFromTextW(L"Caf", &font_, col));
    EXPECT_EQ(Pixels(n), Pixels(w16));
    EXPECT_EQ(Pixels(n), Pixels(w32));
    ASSERT_TRUE(utf8.CreateFromText("Caf\xc3\xa9", &font_, col) && latin1.CreateFromText("Caf\xe9", &font_, col) &&
                w16.CreateFromTextW(u"Caf\u00e9", &font_, col));
    EXPECT_EQ(Pixels(utf8), Pixels(w16));
    EXPECT_EQ(Pixels(latin1), Pixels(w16));
    EXPECT_GT(utf8.GetWidth(), n.GetWidth());
    int w16w = 0, w32w = 0, h = 0;
    ASSERT_TRUE(FXCanvas::GetTextWSize(u"Caf\u00e9", &font_, &w16w, &h) && FXCanvas::GetTextWSize(L"Caf\u00e9", &font_, &w32w, &h));
    EXPECT_EQ(std::make_pair(w16w, w32w), std::make_pair(utf8.GetWidth(), utf8.GetWidth()));
    EXPECT_TRUE(FXCanvas::GetTextWSize(u"\U0001F600", &font_, &w16w, &h));  // beyond 16 bits, as a surrogate pair
}

}  // namespace
