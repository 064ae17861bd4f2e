// Drawing for the demo-content builder: float pictures with premultiplied
// alpha, anti-aliased shapes from signed distances, gradients, blurs for
// soft shadows and glows, text through the engine's FreeType canvas, and the
// hand-over to an FXCanvas for encoding. Everything is single-threaded and
// free of clocks and global random state, so the same build gives the same
// pixels on every run.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class FXCanvas;
class FXFontGDI;

namespace cd {

// A straight (not premultiplied) colour, each channel 0..1.
struct Col {
    float r, g, b, a;
};

// 0xRRGGBB with an alpha.
Col Hex(uint32_t rgb, float a = 1.0f);
Col Mix(Col a, Col b, float t);
Col WithAlpha(Col c, float a);

float Clamp01(float v);
float Smoothstep(float e0, float e1, float x);
// Deterministic hash of integers to 0..1.
float Hash(uint32_t x, uint32_t y, uint32_t seed);

struct Pt {
    float x, y;
};

// A colour for every point of the picture (pixel centres at +0.5).
typedef std::function<Col(float x, float y)> Paint;
// Signed distance in pixels: negative inside.
typedef std::function<float(float x, float y)> Sdf;

typedef std::vector<std::pair<float, Col>> Stops;
Col Sample(const Stops& stops, float t);

Paint Solid(Col c);
Paint Linear(Pt a, Pt b, Stops stops);
Paint Radial(Pt centre, float radius, Stops stops);
// Radial with separate horizontal and vertical radii.
Paint RadialXY(Pt centre, float rx, float ry, Stops stops);

// Distances.
float SdRoundRect(float x, float y, float cx, float cy, float hw, float hh, float r);
float SdCircle(float x, float y, float cx, float cy, float r);
// Good near the outline, which is all the anti-aliasing needs.
float SdEllipse(float x, float y, float cx, float cy, float rx, float ry);
float SdCapsule(float x, float y, Pt a, Pt b, float r);
float SdPolygon(float x, float y, const std::vector<Pt>& poly);
// Union with a rounded seam of width k.
float SmoothMin(float a, float b, float k);

// A closed outline built from lines and cubic curves, flattened to a
// polygon; transformed by scale and offset when it is added to a picture.
class Path {
public:
    Path& Move(float x, float y);
    Path& Line(float x, float y);
    Path& Cubic(float x1, float y1, float x2, float y2, float x3, float y3);
    // The outline in picture pixels: p * scale + offset.
    std::vector<Pt> Polygon(float scale, Pt offset) const;
    std::vector<Pt> Polygon(float sx, float sy, Pt offset) const;

private:
    std::vector<Pt> pts_;
};

// Coverage 0..1 per pixel.
class Mask {
public:
    Mask(int w, int h);
    int w, h;
    std::vector<float> v;
    float& At(int x, int y) { return v[static_cast<size_t>(y) * w + x]; }
    float Get(int x, int y) const;
};

// Coverage of a distance function, evaluated only inside the box (x0, y0,
// x1, y1); outside it the shape is assumed absent.
Mask Shape(int w, int h, const Sdf& sdf, int x0, int y0, int x1, int y1);
Mask Shape(int w, int h, const Sdf& sdf);
// A polygon's coverage, the box taken from its points (plus a margin).
Mask PolygonMask(int w, int h, const std::vector<Pt>& poly, float grow = 0.0f);

Mask Blurred(const Mask& m, float sigma);
Mask Shifted(const Mask& m, int dx, int dy);
Mask Union(const Mask& a, const Mask& b);
Mask Intersect(const Mask& a, const Mask& b);
Mask Subtract(const Mask& a, const Mask& b);
Mask Scaled(const Mask& m, float k);

// Premultiplied RGBA in floats.
class Image {
public:
    Image(int w, int h);
    int w, h;
    std::vector<float> px;
    float* At(int x, int y) { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
    const float* At(int x, int y) const { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
};

// Paints the whole picture over what is there.
void Fill(Image& dst, const Paint& p, float opacity = 1.0f);
// Paints through a mask, over what is there.
void Draw(Image& dst, const Mask& m, const Paint& p, float opacity = 1.0f);
// Adds light through a mask (for glows and highlights).
void AddLight(Image& dst, const Mask& m, const Paint& p, float opacity = 1.0f);
// Multiplies the picture's alpha (and colour) by 1 - mask: cuts holes.
void Erase(Image& dst, const Mask& m);
// A soft shadow of the mask: blurred, offset, in colour c.
void Shadow(Image& dst, const Mask& m, float sigma, int dx, int dy, Col c);
// Another picture over this one at (x, y).
void Over(Image& dst, const Image& src, int x, int y, float opacity = 1.0f);
Image BlurredImage(const Image& src, float sigma);
// Fine monochrome grain, as film has.
void Grain(Image& dst, float amount, uint32_t seed);

// Fonts by face and pixel size, made on first use.
enum Face { kSans, kSansBold, kSerif, kSerifBold };

class Fonts {
public:
    Fonts();
    ~Fonts();
    Fonts(const Fonts&) = delete;
    Fonts& operator=(const Fonts&) = delete;

    // Null when no font could be opened at all.
    FXFontGDI* Get(Face face, int px);
    // Faces that had to fall back to the default face.
    const std::vector<std::string>& Fallbacks() const { return fallbacks_; }

private:
    std::map<std::pair<int, int>, std::unique_ptr<FXFontGDI>> fonts_;
    std::vector<std::string> fallbacks_;
};

enum Align { kLeft, kCentre, kRight };

struct TextStyle {
    Face face;
    int px;           // em height in pixels
    float tracking;   // extra pixels between characters
};

// Width of a line in pixels.
int TextWidth(Fonts& fonts, const TextStyle& st, const std::string& text);
// The line's coverage in a w x h mask; x is the left edge, centre or right
// edge by align, baseline the y of the baseline. False when the font or a
// glyph could not be rendered.
bool TextMask(Fonts& fonts, const TextStyle& st, const std::string& text, float x, float baseline, Align align,
              Mask* out);

// Into a canvas with straight 8-bit alpha, ready for SaveToPict2 (or
// SaveToPict when opaque). Colour under fully transparent pixels is taken
// from their surroundings so filtered textures show no dark fringes.
// Gradients are dithered against banding.
bool ToCanvas(const Image& img, FXCanvas* out, uint32_t seed);

}  // namespace cd
