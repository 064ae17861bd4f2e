// Number pool and vector map: record and file forms, the user lookup.
#include <cstring>

#include "package/data.h"
#include "pkg_util.h"

namespace {

// The file form: what Save writes, and whether Load takes the bytes.
template <class T>
std::string Saved(const T& x) {
    FILE* f = tmpfile();
    EXPECT_TRUE(x.Save(f));
    std::string b = fxtest::StreamBytes(f);
    fclose(f);
    return b;
}

template <class T>
bool Loaded(T* x, const std::string& bytes) {
    FILE* f = fxtest::StreamWith(bytes);
    bool ok = x->Load(f);
    fclose(f);
    return ok;
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
    EXPECT_FALSE(p.GetNextWord(&w) || p.GetNextInt(&i));
    EXPECT_EQ(i, 99);
    for (int k = 0; k < 1000; ++k) p.PushByte(static_cast<unsigned char>(k));  // growing keeps the position
    EXPECT_TRUE(p.GetNextByte(&b));
    EXPECT_EQ(b, 3);
}

TEST(Data, PoolFileAndRecordFormsAgreeAndLyingSizesAreCut) {
    FXNumPool p;
    std::string want = Le32({10});
    for (int i = 0; i < 10; ++i) {
        p.PushByte(static_cast<unsigned char>(i * 11));
        want += static_cast<char>(i * 11);
    }
    EXPECT_EQ(Saved(p), want);
    std::string lie = Le32({0x7fffffff}, "\x09\x08");  // a size larger than the bytes behind it
    for (const std::string& b : {want, lie}) {
        bool sound = b == want;
        FXNumPool q, r;
        EXPECT_EQ(Loaded(&q, b), sound);
        Cursor c(b);
        EXPECT_EQ(r.LoadC(nullptr, &c.d), sound);
        EXPECT_EQ(c.d.remaining, 0);
        for (FXNumPool* x : {&q, &r}) {
            EXPECT_EQ(std::string(reinterpret_cast<char*>(x->data), x->used), b.substr(4));
            EXPECT_LE(x->capacity, sound ? 1 << 20 : 2);
        }
    }
}

// p position, n normal and t texture floats, counting up from 0, 100, 200.
std::string MapRecord(int p, int n, int t) {
    std::string b;
    for (auto [count, base] : {std::pair{p, 0.0f}, {n, 100.0f}, {t, 200.0f}}) {
        b += Le32({count});
        for (int i = 0; i < count; ++i) b += Le32({FloatBits(base + i)});
    }
    return b;
}

struct MapFromRecord : Cursor {
    FXVectorMap m;
    explicit MapFromRecord(std::string bytes) : Cursor(std::move(bytes)) { EXPECT_TRUE(m.LoadC(nullptr, &d)); }
};

TEST(Data, MapRecordAndFileFormsAgreeAndSevenPositionFloatsMakeTwoVectors) {
    MapFromRecord r(MapRecord(7, 6, 4));
    FXVectorMap& m = r.m;
    EXPECT_EQ((std::vector<int>{m.numPos, m.pos.count, m.numNorm, m.numTex, r.d.remaining}),
              (std::vector<int>{2, 7, 2, 2, 0}));
    float v[3];
    EXPECT_TRUE(m.GetVecPos(1, v));
    EXPECT_EQ(std::vector<float>(v, v + 3), (std::vector<float>{3, 4, 5}));
    EXPECT_FALSE(m.GetVecPos(2, v));
    EXPECT_EQ(v[0], 0.0f);
    EXPECT_TRUE(m.GetVecTex(1, v));
    EXPECT_EQ(v[1], 203.0f);
    EXPECT_EQ(m.pos.capacity, 7);  // lists are sized exactly, not by their growth step
    EXPECT_EQ(m.firstPos.count, 7);

    std::string b = MapRecord(6, 3, 2);
    FXVectorMap f;
    ASSERT_TRUE(Loaded(&f, b));
    EXPECT_EQ(f.numPos, 2);
    EXPECT_EQ(Saved(f), b);
    MapFromRecord liar(Le32({0x7fffffff, FloatBits(1.0f)}));  // a lying count stays bounded
    EXPECT_LE(liar.m.pos.count, 1 + FX_PCK_MAX_ZERO_FILL);
    EXPECT_EQ(liar.m.norm.count, 0);
    EXPECT_EQ(liar.m.pos.data[0], 1.0f);
}

TEST(VectorMap, UsersAreFoundByTheWholeTripleInsideTheLists) {
    MapFromRecord r(MapRecord(30, 30, 20));
    FXVectorMap& m = r.m;
    m.PushUsed(5, 1, 2, 0);
    m.PushUsed(5, 3, 2, 1);
    m.PushUsed(-1, 3, 2, 2);  // outside the lists: not kept
    m.PushUsed(100000, 0, 0, 3);
    EXPECT_EQ((std::vector<int>{m.GetUsed(5, 3, 2), m.GetUsed(5, 1, 2), m.GetUsed(5, 1, 9), m.GetUsed(6, 1, 2),
                                m.GetUsed(-1, 3, 2), m.GetUsed(0, 0, 1 << 30), m.GetUsed(0, 0, 0)}),
              (std::vector<int>{1, 0, -1, -1, -1, -1, -1}));
    m.ClearUsed();
    EXPECT_EQ(m.GetUsed(5, 1, 2), -1);
    m.PushUsed(5, 1, 2, 4);
    EXPECT_EQ(m.GetUsed(5, 1, 2), 4);
}

}  // namespace
