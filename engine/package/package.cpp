#include "package/package.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/file.h"
#include "base/paths.h"
#include "base/trace.h"

// ---------------------------------------------------------------- helpers

static inline uint32_t localGet32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

static inline void localPut32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

static inline float localGetFloat(const uint8_t* p) {
    uint32_t b = localGet32(p);
    float f;
    memcpy(&f, &b, 4);
    return f;
}

// Items a list will hold: the stored count when the bytes can hold it,
// otherwise what is there plus a bounded zero-filled tail.
static int localListCount(int32_t m, int32_t remaining, int itemBytes) {
    if (m <= 0) return 0;
    int64_t fit = remaining / itemBytes;
    if (m <= fit) return m;
    return static_cast<int>(std::min<int64_t>(m, fit + FX_PCK_MAX_ZERO_FILL));
}

static FILE* localOpen(const char* path, const char* mode) {
    if (!path || !*path) return nullptr;
    char native[FXStr::kSize];
    fxNativePath(path, native, sizeof native);
    return fopen(native, mode);
}

int fxPackageTypeFromExt(const char* ext) {
    static const struct {
        const char* ext;
        int type;
    } kTypes[] = {{"bmp", FX_PCK_TYPE_BMP},
                  {"jpg", FX_PCK_TYPE_JPG},
                  {"png", FX_PCK_TYPE_PNG},
                  {"tga", FX_PCK_TYPE_TGA},
                  {"gif", FX_PCK_TYPE_GIF}};
    if (!ext) return FX_PCK_TYPE_NONE;
    for (const auto& t : kTypes) {
        int i = 0;
        while (t.ext[i] && tolower(static_cast<unsigned char>(ext[i])) == t.ext[i]) ++i;
        if (!t.ext[i] && !ext[i]) return t.type;
    }
    return FX_PCK_TYPE_NONE;
}

int fxPackageTypeFromPath(const char* path) {
    const char* dot = path ? strrchr(path, '.') : nullptr;
    return dot ? fxPackageTypeFromExt(dot + 1) : FX_PCK_TYPE_NONE;
}

const char* fxPackageExtFromType(int type) {
    switch (type) {
    case FX_PCK_TYPE_BMP: return "bmp";
    case FX_PCK_TYPE_JPG: return "jpg";
    case FX_PCK_TYPE_PNG: return "png";
    case FX_PCK_TYPE_TGA: return "tga";
    case FX_PCK_TYPE_GIF: return "gif";
    default: return nullptr;
    }
}

static inline uint64_t localLoad64(const uint8_t* p) {
    uint64_t v;
    memcpy(&v, p, 8);
    return v;
}

static inline void localStore64(uint8_t* p, uint64_t v) { memcpy(p, &v, 8); }

// Transposes an 8 x 8 byte square held as eight rows (byte c of x[r] is
// column c on a little-endian machine): swap 4 x 4, then 2 x 2, then single
// bytes across the diagonal.
static inline void localTranspose8(uint64_t* x) {
    for (int i = 0; i < 4; ++i) {
        uint64_t t = ((x[i] >> 32) ^ x[i + 4]) & 0x00000000FFFFFFFFull;
        x[i] ^= t << 32;
        x[i + 4] ^= t;
    }
    for (int i : {0, 1, 4, 5}) {
        uint64_t t = ((x[i] >> 16) ^ x[i + 2]) & 0x0000FFFF0000FFFFull;
        x[i] ^= t << 16;
        x[i + 2] ^= t;
    }
    for (int i = 0; i < 8; i += 2) {
        uint64_t t = ((x[i] >> 8) ^ x[i + 1]) & 0x00FF00FF00FF00FFull;
        x[i] ^= t << 8;
        x[i + 1] ^= t;
    }
}

// Exchanges the 8 x 8 block at row r, column c with its mirror, both
// transposed.
static inline void localSwapBlocks(uint8_t* a, int64_t n, int64_t r, int64_t c) {
    uint64_t x[8], y[8];
    for (int i = 0; i < 8; ++i) x[i] = localLoad64(a + (r + i) * n + c);
    localTranspose8(x);
    if (r == c) {
        for (int i = 0; i < 8; ++i) localStore64(a + (r + i) * n + c, x[i]);
        return;
    }
    for (int i = 0; i < 8; ++i) y[i] = localLoad64(a + (c + i) * n + r);
    localTranspose8(y);
    for (int i = 0; i < 8; ++i) {
        localStore64(a + (c + i) * n + r, x[i]);
        localStore64(a + (r + i) * n + c, y[i]);
    }
}

