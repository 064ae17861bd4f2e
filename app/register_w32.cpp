// The install step behind "register_scrsaver" on Windows: the program and
// the image library it loads are copied into the user's programs folder as
// "velmira.scr", which is then selected as the user's screen saver as the
// shell's "install" verb would, without opening the settings dialog; the
// data folder is written to the registry when one was given, else the demo
// package beside the program goes with it. Nothing needs administrator
// rights.
#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/config.h"
#include "app/datafolder.h"
#include "app/entries.h"
#include "app/velmira.h"
#include "base/file.h"
#include "base/paths.h"
#include "image/platform.h"

namespace {

std::string localFolderOf(const std::string& file) {
    size_t at = file.find_last_of("\\/");
    return at == std::string::npos ? std::string(".") : file.substr(0, at);
}

// The screen saver the desktop starts: its path (short, as the system
// stores it) in the user's desktop settings, and screen saving switched on.
bool localSelect(const std::string& scr) {
    char shortPath[MAX_PATH];
    DWORD n = GetShortPathNameA(scr.c_str(), shortPath, sizeof shortPath);
    std::string stored = n > 0 && n < sizeof shortPath ? std::string(shortPath) : scr;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS &&
        RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExA(key, "SCRNSAVE.EXE", 0, REG_SZ, reinterpret_cast<const BYTE*>(stored.c_str()),
                             static_cast<DWORD>(stored.size() + 1)) == ERROR_SUCCESS &&
              RegSetValueExA(key, "ScreenSaveActive", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2) ==
                  ERROR_SUCCESS;
    RegCloseKey(key);
    if (ok) SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_SENDCHANGE);
    return ok;
}

}  // namespace

int fxRegister(const std::string& given) {
    // Refused before anything is installed: a wrong folder changes nothing.
    std::string dataFolder = given.empty() ? "" : fxCheckDataFolder(given);
    if (!given.empty() && dataFolder.empty()) return 1;
    char programs[MAX_PATH], self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                programs)) ||
        n == 0 || n >= sizeof self) {
        fprintf(stderr, "velmira: no folder to install into\n");
        return 1;
    }
    std::string dir = std::string(programs) + "\\Programs\\Velmira", scr = dir + "\\velmira.scr";
    if (!fxMakeFolder(dir.c_str())) {
        fprintf(stderr, "velmira: cannot install into %s\n", dir.c_str());
        return 1;
    }
    // The image library goes with the program: the system loads it from the
    // program's folder.
    std::string from = localFolderOf(self);
    std::vector<std::string> files = {fxPlatformDevilName(), fxPlatformIluName()};
    // Without a folder of its own the installed program reads the package
    // from its own folder, as the release does.
    if (dataFolder.empty() && fxPathExists((from + "\\" + kPackageFile).c_str())) files.push_back(kPackageFile);
    for (const std::string& file : files) {
        std::string src = from + "\\" + file, dst = dir + "\\" + file;
        if (lstrcmpiA(src.c_str(), dst.c_str()) != 0 && !fxCopyFile(src.c_str(), dst.c_str())) {
            fprintf(stderr, "velmira: cannot copy %s to %s\n", src.c_str(), dir.c_str());
            return 1;
        }
    }
    if (lstrcmpiA(self, scr.c_str()) != 0 && !fxCopyFile(self, scr.c_str(), FX_REPLACE_EXECUTABLE)) {
        fprintf(stderr, "velmira: cannot write %s\n", scr.c_str());
        return 1;
    }
    printf("velmira: installed %s\n", scr.c_str());
    if (!localSelect(scr)) {
        fprintf(stderr, "velmira: cannot select %s as the screen saver\n", scr.c_str());
        return 1;
    }
    printf("velmira: selected as the screen saver\n");
    return dataFolder.empty() || fxStoreConfigPath(dataFolder) ? 0 : 1;
}
