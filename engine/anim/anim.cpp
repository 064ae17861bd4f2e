#include "anim/anim.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "anim/bezier.h"
#include "base/paths.h"
#include "base/trace.h"
#include "geometry/mesh.h"
#include "package/data.h"
#include "package/package.h"
#include "render/matlib.h"

namespace {

const double kDefaultDuration = 0.5;
const int kMaxFrameMs = 24 * 3600 * 1000;
// Header form of a mesh: name count, two scales, pass, colour mode, counts.
const int32_t kMinMeshHeader = 4 + 8 + 4 + 4 + 4 + 4;

FXMesh* localMesh(const FXArray& a, int i) {
    return i >= 0 && i < a.count ? static_cast<FXMesh*>(a.data[i]) : nullptr;
}

int localVerts(const FXMesh* m) { return m && m->vertices ? m->vertexCount : 0; }

// Measures what is about to be read on a copy of the cursor: the cursor's
// own reads fill a short record with zeros, which would pass unnoticed.
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
    bool Items(int64_t size, int32_t* count = nullptr) {
        int32_t n;
        if (!Int(&n) || n < 0 || !Skip(n * size)) return false;
        if (count) *count = n;
        return true;
    }
    bool Strings(int32_t* count) {
        int32_t n;
        if (!Int(&n) || n < 0 || n > p_.remaining / 4) return false;
        for (int32_t i = 0; i < n; ++i)
            if (!String()) return false;
        *count = n;
        return true;
    }

private:
    FXPackageData p_;
};

void localWriteFloat(FILE* f, float v) {
    uint32_t u;
    memcpy(&u, &v, 4);
    fxWriteInt32(f, static_cast<int32_t>(u));
}

void localWriteBool(FILE* f, bool v) { fputc(v ? 1 : 0, f); }

void localPushCorner(FXNumPool* pool, const int32_t* idx, int32_t* prev) {
    int codes[3];
    unsigned char ctl = 0;
    for (int c = 0; c < 3; ++c) {
        int32_t v = idx[c];
        codes[c] = v == prev[c] + 1 ? FX_CORNER_NEXT : v < 256 ? FX_CORNER_BYTE : v < 65536 ? FX_CORNER_WORD : FX_CORNER_INT;
        ctl = static_cast<unsigned char>(ctl | codes[c] << (2 * c));
    }
    pool->PushByte(ctl);
    for (int c = 0; c < 3; ++c) {
        if (codes[c] == FX_CORNER_BYTE) pool->PushByte(static_cast<unsigned char>(idx[c]));
        if (codes[c] == FX_CORNER_WORD) pool->PushWord(static_cast<unsigned short>(idx[c]));
        if (codes[c] == FX_CORNER_INT) pool->PushInt(idx[c]);
        prev[c] = idx[c];
    }
}

// One slot list of the stored vector maps (positions, normals or texture
// coordinates): a vertex's values in all frames, bit for bit, name its
// slot, so vertices share a slot only where they agree in every frame.
struct localSlots {
    int dim, offset;
    std::unordered_map<std::string, int32_t> index;
    std::vector<std::pair<int, int>> owner;  // (mesh, vertex) that filled each slot

    int32_t Find(const FXAnim* a, int frames, int m, int v) {
        std::string key(static_cast<size_t>(frames * dim) * sizeof(float), '\0');
        for (int f = 0; f < frames; ++f)
            memcpy(&key[static_cast<size_t>(f * dim) * sizeof(float)],
                   localMesh(a->Model(f)->meshes, m)->vertices[v].f + offset, sizeof(float) * dim);
        auto ins = index.emplace(std::move(key), static_cast<int32_t>(owner.size()));
        if (ins.second) owner.emplace_back(m, v);
        return ins.first->second;
    }
    void Fill(FXFloatArray* out, const FXAnim* a, int f) const {
        out->Realloc(static_cast<int>(owner.size()) * dim);
        out->count = 0;
        for (auto& o : owner)
            for (int k = 0; k < dim; ++k)
                out->data[out->count++] = localMesh(a->Model(f)->meshes, o.first)->vertices[o.second].f[offset + k];
    }
};

}  // namespace

