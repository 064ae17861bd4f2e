#include "anim/beziergraph.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "base/trace.h"
#include "package/package.h"

namespace {

// Bytes of the stored form after the key values.
const int kTailSize = 1 + 1 + 4 + 4;

int localClampInt(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int>(v);
}

// Truncation toward zero that stays defined for any float: NaN reads as 0,
// values beyond the int range as its ends.
int localTrunc(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<int>(v);
}

void localDefaults(FXBezierGraph* g) {
    g->frameCount = 0;
    g->resolution = 1000;
    g->flag1 = g->flag2 = false;
    g->smoothness = 0.3f;
    g->samples = 16;
    g->outScale = 0;
}

// Both key arrays cut to the keys in use, so edits keep them parallel.
void localTrim(FXBezierGraph* g) {
    int n = g->KeyCount();
    g->keyFrames.count = n;
    g->keyValues.count = n;
}

// A counted list of int32 whose count the cursor's bytes can hold, leaving
// tail bytes after it; false (and the list empty) otherwise.
bool localReadList(FXPackageData* d, FXArray* a, int tail, const char* what) {
    a->DestroyBuf();
    if (d->remaining < 4) {
        err("bezier graph: the record ends before the %s count\n", what);
        return false;
    }
    int n = d->ReadInt();
    int64_t room = (static_cast<int64_t>(d->remaining) - tail) / 4;
    if (n < 0 || n > room) {
        err("bezier graph: %d %s, but only %d bytes are left in the record\n", n, what, d->remaining);
        return false;
    }
    if (n == 0) return true;
    a->Realloc(n);
    for (int i = 0; i < n; ++i) a->SetInt(i, d->ReadInt());
    a->count = n;
    return true;
}

// Keys into ascending order of frame, the first of each repeated frame kept;
// the interpolation divides by the distance between neighbours.
void localSortKeys(FXBezierGraph* g) {
    int n = g->KeyCount();
    bool ordered = true;
    for (int k = 1; k < n && ordered; ++k) ordered = g->keyFrames.GetInt(k) > g->keyFrames.GetInt(k - 1);
    if (ordered) return;
    std::vector<std::pair<int, int>> keys;
    keys.reserve(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) keys.emplace_back(g->keyFrames.GetInt(k), g->keyValues.GetInt(k));
    std::stable_sort(keys.begin(), keys.end(), [](const std::pair<int, int>& a, const std::pair<int, int>& b) { return a.first < b.first; });
    int m = 0;
    for (int k = 0; k < n; ++k) {
        if (m > 0 && keys[static_cast<size_t>(k)].first == g->keyFrames.GetInt(m - 1)) continue;
        g->keyFrames.SetInt(m, keys[static_cast<size_t>(k)].first);
        g->keyValues.SetInt(m, keys[static_cast<size_t>(k)].second);
        ++m;
    }
    err("bezier graph: key frames out of order or repeated; %d of %d keys kept in frame order\n", m, n);
    g->keyFrames.count = g->keyValues.count = m;
}

// One sampled segment: t = j / (s - 1), joined point to point.
template <typename Eval>
void localDrawSegment(FXBezierGraph* g, int s, Eval eval) {
    if (s < 3) return;
    float prev[2];
    eval(0.0f, prev);
    for (int j = 1; j < s; ++j) {
        float p[2];
        eval(static_cast<float>(j) / static_cast<float>(s - 1), p);
        g->SetSplineLn(localTrunc(prev[0]), localTrunc(prev[1]), localTrunc(p[0]), localTrunc(p[1]));
        prev[0] = p[0];
        prev[1] = p[1];
    }
}

}  // namespace

FXBezierGraph::FXBezierGraph()
    : frameCount(0),
      resolution(1000),
      flag1(false),
      flag2(false),
      smoothness(0.3f),
      samples(16),
      outScale(0),
      polyline(64),
      curve(128) {}

void FXBezierGraph::Destroy() {
    keyFrames.DestroyBuf();
    keyValues.DestroyBuf();
    table.DestroyBuf();
    polyline.DestroyBuf();
    curve.DestroyBuf();
}

int FXBezierGraph::KeyCount() const {
    int n = std::min(keyFrames.count, keyValues.count);
    return n > 0 && keyFrames.data && keyValues.data ? n : 0;
}

