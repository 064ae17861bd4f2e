// The offline renderer: the full-screen show under a virtual clock, frame by
// frame with no waiting, with chosen frames written to picture files.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/velmira.h"
#include "base/display.h"
#include "base/file.h"
#include "base/other.h"
#include "base/paths.h"
#include "base/trace.h"
#include "image/canvas.h"
#include "render/frames.h"

namespace {

// Start-up makes the data folder the current one: paths given relative to
// where the program started are made whole first.
std::string localWhole(const std::string& p) {
    if (p.empty() || fxIsSep(p[0]) || (p.size() > 1 && p[1] == ':')) return p;
    return std::string(fxGetActPath()) + p;
}

std::string localFrameFile(const std::string& folder, double t) {
    char name[64];
    snprintf(name, sizeof name, "/frame-%08.3fs.png", t);
    return folder + name;
}

class LocalOffline : public FXShowOutput {
public:
    LocalOffline(const FXLaunch& l, void* window) : launch_(l), clock_(1000000) {
        old_ = fxSetClockSource(&clock_);
        folder_ = localWhole(l.outDir);
        start.window = window;
        start.desktopFile = localWhole(l.desktopFile);
        start.renderThread = false;
        // The log goes with the frames it tells of.
        start.logFolder = folder_;
    }
    ~LocalOffline() { fxSetClockSource(old_); }

    int Run() override;

private:
    // The device hands over each finished frame; the wanted ones are saved.
    static void Tap(FXGL* gl, void* user) {
        LocalOffline* o = static_cast<LocalOffline*>(user);
        if (!o->wanted_) return;
        o->wanted_ = false;
        FXCanvas frame;
        o->saved_ = fxglReadFrame(gl, &frame) && frame.SaveToPict(o->file_.c_str());
    }

    const FXLaunch& launch_;
    FXVirtualClock clock_;
    FXClockSource* old_;
    std::string folder_;
    std::string file_;
    bool wanted_ = false;
    bool saved_ = false;
};

int LocalOffline::Run() {
    FXGL& gr = velmira.gr;
    gr.frameTap = Tap;
    gr.frameTapUser = this;
    std::vector<double> times = launch_.times;
    std::sort(times.begin(), times.end());
    double t0 = fxGetTime();
    // The start-up figures of the log count from the show's virtual start.
    velmira.processStartTime = t0;
    int failures = 0;
    size_t next = 0;
    // Frame k is drawn at t0 + k x step. A requested time is taken from the
    // first presented frame at or after it (frame 0 is never presented).
    for (int k = 0; next < times.size(); ++k) {
        double rel = k * launch_.frameStep;
        clock_.SetSeconds(t0 + rel);
        size_t from = next;
        if (k > 0)
            while (next < times.size() && times[next] <= rel + 1e-6) ++next;
        if (next > from) {
            wanted_ = true;
            saved_ = false;
            file_ = localFrameFile(folder_, times[from]);
        }
        // Frames of a dead display would be black: the run failed.
        if (fxDisplayLost()) {
            fprintf(stderr, "velmira: the display was lost\n");
            return 1;
        }
        trc("offline frame %d at %.3f s of the show\n", k, rel);
        gr.SetAct(true);
        velmira.sc.OnRender(&gr, fxGetTime());
        gr.SetAct(false);
        if (next == from) continue;
        if (!saved_) {
            fprintf(stderr, "velmira: could not write %s\n", file_.c_str());
            ++failures;
            continue;
        }
        printf("%s\n", file_.c_str());
        // Times that fall on the same frame get copies of its picture.
        for (size_t i = from + 1; i < next; ++i) {
            std::string copy = localFrameFile(folder_, times[i]);
            FXCanvas again;
            if (again.CreateFromPict(file_.c_str()) && again.SaveToPict(copy.c_str()))
                printf("%s\n", copy.c_str());
            else
                ++failures;
        }
    }
    gr.frameTap = nullptr;
    // Frames of the notice are not the show: the run did not do its job.
    return failures || velmira.run.noPackage ? 1 : 0;
}

}  // namespace

int fxRenderOffline(const FXLaunch& launch, void* window) {
    if (!fxMakeFolder(launch.outDir.c_str())) {
        fprintf(stderr, "velmira: cannot make the folder %s\n", launch.outDir.c_str());
        return 1;
    }
    LocalOffline out(launch, window);
    return fxRunShow(launch, &out);
}

int fxRunOffline(const FXLaunch& l) {
    void* window = fxFrameWindowCreate(l.width, l.height);
    if (!window) {
        fprintf(stderr,
                "velmira: the offline renderer draws with OpenGL on an X display, and there is none "
                "(start one, e.g. tests/support/xvfb-run.sh velmira --offline ...)\n");
        return 1;
    }
    int status = fxRenderOffline(l, window);
    fxFrameWindowDestroy(window);
    return status;
}
