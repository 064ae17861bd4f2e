// Package load against the time to merely read the file, lookups by id, and
// the memory a load takes. Builds its package on the fly in the temp folder.
//   package_bench [records] [average record KB]   (default 3000 x 72 KB, 210 MB)
// Every time is the best of five runs from the page cache; the floor is a
// fread of the whole file into a fresh malloc buffer. Prints one ROW line per
// target: ROW <name> <ours> <floor> <ratio> <target ratio>.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "package/package.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// kB figure from /proc/self/status ("VmHWM", "VmRSS").
long StatusKb(const char* key) {
    FILE* f = fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long v = -1;
    size_t n = strlen(key);
    while (fgets(line, sizeof line, f))
        if (!strncmp(line, key, n) && line[n] == ':') v = atol(line + n + 1);
    fclose(f);
    return v;
}

bool ResetPeak() {
    FILE* f = fopen("/proc/self/clear_refs", "w");
    if (!f) return false;
    bool ok = fputs("5", f) >= 0;
    return fclose(f) == 0 && ok;
}

// Incompressible bytes, as compressed pictures are.
void Fill(std::vector<uint8_t>* b, uint64_t seed) {
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    for (size_t i = 0; i + 8 <= b->size(); i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        memcpy(b->data() + i, &x, 8);
    }
}

double ReadFloor(const std::string& path, size_t* bytes) {
    auto t0 = Clock::now();
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return -1;
    fseek(f, 0, SEEK_END);
    long n = ftell(f);
    fseek(f, 0, SEEK_SET);
    uint8_t* buf = static_cast<uint8_t*>(malloc(static_cast<size_t>(n)));
    size_t got = fread(buf, 1, static_cast<size_t>(n), f);
    fclose(f);
    auto t1 = Clock::now();
    // Touch the result so the read is not optimised away.
    volatile uint8_t sink = buf[got / 2];
    (void)sink;
    free(buf);
    *bytes = got;
    return Seconds(t0, t1);
}

double Best(int runs, double (*fn)(void*), void* arg) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        double t = fn(arg);
        if (t < best) best = t;
    }
    return best;
}

struct LoadArg {
    std::string path;
    int records;
};

double TimedLoad(void* p) {
    auto* a = static_cast<LoadArg*>(p);
    FXPackage pck;
    auto t0 = Clock::now();
    pck.Load(a->path.c_str());
    auto t1 = Clock::now();
    a->records = pck.GetRecordCount();
    return Seconds(t0, t1);
}

// A mapped load reads nothing up front; this is the same load followed by
// one read of every record, which pays for the pages as the show would.
double TimedLoadAndTouch(void* p) {
    auto* a = static_cast<LoadArg*>(p);
    FXPackage pck;
    auto t0 = Clock::now();
    pck.Load(a->path.c_str());
    uint64_t sum = 0;
    for (int i = 0; i < pck.records.count; ++i) {
        auto* d = static_cast<FXPackageData*>(pck.records.data[i]);
        for (int32_t k = 0; d && k < d->size; k += 4096) sum += d->start[k];
    }
    auto t1 = Clock::now();
    volatile uint64_t sink = sum;
    (void)sink;
    return Seconds(t0, t1);
}

struct FloorArg {
    std::string path;
    size_t bytes;
};

double TimedFloor(void* p) {
    auto* a = static_cast<FloorArg*>(p);
    return ReadFloor(a->path, &a->bytes);
}

}  // namespace

