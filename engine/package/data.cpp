#include "package/data.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "package/package.h"

// ---------------------------------------------------------------- FXNumPool

void FXNumPool::DestroyBuf() {
    free(data);
    data = nullptr;
    readPos = nullptr;
    readOffset = 0;
    used = 0;
    capacity = 0;
}

bool FXNumPool::Realloc(int n) {
    if (capacity >= n) return true;
    int64_t steps = (static_cast<int64_t>(n) - capacity + step - 1) / step;
    int64_t cap = capacity + steps * step;
    if (cap > INT32_MAX) cap = n;
    uint8_t* nb = static_cast<uint8_t*>(fxMalloc(static_cast<unsigned>(cap)));
    if (!nb) return false;
    if (data && used > 0) memcpy(nb, data, static_cast<size_t>(used));
    free(data);
    data = nb;
    capacity = static_cast<int32_t>(cap);
    readPos = data + readOffset;
    return true;
}

bool FXNumPool::Take(int n) {
    if (used > INT32_MAX - n) return false;
    return Realloc(used + n);
}

void FXNumPool::PushByte(unsigned char v) {
    if (!Take(1)) return;
    data[used++] = v;
}

void FXNumPool::PushWord(unsigned short v) {
    if (!Take(2)) return;
    data[used++] = static_cast<uint8_t>(v);
    data[used++] = static_cast<uint8_t>(v >> 8);
}

void FXNumPool::PushInt(int v) {
    if (!Take(4)) return;
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) data[used++] = static_cast<uint8_t>(u >> (8 * i));
}

bool FXNumPool::GetNextByte(unsigned char* v) {
    if (!v || readOffset + 1 > used) return false;
    *v = data[readOffset];
    readOffset += 1;
    readPos = data + readOffset;
    return true;
}

bool FXNumPool::GetNextWord(unsigned short* v) {
    if (!v || readOffset > used - 2) return false;
    *v = static_cast<unsigned short>(data[readOffset] | data[readOffset + 1] << 8);
    readOffset += 2;
    readPos = data + readOffset;
    return true;
}

bool FXNumPool::GetNextInt(int* v) {
    if (!v || readOffset > used - 4) return false;
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(data[readOffset + i]) << (8 * i);
    *v = static_cast<int32_t>(u);
    readOffset += 4;
    readPos = data + readOffset;
    return true;
}

bool FXNumPool::Save(FILE* f) const {
    if (!f) return false;
    int32_t n = data && used > 0 ? used : 0;
    if (!fxWriteInt32(f, n)) return false;
    return n == 0 || fwrite(data, 1, static_cast<size_t>(n), f) == static_cast<size_t>(n);
}

bool FXNumPool::Load(FILE* f) {
    used = 0;
    Reseek();
    int32_t n = 0;
    if (!f || !fxReadInt32(f, &n)) return false;
    if (n <= 0) return true;
    long left = fxBytesLeft(f);
    int32_t want = left >= 0 && n > left ? static_cast<int32_t>(left) : n;
    // Grown as the bytes arrive, so a stream that cannot tell its size
    // cannot make a lying count allocate more than it delivers.
    const int32_t kChunk = 1 << 20;
    while (used < want) {
        int32_t part = std::min(kChunk, want - used);
        if (!Realloc(used + part)) break;
        size_t got = fread(data + used, 1, static_cast<size_t>(part), f);
        used += static_cast<int32_t>(got);
        if (got != static_cast<size_t>(part)) break;
    }
    Reseek();
    return used == n;
}

bool FXNumPool::LoadC(FXPackage*, FXPackageData* d) {
    used = 0;
    Reseek();
    if (!d) return false;
    int32_t n = d->ReadInt();
    if (n <= 0) return true;
    int32_t take = std::min(n, d->remaining);
    if (!Realloc(take)) return false;
    d->ReadCopyBlc(data, take);
    used = take;
    Reseek();
    return take == n;
}

// ---------------------------------------------------------------- FXVectorMap

FXVectorMap::FXVectorMap() : pos(3000000), norm(3000000), tex(2000000), numPos(0), numNorm(0), numTex(0) {}

void FXVectorMap::CountVectors() {
    numPos = pos.count / 3;
    numNorm = norm.count / 3;
    numTex = tex.count / 2;
}

// Every index of a list gets a first-user slot and a further-users slot.
void FXVectorMap::SizeUsers() {
    ClearUsed();
    FXArray* first[3] = {&firstPos, &firstNorm, &firstTex};
    FXArray* users[3] = {&usersPos, &usersNorm, &usersTex};
    int counts[3] = {pos.count, norm.count, tex.count};
    for (int k = 0; k < 3; ++k) {
        first[k]->Realloc(counts[k]);
        first[k]->count = counts[k];
        users[k]->Realloc(counts[k]);
        users[k]->count = counts[k];
    }
    ClearUsed();
}