void fxPackageScramble(uint8_t* body, int64_t len) {
    if (!body || len < 4) return;
    int64_t n = static_cast<int64_t>(std::sqrt(static_cast<double>(len)));
    while (n * n > len) --n;
    while ((n + 1) * (n + 1) <= len) ++n;
    int64_t n8 = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Whole 8 x 8 blocks, visited in 64 x 64 tiles so that both the rows and
    // the columns being exchanged stay in cache.
    n8 = n & ~int64_t(7);
    const int64_t kTile = 64;
    for (int64_t bi = 0; bi < n8; bi += kTile) {
        int64_t ei = std::min(bi + kTile, n8);
        for (int64_t bj = bi; bj < n8; bj += kTile) {
            int64_t ej = std::min(bj + kTile, n8);
            for (int64_t r = bi; r < ei; r += 8)
                for (int64_t c = (bj == bi ? r : bj); c < ej; c += 8) localSwapBlocks(body, n, r, c);
        }
    }
#endif
    // The pairs the blocks did not cover: those with a column at or past n8.
    for (int64_t r = 0; r < n; ++r)
        for (int64_t c = std::max(r + 1, n8); c < n; ++c) std::swap(body[r * n + c], body[c * n + r]);
}

void fxPackageNameIdent(const char* name, FXStr* out) {
    out->Set(fxGetFilename(name ? name : ""));
    out->ToUpper();
    static const char kToUnderscore[] = ".\\/ +-()[]";
    for (int i = 0; i < out->len; ++i)
        if (strchr(kToUnderscore, out->text[i])) out->text[i] = '_';
}

// ---------------------------------------------------------------- FXPackageData

void FXPackageData::InitData(void* p, int n) {
    if (!p || n < 0) n = 0;
    start = pos = static_cast<uint8_t*>(p);
    size = remaining = n;
}

void* FXPackageData::ReadBlc(int n) {
    if (n < 0 || remaining < n) return nullptr;
    void* r = pos;
    pos += n;
    remaining -= n;
    return r;
}

void* FXPackageData::ReadCopyBlc(void* dst, int n) {
    if (n < 0 || remaining < n || (!dst && n > 0)) return nullptr;
    void* r = pos;
    if (n > 0) memcpy(dst, pos, static_cast<size_t>(n));
    pos += n;
    remaining -= n;
    return r;
}

// Every writer stores 0 or 1: another byte is damage, named in the log.
bool FXPackageData::ReadBool() {
    if (remaining < 1) return false;
    if (*pos > 1) err("record: a yes-or-no byte of %d (written as 0 or 1), taken as no\n", *pos);
    bool v = *pos == 1;
    ++pos;
    --remaining;
    return v;
}

int FXPackageData::ReadInt() {
    if (remaining < 4) return 0;
    int v = static_cast<int32_t>(localGet32(pos));
    pos += 4;
    remaining -= 4;
    return v;
}

float FXPackageData::ReadFloat() {
    if (remaining < 4) return 0.0f;
    float v = localGetFloat(pos);
    pos += 4;
    remaining -= 4;
    return v;
}

void FXPackageData::ReadFloat4(float* out) {
    if (remaining < 16 || !out) return;
    for (int i = 0; i < 4; ++i) out[i] = localGetFloat(pos + 4 * i);
    pos += 16;
    remaining -= 16;
}

double FXPackageData::ReadDouble() {
    if (remaining < 8) return 0.0;
    uint64_t b = static_cast<uint64_t>(localGet32(pos)) | static_cast<uint64_t>(localGet32(pos + 4)) << 32;
    double v;
    memcpy(&v, &b, 8);
    pos += 8;
    remaining -= 8;
    return v;
}

void FXPackageData::ReadString(FXStr* s) {
    if (!s) return;
    s->Clear();
    if (remaining <= 3) return;
    int n = ReadInt();
    if (n <= 0) return;
    int avail = n < remaining ? n : remaining;
    int take = avail < FXStr::kMaxLen ? avail : static_cast<int>(FXStr::kMaxLen);
    memcpy(s->text, pos, static_cast<size_t>(take));
    s->text[take] = 0;
    s->len = static_cast<int32_t>(strlen(s->text));
    pos += avail;
    remaining -= avail;
}

