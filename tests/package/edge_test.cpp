// Packages whose lists disagree in length, and packages that hold the
// largest id.
#include <string>
#include <tuple>
#include <vector>

#include "pkg_util.h"

namespace {

TEST(PackageEdge, ListsOfDifferentLengths) {
    const int32_t kJpg = FX_PCK_TYPE_JPG;
    struct Case {
        const char* what;
        std::vector<std::vector<int32_t>> lists;  // ids, offsets, sizes, types
        std::string a, b;                         // records 10 and 11
        int typeB;
        bool leftOut;
    } cases[] = {
        {"one type short", {{10, 11}, {0, 1}, {1, 2}, {kJpg}}, "x", "yz", -1, false},
        {"no types", {{10, 11}, {0, 1}, {1, 2}, {}}, "x", "yz", -1, false},
        {"one offset short", {{10, 11}, {0}, {1, 2}, {kJpg, kJpg}}, "x", "<none>", -1, true},
        {"one size short", {{10, 11}, {0, 1}, {1}, {kJpg, kJpg}}, "x", "<none>", -1, true},
        {"one id short", {{10}, {0, 1}, {1, 2}, {kJpg, kJpg}}, "x", "<none>", -1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fxtest::TempDir dir;
        fxtest::TraceCapture trace(dir);
        std::string f = PackageFile(Lists(c.lists) + "xyz", false);
        FXPackage p;
        ASSERT_TRUE(p.LoadFromMemory(f.data(), f.size()));
        EXPECT_EQ(std::make_tuple(RecordText(&p, 10), p.GetDataType(10), RecordText(&p, 11), p.GetDataType(11)),
                  std::make_tuple(c.a, c.lists[3].empty() ? -1 : kJpg, c.b, c.typeB));
        EXPECT_EQ(fxtest::Has(trace.Stop(), "left out"), c.leftOut);
        // Saved with a file added, every record keeps its own values.
        fxtest::WriteFile(dir.File("new.png"), "png!");
        p.AddDataFile(12, dir.File("new.png").c_str());
        ASSERT_TRUE(p.Save(dir.File("out.pck").c_str(), 0));
        FXPackage q;
        ASSERT_TRUE(q.Load(dir.File("out.pck").c_str()));
        EXPECT_EQ(std::make_tuple(RecordText(&q, 11), q.GetDataType(11), RecordText(&q, 12), q.GetDataType(12)),
                  std::make_tuple(c.b, c.typeB, "png!", int(FX_PCK_TYPE_PNG)));
    }
}

TEST(PackageEdge, NoIdIsGivenPastTheLargest) {
    for (int32_t top : {INT32_MAX - 1, INT32_MAX}) {
        SCOPED_TRACE(top);
        fxtest::TempDir dir;
        fxtest::TraceCapture trace(dir);
        const std::string pck = dir.File("p.pck");
        const std::string before = PackageFile(Lists({{top, 3}, {0, 1}, {1, 1}, {-1, -1}}) + "ab", false);
        fxtest::WriteFile(pck, before);
        fxtest::WriteFile(dir.File("a.bin"), "A");
        fxtest::WriteFile(dir.File("b.bin"), "B");
        FXPackage p;
        ASSERT_TRUE(p.Load(pck.c_str()));
        FXStr a(dir.File("a.bin").c_str()), b(dir.File("b.bin").c_str());
        FXStr again(a.text), empty;
        int ra = p.AddDataFile1(&a), rb = p.AddDataFile1(&b);
        // The same file again needs no new id; an empty name stays empty.
        int rAgain = p.AddDataFile1(&again);
        EXPECT_EQ(std::make_pair(rAgain, std::string(again.text)), std::make_pair(ra, std::string(a.text)));
        EXPECT_TRUE(p.AddDataFile1(&empty) == 1 && empty.IsEmpty());
        EXPECT_EQ(ra > 0, top < INT32_MAX);
        EXPECT_STREQ(a.text, ra > 0 ? "2147483647" : dir.File("a.bin").c_str());
        EXPECT_EQ(std::make_pair(rb, std::string(b.text)), std::make_pair(-1, dir.File("b.bin")));
        EXPECT_TRUE(fxtest::Has(trace.Stop(), "no id is left"));
        ASSERT_TRUE(p.Save(pck.c_str(), 0));
        if (ra < 0) {
            EXPECT_EQ(fxtest::ReadFile(pck), before);
        }
        FXPackage q;
        ASSERT_TRUE(q.Load(pck.c_str()));
        EXPECT_EQ(std::make_tuple(q.GetRecordCount(), RecordText(&q, top), RecordText(&q, INT32_MAX)),
                  std::make_tuple(ra > 0 ? 3 : 2, "a", top < INT32_MAX ? "A" : "a"));
    }
}

TEST(PackageEdge, FxpackBuildStopsAtTheLargestId) {
    fxtest::TempDir dir;
    fxtest::WriteFile(dir.File("a"), "A");
    fxtest::WriteFile(dir.File("b"), "B");
    fxtest::ToolRun r = fxtest::RunTool(FXPACK_PATH, "build " + dir.File("out.pck") + " 2147483647=" +
                                                         dir.File("a") + " " + dir.File("b"));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(fxtest::Has(r.out, "no id is left")) << r.out;
    EXPECT_EQ(fxtest::ReadFile(dir.File("out.pck")), "");
}

}  // namespace