// ---------------------------------------------------------------- stored form

bool FXBezierGraph::Save(FILE* f) const {
    if (!f) return false;
    int n = KeyCount();
    fxWriteInt32(f, frameCount);
    fxWriteInt32(f, resolution);
    fxWriteInt32(f, n);
    for (int k = 0; k < n; ++k) fxWriteInt32(f, keyFrames.GetInt(k));
    fxWriteInt32(f, n);
    for (int k = 0; k < n; ++k) fxWriteInt32(f, keyValues.GetInt(k));
    fputc(flag1 ? 1 : 0, f);
    fputc(flag2 ? 1 : 0, f);
    uint32_t u;
    memcpy(&u, &smoothness, 4);
    fxWriteInt32(f, static_cast<int32_t>(u));
    fxWriteInt32(f, samples);
    return !ferror(f);
}

// The graph's bytes are gathered from the file as far as its counts say and
// the file holds, then read through the record reader, so both forms take
// the same checks. A count the file cannot hold stops the gathering at its
// end: the record reader then refuses it.
bool FXBezierGraph::Load(FILE* f) {
    if (!f) return false;
    long startPos = ftell(f);
    std::vector<uint8_t> buf;
    auto take = [&](int64_t n) {
        const int64_t chunk = 65536;
        while (n > 0) {
            size_t want = static_cast<size_t>(std::min(n, chunk));
            size_t old = buf.size();
            buf.resize(old + want);
            size_t got = fread(buf.data() + old, 1, want, f);
            buf.resize(old + got);
            if (got < want) return false;
            n -= static_cast<int64_t>(got);
        }
        return true;
    };
    auto lastCount = [&]() {
        int32_t v;
        memcpy(&v, buf.data() + buf.size() - 4, 4);
        return v;  // the file form is little-endian, as is every host we build for
    };
    // A count beyond what the file (or any record) can hold is not read on;
    // the record reader reports what is missing.
    auto plausible = [&](int32_t n, int64_t after) {
        long left = fxBytesLeft(f);
        return n >= 0 && n <= INT32_MAX / 8 && (left < 0 || 4 * static_cast<int64_t>(n) + after <= left);
    };
    if (take(12) && plausible(lastCount(), 4) && take(4 * static_cast<int64_t>(lastCount()) + 4) &&
        plausible(lastCount(), kTailSize))
        take(4 * static_cast<int64_t>(lastCount()) + kTailSize);
    FXPackageData d;
    d.InitData(buf.data(), static_cast<int>(buf.size()));
    bool ok = LoadC(nullptr, &d);
    if (!ok && startPos >= 0) fseek(f, startPos, SEEK_SET);
    return ok;
}

bool FXBezierGraph::LoadC(FXPackage*, FXPackageData* d) {
    Destroy();
    localDefaults(this);
    if (!d) return false;
    uint8_t* startPos = d->pos;
    int startLeft = d->remaining;
    bool ok = false;
    do {
        if (d->remaining < 8) {
            err("bezier graph: the record ends in its header (%d bytes)\n", d->remaining);
            break;
        }
        frameCount = d->ReadInt();
        resolution = d->ReadInt();
        if (!localReadList(d, &keyFrames, 4 + kTailSize, "key frames")) break;
        if (!localReadList(d, &keyValues, kTailSize, "key values")) break;
        if (d->remaining < kTailSize) {
            err("bezier graph: the record ends before its flags and sampling\n");
            break;
        }
        flag1 = d->ReadBool();
        flag2 = d->ReadBool();
        smoothness = d->ReadFloat();
        samples = d->ReadInt();
        ok = true;
    } while (false);
    if (!ok) {
        Destroy();
        localDefaults(this);
        d->pos = startPos;
        d->remaining = startLeft;
        return false;
    }
    if (keyFrames.count != keyValues.count) {
        err("bezier graph: %d key frames but %d key values; the first %d keys are used\n", keyFrames.count,
            keyValues.count, KeyCount());
        localTrim(this);
    }
    localSortKeys(this);
    if (resolution <= 0) err("bezier graph: value resolution %d; the graph samples to 0\n", resolution);
    if (samples < 0 || samples > kMaxSamples)
        err("bezier graph: %d samples per segment; at most %d are drawn\n", samples, static_cast<int>(kMaxSamples));
    return true;
}

