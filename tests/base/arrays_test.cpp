#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/fxarray.h"

namespace {

std::string Int32(int32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 255);
    return s;
}

FILE* FileWith(const std::string& bytes) {
    FILE* f = tmpfile();
    fwrite(bytes.data(), 1, bytes.size(), f);
    rewind(f);
    return f;
}

TEST(FXArray, GrowthFollowsTheStep) {
    FXArray a;
    int growths = 0, last = 0;
    for (int i = 0; i < 5; ++i) {
        a.PushInt(i);
        if (a.capacity != last) ++growths;
        last = a.capacity;
    }
    EXPECT_EQ(a.capacity, 5);
    EXPECT_EQ(growths, 5);

    FXArray b(16);
    for (int i = 0; i < 5; ++i) b.PushInt(i);
    EXPECT_EQ(b.capacity, 16);
    // Fresh slots are zero.
    b.PushVoid();
    EXPECT_EQ(b.GetInt(5), 0);
}

TEST(FXArray, InsertMoveRemoveKeepOrder) {
    FXArray a;
    a.Insert(0, reinterpret_cast<void*>(10));
    a.Insert(-1, reinterpret_cast<void*>(30));
    a.Insert(a.count + 3, reinterpret_cast<void*>(40));
    a.Insert(1, reinterpret_cast<void*>(20));
    ASSERT_EQ(a.count, 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(a.GetInt(i), 10 * (i + 1));

    a.MovePos(0, -1);
    a.MovePos(a.count - 1, 1);
    a.MovePos(1, 0);
    EXPECT_EQ(a.GetInt(0), 10);
    EXPECT_EQ(a.GetInt(3), 40);
    a.MovePos(2, 1);
    EXPECT_EQ(a.GetInt(2), 40);
    EXPECT_EQ(a.GetInt(3), 30);

    a.PushInt(20);
    a.Remove(reinterpret_cast<void*>(20));
    ASSERT_EQ(a.count, 4);
    EXPECT_EQ(a.GetInt(1), 40);
    EXPECT_EQ(a.GetInt(3), 20);  // only the first of two was removed
    a.RemovePos(7);
    EXPECT_EQ(a.count, 4);
    EXPECT_EQ(a.Pop(), reinterpret_cast<void*>(20));
    FXArray empty;
    EXPECT_EQ(empty.Pop(), nullptr);
    EXPECT_EQ(empty.First(), nullptr);
}

TEST(FXArray, CountedListForm) {
    FILE* f = tmpfile();
    FXArray none;
    none.Save(f);
    FXArray a;
    a.PushInt(-1);
    a.PushInt(7);
    a.Save(f);
    rewind(f);
    std::string bytes(16, '\0');
    ASSERT_EQ(fread(&bytes[0], 1, 16, f), 16u);
    EXPECT_EQ(bytes, Int32(0) + Int32(2) + Int32(-1) + Int32(7));
    rewind(f);
    FXArray b;
    b.PushInt(99);
    b.Load(f);
    EXPECT_EQ(b.count, 0);
    EXPECT_EQ(b.capacity, 1);  // the buffer stays as it was
    b.Load(f);
    ASSERT_EQ(b.count, 2);
    EXPECT_EQ(b.GetInt(0), -1);
    EXPECT_EQ(b.capacity, 2);
    fclose(f);
}

TEST(FXArray, LyingCountsNeitherAllocateHugeNorReadPastTheEnd) {
    // A billion items claimed, three present.
    FILE* f = FileWith(Int32(1000000000) + Int32(1) + Int32(2) + Int32(3));
    FXArray a;
    a.Load(f);
    EXPECT_EQ(a.count, 3);
    EXPECT_LE(a.capacity, 3);
    fclose(f);

    f = FileWith(Int32(-4) + Int32(1));
    a.Load(f);
    EXPECT_EQ(a.count, 0);
    fclose(f);

    f = FileWith(Int32(1 << 30) + Int32(3) + "abc");
    FXStrArray s;
    s.Load(f);
    EXPECT_LE(s.capacity, 2);
    ASSERT_EQ(s.count, 1);
    EXPECT_STREQ(s.Get(0), "abc");
    fclose(f);

    // A string that claims more bytes than remain ends the list.
    f = FileWith(Int32(2) + Int32(2) + "ok" + Int32(500) + "short");
    s.Load(f);
    ASSERT_EQ(s.count, 1);
    EXPECT_STREQ(s.Get(0), "ok");
    fclose(f);

    f = FileWith(Int32(0x7fffffff) + Int32(0x3f800000));
    FXFloatArray fl;
    fl.Load(f);
    ASSERT_EQ(fl.count, 1);
    EXPECT_EQ(fl.data[0], 1.0f);
    fclose(f);
}

TEST(FXStrArray, EmptyTextIsANullItem) {
    FXStrArray a;
    a.Push("x");
    a.Push("");
    a.Push(nullptr);
    EXPECT_EQ(a.data[1], nullptr);
    EXPECT_EQ(a.Findpos(""), 1);
    EXPECT_EQ(a.Findpos(nullptr), 1);
    EXPECT_EQ(a.Findpos("x"), 0);
    EXPECT_EQ(a.Findpos("y"), -1);

    FILE* f = tmpfile();
    a.Save(f);
    rewind(f);
    std::string bytes(17, '\0');
    ASSERT_EQ(fread(&bytes[0], 1, 17, f), 17u);
    EXPECT_EQ(bytes, Int32(3) + Int32(1) + "x" + Int32(0) + Int32(0));
    rewind(f);
    FXStrArray b;
    b.Push("old");
    b.Load(f);
    ASSERT_EQ(b.count, 3);
    EXPECT_STREQ(b.data[0], "x");
    EXPECT_EQ(b.data[1], nullptr);
    EXPECT_EQ(b.data[2], nullptr);
    fclose(f);

    // Change stores an empty copy, not null.
    b.Change(1, "");
    ASSERT_NE(b.data[1], nullptr);
    EXPECT_STREQ(b.data[1], "");
    b.RemovePos(0);
    EXPECT_EQ(b.count, 2);
    EXPECT_EQ(b.data[2], nullptr);
    b.Pop();
    EXPECT_EQ(b.count, 1);
}

TEST(FXStrArray, SaveShortPathsMakesEveryItemRelative) {
    FXStrArray a;
    a.Push("/base/x/a.png");
    a.Push("");
    a.Push("/other/b.png");
    FILE* f = tmpfile();
    a.SaveShortPaths(f, "/base/y");
    rewind(f);
    FXStrArray b;
    b.Load(f);
    ASSERT_EQ(b.count, 3);
    EXPECT_STREQ(b.Get(0), "../x/a.png");
    EXPECT_EQ(b.data[1], nullptr);
    EXPECT_STREQ(b.Get(2), "../../other/b.png");
    fclose(f);
}

TEST(FXMemory, ItemAccess) {
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

TEST(Helpers, Power2) {
    EXPECT_EQ(fxPower2(0), 1);
    EXPECT_EQ(fxPower2(1), 1);
    EXPECT_EQ(fxPower2(3), 4);
    EXPECT_EQ(fxPower2(200), 256);
    EXPECT_EQ(fxPower2(256), 256);
    EXPECT_EQ(fxPower2(1024), 1024);
    unsigned char* p = static_cast<unsigned char*>(fxMalloc(64));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0);
    free(p);
}

}  // namespace
