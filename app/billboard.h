// A billboard: a large translucent picture on the left of the screen that
// plays one of four slow camera-like scenarios (fade in, glide, zoom, fade
// out) and then says it has finished.
#pragma once

#include <cstdint>

#include "anim/phaser.h"
#include "geometry/desk.h"
#include "render/material.h"

class FXPackage;
class PEnv;

class Billboard {
public:
    FXDesk desk;
    FXMaterial material;
    float opacity;  // full opacity
    FXPhaser scenarioPhaser;
    FXPhaser hidePhaser;
    bool hiding;
    bool restartTimer;  // the next scenario update restarts the scenario phaser
    int32_t anim;       // scenario 0 to 3
    int32_t step;       // step within the scenario
    bool finished;
    float scale;
    float y, x;  // offsets before scaling
    float alpha;
    double baseTime;  // unit of the step durations

    Billboard();

    void LoadCN(FXPackage* package, int entry);
    void Start(int anim);
    // Fades it out over a second from t; it stands still once hidden.
    void Hide(double t);
    void OnRender(PEnv* env, double t);
    void OnScenar(PEnv* env, double t);
    // Half width and half height of the quad for the picture's proportions
    // on a 4:3 screen; false (and nothing to draw) without a picture.
    bool PrepareSize(float* w, float* h) const;
    void Destroy();

private:
    void Next(double duration, double t);
    void End();
};
