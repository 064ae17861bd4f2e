// The real program on a private X server, driven with real X input (XTest),
// watched through the screen's pixels, its exit and its trace log.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
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
#include "app/entries.h"
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
const uint32_t kBannerB = 0xff00ff00u;  // green: another package's banner
const uint32_t kError = 0xff00ffffu;  // yellow
const uint32_t kPreview = 0xffff8000u;  // azure
const unsigned long kDesktop = 0xc86432;  // the root's colour: (200, 100, 50)

struct Rgb {
    int r, g, b;
};

bool Near(Rgb a, Rgb b) { return std::abs(a.r - b.r) <= 3 && std::abs(a.g - b.g) <= 3 && std::abs(a.b - b.b) <= 3; }

// A whole picture: the screen or a frame the offline renderer wrote.
struct Frame {
    int w = 0, h = 0;
    std::vector<Rgb> px;
    Frame() {}
    // pixel(x, y) gives 0xrrggbb.
    template <typename F>
    Frame(int width, int height, F pixel) : w(width), h(height) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                unsigned long p = pixel(x, y);
                px.push_back(
                    {static_cast<int>(p >> 16 & 255), static_cast<int>(p >> 8 & 255), static_cast<int>(p & 255)});
            }
    }
    Rgb At(double fx, double fy) const {
        return w ? px[static_cast<size_t>(fy * h) * w + static_cast<size_t>(fx * w)] : Rgb{-1, -1, -1};
    }
    // Light text on black: grey pixels, some of them bright, most of the
    // rest black. 0 for anything else (a black frame, the show, a sheet).
    int TextPixels() const {
        int bright = 0, black = 0;
        for (const Rgb& p : px) {
            if (std::abs(p.r - p.g) > 8 || std::abs(p.g - p.b) > 8) return 0;
            bright += p.r > 160;
            black += p.r < 16;
        }
        return black > 0.8 * px.size() ? bright : 0;
    }
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
        MakePackage(data_, kBanner);
        package_ = data_ + "/" + kPackageFile;
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

    // A picture of one colour (canvas bytes r, g, b, a) in a file of its own.
    std::string Png(int w, int h, uint32_t rgba) {
        FXCanvas c;
        c.pixmap.Realloc(w, h);
        c.pixmap.Clear(static_cast<int>(rgba));
        std::string f = dir_.File(std::to_string(w) + "x" + std::to_string(h) + "-" + std::to_string(rgba) + ".png");
        EXPECT_TRUE(c.SaveToPict(f.c_str()));
        return f;
    }
    void Picture(int id, int w, int h, uint32_t rgba, FXPackage* pck) { pck->AddDataFile(id, Png(w, h, rgba).c_str()); }
    void MakePackage(const std::string& folder, uint32_t banner) {
        FXPackage pck;
        Picture(kEntryBanner, 64, 64, banner, &pck);
        Picture(kEntryBanner1, 64, 64, kBanner1, &pck);
        Picture(kEntryErrorPicture, 300, 100, kError, &pck);
        Picture(kEntryPreview, 32, 32, kPreview, &pck);
        ASSERT_TRUE(pck.Save((folder + "/" + kPackageFile).c_str(), 1));
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
        for (const auto& e : extraEnv)
            if (!e.empty()) env.push_back(e);
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
        posix_spawn_file_actions_t out;
        posix_spawn_file_actions_init(&out);
        posix_spawn_file_actions_addopen(&out, 1, Output().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&out, 1, 2);
        ASSERT_EQ(posix_spawn(&pid_, VELMIRA_PATH, &out, nullptr, argv.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&out);
    }
    // Where the program's standard output and error go.
    std::string Output() { return dir_.File("output.txt"); }
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
    std::string Log(const std::string& folder = "") {
        return fxtest::ReadFile((folder.empty() ? data_ : folder) + "/velmira.log");
    }
    bool WaitLog(const std::string& text, std::chrono::milliseconds limit = 20000ms, const std::string& folder = "") {
        auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            if (Log(folder).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    Rgb Screen(int x, int y) { return In(DefaultRootWindow(dpy_), x, y); }
    Rgb In(Window w, int x, int y) {
        XImage* img = XGetImage(dpy_, w, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!img) return {-1, -1, -1};
        unsigned long p = XGetPixel(img, 0, 0);
        XDestroyImage(img);
        return {static_cast<int>((p >> 16) & 255), static_cast<int>((p >> 8) & 255), static_cast<int>(p & 255)};
    }
    Frame ScreenFrame() {
        XImage* img = XGetImage(dpy_, DefaultRootWindow(dpy_), 0, 0, w_, h_, AllPlanes, ZPixmap);
        if (!img) return Frame();
        Frame f(w_, h_, [&](int x, int y) { return XGetPixel(img, x, y); });
        XDestroyImage(img);
        return f;
    }
    static Frame FileFrame(const std::string& path) {
        FXCanvas c;
        if (!c.CreateFromPict(path.c_str())) return Frame();
        return Frame(c.GetWidth(), c.GetHeight(), [&](int x, int y) {
            uint32_t p = c.pixmap.Row(y)[x];
            return (p & 255) << 16 | (p & 0xff00) | (p >> 16 & 255);
        });
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

// Both outputs look for the package alike: --data first, then the
// configured folder, then the installed demo content. Without a package
// they say where they looked, on the screen and in words, and a key still
// ends the show at once. A device without multitexturing gets the error
// picture over the show.
TEST_F(Program, BothOutputsFindTheDataAlikeOrSayWhereTheyLooked) {
    std::string other = dir_.File("other"), empty = dir_.File("empty"), out = dir_.File("frames");
    mkdir(other.c_str(), 0755);
    mkdir(empty.c_str(), 0755);
    MakePackage(other, kBannerB);
    std::string desktop = Png(64, 48, 0xff3264c8u);  // the desktop's colour
    const Rgb orange = {255, 192, 0}, green = {0, 255, 0}, yellow = {255, 255, 0};
    const std::string garbage = "\x01\xff garbage = =\n\n";
    struct Row {
        bool offline;
        std::string data, config, configured;  // configured: the folder the configuration names
        std::string used;                      // the package's folder; empty for none
        Rgb banner;                            // in the first banner's place
        std::string env;
    };
    const Row rows[] = {
        {false, other, "", data_, other, green, ""},
        {false, empty, "path=/no/such/folder\n", "/no/such/folder", "", {}, ""},
        {true, other, "", data_, other, green, ""},
        {true, "", "", data_, data_, orange, ""},
        {true, "", "", data_, data_, yellow, "MESA_EXTENSION_MAX_YEAR=1997"},
        {true, "/nonexistent", garbage, "", "", {}, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE((r.offline ? "offline --data " : "live --data ") + r.data + " " + r.env);
        // Installed demo content would be found: the show would play.
        if (r.used.empty() && fxPathExists(FX_DEFAULT_DATA_DIR "/xxdata.dat")) continue;
        std::vector<std::string> args = {"/s"};
        if (r.offline) args = {"--offline", out, "--times", "3", "--desktop", desktop};
        if (!r.data.empty()) args.insert(args.end(), {"--data", r.data});
        Start(args, {r.env}, r.config);
        // The notice's text, or the package's picture in the banner's place.
        auto shown = [&](const Frame& f) {
            return r.used.empty() ? f.TextPixels() > 300 : Near(f.At(0.065, 0.075), r.banner);
        };
        Frame f;
        if (r.offline) {
            EXPECT_EQ(WaitExit(60000ms), r.used.empty() ? 1 : 0);
            f = FileFrame(out + "/frame-0003.000s.png");
        } else {
            for (auto t = Clock::now(); Secs(t) < 10 && !shown(f); std::this_thread::sleep_for(100ms))
                f = ScreenFrame();
            auto key = Clock::now();
            Key();
            EXPECT_EQ(WaitExit(5000ms), 0);
            EXPECT_LT(Secs(key), 3.0);
            EXPECT_EQ(Screen(w_ / 2, h_ / 2).r, 200) << "the screen was not given back";
            EXPECT_TRUE(fxtest::Has(Log(r.used.empty() ? r.data : r.used), "DestroyScene done"));
        }
        Rgb b = f.At(0.065, 0.075);
        EXPECT_TRUE(shown(f)) << f.TextPixels() << " text pixels; banner " << b.r << " " << b.g << " " << b.b;
        std::string said = fxtest::ReadFile(Output());
        if (r.used.empty()) {
            for (std::string folder : {r.data, r.configured, std::string(FX_DEFAULT_DATA_DIR)})
                EXPECT_TRUE(folder.empty() || fxtest::Has(said, folder + "/xxdata.dat")) << said;
            EXPECT_TRUE(r.offline || fxtest::Has(Log(r.data), r.data + "/xxdata.dat"));
            continue;
        }
        // Offline the opening is over at 3 s on the dot: the desktop is at
        // 30 % (the light's ambient part adds a little).
        EXPECT_TRUE(!r.offline || std::abs(f.At(0.5, 0.5).r - 62) <= 6) << f.At(0.5, 0.5).r;
    }
}

}  // namespace
