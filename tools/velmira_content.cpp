// velmira-content: draws every picture and set movie the show reads at
// start-up and packs them into a complete "xxdata.dat", so the show runs on a machine that has
// no content of its own. Nothing is read from disk but the fonts; the same
// build writes the same bytes on every run.

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../app/entries.h"
#include "anim/anim.h"
#include "anim/movie.h"
#include "base/file.h"
#include "base/paths.h"
#include "content_draw.h"
#include "geometry/mesh.h"
#include "geometry/model.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "image/platform.h"
#include "package/package.h"
#include "render/material.h"
#include "render/matlib.h"
#include "scene/camera.h"
#include "scene/drawn.h"
#include "scene/rani.h"
#include "scene/scene.h"
#include "scene/transform.h"

using cd::Col;
using cd::Hex;
using cd::Image;
using cd::Mask;
using cd::Pt;
using cd::Stops;

namespace {

enum { kExitOk = 0, kExitFail = 1, kExitUsage = 2 };

const char kPackageName[] = "xxdata.dat";

const char kUsage[] =
    "usage: velmira-content [OPTIONS] OUTPUT_DIR\n"
    "\n"
    "Draws the demo pictures and set movies of the Velmira show and packs\n"
    "them into OUTPUT_DIR/xxdata.dat (the folder is created when missing),\n"
    "and draws the program's icon into OUTPUT_DIR/velmira.ico.\n"
    "\n"
    "  -p, --pictures   also keep every picture as a file in OUTPUT_DIR/pictures/\n"
    "                   (named after its package entry) to look at; the movies'\n"
    "                   full frames and their crops go into pictures/movies/\n"
    "                   and the gallery set's animated bust, as the key-frame OBJ\n"
    "                   files, MTL library and picture that `fxpack anim` takes,\n"
    "                   into pictures/model/\n"
    "  -s, --scramble   scramble the package body\n"
    "  -l, --list       list the entries and exit\n"
    "  -h, --help       show this text\n"
    "\n"
    "The output is the same, byte for byte, on every run. The package is\n"
    "written to a temporary file and renamed, so a failed run leaves an\n"
    "existing package untouched.\n"
    "Exit status: 0 success, 1 failure, 2 wrong usage.\n";

void Fail(const char* fmt, ...) {
    va_list a;
    va_start(a, fmt);
    fputs("velmira-content: ", stderr);
    vfprintf(stderr, fmt, a);
    fputc('\n', stderr);
    va_end(a);
}

// ---------------------------------------------------------------- palette

const Col kInk = Hex(0x170B1C);
const Col kPlumDeep = Hex(0x241129);
const Col kPlum = Hex(0x3A1F45);
const Col kPlumLight = Hex(0x5E3566);
const Col kMauve = Hex(0x8C5A7E);
const Col kIvory = Hex(0xF8F1E7);
const Col kCream = Hex(0xEADCC8);
const Col kRose = Hex(0xC98C7D);
const Col kRoseLight = Hex(0xF0CCB8);
const Col kRoseDeep = Hex(0x9C6055);
const Col kBlush = Hex(0xE9B9B3);

// Metallic rose gold: light bands across a warm base.
cd::Paint RoseGold(Pt a, Pt b) {
    return cd::Linear(a, b,
                      Stops{{0.0f, kRoseDeep},
                            {0.28f, kRoseLight},
                            {0.5f, kRose},
                            {0.74f, Hex(0xF5D6C3)},
                            {1.0f, kRoseDeep}});
}

// ---------------------------------------------------------------- context

struct Ctx {
    cd::Fonts fonts;
    bool textFailed = false;

    Mask Text(int w, int h, cd::Face face, int px, float tracking, const std::string& s, float x, float baseline,
              cd::Align align) {
        Mask m(w, h);
        cd::TextStyle st{face, px, tracking};
        if (!cd::TextMask(fonts, st, s, x, baseline, align, &m)) textFailed = true;
        return m;
    }
    int Width(cd::Face face, int px, float tracking, const std::string& s) {
        return cd::TextWidth(fonts, cd::TextStyle{face, px, tracking}, s);
    }
};

// ---------------------------------------------------------------- shapes

// A stroke along the outline of a distance function.
Mask Outline(int w, int h, const cd::Sdf& sdf, float inset, float width) {
    return cd::Shape(w, h, [&](float x, float y) { return std::fabs(sdf(x, y) + inset) - width * 0.5f; });
}

Mask RoundRect(int w, int h, float cx, float cy, float hw, float hh, float r) {
    return cd::Shape(
        w, h, [=](float x, float y) { return cd::SdRoundRect(x, y, cx, cy, hw, hh, r); },
        static_cast<int>(cx - hw) - 2, static_cast<int>(cy - hh) - 2, static_cast<int>(cx + hw) + 3,
        static_cast<int>(cy + hh) + 3);
}

Mask Diamond(int w, int h, float cx, float cy, float r) {
    return cd::PolygonMask(w, h, {{cx, cy - r}, {cx + r, cy}, {cx, cy + r}, {cx - r, cy}});
}

Mask Circle(int w, int h, float cx, float cy, float r) {
    return cd::Shape(
        w, h, [=](float x, float y) { return cd::SdCircle(x, y, cx, cy, r); }, static_cast<int>(cx - r) - 2,
        static_cast<int>(cy - r) - 2, static_cast<int>(cx + r) + 3, static_cast<int>(cy + r) + 3);
}

// A horizontal hairline from x0 to x1 that fades out at both ends.
Mask Rule(int w, int h, float x0, float x1, float y, float thick) {
    Mask m(w, h);
    for (int yy = 0; yy < h; yy++) {
        float cy = cd::Clamp01(thick * 0.5f + 0.5f - std::fabs(yy + 0.5f - y));
        if (cy <= 0.0f) continue;
        for (int xx = 0; xx < w; xx++) {
            float fx = xx + 0.5f;
            if (fx < x0 || fx > x1) continue;
            float t = (fx - x0) / (x1 - x0);
            float fade = cd::Smoothstep(0.0f, 0.18f, t) * cd::Smoothstep(1.0f, 0.82f, t);
            m.At(xx, yy) = cy * fade;
        }
    }
    return m;
}

// The model in profile, head and shoulders, facing left, in a unit box
// about 1 wide and 1.2 high.
cd::Path ProfilePath() {
    cd::Path p;
    p.Move(0.52f, 0.08f)
        .Cubic(0.42f, 0.075f, 0.345f, 0.135f, 0.335f, 0.215f)
        .Cubic(0.33f, 0.245f, 0.315f, 0.26f, 0.318f, 0.28f)
        .Cubic(0.305f, 0.31f, 0.275f, 0.345f, 0.262f, 0.372f)
        .Cubic(0.258f, 0.384f, 0.28f, 0.392f, 0.302f, 0.392f)
        .Cubic(0.298f, 0.402f, 0.284f, 0.412f, 0.288f, 0.424f)
        .Line(0.305f, 0.434f)
        .Cubic(0.29f, 0.442f, 0.288f, 0.452f, 0.296f, 0.46f)
        .Cubic(0.306f, 0.466f, 0.31f, 0.472f, 0.309f, 0.482f)
        .Cubic(0.305f, 0.5f, 0.318f, 0.52f, 0.345f, 0.527f)
        .Cubic(0.38f, 0.535f, 0.405f, 0.532f, 0.425f, 0.522f)
        .Cubic(0.43f, 0.6f, 0.436f, 0.66f, 0.44f, 0.72f)
        .Cubic(0.4f, 0.8f, 0.25f, 0.84f, 0.16f, 0.93f)
        .Cubic(0.12f, 0.98f, 0.1f, 1.08f, 0.09f, 1.2f)
        .Line(1.0f, 1.2f)
        .Cubic(0.99f, 1.05f, 0.96f, 0.92f, 0.88f, 0.86f)
        .Cubic(0.83f, 0.82f, 0.79f, 0.8f, 0.76f, 0.76f)
        // Hair falling down the back, then up over the crown.
        .Cubic(0.82f, 0.7f, 0.87f, 0.56f, 0.86f, 0.42f)
        .Cubic(0.9f, 0.36f, 0.9f, 0.26f, 0.84f, 0.2f)
        .Cubic(0.78f, 0.1f, 0.66f, 0.07f, 0.52f, 0.08f);
    return p;
}

// The profile's outline in picture pixels; scale is the unit box's width,
// (x, y) its top left corner; mirror turns it to face right.
std::vector<Pt> Profile(float x, float y, float scale, bool mirror) {
    if (!mirror) return ProfilePath().Polygon(scale, Pt{x, y});
    return ProfilePath().Polygon(-scale, scale, Pt{x + scale, y});
}

// The profile with her hair up in a chignon at the back of the head.
Mask ProfileMask(int w, int h, float x, float y, float scale, bool mirror) {
    std::vector<Pt> poly = Profile(x, y, scale, mirror);
    float bx = mirror ? x + scale * (1.0f - 0.86f) : x + scale * 0.86f, by = y + scale * 0.2f;
    float rx = scale * 0.13f, ry = scale * 0.11f;
    return cd::Shape(
        w, h,
        [&poly, bx, by, rx, ry, scale](float px, float py) {
            return cd::SmoothMin(cd::SdPolygon(px, py, poly), cd::SdEllipse(px, py, bx, by, rx, ry), scale * 0.03f);
        },
        static_cast<int>(x) - 4, static_cast<int>(y) - 4, static_cast<int>(x + scale * 1.05f) + 4,
        static_cast<int>(y + scale * 1.2f) + 4);
}

// The model standing in a long gown, one hand on her hip; cx is her centre
// line, top the top of her head, H her height, all in pixels.
float FigureSd(float x, float y, float cx, float top, float H, bool mirror) {
    float u = (x - cx) / H, v = (y - top) / H;
    if (mirror) u = -u;
    const float k = 0.012f;
    float d = cd::SdEllipse(u, v, 0.0f, 0.072f, 0.04f, 0.052f);
    // Hair: a soft mass around the head, falling over one shoulder.
    d = cd::SmoothMin(d, cd::SdEllipse(u, v, 0.012f, 0.07f, 0.05f, 0.06f), k);
    d = cd::SmoothMin(d, cd::SdCapsule(u, v, Pt{0.03f, 0.09f}, Pt{0.06f, 0.21f}, 0.032f), 0.03f);
    d = cd::SmoothMin(d, cd::SdCapsule(u, v, Pt{0.0f, 0.11f}, Pt{0.0f, 0.16f}, 0.017f), k);
    std::vector<Pt> torso = {{-0.082f, 0.168f}, {0.084f, 0.168f}, {0.05f, 0.335f}, {-0.046f, 0.335f}};
    d = cd::SmoothMin(d, cd::SdPolygon(u, v, torso) - 0.012f, 0.02f);
    std::vector<Pt> gown = {{-0.052f, 0.32f}, {0.056f, 0.32f}, {0.1f, 0.6f},  {0.17f, 0.975f},
                            {0.06f, 0.995f},  {-0.05f, 1.0f},  {-0.14f, 0.985f}, {-0.085f, 0.62f}};
    d = cd::SmoothMin(d, cd::SdPolygon(u, v, gown) - 0.006f, 0.03f);
    // One arm hanging, the other bent with the hand on the hip.
    d = cd::SmoothMin(d, cd::SdCapsule(u, v, Pt{-0.076f, 0.185f}, Pt{-0.092f, 0.33f}, 0.02f), k);
    d = cd::SmoothMin(d, cd::SdCapsule(u, v, Pt{-0.092f, 0.33f}, Pt{-0.078f, 0.46f}, 0.016f), k);
    d = cd::SmoothMin(d, cd::SdCapsule(u, v, Pt{0.08f, 0.185f}, Pt{0.135f, 0.29f}, 0.019f), k);
    d = cd::SmoothMin(d, cd::SdCapsule(u, v, Pt{0.135f, 0.29f}, Pt{0.055f, 0.355f}, 0.016f), k);
    return d * H;
}

Mask Figure(int w, int h, float cx, float top, float H, bool mirror) {
    return cd::Shape(
        w, h, [=](float x, float y) { return FigureSd(x, y, cx, top, H, mirror); },
        static_cast<int>(cx - 0.25f * H), static_cast<int>(top - 2), static_cast<int>(cx + 0.25f * H),
        static_cast<int>(top + 1.05f * H));
}

// Rim light along one side of a silhouette: the shape minus itself moved
// toward the light, softened.
Mask Rim(const Mask& shape, int dx, int dy, float sigma) {
    return cd::Blurred(cd::Subtract(shape, cd::Shifted(shape, -dx, -dy)), sigma);
}

// Out-of-focus lights: soft discs, a little brighter at the rim.
void Bokeh(Image& img, int count, float rmin, float rmax, float x0, float y0, float x1, float y1,
           const std::vector<Col>& colours, float alpha, uint32_t seed) {
    for (int i = 0; i < count; i++) {
        uint32_t k = static_cast<uint32_t>(i);
        float cx = x0 + (x1 - x0) * cd::Hash(k, 1, seed);
        // Spread down the picture evenly, at random across it.
        float cy = y0 + (y1 - y0) * (static_cast<float>(i) + cd::Hash(k, 2, seed)) / static_cast<float>(count);
        float r = rmin + (rmax - rmin) * cd::Hash(k, 3, seed) * cd::Hash(k, 4, seed);
        Col c = colours[static_cast<size_t>(cd::Hash(k, 5, seed) * colours.size()) % colours.size()];
        float a = alpha * (0.45f + 0.55f * cd::Hash(k, 6, seed));
        Mask disc = cd::Blurred(Circle(img.w, img.h, cx, cy, r), 1.0f + r * 0.06f);
        cd::Draw(img, disc, cd::Solid(c), a * 0.75f);
        Mask ring = cd::Blurred(Outline(
                                    img.w, img.h, [=](float x, float y) { return cd::SdCircle(x, y, cx, cy, r); },
                                    1.5f, 2.0f),
                                1.0f);
        cd::Draw(img, ring, cd::Solid(cd::Mix(c, kIvory, 0.4f)), a * 0.35f);
    }
}

// A photographic print: a thin ivory border with a fine shadow inside.
void PrintBorder(Image& img) {
    int w = img.w, h = img.h;
    float b = 7.0f;
    Mask inner = RoundRect(w, h, w * 0.5f, h * 0.5f, w * 0.5f - b, h * 0.5f - b, 1.5f);
    Mask edge(w, h);
    for (float& v : edge.v) v = 1.0f;
    edge = cd::Subtract(edge, inner);
    cd::Draw(img, cd::Intersect(cd::Blurred(edge, 2.5f), inner), cd::Solid(kInk), 0.45f);
    cd::Draw(img, edge, cd::Linear(Pt{0, 0}, Pt{static_cast<float>(w), static_cast<float>(h)},
                                   Stops{{0.0f, kIvory}, {1.0f, kCream}}));
}

// ---------------------------------------------------------------- banners

void PlaqueBase(Image& img, float cx, float cy, float hw, float hh, float r) {
    int w = img.w, h = img.h;
    Mask body = RoundRect(w, h, cx, cy, hw, hh, r);
    cd::Shadow(img, body, 6.0f, 0, 5, WithAlpha(kInk, 0.6f));
    cd::Draw(img, body, cd::Linear(Pt{0, cy - hh}, Pt{0, cy + hh}, Stops{{0.0f, kPlum}, {1.0f, kPlumDeep}}));
    cd::Draw(img, body,
             cd::RadialXY(Pt{cx - hw * 0.4f, cy - hh}, hw * 1.2f, hh * 1.3f,
                          Stops{{0.0f, WithAlpha(kMauve, 0.45f)}, {1.0f, WithAlpha(kMauve, 0.0f)}}));
    auto sd = [=](float x, float y) { return cd::SdRoundRect(x, y, cx, cy, hw, hh, r); };
    cd::Draw(img, Outline(w, h, sd, 7.0f, 1.6f),
             RoseGold(Pt{cx - hw, cy - hh}, Pt{cx + hw, cy + hh}));
    cd::Draw(img, Outline(w, h, sd, 0.6f, 1.2f), cd::Solid(kRoseLight), 0.35f);
}

void DrawBannerWordmark(Ctx& c, Image& img) {
    int w = img.w, h = img.h;
    float cx = w * 0.5f, cy = h * 0.47f;
    PlaqueBase(img, cx, cy, 116.0f, 92.0f, 24.0f);
    Mask word = c.Text(w, h, cd::kSerif, 50, 0.5f, "Velmira", cx, cy + 10.0f, cd::kCentre);
    cd::Draw(img, cd::Blurred(word, 5.0f), cd::Solid(kRose), 0.45f);
    cd::Draw(img, word, cd::Linear(Pt{0, cy - 40}, Pt{0, cy + 14}, Stops{{0.0f, kIvory}, {1.0f, kCream}}));
    float ry = cy + 34.0f;
    Mask rules = cd::Union(Rule(w, h, cx - 86, cx - 12, ry, 1.3f), Rule(w, h, cx + 12, cx + 86, ry, 1.3f));
    cd::Draw(img, cd::Union(rules, Diamond(w, h, cx, ry, 4.5f)), RoseGold(Pt{cx - 86, 0}, Pt{cx + 86, 0}));
    Mask sub = c.Text(w, h, cd::kSansBold, 17, 5.0f, "PHOTO SHOW", cx, cy + 66.0f, cd::kCentre);
    cd::Draw(img, sub, RoseGold(Pt{cx - 70, 0}, Pt{cx + 70, 0}));
    Mask dot = cd::Union(Diamond(w, h, cx, cy - 64.0f, 3.5f), cd::Union(Diamond(w, h, cx - 14, cy - 64.0f, 2.0f),
                                                                        Diamond(w, h, cx + 14, cy - 64.0f, 2.0f)));
    cd::Draw(img, dot, cd::Solid(kRoseLight), 0.9f);
}

void DrawBannerSeal(Ctx& c, Image& img) {
    int w = img.w, h = img.h;
    float cx = w * 0.5f, cy = h * 0.47f;
    PlaqueBase(img, cx, cy, 116.0f, 92.0f, 24.0f);
    float mx = cx, my = cy - 18.0f, mr = 46.0f;
    Mask disc = Circle(w, h, mx, my, mr);
    cd::Shadow(img, disc, 4.0f, 0, 3, WithAlpha(kInk, 0.5f));
    cd::Draw(img, disc, cd::Radial(Pt{mx - 14, my - 18}, mr * 1.4f, Stops{{0.0f, kPlumLight}, {1.0f, kPlumDeep}}));
    auto sd = [=](float x, float y) { return cd::SdCircle(x, y, mx, my, mr); };
    cd::Draw(img, Outline(w, h, sd, 0.0f, 2.6f), RoseGold(Pt{mx - mr, my - mr}, Pt{mx + mr, my + mr}));
    cd::Draw(img, Outline(w, h, sd, 6.0f, 1.0f), cd::Solid(kRose), 0.8f);
    Mask v = c.Text(w, h, cd::kSerif, 60, 0.0f, "V", mx, my + 22.0f, cd::kCentre);
    cd::Draw(img, cd::Blurred(v, 4.0f), cd::Solid(kInk), 0.6f);
    cd::Draw(img, v, RoseGold(Pt{mx - 24, my - 24}, Pt{mx + 24, my + 24}));
    Mask sub = c.Text(w, h, cd::kSansBold, 17, 4.0f, "COLLECTION", cx, cy + 66.0f, cd::kCentre);
    cd::Draw(img, sub, cd::Solid(kIvory), 0.92f);
    Mask rules = cd::Union(Rule(w, h, cx - 100, cx - mr - 8, my, 1.2f), Rule(w, h, cx + mr + 8, cx + 100, my, 1.2f));
    rules = cd::Union(rules, cd::Union(Diamond(w, h, cx - mr - 12, my, 3.0f), Diamond(w, h, cx + mr + 12, my, 3.0f)));
    cd::Draw(img, rules, RoseGold(Pt{cx - 100, 0}, Pt{cx + 100, 0}));
}

// ---------------------------------------------------------------- overlay

void DrawFrameOverlay(Ctx& c, Image& img) {
    int w = img.w, h = img.h;
    float cx = w * 0.5f, cy = h * 0.5f;
    // A dark passe-partout outside the hairline, and inside it a vignette
    // that is clear over most of the screen: the show leaves out the clear
    // cells, and over the moving gallery scene every covered one is drawn
    // each frame. The vignette follows a superellipse, which has no creases
    // toward the corners.
    float li = 24.0f;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            float fx = x + 0.5f, fy = y + 0.5f;
            float band = cd::Smoothstep(-1.0f, 1.0f, cd::SdRoundRect(fx, fy, cx, cy, cx - li, cy - li, 16.0f));
            float u = std::fabs(fx - cx) / (cx - li), v = std::fabs(fy - cy) / (cy - li);
            float r = std::pow(std::pow(u, 5.0f) + std::pow(v, 5.0f), 0.2f);
            float vig = 0.78f * cd::Smoothstep(0.8f, 1.02f, r);
            vig *= vig > 0.0f ? 0.7f + 0.3f * cd::Smoothstep(0.9f, 1.0f, r) : 0.0f;
            float a = std::max(band, vig);
            float* p = img.At(x, y);
            Col k = cd::Mix(kInk, kPlumDeep, cd::Clamp01(0.5f + 0.5f * (fy - cy) / cy));
            p[0] = k.r * a;
            p[1] = k.g * a;
            p[2] = k.b * a;
            p[3] = a;
        }
    // The hairline frame, with the name set into its lower edge.
    auto line = [=](float x, float y) { return cd::SdRoundRect(x, y, cx, cy, cx - li, cy - li, 16.0f); };
    auto line2 = [=](float x, float y) { return cd::SdRoundRect(x, y, cx, cy, cx - li - 6, cy - li - 6, 12.0f); };
    Mask frame = Outline(w, h, line, 0.0f, 1.4f);
    Mask frame2 = Outline(w, h, line2, 0.0f, 0.9f);
    std::string name = "VELMIRA";
    int tw = c.Width(cd::kSansBold, 13, 7.0f, name);
    float by = h - li;
    Mask gap = RoundRect(w, h, cx, by - 3.0f, tw * 0.5f + 26.0f, 14.0f, 6.0f);
    frame = cd::Subtract(frame, gap);
    frame2 = cd::Subtract(frame2, gap);
    cd::Paint gold = RoseGold(Pt{0, 0}, Pt{static_cast<float>(w), static_cast<float>(h)});
    cd::Draw(img, frame, gold, 0.9f);
    cd::Draw(img, frame2, cd::Solid(kRose), 0.45f);
    Mask label = c.Text(w, h, cd::kSansBold, 13, 7.0f, name, cx, by + 2.0f, cd::kCentre);
    cd::Draw(img, label, RoseGold(Pt{cx - tw * 0.5f, 0}, Pt{cx + tw * 0.5f, 0}));
    float dxs = tw * 0.5f + 14.0f;
    cd::Draw(img, cd::Union(Diamond(w, h, cx - dxs, by - 3.0f, 3.0f), Diamond(w, h, cx + dxs, by - 3.0f, 3.0f)),
             cd::Solid(kRoseLight));
    // Small ornaments in the corners of the frame.
    const float ox[4] = {li + 16, w - li - 16, li + 16, w - li - 16};
    const float oy[4] = {li + 16, li + 16, h - li - 16, h - li - 16};
    for (int i = 0; i < 4; i++) {
        Mask o = Diamond(w, h, ox[i], oy[i], 4.0f);
        cd::Draw(img, o, cd::Solid(kRoseLight), 0.85f);
    }
}

