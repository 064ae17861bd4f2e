// Arbitrary bytes as a package holding a scene and what its items name:
// every record is loaded as a scene through the package, so picture, mask,
// scroll and movie items fetch their pictures and movies from records of the
// same bytes (decoded by the real DevIL), then the scene is drawn on an
// environment without a device and its items are deleted one by one.
#include <cstdint>
#include <cstdio>
#include <unistd.h>

#include "../tests/support/nullenv.h"
#include "fuzz_files.h"
#include "image/devil.h"
#include "package/package.h"
#include "scene/scene.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzNeedDevil();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 262144) return 0;
    FXPackage pck;
    if (!pck.LoadFromMemory(data, size)) return 0;
    fxtest::NullEnv env;
    // At most a few records: each may decode pictures.
    for (int i = 0; i < pck.records.count && i < 4; ++i) {
        if (!pck.records.data[i]) continue;
        FXScene s;
        if (!s.LoadCN(&pck, pck.ids.GetInt(i))) {
            if (s.items.count) __builtin_trap();
            continue;
        }
        s.StartAnimateCamera();
        for (int k = 0; k < 4; ++k) s.OnRender(&env, 0.9 * k);
        while (s.items.count) {
            s.DeleteItemPos(0);
            s.OnRender(&env, 4.0);
        }
    }
    return 0;
}