// ---------------------------------------------------------------- key editing

int FXBezierGraph::FindFrame(int frame) const {
    int n = KeyCount();
    for (int k = 0; k < n; ++k)
        if (keyFrames.GetInt(k) == frame) return k;
    return -1;
}

int FXBezierGraph::FindNearestRight(int frame) const {
    int n = KeyCount();
    for (int k = 0; k < n; ++k)
        if (keyFrames.GetInt(k) >= frame) return k;
    return -1;
}

int FXBezierGraph::FindNearest(int frame) const {
    int n = KeyCount();
    int best = -1;
    int64_t bestDist = 0;
    for (int k = 0; k < n; ++k) {
        int64_t dist = std::llabs(static_cast<int64_t>(keyFrames.GetInt(k)) - frame);
        if (best < 0 || dist < bestDist) {
            best = k;
            bestDist = dist;
        }
        if (dist == 0) break;
    }
    return best;
}

void FXBezierGraph::InsertFrame(int pos) {
    localTrim(this);
    keyFrames.Insert(pos, nullptr);
    keyValues.Insert(pos, nullptr);
}

int FXBezierGraph::InsertFramePos(int frame) {
    if (FindFrame(frame) >= 0) return -1;
    localTrim(this);
    int pos = FindNearestRight(frame);
    if (pos < 0) pos = KeyCount();
    InsertFrame(pos);
    keyFrames.SetInt(pos, frame);
    return pos;
}

void FXBezierGraph::DeleteFrame(int pos) {
    localTrim(this);
    keyFrames.RemovePos(pos);
    keyValues.RemovePos(pos);
}

void FXBezierGraph::MoveFrame(int target, int source) {
    localTrim(this);
    int n = KeyCount();
    if (n < 1) return;
    if (target < 0 || target > n - 1) target = n - 1;
    if (source < 0 || source > n - 1) source = n - 1;
    int frame = keyFrames.GetInt(source), value = keyValues.GetInt(source);
    keyFrames.RemovePos(source);
    keyValues.RemovePos(source);
    keyFrames.Insert(target, nullptr);
    keyValues.Insert(target, nullptr);
    keyFrames.SetInt(target, frame);
    keyValues.SetInt(target, value);
}

int FXBezierGraph::MoveFramePos(int newFrame, int oldFrame) {
    int n = KeyCount();
    if (n < 1) return -1;
    int pos = FindFrame(oldFrame);
    if (pos < 0 || FindFrame(newFrame) >= 0) return -1;
    int target = FindNearestRight(newFrame);
    if (target < 0) target = n;
    if (target > pos) --target;
    keyFrames.SetInt(pos, newFrame);
    if (target == pos) return -1;
    MoveFrame(target, pos);
    return target;
}

void FXBezierGraph::InsertResolutionPoint(int frame) {
    int n = KeyCount();
    for (int k = 0; k < n; ++k)
        if (keyFrames.GetInt(k) >= frame) keyFrames.SetInt(k, localClampInt(static_cast<int64_t>(keyFrames.GetInt(k)) + 1));
    frameCount = localClampInt(static_cast<int64_t>(frameCount) + 1);
}

void FXBezierGraph::DeleteResolutionPoint(int frame) {
    localTrim(this);
    int n = KeyCount();
    for (int k = 0; k < n; ++k)
        if (keyFrames.GetInt(k) >= frame) keyFrames.SetInt(k, localClampInt(static_cast<int64_t>(keyFrames.GetInt(k)) - 1));
    for (int k = 1; k < KeyCount();) {
        if (keyFrames.GetInt(k) == keyFrames.GetInt(k - 1))
            DeleteFrame(k);
        else
            ++k;
    }
    if (frameCount > 0) --frameCount;
}

// ---------------------------------------------------------------- sampling

