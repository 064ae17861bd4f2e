// Geometry and editing operations of FXMesh: texture coordinates, normals,
// bounding boxes, axis changes, colours and the removal of triangles and
// vertices.
#include <algorithm>
#include <initializer_list>
#include <utility>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/trace.h"
#include "geometry/mesh.h"
#include "image/canvas.h"
#include "render/material.h"

namespace {

void localScaleTexCoords(FXMesh* m, float su, float sv) {
    if (!m->vertices) return;
    for (int32_t i = 0; i < m->vertexCount; ++i) {
        float* r = m->vertices[i].f;
        r[FX_VTX_TEX] *= su;
        r[FX_VTX_TEX + 1] = m->flipVertical ? (1.0f - r[FX_VTX_TEX + 1]) * sv : r[FX_VTX_TEX + 1] * sv;
    }
}

int32_t localMark(const float* r) {
    int32_t v;
    memcpy(&v, r + FX_VTX_MARK, 4);
    return v;
}

void localSetMark(float* r, int32_t v) { memcpy(r + FX_VTX_MARK, &v, 4); }

}  // namespace

void FXMesh::ResizeTexCoords() {
    float su = material ? material->texScaleU : 0.0f;
    float sv = material ? material->texScaleV : 0.0f;
    if (!(su > 0.0f && sv > 0.0f)) return;
    if (loadedScaleU > 0.0f) su /= loadedScaleU;
    if (loadedScaleV > 0.0f) sv /= loadedScaleV;
    localScaleTexCoords(this, su, sv);
}

void FXMesh::ResizeTexCoords1() {
    float su = material ? material->texScaleU : 0.0f;
    float sv = material ? material->texScaleV : 0.0f;
    if (!(su > 0.0f && sv > 0.0f)) return;
    localScaleTexCoords(this, su, sv);
}

void FXMesh::Normalize(bool onlySelected) {
    if (!vertices) return;
    for (int32_t i = 0; i < vertexCount; ++i) {
        float* r = vertices[i].f;
        if (onlySelected && localMark(r) == 0) continue;
        float x = r[FX_VTX_ACCNORM], y = r[FX_VTX_ACCNORM + 1], z = r[FX_VTX_ACCNORM + 2];
        float len = sqrtf(x * x + y * y + z * z);
        if (len == 0.0f) continue;
        r[FX_VTX_NORMAL] = x / len;
        r[FX_VTX_NORMAL + 1] = y / len;
        r[FX_VTX_NORMAL + 2] = z / len;
    }
}

void FXMesh::ComputeFrontTexCoords() {
    if (!vertices) return;
    for (int32_t i = 0; i < vertexCount; ++i) {
        float* r = vertices[i].f;
        r[FX_VTX_TEX] = (r[FX_VTX_POS] + 1.0f) * 0.5f;
        r[FX_VTX_TEX + 1] = (1.0f - r[FX_VTX_POS + 1]) * 0.5f;
    }
}

void FXMesh::CopyTexCoords(const FXMesh* src) {
    if (!src || !src->vertices || !vertices) return;
    // A source with fewer vertices gives what it has; the rest keep theirs.
    int32_t n = vertexCount < src->vertexCount ? vertexCount : src->vertexCount;
    for (int32_t i = 0; i < n; ++i) {
        vertices[i].f[FX_VTX_TEX] = src->vertices[i].f[FX_VTX_TEX];
        vertices[i].f[FX_VTX_TEX + 1] = src->vertices[i].f[FX_VTX_TEX + 1];
    }
}

void FXMesh::FindMultiMaxims(bool* first, float* box) const {
    if (!first || !box || !vertices) return;
    for (int32_t i = 0; i < vertexCount; ++i) {
        const float* p = vertices[i].f + FX_VTX_POS;
        if (*first) {
            *first = false;
            for (int a = 0; a < 3; ++a) box[2 * a] = box[2 * a + 1] = p[a];
            continue;
        }
        for (int a = 0; a < 3; ++a) {
            if (p[a] < box[2 * a]) box[2 * a] = p[a];
            if (p[a] > box[2 * a + 1]) box[2 * a + 1] = p[a];
        }
    }
}

void FXMesh::FindMaxims(float* box) const {
    if (!box) return;
    for (int a = 0; a < 6; ++a) box[a] = 0.0f;
    bool first = true;
    FindMultiMaxims(&first, box);
}

void FXMesh::UnitizeMaximsStretch1(const float* box) {
    if (!box || !vertices) return;
    float w = box[1] - box[0], h = box[3] - box[2];
    if (w == 0.0f) w = 2.0f;
    if (h == 0.0f) h = 2.0f;
    float cx = (box[0] + box[1]) * 0.5f, cy = (box[2] + box[3]) * 0.5f, cz = (box[4] + box[5]) * 0.5f;
    for (int32_t i = 0; i < vertexCount; ++i) {
        float* p = vertices[i].f + FX_VTX_POS;
        p[0] = (p[0] - cx) * 2.0f / w;
        p[1] = (p[1] - cy) * 2.0f / h;
        p[2] = p[2] - cz;
    }
}

