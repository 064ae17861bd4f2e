// The package file: exact bytes, round trips, lookups and the build side.
#include <cstring>
#include <string>

#include "package/package.h"
#include "pkg_util.h"

namespace {

class Package : public ScratchTest {};

std::string RecordText(FXPackage* p, int id) {
    FXPackageData* d = p->GetDataPtr(id);
    if (!d) return "<none>";
    return std::string(reinterpret_cast<const char*>(d->start), static_cast<size_t>(d->size));
}

TEST_F(Package, SaveWritesTheFormatByteForByte) {
    WriteAll(P("pic.JPG"), "jpegbytes");
    WriteAll(P("model.xm"), std::string("m\0del", 5));
    WriteAll(P("empty.png"), "");
    for (bool scramble : {false, true}) {
        FXPackage p;
        p.AddDataFile(0, P("pic.JPG").c_str());
        p.AddDataFile(7, P("model.xm").c_str());
        p.AddDataFile(3, P("empty.png").c_str());
        ASSERT_TRUE(p.Save(P("out.dat").c_str(), scramble ? 1 : 0));
        Bytes want = PackageFile({{0, 1061, "jpegbytes"}, {7, -1, std::string("m\0del", 5)}, {3, 1066, ""}}, scramble);
        EXPECT_EQ(ReadAll(P("out.dat")), want) << "scrambled " << scramble;
        // The package in memory is the one on disk, readable at once.
        EXPECT_EQ(p.pendingFiles.count, 0);
        EXPECT_EQ(RecordText(&p, 7), std::string("m\0del", 5));
        EXPECT_EQ(p.GetDataType(0), 1061);
    }
}

TEST_F(Package, SaveAppendsPendingFilesToLoadedRecords) {
    WriteAll(P("a.pck"), PackageFile({{4, -1, "four"}}, false));
    WriteAll(P("b.gif"), "GIF");
    FXPackage p;
    ASSERT_TRUE(p.Load(P("a.pck").c_str()));
    FXStr name(P("b.gif").c_str());
    p.AddDataFile1(&name);
    EXPECT_STREQ(name.text, "5");
    ASSERT_TRUE(p.Save(P("c.pck").c_str(), 0));
    EXPECT_EQ(ReadAll(P("c.pck")), PackageFile({{4, -1, "four"}, {5, 1078, "GIF"}}, false));
}

TEST_F(Package, LoadsAnIndependentlyWrittenPackage) {
    for (bool scramble : {false, true}) {
        std::vector<Rec> recs;
        for (int i = 0; i < 50; ++i) recs.push_back({i * 3 - 10, i % 2 ? 1056 : -1, std::string(i * 7, char('a' + i % 26))});
        WriteAll(P("in.dat"), PackageFile(recs, scramble));
        FXPackage p;
        ASSERT_TRUE(p.Load(P("in.dat").c_str()));
        EXPECT_EQ(p.GetLoadInfo().scrambled, scramble);
        ASSERT_EQ(p.GetRecordCount(), 50);
        for (const Rec& r : recs) {
            EXPECT_EQ(RecordText(&p, r.id), r.bytes);
            EXPECT_EQ(p.GetDataType(r.id), r.type);
        }
        EXPECT_EQ(p.nameServer.base, 49 * 3 - 10 + 1);
        // Saved again it is the same file.
        ASSERT_TRUE(p.Save(P("again.dat").c_str(), scramble ? 1 : 0));
        EXPECT_EQ(ReadAll(P("again.dat")), ReadAll(P("in.dat")));
    }
}

TEST_F(Package, EmptyPackage) {
    FXPackage p;
    ASSERT_TRUE(p.Save(P("e.dat").c_str(), 0));
    Bytes want;
    PutStr(&want, "pck01");
    for (int i = 0; i < 4; ++i) PutI32(&want, 0);
    EXPECT_EQ(ReadAll(P("e.dat")), want);
    FXPackage q;
    q.nameServer.base = 12;
    ASSERT_TRUE(q.Load(P("e.dat").c_str()));
    EXPECT_EQ(q.nameServer.base, 0);
    EXPECT_EQ(q.GetDataPtr(0), nullptr);
    EXPECT_EQ(q.GetDataType(0), -1);
}

TEST(Scramble, TenByteBodyTransposesAThreeByThreeSquare) {
    uint8_t b[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    fxPackageScramble(b, 10);
    const uint8_t want[10] = {0, 3, 6, 1, 4, 7, 2, 5, 8, 9};
    EXPECT_EQ(memcmp(b, want, 10), 0);
    fxPackageScramble(b, 10);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(b[i], i);
}

TEST(Scramble, MatchesAPlainTransposeOnLargeOddSquares) {
    // Larger than one tile and not a multiple of it.
    std::vector<int> lens = {200 * 200 + 17, 131 * 131, 1000 * 1000 + 999};
    for (int n = 1; n < 40; ++n) lens.push_back(n * n + n % 3);
    for (int len : lens) {
        Bytes b(static_cast<size_t>(len));
        for (int i = 0; i < len; ++i) b[i] = static_cast<uint8_t>(i * 31 + i / 251);
        Bytes s = b;
        fxPackageScramble(s.data(), len);
        EXPECT_EQ(s, Transposed(b));
    }
}

TEST_F(Package, BaseIsOneAboveTheLargestId) {
    WriteAll(P("p.dat"), PackageFile({{4, -1, "a"}, {9, -1, "b"}, {2, -1, "c"}}, false));
    FXPackage p;
    ASSERT_TRUE(p.Load(P("p.dat").c_str()));
    EXPECT_EQ(p.nameServer.base, 10);
    EXPECT_EQ(p.nameServer.BuildId("new"), 10);
}

TEST_F(Package, NegativeIdsGiveBaseZeroAndLargestIdDoesNotOverflow) {
    FXPackage p;
    ASSERT_TRUE(p.LoadFromMemory(PackageFile({{-4, -1, "a"}}, false).data(), PackageFile({{-4, -1, "a"}}, false).size()));
    EXPECT_EQ(p.nameServer.base, 0);
    Bytes top = PackageFile({{0x7fffffff, -1, "a"}}, false);
    ASSERT_TRUE(p.LoadFromMemory(top.data(), top.size()));
    EXPECT_EQ(p.nameServer.base, 0x7fffffff);
    EXPECT_EQ(RecordText(&p, 0x7fffffff), "a");
}

TEST_F(Package, DuplicateIdsGiveTheFirstRecord) {
    Bytes f = PackageFile({{5, -1, "first"}, {1, 1056, "x"}, {5, 1061, "second"}}, false);
    FXPackage p;
    ASSERT_TRUE(p.LoadFromMemory(f.data(), f.size()));
    EXPECT_EQ(RecordText(&p, 5), "first");
    EXPECT_EQ(p.GetDataType(5), -1);
    EXPECT_EQ(p.FindRecord(5), 0);
}

TEST_F(Package, LookupGivesTheSameReaderRewound) {
    Bytes f = PackageFile({{2, -1, std::string("\x07\0\0\0\x08\0\0\0", 8)}}, false);
    FXPackage p;
    ASSERT_TRUE(p.LoadFromMemory(f.data(), f.size()));
    FXPackageData* a = p.GetDataPtr(2);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->ReadInt(), 7);
    FXPackageData* b = p.GetDataPtr(2);
    EXPECT_EQ(a, b);
    EXPECT_EQ(b->ReadInt(), 7);
    EXPECT_EQ(p.GetDataPtr(3), nullptr);
    EXPECT_EQ(p.GetDataType(3), -1);
}

TEST_F(Package, LookupFollowsListsChangedByHand) {
    Bytes f = PackageFile({{1, -1, "a"}, {2, -1, "b"}}, false);
    FXPackage p;
    ASSERT_TRUE(p.LoadFromMemory(f.data(), f.size()));
    p.ids.count = 1;  // shrunk without RecompClasses: nothing past the list
    EXPECT_EQ(p.GetDataPtr(2), nullptr);
    p.ids.count = 2;
    p.ids.SetInt(0, 2);
    p.RecompClasses();
    EXPECT_EQ(RecordText(&p, 2), "a");
    EXPECT_EQ(p.GetDataPtr(1), nullptr);
}

TEST_F(Package, AddDataFile1RegistersEachPathOnce) {
    FXPackage p;
    FXStr a("pics/a.jpg"), b("pics/a.jpg"), c("pics/A.jpg"), e;
    EXPECT_EQ(p.AddDataFile1(&a), 1);
    EXPECT_EQ(p.AddDataFile1(&b), 1);
    EXPECT_STREQ(a.text, "0");
    EXPECT_STREQ(b.text, "0");
    EXPECT_EQ(p.AddDataFile1(&c), 1);  // letter case makes another file
    EXPECT_STREQ(c.text, "1");
    EXPECT_EQ(p.AddDataFile1(&e), 1);
    EXPECT_TRUE(e.IsEmpty());
    ASSERT_EQ(p.pendingFiles.count, 2);
    EXPECT_STREQ(p.pendingFiles.data[0], "pics/a.jpg");
    EXPECT_EQ(p.pendingIds.GetInt(1), 1);
}

TEST_F(Package, CheckFileTypesAndSizes) {
    WriteAll(P("photo.JPG"), "12345");
    WriteAll(P("model.xm"), "1");
    WriteAll(P("noext"), "");
    FXPackage p;
    int size = -1, type = 0;
    EXPECT_TRUE(p.CheckFile(P("photo.JPG").c_str(), &size, &type));
    EXPECT_EQ(size, 5);
    EXPECT_EQ(type, 1061);
    EXPECT_TRUE(p.CheckFile(P("model.xm").c_str(), &size, &type));
    EXPECT_EQ(type, -1);
    EXPECT_TRUE(p.CheckFile(P("noext").c_str(), &size, &type));
    EXPECT_EQ(size, 0);
    EXPECT_EQ(type, -1);
    EXPECT_FALSE(p.CheckFile(P("missing.bmp").c_str(), &size, &type));
    EXPECT_EQ(type, 1056);
    EXPECT_EQ(fxPackageTypeFromExt("Tga"), 1069);
    EXPECT_EQ(fxPackageTypeFromExt("jpeg"), -1);
    EXPECT_EQ(fxPackageTypeFromExt("jp"), -1);
}

TEST_F(Package, NamesHeaderLines) {
    FXPackage p;
    p.nameServer.base = 3;
    p.nameServer.BuildId("data\\cd (1).png");
    p.nameServer.BuildId("x/y/picture_1.jpg");
    p.nameServer.BuildId("a+b-[c].Tga");
    ASSERT_TRUE(p.SaveNamesCpp(P("names.h").c_str()));
    Bytes got = ReadAll(P("names.h"));
    EXPECT_EQ(std::string(got.begin(), got.end()),
              "#define FXNAME_CD__1__PNG  3\n"
              "#define FXNAME_PICTURE_1_JPG  4\n"
              "#define FXNAME_A_B__C__TGA  5\n");
}

TEST_F(Package, NamesFileIsAStringList) {
    FXPackage p;
    p.nameServer.base = 8;
    p.nameServer.BuildId("one");
    p.nameServer.BuildId("two/2");
    ASSERT_TRUE(p.SaveNames(P("n.dat").c_str()));
    Bytes want;
    PutI32(&want, 2);
    PutStr(&want, "one");
    PutStr(&want, "two/2");
    EXPECT_EQ(ReadAll(P("n.dat")), want);
    FXPackage q;
    q.nameServer.base = 20;
    q.nameServer.BuildId("gone");
    ASSERT_TRUE(q.LoadNames(P("n.dat").c_str()));
    EXPECT_EQ(q.nameServer.base, 20);
    EXPECT_EQ(q.nameServer.FindId("two/2"), 21);
    EXPECT_EQ(q.nameServer.FindId("gone"), -1);
}

TEST_F(Package, TmpFilesAreDeletedAndForgotten) {
    WriteAll(P("t1"), "x");
    FXPackage p;
    p.AddTmpFile(P("t1").c_str());
    p.AddTmpFile(P("never-made").c_str());
    p.DeleteTmpFiles();
    EXPECT_FALSE(std::filesystem::exists(P("t1")));
    EXPECT_EQ(p.tmpFiles.count, 0);
}

TEST_F(Package, FailedSaveLeavesFileAndPackageAsTheyWere) {
    WriteAll(P("a.bin"), "aaa");
    Bytes old = PackageFile({{1, -1, "old"}}, false);
    WriteAll(P("pkg.dat"), old);
    FXPackage p;
    ASSERT_TRUE(p.Load(P("pkg.dat").c_str()));
    p.AddDataFile(2, P("a.bin").c_str());
    p.AddDataFile(3, P("missing.bin").c_str());
    EXPECT_FALSE(p.Save(P("pkg.dat").c_str(), 1));
    EXPECT_EQ(ReadAll(P("pkg.dat")), old);
    EXPECT_EQ(p.ids.count, 1);
    EXPECT_EQ(p.pendingFiles.count, 2);
    EXPECT_EQ(RecordText(&p, 1), "old");
    EXPECT_EQ(p.GetDataPtr(2), nullptr);
    // No temporary file is left behind.
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir)) files += e.is_regular_file();
    EXPECT_EQ(files, 2);
    // Into a folder that does not exist.
    FXPackage q;
    EXPECT_FALSE(q.Save(P("no/such/dir/x.dat").c_str(), 0));
}

