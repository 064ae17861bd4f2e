// Helpers shared by the package tests: a writer of the package format that
// does not use the engine, and scratch folders.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../support/testutil.h"

using Bytes = std::vector<uint8_t>;

inline void PutI32(Bytes* b, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) b->push_back(static_cast<uint8_t>(u >> (8 * i)));
}

inline void PutStr(Bytes* b, const std::string& s) {
    PutI32(b, static_cast<int32_t>(s.size()));
    b->insert(b->end(), s.begin(), s.end());
}

// Little-endian 32-bit values, then raw bytes.
inline Bytes Ints(std::initializer_list<int32_t> vs, const std::string& tail = "") {
    Bytes b;
    for (int32_t v : vs) PutI32(&b, v);
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}

struct Rec {
    int32_t id;
    int32_t type;
    std::string bytes;
};

// Transposes the leading n x n square into a new buffer.
inline Bytes Transposed(const Bytes& in) {
    int64_t n = 0;
    while ((n + 1) * (n + 1) <= static_cast<int64_t>(in.size())) ++n;
    Bytes out = in;
    for (int64_t r = 0; r < n; ++r)
        for (int64_t c = 0; c < n; ++c) out[c * n + r] = in[r * n + c];
    return out;
}

// The body: four counted lists, then every record's bytes in order.
inline Bytes PackageBody(const std::vector<Rec>& recs) {
    Bytes b;
    int32_t n = static_cast<int32_t>(recs.size());
    PutI32(&b, n);
    for (const Rec& r : recs) PutI32(&b, r.id);
    PutI32(&b, n);
    int32_t off = 0;
    for (const Rec& r : recs) {
        PutI32(&b, off);
        off += static_cast<int32_t>(r.bytes.size());
    }
    PutI32(&b, n);
    for (const Rec& r : recs) PutI32(&b, static_cast<int32_t>(r.bytes.size()));
    PutI32(&b, n);
    for (const Rec& r : recs) PutI32(&b, r.type);
    for (const Rec& r : recs) b.insert(b.end(), r.bytes.begin(), r.bytes.end());
    return b;
}

inline Bytes PackageFile(const Bytes& body, bool scrambled, const std::string& header = "") {
    Bytes f;
    PutStr(&f, header.empty() ? (scrambled ? "pck01s" : "pck01") : header);
    Bytes b = scrambled ? Transposed(body) : body;
    f.insert(f.end(), b.begin(), b.end());
    return f;
}

inline Bytes PackageFile(const std::vector<Rec>& recs, bool scrambled) {
    return PackageFile(PackageBody(recs), scrambled);
}

inline Bytes ReadAll(const std::string& path) {
    std::string s = fxtest::ReadFile(path);
    return Bytes(s.begin(), s.end());
}

inline void WriteAll(const std::string& path, const Bytes& b) {
    fxtest::WriteFile(path, std::string(b.begin(), b.end()));
}

inline void WriteAll(const std::string& path, const std::string& s) { fxtest::WriteFile(path, s); }

inline int RegularFiles(const std::string& dir) {
    int n = 0;
    for (auto& e : std::filesystem::directory_iterator(dir)) n += e.is_regular_file();
    return n;
}

// A fresh folder per test, removed afterwards.
class ScratchTest : public ::testing::Test {
protected:
    fxtest::TempDir tmp_;
    std::string dir = tmp_.path();
    std::string P(const std::string& name) const { return tmp_.File(name); }
};
