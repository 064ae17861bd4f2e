#include "scene/camera.h"

#include <cmath>
#include <cstring>

#include "package/package.h"
#include "scene/itemkinds.h"
#include "scene/scene.h"

FX_ITEM_MAKER(FXItemCameraPt)
FX_ITEM_MAKER(FXItemCameraZoom)

namespace {

void localWriteFloat(FILE* f, float v) {
    uint32_t u;
    memcpy(&u, &v, 4);
    fxWriteInt32(f, static_cast<int32_t>(u));
}

}  // namespace

// ---------------------------------------------------------------- point

FXItemCameraPt::FXItemCameraPt() : zoomLevel(1), offsetX(0.0f), offsetY(0.0f) {
    type = FX_ITEM_CAMERAPT;
    modifier = true;
    phaser.duration = 0.0;
    phaser.loop = false;
}

bool FXItemCameraPt::LoadC(FXPackage* pck, FXPackageData* d, int version) {
    if (!FXItem::LoadC(pck, d, version)) return false;
    FXItemReader r(d);
    zoomLevel = r.Int();
    offsetX = r.Float();
    offsetY = r.Float();
    return r.whole;
}

bool FXItemCameraPt::Save(FILE* f, const char* folder) {
    if (!FXItem::Save(f, folder)) return false;
    fxWriteInt32(f, zoomLevel);
    localWriteFloat(f, offsetX);
    localWriteFloat(f, offsetY);
    return !ferror(f);
}

// ---------------------------------------------------------------- zoom

FXItemCameraZoom::FXItemCameraZoom()
    : zoomStep(1.0f), zoomStart(1.0f), zoomEnd(1.0f), xStart(0.0f), xEnd(0.0f), yStart(0.0f), yEnd(0.0f) {
    type = FX_ITEM_CAMERAZOOM;
    modifier = true;
    applyBefore = true;
    phaser.active = phaser.loop = phaser.bounce = phaser.smooth = phaser.halfSmooth = false;
    phaser.duration = 0.0;
}

void FXItemCameraZoom::CameraValues(int level, float x, float y, float* zoom, float* ox, float* oy) const {
    float s = zoomStep;
    float factor = 1.0f + s * 0.01f;
    // A step of -100 % or less would zoom by nothing or turn the picture
    // inside out: such a step does not zoom.
    if (!(factor > 0.0f) || !std::isfinite(factor)) factor = 1.0f;
    if (level > kMaxLevel) level = kMaxLevel;
    if (level < -kMaxLevel) level = -kMaxLevel;
    if (level < 0) {
        factor = 1.0f / factor;
        level = -level;
    }
    *zoom = powf(factor, static_cast<float>(level));
    float k = 0.1f * s * s;
    *ox = x * k;
    *oy = y * k;
}

void FXItemCameraZoom::PrepareAnim(int end) {
    if (!scene) return;
    float z, x, y;
    CameraValues(scene->actZoom, scene->actX, scene->actY, &z, &x, &y);
    if (end) {
        zoomEnd = z, xEnd = x, yEnd = y;
    } else {
        zoomStart = z, xStart = x, yStart = y;
    }
}

void FXItemCameraZoom::OnRender(PEnv*, double) {
    float z = 1.0f, x = 0.0f, y = 0.0f;
    if (scene && scene->cameraRunning) {
        float p = scene->cameraPhaser.value;
        z = zoomStart + (zoomEnd - zoomStart) * p;
        x = xStart + (xEnd - xStart) * p;
        y = yStart + (yEnd - yStart) * p;
    } else if (scene) {
        CameraValues(scene->actZoom, scene->actX, scene->actY, &z, &x, &y);
    }
    FXMatrix s, t;
    s.SetScaleF(z, z, 1.0f);
    t.SetMoveF(x, y, 0.0f);
    matrix.Multiply(&s, &t);
}

void FXItemCameraZoom::DependRender(PEnv* env, double time, bool pre) { DependRenderTransform(env, time, pre); }

bool FXItemCameraZoom::LoadC(FXPackage* pck, FXPackageData* d, int version) {
    if (!FXItem::LoadC(pck, d, version)) return false;
    FXItemReader r(d);
    zoomStep = r.Float();
    return r.whole;
}

bool FXItemCameraZoom::Save(FILE* f, const char* folder) {
    if (!FXItem::Save(f, folder)) return false;
    localWriteFloat(f, zoomStep);
    return !ferror(f);
}
