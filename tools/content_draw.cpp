#include "content_draw.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/canvas.h"

namespace cd {

Col Hex(uint32_t rgb, float a) {
    return Col{static_cast<float>((rgb >> 16) & 0xFF) / 255.0f, static_cast<float>((rgb >> 8) & 0xFF) / 255.0f,
               static_cast<float>(rgb & 0xFF) / 255.0f, a};
}

Col Mix(Col a, Col b, float t) {
    return Col{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Col WithAlpha(Col c, float a) {
    c.a = a;
    return c;
}

float Clamp01(float v) { return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v; }

float Smoothstep(float e0, float e1, float x) {
    float t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}

float Hash(uint32_t x, uint32_t y, uint32_t seed) {
    uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return static_cast<float>(h >> 8) / 16777215.0f;
}

Col Sample(const Stops& stops, float t) {
    if (stops.empty()) return Col{0, 0, 0, 0};
    if (t <= stops.front().first) return stops.front().second;
    for (size_t i = 1; i < stops.size(); i++) {
        if (t <= stops[i].first) {
            float span = stops[i].first - stops[i - 1].first;
            float k = span > 0.0f ? (t - stops[i - 1].first) / span : 1.0f;
            return Mix(stops[i - 1].second, stops[i].second, k);
        }
    }
    return stops.back().second;
}

Paint Solid(Col c) {
    return [c](float, float) { return c; };
}

Paint Linear(Pt a, Pt b, Stops stops) {
    float dx = b.x - a.x, dy = b.y - a.y;
    float len2 = dx * dx + dy * dy;
    if (len2 <= 0.0f) len2 = 1.0f;
    return [a, dx, dy, len2, stops](float x, float y) {
        float t = ((x - a.x) * dx + (y - a.y) * dy) / len2;
        return Sample(stops, t);
    };
}

Paint Radial(Pt centre, float radius, Stops stops) { return RadialXY(centre, radius, radius, std::move(stops)); }

Paint RadialXY(Pt centre, float rx, float ry, Stops stops) {
    return [centre, rx, ry, stops](float x, float y) {
        float u = (x - centre.x) / rx, v = (y - centre.y) / ry;
        return Sample(stops, std::sqrt(u * u + v * v));
    };
}

float SdRoundRect(float x, float y, float cx, float cy, float hw, float hh, float r) {
    float qx = std::fabs(x - cx) - hw + r;
    float qy = std::fabs(y - cy) - hh + r;
    float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - r;
}

float SdCircle(float x, float y, float cx, float cy, float r) {
    float dx = x - cx, dy = y - cy;
    return std::sqrt(dx * dx + dy * dy) - r;
}

float SdEllipse(float x, float y, float cx, float cy, float rx, float ry) {
    float u = (x - cx) / rx, v = (y - cy) / ry;
    float k0 = std::sqrt(u * u + v * v);
    // The implicit value divided by its gradient: a first-order distance.
    float gu = u / rx, gv = v / ry;
    float k1 = std::sqrt(gu * gu + gv * gv);
    if (k1 <= 1e-6f) return -std::min(rx, ry);
    return k0 * (k0 - 1.0f) / k1;
}

float SdCapsule(float x, float y, Pt a, Pt b, float r) {
    float px = x - a.x, py = y - a.y, bx = b.x - a.x, by = b.y - a.y;
    float l2 = bx * bx + by * by;
    float h = l2 > 0.0f ? Clamp01((px * bx + py * by) / l2) : 0.0f;
    float dx = px - bx * h, dy = py - by * h;
    return std::sqrt(dx * dx + dy * dy) - r;
}

float SdPolygon(float x, float y, const std::vector<Pt>& v) {
    size_t n = v.size();
    if (n < 3) return 1e9f;
    float d = (x - v[0].x) * (x - v[0].x) + (y - v[0].y) * (y - v[0].y);
    float s = 1.0f;
    for (size_t i = 0, j = n - 1; i < n; j = i, i++) {
        float ex = v[j].x - v[i].x, ey = v[j].y - v[i].y;
        float wx = x - v[i].x, wy = y - v[i].y;
        float ee = ex * ex + ey * ey;
        float t = ee > 0.0f ? Clamp01((wx * ex + wy * ey) / ee) : 0.0f;
        float bx = wx - ex * t, by = wy - ey * t;
        d = std::min(d, bx * bx + by * by);
        bool c1 = y >= v[i].y, c2 = y < v[j].y, c3 = ex * wy > ey * wx;
        if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) s = -s;
    }
    return s * std::sqrt(d);
}

float SmoothMin(float a, float b, float k) {
    if (k <= 0.0f) return std::min(a, b);
    float h = Clamp01(0.5f + 0.5f * (b - a) / k);
    return b + (a - b) * h - k * h * (1.0f - h);
}

Path& Path::Move(float x, float y) {
    pts_.push_back(Pt{x, y});
    return *this;
}

Path& Path::Line(float x, float y) {
    pts_.push_back(Pt{x, y});
    return *this;
}

Path& Path::Cubic(float x1, float y1, float x2, float y2, float x3, float y3) {
    Pt p0 = pts_.empty() ? Pt{0, 0} : pts_.back();
    const int kSteps = 24;
    for (int i = 1; i <= kSteps; i++) {
        float t = static_cast<float>(i) / kSteps, u = 1.0f - t;
        float a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        pts_.push_back(Pt{a * p0.x + b * x1 + c * x2 + d * x3, a * p0.y + b * y1 + c * y2 + d * y3});
    }
    return *this;
}

std::vector<Pt> Path::Polygon(float scale, Pt offset) const { return Polygon(scale, scale, offset); }

std::vector<Pt> Path::Polygon(float sx, float sy, Pt offset) const {
    std::vector<Pt> out;
    out.reserve(pts_.size());
    for (const Pt& p : pts_) out.push_back(Pt{p.x * sx + offset.x, p.y * sy + offset.y});
    return out;
}

Mask::Mask(int w_, int h_) : w(w_), h(h_), v(static_cast<size_t>(w_) * h_, 0.0f) {}

float Mask::Get(int x, int y) const {
    if (x < 0 || y < 0 || x >= w || y >= h) return 0.0f;
    return v[static_cast<size_t>(y) * w + x];
}

Mask Shape(int w, int h, const Sdf& sdf, int x0, int y0, int x1, int y1) {
    Mask m(w, h);
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, w);
    y1 = std::min(y1, h);
    // Blocks of 4 x 4 pixels whose centre lies well inside or well outside
    // the outline are decided by that one distance: a distance changes by
    // at most the distance moved, and no pixel is more than 2.9 from the
    // centre. The margin leaves room for distances that are estimates.
    const int kBlock = 4;
    const float kSure = 4.5f;
    for (int by = y0; by < y1; by += kBlock)
        for (int bx = x0; bx < x1; bx += kBlock) {
            int ex = std::min(bx + kBlock, x1), ey = std::min(by + kBlock, y1);
            float d = sdf(bx + kBlock * 0.5f, by + kBlock * 0.5f);
            if (d > kSure) continue;
            bool inside = d < -kSure;
            for (int y = by; y < ey; y++)
                for (int x = bx; x < ex; x++) m.At(x, y) = inside ? 1.0f : Clamp01(0.5f - sdf(x + 0.5f, y + 0.5f));
        }
    return m;
}

Mask Shape(int w, int h, const Sdf& sdf) { return Shape(w, h, sdf, 0, 0, w, h); }

Mask PolygonMask(int w, int h, const std::vector<Pt>& poly, float grow) {
    if (poly.empty()) return Mask(w, h);
    float x0 = poly[0].x, x1 = x0, y0 = poly[0].y, y1 = y0;
    for (const Pt& p : poly) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    int m = static_cast<int>(std::ceil(grow)) + 2;
    return Shape(
        w, h, [&poly, grow](float x, float y) { return SdPolygon(x, y, poly) - grow; },
        static_cast<int>(std::floor(x0)) - m, static_cast<int>(std::floor(y0)) - m,
        static_cast<int>(std::ceil(x1)) + m, static_cast<int>(std::ceil(y1)) + m);
}

namespace {

// One box blur pass of radius r along a line of n values with the given
// stride; outside the line counts as 0.
void localBoxLine(float* data, int n, int stride, int r, std::vector<float>& tmp) {
    tmp.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; i++) tmp[static_cast<size_t>(i)] = data[static_cast<size_t>(i) * stride];
    float inv = 1.0f / static_cast<float>(2 * r + 1);
    double sum = 0.0;
    for (int i = 0; i <= r && i < n; i++) sum += tmp[static_cast<size_t>(i)];
    for (int i = 0; i < n; i++) {
        data[static_cast<size_t>(i) * stride] = static_cast<float>(sum) * inv;
        int add = i + r + 1, sub = i - r;
        if (add < n) sum += tmp[static_cast<size_t>(add)];
        if (sub >= 0) sum -= tmp[static_cast<size_t>(sub)];
    }
}

// The same pass down bw columns of a block at once: each column is summed in
// the same order as it would be alone, but rows are read one after another,
// which keeps the memory access in order.
void localBoxColumns(float* base, int bw, int bh, size_t rowStride, int stride, int r, std::vector<float>& tmp,
                     std::vector<double>& sums) {
    size_t n = static_cast<size_t>(bw);
    tmp.resize(n * static_cast<size_t>(bh));
    for (int y = 0; y < bh; y++) {
        const float* row = base + y * rowStride;
        for (size_t x = 0; x < n; x++) tmp[static_cast<size_t>(y) * n + x] = row[x * static_cast<size_t>(stride)];
    }
    float inv = 1.0f / static_cast<float>(2 * r + 1);
    sums.assign(n, 0.0);
    for (int i = 0; i <= r && i < bh; i++)
        for (size_t x = 0; x < n; x++) sums[x] += tmp[static_cast<size_t>(i) * n + x];
    for (int i = 0; i < bh; i++) {
        float* out = base + i * rowStride;
        for (size_t x = 0; x < n; x++) out[x * static_cast<size_t>(stride)] = static_cast<float>(sums[x]) * inv;
        int add = i + r + 1, sub = i - r;
        if (add < bh)
            for (size_t x = 0; x < n; x++) sums[x] += tmp[static_cast<size_t>(add) * n + x];
        if (sub >= 0)
            for (size_t x = 0; x < n; x++) sums[x] -= tmp[static_cast<size_t>(sub) * n + x];
    }
}

// Three box passes approximate a Gaussian of the given sigma. Only the
// region that holds anything, grown by the blur's reach, is worked on:
// most shapes are small on large pictures.
void localBlurPlane(float* data, int w, int h, int stride, float sigma) {
    if (sigma < 0.5f) return;
    int r = static_cast<int>(std::lround(std::sqrt(4.0f * sigma * sigma + 1.0f) * 0.5f - 0.5f));
    if (r < 1) r = 1;
    int x0 = w, y0 = h, x1 = -1, y1 = -1;
    for (int y = 0; y < h; y++) {
        const float* row = data + static_cast<size_t>(y) * w * stride;
        for (int x = 0; x < w; x++)
            if (row[static_cast<size_t>(x) * stride] != 0.0f) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
    }
    if (x1 < 0) return;
    int reach = 3 * r + 1;
    x0 = std::max(0, x0 - reach);
    y0 = std::max(0, y0 - reach);
    x1 = std::min(w - 1, x1 + reach);
    y1 = std::min(h - 1, y1 + reach);
    int bw = x1 - x0 + 1, bh = y1 - y0 + 1;
    float* base = data + (static_cast<size_t>(y0) * w + x0) * stride;
    std::vector<float> tmp;
    std::vector<double> sums;
    size_t rowStride = static_cast<size_t>(w) * stride;
    for (int pass = 0; pass < 3; pass++) {
        for (int y = 0; y < bh; y++) localBoxLine(base + static_cast<size_t>(y) * rowStride, bw, stride, r, tmp);
        localBoxColumns(base, bw, bh, rowStride, stride, r, tmp, sums);
    }
}

}  // namespace

