// The OpenGL device on a real X server with real Mesa: frames are drawn and
// read back.
// gtest before Xlib: Xlib's macros (None, Bool) clash with gtest's names.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstdlib>
#include <array>
#include <atomic>
#include <string>

#include <unistd.h>

#include "../support/testutil.h"
#include "base/trace.h"
#include "geometry/mesh.h"
#include "image/pixmap.h"
#include "base/display.h"
#include "render/gl.h"
#include "render/light.h"
#include "render/material.h"

namespace {

Window W(void* h) { return static_cast<Window>(reinterpret_cast<uintptr_t>(h)); }
void* H(Window w) { return reinterpret_cast<void*>(static_cast<uintptr_t>(w)); }

// Mesa keeps ARB_multitexture whatever MESA_EXTENSION_OVERRIDE says; it
// leaves it out of the extension string when extensions are limited to those
// before 1998.
bool MultitextureOverridden() {
    const char* year = getenv("MESA_EXTENSION_MAX_YEAR");
    return year && atoi(year) > 0 && atoi(year) < 1998;
}

struct Rgba {
    int r, g, b, a;
};

// A top-level window with the device bound to it, context current.
class Device : public ::testing::Test {
protected:
    void SetUp() override {
        dpy_ = static_cast<Display*>(fxDisplay());
        ASSERT_NE(dpy_, nullptr) << "no X display";
        host_ = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 10, 20, 200, 100, 0, 0, 0);
        XMapWindow(dpy_, host_);
        XSync(dpy_, False);
        gl_ = new FXGL;
        created_ = gl_->CreateChild(H(host_));
        fxSetEnv(gl_);
        gl_->SetAct(true);
    }
    void TearDown() override {
        if (gl_) gl_->SetAct(false);
        fxSetEnv(nullptr);
        delete gl_;
        if (dpy_) {
            XDestroyWindow(dpy_, host_);
            XSync(dpy_, False);
        }
    }
    // Pixel at window coordinates (x right, y down) of the frame being drawn.
    Rgba Back(int x, int y) {
        unsigned char p[4] = {0, 0, 0, 0};
        glReadBuffer(GL_BACK);
        glReadPixels(x, gl_->viewHeight - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return {p[0], p[1], p[2], p[3]};
    }
    void Clear(float r, float g, float b) {
        const float c[4] = {r, g, b, 1};
        gl_->SetClrColor(c);
        gl_->Clrscr(true, true, false);
    }
    // Two triangles covering x0..x1, y0..y1 of the -1..1 square, at depth z.
    static void Quad(FXMesh* m, float x0, float y0, float x1, float y1, float z = 0) {
        m->Realloc(4, 6);
        const float xy[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
        const float st[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
        for (int i = 0; i < 4; ++i) {
            float* v = m->Vertex(i);
            for (int k = 0; k < FX_VTX_FLOATS; ++k) v[k] = 0;
            v[0] = xy[i][0];
            v[1] = xy[i][1];
            v[2] = z;
            v[FX_VTX_NORMAL + 2] = -1;  // facing the viewer
            v[FX_VTX_TEX] = st[i][0];
            v[FX_VTX_TEX + 1] = st[i][1];
            for (int k = 0; k < 4; ++k) v[FX_VTX_COLOR + k] = 1;
        }
        const int32_t idx[6] = {0, 1, 2, 0, 2, 3};
        for (int i = 0; i < 6; ++i) m->indices[i] = idx[i];
    }
    static void Tint(FXMesh* m, float r, float g, float b, float a) {
        m->colorMode = 1;
        for (int i = 0; i < m->vertexCount; ++i) {
            float* c = m->Vertex(i) + FX_VTX_COLOR;
            c[0] = r;
            c[1] = g;
            c[2] = b;
            c[3] = a;
        }
    }
    // A 2 x 2 texture: red, green / blue, white (top row first).
    static void Checker(FXPixmap* p) {
        p->Realloc(2, 2);
        const uint32_t px[4] = {0xff0000ffu, 0xff00ff00u, 0xffff0000u, 0xffffffffu};
        for (int i = 0; i < 4; ++i) p->pixels[i] = px[i];
    }

    Display* dpy_ = nullptr;
    Window host_ = 0;
    FXGL* gl_ = nullptr;
    bool created_ = false;
};

TEST_F(Device, CreateChildBindsAndProbes) {
    EXPECT_TRUE(created_);  // llvmpipe offers edge clamping
    EXPECT_EQ(gl_->viewWidth, 200);
    EXPECT_EQ(gl_->viewHeight, 100);
    EXPECT_EQ(gl_->screenWidth, DisplayWidth(dpy_, DefaultScreen(dpy_)));
    EXPECT_NE(gl_->renderContext, nullptr);
    EXPECT_NE(gl_->mutex, nullptr);
    EXPECT_EQ(gl_->TestGL(false), !MultitextureOverridden());
    // The drawing window is a child of the given one.
    Window root, parent, *kids = nullptr;
    unsigned n = 0;
    XQueryTree(dpy_, W(gl_->window), &root, &parent, &kids, &n);
    if (kids) XFree(kids);
    EXPECT_EQ(parent, host_);
}

TEST_F(Device, FixedStateAfterClrParams) {
    GLint v[4];
    glGetIntegerv(GL_VIEWPORT, v);
    EXPECT_EQ(v[2], 200);
    EXPECT_EQ(v[3], 100);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    glGetIntegerv(GL_DEPTH_FUNC, v);
    EXPECT_EQ(v[0], GL_LEQUAL);
    GLfloat ref = 0;
    glGetFloatv(GL_ALPHA_TEST_REF, &ref);
    EXPECT_NEAR(ref, 2.0f / 255.0f, 1e-6);
    GLfloat depth = 0;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &depth);
    EXPECT_EQ(depth, 1.0f);  // 2.0 clamped
    GLfloat proj[16];
    glGetFloatv(GL_PROJECTION_MATRIX, proj);
    EXPECT_FLOAT_EQ(proj[10], 0.5f);  // near 2, far -2: larger z lies farther
}

TEST_F(Device, ClearAndPresent) {
    Clear(1, 0, 0);
    Rgba p = Back(100, 50);
    EXPECT_EQ(p.r, 255);
    EXPECT_EQ(p.g, 0);
    gl_->SetClrColor(std::array<float, 4>{0, 0, 1, 1}.data());
    gl_->Clrscr(false, false, false);  // glClear(0): nothing changes
    EXPECT_EQ(Back(100, 50).r, 255);
    EXPECT_EQ(gl_->clrColor[2], 1.0f);

    // What the window shows after the swap.
    gl_->RenderEnd();
    glFinish();
    XSync(dpy_, False);
    XImage* img = XGetImage(dpy_, W(gl_->window), 100, 50, 1, 1, AllPlanes, ZPixmap);
    ASSERT_NE(img, nullptr);
    unsigned long px = XGetPixel(img, 0, 0);
    XDestroyImage(img);
    EXPECT_EQ((px >> 16) & 255, 255u);
    EXPECT_EQ(px & 255, 0u);
}

TEST_F(Device, MeshLandsWhereItsCoordinatesSay) {
    Clear(0, 0, 0);
    FXMesh m;
    Quad(&m, -1, 0, 0, 1);  // the top-left quarter
    Tint(&m, 0, 1, 0, 1);
    m.Render(gl_);
    EXPECT_EQ(Back(25, 25).g, 255);
    EXPECT_EQ(Back(175, 25).g, 0);
    EXPECT_EQ(Back(25, 75).g, 0);

    // Hidden and empty meshes draw nothing.
    Clear(0, 0, 0);
    m.hidden = true;
    m.Render(gl_);
    m.hidden = false;
    FXMesh empty;
    empty.Render(gl_);
    EXPECT_EQ(Back(25, 25).g, 0);
    // A triangle that leaves the vertex list is dropped before drawing; the
    // other one still draws.
    m.indices[4] = 4;
    EXPECT_EQ(m.DropBadTriangles(), 3);
    m.Render(gl_);
    EXPECT_EQ(Back(90, 45).g, 255);  // the kept lower-right triangle
    EXPECT_EQ(Back(10, 5).g, 0);     // the dropped upper-left one
}

TEST_F(Device, AlphaTestAndBlending) {
    Clear(0, 0, 0);
    FXMesh m;
    Quad(&m, -1, -1, 1, 1);
    Tint(&m, 1, 1, 1, 1.0f / 255.0f);  // discarded by the alpha test
    m.Render(gl_);
    EXPECT_EQ(Back(100, 50).r, 0);
    Tint(&m, 1, 1, 1, 0.5f);
    m.Render(gl_);
    EXPECT_NEAR(Back(100, 50).r, 128, 2);
}

TEST_F(Device, DepthOrdersByZ) {
    Clear(0, 0, 0);
    FXMesh nearQ, farQ;
    Quad(&nearQ, -1, -1, 1, 1, -1);  // smaller z is nearer
    Tint(&nearQ, 1, 0, 0, 1);
    Quad(&farQ, -1, -1, 1, 1, 1);
    Tint(&farQ, 0, 0, 1, 1);
    nearQ.Render(gl_);
    farQ.Render(gl_);
    EXPECT_EQ(Back(100, 50).r, 255);
    EXPECT_EQ(Back(100, 50).b, 0);
    gl_->EnableDepthTest(false);
    EXPECT_FALSE(gl_->rs[FX_RS_DEPTHTEST]);
    farQ.Render(gl_);
    EXPECT_EQ(Back(100, 50).b, 255);
}

TEST_F(Device, TexturedQuadSamplesItsPixmap) {
    FXMaterial mat;
    mat.mipmaps = false;
    FXPixmap pix;
    Checker(&pix);
    ASSERT_TRUE(gl_->FastPrepareTexture(&mat, &pix));
    EXPECT_TRUE(mat.textureReady);
    EXPECT_NE(mat.glTexture, 0u);
    EXPECT_EQ(mat.texScaleU, 1.0f);
    Clear(0, 0, 0);
    FXMesh m;
    Quad(&m, -1, -1, 1, 1);
    m.material = &mat;
    m.Render(gl_);
    EXPECT_TRUE(gl_->rs[FX_RS_TEXTURE0]);
    Rgba tl = Back(10, 10), tr = Back(190, 10), bl = Back(10, 90), br = Back(190, 90);
    EXPECT_EQ(tl.r, 255);
    EXPECT_EQ(tl.g, 0);
    EXPECT_EQ(tr.g, 255);
    EXPECT_EQ(bl.b, 255);
    EXPECT_EQ(bl.r, 0);
    EXPECT_EQ(br.r + br.g + br.b, 765);
    gl_->UnprepareTexture(&mat);
    EXPECT_EQ(mat.glTexture, 0u);
    EXPECT_TRUE(mat.textureReady);  // the flag is the material's business
    mat.textureReady = false;
}

TEST_F(Device, MaterialColoursUnderALight) {
    FXLight light;  // directional, from the viewer's side
    ASSERT_TRUE(gl_->RegisterLight(&light));
    gl_->ApplyMatrixIdentity();
    gl_->UpdateLights();
    EXPECT_EQ(light.glLight, GL_LIGHT0);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
    gl_->EnableLights(true);
    FXMaterial mat;
    mat.SetBlack(1);
    mat.diffuse[1] = 0.5f;  // half green
    Clear(0, 0, 0);
    FXMesh m;
    Quad(&m, -1, -1, 1, 1);
    m.material = &mat;
    m.Render(gl_);
    EXPECT_NEAR(Back(100, 50).g, 128, 2);
    EXPECT_EQ(Back(100, 50).r, 0);

    // The light switched off leaves only the (black) ambient part.
    gl_->EnableLight(false, &light);
    EXPECT_TRUE(light.off);
    Clear(0, 0, 0);
    m.Render(gl_);
    EXPECT_EQ(Back(100, 50).g, 0);
    gl_->UpdateLights();  // an off light stays disabled
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    gl_->EnableLights(false);
    gl_->UnregisterLight(&light);
}

TEST_F(Device, TestingMaterialFreezesMaterialState) {
    FXMaterial a, b;
    a.SetBlack(1);
    a.diffuse[0] = 0.25f;
    b.SetDefDiffuse(1);
    gl_->ApplyMaterial(&a);
    gl_->EnableTestingMaterial(true);
    gl_->ApplyMaterial(&b);
    gl_->ApplyMaterial2(&b);
    GLfloat d[4];
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, d);
    EXPECT_FLOAT_EQ(d[0], 0.25f);
    gl_->EnableTestingMaterial(false);
    gl_->ApplyMaterial(&b);
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, d);
    EXPECT_FLOAT_EQ(d[0], 1.0f);
}

