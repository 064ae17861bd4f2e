// Separators, current directory, existence and the fonts folder on POSIX.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform.h"

char fxPlatformNativeSep() { return '/'; }

bool fxPlatformNamesIgnoreCase() { return false; }

bool fxPlatformGetCwd(char* out, int size) { return getcwd(out, static_cast<size_t>(size)) != nullptr; }

bool fxPlatformSetCwd(const char* nativePath) { return nativePath && chdir(nativePath) == 0; }

bool fxPlatformPathExists(const char* nativePath) {
    struct stat st;
    return nativePath && stat(nativePath, &st) == 0;
}

bool fxPlatformFontsFolder(char* out, int size) {
    static const char* const kFolders[] = {"/usr/share/fonts", "/usr/local/share/fonts"};
    for (const char* f : kFolders) {
        struct stat st;
        if (stat(f, &st) == 0 && S_ISDIR(st.st_mode) && static_cast<int>(strlen(f)) < size) {
            strcpy(out, f);
            return true;
        }
    }
    return false;
}
