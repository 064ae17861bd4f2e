#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "../support/testutil.h"
#include "render/light.h"
#include "render/material.h"
#include "render/matlib.h"

namespace {

using V = std::vector<float>;
V Four(const float* v) { return V(v, v + 4); }

TEST(FXLight, PresetsChangeTheColoursAndLeaveThePlaceAlone) {
    FXLight l;
    l.position[0] = 3;
    l.SetDefSpecular(0.5f);
    EXPECT_EQ(Four(l.position), (V{3, 0, -1, 1}));
    EXPECT_EQ(Four(l.specular), (V{1, 1, 1, 0.5f}));
    EXPECT_EQ(std::make_pair(l.spotExponent, l.attenuation[1]), std::make_pair(12.0f, 0.4f));
    l.SetDiffuseDark(0.3f, 1);
    l.MultiColorF(1, 0.5f, 1, 1);
    EXPECT_EQ(Four(l.diffuse), (V{0.3f, 0.15f, 0.3f, 1}));
    EXPECT_EQ(l.position[3] + l.attenuation[0], 0.0f);
    l.SetDefAmbient(1);
    EXPECT_EQ(Four(l.ambient), (V{1, 1, 1, 1}));
    EXPECT_EQ(Four(l.diffuse), (V{0, 0, 0, 0}));
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
    EXPECT_EQ((V{m.ambient[3], m.diffuse[3], m.specular[3], m.diffuse[0]}), (V{0.5f, 0.5f, 0.5f, 1}));
    m.SetDefSpecular(1);
    EXPECT_EQ(m.shininess, 128.0f);
    m.shininess = 7;
    m.SetDefEmission(0.5f);  // keeps the shininess
    EXPECT_EQ(m.shininess, 7.0f);
    EXPECT_EQ(Four(m.emission), (V{1, 1, 1, 0.5f}));
    m.ChangeDarkDiffuse(0.25f);
    EXPECT_EQ(Four(m.diffuse), (V{0.25f, 0.25f, 0.25f, 0.5f}));
}

class Mtl : public ::testing::Test {
protected:
    std::string Write(const std::string& text) {
        fxtest::WriteFile(path_, text);
        return path_;
    }
    fxtest::TempDir dir_;
    std::string path_ = dir_.File("lib.mtl");
};

TEST_F(Mtl, BlocksAndTheirValues) {
    std::string p = Write(
        "# made by hand\r\nKd 0.5 0.5 0.5\r\nnewmtl first extra words\r\nKa 0.1 0.2 0.3\r\nKd 1 0 0\r\nKs 0 1 0\r\n"
        "Ns 100\r\nNi 1.5\r\nillum 2\r\nmap_Kd   my pic.jpg  \r\nnewmtl second\nd 0.5\nTr 0.9\nKe 1 1 1\nmap_Ka other.jpg\n");
    FXMatlib lib;
    ASSERT_TRUE(lib.LoadFromMtl(p.c_str()));
    EXPECT_STREQ(lib.name.text, p.c_str());
    ASSERT_EQ(lib.Count(), 3);
    FXMaterial *m0 = lib.Get(0), *m1 = lib.Get(1), *m2 = lib.Get(2);
    EXPECT_EQ(std::string(m0->name.text) + "|" + m1->name.text + "|" + m2->name.text, "|first|second");
    EXPECT_EQ(std::string(m1->textureFile.text) + "|" + m2->textureFile.text, "my pic.jpg|");
    EXPECT_EQ(Four(m0->diffuse), (V{0.5f, 0.5f, 0.5f, 1}));
    // Ka, Kd (alpha as the preset left it), Ks, Ns; d but not Tr; no Ke.
    EXPECT_EQ(Four(m1->ambient), (V{0.1f, 0.2f, 0.3f, 0}));
    EXPECT_EQ(Four(m1->diffuse), (V{1, 0, 0, 1}));
    EXPECT_EQ(Four(m1->specular), (V{0, 1, 0, 1}));
    EXPECT_EQ(std::make_tuple(m1->shininess, m1->ownedByLib, m2->diffuse[3]), std::make_tuple(128.0f, true, 0.5f));
    EXPECT_EQ(Four(m2->emission), (V{0, 0, 0, 0}));
    EXPECT_EQ(std::make_tuple(lib.FindMaterial("second"), lib.FindMaterial(""), lib.FindMaterial("third")),
              std::make_tuple(m2, m0, static_cast<FXMaterial*>(nullptr)));
}

TEST_F(Mtl, UnknownTokensAreReportedAndHostileFilesStayInBounds) {
    fxtest::TraceCapture cap(dir_);
    std::string p = Write("nonsense here\nnewmtl a\n");
    FXMatlib lib;
    EXPECT_TRUE(lib.LoadFromMtl(p.c_str()));
    EXPECT_EQ(lib.Count(), 2);
    EXPECT_TRUE(fxtest::Has(cap.Stop(), "FXMatlib::LoadFromMtl -> unknown token(0): nonsense  in lib:" + p + "\n"));
    // A bare newmtl does not take the next line's word; an endless token and
    // an endless line are cut; a missing file empties the library.
    std::string longWord(5000, 'w');
    Write("newmtl\nKd 1 1 1\nnewmtl " + longWord + "\nmap_Kd " + longWord + "\nNs\n");
    ASSERT_TRUE(lib.LoadFromMtl(p.c_str()));
    ASSERT_EQ(lib.Count(), 3);
    EXPECT_TRUE(lib.Get(1)->name.IsEmpty());
    EXPECT_EQ(Four(lib.Get(1)->diffuse), (V{1, 1, 1, 1}));
    EXPECT_TRUE(lib.Get(2)->name.len > 1000 && lib.Get(2)->name.len <= 1023 && lib.Get(2)->textureFile.len <= 1023);
    EXPECT_FALSE(lib.LoadFromMtl(dir_.File("missing.mtl").c_str()));
    EXPECT_EQ(lib.Count(), 0);
}

// Lookups ask the parent first, and a loop of parents must not hang them.
TEST(FXMatlib, ParentFirstEvenThroughALoopOfParents) {
    FXMaterial own, parentRed;
    own.name.Set("red");
    parentRed.name.Set("red");
    FXMatlib parent, lib;
    parent.AddMaterial(&parentRed);
    lib.parent = &parent;
    lib.AddMaterial(&own);
    parent.parent = &lib;
    EXPECT_EQ(lib.FindMaterial("red"), &parentRed);
    EXPECT_EQ(lib.FindMaterial("blue"), nullptr);
    parent.parent = nullptr;
}

}  // namespace