Mask Blurred(const Mask& m, float sigma) {
    Mask out = m;
    localBlurPlane(out.v.data(), out.w, out.h, 1, sigma);
    return out;
}

Mask Shifted(const Mask& m, int dx, int dy) {
    Mask out(m.w, m.h);
    for (int y = 0; y < m.h; y++)
        for (int x = 0; x < m.w; x++) out.At(x, y) = m.Get(x - dx, y - dy);
    return out;
}

Mask Union(const Mask& a, const Mask& b) {
    Mask out = a;
    for (size_t i = 0; i < out.v.size(); i++) out.v[i] = out.v[i] + b.v[i] - out.v[i] * b.v[i];
    return out;
}

Mask Intersect(const Mask& a, const Mask& b) {
    Mask out = a;
    for (size_t i = 0; i < out.v.size(); i++) out.v[i] *= b.v[i];
    return out;
}

Mask Subtract(const Mask& a, const Mask& b) {
    Mask out = a;
    for (size_t i = 0; i < out.v.size(); i++) out.v[i] *= 1.0f - b.v[i];
    return out;
}

Mask Scaled(const Mask& m, float k) {
    Mask out = m;
    for (float& x : out.v) x = Clamp01(x * k);
    return out;
}

Image::Image(int w_, int h_) : w(w_), h(h_), px(static_cast<size_t>(w_) * h_ * 4, 0.0f) {}

