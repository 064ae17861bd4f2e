// Writes a damaged copy of a package, deterministic from a seed, for the
// reliability run: the package is read and written again with the engine's
// own reader and writer, and one to three of its records are damaged on the
// way (cut short, bytes flipped, magic or header overwritten, a count or a
// picture's size made absurd), or the written file is cut short, or a
// record's offset is pointed past the data area.
//   fxdamage IN OUT SEED [WORKDIR]
// Prints one line per damaged record: "damaged ID KIND must|may", where
// "must" marks damage the show has to report in its log (a record it reads
// at start-up whose damage a reader can tell), "may" damage that only must
// not harm the show (flipped bytes can leave a picture valid).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/entries.h"
#include "base/file.h"
#include "package/package.h"

namespace {

// The records the show reads when it starts (the preview's picture only in
// the preview).
const int kStartRecords[] = {
    kEntryGallery1,    kEntryGallery2,    kEntryGallery3,    kEntryBubble0,     kEntryBubble1,     kEntryBubble2,
    kEntryBubble3,     kEntryBubble4,     kEntryBubble5,     kEntryBubble6,     kEntryCaption2,    kEntryCaption3,
    kEntryCaption4,    kEntryCaption5,    kEntryCaption6,    kEntryBillboard1,  kEntryBillboard2,  kEntryBillboard3,
    kEntryBillboard4,  kEntryBillboard5,  kEntryBillboard6,  kEntryFrameOverlay, kEntryBanner,     kEntryBanner1,
    kEntryErrorPicture, kEntryMovie0,     kEntryMovie1,      kEntryMovie2,      kEntryMovie3,      kEntryMovie4,
    kEntryMovie5,      kEntryMovie6,      kEntryMovie7,      kEntryMovie8,      kEntryGalleryModel, kEntryRootScene,
};

enum Kind { kTruncate, kOffset, kCut, kFlip, kMagic, kCount, kKinds };
const char* const kKindNames[kKinds] = {"truncate", "offset", "cut", "flip", "magic", "count"};

struct Damage {
    int id;
    Kind kind;
    bool must;
};

bool localStart(int id) {
    for (int s : kStartRecords)
        if (s == id) return true;
    return false;
}

bool localReadFile(const std::string& path, std::vector<uint8_t>* out) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    out->clear();
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
    fclose(f);
    return true;
}

bool localWriteFile(const std::string& path, const uint8_t* p, size_t n) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = n == 0 || fwrite(p, 1, n, f) == n;
    return fclose(f) == 0 && ok;
}

void localPut32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t localGet32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// A picture's stored size made absurd: JPEG's frame header, PNG's IHDR.
bool localHugePicture(std::vector<uint8_t>* b) {
    uint8_t* p = b->data();
    size_t n = b->size();
    if (n > 24 && memcmp(p, "\x89PNG", 4) == 0) {
        localPut32(p + 16, 0x00ffffffu);
        localPut32(p + 20, 0x00ffffffu);
        return true;
    }
    for (size_t i = 2; i + 9 < n; ++i)
        if (p[i] == 0xff && p[i + 1] >= 0xc0 && p[i + 1] <= 0xc2) {
            p[i + 5] = p[i + 6] = p[i + 7] = p[i + 8] = 0xff;
            return true;
        }
    return false;
}

// A small positive 32-bit number past the first bytes is taken for a count
// and made absurd (huge or negative).
bool localBadCount(std::vector<uint8_t>* b, std::mt19937* rng) {
    std::vector<size_t> at;
    for (size_t i = 4; i + 4 <= b->size() && i < 4096; ++i) {
        uint32_t v = localGet32(b->data() + i);
        if (v >= 1 && v <= 100000) at.push_back(i);
    }
    if (at.empty()) return false;
    size_t i = at[(*rng)() % at.size()];
    localPut32(b->data() + i, (*rng)() % 2 ? 0x7fffff00u : 0xfffffff0u);
    return true;
}