void FXPackageData::ReadStringArray(FXStrArray* a) {
    if (!a) return;
    a->DestroyBuf();
    if (remaining <= 3) return;
    int m = ReadInt();
    int n = localListCount(m, remaining, 4);
    if (n <= 0) return;
    a->Realloc(n);
    FXStr s;
    for (int i = 0; i < n; ++i) {
        ReadString(&s);
        a->Push(s.text);
    }
}

// A list of 4-byte items: the stored ones are read, the rest of the stated
// count (within the cap of localListCount) stays zero from Realloc.
template <typename Array, typename Put>
void localReadList4(FXPackageData* d, Array* a, Put put) {
    a->DestroyBuf();
    if (d->remaining <= 3) return;
    int m = d->ReadInt();
    int n = localListCount(m, d->remaining, 4);
    if (n <= 0) return;
    a->Realloc(n);
    int have = std::min(n, d->remaining / 4);
    for (int i = 0; i < have; ++i) put(a, i, d->pos + 4 * i);
    d->pos += 4 * have;
    d->remaining -= 4 * have;
    a->count = n;
}

void FXPackageData::ReadArray(FXArray* a) {
    if (!a) return;
    localReadList4(this, a, [](FXArray* x, int i, const uint8_t* p) { x->SetInt(i, static_cast<int32_t>(localGet32(p))); });
}

void FXPackageData::ReadFloatArray(FXFloatArray* a) {
    if (!a) return;
    localReadList4(this, a, [](FXFloatArray* x, int i, const uint8_t* p) { x->data[i] = localGetFloat(p); });
}


bool FXPackageData::WriteBlc(const void* p, int n) {
    if (n < 0 || remaining < n || (!p && n > 0)) return false;
    if (n > 0) memcpy(pos, p, static_cast<size_t>(n));
    pos += n;
    remaining -= n;
    return true;
}

void FXPackageData::WriteBool(bool v) {
    uint8_t b = v ? 1 : 0;
    WriteBlc(&b, 1);
}

void FXPackageData::WriteInt(int v) {
    if (remaining <= 3) return;
    localPut32(pos, static_cast<uint32_t>(v));
    pos += 4;
    remaining -= 4;
}

void FXPackageData::WriteFloat(float v) {
    uint32_t b;
    memcpy(&b, &v, 4);
    WriteInt(static_cast<int32_t>(b));
}

void FXPackageData::WriteFloat4(const float* v) {
    if (!v || remaining < 16) return;
    for (int i = 0; i < 4; ++i) WriteFloat(v[i]);
}

void FXPackageData::WriteDouble(double v) {
    if (remaining < 8) return;
    uint64_t b;
    memcpy(&b, &v, 8);
    WriteInt(static_cast<int32_t>(static_cast<uint32_t>(b)));
    WriteInt(static_cast<int32_t>(static_cast<uint32_t>(b >> 32)));
}

void FXPackageData::WriteString(const char* s) {
    int n = s ? static_cast<int>(strnlen(s, FXStr::kMaxLen)) : 0;
    if (remaining < 4 + n) return;
    WriteInt(n);
    WriteBlc(s, n);
}

void FXPackageData::WriteStringArray(const FXStrArray* a) {
    if (remaining <= 3) return;
    int n = a && a->data && a->count > 0 ? a->count : 0;
    WriteInt(n);
    for (int i = 0; i < n; ++i) WriteString(a->data[i]);
}

void FXPackageData::WriteArray(const FXArray* a) {
    if (remaining <= 3) return;
    int n = a && a->data && a->count > 0 ? a->count : 0;
    WriteInt(n);
    for (int i = 0; i < n; ++i) WriteInt(a->GetInt(i));
}

void FXPackageData::WriteFloatArray(const FXFloatArray* a) {
    if (remaining <= 3) return;
    int n = a && a->data && a->count > 0 ? a->count : 0;
    WriteInt(n);
    for (int i = 0; i < n; ++i) WriteFloat(a->data[i]);
}

// ---------------------------------------------------------------- FXNameServer

int FXNameServer::BuildId(const char* name) {
    int i = names.Findpos(name);
    if (i >= 0) return FindId(name);
    int64_t id = static_cast<int64_t>(base) + names.count;
    if (full || id > INT32_MAX) {
        err("package: no id is left for %s: ids end at %d\n", name ? name : "", INT32_MAX);
        return -1;
    }
    names.Push(name);
    return static_cast<int>(id);
}

