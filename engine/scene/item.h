// The item of a scene: one typed element of a flat, ordered composition.
// Transform items animate a matrix that the items naming them among their
// dependencies multiply in; drawn items draw a picture placed by their own
// matrix and their dependencies; camera points hold camera settings.
//
// Item record (little-endian; the subclass payload follows directly):
//   int32 type (-1 ends the scene's item list)
//   string name | string array dependency names | 16 float32 matrix
//   18-byte phaser record | 4 float32 colour | bool apply-before
//   version >= 2: bool enabled
//   payload of the kind
#pragma once

#include <cstdint>
#include <cstdio>

#include "anim/phaser.h"
#include "base/fxarray.h"
#include "base/fxstr.h"
#include "math/3dmath.h"
#include "render/env.h"

class FXScene;
class FXPackage;
class FXPackageData;

// Type numbers as the scene record stores them.
enum {
    FX_ITEM_NONE = 0,
    FX_ITEM_MOVE = 1,
    FX_ITEM_ROTATE = 2,
    FX_ITEM_SKEW = 3,
    FX_ITEM_CAMERAZOOM = 4,
    FX_ITEM_PICT = 5,
    FX_ITEM_SCROLL = 6,
    FX_ITEM_SMOVIE = 7,
    FX_ITEM_MODEL = 8,      // named, but yields no item
    FX_ITEM_ANIMATION = 9,  // named, but yields no item
    FX_ITEM_CAMERAPT = 10,
    FX_ITEM_RANI = 11,
    FX_ITEM_END = -1,       // ends the item list of a record early
};

// Typed reads over an item record that remember whether every value was
// there: a record cut short, or a string or list longer than the bytes
// left, clears whole (the reads then yield empty, 0 or false).
class FXItemReader {
public:
    FXPackageData* d;
    bool whole;

    explicit FXItemReader(FXPackageData* data) : d(data), whole(data != nullptr) {}

    int32_t Int();
    float Float();
    bool Bool();
    void String(FXStr* s);
    void Strings(FXStrArray* a);
    // An FXArray record of int32 items (count, then the items).
    void Ints(FXArray* a);
    void Matrix(FXMatrix* m);
    void Phaser(FXPhaser* p);
    void Color(float* rgba);
};

class FXItem : public PRender {
public:
    int32_t type;
    bool enabled;
    bool modifier;     // drawn in the scene's first pass; acts only through dependents
    bool applyBefore;  // multiplies its matrix before the dependent's own (pre pass)
    FXScene* scene;    // owner, not owned
    FXStr name;
    FXStrArray dependNames;  // what the record stores, in order
    FXArray depends;         // FXItem*, not owned: the names that resolved, in name order
    // One slot per dependency name: the FXItem* it resolved to, or null (a
    // name that finds nothing, or a link left out because it would close a
    // cycle). Keeps names and pointers lined up for saving and deleting.
    FXArray dependSlots;
    FXMatrix matrix;
    FXPhaser phaser;
    float color[4];

    FXItem();
    virtual ~FXItem();
    FXItem(const FXItem&) = delete;
    FXItem& operator=(const FXItem&) = delete;

    // Applies the enabled dependencies (pre pass), the own matrix, then the
    // dependencies again (post pass). Drawn items call it, then draw.
    void OnRender(PEnv* env, double time) override;
    // Registers the item's files with a package being built; base: nothing.
    virtual void Compile(FXPackage* pck);
    // Reads the record after its type. Subclasses read the base part with
    // FXItem::LoadC first, then their payload with an FXItemReader. False
    // when the record was cut short or damaged: the scene then drops the
    // item and reads no further.
    virtual bool LoadC(FXPackage* pck, FXPackageData* d, int version);
    // Writes the whole record including the type. Subclasses call the base
    // first, then write their payload; file names relative to folder
    // (FXStr::SaveShortPath).
    virtual bool Save(FILE* f, const char* folder);
    // The file form: the record is read through LoadC from the stream's
    // bytes (the stream is left just after it), then ResolveFilenames(folder).
    virtual bool Load(FILE* f, const char* folder, int version);
    // Rebuilds run-time resources (textures, movies) from the loaded fields;
    // called after every load and after creation.
    virtual void ReCreate() = 0;
    // Called on a dependency while an item that depends on it renders. The
    // base forwards to its own enabled dependencies; transforms then apply
    // their matrix in the pass where pre equals applyBefore.
    virtual void DependRender(PEnv* env, double time, bool pre);
    // Whether DependRender follows this item's own links. Links out of an
    // item that does not (a camera point's graph, a random-animation item)
    // can never recurse, so they may form cycles. Base: true.
    virtual bool ForwardsDepends() const { return true; }
    // After a file load: make stored file names absolute against folder
    // (FXScene::BuildFilename). Base: nothing.
    virtual void ResolveFilenames(const char* folder);
    // Resolves links of the kind's own (beyond the dependencies) from names;
    // called by FXScene::BuildConn. Base: nothing.
    virtual void BuildLinks();
    // The item is about to be deleted from the scene: drop every pointer to
    // it. The base clears it from the dependency slots (and its names).
    virtual void ForgetItem(FXItem* gone);

    // Sets the dependency names and slots to exactly these names (unlinked;
    // FXScene::BuildConn links them).
    void SetDependNames(const FXStrArray* names);
    void AddDependName(const char* n);

protected:
    // Multiplies the matrix when pre equals applyBefore, after forwarding
    // to the own dependencies: the behaviour of every transform kind.
    void DependRenderTransform(PEnv* env, double time, bool pre);
};

// The item factory: a new item of a kind, null for a type that yields no
// item. The kinds are listed in itemkinds.cpp.
FXItem* fxNewItem(int type);
// The name GenName builds names from: "move", ..., "unknown" for other types.
const char* fxItemTypeName(int type);
