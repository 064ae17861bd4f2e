// Texture coordinates, normals, boxes, axes, colours and the removal of
// triangles and vertices.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/trace.h"
#include "geometry/mesh.h"
#include "image/canvas.h"
#include "mesh_util.h"
#include "render/material.h"
#include "../support/testutil.h"

using namespace meshtest;

namespace {

void SetTex(FXMesh* m, int v, float s, float t) {
    m->vertices[v].f[FX_VTX_TEX] = s;
    m->vertices[v].f[FX_VTX_TEX + 1] = t;
}

void SetPos(FXMesh* m, int v, float x, float y, float z) {
    m->vertices[v].f[0] = x;
    m->vertices[v].f[1] = y;
    m->vertices[v].f[2] = z;
}

int32_t Mark(const FXMesh& m, int v) {
    int32_t i;
    memcpy(&i, &m.vertices[v].f[FX_VTX_MARK], 4);
    return i;
}

void SetMark(FXMesh* m, int v, int32_t i) { memcpy(&m->vertices[v].f[FX_VTX_MARK], &i, 4); }

}  // namespace

TEST(MeshTexCoords, ResizeDividesByTheLoadedScales) {
    FXMaterial mat;
    mat.texScaleU = 0.5f;
    mat.texScaleV = 0.25f;
    FXMesh m;
    MakeMesh(&m, 2, {});
    SetTex(&m, 0, 1.0f, 0.0f);
    SetTex(&m, 1, 0.5f, 0.5f);
    m.material = &mat;
    m.loadedScaleU = 1.0f;
    m.loadedScaleV = 1.0f;
    m.flipVertical = true;
    m.ResizeTexCoords();
    EXPECT_EQ(m.vertices[0].f[6], 0.5f);
    EXPECT_EQ(m.vertices[0].f[7], 0.25f);

    // Loaded scales (0.5, 0.5), no flip: s x 1, t x 0.5.
    SetTex(&m, 0, 0.75f, 0.5f);
    m.loadedScaleU = 0.5f;
    m.loadedScaleV = 0.5f;
    m.flipVertical = false;
    m.ResizeTexCoords();
    EXPECT_EQ(m.vertices[0].f[6], 0.75f);
    EXPECT_EQ(m.vertices[0].f[7], 0.25f);

    // ResizeTexCoords1 ignores the loaded scales.
    SetTex(&m, 0, 1.0f, 1.0f);
    m.ResizeTexCoords1();
    EXPECT_EQ(m.vertices[0].f[6], 0.5f);
    EXPECT_EQ(m.vertices[0].f[7], 0.25f);

    // No material, or a scale that is not positive: nothing changes.
    SetTex(&m, 0, 1.0f, 1.0f);
    mat.texScaleV = 0.0f;
    m.ResizeTexCoords();
    m.ResizeTexCoords1();
    m.material = nullptr;
    m.ResizeTexCoords();
    EXPECT_EQ(m.vertices[0].f[6], 1.0f);
    EXPECT_EQ(m.vertices[0].f[7], 1.0f);
}

TEST(MeshTexCoords, FrontMappingAndCopy) {
    FXMesh m;
    MakeMesh(&m, 3, {});
    SetPos(&m, 0, -1.0f, 1.0f, 5.0f);
    SetPos(&m, 1, 1.0f, -1.0f, 0.0f);
    SetPos(&m, 2, 0.0f, 0.0f, 0.0f);
    m.ComputeFrontTexCoords();
    EXPECT_EQ(m.vertices[0].f[6], 0.0f);
    EXPECT_EQ(m.vertices[0].f[7], 0.0f);
    EXPECT_EQ(m.vertices[1].f[6], 1.0f);
    EXPECT_EQ(m.vertices[1].f[7], 1.0f);
    EXPECT_EQ(m.vertices[2].f[6], 0.5f);
    EXPECT_EQ(m.vertices[2].f[7], 0.5f);

    // A source with fewer vertices gives what it has.
    FXMesh src;
    MakeMesh(&src, 2, {});
    m.CopyTexCoords(&src);
    EXPECT_EQ(m.vertices[1].f[6], src.vertices[1].f[6]);
    EXPECT_EQ(m.vertices[1].f[7], src.vertices[1].f[7]);
    EXPECT_EQ(m.vertices[2].f[6], 0.5f);
    EXPECT_EQ(m.vertices[0].f[0], -1.0f);  // positions untouched
}

