// The vertex record the device draws from: the same floats in memory, in
// the files that store meshes, and in the device's draw calls.
#pragma once

#include <cstdint>

class FXMaterial;

enum {
    FX_VTX_POS = 0,      // x, y, z
    FX_VTX_NORMAL = 3,   // x, y, z
    FX_VTX_TEX = 6,      // s, t
    FX_VTX_COLOR = 8,    // r, g, b, a
    FX_VTX_ACCNORM = 12, // accumulated normal
    FX_VTX_MARK = 15,    // selection mark / new number, as an int
    FX_VTX_FLOATS = 19
};

struct FXVertex {
    float f[FX_VTX_FLOATS];
};
static_assert(sizeof(FXVertex) == 76, "the vertex record is stored as it is in memory");

// One draw call: an indexed triangle list with its material. Indices lie
// inside the vertex list (the caller checked them); `second` gives the
// texture coordinates of texture unit 1 for as many vertices, or is null.
struct FXTriangles {
    const FXVertex* vertices = nullptr;
    int32_t vertexCount = 0;
    const int32_t* indices = nullptr;
    int32_t indexCount = 0;
    bool vertexColors = false;          // colour each vertex (colour material)
    FXMaterial* material = nullptr;     // null: the default material
    const FXVertex* second = nullptr;
    FXMaterial* material2 = nullptr;    // texture unit 1, with second
};
