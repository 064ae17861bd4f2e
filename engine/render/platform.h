// What the OpenGL device asks of the window system: the drawing window, the
// GL context and extension entry points. Implemented by gl_glx.cpp (GLX on
// X11) and gl_w32.cpp (WGL); docs/porting.md lists the calls.
#pragma once

class FXGL;

// Makes the drawing window as a child filling the given window, fills the
// device's screen and view sizes, window handles and contexts, and makes the
// context current. False (and has traced why) when any step fails.
bool fxglPlatCreate(FXGL* gl, void* window);
// Makes the device's context current on this thread (on) or none (off).
void fxglPlatMakeCurrent(FXGL* gl, bool on);
// Presents the finished frame (the back buffer).
void fxglPlatSwap(FXGL* gl);
// Asks that a swap wait for `interval` vertical blanks (0: none) of the
// device's window, its context current. False when the driver offers no
// swap control.
bool fxglPlatSwapInterval(FXGL* gl, int interval);
// Destroys the context and the drawing window; clears their members. Safe
// when the given window is already gone.
void fxglPlatRelease(FXGL* gl);
// Moves the window over the whole screen (on) or back; updates the viewport
// size members from the window's new size.
void fxglPlatEnlarge(FXGL* gl, bool on);
// An OpenGL entry point by name; null when the driver has none.
void* fxglPlatGetProc(const char* name);
