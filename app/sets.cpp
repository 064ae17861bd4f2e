#include "sets.h"

#include <chrono>

#include "app/entries.h"
#include "app/velmira.h"
#include "base/other.h"
#include "base/paths.h"
#include "base/trace.h"
#include "package/package.h"
#include "render/env.h"
#include "scene/scene.h"

struct VelmiraStage {
    FXScene scene;
};

namespace {

const int kMovieEntries[VelmiraSets::kMovies] = {kEntryMovie0, kEntryMovie1, kEntryMovie2, kEntryMovie3, kEntryMovie4,
                                                 kEntryMovie5, kEntryMovie6, kEntryMovie7, kEntryMovie8};

// The bubbles: picture, caption (-1 none) and how long each holds.
struct LocalBubble {
    int picture, caption;
    double hold;
};
const LocalBubble kBubbles[kBubbleCount] = {
    {kEntryBubble0, -1, 14.0},           {kEntryBubble1, -1, 10.0},           {kEntryBubble2, kEntryCaption2, 14.0},
    {kEntryBubble3, kEntryCaption3, 14.0}, {kEntryBubble4, kEntryCaption4, 14.0}, {kEntryBubble5, kEntryCaption5, 14.0},
    {kEntryBubble6, kEntryCaption6, 14.0},
};

// The first-part and main-part movie of kinds 1 to 5.
const int kFirstMovie[6] = {-1, 0, 2, 4, 4, 7};
const int kMainMovie[6] = {-1, 1, 3, 5, 6, 8};

}  // namespace

VelmiraSets::VelmiraSets() : state(0), stopRequested(false), kind(-1), phase(0), billboardCount(0) {}

void VelmiraSets::Load(FXPackage* package) {
    for (int i = 0; i < kMovies; ++i) movies[i].LoadCN(package, kMovieEntries[i]);
    LoadStage(package);
    fade.duration = 2.0;
    fade.loop = false;
    fade.bounce = false;
    fxSetPath(1);

    // In cells, so that where the overlay is clear (most of the screen)
    // nothing is drawn: over the moving scene it is drawn every frame.
    frameDesk.Create(32, 24);
    frameMaterial.LoadTextureCN(package, kEntryFrameOverlay);
    frameMaterial.SetDefDiffuse(1.0f);
    frameDesk.SetMaterial(&frameMaterial);
    frameDesk.mesh.colorMode = 1;
    if (frameMaterial.textureReady && frameMaterial.textureImage) {
        int clear = frameDesk.LeaveOutClearCells(*frameMaterial.textureImage, 4);
        trc("VelmiraSets::Load -> frame overlay: %d of %d cells clear\n", clear, frameDesk.w * frameDesk.h);
    }

    for (int i = 0; i < kBillboards; ++i) billboards[i].LoadCN(package, kEntryBillboard1 + i);
    billboardCount = kBillboards - 1;

    for (int i = 0; i < kBubbleCount; ++i) {
        velmira.bubbles[i].LoadCN(package, kBubbles[i].picture, kBubbles[i].caption, kBubbles[i].hold);
        velmira.bubs[i] = &velmira.bubbles[i];
    }
    int frames = 0;
    for (const VelmiraMovie& m : movies) frames += m.movie.FrameCount();
    trc("VelmiraSets::Load -> %d movie frames\n", frames);
}

// The kinds as started: the movie that opens the set, which kind the set then
// reports and the phase it begins in (the alternative begins with the main
// part). A first-part movie plays once: the set waits for its end.
void VelmiraSets::Start(int k, bool alternative, double t) {
    const VelmiraDirector& d = velmira.director;
    state = 0;
    stopRequested = false;
    if (k < 0 || k > 5) {
        kind = -1;
        return;
    }
    kind = k == 0 ? 1 : k;
    // A new set may meet another light or overlay: its first frame draws
    // the background afresh.
    keptValid = false;
    phase = k == 1 || (k > 1 && alternative) ? 1 : 0;
    if (kind == 5) {
        Billboard* b = Current(d.act_bill);
        if (b) b->Hide(t);
    }
    const bool first = phase == 0;
    VelmiraMovie& m = movies[first ? kFirstMovie[kind] : kMainMovie[kind]];
    m.StartShowing(1, first ? d.cc_showing_time_intro : d.cc_showing_time, t);
    const bool backward = !first && kind != 3 && kind != 4;
    // Kind 4's closing movie plays to its end before the set fades out.
    const bool once = first || kind == 4;
    if (backward)
        m.RestartBack(t, once);
    else
        m.Restart(t, once);
    // Numbered, with the show's time, so that a show can be followed from its log.
    trc("set %d kind %d at %.1f s%s\n", ++started, k, t - velmira.director.openingStart,
        alternative ? " (alternative)" : "");
}

