// Desktop capture on X11: an image of the root window, or the picture of it
// that XScreenSaver keeps for its hacks.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/trace.h"
#include "image/platform.h"
#include "base/display.h"

namespace {

int localShift(unsigned long mask) {
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

// Channel value of a pixel scaled to 8 bits, whatever the mask's width.
uint8_t localChannel(unsigned long px, unsigned long mask) {
    if (!mask) return 0;
    int shift = localShift(mask);
    unsigned long m = mask >> shift, v = (px & mask) >> shift;
    return static_cast<uint8_t>(v * 255 / m);
}

// The image scaled (nearest pixel) to w x h blue-green-red-x rows, owned by
// out; false without memory.
bool localToRows(XImage* img, int w, int h, FXScreenPixels* out) {
    uint8_t* rows = static_cast<uint8_t*>(malloc(static_cast<size_t>(w) * static_cast<size_t>(h) * 4));
    if (!rows) return false;
    for (int y = 0; y < h; ++y) {
        int sy = static_cast<int>(static_cast<int64_t>(y) * img->height / h);
        for (int x = 0; x < w; ++x) {
            unsigned long px = XGetPixel(img, static_cast<int>(static_cast<int64_t>(x) * img->width / w), sy);
            uint8_t* p = rows + (static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 4;
            p[0] = localChannel(px, img->blue_mask);
            p[1] = localChannel(px, img->green_mask);
            p[2] = localChannel(px, img->red_mask);
            p[3] = 0;
        }
    }
    out->width = w;
    out->height = h;
    out->pitch = w * 4;
    out->bgrx = rows;
    out->handle = nullptr;
    return true;
}

// The pixmap named by _SCREENSAVER_SCREENSHOT on the window: 1 found, 0 no
// such property, -1 a value that cannot be a picture (traced).
int localShotProperty(Display* d, Window win, Pixmap* out) {
    Atom name = XInternAtom(d, "_SCREENSAVER_SCREENSHOT", False);
    Atom type = None;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    fxDisplayTrapErrors();
    int r = XGetWindowProperty(d, win, name, 0, 1, False, AnyPropertyType, &type, &format, &n, &after, &data);
    bool failed = fxDisplayUntrapErrors() || r != Success;
    if (failed || type == None) {
        if (data) XFree(data);
        return 0;
    }
    // Format-32 items come as longs, whatever the width of long.
    *out = type == XA_PIXMAP && format == 32 && n == 1 && data ? *reinterpret_cast<unsigned long*>(data) : 0;
    if (data) XFree(data);
    if (!*out) {
        err("_SCREENSAVER_SCREENSHOT on 0x%lx: not a pixmap (type %lu, format %d, %lu items)\n",
            static_cast<unsigned long>(win), static_cast<unsigned long>(type), format, n);
        return -1;
    }
    return 1;
}

// A capture through shared memory, which spares the 3 MB of a full screen
// their trip through the connection (about a third of the time on a local
// server). The segment is marked for removal once the server has it, so a
// killed process leaves none behind.
// A captured image handed out whole: through shared memory or the
// connection.
struct LocalShot {
    XImage* img = nullptr;
    bool shm = false;
    XShmSegmentInfo info = {};
    bool attached = false;
};

void localRelease(Display* d, LocalShot* s) {
    if (s->attached) XShmDetach(d, &s->info);
    if (s->img) {
        if (s->shm) s->img->data = nullptr;  // the segment's, not Xlib's to free
        XDestroyImage(s->img);
    }
    if (s->shm && s->info.shmaddr && s->info.shmaddr != reinterpret_cast<char*>(-1)) shmdt(s->info.shmaddr);
    delete s;
}

bool localDirect(const XImage* img) {
    return img->bits_per_pixel == 32 && img->byte_order == LSBFirst && img->red_mask == 0xff0000 &&
           img->green_mask == 0xff00 && img->blue_mask == 0xff;
}

// Hands the image out as it is when its pixels are blue-green-red-x rows,
// converted otherwise; takes s either way.
bool localHandOut(Display* d, LocalShot* s, FXScreenPixels* out) {
    XImage* img = s->img;
    out->width = img->width;
    out->height = img->height;
    if (localDirect(img)) {
        out->pitch = img->bytes_per_line;
        out->bgrx = reinterpret_cast<const uint8_t*>(img->data);
        out->handle = s;
        return true;
    }
    // Any other visual: convert pixel by pixel into blue-green-red-x rows.
    bool ok = localToRows(img, img->width, img->height, out);
    localRelease(d, s);
    if (!ok) err("screen capture: no memory for the conversion\n");
    return ok;
}

// The root window's pixels through MIT-SHM; null where the server offers no
// shared memory (a remote display) or any step fails.
LocalShot* localShmGrab(Display* d, int w, int h) {
    if (!XShmQueryExtension(d)) return nullptr;
    const int screen = DefaultScreen(d);
    LocalShot* s = new LocalShot;
    s->shm = true;
    s->info.shmid = -1;
    fxDisplayTrapErrors();
    s->img = XShmCreateImage(d, DefaultVisual(d, screen), static_cast<unsigned>(DefaultDepth(d, screen)), ZPixmap,
                             nullptr, &s->info, static_cast<unsigned>(w), static_cast<unsigned>(h));
    bool ok = s->img != nullptr;
    if (ok) {
        s->info.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(s->img->bytes_per_line) * s->img->height,
                               IPC_CREAT | 0600);
        ok = s->info.shmid >= 0;
    }
    if (ok) {
        s->info.shmaddr = s->img->data = static_cast<char*>(shmat(s->info.shmid, nullptr, 0));
        ok = s->info.shmaddr != reinterpret_cast<char*>(-1);
    }
    if (ok) {
        s->info.readOnly = False;
        s->attached = XShmAttach(d, &s->info) != 0;
        XSync(d, False);
    }
    if (s->info.shmid >= 0) shmctl(s->info.shmid, IPC_RMID, nullptr);
    ok = ok && s->attached && XShmGetImage(d, DefaultRootWindow(d), s->img, 0, 0, AllPlanes);
    if (fxDisplayUntrapErrors()) ok = false;
    if (!ok) {
        localRelease(d, s);
        return nullptr;
    }
    return s;
}

}  // namespace

bool fxScreenSize(int* w, int* h) {
    Display* d = static_cast<Display*>(fxDisplay());
    if (!d) return false;
    *w = DisplayWidth(d, DefaultScreen(d));
    *h = DisplayHeight(d, DefaultScreen(d));
    return true;
}

bool fxGrabScreenPixels(FXScreenPixels* out) {
    memset(out, 0, sizeof *out);
    Display* d = static_cast<Display*>(fxDisplay());
    if (!d) {
        err("XOpenDisplay\n");
        return false;
    }
    int w = DisplayWidth(d, DefaultScreen(d)), h = DisplayHeight(d, DefaultScreen(d));
    if (LocalShot* s = localShmGrab(d, w, h)) {
        trc("screen capture: %dx%d through shared memory\n", w, h);
        return localHandOut(d, s, out);
    }
    trc("screen capture: %dx%d through the connection (no shared memory)\n", w, h);
    fxDisplayTrapErrors();
    XImage* img = XGetImage(d, DefaultRootWindow(d), 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h),
                            AllPlanes, ZPixmap);
    if (fxDisplayUntrapErrors() || !img) {
        if (img) XDestroyImage(img);
        err("XGetImage (root window)\n");
        return false;
    }
    LocalShot* s = new LocalShot;
    s->img = img;
    return localHandOut(d, s, out);
}

