// A frame animation: key-frame models of one topology, shown one after
// another or morphed into each other along a spline per vertex through that
// vertex's positions (and one through its normals) in all frames.
//
// Stored form (a file written by Save, or a package record), little-endian:
//   string magic "xa03" (the older form has none and starts at the names)
//   counted list of strings: frame names (F)
//   counted list of int32: milliseconds per frame (<= 0: 500)
//   timing graph (beziergraph.h) | float32 stored value
//   bool playing, reverse, loop, bounce
//   older form: nothing more; each frame's model is loaded by its name (a
//     file path, or in a package the model record's number in decimal)
//   xa03: int32 mesh count M | string material library name
//     M mesh headers (mesh.h header form), written from frame 0
//     M number pools: each mesh's corner stream
//     F vector maps, one per frame: the stream's indices name the same
//       slots in every frame's map, so frames share topology and store only
//       their own vectors; vertices equal in all frames share their slots.
//
// Use: load, prepare (Unitize..., Normalize, ComputeFrontTexCoords,
// ResizeTextCoords1), UpdateInterpolation(true, ...), StartAnim(t), then
// OnRender once per frame; a play without loop ends on its last pose with
// playing cleared. The frames that play are as many as there are names,
// durations and models alike (the smallest of the three counts).
#pragma once

#include <cstdint>
#include <cstdio>

#include "anim/beziergraph.h"
#include "anim/movie.h"
#include "base/fxarray.h"
#include "geometry/model.h"
#include "render/env.h"

class FXPackage;
class FXPackageData;

class FXAnim : public PRender, public PMovieLink {
public:
    // A record is refused beyond these: every frame holds a model, and
    // every vertex of every frame a record and two spline points.
    enum { kMaxFrames = 10000, kMaxVertexFrames = 1 << 20 };

    FXBezierGraph graph;   // stored with the animation; playback ignores it
    float storedValue;     // kept only
    bool playing, reverse, loop, bounce;
    double frameStart;     // when the current frame began (seconds)
    int32_t actFrame;
    double frameDuration;  // of the current frame, seconds
    bool phaseDriven;      // SetActPhase, not time, poses the model
    bool segmentRefresh;   // the next frame chooses its segment again
    FXArray models;        // FXModel*, owned, one per frame; may be null
    FXStrArray frameNames;
    FXArray durations;     // int32 milliseconds per frame
    bool interpolation;
    bool interpolationFlag;  // the second flag of UpdateInterpolation, kept only
    bool straightLines;
    FXModel imodel;        // frame 0's copy that the splines pose
    FXArray posSplines, normSplines;  // FXBezierSpline*, owned, per vertex of imodel
    bool reversedSegment;  // the segment runs at 1 - phase
    float tension;
    float actPhase;
    bool easeInOut;

    FXAnim();
    virtual ~FXAnim();
    FXAnim(const FXAnim&) = delete;
    FXAnim& operator=(const FXAnim&) = delete;

    void Destroy();
    int FrameCount() const;
    FXModel* Model(int frame) const;
    // Appends a frame (the animation owns model); ms <= 0 plays 500 ms.
    void AddFrame(FXModel* model, const char* name, int ms);

    // Loaders empty the animation first; a missing, damaged or oversized
    // record gives false and an empty animation (with an err line). Frames
    // beyond the shorter of the name and duration lists are dropped.
    bool LoadCN(FXPackage* pck, int id);
    bool LoadC(FXPackage* pck, FXPackageData* d);
    bool Load(const char* path);
    bool Load(FILE* f);
    // xa03. False, writing nothing, when a frame lacks a model or differs
    // from frame 0 in its meshes' vertex counts.
    bool Save(const char* path);
    bool Save(FILE* f);
    bool Save_v02(const char* path);
    bool Save_v02(FILE* f);
    void Compile(FXPackage* pck);

    // Preparation, over every frame (null models skipped); a frame outside
    // the range does nothing. The box of frame f serves every frame, so the
    // frames stay aligned.
    void Unitize(int frame);
    void UnitizeStretch(int frame);
    void UnitizeStretch1(int frame);
    void UnitizeStretch1HalfHoriz(int frame);
    void FlipHoriz();
    void Normalize(int frame, bool onlySelected);  // frame -1: every frame
    // Front mapping of mesh `channel` (-1: every mesh) of frame f, copied
    // to the other frames.
    void ComputeFrontTexCoords(int frame, int channel);
    void ResizeTextCoords();
    void ResizeTextCoords1();
    // Made to fit the screen and front-mapped with its picture, posed at its
    // start and ready to play once: how the show and the tools present an
    // animation. Not playing until started.
    void PrepareForShow();

    // Playback.
    void StartAnim(double time);
    void ContinueAnim(double time);
    void ComputeFrameDuration();
    void OnRender(PEnv* env, double time) override;

    // Interpolation.
    void UpdateInterpolation(bool on, bool flag);
    void UpdateIFrame();
    void UpdateIPos(double time);
    void SetActFrames(int from, int to) override;
    void SetActPhase(float phase) override;
    bool HasSplines() const { return posSplines.count > 0; }

    // Moves frame source (model, name and duration) to position target;
    // positions outside the frames mean the last one.
    void MoveFrame(int target, int source);
    // Vertex a of mesh ma and vertex b of mesh mb hold the same first nine
    // floats in every frame (NaN never matches).
    bool TestRedirect(int ma, int va, int mb, int vb) const;

private:
    bool Damaged(const char* why);
    bool Load_v02C(FXPackage* pck, FXPackageData* d);
    bool Load_v03C(FXPackage* pck, FXPackageData* d);
    void SaveHead(FILE* f, int frames) const;
    void TrimFrames();
    void SelectSegment(int from, int to);
    void PoseFrame(int frame);
    void Pose(float phase);
    void FreeSplines();
    void ForModels(void (*op)(FXModel*, const float*), int frame, bool halfHoriz);

    int32_t restFrame_;  // >= 0: the segment is empty, the pose is this frame's
};