void VelmiraSets::Stop() {
    if (!stopRequested) stopRequested = true;
}

Billboard* VelmiraSets::Current(int index) {
    return index >= 0 && index < kBillboards ? &billboards[index] : nullptr;
}

void VelmiraSets::DrawDesktop(PEnv* env) {
    env->EnableLights(true);
    env->ApplyMatrixIdentity();
    screenDesk.OnRender(env, 0.0);
    env->EnableLights(false);
}

void VelmiraSets::DrawFrame(PEnv* env, double t) {
    env->ApplyMatrixIdentity();
    // Without its picture the overlay would be a plain white sheet.
    if (frameMaterial.textureReady) frameDesk.OnRender(env, t);
}

void VelmiraSets::DrawBackground(PEnv* env, double t) {
    if (keepBackground && keptValid && keptSize[0] == env->viewWidth && keptSize[1] == env->viewHeight &&
        env->DrawKeptFrame(&keptBackground))
        return;
    DrawDesktop(env);
    DrawFrame(env, t);
    // Drawn first in the frame, the two layers are all the back buffer holds.
    if (keepBackground) {
        keptValid = env->KeepFrame(&keptBackground);
        keptSize[0] = env->viewWidth;
        keptSize[1] = env->viewHeight;
    }
}

// Billboards lie behind the model: drawn over it, a translucent picture would
// veil the photo the set is about.
void VelmiraSets::DrawBillboard(PEnv* env, double t) {
    Billboard* b = Current(velmira.director.act_bill);
    if (b) b->OnRender(env, t);
}

void VelmiraSets::DrawMovie(int i, PEnv* env, double t) {
    DrawBillboard(env, t);
    env->ApplyMatrixIdentity();
    movies[i].OnRender(env, t);
}

// Kinds 1 to 4: a first-part movie, then the main one, faded out when the
// director asks (kind 4: when its closing movie has played).
void VelmiraSets::RenderPair(PEnv* env, double t) {
    const VelmiraDirector& d = velmira.director;
    VelmiraMovie& a = movies[kFirstMovie[kind]];
    VelmiraMovie& b = movies[kMainMovie[kind]];
    switch (phase) {
        case 0:
            DrawMovie(kFirstMovie[kind], env, t);
            if (a.finished && a.showing == 0) {
                state = 1;
                phase = 1;
                if (kind <= 2)
                    b.RestartBack(t);
                else
                    b.Restart(t, kind == 4);
                b.UpdateTransp(1.0f);
                b.showing = 0;
            }
            break;
        case 1:
            DrawMovie(kMainMovie[kind], env, t);
            if (b.showing != 0) break;
            state = 1;
            if (kind == 4 ? b.finished : stopRequested) {
                b.StartShowing(-1, kind == 4 ? d.cc_showing_time_intro : d.cc_showing_time, t);
                phase = 2;
            }
            break;
        default:
            DrawMovie(kMainMovie[kind], env, t);
            if (b.showing == 0) state = 2;
            break;
    }
}

// The 3D scene with the model in front of it.
void VelmiraSets::DrawStage(PEnv* env, double t) {
    DrawScene(env, t);
    env->EnableLights(true);
    env->EnableDepthTest(true);
    env->EnableDepthWrite(true);
    // Only now may the depth buffer be cleared (a clear obeys the depth
    // mask): whatever the scene left there would hide parts of the model.
    env->Clrscr(false, true, false);
    env->ApplyMatrixIdentity();
    env->EnableCullface(false, true);
    DrawModel(env, t);
    env->EnableCullface(false, false);
    env->EnableDepthWrite(false);
    env->EnableDepthTest(false);
    env->EnableLights(false);
}

// The renderer sets up each new kind of draw the first time it meets it
// (llvmpipe compiles a program for it): some 40 ms for the first copy of a
// frame into a texture, 25 ms for the stage. Met here, at load, in a back
// buffer the first frame clears, they no longer stall the first frame of
// the first set and of the gallery's scene. Nothing drawn is kept, and the
// random source is left as it was.
void VelmiraSets::WarmUp(PEnv* env, double t) {
    if (!env) return;
    const unsigned seed = fxRandState();
    env->UpdateLights();
    env->ApplyMatrixIdentity();
    DrawStage(env, t);
    env->ApplyMatrixIdentity();
    if (keepBackground) env->KeepFrame(&keptBackground);
    keptValid = false;
    fxSrand(seed);
}

