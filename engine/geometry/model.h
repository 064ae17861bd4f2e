// A model: a named group of meshes sharing one material library, drawn as one
// object. The loaded meshes keep the state read from the package; the working
// meshes are copies of them that are drawn and edited, so a model can go back
// to its loaded state (UpdateMeshes).
//
// Stored form (a file written by Save, or a package record), little-endian:
//   string magic "xm02" | "xm03"
//   string name, string library name (in a package the library record's
//   number in decimal, in a file its path)
//   int32 mesh count M
//   xm02: M meshes in the whole mesh form
//   xm03: one vector map shared by all meshes, then M times the mesh header
//         form followed by that mesh's number pool (its corner stream)
// Save writes xm03, Save_v02 xm02, both from the working meshes.
//
// The library comes from the render environment (fxglobalEnv); without an
// environment the meshes load without materials.
#pragma once

#include <cstdio>

#include "base/fxarray.h"
#include "base/fxstr.h"
#include "render/env.h"

class FXMatlib;
class FXMesh;
class FXPackage;
class FXPackageData;

class FXModel : public PRender {
public:
    FXStr name;
    FXStr libraryName;
    FXMatlib* library;    // held (reference counted); released by Destroy
    bool flipVertical;    // handed to every working mesh before its texture coordinates are rescaled
    FXArray loadedMeshes;  // FXMesh*, owned; entries may be null
    FXArray meshes;        // working meshes, FXMesh*, owned; entries may be null

    FXModel();
    virtual ~FXModel();
    FXModel(const FXModel&) = delete;
    FXModel& operator=(const FXModel&) = delete;

    // Draws the working meshes: opaque ones first, then two-sided
    // transparent ones back faces first, then the ones drawn without and
    // again with depth writes.
    void OnRender(PEnv* env, double t) override;

    // Loaders empty the model first. A missing record or file, an unknown
    // magic or a damaged record gives false and an empty model (with an err
    // line saying why). The working list is left empty: call UpdateMeshes.
    bool LoadCN(FXPackage* pck, int id);
    bool LoadC(FXPackage* pck, FXPackageData* d);
    bool Load(const char* path);
    bool Load(FILE* f);
    bool Save(const char* path);
    bool Save(FILE* f);
    bool Save_v02(const char* path);
    bool Save_v02(FILE* f);

    // Reads a Wavefront OBJ file with its MTL library: one loaded mesh per
    // material, in order of first use. False (and an empty model) when the
    // file does not open or holds no triangle. The working list is left
    // empty: call UpdateMeshes.
    bool ImportObj(const char* path);

    // Registers the library and its textures with a package being built;
    // the library name becomes the library record's number.
    void Compile(FXPackage* pck);

    void Destroy();
    // Working meshes = copies of the loaded meshes, in order.
    void UpdateMeshes();
    // Makes this model a copy of src's working state, sharing its library.
    void Copy(FXModel* src);

    int MeshCount() const { return meshes.count; }
    FXMesh* EnumMeshes(int i);
    // The material of working mesh i (its first field is the name), or null.
    FXMaterial* EnumMeshNames(int i);
    // First working mesh whose material has this name; the search ends at a
    // mesh without material.
    FXMesh* FindMesh(const char* name);
    void DisableMesh(int i, bool off);
    // Takes m out of the working list, or else out of the loaded list; the
    // caller then owns it.
    void RemoveMesh(FXMesh* m);

    // Operations over the working meshes (null entries are skipped).
    void Normalize(bool onlySelected);
    void ResizeTextCoords();
    void ResizeTextCoords1();
    // Mesh i, or every mesh for -1.
    void ComputeFrontTexCoords(int i);
    // From src's mesh i (every mesh for -1); only when both have as many meshes.
    void CopyTexCoords(int i, FXModel* src);
    // One bounding box over all meshes: min x, max x, min y, max y, min z, max z.
    void FindMaxims(float* box);
    void UnitizeMaxims(const float* box);
    void UnitizeMaximsStretch(const float* box);
    void UnitizeMaximsStretch1(const float* box);
    void FlipHoriz();
    void Unitize();
    void UnitizeStretch();
    void UnitizeStretch1();
    void Transform(int a, int b, int c, bool nx, bool ny, bool nz);
    // Vertex colours rgba on every mesh, which then draws with them.
    void UpdateColCol(const float* rgba);
    void UpdateColMat(const float* rgba);
    void PreserveColMat();
    int GetTotalVertices() const;

private:
    bool Load_v02C(FXPackage* pck, FXPackageData* d);
    bool Load_v03C(FXPackage* pck, FXPackageData* d);
    bool Save_v03(FILE* f);
    void UseLibrary(FXPackage* pck);
    bool Damaged(const char* what, const char* why);
};
