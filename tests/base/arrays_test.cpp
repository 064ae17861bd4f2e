#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "../support/testutil.h"
#include "base/fxarray.h"

namespace {

using fxtest::Le32;

std::vector<int> Items(const FXArray& a) {
    std::vector<int> v;
    for (int i = 0; i < a.count; ++i) v.push_back(a.GetInt(i));
    return v;
}

void* P(intptr_t v) { return reinterpret_cast<void*>(v); }

TEST(FXArray, GrowthFollowsTheStepAndFreshSlotsAreZero) {
    FXArray a, b(16);
    int growths = 0, last = 0;
    for (int i = 0; i < 5; ++i) {
        a.PushInt(i);
        b.PushInt(i);
        growths += a.capacity != last;
        last = a.capacity;
    }
    EXPECT_EQ(a.capacity, 5);
    EXPECT_EQ(growths, 5);
    EXPECT_EQ(b.capacity, 16);
    b.PushVoid();
    EXPECT_EQ(b.GetInt(5), 0);
}

TEST(FXArray, InsertMoveRemoveKeepOrder) {
    FXArray a;
    a.Insert(0, P(10));
    a.Insert(-1, P(30));
    a.Insert(a.count + 3, P(40));
    a.Insert(1, P(20));
    EXPECT_EQ(Items(a), (std::vector<int>{10, 20, 30, 40}));
    a.MovePos(0, -1);  // at the ends, or by nothing: no move
    a.MovePos(a.count - 1, 1);
    a.MovePos(1, 0);
    a.MovePos(2, 1);
    EXPECT_EQ(Items(a), (std::vector<int>{10, 20, 40, 30}));
    a.PushInt(20);
    a.Remove(P(20));  // only the first of two
    a.RemovePos(7);
    EXPECT_EQ(Items(a), (std::vector<int>{10, 40, 30, 20}));
    EXPECT_EQ(a.Pop(), P(20));
    FXArray empty;
    EXPECT_EQ(empty.Pop(), nullptr);
    EXPECT_EQ(empty.First(), nullptr);
}

TEST(FXArray, CountedListFormRoundTrips) {
    FILE* f = tmpfile();
    FXArray none, a, b;
    none.Save(f);
    a.PushInt(-1);
    a.PushInt(7);
    a.Save(f);
    EXPECT_EQ(fxtest::StreamBytes(f), Le32({0, 2, -1, 7}));
    rewind(f);
    b.PushInt(99);
    b.Load(f);
    EXPECT_EQ(b.count, 0);
    EXPECT_EQ(b.capacity, 1);  // the buffer stays as it was
    b.Load(f);
    EXPECT_EQ(Items(b), (std::vector<int>{-1, 7}));
    EXPECT_EQ(b.capacity, 2);
    fclose(f);
}

template <class A>
void LoadFrom(A* a, const std::string& bytes) {
    FILE* f = fxtest::StreamWith(bytes);
    a->Load(f);
    fclose(f);
}

TEST(FXArray, LyingCountsNeitherAllocateHugeNorReadPastTheEnd) {
    FXArray a;
    FXStrArray s;
    FXFloatArray fl;
    LoadFrom(&a, Le32({1000000000, 1, 2, 3}));  // a billion items claimed, three present
    EXPECT_EQ(Items(a), (std::vector<int>{1, 2, 3}));
    EXPECT_LE(a.capacity, 3);
    LoadFrom(&a, Le32({-4, 1}));
    EXPECT_EQ(a.count, 0);
    LoadFrom(&s, Le32({1 << 30, 3}, "abc"));
    EXPECT_LE(s.capacity, 2);
    ASSERT_EQ(s.count, 1);
    EXPECT_STREQ(s.Get(0), "abc");
    LoadFrom(&s, Le32({2, 2}, "ok") + Le32({500}, "short"));  // a string claiming more than remains ends the list
    ASSERT_EQ(s.count, 1);
    EXPECT_STREQ(s.Get(0), "ok");
    LoadFrom(&fl, Le32({0x7fffffff, 0x3f800000}));
    ASSERT_EQ(fl.count, 1);
    EXPECT_EQ(fl.data[0], 1.0f);
}

// A file, or a pipe from a program that copies it.
FILE* Open(const std::string& path, bool pipe) {
    if (!pipe) return fopen(path.c_str(), "rb");
#ifdef _WIN32
    std::string native = path;
    std::replace(native.begin(), native.end(), '/', '\\');
    return _popen(("type \"" + native + "\"").c_str(), "rb");
#else
    return popen(("cat " + path).c_str(), "r");
#endif
}

void Close(FILE* f, bool pipe) {
#ifdef _WIN32
    pipe ? _pclose(f) : fclose(f);
#else
    pipe ? pclose(f) : fclose(f);
#endif
}

// The rest of a file or of a pipe (which cannot tell its size), whole or
// nothing when it passes the limit.
TEST(FXArray, ReadRestTakesTheRestOfFilesAndPipesUpToALimit) {
    const std::string bytes = "head" + std::string(3u << 20, 'x') + "tail";  // more than one piece from a pipe
    for (bool pipe : {false, true}) {
        fxtest::TempDir dir;
        fxtest::WriteFile(dir.File("f"), bytes);
        FILE* f = Open(dir.File("f"), pipe);
        ASSERT_NE(f, nullptr);
        char head[4];
        ASSERT_EQ(fread(head, 1, 4, f), 4u);
        std::vector<uint8_t> rest;
        EXPECT_TRUE(fxReadRest(f, &rest));
        EXPECT_EQ(std::string(rest.begin(), rest.end()), bytes.substr(4)) << pipe;
        Close(f, pipe);
        f = Open(dir.File("f"), pipe);
        EXPECT_FALSE(fxReadRest(f, &rest, bytes.size() - 1));
        EXPECT_TRUE(rest.empty());
        Close(f, pipe);
    }
}

TEST(FXStrArray, EmptyTextIsANullItem) {
    FXStrArray a, b;
    a.Push("x");
    a.Push("");
    a.Push(nullptr);
    EXPECT_EQ(a.data[1], nullptr);
    EXPECT_EQ((std::vector<int>{a.Findpos(""), a.Findpos(nullptr), a.Findpos("x"), a.Findpos("y")}),
              (std::vector<int>{1, 1, 0, -1}));
    FILE* f = tmpfile();
    a.Save(f);
    EXPECT_EQ(fxtest::StreamBytes(f), Le32({3, 1}, "x") + Le32({0, 0}));
    rewind(f);
    b.Push("old");
    b.Load(f);
    fclose(f);
    ASSERT_EQ(b.count, 3);
    EXPECT_STREQ(b.data[0], "x");
    EXPECT_EQ(b.data[1], nullptr);
    EXPECT_EQ(b.data[2], nullptr);
    b.Change(1, "");  // Change stores an empty copy, not null
    ASSERT_NE(b.data[1], nullptr);
    EXPECT_STREQ(b.data[1], "");
    b.RemovePos(0);
    EXPECT_EQ(b.count, 2);
    EXPECT_EQ(b.data[2], nullptr);
    b.Pop();
    EXPECT_EQ(b.count, 1);
}

TEST(FXStrArray, SaveShortPathsMakesEveryItemRelative) {
    FXStrArray a, b;
    for (const char* p : {"/base/x/a.png", "", "/other/b.png"}) a.Push(p);
    FILE* f = tmpfile();
    a.SaveShortPaths(f, "/base/y");
    rewind(f);
    b.Load(f);
    fclose(f);
    ASSERT_EQ(b.count, 3);
    EXPECT_STREQ(b.Get(0), "../x/a.png");
    EXPECT_EQ(b.data[1], nullptr);
    EXPECT_STREQ(b.Get(2), "../../other/b.png");
}

TEST(FXMemory, ItemAccessStaysInsideTheCount) {
    FXMemory m(12);
    m.Realloc(4);
    m.count = 2;
    EXPECT_EQ(m.GetItemPtr(1), m.data + 12);
    EXPECT_EQ(m.GetItemPtr(2), nullptr);
    EXPECT_EQ(m.GetItemPtr(-1), nullptr);
    m.Realloc(8);
    EXPECT_EQ(m.capacity, 8);
    m.DestroyBuf();
    EXPECT_EQ(m.GetItemPtr(0), nullptr);
}

}  // namespace
