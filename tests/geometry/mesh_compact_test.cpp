// The compact form: corner streams over a vector map, their decoding and
// merging, the encoder, and damaged streams.
#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "geometry/mesh.h"
#include "mesh_util.h"
#include "package/data.h"
#include "package/package.h"
#include "../support/testutil.h"

using namespace meshtest;

namespace {

// n vectors in each list: position i = (i, i + 0.5, -i), normal i =
// (0, 0, i), texture i = (i / 8, 1 - i / 8).
void MakeMap(FXVectorMap* map, int n) {
    for (int i = 0; i < n; ++i) {
        float f = static_cast<float>(i);
        float p[3] = {f, f + 0.5f, -f}, q[3] = {0.0f, 0.0f, f}, t[2] = {f / 8, 1.0f - f / 8};
        map->PushVecPos(p);
        map->PushVecNorm(q);
        map->PushVecTex(t);
    }
    map->SizeUsers();
}

void MakePool(FXNumPool* pool, const std::vector<int>& bytes) {
    for (int b : bytes) pool->PushByte(static_cast<unsigned char>(b));
}

// The header form as LoadMeshIC leaves it.
void Header(FXMesh* m, int v, int i) {
    m->Realloc(v, i);
    memset(m->vertices, 0, sizeof(FXVertex) * v);
    memset(m->indices, 0, sizeof(int32_t) * i);
}

// Vertex k holds the k-th (position, normal, texture) triple of the map.
void ExpectTriples(const FXMesh& m, const std::vector<std::array<int, 3>>& triples) {
    ASSERT_EQ(m.vertexCount, static_cast<int>(triples.size()));
    for (int v = 0; v < m.vertexCount; ++v) {
        const float* r = m.vertices[v].f;
        int p = triples[v][0], n = triples[v][1], t = triples[v][2];
        std::vector<float> want = {float(p), p + 0.5f, -float(p), 0, 0, float(n), t / 8.0f, 1.0f - t / 8.0f};
        EXPECT_EQ(std::vector<float>(r, r + 8), want) << "vertex " << v;
        for (int k = FX_VTX_ACCNORM; k <= FX_VTX_MARK; ++k) EXPECT_EQ(r[k], 0.0f) << "vertex " << v;
    }
}

// Map, header and pool in one record, as a model stores them, read back
// through a package cursor.
void SaveAndLoadThroughRecord(FXMesh* const* meshes, FXMesh* const* out, int n, const fxtest::TempDir& dir) {
    FXVectorMap map;
    std::vector<FXNumPool*> pools;
    for (int k = 0; k < n; ++k) {
        pools.push_back(new FXNumPool(64));
        meshes[k]->ToVMap(&map, pools.back());
    }
    std::string path = dir.File("compact.bin");
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    map.Save(f);
    for (int k = 0; k < n; ++k) {
        meshes[k]->SaveMeshI(f);
        pools[k]->Save(f);
        delete pools[k];
    }
    fclose(f);
    std::string bytes = fxtest::ReadFile(path);
    FXPackageData d;
    d.InitData(&bytes[0], static_cast<int>(bytes.size()));
    FXVectorMap in;
    in.LoadC(nullptr, &d);
    for (int k = 0; k < n; ++k) {
        ASSERT_TRUE(out[k]->LoadMeshIC(nullptr, &d, nullptr));
        FXNumPool pool;
        pool.LoadC(nullptr, &d);
        ASSERT_TRUE(out[k]->FromVMap(&in, &pool));
    }
    EXPECT_EQ(d.remaining, 0);
}

}  // namespace

