#include "paths.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "platform.h"

namespace {

// Folders keep room for 259 characters and their ending separator.
enum { kFolderSize = FX_MAX_PATH + 2 };

char localStartPath[kFolderSize] = "";
char localSysFontsPath[kFolderSize] = "";
char localGetPath[kFolderSize] = "";
char localTmpPath[FX_MAX_PATH] = "";

const char* localResult(const std::string& s) {
    size_t n = s.size() < FX_MAX_PATH - 1 ? s.size() : FX_MAX_PATH - 1;
    memcpy(localTmpPath, s.data(), n);
    localTmpPath[n] = 0;
    return localTmpPath;
}

// The separator a joined path uses: the one its base text already uses, the
// native one when it uses both or none.
char localSepOf(const std::string& s) {
    bool back = s.find('\\') != std::string::npos;
    bool fwd = s.find('/') != std::string::npos;
    if (back && !fwd) return '\\';
    if (fwd && !back) return '/';
    return fxPlatformNativeSep();
}

bool localHasDrive(const std::string& s) {
    return s.size() >= 2 && isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':';
}

bool localSameName(const std::string& a, const std::string& b) {
    if (!fxPlatformNamesIgnoreCase()) return a == b;
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

// A path taken apart: its root (drive and leading separators) and its names,
// with "." dropped and ".." folded into the name before it.
struct LocalPath {
    std::string root;
    std::vector<std::string> names;
    bool endsWithSep = false;
};

LocalPath localSplit(const std::string& p) {
    LocalPath r;
    size_t i = 0;
    if (localHasDrive(p)) {
        r.root = p.substr(0, 2);
        i = 2;
    }
    while (i < p.size() && fxIsSep(p[i])) r.root += p[i++];
    bool rooted = r.root.size() > (localHasDrive(p) ? 2u : 0u);
    std::string cur;
    for (; i <= p.size(); ++i) {
        if (i == p.size() || fxIsSep(p[i])) {
            if (cur == "..") {
                if (!r.names.empty() && r.names.back() != "..")
                    r.names.pop_back();
                else if (!rooted)
                    r.names.push_back(cur);
            } else if (!cur.empty() && cur != ".") {
                r.names.push_back(cur);
            }
            cur.clear();
        } else {
            cur += p[i];
        }
    }
    r.endsWithSep = !p.empty() && fxIsSep(p.back());
    return r;
}

std::string localJoin(const LocalPath& p, char sep, size_t from = 0) {
    std::string s = p.root;
    for (size_t i = from; i < p.names.size(); ++i) {
        if (i > from) s += sep;
        s += p.names[i];
    }
    if (p.endsWithSep && !p.names.empty()) s += sep;
    return s;
}

// The pieces of a path as the C runtime's path splitter names them.
struct LocalParts {
    std::string drive, dir, name, ext;
};

LocalParts localSplitParts(const char* path) {
    LocalParts r;
    std::string p = path ? path : "";
    size_t i = 0;
    if (localHasDrive(p)) {
        r.drive = p.substr(0, 2);
        i = 2;
    }
    size_t lastSep = std::string::npos;
    for (size_t k = i; k < p.size(); ++k)
        if (fxIsSep(p[k])) lastSep = k;
    size_t fileStart = i;
    if (lastSep != std::string::npos) {
        r.dir = p.substr(i, lastSep + 1 - i);
        fileStart = lastSep + 1;
    }
    std::string file = p.substr(fileStart);
    size_t dot = file.rfind('.');
    if (dot == std::string::npos) {
        r.name = file;
    } else {
        r.name = file.substr(0, dot);
        r.ext = file.substr(dot);
    }
    return r;
}

std::string localMakePath(const LocalParts& p) {
    std::string s = p.drive;
    if (!s.empty() && s.back() != ':') s += ':';
    s += p.dir;
    if (!p.dir.empty() && !fxIsSep(p.dir.back())) s += localSepOf(p.dir);
    s += p.name;
    if (!p.ext.empty()) {
        if (p.ext[0] != '.') s += '.';
        s += p.ext;
    }
    return s;
}

void localSetFolder(char* dst, const char* path) {
    size_t n = path ? strnlen(path, FX_MAX_PATH - 1) : 0;
    if (n) memcpy(dst, path, n);
    dst[n] = 0;
    fxAddEndingSep(dst, kFolderSize);
}

}  // namespace

bool fxIsSep(char c) { return c == '\\' || c == '/'; }

void fxAddEndingSep(char* buf, int size) {
    int n = static_cast<int>(strlen(buf));
    if (n > 0 && fxIsSep(buf[n - 1])) return;
    if (n + 1 >= size) return;
    bool fwd = strchr(buf, '/') != nullptr;
    bool back = strchr(buf, '\\') != nullptr;
    buf[n] = (fwd && !back) ? '/' : '\\';
    buf[n + 1] = 0;
}

void fxNativePath(const char* path, char* out, int size) {
    if (size <= 0) return;
    const char sep = fxPlatformNativeSep();
    int i = 0;
    for (; path && path[i] && i < size - 1; ++i) {
        char c = path[i];
        if (c == '\\') c = sep;
        out[i] = c;
    }
    out[i] = 0;
}

void fxInitPaths() {
    char buf[kFolderSize];
    if (!fxPlatformGetCwd(buf, FX_MAX_PATH)) buf[0] = 0;
    localSetFolder(localStartPath, buf);
    if (fxPlatformFontsFolder(buf, FX_MAX_PATH)) {
        localSetFolder(localSysFontsPath, buf);
    } else {
        localSysFontsPath[0] = fxPlatformNativeSep();
        localSysFontsPath[1] = 0;
    }
}

void fxSetTypePath(int type, const char* path) {
    if (type == 1)
        localSetFolder(localStartPath, path);
    else if (type == 2)
        localSetFolder(localSysFontsPath, path);
}

const char* fxGetTypePath(int type) {
    if (type == 1) return localStartPath;
    if (type == 2) return localSysFontsPath;
    return nullptr;
}

bool fxSetActPath(const char* path) {
    if (!path || !*path) return false;
    char native[FX_MAX_PATH];
    fxNativePath(path, native, sizeof native);
    return fxPlatformSetCwd(native);
}

bool fxSetPath(int type) { return fxSetActPath(fxGetTypePath(type)); }

bool fxSetSubPath(int type, const char* sub) { return fxSetActPath(fxCombinePaths(fxGetTypePath(type), sub)); }

const char* fxGetActPath() {
    char buf[kFolderSize];
    if (!fxPlatformGetCwd(buf, FX_MAX_PATH)) buf[0] = 0;
    localSetFolder(localGetPath, buf);
    return localGetPath;
}

const char* fxCombinePaths(const char* a, const char* b) {
    std::string sa = a ? a : "";
    std::string sb = b ? b : "";
    if (!sb.empty() && fxIsSep(sb[0])) sb.erase(0, 1);
    std::string joined;
    if (sa.empty() || localHasDrive(sb)) {
        joined = sb;
    } else if (sb.empty()) {
        joined = sa;
    } else {
        joined = sa;
        if (!fxIsSep(joined.back())) joined += localSepOf(sa);
        joined += sb;
    }
    if (joined.empty()) return localResult(joined);
    return localResult(localJoin(localSplit(joined), localSepOf(joined)));
}

const char* fxBuildRelativePath(const char* from, bool fromIsFile, const char* to, bool toIsFile) {
    (void)toIsFile;
    std::string sto = to ? to : "";
    std::string sfrom = from ? from : "";
    if (sfrom.empty() || sto.empty()) return localResult(sto);
    LocalPath f = localSplit(sfrom);
    if (fromIsFile && !f.names.empty()) f.names.pop_back();
    LocalPath t = localSplit(sto);
    // Paths that share no root (another drive, one absolute and one not)
    // cannot be related: the target stays as it is.
    std::string fr = f.root, tr = t.root;
    for (char& c : fr)
        if (c == '\\') c = '/';
    for (char& c : tr)
        if (c == '\\') c = '/';
    if (!localSameName(fr, tr)) return localResult(sto);
    size_t common = 0;
    while (common < f.names.size() && common < t.names.size() && localSameName(f.names[common], t.names[common]))
        ++common;
    char sep = localSepOf(sto);
    std::string r;
    for (size_t i = common; i < f.names.size(); ++i) {
        r += "..";
        r += sep;
    }
    for (size_t i = common; i < t.names.size(); ++i) {
        r += t.names[i];
        if (i + 1 < t.names.size()) r += sep;
    }
    if (r.empty()) r = ".";
    if (!r.empty() && fxIsSep(r[0])) r.erase(0, 1);
    return localResult(r);
}

const char* fxChangeExt(const char* path, const char* ext) {
    LocalParts p = localSplitParts(path);
    p.ext = ext ? ext : "";
    return localResult(localMakePath(p));
}

const char* fxAppenfFname(const char* path, const char* suffix) {
    LocalParts p = localSplitParts(path);
    p.name += suffix ? suffix : "";
    return localResult(localMakePath(p));
}

const char* fxGetFilename(const char* path) {
    if (!path) return path;
    const char* r = path;
    for (const char* p = path; *p; ++p)
        if (fxIsSep(*p) && p[1] && !fxIsSep(p[1])) r = p + 1;
    return r;
}

bool fxPathExists(const char* path) {
    if (!path || !*path) return false;
    char native[FX_MAX_PATH];
    fxNativePath(path, native, sizeof native);
    return fxPlatformPathExists(native);
}
