#include "anim/bezier.h"

#include <cmath>
#include <cstring>

namespace {

float localLen(const float* a, const float* b) {
    float dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
    return sqrtf(dx * dx + dy * dy + dz * dz);
}

void localSet(float* out, const float* v) { memcpy(out, v, 3 * sizeof(float)); }
void localZero(float* out) { out[0] = out[1] = out[2] = 0.0f; }

bool localSame(const float* a, const float* b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }

// Shifts v (a direction from the midpoint M) to length l. A direction without
// length (the previous and the next point coincide) has no tangent: the
// control then sits on the point itself.
void localScaleTo(float* v, float l) {
    float len = sqrtf(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(len > 0.0f) || !std::isfinite(len)) {
        localZero(v);
        return;
    }
    float f = l / len;
    for (int k = 0; k < 3; ++k) v[k] *= f;
}

// The incoming and outgoing controls of P1 between P0 and P2.
void localComputePt(const float* p0, const float* p1, const float* p2, float tension, float* in, float* out) {
    float l0 = 0.5f * tension * localLen(p0, p1);
    float l2 = 0.5f * tension * localLen(p2, p1);
    float m0[3], m2[3], m[3], d0[3], d2[3];
    for (int k = 0; k < 3; ++k) {
        m0[k] = (p1[k] + p0[k]) * 0.5f;
        m2[k] = (p1[k] + p2[k]) * 0.5f;
        m[k] = (m0[k] + m2[k]) * 0.5f;
        d0[k] = m0[k] - m[k];
        d2[k] = m2[k] - m[k];
    }
    localScaleTo(d0, l0);
    localScaleTo(d2, l2);
    for (int k = 0; k < 3; ++k) {
        in[k] = p1[k] + d0[k];
        out[k] = p1[k] + d2[k];
    }
}

}  // namespace

// ---------------------------------------------------------------- segments

void FXBezierPhaseH::Prepare(float phase) {
    t = phase;
    t2 = phase * phase;
    t3 = t2 * phase;
    u = 1.0f - phase;
    ut2 = 2.0f * (1.0f - phase) * phase;
    u2 = (1.0f - phase) * (1.0f - phase);
}

void FXBezier3::Get(float* out, float t) const {
    float u = 1.0f - t;
    float u2 = u * u;
    float t2 = t * t;
    for (int k = 0; k < 3; ++k) out[k] = p[0][k] * u2 + 2.0f * p[1][k] * u * t + p[2][k] * t2;
}

void FXBezier3::GetH(float* out, const FXBezierPhaseH* h) const {
    for (int k = 0; k < 3; ++k) out[k] = p[0][k] * h->u2 + p[1][k] * h->ut2 + p[2][k] * h->t2;
}

void FXBezier4::Precompute() {
    for (int k = 0; k < 3; ++k) {
        float c = 3.0f * (p[1][k] - p[0][k]);
        float b = 3.0f * (p[2][k] - p[1][k]) - c;
        coef[k][0] = p[3][k] - p[0][k] - c - b;
        coef[k][1] = b;
        coef[k][2] = c;
    }
}

void FXBezier4::Get(float* out, float t) const {
    float t2 = t * t;
    float t3 = t2 * t;
    for (int k = 0; k < 3; ++k) out[k] = coef[k][0] * t3 + coef[k][1] * t2 + coef[k][2] * t + p[0][k];
}

void FXBezier4::GetH(float* out, const FXBezierPhaseH* h) const {
    for (int k = 0; k < 3; ++k) out[k] = coef[k][0] * h->t3 + coef[k][1] * h->t2 + coef[k][2] * h->t + p[0][k];
}

// ---------------------------------------------------------------- spline

FXBezierSpline::FXBezierSpline()
    : closed(false),
      tension(1.0f),
      beziers(nullptr),
      bezierCount(0),
      constant(false),
      act3(nullptr),
      act4(nullptr),
      kind(kKindNone),
      actSegment(0),
      totalLength(0.0f),
      meanLength(0.0f),
      straightLines(false),
      actTo(0) {
    localZero(constPoint);
    localZero(segStart);
    localZero(segEnd);
    localZero(lineDelta);
    localZero(twoDelta);
}

void FXBezierSpline::Destroy() {
    points.DestroyBuf();
    ctrl.DestroyBuf();
    DestroyBeziers();
    phases.DestroyBuf();
    constant = false;
    kind = kKindNone;
    act3 = nullptr;
    act4 = nullptr;
    actSegment = 0;
    actTo = 0;
    totalLength = meanLength = 0.0f;
    localZero(constPoint);
    localZero(segStart);
    localZero(segEnd);
    localZero(lineDelta);
    localZero(twoDelta);
}

