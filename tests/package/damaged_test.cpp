// Damaged and hostile packages: which records survive and what is refused
// (every cut and random damage is left to the package fuzzer).
#include <string>
#include <tuple>

#include "pkg_util.h"

namespace {

TEST(Damaged, UnscrambledTruncationKeepsTheRecordsThatFitAndSavesThem) {
    std::string full = PackageFile({{0, -1, Str("name") + Le32({3, 0, 1, 2})}, {1, 1061, "jpeg data"}, {2, -1, "zz"}}, false);
    FXPackage p, q;
    ASSERT_TRUE(LoadBytes(&p, full.substr(0, full.size() - 2)));  // the last record loses its bytes
    EXPECT_EQ(std::make_tuple(RecordText(&p, 1), RecordText(&p, 2), p.GetDataType(2), p.GetLoadInfo().damaged),
              std::make_tuple("jpeg data", "<none>", -1, 1));
    // Saved again, the damaged package keeps its bytes as they were.
    fxtest::TempDir dir;
    ASSERT_TRUE(p.Save(dir.File("resave.dat").c_str(), 0));
    ASSERT_TRUE(q.Load(dir.File("resave.dat").c_str()));
    EXPECT_EQ(std::make_pair(q.GetLoadInfo().damaged, RecordText(&q, 1)), std::make_pair(1, std::string("jpeg data")));
}

TEST(Damaged, RecordsOutsideTheDataAreaAreSkipped) {
    for (auto [off, size] : {std::pair{0, 100}, {-4, 2}, {2, -1}, {0x7ffffff0, 0x20}, {0x7fffffff, 0x7fffffff}, {6, 1}}) {
        SCOPED_TRACE(testing::Message() << off << "," << size);
        // Ids 1, 2 and a second, sound 1 over six bytes of data.
        FXPackage p;
        ASSERT_TRUE(LoadBytes(&p, PackageFile(Le32({3, 1, 2, 1, 3, 0, off, 2, 3, 2, size, 4, 3, -1, -1, 1056}, "abcdef"), false)));
        // The first record of id 1 stays; the damaged one is dropped.
        EXPECT_EQ(std::make_tuple(RecordText(&p, 1), RecordText(&p, 2), p.GetLoadInfo().damaged), std::make_tuple("ab", "<none>", 1));
    }
    // A damaged first record gives way to a later one with its id.
    FXPackage p;
    ASSERT_TRUE(LoadBytes(&p, PackageFile(Le32({2, 7, 7, 2, 50, 0, 2, 1, 1, 2, -1, 1066}, "q"), false)));
    EXPECT_EQ(std::make_pair(RecordText(&p, 7), p.GetDataType(7)), std::make_pair(std::string("q"), 1066));
}

TEST(Damaged, HeadersAreReadUpToANulHostileLengthsRefusedAndLyingCountsGiveNothing) {
    // Any s among the header flags scrambles, up to a NUL.
    std::string body = PackageBody({{1, -1, "abcdefgh"}});
    for (auto [head, scrambled] : {std::pair{std::string("pck01xs"), true}, {std::string("pck01\0s", 7), false}}) {
        FXPackage p;
        ASSERT_TRUE(LoadBytes(&p, PackageFile(body, scrambled, head)));
        EXPECT_EQ(RecordText(&p, 1), "abcdefgh");
    }
    for (int32_t len : {-1, 0, 4, 0x7fffffff}) {
        FXPackage p;
        EXPECT_FALSE(LoadBytes(&p, Le32({len}, "pck01s" + std::string(16, '\0')))) << len;
        EXPECT_EQ(p.GetRecordCount(), 0);
    }
    for (int32_t lie : {0x7fffffff, 0x40000000, 1000}) {  // far more ids than there are: an empty package
        FXPackage p;
        ASSERT_TRUE(LoadBytes(&p, PackageFile(Le32({lie, 1, 1, 0}), false)));
        EXPECT_EQ(std::make_pair(p.GetRecordCount(), p.GetLoadInfo().counts[0]), std::make_pair(0, lie));
    }
}

}  // namespace
