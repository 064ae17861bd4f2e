// The real program on a private X server, driven with real X input (XTest),
// watched through the screen's pixels, its exit and its trace log.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "../support/testutil.h"
#include "app/entries.h"
#include "base/file.h"
#include "base/paths.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "package/package.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Rgb {
    int r, g, b;
};
std::ostream& operator<<(std::ostream& o, Rgb c) { return o << c.r << " " << c.g << " " << c.b; }

bool Near(Rgb a, Rgb b, int by = 3) {
    return std::abs(a.r - b.r) <= by && std::abs(a.g - b.g) <= by && std::abs(a.b - b.b) <= by;
}

// Pictures are canvases, a window's pixels or a frame the offline renderer
// wrote (canvas bytes r, g, b, a).
Rgb Split(uint32_t p) {
    return {static_cast<int>(p & 255), static_cast<int>(p >> 8 & 255), static_cast<int>(p >> 16 & 255)};
}

Rgb At(FXCanvas& c, double fx, double fy) {
    if (c.GetWidth() == 0) return {-1, -1, -1};
    return Split(c.pixmap.Row(static_cast<int>(fy * c.GetHeight()))[static_cast<int>(fx * c.GetWidth())]);
}

// Light text on black, centred on the screen: grey pixels, some of them
// bright, most of the rest black. 0 for anything else (a black frame, the
// show, a sheet, text out of the middle).
int TextPixels(FXCanvas& c) {
    int bright = 0, black = 0, w = c.GetWidth(), h = c.GetHeight();
    int left = w, right = -1, top = h, bottom = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Rgb p = Split(c.pixmap.Row(y)[x]);
            if (std::abs(p.r - p.g) > 8 || std::abs(p.g - p.b) > 8) return 0;
            if (p.r > 160) {
                ++bright;
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
            black += p.r < 16;
        }
    bool centred = std::abs(left + right - w) <= 0.06 * w && std::abs(top + bottom - h) <= 0.06 * h;
    return black > 0.8 * w * h && centred ? bright : 0;
}

// Light pixels in the lower-left corner, where the frame rate is drawn.
int CornerText(FXCanvas& c) {
    int n = 0;
    for (int y = std::max(0, c.GetHeight() - 40); y < c.GetHeight(); ++y)
        for (int x = 0; x < std::min(160, c.GetWidth()); ++x) {
            Rgb p = Split(c.pixmap.Row(y)[x]);
            n += std::min({p.r, p.g, p.b}) > 160;
        }
    return n;
}

// Polls until done() holds or the limit has passed; whether it held.
template <typename F>
bool Within(std::chrono::milliseconds limit, F done) {
    for (auto end = Clock::now() + limit;; std::this_thread::sleep_for(50ms)) {
        if (done()) return true;
        if (Clock::now() > end) return false;
    }
}

