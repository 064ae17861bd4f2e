#include "image/pixmap.h"

#include <cstdlib>

#include "base/fxarray.h"
#include "base/trace.h"
#include "image/picthead.h"

FXPixmap::FXPixmap()
    : pixels(nullptr), capacity(0), bufWidth(0), bufHeight(0), usedWidth(0), usedHeight(0), pow2(true) {}

FXPixmap::~FXPixmap() { Destroy(); }

bool FXPixmap::Realloc(int w, int h) {
    // An empty used area is allowed (its buffer is at least 1 wide or high
    // when rounded up).
    bool empty = w == 0 || h == 0;
    bool ok = empty ? (w >= 0 && h >= 0 && w <= FX_PICT_MAX_SIDE && h <= FX_PICT_MAX_SIDE) : fxPictSizeAllowed(w, h);
    if (!ok) {
        err("pixmap size %d x %d refused\n", w, h);
        return false;
    }
    int bw = pow2 ? fxPower2(w) : w;
    int bh = pow2 ? fxPower2(h) : h;
    int64_t need = static_cast<int64_t>(bw) * bh;
    if (!pixels || capacity < need) {
        // Allocated before the old buffer goes, so a refusal changes nothing.
        uint32_t* p = static_cast<uint32_t*>(calloc(need > 0 ? static_cast<size_t>(need) : 1, sizeof(uint32_t)));
        if (!p) {
            err("pixmap of %d x %d: out of memory\n", bw, bh);
            return false;
        }
        free(pixels);
        pixels = p;
        capacity = static_cast<int32_t>(need);
    }
    bufWidth = bw;
    bufHeight = bh;
    usedWidth = w;
    usedHeight = h;
    return true;
}

void FXPixmap::Clear(int value) {
    if (!pixels) return;
    int64_t n = static_cast<int64_t>(bufWidth) * bufHeight;
    if (n > capacity) n = capacity;
    uint32_t v = static_cast<uint32_t>(value);
    for (int64_t i = 0; i < n; i++) pixels[i] = v;
}

void FXPixmap::Destroy() {
    free(pixels);
    pixels = nullptr;
    capacity = 0;
    bufWidth = bufHeight = 0;
    usedWidth = usedHeight = 0;
}
