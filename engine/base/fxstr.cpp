#include "fxstr.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fxarray.h"
#include "paths.h"
#include "platform.h"

// ---------------------------------------------------------------- FXStr

void FXStr::Set(const char* s) {
    if (!s || !*s) {
        Clear();
        return;
    }
    size_t n = strnlen(s, kMaxLen);
    memcpy(text, s, n);
    text[n] = 0;
    text[kMaxLen] = 0;
    len = static_cast<int32_t>(n);
}

void FXStr::Append(const char* s) {
    if (!s || !*s) return;
    size_t room = static_cast<size_t>(kMaxLen - len);
    size_t n = strnlen(s, room);
    memcpy(text + len, s, n);
    text[len + n] = 0;
    text[kMaxLen] = 0;
    len = static_cast<int32_t>(strlen(text));
}

void FXStr::AppendChar(char c) {
    if (len >= kMaxLen) return;
    text[len] = c;
    text[len + 1] = 0;
    len = static_cast<int32_t>(strlen(text));
}

void FXStr::InsertChar(char c) {
    if (len >= kMaxLen) return;
    memmove(text + 1, text, static_cast<size_t>(len) + 1);
    text[0] = c;
    len = static_cast<int32_t>(strlen(text));
}

void FXStr::RemoveLast() {
    if (len >= 1) {
        --len;
        text[len] = 0;
    }
}

int FXStr::Format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int r = FormatV(fmt, args);
    va_end(args);
    return r;
}

int FXStr::FormatV(const char* fmt, va_list args) {
    Clear();
    if (!fmt) return 0;
    int r = vsnprintf(text, kSize, fmt, args);
    // Overlong output is cut at 1023 characters and the length says so.
    if (r < 0) {
        Clear();
        return 0;
    }
    if (r > kMaxLen) r = kMaxLen;
    text[r] = 0;
    len = static_cast<int32_t>(strlen(text));
    return len;
}

int FXStr::TrimSpaces() {
    len = localTrimSpaces(text, len);
    return len;
}

void FXStr::ToLower() {
    for (int i = 0; i < len; ++i) text[i] = static_cast<char>(tolower(static_cast<unsigned char>(text[i])));
}

void FXStr::ToUpper() {
    for (int i = 0; i < len; ++i) text[i] = static_cast<char>(toupper(static_cast<unsigned char>(text[i])));
}

void FXStr::ExchangeChars(char from, char to) {
    for (int i = 0; i < len; ++i)
        if (text[i] == from) text[i] = to;
}

int FXStr::Compare(const char* s) const {
    if (!s || !*s) return len == 0 ? 1 : 0;
    if (len == 0) return 0;
    return strncmp(text, s, kMaxLen) == 0 ? 1 : 0;
}

int FXStr::nCompare(const char* s, int n) const {
    if (!s || !*s) return len == 0 ? 1 : 0;
    if (len == 0) return 0;
    if (n <= 0) return 1;
    return strncmp(text, s, static_cast<size_t>(n)) == 0 ? 1 : 0;
}

int FXStr::iCompare(const char* s) const {
    if (!s) return len == 0 ? 1 : 0;
    if (len == 0) return 0;
    return strncasecmp(text, s, kMaxLen) == 0 ? 1 : 0;
}

void FXStr::Save(FILE* f) const {
    if (!f) return;
    fxWriteInt32(f, len);
    if (len > 0) fwrite(text, 1, static_cast<size_t>(len), f);
}

void FXStr::Load(FILE* f) {
    Clear();
    if (!f) return;
    int32_t n = 0;
    if (!fxReadInt32(f, &n) || n <= 0) return;
    int32_t take = n > kMaxLen ? kMaxLen : n;
    size_t got = fread(text, 1, static_cast<size_t>(take), f);
    text[got] = 0;
    len = static_cast<int32_t>(strlen(text));
    if (n > take && got == static_cast<size_t>(take)) fseek(f, static_cast<long>(n - take), SEEK_CUR);
}

void FXStr::SaveShortPath(FILE* f, const char* base) const {
    if (!f) return;
    if (len < 1) {
        fxWriteInt32(f, 0);
        return;
    }
    const char* rel = fxBuildRelativePath(base, false, text, true);
    int32_t n = rel ? static_cast<int32_t>(strnlen(rel, kMaxLen)) : 0;
    fxWriteInt32(f, n);
    if (n > 0) fwrite(rel, 1, static_cast<size_t>(n), f);
}

