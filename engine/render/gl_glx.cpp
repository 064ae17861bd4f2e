// The OpenGL device on X11 and GLX. The device draws into a child window of
// its own, made inside the window it is given with a double-buffered RGBA
// visual, so it can bind to windows it does not own (a preview frame, a
// screen-saver daemon's window) whatever their visual.
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

#include "base/trace.h"
#include "base/display.h"
#include "render/gl.h"
#include "render/platform.h"

namespace {

Display* Dpy(FXGL* gl) { return static_cast<Display*>(gl->deviceContext); }
Window Win(void* w) { return static_cast<Window>(reinterpret_cast<uintptr_t>(w)); }
void* Handle(Window w) { return reinterpret_cast<void*>(static_cast<uintptr_t>(w)); }

XVisualInfo* localChooseVisual(Display* d, int screen) {
    // Depth and stencil sizes are minimums: the closest offered is taken.
    int full[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
                  GLX_DEPTH_SIZE, 16, GLX_STENCIL_SIZE, 8, None};
    XVisualInfo* vi = glXChooseVisual(d, screen, full);
    if (vi) return vi;
    int plain[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 1, GLX_GREEN_SIZE, 1, GLX_BLUE_SIZE, 1,
                   GLX_DEPTH_SIZE, 16, None};
    return glXChooseVisual(d, screen, plain);
}

// Mesa's GLX reads some replies through XCB and follows them unchecked: if
// the X server goes away while the device is being set up, it reads through
// a null reply before Xlib has noticed the loss (found by killing the server
// at random moments of start-up). A crash there with the server's end of the
// connection closed is that loss, and ends the program as a loss does.
int localGuardFd = -1;
struct sigaction localOldSegv;

bool localConnectionClosed(int fd) {
    pollfd p = {fd, POLLIN, 0};
    if (fd < 0 || poll(&p, 1, 0) <= 0) return false;
    char c;
    return (p.revents & (POLLHUP | POLLERR)) != 0 || recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

void localSegvOnSetUp(int sig) {
    if (localConnectionClosed(localGuardFd)) {
        static const char kText[] = "velmira: the connection to the display was lost\n";
        ssize_t n = write(2, kText, sizeof kText - 1);
        (void)n;
        _exit(1);
    }
    sigaction(SIGSEGV, &localOldSegv, nullptr);
    raise(sig);
}

class LocalSetUpGuard {
public:
    explicit LocalSetUpGuard(Display* d) {
        localGuardFd = ConnectionNumber(d);
        struct sigaction sa = {};
        sa.sa_handler = localSegvOnSetUp;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGSEGV, &sa, &localOldSegv);
    }
    ~LocalSetUpGuard() {
        sigaction(SIGSEGV, &localOldSegv, nullptr);
        localGuardFd = -1;
    }
    LocalSetUpGuard(const LocalSetUpGuard&) = delete;
    LocalSetUpGuard& operator=(const LocalSetUpGuard&) = delete;
};

}  // namespace

bool fxglPlatCreate(FXGL* gl, void* window) {
    Display* d = static_cast<Display*>(fxDisplay());
    if (!d) {
        err("FXGL::CreateChild -> no X display\n");
        return false;
    }
    gl->deviceContext = d;
    Window parent = Win(window);

    fxDisplayTrapErrors();
    XWindowAttributes pa;
    Status ok = XGetWindowAttributes(d, parent, &pa);
    if (fxDisplayUntrapErrors() || !ok) {
        err("FXGL::CreateChild -> window 0x%lx does not exist\n", static_cast<unsigned long>(parent));
        gl->deviceContext = nullptr;
        return false;
    }
    LocalSetUpGuard guard(d);
    int screen = XScreenNumberOfScreen(pa.screen);
    gl->screenWidth = DisplayWidth(d, screen);
    gl->screenHeight = DisplayHeight(d, screen);
    gl->viewWidth = pa.width;
    gl->viewHeight = pa.height;

    XVisualInfo* vi = localChooseVisual(d, screen);
    if (!vi) {
        err("FXGL::CreateChild -> no double-buffered RGBA visual\n");
        return false;
    }
    XSetWindowAttributes wa;
    wa.colormap = XCreateColormap(d, parent, vi->visual, AllocNone);
    wa.border_pixel = 0;
    wa.background_pixmap = None;
    // Input goes to the window we were given: the child lets it through.
    wa.event_mask = 0;
    wa.do_not_propagate_mask = 0;
    fxDisplayTrapErrors();
    Window child = XCreateWindow(d, parent, 0, 0, static_cast<unsigned>(pa.width), static_cast<unsigned>(pa.height), 0,
                                 vi->depth, InputOutput, vi->visual,
                                 CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask | CWDontPropagate, &wa);
    XMapWindow(d, child);
    if (fxDisplayUntrapErrors() || !child) {
        XFree(vi);
        err("FXGL::CreateChild -> cannot create the drawing window\n");
        return false;
    }
    gl->glWindow = Handle(child);
    gl->window = Handle(child);

    GLXContext ctx = glXCreateContext(d, vi, nullptr, True);
    XFree(vi);
    if (!ctx) {
        err("FXGL::CreateChild -> glXCreateContext failed\n");
        return false;
    }
    gl->renderContext = ctx;
    return glXMakeCurrent(d, child, ctx) == True;
}

