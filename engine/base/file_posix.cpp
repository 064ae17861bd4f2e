// Creating, syncing, replacing and removing files and folders on POSIX.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

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
