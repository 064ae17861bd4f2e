// Damaged records are named in the log: a record the package leaves out
// (cut file, offset past the data) and a record a loader reads by its id and
// finds damaged (picture, mask, movie, model, animation, scene). Sound
// records bring no such line.
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "../support/testutil.h"
#include "anim/anim.h"
#include "anim/movie.h"
#include "geometry/model.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "package/package.h"
#include "scene/scene.h"

namespace {

using fxtest::Le32;

// A package of records (id, type, bytes), built by hand: the lists, then the data.
std::string localPackage(const std::vector<std::tuple<int, int, std::string>>& recs) {
    std::string n = Le32({static_cast<int32_t>(recs.size())}), ids, offs, sizes, types, data;
    for (const auto& [id, type, bytes] : recs) {
        ids += Le32({id});
        offs += Le32({static_cast<int32_t>(data.size())});
        sizes += Le32({static_cast<int32_t>(bytes.size())});
        types += Le32({type});
        data += bytes;
    }
    return Le32({5}, "pck01") + n + ids + n + offs + n + sizes + n + types + data;
}

std::string localLog(const std::function<void()>& run) {
    fxtest::TempDir dir;
    fxtest::TraceCapture log(dir);
    run();
    return log.Stop();
}

TEST(DamageReport, RecordsLeftOutOfACutPackageAreNamed) {
    std::string whole = localPackage({{3, -1, "aaaa"}, {41, -1, "bbbbbbbb"}, {7, -1, "cc"}});
    struct Case {
        size_t cut;
        std::vector<int> named, sound;
    };
    // Cut by 1 byte: 7 is lost; by 3: 41 and 7; none: nothing named.
    for (const Case& c : {Case{1, {7}, {3, 41}}, Case{3, {41, 7}, {3}}, Case{0, {}, {3, 41, 7}}}) {
        SCOPED_TRACE(c.cut);
        std::string text = localLog([&] {
            FXPackage p;
            std::string bytes = whole.substr(0, whole.size() - c.cut);
            ASSERT_TRUE(p.LoadFromMemory(bytes.data(), bytes.size()));
        });
        for (int id : c.named) EXPECT_TRUE(fxtest::Has(text, "record " + std::to_string(id) + " (")) << text;
        for (int id : c.sound) EXPECT_FALSE(fxtest::Has(text, "record " + std::to_string(id) + " (")) << text;
    }
}

TEST(DamageReport, LoadersNameTheDamagedRecordTheyRead) {
    ASSERT_TRUE(fxLoadDevil());
    // A JPEG whose frame header claims 65535 x 65535 pixels; bytes that are
    // no movie, model, animation or scene.
    std::string hugeJpeg("\xff\xd8\xff\xc0\x00\x11\x08\xff\xff\xff\xff\x03\x01\x22\x00"
                         "\x02\x11\x01\x03\x11\x01\xff\xd9",
                         23);
    std::string junk = Le32({4}, "junk") + std::string(40, '\x5a');
    std::string bytes = localPackage({{5, FX_PCK_TYPE_JPG, hugeJpeg}, {6, -1, junk}});
    FXPackage p;
    ASSERT_TRUE(p.LoadFromMemory(bytes.data(), bytes.size()));
    struct Case {
        const char* line;
        std::function<bool()> load;
    };
    FXCanvas c;
    SMovie movie;
    FXModel model;
    FXAnim anim;
    FXScene scene;
    const Case cases[] = {
        {"picture record 5 is damaged", [&] { return c.CreateFromPictCN(&p, 5); }},
        {"movie record 6 is damaged", [&] { return movie.LoadCN(&p, 6); }},
        {"model record 6 or a record it names is damaged", [&] { return model.LoadCN(&p, 6); }},
        {"animation record 6 or a record it names is damaged", [&] { return anim.LoadCN(&p, 6); }},
        {"scene record 6 or a record it names is damaged", [&] { return scene.LoadCN(&p, 6); }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.line);
        bool loaded = true;
        std::string text = localLog([&] { loaded = k.load(); });
        EXPECT_FALSE(loaded);
        EXPECT_TRUE(fxtest::Has(text, k.line)) << text;
    }
    // A movie that loads whole but stores a frame size no picture can have
    // is named; with a possible size it is not.
    for (int width : {-16, 262}) {
        SMovie out;
        out.frameNames.Push("1");
        out.maskNames.Push("2");
        for (float e : {0.0f, 0.0f, 1.0f, 1.0f}) out.edges.Push(e);
        out.largestWidth = width;
        out.largestHeight = 480;
        FXMemory rec;
        ASSERT_TRUE(out.SaveToBuf(&rec));
        std::string movieBytes = localPackage({{8, -1, std::string(reinterpret_cast<char*>(rec.data), rec.count)}});
        FXPackage mp;
        ASSERT_TRUE(mp.LoadFromMemory(movieBytes.data(), movieBytes.size()));
        SMovie in;
        std::string text = localLog([&] { EXPECT_TRUE(in.LoadCN(&mp, 8)); });
        EXPECT_EQ(fxtest::Has(text, "movie record 8 is damaged"), width < 0) << width << text;
    }
    // A mask is laid over a picture: without one it is refused before any
    // decoding, and the record is named all the same.
    std::string text = localLog([&] { EXPECT_FALSE(c.LoadMaskCN(&p, 5)); });
    EXPECT_TRUE(fxtest::Has(text, "mask record 5 is damaged")) << text;
    fxUnloadDevil();
}

}  // namespace
