// The show object and the show director that the render loop calls every
// frame.
#include <GL/gl.h>

#include "app/velmira.h"
#include "base/trace.h"
#include "math/3dmath.h"

VelmiraApp velmira;

void fxResetShow() {
    velmira.director = VelmiraDirector();
    velmira.run = VelmiraRun();
    VelmiraSets& sets = velmira.sets;
    sets.state = 0;
    sets.stopRequested = false;
    sets.kind = -1;
    sets.phase = 0;
    sets.started = 0;
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

// The frame rate goes over everything else, last in every frame.
void localFps(PEnv* env, double t) {
    if (velmira.run.showFps) velmira.fps.OnRender(env, t);
}

void localPreview(PEnv* env, double t) {
    if (!localFrameStart(env)) return;
    localDrawPicture(&velmira.preview, &velmira.preview_mat, env, t);
    localFps(env, t);
    env->RenderEnd();
}

// Without a package every frame, the first included, shows the notice.
void localNotice(PEnv* env, double t) {
    if (!localFrameStart(env)) return;
    velmira.notice.OnRender(env, t);
    localFps(env, t);
    env->RenderEnd();
}

void localOpening(PEnv* env, double t) {
    VelmiraApp& a = velmira;
    VelmiraDirector& d = a.director;
    a.start_phaser.OnRender(env, t);
    float v;
    if (!a.start_phaser.active) {
        trc("opening done: %d frames in %.3f s\n", d.frames, t - d.openingStart);
        v = 1.0f;
        d.doing = 1;
        a.sets.Start(0, false, t);
        d.r_can.Push(0, 4);
        d.act_bub = -1;
    } else {
        v = a.start_phaser.value;
    }
    // The desktop darkens to 30 % while the overlay and banners fade in.
    float f = 1.0f - 0.7f * v;
    a.light0.SetDefDiffuse(1.0f);
    a.light0.MultiColorF(f, f, f, 1.0f);
    env->EnableLights(true);
    a.sets.screenDesk.OnRender(env, t);
    env->EnableLights(false);
    const float c[4] = {1.0f, 1.0f, 1.0f, v};
    a.sets.frameDesk.UpdateColCol(c);
    localDrawPicture(&a.sets.frameDesk, &a.sets.frameMaterial, env, t);
    a.banner.UpdateColCol(c);
    a.banner1.UpdateColCol(c);
}

void localSetsRun(PEnv* env, double t) {
    VelmiraApp& a = velmira;
    VelmiraDirector& d = a.director;
    a.sets.OnRender(env, t);
    if (a.sets.state == 1) {
        fxBubbleRule(t, &a.sets, a.bubs, &d.bubs_starting, &d.act_bub, &d.r_bubs);
    } else if (a.sets.state == 2) {
        int kind = fxChooseNextKind(&d.r_can, &d.fenro_test);
        a.sets.Start(kind, false, t);
        d.first_can = false;
    }
    // The current billboard is drawn by the sets, behind their movie.
    fxBillboardRule(&a.sets, d.first_can, &d.act_bill, &d.act_anim, &d.r_bill, &d.r_bill_anim);
    if (d.act_bub >= 0 && d.act_bub < kBubbleCount && a.bubs[d.act_bub]) a.bubs[d.act_bub]->OnRender(env, t);
}

void localBanners(PEnv* env, double t) {
    VelmiraApp& a = velmira;
    FXMatrix s, t1, t2;
    s.SetScaleF(0.13f, 0.145f, 1.0f);
    t1.SetMoveF(-0.87f, 0.85f, 0.0f);
    t2.SetMoveF(-0.63f, 0.85f, 0.0f);
    env->ApplyMatrixIdentity();
    env->MultiplyMatrix(&t1);
    env->MultiplyMatrix(&s);
    localDrawPicture(&a.banner, &a.banner_mat, env, t);
    env->ApplyMatrixIdentity();
    env->MultiplyMatrix(&t2);
    env->MultiplyMatrix(&s);
    localDrawPicture(&a.banner1, &a.banner_mat1, env, t);
    env->ApplyMatrixIdentity();
    a.err_gad.OnRender(env, t);
}

}  // namespace

void Scene::OnRender(PEnv* env, double t) {
    if (!env) return;
    VelmiraApp& a = velmira;
    VelmiraDirector& d = a.director;
    if (a.run.noPackage) {
        localNotice(env, t);
        return;
    }
    if (a.run.isPreview) {
        localPreview(env, t);
        return;
    }
    // The first frame is drawn into the back buffer without a clear and is
    // never presented: the second frame is the first one seen.
    if (!d.first && !localFrameStart(env)) return;
    env->UpdateLights();
    if (d.first) {
        a.sets.screenMaterial.PreserveCols();
        a.start_phaser.Restart(t);
        d.openingStart = t;
        d.doing = 0;
    }
    glEnable(GL_NORMALIZE);
    env->ApplyMatrixIdentity();
    if (d.doing == 0)
        localOpening(env, t);
    else
        localSetsRun(env, t);
    localBanners(env, t);
    localFps(env, t);
    if (!d.first) env->RenderEnd();
    if (++d.frames == 2)
        trc("%s, %.3f s after the start\n",
            a.run.presentedEarly ? "the opening's first frame presented" : "first frame presented",
            t - a.processStartTime);
    // The frame rate in the log every ten seconds of the show.
    if (d.frames <= 2) {
        d.periodStart = t;
        d.periodFrames = 0;
        d.periodGaps.Clear();
    } else {
        d.periodGaps.Add(t - d.lastFrame);
        if (++d.periodFrames > 0 && t - d.periodStart >= 10.0) {
            trc("show: %d frames in %.1f s, longest %.0f ms, 99 %% within %d ms\n", d.periodFrames,
                t - d.periodStart, 1000.0 * d.periodGaps.longest, d.periodGaps.Within(0.99));
            d.periodStart = t;
            d.periodFrames = 0;
            d.periodGaps.Clear();
        }
    }
    d.lastFrame = t;
    d.first = false;
}
