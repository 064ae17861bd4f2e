#include <cstdlib>
#include <string>

#include "app/config.h"

std::string fxConfigFile() {
    const char* xdg = getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = getenv("HOME");
        base = std::string(home && *home ? home : "/tmp") + "/.config";
    }
    return base + "/fenro3d/Screensavers/Velmira";
}

std::string fxStateFolder() {
    const char* xdg = getenv("XDG_STATE_HOME");
    if (xdg && *xdg == '/') return std::string(xdg) + "/velmira";
    const char* home = getenv("HOME");
    return home && *home == '/' ? std::string(home) + "/.local/state/velmira" : std::string();
}

std::string fxXScreenSaverFile() {
    const char* home = getenv("HOME");
    return home && *home ? std::string(home) + "/.xscreensaver" : std::string();
}
