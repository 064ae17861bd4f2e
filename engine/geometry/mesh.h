// The engine's geometry container: an indexed triangle list with a fixed
// vertex record, a material and the flags that tell the device how to draw it.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/fxstr.h"
#include "render/vertex.h"

class FXMaterial;
class FXMatlib;
class FXPackage;
class FXPackageData;
class FXVectorMap;
class FXNumPool;
class PEnv;

// Corner stream: control byte bits per component (position, normal,
// texture), each saying how its index is stored.
enum {
    FX_CORNER_NEXT = 0,   // previous index + 1, nothing stored
    FX_CORNER_BYTE = 1,
    FX_CORNER_WORD = 2,
    FX_CORNER_INT = 3
};

class FXMesh {
public:
    bool hidden;
    int32_t renderPass;  // 0 opaque, 1 transparent both sides, 2 transparent twice
    int32_t colorMode;   // 0 no vertex colours, 1 vertex colours
    bool flipVertical;
    FXMesh* secondMesh;  // texture coordinates for texture unit 1; not owned
    FXMaterial* material;  // borrowed from a library that outlives the mesh
    FXStr materialName;
    float loadedScaleU, loadedScaleV;
    int32_t vertexCapacity, vertexCount;
    FXVertex* vertices;
    int32_t indexCapacity, indexCount;
    int32_t* indices;

    FXMesh();
    ~FXMesh();
    FXMesh(const FXMesh&) = delete;
    FXMesh& operator=(const FXMesh&) = delete;

    void Destroy();
    // Sets the counts; a buffer too small is replaced by a fresh one of
    // exactly the new size (contents not kept, not cleared).
    void Realloc(int v, int i);
    void Copy(const FXMesh* src);
    void CopyMeshI(const FXMesh* src);

    float* Vertex(int i) { return vertices[i].f; }

    // Draws the mesh with its material (the default one without) through
    // the device's triangle primitive; a hidden or empty mesh draws nothing.
    void Render(PEnv* env) const;

    // Whole form: header, vertex records, indices. Every loader leaves only
    // indices that lie inside the vertex list (see DropBadTriangles), so the
    // device never checks them while drawing.
    bool SaveMesh(FILE* f) const;
    bool LoadMesh(FILE* f, FXMatlib* lib);
    bool LoadMeshC(FXPackage* pck, FXPackageData* d, FXMatlib* lib);

    // Header form, followed elsewhere by the corner stream that FromVMap
    // decodes. The loaders size the buffers from the stored counts, cut to
    // what the bytes behind the header could possibly describe.
    bool SaveMeshI(FILE* f) const;
    bool LoadMeshI(FILE* f, FXMatlib* lib);
    bool LoadMeshIC(FXPackage* pck, FXPackageData* d, FXMatlib* lib);

    // Decodes a corner stream against a vector map; identical corners share
    // one vertex. A damaged stream keeps the corners decoded before the
    // damage and returns false.
    bool FromVMap(FXVectorMap* map, FXNumPool* pool);
    // Appends this mesh's vectors to the map (sharing the ones already
    // there) and its corner stream to the pool. Decoding gives this mesh
    // with identical vertices merged, numbered in order of first use and
    // unreferenced ones left out, i.e. the mesh as ApplyRedir leaves it.
    // Only position, normal and texture coordinates are stored.
    void ToVMap(FXVectorMap* map, FXNumPool* pool) const;
    // Brings the mesh into the form its corner stream decodes to.
    void ApplyRedir();

    // Removes every triangle with a corner outside the vertex list (an
    // incomplete last triangle counts as one); returns the indices removed.
    int DropBadTriangles();

    void ResizeTexCoords();
    void ResizeTexCoords1();
    void Normalize(bool onlySelected);
    void ComputeFrontTexCoords();
    void CopyTexCoords(const FXMesh* src);
    void FindMaxims(float* box) const;
    void FindMultiMaxims(bool* first, float* box) const;
    void UnitizeMaximsStretch1(const float* box);
    // The box centred on the origin and scaled alike on all axes so that
    // its largest side spans -1..1.
    void UnitizeMaxims(const float* box);
    // The box centred and each axis scaled on its own to -1..1; an axis of
    // zero extent is only centred.
    void UnitizeMaximsStretch(const float* box);
    // Mirrors x (positions and normals) and turns every triangle round, so
    // its front stays the side that faces the viewer.
    void FlipHoriz();
    void Transform(int a, int b, int c, bool nx, bool ny, bool nz);
    static int TextToIndi(const char* s);
    void SetVerticesCol(const float* rgba);
    void DiscardTrianglesTransp(int unused, float alpha);
    void DiscardVertices();

private:
    void FinishLoad(const char* what);
};
