// Shared libraries on POSIX systems.
#include <dlfcn.h>

#include "image/devil.h"

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
