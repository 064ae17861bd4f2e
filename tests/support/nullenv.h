// An environment without a device: it only counts what is asked of it. Tests
// of the render loop and the loop benchmark drive it.
#pragma once

#include <atomic>

#include "render/env.h"

namespace fxtest {

class NullEnv : public PEnv {
public:
    std::atomic<int> actOn{0}, actOff{0};
    std::atomic<int> applied{0};

    ~NullEnv() override { StopLoop(100000.0); }

    bool CreateChild(void*) override { return true; }
    void ClrParams() override {}
    void SetAct(bool on) override { (on ? actOn : actOff)++; }
    bool RenderStart() override { return true; }
    void RenderEnd() override {}
    void SetClrColor(const float*) override {}
    void Clrscr(bool, bool, bool) override {}
    void Enlarge(bool) override {}
    void UpdateLights() override {}
    void ApplyMaterial(FXMaterial*) override { applied++; }
    void ApplyMaterial2(FXMaterial*) override {}
    void ApplyMatrix(FXMatrix* m) override { curMatrix.Copy(m); }
    void MultiplyMatrix(FXMatrix*) override {}
    void ApplyMatrixIdentity() override { curMatrix.SetIdentity(); }
    void EnableLights(bool) override {}
    void EnableLight(bool, FXLight*) override {}
    void DisableAllLights() override {}
    void SetAmbient(const float*) override {}
    void EnableDepthTest(bool) override {}
    void EnableDepthWrite(bool) override {}
    void EnableCullface(bool, bool) override {}
    bool PrepareTexture(FXMaterial*) override { return true; }
    bool FastPrepareTexture(FXMaterial*, FXPixmap*) override { return true; }
    bool PrepareCubeTexture(FXMaterial*, FXPixmap**) override { return false; }
    void UnprepareTexture(FXMaterial*) override {}
    void DrawTriangles(const FXTriangles&) override {}
};

}  // namespace fxtest
