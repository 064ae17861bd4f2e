// The screen saver's show: its objects and values in one place, its
// start-up and shut-down. The objects live for the whole process; start-up
// fills them and shut-down empties them.
#pragma once

#include <cstdint>
#include <string>

#include "anim/phaser.h"
#include "app/bubble.h"
#include "app/datafolder.h"
#include "app/director.h"
#include "app/fps.h"
#include "app/gallery.h"
#include "app/notice.h"
#include "app/randomint.h"
#include "app/sets.h"
#include "app/show.h"
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

// The director's values: where the show is and what it chose last.
struct VelmiraDirector {
    bool first = true;
    int32_t doing = 0;
    bool first_can = true;
    int32_t fenro_test = 2;
    int32_t bubs_starting = 2;
    int32_t act_bub = 0;
    int32_t act_bill = 0;
    int32_t act_anim = 0;
    double cc_showing_time = 1.0;
    double cc_showing_time_intro = 2.0;
    RandomInt r_bill, r_bill_anim, r_can, r_bubs;
    // Frames drawn since the show began and when the opening began, for the
    // figures in the trace log.
    int frames = 0;
    double openingStart = 0.0;
    // Frames presented since periodStart, for the frame rate in the log, and
    // the times from one frame's start to the next's among them.
    int periodFrames = 0;
    double periodStart = 0.0;
    VelmiraFrameGaps periodGaps;
    double lastFrame = 0.0;
};

// The values of one run of the show.
struct VelmiraRun {
    bool isPreview = false;
    bool escapeHit = false;
    bool started = false;
    double startTime = 0.0;
    bool hasError = false;
    // No data package was found: the notice stands in for the show.
    bool noPackage = false;
    // The frame rate is drawn over every frame (--fps).
    bool showFps = false;
    // A first frame (the desktop as it was) was presented before the show
    // finished loading.
    bool presentedEarly = false;
};

struct VelmiraApp {
    FXPackage pck;
    FXGL gr;
    FXLight light0;
    FXDesk preview;
    FXMaterial preview_mat;
    FXPhaser start_phaser;
    float aspectx = 4.0f, aspecty = 3.0f;
    float aspectdst = aspectx / aspecty;
    FXDesk banner;
    FXMaterial banner_mat;
    FXDesk banner1;
    FXMaterial banner_mat1;
    FXErrGadget err_gad;
    BubbleSlot* bubs[kBubbleCount] = {};  // the bubbles below once loaded
    Bubble bubbles[kBubbleCount];
    Scrshots shots;
    VelmiraSets sets;
    VelmiraNotice notice;
    VelmiraFps fps;
    Scene sc;
    std::string fenroPath;  // the data folder
    // Engine time when the program started (for the start-up figures in the log).
    double processStartTime = 0.0;
    VelmiraRun run;
    VelmiraDirector director;
};

extern VelmiraApp velmira;

// Installs the screen saver for the user; with a data folder (checked first)
// it also writes the configuration. Returns the exit status.
int fxRegister(const std::string& dataFolder);
// Starts the show on the output and shows the output's window (Shown):
// full screen, as soon as the desktop can be presented, before the rest
// loads; otherwise once everything has loaded.
void InitScene(FXShowOutput* out, const FXDataSearch& data);
// False when the render thread would not stop: then nothing was freed and
// the process must end without its exit path.
bool DestroyScene();
// Ends the process at once with the status, the trace log closed: no exit
// handlers, no destructors.
[[noreturn]] void fxLeaveNow(int status);
// Once armed, the process ends with status 1 after the given time unless it
// has ended by itself: the show is being closed and nothing may hold it.
void fxShutdownDeadline(double seconds);
// Puts the director and the run's values back to their start (for a second
// run in one process, as the tests do).
void fxResetShow();
