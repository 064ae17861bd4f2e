#include "config.h"

#include <cstdio>

#include "base/file.h"
#include "base/trace.h"

namespace {

std::string localTrim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r')) ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r')) --b;
    return s.substr(a, b - a);
}

}  // namespace

bool fxParseConfigPath(const std::string& text, std::string* path) {
    bool found = false;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string::npos) eol = text.size();
        std::string line = localTrim(text.substr(pos, eol - pos));
        pos = eol + 1;
        if (line.empty() || line[0] == '#' || line[0] == '[') continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (localTrim(line.substr(0, eq)) != "path") continue;
        *path = localTrim(line.substr(eq + 1));
        found = true;  // the last one wins, as a later edit would
    }
    return found;
}

bool fxWriteConfigPath(const std::string& file, const std::string& path) {
    return fxReplaceFile(
        file.c_str(),
        [&](FILE* f) {
            return fprintf(f, "# Velmira screen saver: the folder that holds xxdata.dat\npath=%s\n", path.c_str()) > 0;
        },
        FX_REPLACE_TEXT);
}