void FXBezierSpline::Precompute() {
    PrecomputeCtrlPoints();
    PrecomputeBeziers();
    SetActPoints(0, 1);
}

void FXBezierSpline::PrecomputeCtrlPoints() {
    int n = GetCnt();
    kind = kKindNone;
    act3 = nullptr;
    act4 = nullptr;
    if (n <= 2) {
        ctrl.RemoveAll();
        if (n == 2)
            for (int k = 0; k < 3; ++k) twoDelta[k] = Pt(1)[k] - Pt(0)[k];
        return;
    }
    ctrl.Realloc(6 * n);
    ctrl.count = 6 * n;
    for (int i = 0; i < n; ++i) {
        int prev = i == 0 ? n - 1 : i - 1;
        int next = i == n - 1 ? 0 : i + 1;
        localComputePt(Pt(prev), Pt(i), Pt(next), tension, ctrl.data + 6 * i, ctrl.data + 6 * i + 3);
    }
}

void FXBezierSpline::PrecomputeBeziers() {
    int n = GetCnt();
    if (n <= 2 || ctrl.count < 6 * n) {
        DestroyBeziers();
        return;
    }
    ReallocBeziers(n);
    const float* c = ctrl.data;
    localSet(first.p[0], Pt(0));
    localSet(first.p[1], c + 6 * 1);
    localSet(first.p[2], Pt(1));
    localSet(last.p[0], Pt(n - 2));
    localSet(last.p[1], c + 6 * (n - 2) + 3);
    localSet(last.p[2], Pt(n - 1));
    for (int i = 0; i < n; ++i) {
        int j = i == n - 1 ? 0 : i + 1;
        FXBezier4& b = beziers[i];
        localSet(b.p[0], Pt(i));
        localSet(b.p[1], c + 6 * i + 3);
        localSet(b.p[2], c + 6 * j);
        localSet(b.p[3], Pt(j));
        b.Precompute();
    }
}

void FXBezierSpline::ReallocBeziers(int n) {
    if (n == bezierCount && beziers) return;
    DestroyBeziers();
    if (n <= 0) return;
    beziers = new FXBezier4[static_cast<size_t>(n)]();
    bezierCount = n;
}

void FXBezierSpline::DestroyBeziers() {
    delete[] beziers;
    beziers = nullptr;
    bezierCount = 0;
    act4 = nullptr;
    if (kind == kKindCubic) kind = kKindNone;
}

void FXBezierSpline::PrecomputePhasesLinear() {
    int n = GetCnt();
    phases.RemoveAll();
    if (n <= 0) return;
    phases.Realloc(n);
    phases.count = n;
    phases.data[0] = 0.0f;
    for (int i = 1; i < n; ++i) phases.data[i] = static_cast<float>(static_cast<double>(i) / (n - 1));
}

void FXBezierSpline::PrecomputePhasesLenght() {
    int n = GetCnt();
    phases.RemoveAll();
    totalLength = meanLength = 0.0f;
    if (n <= 0) return;
    phases.Realloc(n);
    phases.count = n;
    float cum = 0.0f;
    phases.data[0] = 0.0f;
    for (int i = 1; i < n; ++i) {
        cum += localLen(Pt(i), Pt(i - 1));
        phases.data[i] = cum;
    }
    float total = cum;
    if (closed) total += localLen(Pt(0), Pt(n - 1));
    totalLength = total;
    int segs = closed ? n : n - 1;
    meanLength = segs > 0 ? total / static_cast<float>(segs) : 0.0f;
    float r = 1.0f / total;
    // Points that all coincide (or lengths beyond float) give no usable
    // scale: spread the phases evenly instead.
    if (!(total > 0.0f) || !std::isfinite(total) || !(r > 0.0f) || !std::isfinite(r)) {
        PrecomputePhasesLinear();
        return;
    }
    for (int i = 1; i < n; ++i) phases.data[i] *= r;
}

