// Texture uploads on the real device: a movie frame's buffer through the
// fast path (no mipmaps) and a picture with mipmaps. Run on an X display
// (tests/support/xvfb-run.sh gives one). Prints its figures.
#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>

#include <GL/gl.h>

#include "geometry/desk.h"
#include "image/canvas.h"
#include "image/pixmap.h"
#include "base/display.h"
#include "render/gl.h"
#include "render/material.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a) { return std::chrono::duration<double, std::milli>(Clock::now() - a).count(); }

void Fill(FXPixmap* p, int w, int h) {
    p->Realloc(w, h);
    for (int y = 0; y < p->bufHeight; ++y)
        for (int x = 0; x < p->bufWidth; ++x) p->Row(y)[x] = 0xff000000u | static_cast<uint32_t>(x * 7 ^ y * 13);
}

}  // namespace

int main() {
    Display* d = static_cast<Display*>(fxDisplay());
    if (!d) {
        fprintf(stderr, "gl_bench: no X display (run it under tests/support/xvfb-run.sh)\n");
        return 1;
    }
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1024, 768, 0, 0, 0);
    XMapWindow(d, w);
    XSync(d, False);
    FXGL gl;
    gl.CreateChild(reinterpret_cast<void*>(static_cast<uintptr_t>(w)));
    fxSetEnv(&gl);
    gl.SetAct(true);
    printf("Device: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

    const int rounds = 40;
    FXPixmap frame;
    Fill(&frame, 512, 768);  // a movie frame in a 512 x 1024 buffer
    FXMaterial m;
    gl.FastPrepareTexture(&m, &frame);
    glFinish();
    auto t0 = Clock::now();
    for (int i = 0; i < rounds; ++i) gl.FastPrepareTexture(&m, &frame);
    glFinish();
    double fast = Ms(t0) / rounds;
    printf("FastPrepareTexture 512x768 in 512x1024: %.2f ms per upload\n", fast);

    FXCanvas pic;
    Fill(&pic.pixmap, 1024, 768);
    FXMaterial mm;
    t0 = Clock::now();
    const int mipRounds = 10;
    for (int i = 0; i < mipRounds; ++i) mm.SetTexture(&pic);
    glFinish();
    printf("SetTexture with mipmaps 1024x768 in 1024x1024: %.2f ms per upload\n", Ms(t0) / mipRounds);

    // The desktop desk of the show: 30 x 30, textured with a screen-sized
    // picture, bent, coloured and drawn every frame at 1024 x 768.
    FXDesk desk;
    desk.Create(30, 30);
    desk.mesh.colorMode = 1;
    desk.SetMaterial(&mm);
    const int frames = 200;
    double upd = 0, draw = 0, swap = 0;
    for (int i = 0; i < frames; ++i) {
        auto a = Clock::now();
        desk.UpdatePosFlame(1.0f, 0.02f, i * 0.01f);
        const float c[4] = {0.3f, 0.3f, 0.3f, 1.0f};
        desk.UpdateColCol(c);
        desk.UpdateTex();
        upd += Ms(a);
        a = Clock::now();
        gl.Clrscr(true, true, false);
        desk.mesh.Render(&gl);
        glFinish();
        draw += Ms(a);
        a = Clock::now();
        gl.RenderEnd();
        swap += Ms(a);
    }
    printf("30x30 desk per frame at %dx%d: updates %.3f ms, clear+draw %.3f ms, swap %.3f ms\n",
           gl.viewWidth, gl.viewHeight, upd / frames, draw / frames, swap / frames);

    mm.Destroy();
    m.Destroy();
    fxSetEnv(nullptr);
    gl.Destroy();
    XDestroyWindow(d, w);
    fxCloseDisplay();
    return 0;
}
