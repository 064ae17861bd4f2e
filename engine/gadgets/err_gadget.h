// The error picture in the top-left corner of the screen, over everything.
#pragma once

#include "geometry/desk.h"
#include "geometry/scrpos01.h"
#include "render/env.h"
#include "render/material.h"

class FXPackage;

class FXErrGadget : public PRender {
public:
    bool visible;
    FXDesk desk;
    FXMaterial material;
    FXScrPos01 placement;

    FXErrGadget() : visible(false) {}
    ~FXErrGadget() { Destroy(); }

    // The picture from a package entry, or from "error_message.png" in the
    // current folder.
    void CreateCN(FXPackage* package, int entry);
    void Create();
    void OnRender(PEnv* env, double t) override;
    void Destroy();

private:
    void Place();
};
