#include "app/xsettings.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "app/config.h"
#include "app/modes.h"

namespace {

std::string localTrim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::string localLower(std::string s) {
    for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

bool fxDesktopImagesAllowed(const std::string& text) {
    bool allowed = true, continued = false;
    size_t at = 0;
    while (at < text.size()) {
        size_t eol = text.find('\n', at);
        if (eol == std::string::npos) eol = text.size();
        std::string line = text.substr(at, eol - at);
        at = eol + 1;
        // A line after a trailing backslash belongs to the value above it
        // (the programs list), never a setting of its own.
        bool inValue = continued;
        continued = !line.empty() && line.back() == '\\';
        if (inValue) continue;
        line = localTrim(line);
        if (!line.empty() && line[0] == '*') line.erase(0, 1);
        const std::string key = "grabDesktopImages";
        if (line.compare(0, key.size(), key) != 0) continue;
        std::string rest = localTrim(line.substr(key.size()));
        if (rest.empty() || rest[0] != ':') continue;
        std::string value = localLower(localTrim(rest.substr(1)));
        // X resources read these as false; anything else keeps pictures on.
        allowed = !(value == "false" || value == "off" || value == "no" || value == "0");
    }
    return allowed;
}

bool fxReadDesktopImagesAllowed() {
    std::string path = fxXScreenSaverFile();
    FILE* f = path.empty() ? nullptr : fopen(path.c_str(), "rb");
    if (!f) return true;
    std::string text;
    char buf[4096];
    size_t n;
    // The daemon's own file is small; a huge one is read no further.
    while (text.size() < (1u << 20) && (n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    fclose(f);
    return fxDesktopImagesAllowed(text);
}

bool fxIsDaemonWindow(void* window) {
    if (!window) return false;
    // The daemon's window as the command line reads it for --root.
    FXLaunch l = fxParseCommandLine({"--root"}, getenv("XSCREENSAVER_WINDOW"));
    return l.window != 0 && l.window == reinterpret_cast<uintptr_t>(window);
}
