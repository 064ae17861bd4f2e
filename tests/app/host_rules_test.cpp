#include <gtest/gtest.h>

#include <tuple>

#include "app/closerules.h"
#include "app/config.h"
#include "app/modes.h"
#include "app/xsettings.h"

namespace {

// What the command line asks for, with the daemon's window
// (XSCREENSAVER_WINDOW) or none.
TEST(Modes, TheCommandLineDecides) {
    struct Row {
        std::vector<std::string> args;
        const char* daemon;
        FXMode mode;
        unsigned long window;
        bool root, install;
        std::string folder;
        bool fps = false;
    } const rows[] = {
        {{"-S"}, nullptr, FX_MODE_FULL, 0, false, false, ""},  // either case, either sign
        {{"/c:1234"}, nullptr, FX_MODE_CONFIG, 0, false, false, ""},
        {{"xyz"}, nullptr, FX_MODE_CONFIG, 0, false, false, ""},  // no mode letter
        {{"/p:99"}, nullptr, FX_MODE_PREVIEW, 99, false, false, ""},
        {{"/p"}, nullptr, FX_MODE_PREVIEW, 0, false, false, ""},
        {{"/a", "77"}, nullptr, FX_MODE_PASSWORD, 77, false, false, ""},
        {{"/P", "12", "/s"}, nullptr, FX_MODE_PREVIEW, 12, false, false, ""},  // the first letter wins
        {{"register_scrsaver"}, nullptr, FX_MODE_CONFIG, 0, false, true, ""},
        {{"register_scrsaver", "/srv/velmira"}, nullptr, FX_MODE_CONFIG, 0, false, true, "/srv/velmira"},
        {{"xregister_scrsaverx", "/s"}, nullptr, FX_MODE_FULL, 0, false, true, ""},
        {{"-root"}, nullptr, FX_MODE_WINDOW, 0, true, false, ""},
        {{"--root"}, "0x2a00007", FX_MODE_WINDOW, 0x2a00007, false, false, ""},
        {{"-window-id", "0x400001"}, nullptr, FX_MODE_WINDOW, 0x400001, false, false, ""},
        {{"-window-id", "zz"}, nullptr, FX_MODE_BAD, 0, false, false, ""},
        {{}, "12345", FX_MODE_WINDOW, 12345, false, false, ""},  // the daemon's window alone: drawn into
        {{"/s"}, "12345", FX_MODE_FULL, 0, false, false, ""},
        {{"--offline", "o", "--times", "-1"}, nullptr, FX_MODE_BAD, 0, false, false, ""},
        {{"--offline", "o", "--size", "10x10"}, nullptr, FX_MODE_BAD, 0, false, false, ""},
        {{"--bogus"}, nullptr, FX_MODE_BAD, 0, false, false, ""},
        {{"--help"}, nullptr, FX_MODE_HELP, 0, false, false, ""},
        // -fps is taken before the mode letters would read its p as a preview.
        {{"-fps"}, nullptr, FX_MODE_CONFIG, 0, false, false, "", true},
        {{"--fps", "/s"}, nullptr, FX_MODE_FULL, 0, false, false, "", true},
        {{"/s", "-fps"}, nullptr, FX_MODE_FULL, 0, false, false, "", true},
        {{"-fps", "/p", "123"}, nullptr, FX_MODE_PREVIEW, 123, false, false, "", true},
        {{"--root", "--fps", "--data", "d"}, "77", FX_MODE_WINDOW, 77, false, false, "d", true},
        {{"-root", "-fps"}, nullptr, FX_MODE_WINDOW, 0, true, false, "", true},
    };
    for (const Row& r : rows) {
        FXLaunch l = fxParseCommandLine(r.args, r.daemon);
        EXPECT_EQ(std::make_tuple(l.mode, l.window, l.rootWindow, l.registerRequest, l.dataFolder, l.showFps),
                  std::make_tuple(r.mode, r.window, r.root, r.install, r.folder, r.fps))
            << "row " << &r - rows;
    }
    FXLaunch o = fxParseCommandLine(
        {"--offline", "out", "--times", "0,1.5,3", "--desktop", "d.png", "--size", "800x600"}, nullptr);
    EXPECT_EQ(std::make_tuple(o.mode, o.outDir, o.times, o.desktopFile, o.width, o.height),
              std::make_tuple(FX_MODE_OFFLINE, "out", std::vector<double>{0, 1.5, 3}, "d.png", 800, 600));
    EXPECT_EQ(fxParseCommandLine({"--offline", "o"}, nullptr).times, (std::vector<double>{0, 1, 2.5, 4}));
    EXPECT_TRUE(fxParseCommandLine({"--offline", "o", "--fps"}, nullptr).showFps);
    // The clock's factor, in any live mode; out of range or no number is refused.
    struct Speed {
        std::vector<std::string> args;
        FXMode mode;
        double speed;
    } const speeds[] = {
        {{"/s"}, FX_MODE_FULL, 1.0},
        {{"/s", "--clock-speed", "20"}, FX_MODE_FULL, 20.0},
        {{"--clock-speed", "0.5", "-root"}, FX_MODE_WINDOW, 0.5},
        {{"/s", "--clock-speed", "0"}, FX_MODE_BAD, 0},
        {{"/s", "--clock-speed", "1001"}, FX_MODE_BAD, 0},
        {{"/s", "--clock-speed", "20x"}, FX_MODE_BAD, 0},
        {{"/s", "--clock-speed", "nan"}, FX_MODE_BAD, 0},
        {{"/s", "--clock-speed"}, FX_MODE_BAD, 0},
    };
    for (const Speed& r : speeds) {
        FXLaunch l = fxParseCommandLine(r.args, nullptr);
        EXPECT_EQ(l.mode, r.mode) << "speed row " << &r - speeds;
        if (r.mode != FX_MODE_BAD) {
            EXPECT_EQ(l.clockSpeed, r.speed) << "speed row " << &r - speeds;
        }
    }
}

// Which input closes, by the kind of window, the time and where the pointer
// is: start-up completed at 100 s with the pointer at (50, 60).
TEST(Close, TheRule) {
    enum Who { kFull, kNotStarted, kPreview, kForeign };
    const FXInput inputs[] = {FX_IN_KEY, FX_IN_BUTTON, FX_IN_MOTION, FX_IN_FOCUS_LOST, FX_IN_CLOSE_REQUEST};
    struct Row {
        Who who;
        double now;
        int x, y;
        bool closes[5];  // by a key, a button, the motion to (x, y), the focus lost, a close request
    } const rows[] = {
        {kFull, 104.0, 51, 60, {true, false, false, false, false}},  // 4.0 s exactly: not yet
        {kFull, 104.01, 50, 61, {true, true, true, true, true}},     // one pixel, after
        {kFull, 110.0, 50, 60, {true, true, false, true, true}},      // the same place
        {kNotStarted, 1e9, 0, 0, {true, false, false, false, false}},  // a key even before start-up completed
        {kPreview, 100.0, 0, 0, {true, false, false, false, true}},
        {kPreview, 1000.0, 0, 0, {true, false, false, false, true}},
        {kForeign, 1000.0, 1, 1, {false, false, false, false, false}},  // its owner decides
    };
    for (const Row& r : rows) {
        for (int i = 0; i < 5; ++i) {
            FXCloseState s;
            s.started = r.who != kNotStarted;
            s.startTime = 100.0;
            s.origX = 50;
            s.origY = 60;
            s.preview = r.who == kPreview;
            s.foreign = r.who == kForeign;
            EXPECT_EQ(fxCloseRule(&s, inputs[i], r.x, r.y, r.now), r.closes[i])
                << "row " << &r - rows << ", input " << i;
            EXPECT_EQ(s.escapeHit, inputs[i] == FX_IN_KEY && r.who != kForeign) << "row " << &r - rows;
        }
    }
}

// The configured data folder: the last "path" line, or none.
TEST(Config, PathLine) {
    const std::tuple<std::string, bool, std::string> rows[] = {
        {"# comment\n[Velmira]\n  path = /data/velmira  \r\n", true, "/data/velmira"},
        {"path=/a\npath=/b", true, "/b"},
        {"paths=/x\n=/y\nnothing\n", false, "as before"},
        {"path=", true, ""},
    };
    for (const auto& [text, found, path] : rows) {
        std::string p = "as before";
        EXPECT_EQ(fxParseConfigPath(text, &p), found) << text;
        EXPECT_EQ(p, path) << text;
    }
}

// XScreenSaver's setting for desktop pictures: off only when the user says
// so, whatever the spelling; a programs list may not switch it.
TEST(XSettings, DesktopImagesAllowed) {
    const std::pair<std::string, bool> rows[] = {
        {"", true},
        {"grabDesktopImages:  False\n", false},
        {"mode: one\n*grabDesktopImages:\tfalse  \r\nlock: False\n", false},
        {"grabDesktopImages: True\n", true},
        {"grabDesktopImages: False\ngrabDesktopImages: TRUE\n", true},  // the last one counts
        {"grabDesktopImagesX: False\nxgrabDesktopImages: False\n", true},
        {"programs: \\\n  grabDesktopImages: False \\n\\\n  other\n", true},
    };
    for (const auto& [text, allowed] : rows) EXPECT_EQ(fxDesktopImagesAllowed(text), allowed) << text;
}

}  // namespace