TEST(MeshCornerStream, OnlyIdenticalTriplesShareAVertex) {
    FXVectorMap map;
    MakeMap(&map, 4);
    struct Case {
        const char* what;
        std::vector<int> bytes;
        std::vector<int32_t> indices;
        std::vector<std::array<int, 3>> triples;
    } cases[] = {
        // (0,0,0) (1,1,1) (2,2,2) by "previous + 1", then (2,2,2) (1,1,1)
        // (3,3,3) as bytes.
        {"two triangles sharing an edge",
         {0, 0, 0, 0x15, 2, 2, 2, 0x15, 1, 1, 1, 0x15, 3, 3, 3},
         {0, 1, 2, 2, 1, 3},
         {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}}},
        // (1,1,1) (1,2,1) (1,1,2) (1,1,1) (1,2,1) (2,1,1)
        {"triples differing in one part",
         {0x15, 1, 1, 1, 0x15, 1, 2, 1, 0x15, 1, 1, 2, 0x15, 1, 1, 1, 0x15, 1, 2, 1, 0x15, 2, 1, 1},
         {0, 1, 2, 0, 1, 3},
         {{1, 1, 1}, {1, 2, 1}, {1, 1, 2}, {2, 1, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FXNumPool pool;
        MakePool(&pool, c.bytes);
        // A second mesh over the same map starts its numbering afresh.
        for (int pass = 0; pass < 2; ++pass) {
            FXMesh m;
            Header(&m, 6, 6);
            EXPECT_TRUE(m.FromVMap(&map, &pool));
            EXPECT_EQ(Indices(m), c.indices);
            ExpectTriples(m, c.triples);
        }
    }
}

TEST(MeshCornerStream, ControlBitsChooseTheWidthOfEachIndex) {
    FXVectorMap map;
    MakeMap(&map, 70001);
    FXNumPool pool;
    MakePool(&pool, {0x00,                          // (0, 0, 0)
                     0x15, 7, 8, 9,                 // bytes: (7, 8, 9)
                     0x00,                          // previous + 1: (8, 9, 10)
                     0x29, 5, 0x2c, 1, 0x34, 0x12,  // byte, word, word: (5, 300, 4660)
                     0x3f});                        // three ints follow
    pool.PushInt(70000);
    pool.PushInt(65536);
    pool.PushInt(1);
    MakePool(&pool, {0x00});  // previous + 1 gives position 70001, outside the map
    FXMesh m;
    Header(&m, 6, 6);
    // Position 70001 is outside the map: the stream is damaged at corner 5.
    EXPECT_FALSE(m.FromVMap(&map, &pool));
    ASSERT_EQ(m.indexCount, 5);
    ExpectTriples(m, {{0, 0, 0}, {7, 8, 9}, {8, 9, 10}, {5, 300, 4660}, {70000, 65536, 1}});
    ExpectIndicesInside(m);
    // Bits 6 and 7 carry nothing.
    FXNumPool high;
    MakePool(&high, {0xc0, 0x40, 0x80});
    FXMesh h;
    Header(&h, 3, 3);
    EXPECT_TRUE(h.FromVMap(&map, &high));
    EXPECT_EQ(Indices(h), (std::vector<int32_t>{0, 1, 2}));
    ExpectTriples(h, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}});
}

