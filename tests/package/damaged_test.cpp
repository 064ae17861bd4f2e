// Damaged and hostile packages load as empty or partial, never beyond their
// bytes (run these under the address sanitizer).
#include <cstring>
#include <string>

#include "package/data.h"
#include "package/package.h"
#include "pkg_util.h"

namespace {

// Every reader handed out must lie inside the data area.
void ExpectReadersInside(const FXPackage& p) {
    ASSERT_EQ(p.records.count, p.ids.count);
    for (int i = 0; i < p.records.count; ++i) {
        auto* d = static_cast<FXPackageData*>(p.records.data[i]);
        if (!d) continue;
        EXPECT_GE(d->start, p.data);
        EXPECT_LE(d->start + d->size, p.data + p.dataSize);
    }
}

// Walks a record with every kind of read, as loaders do.
void Walk(FXPackage* p, int id) {
    FXPackageData* d = p->GetDataPtr(id);
    if (!d) return;
    FXStr s;
    FXStrArray sa;
    FXArray a;
    FXFloatArray fa;
    float f4[4];
    for (int k = 0; k < 8 && d->remaining > 0; ++k) {
        d->ReadString(&s);
        d->ReadStringArray(&sa);
        d->ReadArray(&a);
        d->ReadFloatArray(&fa);
        d->ReadFloat4(f4);
        d->ReadDouble();
        d->ReadBool();
    }
    FXVectorMap vm;
    vm.LoadC(p, p->GetDataPtr(id));
    FXNumPool np;
    np.LoadC(p, p->GetDataPtr(id));
}

Bytes Sample(bool scrambled) {
    Bytes rec;
    PutStr(&rec, "name");
    PutI32(&rec, 3);
    for (int i = 0; i < 3; ++i) PutI32(&rec, i);
    return PackageFile({{0, -1, std::string(rec.begin(), rec.end())}, {1, 1061, "jpeg data"}, {2, -1, "zz"}}, scrambled);
}

TEST(Damaged, EveryTruncationLoadsWithoutReadingPastTheEnd) {
    for (bool scrambled : {false, true}) {
        Bytes full = Sample(scrambled);
        for (size_t n = 0; n <= full.size(); ++n) {
            // An exact-size heap copy, so that the sanitizer sees any overrun.
            Bytes cut(full.begin(), full.begin() + static_cast<long>(n));
            FXPackage p;
            p.LoadFromMemory(cut.data(), cut.size());
            ExpectReadersInside(p);
            for (int id = 0; id < 3; ++id) Walk(&p, id);
            if (n == full.size()) {
                EXPECT_EQ(p.GetRecordCount(), 3);
            }
        }
    }
}

TEST(Damaged, UnscrambledTruncationKeepsTheRecordsThatFit) {
    Bytes full = Sample(false);
    Bytes cut(full.begin(), full.end() - 2);  // the last record loses its bytes
    FXPackage p;
    ASSERT_TRUE(p.LoadFromMemory(cut.data(), cut.size()));
    EXPECT_NE(p.GetDataPtr(0), nullptr);
    EXPECT_NE(p.GetDataPtr(1), nullptr);
    EXPECT_EQ(p.GetDataPtr(2), nullptr);
    EXPECT_EQ(p.GetDataType(2), -1);
    EXPECT_EQ(p.GetLoadInfo().damaged, 1);
}

TEST(Damaged, LyingListCountsGiveAnEmptyPackage) {
    for (int32_t lie : {0x7fffffff, 0x40000000, 1000}) {
        Bytes body;
        PutI32(&body, lie);  // ids claims far more than the body holds
        PutI32(&body, 1);
        PutI32(&body, 1);
        PutI32(&body, 0);
        Bytes f = PackageFile(body, false);
        FXPackage p;
        ASSERT_TRUE(p.LoadFromMemory(f.data(), f.size()));
        EXPECT_EQ(p.GetRecordCount(), 0);
        EXPECT_EQ(p.GetLoadInfo().counts[0], lie);
    }
}

TEST(Damaged, ListsOfDifferentLengthKeepTheShortest) {
    Bytes body;
    PutI32(&body, 2);
    PutI32(&body, 10);
    PutI32(&body, 11);
    PutI32(&body, 1);  // one offset only
    PutI32(&body, 0);
    PutI32(&body, 2);
    PutI32(&body, 1);
    PutI32(&body, 1);
    PutI32(&body, 2);
    PutI32(&body, -1);
    PutI32(&body, -1);
    body.push_back('a');
    body.push_back('b');
    Bytes f = PackageFile(body, false);
    FXPackage p;
    ASSERT_TRUE(p.LoadFromMemory(f.data(), f.size()));
    EXPECT_EQ(p.GetRecordCount(), 1);
    EXPECT_EQ(p.ids.count, 1);
    EXPECT_NE(p.GetDataPtr(10), nullptr);
    EXPECT_EQ(p.GetDataPtr(11), nullptr);
}

TEST(Damaged, RecordsOutsideTheDataAreaAreSkipped) {
    struct Case {
        int32_t off, size;
    } cases[] = {{0, 100}, {-4, 2}, {2, -1}, {0x7ffffff0, 0x20}, {0x7fffffff, 0x7fffffff}, {6, 1}};
    for (const Case& c : cases) {
        Bytes body;
        PutI32(&body, 3);
        PutI32(&body, 1);
        PutI32(&body, 2);
        PutI32(&body, 1);  // a second record with id 1 that is sound
        PutI32(&body, 3);
        PutI32(&body, 0);
        PutI32(&body, c.off);
        PutI32(&body, 2);
        PutI32(&body, 3);
        PutI32(&body, 2);
        PutI32(&body, c.size);
        PutI32(&body, 4);
        PutI32(&body, 3);
        PutI32(&body, -1);
        PutI32(&body, -1);
        PutI32(&body, 1056);
        for (char ch : std::string("abcdef")) body.push_back(static_cast<uint8_t>(ch));
        Bytes f = PackageFile(body, false);
        FXPackage p;
        ASSERT_TRUE(p.LoadFromMemory(f.data(), f.size()));
        ExpectReadersInside(p);
        EXPECT_EQ(p.GetDataPtr(2), nullptr) << c.off << "," << c.size;
        ASSERT_NE(p.GetDataPtr(1), nullptr);
        EXPECT_EQ(p.GetDataPtr(1)->size, 2);  // the first record of id 1
        EXPECT_EQ(p.GetLoadInfo().damaged, 1);
    }
}

TEST(Damaged, DamagedFirstRecordGivesWayToALaterOneWithItsId) {
    Bytes body;
    PutI32(&body, 2);
    PutI32(&body, 7);
    PutI32(&body, 7);
    PutI32(&body, 2);
    PutI32(&body, 50);
    PutI32(&body, 0);
    PutI32(&body, 2);
    PutI32(&body, 1);
    PutI32(&body, 1);
    PutI32(&body, 2);
    PutI32(&body, -1);
    PutI32(&body, 1066);
    body.push_back('q');
    Bytes f = PackageFile(body, false);
    FXPackage p;
    ASSERT_TRUE(p.LoadFromMemory(f.data(), f.size()));
    ASSERT_NE(p.GetDataPtr(7), nullptr);
    EXPECT_EQ(*p.GetDataPtr(7)->start, 'q');
    EXPECT_EQ(p.GetDataType(7), 1066);
}

TEST(Damaged, HostileHeaderLengths) {
    for (int32_t len : {-1, 0, 4, 0x7fffffff}) {
        Bytes f;
        PutI32(&f, len);
        for (char ch : std::string("pck01s")) f.push_back(static_cast<uint8_t>(ch));
        for (int i = 0; i < 16; ++i) f.push_back(0);
        FXPackage p;
        EXPECT_FALSE(p.LoadFromMemory(f.data(), f.size())) << len;
        EXPECT_EQ(p.GetRecordCount(), 0);
    }
}

TEST(Damaged, SavingAPartlyDamagedPackageKeepsItsBytes) {
    Bytes full = Sample(false);
    Bytes cut(full.begin(), full.end() - 2);
    FXPackage p;
    ASSERT_TRUE(p.LoadFromMemory(cut.data(), cut.size()));
    std::string path = (std::filesystem::temp_directory_path() / "fxpkg_damaged_resave.dat").string();
    ASSERT_TRUE(p.Save(path.c_str(), 0));
    FXPackage q;
    ASSERT_TRUE(q.Load(path.c_str()));
    EXPECT_EQ(q.GetLoadInfo().damaged, 1);
    EXPECT_EQ(q.GetDataPtr(1)->size, 9);
    std::filesystem::remove(path);
}

}  // namespace
