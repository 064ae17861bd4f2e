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
// The connection was lost (the server ended or the link dropped). From then
// on every call on it returns at once without effect, and the program
// should end. The handler runs once, on whichever thread found the loss,
// while that thread is inside the window system: it must only signal.
void fxDisplayOnLost(void (*handler)());
bool fxDisplayLost();
