// Number pool and vector map: record and file forms, the user lookup.
#include <cstring>

#include "package/data.h"
#include "package/package.h"
#include "pkg_util.h"

namespace {

class Data : public ScratchTest {};

void PutF(Bytes* b, float f) {
    uint32_t u;
    memcpy(&u, &f, 4);
    PutI32(b, static_cast<int32_t>(u));
}

TEST(NumPool, ReadsStopAtUsed) {
    FXNumPool p;
    p.PushByte(0x01);
    p.PushByte(0x02);
    p.PushByte(0x03);
    p.Reseek();
    unsigned short w = 0;
    unsigned char b = 0;
    int i = 99;
    EXPECT_TRUE(p.GetNextWord(&w));
    EXPECT_EQ(w, 0x0201);
    EXPECT_FALSE(p.GetNextWord(&w));
    EXPECT_TRUE(p.GetNextByte(&b));
    EXPECT_EQ(b, 3);
    EXPECT_FALSE(p.GetNextByte(&b));
    EXPECT_FALSE(p.GetNextInt(&i));
    EXPECT_EQ(i, 99);
}

TEST(NumPool, GrowsByWholeSteps) {
    FXNumPool p(4);
    EXPECT_TRUE(p.Realloc(10));
    EXPECT_EQ(p.capacity, 12);
    FXNumPool q;
    q.PushInt(-2);
    EXPECT_EQ(q.capacity, 4);
    q.PushWord(0xbeef);
    q.Reseek();
    int v = 0;
    unsigned short w = 0;
    EXPECT_TRUE(q.GetNextInt(&v));
    EXPECT_EQ(v, -2);
    EXPECT_TRUE(q.GetNextWord(&w));
    EXPECT_EQ(w, 0xbeef);
}

TEST(NumPool, ReadPositionSurvivesGrowth) {
    FXNumPool p;
    p.PushByte(1);
    p.PushByte(2);
    p.Reseek();
    unsigned char b;
    p.GetNextByte(&b);
    for (int i = 0; i < 1000; ++i) p.PushByte(static_cast<unsigned char>(i));
    EXPECT_EQ(p.readPos, p.data + 1);
    EXPECT_TRUE(p.GetNextByte(&b));
    EXPECT_EQ(b, 2);
}

TEST_F(Data, PoolFileAndRecordFormsAgree) {
    FXNumPool p;
    for (int i = 0; i < 10; ++i) p.PushByte(static_cast<unsigned char>(i * 11));
    FILE* f = fopen(P("pool").c_str(), "wb");
    ASSERT_TRUE(p.Save(f));
    fclose(f);
    Bytes file = ReadAll(P("pool"));
    Bytes want;
    PutI32(&want, 10);
    for (int i = 0; i < 10; ++i) want.push_back(static_cast<uint8_t>(i * 11));
    EXPECT_EQ(file, want);

    FXNumPool q;
    f = fopen(P("pool").c_str(), "rb");
    EXPECT_TRUE(q.Load(f));
    fclose(f);
    ASSERT_EQ(q.used, 10);
    EXPECT_EQ(memcmp(q.data, want.data() + 4, 10), 0);

    FXPackageData d;
    d.InitData(file.data(), static_cast<int>(file.size()));
    FXNumPool r;
    EXPECT_TRUE(r.LoadC(nullptr, &d));
    ASSERT_EQ(r.used, 10);
    EXPECT_EQ(memcmp(r.data, want.data() + 4, 10), 0);
    EXPECT_EQ(d.remaining, 0);
}

TEST_F(Data, PoolSizeLargerThanItsBytesIsCut) {
    Bytes b;
    PutI32(&b, 0x7fffffff);
    b.push_back(9);
    b.push_back(8);
    FXPackageData d;
    d.InitData(b.data(), static_cast<int>(b.size()));
    FXNumPool p;
    EXPECT_FALSE(p.LoadC(nullptr, &d));
    EXPECT_EQ(p.used, 2);
    EXPECT_LE(p.capacity, 2);
    WriteAll(P("lie"), b);
    FILE* f = fopen(P("lie").c_str(), "rb");
    FXNumPool q;
    EXPECT_FALSE(q.Load(f));
    fclose(f);
    EXPECT_EQ(q.used, 2);
    EXPECT_EQ(q.data[1], 8);
}

Bytes MapRecord(int p, int n, int t) {
    Bytes b;
    PutI32(&b, p);
    for (int i = 0; i < p; ++i) PutF(&b, static_cast<float>(i));
    PutI32(&b, n);
    for (int i = 0; i < n; ++i) PutF(&b, 100.0f + i);
    PutI32(&b, t);
    for (int i = 0; i < t; ++i) PutF(&b, 200.0f + i);
    return b;
}

TEST(VectorMap, SevenPositionFloatsMakeTwoVectors) {
    Bytes b = MapRecord(7, 6, 4);
    FXPackageData d;
    d.InitData(b.data(), static_cast<int>(b.size()));
    FXVectorMap m;
    ASSERT_TRUE(m.LoadC(nullptr, &d));
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
    EXPECT_EQ(d.remaining, 0);
    // Lists are sized exactly, not by their growth step.
    EXPECT_EQ(m.pos.capacity, 7);
    EXPECT_EQ(m.firstPos.count, 7);
}

TEST_F(Data, MapFileFormIsTheRecordForm) {
    Bytes b = MapRecord(6, 3, 2);
    WriteAll(P("map"), b);
    FXVectorMap m;
    FILE* f = fopen(P("map").c_str(), "rb");
    ASSERT_TRUE(m.Load(f));
    fclose(f);
    EXPECT_EQ(m.numPos, 2);
    f = fopen(P("map2").c_str(), "wb");
    ASSERT_TRUE(m.Save(f));
    fclose(f);
    EXPECT_EQ(ReadAll(P("map2")), b);
}

TEST(VectorMap, UsersAreFoundByTheWholeTriple) {
    Bytes b = MapRecord(30, 30, 20);
    FXPackageData d;
    d.InitData(b.data(), static_cast<int>(b.size()));
    FXVectorMap m;
    ASSERT_TRUE(m.LoadC(nullptr, &d));
    m.PushUsed(5, 1, 2, 0);
    m.PushUsed(5, 3, 2, 1);
    EXPECT_EQ(m.GetUsed(5, 3, 2), 1);
    EXPECT_EQ(m.GetUsed(5, 1, 2), 0);
    EXPECT_EQ(m.GetUsed(5, 1, 9), -1);
    EXPECT_EQ(m.GetUsed(6, 1, 2), -1);
    m.ClearUsed();
    EXPECT_EQ(m.GetUsed(5, 1, 2), -1);
    m.PushUsed(5, 1, 2, 4);
    EXPECT_EQ(m.GetUsed(5, 1, 2), 4);
}

TEST(VectorMap, IndexesOutsideTheListsHaveNoUsers) {
    Bytes b = MapRecord(3, 3, 2);
    FXPackageData d;
    d.InitData(b.data(), static_cast<int>(b.size()));
    FXVectorMap m;
    ASSERT_TRUE(m.LoadC(nullptr, &d));
    m.PushUsed(-1, 3, 2, 0);
    m.PushUsed(100000, 0, 0, 1);
    EXPECT_EQ(m.GetUsed(-1, 0, 0), -1);
    EXPECT_EQ(m.GetUsed(0, 0, 1 << 30), -1);
    EXPECT_EQ(m.GetUsed(0, 0, 0), -1);
    m.PushUsed(0, 0, 0, 7);
    EXPECT_EQ(m.GetUsed(0, 0, 0), 7);
}

TEST(VectorMap, LyingCountsStayBounded) {
    Bytes b;
    PutI32(&b, 0x7fffffff);
    PutF(&b, 1.0f);
    FXPackageData d;
    d.InitData(b.data(), static_cast<int>(b.size()));
    FXVectorMap m;
    ASSERT_TRUE(m.LoadC(nullptr, &d));
    EXPECT_LE(m.pos.count, 1 + FX_PCK_MAX_ZERO_FILL);
    EXPECT_EQ(m.norm.count, 0);
    EXPECT_EQ(m.pos.data[0], 1.0f);
}

}  // namespace
