// The photo sets: the desktop picture with its frame overlay, and the set
// that plays at the moment.
#pragma once

#include <cstdint>

#include "anim/phaser.h"
#include "geometry/desk.h"
#include "render/material.h"

class FXPackage;
class PEnv;

class VelmiraSets {
public:
    int32_t state;  // 0 first part, 1 main part reached, 2 ended
    bool stopRequested;
    int32_t kind;   // 1..5, -1 for none (kind 0 runs as 1)
    int32_t phase;  // step within the kind, 0..4
    FXMaterial screenMaterial;  // the captured desktop, "Material001"
    FXDesk screenDesk;          // 30 x 30, lit by the show's light
    FXPhaser fade;              // the desktop's fade back in the gallery set
    FXDesk frameDesk;           // overlay over the desktop, vertex colours on
    FXMaterial frameMaterial;
    int32_t billboardCount;

    VelmiraSets();

    void Load(FXPackage* package);
    void Start(int kind, bool alternative, double t);
    void Stop();
    void OnRender(PEnv* env, double t);
    void Destroy();

private:
    void DrawDesktop(PEnv* env);
};
