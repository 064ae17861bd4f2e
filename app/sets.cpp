#include "sets.h"

#include "app/entries.h"
#include "base/paths.h"
#include "package/package.h"
#include "render/env.h"

VelmiraSets::VelmiraSets() : state(0), stopRequested(false), kind(-1), phase(0), billboardCount(0) {}

void VelmiraSets::Load(FXPackage* package) {
    fade.duration = 2.0;
    fade.loop = false;
    fade.bounce = false;
    fxSetPath(1);

    frameDesk.Create(1, 1);
    frameMaterial.LoadTextureCN(package, kEntryFrameOverlay);
    frameMaterial.SetDefDiffuse(1.0f);
    frameDesk.SetMaterial(&frameMaterial);
    frameDesk.mesh.colorMode = 1;

    billboardCount = 5;
}

// The kinds as started: which kind the set then reports and the phase it
// begins in (the alternative begins with the main part).
void VelmiraSets::Start(int k, bool alternative, double) {
    state = 0;
    stopRequested = false;
    switch (k) {
        case 0:
            kind = 1;
            phase = 0;
            break;
        case 1:
            kind = 1;
            phase = 1;
            break;
        case 2:
        case 3:
        case 4:
        case 5:
            kind = k;
            phase = alternative ? 1 : 0;
            break;
        default:
            kind = -1;
            break;
    }
}

void VelmiraSets::Stop() {
    if (!stopRequested) stopRequested = true;
}

void VelmiraSets::DrawDesktop(PEnv* env) {
    env->EnableLights(true);
    env->ApplyMatrixIdentity();
    screenDesk.OnRender(env, 0.0);
    env->EnableLights(false);
}

void VelmiraSets::OnRender(PEnv* env, double t) {
    if (!env) return;
    if (kind != 5 || phase == 0) DrawDesktop(env);
    // Without its picture the overlay would be a plain white sheet.
    if (frameMaterial.textureReady) frameDesk.OnRender(env, t);
}

void VelmiraSets::Destroy() {
    screenMaterial.Destroy();
    screenDesk.Destroy();
    frameDesk.Destroy();
    frameMaterial.Destroy();
}
