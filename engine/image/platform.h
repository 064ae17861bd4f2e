// What the image layer asks of the operating system: loading the picture
// library by name, and the pixels of the desktop. Implemented by the twins
// devil_posix.cpp (libraries) and scrshot_x11.cpp (capture); docs/porting.md
// lists them with the Windows calls expected.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------- libraries
// Opens a shared library by file name; null when it cannot be loaded.
void* fxPlatformOpenLibrary(const char* name);
// An entry point of an open library; null when it has none of that name.
void* fxPlatformLibrarySymbol(void* lib, const char* name);
void fxPlatformCloseLibrary(void* lib);
// The file names of DevIL and its utility library ILU on this system.
const char* fxPlatformDevilName();
const char* fxPlatformIluName();

// ---------------------------------------------------------------- capture
// The screen's pixels as 32-bit blue-green-red-x rows with a pitch.
struct FXScreenPixels {
    int width, height;
    int pitch;  // bytes per row
    const uint8_t* bgrx;
    void* handle;  // released by fxReleaseScreenPixels
};
// Takes the pixels of the whole screen; false (and has traced why) when no
// capture can be made.
bool fxGrabScreenPixels(FXScreenPixels* out);
void fxReleaseScreenPixels(FXScreenPixels* p);
// Screen size; false when there is no screen.
bool fxScreenSize(int* w, int* h);
// A window's size; false when it does not exist.
bool fxWindowSize(void* window, int* w, int* h);
// The picture of the desktop a screen-saver daemon kept before covering the
// screen (on X11 the pixmap named by _SCREENSAVER_SCREENSHOT on the window
// or the root), scaled to the window's size, as fxGrabScreenPixels gives
// them. False when there is none or it cannot be read (traced).
bool fxGrabSaverPixels(void* window, FXScreenPixels* out);
// Puts captured pixels back, top left at the window's, clipped to it: a
// picture on the screen with nothing drawn. The window must be on the
// screen. False when it is not, or its pixels are not laid out as the
// capture's.
bool fxPutScreenPixels(const FXScreenPixels* p, void* window);
