#include "geometry/objmodel.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/paths.h"
#include "base/trace.h"
#include "geometry/mesh.h"
#include "geometry/model.h"
#include "render/env.h"
#include "render/material.h"
#include "render/matlib.h"

namespace {

// Vectors and records one file may make: far beyond any model the show
// draws, well below what would exhaust memory or the int32 counts.
const size_t kMaxItems = 1 << 24;
// Unknown statements traced one by one before only their number is told.
const int kMaxUnknownTraced = 16;
// An index that names nothing: 0, or a relative one reaching before the start.
const int32_t kBadIndex = INT32_MIN;

const char kDefaultMaterial[] = "default";

bool localSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// One line of any length, without its end; false at the end of the file.
bool localReadLine(FILE* f, std::string* line) {
    line->clear();
    char buf[1024];
    bool any = false;
    while (fgets(buf, sizeof buf, f)) {
        any = true;
        size_t n = strlen(buf);
        bool end = n > 0 && buf[n - 1] == '\n';
        line->append(buf, end ? n - 1 : n);
        if (end) break;
    }
    return any;
}

const char* localSkipSpace(const char* p) {
    while (*p && localSpace(*p)) ++p;
    return p;
}

// The next whitespace-separated word from *p.
std::string localWord(const char** p) {
    const char* s = localSkipSpace(*p);
    const char* e = s;
    while (*e && !localSpace(*e)) ++e;
    *p = e;
    return std::string(s, e);
}

std::string localTrim(const char* p) {
    p = localSkipSpace(p);
    std::string s(p);
    while (!s.empty() && localSpace(s.back())) s.pop_back();
    return s;
}

// Up to n floats; the ones missing read 0.
void localFloats(const char* p, float* out, int n) {
    for (int i = 0; i < n; ++i) {
        char* end = nullptr;
        out[i] = strtof(p, &end);
        if (end == p) {
            for (; i < n; ++i) out[i] = 0.0f;
            return;
        }
        p = end;
    }
}

// A decimal int filling [s, e) exactly.
bool localInt(const char* s, const char* e, long* out) {
    if (s == e) return false;
    std::string t(s, e);
    char* end = nullptr;
    errno = 0;
    long v = strtol(t.c_str(), &end, 10);
    if (errno || *end || v < INT32_MIN || v > INT32_MAX) return false;
    *out = v;
    return true;
}

// A file's 1-based index (negative: counting back from the last of `count`
// vectors read so far) as a 0-based one.
int32_t localResolve(long v, size_t count) {
    if (v > 0) return static_cast<int32_t>(v - 1);
    if (v < 0 && static_cast<size_t>(-v) <= count) return static_cast<int32_t>(static_cast<long>(count) + v);
    return kBadIndex;
}

enum { kFormP, kFormPT, kFormPTN, kFormPN };

struct Corner {
    int32_t p, t, n;
};

struct Triple {
    int32_t p, n, t;
    bool operator==(const Triple& o) const { return p == o.p && n == o.n && t == o.t; }
};

struct TripleHash {
    size_t operator()(const Triple& k) const {
        uint64_t h = static_cast<uint32_t>(k.p);
        h = h * 0x9E3779B97F4A7C15ull ^ static_cast<uint32_t>(k.n);
        h = h * 0x9E3779B97F4A7C15ull ^ static_cast<uint32_t>(k.t);
        return static_cast<size_t>(h ^ (h >> 31));
    }
};

// Reads one corner in the given form; with form -1 the form is decided by
// this corner (the first of its statement) and stored.
bool localCorner(const std::string& tok, int* form, size_t np, size_t nt, size_t nn, Corner* c) {
    const char* s = tok.c_str();
    const char* end = s + tok.size();
    const char* f[3] = {s, nullptr, nullptr};
    const char* fe[3] = {end, nullptr, nullptr};
    int fields = 1;
    for (const char* q = s; q < end; ++q)
        if (*q == '/') {
            if (fields == 3) return false;
            fe[fields - 1] = q;
            f[fields] = q + 1;
            fe[fields] = end;
            ++fields;
        }
    long v[3] = {0, 0, 0};
    bool has[3] = {false, false, false};
    for (int i = 0; i < fields; ++i) has[i] = localInt(f[i], fe[i], &v[i]);
    int got;
    if (fields == 3 && has[0] && !has[1] && fe[1] == f[1] && has[2])
        got = kFormPN;
    else if (fields == 3 && has[0] && has[1] && has[2])
        got = kFormPTN;
    else if (fields == 2 && has[0] && has[1])
        got = kFormPT;
    else if (fields == 1 && has[0])
        got = kFormP;
    else
        return false;
    if (*form < 0) *form = got;
    if (got != *form) return false;
    c->p = localResolve(v[0], np);
    c->t = got == kFormPT || got == kFormPTN ? localResolve(v[1], nt) : -1;
    c->n = got == kFormPTN || got == kFormPN ? localResolve(v[2], nn) : -1;
    return true;
}

// What one pass over the text collects.
struct Parse {
    std::vector<float> pos, norm, tex;
    std::vector<FXObjRecord> records;
    std::vector<std::vector<int32_t>> groupRecords;
    std::vector<std::string> groupNames;
    int group = 0;
    int material = -1;  // -1: no usemtl yet
    int unknown = 0;
    bool tooLarge = false;
};

}  // namespace

