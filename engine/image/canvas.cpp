#include "image/canvas.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <new>
#include <vector>

#include "base/paths.h"
#include "base/trace.h"
#include "image/devil.h"
#include "image/gifdec.h"
#include "image/picthead.h"
#include "package/package.h"
#include "math/3dmath.h"

namespace {

// A resize asks ILU for 32 slices of the new size; beyond this many pixels
// in all slices (512 MB as RGBA, well below where ILU's 32-bit sizes wrap)
// one slice is asked for instead. The first slice is the picture either way.
const int64_t kMaxScaleVolume = int64_t(1) << 27;
const int kScaleDepth = 32;

// A path as the operating system wants it.
class NativePath {
public:
    explicit NativePath(const char* p) { fxNativePath(p ? p : "", text, sizeof text); }
    char text[FXStr::kSize];
};

// The DevIL image names of one operation, deleted when it ends.
class ImageNames {
public:
    FXILuint ids[2] = {0, 0};
    ~ImageNames() {
        for (FXILuint& id : ids) {
            if (id) pilDeleteImages(1, &id);
            id = 0;
        }
    }
};

// Colour packed for the pixels; components outside 0..1 are clamped first,
// since the packing does not mask its channels.
uint32_t localPack(const float* rgba) {
    float c[4] = {rgba[0], rgba[1], rgba[2], rgba[3]};
    for (float& x : c)
        if (std::isnan(x)) x = 0.0f;
    fxColCutRange(c);
    return fxColToInt1(c);
}

// The record number of a key as sscanf's "%d" reads it: blanks, a sign and
// digits, anything after them ignored. Out of int range is refused.
bool localParseKey(const char* key, int* out) {
    if (!key) return false;
    const char* p = key;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') p++;
    const char* d = p;
    if (*d == '+' || *d == '-') d++;
    if (*d < '0' || *d > '9') return false;
    errno = 0;
    char* end = nullptr;
    long v = strtol(p, &end, 10);
    if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
    *out = static_cast<int>(v);
    return true;
}

bool localRecord(FXPackage* pck, int record, const uint8_t** data, size_t* size, int* type) {
    if (!pck) return false;
    FXPackageData* rec = pck->GetDataPtr(record);
    int t = pck->GetDataType(record);
    if (!rec || t == -1 || !rec->start || rec->size <= 0) return false;
    *data = rec->start;
    *size = static_cast<size_t>(rec->size);
    *type = t;
    return true;
}

// Refuses data whose header claims an absurd size before DevIL sees it.
bool localProbeAllows(const char* what, FXPictProbe probe, int64_t w, int64_t h) {
    if (probe == FX_PROBE_DAMAGED) {
        err("picture %s is cut inside a header segment or chunk: refused\n", what);
        return false;
    }
    if (probe == FX_PROBE_MALFORMED) {
        err("picture %s has a header word, comment or value out of bounds: refused\n", what);
        return false;
    }
    if (probe != FX_PROBE_SIZE || fxPictSizeAllowed(w, h)) return true;
    err("picture %s claims %lld x %lld pixels: refused\n", what, static_cast<long long>(w),
        static_cast<long long>(h));
    return false;
}

// TGA has no signature, so an implausible header goes unrecognised by the
// probe; but data that is to be decoded as TGA gets its size read from the
// header anyway, since the decoder allocates whatever the header claims.
void localTgaFallback(FXPictProbe* probe, const uint8_t* head, size_t n, int64_t* w, int64_t* h) {
    if (*probe != FX_PROBE_UNKNOWN) return;
    if (n < 18) {
        *probe = FX_PROBE_DAMAGED;
        return;
    }
    if (!fxTgaMapSound(head)) {
        *probe = FX_PROBE_MALFORMED;
        return;
    }
    *w = head[12] | head[13] << 8;
    *h = head[14] | head[15] << 8;
    *probe = FX_PROBE_SIZE;
}

bool localIsTgaName(const char* native) {
    size_t n = strlen(native);
    return n >= 4 && strcasecmp(native + n - 4, ".tga") == 0;
}

bool localProbeFile(const char* native) {
    FILE* f = fopen(native, "rb");
    if (!f) return false;
    int64_t w = 0, h = 0;
    FXPictProbe probe = fxProbePictFile(f, &w, &h);
    if (localIsTgaName(native)) {
        uint8_t head[18];
        size_t got = fseek(f, 0, SEEK_SET) == 0 ? fread(head, 1, sizeof head, f) : 0;
        localTgaFallback(&probe, head, got, &w, &h);
    }
    fclose(f);
    return localProbeAllows(native, probe, w, h);
}

bool localProbeData(const char* what, int type, const uint8_t* data, size_t size) {
    // Bytes come from package records, which hold these five kinds of
    // picture; a type stored otherwise (damage) would hand them to another
    // reader of the library, some of which spend minutes on bad data.
    if (!fxPackageExtFromType(type)) {
        err("picture %s is of type 0x%x, which no package holds: refused\n", what, static_cast<unsigned>(type));
        return false;
    }
    int64_t w = 0, h = 0;
    FXPictProbe probe = fxProbePictBytes(data, size, &w, &h);
    if (type == FX_IL_TGA) localTgaFallback(&probe, data, size, &w, &h);
    return localProbeAllows(what, probe, w, h);
}

// Decodes into a new bound image; the name goes to names->ids[0].
// GIFs are decoded by our own checked decoder and handed over as pixels: the
// library's GIF reader writes and reads outside its buffers on damaged data.
bool localLoadGif(const uint8_t* data, size_t size) {
    std::vector<uint32_t> px;
    int w = 0, h = 0;
    if (!fxDecodeGif(data, size, &px, &w, &h)) {
        err("GIF data is damaged: refused\n");
        return false;
    }
    if (!pilTexImage(static_cast<FXILuint>(w), static_cast<FXILuint>(h), 1, 4, FX_IL_RGBA, FX_IL_UNSIGNED_BYTE,
                     px.data()))
        return false;
    // The library may take the rows as bottom-up; give them in its order.
    if (static_cast<unsigned>(pilGetInteger(FX_IL_IMAGE_ORIGIN)) == FX_IL_ORIGIN_LOWER_LEFT) {
        std::vector<uint32_t> flipped(px.size());
        for (int y = 0; y < h; ++y)
            memcpy(&flipped[static_cast<size_t>(h - 1 - y) * w], &px[static_cast<size_t>(y) * w], 4u * w);
        return pilTexImage(static_cast<FXILuint>(w), static_cast<FXILuint>(h), 1, 4, FX_IL_RGBA, FX_IL_UNSIGNED_BYTE,
                           flipped.data()) != 0;
    }
    return true;
}

bool localIsGifName(const char* native) {
    size_t n = strlen(native);
    return n >= 4 && strcasecmp(native + n - 4, ".gif") == 0;
}

bool localLoad(bool fromFile, const char* native, int type, const uint8_t* data, size_t size, ImageNames* names) {
    pilGenImages(1, &names->ids[0]);
    pilBindImage(names->ids[0]);
    if (fromFile && localIsGifName(native)) {
        FILE* f = fopen(native, "rb");
        if (!f) return false;
        std::vector<uint8_t> bytes;
        uint8_t buf[65536];
        size_t n;
        // A GIF larger than this holds far more than the size limit allows.
        while ((n = fread(buf, 1, sizeof buf, f)) > 0 && bytes.size() < (size_t(256) << 20))
            bytes.insert(bytes.end(), buf, buf + n);
        fclose(f);
        return localLoadGif(bytes.data(), bytes.size());
    }
    if (fromFile) return pilLoadImage(native) != 0;
    if (type == FX_IL_GIF) return localLoadGif(data, size);
    if (size > 0xffffffffu) return false;
    return pilLoadL(static_cast<FXILenum>(type), data, static_cast<FXILuint>(size)) != 0;
}

int localChannels(unsigned format) {
    switch (format) {
    case 0x1900: return 1;  // colour index
    case 0x1906: return 1;  // alpha
    case 0x1909: return 1;  // luminance
    case 0x190A: return 2;  // luminance, alpha
    case 0x1907: return 3;  // RGB
    case 0x80E0: return 3;  // BGR
    case 0x1908: return 4;  // RGBA
    case 0x80E1: return 4;  // BGRA
    default: return 0;
    }
}

int localTypeSize(unsigned type) {
    switch (type) {
    case 0x1400: case 0x1401: return 1;            // bytes
    case 0x1402: case 0x1403: case 0x140B: return 2;  // shorts, halves
    case 0x1404: case 0x1405: case 0x1406: return 4;  // ints, floats
    case 0x140A: return 8;                          // doubles
    default: return 0;
    }
}

// Some decoders leave an image whose bytes per pixel do not fit its format
// (a damaged 16-bit Targa comes out as 2-byte BGR); converting it makes a
// buffer smaller than the size DevIL then reports. Such images are refused.
bool localBoundImageSound(const char* what) {
    int64_t w = pilGetInteger(FX_IL_IMAGE_WIDTH), h = pilGetInteger(FX_IL_IMAGE_HEIGHT);
    int64_t d = pilGetInteger(FX_IL_IMAGE_DEPTH), bpp = pilGetInteger(FX_IL_IMAGE_BYTES_PER_PIXEL);
    int64_t size = pilGetInteger(FX_IL_IMAGE_SIZE_OF_DATA);
    int ch = localChannels(static_cast<unsigned>(pilGetInteger(FX_IL_IMAGE_FORMAT)));
    int ts = localTypeSize(static_cast<unsigned>(pilGetInteger(FX_IL_IMAGE_TYPE)));
    bool ok = w >= 1 && h >= 1 && d >= 1 && d <= 4096 && ch > 0 && ts > 0 && bpp == ch * ts && size >= w * h * d * bpp;
    if (!ok) err("picture %s decoded into an inconsistent image: refused\n", what);
    return ok;
}

// The header check before the library sees a file or a buffer.
bool localProbeSource(bool fromFile, const char* native, const char* what, int type, const uint8_t* data,
                      size_t size) {
    if (fromFile) return localProbeFile(native);
    if (!data || size == 0) return false;
    return localProbeData(what, type, data, size);
}

// Decodes into a new bound image and checks what came out; the caller holds
// the library's lock.
bool localDecodeChecked(const char* kind, bool fromFile, const char* native, int type, const uint8_t* data,
                        size_t size, ImageNames* names, int* w, int* h) {
    if (!localLoad(fromFile, native, type, data, size, names)) return false;
    *w = pilGetInteger(FX_IL_IMAGE_WIDTH);
    *h = pilGetInteger(FX_IL_IMAGE_HEIGHT);
    const char* what = fromFile ? native : "data";
    if (!fxPictSizeAllowed(*w, *h)) {
        err("%s %s of %d x %d pixels: refused\n", kind, what, *w, *h);
        return false;
    }
    return localBoundImageSound(what);
}

// The decoded pixels as the copy loops read them: w x h pixels of bpp
// bytes, rows packed, with the byte offsets of red, green, blue and alpha
// inside a pixel (alpha -1: none, so 255).
struct Layout {
    const uint8_t* data = nullptr;
    int bpp = 4, r = 0, g = 1, b = 2, a = 3;
    bool bottomUp = false;
};

// 8-bit formats read where the decoder left them, expanded the way the
// library's own conversion to RGBA expands them.
bool localDirectLayout(unsigned format, Layout* l) {
    struct Known {
        unsigned format;
        int bpp, r, g, b, a;
    };
    static const Known kKnown[] = {
        {FX_IL_RGBA, 4, 0, 1, 2, 3},      {FX_IL_RGB, 3, 0, 1, 2, -1},       {FX_IL_BGRA, 4, 2, 1, 0, 3},
        {FX_IL_BGR, 3, 2, 1, 0, -1},      {FX_IL_LUMINANCE, 1, 0, 0, 0, -1}, {FX_IL_LUMINANCE_ALPHA, 2, 0, 0, 0, 1},
    };
    for (const Known& k : kKnown) {
        if (k.format != format) continue;
        l->bpp = k.bpp;
        l->r = k.r;
        l->g = k.g;
        l->b = k.b;
        l->a = k.a;
        return true;
    }
    return false;
}

// The bound image's pixels, w x h as checked by localBoundImageSound: 8-bit
// images as they are; any other kind cloned into names->ids[1] and converted
// to 8-bit RGBA there, then checked to be w x h pixels of 4 bytes.
bool localPixels(ImageNames* names, int w, int h, Layout* l) {
    if (static_cast<unsigned>(pilGetInteger(FX_IL_IMAGE_TYPE)) == FX_IL_UNSIGNED_BYTE &&
        localDirectLayout(static_cast<unsigned>(pilGetInteger(FX_IL_IMAGE_FORMAT)), l) &&
        pilGetInteger(FX_IL_IMAGE_BYTES_PER_PIXEL) == l->bpp) {
        // Some decoders leave the rows bottom-up and say so; the pixmap is
        // always top row first.
        l->bottomUp = static_cast<unsigned>(pilGetInteger(FX_IL_IMAGE_ORIGIN)) == FX_IL_ORIGIN_LOWER_LEFT;
        l->data = pilGetData();
        return l->data != nullptr;
    }
    *l = Layout();
    names->ids[1] = pilCloneCurImage();
    if (!names->ids[1]) return false;
    pilBindImage(names->ids[1]);
    if (!pilConvertImage(FX_IL_RGBA, FX_IL_UNSIGNED_BYTE)) return false;
    if (pilGetInteger(FX_IL_IMAGE_WIDTH) != w || pilGetInteger(FX_IL_IMAGE_HEIGHT) != h ||
        pilGetInteger(FX_IL_IMAGE_BYTES_PER_PIXEL) != 4 ||
        static_cast<int64_t>(pilGetInteger(FX_IL_IMAGE_SIZE_OF_DATA)) < static_cast<int64_t>(w) * h * 4 ||
        static_cast<unsigned>(pilGetInteger(FX_IL_IMAGE_FORMAT)) != FX_IL_RGBA ||
        static_cast<unsigned>(pilGetInteger(FX_IL_IMAGE_TYPE)) != FX_IL_UNSIGNED_BYTE)
        return false;
    l->bottomUp = static_cast<unsigned>(pilGetInteger(FX_IL_IMAGE_ORIGIN)) == FX_IL_ORIGIN_LOWER_LEFT;
    l->data = pilGetData();
    return l->data != nullptr;
}

const uint8_t* localRow(const Layout& l, int w, int h, int y) {
    return l.data + static_cast<size_t>(w) * l.bpp * static_cast<size_t>(l.bottomUp ? h - 1 - y : y);
}

// One row into RGBA pixels; the result is the AND of the pixels written,
// whose top byte is 255 exactly when every alpha was.
template <int kBpp, int kR, int kG, int kB, int kA>
uint32_t localExpand(const uint8_t* s, uint32_t* d, int w) {
    uint32_t all = 0xFFFFFFFFu;
    for (int x = 0; x < w; x++, s += kBpp) {
        uint32_t a = kA < 0 ? 255u : s[kA < 0 ? 0 : kA];
        uint32_t p = s[kR] | static_cast<uint32_t>(s[kG]) << 8 | static_cast<uint32_t>(s[kB]) << 16 | a << 24;
        d[x] = p;
        all &= p;
    }
    return all;
}

// RGB, the decoders' usual output: four pixels from three 32-bit words
// (the bytes are in memory order, as the pixels), the rest one by one.
uint32_t localExpandRgb(const uint8_t* s, uint32_t* d, int w) {
    int x = 0;
    for (; x + 4 <= w; x += 4, s += 12) {
        uint32_t a, b, c;
        memcpy(&a, s, 4);
        memcpy(&b, s + 4, 4);
        memcpy(&c, s + 8, 4);
        d[x] = a | 0xFF000000u;
        d[x + 1] = a >> 24 | b << 8 | 0xFF000000u;
        d[x + 2] = b >> 16 | c << 16 | 0xFF000000u;
        d[x + 3] = c >> 8 | 0xFF000000u;
    }
    for (; x < w; x++, s += 3)
        d[x] = s[0] | static_cast<uint32_t>(s[1]) << 8 | static_cast<uint32_t>(s[2]) << 16 | 0xFF000000u;
    return 0xFF000000u;
}

uint32_t localExpandRow(const Layout& l, const uint8_t* s, uint32_t* d, int w) {
    switch (l.bpp * 16 + l.r) {
    case 4 * 16 + 0: {
        memcpy(d, s, static_cast<size_t>(w) * 4);
        uint32_t all = 0xFFFFFFFFu;
        for (int x = 0; x < w; x++) all &= d[x];
        return all;
    }
    case 3 * 16 + 0: return localExpandRgb(s, d, w);
    case 4 * 16 + 2: return localExpand<4, 2, 1, 0, 3>(s, d, w);
    case 3 * 16 + 2: return localExpand<3, 2, 1, 0, -1>(s, d, w);
    case 2 * 16 + 0: return localExpand<2, 0, 0, 0, 1>(s, d, w);
    default: return localExpand<1, 0, 0, 0, -1>(s, d, w);
    }
}

// One mask row: the mask's blue becomes the alpha of the first w pixels;
// the result is the AND of the alphas written.
template <int kBpp, int kB>
uint32_t localMaskRow(const uint8_t* s, uint32_t* d, int w) {
    uint32_t all = 255;
    for (int x = 0; x < w; x++) {
        uint32_t a = s[x * kBpp + kB];
        d[x] = (d[x] & 0x00FFFFFFu) | a << 24;
        all &= a;
    }
    return all;
}

uint32_t localMaskRowAny(const Layout& l, const uint8_t* s, uint32_t* d, int w) {
    switch (l.bpp * 16 + l.b) {
    case 1 * 16 + 0: return localMaskRow<1, 0>(s, d, w);
    case 2 * 16 + 0: return localMaskRow<2, 0>(s, d, w);
    case 3 * 16 + 2: return localMaskRow<3, 2>(s, d, w);
    case 3 * 16 + 0: return localMaskRow<3, 0>(s, d, w);
    case 4 * 16 + 0: return localMaskRow<4, 0>(s, d, w);
    default: return localMaskRow<4, 2>(s, d, w);
    }
}

void localClearMargin(FXPixmap* p, uint32_t v) {
    for (int y = 0; y < p->bufHeight; y++) {
        uint32_t* row = p->Row(y);
        for (int x = y < p->usedHeight ? p->usedWidth : 0; x < p->bufWidth; x++) row[x] = v;
    }
}

}  // namespace

