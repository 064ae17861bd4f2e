#include "datafolder.h"

#include <cstdio>

#include "app/config.h"
#include "app/entries.h"
#include "base/paths.h"
#include "base/platform.h"
#include "base/trace.h"

namespace {

const char kFromOption[] = "--data";
const char kFromConfig[] = "the configuration";
const char kFromInstalled[] = "the installed demo content";

std::string localPackagePath(const std::string& folder) {
    std::string p = folder;
    if (!fxIsSep(p.back())) p += '/';
    return p + kPackageFile;
}

// True for a folder that comes down to the root of the file system (or of a
// drive): no log is ever written there.
bool localIsRoot(const std::string& folder) {
    bool absolute = fxIsSep(folder[0]) || (folder.size() > 1 && folder[1] == ':');
    std::string whole = absolute ? folder : std::string(fxGetActPath()) + folder;
    std::string n = fxCombinePaths(whole.c_str(), "");
    for (size_t i = n.size() > 1 && n[1] == ':' ? 2 : 0; i < n.size(); ++i)
        if (!fxIsSep(n[i])) return false;
    return true;
}

}  // namespace

bool fxDataFolderTooLong(const std::string& folder) {
    // The path tables hold FX_MAX_PATH characters: a longer path would be
    // cut into another one.
    return localPackagePath(folder).size() >= FX_MAX_PATH;
}

FXDataSearch fxFindDataFolder(const std::string& given) {
    FXDataSearch s;
    std::string firstNamed;
    auto look = [&](const std::string& folder, const char* from) {
        if (folder.empty() || !s.folder.empty()) return;
        FXDataPlace p{folder, from};
        p.tooLong = fxDataFolderTooLong(folder);
        s.tried.push_back(p);
        if (p.tooLong) return;
        if (fxPathExists(localPackagePath(folder).c_str()))
            s.folder = folder;
        else if (from != kFromInstalled && firstNamed.empty() && fxPathExists(folder.c_str()))
            firstNamed = folder;
    };
    look(given, kFromOption);
    std::string configured;
    if (fxReadConfigFile(&configured)) look(configured, kFromConfig);
    look(fxInstalledDataFolder(), kFromInstalled);
    std::string log = s.folder.empty() ? firstNamed : s.folder;
    if (!log.empty() && !localIsRoot(log)) s.logFolder = log;
    return s;
}

std::vector<std::string> fxMissingPackageText(const FXDataSearch& s) {
    std::vector<std::string> lines;
    lines.push_back(std::string("No picture package (") + kPackageFile + ") was found. Looked for it in:");
    for (const FXDataPlace& p : s.tried)
        lines.push_back("  " + localPackagePath(p.folder) + "  (" + p.from + (p.tooLong ? ", too long a path" : "") +
                        ")");
    if (s.tried.empty()) lines.push_back("  nowhere: no folder was given with --data or configured");
    lines.push_back("Name its folder with --data FOLDER, or as path=FOLDER in the configuration,");
    lines.push_back("  " + fxConfigFile());
    return lines;
}

void fxReportDataSearch(const FXDataSearch& s) {
    if (s.folder.empty()) {
        std::vector<std::string> lines = fxMissingPackageText(s);
        for (size_t i = 0; i < lines.size(); ++i) {
            fprintf(stderr, "%s%s\n", i ? "" : "velmira: ", lines[i].c_str());
            err("%s\n", lines[i].c_str());
        }
        return;
    }
    // A folder the user named but that lacks the package is worth a word,
    // even when a later place has one.
    for (const FXDataPlace& p : s.tried) {
        if (p.folder == s.folder) break;
        fprintf(stderr, "velmira: %s is missing (%s); the one in %s is used\n", localPackagePath(p.folder).c_str(),
                p.from, s.folder.c_str());
        trc("%s is missing (%s); the one in %s is used\n", localPackagePath(p.folder).c_str(), p.from,
            s.folder.c_str());
    }
}

std::string fxCheckDataFolder(const std::string& given) {
    if (given.empty()) return "";
    std::string folder = given;
    bool absolute = fxIsSep(folder[0]) || (folder.size() > 1 && folder[1] == ':');
    if (!absolute) {
        char cwd[4096];
        if (!fxPlatformGetCwd(cwd, sizeof cwd)) {
            fprintf(stderr, "velmira: cannot tell the current folder for \"%s\"\n", given.c_str());
            return "";
        }
        std::string base = cwd;
        if (!base.empty() && !fxIsSep(base.back())) base += fxPlatformNativeSep();
        folder = folder == "." ? base : base + folder;
    }
    while (folder.size() > 1 && fxIsSep(folder.back()) && folder[folder.size() - 2] != ':') folder.pop_back();
    // A longer path would be cut into another one when it is read back.
    if (fxDataFolderTooLong(folder)) {
        fprintf(stderr, "velmira: the data folder's path is too long (%zu characters): %s\n", folder.size(),
                folder.c_str());
        return "";
    }
    if (!fxPathExists(folder.c_str())) {
        fprintf(stderr, "velmira: the data folder %s does not exist\n", folder.c_str());
        return "";
    }
    if (!fxPathExists(localPackagePath(folder).c_str())) {
        fprintf(stderr, "velmira: the data folder %s holds no %s\n", folder.c_str(), kPackageFile);
        return "";
    }
    return folder;
}
