// The engine clock, sleeping, random numbers, priorities and rectangles.
#pragma once

#include <cstdint>

// Source of the engine's millisecond counter. The default reads the system's
// monotonic clock; tests and the offline renderer install a virtual one so
// every frame is reproducible.
class FXClockSource {
public:
    virtual ~FXClockSource() {}
    virtual uint64_t NowMs() = 0;
};

// A clock that only moves when told to.
class FXVirtualClock : public FXClockSource {
public:
    explicit FXVirtualClock(uint64_t startMs = 0);
    uint64_t NowMs() override;
    void SetMs(uint64_t ms);
    void AdvanceMs(uint64_t ms);
    void SetSeconds(double s);

private:
    uint64_t ms_;  // atomic access in the .cpp
};

// A clock running `speed` times as fast as its base (null: the system
// clock) from the moment it is made, where it reads as its base does: long
// runs of the live show in a fraction of the time.
class FXScaledClock : public FXClockSource {
public:
    explicit FXScaledClock(double speed, FXClockSource* base = nullptr);
    uint64_t NowMs() override;

private:
    FXClockSource* base_;
    double speed_;
    uint64_t startMs_;
    uint64_t BaseMs();
};

// Installs a clock source (null: the system clock). Returns the previous one.
FXClockSource* fxSetClockSource(FXClockSource* src);
// True while no other source is installed: waiting on the engine clock then
// passes with real time.
bool fxSystemClockActive();
// The engine's millisecond counter, 64 bits so it never wraps.
uint64_t fxGetTimeMs();
// Seconds of the engine clock.
double fxGetTime();
void fxSleep(double seconds);
// Milliseconds fxSleep waits for a request (0 means: only yield).
unsigned fxSleepMs(double seconds);

class FXTimeDiff {
public:
    double last;
    FXTimeDiff() : last(0.0) {}
    double OnTime();
};

void fxResetRandom();
// A number from 0 to 1, both ends possible.
float fxGetRandom();
// The process's generator: 0..32767, the same sequence on every platform for
// a given seed.
int fxRand();
void fxSrand(unsigned seed);
unsigned fxRandState();  // what fxSrand takes back to

void fxSetAppPriority(int p);
void fxSetThreadPriority(void* thread, int p);

class FXRect {
public:
    int32_t left, top, right, bottom;

    FXRect() : left(0), top(0), right(0), bottom(0) {}
    void SetZero() { left = top = right = bottom = 0; }
    void Set(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
    void CombineOr(const FXRect* r);
    bool CombineAnd(const FXRect* r);
    bool IsEmpty() const { return left >= right || top >= bottom; }
};
