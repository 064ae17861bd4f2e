// A model imported from OBJ text, stored, loaded back with its library and
// drawn by the real device.
#include "../render/gltest.h"

#include <string>
#include <vector>

#include "geometry/model.h"
#include "image/canvas.h"
#include "package/package.h"
#include "render/material.h"

namespace {

class ModelDraw : public GLWindow {
protected:
    ModelDraw() : GLWindow(0, 0, 64, 64) {}
    // Lit by a white ambient alone, each mesh shows its material's ambient
    // colour (times its texture) with its opacity. The left quad's colour,
    // the right quad's and the gap's.
    std::vector<uint32_t> Draw(FXModel* m) {
        const float white[4] = {1, 1, 1, 1};
        gl_.SetAmbient(white);
        gl_.EnableLights(true);
        Clear();
        m->OnRender(&gl_, 0.0);
        EXPECT_TRUE(gl_.rs[FX_RS_DEPTHWRITE] && !gl_.rs[FX_RS_CULLFRONT] && !gl_.rs[FX_RS_CULLBACK]);
        return {At(16, 32), At(48, 32), At(32, 32)};
    }
};

TEST_F(ModelDraw, StoredModelDrawsOpaqueAndTranslucentMeshes) {
    ASSERT_TRUE(created_);
    FXCanvas green;
    green.pixmap.Realloc(4, 4);
    green.pixmap.Clear(static_cast<int>(0xff00ff00u));
    ASSERT_TRUE(green.SaveToPict(dir_.File("green.png").c_str()));
    fxtest::WriteFile(dir_.File("m.mtl"), "newmtl red\nKa 1 1 1\nmap_Kd green.png\nnewmtl glass\nKa 0 0 1\nd 0.5\n");
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
    // Green texture on the left; the translucent blue mesh drawn once, at
    // half over black, on the right; nothing between.
    auto expect = [](const std::vector<uint32_t>& px) {
        EXPECT_EQ(px[0], 0x00ff00u);
        EXPECT_NEAR(static_cast<int>(px[1]), 0x80, 2);
        EXPECT_EQ(px[2], 0u);
    };
    expect(Draw(&model));

    // The same through the package tool and a package.
    std::string tool = FXPACK_PATH, pck = dir_.File("p.dat");
    fxtest::ToolRun made = fxtest::RunTool(tool, "model " + dir_.File("m.obj") + " -o " + dir_.File("out") + " -b 40");
    ASSERT_EQ(made.status, 0) << made.out;
    ASSERT_EQ(fxtest::RunTool(tool, "build " + pck + " -m " + dir_.File("out/model.manifest")).status, 0);
    FXPackage p;
    ASSERT_TRUE(p.Load(pck.c_str()));
    FXModel packed;
    ASSERT_TRUE(packed.LoadCN(&p, 40));
    packed.UpdateMeshes();
    expect(Draw(&packed));
}

}  // namespace
