#include <X11/Xlib.h>

#include <atomic>
#include <mutex>

#include "base/trace.h"
#include "base/display.h"

namespace {

std::mutex localMutex;
Display* localDisplay = nullptr;
std::atomic<int> localErrors{0};
std::atomic<bool> localTrapping{false};

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

}  // namespace

void* fxDisplay() {
    std::lock_guard<std::mutex> g(localMutex);
    if (!localDisplay) {
        // The window thread and the render thread both use the connection.
        static bool threads = XInitThreads() != 0;
        (void)threads;
        localDisplay = XOpenDisplay(nullptr);
        if (localDisplay) XSetErrorHandler(localErrorHandler);
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
