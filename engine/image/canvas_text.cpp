// Text into canvases with FreeType: one line, white coverage on black, the
// line as high as the font's cell and as wide as the glyphs' advances.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "base/paths.h"
#include "base/platform.h"
#include "base/trace.h"
#include "image/canvas.h"
#include "math/3dmath.h"

namespace {

const char kDefaultFace[] = "truetype/dejavu/DejaVuSans.ttf";
const char kDefaultFolder[] = "/usr/share/fonts";
const int kDefaultCell = 16;

FT_Library localLibrary() {
    static std::once_flag once;
    static FT_Library lib = nullptr;
    std::call_once(once, [] {
        if (FT_Init_FreeType(&lib) != 0) {
            lib = nullptr;
            err("FreeType could not be initialised\n");
        }
    });
    return lib;
}

// FreeType faces are not safe to use from two threads at once, and fonts are
// shared by whoever draws text.
// Never destroyed: fonts held by objects of static lifetime lock it at exit.
std::mutex& localFaceLock() {
    static std::mutex* m = new std::mutex;
    return *m;
}

void localFontsFolder(char* out, int size) {
    const char* t = fxGetTypePath(2);
    // The folder kept by the path table when it names one, else the platform's.
    if (t && t[0] && !(fxIsSep(t[0]) && t[1] == 0)) {
        snprintf(out, static_cast<size_t>(size), "%s", t);
        return;
    }
    if (!fxPlatformFontsFolder(out, size)) snprintf(out, static_cast<size_t>(size), "%s", kDefaultFolder);
}

void localJoin(char* out, int size, const char* folder, const char* file) {
    size_t n = strlen(folder);
    bool sep = n > 0 && fxIsSep(folder[n - 1]);
    snprintf(out, static_cast<size_t>(size), "%s%s%s", folder, sep ? "" : "/", file);
}

// Decodes UTF-8; a byte that does not start a well-formed sequence stands
// for itself (Latin-1).
void localDecodeNarrow(const char* text, std::vector<uint32_t>* out) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    while (*s) {
        uint32_t c = *s;
        int extra = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 ? (c <= 0xEF ? 2 : -1) : c >= 0xC2 && c <= 0xDF ? 1 : 0;
        if (c < 0x80 || extra <= 0) {
            out->push_back(c);
            s++;
            continue;
        }
        uint32_t v = c & (0x3Fu >> extra);
        int i = 1;
        for (; i <= extra; i++) {
            if ((s[i] & 0xC0) != 0x80) break;
            v = (v << 6) | (s[i] & 0x3F);
        }
        bool shortest = (extra == 2 && v >= 0x800 && (v < 0xD800 || v > 0xDFFF)) ||
                        (extra == 3 && v >= 0x10000 && v <= 0x10FFFF) || extra == 1;
        if (i <= extra || !shortest) {
            out->push_back(c);
            s++;
            continue;
        }
        out->push_back(v);
        s += extra + 1;
    }
}

// UTF-16; a lone surrogate stays as it is.
template <typename Unit>
void localDecodeUtf16(const Unit* s, std::vector<uint32_t>* out) {
    for (size_t i = 0; s[i]; i++) {
        uint32_t c = static_cast<uint32_t>(s[i]) & 0xFFFF;
        uint32_t n = static_cast<uint32_t>(s[i + 1]) & 0xFFFF;
        if (c >= 0xD800 && c <= 0xDBFF && n >= 0xDC00 && n <= 0xDFFF) {
            out->push_back(0x10000 + ((c - 0xD800) << 10) + (n - 0xDC00));
            i++;
        } else {
            out->push_back(c);
        }
    }
}

void localDecodeWide(const wchar_t* s, std::vector<uint32_t>* out) {
    if (sizeof(wchar_t) == 2) {
        localDecodeUtf16(s, out);
        return;
    }
    for (; *s; s++) out->push_back(static_cast<uint32_t>(*s));
}

// The pen advance of one character in whole pixels; -1 when the glyph could
// not be loaded (it then takes no room).
int localAdvance(FT_Face face, uint32_t code, FT_Int32 flags) {
    FT_UInt gi = FT_Get_Char_Index(face, code);
    if (FT_Load_Glyph(face, gi, flags) != 0) return -1;
    return static_cast<int>((face->glyph->advance.x + 32) >> 6);
}

bool localMeasure(FXFontGDI* font, const std::vector<uint32_t>& codes, int* w, int* h) {
    if (!font || !font->face) return false;
    int64_t sum = 0;
    for (uint32_t c : codes) {
        int a = localAdvance(font->face, c, FT_LOAD_DEFAULT);
        if (a > 0) sum += a;
        // Far beyond any picture: the canvas refuses it anyway.
        if (sum > INT32_MAX / 2) break;
    }
    *w = static_cast<int>(sum);
    *h = font->cellHeight;
    return true;
}

