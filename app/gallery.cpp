#include "app/gallery.h"

#include "app/entries.h"
#include "render/env.h"

Scrshots::Scrshots() : count(0), stage(0), request(0), done(false) {
    for (FXPhaser& p : phasers) {
        p.duration = 2.0;
        p.loop = false;
        p.smooth = false;
    }
}

void Scrshots::Load(FXPackage* package) {
    count = 3;
    const int entries[3] = {kEntryGallery1, kEntryGallery2, kEntryGallery3};
    FXMatrix s;
    s.SetScaleF(0.3f, 0.3f, 1.0f);
    for (int i = 0; i < count; ++i) {
        materials[i].LoadTextureCN(package, entries[i]);
        desks[i].Create(1, 1);
        desks[i].SetMaterial(&materials[i]);
        desks[i].mesh.colorMode = 1;
        phasers[i].duration = 2.0;
        phasers[i].loop = false;
        phasers[i].smooth = false;
        // Centred at x = -0.66, 0 and 0.66, y = 0.6: the translation acts first.
        FXMatrix move;
        move.SetMoveF(static_cast<float>(i - 1) * 2.2f, 2.0f, 0.0f);
        matrices[i].Multiply(&s, &move);
    }
    stage = request = 0;
    done = false;
}

void Scrshots::Show() {
    request = 1;
    done = false;
}

void Scrshots::Hide() {
    request = -1;
    done = false;
}

// A picture the package did not deliver is left out, never a white sheet.
void Scrshots::Draw(int i, PEnv* env, double t, float alpha) {
    if (!materials[i].textureReady) return;
    const float c[4] = {1.0f, 1.0f, 1.0f, alpha};
    desks[i].UpdateColCol(c);
    env->ApplyMatrix(&matrices[i]);
    desks[i].OnRender(env, t);
}

void Scrshots::OnRender(PEnv* env, double t) {
    if (!env) return;
    if (request == 1) stage = 1;
    if (request == -1) stage = -1;
    if (request != 0) {
        phasers[0].Restart(t);
        request = 0;
    }
    if (count < 1) return;
    if (stage >= 1) {
        // Each picture fades in over 2 s; the next starts once it is 30 % in.
        for (int i = 0; i < count && i < 3; ++i) {
            phasers[i].OnRender(env, t);
            Draw(i, env, t, phasers[i].value);
            if (stage == i + 1) {
                if (i < 2 && phasers[i].value >= 0.3f) {
                    stage = i + 2;
                    phasers[i + 1].Restart(t);
                }
                if (i == 2 && phasers[i].value >= 1.0f) done = true;
                return;
            }
        }
    } else if (stage == -1) {
        phasers[0].OnRender(env, t);
        const float a = 1.0f - phasers[0].value;
        for (int i = 0; i < count && i < 3; ++i) Draw(i, env, t, a);
        if (phasers[0].value >= 1.0f) done = true;
    }
}

void Scrshots::Destroy() {
    for (int i = 0; i < kMax; ++i) {
        materials[i].Destroy();
        desks[i].Destroy();
    }
    count = 0;
    stage = request = 0;
    done = false;
}