FXCanvas::FXCanvas()
    : opaque(true), detectTransparency(true), transparencyPicture(false), clearBeforeLoad(true) {
    clearColor[0] = clearColor[1] = clearColor[2] = clearColor[3] = 0.0f;
}

FXCanvas::~FXCanvas() { pixmap.Destroy(); }

void FXCanvas::Destroy() {
    pixmap.Destroy();
    opaque = true;
    transparencyPicture = false;
}

void FXCanvas::Clear(float* rgba) {
    if (!rgba) return;
    pixmap.Clear(static_cast<int>(localPack(rgba)));
}

bool FXCanvas::Decode(Source src, const char* path, int type, const uint8_t* data, size_t size, bool resize,
                      float sx, float sy) {
    if (!fxDevilReady()) return false;
    bool fromFile = src == kFromFile;
    NativePath native(fromFile ? path : "");
    if (!localProbeSource(fromFile, native.text, "data", type, data, size)) return false;

    FXDevilLock lock;
    ImageNames names;
    int w = 0, h = 0;
    if (!localDecodeChecked("picture", fromFile, native.text, type, data, size, &names, &w, &h)) return false;
    if (resize) {
        // The product as the engine always computed it: in single precision,
        // truncated toward zero.
        float fw = static_cast<float>(w) * sx;
        float fh = static_cast<float>(h) * sy;
        if (!(fw >= 1.0f && fh >= 1.0f && fw < FX_PICT_MAX_SIDE + 1.0f && fh < FX_PICT_MAX_SIDE + 1.0f) ||
            !fxPictSizeAllowed(static_cast<int>(fw), static_cast<int>(fh))) {
            err("picture %s scaled to %g x %g: refused\n", native.text, static_cast<double>(fw),
                static_cast<double>(fh));
            return false;
        }
        int nw = static_cast<int>(fw);
        int nh = static_cast<int>(fh);
        int depth = static_cast<int64_t>(nw) * nh * kScaleDepth <= kMaxScaleVolume ? kScaleDepth : 1;
        piluImageParameter(FX_ILU_FILTER, FX_ILU_SCALE_BELL);
        if (!piluScale(static_cast<FXILuint>(nw), static_cast<FXILuint>(nh), static_cast<FXILuint>(depth)) ||
            pilGetInteger(FX_IL_IMAGE_WIDTH) != nw || pilGetInteger(FX_IL_IMAGE_HEIGHT) != nh) {
            err("picture %s could not be scaled to %d x %d\n", native.text, nw, nh);
            return false;
        }
        w = nw;
        h = nh;
        if (!localBoundImageSound(native.text)) return false;
    }
    Layout l;
    if (!localPixels(&names, w, h, &l)) return false;
    if (!pixmap.Realloc(w, h)) return false;
    // The used area is overwritten below, so clearing the margin alone gives
    // the whole buffer in the clear colour, at a fraction of the writes.
    if (clearBeforeLoad) localClearMargin(&pixmap, localPack(clearColor));

    // One pass from the decoder's pixels into the pixmap.
    uint32_t all = 0xFFFFFFFFu;
    for (int y = 0; y < h; y++) {
        const uint8_t* s = localRow(l, w, h, y);
        uint32_t* d = pixmap.Row(y);
        if (transparencyPicture) {
            for (int x = 0; x < w; x++) d[x] = (static_cast<uint32_t>(s[x * l.bpp + l.r]) << 24) | 0x00FFFFFFu;
        } else {
            all &= localExpandRow(l, s, d, w);
        }
    }
    opaque = !transparencyPicture && (all & 0xFF000000u) == 0xFF000000u;
    return true;
}

