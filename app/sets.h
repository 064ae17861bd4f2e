// The photo sets: the desktop picture with its frame overlay, the billboards,
// the set movies, and the set that plays at the moment.
#pragma once

#include <cstdint>

#include "anim/anim.h"
#include "anim/phaser.h"
#include "app/billboard.h"
#include "app/movie.h"
#include "geometry/desk.h"
#include "render/material.h"

class FXPackage;
struct VelmiraStage;
class PEnv;

class VelmiraSets {
public:
    enum { kMovies = 9, kBillboards = 6 };
    int32_t state;  // 0 first part, 1 main part reached, 2 ended
    bool stopRequested;
    int32_t kind;   // 1..5, -1 for none (kind 0 runs as 1)
    int32_t phase;  // step within the kind, 0..4
    VelmiraMovie movies[kMovies];
    FXMaterial screenMaterial;  // the captured desktop, "Material001"
    FXDesk screenDesk;          // 30 x 30, lit by the show's light
    FXAnim anim;                // the gallery set's model, played once per set
    // The gallery set's 3D scene, in the desktop's place; owned, null until
    // loaded. Held apart: the scene's header does not mix with the window
    // system's, which the host includes before this one.
    VelmiraStage* stage = nullptr;
    double modelStart = 0.0;    // when the model last started
    FXPhaser fade;              // the desktop's fade back in the gallery set
    FXDesk frameDesk;           // overlay over the desktop, vertex colours on
    FXMaterial frameMaterial;
    Billboard billboards[kBillboards];
    int32_t billboardCount;  // the largest billboard the director draws
    int32_t started = 0;     // sets started since the show began
    // The desktop under its overlay does not change within a set: drawn once
    // per set and kept, it costs one opaque pass a frame instead of two
    // full-screen layers. Off, every frame draws the layers.
    bool keepBackground = true;
    FXMaterial keptBackground;

    VelmiraSets();

    // The movies, the frame overlay, the billboards and the show's bubbles.
    void Load(FXPackage* package);
    void Start(int kind, bool alternative, double t);
    // Draws once, unseen, what the sets draw first, so that the renderer's
    // setting up is done at load.
    void WarmUp(PEnv* env, double t);
    void Stop();
    void OnRender(PEnv* env, double t);
    void Destroy();
    // The billboard the director has made current; null if out of range.
    Billboard* Current(int index);

private:
    void DrawDesktop(PEnv* env);
    void DrawFrame(PEnv* env, double t);
    // The desktop and its overlay, from the kept frame where there is one.
    void DrawBackground(PEnv* env, double t);
    void DrawBillboard(PEnv* env, double t);
    void DrawMovie(int i, PEnv* env, double t);
    void RenderPair(PEnv* env, double t);
    void RenderGallery(PEnv* env, double t);

    // The gallery set's 3D scene and its animated model. A package without
    // them leaves the scene empty and a model that never plays, so the set
    // goes on where it would wait for the model.
    void LoadStage(FXPackage* package);
    void DrawScene(PEnv* env, double t);
    void DrawStage(PEnv* env, double t);
    void DrawModel(PEnv* env, double t);
    void StartModel(double t);
    bool ModelPlaying(double t) const;
    void DestroyStage();

    int32_t keptSize[2] = {0, 0};  // the view the kept background was drawn for
    bool keptValid = false;
};
