#include "geometry/mesh.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "base/fxarray.h"
#include "base/trace.h"
#include "package/data.h"
#include "package/package.h"
#include "render/env.h"
#include "render/material.h"
#include "render/matlib.h"

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "vertex records and indices are stored as they are in memory: little-endian only"
#endif

FXMesh::FXMesh()
    : hidden(false),
      renderPass(0),
      colorMode(0),
      flipVertical(false),
      secondMesh(nullptr),
      material(nullptr),
      loadedScaleU(0.0f),
      loadedScaleV(0.0f),
      vertexCapacity(0),
      vertexCount(0),
      vertices(nullptr),
      indexCapacity(0),
      indexCount(0),
      indices(nullptr) {}

FXMesh::~FXMesh() { Destroy(); }

void FXMesh::Destroy() {
    free(vertices);
    free(indices);
    vertices = nullptr;
    indices = nullptr;
    vertexCapacity = vertexCount = 0;
    indexCapacity = indexCount = 0;
}

void FXMesh::Render(PEnv* env) const {
    if (!env || hidden || vertexCount < 1 || indexCount < 1 || !vertices || !indices) return;
    if (colorMode != 0 && colorMode != 1) return;
    // Indices were checked against the vertex list when the mesh was loaded;
    // a second mesh must cover as many vertices as this one.
    const FXMesh* second = secondMesh;
    if (second && (!second->vertices || second->vertexCount < vertexCount)) return;
    FXTriangles t;
    t.vertices = vertices;
    t.vertexCount = vertexCount;
    t.indices = indices;
    t.indexCount = indexCount;
    t.vertexColors = colorMode == 1;
    t.material = material;
    if (second) {
        t.second = second->vertices;
        t.material2 = second->material;
    }
    env->DrawTriangles(t);
}

void FXMesh::Realloc(int v, int i) {
    if (v < 0) v = 0;
    if (i < 0) i = 0;
    if (!vertices || vertexCapacity < v) {
        free(vertices);
        vertices = static_cast<FXVertex*>(malloc(static_cast<size_t>(v ? v : 1) * sizeof(FXVertex)));
        if (!vertices) abort();
        vertexCapacity = v;
    }
    if (!indices || indexCapacity < i) {
        free(indices);
        indices = static_cast<int32_t*>(malloc(static_cast<size_t>(i ? i : 1) * sizeof(int32_t)));
        if (!indices) abort();
        indexCapacity = i;
    }
    vertexCount = v;
    indexCount = i;
}

void FXMesh::CopyMeshI(const FXMesh* src) {
    if (!src || src == this) return;
    renderPass = src->renderPass;
    colorMode = src->colorMode;
    material = src->material;
    materialName = src->materialName;
    loadedScaleU = src->loadedScaleU;
    loadedScaleV = src->loadedScaleV;
    Realloc(src->vertexCount, src->indexCount);
}

void FXMesh::Copy(const FXMesh* src) {
    if (!src || src == this) return;
    CopyMeshI(src);
    if (vertexCount && src->vertices)
        memcpy(vertices, src->vertices, static_cast<size_t>(vertexCount) * sizeof(FXVertex));
    if (indexCount && src->indices) memcpy(indices, src->indices, static_cast<size_t>(indexCount) * sizeof(int32_t));
}

// ---------------------------------------------------------------- checks

int FXMesh::DropBadTriangles() {
    if (indexCount < 0) indexCount = 0;
    if (!indices) {
        indexCount = 0;
        return 0;
    }
    int32_t limit = vertices ? vertexCount : 0;
    int32_t out = 0;
    for (int32_t k = 0; k < indexCount; k += 3) {
        int32_t end = std::min(k + 3, indexCount);
        bool ok = true;
        for (int32_t j = k; j < end; ++j) ok = ok && indices[j] >= 0 && indices[j] < limit;
        if (!ok) continue;
        for (int32_t j = k; j < end; ++j) indices[out++] = indices[j];
    }
    int dropped = indexCount - out;
    indexCount = out;
    return dropped;
}

// Every loader ends here: the device relies on indices inside the vertex
// list and does not look at them again while drawing.
void FXMesh::FinishLoad(const char* what) {
    int before = indexCount;
    int dropped = DropBadTriangles();
    if (dropped > 0)
        err("%s: %d of %d indices point outside the %d vertices; their triangles are dropped\n", what, dropped,
            before, vertexCount);
}

