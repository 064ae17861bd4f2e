#include "desk.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/canvas.h"
#include "math/3dmath.h"
#include "render/material.h"

void FXDesk::Create(int columns, int rows) {
    if (columns < 0) columns = 0;
    if (rows < 0) rows = 0;
    if (columns == w && rows == h && mesh.vertices) return;
    w = columns;
    h = rows;
    int vcount = (w + 1) * (h + 1), icount = 6 * w * h;
    mesh.Realloc(vcount, icount);
    if (vcount && icount) {
        memset(mesh.vertices, 0, static_cast<size_t>(vcount) * sizeof(FXVertex));
        memset(mesh.indices, 0, static_cast<size_t>(icount) * sizeof(int32_t));
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int32_t* q = mesh.indices + 6 * (y * w + x);
            int32_t a = y * (w + 1) + x, b = (y + 1) * (w + 1) + x;
            q[0] = a;
            q[1] = b;
            q[2] = a + 1;
            q[3] = b;
            q[4] = b + 1;
            q[5] = a + 1;
        }
    UpdatePos(true, true);
    UpdateCol();
    UpdateTex();
}

int FXDesk::LeaveOutClearCells(const FXCanvas& pic, int margin) {
    const FXPixmap& px = pic.pixmap;
    const int pw = px.usedWidth, ph = px.usedHeight;
    if (!mesh.indices || w < 1 || h < 1 || !px.pixels || pw < 1 || ph < 1 || pw > px.bufWidth ||
        ph > px.bufHeight || mesh.indexCount != 6 * w * h)
        return 0;
    if (margin < 0) margin = 0;
    // The device's alpha test passes only alpha above 2/255; the vertex
    // colour can only lower it.
    const uint32_t kClear = 2;
    int32_t kept = 0, left = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int x0 = std::max(0, static_cast<int>(std::floor(static_cast<double>(x) * pw / w)) - margin);
            const int x1 = std::min(pw, static_cast<int>(std::ceil(static_cast<double>(x + 1) * pw / w)) + margin);
            const int y0 = std::max(0, static_cast<int>(std::floor(static_cast<double>(y) * ph / h)) - margin);
            const int y1 = std::min(ph, static_cast<int>(std::ceil(static_cast<double>(y + 1) * ph / h)) + margin);
            bool clear = true;
            for (int ty = y0; clear && ty < y1; ++ty) {
                const uint32_t* row = px.pixels + static_cast<int64_t>(ty) * px.bufWidth;
                for (int tx = x0; tx < x1; ++tx)
                    if ((row[tx] >> 24) > kClear) {
                        clear = false;
                        break;
                    }
            }
            const int32_t* q = mesh.indices + 6 * (y * w + x);
            if (clear) {
                ++left;
                continue;
            }
            if (mesh.indices + kept != q) memmove(mesh.indices + kept, q, 6 * sizeof(int32_t));
            kept += 6;
        }
    mesh.indexCount = kept;
    return left;
}

void FXDesk::Destroy() {
    w = 0;
    h = 0;
    mesh.Destroy();
}

void FXDesk::SetMaterial(FXMaterial* m) {
    mesh.material = m;
    UpdateTex();
}

void FXDesk::SetMaterial1(FXMaterial* m) {
    mesh.material = m;
    mesh.ResizeTexCoords();
}

void FXDesk::OnRender(PEnv* env, double) {
    mesh.Render(env);
}

void FXDesk::TexScales(float* su, float* sv) const {
    *su = mesh.material ? mesh.material->texScaleU : 0.0f;
    *sv = mesh.material ? mesh.material->texScaleV : 0.0f;
}

namespace {

void localSetPos(float* v, float x, float y) {
    v[FX_VTX_POS] = x;
    v[FX_VTX_POS + 1] = y;
    v[FX_VTX_POS + 2] = 0.0f;
}

void localSetNormal(float* v) {
    v[FX_VTX_NORMAL] = 0.0f;
    v[FX_VTX_NORMAL + 1] = 0.0f;
    v[FX_VTX_NORMAL + 2] = -1.0f;
}

}  // namespace

void FXDesk::UpdatePos(bool pos, bool normals) { UpdatePosSkew(pos, normals, 0.0f, 0.0f); }

void FXDesk::UpdatePosSkew(bool pos, bool normals, float sx, float sy) {
    if (!mesh.vertices) return;
    for (int y = 0; y <= h; ++y)
        for (int x = 0; x <= w; ++x) {
            float u = U(x), v = V(y);
            float* p = Vtx(x, y);
            if (pos) localSetPos(p, 2 * u - 1 + (1 - v) * sx, 1 - 2 * v + (1 - u) * sy);
            if (normals) localSetNormal(p);
        }
}

void FXDesk::UpdatePosSkew1(bool pos, bool normals, float sx, float sy) {
    if (!mesh.vertices) return;
    for (int y = 0; y <= h; ++y)
        for (int x = 0; x <= w; ++x) {
            float u = U(x), v = V(y);
            float* p = Vtx(x, y);
            if (pos) localSetPos(p, 2 * u - 1 + v * sx, 1 - 2 * v + u * sy);
            if (normals) localSetNormal(p);
        }
}

