// The content package: one file holding every record of the show, the cursor
// through which records are read, and the build side that packs files into a
// package.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/file.h"
#include "base/fxarray.h"
#include "base/fxstr.h"

class FXPackage;

// Image-library type codes carried by picture records; -1 for anything else.
enum {
    FX_PCK_TYPE_NONE = -1,
    FX_PCK_TYPE_BMP = 0x0420,
    FX_PCK_TYPE_JPG = 0x0425,
    FX_PCK_TYPE_PNG = 0x042A,
    FX_PCK_TYPE_TGA = 0x042D,
    FX_PCK_TYPE_GIF = 0x0436,
};

// Type code for a file extension (without the dot, any letter case).
int fxPackageTypeFromExt(const char* ext);
// Type code for a path: the characters after its last dot.
int fxPackageTypeFromPath(const char* path);
// Lower-case extension for a type code ("jpg"), null when it has none.
const char* fxPackageExtFromType(int type);

// A list count read from a record that its remaining bytes cannot hold is
// still honoured with zeros (so a record cut short keeps its layout), but by
// at most this many missing items: a lying count must not allocate gigabytes.
enum { FX_PCK_MAX_ZERO_FILL = 4096 };

// Cursor over one run of bytes it does not own. Reads that do not fit yield
// the type's zero and leave the position where it was.
class FXPackageData {
public:
    uint8_t* start;
    int32_t size;
    uint8_t* pos;
    int32_t remaining;

    FXPackageData() : start(nullptr), size(0), pos(nullptr), remaining(0) {}

    void InitData(void* p, int n);
    void Reseek() {
        pos = start;
        remaining = size;
    }

    void* ReadBlc(int n);
    void* ReadCopyBlc(void* dst, int n);
    bool ReadBool();
    int ReadInt();
    float ReadFloat();
    void ReadFloat4(float* out);
    double ReadDouble();
    // Counts above the remaining bytes take what is there; above 1023 the
    // string keeps its first 1023 characters and the rest is skipped. The
    // text ends at an embedded NUL.
    void ReadString(FXStr* s);
    void ReadStringArray(FXStrArray* a);
    void ReadArray(FXArray* a);
    void ReadFloatArray(FXFloatArray* a);

    // Writes store their value only when it fits whole, except the arrays,
    // which write item by item as long as there is room.
    bool WriteBlc(const void* p, int n);
    void WriteBool(bool v);
    void WriteInt(int v);
    void WriteFloat(float v);
    void WriteFloat4(const float* v);
    void WriteDouble(double v);
    void WriteString(const char* s);
    void WriteStringArray(const FXStrArray* a);
    void WriteArray(const FXArray* a);
    void WriteFloatArray(const FXFloatArray* a);
};

// Names of the files that received ids while a package is built.
class FXNameServer {
public:
    FXStrArray names;
    int32_t base;
    bool full;  // base is taken too: the loaded package holds INT32_MAX

    FXNameServer() : base(0), full(false) {}
    ~FXNameServer() { Destroy(); }
    FXNameServer(const FXNameServer&) = delete;
    FXNameServer& operator=(const FXNameServer&) = delete;

    // The id of a name, registering it when new; -1 (traced) when the ids
    // above base have run out.
    int BuildId(const char* name);
    int FindId(const char* name) const;
    void Destroy();
};

// What the last Load found; the package tool reports it.
struct FXPackageLoadInfo {
    bool opened;         // the file opened (always true for a memory load)
    bool isPackage;      // header present and beginning with "pck01"
    bool scrambled;
    int64_t fileSize;
    int64_t bodySize;
    int32_t counts[4];   // the four list counts as stored (ids, offsets, sizes, types)
    int32_t stored[4];   // items of each list actually present in the body
    int32_t records;     // records kept: the shortest of ids, offsets and sizes
    int32_t damaged;     // kept records not wholly inside the data area
};

// Progress of long operations: done out of total bytes.
typedef void (*FXPackageProgress)(void* user, int64_t done, int64_t total);

class FXPackage {
public:
    FXNameServer nameServer;
    uint8_t* data;       // the data area (inside the block loaded or packed)
    int32_t dataSize;
    FXArray ids;
    FXArray offsets;
    FXArray sizes;
    FXArray types;
    FXArray records;     // FXPackageData*, null for a record outside the data area
    FXArray pendingIds;
    FXStrArray pendingFiles;
    FXStrArray tmpFiles;
    FXStr workFolder;

    FXPackage();
    ~FXPackage();
    FXPackage(const FXPackage&) = delete;
    FXPackage& operator=(const FXPackage&) = delete;

    // Replaces the content by a package file; a file that is missing or not
    // a package leaves the package empty. The file is mapped, not read: the
    // records point into the mapping (copy-on-write, so writing into a record
    // never reaches the file), and only a scrambled body is read whole. The result tells whether it was a
    // package at all (damaged records are dropped, see RecompClasses; so are
    // records lacking an id, offset or size, while a missing type reads -1).
    bool Load(const char* path);
    // The same from bytes in memory (copied).
    bool LoadFromMemory(const void* p, size_t n);
    // Packs the pending files and writes the package (flags bit 0:
    // scrambled). The file is written under a temporary name and renamed,
    // so an existing package is never left half-written. On failure the
    // package, its pending files and the file on disk stay as they were.
    bool Save(const char* path, int flags);
    void Destroy();

    FXPackageData* GetDataPtr(int id);
    int GetDataType(int id) const;
    // Index of the first usable record with this id, -1 when none.
    int FindRecord(int id) const;
    bool CheckFile(const char* path, int* size, int* type);
    // Gives the file a new id (or its own, when already added), queues it
    // and replaces the name by the id; -1 when no id is left.
    int AddDataFile1(FXStr* name);
    void AddDataFile(int id, const char* path);
    // One reader per entry of offsets; a record that does not lie wholly
    // inside the data area gets none (null) and is invisible to lookups.
    void RecompClasses();
    void AddTmpFile(const char* path);
    void DeleteTmpFiles();
    bool SaveNames(const char* path);
    bool LoadNames(const char* path);
    bool SaveNamesCpp(const char* path);

    void SetProgress(FXPackageProgress fn, void* user) {
        progress = fn;
        progressUser = user;
    }
    const FXPackageLoadInfo& GetLoadInfo() const { return loadInfo; }
    int GetRecordCount() const { return records.count; }

private:
    bool LoadOwned(uint8_t* buf, size_t n);
    void ReleaseBlock();
    void ReleaseReaders();
    void BuildIndex();
    void Report(int64_t done, int64_t total) const {
        if (progress) progress(progressUser, done, total);
    }

    // What data points into: a malloc'd block (memory loads, Save) or the
    // mapped file (Load); at most one of them is held.
    uint8_t* block;
    FXFileMap mapped;
    FXPackageData* readers;   // one allocation for all readers
    uint64_t* index;          // sorted (id, first record) keys
    int32_t indexCount;
    FXPackageLoadInfo loadInfo;
    FXPackageProgress progress;
    void* progressUser;
};

// Transposes the leading square of a body in place (its own inverse).
void fxPackageScramble(uint8_t* body, int64_t n);
// The header text's identifier for a names-header line, without "FXNAME_".
void fxPackageNameIdent(const char* name, FXStr* out);