FXAnim::FXAnim()
    : storedValue(0.0f), playing(true), reverse(false), loop(true), bounce(false), frameStart(0.0), actFrame(0),
      frameDuration(kDefaultDuration), phaseDriven(false), segmentRefresh(false), models(16), frameNames(16),
      durations(16), interpolation(false), interpolationFlag(false), straightLines(false), posSplines(1024),
      normSplines(1024), reversedSegment(false), tension(1.0f), actPhase(0.0f), easeInOut(false), restFrame_(-1) {}

FXAnim::~FXAnim() { Destroy(); }

void FXAnim::Destroy() {
    playing = true;
    reverse = reversedSegment = false;
    loop = true;
    bounce = false;
    frameStart = 0.0;
    actFrame = 0;
    frameDuration = kDefaultDuration;
    for (int i = 0; i < models.count; ++i) delete static_cast<FXModel*>(models.data[i]);
    models.DestroyBuf();
    frameNames.DestroyBuf();
    durations.DestroyBuf();
    graph.Destroy();
    UpdateInterpolation(false, true);
}

int FXAnim::FrameCount() const { return std::min(models.count, std::min(frameNames.count, durations.count)); }

FXModel* FXAnim::Model(int f) const {
    return f >= 0 && f < models.count ? static_cast<FXModel*>(models.data[f]) : nullptr;
}

void FXAnim::AddFrame(FXModel* model, const char* name, int ms) {
    models.Push(model);
    frameNames.Push(name ? name : "");
    durations.PushInt(ms);
}

bool FXAnim::Damaged(const char* why) {
    err("FXAnim: %s; the animation stays empty\n", why);
    Destroy();
    return false;
}

// ---------------------------------------------------------------- loading

bool FXAnim::LoadCN(FXPackage* pck, int id) {
    Destroy();
    FXPackageData* d = pck ? pck->GetDataPtr(id) : nullptr;
    if (!d) {
        err("FXAnim::LoadCN: the package has no record %d\n", id);
        return false;
    }
    d->Reseek();
    return fxLoadNamingDamage("animation", id, true, [&] { return LoadC(pck, d); });
}

bool FXAnim::LoadC(FXPackage* pck, FXPackageData* d) {
    Destroy();
    if (!d || d->remaining < 8) return Damaged("the record is shorter than 8 bytes");
    if (d->remaining >= 8 && memcmp(d->pos, "\4\0\0\0xa03", 8) == 0) {
        d->ReadBlc(8);
        return Load_v03C(pck, d);
    }
    return Load_v02C(pck, d);
}

// A file is read whole and parsed like a record: one reader, one set of
// bounds for both.
bool FXAnim::Load(FILE* f) {
    Destroy();
    if (!f) return false;
    std::vector<uint8_t> buf;
    if (!fxReadRest(f, &buf)) return Damaged("the file is too large or cannot be read");
    FXPackageData d;
    d.InitData(buf.data(), static_cast<int>(buf.size()));
    return LoadC(nullptr, &d);
}

bool FXAnim::Load(const char* path) {
    Destroy();
    if (!path) return false;
    char native[4096];
    fxNativePath(path, native, sizeof native);
    FILE* f = fopen(native, "rb");
    if (!f) {
        err("FXAnim::Load: cannot open '%s'\n", path);
        return false;
    }
    bool ok = Load(f);
    fclose(f);
    return ok;
}

