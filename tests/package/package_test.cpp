// The package file: exact bytes, round trips, lookups and the build side.
#include <filesystem>
#include <string>
#include <tuple>

#include "pkg_util.h"

namespace {

using fxtest::ReadFile;
using fxtest::WriteFile;

class Package : public ScratchTest {};

TEST_F(Package, SaveWritesTheFormatByteForByte) {
    const std::string model("m\0del", 5);
    WriteFile(P("pic.JPG"), "jpegbytes");
    WriteFile(P("model.xm"), model);
    WriteFile(P("empty.png"), "");
    FXPackage p;  // (scrambled saves are checked through the fxpack tool)
    p.AddDataFile(0, P("pic.JPG").c_str());
    p.AddDataFile(7, P("model.xm").c_str());
    p.AddDataFile(3, P("empty.png").c_str());
    ASSERT_TRUE(p.Save(P("out.dat").c_str(), 0));
    EXPECT_EQ(ReadFile(P("out.dat")), PackageFile({{0, 1061, "jpegbytes"}, {7, -1, model}, {3, 1066, ""}}, false));
    // The package in memory is the one on disk, readable at once.
    EXPECT_EQ(std::make_tuple(p.pendingFiles.count, RecordText(&p, 7), p.GetDataType(0)), std::make_tuple(0, model, 1061));
    // An empty package is four empty lists, and loads as one.
    FXPackage e;
    ASSERT_TRUE(e.Save(P("e.dat").c_str(), 0));
    EXPECT_EQ(ReadFile(P("e.dat")), PackageFile(std::vector<Rec>{}, false));
    e.nameServer.base = 12;
    ASSERT_TRUE(e.Load(P("e.dat").c_str()));
    EXPECT_EQ(std::make_tuple(e.nameServer.base, RecordText(&e, 0), e.GetDataType(0)), std::make_tuple(0, "<none>", -1));
}

TEST(Scramble, IsAPlainTransposeOfTheLeadingSquare) {
    // A 3 x 3 square with one byte left over, squares larger than one tile
    // and not a multiple of it, and squares at the edges of whole blocks
    // and tiles.
    std::vector<int> lens = {10, 200 * 200 + 17, 131 * 131, 1000 * 1000 + 999, 64 * 64, 64 * 64 + 128, 65 * 65,
                             127 * 127 + 5, 128 * 128, 129 * 129, 136 * 136 + 1, 520 * 520 + 1039};
    for (int n = 1; n < 40; ++n) lens.push_back(n * n + n % 3);
    for (int len : lens) {
        std::string b(static_cast<size_t>(len), '\0');
        for (int i = 0; i < len; ++i) b[i] = static_cast<char>(i * 31 + i / 251);
        std::string s = b;
        fxPackageScramble(reinterpret_cast<uint8_t*>(&s[0]), len);
        EXPECT_TRUE(s == Transposed(b)) << len;
    }
}

TEST_F(Package, LookupGivesTheFirstRecordOfAnIdRewoundAndFollowsTheLists) {
    FXPackage p;
    ASSERT_TRUE(LoadBytes(&p, PackageFile({{5, -1, Le32({7, 8})}, {-4, 1056, "x"}, {5, 1061, "second"}}, false)));
    // New names start one above the largest id.
    EXPECT_EQ(std::make_tuple(p.GetDataType(5), p.FindRecord(5), p.GetDataType(3), RecordText(&p, 3), p.nameServer.BuildId("new")),
              std::make_tuple(-1, 0, -1, "<none>", 6));
    FXPackageData* a = p.GetDataPtr(5);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->ReadInt(), 7);
    EXPECT_EQ(p.GetDataPtr(5), a);
    EXPECT_EQ(a->ReadInt(), 7);
    // Lists changed by hand: nothing past a shrunk list, and RecompClasses
    // follows new ids.
    ASSERT_TRUE(LoadBytes(&p, PackageFile({{1, -1, "a"}, {2, -1, "b"}}, false)));
    p.ids.count = 1;
    EXPECT_EQ(p.GetDataPtr(2), nullptr);
    p.ids.count = 2;
    p.ids.SetInt(0, 2);
    p.RecompClasses();
    EXPECT_EQ(RecordText(&p, 2) + RecordText(&p, 1), "a<none>");
}

