// Arbitrary bytes as a model record (xm02 or xm03): a record either loads
// whole, every mesh with its indices inside its vertex list, or leaves the
// model empty; what loads survives the editing operations and writes back,
// in both versions, to a record that loads again with the same meshes.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "geometry/mesh.h"
#include "geometry/model.h"
#include "package/package.h"

namespace {

void localCheck(const FXMesh* m) {
    if (!m || m->indexCount < 0 || m->vertexCount < 0 || m->indexCount > m->indexCapacity ||
        m->vertexCount > m->vertexCapacity || (m->indexCount > 0 && (!m->indices || !m->vertices)))
        __builtin_trap();
    for (int k = 0; k < m->indexCount; ++k)
        if (m->indices[k] < 0 || m->indices[k] >= m->vertexCount) __builtin_trap();
}

bool localLoad(FXModel* m, std::vector<uint8_t>* bytes) {
    FXPackageData d;
    d.InitData(bytes->empty() ? nullptr : bytes->data(), static_cast<int>(bytes->size()));
    return m->LoadC(nullptr, &d);
}

// The model written by one of its writers and read back.
void localRoundTrip(FXModel* m, bool v02) {
    FILE* f = tmpfile();
    if (!f) return;
    if (!(v02 ? m->Save_v02(f) : m->Save(f))) __builtin_trap();
    std::vector<uint8_t> bytes(static_cast<size_t>(ftell(f)));
    rewind(f);
    if (!bytes.empty() && fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) __builtin_trap();
    fclose(f);
    FXModel back;
    if (!localLoad(&back, &bytes) || back.loadedMeshes.count != m->meshes.count) __builtin_trap();
    for (int i = 0; i < back.loadedMeshes.count; ++i) {
        FXMesh* b = static_cast<FXMesh*>(back.loadedMeshes.data[i]);
        localCheck(b);
        // The compact form merges equal vertices; it keeps every triangle.
        if (b->indexCount != m->EnumMeshes(i)->indexCount) __builtin_trap();
        if (v02 && b->vertexCount != m->EnumMeshes(i)->vertexCount) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    std::vector<uint8_t> bytes(data, data + size);
    FXModel m;
    bool ok = localLoad(&m, &bytes);
    if (!ok) {
        if (m.loadedMeshes.count || m.meshes.count || m.library) __builtin_trap();
        return 0;
    }
    for (int i = 0; i < m.loadedMeshes.count; ++i) localCheck(static_cast<FXMesh*>(m.loadedMeshes.data[i]));
    m.UpdateMeshes();
    if (m.meshes.count != m.loadedMeshes.count) __builtin_trap();
    localRoundTrip(&m, false);
    localRoundTrip(&m, true);

    FXModel copy;
    copy.Copy(&m);
    copy.Unitize();
    copy.FlipHoriz();
    copy.UnitizeStretch();
    copy.Normalize(false);
    copy.ComputeFrontTexCoords(-1);
    copy.CopyTexCoords(-1, &m);
    const float rgba[4] = {1, 0.5f, 0.25f, 1};
    copy.UpdateColCol(rgba);
    for (int i = 0; i < copy.MeshCount(); ++i) localCheck(copy.EnumMeshes(i));
    if (copy.GetTotalVertices() != m.GetTotalVertices()) __builtin_trap();
    return 0;
}