// ---------------------------------------------------------------- bubbles

// The speech bubble's outline: a rounded body in the lower part of the
// picture (the caption rises into the clear part above it) and a tail
// toward the model, right of centre.
float BubbleSd(float x, float y) {
    float body = cd::SdRoundRect(x, y, 256.0f, 148.0f, 230.0f, 82.0f, 34.0f);
    static const std::vector<Pt> tail = {{346.0f, 214.0f}, {410.0f, 214.0f}, {436.0f, 272.0f}};
    return cd::SmoothMin(body, cd::SdPolygon(x, y, tail), 12.0f);
}

void DrawBubble(Ctx& c, Image& img, const std::string& line1, const std::string& line2) {
    int w = img.w, h = img.h;
    Mask body = cd::Shape(w, h, BubbleSd);
    cd::Shadow(img, body, 9.0f, 0, 7, WithAlpha(kInk, 0.5f));
    cd::Draw(img, body, cd::Linear(Pt{0, 66}, Pt{0, 280}, Stops{{0.0f, kIvory}, {1.0f, Hex(0xEFE2D2)}}), 0.97f);
    cd::Draw(img, body, cd::RadialXY(Pt{150, 70}, 260, 120, Stops{{0.0f, WithAlpha(kBlush, 0.35f)},
                                                                    {1.0f, WithAlpha(kBlush, 0.0f)}}));
    cd::Draw(img, Outline(w, h, BubbleSd, 7.0f, 1.3f), RoseGold(Pt{26, 66}, Pt{486, 280}), 0.9f);
    // An opening quote in rose gold, then the line or two in plum.
    Mask quote = c.Text(w, h, cd::kSerif, 120, 0.0f, "\xE2\x80\x9C", 46.0f, 178.0f, cd::kLeft);
    cd::Draw(img, quote, RoseGold(Pt{46, 90}, Pt{110, 150}), 0.55f);
    cd::Paint ink = cd::Solid(kPlum);
    if (line2.empty()) {
        Mask t = c.Text(w, h, cd::kSerif, 30, 0.3f, line1, 266.0f, 160.0f, cd::kCentre);
        cd::Draw(img, t, ink);
    } else {
        Mask t = c.Text(w, h, cd::kSerif, 29, 0.3f, line1, 266.0f, 140.0f, cd::kCentre);
        Mask t2 = c.Text(w, h, cd::kSerif, 29, 0.3f, line2, 266.0f, 180.0f, cd::kCentre);
        cd::Draw(img, cd::Union(t, t2), ink);
    }
}

void DrawCaption(Ctx& c, Image& img, const std::string& text) {
    int w = img.w, h = img.h;
    float cx = w * 0.5f, base = h * 0.5f + 9.0f;
    int px = 25;
    float tracking = 6.0f;
    int tw = c.Width(cd::kSansBold, px, tracking, text);
    Mask t = c.Text(w, h, cd::kSansBold, px, tracking, text, cx, base, cd::kCentre);
    float ry = h * 0.5f;
    float gapx = tw * 0.5f + 22.0f;
    Mask rules = cd::Union(Rule(w, h, cx - gapx - 150.0f, cx - gapx, ry, 1.4f),
                           Rule(w, h, cx + gapx, cx + gapx + 150.0f, ry, 1.4f));
    Mask dots = cd::Union(Diamond(w, h, cx - gapx + 6.0f, ry, 4.0f), Diamond(w, h, cx + gapx - 6.0f, ry, 4.0f));
    Mask all = cd::Union(t, cd::Union(rules, dots));
    // A dark halo keeps the caption legible over bright and busy pictures.
    cd::Draw(img, cd::Scaled(cd::Blurred(all, 5.0f), 2.2f), cd::Solid(kInk), 0.55f);
    cd::Draw(img, cd::Union(rules, dots), RoseGold(Pt{cx - gapx - 150, 0}, Pt{cx + gapx + 150, 0}));
    cd::Draw(img, t, cd::Linear(Pt{0, base - 20}, Pt{0, base}, Stops{{0.0f, kIvory}, {1.0f, kRoseLight}}));
}

// ---------------------------------------------------------------- billboards

// A soft glow behind a shape, the shape in a gradient, and a fine edge.
void GlowShape(Image& img, const Mask& shape, const cd::Paint& fill, Col glow, float glowSigma) {
    cd::Draw(img, cd::Blurred(shape, glowSigma), cd::Solid(glow), 0.7f);
    cd::Draw(img, shape, fill);
}

void DrawBillboardFigure(Ctx&, Image& img) {
    int w = img.w, h = img.h;
    Mask fig = Figure(w, h, w * 0.5f, 22.0f, 470.0f, false);
    GlowShape(img, fig,
              cd::Linear(Pt{0, 20}, Pt{0, 490}, Stops{{0.0f, kRoseLight}, {0.45f, kRose}, {1.0f, kMauve}}),
              WithAlpha(kBlush, 0.8f), 14.0f);
    cd::Draw(img, Rim(fig, -4, -3, 1.5f), cd::Solid(kIvory), 0.7f);
}

void DrawBillboardName(Ctx& c, Image& img) {
    int w = img.w, h = img.h;
    const char* letters[] = {"V", "E", "L", "M", "I", "R", "A"};
    Mask all(w, h);
    for (int i = 0; i < 7; i++) {
        float base = 76.0f + i * 66.0f;
        all = cd::Union(all, c.Text(w, h, cd::kSerif, 62, 0.0f, letters[i], w * 0.5f, base, cd::kCentre));
    }
    cd::Draw(img, cd::Blurred(all, 10.0f), cd::Solid(kBlush), 0.6f);
    cd::Draw(img, all, cd::Linear(Pt{0, 0}, Pt{0, static_cast<float>(h)},
                                  Stops{{0.0f, kIvory}, {0.5f, kRoseLight}, {1.0f, kRose}}));
    Mask rule(w, h);
    for (int y = 10; y < h - 10; y++) {
        float t = static_cast<float>(y) / h;
        float f = cd::Smoothstep(0.0f, 0.2f, t) * cd::Smoothstep(1.0f, 0.8f, t);
        for (int x : {44, 212}) rule.At(x, y) = 0.8f * f;
    }
    cd::Draw(img, rule, cd::Solid(kRose));
}

void DrawBillboardProfile(Ctx&, Image& img) {
    int w = img.w, h = img.h;
    Mask glowDisc = cd::Blurred(Circle(w, h, 150, 220, 100), 30.0f);
    cd::Draw(img, glowDisc, cd::Solid(kBlush), 0.55f);
    Mask bust = ProfileMask(w, h, -30.0f, 100.0f, 280.0f, false);
    cd::Draw(img, bust, cd::Linear(Pt{0, 60}, Pt{0, 460}, Stops{{0.0f, kRose}, {1.0f, kPlumLight}}));
    cd::Draw(img, Rim(bust, -5, -2, 2.0f), cd::Solid(kIvory), 0.8f);
    // Fade the shoulders into nothing at the bottom.
    Mask fade(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) fade.At(x, y) = cd::Smoothstep(360.0f, 432.0f, static_cast<float>(y));
    cd::Erase(img, fade);
}

void DrawBillboardRose(Ctx&, Image& img) {
    int w = img.w, h = img.h;
    float cx = w * 0.5f, cy = 170.0f;
    cd::Draw(img, cd::Blurred(Circle(w, h, cx, cy, 90), 24.0f), cd::Solid(kBlush), 0.5f);
    // Three rings of petals, each ring turned against the last.
    for (int ring = 0; ring < 3; ring++) {
        int n = 5 + ring;
        float rad = 70.0f - ring * 20.0f;
        float len = 58.0f - ring * 14.0f;
        for (int i = 0; i < n; i++) {
            float ang = (static_cast<float>(i) + ring * 0.5f) * 6.2831853f / n;
            float px = cx + std::cos(ang) * rad * 0.55f, py = cy + std::sin(ang) * rad * 0.55f;
            float ca = std::cos(ang), sa = std::sin(ang);
            Mask petal = cd::Shape(w, h, [=](float x, float y) {
                float dx = x - px, dy = y - py;
                float u = dx * ca + dy * sa, v = -dx * sa + dy * ca;
                return cd::SdEllipse(u, v, 0.0f, 0.0f, len * 0.62f, len * 0.45f);
            });
            Col base = cd::Mix(kRose, kRoseLight, ring * 0.4f);
            cd::Shadow(img, petal, 4.0f, 0, 3, WithAlpha(kPlumDeep, 0.5f));
            cd::Draw(img, petal, cd::Radial(Pt{px, py}, len * 0.8f, Stops{{0.0f, base}, {1.0f, kRoseDeep}}));
            cd::Draw(img, Rim(petal, -2, -2, 1.0f), cd::Solid(kIvory), 0.35f);
        }
    }
    cd::Draw(img, Circle(w, h, cx, cy, 12.0f), cd::Radial(Pt{cx, cy}, 14.0f, Stops{{0.0f, kRoseDeep}, {1.0f, kPlum}}));
    // The stem with one leaf.
    Mask stem = cd::Shape(w, h, [=](float x, float y) {
        float bend = 14.0f * std::sin((y - 240.0f) / 90.0f);
        return std::fabs(x - (cx + bend)) - 2.5f + (y < 240.0f || y > 500.0f ? 1e4f : 0.0f);
    });
    Mask leaf = cd::Shape(w, h, [=](float x, float y) {
        float dx = x - (cx + 38.0f), dy = y - 350.0f;
        float u = dx * 0.8f + dy * 0.6f, v = -dx * 0.6f + dy * 0.8f;
        return cd::SdEllipse(u, v, 0.0f, 0.0f, 40.0f, 14.0f);
    });
    cd::Draw(img, cd::Union(stem, leaf), cd::Linear(Pt{0, 240}, Pt{0, 500}, Stops{{0.0f, kRose}, {1.0f, kMauve}}));
    Mask fade(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) fade.At(x, y) = cd::Smoothstep(440.0f, 508.0f, static_cast<float>(y));
    cd::Erase(img, fade);
}

void DrawBillboardLights(Ctx&, Image& img) {
    int w = img.w, h = img.h;
    Bokeh(img, 30, 8.0f, 52.0f, 64.0f, 64.0f, w - 64.0f, h - 64.0f, {kRoseLight, kBlush, kIvory, kRose}, 0.8f,
          0x0B0CE7u);
    Mask fade(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            float fx = std::min(x + 0.5f, w - x - 0.5f), fy = std::min(y + 0.5f, h - y - 0.5f);
            fade.At(x, y) = 1.0f - cd::Smoothstep(0.0f, 24.0f, std::min(fx, fy));
        }
    cd::Erase(img, fade);
}

void DrawBillboardArch(Ctx& c, Image& img) {
    int w = img.w, h = img.h;
    float cx = w * 0.5f;
    // An arched window: a tall rectangle under a half circle.
    auto arch = [=](float x, float y) {
        float top = 150.0f, r = 96.0f;
        float rect = cd::SdRoundRect(x, y, cx, (top + 470.0f) * 0.5f, r, (470.0f - top) * 0.5f, 4.0f);
        float dome = cd::SdCircle(x, y, cx, top, r);
        return std::min(rect, dome);
    };
    Mask inside = cd::Shape(w, h, arch);
    cd::Draw(img, inside, cd::Linear(Pt{0, 50}, Pt{0, 470}, Stops{{0.0f, WithAlpha(kBlush, 0.55f)},
                                                                 {1.0f, WithAlpha(kMauve, 0.25f)}}));
    cd::Draw(img, Outline(w, h, arch, -6.0f, 3.0f), RoseGold(Pt{0, 50}, Pt{static_cast<float>(w), 470}));
    cd::Draw(img, Outline(w, h, arch, 6.0f, 1.2f), cd::Solid(kRoseLight), 0.8f);
    Mask v = c.Text(w, h, cd::kSerif, 150, 0.0f, "V", cx, 230.0f, cd::kCentre);
    cd::Draw(img, cd::Blurred(v, 10.0f), cd::Solid(kPlumDeep), 0.5f);
    cd::Draw(img, v, cd::Linear(Pt{0, 120}, Pt{0, 240}, Stops{{0.0f, kIvory}, {1.0f, kRoseLight}}));
    Mask fig = Figure(w, h, cx, 262.0f, 200.0f, true);
    cd::Draw(img, fig, cd::Linear(Pt{0, 262}, Pt{0, 462}, Stops{{0.0f, kPlumLight}, {1.0f, kPlumDeep}}), 0.9f);
    cd::Draw(img, Rim(fig, 3, -2, 1.0f), cd::Solid(kRoseLight), 0.8f);
}

