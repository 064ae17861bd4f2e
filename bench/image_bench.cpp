// What decoding one sprite-movie frame costs: a 512 x 768 JPEG picture and
// its one-channel JPEG mask, from the package's record bytes to the RGBA
// pixels the movie uploads, the way the movie decodes them (the picture into
// its staging canvas, the mask straight into that canvas's alpha), against
// decoding the same two JPEGs with libjpeg-turbo directly as the floor. Also
// splits the path into its DevIL steps. Prints its figures and one ROW line.
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <time.h>
#include <unistd.h>

#include "base/trace.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "package/package.h"

namespace {

const int kW = 512, kH = 768;
const int kQuality = 90;

// CPU time of this thread: time the machine gave to other work between
// two readings does not count.
double ThreadMs() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// CPU milliseconds of one call after a warm-up: the fastest run by default
// (the least disturbed by other work on the machine), or the median.
bool useMedian = false;
double Median(int runs, const std::function<void()>& fn) {
    for (int i = 0; i < 5; i++) fn();
    std::vector<double> t;
    for (int i = 0; i < runs; i++) {
        double a = ThreadMs();
        fn();
        t.push_back(ThreadMs() - a);
    }
    std::sort(t.begin(), t.end());
    return useMedian ? t[t.size() / 2] : t[0];
}

// The same for two calls taken in turns, so that both see the same load
// from other work on the machine: their ratio is the steadier figure.
void Paired(int runs, const std::function<void()>& a, const std::function<void()>& b, double* ta, double* tb) {
    std::vector<double> x, y;
    for (int i = 0; i < 5; i++) a(), b();
    for (int i = 0; i < runs; i++) {
        double t0 = ThreadMs();
        a();
        double t1 = ThreadMs();
        b();
        x.push_back(t1 - t0);
        y.push_back(ThreadMs() - t1);
    }
    std::sort(x.begin(), x.end());
    std::sort(y.begin(), y.end());
    *ta = useMedian ? x[x.size() / 2] : x[0];
    *tb = useMedian ? y[y.size() / 2] : y[0];
}

// A frame that compresses like a photograph: soft gradients, a figure, fine
// texture and a little noise. The mask is the figure with a soft edge.
void MakeFrame(FXCanvas* pic, FXCanvas* mask) {
    pic->pixmap.Realloc(kW, kH);
    mask->pixmap.Realloc(kW, kH);
    unsigned seed = 12345;
    for (int y = 0; y < kH; y++) {
        for (int x = 0; x < kW; x++) {
            seed = seed * 1103515245u + 12345u;
            int noise = static_cast<int>((seed >> 16) & 15) - 8;
            double dx = (x - kW * 0.5) / (kW * 0.32), dy = (y - kH * 0.52) / (kH * 0.42);
            double d = std::sqrt(dx * dx + dy * dy);
            double inside = std::min(1.0, std::max(0.0, (1.05 - d) * 8.0));
            double tex = 18.0 * std::sin(x * 0.21) * std::cos(y * 0.17) + 10.0 * std::sin((x + y) * 0.043);
            int r = static_cast<int>(90 + 120 * inside + 0.10 * y + tex) + noise;
            int g = static_cast<int>(70 + 80 * inside + 0.05 * x + tex * 0.7) + noise;
            int b = static_cast<int>(120 - 40 * inside + 0.08 * (kW - x) - tex * 0.5) + noise;
            r = std::min(255, std::max(0, r));
            g = std::min(255, std::max(0, g));
            b = std::min(255, std::max(0, b));
            pic->pixmap.Row(y)[x] = 0xFF000000u | (uint32_t(b) << 16) | (uint32_t(g) << 8) | uint32_t(r);
            uint32_t a = static_cast<uint32_t>(255.0 * inside);
            mask->pixmap.Row(y)[x] = a << 24;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 300;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--median") == 0) useMedian = true;
        // Few runs, for profilers.
        if (strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, atoi(argv[++i]));
    }
    char tmpl[] = "/tmp/fximgbench-XXXXXX";
    const char* dir = mkdtemp(tmpl);
    if (!dir) return 1;
    std::string picPath = std::string(dir) + "/frame.jpg", maskPath = std::string(dir) + "/frame_mask.jpg",
                pckPath = std::string(dir) + "/frames.dat";

    if (!fxLoadDevil()) {
        fprintf(stderr, "DevIL (libdevil1c2) is not installed\n");
        return 1;
    }

    // The frame is encoded the way the content builder encodes it: through
    // the canvas and DevIL, then packed.
    {
        FXCanvas pic, mask;
        MakeFrame(&pic, &mask);
        FXCanvas::SetJpegQuality(kQuality);
        pic.SaveToPict(picPath.c_str());
        mask.SaveToMask(maskPath.c_str());
        FXPackage build;
        build.AddDataFile(0, picPath.c_str());
        build.AddDataFile(1, maskPath.c_str());
        if (!build.Save(pckPath.c_str(), 0)) {
            fprintf(stderr, "package not written\n");
            return 1;
        }
    }
    FXPackage pck;
    if (!pck.Load(pckPath.c_str())) return 1;
    FXPackageData* picRec = pck.GetDataPtr(0);
    FXPackageData* maskRec = pck.GetDataPtr(1);
    if (!picRec || !maskRec) return 1;
    printf("frame %d x %d, JPEG quality %d: picture %d bytes, mask %d bytes\n", kW, kH, kQuality, picRec->size,
           maskRec->size);

    // The movie's staging canvas: no clear colour, no transparency rule; its
    // buffer is the picture's size where GL takes any texture size (as the
    // movie asks on a GL with non-power-of-two textures), else rounded up.
    auto plain = [](FXCanvas* c, bool pow2) {
        c->detectTransparency = false;
        c->transparencyPicture = false;
        c->pixmap.pow2 = pow2;
    };
    FXCanvas canvas, canvas2;
    plain(&canvas, false);
    plain(&canvas2, true);
    bool ok = true;
    auto framePic = [&](FXCanvas* c) { ok &= c->CreateFromBufType(FX_IL_JPG, picRec->start, picRec->size); };
    auto frameMask = [&](FXCanvas* c) { ok &= c->LoadFrameMaskBufType(FX_IL_JPG, maskRec->start, maskRec->size); };
    double canvasPow2 = Median(runs, [&] {
        framePic(&canvas2);
        frameMask(&canvas2);
    });
    // The picture item's path: a picture record, then a mask record.
    FXCanvas item;
    double itemBoth = Median(runs, [&] {
        ok &= item.CreateFromPictCN(&pck, 0);
        ok &= item.LoadMaskCN(&pck, 1);
    });
    // The floor: libjpeg-turbo straight into an RGBA buffer and a grey plane,
    // the grey then taken into the alpha bytes.
    tjhandle tj = tjInitDecompress();
    std::vector<uint8_t> rgba(static_cast<size_t>(kW) * kH * 4), grey(static_cast<size_t>(kW) * kH);
    bool tjOk = true;
    auto tjPicture = [&] {
        tjOk &= tjDecompress2(tj, picRec->start, static_cast<unsigned long>(picRec->size), rgba.data(), kW, 0, kH,
                              TJPF_RGBA, 0) == 0;
    };
    auto tjMask = [&] {
        tjOk &= tjDecompress2(tj, maskRec->start, static_cast<unsigned long>(maskRec->size), grey.data(), kW, 0, kH,
                              TJPF_GRAY, 0) == 0;
        for (size_t i = 0; i < grey.size(); i++) rgba[4 * i + 3] = grey[i];
    };
    double canvasBoth = 0, floorBoth = 0;
    Paired(
        runs,
        [&] {
            framePic(&canvas);
            frameMask(&canvas);
        },
        [&] {
            tjPicture();
            tjMask();
        },
        &canvasBoth, &floorBoth);
    double canvasPic = 0, floorPic = 0, canvasMask = 0, floorMask = 0;
    Paired(runs, [&] { framePic(&canvas); }, tjPicture, &canvasPic, &floorPic);
    Paired(runs, [&] { frameMask(&canvas); }, tjMask, &canvasMask, &floorMask);
    if (!ok) {
        fprintf(stderr, "canvas decode failed\n");
        return 1;
    }
    if (!tjOk) {
        fprintf(stderr, "turbojpeg decode failed: %s\n", tjGetErrorStr());
        return 1;
    }

    // The paths give the same picture (the same libjpeg underneath).
    framePic(&canvas);
    frameMask(&canvas);
    framePic(&canvas2);
    frameMask(&canvas2);
    item.CreateFromPictCN(&pck, 0);
    item.LoadMaskCN(&pck, 1);
    tjPicture();
    tjMask();
    int maxDiff = 0;
    for (FXCanvas* c : {&canvas, &canvas2, &item})
        for (int y = 0; y < kH; y++)
            for (int x = 0; x < kW; x++) {
                uint32_t p = c->pixmap.Row(y)[x];
                for (int k = 0; k < 4; k++)
                    maxDiff = std::max(maxDiff, std::abs(static_cast<int>((p >> (8 * k)) & 255) -
                                                         rgba[(static_cast<size_t>(y) * kW + x) * 4 + k]));
            }

    // Where the canvas's time goes: DevIL's steps alone.
    auto step = [&](FXPackageData* rec, bool clone, bool convert) {
        return Median(runs, [&] {
            FXDevilLock lock;
            FXILuint ids[2] = {0, 0};
            pilGenImages(1, &ids[0]);
            pilBindImage(ids[0]);
            pilLoadL(FX_IL_JPG, rec->start, static_cast<FXILuint>(rec->size));
            if (clone) {
                ids[1] = pilCloneCurImage();
                pilBindImage(ids[1]);
                if (convert) pilConvertImage(FX_IL_RGBA, FX_IL_UNSIGNED_BYTE);
            }
            pilDeleteImages(1, &ids[0]);
            if (ids[1]) pilDeleteImages(1, &ids[1]);
        });
    };
    double picDecode = step(picRec, false, false), picClone = step(picRec, true, false),
           picConvert = step(picRec, true, true);
    double maskDecode = step(maskRec, false, false), maskClone = step(maskRec, true, false),
           maskConvert = step(maskRec, true, true);

    printf("\n%-46s %8s %8s %8s\n", useMedian ? "median CPU ms per frame" : "fastest CPU ms per frame (--median: median)",
           "picture", "mask", "both");
    printf("%-46s %8.3f %8.3f %8.3f\n", "movie frame (record bytes to staging pixels)", canvasPic, canvasMask,
           canvasBoth);
    printf("%-46s %8.3f %8.3f %8.3f\n", "floor (libjpeg-turbo to RGBA / grey + alpha)", floorPic, floorMask,
           floorBoth);
    printf("%-46s %8.2f %8.2f %8.2f\n", "ratio movie frame / floor", canvasPic / floorPic, canvasMask / floorMask,
           canvasBoth / floorBoth);
    printf("%-46s %8s %8s %8.3f\n", "  the same, power-of-two buffer (512 x 1024)", "", "", canvasPow2);
    printf("%-46s %8s %8s %8.3f\n", "  picture item (CreateFromPictCN + LoadMaskCN)", "", "", itemBoth);
    printf("\nDevIL steps alone (cumulative)\n");
    printf("%-46s %8.3f %8.3f\n", "  decode (ilLoadL)", picDecode, maskDecode);
    printf("%-46s %8.3f %8.3f\n", "  + clone", picClone, maskClone);
    printf("%-46s %8.3f %8.3f\n", "  + convert to RGBA (the old path; not taken)", picConvert, maskConvert);
    printf("%-46s %8.3f %8.3f\n", "movie frame: decode + one pass into the canvas", canvasPic, canvasMask);
    printf("\nCPU time of this thread, %d runs; the movie frame and the floor taken in turns\n", runs);
    printf("the upload that follows (glTexImage2D of these pixels, no mipmaps, no conversion) is not included\n");
    printf("largest channel difference canvas vs floor: %d\n", maxDiff);
    printf("RATIO %.2f\n", canvasBoth / floorBoth);
    printf("ROW movie-frame-decode %.3fms %.3fms %.2f 1.25\n", canvasBoth, floorBoth, canvasBoth / floorBoth);

    tjDestroy(tj);
    fxUnloadDevil();
    remove(picPath.c_str());
    remove(maskPath.c_str());
    remove(pckPath.c_str());
    rmdir(dir);
    return 0;
}
