// Desks, the error gadget and the desktop capture on a real X server.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <string>

#include "../support/testutil.h"
#include "gadgets/err_gadget.h"
#include "geometry/desk.h"
#include "geometry/sdesk.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "image/scrshot.h"
#include "package/package.h"
#include "base/display.h"
#include "render/gl.h"

namespace {

// A window over the whole screen with the device bound to it.
class Screen : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fxLoadDevil());
        dpy_ = static_cast<Display*>(fxDisplay());
        ASSERT_NE(dpy_, nullptr);
        sw_ = DisplayWidth(dpy_, DefaultScreen(dpy_));
        sh_ = DisplayHeight(dpy_, DefaultScreen(dpy_));
        host_ = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 0, 0, static_cast<unsigned>(sw_),
                                    static_cast<unsigned>(sh_), 0, 0, 0);
        XMapWindow(dpy_, host_);
        XSync(dpy_, False);
        gl_.CreateChild(reinterpret_cast<void*>(static_cast<uintptr_t>(host_)));
        fxSetEnv(&gl_);
        gl_.SetAct(true);
        Clear();
    }
    void TearDown() override {
        gl_.SetAct(true);
        gl_.Destroy();
        fxSetEnv(nullptr);
        XDestroyWindow(dpy_, host_);
        XSync(dpy_, False);
    }
    void Clear() {
        const float black[4] = {0, 0, 0, 1};
        gl_.SetClrColor(black);
        gl_.Clrscr(true, true, false);
        gl_.ApplyMatrixIdentity();
    }
    // Pixel (x right, y down) of the frame being drawn, as 0xRRGGBB.
    uint32_t At(int x, int y) {
        unsigned char p[4];
        glReadBuffer(GL_BACK);
        glReadPixels(x, gl_.viewHeight - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2];
    }
    // A canvas of w x h, left half one colour and right half another.
    static void Halves(FXCanvas* c, int w, int h, uint32_t left, uint32_t right) {
        c->pixmap.Realloc(w, h);
        c->pixmap.Clear(0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) c->pixmap.Row(y)[x] = x < w / 2 ? left : right;
    }

    fxtest::TempDir dir_;
    Display* dpy_ = nullptr;
    Window host_ = 0;
    int sw_ = 0, sh_ = 0;
    FXGL gl_;
};

TEST_F(Screen, DeskShowsItsPictureWithoutTheMargin) {
    FXCanvas pic;  // 300 x 200 in a 512 x 256 buffer; the margin stays black
    Halves(&pic, 300, 200, 0xff0000ffu, 0xffff0000u);  // red | blue
    FXMaterial m;
    m.mipmaps = false;
    ASSERT_TRUE(m.SetTexture(&pic));
    FXDesk d;
    d.Create(1, 1);
    d.SetMaterial(&m);
    d.OnRender(&gl_, 0);
    EXPECT_EQ(At(5, sh_ / 2), 0xff0000u);
    EXPECT_EQ(At(sw_ - 5, sh_ / 2), 0x0000ffu);  // the right edge is the picture's, not the margin
    EXPECT_EQ(At(sw_ / 4, sh_ - 3), 0xff0000u);
    m.Destroy();
}

TEST_F(Screen, SkewedAndPlacedDesksLandWhereTheFormulasSay) {
    FXDesk d;
    d.Create(1, 1);
    d.mesh.colorMode = 1;
    const float green[4] = {0, 1, 0, 1};
    d.UpdateColCol(green);
    d.SetVertexPos1(1, 100, 100, sw_, sh_);
    d.SetVertexPos1(2, 300, 100, sw_, sh_);
    d.SetVertexPos1(3, 300, 200, sw_, sh_);
    d.SetVertexPos1(4, 100, 200, sw_, sh_);
    d.OnRender(&gl_, 0);
    EXPECT_EQ(At(102, 102), 0x00ff00u);
    EXPECT_EQ(At(298, 198), 0x00ff00u);
    EXPECT_EQ(At(98, 150), 0u);
    EXPECT_EQ(At(302, 150), 0u);
    EXPECT_EQ(At(200, 202), 0u);

    // A box placement in pixels.
    Clear();
    FXDesk full;
    full.Create(1, 1);
    full.mesh.colorMode = 1;
    full.UpdateColCol(green);
    FXScrPos01 place;
    place.screenWidth = static_cast<float>(sw_);
    place.screenHeight = static_cast<float>(sh_);
    place.boxWidth = 64;
    place.boxHeight = 32;
    place.SetPos(500, 400);
    place.OnRender(&gl_, 0);
    full.OnRender(&gl_, 0);
    EXPECT_EQ(At(501, 401), 0x00ff00u);
    EXPECT_EQ(At(562, 430), 0x00ff00u);
    EXPECT_EQ(At(499, 410), 0u);
    EXPECT_EQ(At(566, 410), 0u);
    EXPECT_EQ(At(530, 434), 0u);
}

