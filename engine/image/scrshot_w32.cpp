// Desktop capture on Windows: the primary surface through DirectDraw 7,
// loaded at run time, or a GDI copy of the screen where DirectDraw cannot be
// created or does not give 32-bit pixels. The log says which was used.
#include <windows.h>

#include <ddraw.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/trace.h"
#include "image/platform.h"

namespace {

typedef HRESULT(WINAPI* DirectDrawCreateExFn)(GUID*, void**, REFIID, IUnknown*);

// The primary surface copied out while locked (a lock held longer would
// stop the desktop): rows owned by malloc, no handle.
bool localDirectDraw(FXScreenPixels* out) {
    HMODULE lib = LoadLibraryA("ddraw.dll");
    if (!lib) {
        trc("capture: ddraw.dll not loaded\n");
        return false;
    }
    auto create = reinterpret_cast<DirectDrawCreateExFn>(
        reinterpret_cast<void*>(GetProcAddress(lib, "DirectDrawCreateEx")));
    IDirectDraw7* dd = nullptr;
    IDirectDrawSurface7* primary = nullptr;
    bool ok = false;
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    if (!create || FAILED(create(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr)) || !dd) {
        trc("capture: DirectDrawCreateEx failed\n");
    } else if (FAILED(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL))) {
        trc("capture: DirectDraw cooperative level refused\n");
    } else {
        DDSURFACEDESC2 want = {};
        want.dwSize = sizeof want;
        want.dwFlags = DDSD_CAPS;
        want.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        if (FAILED(dd->CreateSurface(&want, &primary, nullptr)) || !primary) {
            trc("capture: no DirectDraw primary surface\n");
        } else if (FAILED(primary->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY | DDLOCK_SURFACEMEMORYPTR,
                                         nullptr))) {
            trc("capture: the primary surface cannot be locked\n");
        } else {
            int w = static_cast<int>(desc.dwWidth), h = static_cast<int>(desc.dwHeight);
            bool bgrx = desc.ddpfPixelFormat.dwRGBBitCount == 32 && desc.ddpfPixelFormat.dwRBitMask == 0xff0000 &&
                        desc.ddpfPixelFormat.dwGBitMask == 0xff00 && desc.ddpfPixelFormat.dwBBitMask == 0xff;
            uint8_t* rows = bgrx && w > 0 && h > 0 && desc.lpSurface
                                ? static_cast<uint8_t*>(malloc(static_cast<size_t>(w) * static_cast<size_t>(h) * 4))
                                : nullptr;
            if (rows) {
                for (int y = 0; y < h; ++y)
                    memcpy(rows + static_cast<size_t>(y) * w * 4,
                           static_cast<const uint8_t*>(desc.lpSurface) + static_cast<size_t>(y) * desc.lPitch,
                           static_cast<size_t>(w) * 4);
                out->width = w;
                out->height = h;
                out->pitch = w * 4;
                out->bgrx = rows;
                out->handle = nullptr;
                ok = true;
            } else {
                trc("capture: the primary surface is not 32-bit blue-green-red (%lu bits)\n",
                    desc.ddpfPixelFormat.dwRGBBitCount);
            }
            primary->Unlock(nullptr);
        }
    }
    if (primary) primary->Release();
    if (dd) dd->Release();
    FreeLibrary(lib);
    return ok;
}

// The screen copied by GDI into a top-down 32-bit section, which the
// handle keeps until released.
bool localGdi(FXScreenPixels* out) {
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    if (w < 1 || h < 1) return false;
    HDC screen = GetDC(nullptr);
    HDC mem = screen ? CreateCompatibleDC(screen) : nullptr;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = mem ? CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    bool ok = false;
    if (section && bits) {
        HGDIOBJ old = SelectObject(mem, section);
        ok = BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY | CAPTUREBLT) != FALSE;
        SelectObject(mem, old);
        GdiFlush();
    }
    if (mem) DeleteDC(mem);
    if (screen) ReleaseDC(nullptr, screen);
    if (!ok) {
        if (section) DeleteObject(section);
        err("capture: GDI copy of the screen failed (error %lu)\n", GetLastError());
        return false;
    }
    out->width = w;
    out->height = h;
    out->pitch = w * 4;
    out->bgrx = static_cast<const uint8_t*>(bits);
    out->handle = section;
    return true;
}

}  // namespace

bool fxGrabScreenPixels(FXScreenPixels* out) {
    memset(out, 0, sizeof *out);
    if (localDirectDraw(out)) {
        trc("capture: DirectDraw primary surface, %dx%d\n", out->width, out->height);
        return true;
    }
    if (localGdi(out)) {
        trc("capture: GDI, %dx%d\n", out->width, out->height);
        return true;
    }
    return false;
}

void fxReleaseScreenPixels(FXScreenPixels* p) {
    if (!p) return;
    if (p->handle)
        DeleteObject(static_cast<HBITMAP>(p->handle));
    else
        free(const_cast<uint8_t*>(p->bgrx));
    memset(p, 0, sizeof *p);
}

bool fxScreenSize(int* w, int* h) {
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    if (sw < 1 || sh < 1) return false;
    *w = sw;
    *h = sh;
    return true;
}

bool fxWindowSize(void* window, int* w, int* h) {
    HWND win = static_cast<HWND>(window);
    RECT r;
    if (!win || !IsWindow(win) || !GetClientRect(win, &r) || r.right - r.left < 1 || r.bottom - r.top < 1)
        return false;
    *w = r.right - r.left;
    *h = r.bottom - r.top;
    return true;
}

// Windows starts a screen saver before anything covers the desktop: the
// screen itself is the picture.
bool fxGrabSaverPixels(void*, FXScreenPixels* out) {
    memset(out, 0, sizeof *out);
    return false;
}

bool fxPutScreenPixels(const FXScreenPixels* p, void* window) {
    HWND w = static_cast<HWND>(window);
    if (!p || !p->bgrx || !w || p->width < 1 || p->height < 1 || p->pitch != p->width * 4 || !IsWindowVisible(w))
        return false;
    // A top-down 32-bit DIB: the capture's blue-green-red-x rows as they are.
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = p->width;
    bi.bmiHeader.biHeight = -p->height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    HDC dc = GetDC(w);
    if (!dc) return false;
    int lines = SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(p->width), static_cast<DWORD>(p->height), 0, 0, 0,
                                  static_cast<UINT>(p->height), p->bgrx, &bi, DIB_RGB_COLORS);
    GdiFlush();
    ReleaseDC(w, dc);
    return lines == p->height;
}