int FXNameServer::FindId(const char* name) const {
    int i = names.Findpos(name);
    if (i < 0) return -1;
    // Names loaded beyond the last id never had one.
    int64_t id = static_cast<int64_t>(base) + i;
    return id <= INT32_MAX ? static_cast<int>(id) : -1;
}

void FXNameServer::Destroy() {
    names.DestroyBuf();
    base = 0;
    full = false;
}

// ---------------------------------------------------------------- FXPackage

FXPackage::FXPackage()
    : data(nullptr),
      dataSize(0),
      block(nullptr),
      mapped(),
      readers(nullptr),
      index(nullptr),
      indexCount(0),
      loadInfo(),
      progress(nullptr),
      progressUser(nullptr) {}

FXPackage::~FXPackage() {
    Destroy();
    nameServer.Destroy();
}

void FXPackage::ReleaseReaders() {
    delete[] readers;
    readers = nullptr;
    records.DestroyBuf();
    free(index);
    index = nullptr;
    indexCount = 0;
}

void FXPackage::ReleaseBlock() {
    free(block);
    block = nullptr;
    fxUnmapFile(&mapped);
    data = nullptr;
    dataSize = 0;
}

void FXPackage::Destroy() {
    ReleaseReaders();
    ReleaseBlock();
    ids.DestroyBuf();
    offsets.DestroyBuf();
    sizes.DestroyBuf();
    types.DestroyBuf();
    pendingIds.DestroyBuf();
    pendingFiles.DestroyBuf();
    tmpFiles.DestroyBuf();
}

// The header's text length when buf begins with a package header (-1 when
// not), and whether its flags say scrambled. The header is a string of at
// most 1023 characters ending at a NUL.
static int64_t localHeader(const uint8_t* buf, int64_t n, bool* scrambled) {
    *scrambled = false;
    int64_t hlen = n >= 4 ? static_cast<int32_t>(localGet32(buf)) : -1;
    if (hlen < 5 || hlen > n - 4 || memcmp(buf + 4, "pck01", 5) != 0) return -1;
    for (int64_t i = 5; i < hlen && i < FXStr::kMaxLen && buf[4 + i]; ++i)
        if (buf[4 + i] == 's') *scrambled = true;
    return hlen;
}

bool FXPackage::Load(const char* path) {
    Destroy();
    loadInfo = FXPackageLoadInfo();
    // Mapping costs nothing up front: pages are read as records are used.
    if (!fxMapFile(path, FX_MAP_LAZY, &mapped)) return false;
    loadInfo.opened = true;
    bool scrambled = false;
    int64_t hlen = localHeader(mapped.data, mapped.size, &scrambled);
    // Offsets and sizes are int32: a larger body cannot be addressed.
    if (scrambled && mapped.size - 4 - hlen <= INT32_MAX) {
        // Unscrambling rewrites every byte, which would copy the mapping a
        // page at a time: reading the file whole into fresh memory is faster.
        FXFileMap whole;
        bool read = fxMapFile(path, FX_MAP_READ, &whole, [this](int64_t done, int64_t total) { Report(done, total); });
        fxUnmapFile(&mapped);
        if (!read) return false;
        mapped = whole;
    }
    return LoadOwned(mapped.data, static_cast<size_t>(mapped.size));
}

bool FXPackage::LoadFromMemory(const void* p, size_t n) {
    Destroy();
    loadInfo = FXPackageLoadInfo();
    loadInfo.opened = true;
    if (!p && n > 0) return false;
    block = static_cast<uint8_t*>(malloc(n ? n : 1));
    if (!block) return false;
    if (n) memcpy(block, p, n);
    return LoadOwned(block, n);
}

// Reads one of the four lists and tells how many of its items were really
// stored (not zero-filled).
static int localReadList(FXPackageData* d, FXArray* a, int32_t* count) {
    *count = d->remaining > 3 ? static_cast<int32_t>(localGet32(d->pos)) : 0;
    int32_t before = d->remaining;
    d->ReadArray(a);
    if (*count <= 0 || before <= 3) return 0;
    return std::min<int32_t>(*count, (before - 4) / 4);
}

