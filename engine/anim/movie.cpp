#include "anim/movie.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "base/file.h"
#include "base/other.h"
#include "base/paths.h"
#include "base/trace.h"
#include "image/devil.h"
#include "image/picthead.h"
#include "image/pixmap.h"
#include "package/package.h"
#include "render/material.h"

namespace {

const char* const kMagic[3] = {"xs01", "xs02", "xs03"};
// The largest frame duration a record may carry, and the longest a frame
// wait may block the render thread.
const double kMaxFrameDuration = 1.0;
// Pool sizes beyond this only waste textures.
const int kMaxPool = 64;
// Movie files are small: names and edges. Anything larger is not one.
const long kMaxMovieFile = 64L << 20;

// The record number in a name, as "%d" reads it; false for anything else.
bool localParseId(const char* s, int* out) {
    if (!s) return false;
    while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\r') ++s;
    const char* d = s;
    if (*d == '+' || *d == '-') ++d;
    if (*d < '0' || *d > '9') return false;
    errno = 0;
    char* end = nullptr;
    long v = strtol(s, &end, 10);
    if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
    *out = static_cast<int>(v);
    return true;
}

// A count read from a record, with at least minItem bytes per item; -1 when
// the bytes left cannot hold it.
int localCount(FXPackageData* d, int minItem) {
    if (d->remaining < 4) return -1;
    int n = d->ReadInt();
    if (n < 0 || static_cast<int64_t>(n) * minItem > d->remaining) return -1;
    return n;
}

bool localReadStrings(FXPackageData* d, FXStrArray* out) {
    out->RemoveAll();
    int n = localCount(d, 4);
    if (n < 0) return false;
    out->Realloc(n);
    std::string s;
    for (int i = 0; i < n; ++i) {
        int len = d->ReadInt();
        if (len < 0 || len > d->remaining) return false;
        const char* p = static_cast<const char*>(d->ReadBlc(len));
        // Names longer than a path holds are cut as the engine's strings cut them.
        s.assign(p ? p : "", static_cast<size_t>(len < FXStr::kMaxLen ? len : FXStr::kMaxLen));
        out->Push(s.c_str());
    }
    return true;
}

// Little-endian writer of the stored form.
class LocalWriter {
public:
    std::vector<uint8_t> bytes;
    void Raw(const void* p, size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
    }
    void Int(int32_t v) {
        uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(uint32_t(v) >> 24)};
        Raw(b, 4);
    }
    void Float(float f) {
        uint32_t u;
        memcpy(&u, &f, 4);
        Int(static_cast<int32_t>(u));
    }
    void Double(double v) {
        uint64_t u;
        memcpy(&u, &v, 8);
        Int(static_cast<int32_t>(u & 0xffffffffu));
        Int(static_cast<int32_t>(u >> 32));
    }
    void Bool(bool v) { bytes.push_back(v ? 1 : 0); }
    void Str(const char* s) {
        size_t n = s ? strlen(s) : 0;
        Int(static_cast<int32_t>(n));
        Raw(s, n);
    }
};

// The encoded type of in-memory bytes: the package's record type, or the
// file name's extension; JPEG, as stored movies hold, when neither tells.
int localTypeOf(FXPackage* pck, const char* name) {
    int t = -1, id = 0;
    if (pck) {
        if (localParseId(name, &id)) t = pck->GetDataType(id);
    } else {
        t = fxPackageTypeFromPath(name);
    }
    return t == -1 ? static_cast<int>(FX_IL_JPG) : t;
}

