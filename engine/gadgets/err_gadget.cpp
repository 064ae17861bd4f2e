#include "err_gadget.h"

void FXErrGadget::Place() {
    desk.SetMaterial(&material);
    placement.boxWidth = material.GetWidthF();
    placement.boxHeight = material.GetHeightF();
    placement.screenWidth = fxglobalEnv ? static_cast<float>(fxglobalEnv->screenWidth) : 0.0f;
    placement.screenHeight = fxglobalEnv ? static_cast<float>(fxglobalEnv->screenHeight) : 0.0f;
    placement.SetPos(10.0f, 10.0f);
    placement.Update();
}

void FXErrGadget::CreateCN(FXPackage* package, int entry) {
    desk.Create(1, 1);
    material.LoadTextureCN(package, entry);
    Place();
}

void FXErrGadget::Create() {
    desk.Create(1, 1);
    material.LoadTexture("error_message.png");
    Place();
}

void FXErrGadget::OnRender(PEnv* env, double t) {
    if (!visible || !env) return;
    env->EnableDepthTest(false);
    env->EnableDepthWrite(false);
    env->EnableLights(false);
    placement.OnRender(env, t);
    desk.OnRender(env, t);
}

void FXErrGadget::Destroy() {
    desk.Destroy();
    material.Destroy();
}
