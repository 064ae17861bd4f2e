// The sizes picture headers claim, read before any decoder sees the data.
#include <string>
#include <utility>
#include <vector>

#include "imgtest.h"
#include "image/picthead.h"

namespace {

using namespace imgtest;

// 180 characters, but the value 2: only its length is wrong (DevIL's PNM
// reader overruns its word buffer on it).
const std::string kLong = std::string(179, '0') + "2", kPx(12, 'A');

struct Case {
    const char* what;
    std::string bytes;
    FXPictProbe want;
    int64_t w = 0, h = 0;
};

TEST(PictHead, ReadsEachFormatsClaimAndRefusesCutOrImpossibleHeaders) {
    std::string png = Png(5, 6), lying = png, scan = Jpeg(8, 8, true), bmpTop = Head(26, {{0, 'B'}, {1, 'M'}, {14, 40}});
    lying.insert(33, std::string("\x7f\xff\xff\xf0tEXtabc", 11));  // a chunk claiming more bytes than there are
    scan.insert(scan.size() - 2, std::string("\xff\xda\x00\x08\x01\x01\x00\x00\x3f\x00\x12\x34\xff\x00\xff\xd3\x56", 17));
    std::string upper = Gif(16, 32, 0xecec, 0xecec, 3, 4);
    upper[0] = 'g';  // the decoder also takes an upper-case signature: so does the check
    upper[5] = 'A';
    const Case cases[] = {
        {"jpeg", Jpeg(640, 480, false), FX_PROBE_SIZE, 640, 480},
        {"jpeg behind fill bytes and a comment", Jpeg(65535, 3, true), FX_PROBE_SIZE, 65535, 3},
        {"png", Png(100000, 7), FX_PROBE_SIZE, 100000, 7},
        {"bmp, top-down", With(bmpTop, 18, std::string("\x0a\0\0\0\xf6\xff\xff\xff", 8)), FX_PROBE_SIZE, 10, 10},
        {"bmp with the old 12-byte header", Head(26, {{0, 'B'}, {1, 'M'}, {14, 12}, {18, 5}, {20, 6}}), FX_PROBE_SIZE, 5, 6},
        {"psd", std::string("8BPS\x00\x01\x00\x00\x00\x00\x00\x00\x00\x03\x00\x00\x00\x09\x00\x00\x00\x08", 22), FX_PROBE_SIZE, 8, 9},
        {"ppm with a comment", "P6\n# comment 999 999\n 12\t34\n255\n", FX_PROBE_SIZE, 12, 34},
        {"pcx", Head(128, {{0, 0x0A}, {1, 5}, {2, 1}, {8, 99}, {10, 49}}), FX_PROBE_SIZE, 100, 50},
        {"tga", Head(18, {{2, 2}, {12, 0x20}, {14, 0x10}, {16, 32}}), FX_PROBE_SIZE, 32, 16},
        {"gif", Gif(16, 32, 0, 0, 16, 32), FX_PROBE_SIZE, 16, 32},
        {"gif frame inside", Gif(16, 32, 8, 8, 8, 24), FX_PROBE_SIZE, 16, 32},
        {"png cut after the image data", png.substr(0, png.size() - 10), FX_PROBE_SIZE, 5, 6},
        {"jpeg cut inside the image data", scan.substr(0, scan.size() - 4), FX_PROBE_SIZE, 8, 8},
        {"png cut inside the image data", png.substr(0, png.size() - 16), FX_PROBE_DAMAGED},
        {"png cut inside a chunk before it", png.substr(0, 30), FX_PROBE_DAMAGED},
        {"png chunk claiming more than there is", lying, FX_PROBE_DAMAGED},
        // The decoder would write these frames far outside the screen it allocates.
        {"gif frame far outside", Gif(16, 32, 0xecec, 0xecec, 3, 4), FX_PROBE_DAMAGED},
        {"gif frame one pixel outside", Gif(16, 32, 8, 0, 9, 1), FX_PROBE_DAMAGED},
        {"gif upper-case signature", upper, FX_PROBE_DAMAGED},
        {"gif LZW code size no GIF has", With(Gif(4, 4, 0, 0, 4, 4), 23, "\x0c"), FX_PROBE_DAMAGED},
        {"gif cut inside the image's blocks", Gif(4, 4, 0, 0, 4, 4).substr(0, 25), FX_PROBE_DAMAGED},
        {"jpeg cut right after a length", std::string("\xff\xd8\xff\xfe\xf9\xdb", 6), FX_PROBE_DAMAGED},
        {"jpeg cut inside a comment", std::string("\xff\xd8\xff\xe1\x00\x10" "abc", 9), FX_PROBE_DAMAGED},
        {"jpeg cut inside the frame", Jpeg(8, 8, true).substr(0, 40), FX_PROBE_DAMAGED},
        {"jpeg behind garbage", std::string("\xff\xd8\xff\x00\x92\xb5\xff\xfe\xf9\xdb", 10), FX_PROBE_DAMAGED},
        {"jpeg behind fill", std::string("\xff\xd8\x23\xff\xff\xe1\x98\x00", 8), FX_PROBE_DAMAGED},
        {"jpeg segment after the image data", scan.substr(0, scan.size() - 2) + std::string("\xff\xfe\x00\x20", 4), FX_PROBE_DAMAGED},
        {"nothing", "", FX_PROBE_UNKNOWN},
        {"text", "hello, world: no picture here", FX_PROBE_UNKNOWN},
        {"jpeg without a frame", std::string("\xff\xd8\xff\xd9", 4), FX_PROBE_UNKNOWN},
        {"jpeg segment of a bad length", std::string("\xff\xd8\xff\xe0\x00\x01", 6), FX_PROBE_UNKNOWN},
        {"no such Targa type", Head(18, {{2, 7}, {16, 24}}), FX_PROBE_UNKNOWN},
        {"pnm, one line, comments, CR LF", "P5 # c\r\n2\t# d\n2 255\r\n" + kPx, FX_PROBE_SIZE, 2, 2},
        {"plain pbm", "P1\n2 2\n0 1\n1 0\n", FX_PROBE_SIZE, 2, 2},
        {"pnm long width", "P6\n" + kLong + " 2\n255\n" + kPx, FX_PROBE_MALFORMED},
        {"pnm long maxval", "P6\n2 2\n" + kLong + "\n" + kPx, FX_PROBE_MALFORMED},
        {"pnm long word of tabs and digits", "P6\n2\t2\t255\t" + std::string(200, 'A'), FX_PROBE_MALFORMED},
        {"pnm long plain raster word", "P2\n2 2\n255\n1 2 3 " + kLong + "\n", FX_PROBE_MALFORMED},
        {"pnm long comment", "P6\n#" + std::string(200, 'c') + "\n2 2\n255\n" + kPx, FX_PROBE_MALFORMED},
        {"pnm maxval 0", "P6\n2 2\n0\n" + kPx, FX_PROBE_MALFORMED},
        {"pnm maxval 65536", "P6\n2 2\n65536\n" + kPx, FX_PROBE_MALFORMED},
        {"pnm letter", "P6\n2 x2\n255\n" + kPx, FX_PROBE_MALFORMED},
        {"pnm magic runs on", "P66 2 2 255\n" + kPx, FX_PROBE_MALFORMED},
        {"pnm cut", "P6\n2 2", FX_PROBE_DAMAGED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> heap(c.bytes.begin(), c.bytes.end());  // exact size: the sanitizer watches
        int64_t w = 0, h = 0;
        EXPECT_EQ(fxProbePictBytes(heap.data(), heap.size(), &w, &h), c.want);
        if (c.want == FX_PROBE_SIZE) {
            EXPECT_EQ(std::make_pair(w, h), std::make_pair(c.w, c.h));
        }
    }
    int64_t w = 0, h = 0;
    EXPECT_EQ(fxProbePictBytes(nullptr, 10, &w, &h), FX_PROBE_UNKNOWN);
}

TEST(PictLimits, EachSideAndTheTotalAreBounded) {
    for (auto [w, h] : {std::pair{1, 1}, {16384, 2048}, {8192, 4096}}) EXPECT_TRUE(fxPictSizeAllowed(w, h)) << w << "x" << h;
    for (auto [w, h] : {std::pair{8192, 4097}, {16385, 1}, {1, 16385}, {0, 5}, {5, -1}, {100000, 100000}})
        EXPECT_FALSE(fxPictSizeAllowed(w, h)) << w << "x" << h;
}

}  // namespace
