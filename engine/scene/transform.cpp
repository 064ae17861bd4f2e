#include "scene/transform.h"

#include <cstring>

#include "base/other.h"
#include "package/package.h"
#include "scene/itemkinds.h"

FX_ITEM_MAKER(FXItemMove)
FX_ITEM_MAKER(FXItemRotate)
FX_ITEM_MAKER(FXItemSkew)

namespace {

void localWriteFloat(FILE* f, float v) {
    uint32_t u;
    memcpy(&u, &v, 4);
    fxWriteInt32(f, static_cast<int32_t>(u));
}

}  // namespace

FXItemTransform::FXItemTransform() : direction(0), startValue(0.0f), endValue(1.0f) { modifier = true; }

float FXItemTransform::Value() const {
    // A run without length is always at its end, as the phaser has it; the
    // bouncing phaser would otherwise flip between the ends every frame.
    float p = phaser.duration > 0.0 ? phaser.value : 1.0f;
    return startValue + (endValue - startValue) * p;
}

void FXItemTransform::OnRender(PEnv* env, double time) {
    phaser.OnRender(env, time);
    BuildMatrix(Value(), &matrix);
}

void FXItemTransform::DependRender(PEnv* env, double time, bool pre) { DependRenderTransform(env, time, pre); }

bool FXItemTransform::LoadC(FXPackage* pck, FXPackageData* d, int version) {
    if (!FXItem::LoadC(pck, d, version)) return false;
    FXItemReader r(d);
    direction = r.Int();
    startValue = r.Float();
    endValue = r.Float();
    return r.whole;
}

bool FXItemTransform::Save(FILE* f, const char* folder) {
    if (!FXItem::Save(f, folder)) return false;
    fxWriteInt32(f, direction);
    localWriteFloat(f, startValue);
    localWriteFloat(f, endValue);
    return !ferror(f);
}

// ---------------------------------------------------------------- kinds

FXItemMove::FXItemMove() {
    type = FX_ITEM_MOVE;
    phaser.loop = phaser.bounce = phaser.smooth = true;
    phaser.Restart(fxGetTime());
}

void FXItemMove::BuildMatrix(float v, FXMatrix* out) const {
    switch (direction) {
    case 0: out->SetMoveF(-v, 0, 0); break;
    case 1: out->SetMoveF(0, v, 0); break;
    case 2: out->SetMoveF(v, 0, 0); break;
    case 3: out->SetMoveF(0, -v, 0); break;
    default: out->SetIdentity(); break;
    }
}

FXItemRotate::FXItemRotate() {
    type = FX_ITEM_ROTATE;
    endValue = 360.0f;
    phaser.loop = true;
    phaser.bounce = phaser.smooth = false;
    phaser.Restart(fxGetTime());
}

void FXItemRotate::BuildMatrix(float v, FXMatrix* out) const {
    switch (direction) {
    case 0: out->SetRotateX(v); break;
    case 1: out->SetRotateY(v); break;
    case 2: out->SetRotateZ(v); break;
    default: out->SetIdentity(); break;
    }
}

FXItemSkew::FXItemSkew() {
    type = FX_ITEM_SKEW;
    phaser.loop = phaser.bounce = phaser.smooth = true;
    phaser.Restart(fxGetTime());
}

void FXItemSkew::BuildMatrix(float v, FXMatrix* out) const {
    // Shift the fixed edge to the axis, shear, shift back.
    static const struct {
        float x, y;  // T_in; T_back is its opposite
        int i, j;    // the element of the shear
        float sign;
    } k[4] = {{-1, 0, 0, 1, -1}, {0, 1, 1, 0, 1}, {1, 0, 0, 1, 1}, {0, -1, 1, 0, -1}};
    if (direction < 0 || direction > 3) {
        out->SetIdentity();
        return;
    }
    FXMatrix tin, s, tback;
    tin.SetMoveF(k[direction].x, k[direction].y, 0);
    *s.M(k[direction].i, k[direction].j) = k[direction].sign * v;
    tback.SetMoveF(-k[direction].x, -k[direction].y, 0);
    s.Multiply(&s, &tin);
    out->Multiply(&tback, &s);
}
