// Arbitrary bytes as a sprite-movie record: a record either loads whole, with
// as many masks as frames, edges for every frame when they are on and a
// frame duration from 0 to 1 s, or leaves the movie empty; what loads writes
// back to the same record; playing and editing it stays inside its lists.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "anim/movie.h"
#include "package/package.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    uint8_t* copy = new uint8_t[size ? size : 1];
    if (size) memcpy(copy, data, size);
    FXPackageData d;
    d.InitData(copy, static_cast<int>(size));
    SMovie mv;
    bool ok = mv.LoadC(nullptr, &d);
    int n = mv.FrameCount();
    if (ok != (n > 0)) __builtin_trap();
    if (!ok) {
        if (mv.maskNames.count || mv.edges.count || mv.keyFrames.count) __builtin_trap();
        delete[] copy;
        return 0;
    }
    if (mv.maskNames.count < n || (mv.edgesOn && mv.edges.count < 4 * n) ||
        !(mv.frameDuration >= 0.0 && mv.frameDuration <= 1.0))
        __builtin_trap();

    // The stored form again: the same lists.
    FXMemory buf;
    if (!mv.SaveToBuf(&buf)) __builtin_trap();
    FXPackageData again;
    again.InitData(buf.data, buf.count);
    SMovie back;
    if (!back.LoadC(nullptr, &again) || back.FrameCount() != n || back.maskNames.count != mv.maskNames.count ||
        back.edges.count != mv.edges.count || back.keyFrames.count != mv.keyFrames.count)
        __builtin_trap();

    // Names that are no records give no bytes; frames step through the pool.
    FXPackage none;
    mv.package = &none;
    mv.LoadIntoMem();
    for (int i = 0; i < mv.frameBytes.count; ++i)
        if (mv.frameBytes.data[i] || mv.frameSizes.GetInt(i)) __builtin_trap();
    mv.poolSize = 3;
    mv.Restart(0.0);
    for (int k = 0; k < 8; ++k) {
        mv.Prepare(-1);
        for (int i = 0; i < mv.preparedFrames.count; ++i)
            if (mv.preparedFrames.GetInt(i) < 0 || mv.preparedFrames.GetInt(i) >= n) __builtin_trap();
        if (mv.preparedFrames.count) mv.PrepareStartEnd(mv.preparedFrames.GetInt(0));
        mv.EmptyPrepared();
    }
    mv.MovePos(n - 1, -1);
    mv.DeletePos(n / 2);
    mv.package = nullptr;
    delete[] copy;
    return 0;
}
