// Clock, sleep, priorities and the message box on POSIX.
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "other.h"
#include "platform.h"

uint64_t fxPlatformMonotonicMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

void fxPlatformSleepMs(unsigned ms) {
    if (ms == 0) {
        sched_yield();
        return;
    }
    struct timespec ts;
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

int fxPlatformMessageBox(const char* caption, const char* text) {
    size_t n = text ? strlen(text) : 0;
    fprintf(stderr, "%s: %s%s", caption ? caption : "", text ? text : "", (n && text[n - 1] == '\n') ? "" : "\n");
    fflush(stderr);
    return 1;  // IDOK
}

// A screen saver must never starve the desktop it covers: a raised request
// keeps the normal priority instead of a real-time class, a lowered one
// becomes a higher nice value. Refusals are ignored.
void fxSetAppPriority(int p) {
    // Relative to what the process was started with: a screen-saver daemon
    // starts its hacks niced, and a raised request must not undo that.
    static const int base = getpriority(PRIO_PROCESS, 0);
    int nice = p < 0 ? std::min(base + 5, 19) : base;
    setpriority(PRIO_PROCESS, 0, nice);
}
