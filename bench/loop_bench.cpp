// What the render loop itself costs: frames per second and loop period with
// an empty frame, how long another thread waits for the frame lock, and the
// cost of one trace line. Prints its figures.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "../tests/support/nullenv.h"
#include "base/other.h"
#include "base/trace.h"
#include "render/env.h"

namespace {

using Clock = std::chrono::steady_clock;

class Counter : public PRender {
public:
    explicit Counter(int workUs) : workUs_(workUs) {}
    void OnRender(PEnv*, double t) override {
        if (workUs_ > 0) std::this_thread::sleep_for(std::chrono::microseconds(workUs_));
        last = t;
        ++frames;
    }
    std::atomic<long> frames{0};
    double last = 0;

private:
    int workUs_;
};

void LoopFigures(int workUs, double seconds) {
    fxtest::NullEnv env;
    env.framePeriod = 0.0;  // the loop's own cost, unpaced
    Counter c(workUs);
    env.StartLoop(&c);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // past the start-up pause
    long f0 = c.frames;
    auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    long f1 = c.frames;
    double el = std::chrono::duration<double>(Clock::now() - t0).count();
    env.StopLoop(100000.0);
    double fps = (f1 - f0) / el;
    printf("  frame work %5d us: %7.1f frames/s, period %6.3f ms (work + 1 ms pause + overhead %.3f ms)\n", workUs,
           fps, 1000.0 / fps, 1000.0 / fps - workUs / 1000.0 - 1.0);
}

void LockWait(int workUs) {
    fxtest::NullEnv env;
    Counter c(workUs);
    env.StartLoop(&c);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::vector<double> waits;
    for (int i = 0; i < 200; ++i) {
        auto t0 = Clock::now();
        {
            FXGRAutoAct act(&env);
            waits.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        }
        std::this_thread::sleep_for(std::chrono::microseconds(700));
    }
    env.StopLoop(100000.0);
    std::sort(waits.begin(), waits.end());
    printf("  frame work %5d us: lock wait median %.3f ms, 95th %.3f ms, max %.3f ms\n", workUs, waits[100],
           waits[190], waits.back());
}

void TraceCost() {
    char path[] = "/tmp/fxloopbench-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return;
    close(fd);
    fxOpenTraces(path);
    const int n = 20000;
    auto t0 = Clock::now();
    for (int i = 0; i < n; ++i) trc("frame %d took %.3f ms\n", i, 1.25);
    double el = std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
    fxCloseTraces();
    unlink(path);
    printf("  one trace line (formatted, written, flushed): %.2f us\n", el / n);
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? atof(argv[1]) : 2.0;
    if (seconds <= 0) seconds = 2.0;
    printf("Render loop on %u hardware threads\n", std::thread::hardware_concurrency());
    printf("Loop rate:\n");
    LoopFigures(0, seconds);
    LoopFigures(5000, seconds);
    LoopFigures(16000, seconds);
    printf("Waiting for the frame lock from another thread:\n");
    LockWait(0);
    LockWait(5000);
    printf("Trace log:\n");
    TraceCost();
    return 0;
}