namespace {

inline void localOver(float* d, Col c, float cover) {
    float a = c.a * cover;
    if (a <= 0.0f) return;
    float k = 1.0f - a;
    d[0] = c.r * a + d[0] * k;
    d[1] = c.g * a + d[1] * k;
    d[2] = c.b * a + d[2] * k;
    d[3] = a + d[3] * k;
}

}  // namespace

void Fill(Image& dst, const Paint& p, float opacity) {
    for (int y = 0; y < dst.h; y++)
        for (int x = 0; x < dst.w; x++) localOver(dst.At(x, y), p(x + 0.5f, y + 0.5f), opacity);
}

void Draw(Image& dst, const Mask& m, const Paint& p, float opacity) {
    for (int y = 0; y < dst.h; y++)
        for (int x = 0; x < dst.w; x++) {
            float c = m.v[static_cast<size_t>(y) * m.w + x];
            if (c > 0.0f) localOver(dst.At(x, y), p(x + 0.5f, y + 0.5f), c * opacity);
        }
}

void AddLight(Image& dst, const Mask& m, const Paint& p, float opacity) {
    for (int y = 0; y < dst.h; y++)
        for (int x = 0; x < dst.w; x++) {
            float c = m.v[static_cast<size_t>(y) * m.w + x] * opacity;
            if (c <= 0.0f) continue;
            Col s = p(x + 0.5f, y + 0.5f);
            float a = s.a * c;
            float* d = dst.At(x, y);
            // Light only brightens what is there, and never beyond its alpha.
            d[0] = std::min(d[3], d[0] + s.r * a * d[3]);
            d[1] = std::min(d[3], d[1] + s.g * a * d[3]);
            d[2] = std::min(d[3], d[2] + s.b * a * d[3]);
        }
}

