// The record cursor: encodings, short reads and lying counts.
#include <cstring>
#include <string>
#include <vector>

#include "pkg_util.h"

namespace {

TEST(Cursor, WritesAreLittleEndianAndReadBackAndBoolIsTrueOnlyForOne) {
    Cursor c(std::string(200, '\xee'));
    FXArray ia;
    FXStrArray sa, sb;
    FXFloatArray fa;
    ia.PushInt(-1);
    ia.PushInt(400);
    sa.Push("one");
    sa.Push("");
    fa.Push(0.25f);
    const float f4[4] = {1, 2, 3, 4};
    double dv = -2.25e100;
    int32_t db[2];
    memcpy(db, &dv, 8);
    c.d.WriteBool(true);
    c.d.WriteInt(-123456789);
    c.d.WriteFloat(3.5f);
    c.d.WriteFloat4(f4);
    c.d.WriteDouble(dv);
    c.d.WriteString("name");
    c.d.WriteStringArray(&sa);
    c.d.WriteArray(&ia);
    c.d.WriteFloatArray(&fa);
    std::string want = "\x01" + Le32({-123456789, FloatBits(3.5f), FloatBits(1), FloatBits(2), FloatBits(3), FloatBits(4)}) +
                       Le32({db[0], db[1], 4}, "name") + Le32({2, 3}, "one") + Le32({0, 2, -1, 400, 1, FloatBits(0.25f)});
    EXPECT_EQ(c.b.substr(0, want.size()), want);
    c.d.InitData(&c.b[0], c.d.size - c.d.remaining);
    // (Ints, floats, names and lists read back in the loader tests.)
    c.d.ReadBlc(1 + 6 * 4);
    EXPECT_EQ(c.d.ReadDouble(), dv);
    c.d.ReadBlc(4 + 4);
    c.d.ReadStringArray(&sb);
    ASSERT_EQ(sb.count, 2);
    EXPECT_STREQ(sb.data[0], "one");
    EXPECT_EQ(sb.data[1], nullptr);  // an empty string reads back as none
    c.d.Reseek();
    EXPECT_EQ(c.d.remaining, static_cast<int>(want.size()));
    Cursor bools(std::string("\x02\x01\xff", 3));
    EXPECT_EQ(std::to_string(bools.d.ReadBool()) + std::to_string(bools.d.ReadBool()) + std::to_string(bools.d.ReadBool()), "010");
}

TEST(Cursor, ShortReadsAndWritesLeaveThePositionAndBlocksStayInPlace) {
    FXPackageData empty;
    EXPECT_EQ(empty.ReadInt(), 0);
    EXPECT_EQ(empty.ReadBlc(1), nullptr);
    Cursor c(std::string(15, 1));
    float out[4] = {7, 7, 7, 7};
    c.d.ReadFloat4(out);  // needs sixteen bytes
    EXPECT_EQ(std::vector<float>(out, out + 4), std::vector<float>(4, 7));
    EXPECT_EQ(c.d.remaining, 15);
    c.d.ReadBlc(12);
    EXPECT_EQ(c.d.ReadInt(), 0);
    EXPECT_EQ(c.d.ReadDouble(), 0.0);
    EXPECT_EQ(c.d.remaining, 3);
    EXPECT_TRUE(c.d.ReadBool());  // one byte is still there
    EXPECT_EQ(c.d.remaining, 2);
    Cursor six(std::string(6, '\0'));
    six.d.WriteInt(0x01020304);
    six.d.WriteInt(5);  // two bytes left: nothing
    six.d.WriteDouble(1.0);
    six.d.WriteString("x");
    EXPECT_EQ(six.d.remaining, 2);
    EXPECT_EQ(six.b[4], 0);

    Cursor b(std::string("\x0a\x14\x1e", 3));
    const void* at = b.b.data();
    EXPECT_EQ(b.d.ReadBlc(0), at);
    EXPECT_EQ(b.d.ReadBlc(2), at);
    EXPECT_EQ(b.d.ReadBlc(2), nullptr);
    EXPECT_EQ(b.d.ReadBlc(-1), nullptr);  // a negative size would walk backwards
    uint8_t dst = 0;
    EXPECT_EQ(b.d.ReadCopyBlc(&dst, 1), b.b.data() + 2);
    EXPECT_EQ(dst, 30);
    EXPECT_EQ(b.d.ReadCopyBlc(&dst, -4), nullptr);
}

TEST(Cursor, StringsAndArraysWithLyingCountsStayInsideTheirBytes) {
    struct Case {
        const char* what;
        std::string bytes, text;
        int remaining;  // after the read: 4 leaves the int 77
    } cases[] = {
        {"zero count", Le32({0, 77}), "", 4},
        {"negative count", Le32({-5, 77}), "", 4},
        {"count past the end", Le32({1000}, "xy"), "xy", 0},
        {"embedded NUL", Le32({5}, std::string("ab\0cd", 5)), "ab", 0},
        {"longer than 1023", Le32({1500}, std::string(1500, 'q')) + Le32({77}), std::string(1023, 'q'), 4},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        Cursor c(k.bytes);
        FXStr s("old");
        c.d.ReadString(&s);
        EXPECT_EQ(std::string(s.text), k.text);
        EXPECT_EQ(s.len, static_cast<int>(k.text.size()));
        EXPECT_EQ(c.d.remaining, k.remaining);
        if (k.remaining == 4) { EXPECT_EQ(c.d.ReadInt(), 77); }
    }
    // Arrays short of items are zero-filled; a negative count is none.
    Cursor shortOne(Le32({3, -7, 9})), negative(Le32({-3, 1}));
    FXArray a;
    a.PushInt(55);
    shortOne.d.ReadArray(&a);
    ASSERT_EQ(a.count, 3);
    EXPECT_EQ((std::vector<int>{a.GetInt(0), a.GetInt(1), a.GetInt(2)}), (std::vector<int>{-7, 9, 0}));
    negative.d.ReadArray(&a);
    EXPECT_EQ(a.count, 0);
}

}  // namespace
