// Helpers shared by the package tests: a writer of the package format that
// does not use the engine.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../support/testutil.h"
#include "package/package.h"

using fxtest::Le32;

// The bits of a float, as the format stores them.
inline int32_t FloatBits(float f) {
    int32_t i;
    memcpy(&i, &f, 4);
    return i;
}

inline std::string Str(const std::string& s) { return Le32({static_cast<int32_t>(s.size())}, s); }

struct Rec {
    int32_t id, type;
    std::string bytes;
};

// Transposes the leading n x n square.
inline std::string Transposed(const std::string& in) {
    size_t n = 0;
    while ((n + 1) * (n + 1) <= in.size()) ++n;
    std::string out = in;
    for (size_t r = 0; r < n; ++r)
        for (size_t c = 0; c < n; ++c) out[c * n + r] = in[r * n + c];
    return out;
}

// The body: four counted lists (ids, offsets, sizes, types), then every
// record's bytes in order.
inline std::string PackageBody(const std::vector<Rec>& recs) {
    std::string ids, offs, sizes, types, data, n = Le32({static_cast<int32_t>(recs.size())});
    for (const Rec& r : recs) {
        ids += Le32({r.id});
        offs += Le32({static_cast<int32_t>(data.size())});
        sizes += Le32({static_cast<int32_t>(r.bytes.size())});
        types += Le32({r.type});
        data += r.bytes;
    }
    return n + ids + n + offs + n + sizes + n + types + data;
}

// Four counted lists exactly as given (they may differ in length).
inline std::string Lists(const std::vector<std::vector<int32_t>>& lists) {
    std::string s;
    for (const auto& l : lists) {
        s += Le32({static_cast<int32_t>(l.size())});
        for (int32_t v : l) s += Le32({v});
    }
    return s;
}

inline std::string PackageFile(const std::string& body, bool scrambled, const std::string& header = "") {
    return Str(header.empty() ? (scrambled ? "pck01s" : "pck01") : header) + (scrambled ? Transposed(body) : body);
}

inline std::string PackageFile(const std::vector<Rec>& recs, bool scrambled) {
    return PackageFile(PackageBody(recs), scrambled);
}

// Loads from an exact-size heap copy, so that the sanitizer sees any overrun.
inline bool LoadBytes(FXPackage* p, const std::string& b) {
    std::vector<uint8_t> v(b.begin(), b.end());
    return p->LoadFromMemory(v.data(), v.size());
}

// The bytes of a record, or "<none>".
inline std::string RecordText(FXPackage* p, int id) {
    FXPackageData* d = p->GetDataPtr(id);
    return d ? std::string(reinterpret_cast<const char*>(d->start), static_cast<size_t>(d->size)) : "<none>";
}

// A cursor over its own copy of the bytes.
struct Cursor {
    std::string b;
    FXPackageData d;
    explicit Cursor(std::string bytes) : b(std::move(bytes)) {
        d.InitData(b.empty() ? nullptr : &b[0], static_cast<int>(b.size()));
    }
};

// A fresh folder per test, removed afterwards.
class ScratchTest : public ::testing::Test {
protected:
    fxtest::TempDir tmp_;
    std::string dir = tmp_.path();
    std::string P(const std::string& name) const { return tmp_.File(name); }
};
