// The show director's rules: which set comes next and when bubbles run.
#pragma once

#include <cstdint>

#include "app/randomint.h"
#include "app/sets.h"
#include "render/env.h"

// What the director needs of a bubble: it starts it, draws it and asks
// whether it has finished.
class BubbleSlot : public PRender {
public:
    virtual void Start(double t) = 0;
    virtual bool IsFinished() const = 0;

protected:
    ~BubbleSlot() {}
};

enum { kBubbleCount = 7 };

// The kind of the next set, once a set has ended: kind 5 when its turn has
// come, otherwise a random kind 1..5 that avoids the recent ones (kinds 3
// and 4 open alike, so either marks both as recent).
int fxChooseNextKind(RandomInt* rcan, int32_t* fenroTest);

// The bubble rule while a set is in its main part. bubs[i] may be null (a
// bubble that does not exist is never started).
void fxBubbleRule(double t, VelmiraSets* sets, BubbleSlot* const* bubs, int32_t* bubsStarting, int32_t* actBub,
                  RandomInt* rbubs);

// A new current billboard: one of the sets' billboards and one of the four
// scenarios, each avoiding the recent choices.
void fxStartNextBillboard(VelmiraSets* sets, int32_t* actBill, int32_t* actAnim, RandomInt* rbill,
                          RandomInt* rbillAnim);

// Once the first set has ended, a new billboard starts as soon as the
// current one has finished; a hidden one waits for the gallery set's end.
void fxBillboardRule(VelmiraSets* sets, bool firstCan, int32_t* actBill, int32_t* actAnim, RandomInt* rbill,
                     RandomInt* rbillAnim);