double Secs(Clock::time_point a) { return std::chrono::duration<double>(Clock::now() - a).count(); }

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fxLoadDevil());
        ASSERT_NE(dpy_ = XOpenDisplay(nullptr), nullptr);
        int ev, er, maj, min;
        ASSERT_TRUE(XTestQueryExtension(dpy_, &ev, &er, &maj, &min));
        root_ = DefaultRootWindow(dpy_);
        config_ = home_ + "/.config/fenro3d/Screensavers/Velmira";
        ASSERT_TRUE(fxMakeFolder(data_.c_str()) && fxMakeFolder((home_ + "/.config/fenro3d/Screensavers").c_str()));
        MakePackage(data_, 0xff00c0ffu);  // an orange banner
        XSetWindowBackground(dpy_, root_, 0xc86432);  // the desktop: (200, 100, 50)
        XClearWindow(dpy_, root_);
        XWarpPointer(dpy_, None, root_, 0, 0, 0, 0, 500, 400);
        XSync(dpy_, False);
    }
    void TearDown() override {
        if (pid_ > 0 && kill(pid_, SIGKILL) == 0) waitpid(pid_, nullptr, 0);
        if (dpy_) XCloseDisplay(dpy_);
    }

    // A picture of one colour (canvas bytes r, g, b, a) in a file of its own.
    std::string Png(int w, int h, uint32_t rgba) {
        FXCanvas c;
        c.pixmap.Realloc(w, h);
        c.pixmap.Clear(static_cast<int>(rgba));
        std::string f = dir_.File(std::to_string(w) + "x" + std::to_string(h) + "-" + std::to_string(rgba) + ".png");
        EXPECT_TRUE(c.SaveToPict(f.c_str()));
        return f;
    }
    // The test package: the banner given, a magenta second banner, a yellow
    // error picture and an azure preview (canvas bytes r, g, b, a).
    void MakePackage(const std::string& folder, uint32_t banner, bool preview = true) {
        FXPackage pck;
        for (auto [id, w, h, rgba] : {std::tuple<int, int, int, uint32_t>{kEntryBanner, 64, 64, banner},
                                      {kEntryBanner1, 64, 64, 0xffc000ffu},
                                      {kEntryErrorPicture, 300, 100, 0xff00ffffu},
                                      {kEntryPreview, 32, 32, 0xffff8000u}})
            if (id != kEntryPreview || preview) pck.AddDataFile(id, Png(w, h, rgba).c_str());
        ASSERT_TRUE(pck.Save((folder + "/" + kPackageFile).c_str(), 1));
    }
    Window Map(int x, int y, unsigned w, unsigned h) {
        Window win = XCreateSimpleWindow(dpy_, root_, x, y, w, h, 0, 0, 0);
        XMapWindow(dpy_, win);
        XSync(dpy_, False);
        return win;
    }

    // Starts the program for a user whose home is the test's own, with the
    // data folder configured unless the configuration is given.
    void Start(std::vector<std::string> args, std::string env = "", const std::string& config = "") {
        fxtest::WriteFile(config_, config.empty() ? "path=" + data_ + "\n" : config);
        args.insert(args.begin(), VELMIRA_PATH);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        int out = open(Output().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_NE(pid_ = fork(), -1);
        if (pid_) return (void)close(out);
        setenv("HOME", home_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home_ + "/.config").c_str(), 1);
        unsetenv("XSCREENSAVER_WINDOW");
        // "-NAME" unsets NAME; relative paths are the test folder's.
        if (!env.empty()) env[0] == '-' ? unsetenv(&env[1]) : putenv(&env[0]);
        if (chdir(dir_.File("").c_str()) != 0) _exit(126);
        dup2(out, 1);
        dup2(out, 2);
        execv(VELMIRA_PATH, argv.data());
        _exit(127);
    }
    // Where the program's standard output and error go.
    std::string Output() { return dir_.File("output.txt"); }
    // Exit status once the program ends within the limit, -1 if it runs on.
    int WaitExit(std::chrono::milliseconds limit) {
        int status = 0;
        if (!Within(limit, [&] { return waitpid(pid_, &status, WNOHANG) == pid_; })) return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string Log(const std::string& folder = "") {
        return fxtest::ReadFile((folder.empty() ? data_ : folder) + "/velmira.log");
    }
    bool Logged() { return fxPathExists((data_ + "/velmira.log").c_str()); }

    // The show's loop runs: start-up is done and half a second has passed.
    Clock::time_point Started() {
        EXPECT_TRUE(Within(20000ms, [&] { return fxtest::Has(Log(), "InitScene done"); }));
        auto t = Clock::now();
        std::this_thread::sleep_for(500ms);
        return t;
    }
    // The show ended well within the limit and gave the screen back.
    void Ended(std::chrono::milliseconds limit, const std::string& folder = "") {
        EXPECT_EQ(WaitExit(limit), 0);
        EXPECT_TRUE(fxtest::Has(Log(folder), "DestroyScene done"));
        FXCanvas screen;
        Grab(root_, &screen);
        Rgb c = At(screen, 0.5, 0.5);
        EXPECT_TRUE(Near(c, {200, 100, 50})) << "the screen was not given back: " << c;
    }

    // The program's window inside win is mapped: its start-up is done.
    bool ShownIn(Window win, Display* d = nullptr) {
        d = d ? d : dpy_;
        Window root, parent, *kids = nullptr;
        unsigned n = 0;
        XWindowAttributes a = {};
        bool shown = XQueryTree(d, win, &root, &parent, &kids, &n) && n > 0 && XGetWindowAttributes(d, kids[0], &a) &&
                     a.map_state == IsViewable;
        if (kids) XFree(kids);
        return shown;
    }

    bool Grab(Window win, FXCanvas* c) {
        XWindowAttributes a;
        XGetWindowAttributes(dpy_, win, &a);
        XImage* img = XGetImage(dpy_, win, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
        bool ok = img && c->pixmap.Realloc(a.width, a.height);
        for (int y = 0; ok && y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) {
                unsigned long p = XGetPixel(img, x, y);
                c->pixmap.Row(y)[x] = static_cast<uint32_t>((p >> 16 & 255) | (p & 0xff00) | (p & 255) << 16);
            }
        if (img) XDestroyImage(img);
        return ok;
    }
    // Real input: a key, or a move by dx pixels and a click if asked.
    void Key() {
        KeyCode k = XKeysymToKeycode(dpy_, XStringToKeysym("space"));
        XTestFakeKeyEvent(dpy_, k, True, CurrentTime);
        XTestFakeKeyEvent(dpy_, k, False, CurrentTime);
        XSync(dpy_, False);
    }
    void Mouse(int dx, bool click) {
        XTestFakeRelativeMotionEvent(dpy_, dx, 0, CurrentTime);
        if (click) {
            XTestFakeButtonEvent(dpy_, 1, True, CurrentTime);
            XTestFakeButtonEvent(dpy_, 1, False, CurrentTime);
        }
        XSync(dpy_, False);
    }

    fxtest::TempDir dir_;
    Display* dpy_ = nullptr;
    Window root_ = 0;
    std::string data_ = dir_.File("data"), home_ = dir_.File("home"), config_;
    pid_t pid_ = -1;
};

TEST_F(Program, TheMouseClosesOnlyAfterTheGrace) {
    Start({"/s"});
    auto t = Started();
    Mouse(1, true);
    EXPECT_EQ(WaitExit(1500ms), -1) << "closed within the grace time";
    std::this_thread::sleep_until(t + 4600ms);
    Mouse(1, false);
    Ended(5000ms);
}

// Without the keyboard the user could not close the show: it ends, status 1.
TEST_F(Program, FullScreenEndsWhenTheKeyboardCannotBeGrabbed) {
    ASSERT_EQ(XGrabKeyboard(dpy_, root_, True, GrabModeAsync, GrabModeAsync, CurrentTime), GrabSuccess);
    XSync(dpy_, False);
    Start({"/s", "--data", data_});
    EXPECT_EQ(WaitExit(6000ms), 1);
    EXPECT_TRUE(fxtest::Has(Log(), "the keyboard could not be grabbed")) << Log();
    EXPECT_TRUE(fxtest::Has(Log(), "DestroyScene done"));
    EXPECT_TRUE(fxtest::Has(fxtest::ReadFile(Output()), "keyboard could not be grabbed"));
    FXCanvas screen;
    EXPECT_TRUE(Grab(root_, &screen) && Near(At(screen, 0.5, 0.5), {200, 100, 50})) << "the screen was not given back";
    XUngrabKeyboard(dpy_, CurrentTime);
    XSync(dpy_, False);
}

// Another client maps a window over the show and takes the focus: the show
// covers it again at once; the focus loss closes it only after the grace.
TEST_F(Program, FullScreenStaysOnTopAndLosesTheFocusOnlyAfterTheGrace) {
    Start({"/s"});
    auto t = Started();
    XSetWindowAttributes wa = {};
    wa.override_redirect = True;
    wa.background_pixel = 0xff0000;
    Window red = XCreateWindow(dpy_, root_, 200, 200, 300, 200, 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWOverrideRedirect | CWBackPixel, &wa);
    XMapRaised(dpy_, red);
    XSetInputFocus(dpy_, red, RevertToParent, CurrentTime);
    XSync(dpy_, False);
    std::this_thread::sleep_for(700ms);
    FXCanvas screen;
    ASSERT_TRUE(Grab(root_, &screen));
    EXPECT_FALSE(Near(At(screen, 350.0 / screen.GetWidth(), 300.0 / screen.GetHeight()), {255, 0, 0}))
        << "the other window is above the show";
    EXPECT_EQ(WaitExit(1000ms), -1) << "the focus closed the show within the grace";
    std::this_thread::sleep_until(t + 4600ms);
    XSetInputFocus(dpy_, red, RevertToParent, CurrentTime);
    XSync(dpy_, False);
    Ended(5000ms);
    EXPECT_TRUE(fxtest::Has(Log(), "the focus went to another window")) << Log();
}

// Unconfigured, with data in a folder that is not the user's own (another
// owner's, or one it may not write): the log goes to the user's state
// folder, never beside the data.
TEST_F(Program, TheLogStaysOutOfFoldersNotTheUsersOwn) {
    std::string shared = dir_.File("shared"), state = dir_.File("state");
    ASSERT_TRUE(fxMakeFolder(shared.c_str()));
    MakePackage(shared, 0xff00c0ffu);
    ASSERT_EQ(geteuid() == 0 ? chown(shared.c_str(), 65534, 65534) : chmod(shared.c_str(), 0555), 0);
    for (auto [env, folder] : {std::pair<std::string, std::string>{"-XDG_STATE_HOME", home_ + "/.local/state/velmira"},
                               {"XDG_STATE_HOME=" + state, state + "/velmira"}}) {
        SCOPED_TRACE(folder);
        Start({"/s", "--data", shared}, env, "# not configured\n");
        EXPECT_TRUE(Within(20000ms, [&] { return fxtest::Has(Log(folder), "InitScene done"); }));
        std::this_thread::sleep_for(500ms);  // the window is up and has the keyboard
        Key();
        Ended(5000ms, folder);
        EXPECT_FALSE(fxPathExists((shared + "/velmira.log").c_str()));
    }
}

// The X server dies under the show: every mode ends within 2 s with status
// 1, says so in its log when it keeps one, and leaves no shared memory.
TEST_F(Program, LosingTheDisplayEndsEveryModePromptly) {
    for (std::string mode : {"/s", "/p", "-root"}) {
        SCOPED_TRACE(mode);
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t server = fork();
        if (server == 0) {
            dup2(fds[1], 3);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "640x480x24", "-nolisten", "tcp", nullptr);
            _exit(127);
        }
        close(fds[1]);
        char num[16] = {};
        ssize_t got = read(fds[0], num, sizeof num - 1);
        close(fds[0]);
        ASSERT_GT(got, 0) << "Xvfb did not start";
        std::string name = ":" + std::to_string(atoi(num));
        Display* d = XOpenDisplay(name.c_str());
        ASSERT_NE(d, nullptr);
        Window root = DefaultRootWindow(d);
        std::vector<std::string> args = {mode, "--data", data_};
        if (mode == "/p") args.insert(args.begin() + 1, std::to_string(root));
        fxRemoveFile((data_ + "/velmira.log").c_str());
        Start(args, "DISPLAY=" + name);
        EXPECT_TRUE(Within(20000ms, [&] {
            return mode == "/p" ? ShownIn(root, d) : fxtest::Has(Log(), "InitScene done");
        }));
        std::this_thread::sleep_for(700ms);
        XCloseDisplay(d);
        pid_t pid = pid_;
        kill(server, SIGKILL);
        waitpid(server, nullptr, 0);
        // The thread sanitizer slows the shut-down several times over.
        EXPECT_EQ(WaitExit(FX_UNDER_TSAN ? 5000ms : 2000ms), 1) << Log();
        EXPECT_TRUE(mode == "/p" || fxtest::Has(Log(), "the display was lost")) << Log();
        std::string shm = fxtest::ReadFile("/proc/sysvipc/shm"), line;
        std::istringstream rows(shm);
        while (std::getline(rows, line)) {
            std::istringstream f(line);
            std::string key, id, perms, size, cpid;
            f >> key >> id >> perms >> size >> cpid;
            EXPECT_NE(cpid, std::to_string(pid)) << "shared memory left: " << line;
        }
    }
}