namespace {

// The fields both forms begin with, measured and read.
bool localReadHead(FXAnim* a, FXPackage* pck, FXPackageData* d, const char** why) {
    localProbe p(d);
    int32_t names, ms;
    if (!p.Strings(&names) || !p.Items(4, &ms)) return *why = "the frame lists are cut short", false;
    if (names > FXAnim::kMaxFrames) return *why = "more frames than an animation may hold", false;
    d->ReadStringArray(&a->frameNames);
    d->ReadArray(&a->durations);
    // A frame lasts milliseconds to seconds; a negative one, or one of over
    // a day, is damage and plays for the default time.
    for (int i = 0; i < a->durations.count; ++i) {
        const int ms = a->durations.GetInt(i);
        if (ms >= 0 && ms <= kMaxFrameMs) continue;
        err("animation: frame %d lasts %d ms; the default time instead\n", i, ms);
        a->durations.SetInt(i, 0);
    }
    if (!a->graph.LoadC(pck, d)) return *why = "the timing graph is damaged", false;
    if (d->remaining < 8) return *why = "the record ends inside its flags", false;
    a->storedValue = d->ReadFloat();
    a->playing = d->ReadBool();
    a->reverse = d->ReadBool();
    a->loop = d->ReadBool();
    a->bounce = d->ReadBool();
    return true;
}

}  // namespace

// Names, durations and models come in counts of their own; only as many
// frames as all three have play, and the rest is let go.
void FXAnim::TrimFrames() {
    const int n = FrameCount();
    while (models.count > n) delete static_cast<FXModel*>(models.Pop());
    while (frameNames.count > n) frameNames.Pop();
    if (durations.count > n) durations.count = n;
}

bool FXAnim::Load_v02C(FXPackage* pck, FXPackageData* d) {
    const char* why = "";
    if (!localReadHead(this, pck, d, &why)) return Damaged(why);
    int64_t total = 0;
    models.Realloc(frameNames.count);
    for (int i = 0; i < frameNames.count; ++i) {
        const char* name = frameNames.Get(i);
        FXModel* m = nullptr;
        int id;
        char extra;
        bool ok = false;
        if (*name) {
            m = new FXModel;
            ok = pck ? sscanf(name, "%d%c", &id, &extra) == 1 && m->LoadCN(pck, id) : m->Load(name);
        }
        if (ok) {
            m->UpdateMeshes();
            m->ResizeTextCoords();
            total += m->GetTotalVertices();
        } else {
            delete m;
            m = nullptr;
        }
        models.Push(m);
        if (total > kMaxVertexFrames) return Damaged("the frames hold more vertices than an animation may");
    }
    TrimFrames();
    ComputeFrameDuration();
    return true;
}

