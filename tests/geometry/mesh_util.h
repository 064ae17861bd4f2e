// Helpers of the mesh tests: meshes with recognisable vertex records, raw
// record bytes and comparisons.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../support/testutil.h"
#include "geometry/mesh.h"

namespace meshtest {

using fxtest::Le32;

inline std::string F32(float f) {
    int32_t u;
    memcpy(&u, &f, 4);
    return Le32({u});
}

inline std::string Str(const std::string& s) { return Le32({static_cast<int32_t>(s.size())}, s); }

// Every float of vertex i differs from every other vertex's: 100 i + k.
inline void FillVertex(FXVertex* v, int i) {
    for (int k = 0; k < FX_VTX_FLOATS; ++k) v->f[k] = static_cast<float>(100 * i + k);
}

// n vertices as above and the given indices.
inline void MakeMesh(FXMesh* m, int n, const std::vector<int32_t>& idx) {
    m->Realloc(n, static_cast<int>(idx.size()));
    for (int i = 0; i < n; ++i) FillVertex(&m->vertices[i], i);
    for (size_t k = 0; k < idx.size(); ++k) m->indices[k] = idx[k];
}

inline std::vector<int32_t> Indices(const FXMesh& m) { return std::vector<int32_t>(m.indices, m.indices + m.indexCount); }

// Float k of every vertex, in vertex order.
inline std::vector<float> Floats(const FXMesh& m, int k) {
    std::vector<float> v;
    for (int i = 0; i < m.vertexCount; ++i) v.push_back(m.vertices[i].f[k]);
    return v;
}

// Position, normal and texture coordinates: what the compact form keeps.
inline void ExpectSameGeometry(const FXMesh& a, const FXMesh& b) {
    ASSERT_EQ(a.vertexCount, b.vertexCount);
    for (int i = 0; i < a.vertexCount; ++i)
        EXPECT_EQ(std::vector<float>(a.vertices[i].f, a.vertices[i].f + 8), std::vector<float>(b.vertices[i].f, b.vertices[i].f + 8))
            << "vertex " << i;
    EXPECT_EQ(Indices(a), Indices(b));
}

}  // namespace meshtest
