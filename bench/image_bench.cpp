// What decoding one sprite-movie frame costs: a 512 x 768 JPEG picture and
// its one-channel JPEG mask, read from package records through the canvas
// (DevIL) into RGBA, against decoding the same two JPEGs with libjpeg-turbo
// directly as the floor. Also splits the canvas path into its DevIL steps.
// Prints its figures.
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

    FXCanvas canvas;
    bool ok = true;
    double canvasBoth = Median(runs, [&] {
        ok &= canvas.CreateFromPictCN(&pck, 0);
        ok &= canvas.LoadMaskCN(&pck, 1);
    });
    double canvasPic = Median(runs, [&] { ok &= canvas.CreateFromPictCN(&pck, 0); });
    double canvasMask = Median(runs, [&] { ok &= canvas.LoadMaskCN(&pck, 1); });
    if (!ok) {
        fprintf(stderr, "canvas decode failed\n");
        return 1;
    }

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
    double floorBoth = Median(runs, [&] {
        tjPicture();
        tjMask();
    });
    double floorPic = Median(runs, tjPicture);
    double floorMask = Median(runs, tjMask);
    if (!tjOk) {
        fprintf(stderr, "turbojpeg decode failed: %s\n", tjGetErrorStr());
        return 1;
    }

    // The two paths give the same picture (the same libjpeg underneath).
    canvas.CreateFromPictCN(&pck, 0);
    canvas.LoadMaskCN(&pck, 1);
    tjPicture();
    tjMask();
    int maxDiff = 0;
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++) {
            uint32_t p = canvas.pixmap.Row(y)[x];
            for (int c = 0; c < 4; c++)
                maxDiff = std::max(maxDiff, std::abs(static_cast<int>((p >> (8 * c)) & 255) -
                                                     rgba[(static_cast<size_t>(y) * kW + x) * 4 + c]));
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

    printf("\n%-44s %8s %8s %8s\n", useMedian ? "median CPU ms per frame" : "fastest CPU ms per frame (--median: median)",
           "picture", "mask", "both");
    printf("%-44s %8.3f %8.3f %8.3f\n", "canvas (CreateFromPictCN + LoadMaskCN)", canvasPic, canvasMask, canvasBoth);
    printf("%-44s %8.3f %8.3f %8.3f\n", "floor (libjpeg-turbo to RGBA / grey + alpha)", floorPic, floorMask,
           floorBoth);
    printf("%-44s %8.2f %8.2f %8.2f\n", "ratio canvas / floor", canvasPic / floorPic, canvasMask / floorMask,
           canvasBoth / floorBoth);
    printf("\ncanvas steps (cumulative)\n");
    printf("%-44s %8.3f %8.3f\n", "  DevIL decode (ilLoadL)", picDecode, maskDecode);
    printf("%-44s %8.3f %8.3f\n", "  + clone", picClone, maskClone);
    printf("%-44s %8.3f %8.3f\n", "  + convert to RGBA", picConvert, maskConvert);
    printf("%-44s %8.3f %8.3f\n", "  + copy into the canvas (the rest)", canvasPic, canvasMask);
    printf("\nlargest channel difference canvas vs floor: %d\n", maxDiff);
    printf("RATIO %.2f\n", canvasBoth / floorBoth);

    tjDestroy(tj);
    fxUnloadDevil();
    remove(picPath.c_str());
    remove(maskPath.c_str());
    remove(pckPath.c_str());
    rmdir(dir);
    return 0;
}
