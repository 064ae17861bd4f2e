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
    std::string badCode = Gif(4, 4, 0, 0, 4, 4);
    badCode[23] = 12;  // an LZW code size no GIF has
    EXPECT_EQ(Probe(badCode, &w, &h), FX_PROBE_DAMAGED);
    std::string cut = Gif(4, 4, 0, 0, 4, 4);
    EXPECT_EQ(Probe(cut.substr(0, 25), &w, &h), FX_PROBE_DAMAGED);  // inside the image's blocks
}

TEST(PictHead, ReadsEachFormatsClaim) {
    int64_t w = 0, h = 0;
    EXPECT_EQ(Probe(Jpeg(640, 480, false), &w, &h), FX_PROBE_SIZE);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(Probe(Jpeg(65535, 3, true), &w, &h), FX_PROBE_SIZE);
    EXPECT_EQ(w, 65535);
    EXPECT_EQ(h, 3);

    std::string png = Png(100000, 7);
    EXPECT_EQ(Probe(png, &w, &h), FX_PROBE_SIZE);
    EXPECT_EQ(w, 100000);
    EXPECT_EQ(h, 7);

    std::string bmp(26, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    bmp[14] = 40;
    bmp[18] = 10;
    bmp[22] = static_cast<char>(0xF6);  // -10: top-down
    bmp[23] = bmp[24] = bmp[25] = static_cast<char>(0xFF);
    EXPECT_EQ(Probe(bmp, &w, &h), FX_PROBE_SIZE);
    EXPECT_EQ(w, 10);
    EXPECT_EQ(h, 10);
    std::string core(26, '\0');  // the old 12-byte header has 16-bit sizes
    core[0] = 'B';
    core[1] = 'M';
    core[14] = 12;
    core[18] = 5;
    core[20] = 6;
    EXPECT_EQ(Probe(core, &w, &h), FX_PROBE_SIZE);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 6);


    std::string psd("8BPS\x00\x01\x00\x00\x00\x00\x00\x00\x00\x03\x00\x00\x00\x09\x00\x00\x00\x08", 22);
    EXPECT_EQ(Probe(psd, &w, &h), FX_PROBE_SIZE);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 9);

    EXPECT_EQ(Probe("P6\n# comment 999 999\n 12\t34\n255\n", &w, &h), FX_PROBE_SIZE);
    EXPECT_EQ(w, 12);
    EXPECT_EQ(h, 34);

    std::string pcx(128, '\0');
    pcx[0] = 0x0A;
    pcx[1] = 5;
    pcx[2] = 1;
    pcx[8] = 99;   // xmax
    pcx[10] = 49;  // ymax
    EXPECT_EQ(Probe(pcx, &w, &h), FX_PROBE_SIZE);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 50);

    std::string tga(18, '\0');
    tga[2] = 2;
    tga[12] = 0x20;
    tga[14] = 0x10;
    tga[16] = 32;
    EXPECT_EQ(Probe(tga, &w, &h), FX_PROBE_SIZE);
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 16);
}

TEST(PictHead, UnknownWhenNothingIsClaimed) {
    int64_t w = -1, h = -1;
    EXPECT_EQ(Probe("", &w, &h), FX_PROBE_UNKNOWN);
    EXPECT_EQ(Probe("hello, world: no picture here", &w, &h), FX_PROBE_UNKNOWN);
    EXPECT_EQ(Probe(std::string("\xff\xd8\xff\xd9", 4), &w, &h), FX_PROBE_UNKNOWN);  // no frame
    EXPECT_EQ(Probe(std::string("\xff\xd8\xff\xe0\x00\x01", 6), &w, &h), FX_PROBE_UNKNOWN);  // bad length
    std::string notTga(18, '\0');
    notTga[2] = 7;  // no such image type
    notTga[16] = 24;
    EXPECT_EQ(Probe(notTga, &w, &h), FX_PROBE_UNKNOWN);
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
    std::string png = Png(256, 128);
    std::string bmp(26, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    bmp[14] = 40;
    for (const std::string& full : {Jpeg(300, 200, true), png, bmp, Gif(1, 1, 0, 0, 1, 1)}) {
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
