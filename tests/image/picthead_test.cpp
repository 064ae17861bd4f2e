// The sizes picture headers claim, read before any decoder sees the data.
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "imgtest.h"
#include "image/picthead.h"

namespace {

std::string Be16(int v) { return {static_cast<char>(v >> 8), static_cast<char>(v)}; }
std::string Le16(int v) { return {static_cast<char>(v & 255), static_cast<char>(v >> 8)}; }
std::string Be32(uint32_t v) { return Be16(static_cast<int>(v >> 16)) + Be16(static_cast<int>(v & 0xffff)); }

std::string Jpeg(int w, int h, bool app) {
    std::string s("\xff\xd8", 2);
    if (app)  // an APP0 segment, fill bytes, then a comment
        s += std::string("\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xff\xff\xff\xfe\x00\x05" "abc", 27);
    return s + std::string("\xff\xc2\x00\x11\x08", 5) + Be16(h) + Be16(w) +
           std::string("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xff\xd9", 12);
}

// A PNG of its chunks; checksums are not looked at.
std::string Chunk(const std::string& type, const std::string& data) { return Be32(data.size()) + type + data + "CRC!"; }
std::string Png(uint32_t w, uint32_t h) {
    return std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", Be32(w) + Be32(h) + std::string("\x08\x02\0\0\0", 5)) +
           Chunk("IDAT", "zzzz") + Chunk("IEND", "");
}

// A GIF with one frame of iw x ih at (left, top) on a w x h screen.
std::string Gif(int w, int h, int left, int top, int iw, int ih) {
    return "GIF89a" + Le16(w) + Le16(h) + std::string("\0\0\0\x2c", 4) + Le16(left) + Le16(top) + Le16(iw) + Le16(ih) +
           std::string("\0\x02\x02\x44\x01\x00\x3b", 7);  // code size 2, one block, trailer
}

// n zero bytes with the given bytes set.
std::string Head(size_t n, std::initializer_list<std::pair<int, int>> set) {
    std::string s(n, '\0');
    for (auto [at, v] : set) s[at] = static_cast<char>(v);
    return s;
}

std::string With(std::string s, size_t at, const std::string& bytes) { return s.replace(at, bytes.size(), bytes); }

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

TEST(PictHead, CutHeadersNeverReadPastTheirEnd) {
    // Every prefix of every header; the address sanitizer watches the reads,
    // and a cut header must not claim a size it does not hold.
    const std::string heads[] = {Jpeg(300, 200, true), Png(256, 128), Head(26, {{0, 'B'}, {1, 'M'}, {14, 40}}),
                                 Gif(1, 1, 0, 0, 1, 1)};
    for (const std::string& full : heads) {
        for (size_t n = 0; n < full.size(); n++) {
            std::vector<uint8_t> heap(full.begin(), full.begin() + static_cast<long>(n));
            int64_t w = 0, h = 0;
            if (fxProbePictBytes(heap.data(), heap.size(), &w, &h) == FX_PROBE_SIZE) {
                EXPECT_GE(n, 10u);
            }
        }
    }
}

}  // namespace
