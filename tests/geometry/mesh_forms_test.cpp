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

struct Library {
    FXMaterial skin;
    FXMatlib lib;
    Library() {
        skin.name.Set("skin");
        skin.texScaleU = 0.5f;
        skin.texScaleV = 0.25f;
        lib.AddMaterial(&skin);
    }
};

std::string SaveToString(const FXMesh& m, bool header, const fxtest::TempDir& dir) {
    std::string path = dir.File("mesh.bin");
    FILE* f = fopen(path.c_str(), "wb");
    EXPECT_TRUE(f);
    if (!f) return "";
    EXPECT_TRUE(header ? m.SaveMeshI(f) : m.SaveMesh(f));
    fclose(f);
    return fxtest::ReadFile(path);
}

bool LoadFromString(FXMesh* m, const std::string& bytes, bool header, FXMatlib* lib, const fxtest::TempDir& dir) {
    std::string path = dir.File("load.bin");
    fxtest::WriteFile(path, bytes);
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    bool ok = header ? m->LoadMeshI(f, lib) : m->LoadMesh(f, lib);
    fclose(f);
    return ok;
}

bool LoadFromRecord(FXMesh* m, const std::string& bytes, bool header, FXMatlib* lib) {
    std::string copy = bytes;  // the cursor reads in place
    FXPackageData d;
    d.InitData(copy.empty() ? nullptr : &copy[0], static_cast<int>(copy.size()));
    return header ? m->LoadMeshIC(nullptr, &d, lib) : m->LoadMeshC(nullptr, &d, lib);
}

