// Text into canvases: one line, white coverage on black, the line as high as
// the font's cell and as wide as the glyphs' advances. The glyphs come from
// the text twin (canvas_text.h): FreeType, or GDI on Windows.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "base/paths.h"
#include "base/platform.h"
#include "base/trace.h"
#include "image/canvas.h"
#include "image/canvas_text.h"
#include "math/3dmath.h"

namespace {

const char kDefaultFace[] = "truetype/dejavu/DejaVuSans.ttf";
const char kDefaultFolder[] = "/usr/share/fonts";
const int kDefaultCell = 16;

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

bool localMeasure(FXFontGDI* font, const std::vector<uint32_t>& codes, int* w, int* h) {
    if (!font || !font->face) return false;
    *w = static_cast<int>(fxTextAdvances(font, codes));
    *h = font->cellHeight;
    return true;
}

}  // namespace

std::mutex& fxTextLock() {
    static std::mutex* m = new std::mutex;
    return *m;
}

const char* fxDefaultFontFile() {
    static char path[FXStr::kSize];
    char folder[FXStr::kSize];
    localFontsFolder(folder, sizeof folder);
    localJoin(path, sizeof path, folder, kDefaultFace);
    char native[FXStr::kSize];
    fxNativePath(path, native, sizeof native);
    if (fxPlatformPathExists(native)) return path;
    localJoin(path, sizeof path, kDefaultFolder, kDefaultFace);
    fxNativePath(path, native, sizeof native);
    // Empty: the system's own face (a Windows without DejaVu).
    if (!fxPlatformPathExists(native)) path[0] = 0;
    return path;
}

FXFontGDI::FXFontGDI() : face(nullptr), height(0), ascent(0), cellHeight(0) {}

FXFontGDI::~FXFontGDI() { Destroy(); }

void FXFontGDI::Destroy() {
    if (face) {
        std::lock_guard<std::mutex> g(fxTextLock());
        fxTextCloseFace(this);
    }
    face = nullptr;
    height = ascent = cellHeight = 0;
}

bool FXFontGDI::Create(const char* file, int h) {
    Destroy();
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
            // Relative to the system font folder, else to the folder the
            // default face comes from (where the system folder lacks it).
            char folder[FXStr::kSize];
            localFontsFolder(folder, sizeof folder);
            char joined[FXStr::kSize], native[FXStr::kSize];
            localJoin(joined, sizeof joined, folder, file);
            fxNativePath(joined, path, sizeof path);
            localJoin(joined, sizeof joined, kDefaultFolder, file);
            fxNativePath(joined, native, sizeof native);
            if (!fxPlatformPathExists(path) && fxPlatformPathExists(native)) snprintf(path, sizeof path, "%s", native);
        }
    }
    if (h == 0) h = kDefaultCell;
    std::lock_guard<std::mutex> g(fxTextLock());
    if (!fxTextOpenFace(this, path, h)) return false;
    height = h;
    return true;
}

bool FXCanvas::TextFromCodes(const uint32_t* codes, int n, FXFontGDI* font, float* rgba) {
    if (!font || !font->face || !rgba) return false;
    std::vector<uint32_t> v(codes, codes + n);
    std::vector<uint8_t> cov;
    int w = 0, h = 0;
    {
        std::lock_guard<std::mutex> g(fxTextLock());
        if (!localMeasure(font, v, &w, &h)) return false;
        if (w == 0 || h == 0) return false;
        if (!pixmap.Realloc(w, h)) return false;
        fxTextRender(font, v, w, h, &cov);
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
    std::lock_guard<std::mutex> g(fxTextLock());
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
    std::lock_guard<std::mutex> g(fxTextLock());
    if (!localMeasure(font, codes, &tw, &th)) return false;
    if (w) *w = tw;
    if (h) *h = th;
    return true;
}

bool FXCanvas::GetTextWSize(const wchar_t* text, FXFontGDI* font, int* w, int* h) {
    std::vector<uint32_t> codes;
    localDecodeWide(text ? text : L"", &codes);
    int tw = 0, th = 0;
    std::lock_guard<std::mutex> g(fxTextLock());
    if (!localMeasure(font, codes, &tw, &th)) return false;
    if (w) *w = tw;
    if (h) *h = th;
    return true;
}
