// The OpenGL device on a real X server with real Mesa: frames are drawn and
// read back.
#include "gltest.h"

#include <X11/Xutil.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <tuple>
#include <utility>

#include <unistd.h>

#include "image/pixmap.h"
#include "render/light.h"
#include "render/material.h"

namespace {

// Mesa keeps ARB_multitexture whatever MESA_EXTENSION_OVERRIDE says; it
// leaves it out of the extension string when extensions are limited to those
// before 1998.
bool MultitextureOverridden() {
    const char* year = getenv("MESA_EXTENSION_MAX_YEAR");
    return year && atoi(year) > 0 && atoi(year) < 1998;
}

class Device : public GLWindow {
protected:
    Device() : GLWindow(10, 20, 200, 100) {}
    Window Parent(Window w) {
        Window root, parent, *kids = nullptr;
        unsigned n = 0;
        XQueryTree(dpy_, w, &root, &parent, &kids, &n);
        if (kids) XFree(kids);
        return parent;
    }
    // What the window shows at (x, y), as 0xRRGGBB.
    unsigned long Shown(int x, int y) {
        XSync(dpy_, False);
        XImage* img = XGetImage(dpy_, W(gl_.window), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!img) return 0xdeadbeef;
        unsigned long px = XGetPixel(img, 0, 0);
        XDestroyImage(img);
        return px & 0xffffff;
    }
};

TEST_F(Device, CreateChildBindsAndProbes) {
    EXPECT_TRUE(created_ && gl_.renderContext);  // llvmpipe offers edge clamping
    EXPECT_EQ(std::make_tuple(gl_.viewWidth, gl_.viewHeight, gl_.screenWidth), std::make_tuple(200, 100, sw_));
    EXPECT_EQ(gl_.TestGL(false), !MultitextureOverridden());
    EXPECT_EQ(Parent(W(gl_.window)), host_);  // the drawing window is a child of the given one
    GLint v[4];
    glGetIntegerv(GL_VIEWPORT, v);
    EXPECT_EQ(std::make_pair(v[2], v[3]), std::make_pair(200, 100));
}

TEST_F(Device, ClearAndPresent) {
    Clear(1, 0, 0);
    EXPECT_EQ(At(100, 50), 0xff0000u);
    const float blue[4] = {0, 0, 1, 1};
    gl_.SetClrColor(blue);
    gl_.Clrscr(false, false, false);  // glClear(0): nothing changes
    EXPECT_EQ(At(100, 50), 0xff0000u);
    gl_.RenderEnd();  // what the window shows after the swap
    glFinish();
    EXPECT_EQ(Shown(100, 50), 0xff0000u);
}

TEST_F(Device, MeshLandsWhereItsCoordinatesSayAndBadTrianglesAreDropped) {
    Clear();
    FXMesh m, empty;
    Quad(&m, -1, 0, 0, 1);  // the top-left quarter
    Tint(&m, 0, 1, 0, 1);
    m.Render(&gl_);
    EXPECT_EQ(At(25, 25), 0x00ff00u);
    EXPECT_EQ(At(175, 25), 0u);
    EXPECT_EQ(At(25, 75), 0u);
    Clear();  // hidden and empty meshes draw nothing
    m.hidden = true;
    m.Render(&gl_);
    m.hidden = false;
    empty.Render(&gl_);
    EXPECT_EQ(At(25, 25), 0u);
    // A triangle that leaves the vertex list is dropped; the other draws.
    m.indices[4] = 4;
    EXPECT_EQ(m.DropBadTriangles(), 3);
    m.Render(&gl_);
    EXPECT_EQ(At(90, 45), 0x00ff00u);  // the kept lower-right triangle
    EXPECT_EQ(At(10, 5), 0u);          // the dropped upper-left one
}

TEST_F(Device, AlphaTestBlendingAndDepth) {
    Clear();
    FXMesh m, nearQ, farQ;
    Quad(&m, -1, -1, 1, 1);
    Tint(&m, 1, 1, 1, 1.0f / 255.0f);  // discarded by the alpha test
    m.Render(&gl_);
    EXPECT_EQ(At(100, 50), 0u);
    Tint(&m, 1, 1, 1, 0.5f);
    m.Render(&gl_);
    EXPECT_NEAR(static_cast<int>(At(100, 50) >> 16), 128, 2);
    Clear();
    Quad(&nearQ, -1, -1, 1, 1, -1);  // smaller z is nearer
    Tint(&nearQ, 1, 0, 0, 1);
    Quad(&farQ, -1, -1, 1, 1, 1);
    Tint(&farQ, 0, 0, 1, 1);
    nearQ.Render(&gl_);
    farQ.Render(&gl_);
    EXPECT_EQ(At(100, 50), 0xff0000u);
    gl_.EnableDepthTest(false);
    EXPECT_FALSE(gl_.rs[FX_RS_DEPTHTEST]);
    farQ.Render(&gl_);
    EXPECT_EQ(At(100, 50), 0x0000ffu);
}

TEST_F(Device, TexturedQuadSamplesItsPixmap) {
    FXMaterial mat;
    mat.mipmaps = false;
    FXPixmap pix;  // red, green / blue, white (top row first)
    pix.Realloc(2, 2);
    const uint32_t px[4] = {0xff0000ffu, 0xff00ff00u, 0xffff0000u, 0xffffffffu};
    for (int i = 0; i < 4; ++i) pix.pixels[i] = px[i];
    ASSERT_TRUE(gl_.FastPrepareTexture(&mat, &pix));
    EXPECT_TRUE(mat.textureReady && mat.glTexture && mat.texScaleU == 1.0f);
    Clear();
    FXMesh m;
    Quad(&m, -1, -1, 1, 1);
    m.material = &mat;
    m.Render(&gl_);
    EXPECT_TRUE(gl_.rs[FX_RS_TEXTURE0]);
    EXPECT_EQ(std::make_tuple(At(10, 10), At(190, 10), At(10, 90), At(190, 90)),
              std::make_tuple(0xff0000u, 0x00ff00u, 0x0000ffu, 0xffffffu));
    gl_.UnprepareTexture(&mat);
    EXPECT_TRUE(!mat.glTexture && mat.textureReady);  // the flag is the material's business
    mat.textureReady = false;
}

TEST_F(Device, MaterialColoursUnderALightAndTheTestingMaterial) {
    FXLight light;  // directional, from the viewer's side
    ASSERT_TRUE(gl_.RegisterLight(&light));
    gl_.ApplyMatrixIdentity();
    gl_.UpdateLights();
    EXPECT_TRUE(light.glLight == GL_LIGHT0 && glIsEnabled(GL_LIGHT0) && !glIsEnabled(GL_LIGHT1));
    gl_.EnableLights(true);
    FXMaterial mat, other;
    mat.SetBlack(1);
    mat.diffuse[1] = 0.5f;  // half green
    Clear();
    FXMesh m;
    Quad(&m, -1, -1, 1, 1);
    m.material = &mat;
    m.Render(&gl_);
    uint32_t lit = At(100, 50);
    EXPECT_NEAR(static_cast<int>(lit >> 8 & 255), 128, 2);
    EXPECT_EQ(lit & 0xff00ff, 0u);
    gl_.EnableLight(false, &light);  // only the (black) ambient part is left
    Clear();
    m.Render(&gl_);
    EXPECT_EQ(At(100, 50), 0u);
    gl_.UpdateLights();  // an off light stays disabled
    EXPECT_TRUE(light.off && !glIsEnabled(GL_LIGHT0));
    gl_.EnableLights(false);
    gl_.UnregisterLight(&light);

    // The testing material freezes the material state.
    other.SetDefDiffuse(1);
    mat.diffuse[0] = 0.25f;
    gl_.ApplyMaterial(&mat);
    gl_.EnableTestingMaterial(true);
    gl_.ApplyMaterial(&other);
    gl_.ApplyMaterial2(&other);
    GLfloat d[4];
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, d);
    EXPECT_FLOAT_EQ(d[0], 0.25f);
    gl_.EnableTestingMaterial(false);
    gl_.ApplyMaterial(&other);
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, d);
    EXPECT_FLOAT_EQ(d[0], 1.0f);
}

