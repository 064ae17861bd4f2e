// The OpenGL device's drawing side: fixed state, extension probe, materials,
// lights, matrices, textures and immediate-mode triangle lists.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cstring>

#include "base/other.h"
#include "base/platform.h"
#include "base/thread.h"
#include "base/trace.h"
#include "image/canvas.h"
#include "image/pixmap.h"
#include "render/gl.h"
#include "render/light.h"
#include "render/material.h"
#include "render/platform.h"

#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif
#ifndef GL_TEXTURE0
#define GL_TEXTURE0 0x84C0
#define GL_TEXTURE1 0x84C1
#endif
#ifndef GL_LIGHT_MODEL_COLOR_CONTROL
#define GL_LIGHT_MODEL_COLOR_CONTROL 0x81F8
#define GL_SEPARATE_SPECULAR_COLOR 0x81FA
#endif

FXGLActiveTextureProc fxglActiveTexture = nullptr;
FXGLMultiTexCoord2fProc fxglMultiTexCoord2f = nullptr;
FXGLMultiTexCoord2fvProc fxglMultiTexCoord2fv = nullptr;

FXGL::FXGL()
    : glWindow(nullptr),
      savedParent(nullptr),
      deviceContext(nullptr),
      renderContext(nullptr),
      hasBgra(false),
      hasSeparateSpecular(false),
      hasEdgeClamp(false),
      hasMultitexture(false),
      hasCubeMap(false),
      hostWindow(nullptr),
      frameTap(nullptr),
      frameTapUser(nullptr) {
    savedRect[0] = savedRect[1] = savedRect[2] = savedRect[3] = 0;
    clrColor[0] = clrColor[1] = clrColor[2] = clrColor[3] = 0.0f;
    curMatrix.SetIdentity();
}

FXGL::~FXGL() {
    // The render thread calls into this object: it ends before anything goes.
    StopLoop(100000.0);
    Destroy();
}

bool FXGL::CreateChild(void* win) {
    Destroy();
    if (!mutex) mutex = fxCreateMutex();
    window = win;
    hostWindow = win;
    if (!win) return false;
    if (!fxglPlatCreate(this, win)) return false;
    // Swaps wait for the screen where the driver can; the render loop's own
    // pacing still holds where there is no vertical blank (a virtual X server).
    if (fxglPlatSwapInterval(this, 1)) trc("swap interval 1\n");
    bool clamp = InitExtensions();
    ClrParams();
    fxglPlatMakeCurrent(this, false);
    return clamp;
}

void FXGL::Destroy() {
    PEnv::Destroy();
    if (thread) return;  // a render thread that would not end keeps its context
    fxglPlatRelease(this);
    window = nullptr;
    hostWindow = nullptr;
    savedParent = nullptr;
    enlarged = false;
}

void FXGL::SetAct(bool on) { fxglPlatMakeCurrent(this, on); }

bool FXGL::RenderStart() { return true; }

void FXGL::RenderEnd() {
    if (frameTap) frameTap(this, frameTapUser);
    if (deviceContext) fxglPlatSwap(this);
}

bool FXGL::TestExtensionString(const char* ext, const char* name) {
    if (!ext || !name || !*ext || !*name) return false;
    size_t nameLen = strlen(name);
    const char* limit = ext + strlen(ext) - 1;
    const char* start = ext;
    do {
        const char* hit = strstr(start, name);
        if (!hit) return false;
        char after = hit[nameLen];
        if (after == ' ' || after == 0) return true;
        start += nameLen;
    } while (start < limit);
    return false;
}

bool FXGL::InitExtensions() {
    const char* vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    trc("OpenGL info:\n");
    trc("vendor: %s\n", vendor ? vendor : "");
    trc("renderer: %s\n", renderer ? renderer : "");
    trc("version: %s\n", version ? version : "");

    const char* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    hasBgra = TestExtensionString(ext, "EXT_bgra");
    hasSeparateSpecular = TestExtensionString(ext, "EXT_separate_specular_color");
    hasEdgeClamp = TestExtensionString(ext, "EXT_texture_edge_clamp");
    if (!hasEdgeClamp) hasEdgeClamp = TestExtensionString(ext, "SGIS_texture_edge_clamp");
    hasMultitexture = TestExtensionString(ext, "ARB_multitexture");
    if (hasMultitexture) {
        fxglActiveTexture = reinterpret_cast<FXGLActiveTextureProc>(fxglPlatGetProc("glActiveTexture"));
        fxglMultiTexCoord2f = reinterpret_cast<FXGLMultiTexCoord2fProc>(fxglPlatGetProc("glMultiTexCoord2f"));
        fxglMultiTexCoord2fv = reinterpret_cast<FXGLMultiTexCoord2fvProc>(fxglPlatGetProc("glMultiTexCoord2fv"));
    } else {
        // A device made earlier on a better driver must not leave its
        // entry points behind.
        fxglActiveTexture = nullptr;
        fxglMultiTexCoord2f = nullptr;
        fxglMultiTexCoord2fv = nullptr;
    }
    hasCubeMap = TestExtensionString(ext, "ARB_texture_cube_map");
    npotTextures = TestExtensionString(ext, "ARB_texture_non_power_of_two");

    if (hasBgra) trc("EXT_bgra\n");
    if (hasSeparateSpecular) trc("EXT_separate_specular_color\n");
    if (hasEdgeClamp) trc("EXT_texture_edge_clamp\n");
    if (hasMultitexture) trc("ARB_multitexture\n");
    if (hasCubeMap) trc("ARB_texture_cube_map\n");
    if (npotTextures) trc("ARB_texture_non_power_of_two\n");
    return hasEdgeClamp;
}