TEST(MeshNormals, NormalizeTurnsTheSumIntoAUnitNormal) {
    FXMesh m;
    MakeMesh(&m, 3, {});
    float sums[3][3] = {{3, 0, 4}, {0, 0, 0}, {0, 2, 0}};
    for (int v = 0; v < 3; ++v) {
        memcpy(&m.vertices[v].f[FX_VTX_ACCNORM], sums[v], sizeof sums[v]);
        SetMark(&m, v, 0);
    }
    SetMark(&m, 2, 1);
    m.Normalize(true);  // only vertex 2 is selected
    EXPECT_EQ(m.vertices[0].f[3], 3.0f);
    EXPECT_EQ(m.vertices[2].f[4], 1.0f);
    m.Normalize(false);
    EXPECT_FLOAT_EQ(m.vertices[0].f[3], 0.6f);
    EXPECT_FLOAT_EQ(m.vertices[0].f[5], 0.8f);
    EXPECT_EQ(m.vertices[1].f[3], 103.0f);  // a zero sum keeps the normal
}

TEST(MeshBox, MaximsSpanOneOrSeveralMeshes) {
    FXMesh a, b;
    MakeMesh(&a, 2, {});
    SetPos(&a, 0, -2, 1, 3);
    SetPos(&a, 1, 4, 5, -6);
    MakeMesh(&b, 1, {});
    SetPos(&b, 0, 10, -10, 0);
    float box[6];
    a.FindMaxims(box);
    EXPECT_EQ(std::vector<float>(box, box + 6), (std::vector<float>{-2, 4, 1, 5, -6, 3}));
    bool first = true;
    float all[6] = {99, 99, 99, 99, 99, 99};
    b.FindMultiMaxims(&first, all);
    EXPECT_FALSE(first);
    a.FindMultiMaxims(&first, all);
    EXPECT_EQ(std::vector<float>(all, all + 6), (std::vector<float>{-2, 10, -10, 5, -6, 3}));
    FXMesh empty;
    empty.FindMaxims(box);
    EXPECT_EQ(std::vector<float>(box, box + 6), std::vector<float>(6, 0.0f));

    // Stretch the box over -1..1; a flat extent counts as 2.
    a.UnitizeMaximsStretch1(all);
    EXPECT_FLOAT_EQ(a.vertices[0].f[0], -1.0f);
    EXPECT_FLOAT_EQ(a.vertices[0].f[1], (1.0f - (-2.5f)) * 2.0f / 15.0f);
    EXPECT_FLOAT_EQ(a.vertices[0].f[2], 4.5f);
    FXMesh flat;
    MakeMesh(&flat, 2, {});
    SetPos(&flat, 0, 1, 3, 0);
    SetPos(&flat, 1, 1, 3, 0);
    flat.FindMaxims(box);
    flat.UnitizeMaximsStretch1(box);
    EXPECT_EQ(flat.vertices[1].f[0], 0.0f);
    EXPECT_EQ(flat.vertices[1].f[1], 0.0f);
    EXPECT_TRUE(std::isfinite(flat.vertices[1].f[0]));
}

