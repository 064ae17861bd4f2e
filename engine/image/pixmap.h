// A raw buffer of 32-bit pixels (bytes red, green, blue, alpha), top row
// first. The buffer may be rounded up to powers of two while a smaller used
// area, aligned top-left, holds the picture.
#pragma once

#include <cstdint>

class FXPixmap {
public:
    uint32_t* pixels;
    int32_t capacity;   // pixels allocated
    int32_t bufWidth, bufHeight;
    int32_t usedWidth, usedHeight;
    bool pow2;          // round the buffer size up to powers of two

    FXPixmap();
    ~FXPixmap();
    FXPixmap(const FXPixmap&) = delete;
    FXPixmap& operator=(const FXPixmap&) = delete;

    // Used size (w, h); the buffer is rounded up when pow2 is set. A buffer
    // large enough is kept with its contents, otherwise a new zero-filled
    // one replaces it. Sizes outside the picture limits (negative, a side
    // above 16384, more than 32 Mpixel) and failed allocations are refused:
    // false, and the pixmap stays as it was.
    bool Realloc(int w, int h);
    // Every pixel of the whole buffer, margin included.
    void Clear(int value);
    void Destroy();

    // Address of pixel (x, y) of the buffer; no checks.
    uint32_t* Row(int y) { return pixels + static_cast<int64_t>(y) * bufWidth; }
};
