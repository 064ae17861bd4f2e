#include "app/movie.h"

#include "math/3dmath.h"
#include "render/env.h"

VelmiraMovie::VelmiraMovie()
    : savedLoop(false),
      savedBounce(false),
      finished(false),
      restartForward(false),
      restartBackward(false),
      restartOnce(false),
      showing(0) {}

void VelmiraMovie::LoadCN(FXPackage* package, int entry) {
    movie.LoadCN(package, entry);
    movie.LoadIntoMem();
    // The show follows the movie's frame rate; the sprite movie itself never
    // waits under the offline renderer's clock.
    movie.waitExact = true;
    savedLoop = movie.loop;
    savedBounce = movie.bounce;
    movie.desk.mesh.colorMode = 1;
    movie.Prepare(-1);
    fade.duration = 2.0;
    fade.loop = false;
    fade.bounce = false;
    fade.smooth = false;
    fade.halfSmooth = false;
}

void VelmiraMovie::StartShowing(int direction, double fadeTime, double t) {
    showing = direction;
    fade.duration = fadeTime;
    fade.Restart(t);
}

void VelmiraMovie::Restart(double, bool once) {
    restartForward = true;
    restartBackward = false;
    restartOnce = once;
}

void VelmiraMovie::RestartBack(double, bool once) {
    restartForward = false;
    restartBackward = true;
    restartOnce = once;
}

void VelmiraMovie::UpdateTransp(float alpha) {
    movie.alpha = alpha;
    const float c[4] = {1.0f, 1.0f, 1.0f, alpha};
    movie.desk.UpdateColCol(c);
}

// The shadow is the current frame sheared to the right, black at 35 % of the
// movie's opacity. The shear moves the quad's corners: they are put back for
// the movie itself.
void VelmiraMovie::DrawShadow(PEnv* env, double t) {
    FXDesk& d = movie.desk;
    movie.OnRender0(env, t);
    if (movie.FrameCount() < 1 || movie.prepared.count < 1 || !d.mesh.vertices) return;
    enum { kMaxCorners = 16 };
    float keep[kMaxCorners][2];
    int n = d.mesh.vertexCount < kMaxCorners ? d.mesh.vertexCount : kMaxCorners;
    for (int i = 0; i < n; ++i) {
        keep[i][0] = d.mesh.vertices[i].f[FX_VTX_POS];
        keep[i][1] = d.mesh.vertices[i].f[FX_VTX_POS + 1];
    }
    d.MultiPosSkewX(0.1f);
    const float shadow[4] = {0.0f, 0.0f, 0.0f, 0.35f * Alpha()};
    d.UpdateColCol(shadow);
    d.OnRender(env, t);
    for (int i = 0; i < n; ++i) {
        d.mesh.vertices[i].f[FX_VTX_POS] = keep[i][0];
        d.mesh.vertices[i].f[FX_VTX_POS + 1] = keep[i][1];
    }
}

bool VelmiraMovie::OnRender(PEnv* env, double t) {
    if (!env) return finished;
    FXMatrix place;
    place.SetMoveF(0.6f, 0.0f, 0.0f);
    env->ApplyMatrix(&place);
    if (restartForward || restartBackward) {
        movie.loop = savedLoop && !restartOnce;
        movie.bounce = savedBounce;
        movie.EmptyPrepared();
        if (restartForward)
            movie.Restart(t);
        else
            movie.RestartBack(t);
        restartForward = restartBackward = false;
    }
    movie.Prepare(-1);
    if (showing != 0) {
        fade.OnRender(env, t);
        UpdateTransp(showing > 0 ? fade.value : 1.0f - fade.value);
        if (!fade.active) showing = 0;
    }
    DrawShadow(env, t);
    const float white[4] = {1.0f, 1.0f, 1.0f, Alpha()};
    movie.desk.UpdateColCol(white);
    movie.OnRender(env, t);
    movie.Prepare(-1);
    finished = movie.IsFinished();
    return finished;
}

void VelmiraMovie::Destroy() {
    movie.Destroy();
    finished = restartForward = restartBackward = restartOnce = false;
    showing = 0;
}
