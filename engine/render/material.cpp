#include "material.h"

#include <cstring>

#include "render/env.h"

static void localSet4(float* v, float a, float b, float c, float d) {
    v[0] = a;
    v[1] = b;
    v[2] = c;
    v[3] = d;
}

FXMaterial::FXMaterial()
    : ownedByLib(false),
      shininess(0.0f),
      textureReady(false),
      glTexture(0),
      texScaleU(1.0f),
      texScaleV(1.0f),
      textureOpaque(true),
      mipmaps(true),
      textureImage(nullptr) {
    memset(preserved, 0, sizeof preserved);
    SetDefDiffuse(1.0f);
}

FXMaterial::~FXMaterial() { Destroy(); }

void FXMaterial::Destroy() {
    if (glTexture && fxglobalEnv) fxglobalEnv->UnprepareTexture(this);
    glTexture = 0;
    textureReady = false;
    ownCanvas.Destroy();
    textureImage = nullptr;
}

// What every texture loader does once its canvas load is known.
static bool localAfterLoad(FXMaterial* m, bool loaded) {
    if (loaded) return m->SetTexture(&m->ownCanvas);
    if (m->glTexture && fxglobalEnv) fxglobalEnv->UnprepareTexture(m);
    m->glTexture = 0;
    m->textureReady = false;
    return false;
}

bool FXMaterial::LoadTextureC(FXPackage* pck, const char* key) {
    textureImage = nullptr;
    return localAfterLoad(this, ownCanvas.CreateFromPictC(pck, key));
}

bool FXMaterial::LoadTextureCN(FXPackage* pck, int number) {
    textureImage = nullptr;
    return localAfterLoad(this, ownCanvas.CreateFromPictCN(pck, number));
}

bool FXMaterial::LoadTexture(const char* path) {
    textureImage = nullptr;
    return localAfterLoad(this, ownCanvas.CreateFromPict(path));
}

bool FXMaterial::LoadTextureResize(const char* path, float sx, float sy) {
    textureImage = nullptr;
    return localAfterLoad(this, ownCanvas.CreateFromPictResize(path, sx, sy));
}

bool FXMaterial::SetTexture(FXCanvas* image) {
    if (!image || image->pixmap.bufWidth < 1 || image->pixmap.bufHeight < 1) {
        // Nothing to show: the material goes back to untextured.
        textureImage = nullptr;
        return localAfterLoad(this, false);
    }
    texScaleU = static_cast<float>(image->pixmap.usedWidth) / static_cast<float>(image->pixmap.bufWidth);
    texScaleV = static_cast<float>(image->pixmap.usedHeight) / static_cast<float>(image->pixmap.bufHeight);
    textureOpaque = image->opaque;
    textureReady = true;
    textureImage = image;
    if (fxglobalEnv && fxglobalEnv->PrepareTexture(this)) return true;
    return localAfterLoad(this, false);
}

int FXMaterial::GetWidth() const { return textureImage ? textureImage->GetWidth() : 0; }
int FXMaterial::GetHeight() const { return textureImage ? textureImage->GetHeight() : 0; }
float FXMaterial::GetWidthF() const { return textureImage ? textureImage->GetWidthF() : 0.0f; }
float FXMaterial::GetHeightF() const { return textureImage ? textureImage->GetHeightF() : 0.0f; }

void FXMaterial::SetDefDiffuse(float a) {
    localSet4(ambient, 0.2f, 0.2f, 0.2f, 0.0f);
    localSet4(diffuse, 1.0f, 1.0f, 1.0f, a);
    localSet4(specular, 0.0f, 0.0f, 0.0f, 0.0f);
    localSet4(emission, 0.0f, 0.0f, 0.0f, 0.0f);
}

void FXMaterial::SetBlack(float a) {
    localSet4(ambient, 0.0f, 0.0f, 0.0f, 0.0f);
    localSet4(diffuse, 0.0f, 0.0f, 0.0f, a);
    localSet4(specular, 0.0f, 0.0f, 0.0f, 0.0f);
    localSet4(emission, 0.0f, 0.0f, 0.0f, 0.0f);
}

void FXMaterial::SetDefSpecular(float a) {
    localSet4(ambient, 0.0f, 0.0f, 0.0f, 0.0f);
    localSet4(diffuse, 0.2f, 0.2f, 0.2f, a);
    localSet4(specular, 1.0f, 1.0f, 1.0f, a);
    localSet4(emission, 0.0f, 0.0f, 0.0f, 0.0f);
    shininess = 128.0f;
}

void FXMaterial::SetDefSpecular1(float a) {
    localSet4(ambient, 0.2f, 0.2f, 0.2f, a);
    localSet4(diffuse, 1.0f, 1.0f, 1.0f, a);
    localSet4(specular, 1.0f, 1.0f, 1.0f, a);
    localSet4(emission, 0.0f, 0.0f, 0.0f, 0.0f);
}

void FXMaterial::SetDefEmission(float a) {
    localSet4(ambient, 0.0f, 0.0f, 0.0f, 0.0f);
    localSet4(diffuse, 0.0f, 0.0f, 0.0f, a);
    localSet4(specular, 0.0f, 0.0f, 0.0f, 0.0f);
    localSet4(emission, 1.0f, 1.0f, 1.0f, a);
}

void FXMaterial::PrepareDarkDiffuse(float a) {
    localSet4(ambient, 0.0f, 0.0f, 0.0f, a);
    localSet4(diffuse, 1.0f, 1.0f, 1.0f, a);
    localSet4(specular, 0.0f, 0.0f, 0.0f, 0.0f);
    localSet4(emission, 0.0f, 0.0f, 0.0f, 0.0f);
}

void FXMaterial::ChangeDarkDiffuse(float v) { diffuse[0] = diffuse[1] = diffuse[2] = v; }

bool FXMaterial::IsSolid() const {
    if (textureReady && !textureOpaque) return false;
    return diffuse[3] == 1.0f;
}

void FXMaterial::PreserveCols() {
    memcpy(preserved[0], ambient, sizeof ambient);
    memcpy(preserved[1], diffuse, sizeof diffuse);
    memcpy(preserved[2], specular, sizeof specular);
    memcpy(preserved[3], emission, sizeof emission);
}

void FXMaterial::MultiCols(const float* c) {
    float* cols[4] = {ambient, diffuse, specular, emission};
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 4; ++i) cols[k][i] = preserved[k][i] * c[i];
}
