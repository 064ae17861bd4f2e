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
#include <atomic>
#include <cstdlib>
#include <memory>
#include <thread>

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
// Read by the signal handler and by whichever thread finds the display lost.
std::atomic<int> localLooping{0};
volatile sig_atomic_t localSignalled = 0;

const char kWakeSignal = 'S', kWakeLost = 'L';

void localWake(char why) {
    // Nothing else is safe in a signal handler; the loop does the rest.
    ssize_t r = write(localSignalPipe[1], &why, 1);
    (void)r;
}

void localOnSignal(int sig) {
    // Outside the loop (start-up, shut-down) or asked twice: end at once,
    // as the sender expects; the window system tidies up after us.
    if (!localLooping || localSignalled) {
        signal(sig, SIG_DFL);
        raise(sig);
        return;
    }
    localSignalled = 1;
    localWake(kWakeSignal);
}

// The X server went away. Outside the loop (start-up, shut-down) the
// process ends at once: the call under way, often in the GL driver, would
// go on with the failed replies of a dead connection and crash, or the
// preview's watch connection would exit from its own thread. In the loop,
// the loop ends, and whatever still hangs on the dead connection may not
// hold the process.
void localOnDisplayLost() {
    if (!localLooping) fxLeaveNow(1);
    localWake(kWakeLost);
    fxShutdownDeadline(1.5);
}

void localCatchSignals() {
    if (pipe(localSignalPipe) != 0) return;
    fcntl(localSignalPipe[0], F_SETFL, O_NONBLOCK);
    fcntl(localSignalPipe[1], F_SETFL, O_NONBLOCK);
    fcntl(localSignalPipe[0], F_SETFD, FD_CLOEXEC);
    fcntl(localSignalPipe[1], F_SETFD, FD_CLOEXEC);
    struct sigaction sa = {};
    sa.sa_handler = localOnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    // A write to a dead server must come back as an error, not a signal.
    signal(SIGPIPE, SIG_IGN);
    fxDisplayOnLost(localOnDisplayLost);
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

enum LocalWake { LOCAL_EVENTS, LOCAL_SIGNAL, LOCAL_LOST };

// Waits for X events, a signal or the loss of the display.
LocalWake localWait(Display* d) {
    struct pollfd fds[2] = {{ConnectionNumber(d), POLLIN, 0}, {localSignalPipe[0], POLLIN, 0}};
    int n = localSignalPipe[0] >= 0 ? 2 : 1;
    for (;;) {
        char why = 0;
        if (n == 2 && read(localSignalPipe[0], &why, 1) == 1) return why == kWakeLost ? LOCAL_LOST : LOCAL_SIGNAL;
        if (fxDisplayLost()) return LOCAL_LOST;
        if (XPending(d)) return LOCAL_EVENTS;
        int r = poll(fds, static_cast<nfds_t>(n), 250);
        if (r < 0 && errno != EINTR) return LOCAL_EVENTS;
    }
}

// True when w is our window, inside it, or holds it (the preview's parent):
// focus moving there is not lost to another client.
bool localOurs(Display* d, Window ours, Window w) {
    if (w == None || w == PointerRoot) return false;
    for (Window a = ours; a;) {  // our window and its ancestors
        if (a == w) return true;
        Window root, parent, *kids = nullptr;
        unsigned n = 0;
        if (!XQueryTree(d, a, &root, &parent, &kids, &n)) break;
        if (kids) XFree(kids);
        a = parent == root ? 0 : parent;
    }
    for (Window a = w; a;) {  // w inside our window
        if (a == ours) return true;
        Window root, parent, *kids = nullptr;
        unsigned n = 0;
        if (!XQueryTree(d, a, &root, &parent, &kids, &n)) break;
        if (kids) XFree(kids);
        a = parent == root ? 0 : parent;
    }
    return false;
}

// A preview's parent may go while the show is still starting (a settings
// dialog closed at once). Nothing is on the screen yet, so the process ends
// at once; a connection of its own watches, as the shared one is busy with
// the start-up. Stops when the show is shown.
class LocalStartWatch {
public:
    explicit LocalStartWatch(Window parent) {
        thread_ = std::thread([this, parent] { Watch(parent); });
    }
    ~LocalStartWatch() {
        stop_ = true;
        thread_.join();
    }

private:
    void Watch(Window parent) {
        Display* d = XOpenDisplay(DisplayString(static_cast<Display*>(fxDisplay())));
        if (!d) return;
        XSelectInput(d, parent, StructureNotifyMask);
        XWindowAttributes a;
        bool gone = !XGetWindowAttributes(d, parent, &a);
        struct pollfd fd = {ConnectionNumber(d), POLLIN, 0};
        while (!gone && !stop_) {
            while (XPending(d)) {
                XEvent e;
                XNextEvent(d, &e);
                gone |= e.type == DestroyNotify && e.xdestroywindow.window == parent;
            }
            if (!gone) poll(&fd, 1, 10);
        }
        XCloseDisplay(d);
        if (gone && !stop_) fxLeaveNow(0);
    }
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The show on our window or one we were given: shown once started, run
// until input, a signal or the window's end closes it.
class LocalHost : public FXShowOutput {
public:
    LocalHost(Display* d, Window win, FXMode mode, bool ownWindow, const FXCloseState& cs)
        : d_(d), win_(win), mode_(mode), ownWindow_(ownWindow), cs_(cs) {
        start.window = Handle(win);
        start.preview = mode == FX_MODE_PREVIEW;
    }
    void WatchStart(Window parent) { watch_.reset(new LocalStartWatch(parent)); }
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
        watch_.reset();
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
            // Others' windows mapped or restacked later are seen here.
            XSelectInput(d_, DefaultRootWindow(d_), SubstructureNotifyMask);
        } else {
            if (ownWindow_) XMapRaised(d_, win_);
            XSync(d_, False);
        }
    }

    int Run() override;

private:
    bool OnEvent(const XEvent& e);
    void KeepOnTop(const XEvent& e);

    Display* d_;
    Window win_;
    FXMode mode_;
    bool ownWindow_;
    FXCloseState cs_;
    Cursor hidden_ = 0;
    bool grabbed_ = false;
    bool grabFailed_ = false;
    std::unique_ptr<LocalStartWatch> watch_;
};

