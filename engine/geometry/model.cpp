#include "geometry/model.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/paths.h"
#include "base/trace.h"
#include "geometry/mesh.h"
#include "package/data.h"
#include "package/package.h"
#include "render/material.h"
#include "render/matlib.h"

namespace {

// The least a mesh takes in each form: name count, two scales, pass, colour
// mode and the counts; the header form is followed by at least the pool's
// size. A stored mesh count is believed only as far as these fit.
const int32_t kMinWholeMesh = 4 + 8 + 4 + 4 + 4 + 4;
const int32_t kMinHeaderMesh = 4 + 8 + 4 + 4 + 4 + 4 + 4;

FXMesh* localMesh(const FXArray& a, int i) {
    return i >= 0 && i < a.count ? static_cast<FXMesh*>(a.data[i]) : nullptr;
}

void localDeleteMeshes(FXArray* a) {
    for (int i = 0; i < a->count; ++i) delete static_cast<FXMesh*>(a->data[i]);
    a->DestroyBuf();
}

// Walks a copy of the cursor over the structure about to be read. The
// cursor's own reads fill what a record lacks with zeros and cut strings to
// the bytes there, so a record cut short would load as a smaller model
// without a word; every part is measured here first instead.
class localProbe {
public:
    explicit localProbe(const FXPackageData* d) : p_(*d) {}
    bool Int(int32_t* v) {
        if (p_.remaining < 4) return false;
        *v = p_.ReadInt();
        return true;
    }
    bool Skip(int64_t n) {
        if (n < 0 || n > p_.remaining) return false;
        if (n) p_.ReadBlc(static_cast<int>(n));
        return true;
    }
    bool String() {
        int32_t n;
        return Int(&n) && Skip(n);
    }
    // A counted list of items of this size.
    bool Items(int64_t size) {
        int32_t n;
        return Int(&n) && n >= 0 && Skip(n * size);
    }

private:
    FXPackageData p_;
};

bool localHeadFits(const FXPackageData* d) {
    localProbe p(d);
    int32_t m;
    return p.String() && p.String() && p.Int(&m);
}

bool localWholeMeshFits(const FXPackageData* d) {
    localProbe p(d);
    return p.String() && p.Skip(16) && p.Items(static_cast<int64_t>(sizeof(FXVertex))) && p.Items(4);
}

// Header form and the number pool behind it.
bool localMeshHeaderFits(const FXPackageData* d) {
    localProbe p(d);
    int32_t v, i;
    return p.String() && p.Skip(16) && p.Int(&v) && p.Int(&i) && p.Items(1);
}

bool localVectorMapFits(const FXPackageData* d) {
    localProbe p(d);
    return p.Items(4) && p.Items(4) && p.Items(4);
}

}  // namespace

FXModel::FXModel() : library(nullptr), flipVertical(false), loadedMeshes(16), meshes(16) {}

FXModel::~FXModel() { Destroy(); }

void FXModel::Destroy() {
    name.Clear();
    libraryName.Clear();
    flipVertical = false;
    if (library) library->Release();
    library = nullptr;
    localDeleteMeshes(&loadedMeshes);
    localDeleteMeshes(&meshes);
}

bool FXModel::Damaged(const char* what, const char* why) {
    err("FXModel %s: %s; the model stays empty\n", what, why);
    Destroy();
    return false;
}

// ---------------------------------------------------------------- loading

bool FXModel::LoadCN(FXPackage* pck, int id) {
    Destroy();
    FXPackageData* d = pck ? pck->GetDataPtr(id) : nullptr;
    if (!d) {
        err("FXModel::LoadCN: the package has no record %d\n", id);
        return false;
    }
    d->Reseek();
    return fxLoadNamingDamage("model", id, true, [&] { return LoadC(pck, d); });
}

bool FXModel::LoadC(FXPackage* pck, FXPackageData* d) {
    Destroy();
    if (!d) return false;
    FXStr magic;
    d->ReadString(&magic);
    if (magic.Compare("xm02")) return Load_v02C(pck, d);
    if (magic.Compare("xm03")) return Load_v03C(pck, d);
    return Damaged("LoadC", "the record is not a model (unknown magic)");
}