// Coverage of one line: w x h bytes, 0 for black, 255 for full white.
void localRender(FXFontGDI* font, const std::vector<uint32_t>& codes, int w, int h, std::vector<uint8_t>* cov) {
    cov->assign(static_cast<size_t>(w) * h, 0);
    FT_Face face = font->face;
    int pen = 0;
    for (uint32_t c : codes) {
        FT_UInt gi = FT_Get_Char_Index(face, c);
        if (FT_Load_Glyph(face, gi, FT_LOAD_DEFAULT) != 0) continue;
        int adv = static_cast<int>((face->glyph->advance.x + 32) >> 6);
        if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0) {
            const FT_Bitmap& bm = face->glyph->bitmap;
            int left = pen + face->glyph->bitmap_left;
            int top = font->ascent - face->glyph->bitmap_top;
            int rows = static_cast<int>(bm.rows), cols = static_cast<int>(bm.width);
            int pitch = bm.pitch < 0 ? -bm.pitch : bm.pitch;
            for (int r = 0; r < rows && bm.buffer; r++) {
                int y = top + r;
                if (y < 0 || y >= h) continue;
                // A negative pitch means the rows run bottom-up in memory.
                const uint8_t* src = bm.buffer + static_cast<int64_t>(bm.pitch < 0 ? rows - 1 - r : r) * pitch;
                uint8_t* dst = cov->data() + static_cast<size_t>(y) * w;
                for (int k = 0; k < cols; k++) {
                    int x = left + k;
                    if (x < 0 || x >= w) continue;
                    uint8_t v;
                    if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
                        v = src[k];
                        if (bm.num_grays != 256 && bm.num_grays > 1) v = static_cast<uint8_t>(v * 255 / (bm.num_grays - 1));
                    } else if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
                        v = (src[k >> 3] & (0x80 >> (k & 7))) ? 255 : 0;
                    } else if (bm.pixel_mode == FT_PIXEL_MODE_BGRA) {
                        v = src[4 * k + 3];
                    } else {
                        continue;
                    }
                    if (v > dst[x]) dst[x] = v;
                }
            }
        }
        pen += adv;
    }
}

}  // namespace

const char* fxDefaultFontFile() {
    static char path[FXStr::kSize];
    char folder[FXStr::kSize];
    localFontsFolder(folder, sizeof folder);
    localJoin(path, sizeof path, folder, kDefaultFace);
    char native[FXStr::kSize];
    fxNativePath(path, native, sizeof native);
    if (!fxPlatformPathExists(native)) localJoin(path, sizeof path, kDefaultFolder, kDefaultFace);
    return path;
}

FXFontGDI::FXFontGDI() : face(nullptr), height(0), ascent(0), cellHeight(0) {}

FXFontGDI::~FXFontGDI() { Destroy(); }

void FXFontGDI::Destroy() {
    if (face) {
        std::lock_guard<std::mutex> g(localFaceLock());
        FT_Done_Face(face);
    }
    face = nullptr;
    height = ascent = cellHeight = 0;
}

bool FXFontGDI::Create(const char* file, int h) {
    Destroy();
    FT_Library lib = localLibrary();
    if (!lib) return false;
    if (h < -4096 || h > 4096) {
        err("font height %d refused\n", h);
        return false;
    }
    char path[FXStr::kSize];
    if (!file || !*file) {
        snprintf(path, sizeof path, "%s", fxDefaultFontFile());
    } else {
        fxNativePath(file, path, sizeof path);
        if (!fxPlatformPathExists(path)) {
            char folder[FXStr::kSize];
            localFontsFolder(folder, sizeof folder);
            char joined[FXStr::kSize];
            localJoin(joined, sizeof joined, folder, file);
            fxNativePath(joined, path, sizeof path);
        }
    }
    std::lock_guard<std::mutex> g(localFaceLock());
    FT_Face f = nullptr;
    if (FT_New_Face(lib, path, 0, &f) != 0) {
        err("font %s could not be opened\n", path);
        return false;
    }
    if (h == 0) h = kDefaultCell;
    FT_Error e;
    if (h < 0) {
        e = FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(-h));
    } else {
        FT_Size_RequestRec req;
        memset(&req, 0, sizeof req);
        req.type = FT_SIZE_REQUEST_TYPE_CELL;
        req.height = static_cast<FT_Long>(h) * 64;
        e = FT_Request_Size(f, &req);
    }
    if (e != 0) {
        err("font %s has no size %d\n", path, h);
        FT_Done_Face(f);
        return false;
    }
    const FT_Size_Metrics& m = f->size->metrics;
    int asc = static_cast<int>((m.ascender + 63) >> 6);
    int desc = static_cast<int>((-m.descender + 63) >> 6);
    if (h > 0) {
        // A cell request fixes the line height; the baseline divides it in
        // the face's own proportion.
        int units = f->ascender - f->descender;
        if (FT_IS_SCALABLE(f) && units > 0)
            asc = static_cast<int>(std::lround(static_cast<double>(h) * f->ascender / units));
        if (asc > h) asc = h;
        cellHeight = h;
    } else {
        cellHeight = asc + desc;
    }
    face = f;
    height = h;
    ascent = asc;
    return true;
}