// Reads the package in buf (the whole file), which the package holds already
// (block or mapped) and releases when it is not a package. Shared by the file
// and memory loads so that both see the same checks.
bool FXPackage::LoadOwned(uint8_t* buf, size_t n) {
    loadInfo.fileSize = static_cast<int64_t>(n);
    bool scrambled = false;
    int64_t hlen = localHeader(buf, static_cast<int64_t>(n), &scrambled);
    if (hlen < 0) {
        ReleaseBlock();
        return false;
    }
    loadInfo.isPackage = true;
    loadInfo.scrambled = scrambled;
    uint8_t* body = buf + 4 + hlen;
    int64_t blen = static_cast<int64_t>(n) - 4 - hlen;
    loadInfo.bodySize = blen;
    if (blen > INT32_MAX) {
        ReleaseBlock();
        return false;
    }
    if (loadInfo.scrambled) fxPackageScramble(body, blen);

    FXPackageData d;
    d.InitData(body, static_cast<int>(blen));
    FXArray* lists[4] = {&ids, &offsets, &sizes, &types};
    for (int i = 0; i < 4; ++i) loadInfo.stored[i] = localReadList(&d, lists[i], &loadInfo.counts[i]);
    // A record is found by its id and read through its offset and size;
    // without one of them it is lost. Its type is only a label: a shorter
    // types list leaves the rest at -1. The four lists stay of one length,
    // so that every record keeps its values when the package is saved again.
    const int32_t* st = loadInfo.stored;
    int32_t r = std::min({st[0], st[1], st[2]});
    int32_t longest = std::max({st[0], st[1], st[2]});
    if (longest > r)
        err("package: the lists hold %d ids, %d offsets and %d sizes; %d record(s) without all three cannot be "
            "read and are left out\n",
            st[0], st[1], st[2], longest - r);
    for (int i = 0; i < 3; ++i) lists[i]->count = r;
    if (st[3] < r) {
        trc("package: the types list holds %d of %d records; the rest have type -1\n", st[3], r);
        types.Realloc(r);
        for (int i = std::max(st[3], 0); i < r; ++i) types.SetInt(i, FX_PCK_TYPE_NONE);
    }
    types.count = r;
    loadInfo.records = r;

    int64_t top = -1;
    for (int i = 0; i < r; ++i) top = std::max<int64_t>(top, ids.GetInt(i));
    // A package holding the largest id leaves none for files added to it.
    nameServer.base = static_cast<int32_t>(std::min<int64_t>(top + 1, INT32_MAX));
    nameServer.full = top == INT32_MAX;

    // The data area stays inside the loaded block: no second copy.
    data = d.pos;
    dataSize = d.remaining;
    RecompClasses();
    loadInfo.damaged = 0;
    // A cut file or a wrong offset loses records silently otherwise: the
    // log names each, so that what the show then misses can be traced.
    for (int i = 0; i < records.count; ++i) {
        if (records.data[i]) continue;
        if (++loadInfo.damaged <= 1024)
            err("package: record %d (offset %d, %d bytes) lies outside the data area of %d bytes: left out\n",
                ids.GetInt(i), offsets.GetInt(i), sizes.GetInt(i), dataSize);
    }
    if (loadInfo.damaged > 1024) err("package: %d records in all lie outside the data area\n", loadInfo.damaged);
    return true;
}

void FXPackage::RecompClasses() {
    ReleaseReaders();
    int n = offsets.count;
    if (n <= 0) return;
    readers = new (std::nothrow) FXPackageData[n];
    if (!readers) return;
    records.Realloc(n);
    for (int i = 0; i < n; ++i) {
        records.data[i] = nullptr;
        if (i >= sizes.count) continue;
        int64_t off = offsets.GetInt(i), len = sizes.GetInt(i);
        if (off < 0 || len < 0 || off + len > dataSize) continue;
        readers[i].InitData(data ? data + off : nullptr, static_cast<int>(len));
        records.data[i] = &readers[i];
    }
    records.count = n;
    BuildIndex();
}

