// Package-record and file forms of materials and material libraries.
#include <cstdio>
#include <cstring>

#include "base/fxarray.h"
#include "base/paths.h"
#include "package/package.h"
#include "math/3dmath.h"
#include "render/material.h"
#include "render/matlib.h"

namespace {

// Two empty strings, four colours and the shininess: the least a material
// record can take.
const int kMinMaterialBytes = 4 + 4 + 4 * 16 + 4;

bool localReadFloats(FILE* f, float* out, int n) {
    for (int i = 0; i < n; ++i) {
        int32_t bits;
        if (!fxReadInt32(f, &bits)) return false;
        memcpy(&out[i], &bits, 4);
    }
    return true;
}

void localWriteFloats(FILE* f, const float* v, int n) {
    for (int i = 0; i < n; ++i) {
        int32_t bits;
        memcpy(&bits, &v[i], 4);
        fxWriteInt32(f, bits);
    }
}

}  // namespace

bool FXMaterial::LoadC(FXPackage* pck, FXPackageData* rec) {
    SetDefSpecular(1.0f);
    if (rec) {
        rec->ReadString(&name);
        rec->ReadString(&textureFile);
        rec->ReadFloat4(ambient);
        rec->ReadFloat4(diffuse);
        rec->ReadFloat4(specular);
        rec->ReadFloat4(emission);
        shininess = rec->ReadFloat();
    }
    ownedByLib = true;
    if (!textureFile.IsEmpty()) return LoadTextureC(pck, textureFile.text);
    return true;
}

bool FXMaterial::Load(FILE* f) {
    SetDefSpecular(1.0f);
    if (!f) return false;
    name.Load(f);
    textureFile.Load(f);
    bool ok = localReadFloats(f, ambient, 4) && localReadFloats(f, diffuse, 4) && localReadFloats(f, specular, 4) &&
              localReadFloats(f, emission, 4) && localReadFloats(f, &shininess, 1);
    ownedByLib = true;
    if (ok && !textureFile.IsEmpty()) return LoadTexture(textureFile.text);
    return ok;
}

void FXMaterial::Save(FILE* f) const {
    if (!f) return;
    name.Save(f);
    textureFile.Save(f);
    localWriteFloats(f, ambient, 4);
    localWriteFloats(f, diffuse, 4);
    localWriteFloats(f, specular, 4);
    localWriteFloats(f, emission, 4);
    localWriteFloats(f, &shininess, 1);
}

bool FXMatlib::LoadC(FXPackage* pck, const char* key) {
    int id;
    if (!pck || !key || sscanf(key, "%d", &id) != 1) return false;
    FXPackageData* rec = pck->GetDataPtr(id);
    if (!rec) return false;
    rec->ReadString(&name);
    int count = rec->ReadInt();
    // The stored count is only believed as far as the record can hold it.
    int most = rec->remaining / kMinMaterialBytes;
    if (count > most) count = most;
    for (int i = 0; i < count; ++i) {
        FXMaterial* m = new FXMaterial;
        m->LoadC(pck, rec);
        materials.Push(m);
    }
    return true;
}

void FXMatlib::Load(const char* path) {
    if (!path) return;
    char native[4096];
    fxNativePath(path, native, sizeof native);
    FILE* f = fopen(native, "rb");
    if (!f) return;
    name.Load(f);
    int32_t count = 0;
    if (!fxReadInt32(f, &count)) count = 0;
    long left = fxBytesLeft(f);
    if (left >= 0 && count > left / kMinMaterialBytes) count = static_cast<int32_t>(left / kMinMaterialBytes);
    for (int i = 0; i < count; ++i) {
        FXMaterial* m = new FXMaterial;
        bool ok = m->Load(f);
        materials.Push(m);
        if (!ok && feof(f)) break;
    }
    fclose(f);
}

bool FXMatlib::Save(const char* path) {
    if (!path) return false;
    char native[4096];
    fxNativePath(path, native, sizeof native);
    FILE* f = fopen(native, "wb");
    if (!f) return false;
    name.Save(f);
    fxWriteInt32(f, materials.count);
    for (int i = 0; i < materials.count; ++i) Get(i)->Save(f);
    bool ok = !ferror(f);
    return fclose(f) == 0 && ok;
}

void FXMatlib::Compile(FXPackage* pck) {
    if (!pck) return;
    for (int i = 0; i < materials.count; ++i) {
        FXMaterial* m = Get(i);
        if (!m || m->textureFile.IsEmpty()) continue;
        FXStr file(fxCombinePaths(pck->workFolder.text, m->textureFile.text));
        pck->AddDataFile1(&file);
        m->textureFile = file;
    }
}
