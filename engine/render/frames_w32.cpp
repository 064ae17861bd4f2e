// The window of offline frames on Windows: a top-most popup without a frame.
#include <windows.h>

#include "render/frames.h"

namespace {

const char kFrameClass[] = "FXFrameWindow";

bool localRegisterClass() {
    WNDCLASSA wc = {};
    if (GetClassInfoA(GetModuleHandleA(nullptr), kFrameClass, &wc)) return true;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kFrameClass;
    return RegisterClassA(&wc) != 0;
}

}  // namespace

void* fxFrameWindowCreate(int w, int h) {
    if (w < 1 || h < 1 || !localRegisterClass()) return nullptr;
    HWND win = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kFrameClass, "", WS_POPUP | WS_VISIBLE, 0, 0, w, h,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (win) UpdateWindow(win);
    return win;
}

void fxFrameWindowDestroy(void* window) {
    if (window) DestroyWindow(static_cast<HWND>(window));
}