// The mask's grey (its blue channel) becomes the picture's alpha. Masks of
// another size are refused: a cropped frame and its mask are one area.
bool localApplyMask(FXCanvas* pict, FXCanvas* mask) {
    FXPixmap& p = pict->pixmap;
    FXPixmap& m = mask->pixmap;
    if (!p.pixels || !m.pixels || p.usedWidth != m.usedWidth || p.usedHeight != m.usedHeight) {
        err("movie: a mask of %d x %d does not fit its frame of %d x %d\n", m.usedWidth, m.usedHeight, p.usedWidth,
            p.usedHeight);
        return false;
    }
    uint32_t all = 0xFF000000u;
    for (int y = 0; y < p.usedHeight; ++y) {
        uint32_t* d = p.Row(y);
        const uint32_t* s = m.Row(y);
        for (int x = 0; x < p.usedWidth; ++x) {
            d[x] = (d[x] & 0x00FFFFFFu) | ((s[x] << 8) & 0xFF000000u);
            all &= d[x];
        }
    }
    pict->opaque = all == 0xFF000000u;
    return true;
}

void localPlainCanvas(FXCanvas* c, bool pow2) {
    c->detectTransparency = false;
    c->transparencyPicture = false;
    c->clearBeforeLoad = true;
    c->clearColor[0] = c->clearColor[1] = c->clearColor[2] = c->clearColor[3] = 0.0f;
    c->pixmap.pow2 = pow2;
}

}  // namespace

SMovie::SMovie()
    : maskMode(false),
      playing(true),
      loop(true),
      bounce(true),
      needsCreating(true),
      poolSize(kDefaultPool),
      direction(1),
      lastPrepared(-1),
      ended(false),
      frameDuration(0.0),
      lastChange(0.0),
      inMemory(false),
      edgesOn(false),
      largestWidth(0),
      largestHeight(0),
      waitExact(false),
      converted(false),
      keyFramesOn(false),
      anims{nullptr, nullptr},
      keyStart(-1),
      keyEnd(-1),
      package(nullptr),
      layeredCols(false),
      resize(false),
      resizeX(1.0f),
      resizeY(1.0f),
      alpha(1.0f),
      lastWait(0.0) {}

SMovie::~SMovie() { Destroy(); }

void SMovie::ReleaseBytes() {
    // Bytes of a package belong to its records.
    if (!package) {
        for (int i = 0; i < frameBytes.count; ++i) delete[] static_cast<uint8_t*>(frameBytes.data[i]);
        for (int i = 0; i < maskBytes.count; ++i) delete[] static_cast<uint8_t*>(maskBytes.data[i]);
    }
    frameBytes.DestroyBuf();
    frameSizes.DestroyBuf();
    maskBytes.DestroyBuf();
    maskSizes.DestroyBuf();
}

void SMovie::Destroy() {
    desk.mesh.material = nullptr;  // OnRender1 draws with the material it finds
    for (int i = 0; i < prepared.count; ++i) delete static_cast<FXMaterial*>(prepared.data[i]);
    for (int i = 0; i < freeMats.count; ++i) delete static_cast<FXMaterial*>(freeMats.data[i]);
    prepared.DestroyBuf();
    preparedFrames.DestroyBuf();
    freeMats.DestroyBuf();
    ReleaseBytes();
    frameNames.DestroyBuf();
    maskNames.DestroyBuf();
    cropRects.DestroyBuf();
    edges.DestroyBuf();
    keyFrames.DestroyBuf();
    staging.Destroy();
    desk.Destroy();
    needsCreating = true;
    direction = 1;
    lastPrepared = -1;
    ended = false;
    maskMode = false;
    inMemory = false;
    edgesOn = false;
    largestWidth = largestHeight = 0;
    converted = false;
    anims[0] = anims[1] = nullptr;
    keyStart = keyEnd = -1;
    package = nullptr;
}

// ---------------------------------------------------------------- loading

