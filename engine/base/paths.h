// Base folders and path helpers. Both '\\' and '/' separate; stored paths keep
// the separators they were written with, and backslashes become the native
// separator only where the operating system is called.
#pragma once

enum { FX_MAX_PATH = 260 };

void fxInitPaths();
void fxSetTypePath(int type, const char* path);
const char* fxGetTypePath(int type);
bool fxSetActPath(const char* path);
bool fxSetPath(int type);
bool fxSetSubPath(int type, const char* sub);
const char* fxGetActPath();

// The four below return a pointer into one shared buffer, valid until the
// next call of any of them.
const char* fxCombinePaths(const char* a, const char* b);
const char* fxBuildRelativePath(const char* from, bool fromIsFile, const char* to, bool toIsFile);
const char* fxChangeExt(const char* path, const char* ext);
const char* fxAppenfFname(const char* path, const char* suffix);

const char* fxGetFilename(const char* path);
bool fxPathExists(const char* path);

// Helpers shared with the platform files.
bool fxIsSep(char c);
// Appends the ending separator of a stored folder (see the rule in paths.cpp);
// buf holds size bytes.
void fxAddEndingSep(char* buf, int size);
// Copy of path for the operating system: backslashes become the native
// separator (fxPlatformNativeSep). Result in out (size bytes), cut to fit.
void fxNativePath(const char* path, char* out, int size);
