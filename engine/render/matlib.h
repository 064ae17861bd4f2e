// A named list of materials with a parent library searched first.
#pragma once

#include <cstdint>

#include "base/fxarray.h"
#include "base/fxstr.h"

class FXMaterial;
class FXPackage;

class FXMatlib {
public:
    FXStr name;
    FXMatlib* parent;
    FXArray materials;  // FXMaterial*, in file order
    bool autoDelete;
    int32_t refCount;

    FXMatlib() : parent(nullptr), autoDelete(true), refCount(1) {}
    ~FXMatlib() { Destroy(); }
    FXMatlib(const FXMatlib&) = delete;
    FXMatlib& operator=(const FXMatlib&) = delete;

    // Deletes the materials the library made; materials added from outside
    // stay alive.
    void Destroy();
    void Release();
    void AddMaterial(FXMaterial* m);
    void RemoveMaterial(FXMaterial* m);
    FXMaterial* FindMaterial(const char* name);
    int Count() const { return materials.count; }
    FXMaterial* Get(int i) const { return static_cast<FXMaterial*>(materials.data[i]); }

    // Wavefront MTL text file.
    bool LoadFromMtl(const char* path);
    // Library record: key is the record number in decimal.
    bool LoadC(FXPackage* pck, const char* key);
    // The record layout in a binary file of its own.
    void Load(const char* path);
    bool Save(const char* path);
    // Adds every texture file to a package being built; the names become
    // record numbers.
    void Compile(FXPackage* pck);
};
