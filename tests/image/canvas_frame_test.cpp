// Pictures and masks go from the decoder's pixels into the canvas in one
// pass: for every layout a decoder leaves (colour, grey, with and without
// alpha, blue first, bottom-up, 16-bit, palette) the canvas must hold what the
// library's own conversion to RGBA gives, and a movie frame's mask must be
// exactly the frame's size.
#include <string>
#include <vector>

#include "image/gifdec.h"
#include "imgtest.h"

using imgtest::Px;

namespace {

class CanvasFrame : public imgtest::DevilTest {
protected:
    // The picture as DevIL converts it to 8-bit RGBA itself, top row first;
    // GIFs as our own decoder hands them over.
    std::vector<uint32_t> Reference(int type, const std::string& bytes, unsigned* format, int* w, int* h) {
        std::vector<uint32_t> px;
        if (type == FX_IL_GIF) {
            *format = FX_IL_RGBA;
            EXPECT_TRUE(fxDecodeGif(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &px, w, h));
            return px;
        }
        FXDevilLock lock;
        FXILuint id = 0;
        pilGenImages(1, &id);
        pilBindImage(id);
        if (pilLoadL(static_cast<FXILenum>(type), bytes.data(), static_cast<FXILuint>(bytes.size()))) {
            *format = static_cast<unsigned>(pilGetInteger(FX_IL_IMAGE_FORMAT));
            if (pilGetInteger(FX_IL_IMAGE_TYPE) != FX_IL_UNSIGNED_BYTE) *format = 0;  // deeper than 8 bits
            *w = pilGetInteger(FX_IL_IMAGE_WIDTH);
            *h = pilGetInteger(FX_IL_IMAGE_HEIGHT);
            bool up = static_cast<unsigned>(pilGetInteger(FX_IL_IMAGE_ORIGIN)) == FX_IL_ORIGIN_LOWER_LEFT;
            if (pilConvertImage(FX_IL_RGBA, FX_IL_UNSIGNED_BYTE)) {
                const uint32_t* d = reinterpret_cast<const uint32_t*>(pilGetData());
                for (int y = 0; y < *h; ++y)
                    px.insert(px.end(), d + size_t(up ? *h - 1 - y : y) * *w, d + size_t(up ? *h - y : y + 1) * *w);
            }
        }
        pilDeleteImages(1, &id);
        return px;
    }
};

TEST_F(CanvasFrame, EveryDecodedLayoutLandsAsTheLibrarysOwnConversionInPictureAndMask) {
    const std::string colour = "-size 37x23 gradient:'#ff8000'-'#0040ff' -fill '#10e020' -draw 'rectangle 3,2 12,9'";
    const std::string alpha =
        " '(' -size 23x37 gradient:white-'#202020' -rotate 90 ')' -alpha off -compose CopyOpacity -composite";
    struct Case {
        const char *file, *prefix;
        std::string args;
        int type;
        unsigned format;  // as the decoder leaves it; 0: other than 8 bits
    } cases[] = {
        {"c.jpg", "", colour, FX_IL_JPG, FX_IL_RGB},
        {"g.jpg", "", colour + " -colorspace Gray", FX_IL_JPG, FX_IL_LUMINANCE},
        {"c.png", "PNG24:", colour, FX_IL_PNG, FX_IL_RGB},
        {"a.png", "PNG32:", colour + alpha, FX_IL_PNG, FX_IL_RGBA},
        {"g.png", "", colour + " -colorspace Gray -depth 8 -define png:color-type=0", FX_IL_PNG, FX_IL_LUMINANCE},
        {"ga.png", "", colour + alpha + " -colorspace Gray -depth 8 -define png:color-type=4", FX_IL_PNG, FX_IL_LUMINANCE_ALPHA},
        {"p.png", "PNG8:", colour, FX_IL_PNG, FX_IL_COLOUR_INDEX},
        {"d.png", "PNG48:", colour + " -depth 16", FX_IL_PNG, 0},
        {"c.tga", "", colour + " -type TrueColor -flip -orient BottomLeft", FX_IL_TGA, FX_IL_BGR},
        {"a.tga", "", colour + alpha + " -orient TopLeft", FX_IL_TGA, FX_IL_BGRA},
        {"c.bmp", "BMP3:", colour, FX_IL_BMP, FX_IL_BGR},
        {"a.gif", "", colour, FX_IL_GIF, FX_IL_RGBA},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.file);
        std::string path = F(k.file);
        ASSERT_TRUE(imgtest::Convert(k.args + " '" + k.prefix + path + "'"));
        std::string bytes = fxtest::ReadFile(path);
        unsigned format = 1;
        int w = 0, h = 0;
        std::vector<uint32_t> want = Reference(k.type, bytes, &format, &w, &h);
        ASSERT_EQ(want.size(), 37u * 23u);
        EXPECT_EQ(format, k.format);

        FXCanvas c, t, m;
        float clear[4] = {1.0f, 0.0f, 1.0f, 1.0f};
        memcpy(c.clearColor, clear, sizeof clear);
        ASSERT_TRUE(imgtest::LoadBuf(&c, k.type, bytes));
        ASSERT_EQ(c.GetWidth() * 100 + c.GetHeight(), 3723);
        bool allOpaque = true;
        for (size_t i = 0; i < want.size(); ++i) {
            int x = int(i % 37), y = int(i / 37);
            ASSERT_EQ(Px(c, x, y), want[i]) << x << "," << y;
            allOpaque &= (want[i] >> 24) == 255;
        }
        EXPECT_EQ(c.opaque, allOpaque);
        EXPECT_EQ(Px(c, 40, 30), 0xffff00ffu);  // the margin in the clear colour
        EXPECT_EQ(Px(c, 36, 25), 0xffff00ffu);

        // The transparency rule and the mask read the same pixels.
        t.transparencyPicture = true;
        ASSERT_TRUE(imgtest::LoadBuf(&t, k.type, bytes));
        ASSERT_TRUE(m.pixmap.Realloc(37, 23));
        m.pixmap.Clear(0x00563412);
        ASSERT_TRUE(m.LoadFrameMaskBufType(k.type, reinterpret_cast<unsigned char*>(&bytes[0]), unsigned(bytes.size())));
        bool maskOpaque = true;
        for (size_t i = 0; i < want.size(); ++i) {
            int x = int(i % 37), y = int(i / 37);
            ASSERT_EQ(Px(t, x, y), (want[i] << 24) | 0xffffffu) << x << "," << y;
            ASSERT_EQ(Px(m, x, y), (want[i] >> 16 << 24) | 0x563412u) << x << "," << y;  // blue is the alpha
            maskOpaque &= (want[i] >> 16 & 255) == 255;
        }
        EXPECT_FALSE(t.opaque);
        EXPECT_EQ(m.opaque, maskOpaque);
        EXPECT_EQ(Px(m, 40, 30), 0x00563412u);  // the margin untouched
    }
}