TEST(MeshAxes, TransformReordersAndNegates) {
    FXMesh m;
    MakeMesh(&m, 1, {});
    SetPos(&m, 0, 1, 2, 3);
    m.vertices[0].f[3] = 4;
    m.vertices[0].f[4] = 5;
    m.vertices[0].f[5] = 6;
    m.Transform(2, 0, 1, true, false, false);
    EXPECT_EQ(std::vector<float>(m.vertices[0].f, m.vertices[0].f + 6), (std::vector<float>{-3, 1, 2, -6, 4, 5}));
    m.Transform(0, 3, 1, false, false, false);  // no axis 3: nothing happens
    EXPECT_EQ(m.vertices[0].f[1], 1.0f);
    EXPECT_EQ(FXMesh::TextToIndi("x"), 0);
    EXPECT_EQ(FXMesh::TextToIndi("yaw"), 1);
    EXPECT_EQ(FXMesh::TextToIndi("z"), 2);
    EXPECT_EQ(FXMesh::TextToIndi("w"), -1);
    EXPECT_EQ(FXMesh::TextToIndi(""), -1);
    EXPECT_EQ(FXMesh::TextToIndi(nullptr), -1);
}

TEST(MeshVertices, SetColourAndDiscardUnusedVertices) {
    FXMesh m;
    MakeMesh(&m, 5, {3, 1, 3, 1, 4, 3});
    float rgba[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    m.SetVerticesCol(rgba);
    EXPECT_EQ(m.vertices[4].f[10], 0.3f);
    m.DiscardVertices();
    ASSERT_EQ(m.vertexCount, 3);
    EXPECT_EQ(m.vertexCapacity, 3);
    EXPECT_EQ(Indices(m), (std::vector<int32_t>{1, 0, 1, 0, 2, 1}));
    EXPECT_EQ(m.vertices[0].f[0], 100.0f);  // old vertex 1
    EXPECT_EQ(m.vertices[1].f[0], 300.0f);  // old vertex 3
    EXPECT_EQ(m.vertices[2].f[0], 400.0f);
    for (int v = 0; v < 3; ++v) EXPECT_EQ(Mark(m, v), v);
    EXPECT_EQ(m.vertices[2].f[11], 0.4f);
}

TEST(MeshVertices, DiscardTrianglesOverTransparentTexels) {
    fxtest::TempDir dir;
    std::string log = dir.File("trace.log");
    ASSERT_TRUE(fxOpenTraces(log.c_str()));
    // A 2 x 2 picture: the left column transparent, the right opaque.
    FXCanvas img;
    ASSERT_TRUE(img.pixmap.Realloc(2, 2));
    for (int y = 0; y < 2; ++y) {
        img.pixmap.Row(y)[0] = 0x00ffffffu;
        img.pixmap.Row(y)[1] = 0xff0000ffu;
    }
    FXMaterial mat;
    mat.textureReady = true;
    mat.textureImage = &img;
    FXMesh m;
    // Vertices 0-2 on the left half, 3-5 with one corner on the right.
    MakeMesh(&m, 7, {0, 1, 2, 3, 4, 5, 0, 2, 1, 6});
    for (int v = 0; v < 7; ++v) SetTex(&m, v, v == 5 ? 0.9f : 0.1f, 0.5f);
    m.material = &mat;
    m.DiscardTrianglesTransp(0, 0.5f);
    EXPECT_EQ(Indices(m), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(m.vertexCount, 4);
    EXPECT_EQ(m.vertices[3].f[0], 600.0f);
    m.DiscardTrianglesTransp(0, 0.5f);  // nothing left to remove
    fxCloseTraces();
    std::string text = fxtest::ReadFile(log);
    EXPECT_NE(text.find("DiscardTriangles from:10  to:4\n"), std::string::npos);
    EXPECT_NE(text.find("DiscardTriangles (no effect) cnt:4\n"), std::string::npos);

    // Without a ready texture nothing is sampled or removed.
    FXMesh n;
    MakeMesh(&n, 3, {0, 1, 2});
    n.material = &mat;
    mat.textureReady = false;
    n.DiscardTrianglesTransp(0, 0.5f);
    EXPECT_EQ(n.indexCount, 3);
}
