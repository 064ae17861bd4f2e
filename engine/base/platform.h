// What the base layer asks of the operating system. A port implements every
// function below in its twin files (here paths_posix.cpp, other_posix.cpp,
// file_posix.cpp and text_posix.cpp); docs/porting.md lists them with the
// Windows calls expected.
//
// Not repeated here: the whole of thread.h (mutexes and threads) and the
// priorities of other.h (fxSetAppPriority, fxSetThreadPriority) are platform
// code throughout, implemented by thread_posix.cpp and other_posix.cpp.
//
// Paths given to these functions are native: the portable callers have passed
// them through fxNativePath. None of them throws; failures return false (or
// null).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "fxstr.h"

// ---------------------------------------------------------------- clock
// Milliseconds of a clock that never goes back (not the wall clock).
uint64_t fxPlatformMonotonicMs();
// Sleeps ms milliseconds; 0 only yields the processor.
void fxPlatformSleepMs(unsigned ms);
// Shows a message to the user where no window can; returns 1 (OK).
int fxPlatformMessageBox(const char* caption, const char* text);

// ---------------------------------------------------------------- paths
// The separator the system writes ('/' or '\\'); backslashes in stored paths
// become it on the way to the system.
char fxPlatformNativeSep();
// True where the file system treats upper and lower case names as the same.
bool fxPlatformNamesIgnoreCase();
bool fxPlatformGetCwd(char* out, int size);
bool fxPlatformSetCwd(const char* nativePath);
bool fxPlatformPathExists(const char* nativePath);
// The system's fonts folder; false when it has none.
bool fxPlatformFontsFolder(char* out, int size);

// ---------------------------------------------------------------- files
// Creates a new file that must not exist yet (never opens an existing one),
// for writing, in text or binary mode; an executable one can be run by
// everyone and written by its owner (0755) where the system has such modes.
// Null when it cannot be created.
FILE* fxPlatformCreateNewFile(const char* nativePath, bool text, bool executable);
// Pushes what was written to f down to the disk. False on an I/O error.
bool fxPlatformSyncFile(FILE* f);
// Moves from over to, replacing an existing file in one step, so that to is
// either the old file or the new one (POSIX rename, MoveFileEx with
// MOVEFILE_REPLACE_EXISTING).
bool fxPlatformReplace(const char* nativeFrom, const char* nativeTo);
bool fxPlatformRemoveFile(const char* nativePath);
// Removes an empty folder.
bool fxPlatformRemoveFolder(const char* nativePath);
// Makes one folder, readable only by its owner where the system has such
// modes. True when the path is a folder afterwards, made now or before.
bool fxPlatformMakeFolder(const char* nativePath);
// Makes a new folder of a unique name that starts with nativePrefix (the
// folder's path without the unique part), private to its owner; its path in
// out. False when none could be made.
bool fxPlatformMakeTempFolder(const char* nativePrefix, std::string* out);
// True when the process may write to the file or into the folder.
bool fxPlatformCanWrite(const char* nativePath);
// True when the folder belongs to the user running the process.
bool fxPlatformOwnFolder(const char* nativePath);

// ---------------------------------------------------------------- text
// The system's multibyte text (the current locale, the ANSI code page) to
// 16-bit wide text and back; characters beyond 16 bits travel as surrogate
// pairs. False when the text is not valid in the other encoding.
bool fxPlatformToWide(const char* s, std::u16string* out);
bool fxPlatformFromWide(const fxwchar* s, std::string* out);
