#include "trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "other.h"
#include "platform.h"
#include "thread.h"

namespace {

const char kRule[] = "------------------------------------------------\n";
enum { kTextSize = 4096 };

std::atomic<bool> trcOn{false};
FILE* trcFile = nullptr;
std::atomic<void*> trcMutex{nullptr};
char trcThreadStr[32];
int trcThreadStrSize = 0;
char trcTimeStr[64];
int trcTimeStrSize = 0;
char trcTrcText[kTextSize + 1];
int trcTrcTextSize = 0;
char trcDynamicError[kTextSize + 1];

// Formats into a buffer of kTextSize + 1 bytes; overlong messages are cut.
int localFormat(char* buf, const char* fmt, va_list args) {
    int n = vsnprintf(buf, kTextSize + 1, fmt ? fmt : "", args);
    if (n < 0) n = 0;
    if (n > kTextSize) n = kTextSize;
    buf[n] = 0;
    return n;
}

void localPrefixes() {
    trcThreadStrSize = snprintf(trcThreadStr, sizeof trcThreadStr, "%08x: ", fxGetCurrentThreadId());
    // The time goes through single precision, as the log always printed it.
    float t = static_cast<float>(fxGetTime());
    trcTimeStrSize = snprintf(trcTimeStr, sizeof trcTimeStr, "[%.3f] ", static_cast<double>(t));
}

void localWrite(const char* s, int n) {
    if (n > 0) fwrite(s, 1, static_cast<size_t>(n), trcFile);
}

enum Kind { kTrc, kTrc1, kErr };

void localTrace(Kind kind, const char* fmt, va_list args) {
    if (!trcOn.load()) return;
    void* m = trcMutex.load();
    if (!m) return;
    fxLock(m);
    if (!trcOn.load()) {
        fxUnlock(m);
        return;
    }
    if (kind != kTrc1) localPrefixes();
    trcTrcTextSize = localFormat(trcTrcText, fmt, args);
    if (trcFile) {
        if (kind == kErr) localWrite("#ERROR: ", 8);
        if (kind != kTrc1) {
            localWrite(trcThreadStr, trcThreadStrSize);
            localWrite(trcTimeStr, trcTimeStrSize);
        }
        localWrite(trcTrcText, trcTrcTextSize);
        fflush(trcFile);
    }
    fxUnlock(m);
}

}  // namespace

bool fxOpenTraces(const char* path) {
    if (trcOn.load()) {
        void* m = trcMutex.load();
        if (m) fxLock(m);
        if (trcFile) {
            fputs(kRule, trcFile);
            fputs("fxOpenTraces - attempt to open another traces\n", trcFile);
            fprintf(trcFile, "               (filename:%s)\n", path ? path : "");
            fputs(kRule, trcFile);
            fputs("\n", trcFile);
            fflush(trcFile);
        }
        if (m) fxUnlock(m);
        return false;
    }
    if (!path) return false;
    FILE* f = fopen(path, "w");
    if (!f) return false;
    trcFile = f;
    fputs(kRule, trcFile);
    fprintf(trcFile, " fxOpenTraces (filename:%s)\n", path);
    fputs(kRule, trcFile);
    fputs("\n", trcFile);
    fflush(trcFile);
    // The lock outlives every open and close: a thread that read the open flag
    // just before a close must still find a valid mutex to wait on.
    if (!trcMutex.load()) trcMutex.store(fxCreateMutex());
    trcOn.store(true);
    return true;
}

bool fxTracesOpened() { return trcOn.load(); }

void trc(const char* fmt, ...) {
    va_list a;
    va_start(a, fmt);
    localTrace(kTrc, fmt, a);
    va_end(a);
}

void trc1(const char* fmt, ...) {
    va_list a;
    va_start(a, fmt);
    localTrace(kTrc1, fmt, a);
    va_end(a);
}

namespace {
thread_local int trcThreadErrors = 0;
}  // namespace

int fxThreadErrors() { return trcThreadErrors; }

void err(const char* fmt, ...) {
    ++trcThreadErrors;
    va_list a;
    va_start(a, fmt);
    localTrace(kErr, fmt, a);
    va_end(a);
}

int errmsg(const char* fmt, ...) {
    bool formatted = false;
    // Copy of the message for the box, taken under the lock so that a second
    // errmsg on another thread cannot change it while the box is shown.
    char box[kTextSize + 1];
    if (trcOn.load()) {
        void* m = trcMutex.load();
        if (m) fxLock(m);
        if (trcOn.load()) {
            va_list a;
            va_start(a, fmt);
            int n = localFormat(trcDynamicError, fmt, a);
            va_end(a);
            formatted = true;
            localPrefixes();
            if (trcFile) {
                localWrite("#ERROR: ", 8);
                localWrite(trcThreadStr, trcThreadStrSize);
                localWrite(trcTimeStr, trcTimeStrSize);
                localWrite(trcDynamicError, n);
                fflush(trcFile);
            }
            memcpy(box, trcDynamicError, static_cast<size_t>(n) + 1);
        }
        if (m) fxUnlock(m);
    }
    if (!formatted) {
        va_list a;
        va_start(a, fmt);
        localFormat(box, fmt, a);
        va_end(a);
    }
    return fxPlatformMessageBox("Error", box);
}

void fxCloseTraces() {
    if (!trcOn.load()) return;
    void* m = trcMutex.load();
    if (m) {
        fxLock(m);
        if (!trcOn.load()) {
            fxUnlock(m);
            return;
        }
        trcOn.store(false);
        fxCloseTracesFile();
        fxUnlock(m);
    } else {
        trcOn.store(false);
        fxCloseTracesFile();
    }
}

void fxCloseTracesFile() {
    if (!trcFile) return;
    fputs("\n", trcFile);
    fputs(kRule, trcFile);
    fputs(" end of traces\n", trcFile);
    fputs(kRule, trcFile);
    fputs("\n", trcFile);
    fclose(trcFile);
    trcFile = nullptr;
}
