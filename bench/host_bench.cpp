// How fast a preview ends: the time from its parent window's destruction or
// a SIGTERM to the process's exit, once running and during start-up.
//   host_bench VELMIRA DATA_FOLDER [ROUNDS]
// Needs an X display (bench/host_bench.sh gives it one).
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

bool Shown(Display* d, Window parent) {
    Window root, up, *kids = nullptr;
    unsigned n = 0;
    XWindowAttributes a = {};
    bool shown = XQueryTree(d, parent, &root, &up, &kids, &n) && n > 0 && XGetWindowAttributes(d, kids[0], &a) &&
                 a.map_state == IsViewable;
    if (kids) XFree(kids);
    return shown;
}

// One preview ended the given way; seconds from the end's cause to exit,
// negative when it did not end within 10 s.
double Round(Display* d, const char* velmira, const char* data, bool bySignal, bool early) {
    Window parent = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 320, 240, 0, 0, 0);
    XMapWindow(d, parent);
    XSync(d, False);
    std::string id = std::to_string(parent);
    pid_t pid = fork();
    if (pid == 0) {
        execl(velmira, velmira, "/p", id.c_str(), "--data", data, static_cast<char*>(nullptr));
        _exit(127);
    }
    auto start = Clock::now();
    if (early)
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
    else
        while (!Shown(d, parent) && Clock::now() - start < std::chrono::seconds(10))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!early) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto t = Clock::now();
    if (bySignal)
        kill(pid, SIGTERM);
    else
        XDestroyWindow(d, parent);
    XSync(d, False);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() - t > std::chrono::seconds(10)) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    double s = std::chrono::duration<double>(Clock::now() - t).count();
    if (bySignal) XDestroyWindow(d, parent);
    XSync(d, False);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: host_bench VELMIRA DATA_FOLDER [ROUNDS]\n");
        return 2;
    }
    int rounds = argc > 3 ? std::max(1, atoi(argv[3])) : 10;
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        fprintf(stderr, "host_bench: no X display\n");
        return 1;
    }
    const double anchor = 0.2;
    printf("preview end, %s (%d rounds; anchor %.1f s)\n", argv[2], rounds, anchor);
    for (auto [bySignal, early] : {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
        std::vector<double> t;
        int hung = 0;
        for (int i = 0; i < rounds; ++i) {
            double s = Round(d, argv[1], argv[2], bySignal, early);
            s < 0 ? ++hung : (t.push_back(s), 0);
        }
        std::sort(t.begin(), t.end());
        printf("  %-8s %-22s median %.3f s  max %.3f s  (anchor %.1f s)%s\n", bySignal ? "SIGTERM" : "parent", 
               early ? "during start-up" : "while running", t.empty() ? 0.0 : t[t.size() / 2],
               t.empty() ? 0.0 : t.back(), anchor, hung ? "  SOME DID NOT END" : "");
    }
    XCloseDisplay(d);
    return 0;
}
