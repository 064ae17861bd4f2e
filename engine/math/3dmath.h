// Matrices in OpenGL's column-major layout, small vectors and RGBA colours.
#pragma once

#include <cstdio>

class FXPackage;
class FXPackageData;

class FXMatrix {
public:
    float m[16];

    FXMatrix() { SetIdentity(); }

    // Element (i, j) is m[4i + j]; the translation is M(3, 0..2).
    float* M(int i, int j) { return &m[4 * i + j]; }
    float Get(int i, int j) const { return m[4 * i + j]; }

    void Clear(float v);
    void Copy(const FXMatrix* src);
    bool Compare(const FXMatrix* o) const;
    void SetIdentity();
    void SetFlipX();
    void SetFlipY();
    void SetFlipZ();
    void SetMove(const float* v) { SetMoveF(v[0], v[1], v[2]); }
    void SetMoveF(float x, float y, float z);
    void SetScale(const float* v) { SetScaleF(v[0], v[1], v[2]); }
    void SetScaleF(float x, float y, float z);
    void SetRotateX(float deg);
    void SetRotateY(float deg);
    void SetRotateZ(float deg);
    // this = a * b in OpenGL terms (b acts first). The product is taken from
    // copies, so this may be a or b.
    void Multiply(const FXMatrix* a, const FXMatrix* b);

    void Save(FILE* f) const;
    bool Load(FILE* f);
    void LoadC(FXPackage* pck, FXPackageData* rec);
};

void fxVec2fCombine(float* out, const float* a, const float* b);
void fxVec3fCombine(float* out, const float* a, const float* b);
void fxVec4fCombine(float* out, const float* a, const float* b);
float fxVec1fCombineP(float a, float b, float t);
void fxVec2fCombineP(float* out, const float* a, const float* b, float t);
void fxVec3fCombineP(float* out, const float* a, const float* b, float t);
void fxVec4fCombineP(float* out, const float* a, const float* b, float t);

void fxColSetBlackT(float* c);
void fxColSetBlack(float* c);
void fxColSetWhite(float* c);
// alpha, red, green, blue from the high byte down (memory: B G R A).
unsigned fxColToInt(const float* c);
void fxColFromInt(float* c, unsigned v);
// alpha, blue, green, red from the high byte down (memory: R G B A).
unsigned fxColToInt1(const float* c);
void fxColFromInt1(float* c, unsigned v);
void fxColCutRange(float* c);
bool fxColIsZero(const float* c);
