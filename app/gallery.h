// The screenshot gallery: a row of three thumbnails across the upper part of
// the screen that appear one after another and disappear together.
#pragma once

#include <cstdint>

#include "anim/phaser.h"
#include "geometry/desk.h"
#include "math/3dmath.h"
#include "render/material.h"

class FXPackage;
class PEnv;

class Scrshots {
public:
    enum { kMax = 6 };
    int32_t count;  // pictures used
    FXDesk desks[kMax];
    FXMaterial materials[kMax];
    FXPhaser phasers[kMax];
    FXMatrix matrices[kMax];
    int32_t stage;    // 0 hidden, 1..3 appearing (the highest started), -1 disappearing
    int32_t request;  // 1 show, -1 hide, 0 none; taken by the next OnRender
    bool done;

    Scrshots();

    void Load(FXPackage* package);
    void Show();
    void Hide();
    void OnRender(PEnv* env, double t);
    void Destroy();

private:
    void Draw(int i, PEnv* env, double t, float alpha);
};
