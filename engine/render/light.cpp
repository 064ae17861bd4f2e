#include "light.h"

static void localSet4(float* v, float a, float b, float c, float d) {
    v[0] = a;
    v[1] = b;
    v[2] = c;
    v[3] = d;
}

FXLight::FXLight() : glLight(0), spotExponent(0.0f), spotCutoff(180.0f), off(false) {
    localSet4(position, 0.0f, 0.0f, -1.0f, 0.0f);
    localSet4(spotDirection, 0.0f, 0.0f, 1.0f, 0.0f);
    SetDefDiffuse(1.0f);
}

// The presets touch the position's w only, never where the light stands.
static void localPreset(FXLight* l, float w, float spotExp, float c, float lin, float q) {
    l->position[3] = w;
    l->spotExponent = spotExp;
    l->spotCutoff = 180.0f;
    l->attenuation[0] = c;
    l->attenuation[1] = lin;
    l->attenuation[2] = q;
}

void FXLight::SetDefDiffuse(float a) {
    localPreset(this, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    localSet4(ambient, 0.2f, 0.2f, 0.2f, a);
    localSet4(diffuse, 1.0f, 1.0f, 1.0f, a);
    localSet4(specular, 0.0f, 0.0f, 0.0f, 0.0f);
}

void FXLight::SetDefAmbient(float a) {
    localPreset(this, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    localSet4(ambient, 1.0f, 1.0f, 1.0f, a);
    localSet4(diffuse, 0.0f, 0.0f, 0.0f, 0.0f);
    localSet4(specular, 0.0f, 0.0f, 0.0f, 0.0f);
}

void FXLight::SetDefSpecular(float a) {
    localPreset(this, 1.0f, 12.0f, 0.4f, 0.4f, 0.0f);
    localSet4(ambient, 0.0f, 0.0f, 0.0f, a);
    localSet4(diffuse, 1.0f, 1.0f, 1.0f, a);
    localSet4(specular, 1.0f, 1.0f, 1.0f, a);
}

void FXLight::SetDiffuseDark(float d, float a) {
    localPreset(this, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    localSet4(ambient, 0.0f, 0.0f, 0.0f, a);
    localSet4(diffuse, d, d, d, a);
    localSet4(specular, 0.0f, 0.0f, 0.0f, 0.0f);
}

void FXLight::MultiColor(const float* c) {
    for (int i = 0; i < 4; ++i) {
        ambient[i] *= c[i];
        diffuse[i] *= c[i];
        specular[i] *= c[i];
    }
}

void FXLight::MultiColorF(float r, float g, float b, float a) {
    const float c[4] = {r, g, b, a};
    MultiColor(c);
}