int LocalHost::Run() {
    if (grabFailed_) return 1;
    cs_.started = true;
    cs_.startTime = velmira.run.startTime;
    int status = 0;
    bool closing = false;
    localLooping = 1;
    while (!closing) {
        LocalWake w = localWait(d_);
        if (w == LOCAL_SIGNAL) {
            trc("host -> ended by a signal\n");
            break;
        }
        if (w == LOCAL_LOST) {
            trc("host -> the display was lost\n");
            status = 1;
            break;
        }
        while (!closing && XPending(d_)) {
            XEvent e;
            XNextEvent(d_, &e);
            closing = OnEvent(e);
        }
    }
    localLooping = 0;
    velmira.run.escapeHit = cs_.escapeHit;
    return status;
}

bool LocalHost::OnEvent(const XEvent& e) {
    double now = fxGetTime();
    switch (e.type) {
        case KeyPress:
        case KeyRelease:
            return fxCloseRule(&cs_, FX_IN_KEY, 0, 0, now);
        case ButtonPress:
            return fxCloseRule(&cs_, FX_IN_BUTTON, 0, 0, now);
        case MotionNotify:
            return fxCloseRule(&cs_, FX_IN_MOTION, e.xmotion.x_root, e.xmotion.y_root, now);
        case DestroyNotify:
            // The window went with its parent or owner.
            if (e.xdestroywindow.window != win_) return false;
            trc("host -> the window was destroyed\n");
            return true;
        case FocusOut: {
            // Grabs, and focus moving inside our own window tree, are no loss.
            if (e.xfocus.window != win_ || e.xfocus.detail == NotifyInferior ||
                (e.xfocus.mode != NotifyNormal && e.xfocus.mode != NotifyWhileGrabbed))
                return false;
            Window to = None;
            int revert = 0;
            XGetInputFocus(d_, &to, &revert);
            if (localOurs(d_, win_, to)) return false;
            bool close = fxCloseRule(&cs_, FX_IN_FOCUS_LOST, 0, 0, now);
            if (close) {
                trc("host -> the focus went to another window\n");
            } else if (mode_ == FX_MODE_FULL) {
                // Within the grace the show stays and takes the focus back,
                // so that a later loss is seen again.
                XSetInputFocus(d_, win_, RevertToParent, CurrentTime);
            }
            return close;
        }
        case MapNotify:
        case ConfigureNotify:
        case VisibilityNotify:
            KeepOnTop(e);
            return false;
        default:
            return false;
    }
}

// Full screen covers everything, as the screen saver it stands for: a window
// mapped or raised above it by another client is covered again.
void LocalHost::KeepOnTop(const XEvent& e) {
    if (mode_ != FX_MODE_FULL) return;
    bool above = false;
    if (e.type == VisibilityNotify)
        above = e.xvisibility.window == win_ && e.xvisibility.state != VisibilityUnobscured;
    else if (e.type == MapNotify)
        above = e.xmap.window != win_;
    else
        above = e.xconfigure.window != win_ && e.xconfigure.event != win_;
    if (!above) return;
    XRaiseWindow(d_, win_);
    XFlush(d_);
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
    localCatchSignals();
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
        wa.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | PointerMotionMask | FocusChangeMask |
                        VisibilityChangeMask;
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
        if (!cs.preview) events |= ButtonPressMask | PointerMotionMask | FocusChangeMask | VisibilityChangeMask;
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
    // The window's destruction comes with the host's: the show first, then
    // the screen is given back.
    LocalHost host(d, win, l.mode, ownWindow, cs);
    if (cs.preview) host.WatchStart(static_cast<Window>(l.window));
    return fxRunShow(l, &host);
}