// ---------------------------------------------------------------- file helpers

namespace {

bool localWriteFloat(FILE* f, float v) {
    uint32_t u;
    memcpy(&u, &v, 4);
    return fxWriteInt32(f, static_cast<int32_t>(u));
}

int32_t localReadInt(FILE* f) {
    int32_t v = 0;
    if (!fxReadInt32(f, &v)) return 0;
    return v;
}

float localReadFloat(FILE* f) {
    int32_t v = localReadInt(f);
    float r;
    memcpy(&r, &v, 4);
    return r;
}

// Reads up to n items of itemSize bytes. The buffer grows as the bytes
// arrive, so a lying count cannot allocate more than the stream delivers;
// a stream that knows its size cuts the count at once.
template <typename T>
int32_t localReadItems(FILE* f, int32_t n, std::vector<T>* out) {
    out->clear();
    if (n <= 0) return 0;
    long left = fxBytesLeft(f);
    if (left >= 0 && static_cast<int64_t>(n) * static_cast<int64_t>(sizeof(T)) > left)
        n = static_cast<int32_t>(left / static_cast<long>(sizeof(T)));
    const int32_t kChunk = 65536;
    int32_t got = 0;
    while (got < n) {
        int32_t part = std::min(kChunk, n - got);
        out->resize(static_cast<size_t>(got) + static_cast<size_t>(part));
        size_t r = fread(out->data() + got, sizeof(T), static_cast<size_t>(part), f);
        got += static_cast<int32_t>(r);
        if (r != static_cast<size_t>(part)) break;
    }
    out->resize(static_cast<size_t>(got));
    return got;
}

// Corners of a corner stream that an unknown-size stream may announce.
const int32_t kMaxCornersUnknownSize = 1 << 22;

}  // namespace

// ---------------------------------------------------------------- whole form

bool FXMesh::SaveMesh(FILE* f) const {
    if (!f) return false;
    materialName.Save(f);
    localWriteFloat(f, material ? material->texScaleU : 0.0f);
    localWriteFloat(f, material ? material->texScaleV : 0.0f);
    fxWriteInt32(f, renderPass);
    fxWriteInt32(f, colorMode);
    int32_t v = vertices ? std::max(vertexCount, 0) : 0;
    int32_t i = indices ? std::max(indexCount, 0) : 0;
    fxWriteInt32(f, v);
    if (v) fwrite(vertices, sizeof(FXVertex), static_cast<size_t>(v), f);
    fxWriteInt32(f, i);
    if (i) fwrite(indices, sizeof(int32_t), static_cast<size_t>(i), f);
    return !ferror(f);
}

// The fields both file forms open with: material, scales, pass, colour mode.
static void localReadHead(FXMesh* m, FILE* f, FXMatlib* lib) {
    m->materialName.Load(f);
    m->material = lib ? lib->FindMaterial(m->materialName) : nullptr;
    m->loadedScaleU = localReadFloat(f);
    m->loadedScaleV = localReadFloat(f);
    m->renderPass = localReadInt(f);
    m->colorMode = localReadInt(f);
}

bool FXMesh::LoadMesh(FILE* f, FXMatlib* lib) {
    if (!f) return false;
    localReadHead(this, f, lib);

    int32_t v = localReadInt(f);
    std::vector<FXVertex> vbuf;
    int32_t vgot = localReadItems(f, v, &vbuf);
    Realloc(vgot, 0);
    if (vgot) memcpy(vertices, vbuf.data(), static_cast<size_t>(vgot) * sizeof(FXVertex));
    vbuf = std::vector<FXVertex>();

    int32_t i = localReadInt(f);
    std::vector<int32_t> ibuf;
    int32_t igot = localReadItems(f, i, &ibuf);
    Realloc(vgot, igot);
    if (igot) memcpy(indices, ibuf.data(), static_cast<size_t>(igot) * sizeof(int32_t));
    FinishLoad("LoadMesh");
    return vgot == std::max(v, 0) && igot == std::max(i, 0) && igot == indexCount;
}

