// Materials with real textures: pictures decoded by DevIL, uploaded to the
// real device, drawn and read back.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <X11/Xlib.h>

#include <cstdint>
#include <string>

#include "../support/testutil.h"
#include "geometry/mesh.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "package/package.h"
#include "base/display.h"
#include "render/gl.h"
#include "render/material.h"
#include "render/matlib.h"

namespace {

class Textures : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fxLoadDevil());
        dpy_ = static_cast<Display*>(fxDisplay());
        ASSERT_NE(dpy_, nullptr);
        host_ = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 0, 0, 64, 64, 0, 0, 0);
        XMapWindow(dpy_, host_);
        XSync(dpy_, False);
        gl_.CreateChild(reinterpret_cast<void*>(static_cast<uintptr_t>(host_)));
        fxSetEnv(&gl_);
        gl_.SetAct(true);
    }
    void TearDown() override {
        gl_.SetAct(true);
        gl_.Destroy();
        fxSetEnv(nullptr);
        XDestroyWindow(dpy_, host_);
        XSync(dpy_, False);
    }
    // A w x h picture file of one colour (bytes r, g, b, a in memory order).
    std::string Picture(const std::string& name, int w, int h, uint32_t rgba) {
        FXCanvas c;
        c.pixmap.Realloc(w, h);
        c.pixmap.Clear(static_cast<int>(rgba));
        std::string path = dir_.File(name);
        EXPECT_TRUE(c.SaveToPict(path.c_str()));
        return path;
    }
    // Draws the material over the whole window and returns the centre pixel.
    uint32_t Draw(FXMaterial* m) {
        const float black[4] = {0, 0, 0, 1};
        gl_.SetClrColor(black);
        gl_.Clrscr(true, true, false);
        FXMesh q;
        q.Realloc(4, 6);
        const float xy[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (int i = 0; i < 4; ++i) {
            float* v = q.Vertex(i);
            for (int k = 0; k < FX_VTX_FLOATS; ++k) v[k] = 0;
            v[0] = xy[i][0];
            v[1] = xy[i][1];
            // Texture coordinates scaled to the used part of the buffer.
            v[FX_VTX_TEX] = (xy[i][0] + 1) * 0.5f * m->texScaleU;
            v[FX_VTX_TEX + 1] = (1 - xy[i][1]) * 0.5f * m->texScaleV;
        }
        const int32_t idx[6] = {0, 1, 2, 0, 2, 3};
        for (int i = 0; i < 6; ++i) q.indices[i] = idx[i];
        q.material = m;
        q.Render(&gl_);
        unsigned char p[4];
        glReadBuffer(GL_BACK);
        glReadPixels(32, 32, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return static_cast<uint32_t>(p[0]) | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
    }

    fxtest::TempDir dir_;
    Display* dpy_ = nullptr;
    Window host_ = 0;
    FXGL gl_;
};

TEST_F(Textures, PictureFileBecomesAScaledTexture) {
    std::string path = Picture("orange.png", 300, 200, 0xff0080ffu);
    FXMaterial m;
    m.SetDefDiffuse(1);
    ASSERT_TRUE(m.LoadTexture(path.c_str()));
    EXPECT_TRUE(m.textureReady);
    EXPECT_NE(m.glTexture, 0u);
    EXPECT_EQ(m.textureImage, &m.ownCanvas);
    EXPECT_FLOAT_EQ(m.texScaleU, 300.0f / 512.0f);
    EXPECT_FLOAT_EQ(m.texScaleV, 200.0f / 256.0f);
    EXPECT_EQ(m.GetWidth(), 300);
    EXPECT_EQ(m.GetHeight(), 200);
    EXPECT_TRUE(m.IsSolid());
    EXPECT_EQ(Draw(&m) & 0xffffffu, 0x0080ffu);

    // A picture that cannot be loaded takes the texture away.
    EXPECT_FALSE(m.LoadTexture(dir_.File("missing.png").c_str()));
    EXPECT_FALSE(m.textureReady);
    EXPECT_EQ(m.glTexture, 0u);
    EXPECT_EQ(Draw(&m) & 0xffffffu, 0xffffffu);  // plain white diffuse
}

TEST_F(Textures, AnAttachedTranslucentCanvas) {
    FXCanvas glass;  // owned here, not by the material
    glass.pixmap.Realloc(8, 8);
    glass.pixmap.Clear(static_cast<int>(0x80ffffffu));
    glass.opaque = false;
    FXMaterial m;
    ASSERT_TRUE(m.SetTexture(&glass));
    EXPECT_EQ(m.textureImage, &glass);
    EXPECT_FALSE(m.IsSolid());
    uint32_t p = Draw(&m);
    EXPECT_NEAR(static_cast<int>(p & 255), 128, 2);  // white at half over black
    m.Destroy();
    EXPECT_EQ(m.glTexture, 0u);
    EXPECT_EQ(m.textureImage, nullptr);
    EXPECT_NE(glass.pixmap.pixels, nullptr);  // not the material's to free
}

TEST_F(Textures, MtlMapKdLoadsThePicture) {
    std::string pic = Picture("sky blue.png", 16, 16, 0xffffc080u);
    std::string mtl = dir_.File("lib.mtl");
    fxtest::WriteFile(mtl, "newmtl sky\nmap_Kd   " + pic + "  \nnewmtl none\nmap_Kd " + dir_.File("gone.png") + "\n");
    FXMatlib lib;
    ASSERT_TRUE(lib.LoadFromMtl(mtl.c_str()));
    FXMaterial* sky = lib.FindMaterial("sky");
    ASSERT_NE(sky, nullptr);
    EXPECT_STREQ(sky->textureFile.text, pic.c_str());
    EXPECT_TRUE(sky->textureReady);
    EXPECT_EQ(Draw(sky) & 0xffffffu, 0xffc080u);
    FXMaterial* none = lib.FindMaterial("none");
    ASSERT_NE(none, nullptr);
    EXPECT_FALSE(none->textureReady);  // the load went on without it
}

// A package with one picture and one material library referring to it.
class PackagedLibrary : public Textures {
protected:
    void Build(const std::string& libName, int picId, int libId) {
        std::string pic = Picture("wall.png", 4, 4, 0xff00ff00u);
        FXMatlib lib;
        lib.name.Set(libName.c_str());
        FXMaterial* m = new FXMaterial;
        m->ownedByLib = true;
        m->name.Set("wall");
        m->textureFile.Set(std::to_string(picId).c_str());
        lib.AddMaterial(m);
        FXMaterial* plain = new FXMaterial;
        plain->ownedByLib = true;
        plain->name.Set("plain");
        plain->SetDefSpecular1(0.5f);
        lib.AddMaterial(plain);
        std::string libFile = dir_.File("lib.bin");
        ASSERT_TRUE(lib.Save(libFile.c_str()));
        FXPackage build;
        build.AddDataFile(picId, pic.c_str());
        build.AddDataFile(libId, libFile.c_str());
        path_ = dir_.File("xxdata.dat");
        ASSERT_TRUE(build.Save(path_.c_str(), 1));
        ASSERT_TRUE(pck_.Load(path_.c_str()));
    }
    std::string path_;
    FXPackage pck_;
};

TEST_F(PackagedLibrary, LoadedByNumberWithItsTextures) {
    Build("7", 3, 7);
    FXMatlib* lib = gl_.LoadMatlibCN(&pck_, 7);
    ASSERT_NE(lib, nullptr);
    EXPECT_STREQ(lib->name.text, "7");
    EXPECT_EQ(lib->parent, gl_.GetDefaultMatlib());
    FXMaterial* wall = lib->FindMaterial("wall");
    ASSERT_NE(wall, nullptr);
    EXPECT_TRUE(wall->textureReady);
    EXPECT_EQ(Draw(wall) & 0xffffffu, 0x00ff00u);
    FXMaterial* plain = lib->FindMaterial("plain");
    ASSERT_NE(plain, nullptr);
    EXPECT_FLOAT_EQ(plain->specular[3], 0.5f);
    // The stored name is the number's text: found again, shared.
    EXPECT_EQ(gl_.LoadMatlibCN(&pck_, 7), lib);
    EXPECT_EQ(lib->refCount, 2);
}

TEST_F(PackagedLibrary, ANameOtherThanTheNumberIsNotFoundAgain) {
    Build("walls", 3, 7);
    FXMatlib* a = gl_.LoadMatlibCN(&pck_, 7);
    FXMatlib* b = gl_.LoadMatlibCN(&pck_, 7);
    EXPECT_NE(a, b);
    EXPECT_STREQ(a->name.text, "walls");
    EXPECT_EQ(gl_.LoadMatlibC(&pck_, "walls"), a);
    // A key that is no number, or no record, leaves the new library empty.
    FXMatlib* bad = gl_.LoadMatlibC(&pck_, "x12");
    EXPECT_EQ(bad->Count(), 0);
    EXPECT_EQ(gl_.LoadMatlibCN(&pck_, 99)->Count(), 0);
}

TEST_F(PackagedLibrary, ARecordThatLiesAboutItsCountLoadsWhatIsThere) {
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
    std::string p = dir_.File("liar.dat");
    ASSERT_TRUE(build.Save(p.c_str(), 0));
    ASSERT_TRUE(pck_.Load(p.c_str()));
    FXMatlib* lib = gl_.LoadMatlibCN(&pck_, 5);
    ASSERT_EQ(lib->Count(), 1);
    EXPECT_STREQ(lib->Get(0)->name.text, "only");
    // The same through the file form.
    FXMatlib fromFile;
    fromFile.Load(f.c_str());
    EXPECT_EQ(fromFile.Count(), 1);
}

TEST_F(PackagedLibrary, CompileTurnsTextureNamesIntoRecordNumbers) {
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

}  // namespace