bool FXAnim::Load_v03C(FXPackage* pck, FXPackageData* d) {
    const char* why = "";
    if (!localReadHead(this, pck, d, &why)) return Damaged(why);
    const int frames = frameNames.count;
    int32_t meshCount;
    {
        localProbe p(d);
        if (!p.Int(&meshCount) || !p.String()) return Damaged("the record ends before its meshes");
    }
    meshCount = d->ReadInt();
    // Each mesh takes a header and a pool, each frame a vector map.
    if (meshCount < 0 || meshCount > d->remaining / (kMinMeshHeader + 4) ||
        static_cast<int64_t>(frames) * 12 > d->remaining)
        return Damaged("the mesh or frame count does not fit the record");
    if (frames == 0 && meshCount > 0) return Damaged("meshes without a frame to hold them");
    FXStr libName;
    d->ReadString(&libName);

    models.Realloc(frames);
    for (int f = 0; f < frames; ++f) {
        FXModel* m = new FXModel;
        m->name.Set(frameNames.Get(f));
        m->libraryName = libName;
        m->loadedMeshes.Realloc(meshCount);
        for (int k = 0; k < meshCount; ++k) m->loadedMeshes.Push(new FXMesh);
        models.Push(m);
    }
    FXMatlib* lib = nullptr;
    if (frames > 0 && !libName.IsEmpty() && fxglobalEnv)
        lib = pck ? fxglobalEnv->LoadMatlibC(pck, libName.text) : fxglobalEnv->LoadMatlib(libName.text);
    for (int f = 0; f < frames && lib; ++f) {
        Model(f)->library = lib;
        if (f > 0) ++lib->refCount;
    }

    FXModel* first = Model(0);
    int64_t verts = 0;
    for (int k = 0; k < meshCount; ++k) {
        localProbe p(d);
        int32_t v, i;
        if (!p.String() || !p.Skip(16) || !p.Int(&v) || !p.Int(&i))
            return Damaged("a mesh header is cut short");
        FXMesh* m0 = localMesh(first->loadedMeshes, k);
        if (!m0->LoadMeshIC(pck, d, lib)) return Damaged("a mesh header's counts do not fit the record");
        // Vertices come only from corners: a mesh short of either has neither.
        if (m0->vertexCount <= 0 || m0->indexCount <= 0) m0->vertexCount = m0->indexCount = 0;
        verts += m0->vertexCount;
        if (verts * frames > kMaxVertexFrames) return Damaged("the frames hold more vertices than an animation may");
    }
    for (int f = 1; f < frames; ++f)
        for (int k = 0; k < meshCount; ++k)
            localMesh(Model(f)->loadedMeshes, k)->CopyMeshI(localMesh(first->loadedMeshes, k));

    std::vector<FXNumPool> pools(static_cast<size_t>(meshCount));
    for (int k = 0; k < meshCount; ++k) {
        localProbe p(d);
        if (!p.Items(1)) return Damaged("a corner stream is cut short");
        pools[static_cast<size_t>(k)].LoadC(pck, d);
    }
    for (int f = 0; f < frames; ++f) {
        localProbe p(d);
        if (!p.Items(4) || !p.Items(4) || !p.Items(4)) return Damaged("a frame's vectors are cut short");
        FXVectorMap map;
        map.LoadC(pck, d);
        for (int k = 0; k < meshCount; ++k)
            if (!localMesh(Model(f)->loadedMeshes, k)->FromVMap(&map, &pools[static_cast<size_t>(k)]))
                return Damaged("a frame's vectors do not hold what the corner streams name");
    }
    for (int f = 0; f < frames; ++f) {
        Model(f)->UpdateMeshes();
        Model(f)->ResizeTextCoords();
    }
    TrimFrames();
    ComputeFrameDuration();
    return true;
}

// ---------------------------------------------------------------- saving

bool FXAnim::Save(const char* path) {
    if (!path) return false;
    char native[4096];
    fxNativePath(path, native, sizeof native);
    FILE* f = fopen(native, "wb");
    if (!f) {
        err("FXAnim::Save: cannot write '%s'\n", path);
        return false;
    }
    bool ok = Save(f);
    return fclose(f) == 0 && ok;
}

bool FXAnim::Save_v02(const char* path) {
    if (!path) return false;
    char native[4096];
    fxNativePath(path, native, sizeof native);
    FILE* f = fopen(native, "wb");
    if (!f) {
        err("FXAnim::Save_v02: cannot write '%s'\n", path);
        return false;
    }
    bool ok = Save_v02(f);
    return fclose(f) == 0 && ok;
}

// Only the frames that play are stored.
void FXAnim::SaveHead(FILE* f, int frames) const {
    fxWriteInt32(f, frames);
    for (int i = 0; i < frames; ++i) FXStr(frameNames.Get(i)).Save(f);
    fxWriteInt32(f, frames);
    for (int i = 0; i < frames; ++i) fxWriteInt32(f, durations.GetInt(i));
    graph.Save(f);
    localWriteFloat(f, storedValue);
    localWriteBool(f, playing);
    localWriteBool(f, reverse);
    localWriteBool(f, loop);
    localWriteBool(f, bounce);
}

bool FXAnim::Save_v02(FILE* f) {
    if (!f) return false;
    SaveHead(f, FrameCount());
    return !ferror(f);
}