// Sorted (id, record) keys; the first record of an id sorts first, so a
// binary search keeps the "first record with this id" rule.
void FXPackage::BuildIndex() {
    int n = std::min(records.count, ids.count);
    if (n <= 0) return;
    index = static_cast<uint64_t*>(malloc(sizeof(uint64_t) * static_cast<size_t>(n)));
    if (!index) return;
    int k = 0;
    for (int i = 0; i < n; ++i) {
        if (!records.data[i]) continue;
        uint32_t key = static_cast<uint32_t>(ids.GetInt(i)) ^ 0x80000000u;  // signed order
        index[k++] = static_cast<uint64_t>(key) << 32 | static_cast<uint32_t>(i);
    }
    std::sort(index, index + k);
    int w = 0;
    for (int i = 0; i < k; ++i)
        if (w == 0 || (index[w - 1] >> 32) != (index[i] >> 32)) index[w++] = index[i];
    indexCount = w;
}

int FXPackage::FindRecord(int id) const {
    if (index) {
        uint64_t key = static_cast<uint64_t>(static_cast<uint32_t>(id) ^ 0x80000000u) << 32;
        const uint64_t* e = std::lower_bound(index, index + indexCount, key);
        if (e == index + indexCount || (*e >> 32) != (key >> 32)) return -1;
        int i = static_cast<int>(static_cast<uint32_t>(*e));
        // The lists are public: trust the index only while it matches them.
        if (i < ids.count && ids.GetInt(i) == id && i < records.count && records.data[i]) return i;
    }
    int n = std::min(ids.count, records.count);
    for (int i = 0; i < n; ++i)
        if (ids.GetInt(i) == id && records.data[i]) return i;
    return -1;
}

FXPackageData* FXPackage::GetDataPtr(int id) {
    int i = FindRecord(id);
    if (i < 0) return nullptr;
    FXPackageData* d = static_cast<FXPackageData*>(records.data[i]);
    d->Reseek();
    return d;
}

int FXPackage::GetDataType(int id) const {
    int i = FindRecord(id);
    return i >= 0 && i < types.count ? types.GetInt(i) : -1;
}

bool FXPackage::CheckFile(const char* path, int* size, int* type) {
    if (type) *type = fxPackageTypeFromPath(path);
    if (size) *size = 0;
    FILE* f = localOpen(path, "rb");
    if (!f) return false;
    long end = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
    fclose(f);
    if (end < 0 || end > INT32_MAX) return false;
    if (size) *size = static_cast<int>(end);
    return true;
}

int FXPackage::AddDataFile1(FXStr* name) {
    if (!name || name->IsEmpty()) return 1;
    int id = nameServer.FindId(name->text);
    if (id < 0) {
        id = nameServer.BuildId(name->text);
        if (id < 0) return -1;
        AddDataFile(id, name->text);
    }
    return name->Format("%d", id);
}

void FXPackage::AddDataFile(int id, const char* path) {
    pendingIds.PushInt(id);
    pendingFiles.Push(path);
}

void FXPackage::AddTmpFile(const char* path) { tmpFiles.Push(path); }

void FXPackage::DeleteTmpFiles() {
    char native[FXStr::kSize];
    for (int i = 0; i < tmpFiles.count; ++i) {
        if (!tmpFiles.data[i]) continue;
        fxNativePath(tmpFiles.data[i], native, sizeof native);
        remove(native);
    }
    tmpFiles.DestroyBuf();
}

