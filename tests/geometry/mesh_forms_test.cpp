// The whole and header forms of a mesh in files and package records, and
// what their loaders make of damaged bytes.
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "mesh_util.h"
#include "package/package.h"
#include "render/material.h"
#include "render/matlib.h"

using namespace meshtest;

namespace {

class MeshForms : public ::testing::Test {
protected:
    MeshForms() {
        skin_.name.Set("skin");
        skin_.texScaleU = 0.5f;
        skin_.texScaleV = 0.25f;
        lib_.AddMaterial(&skin_);
    }
    static std::string Save(const FXMesh& m, bool header) {
        FILE* f = tmpfile();
        EXPECT_TRUE(header ? m.SaveMeshI(f) : m.SaveMesh(f));
        std::string bytes = fxtest::StreamBytes(f);
        fclose(f);
        return bytes;
    }
    // Loads through a file, or through a package record's cursor.
    static bool Load(FXMesh* m, std::string bytes, bool header, bool viaRecord, FXMatlib* lib = nullptr) {
        if (viaRecord) {
            FXPackageData d;
            d.InitData(bytes.empty() ? nullptr : &bytes[0], static_cast<int>(bytes.size()));
            return header ? m->LoadMeshIC(nullptr, &d, lib) : m->LoadMeshC(nullptr, &d, lib);
        }
        FILE* f = fxtest::StreamWith(bytes);
        bool ok = header ? m->LoadMeshI(f, lib) : m->LoadMesh(f, lib);
        fclose(f);
        return ok;
    }
    FXMaterial skin_;
    FXMatlib lib_;
};

// What both forms start with: material name, scales, pass, colour mode and
// the vertex count.
std::string Head(const std::string& name, float su, float sv, int pass, int colorMode, int32_t vertices) {
    return Str(name) + F32(su) + F32(sv) + Le32({pass, colorMode, vertices});
}

// A whole-form record written by hand.
std::string WholeRecord(int32_t v, int vertsPresent, int32_t i, const std::vector<int32_t>& idx) {
    std::string b = Head("skin", 1.0f, 1.0f, 0, 0, v);
    for (int n = 0; n < vertsPresent; ++n) {
        FXVertex x;
        FillVertex(&x, n);
        b.append(reinterpret_cast<const char*>(&x), sizeof x);
    }
    b += Le32({i});
    for (int32_t k : idx) b += Le32({k});
    return b;
}

TEST_F(MeshForms, WholeFormIsTheSameInFileAndRecord) {
    FXMesh m, bare;
    MakeMesh(&m, 4, {0, 1, 2, 2, 1, 3});
    m.materialName.Set("skin");
    m.material = &skin_;
    m.renderPass = 2;
    m.colorMode = 1;
    std::string bytes = Save(m, false);
    ASSERT_EQ(bytes.size(), 4u + 4 + 8 + 4 + 4 + 4 + 4 * 76 + 4 + 6 * 4);
    EXPECT_EQ(bytes.substr(0, 28), Head("skin", 0.5f, 0.25f, 2, 1, 4));
    for (bool viaRecord : {false, true}) {
        FXMesh back;
        ASSERT_TRUE(Load(&back, bytes, false, viaRecord, &lib_));
        EXPECT_EQ(std::make_tuple(back.material, std::string(back.materialName), back.loadedScaleU, back.loadedScaleV,
                                  back.renderPass, back.colorMode, back.vertexCount),
                  std::make_tuple(&skin_, std::string("skin"), 0.5f, 0.25f, 2, 1, 4));
        EXPECT_EQ(0, memcmp(back.vertices, m.vertices, 4 * sizeof(FXVertex)));
        EXPECT_EQ(Indices(back), Indices(m));
    }
    // Without a material the scales written are zero, whatever was loaded.
    bare.loadedScaleU = 3.0f;
    bare.loadedScaleV = 4.0f;
    EXPECT_EQ(Save(bare, false), Head("", 0, 0, 0, 0, 0) + Le32({0}));
    // A material the library lacks is not found; no record, no mesh.
    m.material = nullptr;
    m.materialName.Set("nowhere");
    FXMesh ra;
    ASSERT_TRUE(Load(&ra, Save(m, false), false, true, &lib_));
    EXPECT_EQ(std::make_pair(ra.material, std::string(ra.materialName)),
              std::make_pair(static_cast<FXMaterial*>(nullptr), std::string("nowhere")));
    EXPECT_FALSE(ra.LoadMeshC(nullptr, nullptr, nullptr));
}

TEST_F(MeshForms, HeaderFormWritesCountsAndTakesZeroScalesFromTheLoadedOnes) {
    fxtest::TempDir dir;
    fxtest::TraceCapture cap(dir);
    FXMaterial mat;
    mat.texScaleU = 0.0f;
    mat.texScaleV = 0.75f;
    FXMesh m;
    MakeMesh(&m, 2, {0, 1, 1, 0, 1, 1, 0});
    m.material = &mat;
    m.loadedScaleU = 0.5f;
    m.loadedScaleV = 9.0f;
    m.renderPass = 1;
    std::string bytes = Save(m, true);
    EXPECT_TRUE(fxtest::Has(cap.Stop(), "save u from loaded_u (0.5)\n"));
    EXPECT_EQ(bytes, Head("", 0.5f, 0.75f, 1, 0, 2) + Le32({7}));
    // The header alone sizes the buffers; the bytes behind it bound them.
    for (bool viaRecord : {false, true}) {
        FXMesh back;
        EXPECT_TRUE(Load(&back, bytes + std::string(20, '\0'), true, viaRecord));
        EXPECT_EQ(std::make_tuple(back.vertexCount, back.indexCount, back.renderPass, back.loadedScaleU, back.loadedScaleV),
                  std::make_tuple(2, 7, 1, 0.5f, 0.75f));
    }
}

TEST_F(MeshForms, CountsTheFollowingBytesCannotHoldAreCut) {
    // Header form: two billion vertices and corners, a stream of at most 10
    // corners; negative counts and no vertices: nothing to draw.
    std::string huge = Head("x", 1, 1, 0, 0, 0x7fffffff) + Le32({0x7ffffff0}, std::string(10, '\x01'));
    std::string neg = Head("", 0, 0, 0, 0, -5) + Le32({9}, std::string(40, '\0'));
    // Whole form: two billion vertices with two behind them; two billion
    // indices with three behind them; negative counts read as none.
    std::string verts = WholeRecord(0x7fffffff, 2, 0, {}), idx = WholeRecord(3, 3, 0x7fffffff, {2, 1, 0});
    for (bool viaRecord : {false, true}) {
        SCOPED_TRACE(viaRecord);
        FXMesh h, none, v, i, n;
        EXPECT_FALSE(Load(&h, huge, true, viaRecord));
        EXPECT_EQ(std::make_pair(h.indexCount, h.vertexCount), std::make_pair(10, 10));
        Load(&none, neg, true, viaRecord);
        EXPECT_EQ(std::make_pair(none.vertexCount, none.indexCount), std::make_pair(0, 0));
        EXPECT_FALSE(Load(&v, verts, false, viaRecord));
        EXPECT_LE(v.vertexCapacity, 2);
        EXPECT_FALSE(Load(&i, idx, false, viaRecord));
        EXPECT_EQ(std::make_pair(i.vertexCount, i.indexCapacity), std::make_pair(3, 3));
        EXPECT_EQ(Indices(i), (std::vector<int32_t>{2, 1, 0}));
        Load(&n, WholeRecord(-4, 0, -1, {}), false, viaRecord);
        EXPECT_EQ(std::make_pair(n.vertexCount, n.indexCount), std::make_pair(0, 0));
    }
}

TEST_F(MeshForms, WholeFormDropsTrianglesLeavingTheVertexList) {
    // Triangle 2 reaches vertex 3 of 3, triangle 3 has a negative corner,
    // the incomplete tail is inside and stays.
    std::string b = WholeRecord(3, 3, 14, {0, 1, 2, 2, 1, 3, 1, -1, 0, 2, 0, 1, 1, 2});
    for (bool viaRecord : {false, true}) {
        FXMesh m;
        EXPECT_FALSE(Load(&m, b, false, viaRecord));
        EXPECT_EQ(m.vertexCount, 3);
        EXPECT_EQ(Indices(m), (std::vector<int32_t>{0, 1, 2, 2, 0, 1, 1, 2}));
    }
}

}  // namespace
