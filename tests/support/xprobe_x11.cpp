// A small X client for the reliability scripts.
//   xprobe window W H   maps a W x H window, prints its id (decimal) and
//                       keeps it until killed: a preview's parent.
//   xprobe free         whether the screen is free: the keyboard and the
//                       pointer can be grabbed (tried for up to 2 s, as the
//                       server may not yet have seen a dead client's end) and
//                       no window named SCREENSAVER is left. Status 0 if so.
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

int localWindow(Display* d, int w, int h) {
    if (w < 1 || h < 1 || w > 8192 || h > 8192) {
        fprintf(stderr, "xprobe: bad size %dx%d\n", w, h);
        return 2;
    }
    Window win = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, static_cast<unsigned>(w),
                                     static_cast<unsigned>(h), 0, 0, 0x204060);
    XStoreName(d, win, "xprobe");
    XMapWindow(d, win);
    XSync(d, False);
    printf("%lu\n", static_cast<unsigned long>(win));
    fflush(stdout);
    // Held until the process ends; the server destroys the window then.
    for (;;) {
        XEvent e;
        XNextEvent(d, &e);
    }
}

// Windows named SCREENSAVER among the root's children and theirs.
int localShowWindows(Display* d, Window w, int depth) {
    int n = 0;
    char* name = nullptr;
    if (depth > 0 && XFetchName(d, w, &name) && name) {
        n += strcmp(name, "SCREENSAVER") == 0;
        XFree(name);
    }
    if (depth >= 2) return n;
    Window root, parent, *kids = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, w, &root, &parent, &kids, &count)) return n;
    for (unsigned i = 0; i < count; ++i) n += localShowWindows(d, kids[i], depth + 1);
    if (kids) XFree(kids);
    return n;
}

int localFree(Display* d) {
    Window root = DefaultRootWindow(d);
    auto start = std::chrono::steady_clock::now();
    const char* failed = "keyboard and pointer";
    for (int i = 0; i < 200 && failed; ++i) {
        if (i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        int k = XGrabKeyboard(d, root, True, GrabModeAsync, GrabModeAsync, CurrentTime);
        int p = XGrabPointer(d, root, True, ButtonPressMask, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
        failed = k != GrabSuccess && p != GrabSuccess ? "keyboard and pointer"
                 : k != GrabSuccess                   ? "keyboard"
                 : p != GrabSuccess                   ? "pointer"
                                                      : nullptr;
        XUngrabKeyboard(d, CurrentTime);
        XUngrabPointer(d, CurrentTime);
        XSync(d, False);
    }
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    int left = localShowWindows(d, root, 0);
    if (failed)
        printf("xprobe: the %s could not be grabbed for %.0f ms\n", failed, ms);
    else
        printf("xprobe: keyboard and pointer grabbed after %.0f ms\n", ms);
    if (left) printf("xprobe: %d window(s) named SCREENSAVER left\n", left);
    return failed || left ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    bool window = argc == 4 && strcmp(argv[1], "window") == 0;
    if (!window && !(argc == 2 && strcmp(argv[1], "free") == 0)) {
        fprintf(stderr, "usage: xprobe window W H | xprobe free\n");
        return 2;
    }
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        fprintf(stderr, "xprobe: cannot open display\n");
        return 2;
    }
    int status = window ? localWindow(d, atoi(argv[2]), atoi(argv[3])) : localFree(d);
    XCloseDisplay(d);
    return status;
}
