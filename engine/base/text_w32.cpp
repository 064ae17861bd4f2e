// Multibyte text of the ANSI code page to UTF-16 and back. wchar_t is UTF-16
// here, so the system's converters give the engine's wide text directly.
#include <windows.h>

#include <string>

#include "platform.h"

bool fxPlatformToWide(const char* s, std::u16string* out) {
    out->clear();
    if (!s) return false;
    int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, s, -1, nullptr, 0);
    if (n <= 0) return false;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, s, -1, &wide[0], n) != n) return false;
    out->assign(wide.begin(), wide.end() - 1);  // without the terminator
    return true;
}

bool fxPlatformFromWide(const fxwchar* s, std::string* out) {
    out->clear();
    if (!s) return false;
    const wchar_t* w = reinterpret_cast<const wchar_t*>(s);
    // A UTF-8 code page represents every character but refuses a used-default
    // flag; the others report the characters they had to replace.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : 0;
    BOOL replaced = FALSE;
    int n = WideCharToMultiByte(CP_ACP, flags, w, -1, nullptr, 0, nullptr, utf8 ? nullptr : &replaced);
    if (n <= 0 || replaced) return false;
    std::string narrow(static_cast<size_t>(n), '\0');
    if (WideCharToMultiByte(CP_ACP, flags, w, -1, &narrow[0], n, nullptr, utf8 ? nullptr : &replaced) != n ||
        replaced)
        return false;
    narrow.pop_back();
    *out = narrow;
    return true;
}
