// Arbitrary bytes as an encoded picture of each type the package stores:
// decoded through the canvas (header checks, DevIL, the copy into the
// pixmap), then taken as a movie frame's mask over a picture of the decoded
// size and over one a pixel wider. Inputs claiming over a megapixel are
// only probed.
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <unistd.h>

#include "image/canvas.h"
#include "fuzz_files.h"
#include "image/devil.h"
#include "image/picthead.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzNeedDevil();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Unknown stands for a damaged type, which must be refused before any reader.
    static const int kTypes[] = {FX_IL_JPG, FX_IL_PNG, FX_IL_BMP, FX_IL_TGA, FX_IL_GIF, FX_IL_TYPE_UNKNOWN};
    if (size < 1) return 0;
    // The first byte picks the type, so every decoder sees every input shape.
    int type = kTypes[data[0] % 6];
    unsigned char* body = const_cast<unsigned char*>(data + 1);
    unsigned n = static_cast<unsigned>(size - 1);

    // A few bytes may claim a picture of millions of pixels, which the
    // checks allow up to their limit: decoding it only runs the same pixel
    // loops longer and holds the target to a few hundred inputs a second.
    // Such claims are probed and not decoded; the limits have tests of
    // their own.
    int64_t w = 0, h = 0;
    const FXPictProbe probe = fxProbePictBytes(body, n, &w, &h);
    if (type == FX_IL_TGA && probe == FX_PROBE_UNKNOWN && n >= 18) {
        w = body[12] | body[13] << 8;
        h = body[14] | body[15] << 8;
    }
    const int64_t kMost = int64_t(1) << 20;
    if (w > kMost || h > kMost || w * h > kMost) return 0;

    FXCanvas c;
    c.transparencyPicture = (data[0] & 0x80) != 0;
    if (c.CreateFromBufType(type, body, n)) {
        // Sample the result the way meshes do.
        float rgba[4];
        c.GetColor(0.5f, 0.5f, rgba);
        c.GetBump(0.25f, 0.75f);
        c.ExtendEdges();
    }
    for (int extra : {0, 1}) {
        FXCanvas m;
        if (m.pixmap.Realloc(c.GetWidth() + extra, c.GetHeight())) m.LoadFrameMaskBufType(type, body, n);
    }
    return 0;
}
