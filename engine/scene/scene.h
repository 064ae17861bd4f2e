// The scene: a flat, ordered list of typed items (item.h) that together make
// one animated composition, with a 2-D camera that can travel between its
// camera points.
//
// Scene record, the same in a file and in a package record (little-endian):
//   string magic "xss01" | "xss02" | "xss03" (the writer writes "xss03")
//   int32 item count
//   version >= 2: string first camera name, string second camera name,
//                 18-byte camera phaser record
//   the item records (item.h), each beginning with its type
// A record's count is not trusted: reading stops at the first type that
// yields no item, at a record cut short and where the bytes run out; what
// was read stays and the trace log says what was dropped.
#pragma once

#include <cstdint>
#include <cstdio>

#include "anim/phaser.h"
#include "base/fxarray.h"
#include "base/fxstr.h"
#include "image/scrshot.h"
#include "render/env.h"
#include "scene/item.h"

class FXPackage;
class FXPackageData;
class FXItemCameraPt;

class FXScene : public PRender {
public:
    // kDependBudget: dependency calls one item may make in a frame (a wide,
    // deep graph of links could otherwise multiply them without bound).
    enum { kVersion = 3, kMaxRecentMovies = 5, kDependBudget = 4096 };

    FXArray items;  // FXItem*, owned; render order and file order
    // Active camera values: copied from a camera point, read by camera-zoom items.
    int32_t actZoom;
    float actX, actY;
    FXScrShot desktop;  // texture of picture items that show the desktop; filled by the owner
    bool cameraRunning;
    bool cameraHolding;  // resting at the target point
    FXItemCameraPt* cameraTarget;  // not owned
    FXItemCameraPt* cameraPrev;    // not owned
    FXPhaser cameraPhaser;  // times each move between two points
    FXStr cameraFirst, cameraSecond;
    FXItem* activeRani;   // the random-animation item drawn this frame, not owned
    FXArray recentMovies; // SMovie*, not owned; oldest first, at most kMaxRecentMovies
    FXPackage* package;   // where the scene came from, null after a file load
    int32_t dependBudget; // left for the item being drawn (kDependBudget)

    FXScene();
    ~FXScene();
    FXScene(const FXScene&) = delete;
    FXScene& operator=(const FXScene&) = delete;

    void Destroy();
    void Destroy1();

    // Package record 0 / record id. Destroy first; false (traced) when the
    // record is missing or not a scene, which leaves the scene empty.
    bool LoadC(FXPackage* pck);
    bool LoadCN(FXPackage* pck, int id);
    // A file; the current content is kept unless the file is a scene (the
    // caller destroys first). False when it does not open or is no scene.
    bool Load(const char* path);
    // The scene record from bytes; folder makes stored file names absolute
    // (null: names stay as stored, as in a package). Items are appended.
    bool LoadFromData(FXPackageData* d, const char* folder);
    bool Save(const char* path);
    // Writes the record to an open stream; folder as for FXItem::Save.
    bool SaveFile(FILE* f, const char* folder);
    void Compile(FXPackage* pck);

    // Items.
    FXItem* CreateType(int type);
    void GenName(int type, FXStr* out) const;
    FXItem* FindItem(const char* name) const;
    FXItem* GetItem(int pos) const;
    // Links every item's dependency names to items. A link that would close
    // a cycle (an item among its own dependencies, directly or through
    // others) is left out and traced; its name stays for saving.
    void BuildConn();
    void DeleteItemPos(int pos);
    void MovePos(int from, int to);
    void LoadFilename(FILE* f, FXStr* out, const char* folder);
    void BuildFilename(FXStr* s, const char* folder);

    // Camera.
    void SetActCameraPt(int pos);
    FXItemCameraPt* GetActCameraPt(int pos) const;
    // Takes the device's lock and context (FXGRAutoAct) and gives the
    // context up at the end: call it outside the render loop's frames.
    void StartAnimateCamera();
    void StopAnimateCamera();
    void StartAnimateCameraNext();
    FXItemCameraPt* FindNamedCamera(const char* name) const;
    FXItemCameraPt* FindRandomCamera(FXItemCameraPt* not1, FXItemCameraPt* not2) const;
    FXItemCameraPt* FindRandomCamera1(FXItemCameraPt* from, FXItemCameraPt* notThis) const;
    void PrepareCameraAnim(FXItemCameraPt* from, FXItemCameraPt* to);

    void OnRender(PEnv* env, double time) override;
};
