// The install step behind "register_scrsaver": the program is copied to the
// user's programs as "velmira.scr", made known to XScreenSaver where the user
// has it, and the data folder is written to the configuration when one was
// given.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/config.h"
#include "app/datafolder.h"
#include "app/entries.h"
#include "app/velmira.h"
#include "base/file.h"
#include "base/paths.h"

namespace {

std::string localReadAll(const std::string& path, bool* ok) {
    std::string s;
    FILE* f = fopen(path.c_str(), "rb");
    *ok = f != nullptr;
    if (!f) return s;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    fclose(f);
    return s;
}

// Adds the program to the "programs:" list of ~/.xscreensaver, once.
void localXScreenSaver(const std::string& exe) {
    std::string rc = fxXScreenSaverFile();
    bool ok;
    std::string text = localReadAll(rc, &ok);
    if (!ok) return;
    if (text.find("velmira.scr") != std::string::npos) {
        printf("velmira: already listed in %s\n", rc.c_str());
        return;
    }
    size_t at = text.find("\nprograms:");
    if (at == std::string::npos) return;
    size_t eol = text.find('\n', at + 1);
    if (eol == std::string::npos) return;
    std::string line = "  \"Velmira\"  " + exe + " -root \\n\\\n";
    // The list's first line may hold a program already; ours goes after it.
    std::string head = text.substr(at + 1, eol - at - 1);
    if (head.size() > 0 && head.back() != '\\') text.insert(eol, " \\");
    eol = text.find('\n', at + 1);
    text.insert(eol + 1, line);
    // The daemon reads this file at any time: it sees the old list or the
    // new one, never a cut one.
    if (fxReplaceFile(rc.c_str(), [&](FILE* f) { return fwrite(text.data(), 1, text.size(), f) == text.size(); }))
        printf("velmira: added to %s\n", rc.c_str());
    else
        fprintf(stderr, "velmira: cannot write %s\n", rc.c_str());
}

}  // namespace

int fxRegister(const std::string& given) {
    // Refused before anything is installed: a wrong folder changes nothing.
    std::string dataFolder = given.empty() ? "" : fxCheckDataFolder(given);
    if (!given.empty() && dataFolder.empty()) return 1;
    const char* homeEnv = getenv("HOME");
    if (!homeEnv || !*homeEnv) {
        fprintf(stderr, "velmira: no HOME folder to install into\n");
        return 1;
    }
    std::string home = homeEnv;
    std::string dir = home + "/.local/bin";
    std::string exe = dir + "/velmira.scr";
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0 || !fxMakeFolder(dir.c_str())) {
        fprintf(stderr, "velmira: cannot install into %s\n", dir.c_str());
        return 1;
    }
    self[n] = 0;
    // The program replaces an installed copy whole and stays executable, so the
    // screen-saver daemon never runs half a program.
    if (exe != self && !fxCopyFile(self, exe.c_str(), FX_REPLACE_EXECUTABLE)) {
        fprintf(stderr, "velmira: cannot write %s\n", exe.c_str());
        return 1;
    }
    printf("velmira: installed %s\n", exe.c_str());
    localXScreenSaver(exe);
    return dataFolder.empty() || fxStoreConfigPath(dataFolder) ? 0 : 1;
}
