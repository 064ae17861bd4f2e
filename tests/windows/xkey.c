/* Presses and releases the space bar on the X display, as a user would. */
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

int main(void) {
    Display* d = XOpenDisplay(0);
    if (!d) return 1;
    KeyCode k = XKeysymToKeycode(d, XK_space);
    XTestFakeKeyEvent(d, k, True, 0);
    XTestFakeKeyEvent(d, k, False, 0);
    XSync(d, False);
    XCloseDisplay(d);
    return 0;
}