bool SMovie::ParseRecord(FXPackageData* d) {
    int version = -1;
    int mlen = d->ReadInt();
    const char* m = mlen == 4 ? static_cast<const char*>(d->ReadBlc(4)) : nullptr;
    for (int v = 0; m && v < 3; ++v)
        if (memcmp(m, kMagic[v], 4) == 0) version = v;
    if (version < 0) {
        err("movie: not a movie record (unknown magic)\n");
        return false;
    }
    if (version >= 1) {
        if (d->remaining < 10) return false;
        loop = d->ReadBool();
        bounce = d->ReadBool();
        double fd = d->ReadDouble();
        if (std::isfinite(fd) && fd >= 0.0 && fd <= kMaxFrameDuration) {
            frameDuration = fd;
        } else {
            err("movie: frame duration %g s out of 0..1 s: %g s used\n", fd, kDefaultFrameDuration);
            frameDuration = kDefaultFrameDuration;
        }
    }
    if (d->remaining < 8) return false;
    largestWidth = d->ReadInt();
    largestHeight = d->ReadInt();
    // Only a hint for the texture, but a size no picture can have is damage.
    if (!fxPictSizeAllowed(largestWidth, largestHeight) && (largestWidth || largestHeight)) {
        err("movie: largest frame of %d x %d pixels: taken as unknown\n", largestWidth, largestHeight);
        largestWidth = largestHeight = 0;
    }
    int ne = localCount(d, 4);
    if (ne < 0) {
        err("movie: the edge list claims more than the record holds\n");
        return false;
    }
    edges.Realloc(ne);
    for (int i = 0; i < ne; ++i) edges.Push(d->ReadFloat());
    if (!localReadStrings(d, &frameNames) || !localReadStrings(d, &maskNames)) {
        err("movie: a name list claims more than the record holds\n");
        return false;
    }
    if (version >= 2) {
        if (d->remaining < 1) return false;
        keyFramesOn = d->ReadBool();
        if (keyFramesOn) {
            int nk = localCount(d, 4);
            if (nk < 0) {
                err("movie: the key-frame list claims more than the record holds\n");
                return false;
            }
            keyFrames.Realloc(nk);
            for (int i = 0; i < nk; ++i) keyFrames.PushInt(d->ReadInt());
        }
    }
    int n = frameNames.count;
    if (n < 1) {
        err("movie: no frames\n");
        return false;
    }
    if (maskNames.count < n) {
        err("movie: %d mask(s) for %d frames\n", maskNames.count, n);
        return false;
    }
    edgesOn = edges.count >= 4 * n;
    for (int i = 0; edgesOn && i < 4 * n; ++i) edgesOn = std::isfinite(edges.data[i]) && fabsf(edges.data[i]) < 1e6f;
    if (!edgesOn) err("movie: edges missing or damaged: the quad fills the square\n");
    maskMode = true;
    converted = true;
    return true;
}

bool SMovie::LoadFromData(FXPackageData* rec) {
    // A damaged record changes none of the settings a load keeps.
    const bool oldLoop = loop, oldBounce = bounce, oldKeys = keyFramesOn;
    const double oldDuration = frameDuration;
    if (rec && ParseRecord(rec)) return true;
    FXPackage* keep = package;
    Destroy();
    package = keep;
    loop = oldLoop;
    bounce = oldBounce;
    keyFramesOn = oldKeys;
    frameDuration = oldDuration;
    return false;
}

bool SMovie::Load(const char* path) {
    Destroy();
    if (!path || !*path) return false;
    char native[FX_MAX_PATH];
    fxNativePath(path, native, sizeof native);
    FILE* f = fopen(native, "rb");
    if (!f) return false;
    std::vector<uint8_t> bytes;
    fxReadRest(f, &bytes, static_cast<size_t>(kMaxMovieFile));
    fclose(f);
    FXPackageData d;
    d.InitData(bytes.data(), static_cast<int>(bytes.size()));
    if (!LoadFromData(&d)) return false;
    // Names are stored relative to the folder the movie was saved from.
    FXStr act(fxGetActPath());
    FXStrArray* lists[2] = {&frameNames, &maskNames};
    for (FXStrArray* a : lists)
        for (int i = 0; i < a->count; ++i) {
            const char* s = a->Get(i);
            if (*s && !fxIsSep(*s)) a->Change(i, FXStr(fxCombinePaths(act, s)));
        }
    return true;
}

bool SMovie::LoadCN(FXPackage* pck, int id) {
    Destroy();
    package = pck;
    FXPackageData* rec = pck ? pck->GetDataPtr(id) : nullptr;
    if (!rec) return false;
    FXPackageData d;
    d.InitData(rec->start, rec->size);
    return fxLoadNamingDamage("movie", id, false, [&] { return LoadFromData(&d); });
}