// Started as the settings file has XScreenSaver start it: the show and its
// frame rate in the daemon's window.
TEST_F(Program, AForeignWindowEndsOnSigterm) {
    Window win = Map(0, 0, 320, 240);
    Start({"--root", "--fps", "--data", data_}, "XSCREENSAVER_WINDOW=" + std::to_string(win));
    Started();
    FXCanvas c;
    EXPECT_TRUE(Within(10000ms, [&] {
        return Grab(win, &c) && Near(At(c, 0.065, 0.075), {255, 192, 0}) && CornerText(c) > 20;
    })) << At(c, 0.065, 0.075) << ", " << CornerText(c) << " light pixels in the corner";
    Key();  // its owner decides, not the keyboard
    EXPECT_EQ(WaitExit(1000ms), -1);
    kill(pid_, SIGTERM);
    Ended(10000ms);
}

TEST_F(Program, PreviewDrawsInsideItsParentAndIgnoresTheMouse) {
    if (FX_UNDER_SANITIZER) GTEST_SKIP() << "shut-down timing is checked in the plain build";
    // Ended by its parent's end or a signal, with and without its picture.
    for (auto [picture, bySignal] : {std::pair{true, false}, {false, false}, {false, true}}) {
        SCOPED_TRACE(std::string(picture ? "picture, " : "no picture, ") + (bySignal ? "SIGTERM" : "parent gone"));
        MakePackage(data_, 0xff00c0ffu, picture);
        Window parent = Map(100, 100, 200, 150);
        Start({"/p", std::to_string(parent)});
        FXCanvas c;
        EXPECT_TRUE(Within(15000ms, [&] {
            return Grab(parent, &c) && (picture ? Near(At(c, 0.5, 0.5), {0, 128, 255}, 0) : ShownIn(parent));
        })) << At(c, 0.5, 0.5);
        EXPECT_FALSE(Logged()) << "a trace log in preview";
        if (picture) {
            XWarpPointer(dpy_, None, parent, 0, 0, 0, 0, 50, 50);
            Mouse(5, true);
            EXPECT_EQ(WaitExit(1500ms), -1);
        }
        auto t = Clock::now();
        bySignal ? kill(pid_, SIGTERM) : XDestroyWindow(dpy_, parent);
        XSync(dpy_, False);
        // A generous bound (sanitizer builds are slow); the host benchmark
        // reports the real figure.
        EXPECT_EQ(WaitExit(5000ms), 0);
        EXPECT_LT(Secs(t), 4.0);
        if (bySignal) XDestroyWindow(dpy_, parent);
    }
}