int main(int argc, char** argv) {
    int records = argc > 1 ? atoi(argv[1]) : 3000;
    int avgKb = argc > 2 ? atoi(argv[2]) : 72;
    if (records < 1 || avgKb < 1) {
        fprintf(stderr, "usage: package_bench [records] [average record KB]\n");
        return 2;
    }
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("fxpkg_bench_" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string plain = (dir / "plain.dat").string(), scrambled = (dir / "scrambled.dat").string();

    // Build: records of 50 % to 150 % of the average size, shuffled ids.
    auto t0 = Clock::now();
    std::vector<int> ids;
    {
        FXPackage pck;
        std::vector<uint8_t> b;
        for (int i = 0; i < records; ++i) {
            size_t size = static_cast<size_t>(avgKb) * 1024 / 2 + (static_cast<size_t>(i) * 7919 % (static_cast<size_t>(avgKb) * 1024));
            b.resize(size);
            Fill(&b, static_cast<uint64_t>(i));
            std::string path = (dir / ("r" + std::to_string(i) + (i % 4 ? ".jpg" : ".bin"))).string();
            FILE* f = fopen(path.c_str(), "wb");
            if (!f || fwrite(b.data(), 1, b.size(), f) != b.size()) {
                fprintf(stderr, "package_bench: cannot write %s\n", path.c_str());
                return 1;
            }
            fclose(f);
            int id = static_cast<int>((static_cast<int64_t>(i) * 104729) % (records * 2));
            ids.push_back(id);
            pck.AddDataFile(id, path.c_str());
        }
        if (!pck.Save(plain.c_str(), 0) || !pck.Save(scrambled.c_str(), 1)) {
            fprintf(stderr, "package_bench: cannot write the packages in %s\n", dir.string().c_str());
            return 1;
        }
    }
    for (auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string()[0] == 'r') fs::remove(e.path());
    auto t1 = Clock::now();
    double fileMb = static_cast<double>(fs::file_size(plain)) / (1024.0 * 1024.0);
    printf("package: %d records, %.1f MB (built in %.2f s)\n", records, fileMb, Seconds(t0, t1));

    // Warm the page cache once so both sides read from memory alike.
    FloorArg fa{plain, 0};
    TimedFloor(&fa);
    const int runs = 5;
    double floor = Best(runs, TimedFloor, &fa);
    LoadArg la{plain, 0};
    double load = Best(runs, TimedLoad, &la);
    FloorArg fs2{scrambled, 0};
    TimedFloor(&fs2);
    LoadArg ls{scrambled, 0};
    double loadS = Best(runs, TimedLoad, &ls);
    double touched = Best(runs, TimedLoadAndTouch, &la);
    printf("read into memory (floor): %8.1f ms  %6.0f MB/s (best of %d)\n", floor * 1e3, fileMb / floor, runs);
    printf("Load, plain (mapped):     %8.1f ms  %.2fx the floor (%d records)\n", load * 1e3, load / floor, la.records);
    printf("  then every record read: %8.1f ms  %.2fx the floor (pages come in as used)\n", touched * 1e3,
           touched / floor);
    printf("Load, scrambled:          %8.1f ms  %.2fx the floor\n", loadS * 1e3, loadS / floor);
    printf("ROW package-load-plain %.1fms %.1fms %.2f 1.05\n", load * 1e3, floor * 1e3, load / floor);
    printf("ROW package-load-scrambled %.1fms %.1fms %.2f 1.50\n", loadS * 1e3, floor * 1e3, loadS / floor);

    // Peak memory of one load, measured from the resident size before it.
    // A mapped page counts once touched (it is the page cache's, shared).
    if (ResetPeak()) {
        for (const std::string* path : {&plain, &scrambled}) {
            ResetPeak();
            long before = StatusKb("VmRSS");
            FXPackage pck;
            pck.Load(path->c_str());
            long peak = StatusKb("VmHWM");
            double extraMb = (peak - before) / 1024.0;
            printf("peak memory of a load:    %8.1f MB  %.2fx the file (%s)\n", extraMb, extraMb / fileMb,
                   path == &plain ? "plain, mapped, before any record is read" : "scrambled");
        }
    } else {
        printf("peak memory of a load:    not measured (/proc/self/clear_refs refused)\n");
    }

    // Lookups of every id, in package order and repeated.
    {
        FXPackage pck;
        pck.Load(plain.c_str());
        const int rounds = 20;
        volatile intptr_t sink = 0;
        auto a = Clock::now();
        for (int r = 0; r < rounds; ++r)
            for (int id : ids) sink += reinterpret_cast<intptr_t>(pck.GetDataPtr(id));
        auto b = Clock::now();
        // What the plain scan of the id list would cost for the same lookups.
        for (int r = 0; r < rounds; ++r)
            for (int id : ids) {
                int found = -1;
                for (int i = 0; i < pck.ids.count; ++i)
                    if (pck.ids.GetInt(i) == id) {
                        found = i;
                        break;
                    }
                sink += found;
            }
        auto c = Clock::now();
        double n = static_cast<double>(rounds) * ids.size();
        printf("lookup by id, indexed:    %8.1f ns each, %.3f ms for all %zu ids\n", Seconds(a, b) / n * 1e9,
               Seconds(a, b) / rounds * 1e3, ids.size());
        printf("lookup by id, linear:     %8.1f ns each, %.3f ms for all %zu ids\n", Seconds(b, c) / n * 1e9,
               Seconds(b, c) / rounds * 1e3, ids.size());
    }
    fs::remove_all(dir);
    return 0;
}