// A whole-form record written by hand.
Bytes WholeRecord(int32_t v, int vertsPresent, int32_t i, const std::vector<int32_t>& idx) {
    Bytes b;
    PutStr(&b, "skin");
    PutF32(&b, 1.0f);
    PutF32(&b, 1.0f);
    PutI32(&b, 0);
    PutI32(&b, 0);
    PutI32(&b, v);
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

TEST(MeshWholeForm, FileAndRecordHoldTheSameBytesAndLoadBack) {
    fxtest::TempDir dir;
    Library l;
    FXMesh m;
    MakeMesh(&m, 4, {0, 1, 2, 2, 1, 3});
    m.materialName.Set("skin");
    m.material = &l.skin;
    m.renderPass = 2;
    m.colorMode = 1;
    std::string bytes = SaveToString(m, false, dir);
    ASSERT_EQ(bytes.size(), 4u + 4 + 8 + 4 + 4 + 4 + 4 * 76 + 4 + 6 * 4);
    Bytes head;
    PutStr(&head, "skin");
    PutF32(&head, 0.5f);
    PutF32(&head, 0.25f);
    PutI32(&head, 2);
    PutI32(&head, 1);
    PutI32(&head, 4);
    EXPECT_EQ(bytes.substr(0, head.size()), head);

    for (int viaRecord = 0; viaRecord < 2; ++viaRecord) {
        FXMesh back;
        ASSERT_TRUE(viaRecord ? LoadFromRecord(&back, bytes, false, &l.lib)
                              : LoadFromString(&back, bytes, false, &l.lib, dir));
        EXPECT_EQ(back.material, &l.skin);
        EXPECT_STREQ(back.materialName, "skin");
        EXPECT_EQ(back.loadedScaleU, 0.5f);
        EXPECT_EQ(back.loadedScaleV, 0.25f);
        EXPECT_EQ(back.renderPass, 2);
        EXPECT_EQ(back.colorMode, 1);
        ASSERT_EQ(back.vertexCount, 4);
        EXPECT_EQ(0, memcmp(back.vertices, m.vertices, 4 * sizeof(FXVertex)));
        EXPECT_EQ(Indices(back), Indices(m));
    }
}

TEST(MeshWholeForm, RoundTripThroughAPackage) {
    fxtest::TempDir dir;
    FXMesh a, b;
    MakeMesh(&a, 3, {0, 1, 2});
    a.materialName.Set("nowhere");
    MakeMesh(&b, 5, {4, 3, 2, 1, 0, 4});
    std::string pa = dir.File("a.bin"), pb = dir.File("b.bin");
    fxtest::WriteFile(pa, SaveToString(a, false, dir));
    fxtest::WriteFile(pb, SaveToString(b, false, dir));
    {
        FXPackage out;
        out.AddDataFile(11, pa.c_str());
        out.AddDataFile(12, pb.c_str());
        ASSERT_TRUE(out.Save(dir.File("p.dat").c_str(), 0));
    }
    FXPackage in;
    ASSERT_TRUE(in.Load(dir.File("p.dat").c_str()));
    Library l;
    FXMesh ra, rb;
    ASSERT_TRUE(ra.LoadMeshC(&in, in.GetDataPtr(11), &l.lib));
    ASSERT_TRUE(rb.LoadMeshC(&in, in.GetDataPtr(12), nullptr));
    EXPECT_EQ(ra.material, nullptr);  // no such material in the library
    EXPECT_STREQ(ra.materialName, "nowhere");
    EXPECT_EQ(0, memcmp(ra.vertices, a.vertices, 3 * sizeof(FXVertex)));
    EXPECT_EQ(Indices(ra), Indices(a));
    EXPECT_EQ(0, memcmp(rb.vertices, b.vertices, 5 * sizeof(FXVertex)));
    EXPECT_EQ(Indices(rb), Indices(b));
    EXPECT_FALSE(ra.LoadMeshC(&in, nullptr, nullptr));
}

TEST(MeshWholeForm, WithoutMaterialTheScalesAreZero) {
    fxtest::TempDir dir;
    FXMesh m;
    m.loadedScaleU = 3.0f;
    m.loadedScaleV = 4.0f;
    std::string bytes = SaveToString(m, false, dir);
    Bytes expect;
    PutStr(&expect, "");
    PutF32(&expect, 0.0f);
    PutF32(&expect, 0.0f);
    PutI32(&expect, 0);
    PutI32(&expect, 0);
    PutI32(&expect, 0);
    PutI32(&expect, 0);
    EXPECT_EQ(bytes, expect);
}

TEST(MeshHeaderForm, WritesCountsAndTakesZeroScalesFromTheLoadedOnes) {
    fxtest::TempDir dir;
    std::string log = dir.File("trace.log");
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
    std::string bytes = SaveToString(m, true, dir);
    fxCloseTraces();
    Bytes expect;
    PutStr(&expect, "");
    PutF32(&expect, 0.5f);
    PutF32(&expect, 0.75f);
    PutI32(&expect, 1);
    PutI32(&expect, 0);
    PutI32(&expect, 2);
    PutI32(&expect, 7);
    EXPECT_EQ(bytes, expect);
    EXPECT_NE(fxtest::ReadFile(log).find("save u from loaded_u (0.5)\n"), std::string::npos);

    // The header alone sizes the buffers; the bytes behind it bound them.
    FXMesh back;
    bytes.append(20, '\0');
    EXPECT_TRUE(LoadFromRecord(&back, bytes, true, nullptr));
    EXPECT_EQ(back.vertexCount, 2);
    EXPECT_EQ(back.indexCount, 7);
    EXPECT_EQ(back.renderPass, 1);
    EXPECT_EQ(back.loadedScaleU, 0.5f);
    EXPECT_EQ(back.loadedScaleV, 0.75f);
    ExpectIndicesInside(back);
    FXMesh backFile;
    EXPECT_TRUE(LoadFromString(&backFile, bytes, true, nullptr, dir));
    EXPECT_EQ(backFile.vertexCount, 2);
    EXPECT_EQ(backFile.indexCount, 7);
}

TEST(MeshHeaderForm, CountsTheFollowingBytesCannotHoldAreCut) {
    fxtest::TempDir dir;
    Bytes b;
    PutStr(&b, "x");
    PutF32(&b, 1.0f);
    PutF32(&b, 1.0f);
    PutI32(&b, 0);
    PutI32(&b, 0);
    PutI32(&b, 0x7fffffff);  // vertices
    PutI32(&b, 0x7ffffff0);  // corners
    b.append(10, '\x01');    // a stream of at most 10 corners
    for (int viaRecord = 0; viaRecord < 2; ++viaRecord) {
        FXMesh m;
        EXPECT_FALSE(viaRecord ? LoadFromRecord(&m, b, true, nullptr) : LoadFromString(&m, b, true, nullptr, dir));
        EXPECT_EQ(m.indexCount, 10);
        EXPECT_EQ(m.vertexCount, 10);
        ExpectIndicesInside(m);
    }
    // Negative counts and no vertices: nothing to draw.
    Bytes n;
    PutStr(&n, "");
    for (int k = 0; k < 4; ++k) PutI32(&n, 0);
    PutI32(&n, -5);
    PutI32(&n, 9);
    n.append(40, '\0');
    FXMesh m;
    LoadFromRecord(&m, n, true, nullptr);
    EXPECT_EQ(m.vertexCount, 0);
    EXPECT_EQ(m.indexCount, 0);
}

TEST(MeshWholeForm, TrianglesLeavingTheVertexListAreDroppedAtLoad) {
    fxtest::TempDir dir;
    // Triangle 2 reaches vertex 3 of 3, triangle 3 has a negative corner,
    // the incomplete tail is inside and stays.
    Bytes b = WholeRecord(3, 3, 14, {0, 1, 2, 2, 1, 3, 1, -1, 0, 2, 0, 1, 1, 2});
    for (int viaRecord = 0; viaRecord < 2; ++viaRecord) {
        FXMesh m;
        EXPECT_FALSE(viaRecord ? LoadFromRecord(&m, b, false, nullptr) : LoadFromString(&m, b, false, nullptr, dir));
        EXPECT_EQ(m.vertexCount, 3);
        EXPECT_EQ(Indices(m), (std::vector<int32_t>{0, 1, 2, 2, 0, 1, 1, 2}));
    }
    // The same check guards the device against meshes edited in memory.
    FXMesh e;
    MakeMesh(&e, 2, {0, 1, 1, 0, 1, 2, 1});
    EXPECT_EQ(e.DropBadTriangles(), 3);
    EXPECT_EQ(Indices(e), (std::vector<int32_t>{0, 1, 1, 1}));
}

TEST(MeshWholeForm, CountsLargerThanTheRecordAreCutToWhatIsThere) {
    fxtest::TempDir dir;
    // A vertex count of two billion with two vertices behind it.
    Bytes b = WholeRecord(0x7fffffff, 2, 0, {});
    for (int viaRecord = 0; viaRecord < 2; ++viaRecord) {
        FXMesh m;
        EXPECT_FALSE(viaRecord ? LoadFromRecord(&m, b, false, nullptr) : LoadFromString(&m, b, false, nullptr, dir));
        EXPECT_LE(m.vertexCount, 2);
        EXPECT_LE(m.vertexCapacity, 2);
        ExpectIndicesInside(m);
    }
    // An index count of two billion with three indices behind it.
    Bytes c = WholeRecord(3, 3, 0x7fffffff, {2, 1, 0});
    for (int viaRecord = 0; viaRecord < 2; ++viaRecord) {
        FXMesh m;
        EXPECT_FALSE(viaRecord ? LoadFromRecord(&m, c, false, nullptr) : LoadFromString(&m, c, false, nullptr, dir));
        EXPECT_EQ(m.vertexCount, 3);
        EXPECT_EQ(Indices(m), (std::vector<int32_t>{2, 1, 0}));
        EXPECT_EQ(m.indexCapacity, 3);
    }
    // Negative counts read as none.
    FXMesh n;
    LoadFromRecord(&n, WholeRecord(-4, 0, -1, {}), false, nullptr);
    EXPECT_EQ(n.vertexCount, 0);
    EXPECT_EQ(n.indexCount, 0);
}

TEST(MeshWholeForm, EveryCutOfARecordLoadsSafely) {
    fxtest::TempDir dir;
    FXMesh m;
    MakeMesh(&m, 3, {0, 1, 2, 2, 1, 0});
    std::string bytes = SaveToString(m, false, dir);
    for (size_t n = 0; n <= bytes.size(); ++n) {
        std::string cut = bytes.substr(0, n);
        FXMesh r, f;
        bool whole = LoadFromRecord(&r, cut, false, nullptr);
        if (n == bytes.size()) {
            EXPECT_TRUE(whole);
        }
        ExpectIndicesInside(r);
        LoadFromString(&f, cut, false, nullptr, dir);
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