// ---------------------------------------------------------------- gallery

void DrawPhotoStudio(Ctx&, Image& img) {
    int w = img.w, h = img.h;
    cd::Fill(img, cd::RadialXY(Pt{w * 0.38f, h * 0.4f}, w * 0.75f, h * 0.9f,
                               Stops{{0.0f, Hex(0xC99690)}, {0.45f, Hex(0x8A5068)}, {1.0f, kPlumDeep}}));
    Mask bust = ProfileMask(w, h, w * 0.31f, h * 0.12f, h * 0.92f, false);
    cd::Shadow(img, bust, 14.0f, 18, 8, WithAlpha(kInk, 0.5f));
    cd::Draw(img, bust, cd::Linear(Pt{0, 0}, Pt{static_cast<float>(w), static_cast<float>(h)},
                                   Stops{{0.0f, Hex(0x2A1530)}, {1.0f, kInk}}));
    cd::Draw(img, Rim(bust, -4, -2, 1.6f), cd::Solid(kRoseLight), 0.9f);
    cd::Draw(img, Rim(bust, -9, -4, 5.0f), cd::Solid(kRose), 0.35f);
    cd::Grain(img, 0.05f, 31);
    PrintBorder(img);
}

void DrawPhotoSunset(Ctx&, Image& img) {
    int w = img.w, h = img.h;
    float horizon = h * 0.6f;
    cd::Fill(img, cd::Linear(Pt{0, 0}, Pt{0, horizon},
                             Stops{{0.0f, Hex(0x3B2247)}, {0.55f, Hex(0xB45F78)}, {1.0f, Hex(0xF4B58E)}}));
    float sx = w * 0.64f, sy = horizon - 26.0f;
    cd::Fill(img, cd::Radial(Pt{sx, sy}, 150.0f, Stops{{0.0f, Hex(0xFFE2C0, 0.75f)}, {1.0f, Hex(0xFFE2C0, 0.0f)}}));
    Mask sun = Circle(w, h, sx, sy, 30.0f);
    cd::Draw(img, sun, cd::Solid(Hex(0xFFF0DC)));
    // The sea, with the sun's path broken into ripples.
    Mask sea(w, h);
    for (int y = static_cast<int>(horizon); y < h; y++)
        for (int x = 0; x < w; x++) sea.At(x, y) = 1.0f;
    cd::Draw(img, sea, cd::Linear(Pt{0, horizon}, Pt{0, static_cast<float>(h)},
                                  Stops{{0.0f, Hex(0x9A5570)}, {1.0f, Hex(0x2E1735)}}));
    Mask glitter(w, h);
    for (int y = static_cast<int>(horizon) + 2; y < h; y += 4) {
        float t = (y - horizon) / (h - horizon);
        float half = 20.0f + 70.0f * t;
        for (int x = 0; x < w; x++) {
            float dx = std::fabs(x - sx) / half;
            if (dx > 1.0f) continue;
            // Dashes of light, each row with its own rhythm.
            uint32_t row = static_cast<uint32_t>(y);
            float f = 0.08f + 0.1f * cd::Hash(row, 1, 5), ph = 6.2831853f * cd::Hash(row, 2, 5);
            float s = std::max(0.0f, std::sin(x * f + ph));
            glitter.At(x, y) = s * s * s * (1.0f - dx * dx) * (1.0f - 0.7f * t);
        }
    }
    cd::Draw(img, cd::Blurred(glitter, 0.8f), cd::Solid(Hex(0xFFE3C8)), 0.8f);
    // The beach in front and the model on it, backlit.
    Mask beach = cd::Shape(w, h, [=](float x, float y) { return (h * 0.86f + 10.0f * std::sin(x / 70.0f)) - y; });
    cd::Draw(img, beach, cd::Solid(Hex(0x25122B)));
    Mask fig = Figure(w, h, w * 0.34f, h * 0.2f, h * 0.78f, false);
    cd::Draw(img, fig, cd::Solid(Hex(0x1E0F24)));
    cd::Draw(img, Rim(fig, 3, -2, 1.2f), cd::Solid(Hex(0xFFD2B0)), 0.85f);
    cd::Grain(img, 0.045f, 33);
    PrintBorder(img);
}

void DrawPhotoEvening(Ctx&, Image& img) {
    int w = img.w, h = img.h;
    cd::Fill(img, cd::Linear(Pt{0, 0}, Pt{static_cast<float>(w), static_cast<float>(h)},
                             Stops{{0.0f, Hex(0x2B1A3D)}, {1.0f, Hex(0x120A18)}}));
    Image lights(w, h);
    Bokeh(lights, 40, 6.0f, 34.0f, w * 0.35f, 0.0f, static_cast<float>(w), h * 0.8f,
          {Hex(0xF6C48E), Hex(0xF0A7A0), Hex(0xFBE3C4), Hex(0xD98CB0)}, 0.9f, 0xE7Eu);
    cd::Over(img, cd::BlurredImage(lights, 1.5f), 0, 0);
    // Window mullions, dark against the lights.
    Mask bars(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            float fx = x + 0.5f, fy = y + 0.5f;
            float a = cd::Clamp01(4.5f - std::fabs(fx - w * 0.62f));
            float b = cd::Clamp01(3.5f - std::fabs(fy - h * 0.42f)) * (fx > w * 0.3f ? 1.0f : 0.0f);
            bars.At(x, y) = std::max(a, b);
        }
    cd::Draw(img, cd::Blurred(bars, 1.2f), cd::Solid(Hex(0x0F0812)), 0.85f);
    Mask bust = ProfileMask(w, h, w * 0.02f, h * 0.14f, h * 0.86f, true);
    cd::Draw(img, bust, cd::Solid(Hex(0x140A19)));
    cd::Draw(img, Rim(bust, 4, -2, 1.4f), cd::Solid(Hex(0xF6C9A8)), 0.85f);
    cd::Draw(img, Rim(bust, 9, -3, 5.0f), cd::Solid(Hex(0xD98CB0)), 0.3f);
    cd::Grain(img, 0.06f, 35);
    PrintBorder(img);
}

// ---------------------------------------------------------------- preview

void DrawPreview(Ctx& c, Image& img) {
    int w = img.w, h = img.h;
    cd::Fill(img, cd::Linear(Pt{0, 0}, Pt{0, static_cast<float>(h)}, Stops{{0.0f, kPlum}, {1.0f, kInk}}));
    cd::Fill(img, cd::RadialXY(Pt{w * 0.72f, h * 0.4f}, w * 0.5f, h * 0.7f,
                               Stops{{0.0f, WithAlpha(kMauve, 0.7f)}, {1.0f, WithAlpha(kMauve, 0.0f)}}));
    Mask bust = ProfileMask(w, h, w * 0.47f, h * 0.17f, h * 0.7f, false);
    cd::Draw(img, bust, cd::Solid(kInk));
    cd::Draw(img, Rim(bust, -3, -2, 1.0f), cd::Solid(kRoseLight), 0.9f);
    float hw = w * 0.5f, hh = h * 0.5f;
    auto frame = [=](float x, float y) { return cd::SdRoundRect(x, y, hw, hh, hw - 9, hh - 9, 8); };
    cd::Draw(img, Outline(w, h, frame, 0.0f, 1.1f), RoseGold(Pt{0, 0}, Pt{2 * hw, 2 * hh}));
    float tx = w * 0.31f;
    Mask word = c.Text(w, h, cd::kSerif, 34, 0.3f, "Velmira", tx, h * 0.52f, cd::kCentre);
    cd::Draw(img, cd::Blurred(word, 4.0f), cd::Solid(kInk), 0.7f);
    cd::Draw(img, word, cd::Solid(kIvory));
    Mask sub = c.Text(w, h, cd::kSansBold, 11, 3.0f, "PHOTO SHOW", tx, h * 0.52f + 24.0f, cd::kCentre);
    cd::Draw(img, sub, RoseGold(Pt{tx - 45, 0}, Pt{tx + 45, 0}));
    cd::Grain(img, 0.02f, 56);
}

// ---------------------------------------------------------------- error

void DrawError(Ctx& c, Image& img) {
    int w = img.w, h = img.h;
    float cx = w * 0.5f, cy = h * 0.5f - 2.0f;
    float hw = w * 0.5f - 8.0f, hh = h * 0.5f - 10.0f;
    Mask card = RoundRect(w, h, cx, cy, hw, hh, 14.0f);
    cd::Shadow(img, card, 5.0f, 0, 4, WithAlpha(Hex(0x000000), 0.6f));
    cd::Draw(img, card, cd::Linear(Pt{0, cy - hh}, Pt{0, cy + hh}, Stops{{0.0f, kPlum}, {1.0f, kPlumDeep}}));
    auto sd = [=](float x, float y) { return cd::SdRoundRect(x, y, cx, cy, hw, hh, 14.0f); };
    cd::Draw(img, Outline(w, h, sd, 1.0f, 1.6f), RoseGold(Pt{0, 0}, Pt{static_cast<float>(w), static_cast<float>(h)}));
    // A warning sign: a rose disc with an exclamation mark.
    float ix = 52.0f, iy = cy;
    Mask disc = Circle(w, h, ix, iy, 25.0f);
    cd::Draw(img, disc, cd::Radial(Pt{ix - 8, iy - 10}, 36.0f, Stops{{0.0f, Hex(0xF2A0A0)}, {1.0f, Hex(0xB24A5E)}}));
    Mask bang = cd::Union(cd::Shape(w, h, [=](float x, float y) {
                              return cd::SdCapsule(x, y, Pt{ix, iy - 13.0f}, Pt{ix, iy + 3.0f}, 3.4f);
                          }),
                          Circle(w, h, ix, iy + 12.5f, 3.6f));
    cd::Draw(img, bang, cd::Solid(kIvory));
    float tx = 92.0f;
    Mask title = c.Text(w, h, cd::kSansBold, 19, 0.0f, "Graphics capability missing", tx, 38.0f, cd::kLeft);
    cd::Draw(img, title, cd::Solid(kIvory));
    const char* lines[] = {"This graphics device lacks multitexturing",
                           "(OpenGL ARB_multitexture), which the show needs.",
                           "Install or update its driver to see the show properly."};
    for (int i = 0; i < 3; i++) {
        Mask t = c.Text(w, h, cd::kSans, 15, 0.0f, lines[i], tx, 66.0f + i * 21.0f, cd::kLeft);
        cd::Draw(img, t, cd::Solid(kCream));
    }
}

// ---------------------------------------------------------------- set movies

// The set movies show the model in full figure, in a gown of rose gold,
// making one short gesture each. A frame is a 4:3 picture with a clear
// background: the show stretches it over the screen, moved right of the
// centre, so the figure stands at about 0.42 of its width.
const int kMovieW = 640, kMovieH = 480;
const float kFigTop = 22.0f, kFigH = 436.0f;
// Where the figure comes to rest, as a fraction of the picture's width.
const float kRestX = 0.42f;

// One moment of the figure. Angles are in degrees; lengths in figure
// heights. turn: 0 faces the viewer, 90 is her profile facing left, 180 her
// back. Each arm has a sideways raise and a forward raise for the upper arm
// and the same for the forearm; arm 0 is the one on the left of the picture
// when she faces the viewer.
struct Pose {
    float x;                 // centre line, fraction of the picture's width
    float turn, headTurn;    // the body's turn, and the head's beyond it
    float lean, tilt;        // upper body about the waist, head about the neck (+: toward the left)
    float dip;               // sinking at the knees (a curtsy)
    float arm[2][4];         // per arm: upper sideways, upper forward, fore sideways, fore forward
    float hemL, hemR;        // the hem's half widths left and right of the centre line
    float flare;             // the skirt spreading out in a spin
    float bob;               // rise and fall of a step
    float folds;             // phase of the skirt's folds (they move when she turns)
    float hold;              // 0..1: her hands hold the skirt out at their height
};
const int kPoseFloats = sizeof(Pose) / sizeof(float);
static_assert(sizeof(Pose) == kPoseFloats * sizeof(float), "a pose is a row of floats");

// Exactly a at 0 and b at 1, so that movies meeting in a pose draw the
// same picture there.
Pose Lerp(const Pose& a, const Pose& b, float t) {
    if (t <= 0.0f) return a;
    if (t >= 1.0f) return b;
    float fa[kPoseFloats], fb[kPoseFloats];
    memcpy(fa, &a, sizeof a);
    memcpy(fb, &b, sizeof b);
    for (int i = 0; i < kPoseFloats; i++) fa[i] += (fb[i] - fa[i]) * t;
    Pose p;
    memcpy(&p, fa, sizeof p);
    return p;
}

// Standing at rest, turned a little toward the middle of the screen.
Pose Rest() {
    Pose p{};
    p.x = kRestX;
    p.turn = 24.0f;
    for (int s = 0; s < 2; s++) {
        p.arm[s][0] = 9.0f;
        p.arm[s][2] = 5.0f;
        p.arm[s][3] = 10.0f;
    }
    p.hemL = p.hemR = 0.13f;
    p.folds = p.turn;
    return p;
}

// sin(k pi n) for k in 0..1, exactly 0 at both ends.
float Swing(float k, float n = 1.0f) { return k <= 0.0f || k >= 1.0f ? 0.0f : std::sin(k * 3.14159265f * n); }

// A pose through key poses at increasing times 0..1, eased in and out
// between each pair.
struct Key {
    float t;
    Pose p;
};

Pose Through(const std::vector<Key>& keys, float t) {
    if (t <= keys.front().t) return keys.front().p;
    for (size_t i = 1; i < keys.size(); i++)
        if (t <= keys[i].t) {
            float k = (t - keys[i - 1].t) / (keys[i].t - keys[i - 1].t);
            return Lerp(keys[i - 1].p, keys[i].p, cd::Smoothstep(0.0f, 1.0f, k));
        }
    return keys.back().p;
}

const float kDeg = 3.14159265f / 180.0f;

// The figure of one pose, placed in the picture: body-frame points (x to
// her left hand side as seen from the front, y down from the top of her
// head, z forward) are turned, bent and moved into picture pixels.
class PosedFigure {
public:
    explicit PosedFigure(const Pose& p) : p_(p) {
        // Whole turns are no turn (fmod is exact), so a spin ends on the
        // very picture it started from.
        float turn = std::fmod(p.turn, 360.0f), head = std::fmod(p.turn + p.headTurn, 360.0f);
        c_ = std::cos(turn * kDeg);
        s_ = std::sin(turn * kDeg);
        hc_ = std::cos(head * kDeg);
        hs_ = std::sin(head * kDeg);
        float dipPx = (p.dip + p.bob) * kFigH;
        waist_ = Pt{p.x * kMovieW, kFigTop + 0.335f * kFigH + dipPx};
        neck_ = Upper(0.0f, 0.125f, 0.0f);
    }

    float Cos() const { return c_; }
    float Sin() const { return s_; }
    float HeadCos() const { return hc_; }
    float HeadSin() const { return hs_; }
    // Nearness of a body-frame x to the viewer, for layering the arms.
    float Depth(float bx) const { return bx * s_; }
    Pt Waist() const { return waist_; }

    // A point of the upper body: turned, leaned about the waist, sunk.
    Pt Upper(float bx, float by, float bz) const {
        float sx = (bx * c_ - bz * s_) * kFigH;
        float sy = (by - 0.335f) * kFigH;
        return Rotate(Pt{waist_.x + sx, waist_.y + sy}, waist_, p_.lean);
    }
    // A point of the head: turned with the head, tilted about the neck.
    Pt Head(float bx, float by, float bz) const {
        float sx = (bx * hc_ - bz * hs_) * kFigH;
        float sy = (by - 0.125f) * kFigH;
        Pt q = Rotate(Pt{sx, sy}, Pt{0, 0}, p_.tilt);
        return Pt{neck_.x + q.x, neck_.y + q.y};
    }
    // The hem of the skirt, which stays on the floor.
    float HemY() const { return kFigTop + 0.995f * kFigH; }

    // Shoulder, elbow and hand of arm side (0 or 1).
    void Arm(int side, Pt* shoulder, Pt* elbow, Pt* hand) const {
        float sg = side == 0 ? -1.0f : 1.0f;
        const float* a = p_.arm[side];
        float bx = sg * 0.07f, by = 0.195f, bz = 0.0f;
        *shoulder = Upper(bx, by, bz);
        float ux, uy, uz, fx, fy, fz;
        Dir(sg, a[0], a[1], &ux, &uy, &uz);
        Dir(sg, a[2], a[3], &fx, &fy, &fz);
        float ex = bx + ux * 0.145f, ey = by + uy * 0.145f, ez = bz + uz * 0.145f;
        *elbow = Upper(ex, ey, ez);
        *hand = Upper(ex + fx * 0.13f, ey + fy * 0.13f, ez + fz * 0.13f);
    }

private:
    static Pt Rotate(Pt q, Pt centre, float deg) {
        float a = deg * kDeg, ca = std::cos(a), sa = std::sin(a);
        float dx = q.x - centre.x, dy = q.y - centre.y;
        return Pt{centre.x + dx * ca + dy * sa, centre.y - dx * sa + dy * ca};
    }
    // A limb's direction from its sideways and forward raise.
    static void Dir(float sg, float side, float fwd, float* x, float* y, float* z) {
        float sa = std::sin(side * kDeg), ca = std::cos(side * kDeg);
        float sf = std::sin(fwd * kDeg), cf = std::cos(fwd * kDeg);
        *x = sg * sa;
        *y = ca * cf;
        *z = ca * sf;
        // A raised arm that also reaches forward keeps its length.
        float n = std::sqrt(*x * *x + *y * *y + *z * *z);
        if (n > 1e-6f) {
            *x /= n;
            *y /= n;
            *z /= n;
        }
    }

