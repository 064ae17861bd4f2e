// A GIF decoder of our own for the first frame of a GIF. The image library's
// GIF reader trusts the stream (frame places, palette indices, codes) and
// writes or reads outside its buffers on damaged files; this one checks
// every step and refuses what does not fit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Decodes the first frame into w x h pixels of bytes r, g, b, a (top row
// first), the screen's size; pixels outside the frame, and the transparent
// index, are transparent black. False for anything damaged or absurd.
bool fxDecodeGif(const uint8_t* p, size_t n, std::vector<uint32_t>* rgba, int* w, int* h);
