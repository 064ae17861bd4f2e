#include "closerules.h"

namespace {

// A close request: at once in preview or after a key, otherwise only once
// start-up has completed and the grace time has passed.
bool localCloseRequest(const FXCloseState* s, double now) {
    if (s->preview || s->escapeHit) return true;
    return s->started && now - s->startTime > kCloseGrace;
}

}  // namespace

bool fxCloseRule(FXCloseState* s, FXInput in, int x, int y, double now) {
    if (s->foreign) return false;
    switch (in) {
        case FX_IN_KEY:
            s->escapeHit = true;
            return true;
        case FX_IN_BUTTON:
            return !s->preview && localCloseRequest(s, now);
        case FX_IN_MOTION:
            // Any distance counts; a report of the same place does not.
            if (s->preview || (x == s->origX && y == s->origY)) return false;
            return localCloseRequest(s, now);
        case FX_IN_FOCUS_LOST:
            // Whoever took the focus would take the keys meant to close us,
            // behind a window that still covers the screen.
            return !s->preview && localCloseRequest(s, now);
        case FX_IN_CLOSE_REQUEST:
            return localCloseRequest(s, now);
    }
    return false;
}