bool FXMesh::LoadMeshC(FXPackage*, FXPackageData* d, FXMatlib* lib) {
    if (!d) return false;
    d->ReadString(&materialName);
    material = lib ? lib->FindMaterial(materialName) : nullptr;
    loadedScaleU = d->ReadFloat();
    loadedScaleV = d->ReadFloat();
    renderPass = d->ReadInt();
    colorMode = d->ReadInt();

    // Counts are cut to the whole items the record still holds: a record
    // cut short keeps what it has, a lying count allocates nothing extra.
    int32_t v = std::max(d->ReadInt(), 0);
    int32_t vfit = std::min(v, d->remaining / static_cast<int32_t>(sizeof(FXVertex)));
    Realloc(vfit, 0);
    if (vfit) d->ReadCopyBlc(vertices, vfit * static_cast<int32_t>(sizeof(FXVertex)));

    int32_t i = std::max(d->ReadInt(), 0);
    int32_t ifit = std::min(i, d->remaining / 4);
    Realloc(vfit, ifit);
    if (ifit) d->ReadCopyBlc(indices, ifit * 4);
    FinishLoad("LoadMeshC");
    return vfit == v && ifit == i && ifit == indexCount;
}

// ---------------------------------------------------------------- header form

bool FXMesh::SaveMeshI(FILE* f) const {
    if (!f) return false;
    materialName.Save(f);
    float su = material ? material->texScaleU : 0.0f;
    float sv = material ? material->texScaleV : 0.0f;
    if (su == 0.0f) {
        su = loadedScaleU;
        trc("save u from loaded_u (%g)\n", static_cast<double>(su));
    }
    if (sv == 0.0f) sv = loadedScaleV;
    localWriteFloat(f, su);
    localWriteFloat(f, sv);
    fxWriteInt32(f, renderPass);
    fxWriteInt32(f, colorMode);
    fxWriteInt32(f, vertices ? std::max(vertexCount, 0) : 0);
    fxWriteInt32(f, indices ? std::max(indexCount, 0) : 0);
    return !ferror(f);
}

namespace {

// The header's counts size the buffers before the corner stream is seen.
// Every corner takes at least one byte of a stream that is still to come,
// and every vertex is made by a corner, so the bytes left bound both. The
// buffers are cleared: a mesh whose stream never arrives draws nothing and
// reads nothing it should not.
void localSizeFromHeader(FXMesh* m, int32_t v, int32_t i, int64_t bytesLeft) {
    v = std::max(v, 0);
    i = std::max(i, 0);
    if (bytesLeft >= 0 && i > bytesLeft) i = static_cast<int32_t>(bytesLeft);
    if (bytesLeft < 0 && i > kMaxCornersUnknownSize) i = kMaxCornersUnknownSize;
    if (v > i) v = i;
    if (v == 0) i = 0;
    m->Realloc(v, i);
    if (v) memset(m->vertices, 0, static_cast<size_t>(v) * sizeof(FXVertex));
    if (i) memset(m->indices, 0, static_cast<size_t>(i) * sizeof(int32_t));
}

}  // namespace

bool FXMesh::LoadMeshI(FILE* f, FXMatlib* lib) {
    if (!f) return false;
    localReadHead(this, f, lib);
    int32_t v = localReadInt(f);
    int32_t i = localReadInt(f);
    localSizeFromHeader(this, v, i, fxBytesLeft(f));
    return vertexCount == std::max(v, 0) && indexCount == std::max(i, 0);
}

bool FXMesh::LoadMeshIC(FXPackage*, FXPackageData* d, FXMatlib* lib) {
    if (!d) return false;
    d->ReadString(&materialName);
    material = lib ? lib->FindMaterial(materialName) : nullptr;
    loadedScaleU = d->ReadFloat();
    loadedScaleV = d->ReadFloat();
    renderPass = d->ReadInt();
    colorMode = d->ReadInt();
    int32_t v = d->ReadInt();
    int32_t i = d->ReadInt();
    localSizeFromHeader(this, v, i, d->remaining);
    return vertexCount == std::max(v, 0) && indexCount == std::max(i, 0);
}

// ---------------------------------------------------------------- corner stream

