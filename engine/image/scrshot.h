// A picture of the desktop, taken before the screen saver covers it.
#pragma once

#include <cstdint>

#include "image/canvas.h"
#include "image/platform.h"

class FXScrShot : public FXCanvas {
public:
    int32_t updateCount;  // successful captures

    FXScrShot() : updateCount(0) {}
    ~FXScrShot();
    FXScrShot(const FXScrShot&) = delete;
    FXScrShot& operator=(const FXScrShot&) = delete;

    // Captures the whole screen into the canvas: red, green, blue from the
    // screen, alpha 255; the margin of the buffer opaque black.
    bool Update();
    // The desktop for a show on the window a screen-saver daemon handed us:
    // the picture the daemon kept of it, else (or with a null window) the
    // screen as Update takes it.
    bool UpdateFor(void* window);
    // No desktop at all: opaque black of the window's size (the screen's
    // with a null window).
    bool Blank(void* window);

private:
    void Fill(const FXScreenPixels& shot, int w, int h);
};

// Defined here rather than in scrshot.cpp: they only combine the capture
// calls of image/platform.h, so a port brings no more than those.
inline void FXScrShot::Fill(const FXScreenPixels& shot, int w, int h) {
    const float black[4] = {0, 0, 0, 1};
    Clear(const_cast<float*>(black));
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = shot.bgrx + static_cast<int64_t>(y) * shot.pitch;
        uint32_t* dst = pixmap.Row(y);
        for (int x = 0; x < w; ++x, src += 4)
            dst[x] = 0xff000000u | static_cast<uint32_t>(src[0]) << 16 | static_cast<uint32_t>(src[1]) << 8 | src[2];
    }
}

inline bool FXScrShot::UpdateFor(void* window) {
    FXScreenPixels shot;
    if (!window || !fxGrabSaverPixels(window, &shot)) return Update();
    bool ok = shot.width >= 1 && shot.height >= 1 && shot.pitch >= 4 * shot.width &&
              pixmap.Realloc(shot.width, shot.height);
    if (ok) {
        Fill(shot, shot.width, shot.height);
        ++updateCount;
    }
    fxReleaseScreenPixels(&shot);
    return ok || Update();
}

inline bool FXScrShot::Blank(void* window) {
    int w = 0, h = 0;
    if (!fxWindowSize(window, &w, &h) && !fxScreenSize(&w, &h)) return false;
    if (w < 1 || h < 1 || !pixmap.Realloc(w, h)) return false;
    const float black[4] = {0, 0, 0, 1};
    Clear(const_cast<float*>(black));
    return true;
}