TEST_F(Screen, ScrollingDeskMovesItsWindow) {
    FXCanvas pic;
    Halves(&pic, 64, 64, 0xff0000ffu, 0xffff0000u);  // red | blue
    FXMaterial m;
    m.mipmaps = false;
    ASSERT_TRUE(m.SetTexture(&pic));
    FXDeskScroll d;
    d.Create(1, 1);
    d.SetMaterial(&m);
    d.visibleX = 0.5f;  // half the picture: the red half first
    d.periodX = 4.0;
    d.periodY = 0;
    d.OnRender(&gl_, 100.0);
    EXPECT_EQ(At(sw_ / 2, sh_ / 2), 0xff0000u);
    // One period later the window has moved by half a window (wrapped into
    // 0..1): it shows the picture from a quarter to three quarters.
    for (double t = 100.5; t < 104.0; t += 0.5) d.OnRender(&gl_, t);
    Clear();
    d.OnRender(&gl_, 104.0);
    EXPECT_FLOAT_EQ(d.offsetX, 0.5f);
    EXPECT_EQ(At(sw_ / 4, sh_ / 2), 0xff0000u);
    EXPECT_EQ(At(3 * sw_ / 4, sh_ / 2), 0x0000ffu);
    // Another period brings it back to the start.
    for (double t = 104.5; t < 108.0; t += 0.5) d.OnRender(&gl_, t);
    Clear();
    d.OnRender(&gl_, 108.0);
    EXPECT_EQ(At(3 * sw_ / 4, sh_ / 2), 0xff0000u);
    m.Destroy();
}

TEST_F(Screen, ErrorGadgetSitsTenPixelsFromTheCorner) {
    // The error picture travels in a package, as at start-up.
    FXCanvas pic;
    pic.pixmap.Realloc(300, 100);
    pic.pixmap.Clear(static_cast<int>(0xff00ffffu));  // yellow
    std::string file = dir_.File("error.png");
    ASSERT_TRUE(pic.SaveToPict(file.c_str()));
    FXPackage build;
    build.AddDataFile(40, file.c_str());
    std::string path = dir_.File("xxdata.dat");
    ASSERT_TRUE(build.Save(path.c_str(), 0));
    FXPackage pck;
    ASSERT_TRUE(pck.Load(path.c_str()));

    FXErrGadget g;
    g.CreateCN(&pck, 40);
    EXPECT_EQ(g.material.GetWidth(), 300);
    gl_.EnableDepthTest(true);
    g.OnRender(&gl_, 0);  // not visible: nothing, no state touched
    EXPECT_TRUE(gl_.rs[FX_RS_DEPTHTEST]);
    EXPECT_EQ(At(100, 50), 0u);
    g.visible = true;
    g.OnRender(&gl_, 0);
    EXPECT_FALSE(gl_.rs[FX_RS_DEPTHTEST]);
    EXPECT_FALSE(gl_.rs[FX_RS_DEPTHWRITE]);
    EXPECT_EQ(At(10, 10), 0xffff00u);
    EXPECT_EQ(At(309, 109), 0xffff00u);
    EXPECT_EQ(At(9, 50), 0u);
    EXPECT_EQ(At(311, 50), 0u);
    EXPECT_EQ(At(100, 111), 0u);
    EXPECT_EQ(At(100, 9), 0u);
}

TEST_F(Screen, ErrorGadgetWithoutItsPictureCoversTheScreen) {
    FXPackage empty;
    FXErrGadget g;
    g.CreateCN(&empty, 40);
    g.visible = true;
    g.OnRender(&gl_, 0);
    EXPECT_EQ(At(sw_ - 2, sh_ - 2), 0xffffffu);  // untextured white quad, whole screen
}

TEST(Capture, RootWindowPattern) {
    Display* d = static_cast<Display*>(fxDisplay());
    ASSERT_NE(d, nullptr);
    int w = DisplayWidth(d, DefaultScreen(d)), h = DisplayHeight(d, DefaultScreen(d));
    Window root = DefaultRootWindow(d);
    GC gc = XCreateGC(d, root, 0, nullptr);
    XSetSubwindowMode(d, gc, IncludeInferiors);
    const unsigned long colours[4] = {0xff0000, 0x00ff00, 0x0000ff, 0x808080};
    for (int i = 0; i < 4; ++i) {
        XSetForeground(d, gc, colours[i]);
        XFillRectangle(d, root, gc, i * w / 4, 0, static_cast<unsigned>(w / 4), static_cast<unsigned>(h));
    }
    XSetForeground(d, gc, 0xffffff);
    XFillRectangle(d, root, gc, 0, 0, 1, 1);
    XSync(d, False);
    XFreeGC(d, gc);

    FXScrShot shot;
    ASSERT_TRUE(shot.Update());
    EXPECT_EQ(shot.updateCount, 1);
    EXPECT_EQ(shot.GetWidth(), w);
    EXPECT_EQ(shot.GetHeight(), h);
    EXPECT_EQ(shot.pixmap.bufWidth, 1024);
    EXPECT_EQ(shot.pixmap.bufHeight, 1024);
    // Canvas pixels are bytes r, g, b, a.
    EXPECT_EQ(shot.pixmap.Row(0)[0], 0xffffffffu);
    EXPECT_EQ(shot.pixmap.Row(10)[w / 8], 0xff0000ffu);
    EXPECT_EQ(shot.pixmap.Row(h / 2)[3 * w / 8], 0xff00ff00u);
    EXPECT_EQ(shot.pixmap.Row(h - 1)[5 * w / 8], 0xffff0000u);
    EXPECT_EQ(shot.pixmap.Row(h / 3)[7 * w / 8], 0xff808080u);
    // Below the screen the buffer is opaque black.
    if (shot.pixmap.bufHeight > h) {
        EXPECT_EQ(shot.pixmap.Row(h)[0], 0xff000000u);
    }
    EXPECT_TRUE(shot.Update());
    EXPECT_EQ(shot.updateCount, 2);
}

}  // namespace
