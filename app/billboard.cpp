#include "app/billboard.h"

#include "app/velmira.h"
#include "base/other.h"
#include "math/3dmath.h"

namespace {

void localShape(FXPhaser* p, double duration) {
    p->duration = duration;
    p->loop = false;
    p->bounce = false;
    p->smooth = true;
}

// Products are formed in double precision and kept as floats.
float localF(double v) { return static_cast<float>(v); }

}  // namespace

Billboard::Billboard()
    : opacity(0.35f),
      hiding(false),
      restartTimer(true),
      anim(0),
      step(0),
      finished(true),
      scale(1.0f),
      y(0.0f),
      x(0.0f),
      alpha(0.0f),
      baseTime(1.0) {
    localShape(&scenarioPhaser, 5.0);
    localShape(&hidePhaser, 1.0);
}

void Billboard::LoadCN(FXPackage* package, int entry) {
    Destroy();
    desk.Create(1, 1);
    desk.mesh.colorMode = 1;
    const float c[4] = {1.0f, 1.0f, 1.0f, opacity};
    desk.UpdateColCol(c);
    material.LoadTextureCN(package, entry);
    desk.SetMaterial(&material);
    localShape(&scenarioPhaser, 5.0);
    localShape(&hidePhaser, 1.0);
    hiding = false;
    restartTimer = true;
    anim = step = 0;
    finished = true;
    scale = 1.0f;
    y = x = alpha = 0.0f;
    baseTime = 1.0;
}

void Billboard::Start(int a) {
    // Each billboard reseeds the show's random source.
    fxResetRandom();
    anim = a;
    step = 0;
    finished = false;
    restartTimer = true;
    scale = 1.0f;
    y = x = alpha = 0.0f;
    scenarioPhaser.duration = baseTime;
    hiding = false;
    hidePhaser.value = 0.0f;
    hidePhaser.active = false;
    if (a == 0) {
        scale = 3.0f;
        y = 0.7f;
    } else if (a < 0 || a > 3) {
        finished = true;
    }
}

void Billboard::Hide(double t) {
    hiding = true;
    hidePhaser.Restart(t);
}

void Billboard::Next(double duration, double t) {
    ++step;
    scenarioPhaser.duration = duration;
    scenarioPhaser.Restart(t);
}

void Billboard::End() {
    alpha = 0.0f;
    finished = true;
}

void Billboard::OnScenar(PEnv* env, double t) {
    if (finished) return;
    if (restartTimer) {
        restartTimer = false;
        scenarioPhaser.Restart(t);
    }
    scenarioPhaser.OnRender(env, t);
    const double v = scenarioPhaser.value, O = opacity, B = baseTime;
    const bool on = scenarioPhaser.active;
    // Every scenario opens with a fade in over B and closes with a fade out
    // over B; the steps between glide and zoom.
    const int last = anim < 2 ? 3 : 2;
    if (step == 0) {
        if (on) {
            alpha = localF(v * O);
        } else {
            alpha = opacity;
            Next((anim == 0 ? 20 : 30) * B, t);
        }
        return;
    }
    if (step == last) {
        if (anim == 0 && on) scale = localF(0.1 * v + 1.5);
        if (on)
            alpha = localF((1.0 - v) * O);
        else
            End();
        return;
    }
    switch (anim * 4 + step) {
        case 0 * 4 + 1:
            if (on)
                y = localF(0.7 - 1.4 * v);
            else
                y = -0.7f, Next(15 * B, t);
            break;
        case 0 * 4 + 2:
            if (on) {
                y = localF((1.0 - 0.4 * v) * -0.7);
                x = localF(-0.15 * v);
                scale = localF(3.0 - 1.5 * v);
            } else {
                Next(B, t);
            }
            break;
        case 1 * 4 + 1:
            if (on) {
                y = localF(-0.4 * 0.7 * v);
                scale = localF(2.0 * v + 1.0);
            } else {
                Next(15 * B, t);
            }
            break;
        case 1 * 4 + 2:
            if (on)
                y = localF((0.5 * v + 0.4) * -0.7);
            else
                Next(B, t);
            break;
        case 2 * 4 + 1:
        case 3 * 4 + 1:
            if (on) {
                y = localF(-0.7 * v);
                float v2 = static_cast<float>(v * v);
                scale = anim == 2 ? localF(2.0 * v + 1.0) : localF(2.0 * v2 + 1.0);
            } else {
                Next(B, t);
            }
            break;
        default:
            End();
            break;
    }
}

bool Billboard::PrepareSize(float* w, float* h) const {
    const float pw = material.GetWidthF(), ph = material.GetHeightF();
    if (!material.textureReady || !(pw > 0.0f) || !(ph > 0.0f)) return false;
    const float r = pw / ph, A = velmira.aspectdst;
    if (r == A) {
        *w = *h = 1.0f;
    } else if (r < A) {
        *h = 1.0f;
        *w = pw / (ph * A);
    } else {
        *w = 1.0f;
        *h = ph / ((1.0f / A) * pw);
    }
    return true;
}

void Billboard::OnRender(PEnv* env, double t) {
    if (!env) return;
    if (hiding) {
        hidePhaser.OnRender(env, t);
        if (hidePhaser.value >= 1.0f) return;
    }
    OnScenar(env, t);
    float w, h;
    if (!PrepareSize(&w, &h)) return;
    desk.SetVertexPos(1, -w, h);
    desk.SetVertexPos(2, w, h);
    desk.SetVertexPos(3, w, -h);
    desk.SetVertexPos(4, -w, -h);
    const float hide = hiding ? hidePhaser.value : 0.0f;
    const float c[4] = {1.0f, 1.0f, 1.0f, (1.0f - hide) * alpha};
    if (!(c[3] > 0.0f)) return;
    desk.UpdateColCol(c);
    FXMatrix left, size, offset;
    left.SetMoveF(-0.4f, 0.0f, 0.0f);
    size.SetScaleF(scale, scale, 1.0f);
    offset.SetMoveF(x, y, 0.0f);
    env->ApplyMatrixIdentity();
    env->MultiplyMatrix(&left);
    env->MultiplyMatrix(&size);
    env->MultiplyMatrix(&offset);
    desk.OnRender(env, t);
}

void Billboard::Destroy() {
    desk.Destroy();
    material.Destroy();
}
