// One run of the show, whatever it is shown on: the live host's window or
// the offline renderer's picture files. Both find the data folder, start,
// run and shut the show down through the same path; an output only brings
// its window and decides how frames are driven and when the run ends.
#pragma once

#include <string>

#include "app/modes.h"

class FXCanvas;
class FXGL;

// How an output wants the show started.
struct FXShowStart {
    void* window = nullptr;     // the window the device draws into
    bool preview = false;       // the preview picture instead of the show
    std::string desktopFile;    // a picture standing in for the captured desktop
    bool renderThread = true;   // false: the output draws the frames itself
    std::string logFolder;      // where the trace log goes; empty: the usual place
};

class FXShowOutput {
public:
    FXShowStart start;
    // After start-up, before the show runs (the host shows its window here).
    virtual void Shown() {}
    // Runs the show until it is to end; returns the exit status.
    virtual int Run() = 0;

protected:
    ~FXShowOutput() {}
};

// Finds the data folder, starts the show on the output, runs it, shuts it
// down; returns the output's exit status.
int fxRunShow(const FXLaunch& launch, FXShowOutput* out);

// The offline renderer on a window made for it: frames at the launch's
// times into picture files. Exit status 0, or 1 when a frame could not be
// written or no package was found (the frames then show the notice).
int fxRenderOffline(const FXLaunch& launch, void* window);
// The offline renderer on a window of the launch's size that it makes and
// removes; exit status 1 without a display.
int fxRunOffline(const FXLaunch& launch);
