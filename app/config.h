// The user's configuration: one value, the data folder. On Windows the
// registry key "Software\fenro3d\Screensavers\Velmira" holds it; elsewhere
// a small text file that mirrors that key.
#pragma once

#include <string>

// Where the configuration is, in words a user can follow (platform side: the
// file's path, or on Windows the registry key).
std::string fxConfigFile();
// The demo content the program was installed with (platform side: the
// installed data folder, or on Windows the program's own folder, where the
// release keeps xxdata.dat beside velmira.scr).
std::string fxInstalledDataFolder();
// XScreenSaver's settings file of the user (~/.xscreensaver; platform side);
// empty when the user has no home folder.
std::string fxXScreenSaverFile();
// Where the trace log goes when the data folder is not the user's own:
// $XDG_STATE_HOME/velmira, by default ~/.local/state/velmira. Empty without
// a home folder.
std::string fxStateFolder();
// Reads "path" from a configuration text ("key=value" lines, '#' comments,
// blanks around keys and values ignored). False when it holds no path.
bool fxParseConfigPath(const std::string& text, std::string* path);
// The data folder named in the user's configuration (platform side: the
// file, or on Windows the registry value "path"); false when it names none.
bool fxReadConfigFile(std::string* path);
// Stores the data folder in the user's configuration (platform side); false,
// with the reason on standard error, when it cannot.
bool fxStoreConfigPath(const std::string& path);
// Writes a configuration file with the given data folder (atomically).
bool fxWriteConfigPath(const std::string& file, const std::string& path);