void FXDesk::UpdatePosPerspective(float pr) {
    if (!mesh.vertices) return;
    for (int y = 0; y <= h; ++y)
        for (int x = 0; x <= w; ++x) {
            float u = U(x), v = V(y);
            localSetPos(Vtx(x, y), (2 * u - 1) * (v * pr + 1), 1 - 2 * v);
        }
}

void FXDesk::UpdatePosFlame(float a, float b, float c) {
    if (!mesh.vertices) return;
    for (int y = 0; y <= h; ++y) {
        float v = V(y);
        float f = v * a + c;
        if (f > 1.0f) f -= 1.0f;
        float swing = sinf(2.0f * 3.1415f * f) * b * v;
        for (int x = 0; x <= w; ++x) localSetPos(Vtx(x, y), 2 * U(x) - 1 + swing, 1 - 2 * v);
    }
}

void FXDesk::MultiPosSkewX(float s) {
    if (!mesh.vertices || mesh.vertexCount < 1) return;
    float lo = 2.0f, hi = -2.0f;
    for (int i = 0; i < mesh.vertexCount; ++i) {
        float y = mesh.vertices[i].f[FX_VTX_POS + 1];
        if (y < lo) lo = y;
        if (y > hi) hi = y;
    }
    // A flat grid has no height to shear over: it moves by s as a whole, as
    // its highest (and lowest) vertices would.
    float range = hi - lo;
    for (int i = 0; i < mesh.vertexCount; ++i) {
        float* p = mesh.vertices[i].f;
        float k = range > 0.0f ? (p[FX_VTX_POS + 1] - lo) / range : 1.0f;
        p[FX_VTX_POS] += k * s;
    }
}

void FXDesk::UpdateCol() {
    const float white[4] = {1, 1, 1, 1};
    UpdateColCol(white);
}

void FXDesk::UpdateColCol(const float* c) {
    for (int i = 0; i < mesh.vertexCount && mesh.vertices; ++i) memcpy(mesh.vertices[i].f + FX_VTX_COLOR, c, 16);
}

void FXDesk::UpdateCol_LT_RB(const float* lt, const float* rb) {
    if (!mesh.vertices) return;
    for (int y = 0; y <= h; ++y)
        for (int x = 0; x <= w; ++x) fxVec4fCombineP(Vtx(x, y) + FX_VTX_COLOR, lt, rb, U(x) * V(y));
}

void FXDesk::UpdateTex() { FXDesk::UpdateTexRc(0.0f, 0.0f, 1.0f, 1.0f); }

void FXDesk::UpdateTex1() {
    if (!mesh.vertices) return;
    for (int y = 0; y <= h; ++y)
        for (int x = 0; x <= w; ++x) {
            float* p = Vtx(x, y);
            float v = V(y);
            p[FX_VTX_TEX] = U(x);
            p[FX_VTX_TEX + 1] = mesh.flipVertical ? 1 - v : v;
        }
}

void FXDesk::UpdateTexRc(float left, float top, float right, float bottom) {
    if (!mesh.vertices) return;
    float su, sv;
    TexScales(&su, &sv);
    for (int y = 0; y <= h; ++y)
        for (int x = 0; x <= w; ++x) {
            float* p = Vtx(x, y);
            float t = top + V(y) * (bottom - top);
            p[FX_VTX_TEX] = (left + U(x) * (right - left)) * su;
            p[FX_VTX_TEX + 1] = (mesh.flipVertical ? 1 - t : t) * sv;
        }
}

// Corner numbers 1..4, clockwise from the top-left, as vertex numbers.
static int localCorner(int corner) {
    static const int kVertex[4] = {0, 1, 3, 2};
    return corner >= 1 && corner <= 4 ? kVertex[corner - 1] : -1;
}

void FXDesk::SetVertexPos(int corner, float x, float y) {
    int i = localCorner(corner);
    if (i < 0 || i >= mesh.vertexCount) return;
    mesh.vertices[i].f[FX_VTX_POS] = x;
    mesh.vertices[i].f[FX_VTX_POS + 1] = y;
}

void FXDesk::SetTexelPos(int corner, float s, float t) {
    int i = localCorner(corner);
    if (i < 0 || i >= mesh.vertexCount) return;
    mesh.vertices[i].f[FX_VTX_TEX] = s;
    mesh.vertices[i].f[FX_VTX_TEX + 1] = t;
}

void FXDesk::SetVertexPos1(int corner, int px, int py, int W, int H) {
    if (W == 0 || H == 0) return;
    SetVertexPos(corner, 2.0f * px / W - 1.0f, -2.0f * py / H + 1.0f);
}

void FXDesk::SetTexelPos1(int corner, int px, int py, int W, int H) {
    if (W == 0 || H == 0) return;
    SetTexelPos(corner, static_cast<float>(px) / W, static_cast<float>(py) / H);
}