// Damages the bytes of one record; false when this kind does not apply.
bool localDamageRecord(std::vector<uint8_t>* b, Kind kind, bool picture, std::mt19937* rng) {
    if (b->empty()) return false;
    switch (kind) {
        case kCut:
            b->resize((*rng)() % (b->size() / 2 + 1));
            return true;
        case kFlip: {
            int n = 1 + static_cast<int>((*rng)() % 16);
            for (int k = 0; k < n; ++k) (*b)[(*rng)() % b->size()] ^= static_cast<uint8_t>(1 + (*rng)() % 255);
            return true;
        }
        case kMagic:
            for (size_t i = 0; i < b->size() && i < 8; ++i) (*b)[i] = static_cast<uint8_t>(0xa5 ^ i);
            return true;
        case kCount:
            return picture ? localHugePicture(b) : localBadCount(b, rng);
        default:
            return false;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc > 5) {
        fprintf(stderr, "usage: fxdamage IN OUT SEED [WORKDIR]\n");
        return 2;
    }
    const std::string in = argv[1], out = argv[2];
    const unsigned seed = static_cast<unsigned>(strtoul(argv[3], nullptr, 10));
    const std::string work = argc == 5 ? argv[4] : out + ".work";
    std::mt19937 rng(seed);

    FXPackage src;
    if (!src.Load(in.c_str()) || src.GetRecordCount() < 1) {
        fprintf(stderr, "fxdamage: %s is not a package\n", in.c_str());
        return 1;
    }
    if (!fxMakeFolder(work.c_str())) {
        fprintf(stderr, "fxdamage: cannot make %s\n", work.c_str());
        return 1;
    }
    const int n = src.GetRecordCount();
    std::vector<int> start;
    for (int i = 0; i < n; ++i)
        if (src.records.data[i] && localStart(src.ids.GetInt(i))) start.push_back(i);

    // What to damage: the kind, then one to three records, mostly ones the
    // show reads at start-up (the others are movie frames, read later).
    Kind kind = static_cast<Kind>(rng() % kKinds);
    std::set<int> chosen;
    int want = 1 + static_cast<int>(rng() % 3);
    for (int k = 0; k < want; ++k) {
        bool fromStart = !start.empty() && rng() % 4 != 0;
        chosen.insert(fromStart ? start[rng() % start.size()] : static_cast<int>(rng() % n));
    }

    std::vector<Damage> report;
    FXPackage dst;
    std::vector<uint8_t> bytes;
    std::vector<std::string> files;
    for (int i = 0; i < n; ++i) {
        FXPackageData* d = static_cast<FXPackageData*>(src.records.data[i]);
        if (!d) continue;
        const int id = src.ids.GetInt(i), type = src.types.GetInt(i);
        bytes.assign(d->start, d->start + d->size);
        const bool picture = type != FX_PCK_TYPE_NONE;
        if (chosen.count(i) && localDamageRecord(&bytes, kind, picture, &rng))
            // Flipped bytes may leave a record valid: only they need no report.
            report.push_back({id, kind, kind != kFlip && localStart(id)});
        const char* ext = fxPackageExtFromType(type);
        std::string file = work + "/" + std::to_string(i) + "." + (ext ? ext : "bin");
        if (!localWriteFile(file, bytes.data(), bytes.size())) {
            fprintf(stderr, "fxdamage: cannot write %s\n", file.c_str());
            return 1;
        }
        files.push_back(file);
        dst.AddDataFile(id, file.c_str());
    }
    const bool scrambled = src.GetLoadInfo().scrambled;
    bool saved = dst.Save(out.c_str(), scrambled ? 1 : 0);
    for (const std::string& f : files) remove(f.c_str());
    remove(work.c_str());
    if (!saved) {
        fprintf(stderr, "fxdamage: cannot write %s\n", out.c_str());
        return 1;
    }

    if (kind == kTruncate || kind == kOffset) {
        // The written file itself: cut short, or one offset past the data.
        std::vector<uint8_t> file;
        if (!localReadFile(out, &file)) return 1;
        FXPackage check;
        if (!check.LoadFromMemory(file.data(), file.size()) || check.GetLoadInfo().scrambled) {
            if (kind == kOffset) kind = kTruncate;  // the lists are not in plain sight
        }
        const size_t body = file.size() - static_cast<size_t>(check.dataSize);
        if (kind == kTruncate) {
            size_t cut = body + rng() % (static_cast<size_t>(check.dataSize) + 1);
            file.resize(cut);
            const int64_t left = static_cast<int64_t>(cut - body);
            for (int i = 0; i < check.GetRecordCount(); ++i)
                if (check.offsets.GetInt(i) + static_cast<int64_t>(check.sizes.GetInt(i)) > left)
                    report.push_back({check.ids.GetInt(i), kTruncate, true});
        } else {
            // The lists follow the header: ids, then offsets, each a count
            // and its numbers.
            const size_t lists = 4 + localGet32(file.data());
            const int r = static_cast<int>(rng() % static_cast<unsigned>(check.GetRecordCount()));
            const size_t at = lists + 4 + 4 * static_cast<size_t>(check.ids.count) + 4 + 4 * static_cast<size_t>(r);
            localPut32(file.data() + at, static_cast<uint32_t>(check.dataSize) + 1 + rng() % 1000);
            report.push_back({check.ids.GetInt(r), kOffset, true});
        }
        if (!localWriteFile(out, file.data(), file.size())) return 1;
    }
    for (const Damage& d : report) printf("damaged %d %s %s\n", d.id, kKindNames[d.kind], d.must ? "must" : "may");
    return 0;
}
