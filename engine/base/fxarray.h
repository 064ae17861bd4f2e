// Growable arrays of the engine and their counted-list file form.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// Zero-filled heap block; null when the heap refuses.
void* fxMalloc(unsigned size);
// Smallest power of two >= n, starting from 1.
int fxPower2(int n);

// Pointers the array does not own, or integers pushed with PushInt.
class FXArray {
public:
    void** data;
    int32_t count;
    int32_t capacity;
    int32_t step;

    FXArray() : data(nullptr), count(0), capacity(0), step(1) {}
    explicit FXArray(int s) : data(nullptr), count(0), capacity(0), step(s < 1 ? 1 : s) {}
    ~FXArray() { DestroyBuf(); }
    FXArray(const FXArray&) = delete;
    FXArray& operator=(const FXArray&) = delete;

    void DestroyBuf();
    void Realloc(int n);
    void Push(void* item);
    void PushVoid();
    void PushInt(int value) { Push(reinterpret_cast<void*>(static_cast<intptr_t>(value))); }
    void Insert(int pos, void* item);
    void* Pop();
    void* First() const { return count > 0 ? data[0] : nullptr; }
    void* Last() const { return count > 0 ? data[count - 1] : nullptr; }
    void MovePos(int pos, int dir);
    void RemovePos(int pos);
    void RemoveAll() { count = 0; }
    bool IsEmpty() const { return count < 1; }
    int Findpos(const void* item) const;
    void Remove(const void* item);

    // Integer view of an item pushed with PushInt.
    int GetInt(int i) const { return static_cast<int>(reinterpret_cast<intptr_t>(data[i])); }
    void SetInt(int i, int v) { data[i] = reinterpret_cast<void*>(static_cast<intptr_t>(v)); }

    // Items are stored as their 32-bit values (ints; pointers are not
    // meaningful on disk).
    void Save(FILE* f) const;
    void Load(FILE* f);
};

// Owns a heap copy of each string; a null item stands for the empty string.
class FXStrArray {
public:
    char** data;
    int32_t count;
    int32_t capacity;
    int32_t step;

    FXStrArray() : data(nullptr), count(0), capacity(0), step(1) {}
    explicit FXStrArray(int s) : data(nullptr), count(0), capacity(0), step(s < 1 ? 1 : s) {}
    ~FXStrArray() { DestroyBuf(); }
    FXStrArray(const FXStrArray&) = delete;
    FXStrArray& operator=(const FXStrArray&) = delete;

    void DestroyBuf();
    void Realloc(int n);
    void Push(const char* s);
    void Insert(int pos, const char* s);
    void Pop();
    const char* First() const { return count > 0 ? data[0] : nullptr; }
    const char* Last() const { return count > 0 ? data[count - 1] : nullptr; }
    void MovePos(int pos, int dir);
    void RemovePos(int pos);
    void RemoveAll();
    bool IsEmpty() const { return count < 1; }
    int Findpos(const char* s) const;
    void Remove(const char* s);
    void Change(int pos, const char* s);

    // Item i as a text, "" for a null item.
    const char* Get(int i) const { return data[i] ? data[i] : ""; }

    void Save(FILE* f) const;
    void SaveShortPaths(FILE* f, const char* base) const;
    void Load(FILE* f);
};

class FXFloatArray {
public:
    float* data;
    int32_t count;
    int32_t capacity;
    int32_t step;

    FXFloatArray() : data(nullptr), count(0), capacity(0), step(1) {}
    explicit FXFloatArray(int s) : data(nullptr), count(0), capacity(0), step(s < 1 ? 1 : s) {}
    ~FXFloatArray() { DestroyBuf(); }
    FXFloatArray(const FXFloatArray&) = delete;
    FXFloatArray& operator=(const FXFloatArray&) = delete;

    void DestroyBuf();
    void Realloc(int n);
    void Push(float v);
    void Insert(int pos, float v);
    float Pop();
    float First() const { return count > 0 ? data[0] : 0.0f; }
    float Last() const { return count > 0 ? data[count - 1] : 0.0f; }
    void MovePos(int pos, int dir);
    void RemovePos(int pos);
    void RemoveAll() { count = 0; }
    bool IsEmpty() const { return count < 1; }

    void Save(FILE* f) const;
    void Load(FILE* f);
};

// Raw items of itemSize bytes; the owner maintains count.
class FXMemory {
public:
    uint8_t* data;
    int32_t count;
    int32_t capacity;
    int32_t itemSize;

    FXMemory() : data(nullptr), count(0), capacity(0), itemSize(1) {}
    explicit FXMemory(int size) : data(nullptr), count(0), capacity(0), itemSize(size < 1 ? 1 : size) {}
    ~FXMemory() { DestroyBuf(); }
    FXMemory(const FXMemory&) = delete;
    FXMemory& operator=(const FXMemory&) = delete;

    void DestroyBuf();
    void Realloc(int n);
    void* GetItemPtr(int i) const;
};

// Little-endian int32 I/O on stdio streams, shared by every file form.
bool fxWriteInt32(FILE* f, int32_t v);
bool fxReadInt32(FILE* f, int32_t* v);
// Bytes left between the stream's position and its end; -1 when the stream
// cannot tell (a pipe). Readers use it to refuse counts the file cannot hold.
long fxBytesLeft(FILE* f);
// The rest of the stream, from its position to its end, into out: in one
// read when the stream tells its size, in pieces otherwise. False (out
// empty) on a read error or when there are more than limit bytes.
bool fxReadRest(FILE* f, std::vector<uint8_t>* out, size_t limit = INT32_MAX);
