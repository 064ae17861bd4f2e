// A message shown in place of the show when it cannot run: lines of text in
// the engine's default font, light on black, centred on the screen and
// shrunk to fit a small window.
#pragma once

#include <string>
#include <vector>

#include "geometry/desk.h"
#include "geometry/scrpos01.h"
#include "render/env.h"
#include "render/material.h"

class VelmiraNotice : public PRender {
public:
    FXDesk desk;
    FXMaterial material;  // its own canvas holds the drawn lines
    FXScrPos01 placement;

    // Draws the lines into the picture and uploads it (the device must be
    // current). False when nothing could be drawn (no font).
    bool Create(const std::vector<std::string>& lines);
    void OnRender(PEnv* env, double t) override;
    void Destroy();
};