bool FXCanvas::CreateFromPict(const char* path) {
    if (!path || !*path) return false;
    transparencyPicture = detectTransparency ? localDetectTransFilename(path) : false;
    return Decode(kFromFile, path, 0, nullptr, 0, false, 1.0f, 1.0f);
}

bool FXCanvas::CreateFromPictResize(const char* path, float sx, float sy) {
    if (!path || !*path) return false;
    transparencyPicture = detectTransparency ? localDetectTransFilename(path) : false;
    return Decode(kFromFile, path, 0, nullptr, 0, true, sx, sy);
}

bool FXCanvas::CreateFromPictCN(FXPackage* pck, int record) {
    const uint8_t* data = nullptr;
    size_t size = 0;
    int type = 0;
    if (!localRecord(pck, record, &data, &size, &type)) return false;
    return fxLoadNamingDamage("picture", record, false,
                              [&] { return Decode(kFromMemory, nullptr, type, data, size, false, 1.0f, 1.0f); });
}

bool FXCanvas::CreateFromPictC(FXPackage* pck, const char* key) {
    int record = 0;
    if (!localParseKey(key, &record)) return false;
    return CreateFromPictCN(pck, record);
}

bool FXCanvas::CreateFromBufType(int type, unsigned char* data, unsigned int size) {
    return Decode(kFromMemory, nullptr, type, data, size, false, 1.0f, 1.0f);
}

