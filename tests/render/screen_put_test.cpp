// The captured desktop put back on the device's window with nothing drawn:
// the show's first frame. Checked pixel for pixel against what was on the
// screen, through both ways a capture can be held.
#include "gltest.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <string>
#include <vector>

#include "image/scrshot.h"

namespace {

// Every pixel its own colour, so a shift, a flip or swapped channels show.
uint32_t Pattern(int x, int y) {
    return static_cast<uint32_t>((x * 3) & 255) << 16 | static_cast<uint32_t>((y * 5) & 255) << 8 |
           static_cast<uint32_t>((x + y) & 255);
}

class ScreenPut : public GLWindow {
protected:
    ScreenPut() : GLWindow(40, 30, 320, 240) {}
    void TearDown() override {
        Window root = DefaultRootWindow(dpy_);
        XSetWindowBackground(dpy_, root, 0);
        XClearWindow(dpy_, root);
        for (Pixmap p : pixmaps_) XFreePixmap(dpy_, p);
        GLWindow::TearDown();
    }
    // A pixmap of w x h holding the pattern.
    Pixmap PatternPixmap(int w, int h) {
        const int screen = DefaultScreen(dpy_);
        Pixmap pm = XCreatePixmap(dpy_, DefaultRootWindow(dpy_), static_cast<unsigned>(w), static_cast<unsigned>(h),
                                  static_cast<unsigned>(DefaultDepth(dpy_, screen)));
        XImage* img = XCreateImage(dpy_, DefaultVisual(dpy_, screen), static_cast<unsigned>(DefaultDepth(dpy_, screen)),
                                   ZPixmap, 0, nullptr, static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
        img->data = static_cast<char*>(malloc(static_cast<size_t>(img->bytes_per_line) * h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) XPutPixel(img, x, y, Pattern(x, y));
        GC gc = XCreateGC(dpy_, pm, 0, nullptr);
        XPutImage(dpy_, pm, gc, img, 0, 0, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
        XFreeGC(dpy_, gc);
        XDestroyImage(img);
        pixmaps_.push_back(pm);
        return pm;
    }
    // Pixels of the host window that differ from the pattern, the first few
    // named.
    std::string Mismatches() {
        XImage* img = XGetImage(dpy_, host_, 0, 0, static_cast<unsigned>(w_), static_cast<unsigned>(h_), AllPlanes,
                                ZPixmap);
        if (!img) return "no image of the window";
        std::string out;
        int bad = 0;
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) {
                uint32_t got = static_cast<uint32_t>(XGetPixel(img, x, y)) & 0xffffff;
                if (got != Pattern(x, y) && bad++ < 3) {
                    char s[80];
                    snprintf(s, sizeof s, "(%d,%d) %06x not %06x; ", x, y, got, Pattern(x, y));
                    out += s;
                }
            }
        XDestroyImage(img);
        return bad ? out + std::to_string(bad) + " pixels differ" : "";
    }
    std::vector<Pixmap> pixmaps_;
};

TEST_F(ScreenPut, TheCapturePutBackIsTheScreenPixelForPixel) {
    ASSERT_TRUE(created_);
    Window root = DefaultRootWindow(dpy_);
    XSetWindowBackgroundPixmap(dpy_, root, PatternPixmap(sw_, sh_));
    XClearWindow(dpy_, root);
    // The daemon's kept picture of the desktop, named on the window it hands over.
    Atom shotName = XInternAtom(dpy_, "_SCREENSAVER_SCREENSHOT", False);
    unsigned long kept = PatternPixmap(w_, h_);
    XChangeProperty(dpy_, host_, shotName, XA_PIXMAP, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&kept), 1);

    // The screen comes through shared memory, the daemon's picture as rows
    // of our own: both ways of putting them back.
    struct Case {
        const char* what;
        bool daemon;
    };
    for (const Case& c : {Case{"the screen", false}, Case{"the daemon's picture", true}}) {
        SCOPED_TRACE(c.what);
        // The desktop without our window on it, as the show takes it.
        XUnmapWindow(dpy_, host_);
        XSync(dpy_, False);
        FXScrShot shot;
        ASSERT_TRUE(c.daemon ? shot.GrabFor(reinterpret_cast<void*>(static_cast<uintptr_t>(host_))) : shot.Grab());
        XSetWindowBackground(dpy_, host_, 0);
        XMapWindow(dpy_, host_);
        XClearWindow(dpy_, host_);
        XSync(dpy_, False);
        EXPECT_NE(Mismatches(), "") << "the window shows the pattern before anything was put";

        EXPECT_TRUE(shot.PutHeld(gl_.glWindow));
        EXPECT_EQ(Mismatches(), "");

        // The canvas is made from the same pixels afterwards, red first.
        ASSERT_TRUE(shot.Develop());
        for (auto [x, y] : {std::pair{0, 0}, {17, 3}, {w_ - 1, h_ - 1}}) {
            uint32_t want = Pattern(x, y);
            EXPECT_EQ(shot.pixmap.Row(y)[x], 0xff000000u | (want & 0xff) << 16 | (want & 0xff00) | want >> 16)
                << x << "," << y;
        }
        // Nothing is held once it is developed.
        EXPECT_FALSE(shot.PutHeld(gl_.glWindow));
    }

    // A window off the screen takes nothing.
    FXScrShot shot;
    ASSERT_TRUE(shot.Grab());
    XUnmapWindow(dpy_, host_);
    XSync(dpy_, False);
    EXPECT_FALSE(shot.PutHeld(gl_.glWindow));
    EXPECT_FALSE(shot.PutHeld(nullptr));
}

}  // namespace
