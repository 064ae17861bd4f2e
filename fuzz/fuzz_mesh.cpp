// Arbitrary bytes as mesh records: the whole form, and the compact form (a
// vector map followed by mesh headers and their corner streams), each read
// from a package record and from a file. Every loader must leave indices
// inside the vertex list; a mesh that loaded must survive the encoder and
// decode back to the same geometry.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "geometry/mesh.h"
#include "image/canvas.h"
#include "package/data.h"
#include "package/package.h"
#include "render/env.h"
#include "render/matlib.h"

namespace {

void localCheck(const FXMesh& m) {
    if (m.indexCount < 0 || m.vertexCount < 0) __builtin_trap();
    if (m.indexCount > m.indexCapacity || m.vertexCount > m.vertexCapacity) __builtin_trap();
    if (m.indexCount > 0 && (!m.indices || !m.vertices)) __builtin_trap();
    for (int k = 0; k < m.indexCount; ++k)
        if (m.indices[k] < 0 || m.indices[k] >= m.vertexCount) __builtin_trap();
}

// Encoder and decoder must agree on every mesh a loader can produce.
void localRoundTrip(const FXMesh& loaded) {
    FXMesh canon;
    canon.Copy(&loaded);
    canon.ApplyRedir();
    localCheck(canon);
    FXVectorMap map;
    FXNumPool pool(256);
    canon.ToVMap(&map, &pool);
    FXMesh back;
    back.Realloc(canon.vertexCount, canon.indexCount);
    if (canon.vertexCount) memset(back.vertices, 0, sizeof(FXVertex) * canon.vertexCount);
    if (!back.FromVMap(&map, &pool) && canon.vertexCount > 0) __builtin_trap();
    localCheck(back);
    if (canon.vertexCount == 0) return;
    if (back.vertexCount != canon.vertexCount || back.indexCount != canon.indexCount) __builtin_trap();
    if (memcmp(back.indices, canon.indices, sizeof(int32_t) * canon.indexCount) != 0) __builtin_trap();
    for (int i = 0; i < canon.vertexCount; ++i)
        if (memcmp(back.vertices[i].f, canon.vertices[i].f, sizeof(float) * 8) != 0) __builtin_trap();
}

// The editing operations on whatever loaded.
void localEdit(FXMesh* m) {
    float box[6];
    m->FindMaxims(box);
    m->UnitizeMaximsStretch1(box);
    m->Normalize(true);
    m->Transform(1, 2, 0, true, false, true);
    m->ComputeFrontTexCoords();
    m->DiscardVertices();
    localCheck(*m);
}

void localCompactRecord(FXPackageData* d) {
    FXVectorMap map;
    map.LoadC(nullptr, d);
    for (int k = 0; k < 4 && d->remaining > 0; ++k) {
        FXMesh m;
        m.LoadMeshIC(nullptr, d, nullptr);
        localCheck(m);
        FXNumPool pool;
        pool.LoadC(nullptr, d);
        m.FromVMap(&map, &pool);
        localCheck(m);
    }
}

void localCompactFile(FILE* f) {
    FXVectorMap map;
    map.Load(f);
    for (int k = 0; k < 4 && !feof(f); ++k) {
        FXMesh m;
        m.LoadMeshI(f, nullptr);
        localCheck(m);
        FXNumPool pool;
        pool.Load(f);
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
    FXMesh edited;
    edited.Copy(&whole);
    localEdit(&edited);

    d.Reseek();
    localCompactRecord(&d);

    if (size) {
        FILE* f = fmemopen(copy, size, "rb");
        if (f) {
            FXMesh fm;
            fm.LoadMesh(f, nullptr);
            localCheck(fm);
            // The file and the record reader see the same mesh. (A name
            // longer than the input makes the file reader seek past the end,
            // which a memory stream refuses and a real file allows: skipped.)
            int32_t nameLen = 0;
            if (size >= 4) memcpy(&nameLen, copy, 4);
            if (nameLen <= 1023 && static_cast<int64_t>(nameLen) <= static_cast<int64_t>(size) - 4) {
                if (fm.vertexCount != whole.vertexCount || fm.indexCount != whole.indexCount) __builtin_trap();
                if (fm.vertexCount && memcmp(fm.vertices, whole.vertices, sizeof(FXVertex) * fm.vertexCount) != 0)
                    __builtin_trap();
                if (fm.indexCount && memcmp(fm.indices, whole.indices, sizeof(int32_t) * fm.indexCount) != 0)
                    __builtin_trap();
            }
            rewind(f);
            localCompactFile(f);
            fclose(f);
        }
    }
    delete[] copy;
    return 0;
}
