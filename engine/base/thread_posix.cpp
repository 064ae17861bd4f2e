// Mutexes and threads on POSIX threads.
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "other.h"
#include "thread.h"
#include "trace.h"

namespace {

// What the thread and its owner share. The thread holds its own reference, so
// a thread that had to be abandoned never touches freed memory.
struct LocalThreadState {
    std::mutex m;
    std::condition_variable cv;
    bool started = false;
    bool done = false;
    uint32_t tid = 0;
};

struct LocalThread {
    void (*fn)(void*) = nullptr;
    void* arg = nullptr;
    pthread_t handle{};
    uint32_t id = 0;
    bool hasHandle = false;
    std::shared_ptr<LocalThreadState> state;
};

struct LocalStart {
    void (*fn)(void*);
    void* arg;
    std::shared_ptr<LocalThreadState> state;
};

// Marks the end of the thread on every way out, cancellation included (the
// forced unwind of a cancelled thread runs destructors).
struct LocalDoneGuard {
    std::shared_ptr<LocalThreadState> state;
    ~LocalDoneGuard() {
        std::lock_guard<std::mutex> g(state->m);
        state->done = true;
        state->cv.notify_all();
    }
};

void* localThreadEntry(void* p) {
    std::unique_ptr<LocalStart> start(static_cast<LocalStart*>(p));
    LocalDoneGuard guard{start->state};
    {
        std::lock_guard<std::mutex> g(start->state->m);
        start->state->tid = fxGetCurrentThreadId();
        start->state->started = true;
        start->state->cv.notify_all();
    }
    // Cancellation only at cancellation points, never in the middle of a
    // frame's bookkeeping.
    pthread_setcanceltype(PTHREAD_CANCEL_DEFERRED, nullptr);
    if (start->fn) start->fn(start->arg);
    return nullptr;
}

bool localWaitDone(LocalThreadState* s, double seconds) {
    std::unique_lock<std::mutex> g(s->m);
    if (seconds >= 100000.0) {
        s->cv.wait(g, [s] { return s->done; });
        return true;
    }
    long long ms = seconds > 0.0 ? static_cast<long long>(seconds * 1000.0) : 0;
    return s->cv.wait_for(g, std::chrono::milliseconds(ms), [s] { return s->done; });
}

}  // namespace

uint32_t fxGetCurrentThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

void* fxCreateMutex() {
    pthread_mutex_t* m = static_cast<pthread_mutex_t*>(malloc(sizeof(pthread_mutex_t)));
    if (!m) return nullptr;
    pthread_mutexattr_t a;
    pthread_mutexattr_init(&a);
    pthread_mutexattr_settype(&a, PTHREAD_MUTEX_RECURSIVE);
    int rc = pthread_mutex_init(m, &a);
    pthread_mutexattr_destroy(&a);
    if (rc != 0) {
        free(m);
        return nullptr;
    }
    return m;
}

void fxDestroyMutex(void* m) {
    if (!m) return;
    pthread_mutex_destroy(static_cast<pthread_mutex_t*>(m));
    free(m);
}

bool fxTryLock(void* m) { return m && pthread_mutex_trylock(static_cast<pthread_mutex_t*>(m)) == 0; }
void fxLock(void* m) {
    if (m) pthread_mutex_lock(static_cast<pthread_mutex_t*>(m));
}
void fxUnlock(void* m) {
    if (m) pthread_mutex_unlock(static_cast<pthread_mutex_t*>(m));
}

void* fxCreateThread(void (*fn)(void*), void* arg) {
    LocalThread* t = new LocalThread;
    t->fn = fn;
    t->arg = arg;
    t->state = std::make_shared<LocalThreadState>();
    LocalStart* start = new LocalStart{fn, arg, t->state};
    if (pthread_create(&t->handle, nullptr, localThreadEntry, start) != 0) {
        delete start;
        delete t;
        return nullptr;
    }
    t->hasHandle = true;
    {
        // The id is known once the thread runs; callers may use it at once.
        std::unique_lock<std::mutex> g(t->state->m);
        t->state->cv.wait(g, [t] { return t->state->started; });
        t->id = t->state->tid;
    }
    return t;
}

bool fxWaitThread(void* p, double seconds) {
    LocalThread* t = static_cast<LocalThread*>(p);
    if (!t || !t->hasHandle || !t->id) return true;
    if (!localWaitDone(t->state.get(), seconds)) return false;
    pthread_join(t->handle, nullptr);
    t->hasHandle = false;
    t->id = 0;
    return true;
}

void fxTerminateThread(void* p) {
    LocalThread* t = static_cast<LocalThread*>(p);
    if (!t || !t->hasHandle) return;
    if (!localWaitDone(t->state.get(), 0.0)) {
        pthread_cancel(t->handle);
        // A cancelled thread ends at its next sleep or wait.
        if (!localWaitDone(t->state.get(), 2.0)) {
            err("fxTerminateThread -> thread %08x did not end, left detached\n", t->id);
            pthread_detach(t->handle);
            t->hasHandle = false;
            t->id = 0;
            return;
        }
    }
    pthread_join(t->handle, nullptr);
    t->hasHandle = false;
    t->id = 0;
}

void fxDestroyThread(void* p) {
    LocalThread* t = static_cast<LocalThread*>(p);
    if (!t) return;
    fxTerminateThread(t);
    delete t;
}

// Per-thread nice values on Linux; refusals (no privilege) are ignored. A
// raised request keeps the normal priority: a screen saver must never take
// time from the desktop it covers, even when it runs as root.
void fxSetThreadPriority(void* p, int prio) {
    LocalThread* t = static_cast<LocalThread*>(p);
    if (!t || !t->hasHandle || !t->id) return;
    // Relative to the calling thread, which keeps the niceness the process
    // was started with (a daemon starts its hacks niced).
    int base = getpriority(PRIO_PROCESS, 0);
    int nice = prio < 0 ? std::min(base + 10, 19) : base;
    setpriority(PRIO_PROCESS, static_cast<id_t>(t->id), nice);
}