bool SMovie::LoadC(FXPackage* pck, const char* key) {
    int id = 0;
    if (!localParseId(key, &id)) {
        Destroy();
        return false;
    }
    return LoadCN(pck, id);
}

bool SMovie::LoadC(FXPackage* pck, FXPackageData* rec) {
    Destroy();
    package = pck;
    return LoadFromData(rec);
}

uint8_t* SMovie::PrepareMem(const char* name, int* size) {
    if (size) *size = 0;
    if (!name || !*name) return nullptr;
    if (package) {
        int id = 0;
        FXPackageData* rec = localParseId(name, &id) ? package->GetDataPtr(id) : nullptr;
        if (!rec || !rec->start || rec->size <= 0) return nullptr;
        if (size) *size = rec->size;
        return rec->start;
    }
    char native[FX_MAX_PATH];
    fxNativePath(name, native, sizeof native);
    FILE* f = fopen(native, "rb");
    if (!f) return nullptr;
    long n = fxBytesLeft(f);
    uint8_t* buf = nullptr;
    if (n > 0 && n <= INT32_MAX) {
        buf = new (std::nothrow) uint8_t[static_cast<size_t>(n)];
        if (buf && fread(buf, 1, static_cast<size_t>(n), f) != static_cast<size_t>(n)) {
            delete[] buf;
            buf = nullptr;
        }
    }
    fclose(f);
    if (buf && size) *size = static_cast<int>(n);
    return buf;
}

bool SMovie::LoadIntoMem() {
    ReleaseBytes();
    bool all = true;
    for (int i = 0; i < frameNames.count; ++i) {
        int n = 0;
        frameBytes.Push(PrepareMem(frameNames.Get(i), &n));
        frameSizes.PushInt(n);
        all = all && n > 0;
    }
    for (int i = 0; i < maskNames.count; ++i) {
        int n = 0;
        maskBytes.Push(PrepareMem(maskNames.Get(i), &n));
        maskSizes.PushInt(n);
        all = all && n > 0;
    }
    inMemory = true;
    return all;
}

// ---------------------------------------------------------------- storing

bool SMovie::SaveToBuf(FXMemory* out) const {
    if (!out) return false;
    LocalWriter w;
    w.Str(kMagic[2]);
    w.Bool(loop);
    w.Bool(bounce);
    w.Double(frameDuration);
    w.Int(largestWidth);
    w.Int(largestHeight);
    w.Int(edges.count);
    for (int i = 0; i < edges.count; ++i) w.Float(edges.data[i]);
    const FXStrArray* lists[2] = {&frameNames, &maskNames};
    for (const FXStrArray* a : lists) {
        w.Int(a->count);
        for (int i = 0; i < a->count; ++i) w.Str(a->Get(i));
    }
    w.Bool(keyFramesOn);
    if (keyFramesOn) {
        w.Int(keyFrames.count);
        for (int i = 0; i < keyFrames.count; ++i) w.Int(keyFrames.GetInt(i));
    }
    if (w.bytes.size() > INT32_MAX) return false;
    out->DestroyBuf();
    out->itemSize = 1;
    out->Realloc(static_cast<int>(w.bytes.size()));
    memcpy(out->data, w.bytes.data(), w.bytes.size());
    out->count = static_cast<int>(w.bytes.size());
    return true;
}

bool SMovie::Save(const char* path) {
    if (!path || !*path) return false;
    if (!converted && !Convert(nullptr)) return false;
    // Names relative to the current folder, as Load takes them.
    FXStr act(fxGetActPath());
    FXStrArray keep[2];
    FXStrArray* lists[2] = {&frameNames, &maskNames};
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < lists[k]->count; ++i) {
            keep[k].Push(lists[k]->Get(i));
            const char* s = lists[k]->Get(i);
            if (*s) lists[k]->Change(i, FXStr(fxBuildRelativePath(act, false, s, true)));
        }
    FXMemory buf;
    bool ok = SaveToBuf(&buf);
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < lists[k]->count; ++i) lists[k]->Change(i, keep[k].Get(i));
    ok = ok && fxReplaceFile(path, [&](FILE* f) {
        return fwrite(buf.data, 1, static_cast<size_t>(buf.count), f) == static_cast<size_t>(buf.count);
    });
    if (!ok) err("movie: cannot write %s\n", path);
    return ok;
}

