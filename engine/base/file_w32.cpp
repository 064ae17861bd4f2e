// Creating, syncing, replacing and removing files and folders on Windows, and
// mapping files.
// Paths arrive in the ANSI code page and go to the system's wide calls.
#include <windows.h>
#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <sddl.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "file.h"
#include "paths.h"
#include "platform.h"

namespace {

bool localWide(const char* path, std::wstring* out) {
    std::u16string w;
    if (!path || !fxPlatformToWide(path, &w)) return false;
    out->assign(w.begin(), w.end());
    return true;
}

// The callers report the C library's reason (errno), as on POSIX.
void localSetErrno() {
    switch (GetLastError()) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        errno = EEXIST;
        break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        errno = ENOENT;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        errno = EACCES;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        errno = ENOSPC;
        break;
    case ERROR_DIR_NOT_EMPTY:
        errno = ENOTEMPTY;
        break;
    default:
        errno = EIO;
        break;
    }
}

bool localIsFolder(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// The security identifier of the user running the process (TokenUser) or of
// the owner it gives new objects (TokenOwner, the administrators' group for
// an elevated administrator); null on failure.
std::unique_ptr<char[]> localTokenInfo(TOKEN_INFORMATION_CLASS what) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
    DWORD n = 0;
    GetTokenInformation(token, what, nullptr, 0, &n);
    std::unique_ptr<char[]> buf;
    if (n > 0) {
        buf.reset(new char[n]);
        if (!GetTokenInformation(token, what, buf.get(), n, &n)) buf.reset();
    }
    CloseHandle(token);
    return buf;
}

PSID localUserSid(const std::unique_ptr<char[]>& info) {
    return info ? reinterpret_cast<TOKEN_USER*>(info.get())->User.Sid : nullptr;
}

}  // namespace

FILE* fxPlatformCreateNewFile(const char* nativePath, bool text, bool executable) {
    (void)executable;  // a program is one by its name on Windows
    std::wstring w;
    if (!localWide(nativePath, &w)) {
        errno = ENOENT;
        return nullptr;
    }
    HANDLE h = CreateFileW(w.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        localSetErrno();
        return nullptr;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | (text ? _O_TEXT : _O_BINARY));
    if (fd < 0) {
        CloseHandle(h);
        DeleteFileW(w.c_str());
        return nullptr;
    }
    FILE* f = _fdopen(fd, text ? "w" : "wb");
    if (!f) {
        _close(fd);  // closes the handle too
        DeleteFileW(w.c_str());
    }
    return f;
}

bool fxPlatformSyncFile(FILE* f) {
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
    return h != INVALID_HANDLE_VALUE && FlushFileBuffers(h);
}

bool fxPlatformReplace(const char* nativeFrom, const char* nativeTo) {
    std::wstring from, to;
    if (!localWide(nativeFrom, &from) || !localWide(nativeTo, &to)) return false;
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    localSetErrno();
    return false;
}

bool fxPlatformRemoveFile(const char* nativePath) {
    std::wstring w;
    if (!localWide(nativePath, &w)) return false;
    if (DeleteFileW(w.c_str())) return true;
    localSetErrno();
    return false;
}

bool fxPlatformRemoveFolder(const char* nativePath) {
    std::wstring w;
    if (!localWide(nativePath, &w)) return false;
    if (RemoveDirectoryW(w.c_str())) return true;
    localSetErrno();
    return false;
}

bool fxPlatformMakeFolder(const char* nativePath) {
    std::wstring w;
    if (!localWide(nativePath, &w)) return false;
    if (CreateDirectoryW(w.c_str(), nullptr)) return true;
    // The caller reports why the folder could not be made, not this check.
    localSetErrno();
    int why = errno;
    bool folder = localIsFolder(w);
    errno = why;
    return folder;
}

