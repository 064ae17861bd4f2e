// The OpenGL device on Windows and WGL. As on X11 the device draws into a
// child window of its own made inside the window it is given, with a pixel
// format of its choosing, so it can bind to windows it does not own (the
// preview frame of the display settings).
#include <windows.h>

#include <GL/gl.h>

#include "base/trace.h"
#include "render/gl.h"
#include "render/platform.h"

namespace {

const char kChildClass[] = "FXGLChild";

HWND Win(void* w) { return static_cast<HWND>(w); }
HDC Dc(FXGL* gl) { return static_cast<HDC>(gl->deviceContext); }

// The drawing child passes the mouse to the window it sits in: the host
// decides what input means.
LRESULT CALLBACK localChildProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    case WM_ERASEBKGND:
        return 1;  // GL paints every pixel
    default:
        return DefWindowProcA(w, msg, wp, lp);
    }
}

bool localRegisterClass() {
    WNDCLASSA wc = {};
    if (GetClassInfoA(GetModuleHandleA(nullptr), kChildClass, &wc)) return true;
    wc.style = CS_OWNDC;  // the device context lives as long as the window
    wc.lpfnWndProc = localChildProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = nullptr;
    wc.lpszClassName = kChildClass;
    return RegisterClassA(&wc) != 0;
}

// Double-buffered RGBA with depth; the closest the driver offers.
bool localSetPixelFormat(HDC dc) {
    PIXELFORMATDESCRIPTOR pfd = {};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 24;
    pfd.cDepthBits = 16;
    pfd.cStencilBits = 8;
    pfd.iLayerType = PFD_MAIN_PLANE;
    int format = ChoosePixelFormat(dc, &pfd);
    return format != 0 && SetPixelFormat(dc, format, &pfd);
}

// A top-level window of this process (the full-screen window) is drawn into
// itself: a child's pixels reach the screen only through the window-system's
// compositing under Wine, which leaves a child made while its window was
// hidden off the screen.
bool localOwnTopLevel(HWND w) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    return pid == GetCurrentProcessId() && !(GetWindowLongPtrA(w, GWL_STYLE) & WS_CHILD);
}

}  // namespace

bool fxglPlatCreate(FXGL* gl, void* window) {
    HWND parent = Win(window);
    RECT r;
    if (!parent || !IsWindow(parent) || !GetClientRect(parent, &r)) {
        err("FXGL::CreateChild -> window %p does not exist\n", window);
        return false;
    }
    gl->screenWidth = GetSystemMetrics(SM_CXSCREEN);
    gl->screenHeight = GetSystemMetrics(SM_CYSCREEN);
    gl->viewWidth = r.right - r.left;
    gl->viewHeight = r.bottom - r.top;
    if (!localRegisterClass()) {
        err("FXGL::CreateChild -> cannot register the drawing window's class (error %lu)\n", GetLastError());
        return false;
    }
    HWND child = localOwnTopLevel(parent)
                     ? parent
                     : CreateWindowExA(0, kChildClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0,
                                       0, gl->viewWidth, gl->viewHeight, parent, nullptr, GetModuleHandleA(nullptr),
                                       nullptr);
    if (!child) {
        err("FXGL::CreateChild -> cannot create the drawing window (error %lu)\n", GetLastError());
        return false;
    }
    gl->glWindow = child;
    gl->window = child;
    HDC dc = GetDC(child);
    gl->deviceContext = dc;
    if (!dc || !localSetPixelFormat(dc)) {
        err("FXGL::CreateChild -> no double-buffered RGBA pixel format (error %lu)\n", GetLastError());
        return false;
    }
    HGLRC ctx = wglCreateContext(dc);
    if (!ctx) {
        err("FXGL::CreateChild -> wglCreateContext failed (error %lu)\n", GetLastError());
        return false;
    }
    gl->renderContext = ctx;
    return wglMakeCurrent(dc, ctx) != FALSE;
}

