// A picture of the desktop, taken before the screen saver covers it.
#pragma once

#include <cstdint>

#include "image/canvas.h"

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
};

// Platform side: the screen's pixels as 32-bit blue-green-red-x rows with a
// pitch. Returns false (and has traced why) when no capture can be made.
struct FXScreenPixels {
    int width, height;
    int pitch;  // bytes per row
    const uint8_t* bgrx;
    void* handle;  // released by fxReleaseScreenPixels
};
bool fxGrabScreenPixels(FXScreenPixels* out);
void fxReleaseScreenPixels(FXScreenPixels* p);
// Screen size; false when there is no screen.
bool fxScreenSize(int* w, int* h);