bool FXCanvas::CreateFromBufJpg(unsigned char* data, unsigned int size) {
    return CreateFromBufType(FX_IL_JPG, data, size);
}

bool FXCanvas::CreateFromBufBmp(unsigned char* data, unsigned int size) {
    return CreateFromBufType(FX_IL_BMP, data, size);
}

bool FXCanvas::DecodeMask(Source src, const char* path, int type, const uint8_t* data, size_t size, bool exact) {
    if (!fxDevilReady()) return false;
    bool fromFile = src == kFromFile;
    NativePath native(fromFile ? path : "");
    if (!localProbeSource(fromFile, native.text, "mask data", type, data, size)) return false;

    FXDevilLock lock;
    ImageNames names;
    int w = 0, h = 0;
    if (!localDecodeChecked("mask", fromFile, native.text, type, data, size, &names, &w, &h)) return false;
    const int uw = pixmap.usedWidth, uh = pixmap.usedHeight;
    if (!pixmap.pixels) return false;
    if (exact && (w != uw || h != uh)) {
        err("mask of %d x %d does not fit its frame of %d x %d: refused\n", w, h, uw, uh);
        return false;
    }
    if (w > uw || h > uh) return false;
    Layout l;
    if (!localPixels(&names, w, h, &l)) return false;

    // One pass from the decoder's pixels into the alpha bytes.
    uint32_t all = 255;
    for (int y = 0; y < uh; y++) {
        uint32_t* d = pixmap.Row(y);
        int x = 0;
        if (y < h) {
            all &= localMaskRowAny(l, localRow(l, w, h, y), d, w);
            x = w;
        }
        for (; x < uw; x++) d[x] &= 0x00FFFFFFu;
    }
    opaque = !exact || all == 255;
    return true;
}