TEST_F(Device, CullingAndMatrices) {
    gl_->EnableCullface(true, true);
    GLint mode = 0;
    glGetIntegerv(GL_CULL_FACE_MODE, &mode);
    EXPECT_EQ(mode, GL_BACK);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    gl_->EnableCullface(true, false);
    glGetIntegerv(GL_CULL_FACE_MODE, &mode);
    EXPECT_EQ(mode, GL_FRONT);
    gl_->EnableCullface(false, false);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));

    FXMatrix move, scale;
    move.SetMoveF(0.5f, 0, 0);
    scale.SetScaleF(0.5f, 0.5f, 1);
    gl_->ApplyMatrix(&move);
    gl_->MultiplyMatrix(&scale);  // scale first, then move
    GLfloat mv[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, mv);
    EXPECT_FLOAT_EQ(mv[0], 0.5f);
    EXPECT_FLOAT_EQ(mv[12], 0.5f);
    EXPECT_TRUE(gl_->curMatrix.Compare(reinterpret_cast<FXMatrix*>(mv)));

    // A quad of the whole square, halved and moved right.
    Clear(0, 0, 0);
    FXMesh m;
    Quad(&m, -1, -1, 1, 1);
    Tint(&m, 1, 1, 0, 1);
    m.Render(gl_);
    EXPECT_EQ(Back(30, 50).r, 0);
    EXPECT_EQ(Back(150, 50).r, 255);
    gl_->ApplyMatrixIdentity();
    glGetFloatv(GL_MODELVIEW_MATRIX, mv);
    EXPECT_FLOAT_EQ(mv[12], 0.0f);
}

