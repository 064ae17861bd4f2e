// Size limits of decoded pictures and a reader of the sizes that picture
// headers claim. A corrupt header can claim a picture of billions of pixels;
// the image library would try to allocate it (and some of its decoders
// overflow on the way), so the claim is checked before the library sees the
// data, and the decoded size is checked again afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

enum {
    // Longest side of a picture, a mask or a pixmap's used area.
    FX_PICT_MAX_SIDE = 16384,
};
// Most pixels of a picture (used area): 32 Mpixel, 128 MB as RGBA.
const int64_t FX_PICT_MAX_PIXELS = int64_t(1) << 25;

// True when a picture of w x h may be decoded and held: both at least 1, at
// most FX_PICT_MAX_SIDE, and w * h at most FX_PICT_MAX_PIXELS.
bool fxPictSizeAllowed(int64_t w, int64_t h);
// True when the colour map of an 18-byte Targa header is one a decoder can
// read: a map type of 0 or 1, a map wherever the picture is colour-mapped,
// and entries of 8, 15, 16, 24 or 32 bits. The decoder sizes the map from
// the header, so a nonsense map makes it allocate gigabytes.
bool fxTgaMapSound(const uint8_t* head);

enum FXPictProbe {
    FX_PROBE_UNKNOWN,    // no header we read, or not enough bytes to tell
    FX_PROBE_SIZE,       // the header claims *w x *h
    FX_PROBE_DAMAGED,    // cut inside a header segment or chunk: refuse it
    FX_PROBE_MALFORMED,  // a header word, comment or value out of bounds: refuse it
};

// Reads the size claimed by a JPEG, PNG, BMP, GIF, PSD, PCX or PNM header,
// recognised by their signatures, or else by a plausible TGA header (TGA has
// no signature). Never reads outside the n bytes. JPEG markers and PNG
// chunks are walked through the stream: a header segment or chunk cut by the
// end of the data gives FX_PROBE_DAMAGED, since the decoders inside DevIL
// hang on some of them. A PNM header (P1 to P6) must hold numbers, blanks
// and short comments only, and a plain PNM's raster short words, or it is
// FX_PROBE_MALFORMED: DevIL's reader overruns its buffer on a long word. The
// other formats are read in their first bytes.
FXPictProbe fxProbePictBytes(const uint8_t* p, size_t n, int64_t* w, int64_t* h);
// The same for an open file, read from its start; the position afterwards is
// unspecified.
FXPictProbe fxProbePictFile(FILE* f, int64_t* w, int64_t* h);