    Pose p_;
    float c_, s_, hc_, hs_;
    Pt waist_, neck_;
};

int Px(float v) { return static_cast<int>(std::floor(v)); }

Mask Capsule(int w, int h, Pt a, Pt b, float r) {
    return cd::Shape(
        w, h, [=](float x, float y) { return cd::SdCapsule(x, y, a, b, r); },
        Px(std::min(a.x, b.x) - r) - 3, Px(std::min(a.y, b.y) - r) - 3, Px(std::max(a.x, b.x) + r) + 4,
        Px(std::max(a.y, b.y) + r) + 4);
}

Mask ArmMask(const PosedFigure& f, int side) {
    Pt sh, el, ha;
    f.Arm(side, &sh, &el, &ha);
    int w = kMovieW, h = kMovieH;
    Mask m = cd::Union(Capsule(w, h, sh, el, 0.02f * kFigH), Capsule(w, h, el, ha, 0.0155f * kFigH));
    float dx = ha.x - el.x, dy = ha.y - el.y, n = std::sqrt(dx * dx + dy * dy) + 1e-6f;
    Pt tip{ha.x + dx / n * 0.022f * kFigH, ha.y + dy / n * 0.022f * kFigH};
    return cd::Union(m, Capsule(w, h, ha, tip, 0.016f * kFigH));
}

void DrawFigure(Image& img, const Pose& p) {
    int w = img.w, h = img.h;
    PosedFigure f(p);
    float ac = std::fabs(f.Cos()), as = std::fabs(f.Sin());
    float U = kFigH;
    Pt waist = f.Waist();

    // The gown: an off-shoulder bodice with a sweetheart neckline down to
    // the waist, then the skirt. Seen from the side she is narrower.
    float kx = (0.072f * ac + 0.05f * as) / 0.072f;
    auto up = [&](float bx, float by) {
        Pt c = f.Upper(0.0f, by, 0.0f);
        return Pt{c.x + bx * kx * U, c.y};
    };
    float ww = 0.047f * kx;
    std::vector<Pt> bodice = {up(-0.064f, 0.207f), up(-0.036f, 0.214f), up(0.0f, 0.232f), up(0.036f, 0.214f),
                              up(0.064f, 0.207f), up(0.05f, 0.28f),    up(0.047f, 0.335f), up(-0.047f, 0.335f),
                              up(-0.05f, 0.28f)};
    // A bust seen from the side.
    Pt bust = f.Upper(0.0f, 0.245f, 0.04f);
    float hy = f.HemY();
    float hl = (p.hemL + p.flare) * U, hr = (p.hemR + p.flare) * U;
    float hipY = waist.y + 0.09f * U;
    float hipW = (0.062f + 0.3f * p.flare) * U;
    // Held out, the skirt's side runs from the hip to the hand and down.
    Pt hands[2];
    for (int side = 0; side < 2; side++) {
        Pt sh, el;
        f.Arm(side, &sh, &el, &hands[side]);
    }
    auto held = [&](int side, float hx) {
        Pt hand = hands[side];
        float low = hy - 0.14f * U;
        float y = std::max(hipY + 1.0f, std::min(hand.y, low - 1.0f));
        float t = (y - hipY) / (low - hipY);
        Pt plain{waist.x + hx * (hipW + ((side ? hr : hl) * 0.86f - hipW) * t), y};
        return Pt{plain.x + (hand.x - plain.x) * p.hold, y + 0.015f * U * p.hold};
    };
    // Held, the fabric runs from the waist straight out toward the hand.
    auto hip = [&](int side, float hx) {
        float reach = std::fabs(hands[side].x - waist.x);
        float x = hipW + std::max(0.0f, reach - hipW) * 0.45f * p.hold;
        return Pt{waist.x + hx * x, hipY - 0.03f * U * p.hold};
    };
    std::vector<Pt> skirt = {{waist.x - ww * U, waist.y - 2.0f},
                             {waist.x + ww * U, waist.y - 2.0f},
                             hip(1, 1.0f),
                             held(1, 1.0f),
                             {waist.x + hr * 0.86f, hy - 0.14f * U},
                             {waist.x + hr, hy},
                             {waist.x + (hr - hl) * 0.5f, hy + 0.006f * U},
                             {waist.x - hl, hy},
                             {waist.x - hl * 0.86f, hy - 0.14f * U},
                             held(0, -1.0f),
                             hip(0, -1.0f)};
    Mask gown = cd::Shape(
        w, h,
        [&](float x, float y) {
            float d = cd::SdPolygon(x, y, skirt) - 1.5f;
            d = cd::SmoothMin(d, cd::SdPolygon(x, y, bodice) - 0.01f * U, 0.02f * U);
            return cd::SmoothMin(d, cd::SdCircle(x, y, bust.x, bust.y, 0.04f * U * as), 0.02f * U);
        },
        Px(waist.x - 0.45f * U), Px(kFigTop + 0.1f * U), Px(waist.x + 0.45f * U), Px(hy + 4.0f));

    // Skin: shoulders sloping from the neck, the neck and the head; the
    // arms come with their layers.
    std::vector<Pt> shoulderPoly = {up(-0.018f, 0.15f), up(0.018f, 0.15f), up(0.048f, 0.184f), up(0.064f, 0.198f),
                                    up(0.064f, 0.222f), up(-0.064f, 0.222f), up(-0.064f, 0.198f), up(-0.048f, 0.184f)};
    Pt neckA = f.Upper(0.0f, 0.115f, 0.0f), neckB = f.Upper(0.0f, 0.19f, 0.0f);
    Pt sc = up(0.0f, 0.19f);
    Mask shoulders = cd::Shape(
        w, h,
        [&](float x, float y) {
            return cd::SmoothMin(cd::SdPolygon(x, y, shoulderPoly) - 0.008f * U,
                                 cd::SdCapsule(x, y, neckA, neckB, 0.019f * U), 0.012f * U);
        },
        Px(sc.x - 0.15f * U), Px(sc.y - 0.12f * U), Px(sc.x + 0.15f * U), Px(sc.y + 0.08f * U));
    Pt head = f.Head(0.0f, 0.072f, 0.0f);
    Pt nose = f.Head(0.0f, 0.082f, 0.034f);
    Pt chin = f.Head(0.0f, 0.108f, 0.018f);
    float hrx = 0.038f * U, hry = 0.05f * U;
    Mask headM = cd::Shape(
        w, h,
        [&](float x, float y) {
            float d = cd::SdEllipse(x, y, head.x, head.y, hrx, hry);
            float side = std::fabs(f.HeadSin());
            d = cd::SmoothMin(d, cd::SdCircle(x, y, nose.x, nose.y, 0.011f * U * side), 0.006f * U);
            return cd::SmoothMin(d, cd::SdCircle(x, y, chin.x, chin.y, 0.02f * U * side), 0.01f * U);
        },
        Px(head.x - 0.08f * U), Px(head.y - 0.08f * U), Px(head.x + 0.08f * U), Px(head.y + 0.08f * U));
    // Hair: a volume over the crown and round the face, and long hair
    // falling down the back.
    Pt crown = f.Head(0.0f, 0.06f, -0.01f);
    Mask hairTop = cd::Shape(
        w, h, [&](float x, float y) { return cd::SdEllipse(x, y, crown.x, crown.y, 0.047f * U, 0.054f * U); },
        Px(crown.x - 0.08f * U), Px(crown.y - 0.08f * U), Px(crown.x + 0.08f * U), Px(crown.y + 0.08f * U));
    // Long hair gathered at the back of the head and falling down the back.
    Pt hairA = f.Head(0.0f, 0.075f, -0.028f), hairB = f.Upper(0.0f, 0.2f, -0.045f);
    Pt hairC = f.Upper(0.0f, 0.29f, -0.05f);
    Mask hairBack = cd::Shape(
        w, h,
        [&](float x, float y) {
            return cd::SmoothMin(cd::SdCapsule(x, y, hairA, hairB, 0.045f * U),
                                 cd::SdCapsule(x, y, hairB, hairC, 0.03f * U), 0.03f * U);
        },
        Px(std::min(hairA.x, hairC.x) - 0.1f * U), Px(hairA.y - 0.1f * U), Px(std::max(hairA.x, hairC.x) + 0.1f * U),
        Px(hairC.y + 0.1f * U));

    Mask arms[2] = {ArmMask(f, 0), ArmMask(f, 1)};
    // An arm is in front of the body unless she has turned it well away.
    bool near[2] = {f.Depth(-0.07f) >= -0.035f, f.Depth(0.07f) >= -0.035f};
    Mask all = cd::Union(cd::Union(gown, shoulders), cd::Union(cd::Union(headM, hairTop), hairBack));
    all = cd::Union(all, cd::Union(arms[0], arms[1]));

    // A soft glow around her lifts the figure off the dark desktop.
    cd::Draw(img, cd::Blurred(all, 16.0f), cd::Solid(kRose), 0.22f);
    cd::Draw(img, cd::Blurred(all, 5.0f), cd::Solid(kBlush), 0.35f);

    cd::Paint skin = cd::Linear(Pt{0, kFigTop}, Pt{0, kFigTop + 0.6f * U},
                                Stops{{0.0f, Hex(0xFBEBDD)}, {0.5f, Hex(0xF1CDBC)}, {1.0f, Hex(0xE3AE9C)}});
    cd::Paint skinShade = cd::Solid(Hex(0xC98F80));
    cd::Paint hair = cd::RadialXY(Pt{head.x - 0.02f * U, head.y - 0.04f * U}, 0.12f * U, 0.25f * U,
                                  Stops{{0.0f, kPlumLight}, {0.5f, kPlum}, {1.0f, kPlumDeep}});
    bool backView = f.HeadCos() < 0.0f;
    if (!backView) cd::Draw(img, hairBack, hair);
    for (int s = 0; s < 2; s++)
        if (!near[s]) cd::Draw(img, arms[s], skinShade);
    // The gown: satin, deeper at the neckline and toward the hem, with
    // folds fanning out from the waist.
    cd::Draw(img, gown,
             cd::Linear(Pt{0, kFigTop + 0.2f * U}, Pt{0, hy},
                        Stops{{0.0f, kRoseDeep}, {0.1f, kRose}, {0.3f, kRose}, {0.62f, kRoseDeep}, {1.0f, kMauve}}));
    float ph = std::fmod(p.folds, 120.0f);  // the folds repeat every 120 degrees
    float wx = waist.x, wy = waist.y, span = hy - wy;
    cd::AddLight(img, gown, [=](float x, float y) {
        float t = cd::Clamp01((y - wy) / span);
        if (t <= 0.0f) return Col{0, 0, 0, 0};
        float half = ww * U + (std::max(hl, hr) - ww * U) * t;
        float u = (x - wx) / std::max(half, 1.0f);
        float band = 0.5f + 0.5f * std::cos(u * 9.0f + ph * kDeg * 3.0f);
        return WithAlpha(Hex(0xFFE6D6), band * band * 0.55f * cd::Smoothstep(0.0f, 0.35f, t));
    });
    // A thin belt of rose gold at the waist.
    Mask belt = cd::Intersect(gown, cd::Shape(w, h, [=](float, float y) {
                                  return std::fabs(y - (wy - 0.004f * U)) - 0.007f * U;
                              }));
    cd::Draw(img, belt, RoseGold(Pt{wx - ww * U, 0}, Pt{wx + ww * U, 0}));
    cd::Draw(img, shoulders, skin);
    // A rose gold trim along the neckline.
    Mask trim = cd::Intersect(cd::Subtract(cd::Shifted(shoulders, 0, 3), shoulders), gown);
    cd::Draw(img, trim, RoseGold(Pt{wx - 0.07f * U, 0}, Pt{wx + 0.07f * U, 0}));
    if (!backView) cd::Draw(img, hairTop, hair);
    // The head: face where it looks toward the viewer, hair elsewhere.
    float hcs = f.HeadCos(), hsn = f.HeadSin();
    cd::Draw(img, headM, [=](float x, float y) {
        float u = (x - head.x) / hrx, v = (y - head.y) / hry;
        float r = u * u + v * v;
        float wz = std::sqrt(std::max(0.0f, 1.0f - std::min(r, 1.0f)));
        float bz = -u * hsn + wz * hcs;  // forward component on the head
        // A side parting: the hairline falls toward one side.
        float bx = u * hcs + wz * hsn;
        float faceK = cd::Smoothstep(0.1f, 0.3f, bz) * cd::Smoothstep(-0.5f, -0.3f, v - 0.28f * bx);
        Col hairC = cd::Mix(kPlumLight, kPlumDeep, cd::Clamp01(0.5f + 0.5f * v));
        Col skinC = cd::Mix(Hex(0xFBEBDD), Hex(0xEDC3B2), cd::Clamp01(0.5f + 0.6f * v));
        return cd::Mix(hairC, skinC, faceK);
    });
    // Lowered lashes and lips, where the face turns toward the viewer.
    auto feature = [&](float bx, float bz) {
        float depth = bx * hsn + bz * hcs;
        return cd::Smoothstep(0.012f, 0.026f, depth);
    };
    for (float sx : {-0.015f, 0.015f}) {
        float k = feature(sx, 0.033f);
        if (k <= 0.0f) continue;
        Pt a = f.Head(sx - 0.006f, 0.069f, 0.033f), b = f.Head(sx + 0.006f, 0.069f, 0.033f);
        Pt m = f.Head(sx, 0.072f, 0.034f);
        Mask lash = cd::Union(Capsule(w, h, a, m, 0.0024f * U), Capsule(w, h, m, b, 0.0024f * U));
        cd::Draw(img, lash, cd::Solid(kPlumDeep), 0.85f * k);
    }
    float lipK = feature(0.0f, 0.035f);
    if (lipK > 0.0f) {
        Pt l = f.Head(0.0f, 0.097f, 0.035f);
        float lw = 0.0075f * U * (0.4f + 0.6f * std::fabs(hcs));
        Mask lips = cd::Shape(w, h, [=](float x, float y) { return cd::SdEllipse(x, y, l.x, l.y, lw, 0.0035f * U); },
                              Px(l.x - 12), Px(l.y - 8), Px(l.x + 12), Px(l.y + 8));
        cd::Draw(img, lips, cd::Solid(kRoseDeep), 0.9f * lipK);
    }
    if (backView) {
        cd::Draw(img, hairTop, hair);
        cd::Draw(img, hairBack, hair);
    }
    for (int s = 0; s < 2; s++)
        if (near[s]) cd::Draw(img, arms[s], skin);
    // Light from the upper left: a warm rim there, a little shade on the right.
    cd::Draw(img, all, cd::Linear(Pt{wx - 0.15f * U, 0}, Pt{wx + 0.2f * U, 0},
                                  Stops{{0.0f, WithAlpha(kInk, 0.0f)}, {1.0f, WithAlpha(kInk, 0.28f)}}));
    cd::Draw(img, cd::Intersect(Rim(all, -3, -2, 1.4f), all), cd::Solid(kIvory), 0.75f);
}

// The nine movies. Each is a function of the time as the viewer sees it,
// 0..1; a movie the show plays backward is stored in reverse, so that its
// last stored frame joins the movie before it and its first stored frame is
// the pose it rests on.

// Walks in from the right, in profile, and turns to the viewer.
Pose WalkIn(float t) {
    Pose end = Rest(), p = end;
    float walk = cd::Smoothstep(0.0f, 0.78f, t);
    p.x = kRestX + (0.7f - kRestX) * (1.0f - walk) * (1.0f - walk);
    float stride = 1.0f - cd::Smoothstep(0.6f, 0.85f, t);
    float ph = (0.7f - p.x) / 0.15f * 3.14159265f;  // a step every 0.15 of the picture
    p.turn = 72.0f + (end.turn - 72.0f) * cd::Smoothstep(0.62f, 1.0f, t);
    p.headTurn = -10.0f * (1.0f - cd::Smoothstep(0.5f, 0.9f, t));
    float sw = std::sin(ph) * stride;
    p.arm[0][1] = 22.0f * sw;
    p.arm[0][3] = end.arm[0][3] + 22.0f * sw + 4.0f * stride;
    p.arm[1][1] = -22.0f * sw;
    p.arm[1][3] = end.arm[1][3] - 22.0f * sw + 4.0f * stride;
    p.hemL = 0.13f + 0.045f * stride * std::max(0.0f, sw) + 0.02f * stride;
    p.hemR = 0.13f + 0.045f * stride * std::max(0.0f, -sw);
    p.bob = -0.006f * std::fabs(std::cos(ph)) * stride;
    p.folds = p.turn + 40.0f * sw;
    if (stride <= 0.0f) p.folds = p.turn;
    return p;
}

// Raises her near hand and waves.
Pose Wave(float t) {
    Pose a = Rest(), b = a;
    b.arm[1][0] = 98.0f;
    b.arm[1][1] = 10.0f;
    b.arm[1][2] = 165.0f;
    b.arm[1][3] = 0.0f;
    b.tilt = -6.0f;
    b.lean = -2.0f;
    Pose p = Lerp(a, b, cd::Smoothstep(0.0f, 0.42f, t));
    float wave = cd::Smoothstep(0.3f, 0.45f, t) * std::sin((t - 0.3f) * 3.14159265f * 4.0f);
    p.arm[1][2] += 22.0f * wave;
    p.arm[1][0] += 4.0f * wave;
    p.folds = p.turn;
    return p;
}

