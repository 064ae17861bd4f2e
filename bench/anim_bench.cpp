// The gallery set's animation: time to load and prepare it as the set does,
// time to pose it per frame, and its memory against its record's size.
//   anim_bench PACKAGE [ID]   (default entry 2328 of the demo package)
// Without a device the material library is not loaded: the figures are the
// animation's own work.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "anim/anim.h"
#include "package/package.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

long StatusKb(const char* key) {
    FILE* f = fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long v = -1;
    size_t n = strlen(key);
    while (fgets(line, sizeof line, f))
        if (!strncmp(line, key, n) && line[n] == ':') v = atol(line + n + 1);
    fclose(f);
    return v;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: anim_bench PACKAGE [ID]\n");
        return 2;
    }
    int id = argc > 2 ? atoi(argv[2]) : 2328;
    FXPackage pck;
    if (!pck.Load(argv[1]) || !pck.GetDataPtr(id)) {
        fprintf(stderr, "anim_bench: no record %d in %s\n", id, argv[1]);
        return 1;
    }
    const int record = pck.GetDataPtr(id)->size;
    const int kRuns = 10;
    double load = 0, prepare = 0;
    long before = StatusKb("VmRSS"), held = 0;
    FXAnim* a = nullptr;
    for (int r = 0; r < kRuns; ++r) {
        delete a;
        a = new FXAnim;
        Clock::time_point t0 = Clock::now();
        if (!a->LoadCN(&pck, id)) {
            fprintf(stderr, "anim_bench: record %d does not load\n", id);
            return 1;
        }
        Clock::time_point t1 = Clock::now();
        a->UnitizeStretch1(0);
        a->Normalize(-1, false);
        a->ComputeFrontTexCoords(0, -1);
        a->ResizeTextCoords1();
        a->loop = false;
        a->UpdateInterpolation(true, false);
        Clock::time_point t2 = Clock::now();
        load += Seconds(t0, t1);
        prepare += Seconds(t1, t2);
        if (r == 0) held = StatusKb("VmRSS") - before;
    }
    // Posing: the whole play, 25 frames a second, over and over.
    FXModel* first = a->Model(0);
    const int vertices = first ? first->GetTotalVertices() : 0;
    int poses = 0;
    Clock::time_point p0 = Clock::now();
    while (Seconds(p0, Clock::now()) < 1.0) {
        a->StartAnim(0.0);
        for (double t = 0.0; a->playing; t += 0.04, ++poses) a->OnRender(nullptr, t);
    }
    double perPose = Seconds(p0, Clock::now()) / (poses ? poses : 1);
    printf("anim_bench: record %d: %d bytes, %d frames of %d vertices\n", id, record, a->FrameCount(), vertices);
    printf("  load %.2f ms, prepare (unitize, texture coordinates, splines) %.2f ms\n", 1e3 * load / kRuns,
           1e3 * prepare / kRuns);
    printf("  pose %.1f us per frame (%.1f ns per vertex)\n", 1e6 * perPose, 1e9 * perPose / (vertices ? vertices : 1));
    printf("  memory %ld kB held after the first load and preparation, %.1f times the record\n", held,
           held * 1024.0 / record);
    delete a;
    return 0;
}
