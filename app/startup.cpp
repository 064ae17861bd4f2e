// Start-up and shut-down of the show.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/config.h"
#include "app/entries.h"
#include "app/velmira.h"
#include "app/xsettings.h"
#include "base/file.h"
#include "base/other.h"
#include "base/paths.h"
#include "base/thread.h"
#include "base/trace.h"
#include "image/devil.h"
#include "image/scrshot.h"

namespace {

// The desktop picture: a picture file standing in for it when the show is
// rendered offline, the screen itself otherwise. As XScreenSaver's hack the
// screen is already covered: the daemon's own picture of the desktop stands
// in, or nothing when its user turned desktop pictures off. That setting is
// the daemon's, so it counts only when the daemon runs us; the daemon's
// picture may be left on the root after it, so it counts only then too.
// The screen's pixels are only held here, as they came: the canvas is made
// from them later, after they may have been put on our window.
bool localDesktop(FXScrShot* shot, const FXShowStart& start) {
    if (!start.desktopFile.empty()) return shot->CreateFromPict(start.desktopFile.c_str());
    if (!fxIsDaemonWindow(start.window)) return shot->Grab();
    if (!fxReadDesktopImagesAllowed()) {
        trc("InitScene -> desktop pictures are off in the XScreenSaver settings\n");
        return shot->Blank(start.window);
    }
    return shot->GrabFor(start.window);
}

// Enters the data folder (or, without a package, the folder the user named)
// and opens the log. The log goes with the data when that folder is the
// user's own; a shared or system folder (the installed demo content, a
// folder of root's) stays untouched and the log goes to the user's state
// folder. A package folder that cannot be entered counts as no package.
void localEnterData(FXDataSearch* data, bool log, const std::string& given) {
    std::string folder = data->folder.empty() ? data->logFolder : data->folder;
    if (!folder.empty()) {
        fxSetTypePath(1, folder.c_str());
        if (!fxSetPath(1)) {
            fprintf(stderr, "velmira: cannot enter the data folder %s\n", folder.c_str());
            data->folder.clear();
            folder.clear();
        }
    }
    if (!log) return;
    bool withData = !folder.empty() && folder == data->logFolder && fxIsOwnFolder(folder.c_str());
    std::string logFolder = !given.empty() ? given : withData ? folder : fxStateFolder();
    if (logFolder.empty() || !fxMakeFolder(logFolder.c_str())) return;
    fxOpenTraces((logFolder + "/velmira.log").c_str());
}

// The captured desktop as the screen material on its 30 x 30 desk.
void localDesktopDesk(FXScrShot* shot) {
    VelmiraApp& a = velmira;
    if (!shot->Develop()) err("InitScene -> no memory for the desktop picture\n");
    FXMaterial& screen = a.sets.screenMaterial;
    // Drawn texel for pixel, so mipmaps would only cost time at start-up.
    screen.mipmaps = false;
    screen.SetTexture(shot);
    screen.SetDefDiffuse(1.0f);
    screen.name.Set("Material001");
    screen.PreserveCols();
    a.gr.AddMaterial(&screen);
    a.sets.screenDesk.Create(30, 30);
    a.sets.screenDesk.SetMaterial(&screen);
}

// The desktop as it was, presented at once: the window covers the screen
// without a blank frame while the rest of the show loads. The captured
// pixels are put back as they came where the window system can: drawn,
// the first frame would wait for the renderer to compile its texture state.
void localPresentDesktop(FXShowOutput* out, FXScrShot* shot) {
    VelmiraApp& a = velmira;
    out->Shown();
    const bool put = shot->PutHeld(a.gr.glWindow);
    if (put) trc("first frame presented, %.3f s after the start (as captured)\n", fxGetTime() - a.processStartTime);
    localDesktopDesk(shot);
    if (!put) {
        a.gr.Clrscr(true, true, false);
        a.gr.EnableDepthTest(false);
        a.gr.EnableLights(false);
        a.gr.ApplyMatrixIdentity();
        a.sets.screenDesk.OnRender(&a.gr, 0.0);
        a.gr.RenderEnd();
        trc("first frame presented, %.3f s after the start (drawn)\n", fxGetTime() - a.processStartTime);
    }
    a.run.presentedEarly = true;
}

void localLoadShow(bool desktopReady, FXScrShot* shot) {
    VelmiraApp& a = velmira;
    a.pck.Load(kPackageFile);
    trc("InitScene -> package: %d records\n", a.pck.GetRecordCount());
    a.err_gad.CreateCN(&a.pck, kEntryErrorPicture);
    a.err_gad.visible = a.run.hasError;

    if (a.run.isPreview) {
        a.preview_mat.LoadTextureCN(&a.pck, kEntryPreview);
        a.preview.Create(1, 1);
        a.preview.SetMaterial(&a.preview_mat);
        return;
    }
    if (!desktopReady) localDesktopDesk(shot);

    a.start_phaser.duration = 2.0;
    a.start_phaser.loop = false;
    a.start_phaser.bounce = false;
    a.start_phaser.smooth = false;
    a.start_phaser.halfSmooth = false;

    fxResetRandom();
    a.sets.Load(&a.pck);
    a.shots.Load(&a.pck);

    a.banner_mat.LoadTextureCN(&a.pck, kEntryBanner);
    a.banner.Create(1, 1);
    a.banner.mesh.colorMode = 1;
    a.banner.SetMaterial(&a.banner_mat);
    a.banner_mat1.LoadTextureCN(&a.pck, kEntryBanner1);
    a.banner1.Create(1, 1);
    a.banner1.mesh.colorMode = 1;
    a.banner1.SetMaterial(&a.banner_mat1);

    a.light0.SetDefDiffuse(1.0f);
    a.gr.RegisterLight(&a.light0);
    a.sets.WarmUp(&a.gr, fxGetTime());
    fxSetAppPriority(1);
}

}  // namespace