const Pose kHipPose = [] {
    Pose p = Rest();
    p.arm[0][0] = 32.0f;
    p.arm[0][2] = -62.0f;
    p.arm[0][3] = -10.0f;
    p.arm[1][0] = 14.0f;
    p.arm[1][2] = 18.0f;
    p.lean = -4.0f;
    p.tilt = 9.0f;
    p.headTurn = -14.0f;
    p.hemL = 0.15f;
    p.hemR = 0.115f;
    return p;
}();

// Turns around from her back to the viewer, the head ahead of the body.
Pose TurnAround(float t) {
    Pose p = Rest();
    float k = cd::Smoothstep(0.05f, 0.9f, t);
    p.turn = 200.0f + (p.turn - 200.0f) * k;
    float swing = Swing(k);
    p.headTurn = -40.0f * swing;
    p.tilt = 5.0f * swing;
    p.hemL = 0.13f + 0.03f * swing;
    p.hemR = 0.13f - 0.015f * swing;
    p.folds = p.turn;
    return p;
}

// Sets a hand on her hip and leans into it, the head tilted.
Pose HandOnHip(float t) {
    Pose p = Lerp(Rest(), kHipPose, cd::Smoothstep(0.0f, 0.85f, t));
    p.folds = p.turn + 30.0f * t;
    return p;
}

// A full spin, the skirt flaring out, arms opening.
Pose Twirl(float t) {
    Pose p = Rest();
    float k = cd::Smoothstep(0.0f, 1.0f, t);
    p.turn = 24.0f + 360.0f * k;
    float mid = Swing(k);
    p.flare = 0.075f * mid * mid;
    for (int s = 0; s < 2; s++) {
        p.arm[s][0] = 9.0f + 38.0f * mid;
        p.arm[s][2] = 5.0f + 52.0f * mid;
    }
    p.headTurn = -25.0f * Swing(k, 2.0f);
    p.bob = -0.008f * mid;
    p.folds = 24.0f + 480.0f * k;  // whole repeats of the folds: they end as they began
    return p;
}

// Brings her hand to her lips and blows a kiss toward the viewer.
Pose BlowKiss(float t) {
    Pose a = Rest(), lips = a, out = a;
    lips.turn = out.turn = 14.0f;
    lips.arm[0][0] = 10.0f;
    lips.arm[0][1] = 30.0f;
    lips.arm[0][2] = -156.0f;
    lips.arm[0][3] = 20.0f;
    lips.tilt = 5.0f;
    out.arm[0][0] = 62.0f;
    out.arm[0][1] = 35.0f;
    out.arm[0][2] = 78.0f;
    out.arm[0][3] = 35.0f;
    out.tilt = 7.0f;
    out.lean = 3.0f;
    out.headTurn = 10.0f;
    Pose p = Through({{0.0f, a}, {0.4f, lips}, {0.55f, lips}, {1.0f, out}}, t);
    p.folds = p.turn + 20.0f * t;
    return p;
}

// Faces the viewer and sinks into a curtsy, holding out her skirt.
Pose Curtsy(float t) {
    Pose a = Rest(), hold = a, low = a;
    hold.turn = 4.0f;
    for (int s = 0; s < 2; s++) {
        hold.arm[s][0] = 16.0f;
        hold.arm[s][2] = 30.0f;
    }
    hold.hemL = hold.hemR = 0.17f;
    hold.hold = 0.8f;
    low = hold;
    low.dip = 0.065f;
    low.tilt = 12.0f;
    low.lean = 3.0f;
    low.hemL = low.hemR = 0.2f;
    for (int s = 0; s < 2; s++) low.arm[s][2] = 38.0f;
    Pose p = Through({{0.0f, a}, {0.35f, hold}, {0.85f, low}, {1.0f, low}}, t);
    p.folds = p.turn;
    return p;
}

// Turns toward the left and presents what is there with an open hand.
const Pose kPresentPose = [] {
    Pose p = Rest();
    p.turn = 46.0f;
    p.headTurn = 30.0f;
    p.tilt = -4.0f;
    p.arm[0][0] = 42.0f;
    p.arm[0][1] = 45.0f;
    p.arm[0][2] = 62.0f;
    p.arm[0][3] = 50.0f;
    p.hemL = 0.145f;
    p.folds = 46.0f;
    return p;
}();

Pose Present(float t) {
    Pose p = Lerp(Rest(), kPresentPose, cd::Smoothstep(0.0f, 0.9f, t));
    return p;
}

// From presenting, lowers her hand, turns to the left in profile and
// watches, hands behind her back and chin raised.
Pose Watch(float t) {
    Pose w = kPresentPose;
    w.turn = 88.0f;
    w.headTurn = 0.0f;
    w.tilt = -9.0f;
    for (int s = 0; s < 2; s++) {
        w.arm[s][0] = 6.0f;
        w.arm[s][1] = -22.0f;
        w.arm[s][2] = -8.0f;
        w.arm[s][3] = -38.0f;
    }
    w.hemL = 0.14f;
    w.hemR = 0.13f;
    w.folds = 88.0f;
    return Lerp(kPresentPose, w, cd::Smoothstep(0.0f, 0.9f, t));
}

struct MoviePlan {
    int id;
    const char* name;  // file stem of its frames
    int frames;
    bool backward;     // the show plays it backward
    const char* what;
    Pose (*pose)(float t);
};

const MoviePlan kMovies[] = {
    {kEntryMovie0, "m357_walk_in", 40, false, "set movie 0: walks in and turns to the viewer", WalkIn},
    {kEntryMovie1, "m420_wave", 24, true, "set movie 1 (played backward): raises a hand and waves", Wave},
    {kEntryMovie2, "m721_turn", 26, false, "set movie 2: turns around from her back", TurnAround},
    {kEntryMovie3, "m824_hip", 20, true, "set movie 3 (played backward): a hand on her hip", HandOnHip},
    {kEntryMovie4, "m1723_twirl", 28, false, "set movie 4: a spin with the skirt flaring", Twirl},
    {kEntryMovie5, "m1121_kiss", 26, false, "set movie 5: blows a kiss", BlowKiss},
    {kEntryMovie6, "m1234_curtsy", 24, false, "set movie 6: a curtsy", Curtsy},
    {kEntryMovie7, "m2325_present", 22, false, "set movie 7: presents the gallery", Present},
    {kEntryMovie8, "m2044_watch", 22, true, "set movie 8 (played backward): turns to watch", Watch},
};

// The pose of stored frame i.
Pose MoviePose(const MoviePlan& m, int i) {
    float t = m.frames > 1 ? static_cast<float>(i) / static_cast<float>(m.frames - 1) : 0.0f;
    return m.pose(m.backward ? 1.0f - t : t);
}

// ---------------------------------------------------------------- entries

enum Kind { kPng, kJpg };

struct Entry {
    int id;
    const char* file;  // file name in the pictures folder
    int w, h;
    Kind kind;
    const char* what;
    void (*draw)(Ctx&, Image&);
};

// The bubbles: picture entries with their line or two, and the captions.
#define FX_BUBBLE(name, a, b) \
    void name(Ctx& c, Image& img) { DrawBubble(c, img, a, b); }
#define FX_CAPTION(name, t) \
    void name(Ctx& c, Image& img) { DrawCaption(c, img, t); }

FX_BUBBLE(Bubble0, "Hello, I am Velmira.", "Stay a while with me.")
FX_BUBBLE(Bubble1, "Let me show you", "my favourite pictures.")
FX_BUBBLE(Bubble2, "A few snapshots", "from my album\xE2\x80\xA6")
FX_BUBBLE(Bubble3, "Soft light,", "slow mornings.")
FX_BUBBLE(Bubble4, "Rose gold suits me,", "don\xE2\x80\x99t you think?")
FX_BUBBLE(Bubble5, "Close your eyes\xE2\x80\xA6", "now open them.")
FX_BUBBLE(Bubble6, "Every picture", "keeps a little secret.")
FX_CAPTION(Caption3, "MORNING SESSION")
FX_CAPTION(Caption4, "THE ROSE GOLD SERIES")
FX_CAPTION(Caption5, "A LITTLE SURPRISE")
FX_CAPTION(Caption6, "PRIVATE NOTES")
FX_CAPTION(Caption2, "FROM THE ALBUM")

#undef FX_BUBBLE
#undef FX_CAPTION

const Entry kEntries[] = {
    {kEntryGallery1, "31_gallery_studio.jpg", 400, 300, kJpg, "gallery picture 1: studio portrait", DrawPhotoStudio},
    {kEntryBubble3, "32_bubble_3.png", 512, 288, kPng, "bubble 3", Bubble3},
    {kEntryGallery2, "33_gallery_sunset.jpg", 400, 300, kJpg, "gallery picture 2: golden hour", DrawPhotoSunset},
    {kEntryBubble4, "34_bubble_4.png", 512, 288, kPng, "bubble 4", Bubble4},
    {kEntryGallery3, "35_gallery_evening.jpg", 400, 300, kJpg, "gallery picture 3: evening window", DrawPhotoEvening},
    {kEntryBubble5, "36_bubble_5.png", 512, 288, kPng, "bubble 5", Bubble5},
    {kEntryBubble6, "37_bubble_6.png", 512, 288, kPng, "bubble 6", Bubble6},
    {kEntryFrameOverlay, "38_frame_overlay.png", 1024, 768, kPng, "frame overlay", DrawFrameOverlay},
    {kEntryBanner, "39_banner_wordmark.png", 288, 240, kPng, "first banner: wordmark", DrawBannerWordmark},
    {kEntryErrorPicture, "40_error_message.png", 520, 132, kPng, "error picture", DrawError},
    {kEntryBubble0, "41_bubble_0.png", 512, 288, kPng, "bubble 0 (opening)", Bubble0},
    {kEntryBubble1, "42_bubble_1.png", 512, 288, kPng, "bubble 1 (opening)", Bubble1},
    {kEntryCaption3, "43_caption_3.png", 768, 72, kPng, "caption of bubble 3", Caption3},
    {kEntryCaption4, "44_caption_4.png", 768, 72, kPng, "caption of bubble 4", Caption4},
    {kEntryCaption5, "45_caption_5.png", 768, 72, kPng, "caption of bubble 5", Caption5},
    {kEntryCaption6, "46_caption_6.png", 768, 72, kPng, "caption of bubble 6", Caption6},
    {kEntryCaption2, "47_caption_2.png", 768, 72, kPng, "caption of bubble 2", Caption2},
    {kEntryBillboard1, "48_billboard_figure.png", 256, 512, kPng, "billboard 1: standing figure", DrawBillboardFigure},
    {kEntryBillboard2, "49_billboard_name.png", 256, 512, kPng, "billboard 2: name in column", DrawBillboardName},
    {kEntryBillboard3, "50_billboard_profile.png", 256, 512, kPng, "billboard 3: profile", DrawBillboardProfile},
    {kEntryBillboard4, "51_billboard_rose.png", 256, 512, kPng, "billboard 4: rose", DrawBillboardRose},
    {kEntryBillboard5, "52_billboard_lights.png", 256, 512, kPng, "billboard 5: lights", DrawBillboardLights},
    {kEntryBillboard6, "53_billboard_arch.png", 256, 512, kPng, "billboard 6: arch and monogram", DrawBillboardArch},
    {kEntryBanner1, "54_banner_seal.png", 288, 240, kPng, "second banner: monogram seal", DrawBannerSeal},
    {kEntryBubble2, "55_bubble_2.png", 512, 288, kPng, "bubble 2 (gallery set)", Bubble2},
    {kEntryPreview, "56_preview.jpg", 304, 224, kJpg, "preview picture", DrawPreview},
};

// ---------------------------------------------------------------- files

long FileSize(const std::string& p) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(p, ec)) return -1;
    auto n = std::filesystem::file_size(p, ec);
    return ec ? -1 : static_cast<long>(n);
}

// The work folder for the pictures while the package is built; removed at
// the end unless the pictures are kept.
class WorkDir {
public:
    WorkDir() = default;
    ~WorkDir() { Remove(); }
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;

    bool MakeTemp(const std::string& parent) {
        FXStr made;
        if (!fxMakeTempFolder(parent.c_str(), ".velmira-content-", &made)) return false;
        path_ = made.text;
        temporary_ = true;
        return true;
    }
    bool UseKept(const std::string& p) {
        path_ = p;
        temporary_ = false;
        return fxMakeFolder(p.c_str());
    }
    void Track(const std::string& file) { files_.push_back(file); }
    // A folder inside the work folder, removed with it.
    bool Sub(const std::string& name, std::string* made) {
        *made = path_ + "/" + name;
        if (!fxMakeFolder(made->c_str())) return false;
        folders_.push_back(*made);
        return true;
    }
    const std::string& Path() const { return path_; }
    void Remove() {
        if (!temporary_) return;
        for (const std::string& f : files_) fxRemoveFile(f.c_str());
        files_.clear();
        for (auto f = folders_.rbegin(); f != folders_.rend(); ++f) fxRemoveFolder(f->c_str());
        folders_.clear();
        fxRemoveFolder(path_.c_str());
        temporary_ = false;
    }

private:
    std::string path_;
    bool temporary_ = false;
    std::vector<std::string> files_;
    std::vector<std::string> folders_;
};

