// Creating, syncing, replacing and removing files and folders on POSIX, and
// mapping files.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

#include "file.h"
#include "paths.h"
#include "platform.h"

FILE* fxPlatformCreateNewFile(const char* nativePath, bool text, bool executable) {
    int fd = open(nativePath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, executable ? 0755 : 0666);
    if (fd < 0) return nullptr;
    // The umask may have taken bits an installed program needs.
    if (executable && fchmod(fd, 0755) != 0) {
        close(fd);
        unlink(nativePath);
        return nullptr;
    }
    FILE* f = fdopen(fd, text ? "w" : "wb");
    if (!f) {
        close(fd);
        unlink(nativePath);
    }
    return f;
}

bool fxPlatformSyncFile(FILE* f) { return fsync(fileno(f)) == 0; }

bool fxPlatformReplace(const char* nativeFrom, const char* nativeTo) { return rename(nativeFrom, nativeTo) == 0; }

bool fxPlatformRemoveFile(const char* nativePath) { return unlink(nativePath) == 0; }

bool fxPlatformRemoveFolder(const char* nativePath) { return rmdir(nativePath) == 0; }

bool fxPlatformMakeFolder(const char* nativePath) {
    // Ordinary folders: the user's umask decides who else may read them.
    if (mkdir(nativePath, 0777) == 0) return true;
    // The caller reports mkdir's reason, not the one of this check.
    int why = errno;
    struct stat st;
    bool folder = stat(nativePath, &st) == 0 && S_ISDIR(st.st_mode);
    errno = why;
    return folder;
}

bool fxPlatformMakeTempFolder(const char* nativePrefix, std::string* out) {
    std::string name = std::string(nativePrefix) + "XXXXXX";
    if (!mkdtemp(&name[0])) return false;
    *out = name;
    return true;
}

bool fxPlatformCanWrite(const char* nativePath) { return access(nativePath, W_OK) == 0; }

bool fxPlatformOwnFolder(const char* nativePath) {
    struct stat st;
    return stat(nativePath, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid();
}

// ---------------------------------------------------------------- mapping

namespace {

enum { kMapFile = 1, kMapAnon = 2 };

// Anonymous memory aligned to 2 MiB and offered to transparent huge pages:
// bytes that are rewritten in a scattered order (a transposition) miss the
// TLB on nearly every row with 4 KiB pages.
uint8_t* localLargeAlloc(size_t n, void** base, size_t* span) {
    const size_t kHuge = size_t(2) << 20;
    size_t want = (n + kHuge - 1) / kHuge * kHuge;
    if (want < n || want + kHuge < want) return nullptr;
    void* p = mmap(nullptr, want + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    uintptr_t at = reinterpret_cast<uintptr_t>(p);
    uintptr_t aligned = (at + kHuge - 1) & ~(uintptr_t(kHuge) - 1);
    // Trim the unaligned head and the tail past the aligned run.
    if (aligned > at) munmap(p, aligned - at);
    size_t tail = (at + want + kHuge) - (aligned + want);
    if (tail) munmap(reinterpret_cast<void*>(aligned + want), tail);
#ifdef MADV_HUGEPAGE
    madvise(reinterpret_cast<void*>(aligned), want, MADV_HUGEPAGE);
#endif
    *base = reinterpret_cast<void*>(aligned);
    *span = want;
    return reinterpret_cast<uint8_t*>(aligned);
}

}  // namespace

bool fxMapFile(const char* path, unsigned mode, FXFileMap* out, const FXMapProgress& progress) {
    fxUnmapFile(out);
    if (!path || !*path) {
        errno = ENOENT;
        return false;
    }
    char native[FXStr::kSize];
    fxNativePath(path, native, sizeof native);
    int fd = open(native, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        static_cast<uint64_t>(st.st_size) > SIZE_MAX / 2) {
        int why = errno;
        close(fd);
        errno = why ? why : EINVAL;
        return false;
    }
    const size_t n = static_cast<size_t>(st.st_size);
    bool ok = true;
    if (n == 0) {
        // Nothing to map (mmap refuses a length of 0).
    } else if (mode == FX_MAP_LAZY) {
        void* p = mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            ok = false;
        } else {
            // Start reading ahead: the show reads most of its package soon.
            madvise(p, n, MADV_WILLNEED);
            out->data = static_cast<uint8_t*>(p);
            out->base = p;
            out->span = n;
            out->kind = kMapFile;
        }
    } else {
        out->data = localLargeAlloc(n, &out->base, &out->span);
        ok = out->data != nullptr;
        if (ok) out->kind = kMapAnon;
        const size_t kChunk = size_t(16) << 20;
        size_t got = 0;
        while (ok && got < n) {
            ssize_t r = read(fd, out->data + got, std::min(kChunk, n - got));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;  // cut short (the file shrank): keep what was read
            got += static_cast<size_t>(r);
            if (progress) progress(static_cast<int64_t>(got), static_cast<int64_t>(n));
        }
        out->size = static_cast<int64_t>(got);
    }
    int why = errno;
    close(fd);
    if (!ok) {
        fxUnmapFile(out);
        errno = why ? why : ENOMEM;
        return false;
    }
    if (mode == FX_MAP_LAZY) out->size = static_cast<int64_t>(n);
    return true;
}

void fxUnmapFile(FXFileMap* m) {
    if (!m) return;
    if (m->kind != 0 && m->base) munmap(m->base, m->span);
    *m = FXFileMap();
}