bool FXMesh::FromVMap(FXVectorMap* map, FXNumPool* pool) {
    if (!map || !pool) return false;
    int32_t icount = indexCount, vcount = vertexCount;
    if (icount <= 0 || vcount <= 0) return true;
    if (!vertices || !indices || vcount > vertexCapacity || icount > indexCapacity) return false;

    // A map built in memory (by ToVMap) has no user slots yet.
    if (map->firstPos.count < map->pos.count || map->firstNorm.count < map->norm.count ||
        map->firstTex.count < map->tex.count)
        map->SizeUsers();
    else
        map->ClearUsed();
    vertexCount = 0;
    int32_t prev[3] = {-1, -1, -1};
    const int32_t lists[3] = {map->numPos, map->numNorm, map->numTex};
    pool->Reseek();
    int32_t k = 0;
    for (; k < icount; ++k) {
        unsigned char ctl;
        if (!pool->GetNextByte(&ctl)) break;
        int32_t idx[3];
        bool ok = true;
        for (int c = 0; c < 3 && ok; ++c) {
            int64_t n = -1;
            switch ((ctl >> (2 * c)) & 3) {
            case FX_CORNER_NEXT: n = static_cast<int64_t>(prev[c]) + 1; break;
            case FX_CORNER_BYTE: {
                unsigned char b;
                if (pool->GetNextByte(&b)) n = b;
                break;
            }
            case FX_CORNER_WORD: {
                unsigned short w;
                if (pool->GetNextWord(&w)) n = w;
                break;
            }
            default: {
                int x;
                if (pool->GetNextInt(&x)) n = x;
                break;
            }
            }
            // An index the map does not hold ends the stream: the map is
            // the only source of the vertex's data.
            ok = n >= 0 && n < lists[c];
            idx[c] = static_cast<int32_t>(ok ? n : 0);
        }
        if (!ok) break;
        int vtx = map->GetUsed(idx[0], idx[1], idx[2]);
        if (vtx < 0 || vtx >= vertexCount) {
            // More distinct corners than the header announced: the buffer
            // was sized by that number.
            if (vertexCount >= vcount) break;
            vtx = vertexCount++;
            map->PushUsed(idx[0], idx[1], idx[2], vtx);
            float* r = vertices[vtx].f;
            map->GetVecPos(idx[0], r + FX_VTX_POS);
            map->GetVecNorm(idx[1], r + FX_VTX_NORMAL);
            map->GetVecTex(idx[2], r + FX_VTX_TEX);
            // Colour and working values are not stored; fresh buffers are
            // not cleared, so give them fixed values rather than heap bytes.
            for (int j = 0; j < 4; ++j) r[FX_VTX_COLOR + j] = 1.0f;
            for (int j = FX_VTX_ACCNORM; j < FX_VTX_FLOATS; ++j) r[j] = 0.0f;
        }
        indices[k] = vtx;
        for (int c = 0; c < 3; ++c) prev[c] = idx[c];
    }
    indexCount = k;
    if (k < icount) {
        err("FromVMap: corner stream damaged at corner %d of %d; the mesh keeps %d vertices\n", k, icount,
            vertexCount);
        return false;
    }
    return true;
}

namespace {

struct localKey {
    uint32_t v[8];
    int n;
    bool operator==(const localKey& o) const { return n == o.n && memcmp(v, o.v, sizeof(uint32_t) * n) == 0; }
};

struct localKeyHash {
    size_t operator()(const localKey& k) const {
        uint64_t h = 1469598103934665603ull;
        for (int i = 0; i < k.n; ++i) {
            h ^= k.v[i];
            h *= 1099511628211ull;
        }
        return static_cast<size_t>(h ^ (h >> 29));
    }
};

// Values compared bit for bit: the decoder shares what the encoder shared,
// nothing more (0.0 and -0.0 stay apart, a NaN matches its own bits).
localKey localMakeKey(const float* f, int n) {
    localKey k;
    k.n = n;
    memcpy(k.v, f, sizeof(float) * n);
    return k;
}

typedef std::unordered_map<localKey, int32_t, localKeyHash> localIndex;

// The vectors already in a map list, first occurrence of each value.
void localIndexList(const FXFloatArray& a, int num, int dim, localIndex* out) {
    out->reserve(static_cast<size_t>(num) * 2);
    for (int i = 0; i < num; ++i) out->emplace(localMakeKey(a.data + static_cast<size_t>(i) * dim, dim), i);
}

int32_t localFindOrPush(localIndex* index, const float* v, int dim, FXVectorMap* map, int which) {
    localKey k = localMakeKey(v, dim);
    auto it = index->find(k);
    if (it != index->end()) return it->second;
    int32_t n = which == 0 ? map->PushVecPos(v) : which == 1 ? map->PushVecNorm(v) : map->PushVecTex(v);
    index->emplace(k, n);
    return n;
}

void localPushCornerValue(FXNumPool* pool, int32_t v, int code) {
    switch (code) {
    case FX_CORNER_BYTE: pool->PushByte(static_cast<unsigned char>(v)); break;
    case FX_CORNER_WORD: pool->PushWord(static_cast<unsigned short>(v)); break;
    case FX_CORNER_INT: pool->PushInt(v); break;
    default: break;
    }
}

int localCornerCode(int32_t v, int32_t prev) {
    if (static_cast<int64_t>(prev) + 1 == v) return FX_CORNER_NEXT;
    if (v >= 0 && v <= 0xff) return FX_CORNER_BYTE;
    if (v >= 0 && v <= 0xffff) return FX_CORNER_WORD;
    return FX_CORNER_INT;
}

}  // namespace