bool FXVectorMap::LoadC(FXPackage*, FXPackageData* d) {
    if (!d) return false;
    // The three lists are the counted float form the cursor reads.
    d->ReadFloatArray(&pos);
    d->ReadFloatArray(&norm);
    d->ReadFloatArray(&tex);
    CountVectors();
    SizeUsers();
    return true;
}

bool FXVectorMap::Load(FILE* f) {
    if (!f) return false;
    pos.Load(f);
    norm.Load(f);
    tex.Load(f);
    CountVectors();
    SizeUsers();
    return true;
}

bool FXVectorMap::Save(FILE* f) const {
    if (!f) return false;
    pos.Save(f);
    norm.Save(f);
    tex.Save(f);
    return !ferror(f);
}

static bool localGetVec(const FXFloatArray& a, int num, int dim, int i, float* out) {
    if (!out) return false;
    if (i < 0 || i >= num) {
        for (int k = 0; k < dim; ++k) out[k] = 0.0f;
        return false;
    }
    memcpy(out, a.data + static_cast<size_t>(i) * dim, sizeof(float) * dim);
    return true;
}

bool FXVectorMap::GetVecPos(int i, float* out) const { return localGetVec(pos, numPos, 3, i, out); }
bool FXVectorMap::GetVecNorm(int i, float* out) const { return localGetVec(norm, numNorm, 3, i, out); }
bool FXVectorMap::GetVecTex(int i, float* out) const { return localGetVec(tex, numTex, 2, i, out); }

int FXVectorMap::PushVecPos(const float* v) {
    for (int k = 0; k < 3; ++k) pos.Push(v[k]);
    CountVectors();
    return numPos - 1;
}

int FXVectorMap::PushVecNorm(const float* v) {
    for (int k = 0; k < 3; ++k) norm.Push(v[k]);
    CountVectors();
    return numNorm - 1;
}

int FXVectorMap::PushVecTex(const float* v) {
    for (int k = 0; k < 2; ++k) tex.Push(v[k]);
    CountVectors();
    return numTex - 1;
}

void FXVectorMap::ClearUsed() {
    FXArray* first[3] = {&firstPos, &firstNorm, &firstTex};
    FXArray* users[3] = {&usersPos, &usersNorm, &usersTex};
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < first[k]->count; ++i) first[k]->SetInt(i, -1);
        for (int i = 0; i < users[k]->count; ++i) {
            delete static_cast<FXArray*>(users[k]->data[i]);
            users[k]->data[i] = nullptr;
        }
    }
}

static bool localInRange(const FXArray& first, const FXArray& users, int i) {
    return i >= 0 && i < first.count && i < users.count;
}

static bool localIsUser(const FXArray& first, const FXArray& users, int i, int v) {
    const FXArray* l = static_cast<const FXArray*>(users.data[i]);
    if (!l) return first.GetInt(i) == v;
    for (int k = 0; k < l->count; ++k)
        if (l->GetInt(k) == v) return true;
    return false;
}

int FXVectorMap::GetUsed(int p, int n, int t) const {
    if (!localInRange(firstPos, usersPos, p) || !localInRange(firstNorm, usersNorm, n) ||
        !localInRange(firstTex, usersTex, t))
        return -1;
    const FXArray* l = static_cast<const FXArray*>(usersPos.data[p]);
    int cands = l ? l->count : 1;
    for (int k = 0; k < cands; ++k) {
        int v = l ? l->GetInt(k) : firstPos.GetInt(p);
        if (v == -1) continue;
        if (localIsUser(firstNorm, usersNorm, n, v) && localIsUser(firstTex, usersTex, t, v)) return v;
    }
    return -1;
}

static void localPushUser(FXArray& first, FXArray& users, int i, int v) {
    if (!localInRange(first, users, i)) return;
    if (first.GetInt(i) == -1) {
        first.SetInt(i, v);
        return;
    }
    FXArray* l = static_cast<FXArray*>(users.data[i]);
    if (!l) {
        l = new (std::nothrow) FXArray();
        if (!l) return;
        l->PushInt(first.GetInt(i));
        users.data[i] = l;
    }
    l->PushInt(v);
}

void FXVectorMap::PushUsed(int p, int n, int t, int vertex) {
    localPushUser(firstPos, usersPos, p, vertex);
    localPushUser(firstNorm, usersNorm, n, vertex);
    localPushUser(firstTex, usersTex, t, vertex);
}

void FXVectorMap::Destroy() {
    ClearUsed();
    for (FXArray& w : work) w.DestroyBuf();
    pos.DestroyBuf();
    norm.DestroyBuf();
    tex.DestroyBuf();
    firstPos.DestroyBuf();
    firstNorm.DestroyBuf();
    firstTex.DestroyBuf();
    usersPos.DestroyBuf();
    usersNorm.DestroyBuf();
    usersTex.DestroyBuf();
    numPos = numNorm = numTex = 0;
}
