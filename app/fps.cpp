#include "fps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const int kCell = 14;   // line height in pixels: small, out of the show's way
const int kPad = 4;     // box around the text
const int kEdge = 6;    // box from the window's edges
const uint32_t kBoxAlpha = 176;  // of 255: the show shows through the box

}  // namespace

bool VelmiraFps::Create() {
    figure = 0.0;
    since_ = -1.0;
    frames_ = 0;
    shown_.clear();
    if (!font_.Create(nullptr, kCell)) return false;
    // Redrawn once a second at most: one level is enough and quick to upload.
    material_.mipmaps = false;
    material_.SetDefDiffuse(1.0f);
    desk_.Create(1, 1);
    desk_.SetMaterial(&material_);
    return Draw("-- fps");
}

bool VelmiraFps::Count(double t) {
    // The first frame, or a clock that went back or is no number: start over.
    if (!(t >= since_) || since_ < 0.0) {
        since_ = t >= 0.0 ? t : -1.0;
        frames_ = 0;
        return false;
    }
    ++frames_;
    double span = t - since_;
    // The clock counts milliseconds: a second may come out a hair short.
    if (span < 1.0 - 1e-6) return false;
    figure = frames_ / span;
    since_ = t;
    frames_ = 0;
    return true;
}

bool VelmiraFps::Draw(const std::string& text) {
    FXCanvas line;
    float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    if (!line.CreateFromText(text.c_str(), &font_, white)) return false;
    int cell = std::min(font_.cellHeight, line.GetHeight());
    FXCanvas& pic = material_.ownCanvas;
    if (!pic.pixmap.Realloc(line.GetWidth() + 2 * kPad, cell + 2 * kPad)) return false;
    pic.pixmap.Clear(static_cast<int>(kBoxAlpha << 24));
    // White text over the black box, blended here so that one texture drawn
    // with the usual alpha blending gives both.
    for (int y = 0; y < cell; ++y) {
        uint32_t* dst = pic.pixmap.Row(kPad + y) + kPad;
        for (int x = 0; x < line.GetWidth(); ++x) {
            uint32_t cov = line.pixmap.Row(y)[x] >> 24;
            if (!cov) continue;
            uint32_t alpha = kBoxAlpha + cov * (255 - kBoxAlpha) / 255;
            dst[x] = alpha << 24 | (cov * 255 / alpha) * 0x010101u;
        }
    }
    pic.opaque = false;
    shown_ = text;
    if (!material_.SetTexture(&pic)) return false;
    // The text's width changes the texture's used part: map it again.
    desk_.UpdateTex();
    return true;
}

void VelmiraFps::OnRender(PEnv* env, double t) {
    if (Count(t)) {
        char text[32];
        snprintf(text, sizeof text, "%.1f fps", figure);
        if (shown_ != text) Draw(text);
    }
    if (!env || !material_.textureReady || env->viewWidth < 1 || env->viewHeight < 1) return;
    float sw = static_cast<float>(env->viewWidth), sh = static_cast<float>(env->viewHeight);
    float pw = material_.GetWidthF(), ph = material_.GetHeightF();
    // A small preview gets a smaller box, never more than half its width.
    float k = std::min({1.0f, sw * 0.5f / pw, sh * 0.25f / ph});
    float edge = std::floor(kEdge * k);
    placement_.screenWidth = sw;
    placement_.screenHeight = sh;
    placement_.boxWidth = pw * k;
    placement_.boxHeight = ph * k;
    placement_.SetPos(edge, std::floor(sh - ph * k - edge));
    env->EnableDepthTest(false);
    env->EnableDepthWrite(false);
    env->EnableLights(false);
    placement_.OnRender(env, t);
    desk_.OnRender(env, t);
}

void VelmiraFps::Destroy() {
    desk_.Destroy();
    material_.Destroy();
    font_.Destroy();
    shown_.clear();
}

void VelmiraFrameGaps::Add(double seconds) {
    if (!(seconds >= 0.0)) return;  // a clock that went back, or NaN
    if (seconds > longest) longest = seconds;
    const double ms = seconds * 1000.0;
    const int b = ms >= kBuckets - 1 ? kBuckets - 1 : static_cast<int>(ms);
    ++count[b];
    ++total;
}

int VelmiraFrameGaps::Within(double q) const {
    if (total <= 0) return 0;
    const double need = q * total;
    int64_t seen = 0;
    for (int b = 0; b < kBuckets; ++b) {
        seen += count[b];
        if (seen >= need) return b + 1;
    }
    return kBuckets;
}