void fxReleaseScreenPixels(FXScreenPixels* p) {
    if (!p) return;
    if (p->handle)
        localRelease(static_cast<Display*>(fxDisplay()), static_cast<LocalShot*>(p->handle));
    else
        free(const_cast<uint8_t*>(p->bgrx));
    memset(p, 0, sizeof *p);
}

bool fxPutScreenPixels(const FXScreenPixels* p, void* window) {
    Display* d = static_cast<Display*>(fxDisplay());
    if (!d || !p || !p->bgrx || !window || p->width < 1 || p->height < 1) return false;
    Window win = static_cast<Window>(reinterpret_cast<uintptr_t>(window));
    XWindowAttributes a;
    fxDisplayTrapErrors();
    Status known = XGetWindowAttributes(d, win, &a);
    if (fxDisplayUntrapErrors() || !known || a.map_state != IsViewable) return false;
    const unsigned w = static_cast<unsigned>(p->width < a.width ? p->width : a.width);
    const unsigned h = static_cast<unsigned>(p->height < a.height ? p->height : a.height);
    // Straight from the capture's segment when it has one: the pixels never
    // pass through this process.
    const LocalShot* s = static_cast<const LocalShot*>(p->handle);
    XImage* img = s ? s->img : nullptr;
    XImage* own = nullptr;
    if (!img || !localDirect(img)) {
        own = XCreateImage(d, a.visual, static_cast<unsigned>(a.depth), ZPixmap, 0, nullptr,
                           static_cast<unsigned>(p->width), static_cast<unsigned>(p->height), 32, p->pitch);
        if (!own) return false;
        own->byte_order = LSBFirst;
        own->data = const_cast<char*>(reinterpret_cast<const char*>(p->bgrx));
        img = own;
    }
    // Only where the window's pixels are the capture's: any other visual
    // has to be drawn.
    bool ok = localDirect(img) && a.depth == DefaultDepth(d, DefaultScreen(d)) &&
              img->bytes_per_line == p->pitch;
    if (ok) {
        GC gc = XCreateGC(d, win, 0, nullptr);
        fxDisplayTrapErrors();
        if (s && s->attached && img == s->img)
            XShmPutImage(d, win, gc, img, 0, 0, 0, 0, w, h, False);
        else
            XPutImage(d, win, gc, img, 0, 0, 0, 0, w, h);
        XFreeGC(d, gc);
        XSync(d, False);
        ok = !fxDisplayUntrapErrors();
    }
    if (own) {
        own->data = nullptr;  // the capture's
        XDestroyImage(own);
    }
    return ok;
}

