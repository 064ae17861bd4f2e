// The flat textured grid on which every picture of the show is drawn: w x h
// quads filling the -1..1 square unless deformed.
#pragma once

#include <cstdint>

#include "geometry/mesh.h"
#include "render/env.h"

class FXMaterial;

class FXCanvas;

class FXDesk : public PRender {
public:
    int32_t w;
    int32_t h;
    FXMesh mesh;

    FXDesk() : w(0), h(0) {}
    ~FXDesk() { Destroy(); }
    FXDesk(const FXDesk&) = delete;
    FXDesk& operator=(const FXDesk&) = delete;

    void Create(int columns, int rows);
    void SetMaterial(FXMaterial* m);
    void SetMaterial1(FXMaterial* m);

    void OnRender(PEnv* env, double t) override;
    virtual void Destroy();
    virtual void UpdatePos(bool pos, bool normals);
    virtual void UpdatePosFlame(float a, float b, float c);
    virtual void UpdatePosSkew(bool pos, bool normals, float sx, float sy);
    virtual void UpdatePosSkew1(bool pos, bool normals, float sx, float sy);
    virtual void MultiPosSkewX(float s);
    virtual void UpdatePosPerspective(float p);
    virtual void UpdateCol();
    virtual void UpdateColCol(const float* rgba);
    virtual void UpdateCol_LT_RB(const float* lt, const float* rb);
    virtual void UpdateTex();
    virtual void UpdateTex1();
    virtual void UpdateTexRc(float left, float top, float right, float bottom);

    // Leaves out the cells whose part of pic (the used area, spread over the
    // whole desk, with margin texels around for filtering) is clear enough
    // that the alpha test would drop every pixel: a picture that is clear
    // over most of the screen then costs only where it shows. Returns the
    // number of cells left out; Create brings them all back.
    int LeaveOutClearCells(const FXCanvas& pic, int margin);

    // Corners of a 1 x 1 desk, clockwise from the top-left: 1..4.
    void SetVertexPos(int corner, float x, float y);
    void SetTexelPos(int corner, float s, float t);
    // Pixel positions on a W x H screen, y downward.
    void SetVertexPos1(int corner, int px, int py, int W, int H);
    void SetTexelPos1(int corner, int px, int py, int W, int H);

protected:
    // The material's texture scales, (0, 0) without a material.
    void TexScales(float* su, float* sv) const;
    float U(int x) const { return w > 0 ? static_cast<float>(x) / static_cast<float>(w) : 0.0f; }
    float V(int y) const { return h > 0 ? static_cast<float>(y) / static_cast<float>(h) : 0.0f; }
    float* Vtx(int x, int y) { return mesh.vertices[y * (w + 1) + x].f; }
};