TEST_F(Device, MultitexturePath) {
    FXMaterial m0, m1;
    FXPixmap p0, p1;
    p0.Realloc(1, 1);
    p0.pixels[0] = 0xffffffffu;  // white
    p1.Realloc(1, 1);
    p1.pixels[0] = 0xff00ffffu;  // yellow
    gl_->FastPrepareTexture(&m0, &p0);
    gl_->FastPrepareTexture(&m1, &p1);
    FXMesh base, second;
    Quad(&base, -1, -1, 1, 1);
    Quad(&second, -1, -1, 1, 1);
    base.material = &m0;
    second.material = &m1;
    base.secondMesh = &second;
    Clear(0, 0, 1);
    base.Render(gl_);
    Rgba p = Back(100, 50);
    if (MultitextureOverridden()) {
        // Without the extension the mesh is not drawn at all.
        EXPECT_FALSE(gl_->TestGL(false));
        EXPECT_EQ(p.b, 255);
        EXPECT_EQ(p.r, 0);
    } else {
        EXPECT_TRUE(gl_->rs[FX_RS_TEXTURE1]);
        EXPECT_EQ(p.r, 255);
        EXPECT_EQ(p.g, 255);
        EXPECT_EQ(p.b, 0);  // white modulated by yellow
        // A second mesh shorter than the first is refused.
        second.vertexCount = 3;
        Clear(0, 0, 1);
        base.Render(gl_);
        EXPECT_EQ(Back(100, 50).b, 255);
        second.vertexCount = 4;
    }
    gl_->ApplyMaterial2(nullptr);
    EXPECT_FALSE(gl_->rs[FX_RS_TEXTURE1]);
}

