// Arbitrary bytes as a phaser record and as a phaser file: both readers must
// agree, the stored form must round-trip, and frames rendered at times
// taken from the input must give values from 0 to 1.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "anim/phaser.h"
#include "package/package.h"

namespace {

bool localSame(const FXPhaser& a, const FXPhaser& b) {
    return memcmp(&a.value, &b.value, sizeof a.value) == 0 && memcmp(&a.duration, &b.duration, sizeof a.duration) == 0 &&
           a.active == b.active && a.reverse == b.reverse && a.loop == b.loop && a.bounce == b.bounce &&
           a.smooth == b.smooth && a.halfSmooth == b.halfSmooth;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    uint8_t* copy = new uint8_t[size ? size : 1];
    if (size) memcpy(copy, data, size);

    FXPackageData d;
    d.InitData(copy, static_cast<int>(size));
    FXPhaser rec;
    rec.LoadC(nullptr, &d);

    FILE* f = size ? fmemopen(copy, size, "rb") : nullptr;
    if (f) {
        FXPhaser file;
        file.Load(f);
        fclose(f);
        if (!localSame(rec, file)) __builtin_trap();
    }

    // Save and load again: the same fields.
    char buf[64];
    FILE* w = fmemopen(buf, sizeof buf, "w+b");
    if (w) {
        rec.Save(w);
        rewind(w);
        FXPhaser again;
        again.Load(w);
        fclose(w);
        if (!localSame(rec, again)) __builtin_trap();
    }

    // The rest of the input: frame times, as doubles.
    rec.Restart(0.0);
    rec.reverse = d.remaining > 0 && (*d.pos & 1);
    for (int k = 0; k < 64 && d.remaining >= 8; ++k) {
        double t = d.ReadDouble();
        rec.OnRender(nullptr, t);
        if (rec.active && !(rec.value >= 0.0f && rec.value <= 1.0f)) __builtin_trap();
    }
    delete[] copy;
    return 0;
}
