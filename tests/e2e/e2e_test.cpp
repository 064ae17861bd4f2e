// The real program on a private X server, driven with real X input (XTest),
// watched through the screen's pixels, its exit and its trace log.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "../support/testutil.h"
#include "base/paths.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "package/package.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Colours of the test package's pictures (canvas bytes r, g, b, a).
const uint32_t kBanner = 0xff00c0ffu;  // orange
const uint32_t kBanner1 = 0xffc000ffu;  // magenta
const uint32_t kError = 0xff00ffffu;  // yellow
const uint32_t kPreview = 0xffff8000u;  // azure
const unsigned long kDesktop = 0xc86432;  // the root's colour: (200, 100, 50)

struct Rgb {
    int r, g, b;
};

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fxLoadDevil());
        dpy_ = XOpenDisplay(nullptr);
        ASSERT_NE(dpy_, nullptr);
        int ev, er, maj, min;
        ASSERT_TRUE(XTestQueryExtension(dpy_, &ev, &er, &maj, &min));
        w_ = DisplayWidth(dpy_, DefaultScreen(dpy_));
        h_ = DisplayHeight(dpy_, DefaultScreen(dpy_));
        data_ = dir_.File("data");
        mkdir(data_.c_str(), 0755);
        home_ = dir_.File("home");
        mkdir(home_.c_str(), 0755);
        MakePackage();
        PaintDesktop();
        XWarpPointer(dpy_, None, DefaultRootWindow(dpy_), 0, 0, 0, 0, 500, 400);
        XSync(dpy_, False);
    }
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (dpy_) XCloseDisplay(dpy_);
    }

    void Picture(int id, int w, int h, uint32_t rgba, FXPackage* pck) {
        FXCanvas c;
        c.pixmap.Realloc(w, h);
        c.pixmap.Clear(static_cast<int>(rgba));
        std::string f = dir_.File("pic" + std::to_string(id) + ".png");
        ASSERT_TRUE(c.SaveToPict(f.c_str()));
        pck->AddDataFile(id, f.c_str());
    }
    void MakePackage() {
        FXPackage pck;
        Picture(39, 64, 64, kBanner, &pck);
        Picture(54, 64, 64, kBanner1, &pck);
        Picture(40, 300, 100, kError, &pck);
        Picture(56, 32, 32, kPreview, &pck);
        package_ = data_ + "/xxdata.dat";
        ASSERT_TRUE(pck.Save(package_.c_str(), 1));
    }
    void PaintDesktop() {
        Window root = DefaultRootWindow(dpy_);
        XSetWindowBackground(dpy_, root, kDesktop);
        XClearWindow(dpy_, root);
        XSync(dpy_, False);
    }

    // Starts the program with the data folder configured for a user whose
    // home is the test's own.
    void Start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {},
               const std::string& config = "") {
        std::string cfgDir = home_ + "/.config/fenro3d/Screensavers";
        std::string cmd = "mkdir -p '" + cfgDir + "'";
        ASSERT_EQ(system(cmd.c_str()), 0);
        fxtest::WriteFile(cfgDir + "/Velmira", config.empty() ? "path=" + data_ + "\n" : config);
        std::vector<std::string> env = {"HOME=" + home_, "XDG_CONFIG_HOME=" + home_ + "/.config",
                                        std::string("DISPLAY=") + getenv("DISPLAY")};
        for (const auto& e : extraEnv) env.push_back(e);
        for (char** e = environ; *e; ++e) {
            std::string s = *e;
            if (s.rfind("HOME=", 0) && s.rfind("XDG_CONFIG_HOME=", 0) && s.rfind("DISPLAY=", 0) &&
                s.rfind("XSCREENSAVER_WINDOW=", 0))
                env.push_back(s);
        }
        std::vector<char*> argv = {const_cast<char*>(VELMIRA_PATH)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(&e[0]);
        envp.push_back(nullptr);
        ASSERT_EQ(posix_spawn(&pid_, VELMIRA_PATH, nullptr, nullptr, argv.data(), envp.data()), 0);
    }
    // Exit status once the program ends within the limit, -1 if it runs on.
    int WaitExit(std::chrono::milliseconds limit) {
        auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            int status = 0;
            pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    }
    std::string Log() { return fxtest::ReadFile(data_ + "/velmira.log"); }
    bool WaitLog(const std::string& text, std::chrono::milliseconds limit = 20000ms) {
        auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            if (Log().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    Rgb Screen(int x, int y) {
        XImage* img = XGetImage(dpy_, DefaultRootWindow(dpy_), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!img) return {-1, -1, -1};
        unsigned long p = XGetPixel(img, 0, 0);
        XDestroyImage(img);
        return {static_cast<int>((p >> 16) & 255), static_cast<int>((p >> 8) & 255), static_cast<int>(p & 255)};
    }
    Rgb In(Window w, int x, int y) {
        XImage* img = XGetImage(dpy_, w, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!img) return {-1, -1, -1};
        unsigned long p = XGetPixel(img, 0, 0);
        XDestroyImage(img);
        return {static_cast<int>((p >> 16) & 255), static_cast<int>((p >> 8) & 255), static_cast<int>(p & 255)};
    }
    void MoveBy(int dx, int dy) {
        XTestFakeRelativeMotionEvent(dpy_, dx, dy, CurrentTime);
        XSync(dpy_, False);
    }
    void Key() {
        KeyCode k = XKeysymToKeycode(dpy_, XStringToKeysym("space"));
        XTestFakeKeyEvent(dpy_, k, True, CurrentTime);
        XTestFakeKeyEvent(dpy_, k, False, CurrentTime);
        XSync(dpy_, False);
    }
    static double Secs(Clock::time_point a) { return std::chrono::duration<double>(Clock::now() - a).count(); }

    fxtest::TempDir dir_;
    Display* dpy_ = nullptr;
    int w_ = 0, h_ = 0;
    std::string data_, home_, package_;
    pid_t pid_ = -1;
};

TEST_F(Program, OpeningDarkensTheDesktopAndFadesInTheBanners) {
    Start({"/s"});
    ASSERT_TRUE(WaitLog("InitScene done"));
    auto start = Clock::now();
    // The first presented frames show the desktop at full brightness.
    Rgb early = {-1, -1, -1};
    while (Secs(start) < 1.5) {
        Rgb p = Screen(w_ / 2, h_ / 2);
        if (p.r > 150) {
            early = p;
            break;
        }
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_GE(early.r, 190) << "no early frame at full brightness";
    EXPECT_NEAR(early.g, 100, 12);
    std::this_thread::sleep_for(std::chrono::duration<double>(std::max(0.0, 3.0 - Secs(start))));
    // Two seconds on: 30 % (the light's ambient part adds a little).
    Rgb late = Screen(w_ / 2, h_ / 2);
    EXPECT_NEAR(late.r, 200 * 0.312, 6);
    EXPECT_NEAR(late.g, 100 * 0.312, 6);
    // The banners sit in the top-left corner, side by side.
    Rgb b0 = Screen(static_cast<int>(w_ * 0.065), static_cast<int>(h_ * 0.075));
    Rgb b1 = Screen(static_cast<int>(w_ * 0.185), static_cast<int>(h_ * 0.075));
    EXPECT_NEAR(b0.r, 255, 3);
    EXPECT_NEAR(b0.g, 192, 3);
    EXPECT_NEAR(b1.r, 255, 3);
    EXPECT_NEAR(b1.b, 192, 3);
    Key();
    EXPECT_EQ(WaitExit(10000ms), 0);
}

TEST_F(Program, AKeyDuringTheFirstSecondsEndsAtOnce) {
    Start({"/s"});
    ASSERT_TRUE(WaitLog("InitScene done"));
    std::this_thread::sleep_for(200ms);
    auto t = Clock::now();
    Key();
    EXPECT_EQ(WaitExit(5000ms), 0);
    EXPECT_LT(Secs(t), 3.0);
    std::string log = Log();
    EXPECT_NE(log.find("DestroyScene done"), std::string::npos) << log;
    // The screen is given back: the desktop shows again.
    std::this_thread::sleep_for(100ms);
    Rgb p = Screen(w_ / 2, h_ / 2);
    EXPECT_EQ(p.r, 200);
}

TEST_F(Program, TheMouseClosesOnlyAfterTheGrace) {
    Start({"/s"});
    ASSERT_TRUE(WaitLog("InitScene done"));
    auto t = Clock::now();
    std::this_thread::sleep_for(500ms);
    MoveBy(1, 0);
    XTestFakeButtonEvent(dpy_, 1, True, CurrentTime);
    XTestFakeButtonEvent(dpy_, 1, False, CurrentTime);
    XSync(dpy_, False);
    EXPECT_EQ(WaitExit(1500ms), -1) << "closed within the grace time";
    std::this_thread::sleep_for(std::chrono::duration<double>(std::max(0.0, 4.6 - Secs(t))));
    MoveBy(1, 0);
    EXPECT_EQ(WaitExit(5000ms), 0);
    EXPECT_NE(Log().find("DestroyScene done"), std::string::npos);
}

TEST_F(Program, PreviewDrawsInsideItsParentAndIgnoresTheMouse) {
    Window parent = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 100, 100, 200, 150, 0, 0, 0);
    XMapWindow(dpy_, parent);
    XSync(dpy_, False);
    Start({"/p", std::to_string(parent)});
    Rgb p = {-1, -1, -1};
    auto t = Clock::now();
    while (Secs(t) < 15) {
        p = In(parent, 100, 75);
        if (p.b > 200) break;
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(p.r, 0);
    EXPECT_EQ(p.g, 128);
    EXPECT_EQ(p.b, 255);
    // No trace log in preview.
    EXPECT_FALSE(fxPathExists((data_ + "/velmira.log").c_str()));
    XWarpPointer(dpy_, None, parent, 0, 0, 0, 0, 50, 50);
    MoveBy(5, 5);
    XTestFakeButtonEvent(dpy_, 1, True, CurrentTime);
    XTestFakeButtonEvent(dpy_, 1, False, CurrentTime);
    XSync(dpy_, False);
    EXPECT_EQ(WaitExit(1500ms), -1);
    // Its parent goes: the preview ends.
    XDestroyWindow(dpy_, parent);
    XSync(dpy_, False);
    EXPECT_EQ(WaitExit(5000ms), 0);
}

TEST_F(Program, ModesWithoutAWindowEndAtOnce) {
    for (auto args : std::vector<std::vector<std::string>>{{"/c"}, {"/a"}, {}, {"/p", "12345"}, {"/p"}}) {
        auto t = Clock::now();
        Start(args);
        EXPECT_EQ(WaitExit(5000ms), 0) << (args.empty() ? "(none)" : args[0]);
        EXPECT_LT(Secs(t), 3.0);
    }
    EXPECT_FALSE(fxPathExists((data_ + "/velmira.log").c_str()));
    Start({"--nonsense"});
    EXPECT_EQ(WaitExit(5000ms), 2);
}

TEST_F(Program, RegisterInstallsAndTouchesNothingElse) {
    struct stat before;
    ASSERT_EQ(stat(package_.c_str(), &before), 0);
    fxtest::WriteFile(home_ + "/.xscreensaver", "mode: random\nprograms: \\\n  maze -root \\n\\\n\npointerHysteresis: 10\n");
    std::string folder = dir_.File("another data folder");
    Start({"register_scrsaver", folder});
    EXPECT_EQ(WaitExit(10000ms), 0);
    struct stat st;
    ASSERT_EQ(stat((home_ + "/.local/bin/velmira.scr").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    EXPECT_NE(fxtest::ReadFile(home_ + "/.xscreensaver").find("velmira.scr -root"), std::string::npos);
    EXPECT_NE(fxtest::ReadFile(home_ + "/.config/fenro3d/Screensavers/Velmira").find("path=" + folder),
              std::string::npos);
    EXPECT_FALSE(fxPathExists((data_ + "/velmira.log").c_str()));
    struct stat after;
    ASSERT_EQ(stat(package_.c_str(), &after), 0);
    EXPECT_EQ(after.st_mtime, before.st_mtime);
}

TEST_F(Program, AnInsufficientDeviceShowsTheErrorPicture) {
    Start({"/s"}, {"MESA_EXTENSION_MAX_YEAR=1997"});
    ASSERT_TRUE(WaitLog("InitScene done"));
    std::this_thread::sleep_for(2500ms);
    Rgb in = Screen(150, 60), out = Screen(150, 120);
    EXPECT_EQ(in.r, 255);
    EXPECT_EQ(in.g, 255);
    EXPECT_EQ(in.b, 0);
    EXPECT_NE(out.b, 0);  // below the picture: the show
    Key();
    EXPECT_EQ(WaitExit(5000ms), 0);
}

TEST_F(Program, AForeignWindowEndsOnSigterm) {
    Window w = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 0, 0, 320, 240, 0, 0, 0);
    XMapWindow(dpy_, w);
    XSync(dpy_, False);
    Start({"-root"}, {"XSCREENSAVER_WINDOW=" + std::to_string(w)});
    ASSERT_TRUE(WaitLog("InitScene done"));
    std::this_thread::sleep_for(500ms);
    Key();  // its owner decides, not the keyboard
    EXPECT_EQ(WaitExit(1000ms), -1);
    kill(pid_, SIGTERM);
    EXPECT_EQ(WaitExit(10000ms), 0);
    EXPECT_NE(Log().find("DestroyScene done"), std::string::npos);
}

TEST_F(Program, ABrokenConfigurationStillRunsAndEnds) {
    for (std::string cfg : {std::string("path=/no/such/folder\n"), std::string("\x01\xff garbage = =\n\n")}) {
        Start({"/s"}, {}, cfg);
        std::this_thread::sleep_for(1500ms);
        EXPECT_EQ(WaitExit(10ms), -1) << "it did not run";
        Key();
        EXPECT_EQ(WaitExit(10000ms), 0);
    }
}

TEST_F(Program, AMissingPackageStillGivesTheScreenBack) {
    ASSERT_EQ(remove(package_.c_str()), 0);
    Start({"/s"});
    ASSERT_TRUE(WaitLog("InitScene done"));
    std::this_thread::sleep_for(300ms);
    Key();
    EXPECT_EQ(WaitExit(5000ms), 0);
    EXPECT_NE(Log().find("package: 0 records"), std::string::npos);
}

}  // namespace