bool FXAnim::Save(FILE* f) {
    if (!f) return false;
    const int frames = FrameCount();
    FXModel* first = Model(0);
    const int meshCount = frames > 0 && first ? first->meshes.count : 0;
    for (int fr = 1; fr < frames && meshCount > 0; ++fr) {
        FXModel* m = Model(fr);
        bool same = m && m->meshes.count == meshCount;
        for (int k = 0; same && k < meshCount; ++k)
            same = localVerts(localMesh(m->meshes, k)) == localVerts(localMesh(first->meshes, k));
        if (!same) {
            err("FXAnim::Save: frame %d's meshes differ from frame 0's; nothing written\n", fr);
            return false;
        }
    }

    // Every mesh in the form its corner stream decodes to: corners in
    // order, vertices numbered by the first use of their slot triple.
    localSlots slots[3] = {{3, FX_VTX_POS, {}, {}}, {3, FX_VTX_NORMAL, {}, {}}, {2, FX_VTX_TEX, {}, {}}};
    std::vector<FXMesh> forms(static_cast<size_t>(meshCount));
    std::vector<std::unique_ptr<FXNumPool>> pools;
    for (int k = 0; k < meshCount; ++k) {
        pools.emplace_back(new FXNumPool(1 << 16));
        FXMesh& form = forms[static_cast<size_t>(k)];
        if (FXMesh* m = localMesh(first->meshes, k)) {
            form.Copy(m);
            form.DropBadTriangles();
        }
        std::vector<int32_t> triple(static_cast<size_t>(localVerts(&form)) * 3, -1);
        std::unordered_map<std::string, int32_t> decoded;
        int32_t prev[3] = {-1, -1, -1};
        for (int32_t c = 0; c < form.indexCount; ++c) {
            int32_t v = form.indices[c];
            int32_t* t = &triple[static_cast<size_t>(v) * 3];
            if (t[0] < 0)
                for (int s = 0; s < 3; ++s) t[s] = slots[s].Find(this, frames, k, v);
            decoded.emplace(std::string(reinterpret_cast<const char*>(t), 12), 0);
            localPushCorner(pools.back().get(), t, prev);
        }
        form.vertexCount = static_cast<int32_t>(decoded.size());
        if (form.indexCount == 0) form.vertexCount = 0;
    }

    FXStr("xa03").Save(f);
    SaveHead(f, frames);
    fxWriteInt32(f, meshCount);
    (first && frames > 0 ? first->libraryName : FXStr()).Save(f);
    for (auto& form : forms) form.SaveMeshI(f);
    for (auto& pool : pools) pool->Save(f);
    FXVectorMap map;
    for (int fr = 0; fr < frames; ++fr) {
        slots[0].Fill(&map.pos, this, fr);
        slots[1].Fill(&map.norm, this, fr);
        slots[2].Fill(&map.tex, this, fr);
        map.Save(f);
    }
    return !ferror(f);
}

void FXAnim::Compile(FXPackage* pck) {
    for (int f = 0; f < models.count; ++f)
        if (FXModel* m = Model(f)) m->Compile(pck);
}

// ---------------------------------------------------------------- preparation

void FXAnim::ForModels(void (*op)(FXModel*, const float*), int frame, bool halfHoriz) {
    FXModel* src = frame < FrameCount() ? Model(frame) : nullptr;
    if (!src) return;
    float box[6];
    src->FindMaxims(box);
    if (halfHoriz) box[1] = box[0] + 2.0f * (box[1] - box[0]);
    for (int f = 0; f < models.count; ++f)
        if (FXModel* m = Model(f)) op(m, box);
}

void FXAnim::Unitize(int f) { ForModels([](FXModel* m, const float* b) { m->UnitizeMaxims(b); }, f, false); }
void FXAnim::UnitizeStretch(int f) {
    ForModels([](FXModel* m, const float* b) { m->UnitizeMaximsStretch(b); }, f, false);
}
void FXAnim::UnitizeStretch1(int f) {
    ForModels([](FXModel* m, const float* b) { m->UnitizeMaximsStretch1(b); }, f, false);
}
void FXAnim::UnitizeStretch1HalfHoriz(int f) {
    ForModels([](FXModel* m, const float* b) { m->UnitizeMaximsStretch1(b); }, f, true);
}