bool FXCanvas::LoadMask(const char* path) {
    if (!path || !*path) return false;
    return DecodeMask(kFromFile, path, 0, nullptr, 0, false);
}

bool FXCanvas::LoadFrameMask(const char* path) {
    if (!path || !*path) return false;
    return DecodeMask(kFromFile, path, 0, nullptr, 0, true);
}

bool FXCanvas::LoadFrameMaskBufType(int type, unsigned char* data, unsigned int size) {
    return DecodeMask(kFromMemory, nullptr, type, data, size, true);
}

bool FXCanvas::LoadMaskCN(FXPackage* pck, int record) {
    const uint8_t* data = nullptr;
    size_t size = 0;
    int type = 0;
    if (!localRecord(pck, record, &data, &size, &type)) return false;
    return fxLoadNamingDamage("mask", record, false,
                              [&] { return DecodeMask(kFromMemory, nullptr, type, data, size, false); });
}

bool FXCanvas::LoadMaskC(FXPackage* pck, const char* key) {
    int record = 0;
    if (!localParseKey(key, &record)) return false;
    return LoadMaskCN(pck, record);
}

void FXCanvas::ConvertColsToLayered() {
    if (!pixmap.pixels) return;
    for (int y = 0; y < pixmap.usedHeight; y++) {
        uint32_t* d = pixmap.Row(y);
        for (int x = 0; x < pixmap.usedWidth; x++) {
            uint32_t p = d[x];
            uint32_t a = p >> 24;
            uint32_t r = (p & 0xFF) * a / 255;
            uint32_t g = ((p >> 8) & 0xFF) * a / 255;
            uint32_t b = ((p >> 16) & 0xFF) * a / 255;
            d[x] = (a << 24) | (b << 16) | (g << 8) | r;
        }
    }
}

