#include "fxarray.h"

#include <cstdlib>
#include <cstring>

#include "paths.h"

void* fxMalloc(unsigned size) { return calloc(1, size ? size : 1); }

int fxPower2(int n) {
    int p = 1;
    while (p < n && p < (1 << 30)) p <<= 1;
    return p;
}

bool fxWriteInt32(FILE* f, int32_t v) {
    uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                    static_cast<uint8_t>(static_cast<uint32_t>(v) >> 24)};
    return fwrite(b, 1, 4, f) == 4;
}

bool fxReadInt32(FILE* f, int32_t* v) {
    uint8_t b[4];
    if (fread(b, 1, 4, f) != 4) return false;
    *v = static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                              static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24);
    return true;
}

long fxBytesLeft(FILE* f) {
    long pos = ftell(f);
    if (pos < 0) return -1;
    if (fseek(f, 0, SEEK_END) != 0) return -1;
    long end = ftell(f);
    fseek(f, pos, SEEK_SET);
    if (end < pos) return -1;
    return end - pos;
}

bool fxReadRest(FILE* f, std::vector<uint8_t>* out, size_t limit) {
    out->clear();
    if (!f) return false;
    long left = fxBytesLeft(f);
    // One read when the size is known (a byte more sees the end), else pieces.
    size_t chunk = left >= 0 && static_cast<unsigned long>(left) <= limit ? static_cast<size_t>(left) + 1
                                                                          : static_cast<size_t>(1) << 20;
    for (;;) {
        size_t at = out->size();
        out->resize(at + chunk);
        size_t got = fread(out->data() + at, 1, chunk, f);
        out->resize(at + got);
        if (out->size() > limit || ferror(f)) break;
        if (got < chunk) return true;
    }
    out->clear();
    return false;
}

// A stored count that the rest of the file cannot hold is cut to what it can;
// a stream that cannot tell its size is read item by item instead.
static int32_t localPlausibleCount(FILE* f, int32_t n, long minItemBytes) {
    if (n <= 0) return 0;
    long left = fxBytesLeft(f);
    if (left >= 0 && static_cast<long long>(n) * minItemBytes > left) return static_cast<int32_t>(left / minItemBytes);
    return n;
}

// Shared growth of the three typed arrays: a new buffer of exactly n items,
// the used items copied, the rest zeroed.
template <typename T>
static void localRealloc(T*& data, int32_t& count, int32_t& capacity, int n) {
    if (capacity >= n) return;
    T* nb = static_cast<T*>(calloc(static_cast<size_t>(n), sizeof(T)));
    if (!nb) abort();  // the engine assumes the heap serves; fail loudly, not corruptly
    int keep = count < capacity ? count : capacity;
    if (data && keep > 0) memcpy(nb, data, static_cast<size_t>(keep) * sizeof(T));
    free(data);
    data = nb;
    capacity = n;
}

template <typename T>
static void localMovePos(T* data, int count, int pos, int dir) {
    int other;
    if (dir > 0) {
        if (pos < 0 || pos >= count - 1) return;
        other = pos + 1;
    } else if (dir < 0) {
        if (pos < 1 || pos >= count) return;
        other = pos - 1;
    } else {
        return;
    }
    T tmp = data[pos];
    data[pos] = data[other];
    data[other] = tmp;
}

template <typename T>
static void localRemovePos(T* data, int32_t& count, int pos) {
    if (pos < 0 || pos >= count) return;
    memmove(data + pos, data + pos + 1, static_cast<size_t>(count - pos - 1) * sizeof(T));
    --count;
}

// Opens a slot at pos (0..count) for Insert; the array must have room.
template <typename T>
static void localOpenSlot(T* data, int32_t& count, int pos) {
    memmove(data + pos + 1, data + pos, static_cast<size_t>(count - pos) * sizeof(T));
    ++count;
}

// ---------------------------------------------------------------- FXArray

void FXArray::DestroyBuf() {
    free(data);
    data = nullptr;
    count = 0;
    capacity = 0;
}

void FXArray::Realloc(int n) { localRealloc(data, count, capacity, n); }

void FXArray::Push(void* item) {
    if (count >= capacity) Realloc(capacity + step);
    data[count++] = item;
}

void FXArray::PushVoid() {
    if (count >= capacity) Realloc(capacity + step);
    ++count;
}