void InitScene(FXShowOutput* out, const FXDataSearch& search) {
    VelmiraApp& a = velmira;
    const FXShowStart& start = out->start;
    a.run.isPreview = start.preview;
    fxInitPaths();
    FXDataSearch data = search;
    localEnterData(&data, !a.run.isPreview, start.logFolder);
    a.run.noPackage = data.folder.empty();
    a.fenroPath = data.folder;
    trc("InitScene (data folder: %s)\n", a.run.noPackage ? "none" : fxGetTypePath(1));
    fxReportDataSearch(data);
    fxLoadDevil();

    // Without a package there is no show to lay over the desktop.
    FXScrShot shot;
    if (!a.run.isPreview && !a.run.noPackage && !localDesktop(&shot, start))
        err("InitScene -> no desktop picture\n");

    a.gr.CreateChild(start.window);
    if (!a.run.isPreview && !a.gr.TestGL(false)) a.run.hasError = true;
    fxSetEnv(&a.gr);
    a.gr.SetAct(true);
    if (a.run.noPackage) {
        if (!a.notice.Create(fxMissingPackageText(data))) err("InitScene -> the notice could not be drawn\n");
    } else {
        // Live full screen: the desktop goes up first. A preview's window
        // stays hidden until the show is loaded (its parent may still go),
        // and offline every frame is the clock's.
        const bool early = start.renderThread && !a.run.isPreview;
        if (early) localPresentDesktop(out, &shot);
        localLoadShow(early, &shot);
    }
    if (a.run.showFps && !a.fps.Create()) err("InitScene -> the frame rate could not be drawn\n");
    // The capture ends with this function: the screen material keeps its
    // uploaded texture but must not point at the canvas any more.
    a.sets.screenMaterial.textureImage = nullptr;
    a.gr.SetAct(false);
    if (start.renderThread) {
        if (!a.gr.StartLoop(&a.sc)) err("InitScene -> the render thread could not be started\n");
        if (!a.run.isPreview && a.gr.thread) fxSetThreadPriority(a.gr.thread, 1);
    }
    if (!a.run.presentedEarly) out->Shown();
    trc("InitScene done\n");
}

bool DestroyScene() {
    VelmiraApp& a = velmira;
    trc("DestroyScene\n");
    // A frame takes milliseconds; a thread that does not end within a
    // second is stuck in the window system and nothing it uses may go.
    if (!a.gr.StopLoop(1.0)) {
        err("DestroyScene -> the render thread did not stop; leaving without tidying up\n");
        return false;
    }
    // The render thread has ended: the GL context is free for this thread.
    a.gr.SetAct(true);
    a.sets.Destroy();
    a.shots.Destroy();
    a.preview.Destroy();
    a.preview_mat.Destroy();
    a.banner.Destroy();
    a.banner_mat.Destroy();
    a.banner1.Destroy();
    a.banner_mat1.Destroy();
    a.err_gad.Destroy();
    a.notice.Destroy();
    a.fps.Destroy();
    a.pck.Destroy();
    a.gr.UnregisterLight(&a.light0);
    a.gr.Destroy();
    fxSetEnv(nullptr);
    fxUnloadDevil();
    trc("DestroyScene done\n");
    return true;
}

void fxLeaveNow(int status) {
    fxCloseTraces();
    fflush(nullptr);
    std::_Exit(status);
}

void fxShutdownDeadline(double seconds) {
    static std::atomic<bool> armed{false};
    if (armed.exchange(true)) return;
    std::thread([seconds] {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        err("shut-down took longer than %.1f s: leaving\n", seconds);
        fxLeaveNow(1);
    }).detach();
}

int fxRunShow(const FXLaunch& launch, FXShowOutput* out) {
    fxResetShow();
    velmira.run.showFps = launch.showFps;
    FXDataSearch data = fxFindDataFolder(launch.dataFolder);
    InitScene(out, data);
    velmira.run.startTime = fxGetTime();
    velmira.run.started = true;
    int status = out->Run();
    // The process ends here rather than in the exit path, which would wait
    // on the render thread again.
    if (!DestroyScene()) fxLeaveNow(status ? status : 1);
    return status;
}
