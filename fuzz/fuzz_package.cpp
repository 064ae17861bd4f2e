// Arbitrary bytes as a package: load, then walk every record the way the
// engine's loaders do (typed reads, vector maps, number pools), and feed the
// same bytes to the file forms of the map and the pool.
#include <cstdint>
#include <cstdio>

#include "package/data.h"
#include "package/package.h"

namespace {

// Typed reads in an order the record's own bytes choose.
void localWalkReads(FXPackageData* d) {
    FXStr s;
    FXStrArray sa;
    FXArray a;
    FXFloatArray fa;
    float f4[4];
    uint8_t copy[64];
    for (int step = 0; step < 512 && d->remaining > 0; ++step) {
        int32_t before = d->remaining;
        switch (*d->pos % 12) {
        case 0: d->ReadBool(); break;
        case 1: d->ReadInt(); break;
        case 2: d->ReadFloat(); break;
        case 3: d->ReadFloat4(f4); break;
        case 4: d->ReadDouble(); break;
        case 5: d->ReadString(&s); break;
        case 6: d->ReadStringArray(&sa); break;
        case 7: d->ReadArray(&a); break;
        case 8: d->ReadFloatArray(&fa); break;
        case 9: d->ReadBlc(d->ReadInt()); break;
        case 10: d->ReadCopyBlc(copy, *d->pos % 65); break;
        default: d->ReadBlc(*d->pos % 7); break;
        }
        if (d->remaining == before) d->ReadBool();
    }
}

// A mesh decoder's use of the map: indexes and vertex numbers come from the
// corner stream, so they are as untrusted as the map itself.
void localWalkMap(FXVectorMap* m, FXNumPool* pool) {
    pool->Reseek();
    float v[3];
    int vertex = 0;
    int p;
    unsigned short n;
    unsigned char t;
    for (int k = 0; k < 256 && pool->GetNextInt(&p) && pool->GetNextWord(&n) && pool->GetNextByte(&t); ++k) {
        m->GetVecPos(p, v);
        m->GetVecNorm(n, v);
        m->GetVecTex(t, v);
        if (m->GetUsed(p, n, t) < 0) m->PushUsed(p, n, t, vertex++);
    }
    m->ClearUsed();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FXPackage pck;
    pck.LoadFromMemory(data, size);
    for (int i = 0; i < pck.records.count; ++i) {
        if (!pck.records.data[i]) continue;
        int id = pck.ids.GetInt(i);
        pck.GetDataType(id);
        FXPackageData* d = pck.GetDataPtr(id);
        if (!d) __builtin_trap();  // a usable record must be found by its id
        localWalkReads(d);

        FXVectorMap map, map2;
        FXNumPool pool, pool2;
        map.LoadC(&pck, pck.GetDataPtr(id));
        pool.LoadC(&pck, pck.GetDataPtr(id));
        FXPackageData* rest = pck.GetDataPtr(id);
        pool2.LoadC(&pck, rest);  // a pool, then a map behind it
        map2.LoadC(&pck, rest);
        localWalkMap(&map, &pool);
        localWalkMap(&map2, &pool2);
    }
    pck.GetDataPtr(0);

    // The file forms over the same bytes.
    FILE* f = size ? fmemopen(const_cast<uint8_t*>(data), size, "rb") : nullptr;
    if (f) {
        FXNumPool pool;
        FXVectorMap map;
        pool.Load(f);
        rewind(f);
        map.Load(f);
        localWalkMap(&map, &pool);
        fclose(f);
    }
    return 0;
}
