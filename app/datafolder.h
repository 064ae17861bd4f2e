// Where the data package is. Both outputs of the show, the live host and the
// offline renderer, look the same way: the folder given with --data, then
// the configured one, then the installed demo content; the first that holds
// the package wins.
#pragma once

#include <string>
#include <vector>

struct FXDataPlace {
    std::string folder;
    const char* from;      // where the folder came from, for the messages
    bool tooLong = false;  // its package's path is too long to be opened
};

struct FXDataSearch {
    std::string folder;              // the folder holding the package; empty when none does
    std::vector<FXDataPlace> tried;  // every folder looked in, in order
    // The folder the trace log belongs with: the package's folder, or
    // without one the first folder the user named that exists. Never the
    // file system's root; empty for none. The log goes there only when it
    // is the user's own; otherwise to the user's state folder.
    std::string logFolder;
};

// True when the folder's package path is too long to be opened.
bool fxDataFolderTooLong(const std::string& folder);
// The folder the install step stores: absolute (the daemon or the system
// starts the program elsewhere), without trailing separators, and holding
// the package. Empty, with the reason on standard error, for one it refuses.
std::string fxCheckDataFolder(const std::string& given);
// given: the folder from --data, or empty.
FXDataSearch fxFindDataFolder(const std::string& given);
// The message for a search that found no package, one line each: every
// place looked in, and how to name the right one.
std::vector<std::string> fxMissingPackageText(const FXDataSearch& s);
// Tells the user, on standard error and in the trace log when one is open,
// that no package was found, or which named folders were passed over.
void fxReportDataSearch(const FXDataSearch& s);