// A file is read whole and parsed like a record, so both forms share one
// reader and its bounds.
bool FXModel::Load(FILE* f) {
    Destroy();
    if (!f) return false;
    std::vector<uint8_t> buf;
    if (!fxReadRest(f, &buf)) return Damaged("Load", "the file is too large or cannot be read");
    FXPackageData d;
    d.InitData(buf.data(), static_cast<int>(buf.size()));
    return LoadC(nullptr, &d);
}

bool FXModel::Load(const char* path) {
    Destroy();
    if (!path) return false;
    char native[4096];
    fxNativePath(path, native, sizeof native);
    FILE* f = fopen(native, "rb");
    if (!f) {
        err("FXModel::Load: cannot open '%s'\n", path);
        return false;
    }
    bool ok = Load(f);
    fclose(f);
    return ok;
}

// In a package the library name is its record number; in a file, the path
// of an MTL file.
void FXModel::UseLibrary(FXPackage* pck) {
    if (libraryName.IsEmpty() || !fxglobalEnv) return;
    library = pck ? fxglobalEnv->LoadMatlibC(pck, libraryName.text) : fxglobalEnv->LoadMatlib(libraryName.text);
}

bool FXModel::Load_v02C(FXPackage* pck, FXPackageData* d) {
    if (!localHeadFits(d)) return Damaged("xm02", "the record ends inside its head");
    d->ReadString(&name);
    d->ReadString(&libraryName);
    int32_t m = d->ReadInt();
    if (m < 0 || m > d->remaining / kMinWholeMesh) return Damaged("xm02", "the mesh count does not fit the record");
    UseLibrary(pck);
    loadedMeshes.Realloc(m);
    for (int32_t i = 0; i < m; ++i) {
        FXMesh* mesh = new FXMesh;
        loadedMeshes.Push(mesh);
        if (!localWholeMeshFits(d)) return Damaged("xm02", "a mesh is cut short");
        if (!mesh->LoadMeshC(pck, d, library)) return Damaged("xm02", "a mesh is cut short or damaged");
    }
    return true;
}

bool FXModel::Load_v03C(FXPackage* pck, FXPackageData* d) {
    if (!localHeadFits(d)) return Damaged("xm03", "the record ends inside its head");
    d->ReadString(&name);
    d->ReadString(&libraryName);
    int32_t m = d->ReadInt();
    if (m < 0 || m > d->remaining / kMinHeaderMesh) return Damaged("xm03", "the mesh count does not fit the record");
    if (!localVectorMapFits(d)) return Damaged("xm03", "the vector map is cut short");
    UseLibrary(pck);
    FXVectorMap map;
    map.LoadC(pck, d);
    loadedMeshes.Realloc(m);
    FXNumPool pool;
    for (int32_t i = 0; i < m; ++i) {
        FXMesh* mesh = new FXMesh;
        loadedMeshes.Push(mesh);
        if (!localMeshHeaderFits(d)) return Damaged("xm03", "a mesh header or its corner stream is cut short");
        if (!mesh->LoadMeshIC(pck, d, library)) return Damaged("xm03", "a mesh header's counts do not fit the record");
        if (!pool.LoadC(pck, d)) return Damaged("xm03", "a corner stream is cut short");
        if (!mesh->FromVMap(&map, &pool)) return Damaged("xm03", "a corner stream is damaged");
    }
    return true;
}

// ---------------------------------------------------------------- saving

bool FXModel::Save(const char* path) {
    if (!path) return false;
    char native[4096];
    fxNativePath(path, native, sizeof native);
    FILE* f = fopen(native, "wb");
    if (!f) {
        err("FXModel::Save: cannot write '%s'\n", path);
        return false;
    }
    bool ok = Save(f);
    return fclose(f) == 0 && ok;
}

bool FXModel::Save(FILE* f) { return Save_v03(f); }

bool FXModel::Save_v02(const char* path) {
    if (!path) return false;
    char native[4096];
    fxNativePath(path, native, sizeof native);
    FILE* f = fopen(native, "wb");
    if (!f) {
        err("FXModel::Save_v02: cannot write '%s'\n", path);
        return false;
    }
    bool ok = Save_v02(f);
    return fclose(f) == 0 && ok;
}

bool FXModel::Save_v02(FILE* f) {
    if (!f) return false;
    FXStr("xm02").Save(f);
    name.Save(f);
    libraryName.Save(f);
    fxWriteInt32(f, meshes.count);
    FXMesh empty;
    for (int i = 0; i < meshes.count; ++i) {
        FXMesh* m = localMesh(meshes, i);
        // A null entry is stored as an empty mesh: the count stays true.
        if (!(m ? m : &empty)->SaveMesh(f)) return false;
    }
    return !ferror(f);
}

