// Wavefront OBJ text read into lists of vectors and triangle records, from
// which FXModel::ImportObj builds one mesh per material.
//
// Accepted statements: v (z negated), vn (z negated), vt, f (a fan of
// triangles), l (line segments, kept but not imported), g, usemtl, mtllib and
// # comments; anything else is traced and skipped with its line. Corner forms
// p, p/t, p/t/n and p//n, decided by the face's first corner. Indices are
// 1-based; negative ones count back from the last vector read so far. A
// triangle naming a vector that does not exist is dropped with an err line;
// in a file without any vn (or vt) the normal (or texture) indices are
// ignored. A missing normal or texture coordinate reads as zeros.
#pragma once

#include <cstdint>

#include "base/fxarray.h"
#include "base/fxstr.h"

class FXMatlib;
class FXMesh;

// One triangle or line segment. Indices are 0-based; -1 where the corner
// form carries none.
struct FXObjRecord {
    int32_t line;  // 1 line segment (only pos[0..1] used), 0 triangle
    int32_t pos[3];
    int32_t norm[3];
    int32_t tex[3];
    int32_t material;
};

// A named group: the numbers of its records, in file order.
class MObjGroup {
public:
    FXStr name;
    FXMemory records;  // int32 record numbers
    int32_t next;      // where the next number is written

    MObjGroup() : records(4), next(0) {}
};

class FXObjModel {
public:
    char* path;          // copy of the file's path
    char* libraryFile;   // the last mtllib name, or null
    FXMatlib* library;   // the loaded library (held), or null
    FXStrArray materialNames;  // distinct usemtl names; the position is the material id
    FXArray meshes;      // FXMesh*, one per material id, made by the import
    FXMemory positions;  // 3 floats per v
    FXMemory normals;    // 3 floats per vn
    FXMemory texCoords;  // 2 floats per vt
    FXMemory records;    // FXObjRecord per triangle or segment
    FXArray groups;      // MObjGroup*, owned; group 0 is the unnamed one
    int32_t recordCount;
    int32_t droppedTriangles;  // left out by Import: an index names no vector

    FXObjModel();
    ~FXObjModel();
    FXObjModel(const FXObjModel&) = delete;
    FXObjModel& operator=(const FXObjModel&) = delete;

    // Reads the file and loads its material library (through the render
    // environment when there is one, else a library of its own). False when
    // the file does not open.
    bool Load(const char* path);
    // Builds one mesh per material id into `meshes` (which the caller then
    // takes) from the triangle records. Materials missing from the library
    // get a default material of the library's own. False when no triangle
    // is left.
    bool Import();
    void Destroy();

    const FXObjRecord* Record(int i) const;
    MObjGroup* Group(int i) const { return static_cast<MObjGroup*>(groups.data[i]); }

private:
    void LoadLibrary();
};
