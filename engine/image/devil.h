// Run-time binding of the DevIL image library and its utility library ILU.
// The program never links them: fxLoadDevil opens both by name and fetches
// the twenty entry points every picture operation goes through. While they
// are not loaded every picture load and save fails (and says so once in the
// trace log).
#pragma once

#include <cstddef>

// The library's types, as its public headers declare them.
typedef unsigned int FXILenum;
typedef unsigned int FXILuint;
typedef int FXILint;
typedef unsigned char FXILboolean;
typedef unsigned char FXILubyte;
typedef size_t FXILsizei;

// The library's constants we use (values of its public headers).
enum : unsigned {
    FX_IL_TYPE_UNKNOWN = 0x0000,
    FX_IL_BMP = 0x0420,
    FX_IL_JPG = 0x0425,
    FX_IL_PNG = 0x042A,
    FX_IL_TGA = 0x042D,
    FX_IL_GIF = 0x0436,

    FX_IL_COLOUR_INDEX = 0x1900,
    FX_IL_RGB = 0x1907,
    FX_IL_RGBA = 0x1908,
    FX_IL_LUMINANCE = 0x1909,
    FX_IL_LUMINANCE_ALPHA = 0x190A,
    FX_IL_BGR = 0x80E0,
    FX_IL_BGRA = 0x80E1,
    FX_IL_UNSIGNED_BYTE = 0x1401,

    FX_IL_ORIGIN_LOWER_LEFT = 0x0601,
    FX_IL_ORIGIN_UPPER_LEFT = 0x0602,
    FX_IL_FILE_OVERWRITE = 0x0620,
    FX_IL_JPG_QUALITY = 0x0711,

    FX_IL_IMAGE_WIDTH = 0x0DE4,
    FX_IL_IMAGE_HEIGHT = 0x0DE5,
    FX_IL_IMAGE_DEPTH = 0x0DE6,
    FX_IL_IMAGE_SIZE_OF_DATA = 0x0DE7,
    FX_IL_IMAGE_BYTES_PER_PIXEL = 0x0DE8,
    FX_IL_IMAGE_FORMAT = 0x0DEA,
    FX_IL_IMAGE_TYPE = 0x0DEB,
    FX_IL_IMAGE_ORIGIN = 0x0DFE,

    FX_ILU_FILTER = 0x2600,
    FX_ILU_SCALE_BELL = 0x2606,
};

// DevIL's calling convention (its ILAPIENTRY): __stdcall on 32-bit Windows,
// the platform's default everywhere else.
#if defined(_WIN32) && !defined(_WIN64)
#define FX_ILAPIENTRY __stdcall
#else
#define FX_ILAPIENTRY
#endif

typedef void (FX_ILAPIENTRY* FXilInit)();
typedef void (FX_ILAPIENTRY* FXilShutDown)();
typedef FXILboolean (FX_ILAPIENTRY* FXilEnable)(FXILenum mode);
typedef FXILboolean (FX_ILAPIENTRY* FXilDisable)(FXILenum mode);
typedef void (FX_ILAPIENTRY* FXilSetInteger)(FXILenum mode, FXILint param);
typedef void (FX_ILAPIENTRY* FXilGenImages)(FXILsizei num, FXILuint* images);
typedef void (FX_ILAPIENTRY* FXilDeleteImages)(FXILsizei num, const FXILuint* images);
typedef void (FX_ILAPIENTRY* FXilBindImage)(FXILuint image);
typedef FXILint (FX_ILAPIENTRY* FXilGetInteger)(FXILenum mode);
typedef FXILboolean (FX_ILAPIENTRY* FXilLoadImage)(const char* fileName);
typedef FXILboolean (FX_ILAPIENTRY* FXilLoadL)(FXILenum type, const void* lump, FXILuint size);
typedef FXILboolean (FX_ILAPIENTRY* FXilSaveImage)(const char* fileName);
typedef FXILuint (FX_ILAPIENTRY* FXilCloneCurImage)();
typedef FXILboolean (FX_ILAPIENTRY* FXilConvertImage)(FXILenum destFormat, FXILenum destType);
typedef FXILuint (FX_ILAPIENTRY* FXilCopyPixels)(FXILuint xOff, FXILuint yOff, FXILuint zOff, FXILuint width,
                                                 FXILuint height, FXILuint depth, FXILenum format, FXILenum type,
                                                 void* data);
typedef void (FX_ILAPIENTRY* FXilSetPixels)(FXILint xOff, FXILint yOff, FXILint zOff, FXILuint width, FXILuint height,
                                            FXILuint depth, FXILenum format, FXILenum type, void* data);
typedef FXILubyte* (FX_ILAPIENTRY* FXilGetData)();
typedef FXILboolean (FX_ILAPIENTRY* FXiluScale)(FXILuint width, FXILuint height, FXILuint depth);
typedef void (FX_ILAPIENTRY* FXiluImageParameter)(FXILenum pname, FXILenum param);
typedef FXILboolean (FX_ILAPIENTRY* FXilTexImage)(FXILuint width, FXILuint height, FXILuint depth,
                                                  FXILubyte numChannels, FXILenum format, FXILenum type, void* data);

// Handles of the loaded libraries; null when not loaded.
extern void* ilDLL;
extern void* iluDLL;

// Entry points; null until fetched.
extern FXilInit pilInit;
extern FXilShutDown pilShutDown;
extern FXilEnable pilEnable;
extern FXilDisable pilDisable;
extern FXilSetInteger pilSetInteger;
extern FXilGenImages pilGenImages;
extern FXilDeleteImages pilDeleteImages;
extern FXilBindImage pilBindImage;
extern FXilGetInteger pilGetInteger;
extern FXilLoadL pilLoadL;
extern FXilLoadImage pilLoadImage;
extern FXilSaveImage pilSaveImage;
extern FXilCloneCurImage pilCloneCurImage;
extern FXilConvertImage pilConvertImage;
extern FXilCopyPixels pilCopyPixels;
extern FXilSetPixels pilSetPixels;
extern FXilGetData pilGetData;
extern FXiluScale piluScale;
extern FXiluImageParameter piluImageParameter;
extern FXilTexImage pilTexImage;

// Loads both libraries, fetches the entry points and initialises DevIL.
// On failure everything loaded is unloaded again and the result is false.
bool fxLoadDevil();
void fxUnloadDevil();
// True while the libraries are loaded with all their entry points.
bool fxDevilLoaded();
// For picture operations: true when DevIL can be used. Otherwise false, and
// the first refusal after a load attempt writes one line to the trace log.
bool fxDevilReady();

// True when the lower-cased name contains "tran" anywhere: such a picture
// file is a transparency picture (its red channel becomes the alpha).
bool localDetectTransFilename(const char* name);

// The library file names fxLoadDevil opens; null restores the system's
// (fxPlatformDevilName, fxPlatformIluName). Lets tests point the loader at a
// missing or incomplete library.
void fxSetDevilLibraryNames(const char* il, const char* ilu);

// DevIL works on one process-wide current image, so every picture operation
// holds this lock from its first DevIL call to its last.
class FXDevilLock {
public:
    FXDevilLock();
    ~FXDevilLock();
    FXDevilLock(const FXDevilLock&) = delete;
    FXDevilLock& operator=(const FXDevilLock&) = delete;
};
