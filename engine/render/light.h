// One light of the fixed-function lighting model.
#pragma once

#include <cstdint>

class FXLight {
public:
    int32_t glLight;       // written by UpdateLights each time the light is sent
    float position[4];     // w = 0: directional
    float spotDirection[4];
    float ambient[4];
    float diffuse[4];
    float specular[4];
    float spotExponent;
    float spotCutoff;      // degrees; 180: no spot
    float attenuation[3];  // constant, linear, quadratic
    bool off;

    FXLight();

    void SetDefault(float a) { SetDefDiffuse(a); }
    void SetDefAmbient(float a);
    void SetDefDiffuse(float a);
    void SetDefSpecular(float a);
    void SetDiffuseDark(float d, float a);
    void MultiColor(const float* rgba);
    void MultiColorF(float r, float g, float b, float a);
};
