#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "base/fxarray.h"
#include "base/fxstr.h"

namespace {

// The bytes a stream holds, for checking stored forms byte by byte.
std::string Bytes(FILE* f) {
    std::string s;
    rewind(f);
    int c;
    while ((c = fgetc(f)) != EOF) s += static_cast<char>(c);
    return s;
}

std::string Int32(int32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 255);
    return s;
}

TEST(FXStr, OverlongInputIsCutAt1023) {
    std::string big(2000, 'x');
    FXStr s(big.c_str());
    EXPECT_EQ(s.len, 1023);
    EXPECT_EQ(s.text[1023], 0);

    FXStr t(std::string(1000, 'a').c_str());
    t.Append(std::string(100, 'b').c_str());
    EXPECT_EQ(t.len, 1023);
    EXPECT_EQ(std::string(t.text).substr(1000), std::string(23, 'b'));
}

TEST(FXStr, CharEditsAtTheEdges) {
    FXStr s("abc");
    s.InsertChar('x');
    EXPECT_STREQ(s.text, "xabc");
    EXPECT_EQ(s.len, 4);
    s.RemoveLast();
    EXPECT_STREQ(s.text, "xab");
    EXPECT_EQ(s.len, 3);

    FXStr full(std::string(1023, 'q').c_str());
    full.AppendChar('z');
    full.InsertChar('z');
    EXPECT_EQ(full.len, 1023);
    EXPECT_EQ(full.text[0], 'q');

    FXStr empty;
    empty.RemoveLast();
    EXPECT_EQ(empty.len, 0);
    empty.AppendChar('\0');
    EXPECT_EQ(empty.len, 0);
}

TEST(FXStr, ComparisonsTreatTheEmptyStringDifferently) {
    FXStr e;
    EXPECT_TRUE(e.Compare(""));
    EXPECT_TRUE(e.Compare(nullptr));
    EXPECT_FALSE(e.iCompare(""));
    EXPECT_TRUE(e.iCompare(nullptr));
    EXPECT_FALSE(e.Compare("abc"));
    EXPECT_FALSE(e.iCompare("abc"));

    FXStr s("abc");
    EXPECT_TRUE(s.nCompare("ab", 2));
    EXPECT_FALSE(s.Compare("ab"));
    EXPECT_TRUE(s.iCompare("ABC"));
    EXPECT_FALSE(s.Compare("ABC"));
}

TEST(FXStr, TrimSpaces) {
    char a[] = "  a b \t";
    EXPECT_EQ(localTrimSpaces(a, 7), 3);
    EXPECT_STREQ(a, "a b");
    char b[] = "   ";
    EXPECT_EQ(localTrimSpaces(b, 3), 0);
    EXPECT_STREQ(b, "");
    // Bytes above 127 are text, not white space.
    char c[] = "\xe9t\xe9 ";
    EXPECT_EQ(localTrimSpaces(c, 4), 3);
}

TEST(FXStr, FormatCutsLongOutputInsideTheBuffer) {
    FXStr s;
    EXPECT_EQ(s.Format("%d-%s", 5, "x"), 3);
    EXPECT_STREQ(s.text, "5-x");
    std::string big(3000, 'y');
    s.Format("%s", big.c_str());
    EXPECT_EQ(s.len, 1023);
    EXPECT_EQ(s.text[1023], 0);
}

TEST(FXStr, StoredFormRoundTrip) {
    FILE* f = tmpfile();
    ASSERT_NE(f, nullptr);
    FXStr().Save(f);
    FXStr("abc").Save(f);
    EXPECT_EQ(Bytes(f), Int32(0) + Int32(3) + "abc");
    rewind(f);
    FXStr a("junk"), b;
    a.Load(f);
    b.Load(f);
    EXPECT_EQ(a.len, 0);
    EXPECT_STREQ(b.text, "abc");
    EXPECT_EQ(b.len, 3);
    fclose(f);
}

TEST(FXStr, LoadNeverOverflowsOnALyingCount) {
    FILE* f = tmpfile();
    ASSERT_NE(f, nullptr);
    // 5000 characters claimed and present, then a second string.
    fwrite(Int32(5000).data(), 1, 4, f);
    std::string body(5000, 'k');
    fwrite(body.data(), 1, body.size(), f);
    FXStr("next").Save(f);
    // A negative count, then a count far beyond the end.
    fwrite(Int32(-7).data(), 1, 4, f);
    fwrite(Int32(1 << 30).data(), 1, 4, f);
    fwrite("ab", 1, 2, f);
    rewind(f);

    FXStr s;
    s.Load(f);
    EXPECT_EQ(s.len, 1023);
    EXPECT_EQ(s.text[1023], 0);
    s.Load(f);  // the reader stayed in step with the writer
    EXPECT_STREQ(s.text, "next");
    s.Load(f);
    EXPECT_EQ(s.len, 0);
    s.Load(f);
    EXPECT_STREQ(s.text, "ab");
    fclose(f);
}

TEST(FXLongStr, GrowsExactlyAndReusesItsBuffer) {
    FXLongStr s("hello");
    EXPECT_EQ(s.capacity, 6);
    s.Append(" world");
    EXPECT_EQ(s.capacity, 12);
    EXPECT_STREQ(s.text, "hello world");
    char* before = s.text;
    s.Set("hi");
    EXPECT_EQ(s.text, before);
    EXPECT_EQ(s.len, 2);
    EXPECT_TRUE(s.iCompare("HI"));
    s.Set("");
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_TRUE(s.Compare(nullptr));
}

TEST(FXLongStrW, AppendCharAndCompare) {
    FXLongStrW w;
    for (char16_t c : std::u16string(u"Ab")) w.AppendChar(c);
    EXPECT_EQ(w.len, 2);
    EXPECT_EQ(w.capacity, 3);
    EXPECT_TRUE(w.iCompare(u"aB"));
    EXPECT_FALSE(w.Compare(u"aB"));
    w.RemoveLast();
    EXPECT_TRUE(w.Compare(u"A"));
}

TEST(FXConvert, RoundTripThroughWideText) {
    const char* old = setlocale(LC_CTYPE, nullptr);
    std::string saved = old ? old : "C";
    if (!setlocale(LC_CTYPE, "C.UTF-8")) GTEST_SKIP() << "no UTF-8 locale";
    FXConvertW w("gr\xc3\xbc\xc3\x9f \xf0\x9f\x99\x82");  // grüß and a character beyond 16 bits
    ASSERT_NE(w.text, nullptr);
    EXPECT_EQ(w.len, 7);  // five letters and a surrogate pair
    FXConvertC c(w.text);
    ASSERT_NE(c.text, nullptr);
    EXPECT_STREQ(c.text, "gr\xc3\xbc\xc3\x9f \xf0\x9f\x99\x82");
    // An invalid byte sequence leaves the converter empty.
    FXConvertW bad("\xff\xfe");
    EXPECT_EQ(bad.text, nullptr);
    EXPECT_EQ(bad.len, 0);
    setlocale(LC_CTYPE, saved.c_str());
}

TEST(FXStr, SaveShortPathStoresARelativePath) {
    FILE* f = tmpfile();
    ASSERT_NE(f, nullptr);
    FXStr().SaveShortPath(f, "/data/content/");
    FXStr("/data/content/pics/a.jpg").SaveShortPath(f, "/data/content");
    EXPECT_EQ(Bytes(f), Int32(0) + Int32(10) + "pics/a.jpg");
    fclose(f);
}

}  // namespace