bool FXModel::Save_v03(FILE* f) {
    if (!f) return false;
    // Each mesh is brought into the form its corner stream decodes to, so
    // that the header's counts are the decoded ones.
    std::vector<FXMesh*> forms;
    std::vector<FXNumPool*> pools;
    int vertices = 0;
    for (int i = 0; i < meshes.count; ++i) {
        FXMesh* form = new FXMesh;
        if (FXMesh* m = localMesh(meshes, i)) {
            form->Copy(m);
            form->ApplyRedir();
        }
        vertices += form->vertexCount;
        forms.push_back(form);
    }
    // The map's lists are sized once for the most vectors the meshes can
    // add, rather than grown by its large default steps.
    FXVectorMap map;
    map.pos.Realloc(3 * vertices + 3);
    map.norm.Realloc(3 * vertices + 3);
    map.tex.Realloc(2 * vertices + 2);
    for (FXMesh* form : forms) {
        // A corner takes at most a control byte and three ints.
        int64_t most = 13 * static_cast<int64_t>(form->indexCount) + 16;
        FXNumPool* pool = new FXNumPool(static_cast<int>(std::min<int64_t>(most, 1 << 28)));
        form->ToVMap(&map, pool);
        pools.push_back(pool);
    }
    FXStr("xm03").Save(f);
    name.Save(f);
    libraryName.Save(f);
    fxWriteInt32(f, meshes.count);
    map.Save(f);
    bool ok = true;
    for (size_t i = 0; i < forms.size(); ++i) {
        ok = forms[i]->SaveMeshI(f) && pools[i]->Save(f) && ok;
        delete forms[i];
        delete pools[i];
    }
    return ok && !ferror(f);
}

void FXModel::Compile(FXPackage* pck) {
    if (!pck || !library) return;
    library->Compile(pck);
    // The library travels as a record of its own, made from a file in the
    // package's work folder that goes away with the build.
    static int serial = 0;
    FXStr file;
    do {
        char tmp[64];
        snprintf(tmp, sizeof tmp, "fxmodel_lib_%d.tmp", ++serial);
        file.Set(fxCombinePaths(pck->workFolder.text, tmp));
    } while (fxPathExists(file.text));
    if (!library->Save(file.text)) {
        err("FXModel::Compile: cannot write the library of '%s' to '%s'\n", name.text, file.text);
        return;
    }
    pck->AddTmpFile(file.text);
    if (pck->AddDataFile1(&file) < 0) {
        err("FXModel::Compile: no record id left for the library of '%s'\n", name.text);
        return;
    }
    libraryName = file;
}

// ---------------------------------------------------------------- lists

void FXModel::UpdateMeshes() {
    localDeleteMeshes(&meshes);
    meshes.Realloc(loadedMeshes.count);
    for (int i = 0; i < loadedMeshes.count; ++i) {
        FXMesh* src = localMesh(loadedMeshes, i);
        FXMesh* m = nullptr;
        if (src) {
            m = new FXMesh;
            m->Copy(src);
        }
        meshes.Push(m);
    }
}

void FXModel::Copy(FXModel* src) {
    if (!src || src == this) return;
    Destroy();
    flipVertical = src->flipVertical;
    libraryName = src->libraryName;
    library = src->library;
    if (library) ++library->refCount;
    meshes.Realloc(src->meshes.count);
    for (int i = 0; i < src->meshes.count; ++i) {
        FXMesh* s = localMesh(src->meshes, i);
        FXMesh* m = nullptr;
        if (s) {
            m = new FXMesh;
            m->Copy(s);
        }
        meshes.Push(m);
    }
}

FXMesh* FXModel::EnumMeshes(int i) { return localMesh(meshes, i); }

FXMaterial* FXModel::EnumMeshNames(int i) {
    FXMesh* m = localMesh(meshes, i);
    return m ? m->material : nullptr;
}

FXMesh* FXModel::FindMesh(const char* n) {
    if (!n) return nullptr;
    for (int i = 0; i < meshes.count; ++i) {
        FXMesh* m = localMesh(meshes, i);
        if (!m || !m->material) return nullptr;
        if (m->material->name.Compare(n)) return m;
    }
    return nullptr;
}

