// The configuration on Windows: the data folder is the string value "path"
// of the user's key; the trace log falls back to the user's local
// application data.
#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <string>

#include "app/config.h"

namespace {

const char kKey[] = "Software\\fenro3d\\Screensavers\\Velmira";
const char kValue[] = "path";
// The stored path's limit, terminator included: longer values are refused,
// never cut into another path.
const DWORD kPathBytes = 520;

}  // namespace

std::string fxConfigFile() { return std::string("HKEY_CURRENT_USER\\") + kKey + " (value \"" + kValue + "\")"; }

std::string fxStateFolder() {
    char folder[MAX_PATH];
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) return "";
    return std::string(folder) + "\\Velmira";
}

std::string fxInstalledDataFolder() {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    if (n == 0 || n >= sizeof self) return "";
    std::string folder(self, n);
    size_t at = folder.find_last_of("\\/");
    return at == std::string::npos ? std::string() : folder.substr(0, at);
}

std::string fxXScreenSaverFile() { return ""; }

bool fxReadConfigFile(std::string* path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    char buf[kPathBytes + 1] = {};
    DWORD type = 0, size = kPathBytes;
    LONG r = RegQueryValueExA(key, kValue, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    // Only a string is a path; a stored string need not end in a terminator.
    if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || size > kPathBytes) return false;
    buf[size] = 0;
    *path = buf;
    return !path->empty();
}

bool fxStoreConfigPath(const std::string& path) {
    HKEY key;
    if (path.size() + 1 > kPathBytes ||
        RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS) {
        fprintf(stderr, "velmira: cannot write HKEY_CURRENT_USER\\%s\n", kKey);
        return false;
    }
    LONG r = RegSetValueExA(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                            static_cast<DWORD>(path.size() + 1));
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) {
        fprintf(stderr, "velmira: cannot write HKEY_CURRENT_USER\\%s\n", kKey);
        return false;
    }
    printf("velmira: data folder %s written to HKEY_CURRENT_USER\\%s\n", path.c_str(), kKey);
    return true;
}
