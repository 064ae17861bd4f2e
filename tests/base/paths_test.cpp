#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "../support/testutil.h"
#include "base/paths.h"

namespace {

std::string S(const char* p) { return p ? p : "(null)"; }

TEST(Paths, EndingSeparatorRule) {
    fxSetTypePath(1, "/data/velmira");
    EXPECT_EQ(S(fxGetTypePath(1)), "/data/velmira/");
    fxSetTypePath(1, "C:\\data");
    EXPECT_EQ(S(fxGetTypePath(1)), "C:\\data\\");
    fxSetTypePath(1, "C:\\data/mixed");
    EXPECT_EQ(S(fxGetTypePath(1)), "C:\\data/mixed\\");
    fxSetTypePath(1, "plain");
    EXPECT_EQ(S(fxGetTypePath(1)), "plain\\");
    fxSetTypePath(1, "");
    EXPECT_EQ(S(fxGetTypePath(1)), "\\");
    fxSetTypePath(1, "/already/");
    EXPECT_EQ(S(fxGetTypePath(1)), "/already/");

    fxSetTypePath(2, "/fonts");
    EXPECT_EQ(S(fxGetTypePath(2)), "/fonts/");
    fxSetTypePath(3, "/nowhere");
    EXPECT_EQ(fxGetTypePath(3), nullptr);
    EXPECT_EQ(S(fxGetTypePath(1)), "/already/");

    // 259 characters still get their separator.
    std::string longPath = "/" + std::string(258, 'd');
    fxSetTypePath(1, longPath.c_str());
    EXPECT_EQ(S(fxGetTypePath(1)), longPath + "/");
}

TEST(Paths, CombineTakesTheSecondAsRelative) {
    EXPECT_EQ(S(fxCombinePaths("C:\\data", "\\pics\\a.jpg")), "C:\\data\\pics\\a.jpg");
    EXPECT_EQ(S(fxCombinePaths("/data/", "/pics/a.jpg")), "/data/pics/a.jpg");
    EXPECT_EQ(S(fxCombinePaths("/data", "pics/a.jpg")), "/data/pics/a.jpg");
    EXPECT_EQ(S(fxCombinePaths("/data/sub/", "../x/./a.jpg")), "/data/x/a.jpg");
    EXPECT_EQ(S(fxCombinePaths("", "a.jpg")), "a.jpg");
    EXPECT_EQ(S(fxCombinePaths("/data/", "")), "/data/");
}

TEST(Paths, SharedResultIsOverwrittenByTheNextCall) {
    const char* first = fxCombinePaths("/a", "b");
    std::string copy = first;
    const char* second = fxCombinePaths("/c", "d");
    EXPECT_EQ(first, second);
    EXPECT_EQ(S(first), "/c/d");
    EXPECT_EQ(copy, "/a/b");
    // A result may be fed back in.
    EXPECT_EQ(S(fxCombinePaths(fxCombinePaths("/x", "y"), "z")), "/x/y/z");
}

TEST(Paths, RelativePaths) {
    EXPECT_EQ(S(fxBuildRelativePath("/data/content", false, "/data/content/pics/a.jpg", true)), "pics/a.jpg");
    EXPECT_EQ(S(fxBuildRelativePath("/data/content/", false, "/data/other/a.jpg", true)), "../other/a.jpg");
    EXPECT_EQ(S(fxBuildRelativePath("/data/content/scene.xss", true, "/data/content/a.jpg", true)), "a.jpg");
    EXPECT_EQ(S(fxBuildRelativePath("C:\\data\\content", false, "C:\\data\\pics\\a.jpg", true)), "..\\pics\\a.jpg");
    // Either separator on either side.
    EXPECT_EQ(S(fxBuildRelativePath("C:/data/content", false, "C:\\data\\content\\a.jpg", true)), "a.jpg");
    // No common root: the target unchanged.
    EXPECT_EQ(S(fxBuildRelativePath("C:\\data", false, "D:\\pics\\a.jpg", true)), "D:\\pics\\a.jpg");
    EXPECT_EQ(S(fxBuildRelativePath("/data", false, "pics/a.jpg", true)), "pics/a.jpg");
    EXPECT_EQ(S(fxBuildRelativePath("/data", false, "/data", false)), ".");
}

TEST(Paths, ExtensionAndSuffix) {
    EXPECT_EQ(S(fxChangeExt("/data/pics/pic.jpg", "png")), "/data/pics/pic.png");
    EXPECT_EQ(S(fxChangeExt("C:\\data\\pic.jpg", ".bmp")), "C:\\data\\pic.bmp");
    EXPECT_EQ(S(fxChangeExt("pic", "tga")), "pic.tga");
    EXPECT_EQ(S(fxChangeExt("/d.ir/pic", "x")), "/d.ir/pic.x");
    EXPECT_EQ(S(fxAppenfFname("/data/pics/pic.jpg", "_m")), "/data/pics/pic_m.jpg");
    EXPECT_EQ(S(fxAppenfFname("C:\\data\\pic.jpg", "_m")), "C:\\data\\pic_m.jpg");
    EXPECT_EQ(S(fxAppenfFname("noext", "_m")), "noext_m");
}

TEST(Paths, FileNamePart) {
    const char* p = "C:\\data/pics\\a.jpg";
    EXPECT_EQ(fxGetFilename(p), p + 13);
    EXPECT_EQ(S(fxGetFilename("a.jpg")), "a.jpg");
    EXPECT_EQ(S(fxGetFilename("/data/sub/")), "sub/");
}

TEST(Paths, CurrentFolderWithEitherSeparator) {
    fxtest::TempDir dir;
    std::string sub = dir.File("in side");
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);

    std::string back = sub;
    for (char& c : back)
        if (c == '/') c = '\\';
    ASSERT_TRUE(fxSetActPath(back.c_str()));
    EXPECT_EQ(S(fxGetActPath()), sub + "/");
    ASSERT_TRUE(fxSetActPath(dir.path().c_str()));
    EXPECT_EQ(S(fxGetActPath()), dir.path() + "/");

    fxSetTypePath(1, dir.path().c_str());
    EXPECT_TRUE(fxSetSubPath(1, "\\in side"));
    EXPECT_EQ(S(fxGetActPath()), sub + "/");
    EXPECT_TRUE(fxSetPath(1));
    EXPECT_TRUE(fxPathExists("in side"));
    EXPECT_TRUE(fxPathExists((dir.path() + "\\in side").c_str()));
    EXPECT_FALSE(fxSetActPath("no such folder"));
    EXPECT_FALSE(fxPathExists("no such folder"));
    ASSERT_EQ(chdir(old), 0);
}

TEST(Paths, InitPathsNamesTheCurrentFolderAndAFontsFolder) {
    fxInitPaths();
    EXPECT_EQ(S(fxGetTypePath(1)), S(fxGetActPath()));
    std::string fonts = S(fxGetTypePath(2));
    ASSERT_FALSE(fonts.empty());
    EXPECT_EQ(fonts.back(), '/');
}

}  // namespace
