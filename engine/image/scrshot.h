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