void Erase(Image& dst, const Mask& m) {
    for (int y = 0; y < dst.h; y++)
        for (int x = 0; x < dst.w; x++) {
            float k = 1.0f - m.v[static_cast<size_t>(y) * m.w + x];
            float* d = dst.At(x, y);
            for (int c = 0; c < 4; c++) d[c] *= k;
        }
}

void Shadow(Image& dst, const Mask& m, float sigma, int dx, int dy, Col c) {
    Mask s = Blurred(Shifted(m, dx, dy), sigma);
    Draw(dst, s, Solid(c));
}

void Over(Image& dst, const Image& src, int ox, int oy, float opacity) {
    for (int y = 0; y < src.h; y++) {
        int ty = y + oy;
        if (ty < 0 || ty >= dst.h) continue;
        for (int x = 0; x < src.w; x++) {
            int tx = x + ox;
            if (tx < 0 || tx >= dst.w) continue;
            const float* s = src.At(x, y);
            float* d = dst.At(tx, ty);
            float a = s[3] * opacity;
            if (a <= 0.0f) continue;
            float k = 1.0f - a;
            for (int c = 0; c < 3; c++) d[c] = s[c] * opacity + d[c] * k;
            d[3] = a + d[3] * k;
        }
    }
}

Image BlurredImage(const Image& src, float sigma) {
    Image out = src;
    for (int c = 0; c < 4; c++) localBlurPlane(out.px.data() + c, out.w, out.h, 4, sigma);
    return out;
}

