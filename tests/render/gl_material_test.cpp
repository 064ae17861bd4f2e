// Materials with real textures: pictures decoded by DevIL, uploaded to the
// real device, drawn and read back.
#include "gltest.h"

#include <string>

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
    // A package of the picture (id 3) and of a material library naming it
    // (id 7), stored under libName.
    void Build(const std::string& libName) {
        std::string pic = Picture("wall.png", 4, 4, 0xff00ff00u);
        FXMatlib lib;
        lib.name.Set(libName.c_str());
        FXMaterial *wall = new FXMaterial, *plain = new FXMaterial;
        wall->ownedByLib = plain->ownedByLib = true;
        wall->name.Set("wall");
        wall->textureFile.Set("3");
        plain->name.Set("plain");
        plain->SetDefSpecular1(0.5f);
        lib.AddMaterial(wall);
        lib.AddMaterial(plain);
        ASSERT_TRUE(lib.Save(dir_.File("lib.bin").c_str()));
        FXPackage build;
        build.AddDataFile(3, pic.c_str());
        build.AddDataFile(7, dir_.File("lib.bin").c_str());
        ASSERT_TRUE(build.Save(dir_.File("xxdata.dat").c_str(), 1));
        ASSERT_TRUE(pck_.Load(dir_.File("xxdata.dat").c_str()));
    }
    FXPackage pck_;
};

TEST_F(Textures, PictureFileBecomesAScaledTextureAndAFailedLoadTakesItAway) {
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
}

TEST_F(Textures, AnAttachedTranslucentCanvas) {
    FXCanvas glass;  // owned here, not by the material
    glass.pixmap.Realloc(8, 8);
    glass.pixmap.Clear(static_cast<int>(0x80ffffffu));
    glass.opaque = false;
    FXMaterial m;
    ASSERT_TRUE(m.SetTexture(&glass));
    EXPECT_TRUE(m.textureImage == &glass && !m.IsSolid());
    EXPECT_NEAR(static_cast<int>(Draw(&m) & 255), 128, 2);  // white at half over black
    m.Destroy();
    EXPECT_FALSE(m.glTexture || m.textureImage);
    EXPECT_NE(glass.pixmap.pixels, nullptr);  // not the material's to free
}

TEST_F(Textures, MtlMapKdLoadsThePicture) {
    std::string pic = Picture("sky blue.png", 16, 16, 0xffffc080u), mtl = dir_.File("lib.mtl");
    fxtest::WriteFile(mtl, "newmtl sky\nmap_Kd   " + pic + "  \nnewmtl none\nmap_Kd " + dir_.File("gone.png") + "\n");
    FXMatlib lib;
    ASSERT_TRUE(lib.LoadFromMtl(mtl.c_str()));
    FXMaterial *sky = lib.FindMaterial("sky"), *none = lib.FindMaterial("none");
    ASSERT_TRUE(sky && none);
    EXPECT_STREQ(sky->textureFile.text, pic.c_str());
    EXPECT_EQ(Draw(sky), 0xffc080u);
    EXPECT_FALSE(none->textureReady);  // the load went on without it
}

TEST_F(Textures, PackagedLibraryLoadedByNumberWithItsTextures) {
    Build("7");
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

TEST_F(Textures, PackagedLibraryNamedOtherThanItsNumberIsNotFoundAgain) {
    Build("walls");
    FXMatlib* a = gl_.LoadMatlibCN(&pck_, 7);
    EXPECT_NE(gl_.LoadMatlibCN(&pck_, 7), a);
    EXPECT_STREQ(a->name.text, "walls");
    EXPECT_EQ(gl_.LoadMatlibC(&pck_, "walls"), a);
    // A key that is no number, or no record, leaves the new library empty.
    EXPECT_EQ(gl_.LoadMatlibC(&pck_, "x12")->Count(), 0);
    EXPECT_EQ(gl_.LoadMatlibCN(&pck_, 99)->Count(), 0);
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

}  // namespace
