// The maker each item kind defines for the factory (itemkinds.cpp).
#pragma once

#include "scene/item.h"

// In the kind's .cpp: FX_ITEM_MAKER(FXItemPict) defines fxNewFXItemPict().
#define FX_ITEM_MAKER(cls) \
    FXItem* fxNew##cls() { return new cls; }
