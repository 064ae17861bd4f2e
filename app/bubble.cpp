#include "app/bubble.h"

#include "math/3dmath.h"

Bubble::Bubble() : finished(false), state(0), holdTime(0.0), hasCaption(false) {
    phaser.loop = false;
    phaser.smooth = true;
}

namespace {

void localPicture(FXDesk* d, FXMaterial* m, FXPackage* package, int entry) {
    m->LoadTextureCN(package, entry);
    d->Create(1, 1);
    d->mesh.colorMode = 1;
    d->SetMaterial(m);
}

// A picture the package did not deliver is left out, never a white sheet.
void localDraw(FXDesk* d, const FXMaterial* m, PEnv* env, double t, float alpha) {
    if (!m->textureReady) return;
    const float c[4] = {1.0f, 1.0f, 1.0f, alpha};
    d->UpdateColCol(c);
    d->OnRender(env, t);
}

}  // namespace

void Bubble::LoadCN(FXPackage* package, int picture, int caption, double hold) {
    localPicture(&bubbleDesk, &bubbleMaterial, package, picture);
    hasCaption = caption != -1;
    if (hasCaption) localPicture(&captionDesk, &captionMaterial, package, caption);
    holdTime = hold;
    phaser.duration = 2.0;
    phaser.loop = false;
    phaser.smooth = true;
}

void Bubble::Start(double t) {
    finished = false;
    state = 1;
    phaser.duration = 1.0;
    phaser.Restart(t);
}

void Bubble::Next(int32_t next, double duration, double t) {
    phaser.duration = duration;
    phaser.Restart(t);
    state = next;
}

void Bubble::OnRender(PEnv* env, double t) {
    if (state == 0 || !env) return;
    phaser.OnRender(env, t);
    const float v = phaser.value;
    float a = 0.0f, c = 0.0f, p = 0.0f;
    switch (state) {
        case 1:
            if (phaser.active) {
                a = v;
            } else {
                a = 1.0f;
                Next(2, 4.0, t);
            }
            break;
        case 2:
            a = 1.0f;
            if (phaser.active && hasCaption) {
                p = v;
                c = v < 0.5f ? 2.0f * v : 1.0f;
            } else {
                Next(3, holdTime, t);
                p = c = 1.0f;
            }
            break;
        case 3:
            a = c = p = 1.0f;
            if (!phaser.active) Next(4, 1.0, t);
            break;
        case 4:
            p = 1.0f;
            if (phaser.active) {
                a = c = 1.0f - v;
            } else {
                state = 0;
                finished = true;
            }
            break;
        default:
            state = 0;
            break;
    }
    FXMatrix scale, move;
    if (hasCaption) {
        // Rises from 0.24 to 0.51 of the screen's half height above its centre.
        scale.SetScaleF(0.52f, 0.065f, 1.0f);
        move.SetMoveF(0.0f, (0.9f * p + 0.8f) * 6.0f / 1.3f, 0.0f);
        env->ApplyMatrixIdentity();
        env->MultiplyMatrix(&scale);
        env->MultiplyMatrix(&move);
        localDraw(&captionDesk, &captionMaterial, env, t, c);
    }
    // The translation is scaled with the quad: centred at (0.08, 0.24).
    scale.SetScaleF(0.4f, 0.3f, 1.0f);
    move.SetMoveF(0.2f, 0.8f, 0.0f);
    env->ApplyMatrixIdentity();
    env->MultiplyMatrix(&scale);
    env->MultiplyMatrix(&move);
    localDraw(&bubbleDesk, &bubbleMaterial, env, t, a);
}

void Bubble::Destroy() {
    bubbleDesk.Destroy();
    captionDesk.Destroy();
    bubbleMaterial.Destroy();
    captionMaterial.Destroy();
    state = 0;
    finished = false;
    hasCaption = false;
}