bool FXGL::TestGL(bool showMessage) {
    if (hasMultitexture) return true;
    if (showMessage)
        fxPlatformMessageBox("Fenro3D",
                             "Your Graphics Capabilities seems to be insufficient. Either you have no Graphics Card, "
                             "or you have not installed the drivers for it.");
    return false;
}

void FXGL::ClrParams() {
    glViewport(0, 0, viewWidth, viewHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, 2, -2);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const float black[4] = {0, 0, 0, 0};
    SetClrColor(black);
    glClearDepth(2.0);
    glClearStencil(0);
    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.007843138f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_LIGHTING);
    glDisable(GL_NORMALIZE);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
    if (hasSeparateSpecular) glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
}

void FXGL::SetClrColor(const float* c) {
    for (int i = 0; i < 4; ++i) clrColor[i] = c[i];
    glClearColor(c[0], c[1], c[2], c[3]);
}

void FXGL::Clrscr(bool color, bool depth, bool stencil) {
    GLbitfield bits = 0;
    if (color) bits |= GL_COLOR_BUFFER_BIT;
    if (depth) bits |= GL_DEPTH_BUFFER_BIT;
    if (stencil) bits |= GL_STENCIL_BUFFER_BIT;
    glClear(bits);
}

void FXGL::Enlarge(bool on) {
    if (!on && !enlarged) return;
    FXGRAutoAct act(fxglobalEnv ? fxglobalEnv : this);
    fxglPlatEnlarge(this, on);
    glViewport(0, 0, viewWidth, viewHeight);
    enlarged = on;
}

void FXGL::UpdateLights() {
    for (int i = 0; i < FX_MAX_LIGHTS; ++i) {
        GLenum n = static_cast<GLenum>(GL_LIGHT0 + i);
        FXLight* l = lights[i];
        if (l && !l->off) {
            l->glLight = static_cast<int32_t>(n);
            glLightfv(n, GL_POSITION, l->position);
            glLightfv(n, GL_SPOT_DIRECTION, l->spotDirection);
            glLightfv(n, GL_AMBIENT, l->ambient);
            glLightfv(n, GL_DIFFUSE, l->diffuse);
            glLightfv(n, GL_SPECULAR, l->specular);
            glLightf(n, GL_SPOT_EXPONENT, l->spotExponent);
            glLightf(n, GL_SPOT_CUTOFF, l->spotCutoff);
            glLightfv(n, GL_CONSTANT_ATTENUATION, &l->attenuation[0]);
            glLightfv(n, GL_LINEAR_ATTENUATION, &l->attenuation[1]);
            glLightfv(n, GL_QUADRATIC_ATTENUATION, &l->attenuation[2]);
            glEnable(n);
        } else {
            glDisable(n);
        }
    }
}

namespace {

// Binds the material's texture on the selected unit, or switches texturing
// off there; returns whether a texture is on.
bool localBindTexture(const FXMaterial* m) {
    if (m && m->textureReady && m->glTexture) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, m->glTexture);
        return true;
    }
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    return false;
}

// Names the material's texture if it has none, binds it for an upload.
void localBeginUpload(FXMaterial* m) {
    if (!m->glTexture) {
        GLuint name = 0;
        glGenTextures(1, &name);
        m->glTexture = name;
    }
    glBindTexture(GL_TEXTURE_2D, m->glTexture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
}

void localEndUpload(GLint minFilter) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
}

}  // namespace

void FXGL::ApplyMaterial(FXMaterial* m) {
    if (rs[FX_RS_TESTMATERIAL] || !m) return;
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, m->ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, m->diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, m->specular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, m->emission);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m->shininess);
    rs[FX_RS_TEXTURE0] = localBindTexture(m);
}

