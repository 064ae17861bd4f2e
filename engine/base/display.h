// The process's connection to the window system, shared by the device, the
// desktop capture and the host. Made thread-safe before first use.
#pragma once

// The connection (an X Display* on X11); null when there is no display.
void* fxDisplay();
// Closes the shared connection (at process end, after every user).
void fxCloseDisplay();
// Window-system errors are recorded rather than ending the process: start a
// trap, do the calls, then ask whether any failed (this waits for the server).
void fxDisplayTrapErrors();
bool fxDisplayUntrapErrors();
