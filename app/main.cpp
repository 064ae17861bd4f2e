// The screen saver's entry: the mode from the command line.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/host.h"
#include "app/modes.h"
#include "app/velmira.h"
#include "base/other.h"

namespace {

void localUsage() {
    printf(
        "Usage: velmira [MODE] [OPTIONS]\n"
        "An animated OpenGL photo show of Velmira, as a screen saver.\n"
        "\n"
        "Modes (the screen-saver conventions; the first of the letters a, c, p, s decides):\n"
        "  /s              full screen until a key, a click, a mouse move or the loss of\n"
        "                  focus (mouse and focus only after the first four seconds)\n"
        "  /p ID           preview inside the X window ID (decimal)\n"
        "  /c              configuration: nothing to configure, ends at once\n"
        "  /a              password change: none on this system, ends at once\n"
        "  -root           for XScreenSaver: draw into $XSCREENSAVER_WINDOW, or the root\n"
        "  -window-id ID   draw into window ID (decimal or 0x-hex); SIGTERM ends the show\n"
        "  -fps, --fps     show the frame rate in the lower-left corner (any mode)\n"
        "  register_scrsaver [FOLDER]\n"
        "                  install as ~/.local/bin/velmira.scr, add it to ~/.xscreensaver if\n"
        "                  there is one, and with FOLDER make it the data folder\n"
        "\n"
        "Offline rendering (needs an X display; no window manager, no waiting):\n"
        "  --offline DIR   render frames of the full-screen show into DIR as PNG files\n"
        "  --times LIST    seconds after the start, e.g. 0,1,2.5 (default 0,1,2.5,4)\n"
        "  --desktop FILE  a picture to use as the captured desktop\n"
        "  --size WxH      window size (default 1024x768)\n"
        "  --frame-step S  seconds between rendered frames (default 1/30)\n"
        "\n"
        "  --clock-speed F the show's clock runs F times as fast (0.01 to 1000; live modes):\n"
        "                  long runs of the show in a fraction of the time\n"
        "  --data FOLDER   the folder holding xxdata.dat. Looked for there first, then in\n"
        "                  the configured folder ($XDG_CONFIG_HOME/fenro3d/Screensavers/Velmira,\n"
        "                  line path=FOLDER), then in the installed demo content. Without a\n"
        "                  package the show says where it looked, and offline the exit status is 1\n"
        "  --help          this text\n");
}

}  // namespace

int main(int argc, char** argv) {
    velmira.processStartTime = fxGetTime();
    std::vector<std::string> args(argv + 1, argv + argc);
    FXLaunch l = fxParseCommandLine(args, getenv("XSCREENSAVER_WINDOW"));
    switch (l.mode) {
        case FX_MODE_HELP:
            localUsage();
            return 0;
        case FX_MODE_BAD:
            fprintf(stderr, "velmira: %s (see velmira --help)\n", l.error.c_str());
            return 2;
        case FX_MODE_OFFLINE:
            return fxRunOffline(l);
        default:
            // The install needs no window, so it works without a display.
            if (l.registerRequest) return fxRegister(l.dataFolder);
            // Installed for the whole process and never removed: threads may
            // read the clock until the very end.
            if (l.clockSpeed != 1.0) fxSetClockSource(new FXScaledClock(l.clockSpeed));
            return fxRunHost(l);
    }
}
