// A sprite movie: a flip book of pictures played on one textured quad. Each
// stored frame is a picture plus a mask for its alpha, cropped to its visible
// area; the frame's edges put the quad back where that area lay in the full
// picture. Frames are decoded just in time into a small pool of materials:
// while one is shown the next is prepared, and a frame is only replaced once
// the next one is ready.
//
// Stored form (a file written by Save, or a package record), little-endian:
//   string magic "xs01" | "xs02" | "xs03"
//   xs02+: bool loop, bool bounce, float64 frame duration (seconds)
//   int32 largest width, int32 largest height
//   counted list of float32 edges (four per frame)
//   counted list of strings: frame names, then mask names
//   xs03: bool key frames on, and when set a counted list of int32 key frames
// In a package the names are record numbers in decimal.
//
// Playing, per frame of the owner:
//   OnRender(env, t); Prepare(-1);
// Restarting: EmptyPrepared(); Restart(t) or RestartBack(t); Prepare(-1).
// A looping movie never ends: an owner that waits for the end (fewer than two
// prepared frames left) must clear loop before Restart, or use PlayOnce.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/fxarray.h"
#include "base/fxstr.h"
#include "geometry/desk.h"
#include "image/canvas.h"
#include "render/env.h"

class FXMaterial;
class FXPackage;
class FXPackageData;
class FXPixmap;

// A frame animation that a movie's key frames drive: between two key frames
// the movie hands it the pair of its frames and the phase between them.
class PMovieLink {
public:
    virtual void SetActFrames(int a, int b) = 0;
    // The phase from now on replaces time as what advances its frames.
    virtual void SetActPhase(float phase) = 0;

protected:
    ~PMovieLink() {}
};

class SMovie : public PRender {
public:
    enum { kDefaultPool = 2 };
    // Frame duration of a record whose own is not a number from 0 to 1 s.
    static constexpr double kDefaultFrameDuration = 0.04;

    bool maskMode;       // frames are a picture and a mask each; else pictures with alpha
    bool playing;        // frames advance in OnRender / OnRender1
    bool loop;           // at an end go on (restart or bounce) instead of stopping
    bool bounce;         // with loop: turn at each end instead of jumping to the other
    bool needsCreating;  // the next Prepare makes the desk and the pool
    int32_t poolSize;    // materials for decoded frames: one shown plus those ahead
    FXStrArray frameNames;  // paths, or record numbers in a package
    FXStrArray maskNames;   // parallel to frameNames
    FXArray frameBytes, frameSizes;  // in memory: each frame's encoded bytes and their count
    FXArray maskBytes, maskSizes;
    FXArray prepared;        // FXMaterial*, oldest first; the first is on screen
    FXArray preparedFrames;  // frame number of each prepared material
    FXArray freeMats;        // FXMaterial* of the pool not holding a queued frame
    FXDesk desk;             // the 1 x 1 quad
    int32_t direction;       // +1 forwards, -1 backwards
    int32_t lastPrepared;    // frame most recently decoded, -1 before the first
    bool ended;              // a movie that does not loop has decoded its last frame
    double frameDuration;    // seconds each frame stays at least
    double lastChange;       // engine time of the last frame change
    FXCanvas staging;        // decoded picture; its pixmap is combined and uploaded
    bool inMemory;           // frames decode from the byte lists, not from files
    bool edgesOn;            // the frame's edges place the quad
    FXArray cropRects;       // made by the conversion: x0, y0, x1, y1 per frame, inclusive
    FXFloatArray edges;      // left, top, right, bottom per frame in -1..1, y up
    int32_t largestWidth, largestHeight;
    bool waitExact;          // OnRender waits until the next frame is due (bounded by one
                             // frame duration; never under a clock other than the system's)
    bool converted;          // frames are in stored form
    bool keyFramesOn;
    FXArray keyFrames;       // ascending frame numbers where linked animations change pair
    PMovieLink* anims[2];    // driven by the key frames; not owned
    int32_t keyStart, keyEnd;  // cached key-frame segment
    FXPackage* package;      // the package the movie came from, null for files
    bool layeredCols;        // the conversion premultiplies colour by alpha
    bool resize;             // the conversion scales pictures by resizeX, resizeY
    float resizeX, resizeY;
    // Opacity of the quad: OnRender and OnRender0 put it into the alpha of the
    // quad's vertex colours. Kept here so it exists without frames or quad.
    float alpha;
    double lastWait;  // seconds the last OnRender waited for its frame

    SMovie();
    ~SMovie();
    SMovie(const SMovie&) = delete;
    SMovie& operator=(const SMovie&) = delete;

    // Loading and storing. A load starts with Destroy and leaves the movie
    // empty on any fault (missing source, unknown magic, lists shorter than
    // the frames or longer than the bytes); the result says whether frames
    // were loaded.
    bool Load(const char* path);
    bool LoadCN(FXPackage* pck, int id);
    bool LoadC(FXPackage* pck, const char* key);
    bool LoadC(FXPackage* pck, FXPackageData* rec);
    // Reads the stored form from bytes (the names stay as stored).
    bool LoadFromData(FXPackageData* rec);
    // Fetches every frame's and mask's bytes; afterwards frames decode from
    // memory. False when some frame or mask had none.
    bool LoadIntoMem();
    // A file's bytes in a new buffer (release with delete[]), or, with a
    // package, the record's own bytes. Null and 0 when missing.
    uint8_t* PrepareMem(const char* name, int* size);
    // Converts the frames first when not yet converted; writes "xs03".
    bool Save(const char* path);
    // The stored form in memory ("xs03"), names as they are.
    bool SaveToBuf(FXMemory* out) const;
    // Registers every frame and mask file with a package being built and
    // replaces the names by their record numbers.
    bool Compile(FXPackage* pck);
    static void PrepareNameArray(const char* folder, FXStrArray* names);
    void Destroy();

    // Playing.
    void Prepare(int limit);
    void EmptyPrepared();
    void Restart(double t);
    void RestartBack(double t);
    void Continue(double t);
    // Plays from the first frame to the last once and ends there.
    void PlayOnce(double t);
    // True when no further frame will come: the movie ended (or is empty)
    // and at most one frame is left in the queue.
    bool IsFinished() const;
    void OnRender(PEnv* env, double t) override;
    virtual void OnRender0(PEnv* env, double t);
    virtual void OnRender1(PEnv* env, double t);
    // Decoding of one frame; a frame that does not decode keeps m's texture.
    bool PrepareTexture(const char* pict, const char* mask, FXMaterial* m);
    bool PrepareTextureMem(int frame, FXMaterial* m);
    void PrepareStartEnd(int frame);

    // Editing.
    void MovePos(int pos, int dir);
    void DeletePos(int pos);
    bool PreloadSize(int frame, int* w, int* h);
    // Bounding box of the pixels with alpha, inclusive; a fully transparent
    // picture gives x0 = W, x1 = -1, y0 = H, y1 = -1.
    static void ComputeEdges(FXPixmap* p, int* x0, int* y0, int* x1, int* y1);
    // Crops the frames (full pictures with alpha) to their visible areas and
    // writes each as a JPEG picture and a greyscale mask into folder (the
    // current one when null or empty); names and edges follow.
    bool Convert(const char* folder);

    int FrameCount() const { return frameNames.count; }

private:
    bool ParseRecord(FXPackageData* rec);
    bool DecodeInto(bool fromMemory, int frame, const char* pict, const char* mask, FXMaterial* m);
    void ReleaseBytes();
    void PlaceQuad();
    void Advance();
    bool LoadFrameCanvas(int frame, FXCanvas* c);
};
