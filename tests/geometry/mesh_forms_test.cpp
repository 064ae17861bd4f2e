// The whole and header forms of a mesh in files and package records, and
// what their loaders make of damaged bytes.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/trace.h"
#include "geometry/mesh.h"
#include "mesh_util.h"
#include "package/package.h"
#include "render/material.h"
#include "render/matlib.h"
#include "../support/testutil.h"

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
    std::string Save(const FXMesh& m, bool header) {
        FILE* f = fopen(dir_.File("mesh.bin").c_str(), "wb");
        EXPECT_TRUE(f);
        if (!f) return "";
        EXPECT_TRUE(header ? m.SaveMeshI(f) : m.SaveMesh(f));
        fclose(f);
        return fxtest::ReadFile(dir_.File("mesh.bin"));
    }
    // Loads through a file, or through a package record's cursor.
    bool Load(FXMesh* m, const std::string& bytes, bool header, bool viaRecord, FXMatlib* lib = nullptr) {
        if (viaRecord) {
            std::string copy = bytes;  // the cursor reads in place
            FXPackageData d;
            d.InitData(copy.empty() ? nullptr : &copy[0], static_cast<int>(copy.size()));
            return header ? m->LoadMeshIC(nullptr, &d, lib) : m->LoadMeshC(nullptr, &d, lib);
        }
        fxtest::WriteFile(dir_.File("load.bin"), bytes);
        FILE* f = fopen(dir_.File("load.bin").c_str(), "rb");
        if (!f) return false;
        bool ok = header ? m->LoadMeshI(f, lib) : m->LoadMesh(f, lib);
        fclose(f);
        return ok;
    }
    FXMaterial skin_;
    FXMatlib lib_;
    fxtest::TempDir dir_;
};

// What both forms start with: material name, scales, pass, colour mode and
// the vertex count.
Bytes Head(const std::string& name, float su, float sv, int pass, int colorMode, int32_t vertices) {
    Bytes b;
    PutStr(&b, name);
    PutF32(&b, su);
    PutF32(&b, sv);
    for (int32_t v : {pass, colorMode, vertices}) PutI32(&b, v);
    return b;
}

// A whole-form record written by hand.
Bytes WholeRecord(int32_t v, int vertsPresent, int32_t i, const std::vector<int32_t>& idx) {
    Bytes b = Head("skin", 1.0f, 1.0f, 0, 0, v);
    for (int n = 0; n < vertsPresent; ++n) {
        FXVertex x;
        FillVertex(&x, n);
        b.append(reinterpret_cast<const char*>(&x), sizeof x);
    }
    PutI32(&b, i);
    for (int32_t k : idx) PutI32(&b, k);
    return b;
}

}  // namespace

TEST_F(MeshForms, WholeFormIsTheSameInFileAndRecordAndLoadsBack) {
    FXMesh m;
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
        EXPECT_EQ(back.material, &skin_);
        EXPECT_STREQ(back.materialName, "skin");
        EXPECT_EQ(back.loadedScaleU, 0.5f);
        EXPECT_EQ(back.loadedScaleV, 0.25f);
        EXPECT_EQ(back.renderPass, 2);
        EXPECT_EQ(back.colorMode, 1);
        ASSERT_EQ(back.vertexCount, 4);
        EXPECT_EQ(0, memcmp(back.vertices, m.vertices, 4 * sizeof(FXVertex)));
        EXPECT_EQ(Indices(back), Indices(m));
    }
    // Without a material the scales written are zero, whatever was loaded.
    FXMesh bare;
    bare.loadedScaleU = 3.0f;
    bare.loadedScaleV = 4.0f;
    EXPECT_EQ(Save(bare, false), Head("", 0, 0, 0, 0, 0) + std::string(4, '\0'));
}

