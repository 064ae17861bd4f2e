#include <gtest/gtest.h>

#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#include <stdlib.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "../support/testutil.h"
#include "base/paths.h"

namespace {

std::string S(const char* p) { return p ? p : "(null)"; }

// The current folder as the system names it after changing into path:
// absolute, in the system's separators (on Windows with its drive).
std::string Abs(const std::string& path) {
#ifdef _WIN32
    char full[4096];
    return _fullpath(full, path.c_str(), sizeof full) ? full : "";
#else
    return path;
#endif
}

#ifdef _WIN32
int MakeDir(const std::string& p) { return _mkdir(p.c_str()); }
#define getcwd _getcwd
#define chdir _chdir
#else
int MakeDir(const std::string& p) { return mkdir(p.c_str(), 0755); }
#endif

TEST(Paths, TypePathsEndInTheirOwnKindOfSeparator) {
    std::string longPath = "/" + std::string(258, 'd');  // 259 characters still get theirs
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"/data/velmira", "/data/velmira/"}, {"C:\\data", "C:\\data\\"}, {"C:\\data/mixed", "C:\\data/mixed\\"},
        {"plain", "plain\\"}, {"", "\\"}, {"/already/", "/already/"}, {longPath, longPath + "/"}};
    for (const auto& [path, want] : rows) {
        SCOPED_TRACE(path);
        fxSetTypePath(1, path.c_str());
        EXPECT_EQ(S(fxGetTypePath(1)), want);
    }
    fxSetTypePath(2, "/fonts");
    EXPECT_EQ(S(fxGetTypePath(2)), "/fonts/");
    fxSetTypePath(3, "/nowhere");
    EXPECT_EQ(fxGetTypePath(3), nullptr);
    EXPECT_EQ(S(fxGetTypePath(1)), longPath + "/");
}

TEST(Paths, CombineRelativeExtensionAndName) {
    // Each result is copied before the next call overwrites the shared buffer.
    std::vector<std::pair<std::string, std::string>> rows = {
        {S(fxCombinePaths("C:\\data", "\\pics\\a.jpg")), "C:\\data\\pics\\a.jpg"},
        {S(fxCombinePaths("/data/", "/pics/a.jpg")), "/data/pics/a.jpg"},
        {S(fxCombinePaths("/data", "pics/a.jpg")), "/data/pics/a.jpg"},
        {S(fxCombinePaths("/data/sub/", "../x/./a.jpg")), "/data/x/a.jpg"},
        {S(fxCombinePaths("", "a.jpg")), "a.jpg"},
        {S(fxCombinePaths("/data/", "")), "/data/"},
        {S(fxBuildRelativePath("/data/content", false, "/data/content/pics/a.jpg", true)), "pics/a.jpg"},
        {S(fxBuildRelativePath("/data/content/", false, "/data/other/a.jpg", true)), "../other/a.jpg"},
        {S(fxBuildRelativePath("/data/content/scene.xss", true, "/data/content/a.jpg", true)), "a.jpg"},
        {S(fxBuildRelativePath("C:\\data\\content", false, "C:\\data\\pics\\a.jpg", true)), "..\\pics\\a.jpg"},
        {S(fxBuildRelativePath("C:/data/content", false, "C:\\data\\content\\a.jpg", true)), "a.jpg"},
        {S(fxBuildRelativePath("C:\\data", false, "D:\\pics\\a.jpg", true)), "D:\\pics\\a.jpg"},  // no common root
        {S(fxBuildRelativePath("/data", false, "pics/a.jpg", true)), "pics/a.jpg"},
        {S(fxBuildRelativePath("/data", false, "/data", false)), "."},
        {S(fxChangeExt("/data/pics/pic.jpg", "png")), "/data/pics/pic.png"},
        {S(fxChangeExt("C:\\data\\pic.jpg", ".bmp")), "C:\\data\\pic.bmp"},
        {S(fxChangeExt("pic", "tga")), "pic.tga"},
        {S(fxChangeExt("/d.ir/pic", "x")), "/d.ir/pic.x"},
        {S(fxAppenfFname("/data/pics/pic.jpg", "_m")), "/data/pics/pic_m.jpg"},
        {S(fxAppenfFname("C:\\data\\pic.jpg", "_m")), "C:\\data\\pic_m.jpg"},
        {S(fxAppenfFname("noext", "_m")), "noext_m"},
        {S(fxGetFilename("a.jpg")), "a.jpg"},
        {S(fxGetFilename("/data/sub/")), "sub/"},
        {S(fxCombinePaths(fxCombinePaths("/x", "y"), "z")), "/x/y/z"},  // a result may be fed back in
    };
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].first, rows[i].second) << "row " << i;
}

TEST(Paths, CurrentFolderWithEitherSeparator) {
    fxtest::TempDir dir;
    std::string sub = dir.File("in side");
    ASSERT_EQ(MakeDir(sub), 0);
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    std::string back = sub;
    std::replace(back.begin(), back.end(), '/', '\\');
    ASSERT_TRUE(fxSetActPath(back.c_str()));
    EXPECT_EQ(S(fxGetActPath()), Abs(sub) + fxtest::kNativeSep);
    ASSERT_TRUE(fxSetActPath(dir.path().c_str()));
    EXPECT_EQ(S(fxGetActPath()), Abs(dir.path()) + fxtest::kNativeSep);
    fxSetTypePath(1, dir.path().c_str());
    EXPECT_TRUE(fxSetSubPath(1, "\\in side"));
    EXPECT_EQ(S(fxGetActPath()), Abs(sub) + fxtest::kNativeSep);
    EXPECT_TRUE(fxSetPath(1));
    EXPECT_TRUE(fxPathExists("in side"));
    EXPECT_TRUE(fxPathExists((dir.path() + "\\in side").c_str()));
    EXPECT_FALSE(fxSetActPath("no such folder"));
    EXPECT_FALSE(fxPathExists("no such folder"));
    ASSERT_EQ(chdir(old), 0);
}

}  // namespace
