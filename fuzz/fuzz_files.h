// What the fuzz targets that go through files share: a private folder made
// once per process, whole-file writes, and DevIL loaded before the first input.
#pragma once

#include <ftw.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/devil.h"

inline std::string& fuzzFolderName() {
    static std::string dir;
    return dir;
}

// The folder and all in it, depth first.
inline void fuzzRemoveFolder() {
    nftw(
        fuzzFolderName().c_str(), [](const char* path, const struct stat*, int, FTW*) { return remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

// A folder of the process's own, made at the first call and removed when
// the process exits. In memory (/dev/shm) where there is one: every input
// is written and read back, and a disk makes that most of a run's time.
inline std::string fuzzFolder(const char* name) {
    std::string& dir = fuzzFolderName();
    if (dir.empty()) {
        for (const char* base : {"/dev/shm/", "/tmp/"}) {
            std::string tmpl = std::string(base) + name + "-XXXXXX";
            if (const char* d = mkdtemp(&tmpl[0])) {
                dir = d;
                break;
            }
        }
        if (dir.empty()) abort();
        atexit(fuzzRemoveFolder);
    }
    return dir;
}

// Writes the bytes as the whole file; a failure is the harness's, not the
// reader's, so it stops the run.
inline void fuzzWrite(const std::string& path, const void* p, size_t n) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) abort();
    if (n && fwrite(p, 1, n, f) != n) abort();
    fclose(f);
}

inline void fuzzNeedDevil() {
    if (!fxLoadDevil()) {
        fprintf(stderr, "DevIL (libdevil1c2) is needed\n");
        _exit(1);
    }
}