void FXCanvas::MixColorLayer(float* rgba) {
    if (!rgba) return;
    rgba[0] *= rgba[3];
    rgba[1] *= rgba[3];
    rgba[2] *= rgba[3];
    float k = 1.0f - rgba[3];
    if (!pixmap.pixels) return;
    for (int y = 0; y < pixmap.usedHeight; y++) {
        uint32_t* d = pixmap.Row(y);
        for (int x = 0; x < pixmap.usedWidth; x++) {
            float c[4];
            fxColFromInt1(c, d[x]);
            c[0] = c[0] * k + rgba[0];
            c[1] = c[1] * k + rgba[1];
            c[2] = c[2] * k + rgba[2];
            d[x] = localPack(c);
        }
    }
}

void FXCanvas::Copy(FXCanvas* src) {
    if (!src || src == this) return;
    const FXPixmap& sp = src->pixmap;
    int w = sp.pixels ? sp.usedWidth : 0;
    int h = sp.pixels ? sp.usedHeight : 0;
    if (!pixmap.Realloc(w, h)) return;
    for (int y = 0; y < h; y++) {
        const uint32_t* s = sp.pixels + static_cast<int64_t>(y) * sp.bufWidth;
        uint32_t* d = pixmap.Row(y);
        memcpy(d, s, static_cast<size_t>(w) * 4);
        for (int x = 0; x < w; x++)
            if ((s[x] >> 24) < 255) opaque = false;
    }
}

