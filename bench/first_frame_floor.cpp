// The floor of start-up: a program that opens a full-screen window like the
// show's, makes its GL device, clears one frame and presents it, and says
// how long after its start that was, timed as the show times its own first
// frame (from the start of main). bench/show_bench.sh sets the show beside it.
#include <X11/Xlib.h>

#include <cstdint>
#include <cstdio>

#include "base/display.h"
#include "base/other.h"
#include "render/gl.h"

int main() {
    const double start = fxGetTime();
    // The show's own connection, opened the same way.
    Display* d = static_cast<Display*>(fxDisplay());
    if (!d) {
        fprintf(stderr, "first_frame_floor: cannot open display\n");
        return 1;
    }
    const int screen = DefaultScreen(d);
    XSetWindowAttributes wa = {};
    wa.override_redirect = True;
    wa.background_pixel = BlackPixel(d, screen);
    Window win = XCreateWindow(d, RootWindow(d, screen), 0, 0, static_cast<unsigned>(DisplayWidth(d, screen)),
                               static_cast<unsigned>(DisplayHeight(d, screen)), 0, CopyFromParent, InputOutput,
                               CopyFromParent, CWOverrideRedirect | CWBackPixel, &wa);
    FXGL gl;
    fxSetEnv(&gl);
    if (!gl.CreateChild(reinterpret_cast<void*>(static_cast<uintptr_t>(win)))) {
        fprintf(stderr, "first_frame_floor: no GL device\n");
        return 1;
    }
    gl.SetAct(true);
    gl.Clrscr(true, true, false);
    XMapRaised(d, win);
    XSync(d, False);
    gl.RenderEnd();
    printf("first frame presented, %.3f s after the start\n", fxGetTime() - start);
    gl.Destroy();
    fxSetEnv(nullptr);
    XDestroyWindow(d, win);
    fxCloseDisplay();
    return 0;
}