TEST_F(MeshForms, WholeFormRoundTripsThroughAPackage) {
    FXMesh a, b;
    MakeMesh(&a, 3, {0, 1, 2});
    a.materialName.Set("nowhere");
    MakeMesh(&b, 5, {4, 3, 2, 1, 0, 4});
    fxtest::WriteFile(dir_.File("a.bin"), Save(a, false));
    fxtest::WriteFile(dir_.File("b.bin"), Save(b, false));
    {
        FXPackage out;
        out.AddDataFile(11, dir_.File("a.bin").c_str());
        out.AddDataFile(12, dir_.File("b.bin").c_str());
        ASSERT_TRUE(out.Save(dir_.File("p.dat").c_str(), 0));
    }
    FXPackage in;
    ASSERT_TRUE(in.Load(dir_.File("p.dat").c_str()));
    FXMesh ra, rb;
    ASSERT_TRUE(ra.LoadMeshC(&in, in.GetDataPtr(11), &lib_));
    ASSERT_TRUE(rb.LoadMeshC(&in, in.GetDataPtr(12), nullptr));
    EXPECT_EQ(ra.material, nullptr);  // no such material in the library
    EXPECT_STREQ(ra.materialName, "nowhere");
    EXPECT_EQ(0, memcmp(ra.vertices, a.vertices, 3 * sizeof(FXVertex)));
    EXPECT_EQ(Indices(ra), Indices(a));
    EXPECT_EQ(0, memcmp(rb.vertices, b.vertices, 5 * sizeof(FXVertex)));
    EXPECT_EQ(Indices(rb), Indices(b));
    EXPECT_FALSE(ra.LoadMeshC(&in, nullptr, nullptr));
}

TEST_F(MeshForms, HeaderFormWritesCountsAndTakesZeroScalesFromTheLoadedOnes) {
    std::string log = dir_.File("trace.log");
    ASSERT_TRUE(fxOpenTraces(log.c_str()));
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
    fxCloseTraces();
    EXPECT_EQ(bytes, Head("", 0.5f, 0.75f, 1, 0, 2) + std::string("\x07\0\0\0", 4));
    EXPECT_NE(fxtest::ReadFile(log).find("save u from loaded_u (0.5)\n"), std::string::npos);

    // The header alone sizes the buffers; the bytes behind it bound them.
    bytes.append(20, '\0');
    for (bool viaRecord : {false, true}) {
        FXMesh back;
        EXPECT_TRUE(Load(&back, bytes, true, viaRecord));
        EXPECT_EQ(back.vertexCount, 2);
        EXPECT_EQ(back.indexCount, 7);
        EXPECT_EQ(back.renderPass, 1);
        EXPECT_EQ(back.loadedScaleU, 0.5f);
        EXPECT_EQ(back.loadedScaleV, 0.75f);
        ExpectIndicesInside(back);
    }
}

TEST_F(MeshForms, HeaderCountsTheFollowingBytesCannotHoldAreCut) {
    // Two billion vertices and corners, a stream of at most 10 corners.
    Bytes b = Head("x", 1, 1, 0, 0, 0x7fffffff);
    PutI32(&b, 0x7ffffff0);
    b.append(10, '\x01');
    // Negative counts and no vertices: nothing to draw.
    Bytes n = Head("", 0, 0, 0, 0, -5);
    PutI32(&n, 9);
    n.append(40, '\0');
    for (bool viaRecord : {false, true}) {
        FXMesh m, none;
        EXPECT_FALSE(Load(&m, b, true, viaRecord));
        EXPECT_EQ(m.indexCount, 10);
        EXPECT_EQ(m.vertexCount, 10);
        ExpectIndicesInside(m);
        Load(&none, n, true, viaRecord);
        EXPECT_EQ(none.vertexCount, 0);
        EXPECT_EQ(none.indexCount, 0);
    }
}

