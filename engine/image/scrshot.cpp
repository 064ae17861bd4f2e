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
    const float black[4] = {0, 0, 0, 1};
    Clear(const_cast<float*>(black));
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = shot.bgrx + static_cast<int64_t>(y) * shot.pitch;
        uint32_t* dst = pixmap.Row(y);
        for (int x = 0; x < w; ++x, src += 4)
            dst[x] = 0xff000000u | static_cast<uint32_t>(src[0]) << 16 | static_cast<uint32_t>(src[1]) << 8 | src[2];
    }
    fxReleaseScreenPixels(&shot);
    ++updateCount;
    return true;
}