// ---------------------------------------------------------------- trimming

template <typename C>
static bool localIsSpace(C c) {
    return static_cast<unsigned>(c) < 256 && isspace(static_cast<int>(c));
}

template <typename C>
static int localTrim(C* s, int len) {
    if (len <= 0) return 0;
    int lead = 0;
    while (lead < len && localIsSpace(s[lead])) ++lead;
    if (lead > 0) {
        memmove(s, s + lead, (static_cast<size_t>(len - lead) + 1) * sizeof(C));
        len -= lead;
        if (len == 0) return 0;
    }
    int trail = 0;
    while (trail < len && localIsSpace(s[len - 1 - trail])) ++trail;
    if (trail > 0) {
        len -= trail;
        s[len] = 0;
    }
    return len;
}

int localTrimSpaces(char* s, int len) {
    // isspace on a negative char is undefined: work on the byte value.
    if (len <= 0) return 0;
    int lead = 0;
    while (lead < len && isspace(static_cast<unsigned char>(s[lead]))) ++lead;
    if (lead > 0) {
        memmove(s, s + lead, static_cast<size_t>(len - lead) + 1);
        len -= lead;
        if (len == 0) return 0;
    }
    int trail = 0;
    while (trail < len && isspace(static_cast<unsigned char>(s[len - 1 - trail]))) ++trail;
    if (trail > 0) {
        len -= trail;
        s[len] = 0;
    }
    return len;
}

int localTrimSpacesW(fxwchar* s, int len) { return localTrim(s, len); }

// ---------------------------------------------------------------- FXLongStr

void FXLongStr::Clear() {
    free(text);
    text = nullptr;
    len = 0;
    capacity = 0;
}

void FXLongStr::ClearBuf() {
    free(text);
    text = nullptr;
    capacity = 0;
}

void FXLongStr::Set(const char* s) {
    if (!s || !*s) {
        if (text) text[0] = 0;
        len = 0;
        return;
    }
    size_t n = strlen(s);
    if (n >= static_cast<size_t>(INT32_MAX)) n = INT32_MAX - 1;
    if (static_cast<int64_t>(n) + 1 > capacity) {
        ClearBuf();
        text = static_cast<char*>(malloc(n + 1));
        if (!text) {
            len = 0;
            return;
        }
        capacity = static_cast<int32_t>(n + 1);
    }
    memcpy(text, s, n);
    text[n] = 0;
    len = static_cast<int32_t>(n);
}

void FXLongStr::Append(const char* s) {
    if (!s || !*s) return;
    size_t n = strlen(s);
    int64_t need = static_cast<int64_t>(len) + static_cast<int64_t>(n) + 1;
    if (need > INT32_MAX) return;
    if (need > capacity) {
        char* nb = static_cast<char*>(malloc(static_cast<size_t>(need)));
        if (!nb) return;
        if (text && len > 0) memcpy(nb, text, static_cast<size_t>(len));
        free(text);
        text = nb;
        capacity = static_cast<int32_t>(need);
    }
    memcpy(text + len, s, n);
    len += static_cast<int32_t>(n);
    text[len] = 0;
}

int FXLongStr::TrimSpaces() {
    if (!text) return len = 0;
    len = localTrimSpaces(text, len);
    return len;
}

void FXLongStr::ToLower() {
    for (int i = 0; i < len; ++i) text[i] = static_cast<char>(tolower(static_cast<unsigned char>(text[i])));
}

int FXLongStr::Compare(const char* s) const {
    if (!s || !*s) return len == 0 ? 1 : 0;
    if (len == 0 || !text) return 0;
    return strcmp(text, s) == 0 ? 1 : 0;
}

int FXLongStr::iCompare(const char* s) const {
    if (!s || !*s) return len == 0 ? 1 : 0;
    if (len == 0 || !text) return 0;
    return strcasecmp(text, s) == 0 ? 1 : 0;
}

// ---------------------------------------------------------------- FXLongStrW

int fxWStrLen(const fxwchar* s) {
    if (!s) return 0;
    int n = 0;
    while (s[n]) ++n;
    return n;
}

static fxwchar localWLower(fxwchar c) {
    return c < 256 ? static_cast<fxwchar>(tolower(static_cast<int>(c))) : c;
}

void FXLongStrW::Clear() {
    free(text);
    text = nullptr;
    len = 0;
    capacity = 0;
}

