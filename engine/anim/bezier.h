// Bezier segments and the smooth spline through 3-D points that the frame
// animation morphs its vertices along.
//
// A spline is built once per set of points:
//   push x, y, z of every point into points (set closed, tension and
//   straightLines), Precompute(), then PrecomputePhasesLinear() or
//   PrecomputePhasesLenght().
// and evaluated any number of times, a segment at a time (SetActPoints, then
// Get or GetH at t in [0, 1]) or over the whole curve (GetAll at a phase in
// [0, 1]). To change the points, Destroy and build again.
//
// Between two points the curve is a cubic segment whose controls lie on the
// tangent along the line from the previous to the next point, at distances of
// half the adjacent chords times the tension. An open spline's first and last
// segments are quadratic. Neighbours wrap around for the controls whether the
// spline is closed or not, so segment n - 1 (last point back to the first)
// always exists.
#pragma once

#include <cstdint>

#include "base/fxarray.h"

// The powers of one phase, computed once and shared by many segments.
class FXBezierPhaseH {
public:
    float t, t2, t3;  // t, t^2, t^3
    float u;          // 1 - t
    float ut2;        // 2 (1 - t) t
    float u2;         // (1 - t)^2

    FXBezierPhaseH() : t(0.0f), t2(0.0f), t3(0.0f), u(1.0f), ut2(0.0f), u2(1.0f) {}
    void Prepare(float phase);
};

// Quadratic segment P0, P1, P2.
class FXBezier3 {
public:
    float p[3][3];

    void Get(float* out, float t) const;
    void GetH(float* out, const FXBezierPhaseH* h) const;
};

// Cubic segment P0..P3 with its power-basis coefficients (per axis a, b, c),
// filled by Precompute after the points are set.
class FXBezier4 {
public:
    float p[4][3];
    float coef[3][3];

    void Precompute();
    void Get(float* out, float t) const;
    void GetH(float* out, const FXBezierPhaseH* h) const;
};

class FXBezierSpline {
public:
    enum { kKindNone = 0, kKindLine2 = 2, kKindQuad = 3, kKindCubic = 4 };

    bool closed;          // also use the segment from the last point to the first
    float tension;        // scales the control distances
    FXFloatArray points;  // x, y, z per point; the owner fills it
    FXFloatArray ctrl;    // per point: incoming control, then outgoing control
    FXBezier3 first;      // open spline: P0 .. P1
    FXBezier3 last;       // open spline: P(n-2) .. P(n-1)
    FXBezier4* beziers;   // segment i runs from point i to point i + 1 (n - 1: back to 0)
    int32_t bezierCount;
    bool constant;        // evaluation returns constPoint
    float constPoint[3];
    // The selected segment's end points (copies, so they never outlive the
    // arrays) and the straight-line delta end - start.
    float segStart[3];
    float segEnd[3];
    float lineDelta[3];
    const FXBezier3* act3;  // selected quadratic segment (kind 3)
    const FXBezier4* act4;  // selected cubic segment (kind 4)
    int32_t kind;           // kKind...
    float twoDelta[3];      // P(1) - P(0) of a two-point spline
    FXFloatArray phases;    // phase at which each point is reached
    int32_t actSegment;     // segment selected last
    float totalLength;      // by PrecomputePhasesLenght
    float meanLength;
    bool straightLines;     // segments are straight lines between the points

    FXBezierSpline();
    ~FXBezierSpline() { Destroy(); }
    FXBezierSpline(const FXBezierSpline&) = delete;
    FXBezierSpline& operator=(const FXBezierSpline&) = delete;

    // Frees points, controls, segments and phases; nothing refers to them
    // afterwards (evaluation gives the origin).
    void Destroy();
    int GetCnt() const { return points.count > 0 ? points.count / 3 : 0; }

    // Controls, segments, and SetActPoints(0, 1).
    void Precompute();
    void PrecomputeCtrlPoints();
    void PrecomputeBeziers();
    void ReallocBeziers(int n);
    void DestroyBeziers();

    // phase(i) = i / (n - 1).
    void PrecomputePhasesLinear();
    // Phases by arc length along the chords (the closing chord counts when
    // closed). Points that all coincide have no length: the phases are then
    // the linear ones.
    void PrecomputePhasesLenght();

    // Selects the segment from point i to point j (-1 means the last point).
    // Straight lines and two-point splines run from P(i) to P(j) in that
    // order. An index outside the points selects no segment: the spline
    // rests on the point nearest to i.
    void SetActPoints(int i, int j);
    // The selected segment at t in [0, 1].
    void Get(float* out, float t) const;
    void GetH(float* out, const FXBezierPhaseH* h) const;

    // -1: phase lies before point i's; +1: after point j's; 0: in segment i.
    int TestPhase(int i, int j, float phase) const;
    // The whole curve at a phase in [0, 1] (clamped; NaN reads as 0). Needs
    // the phases; without them the first point (or the origin).
    void GetAll(float* out, float phase);
    // x along straight lines between the points at a phase.
    float GetAllPos(float phase);

private:
    int32_t actTo;  // end point of the segment selected last
    int FindSegment(float phase) const;
    float LocalT(int i, int j, float phase) const;
    const float* Pt(int i) const { return points.data + 3 * i; }
};
