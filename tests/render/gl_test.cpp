// The OpenGL device on a real X server with real Mesa: frames are drawn and
// read back.
#include "gltest.h"

#include <X11/Xutil.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

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
    // A texture of n x 1 pixels (bytes r, g, b, a), or 2 x 2 for four.
    void Texture(FXMaterial* m, std::vector<uint32_t> px) {
        FXPixmap p;
        p.Realloc(px.size() == 4 ? 2 : static_cast<int>(px.size()), px.size() == 4 ? 2 : 1);
        for (size_t i = 0; i < px.size(); ++i) p.pixels[i] = px[i];
        m->mipmaps = false;
        ASSERT_TRUE(gl_.FastPrepareTexture(m, &p));
    }
};

TEST_F(Device, BindsToItsWindowProbesPresentsAndEnlarges) {
    EXPECT_TRUE(created_ && gl_.renderContext);  // llvmpipe offers edge clamping
    EXPECT_EQ(std::make_tuple(gl_.viewWidth, gl_.viewHeight, gl_.screenWidth), std::make_tuple(200, 100, sw_));
    EXPECT_EQ(gl_.TestGL(false), !MultitextureOverridden());
    Window child = W(gl_.window);
    EXPECT_EQ(Parent(child), host_);  // the drawing window is a child of the given one
    fxtest::TraceCapture cap(dir_);
    gl_.InitExtensions();  // the probe is traced
    std::string text = cap.Stop();
    EXPECT_TRUE(fxtest::Has(text, "] OpenGL info:\n") && fxtest::Has(text, "] EXT_texture_edge_clamp\n"));
    EXPECT_EQ(fxtest::Has(text, "] ARB_multitexture\n"), !MultitextureOverridden());
    EXPECT_FALSE(gl_.PrepareCubeTexture(nullptr, nullptr));
    Clear(1, 0, 0);
    gl_.RenderEnd();  // what the window shows after the swap
    glFinish();
    EXPECT_EQ(Shown(100, 50), 0xff0000u);

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
    EXPECT_EQ(std::make_pair(v[2], v[3]), std::make_pair(200, 100));
}

