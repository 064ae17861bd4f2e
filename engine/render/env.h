// The abstract render environment: render thread and loop, frame lock, light
// slots, default material and material libraries. The drawing operations are
// left to a device implementation.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/fxarray.h"
#include "math/3dmath.h"
#include "render/material.h"
#include "render/matlib.h"
#include "render/vertex.h"

class PEnv;
class FXLight;
class FXPixmap;
class FXPackage;

class PRender {
public:
    virtual void OnRender(PEnv* env, double time) = 0;

protected:
    ~PRender() {}
};

enum {
    FX_RS_TESTMATERIAL = 0,
    FX_RS_LIGHTS,
    FX_RS_TEXTURE0,
    FX_RS_TEXTURE1,
    FX_RS_DEPTHWRITE,
    FX_RS_DEPTHTEST,
    FX_RS_CULLFRONT,
    FX_RS_CULLBACK,
    FX_RS_COUNT
};

enum { FX_MAX_LIGHTS = 8 };

// A derived environment stops the loop in its own destructor: the render
// thread calls its virtual operations.
class PEnv {
public:
    int32_t viewWidth, viewHeight;
    int32_t screenWidth, screenHeight;
    bool enlarged;
    std::atomic<PRender*> renderer;
    std::atomic<bool> lockEachFrame;
    // Seconds from one frame's start to the next's on the system clock; 0
    // renders as fast as the device goes. Under another clock source the
    // loop does not wait for it.
    std::atomic<double> framePeriod;
    FXLight* lights[FX_MAX_LIGHTS];
    FXMaterial defMaterial;
    FXMatlib defMatlib;
    FXArray matlibs;  // FXMatlib*, owned
    bool rs[FX_RS_COUNT];
    void* mutex;
    std::atomic<bool> running;
    std::atomic<bool> stopRequested;
    void* thread;
    FXMatrix curMatrix;
    void* window;
    bool npotTextures;

    PEnv();
    virtual ~PEnv();
    PEnv(const PEnv&) = delete;
    PEnv& operator=(const PEnv&) = delete;

    virtual bool CreateChild(void* window) = 0;
    virtual void Destroy();
    virtual void ClrParams() = 0;
    virtual void SetAct(bool on) = 0;
    virtual bool RenderStart() = 0;
    virtual void RenderEnd() = 0;
    virtual bool StartLoop(PRender* r);
    // False when the render thread did not end within the timeout: it is
    // left running, and nothing it uses may be freed.
    virtual bool StopLoop(double timeout);
    virtual void Lock(bool on);
    virtual void SetClrColor(const float* rgba) = 0;
    virtual void Clrscr(bool color, bool depth, bool stencil) = 0;
    virtual void Enlarge(bool on) = 0;
    virtual bool RegisterLight(FXLight* light);
    virtual void UnregisterLight(FXLight* light);
    virtual void UpdateLights() = 0;
    virtual FXMaterial* GetDefaultMaterial();
    virtual FXMatlib* GetDefaultMatlib();
    virtual FXMatlib* LoadMatlib(const char* name);
    virtual FXMatlib* LoadMatlibC(FXPackage* pck, const char* name);
    virtual FXMatlib* LoadMatlibCN(FXPackage* pck, int id);
    virtual void RemoveMatlib(FXMatlib* lib);
    virtual void AddMaterial(FXMaterial* m);
    virtual void ApplyDefaultMaterial();
    virtual void ApplyMaterial(FXMaterial* m) = 0;
    virtual void ApplyMaterial2(FXMaterial* m) = 0;
    virtual void ApplyMatrix(FXMatrix* m) = 0;
    virtual void MultiplyMatrix(FXMatrix* m) = 0;
    virtual void ApplyMatrixIdentity() = 0;
    virtual void EnableLights(bool on) = 0;
    virtual void EnableLight(bool on, FXLight* light) = 0;
    virtual void DisableAllLights() = 0;
    virtual void SetAmbient(const float* rgba) = 0;
    virtual void EnableDepthTest(bool on) = 0;
    virtual void EnableDepthWrite(bool on) = 0;
    virtual void EnableCullface(bool front, bool back) = 0;
    virtual void EnableTestingMaterial(bool on);
    virtual bool PrepareTexture(FXMaterial* m) = 0;
    virtual bool FastPrepareTexture(FXMaterial* m, FXPixmap* pix) = 0;
    virtual bool PrepareCubeTexture(FXMaterial* m, FXPixmap* faces[6]) = 0;
    virtual void UnprepareTexture(FXMaterial* m) = 0;
    // The device's one drawing primitive; meshes and desks draw through it.
    virtual void DrawTriangles(const FXTriangles& tris) = 0;
    // A still background drawn once and kept: the frame being drawn so far
    // becomes m's texture, and later frames put it back in one opaque pass
    // instead of drawing its layers again. False where the device cannot
    // (the caller then draws the layers as before).
    virtual bool KeepFrame(FXMaterial* m);
    virtual bool DrawKeptFrame(const FXMaterial* m);
    virtual void RenderLoop();

private:
    void DestroyBody();
    FXMatlib* FindLoadedMatlib(const char* name);
};

// Lock and drawing context for work outside the render loop's frames.
class FXGRAutoAct {
public:
    explicit FXGRAutoAct(PEnv* env);
    ~FXGRAutoAct();
    FXGRAutoAct(const FXGRAutoAct&) = delete;
    FXGRAutoAct& operator=(const FXGRAutoAct&) = delete;

private:
    PEnv* env_;
};

// When the frame after one due at `next` is due: a period later, but never
// more than a period before `now` (a late frame brings no burst of frames to
// catch up) nor more than a period after it (the clock source may have
// changed).
double fxNextFrameTime(double next, double period, double now);

extern PEnv* fxglobalEnv;
void fxSetEnv(PEnv* env);
void localRenderLoop(void* env);
