// Mutexes (critical sections) and kernel threads on Windows.
#include <windows.h>

#include <cstdlib>
#include <new>

#include "other.h"
#include "thread.h"

namespace {

// Zero-filled at creation: the function, its argument, the system's handle
// and id of the thread.
struct LocalThread {
    void (*fn)(void*);
    void* arg;
    HANDLE handle;
    DWORD id;
};

DWORD WINAPI localThreadEntry(LPVOID p) {
    LocalThread* t = static_cast<LocalThread*>(p);
    if (t && t->fn) t->fn(t->arg);
    return 0;
}

}  // namespace

uint32_t fxGetCurrentThreadId() { return static_cast<uint32_t>(GetCurrentThreadId()); }

void* fxCreateMutex() {
    CRITICAL_SECTION* m = static_cast<CRITICAL_SECTION*>(malloc(sizeof(CRITICAL_SECTION)));
    if (m) InitializeCriticalSection(m);
    return m;
}

void fxDestroyMutex(void* m) {
    if (!m) return;
    DeleteCriticalSection(static_cast<CRITICAL_SECTION*>(m));
    free(m);
}

bool fxTryLock(void* m) { return m && TryEnterCriticalSection(static_cast<CRITICAL_SECTION*>(m)); }
void fxLock(void* m) {
    if (m) EnterCriticalSection(static_cast<CRITICAL_SECTION*>(m));
}
void fxUnlock(void* m) {
    if (m) LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(m));
}

void* fxCreateThread(void (*fn)(void*), void* arg) {
    LocalThread* t = static_cast<LocalThread*>(calloc(1, sizeof(LocalThread)));
    if (!t) return nullptr;
    t->fn = fn;
    t->arg = arg;
    t->handle = CreateThread(nullptr, 0, localThreadEntry, t, 0, &t->id);
    if (!t->handle) {
        free(t);
        return nullptr;
    }
    return t;
}

bool fxWaitThread(void* p, double seconds) {
    LocalThread* t = static_cast<LocalThread*>(p);
    if (!t || !t->handle || !t->id) return true;
    DWORD ms = INFINITE;
    if (seconds < 100000.0) ms = seconds > 0.0 ? static_cast<DWORD>(seconds * 1000.0) : 0;
    // Only a timeout says the thread still runs; a failed wait counts as ended.
    return WaitForSingleObject(t->handle, ms) != WAIT_TIMEOUT;
}

// TerminateThread gives the thread no chance to clean up (no destructors run):
// callers first ask their thread to stop and wait for it.
void fxTerminateThread(void* p) {
    LocalThread* t = static_cast<LocalThread*>(p);
    if (!t || !t->handle || !t->id) return;
    if (WaitForSingleObject(t->handle, 0) == WAIT_TIMEOUT) {
        TerminateThread(t->handle, 0);
        // The kill completes asynchronously; the handle is signalled once the
        // thread is gone.
        WaitForSingleObject(t->handle, 5000);
    }
    CloseHandle(t->handle);
    t->handle = nullptr;
    t->id = 0;
}

void fxDestroyThread(void* p) {
    LocalThread* t = static_cast<LocalThread*>(p);
    if (!t) return;
    fxTerminateThread(t);
    free(t);
}

// A raised request keeps the normal priority, as fxSetAppPriority does: a
// screen saver must never take time from the desktop it covers.
void fxSetThreadPriority(void* p, int prio) {
    LocalThread* t = static_cast<LocalThread*>(p);
    if (!t || !t->handle) return;
    SetThreadPriority(t->handle, prio < 0 ? THREAD_PRIORITY_LOWEST : THREAD_PRIORITY_NORMAL);
}
