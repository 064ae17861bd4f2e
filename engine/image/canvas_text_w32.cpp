// Glyphs with GDI: the font file is added privately to the process, chosen by
// the family, weight and slant its tables name, and each character is drawn
// white on black into a DIB section whose grey is the coverage.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "base/trace.h"
#include "image/canvas.h"
#include "image/canvas_text.h"

namespace {

struct LocalFace {
    HFONT font;
    HANDLE resource;  // the file's fonts, added for this process only
};

// What GDI needs to pick the face of a TrueType or OpenType file.
struct LocalNames {
    std::wstring family;
    int weight = FW_NORMAL;
    bool italic = false;
};

uint32_t localBe(const std::string& d, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; i++) v = (v << 8) | static_cast<uint8_t>(d[at + static_cast<size_t>(i)]);
    return v;
}

// The Windows family name (name 1) and the OS/2 weight and italic bit of a
// single-face font file; false when the file is not one or is damaged.
bool localReadNames(const std::string& d, LocalNames* out) {
    if (d.size() < 12) return false;
    uint32_t tables = localBe(d, 4, 2);
    if (12 + 16 * static_cast<size_t>(tables) > d.size()) return false;
    bool named = false;
    for (uint32_t t = 0; t < tables; t++) {
        size_t rec = 12 + 16 * static_cast<size_t>(t);
        uint32_t tag = localBe(d, rec, 4);
        size_t off = localBe(d, rec + 8, 4), len = localBe(d, rec + 12, 4);
        if (off > d.size() || len > d.size() - off) return false;
        if (tag == 0x4F532F32 && len >= 64) {  // 'OS/2'
            uint32_t w = localBe(d, off + 4, 2);
            if (w >= 100 && w <= 1000) out->weight = static_cast<int>(w);
            out->italic = (localBe(d, off + 62, 2) & 1) != 0;
        } else if (tag == 0x6E616D65 && len >= 6) {  // 'name'
            size_t count = localBe(d, off + 2, 2), strings = off + localBe(d, off + 4, 2);
            if (6 + 12 * count > len) return false;
            for (size_t i = 0; i < count && !named; i++) {
                size_t r = off + 6 + 12 * i;
                uint32_t platform = localBe(d, r, 2), id = localBe(d, r + 6, 2);
                size_t n = localBe(d, r + 8, 2), at = strings + localBe(d, r + 10, 2);
                if (platform != 3 || id != 1 || at > d.size() || n > d.size() - at || n < 2) continue;
                out->family.clear();
                for (size_t k = 0; k + 1 < n; k += 2) out->family.push_back(static_cast<wchar_t>(localBe(d, at + k, 2)));
                named = !out->family.empty() && out->family.size() < LF_FACESIZE;
            }
        }
    }
    return named;
}

bool localReadFile(const char* path, std::string* out) {
    FILE* f = fopen(path, "rb");
    if (!f) return false;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0 && out->size() < (64u << 20)) out->append(buf, n);
    bool ok = !ferror(f);
    fclose(f);
    return ok && !out->empty();
}