TEST_F(Device, EnlargeCoversTheScreenAndComesBack) {
    Window child = W(gl_->window);
    gl_->SetAct(false);
    gl_->Enlarge(false);  // not enlarged: nothing
    EXPECT_FALSE(gl_->enlarged);
    gl_->Enlarge(true);
    EXPECT_TRUE(gl_->enlarged);
    EXPECT_EQ(gl_->viewWidth, gl_->screenWidth);
    EXPECT_EQ(gl_->viewHeight, gl_->screenHeight);
    Window root, parent, *kids = nullptr;
    unsigned n = 0;
    XQueryTree(dpy_, child, &root, &parent, &kids, &n);
    if (kids) XFree(kids);
    EXPECT_EQ(parent, root);
    gl_->Enlarge(true);  // again: the first saved place stays
    EXPECT_EQ(W(gl_->savedParent), host_);
    gl_->Enlarge(false);
    EXPECT_FALSE(gl_->enlarged);
    EXPECT_EQ(gl_->viewWidth, 200);
    EXPECT_EQ(gl_->viewHeight, 100);
    XQueryTree(dpy_, child, &root, &parent, &kids, &n);
    if (kids) XFree(kids);
    EXPECT_EQ(parent, host_);
    gl_->SetAct(true);
    GLint v[4];
    glGetIntegerv(GL_VIEWPORT, v);
    EXPECT_EQ(v[2], 200);
}

