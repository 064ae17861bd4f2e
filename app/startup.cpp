// Start-up and shut-down of the show.
#include <cstdio>

#include "app/velmira.h"
#include "base/other.h"
#include "base/paths.h"
#include "base/thread.h"
#include "base/trace.h"
#include "image/devil.h"
#include "image/scrshot.h"

namespace {

// The desktop picture: the screen itself, or a picture file standing in for
// it when the show is rendered offline.
bool localDesktop(FXScrShot* shot, FXDesktopSource source, const char* file) {
    if (source == FX_DESKTOP_FILE) return file && shot->CreateFromPict(file);
    return shot->Update();
}

}  // namespace

void InitScene(void* window, bool inPreview) { InitSceneFrom(window, inPreview, FX_DESKTOP_CAPTURE, nullptr, true); }

void InitSceneFrom(void* window, bool inPreview, FXDesktopSource source, const char* desktopFile, bool startLoop) {
    isPreview = inPreview;
    fxInitPaths();
    fxSetTypePath(1, fenroPath);
    // A data folder that cannot be entered gets no log: it would land in
    // whatever folder the program was started from.
    bool inData = fxSetPath(1);
    if (!inData) fprintf(stderr, "velmira: cannot enter the data folder %s\n", fxGetTypePath(1));
    if (!isPreview && inData) fxOpenTraces("velmira.log");
    trc("InitScene (data folder: %s)\n", fxGetTypePath(1));
    fxLoadDevil();

    FXScrShot shot;
    if (!isPreview && !localDesktop(&shot, source, desktopFile)) err("InitScene -> no desktop picture\n");

    gr.CreateChild(window);
    if (!isPreview && !gr.TestGL(false)) hasError = true;
    fxSetEnv(&gr);
    gr.SetAct(true);
    pck.Load("xxdata.dat");
    trc("InitScene -> package: %d records\n", pck.GetRecordCount());
    err_gad.CreateCN(&pck, 40);
    err_gad.visible = hasError;

    if (isPreview) {
        preview_mat.LoadTextureCN(&pck, 56);
        preview.Create(1, 1);
        preview.SetMaterial(&preview_mat);
    } else {
        FXMaterial& screen = sets.screenMaterial;
        screen.SetTexture(&shot);
        screen.SetDefDiffuse(1.0f);
        screen.name.Set("Material001");
        screen.PreserveCols();
        gr.AddMaterial(&screen);
        sets.screenDesk.Create(30, 30);
        sets.screenDesk.SetMaterial(&screen);

        start_phaser.duration = 2.0;
        start_phaser.loop = false;
        start_phaser.bounce = false;
        start_phaser.smooth = false;
        start_phaser.halfSmooth = false;

        fxResetRandom();
        sets.Load(&pck);

        banner_mat.LoadTextureCN(&pck, 39);
        banner.Create(1, 1);
        banner.mesh.colorMode = 1;
        banner.SetMaterial(&banner_mat);
        banner_mat1.LoadTextureCN(&pck, 54);
        banner1.Create(1, 1);
        banner1.mesh.colorMode = 1;
        banner1.SetMaterial(&banner_mat1);

        light0.SetDefDiffuse(1.0f);
        gr.RegisterLight(&light0);
        fxSetAppPriority(1);
    }
    // The capture ends with this function: the screen material keeps its
    // uploaded texture but must not point at the canvas any more.
    sets.screenMaterial.textureImage = nullptr;
    gr.SetAct(false);
    if (startLoop) {
        if (!gr.StartLoop(&sc)) err("InitScene -> the render thread could not be started\n");
        if (!isPreview && gr.thread) fxSetThreadPriority(gr.thread, 1);
    }
    trc("InitScene done\n");
}

void DestroyScene() {
    trc("DestroyScene\n");
    gr.StopLoop(100000.0);
    // The render thread has ended: the GL context is free for this thread.
    gr.SetAct(true);
    sets.Destroy();
    preview.Destroy();
    preview_mat.Destroy();
    banner.Destroy();
    banner_mat.Destroy();
    banner1.Destroy();
    banner_mat1.Destroy();
    err_gad.Destroy();
    pck.Destroy();
    gr.UnregisterLight(&light0);
    gr.Destroy();
    fxSetEnv(nullptr);
    fxUnloadDevil();
    trc("DestroyScene done\n");
}