TEST_F(CanvasFrame, AFrameMaskMustHaveTheFramesSizeAndBadMasksKeepThePicture) {
    std::string white = F("w.png"), grey = F("g.jpg");
    ASSERT_TRUE(imgtest::Convert("-size 20x10 xc:white -type TrueColor '" + white + "'"));
    ASSERT_TRUE(imgtest::Convert("-size 20x10 gradient:white-black -colorspace Gray '" + grey + "'"));
    std::string g = fxtest::ReadFile(grey);
    struct Case {
        int w, h;          // the picture
        std::string mask;  // a file name, or "" for the bytes
        std::string bytes;
        bool loads, opaque;
        const char* log;
    } cases[] = {
        {20, 10, white, "", true, true, ""},
        {20, 10, grey, "", true, false, ""},
        {20, 10, "", g, true, false, ""},
        {21, 10, grey, "", false, false, "mask of 20 x 10 does not fit its frame of 21 x 10"},
        {19, 10, "", g, false, false, "mask of 20 x 10 does not fit its frame of 19 x 10"},
        {20, 10, "", g.substr(0, 2), false, false, ""},
        {20, 10, "", "", false, false, ""},
        {20, 10, F("none.png"), "", false, false, ""},
        {0, 0, grey, "", false, false, ""},
    };
    for (Case& k : cases) {
        SCOPED_TRACE(k.mask + " " + std::to_string(k.w) + " " + std::to_string(k.bytes.size()));
        FXCanvas c;
        ASSERT_TRUE(c.pixmap.Realloc(k.w, k.h));
        c.pixmap.Clear(0x11223344);
        c.opaque = !k.opaque;
        fxtest::TraceCapture trace(dir_);
        bool ok = k.mask.empty() ? c.LoadFrameMaskBufType(FX_IL_JPG, reinterpret_cast<unsigned char*>(&k.bytes[0]),
                                                          unsigned(k.bytes.size()))
                                 : c.LoadFrameMask(k.mask.c_str());
        std::string log = trace.Stop();
        EXPECT_EQ(ok, k.loads);
        EXPECT_TRUE(!ok || c.opaque == k.opaque);
        EXPECT_NE(log.find(k.log), std::string::npos) << log;
        for (int i = 0; i < c.pixmap.capacity && !ok; ++i) ASSERT_EQ(c.pixmap.pixels[i], 0x11223344u) << i;
    }
    // The picture's own mask rule stays: a smaller mask leaves the rest clear.
    FXCanvas c;
    ASSERT_TRUE(c.pixmap.Realloc(21, 12));
    c.pixmap.Clear(-1);
    ASSERT_TRUE(c.LoadMask(grey.c_str()));
    EXPECT_TRUE(c.opaque);
    EXPECT_EQ(Px(c, 0, 0), 0xffffffffu);
    EXPECT_EQ(Px(c, 20, 0) | Px(c, 0, 10), 0x00ffffffu);
}

}  // namespace