void FXBezierSpline::SetActPoints(int i, int j) {
    constant = false;
    kind = kKindNone;
    act3 = nullptr;
    act4 = nullptr;
    localZero(segStart);
    localZero(segEnd);
    localZero(lineDelta);
    int n = GetCnt();
    if (n < 2) {
        // Nothing to run between: one point (or none, the origin) throughout.
        constant = true;
        if (n == 1)
            localSet(constPoint, Pt(0));
        else
            localZero(constPoint);
        actSegment = actTo = 0;
        return;
    }
    if (i == -1) i = n - 1;
    if (j == -1) j = n - 1;
    if (i < 0 || i > n - 1 || j < 0 || j > n - 1) {
        // No such segment: rest on the point nearest to i.
        i = i < 0 ? 0 : (i > n - 1 ? n - 1 : i);
        constant = true;
        localSet(constPoint, Pt(i));
        actSegment = actTo = i;
        return;
    }
    actSegment = i;
    actTo = j;
    // Every case keeps the straight run from P(i) to P(j), so switching to
    // straight lines after the selection still evaluates the right segment.
    localSet(segStart, Pt(i));
    localSet(segEnd, Pt(j));
    for (int k = 0; k < 3; ++k) lineDelta[k] = segEnd[k] - segStart[k];

    if (n == 2 || straightLines) {
        if (n == 2) kind = kKindLine2;
        if (localSame(segStart, segEnd)) {
            constant = true;
            localSet(constPoint, segStart);
        }
        return;
    }
    if (!beziers || bezierCount < n) return;  // not precomputed: P(0)
    if (closed || (i != 0 && j != n - 1)) {
        kind = kKindCubic;
        act4 = &beziers[i];
    } else {
        kind = kKindQuad;
        act3 = i == 0 ? &first : &last;
    }
    const float* a = kind == kKindCubic ? act4->p[0] : act3->p[0];
    const float* b = kind == kKindCubic ? act4->p[3] : act3->p[2];
    if (localSame(a, b)) {
        constant = true;
        localSet(constPoint, a);
    }
}

void FXBezierSpline::Get(float* out, float t) const {
    if (constant) {
        localSet(out, constPoint);
    } else if (straightLines || kind == kKindLine2) {
        for (int k = 0; k < 3; ++k) out[k] = segStart[k] + lineDelta[k] * t;
    } else if (kind == kKindQuad && act3) {
        act3->Get(out, t);
    } else if (kind == kKindCubic && act4) {
        act4->Get(out, t);
    } else if (GetCnt() > 0) {
        localSet(out, Pt(0));
    } else {
        localZero(out);
    }
}

void FXBezierSpline::GetH(float* out, const FXBezierPhaseH* h) const {
    if (constant || straightLines || kind == kKindLine2 || !h) {
        Get(out, h ? h->t : 0.0f);
    } else if (kind == kKindQuad && act3) {
        act3->GetH(out, h);
    } else if (kind == kKindCubic && act4) {
        act4->GetH(out, h);
    } else {
        Get(out, h->t);
    }
}

int FXBezierSpline::TestPhase(int i, int j, float phase) const {
    int n = GetCnt();
    if (n <= 0 || phases.count < n) return 0;
    if (i < 0 || i > n - 1) i = 0;
    if (j < 0 || j > n - 1) j = 0;
    if (phase < phases.data[i]) return -1;
    if (j == 0) return 0;
    return phase > phases.data[j] ? 1 : 0;
}

// The segment holding the phase, searched from the one used last. The walk
// stays within the points and ends after n steps even if the table is not
// ascending.
int FXBezierSpline::FindSegment(float phase) const {
    int n = GetCnt();
    int i = actSegment < 0 ? 0 : (actSegment > n - 1 ? n - 1 : actSegment);
    for (int steps = 0; steps <= n; ++steps) {
        int r = TestPhase(i, i + 1, phase);
        if (r > 0 && i < n - 1)
            ++i;
        else if (r < 0 && i > 0)
            --i;
        else
            break;
    }
    return i;
}

float FXBezierSpline::LocalT(int i, int j, float phase) const {
    double end = j == 0 ? 1.0 : phases.data[j];
    double range = end - phases.data[i];
    // A segment without phase range (the closing one under linear phases,
    // or between coinciding points) is only ever met at its start.
    if (!(range > 0.0)) return 0.0f;
    float t = static_cast<float>((phase - phases.data[i]) * (1.0 / range));
    if (!(t > 0.0f)) return 0.0f;
    return t > 1.0f ? 1.0f : t;
}

static float localClampPhase(float phase) {
    if (!(phase > 0.0f)) return 0.0f;  // also NaN
    return phase > 1.0f ? 1.0f : phase;
}

void FXBezierSpline::GetAll(float* out, float phase) {
    int n = GetCnt();
    if (n <= 0 || phases.count < n) {
        if (n > 0)
            localSet(out, Pt(0));
        else
            localZero(out);
        return;
    }
    phase = localClampPhase(phase);
    int i = FindSegment(phase);
    int j = i + 1 > n - 1 ? 0 : i + 1;
    if (i != actSegment || j != actTo) SetActPoints(i, j);
    Get(out, LocalT(i, j, phase));
}

float FXBezierSpline::GetAllPos(float phase) {
    int n = GetCnt();
    if (n <= 0) return 0.0f;
    if (phases.count < n) return Pt(0)[0];
    phase = localClampPhase(phase);
    int i = FindSegment(phase);
    int j = i + 1 > n - 1 ? 0 : i + 1;
    float t = LocalT(i, j, phase);
    return Pt(i)[0] + (Pt(j)[0] - Pt(i)[0]) * t;
}