void FXArray::Insert(int pos, void* item) {
    if (pos < 0 || pos > count) {
        Push(item);
        return;
    }
    if (count >= capacity) Realloc(capacity + 1);
    localOpenSlot(data, count, pos);
    data[pos] = item;
}

void* FXArray::Pop() {
    if (count < 1) return nullptr;
    return data[--count];
}

void FXArray::MovePos(int pos, int dir) { localMovePos(data, count, pos, dir); }
void FXArray::RemovePos(int pos) { localRemovePos(data, count, pos); }

int FXArray::Findpos(const void* item) const {
    for (int i = 0; i < count; ++i)
        if (data[i] == item) return i;
    return -1;
}

void FXArray::Remove(const void* item) { RemovePos(Findpos(item)); }

void FXArray::Save(FILE* f) const {
    if (!f) return;
    int32_t n = (data && count > 0) ? count : 0;
    fxWriteInt32(f, n);
    for (int i = 0; i < n; ++i) fxWriteInt32(f, static_cast<int32_t>(reinterpret_cast<intptr_t>(data[i])));
}

void FXArray::Load(FILE* f) {
    int32_t n = 0;
    if (!f || !fxReadInt32(f, &n)) n = 0;
    n = localPlausibleCount(f, n, 4);
    if (n <= 0) {
        count = 0;
        return;
    }
    Realloc(n);
    count = 0;
    for (int i = 0; i < n; ++i) {
        int32_t v;
        if (!fxReadInt32(f, &v)) break;
        data[count++] = reinterpret_cast<void*>(static_cast<intptr_t>(v));
    }
}

// ---------------------------------------------------------------- FXStrArray

static char* localStrCopy(const char* s, bool emptyAsNull) {
    if (!s || (!*s && emptyAsNull)) return nullptr;
    size_t n = strlen(s);
    char* c = static_cast<char*>(malloc(n + 1));
    if (!c) abort();
    memcpy(c, s, n + 1);
    return c;
}

void FXStrArray::DestroyBuf() {
    RemoveAll();
    free(data);
    data = nullptr;
    count = 0;
    capacity = 0;
}

void FXStrArray::Realloc(int n) { localRealloc(data, count, capacity, n); }

void FXStrArray::Push(const char* s) {
    if (count >= capacity) Realloc(capacity + step);
    data[count++] = localStrCopy(s, true);
}

void FXStrArray::Insert(int pos, const char* s) {
    if (pos < 0 || pos > count) {
        Push(s);
        return;
    }
    if (count >= capacity) Realloc(capacity + 1);
    localOpenSlot(data, count, pos);
    data[pos] = localStrCopy(s, true);
}

void FXStrArray::Pop() {
    if (count < 1) return;
    --count;
    free(data[count]);
    data[count] = nullptr;
}

void FXStrArray::MovePos(int pos, int dir) { localMovePos(data, count, pos, dir); }

void FXStrArray::RemovePos(int pos) {
    if (pos < 0 || pos >= count) return;
    free(data[pos]);
    localRemovePos(data, count, pos);
    data[count] = nullptr;
}

void FXStrArray::RemoveAll() {
    for (int i = 0; i < count; ++i) {
        free(data[i]);
        data[i] = nullptr;
    }
    count = 0;
}

int FXStrArray::Findpos(const char* s) const {
    bool sEmpty = !s || !*s;
    for (int i = 0; i < count; ++i) {
        const char* it = data[i];
        if (it == s) return i;
        bool itEmpty = !it || !*it;
        if (itEmpty && sEmpty) return i;
        if (it && s && strcmp(it, s) == 0) return i;
    }
    return -1;
}

void FXStrArray::Remove(const char* s) {
    int pos = Findpos(s);
    if (pos >= 0) RemovePos(pos);
}

void FXStrArray::Change(int pos, const char* s) {
    if (!s || pos < 0 || pos >= count) return;
    char* c = localStrCopy(s, false);
    free(data[pos]);
    data[pos] = c;
}

static void localSaveText(FILE* f, const char* s) {
    int32_t n = s ? static_cast<int32_t>(strlen(s)) : 0;
    fxWriteInt32(f, n);
    if (n > 0) fwrite(s, 1, static_cast<size_t>(n), f);
}