FXObjModel::FXObjModel()
    : path(nullptr),
      libraryFile(nullptr),
      library(nullptr),
      meshes(16),
      positions(12),
      normals(12),
      texCoords(8),
      records(static_cast<int>(sizeof(FXObjRecord))),
      groups(16),
      recordCount(0),
      droppedTriangles(0) {}

FXObjModel::~FXObjModel() { Destroy(); }

void FXObjModel::Destroy() {
    free(path);
    free(libraryFile);
    path = libraryFile = nullptr;
    if (library) library->Release();
    library = nullptr;
    materialNames.DestroyBuf();
    for (int i = 0; i < meshes.count; ++i) delete static_cast<FXMesh*>(meshes.data[i]);
    meshes.DestroyBuf();
    positions.DestroyBuf();
    normals.DestroyBuf();
    texCoords.DestroyBuf();
    records.DestroyBuf();
    for (int i = 0; i < groups.count; ++i) delete Group(i);
    groups.DestroyBuf();
    recordCount = 0;
    droppedTriangles = 0;
}

const FXObjRecord* FXObjModel::Record(int i) const { return static_cast<const FXObjRecord*>(records.GetItemPtr(i)); }

namespace {

int localMaterialId(FXStrArray* names, const char* name) {
    int id = names->Findpos(name);
    if (id >= 0) return id;
    names->Push(name);
    return names->count - 1;
}

void localAddRecord(Parse* ps, FXStrArray* names, bool line, const Corner& a, const Corner& b, const Corner& c) {
    if (ps->records.size() >= kMaxItems) {
        ps->tooLarge = true;
        return;
    }
    // Faces before any usemtl get a material of their own rather than
    // borrowing the first one named later.
    if (ps->material < 0) ps->material = localMaterialId(names, kDefaultMaterial);
    FXObjRecord r;
    r.line = line ? 1 : 0;
    const Corner* k[3] = {&a, &b, &c};
    for (int i = 0; i < 3; ++i) {
        r.pos[i] = k[i]->p;
        r.tex[i] = k[i]->t;
        r.norm[i] = k[i]->n;
    }
    r.material = ps->material;
    ps->groupRecords[static_cast<size_t>(ps->group)].push_back(static_cast<int32_t>(ps->records.size()));
    ps->records.push_back(r);
}

void localUnknown(Parse* ps, const char* what, const std::string& tok, const char* rest) {
    if (++ps->unknown <= kMaxUnknownTraced) err("localPrepareModel -> unknown token(%s): %s%s\n", what, tok.c_str(), rest);
}

void localStatement(Parse* ps, FXObjModel* o, const std::string& text) {
    const char* p = text.c_str();
    std::string tok = localWord(&p);
    if (tok.empty() || tok[0] == '#') return;
    if (tok == "v" || tok == "vn" || tok == "vt") {
        std::vector<float>* list = tok == "v" ? &ps->pos : tok == "vn" ? &ps->norm : &ps->tex;
        int dim = tok == "vt" ? 2 : 3;
        if (list->size() / dim >= kMaxItems) {
            ps->tooLarge = true;
            return;
        }
        float v[3];
        localFloats(p, v, dim);
        // The engine looks down -z where the file looks down +z, and its
        // pictures start at the top row where the file's t starts at the bottom.
        if (dim == 3) v[2] = -v[2];
        if (dim == 2) v[1] = 1.0f - v[1];
        list->insert(list->end(), v, v + dim);
    } else if (tok == "f" || tok == "l") {
        bool line = tok == "l";
        std::vector<Corner> cs;
        int form = -1;
        for (;;) {
            std::string w = localWord(&p);
            Corner c;
            if (w.empty() || !localCorner(w, &form, ps->pos.size() / 3, ps->tex.size() / 2, ps->norm.size() / 3, &c))
                break;
            cs.push_back(c);
        }
        if (line) {
            for (size_t i = 1; i < cs.size(); ++i) localAddRecord(ps, &o->materialNames, true, cs[i - 1], cs[i], cs[i]);
        } else {
            for (size_t i = 2; i < cs.size(); ++i) localAddRecord(ps, &o->materialNames, false, cs[0], cs[i - 1], cs[i]);
            if (cs.size() < 3) err("FXObjModel: a face of %d corner(s) is skipped: %s\n", static_cast<int>(cs.size()), text.c_str());
        }
    } else if (tok == "g") {
        std::string n = localTrim(p);
        int g = 0;
        if (!n.empty()) {
            g = -1;
            for (size_t i = 1; i < ps->groupNames.size() && g < 0; ++i)
                if (ps->groupNames[i] == n) g = static_cast<int>(i);
            if (g < 0) {
                g = static_cast<int>(ps->groupNames.size());
                ps->groupNames.push_back(n);
                ps->groupRecords.emplace_back();
            }
        }
        ps->group = g;
    } else if (tok == "usemtl") {
        std::string n = localWord(&p);
        ps->material = localMaterialId(&o->materialNames, n.c_str());
    } else if (tok == "mtllib") {
        std::string n = localWord(&p);
        free(o->libraryFile);
        o->libraryFile = n.empty() ? nullptr : strdup(n.c_str());
    } else if (tok[0] == 'v') {
        localUnknown(ps, "0", tok, "");
    } else if (tok[0] == 'm') {
        localUnknown(ps, "1", tok, "");
    } else if (tok[0] == 'u') {
        localUnknown(ps, "2", tok, "");
    } else {
        localUnknown(ps, "3", tok, p);
    }
}

template <typename T>
void localStore(const std::vector<T>& v, int perItem, FXMemory* m) {
    int n = static_cast<int>(v.size() / static_cast<size_t>(perItem));
    m->DestroyBuf();
    m->Realloc(n);
    if (n) memcpy(m->data, v.data(), static_cast<size_t>(n) * static_cast<size_t>(m->itemSize));
    m->count = n;
}

bool localAbsolute(const char* p) { return p && (fxIsSep(p[0]) || (p[0] && p[1] == ':')); }

// A name a file gives relative to the file's own folder.
std::string localBeside(const char* file, const char* name) {
    if (localAbsolute(name)) return name;
    std::string dir(file, static_cast<size_t>(fxGetFilename(file) - file));
    if (dir.empty()) return name;
    return fxCombinePaths(dir.c_str(), name);
}

}  // namespace

