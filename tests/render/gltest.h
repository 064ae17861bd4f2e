// The tests that draw: a window on the test's X server with the real device
// bound to it, and quads to draw into it.
#pragma once

// gtest before Xlib: Xlib's macros (None, Bool) clash with gtest's names.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <X11/Xlib.h>

#include <cstdint>

#include "../support/testutil.h"
#include "base/display.h"
#include "geometry/mesh.h"
#include "image/devil.h"
#include "render/gl.h"

inline Window W(void* h) { return static_cast<Window>(reinterpret_cast<uintptr_t>(h)); }

// A window of w x h at (x, y), the whole screen when w is 0; the device is
// bound to it with its context current.
class GLWindow : public ::testing::Test {
protected:
    GLWindow(int x, int y, int w, int h) : x_(x), y_(y), w_(w), h_(h) {}
    void SetUp() override {
        ASSERT_TRUE(fxLoadDevil());
        dpy_ = static_cast<Display*>(fxDisplay());
        ASSERT_NE(dpy_, nullptr) << "no X display";
        sw_ = DisplayWidth(dpy_, DefaultScreen(dpy_));
        sh_ = DisplayHeight(dpy_, DefaultScreen(dpy_));
        if (!w_) w_ = sw_, h_ = sh_;
        host_ = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), x_, y_, w_, h_, 0, 0, 0);
        XMapWindow(dpy_, host_);
        XSync(dpy_, False);
        created_ = gl_.CreateChild(reinterpret_cast<void*>(static_cast<uintptr_t>(host_)));
        fxSetEnv(&gl_);
        gl_.SetAct(true);
    }
    void TearDown() override {
        gl_.SetAct(true);
        gl_.Destroy();
        fxSetEnv(nullptr);
        if (dpy_) XDestroyWindow(dpy_, host_), XSync(dpy_, False);
    }
    void Clear(float r = 0, float g = 0, float b = 0) {
        const float c[4] = {r, g, b, 1};
        gl_.SetClrColor(c);
        gl_.Clrscr(true, true, false);
    }
    // Pixel (x right, y down) of the frame being drawn, as 0xRRGGBB.
    uint32_t At(int x, int y) {
        unsigned char p[4];
        glReadBuffer(GL_BACK);
        glReadPixels(x, gl_.viewHeight - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2];
    }
    // Two triangles covering x0..x1, y0..y1 of the -1..1 square at depth z,
    // facing the viewer, white, texture coordinates 0..su and 0..sv from the
    // top left.
    static void Quad(FXMesh* m, float x0, float y0, float x1, float y1, float z = 0, float su = 1, float sv = 1) {
        m->Realloc(4, 6);
        const float xy[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, st[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
        for (int i = 0; i < 4; ++i) {
            float* v = m->Vertex(i);
            const float r[FX_VTX_FLOATS] = {xy[i][0], xy[i][1], z, 0, 0, -1, st[i][0] * su, st[i][1] * sv, 1, 1, 1, 1};
            for (int k = 0; k < FX_VTX_FLOATS; ++k) v[k] = r[k];
        }
        const int32_t idx[6] = {0, 1, 2, 0, 2, 3};
        for (int i = 0; i < 6; ++i) m->indices[i] = idx[i];
    }
    static void Tint(FXMesh* m, float r, float g, float b, float a) {
        m->colorMode = 1;
        for (int i = 0; i < m->vertexCount; ++i) {
            float* c = m->Vertex(i) + FX_VTX_COLOR;
            c[0] = r, c[1] = g, c[2] = b, c[3] = a;
        }
    }

    fxtest::TempDir dir_;
    Display* dpy_ = nullptr;
    Window host_ = 0;
    int x_, y_, w_, h_, sw_ = 0, sh_ = 0;
    bool created_ = false;
    FXGL gl_;
};
