// Clock, sleep, priorities and the message box on Windows.
#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "other.h"
#include "platform.h"

// The multimedia counter wraps every 49.7 days; the engine clock must not.
// A reading below the last one by more than half the range is a wrap; a
// smaller step back is a thread that read the counter just before another
// one stored a later value, and keeps that later value.
uint64_t fxW32UnwrapMs(uint64_t last, uint32_t now) {
    uint64_t t = (last & ~0xFFFFFFFFull) | now;
    if (t + 0x80000000ull < last) return t + 0x100000000ull;
    return t < last ? last : t;
}

namespace {

// Millisecond resolution for timeGetTime and Sleep (the default tick is
// 10 to 16 ms), asked for once and kept for the life of the process.
void localFineTimer() {
    static const bool once = timeBeginPeriod(1) == TIMERR_NOERROR;
    (void)once;
}

std::atomic<uint64_t> localLastMs{0};

}  // namespace

uint64_t fxPlatformMonotonicMs() {
    localFineTimer();
    uint64_t last = localLastMs.load();
    uint64_t next;
    do {
        next = fxW32UnwrapMs(last, timeGetTime());
    } while (!localLastMs.compare_exchange_weak(last, next));
    return next;
}

void fxPlatformSleepMs(unsigned ms) {
    localFineTimer();
    Sleep(ms);  // Sleep(0) gives up the rest of the time slice
}

int fxPlatformMessageBox(const char* caption, const char* text) {
    // MB_ICONERROR: the error icon (style 16), no owner window.
    // 0 is the documented failure; Wine without a display gives -1.
    if (MessageBoxA(nullptr, text ? text : "", caption ? caption : "", MB_OK | MB_ICONERROR) <= 0) {
        // No desktop to show it on (a service, a headless test run): the
        // message goes where the POSIX build puts it.
        size_t n = text ? strlen(text) : 0;
        fprintf(stderr, "%s: %s%s", caption ? caption : "", text ? text : "",
                (n && text[n - 1] == '\n') ? "" : "\n");
        fflush(stderr);
    }
    return IDOK;
}

// As on POSIX, a screen saver must never starve the desktop it covers: a
// raised request keeps the normal class instead of the real-time one, a
// lowered one takes the class below normal.
void fxSetAppPriority(int p) {
    SetPriorityClass(GetCurrentProcess(), p < 0 ? BELOW_NORMAL_PRIORITY_CLASS : NORMAL_PRIORITY_CLASS);
}
