// Glyphs with FreeType: faces, advances and grey coverage.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "base/trace.h"
#include "image/canvas.h"
#include "image/canvas_text.h"

namespace {

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

FT_Face localFace(FXFontGDI* font) { return static_cast<FT_Face>(font->face); }

// The pen advance of one character in whole pixels; -1 when the glyph could
// not be loaded (it then takes no room).
int localAdvance(FT_Face face, uint32_t code, FT_Int32 flags) {
    FT_UInt gi = FT_Get_Char_Index(face, code);
    if (FT_Load_Glyph(face, gi, flags) != 0) return -1;
    return static_cast<int>((face->glyph->advance.x + 32) >> 6);
}

}  // namespace

bool fxTextOpenFace(FXFontGDI* font, const char* path, int h) {
    FT_Library lib = localLibrary();
    if (!lib) return false;
    if (!*path) {
        err("no font: DejaVu Sans is not installed\n");
        return false;
    }
    FT_Face f = nullptr;
    if (FT_New_Face(lib, path, 0, &f) != 0) {
        err("font %s could not be opened\n", path);
        return false;
    }
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
        font->cellHeight = h;
    } else {
        font->cellHeight = asc + desc;
    }
    font->face = f;
    font->ascent = asc;
    return true;
}

void fxTextCloseFace(FXFontGDI* font) { FT_Done_Face(localFace(font)); }

int64_t fxTextAdvances(FXFontGDI* font, const std::vector<uint32_t>& codes) {
    int64_t sum = 0;
    for (uint32_t c : codes) {
        int a = localAdvance(localFace(font), c, FT_LOAD_DEFAULT);
        if (a > 0) sum += a;
        // Far beyond any picture: the canvas refuses it anyway.
        if (sum > INT32_MAX / 2) break;
    }
    return sum;
}

void fxTextRender(FXFontGDI* font, const std::vector<uint32_t>& codes, int w, int h, std::vector<uint8_t>* cov) {
    cov->assign(static_cast<size_t>(w) * h, 0);
    FT_Face face = localFace(font);
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
