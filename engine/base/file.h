// Files written whole or not at all, and folders. Paths may separate with
// '\\' or '/'. Failures return false and write the reason to the trace log.
#pragma once

#include <cstdio>
#include <functional>

#include "fxstr.h"

enum {
    FX_REPLACE_TEXT = 1,        // the file is opened in text mode
    FX_REPLACE_EXECUTABLE = 2,  // the new file is a program (0755 on POSIX)
};

// Fills the new file; false when it could not write all it meant to.
typedef std::function<bool(FILE*)> FXFileWriter;

// Writes path whole or not at all: write fills a new temporary file made
// beside path, which replaces path only when write returned true and the
// data reached the disk. On any failure the temporary is removed and an
// existing path is left as it was.
bool fxReplaceFile(const char* path, const FXFileWriter& write, unsigned flags = 0);

// Copies a file whole over to (as fxReplaceFile writes: a reader of to sees
// the old file or the new one, never part of one); flags as there.
bool fxCopyFile(const char* from, const char* to, unsigned flags = 0);

// Makes the folder and its missing parents, with the system's usual modes
// (a content folder may be shared). True when path is a folder afterwards.
bool fxMakeFolder(const char* path);
// Makes a new private folder inside parent whose name starts with prefix;
// its path, in the system's form, in out.
bool fxMakeTempFolder(const char* parent, const char* prefix, FXStr* out);
bool fxRemoveFile(const char* path);
// Removes a folder that is empty.
bool fxRemoveFolder(const char* path);
// True when the process may write the file or into the folder.
bool fxCanWrite(const char* path);
// True when the folder is the user's own and the process may write into it:
// a place for the user's files, not a shared or system one.
bool fxIsOwnFolder(const char* path);
