#include <gtest/gtest.h>

#include "app/closerules.h"
#include "app/config.h"
#include "app/modes.h"

namespace {

FXLaunch Parse(std::vector<std::string> args, const char* env = nullptr) { return fxParseCommandLine(args, env); }

TEST(Modes, TheLettersDecide) {
    EXPECT_EQ(Parse({"/s"}).mode, FX_MODE_FULL);
    EXPECT_EQ(Parse({"-S"}).mode, FX_MODE_FULL);
    EXPECT_EQ(Parse({"/c"}).mode, FX_MODE_CONFIG);
    EXPECT_EQ(Parse({"/c:1234"}).mode, FX_MODE_CONFIG);
    EXPECT_EQ(Parse({}).mode, FX_MODE_CONFIG);
    EXPECT_EQ(Parse({"xyz"}).mode, FX_MODE_CONFIG);
    FXLaunch p = Parse({"/p", "1234"});
    EXPECT_EQ(p.mode, FX_MODE_PREVIEW);
    EXPECT_EQ(p.window, 1234u);
    EXPECT_EQ(Parse({"/p:99"}).window, 99u);
    EXPECT_EQ(Parse({"/p"}).window, 0u);
    EXPECT_EQ(Parse({"/a", "77"}).mode, FX_MODE_PASSWORD);
    // The first of the four letters wins, whatever comes after.
    EXPECT_EQ(Parse({"/P", "12", "/s"}).mode, FX_MODE_PREVIEW);
}

TEST(Modes, InstallRequest) {
    FXLaunch r = Parse({"register_scrsaver"});
    EXPECT_TRUE(r.registerRequest);
    EXPECT_EQ(r.mode, FX_MODE_FULL);
    EXPECT_TRUE(r.dataFolder.empty());
    FXLaunch f = Parse({"register_scrsaver", "/srv/velmira"});
    EXPECT_EQ(f.dataFolder, "/srv/velmira");
    FXLaunch w = Parse({"xregister_scrsaverx", "/s"});
    EXPECT_TRUE(w.registerRequest);
    EXPECT_TRUE(w.dataFolder.empty());
}

TEST(Modes, ForeignWindows) {
    FXLaunch r = Parse({"-root"});
    EXPECT_EQ(r.mode, FX_MODE_WINDOW);
    EXPECT_TRUE(r.rootWindow);
    FXLaunch d = Parse({"-root"}, "0x2a00007");
    EXPECT_EQ(d.mode, FX_MODE_WINDOW);
    EXPECT_FALSE(d.rootWindow);
    EXPECT_EQ(d.window, 0x2a00007u);
    FXLaunch w = Parse({"-window-id", "0x400001"});
    EXPECT_EQ(w.window, 0x400001u);
    EXPECT_EQ(Parse({"-window-id", "4194305"}).window, 4194305u);
    EXPECT_EQ(Parse({"-window-id"}).mode, FX_MODE_BAD);
    EXPECT_EQ(Parse({"-window-id", "zz"}).mode, FX_MODE_BAD);
    // The daemon's window alone: drawn into.
    EXPECT_EQ(Parse({}, "12345").mode, FX_MODE_WINDOW);
    EXPECT_EQ(Parse({"/s"}, "12345").mode, FX_MODE_FULL);
}

TEST(Modes, Offline) {
    FXLaunch o = Parse({"--offline", "out", "--times", "0,1.5,3", "--desktop", "d.png", "--size", "800x600"});
    EXPECT_EQ(o.mode, FX_MODE_OFFLINE);
    EXPECT_EQ(o.outDir, "out");
    ASSERT_EQ(o.times.size(), 3u);
    EXPECT_EQ(o.times[1], 1.5);
    EXPECT_EQ(o.desktopFile, "d.png");
    EXPECT_EQ(o.width, 800);
    EXPECT_EQ(Parse({"--offline", "o"}).times.size(), 4u);
    EXPECT_EQ(Parse({"--offline", "o", "--times", "1,x"}).mode, FX_MODE_BAD);
    EXPECT_EQ(Parse({"--offline", "o", "--times", "-1"}).mode, FX_MODE_BAD);
    EXPECT_EQ(Parse({"--offline", "o", "--size", "10x10"}).mode, FX_MODE_BAD);
    EXPECT_EQ(Parse({"--offline"}).mode, FX_MODE_BAD);
    EXPECT_EQ(Parse({"--bogus"}).mode, FX_MODE_BAD);
    EXPECT_EQ(Parse({"--help"}).mode, FX_MODE_HELP);
}

// Which input closes, by the kind of window and the time: start-up completed
// at 100 s with the pointer at (50, 60).
TEST(Close, TheRule) {
    enum Who { kFull, kNotStarted, kPreview, kForeign };
    struct Row {
        Who who;
        FXInput in;
        int x, y;
        double now;
        bool closes;
    } const rows[] = {
        {kFull, FX_IN_KEY, 0, 0, 100.1, true},
        {kNotStarted, FX_IN_KEY, 0, 0, 0, true},  // even before start-up completed
        {kFull, FX_IN_MOTION, 51, 60, 102.0, false},
        {kFull, FX_IN_BUTTON, 0, 0, 104.0, false},  // 4.0 s exactly: not yet
        {kFull, FX_IN_MOTION, 50, 60, 110.0, false},  // same place
        {kFull, FX_IN_MOTION, 50, 61, 104.01, true},  // one pixel, after
        {kFull, FX_IN_BUTTON, 0, 0, 104.01, true},
        {kFull, FX_IN_FOCUS_LOST, 0, 0, 105, true},
        {kFull, FX_IN_FOCUS_LOST, 0, 0, 103, false},
        {kNotStarted, FX_IN_CLOSE_REQUEST, 0, 0, 1e9, false},
        {kFull, FX_IN_CLOSE_REQUEST, 0, 0, 200, true},
        {kPreview, FX_IN_MOTION, 0, 0, 1000, false},
        {kPreview, FX_IN_BUTTON, 0, 0, 1000, false},
        {kPreview, FX_IN_FOCUS_LOST, 0, 0, 1000, false},
        {kPreview, FX_IN_CLOSE_REQUEST, 0, 0, 100, true},
        {kPreview, FX_IN_KEY, 0, 0, 100, true},
        {kForeign, FX_IN_KEY, 0, 0, 1000, false},
        {kForeign, FX_IN_MOTION, 1, 1, 1000, false},
    };
    for (const Row& r : rows) {
        FXCloseState s;
        s.started = r.who != kNotStarted;
        s.startTime = 100.0;
        s.origX = 50;
        s.origY = 60;
        s.preview = r.who == kPreview;
        s.foreign = r.who == kForeign;
        EXPECT_EQ(fxCloseRule(&s, r.in, r.x, r.y, r.now), r.closes) << "row " << &r - rows;
        EXPECT_EQ(s.escapeHit, r.in == FX_IN_KEY && r.who != kForeign) << "row " << &r - rows;
    }
}

TEST(Config, PathLine) {
    std::string p;
    EXPECT_TRUE(fxParseConfigPath("# comment\n[Velmira]\n  path = /data/velmira  \r\n", &p));
    EXPECT_EQ(p, "/data/velmira");
    EXPECT_TRUE(fxParseConfigPath("path=/a\npath=/b", &p));
    EXPECT_EQ(p, "/b");
    EXPECT_FALSE(fxParseConfigPath("paths=/x\n=/y\nnothing\n", &p));
    EXPECT_TRUE(fxParseConfigPath("path=", &p));
    EXPECT_EQ(p, "");
}

}  // namespace
