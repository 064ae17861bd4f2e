#include "scrpos01.h"

#include <cmath>

FXScrPos01::FXScrPos01()
    : screenWidth(0), screenHeight(0), boxWidth(0), boxHeight(0), boxX(0), boxY(0), combine(false) {
    placement.SetIdentity();
}

void FXScrPos01::OnRender(PEnv* env, double) {
    if (!env) return;
    if (!combine) {
        env->ApplyMatrix(&placement);
        return;
    }
    PEnv* cur = fxglobalEnv ? fxglobalEnv : env;
    FXMatrix m;
    m.Multiply(&cur->curMatrix, &placement);
    env->ApplyMatrix(&m);
}

void FXScrPos01::SetPos(float x, float y) {
    boxX = x;
    boxY = y;
    Update();
}

void FXScrPos01::ShiftPos(float dx, float dy) {
    boxX += screenWidth * dx;
    boxY += screenHeight * dy;
    Update();
}

void FXScrPos01::Update() {
    if (!Positive()) {
        placement.SetIdentity();
        return;
    }
    FXMatrix s, t;
    s.SetScaleF(boxWidth / screenWidth, boxHeight / screenHeight, 1.0f);
    float mx = 2.0f * ((boxWidth - screenWidth) * 0.5f + boxX) / screenWidth;
    float my = -2.0f * ((boxHeight - screenHeight) * 0.5f + boxY) / screenHeight;
    t.SetMoveF(mx, my, 0.0f);
    placement.Multiply(&t, &s);
}

void FXScrPos01::UpdateSize() {
    if (!Positive()) {
        placement.SetIdentity();
        return;
    }
    placement.SetScaleF(boxWidth / screenWidth, boxHeight / screenHeight, 1.0f);
}

void FXScrPos01::UpdateAspectH1(int mode, float a, float b) {
    if (!(screenWidth > 0) || !(screenHeight > 0) || !(a > 0)) return;
    float k = (b / screenHeight) / (a / screenWidth);
    if (!(k < 1.0f)) return;
    FXMatrix s, m;
    s.SetScaleF(k, 1.0f, 1.0f);
    if (mode == 0) {
        m.Copy(&placement);
    } else {
        FXMatrix t;
        t.SetMoveF(mode == 1 ? 1.0f - k : k - 1.0f, 0.0f, 0.0f);
        m.Multiply(&placement, &t);
    }
    placement.Multiply(&m, &s);
}

void FXScrPos01::GetPixelRC(FXRect* out, int width, int height) const {
    if (!out) return;
    if (!(screenWidth > 0) || !(screenHeight > 0)) {
        out->SetZero();
        return;
    }
    out->left = static_cast<int32_t>(width * boxX / screenWidth);
    out->top = static_cast<int32_t>(height * boxY / screenHeight);
    out->right = static_cast<int32_t>(std::trunc(boxX + boxWidth) * width / screenWidth);
    out->bottom = static_cast<int32_t>(std::trunc(boxY + boxHeight) * height / screenHeight);
}
