// Dynamic-link libraries on Windows, and the names DevIL's DLLs have.
#include <windows.h>

#include <cstring>

#include "image/platform.h"

void* fxPlatformOpenLibrary(const char* name) {
    if (!name || !*name) return nullptr;
    return LoadLibraryA(name);
}

void* fxPlatformLibrarySymbol(void* lib, const char* name) {
    if (!lib || !name) return nullptr;
    FARPROC p = GetProcAddress(static_cast<HMODULE>(lib), name);
    // A code address handed on as a data pointer, the size being the same.
    void* r;
    static_assert(sizeof r == sizeof p, "function pointer size");
    memcpy(&r, &p, sizeof r);
    return r;
}

void fxPlatformCloseLibrary(void* lib) {
    if (lib) FreeLibrary(static_cast<HMODULE>(lib));
}

// Found beside the program first (the system's search order).
const char* fxPlatformDevilName() { return "DevIL.dll"; }
const char* fxPlatformIluName() { return "ILU.dll"; }
