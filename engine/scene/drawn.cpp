#include "scene/drawn.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/file.h"
#include "base/paths.h"
#include "base/trace.h"
#include "image/canvas.h"
#include "package/package.h"
#include "scene/itemkinds.h"
#include "scene/scene.h"

FX_ITEM_MAKER(FXItemPict)
FX_ITEM_MAKER(FXItemScroll)
FX_ITEM_MAKER(FXItemSMovie)

// ---------------------------------------------------------------- shared

namespace {

FXPackage* localPackage(const FXItem* it) { return it->scene ? it->scene->package : nullptr; }

bool localLoadTexture(FXPackage* pck, FXMaterial* m, const char* name) {
    if (pck) m->LoadTextureC(pck, name);
    else m->LoadTexture(name);
    // What counts is whether the picture decoded; without a device there is
    // no upload, but the picture is still there.
    return m->ownCanvas.GetWidth() > 0 && m->ownCanvas.GetHeight() > 0;
}

bool localAddFile(FXPackage* pck, FXStr* name, const char* who) {
    if (name->IsEmpty()) return true;
    if (pck->AddDataFile1(name) >= 0) return true;
    err("%s: no record id left for '%s'\n", who, name->text);
    return false;
}

// The payload ends the record; a damaged one leaves the kind's own fields
// empty, so that a record read in part never half-configures an item.
bool localPayloadRead(FXItemReader& r, FXItem* it, const char* kind) {
    if (!r.whole) err("%s '%s': payload cut short or damaged\n", kind, it->name.text);
    return r.whole;
}

void localWriteFloat(FILE* f, float v) {
    int32_t i;
    memcpy(&i, &v, 4);
    fxWriteInt32(f, i);
}

}  // namespace

void fxItemTintDesk(FXDesk* desk, const float* c) {
    bool white = c[0] == 1.0f && c[1] == 1.0f && c[2] == 1.0f && c[3] == 1.0f;
    desk->mesh.colorMode = white ? 0 : 1;
    if (!white) desk->UpdateColCol(c);
}

void fxItemResolveName(FXScene* scene, FXStr* name, const char* folder) {
    if (name->IsEmpty() || !folder) return;
    if (scene) {
        scene->BuildFilename(name, folder);
    } else {
        FXStr full(fxCombinePaths(folder, name->text));
        *name = full;
    }
}

bool fxItemCompileMovie(FXPackage* pck, SMovie* movie, FXStr* name, const char* who) {
    if (!pck || name->IsEmpty()) return true;
    if (movie->FrameCount() < 1) {
        err("%s: movie '%s' has no frames; not packed\n", who, name->text);
        return false;
    }
    movie->Compile(pck);
    // The record is the stored movie with its frames' record numbers, made
    // from a file in the package's work folder that goes away with the build.
    static int serial = 0;
    FXStr file;
    do {
        char tmp[64];
        snprintf(tmp, sizeof tmp, "fxitem_movie_%d.tmp", ++serial);
        file.Set(fxCombinePaths(pck->workFolder.text, tmp));
    } while (fxPathExists(file.text));
    FXMemory buf;
    bool ok = movie->SaveToBuf(&buf) && fxReplaceFile(file.text, [&](FILE* f) {
                  return fwrite(buf.data, 1, static_cast<size_t>(buf.count), f) == static_cast<size_t>(buf.count);
              });
    if (!ok) {
        err("%s: cannot write movie '%s' to '%s'\n", who, name->text, file.text);
        return false;
    }
    pck->AddTmpFile(file.text);
    if (pck->AddDataFile1(&file) < 0) {
        err("%s: no record id left for movie '%s'\n", who, name->text);
        return false;
    }
    *name = file;
    return true;
}

bool fxItemLoadMovie(FXPackage* pck, SMovie* movie, const char* name) {
    movie->Destroy();
    if (!name || !*name) return false;
    bool ok;
    if (pck) {
        ok = movie->LoadC(pck, name);
    } else {
        // A stored movie names its frames relative to its own folder, which
        // must be current while it loads; the previous one comes back after.
        FXStr keep(fxGetActPath()), folder(name);
        const char* file = fxGetFilename(name);
        folder.len = static_cast<int32_t>(file - name);
        folder.text[folder.len] = 0;
        if (!folder.IsEmpty()) fxSetActPath(folder.text);
        ok = movie->Load(name);
        fxSetActPath(keep.text);
    }
    if (!ok) {
        err("movie item: movie '%s' did not load\n", name);
        return false;
    }
    movie->LoadIntoMem();
    return true;
}

// ---------------------------------------------------------------- picture

FXItemPict::FXItemPict() : desktop(false), missing(false) {
    type = FX_ITEM_PICT;
    modifier = false;
    material.SetDefDiffuse(1.0f);
}

