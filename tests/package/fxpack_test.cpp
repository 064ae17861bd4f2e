// The package tool, run as a program.
#include <string>

#include "package/package.h"
#include "pkg_util.h"

namespace {

using fxtest::Has;
using fxtest::ToolRun;

class FxpackTool : public ScratchTest {
protected:
    ToolRun Run(const std::string& args) { return fxtest::RunTool(FXPACK_PATH, args); }
};

TEST_F(FxpackTool, HelpUsageErrorsAndMissingFiles) {
    ToolRun h = Run("--help");
    EXPECT_EQ(h.status, 0);
    EXPECT_TRUE(Has(h.out, "usage: fxpack"));
    EXPECT_TRUE(Has(h.out, "verify"));
    struct Case {
        std::string args;
        int status;
        std::string says;
    } cases[] = {
        {"build -h", 0, ""},
        {"", 2, ""},
        {"frobnicate", 2, "unknown command 'frobnicate'"},
        {"build " + P("x.dat"), 2, ""},
        {"build --bogus " + P("x.dat") + " a", 2, ""},
        {"list", 2, ""},
        {"list " + P("missing.dat"), 1, P("missing.dat")},
        {"verify " + P("text.txt"), 1, "not a package"},
    };
    WriteAll(P("text.txt"), "hello, this is not a package");
    for (const Case& c : cases) {
        ToolRun r = Run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_TRUE(Has(r.out, c.says)) << c.args << "\n" << r.out;
    }
    EXPECT_TRUE(Has(Run("verify " + P("text.txt")).out, P("text.txt")));
}

TEST_F(FxpackTool, BuildWritesTheFormatAndNames) {
    WriteAll(P("a.png"), "PNGDATA");
    WriteAll(P("b.obj"), "vertices");
    for (bool scramble : {false, true}) {
        ToolRun r = Run(std::string("build ") + (scramble ? "-s " : "") + "-n " + P("names.dat") + " -H " + P("names.h") +
                        " " + P("out.dat") + " " + P("a.png") + " " + P("b.obj"));
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(ReadAll(P("out.dat")), PackageFile({{0, 1066, "PNGDATA"}, {1, -1, "vertices"}}, scramble));
        EXPECT_EQ(fxtest::ReadFile(P("names.h")), "#define FXNAME_A_PNG  0\n#define FXNAME_B_OBJ  1\n");
        Bytes n = Ints({2});
        PutStr(&n, P("a.png"));
        PutStr(&n, P("b.obj"));
        EXPECT_EQ(ReadAll(P("names.dat")), n);
    }
}

TEST_F(FxpackTool, BuildFromManifestWithIds) {
    std::filesystem::create_directories(P("art"));
    WriteAll(P("art/x.gif"), "G");
    WriteAll(P("art/y z.tga"), "TT");
    WriteAll(P("list.txt"), "# content\n\n40 art/x.gif\nart/y z.tga\n  7   " + P("art/x.gif") + "\n");
    ToolRun r = Run("build -m " + P("list.txt") + " " + P("m.dat"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadAll(P("m.dat")), PackageFile({{40, 1078, "G"}, {41, 1069, "TT"}, {7, 1078, "G"}}, false));
    // Names need ids in item order.
    EXPECT_EQ(Run("build -n " + P("n.dat") + " -m " + P("list.txt") + " " + P("m2.dat")).status, 1);
    EXPECT_FALSE(std::filesystem::exists(P("m2.dat")));
    r = Run("build " + P("m3.dat") + " 3=" + P("art/x.gif") + " 3=" + P("art/x.gif"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, "id 3"));
}

TEST_F(FxpackTool, FailedBuildLeavesTheOldPackage) {
    WriteAll(P("a.bin"), "aaaa");
    Bytes old = PackageFile({{9, -1, "old"}}, true);
    WriteAll(P("pkg.dat"), old);
    ToolRun r = Run("build " + P("pkg.dat") + " " + P("a.bin") + " " + P("gone.jpg"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, P("gone.jpg")));
    EXPECT_EQ(ReadAll(P("pkg.dat")), old);
    EXPECT_EQ(RegularFiles(dir), 2);
}

TEST_F(FxpackTool, ListAndExtractAnIndependentPackage) {
    WriteAll(P("in.dat"), PackageFile({{3, 1061, "JPG!"}, {8, -1, "raw"}, {3, 1056, "dup"}}, true));
    ToolRun r = Run("list " + P("in.dat"));
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char* s : {"jpg", "bmp", "3 records", "scrambled"}) EXPECT_TRUE(Has(r.out, s)) << s;
    std::filesystem::create_directories(P("out"));
    r = Run("extract " + P("in.dat") + " -o " + P("out"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(fxtest::ReadFile(P("out/3.jpg")), "JPG!");
    EXPECT_EQ(fxtest::ReadFile(P("out/8.bin")), "raw");
    EXPECT_EQ(fxtest::ReadFile(P("out/3_2.bmp")), "dup");
    EXPECT_EQ(Run("extract " + P("in.dat") + " -o " + P("one") + " 8").status, 1);  // no such folder
    std::filesystem::create_directories(P("one"));
    r = Run("extract " + P("in.dat") + " -o " + P("one") + " 8 77");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, "id 77"));
    EXPECT_EQ(fxtest::ReadFile(P("one/8.bin")), "raw");
}

TEST_F(FxpackTool, VerifyTellsSoundFromDamaged) {
    WriteAll(P("ok.dat"), PackageFile({{1, -1, "a"}, {1, -1, "b"}}, false));
    ToolRun r = Run("verify " + P("ok.dat"));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "id 1 is used by records 0 and 1"));
    Bytes full = PackageFile({{1, -1, "abc"}, {2, -1, "defg"}}, false);
    WriteAll(P("cut.dat"), Bytes(full.begin(), full.end() - 1));
    r = Run("verify " + P("cut.dat"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, "record 1 (id 2)"));
    EXPECT_TRUE(Has(r.out, "keeps 1 of 2"));
    WriteAll(P("short.dat"), Bytes(full.begin(), full.begin() + 20));
    r = Run("verify " + P("short.dat"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, "DAMAGED"));
}

}  // namespace