void FXStrArray::Save(FILE* f) const {
    if (!f) return;
    int32_t n = (data && count > 0) ? count : 0;
    fxWriteInt32(f, n);
    for (int i = 0; i < n; ++i) localSaveText(f, data[i]);
}

void FXStrArray::SaveShortPaths(FILE* f, const char* base) const {
    if (!f) return;
    int32_t n = (data && count > 0) ? count : 0;
    fxWriteInt32(f, n);
    for (int i = 0; i < n; ++i) {
        if (!data[i] || !*data[i]) {
            fxWriteInt32(f, 0);
            continue;
        }
        localSaveText(f, fxBuildRelativePath(base, false, data[i], true));
    }
}

void FXStrArray::Load(FILE* f) {
    RemoveAll();
    int32_t n = 0;
    if (!f || !fxReadInt32(f, &n)) n = 0;
    n = localPlausibleCount(f, n, 4);
    if (n <= 0) return;
    Realloc(n);
    for (int i = 0; i < n; ++i) {
        int32_t l;
        if (!fxReadInt32(f, &l)) break;
        if (l <= 0) {
            data[count++] = nullptr;
            continue;
        }
        long left = fxBytesLeft(f);
        if (left >= 0 && l > left) break;  // a string the file cannot hold: stop here
        char* c = static_cast<char*>(malloc(static_cast<size_t>(l) + 1));
        if (!c) abort();
        size_t got = fread(c, 1, static_cast<size_t>(l), f);
        c[got] = 0;
        data[count++] = c;
        if (got != static_cast<size_t>(l)) break;
    }
}

// ---------------------------------------------------------------- FXFloatArray

void FXFloatArray::DestroyBuf() {
    free(data);
    data = nullptr;
    count = 0;
    capacity = 0;
}

void FXFloatArray::Realloc(int n) { localRealloc(data, count, capacity, n); }

void FXFloatArray::Push(float v) {
    if (count >= capacity) Realloc(capacity + step);
    data[count++] = v;
}

void FXFloatArray::Insert(int pos, float v) {
    if (pos < 0 || pos > count) {
        Push(v);
        return;
    }
    if (count >= capacity) Realloc(capacity + 1);
    localOpenSlot(data, count, pos);
    data[pos] = v;
}

float FXFloatArray::Pop() {
    if (count < 1) return 0.0f;
    return data[--count];
}

void FXFloatArray::MovePos(int pos, int dir) { localMovePos(data, count, pos, dir); }
void FXFloatArray::RemovePos(int pos) { localRemovePos(data, count, pos); }

void FXFloatArray::Save(FILE* f) const {
    if (!f) return;
    int32_t n = (data && count > 0) ? count : 0;
    fxWriteInt32(f, n);
    for (int i = 0; i < n; ++i) {
        int32_t bits;
        memcpy(&bits, &data[i], 4);
        fxWriteInt32(f, bits);
    }
}

void FXFloatArray::Load(FILE* f) {
    int32_t n = 0;
    if (!f || !fxReadInt32(f, &n)) n = 0;
    n = localPlausibleCount(f, n, 4);
    if (n <= 0) {
        count = 0;
        return;
    }
    Realloc(n);
    count = 0;
    for (int i = 0; i < n; ++i) {
        int32_t bits;
        if (!fxReadInt32(f, &bits)) break;
        memcpy(&data[count++], &bits, 4);
    }
}

// ---------------------------------------------------------------- FXMemory

void FXMemory::DestroyBuf() {
    free(data);
    data = nullptr;
    count = 0;
    capacity = 0;
}

void FXMemory::Realloc(int n) {
    if (capacity >= n) return;
    size_t bytes = static_cast<size_t>(n) * static_cast<size_t>(itemSize);
    uint8_t* nb = static_cast<uint8_t*>(calloc(1, bytes ? bytes : 1));
    if (!nb) abort();
    int keep = count < capacity ? count : capacity;
    if (data && keep > 0) memcpy(nb, data, static_cast<size_t>(keep) * static_cast<size_t>(itemSize));
    free(data);
    data = nb;
    capacity = n;
}

void* FXMemory::GetItemPtr(int i) const {
    if (!data || i < 0 || i >= count) return nullptr;
    return data + static_cast<size_t>(i) * static_cast<size_t>(itemSize);
}
