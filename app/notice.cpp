#include "notice.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "image/canvas.h"

namespace {

const int kCell = 20;    // line height in pixels
const int kMargin = 24;  // black border around the text

}  // namespace

bool VelmiraNotice::Create(const std::vector<std::string>& lines) {
    FXFontGDI font;
    if (lines.empty() || !font.Create(nullptr, kCell)) return false;
    std::vector<std::unique_ptr<FXCanvas>> text;
    float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    int w = 0;
    for (const std::string& line : lines) {
        text.emplace_back(new FXCanvas);
        // An empty line draws nothing and keeps its place.
        if (!line.empty() && text.back()->CreateFromText(line.c_str(), &font, white))
            w = std::max(w, text.back()->GetWidth());
    }
    int cell = font.cellHeight;
    FXCanvas& pic = material.ownCanvas;
    if (w == 0 || !pic.pixmap.Realloc(w + 2 * kMargin, static_cast<int>(lines.size()) * cell + 2 * kMargin))
        return false;
    // Opaque: the text's coverage becomes its grey level over black.
    pic.pixmap.Clear(static_cast<int>(0xff000000u));
    for (size_t i = 0; i < text.size(); ++i) {
        FXPixmap& src = text[i]->pixmap;
        for (int y = 0; y < src.usedHeight && y < cell; ++y) {
            uint32_t* dst = pic.pixmap.Row(kMargin + static_cast<int>(i) * cell + y) + kMargin;
            for (int x = 0; x < src.usedWidth; ++x) dst[x] = 0xff000000u | (src.Row(y)[x] >> 24) * 0x010101u;
        }
    }
    pic.opaque = true;
    material.SetDefDiffuse(1.0f);
    desk.Create(1, 1);
    // The desk maps the texture's used part, known once it is set.
    if (!material.SetTexture(&pic)) return false;
    desk.SetMaterial(&material);
    return true;
}

void VelmiraNotice::OnRender(PEnv* env, double t) {
    if (!env || !material.textureReady || env->viewWidth < 1 || env->viewHeight < 1) return;
    float sw = static_cast<float>(env->viewWidth), sh = static_cast<float>(env->viewHeight);
    float pw = material.GetWidthF(), ph = material.GetHeightF();
    // Shrunk to fit, never enlarged: the text keeps its own pixel size.
    float k = std::min({1.0f, sw / pw, sh / ph});
    placement.screenWidth = sw;
    placement.screenHeight = sh;
    placement.boxWidth = pw * k;
    placement.boxHeight = ph * k;
    placement.SetPos(std::floor((sw - pw * k) * 0.5f), std::floor((sh - ph * k) * 0.5f));
    env->EnableDepthTest(false);
    env->EnableDepthWrite(false);
    env->EnableLights(false);
    placement.OnRender(env, t);
    desk.OnRender(env, t);
}

void VelmiraNotice::Destroy() {
    desk.Destroy();
    material.Destroy();
}
