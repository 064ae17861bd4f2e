// OBJ text imported into models, the model records written and read back,
// and what damaged records and files come to.
#include <cstdio>
#include <string>
#include <vector>

#include "geometry/model.h"
#include "geometry/objmodel.h"
#include "mesh_util.h"
#include "package/package.h"
#include "render/material.h"
#include "render/matlib.h"

using namespace meshtest;
using fxtest::Has;
using V = std::vector<float>;

namespace {

const char kQuad[] =
    "v 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\n";

class Model : public ::testing::Test {
protected:
    // Imports the OBJ text (with an MTL file beside it when given); the
    // trace log of the import in log_.
    bool Import(FXModel* m, const std::string& obj, const std::string& mtl = "") {
        if (!mtl.empty()) fxtest::WriteFile(dir_.File("m.mtl"), mtl);
        fxtest::WriteFile(dir_.File("m.obj"), obj);
        fxtest::TraceCapture cap(dir_);
        bool ok = m->ImportObj(dir_.File("m.obj").c_str());
        log_ = cap.Stop();
        return ok;
    }
    static std::string Save(FXModel* m, bool v02) {
        FILE* f = tmpfile();
        EXPECT_TRUE(v02 ? m->Save_v02(f) : m->Save(f));
        std::string b = fxtest::StreamBytes(f);
        fclose(f);
        return b;
    }
    bool Load(FXModel* m, const std::string& bytes) {
        FILE* f = fxtest::StreamWith(bytes);
        fxtest::TraceCapture cap(dir_);
        bool ok = m->Load(f);
        log_ = cap.Stop();
        fclose(f);
        return ok;
    }
    static FXMesh* Loaded(FXModel& m, int i) { return static_cast<FXMesh*>(m.loadedMeshes.data[i]); }
    fxtest::TempDir dir_;
    std::string log_;
};

TEST_F(Model, ObjFacesBecomeTrianglesPerMaterial) {
    struct Row {
        const char* what;
        std::string obj, mtl;
        bool ok;
        std::vector<std::vector<int32_t>> indices;  // per mesh
        std::vector<std::string> materials;
        const char* log;
        V diffuse = {};  // of the first mesh's material, when given
    } rows[] = {
        {"quad fan", std::string(kQuad) + "f 1/1/1 2/2/1 3/3/1 4/4/1\n", "", true, {{0, 1, 2, 0, 2, 3}}, {"default"}, ""},
        {"relative indices", std::string(kQuad) + "f -4 -3 -2\n", "", true, {{0, 1, 2}}, {"default"}, ""},
        {"one corner, two materials", std::string(kQuad) + "usemtl a\nf 1 2 3\nusemtl b\nf 1 3 4\nusemtl a\nf 3 4 1\n",
         "newmtl a\nnewmtl b\n", true, {{0, 1, 2, 2, 3, 0}, {0, 1, 2}}, {"a", "b"}, ""},
        {"bad index dropped", std::string(kQuad) + "f 1 2 10000\nf 1//9 2//1 3//1\nf 0 1 2\nf 2 3 4\n", "", true,
         {{0, 1, 2}}, {"default"}, "3 triangle(s) of"},
        {"only bad faces", std::string(kQuad) + "f 1 2 10000\n", "", false, {}, {}, "no triangle"},
        {"lines make nothing", std::string(kQuad) + "l 1 2 3\n", "", false, {}, {}, "no triangle"},
        {"usemtl missing from the library", std::string(kQuad) + "mtllib m.mtl\nusemtl gone\nf 1 2 3\n",
         "newmtl a\n", true, {{0, 1, 2}}, {"gone"}, ""},
        {"extra newmtl on a line", std::string(kQuad) + "mtllib m.mtl\nusemtl c\nf 1 2 3\n",
         "newmtl a\nKd 1 0 0 newmtl b\nnewmtl c\nKd 0 0 1\nnewmtl d\nKd 0 1 0\n", true, {{0, 1, 2}}, {"c"}, "",
         {0, 0, 1}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        FXModel m;
        EXPECT_EQ(Import(&m, r.obj, r.mtl), r.ok);
        EXPECT_TRUE(Has(log_, r.log)) << log_;
        ASSERT_EQ(m.loadedMeshes.count, static_cast<int>(r.indices.size()));
        for (int i = 0; i < m.loadedMeshes.count; ++i) {
            FXMesh* mesh = Loaded(m, i);
            EXPECT_EQ(Indices(*mesh), r.indices[i]);
            // Every mesh has a material, made when the file gives none.
            ASSERT_NE(mesh->material, nullptr);
            EXPECT_STREQ(mesh->material->name.text, r.materials[i].c_str());
            EXPECT_STREQ(mesh->materialName.text, r.materials[i].c_str());
        }
        if (!r.diffuse.empty()) {
            EXPECT_EQ(V(Loaded(m, 0)->material->diffuse, Loaded(m, 0)->material->diffuse + 3), r.diffuse);
        }
    }
}

TEST_F(Model, ObjVectorsFollowTheEngineAxesAndMissingOnesReadZero) {
    FXModel m;
    ASSERT_TRUE(Import(&m, std::string(kQuad) + "f 1//1 2//1 3//1\nf 1/3 3/3 4/3\n"));
    FXMesh* q = Loaded(m, 0);
    ASSERT_EQ(q->vertexCount, 6);
    EXPECT_EQ(V(q->vertices[0].f, q->vertices[0].f + 12), (V{0, 0, -1, 0, 0, -1, 0, 0, 1, 1, 1, 1}));
    EXPECT_EQ(V(q->vertices[3].f + 3, q->vertices[3].f + 8), (V{0, 0, 0, 1, 0}));  // vt 1 1: t from the top
    EXPECT_EQ(m.library->FindMaterial("default"), q->material);
}

TEST_F(Model, ObjFileMissingGivesFalse) {
    FXModel m;
    fxtest::TraceCapture cap(dir_);
    EXPECT_FALSE(m.ImportObj(dir_.File("none.obj").c_str()));
    EXPECT_TRUE(Has(cap.Stop(), "cannot open"));
    EXPECT_EQ(m.loadedMeshes.count, 0);
}

TEST_F(Model, RecordsWrittenAndReadBackWholeOrNotAtAll) {
    FXModel src;
    ASSERT_TRUE(Import(&src, std::string(kQuad) + "mtllib m.mtl\nusemtl a\nf 1/1/1 2/2/1 3/3/1 4/4/1\nusemtl b\nf 1 3 2\n",
                       "newmtl a\nnewmtl b\n"));
    src.UpdateMeshes();
    for (bool v02 : {false, true}) {
        SCOPED_TRACE(v02 ? "xm02" : "xm03");
        std::string bytes = Save(&src, v02);
        EXPECT_EQ(bytes.substr(4, 4), v02 ? "xm02" : "xm03");
        FXModel back;
        ASSERT_TRUE(Load(&back, bytes));
        EXPECT_STREQ(back.name.text, "m.obj");
        EXPECT_STREQ(back.libraryName.text, dir_.File("m.mtl").c_str());
        ASSERT_EQ(back.loadedMeshes.count, 2);
        for (int i = 0; i < 2; ++i) {
            ExpectSameGeometry(*Loaded(back, i), *src.EnumMeshes(i));
            EXPECT_STREQ(Loaded(back, i)->materialName.text, i ? "b" : "a");
        }
        back.UpdateMeshes();
        EXPECT_EQ(back.GetTotalVertices(), src.GetTotalVertices());
        // Every cut of the record is refused whole, with a reason.
        fxtest::TraceCapture cap(dir_);
        for (size_t n = 0; n < bytes.size(); ++n) {
            FILE* f = fxtest::StreamWith(bytes.substr(0, n));
            ASSERT_FALSE(back.Load(f)) << n;
            fclose(f);
            ASSERT_EQ(back.loadedMeshes.count, 0);
        }
        EXPECT_EQ(fxtest::Count(cap.Stop(), "the model stays empty"), static_cast<int>(bytes.size()));
    }
    struct Bad {
        std::string bytes;
        const char* log;
    } bad[] = {{Str("xm99") + Str("n") + Str("") + Le32({0}), "unknown magic"},
               {Str("xm02") + Str("n") + Str("") + Le32({0x7fffffff}), "mesh count"},
               {Str("xm03") + Str("n") + Str("") + Le32({0, 0x7fffffff}), "vector map"}};
    for (const Bad& b : bad) {
        FXModel m;
        EXPECT_FALSE(Load(&m, b.bytes));
        EXPECT_TRUE(Has(log_, b.log)) << log_;
    }
    FXPackage empty;
    FXModel m;
    EXPECT_FALSE(m.LoadCN(&empty, 3));
}

}  // namespace
