// The window of offline frames on X11: override-redirect, so that no
// window manager moves or decorates it.
#include <X11/Xlib.h>

#include <cstdint>

#include "base/display.h"
#include "render/frames.h"

void* fxFrameWindowCreate(int w, int h) {
    Display* d = static_cast<Display*>(fxDisplay());
    if (!d || w < 1 || h < 1) return nullptr;
    int screen = DefaultScreen(d);
    XSetWindowAttributes wa = {};
    wa.override_redirect = True;
    wa.background_pixel = BlackPixel(d, screen);
    Window win = XCreateWindow(d, RootWindow(d, screen), 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), 0,
                               CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &wa);
    XMapRaised(d, win);
    XSync(d, False);
    return reinterpret_cast<void*>(static_cast<uintptr_t>(win));
}

void fxFrameWindowDestroy(void* window) {
    Display* d = static_cast<Display*>(fxDisplay());
    if (!d || !window) return;
    XDestroyWindow(d, static_cast<Window>(reinterpret_cast<uintptr_t>(window)));
    XSync(d, False);
}
