// Surface description of the fixed-function model with one texture.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/fxstr.h"
#include "image/canvas.h"

class FXPackage;
class FXPackageData;

class FXMaterial {
public:
    FXStr name;
    bool ownedByLib;  // made by a library load; the library deletes it
    float ambient[4];
    float diffuse[4];  // alpha is the material's opacity
    float specular[4];
    float emission[4];
    float shininess;  // 0..128
    float preserved[4][4];
    bool textureReady;
    uint32_t glTexture;
    float texScaleU, texScaleV;
    bool textureOpaque;
    bool mipmaps;
    FXCanvas* textureImage;  // the material's own canvas or one owned elsewhere
    FXCanvas ownCanvas;
    FXStr textureFile;

    FXMaterial();
    ~FXMaterial();
    FXMaterial(const FXMaterial&) = delete;
    FXMaterial& operator=(const FXMaterial&) = delete;

    void Destroy();

    void SetDefault(float a) { SetDefDiffuse(a); }
    void SetDefDiffuse(float a);
    void SetBlack(float a);
    void SetDefSpecular(float a);
    void SetDefSpecular1(float a);
    void SetDefEmission(float a);
    void PrepareDarkDiffuse(float a);
    void ChangeDarkDiffuse(float v);

    // Texture from a package picture (record number in decimal, or the
    // number), from a picture file, or from a file scaled while loading.
    bool LoadTextureC(FXPackage* pck, const char* key);
    bool LoadTextureCN(FXPackage* pck, int number);
    bool LoadTexture(const char* path);
    bool LoadTextureResize(const char* path, float sx, float sy);
    // Attaches an image (which must outlive the attachment) and uploads it.
    bool SetTexture(FXCanvas* image);
    int GetWidth() const;
    int GetHeight() const;
    float GetWidthF() const;
    float GetHeightF() const;

    // Material record of a package, and the same fields in a file of its own.
    bool LoadC(FXPackage* pck, FXPackageData* rec);
    bool Load(FILE* f);
    void Save(FILE* f) const;

    bool IsSolid() const;
    void PreserveCols();
    // Colours = preserved colours tinted by rgba; repeated calls do not compound.
    void MultiCols(const float* rgba);
};
