// The compact form: corner streams over a vector map, their decoding and
// merging, the encoder, and damaged streams.
#include <array>
#include <vector>

#include "mesh_util.h"
#include "package/data.h"

using namespace meshtest;

namespace {

// n vectors in each list: position i = (i, i + 0.5, -i), normal i =
// (0, 0, i), texture i = (i / 8, 1 - i / 8).
void MakeMap(FXVectorMap* map, int n) {
    for (int i = 0; i < n; ++i) {
        float f = static_cast<float>(i), p[3] = {f, f + 0.5f, -f}, q[3] = {0.0f, 0.0f, f}, t[2] = {f / 8, 1.0f - f / 8};
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
        auto [p, n, t] = triples[v];
        const float* r = m.vertices[v].f;
        std::vector<float> got(r, r + 8), want = {float(p), p + 0.5f, -float(p), 0, 0, float(n), t / 8.0f, 1.0f - t / 8.0f};
        got.insert(got.end(), r + FX_VTX_ACCNORM, r + FX_VTX_MARK + 1);  // the work fields are clear
        want.resize(want.size() + FX_VTX_MARK + 1 - FX_VTX_ACCNORM, 0.0f);
        EXPECT_EQ(got, want) << "vertex " << v;
    }
}

TEST(MeshCornerStream, ControlBitsChooseTheWidthOfEachIndex) {
    FXVectorMap map;
    MakeMap(&map, 70001);
    FXNumPool pool, high;
    MakePool(&pool, {0x00,                          // (0, 0, 0)
                     0x15, 7, 8, 9,                 // bytes: (7, 8, 9)
                     0x00,                          // previous + 1: (8, 9, 10)
                     0x29, 5, 0x2c, 1, 0x34, 0x12,  // byte, word, word: (5, 300, 4660)
                     0x3f});                        // three ints follow
    pool.PushInt(70000);
    pool.PushInt(65536);
    pool.PushInt(1);
    MakePool(&pool, {0x00});  // previous + 1 gives position 70001, outside the map
    FXMesh m, h;
    Header(&m, 6, 6);
    EXPECT_FALSE(m.FromVMap(&map, &pool));  // damaged at corner 5
    ASSERT_EQ(m.indexCount, 5);
    ExpectTriples(m, {{0, 0, 0}, {7, 8, 9}, {8, 9, 10}, {5, 300, 4660}, {70000, 65536, 1}});
    MakePool(&high, {0xc0, 0x40, 0x80});  // bits 6 and 7 carry nothing
    Header(&h, 3, 3);
    EXPECT_TRUE(h.FromVMap(&map, &high));
    EXPECT_EQ(Indices(h), (std::vector<int32_t>{0, 1, 2}));
    ExpectTriples(h, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}});
    FXNumPool none;  // nothing to decode, or nothing to decode with
    FXMesh empty;
    EXPECT_TRUE(empty.FromVMap(&map, &none));
    EXPECT_FALSE(empty.FromVMap(nullptr, &none) || empty.FromVMap(&map, nullptr));
}

TEST(MeshEncoder, MergedMeshesRoundTripWithIndicesOfEveryWidth) {
    const int n = 70000;  // enough distinct vectors that indices need bytes, words and ints
    std::vector<int32_t> idx;
    for (int i = 0; i < n; i += 2) idx.insert(idx.end(), {i, i + 1, i / 2});
    FXMesh m, before, back, bad;
    MakeMesh(&m, n, idx);
    m.ApplyRedir();
    before.Copy(&m);
    m.ApplyRedir();
    ExpectSameGeometry(m, before);
    FXVectorMap map, badMap;
    FXNumPool pool(4096), badPool;
    m.ToVMap(&map, &pool);
    EXPECT_EQ(map.numPos, n);
    Header(&back, m.vertexCount, m.indexCount);
    ASSERT_TRUE(back.FromVMap(&map, &pool));
    ExpectSameGeometry(back, m);
    EXPECT_EQ(pool.readOffset, pool.used);
    // Merging: vertex 4 repeats vertex 1's geometry with another colour,
    // vertex 5 is never used, and vertex 3 is used before vertex 2.
    FXMesh a;
    MakeMesh(&a, 6, {0, 1, 3, 3, 4, 2, 2, 0, 4});
    for (int k = 0; k < 8; ++k) a.vertices[4].f[k] = a.vertices[1].f[k];
    a.ApplyRedir();
    EXPECT_EQ(a.vertexCount, 4);
    EXPECT_EQ(Indices(a), (std::vector<int32_t>{0, 1, 2, 2, 1, 3, 3, 0, 1}));
    EXPECT_EQ(Floats(a, 0), (std::vector<float>{0, 100, 300, 200}));
    MakeMesh(&bad, 2, {0, 1, 2});  // indices outside the vertices: nothing is encoded
    bad.ToVMap(&badMap, &badPool);
    EXPECT_EQ(std::make_pair(badPool.used, badMap.numPos), std::make_pair(0, 0));
}

}  // namespace