TEST_F(Package, NamesAsHeaderLinesAndAsAStringList) {
    FXPackage p, q;
    const char* names[] = {"data\\cd (1).png", "x/y/picture_1.jpg", "a+b-[c].Tga"};
    p.nameServer.base = 3;
    for (const char* n : names) p.nameServer.BuildId(n);
    ASSERT_TRUE(p.SaveNamesCpp(P("names.h").c_str()));
    EXPECT_EQ(fxtest::ReadText(P("names.h")),  // a text file: CR LF on Windows
              "#define FXNAME_CD__1__PNG  3\n#define FXNAME_PICTURE_1_JPG  4\n#define FXNAME_A_B__C__TGA  5\n");
    ASSERT_TRUE(p.SaveNames(P("n.dat").c_str()));
    EXPECT_EQ(ReadFile(P("n.dat")), Le32({3}) + Str(names[0]) + Str(names[1]) + Str(names[2]));
    // Loaded names replace the old ones and keep the base.
    q.nameServer.base = 20;
    q.nameServer.BuildId("gone");
    ASSERT_TRUE(q.LoadNames(P("n.dat").c_str()));
    EXPECT_EQ(std::make_tuple(q.nameServer.base, q.nameServer.FindId("x/y/picture_1.jpg"), q.nameServer.FindId("gone")),
              std::make_tuple(20, 21, -1));
}

TEST_F(Package, TmpFilesAreDeletedAndDestroyKeepsTheNames) {
    WriteFile(P("t1"), "x");
    FXPackage p;
    ASSERT_TRUE(LoadBytes(&p, PackageFile({{3, -1, "x"}}, false)));
    p.nameServer.BuildId("kept");
    p.AddTmpFile(P("t1").c_str());
    p.AddTmpFile(P("never-made").c_str());
    p.DeleteTmpFiles();
    EXPECT_FALSE(std::filesystem::exists(P("t1")) || p.tmpFiles.count);
    p.AddTmpFile(P("t").c_str());
    p.Destroy();
    EXPECT_EQ(p.tmpFiles.count + p.GetRecordCount(), 0);
    EXPECT_EQ(p.nameServer.FindId("kept"), 4);
}

TEST_F(Package, FailedSaveOrLoadLeavesFileAndPackageAsTheyShould) {
    WriteFile(P("a.bin"), "aaa");
    std::string old = PackageFile({{1, -1, "old"}}, false);
    WriteFile(P("pkg.dat"), old);
    FXPackage p, q;
    ASSERT_TRUE(p.Load(P("pkg.dat").c_str()));
    p.AddDataFile(2, P("a.bin").c_str());
    p.AddDataFile(3, P("missing.bin").c_str());
    EXPECT_FALSE(p.Save(P("pkg.dat").c_str(), 1));
    EXPECT_EQ(ReadFile(P("pkg.dat")), old);
    EXPECT_EQ(std::make_tuple(p.ids.count, p.pendingFiles.count, RecordText(&p, 1), RecordText(&p, 2)),
              std::make_tuple(1, 2, "old", "<none>"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2);  // no temporary file left
    EXPECT_FALSE(q.Save(P("no/such/dir/x.dat").c_str(), 0));
    // What is not a package, or no file at all, leaves a loaded one empty.
    for (auto [name, bytes] : {std::pair{"short", std::string("\x05\0\0", 3)}, {"wrong", Str("pck02") + Le32({0})},
                               {"cut", Le32({50}, "pck01")}, {"missing", std::string()}}) {
        SCOPED_TRACE(name);
        if (!bytes.empty()) WriteFile(P(name), bytes);
        ASSERT_TRUE(p.Load(P("pkg.dat").c_str()));
        EXPECT_FALSE(p.Load(P(name).c_str()));
        EXPECT_EQ(std::make_pair(p.GetRecordCount(), RecordText(&p, 1)), std::make_pair(0, std::string("<none>")));
    }
}

}  // namespace