void FXModel::DisableMesh(int i, bool off) {
    if (FXMesh* m = localMesh(meshes, i)) m->hidden = off;
}

void FXModel::RemoveMesh(FXMesh* m) {
    if (!m) return;
    if (meshes.Findpos(m) >= 0)
        meshes.Remove(m);
    else
        loadedMeshes.Remove(m);
}

// ---------------------------------------------------------------- drawing

void FXModel::OnRender(PEnv* env, double) {
    if (!env) return;
    auto pass = [&](int p, bool backwards) {
        for (int k = 0; k < meshes.count; ++k) {
            FXMesh* m = localMesh(meshes, backwards ? meshes.count - 1 - k : k);
            if (m && m->renderPass == p) m->Render(env);
        }
    };
    pass(0, false);
    env->EnableCullface(true, false);
    pass(1, true);
    env->EnableCullface(false, true);
    pass(1, false);
    env->EnableCullface(false, false);
    env->EnableDepthWrite(false);
    pass(2, false);
    env->EnableDepthWrite(true);
    pass(2, false);
}

// ---------------------------------------------------------------- editing

#define FX_EACH_MESH(stmt)                                  \
    for (int i_ = 0; i_ < meshes.count; ++i_)               \
        if (FXMesh* m = localMesh(meshes, i_)) { stmt; }

void FXModel::Normalize(bool onlySelected) { FX_EACH_MESH(m->Normalize(onlySelected)) }

void FXModel::ResizeTextCoords() { FX_EACH_MESH(m->flipVertical = flipVertical; m->ResizeTexCoords()) }

void FXModel::ResizeTextCoords1() { FX_EACH_MESH(m->flipVertical = flipVertical; m->ResizeTexCoords1()) }

void FXModel::ComputeFrontTexCoords(int i) {
    if (i == -1) {
        FX_EACH_MESH(m->ComputeFrontTexCoords())
    } else if (FXMesh* m = localMesh(meshes, i)) {
        m->ComputeFrontTexCoords();
    }
}

void FXModel::CopyTexCoords(int i, FXModel* src) {
    if (!src || src->meshes.count != meshes.count) return;
    for (int k = 0; k < meshes.count; ++k) {
        if (i != -1 && k != i) continue;
        FXMesh* m = localMesh(meshes, k);
        FXMesh* s = localMesh(src->meshes, k);
        if (m && s) m->CopyTexCoords(s);
    }
}

void FXModel::FindMaxims(float* box) {
    if (!box) return;
    for (int a = 0; a < 6; ++a) box[a] = 0.0f;
    bool first = true;
    FX_EACH_MESH(m->FindMultiMaxims(&first, box))
}

void FXModel::UnitizeMaxims(const float* box) { FX_EACH_MESH(m->UnitizeMaxims(box)) }
void FXModel::UnitizeMaximsStretch(const float* box) { FX_EACH_MESH(m->UnitizeMaximsStretch(box)) }
void FXModel::UnitizeMaximsStretch1(const float* box) { FX_EACH_MESH(m->UnitizeMaximsStretch1(box)) }
void FXModel::FlipHoriz() { FX_EACH_MESH(m->FlipHoriz()) }

void FXModel::Unitize() {
    float box[6];
    FindMaxims(box);
    UnitizeMaxims(box);
}

void FXModel::UnitizeStretch() {
    float box[6];
    FindMaxims(box);
    UnitizeMaximsStretch(box);
}

void FXModel::UnitizeStretch1() {
    float box[6];
    FindMaxims(box);
    UnitizeMaximsStretch1(box);
}

void FXModel::Transform(int a, int b, int c, bool nx, bool ny, bool nz) {
    FX_EACH_MESH(m->Transform(a, b, c, nx, ny, nz))
}

void FXModel::UpdateColCol(const float* rgba) { FX_EACH_MESH(m->SetVerticesCol(rgba); m->colorMode = 1) }

void FXModel::UpdateColMat(const float* rgba) { FX_EACH_MESH(if (m->material) m->material->MultiCols(rgba)) }

void FXModel::PreserveColMat() { FX_EACH_MESH(if (m->material) m->material->PreserveCols()) }

int FXModel::GetTotalVertices() const {
    int n = 0;
    for (int i = 0; i < meshes.count; ++i)
        if (FXMesh* m = localMesh(meshes, i)) n += m->vertexCount;
    return n;
}

#undef FX_EACH_MESH