bool FXPackage::Save(const char* path, int flags) {
    const int pending = std::min(pendingIds.count, pendingFiles.count);
    FXArray* lists[4] = {&ids, &offsets, &sizes, &types};
    int oldCount[4];
    for (int i = 0; i < 4; ++i) oldCount[i] = lists[i]->count;
    auto rollback = [&]() {
        for (int i = 0; i < 4; ++i) lists[i]->count = oldCount[i];
    };

    int64_t end = dataSize;
    for (int i = 0; i < pending; ++i) {
        int s = 0, t = -1;
        if (!CheckFile(pendingFiles.Get(i), &s, &t)) {
            err("package: cannot read %s\n", pendingFiles.Get(i));
            rollback();
            return false;
        }
        ids.PushInt(pendingIds.GetInt(i));
        offsets.PushInt(static_cast<int>(std::min<int64_t>(end, INT32_MAX)));
        sizes.PushInt(s);
        types.PushInt(t);
        end += s;
    }
    int64_t listBytes = 16;
    for (FXArray* l : lists) listBytes += 4 * static_cast<int64_t>(l->count);
    if (end > INT32_MAX || listBytes + end > INT32_MAX) {
        err("package: %s would exceed 2 GB\n", path ? path : "");
        rollback();
        return false;
    }
    const int64_t bodySize = listBytes + end;
    uint8_t* nb = static_cast<uint8_t*>(malloc(static_cast<size_t>(bodySize)));
    if (!nb) {
        rollback();
        return false;
    }
    FXPackageData w;
    w.InitData(nb, static_cast<int>(bodySize));
    for (FXArray* l : lists) w.WriteArray(l);
    if (dataSize > 0) memcpy(nb + listBytes, data, static_cast<size_t>(dataSize));
    // Reading and writing each report half of the work.
    const int64_t work = 2 * bodySize;
    int64_t done = listBytes + dataSize;
    Report(done, work);
    bool ok = true;
    for (int i = 0; i < pending && ok; ++i) {
        int s = sizes.GetInt(oldCount[2] + i);
        uint8_t* dst = nb + listBytes + offsets.GetInt(oldCount[1] + i);
        FILE* f = localOpen(pendingFiles.Get(i), "rb");
        if (!f) {
            err("package: cannot read %s\n", pendingFiles.Get(i));
            ok = false;
            break;
        }
        const int kChunk = 16 << 20;
        int got = 0;
        while (got < s) {
            int want = std::min(kChunk, s - got);
            int r = static_cast<int>(fread(dst + got, 1, static_cast<size_t>(want), f));
            got += r;
            done += r;
            Report(done, work);
            if (r != want) break;
        }
        // A file that changed size since it was measured is not packed half.
        if (got != s || fgetc(f) != EOF) {
            err("package: %s changed while it was packed\n", pendingFiles.Get(i));
            ok = false;
        }
        fclose(f);
    }

    if (!ok) {
        free(nb);
        rollback();
        return false;
    }

    // The new block holds the old data area too: the package moves to it
    // before the file is replaced, since the old block may map that very
    // file (which Windows cannot replace while it is mapped). Until the
    // write succeeds the package keeps its old records and size.
    ReleaseReaders();
    const int32_t oldSize = dataSize;
    ReleaseBlock();
    block = nb;
    data = nb + listBytes;
    dataSize = oldSize;
    const bool scramble = (flags & 1) != 0;
    if (scramble) fxPackageScramble(nb, bodySize);
    // A reader never sees half a package: it replaces the old one whole.
    ok = fxReplaceFile(path, [&](FILE* out) {
        uint8_t head[10];
        int hl = scramble ? 6 : 5;
        localPut32(head, static_cast<uint32_t>(hl));
        memcpy(head + 4, "pck01s", static_cast<size_t>(hl));
        bool wrote = fwrite(head, 1, static_cast<size_t>(4 + hl), out) == static_cast<size_t>(4 + hl);
        const int64_t kChunk = int64_t(16) << 20;
        for (int64_t at = 0; wrote && at < bodySize; at += kChunk) {
            size_t want = static_cast<size_t>(std::min(kChunk, bodySize - at));
            wrote = fwrite(nb + at, 1, want, out) == want;
            Report(bodySize + at + static_cast<int64_t>(want), work);
        }
        return wrote;
    });
    if (scramble) fxPackageScramble(nb, bodySize);
    if (!ok) {
        err("package: cannot write %s\n", path ? path : "");
        rollback();
        RecompClasses();
        return false;
    }
    dataSize = static_cast<int32_t>(end);
    pendingFiles.DestroyBuf();
    pendingIds.DestroyBuf();
    RecompClasses();
    return true;
}

bool FXPackage::SaveNames(const char* path) {
    return fxReplaceFile(path, [&](FILE* out) {
        nameServer.names.Save(out);
        return true;  // a failed write shows in the file's error flag
    });
}

bool FXPackage::LoadNames(const char* path) {
    FILE* f = localOpen(path, "rb");
    if (!f) return false;
    nameServer.names.Load(f);
    fclose(f);
    return true;
}

bool FXPackage::SaveNamesCpp(const char* path) {
    return fxReplaceFile(
        path,
        [&](FILE* out) {
            FXStr ident;
            // A names file read from disk may list more names than ids remain.
            for (int i = 0; i < nameServer.names.count; ++i) {
                int64_t id = static_cast<int64_t>(nameServer.base) + i;
                if (id > INT32_MAX) break;
                fxPackageNameIdent(nameServer.names.Get(i), &ident);
                fprintf(out, "#define FXNAME_%s  %d\n", ident.text, static_cast<int>(id));
            }
            return true;  // a failed write shows in the file's error flag
        },
        FX_REPLACE_TEXT);
}