TEST_F(Device, CullingAndMatrices) {
    GLint front, back;
    gl_.EnableCullface(true, true);
    glGetIntegerv(GL_CULL_FACE_MODE, &back);
    gl_.EnableCullface(true, false);
    glGetIntegerv(GL_CULL_FACE_MODE, &front);
    EXPECT_EQ(std::make_pair(back, front), std::make_pair(GL_BACK, GL_FRONT));
    gl_.EnableCullface(false, false);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    // A quad of the whole square, halved first, then moved right.
    FXMatrix move, scale;
    move.SetMoveF(0.5f, 0, 0);
    scale.SetScaleF(0.5f, 0.5f, 1);
    gl_.ApplyMatrix(&move);
    gl_.MultiplyMatrix(&scale);
    Clear();
    FXMesh m;
    Quad(&m, -1, -1, 1, 1);
    Tint(&m, 1, 1, 0, 1);
    m.Render(&gl_);
    EXPECT_EQ(std::make_pair(At(30, 50), At(150, 50)), std::make_pair(0u, 0xffff00u));
    gl_.ApplyMatrixIdentity();
    Clear();
    m.Render(&gl_);
    EXPECT_EQ(At(30, 50), 0xffff00u);
}

TEST_F(Device, MultitexturePath) {
    FXMaterial m0, m1;
    FXPixmap p0, p1;
    p0.Realloc(1, 1);
    p0.pixels[0] = 0xffffffffu;  // white
    p1.Realloc(1, 1);
    p1.pixels[0] = 0xff00ffffu;  // yellow
    gl_.FastPrepareTexture(&m0, &p0);
    gl_.FastPrepareTexture(&m1, &p1);
    FXMesh base, second;
    Quad(&base, -1, -1, 1, 1);
    Quad(&second, -1, -1, 1, 1);
    base.material = &m0;
    second.material = &m1;
    base.secondMesh = &second;
    Clear(0, 0, 1);
    base.Render(&gl_);
    if (MultitextureOverridden()) {
        EXPECT_FALSE(gl_.TestGL(false));
        EXPECT_EQ(At(100, 50), 0x0000ffu);  // without the extension the mesh is not drawn at all
    } else {
        EXPECT_TRUE(gl_.rs[FX_RS_TEXTURE1]);
        EXPECT_EQ(At(100, 50), 0xffff00u);  // white modulated by yellow
        second.vertexCount = 3;  // a second mesh shorter than the first is refused
        Clear(0, 0, 1);
        base.Render(&gl_);
        EXPECT_EQ(At(100, 50), 0x0000ffu);
        second.vertexCount = 4;
    }
    gl_.ApplyMaterial2(nullptr);
    EXPECT_FALSE(gl_.rs[FX_RS_TEXTURE1]);
}

