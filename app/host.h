// The screen-saver host: the window, its input and its closing.
#pragma once

#include "app/modes.h"

// Runs the mode (full screen, preview or a foreign window) until it closes;
// returns the exit status: 0 when input, a signal or the window's end closed
// it, 1 when the display was lost or the keyboard or pointer could not be
// grabbed in full screen.
//
// Full screen covers the screen, holds the keyboard and pointer grabs, and
// is raised again whenever another client maps or restacks a window above
// it. It closes on any key at once, and on a click, a move of the pointer
// or the loss of the keyboard focus only once kCloseGrace seconds have
// passed after start-up (see closerules.h). Focus counts as lost only when
// it goes to a window that is not ours: our window, a window inside it and
// the windows that hold it (a preview's parent) never count, nor do the
// focus changes that grabs make. A loss within the grace is ignored and the
// focus taken back. A preview closes with its parent window; a window we do
// not own (-root, -window-id) only with a signal or its end.
//
// Any stage ends on SIGTERM, SIGINT or SIGHUP: while the show runs it shuts
// down in order; during start-up or shut-down, or on a second signal, the
// process ends at once. When the X server goes away the show shuts down
// without waiting on the server and the process ends within about 1.5 s.
int fxRunHost(const FXLaunch& launch);
