// The OpenGL device: a render environment drawing with OpenGL 1.x into a
// window of the platform's window system.
#pragma once

#include <cstdint>

#include "render/env.h"

class FXGL : public PEnv {
public:
    void* glWindow;        // the window drawn into (a child made inside the given one)
    void* savedParent;     // parent before Enlarge(true); null when not enlarged
    int32_t savedRect[4];  // left, top, right, bottom relative to the parent
    void* deviceContext;   // the window-system connection
    void* renderContext;   // the GL context
    float clrColor[4];
    bool hasBgra;
    bool hasSeparateSpecular;
    bool hasEdgeClamp;
    bool hasMultitexture;
    bool hasCubeMap;
    void* hostWindow;  // the window given to CreateChild
    // Called by RenderEnd with the finished frame, before it is presented
    // (the offline renderer reads the pixels here).
    void (*frameTap)(FXGL* gl, void* user);
    void* frameTapUser;

    FXGL();
    ~FXGL() override;

    bool CreateChild(void* window) override;
    void Destroy() override;
    void ClrParams() override;
    void SetAct(bool on) override;
    bool RenderStart() override;
    void RenderEnd() override;
    void SetClrColor(const float* rgba) override;
    void Clrscr(bool color, bool depth, bool stencil) override;
    void Enlarge(bool on) override;
    void UpdateLights() override;
    void ApplyMaterial(FXMaterial* m) override;
    void ApplyMaterial2(FXMaterial* m) override;
    void ApplyMatrix(FXMatrix* m) override;
    void MultiplyMatrix(FXMatrix* m) override;
    void ApplyMatrixIdentity() override;
    void EnableLights(bool on) override;
    void EnableLight(bool on, FXLight* light) override;
    void DisableAllLights() override;
    void SetAmbient(const float* rgba) override;
    void EnableDepthTest(bool on) override;
    void EnableDepthWrite(bool on) override;
    void EnableCullface(bool front, bool back) override;
    bool PrepareTexture(FXMaterial* m) override;
    bool FastPrepareTexture(FXMaterial* m, FXPixmap* pix) override;
    bool PrepareCubeTexture(FXMaterial* m, FXPixmap* faces[6]) override;
    void UnprepareTexture(FXMaterial* m) override;
    void DrawTriangles(const FXTriangles& tris) override;
    bool KeepFrame(FXMaterial* m) override;
    bool DrawKeptFrame(const FXMaterial* m) override;

    bool InitExtensions();
    static bool TestExtensionString(const char* extensions, const char* name);
    bool TestGL(bool showMessage);
};

// Multitexture entry points, fetched when the driver offers ARB_multitexture.
typedef void (*FXGLActiveTextureProc)(unsigned texture);
typedef void (*FXGLMultiTexCoord2fProc)(unsigned target, float s, float t);
typedef void (*FXGLMultiTexCoord2fvProc)(unsigned target, const float* v);
extern FXGLActiveTextureProc fxglActiveTexture;
extern FXGLMultiTexCoord2fProc fxglMultiTexCoord2f;
extern FXGLMultiTexCoord2fvProc fxglMultiTexCoord2fv;