bool FXCanvas::TextFromCodes(const uint32_t* codes, int n, FXFontGDI* font, float* rgba) {
    if (!font || !font->face || !rgba) return false;
    std::vector<uint32_t> v(codes, codes + n);
    std::vector<uint8_t> cov;
    int w = 0, h = 0;
    {
        std::lock_guard<std::mutex> g(localFaceLock());
        if (!localMeasure(font, v, &w, &h)) return false;
        if (w == 0 || h == 0) return false;
        if (!pixmap.Realloc(w, h)) return false;
        localRender(font, v, w, h, &cov);
    }
    float col[4] = {rgba[0], rgba[1], rgba[2], rgba[3]};
    for (float& x : col)
        if (std::isnan(x)) x = 0.0f;
    fxColCutRange(col);
    uint32_t c = fxColToInt1(col) & 0x00FFFFFFu;
    float alpha = col[3];
    opaque = true;
    for (int y = 0; y < h; y++) {
        uint32_t* d = pixmap.Row(y);
        const uint8_t* s = cov.data() + static_cast<size_t>(y) * w;
        for (int x = 0; x < w; x++) {
            uint32_t a = static_cast<uint32_t>(static_cast<float>(s[x]) * alpha);
            if (a < 255) opaque = false;
            d[x] = (a << 24) | c;
        }
    }
    return true;
}

bool FXCanvas::CreateFromText(const char* text, FXFontGDI* font, float* rgba) {
    if (!text) return false;
    std::vector<uint32_t> codes;
    localDecodeNarrow(text, &codes);
    return TextFromCodes(codes.data(), static_cast<int>(codes.size()), font, rgba);
}

bool FXCanvas::CreateFromTextW(const fxwchar* text, FXFontGDI* font, float* rgba) {
    if (!text) return false;
    std::vector<uint32_t> codes;
    localDecodeUtf16(text, &codes);
    return TextFromCodes(codes.data(), static_cast<int>(codes.size()), font, rgba);
}

bool FXCanvas::CreateFromTextW(const wchar_t* text, FXFontGDI* font, float* rgba) {
    if (!text) return false;
    std::vector<uint32_t> codes;
    localDecodeWide(text, &codes);
    return TextFromCodes(codes.data(), static_cast<int>(codes.size()), font, rgba);
}

bool FXCanvas::GetTextSize(const char* text, FXFontGDI* font, int* w, int* h) {
    if (!text) text = "";
    std::vector<uint32_t> codes;
    localDecodeNarrow(text, &codes);
    int tw = 0, th = 0;
    std::lock_guard<std::mutex> g(localFaceLock());
    if (!localMeasure(font, codes, &tw, &th)) return false;
    if (w) *w = tw;
    if (h) *h = th;
    return true;
}

bool FXCanvas::GetTextWSize(const fxwchar* text, FXFontGDI* font, int* w, int* h) {
    static const fxwchar kEmpty[1] = {0};
    std::vector<uint32_t> codes;
    localDecodeUtf16(text ? text : kEmpty, &codes);
    int tw = 0, th = 0;
    std::lock_guard<std::mutex> g(localFaceLock());
    if (!localMeasure(font, codes, &tw, &th)) return false;
    if (w) *w = tw;
    if (h) *h = th;
    return true;
}

bool FXCanvas::GetTextWSize(const wchar_t* text, FXFontGDI* font, int* w, int* h) {
    std::vector<uint32_t> codes;
    localDecodeWide(text ? text : L"", &codes);
    int tw = 0, th = 0;
    std::lock_guard<std::mutex> g(localFaceLock());
    if (!localMeasure(font, codes, &tw, &th)) return false;
    if (w) *w = tw;
    if (h) *h = th;
    return true;
}
