// Packages loaded from a mapped file: the same records as a load from
// memory, private to the process, and released on Destroy and reload.
#include <cerrno>
#include <string>
#include <tuple>
#include <vector>

#include "base/file.h"
#include "pkg_util.h"

namespace {

#ifdef _WIN32
const bool kReplaceRefusedWhileMapped = true;
#else
const bool kReplaceRefusedWhileMapped = false;
#endif

// What a load left: every record's id, type and bytes, and what it found.
std::string Dump(FXPackage* p) {
    std::string s;
    for (int i = 0; i < p->ids.count; ++i) {
        int id = p->ids.GetInt(i);
        s += std::to_string(id) + ":" + std::to_string(p->GetDataType(id)) + ":" + RecordText(p, id) + ";";
    }
    const FXPackageLoadInfo& in = p->GetLoadInfo();
    return s + " records " + std::to_string(in.records) + " damaged " + std::to_string(in.damaged) + " scrambled " +
           std::to_string(in.scrambled) + " body " + std::to_string(in.bodySize);
}

TEST(MappedPackage, GivesTheRecordsOfTheSameBytesLoadedFromMemory) {
    // Records large enough for whole 8 x 8 blocks and tiles of the
    // transposition, with sizes that are no multiple of them.
    std::string big(70000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 300);
    const std::vector<Rec> recs = {{4, 1061, "jpeg"}, {9, -1, big}, {2, -1, ""}, {9, 1066, "second nine"}, {30, -1, "tail"}};
    for (bool scrambled : {false, true}) {
        const std::string whole = PackageFile(recs, scrambled);
        // Whole, without its last record's bytes (a file shorter than its
        // lists say), and cut inside the lists.
        for (size_t cut : {size_t(0), size_t(3), size_t(4 + 11), whole.size() - 30}) {
            SCOPED_TRACE(testing::Message() << "scrambled " << scrambled << " cut " << cut);
            fxtest::TempDir dir;
            const std::string bytes = whole.substr(0, whole.size() - cut);
            fxtest::WriteFile(dir.File("p.dat"), bytes);
            FXPackage fromFile, fromMemory;
            bool a = fromFile.Load(dir.File("p.dat").c_str()), b = LoadBytes(&fromMemory, bytes);
            EXPECT_EQ(a, b);
            EXPECT_EQ(Dump(&fromFile), Dump(&fromMemory));
            EXPECT_EQ(fromFile.GetLoadInfo().fileSize, static_cast<int64_t>(bytes.size()));
        }
    }
}

TEST(MappedPackage, RecordsArePrivateAndDestroyOrReloadLetsTheFileGo) {
    fxtest::TempDir dir;
    const std::string path = dir.File("p.dat");
    for (bool scrambled : {false, true}) {
        SCOPED_TRACE(scrambled);
        fxtest::WriteFile(path, PackageFile({{1, -1, "one"}, {2, -1, "two"}}, scrambled));
        FXPackage p;
        ASSERT_TRUE(p.Load(path.c_str()));
        // Writing into a record changes the package in memory, not the file.
        p.GetDataPtr(1)->start[0] = 'X';
        FXPackage q;
        ASSERT_TRUE(q.Load(path.c_str()));
        EXPECT_EQ(std::make_pair(RecordText(&p, 1), RecordText(&q, 1)), std::make_pair(std::string("Xne"), std::string("one")));
        // Saved over its own file with a record added: the old records come
        // along and the file is the new package. Windows refuses to replace
        // a file while another package maps it (p, when plain: a scrambled
        // one is read whole): the old file stays and q keeps its records
        // until p lets go.
        const std::string before = fxtest::ReadFile(path);
        fxtest::WriteFile(dir.File("three.bin"), "three");
        q.AddDataFile(3, dir.File("three.bin").c_str());
        bool replaced = q.Save(path.c_str(), scrambled ? 1 : 0);
        EXPECT_EQ(replaced, scrambled || !kReplaceRefusedWhileMapped);
        if (!replaced) {
            EXPECT_EQ(std::make_tuple(fxtest::ReadFile(path), RecordText(&q, 2), q.pendingFiles.count),
                      std::make_tuple(before, "two", 1));
            p.Destroy();
            ASSERT_TRUE(q.Save(path.c_str(), scrambled ? 1 : 0));
        }
        EXPECT_EQ(RecordText(&q, 2) + RecordText(&q, 3), "twothree");
        q.Destroy();
        EXPECT_EQ(std::make_pair(q.GetRecordCount(), RecordText(&q, 1)), std::make_pair(0, std::string("<none>")));
        // The earlier load keeps its own bytes; the replaced file is read anew.
        if (replaced) {
            EXPECT_EQ(RecordText(&p, 1), "Xne");
        }
        ASSERT_TRUE(p.Load(path.c_str()));
        EXPECT_EQ(RecordText(&p, 1) + RecordText(&p, 3), "onethree");
        // Destroyed, it holds the file no more (Windows removes no mapped file).
        p.Destroy();
        ASSERT_TRUE(fxRemoveFile(path.c_str()));
        EXPECT_FALSE(p.Load(path.c_str()));
        EXPECT_EQ(p.GetRecordCount(), 0);
    }
}

TEST(MapFile, BothModesGiveTheFileAndRefuseWhatIsNoRegularFile) {
    fxtest::TempDir dir;
    std::string bytes(3 << 20, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i ^ (i >> 9));
    fxtest::WriteFile(dir.File("f"), bytes);
    fxtest::WriteFile(dir.File("empty"), "");
    for (unsigned mode : {unsigned(FX_MAP_LAZY), unsigned(FX_MAP_READ)}) {
        SCOPED_TRACE(mode);
        FXFileMap m, e, none;
        int64_t progressed = 0;
        ASSERT_TRUE(fxMapFile(dir.File("f").c_str(), mode, &m, [&](int64_t done, int64_t) { progressed = done; }));
        EXPECT_TRUE(m.size == static_cast<int64_t>(bytes.size()) &&
                    std::string(reinterpret_cast<char*>(m.data), bytes.size()) == bytes);
        EXPECT_EQ(progressed, mode == FX_MAP_READ ? m.size : 0);
        m.data[5] = 'w';  // private to the process
        EXPECT_EQ(fxtest::ReadFile(dir.File("f")), bytes);
        fxUnmapFile(&m);
        EXPECT_TRUE(m.data == nullptr && m.size == 0);
        ASSERT_TRUE(fxMapFile(dir.File("empty").c_str(), mode, &e));
        EXPECT_TRUE(e.data == nullptr && e.size == 0);
        errno = 0;
        EXPECT_FALSE(fxMapFile(dir.File("missing").c_str(), mode, &none));
        EXPECT_EQ(errno, ENOENT);
        EXPECT_FALSE(fxMapFile(dir.path().c_str(), mode, &none));
        EXPECT_EQ(none.data, nullptr);
    }
}

}  // namespace