TEST_F(Device, EnlargeCoversTheScreenAndComesBack) {
    Window child = W(gl_.window);
    gl_.SetAct(false);
    gl_.Enlarge(false);  // not enlarged: nothing
    EXPECT_FALSE(gl_.enlarged);
    gl_.Enlarge(true);
    EXPECT_EQ(std::make_tuple(gl_.enlarged, gl_.viewWidth, gl_.viewHeight),
              std::make_tuple(true, gl_.screenWidth, gl_.screenHeight));
    EXPECT_EQ(Parent(child), DefaultRootWindow(dpy_));
    gl_.Enlarge(true);  // again: the first saved place stays
    EXPECT_EQ(W(gl_.savedParent), host_);
    gl_.Enlarge(false);
    EXPECT_EQ(std::make_tuple(gl_.enlarged, gl_.viewWidth, gl_.viewHeight), std::make_tuple(false, 200, 100));
    EXPECT_EQ(Parent(child), host_);
    gl_.SetAct(true);
    GLint v[4];
    glGetIntegerv(GL_VIEWPORT, v);
    EXPECT_EQ(v[2], 200);
}

TEST_F(Device, ExtensionProbeIsTraced) {
    fxtest::TraceCapture cap(dir_);
    gl_.InitExtensions();
    std::string text = cap.Stop();
    for (const char* s : {"] OpenGL info:\n", "] vendor: ", "] renderer: llvmpipe", "] version: ", "] EXT_texture_edge_clamp\n"})
        EXPECT_TRUE(fxtest::Has(text, s)) << s;
    EXPECT_EQ(fxtest::Has(text, "] ARB_multitexture\n"), !MultitextureOverridden());
    EXPECT_FALSE(gl_.PrepareCubeTexture(nullptr, nullptr));
}

TEST(DeviceFailures, NullAndMissingWindows) {
    FXGL gl;
    EXPECT_FALSE(gl.CreateChild(nullptr));
    EXPECT_TRUE(gl.mutex && !gl.deviceContext);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(gl.CreateChild(reinterpret_cast<void*>(static_cast<uintptr_t>(0x7fff0001))));
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(gl.renderContext || gl.TestGL(false));
    testing::internal::CaptureStderr();
    gl.TestGL(true);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Fenro3D: Your Graphics Capabilities seems to be insufficient. Either you have no Graphics Card, or "
              "you have not installed the drivers for it.\n");
    gl.RenderEnd();  // no device: nothing
}

TEST(ExtensionString, MatchingRule) {
    struct Case {
        const char *list, *name;
        bool found;
    } cases[] = {
        {"", "ARB_multitexture", false},
        {"GL_ARB_multitexture", "", false},
        {"GL_EXT_bgra GL_ARB_multitexture", "ARB_multitexture", true},
        {"GL_ARB_multitexture GL_EXT_bgra", "ARB_multitexture", true},
        {"GL_EXT_texture_edge_clampX GL_EXT_bgra", "EXT_texture_edge_clamp", false},
        {"GL_XEXT_bgra", "EXT_bgra", true},  // the character before is not looked at
        {"GL_EXT_bgraX GL_EXT_bgra", "EXT_bgra", true},  // a second occurrence is found
        {"GL_EXT_bgr", "EXT_bgra", false},
    };
    for (const Case& c : cases) EXPECT_EQ(FXGL::TestExtensionString(c.list, c.name), c.found) << c.list << " / " << c.name;
}

// A frame loop on the real device presents frames the window shows.
class Painter : public PRender {
public:
    std::atomic<int> frames{0};
    void OnRender(PEnv* env, double) override {
        if (!env->RenderStart()) return;
        const float green[4] = {0, 1, 0, 1};
        env->SetClrColor(green);
        env->Clrscr(true, true, false);
        env->RenderEnd();
        ++frames;
    }
};

TEST_F(Device, RenderLoopPresentsFrames) {
    gl_.SetAct(false);
    Painter p;
    ASSERT_TRUE(gl_.StartLoop(&p));
    for (int i = 0; i < 2000 && p.frames < 5; ++i) usleep(1000);
    gl_.StopLoop(100000.0);
    EXPECT_GE(p.frames.load(), 5);
    EXPECT_EQ(Shown(50, 50), 0x00ff00u);
}

}  // namespace
