// The offline renderer: the full-screen show under a virtual clock, frame by
// frame with no waiting, with chosen frames written to picture files.
#include <GL/gl.h>
#include <X11/Xlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/config.h"
#include "app/host.h"
#include "app/velmira.h"
#include "base/other.h"
#include "image/canvas.h"
#include "base/display.h"

namespace {

struct LocalCapture {
    bool wanted = false;
    std::string path;
    bool saved = false;
};

void localTap(FXGL* gl, void* user) {
    LocalCapture* c = static_cast<LocalCapture*>(user);
    if (!c->wanted) return;
    c->wanted = false;
    int w = gl->viewWidth, h = gl->viewHeight;
    FXCanvas pic;
    pic.pixmap.pow2 = false;
    if (w < 1 || h < 1 || !pic.pixmap.Realloc(w, h)) return;
    std::vector<uint32_t> rows(static_cast<size_t>(w) * h);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    // GL rows run bottom-up, the canvas's top-down; the frame is opaque.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) pic.pixmap.Row(y)[x] = rows[static_cast<size_t>(h - 1 - y) * w + x] | 0xff000000u;
    c->saved = pic.SaveToPict(c->path.c_str());
}

}  // namespace

int fxRunOffline(const FXLaunch& l) {
    Display* d = static_cast<Display*>(fxDisplay());
    if (!d) {
        fprintf(stderr,
                "velmira: the offline renderer draws with OpenGL on an X display, and there is none "
                "(start one, e.g. tests/support/xvfb-run.sh velmira --offline ...)\n");
        return 1;
    }
    mkdir(l.outDir.c_str(), 0755);
    struct stat st;
    if (stat(l.outDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        fprintf(stderr, "velmira: cannot make the folder %s\n", l.outDir.c_str());
        return 1;
    }
    if (l.dataFolder.empty()) localReadConfig();
    if (!l.dataFolder.empty()) snprintf(fenroPath, sizeof fenroPath, "%s", l.dataFolder.c_str());
    // The data folder becomes the current folder: keep the output where asked.
    char absOut[4096];
    std::string out = realpath(l.outDir.c_str(), absOut) ? absOut : l.outDir;
    std::string desktop = l.desktopFile;
    if (!desktop.empty() && desktop[0] != '/') {
        char abs[4096];
        if (realpath(desktop.c_str(), abs)) desktop = abs;
    }

    FXVirtualClock clock(1000000);
    FXClockSource* old = fxSetClockSource(&clock);
    fxResetShow();

    int screen = DefaultScreen(d);
    XSetWindowAttributes wa = {};
    wa.override_redirect = True;
    wa.background_pixel = BlackPixel(d, screen);
    Window win = XCreateWindow(d, RootWindow(d, screen), 0, 0, static_cast<unsigned>(l.width),
                               static_cast<unsigned>(l.height), 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWOverrideRedirect | CWBackPixel, &wa);
    XMapRaised(d, win);
    XSync(d, False);
    void* handle = reinterpret_cast<void*>(static_cast<uintptr_t>(win));
    InitSceneFrom(handle, false, desktop.empty() ? FX_DESKTOP_CAPTURE : FX_DESKTOP_FILE,
                  desktop.empty() ? nullptr : desktop.c_str(), false);
    started = true;

    LocalCapture cap;
    gr.frameTap = localTap;
    gr.frameTapUser = &cap;
    std::vector<double> times = l.times;
    std::sort(times.begin(), times.end());
    double t0 = fxGetTime();
    int failures = 0;
    size_t next = 0;
    // Frame k is drawn at t0 + k x step. A requested time is taken from the
    // first presented frame at or after it (frame 0 is never presented).
    for (int k = 0; next < times.size(); ++k) {
        double rel = k * l.frameStep;
        clock.SetSeconds(t0 + rel);
        size_t from = next;
        if (k > 0)
            while (next < times.size() && times[next] <= rel + 1e-6) ++next;
        if (next > from) {
            char name[64];
            snprintf(name, sizeof name, "/frame-%08.3fs.png", times[from]);
            cap.wanted = true;
            cap.saved = false;
            cap.path = out + name;
        }
        gr.SetAct(true);
        sc.OnRender(&gr, fxGetTime());
        gr.SetAct(false);
        if (next == from) continue;
        if (!cap.saved) {
            fprintf(stderr, "velmira: could not write %s\n", cap.path.c_str());
            ++failures;
            continue;
        }
        printf("%s\n", cap.path.c_str());
        // Times that fall on the same frame get copies of its picture.
        for (size_t i = from + 1; i < next; ++i) {
            char name[64];
            snprintf(name, sizeof name, "/frame-%08.3fs.png", times[i]);
            std::string copy = out + name;
            FXCanvas again;
            if (again.CreateFromPict(cap.path.c_str()) && again.SaveToPict(copy.c_str()))
                printf("%s\n", copy.c_str());
            else
                ++failures;
        }
    }
    gr.frameTap = nullptr;
    DestroyScene();
    XDestroyWindow(d, win);
    XSync(d, False);
    fxSetClockSource(old);
    return failures ? 1 : 0;
}
