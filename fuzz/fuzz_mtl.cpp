// Arbitrary bytes as a material library in its three forms: Wavefront MTL
// text, the library record in a package, and the record layout in a file of
// its own. Each loads a list of materials without holes, never more than the
// bytes can hold, with colours read as stored; the record form writes back
// and loads again to the same names.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "package/package.h"
#include "render/material.h"
#include "render/matlib.h"

#include "fuzz_files.h"

namespace {

void localPut32(std::vector<uint8_t>* b, int32_t v) {
    uint8_t w[4];
    memcpy(w, &v, 4);
    b->insert(b->end(), w, w + 4);
}

// A package of one record, id 7, holding the bytes.
std::vector<uint8_t> localPackage(const uint8_t* p, size_t n) {
    std::vector<uint8_t> b;
    localPut32(&b, 5);
    b.insert(b.end(), {'p', 'c', 'k', '0', '1'});
    for (int32_t v : {7, 0, static_cast<int32_t>(n), -1}) {
        localPut32(&b, 1);
        localPut32(&b, v);
    }
    b.insert(b.end(), p, p + n);
    return b;
}

void localCheck(const FXMatlib& lib, size_t size, size_t least) {
    for (int i = 0; i < lib.Count(); ++i)
        if (!lib.Get(i)) __builtin_trap();
    // Every stored material takes at least "least" bytes.
    if (least && static_cast<size_t>(lib.Count()) * least > size) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16384) return 0;
    std::string mtl = fuzzFolder("fuzz_mtl") + "/m.mtl", bin = fuzzFolder("fuzz_mtl") + "/m.xl", back = fuzzFolder("fuzz_mtl") + "/back.xl";
    fuzzWrite(mtl, data, size);

    FXMatlib text;
    text.LoadFromMtl(mtl.c_str());
    // One material before the first newmtl, then one per newmtl line.
    if (text.Count() < 1 || static_cast<size_t>(text.Count() - 1) * 7 > size + 1) __builtin_trap();
    localCheck(text, size, 0);

    // The record form in a package; a material takes at least 76 bytes.
    std::vector<uint8_t> pack = localPackage(data, size);
    FXPackage pck;
    if (!pck.LoadFromMemory(pack.data(), pack.size())) __builtin_trap();
    FXMatlib rec;
    if (!rec.LoadC(&pck, "7")) __builtin_trap();
    localCheck(rec, size, 76);
    if (!rec.Save(back.c_str())) __builtin_trap();
    FXMatlib again;
    again.Load(back.c_str());
    if (again.Count() != rec.Count()) __builtin_trap();
    for (int i = 0; i < rec.Count(); ++i)
        if (strcmp(again.Get(i)->name.text, rec.Get(i)->name.text) != 0) __builtin_trap();

    // The same layout as a file of its own.
    fuzzWrite(bin, data, size);
    FXMatlib file;
    file.Load(bin.c_str());
    localCheck(file, size, 76);
    return 0;
}