void FXItemPict::OnRender(PEnv* env, double time) {
    if (!enabled) return;
    FXItem::OnRender(env, time);
    if (!missing) desk.OnRender(env, time);
}

void FXItemPict::Compile(FXPackage* pck) {
    if (!pck || desktop) return;
    localAddFile(pck, &pictName, "picture item");
    localAddFile(pck, &maskName, "picture item");
}

bool FXItemPict::LoadC(FXPackage* pck, FXPackageData* d, int version) {
    desktop = false;
    pictName.Clear();
    maskName.Clear();
    if (!FXItem::LoadC(pck, d, version)) return false;
    FXItemReader r(d);
    desktop = r.Bool();
    if (!desktop) {
        r.String(&pictName);
        r.String(&maskName);
    }
    if (localPayloadRead(r, this, "picture item")) return true;
    desktop = false;
    pictName.Clear();
    maskName.Clear();
    return false;
}

bool FXItemPict::Save(FILE* f, const char* folder) {
    if (!FXItem::Save(f, folder)) return false;
    fputc(desktop ? 1 : 0, f);
    if (!desktop) {
        pictName.SaveShortPath(f, folder);
        maskName.SaveShortPath(f, folder);
    }
    return !ferror(f);
}

void FXItemPict::ResolveFilenames(const char* folder) {
    fxItemResolveName(scene, &pictName, folder);
    fxItemResolveName(scene, &maskName, folder);
}

void FXItemPict::ReCreate() {
    material.Destroy();
    material.SetDefDiffuse(1.0f);
    missing = false;
    FXPackage* pck = localPackage(this);
    if (desktop) {
        FXCanvas* shot = scene ? &scene->desktop : nullptr;
        missing = !shot || shot->GetWidth() < 1;
        if (!missing) material.SetTexture(shot);
    } else if (!pictName.IsEmpty()) {
        missing = !localLoadTexture(pck, &material, pictName.text);
        if (missing) {
            err("picture item '%s': picture '%s' did not load; it draws nothing\n", name.text, pictName.text);
        } else if (!maskName.IsEmpty()) {
            FXCanvas* c = &material.ownCanvas;
            bool ok = pck ? c->LoadMaskC(pck, maskName.text) : c->LoadMask(maskName.text);
            if (ok) material.SetTexture(c);
            else err("picture item '%s': mask '%s' did not load\n", name.text, maskName.text);
        }
    }
    desk.Create(1, 1);
    fxItemTintDesk(&desk, color);
    desk.SetMaterial(&material);
}

bool FXItemPict::LoadCut(const char* path) {
    FXCanvas c;
    if (!path || !c.CreateFromPict(path)) {
        err("picture item: '%s' did not load; nothing to cut\n", path ? path : "");
        return false;
    }
    const int W = c.GetWidth(), H = c.GetHeight();
    int left, top, right, bottom;
    SMovie::ComputeEdges(&c.pixmap, &left, &top, &right, &bottom);
    if (W < 1 || H < 1 || right < left || bottom < top) {
        err("picture item: '%s' shows nothing; nothing to cut\n", path);
        return false;
    }
    // The box is inclusive: its last column and row are part of the crop.
    const int w = right - left + 1, h = bottom - top + 1;
    FXStr pict(fxAppenfFname(path, "_cut"));
    pict.Set(fxChangeExt(pict.text, "jpg"));
    FXStr mask(fxAppenfFname(path, "_cut_m"));
    mask.Set(fxChangeExt(mask.text, "jpg"));
    if (!c.SaveToPict1(pict.text, left, top, right + 1, bottom + 1) ||
        !c.SaveToMask1(mask.text, left, top, right + 1, bottom + 1)) {
        err("picture item: cannot write the cut of '%s'\n", path);
        return false;
    }
    const float fw = static_cast<float>(W), fh = static_cast<float>(H);
    FXMatrix s, t;
    s.SetScaleF(w / fw, h / fh, 1.0f);
    t.SetMoveF(2.0f * ((w - W) * 0.5f + left) / fw, -2.0f * ((h - H) * 0.5f + top) / fh, 0.0f);
    matrix.Multiply(&t, &s);
    desktop = false;
    pictName = pict;
    maskName = mask;
    return true;
}

// ---------------------------------------------------------------- scroll

FXItemScroll::FXItemScroll() : scrollTimeX(4.0f), scrollTimeY(0.0f), missing(false) {
    type = FX_ITEM_SCROLL;
    modifier = false;
    material.SetDefDiffuse(1.0f);
}

void FXItemScroll::OnRender(PEnv* env, double time) {
    if (!enabled) return;
    FXItem::OnRender(env, time);
    if (!missing) sdesk.OnRender(env, time);
}

void FXItemScroll::Compile(FXPackage* pck) {
    if (!pck) return;
    localAddFile(pck, &pictName, "scroll item");
    localAddFile(pck, &pict2Name, "scroll item");
}