bool FXObjModel::Load(const char* file) {
    Destroy();
    if (!file) return false;
    char native[4096];
    fxNativePath(file, native, sizeof native);
    FILE* f = fopen(native, "r");
    if (!f) {
        err("FXObjModel::Load: cannot open '%s'\n", file);
        return false;
    }
    path = strdup(file);
    Parse ps;
    ps.groupNames.push_back("");
    ps.groupRecords.emplace_back();
    std::string line;
    while (!ps.tooLarge && localReadLine(f, &line)) localStatement(&ps, this, line);
    fclose(f);
    if (ps.unknown > kMaxUnknownTraced)
        err("FXObjModel: %d further unknown statements in '%s' skipped\n", ps.unknown - kMaxUnknownTraced, file);
    if (ps.tooLarge) {
        err("FXObjModel::Load: '%s' holds more than %d vectors or triangles of a kind; not read\n", file,
            static_cast<int>(kMaxItems));
        Destroy();
        return false;
    }
    localStore(ps.pos, 3, &positions);
    localStore(ps.norm, 3, &normals);
    localStore(ps.tex, 2, &texCoords);
    localStore(ps.records, 1, &records);
    recordCount = records.count;
    for (size_t g = 0; g < ps.groupNames.size(); ++g) {
        MObjGroup* grp = new MObjGroup;
        grp->name.Set(ps.groupNames[g].c_str());
        localStore(ps.groupRecords[g], 1, &grp->records);
        grp->next = grp->records.count;
        groups.Push(grp);
    }
    LoadLibrary();
    return true;
}

