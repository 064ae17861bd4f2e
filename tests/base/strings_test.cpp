#include <gtest/gtest.h>

#include <clocale>
#include <initializer_list>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "../support/testutil.h"
#include "base/fxarray.h"
#include "base/fxstr.h"

namespace {

using fxtest::Le32;

// '1' for every true (non-zero) answer, '0' for every false one.
std::string Bits(std::initializer_list<int> answers) {
    std::string s;
    for (int a : answers) s += a ? '1' : '0';
    return s;
}

TEST(FXStr, EveryEditStopsAt1023Characters) {
    FXStr s(std::string(2000, 'x').c_str());
    EXPECT_EQ(s.len, 1023);
    EXPECT_EQ(s.text[1023], 0);
    FXStr t(std::string(1000, 'a').c_str());
    t.Append(std::string(100, 'b').c_str());
    t.AppendChar('z');
    t.InsertChar('z');
    EXPECT_EQ(std::string(t.text), std::string(1000, 'a') + std::string(23, 'b'));
    EXPECT_EQ(s.Format("%d-%s", 5, "x"), 3);
    EXPECT_STREQ(s.text, "5-x");
    s.Format("%s", std::string(3000, 'y').c_str());
    EXPECT_EQ(s.len, 1023);
    EXPECT_EQ(s.text[1023], 0);
}

TEST(FXStr, CharEditsComparisonsAndTrimming) {
    FXStr s("abc");
    s.InsertChar('x');
    EXPECT_STREQ(s.text, "xabc");
    s.RemoveLast();
    EXPECT_EQ(std::string(s.text) + std::to_string(s.len), "xab3");
    FXStr e;
    e.RemoveLast();
    e.AppendChar('\0');
    EXPECT_EQ(e.len, 0);
    // The empty string: equal to "" and null, but case-blind only to null.
    EXPECT_EQ(Bits({e.Compare(""), e.Compare(nullptr), e.iCompare(""), e.iCompare(nullptr), e.Compare("abc"),
                    e.iCompare("abc")}),
              "110100");
    FXStr a("abc");
    EXPECT_EQ(Bits({a.nCompare("ab", 2), a.Compare("ab"), a.iCompare("ABC"), a.Compare("ABC")}), "1010");
    char t[] = "  a b \t", blank[] = "   ", high[] = "\xe9t\xe9 ";
    int nt = localTrimSpaces(t, 7), nb = localTrimSpaces(blank, 3);
    EXPECT_EQ(std::to_string(nt) + t + "|" + std::to_string(nb) + blank, "3a b|0");
    EXPECT_EQ(localTrimSpaces(high, 4), 3);  // bytes above 127 are text, not white space
}

TEST(FXStr, StoredFormsRoundTripAndPathsAreStoredRelative) {
    FILE* f = tmpfile();
    FXStr().Save(f);
    FXStr("abc").Save(f);
    FXStr().SaveShortPath(f, "/data/content/");
    FXStr("/data/content/pics/a.jpg").SaveShortPath(f, "/data/content");
    EXPECT_EQ(fxtest::StreamBytes(f), Le32({0, 3}, "abc") + Le32({0, 10}, "pics/a.jpg"));
    rewind(f);
    FXStr a("junk"), b;
    a.Load(f);
    b.Load(f);
    EXPECT_EQ(a.len, 0);
    EXPECT_STREQ(b.text, "abc");
    EXPECT_EQ(b.len, 3);
    fclose(f);
    // 5000 characters claimed and present, a second string, a negative
    // count, then a count far beyond the end: the reader stays in step.
    f = fxtest::StreamWith(Le32({5000}, std::string(5000, 'k')) + Le32({4}, "next") + Le32({-7, 1 << 30}, "ab"));
    std::string got;
    for (int k = 0; k < 4; ++k, got += ' ') {
        b.Load(f);
        got += std::to_string(b.len) + std::string(b.text).substr(0, 4);
    }
    EXPECT_EQ(got, "1023kkkk 4next 0 2ab ");
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
    EXPECT_TRUE(s.IsEmpty() && s.Compare(nullptr));

    FXLongStrW w;
    for (char16_t c : std::u16string(u"Ab")) w.AppendChar(c);
    EXPECT_EQ(w.len, 2);
    EXPECT_EQ(w.capacity, 3);
    EXPECT_TRUE(w.iCompare(u"aB"));
    EXPECT_FALSE(w.Compare(u"aB"));
    w.RemoveLast();
    EXPECT_TRUE(w.Compare(u"A"));
}

#ifdef _WIN32
// Windows converts through the ANSI code page of the process, which no
// locale call changes: the rows of Western Europe's (1252) and of UTF-8.
TEST(FXConvert, RoundTripThroughWideText) {
    struct Row {
        unsigned codePage;
        const char* text;
        int wideLen;
        const fxwchar* unrepresentable;
        const char* invalid;
    } rows[] = {
        {1252, "gr\xfc\xdf \x80", 6, u"\U0001F642", nullptr},  // grüß and the euro sign
        {65001, "gr\xc3\xbc\xc3\x9f \xf0\x9f\x99\x82", 7, nullptr, "\xff\xfe"},
    };
    const Row* r = nullptr;
    for (const Row& row : rows)
        if (row.codePage == GetACP()) r = &row;
    if (!r) GTEST_SKIP() << "no test row for the code page " << GetACP();
    FXConvertW w(r->text);
    ASSERT_NE(w.text, nullptr);
    EXPECT_EQ(w.len, r->wideLen);
    EXPECT_EQ(w.text[2], u'\u00fc');
    FXConvertC c(w.text);
    ASSERT_NE(c.text, nullptr);
    EXPECT_STREQ(c.text, r->text);
    if (r->unrepresentable) {
        EXPECT_EQ(FXConvertC(r->unrepresentable).text, nullptr);
    }
    if (r->invalid) {
        EXPECT_EQ(FXConvertW(r->invalid).text, nullptr);
    }
}
#else
TEST(FXConvert, RoundTripThroughWideText) {
    const char* old = setlocale(LC_CTYPE, nullptr);
    std::string saved = old ? old : "C";
    if (!setlocale(LC_CTYPE, "C.UTF-8")) GTEST_SKIP() << "no UTF-8 locale";
    const char* text = "gr\xc3\xbc\xc3\x9f \xf0\x9f\x99\x82";  // grüß and a character beyond 16 bits
    FXConvertW w(text);
    ASSERT_NE(w.text, nullptr);
    EXPECT_EQ(w.len, 7);  // five letters and a surrogate pair
    FXConvertC c(w.text);
    ASSERT_NE(c.text, nullptr);
    EXPECT_STREQ(c.text, text);
    FXConvertW bad("\xff\xfe");  // an invalid byte sequence leaves the converter empty
    EXPECT_EQ(bad.text, nullptr);
    EXPECT_EQ(bad.len, 0);
    setlocale(LC_CTYPE, saved.c_str());
}
#endif

}  // namespace