// A memory device context with the font selected; released on leaving.
class LocalDC {
public:
    explicit LocalDC(HFONT font) : dc_(CreateCompatibleDC(nullptr)), old_(nullptr) {
        if (dc_ && font) old_ = SelectObject(dc_, font);
    }
    ~LocalDC() {
        if (!dc_) return;
        if (old_) SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    LocalDC(const LocalDC&) = delete;
    LocalDC& operator=(const LocalDC&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ old_;
};

LocalFace* localFace(FXFontGDI* font) { return static_cast<LocalFace*>(font->face); }

// One character as UTF-16 units; n is 0 for a value no UTF-16 holds.
int localUnits(uint32_t c, wchar_t* u) {
    if (c < 0x10000) {
        u[0] = static_cast<wchar_t>(c);
        return 1;
    }
    if (c > 0x10FFFF) return 0;
    c -= 0x10000;
    u[0] = static_cast<wchar_t>(0xD800 + (c >> 10));
    u[1] = static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    return 2;
}

// The advance of one character in whole pixels; 0 when the face has no
// glyph for it (it then takes no room and is not drawn).
int localAdvance(HDC dc, uint32_t c) {
    wchar_t u[2];
    int n = localUnits(c, u);
    if (n == 0) return 0;
    if (n == 1) {
        WORD gi = 0;
        if (GetGlyphIndicesW(dc, u, 1, &gi, GGI_MARK_NONEXISTING_GLYPHS) != 1 || gi == 0xFFFF) return 0;
    }
    SIZE sz;
    if (!GetTextExtentPoint32W(dc, u, n, &sz)) return 0;
    return sz.cx > 0 ? sz.cx : 0;
}

void localFree(LocalFace* f) {
    if (f->font) DeleteObject(f->font);
    if (f->resource) RemoveFontMemResourceEx(f->resource);
    delete f;
}

}  // namespace

bool fxTextOpenFace(FXFontGDI* font, const char* path, int h) {
    std::string data;
    LocalNames names;
    // No file: the user-interface face, or whatever TrueType face GDI maps
    // it to (Wine without Windows fonts maps it to one of the system's).
    bool system = !*path;
    if (system) {
        names.family = L"Segoe UI";
    } else if (!localReadFile(path, &data) || !localReadNames(data, &names)) {
        err("font %s could not be opened\n", path);
        return false;
    }
    LocalFace* f = new LocalFace{nullptr, nullptr};
    DWORD count = 0;
    if (!system) f->resource = AddFontMemResourceEx(&data[0], static_cast<DWORD>(data.size()), nullptr, &count);
    LOGFONTW lf = {};
    // GDI's height convention is the font's: negative the em, positive the cell.
    lf.lfHeight = h;
    lf.lfWeight = names.weight;
    lf.lfItalic = names.italic;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    lf.lfQuality = ANTIALIASED_QUALITY;  // grey edges, not ClearType colours
    wcsncpy(lf.lfFaceName, names.family.c_str(), LF_FACESIZE - 1);
    if (system || (f->resource && count > 0)) f->font = CreateFontIndirectW(&lf);
    TEXTMETRICW tm;
    wchar_t chosen[LF_FACESIZE] = L"";
    bool ok = false;
    if (f->font) {
        LocalDC dc(f->font);
        // GDI falls back to another face silently; only the file's own counts.
        ok = dc.get() && GetTextFaceW(dc.get(), LF_FACESIZE, chosen) > 0 &&
             (system || _wcsicmp(chosen, lf.lfFaceName) == 0) && GetTextMetricsW(dc.get(), &tm);
    }
    if (ok && system) trc("font: the system's face %ls\n", chosen);
    if (!ok) {
        err("font %s could not be opened\n", system ? "(the system's face)" : path);
        localFree(f);
        return false;
    }
    int asc = tm.tmAscent;
    if (h > 0) {
        // A cell request fixes the line height.
        if (asc > h) asc = h;
        font->cellHeight = h;
    } else {
        font->cellHeight = tm.tmHeight;
    }
    font->face = f;
    font->ascent = asc;
    return true;
}

void fxTextCloseFace(FXFontGDI* font) { localFree(localFace(font)); }

int64_t fxTextAdvances(FXFontGDI* font, const std::vector<uint32_t>& codes) {
    LocalDC dc(localFace(font)->font);
    if (!dc.get()) return 0;
    int64_t sum = 0;
    for (uint32_t c : codes) {
        sum += localAdvance(dc.get(), c);
        // Far beyond any picture: the canvas refuses it anyway.
        if (sum > INT32_MAX / 2) break;
    }
    return sum;
}

void fxTextRender(FXFontGDI* font, const std::vector<uint32_t>& codes, int w, int h, std::vector<uint8_t>* cov) {
    cov->assign(static_cast<size_t>(w) * h, 0);
    LocalDC dc(localFace(font)->font);
    if (!dc.get()) return;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(dc.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp || !bits) {
        if (bmp) DeleteObject(bmp);
        err("text: no %dx%d drawing surface\n", w, h);
        return;
    }
    HGDIOBJ oldBmp = SelectObject(dc.get(), bmp);
    SetTextColor(dc.get(), RGB(255, 255, 255));
    SetBkMode(dc.get(), TRANSPARENT);
    SetTextAlign(dc.get(), TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
    int pen = 0;
    for (uint32_t c : codes) {
        int adv = localAdvance(dc.get(), c);
        if (adv <= 0) continue;
        wchar_t u[2];
        int n = localUnits(c, u);
        TextOutW(dc.get(), pen, font->ascent, u, n);
        pen += adv;
    }
    GdiFlush();
    const uint8_t* px = static_cast<const uint8_t*>(bits);
    for (size_t i = 0; i < cov->size(); i++) {
        const uint8_t* p = px + 4 * i;
        uint8_t v = p[0] > p[1] ? p[0] : p[1];
        (*cov)[i] = v > p[2] ? v : p[2];
    }
    SelectObject(dc.get(), oldBmp);
    DeleteObject(bmp);
}
