// Pictures and masks whose headers claim absurd sizes, are cut inside a
// header, hold PNM words out of bounds or decode inconsistently are refused,
// by every loader, before the image library allocates anything for them.
#include <string>

#include "imgtest.h"
#include "package/package.h"

using namespace imgtest;

namespace {

class CanvasLimits : public DevilTest {};

TEST_F(CanvasLimits, HostileHeadersAreRefusedByEveryLoaderWithTheReason) {
    const char *size = "pixels: refused\n", *cut = "cut inside a header segment or chunk: refused\n",
               *bounds = "out of bounds: refused\n";
    std::string lying = Png(48, 32);  // a chunk claiming 2 GB, which the PNG reader would read and checksum
    lying.insert(33, std::string("\x7f\xff\xff\xf0tEXtabc", 11));
    // Found by fuzzing: a colour-map type no TGA has hid the header from the
    // probe, and the decoder then allocated the 18531 x 65452 it claims.
    // A damaged 16-bit Targa (alpha bits in its descriptor, little data):
    // DevIL decodes it as 2-byte BGR into a buffer smaller than it reports.
    std::string tga16("\x00\x00\x02\x00\x00\x00\x00\x00\x00\xff\xff\xff\x7f\x00\x0c\x04"
                      "\x10\x24\x00\x00\x31\xff\xff\xff\x31\x92\xf0\xd9\xa3\x84\xd3\x23\xa9\xdd\x0c\xb9", 36);
    std::string oddTga("\x00\xf6\x02\x14\x00\x00\x00\x00\x00\x00\x00\x4a\x63\x48\xac\xff\x18\x00\x22", 19);
    struct Case {
        const char *what, *ext;
        int type;
        std::string bytes;
        const char* why;
    } cases[] = {
        {"jpeg 60000 x 60000", "jpg", FX_IL_JPG, Jpeg(60000, 60000, false), size},
        {"jpeg one side too long", "jpg", FX_IL_JPG, Jpeg(16385, 4, true), size},
        {"png 100000 x 100000", "png", FX_IL_PNG, Png(100000, 100000), size},
        {"png each side allowed, the total not", "png", FX_IL_PNG, Png(16384, 16384), size},
        {"png wider than an int", "png", FX_IL_PNG, Png(0x80000000u, 1), size},
        {"bmp 100000 x 100000", "bmp", FX_IL_BMP,
         With(Head(54, {{0, 'B'}, {1, 'M'}, {14, 40}, {26, 1}, {28, 24}}), 18, std::string("\xa0\x86\x01\x00\xa0\x86\x01\x00", 8)) +
             std::string(64, '\x10'),
         size},
        {"gif 65535 x 65535", "gif", FX_IL_GIF, Gif(65535, 65535, 0, 0, 1, 1), size},
        {"tga 65535 x 65535", "tga", FX_IL_TGA,
         Head(18, {{2, 2}, {12, 255}, {13, 255}, {14, 255}, {15, 255}, {16, 24}}) + std::string(300, '\x40'), size},
        {"tga of an unknown colour-map type", "tga", FX_IL_TGA, oddTga, bounds},
        // Found by fuzzing: colour-mapped without a map, whose size the
        // decoder then made 4 GB of.
        {"tga colour-mapped without a map", "tga", FX_IL_TGA,
         std::string("\x01\x00\x01\x00\x08\x00\xac\x10\x00\xff\x01\x50\x61\x08\x00\x10\x08\xac\x00\xff\x00", 21), bounds},
        {"tga with a map of 172-bit entries", "tga", FX_IL_TGA,
         Head(18, {{1, 1}, {2, 1}, {5, 8}, {7, 172}, {12, 4}, {14, 4}, {16, 8}}) + std::string(64, '\x01'), bounds},
        // DevIL's JPEG reader never returns from a stream cut right after a segment length.
        {"jpeg cut right after a length", "jpg", FX_IL_JPG, std::string("\xff\xd8\xff\xfe\xf9\xdb", 6), cut},
        {"jpeg behind fill", "jpg", FX_IL_JPG, std::string("\xff\xd8\x23\xff\xff\xe1\x98\x00", 8), cut},
        {"png chunk claiming more than there is", "png", FX_IL_PNG, lying, cut},
        {"tga too short for its header", "tga", FX_IL_TGA, oddTga.substr(0, 10), cut},
        // Whatever type it is handed over as.
        {"ppm with a 180-character word", "ppm", FX_IL_JPG, "P6\n2 2\n" + std::string(179, '0') + "2\n" + std::string(12, '\x80'),
         bounds},
        {"16-bit tga decoding short", "tga", FX_IL_TGA, tga16, "inconsistent image: refused\n"},
    };
    FXCanvas pic;
    ASSERT_TRUE(pic.pixmap.Realloc(4, 4));
    pic.pixmap.Clear(-1);
    for (Case& k : cases) {
        SCOPED_TRACE(k.what);
        std::string file = Write(std::string("bad.") + k.ext, k.bytes);
        std::string pck = fxtest::Le32({5}, "pck01") +
                          fxtest::Le32({1, 7, 1, 0, 1, static_cast<int32_t>(k.bytes.size()), 1, k.type}) + k.bytes;
        FXPackage p;
        ASSERT_TRUE(p.LoadFromMemory(pck.data(), pck.size()));
        FXCanvas c;
        TraceCapture cap(dir_);
        EXPECT_FALSE(LoadBuf(&c, k.type, k.bytes) || c.CreateFromPict(file.c_str()) || c.CreateFromPictCN(&p, 7));
        EXPECT_EQ(c.pixmap.pixels, nullptr);
        EXPECT_FALSE(pic.LoadMask(file.c_str()));
        EXPECT_FALSE(pic.LoadMaskCN(&p, 7));
        EXPECT_EQ(Count(cap.Stop(), k.why), 5);
        EXPECT_EQ(Px(pic, 3, 3), 0xFFFFFFFFu);
    }
    // A package record of a type no package holds goes to no reader, sound
    // or not: here a picture the library would read as PNM or by its bytes.
    std::string ppm = "P6\n2 2\n255\n" + std::string(12, '\x80');
    for (int type : {0, 0x042B, 0x0440}) {
        SCOPED_TRACE(type);
        std::string pck = fxtest::Le32({5}, "pck01") +
                          fxtest::Le32({1, 7, 1, 0, 1, static_cast<int32_t>(ppm.size()), 1, type}) + ppm;
        FXPackage p;
        ASSERT_TRUE(p.LoadFromMemory(pck.data(), pck.size()));
        FXCanvas c;
        TraceCapture cap(dir_);
        EXPECT_FALSE(LoadBuf(&c, type, ppm) || c.CreateFromPictCN(&p, 7) || pic.LoadMaskCN(&p, 7));
        EXPECT_EQ(Count(cap.Stop(), "which no package holds: refused\n"), 3);
    }
    // A sound PNM header of the same shape loads; so does a sound 16-bit Targa (red, green in 5-5-5).
    FXCanvas c;
    EXPECT_TRUE(c.CreateFromPict(Write("good.ppm", "P6\n2 2\n255\n" + std::string(12, '\x80')).c_str()));
    EXPECT_EQ(Px(c, 1, 1), Rgba(128, 128, 128, 255));
    std::string good = Head(18, {{2, 2}, {12, 2}, {14, 1}, {16, 16}, {17, 32}}) + std::string("\x00\x7c\xe0\x03", 4);
    ASSERT_TRUE(LoadBuf(&c, FX_IL_TGA, good));
    EXPECT_EQ(std::make_pair(Px(c, 0, 0), Px(c, 1, 0)), std::make_pair(Rgba(248, 0, 0, 255), Rgba(0, 248, 0, 255)));
}

}  // namespace
