#include "env.h"

#include <algorithm>
#include <cstdio>

#include "base/other.h"
#include "base/thread.h"
#include "base/trace.h"
#include "render/light.h"

PEnv* fxglobalEnv = nullptr;

void fxSetEnv(PEnv* env) { fxglobalEnv = env; }

void localRenderLoop(void* env) { static_cast<PEnv*>(env)->RenderLoop(); }

PEnv::PEnv()
    : viewWidth(0),
      viewHeight(0),
      screenWidth(0),
      screenHeight(0),
      enlarged(false),
      renderer(nullptr),
      lockEachFrame(true),
      // Above the movies' 25 frames a second, so each of their frames is
      // shown, and smooth for slides and fades; more only costs CPU, which
      // a software renderer takes from the desktop.
      framePeriod(1.0 / 30.0),
      mutex(nullptr),
      running(false),
      stopRequested(false),
      thread(nullptr),
      window(nullptr),
      npotTextures(false) {
    for (FXLight*& l : lights) l = nullptr;
    for (bool& f : rs) f = false;
    rs[FX_RS_DEPTHWRITE] = true;
    rs[FX_RS_DEPTHTEST] = true;
    defMaterial.SetDefDiffuse(1.0f);
    defMatlib.AddMaterial(&defMaterial);
    curMatrix.SetIdentity();
    mutex = fxCreateMutex();
}

PEnv::~PEnv() {
    // The derived device is gone by now: materials released below must not
    // call back into it through the process-wide pointer.
    if (fxglobalEnv == this) fxglobalEnv = nullptr;
    DestroyBody();
    matlibs.DestroyBuf();
    defMatlib.Destroy();
    defMaterial.Destroy();
}

void PEnv::Destroy() { DestroyBody(); }

void PEnv::DestroyBody() {
    // From the destructor the virtual StopLoop is already the base one. A
    // thread still running keeps what it uses.
    if (!StopLoop(0.5)) return;
    if (mutex) fxLock(mutex);
    stopRequested = true;
    for (int i = 0; i < matlibs.count; ++i) delete static_cast<FXMatlib*>(matlibs.data[i]);
    matlibs.DestroyBuf();
    defMatlib.Destroy();
    defMaterial.Destroy();
    if (mutex) {
        fxUnlock(mutex);
        fxDestroyMutex(mutex);
        mutex = nullptr;
    }
    stopRequested = false;
}

bool PEnv::StartLoop(PRender* r) {
    stopRequested = false;
    renderer = r;
    if (running || thread) return true;
    thread = fxCreateThread(localRenderLoop, this);
    return thread != nullptr;
}

bool PEnv::StopLoop(double timeout) {
    stopRequested = true;
    if (thread) {
        // A thread stuck in the window system cannot be cancelled safely.
        if (!fxWaitThread(thread, timeout)) {
            err("StopLoop -> the render thread did not end within %.1f s\n", timeout);
            return false;
        }
        fxDestroyThread(thread);
        thread = nullptr;
    }
    renderer = nullptr;
    return true;
}

void PEnv::Lock(bool on) {
    if (!mutex) return;
    if (on)
        fxLock(mutex);
    else
        fxUnlock(mutex);
}

namespace {

// Scope guards of one frame: if the thread is cancelled inside the renderer,
// the unwinding still gives the context and the lock back.
struct LocalFrameLock {
    PEnv* env;
    bool held;
    ~LocalFrameLock() {
        if (held) env->Lock(false);
    }
};

struct LocalFrameAct {
    PEnv* env;
    ~LocalFrameAct() { env->SetAct(false); }
};

}  // namespace

double fxNextFrameTime(double next, double period, double now) {
    next += period;
    // Up to a period behind the schedule holds: that frame starts at once.
    // Further behind it starts again from now.
    if (!(next >= now - period)) return now;
    return std::min(next, now + period);
}

void PEnv::RenderLoop() {
    running = true;
    fxSleep(0.1);
    double next = fxGetTime();
    while (!stopRequested) {
        if (!renderer.load()) {
            // Nothing to draw yet: wait a millisecond instead of spinning a
            // core at full speed.
            fxSleep(0.001);
            continue;
        }
        bool lockFrame = lockEachFrame;
        {
            if (lockFrame) Lock(true);
            LocalFrameLock frameLock{this, lockFrame};
            PRender* r = renderer.load();
            if (r) {
                SetAct(true);
                LocalFrameAct act{this};
                double t = fxGetTime();
                r->OnRender(this, t);
            }
        }
        double period = framePeriod;
        if (!(period > 0.0) || !fxSystemClockActive()) {
            // A millisecond for the threads waiting on the frame lock.
            fxSleep(0.001);
            continue;
        }
        next = fxNextFrameTime(next, period, fxGetTime());
        // In slices, so a stop request or another clock source is seen soon.
        while (!stopRequested && fxSystemClockActive()) {
            double wait = next - fxGetTime();
            if (!fxSleepMs(wait)) break;
            fxSleep(std::min(wait, 0.05));
        }
    }
    running = false;
}

bool PEnv::RegisterLight(FXLight* light) {
    for (FXLight*& slot : lights) {
        if (!slot) {
            slot = light;
            return true;
        }
        if (slot == light) return true;
    }
    return false;
}

void PEnv::UnregisterLight(FXLight* light) {
    for (FXLight*& slot : lights)
        if (slot == light) {
            slot = nullptr;
            return;
        }
}

FXMaterial* PEnv::GetDefaultMaterial() { return &defMaterial; }
FXMatlib* PEnv::GetDefaultMatlib() { return &defMatlib; }

FXMatlib* PEnv::FindLoadedMatlib(const char* name) {
    for (int i = 0; i < matlibs.count; ++i) {
        FXMatlib* l = static_cast<FXMatlib*>(matlibs.data[i]);
        if (l->name.Compare(name)) {
            ++l->refCount;
            return l;
        }
    }
    return nullptr;
}

FXMatlib* PEnv::LoadMatlib(const char* name) {
    if (FXMatlib* l = FindLoadedMatlib(name)) return l;
    FXMatlib* l = new FXMatlib;
    l->parent = &defMatlib;
    l->LoadFromMtl(name);
    matlibs.Push(l);
    return l;
}

FXMatlib* PEnv::LoadMatlibC(FXPackage* pck, const char* name) {
    if (FXMatlib* l = FindLoadedMatlib(name)) return l;
    FXMatlib* l = new FXMatlib;
    l->parent = &defMatlib;
    l->LoadC(pck, name);
    matlibs.Push(l);
    return l;
}

FXMatlib* PEnv::LoadMatlibCN(FXPackage* pck, int id) {
    char text[16];
    snprintf(text, sizeof text, "%d", id);
    return LoadMatlibC(pck, text);
}

void PEnv::RemoveMatlib(FXMatlib* lib) { matlibs.Remove(lib); }
void PEnv::AddMaterial(FXMaterial* m) { defMatlib.AddMaterial(m); }
void PEnv::ApplyDefaultMaterial() { ApplyMaterial(&defMaterial); }
void PEnv::EnableTestingMaterial(bool on) { rs[FX_RS_TESTMATERIAL] = on; }

bool PEnv::KeepFrame(FXMaterial*) { return false; }

bool PEnv::DrawKeptFrame(const FXMaterial*) { return false; }

FXGRAutoAct::FXGRAutoAct(PEnv* env) : env_(env) {
    if (env_) {
        env_->Lock(true);
        env_->SetAct(true);
    }
}

FXGRAutoAct::~FXGRAutoAct() {
    if (env_) {
        env_->SetAct(false);
        env_->Lock(false);
    }
}