void FXObjModel::LoadLibrary() {
    if (!libraryFile) return;
    std::string lib = localBeside(path, libraryFile);
    free(libraryFile);
    libraryFile = strdup(lib.c_str());
    if (fxglobalEnv) {
        library = fxglobalEnv->LoadMatlib(libraryFile);
    } else {
        library = new FXMatlib;
        if (!library->LoadFromMtl(libraryFile)) err("FXObjModel: cannot open the material library '%s'\n", libraryFile);
    }
    if (library->Count() == 0) err("FXObjModel: the material library '%s' gives no material\n", libraryFile);
    // Texture names in an MTL file are relative to it.
    for (int i = 0; i < library->Count(); ++i) {
        FXMaterial* m = library->Get(i);
        if (!m || m->textureFile.IsEmpty() || localAbsolute(m->textureFile.text) || fxPathExists(m->textureFile.text))
            continue;
        std::string t = localBeside(libraryFile, m->textureFile.text);
        if (!fxPathExists(t.c_str())) {
            err("FXObjModel: the texture '%s' of material '%s' is missing\n", m->textureFile.text, m->name.text);
            continue;
        }
        m->textureFile.Set(t.c_str());
        m->LoadTexture(t.c_str());
    }
}

bool FXObjModel::Import() {
    for (int i = 0; i < meshes.count; ++i) delete static_cast<FXMesh*>(meshes.data[i]);
    meshes.DestroyBuf();
    droppedTriangles = 0;
    if (!library) {
        // Without a library the materials made below still need an owner
        // that the model holds.
        library = new FXMatlib;
    }
    for (int id = 0; id < materialNames.count; ++id) {
        const char* n = materialNames.Get(id);
        FXMesh* mesh = new FXMesh;
        mesh->material = library->FindMaterial(n);
        if (!mesh->material) {
            trc("FXObjModel: material '%s' is not in the library; a default one is made\n", n);
            FXMaterial* m = new FXMaterial;
            m->ownedByLib = true;
            m->SetDefSpecular(1.0f);
            m->name.Set(n);
            library->AddMaterial(m);
            mesh->material = m;
        }
        mesh->materialName = mesh->material->name;
        mesh->renderPass = mesh->material->IsSolid() ? 0 : 1;
        meshes.Push(mesh);
    }

    const int np = positions.count, nn = normals.count, nt = texCoords.count;
    std::vector<std::vector<FXVertex>> verts(static_cast<size_t>(meshes.count));
    std::vector<std::vector<int32_t>> inds(static_cast<size_t>(meshes.count));
    // Vertex of each (position, normal, texture) triple, per mesh.
    std::vector<std::unordered_map<Triple, int32_t, TripleHash>> seen(static_cast<size_t>(meshes.count));
    int triangles = 0, firstBad = -1;
    for (int g = 0; g < groups.count; ++g) {
        MObjGroup* grp = Group(g);
        for (int k = 0; k < grp->next && k < grp->records.count; ++k) {
            const FXObjRecord* r = Record(*static_cast<const int32_t*>(grp->records.GetItemPtr(k)));
            if (!r || r->line || r->material < 0 || r->material >= meshes.count) continue;
            Corner c[3];
            bool ok = true;
            for (int j = 0; j < 3; ++j) {
                c[j].p = r->pos[j];
                // A file without any vn or vt has nothing to name: those
                // indices are ignored rather than the faces lost.
                c[j].n = nn ? r->norm[j] : -1;
                c[j].t = nt ? r->tex[j] : -1;
                ok = ok && c[j].p >= 0 && c[j].p < np && c[j].n >= -1 && c[j].n < nn && c[j].t >= -1 && c[j].t < nt;
            }
            if (!ok) {
                if (firstBad < 0) firstBad = *static_cast<const int32_t*>(grp->records.GetItemPtr(k));
                ++droppedTriangles;
                continue;
            }
            ++triangles;
            size_t mi = static_cast<size_t>(r->material);
            for (int j = 0; j < 3; ++j) {
                Triple key{c[j].p, c[j].n, c[j].t};
                auto it = seen[mi].find(key);
                int32_t v;
                if (it != seen[mi].end()) {
                    v = it->second;
                } else {
                    FXVertex x;
                    memset(&x, 0, sizeof x);
                    memcpy(x.f + FX_VTX_POS, positions.GetItemPtr(c[j].p), 12);
                    if (c[j].n >= 0) memcpy(x.f + FX_VTX_NORMAL, normals.GetItemPtr(c[j].n), 12);
                    if (c[j].t >= 0) memcpy(x.f + FX_VTX_TEX, texCoords.GetItemPtr(c[j].t), 8);
                    for (int a = 0; a < 4; ++a) x.f[FX_VTX_COLOR + a] = 1.0f;
                    // The triple stays with the vertex, as the editing
                    // tools expect (exact: the counts stay below 2^24).
                    x.f[16] = static_cast<float>(c[j].p);
                    x.f[17] = static_cast<float>(c[j].n);
                    x.f[18] = static_cast<float>(c[j].t);
                    v = static_cast<int32_t>(verts[mi].size());
                    verts[mi].push_back(x);
                    seen[mi].emplace(key, v);
                }
                inds[mi].push_back(v);
            }
        }
    }
    if (droppedTriangles) {
        const FXObjRecord* r = Record(firstBad);
        err("FXObjModel: %d triangle(s) of '%s' dropped: they name vectors that do not exist (the first: "
            "positions %d %d %d, normals %d %d %d, texture coordinates %d %d %d; the file has %d, %d, %d)\n",
            droppedTriangles, path ? path : "", r->pos[0] + 1, r->pos[1] + 1, r->pos[2] + 1, r->norm[0] + 1,
            r->norm[1] + 1, r->norm[2] + 1, r->tex[0] + 1, r->tex[1] + 1, r->tex[2] + 1, np, nn, nt);
    }
    for (int id = 0; id < meshes.count; ++id) {
        FXMesh* m = static_cast<FXMesh*>(meshes.data[id]);
        size_t i = static_cast<size_t>(id);
        m->Realloc(static_cast<int>(verts[i].size()), static_cast<int>(inds[i].size()));
        if (!verts[i].empty()) memcpy(m->vertices, verts[i].data(), verts[i].size() * sizeof(FXVertex));
        if (!inds[i].empty()) memcpy(m->indices, inds[i].data(), inds[i].size() * sizeof(int32_t));
    }
    if (triangles == 0) {
        err("FXObjModel: '%s' holds no triangle to import\n", path ? path : "");
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- FXModel

bool FXModel::ImportObj(const char* file) {
    Destroy();
    FXObjModel obj;
    if (!obj.Load(file) || !obj.Import()) {
        err("FXModel::ImportObj: nothing imported from '%s'\n", file ? file : "(null)");
        return false;
    }
    name.Set(fxGetFilename(file));
    libraryName.Set(obj.libraryFile ? obj.libraryFile : "");
    library = obj.library;
    ++library->refCount;
    loadedMeshes.Realloc(obj.meshes.count);
    for (int i = 0; i < obj.meshes.count; ++i) loadedMeshes.Push(obj.meshes.data[i]);
    obj.meshes.RemoveAll();
    return true;
}