TEST(MeshCornerStream, DamagedStreamsKeepOnlyWhatDecoded) {
    FXVectorMap map;
    MakeMap(&map, 4);
    struct Case {
        const char* what;
        std::vector<int> bytes;
        int v, i;
        int corners;   // corners kept
        int vertices;  // vertices made
    } cases[] = {
        {"stream ends early", {0, 0, 0, 0x15, 0, 0, 0}, 6, 6, 4, 3},
        {"value cut inside a corner", {0, 0x15, 3, 3}, 6, 6, 1, 1},
        {"index beyond the map", {0, 0x15, 1, 9, 1, 0}, 6, 6, 1, 1},
        {"more vertices than announced", {0, 0, 0}, 2, 3, 2, 2},
        {"no corners at all", {}, 3, 3, 0, 0},
        {"a negative int is no index", {0x03, 0xff, 0xff, 0xff, 0xff}, 3, 3, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FXNumPool pool;
        MakePool(&pool, c.bytes);
        FXMesh m;
        Header(&m, c.v, c.i);
        EXPECT_FALSE(m.FromVMap(&map, &pool));
        EXPECT_EQ(m.indexCount, c.corners);
        EXPECT_EQ(m.vertexCount, c.vertices);
        ExpectIndicesInside(m);
    }
    // Nothing to decode, or nothing to decode with.
    FXNumPool pool;
    FXMesh empty;
    EXPECT_TRUE(empty.FromVMap(&map, &pool));
    EXPECT_FALSE(empty.FromVMap(nullptr, &pool));
    EXPECT_FALSE(empty.FromVMap(&map, nullptr));
}

TEST(MeshCornerStream, RandomStreamsNeverLeaveTheVertexList) {
    FXVectorMap map;
    MakeMap(&map, 20);
    std::mt19937 rng(12345);
    for (int run = 0; run < 3000; ++run) {
        FXNumPool pool;
        int len = static_cast<int>(rng() % 64);
        for (int k = 0; k < len; ++k) {
            // Mostly small values so that streams decode for a while.
            unsigned r = rng();
            pool.PushByte(static_cast<unsigned char>(r % 4 == 0 ? r >> 8 : (r >> 8) % 24));
        }
        FXMesh m;
        Header(&m, 1 + static_cast<int>(rng() % 12), 1 + static_cast<int>(rng() % 30));
        m.FromVMap(&map, &pool);
        ExpectIndicesInside(m);
        if (HasFatalFailure()) return;
    }
}

TEST(MeshEncoder, RoundTripGivesTheMeshWithItsCornersMerged) {
    fxtest::TempDir dir;
    FXMesh a;
    // Vertex 4 repeats vertex 1's geometry with another colour, vertex 5 is
    // never used, and vertex 3 is used before vertex 2.
    MakeMesh(&a, 6, {0, 1, 3, 3, 4, 2, 2, 0, 4});
    for (int k = 0; k < 8; ++k) a.vertices[4].f[k] = a.vertices[1].f[k];
    a.renderPass = 1;
    a.materialName.Set("hair");
    // A second mesh that shares one position with the first.
    FXMesh b;
    MakeMesh(&b, 3, {2, 1, 0});
    for (int v = 0; v < 3; ++v)
        for (float& f : b.vertices[v].f) f += 1000.0f;
    for (int k = 0; k < 3; ++k) b.vertices[0].f[k] = a.vertices[0].f[k];

    FXMesh ra, rb;
    FXMesh* in[2] = {&a, &b};
    FXMesh* out[2] = {&ra, &rb};
    SaveAndLoadThroughRecord(in, out, 2, dir);
    if (HasFatalFailure()) return;
    FXMesh ca, cb;
    ca.Copy(&a);
    cb.Copy(&b);
    ca.ApplyRedir();
    cb.ApplyRedir();
    EXPECT_EQ(ca.vertexCount, 4);
    EXPECT_EQ(Indices(ca), (std::vector<int32_t>{0, 1, 2, 2, 1, 3, 3, 0, 1}));
    ExpectSameGeometry(ra, ca);
    ExpectSameGeometry(rb, cb);
    EXPECT_EQ(ra.renderPass, 1);
    EXPECT_STREQ(ra.materialName, "hair");

    // The meshes share the map: one list holds each distinct vector once.
    FXVectorMap map;
    FXNumPool pa, pb;
    a.ToVMap(&map, &pa);
    b.ToVMap(&map, &pb);
    EXPECT_EQ(map.numPos, 4 + 2);
    EXPECT_EQ(map.numTex, 4 + 3);
}

TEST(MeshEncoder, AMeshInDecodedFormComesBackUnchanged) {
    // Enough distinct vectors that indices need bytes, words and ints.
    const int n = 70000;
    std::vector<int32_t> idx;
    for (int i = 0; i < n; i += 2) idx.insert(idx.end(), {i, i + 1, i / 2});
    FXMesh m;
    MakeMesh(&m, n, idx);
    m.ApplyRedir();
    FXMesh before;
    before.Copy(&m);
    m.ApplyRedir();
    ExpectSameGeometry(m, before);

    FXVectorMap map;
    FXNumPool pool(4096);
    m.ToVMap(&map, &pool);
    EXPECT_EQ(map.numPos, n);
    FXMesh back;
    Header(&back, m.vertexCount, m.indexCount);
    ASSERT_TRUE(back.FromVMap(&map, &pool));
    ExpectSameGeometry(back, m);
    EXPECT_EQ(pool.readOffset, pool.used);
    // Indices outside the vertices: nothing is encoded.
    FXMesh bad;
    MakeMesh(&bad, 2, {0, 1, 2});
    FXVectorMap badMap;
    FXNumPool badPool;
    bad.ToVMap(&badMap, &badPool);
    EXPECT_EQ(badPool.used, 0);
    EXPECT_EQ(badMap.numPos, 0);
}