void FXLongStrW::ClearBuf() {
    free(text);
    text = nullptr;
    capacity = 0;
}

void FXLongStrW::Set(const fxwchar* s) {
    if (!s || !*s) {
        if (text) text[0] = 0;
        len = 0;
        return;
    }
    int n = fxWStrLen(s);
    if (n + 1 > capacity) {
        ClearBuf();
        text = static_cast<fxwchar*>(malloc((static_cast<size_t>(n) + 1) * sizeof(fxwchar)));
        if (!text) {
            len = 0;
            return;
        }
        capacity = n + 1;
    }
    memcpy(text, s, static_cast<size_t>(n) * sizeof(fxwchar));
    text[n] = 0;
    len = n;
}

static bool localGrowW(FXLongStrW* w, int64_t need) {
    if (need > INT32_MAX) return false;
    if (need <= w->capacity) return true;
    fxwchar* nb = static_cast<fxwchar*>(malloc(static_cast<size_t>(need) * sizeof(fxwchar)));
    if (!nb) return false;
    if (w->text && w->len > 0) memcpy(nb, w->text, static_cast<size_t>(w->len) * sizeof(fxwchar));
    free(w->text);
    w->text = nb;
    w->capacity = static_cast<int32_t>(need);
    return true;
}

void FXLongStrW::Append(const fxwchar* s) {
    if (!s || !*s) return;
    int n = fxWStrLen(s);
    if (!localGrowW(this, static_cast<int64_t>(len) + n + 1)) return;
    memcpy(text + len, s, static_cast<size_t>(n) * sizeof(fxwchar));
    len += n;
    text[len] = 0;
}

void FXLongStrW::AppendChar(fxwchar c) {
    if (!localGrowW(this, static_cast<int64_t>(len) + 2)) return;
    text[len] = c;
    ++len;
    text[len] = 0;
}

void FXLongStrW::RemoveLast() {
    if (len >= 1) {
        --len;
        text[len] = 0;
    }
}

int FXLongStrW::TrimSpaces() {
    if (!text) return len = 0;
    len = localTrimSpacesW(text, len);
    return len;
}

void FXLongStrW::ToLower() {
    for (int i = 0; i < len; ++i) text[i] = localWLower(text[i]);
}

static int localWCmp(const fxwchar* a, const fxwchar* b, bool nocase) {
    for (;; ++a, ++b) {
        fxwchar x = nocase ? localWLower(*a) : *a;
        fxwchar y = nocase ? localWLower(*b) : *b;
        if (x != y) return x < y ? -1 : 1;
        if (!x) return 0;
    }
}

int FXLongStrW::Compare(const fxwchar* s) const {
    if (!s || !*s) return len == 0 ? 1 : 0;
    if (len == 0 || !text) return 0;
    return localWCmp(text, s, false) == 0 ? 1 : 0;
}

int FXLongStrW::iCompare(const fxwchar* s) const {
    if (!s || !*s) return len == 0 ? 1 : 0;
    if (len == 0 || !text) return 0;
    return localWCmp(text, s, true) == 0 ? 1 : 0;
}

// ---------------------------------------------------------------- converters
// The system converts (fxPlatformToWide, fxPlatformFromWide); an empty or
// invalid text leaves the converter empty.

void FXConvertW::Release() {
    free(text);
    text = nullptr;
    len = 0;
}

fxwchar* FXConvertW::Convert(const char* s) {
    Release();
    std::u16string out;
    if (!s || !fxPlatformToWide(s, &out) || out.empty()) return nullptr;
    text = static_cast<fxwchar*>(malloc((out.size() + 1) * sizeof(fxwchar)));
    if (!text) return nullptr;
    memcpy(text, out.data(), out.size() * sizeof(fxwchar));
    len = static_cast<int32_t>(out.size());
    text[len] = 0;
    return text;
}

void FXConvertC::Release() {
    free(text);
    text = nullptr;
    len = 0;
}

char* FXConvertC::Convert(const fxwchar* s) {
    Release();
    std::string out;
    if (!s || !fxPlatformFromWide(s, &out) || out.empty()) return nullptr;
    text = static_cast<char*>(malloc(out.size() + 1));
    if (!text) return nullptr;
    memcpy(text, out.data(), out.size());
    len = static_cast<int32_t>(out.size());
    text[len] = 0;
    return text;
}