// Each case draws on black with the depth test on and no matrix, light or
// culling, then lists pixels (x, y, 0xRRGGBB) each channel within tol.
TEST_F(Device, DrawsWhatItsStateSays) {
    const bool mt = !MultitextureOverridden();
    FXMesh m, far;
    FXMaterial tex, white, yellow, green, red;
    Texture(&tex, {0xff0000ffu, 0xff00ff00u, 0xffff0000u, 0xffffffffu});  // red, green / blue, white
    Texture(&white, {0xffffffffu});
    Texture(&yellow, {0xff00ffffu});
    FXLight light;  // directional, from the viewer's side
    struct Case {
        const char* what;
        std::function<void()> draw;
        std::vector<std::tuple<int, int, uint32_t>> px;
        int tol;
    } cases[] = {
        {"the top-left quarter", [&] { Quad(&m, -1, 0, 0, 1), Tint(&m, 0, 1, 0, 1), m.Render(&gl_); },
         {{25, 25, 0x00ff00}, {175, 25, 0}, {25, 75, 0}}, 0},
        {"hidden and empty meshes",
         [&] {
             FXMesh empty;
             Quad(&m, -1, -1, 1, 1), m.hidden = true, m.Render(&gl_), m.hidden = false, empty.Render(&gl_);
         },
         {{25, 25, 0}}, 0},
        {"a triangle leaving the vertex list is dropped, the other draws",
         [&] {
             Quad(&m, -1, 0, 0, 1), Tint(&m, 0, 1, 0, 1), m.indices[4] = 4;
             EXPECT_EQ(m.DropBadTriangles(), 3);
             m.Render(&gl_);
         },
         {{90, 45, 0x00ff00}, {10, 5, 0}}, 0},
        {"alpha 1/255 fails the alpha test", [&] { Quad(&m, -1, -1, 1, 1), Tint(&m, 1, 1, 1, 1 / 255.0f), m.Render(&gl_); },
         {{100, 50, 0}}, 0},
        {"alpha 1/2 blends", [&] { Quad(&m, -1, -1, 1, 1), Tint(&m, 1, 1, 1, 0.5f), m.Render(&gl_); },
         {{100, 50, 0x808080}}, 2},
        {"the nearer (smaller z) wins",
         [&] {
             Quad(&m, -1, -1, 1, 1, -1), Tint(&m, 1, 0, 0, 1), Quad(&far, -1, -1, 1, 1, 1), Tint(&far, 0, 0, 1, 1);
             m.Render(&gl_), far.Render(&gl_);
         },
         {{100, 50, 0xff0000}}, 0},
        {"without the depth test the later wins",
         [&] {
             gl_.EnableDepthTest(false);
             EXPECT_FALSE(gl_.rs[FX_RS_DEPTHTEST]);
             m.Render(&gl_), far.Render(&gl_);
         },
         {{100, 50, 0x0000ff}}, 0},
        {"back faces culled: the quad faces the viewer",
         [&] { gl_.EnableCullface(true, true), Quad(&m, -1, -1, 1, 1), Tint(&m, 1, 1, 0, 1), m.Render(&gl_); },
         {{100, 50, 0xffff00}}, 0},
        {"front faces culled", [&] { gl_.EnableCullface(true, false), m.Render(&gl_); }, {{100, 50, 0}}, 0},
        {"halved, then moved right",
         [&] {
             FXMatrix move, scale;
             move.SetMoveF(0.5f, 0, 0), scale.SetScaleF(0.5f, 0.5f, 1);
             gl_.ApplyMatrix(&move), gl_.MultiplyMatrix(&scale), m.Render(&gl_);
         },
         {{30, 50, 0}, {150, 50, 0xffff00}}, 0},
        {"a texture, top row first",
         [&] {
             Quad(&m, -1, -1, 1, 1), m.material = &tex, m.Render(&gl_);
             EXPECT_TRUE(gl_.rs[FX_RS_TEXTURE0]);
         },
         {{10, 10, 0xff0000}, {190, 10, 0x00ff00}, {10, 90, 0x0000ff}, {190, 90, 0xffffff}}, 0},
        {"a second texture modulates, drawn only with multitexturing",
         [&] {
             Clear(0, 0, 1), Quad(&far, -1, -1, 1, 1), far.material = &yellow, m.material = &white;
             m.secondMesh = &far, m.Render(&gl_);
             EXPECT_EQ(gl_.rs[FX_RS_TEXTURE1], mt);
         },
         {{100, 50, mt ? 0xffff00u : 0x0000ffu}}, 0},
        {"a second mesh shorter than the first is refused",
         [&] { Clear(0, 0, 1), far.vertexCount = 3, m.Render(&gl_), far.vertexCount = 4, m.secondMesh = nullptr; },
         {{100, 50, 0x0000ff}}, 0},
        {"half green under a light",
         [&] {
             ASSERT_TRUE(gl_.RegisterLight(&light));
             gl_.UpdateLights(), gl_.EnableLights(true);
             EXPECT_TRUE(light.glLight == GL_LIGHT0 && glIsEnabled(GL_LIGHT0) && !glIsEnabled(GL_LIGHT1));
             green.SetBlack(1), green.diffuse[1] = 0.5f, red.SetBlack(1), red.diffuse[0] = 1;
             Quad(&m, -1, -1, 1, 1), m.colorMode = 0, m.material = &green, m.Render(&gl_);
         },
         {{100, 50, 0x008000}}, 2},
        {"the testing material keeps the last one applied",
         [&] { gl_.EnableTestingMaterial(true), m.material = &red, m.Render(&gl_), gl_.EnableTestingMaterial(false); },
         {{100, 50, 0x008000}}, 2},
        {"red once the testing material is off", [&] { m.Render(&gl_); }, {{100, 50, 0xff0000}}, 2},
        {"only the black ambient part with the light off",
         [&] {
             gl_.EnableLight(false, &light), m.Render(&gl_), gl_.UpdateLights();  // an off light stays disabled
             EXPECT_TRUE(light.off && !glIsEnabled(GL_LIGHT0));
             gl_.EnableLights(false), gl_.UnregisterLight(&light);
         },
         {{100, 50, 0}}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        gl_.ApplyMatrixIdentity(), gl_.EnableDepthTest(true), gl_.EnableCullface(false, false), Clear();
        c.draw();
        for (auto [x, y, want] : c.px) {
            uint32_t got = At(x, y);
            for (int s : {0, 8, 16})
                EXPECT_NEAR(static_cast<int>(got >> s & 255), static_cast<int>(want >> s & 255), c.tol)
                    << std::hex << x << "," << y << " " << got;
        }
    }
    gl_.ApplyMaterial2(nullptr);
    EXPECT_FALSE(gl_.rs[FX_RS_TEXTURE1]);
    gl_.UnprepareTexture(&tex);
    EXPECT_TRUE(!tex.glTexture && tex.textureReady);  // the flag is the material's business
    tex.textureReady = false;
}

// A still background kept once comes back pixel for pixel in one opaque
// pass, whether the texture may have the view's size or must be a power of
// two, and leaves the drawing state as it found it.
TEST_F(Device, AKeptFrameComesBackPixelForPixel) {
    auto frame = [&] {
        std::vector<unsigned char> px(static_cast<size_t>(gl_.viewWidth) * gl_.viewHeight * 4);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, gl_.viewWidth, gl_.viewHeight, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        for (size_t i = 3; i < px.size(); i += 4) px[i] = 0;  // the window has no alpha to keep
        return px;
    };
    FXMesh m, veil;
    FXMaterial tex;
    Texture(&tex, {0xff0000ffu, 0xff00ff00u, 0xffff0000u, 0xffffffffu});
    const bool npot = gl_.npotTextures;
    for (bool pow2 : {false, true}) {
        SCOPED_TRACE(pow2 ? "power-of-two texture" : "texture of the view's size");
        gl_.npotTextures = npot && !pow2;
        FXMaterial kept;
        gl_.ApplyMatrixIdentity(), gl_.EnableDepthTest(true), Clear(0.2f, 0.3f, 0.4f);
        // A picture stretched over the view, a translucent veil over part of it.
        Quad(&m, -1, -1, 1, 1), m.material = &tex, m.Render(&gl_);
        Quad(&veil, -0.5f, -0.8f, 0.7f, 0.3f), Tint(&veil, 0, 0, 0, 0.6f), veil.Render(&gl_);
        const std::vector<unsigned char> want = frame();
        ASSERT_TRUE(gl_.KeepFrame(&kept));
        Clear(1, 0, 1);
        ASSERT_TRUE(gl_.DrawKeptFrame(&kept));
        EXPECT_TRUE(frame() == want);
        // Blending and the depth test are on again: a half-white veil blends.
        EXPECT_TRUE(glIsEnabled(GL_BLEND) && glIsEnabled(GL_DEPTH_TEST) && glIsEnabled(GL_ALPHA_TEST));
        const uint32_t under = At(100, 50);
        Tint(&veil, 1, 1, 1, 0.5f), veil.Render(&gl_);
        const uint32_t over = At(100, 50);
        for (int s : {0, 8, 16})
            EXPECT_NEAR(static_cast<int>(over >> s & 255), (static_cast<int>(under >> s & 255) + 255) / 2, 2);
    }
    gl_.npotTextures = npot;
    FXMaterial none;
    EXPECT_FALSE(gl_.DrawKeptFrame(&none));
}

// The render loop on the real device, each frame cleared and presented:
// over a second of real time about one frame a period, never more than a
// tenth above, and at least a quarter (a loaded machine may fall behind; a
// loop that waits twice the period would not reach it either); without a
// period, more than the quickest period allows.
TEST_F(Device, TheRenderLoopPacesItsFrames) {
    struct Presenter : public PRender {
        std::atomic<int> frames{0};
        void OnRender(PEnv* env, double) override {
            env->Clrscr(true, true, false);
            env->RenderEnd();
            ++frames;
        }
    };
    struct Case { double period; double atLeast, atMost; } cases[] = {
        {1.0 / 60, 15, 66}, {1.0 / 30, 7.5, 33}, {1.0 / 10, 2.5, 11}, {0.0, 70, 1e9}};
    gl_.SetAct(false);  // the context goes to the render thread
    for (const Case& c : cases) {
        // Flat out is a speed, which the sanitizers' threads do not keep.
        if (c.period == 0.0 && FX_UNDER_SANITIZER) continue;
        Presenter p;
        gl_.framePeriod = c.period;
        ASSERT_TRUE(gl_.StartLoop(&p));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // past the start-up pause
        int f0 = p.frames;
        auto t0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        int n = p.frames - f0;
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ASSERT_TRUE(gl_.StopLoop(100000.0));
        EXPECT_GE(n, c.atLeast * s) << "period " << c.period;
        EXPECT_LE(n, c.atMost * s + 1) << "period " << c.period;
    }
    gl_.SetAct(true);
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
    struct Case { const char *list, *name; bool found; } cases[] = {
        {"", "ARB_multitexture", false}, {"GL_ARB_multitexture", "", false}, {"GL_EXT_bgr", "EXT_bgra", false},
        {"GL_EXT_bgra GL_ARB_multitexture", "ARB_multitexture", true},
        {"GL_ARB_multitexture GL_EXT_bgra", "ARB_multitexture", true},
        {"GL_EXT_texture_edge_clampX GL_EXT_bgra", "EXT_texture_edge_clamp", false},
        {"GL_XEXT_bgra", "EXT_bgra", true},              // the character before is not looked at
        {"GL_EXT_bgraX GL_EXT_bgra", "EXT_bgra", true},  // a second occurrence is found
    };
    for (const Case& c : cases) EXPECT_EQ(FXGL::TestExtensionString(c.list, c.name), c.found) << c.list << " / " << c.name;
}

}  // namespace