void FXCanvas::ExtendEdges() {
    FXPixmap& p = pixmap;
    if (!p.pixels || p.usedWidth < 1 || p.usedHeight < 1) return;
    for (int y = 0; y < p.usedHeight; y++) {
        uint32_t* row = p.Row(y);
        uint32_t last = row[p.usedWidth - 1];
        for (int x = p.usedWidth; x < p.bufWidth; x++) row[x] = last;
    }
    const uint32_t* src = p.Row(p.usedHeight - 1);
    for (int y = p.usedHeight; y < p.bufHeight; y++) memcpy(p.Row(y), src, static_cast<size_t>(p.bufWidth) * 4);
}

bool FXCanvas::Save(const char* path, int x0, int y0, int x1, int y1, int channels) {
    int64_t w = static_cast<int64_t>(x1) - x0;
    int64_t h = static_cast<int64_t>(y1) - y0;
    if (w < 1 || h < 1) return false;
    if (!path || !*path) return false;
    if (!pixmap.pixels || x0 < 0 || y0 < 0 || x1 > pixmap.bufWidth || y1 > pixmap.bufHeight) {
        err("save of %s: region %d,%d-%d,%d lies outside the picture\n", path, x0, y0, x1, y1);
        return false;
    }
    if (!fxDevilReady()) return false;
    size_t n = static_cast<size_t>(w * h * channels);
    uint8_t* buf = new (std::nothrow) uint8_t[n];
    if (!buf) {
        err("save of %s: out of memory\n", path);
        return false;
    }
    // DevIL's images start at the lower left: the region's last row first.
    uint8_t* o = buf;
    for (int64_t y = y1 - 1; y >= y0; y--) {
        const uint32_t* s = pixmap.Row(static_cast<int>(y)) + x0;
        for (int64_t x = 0; x < w; x++) {
            uint32_t p = s[x];
            if (channels == 3) {
                if ((p >> 24) == 0) p = 0;
                o[0] = static_cast<uint8_t>(p);
                o[1] = static_cast<uint8_t>(p >> 8);
                o[2] = static_cast<uint8_t>(p >> 16);
            } else if (channels == 4) {
                memcpy(o, &p, 4);
            } else {
                o[0] = static_cast<uint8_t>(p >> 24);
            }
            o += channels;
        }
    }
    FXILenum format = channels == 3 ? FX_IL_RGB : channels == 4 ? FX_IL_RGBA : FX_IL_LUMINANCE;
    NativePath native(path);
    bool saved = false;
    {
        FXDevilLock lock;
        ImageNames names;
        pilGenImages(1, &names.ids[0]);
        pilBindImage(names.ids[0]);
        if (!pilTexImage(static_cast<FXILuint>(w), static_cast<FXILuint>(h), 1, static_cast<FXILubyte>(channels),
                         format, FX_IL_UNSIGNED_BYTE, buf)) {
            err("save of %s: no image of %lld x %lld\n", path, static_cast<long long>(w),
                static_cast<long long>(h));
        } else {
            pilEnable(FX_IL_FILE_OVERWRITE);
            // A file that was not written is a failed save, not a success.
            saved = pilSaveImage(native.text) != 0;
            if (!saved) err("save of %s failed\n", path);
        }
    }
    delete[] buf;
    return saved;
}