void Grain(Image& dst, float amount, uint32_t seed) {
    for (int y = 0; y < dst.h; y++)
        for (int x = 0; x < dst.w; x++) {
            float n = (Hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y), seed) - 0.5f) * amount;
            float* d = dst.At(x, y);
            for (int c = 0; c < 3; c++) d[c] = std::max(0.0f, std::min(d[3], d[c] + n * d[3]));
        }
}

// ---------------------------------------------------------------- fonts

namespace {

// Files of the fonts-dejavu-core package, beside the default face.
const char* localFaceFile(Face f) {
    switch (f) {
    case kSansBold:
        return "truetype/dejavu/DejaVuSans-Bold.ttf";
    case kSerif:
        return "truetype/dejavu/DejaVuSerif.ttf";
    case kSerifBold:
        return "truetype/dejavu/DejaVuSerif-Bold.ttf";
    case kSans:
    default:
        return nullptr;
    }
}

// Splits UTF-8 into one string per character.
std::vector<std::string> localChars(const std::string& s) {
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (i + n > s.size()) n = s.size() - i;
        out.push_back(s.substr(i, n));
        i += n;
    }
    return out;
}

}  // namespace

Fonts::Fonts() {}
Fonts::~Fonts() {}

FXFontGDI* Fonts::Get(Face face, int px) {
    auto key = std::make_pair(static_cast<int>(face), px);
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second.get();
    std::unique_ptr<FXFontGDI> f(new FXFontGDI);
    const char* file = localFaceFile(face);
    bool ok = f->Create(file, -px);
    if (!ok && file) {
        // The look suffers, the content does not: take the default face.
        fallbacks_.push_back(file);
        ok = f->Create(nullptr, -px);
    }
    if (!ok) return nullptr;
    FXFontGDI* p = f.get();
    fonts_[key] = std::move(f);
    return p;
}

namespace {

int localAdvance(FXFontGDI* font, const std::string& ch) {
    int w = 0, h = 0;
    if (!FXCanvas::GetTextSize(ch.c_str(), font, &w, &h)) return 0;
    return w;
}

}  // namespace

int TextWidth(Fonts& fonts, const TextStyle& st, const std::string& text) {
    FXFontGDI* font = fonts.Get(st.face, st.px);
    if (!font) return 0;
    std::vector<std::string> chars = localChars(text);
    float pen = 0.0f;
    for (size_t i = 0; i < chars.size(); i++) {
        pen += static_cast<float>(localAdvance(font, chars[i]));
        if (i + 1 < chars.size()) pen += st.tracking;
    }
    return static_cast<int>(std::lround(pen));
}

