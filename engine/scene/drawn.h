// The drawn item kinds: each shows an image on a 1 x 1 desk over the -1..1
// square, placed by the item's matrix and dependencies, and tinted by the
// item's colour unless that is exactly opaque white.
//
// Payloads after the base record (item.h); in a file, names are relative to
// the folder given to Save and made absolute again by ResolveFilenames:
//   picture: bool desktop; when false, string picture name, string mask name
//   scroll:  string picture name, string second picture name,
//            float32 scroll time x, float32 scroll time y
//   movie:   string movie name
// In a package the names are record numbers in decimal.
#pragma once

#include "anim/movie.h"
#include "geometry/desk.h"
#include "geometry/sdesk.h"
#include "render/material.h"
#include "scene/item.h"

class FXCanvas;

// A still picture with an optional mask, or the scene's desktop capture.
class FXItemPict : public FXItem {
public:
    bool desktop;  // the picture is the scene's desktop; no names are stored
    FXStr pictName, maskName;
    FXMaterial material;
    FXDesk desk;
    // A named picture that did not load: the item draws nothing rather than
    // a white square.
    bool missing;

    FXItemPict();

    void OnRender(PEnv* env, double time) override;
    void Compile(FXPackage* pck) override;
    bool LoadC(FXPackage* pck, FXPackageData* d, int version) override;
    bool Save(FILE* f, const char* folder) override;
    void ResolveFilenames(const char* folder) override;
    void ReCreate() override;

    // Crops the picture at path to its visible pixels, writes the crop as
    // path_cut.jpg with the mask path_cut_m.jpg and names them, and sets the
    // matrix that puts the crop where it lay in the whole picture. False,
    // changing nothing, when the picture does not load or shows nothing.
    bool LoadCut(const char* path);
};

// A picture that pans inside its square, drawn through a fixed second
// picture on the second texture unit.
class FXItemScroll : public FXItem {
public:
    FXStr pictName, pict2Name;
    float scrollTimeX, scrollTimeY;  // seconds per period; the sign is the direction, 0 stands
    FXMaterial material, material2;
    FXDeskScroll sdesk;
    FXDesk desk2;
    bool missing;  // as FXItemPict::missing

    FXItemScroll();

    void OnRender(PEnv* env, double time) override;
    void Compile(FXPackage* pck) override;
    bool LoadC(FXPackage* pck, FXPackageData* d, int version) override;
    bool Save(FILE* f, const char* folder) override;
    void ResolveFilenames(const char* folder) override;
    void ReCreate() override;
};

// A sprite movie played in a loop at the item's place.
class FXItemSMovie : public FXItem {
public:
    FXStr movieName;
    bool preparePending;
    SMovie movie;

    FXItemSMovie();

    void OnRender(PEnv* env, double time) override;
    void Compile(FXPackage* pck) override;
    bool LoadC(FXPackage* pck, FXPackageData* d, int version) override;
    bool Save(FILE* f, const char* folder) override;
    void ResolveFilenames(const char* folder) override;
    void ReCreate() override;
};

// Helpers the item kinds share.
// The colour rule: exactly opaque white switches the desk's vertex colours
// off, anything else gives every vertex the colour.
void fxItemTintDesk(FXDesk* desk, const float* rgba);
// A non-empty stored name made absolute against folder.
void fxItemResolveName(FXScene* scene, FXStr* name, const char* folder);
// Saves a movie to a temporary file in the package's work folder, registers
// it as a record and puts the record number into name. False (traced) when
// the file cannot be written or no id is left.
bool fxItemCompileMovie(FXPackage* pck, SMovie* movie, FXStr* name, const char* who);
// Loads a movie from the package (record number in name) or from its file
// (with its folder current while it loads), then keeps its frames in memory.
bool fxItemLoadMovie(FXPackage* pck, SMovie* movie, const char* name);