TEST_F(Package, NotAPackageStaysEmpty) {
    WriteAll(P("short"), Bytes{5, 0, 0});
    Bytes wrong;
    PutStr(&wrong, "pck02");
    PutI32(&wrong, 0);
    WriteAll(P("wrong"), wrong);
    Bytes cut;
    PutI32(&cut, 50);
    cut.insert(cut.end(), {'p', 'c', 'k', '0', '1'});
    WriteAll(P("cut"), cut);
    for (const char* name : {"short", "wrong", "cut", "missing"}) {
        FXPackage p;
        WriteAll(P("ok"), PackageFile({{1, -1, "x"}}, false));
        ASSERT_TRUE(p.Load(P("ok").c_str()));
        EXPECT_FALSE(p.Load(P(name).c_str())) << name;
        EXPECT_EQ(p.GetRecordCount(), 0) << name;
        EXPECT_EQ(p.GetDataPtr(1), nullptr) << name;
    }
}

TEST_F(Package, HeaderFlagsAfterTheMagic) {
    Bytes body = PackageBody({{1, -1, "abcdefgh"}});
    // Any "s" among the flag letters scrambles; text after a NUL is not read.
    Bytes f1 = PackageFile(body, true, "pck01xs");
    Bytes f2 = PackageFile(body, false, std::string("pck01\0s", 7));
    FXPackage p;
    ASSERT_TRUE(p.LoadFromMemory(f1.data(), f1.size()));
    EXPECT_EQ(RecordText(&p, 1), "abcdefgh");
    ASSERT_TRUE(p.LoadFromMemory(f2.data(), f2.size()));
    EXPECT_EQ(RecordText(&p, 1), "abcdefgh");
}

TEST_F(Package, DestroyKeepsTheNames) {
    Bytes f = PackageFile({{3, -1, "x"}}, false);
    FXPackage p;
    ASSERT_TRUE(p.LoadFromMemory(f.data(), f.size()));
    p.nameServer.BuildId("kept");
    p.AddTmpFile(P("t").c_str());
    p.Destroy();
    EXPECT_EQ(p.GetRecordCount(), 0);
    EXPECT_EQ(p.tmpFiles.count, 0);
    EXPECT_EQ(p.nameServer.FindId("kept"), 4);
    p.Destroy();
}

}  // namespace
