// PNM headers are checked before DevIL sees them: its reader overruns a
// buffer on a word of 180 characters.
#include <string>

#include "imgtest.h"
#include "image/canvas.h"
#include "image/picthead.h"
#include "package/package.h"

namespace {

// 180 characters, but the value 2: only its length is wrong.
const std::string kLong = std::string(179, '0') + "2";

FXPictProbe Probe(const std::string& s, int64_t* w, int64_t* h) {
    std::string heap(s);  // the sanitizer watches an exact-size copy
    return fxProbePictBytes(reinterpret_cast<const uint8_t*>(heap.data()), heap.size(), w, h);
}

TEST(Pnm, HeaderWordsCommentsAndValuesAreBounded) {
    const std::string px(12, 'A');
    struct Case {
        const char* what;
        std::string bytes;
        FXPictProbe want;
    } cases[] = {
        {"binary", "P6\n2 2\n255\n" + px, FX_PROBE_SIZE},
        {"one line, comments, CR LF", "P5 # c\r\n2\t# d\n2 255\r\n" + px, FX_PROBE_SIZE},
        {"plain bitmap", "P1\n2 2\n0 1\n1 0\n", FX_PROBE_SIZE},
        {"long width", "P6\n" + kLong + " 2\n255\n" + px, FX_PROBE_MALFORMED},
        {"long maxval", "P6\n2 2\n" + kLong + "\n" + px, FX_PROBE_MALFORMED},
        {"long word of tabs and digits", "P6\n2\t2\t255\t" + std::string(200, 'A'), FX_PROBE_MALFORMED},
        {"long plain raster word", "P2\n2 2\n255\n1 2 3 " + kLong + "\n", FX_PROBE_MALFORMED},
        {"long comment", "P6\n#" + std::string(200, 'c') + "\n2 2\n255\n" + px, FX_PROBE_MALFORMED},
        {"maxval 0", "P6\n2 2\n0\n" + px, FX_PROBE_MALFORMED},
        {"maxval 65536", "P6\n2 2\n65536\n" + px, FX_PROBE_MALFORMED},
        {"letter", "P6\n2 x2\n255\n" + px, FX_PROBE_MALFORMED},
        {"magic runs on", "P66 2 2 255\n" + px, FX_PROBE_MALFORMED},
        {"cut", "P6\n2 2", FX_PROBE_DAMAGED},
    };
    for (const Case& c : cases) {
        int64_t w = 0, h = 0;
        EXPECT_EQ(Probe(c.bytes, &w, &h), c.want) << c.what;
        if (c.want == FX_PROBE_SIZE) {
            EXPECT_TRUE(w == 2 && h == 2) << c.what;
        }
    }
}

class PnmDecode : public imgtest::DevilTest {};

// Every way in: a file, a buffer of either type, a package record and a mask.
TEST_F(PnmDecode, ALongWordNeverReachesTheLibrary) {
    for (bool sound : {true, false}) {
        std::string pic = "P6\n2 2\n" + (sound ? "255" : kLong) + "\n" + std::string(12, '\x80');
        fxtest::WriteFile(F("p.ppm"), pic);
        std::string pck = fxtest::Le32({5}, "pck01") + fxtest::Le32({1, 7, 1, 0, 1, static_cast<int32_t>(pic.size()),
                                                                      1, FX_PCK_TYPE_JPG}) + pic;
        FXPackage p;
        ASSERT_TRUE(p.LoadFromMemory(pck.data(), pck.size()));
        imgtest::TraceCapture trace(dir_);
        FXCanvas c;
        EXPECT_EQ(c.CreateFromPict(F("p.ppm").c_str()), sound);
        EXPECT_EQ(imgtest::LoadBuf(&c, FX_IL_TYPE_UNKNOWN, pic), sound);
        EXPECT_EQ(c.LoadMask(F("p.ppm").c_str()), sound);
        EXPECT_EQ(c.pixmap.usedWidth, sound ? 2 : 0);
        EXPECT_FALSE(imgtest::LoadBuf(&c, FX_IL_JPG, pic));
        EXPECT_FALSE(c.CreateFromPictCN(&p, 7));
        EXPECT_EQ(imgtest::Count(trace.Stop(), "out of bounds"), sound ? 0 : 5);
    }
}

}  // namespace