// Kind 5: the gallery over the desktop with its movie, then the 3D scene and
// model with the main movie; on the director's word the desktop fades back
// in, the movie fades out and a new billboard takes over.
void VelmiraSets::RenderGallery(PEnv* env, double t) {
    VelmiraApp& app = velmira;
    VelmiraDirector& d = app.director;
    Scrshots& shots = app.shots;
    VelmiraMovie& a = movies[7];
    VelmiraMovie& b = movies[8];
    if (phase == 0) {
        DrawBackground(env, t);
        shots.Show();
    } else {
        DrawStage(env, t);
    }
    switch (phase) {
        case 0:
            shots.OnRender(env, t);
            DrawMovie(7, env, t);
            if (a.finished && a.showing == 0) {
                phase = 1;
                b.RestartBack(t);
                b.UpdateTransp(1.0f);
                b.showing = 0;
                StartModel(t);
                trc("set %d: scene and model at %.1f s\n", started, t - d.openingStart);
            }
            break;
        case 1:
        case 2:
            DrawFrame(env, t);
            shots.OnRender(env, t);
            DrawMovie(8, env, t);
            if (b.showing != 0 || ModelPlaying(t)) break;
            if (phase == 1) {
                state = 1;
                phase = 2;
            } else if (stopRequested) {
                fade.duration = d.cc_showing_time_intro;
                fade.Restart(t);
                phase = 3;
                shots.Hide();
            }
            break;
        case 3:
            fade.OnRender(env, t);
            if (fade.active) {
                const float c[4] = {1.0f, 1.0f, 1.0f, fade.value}, one[4] = {1.0f, 1.0f, 1.0f, 1.0f};
                screenMaterial.MultiCols(c);
                DrawDesktop(env);
                screenMaterial.MultiCols(one);
            } else {
                DrawDesktop(env);
                b.StartShowing(-1, d.cc_showing_time_intro, t);
                phase = 4;
            }
            DrawFrame(env, t);
            shots.OnRender(env, t);
            DrawMovie(8, env, t);
            break;
        default:
            DrawDesktop(env);
            shots.OnRender(env, t);
            DrawFrame(env, t);
            DrawMovie(8, env, t);
            if (b.showing == 0) {
                state = 2;
                Billboard* cur = Current(d.act_bill);
                if (cur) cur->hiding = false;
                fxStartNextBillboard(this, &d.act_bill, &d.act_anim, &d.r_bill, &d.r_bill_anim);
            }
            break;
    }
}

void VelmiraSets::OnRender(PEnv* env, double t) {
    if (!env) return;
    if (kind != 5) DrawBackground(env, t);
    if (kind >= 1 && kind <= 4)
        RenderPair(env, t);
    else if (kind == 5)
        RenderGallery(env, t);
    else
        DrawBillboard(env, t);
}

void VelmiraSets::Destroy() {
    for (VelmiraMovie& m : movies) m.Destroy();
    screenMaterial.Destroy();
    screenDesk.Destroy();
    keptBackground.Destroy();
    keptValid = false;
    DestroyStage();
    frameDesk.Destroy();
    frameMaterial.Destroy();
    for (Billboard& b : billboards) b.Destroy();
    for (int i = 0; i < kBubbleCount; ++i) {
        velmira.bubbles[i].Destroy();
        velmira.bubs[i] = nullptr;
    }
}

// The model, made to fit the screen, posed at its start and standing still
// until the gallery set starts it; then the root scene. A package without
// either leaves them empty: the scene draws nothing and the model never
// plays, so the set goes on as without them.
void VelmiraSets::LoadStage(FXPackage* package) {
    // Real time, not the show's clock: offline that clock stands still here.
    const auto begin = std::chrono::steady_clock::now();
    anim.LoadCN(package, kEntryGalleryModel);
    anim.PrepareForShow();
    const double modelSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    if (!stage) stage = new VelmiraStage;
    stage->scene.LoadC(package);
    const double sceneSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count() - modelSeconds;
    trc("VelmiraSets::Load -> model: %d frames in %.3f s; scene: %d items in %.3f s\n", anim.FrameCount(),
        modelSeconds, stage->scene.items.count, sceneSeconds);
}

void VelmiraSets::DrawScene(PEnv* env, double t) {
    if (!stage || stage->scene.items.count == 0) return;
    env->ApplyMatrixIdentity();
    stage->scene.OnRender(env, t);
}

void VelmiraSets::DrawModel(PEnv* env, double t) {
    if (anim.FrameCount() == 0) return;
    anim.OnRender(env, t);
}

void VelmiraSets::StartModel(double t) {
    modelStart = t;
    anim.StartAnim(t);
}

// An animation without frames never steps, so it would report playing for
// ever; nor may a record's frame durations (up to weeks each) hold the show.
bool VelmiraSets::ModelPlaying(double t) const {
    const double kLongestModel = 120.0;
    return anim.playing && anim.FrameCount() > 0 && t - modelStart < kLongestModel;
}

void VelmiraSets::DestroyStage() {
    anim.Destroy();
    delete stage;
    stage = nullptr;
}
