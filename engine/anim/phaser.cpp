#include "anim/phaser.h"

#include <cstring>

#include "base/fxarray.h"
#include "package/package.h"

FXPhaser::FXPhaser()
    : value(0.0f),
      active(true),
      reverse(false),
      loop(true),
      bounce(false),
      start(0.0),
      duration(1.0),
      smooth(false),
      halfSmooth(false) {}

void FXPhaser::Restart(double t) {
    start = t;
    value = 0.0f;
    active = true;
    reverse = false;
}

void FXPhaser::OnRender(PEnv*, double t) {
    if (active && t - start >= duration) {
        if (!reverse) {
            if (loop) {
                if (bounce) reverse = true;
            } else {
                active = false;
                value = 1.0f;
            }
        } else {
            if (loop) {
                if (bounce) reverse = false;
            } else {
                active = false;
                value = 0.0f;
            }
        }
        double e = static_cast<float>(t - start);
        if (e > 2.0 * duration || (duration == 0.0 && e > 2.0))
            start = t;
        else
            start = start + duration;
    }
    if (!active) return;
    float v;
    // A run without length (or a damaged one) is always at its end; the
    // division would give infinities or NaN.
    if (!(duration > 0.0))
        v = 1.0f;
    else
        v = static_cast<float>((t - start) / duration);
    if (v < 0.0f) v = 0.0f;
    if (v > 1.0f) v = 1.0f;
    if (v != v) v = 0.0f;
    if (smooth) {
        v = 2.0f * v * (1.0f - v) * v + v * v;
    } else if (halfSmooth) {
        float s = 3.0f * v * v - 2.0f * v * v * v;
        v = (v + s) * 0.5f;
    }
    if (reverse) v = 1.0f - v;
    value = v;
}

bool FXPhaser::Save(FILE* f) const {
    if (!f) return false;
    uint32_t u;
    memcpy(&u, &value, 4);
    fxWriteInt32(f, static_cast<int32_t>(u));
    uint64_t d;
    memcpy(&d, &duration, 8);
    fxWriteInt32(f, static_cast<int32_t>(static_cast<uint32_t>(d)));
    fxWriteInt32(f, static_cast<int32_t>(static_cast<uint32_t>(d >> 32)));
    const bool flags[6] = {active, reverse, loop, bounce, smooth, halfSmooth};
    for (bool b : flags) fputc(b ? 1 : 0, f);
    return !ferror(f);
}

// The file holds the record's bytes: read them and take the fields through
// the same typed reads, so a file cut short reads as a record cut short.
bool FXPhaser::Load(FILE* f) {
    if (!f) return false;
    uint8_t b[kStoredSize];
    size_t got = fread(b, 1, sizeof b, f);
    FXPackageData d;
    d.InitData(b, static_cast<int>(got));
    return LoadC(nullptr, &d);
}

bool FXPhaser::LoadC(FXPackage*, FXPackageData* d) {
    if (!d) return false;
    bool whole = d->remaining >= kStoredSize;
    value = d->ReadFloat();
    duration = d->ReadDouble();
    active = d->ReadBool();
    reverse = d->ReadBool();
    loop = d->ReadBool();
    bounce = d->ReadBool();
    smooth = d->ReadBool();
    halfSmooth = d->ReadBool();
    return whole;
}
