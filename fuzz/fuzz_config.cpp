// Arbitrary text as the user's configuration file and as XScreenSaver's
// settings file, through the same readers the program uses on the files
// (written to a private HOME and XDG_CONFIG_HOME): the path found is one
// line's value, trimmed, and the file readers agree with the text parsers.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/config.h"
#include "app/xsettings.h"
#include "fuzz_files.h"

namespace {

std::string localHome() {
    static std::string home;
    if (home.empty()) {
        home = fuzzFolder("fuzz_config");
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        std::string cfg = fxConfigFile();
        // The configuration's folders, below the private home.
        for (size_t at = home.size() + 1; (at = cfg.find('/', at)) != std::string::npos; ++at) {
            std::string dir = cfg.substr(0, at);
            mkdir(dir.c_str(), 0700);
        }
    }
    return home;
}

bool localBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    localHome();
    std::string text(reinterpret_cast<const char*>(data), size);

    std::string path;
    bool found = fxParseConfigPath(text, &path);
    if (!found && !path.empty()) __builtin_trap();
    if (found) {
        // A value is a part of one line, without blanks at its ends.
        if (path.find('\n') != std::string::npos) __builtin_trap();
        if (!path.empty() && (localBlank(path.front()) || localBlank(path.back()))) __builtin_trap();
        if (text.find(path) == std::string::npos) __builtin_trap();
    }
    // The file reader reads what was written, whatever its bytes.
    fuzzWrite(fxConfigFile(), text.data(), text.size());
    std::string fromFile;
    if (fxReadConfigFile(&fromFile) != found || fromFile != path) __builtin_trap();

    bool allowed = fxDesktopImagesAllowed(text);
    fuzzWrite(fxXScreenSaverFile(), text.data(), text.size());
    if (fxReadDesktopImagesAllowed() != allowed) __builtin_trap();
    // Stored and read back, a found path survives (a NUL would end it as text).
    if (found && !path.empty() && path.find('\0') == std::string::npos) {
        if (!fxWriteConfigPath(fxConfigFile(), path)) __builtin_trap();
        std::string again;
        if (!fxReadConfigFile(&again) || again != path) __builtin_trap();
    }
    return 0;
}