int FXBezierGraph::ComputePointLinear(float x, int scale) const {
    int n = KeyCount();
    if (n == 0 || resolution <= 0) return 0;
    int k = FindNearestRight(localTrunc(static_cast<double>(x) + 0.99999));
    if (k < 0 || k == 0) {
        int v = keyValues.GetInt(k < 0 ? n - 1 : 0);
        return localClampInt(static_cast<int64_t>(v) * scale / resolution);
    }
    double x0 = keyFrames.GetInt(k - 1), x1 = keyFrames.GetInt(k);
    double y0 = keyValues.GetInt(k - 1), y1 = keyValues.GetInt(k);
    // Repeated frames (possible while editing) have no run between them.
    if (x1 == x0) return localTrunc(y1 * scale / resolution);
    // The same line as y0 + (y1 - y0)(x - x0)/(x1 - x0) over the resolution,
    // taken so that a key's own frame gives exactly its value.
    double v = (y0 * (x1 - x) + y1 * (x - x0)) * scale / ((x1 - x0) * resolution);
    return localTrunc(v);
}

void FXBezierGraph::ComputeSplineLinear(int columns, int scale) {
    outScale = scale;
    if (columns > kMaxColumns) {
        err("bezier graph: %d columns asked; %d are sampled\n", columns, static_cast<int>(kMaxColumns));
        columns = kMaxColumns;
    }
    if (columns <= 0) {
        table.RemoveAll();
        return;
    }
    table.Realloc(columns);
    table.count = columns;
    for (int i = 0; i < columns; ++i) {
        double x = static_cast<double>((static_cast<int64_t>(frameCount) - 1) * i) / columns;
        table.SetInt(i, ComputePointLinear(static_cast<float>(x), scale));
    }
}

void FXBezierGraph::ComputeSplineBezier(int columns, int scale) {
    // The drawing needs a frame range, a value range and a scale to map
    // keys onto; without them the linear form is exact enough.
    if (KeyCount() <= 2 || frameCount < 2 || resolution <= 0 || scale < 1 || columns <= 0) {
        ComputeSplineLinear(columns, scale);
        return;
    }
    if (columns > kMaxColumns) {
        err("bezier graph: %d columns asked; %d are sampled\n", columns, static_cast<int>(kMaxColumns));
        columns = kMaxColumns;
    }
    outScale = scale;
    int old = table.count;
    table.Realloc(columns);
    for (int i = old; i < columns; ++i) table.SetInt(i, 0);
    table.count = columns;
    RenderBezier(static_cast<float>(columns), static_cast<float>(scale));
}

void FXBezierGraph::PreparePoints(float width, float height) {
    polyline.RemoveAll();
    int n = KeyCount();
    if (n == 0 || frameCount < 2 || resolution <= 0) return;
    float sx = width / static_cast<float>(frameCount - 1);
    float sy = height / static_cast<float>(resolution);
    auto key = [&](int k, float* p) {
        p[0] = static_cast<float>(keyFrames.GetInt(k)) * sx;
        p[1] = static_cast<float>(keyValues.GetInt(k)) * sy;
    };
    auto push = [&](float x, float y) {
        polyline.Push(x);
        polyline.Push(y);
    };
    float K[2], P[2], N[2];
    key(0, K);
    push(K[0], K[1]);
    for (int k = 1; k + 1 < n; ++k) {
        key(k - 1, P);
        key(k, K);
        key(k + 1, N);
        float a[2] = {K[0] - P[0], K[1] - P[1]}, b[2] = {K[0] - N[0], K[1] - N[1]};
        float la = sqrtf(a[0] * a[0] + a[1] * a[1]), lb = sqrtf(b[0] * b[0] + b[1] * b[1]);
        // A neighbour on the key itself gives no direction from that side.
        for (int c = 0; c < 2; ++c) {
            a[c] = la > 0.0f ? a[c] / la : 0.0f;
            b[c] = lb > 0.0f ? b[c] / lb : 0.0f;
        }
        float d[2] = {(a[0] + b[0]) * 0.5f, (a[1] + b[1]) * 0.5f}, e[2];
        if (d[0] > -1e-8f && d[0] < 1e-8f) {
            d[0] = 0.0f;
            d[1] = -la * smoothness;
            e[0] = 0.0f;
            e[1] = -lb * smoothness;
        } else {
            float ld = sqrtf(d[0] * d[0] + d[1] * d[1]);
            d[0] /= ld;
            d[1] /= ld;
            e[0] = d[0] * smoothness * lb;
            e[1] = d[1] * smoothness * lb;
            d[0] *= smoothness * la;
            d[1] *= smoothness * la;
        }
        if (d[1] > -e[1]) {
            d[0] = -d[0];
            d[1] = -d[1];
            e[0] = -e[0];
            e[1] = -e[1];
        }
        push(K[0] + d[1], K[1] - d[0]);
        push(K[0], K[1]);
        push(K[0] - e[1], K[1] + e[0]);
    }
    key(n - 1, K);
    push(K[0], K[1]);
}

