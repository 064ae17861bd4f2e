// Arbitrary text as an OBJ file and, after the first NUL byte, its MTL
// library "m.mtl": an import either gives meshes with a material each and
// indices inside their vertex lists, or nothing; the library alone loads
// without reading past its list; what imports writes back and loads again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "geometry/mesh.h"
#include "geometry/model.h"
#include "render/material.h"
#include "render/matlib.h"

#include "fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16384) return 0;
    const uint8_t* nul = static_cast<const uint8_t*>(memchr(data, 0, size));
    size_t objSize = nul ? static_cast<size_t>(nul - data) : size;
    std::string obj = fuzzFolder("fuzz_obj") + "/m.obj", mtl = fuzzFolder("fuzz_obj") + "/m.mtl";
    fuzzWrite(obj, data, objSize);
    fuzzWrite(mtl, nul ? nul + 1 : data, nul ? size - objSize - 1 : 0);

    FXMatlib lib;
    lib.LoadFromMtl(mtl.c_str());
    for (int i = 0; i < lib.Count(); ++i)
        if (!lib.Get(i)) __builtin_trap();

    FXModel m;
    if (!m.ImportObj(obj.c_str())) {
        if (m.loadedMeshes.count || m.library) __builtin_trap();
        return 0;
    }
    int triangles = 0;
    for (int i = 0; i < m.loadedMeshes.count; ++i) {
        FXMesh* mesh = static_cast<FXMesh*>(m.loadedMeshes.data[i]);
        if (!mesh || !mesh->material || mesh->indexCount % 3 || mesh->vertexCount > mesh->indexCount) __builtin_trap();
        for (int k = 0; k < mesh->indexCount; ++k)
            if (mesh->indices[k] < 0 || mesh->indices[k] >= mesh->vertexCount) __builtin_trap();
        triangles += mesh->indexCount / 3;
    }
    if (triangles < 1) __builtin_trap();
    m.UpdateMeshes();
    std::string rec = fuzzFolder("fuzz_obj") + "/m.xm";
    FXModel back;
    if (!m.Save(rec.c_str()) || !back.Load(rec.c_str()) || back.loadedMeshes.count != m.loadedMeshes.count)
        __builtin_trap();
    return 0;
}
