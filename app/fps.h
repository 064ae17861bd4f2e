// The frame rate in the lower-left corner, as XScreenSaver's GL hacks show
// it under "Show frame rate". Frames are counted against the show's own
// clock, so under the offline renderer's virtual clock the figure is exact.
#pragma once

#include <string>

#include "geometry/desk.h"
#include "geometry/scrpos01.h"
#include "image/canvas.h"
#include "render/env.h"
#include "render/material.h"

// Times from one frame's start to the next's over a period, by whole
// milliseconds, for the log's frame-rate line: the longest, and the time
// that all but the slowest 1 % kept within.
struct VelmiraFrameGaps {
    enum { kBuckets = 251 };  // 0 to 249 ms; the last counts 250 ms and more
    int32_t count[kBuckets] = {};
    int32_t total = 0;
    double longest = 0.0;  // seconds
    void Add(double seconds);
    // The smallest whole millisecond that at least the share q of the gaps
    // kept within; 0 without gaps.
    int Within(double q) const;
    void Clear() { *this = VelmiraFrameGaps(); }
};

class VelmiraFps : public PRender {
public:
    // Frames per second over the last counted second; 0 until one has passed.
    double figure = 0.0;

    // Loads the font and draws the first text (the device must be current).
    // False when there is no font: nothing is drawn then.
    bool Create();
    // Counts a frame drawn at t; true when the figure was renewed.
    bool Count(double t);
    // Counts the frame and draws the figure over whatever is there.
    void OnRender(PEnv* env, double t) override;
    void Destroy();

private:
    bool Draw(const std::string& text);

    FXFontGDI font_;
    FXDesk desk_;
    FXMaterial material_;  // its own canvas holds the text on its box
    FXScrPos01 placement_;
    std::string shown_;    // the text in the texture
    double since_ = -1.0;  // start of the second being counted
    int frames_ = 0;
};
