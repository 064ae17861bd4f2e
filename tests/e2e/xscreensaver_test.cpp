// The program as the real XScreenSaver daemon runs it, on a private X server:
// the show over the picture the daemon kept of the desktop, or over black
// when the user turned desktop pictures off; gone when the daemon stops.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "../support/testutil.h"

namespace {

using namespace std::chrono_literals;

class XScreenSaver : public ::testing::Test {
protected:
    void SetUp() override {
        if (fxtest::RunTool("command", "-v xscreensaver").status || fxtest::RunTool("command", "-v xscreensaver-command").status)
            GTEST_SKIP() << "xscreensaver is not installed (scripts/deps.sh installs it)";
        ASSERT_NE(dpy_ = XOpenDisplay(nullptr), nullptr);
        Window root = DefaultRootWindow(dpy_);
        XSetWindowBackground(dpy_, root, 0xc86432);  // the desktop: (200, 100, 50)
        XClearWindow(dpy_, root);
        XSync(dpy_, False);
        // The daemon refuses root: then it and the show run as nobody, from a
        // folder that user may enter, with copies it may run and read.
        ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
        exe_ = dir_.File("velmira");
        std::string data = dir_.File("data"), home = dir_.File("home");
        ASSERT_EQ(system(("mkdir -p '" + data + "' '" + home + "' && cp '" VELMIRA_PATH "' '" + exe_ + "' && cp '" +
                          FX_DEMO_PACKAGE + "' '" + data + "/'")
                             .c_str()),
                  0);
        if (geteuid() == 0) {
            ASSERT_EQ(system(("chown -R nobody:nogroup '" + data + "' '" + home + "'").c_str()), 0);
            as_ = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
        }
        env_ = "HOME='" + home + "' ";
        log_ = data + "/velmira.log";
        settings_ = home + "/.xscreensaver";
        programs_ = "programs: " + exe_ + " --root --data " + data + " \\n\n";
    }
    void TearDown() override {
        if (daemon_ > 0 && kill(daemon_, SIGTERM) == 0 && !Within(5000ms, [&] { return Reaped(); })) {
            kill(daemon_, SIGKILL);
            waitpid(daemon_, nullptr, 0);
        }
        if (dpy_) XCloseDisplay(dpy_);
    }

    template <typename F>
    static bool Within(std::chrono::milliseconds limit, F done) {
        for (auto end = std::chrono::steady_clock::now() + limit; !done(); std::this_thread::sleep_for(100ms))
            if (std::chrono::steady_clock::now() > end) return false;
        return true;
    }
    bool Reaped() { return waitpid(daemon_, nullptr, WNOHANG) == daemon_; }
    bool Command(const std::string& what) {
        return fxtest::RunTool(env_ + as_ + "xscreensaver-command", what).status == 0;
    }
    bool ShowRuns() { return fxtest::RunTool("pgrep", "-f '^" + exe_ + " '").status == 0; }
    // The screen's pixel at the middle, as (r, g, b).
    unsigned long Middle() {
        XWindowAttributes a;
        XGetWindowAttributes(dpy_, DefaultRootWindow(dpy_), &a);
        XImage* img = XGetImage(dpy_, DefaultRootWindow(dpy_), a.width / 2, a.height / 2, 1, 1, AllPlanes, ZPixmap);
        unsigned long p = img ? XGetPixel(img, 0, 0) : 0xffffff;
        if (img) XDestroyImage(img);
        return p;
    }

    fxtest::TempDir dir_;
    Display* dpy_ = nullptr;
    pid_t daemon_ = -1;
    std::string exe_, as_, env_, log_, settings_, programs_;
};

TEST_F(XScreenSaver, TheShowDarkensTheDaemonsDesktopPictureUnlessTheUserTurnedThemOff) {
    if (FX_UNDER_SANITIZER) GTEST_SKIP() << "shut-down timing is checked in the plain build";
    struct Row {
        const char* setting;
        int r, g, b;  // the middle of the screen after the opening
    };
    // After the opening the desktop is at 30 % (the light adds a little);
    // without a picture of it the middle stays near black.
    for (Row row : {Row{"grabDesktopImages:  True", 62, 31, 16}, Row{"*grabDesktopImages:\tfalse", 0, 0, 0}}) {
        SCOPED_TRACE(row.setting);
        fxtest::WriteFile(settings_, "mode: one\nselected: 0\nlock: False\nfade: False\nunfade: False\n" +
                                         std::string(row.setting) + "\n" + programs_);
        remove(log_.c_str());
        ASSERT_NE(daemon_ = fork(), -1);
        if (daemon_ == 0) {
            int out = open(dir_.File("daemon.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            dup2(out, 1);
            dup2(out, 2);
            if (chdir(dir_.path().c_str()) != 0) _exit(126);
            execl("/bin/sh", "sh", "-c", ("exec env -u XSCREENSAVER_WINDOW " + env_ + as_ + "xscreensaver --no-splash")
                                             .c_str(), nullptr);
            _exit(127);
        }
        ASSERT_TRUE(Within(10000ms, [&] { return Command("-activate"); })) << fxtest::ReadFile(dir_.File("daemon.txt"));
        // Generous: on a loaded machine reading the package alone took 19 s.
        ASSERT_TRUE(Within(60000ms, [&] { return fxtest::Has(fxtest::ReadFile(log_), "opening done"); }))
            << fxtest::ReadFile(dir_.File("daemon.txt")) << fxtest::ReadFile(log_);
        // Slow builds may still be fading when the log says so: the middle
        // settles on the darkened picture.
        int r = 0, g = 0, b = 0;
        EXPECT_TRUE(Within(10000ms, [&] {
            unsigned long p = Middle();
            r = static_cast<int>(p >> 16 & 255), g = static_cast<int>(p >> 8 & 255), b = static_cast<int>(p & 255);
            return r >= row.r - 4 && r <= row.r + 16 && g >= row.g - 4 && g <= row.g + 16 && b >= row.b - 4 &&
                   b <= row.b + 16;
        })) << r << " " << g << " " << b << "\n"
            << fxtest::ReadFile(log_);
        ASSERT_TRUE(ShowRuns());
        EXPECT_TRUE(Command("-deactivate"));
        EXPECT_TRUE(Within(5000ms, [&] { return !ShowRuns(); })) << "the show outlived the daemon's window";
        kill(daemon_, SIGTERM);
        EXPECT_TRUE(Within(5000ms, [&] { return Reaped(); }));
        daemon_ = -1;
    }
}

}  // namespace