void FXMesh::ToVMap(FXVectorMap* map, FXNumPool* pool) const {
    if (!map || !pool || !indices || indexCount <= 0) return;
    for (int32_t k = 0; k < indexCount; ++k)
        if (!vertices || indices[k] < 0 || indices[k] >= vertexCount) {
            err("ToVMap: index %d outside the %d vertices; nothing written\n", indices[k], vertexCount);
            return;
        }
    localIndex lists[3];
    localIndexList(map->pos, map->numPos, 3, &lists[0]);
    localIndexList(map->norm, map->numNorm, 3, &lists[1]);
    localIndexList(map->tex, map->numTex, 2, &lists[2]);
    // Room for every vector this mesh may add, at once: the lists grow by
    // their step, which would copy them whole for each vector pushed.
    map->pos.Realloc(map->pos.count + vertexCount * 3);
    map->norm.Realloc(map->norm.count + vertexCount * 3);
    map->tex.Realloc(map->tex.count + vertexCount * 2);

    // Map indices of each vertex, found when the vertex is first used.
    std::vector<int32_t> triple(static_cast<size_t>(vertexCount) * 3, -1);
    int32_t prev[3] = {-1, -1, -1};
    for (int32_t k = 0; k < indexCount; ++k) {
        int32_t v = indices[k];
        int32_t* t = &triple[static_cast<size_t>(v) * 3];
        if (t[0] < 0) {
            const float* r = vertices[v].f;
            t[0] = localFindOrPush(&lists[0], r + FX_VTX_POS, 3, map, 0);
            t[1] = localFindOrPush(&lists[1], r + FX_VTX_NORMAL, 3, map, 1);
            t[2] = localFindOrPush(&lists[2], r + FX_VTX_TEX, 2, map, 2);
        }
        int codes[3];
        unsigned char ctl = 0;
        for (int c = 0; c < 3; ++c) {
            codes[c] = localCornerCode(t[c], prev[c]);
            ctl = static_cast<unsigned char>(ctl | codes[c] << (2 * c));
        }
        pool->PushByte(ctl);
        for (int c = 0; c < 3; ++c) {
            localPushCornerValue(pool, t[c], codes[c]);
            prev[c] = t[c];
        }
    }
}

void FXMesh::ApplyRedir() {
    DropBadTriangles();
    if (!vertices || vertexCount <= 0) return;
    localIndex seen;
    std::vector<int32_t> first;  // old number of each new vertex
    for (int32_t k = 0; k < indexCount; ++k) {
        const float* r = vertices[indices[k]].f;
        float key[8];
        memcpy(key, r + FX_VTX_POS, sizeof(float) * 8);
        auto ins = seen.emplace(localMakeKey(key, 8), static_cast<int32_t>(first.size()));
        if (ins.second) first.push_back(indices[k]);
        indices[k] = ins.first->second;
    }
    int32_t n = static_cast<int32_t>(first.size());
    FXVertex* nv = static_cast<FXVertex*>(malloc(static_cast<size_t>(n ? n : 1) * sizeof(FXVertex)));
    if (!nv) abort();
    for (int32_t j = 0; j < n; ++j) nv[j] = vertices[first[j]];
    free(vertices);
    vertices = nv;
    vertexCount = vertexCapacity = n;
}