void FXAnim::FlipHoriz() {
    for (int f = 0; f < models.count; ++f)
        if (FXModel* m = Model(f)) m->FlipHoriz();
}

void FXAnim::Normalize(int frame, bool onlySelected) {
    for (int f = 0; f < models.count; ++f)
        if (FXModel* m = Model(f))
            if (frame == -1 || frame == f) m->Normalize(onlySelected);
}

void FXAnim::ComputeFrontTexCoords(int frame, int channel) {
    FXModel* src = frame < FrameCount() ? Model(frame) : nullptr;
    if (!src || channel < -1 || channel >= src->meshes.count) return;
    src->ComputeFrontTexCoords(channel);
    for (int f = 0; f < models.count; ++f)
        if (FXModel* m = Model(f))
            if (m != src) m->CopyTexCoords(channel, src);
}

void FXAnim::ResizeTextCoords() {
    for (int f = 0; f < models.count; ++f)
        if (FXModel* m = Model(f)) m->ResizeTextCoords();
}

void FXAnim::ResizeTextCoords1() {
    for (int f = 0; f < models.count; ++f)
        if (FXModel* m = Model(f)) m->ResizeTextCoords1();
}

// ---------------------------------------------------------------- playback

void FXAnim::ComputeFrameDuration() {
    int n = FrameCount();
    if (n <= 0) {
        frameDuration = kDefaultDuration;
        return;
    }
    int f = std::max(0, std::min(actFrame, n - 1));
    int ms = durations.GetInt(f);
    frameDuration = ms <= 0 ? kDefaultDuration : ms / 1000.0;
}

void FXAnim::StartAnim(double time) {
    int n = FrameCount();
    frameStart = time;
    actPhase = 0.0f;
    actFrame = reverse && n - 2 >= 0 ? n - 2 : 0;
    ComputeFrameDuration();
    segmentRefresh = true;
    phaseDriven = false;
    // Nothing to play never ends: its owner would wait for ever.
    playing = n > 0;
}

void FXAnim::ContinueAnim(double time) {
    frameStart = time;
    ComputeFrameDuration();
    playing = FrameCount() > 0;
}

void FXAnim::OnRender(PEnv* env, double time) {
    const int n = FrameCount();
    if (n <= 0) return;
    const int was = actFrame;
    if (playing && !phaseDriven && time - frameStart >= frameDuration) {
        if (!reverse) {
            if (++actFrame > n - 1) {
                if (!loop) {
                    actFrame = n - 1;
                    playing = false;
                } else if (!bounce) {
                    actFrame = 0;
                } else {
                    actFrame = std::max(0, n - 2);
                    reverse = true;
                }
            }
        } else if (--actFrame < 0) {
            if (!loop) {
                actFrame = 0;
                playing = false;
            } else if (!bounce) {
                actFrame = n - 1;
            } else {
                actFrame = std::min(1, n - 1);
                reverse = false;
            }
        }
        // A late step keeps the rhythm by carrying the overshoot; a stall
        // of more than two frames starts the timing afresh.
        double e = time - frameStart, d = frameDuration;
        if (d <= 0.0 || e > 2.0 * d) {
            ComputeFrameDuration();
            frameStart = time;
        } else {
            float over = static_cast<float>((e - d) / d);
            ComputeFrameDuration();
            frameStart = time - over * frameDuration;
        }
    }
    actFrame = std::max(0, std::min(actFrame, n - 1));
    if (!interpolation) {
        if (FXModel* m = Model(actFrame)) m->OnRender(env, time);
        return;
    }
    if (!phaseDriven) {
        if (actFrame != was || segmentRefresh) {
            segmentRefresh = false;
            UpdateIFrame();
        }
        UpdateIPos(time);
    }
    imodel.OnRender(env, time);
}

// ---------------------------------------------------------------- interpolation