void fxglPlatMakeCurrent(FXGL* gl, bool on) {
    if (on && gl->renderContext && gl->deviceContext)
        wglMakeCurrent(Dc(gl), static_cast<HGLRC>(gl->renderContext));
    else
        wglMakeCurrent(nullptr, nullptr);
}

void fxglPlatSwap(FXGL* gl) {
    if (gl->deviceContext) SwapBuffers(Dc(gl));
}

bool fxglPlatSwapInterval(FXGL* gl, int interval) {
    if (!gl->renderContext) return false;
    // WGL_EXT_swap_control; it acts on the current context's window.
    typedef BOOL(WINAPI * SwapIntervalExt)(int);
    auto f = reinterpret_cast<SwapIntervalExt>(fxglPlatGetProc("wglSwapIntervalEXT"));
    return f && f(interval);
}

void fxglPlatRelease(FXGL* gl) {
    wglMakeCurrent(nullptr, nullptr);
    if (gl->renderContext) wglDeleteContext(static_cast<HGLRC>(gl->renderContext));
    HWND child = Win(gl->glWindow);
    // The window we were given may be gone already, and the child with it.
    if (child && IsWindow(child)) {
        if (gl->deviceContext) ReleaseDC(child, Dc(gl));
        // Only the thread that made a window may destroy it; from another
        // it is asked to close. A window drawn into itself is its owner's.
        if (child != Win(gl->hostWindow) && !DestroyWindow(child)) PostMessageA(child, WM_CLOSE, 0, 0);
    }
    gl->renderContext = nullptr;
    gl->glWindow = nullptr;
    gl->deviceContext = nullptr;
}

void fxglPlatEnlarge(FXGL* gl, bool on) {
    HWND w = Win(gl->glWindow);
    if (!w || !IsWindow(w)) return;
    if (on) {
        if (!gl->enlarged) {
            RECT r;
            if (GetWindowRect(w, &r)) {
                // The window's place relative to its parent, to go back to.
                MapWindowPoints(HWND_DESKTOP, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
                gl->savedRect[0] = r.left;
                gl->savedRect[1] = r.top;
                gl->savedRect[2] = r.right;
                gl->savedRect[3] = r.bottom;
            }
            gl->savedParent = gl->hostWindow;
            SetParent(w, nullptr);
            SetWindowLongPtrA(w, GWL_STYLE, WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
        }
        SetWindowPos(w, HWND_TOPMOST, 0, 0, gl->screenWidth, gl->screenHeight, SWP_SHOWWINDOW | SWP_FRAMECHANGED);
        gl->viewWidth = gl->screenWidth;
        gl->viewHeight = gl->screenHeight;
    } else {
        HWND parent = Win(gl->savedParent);
        gl->savedParent = nullptr;
        int width = gl->savedRect[2] - gl->savedRect[0], height = gl->savedRect[3] - gl->savedRect[1];
        if (!parent || !IsWindow(parent)) {
            err("FXGL::Enlarge -> the former parent window is gone\n");
            return;
        }
        SetWindowLongPtrA(w, GWL_STYLE, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
        SetParent(w, parent);
        SetWindowPos(w, HWND_TOP, gl->savedRect[0], gl->savedRect[1], width > 0 ? width : 1, height > 0 ? height : 1,
                     SWP_SHOWWINDOW | SWP_FRAMECHANGED);
        gl->viewWidth = width;
        gl->viewHeight = height;
    }
}

void* fxglPlatGetProc(const char* name) {
    // WGL answers only for what lies beyond OpenGL 1.1; some drivers answer
    // with small numbers instead of null.
    PROC p = wglGetProcAddress(name);
    auto v = reinterpret_cast<intptr_t>(p);
    if (v == 0 || v == 1 || v == 2 || v == 3 || v == -1) {
        static HMODULE gl = LoadLibraryA("opengl32.dll");
        p = gl ? GetProcAddress(gl, name) : nullptr;
    }
    return reinterpret_cast<void*>(p);
}
