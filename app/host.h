// The screen-saver host: the window, its input and its closing.
#pragma once

#include "app/modes.h"

// Runs the mode (full screen, preview or a foreign window) until it closes;
// returns the exit status.
int fxRunHost(const FXLaunch& launch);
// Renders the show offline into picture files; returns the exit status.
int fxRunOffline(const FXLaunch& launch);
