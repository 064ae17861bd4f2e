// A one-dimensional timing curve over the frames of an animation: key points
// (frame, value from 0 to the value resolution) joined linearly or by Bezier
// segments, sampled into an integer table that answers a value in [0, 1] for
// any frame. The frame animation stores one with its records; the editing,
// sampling and drawing operations serve the tool that edits the curve.
//
// Stored form (a file written by Save, or part of a package record),
// little-endian:
//   int32 frame count | int32 value resolution
//   counted list of int32 key frames | counted list of int32 key values
//   bool, bool (stored flags; true only when the byte is 1)
//   float32 smoothness | int32 samples per segment
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/fxarray.h"

class FXPackage;
class FXPackageData;

class FXBezierGraph {
public:
    // Samples drawn per Bezier segment are bounded by this.
    enum { kMaxSamples = 4096 };
    // Columns of a sample table are bounded by this.
    enum { kMaxColumns = 1 << 20 };

    int32_t frameCount;    // frames 0 .. frameCount - 1
    int32_t resolution;    // key values run from 0 to this
    FXArray keyFrames;     // int32, ascending without repeats
    FXArray keyValues;     // int32, parallel to keyFrames
    bool flag1, flag2;     // stored only
    float smoothness;      // tangent length factor of the Bezier form
    int32_t samples;       // points sampled per Bezier segment
    int32_t outScale;      // the integer that stands for 1.0 in the table
    FXArray table;         // int32 per column
    FXFloatArray polyline; // (x, y): keys and their controls, in output units
    FXFloatArray curve;    // (x, y) pairs

    FXBezierGraph();
    ~FXBezierGraph() { Destroy(); }
    FXBezierGraph(const FXBezierGraph&) = delete;
    FXBezierGraph& operator=(const FXBezierGraph&) = delete;

    // Empties the keys, the table and both float arrays.
    void Destroy();
    // Keys in use: the smaller of the two arrays' counts.
    int KeyCount() const;

    bool Save(FILE* f) const;
    // Both readers take the whole graph or nothing: a record that is cut
    // short or holds a count its bytes cannot hold leaves the graph empty,
    // returns false and logs why (the cursor is then left where the graph
    // began). Keys are brought into ascending order without repeats.
    bool Load(FILE* f);
    bool LoadC(FXPackage* pck, FXPackageData* d);

    // Key editing. Frames are frame numbers, positions index the keys.
    int FindFrame(int frame) const;
    int FindNearest(int frame) const;
    int FindNearestRight(int frame) const;
    void InsertFrame(int pos);
    int InsertFramePos(int frame);
    void DeleteFrame(int pos);
    void MoveFrame(int target, int source);
    int MoveFramePos(int newFrame, int oldFrame);
    void InsertResolutionPoint(int frame);
    void DeleteResolutionPoint(int frame);

    // Sampling.
    int ComputePointLinear(float x, int scale) const;
    void ComputeSplineLinear(int columns, int scale);
    void ComputeSplineBezier(int columns, int scale);
    void PreparePoints(float width, float height);
    void RecomputePoints(float width, float height);
    void RenderBezier(float width, float height);
    void SetSplinePt(int x, int y);
    void SetSplineLn(int x1, int y1, int x2, int y2);

    // Reading.
    int GetSplineResX() const { return table.count; }
    int GetFromSpline(int column) const;
    float GetFromSpline1(int frame) const;
};