bool TextMask(Fonts& fonts, const TextStyle& st, const std::string& text, float x, float baseline, Align align,
              Mask* out) {
    FXFontGDI* font = fonts.Get(st.face, st.px);
    if (!font) return false;
    int width = TextWidth(fonts, st, text);
    float left = align == kLeft ? x : align == kCentre ? x - width * 0.5f : x - width;
    int top = static_cast<int>(std::lround(baseline)) - font->ascent;
    // Each character is rendered between two blanks, so glyphs reaching
    // left of their pen position or beyond their advance are not cut off.
    int space = localAdvance(font, " ");
    float white[4] = {1, 1, 1, 1};
    FXCanvas glyph;
    float pen = left;
    for (const std::string& ch : localChars(text)) {
        int adv = localAdvance(font, ch);
        if (ch != " ") {
            std::string padded = " " + ch + " ";
            if (!glyph.CreateFromText(padded.c_str(), font, white)) return false;
            int gx = static_cast<int>(std::lround(pen)) - space;
            for (int y = 0; y < glyph.GetHeight(); y++) {
                int ty = top + y;
                if (ty < 0 || ty >= out->h) continue;
                const uint32_t* row = glyph.pixmap.Row(y);
                for (int gxi = 0; gxi < glyph.GetWidth(); gxi++) {
                    int tx = gx + gxi;
                    if (tx < 0 || tx >= out->w) continue;
                    float c = static_cast<float>(row[gxi] >> 24) / 255.0f;
                    float& d = out->At(tx, ty);
                    d = d + c - d * c;
                }
            }
        }
        pen += static_cast<float>(adv) + st.tracking;
    }
    return true;
}

// ---------------------------------------------------------------- output

bool ToCanvas(const Image& img, FXCanvas* out, uint32_t seed) {
    if (!out->pixmap.Realloc(img.w, img.h)) return false;
    int zero = 0;
    out->pixmap.Clear(zero);
    // Colour for the transparent pixels: the surroundings' colour, from a
    // wide blur of the premultiplied picture; the average colour where even
    // that finds nothing.
    Image bleed = BlurredImage(img, 6.0f);
    double sum[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < img.px.size(); i += 4)
        for (int c = 0; c < 4; c++) sum[c] += img.px[i + static_cast<size_t>(c)];
    float mean[3] = {0, 0, 0};
    if (sum[3] > 0.0)
        for (int c = 0; c < 3; c++) mean[c] = static_cast<float>(sum[c] / sum[3]);

    bool opaque = true;
    for (int y = 0; y < img.h; y++) {
        uint32_t* row = out->pixmap.Row(y);
        for (int x = 0; x < img.w; x++) {
            const float* p = img.At(x, y);
            float a = Clamp01(p[3]);
            float rgb[3];
            int a8;
            if (a <= 0.0f) {
                a8 = 0;
            } else if (a >= 1.0f) {
                a8 = 255;
            } else {
                // The faint tails of blurs round to clear rather than being
                // dithered into stray specks.
                float d = 0.0f;
                if (a * 255.0f >= 2.0f)
                    d = Hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y), seed ^ 0x51u) - 0.5f;
                a8 = static_cast<int>(std::floor(a * 255.0f + 0.5f + d * 0.9f));
                a8 = std::max(0, std::min(255, a8));
            }
            if (a8 > 0) {
                for (int c = 0; c < 3; c++) rgb[c] = p[c] / a;
            } else {
                const float* b = bleed.At(x, y);
                if (b[3] > 1e-4f) {
                    for (int c = 0; c < 3; c++) rgb[c] = b[c] / b[3];
                } else {
                    for (int c = 0; c < 3; c++) rgb[c] = mean[c];
                }
            }
            uint32_t v = static_cast<uint32_t>(a8) << 24;
            for (int c = 0; c < 3; c++) {
                // No dither under clear pixels: nobody sees them, and flat
                // colour keeps the files small.
                float d = a8 == 0 ? 0.0f
                                  : Hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y),
                                         seed + static_cast<uint32_t>(c)) -
                                        0.5f;
                int q = static_cast<int>(std::floor(Clamp01(rgb[c]) * 255.0f + 0.5f + d * 0.9f));
                q = std::max(0, std::min(255, q));
                v |= static_cast<uint32_t>(q) << (8 * c);
            }
            if (a8 != 255) opaque = false;
            row[x] = v;
        }
    }
    out->opaque = opaque;
    return true;
}

}  // namespace cd
