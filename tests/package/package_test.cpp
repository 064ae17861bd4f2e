// The package file: exact bytes, round trips, lookups and the build side.
#include <cstring>
#include <string>

#include "package/package.h"
#include "pkg_util.h"

namespace {

class Package : public ScratchTest {};

std::string RecordText(FXPackage* p, int id) {
    FXPackageData* d = p->GetDataPtr(id);
    return d ? std::string(reinterpret_cast<const char*>(d->start), static_cast<size_t>(d->size)) : "<none>";
}

bool Load(FXPackage* p, const Bytes& f) { return p->LoadFromMemory(f.data(), f.size()); }

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
    // An empty package is four empty lists, and loads as one.
    FXPackage e;
    ASSERT_TRUE(e.Save(P("e.dat").c_str(), 0));
    EXPECT_EQ(ReadAll(P("e.dat")), PackageFile(std::vector<Rec>{}, false));
    e.nameServer.base = 12;
    ASSERT_TRUE(e.Load(P("e.dat").c_str()));
    EXPECT_EQ(e.nameServer.base, 0);
    EXPECT_EQ(e.GetDataPtr(0), nullptr);
    EXPECT_EQ(e.GetDataType(0), -1);
}

TEST_F(Package, PendingFilesAreRegisteredOnceAndAppendedToLoadedRecords) {
    WriteAll(P("a.pck"), PackageFile({{4, -1, "four"}}, false));
    WriteAll(P("b.gif"), "GIF");
    WriteAll(P("B.gif"), "gif");
    FXPackage p;
    ASSERT_TRUE(p.Load(P("a.pck").c_str()));
    FXStr a(P("b.gif").c_str()), again(P("b.gif").c_str()), other(P("B.gif").c_str()), e;
    for (FXStr* s : {&a, &again, &other, &e}) EXPECT_EQ(p.AddDataFile1(s), 1);
    EXPECT_STREQ(a.text, "5");
    EXPECT_STREQ(again.text, "5");
    EXPECT_STREQ(other.text, "6");  // letter case makes another file
    EXPECT_TRUE(e.IsEmpty());
    ASSERT_EQ(p.pendingFiles.count, 2);
    EXPECT_EQ(p.pendingIds.GetInt(1), 6);
    ASSERT_TRUE(p.Save(P("c.pck").c_str(), 0));
    EXPECT_EQ(ReadAll(P("c.pck")), PackageFile({{4, -1, "four"}, {5, 1078, "GIF"}, {6, 1078, "gif"}}, false));
}

TEST_F(Package, LoadsAnIndependentlyWrittenPackageAndSavesItUnchanged) {
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
        ASSERT_TRUE(p.Save(P("again.dat").c_str(), scramble ? 1 : 0));
        EXPECT_EQ(ReadAll(P("again.dat")), ReadAll(P("in.dat")));
    }
}

TEST(Scramble, IsAPlainTransposeOfTheLeadingSquare) {
    // A 3 x 3 square with one byte left over, and squares larger than one
    // tile and not a multiple of it.
    std::vector<int> lens = {10, 200 * 200 + 17, 131 * 131, 1000 * 1000 + 999};
    for (int n = 1; n < 40; ++n) lens.push_back(n * n + n % 3);
    for (int len : lens) {
        Bytes b(static_cast<size_t>(len));
        for (int i = 0; i < len; ++i) b[i] = static_cast<uint8_t>(i * 31 + i / 251);
        Bytes s = b;
        fxPackageScramble(s.data(), len);
        EXPECT_EQ(s, Transposed(b)) << len;
    }
}

TEST_F(Package, NameBaseIsOneAboveTheLargestIdWithoutOverflow) {
    struct Case {
        std::vector<Rec> recs;
        int base;
    } cases[] = {
        {{{4, -1, "a"}, {9, -1, "b"}, {2, -1, "c"}}, 10},
        {{{-4, -1, "a"}}, 0},
        {{{0x7fffffff, -1, "a"}}, 0x7fffffff},
    };
    for (const Case& c : cases) {
        FXPackage p;
        ASSERT_TRUE(Load(&p, PackageFile(c.recs, false)));
        EXPECT_EQ(p.nameServer.base, c.base);
        EXPECT_EQ(RecordText(&p, c.recs[0].id), "a");
    }
    FXPackage p;
    ASSERT_TRUE(Load(&p, PackageFile(cases[0].recs, false)));
    EXPECT_EQ(p.nameServer.BuildId("new"), 10);
}

TEST_F(Package, LookupGivesTheFirstRecordOfAnIdRewoundAndFollowsTheLists) {
    FXPackage p;
    ASSERT_TRUE(Load(&p, PackageFile({{5, -1, std::string("\x07\0\0\0\x08", 5)}, {1, 1056, "x"}, {5, 1061, "second"}},
                                     false)));
    EXPECT_EQ(p.GetDataType(5), -1);
    EXPECT_EQ(p.FindRecord(5), 0);
    FXPackageData* a = p.GetDataPtr(5);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->ReadInt(), 7);
    EXPECT_EQ(p.GetDataPtr(5), a);
    EXPECT_EQ(a->ReadInt(), 7);
    EXPECT_EQ(p.GetDataPtr(3), nullptr);
    EXPECT_EQ(p.GetDataType(3), -1);
    // Lists changed by hand: nothing past a shrunk list, and RecompClasses
    // follows new ids.
    ASSERT_TRUE(Load(&p, PackageFile({{1, -1, "a"}, {2, -1, "b"}}, false)));
    p.ids.count = 1;
    EXPECT_EQ(p.GetDataPtr(2), nullptr);
    p.ids.count = 2;
    p.ids.SetInt(0, 2);
    p.RecompClasses();
    EXPECT_EQ(RecordText(&p, 2), "a");
    EXPECT_EQ(p.GetDataPtr(1), nullptr);
}

