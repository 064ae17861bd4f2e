#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>

#include <atomic>
#include <mutex>

#include "base/trace.h"
#include "base/display.h"

// Last: its min and max macros would break the C++ headers.
#include <X11/Xlibint.h>
#undef min
#undef max

namespace {

std::mutex localMutex;
Display* localDisplay = nullptr;
std::atomic<int> localErrors{0};
std::atomic<bool> localTrapping{false};
std::atomic<bool> localLost{false};
std::atomic<void (*)()> localOnLost{nullptr};

int localErrorHandler(Display* d, XErrorEvent* e) {
    ++localErrors;
    if (!localTrapping) {
        char text[256];
        XGetErrorText(d, e->error_code, text, sizeof text);
        err("X error: %s (request %d.%d, resource 0x%lx)\n", text, e->request_code, e->minor_code,
            static_cast<unsigned long>(e->resourceid));
    }
    return 0;
}

// Xlib's own handler exits the process from whatever thread noticed, with
// the render thread in the middle of a frame: the exit then waits on that
// thread for ever. Instead the program is told and shuts down itself.
int localIOError(Display*) {
    if (!localLost.exchange(true)) {
        err("the connection to the display was lost\n");
        if (auto h = localOnLost.load()) h();
    }
#ifndef FX_HAVE_IO_ERROR_EXIT
    // An Xlib without the exit handler ends the process when this returns,
    // through the exit path that waits on the render thread: end it here.
    fflush(nullptr);
    _exit(1);
#endif
    return 0;
}

#ifdef FX_HAVE_IO_ERROR_EXIT
// Returning leaves the connection dead but usable: calls on it return.
// Xlib took the display's user lock for the exit it expected: without the
// XUnlockDisplay the other thread would wait on it for ever. Xlib also let
// go of the internal lock that the call which found the loss still holds
// and releases on its way out: it is taken again so that release balances.
void localIOErrorExit(Display* d, void*) {
    XUnlockDisplay(d);
    LockDisplay(d);
}
#endif

}  // namespace

void fxDisplayOnLost(void (*handler)()) { localOnLost.store(handler); }

bool fxDisplayLost() { return localLost.load(); }

void* fxDisplay() {
    std::lock_guard<std::mutex> g(localMutex);
    if (!localDisplay) {
        // The window thread and the render thread both use the connection.
        static bool threads = XInitThreads() != 0;
        (void)threads;
        localDisplay = XOpenDisplay(nullptr);
        if (localDisplay) {
            XSetErrorHandler(localErrorHandler);
            XSetIOErrorHandler(localIOError);
#ifdef FX_HAVE_IO_ERROR_EXIT
            XSetIOErrorExitHandler(localDisplay, localIOErrorExit, nullptr);
#endif
        }
    }
    return localDisplay;
}

void fxCloseDisplay() {
    std::lock_guard<std::mutex> g(localMutex);
    if (localDisplay) XCloseDisplay(localDisplay);
    localDisplay = nullptr;
}

void fxDisplayTrapErrors() {
    Display* d = static_cast<Display*>(fxDisplay());
    if (d) XSync(d, False);
    localErrors = 0;
    localTrapping = true;
}

bool fxDisplayUntrapErrors() {
    Display* d = static_cast<Display*>(fxDisplay());
    if (d) XSync(d, False);
    localTrapping = false;
    return localErrors.exchange(0) != 0;
}