bool SMovie::Compile(FXPackage* pck) {
    if (!pck) return false;
    bool ok = true;
    FXStrArray* lists[2] = {&frameNames, &maskNames};
    for (FXStrArray* a : lists)
        for (int i = 0; i < a->count && i < frameNames.count; ++i) {
            FXStr s(a->Get(i));
            if (pck->AddDataFile1(&s) < 0) ok = false;
            a->Change(i, s);
        }
    return ok;
}

void SMovie::PrepareNameArray(const char* folder, FXStrArray* names) {
    if (!names) return;
    for (int i = 0; i < names->count; ++i) names->Change(i, FXStr(fxCombinePaths(folder, names->Get(i))));
}

// ---------------------------------------------------------------- playing

void SMovie::Prepare(int limit) {
    const int n = frameNames.count;
    if (ended || n < 1) return;
    if (needsCreating) {
        needsCreating = false;
        desk.Create(1, 1);
        int pool = poolSize < 1 ? 1 : poolSize > kMaxPool ? kMaxPool : poolSize;
        for (int i = 0; i < pool; ++i) {
            FXMaterial* m = new FXMaterial;
            m->SetDefDiffuse(1.0f);
            m->ownCanvas.detectTransparency = false;
            freeMats.Push(m);
        }
    } else if (freeMats.IsEmpty()) {
        return;
    }
    int done = 0;
    while (!freeMats.IsEmpty() && (limit < 0 || done < limit)) {
        FXMaterial* m = static_cast<FXMaterial*>(freeMats.First());
        int f = lastPrepared;
        if (direction >= 0) {
            if (++f >= n) {
                if (!loop) f = n - 1, ended = true;
                else if (bounce) f = n - 1, direction = -1;
                else f = 0;
            }
        } else {
            if (--f < 0) {
                if (!loop) f = 0, ended = true;
                else if (bounce) f = 0, direction = 1;
                else f = n - 1;
            }
        }
        if (f >= n) f = n - 1;  // the frame list may have been edited since
        if (f < 0) f = 0;
        lastPrepared = f;
        if (inMemory) PrepareTextureMem(f, m);
        else if (maskMode) PrepareTexture(frameNames.Get(f), f < maskNames.count ? maskNames.Get(f) : "", m);
        else DecodeInto(false, f, frameNames.Get(f), nullptr, m);
        freeMats.RemovePos(0);
        prepared.Push(m);
        preparedFrames.PushInt(f);
        ++done;
    }
}

void SMovie::EmptyPrepared() {
    for (int i = 0; i < prepared.count; ++i) freeMats.Push(prepared.data[i]);
    prepared.RemoveAll();
    preparedFrames.RemoveAll();
}

void SMovie::Restart(double t) {
    lastChange = t;
    ended = false;
    lastPrepared = -1;
    direction = 1;
    playing = true;
}

void SMovie::RestartBack(double t) {
    lastChange = t;
    ended = false;
    lastPrepared = frameNames.count;
    direction = -1;
    playing = true;
}

void SMovie::Continue(double t) {
    lastChange = t;
    ended = false;
    playing = true;
}

void SMovie::PlayOnce(double t) {
    loop = false;
    EmptyPrepared();
    Restart(t);
}

bool SMovie::IsFinished() const { return (ended || frameNames.count < 1) && prepared.count < 2; }

