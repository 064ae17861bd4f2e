// A 0-to-1 timer: started at a time, it turns the frame time into a value
// over a duration, optionally shaped, reversed, repeated or bouncing. Its
// owner calls OnRender once per frame and reads value and active.
#pragma once

#include <cstdio>

class PEnv;
class FXPackage;
class FXPackageData;

class FXPhaser {
public:
    float value;      // current phase after shaping and reversing
    bool active;
    bool reverse;     // the value runs from 1 to 0
    bool loop;        // at the end of a run, start the next one
    bool bounce;      // with loop: each new run changes direction
    double start;     // seconds, start of the current run
    double duration;  // seconds, length of one run
    bool smooth;      // shape with 3v^2 - 2v^3
    bool halfSmooth;  // shape with the mean of v and 3v^2 - 2v^3

    FXPhaser();
    virtual ~FXPhaser() {}

    void Restart(double t);
    // The value depends on the absolute time only: the same t gives the
    // same value whatever the frame rate. env is not used.
    virtual void OnRender(PEnv* env, double t);

    // Stored form: value, duration, then the six flags as bytes (1 = true).
    // The start time is not stored. A record cut short reads zeros where
    // its typed reads run out (false is returned).
    enum { kStoredSize = 4 + 8 + 6 };
    bool Save(FILE* f) const;
    bool Load(FILE* f);
    bool LoadC(FXPackage* pck, FXPackageData* d);
};
