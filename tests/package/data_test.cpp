// Number pool and vector map: record and file forms, the user lookup.
#include <cstring>

#include "package/data.h"
#include "package/package.h"
#include "pkg_util.h"

namespace {

class Data : public ScratchTest {
protected:
    // Save or Load through a FILE of the scratch folder.
    template <class T>
    bool ViaFile(T* x, const std::string& name, bool save) {
        FILE* f = fopen(P(name).c_str(), save ? "wb" : "rb");
        if (!f) return false;
        bool ok = save ? x->Save(f) : x->Load(f);
        fclose(f);
        return ok;
    }
};

int32_t F(float f) {
    int32_t i;
    memcpy(&i, &f, 4);
    return i;
}

TEST(NumPool, ReadsStopAtUsedAndSurviveGrowth) {
    FXNumPool p;
    for (int b : {1, 2, 3}) p.PushByte(static_cast<unsigned char>(b));
    p.Reseek();
    unsigned short w = 0;
    unsigned char b = 0;
    int i = 99;
    EXPECT_TRUE(p.GetNextWord(&w));
    EXPECT_EQ(w, 0x0201);
    EXPECT_FALSE(p.GetNextWord(&w));
    EXPECT_FALSE(p.GetNextInt(&i));
    EXPECT_EQ(i, 99);
    // Growing the pool keeps the read position.
    for (int k = 0; k < 1000; ++k) p.PushByte(static_cast<unsigned char>(k));
    EXPECT_EQ(p.readPos, p.data + 2);
    EXPECT_TRUE(p.GetNextByte(&b));
    EXPECT_EQ(b, 3);
    FXNumPool q(4);
    EXPECT_TRUE(q.Realloc(10));
    EXPECT_EQ(q.capacity, 12);  // whole steps
    q.PushInt(-2);
    q.PushWord(0xbeef);
    q.Reseek();
    EXPECT_TRUE(q.GetNextInt(&i));
    EXPECT_EQ(i, -2);
    EXPECT_TRUE(q.GetNextWord(&w));
    EXPECT_EQ(w, 0xbeef);
}

TEST_F(Data, PoolFileAndRecordFormsAgreeAndLyingSizesAreCut) {
    FXNumPool p;
    for (int i = 0; i < 10; ++i) p.PushByte(static_cast<unsigned char>(i * 11));
    ASSERT_TRUE(ViaFile(&p, "pool", true));
    Bytes want = Ints({10});
    for (int i = 0; i < 10; ++i) want.push_back(static_cast<uint8_t>(i * 11));
    EXPECT_EQ(ReadAll(P("pool")), want);
    // A size larger than the bytes behind it.
    Bytes lie = Ints({0x7fffffff}, "\x09\x08");
    WriteAll(P("lie"), lie);
    for (const Bytes& b : {want, lie}) {
        bool sound = b == want;
        FXNumPool q, r;
        EXPECT_EQ(ViaFile(&q, sound ? "pool" : "lie", false), sound);
        Bytes copy = b;
        FXPackageData d;
        d.InitData(copy.data(), static_cast<int>(copy.size()));
        EXPECT_EQ(r.LoadC(nullptr, &d), sound);
        EXPECT_EQ(d.remaining, 0);
        for (FXNumPool* x : {&q, &r}) {
            ASSERT_EQ(x->used, static_cast<int>(b.size()) - 4);
            EXPECT_LE(x->capacity, sound ? 1 << 20 : 2);
            EXPECT_EQ(memcmp(x->data, b.data() + 4, b.size() - 4), 0);
        }
    }
}

Bytes MapRecord(int p, int n, int t) {
    Bytes b;
    for (auto [count, base] : {std::pair{p, 0.0f}, {n, 100.0f}, {t, 200.0f}}) {
        PutI32(&b, count);
        for (int i = 0; i < count; ++i) PutI32(&b, F(base + i));
    }
    return b;
}

struct MapFromRecord {
    Bytes b;
    FXPackageData d;
    FXVectorMap m;
    explicit MapFromRecord(Bytes bytes) : b(std::move(bytes)) {
        d.InitData(b.data(), static_cast<int>(b.size()));
        EXPECT_TRUE(m.LoadC(nullptr, &d));
    }
};

TEST(VectorMap, SevenPositionFloatsMakeTwoVectors) {
    MapFromRecord r(MapRecord(7, 6, 4));
    FXVectorMap& m = r.m;
    EXPECT_EQ(m.numPos, 2);
    EXPECT_EQ(m.pos.count, 7);
    EXPECT_EQ(m.numNorm, 2);
    EXPECT_EQ(m.numTex, 2);
    float v[3];
    EXPECT_TRUE(m.GetVecPos(1, v));
    EXPECT_EQ(v[0], 3.0f);
    EXPECT_EQ(v[2], 5.0f);
    EXPECT_FALSE(m.GetVecPos(2, v));
    EXPECT_EQ(v[0], 0.0f);
    EXPECT_TRUE(m.GetVecTex(1, v));
    EXPECT_EQ(v[1], 203.0f);
    EXPECT_EQ(r.d.remaining, 0);
    // Lists are sized exactly, not by their growth step.
    EXPECT_EQ(m.pos.capacity, 7);
    EXPECT_EQ(m.firstPos.count, 7);
}

TEST_F(Data, MapFileFormIsTheRecordForm) {
    Bytes b = MapRecord(6, 3, 2);
    WriteAll(P("map"), b);
    FXVectorMap m;
    ASSERT_TRUE(ViaFile(&m, "map", false));
    EXPECT_EQ(m.numPos, 2);
    ASSERT_TRUE(ViaFile(&m, "map2", true));
    EXPECT_EQ(ReadAll(P("map2")), b);
}

TEST(VectorMap, UsersAreFoundByTheWholeTripleInsideTheLists) {
    MapFromRecord r(MapRecord(30, 30, 20));
    FXVectorMap& m = r.m;
    m.PushUsed(5, 1, 2, 0);
    m.PushUsed(5, 3, 2, 1);
    m.PushUsed(-1, 3, 2, 2);      // outside the lists: not kept
    m.PushUsed(100000, 0, 0, 3);
    EXPECT_EQ(m.GetUsed(5, 3, 2), 1);
    EXPECT_EQ(m.GetUsed(5, 1, 2), 0);
    EXPECT_EQ(m.GetUsed(5, 1, 9), -1);
    EXPECT_EQ(m.GetUsed(6, 1, 2), -1);
    EXPECT_EQ(m.GetUsed(-1, 3, 2), -1);
    EXPECT_EQ(m.GetUsed(0, 0, 1 << 30), -1);
    EXPECT_EQ(m.GetUsed(0, 0, 0), -1);
    m.ClearUsed();
    EXPECT_EQ(m.GetUsed(5, 1, 2), -1);
    m.PushUsed(5, 1, 2, 4);
    EXPECT_EQ(m.GetUsed(5, 1, 2), 4);
}

TEST(VectorMap, LyingCountsStayBounded) {
    MapFromRecord r(Ints({0x7fffffff, F(1.0f)}));
    EXPECT_LE(r.m.pos.count, 1 + FX_PCK_MAX_ZERO_FILL);
    EXPECT_EQ(r.m.norm.count, 0);
    EXPECT_EQ(r.m.pos.data[0], 1.0f);
}

}  // namespace
