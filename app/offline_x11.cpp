// The offline renderer's X11 side: a window of the asked size for the
// device, and the finished frame read back from it.
#include <GL/gl.h>
#include <X11/Xlib.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/host.h"
#include "app/show.h"
#include "base/display.h"
#include "image/canvas.h"
#include "render/gl.h"

bool fxReadFrame(FXGL* gl, FXCanvas* frame) {
    int w = gl->viewWidth, h = gl->viewHeight;
    frame->pixmap.pow2 = false;
    if (w < 1 || h < 1 || !frame->pixmap.Realloc(w, h)) return false;
    std::vector<uint32_t> rows(static_cast<size_t>(w) * h);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    // GL rows run bottom-up, the canvas's top-down; the frame is opaque.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            frame->pixmap.Row(y)[x] = rows[static_cast<size_t>(h - 1 - y) * w + x] | 0xff000000u;
    return true;
}

int fxRunOffline(const FXLaunch& l) {
    Display* d = static_cast<Display*>(fxDisplay());
    if (!d) {
        fprintf(stderr,
                "velmira: the offline renderer draws with OpenGL on an X display, and there is none "
                "(start one, e.g. tests/support/xvfb-run.sh velmira --offline ...)\n");
        return 1;
    }
    int screen = DefaultScreen(d);
    XSetWindowAttributes wa = {};
    wa.override_redirect = True;
    wa.background_pixel = BlackPixel(d, screen);
    Window win = XCreateWindow(d, RootWindow(d, screen), 0, 0, static_cast<unsigned>(l.width),
                               static_cast<unsigned>(l.height), 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWOverrideRedirect | CWBackPixel, &wa);
    XMapRaised(d, win);
    XSync(d, False);
    int status = fxRenderOffline(l, reinterpret_cast<void*>(static_cast<uintptr_t>(win)));
    XDestroyWindow(d, win);
    XSync(d, False);
    return status;
}
