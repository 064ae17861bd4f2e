// Separators, current directory, existence and the fonts folder on Windows.
#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "platform.h"

char fxPlatformNativeSep() { return '\\'; }

bool fxPlatformNamesIgnoreCase() { return true; }

bool fxPlatformGetCwd(char* out, int size) {
    if (!out || size <= 0) return false;
    DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(size), out);
    // Too small a buffer gives the size needed, terminator included.
    return n > 0 && n < static_cast<DWORD>(size);
}

bool fxPlatformSetCwd(const char* nativePath) { return nativePath && SetCurrentDirectoryA(nativePath); }

bool fxPlatformPathExists(const char* nativePath) {
    return nativePath && GetFileAttributesA(nativePath) != INVALID_FILE_ATTRIBUTES;
}

bool fxPlatformFontsFolder(char* out, int size) {
    char buf[MAX_PATH];
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_FONTS, nullptr, SHGFP_TYPE_CURRENT, buf))) return false;
    if (!out || static_cast<int>(strlen(buf)) >= size) return false;
    strcpy(out, buf);
    return true;
}
