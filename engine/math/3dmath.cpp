#include "math/3dmath.h"

#include <cmath>
#include <cstring>

#include "base/fxarray.h"
#include "package/package.h"

void FXMatrix::Clear(float v) {
    for (float& x : m) x = v;
}

void FXMatrix::Copy(const FXMatrix* src) {
    if (src && src != this) memcpy(m, src->m, sizeof m);
}

bool FXMatrix::Compare(const FXMatrix* o) const {
    for (int i = 0; i < 16; ++i)
        if (!(m[i] == o->m[i])) return false;
    return true;
}

void FXMatrix::SetIdentity() {
    Clear(0.0f);
    m[0] = m[5] = m[10] = m[15] = 1.0f;
}

void FXMatrix::SetFlipX() {
    SetIdentity();
    *M(0, 0) = -1.0f;
}

void FXMatrix::SetFlipY() {
    SetIdentity();
    *M(1, 1) = -1.0f;
}

void FXMatrix::SetFlipZ() {
    SetIdentity();
    *M(2, 2) = -1.0f;
}

void FXMatrix::SetMoveF(float x, float y, float z) {
    SetIdentity();
    *M(3, 0) = x;
    *M(3, 1) = y;
    *M(3, 2) = z;
}

void FXMatrix::SetScaleF(float x, float y, float z) {
    Clear(0.0f);
    *M(0, 0) = x;
    *M(1, 1) = y;
    *M(2, 2) = z;
    *M(3, 3) = 1.0f;
}

// The angle factor is a little under pi/180 and the product is rounded to
// single precision, as the stored scenes were made with it.
static void localSinCos(float deg, float* s, float* c) {
    const float kDegToRad = 0.017452778f;
    float r = deg * kDegToRad;
    *s = sinf(r);
    *c = cosf(r);
}

void FXMatrix::SetRotateX(float deg) {
    float s, c;
    localSinCos(deg, &s, &c);
    SetIdentity();
    *M(1, 1) = c;
    *M(2, 2) = c;
    *M(1, 2) = s;
    *M(2, 1) = -s;
}

void FXMatrix::SetRotateY(float deg) {
    float s, c;
    localSinCos(deg, &s, &c);
    SetIdentity();
    *M(0, 0) = c;
    *M(2, 2) = c;
    *M(0, 2) = s;
    *M(2, 0) = -s;
}

void FXMatrix::SetRotateZ(float deg) {
    float s, c;
    localSinCos(deg, &s, &c);
    SetIdentity();
    *M(0, 0) = c;
    *M(1, 1) = c;
    *M(0, 1) = -s;
    *M(1, 0) = s;
}

void FXMatrix::Multiply(const FXMatrix* a, const FXMatrix* b) {
    // Works on copies, so a caller that passes itself still gets the product.
    FXMatrix ca = *a, cb = *b;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += ca.Get(k, j) * cb.Get(i, k);
            *M(i, j) = sum;
        }
}

void FXMatrix::Save(FILE* f) const {
    if (!f) return;
    for (float v : m) {
        int32_t bits;
        memcpy(&bits, &v, 4);
        fxWriteInt32(f, bits);
    }
}

bool FXMatrix::Load(FILE* f) {
    if (!f) return false;
    float tmp[16];
    for (float& v : tmp) {
        int32_t bits;
        if (!fxReadInt32(f, &bits)) return false;
        memcpy(&v, &bits, 4);
    }
    memcpy(m, tmp, sizeof m);
    return true;
}

void fxVec2fCombine(float* out, const float* a, const float* b) {
    for (int i = 0; i < 2; ++i) out[i] = a[i] * b[i];
}
void fxVec3fCombine(float* out, const float* a, const float* b) {
    for (int i = 0; i < 3; ++i) out[i] = a[i] * b[i];
}
void fxVec4fCombine(float* out, const float* a, const float* b) {
    for (int i = 0; i < 4; ++i) out[i] = a[i] * b[i];
}

float fxVec1fCombineP(float a, float b, float t) {
    if (t == 0.0f) return a;
    if (t == 1.0f) return b;
    if (a == b) return a;
    return static_cast<float>((static_cast<double>(b) - a) * t + a);
}

static void localCombineP(float* out, const float* a, const float* b, float t, int n) {
    for (int i = 0; i < n; ++i) out[i] = fxVec1fCombineP(a[i], b[i], t);
}

void fxVec2fCombineP(float* out, const float* a, const float* b, float t) { localCombineP(out, a, b, t, 2); }
void fxVec3fCombineP(float* out, const float* a, const float* b, float t) { localCombineP(out, a, b, t, 3); }
void fxVec4fCombineP(float* out, const float* a, const float* b, float t) { localCombineP(out, a, b, t, 4); }

void fxColSetBlackT(float* c) { c[0] = c[1] = c[2] = c[3] = 0.0f; }
void fxColSetBlack(float* c) {
    c[0] = c[1] = c[2] = 0.0f;
    c[3] = 1.0f;
}
void fxColSetWhite(float* c) { c[0] = c[1] = c[2] = c[3] = 1.0f; }

// A component outside 0..1 (or NaN) is held to the channel's range so that it
// can never spill into its neighbours.
static unsigned localChannel(float v) {
    float x = v * 255.0f;
    if (!(x > 0.0f)) return 0;
    if (x >= 255.0f) return 255;
    return static_cast<unsigned>(x);
}

unsigned fxColToInt(const float* c) {
    return localChannel(c[3]) << 24 | localChannel(c[0]) << 16 | localChannel(c[1]) << 8 | localChannel(c[2]);
}

unsigned fxColToInt1(const float* c) {
    return localChannel(c[3]) << 24 | localChannel(c[2]) << 16 | localChannel(c[1]) << 8 | localChannel(c[0]);
}

void fxColFromInt(float* c, unsigned v) {
    c[3] = static_cast<float>((v >> 24) & 255) / 255.0f;
    c[0] = static_cast<float>((v >> 16) & 255) / 255.0f;
    c[1] = static_cast<float>((v >> 8) & 255) / 255.0f;
    c[2] = static_cast<float>(v & 255) / 255.0f;
}

void fxColFromInt1(float* c, unsigned v) {
    c[3] = static_cast<float>((v >> 24) & 255) / 255.0f;
    c[2] = static_cast<float>((v >> 16) & 255) / 255.0f;
    c[1] = static_cast<float>((v >> 8) & 255) / 255.0f;
    c[0] = static_cast<float>(v & 255) / 255.0f;
}

void fxColCutRange(float* c) {
    for (int i = 0; i < 4; ++i) {
        if (c[i] < 0.0f) c[i] = 0.0f;
        if (c[i] > 1.0f) c[i] = 1.0f;
    }
}

bool fxColIsZero(const float* c) { return c[0] == 0.0f && c[1] == 0.0f && c[2] == 0.0f && c[3] == 0.0f; }

void FXMatrix::LoadC(FXPackage*, FXPackageData* rec) {
    float tmp[16];
    if (!rec || !rec->ReadCopyBlc(tmp, static_cast<int>(sizeof tmp))) {
        SetIdentity();
        return;
    }
    memcpy(m, tmp, sizeof m);
}
