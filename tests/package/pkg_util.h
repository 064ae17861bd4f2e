// Helpers shared by the package tests: a writer of the package format that
// does not use the engine, and scratch folders.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

using Bytes = std::vector<uint8_t>;

inline void PutI32(Bytes* b, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) b->push_back(static_cast<uint8_t>(u >> (8 * i)));
}

inline void PutStr(Bytes* b, const std::string& s) {
    PutI32(b, static_cast<int32_t>(s.size()));
    b->insert(b->end(), s.begin(), s.end());
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
    Bytes b;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return b;
    int c;
    while ((c = fgetc(f)) != EOF) b.push_back(static_cast<uint8_t>(c));
    fclose(f);
    return b;
}

inline void WriteAll(const std::string& path, const Bytes& b) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    if (!b.empty()) fwrite(b.data(), 1, b.size(), f);
    fclose(f);
}

inline void WriteAll(const std::string& path, const std::string& s) { WriteAll(path, Bytes(s.begin(), s.end())); }

// A fresh folder per test, removed afterwards.
class ScratchTest : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = (std::filesystem::temp_directory_path() /
               ("fxpkg_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
                std::to_string(getpid())))
                  .string();
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string P(const std::string& name) const { return dir + "/" + name; }
};