TEST_F(Package, CheckFileGivesSizeAndTypeByExtension) {
    WriteAll(P("photo.JPG"), "12345");
    WriteAll(P("noext"), "");
    FXPackage p;
    int size = -1, type = 0;
    EXPECT_TRUE(p.CheckFile(P("photo.JPG").c_str(), &size, &type));
    EXPECT_EQ(size, 5);
    EXPECT_EQ(type, 1061);
    EXPECT_TRUE(p.CheckFile(P("noext").c_str(), &size, &type));
    EXPECT_EQ(size, 0);
    EXPECT_EQ(type, -1);
    EXPECT_FALSE(p.CheckFile(P("missing.bmp").c_str(), &size, &type));
    EXPECT_EQ(type, 1056);
    EXPECT_EQ(fxPackageTypeFromExt("Tga"), 1069);
    EXPECT_EQ(fxPackageTypeFromExt("xm"), -1);
    EXPECT_EQ(fxPackageTypeFromExt("jpeg"), -1);
    EXPECT_EQ(fxPackageTypeFromExt("jp"), -1);
}

TEST_F(Package, NamesAsHeaderLinesAndAsAStringList) {
    FXPackage p;
    p.nameServer.base = 3;
    for (const char* n : {"data\\cd (1).png", "x/y/picture_1.jpg", "a+b-[c].Tga"}) p.nameServer.BuildId(n);
    ASSERT_TRUE(p.SaveNamesCpp(P("names.h").c_str()));
    EXPECT_EQ(fxtest::ReadFile(P("names.h")),
              "#define FXNAME_CD__1__PNG  3\n"
              "#define FXNAME_PICTURE_1_JPG  4\n"
              "#define FXNAME_A_B__C__TGA  5\n");
    ASSERT_TRUE(p.SaveNames(P("n.dat").c_str()));
    Bytes want = Ints({3});
    for (const char* n : {"data\\cd (1).png", "x/y/picture_1.jpg", "a+b-[c].Tga"}) PutStr(&want, n);
    EXPECT_EQ(ReadAll(P("n.dat")), want);
    // Loaded names replace the old ones and keep the base.
    FXPackage q;
    q.nameServer.base = 20;
    q.nameServer.BuildId("gone");
    ASSERT_TRUE(q.LoadNames(P("n.dat").c_str()));
    EXPECT_EQ(q.nameServer.base, 20);
    EXPECT_EQ(q.nameServer.FindId("x/y/picture_1.jpg"), 21);
    EXPECT_EQ(q.nameServer.FindId("gone"), -1);
}

TEST_F(Package, TmpFilesAreDeletedAndDestroyKeepsTheNames) {
    WriteAll(P("t1"), "x");
    FXPackage p;
    ASSERT_TRUE(Load(&p, PackageFile({{3, -1, "x"}}, false)));
    p.nameServer.BuildId("kept");
    p.AddTmpFile(P("t1").c_str());
    p.AddTmpFile(P("never-made").c_str());
    p.DeleteTmpFiles();
    EXPECT_FALSE(std::filesystem::exists(P("t1")));
    EXPECT_EQ(p.tmpFiles.count, 0);
    p.AddTmpFile(P("t").c_str());
    p.Destroy();
    EXPECT_EQ(p.tmpFiles.count, 0);
    EXPECT_EQ(p.GetRecordCount(), 0);
    EXPECT_EQ(p.nameServer.FindId("kept"), 4);
    p.Destroy();
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
    EXPECT_EQ(RegularFiles(dir), 2);  // no temporary file is left behind
    FXPackage q;
    EXPECT_FALSE(q.Save(P("no/such/dir/x.dat").c_str(), 0));
}

TEST_F(Package, NotAPackageLeavesItEmpty) {
    WriteAll(P("short"), Bytes{5, 0, 0});
    Bytes wrong;
    PutStr(&wrong, "pck02");
    PutI32(&wrong, 0);
    WriteAll(P("wrong"), wrong);
    WriteAll(P("cut"), Ints({50}, "pck01"));
    WriteAll(P("ok"), PackageFile({{1, -1, "x"}}, false));
    for (const char* name : {"short", "wrong", "cut", "missing"}) {
        FXPackage p;
        ASSERT_TRUE(p.Load(P("ok").c_str()));
        EXPECT_FALSE(p.Load(P(name).c_str())) << name;
        EXPECT_EQ(p.GetRecordCount(), 0) << name;
        EXPECT_EQ(p.GetDataPtr(1), nullptr) << name;
    }
}

TEST_F(Package, AnySAmongTheHeaderFlagsScramblesUpToANul) {
    Bytes body = PackageBody({{1, -1, "abcdefgh"}});
    FXPackage p;
    ASSERT_TRUE(Load(&p, PackageFile(body, true, "pck01xs")));
    EXPECT_EQ(RecordText(&p, 1), "abcdefgh");
    ASSERT_TRUE(Load(&p, PackageFile(body, false, std::string("pck01\0s", 7))));
    EXPECT_EQ(RecordText(&p, 1), "abcdefgh");
}

}  // namespace
