// Desks, the error gadget and the desktop capture on a real X server.
#include "gltest.h"

#include <initializer_list>
#include <string>
#include <tuple>

#include "gadgets/err_gadget.h"
#include "geometry/desk.h"
#include "geometry/sdesk.h"
#include "image/canvas.h"
#include "image/scrshot.h"
#include "package/package.h"

namespace {

class Screen : public GLWindow {
protected:
    Screen() : GLWindow(0, 0, 0, 0) {}
    void SetUp() override {
        GLWindow::SetUp();
        Clear();
    }
    void Clear() {
        GLWindow::Clear();
        gl_.ApplyMatrixIdentity();
    }
    // A canvas of w x h, left half one colour and right half another.
    static void Halves(FXCanvas* c, int w, int h, uint32_t left, uint32_t right) {
        c->pixmap.Realloc(w, h);
        c->pixmap.Clear(0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) c->pixmap.Row(y)[x] = x < w / 2 ? left : right;
    }
    // Each listed pixel has its colour.
    void Expect(std::initializer_list<std::tuple<int, int, uint32_t>> px) {
        for (auto [x, y, c] : px) EXPECT_EQ(At(x, y), c) << x << "," << y;
    }
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
    // The right edge is the picture's, not the margin.
    Expect({{5, sh_ / 2, 0xff0000u}, {sw_ - 5, sh_ / 2, 0x0000ffu}, {sw_ / 4, sh_ - 3, 0xff0000u}});
    m.Destroy();
}

TEST_F(Screen, SkewedAndPlacedDesksLandWhereTheFormulasSay) {
    const float green[4] = {0, 1, 0, 1};
    FXDesk d, full;
    for (FXDesk* k : {&d, &full}) {
        k->Create(1, 1);
        k->mesh.colorMode = 1;
        k->UpdateColCol(green);
    }
    d.SetVertexPos1(1, 100, 100, sw_, sh_);
    d.SetVertexPos1(2, 300, 100, sw_, sh_);
    d.SetVertexPos1(3, 300, 200, sw_, sh_);
    d.SetVertexPos1(4, 100, 200, sw_, sh_);
    d.OnRender(&gl_, 0);
    Expect({{102, 102, 0x00ff00u}, {298, 198, 0x00ff00u}, {98, 150, 0}, {302, 150, 0}, {200, 202, 0}});
    Clear();  // a box placement in pixels
    FXScrPos01 place;
    place.screenWidth = static_cast<float>(sw_);
    place.screenHeight = static_cast<float>(sh_);
    place.boxWidth = 64;
    place.boxHeight = 32;
    place.SetPos(500, 400);
    place.OnRender(&gl_, 0);
    full.OnRender(&gl_, 0);
    Expect({{501, 401, 0x00ff00u}, {562, 430, 0x00ff00u}, {499, 410, 0}, {566, 410, 0}, {530, 434, 0}});
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
    // 0..1): it shows the picture from a quarter to three quarters; another
    // brings it back to the start.
    for (double t = 100.5; t < 104.0; t += 0.5) d.OnRender(&gl_, t);
    Clear();
    d.OnRender(&gl_, 104.0);
    EXPECT_FLOAT_EQ(d.offsetX, 0.5f);
    Expect({{sw_ / 4, sh_ / 2, 0xff0000u}, {3 * sw_ / 4, sh_ / 2, 0x0000ffu}});
    for (double t = 104.5; t < 108.0; t += 0.5) d.OnRender(&gl_, t);
    Clear();
    d.OnRender(&gl_, 108.0);
    EXPECT_EQ(At(3 * sw_ / 4, sh_ / 2), 0xff0000u);
    m.Destroy();
}

TEST_F(Screen, ErrorGadgetSitsTenPixelsFromTheCornerOrCoversTheScreenWithoutItsPicture) {
    // The error picture travels in a package, as at start-up.
    FXCanvas pic;
    pic.pixmap.Realloc(300, 100);
    pic.pixmap.Clear(static_cast<int>(0xff00ffffu));  // yellow
    ASSERT_TRUE(pic.SaveToPict(dir_.File("error.png").c_str()));
    FXPackage build, pck, empty;
    build.AddDataFile(40, dir_.File("error.png").c_str());
    ASSERT_TRUE(build.Save(dir_.File("xxdata.dat").c_str(), 0));
    ASSERT_TRUE(pck.Load(dir_.File("xxdata.dat").c_str()));
    FXErrGadget g, bare;
    g.CreateCN(&pck, 40);
    EXPECT_EQ(g.material.GetWidth(), 300);
    gl_.EnableDepthTest(true);
    g.OnRender(&gl_, 0);  // not visible: nothing, no state touched
    EXPECT_TRUE(gl_.rs[FX_RS_DEPTHTEST]);
    EXPECT_EQ(At(100, 50), 0u);
    g.visible = true;
    g.OnRender(&gl_, 0);
    EXPECT_FALSE(gl_.rs[FX_RS_DEPTHTEST] || gl_.rs[FX_RS_DEPTHWRITE]);
    Expect({{10, 10, 0xffff00u}, {309, 109, 0xffff00u}, {9, 50, 0}, {311, 50, 0}, {100, 111, 0}, {100, 9, 0}});
    bare.CreateCN(&empty, 40);
    bare.visible = true;
    bare.OnRender(&gl_, 0);
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
    EXPECT_EQ(std::make_tuple(shot.updateCount, shot.GetWidth(), shot.GetHeight(), shot.pixmap.bufWidth,
                              shot.pixmap.bufHeight),
              std::make_tuple(1, w, h, 1024, 1024));
    // Canvas pixels are bytes r, g, b, a; below the screen the buffer is
    // opaque black.
    FXPixmap& p = shot.pixmap;
    EXPECT_EQ(std::make_tuple(p.Row(0)[0], p.Row(10)[w / 8], p.Row(h / 2)[3 * w / 8], p.Row(h - 1)[5 * w / 8],
                              p.Row(h / 3)[7 * w / 8], p.Row(h)[0]),
              std::make_tuple(0xffffffffu, 0xff0000ffu, 0xff00ff00u, 0xffff0000u, 0xff808080u, 0xff000000u));
    EXPECT_TRUE(shot.Update());
    EXPECT_EQ(shot.updateCount, 2);
}

}  // namespace
