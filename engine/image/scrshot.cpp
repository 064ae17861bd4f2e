#include "scrshot.h"

#include "base/trace.h"
#include "image/platform.h"

FXScrShot::~FXScrShot() { Destroy(); }

bool FXScrShot::Update() {
    int w = 0, h = 0;
    if (!fxScreenSize(&w, &h) || w < 1 || h < 1) return false;
    FXScreenPixels shot;
    if (!fxGrabScreenPixels(&shot)) return false;
    if (shot.width < w || shot.height < h || shot.pitch < 4 * w) {
        err("XGetImage (root window: short image)\n");
        fxReleaseScreenPixels(&shot);
        return false;
    }
    if (!pixmap.Realloc(w, h)) {
        fxReleaseScreenPixels(&shot);
        return false;
    }
    // Every pixel is written once: the screen's, or opaque black in the
    // buffer's margin.
    const uint32_t kBlack = 0xff000000u;
    for (int y = 0; y < pixmap.bufHeight; ++y) {
        uint32_t* dst = pixmap.Row(y);
        int x = 0;
        if (y < h) {
            const uint8_t* src = shot.bgrx + static_cast<int64_t>(y) * shot.pitch;
            for (; x < w; ++x, src += 4)
                dst[x] = kBlack | static_cast<uint32_t>(src[0]) << 16 | static_cast<uint32_t>(src[1]) << 8 | src[2];
        }
        for (; x < pixmap.bufWidth; ++x) dst[x] = kBlack;
    }
    fxReleaseScreenPixels(&shot);
    ++updateCount;
    return true;
}