void FXBezierGraph::RecomputePoints(float width, float height) {
    if (frameCount < 2 || resolution <= 0) return;
    float sx = width / static_cast<float>(frameCount - 1);
    float sy = height / static_cast<float>(resolution);
    for (int i = 0; i + 1 < polyline.count; i += 2) {
        polyline.data[i] *= sx;
        polyline.data[i + 1] *= sy;
    }
}

void FXBezierGraph::RenderBezier(float width, float height) {
    PreparePoints(width, height);
    int k = KeyCount();
    // Key i (0 < i < k - 1) sits at point 3i - 1 between its controls; the
    // last key at 3k - 5.
    if (k < 3 || polyline.count != 2 * (3 * k - 4)) return;
    const float* pl = polyline.data;
    auto pt = [&](int i) { return pl + 2 * i; };
    int s = std::min<int>(std::max<int>(samples, 0), kMaxSamples);
    auto quad = [&](const float* p0, const float* p1, const float* p2) {
        localDrawSegment(this, s, [&](float t, float* out) {
            float u = 1.0f - t;
            for (int c = 0; c < 2; ++c) out[c] = p0[c] * u * u + 2.0f * p1[c] * u * t + p2[c] * t * t;
        });
    };
    quad(pt(0), pt(1), pt(2));
    for (int i = 1; i <= k - 3; ++i) {
        const float* p0 = pt(3 * i - 1);
        const float* p1 = pt(3 * i);
        const float* p2 = pt(3 * i + 1);
        const float* p3 = pt(3 * i + 2);
        localDrawSegment(this, s, [&](float t, float* out) {
            for (int c = 0; c < 2; ++c) {
                float cc = 3.0f * (p1[c] - p0[c]);
                float b = 3.0f * (p2[c] - p1[c]) - cc;
                float a = p3[c] - p0[c] - cc - b;
                out[c] = a * t * t * t + b * t * t + cc * t + p0[c];
            }
        });
    }
    quad(pt(3 * (k - 2) - 1), pt(3 * (k - 2)), pt(3 * k - 5));
}

void FXBezierGraph::SetSplinePt(int x, int y) {
    if (x < 0 || x >= table.count || outScale < 1) return;
    table.SetInt(x, std::min(std::max(y, 1), static_cast<int>(outScale)));
}

void FXBezierGraph::SetSplineLn(int x1, int y1, int x2, int y2) {
    if (x1 == x2) {
        // Every y in turn: the larger is what stays.
        SetSplinePt(x1, std::max(y1, y2));
        return;
    }
    if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    int from = std::max(x1, 0);
    int to = std::min<int64_t>(x2, static_cast<int64_t>(table.count) - 1);
    // (x - x1) * (y2 - y1) can pass 2^63: the magnitude is taken unsigned,
    // which truncates toward zero like the signed division.
    uint64_t dx = static_cast<uint64_t>(static_cast<int64_t>(x2) - x1);
    int64_t dy = static_cast<int64_t>(y2) - y1;
    uint64_t ady = static_cast<uint64_t>(dy < 0 ? -dy : dy);
    for (int x = from; x <= to; ++x) {
        uint64_t q = static_cast<uint64_t>(static_cast<int64_t>(x) - x1) * ady / dx;
        int64_t step = dy < 0 ? -static_cast<int64_t>(q) : static_cast<int64_t>(q);
        SetSplinePt(x, localClampInt(y1 + step));
    }
}

// ---------------------------------------------------------------- reading

int FXBezierGraph::GetFromSpline(int column) const {
    if (table.count < 1 || !table.data) return 0;
    column = std::min(std::max(column, 0), table.count - 1);
    return table.GetInt(column);
}

float FXBezierGraph::GetFromSpline1(int frame) const {
    if (table.count < 1 || outScale == 0) return 0.0f;
    int64_t col = frameCount < 2 ? 0 : static_cast<int64_t>(table.count) * frame / (frameCount - 1);
    return static_cast<float>(GetFromSpline(localClampInt(col))) / static_cast<float>(outScale);
}
