// Windows has no server connection to lose: the token is the desktop's
// window while there is one, and window-system calls report their own
// failures.
#include <windows.h>

#include "base/display.h"

void* fxDisplay() { return GetDesktopWindow(); }

void fxCloseDisplay() {}

void fxDisplayTrapErrors() {}

bool fxDisplayUntrapErrors() { return false; }

void fxDisplayOnLost(void (*)()) {}

bool fxDisplayLost() { return false; }