void FXGL::ApplyMaterial2(FXMaterial* m) {
    if (rs[FX_RS_TESTMATERIAL] || !fxglActiveTexture) return;
    fxglActiveTexture(GL_TEXTURE1);
    rs[FX_RS_TEXTURE1] = localBindTexture(m);
    fxglActiveTexture(GL_TEXTURE0);
}

void FXGL::ApplyMatrix(FXMatrix* m) {
    curMatrix.Copy(m);
    glLoadMatrixf(curMatrix.m);
}

void FXGL::MultiplyMatrix(FXMatrix* m) {
    FXMatrix product;
    product.Multiply(&curMatrix, m);
    curMatrix.Copy(&product);
    glLoadMatrixf(curMatrix.m);
}

void FXGL::ApplyMatrixIdentity() {
    curMatrix.SetIdentity();
    glLoadIdentity();
}

void FXGL::EnableLights(bool on) {
    rs[FX_RS_LIGHTS] = on;
    if (on)
        glEnable(GL_LIGHTING);
    else
        glDisable(GL_LIGHTING);
}

void FXGL::EnableLight(bool on, FXLight* light) {
    if (!light) return;
    light->off = !on;
    GLenum n = static_cast<GLenum>(light->glLight);
    // A light never sent has no GL number yet; touching GL_LIGHT0 for it
    // would switch another light.
    if (n < GL_LIGHT0 || n >= GL_LIGHT0 + FX_MAX_LIGHTS) return;
    if (on)
        glEnable(n);
    else
        glDisable(n);
}

void FXGL::DisableAllLights() {
    for (int i = 0; i < FX_MAX_LIGHTS; ++i) {
        if (lights[i]) lights[i]->off = true;
        glDisable(static_cast<GLenum>(GL_LIGHT0 + i));
    }
}

void FXGL::SetAmbient(const float* c) { glLightModelfv(GL_LIGHT_MODEL_AMBIENT, c); }

void FXGL::EnableDepthWrite(bool on) {
    rs[FX_RS_DEPTHWRITE] = on;
    glDepthMask(on ? GL_TRUE : GL_FALSE);
}

void FXGL::EnableDepthTest(bool on) {
    rs[FX_RS_DEPTHTEST] = on;
    if (on)
        glEnable(GL_DEPTH_TEST);
    else
        glDisable(GL_DEPTH_TEST);
}

void FXGL::EnableCullface(bool front, bool back) {
    rs[FX_RS_CULLFRONT] = front;
    rs[FX_RS_CULLBACK] = back;
    if (!front && !back) {
        glDisable(GL_CULL_FACE);
        return;
    }
    glEnable(GL_CULL_FACE);
    glCullFace(back ? GL_BACK : GL_FRONT);
}

bool FXGL::PrepareTexture(FXMaterial* m) {
    if (!m) return false;
    FXCanvas* img = m->textureImage;
    // Nothing to upload: a texture name without pixels would draw garbage.
    if (!img || !img->pixmap.pixels || img->pixmap.bufWidth < 1 || img->pixmap.bufHeight < 1) return false;
    // Without a current context (its window was destroyed under us) GL
    // calls do nothing, but GLU reads the version string and would crash.
    if (!glGetString(GL_VERSION)) {
        err("PrepareTexture -> no current GL context\n");
        return false;
    }
    localBeginUpload(m);
    if (m->mipmaps) {
        gluBuild2DMipmaps(GL_TEXTURE_2D, 4, img->pixmap.bufWidth, img->pixmap.bufHeight, GL_RGBA, GL_UNSIGNED_BYTE,
                          img->pixmap.pixels);
        localEndUpload(GL_LINEAR_MIPMAP_LINEAR);
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, 4, img->pixmap.bufWidth, img->pixmap.bufHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     img->pixmap.pixels);
        localEndUpload(GL_LINEAR);
    }
    return true;
}

bool FXGL::FastPrepareTexture(FXMaterial* m, FXPixmap* p) {
    if (!m || !p || !p->pixels || p->bufWidth < 1 || p->bufHeight < 1) return false;
    localBeginUpload(m);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, p->bufWidth, p->bufHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, p->pixels);
    localEndUpload(GL_LINEAR);
    m->texScaleU = static_cast<float>(p->usedWidth) / static_cast<float>(p->bufWidth);
    m->texScaleV = static_cast<float>(p->usedHeight) / static_cast<float>(p->bufHeight);
    m->textureReady = true;
    return true;
}

bool FXGL::PrepareCubeTexture(FXMaterial*, FXPixmap*[6]) { return false; }

namespace {

int localPow2(int n) {
    int p = 1;
    while (p < n && p < (1 << 30)) p <<= 1;
    return p;
}

}  // namespace

