// The record cursor: encodings, short reads and lying counts.
#include <cstring>
#include <string>

#include "package/package.h"
#include "pkg_util.h"

namespace {

struct Cursor {
    Bytes b;
    FXPackageData d;
    explicit Cursor(Bytes bytes) : b(std::move(bytes)) { d.InitData(b.empty() ? nullptr : b.data(), static_cast<int>(b.size())); }
};

TEST(Cursor, NewCursorIsEmpty) {
    FXPackageData d;
    EXPECT_EQ(d.start, nullptr);
    EXPECT_EQ(d.remaining, 0);
    EXPECT_EQ(d.ReadInt(), 0);
    EXPECT_EQ(d.ReadBlc(1), nullptr);
}

TEST(Cursor, ShortIntLeavesPositionThenBoolReadsFirstByte) {
    Cursor c({1, 2, 3});
    EXPECT_EQ(c.d.ReadInt(), 0);
    EXPECT_EQ(c.d.remaining, 3);
    EXPECT_TRUE(c.d.ReadBool());
    EXPECT_EQ(c.d.remaining, 2);
}

TEST(Cursor, BoolIsTrueOnlyForOne) {
    Cursor c({2, 1, 0xff});
    EXPECT_FALSE(c.d.ReadBool());
    EXPECT_EQ(c.d.remaining, 2);
    EXPECT_TRUE(c.d.ReadBool());
    EXPECT_FALSE(c.d.ReadBool());
}

TEST(Cursor, ScalarsAreLittleEndian) {
    Bytes b;
    PutI32(&b, -123456789);
    float f = 1.5f;
    uint32_t fb;
    memcpy(&fb, &f, 4);
    PutI32(&b, static_cast<int32_t>(fb));
    double dv = -2.25e100;
    uint64_t db;
    memcpy(&db, &dv, 8);
    PutI32(&b, static_cast<int32_t>(db));
    PutI32(&b, static_cast<int32_t>(db >> 32));
    Cursor c(b);
    EXPECT_EQ(c.d.ReadInt(), -123456789);
    EXPECT_EQ(c.d.ReadFloat(), 1.5f);
    EXPECT_EQ(c.d.ReadDouble(), -2.25e100);
    EXPECT_EQ(c.d.remaining, 0);
    EXPECT_EQ(c.d.ReadDouble(), 0.0);
}

TEST(Cursor, Float4NeedsSixteenBytes) {
    Bytes b(15, 0);
    Cursor c(b);
    float out[4] = {7, 7, 7, 7};
    c.d.ReadFloat4(out);
    EXPECT_EQ(out[0], 7);
    EXPECT_EQ(out[3], 7);
    EXPECT_EQ(c.d.remaining, 15);
}

TEST(Cursor, BlocksStayInPlaceAndZeroMovesNothing) {
    Cursor c({10, 20, 30});
    EXPECT_EQ(c.d.ReadBlc(0), c.b.data());
    EXPECT_EQ(c.d.remaining, 3);
    EXPECT_EQ(c.d.ReadBlc(2), c.b.data());
    EXPECT_EQ(c.d.ReadBlc(2), nullptr);
    EXPECT_EQ(c.d.ReadBlc(-1), nullptr);  // a negative size would walk backwards
    uint8_t dst = 0;
    EXPECT_EQ(c.d.ReadCopyBlc(&dst, 1), c.b.data() + 2);
    EXPECT_EQ(dst, 30);
    EXPECT_EQ(c.d.ReadCopyBlc(&dst, -4), nullptr);
}

TEST(Cursor, ReseekReturnsToStart) {
    Cursor c({1, 0, 0, 0, 2, 0, 0, 0});
    c.d.ReadInt();
    c.d.ReadInt();
    c.d.Reseek();
    EXPECT_EQ(c.d.remaining, 8);
    EXPECT_EQ(c.d.ReadInt(), 1);
}

TEST(Cursor, StringZeroOrNegativeCountIsEmpty) {
    Bytes b;
    PutI32(&b, 0);
    PutI32(&b, -5);
    PutStr(&b, "abc");
    Cursor c(b);
    FXStr s("old");
    c.d.ReadString(&s);
    EXPECT_EQ(s.len, 0);
    EXPECT_EQ(c.d.remaining, 11);
    c.d.ReadString(&s);
    EXPECT_EQ(s.len, 0);
    EXPECT_EQ(c.d.remaining, 7);
    c.d.ReadString(&s);
    EXPECT_STREQ(s.text, "abc");
    EXPECT_EQ(s.len, 3);
}

TEST(Cursor, StringCountPastTheEndTakesWhatIsThere) {
    Bytes b;
    PutI32(&b, 1000);
    b.push_back('x');
    b.push_back('y');
    Cursor c(b);
    FXStr s;
    c.d.ReadString(&s);
    EXPECT_STREQ(s.text, "xy");
    EXPECT_EQ(c.d.remaining, 0);
}

TEST(Cursor, LongStringKeeps1023AndSkipsTheRest) {
    Bytes b;
    PutStr(&b, std::string(1500, 'q'));
    PutI32(&b, 77);
    Cursor c(b);
    FXStr s;
    c.d.ReadString(&s);
    EXPECT_EQ(s.len, 1023);
    EXPECT_EQ(s.text[1023], 0);
    EXPECT_EQ(c.d.ReadInt(), 77);
}

TEST(Cursor, StringEndsAtEmbeddedNul) {
    Bytes b;
    PutStr(&b, std::string("ab\0cd", 5));
    Cursor c(b);
    FXStr s;
    c.d.ReadString(&s);
    EXPECT_EQ(s.len, 2);
    EXPECT_EQ(c.d.remaining, 0);
}

TEST(Cursor, StringArrayKeepsEmptyAsNull) {
    Bytes b;
    PutI32(&b, 2);
    PutI32(&b, 0);
    PutStr(&b, "second");
    Cursor c(b);
    FXStrArray a;
    c.d.ReadStringArray(&a);
    ASSERT_EQ(a.count, 2);
    EXPECT_EQ(a.data[0], nullptr);
    EXPECT_STREQ(a.data[1], "second");
}

TEST(Cursor, ArrayShortOfItemsIsFilledWithZeros) {
    Bytes b;
    PutI32(&b, 3);
    PutI32(&b, -7);
    PutI32(&b, 9);
    Cursor c(b);
    FXArray a;
    a.PushInt(55);
    c.d.ReadArray(&a);
    ASSERT_EQ(a.count, 3);
    EXPECT_EQ(a.GetInt(0), -7);
    EXPECT_EQ(a.GetInt(1), 9);
    EXPECT_EQ(a.GetInt(2), 0);
}

TEST(Cursor, LyingCountsDoNotAllocateTheirClaim) {
    for (int32_t lie : {0x7fffffff, 0x10000000, 100000}) {
        Bytes b;
        PutI32(&b, lie);
        PutI32(&b, 1);
        PutI32(&b, 2);
        Cursor c(b);
        FXArray a;
        c.d.ReadArray(&a);
        EXPECT_EQ(a.count, 2 + FX_PCK_MAX_ZERO_FILL) << lie;
        EXPECT_EQ(a.GetInt(1), 2);
        c.d.Reseek();
        FXFloatArray fa;
        c.d.ReadFloatArray(&fa);
        EXPECT_EQ(fa.count, 2 + FX_PCK_MAX_ZERO_FILL);
        c.d.Reseek();
        FXStrArray sa;
        c.d.ReadStringArray(&sa);
        EXPECT_LE(sa.count, 2 + FX_PCK_MAX_ZERO_FILL);
    }
}

TEST(Cursor, NegativeArrayCountGivesEmptyArray) {
    Bytes b;
    PutI32(&b, -3);
    PutI32(&b, 1);
    Cursor c(b);
    FXArray a;
    c.d.ReadArray(&a);
    EXPECT_EQ(a.count, 0);
}

TEST(Cursor, WritesRoundTripThroughReads) {
    Bytes b(200, 0xee);
    Cursor c(b);
    FXArray ia;
    ia.PushInt(-1);
    ia.PushInt(400);
    FXStrArray sa;
    sa.Push("one");
    sa.Push("");
    FXFloatArray fa;
    fa.Push(0.25f);
    const float f4[4] = {1, 2, 3, 4};
    c.d.WriteBool(true);
    c.d.WriteInt(-9);
    c.d.WriteFloat(3.5f);
    c.d.WriteFloat4(f4);
    c.d.WriteDouble(1e-300);
    c.d.WriteString("name");
    c.d.WriteStringArray(&sa);
    c.d.WriteArray(&ia);
    c.d.WriteFloatArray(&fa);
    int written = c.d.size - c.d.remaining;
    c.d.InitData(c.b.data(), written);
    EXPECT_TRUE(c.d.ReadBool());
    EXPECT_EQ(c.d.ReadInt(), -9);
    EXPECT_EQ(c.d.ReadFloat(), 3.5f);
    float g[4];
    c.d.ReadFloat4(g);
    EXPECT_EQ(g[3], 4.0f);
    EXPECT_EQ(c.d.ReadDouble(), 1e-300);
    FXStr s;
    c.d.ReadString(&s);
    EXPECT_STREQ(s.text, "name");
    FXStrArray sb;
    c.d.ReadStringArray(&sb);
    ASSERT_EQ(sb.count, 2);
    EXPECT_STREQ(sb.data[0], "one");
    EXPECT_EQ(sb.data[1], nullptr);
    FXArray ib;
    c.d.ReadArray(&ib);
    ASSERT_EQ(ib.count, 2);
    EXPECT_EQ(ib.GetInt(0), -1);
    FXFloatArray fb;
    c.d.ReadFloatArray(&fb);
    ASSERT_EQ(fb.count, 1);
    EXPECT_EQ(fb.data[0], 0.25f);
    EXPECT_EQ(c.d.remaining, 0);
}

TEST(Cursor, WritesNeverPassTheEnd) {
    Bytes b(6, 0);
    Cursor c(b);
    c.d.WriteInt(0x01020304);
    c.d.WriteInt(5);  // two bytes left: nothing
    EXPECT_EQ(c.d.remaining, 2);
    c.d.WriteDouble(1.0);
    c.d.WriteString("x");
    EXPECT_EQ(c.d.remaining, 2);
    EXPECT_EQ(c.b[4], 0);
}

}  // namespace
