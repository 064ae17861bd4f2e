// Mutexes (re-entrant) and threads behind opaque handles.
#pragma once

#include <cstdint>

void* fxCreateMutex();
void fxDestroyMutex(void* m);
bool fxTryLock(void* m);
void fxLock(void* m);
void fxUnlock(void* m);

void* fxCreateThread(void (*fn)(void*), void* arg);
// False exactly when the wait timed out. seconds >= 100000 waits forever.
bool fxWaitThread(void* t, double seconds);
// Ends a thread that still runs. POSIX cannot kill a thread outright: it is
// cancelled at its next cancellation point (a sleep, a wait), which unwinds
// its stack so scope guards release what they hold; one that does not reach
// a cancellation point within a short grace is detached and reported.
void fxTerminateThread(void* t);
void fxDestroyThread(void* t);
// The operating system's id of the calling thread.
uint32_t fxGetCurrentThreadId();
