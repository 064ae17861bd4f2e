// Shared libraries on POSIX systems, and the names DevIL is installed under.
#include <dlfcn.h>

#include "image/platform.h"

void* fxPlatformOpenLibrary(const char* name) {
    if (!name || !*name) return nullptr;
    return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

void* fxPlatformLibrarySymbol(void* lib, const char* name) {
    if (!lib || !name) return nullptr;
    return dlsym(lib, name);
}

void fxPlatformCloseLibrary(void* lib) {
    if (lib) dlclose(lib);
}

// The sonames of the distributions' packages, so no development package
// (with its unversioned link) is needed to run.
const char* fxPlatformDevilName() { return "libIL.so.1"; }
const char* fxPlatformIluName() { return "libILU.so.1"; }