void fxglPlatMakeCurrent(FXGL* gl, bool on) {
    Display* d = Dpy(gl);
    if (!d) return;
    if (on && gl->renderContext)
        glXMakeCurrent(d, Win(gl->glWindow), static_cast<GLXContext>(gl->renderContext));
    else
        glXMakeCurrent(d, None, nullptr);
}

void fxglPlatSwap(FXGL* gl) {
    Display* d = Dpy(gl);
    if (d && gl->glWindow) glXSwapBuffers(d, Win(gl->glWindow));
}

bool fxglPlatSwapInterval(FXGL* gl, int interval) {
    Display* d = Dpy(gl);
    XWindowAttributes a;
    if (!d || !gl->glWindow || !XGetWindowAttributes(d, Win(gl->glWindow), &a)) return false;
    // glXGetProcAddress answers for any name: the extension string decides.
    const char* ext = glXQueryExtensionsString(d, XScreenNumberOfScreen(a.screen));
    if (FXGL::TestExtensionString(ext, "GLX_EXT_swap_control")) {
        typedef void (*SwapIntervalExt)(Display*, GLXDrawable, int);
        auto f = reinterpret_cast<SwapIntervalExt>(fxglPlatGetProc("glXSwapIntervalEXT"));
        if (f) {
            fxDisplayTrapErrors();
            f(d, Win(gl->glWindow), interval);
            return !fxDisplayUntrapErrors();
        }
    }
    if (FXGL::TestExtensionString(ext, "GLX_MESA_swap_control")) {
        typedef int (*SwapIntervalMesa)(unsigned);
        auto f = reinterpret_cast<SwapIntervalMesa>(fxglPlatGetProc("glXSwapIntervalMESA"));
        if (f) return interval >= 0 && f(static_cast<unsigned>(interval)) == 0;
    }
    return false;
}

void fxglPlatRelease(FXGL* gl) {
    Display* d = Dpy(gl);
    if (d) {
        glXMakeCurrent(d, None, nullptr);
        if (gl->renderContext) glXDestroyContext(d, static_cast<GLXContext>(gl->renderContext));
        if (gl->glWindow) {
            // The window we were given may be gone already (its owner ended).
            fxDisplayTrapErrors();
            XDestroyWindow(d, Win(gl->glWindow));
            fxDisplayUntrapErrors();
        }
        XFlush(d);
    }
    gl->renderContext = nullptr;
    gl->glWindow = nullptr;
    gl->deviceContext = nullptr;
}

void fxglPlatEnlarge(FXGL* gl, bool on) {
    Display* d = Dpy(gl);
    if (!d || !gl->glWindow) return;
    Window w = Win(gl->glWindow);
    Window root = DefaultRootWindow(d);
    if (on) {
        if (!gl->enlarged) {
            XWindowAttributes a;
            if (XGetWindowAttributes(d, w, &a)) {
                // The window's place relative to its parent, to go back to.
                gl->savedRect[0] = a.x;
                gl->savedRect[1] = a.y;
                gl->savedRect[2] = a.x + a.width;
                gl->savedRect[3] = a.y + a.height;
            }
            gl->savedParent = gl->hostWindow;
            XSetWindowAttributes wa;
            wa.override_redirect = True;
            XChangeWindowAttributes(d, w, CWOverrideRedirect, &wa);
            XReparentWindow(d, w, root, 0, 0);
        }
        XMoveResizeWindow(d, w, 0, 0, static_cast<unsigned>(gl->screenWidth), static_cast<unsigned>(gl->screenHeight));
        XRaiseWindow(d, w);
        XMapWindow(d, w);
        gl->viewWidth = gl->screenWidth;
        gl->viewHeight = gl->screenHeight;
    } else {
        Window parent = Win(gl->savedParent);
        gl->savedParent = nullptr;
        int width = gl->savedRect[2] - gl->savedRect[0], height = gl->savedRect[3] - gl->savedRect[1];
        fxDisplayTrapErrors();
        XReparentWindow(d, w, parent, gl->savedRect[0], gl->savedRect[1]);
        XMoveResizeWindow(d, w, gl->savedRect[0], gl->savedRect[1], static_cast<unsigned>(width > 0 ? width : 1),
                          static_cast<unsigned>(height > 0 ? height : 1));
        XMapWindow(d, w);
        if (fxDisplayUntrapErrors()) err("FXGL::Enlarge -> the former parent window is gone\n");
        gl->viewWidth = width;
        gl->viewHeight = height;
    }
    XSync(d, False);
}

void* fxglPlatGetProc(const char* name) {
    return reinterpret_cast<void*>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}