// Private: a protected access list that grants the user alone full control,
// inherited by whatever is made inside.
bool fxPlatformMakeTempFolder(const char* nativePrefix, std::string* out) {
    std::wstring prefix;
    if (!localWide(nativePrefix, &prefix)) return false;
    std::unique_ptr<char[]> user = localTokenInfo(TokenUser);
    LPWSTR sidText = nullptr;
    if (!user || !ConvertSidToStringSidW(localUserSid(user), &sidText)) return false;
    std::wstring sddl = L"D:P(A;OICI;FA;;;" + std::wstring(sidText) + L")";
    LocalFree(sidText);
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, FALSE};
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &sa.lpSecurityDescriptor, nullptr))
        return false;
    // A unique part from the clock, the process and a counter; a name taken
    // already moves on to the next.
    static LONG counter = 0;
    LARGE_INTEGER qpc;
    QueryPerformanceCounter(&qpc);
    unsigned seed = static_cast<unsigned>(qpc.QuadPart) ^ (GetCurrentProcessId() << 16);
    bool made = false;
    std::wstring name;
    for (int i = 0; i < 100 && !made; ++i) {
        seed = seed * 1103515245u + 12345u + static_cast<unsigned>(InterlockedIncrement(&counter));
        wchar_t digits[16];
        swprintf(digits, 16, L"%08u", seed % 100000000u);
        name = prefix + digits;
        made = CreateDirectoryW(name.c_str(), &sa) != 0;
        if (!made && GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    if (!made) localSetErrno();
    LocalFree(sa.lpSecurityDescriptor);
    if (!made) return false;
    // The digits are plain ASCII: the narrow name is the prefix as given plus them.
    *out = nativePrefix;
    for (size_t k = prefix.size(); k < name.size(); ++k) out->push_back(static_cast<char>(name[k]));
    return true;
}

bool fxPlatformCanWrite(const char* nativePath) {
    std::wstring w;
    return localWide(nativePath, &w) && _waccess(w.c_str(), 2) == 0;
}

bool fxPlatformOwnFolder(const char* nativePath) {
    std::wstring w;
    if (!localWide(nativePath, &w) || !localIsFolder(w)) return false;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetNamedSecurityInfoW(w.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                              nullptr, &sd) != ERROR_SUCCESS)
        return false;
    std::unique_ptr<char[]> user = localTokenInfo(TokenUser);
    std::unique_ptr<char[]> tokenOwner = localTokenInfo(TokenOwner);
    bool own = owner && ((user && EqualSid(owner, localUserSid(user))) ||
                         (tokenOwner && EqualSid(owner, reinterpret_cast<TOKEN_OWNER*>(tokenOwner.get())->Owner)));
    LocalFree(sd);
    return own;
}

// ---------------------------------------------------------------- mapping

namespace {

enum { kMapView = 1, kMapAlloc = 2 };

}  // namespace

bool fxMapFile(const char* path, unsigned mode, FXFileMap* out, const FXMapProgress& progress) {
    fxUnmapFile(out);
    std::wstring w;
    char native[FXStr::kSize];
    if (path && *path) fxNativePath(path, native, sizeof native);
    if (!path || !*path || !localWide(native, &w)) {
        errno = ENOENT;
        return false;
    }
    // Others may still read, and rename or replace the file (its bytes stay
    // with the mapping where the system allows that).
    HANDLE h = CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        localSetErrno();
        return false;
    }
    LARGE_INTEGER size;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size) || size.QuadPart < 0 ||
        static_cast<uint64_t>(size.QuadPart) > SIZE_MAX / 2) {
        CloseHandle(h);
        errno = EINVAL;
        return false;
    }
    const size_t n = static_cast<size_t>(size.QuadPart);
    bool ok = true;
    if (n == 0) {
        // Nothing to map (an empty file has no mapping).
    } else if (mode == FX_MAP_LAZY) {
        // Copy-on-write: the view stays valid after both handles are closed.
        HANDLE m = CreateFileMappingW(h, nullptr, PAGE_WRITECOPY, 0, 0, nullptr);
        void* view = m ? MapViewOfFile(m, FILE_MAP_COPY, 0, 0, 0) : nullptr;
        if (m) CloseHandle(m);
        ok = view != nullptr;
        if (ok) {
            out->data = static_cast<uint8_t*>(view);
            out->base = view;
            out->kind = kMapView;
            out->size = static_cast<int64_t>(n);
        }
    } else {
        // Large pages need a privilege users lack: ordinary pages.
        void* p = VirtualAlloc(nullptr, n, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        ok = p != nullptr;
        if (ok) {
            out->data = static_cast<uint8_t*>(p);
            out->base = p;
            out->kind = kMapAlloc;
        }
        const size_t kChunk = size_t(16) << 20;
        size_t got = 0;
        while (ok && got < n) {
            DWORD r = 0;
            DWORD want = static_cast<DWORD>(std::min(kChunk, n - got));
            if (!ReadFile(h, out->data + got, want, &r, nullptr) || r == 0) break;  // cut short: keep what was read
            got += r;
            if (progress) progress(static_cast<int64_t>(got), static_cast<int64_t>(n));
        }
        out->size = static_cast<int64_t>(got);
    }
    if (!ok) localSetErrno();
    int why = errno;
    CloseHandle(h);
    if (!ok) {
        fxUnmapFile(out);
        errno = why;
        return false;
    }
    return true;
}

void fxUnmapFile(FXFileMap* m) {
    if (!m) return;
    if (m->kind == kMapView) UnmapViewOfFile(m->base);
    else if (m->kind == kMapAlloc) VirtualFree(m->base, 0, MEM_RELEASE);
    *m = FXFileMap();
}