bool DrawAndSave(Ctx& ctx, const Entry& e, const std::string& path) {
    Image img(e.w, e.h);
    ctx.textFailed = false;
    e.draw(ctx, img);
    if (ctx.textFailed) {
        Fail("entry %d (%s): text could not be rendered (is the DejaVu font installed?)", e.id, e.what);
        return false;
    }
    FXCanvas canvas;
    if (!cd::ToCanvas(img, &canvas, static_cast<uint32_t>(e.id) * 2654435761u)) {
        Fail("entry %d (%s): no memory for %d x %d pixels", e.id, e.what, e.w, e.h);
        return false;
    }
    fxRemoveFile(path.c_str());
    bool ok = e.kind == kJpg ? canvas.SaveToPict(path.c_str()) : canvas.SaveToPict2(path.c_str(), 0, 0, e.w, e.h);
    // A save reports only an empty region; whether the file came out is
    // checked here.
    if (!ok || FileSize(path) <= 0) {
        Fail("entry %d (%s): %s could not be written", e.id, e.what, path.c_str());
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- gallery model

// The gallery set's 3D model: a bust of the model on a round plinth that
// turns and breathes over six key frames, played once. The set stretches
// frame 0's box over the screen (x and y to -1..1, z only centred) and maps
// one picture onto it from the front, so the model is made in those units:
// 2 high, its box about 1.4 times as wide (a plinth wider than the bust, so
// the bust keeps its shape on a wide screen), and shallow enough for the
// depth range -2..2 while it turns.
//
// Made as an OBJ file would hold it (y up, facing +z, triangles counter-
// clockwise seen from outside); the engine's frames are these with z negated,
// as the OBJ import does.

const int kModelFrames = 6;
const int kModelFrameMs = 900;
const char* const kModelMaterials[] = {"gown", "skin", "hair", "plinth"};
enum { kGown, kSkin, kHair, kPlinth, kModelParts };

struct ModelKey {
    float yaw, headYaw, headRoll, breath;  // degrees, degrees, degrees, 0..1
};
const ModelKey kModelKeys[kModelFrames] = {
    {0, 0, 0, 0}, {-20, -10, 5, 1}, {-8, 6, -3, 0.2f}, {14, 10, -6, 1}, {22, -6, 4, 0.1f}, {0, 0, 0, 0},
};

struct Part {
    std::vector<float> p;  // x, y, z per vertex
    std::vector<int> t;    // three corners per triangle
    int Count() const { return static_cast<int>(p.size() / 3); }
};

// A closed band of rings x segments; point(i, j) gives ring i's point j.
// Rings run upwards (or from a top pole down with `down`), so the corners
// are ordered to keep the outside counter-clockwise.
template <typename F>
void Band(Part& part, int rings, int segs, bool down, F point) {
    int base = part.Count();
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segs; ++j) {
            float q[3];
            point(i, j, q);
            part.p.insert(part.p.end(), q, q + 3);
        }
    for (int i = 0; i + 1 < rings; ++i)
        for (int j = 0; j < segs; ++j) {
            int a = base + i * segs + j, b = base + i * segs + (j + 1) % segs;
            int c = a + segs, d = b + segs;
            if (down) std::swap(a, c), std::swap(b, d);
            part.t.insert(part.t.end(), {a, c, b, b, c, d});
        }
}

// A flat cap over a ring (its centre at the given height), facing up.
void Cap(Part& part, int ringStart, int segs, float y) {
    int centre = part.Count();
    float cx = 0, cz = 0;
    for (int j = 0; j < segs; ++j) cx += part.p[3 * (ringStart + j)], cz += part.p[3 * (ringStart + j) + 2];
    part.p.insert(part.p.end(), {cx / segs, y, cz / segs});
    for (int j = 0; j < segs; ++j) part.t.insert(part.t.end(), {centre, ringStart + (j + 1) % segs, ringStart + j});
}

float Lerpf(float a, float b, float t) { return a + (b - a) * t; }

// The torso's half width and half depth at a height, through its profile.
void TorsoAt(float y, float* rx, float* rz) {
    static const float k[][3] = {{-0.93f, 0.40f, 0.27f}, {-0.70f, 0.36f, 0.25f}, {-0.45f, 0.40f, 0.29f},
                                 {-0.25f, 0.47f, 0.32f}, {-0.05f, 0.55f, 0.30f}, {0.06f, 0.60f, 0.26f},
                                 {0.13f, 0.50f, 0.21f},  {0.18f, 0.30f, 0.16f},  {0.21f, 0.12f, 0.11f}};
    const int n = sizeof k / sizeof k[0];
    int i = 0;
    while (i < n - 2 && y > k[i + 1][0]) ++i;
    float t = cd::Smoothstep(0.0f, 1.0f, cd::Clamp01((y - k[i][0]) / (k[i + 1][0] - k[i][0])));
    *rx = Lerpf(k[i][1], k[i + 1][1], t);
    *rz = Lerpf(k[i][2], k[i + 1][2], t);
}

const float kPi = 3.14159265f;
const float kNeckline = -0.02f;  // the gown's top edge
const float kHeadY = 0.62f;

// Turns a point about the y axis through (0, *, 0), then about z through
// pivot, by degrees.
void Turn(float* q, float yawDeg, float rollDeg, float pivotY) {
    float a = yawDeg * kPi / 180.0f, r = rollDeg * kPi / 180.0f;
    float x = q[0] * std::cos(a) + q[2] * std::sin(a), z = -q[0] * std::sin(a) + q[2] * std::cos(a);
    float y = q[1] - pivotY;
    q[0] = x * std::cos(r) - y * std::sin(r);
    q[1] = pivotY + x * std::sin(r) + y * std::cos(r);
    q[2] = z;
}

// One key frame's parts.
void ModelFrame(const ModelKey& k, Part parts[kModelParts]) {
    const float breath = k.breath;
    // The chest swells and the shoulders rise with a breath.
    auto torso = [&](float y, float th, float* q) {
        float rx, rz;
        TorsoAt(y, &rx, &rz);
        float swell = 1.0f + 0.045f * breath * std::exp(-(y + 0.2f) * (y + 0.2f) / 0.03f);
        q[0] = rx * swell * std::cos(th);
        q[1] = y + (y > -0.1f ? 0.02f * breath * cd::Clamp01((y + 0.1f) / 0.2f) : 0.0f);
        q[2] = rz * swell * std::sin(th) * (1.0f + 0.08f * std::max(0.0f, std::sin(th)));
        Turn(q, k.yaw, 0, 0);
    };
    auto head = [&](float* q) {  // head, neck top, hair and earrings turn and tilt further
        q[1] += 0.02f * breath;
        Turn(q, k.yaw + k.headYaw, k.headRoll, 0.40f);
    };
    const int segs = 40;
    Band(parts[kGown], 18, segs, false, [&](int i, int j, float* q) {
        torso(Lerpf(-0.93f, kNeckline, i / 17.0f), 2 * kPi * j / segs, q);
    });
    Band(parts[kSkin], 9, segs, false, [&](int i, int j, float* q) {
        torso(Lerpf(kNeckline, 0.21f, i / 8.0f), 2 * kPi * j / segs, q);
    });
    Band(parts[kSkin], 7, 24, false, [&](int i, int j, float* q) {
        float y = Lerpf(0.12f, 0.46f, i / 6.0f), th = 2 * kPi * j / 24;
        q[0] = 0.095f * std::cos(th), q[1] = y, q[2] = 0.02f + 0.105f * std::sin(th);
        if (y > 0.3f) {
            head(q);
        } else {
            q[1] += 0.02f * breath;
            Turn(q, k.yaw, 0, 0);
        }
    });
    // The head: an egg narrowing to the chin, with a nose.
    Band(parts[kSkin], 20, 32, true, [&](int i, int j, float* q) {
        float ph = kPi * i / 19.0f, th = 2 * kPi * j / 32;
        float chin = ph > kPi / 2 ? 1.0f - 0.32f * (ph - kPi / 2) / (kPi / 2) : 1.0f;
        float dth = th - kPi / 2, dph = ph - 1.75f;
        float nose = 0.035f * std::exp(-dth * dth / 0.02f - dph * dph / 0.04f);
        q[0] = 0.19f * chin * std::sin(ph) * std::cos(th);
        q[1] = kHeadY + 0.25f * std::cos(ph);
        q[2] = 0.03f + (0.22f * std::sin(ph) + nose) * std::sin(th);
        head(q);
    });
    // Hair: a cap to the brow in front, lower at the back, and a bun.
    Band(parts[kHair], 12, 32, true, [&](int i, int j, float* q) {
        float th = 2 * kPi * j / 32, reach = 0.52f * kPi + 0.3f * kPi * std::max(0.0f, -std::sin(th));
        float ph = reach * i / 11.0f;
        q[0] = 0.207f * std::sin(ph) * std::cos(th);
        q[1] = kHeadY + 0.035f + 0.265f * std::cos(ph);
        q[2] = 0.02f + 0.24f * std::sin(ph) * std::sin(th);
        head(q);
    });
    auto ball = [&](Part& part, float cx, float cy, float cz, float r, int rings, int bsegs) {
        Band(part, rings, bsegs, true, [&](int i, int j, float* q) {
            float ph = kPi * i / (rings - 1), th = 2 * kPi * j / bsegs;
            q[0] = cx + r * std::sin(ph) * std::cos(th), q[1] = cy + r * std::cos(ph), q[2] = cz + r * std::sin(ph) * std::sin(th);
            head(q);
        });
    };
    ball(parts[kHair], 0.0f, 0.74f, -0.25f, 0.12f, 12, 20);
    ball(parts[kGown], 0.19f, 0.49f, 0.03f, 0.026f, 6, 10);
    ball(parts[kGown], -0.19f, 0.49f, 0.03f, 0.026f, 6, 10);
    // The plinth stands still: a low elliptic drum and a rose gold band.
    const int ps = 64;
    auto drum = [&](Part& part, float rx, float rz, float y0, float y1, bool cap) {
        int start = part.Count() + ps;
        Band(part, 2, ps, false, [&](int i, int j, float* q) {
            float th = 2 * kPi * j / ps;
            q[0] = rx * std::cos(th), q[1] = i ? y1 : y0, q[2] = rz * std::sin(th);
        });
        if (cap) Cap(part, start, ps, y1);
    };
    drum(parts[kPlinth], 1.40f, 0.55f, -1.0f, -0.92f, true);
    drum(parts[kGown], 1.412f, 0.562f, -0.955f, -0.935f, false);
}

// Unit normals from the triangles around each vertex.
std::vector<float> Normals(const Part& part) {
    std::vector<float> n(part.p.size(), 0.0f);
    for (size_t k = 0; k + 2 < part.t.size(); k += 3) {
        const float* a = &part.p[3 * part.t[k]];
        const float* b = &part.p[3 * part.t[k + 1]];
        const float* c = &part.p[3 * part.t[k + 2]];
        float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        float x[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        for (int s = 0; s < 3; ++s)
            for (int d = 0; d < 3; ++d) n[3 * part.t[k + s] + d] += x[d];
    }
    for (size_t i = 0; i < n.size(); i += 3) {
        float l = std::sqrt(n[i] * n[i] + n[i + 1] * n[i + 1] + n[i + 2] * n[i + 2]);
        for (int d = 0; d < 3; ++d) n[i + d] = l > 0 ? n[i + d] / l : (d == 1 ? 1.0f : 0.0f);
    }
    return n;
}

// The engine's form of a frame: one mesh per part, z negated.
FXModel* EngineFrame(const Part parts[kModelParts], const char* library) {
    FXModel* m = new FXModel;
    m->libraryName.Set(library);
    for (int k = 0; k < kModelParts; ++k) {
        const Part& part = parts[k];
        std::vector<float> n = Normals(part);
        FXMesh* mesh = new FXMesh;
        mesh->materialName.Set(kModelMaterials[k]);
        mesh->Realloc(part.Count(), static_cast<int>(part.t.size()));
        for (int v = 0; v < part.Count(); ++v) {
            float* r = mesh->Vertex(v);
            for (int i = 0; i < FX_VTX_FLOATS; ++i) r[i] = i >= FX_VTX_COLOR && i < FX_VTX_COLOR + 4 ? 1.0f : 0.0f;
            for (int d = 0; d < 3; ++d) r[FX_VTX_POS + d] = part.p[3 * v + d] * (d == 2 ? -1.0f : 1.0f);
            for (int d = 0; d < 3; ++d) r[FX_VTX_NORMAL + d] = n[3 * v + d] * (d == 2 ? -1.0f : 1.0f);
        }
        for (size_t i = 0; i < part.t.size(); ++i) mesh->indices[i] = part.t[i];
        m->loadedMeshes.Push(mesh);
    }
    m->UpdateMeshes();
    return m;
}

// The picture mapped from the front over frame 0's box (x0, x1, y0, y1 in
// model units): skin, gown, hair and plinth where each shows from the front,
// with the face, a necklace and the gown's folds.
void DrawModelPicture(Image& img, const float* box) {
    const float w = static_cast<float>(img.w), h = static_cast<float>(img.h);
    auto X = [&](float px) { return box[0] + (box[1] - box[0]) * px / w; };
    auto Y = [&](float py) { return box[3] - (box[3] - box[2]) * py / h; };
    auto PX = [&](float x) { return (x - box[0]) / (box[1] - box[0]) * w; };
    auto PY = [&](float y) { return (box[3] - y) / (box[3] - box[2]) * h; };
    cd::Paint gold = RoseGold(Pt{PX(-0.5f), 0}, Pt{PX(0.5f), 0});
    cd::Fill(img, [&](float px, float py) {
        float x = X(px), y = Y(py);
        if (y < -0.915f) {  // plinth: plum marble with a rose gold band
            if (y > -0.958f && y < -0.932f) return gold(px, py);
            float vein = std::fabs(std::sin(9.0f * x + 3.0f * std::sin(14.0f * y) + 2.0f * y));
            return cd::Mix(kPlum, kPlumLight, 0.25f + 0.35f * std::pow(1.0f - vein, 6.0f));
        }
        float hx = x / 0.225f, hy = (y - kHeadY - 0.035f) / 0.285f;
        if (y > kHeadY + 0.015f && hx * hx + hy * hy < 1.0f) {  // hair with strands
            float strand = 0.5f + 0.5f * std::sin(60.0f * std::atan2(y - 0.2f, x));
            return cd::Mix(kPlumDeep, kMauve, 0.15f + 0.3f * strand * strand);
        }
        if (y < kNeckline) {  // the gown: rose gold folds falling from the bust
            float fold = 0.5f + 0.5f * std::sin(x * 28.0f + 2.0f * std::sin(y * 6.0f));
            return cd::Mix(gold(px, py), kRoseDeep, 0.35f * fold * cd::Clamp01(-y - 0.2f));
        }
        float shade = cd::Clamp01((std::fabs(x) - 0.1f) * 2.0f);  // skin, warmer to the sides
        return cd::Mix(kIvory, kBlush, 0.25f * shade);
    });
    auto ellipse = [&](float cx, float cy, float rx, float ry) {
        float pcx = PX(cx), pcy = PY(cy), prx = rx / (box[1] - box[0]) * w, pry = ry / (box[3] - box[2]) * h;
        return cd::Shape(img.w, img.h, [=](float px, float py) { return cd::SdEllipse(px, py, pcx, pcy, prx, pry); });
    };
    for (float s : {-1.0f, 1.0f}) {
        cd::Draw(img, cd::Blurred(ellipse(s * 0.1f, kHeadY - 0.09f, 0.045f, 0.03f), 3.0f), cd::Solid(kBlush), 0.7f);
        // Lowered lids: a dark arc with lashes, and a brow above.
        cd::Draw(img, cd::Subtract(ellipse(s * 0.075f, kHeadY - 0.005f, 0.042f, 0.02f),
                               ellipse(s * 0.075f, kHeadY + 0.004f, 0.044f, 0.02f)), cd::Solid(kPlumDeep), 0.9f);
        cd::Draw(img, cd::Subtract(ellipse(s * 0.078f, kHeadY + 0.04f, 0.05f, 0.018f),
                               ellipse(s * 0.078f, kHeadY + 0.034f, 0.052f, 0.018f)), cd::Solid(kPlum), 0.8f);
        cd::Draw(img, ellipse(s * 0.19f, 0.49f, 0.022f, 0.022f), gold);
    }
    cd::Draw(img, ellipse(0.0f, kHeadY - 0.165f, 0.045f, 0.018f), cd::Solid(kRoseDeep), 0.9f);
    cd::Draw(img, ellipse(0.0f, kHeadY - 0.158f, 0.04f, 0.008f), cd::Solid(kRose), 0.8f);
    // A fine chain with a drop on the skin above the neckline.
    Mask chain = cd::Shape(img.w, img.h, [&](float px, float py) {
        float x = X(px), y = Y(py), cy = 0.16f - 0.12f * (1.0f - (x / 0.3f) * (x / 0.3f));
        return std::fabs(x) > 0.3f ? 1e3f : std::fabs(y - cy) / (box[3] - box[2]) * h - 1.2f;
    });
    cd::Draw(img, chain, gold);
    cd::Draw(img, ellipse(0.0f, 0.02f, 0.02f, 0.03f), gold);
}

// Writes the key frames as OBJ files with their MTL library and picture:
// the example input of `fxpack anim`.
bool WriteModelSample(const std::string& dir, const std::vector<std::vector<Part>>& frames, const float* box,
                      const std::string& picture) {
    std::string mtl = "# Velmira gallery bust: one picture mapped from the front on every material\n";
    const char* colours[] = {"1 0.94 0.9", "1 1 1", "1 1 1", "1 1 1"};
    const char* specular[] = {"0.9 0.7 0.6", "0.15 0.12 0.12", "0.35 0.3 0.4", "0.4 0.35 0.4"};
    const int shininess[] = {60, 12, 30, 40};
    for (int k = 0; k < kModelParts; ++k)
        mtl += std::string("\nnewmtl ") + kModelMaterials[k] + "\nKa 0.25 0.22 0.22\nKd " + colours[k] + "\nKs " +
               specular[k] + "\nNs " + std::to_string(shininess[k]) + "\nmap_Kd " + picture + "\n";
    if (!fxReplaceFile((dir + "/velmira_bust.mtl").c_str(), [&](FILE* f) { return fputs(mtl.c_str(), f) >= 0; },
                       FX_REPLACE_TEXT))
        return false;
    for (size_t f = 0; f < frames.size(); ++f) {
        char name[64];
        snprintf(name, sizeof name, "/velmira_bust_%02d.obj", static_cast<int>(f));
        bool ok = fxReplaceFile((dir + name).c_str(), [&](FILE* out) {
            fprintf(out, "# Velmira gallery bust, key frame %d of %d\nmtllib velmira_bust.mtl\n", static_cast<int>(f),
                    static_cast<int>(frames.size()));
            int base = 1;
            for (int k = 0; k < kModelParts; ++k) {
                const Part& part = frames[f][static_cast<size_t>(k)];
                const Part& first = frames[0][static_cast<size_t>(k)];
                std::vector<float> n = Normals(part);
                fprintf(out, "g %s\n", kModelMaterials[k]);
                for (int v = 0; v < part.Count(); ++v) {
                    const float* q = &part.p[3 * v];
                    const float* q0 = &first.p[3 * v];
                    fprintf(out, "v %.5f %.5f %.5f\nvn %.5f %.5f %.5f\nvt %.5f %.5f\n", q[0], q[1], q[2], n[3 * v],
                            n[3 * v + 1], n[3 * v + 2], (q0[0] - box[0]) / (box[1] - box[0]),
                            (q0[1] - box[2]) / (box[3] - box[2]));
                }
                fprintf(out, "usemtl %s\n", kModelMaterials[k]);
                for (size_t t = 0; t + 2 < part.t.size(); t += 3) {
                    int a = base + part.t[t], b = base + part.t[t + 1], c = base + part.t[t + 2];
                    fprintf(out, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c);
                }
                base += part.Count();
            }
            return !ferror(out);
        }, FX_REPLACE_TEXT);
        if (!ok) return false;
    }
    return true;
}

const int kModelLibrary = 2329;
const int kModelPicture = 2330;

// The animation record, its material library and its picture, as records
// of the package; with a folder for the sample, the same as OBJ files.
bool BuildModel(WorkDir& work, const std::string& sampleDir, FXPackage& pck) {
    std::vector<std::vector<Part>> frames;
    FXAnim anim;
    anim.loop = false;
    for (int f = 0; f < kModelFrames; ++f) {
        frames.emplace_back(kModelParts);
        ModelFrame(kModelKeys[f], frames.back().data());
        char name[32];
        snprintf(name, sizeof name, "frame%d", f);
        anim.AddFrame(EngineFrame(frames.back().data(), std::to_string(kModelLibrary).c_str()), name, kModelFrameMs);
    }
    float box[6];
    anim.Model(0)->FindMaxims(box);

    std::string pict = work.Path() + "/2330_gallery_model.jpg";
    work.Track(pict);
    Image img(512, 512);
    DrawModelPicture(img, box);
    FXCanvas canvas;
    fxRemoveFile(pict.c_str());
    if (!cd::ToCanvas(img, &canvas, 0x2330u) || !canvas.SaveToPict(pict.c_str()) || FileSize(pict) <= 0) {
        Fail("entry %d (gallery model picture): %s could not be written", kModelPicture, pict.c_str());
        return false;
    }
    FXMatlib lib;
    std::vector<std::unique_ptr<FXMaterial>> mats;
    const float spec[kModelParts][3] = {{0.9f, 0.7f, 0.6f}, {0.15f, 0.12f, 0.12f}, {0.35f, 0.3f, 0.4f}, {0.4f, 0.35f, 0.4f}};
    const float shine[kModelParts] = {60, 12, 30, 40};
    for (int k = 0; k < kModelParts; ++k) {
        mats.emplace_back(new FXMaterial);
        FXMaterial* m = mats.back().get();
        m->name.Set(kModelMaterials[k]);
        m->SetDefDiffuse(1.0f);
        for (int c = 0; c < 3; ++c) m->ambient[c] = 0.25f, m->specular[c] = spec[k][c];
        // The show has dimmed its light to 30 % by the time the bust appears:
        // a glow of its own keeps it from sinking into the scene.
        for (int c = 0; c < 3; ++c) m->emission[c] = 0.3f;
        if (k == kGown) m->diffuse[1] = 0.94f, m->diffuse[2] = 0.9f;
        m->shininess = shine[k];
        m->textureFile.Set(std::to_string(kModelPicture).c_str());
        lib.AddMaterial(m);
    }
    lib.name.Set(std::to_string(kModelLibrary).c_str());
    std::string libFile = work.Path() + "/2329_gallery_model.xl", animFile = work.Path() + "/2328_gallery_model.xa";
    work.Track(libFile);
    work.Track(animFile);
    bool ok = lib.Save(libFile.c_str()) && anim.Save(animFile.c_str());
    for (auto& m : mats) lib.RemoveMaterial(m.get());
    if (!ok) {
        Fail("entry %d (gallery model): its records could not be written in %s", kEntryGalleryModel,
             work.Path().c_str());
        return false;
    }
    pck.AddDataFile(kEntryGalleryModel, animFile.c_str());
    pck.AddDataFile(kModelLibrary, libFile.c_str());
    pck.AddDataFile(kModelPicture, pict.c_str());
    if (!sampleDir.empty()) {
        std::string copy = sampleDir + "/velmira_bust.jpg";
        if (!fxMakeFolder(sampleDir.c_str()) || !canvas.SaveToPict(copy.c_str()) ||
            !WriteModelSample(sampleDir, frames, box, "velmira_bust.jpg")) {
            Fail("the sample model could not be written in %s", sampleDir.c_str());
            return false;
        }
    }
    return true;
}

// Seconds per movie frame: the show runs at the movie's pace while one
// plays, so this is its frame rate then too.
const double kMovieFrameTime = 0.04;
// JPEG quality of movie frames and masks: soft shapes keep well, and the
// package stays small.
const int kMovieQuality = 86;
// Frame and mask records are numbered from here, clear of the entries the
// show reads by number.
const int kFirstFrameRecord = 3000;

// Draws a movie's frames as full pictures with a clear background and
// hands them to the sprite movie's own conversion, which crops each to its
// visible area and splits it into a picture and a mask in dir.
bool MakeMovie(SMovie& mv, WorkDir& work, const std::string& dir, const char* name, int w, int h, int count,
               double frameTime, bool loop, bool keep, const std::function<void(Image&, int)>& draw) {
    mv.loop = loop;
    mv.bounce = loop;
    mv.frameDuration = frameTime;
    for (int i = 0; i < count; i++) {
        Image img(w, h);
        draw(img, i);
        FXCanvas canvas;
        char file[64];
        // Uncompressed TGA is quick to write and read; kept frames are PNG,
        // which is small. Both are lossless, so the package is the same.
        snprintf(file, sizeof file, "/%s_%02d.%s", name, i, keep ? "png" : "tga");
        std::string path = dir + file;
        work.Track(path);
        // One dither pattern for every frame: it stays still while the
        // picture moves, and equal poses give equal pictures where one movie
        // hands over to the next.
        if (!cd::ToCanvas(img, &canvas, 0x5E7u)) {
            Fail("movie %s: no memory for frame %d", name, i);
            return false;
        }
        fxRemoveFile(path.c_str());
        if (!canvas.SaveToPict2(path.c_str(), 0, 0, w, h) || FileSize(path) <= 0) {
            Fail("movie %s: %s could not be written", name, path.c_str());
            return false;
        }
        mv.frameNames.Push(path.c_str());
    }
    FXStrArray full;
    for (int i = 0; i < mv.frameNames.count; i++) full.Push(mv.frameNames.Get(i));
    bool converted = mv.Convert(dir.c_str());
    if (!keep)
        for (int i = 0; i < full.count; i++) fxRemoveFile(full.Get(i));
    for (int i = 0; i < mv.frameNames.count; i++) work.Track(mv.frameNames.Get(i));
    for (int i = 0; i < mv.maskNames.count; i++) work.Track(mv.maskNames.Get(i));
    if (!converted) Fail("movie %s: its frames could not be converted in %s", name, dir.c_str());
    return converted;
}

// A set movie: its frames become records of the package and the movie
// record names them.
bool BuildMovie(const MoviePlan& m, WorkDir& work, const std::string& dir, bool keep, FXPackage& pck, int* frames) {
    SMovie mv;
    if (!MakeMovie(mv, work, dir, m.name, kMovieW, kMovieH, m.frames, kMovieFrameTime, false, keep,
                   [&](Image& img, int i) { DrawFigure(img, MoviePose(m, i)); }))
        return false;
    FXMemory rec;
    std::string path = dir + "/" + m.name + ".xs";
    work.Track(path);
    if (!mv.Compile(&pck) || !mv.SaveToBuf(&rec)) {
        Fail("movie %d (%s): no record ids left", m.id, m.what);
        return false;
    }
    FILE* f = fopen(path.c_str(), "wb");
    bool ok = f && fwrite(rec.data, 1, static_cast<size_t>(rec.count), f) == static_cast<size_t>(rec.count);
    if (f && fclose(f) != 0) ok = false;
    if (!ok) {
        Fail("movie %d (%s): %s could not be written", m.id, m.what, path.c_str());
        return false;
    }
    pck.AddDataFile(m.id, path.c_str());
    *frames += m.frames;
    return true;
}

// ---------------------------------------------------------------- root scene

// The package's root scene (entry 0): the gallery set shows it in place of
// the desktop, with the animated bust in front. A softly lit boudoir stage:
// a plum wall in a warm spotlight, velvet curtains that sway, a band of
// light drifting across the top, two framed photographs, a candle that
// flickers, a sparkle that twinkles at random and a camera that moves
// slowly between three points. Items are placed in the scene's -1..1 square
// (y up); every drawn item hangs from the camera.

void DrawSceneBackdrop(Image& img) {
    int w = img.w, h = img.h;
    float floorY = h * 0.8f;
    cd::Fill(img, cd::Linear(Pt{0, 0}, Pt{0, floorY},
                             Stops{{0.0f, kPlumDeep}, {0.55f, kPlum}, {1.0f, Hex(0x2C1533)}}));
    // Damask stripes on the wall, barely there.
    Mask stripes(w, h);
    for (int y = 0; y < static_cast<int>(floorY); y++)
        for (int x = 0; x < w; x++) {
            float s = std::sin((x + 0.5f) * 6.2831853f / 48.0f + 0.8f * std::sin(y * 0.05f));
            stripes.At(x, y) = s > 0.6f ? (s - 0.6f) * 2.5f : 0.0f;
        }
    cd::Draw(img, cd::Blurred(stripes, 1.2f), cd::Solid(kMauve), 0.07f);
    Image lights(w, h);
    Bokeh(lights, 26, 8.0f, 40.0f, 0.0f, 0.0f, static_cast<float>(w), floorY * 0.7f,
          {Hex(0xF6C48E), Hex(0xF0A7A0), Hex(0xFBE3C4), Hex(0xD98CB0)}, 0.35f, 0x5CE7u);
    cd::Over(img, cd::BlurredImage(lights, 3.0f), 0, 0);
    // The floor, with the light spilling onto it.
    Mask floor(w, h);
    for (int y = static_cast<int>(floorY); y < h; y++)
        for (int x = 0; x < w; x++) floor.At(x, y) = 1.0f;
    cd::Draw(img, floor, cd::Linear(Pt{0, floorY}, Pt{0, static_cast<float>(h)},
                                    Stops{{0.0f, Hex(0x3A1D33)}, {1.0f, kInk}}));
    cd::Draw(img, cd::Blurred(Rule(w, h, w * 0.05f, w * 0.95f, floorY, 2.0f), 1.0f), cd::Solid(kRoseLight), 0.5f);
    cd::AddLight(img, floor, cd::RadialXY(Pt{w * 0.5f, floorY + 10.0f}, w * 0.38f, h * 0.12f,
                                          Stops{{0.0f, WithAlpha(kRose, 0.5f)}, {1.0f, WithAlpha(kRose, 0.0f)}}));
    // The spotlight on the wall, and the room falling dark at the edges.
    cd::AddLight(img, cd::Shape(w, h, [](float, float) { return -1.0f; }),
                 cd::RadialXY(Pt{w * 0.5f, h * 0.42f}, w * 0.42f, h * 0.5f,
                              Stops{{0.0f, WithAlpha(kRose, 0.42f)}, {0.6f, WithAlpha(kMauve, 0.12f)},
                                    {1.0f, WithAlpha(kMauve, 0.0f)}}));
    cd::Fill(img, cd::RadialXY(Pt{w * 0.5f, h * 0.45f}, w * 0.75f, h * 0.8f,
                               Stops{{0.0f, WithAlpha(kInk, 0.0f)}, {0.7f, WithAlpha(kInk, 0.15f)},
                                     {1.0f, WithAlpha(kInk, 0.75f)}}));
    cd::Grain(img, 0.025f, 0x5CE1u);
}

// A velvet drape hanging from the top, its inner edge gathered towards a
// tie-back low down; the right one is this one mirrored.
void DrawSceneCurtain(Image& img) {
    int w = img.w, h = img.h;
    Mask drape = cd::Shape(w, h, [=](float x, float y) {
        float t = y / h;
        float edge = w * (0.92f - 0.5f * std::sin(t * 3.14159265f * 0.85f) * t);
        return x - edge;
    });
    cd::Shadow(img, drape, 10.0f, 8, 0, WithAlpha(kInk, 0.7f));
    cd::Draw(img, drape, cd::Solid(kRoseDeep));
    Mask folds(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            float s = std::sin((x + 0.5f) * 0.11f + 18.0f * (1.0f - y / static_cast<float>(h)) * 0.05f * x / w);
            folds.At(x, y) = drape.At(x, y) * (0.5f - 0.5f * s);
        }
    cd::Draw(img, folds, cd::Solid(kPlumDeep), 0.75f);
    cd::AddLight(img, drape, cd::Linear(Pt{static_cast<float>(w), 0}, Pt{0, 0},
                                        Stops{{0.0f, WithAlpha(kRoseLight, 0.25f)}, {1.0f, WithAlpha(kRose, 0.0f)}}));
    Mask tie = cd::Shape(w, h, [=](float x, float y) { return cd::SdCapsule(x, y, Pt{0, h * 0.66f}, Pt{w * 0.55f, h * 0.7f}, 7.0f); });
    cd::Draw(img, tie, RoseGold(Pt{0, h * 0.64f}, Pt{w * 0.55f, h * 0.72f}));
}

// Slanted rays of light that repeat across the picture's width, so the
// scroll item can pan them without a seam.
void DrawSceneLightBand(Image& img) {
    int w = img.w, h = img.h;
    Mask rays(w, h);
    for (int y = 0; y < h; y++) {
        float fy = (y + 0.5f) / h - 0.5f;
        float fall = std::exp(-fy * fy * 14.0f);
        for (int x = 0; x < w; x++) {
            float u = ((x + 0.5f) + 0.35f * y) * 6.2831853f / w;
            float v = 0.5f + 0.25f * std::sin(3.0f * u) + 0.15f * std::sin(7.0f * u + 1.3f) + 0.1f * std::sin(13.0f * u);
            rays.At(x, y) = cd::Clamp01(v) * fall;
        }
    }
    cd::Draw(img, rays, cd::Solid(Hex(0xFBE3C4)), 0.9f);
}

// The fixed picture the band is drawn through: white, fading at its ends.
void DrawSceneBandFade(Image& img) {
    int w = img.w, h = img.h;
    Mask m(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            float t = (x + 0.5f) / w, s = (y + 0.5f) / h;
            m.At(x, y) = cd::Smoothstep(0.0f, 0.3f, t) * cd::Smoothstep(1.0f, 0.7f, t) * cd::Smoothstep(0.0f, 0.25f, s) *
                         cd::Smoothstep(1.0f, 0.75f, s);
        }
    cd::Draw(img, m, cd::Solid(Hex(0xFFFFFF)));
}

// A gallery photograph in a rose gold frame with an ivory mount.
void DrawSceneFrame(Ctx& c, Image& img) {
    int w = img.w, h = img.h, b = 30;
    cd::Fill(img, RoseGold(Pt{0, 0}, Pt{static_cast<float>(w), static_cast<float>(h)}));
    auto sd = [=](float x, float y) { return cd::SdRoundRect(x, y, w * 0.5f, h * 0.5f, w * 0.5f - 2, h * 0.5f - 2, 2); };
    cd::Draw(img, Outline(w, h, sd, 6.0f, 2.0f), cd::Solid(kRoseDeep), 0.7f);
    cd::Draw(img, RoundRect(w, h, w * 0.5f, h * 0.5f, w * 0.5f - 18, h * 0.5f - 18, 1), cd::Solid(kIvory));
    Image photo(w - 2 * b, h - 2 * b);
    DrawPhotoStudio(c, photo);
    cd::Over(img, photo, b, b);
}

// An oval portrait, cut out along its frame: the picture and its mask.
void DrawSceneOval(Ctx& c, Image& img) {
    int w = img.w, h = img.h;
    float cx = w * 0.5f, cy = h * 0.5f, rx = w * 0.5f - 3, ry = h * 0.5f - 3;
    DrawPhotoEvening(c, img);
    auto sd = [=](float x, float y) { return cd::SdEllipse(x, y, cx, cy, rx, ry); };
    Mask outside = cd::Shape(w, h, [&](float x, float y) { return -sd(x, y); });
    cd::Erase(img, outside);
    cd::Draw(img, Outline(w, h, sd, 7.0f, 13.0f), RoseGold(Pt{0, 0}, Pt{static_cast<float>(w), static_cast<float>(h)}));
    cd::Draw(img, Outline(w, h, sd, 13.0f, 1.5f), cd::Solid(kRoseDeep), 0.8f);
}

// A candle whose flame flickers: frame i of n, a loop that bounces.
void DrawCandleFrame(Image& img, int i, int n) {
    int w = img.w, h = img.h;
    float cx = w * 0.5f, top = h * 0.55f;
    Mask body = RoundRect(w, h, cx, (top + h - 4) * 0.5f, 13.0f, (h - 4 - top) * 0.5f, 3.0f);
    cd::Draw(img, body, cd::Linear(Pt{cx - 13, 0}, Pt{cx + 13, 0}, Stops{{0.0f, kCream}, {0.4f, kIvory}, {1.0f, kRose}}));
    float k = static_cast<float>(i) / n * 6.2831853f;
    float fh = 30.0f + 4.0f * std::sin(k) + 2.5f * std::sin(3.0f * k + 0.7f);
    float lean = 2.5f * std::sin(2.0f * k + 0.3f);
    Pt base{cx, top - 5.0f}, tip{cx + lean, top - 5.0f - fh};
    Mask flame = cd::Shape(w, h, [=](float x, float y) {
        return cd::SmoothMin(cd::SdCircle(x, y, base.x, base.y - 6.0f, 6.5f), cd::SdCapsule(x, y, Pt{base.x, base.y - 6.0f}, tip, 1.0f), 6.0f);
    });
    cd::AddLight(img, cd::Blurred(flame, 9.0f), cd::Solid(Hex(0xF6C48E)), 0.9f);
    cd::Draw(img, flame, cd::Linear(tip, base, Stops{{0.0f, Hex(0xFFD9A0)}, {0.6f, Hex(0xFFF4E0)}, {1.0f, Hex(0xF0A070)}}));
    cd::Draw(img, cd::Shape(w, h, [=](float x, float y) { return cd::SdCapsule(x, y, Pt{cx, top}, Pt{cx, top - 6}, 1.0f); }),
             cd::Solid(kInk));
}

// A four-pointed sparkle that flares and fades: frame i of n.
void DrawSparkleFrame(Image& img, int i, int n) {
    int w = img.w, h = img.h;
    float cx = w * 0.5f, cy = h * 0.5f;
    float s = std::sin(3.14159265f * (i + 0.5f) / n);
    float arm = 8.0f + 50.0f * s, waist = 2.0f + 5.0f * s, turn = 0.4f * i / n;
    std::vector<Pt> star;
    for (int p = 0; p < 8; p++) {
        float a = turn + p * 0.78539816f, r = p % 2 ? waist : arm;
        star.push_back(Pt{cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    Mask m = cd::PolygonMask(w, h, star);
    cd::AddLight(img, cd::Blurred(m, 6.0f), cd::Solid(kRoseLight), s);
    cd::Draw(img, m, cd::Solid(Hex(0xFFF6EC)), 0.3f + 0.7f * s);
}

// A still picture of the scene, written where its item will name it.
bool SaveScenePicture(Ctx& ctx, WorkDir& work, const std::string& file, int w, int h, bool jpg, bool mask,
                      const std::function<void(Ctx&, Image&)>& draw, std::string* path, std::string* maskPath) {
    Image img(w, h);
    ctx.textFailed = false;
    draw(ctx, img);
    *path = work.Path() + "/" + file;
    work.Track(*path);
    FXCanvas canvas;
    if (!cd::ToCanvas(img, &canvas, static_cast<uint32_t>(w * 7919 + h))) return false;
    fxRemoveFile(path->c_str());
    bool ok = jpg ? canvas.SaveToPict(path->c_str()) : canvas.SaveToPict2(path->c_str(), 0, 0, w, h);
    if (mask) {
        *maskPath = path->substr(0, path->size() - 4) + "_m.jpg";
        work.Track(*maskPath);
        ok = ok && canvas.SaveToMask(maskPath->c_str()) && FileSize(*maskPath) > 0;
    }
    return ok && FileSize(*path) > 0;
}

template <typename T>
T* AddItem(FXScene& s, int type, const char* name, const char* depends = nullptr) {
    T* it = static_cast<T*>(s.CreateType(type));
    it->name.Set(name);
    if (depends) it->AddDependName(depends);
    return it;
}

// Puts an item's unit square at (x, y) with half sizes sx, sy.
void Place(FXItem* it, float x, float y, float sx, float sy) {
    FXMatrix t, s;
    t.SetMoveF(x, y, 0.0f);
    s.SetScaleF(sx, sy, 1.0f);
    it->matrix.Multiply(&t, &s);
}

void Animate(FXItemTransform* t, int direction, float from, float to, double seconds, bool bounce) {
    t->direction = direction;
    t->startValue = from;
    t->endValue = to;
    t->phaser.active = true;
    t->phaser.loop = true;
    t->phaser.bounce = bounce;
    t->phaser.smooth = bounce;
    t->phaser.duration = seconds;
}

void CameraPoint(FXScene& s, const char* name, int zoom, float x, float y, double rest, const char* a, const char* b) {
    FXItemCameraPt* p = AddItem<FXItemCameraPt>(s, FX_ITEM_CAMERAPT, name, a);
    if (b) p->AddDependName(b);
    p->zoomLevel = zoom;
    p->offsetX = x;
    p->offsetY = y;
    p->phaser.duration = rest;
}

// Builds the scene's items, draws their pictures and movies into the work
// folder and compiles it all into the package: the scene record at id 0,
// its pictures and movies after it.
bool BuildScene(Ctx& ctx, WorkDir& work, FXPackage& pck) {
    std::string backdrop, curtain, band, fade, frame, oval, ovalMask, none, movies;
    bool ok = SaveScenePicture(ctx, work, "s_backdrop.jpg", 1024, 768, true, false,
                               [](Ctx&, Image& i) { DrawSceneBackdrop(i); }, &backdrop, &none) &&
              SaveScenePicture(ctx, work, "s_curtain.png", 192, 640, false, false,
                               [](Ctx&, Image& i) { DrawSceneCurtain(i); }, &curtain, &none) &&
              SaveScenePicture(ctx, work, "s_light_band.png", 512, 128, false, false,
                               [](Ctx&, Image& i) { DrawSceneLightBand(i); }, &band, &none) &&
              SaveScenePicture(ctx, work, "s_band_fade.png", 128, 64, false, false,
                               [](Ctx&, Image& i) { DrawSceneBandFade(i); }, &fade, &none) &&
              SaveScenePicture(ctx, work, "s_frame.jpg", 260, 210, true, false, DrawSceneFrame, &frame, &none) &&
              SaveScenePicture(ctx, work, "s_oval.jpg", 180, 230, true, true, DrawSceneOval, &oval, &ovalMask) &&
              work.Sub("scene", &movies);
    if (!ok) {
        Fail("the root scene's pictures could not be written in %s", work.Path().c_str());
        return false;
    }
    FXScene scene;
    scene.cameraFirst.Set("cam_wide");
    scene.cameraSecond.Set("cam_frame");
    scene.cameraPhaser.duration = 9.0;
    FXItemCameraZoom* camera = AddItem<FXItemCameraZoom>(scene, FX_ITEM_CAMERAZOOM, "camera");
    camera->zoomStep = 2.5f;
    CameraPoint(scene, "cam_wide", 0, 0.0f, 0.0f, 8.0, "cam_frame", "cam_candle");
    CameraPoint(scene, "cam_frame", 6, 0.16f, -0.06f, 6.0, "cam_wide", "cam_candle");
    CameraPoint(scene, "cam_candle", 5, -0.16f, 0.1f, 6.0, "cam_wide", "cam_frame");
    Animate(AddItem<FXItemSkew>(scene, FX_ITEM_SKEW, "sway"), 3, -0.03f, 0.03f, 7.0, true);
    Animate(AddItem<FXItemMove>(scene, FX_ITEM_MOVE, "drift"), 1, -0.04f, 0.04f, 11.0, true);
    Animate(AddItem<FXItemRotate>(scene, FX_ITEM_ROTATE, "spin"), 2, 0.0f, 360.0f, 24.0, false);

    FXItemPict* wall = AddItem<FXItemPict>(scene, FX_ITEM_PICT, "backdrop", "camera");
    wall->pictName.Set(backdrop.c_str());
    FXItemScroll* rays = AddItem<FXItemScroll>(scene, FX_ITEM_SCROLL, "light_band", "camera");
    rays->AddDependName("drift");
    rays->pictName.Set(band.c_str());
    rays->pict2Name.Set(fade.c_str());
    rays->scrollTimeX = -30.0f;
    Place(rays, 0.0f, 0.52f, 1.0f, 0.28f);
    FXItemPict* left = AddItem<FXItemPict>(scene, FX_ITEM_PICT, "curtain_left", "camera");
    FXItemPict* right = AddItem<FXItemPict>(scene, FX_ITEM_PICT, "curtain_right", "camera");
    for (FXItemPict* c : {left, right}) {
        c->AddDependName("sway");
        c->pictName.Set(curtain.c_str());
    }
    Place(left, -0.8f, 0.0f, 0.22f, 1.0f);
    Place(right, 0.8f, 0.0f, -0.22f, 1.0f);
    FXItemPict* photo = AddItem<FXItemPict>(scene, FX_ITEM_PICT, "frame", "camera");
    photo->pictName.Set(frame.c_str());
    Place(photo, -0.4f, 0.12f, 0.17f, 0.17f * 4.0f / 3.0f * 210.0f / 260.0f);
    FXItemPict* cut = AddItem<FXItemPict>(scene, FX_ITEM_PICT, "oval", "camera");
    cut->pictName.Set(oval.c_str());
    cut->maskName.Set(ovalMask.c_str());
    Place(cut, 0.42f, 0.16f, 0.12f, 0.12f * 4.0f / 3.0f * 230.0f / 180.0f);

    // The candle plays in place; the sparkle is a random animation that
    // flares forward or fades backward, each time handing over to itself.
    FXItemSMovie* candle = AddItem<FXItemSMovie>(scene, FX_ITEM_SMOVIE, "candle", "camera");
    FXItemRani* sparkle = AddItem<FXItemRani>(scene, FX_ITEM_RANI, "sparkle", "camera");
    sparkle->AddDependName("spin");
    sparkle->enabled = true;
    Place(candle, 0.3f, -0.47f, 0.1f, 0.23f);
    Place(sparkle, 0.55f, 0.5f, 0.08f, 0.1f);
    SMovie sparkleMovie;
    std::string sparklePath = movies + "/sparkle.xs";
    work.Track(sparklePath);
    ok = MakeMovie(candle->movie, work, movies, "candle", 96, 160, 10, 0.09, true, false,
                   [](Image& img, int i) { DrawCandleFrame(img, i, 10); }) &&
         MakeMovie(sparkleMovie, work, movies, "sparkle", 128, 128, 12, 0.06, false, false,
                   [](Image& img, int i) { DrawSparkleFrame(img, i, 12); });
    if (ok) {
        // A stored movie names its frames from its own folder.
        FXStr here(fxGetActPath());
        fxSetActPath(movies.c_str());
        ok = sparkleMovie.Save(sparklePath.c_str());
        fxSetActPath(here.text);
    }
    if (!ok) {
        Fail("the root scene's movies could not be made in %s", movies.c_str());
        return false;
    }
    candle->movieName.Set("candle");
    const char* ids[] = {"sparkle", "sparkle"};
    int modes[] = {1, -1}, weights[] = {3, 2};
    for (int e = 0; e < 2; e++) {
        sparkle->targetNames.Push(ids[e]);
        sparkle->movieNames.Push(sparklePath.c_str());
        sparkle->modes.PushInt(modes[e]);
        sparkle->weights.PushInt(weights[e]);
    }
    sparkle->minPlayTime = 2.5f;
    sparkle->ReCreate();
    scene.BuildConn();

    // The items pack their pictures and movies as the scene's Compile
    // does; the record itself goes to the fixed entry the show loads, which
    // the package's name server would not give it.
    FXStr here(fxGetActPath());
    pck.workFolder.Set(work.Path().c_str());
    for (int i = 0; i < scene.items.count; i++) scene.GetItem(i)->Compile(&pck);
    fxSetActPath(here.text);
    std::string record = work.Path() + "/root.xss";
    work.Track(record);
    if (!scene.Save(record.c_str()) || FileSize(record) <= 0) {
        Fail("entry %d (root scene): %s could not be written", kEntryRootScene, record.c_str());
        return false;
    }
    pck.AddDataFile(kEntryRootScene, record.c_str());
    return true;
}

// ---------------------------------------------------------------- program icon

// The program's icon, for the Windows build's resources: the seal of the
// banners (a plum disc in a rose-gold ring) with a "V" drawn as a shape, so
// that it stays crisp at 16 pixels without a font.
void DrawIcon(Image& img) {
    float s = static_cast<float>(img.w), c = s * 0.5f, r = s * 0.47f;
    int w = img.w, h = img.h;
    Mask disc = Circle(w, h, c, c, r);
    cd::Draw(img, disc, cd::Radial(Pt{c - r * 0.3f, c - r * 0.4f}, r * 1.5f, Stops{{0.0f, kPlumLight}, {1.0f, kPlumDeep}}));
    auto ring = [=](float x, float y) { return cd::SdCircle(x, y, c, c, r); };
    cd::Draw(img, Outline(w, h, ring, std::max(0.5f, s * 0.03f), std::max(1.0f, s * 0.06f)),
             RoseGold(Pt{c - r, c - r}, Pt{c + r, c + r}));
    // The V: two strokes meeting at the bottom, wider at the top.
    float top = c - r * 0.5f, bottom = c + r * 0.52f, half = r * 0.55f, stroke = std::max(1.2f, r * 0.2f);
    std::vector<Pt> v = {{c - half - stroke * 0.5f, top}, {c - half + stroke * 0.7f, top}, {c, bottom - stroke * 1.4f},
                         {c + half - stroke * 0.7f, top}, {c + half + stroke * 0.5f, top}, {c + stroke * 0.35f, bottom},
                         {c - stroke * 0.35f, bottom}};
    Mask vm = cd::PolygonMask(w, h, v);
    cd::Draw(img, vm, RoseGold(Pt{c - half, top}, Pt{c + half, bottom}));
}

void PutLE(std::vector<unsigned char>& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; i++) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// An icon file of 32-bit pictures at the sizes Windows asks for: each a
// bitmap header, its rows bottom up in blue-green-red-alpha with straight
// alpha, and the one-bit mask (set where transparent) older systems use.
std::vector<unsigned char> IconFile() {
    static const int kSizes[] = {16, 24, 32, 48, 256};
    const int n = sizeof kSizes / sizeof kSizes[0];
    std::vector<std::vector<unsigned char>> pictures;
    for (int size : kSizes) {
        Image img(size, size);
        DrawIcon(img);
        std::vector<unsigned char> b;
        int maskRow = ((size + 31) / 32) * 4;
        uint32_t pixels = static_cast<uint32_t>(size * size * 4), mask = static_cast<uint32_t>(maskRow * size);
        PutLE(b, 40, 4);
        PutLE(b, static_cast<uint32_t>(size), 4);
        PutLE(b, static_cast<uint32_t>(size * 2), 4);  // the picture and its mask
        PutLE(b, 1, 2);
        PutLE(b, 32, 2);
        PutLE(b, 0, 4);
        PutLE(b, pixels + mask, 4);
        for (int i = 0; i < 4; i++) PutLE(b, 0, 4);
        std::vector<unsigned char> bits(mask, 0);
        for (int y = size - 1; y >= 0; y--) {
            for (int x = 0; x < size; x++) {
                const float* p = img.At(x, y);
                float a = cd::Clamp01(p[3]);
                auto straight = [&](float v) {
                    return static_cast<unsigned char>(std::lround(a > 0.0f ? cd::Clamp01(v / a) * 255.0f : 0.0f));
                };
                b.push_back(straight(p[2]));
                b.push_back(straight(p[1]));
                b.push_back(straight(p[0]));
                b.push_back(static_cast<unsigned char>(std::lround(a * 255.0f)));
                if (a < 0.5f) bits[(size - 1 - y) * maskRow + x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
            }
        }
        b.insert(b.end(), bits.begin(), bits.end());
        pictures.push_back(std::move(b));
    }
    std::vector<unsigned char> out;
    PutLE(out, 0, 2);
    PutLE(out, 1, 2);  // an icon, not a cursor
    PutLE(out, static_cast<uint32_t>(n), 2);
    uint32_t offset = 6 + 16 * n;
    for (int i = 0; i < n; i++) {
        out.push_back(static_cast<unsigned char>(kSizes[i] & 0xFF));  // 256 is written as 0
        out.push_back(static_cast<unsigned char>(kSizes[i] & 0xFF));
        out.push_back(0);
        out.push_back(0);
        PutLE(out, 1, 2);
        PutLE(out, 32, 2);
        PutLE(out, static_cast<uint32_t>(pictures[i].size()), 4);
        PutLE(out, offset, 4);
        offset += static_cast<uint32_t>(pictures[i].size());
    }
    for (auto& p : pictures) out.insert(out.end(), p.begin(), p.end());
    return out;
}

bool WriteIcon(const std::string& path) {
    std::vector<unsigned char> bytes = IconFile();
    if (!fxReplaceFile(path.c_str(), [&](FILE* f) { return fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(); })) {
        Fail("cannot write %s", path.c_str());
        return false;
    }
    return true;
}

int Build(const std::string& out, bool keepPictures, bool scramble) {
    if (!fxMakeFolder(out.c_str())) {
        Fail("cannot create the folder %s: %s", out.c_str(), strerror(errno));
        return kExitFail;
    }
    if (!fxCanWrite(out.c_str())) {
        Fail("cannot write into %s: %s", out.c_str(), strerror(errno));
        return kExitFail;
    }
    if (!fxLoadDevil()) {
        Fail("the DevIL image library (%s, %s) could not be loaded; on Debian install libdevil1c2",
             fxPlatformDevilName(), fxPlatformIluName());
        return kExitFail;
    }
    WorkDir work;
    bool made = keepPictures ? work.UseKept(out + "/pictures") : work.MakeTemp(out);
    if (!made) {
        Fail("cannot create a work folder in %s: %s", out.c_str(), strerror(errno));
        fxUnloadDevil();
        return kExitFail;
    }
    FXCanvas::SetJpegQuality(92);

    int status = kExitOk;
    {
        Ctx ctx;
        FXPackage pck;
        for (const Entry& e : kEntries) {
            std::string path = work.Path() + "/" + e.file;
            work.Track(path);
            if (!DrawAndSave(ctx, e, path)) {
                status = kExitFail;
                break;
            }
            pck.AddDataFile(e.id, path.c_str());
        }
        std::string movies;
        int frames = 0;
        if (status == kExitOk && !work.Sub("movies", &movies)) {
            Fail("cannot create a work folder in %s: %s", work.Path().c_str(), strerror(errno));
            status = kExitFail;
        }
        FXCanvas::SetJpegQuality(kMovieQuality);
        pck.nameServer.base = kFirstFrameRecord;
        for (const MoviePlan& m : kMovies) {
            if (status != kExitOk) break;
            if (!BuildMovie(m, work, movies, keepPictures, pck, &frames)) status = kExitFail;
        }
        if (status == kExitOk && !BuildModel(work, keepPictures ? work.Path() + "/model" : "", pck))
            status = kExitFail;
        // The root scene's records follow the set movies' and the model's.
        if (status == kExitOk && !BuildScene(ctx, work, pck)) status = kExitFail;
        for (const std::string& f : ctx.fonts.Fallbacks())
            Fail("note: font %s not found, the default face stands in", f.c_str());
        std::string target = out + "/" + kPackageName;
        if (status == kExitOk && !pck.Save(target.c_str(), scramble ? 1 : 0)) {
            Fail("cannot write %s", target.c_str());
            status = kExitFail;
        }
        pck.DeleteTmpFiles();
        if (status == kExitOk && !WriteIcon(out + "/velmira.ico")) status = kExitFail;
        if (status == kExitOk) {
            printf("velmira-content: wrote %s (%d pictures, %d movies of %d frames, %ld bytes)\n", target.c_str(),
                   static_cast<int>(sizeof kEntries / sizeof kEntries[0]),
                   static_cast<int>(sizeof kMovies / sizeof kMovies[0]), frames, FileSize(target));
            if (keepPictures) printf("velmira-content: pictures kept in %s\n", work.Path().c_str());
        }
    }
    work.Remove();
    fxUnloadDevil();
    return status;
}

void List() {
    for (const Entry& e : kEntries)
        printf("%3d  %-4s %4d x %-4d %s\n", e.id, e.kind == kJpg ? "jpg" : "png", e.w, e.h, e.what);
    for (const MoviePlan& m : kMovies)
        printf("%4d movie %4d x %-4d %d frames, %s\n", m.id, kMovieW, kMovieH, m.frames, m.what);
    printf("%4d anim  %d key frames, the gallery set's bust (library %d, picture %d)\n", kEntryGalleryModel,
           kModelFrames, kModelLibrary, kModelPicture);
}

}  // namespace

int main(int argc, char** argv) {
    bool keep = false, scramble = false, list = false;
    std::string out;
    bool options = true;
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        if (options && a[0] == '-' && a[1] != 0) {
            if (!strcmp(a, "--")) {
                options = false;
            } else if (!strcmp(a, "-h") || !strcmp(a, "--help")) {
                fputs(kUsage, stdout);
                return kExitOk;
            } else if (!strcmp(a, "-p") || !strcmp(a, "--pictures")) {
                keep = true;
            } else if (!strcmp(a, "-s") || !strcmp(a, "--scramble")) {
                scramble = true;
            } else if (!strcmp(a, "-l") || !strcmp(a, "--list")) {
                list = true;
            } else {
                Fail("unknown option %s\nTry 'velmira-content --help'.", a);
                return kExitUsage;
            }
            continue;
        }
        if (!out.empty()) {
            Fail("only one output folder may be given (%s, %s)\nTry 'velmira-content --help'.", out.c_str(), a);
            return kExitUsage;
        }
        out = a;
    }
    if (list) {
        List();
        return kExitOk;
    }
    if (out.empty()) {
        Fail("no output folder given\nTry 'velmira-content --help'.");
        return kExitUsage;
    }
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return Build(out, keep, scramble);
}
