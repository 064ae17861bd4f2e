#include "director.h"

#include "base/trace.h"

int fxChooseNextKind(RandomInt* rcan, int32_t* fenroTest) {
    if (*fenroTest == 0) {
        *fenroTest = 4;
        rcan->Push(4, 4);
        return 5;
    }
    int kind = rcan->Get(4) + 1;
    if (kind == 3) rcan->Insert(3, 1, 4);
    if (kind == 4) rcan->Insert(2, 1, 4);
    *fenroTest = kind == 5 ? 4 : *fenroTest - 1;
    return kind;
}

namespace {

void localStart(BubbleSlot* const* bubs, int i, double t) {
    trc("bubble %d\n", i);
    if (i >= 0 && i < kBubbleCount && bubs[i]) bubs[i]->Start(t);
}

bool localFinished(BubbleSlot* const* bubs, int i) {
    // A bubble that does not exist has nothing left to show.
    return i < 0 || i >= kBubbleCount || !bubs[i] || bubs[i]->IsFinished();
}

}  // namespace

void fxBubbleRule(double t, VelmiraSets* sets, BubbleSlot* const* bubs, int32_t* bubsStarting, int32_t* actBub,
                  RandomInt* rbubs) {
    if (*bubsStarting > 0) {
        if (*actBub == -1) {
            *actBub = 0;
            localStart(bubs, 0, t);
        } else if (localFinished(bubs, *actBub)) {
            --*bubsStarting;
            if (*bubsStarting == 1) {
                *actBub = 1;
                localStart(bubs, 1, t);
            } else if (*bubsStarting == 0) {
                sets->Stop();
                *actBub = -1;
            }
        }
        return;
    }
    if (sets->stopRequested || sets->kind == 4) return;
    if (*actBub == -1) {
        *actBub = sets->kind == 5 ? 2 : rbubs->Get(3) + 3;
        localStart(bubs, *actBub, t);
    } else if (localFinished(bubs, *actBub)) {
        *actBub = -1;
        sets->Stop();
    }
}

void fxStartNextBillboard(VelmiraSets* sets, int32_t* actBill, int32_t* actAnim, RandomInt* rbill,
                          RandomInt* rbillAnim) {
    *actBill = rbill->Get(sets->billboardCount);
    *actAnim = rbillAnim->Get(3);
    Billboard* b = sets->Current(*actBill);
    if (b) b->Start(*actAnim);
    trc("billboard %d: scenario %d\n", *actBill, *actAnim);
}

void fxBillboardRule(VelmiraSets* sets, bool firstCan, int32_t* actBill, int32_t* actAnim, RandomInt* rbill,
                     RandomInt* rbillAnim) {
    if (firstCan) return;
    Billboard* b = sets->Current(*actBill);
    if (!b || (!b->hiding && b->finished)) fxStartNextBillboard(sets, actBill, actAnim, rbill, rbillAnim);
}
