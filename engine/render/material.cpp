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
    textureImage = nullptr;
}

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
