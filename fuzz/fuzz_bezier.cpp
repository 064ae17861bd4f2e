// Arbitrary bytes as a timing-graph record, then as the points and calls of
// a spline, then as sampling sizes and edits of the graph. A graph loads whole through both readers alike, or leaves the
// graph empty and the cursor where it was; what loads has ascending keys,
// writes back to what it read, samples inside its table and scale, and
// stays consistent under editing. A spline of any points evaluates without
// leaving its arrays and starts at its first point.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "anim/bezier.h"
#include "anim/beziergraph.h"
#include "package/package.h"

namespace {

std::string localFields(const FXBezierGraph& g) {
    std::string s;
    auto put = [&](const void* p, size_t n) { s.append(static_cast<const char*>(p), n); };
    put(&g.frameCount, 4), put(&g.resolution, 4), put(&g.flag1, 1), put(&g.flag2, 1), put(&g.smoothness, 4), put(&g.samples, 4);
    for (int k = 0; k < g.KeyCount(); ++k) {
        int f = g.keyFrames.GetInt(k), v = g.keyValues.GetInt(k);
        put(&f, 4), put(&v, 4);
    }
    return s;
}

void localSpline(FXPackageData* d) {
    FXBezierSpline s;
    uint8_t flags = d->remaining > 0 ? *d->pos : 0;
    d->ReadBool();
    s.closed = flags & 1;
    s.straightLines = flags & 2;
    s.tension = (flags & 4) ? d->ReadFloat() : 1.0f;
    int n = (flags >> 3) & 15;
    bool tame = true;
    for (int i = 0; i < 3 * n && d->remaining >= 4; ++i) {
        float v = d->ReadFloat();
        tame = tame && std::fabs(v) < 1e6f;
        s.points.Push(v);
    }
    s.Precompute();
    if (flags & 128)
        s.PrecomputePhasesLenght();
    else
        s.PrecomputePhasesLinear();
    float out[3];
    s.GetAll(out, 0.0f);
    const float* p0 = s.points.data;
    if (tame && std::fabs(s.tension) < 1e6f && s.GetCnt() > 0 && (out[0] != p0[0] || out[1] != p0[1] || out[2] != p0[2]))
        __builtin_trap();
    FXBezierPhaseH h;
    for (int k = 0; k < 16 && d->remaining >= 4; ++k) {
        int op = d->ReadBool() ? 1 : 0;
        float v = d->ReadFloat();
        if (op) {
            s.GetAll(out, v);
            s.GetAllPos(v);
        } else {
            s.SetActPoints(d->ReadInt() % 20, d->ReadInt() % 20);
            h.Prepare(v);
            s.Get(out, v);
            s.GetH(out, &h);
        }
    }
    s.Destroy();
    s.GetAll(out, 0.5f);
    if (out[0] != 0.0f || out[1] != 0.0f || out[2] != 0.0f) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    uint8_t* copy = new uint8_t[size ? size : 1];
    if (size) memcpy(copy, data, size);
    FXPackageData d;
    d.InitData(copy, static_cast<int>(size));

    FXBezierGraph g;
    bool ok = g.LoadC(nullptr, &d);
    int used = static_cast<int>(size) - d.remaining;
    FILE* f = size ? fmemopen(copy, size, "rb") : nullptr;
    if (f) {
        FXBezierGraph file;
        bool fileOk = file.Load(f);
        long at = ftell(f);
        fclose(f);
        if (fileOk != ok || localFields(file) != localFields(g) || (ok && at != used) || (!ok && at != 0)) __builtin_trap();
    }
    if (!ok) {
        if (used != 0 || g.KeyCount() != 0 || g.keyFrames.count || g.keyValues.count) __builtin_trap();
        localSpline(&d);
        delete[] copy;
        return 0;
    }
    if (g.keyFrames.count != g.keyValues.count) __builtin_trap();
    for (int k = 1; k < g.KeyCount(); ++k)
        if (g.keyFrames.GetInt(k) <= g.keyFrames.GetInt(k - 1)) __builtin_trap();

    // Written back, the same graph.
    char* buf = nullptr;
    size_t len = 0;
    FILE* w = open_memstream(&buf, &len);
    if (w) {
        g.Save(w);
        fclose(w);
        FXPackageData back;
        back.InitData(buf, static_cast<int>(len));
        FXBezierGraph again;
        if (!again.LoadC(nullptr, &back) || back.remaining != 0 || localFields(again) != localFields(g)) __builtin_trap();
        free(buf);
    }

    localSpline(&d);

    // Sampling at a size and scale from the input: the Bezier form stays
    // within 1 .. scale wherever it draws.
    int columns = d.remaining > 0 ? 1 + *d.pos % 200 : 50;
    d.ReadBool();
    int scale = d.remaining >= 4 ? d.ReadInt() : 1000;
    g.ComputeSplineBezier(columns, scale);
    bool drawn = g.KeyCount() > 2 && g.frameCount >= 2 && g.resolution > 0 && scale >= 1;
    for (int c = 0; drawn && c < g.GetSplineResX(); ++c) {
        int v = g.GetFromSpline(c);
        if (v != 0 && (v < 1 || v > scale)) __builtin_trap();
    }
    g.ComputeSplineLinear(columns, scale);
    if (g.GetSplineResX() != columns) __builtin_trap();
    for (int fr = -2; fr < 12; ++fr)
        if (!std::isfinite(g.GetFromSpline1(fr))) __builtin_trap();

    // Editing from the input keeps both key lists together.
    for (int k = 0; k < 8 && d.remaining >= 5; ++k) {
        int op = *d.pos % 6;
        d.ReadBool();
        int a = d.ReadInt() % 40;
        switch (op) {
        case 0: g.InsertFramePos(a); break;
        case 1: g.MoveFramePos(a, g.KeyCount() ? g.keyFrames.GetInt(0) : 0); break;
        case 2: g.DeleteResolutionPoint(a); break;
        case 3: g.InsertResolutionPoint(a); break;
        case 4: g.MoveFrame(a, a / 2); break;
        default: g.DeleteFrame(a); break;
        }
        if (g.keyFrames.count != g.keyValues.count) __builtin_trap();
    }
    delete[] copy;
    return 0;
}
