// What the fuzz targets that go through files share: a private folder made
// once per process, whole-file writes, and DevIL loaded before the first input.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/devil.h"

// A folder of the process's own under /tmp, made at the first call.
inline std::string fuzzFolder(const char* name) {
    static std::string dir;
    if (dir.empty()) {
        std::string tmpl = std::string("/tmp/") + name + "-XXXXXX";
        const char* d = mkdtemp(&tmpl[0]);
        if (!d) abort();
        dir = d;
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
