// Reading the finished frame back: the same OpenGL calls on every system.
#include <GL/gl.h>

#include <cstdint>
#include <vector>

#include "image/canvas.h"
#include "render/frames.h"
#include "render/gl.h"

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
