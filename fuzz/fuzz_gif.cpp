// Arbitrary bytes as a GIF for the engine's own first-frame decoder: it
// either refuses them or gives exactly width x height pixels of a sane size;
// the same bytes cut in half behave the same way.
#include <cstdint>
#include <vector>

#include "image/gifdec.h"
#include "image/picthead.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    std::vector<uint32_t> rgba;
    int w = -1, h = -1;
    if (fxDecodeGif(data, size, &rgba, &w, &h)) {
        if (w <= 0 || h <= 0 || rgba.size() != static_cast<size_t>(w) * static_cast<size_t>(h)) __builtin_trap();
        if (!fxPictSizeAllowed(w, h)) __builtin_trap();
    }
    // The same bytes cut in half: the decoder reads only what it is given.
    if (size > 1) {
        std::vector<uint8_t> half(data, data + size / 2);
        std::vector<uint32_t> px;
        int hw = 0, hh = 0;
        if (fxDecodeGif(half.data(), half.size(), &px, &hw, &hh) &&
            px.size() != static_cast<size_t>(hw) * static_cast<size_t>(hh))
            __builtin_trap();
    }
    return 0;
}