void FXAnim::FreeSplines() {
    for (int i = 0; i < posSplines.count; ++i) delete static_cast<FXBezierSpline*>(posSplines.data[i]);
    for (int i = 0; i < normSplines.count; ++i) delete static_cast<FXBezierSpline*>(normSplines.data[i]);
    posSplines.DestroyBuf();
    normSplines.DestroyBuf();
}

void FXAnim::UpdateInterpolation(bool on, bool flag) {
    interpolation = on;
    interpolationFlag = flag;
    imodel.Destroy();
    FreeSplines();
    restFrame_ = -1;
    const int n = FrameCount();
    FXModel* first = Model(0);
    if (!on || n <= 0 || !first) return;
    imodel.Copy(first);
    // Every frame must match frame 0 mesh by mesh; otherwise the copy of
    // frame 0 is shown as it is.
    int total = 0;
    for (int k = 0; k < first->meshes.count; ++k) total += localVerts(localMesh(first->meshes, k));
    for (int f = 1; f < n; ++f) {
        FXModel* m = Model(f);
        bool same = m && m->meshes.count == first->meshes.count;
        for (int k = 0; same && k < first->meshes.count; ++k)
            same = localVerts(localMesh(m->meshes, k)) == localVerts(localMesh(first->meshes, k));
        if (!same) {
            err("FXAnim: frame %d does not match frame 0 mesh by mesh; no morphing\n", f);
            return;
        }
    }
    posSplines.Realloc(total);
    normSplines.Realloc(total);
    for (int k = 0; k < first->meshes.count; ++k) {
        const int verts = localVerts(localMesh(first->meshes, k));
        for (int v = 0; v < verts; ++v)
            for (int s = 0; s < 2; ++s) {
                FXBezierSpline* sp = new FXBezierSpline;
                sp->tension = tension;
                sp->points.Realloc(3 * n);
                sp->points.count = 0;
                for (int f = 0; f < n; ++f) {
                    const float* r = localMesh(Model(f)->meshes, k)->vertices[v].f + (s ? FX_VTX_NORMAL : FX_VTX_POS);
                    for (int c = 0; c < 3; ++c) sp->points.data[sp->points.count++] = r[c];
                }
                sp->Precompute();
                sp->PrecomputePhasesLinear();
                (s ? normSplines : posSplines).Push(sp);
            }
    }
    UpdateIFrame();
}

// Selects from -> to on every spline: a pair the wrong way round runs
// backwards, except the closing segment from the last frame to the first.
void FXAnim::SelectSegment(int from, int to) {
    const int n = FrameCount();
    if (from > to && !(to == 0 && from == n - 1)) {
        std::swap(from, to);
        reversedSegment = !reversedSegment;
    }
    if (from == to) {
        // Nothing to run between: the pose is that frame's own.
        restFrame_ = from;
        return;
    }
    restFrame_ = -1;
    for (FXArray* list : {&posSplines, &normSplines})
        for (int i = 0; i < list->count; ++i) {
            FXBezierSpline* sp = static_cast<FXBezierSpline*>(list->data[i]);
            sp->closed = !bounce;
            sp->straightLines = straightLines;
            sp->SetActPoints(from, to);
        }
}

void FXAnim::UpdateIFrame() {
    const int n = FrameCount();
    if (n <= 0 || imodel.meshes.count <= 0) return;
    const int c = std::max(0, std::min(actFrame, n - 1));
    reversedSegment = reverse;
    int from, to;
    if (reverse) {
        from = c - 1;
        to = c;
        if (from < 0) from = !loop ? c : !bounce ? n - 1 : (n < 2 ? n - 1 : 1);
    } else {
        from = c;
        to = c + 1;
        if (to >= n) to = !loop ? c : bounce ? std::max(0, n - 2) : 0;
    }
    if (from == to) playing = false;
    SelectSegment(from, to);
}