// Modes without a show end at once; the install request adds the program
// to the daemon's list and configures the data folder, and touches nothing
// else.
TEST_F(Program, ModesWithoutAShowEndAtOnce) {
    std::string package = data_ + "/" + kPackageFile, folder = dir_.File("another data folder");
    struct stat before = {}, after = {}, scr = {};
    ASSERT_EQ(stat(package.c_str(), &before), 0);
    ASSERT_TRUE(fxMakeFolder(folder.c_str()));
    MakePackage(folder, 0xff00ff00u);
    fxtest::WriteFile(home_ + "/.xscreensaver",
                      "mode: random\nprograms: \\\n  maze -root \\n\\\n\npointerHysteresis: 10\n");
    using Row = std::tuple<std::vector<std::string>, int, std::string>;  // arguments, exit status, words
    for (auto [args, status, said] : {Row{{"/c"}, 0, ""}, Row{{"/a"}, 0, ""}, Row{{}, 0, ""}, Row{{"/p"}, 0, ""},
                                      Row{{"/p", "12345"}, 0, ""}, Row{{"--help"}, 0, "Usage: velmira"},
                                      Row{{"--nonsense"}, 2, "unknown option --nonsense"},
                                      Row{{"register_scrsaver", folder}, 0, ""}}) {
        SCOPED_TRACE(args.empty() ? "(none)" : args[0]);
        auto t = Clock::now();
        Start(args);
        EXPECT_EQ(WaitExit(5000ms), status);
        EXPECT_LT(Secs(t), 3.0);
        EXPECT_TRUE(fxtest::Has(fxtest::ReadFile(Output()), said));
    }
    EXPECT_TRUE(stat((home_ + "/.local/bin/velmira.scr").c_str(), &scr) == 0 && (scr.st_mode & S_IXUSR));
    EXPECT_TRUE(fxtest::Has(fxtest::ReadFile(home_ + "/.xscreensaver"), "velmira.scr -root"));
    EXPECT_TRUE(fxtest::Has(fxtest::ReadFile(config_), "path=" + folder));
    EXPECT_FALSE(Logged());
    ASSERT_EQ(stat(package.c_str(), &after), 0);
    EXPECT_TRUE(after.st_mtim.tv_sec == before.st_mtim.tv_sec && after.st_mtim.tv_nsec == before.st_mtim.tv_nsec);
}