void SMovie::PlaceQuad() {
    if (prepared.count < 1) return;
    int f = preparedFrames.GetInt(0);
    if (edgesOn && f >= 0 && 4 * f + 3 < edges.count) {
        const float* e = edges.data + 4 * f;
        desk.SetVertexPos(1, e[0], e[1]);
        desk.SetVertexPos(2, e[2], e[1]);
        desk.SetVertexPos(3, e[2], e[3]);
        desk.SetVertexPos(4, e[0], e[3]);
    }
    if (keyFramesOn) PrepareStartEnd(f);
}

void SMovie::OnRender0(PEnv*, double) {
    if (frameNames.count < 1 || prepared.count < 1) return;
    desk.SetMaterial(static_cast<FXMaterial*>(prepared.First()));
    PlaceQuad();
    for (int i = 0; i < desk.mesh.vertexCount && desk.mesh.vertices; ++i)
        desk.mesh.vertices[i].f[FX_VTX_COLOR + 3] = alpha;
}

void SMovie::Advance() {
    lastWait = 0.0;
    if (!playing) return;
    double now = fxGetTime();
    bool due = now - lastChange > frameDuration;
    // One wait, computed once and bounded, and none under a clock that only
    // moves when told to: it would never come.
    if (waitExact && !due && fxSystemClockActive()) {
        double bound = frameDuration < kMaxFrameDuration ? frameDuration : kMaxFrameDuration;
        double wait = lastChange + frameDuration - now;
        if (wait > bound) wait = bound;
        if (wait > 0.0) {
            fxSleep(wait);
            lastWait = wait;
            now = fxGetTime();
            due = true;
        }
    }
    if (due && prepared.count > 1) {
        lastChange = now;
        freeMats.Push(prepared.First());
        prepared.RemovePos(0);
        preparedFrames.RemovePos(0);
    }
}

void SMovie::OnRender(PEnv* env, double t) {
    if (frameNames.count < 1 || prepared.count < 1) return;
    OnRender0(env, t);
    desk.OnRender(env, t);
    Advance();
}

void SMovie::OnRender1(PEnv* env, double t) {
    if (frameNames.count < 1 || prepared.count < 1) return;
    desk.OnRender(env, t);
    Advance();
}

// ---------------------------------------------------------------- decoding

bool SMovie::DecodeInto(bool fromMemory, int frame, const char* pict, const char* mask, FXMaterial* m) {
    if (!m) return false;
    bool pow2 = !(fxglobalEnv && fxglobalEnv->npotTextures);
    localPlainCanvas(&staging, pow2);
    bool ok;
    if (fromMemory) {
        if (frame < 0 || frame >= frameBytes.count || frame >= frameSizes.count) return false;
        auto* b = static_cast<unsigned char*>(frameBytes.data[frame]);
        int n = frameSizes.GetInt(frame);
        ok = b && n > 0 && staging.CreateFromBufType(localTypeOf(package, frameNames.Get(frame)), b, n);
    } else {
        ok = pict && *pict && staging.CreateFromPict(pict);
    }
    if (!ok) return false;
    if (maskMode) {
        // The mask's grey goes straight into the picture's alpha; a mask of
        // another size is refused (a cropped frame and its mask are one area).
        if (fromMemory) {
            if (frame >= maskBytes.count || frame >= maskSizes.count) return false;
            auto* b = static_cast<unsigned char*>(maskBytes.data[frame]);
            int n = maskSizes.GetInt(frame);
            ok = b && n > 0 && staging.LoadFrameMaskBufType(localTypeOf(package, maskNames.Get(frame)), b, n);
        } else {
            ok = mask && *mask && staging.LoadFrameMask(mask);
        }
        if (!ok) return false;
    }
    if (!fxglobalEnv || !fxglobalEnv->FastPrepareTexture(m, &staging.pixmap)) return false;
    m->textureOpaque = staging.opaque;
    return true;
}

bool SMovie::PrepareTexture(const char* pict, const char* mask, FXMaterial* m) {
    double t0 = fxGetTime();
    bool ok = DecodeInto(false, -1, pict, mask, m);
    trc("PrepareTexture: %g\n", fxGetTime() - t0);
    return ok;
}

bool SMovie::PrepareTextureMem(int frame, FXMaterial* m) { return DecodeInto(true, frame, nullptr, nullptr, m); }