TEST_F(MeshForms, WholeFormDropsTrianglesLeavingTheVertexList) {
    // Triangle 2 reaches vertex 3 of 3, triangle 3 has a negative corner,
    // the incomplete tail is inside and stays.
    Bytes b = WholeRecord(3, 3, 14, {0, 1, 2, 2, 1, 3, 1, -1, 0, 2, 0, 1, 1, 2});
    for (bool viaRecord : {false, true}) {
        FXMesh m;
        EXPECT_FALSE(Load(&m, b, false, viaRecord));
        EXPECT_EQ(m.vertexCount, 3);
        EXPECT_EQ(Indices(m), (std::vector<int32_t>{0, 1, 2, 2, 0, 1, 1, 2}));
    }
    // The same check guards the device against meshes edited in memory.
    FXMesh e;
    MakeMesh(&e, 2, {0, 1, 1, 0, 1, 2, 1});
    EXPECT_EQ(e.DropBadTriangles(), 3);
    EXPECT_EQ(Indices(e), (std::vector<int32_t>{0, 1, 1, 1}));
}

TEST_F(MeshForms, WholeFormCountsLargerThanTheRecordAreCutToWhatIsThere) {
    // Two billion vertices with two behind them; two billion indices with
    // three behind them; negative counts read as none.
    Bytes verts = WholeRecord(0x7fffffff, 2, 0, {}), idx = WholeRecord(3, 3, 0x7fffffff, {2, 1, 0});
    for (bool viaRecord : {false, true}) {
        FXMesh m, n, neg;
        EXPECT_FALSE(Load(&m, verts, false, viaRecord));
        EXPECT_LE(m.vertexCount, 2);
        EXPECT_LE(m.vertexCapacity, 2);
        ExpectIndicesInside(m);
        EXPECT_FALSE(Load(&n, idx, false, viaRecord));
        EXPECT_EQ(n.vertexCount, 3);
        EXPECT_EQ(Indices(n), (std::vector<int32_t>{2, 1, 0}));
        EXPECT_EQ(n.indexCapacity, 3);
        Load(&neg, WholeRecord(-4, 0, -1, {}), false, viaRecord);
        EXPECT_EQ(neg.vertexCount, 0);
        EXPECT_EQ(neg.indexCount, 0);
    }
}

TEST_F(MeshForms, EveryCutOfAWholeRecordLoadsSafelyAndAlikeFromFiles) {
    FXMesh m;
    MakeMesh(&m, 3, {0, 1, 2, 2, 1, 0});
    std::string bytes = Save(m, false);
    for (size_t n = 0; n <= bytes.size(); ++n) {
        std::string cut = bytes.substr(0, n);
        FXMesh r, f;
        bool whole = Load(&r, cut, false, true);
        if (n == bytes.size()) {
            EXPECT_TRUE(whole);
        }
        ExpectIndicesInside(r);
        Load(&f, cut, false, false);
        ExpectIndicesInside(f);
        EXPECT_EQ(f.vertexCount, r.vertexCount) << n;
        EXPECT_EQ(Indices(f), Indices(r)) << n;
    }
}

TEST(MeshBuffers, ReallocKeepsLargeEnoughBuffersAndReplacesSmallOnes) {
    FXMesh m;
    MakeMesh(&m, 4, {0, 1, 2, 3, 2, 1});
    FXVertex* v = m.vertices;
    int32_t* i = m.indices;
    m.Realloc(2, 3);
    EXPECT_EQ(m.vertices, v);
    EXPECT_EQ(m.indices, i);
    EXPECT_EQ(m.vertexCount, 2);
    EXPECT_EQ(m.indexCount, 3);
    EXPECT_EQ(m.vertices[1].f[0], 100.0f);
    EXPECT_EQ(m.indices[2], 2);
    m.Realloc(8, 12);
    EXPECT_EQ(m.vertexCapacity, 8);
    EXPECT_EQ(m.indexCapacity, 12);
    m.Destroy();
    EXPECT_EQ(m.vertices, nullptr);
    EXPECT_EQ(m.vertexCount + m.indexCount + m.vertexCapacity + m.indexCapacity, 0);
    m.Destroy();
}
