// The package tool, run as a program.
#include <filesystem>
#include <string>

#include "pkg_util.h"

namespace {

using fxtest::Has;
using fxtest::ReadFile;
using fxtest::ToolRun;
using fxtest::WriteFile;

class FxpackTool : public ScratchTest {
protected:
    ToolRun Run(const std::string& args) { return fxtest::RunTool(FXPACK_PATH, args); }
    // Exit status, then whether the output says what it must.
    void Expect(const std::string& args, int status, const std::string& says) {
        ToolRun r = Run(args);
        EXPECT_EQ(r.status, status) << args;
        EXPECT_TRUE(Has(r.out, says)) << args << "\n" << r.out;
    }
};

TEST_F(FxpackTool, HelpUsageErrorsAndMissingFiles) {
    WriteFile(P("text.txt"), "hello, this is not a package");
    struct Case {
        std::string args;
        int status;
        std::string says;
    } cases[] = {
        {"--help", 0, "usage: fxpack"},
        {"--help", 0, "verify"},
        {"build -h", 0, ""},
        {"", 2, ""},
        {"frobnicate", 2, "unknown command 'frobnicate'"},
        {"build " + P("x.dat"), 2, ""},
        {"build --bogus " + P("x.dat") + " a", 2, ""},
        {"list", 2, ""},
        {"list " + P("missing.dat"), 1, P("missing.dat")},
        {"verify " + P("text.txt"), 1, "not a package"},
        {"verify " + P("text.txt"), 1, P("text.txt")},
    };
    for (const Case& c : cases) Expect(c.args, c.status, c.says);
}

TEST_F(FxpackTool, BuildWritesTheFormatAndNames) {
    WriteFile(P("a.png"), "PNGDATA");
    WriteFile(P("b.obj"), "vertices");
    for (bool scramble : {false, true}) {
        ToolRun r = Run(std::string("build ") + (scramble ? "-s " : "") + "-n " + P("names.dat") + " -H " +
                        P("names.h") + " " + P("out.dat") + " " + P("a.png") + " " + P("b.obj"));
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(ReadFile(P("out.dat")), PackageFile({{0, 1066, "PNGDATA"}, {1, -1, "vertices"}}, scramble));
        EXPECT_EQ(fxtest::ReadText(P("names.h")), "#define FXNAME_A_PNG  0\n#define FXNAME_B_OBJ  1\n");
        EXPECT_EQ(ReadFile(P("names.dat")), Le32({2}) + Str(P("a.png")) + Str(P("b.obj")));
    }
}

TEST_F(FxpackTool, BuildFromManifestWithIds) {
    std::filesystem::create_directories(P("art"));
    WriteFile(P("art/x.gif"), "G");
    WriteFile(P("art/y z.tga"), "TT");
    WriteFile(P("list.txt"), "# content\n\n40 art/x.gif\nart/y z.tga\n  7   " + P("art/x.gif") + "\n");
    ToolRun r = Run("build -m " + P("list.txt") + " " + P("m.dat"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadFile(P("m.dat")), PackageFile({{40, 1078, "G"}, {41, 1069, "TT"}, {7, 1078, "G"}}, false));
    // Names need ids in item order; one id twice is refused.
    EXPECT_EQ(Run("build -n " + P("n.dat") + " -m " + P("list.txt") + " " + P("m2.dat")).status, 1);
    EXPECT_FALSE(std::filesystem::exists(P("m2.dat")));
    Expect("build " + P("m3.dat") + " 3=" + P("art/x.gif") + " 3=" + P("art/x.gif"), 1, "id 3");
}

TEST_F(FxpackTool, FailedBuildLeavesTheOldPackage) {
    WriteFile(P("a.bin"), "aaaa");
    std::string old = PackageFile({{9, -1, "old"}}, true);
    WriteFile(P("pkg.dat"), old);
    Expect("build " + P("pkg.dat") + " " + P("a.bin") + " " + P("gone.jpg"), 1, P("gone.jpg"));
    EXPECT_EQ(ReadFile(P("pkg.dat")), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2);  // no temporary file left
}

TEST_F(FxpackTool, ListAndExtractAnIndependentPackage) {
    WriteFile(P("in.dat"), PackageFile({{3, 1061, "JPG!"}, {8, -1, "raw"}, {3, 1056, "dup"}}, true));
    ToolRun r = Run("list " + P("in.dat"));
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char* s : {"jpg", "bmp", "3 records", "scrambled"}) EXPECT_TRUE(Has(r.out, s)) << s;
    std::filesystem::create_directories(P("out"));
    Expect("extract " + P("in.dat") + " -o " + P("out"), 0, "");
    EXPECT_EQ(ReadFile(P("out/3.jpg")) + ReadFile(P("out/8.bin")) + ReadFile(P("out/3_2.bmp")), "JPG!rawdup");
    EXPECT_EQ(Run("extract " + P("in.dat") + " -o " + P("one") + " 8").status, 1);  // no such folder
    std::filesystem::create_directories(P("one"));
    Expect("extract " + P("in.dat") + " -o " + P("one") + " 8 77", 1, "id 77");
    EXPECT_EQ(ReadFile(P("one/8.bin")), "raw");
}

TEST_F(FxpackTool, VerifyTellsSoundFromDamaged) {
    WriteFile(P("ok.dat"), PackageFile({{1, -1, "a"}, {1, -1, "b"}}, false));
    Expect("verify " + P("ok.dat"), 0, "id 1 is used by records 0 and 1");
    std::string full = PackageFile({{1, -1, "abc"}, {2, -1, "defg"}}, false);
    WriteFile(P("cut.dat"), full.substr(0, full.size() - 1));
    Expect("verify " + P("cut.dat"), 1, "record 1 (id 2)");
    Expect("verify " + P("cut.dat"), 1, "keeps 1 of 2");
    WriteFile(P("short.dat"), full.substr(0, 20));
    Expect("verify " + P("short.dat"), 1, "DAMAGED");
}

}  // namespace
