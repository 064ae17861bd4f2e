// The package tool, run as a program.
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "../support/testutil.h"
#include "package/package.h"
#include "pkg_util.h"

namespace {

using fxtest::Has;
using fxtest::ToolRun;

ToolRun RunFxpack(const std::string& args) { return fxtest::RunTool(FXPACK_PATH, args); }

class FxpackTool : public ScratchTest {};

TEST_F(FxpackTool, HelpAndUsageErrors) {
    ToolRun h = RunFxpack("--help");
    EXPECT_EQ(h.status, 0);
    EXPECT_TRUE(Has(h.out, "usage: fxpack"));
    EXPECT_TRUE(Has(h.out, "verify"));
    EXPECT_EQ(RunFxpack("build -h").status, 0);
    ToolRun none = RunFxpack("");
    EXPECT_EQ(none.status, 2);
    ToolRun bad = RunFxpack("frobnicate");
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(Has(bad.out, "unknown command 'frobnicate'"));
    EXPECT_EQ(RunFxpack("build " + P("x.dat")).status, 2);
    EXPECT_EQ(RunFxpack("build --bogus " + P("x.dat") + " a").status, 2);
    EXPECT_EQ(RunFxpack("list").status, 2);
}

TEST_F(FxpackTool, ErrorsNameTheFile) {
    ToolRun r = RunFxpack("list " + P("missing.dat"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, P("missing.dat")));
    WriteAll(P("text.txt"), "hello, this is not a package");
    r = RunFxpack("verify " + P("text.txt"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, P("text.txt")));
    EXPECT_TRUE(Has(r.out, "not a package"));
}

TEST_F(FxpackTool, BuildWritesTheFormatAndNames) {
    WriteAll(P("a.png"), "PNGDATA");
    WriteAll(P("b.obj"), "vertices");
    for (bool scramble : {false, true}) {
        std::string opts = scramble ? "-s " : "";
        ToolRun r = RunFxpack("build " + opts + "-n " + P("names.dat") + " -H " + P("names.h") + " " + P("out.dat") + " " +
                       P("a.png") + " " + P("b.obj"));
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(ReadAll(P("out.dat")), PackageFile({{0, 1066, "PNGDATA"}, {1, -1, "vertices"}}, scramble));
        Bytes h = ReadAll(P("names.h"));
        EXPECT_EQ(std::string(h.begin(), h.end()), "#define FXNAME_A_PNG  0\n#define FXNAME_B_OBJ  1\n");
        Bytes n;
        PutI32(&n, 2);
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
    ToolRun r = RunFxpack("build -m " + P("list.txt") + " " + P("m.dat"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadAll(P("m.dat")), PackageFile({{40, 1078, "G"}, {41, 1069, "TT"}, {7, 1078, "G"}}, false));
    // Names need ids in item order.
    r = RunFxpack("build -n " + P("n.dat") + " -m " + P("list.txt") + " " + P("m2.dat"));
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(P("m2.dat")));
    r = RunFxpack("build " + P("m3.dat") + " 3=" + P("art/x.gif") + " 3=" + P("art/x.gif"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, "id 3"));
}

TEST_F(FxpackTool, FailedBuildLeavesTheOldPackage) {
    WriteAll(P("a.bin"), "aaaa");
    Bytes old = PackageFile({{9, -1, "old"}}, true);
    WriteAll(P("pkg.dat"), old);
    ToolRun r = RunFxpack("build " + P("pkg.dat") + " " + P("a.bin") + " " + P("gone.jpg"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, P("gone.jpg")));
    EXPECT_EQ(ReadAll(P("pkg.dat")), old);
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir)) files += e.is_regular_file();
    EXPECT_EQ(files, 2);
}

TEST_F(FxpackTool, ListAndExtractAnIndependentPackage) {
    WriteAll(P("in.dat"), PackageFile({{3, 1061, "JPG!"}, {8, -1, "raw"}, {3, 1056, "dup"}}, true));
    ToolRun r = RunFxpack("list " + P("in.dat"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "jpg"));
    EXPECT_TRUE(Has(r.out, "bmp"));
    EXPECT_TRUE(Has(r.out, "3 records"));
    EXPECT_TRUE(Has(r.out, "scrambled"));
    std::filesystem::create_directories(P("out"));
    r = RunFxpack("extract " + P("in.dat") + " -o " + P("out"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadAll(P("out/3.jpg")), Bytes({'J', 'P', 'G', '!'}));
    EXPECT_EQ(ReadAll(P("out/8.bin")), Bytes({'r', 'a', 'w'}));
    EXPECT_EQ(ReadAll(P("out/3_2.bmp")), Bytes({'d', 'u', 'p'}));
    r = RunFxpack("extract " + P("in.dat") + " -o " + P("one") + " 8");
    EXPECT_EQ(r.status, 1);  // no such folder
    std::filesystem::create_directories(P("one"));
    r = RunFxpack("extract " + P("in.dat") + " -o " + P("one") + " 8 77");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, "id 77"));
    EXPECT_EQ(ReadAll(P("one/8.bin")), Bytes({'r', 'a', 'w'}));
}

TEST_F(FxpackTool, VerifyTellsSoundFromDamaged) {
    WriteAll(P("ok.dat"), PackageFile({{1, -1, "a"}, {1, -1, "b"}}, false));
    ToolRun r = RunFxpack("verify " + P("ok.dat"));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "id 1 is used by records 0 and 1"));
    Bytes full = PackageFile({{1, -1, "abc"}, {2, -1, "defg"}}, false);
    WriteAll(P("cut.dat"), Bytes(full.begin(), full.end() - 1));
    r = RunFxpack("verify " + P("cut.dat"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, "record 1 (id 2)"));
    EXPECT_TRUE(Has(r.out, "keeps 1 of 2"));
    WriteAll(P("short.dat"), Bytes(full.begin(), full.begin() + 20));
    r = RunFxpack("verify " + P("short.dat"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, "DAMAGED"));
}

}  // namespace
