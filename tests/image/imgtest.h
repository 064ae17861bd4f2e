// Helpers of the picture tests: pictures made by ImageMagick's convert, read
// back through it as an independent decoder.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "../support/testutil.h"
#include "image/canvas.h"
#include "image/devil.h"

namespace imgtest {

using fxtest::Count;
using fxtest::TraceCapture;

#ifdef _WIN32
// Under Wine the build machine's ImageMagick runs through its shell.
inline bool Convert(const std::string& args) { return fxtest::HostShell("convert " + args) == 0; }
#else
// Runs convert with the arguments; true when it succeeded.
inline bool Convert(const std::string& args) { return system(("convert " + args + " >/dev/null 2>&1").c_str()) == 0; }
#endif

// A w x h picture of four quadrants: red top left, green top right, blue
// bottom left, white bottom right. prefix: an ImageMagick format prefix such
// as "BMP3:" (DevIL reads only the classic BMP header).
inline bool MakeQuadrants(const std::string& path, int w, int h, const std::string& prefix = "",
                          const std::string& extra = "") {
    char a[512];
    snprintf(a, sizeof a,
             "-size %dx%d xc:white -fill 'rgb(255,0,0)' -draw 'rectangle 0,0 %d,%d' "
             "-fill 'rgb(0,255,0)' -draw 'rectangle %d,0 %d,%d' -fill 'rgb(0,0,255)' -draw 'rectangle 0,%d %d,%d' "
             "-type TrueColor -depth 8",
             w, h, w / 2 - 1, h / 2 - 1, w / 2, w - 1, h / 2 - 1, h / 2, w / 2 - 1, h - 1);
    return Convert(std::string(a) + extra + " '" + prefix + path + "'");
}

// ImageMagick's description of a picture file, in the given format.
inline std::string Info(const std::string& path, const std::string& format) {
    const std::string cmd = "convert '" + path + "' -auto-orient -format '" + format + "' info:";
#ifdef _WIN32
    std::string s;
    fxtest::HostShell(cmd, &s);
#else
    FILE* p = popen(cmd.c_str(), "r");
    std::string s = p ? fxtest::Drain(p) : "";
    if (p) pclose(p);
#endif
    return s;
}

// The pixels of a w x h picture file as ImageMagick sees them (upright),
// top row first.
inline std::vector<uint32_t> ReadBack(const std::string& path, int w, int h) {
    EXPECT_EQ(Info(path, "%wx%h"), std::to_string(w) + "x" + std::to_string(h)) << path;
    std::string raw = path + ".raw";
    EXPECT_TRUE(Convert("'" + path + "' -auto-orient -depth 8 'rgba:" + raw + "'")) << path;
    std::string b = fxtest::ReadFile(raw);
    remove(raw.c_str());
    std::vector<uint32_t> px(static_cast<size_t>(w) * h);
    memcpy(px.data(), b.data(), std::min(b.size(), px.size() * 4));  // RGBA bytes: the pixels, on a little-endian machine
    return px;
}

inline uint32_t Rgba(int r, int g, int b, int a) {
    return static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) | (static_cast<uint32_t>(b) << 16) |
           (static_cast<uint32_t>(a) << 24);
}

// True when every channel of a and b differs by at most tol.
inline bool Near(uint32_t a, uint32_t b, int tol) {
    for (int i = 0; i < 32; i += 8) {
        int d = static_cast<int>((a >> i) & 255) - static_cast<int>((b >> i) & 255);
        if (d < -tol || d > tol) return false;
    }
    return true;
}

// Decodes bytes held in a string, as a package record would hand them over.
inline bool LoadBuf(FXCanvas* c, int type, std::string& bytes) {
    return c->CreateFromBufType(type, reinterpret_cast<unsigned char*>(&bytes[0]), static_cast<unsigned>(bytes.size()));
}

inline uint32_t Px(FXCanvas& c, int x, int y) {
    if (!c.pixmap.pixels || x < 0 || y < 0 || x >= c.pixmap.bufWidth || y >= c.pixmap.bufHeight) {
        ADD_FAILURE() << "pixel " << x << "," << y << " outside the buffer";
        return 0;
    }
    return c.pixmap.pixels[static_cast<size_t>(y) * c.pixmap.bufWidth + x];
}

// Picture headers made by hand, for the sizes and damage they claim.
inline std::string Be16(int v) { return {static_cast<char>(v >> 8), static_cast<char>(v)}; }
inline std::string Le16(int v) { return {static_cast<char>(v & 255), static_cast<char>(v >> 8)}; }
inline std::string Be32(uint32_t v) { return Be16(static_cast<int>(v >> 16)) + Be16(static_cast<int>(v & 0xffff)); }

// A progressive JPEG frame of w x h; app: behind an APP0 segment, fill
// bytes and a comment.
inline std::string Jpeg(int w, int h, bool app) {
    std::string s("\xff\xd8", 2);
    if (app)
        s += std::string("\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xff\xff\xff\xfe\x00\x05" "abc", 27);
    return s + std::string("\xff\xc2\x00\x11\x08", 5) + Be16(h) + Be16(w) +
           std::string("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01\xff\xd9", 12);
}

// A PNG of its chunks; checksums are not looked at before decoding.
inline std::string Chunk(const std::string& type, const std::string& data) {
    return Be32(static_cast<uint32_t>(data.size())) + type + data + "CRC!";
}
inline std::string Png(uint32_t w, uint32_t h) {
    return std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", Be32(w) + Be32(h) + std::string("\x08\x02\0\0\0", 5)) +
           Chunk("IDAT", "zzzz") + Chunk("IEND", "");
}

// A GIF with one frame of iw x ih at (left, top) on a w x h screen.
inline std::string Gif(int w, int h, int left, int top, int iw, int ih) {
    return "GIF89a" + Le16(w) + Le16(h) + std::string("\0\0\0\x2c", 4) + Le16(left) + Le16(top) + Le16(iw) + Le16(ih) +
           std::string("\0\x02\x02\x44\x01\x00\x3b", 7);  // code size 2, one block, trailer
}

// n zero bytes with the given bytes set.
inline std::string Head(size_t n, std::initializer_list<std::pair<int, int>> set) {
    std::string s(n, '\0');
    for (auto [at, v] : set) s[at] = static_cast<char>(v);
    return s;
}

inline std::string With(std::string s, size_t at, const std::string& bytes) { return s.replace(at, bytes.size(), bytes); }

// Tests that decode or encode: DevIL loaded from the system's libraries.
class DevilTest : public ::testing::Test {
protected:
    void SetUp() override {
        fxSetDevilLibraryNames(nullptr, nullptr);
        ASSERT_TRUE(fxLoadDevil()) << "DevIL (libdevil1c2; DevIL.dll beside the program on Windows) must be installed";
    }
    std::string F(const std::string& name) const { return dir_.File(name); }
    // A file of the bytes; its path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        fxtest::WriteFile(F(name), bytes);
        return F(name);
    }

    fxtest::TempDir dir_;
};

}  // namespace imgtest
