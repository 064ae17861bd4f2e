// Desktop capture on X11: an image of the root window.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <cstring>

#include "base/trace.h"
#include "image/platform.h"
#include "base/display.h"

namespace {

int localShift(unsigned long mask) {
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

// Channel value of a pixel scaled to 8 bits, whatever the mask's width.
uint8_t localChannel(unsigned long px, unsigned long mask) {
    if (!mask) return 0;
    int shift = localShift(mask);
    unsigned long m = mask >> shift, v = (px & mask) >> shift;
    return static_cast<uint8_t>(v * 255 / m);
}

}  // namespace

bool fxScreenSize(int* w, int* h) {
    Display* d = static_cast<Display*>(fxDisplay());
    if (!d) return false;
    *w = DisplayWidth(d, DefaultScreen(d));
    *h = DisplayHeight(d, DefaultScreen(d));
    return true;
}

bool fxGrabScreenPixels(FXScreenPixels* out) {
    memset(out, 0, sizeof *out);
    Display* d = static_cast<Display*>(fxDisplay());
    if (!d) {
        err("XOpenDisplay\n");
        return false;
    }
    int w = DisplayWidth(d, DefaultScreen(d)), h = DisplayHeight(d, DefaultScreen(d));
    fxDisplayTrapErrors();
    XImage* img = XGetImage(d, DefaultRootWindow(d), 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h),
                            AllPlanes, ZPixmap);
    if (fxDisplayUntrapErrors() || !img) {
        if (img) XDestroyImage(img);
        err("XGetImage (root window)\n");
        return false;
    }
    out->width = img->width;
    out->height = img->height;
    bool direct = img->bits_per_pixel == 32 && img->byte_order == LSBFirst && img->red_mask == 0xff0000 &&
                  img->green_mask == 0xff00 && img->blue_mask == 0xff;
    if (direct) {
        out->pitch = img->bytes_per_line;
        out->bgrx = reinterpret_cast<const uint8_t*>(img->data);
        out->handle = img;
        return true;
    }
    // Any other visual: convert pixel by pixel into blue-green-red-x rows.
    uint8_t* rows = static_cast<uint8_t*>(malloc(static_cast<size_t>(w) * static_cast<size_t>(h) * 4));
    if (!rows) {
        XDestroyImage(img);
        err("XGetImage (no memory for the conversion)\n");
        return false;
    }
    for (int y = 0; y < img->height; ++y)
        for (int x = 0; x < img->width; ++x) {
            unsigned long px = XGetPixel(img, x, y);
            uint8_t* p = rows + (static_cast<size_t>(y) * w + x) * 4;
            p[0] = localChannel(px, img->blue_mask);
            p[1] = localChannel(px, img->green_mask);
            p[2] = localChannel(px, img->red_mask);
            p[3] = 0;
        }
    XDestroyImage(img);
    out->pitch = w * 4;
    out->bgrx = rows;
    out->handle = nullptr;
    return true;
}

void fxReleaseScreenPixels(FXScreenPixels* p) {
    if (!p) return;
    if (p->handle)
        XDestroyImage(static_cast<XImage*>(p->handle));
    else
        free(const_cast<uint8_t*>(p->bgrx));
    memset(p, 0, sizeof *p);
}