bool FXCanvas::SaveToPict(const char* path) { return Save(path, 0, 0, pixmap.usedWidth, pixmap.usedHeight, 3); }

bool FXCanvas::SaveToPict1(const char* path, int x0, int y0, int x1, int y1) { return Save(path, x0, y0, x1, y1, 3); }

bool FXCanvas::SaveToPict2(const char* path, int x0, int y0, int x1, int y1) { return Save(path, x0, y0, x1, y1, 4); }

bool FXCanvas::SaveToMask(const char* path) { return Save(path, 0, 0, pixmap.usedWidth, pixmap.usedHeight, 1); }

bool FXCanvas::SaveToMask1(const char* path, int x0, int y0, int x1, int y1) { return Save(path, x0, y0, x1, y1, 1); }

void FXCanvas::SetJpegQuality(int q) {
    if (!fxDevilReady()) return;
    FXDevilLock lock;
    pilSetInteger(FX_IL_JPG_QUALITY, q);
}

namespace {

// Pixel coordinate of a texture coordinate: truncated toward zero and kept
// inside the buffer (NaN counts as 0).
int localSampleCoord(int used, float t, int buf) {
    float f = static_cast<float>(used) * t;
    if (!(f > 0.0f)) return 0;
    if (f >= static_cast<float>(buf - 1)) return buf - 1;
    return static_cast<int>(f);
}

}  // namespace

void FXCanvas::GetColor(float u, float v, float* rgba) {
    if (!rgba || !pixmap.pixels || pixmap.usedWidth < 1 || pixmap.usedHeight < 1) return;
    int x = localSampleCoord(pixmap.usedWidth, u, pixmap.bufWidth);
    int y = localSampleCoord(pixmap.usedHeight, v, pixmap.bufHeight);
    fxColFromInt1(rgba, pixmap.Row(y)[x]);
}

float FXCanvas::GetBump(float u, float v) {
    if (!pixmap.pixels || pixmap.usedWidth < 1 || pixmap.usedHeight < 1) return 0.0f;
    int x = localSampleCoord(pixmap.usedWidth, u, pixmap.bufWidth);
    int y = localSampleCoord(pixmap.usedHeight, 1.0f - v, pixmap.bufHeight);
    return static_cast<float>(pixmap.Row(y)[x] & 0xFF) / 255.0f;
}
