// Offline frames on X11 with GLX: an override-redirect window and the back
// buffer read with glReadPixels.
#include <GL/gl.h>
#include <X11/Xlib.h>

#include <cstdint>
#include <vector>

#include "base/display.h"
#include "image/canvas.h"
#include "render/frames.h"
#include "render/gl.h"

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

bool fxglReadFrame(FXGL* gl, FXCanvas* frame) {
    int w = gl->viewWidth, h = gl->viewHeight;
    frame->pixmap.pow2 = false;
    if (w < 1 || h < 1 || !frame->pixmap.Realloc(w, h)) return false;
    std::vector<uint32_t> rows(static_cast<size_t>(w) * h);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    // GL rows run bottom-up, the canvas's top-down.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            frame->pixmap.Row(y)[x] = rows[static_cast<size_t>(h - 1 - y) * w + x] | 0xff000000u;
    return true;
}
