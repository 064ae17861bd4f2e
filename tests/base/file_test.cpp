#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "../support/testutil.h"
#include "base/file.h"

namespace {

long Entries(const std::string& dir) {
    auto it = std::filesystem::directory_iterator(dir);
    return std::distance(begin(it), end(it));
}

unsigned Mode(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0u;
}

struct FailRow {
    const char* what;
    rlim_t fileLimit;  // 0: none; else the disk is "full" past this many bytes
    FXFileWriter write;
};

TEST(ReplaceFile, AFailedWriteLeavesTheOldFileWholeAndNoTemporary) {
    const std::string big(64 * 1024, 'n');
    auto fill = [&](FILE* f) { return fwrite(big.data(), 1, big.size(), f) == big.size(); };
    const std::vector<FailRow> rows = {
        {"writer refuses", 0, [](FILE* f) { return fputs("half", f) < 0; }},
        {"disk full", 4096, fill},
        // The write errors must be caught even from a writer that ignores them.
        {"disk full, writer unaware", 4096, [&](FILE* f) { return fill(f) || true; }},
    };
    for (const FailRow& r : rows) {
        SCOPED_TRACE(r.what);
        fxtest::TempDir dir;
        std::string target = dir.File("data.txt");
        fxtest::WriteFile(target, "old content");
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // Past the limit write() fails with EFBIG instead of a signal.
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit lim = {r.fileLimit, r.fileLimit};
            if (r.fileLimit && setrlimit(RLIMIT_FSIZE, &lim) != 0) _exit(3);
            _exit(fxReplaceFile(target.c_str(), r.write) ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "the replace reported success";
        EXPECT_EQ(fxtest::ReadFile(target), "old content");
        EXPECT_EQ(Entries(dir.path()), 1);
    }
}

TEST(ReplaceFile, ReplacesWholeAndKeepsTheProgramExecutable) {
    fxtest::TempDir dir;
    fxtest::WriteFile(dir.File("prog"), "old");
    struct Row {
        std::string path;
        unsigned flags;
        unsigned mask, mode;  // of the permission bits
    } rows[] = {
        {dir.File("prog"), FX_REPLACE_EXECUTABLE, 0777u, 0755u},
        {dir.path() + "\\new.txt", FX_REPLACE_TEXT, 0111u, 0u},  // stored paths may use '\\'
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.path);
        ASSERT_TRUE(fxReplaceFile(r.path.c_str(), [](FILE* f) { return fputs("new\n", f) >= 0; }, r.flags));
        std::string native = r.path;
        std::replace(native.begin(), native.end(), '\\', '/');
        EXPECT_EQ(fxtest::ReadFile(native), "new\n");
        EXPECT_EQ(Mode(native) & r.mask, r.mode);
    }
    EXPECT_EQ(Entries(dir.path()), 2);
}

TEST(Folders, NestedFoldersFollowTheUmaskTemporaryOnesArePrivate) {
    fxtest::TempDir dir;
    mode_t old = umask(022);
    ASSERT_TRUE(fxMakeFolder((dir.path() + "/a/b\\c/").c_str()));
    umask(old);
    for (const char* sub : {"/a", "/a/b", "/a/b/c"}) EXPECT_EQ(Mode(dir.path() + sub), 0755u) << sub;
    EXPECT_TRUE(fxMakeFolder((dir.path() + "/a/b").c_str()));  // already there
    fxtest::WriteFile(dir.File("file"), "x");
    EXPECT_FALSE(fxMakeFolder(dir.File("file/sub").c_str()));

    FXStr t1, t2;
    ASSERT_TRUE(fxMakeTempFolder(dir.path().c_str(), "work-", &t1));
    ASSERT_TRUE(fxMakeTempFolder(dir.path().c_str(), "work-", &t2));
    EXPECT_NE(std::string(t1.text), std::string(t2.text));
    EXPECT_EQ(std::string(t1.text).rfind(dir.File("work-"), 0), 0u) << t1.text;
    EXPECT_EQ(Mode(t1.text), 0700u);
    EXPECT_TRUE(fxRemoveFolder(t1.text));
    EXPECT_FALSE(fxMakeTempFolder(dir.File("missing").c_str(), "work-", &t1));
    EXPECT_TRUE(t1.IsEmpty());
}

}  // namespace