void FXMesh::Transform(int a, int b, int c, bool nx, bool ny, bool nz) {
    // An axis number outside 0..2 would read beyond the vector.
    if (a < 0 || a > 2 || b < 0 || b > 2 || c < 0 || c > 2 || !vertices) return;
    const int from[3] = {a, b, c};
    const bool neg[3] = {nx, ny, nz};
    for (int32_t i = 0; i < vertexCount; ++i) {
        for (int base : {int(FX_VTX_POS), int(FX_VTX_NORMAL)}) {
            float* v = vertices[i].f + base;
            float old[3] = {v[0], v[1], v[2]};
            for (int k = 0; k < 3; ++k) v[k] = neg[k] ? -old[from[k]] : old[from[k]];
        }
    }
}

int FXMesh::TextToIndi(const char* s) {
    if (!s) return -1;
    switch (s[0]) {
    case 'x': return 0;
    case 'y': return 1;
    case 'z': return 2;
    default: return -1;
    }
}

void FXMesh::SetVerticesCol(const float* rgba) {
    if (!rgba || !vertices) return;
    for (int32_t i = 0; i < vertexCount; ++i) memcpy(vertices[i].f + FX_VTX_COLOR, rgba, sizeof(float) * 4);
}

void FXMesh::DiscardTrianglesTransp(int, float alpha) {
    if (!indices || indexCount <= 0 || !material || !material->textureReady || !material->textureImage) return;
    // Triangles must be whole and inside the vertex list before they are
    // sampled.
    DropBadTriangles();
    FXCanvas* img = material->textureImage;
    int32_t whole = indexCount - indexCount % 3;
    int32_t out = 0;
    for (int32_t k = 0; k < whole; k += 3) {
        bool keep = false;
        for (int j = 0; j < 3 && !keep; ++j) {
            const float* r = vertices[indices[k + j]].f;
            float rgba[4] = {0, 0, 0, 0};
            img->GetColor(r[FX_VTX_TEX], r[FX_VTX_TEX + 1], rgba);
            keep = rgba[3] > alpha;
        }
        if (!keep) continue;
        for (int j = 0; j < 3; ++j) indices[out++] = indices[k + j];
    }
    // An incomplete last triangle is not a triangle: it stays as it is.
    for (int32_t k = whole; k < indexCount; ++k) indices[out++] = indices[k];
    if (out == indexCount) {
        trc("DiscardTriangles (no effect) cnt:%d\n", indexCount);
        return;
    }
    trc("DiscardTriangles from:%d  to:%d\n", indexCount, out);
    indexCount = out;
    DiscardVertices();
}

void FXMesh::DiscardVertices() {
    if (!vertices || vertexCount <= 0) return;
    DropBadTriangles();
    for (int32_t i = 0; i < vertexCount; ++i) localSetMark(vertices[i].f, -1);
    for (int32_t k = 0; k < indexCount; ++k) localSetMark(vertices[indices[k]].f, 0);
    int32_t n = 0;
    for (int32_t i = 0; i < vertexCount; ++i)
        if (localMark(vertices[i].f) == 0) localSetMark(vertices[i].f, n++);
    for (int32_t k = 0; k < indexCount; ++k) indices[k] = localMark(vertices[indices[k]].f);
    FXVertex* nv = static_cast<FXVertex*>(malloc(static_cast<size_t>(n ? n : 1) * sizeof(FXVertex)));
    if (!nv) abort();
    int32_t j = 0;
    for (int32_t i = 0; i < vertexCount; ++i)
        if (localMark(vertices[i].f) >= 0) nv[j++] = vertices[i];
    free(vertices);
    vertices = nv;
    vertexCount = vertexCapacity = n;
}

void FXMesh::UnitizeMaxims(const float* box) {
    if (!box || !vertices) return;
    float size = 0.0f;
    for (int a = 0; a < 3; ++a) size = std::max(size, box[2 * a + 1] - box[2 * a]);
    float s = size > 0.0f ? 2.0f / size : 1.0f;
    float c[3] = {(box[0] + box[1]) * 0.5f, (box[2] + box[3]) * 0.5f, (box[4] + box[5]) * 0.5f};
    for (int32_t i = 0; i < vertexCount; ++i) {
        float* p = vertices[i].f + FX_VTX_POS;
        for (int a = 0; a < 3; ++a) p[a] = (p[a] - c[a]) * s;
    }
}

void FXMesh::UnitizeMaximsStretch(const float* box) {
    if (!box || !vertices) return;
    float c[3], s[3];
    for (int a = 0; a < 3; ++a) {
        float size = box[2 * a + 1] - box[2 * a];
        c[a] = (box[2 * a] + box[2 * a + 1]) * 0.5f;
        s[a] = size > 0.0f ? 2.0f / size : 1.0f;
    }
    for (int32_t i = 0; i < vertexCount; ++i) {
        float* p = vertices[i].f + FX_VTX_POS;
        for (int a = 0; a < 3; ++a) p[a] = (p[a] - c[a]) * s[a];
    }
}

void FXMesh::FlipHoriz() {
    if (vertices)
        for (int32_t i = 0; i < vertexCount; ++i) {
            vertices[i].f[FX_VTX_POS] = -vertices[i].f[FX_VTX_POS];
            vertices[i].f[FX_VTX_NORMAL] = -vertices[i].f[FX_VTX_NORMAL];
        }
    // A mirror turns the winding; culling and lighting expect it kept.
    if (indices)
        for (int32_t k = 0; k + 2 < indexCount; k += 3) std::swap(indices[k + 1], indices[k + 2]);
}