bool FXGL::KeepFrame(FXMaterial* m) {
    if (!m || viewWidth < 1 || viewHeight < 1) return false;
    // Without a current context there is no frame to keep.
    if (!glGetString(GL_VERSION)) return false;
    const int w = npotTextures ? viewWidth : localPow2(viewWidth);
    const int h = npotTextures ? viewHeight : localPow2(viewHeight);
    GLint most = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &most);
    if (w > most || h > most) return false;
    while (glGetError() != GL_NO_ERROR) {
    }
    localBeginUpload(m);
    // RGB: the kept frame is opaque, and a third less to copy and read.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, w, h, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, viewWidth, viewHeight);
    // Drawn one texel to one pixel: nearest is exact and the cheapest.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    if (glGetError() != GL_NO_ERROR) {
        err("KeepFrame -> the frame could not be copied into a texture\n");
        UnprepareTexture(m);
        m->textureReady = false;
        return false;
    }
    m->texScaleU = static_cast<float>(viewWidth) / static_cast<float>(w);
    m->texScaleV = static_cast<float>(viewHeight) / static_cast<float>(h);
    m->textureOpaque = true;
    m->mipmaps = false;
    m->textureReady = true;
    return true;
}

bool FXGL::DrawKeptFrame(const FXMaterial* m) {
    if (!m || !m->textureReady || !m->glTexture) return false;
    // One opaque pass: no blending, alpha or depth test, lighting or colour.
    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    if (fxglActiveTexture) {
        fxglActiveTexture(GL_TEXTURE1);
        glDisable(GL_TEXTURE_2D);
        fxglActiveTexture(GL_TEXTURE0);
    }
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, m->glTexture);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    const float su = m->texScaleU, sv = m->texScaleV;
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(-1.0f, -1.0f);
    glTexCoord2f(su, 0.0f);
    glVertex2f(1.0f, -1.0f);
    glTexCoord2f(su, sv);
    glVertex2f(1.0f, 1.0f);
    glTexCoord2f(0.0f, sv);
    glVertex2f(-1.0f, 1.0f);
    glEnd();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
    glBindTexture(GL_TEXTURE_2D, 0);
    return true;
}

void FXGL::UnprepareTexture(FXMaterial* m) {
    if (!m || !m->glTexture) return;
    GLuint name = m->glTexture;
    glDeleteTextures(1, &name);
    m->glTexture = 0;
}

namespace {

// One loop per combination of colour mode, lighting and texturing, so the
// branches are taken once per draw call, not per vertex.
template <bool kColor, bool kLight, bool kTex, bool kSecond>
void localLoop(const FXTriangles& t) {
    glBegin(GL_TRIANGLES);
    for (int32_t i = 0; i < t.indexCount; ++i) {
        const int32_t idx = t.indices[i];
        const float* v = t.vertices[idx].f;
        if (kColor) glColor4fv(v + FX_VTX_COLOR);
        if (kLight) glNormal3fv(v + FX_VTX_NORMAL);
        if (kTex) {
            glTexCoord2fv(v + FX_VTX_TEX);
            if (kSecond) fxglMultiTexCoord2fv(GL_TEXTURE1, t.second[idx].f + FX_VTX_TEX);
        }
        glVertex3fv(v + FX_VTX_POS);
    }
    glEnd();
}

template <bool kColor, bool kSecond>
void localDispatch(const FXTriangles& t, bool lights, bool tex) {
    if (!lights && !tex) localLoop<kColor, false, false, kSecond>(t);
    if (!lights && tex) localLoop<kColor, false, true, kSecond>(t);
    if (lights && !tex) localLoop<kColor, true, false, kSecond>(t);
    if (lights && tex) localLoop<kColor, true, true, kSecond>(t);
}

}  // namespace

void FXGL::DrawTriangles(const FXTriangles& t) {
    if (!t.vertices || !t.indices || t.vertexCount < 1 || t.indexCount < 1) return;
    if (t.second && (!hasMultitexture || !fxglMultiTexCoord2fv)) return;

    glColor4f(1, 1, 1, 1);
    if (t.vertexColors) {
        glEnable(GL_COLOR_MATERIAL);
        glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    } else {
        glDisable(GL_COLOR_MATERIAL);
    }
    if (t.material)
        ApplyMaterial(t.material);
    else
        ApplyDefaultMaterial();
    ApplyMaterial2(t.second ? t.material2 : nullptr);
    bool lights = rs[FX_RS_LIGHTS], tex = rs[FX_RS_TEXTURE0];
    if (t.vertexColors) {
        if (t.second) localDispatch<true, true>(t, lights, tex);
        else localDispatch<true, false>(t, lights, tex);
    } else {
        if (t.second) localDispatch<false, true>(t, lights, tex);
        else localDispatch<false, false>(t, lights, tex);
    }
}
