// The application objects, in the order they are built, and the show
// director that the render loop calls every frame.
#include <GL/gl.h>

#include "app/velmira.h"
#include "base/trace.h"
#include "math/3dmath.h"

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
RandomInt r_bill, r_bill_anim, r_can, r_bubs;
FXErrGadget err_gad;
BubbleSlot* bubs[kBubbleCount] = {};
VelmiraSets sets;
Scene sc;

bool isPreview = false;
bool escapeHit = false;
bool started = false;
double startTime = 0.0;
bool hasError = false;
char fenroPath[520] = "";
double processStartTime = 0.0;

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

// Frames drawn since the show began, for the figures in the trace log.
static int localFrames = 0;
static double localOpeningStart = 0.0;

void fxResetShow() {
    localFrames = 0;
    first = true;
    doing = 0;
    first_can = true;
    fenro_test = 2;
    bubs_starting = 2;
    act_bub = 0;
    act_bill = 0;
    act_anim = 0;
    r_bill = r_bill_anim = r_can = r_bubs = RandomInt();
    escapeHit = false;
    started = false;
    startTime = 0.0;
    hasError = false;
    sets.state = 0;
    sets.stopRequested = false;
    sets.kind = -1;
    sets.phase = 0;
}

namespace {

// A picture the package did not deliver is left out rather than drawn as a
// plain white sheet over the show.
void localDrawPicture(FXDesk* d, const FXMaterial* m, PEnv* env, double t) {
    if (m->textureReady) d->OnRender(env, t);
}

// The frame's start: clear colour and depth, then the flat drawing state.
bool localFrameStart(PEnv* env) {
    if (!env->RenderStart()) return false;
    env->EnableDepthTest(true);
    env->EnableDepthWrite(true);
    env->Clrscr(true, true, false);
    env->EnableDepthTest(false);
    env->EnableDepthWrite(false);
    env->EnableLights(false);
    env->ApplyMatrixIdentity();
    return true;
}

void localPreview(PEnv* env, double t) {
    if (!localFrameStart(env)) return;
    if (!env->RenderStart()) return;
    env->EnableDepthTest(false);
    env->EnableDepthWrite(false);
    env->EnableLights(false);
    env->ApplyMatrixIdentity();
    localDrawPicture(&preview, &preview_mat, env, t);
    env->RenderEnd();
}

void localOpening(PEnv* env, double t) {
    start_phaser.OnRender(env, t);
    float v;
    if (!start_phaser.active) {
        trc("opening done: %d frames in %.3f s\n", localFrames, t - localOpeningStart);
        v = 1.0f;
        doing = 1;
        sets.Start(0, false, t);
        r_can.Push(0, 4);
        act_bub = -1;
    } else {
        v = start_phaser.value;
    }
    // The desktop darkens to 30 % while the overlay and banners fade in.
    float f = 1.0f - 0.7f * v;
    light0.SetDefDiffuse(1.0f);
    light0.MultiColorF(f, f, f, 1.0f);
    env->EnableLights(true);
    sets.screenDesk.OnRender(env, t);
    env->EnableLights(false);
    const float c[4] = {1.0f, 1.0f, 1.0f, v};
    sets.frameDesk.UpdateColCol(c);
    localDrawPicture(&sets.frameDesk, &sets.frameMaterial, env, t);
    banner.UpdateColCol(c);
    banner1.UpdateColCol(c);
}

void localSetsRun(PEnv* env, double t) {
    sets.OnRender(env, t);
    if (sets.state == 1) {
        fxBubbleRule(t, &sets, bubs, &bubs_starting, &act_bub, &r_bubs);
    } else if (sets.state == 2) {
        int kind = fxChooseNextKind(&r_can, &fenro_test);
        sets.Start(kind, false, t);
        first_can = false;
    }
    if (act_bub >= 0 && act_bub < kBubbleCount && bubs[act_bub]) bubs[act_bub]->OnRender(env, t);
}

void localBanners(PEnv* env, double t) {
    FXMatrix s, t1, t2;
    s.SetScaleF(0.13f, 0.145f, 1.0f);
    t1.SetMoveF(-0.87f, 0.85f, 0.0f);
    t2.SetMoveF(-0.63f, 0.85f, 0.0f);
    env->ApplyMatrixIdentity();
    env->MultiplyMatrix(&t1);
    env->MultiplyMatrix(&s);
    localDrawPicture(&banner, &banner_mat, env, t);
    env->ApplyMatrixIdentity();
    env->MultiplyMatrix(&t2);
    env->MultiplyMatrix(&s);
    localDrawPicture(&banner1, &banner_mat1, env, t);
    env->ApplyMatrixIdentity();
    err_gad.OnRender(env, t);
}

}  // namespace

void Scene::OnRender(PEnv* env, double t) {
    if (!env) return;
    if (isPreview) {
        localPreview(env, t);
        return;
    }
    // The first frame is drawn into the back buffer without a clear and is
    // never presented: the second frame is the first one seen.
    if (!first && !localFrameStart(env)) return;
    env->UpdateLights();
    if (first) {
        sets.screenMaterial.PreserveCols();
        start_phaser.Restart(t);
        localOpeningStart = t;
        doing = 0;
    }
    glEnable(GL_NORMALIZE);
    env->ApplyMatrixIdentity();
    if (doing == 0)
        localOpening(env, t);
    else
        localSetsRun(env, t);
    localBanners(env, t);
    if (!first) env->RenderEnd();
    if (++localFrames == 2) trc("first frame presented, %.3f s after the program started\n", t - processStartTime);
    first = false;
}