// Without a display windows fail; the install stores an absolute folder holding a package.
TEST_F(Program, NoDisplayWindowsFailInstallChecksItsFolder) {
    std::string unchanged = "path=/before\n", deep = dir_.File("d");
    for (int i = 0; i < 5; ++i) deep += "/" + std::string(50, 'a' + i);  // exists, holds a package, too long
    std::filesystem::create_directories(deep);
    std::filesystem::copy_file(data_ + "/" + kPackageFile, deep + "/" + kPackageFile);
    using Row = std::tuple<std::vector<std::string>, std::string, int, std::string, std::string>;
    for (auto [args, env, status, said, config] : {
             Row{{"/s"}, "-DISPLAY", 1, "velmira: cannot open display (DISPLAY is unset)", unchanged},
             Row{{"-root"}, "DISPLAY=:93", 1, "velmira: cannot open display \":93\"", unchanged},
             Row{{"/c"}, "-DISPLAY", 0, "", unchanged},
             Row{{"register_scrsaver", "data"}, "-DISPLAY", 0, "installed", "path=" + data_ + "\n"},
             Row{{"register_scrsaver", "none"}, "-DISPLAY", 1, dir_.File("none") + " does not exist", unchanged},
             Row{{"register_scrsaver", "home"}, "-DISPLAY", 1, "holds no xxdata.dat", unchanged},
             Row{{"register_scrsaver", deep}, "-DISPLAY", 1, "too long", unchanged}}) {
        Start(args, env, unchanged);
        EXPECT_EQ(WaitExit(5000ms), status) << args.back();
        EXPECT_TRUE(fxtest::Has(fxtest::ReadFile(Output()), said)) << fxtest::ReadFile(Output());
        EXPECT_TRUE(fxtest::Has(fxtest::ReadFile(config_), config)) << fxtest::ReadFile(config_);
    }
}

