#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/config.h"
#include "base/file.h"

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

std::string fxInstalledDataFolder() { return FX_DEFAULT_DATA_DIR; }

std::string fxXScreenSaverFile() {
    const char* home = getenv("HOME");
    return home && *home ? std::string(home) + "/.xscreensaver" : std::string();
}

bool fxReadConfigFile(std::string* path) {
    std::string file = fxConfigFile();
    FILE* f = fopen(file.c_str(), "r");
    if (!f) return false;
    std::string text;
    char buf[4096];
    size_t n;
    // A configuration is a few lines; anything past 64 KiB is not one.
    while ((n = fread(buf, 1, sizeof buf, f)) > 0 && text.size() < 65536) text.append(buf, n);
    fclose(f);
    return fxParseConfigPath(text, path);
}

bool fxStoreConfigPath(const std::string& path) {
    std::string cfg = fxConfigFile();
    std::string folder = cfg.substr(0, cfg.rfind('/'));
    if (!fxMakeFolder(folder.c_str()) || !fxWriteConfigPath(cfg, path)) {
        fprintf(stderr, "velmira: cannot write %s\n", cfg.c_str());
        return false;
    }
    printf("velmira: data folder %s written to %s\n", path.c_str(), cfg.c_str());
    return true;
}
