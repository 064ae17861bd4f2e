// Strings of the engine: the fixed-size value string FXStr that carries every
// name and path, the growable heap strings and the code-page converters.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cwchar>

// Wide text is kept in 16-bit units as on the original platform, so that a
// wide string has the same size everywhere.
typedef char16_t fxwchar;

class FXStr {
public:
    enum { kSize = 1024, kMaxLen = kSize - 1 };

    char text[kSize];
    int32_t len;

    FXStr() { Clear(); }
    FXStr(const char* s) { Set(s); }

    void Clear() { text[0] = 0; len = 0; }
    void Set(const char* s);
    void Append(const char* s);
    void AppendChar(char c);
    void InsertChar(char c);
    void RemoveLast();
    int Format(const char* fmt, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    int FormatV(const char* fmt, va_list args);
    int TrimSpaces();
    void ToLower();
    void ToUpper();
    void ExchangeChars(char from, char to);
    bool IsEmpty() const { return len == 0; }
    int Compare(const char* s) const;
    int nCompare(const char* s, int n) const;
    int iCompare(const char* s) const;

    void Save(FILE* f) const;
    // Reads the string form. A count outside 0..1023 never overflows the
    // buffer: a negative count gives the empty string, a larger one keeps the
    // first 1023 characters and skips the rest. A short read keeps what came.
    void Load(FILE* f);
    void SaveShortPath(FILE* f, const char* base) const;

    operator const char*() const { return text; }
};

int localTrimSpaces(char* s, int len);
int localTrimSpacesW(fxwchar* s, int len);

class FXLongStr {
public:
    char* text;
    int32_t len;
    int32_t capacity;

    FXLongStr() : text(nullptr), len(0), capacity(0) {}
    FXLongStr(const char* s) : text(nullptr), len(0), capacity(0) { Set(s); }
    ~FXLongStr() { Clear(); }
    FXLongStr(const FXLongStr&) = delete;
    FXLongStr& operator=(const FXLongStr&) = delete;

    void Clear();
    void ClearBuf();
    void Set(const char* s);
    void Append(const char* s);
    int TrimSpaces();
    void ToLower();
    bool IsEmpty() const { return len == 0; }
    int Compare(const char* s) const;
    int iCompare(const char* s) const;
};

class FXLongStrW {
public:
    fxwchar* text;
    int32_t len;
    int32_t capacity;

    FXLongStrW() : text(nullptr), len(0), capacity(0) {}
    FXLongStrW(const fxwchar* s) : text(nullptr), len(0), capacity(0) { Set(s); }
    ~FXLongStrW() { Clear(); }
    FXLongStrW(const FXLongStrW&) = delete;
    FXLongStrW& operator=(const FXLongStrW&) = delete;

    void Clear();
    void ClearBuf();
    void Set(const fxwchar* s);
    void Append(const fxwchar* s);
    void AppendChar(fxwchar c);
    void RemoveLast();
    int TrimSpaces();
    void ToLower();
    bool IsEmpty() const { return len == 0; }
    int Compare(const fxwchar* s) const;
    int iCompare(const fxwchar* s) const;
};

// Narrow (the current multibyte locale) to wide.
class FXConvertW {
public:
    fxwchar* text;
    int32_t len;

    FXConvertW() : text(nullptr), len(0) {}
    FXConvertW(const char* s) : text(nullptr), len(0) { Convert(s); }
    ~FXConvertW() { Release(); }
    FXConvertW(const FXConvertW&) = delete;
    FXConvertW& operator=(const FXConvertW&) = delete;

    fxwchar* Convert(const char* s);

private:
    void Release();
};

// Wide to narrow (the current multibyte locale).
class FXConvertC {
public:
    char* text;
    int32_t len;

    FXConvertC() : text(nullptr), len(0) {}
    FXConvertC(const fxwchar* s) : text(nullptr), len(0) { Convert(s); }
    ~FXConvertC() { Release(); }
    FXConvertC(const FXConvertC&) = delete;
    FXConvertC& operator=(const FXConvertC&) = delete;

    char* Convert(const fxwchar* s);

private:
    void Release();
};

// Length of a 16-bit wide text.
int fxWStrLen(const fxwchar* s);
