// An image in memory: loaded from picture files, package records or encoded
// buffers through DevIL, masks taken into its alpha channel, text drawn
// with FreeType (GDI on Windows), sampled by meshes, saved back to picture files.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/fxstr.h"
#include "image/pixmap.h"

class FXPackage;

// A font for the text operations. Its first member is the font handle (the
// text twin's: a FreeType face, or a GDI font). Heights follow the usual convention of font requests: a
// negative height is the character (em) height in pixels, a positive one
// the cell height (ascent plus descent), 0 a default of 16 pixels cell.
class FXFontGDI {
public:
    void* face;
    int32_t height;      // as requested
    int32_t ascent;      // pixels from the top of a line to the baseline
    int32_t cellHeight;  // pixels of one line: the measured text height

    FXFontGDI();
    ~FXFontGDI();
    FXFontGDI(const FXFontGDI&) = delete;
    FXFontGDI& operator=(const FXFontGDI&) = delete;

    // file: a font file, absolute or relative to the system font folder;
    // null or empty for the default face (DejaVu Sans).
    bool Create(const char* file, int height);
    void Destroy();
};

// The default font file: DejaVu Sans in the system font folder; empty when
// there is none, for the system's own face.
const char* fxDefaultFontFile();

class FXCanvas {
public:
    FXPixmap pixmap;
    bool opaque;               // every pixel of the last load had alpha 255
    bool detectTransparency;   // file loaders set transparencyPicture from the name
    bool transparencyPicture;  // the next load turns red into alpha over white
    bool clearBeforeLoad;      // loaders fill the whole buffer with clearColor first
    float clearColor[4];

    FXCanvas();
    ~FXCanvas();
    FXCanvas(const FXCanvas&) = delete;
    FXCanvas& operator=(const FXCanvas&) = delete;

    void Destroy();
    void Clear(float* rgba);

    // Loaders: true when pixels were produced. On failure the used size and
    // the pixels stay as they were.
    bool CreateFromPict(const char* path);
    bool CreateFromPictResize(const char* path, float sx, float sy);
    bool CreateFromPictCN(FXPackage* pck, int record);
    // key: the record number in decimal.
    bool CreateFromPictC(FXPackage* pck, const char* key);
    // type: DevIL's type code of the encoded data (FX_IL_JPG, ...).
    bool CreateFromBufType(int type, unsigned char* data, unsigned int size);
    bool CreateFromBufJpg(unsigned char* data, unsigned int size);
    bool CreateFromBufBmp(unsigned char* data, unsigned int size);

    // Masks: the mask's blue channel becomes the alpha of the used area;
    // a mask wider or taller than the used area is refused.
    bool LoadMask(const char* path);
    bool LoadMaskCN(FXPackage* pck, int record);
    bool LoadMaskC(FXPackage* pck, const char* key);
    // A movie frame's mask: as LoadMask, but the mask must have exactly the
    // used size (a cropped frame and its mask are one area; any other size
    // is refused with a log line), and opaque then tells whether every
    // alpha came out 255.
    bool LoadFrameMask(const char* path);
    bool LoadFrameMaskBufType(int type, unsigned char* data, unsigned int size);

    void ConvertColsToLayered();
    // rgba is premultiplied in place by its alpha.
    void MixColorLayer(float* rgba);
    void Copy(FXCanvas* src);
    void ExtendEdges();

    // Saves: the file type follows from the extension. Regions are in
    // buffer coordinates, x0 <= x < x1, y0 <= y < y1; an empty region, or
    // one reaching outside the buffer, gives false.
    bool SaveToPict(const char* path);
    bool SaveToPict1(const char* path, int x0, int y0, int x1, int y1);
    bool SaveToPict2(const char* path, int x0, int y0, int x1, int y1);
    bool SaveToMask(const char* path);
    bool SaveToMask1(const char* path, int x0, int y0, int x1, int y1);
    static void SetJpegQuality(int q);

    // One line of text, white coverage times rgba's alpha in rgba's colour.
    // Narrow text is UTF-8 (a byte that is not part of a UTF-8 sequence
    // stands for itself, as Latin-1); wide text is UTF-16.
    bool CreateFromText(const char* text, FXFontGDI* font, float* rgba);
    bool CreateFromTextW(const fxwchar* text, FXFontGDI* font, float* rgba);
    bool CreateFromTextW(const wchar_t* text, FXFontGDI* font, float* rgba);
    static bool GetTextSize(const char* text, FXFontGDI* font, int* w, int* h);
    static bool GetTextWSize(const fxwchar* text, FXFontGDI* font, int* w, int* h);
    static bool GetTextWSize(const wchar_t* text, FXFontGDI* font, int* w, int* h);

    int GetWidth() { return pixmap.usedWidth; }
    int GetHeight() { return pixmap.usedHeight; }
    float GetWidthF() { return static_cast<float>(pixmap.usedWidth); }
    float GetHeightF() { return static_cast<float>(pixmap.usedHeight); }

    void GetColor(float u, float v, float* rgba);
    float GetBump(float u, float v);

private:
    enum Source { kFromFile, kFromMemory };
    bool Decode(Source src, const char* path, int type, const uint8_t* data, size_t size, bool resize, float sx,
                float sy);
    bool DecodeMask(Source src, const char* path, int type, const uint8_t* data, size_t size, bool exact);
    bool Save(const char* path, int x0, int y0, int x1, int y1, int channels);
    bool TextFromCodes(const uint32_t* codes, int n, FXFontGDI* font, float* rgba);
};
