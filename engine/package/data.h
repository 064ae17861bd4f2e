// Compact vertex storage of compiled meshes: the model-wide vector map and
// the per-mesh number pool that holds the corner stream.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/fxarray.h"

class FXPackage;
class FXPackageData;

// Growable byte buffer with a read position.
class FXNumPool {
public:
    uint8_t* data;
    uint8_t* readPos;
    int32_t readOffset;
    int32_t used;
    int32_t capacity;
    int32_t step;

    FXNumPool() : data(nullptr), readPos(nullptr), readOffset(0), used(0), capacity(0), step(1) {}
    explicit FXNumPool(int s) : data(nullptr), readPos(nullptr), readOffset(0), used(0), capacity(0), step(s < 1 ? 1 : s) {}
    ~FXNumPool() { DestroyBuf(); }
    FXNumPool(const FXNumPool&) = delete;
    FXNumPool& operator=(const FXNumPool&) = delete;

    void DestroyBuf();
    // Grows by whole steps to hold n bytes; false when the heap refuses.
    bool Realloc(int n);
    void PushByte(unsigned char v);
    void PushWord(unsigned short v);
    void PushInt(int v);
    void Reseek() {
        readPos = data;
        readOffset = 0;
    }
    bool GetNextByte(unsigned char* v);
    bool GetNextWord(unsigned short* v);
    bool GetNextInt(int* v);

    bool Save(FILE* f) const;
    // A stored size larger than the bytes that follow is cut to them.
    bool Load(FILE* f);
    bool LoadC(FXPackage* pck, FXPackageData* d);

private:
    bool Take(int n);
};

// Distinct positions, normals and texture coordinates shared by the meshes of
// a model, and which vertex of the mesh being decoded uses which of them.
class FXVectorMap {
public:
    FXArray work[6];  // encoder work lists
    FXFloatArray pos;
    FXFloatArray norm;
    FXFloatArray tex;
    FXArray firstPos, firstNorm, firstTex;
    FXArray usersPos, usersNorm, usersTex;  // FXArray* per index, or null
    int32_t numPos, numNorm, numTex;

    FXVectorMap();
    ~FXVectorMap() { Destroy(); }
    FXVectorMap(const FXVectorMap&) = delete;
    FXVectorMap& operator=(const FXVectorMap&) = delete;

    bool LoadC(FXPackage* pck, FXPackageData* d);
    bool Load(FILE* f);
    bool Save(FILE* f) const;

    // Copy vector i; out of range gives zeros and false.
    bool GetVecPos(int i, float* out) const;
    bool GetVecNorm(int i, float* out) const;
    bool GetVecTex(int i, float* out) const;

    // Append a vector and return its index (the writer's side).
    int PushVecPos(const float* v);
    int PushVecNorm(const float* v);
    int PushVecTex(const float* v);

    void ClearUsed();
    // Gives every index of the three lists its user slots (all cleared);
    // decoding against a map built in memory rather than loaded needs it.
    void SizeUsers();
    // Indexes outside the lists have no users: -1.
    int GetUsed(int p, int n, int t) const;
    // Indexes outside the lists are ignored.
    void PushUsed(int p, int n, int t, int vertex);
    void Destroy();

private:
    void CountVectors();
};