void SMovie::PrepareStartEnd(int frame) {
    if (!anims[0] || keyFrames.count < 1) return;
    if (frame < keyStart || frame > keyEnd) {
        keyStart = 0;
        keyEnd = frameNames.count - 1;
        int a = -1, b = -1;
        for (int i = 0; i < keyFrames.count; ++i) {
            int k = keyFrames.GetInt(i);
            if (k <= frame) {
                keyStart = k;
                a = i;
            } else {
                keyEnd = k;
                b = i;
                break;
            }
        }
        if (b < 0) b = a;
        if (a < 0) a = b;
        if (keyEnd == -1) keyEnd = keyStart;
        for (PMovieLink* l : anims)
            if (l) l->SetActFrames(a, b);
    }
    float phase;
    if (keyEnd == keyStart) phase = direction == -1 ? 1.0f : 0.0f;
    else phase = static_cast<float>(frame - keyStart) / static_cast<float>(keyEnd - keyStart);
    for (PMovieLink* l : anims)
        if (l) l->SetActPhase(phase);
}

// ---------------------------------------------------------------- editing

void SMovie::MovePos(int pos, int dir) {
    if (dir == 0) return;
    int other = dir > 0 ? pos + 1 : pos - 1;
    FXArray* arrays[4] = {&frameBytes, &frameSizes, &maskBytes, &maskSizes};
    frameNames.MovePos(pos, dir);
    maskNames.MovePos(pos, dir);
    for (FXArray* a : arrays) a->MovePos(pos, dir);
    if (pos >= 0 && other >= 0 && 4 * pos + 3 < edges.count && 4 * other + 3 < edges.count)
        for (int k = 0; k < 4; ++k) std::swap(edges.data[4 * pos + k], edges.data[4 * other + k]);
    if (pos >= 0 && other >= 0 && 4 * pos + 3 < cropRects.count && 4 * other + 3 < cropRects.count)
        for (int k = 0; k < 4; ++k) std::swap(cropRects.data[4 * pos + k], cropRects.data[4 * other + k]);
}

void SMovie::DeletePos(int pos) {
    if (pos < 0) return;
    if (!package) {
        if (pos < frameBytes.count) delete[] static_cast<uint8_t*>(frameBytes.data[pos]);
        if (pos < maskBytes.count) delete[] static_cast<uint8_t*>(maskBytes.data[pos]);
    }
    frameNames.RemovePos(pos);
    maskNames.RemovePos(pos);
    FXArray* arrays[4] = {&frameBytes, &frameSizes, &maskBytes, &maskSizes};
    for (FXArray* a : arrays)
        if (pos < a->count) a->RemovePos(pos);
    if (4 * pos + 3 < edges.count)
        for (int k = 0; k < 4; ++k) edges.RemovePos(4 * pos);
    if (4 * pos + 3 < cropRects.count)
        for (int k = 0; k < 4; ++k) cropRects.RemovePos(4 * pos);
}

bool SMovie::LoadFrameCanvas(int frame, FXCanvas* c) {
    localPlainCanvas(c, false);
    const char* name = frameNames.Get(frame);
    bool ok;
    if (package) ok = c->CreateFromPictC(package, name);
    else if (resize) ok = c->CreateFromPictResize(name, resizeX, resizeY);
    else ok = c->CreateFromPict(name);
    return ok && c->pixmap.usedWidth > 0 && c->pixmap.usedHeight > 0;
}

bool SMovie::PreloadSize(int frame, int* w, int* h) {
    if (w) *w = 0;
    if (h) *h = 0;
    if (frame < 0 || frame >= frameNames.count) return false;
    FXCanvas c;
    if (!LoadFrameCanvas(frame, &c)) return false;
    if (w) *w = c.pixmap.usedWidth;
    if (h) *h = c.pixmap.usedHeight;
    return true;
}