bool FXItemScroll::LoadC(FXPackage* pck, FXPackageData* d, int version) {
    pictName.Clear();
    pict2Name.Clear();
    scrollTimeX = 4.0f;
    scrollTimeY = 0.0f;
    if (!FXItem::LoadC(pck, d, version)) return false;
    FXItemReader r(d);
    r.String(&pictName);
    r.String(&pict2Name);
    scrollTimeX = r.Float();
    scrollTimeY = r.Float();
    if (localPayloadRead(r, this, "scroll item")) return true;
    pictName.Clear();
    pict2Name.Clear();
    scrollTimeX = scrollTimeY = 0.0f;
    return false;
}

bool FXItemScroll::Save(FILE* f, const char* folder) {
    if (!FXItem::Save(f, folder)) return false;
    pictName.SaveShortPath(f, folder);
    pict2Name.SaveShortPath(f, folder);
    localWriteFloat(f, scrollTimeX);
    localWriteFloat(f, scrollTimeY);
    return !ferror(f);
}

void FXItemScroll::ResolveFilenames(const char* folder) {
    fxItemResolveName(scene, &pictName, folder);
    fxItemResolveName(scene, &pict2Name, folder);
}

void FXItemScroll::ReCreate() {
    material.Destroy();
    material.SetDefDiffuse(1.0f);
    material2.Destroy();
    missing = false;
    bool second = false;
    FXPackage* pck = localPackage(this);
    if (!pictName.IsEmpty()) {
        missing = !localLoadTexture(pck, &material, pictName.text);
        if (missing) {
            err("scroll item '%s': picture '%s' did not load; it draws nothing\n", name.text, pictName.text);
        } else if (!pict2Name.IsEmpty()) {
            second = localLoadTexture(pck, &material2, pict2Name.text);
            if (!second) err("scroll item '%s': second picture '%s' did not load\n", name.text, pict2Name.text);
        }
    }
    desk2.Create(1, 1);
    desk2.SetMaterial(&material2);
    sdesk.Create(1, 1);
    sdesk.SetMaterial(&material);
    // Only a second picture that is there goes to the second unit: a device
    // without multitexturing draws nothing at all with one.
    sdesk.mesh.secondMesh = second ? &desk2.mesh : nullptr;
    sdesk.visibleX = sdesk.visibleY = 0.5f;
    sdesk.speedX = scrollTimeX >= 0.0f ? 1.0f : -1.0f;
    sdesk.speedY = scrollTimeY >= 0.0f ? 1.0f : -1.0f;
    // A time that is no number stands still; the desk wraps its offsets in
    // one step, so a tiny time cannot hold up the frame.
    sdesk.periodX = std::isfinite(scrollTimeX) ? std::fabs(scrollTimeX) : 0.0;
    sdesk.periodY = std::isfinite(scrollTimeY) ? std::fabs(scrollTimeY) : 0.0;
    sdesk.offsetX = sdesk.offsetY = 0.0f;
    // Longer ago than any period: the first frame starts the panning there.
    sdesk.lastTime = -HUGE_VAL;
    sdesk.UpdateTex();
    fxItemTintDesk(&sdesk, color);
}

// ---------------------------------------------------------------- movie

FXItemSMovie::FXItemSMovie() : preparePending(true) {
    type = FX_ITEM_SMOVIE;
    modifier = false;
}

void FXItemSMovie::OnRender(PEnv* env, double time) {
    if (!enabled) return;
    FXItem::OnRender(env, time);
    if (preparePending) {
        preparePending = false;
        movie.Prepare(-1);
    }
    movie.OnRender(env, time);
    movie.Prepare(-1);
}

void FXItemSMovie::Compile(FXPackage* pck) { fxItemCompileMovie(pck, &movie, &movieName, "movie item"); }

bool FXItemSMovie::LoadC(FXPackage* pck, FXPackageData* d, int version) {
    movieName.Clear();
    if (!FXItem::LoadC(pck, d, version)) return false;
    FXItemReader r(d);
    r.String(&movieName);
    if (localPayloadRead(r, this, "movie item")) return true;
    movieName.Clear();
    return false;
}

bool FXItemSMovie::Save(FILE* f, const char* folder) {
    if (!FXItem::Save(f, folder)) return false;
    movieName.SaveShortPath(f, folder);
    return !ferror(f);
}

void FXItemSMovie::ResolveFilenames(const char* folder) { fxItemResolveName(scene, &movieName, folder); }

void FXItemSMovie::ReCreate() {
    movie.Destroy();
    if (!movieName.IsEmpty()) fxItemLoadMovie(localPackage(this), &movie, movieName.text);
    movie.Prepare(-1);
    preparePending = true;
    // The movie writes its own alpha into the quad every frame.
    movie.alpha = color[3];
    fxItemTintDesk(&movie.desk, color);
}
