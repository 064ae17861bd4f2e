// The sizes picture headers claim, read before any decoder sees the data.
#include <cstdio>
#include <string>

#include "imgtest.h"
#include "image/picthead.h"

namespace {

FXPictProbe Probe(const std::string& s, int64_t* w, int64_t* h) {
    return fxProbePictBytes(reinterpret_cast<const uint8_t*>(s.data()), s.size(), w, h);
}

std::string Jpeg(int w, int h, bool app) {
    std::string s("\xff\xd8", 2);
    if (app) {
        s += std::string("\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 18);
        s += std::string("\xff\xff\xff\xfe\x00\x05" "abc", 9);  // fill bytes, then a comment
    }
    s += std::string("\xff\xc2\x00\x11\x08", 5);
    s += static_cast<char>(h >> 8);
    s += static_cast<char>(h);
    s += static_cast<char>(w >> 8);
    s += static_cast<char>(w);
    s += std::string("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xff\xd9", 12);
    return s;
}

// Chunks of a PNG; checksums are not looked at.
std::string Chunk(const std::string& type, const std::string& data) {
    uint32_t n = static_cast<uint32_t>(data.size());
    std::string s;
    for (int i = 3; i >= 0; i--) s += static_cast<char>(n >> (8 * i));
    return s + type + data + "CRC!";
}

std::string Png(uint32_t w, uint32_t h) {
    std::string ihdr;
    for (uint32_t v : {w, h})
        for (int i = 3; i >= 0; i--) ihdr += static_cast<char>(v >> (8 * i));
    ihdr += std::string("\x08\x02\x00\x00\x00", 5);
    return std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", ihdr) + Chunk("IDAT", "zzzz") + Chunk("IEND", "");
}

TEST(PictHead, PngCutInsideAChunkIsDamaged) {
    int64_t w = 0, h = 0;
    std::string png = Png(5, 6);
    EXPECT_EQ(Probe(png, &w, &h), FX_PROBE_SIZE);
    // Cut inside the image data, or inside a chunk before it.
    EXPECT_EQ(Probe(png.substr(0, png.size() - 16), &w, &h), FX_PROBE_DAMAGED);
    EXPECT_EQ(Probe(png.substr(0, 30), &w, &h), FX_PROBE_DAMAGED);
    // A chunk claiming more bytes than there are.
    std::string lying = png;
    lying.insert(33, std::string("\x7f\xff\xff\xf0tEXtabc", 11));
    EXPECT_EQ(Probe(lying, &w, &h), FX_PROBE_DAMAGED);
    // Cut after the image data: the decoder does not read that far.
    EXPECT_EQ(Probe(png.substr(0, png.size() - 10), &w, &h), FX_PROBE_SIZE);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 6);
}

// A GIF with one frame of iw x ih at (left, top) on a w x h screen.
std::string Gif(int w, int h, int left, int top, int iw, int ih) {
    auto le16 = [](int v) { return std::string{static_cast<char>(v & 255), static_cast<char>(v >> 8)}; };
    std::string g = "GIF89a" + le16(w) + le16(h) + std::string("\0\0\0", 3);
    g += "\x2c" + le16(left) + le16(top) + le16(iw) + le16(ih) + std::string("\0", 1);
    g += std::string("\x02\x02\x44\x01\x00\x3b", 6);  // code size 2, one block, trailer
    return g;
}

TEST(PictHead, GifFramesMustLieInsideTheirScreen) {
    int64_t w = 0, h = 0;
    EXPECT_EQ(Probe(Gif(16, 32, 0, 0, 16, 32), &w, &h), FX_PROBE_SIZE);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 32);
    EXPECT_EQ(Probe(Gif(16, 32, 8, 8, 8, 24), &w, &h), FX_PROBE_SIZE);
    // The decoder would write this frame far outside the screen it allocates.
    EXPECT_EQ(Probe(Gif(16, 32, 0xecec, 0xecec, 3, 4), &w, &h), FX_PROBE_DAMAGED);
    EXPECT_EQ(Probe(Gif(16, 32, 8, 0, 9, 1), &w, &h), FX_PROBE_DAMAGED);
    // The decoder also takes an upper-case signature: so does the check.
    std::string upper = Gif(16, 32, 0xecec, 0xecec, 3, 4);
    upper[0] = 'g';
    upper[5] = 'A';
    EXPECT_EQ(Probe(upper, &w, &h), FX_PROBE_DAMAGED);
    std::string badCode = Gif(4, 4, 0, 0, 4, 4);
    badCode[23] = 12;  // an LZW code size no GIF has
    EXPECT_EQ(Probe(badCode, &w, &h), FX_PROBE_DAMAGED);
    std::string cut = Gif(4, 4, 0, 0, 4, 4);
    EXPECT_EQ(Probe(cut.substr(0, 25), &w, &h), FX_PROBE_DAMAGED);  // inside the image's blocks
}

// n zero bytes with the given bytes set.
std::string Head(size_t n, std::initializer_list<std::pair<int, int>> set) {
    std::string s(n, '\0');
    for (auto [at, v] : set) s[at] = static_cast<char>(v);
    return s;
}

std::string Bmp(int headerSize) { return Head(26, {{0, 'B'}, {1, 'M'}, {14, headerSize}}); }

