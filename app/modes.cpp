#include "modes.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace {

// A window id as the screen-saver conventions write it: decimal after the
// mode letter, decimal or 0x-hex after -window-id.
bool localWindowId(const std::string& s, int base, unsigned long* out) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    unsigned long v = strtoul(s.c_str(), &end, base);
    if (errno || !end || *end || s[0] == '-') return false;
    *out = v;
    return true;
}

bool localTimes(const std::string& s, std::vector<double>* out) {
    std::stringstream ss(s);
    std::string item;
    while (std::getline(ss, item, ',')) {
        char* end = nullptr;
        double t = strtod(item.c_str(), &end);
        if (item.empty() || !end || *end || !(t >= 0) || t > 1e6) return false;
        out->push_back(t);
    }
    return !out->empty();
}

bool localSize(const std::string& s, int* w, int* h) {
    int a = 0, b = 0;
    char x = 0, extra = 0;
    if (sscanf(s.c_str(), "%d%c%d%c", &a, &x, &b, &extra) != 3 || (x != 'x' && x != 'X')) return false;
    if (a < 16 || b < 16 || a > 8192 || b > 8192) return false;
    *w = a;
    *h = b;
    return true;
}

FXLaunch localBad(const std::string& why) {
    FXLaunch l;
    l.mode = FX_MODE_BAD;
    l.error = why;
    return l;
}

// The Windows convention: the first of the letters a, c, p, s (either case)
// in the argument text decides; p and a take the decimal digits after it.
void localLetters(const std::string& text, FXLaunch* l) {
    for (size_t i = 0; i < text.size(); ++i) {
        char c = static_cast<char>(tolower(static_cast<unsigned char>(text[i])));
        if (c != 'a' && c != 'c' && c != 'p' && c != 's') continue;
        if (c == 's') {
            l->mode = FX_MODE_FULL;
            return;
        }
        if (c == 'c') {
            l->mode = FX_MODE_CONFIG;
            return;
        }
        size_t j = i + 1;
        while (j < text.size() && (text[j] == ' ' || text[j] == '\t' || text[j] == ':')) ++j;
        size_t k = j;
        while (k < text.size() && isdigit(static_cast<unsigned char>(text[k]))) ++k;
        unsigned long id = 0;
        if (k > j) localWindowId(text.substr(j, k - j), 10, &id);
        l->mode = c == 'p' ? FX_MODE_PREVIEW : FX_MODE_PASSWORD;
        l->window = id;
        return;
    }
    l->mode = FX_MODE_CONFIG;
}

}  // namespace

FXLaunch fxParseCommandLine(const std::vector<std::string>& args, const char* daemonWindow) {
    FXLaunch l;
    std::string letters;
    bool foreign = false, offline = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= args.size()) return false;
            *out = args[++i];
            return true;
        };
        std::string v;
        if (a.find("register_scrsaver") != std::string::npos) {
            l.registerRequest = true;
            if (a == "register_scrsaver" && i + 1 < args.size() && args[i + 1][0] != '-' && args[i + 1][0] != '/')
                l.dataFolder = args[++i];
            else if (a == "register_scrsaver" && i + 1 < args.size() && args[i + 1][0] == '/' && args[i + 1].size() > 2)
                l.dataFolder = args[++i];  // an absolute folder, not a mode letter like /s
            continue;
        }
        if (a == "--help" || a == "-h") {
            l.mode = FX_MODE_HELP;
            return l;
        }
        // XScreenSaver 6 writes its hacks' options with two dashes. -fps is
        // taken before the mode letters would read its p as a preview.
        if (a == "-fps" || a == "--fps") {
            l.showFps = true;
        } else if (a == "-root" || a == "--root") {
            foreign = true;
            l.rootWindow = true;
        } else if (a == "-window-id" || a == "--window-id") {
            if (!value(&v) || !localWindowId(v, 0, &l.window)) return localBad("-window-id needs a window id");
            foreign = true;
            l.rootWindow = false;
        } else if (a == "--offline") {
            if (!value(&l.outDir)) return localBad("--offline needs an output folder");
            offline = true;
        } else if (a == "--times") {
            if (!value(&v) || !localTimes(v, &l.times)) return localBad("--times needs seconds like 0,1.5,3");
        } else if (a == "--desktop") {
            if (!value(&l.desktopFile)) return localBad("--desktop needs a picture file");
        } else if (a == "--data") {
            if (!value(&l.dataFolder)) return localBad("--data needs a folder");
        } else if (a == "--size") {
            if (!value(&v) || !localSize(v, &l.width, &l.height)) return localBad("--size needs WIDTHxHEIGHT");
        } else if (a == "--frame-step") {
            char* end = nullptr;
            if (!value(&v)) return localBad("--frame-step needs seconds");
            l.frameStep = strtod(v.c_str(), &end);
            if (!end || *end || !(l.frameStep >= 0.001) || l.frameStep > 10) return localBad("--frame-step needs seconds");
        } else if (a == "--clock-speed") {
            char* end = nullptr;
            if (!value(&v)) return localBad("--clock-speed needs a factor");
            l.clockSpeed = strtod(v.c_str(), &end);
            if (!end || *end || !(l.clockSpeed >= 0.01) || l.clockSpeed > 1000)
                return localBad("--clock-speed needs a factor from 0.01 to 1000");
        } else if (a.size() > 2 && a[0] == '-' && a[1] == '-') {
            return localBad("unknown option " + a);
        } else {
            if (!letters.empty()) letters += ' ';
            letters += a;
        }
    }
    if (offline) {
        l.mode = FX_MODE_OFFLINE;
        if (l.times.empty()) l.times = {0.0, 1.0, 2.5, 4.0};
        return l;
    }
    if (foreign) {
        // The daemon's own window wins over the bare root.
        unsigned long id = 0;
        if (l.rootWindow && daemonWindow && localWindowId(daemonWindow, 0, &id)) {
            l.window = id;
            l.rootWindow = false;
        }
        l.mode = FX_MODE_WINDOW;
        return l;
    }
    localLetters(letters, &l);
    unsigned long id = 0;
    if (l.mode == FX_MODE_CONFIG && letters.empty() && !l.registerRequest && daemonWindow &&
        localWindowId(daemonWindow, 0, &id)) {
        l.mode = FX_MODE_WINDOW;
        l.window = id;
    }
    return l;
}
