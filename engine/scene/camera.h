// Camera items: a camera point is a stored camera setting (zoom level and
// offset) and a node of the camera graph (its dependencies are the points
// the camera may move on to); a camera zoom turns the scene's active camera
// values, or a move between two points, into a zoom-and-pan matrix for the
// items that depend on it.
//
// Payloads after the base record:
//   camera point: int32 zoom level, float32 X offset, float32 Y offset
//   camera zoom:  float32 zoom step (percent per level)
#pragma once

#include "scene/item.h"

class FXItemCameraPt : public FXItem {
public:
    int32_t zoomLevel;  // zoom steps; negative zooms out
    float offsetX, offsetY;

    // The phaser is the rest time at this point (duration 0: no rest); it
    // plays once.
    FXItemCameraPt();

    void OnRender(PEnv*, double) override {}
    bool LoadC(FXPackage* pck, FXPackageData* d, int version) override;
    bool Save(FILE* f, const char* folder) override;
    void ReCreate() override {}
    void DependRender(PEnv*, double, bool) override {}
    // Its links are the camera graph: the camera may go back and forth.
    bool ForwardsDepends() const override { return false; }
};

class FXItemCameraZoom : public FXItem {
public:
    // Levels beyond this many steps either way count as this many: the zoom
    // is a power of the step and must stay a finite number.
    enum { kMaxLevel = 100 };

    float zoomStep;  // percent per zoom level
    float zoomStart, zoomEnd;
    float xStart, xEnd;
    float yStart, yEnd;

    FXItemCameraZoom();

    // Rebuilds the matrix from the camera move or the active camera values.
    void OnRender(PEnv* env, double time) override;
    bool LoadC(FXPackage* pck, FXPackageData* d, int version) override;
    bool Save(FILE* f, const char* folder) override;
    void ReCreate() override {}
    void DependRender(PEnv* env, double time, bool pre) override;

    // Captures the scene's active camera values as the start (end 0) or the
    // end (end 1) of a camera move.
    void PrepareAnim(int end);
    // Zoom and offsets for a level and offset with this item's step.
    void CameraValues(int level, float x, float y, float* zoom, float* ox, float* oy) const;
};
