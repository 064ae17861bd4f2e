// A bubble: a picture that fades in over the upper part of the show, lets
// its caption rise out of it, holds, fades out and says it has finished.
#pragma once

#include <cstdint>

#include "anim/phaser.h"
#include "app/director.h"
#include "geometry/desk.h"
#include "render/material.h"

class FXPackage;

class Bubble : public BubbleSlot {
public:
    bool finished;
    FXDesk bubbleDesk;
    FXDesk captionDesk;
    FXMaterial bubbleMaterial;
    FXMaterial captionMaterial;
    int32_t state;  // 0 idle, 1 fading in, 2 caption rising, 3 holding, 4 fading out
    FXPhaser phaser;
    double holdTime;
    bool hasCaption;

    Bubble();

    // A caption entry of -1: no caption.
    void LoadCN(FXPackage* package, int picture, int caption, double hold);
    void Start(double t) override;
    bool IsFinished() const override { return finished; }
    void OnRender(PEnv* env, double t) override;
    void Destroy();

private:
    void Next(int32_t next, double duration, double t);
};