// Both outputs look for the package alike: --data first, then the
// configured folder, then the installed demo content. Without a package
// they say where they looked, on the screen and in words, and a key still
// ends the show at once. A device without multitexturing gets the error
// picture over the show.
TEST_F(Program, BothOutputsFindTheDataAlikeOrSayWhereTheyLooked) {
    std::string other = dir_.File("other"), empty = dir_.File("empty"), out = dir_.File("frames");
    ASSERT_TRUE(fxMakeFolder(other.c_str()) && fxMakeFolder(empty.c_str()));
    MakePackage(other, 0xff00ff00u);  // a green banner
    std::string desktop = Png(64, 48, 0xff3264c8u);  // the desktop's colour
    const Rgb orange = {255, 192, 0}, green = {0, 255, 0}, yellow = {255, 255, 0};
    struct Row {
        bool offline;
        std::string data, config, configured;  // configured: the folder the configuration names
        std::string used;                      // the package's folder; empty for none
        Rgb banner;                            // in the first banner's place
        std::string env;
        bool fps = false;                      // --fps at 20 frames a second
    };
    const Row rows[] = {
        {false, other, "", data_, other, green, ""},
        {false, empty, "path=/no/such/folder\n", "/no/such/folder", "", {}, ""},
        {true, other, "", data_, other, green, ""},
        {true, other, "", data_, other, green, "", true},
        {true, "", "", data_, data_, orange, ""},
        {true, "", "", data_, data_, yellow, "MESA_EXTENSION_MAX_YEAR=1997"},
        {true, "/nonexistent", "\x01\xff garbage = =\n\n", "", "", {}, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE((r.offline ? "offline --data " : "live --data ") + r.data + " " + r.env +
                     (r.fps ? " --fps" : ""));
        // Installed demo content would be found: the show would play.
        if (r.used.empty() && fxPathExists(FX_DEFAULT_DATA_DIR "/xxdata.dat")) continue;
        // Offline, the frame at 3 s is the same whatever the step: a large one is quick.
        std::vector<std::string> args = {"/s"};
        if (r.offline) args = {"--offline", out, "--times", "3", "--frame-step", "1", "--desktop", desktop};
        if (!r.data.empty()) args.insert(args.end(), {"--data", r.data});
        if (r.fps) args.insert(args.end(), {"--fps", "--frame-step", "0.05"});
        Start(args, r.env, r.config);
        // The notice's text, or the package's picture in the banner's place.
        auto shown = [&](FXCanvas& f) {
            return r.used.empty() ? TextPixels(f) > 300 : Near(At(f, 0.065, 0.075), r.banner);
        };
        FXCanvas f;
        if (r.offline) {
            EXPECT_EQ(WaitExit(60000ms), r.used.empty() ? 1 : 0);
            f.CreateFromPict((out + "/frame-0003.000s.png").c_str());
        } else {
            Within(10000ms, [&] { return Grab(root_, &f) && shown(f); });
            auto key = Clock::now();
            Key();
            Ended(5000ms, r.used.empty() ? r.data : r.used);
            EXPECT_LT(Secs(key), 3.0);
        }
        EXPECT_TRUE(shown(f)) << TextPixels(f) << " text pixels; banner " << At(f, 0.065, 0.075);
        std::string said = fxtest::ReadFile(Output());
        if (r.used.empty()) {
            for (std::string folder : {r.data, r.configured, std::string(FX_DEFAULT_DATA_DIR)})
                EXPECT_TRUE(folder.empty() || fxtest::Has(said, folder + "/xxdata.dat")) << said;
            EXPECT_TRUE(r.offline || fxtest::Has(Log(r.data), r.data + "/xxdata.dat"));
            continue;
        }
        // Live full screen, the desktop goes up before the show loads.
        if (!r.offline) {
            std::string log = Log(r.used);
            size_t up = log.find("first frame presented"), loaded = log.find("InitScene -> package");
            EXPECT_TRUE(up != std::string::npos && loaded != std::string::npos && up < loaded) << log;
        }
        // Offline the opening is over at 3 s on the dot: the desktop is at
        // 30 % (the light's ambient part adds a little).
        EXPECT_TRUE(!r.offline || std::abs(At(f, 0.5, 0.5).r - 62) <= 6) << At(f, 0.5, 0.5);
        // The frame rate: light text on a dark box in the lower-left corner, only when asked.
        EXPECT_EQ(CornerText(f) > 30, r.fps) << CornerText(f) << " light pixels in the corner";
        EXPECT_TRUE(!r.offline || (Split(f.pixmap.Row(f.GetHeight() - 8)[8]).r < 30) == r.fps);
    }
}

// Show units (-1..1, y up) to a frame's pixel.
Rgb AtShow(FXCanvas& c, double x, double y) { return At(c, (x + 1) / 2, (1 - y) / 2); }

// Seconds into the show at which the log first says what, -1 if never.
double LoggedAt(const std::string& log, const std::string& what) {
    size_t at = log.find(what), start = log.find("InitScene done");
    auto stamp = [&](size_t pos) { return atof(log.c_str() + log.rfind('[', pos) + 1); };
    return at == std::string::npos || start == std::string::npos ? -1 : stamp(at) - stamp(start);
}

// The show offline from a package of plain colours: movie 0 (a looping
// record: its set must still go on) right of centre with its sheared shadow
// at 35 % of its opacity, the bubble, the caption rising from 0.24 to 0.51,
// the gallery's thumbnails fading in 0.6 s apart, and from the second set on
// a billboard left of centre at 35 %. The same time gives the same frame.
TEST_F(Program, TheShowMovesAsTheFramesSay) {
    const uint32_t red = 0xff0000ffu, green = 0xff00ff00u, white = 0xffffffffu, cyan = 0xffffff00u;
    FXPackage pck;
    auto add = [&](int id, int w, int h, uint32_t rgba) { pck.AddDataFile(id, Png(w, h, rgba).c_str()); };
    add(kEntryBanner, 64, 64, 0xff00c0ffu);
    for (int id : {kEntryBubble0, kEntryBubble1, kEntryBubble2, kEntryBubble3, kEntryBubble4, kEntryBubble5,
                   kEntryBubble6})
        add(id, 64, 48, red);
    for (int id : {kEntryCaption2, kEntryCaption3, kEntryCaption4, kEntryCaption5, kEntryCaption6}) add(id, 64, 16, green);
    for (int id : {kEntryGallery1, kEntryGallery2, kEntryGallery3}) add(id, 64, 48, white);
    for (int i = 0; i < 6; ++i) add(kEntryBillboard1 + i, 64, 128, white);
    add(900, 64, 64, cyan);
    add(901, 64, 64, white);  // its mask: opaque
    // "xs02", looping, 0.04 s a frame; two frames on the quad x -0.6..0.2, y -0.6..0.6.
    auto f32 = [](float v) { int32_t i; memcpy(&i, &v, 4); return i; };
    double dur = 0.04;
    std::string movie = fxtest::Le32({4}, "xs02") + std::string("\x01\x00", 2) + std::string((char*)&dur, 8) +
                        fxtest::Le32({64, 64, 8}), name = fxtest::Le32({3}, "900"), mask = fxtest::Le32({3}, "901");
    for (int k = 0; k < 2; ++k) movie += fxtest::Le32({f32(-0.6f), f32(0.6f), f32(0.2f), f32(-0.6f)});
    movie += fxtest::Le32({2}, name + name) + fxtest::Le32({2}, mask + mask);
    fxtest::WriteFile(dir_.File("movie0.bin"), movie);
    pck.AddDataFile(kEntryMovie0, dir_.File("movie0.bin").c_str());
    ASSERT_TRUE(pck.Save((data_ + "/" + kPackageFile).c_str(), 1));

    std::string desktop = Png(64, 48, 0xff3264c8u);
    auto render = [&](const std::string& out, const std::string& times) {
        Start({"--offline", out, "--times", times, "--frame-step", "0.1", "--size", "320x240", "--desktop", desktop});
        EXPECT_EQ(WaitExit(100000ms), 0) << fxtest::ReadFile(Output());
    };
    auto frame = [&](const std::string& out, double t, FXCanvas* c) {
        char name[64];
        snprintf(name, sizeof name, "/frame-%08.3fs.png", t);
        EXPECT_TRUE(c->CreateFromPict((out + name).c_str())) << t;
    };
    // A first run says when the bubbles and billboards came.
    std::string first = dir_.File("first"), second = dir_.File("second");
    render(first, "62");
    std::string log = Log(first);  // offline, the log lies beside the frames
    EXPECT_TRUE(fxtest::Has(log, "set 1 kind 0 at 2.0 s") && fxtest::Has(log, "set 2 kind ")) << log;
    const double bubble = LoggedAt(log, "bubble 2"), billboard = LoggedAt(log, "billboard ");
    ASSERT_TRUE(bubble > 30 && billboard > bubble && billboard < 60) << log;
    // The gallery begins a frame before its set's bubble, the caption a second after it.
    const double gallery = bubble - 0.1, caption = bubble + 1.0;
    std::vector<double> times = {3, 10, 62, gallery + 1.0, gallery + 1.6, billboard + 2};
    for (double k : {1.0, 2.0, 3.0, 5.0}) times.push_back(caption + k);
    std::string list;
    for (double t : times) list += (list.empty() ? "" : ",") + std::to_string(t);
    render(second, list);

    // The desktop at 30 % where the billboard will lie, before it comes.
    FXCanvas at10;
    frame(second, 10, &at10);
    const Rgb d = AtShow(at10, -0.4, 0);
    auto mix = [&](Rgb c, double a, Rgb under = {-1, 0, 0}) {
        under = under.r < 0 ? d : under;
        return Rgb{static_cast<int>(under.r + a * (c.r - under.r)), static_cast<int>(under.g + a * (c.g - under.g)),
                   static_cast<int>(under.b + a * (c.b - under.b))};
    };
    const Rgb black = {0, 0, 0}, cyanish = {0, 255, 255}, shadow = mix(black, 0.35 * 0.5);
    EXPECT_TRUE(Near(AtShow(at10, 0.08, 0.24), {255, 0, 0})) << "bubble 0 " << AtShow(at10, 0.08, 0.24);
    // Movie 0 half faded in at 3 s, on its quad 0.6 right; its shadow is
    // sheared 0.1 to the right at the top: it shows through the movie where
    // it lies behind it, and beside it near the top.
    FXCanvas at3;
    frame(second, 3, &at3);
    struct Point {
        double x, y;
        Rgb want;
    } const movieRows[] = {{0.4, 0.0, mix(cyanish, 0.5, shadow)}, {0.05, 0.5, mix(cyanish, 0.5)}, {-0.05, 0.0, d},
                           {0.4, 0.65, d}, {0.85, 0.5, shadow}, {0.95, 0.5, d}, {0.85, -0.5, d}};
    for (const Point& p : movieRows)
        EXPECT_TRUE(Near(AtShow(at3, p.x, p.y), p.want, 4)) << p.x << ", " << p.y << ": " << AtShow(at3, p.x, p.y);

    // The caption's centre: 0.065 x (0.9 p + 0.8) x 6 / 1.3, p smoothed over 4 s.
    for (double k : {1.0, 2.0, 3.0, 5.0}) {
        FXCanvas c;
    frame(second, caption + k, &c);
        int top = -1, bottom = -1;
        for (int y = 0; y < c.GetHeight(); ++y)
            if (Rgb p = AtShow(c, -0.42, 1 - 2 * (y + 0.5) / c.GetHeight()); p.g > p.r + 30 && p.g > p.b + 30)
                (top < 0 ? top : bottom) = bottom = y;
        double v = std::min(k / 4, 1.0), p = v * v * (3 - 2 * v);
        double want = 0.065 * (0.9 * p + 0.8) * 6 / 1.3, got = 1 - (top + bottom + 1.0) / c.GetHeight();
        EXPECT_NEAR(got, want, 0.03) << "caption " << k << " s into its rise";
    }
    // The thumbnails (white on the black of the empty 3D scene) at 1 s and
    // 1.6 s: each 0.3 behind the one before.
    for (auto [t, alphas] : {std::pair<double, std::vector<double>>{1.0, {0.5, 0.2, 0.0}}, {1.6, {0.8, 0.5, 0.2}}}) {
        FXCanvas c;
    frame(second, gallery + t, &c);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(AtShow(c, 0.66 * (i - 1) + 0.2, 0.8).r / 255.0, alphas[i], 0.06) << "thumbnail " << i << " at " << t;
    }
    // The billboard, white, 35 % over the desktop left of centre.
    FXCanvas bill;
    frame(second, billboard + 2, &bill);
    EXPECT_TRUE(Near(AtShow(bill, -0.4, 0), mix({255, 255, 255}, 0.35), 4)) << AtShow(bill, -0.4, 0) << " over " << d;

    FXCanvas a, b;
    frame(first, 62, &a);
    frame(second, 62, &b);
    ASSERT_EQ(a.GetWidth() * a.GetHeight(), 320 * 240);
    EXPECT_TRUE(b.GetWidth() == a.GetWidth() && memcmp(a.pixmap.Row(0), b.pixmap.Row(0), 320 * 240 * 4) == 0)
        << "the same time gave another frame";
}

#ifdef FX_DEMO_PACKAGE
// The demo show through every set kind: in the gallery set the root scene
// takes the desktop's place and the set waits for the model played in front
// of it; without the two records (renumbered) the set goes on at once.
TEST_F(Program, TheGallerySetShowsItsSceneAndModelAndEnds) {
    const std::string desktop = Png(64, 48, 0xffc86432u), out = dir_.File("frames");  // blue (50, 100, 200)
    for (bool stage : {true, false}) {
        FXPackage pck;
        ASSERT_TRUE(pck.Load(FX_DEMO_PACKAGE));
        for (int i = 0; i < pck.ids.count; ++i)
            if (!stage && (pck.ids.GetInt(i) == 0 || pck.ids.GetInt(i) == kEntryGalleryModel))
                pck.ids.SetInt(i, 1 << 20);
        ASSERT_TRUE(pck.Save((data_ + "/" + kPackageFile).c_str(), 0));
        auto render = [&](double t) {
            Start({"--offline", out, "--times", std::to_string(t), "--frame-step", "0.25", "--size", "320x240",
                   "--desktop", desktop});
            EXPECT_EQ(WaitExit(100000ms), 0) << fxtest::ReadFile(Output());
            return Log(out);
        };
        std::string log = render(200);
        for (int k = 0; k <= 5; ++k) EXPECT_TRUE(fxtest::Has(log, " kind " + std::to_string(k) + " at ")) << k << stage;
        size_t scene = log.find("scene and model at "), bubble = log.find("bubble ", scene);
        ASSERT_TRUE(bubble != std::string::npos && log.find(" kind ", bubble) != std::string::npos) << log;
        auto stamp = [&](size_t pos) { return atof(log.c_str() + log.rfind('[', pos) + 1); };
        const double from = LoggedAt(log, "scene and model"), wait = stamp(bubble) - stamp(scene);
        EXPECT_TRUE(stage ? wait > 2 && wait < 30 : wait < 0.5) << wait << " s from " << from;
        if (!stage) continue;
        // Halfway through the model's play: the scene's colours where the
        // desktop lay, the model's warm grey, not the scene's purple, at its middle.
        FXCanvas f;
        const double at = std::floor(from * 4 + wait * 2) / 4;
        render(at);
        char name[64];
        snprintf(name, sizeof name, "/frame-%08.3fs.png", at);
        ASSERT_TRUE(f.CreateFromPict((out + name).c_str())) << at;
        const Rgb side = AtShow(f, -0.8, 0);
        EXPECT_TRUE(!Near(side, {15, 30, 60}, 12) && side.r + side.g + side.b > 60) << side;
        for (Rgb p : {AtShow(f, 0, -0.3), AtShow(f, -0.2, -0.5), AtShow(f, 0.2, -0.2)})
            EXPECT_TRUE(p.r > p.b && p.g > p.b && p.r > 30) << p;
    }
}
#endif

}  // namespace
