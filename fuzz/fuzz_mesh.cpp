// Arbitrary bytes as mesh records: the whole form, and the compact form (a
// vector map followed by mesh headers and their corner streams), each read
// from a package record and from a file. Every loader must leave indices
// inside the vertex list; a mesh that loaded must survive the encoder and
// decode back to the same geometry.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "geometry/mesh.h"
#include "package/data.h"
#include "package/package.h"

namespace {

void localCheck(const FXMesh& m) {
    if (m.indexCount < 0 || m.vertexCount < 0 || m.indexCount > m.indexCapacity || m.vertexCount > m.vertexCapacity ||
        (m.indexCount > 0 && (!m.indices || !m.vertices)))
        __builtin_trap();
    for (int k = 0; k < m.indexCount; ++k)
        if (m.indices[k] < 0 || m.indices[k] >= m.vertexCount) __builtin_trap();
}

// Encoder and decoder must agree on every mesh a loader can produce.
void localRoundTrip(const FXMesh& loaded) {
    FXMesh canon, back;
    canon.Copy(&loaded);
    canon.ApplyRedir();
    localCheck(canon);
    FXVectorMap map;
    FXNumPool pool(256);
    canon.ToVMap(&map, &pool);
    back.Realloc(canon.vertexCount, canon.indexCount);
    if (canon.vertexCount) memset(back.vertices, 0, sizeof(FXVertex) * canon.vertexCount);
    if (!back.FromVMap(&map, &pool) && canon.vertexCount > 0) __builtin_trap();
    localCheck(back);
    if (canon.vertexCount == 0) return;
    if (back.vertexCount != canon.vertexCount || back.indexCount != canon.indexCount ||
        memcmp(back.indices, canon.indices, sizeof(int32_t) * canon.indexCount) != 0)
        __builtin_trap();
    for (int i = 0; i < canon.vertexCount; ++i)
        if (memcmp(back.vertices[i].f, canon.vertices[i].f, sizeof(float) * 8) != 0) __builtin_trap();
}

// The editing operations on whatever loaded.
void localEdit(const FXMesh& loaded) {
    FXMesh m;
    m.Copy(&loaded);
    float box[6];
    m.FindMaxims(box);
    m.UnitizeMaximsStretch1(box);
    m.Normalize(true);
    m.Transform(1, 2, 0, true, false, true);
    m.ComputeFrontTexCoords();
    m.DiscardVertices();
    localCheck(m);
}

// A map, then up to four mesh headers each followed by its corner stream;
// from a record (d) or from a file (f).
void localCompact(FXPackageData* d, FILE* f) {
    FXVectorMap map;
    f ? map.Load(f) : map.LoadC(nullptr, d);
    for (int k = 0; k < 4 && (f ? !feof(f) : d->remaining > 0); ++k) {
        FXMesh m;
        FXNumPool pool;
        f ? m.LoadMeshI(f, nullptr) : m.LoadMeshIC(nullptr, d, nullptr);
        localCheck(m);
        f ? pool.Load(f) : pool.LoadC(nullptr, d);
        m.FromVMap(&map, &pool);
        localCheck(m);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    // The cursor reads in place and never writes; the copy keeps the
    // fuzzer's buffer const all the same.
    uint8_t* copy = new uint8_t[size ? size : 1];
    if (size) memcpy(copy, data, size);

    FXPackageData d;
    d.InitData(copy, static_cast<int>(size));
    FXMesh whole;
    whole.LoadMeshC(nullptr, &d, nullptr);
    localCheck(whole);
    localRoundTrip(whole);
    localEdit(whole);
    d.Reseek();
    localCompact(&d, nullptr);

    FILE* f = size ? fmemopen(copy, size, "rb") : nullptr;
    if (f) {
        FXMesh fm;
        fm.LoadMesh(f, nullptr);
        localCheck(fm);
        // The file and the record reader see the same mesh. (A name longer
        // than the input makes the file reader seek past the end, which a
        // memory stream refuses and a real file allows: skipped.)
        int32_t nameLen = 0;
        if (size >= 4) memcpy(&nameLen, copy, 4);
        if (nameLen <= 1023 && static_cast<int64_t>(nameLen) <= static_cast<int64_t>(size) - 4 &&
            (fm.vertexCount != whole.vertexCount || fm.indexCount != whole.indexCount ||
             (fm.vertexCount && memcmp(fm.vertices, whole.vertices, sizeof(FXVertex) * fm.vertexCount) != 0) ||
             (fm.indexCount && memcmp(fm.indices, whole.indices, sizeof(int32_t) * fm.indexCount) != 0)))
            __builtin_trap();
        rewind(f);
        localCompact(nullptr, f);
        fclose(f);
    }
    delete[] copy;
    return 0;
}
