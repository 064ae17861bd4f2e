// Texture coordinates, normals, boxes, axes, colours and the removal of
// triangles and vertices.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "image/canvas.h"
#include "mesh_util.h"
#include "render/material.h"

using namespace meshtest;

namespace {

using V = std::vector<float>;
const int S = FX_VTX_TEX, T = FX_VTX_TEX + 1;

// A mesh of the given positions (texture coordinates as MakeMesh leaves them).
void MakeAt(FXMesh* m, const std::vector<V>& pos, const std::vector<int32_t>& idx = {}) {
    MakeMesh(m, static_cast<int>(pos.size()), idx);
    for (size_t v = 0; v < pos.size(); ++v) memcpy(m->vertices[v].f, pos[v].data(), 3 * sizeof(float));
}

void SetTex(FXMesh* m, const std::vector<V>& st) {
    for (size_t v = 0; v < st.size(); ++v) memcpy(&m->vertices[v].f[S], st[v].data(), 2 * sizeof(float));
}

int32_t Mark(const FXMesh& m, int v) {
    int32_t i;
    memcpy(&i, &m.vertices[v].f[FX_VTX_MARK], 4);
    return i;
}

void SetMark(FXMesh* m, int v, int32_t i) { memcpy(&m->vertices[v].f[FX_VTX_MARK], &i, 4); }

}  // namespace

TEST(MeshTexCoords, ResizeDividesByTheLoadedScalesAndNeedsPositiveOnes) {
    FXMaterial mat;
    mat.texScaleU = 0.5f;
    mat.texScaleV = 0.25f;
    FXMesh m;
    MakeMesh(&m, 2, {});
    m.material = &mat;
    struct Case {
        float loadedU, loadedV;
        bool flip, ignoreLoaded;
        V in, out;  // s, t of vertex 0
    } cases[] = {
        {1, 1, true, false, {1, 0}, {0.5f, 0.25f}},
        {0.5f, 0.5f, false, false, {0.75f, 0.5f}, {0.75f, 0.25f}},
        {0.5f, 0.5f, false, true, {1, 1}, {0.5f, 0.25f}},  // ResizeTexCoords1
    };
    for (const Case& c : cases) {
        SetTex(&m, {c.in});
        m.loadedScaleU = c.loadedU;
        m.loadedScaleV = c.loadedV;
        m.flipVertical = c.flip;
        c.ignoreLoaded ? m.ResizeTexCoords1() : m.ResizeTexCoords();
        EXPECT_EQ((V{Floats(m, S)[0], Floats(m, T)[0]}), c.out);
    }
    // No material, or a scale that is not positive: nothing changes.
    SetTex(&m, {{1, 1}});
    mat.texScaleV = 0.0f;
    m.ResizeTexCoords();
    m.ResizeTexCoords1();
    m.material = nullptr;
    m.ResizeTexCoords();
    EXPECT_EQ((V{Floats(m, S)[0], Floats(m, T)[0]}), (V{1, 1}));
}

TEST(MeshTexCoords, FrontMappingSpansTheBoxAndCopyTakesWhatTheSourceHas) {
    FXMesh m;
    MakeAt(&m, {{-1, 1, 5}, {1, -1, 0}, {0, 0, 0}});
    m.ComputeFrontTexCoords();
    EXPECT_EQ(Floats(m, S), (V{0, 1, 0.5f}));
    EXPECT_EQ(Floats(m, T), (V{0, 1, 0.5f}));
    FXMesh src;
    MakeMesh(&src, 2, {});
    m.CopyTexCoords(&src);
    EXPECT_EQ(Floats(m, S), (V{6, 106, 0.5f}));
    EXPECT_EQ(Floats(m, T), (V{7, 107, 0.5f}));
    EXPECT_EQ(Floats(m, 0), (V{-1, 1, 0}));  // positions untouched
}

TEST(MeshNormals, NormalizeTurnsTheSumIntoAUnitNormalForTheSelection) {
    FXMesh m;
    MakeMesh(&m, 3, {});
    float sums[3][3] = {{3, 0, 4}, {0, 0, 0}, {0, 2, 0}};
    for (int v = 0; v < 3; ++v) {
        memcpy(&m.vertices[v].f[FX_VTX_ACCNORM], sums[v], sizeof sums[v]);
        SetMark(&m, v, v == 2);
    }
    m.Normalize(true);  // only vertex 2 is selected
    EXPECT_EQ(Floats(m, 3), (V{3, 103, 0}));
    EXPECT_EQ(Floats(m, 4), (V{4, 104, 1}));
    m.Normalize(false);
    EXPECT_EQ(Floats(m, 3), (V{0.6f, 103, 0}));  // a zero sum keeps the normal
    EXPECT_FLOAT_EQ(m.vertices[0].f[5], 0.8f);
}

TEST(MeshBox, MaximsSpanOneOrSeveralMeshesAndStretchOverMinusOneToOne) {
    FXMesh a, b, empty;
    MakeAt(&a, {{-2, 1, 3}, {4, 5, -6}});
    MakeAt(&b, {{10, -10, 0}});
    float box[6], all[6] = {99, 99, 99, 99, 99, 99};
    bool first = true;
    a.FindMaxims(box);
    EXPECT_EQ(V(box, box + 6), (V{-2, 4, 1, 5, -6, 3}));
    b.FindMultiMaxims(&first, all);
    EXPECT_FALSE(first);
    a.FindMultiMaxims(&first, all);
    EXPECT_EQ(V(all, all + 6), (V{-2, 10, -10, 5, -6, 3}));
    empty.FindMaxims(box);
    EXPECT_EQ(V(box, box + 6), V(6, 0.0f));
    a.UnitizeMaximsStretch1(all);
    EXPECT_EQ(V(a.vertices[0].f, a.vertices[0].f + 3), (V{-1, (1.0f + 2.5f) * 2.0f / 15.0f, 4.5f}));
    // A flat extent counts as 2, and stays finite.
    FXMesh flat;
    MakeAt(&flat, {{1, 3, 0}, {1, 3, 0}});
    flat.FindMaxims(box);
    flat.UnitizeMaximsStretch1(box);
    EXPECT_EQ(V(flat.vertices[1].f, flat.vertices[1].f + 3), (V{0, 0, 0}));
}

