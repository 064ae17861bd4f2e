// The host on X11: a full-screen override-redirect window that grabs the
// keyboard and the pointer, a preview child inside another window, or a
// window we do not own, whose owner ends us with SIGTERM.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "app/closerules.h"
#include "app/host.h"
#include "app/show.h"
#include "app/velmira.h"
#include "base/other.h"
#include "base/platform.h"
#include "base/trace.h"
#include "base/display.h"

namespace {

int localSignalPipe[2] = {-1, -1};

void localOnSignal(int) {
    char c = 1;
    // Nothing else is safe in a signal handler; the loop does the rest.
    ssize_t r = write(localSignalPipe[1], &c, 1);
    (void)r;
}

void localCatchSignals() {
    if (pipe(localSignalPipe) != 0) return;
    fcntl(localSignalPipe[0], F_SETFL, O_NONBLOCK);
    fcntl(localSignalPipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction sa = {};
    sa.sa_handler = localOnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

void* Handle(Window w) { return reinterpret_cast<void*>(static_cast<uintptr_t>(w)); }

Cursor localInvisibleCursor(Display* d, Window w) {
    static const char bits[1] = {0};
    Pixmap p = XCreateBitmapFromData(d, w, bits, 1, 1);
    XColor black = {};
    Cursor c = XCreatePixmapCursor(d, p, p, &black, &black, 0, 0);
    XFreePixmap(d, p);
    return c;
}

bool localWindowExists(Display* d, Window w, XWindowAttributes* a) {
    fxDisplayTrapErrors();
    Status ok = XGetWindowAttributes(d, w, a);
    return !fxDisplayUntrapErrors() && ok;
}

// A screen saver takes the keyboard and pointer so that the first key or
// move reaches it, whatever else has focus. Another client may hold a grab
// for a moment (a menu): try for about a second. Null when both are ours,
// else what the last try could not get.
const char* localGrab(Display* d, Window w, Cursor c) {
    const char* failed = nullptr;
    for (int i = 0; i < 100; ++i) {
        int k = XGrabKeyboard(d, w, True, GrabModeAsync, GrabModeAsync, CurrentTime);
        int p = XGrabPointer(d, w, True, ButtonPressMask | PointerMotionMask, GrabModeAsync, GrabModeAsync, None, c,
                             CurrentTime);
        if (k == GrabSuccess && p == GrabSuccess) return nullptr;
        if (k == GrabSuccess) XUngrabKeyboard(d, CurrentTime);
        if (p == GrabSuccess) XUngrabPointer(d, CurrentTime);
        failed = k == GrabSuccess ? "pointer" : p == GrabSuccess ? "keyboard" : "keyboard and pointer";
        fxSleep(0.01);
    }
    return failed;
}

// Waits for X events or a signal; false when a signal asks us to end.
bool localWait(Display* d) {
    if (XPending(d)) return true;
    struct pollfd fds[2] = {{ConnectionNumber(d), POLLIN, 0}, {localSignalPipe[0], POLLIN, 0}};
    int n = localSignalPipe[0] >= 0 ? 2 : 1;
    for (;;) {
        int r = poll(fds, static_cast<nfds_t>(n), 250);
        if (r < 0 && errno != EINTR) return true;
        if (n == 2 && (fds[1].revents & POLLIN)) return false;
        if (r > 0 || XPending(d)) return true;
    }
}

// The show on our window or one we were given: shown once started, run
// until input, a signal or the window's end closes it.
class LocalHost : public FXShowOutput {
public:
    LocalHost(Display* d, Window win, FXMode mode, bool ownWindow, const FXCloseState& cs)
        : d_(d), win_(win), mode_(mode), ownWindow_(ownWindow), cs_(cs) {
        start.window = Handle(win);
        start.preview = mode == FX_MODE_PREVIEW;
    }
    // The screen back to the user once the show has shut down.
    ~LocalHost() {
        if (grabbed_) {
            XUngrabPointer(d_, CurrentTime);
            XUngrabKeyboard(d_, CurrentTime);
        }
        fxDisplayTrapErrors();  // the window may be gone with its parent already
        if (ownWindow_) XDestroyWindow(d_, win_);
        if (hidden_) XFreeCursor(d_, hidden_);
        fxDisplayUntrapErrors();
    }

    // Full screen: the desktop was captured at start-up, before our window
    // covers it.
    void Shown() override {
        if (mode_ == FX_MODE_FULL) {
            hidden_ = localInvisibleCursor(d_, win_);
            XDefineCursor(d_, win_, hidden_);
            XMapRaised(d_, win_);
            XSync(d_, False);
            const char* failed = localGrab(d_, win_, hidden_);
            grabbed_ = !failed;
            if (failed) {
                // Without input the user could never close the show: end it.
                err("host -> the %s could not be grabbed\n", failed);
                fprintf(stderr, "velmira: the %s could not be grabbed\n", failed);
                grabFailed_ = true;
                return;
            }
            XSetInputFocus(d_, win_, RevertToParent, CurrentTime);
        } else {
            if (ownWindow_) XMapRaised(d_, win_);
            XSync(d_, False);
        }
    }

    int Run() override;

private:
    Display* d_;
    Window win_;
    FXMode mode_;
    bool ownWindow_;
    FXCloseState cs_;
    Cursor hidden_ = 0;
    bool grabbed_ = false;
    bool grabFailed_ = false;
};

int LocalHost::Run() {
    if (grabFailed_) return 1;
    cs_.started = true;
    cs_.startTime = velmira.run.startTime;
    bool closing = false;
    while (!closing) {
        if (!localWait(d_)) {
            trc("host -> ended by a signal\n");
            break;
        }
        while (!closing && XPending(d_)) {
            XEvent e;
            XNextEvent(d_, &e);
            double now = fxGetTime();
            switch (e.type) {
                case KeyPress:
                case KeyRelease:
                    closing = fxCloseRule(&cs_, FX_IN_KEY, 0, 0, now);
                    break;
                case ButtonPress:
                    closing = fxCloseRule(&cs_, FX_IN_BUTTON, 0, 0, now);
                    break;
                case MotionNotify:
                    closing = fxCloseRule(&cs_, FX_IN_MOTION, e.xmotion.x_root, e.xmotion.y_root, now);
                    break;
                case DestroyNotify:
                    // The window went with its parent or owner.
                    if (e.xdestroywindow.window == win_) {
                        trc("host -> the window was destroyed\n");
                        closing = true;
                    }
                    break;
                case FocusOut:
                    // Focus moving inside our own window tree is no loss.
                    if (e.xfocus.mode == NotifyNormal && e.xfocus.detail != NotifyInferior)
                        closing = fxCloseRule(&cs_, FX_IN_FOCUS_LOST, 0, 0, now);
                    break;
                default:
                    break;
            }
        }
    }
    velmira.run.escapeHit = cs_.escapeHit;
    return 0;
}

}  // namespace

int fxRunHost(const FXLaunch& l) {
    if (l.mode == FX_MODE_CONFIG || l.mode == FX_MODE_PASSWORD) return 0;
    Display* d = static_cast<Display*>(fxDisplay());
    if (!d) {
        const char* name = getenv("DISPLAY");
        if (name)
            fprintf(stderr, "velmira: cannot open display \"%s\"\n", name);
        else
            fprintf(stderr, "velmira: cannot open display (DISPLAY is unset)\n");
        return 1;
    }
    int screen = DefaultScreen(d);
    Window root = RootWindow(d, screen);
    FXCloseState cs;
    Window win = 0;
    bool ownWindow = true;
    XWindowAttributes pa;

    if (l.mode == FX_MODE_PREVIEW) {
        if (!l.window || !localWindowExists(d, static_cast<Window>(l.window), &pa)) return 0;
        cs.preview = true;
        fxDisplayTrapErrors();
        win = XCreateSimpleWindow(d, static_cast<Window>(l.window), 0, 0, static_cast<unsigned>(pa.width),
                                  static_cast<unsigned>(pa.height), 0, 0, BlackPixel(d, screen));
        if (fxDisplayUntrapErrors()) win = 0;
    } else if (l.mode == FX_MODE_WINDOW) {
        Window target = l.rootWindow || !l.window ? root : static_cast<Window>(l.window);
        if (!localWindowExists(d, target, &pa)) {
            fprintf(stderr, "velmira: window 0x%lx does not exist\n", static_cast<unsigned long>(target));
            return 1;
        }
        cs.foreign = true;
        win = target;
        ownWindow = false;
    } else {
        XSetWindowAttributes wa = {};
        wa.override_redirect = True;
        wa.background_pixel = BlackPixel(d, screen);
        wa.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | PointerMotionMask | FocusChangeMask;
        win = XCreateWindow(d, root, 0, 0, static_cast<unsigned>(DisplayWidth(d, screen)),
                            static_cast<unsigned>(DisplayHeight(d, screen)), 0, CopyFromParent, InputOutput,
                            CopyFromParent, CWOverrideRedirect | CWBackPixel | CWEventMask, &wa);
    }
    if (!win) {
        fxPlatformMessageBox("", "RegisterClasses() failed");
        return 0;
    }
    if (ownWindow) {
        XStoreName(d, win, "SCREENSAVER");
        // A preview leaves the mouse to the window it sits in.
        long events = KeyPressMask | KeyReleaseMask | StructureNotifyMask;
        if (!cs.preview) events |= ButtonPressMask | PointerMotionMask | FocusChangeMask;
        XSelectInput(d, win, events);
    } else {
        // Its owner may take the window away: then the show ends.
        XSelectInput(d, win, StructureNotifyMask);
    }

    Window rootRet, childRet;
    int rx = 0, ry = 0, wx, wy;
    unsigned mask;
    XQueryPointer(d, root, &rootRet, &childRet, &rx, &ry, &wx, &wy, &mask);
    cs.origX = rx;
    cs.origY = ry;
    localCatchSignals();
    // The window's destruction comes with the host's: the show first, then
    // the screen is given back.
    LocalHost host(d, win, l.mode, ownWindow, cs);
    return fxRunShow(l, &host);
}
