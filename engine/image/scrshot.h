// A picture of the desktop, taken before the screen saver covers it.
#pragma once

#include <cstdint>

#include "image/canvas.h"
#include "image/platform.h"

class FXScrShot : public FXCanvas {
public:
    int32_t updateCount;  // successful captures

    FXScrShot() : updateCount(0), held_() {}
    ~FXScrShot();
    FXScrShot(const FXScrShot&) = delete;
    FXScrShot& operator=(const FXScrShot&) = delete;

    // Captures the whole screen into the canvas: red, green, blue from the
    // screen, alpha 255; the margin of the buffer opaque black.
    bool Update() { return Grab() && Develop(); }
    // The desktop for a show on the window a screen-saver daemon handed us:
    // the picture the daemon kept of it, else (or with a null window) the
    // screen as Update takes it.
    bool UpdateFor(void* window) { return GrabFor(window) && Develop(); }
    // Update and UpdateFor in two steps: the pixels are taken and held as
    // they came, so they can be put on a window before the canvas is made.
    bool Grab();
    bool GrabFor(void* window);
    // Puts the held pixels on a window (see fxPutScreenPixels); false with
    // none held.
    bool PutHeld(void* window) const { return held_.bgrx && fxPutScreenPixels(&held_, window); }
    // The held pixels, if any, into the canvas; lets them go either way.
    // False when the canvas cannot take them.
    bool Develop();
    // No desktop at all: opaque black of the window's size (the screen's
    // with a null window).
    bool Blank(void* window);

private:
    FXScreenPixels held_;
};

// Defined here rather than in scrshot.cpp: they only combine the capture
// calls of image/platform.h, so a port brings no more than those.
inline bool FXScrShot::Blank(void* window) {
    int w = 0, h = 0;
    if (!fxWindowSize(window, &w, &h) && !fxScreenSize(&w, &h)) return false;
    if (w < 1 || h < 1 || !pixmap.Realloc(w, h)) return false;
    const float black[4] = {0, 0, 0, 1};
    Clear(const_cast<float*>(black));
    return true;
}
