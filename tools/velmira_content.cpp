// velmira-content: draws every picture the show reads at start-up and packs
// them into a complete "xxdata.dat", so the show runs on a machine that has
// no content of its own. Nothing is read from disk but the fonts; the same
// build writes the same bytes on every run.

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../app/entries.h"
#include "base/file.h"
#include "content_draw.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "image/platform.h"
#include "package/package.h"

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
    "Draws the demo pictures of the Velmira show and packs them into\n"
    "OUTPUT_DIR/xxdata.dat (the folder is created when missing).\n"
    "\n"
    "  -p, --pictures   also keep every picture as a file in OUTPUT_DIR/pictures/\n"
    "                   (named after its package entry) to look at\n"
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
    // that is clear over most of the screen. The vignette follows a
    // superellipse, which has no creases toward the corners.
    float li = 24.0f;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            float fx = x + 0.5f, fy = y + 0.5f;
            float band = cd::Smoothstep(-1.0f, 1.0f, cd::SdRoundRect(fx, fy, cx, cy, cx - li, cy - li, 16.0f));
            float u = std::fabs(fx - cx) / (cx - li), v = std::fabs(fy - cy) / (cy - li);
            float r = std::pow(std::pow(u, 5.0f) + std::pow(v, 5.0f), 0.2f);
            float vig = 0.78f * cd::Smoothstep(0.62f, 1.02f, r);
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
    const std::string& Path() const { return path_; }
    void Remove() {
        if (!temporary_) return;
        for (const std::string& f : files_) fxRemoveFile(f.c_str());
        files_.clear();
        fxRemoveFolder(path_.c_str());
        temporary_ = false;
    }

private:
    std::string path_;
    bool temporary_ = false;
    std::vector<std::string> files_;
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
        for (const std::string& f : ctx.fonts.Fallbacks())
            Fail("note: font %s not found, the default face stands in", f.c_str());
        std::string target = out + "/" + kPackageName;
        if (status == kExitOk && !pck.Save(target.c_str(), scramble ? 1 : 0)) {
            Fail("cannot write %s", target.c_str());
            status = kExitFail;
        }
        if (status == kExitOk) {
            printf("velmira-content: wrote %s (%d pictures, %ld bytes)\n", target.c_str(),
                   static_cast<int>(sizeof kEntries / sizeof kEntries[0]), FileSize(target));
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
