// What the user told XScreenSaver that the show must honour when that
// daemon runs it: whether its hacks may show a picture of the desktop.
#pragma once

#include <string>

// False when the settings text turns desktop pictures off
// ("grabDesktopImages: False", the key also as "*grabDesktopImages"; the
// value's case is free, as are the blanks). True when the text says
// nothing about it, as the daemon then allows them.
bool fxDesktopImagesAllowed(const std::string& settingsText);
// The same for the user's settings file; true without one.
bool fxReadDesktopImagesAllowed();
// True when the window is the one XScreenSaver hands its hacks (named by
// XSCREENSAVER_WINDOW): the show then runs as that daemon's hack.
bool fxIsDaemonWindow(void* window);
