// A model imported from OBJ text, stored, loaded back with its library and
// drawn by the real device.
#include "../render/gltest.h"

#include <string>

#include "geometry/model.h"
#include "render/material.h"

namespace {

class ModelDraw : public GLWindow {
protected:
    ModelDraw() : GLWindow(0, 0, 64, 64) {}
};

TEST_F(ModelDraw, StoredModelDrawsOpaqueAndTranslucentMeshes) {
    ASSERT_TRUE(created_);
    fxtest::WriteFile(dir_.File("m.mtl"), "newmtl red\nKa 1 0 0\nnewmtl glass\nKa 0 0 1\nd 0.5\n");
    fxtest::WriteFile(dir_.File("m.obj"),
                      "mtllib m.mtl\n"
                      "v -0.8 -0.5 0\nv -0.2 -0.5 0\nv -0.2 0.5 0\nv -0.8 0.5 0\n"
                      "v 0.2 -0.5 0\nv 0.8 -0.5 0\nv 0.8 0.5 0\nv 0.2 0.5 0\n"
                      "usemtl red\nf 1 2 3 4\nusemtl glass\nf 5 6 7 8\n");
    FXModel imported, model;
    ASSERT_TRUE(imported.ImportObj(dir_.File("m.obj").c_str()));
    imported.UpdateMeshes();
    ASSERT_TRUE(imported.Save(dir_.File("m.xm").c_str()));
    ASSERT_TRUE(model.Load(dir_.File("m.xm").c_str()));
    model.UpdateMeshes();
    ASSERT_EQ(model.MeshCount(), 2);
    EXPECT_EQ(model.EnumMeshes(1)->renderPass, 1);
    EXPECT_EQ(model.FindMesh("glass"), model.EnumMeshes(1));
    // Lit by a white ambient alone, each mesh shows its material's ambient
    // colour with its opacity.
    const float white[4] = {1, 1, 1, 1};
    gl_.SetAmbient(white);
    gl_.EnableLights(true);
    Clear();
    model.OnRender(&gl_, 0.0);
    EXPECT_EQ(At(16, 32), 0xff0000u);
    uint32_t glass = At(48, 32);
    EXPECT_EQ(glass & 0xffff00u, 0u);
    EXPECT_NEAR(static_cast<int>(glass & 0xff), 128, 2);  // drawn once, at half over black
    EXPECT_EQ(At(32, 32), 0u);
    EXPECT_TRUE(gl_.rs[FX_RS_DEPTHWRITE] && !gl_.rs[FX_RS_CULLFRONT] && !gl_.rs[FX_RS_CULLBACK]);
}

}  // namespace