TEST(MeshBox, UnitizeAlikeOrStretchedAndFlipMirrorsKeepingTheFront) {
    // Box x 0..4, y 0..2, z 0..1; a flat box (all zero) only centres.
    const float box[6] = {0, 4, 0, 2, 0, 1}, flat[6] = {1, 1, 2, 2, 3, 3};
    struct Row {
        void (FXMesh::*op)(const float*);
        const float* box;
        V corner;  // where (4, 2, 1) goes
    } rows[] = {{&FXMesh::UnitizeMaxims, box, {1, 0.5f, 0.25f}},
                {&FXMesh::UnitizeMaximsStretch, box, {1, 1, 1}},
                {&FXMesh::UnitizeMaxims, flat, {3, 0, -2}},
                {&FXMesh::UnitizeMaximsStretch, flat, {3, 0, -2}}};
    for (const Row& r : rows) {
        FXMesh m;
        MakeAt(&m, {{4, 2, 1}, {0, 0, 0}});
        (m.*r.op)(r.box);
        EXPECT_EQ(V(m.vertices[0].f, m.vertices[0].f + 3), r.corner);
    }
    FXMesh m;
    MakeAt(&m, {{1, 2, 3}, {0, 0, 0}, {1, 1, 1}}, {0, 1, 2, 2, 1});
    memcpy(&m.vertices[0].f[3], V{0.6f, 0, 0.8f}.data(), 3 * sizeof(float));
    m.FlipHoriz();
    EXPECT_EQ(V(m.vertices[0].f, m.vertices[0].f + 6), (V{-1, 2, 3, -0.6f, 0, 0.8f}));
    EXPECT_EQ(Indices(m), (std::vector<int32_t>{0, 2, 1, 2, 1}));  // an incomplete triangle stays
}

TEST(MeshAxes, TransformReordersAndNegatesAndAxisNamesAreRead) {
    FXMesh m;
    MakeAt(&m, {{1, 2, 3}});
    memcpy(&m.vertices[0].f[3], V{4, 5, 6}.data(), 3 * sizeof(float));
    m.Transform(2, 0, 1, true, false, false);
    EXPECT_EQ(V(m.vertices[0].f, m.vertices[0].f + 6), (V{-3, 1, 2, -6, 4, 5}));
    m.Transform(0, 3, 1, false, false, false);  // no axis 3: nothing happens
    EXPECT_EQ(m.vertices[0].f[1], 1.0f);
    EXPECT_EQ((std::vector<int>{FXMesh::TextToIndi("x"), FXMesh::TextToIndi("yaw"), FXMesh::TextToIndi("z"),
                                FXMesh::TextToIndi("w"), FXMesh::TextToIndi(""), FXMesh::TextToIndi(nullptr)}),
              (std::vector<int>{0, 1, 2, -1, -1, -1}));
}

TEST(MeshVertices, SetColourAndDiscardUnusedVertices) {
    FXMesh m;
    MakeMesh(&m, 5, {3, 1, 3, 1, 4, 3});
    float rgba[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    m.SetVerticesCol(rgba);
    m.DiscardVertices();
    ASSERT_EQ(m.vertexCount, 3);
    EXPECT_EQ(m.vertexCapacity, 3);
    EXPECT_EQ(Indices(m), (std::vector<int32_t>{1, 0, 1, 0, 2, 1}));
    EXPECT_EQ(Floats(m, 0), (V{100, 300, 400}));  // old vertices 1, 3, 4
    for (int v = 0; v < 3; ++v) EXPECT_EQ(Mark(m, v), v);
    EXPECT_EQ(Floats(m, FX_VTX_COLOR + 2), (V{0.3f, 0.3f, 0.3f}));
    EXPECT_EQ(Floats(m, FX_VTX_COLOR + 3), (V{0.4f, 0.4f, 0.4f}));
}

TEST(MeshVertices, DiscardTrianglesOverTransparentTexels) {
    fxtest::TempDir dir;
    fxtest::TraceCapture cap(dir);
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
    for (int v = 0; v < 7; ++v) {
        m.vertices[v].f[S] = v == 5 ? 0.9f : 0.1f;
        m.vertices[v].f[T] = 0.5f;
    }
    m.material = &mat;
    m.DiscardTrianglesTransp(0, 0.5f);
    EXPECT_EQ(Indices(m), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(Floats(m, 0), (V{300, 400, 500, 600}));
    m.DiscardTrianglesTransp(0, 0.5f);  // nothing left to remove
    std::string text = cap.Stop();
    EXPECT_TRUE(fxtest::Has(text, "DiscardTriangles from:10  to:4\n"));
    EXPECT_TRUE(fxtest::Has(text, "DiscardTriangles (no effect) cnt:4\n"));

    // Without a ready texture nothing is sampled or removed.
    FXMesh n;
    MakeMesh(&n, 3, {0, 1, 2});
    n.material = &mat;
    mat.textureReady = false;
    n.DiscardTrianglesTransp(0, 0.5f);
    EXPECT_EQ(n.indexCount, 3);
}
