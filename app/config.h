// The user's configuration: one value, the data folder, in a small text file
// that mirrors the key "Software\fenro3d\Screensavers\Velmira".
#pragma once

#include <string>

// The configuration file's path (platform side).
std::string fxConfigFile();
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
// The data folder named in the configuration file; false when it names none.
bool fxReadConfigFile(std::string* path);
// Writes the configuration with the given data folder (atomically).
bool fxWriteConfigPath(const std::string& file, const std::string& path);
