#include "sdesk.h"

#include <cmath>

#include "render/material.h"

FXDeskScroll::FXDeskScroll()
    : speedX(1.0f),
      speedY(1.0f),
      visibleX(1.0f),
      visibleY(1.0f),
      offsetX(0.0f),
      offsetY(0.0f),
      periodX(1.0),
      periodY(1.0),
      lastTime(0.0) {}

namespace {

// Moves one axis's window and wraps it: a growing offset comes back below 1,
// a shrinking one back above 0. The wrap is computed in one step, so a huge
// speed cannot keep the frame looping; a non-finite step changes nothing.
void localAdvance(float* offset, float visible, float speed, double dt, double period) {
    double next = *offset + -(static_cast<double>(visible) * speed) * dt / period;
    if (!std::isfinite(next)) return;
    if (speed < 0) {
        if (next > 1.0) next -= std::ceil(next - 1.0);
    } else if (next < 0.0) {
        next += std::ceil(-next);
    }
    *offset = static_cast<float>(next);
}

}  // namespace

void FXDeskScroll::OnRender(PEnv* env, double t) {
    float su, sv;
    TexScales(&su, &sv);
    bool scrolls = su > 0 && sv > 0 && (visibleX < 1 || visibleY < 1) && (periodX > 0 || periodY > 0);
    if (scrolls) {
        double ref = periodX > 0 ? periodX : periodY;
        if (t - lastTime > ref) lastTime = t;
        double dt = t - lastTime;
        if (periodX > 0 && visibleX < 1) localAdvance(&offsetX, visibleX, speedX, dt, periodX);
        if (periodY > 0 && visibleY < 1) localAdvance(&offsetY, visibleY, speedY, dt, periodY);
        lastTime = t;
        UpdateTex();
    }
    FXDesk::OnRender(env, t);
}

void FXDeskScroll::UpdateTex() {
    if (!mesh.vertices) return;
    float su, sv;
    TexScales(&su, &sv);
    for (int y = 0; y <= h; ++y)
        for (int x = 0; x <= w; ++x) {
            float* p = Vtx(x, y);
            p[FX_VTX_TEX] = (offsetX + U(x)) * visibleX * su;
            p[FX_VTX_TEX + 1] = (offsetY + V(y)) * visibleY * sv;
        }
}
