// Materials and desks with real textures: pictures decoded by DevIL, uploaded
// to the real device, drawn and read back.
#include "gltest.h"

#include <initializer_list>
#include <string>
#include <tuple>

#include "geometry/desk.h"
#include "geometry/sdesk.h"
#include "image/canvas.h"
#include "package/package.h"
#include "render/material.h"
#include "render/matlib.h"

namespace {

class Textures : public GLWindow {
protected:
    Textures() : GLWindow(0, 0, 64, 64) {}
    // A w x h picture file of one colour (bytes r, g, b, a in memory order).
    std::string Picture(const std::string& name, int w, int h, uint32_t rgba) {
        FXCanvas c;
        c.pixmap.Realloc(w, h);
        c.pixmap.Clear(static_cast<int>(rgba));
        std::string path = dir_.File(name);
        EXPECT_TRUE(c.SaveToPict(path.c_str()));
        return path;
    }
    // The material over the whole window: the centre pixel as 0xBBGGRR.
    uint32_t Draw(FXMaterial* m) {
        Clear();
        FXMesh q;
        Quad(&q, -1, -1, 1, 1, 0, m->texScaleU, m->texScaleV);
        q.material = m;
        q.Render(&gl_);
        uint32_t p = At(32, 31);
        return (p & 0xff) << 16 | (p & 0xff00) | p >> 16;
    }
    FXPackage pck_;
};

TEST_F(Textures, PictureFileOrCanvasBecomesATextureAndAFailedLoadTakesItAway) {
    FXMaterial m;
    m.SetDefDiffuse(1);
    ASSERT_TRUE(m.LoadTexture(Picture("orange.png", 300, 200, 0xff0080ffu).c_str()));
    EXPECT_TRUE(m.textureReady && m.glTexture && m.IsSolid() && m.textureImage == &m.ownCanvas);
    EXPECT_EQ(std::make_tuple(m.texScaleU, m.texScaleV, m.GetWidth(), m.GetHeight()),
              std::make_tuple(300.0f / 512.0f, 200.0f / 256.0f, 300, 200));
    EXPECT_EQ(Draw(&m), 0x0080ffu);
    EXPECT_FALSE(m.LoadTexture(dir_.File("missing.png").c_str()));
    EXPECT_FALSE(m.textureReady || m.glTexture);
    EXPECT_EQ(Draw(&m), 0xffffffu);  // plain white diffuse
    FXCanvas glass;  // a translucent canvas owned here, not by the material
    glass.pixmap.Realloc(8, 8);
    glass.pixmap.Clear(static_cast<int>(0x80ffffffu));
    glass.opaque = false;
    ASSERT_TRUE(m.SetTexture(&glass));
    EXPECT_TRUE(m.textureImage == &glass && !m.IsSolid());
    EXPECT_NEAR(static_cast<int>(Draw(&m) & 255), 128, 2);  // white at half over black
    m.Destroy();
    EXPECT_TRUE(!m.glTexture && !m.textureImage && glass.pixmap.pixels);  // not the material's to free
}

TEST_F(Textures, PackagedLibraryLoadedByNumberWithItsTextures) {
    // A package of a picture (id 3) and of a material library naming it (id 7).
    std::string pic = Picture("wall.png", 4, 4, 0xff00ff00u);
    FXMatlib saved;
    saved.name.Set("7");
    FXMaterial *w = new FXMaterial, *p = new FXMaterial;
    w->ownedByLib = p->ownedByLib = true;
    w->name.Set("wall");
    w->textureFile.Set("3");
    p->name.Set("plain");
    p->SetDefSpecular1(0.5f);
    saved.AddMaterial(w), saved.AddMaterial(p);
    ASSERT_TRUE(saved.Save(dir_.File("lib.bin").c_str()));
    FXPackage build;
    build.AddDataFile(3, pic.c_str());
    build.AddDataFile(7, dir_.File("lib.bin").c_str());
    ASSERT_TRUE(build.Save(dir_.File("xxdata.dat").c_str(), 1));
    ASSERT_TRUE(pck_.Load(dir_.File("xxdata.dat").c_str()));
    FXMatlib* lib = gl_.LoadMatlibCN(&pck_, 7);
    ASSERT_NE(lib, nullptr);
    EXPECT_EQ(std::make_pair(std::string(lib->name.text), lib->parent), std::make_pair(std::string("7"), gl_.GetDefaultMatlib()));
    FXMaterial *wall = lib->FindMaterial("wall"), *plain = lib->FindMaterial("plain");
    ASSERT_TRUE(wall && plain && wall->textureReady);
    EXPECT_EQ(Draw(wall), 0x00ff00u);
    EXPECT_FLOAT_EQ(plain->specular[3], 0.5f);
    // The stored name is the number's text: found again, shared.
    EXPECT_EQ(std::make_pair(gl_.LoadMatlibCN(&pck_, 7), lib->refCount), std::make_pair(lib, 2));
}

TEST_F(Textures, ALibraryRecordThatLiesAboutItsCountLoadsWhatIsThere) {
    // name "x", a count of a million, one material record and nothing more.
    FXMaterial one;
    one.name.Set("only");
    std::string f = dir_.File("liar.bin");
    FILE* out = fopen(f.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    FXStr("x").Save(out);
    fxWriteInt32(out, 1000000);
    one.Save(out);
    fclose(out);
    FXPackage build;
    build.AddDataFile(5, f.c_str());
    ASSERT_TRUE(build.Save(dir_.File("liar.dat").c_str(), 0));
    ASSERT_TRUE(pck_.Load(dir_.File("liar.dat").c_str()));
    FXMatlib* lib = gl_.LoadMatlibCN(&pck_, 5);
    ASSERT_EQ(lib->Count(), 1);
    EXPECT_STREQ(lib->Get(0)->name.text, "only");
    FXMatlib fromFile;  // the same through the file form
    fromFile.Load(f.c_str());
    EXPECT_EQ(fromFile.Count(), 1);
}

TEST_F(Textures, CompileTurnsTextureNamesIntoRecordNumbers) {
    std::string pic = Picture("brick.png", 4, 4, 0xff0000ffu);
    FXMatlib lib;
    FXMaterial* m = new FXMaterial;
    m->ownedByLib = true;
    m->textureFile.Set("brick.png");
    lib.AddMaterial(m);
    FXPackage build;
    build.workFolder.Set(dir_.path().c_str());
    lib.Compile(&build);
    EXPECT_STREQ(m->textureFile.text, "0");  // the first id of a fresh package
    ASSERT_EQ(build.pendingFiles.count, 1);
    EXPECT_EQ(std::string(build.pendingFiles.Get(0)), pic);
}

class Screen : public GLWindow {
protected:
    Screen() : GLWindow(0, 0, 0, 0) {}
    // Each listed pixel has its colour.
    void Expect(std::initializer_list<std::tuple<int, int, uint32_t>> px) {
        for (auto [x, y, c] : px) EXPECT_EQ(At(x, y), c) << x << "," << y;
    }
};

TEST_F(Screen, DesksShowTheirPictureWithoutTheMarginAndScrollTheirWindow) {
    FXCanvas pic;  // 300 x 200, red | blue, in a 512 x 256 buffer; the margin stays black
    pic.pixmap.Realloc(300, 200);
    pic.pixmap.Clear(0);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) pic.pixmap.Row(y)[x] = x < 150 ? 0xff0000ffu : 0xffff0000u;
    FXMaterial m;
    m.mipmaps = false;
    ASSERT_TRUE(m.SetTexture(&pic));
    FXDesk d;
    FXDeskScroll s;
    for (FXDesk* k : {&d, static_cast<FXDesk*>(&s)}) k->Create(1, 1), k->SetMaterial(&m);
    Clear();
    d.OnRender(&gl_, 0);
    // The right edge is the picture's, not the margin.
    Expect({{5, sh_ / 2, 0xff0000u}, {sw_ - 5, sh_ / 2, 0x0000ffu}, {sw_ / 4, sh_ - 3, 0xff0000u}});
    s.visibleX = 0.5f;  // half the picture: the red half first
    s.periodX = 4.0;
    s.periodY = 0;
    // One period later the window has moved by half a window: it shows the
    // picture from a quarter to three quarters; another brings it back.
    for (double end : {100.0, 104.0, 108.0}) {
        for (double t = end - 3.5; end > 100.0 && t < end; t += 0.5) s.OnRender(&gl_, t);
        Clear();
        s.OnRender(&gl_, end);
        bool moved = end == 104.0;
        Expect({{sw_ / 4, sh_ / 2, 0xff0000u}, {3 * sw_ / 4, sh_ / 2, moved ? 0x0000ffu : 0xff0000u}});
    }
    m.Destroy();
}

}  // namespace
