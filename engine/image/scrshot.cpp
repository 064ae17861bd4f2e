#include "scrshot.h"

#include "base/trace.h"
#include "image/platform.h"

FXScrShot::~FXScrShot() {
    fxReleaseScreenPixels(&held_);
    Destroy();
}

bool FXScrShot::Grab() {
    fxReleaseScreenPixels(&held_);
    int w = 0, h = 0;
    if (!fxScreenSize(&w, &h) || w < 1 || h < 1) return false;
    if (!fxGrabScreenPixels(&held_)) return false;
    if (held_.width < w || held_.height < h || held_.pitch < 4 * w) {
        err("XGetImage (root window: short image)\n");
        fxReleaseScreenPixels(&held_);
        return false;
    }
    // The screen's size, should the capture be larger.
    held_.width = w;
    held_.height = h;
    return true;
}

bool FXScrShot::GrabFor(void* window) {
    fxReleaseScreenPixels(&held_);
    if (window && fxGrabSaverPixels(window, &held_)) {
        if (held_.width >= 1 && held_.height >= 1 && held_.pitch >= 4 * held_.width) return true;
        fxReleaseScreenPixels(&held_);
    }
    return Grab();
}

bool FXScrShot::Develop() {
    if (!held_.bgrx) return true;
    const int w = held_.width, h = held_.height;
    bool ok = pixmap.Realloc(w, h);
    // Every pixel is written once: the screen's, or opaque black in the
    // buffer's margin.
    const uint32_t kBlack = 0xff000000u;
    for (int y = 0; ok && y < pixmap.bufHeight; ++y) {
        uint32_t* dst = pixmap.Row(y);
        int x = 0;
        if (y < h) {
            const uint8_t* src = held_.bgrx + static_cast<int64_t>(y) * held_.pitch;
            for (; x < w; ++x, src += 4)
                dst[x] = kBlack | static_cast<uint32_t>(src[0]) << 16 | static_cast<uint32_t>(src[1]) << 8 | src[2];
        }
        for (; x < pixmap.bufWidth; ++x) dst[x] = kBlack;
    }
    fxReleaseScreenPixels(&held_);
    if (ok) ++updateCount;
    return ok;
}