bool fxWindowSize(void* window, int* w, int* h) {
    Display* d = static_cast<Display*>(fxDisplay());
    if (!d || !window) return false;
    XWindowAttributes wa;
    fxDisplayTrapErrors();
    Status ok = XGetWindowAttributes(d, static_cast<Window>(reinterpret_cast<uintptr_t>(window)), &wa);
    if (fxDisplayUntrapErrors() || !ok || wa.width < 1 || wa.height < 1) return false;
    *w = wa.width;
    *h = wa.height;
    return true;
}

bool fxGrabSaverPixels(void* window, FXScreenPixels* out) {
    memset(out, 0, sizeof *out);
    Display* d = static_cast<Display*>(fxDisplay());
    if (!d || !window) return false;
    Window win = static_cast<Window>(reinterpret_cast<uintptr_t>(window));
    XWindowAttributes wa;
    fxDisplayTrapErrors();
    Status got = XGetWindowAttributes(d, win, &wa);
    if (fxDisplayUntrapErrors() || !got || wa.width < 1 || wa.height < 1) return false;
    // The daemon names the picture on the window it hands over, or on the root.
    Pixmap pm = 0;
    int found = localShotProperty(d, win, &pm);
    if (found == 0) found = localShotProperty(d, DefaultRootWindow(d), &pm);
    if (found == 0) trc("_SCREENSAVER_SCREENSHOT: none on 0x%lx or the root\n", static_cast<unsigned long>(win));
    if (found != 1) return false;

    Window rootRet;
    int px, py;
    unsigned pw = 0, ph = 0, border, depth = 0;
    fxDisplayTrapErrors();
    Status geo = XGetGeometry(d, pm, &rootRet, &px, &py, &pw, &ph, &border, &depth);
    if (fxDisplayUntrapErrors() || !geo || pw < 1 || ph < 1) {
        err("_SCREENSAVER_SCREENSHOT: pixmap 0x%lx does not exist\n", static_cast<unsigned long>(pm));
        return false;
    }
    // A pixmap has no visual: its pixels follow the window's, or the screen's.
    Visual* vis = nullptr;
    if (static_cast<int>(depth) == wa.depth)
        vis = wa.visual;
    else if (static_cast<int>(depth) == DefaultDepth(d, DefaultScreen(d)))
        vis = DefaultVisual(d, DefaultScreen(d));
    if (!vis || !vis->red_mask) {
        err("_SCREENSAVER_SCREENSHOT: pixmap of depth %u has no true-colour visual\n", depth);
        return false;
    }
    fxDisplayTrapErrors();
    XImage* img = XGetImage(d, pm, 0, 0, pw, ph, AllPlanes, ZPixmap);
    if (fxDisplayUntrapErrors() || !img) {
        if (img) XDestroyImage(img);
        err("XGetImage (_SCREENSAVER_SCREENSHOT pixmap 0x%lx)\n", static_cast<unsigned long>(pm));
        return false;
    }
    img->red_mask = vis->red_mask;
    img->green_mask = vis->green_mask;
    img->blue_mask = vis->blue_mask;
    bool ok = localToRows(img, wa.width, wa.height, out);
    XDestroyImage(img);
    if (!ok) {
        err("_SCREENSAVER_SCREENSHOT: no memory for %dx%d\n", wa.width, wa.height);
        return false;
    }
    trc("_SCREENSAVER_SCREENSHOT: pixmap 0x%lx (%ux%u) scaled to %dx%d\n", static_cast<unsigned long>(pm), pw, ph,
        wa.width, wa.height);
    return true;
}
