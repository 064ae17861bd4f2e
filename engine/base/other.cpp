#include "other.h"

#include <atomic>

#include "platform.h"

namespace {

class LocalSystemClock : public FXClockSource {
public:
    uint64_t NowMs() override { return fxPlatformMonotonicMs(); }
};

LocalSystemClock localSystemClock;
std::atomic<FXClockSource*> localClock{nullptr};

// The runtime generator of the original platform (a 32-bit linear
// congruential generator giving 15 bits), kept here so every platform draws
// the same sequence from the same seed. One state for the whole process.
std::atomic<uint32_t> localRandState{1};

}  // namespace

FXVirtualClock::FXVirtualClock(uint64_t startMs) : ms_(startMs) {}

uint64_t FXVirtualClock::NowMs() { return __atomic_load_n(&ms_, __ATOMIC_SEQ_CST); }
void FXVirtualClock::SetMs(uint64_t ms) { __atomic_store_n(&ms_, ms, __ATOMIC_SEQ_CST); }
void FXVirtualClock::AdvanceMs(uint64_t ms) { __atomic_add_fetch(&ms_, ms, __ATOMIC_SEQ_CST); }
void FXVirtualClock::SetSeconds(double s) { SetMs(s <= 0.0 ? 0 : static_cast<uint64_t>(s * 1000.0 + 0.5)); }

FXScaledClock::FXScaledClock(double speed, FXClockSource* base) : base_(base), speed_(speed), startMs_(BaseMs()) {}

uint64_t FXScaledClock::BaseMs() { return base_ ? base_->NowMs() : fxPlatformMonotonicMs(); }

uint64_t FXScaledClock::NowMs() {
    uint64_t now = BaseMs();
    if (now <= startMs_ || !(speed_ > 0.0)) return startMs_;
    return startMs_ + static_cast<uint64_t>(static_cast<double>(now - startMs_) * speed_);
}

FXClockSource* fxSetClockSource(FXClockSource* src) {
    FXClockSource* old = localClock.exchange(src);
    return old ? old : &localSystemClock;
}

bool fxSystemClockActive() {
    FXClockSource* c = localClock.load();
    return !c || c == &localSystemClock;
}

uint64_t fxGetTimeMs() {
    FXClockSource* c = localClock.load();
    return c ? c->NowMs() : fxPlatformMonotonicMs();
}

double fxGetTime() { return static_cast<double>(fxGetTimeMs()) / 1000.0; }

unsigned fxSleepMs(double seconds) {
    if (!(seconds > 0.0)) return 0;
    double ms = seconds * 1000.0 + 0.5;
    if (ms >= 4294967295.0) return 4294967295u;
    return static_cast<unsigned>(ms);
}

void fxSleep(double seconds) { fxPlatformSleepMs(fxSleepMs(seconds)); }

double FXTimeDiff::OnTime() {
    double now = fxGetTime();
    double d = now - last;
    last = now;
    return d;
}

void fxSrand(unsigned seed) { localRandState.store(seed); }

unsigned fxRandState() { return localRandState.load(); }

int fxRand() {
    uint32_t s = localRandState.load();
    uint32_t n;
    do {
        n = s * 214013u + 2531011u;
    } while (!localRandState.compare_exchange_weak(s, n));
    return static_cast<int>((n >> 16) & 0x7fff);
}

void fxResetRandom() {
    uint32_t t = static_cast<uint32_t>(fxGetTimeMs());
    fxSrand(t * static_cast<uint32_t>(fxRand()));
}

float fxGetRandom() { return static_cast<float>(fxRand()) / 32767.0f; }

void FXRect::CombineOr(const FXRect* r) {
    if (!r) return;
    if (r->left < left) left = r->left;
    if (r->top < top) top = r->top;
    if (r->right > right) right = r->right;
    if (r->bottom > bottom) bottom = r->bottom;
}

bool FXRect::CombineAnd(const FXRect* r) {
    if (!r) return !IsEmpty();
    if (r->left > left) left = r->left;
    if (r->top > top) top = r->top;
    if (r->right < right) right = r->right;
    if (r->bottom < bottom) bottom = r->bottom;
    return !IsEmpty();
}
