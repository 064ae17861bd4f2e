// Files written whole or not at all, and folders. Paths may separate with
// '\\' or '/'. Failures return false and write the reason to the trace log.
#pragma once

#include <cstddef>
#include <cstdint>
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

// A file's bytes in the process's memory, private to it: writing to them
// changes the memory, never the file. Filled by fxMapFile, given back by
// fxUnmapFile; the platform twin alone knows how it holds them.
struct FXFileMap {
    uint8_t* data = nullptr;  // null when the file is empty
    int64_t size = 0;
    int kind = 0;             // 0: holds nothing
    void* base = nullptr;     // what the platform releases
    size_t span = 0;
};

enum {
    // Pages come from the file as they are first touched (copy-on-write):
    // a file only read costs no read up front. Windows will not replace or
    // remove a file while it is mapped so.
    FX_MAP_LAZY = 0,
    // The whole file is read now into fresh memory (in large pages where the
    // system gives them): for bytes about to be rewritten whole, which a
    // copy-on-write mapping would copy page by page.
    FX_MAP_READ = 1,
};

// Progress of FX_MAP_READ: bytes done out of the file's size.
typedef std::function<void(int64_t, int64_t)> FXMapProgress;

// Maps a regular file (see the modes above). False when it cannot be opened
// (errno tells why), is not a regular file, does not fit the address space,
// or memory is short; out then holds nothing. Only a file that another program changes in
// place while mapped lazily can change or take away the mapped bytes: the
// engine's own writers replace files whole (fxReplaceFile).
bool fxMapFile(const char* path, unsigned mode, FXFileMap* out, const FXMapProgress& progress = nullptr);
// Releases what fxMapFile gave (nothing when it holds nothing) and empties m.
void fxUnmapFile(FXFileMap* m);
