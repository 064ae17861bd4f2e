// Arbitrary bytes as a frame-animation record (xa03 or the older form): a
// record loads whole or leaves the animation empty; what loads writes a
// record that loads to as many frames and writes the same bytes again;
// morphing, playing and preparing it stay inside its lists.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "anim/anim.h"
#include "geometry/mesh.h"
#include "package/package.h"

namespace {

std::string localSaved(FXAnim* a) {
    char* buf = nullptr;
    size_t len = 0;
    FILE* w = open_memstream(&buf, &len);
    if (!w) abort();
    bool ok = a->Save(w);
    fclose(w);
    std::string bytes(buf, len);
    free(buf);
    if (!ok) __builtin_trap();  // frames loaded from one record always match
    return bytes;
}

int localVertices(FXAnim* a) {
    FXModel* m = a->Model(0);
    return m ? m->GetTotalVertices() : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    std::string copy(reinterpret_cast<const char*>(data), size);
    FXPackageData d;
    d.InitData(&copy[0], static_cast<int>(size));
    // The older form names model records of the package: an empty one, so
    // no name reaches the file system.
    FXPackage none;
    FXAnim a;
    if (!a.LoadC(&none, &d)) {
        if (a.models.count || a.frameNames.count || a.durations.count || a.FrameCount()) __builtin_trap();
        return 0;
    }
    const int n = a.FrameCount();
    if (a.models.count != n || a.frameNames.count != n || a.durations.count != n) __builtin_trap();

    std::string bytes = localSaved(&a);
    FXPackageData again;
    again.InitData(&bytes[0], static_cast<int>(bytes.size()));
    FXAnim back;
    // Vertices equal in every frame merge on the way, so there may be fewer.
    if (!back.LoadC(&none, &again) || back.FrameCount() != n || localVertices(&back) > localVertices(&a))
        __builtin_trap();
    if (localSaved(&back) != bytes) __builtin_trap();

    // Morph and play in every mode, driven by time and by a movie; splines
    // for very large records only cost time here.
    if (static_cast<int64_t>(localVertices(&a)) * n > (1 << 17)) return 0;
    uint8_t mode = size ? data[size - 1] : 0;
    a.UnitizeStretch1(mode % 3 - 1);
    a.ComputeFrontTexCoords(mode % 2, mode % 5 - 2);
    a.easeInOut = mode & 8;
    a.straightLines = mode & 16;
    for (int k = 0; k < 3; ++k) {
        a.loop = k > 0;
        a.bounce = k == 2;
        a.reverse = mode & 32;
        a.UpdateInterpolation(true, false);
        if (a.HasSplines() && a.posSplines.count != localVertices(&a)) __builtin_trap();
        a.StartAnim(0.0);
        if (a.playing != (n > 0)) __builtin_trap();
        for (int step = 0; step < 3 * n + 4; ++step) {
            a.OnRender(nullptr, 0.3 * step);
            if (n && (a.actFrame < 0 || a.actFrame >= n)) __builtin_trap();
        }
        a.SetActFrames(mode - 128, mode % 7 - 1);
        a.SetActPhase(mode / 255.0f);
    }
    a.UpdateInterpolation(false, true);
    a.MoveFrame(mode % 4, mode % 3);
    return 0;
}
