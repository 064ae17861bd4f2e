// Multibyte text of the current locale to 16-bit wide text and back. The C
// library's wchar_t is a 32-bit code point here, so characters beyond the
// basic plane are split into surrogate pairs on the way in and joined on the
// way out.
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "platform.h"

bool fxPlatformToWide(const char* s, std::u16string* out) {
    out->clear();
    if (!s) return false;
    size_t n = mbstowcs(nullptr, s, 0);
    if (n == static_cast<size_t>(-1)) return false;
    std::wstring wide(n + 1, L'\0');
    size_t got = mbstowcs(&wide[0], s, n + 1);
    if (got == static_cast<size_t>(-1)) return false;
    out->reserve(got);
    for (size_t i = 0; i < got; ++i) {
        uint32_t c = static_cast<uint32_t>(wide[i]);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            out->push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out->push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else if (c < 0x10000) {
            out->push_back(static_cast<char16_t>(c));
        } else {
            out->clear();
            return false;
        }
    }
    return true;
}

bool fxPlatformFromWide(const fxwchar* s, std::string* out) {
    out->clear();
    if (!s) return false;
    std::wstring wide;
    for (const fxwchar* p = s; *p; ++p) {
        uint32_t c = *p;
        if (c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(p[1]) - 0xDC00);
            ++p;
        }
        wide.push_back(static_cast<wchar_t>(c));
    }
    size_t n = wcstombs(nullptr, wide.c_str(), 0);
    if (n == static_cast<size_t>(-1)) return false;
    out->assign(n + 1, '\0');
    size_t got = wcstombs(&(*out)[0], wide.c_str(), n + 1);
    if (got == static_cast<size_t>(-1)) {
        out->clear();
        return false;
    }
    out->resize(got);
    return true;
}
