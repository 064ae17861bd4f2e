// Transform items: each drives one value with its phaser, maps it between a
// start and an end value and rebuilds its matrix from it once per frame.
// Items that name one among their dependencies are moved, turned or sheared
// by that matrix. They draw nothing.
//
// Payload after the base record: int32 direction, float32 start, float32 end.
#pragma once

#include "scene/item.h"

class FXItemTransform : public FXItem {
public:
    int32_t direction;  // per kind; other values give the identity
    float startValue;
    float endValue;

    FXItemTransform();

    // Advances the phaser and rebuilds the matrix.
    void OnRender(PEnv* env, double time) override;
    bool LoadC(FXPackage* pck, FXPackageData* d, int version) override;
    bool Save(FILE* f, const char* folder) override;
    void ReCreate() override {}
    void DependRender(PEnv* env, double time, bool pre) override;

    // The value at the phaser's present value.
    float Value() const;
    // The matrix for a value and the item's direction.
    virtual void BuildMatrix(float v, FXMatrix* out) const = 0;
};

// Translation along one screen axis: direction 0 -x, 1 +y, 2 +x, 3 -y.
class FXItemMove : public FXItemTransform {
public:
    FXItemMove();
    void BuildMatrix(float v, FXMatrix* out) const override;
};

// Rotation by v degrees about X (direction 0), Y (1) or Z (2).
class FXItemRotate : public FXItemTransform {
public:
    FXItemRotate();
    void BuildMatrix(float v, FXMatrix* out) const override;
};

// A shear of the unit square anchored at one edge: direction 0 shears y
// fixed along x = 1, 1 shears x fixed along y = -1, 2 shears y fixed along
// x = -1, 3 shears x fixed along y = 1.
class FXItemSkew : public FXItemTransform {
public:
    FXItemSkew();
    void BuildMatrix(float v, FXMatrix* out) const override;
};
