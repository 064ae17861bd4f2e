// Frames drawn only to be read back, by tools that render offline: a window
// of their own and the finished frame as a picture. Platform twin:
// frames_glx.cpp (docs/porting.md lists the calls).
#pragma once

class FXCanvas;
class FXGL;

// A shown, undecorated window of w x h for the device to draw into (GL only
// draws pixels that are on screen); null without a display.
void* fxFrameWindowCreate(int w, int h);
void fxFrameWindowDestroy(void* window);
// The device's finished frame (its back buffer), top row first, opaque.
bool fxglReadFrame(FXGL* gl, FXCanvas* frame);
