#include "file.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "paths.h"
#include "platform.h"
#include "trace.h"

namespace {

// The system's form of a path, whatever its length (fxNativePath cuts to
// its buffer, and a cut path would name another file).
bool localNative(const char* path, std::string* out) {
    if (!path || !*path) return false;
    size_t n = strlen(path);
    if (n >= INT_MAX) return false;
    out->assign(n + 1, '\0');
    fxNativePath(path, &(*out)[0], static_cast<int>(n + 1));
    out->resize(n);
    return true;
}

// Removes the temporary file unless it became the target, also when the
// writer leaves by an exception.
struct LocalTemp {
    std::string path;
    FILE* f = nullptr;
    bool kept = false;
    ~LocalTemp() {
        if (f) fclose(f);
        if (!kept && !path.empty()) fxPlatformRemoveFile(path.c_str());
    }
};

// Logs a failure and keeps the system's reason (errno) for the caller.
void localErr(const char* what, const char* path) {
    int why = errno;
    err("%s %s\n", what, path);
    errno = why;
}

}  // namespace

bool fxReplaceFile(const char* path, const FXFileWriter& write, unsigned flags) {
    std::string target;
    if (!localNative(path, &target) || !write) {
        err("replace: no file name or no writer\n");
        return false;
    }
    const bool text = (flags & FX_REPLACE_TEXT) != 0;
    const bool exe = (flags & FX_REPLACE_EXECUTABLE) != 0;
    LocalTemp tmp;
    // A name taken by another writer (or left by a crash) moves on to the
    // next; any other refusal (no folder, no permission) ends the search.
    for (int i = 0; i < 100 && !tmp.f; ++i) {
        std::string name = target + ".tmp" + std::to_string(i) + "~";
        tmp.f = fxPlatformCreateNewFile(name.c_str(), text, exe);
        if (tmp.f) tmp.path = name;
        else if (!fxPlatformPathExists(name.c_str())) break;
    }
    if (!tmp.f) {
        err("replace %s: cannot create a temporary file beside it\n", path);
        return false;
    }
    const char* failed = nullptr;
    if (!write(tmp.f) || fflush(tmp.f) != 0 || ferror(tmp.f))
        failed = "writing";
    else if (!fxPlatformSyncFile(tmp.f))
        failed = "syncing";
    int closed = fclose(tmp.f);
    tmp.f = nullptr;
    if (!failed && closed != 0) failed = "closing";
    if (!failed && !fxPlatformReplace(tmp.path.c_str(), target.c_str())) failed = "replacing";
    if (failed) {
        err("replace %s: %s failed; the old file stays\n", path, failed);
        return false;
    }
    tmp.kept = true;
    return true;
}

bool fxMakeFolder(const char* path) {
    std::string p;
    if (!localNative(path, &p)) return false;
    while (p.size() > 1 && fxIsSep(p.back())) p.pop_back();
    if (fxPlatformMakeFolder(p.c_str())) return true;
    // Parents from the top down. One that cannot be made is not an error by
    // itself (a drive, a share, a folder we may not list): it shows in the
    // folder itself not being made.
    for (size_t i = 1; i < p.size(); ++i)
        if (fxIsSep(p[i]) && !fxIsSep(p[i - 1])) fxPlatformMakeFolder(p.substr(0, i).c_str());
    if (fxPlatformMakeFolder(p.c_str())) return true;
    localErr("cannot make the folder", path);
    return false;
}

bool fxMakeTempFolder(const char* parent, const char* prefix, FXStr* out) {
    out->Clear();
    std::string base;
    if (!localNative(parent, &base)) return false;
    if (!fxIsSep(base.back())) base += fxPlatformNativeSep();
    base += prefix ? prefix : "";
    std::string made;
    if (!fxPlatformMakeTempFolder(base.c_str(), &made)) {
        localErr("cannot make a temporary folder in", parent);
        return false;
    }
    if (made.size() > FXStr::kMaxLen) {
        fxPlatformRemoveFolder(made.c_str());
        err("temporary folder name too long: %s\n", made.c_str());
        return false;
    }
    out->Set(made.c_str());
    return true;
}

bool fxRemoveFile(const char* path) {
    std::string p;
    return localNative(path, &p) && fxPlatformRemoveFile(p.c_str());
}

bool fxRemoveFolder(const char* path) {
    std::string p;
    return localNative(path, &p) && fxPlatformRemoveFolder(p.c_str());
}

bool fxCanWrite(const char* path) {
    std::string p;
    return localNative(path, &p) && fxPlatformCanWrite(p.c_str());
}

bool fxIsOwnFolder(const char* path) {
    std::string p;
    return localNative(path, &p) && fxPlatformOwnFolder(p.c_str()) && fxPlatformCanWrite(p.c_str());
}

bool fxCopyFile(const char* from, const char* to, unsigned flags) {
    std::string source;
    FILE* in = localNative(from, &source) ? fopen(source.c_str(), "rb") : nullptr;
    if (!in) {
        err("copy: cannot read %s\n", from ? from : "(null)");
        return false;
    }
    bool ok = fxReplaceFile(
        to,
        [&](FILE* out) {
            char buf[65536];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, in)) > 0)
                if (fwrite(buf, 1, n, out) != n) return false;
            return !ferror(in);
        },
        flags);
    fclose(in);
    return ok;
}
