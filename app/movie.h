// One movie of a photo set: a sprite movie of the model right of the
// screen's centre with a soft sheared shadow, restarted forward or backward
// and faded in or out as a whole.
#pragma once

#include <cstdint>

#include "anim/movie.h"
#include "anim/phaser.h"

class FXPackage;
class PEnv;

class VelmiraMovie {
public:
    SMovie movie;
    bool savedLoop;    // the sprite movie's loop flag as loaded
    bool savedBounce;  // and its bounce flag
    bool finished;     // after each OnRender: no further frame will come
    bool restartForward;   // the next OnRender restarts forward
    bool restartBackward;  // the next OnRender restarts backward
    bool restartOnce;      // that restart plays to the end and stops there
    int32_t showing;       // 1 fading in, -1 fading out, 0 otherwise
    FXPhaser fade;

    VelmiraMovie();

    void LoadCN(FXPackage* package, int entry);
    void StartShowing(int direction, double fadeTime, double t);
    // The restart takes the time of the next OnRender. A set that waits for
    // the movie's end asks for it to play once: a looping movie never ends.
    void Restart(double t, bool once = false);
    void RestartBack(double t, bool once = false);
    void UpdateTransp(float alpha);
    // The quad's opacity; kept by the sprite movie, so it exists even when
    // the movie has no frames and so no quad.
    float Alpha() const { return movie.alpha; }
    bool OnRender(PEnv* env, double t);
    void Destroy();

private:
    void DrawShadow(PEnv* env, double t);
};
