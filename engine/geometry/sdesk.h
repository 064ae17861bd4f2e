// A desk whose texture window slides over its picture, wrapping around.
#pragma once

#include "geometry/desk.h"

class FXDeskScroll : public FXDesk {
public:
    float speedX, speedY;      // windows per period; the sign is the direction
    float visibleX, visibleY;  // fraction of the picture shown; below 1 scrolls
    float offsetX, offsetY;    // window position, within 0..1
    double periodX, periodY;   // seconds; positive scrolls
    double lastTime;

    FXDeskScroll();

    void OnRender(PEnv* env, double t) override;
    void UpdateTex() override;
};