TEST_F(Device, ExtensionProbeIsTraced) {
    fxtest::TempDir dir;
    std::string log = dir.File("gl.log");
    fxCloseTraces();
    ASSERT_TRUE(fxOpenTraces(log.c_str()));
    gl_->InitExtensions();
    fxCloseTraces();
    std::string text = fxtest::ReadFile(log);
    EXPECT_NE(text.find("] OpenGL info:\n"), std::string::npos);
    EXPECT_NE(text.find("] vendor: "), std::string::npos);
    EXPECT_NE(text.find("] renderer: llvmpipe"), std::string::npos);
    EXPECT_NE(text.find("] version: "), std::string::npos);
    EXPECT_EQ(text.find("] ARB_multitexture\n") != std::string::npos, !MultitextureOverridden());
    EXPECT_NE(text.find("] EXT_texture_edge_clamp\n"), std::string::npos);
    EXPECT_FALSE(gl_->PrepareCubeTexture(nullptr, nullptr));
}

TEST(DeviceFailures, NullAndMissingWindows) {
    FXGL gl;
    EXPECT_FALSE(gl.CreateChild(nullptr));
    EXPECT_NE(gl.mutex, nullptr);
    EXPECT_EQ(gl.deviceContext, nullptr);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(gl.CreateChild(reinterpret_cast<void*>(static_cast<uintptr_t>(0x7fff0001))));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(gl.renderContext, nullptr);
    EXPECT_FALSE(gl.TestGL(false));
    testing::internal::CaptureStderr();
    gl.TestGL(true);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Fenro3D: Your Graphics Capabilities seems to be insufficient. Either you have no Graphics Card, or "
              "you have not installed the drivers for it.\n");
    gl.RenderEnd();  // no device: nothing
}

TEST(ExtensionString, MatchingRule) {
    EXPECT_FALSE(FXGL::TestExtensionString("", "ARB_multitexture"));
    EXPECT_FALSE(FXGL::TestExtensionString("GL_ARB_multitexture", ""));
    EXPECT_TRUE(FXGL::TestExtensionString("GL_EXT_bgra GL_ARB_multitexture", "ARB_multitexture"));
    EXPECT_TRUE(FXGL::TestExtensionString("GL_ARB_multitexture GL_EXT_bgra", "ARB_multitexture"));
    EXPECT_FALSE(FXGL::TestExtensionString("GL_EXT_texture_edge_clampX GL_EXT_bgra", "EXT_texture_edge_clamp"));
    // The tail of a longer name counts: the character before is not looked at.
    EXPECT_TRUE(FXGL::TestExtensionString("GL_XEXT_bgra", "EXT_bgra"));
    // A second occurrence further on is found.
    EXPECT_TRUE(FXGL::TestExtensionString("GL_EXT_bgraX GL_EXT_bgra", "EXT_bgra"));
    EXPECT_FALSE(FXGL::TestExtensionString("GL_EXT_bgr", "EXT_bgra"));
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
    gl_->SetAct(false);
    Painter p;
    ASSERT_TRUE(gl_->StartLoop(&p));
    for (int i = 0; i < 2000 && p.frames < 5; ++i) usleep(1000);
    gl_->StopLoop(100000.0);
    EXPECT_GE(p.frames.load(), 5);
    XSync(dpy_, False);
    XImage* img = XGetImage(dpy_, W(gl_->window), 50, 50, 1, 1, AllPlanes, ZPixmap);
    ASSERT_NE(img, nullptr);
    unsigned long px = XGetPixel(img, 0, 0);
    XDestroyImage(img);
    EXPECT_EQ((px >> 8) & 255, 255u);
    EXPECT_EQ((px >> 16) & 255, 0u);
    gl_->SetAct(true);
}

}  // namespace