TEST(PictHead, ReadsEachFormatsClaim) {
    struct Case {
        const char* what;
        std::string bytes;
        int64_t w, h;
    } cases[] = {
        {"jpeg", Jpeg(640, 480, false), 640, 480},
        {"jpeg behind fill bytes and a comment", Jpeg(65535, 3, true), 65535, 3},
        {"png", Png(100000, 7), 100000, 7},
        {"bmp, top-down", Bmp(40), 10, 10},
        {"bmp with the old 12-byte header and 16-bit sizes", Bmp(12), 5, 6},
        {"psd", std::string("8BPS\x00\x01\x00\x00\x00\x00\x00\x00\x00\x03\x00\x00\x00\x09\x00\x00\x00\x08", 22), 8, 9},
        {"ppm with a comment", "P6\n# comment 999 999\n 12\t34\n255\n", 12, 34},
        {"pcx", Head(128, {{0, 0x0A}, {1, 5}, {2, 1}, {8, 99}, {10, 49}}), 100, 50},
        {"tga", Head(18, {{2, 2}, {12, 0x20}, {14, 0x10}, {16, 32}}), 32, 16},
    };
    cases[3].bytes[18] = 10;
    cases[3].bytes.replace(22, 4, "\xf6\xff\xff\xff");  // -10: top-down
    cases[4].bytes[18] = 5;
    cases[4].bytes[20] = 6;
    for (const Case& c : cases) {
        int64_t w = 0, h = 0;
        EXPECT_EQ(Probe(c.bytes, &w, &h), FX_PROBE_SIZE) << c.what;
        EXPECT_EQ(w, c.w) << c.what;
        EXPECT_EQ(h, c.h) << c.what;
    }
}

TEST(PictHead, UnknownWhenNothingIsClaimed) {
    int64_t w = -1, h = -1;
    EXPECT_EQ(Probe("", &w, &h), FX_PROBE_UNKNOWN);
    EXPECT_EQ(Probe("hello, world: no picture here", &w, &h), FX_PROBE_UNKNOWN);
    EXPECT_EQ(Probe(std::string("\xff\xd8\xff\xd9", 4), &w, &h), FX_PROBE_UNKNOWN);  // no frame
    EXPECT_EQ(Probe(std::string("\xff\xd8\xff\xe0\x00\x01", 6), &w, &h), FX_PROBE_UNKNOWN);  // bad length
    EXPECT_EQ(Probe(Head(18, {{2, 7}, {16, 24}}), &w, &h), FX_PROBE_UNKNOWN);  // no such Targa type
    EXPECT_EQ(fxProbePictBytes(nullptr, 10, &w, &h), FX_PROBE_UNKNOWN);
}

TEST(PictHead, JpegCutInsideASegmentIsDamaged) {
    int64_t w = 0, h = 0;
    // Cut right after a length field, inside a comment, inside the frame.
    EXPECT_EQ(Probe(std::string("\xff\xd8\xff\xfe\xf9\xdb", 6), &w, &h), FX_PROBE_DAMAGED);
    EXPECT_EQ(Probe(std::string("\xff\xd8\xff\xe1\x00\x10" "abc", 9), &w, &h), FX_PROBE_DAMAGED);
    EXPECT_EQ(Probe(Jpeg(8, 8, true).substr(0, 40), &w, &h), FX_PROBE_DAMAGED);
    // Behind garbage the decoder skips, as it skips it.
    EXPECT_EQ(Probe(std::string("\xff\xd8\xff\x00\x92\xb5\xff\xfe\xf9\xdb", 10), &w, &h), FX_PROBE_DAMAGED);
    EXPECT_EQ(Probe(std::string("\xff\xd8\x23\xff\xff\xe1\x98\x00", 8), &w, &h), FX_PROBE_DAMAGED);
    // Cut inside the image data is not a header matter: the size stands.
    std::string j = Jpeg(8, 8, true);
    j.insert(j.size() - 2, std::string("\xff\xda\x00\x08\x01\x01\x00\x00\x3f\x00\x12\x34\xff\x00\xff\xd3\x56", 17));
    EXPECT_EQ(Probe(j, &w, &h), FX_PROBE_SIZE);
    EXPECT_EQ(Probe(j.substr(0, j.size() - 4), &w, &h), FX_PROBE_SIZE);
    // A segment after the image data is walked to as well.
    std::string tail = j.substr(0, j.size() - 2) + std::string("\xff\xfe\x00\x20", 4);
    EXPECT_EQ(Probe(tail, &w, &h), FX_PROBE_DAMAGED);
}

TEST(PictHead, CutHeadersNeverReadPastTheirEnd) {
    // Every prefix of every header; the address sanitizer watches the reads,
    // and a cut header must not claim a size it does not hold.
    for (const std::string& full : {Jpeg(300, 200, true), Png(256, 128), Bmp(40), Gif(1, 1, 0, 0, 1, 1)}) {
        for (size_t n = 0; n < full.size(); n++) {
            std::string cut = full.substr(0, n);
            std::vector<uint8_t> heap(cut.begin(), cut.end());  // exact-size allocation
            int64_t w = 0, h = 0;
            FXPictProbe r = fxProbePictBytes(heap.data(), heap.size(), &w, &h);
            if (r == FX_PROBE_SIZE) {
                EXPECT_GE(n, 10u);
            }
        }
    }
}

TEST(PictHead, FilesAreProbedLikeBytes) {
    fxtest::TempDir dir;
    std::string path = dir.File("x.jpg");
    fxtest::WriteFile(path, Jpeg(1234, 567, true));
    FILE* f = fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    int64_t w = 0, h = 0;
    EXPECT_EQ(fxProbePictFile(f, &w, &h), FX_PROBE_SIZE);
    fclose(f);
    EXPECT_EQ(w, 1234);
    EXPECT_EQ(h, 567);
}

}  // namespace
