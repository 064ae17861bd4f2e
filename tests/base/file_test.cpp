#include <gtest/gtest.h>

#include <sys/stat.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

#ifdef _WIN32
// No file-size limit to make a disk "full" on Windows: the failures a writer
// reports itself, in this process.
TEST(ReplaceFile, AFailedWriteLeavesTheOldFileWholeAndNoTemporary) {
    const std::vector<std::pair<const char*, FXFileWriter>> rows = {
        {"writer refuses", [](FILE* f) { return fputs("half", f) < 0; }},
        {"writer throws", [](FILE* f) -> bool { throw fputs("half", f); }},
    };
    for (const auto& [what, write] : rows) {
        SCOPED_TRACE(what);
        fxtest::TempDir dir;
        std::string target = dir.File("data.txt");
        fxtest::WriteFile(target, "old content");
        bool ok = true;
        try {
            ok = fxReplaceFile(target.c_str(), write);
        } catch (int) {
            ok = false;
        }
        EXPECT_FALSE(ok);
        EXPECT_EQ(fxtest::ReadFile(target), "old content");
        EXPECT_EQ(Entries(dir.path()), 1);
    }
}
#else
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
#endif

TEST(ReplaceFile, ReplacesWholeAndKeepsTheProgramExecutable) {
    fxtest::TempDir dir;
    fxtest::WriteFile(dir.File("prog"), "old");
    struct Row {
        std::string path;
        unsigned flags;
        unsigned mask, mode;  // of the permission bits
        const char* bytes;
    } rows[] = {
#ifdef _WIN32
        // No modes to keep: the replaced file stays writable; text mode writes
        // the system's line ends.
        {dir.File("prog"), FX_REPLACE_EXECUTABLE, 0200u, 0200u, "new\n"},
        {dir.path() + "\\new.txt", FX_REPLACE_TEXT, 0200u, 0200u, "new\r\n"},
#else
        {dir.File("prog"), FX_REPLACE_EXECUTABLE, 0777u, 0755u, "new\n"},
        {dir.path() + "\\new.txt", FX_REPLACE_TEXT, 0111u, 0u, "new\n"},  // stored paths may use '\\'
#endif
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.path);
        ASSERT_TRUE(fxReplaceFile(r.path.c_str(), [](FILE* f) { return fputs("new\n", f) >= 0; }, r.flags));
        std::string native = r.path;
        std::replace(native.begin(), native.end(), '\\', '/');
        EXPECT_EQ(fxtest::ReadFile(native), r.bytes);
        EXPECT_EQ(Mode(native) & r.mask, r.mode);
    }
    EXPECT_EQ(Entries(dir.path()), 2);
}

TEST(Folders, NestedFoldersFollowTheUmaskTemporaryOnesArePrivate) {
    fxtest::TempDir dir;
#ifdef _WIN32
    // No umask: the folders take what the parent's access list passes on.
    ASSERT_TRUE(fxMakeFolder((dir.path() + "/a/b\\c/").c_str()));
    for (const char* sub : {"/a", "/a/b", "/a/b/c"}) EXPECT_TRUE(std::filesystem::is_directory(dir.path() + sub)) << sub;
#else
    mode_t old = umask(022);
    ASSERT_TRUE(fxMakeFolder((dir.path() + "/a/b\\c/").c_str()));
    umask(old);
    for (const char* sub : {"/a", "/a/b", "/a/b/c"}) EXPECT_EQ(Mode(dir.path() + sub), 0755u) << sub;
#endif
    EXPECT_TRUE(fxMakeFolder((dir.path() + "/a/b").c_str()));  // already there
    fxtest::WriteFile(dir.File("file"), "x");
    EXPECT_FALSE(fxMakeFolder(dir.File("file/sub").c_str()));

    FXStr t1, t2;
    ASSERT_TRUE(fxMakeTempFolder(dir.path().c_str(), "work-", &t1));
    ASSERT_TRUE(fxMakeTempFolder(dir.path().c_str(), "work-", &t2));
    EXPECT_NE(std::string(t1.text), std::string(t2.text));
    // The parent as given, then the system's separator.
    EXPECT_EQ(std::string(t1.text).rfind(dir.path() + fxtest::kNativeSep + "work-", 0), 0u) << t1.text;
#ifdef _WIN32
    // Private by its access list, which Wine keeps but does not report back.
    EXPECT_TRUE(std::filesystem::is_directory(t1.text));
#else
    EXPECT_EQ(Mode(t1.text), 0700u);
#endif
    EXPECT_TRUE(fxRemoveFolder(t1.text));
    EXPECT_FALSE(fxMakeTempFolder(dir.File("missing").c_str(), "work-", &t1));
    EXPECT_TRUE(t1.IsEmpty());
}

}  // namespace

namespace {

// A place for the user's files: a folder of the user's own that the process
// may write into; a file or a missing path is none.
TEST(Folders, OwnFoldersAreTheUsersWritableOnes) {
    fxtest::TempDir dir;
    fxtest::WriteFile(dir.File("file"), "x");
    struct Row {
        std::string path;
        bool own, writable;
    } rows[] = {
        {dir.path(), true, true},
        {dir.path() + "\\", true, true},
        {dir.File("file"), false, true},
        {dir.File("missing"), false, false},
        {"", false, false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(fxIsOwnFolder(r.path.c_str()), r.own) << r.path;
        EXPECT_EQ(fxCanWrite(r.path.c_str()), r.writable) << r.path;
    }
    EXPECT_FALSE(fxIsOwnFolder(nullptr) || fxCanWrite(nullptr));
}

}  // namespace