void SMovie::ComputeEdges(FXPixmap* p, int* x0, int* y0, int* x1, int* y1) {
    int W = p && p->pixels ? p->usedWidth : 0, H = p && p->pixels ? p->usedHeight : 0;
    int l = W, r = -1, t = H, b = -1;
    for (int y = 0; y < H; ++y) {
        const uint32_t* row = p->Row(y);
        for (int x = 0; x < W; ++x)
            if (row[x] >> 24) {
                if (x < l) l = x;
                if (x > r) r = x;
                if (y < t) t = y;
                b = y;
            }
    }
    if (x0) *x0 = l;
    if (y0) *y0 = t;
    if (x1) *x1 = r;
    if (y1) *y1 = b;
}

bool SMovie::Convert(const char* folder) {
    const int n = frameNames.count;
    if (n < 1) return false;
    inMemory = false;
    ReleaseBytes();
    FXStrArray names, masks;
    FXArray crops;
    FXFloatArray edg;
    int lw = 0, lh = 0;
    FXCanvas c, m;
    for (int i = 0; i < n; ++i) {
        if (!LoadFrameCanvas(i, &c)) {
            err("movie: frame %d (%s) does not load\n", i, frameNames.Get(i));
            return false;
        }
        // A full-size mask given with the frame becomes its alpha.
        const char* mask = i < maskNames.count ? maskNames.Get(i) : "";
        if (maskMode && *mask) {
            localPlainCanvas(&m, false);
            bool loaded = package ? m.CreateFromPictC(package, mask) : m.CreateFromPict(mask);
            if (!loaded || !localApplyMask(&c, &m)) {
                err("movie: mask %d (%s) does not load or fit\n", i, mask);
                return false;
            }
        }
        int x0, y0, x1, y1;
        ComputeEdges(&c.pixmap, &x0, &y0, &x1, &y1);
        if (x1 < x0 || y1 < y0) x0 = y0 = x1 = y1 = 0;  // nothing visible: one transparent pixel
        const float W = c.GetWidthF(), H = c.GetHeightF();
        crops.PushInt(x0);
        crops.PushInt(y0);
        crops.PushInt(x1);
        crops.PushInt(y1);
        if (x1 - x0 + 1 > lw) lw = x1 - x0 + 1;
        if (y1 - y0 + 1 > lh) lh = y1 - y0 + 1;
        // The edges bound the crop's pixels, the last column and row included.
        edg.Push(2.0f * x0 / W - 1.0f);
        edg.Push(1.0f - 2.0f * y0 / H);
        edg.Push(2.0f * (x1 + 1) / W - 1.0f);
        edg.Push(1.0f - 2.0f * (y1 + 1) / H);
        if (layeredCols) c.ConvertColsToLayered();
        // The frame number keeps frames of one name from different folders apart.
        char suffix[16];
        snprintf(suffix, sizeof suffix, "_%04d", i);
        FXStr base(fxChangeExt(fxGetFilename(frameNames.Get(i)), "jpg"));
        base.Set(fxAppenfFname(base, suffix));
        FXStr pict(folder && *folder ? fxCombinePaths(folder, base) : base.text);
        FXStr mpath(fxAppenfFname(pict, "_m"));
        if (!c.SaveToPict1(pict, x0, y0, x1 + 1, y1 + 1) || !c.SaveToMask1(mpath, x0, y0, x1 + 1, y1 + 1)) {
            err("movie: cannot write frame %d as %s\n", i, pict.text);
            return false;
        }
        names.Push(pict);
        masks.Push(mpath);
    }
    frameNames.RemoveAll();
    maskNames.RemoveAll();
    cropRects.RemoveAll();
    edges.RemoveAll();
    for (int i = 0; i < n; ++i) {
        frameNames.Push(names.Get(i));
        maskNames.Push(masks.Get(i));
    }
    for (int i = 0; i < crops.count; ++i) cropRects.PushInt(crops.GetInt(i));
    for (int i = 0; i < edg.count; ++i) edges.Push(edg.data[i]);
    largestWidth = lw;
    largestHeight = lh;
    edgesOn = true;
    maskMode = true;
    converted = true;
    return true;
}
