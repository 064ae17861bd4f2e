// The item factory: which class each stored type number makes.
//
// To add an item kind:
//   1. Write its class in a file of its own in engine/scene/ (a header and a
//      .cpp; add the .cpp to engine/scene/CMakeLists.txt) and define, in
//      that .cpp, its maker with the macro from this list's header:
//          FX_ITEM_MAKER(FXItemPict)     // defines FXItem* fxNewFXItemPict()
//   2. Add one line to FX_ITEM_KINDS below: X(type number, class).
// The type names (for GenName) are fixed by the format in fxItemTypeName
// and need no change. A type without a line yields no item: a scene record
// holding one stops reading there.
#include "scene/item.h"
#include "scene/itemkinds.h"

#define FX_ITEM_KINDS(X)                   \
    X(FX_ITEM_MOVE, FXItemMove)            \
    X(FX_ITEM_ROTATE, FXItemRotate)        \
    X(FX_ITEM_SKEW, FXItemSkew)            \
    X(FX_ITEM_CAMERAZOOM, FXItemCameraZoom) \
    X(FX_ITEM_CAMERAPT, FXItemCameraPt)     \
    X(FX_ITEM_PICT, FXItemPict)            \
    X(FX_ITEM_SCROLL, FXItemScroll)        \
    X(FX_ITEM_SMOVIE, FXItemSMovie)        \
    X(FX_ITEM_RANI, FXItemRani)

#define FX_ITEM_DECLARE(type, cls) FXItem* fxNew##cls();
FX_ITEM_KINDS(FX_ITEM_DECLARE)
#undef FX_ITEM_DECLARE

FXItem* fxNewItem(int type) {
    switch (type) {
#define FX_ITEM_CASE(t, cls) \
    case t:                  \
        return fxNew##cls();
        FX_ITEM_KINDS(FX_ITEM_CASE)
#undef FX_ITEM_CASE
    default:
        return nullptr;
    }
}

const char* fxItemTypeName(int type) {
    static const char* const names[] = {nullptr,  "move",   "rotate", "skew",      "camerazoom",  "pict",
                                        "scroll", "smovie", "model",  "animation", "camerapoint", "Rani"};
    if (type >= 1 && type <= 11) return names[type];
    return "unknown";
}
