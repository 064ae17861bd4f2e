// What the command line asks of the program.
#pragma once

#include <string>
#include <vector>

enum FXMode {
    FX_MODE_CONFIG,    // c, or no mode letter: nothing to configure, ends at once
    FX_MODE_FULL,      // s: full screen
    FX_MODE_PREVIEW,   // p ID: inside another window
    FX_MODE_PASSWORD,  // a: no password hooks here, ends at once
    FX_MODE_WINDOW,    // a window we do not own (-root, -window-id, XSCREENSAVER_WINDOW)
    FX_MODE_OFFLINE,   // --offline: frames rendered to picture files
    FX_MODE_HELP,      // --help
    FX_MODE_BAD,       // an option we do not know
};

struct FXLaunch {
    FXMode mode = FX_MODE_CONFIG;
    unsigned long window = 0;   // preview parent or foreign window; 0 = none
    bool rootWindow = false;    // -root without a daemon's window: the root
    bool registerRequest = false;  // "register_scrsaver" anywhere
    std::string dataFolder;     // given with register_scrsaver, or --data
    bool showFps = false;       // -fps/--fps: the frame rate in the lower-left corner
    double clockSpeed = 1.0;    // --clock-speed: the live show's clock this many times as fast
    // Offline rendering.
    std::string outDir;
    std::string desktopFile;
    std::vector<double> times;
    double frameStep = 1.0 / 30.0;
    int width = 1024, height = 768;
    std::string error;  // for FX_MODE_BAD
};

// args: the arguments without the program name. daemonWindow: the value of
// XSCREENSAVER_WINDOW (or null).
FXLaunch fxParseCommandLine(const std::vector<std::string>& args, const char* daemonWindow);
