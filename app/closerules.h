// When input closes the screen saver.
#pragma once

enum FXInput {
    FX_IN_KEY,            // any key, pressed or released
    FX_IN_BUTTON,         // a mouse button pressed
    FX_IN_MOTION,         // the pointer is at (x, y)
    FX_IN_FOCUS_LOST,     // the window lost the keyboard focus
    FX_IN_CLOSE_REQUEST,  // the window system asks the window to close
};

struct FXCloseState {
    bool preview = false;   // mouse input never closes a preview
    bool foreign = false;   // drawing into a window we do not own: its owner decides
    bool started = false;   // start-up has completed
    double startTime = 0;   // engine time when it completed
    bool escapeHit = false; // a key was pressed
    int origX = 0, origY = 0;  // the pointer when the window was made
};

// Grace after start-up during which mouse input does not close.
const double kCloseGrace = 4.0;

// True when the window is to be destroyed now.
bool fxCloseRule(FXCloseState* s, FXInput in, int x, int y, double now);
