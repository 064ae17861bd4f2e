// Places the next desk in a box given in screen pixels: the -1..1 view is
// mapped onto the box when this renderer runs.
#pragma once

#include "base/other.h"
#include "math/3dmath.h"
#include "render/env.h"

class FXScrPos01 : public PRender {
public:
    float screenWidth, screenHeight;
    float boxWidth, boxHeight;
    float boxX, boxY;  // top-left corner, y downward
    FXMatrix placement;
    bool combine;  // multiply with the current matrix instead of replacing it

    FXScrPos01();
    virtual ~FXScrPos01() {}

    void OnRender(PEnv* env, double t) override;
    virtual void Destroy() {}

    void SetPos(float x, float y);
    void ShiftPos(float dx, float dy);
    void Update();
    void UpdateSize();
    void UpdateAspectH1(int mode, float a, float b);
    void GetPixelRC(FXRect* out, int width, int height) const;

private:
    bool Positive() const { return screenWidth > 0 && screenHeight > 0 && boxWidth > 0 && boxHeight > 0; }
};
