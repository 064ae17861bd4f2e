#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "../support/testutil.h"
#include "base/trace.h"
#include "render/light.h"
#include "render/material.h"
#include "render/matlib.h"

namespace {

void Expect4(const float* v, float a, float b, float c, float d) {
    EXPECT_FLOAT_EQ(v[0], a);
    EXPECT_FLOAT_EQ(v[1], b);
    EXPECT_FLOAT_EQ(v[2], c);
    EXPECT_FLOAT_EQ(v[3], d);
}

TEST(FXLight, PresetsLeaveThePlaceAlone) {
    FXLight l;
    Expect4(l.position, 0, 0, -1, 0);
    Expect4(l.ambient, 0.2f, 0.2f, 0.2f, 1);
    EXPECT_EQ(l.spotCutoff, 180.0f);
    l.position[0] = 3;
    l.SetDefSpecular(0.5f);
    Expect4(l.position, 3, 0, -1, 1);
    Expect4(l.specular, 1, 1, 1, 0.5f);
    EXPECT_EQ(l.spotExponent, 12.0f);
    EXPECT_FLOAT_EQ(l.attenuation[1], 0.4f);
    l.SetDiffuseDark(0.3f, 1);
    Expect4(l.diffuse, 0.3f, 0.3f, 0.3f, 1);
    EXPECT_EQ(l.position[3], 0.0f);
    EXPECT_EQ(l.attenuation[0], 0.0f);
    l.MultiColorF(1, 0.5f, 1, 1);
    Expect4(l.diffuse, 0.3f, 0.15f, 0.3f, 1);
    l.SetDefAmbient(1);
    Expect4(l.ambient, 1, 1, 1, 1);
    Expect4(l.diffuse, 0, 0, 0, 0);
}

TEST(FXMaterial, SolidityAndTinting) {
    FXMaterial m;
    EXPECT_TRUE(m.IsSolid());
    m.diffuse[3] = 0.999f;
    EXPECT_FALSE(m.IsSolid());
    m.diffuse[3] = 1;
    m.textureReady = true;
    m.textureOpaque = false;
    EXPECT_FALSE(m.IsSolid());

    m.SetDefSpecular1(1);
    m.PreserveCols();
    const float half[4] = {1, 1, 1, 0.5f};
    m.MultiCols(half);
    m.MultiCols(half);  // does not compound
    EXPECT_FLOAT_EQ(m.ambient[3], 0.5f);
    EXPECT_FLOAT_EQ(m.diffuse[3], 0.5f);
    EXPECT_FLOAT_EQ(m.specular[3], 0.5f);
    EXPECT_FLOAT_EQ(m.diffuse[0], 1.0f);

    m.shininess = 7;
    m.SetDefSpecular(1);
    EXPECT_EQ(m.shininess, 128.0f);
    m.shininess = 7;
    m.SetDefEmission(0.5f);
    EXPECT_EQ(m.shininess, 7.0f);
    Expect4(m.emission, 1, 1, 1, 0.5f);
    m.ChangeDarkDiffuse(0.25f);
    Expect4(m.diffuse, 0.25f, 0.25f, 0.25f, 0.5f);
}

TEST(FXMaterial, FileFormRoundTrip) {
    FXMaterial a;
    a.name.Set("skin");
    a.SetDefSpecular1(0.75f);
    a.shininess = 33;
    FILE* f = tmpfile();
    a.Save(f);
    EXPECT_EQ(ftell(f), 4 + 4 + 4 + 64 + 4);
    rewind(f);
    FXMaterial b;
    EXPECT_TRUE(b.Load(f));
    EXPECT_STREQ(b.name.text, "skin");
    EXPECT_TRUE(b.textureFile.IsEmpty());
    Expect4(b.specular, 1, 1, 1, 0.75f);
    EXPECT_EQ(b.shininess, 33.0f);
    EXPECT_TRUE(b.ownedByLib);
    // A record cut short reports it.
    rewind(f);
    FILE* g = tmpfile();
    char buf[40];
    ASSERT_EQ(fread(buf, 1, sizeof buf, f), sizeof buf);
    fwrite(buf, 1, sizeof buf, g);
    rewind(g);
    FXMaterial c;
    EXPECT_FALSE(c.Load(g));
    fclose(f);
    fclose(g);
}

class Mtl : public ::testing::Test {
protected:
    std::string Write(const std::string& text) {
        std::string p = dir_.File("lib.mtl");
        fxtest::WriteFile(p, text);
        return p;
    }
    fxtest::TempDir dir_;
};

TEST_F(Mtl, BlocksAndTheirValues) {
    std::string p = Write(
        "# made by hand\r\n"
        "Kd 0.5 0.5 0.5\r\n"
        "newmtl first extra words\r\n"
        "Ka 0.1 0.2 0.3\r\n"
        "Kd 1 0 0\r\n"
        "Ks 0 1 0\r\n"
        "Ns 100\r\n"
        "Ni 1.5\r\n"
        "illum 2\r\n"
        "map_Kd   my pic.jpg  \r\n"
        "newmtl second\n"
        "d 0.5\n"
        "Tr 0.9\n"
        "Ke 1 1 1\n"
        "map_Ka other.jpg\n");
    FXMatlib lib;
    ASSERT_TRUE(lib.LoadFromMtl(p.c_str()));
    EXPECT_STREQ(lib.name.text, p.c_str());
    ASSERT_EQ(lib.Count(), 3);
    FXMaterial* m0 = lib.Get(0);
    EXPECT_TRUE(m0->name.IsEmpty());
    Expect4(m0->diffuse, 0.5f, 0.5f, 0.5f, 1);
    FXMaterial* m1 = lib.Get(1);
    EXPECT_STREQ(m1->name.text, "first");
    Expect4(m1->ambient, 0.1f, 0.2f, 0.3f, 0);
    Expect4(m1->diffuse, 1, 0, 0, 1);  // alpha as the preset left it
    Expect4(m1->specular, 0, 1, 0, 1);
    EXPECT_FLOAT_EQ(m1->shininess, 128.0f);
    EXPECT_STREQ(m1->textureFile.text, "my pic.jpg");
    EXPECT_TRUE(m1->ownedByLib);
    FXMaterial* m2 = lib.Get(2);
    EXPECT_STREQ(m2->name.text, "second");
    EXPECT_FLOAT_EQ(m2->diffuse[3], 0.5f);
    EXPECT_TRUE(m2->textureFile.IsEmpty());
    Expect4(m2->emission, 0, 0, 0, 0);
    EXPECT_EQ(lib.FindMaterial("second"), m2);
    EXPECT_EQ(lib.FindMaterial(""), m0);
    EXPECT_EQ(lib.FindMaterial("third"), nullptr);
}

TEST_F(Mtl, UnknownNTokensAreReported) {
    std::string log = dir_.File("t.log");
    fxCloseTraces();
    ASSERT_TRUE(fxOpenTraces(log.c_str()));
    std::string p = Write("nonsense here\nnewmtl a\n");
    FXMatlib lib;
    EXPECT_TRUE(lib.LoadFromMtl(p.c_str()));
    fxCloseTraces();
    EXPECT_EQ(lib.Count(), 2);
    std::string want = "FXMatlib::LoadFromMtl -> unknown token(0): nonsense  in lib:" + p + "\n";
    EXPECT_NE(fxtest::ReadFile(log).find(want), std::string::npos);
}

TEST_F(Mtl, HostileFilesStayInBounds) {
    // A bare newmtl does not take the next line's word; an endless token and
    // an endless line are cut; a missing file empties the library.
    std::string longWord(5000, 'w');
    std::string p = Write("newmtl\nKd 1 1 1\nnewmtl " + longWord + "\nmap_Kd " + longWord + "\nNs\n");
    FXMatlib lib;
    ASSERT_TRUE(lib.LoadFromMtl(p.c_str()));
    ASSERT_EQ(lib.Count(), 3);
    EXPECT_TRUE(lib.Get(1)->name.IsEmpty());
    Expect4(lib.Get(1)->diffuse, 1, 1, 1, 1);
    EXPECT_GT(lib.Get(2)->name.len, 1000);
    EXPECT_LE(lib.Get(2)->name.len, 1023);
    EXPECT_LE(lib.Get(2)->textureFile.len, 1023);
    EXPECT_FALSE(lib.LoadFromMtl(dir_.File("missing.mtl").c_str()));
    EXPECT_EQ(lib.Count(), 0);
}

TEST(FXMatlib, ParentFirstAndOwnership) {
    FXMaterial outside, parentRed;
    outside.name.Set("red");
    parentRed.name.Set("red");
    FXMatlib parent;
    parent.AddMaterial(&parentRed);
    FXMatlib* lib = new FXMatlib;
    lib->parent = &parent;
    lib->AddMaterial(&outside);
    lib->AddMaterial(&outside);
    EXPECT_EQ(lib->Count(), 1);
    EXPECT_EQ(lib->FindMaterial("red"), &parentRed);
    // A loop of parents does not hang the search.
    parent.parent = lib;
    EXPECT_EQ(lib->FindMaterial("red"), &parentRed);
    EXPECT_EQ(lib->FindMaterial("blue"), nullptr);
    parent.parent = nullptr;

    lib->refCount = 2;
    lib->Release();
    EXPECT_EQ(lib->refCount, 1);
    EXPECT_EQ(lib->Count(), 1);
    lib->Release();  // deleted; the outside material lives on
    EXPECT_STREQ(outside.name.text, "red");
}

}  // namespace