void FXAnim::PoseFrame(int frame) {
    FXModel* src = Model(frame);
    if (!src || !HasSplines()) return;
    for (int k = 0; k < imodel.meshes.count; ++k) {
        FXMesh* d = localMesh(imodel.meshes, k);
        FXMesh* s = localMesh(src->meshes, k);
        for (int v = 0; v < localVerts(d) && v < localVerts(s); ++v)
            memcpy(d->vertices[v].f, s->vertices[v].f, sizeof(float) * 6);
    }
}

void FXAnim::Pose(float phase) {
    if (!(phase >= 0.0f)) phase = 0.0f;  // NaN too
    if (phase > 1.0f) phase = 1.0f;
    actPhase = phase;
    if (!HasSplines()) return;
    if (restFrame_ >= 0) {
        PoseFrame(restFrame_);
        return;
    }
    FXBezierPhaseH h;
    h.Prepare(reversedSegment ? 1.0f - phase : phase);
    int i = 0;
    for (int k = 0; k < imodel.meshes.count; ++k) {
        FXMesh* m = localMesh(imodel.meshes, k);
        for (int v = 0; v < localVerts(m) && i < posSplines.count; ++v, ++i) {
            static_cast<FXBezierSpline*>(posSplines.data[i])->GetH(m->vertices[v].f + FX_VTX_POS, &h);
            static_cast<FXBezierSpline*>(normSplines.data[i])->GetH(m->vertices[v].f + FX_VTX_NORMAL, &h);
        }
    }
}

void FXAnim::UpdateIPos(double time) {
    if (imodel.meshes.count <= 0) return;
    float phase = playing && frameDuration > 0.0 ? static_cast<float>((time - frameStart) / frameDuration) : actPhase;
    if (phase > 1.0f) phase = 1.0f;
    if (easeInOut) phase = phase >= 0.5f ? 1.0f - 2.0f * (1.0f - phase) * (1.0f - phase) : 2.0f * phase * phase;
    Pose(phase);
}

void FXAnim::SetActPhase(float phase) {
    phaseDriven = true;
    Pose(phase);
}

void FXAnim::SetActFrames(int from, int to) {
    const int n = FrameCount();
    if (n <= 0) return;
    from = std::max(0, std::min(from, n - 1));
    to = std::max(0, std::min(to, n - 1));
    actFrame = from;
    if (imodel.meshes.count <= 0) return;
    reversedSegment = false;
    SelectSegment(from, to);
}

// ---------------------------------------------------------------- editing

void FXAnim::MoveFrame(int target, int source) {
    const int n = FrameCount();
    if (n <= 0) return;
    if (target < 0 || target >= n) target = n - 1;
    if (source < 0 || source >= n) source = n - 1;
    if (target == source) return;
    void* model = models.data[source];
    int ms = durations.GetInt(source);
    std::string name = frameNames.Get(source);
    models.RemovePos(source);
    durations.RemovePos(source);
    frameNames.RemovePos(source);
    models.Insert(target, model);
    durations.Insert(target, nullptr);
    durations.SetInt(target, ms);
    frameNames.Insert(target, name.c_str());
}

bool FXAnim::TestRedirect(int ma, int va, int mb, int vb) const {
    for (int f = 0; f < FrameCount(); ++f) {
        FXModel* m = Model(f);
        FXMesh* a = m ? localMesh(m->meshes, ma) : nullptr;
        FXMesh* b = m ? localMesh(m->meshes, mb) : nullptr;
        if (!a || !b || va < 0 || vb < 0 || va >= localVerts(a) || vb >= localVerts(b)) return false;
        for (int k = 0; k < 9; ++k)
            if (!(a->vertices[va].f[k] == b->vertices[vb].f[k])) return false;
    }
    return true;
}

void FXAnim::PrepareForShow() {
    if (FrameCount() > 0) {
        UnitizeStretch1(0);
        Normalize(-1, false);
        ComputeFrontTexCoords(0, -1);
        ResizeTextCoords1();
    }
    loop = false;
    UpdateInterpolation(true, false);
    StartAnim(0.0);
    playing = false;
}
