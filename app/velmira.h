// The screen saver's application objects and values, and its start-up and
// shut-down. The objects live for the whole process; start-up fills them and
// shut-down empties them.
#pragma once

#include <cstdint>

#include "anim/phaser.h"
#include "app/director.h"
#include "app/randomint.h"
#include "app/sets.h"
#include "gadgets/err_gadget.h"
#include "geometry/desk.h"
#include "package/package.h"
#include "render/gl.h"
#include "render/light.h"
#include "render/material.h"

// The top renderer handed to the render loop.
class Scene : public PRender {
public:
    void OnRender(PEnv* env, double t) override;
};

extern FXPackage pck;
extern FXGL gr;
extern FXLight light0;
extern FXDesk preview;
extern FXMaterial preview_mat;
extern FXPhaser start_phaser;
extern float aspectx, aspecty, aspectdst;
extern FXDesk banner;
extern FXMaterial banner_mat;
extern FXDesk banner1;
extern FXMaterial banner_mat1;
extern RandomInt r_bill, r_bill_anim, r_can, r_bubs;
extern FXErrGadget err_gad;
extern BubbleSlot* bubs[kBubbleCount];
extern VelmiraSets sets;
extern Scene sc;

extern bool isPreview;
extern bool escapeHit;
extern bool started;
extern double startTime;
extern bool hasError;
extern char fenroPath[520];
// Engine time when the program started (for the start-up figures in the log).
extern double processStartTime;

// The director's values.
extern bool first;
extern int32_t doing;
extern bool first_can;
extern int32_t fenro_test;
extern int32_t bubs_starting;
extern int32_t act_bub;
extern int32_t act_bill;
extern int32_t act_anim;
extern double cc_showing_time;
extern double cc_showing_time_intro;

// What InitScene takes the desktop picture from.
enum FXDesktopSource {
    FX_DESKTOP_CAPTURE,  // the screen, before the window draws
    FX_DESKTOP_FILE,     // a picture file (the offline renderer)
};

// Reads the data folder from the user's configuration; 0 when it was read.
int localReadConfig();
// Installs the screen saver for the user; with a data folder in fenroPath it
// also writes the configuration.
void localRegister(void* window);
void InitScene(void* window, bool preview);
// The same with the desktop taken from a picture file instead of the screen.
// startLoop false leaves the frames to the caller (the offline renderer).
void InitSceneFrom(void* window, bool preview, FXDesktopSource source, const char* desktopFile, bool startLoop);
void DestroyScene();
// Puts the director and the values back to their start (for a second run in
// one process, as the offline renderer and the tests do).
void fxResetShow();
